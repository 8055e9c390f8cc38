#include "core/progress_wnd.h"

#include <cstdarg>

#include "core/language_module.h"
#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "resources/zres.h"

namespace {

constexpr const WChar* kProgressClass = u"ZarnipProgressWnd";
constexpr size_t kMaxStatus = 511;

bool RegisterProgressClass() {
    WNDCLASS existing;
    if (GetClassInfo(nullptr, kProgressClass, &existing)) return true;
    WNDCLASS wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProc;
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<uintptr_t>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kProgressClass;
    return RegisterClass(wc);
}

// The height of a text in the system font, on one line per line break.
int TextHeight(HWND window, const WString& text, int width) {
    HDC dc = GetDC(window);
    if (!dc) return 0;
    HGDIOBJ old = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    RECT r{0, 0, width, 0};
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return r.bottom - r.top;
}

}  // namespace

ProgressLayout ComputeProgressLayout(int T, int H, int W, int ex, int ey) {
    ProgressLayout l;
    l.status = RECT{ex, ey, ex + W, ey + T};
    const int barTop = ey + T + ey;
    l.bar = RECT{ex, barTop, ex + W, barTop + H};
    const int cancelTop = barTop + H + ey;
    const int third = W / 3;
    l.cancel = RECT{ex + third, cancelTop, ex + third + (W - 2 * third), cancelTop + H};
    l.client = SIZE{W + 2 * ex, T + 2 * H + 4 * ey};
    return l;
}

CProgressWnd::~CProgressWnd() {
    DestroyWindow();
}

bool CProgressWnd::Create(HWND owner, const WChar* title) {
    if (GetSafeHwnd()) return true;
    if (!RegisterProgressClass()) return false;
    m_owner = owner ? owner : win::GetMainWindow();
    m_cancelled = false;
    if (!CreateEx(WS_EX_DLGMODALFRAME | WS_EX_TOPMOST, kProgressClass, title ? title : u"",
                  WS_POPUP | WS_CAPTION, RECT{0, 0, 200, 130}, m_owner, 0))
        return false;
    HWND h = GetSafeHwnd();
    m_status = CreateWindowEx(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 10, 10, h,
                              reinterpret_cast<HMENU>(static_cast<uintptr_t>(kStatusId)), nullptr,
                              nullptr);
    m_progress = CreateWindowEx(0, PROGRESS_CLASS, u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, h,
                                reinterpret_cast<HMENU>(static_cast<uintptr_t>(kProgressId)),
                                nullptr, nullptr);
    CLanguageModule* lang = GetLanguageModule();
    const WString caption = lang ? lang->LoadString(IDS_PROGRESS_CANCEL, true) : WString();
    m_cancel = CreateWindowEx(0, u"BUTTON", caption.empty() ? u" Cancel " : caption.c_str(),
                              WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 0, 0, 10, 10, h,
                              reinterpret_cast<HMENU>(static_cast<uintptr_t>(kCancelId)), nullptr,
                              nullptr);
    Layout(m_lines, kWidth);
    CenterWindow(h, m_owner);
    ShowWindow(h, SW_SHOW);
    return true;
}

void CProgressWnd::Layout(int lines, int width) {
    HWND h = GetSafeHwnd();
    if (!h) return;
    m_lines = lines;
    const int ex = GetSystemMetrics(SM_CXEDGE), ey = GetSystemMetrics(SM_CYEDGE);
    WString ms = u"M";
    for (int i = 1; i < lines; ++i) ms += u"\r\nM";
    const int T = TextHeight(h, ms, width - 2 * ex);
    const WString caption = GetWindowTextString(m_cancel) + u"  ";
    const int H = TextHeight(h, caption, width) + 2 * ey;
    const ProgressLayout l = ComputeProgressLayout(T, H, width, ex, ey);
    auto place = [](HWND w, const RECT& r) {
        MoveWindow(w, r.left, r.top, r.right - r.left, r.bottom - r.top, true);
    };
    place(m_status, l.status);
    place(m_progress, l.bar);
    place(m_cancel, l.cancel);
    RECT window{}, client{};
    GetWindowRect(h, &window);
    GetClientRect(h, &client);
    const int w = (window.right - window.left) - client.right + l.client.cx;
    const int ht = (window.bottom - window.top) - client.bottom + l.client.cy;
    SetWindowPos(h, nullptr, 0, 0, w, ht, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool CProgressWnd::GoModal(HWND owner, const WChar* title) {
    if (!GetSafeHwnd() && !Create(owner, title)) return false;
    if (m_owner && IsWindow(m_owner)) EnableWindow(m_owner, false);
    EnableWindow(GetSafeHwnd(), true);
    m_modal = true;
    return true;
}

bool CProgressWnd::CreateWithTitleId(HWND owner, UINT stringId) {
    CLanguageModule* lang = GetLanguageModule();
    const WString title = lang ? lang->LoadString(stringId, true) : WString();
    return GoModal(owner, title.c_str());
}

void CProgressWnd::SetRange(int lower, int upper, int step) {
    if (!GetSafeHwnd()) return;
    SendMessage(m_progress, PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
    SendMessage(m_progress, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void CProgressWnd::SetStep(int step) {
    if (GetSafeHwnd()) SendMessage(m_progress, PBM_SETSTEP, static_cast<WPARAM>(step), 0);
}

void CProgressWnd::ShowIfHidden() {
    if (GetSafeHwnd() && !IsWindowVisible(GetSafeHwnd())) ShowWindow(GetSafeHwnd(), SW_SHOW);
}

void CProgressWnd::SetPos(int pos) {
    if (!GetSafeHwnd()) return;
    ShowIfHidden();
    SendMessage(m_progress, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void CProgressWnd::StepIt() {
    if (!GetSafeHwnd()) return;
    ShowIfHidden();
    SendMessage(m_progress, PBM_STEPIT, 0, 0);
}

void CProgressWnd::SetStatusText(const WChar* format, ...) {
    if (!GetSafeHwnd() || !format) return;
    va_list ap;
    va_start(ap, format);
    WString t = text::FormatV(format, ap);
    va_end(ap);
    if (t.size() > kMaxStatus) t.resize(kMaxStatus);
    SetWindowText(m_status, t.c_str());
}

void CProgressWnd::Reset() {
    if (GetSafeHwnd()) {
        SetWindowText(m_status, u"");
        SendMessage(m_progress, PBM_SETPOS, 0, 0);
    }
    m_cancelled = false;
    m_owner = nullptr;
    if (GetSafeHwnd()) UpdateWindow(GetSafeHwnd());
}

bool CProgressWnd::DestroyWindow() {
    if (m_modal) {
        m_modal = false;
        if (m_owner && IsWindow(m_owner)) EnableWindow(m_owner, true);
    }
    if (!GetSafeHwnd()) return false;
    const bool r = win::Wnd::DestroyWindow();
    m_status = m_progress = m_cancel = nullptr;
    return r;
}

void CProgressWnd::Cancel() {
    m_cancelled = true;
    HWND owner = m_owner;
    if (GetSafeHwnd()) ShowWindow(GetSafeHwnd(), SW_HIDE);
    if (m_modal) DestroyWindow();
    if (owner && IsWindow(owner)) SetForegroundWindow(owner);
}

LRESULT CProgressWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && LOWORD(wParam) == kCancelId && HIWORD(wParam) == BN_CLICKED) {
        Cancel();
        return 0;
    }
    return win::Wnd::WindowProc(msg, wParam, lParam);
}

bool CProgressWnd::PumpMessages() {
    HWND h = GetSafeHwnd();
    if (m_modal && h && GetFocus() != h) SetFocus(h);
    MSG msg;
    while (!m_cancelled) {
        if (!PeekMessage(&msg, nullptr, 0, 0, PM_NOREMOVE)) break;
        if (msg.message == WM_CHAR && (msg.wParam == 0x1B || msg.wParam == 0x87)) {
            Cancel();
        } else if (m_modal && msg.message == WM_LBUTTONUP && m_cancel && IsWindow(m_cancel)) {
            POINT p{static_cast<int16_t>(LOWORD(msg.lParam)), static_cast<int16_t>(HIWORD(msg.lParam))};
            if (msg.hwnd) ClientToScreen(msg.hwnd, &p);
            RECT r{};
            GetWindowRect(m_cancel, &r);
            if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom) Cancel();
        }
        int quitCode = 0;
        if (!win::PumpMessage(&quitCode)) {
            // The quit is for the application's loop: it goes back in the
            // queue, and the caller's loop finishes its work first.
            PostQuitMessage(quitCode);
            break;
        }
    }
    return !m_cancelled;
}
