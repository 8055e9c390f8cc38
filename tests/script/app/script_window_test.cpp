// The Script window on the null display: runs that build on each other
// until the window closes, errors, handlers that must not outlive the
// window, loading and saving text (also when saving fails), the input
// panel, and the window as it is drawn.
#include <cstring>

#include "app_world.h"
#include "core/file_stream.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "platform/sys/device.h"
#include "platform/sys/thread.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "script/app/script_dlg.h"
#include "tests/platform/win_golden.h"

namespace apptest {
namespace {

std::vector<int> g_sip;
BOOL RecordingSip(HWND, int request) {
    g_sip.push_back(request);
    return 1;
}

class ScriptWindow : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        ASSERT_NE(OpenFrame(), nullptr);
        win::SetMainWindow(frame_->GetSafeHwnd());
        Connect();
        g_sip.clear();
    }
    // Opens the window; `act` works in it while it is open, then it closes.
    void Open(const std::function<void(HWND)>& act) {
        win::PushModalHook([&](HWND dlg) {
            act(dlg);
            SendMessage(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        scripting_->ShowScriptWindow(frame_->GetSafeHwnd());
    }
    static void Type(HWND dlg, const WString& text) { SetDlgItemText(dlg, IDC_SCRIPT_TEXT, text.c_str()); }
    static void Press(HWND dlg, int id) { SendMessage(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    size_t Boxes() const { return win::MessageBoxLog().size(); }
};

TEST_F(ScriptWindow, RunsAddUpUntilTheWindowCloses) {
    Open([&](HWND dlg) {
        EXPECT_EQ(GetWindowTextString(dlg), u"Script");
        Type(dlg, u"Sub F\nApplication.UserProperties(\"f\") = \"ran\"\nEnd Sub");
        Press(dlg, IDOK);
        Type(dlg, u"F");
        Press(dlg, IDOK);
        // An empty run changes nothing and shows nothing.
        Type(dlg, u"");
        Press(dlg, IDOK);
        EXPECT_TRUE(IsWindow(dlg));  // running keeps the window open
    });
    EXPECT_EQ(Text("Application.UserProperties(\"f\")"), "ran");
    EXPECT_EQ(Boxes(), 0u);
    // A new window has a new engine: F is unknown there.
    Open([&](HWND dlg) {
        Type(dlg, u"F");
        Press(dlg, IDOK);
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_SCRIPT_TEXT), u"F");  // the text stays
    });
    ASSERT_EQ(Boxes(), 1u);
    const auto box = win::MessageBoxLog()[0];
    EXPECT_NE(box.text.find(u"Line: 1"), WString::npos) << text::ToUtf8(box.text);
    // The global engine never saw the window's code.
    EXPECT_EQ(Error("F"), 13);  // type mismatch: no such procedure
}

TEST_F(ScriptWindow, HandlersStopWithTheWindow) {
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    Open([&](HWND dlg) {
        Type(dlg, u"Sub Application_OnTimer\nApplication.UserProperties(\"tick\") = 1\nEnd Sub\n"
                  u"Application.Timer.Interval = 100\nApplication.Timer.Enabled = True");
        Press(dlg, IDOK);
    });
    for (int i = 0; i < 3; ++i) {
        clock.Advance(100);
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    }
    EXPECT_EQ(Text("IsEmpty(Application.UserProperties(\"tick\"))"), "True");
    ASSERT_TRUE(Run("Application.Timer.Enabled = False"));
    sys::SetClock(nullptr);
}

TEST_F(ScriptWindow, TextSavedAndLoadedAgainAndAFailedSave) {
    const WString text = u"' \u0391\u03b2\u03b3 \u5730\u56f3\nMsgBox \"\u00e9\"";
    WString chosen = u"\\Docs\\s.vbs";
    std::vector<OPENFILENAME> dialogs;
    win::SetCommonDialogResponder({[&](OPENFILENAME& ofn, bool) {
                                       dialogs.push_back(ofn);
                                       ofn.file = chosen;
                                       return true;
                                   },
                                   nullptr, nullptr});
    Open([&](HWND dlg) {
        Type(dlg, text);
        Press(dlg, IDC_SCRIPT_SAVE);
    });
    const std::string bytes = Get("Docs/s.vbs");
    EXPECT_EQ(bytes, text::ToUtf8(text));  // UTF-8, no byte-order mark
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].flags, 2u);
    EXPECT_EQ(dialogs[0].defExt, u"txt");
    EXPECT_EQ(dialogs[0].initialDir, GetPreferences()->Data().paths.applets);
    Open([&](HWND dlg) {
        Press(dlg, IDC_SCRIPT_LOAD);
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_SCRIPT_TEXT), text);
    });
    ASSERT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(dialogs[1].flags, 0x1004u);
    EXPECT_EQ(Boxes(), 0u);

    // A save that fails says so, with the file's name, and the old file stays.
    fs::test::FailNthWrite(1);
    Open([&](HWND dlg) {
        Type(dlg, u"new text");
        Press(dlg, IDC_SCRIPT_SAVE);
    });
    fs::test::Reset();
    EXPECT_EQ(Get("Docs/s.vbs"), bytes);
    ASSERT_EQ(Boxes(), 1u);
    EXPECT_NE(win::MessageBoxLog()[0].text.find(u"\\Docs\\s.vbs"), WString::npos);
    // A file that cannot be read leaves the text and says so.
    chosen = u"\\Docs\\missing.vbs";
    Open([&](HWND dlg) {
        Type(dlg, u"kept");
        Press(dlg, IDC_SCRIPT_LOAD);
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_SCRIPT_TEXT), u"kept");
    });
    EXPECT_EQ(Boxes(), 2u);
}

TEST_F(ScriptWindow, TheInputPanelFollowsTheEditsFocus) {
    sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", reinterpret_cast<void*>(&RecordingSip));
    Open([&](HWND dlg) {
        HWND edit = GetDlgItem(dlg, IDC_SCRIPT_TEXT);
        SetFocus(edit);
        SetFocus(GetDlgItem(dlg, IDOK));
    });
    sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", nullptr);
    ASSERT_GE(g_sip.size(), 2u);
    EXPECT_EQ(g_sip[g_sip.size() - 2], 0);  // raised
    EXPECT_EQ(g_sip.back(), 1);             // lowered
}

TEST_F(ScriptWindow, AsDrawn) {
    Open([&](HWND dlg) {
        // The buttons take their pictures' size.
        for (int id : {IDC_SCRIPT_LOAD, IDC_SCRIPT_SAVE, IDOK}) {
            RECT r;
            GetWindowRect(GetDlgItem(dlg, id), &r);
            EXPECT_EQ(r.right - r.left, 20);
            EXPECT_EQ(r.bottom - r.top, 20);
        }
        Type(dlg, u"MsgBox Application.Properties(\"ProductVersion\")");
        UpdateWindow(dlg);
        for (HWND child = GetWindow(dlg, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            InvalidateRect(child, nullptr, TRUE);
            UpdateWindow(child);
        }
        golden::Expect("script_window", dlg);
    });
}

}  // namespace
}  // namespace apptest
