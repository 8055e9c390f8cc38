#include "shell/frame/main_frame.h"

#include <algorithm>
#include <cstdarg>

#include "core/color_picker.h"
#include "core/dialog_ext.h"
#include "core/recent_file_list.h"
#include "core/xml_node.h"
#include "map/dialogs/font_dlg.h"
#include "map/layers/layer.h"
#include "map/layers/map_doc.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/res/resource.h"
#include "platform/com/variant.h"
#include "core/language_module.h"
#include <cstring>
#include "platform/win/commctrl.h"
#include "platform/win/framework_sheet.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/frame_bars.h"

namespace {

CMainFrame* g_mainFrame = nullptr;
WString& InstanceClassName() {
    static WString name;
    return name;
}


// The language library's text, else the program's own.
WString LoadText(UINT id) {
    if (CLanguageModule* lang = GetLanguageModule()) return lang->LoadString(id, true);
    return res::LoadStringText(nullptr, id);
}

WString AppName() {
    WString name = res::LoadStringText(nullptr, IDR_MAINFRAME);
    return name.substr(0, name.find(u'\n'));
}

// "%1" of a message text replaced by the argument.
WString FormatMessage1(UINT id, const WString& arg) {
    WString text = LoadText(id);
    size_t at = text.find(u"%1");
    if (at != WString::npos) text.replace(at, 2, arg);
    return text;
}

int Scaled(int pixels) {
    // The display's settings hold the dots per inch: no screen DC is needed.
    const int dpi = gdi::GetScreenMetrics().logPixelsX;
    return pixels * (dpi > 0 ? dpi : 96) / 96;
}

CLayer* LayerAt(int index) {
    CMainFrame* frame = CMainFrame::GetMainFrame();
    CMapDoc* doc = frame ? frame->GetMapDoc() : nullptr;
    if (!doc || index < 0 || index >= doc->GetLayers().GetCount()) return nullptr;
    return doc->GetLayers().GetAt(index);
}

}  // namespace

CMainFrame::CMainFrame(IMainFrameHost* host)
    : m_defaultHost(host ? nullptr : std::make_unique<IMainFrameHost>()),
      m_host(host ? host : m_defaultHost.get()),
      m_barsHost(std::make_unique<CFrameBarsHost>(*this)),
      m_bars(std::make_unique<CCommandBars>(*m_barsHost)) {
    g_mainFrame = this;
}

CMainFrame::~CMainFrame() {
    if (m_bars) m_bars->Destroy();
    m_bookmarks.RemoveBookmarks(true);
    if (GetMainWindowServices() == this) SetMainWindowServices(nullptr);
    if (g_mainFrame == this) g_mainFrame = nullptr;
}

CMainFrame* CMainFrame::GetMainFrame() {
    return g_mainFrame;
}

void CMainFrame::SetInstanceClassName(WStringView name) {
    InstanceClassName() = WString(name);
}

CMapView* CMainFrame::GetMapView() const {
    return dynamic_cast<CMapView*>(GetActiveView());
}

CMapDoc* CMainFrame::GetMapDoc() const {
    return dynamic_cast<CMapDoc*>(GetActiveDocument());
}

// ---------------------------------------------------------------- creation

bool CMainFrame::PreCreateWindow(CREATESTRUCT& cs, WString& className) {
    if (!InstanceClassName().empty()) className = InstanceClassName();
    cs.style |= 0x8;
    return FrameWnd::PreCreateWindow(cs, className);
}

int CMainFrame::OnCreate(CREATESTRUCT* cs) {
    // 1. The preferences' dialogs belong to this window.
    if (auto* sheet = dynamic_cast<win::PropertySheet*>(GetPreferences())) sheet->m_psh.hwndParent = GetSafeHwnd();
    SetMainWindowServices(this);
    // 2. Bars, date controls and command bands.
    InitCommonControls();
    // 3. The framework's frame with the view.
    if (FrameWnd::OnCreate(cs) == -1) return -1;
    // 4. Extensions (the status bar does not exist yet, so the text is not seen).
    SetStatusTextId(IDS_LOADING_EXTENSIONS);
    m_host->LoadExtensions(GetSafeHwnd());
    // 5. Splash.
    m_host->ShowSplash(GetSafeHwnd());
    UpdateWindow(GetSafeHwnd());
    // 6. Status bar.
    CreateStatusBar();
    // 7. Command bars.
    m_bars->BuildCommandBars(m_host->GetConfigurationRoot());
    if (HWND strip = m_bars->GetStripWindow()) AddControlBar(strip, m_bars->GetStripAlignment());
    // 8. Global bookmarks.
    m_bookmarks.LoadGlobal();
    RecalcLayout();
    return 0;
}

void CMainFrame::CreateStatusBar() {
    m_statusBar = CreateWindowEx(0, STATUSCLASSNAME, u"", kStatusBarStyle, 0, 0, 0, 0, GetSafeHwnd(),
                                 reinterpret_cast<HMENU>(static_cast<uintptr_t>(kStatusBarId)), nullptr,
                                 nullptr);
    if (!m_statusBar) return;
    if (auto* lang = GetLanguageModule(); lang && lang->IsRightToLeft())
        SetWindowLongPtr(m_statusBar, GWL_EXSTYLE, GetWindowLongPtr(m_statusBar, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    for (int i = 0; i < 4; ++i) m_paneWidths[i] = kPaneWidths[i];
    m_paneWidths[2] = 0;  // the scale pane starts hidden
    AddControlBar(m_statusBar, win::CBRS_ALIGN_BOTTOM);
    SetPaneWidth(0, m_paneWidths[0]);
    HideStatusPane(2);
}

// ---------------------------------------------------------------- status bar

void CMainFrame::SetPaneWidth(int pane, int width) {
    if (pane < 0 || pane > 3) return;
    m_paneWidths[pane] = width;
    if (!m_statusBar) return;
    RECT client;
    GetClientRect(m_statusBar, &client);
    // Pane 0 stretches; the others keep their widths (with room for the
    // pane's borders) from the right edge.
    int parts[4];
    int right = client.right;
    for (int i = 3; i >= 1; --i) {
        parts[i] = i == 3 ? -1 : right;
        int width = m_paneWidths[i] ? Scaled(m_paneWidths[i]) : 0;
        if (i == 2 && width) width = std::max(width, m_scaleTextPixels);
        right -= width ? width + 6 : 0;
    }
    parts[0] = std::max(right, Scaled(m_paneWidths[0]));
    // A pane shows up to its right edge; -1 is the bar's end.
    parts[3] = -1;
    SendMessage(m_statusBar, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
}

int CMainFrame::GetPaneWidth(int pane) const {
    return pane >= 0 && pane < 4 ? m_paneWidths[pane] : 0;
}

void CMainFrame::SetPaneStyle(int pane, DWORD style) {
    if (pane < 0 || pane > 3) return;
    m_paneStyles[pane] = style;
    SetPaneText(pane, GetPaneText(pane));
}

void CMainFrame::SetPaneText(int pane, const WString& text) {
    if (!m_statusBar || pane < 0 || pane > 3) return;
    WPARAM flags = static_cast<WPARAM>(pane);
    if (pane != 0 && m_paneWidths[pane] == 0) flags |= SBT_NOBORDERS;
    if (m_paneStyles[pane] & 0x100) flags |= SBT_NOBORDERS;
    if (m_paneStyles[pane] & 0x200) flags |= SBT_POPOUT;
    SendMessage(m_statusBar, SB_SETTEXT, flags, reinterpret_cast<LPARAM>(text.c_str()));
}

WString CMainFrame::GetPaneText(int pane) const {
    if (!m_statusBar) return {};
    WChar buffer[kStatusTextMax + 2] = {};
    int length = LOWORD(SendMessage(m_statusBar, SB_GETTEXTLENGTH, static_cast<WPARAM>(pane), 0));
    if (length > static_cast<int>(kStatusTextMax)) return {};
    SendMessage(m_statusBar, SB_GETTEXT, static_cast<WPARAM>(pane), reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void CMainFrame::SetStatusText(const WChar* text) {
    if (!m_statusBar) return;
    WString t = text ? WString(text) : WString();
    if (t.size() > kStatusTextMax) t.resize(kStatusTextMax);
    SetPaneText(0, t);
}

void CMainFrame::SetStatusTextF(const WChar* format, ...) {
    if (!format) {
        SetStatusText(nullptr);
        return;
    }
    va_list ap;
    va_start(ap, format);
    WString t = text::FormatV(format, ap);
    va_end(ap);
    SetStatusText(t.c_str());
}

void CMainFrame::SetStatusTextId(UINT stringId) {
    SetStatusText(LoadText(stringId).c_str());
}

void CMainFrame::SetScaleText(unsigned scale) {
    if (!m_scalePaneEnabled || !m_statusBar) return;
    if (scale == 0) {
        if (m_paneWidths[2] != 0) HideStatusPane(2);
        return;
    }
    const WString text = text::Format(u"1:%u", scale);
    // The pane keeps its width unless the text needs more: a face wider
    // than the one the width was chosen for would cut the last digits.
    int needed = 0;
    if (HDC dc = GetDC(m_statusBar)) {
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessage(m_statusBar, WM_GETFONT, 0, 0));
        HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
        SIZE size{};
        if (GetTextExtentPoint32(dc, text.c_str(), static_cast<int>(text.size()), &size))
            needed = size.cx + 2;  // beyond the pane's 3-pixel inset: a pixel each side
        if (old) SelectObject(dc, old);
        ReleaseDC(m_statusBar, dc);
    }
    if (m_paneWidths[2] == 0 || needed != m_scaleTextPixels) {
        m_scaleTextPixels = needed;
        SetPaneWidth(2, m_paneWidths[2] ? m_paneWidths[2] : kPaneWidths[2]);
    }
    SetPaneText(2, text);
}

void CMainFrame::SetModeIndicator(int index) {
    static const WChar* const letters[] = {u"Z", u"V", u"H"};
    if (!m_rockerPaneEnabled || index < 0 || index > 2) return;
    SetPaneText(3, letters[index]);
}

void CMainFrame::HideStatusPane(int index) {
    if (index < 0 || index > 3) return;
    SetPaneWidth(index, 0);
    SetPaneText(index, WString());
}

bool CMainFrame::IsStatusBarShown() {
    return m_statusBar && (GetWindowLongPtr(m_statusBar, GWL_STYLE) & WS_VISIBLE);
}

void CMainFrame::ShowStatusBar(bool show) {
    if (!m_statusBar || IsStatusBarShown() == show) return;
    ShowWindow(m_statusBar, show ? SW_SHOW : SW_HIDE);
    RecalcLayout();
    if (CMapView* view = GetMapView()) view->OnRefresh();
}

void CMainFrame::ApplyStatusBarConfig(const CXmlNode* element) {
    if (!element) return;
    if (!element->GetAttributeBool(u"visible", true)) ShowStatusBar(false);
    m_scalePaneEnabled = element->GetAttributeBool(u"scale", false);
    m_rockerPaneEnabled = element->GetAttributeBool(u"rockermode", false);
    if (!m_scalePaneEnabled) HideStatusPane(2);
    if (!m_rockerPaneEnabled) HideStatusPane(3);
}

void CMainFrame::LoadToolbars(const CXmlNode* toolbars, IScriptHost* host) {
    m_bars->LoadToolbars(toolbars, host);
    if (HWND strip = m_bars->GetStripWindow()) SetControlBarAlignment(strip, m_bars->GetStripAlignment());
    RecalcLayout();
}

// ---------------------------------------------------------------- layout

void CMainFrame::RecalcLayout() {
    FrameWnd::RecalcLayout();
    if (m_statusBar && IsWindow(m_statusBar)) {
        // The status bar at the bottom, full width, its own height; the
        // stretching pane takes what the others leave.
        RECT client, bar;
        GetClientRect(GetSafeHwnd(), &client);
        GetWindowRect(m_statusBar, &bar);
        int h = bar.bottom - bar.top;
        MoveWindow(m_statusBar, 0, client.bottom - h, client.right, h, true);
        SetPaneWidth(0, m_paneWidths[0]);
    }
}

// ---------------------------------------------------------------- the map

void CMainFrame::RefreshView() {
    if (CMapView* view = GetMapView()) InvalidateRect(view->GetSafeHwnd(), nullptr, false);
}

CLayer* CMainFrame::AddLayerFile(const WString& path) {
    CMapDoc* doc = GetMapDoc();
    if (!doc || path.empty()) return nullptr;
    if (CLayer* open = doc->FindLayerByPath(path)) return open;
    bool wasEmpty = doc->GetLayers().GetCount() == 0;
    CLayer* layer = nullptr;
    if (!doc->AddLayerFromPath(path, &layer) || !layer) return nullptr;
    if (CMapView* view = GetMapView()) {
        CDoubleRect extent;
        if (wasEmpty) {
            if (layer->GetBookmarks().GetExtentByName(u"*", extent))
                view->ZoomToExtent(extent, true, 1.0);
            else
                view->ZoomToFullExtent();
        }
        view->OnRefresh();
    }
    doc->SetModifiedFlag(true);
    return layer;
}

void CMainFrame::AddLayersAndZoom(const std::vector<WString>& paths) {
    CMapDoc* doc = GetMapDoc();
    if (!doc) return;
    bool wasEmpty = doc->GetLayers().GetCount() == 0;
    std::vector<CLayer*> added;
    for (const WString& path : paths) {
        CLayer* layer = nullptr;
        if (doc->AddLayerFromPath(path, &layer) && layer) {
            added.push_back(layer);
            if (CRecentFileList* recent = m_host->GetRecentLayers()) recent->Add(path);
        }
    }
    if (added.empty()) return;
    if (CMapView* view = GetMapView()) {
        if (wasEmpty) {
            CDoubleRect extent;
            if (added.size() == 1 && added[0]->GetBookmarks().GetExtentByName(u"*", extent))
                view->ZoomToExtent(extent, true, 1.0);
            else
                view->ZoomToFullExtent();
        }
        view->OnRefresh();
    }
    doc->SetModifiedFlag(true);
}

void CMainFrame::RefreshEditToolbar() {
    CToolBarExt* draw = m_bars->GetBuiltInBar(kDrawBarId);
    if (!draw) return;
    if (draw->IsVisible()) {
        if (CMapView* view = GetMapView()) view->UpdateEditToolbars();
    } else {
        PostMessage(GetSafeHwnd(), WM_COMMAND, kCmdShowDrawBar, 0);
    }
}

bool CMainFrame::GetViewExtent(CDoubleRect& extent) {
    CMapView* view = GetMapView();
    if (!view) return false;
    extent = view->GetExtent();
    return true;
}

void CMainFrame::AddToRecentDocuments(WStringView path) {
    if (win::App* app = win::App::Current()) app->AddToRecentFileList(path);
}

LRESULT CMainFrame::OnGpsPosition(GpsPosition* position) {
    CMapView* view = GetMapView();
    if (!view) return 0;
    return SendMessage(view->GetSafeHwnd(), WM_GPS_POSITION, reinterpret_cast<WPARAM>(position), 0);
}

void CMainFrame::SetToolButtonImage(UINT commandId) {
    m_bars->SetToolButtonImage(commandId);
}

namespace {
UINT BuiltInBarId(IMainWindow::ToolBar bar) {
    return bar == IMainWindow::ToolBar::Browse ? kBrowseBarId : kDrawBarId;
}
// The position on the bar of its n-th button, separators not counted; -1
// when there is none.
int ButtonPosition(CToolBarExt* bar, int n) {
    if (!bar || !bar->GetSafeHwnd() || n < 0) return -1;
    for (int i = 0; i < bar->GetCount(); ++i)
        if (bar->GetItemID(i) != 0 && n-- == 0) return i;
    return -1;
}
}  // namespace

bool CMainFrame::IsToolBarShown(ToolBar bar) {
    CToolBarExt* b = m_bars->GetBuiltInBar(BuiltInBarId(bar));
    return b && b->GetSafeHwnd() && b->IsVisible();
}

void CMainFrame::UpdateToolBarStates(ToolBar bar) {
    (void)bar;  // the update walks every shown bar
    m_bars->UpdateButtons(GetCommandChain());
}

bool CMainFrame::IsToolBarButtonEnabled(ToolBar bar, int index) {
    CToolBarExt* b = m_bars->GetBuiltInBar(BuiltInBarId(bar));
    int at = ButtonPosition(b, index);
    if (at < 0) return false;
    return SendMessage(b->GetSafeHwnd(), TB_ISBUTTONENABLED, b->GetItemID(at), 0) != 0;
}

void CMainFrame::SetToolBarButton(ToolBar bar, int index, UINT commandId, int image) {
    CToolBarExt* b = m_bars->GetBuiltInBar(BuiltInBarId(bar));
    int at = ButtonPosition(b, index);
    if (at >= 0) b->SetButtonInfo(at, commandId, image);
}

void CMainFrame::FireCommandEvent(UINT commandId, int eventId) {
    m_bars->FireCommandEvent(commandId, eventId);
}

int CMainFrame::RunBoundKeyCommand(int slot, int) {
    return m_bars->RunBoundKeyCommand(slot) ? 1 : 0;
}

// ---------------------------------------------------------------- services

int CMainFrame::ServiceLayerToMap(int index, const double* in, int count, double* out) {
    CLayer* layer = LayerAt(index);
    if (!layer || count < 0 || !in || !out) return 0;
    std::vector<DoublePoint> a(static_cast<size_t>(count)), b(static_cast<size_t>(count));
    for (size_t i = 0; i < a.size(); ++i) a[i] = {in[2 * i], in[2 * i + 1]};
    layer->LayerToMapPoints(a.data(), count, b.data());
    for (size_t i = 0; i < b.size(); ++i) out[2 * i] = b[i].x, out[2 * i + 1] = b[i].y;
    return 1;
}

int CMainFrame::ServiceMapToLayer(int index, const double* in, int count, double* out) {
    CLayer* layer = LayerAt(index);
    if (!layer || count < 0 || !in || !out) return 0;
    std::vector<DoublePoint> a(static_cast<size_t>(count)), b(static_cast<size_t>(count));
    for (size_t i = 0; i < a.size(); ++i) a[i] = {in[2 * i], in[2 * i + 1]};
    layer->MapToLayerPoints(a.data(), count, b.data());
    for (size_t i = 0; i < b.size(); ++i) out[2 * i] = b[i].x, out[2 * i + 1] = b[i].y;
    return 1;
}

int CMainFrame::ServiceLayerToScreen(int index, const double* in, int count, int32_t* out) {
    CLayer* layer = LayerAt(index);
    CMapView* view = g_mainFrame ? g_mainFrame->GetMapView() : nullptr;
    if (!layer || !view || count < 0 || !in || !out) return 0;
    for (int i = 0; i < count; ++i) {
        DoublePoint p{in[2 * i], in[2 * i + 1]};
        if (layer->IsReprojecting()) layer->LayerToMapPoints(&p, 1, &p);
        POINT s = view->MapPointToScreen(p);
        out[2 * i] = static_cast<int32_t>(s.x);
        out[2 * i + 1] = static_cast<int32_t>(s.y);
    }
    return 1;
}

int CMainFrame::ServiceScreenToLayer(int index, const int32_t* in, int count, double* out) {
    CLayer* layer = LayerAt(index);
    CMapView* view = g_mainFrame ? g_mainFrame->GetMapView() : nullptr;
    if (!layer || !view || count < 0 || !in || !out) return 0;
    for (int i = 0; i < count; ++i) {
        DoublePoint p;
        view->ScreenToMap(in[2 * i], in[2 * i + 1], p.x, p.y);
        if (layer->IsReprojecting()) layer->MapToLayerPoints(&p, 1, &p);
        out[2 * i] = p.x;
        out[2 * i + 1] = p.y;
    }
    return 1;
}

int CMainFrame::ServiceColorPicker(HWND parent, COLORREF* colour) {
    if (!colour) return 0;
    return ShowColorPicker(parent, colour);
}

int CMainFrame::ServiceChooseFont(HWND parent, LOGFONT* font) {
    if (!font) return 0;
    return ChooseFontDlg(parent, *font) ? 1 : 0;
}

// ---------------------------------------------------------------- commands

void CMainFrame::OnOpenMap() {
    WString folder;
    if (IPreferences* prefs = GetPreferences()) folder = prefs->Data().paths.data;
    CFileDialogEx dialog(true, u"znm", nullptr, 0x1004, kOpenMapFilter, GetSafeHwnd());
    dialog.m_ofn.title = LoadText(IDS_OPEN_MAP_TITLE);
    dialog.m_ofn.initialDir = folder;
    if (dialog.DoModal() != IDOK) return;
    m_host->OpenMap(dialog.GetPathName());
}

void CMainFrame::OnOpenRecentMap(int entry) {
    win::App* app = win::App::Current();
    auto* recent = app ? dynamic_cast<CRecentFileList*>(app->GetRecentFileList()) : nullptr;
    if (!recent || entry < 0 || entry >= recent->GetCount()) return;
    WString path = (*recent)[entry];
    if (fs::GetFileAttributes(path) == fs::kInvalidAttributes) {
        // A map that is gone leaves the list, and the user is told.
        recent->Remove(entry);
        recent->Save();
        MessageBox(GetSafeHwnd(), FormatMessage1(IDP_FILE_NOT_EXIST, path).c_str(),
                   AppName().c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_host->OpenMap(path);
}

void CMainFrame::OnAddLayer() {
    AddLayersAndZoom(m_host->AddLayerDialog(GetSafeHwnd()));
}

void CMainFrame::OnNewLayer() {
    WString path = m_host->NewLayerDialog(GetSafeHwnd());
    CMapDoc* doc = GetMapDoc();
    if (path.empty() || !doc) return;
    CLayer* layer = nullptr;
    if (!doc->AddLayerFromPath(path, &layer) || !layer) return;
    if (CRecentFileList* recent = m_host->GetRecentLayers()) recent->Add(path);
    doc->GetLayers().SetEditLayer(layer);
    RefreshEditToolbar();
    doc->SetModifiedFlag(true);
    if (CMapView* view = GetMapView()) view->OnRefresh();
}

void CMainFrame::OnOptions() {
    IPreferences* prefs = GetPreferences();
    DWORD lcid = prefs ? prefs->Data().locale.lcid : 0;
    m_host->RunOptions();
    // Whatever the sheet's result: the view rereads the options.
    if (CMapView* view = GetMapView()) {
        SendMessage(view->GetSafeHwnd(), WM_VIEW_PREFSCHANGED, 0, 0);
        InvalidateRect(view->GetSafeHwnd(), nullptr, true);
    }
    if (prefs && prefs->Data().locale.lcid != lcid) m_host->SelectLocaleResources();
    m_host->ResetProgramFont();
}

void CMainFrame::OnAddInternetServer() {
    WString file = m_host->AddInternetServerDialog(GetSafeHwnd());
    CMapDoc* doc = GetMapDoc();
    if (file.empty() || !doc) return;
    if (MessageBox(GetSafeHwnd(), FormatMessage1(IDP_ADD_IMS_LAYER, file).c_str(), AppName().c_str(),
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    bool wasEmpty = doc->GetLayers().GetCount() == 0;
    CLayer* layer = nullptr;
    if (!doc->AddLayerFromPath(file, &layer) || !layer) return;
    if (CRecentFileList* recent = m_host->GetRecentLayers()) recent->Add(file);
    if (CMapView* view = GetMapView()) {
        if (wasEmpty) view->ZoomToFullExtent();
        view->OnRefresh();
    }
    doc->SetModifiedFlag(true);
}

void CMainFrame::OnMapvault() {
    if (!GetShellServices()->OpenUrlShortcut(GetSafeHwnd(), kMapvaultUrl))
        MessageBox(GetSafeHwnd(), FormatMessage1(IDP_MAPVAULT_FAILED, kMapvaultUrl).c_str(),
                   AppName().c_str(), MB_OK | MB_ICONHAND);
}

void CMainFrame::OnToggleStatusBar() {
    ShowStatusBar(!IsStatusBarShown());
}

void CMainFrame::OnTogglePanFrame() {
    IPreferences* prefs = GetPreferences();
    if (!prefs) return;
    prefs->Data().display.panframe = !prefs->Data().display.panframe;
    if (CMapView* view = GetMapView()) view->OnRefresh();
    prefs->WritePreferences();
}

bool CMainFrame::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    auto run = [&](auto&& action) {
        if (!ui) action();
        return true;
    };
    switch (id) {
        case kCmdOpenMap:
            return run([&] { OnOpenMap(); });
        case kCmdSaveMap:
        case kCmdSaveMapAs:
            if (ui) ui->Enable(GetMapDoc() != nullptr);
            return run([&] {
                if (CMapDoc* doc = GetMapDoc()) {
                    doc->DoSave(id == kCmdSaveMap ? doc->GetPathName() : WString());
                    OnUpdateFrameTitle();
                }
            });
        case kCmdAddLayer:
            return run([&] { OnAddLayer(); });
        case kCmdNewLayer:
            return run([&] { OnNewLayer(); });
        case kCmdOptions:
        case kCmdOptions2:
            return run([&] { OnOptions(); });
        case kCmdAddInternetServer:
            return run([&] { OnAddInternetServer(); });
        case kCmdMapvault:
            return run([&] { OnMapvault(); });
        case kCmdScriptEditor:
            return run([&] { m_host->ScriptEditorDialog(GetSafeHwnd()); });
        case kCmdMapProperties:
            return run([&] { m_host->MapInformationDialog(GetSafeHwnd(), GetMapDoc()); });
        case kCmdToggleStatusBar:
            if (ui) ui->SetCheck(IsStatusBarShown() ? 1 : 0);
            return run([&] { OnToggleStatusBar(); });
        case kCmdTogglePanFrame:
            if (ui) {
                IPreferences* prefs = GetPreferences();
                ui->SetCheck(prefs && prefs->Data().display.panframe ? 1 : 0);
            }
            return run([&] { OnTogglePanFrame(); });
        case kCmdHelp:
            return run([&] { m_host->ShowHelp(); });
        case kCmdExit:
            return run([&] { PostMessage(GetSafeHwnd(), WM_CLOSE, 0, 0); });
        default:
            if (id >= kCmdFirstRecentMap && id <= kCmdLastRecentMap)
                return run([&] { OnOpenRecentMap(static_cast<int>(id - kCmdFirstRecentMap)); });
            break;
    }
    return m_bars->OnCmdMsg(id, code, ui);
}

void CMainFrame::OnIdleUpdateCmdUI() {
    m_bars->UpdateButtons(GetCommandChain());
}

// ---------------------------------------------------------------- messages

LRESULT CMainFrame::OnCopyData(const COPYDATASTRUCT* data) {
    if (!data) return FALSE;
    const auto* bytes = static_cast<const uint8_t*>(data->lpData);
    const size_t size = bytes ? data->cbData : 0;
    switch (data->dwData) {
        case 1: {
            // Wide text: at most the record's bytes (an odd last byte is
            // ignored), up to the first zero unit.
            WString text;
            for (size_t i = 0; i + 1 < size; i += 2) {
                WChar c = static_cast<WChar>(bytes[i] | (bytes[i + 1] << 8));
                if (c == 0) break;
                text.push_back(c);
            }
            m_host->ExecuteScriptText(text);
            return TRUE;
        }
        case 2:
            if (size) m_host->WriteGpsPort(bytes, size);
            return TRUE;
        case 3:
            if (size) m_host->WriteAuxPort(bytes, size);
            return TRUE;
        default:
            return static_cast<LRESULT>(Default());
    }
}

LRESULT CMainFrame::OnAuxData(WPARAM wParam, LPARAM lParam) {
    // Only the open auxiliary port's own notification is taken; a stale one
    // is dropped untouched, a current one always acknowledged.
    IGpsPort* port = m_host->GetAuxPort();
    if (!port || reinterpret_cast<IGpsPort*>(lParam) != port) return 0;
    GpsAcknowledgeGuard guard(port, wParam, lParam);
    if (guard.Notification()) m_host->OnAuxData(wParam);
    return 0;
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_EXT_SHOWMESSAGE: {
            const auto* text = reinterpret_cast<const WChar*>(wParam);
            MessageBox(GetSafeHwnd(), text ? text : u"", AppName().c_str(), MB_OK | MB_ICONINFORMATION);
            if (lParam && text) SysFreeString(const_cast<BSTR>(reinterpret_cast<const OLECHAR*>(text)));
            return 0;
        }
        case WM_EXT_GETSERVICE:
            switch (wParam) {
                case 1:
                    return reinterpret_cast<LRESULT>(&ServiceLayerToMap);
                case 2:
                    return reinterpret_cast<LRESULT>(&ServiceMapToLayer);
                case 3:
                    return reinterpret_cast<LRESULT>(&ServiceLayerToScreen);
                case 4:
                    return reinterpret_cast<LRESULT>(&ServiceScreenToLayer);
                case 5:
                    return reinterpret_cast<LRESULT>(&ServiceColorPicker);
                case 6:
                    return reinterpret_cast<LRESULT>(&ServiceChooseFont);
                default:
                    return 0;
            }
        case WM_EXT_FIREEVENT:
            m_host->FireApplicationEvent(kEventOnExEvent, static_cast<int16_t>(LOWORD(wParam)));
            return 0;
        case WM_GPS_POSITION:
            if (CMapView* view = GetMapView()) SendMessage(view->GetSafeHwnd(), WM_GPS_POSITION, wParam, 0);
            return 0;
        case WM_GPS_DATA:
            return OnAuxData(wParam, lParam);
        case WM_COPYDATA:
            return OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        case WM_TIMER:
            if (wParam == m_host->GetScriptTimerId()) {
                m_host->FireApplicationEvent(kEventOnTimer, 0);
                return 0;
            }
            break;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (lParam && m_bars->OnNotify(reinterpret_cast<const NMHDR*>(lParam), &result)) return result;
            break;
        }
        case WM_MEASUREITEM:
        case WM_DRAWITEM:
            if (m_bars->OnOwnerDraw(msg, wParam, lParam)) return TRUE;
            break;
        case WM_KEYUP:
            if (m_bars->OnKeyUp(static_cast<UINT>(wParam))) return 0;
            break;
        case WM_DESTROY:
            // Scripts learn of the end while the window still exists.
            m_host->FireApplicationEvent(kEventOnShutdown, 0);
            break;
        default:
            break;
    }
    return FrameWnd::WindowProc(msg, wParam, lParam);
}

void CMainFrame::AssociateApplicationKeys() {
    if (m_bars) m_bars->AssociateAppKeys();
}
