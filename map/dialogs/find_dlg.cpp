#include "map/dialogs/find_dlg.h"

#include <algorithm>

#include "core/text_helpers.h"
#include "map/dialogs/feature_action_menu.h"
#include "map/layers/feature_layer.h"
#include "map/layers/map_doc.h"
#include "map/map_messages.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/view_messages.h"
#include "map/view/map_view.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/menu.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

// The found-feature mark: module-wide, kept after the dialog closes.
struct FoundFeature {
    bool marked = false;
    CDoubleRect extent;
    double cx = 0, cy = 0;
    WString label;
};

FoundFeature& Found() {
    static FoundFeature found;
    return found;
}

constexpr int kButtonIds[6] = {IDC_FIND_FIND, IDC_FIND_LAYER, IDC_FIND_INFO,
                               IDC_FIND_EDIT, IDC_FIND_GOTO,  IDC_FIND_ACTIONS};
// Up, down, focused, disabled.
constexpr UINT kButtonBitmaps[6][4] = {
    {IDB_FIND_FIND_UP, IDB_FIND_FIND_DOWN, IDB_FIND_FIND_FOCUS, IDB_FIND_FIND_DISABLED},
    {IDB_FIND_LAYER_UP, IDB_FIND_LAYER_DOWN, IDB_FIND_LAYER_FOCUS, IDB_FIND_LAYER_DISABLED},
    {IDB_FIND_INFO_UP, IDB_FIND_INFO_DOWN, IDB_FIND_INFO_FOCUS, IDB_FIND_INFO_DISABLED},
    {IDB_FIND_EDIT_UP, IDB_FIND_EDIT_DOWN, IDB_FIND_EDIT_FOCUS, IDB_FIND_EDIT_DISABLED},
    {IDB_FIND_GOTO_UP, IDB_FIND_GOTO_DOWN, IDB_FIND_GOTO_FOCUS, IDB_FIND_GOTO_DISABLED},
    {IDB_FIND_ACTIONS_UP, IDB_FIND_ACTIONS_DOWN, IDB_FIND_ACTIONS_FOCUS,
     IDB_FIND_ACTIONS_DISABLED},
};

constexpr int kValueControls[] = {IDC_FIND_TEXT,  IDC_FIND_MIN, IDC_FIND_MAX,
                                  IDC_FIND_START, IDC_FIND_END, IDC_FIND_LOGICAL};

// The control's rectangle in the dialog's client coordinates.
RECT ClientRectOf(HWND dialog, int id) {
    RECT r{};
    HWND control = GetDlgItem(dialog, id);
    if (!control) return r;
    GetWindowRect(control, &r);
    MapPointsToWindow(nullptr, reinterpret_cast<POINT*>(&r), 2, dialog);
    return r;
}

void MoveTo(HWND dialog, int id, const RECT& r) {
    if (HWND control = GetDlgItem(dialog, id))
        MoveWindow(control, r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
}

bool IsLeapYear(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// A calendar date: month 1 to 12, a day the month has.
bool IsValidDate(int y, int m, int d) {
    static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1 || m < 1 || m > 12 || d < 1) return false;
    int days = kDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
    return d <= days;
}

// Dates compare as whole days (time of day, day of week and milliseconds
// set to zero), as their file times would.
long long DayKey(int y, int m, int d) {
    return static_cast<long long>(y) * 10000 + m * 100 + d;
}

bool IsBlank(const WString& s) {
    return std::all_of(s.begin(), s.end(), [](WChar c) { return c == u' '; });
}

}  // namespace

CFindDlg::CFindDlg(CMapView* view)
    : CDialogExt(IDD_FIND, view ? view->GetSafeHwnd() : nullptr),
      m_view(view),
      m_doc(view ? view->GetDocument() : nullptr) {
    GetLocalTime(&m_startDate);
    m_startDate.wHour = m_startDate.wMinute = m_startDate.wSecond = 0;
    m_startDate.wMilliseconds = 0;
    m_endDate = m_startDate;
    m_viewExtent.SetEmpty();
}

CFindDlg::~CFindDlg() = default;

WChar CFindDlg::SearchType(CFeatureLayer* layer, int field) {
    if (!layer || field < 0) return u'C';
    switch (layer->GetFieldType(field)) {
        case u'N':
        case u'F':
            return u'N';
        case u'D':
            return u'D';
        case u'L':
            return u'L';
        default:
            return u'C';
    }
}

bool CFindDlg::OnInitDialog() {
    CDialogExt::OnInitDialog();
    UseCaptionButtons(true, false);
    HWND dialog = GetSafeHwnd();
    // The value controls span the In text's width.
    const RECT in = ClientRectOf(dialog, IDC_FIND_IN);
    for (int id : kValueControls) {
        RECT r = ClientRectOf(dialog, id);
        r.left = in.left;
        r.right = in.right;
        MoveTo(dialog, id, r);
    }
    m_firstRowTop = ClientRectOf(dialog, IDC_FIND_MIN).top;
    m_rowStep = ClientRectOf(dialog, IDC_FIND_MAX).top - m_firstRowTop;
    const RECT check = ClientRectOf(dialog, IDC_FIND_ONLY_IN_VIEW);
    m_checkTop = check.top;
    m_checkGap = check.top - (m_firstRowTop + 2 * m_rowStep);
    m_listGap = ClientRectOf(dialog, IDC_FIND_RESULTS).top - check.bottom;

    for (int id : {IDC_FIND_IN, IDC_FIND_TEXT, IDC_FIND_MIN, IDC_FIND_MAX, IDC_FIND_START,
                   IDC_FIND_END, IDC_FIND_LOGICAL})
        AddAnchor(id, kAnchorStretch, kAnchorNone);
    AddAnchor(IDC_FIND_RESULTS, kAnchorStretch, kAnchorStretch);
    for (int id : {IDC_FIND_LAYER, IDC_FIND_FIND, IDC_FIND_INFO, IDC_FIND_EDIT, IDC_FIND_GOTO,
                   IDC_FIND_ACTIONS})
        AddAnchor(id, kAnchorMove, kAnchorNone);
    for (int i = 0; i < 6; ++i)
        m_buttons[i].AutoLoad(dialog, kButtonIds[i], kButtonBitmaps[i][0], kButtonBitmaps[i][1],
                              kButtonBitmaps[i][2], kButtonBitmaps[i][3]);
    m_list.Attach(GetDlgItem(IDC_FIND_RESULTS));

    // The first layer that can be searched.
    if (m_doc) {
        CLayerList& layers = m_doc->GetLayers();
        for (int i = 0; i < layers.GetCount() && !m_layer; ++i) {
            CLayer* layer = layers.GetAt(i);
            if (!layer) continue;
            const bool searchable = layer->GetKind() == LayerKind::Shape ||
                                    (layer->GetKind() == LayerKind::Extension && layer->HasAttributes());
            if (searchable) m_layer = dynamic_cast<CFeatureLayer*>(layer);
        }
    }
    m_fieldType = SearchType(m_layer, m_field);
    if (m_layer) RebuildList();
    UpdateFieldControls();
    UpdateButtons();
    return true;
}

void CFindDlg::DoDataExchange(CDataExchange* dx) {
    DDX_Text(dx, IDC_FIND_TEXT, m_findText);
    DDX_Text(dx, IDC_FIND_IN, m_inText);
    DDX_Check(dx, IDC_FIND_ONLY_IN_VIEW, m_onlyInView);
    DDX_Check(dx, IDC_FIND_LOGICAL, m_logical);
    DDX_DateTime(dx, IDC_FIND_START, m_startDate);
    DDX_DateTime(dx, IDC_FIND_END, m_endDate);
    DDX_DoubleDefault(dx, IDC_FIND_MIN, m_minimum, kNoMinimum);
    DDX_DoubleDefault(dx, IDC_FIND_MAX, m_maximum, kNoMaximum);
}

void CFindDlg::RebuildList() {
    m_list.SetLayer(m_layer);
    m_list.SetupColumns(m_field);
    m_selectedRecord = 0;
}

void CFindDlg::UpdateFieldControls() {
    HWND dialog = GetSafeHwnd();
    if (!m_layer)
        m_inText.clear();
    else if (m_field < 0)
        m_inText = m_layer->GetName();
    else
        m_inText = text::Format(u"%s (%s)", m_layer->GetFieldName(m_field).c_str(),
                                m_layer->GetName().c_str());
    for (int id : kValueControls) ShowWindow(GetDlgItem(id), SW_HIDE);
    SetWindowText(GetDlgItem(IDC_FIND_VALUE2_LABEL), u"");
    int rows = 1;
    auto show = [&](int id) { ShowWindow(GetDlgItem(id), SW_SHOW); };
    switch (m_fieldType) {
        case u'D':
            show(IDC_FIND_START);
            show(IDC_FIND_END);
            SetWindowText(GetDlgItem(IDC_FIND_VALUE_LABEL), u"Start");
            SetWindowText(GetDlgItem(IDC_FIND_VALUE2_LABEL), u"End");
            rows = 2;
            break;
        case u'L':
            show(IDC_FIND_LOGICAL);
            SetWindowText(GetDlgItem(IDC_FIND_VALUE_LABEL), u"Find");
            break;
        case u'N':
            show(IDC_FIND_MIN);
            show(IDC_FIND_MAX);
            SetWindowText(GetDlgItem(IDC_FIND_VALUE_LABEL), u"Min");
            SetWindowText(GetDlgItem(IDC_FIND_VALUE2_LABEL), u"Max");
            rows = 2;
            break;
        default:
            show(IDC_FIND_TEXT);
            SetWindowText(GetDlgItem(IDC_FIND_VALUE_LABEL), u"Find");
            break;
    }
    // The second label's place is the check box's with one value row.
    ShowWindow(GetDlgItem(IDC_FIND_VALUE2_LABEL), rows == 2 ? SW_SHOW : SW_HIDE);
    UpdateData(false);
    // The check box below the value rows, the list's top below it (its
    // bottom stays).
    RECT check = ClientRectOf(dialog, IDC_FIND_ONLY_IN_VIEW);
    const int height = check.bottom - check.top;
    check.top = m_firstRowTop + rows * m_rowStep + m_checkGap;
    check.bottom = check.top + height;
    MoveTo(dialog, IDC_FIND_ONLY_IN_VIEW, check);
    RECT list = ClientRectOf(dialog, IDC_FIND_RESULTS);
    list.top = check.bottom + m_listGap;
    MoveTo(dialog, IDC_FIND_RESULTS, list);
}

bool CFindDlg::IsCurrentEditLayer() const {
    return m_doc && m_layer && m_doc->GetLayers().GetEditLayer(m_layer->GetDisplayClass()) == m_layer;
}

void CFindDlg::UpdateButtons() {
    const bool row = m_selectedRecord > 0 && m_list.GetNextItem(-1, LVNI_SELECTED) >= 0;
    EnableWindow(GetDlgItem(IDC_FIND_FIND), m_layer != nullptr);
    EnableWindow(GetDlgItem(IDC_FIND_INFO), row);
    EnableWindow(GetDlgItem(IDC_FIND_GOTO), row);
    EnableWindow(GetDlgItem(IDC_FIND_ACTIONS), row);
    EnableWindow(GetDlgItem(IDC_FIND_EDIT), row && m_layer->IsOpenForEdit());
    for (auto& button : m_buttons) button.Refresh();
}

bool CFindDlg::Matches(int record) const {
    switch (m_fieldType) {
        case u'D': {
            int y = 0, m = 0, d = 0;
            if (!m_layer->GetFieldDate(m_field, y, m, d, nullptr) || !IsValidDate(y, m, d)) return false;
            const long long key = DayKey(y, m, d);
            return DayKey(m_startDate.wYear, m_startDate.wMonth, m_startDate.wDay) <= key &&
                   key <= DayKey(m_endDate.wYear, m_endDate.wMonth, m_endDate.wDay);
        }
        case u'L': {
            // Only a stated value matches: '?' and blanks are neither.
            WString value;
            m_layer->GetFieldText(m_field, value);
            size_t i = value.find_first_not_of(u' ');
            if (i == WString::npos) return false;
            const WChar c = value[i];
            const bool yes = c == u'T' || c == u't' || c == u'Y' || c == u'y';
            const bool no = c == u'F' || c == u'f' || c == u'N' || c == u'n';
            if (!yes && !no) return false;
            return yes == (m_logical != 0);
        }
        case u'N': {
            // A blank number is no number.
            WString value;
            m_layer->GetFieldText(m_field, value);
            if (IsBlank(value)) return false;
            const double n = m_layer->GetFieldNumber(m_field, nullptr);
            return m_minimum <= n && n <= m_maximum;
        }
        default: {
            if (m_findText.empty()) return true;
            (void)record;
            auto contains = [&](int field) {
                WString value;
                m_layer->GetFieldText(field, value);
                return FindTextNoCase(value.c_str(), m_findText.c_str()) != nullptr;
            };
            if (m_field >= 0) return contains(m_field);
            for (int f = 0; f < m_layer->GetFieldCount(); ++f)
                if (contains(f)) return true;
            return false;
        }
    }
}

void CFindDlg::Find() {
    if (!UpdateData(true)) return;
    m_list.DeleteAllItems();
    m_selectedRecord = 0;
    SetWindowText(GetSafeHwnd(), u"Find");
    ClearFoundFeature();
    if (m_view && m_view->GetSafeHwnd()) InvalidateRect(m_view->GetSafeHwnd(), nullptr, FALSE);
    while (!m_findText.empty() && m_findText.back() == u' ') m_findText.pop_back();
    m_viewExtent = m_view ? m_view->GetExtent() : CDoubleRect();
    m_searchExtent = m_onlyInView ? &m_viewExtent : nullptr;
    UpdateButtons();
    if (!m_layer) return;
    if (m_fieldType == u'C' && m_findText.empty() &&
        ShowMapMessage(IDP_FIND_SHOW_ALL, MB_YESNO | MB_ICONEXCLAMATION, kBeepNone) != IDYES)
        return;
    m_matchLimit = kMatchLimit;
    win::BeginWaitCursor();
    int rows = 0;
    for (int record = m_layer->FindNext(0, m_searchExtent); record > 0 && rows < m_matchLimit;
         record = m_layer->FindNext(record, m_searchExtent)) {
        if (!m_layer->ReadRecord(record) || !Matches(record)) continue;
        m_list.AddRecord(rows++, record);
        UpdateWindow(m_list.GetSafeHwnd());
    }
    win::EndWaitCursor();
    MessageBeep(MB_ICONASTERISK);
    SetWindowText(GetSafeHwnd(), text::Format(u"%d matches", m_list.GetItemCount()).c_str());
    UpdateButtons();
}

void CFindDlg::SelectRow(int row) {
    if (!m_layer || row < 0 || row >= m_list.GetItemCount()) return;
    const int record = m_list.GetRecord(row);
    m_selectedRecord = record;
    FoundFeature& found = Found();
    CDoubleRect extent;
    if (!m_layer->GetFeatureExtent(record, extent)) extent.SetEmpty();
    found.extent = extent;
    extent.GetCenter(found.cx, found.cy);
    found.label.clear();
    const int field = m_field >= 0 ? m_field : m_layer->FindLabelField();
    if (m_layer->ReadRecord(record) && field >= 0 && field < m_layer->GetFieldCount())
        m_layer->GetFieldText(field, found.label);
    if (m_view && IsCurrentEditLayer())
        m_view->SelectFeature(m_layer, IndexFromRecordNumber(record), false);
    found.marked = true;
    if (m_view && m_view->GetSafeHwnd()) InvalidateRect(m_view->GetSafeHwnd(), nullptr, FALSE);
    UpdateButtons();
    IShellServices* shell = GetShellServices();
    if (shell->IsFeatureSheetOpen()) shell->ShowFeatureSheet(m_layer, IndexFromRecordNumber(record), 1);
}

bool CFindDlg::RunAction(UINT command) {
    if (!m_layer || m_selectedRecord <= 0) return false;
    const FoundFeature& found = Found();
    HWND window = GetSafeHwnd();
    switch (command) {
        case IDC_FIND_INFO:
        case ID_FEATURE_ACTION_INFO:
            return m_layer->ShowFeatureProperties(window, m_selectedRecord);
        case IDC_FIND_EDIT:
        case ID_FEATURE_ACTION_EDIT:
            if (!m_view || !m_layer->IsOpenForEdit() || !IsCurrentEditLayer()) return false;
            m_view->SelectFeature(m_layer, IndexFromRecordNumber(m_selectedRecord), true);
            return m_layer->EditFeatureProperties(window, m_selectedRecord);
        case IDC_FIND_GOTO:
        case ID_FEATURE_GOTO: {
            if (!m_view) return false;
            WString label = found.label;
            m_view->SetGoToDestination(found.cx, found.cy, &label);
            m_view->CenterAt(found.cx, found.cy);
            EndDialog(IDOK);
            return true;
        }
        case ID_FEATURE_ZOOMTO:
            if (!m_view || found.extent.IsEmpty()) return false;
            m_view->ZoomToExtent(found.extent, true, 1.25);
            return true;
        case ID_FEATURE_CENTER:
            if (!m_view) return false;
            m_view->CenterAt(found.cx, found.cy);
            return true;
        case ID_FEATURE_SELECT:
            if (!m_view || !IsCurrentEditLayer()) return false;
            m_view->SelectFeature(m_layer, IndexFromRecordNumber(m_selectedRecord), true);
            EndDialog(IDOK);
            return true;
        case ID_FEATURE_HYPERLINK:
            return m_layer->HasHyperlink() && m_layer->OpenHyperlink(window, m_selectedRecord);
        case ID_FEATURE_FLASH:
            if (!m_view || !m_view->GetSafeHwnd()) return false;
            SendMessage(m_view->GetSafeHwnd(), WM_VIEW_FLASHSHAPE, reinterpret_cast<WPARAM>(m_layer),
                        m_selectedRecord);
            return true;
        default:
            return false;
    }
}

void CFindDlg::OnActionMenu() {
    if (!m_layer || m_selectedRecord <= 0) return;
    const UINT chosen = TrackFeatureActionMenu(GetSafeHwnd(), GetDlgItem(IDC_FIND_ACTIONS), IsCurrentEditLayer(),
                                               m_layer->HasHyperlink());
    if (chosen) RunAction(chosen);
}

void CFindDlg::ChooseLayerAndField() {
    CFeatureLayer* layer = m_layer;
    int field = m_field;
    if (!GetShellServices()->BrowseField(GetSafeHwnd(), layer, field) || !layer) return;
    if (field >= layer->GetFieldCount()) field = -1;
    m_layer = layer;
    m_field = field;
    m_fieldType = SearchType(m_layer, m_field);
    UpdateFieldControls();
    RebuildList();
    UpdateButtons();
}

bool CFindDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    const UINT id = LOWORD(wParam);
    switch (id) {
        case IDC_FIND_FIND:
            Find();
            return true;
        case IDC_FIND_LAYER:
            ChooseLayerAndField();
            return true;
        case IDC_FIND_ACTIONS:
            OnActionMenu();
            return true;
        case IDC_FIND_INFO:
        case IDC_FIND_EDIT:
        case IDC_FIND_GOTO:
            RunAction(id);
            return true;
        default:
            // The action commands, from the menu or sent by id.
            if (id >= ID_FEATURE_FLASH && id <= ID_FEATURE_HYPERLINK) {
                RunAction(id);
                return true;
            }
            return CDialogExt::OnCommand(wParam, lParam);
    }
}

LRESULT CFindDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT forwarded = 0;
    if (ForwardMenuOwnerMessage(msg, wParam, lParam, &forwarded)) return forwarded;
    if (msg == WM_DRAWITEM && m_list.HandleDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
        return TRUE;
    if (msg == WM_NOTIFY) {
        auto* nm = reinterpret_cast<NMHDR*>(lParam);
        if (nm && nm->hwndFrom == m_list.GetSafeHwnd()) {
            if (nm->code == LVN_ITEMCHANGED) {
                auto* change = reinterpret_cast<NMLISTVIEW*>(nm);
                if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED))
                    SelectRow(change->iItem);
                return 0;
            }
            if (nm->code == NM_DBLCLK) {
                RunAction(IDC_FIND_INFO);
                return 0;
            }
            LRESULT result = 0;
            if (m_list.HandleNotify(nm, &result)) return result;
        }
        if (nm && nm->hwndFrom == GetDlgItem(IDC_FIND_FIND) && nm->code == NM_DBLCLK) {
            Find();
            return 0;
        }
    }
    return CDialogExt::WindowProc(msg, wParam, lParam);
}

// ---- running it and the mark ----

void RunFindDialog(CMapView* view) {
    ClearFoundFeature();
    CFindDlg dialog(view);
    dialog.DoModal();
    if (view && view->GetSafeHwnd()) InvalidateRect(view->GetSafeHwnd(), nullptr, FALSE);
}

void ClearFoundFeature() {
    Found().marked = false;
}

bool HasFoundFeature() {
    return Found().marked;
}

bool GetFoundFeatureExtent(CDoubleRect& extent) {
    if (!Found().marked) return false;
    extent = Found().extent;
    return true;
}

void DrawFoundFeature(CMapView& view, HDC dc) {
    const FoundFeature& found = Found();
    if (!found.marked || found.extent.IsEmpty()) return;
    const auto& display = GetPreferences()->Data().display;
    const int w = display.highlightwidth;
    int saved = SaveDC(dc);
    gdi::OwnedPen pen(CreatePen(PS_SOLID, w, display.highlightcolor));
    SelectObject(dc, pen.get());
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    int l, b, r, t;
    view.MapToScreen(found.extent.xmin, found.extent.ymin, l, b);
    view.MapToScreen(found.extent.xmax, found.extent.ymax, r, t);
    const bool noWidth = found.extent.xmax == found.extent.xmin;
    const bool noHeight = found.extent.ymax == found.extent.ymin;
    if (noWidth && noHeight)
        Ellipse(dc, l - w, t - w, l + w, t + w);
    else if (noWidth)
        Ellipse(dc, l - w, t, r + w, b);
    else if (noHeight)
        Ellipse(dc, l, t - w, r, b + w);
    else
        Rectangle(dc, l, t, r, b);
    RestoreDC(dc, saved);
}
