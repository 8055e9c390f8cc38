// The GPS alerts on the window model: which settings show the dialog, notify
// the view and play the file or the icon's beep; the dialog's five-second
// close, its OK button, its font and icon; one dialog at a time.
#include "gps/alerts.h"

#include <unistd.h>

#include "gps/gps.h"
#include "map/services/view_messages.h"
#include "platform/sys/thread.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/map/view_harness.h"

namespace {

std::vector<std::pair<UINT, WPARAM>> g_notices;

LRESULT NotifyProc(HWND h, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMONDIALOG_CLOSED) {
        g_notices.emplace_back(msg, wParam);
        return 0;
    }
    return DefWindowProc(h, msg, wParam, lParam);
}

class Alerts : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        sys::SetClock(&clock_);
        for (int i = 0; i < kAlertCount; ++i) GetAlertSettings()[i] = AlertSettings{};
        WNDCLASS wc;
        wc.lpfnWndProc = NotifyProc;
        wc.lpszClassName = u"AlertView";
        ASSERT_TRUE(RegisterClass(wc));
        view_ = CreateWindowEx(0, u"AlertView", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               nullptr, nullptr);
        g_notices.clear();
        setenv("ZARNIP_SOUND_PLAYER", ZN_SOURCE_DIR "/tests/gps/record_sound.sh", 1);
        setenv("ZARNIP_SOUND_LOG", Host("played.txt").c_str(), 1);
        Put("Sounds/Alert.wav", std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
        Put("Sounds/Text.wav", "not a wave file\n");
    }
    void TearDown() override {
        for (int i = 0; i < kAlertCount; ++i) GetAlertSettings()[i] = AlertSettings{};
        win::ClearModalHooks();
        unsetenv("ZARNIP_SOUND_PLAYER");
        unsetenv("ZARNIP_SOUND_LOG");
        MapTest::TearDown();
        sys::SetClock(nullptr);
    }
    // What the player was asked to play (waits briefly for the process).
    std::string Played(bool expectSomething) {
        for (int i = 0; expectSomething && i < 500 && Get("played.txt").empty(); ++i) usleep(10000);
        return Get("played.txt");
    }

    sys::FakeClock clock_;
    HWND view_ = nullptr;
};

struct SoundCase {
    const char* name;
    const WChar* file;  // null: none set
    bool plays;         // the player starts
};
const SoundCase kSounds[] = {
    {"none", nullptr, false},
    {"wave", u"\\Sounds\\Alert.wav", true},
    {"missing", u"\\Sounds\\Gone.wav", false},
    {"text", u"\\Sounds\\Text.wav", false},
};

TEST_F(Alerts, ShowPlayAndSoundDecideDialogNoticeAndSound) {
    struct Key {
        int key;
        UINT beep;
    };
    for (Key k : {Key{alert::kNoData, 0x10}, Key{alert::kNoFix, 0x30}, Key{alert::kDestination, 0x40}}) {
        for (bool show : {true, false}) {
            for (bool play : {true, false}) {
                for (const SoundCase& s : kSounds) {
                    SCOPED_TRACE(testing::Message() << "key " << k.key << " show " << show << " play "
                                                    << play << " sound " << s.name);
                    AlertSettings& row = GetAlertSettings()[k.key];
                    row = AlertSettings{show, play, s.file ? WString(s.file) : WString()};
                    std::remove(Host("played.txt").c_str());
                    g_notices.clear();
                    const size_t beeps = win::BeepLog().size();
                    bool shown = false;
                    if (show) {
                        win::PushModalHook([&](HWND dlg) {
                            shown = true;
                            // The sound starts before the dialog is seen.
                            EXPECT_EQ(win::BeepLog().size() - beeps, play && !s.plays ? 1u : 0u);
                            if (k.key == alert::kDestination) {
                                SendMessage(dlg, WM_COMMAND, IDOK, 0);
                            } else {
                                clock_.Advance(CAlertDlg::kAutoCloseMs);
                            }
                        });
                    }
                    RaiseAlert(nullptr, k.key, view_);
                    win::ClearModalHooks();
                    EXPECT_EQ(shown, show);
                    // Noticed at once when no dialog shows, else only through OK.
                    const bool noticed = !show || k.key == alert::kDestination;
                    ASSERT_EQ(g_notices.size(), noticed ? 1u : 0u);
                    if (noticed) {
                        EXPECT_EQ(g_notices[0].second, static_cast<WPARAM>(k.key));
                    }
                    const std::vector<UINT> log = win::BeepLog();
                    const std::vector<UINT> newBeeps(log.begin() + static_cast<long>(beeps), log.end());
                    if (play && s.plays) {
                        EXPECT_EQ(Played(true), Host("Sounds/Alert.wav") + "\n");
                        EXPECT_TRUE(newBeeps.empty());
                    } else {
                        EXPECT_EQ(Played(false), "");
                        EXPECT_EQ(newBeeps, play ? std::vector<UINT>{k.beep} : std::vector<UINT>{});
                    }
                }
            }
        }
    }
}

TEST_F(Alerts, TheTimerClosesWithCancelAndTellsNobody) {
    intptr_t result = -2;
    const uint64_t t0 = clock_.NowMs();
    win::PushModalHook([&](HWND dlg) {
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        clock_.Advance(CAlertDlg::kAutoCloseMs - 1);
    });
    result = ShowAlertDialog(nullptr, kAlertTable[alert::kMaxPdop],
                             AlertSettings{true, false, WString()}, view_);
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_GE(clock_.NowMs() - t0, CAlertDlg::kAutoCloseMs);
    EXPECT_TRUE(g_notices.empty());
    EXPECT_FALSE(IsAlertDialogShowing());
}

TEST_F(Alerts, TheDialogsControls) {
    struct Case {
        int key;
        int icon;
        const WChar* text;
    };
    const Case cases[] = {
        {alert::kNoData, IDI_ALERT_ERROR,
         u"No data is being received from your GPS receiver. Check cables and configuration options."},
        {alert::kMaxPdop, IDI_ALERT_WARNING, u"Maximum PDOP has been exceeded."},
        {alert::kMaxEpe, IDI_ALERT_WARNING, u"Maximum EPE has been exceeded."},
        {alert::kNoFix, IDI_ALERT_WARNING, u"No current position fix available."},
        {alert::kNotDgps, IDI_ALERT_WARNING, u"Current position is not a differential fix."},
        {alert::kNot3D, IDI_ALERT_WARNING, u"Current position is not a 3D fix."},
        {alert::kDestination, IDI_ALERT_INFO, u"Approaching Destination"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        CAlertDlg dialog(nullptr, kAlertTable[c.key], AlertSettings{true, false, WString()}, view_);
        win::PushModalHook([&](HWND dlg) {
            EXPECT_EQ(GetWindowTextString(dlg), u"Alert!");
            EXPECT_EQ(GetDlgItemTextString(dlg, IDC_ALERT_TEXT), c.text);
            EXPECT_EQ(dialog.GetIconId(), c.icon);
            EXPECT_NE(SendMessage(GetDlgItem(dlg, IDC_ALERT_ICON), STM_GETICON, 0, 0), 0);
            HWND ok = GetDlgItem(dlg, IDOK);
            const bool hasOk = c.key == alert::kDestination;
            EXPECT_EQ(IsWindowVisible(ok) != 0, hasOk);
            EXPECT_EQ(IsWindowEnabled(ok) != 0, hasOk);

            // Weight 900 and 1.2 times the control's own height, toward zero.
            HWND text = GetDlgItem(dlg, IDC_ALERT_TEXT);
            LOGFONT base{}, bold{};
            HFONT dialogFont = reinterpret_cast<HFONT>(SendMessage(dlg, WM_GETFONT, 0, 0));
            if (!dialogFont) dialogFont = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
            ASSERT_EQ(GetObject(dialogFont, sizeof base, &base), int(sizeof base));
            HFONT shown = reinterpret_cast<HFONT>(SendMessage(text, WM_GETFONT, 0, 0));
            EXPECT_EQ(shown, dialog.GetTextFont());
            ASSERT_EQ(GetObject(shown, sizeof bold, &bold), int(sizeof bold));
            EXPECT_EQ(bold.lfWeight, 900);
            EXPECT_EQ(bold.lfHeight, static_cast<LONG>(base.lfHeight * 1.2));
            EXPECT_NE(bold.lfHeight, base.lfHeight);
            // For review: the dialog as drawn, when a folder for pictures is named.
            if (const char* shots = getenv("ZN_SHOT_DIR")) {
                UpdateWindow(dlg);
                for (HWND child : GetChildren(dlg)) UpdateWindow(child);
                viewtest::WriteBmp(std::string(shots) + "/alert_" + std::to_string(c.key) + ".bmp",
                                   win::GetWindowSurface(dlg));
            }
            // Enter on a dialog without OK does not end it.
            SendMessage(dlg, WM_COMMAND, IDOK, 0);
            EXPECT_EQ(win::IsDialogRunning(dlg) != 0, !hasOk);
            if (!hasOk) clock_.Advance(CAlertDlg::kAutoCloseMs);
        });
        EXPECT_EQ(dialog.DoModal(), c.key == alert::kDestination ? IDOK : IDCANCEL);
    }
    // Only the destination's OK told the view, with its key.
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].second, static_cast<WPARAM>(alert::kDestination));
}

TEST_F(Alerts, ASecondAlertWhileOneShowsDoesNothing) {
    GetAlertSettings()[alert::kNoFix] = AlertSettings{true, true, WString()};
    GetAlertSettings()[alert::kDestination] = AlertSettings{true, true, u"\\Sounds\\Alert.wav"};
    const size_t beeps = win::BeepLog().size();
    int hooks = 0;
    win::PushModalHook([&](HWND) {
        ++hooks;
        EXPECT_TRUE(IsAlertDialogShowing());
        RaiseAlert(nullptr, alert::kNoFix, view_);
        RaiseAlert(nullptr, alert::kDestination, view_);
        EXPECT_EQ(ShowAlertDialog(nullptr, kAlertTable[alert::kNoData], AlertSettings{}, view_), 0);
        clock_.Advance(CAlertDlg::kAutoCloseMs);
    });
    win::PushModalHook([&](HWND) { ++hooks; });  // must stay unused
    RaiseAlert(nullptr, alert::kNoFix, view_);
    EXPECT_EQ(hooks, 1);
    EXPECT_EQ(win::BeepLog().size() - beeps, 1u);  // the first alert's own beep
    EXPECT_TRUE(g_notices.empty());
    EXPECT_EQ(Played(false), "");
    win::ClearModalHooks();
}

TEST_F(Alerts, KeysWithoutARowDoNothing) {
    GetAlertSettings()[0] = AlertSettings{false, true, WString()};
    const size_t beeps = win::BeepLog().size();
    win::PushModalHook([](HWND) { ADD_FAILURE() << "no dialog expected"; });
    for (int key : {-1, 7, 1000}) RaiseAlert(nullptr, key, view_);
    win::ClearModalHooks();
    EXPECT_EQ(win::BeepLog().size(), beeps);
    EXPECT_TRUE(g_notices.empty());
    EXPECT_EQ(FindAlert(-1), nullptr);
    EXPECT_EQ(FindAlert(7), nullptr);
}

TEST_F(Alerts, ForcedSamplePlaysWithPlayOff) {
    const AlertSettings off{true, false, u"\\Sounds\\Alert.wav"};
    EXPECT_FALSE(PlayAlertSound(kAlertTable[alert::kMaxEpe], off, false));
    EXPECT_EQ(Played(false), "");
    EXPECT_TRUE(PlayAlertSound(kAlertTable[alert::kMaxEpe], off, true));
    EXPECT_EQ(Played(true), Host("Sounds/Alert.wav") + "\n");
    const size_t beeps = win::BeepLog().size();
    EXPECT_FALSE(PlayAlertSound(kAlertTable[alert::kNoData], AlertSettings{true, false, WString()}, true));
    EXPECT_EQ(win::BeepLog().size() - beeps, 1u);
    EXPECT_EQ(win::BeepLog().back(), 0x10u);
}

TEST_F(Alerts, TheReceiverRaisesThroughTheTable) {
    CGps gps;
    IGps* contract = &gps;
    GetAlertSettings()[alert::kNot3D] = AlertSettings{false, true, WString()};
    const size_t beeps = win::BeepLog().size();
    contract->RaiseAlert(nullptr, alert::kNot3D, view_);
    ASSERT_EQ(g_notices.size(), 1u);
    EXPECT_EQ(g_notices[0].second, static_cast<WPARAM>(alert::kNot3D));
    EXPECT_EQ(win::BeepLog().size() - beeps, 1u);
    EXPECT_EQ(win::BeepLog().back(), 0x30u);
}

}  // namespace
