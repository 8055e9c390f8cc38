#include "core/dialog_ext.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "core/language_module.h"
#include "core/no_data.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/dialog.h"

namespace {

std::atomic<HFONT> g_programFont{nullptr};

// Tooltip texts are "caption~~tooltip"; a translated text alone becomes the tip.
constexpr size_t kMaxTooltipText = 253;

void RefreshFrame(HWND window) {
    SetWindowPos(window, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// A window's rectangle in the client coordinates of its parent.
RECT RectInParent(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    POINT pts[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(nullptr, parent, pts, 2);
    return RECT{pts[0].x, pts[0].y, pts[1].x, pts[1].y};
}

}  // namespace

// ---------------------------------------------------------------- fonts

void SetProgramFont(HFONT font) {
    g_programFont.store(font);
}

HFONT GetProgramFont() {
    return g_programFont.load();
}

HFONT CreateDialogFont(HWND window) {
    HFONT program = GetProgramFont();
    if (!program) return nullptr;
    LOGFONT lf{};
    if (GetObject(program, sizeof lf, &lf) != static_cast<int>(sizeof lf)) return nullptr;
    HFONT current = window ? reinterpret_cast<HFONT>(SendMessage(window, WM_GETFONT, 0, 0))
                           : nullptr;
    if (!current) current = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    LOGFONT sized{};
    if (current && GetObject(current, sizeof sized, &sized) == static_cast<int>(sizeof sized))
        lf.lfHeight = sized.lfHeight;
    return CreateFontIndirect(&lf);
}

void SetFontOnChildren(HWND window, HFONT font, bool redraw) {
    for (HWND child : GetChildren(window))
        SendMessage(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? 1 : 0);
}

void LocalizeDialogControls(HWND dialog, UINT stringId, HFONT font) {
    CLanguageModule* lang = GetLanguageModule();
    if (font) SendMessage(dialog, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
    if (lang && stringId) lang->LoadWindowText(dialog, static_cast<int>(stringId));
    for (HWND child : GetChildren(dialog)) {
        if (font) SendMessage(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), 1);
        const WString cls = GetClassNameText(child);
        const bool tooltip = text::EqualsNoCase(cls, u"TTBUTTON") ||
                             text::EqualsNoCase(cls, u"TTSTATIC");
        const bool labelled =
            tooltip || text::EqualsNoCase(cls, u"BUTTON") || text::EqualsNoCase(cls, u"STATIC");
        const bool handled =
            labelled || text::EqualsNoCase(cls, u"EDIT") || text::EqualsNoCase(cls, u"LISTBOX");
        if (!handled || !lang) continue;
        if (lang->IsRightToLeft()) {
            const DWORD ex = static_cast<DWORD>(GetWindowLong(child, GWL_EXSTYLE));
            if ((ex & kRtlExStyles) != kRtlExStyles) {
                SetWindowLong(child, GWL_EXSTYLE, static_cast<LONG>(ex | kRtlExStyles));
                RefreshFrame(child);
            }
        }
        if (!labelled) continue;
        const int id = GetDlgCtrlID(child);
        if (id == -1 || id == 0xFFFF || id == 0) continue;
        WString t;
        if (!lang->LoadString(static_cast<UINT>(id), t, false, true)) continue;
        if (tooltip && t.size() <= kMaxTooltipText) t = u"~~" + t;
        SetWindowText(child, t.c_str());
    }
}

void DialogUnitsToPixels(HWND dialog, RECT& rect) {
    int bx = LOWORD(GetDialogBaseUnits()), by = HIWORD(GetDialogBaseUnits());
    int dx = 4, dy = 8;
    RECT probe{0, 0, 10000, 10000};
    if (dialog && IsWindow(dialog) && MapDialogRect(dialog, &probe)) {
        bx = probe.right;
        by = probe.bottom;
        dx = dy = 10000;
    }
    rect.left = win::DialogUnitsToPixels(rect.left, bx, dx);
    rect.right = win::DialogUnitsToPixels(rect.right, bx, dx);
    rect.top = win::DialogUnitsToPixels(rect.top, by, dy);
    rect.bottom = win::DialogUnitsToPixels(rect.bottom, by, dy);
}

void PixelsToDialogUnits(HWND dialog, RECT& rect) {
    int bx = LOWORD(GetDialogBaseUnits()), by = HIWORD(GetDialogBaseUnits());
    int dx = 4, dy = 8;
    RECT probe{0, 0, 10000, 10000};
    if (dialog && IsWindow(dialog) && MapDialogRect(dialog, &probe)) {
        bx = probe.right;
        by = probe.bottom;
        dx = dy = 10000;
    }
    // The inverse scale, through the same bounded conversion.
    if (bx <= 0 || by <= 0) return;
    rect.left = win::DialogUnitsToPixels(rect.left, dx, bx);
    rect.right = win::DialogUnitsToPixels(rect.right, dx, bx);
    rect.top = win::DialogUnitsToPixels(rect.top, dy, by);
    rect.bottom = win::DialogUnitsToPixels(rect.bottom, dy, by);
}

// ---------------------------------------------------------------- dialog

CDialogExt::CDialogExt(UINT templateId, HWND parent, HINSTANCE module)
    : win::Dialog(templateId, parent, module), m_templateId(templateId) {}

CDialogExt::CDialogExt(const WChar* templateName, HWND parent, HINSTANCE module)
    : win::Dialog(templateName, parent, module), m_templateId(0) {}

CDialogExt::~CDialogExt() {
    // The window goes first, so that OnDestroy runs while the object is whole.
    if (GetSafeHwnd()) DestroyWindow();
    m_font.reset();
}

void CDialogExt::PreCreateDialog(DialogTemplate& tmpl) {
    CLanguageModule* lang = GetLanguageModule();
    if (lang && lang->IsRightToLeft()) tmpl.exStyle |= kRtlExStyles;
}

bool CDialogExt::OnInitDialog() {
    win::Dialog::OnInitDialog();
    CLanguageModule* lang = GetLanguageModule();
    if (m_localize && lang) {
        lang->ApplyRtlStyleToWnd(this);
        m_font.reset(CreateDialogFont(GetSafeHwnd()));
        LocalizeDialogControls(GetSafeHwnd(), m_templateId, m_font.get());
    }
    return true;
}

LRESULT CDialogExt::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE) {
        LRESULT r = win::Dialog::WindowProc(msg, wParam, lParam);
        OnSize(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
        return r;
    }
    if (msg == WM_DESTROY) {
        LRESULT r = win::Dialog::WindowProc(msg, wParam, lParam);
        OnDestroy();
        return r;
    }
    return win::Dialog::WindowProc(msg, wParam, lParam);
}

void CDialogExt::AddAnchor(int id, int horizontal, int vertical) {
    if (s_swapRtlAnchorModes) {
        CLanguageModule* lang = GetLanguageModule();
        if (lang && lang->IsRightToLeft() && horizontal < 2) horizontal = 1 - horizontal;
    }
    if (horizontal == 0 && vertical == 0) return;
    m_anchors.push_back((static_cast<DWORD>(id) & 0xFFFF) |
                        ((static_cast<DWORD>(horizontal) & 0xFF) << 16) |
                        ((static_cast<DWORD>(vertical) & 0xFF) << 24));
}

void CDialogExt::OnSize(UINT type, int cx, int cy) {
    if (type == SIZE_MINIMIZED) return;
    if (m_prevWidth == 0 && m_prevHeight == 0) {
        m_prevWidth = cx;
        m_prevHeight = cy;
        return;
    }
    const int dx = cx - m_prevWidth;
    const int dy = cy - m_prevHeight;
    HWND dlg = GetSafeHwnd();
    const bool mirrored = (static_cast<DWORD>(GetWindowLong(dlg, GWL_EXSTYLE)) & WS_EX_LAYOUTRTL) != 0;
    for (DWORD a : m_anchors) {
        const int id = static_cast<int>(a & 0xFFFF);
        const int h = static_cast<int>((a >> 16) & 0xFF);
        const int v = static_cast<int>((a >> 24) & 0xFF);
        HWND ctrl = ::GetDlgItem(dlg, id);
        if (!ctrl || (h == 0 && v == 0)) continue;
        RECT r = RectInParent(dlg, ctrl);
        // Mapped through a mirrored dialog a rectangle comes back with left and
        // right exchanged; in mirrored client coordinates x runs from the right
        // edge, so the same moves below mirror what the user sees.
        if (mirrored && r.left > r.right) std::swap(r.left, r.right);
        if (h == 2) r.right += dx;
        if (h == 1) {
            r.left += dx;
            r.right += dx;
        }
        if (v == 2) r.bottom += dy;
        if (v == 1) {
            r.top += dy;
            r.bottom += dy;
        }
        MoveWindow(ctrl, r.left, r.top, r.right - r.left, r.bottom - r.top, false);
        InvalidateRect(ctrl, nullptr, true);
    }
    m_prevWidth = cx;
    m_prevHeight = cy;
}

void CDialogExt::OnDestroy() {
    m_prevWidth = m_prevHeight = 0;
    m_anchors.clear();
    m_font.reset();
}

void CDialogExt::EnableOk(bool enable) {
    HWND dlg = GetSafeHwnd();
    if (HWND ok = ::GetDlgItem(dlg, IDOK)) {
        EnableWindow(ok, enable);
        return;
    }
    DWORD ex = static_cast<DWORD>(GetWindowLong(dlg, GWL_EXSTYLE));
    ex = enable ? (ex | WS_EX_CAPTIONOKBTN) : (ex & ~WS_EX_CAPTIONOKBTN);
    SetWindowLong(dlg, GWL_EXSTYLE, static_cast<LONG>(ex));
}

void CDialogExt::UseCaptionButtons(bool use, bool shrink) {
    if (!use) return;
    HWND dlg = GetSafeHwnd();
    int edge = -1;
    if (HWND ok = ::GetDlgItem(dlg, IDOK)) {
        edge = std::max(edge, static_cast<int>(RectInParent(dlg, ok).top));
        ::DestroyWindow(ok);
        SetWindowLong(dlg, GWL_EXSTYLE,
                      static_cast<LONG>(static_cast<DWORD>(GetWindowLong(dlg, GWL_EXSTYLE)) |
                                        WS_EX_CAPTIONOKBTN));
    }
    if (HWND cancel = ::GetDlgItem(dlg, IDCANCEL)) {
        edge = std::max(edge, static_cast<int>(RectInParent(dlg, cancel).top));
        ::DestroyWindow(cancel);
        SetWindowLong(dlg, GWL_STYLE,
                      static_cast<LONG>(static_cast<DWORD>(GetWindowLong(dlg, GWL_STYLE)) |
                                        WS_SYSMENU));
    }
    if (!shrink || edge < 0) return;
    RECT window{}, client{};
    GetWindowRect(dlg, &window);
    GetClientRect(dlg, &client);
    const int height = (window.bottom - window.top) - (client.bottom - client.top) + edge;
    SetWindowPos(dlg, nullptr, 0, 0, window.right - window.left, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---------------------------------------------------------------- page

CPropertyPageExt::CPropertyPageExt() : win::PropertyPage(0, 0) {}

CPropertyPageExt::CPropertyPageExt(UINT templateId, UINT captionId, HINSTANCE module)
    : win::PropertyPage(templateId, captionId, module),
      m_templateId(templateId),
      m_captionId(captionId) {}

CPropertyPageExt::CPropertyPageExt(const WChar* templateName, UINT captionId, HINSTANCE module)
    : win::PropertyPage(0, captionId, module), m_captionId(captionId) {
    m_psp.pszTemplate = templateName;
}

CPropertyPageExt::~CPropertyPageExt() {
    if (GetSafeHwnd()) DestroyWindow();
    m_font.reset();
}

bool CPropertyPageExt::OnInitDialog() {
    const bool r = win::PropertyPage::OnInitDialog();
    CLanguageModule* lang = GetLanguageModule();
    if (lang) lang->ApplyRtlStyleToWnd(this);
    m_font.reset(CreateDialogFont(GetSafeHwnd()));
    LocalizeDialogControls(GetSafeHwnd(), m_captionId ? m_captionId : m_templateId, m_font.get());
    return r;
}

LRESULT CPropertyPageExt::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        LRESULT r = win::PropertyPage::WindowProc(msg, wParam, lParam);
        m_font.reset();
        return r;
    }
    return win::PropertyPage::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- sheet

CPropertySheetExt::CPropertySheetExt() : win::PropertySheet(0u) {}

CPropertySheetExt::CPropertySheetExt(UINT captionId, HWND parent, UINT selectPage)
    : win::PropertySheet(captionId, parent, selectPage) {}

CPropertySheetExt::CPropertySheetExt(WString caption, HWND parent, UINT selectPage)
    : win::PropertySheet(std::move(caption), parent, selectPage) {}

CPropertySheetExt::~CPropertySheetExt() {
    if (GetSafeHwnd()) DestroyWindow();
    m_tabFont.reset();
}

bool CPropertySheetExt::OnInitDialog() {
    const bool r = win::PropertySheet::OnInitDialog();
    CLanguageModule* lang = GetLanguageModule();
    HWND tab = GetTabControl();
    if (lang) {
        lang->ApplyRtlStyleToWnd(this);
        lang->ApplyRtlStyle(tab);
    }
    m_tabFont.reset(CreateDialogFont(tab));
    if (m_tabFont.get()) {
        SendMessage(tab, WM_SETFONT, reinterpret_cast<WPARAM>(m_tabFont.get()), 0);
        SendMessage(GetSafeHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(m_tabFont.get()), 0);
    }
    if (lang && tab) {
        for (int i = 0; i < GetPageCount(); ++i) {
            win::PropertyPage* page = GetPage(i);
            const WChar* name = page ? page->m_psp.pszTemplate : nullptr;
            if (!name || !IS_INTRESOURCE(name)) continue;
            const UINT id = static_cast<UINT>(reinterpret_cast<uintptr_t>(name));
            WString t;
            if (!lang->LoadString(id, t, false, true)) continue;
            TCITEM item;
            item.mask = TCIF_TEXT | (lang->IsRightToLeft() ? TCIF_RTLREADING : 0);
            item.pszText = t.data();
            SendMessage(tab, TCM_SETITEM, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        }
    }
    return r;
}

LRESULT CPropertySheetExt::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        LRESULT r = win::PropertySheet::WindowProc(msg, wParam, lParam);
        m_tabFont.reset();
        return r;
    }
    return win::PropertySheet::WindowProc(msg, wParam, lParam);
}

void CPropertySheetExt::SetPageImage(win::PropertyPage* page, int image) {
    if (!page) return;
    const int index = GetPageIndex(page);
    if (index < 0) return;
    TCITEM item;
    item.mask = TCIF_IMAGE;
    item.iImage = image;
    SendMessage(GetTabControl(), TCM_SETITEM, static_cast<WPARAM>(index),
                reinterpret_cast<LPARAM>(&item));
}

void CPropertySheetExt::SetPageTitle(win::PropertyPage* page, const WChar* text) {
    if (!page || !text) return;
    const int index = GetPageIndex(page);
    if (index < 0) return;
    WString t(text);
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = t.data();
    SendMessage(GetTabControl(), TCM_SETITEM, static_cast<WPARAM>(index),
                reinterpret_cast<LPARAM>(&item));
}

bool CPropertySheetExt::GetPageTitle(win::PropertyPage* page, WString& text) {
    if (!page) return false;
    const int index = GetPageIndex(page);
    if (index < 0) return false;
    WChar buffer[257] = {};
    TCITEM item;
    item.mask = TCIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = 257;
    if (!SendMessage(GetTabControl(), TCM_GETITEM, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&item)))
        return false;
    text = item.pszText ? WString(item.pszText) : WString();
    if (text.size() > 256) text.resize(256);
    return true;
}

// ---------------------------------------------------------------- file dialog

CFileDialogEx::CFileDialogEx(bool open, const WChar* defaultExtension, const WChar* fileName,
                             DWORD flags, const WChar* filter, HWND parent)
    : m_open(open), m_parent(parent) {
    m_ofn.flags = flags;
    if (defaultExtension) m_ofn.defExt = defaultExtension;
    if (fileName) m_ofn.file = fileName;
    if (filter) {
        m_ofn.filter = filter;
        std::replace(m_ofn.filter.begin(), m_ofn.filter.end(), u'|', u'\0');
    }
}

int CFileDialogEx::DoModal(bool clearName) {
    m_ofn.flags &= ~OFN_ENABLEHOOK;
    if (clearName) m_ofn.file.clear();
    HWND focus = GetFocus();
    HWND owner = m_parent ? m_parent : win::GetMainWindow();
    m_ofn.hwndOwner = owner;
    const bool disabled = owner && IsWindowEnabled(owner);
    if (disabled) EnableWindow(owner, false);
    const bool ok = m_open ? GetOpenFileName(&m_ofn) : GetSaveFileName(&m_ofn);
    if (ok && !m_open && m_ofn.file.size() >= 2 && m_ofn.file[0] == u'\\' &&
        m_ofn.file[1] == u'\\')
        m_ofn.file.erase(0, 1);
    if (disabled) EnableWindow(owner, true);
    if (focus && IsWindow(focus)) SetFocus(focus);
    return ok ? IDOK : IDCANCEL;
}

// ---------------------------------------------------------------- data exchange

namespace {

WString EditText(CDataExchange* dx, int id) {
    return GetWindowTextString(dx->PrepareEditCtrl(id));
}

// What a load put into a picker, so that a save can tell whether the user
// changed it since.
struct PickerLoad {
    WPARAM state;
    SYSTEMTIME shown;
};
std::mutex g_pickerMutex;
std::map<HWND, PickerLoad>& PickerLoads() {
    static std::map<HWND, PickerLoad> loads;
    return loads;
}

bool SameTime(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDay == b.wDay &&
           a.wHour == b.wHour && a.wMinute == b.wMinute && a.wSecond == b.wSecond &&
           a.wMilliseconds == b.wMilliseconds;
}

}  // namespace

void DDX_DateTime(CDataExchange* dx, int id, SYSTEMTIME& time) {
    HWND picker = dx->PrepareCtrl(id);
    if (!picker) return;
    if (dx->m_bSaveAndValidate) {
        SYSTEMTIME now{};
        const WPARAM state = static_cast<WPARAM>(
            SendMessage(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&now)));
        std::optional<PickerLoad> loaded;
        {
            std::lock_guard<std::mutex> lock(g_pickerMutex);
            auto it = PickerLoads().find(picker);
            if (it != PickerLoads().end()) {
                loaded = it->second;
                PickerLoads().erase(it);
            }
        }
        // A stored date the picker did not show (none, or one it refused)
        // stays unless the user changed the picker.
        if (loaded && loaded->state == state &&
            (state == GDT_NONE || SameTime(loaded->shown, now)))
            return;
        time = SYSTEMTIME{};
        if (state == GDT_VALID) time = now;
        return;
    }
    const DWORD style = static_cast<DWORD>(GetWindowLong(picker, GWL_STYLE));
    bool shown = false;
    if (time.wYear && time.wMonth && time.wDay) {
        shown = SendMessage(picker, DTM_SETSYSTEMTIME, GDT_VALID,
                            reinterpret_cast<LPARAM>(&time)) != 0;
        if (shown) {
            std::lock_guard<std::mutex> lock(g_pickerMutex);
            PickerLoads().erase(picker);
            return;
        }
    }
    SYSTEMTIME now{};
    GetLocalTime(&now);
    SendMessage(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&now));
    WPARAM state = GDT_VALID;
    // No date, or a date the picker refuses: the no-date state where the
    // picker has one.
    if (style & DTS_SHOWNONE) {
        SendMessage(picker, DTM_SETSYSTEMTIME, GDT_NONE, 0);
        state = GDT_NONE;
    }
    std::lock_guard<std::mutex> lock(g_pickerMutex);
    PickerLoads()[picker] = PickerLoad{state, now};
}

namespace {

// An empty text stands for `empty` when saving, and a value that is empty by
// `isEmpty` shows as an empty text; other values go through the framework.
template <typename T, typename IsEmpty>
void ExchangeOrEmpty(CDataExchange* dx, int id, T& value, T empty, IsEmpty isEmpty) {
    if (dx->m_bSaveAndValidate) {
        if (text::TrimRight(EditText(dx, id)).empty()) {
            value = empty;
            return;
        }
        DDX_Text(dx, id, value);
        return;
    }
    if (isEmpty(value)) {
        SetWindowText(dx->PrepareEditCtrl(id), u"");
        return;
    }
    DDX_Text(dx, id, value);
}

}  // namespace

void DDX_DoubleNoData(CDataExchange* dx, int id, double& value) {
    ExchangeOrEmpty(dx, id, value, kNoDataMeasure, [](double v) { return IsNoDataValue(v); });
}

void DDX_TextDefault(CDataExchange* dx, int id, WString& text, const WChar* defaultText,
                     bool caseSensitive) {
    if (dx->m_bSaveAndValidate) {
        const WString t = EditText(dx, id);
        if (text::TrimRight(t).empty())
            text = defaultText ? WString(defaultText) : WString();
        else
            text = t;
        return;
    }
    bool isDefault = false;
    if (defaultText)
        isDefault = caseSensitive ? text == defaultText : text::EqualsNoCase(text, defaultText);
    SetWindowText(dx->PrepareEditCtrl(id), isDefault ? u"" : text.c_str());
}

void DDX_DoubleDefault(CDataExchange* dx, int id, double& value, double defaultValue) {
    ExchangeOrEmpty(dx, id, value, defaultValue, [&](double v) { return v == defaultValue; });
}

void DDX_IntDefault(CDataExchange* dx, int id, int& value, int defaultValue) {
    ExchangeOrEmpty(dx, id, value, defaultValue, [&](int v) { return v == defaultValue; });
}
