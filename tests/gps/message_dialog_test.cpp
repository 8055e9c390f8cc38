// The Send Message dialog on the window model with a real port on a
// pseudo-terminal: the checksum, what reaches the receiver, a refused write,
// and the text files it opens and saves.
#include "gps/message_dialog.h"

#include <fstream>

#include "gps/serial_port.h"
#include "map/services/preferences.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"
#include "tests/gps/pty_test_util.h"
#include "tests/map/map_doubles.h"
#include "tests/map/view_harness.h"

namespace {

TEST(GpsMessageChecksum, AddsOrReplacesTheChecksum) {
    struct Case {
        const WChar* text;
        const WChar* result;
    };
    const Case cases[] = {
        {u"$abc", u"$abc*60"},           {u"$abc*60", u"$abc*60"},  {u"$abc*FF", u"$abc*60"},
        {u"$abc*", u"$abc*60"},          {u"$abc*60*60", u"$abc*60"}, {u"$abc \t\r\n", u"$abc*60"},
        {u"", u""},                      {u" \r\n", u""},           {u"abc", u"abc"},
        {u"abc*12  ", u"abc*12"},        {u" $abc", u" $abc"},      {u"$", u"$*00"},
        {u"$PGRMO,,2", u"$PGRMO,,2*75"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CGpsMessageDlg::AddChecksum(c.text), c.result) << text::ToUtf8(c.text);
}

TEST(GpsMessageChecksum, MatchesTheReceiversOwnSentences) {
    std::ifstream log(ZN_SOURCE_DIR "/tests/data/gps/garmin17n.log");
    int checked = 0;
    for (std::string line; std::getline(log, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
        if (line.empty() || line[0] != '$' || line.find('*') == std::string::npos) continue;
        const std::string body = line.substr(0, line.find('*'));
        EXPECT_EQ(text::ToUtf8(CGpsMessageDlg::AddChecksum(text::FromUtf8(body))), line);
        // A stale checksum is replaced by the right one.
        EXPECT_EQ(text::ToUtf8(CGpsMessageDlg::AddChecksum(text::FromUtf8(body + "*00"))), line);
        ++checked;
    }
    EXPECT_GT(checked, 5);
}

class MessageDialog : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        setenv("ZARNIP_PORTS", ("COM1=" + pty_.name).c_str(), 1);
        GetPreferences()->Data().paths.data = u"\\Docs";
    }
    void TearDown() override {
        port_.Close();
        unsetenv("ZARNIP_PORTS");
        win::ClearModalHooks();
        win::SetCommonDialogResponder({});
        MapTest::TearDown();
    }
    // Runs the dialog with `act` as the user.
    void Run(CSerialPort* port, std::function<void(HWND)> act) {
        win::PushModalHook([act](HWND dlg) {
            act(dlg);
            SendMessage(dlg, WM_COMMAND, IDCANCEL, 0);
        });
        dialog_.Run(port);
    }
    static void Type(HWND dlg, const WChar* text) {
        SetWindowText(GetDlgItem(dlg, IDC_GPS_MESSAGE_TEXT), text);
    }
    static void Press(HWND dlg, int id, WORD code = BN_CLICKED) {
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
    static WString Text(HWND dlg) { return GetDlgItemTextString(dlg, IDC_GPS_MESSAGE_TEXT); }

    Pty pty_;
    CSerialPort port_;
    CGpsMessageDlg dialog_;
};

TEST_F(MessageDialog, SendWritesTheTextWithCrLf) {
    ASSERT_TRUE(port_.Open(nullptr));
    Run(&port_, [&](HWND dlg) {
        EXPECT_EQ(GetWindowTextString(dlg), u"Send Message To GPS");
        EXPECT_EQ(GetWindowTextString(GetDlgItem(dlg, IDOK)), u"Send");
        Type(dlg, u"$PGRMO,,2");
        Press(dlg, IDC_GPS_MESSAGE_CHECKSUM);
        EXPECT_EQ(Text(dlg), u"$PGRMO,,2*75");
        Press(dlg, IDOK);
        EXPECT_EQ(pty_.Receive(14), "$PGRMO,,2*75\r\n");
        EXPECT_TRUE(win::IsDialogRunning(dlg));  // it stays open
        // For review: the dialog as drawn, when a folder for pictures is named.
        if (const char* shots = getenv("ZN_SHOT_DIR")) {
            UpdateWindow(dlg);
            for (HWND child : GetChildren(dlg)) UpdateWindow(child);
            viewtest::WriteBmp(std::string(shots) + "/send_message_live.bmp", win::GetWindowSurface(dlg));
        }
        Press(dlg, IDOK, BN_DBLCLK);               // a double tap sends too
        EXPECT_EQ(pty_.Receive(14), "$PGRMO,,2*75\r\n");
        Type(dlg, u"");
        Press(dlg, IDOK);
        EXPECT_EQ(pty_.Receive(2), "\r\n");
    });
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(MessageDialog, WithoutAPortNothingHappens) {
    Run(nullptr, [&](HWND dlg) {
        Type(dlg, u"$PZN");
        Press(dlg, IDOK);
    });
    EXPECT_TRUE(win::MessageBoxLog().empty());
    EXPECT_EQ(pty_.Receive(1, 100), "");
}

TEST_F(MessageDialog, ARefusedWriteShowsThePortsError) {
    HWND window = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window, false));
    // The master reads nothing: fill the device queue and the write ring.
    const std::string block(256, 'w');
    for (int round = 0; round < 100; ++round) {
        for (int i = 0; i < 10000 && port_.Write(block.data(), 256); ++i) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!port_.Write(block.data(), 256)) break;
    }
    const WString error = port_.GetErrorText();
    ASSERT_FALSE(error.empty());
    const WString long_(CSerialPort::kWriteRingSize, u'x');
    Run(&port_, [&](HWND dlg) {
        Type(dlg, long_.c_str());
        Press(dlg, IDOK);
    });
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, port_.GetErrorText());
    EXPECT_NE(boxes[0].type & MB_ICONERROR, 0u);
    port_.StopReader();
    DestroyWindow(window);
}

TEST_F(MessageDialog, OpenAndSaveTextFiles) {
    Put("Docs/utf8.txt", "$PZN,caf\xC3\xA9");
    Put("Docs/ansi.txt", "$PZN,caf\xE9,1252");
    std::vector<std::pair<WString, bool>> asked;
    WString answer;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        asked.emplace_back(ofn.file, save);
        EXPECT_EQ(ofn.defExt, u"txt");
        EXPECT_EQ(ofn.initialDir, u"\\Docs");
        EXPECT_NE(ofn.filter.find(u"Text Files (*.txt)"), WString::npos);
        EXPECT_NE(ofn.flags & (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST), 0u);
        if (answer.empty()) return false;
        ofn.file = answer;
        return true;
    };
    win::SetCommonDialogResponder(responder);
    Run(nullptr, [&](HWND dlg) {
        answer = u"\\Docs\\utf8.txt";
        Press(dlg, IDC_GPS_MESSAGE_OPEN);
        EXPECT_EQ(Text(dlg), u"$PZN,café");
        answer = u"\\Docs\\ansi.txt";
        Press(dlg, IDC_GPS_MESSAGE_OPEN);
        EXPECT_EQ(Text(dlg), u"$PZN,café,1252");
        answer = u"\\Docs\\saved.txt";
        Press(dlg, IDC_GPS_MESSAGE_SAVE);
        answer.clear();  // cancelled: nothing changes
        Press(dlg, IDC_GPS_MESSAGE_OPEN);
        EXPECT_EQ(Text(dlg), u"$PZN,café,1252");
    });
    EXPECT_EQ(Get("Docs/saved.txt"), "$PZN,caf\xC3\xA9,1252");
    ASSERT_EQ(asked.size(), 4u);
    // Each dialog starts from the last path.
    EXPECT_EQ(asked[1].first, u"\\Docs\\utf8.txt");
    EXPECT_EQ(asked[3].first, u"\\Docs\\saved.txt");
    EXPECT_EQ(dialog_.GetLastPath(), u"\\Docs\\saved.txt");
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(MessageDialog, TheFileButtonsTakeTheirPicturesSize) {
    Run(nullptr, [&](HWND dlg) {
        for (int id : {IDC_GPS_MESSAGE_OPEN, IDC_GPS_MESSAGE_SAVE}) {
            RECT r;
            GetWindowRect(GetDlgItem(dlg, id), &r);
            EXPECT_EQ(r.right - r.left, 20);
            EXPECT_EQ(r.bottom - r.top, 20);
            EXPECT_NE(SendMessage(GetDlgItem(dlg, id), BM_GETIMAGE, IMAGE_BITMAP, 0), 0);
        }
    });
}

}  // namespace
