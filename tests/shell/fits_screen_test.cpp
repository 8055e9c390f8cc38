// Everything the program shows lies inside the screen, on a tall and on a
// wide screen: the main window, every drop-down of the bars (its arrow where
// the pen can reach it), the About box and a message box naming a long path.
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "core/stylus.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"

namespace {

constexpr UINT kAbout = 57664;

std::function<void()> g_whileShown;

// Runs the queued check once a modal loop is idle.
LRESULT ProbeProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_TIMER) {
        KillTimer(h, w);
        if (g_whileShown) {
            auto f = std::move(g_whileShown);
            g_whileShown = nullptr;
            f();
        }
        return 0;
    }
    return DefWindowProc(h, m, w, l);
}

struct Shape {
    int width, height;
};

class FitsScreenTest : public ShellTest, public ::testing::WithParamInterface<Shape> {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ASSERT_EQ(std::system(("mkdir -p -m 700 '" + Host("config") + "'").c_str()), 0);
        setenv("XDG_CONFIG_HOME", Host("config").c_str(), 1);
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(GetParam().width, GetParam().height);
        SetScriptServices(&scripting_);
        app_ = std::make_unique<CMapApp>();
        std::vector<const char*> argv{"zarnip", "--no-splash"};
        app_->SetCommandLine(static_cast<int>(argv.size()), argv.data());
        app_->UseProgramDocTemplate();
        ASSERT_TRUE(app_->InitInstance());
        win::input::DrainQueue();
        frame_ = CMainFrame::GetMainFrame();
        ASSERT_NE(frame_, nullptr);
        WNDCLASS wc;
        wc.lpfnWndProc = ProbeProc;
        wc.lpszClassName = u"FitProbe";
        RegisterClass(wc);
        probe_ = CreateWindowEx(0, u"FitProbe", u"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                nullptr, nullptr);
        win::UseRealWindows(true);
        win::SetMessageBoxResponder(nullptr);
    }
    void TearDown() override {
        g_whileShown = nullptr;
        win::UseRealWindows(false);
        if (probe_) DestroyWindow(probe_);
        if (app_) {
            if (CMainFrame* frame = CMainFrame::GetMainFrame()) DestroyWindow(frame->GetSafeHwnd());
            app_->ExitInstance();
            app_.reset();
        }
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }
    // Every shown top-level window lies inside the screen.
    void ExpectAllInside(const std::string& what) {
        int shown = 0;
        for (HWND w : GetTopLevelWindows()) {
            if (!IsWindowVisible(w) || w == probe_) continue;
            ++shown;
            RECT r;
            GetWindowRect(w, &r);
            WChar cls[64] = {};
            GetClassName(w, cls, 64);
            EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= GetParam().width &&
                        r.bottom <= GetParam().height)
                << what << ": " << Narrow(cls) << " at " << r.left << "," << r.top << " " << r.right
                << "," << r.bottom;
        }
        EXPECT_GE(shown, 1) << what;
    }
    // Runs `open` (which shows a modal window) and checks the screen while it
    // is shown, then closes it with Escape.
    void WhileShown(const std::string& what, const std::function<void()>& open) {
        bool checked = false;
        g_whileShown = [&] {
            checked = true;
            ExpectAllInside(what);
            win::input::Key(VK_ESCAPE);
        };
        SetTimer(probe_, 1, 0, nullptr);
        open();
        win::input::DrainQueue();
        EXPECT_TRUE(checked) << what << " showed no modal window";
        g_whileShown = nullptr;
    }
    // The frame's tool bars, the command bar's among them.
    std::vector<HWND> Toolbars() const {
        std::vector<HWND> bars;
        std::function<void(HWND)> walk = [&](HWND parent) {
            for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
                WChar cls[64] = {};
                GetClassName(c, cls, 64);
                if (WString(cls) == TOOLBARCLASSNAME && IsWindowVisible(c)) bars.push_back(c);
                walk(c);
            }
        };
        walk(frame_->GetSafeHwnd());
        return bars;
    }

    CNullScriptServices scripting_;
    std::unique_ptr<CMapApp> app_;
    CMainFrame* frame_ = nullptr;
    HWND probe_ = nullptr;
};

TEST_P(FitsScreenTest, EveryWindowAndDropDownLiesInsideTheScreen) {
    ExpectAllInside("main window");
    int dropDowns = 0, throughChevron = 0;
    for (HWND bar : Toolbars()) {
        const int count = static_cast<int>(SendMessage(bar, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON b{};
            SendMessage(bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
            if ((b.fsStyle & TBSTYLE_SEP) || (b.fsState & TBSTATE_HIDDEN)) continue;
            const bool arrow = (b.fsStyle & TBSTYLE_DROPDOWN) != 0;
            if (!arrow && !CommandBar_GetMenu(bar, i)) continue;
            const std::string what = "drop-down of command " + std::to_string(b.idCommand);
            const int overflowed = win::ToolbarFirstOverflowed(bar);
            RECT r{};
            if (overflowed >= 0 && i >= overflowed)
                GetClientRect(bar, &r);  // reached through the chevron at the bar's end
            else
                SendMessage(bar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
            POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
            MapWindowPoints(bar, nullptr, p, 2);
            // The pen must reach the arrow (the button's far end) or the chevron.
            EXPECT_TRUE(p[1].x <= GetParam().width && p[1].y <= GetParam().height && p[0].x >= 0)
                << what << " is beyond the screen at " << p[0].x << ".." << p[1].x;
            if (!(b.fsState & TBSTATE_ENABLED)) continue;
            ++dropDowns;
            if (overflowed < 0 || i < overflowed) {
                WhileShown(what, [&] {
                    SetLastStylusPoint(POINT{p[1].x - 2, p[0].y + 2});
                    win::ToolbarUserTap(bar, i, true);
                });
                continue;
            }
            ++throughChevron;
            WhileShown(what + " (the chevron's menu)", [&] { win::ToolbarChevronTap(bar); });
            // Choosing the button in the chevron's menu opens its drop-down.
            std::vector<UINT> firstItems;
            win::SetPopupMenuResponder([&](HMENU menu, POINT at, HWND) -> UINT {
                EXPECT_TRUE(at.x >= 0 && at.x <= GetParam().width && at.y >= 0 &&
                            at.y <= GetParam().height)
                    << what << " at " << at.x << "," << at.y;
                firstItems.push_back(GetMenuItemID(menu, 0));
                return firstItems.size() == 1 ? static_cast<UINT>(i + 1) : 0u;
            });
            win::ToolbarChevronTap(bar);
            win::input::DrainQueue();
            win::SetPopupMenuResponder(nullptr);
            EXPECT_EQ(firstItems.size(), 2u) << what << " did not open from the chevron";
        }
    }
    EXPECT_GE(dropDowns, 4);
    // The narrow screen needs the chevron for the last drop-downs (Help).
    if (GetParam().width == 240) EXPECT_GE(throughChevron, 1);
    WhileShown("About box", [&] { SendMessage(frame_->GetSafeHwnd(), WM_COMMAND, kAbout, 0); });
    WhileShown("message box with a long path", [&] {
        MessageBox(frame_->GetSafeHwnd(),
                   u"Error opening map '\\Storage Card\\Survey projects 2024\\North district\\"
                   u"Field maps for the second round of visits\\Harbour and approaches.znm'",
                   u"Zarnip", MB_OK | MB_ICONERROR);
    });
}

INSTANTIATE_TEST_SUITE_P(Screens, FitsScreenTest,
                         ::testing::Values(Shape{240, 320}, Shape{320, 240}),
                         [](const auto& info) {
                             return std::to_string(info.param.width) + "x" +
                                    std::to_string(info.param.height);
                         });

}  // namespace
