#include "core/tap_and_hold.h"

#include <cstdlib>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/sys/thread.h"
#include "platform/win/framework.h"
#include "platform/win/window.h"

namespace {

constexpr DWORD kHoldMs = 500;
constexpr DWORD kLongHoldMs = 1000;
constexpr DWORD kDotMs = 500 / 9;
constexpr int kTolerance = 3;
constexpr POINT kDotOffsets[8] = {{0, -20}, {14, -14}, {20, 0},  {14, 14},
                                  {0, 20},  {-14, 14}, {-20, 0}, {-14, -14}};

std::function<void(const RECT&)> g_painter;

void InvertDot(const RECT& r) {
    if (g_painter) {
        g_painter(r);
        return;
    }
    HDC dc = GetDC(nullptr);
    if (!dc) return;
    InvertRect(dc, &r);
    ReleaseDC(nullptr, dc);
}

RECT DotRect(POINT center, int n) {
    POINT o = kDotOffsets[n % 8];
    int x = center.x + o.x - 6, y = center.y + o.y - 6;
    return RECT{x, y, x + 6, y + 6};
}

bool IsButtonMessage(UINT msg) {
    return msg >= WM_LBUTTONDOWN && msg <= WM_MBUTTONDBLCLK;
}

}  // namespace

void SetTapAndHoldDotPainter(std::function<void(const RECT&)> painter) {
    g_painter = std::move(painter);
}

DWORD EvaluateTapAndHold(const SHRGINFO& request) {
    HWND window = request.hwndClient;
    if (!IsWindow(window)) return 0;
    POINT center = request.ptDown;
    ClientToScreen(window, &center);
    DWORD hold = (request.dwFlags & SHRG_LONGDELAY) ? kLongHoldMs : kHoldMs;
    uint64_t start = sys::GetTickCount64();
    std::vector<RECT> dots;
    bool held = false;
    for (;;) {
        uint64_t elapsed = sys::GetTickCount64() - start;
        while (dots.size() * kDotMs <= elapsed && dots.size() * kDotMs < hold) {
            RECT r = DotRect(center, static_cast<int>(dots.size()));
            InvertDot(r);
            dots.push_back(r);
        }
        if (elapsed >= hold) {
            held = true;
            break;
        }
        MSG m;
        if (PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE)) {
            if (IsButtonMessage(m.message)) break;
            if (m.message == WM_MOUSEMOVE && (std::abs(m.pt.x - center.x) > kTolerance ||
                                              std::abs(m.pt.y - center.y) > kTolerance))
                break;
            int quitCode = 0;
            if (!win::PumpMessage(&quitCode)) {
                PostQuitMessage(quitCode);  // the main loop must see it too
                break;
            }
            if (!IsWindow(window)) break;
            continue;
        }
        uint64_t next = std::min<uint64_t>(dots.size() * kDotMs, hold);
        sys::Sleep(static_cast<uint32_t>(next > elapsed ? next - elapsed : 1));
    }
    for (const RECT& r : dots) InvertDot(r);  // restore the screen
    if (!held) return 0;
    if (request.dwFlags & SHRG_NOTIFYPARENT) {
        if (!IsWindow(window)) return 0;
        NMRGINFO info;
        info.hwndFrom = window;
        info.idFrom = static_cast<uintptr_t>(GetDlgCtrlID(window));
        info.code = GN_CONTEXTMENU;
        info.ptAction = center;
        return static_cast<DWORD>(
            SendMessage(window, WM_NOTIFY, info.idFrom, reinterpret_cast<LPARAM>(&info)));
    }
    return (request.dwFlags & SHRG_RETURNCMD) ? GN_CONTEXTMENU : 0;
}

bool RecognizeTapAndHold(HWND window, POINT point, bool notify) {
    SHRGINFO request;
    request.hwndClient = window;
    request.ptDown = point;
    request.dwFlags = SHRG_RETURNCMD;
    if (EvaluateTapAndHold(request) != GN_CONTEXTMENU) return false;
    if (notify) {
        request.dwFlags = SHRG_NOTIFYPARENT;
        EvaluateTapAndHold(request);
    }
    return true;
}
