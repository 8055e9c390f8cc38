// The main window's script objects on the null display: the status bar,
// the timer, the common dialogs and the toolbars with their items.
#include "app_world.h"
#include "core/shell_helpers.h"
#include "core/xml_node.h"
#include "map/services/preferences.h"
#include "platform/sys/device.h"
#include "platform/sys/thread.h"
#include "platform/win/commctrl.h"
#include "platform/win/menu.h"
#include "shell/frame/bar_controls.h"
#include "shell/frame/command_bars.h"
#include "shell/frame/image_menu.h"

namespace apptest {
namespace {

class FrameObjects : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        ASSERT_NE(OpenFrame(), nullptr);
        win::SetMainWindow(frame_->GetSafeHwnd());
    }
    // Reads the bars of a TOOLBARS text into the frame, bound to the global
    // host, then connects it.
    void LoadBars(const std::string& xml) {
        scripting_->RegisterSystemObjects(host_.get());
        doc_ = std::make_unique<CXmlDocument>();
        ASSERT_TRUE(doc_->Parse(text::FromUtf8("<TOOLBARS>" + xml + "</TOOLBARS>")));
        frame_->LoadToolbars(doc_->GetRoot(), host_.get());
        host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    }
    void Pump() {
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessage(&msg);
        }
    }
    CCommandBars* Bars() { return frame_->GetCommandBars(); }
    std::unique_ptr<CXmlDocument> doc_;
};

TEST_F(FrameObjects, StatusBarPanesAndTheReadoutFormat) {
    Connect();
    ASSERT_TRUE(Run("Application.StatusBar.Text(1) = \"Ready\"\nApplication.StatusBar = \"x\""));
    EXPECT_EQ(frame_->GetPaneText(1), u"Ready");
    EXPECT_EQ(frame_->GetPaneText(0), u"x");
    EXPECT_EQ(Text("Application.StatusBar.Text(1)"), "Ready");
    // The pane equal to the pane count and a format past the last one.
    EXPECT_EQ(Error("Application.StatusBar.Text(4) = \"no\""), kInvalidArg);
    EXPECT_EQ(Error("x = Application.StatusBar.Text(-1)"), kInvalidArg);
    EXPECT_EQ(Error("Application.StatusBar.CoordinateFormat = 6"), kInvalidArg);
    ASSERT_TRUE(Run("Application.StatusBar.CoordinateFormat = 4"));
    EXPECT_EQ(frame_->GetMapView()->GetTracker().GetCoordinateFormat(), 4);
    EXPECT_EQ(Number("Application.StatusBar.CoordinateFormat"), 4);
    ASSERT_TRUE(Run("Application.StatusBar.Width(1) = 77\nApplication.StatusBar.Style(1) = &H200"));
    EXPECT_EQ(Number("Application.StatusBar.Width(1)"), 77);
    EXPECT_EQ(frame_->GetPaneWidth(1), 77);
    EXPECT_EQ(Number("Application.StatusBar.Style(1)"), 0x200);
    EXPECT_EQ(Number("Application.StatusBar.hWnd"), static_cast<int32_t>(HandleToToken(frame_->GetMainStatusBar())));
    ASSERT_TRUE(Run("Application.StatusBar.Visible = False"));
    EXPECT_FALSE(frame_->IsStatusBarShown());
    EXPECT_EQ(Text("Application.StatusBar.Visible"), "False");
}

TEST_F(FrameObjects, TheTimerFiresOnTheApplicationEveryInterval) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    Connect();
    ASSERT_TRUE(Run("Ticks = 0\nSub Application_OnTimer\nTicks = Ticks + 1\nEnd Sub"));
    host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    EXPECT_EQ(Number("Application.Timer.Interval"), 1000);
    EXPECT_EQ(Error("Application.Timer.Interval = 0"), E_FAIL);
    EXPECT_EQ(Number("Application.Timer.Interval"), 1000);
    ASSERT_TRUE(Run("Application.Timer.Enabled = True"));
    EXPECT_EQ(Text("Application.Timer.Enabled"), "True");
    for (int i = 0; i < 3; ++i) {
        clock.Advance(1000);
        Pump();
    }
    EXPECT_EQ(Number("Ticks"), 3);
    // A new interval restarts the running timer.
    clock.Advance(600);
    ASSERT_TRUE(Run("Application.Timer.Interval = 500"));
    clock.Advance(400);
    Pump();
    EXPECT_EQ(Number("Ticks"), 3);
    clock.Advance(100);
    Pump();
    EXPECT_EQ(Number("Ticks"), 4);
    ASSERT_TRUE(Run("Application.Timer.Enabled = False"));
    clock.Advance(5000);
    Pump();
    EXPECT_EQ(Number("Ticks"), 4);
    sys::SetClock(nullptr);
}

// The entries a file dialog shows of its filter: pairs until an empty
// description.
std::vector<std::string> FilterEntries(const WString& filter) {
    std::vector<std::string> out;
    size_t at = 0;
    while (at < filter.size()) {
        size_t end = filter.find(u'\0', at);
        if (end == WString::npos || end == at) break;
        size_t patternEnd = filter.find(u'\0', end + 1);
        if (patternEnd == WString::npos) break;
        out.push_back(text::ToUtf8(filter.substr(at, end - at)) + "|" +
                      text::ToUtf8(filter.substr(end + 1, patternEnd - end - 1)));
        at = patternEnd + 1;
    }
    return out;
}

int g_sipCalls = 0;
int g_sipLast = -1;
BOOL RecordingSip(HWND, int request) {
    ++g_sipCalls;
    g_sipLast = request;
    return 1;
}

TEST_F(FrameObjects, CommonDialogs) {
    Connect();
    std::vector<OPENFILENAME> seen;
    std::vector<bool> saves;
    bool accept = true;
    win::SetCommonDialogResponder({[&](OPENFILENAME& ofn, bool save) {
                                       seen.push_back(ofn);
                                       saves.push_back(save);
                                       ofn.file = u"\\Docs\\roads.shp";
                                       return accept;
                                   },
                                   nullptr, nullptr});
    EXPECT_EQ(Text("CommonDialog.ShowOpen(\"shp\", \"Shapes|*.shp\")"), "\\Docs\\roads.shp");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(saves[0]);
    // One description and one pattern: one entry.
    EXPECT_EQ(FilterEntries(seen[0].filter), (std::vector<std::string>{"Shapes|*.shp"}));
    EXPECT_EQ(seen[0].flags, 6u);
    EXPECT_EQ(seen[0].title, u"Open");
    EXPECT_EQ(seen[0].defExt, u"shp");
    EXPECT_EQ(seen[0].hwndOwner, frame_->GetSafeHwnd());
    ASSERT_TRUE(Run("v = CommonDialog.ShowSave(\"plan.txt\", \"txt\", , \"Keep\", 2)"));
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_TRUE(saves[1]);
    EXPECT_EQ(seen[1].file, u"plan.txt");
    EXPECT_EQ(seen[1].title, u"Keep");
    EXPECT_EQ(seen[1].flags, 2u);
    EXPECT_EQ(FilterEntries(seen[1].filter), (std::vector<std::string>{"All Files|*.*"}));
    accept = false;
    EXPECT_EQ(Text("IsEmpty(CommonDialog.ShowOpen())"), "True");

    win::PushModalHook([](HWND dlg) { SendMessage(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(Text("TypeName(CommonDialog.ShowColor(&H123456))"), "Long");
    win::PushModalHook([](HWND dlg) { SendMessage(dlg, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(Number("CommonDialog.ShowColor(&H123456)"), 0x123456);

    // Without the shell's function the panel cannot be raised.
    EXPECT_EQ(Text("CommonDialog.ShowSIP"), "False");
    sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", reinterpret_cast<void*>(&RecordingSip));
    EXPECT_EQ(Text("CommonDialog.ShowSIP()"), "True");
    EXPECT_EQ(g_sipLast, 0);
    EXPECT_EQ(Text("CommonDialog.ShowSIP(False)"), "True");
    EXPECT_EQ(g_sipLast, 1);
    EXPECT_EQ(g_sipCalls, 2);
    sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", nullptr);
}

TEST_F(FrameObjects, ToolBarsAndTheirItems) {
    LoadBars("<TOOLBAR name=\"Survey\" caption=\"Field survey\">"
             "<TOOLBUTTON command=\"\" name=\"Tally\" OnClick=\"Order = Order &amp; &quot;[tally]&quot;\"/>"
             "<TOOLBUTTON command=\"refresh\"/>"
             "<TOOLBUTTON command=\"\" name=\"Go\"><MENUITEM command=\"refresh\"/>"
             "<MENUITEM command=\"\" name=\"SubItem\"/></TOOLBUTTON></TOOLBAR>");
    const auto& bars = Bars()->GetBars();
    // Count and For Each agree, every entry a bar.
    EXPECT_EQ(Number("Application.ToolBars.Count"), static_cast<int32_t>(bars.size()));
    ASSERT_TRUE(Run("n = 0\nnames = \"\"\nFor Each b In Application.ToolBars\n"
                    "If TypeName(b) = \"ToolBar\" Then n = n + 1\nnames = names & b.Name & \",\"\nNext"));
    EXPECT_EQ(Number("n"), static_cast<int32_t>(bars.size()));
    std::string names;
    for (const auto& b : bars) names += text::ToUtf8(b->m_name) + ",";
    EXPECT_EQ(Text("names"), names);
    EXPECT_EQ(Text("Application.ToolBars(\"SURVEY\").Caption"), "Field survey");
    EXPECT_EQ(Text("Application.ToolBars(" + std::to_string(bars.size() + 1) + ") Is Nothing"), "True");
    EXPECT_EQ(Error("Set b = Application.ToolBars(\"nosuch\")"), kInvalidArg);

    ASSERT_TRUE(Run("Set bar = Application.ToolBars(\"Survey\")"));
    EXPECT_EQ(Number("bar.Count"), 3);
    EXPECT_EQ(Number("bar(\"#1003\").ID"), 1003);
    EXPECT_EQ(Number("bar(\"refresh\").ID"), 1026);
    EXPECT_EQ(Text("bar(2).Name"), "refresh");  // the name table's
    EXPECT_EQ(Number("bar(2).Index"), 2);
    EXPECT_EQ(Error("Set i = bar(4)"), kInvalidArg);
    EXPECT_EQ(Error("Set i = bar(\"nosuchcommand\")"), kInvalidArg);
    // A command that is not configured: a new object per request, one ID.
    EXPECT_EQ(Text("bar(2) Is bar(2)"), "False");
    EXPECT_EQ(Text("bar(2).ID = bar(2).ID"), "True");
    // A configured command: its own object, the named item of its name.
    EXPECT_EQ(Text("bar(\"tally\") Is Tally"), "True");
    EXPECT_EQ(Text("bar(1) Is Tally"), "True");

    // Configured state flags reach the button at the frame's update.
    CCommandBarInfo* survey = Bars()->FindCommandBarByName(u"Survey");
    HWND barWindow = survey->m_bar->GetSafeHwnd();
    ASSERT_TRUE(Run("Tally.Enabled = False\nTally.Checked = True"));
    frame_->OnIdleUpdateCmdUI();
    const LRESULT state = SendMessage(barWindow, TB_GETSTATE, 9000, 0);
    EXPECT_EQ(state & TBSTATE_ENABLED, 0);
    EXPECT_NE(state & TBSTATE_CHECKED, 0);
    EXPECT_EQ(Text("Tally.Enabled"), "False");
    EXPECT_EQ(Error("bar(2).Enabled = False"), kAccessDenied);
    EXPECT_EQ(Error("bar(2).Checked = True"), kAccessDenied);
    ASSERT_TRUE(Run("bar(2).Visible = False"));
    EXPECT_NE(SendMessage(barWindow, TB_GETSTATE, 1026, 0) & TBSTATE_HIDDEN, 0);
    EXPECT_EQ(Text("bar(2).Visible"), "False");

    // Click runs the command at once, or after the script with Post.
    ASSERT_TRUE(Run("Tally.Enabled = True\nOrder = \"\"\nOrder = Order & \"[a]\"\nbar(1).Click\n"
                    "Order = Order & \"[b]\"\nbar(1).Click True\nOrder = Order & \"[c]\""));
    EXPECT_EQ(Text("Order"), "[a][tally][b][c]");
    Pump();
    EXPECT_EQ(Text("Order"), "[a][tally][b][c][tally]");

    // The drop-down button's menu.
    EXPECT_EQ(Number("bar(\"Go\").Count"), 2);
    EXPECT_EQ(Number("bar(\"Go\")(1).ID"), 1026);
    EXPECT_EQ(Text("bar(\"Go\")(2) Is SubItem"), "True");
    EXPECT_EQ(Error("Set i = bar(\"Go\")(3)"), kInvalidArg);
    EXPECT_EQ(Error("Set i = bar(\"Go\")(\"x\" & Chr(0))"), kInvalidArg);
    EXPECT_EQ(Error("Set i = bar(2)(1)"), E_FAIL);
    EXPECT_EQ(Text("bar(\"Go\")(1).Enabled"), "True");
    ASSERT_TRUE(Run("k = 0\nFor Each m In bar(\"Go\")\nk = k + m.ID\nNext"));
    EXPECT_EQ(Number("k"), 1026 + 9002);

    // The caption shows on the bar's band; Visible is the framework's 1 or 0.
    ASSERT_TRUE(Run("bar.Caption = \"Crew\""));
    CReBarExt* strip = Bars()->GetStrip();
    EXPECT_EQ(strip->GetBandText(strip->FindBand(u"Survey", false)), u"Crew");
    EXPECT_EQ(Number("bar.Visible"), 1);
    ASSERT_TRUE(Run("bar.Visible = False"));
    EXPECT_EQ(Number("bar.Visible"), 0);
    EXPECT_FALSE(survey->m_bar->IsVisible());
    ASSERT_TRUE(Run("bar.Visible = True"));

    // A tap on the configured button runs its handler.
    ASSERT_TRUE(Run("Order = \"\""));
    win::ToolbarUserTap(barWindow, 0);
    Pump();
    EXPECT_EQ(Text("Order"), "[tally]");
}

}  // namespace
}  // namespace apptest
