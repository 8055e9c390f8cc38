#include "app/test_hooks.h"

#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/qt/display.h"
#include "platform/text/text.h"
#include "platform/win/framework.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

namespace apptest {

namespace {

constexpr UINT kExitCommand = 57665;

// Dispatches until the queue stays empty and no window waits for a paint.
void RunUntilIdle(znqt::Display& display, HWND view) {
    MSG m;
    for (int quiet = 0; quiet < 3;) {
        bool any = false;
        while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) {
            any = true;
            if (m.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(m.wParam));
                return;
            }
            if (!win::PreTranslate(&m)) {
                TranslateMessage(&m);
                DispatchMessage(&m);
            }
        }
        RECT pending;
        if (view && IsWindow(view) && GetUpdateRect(view, &pending, false)) {
            UpdateWindow(view);
            any = true;
        }
        display.PresentNow();
        quiet = any ? 0 : quiet + 1;
    }
}

znqt::Display* g_display = nullptr;
std::string g_boxShot;
uintptr_t g_boxTimer = 0;

// Polls (from any message loop, the box's own included) until a message
// box is shown, then saves it and presses Enter.
void BoxShotTimer(HWND, UINT, uintptr_t, DWORD) {
    HWND box = FindWindow(u"ZnMessageBox", nullptr);
    if (!box || !IsWindowVisible(box)) return;
    KillTimer(nullptr, g_boxTimer);
    g_display->PresentNow();
    QImage picture = g_display->Snapshot(box);
    const bool saved = !picture.isNull() && picture.save(QString::fromStdString(g_boxShot));
    WChar caption[256] = {};
    GetWindowText(box, caption, 256);
    std::fprintf(stderr, "box shot: %s%s\n", text::ToUtf8(caption).c_str(),
                 saved ? "" : " (not saved)");
    PostMessage(box, WM_KEYDOWN, VK_RETURN, 0);
}

}  // namespace

void InstallBoxHook(znqt::Display& display) {
    const char* shot = std::getenv("ZARNIP_TEST_BOX_SHOT");
    if (shot && *shot) {
        g_display = &display;
        g_boxShot = shot;
        g_boxTimer = SetTimer(nullptr, 0, 100, &BoxShotTimer);
        return;
    }
    const char* boxes = std::getenv("ZARNIP_TEST_BOXES");
    if (!boxes || *boxes != '1') return;
    win::SetMessageBoxResponder([](const win::MessageBoxRecord& box) {
        std::fprintf(stderr, "box: %s\n", text::ToUtf8(box.text).c_str());
        return win::MessageBoxDefaultAnswer(box.type);
    });
}

bool RunAfterFirstPaint(znqt::Display& display, HWND frame, HWND view) {
    const char* shotPath = std::getenv("ZARNIP_TEST_SCREENSHOT");
    const char* exitAfter = std::getenv("ZARNIP_TEST_EXIT");
    const bool shot = shotPath && *shotPath;
    if (!shot && !(exitAfter && *exitAfter == '1')) return true;
    RunUntilIdle(display, view);
    bool ok = true;
    if (shot) {
        QImage picture = display.Snapshot(frame);
        ok = !picture.isNull() && picture.save(QString::fromStdString(shotPath));
        POINT offset{};
        if (view && win::GetWindowSurface(view, &offset)) {
            RECT client;
            GetClientRect(view, &client);
            std::printf("view %ld %ld %ld %ld\n", static_cast<long>(offset.x), static_cast<long>(offset.y),
                        static_cast<long>(client.right), static_cast<long>(client.bottom));
            std::fflush(stdout);
        }
    }
    if (frame && IsWindow(frame)) PostMessage(frame, WM_COMMAND, kExitCommand, 0);
    return ok;
}

}  // namespace apptest
