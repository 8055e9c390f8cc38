// The Add Internet Server dialog against the loopback server's recorded
// catalogue: the URL check, the image services listed, the workspaces file
// written and the recent URLs kept.
#include "map/dialogs/add_server_dlg.h"

#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/input.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/win_golden.h"
#include "tests/support/http_test_server.h"
#include "tests/support/run_command.h"

namespace {

using zntest::HttpReply;
using zntest::HttpTestServer;

class AddServer : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        ASSERT_GT(server_.Port(), 0) << server_.Error();
        server_.ServeRecorded(ZN_SOURCE_DIR "/tests/data/map/server");
        GetPreferences()->Data().paths.data = u"\\Data";
        ::mkdir(Host("Data").c_str(), 0755);
        CMruList(u"Recent URL List", u"URL%d", 10).Save();
        win::SetCommonDialogResponder({[this](OPENFILENAME& ofn, bool save) {
                                           EXPECT_TRUE(save);
                                           saveAsked_.push_back(ofn.file);
                                           if (saveAs_.empty()) return false;
                                           ofn.file = saveAs_;
                                           return true;
                                       },
                                       nullptr, nullptr});
    }
    void TearDown() override {
        win::ClearModalHooks();
        MapTest::TearDown();
    }
    static HWND List(HWND dlg) { return GetDlgItem(dlg, IDC_SERVER_LIST); }
    static int Rows(HWND dlg) { return static_cast<int>(SendMessage(List(dlg), LVM_GETITEMCOUNT, 0, 0)); }
    static bool OkEnabled(HWND dlg) {
        return (static_cast<DWORD>(GetWindowLong(dlg, GWL_EXSTYLE)) & WS_EX_CAPTIONOKBTN) != 0;
    }
    static void Connect(HWND dlg, const std::string& url) {
        SetDlgItemText(dlg, IDC_SERVER_URL, text::FromUtf8(url).c_str());
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(IDC_SERVER_CONNECT, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDC_SERVER_CONNECT)));
    }
    static WString Cell(HWND dlg, int row, int column) {
        WChar buf[128] = {};
        LVITEM item;
        item.iSubItem = column;
        item.pszText = buf;
        item.cchTextMax = 128;
        SendMessage(List(dlg), LVM_GETITEMTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        return buf;
    }
    std::string XPath(const std::string& file, const std::string& expr) {
        std::string out = testsupport::RunCommand("xmllint --xpath '" + expr + "' '" + Host(file) + "' 2>/dev/null");
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    HttpTestServer server_;
    WString saveAs_;
    std::vector<WString> saveAsked_;
};

TEST_F(AddServer, ListsImageServicesAndSavesTheChosenOne) {
    const std::string hostPort = "127.0.0.1:" + std::to_string(server_.Port());
    CAddServerDlg dialog;
    win::PushModalHook([&](HWND dlg) {
        EXPECT_FALSE(OkEnabled(dlg));
        // A URL without a scheme gets http:// in front.
        Connect(dlg, hostPort);
        EXPECT_EQ(GetDlgItemTextString(dlg, IDC_SERVER_URL), text::FromUtf8("http://" + hostPort));
        ASSERT_EQ(Rows(dlg), 4);  // image services of any case, sorted; no feature service
        EXPECT_EQ(Cell(dlg, 0, 0), u"Old");
        EXPECT_EQ(Cell(dlg, 1, 0), u"Photo");
        EXPECT_EQ(Cell(dlg, 2, 0), u"Private");
        EXPECT_EQ(Cell(dlg, 3, 0), u"Roads");
        EXPECT_EQ(Cell(dlg, 3, 1), u"Roads and tracks");
        EXPECT_EQ(dialog.Services().GetItemImage(3, 1), 6);  // public
        EXPECT_EQ(dialog.Services().GetItemImage(2, 1), 7);  // private
        EXPECT_TRUE(dialog.Services().GetCheck(3));          // enabled
        EXPECT_FALSE(dialog.Services().GetCheck(0));
        EXPECT_TRUE(OkEnabled(dlg));
        win::input::DrainQueue();
        UpdateWindow(dlg);
        for (HWND child : GetChildren(dlg)) UpdateWindow(child);
        // The port differs from run to run: the picture shows the URL box empty.
        const WString typed = GetDlgItemTextString(dlg, IDC_SERVER_URL);
        SetDlgItemText(dlg, IDC_SERVER_URL, u"");
        UpdateWindow(GetDlgItem(dlg, IDC_SERVER_URL));
        golden::Expect("add_server_dialog", dlg);
        SetDlgItemText(dlg, IDC_SERVER_URL, typed.c_str());

        // OK without a selection warns and stays.
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        ASSERT_FALSE(win::MessageBoxLog().empty());
        EXPECT_EQ(win::MessageBoxLog().back().text, u"No service selected");

        // A renamed row keeps asking for its service by the catalogue's name.
        win::ListViewUserTap(List(dlg), 3);
        dialog.Services().SetItemText(3, 0, u"My Roads");
        // The save dialog cancelled: nothing written, the dialog open.
        win::PressCaptionOk(dlg);
        win::input::DrainQueue();
        EXPECT_TRUE(win::IsDialogRunning(dlg));
        EXPECT_TRUE(HostList("Data").empty());
        saveAs_ = u"\\Data\\roads.mvd";
        win::PressCaptionOk(dlg);
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.m_savedPath, u"\\Data\\roads.mvd");
    EXPECT_EQ(saveAsked_.front(), u"My Roads.mvd");
    EXPECT_EQ(XPath("Data/roads.mvd", "string(//IMAGESERVERWORKSPACE/@name)"), "My Roads");
    EXPECT_EQ(XPath("Data/roads.mvd", "string(//IMAGESERVERWORKSPACE/@service)"), "Roads");
    // Only the server was named: the servlet goes after it.
    EXPECT_EQ(XPath("Data/roads.mvd", "string(//IMAGESERVERWORKSPACE/@url)"),
              "http://" + hostPort + "/servlet/com.qova.qovamap.Qovamap");
    CMruList recent(u"Recent URL List", u"URL%d", 10);
    recent.Load();
    ASSERT_EQ(recent.GetCount(), 1);
    EXPECT_EQ(recent[0], text::FromUtf8("http://" + hostPort));
}

TEST_F(AddServer, RefusedUrlsAndServersWithoutImageServices) {
    HttpReply empty;
    empty.body = "<?xml version=\"1.0\"?><OMBRXL version=\"1.1\"><RESPONSE/></OMBRXL>";
    server_.SetReplyFor("/servlet/com.qova.qovamap.Qovamap?ServiceName=catalog", empty);
    CAddServerDlg dialog;
    win::PushModalHook([&](HWND dlg) {
        Connect(dlg, "ftp://127.0.0.1/");
        EXPECT_EQ(MessageTexts().back(), u"Invalid URL");
        Connect(dlg, server_.Url("/"));
        EXPECT_EQ(MessageTexts().back(), u"The server 127.0.0.1 did not return any map services.");
        EXPECT_FALSE(OkEnabled(dlg));
        // Nobody listens on port 1.
        Connect(dlg, "http://127.0.0.1:1/");
        ASSERT_FALSE(MessageTexts().empty());
        EXPECT_EQ(MessageTexts().back().rfind(u"Error getting map services from server 127.0.0.1.\n", 0), 0u)
            << text::ToUtf8(MessageTexts().back());
        EXPECT_EQ(Rows(dlg), 0);
        win::PressCaptionClose(dlg);
    });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
    CMruList recent(u"Recent URL List", u"URL%d", 10);
    recent.Load();
    EXPECT_EQ(recent.GetCount(), 0);  // saved only on OK
}

}  // namespace
