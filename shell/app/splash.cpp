#include "shell/app/splash.h"

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/res/resource.h"
#include "platform/win/dialog.h"
#include "platform/win/framework.h"
#include "platform/win/window.h"
#include "resources/zres.h"

namespace {

constexpr uintptr_t kSplashTimer = 1;
constexpr UINT kSplashTime = 3500;
constexpr const WChar* kSplashClass = u"ZarnipSplash";

class CSplashWnd;
CSplashWnd* g_splash = nullptr;
bool g_enabled = true;

class CSplashWnd : public win::Wnd {
public:
    bool Create(HWND parent) {
        m_bitmap.reset(LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(IDB_SPLASH)));
        if (!m_bitmap) return false;
        BITMAP info{};
        GetObject(m_bitmap.get(), sizeof info, &info);
        WNDCLASS wc;  // no cursor, background or icon
        wc.lpfnWndProc = DefWindowProc;
        wc.lpszClassName = kSplashClass;
        RegisterClass(wc);
        RECT rect{0, 0, info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
        return CreateEx(0, kSplashClass, u"", WS_POPUP | WS_VISIBLE, rect, parent, 0);
    }

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
            case WM_CREATE:
                CenterWindow(GetSafeHwnd(), nullptr);
                SetTimer(GetSafeHwnd(), kSplashTimer, kSplashTime, nullptr);
                return 0;
            case WM_PAINT: {
                PAINTSTRUCT ps;
                HDC dc = BeginPaint(GetSafeHwnd(), &ps);
                BITMAP info{};
                GetObject(m_bitmap.get(), sizeof info, &info);
                HDC mem = CreateCompatibleDC(dc);
                HBITMAP old = SelectObject(mem, m_bitmap.get());
                BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight, mem, 0, 0,
                       SRCCOPY);
                SelectObject(mem, old);
                DeleteDC(mem);
                EndPaint(GetSafeHwnd(), &ps);
                return 0;
            }
            case WM_TIMER:
                if (wParam != kSplashTimer) break;
                KillTimer(GetSafeHwnd(), kSplashTimer);
                DestroyWindow();
                if (HWND main = win::GetMainWindow()) UpdateWindow(main);
                return 0;
            default:
                break;
        }
        return Wnd::WindowProc(msg, wParam, lParam);
    }

    void PostNcDestroy() override {
        if (g_splash == this) g_splash = nullptr;
        delete this;
    }

private:
    gdi::OwnedBitmap m_bitmap;
};

}  // namespace

void SetSplashEnabled(bool enabled) { g_enabled = enabled; }

bool IsSplashEnabled() { return g_enabled; }

HWND GetSplashWindow() { return g_splash ? g_splash->GetSafeHwnd() : nullptr; }

void ShowSplashWindow(HWND parent) {
    if (!g_enabled || g_splash) return;
    auto* splash = new CSplashWnd();
    g_splash = splash;
    if (!splash->Create(parent)) {
        // Not made: nothing will delete it but this.
        if (g_splash == splash) g_splash = nullptr;
        if (!splash->GetSafeHwnd()) delete splash;
        return;
    }
    SetForegroundWindow(splash->GetSafeHwnd());
    UpdateWindow(splash->GetSafeHwnd());
}
