// The program's document commands in this process, started as main starts
// it: every way of opening a map shows it at its extent; Save, Save As and
// the recent maps; the prompt to save a modified map before another is
// opened or the program ends; and failures that keep the open map and say
// why.
#include <algorithm>
#include <cstdio>

#include "core/recent_file_list.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/raster_layer.h"
#include "map/layers/shape_layer.h"
#include "map/view/map_view.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"
#include "platform/win/doc_template.h"
#include "platform/win/input.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "shell/app/map_app.h"
#include "shell/app/null_scripting.h"
#include "shell/frame/main_frame.h"
#include "tests/shell/shell_doubles.h"

namespace {

constexpr UINT kExit = 57665;

class OpenSaveTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        ASSERT_EQ(std::system(("mkdir -p -m 700 '" + Host("Maps") + "' '" + Host("config") +
                               "' && cp '" + samples + "'/* '" + Host("Maps") + "'/")
                                  .c_str()),
                  0);
        // The blockgroups as a map document without a stored extent.
        Put("Maps/NoExtent.znm",
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n<Zarnip><MAP name=\"Blocks\"><LAYER "
            "name=\"B\">"
            "<DATASET name=\"blockgroups.shp\"/></LAYER></MAP></Zarnip>\n");
        setenv("XDG_CONFIG_HOME", Host("config").c_str(), 1);
        UseBuiltInLayerClass(LayerKind::Shape);
        for (LayerKind kind : {LayerKind::Bitmap, LayerKind::Jpeg, LayerKind::Rpf, LayerKind::Sid})
            UseBuiltInLayerClass(kind);
    }
    void TearDown() override {
        win::SetMessageBoxResponder(nullptr);
        if (app_) {
            if (CMainFrame* frame = CMainFrame::GetMainFrame()) DestroyWindow(frame->GetSafeHwnd());
            app_->ExitInstance();
            app_.reset();
        }
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }

    // The application as main starts it, with a map on its command line
    // (a host path) or none.
    CMainFrame* Start(const std::string& map = {}) {
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
        win::SetScreenSize(240, 320);
        SetScriptServices(&scripting_);
        app_ = std::make_unique<CMapApp>();
        CMapApp* app = app_.get();
        std::vector<const char*> argv{"zarnip", "--no-splash"};
        if (!map.empty()) argv.push_back(map.c_str());
        app->SetCommandLine(static_cast<int>(argv.size()), argv.data());
        app->UseProgramDocTemplate();
        if (!app->InitInstance()) return nullptr;
        win::input::DrainQueue();
        frame_ = CMainFrame::GetMainFrame();
        return frame_;
    }
    void Command(UINT id) {
        SendMessage(frame_->GetSafeHwnd(), WM_COMMAND, id, 0);
        win::input::DrainQueue();
    }
    // The file dialogs answer with these device paths in turn (empty:
    // cancelled); each dialog's kind is noted.
    void AnswerFileDialogs(std::vector<WString> paths) {
        answers_ = std::move(paths);
        dialogs_.clear();
        win::CommonDialogResponder responder;
        responder.file = [this](OPENFILENAME& ofn, bool save) {
            dialogs_.push_back(save ? "save" : "open");
            if (answers_.empty()) return false;
            WString next = answers_.front();
            answers_.erase(answers_.begin());
            ofn.file = next;
            return !next.empty();
        };
        win::SetCommonDialogResponder(responder);
    }
    CMapDoc* Doc() const { return frame_->GetMapDoc(); }
    CDoubleRect Shown() const { return frame_->GetMapView()->GetExtent(); }
    static WString Device(std::string relative) {
        std::replace(relative.begin(), relative.end(), '/', '\\');
        return u"\\" + text::FromUtf8(relative);
    }
    std::vector<WString> RecentMaps() const {
        auto* list = dynamic_cast<CRecentFileList*>(app_->GetRecentFileList());
        return list ? list->GetEntries() : std::vector<WString>{};
    }
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const auto& box : win::MessageBoxLog()) texts.push_back(Narrow(box.text));
        return texts;
    }

    CNullScriptServices scripting_;
    std::unique_ptr<CMapApp> app_;
    CMainFrame* frame_ = nullptr;
    std::vector<WString> answers_;
    std::vector<std::string> dialogs_;
};

// The view shows the whole of `expected` and not much more.
::testing::AssertionResult ShowsExtent(const CDoubleRect& shown, const CDoubleRect& expected) {
    const double ew = expected.xmax - expected.xmin, eh = expected.ymax - expected.ymin;
    const double tolerance = 1e-6 * std::max(ew, eh);
    bool contains =
        shown.xmin <= expected.xmin + tolerance && shown.ymin <= expected.ymin + tolerance &&
        shown.xmax >= expected.xmax - tolerance && shown.ymax >= expected.ymax - tolerance;
    // The view's shape differs from the extent's: one side fits, and the
    // other is at most the fitted one's proportion, with 10 % margin.
    const double sw = shown.xmax - shown.xmin, sh = shown.ymax - shown.ymin;
    bool tight = std::min(sw / ew, sh / eh) <= 1.25;
    if (contains && tight) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "shown " << shown.xmin << " " << shown.ymin << " " << shown.xmax << " " << shown.ymax
           << ", expected " << expected.xmin << " " << expected.ymin << " " << expected.xmax << " "
           << expected.ymax;
}

// The extents the sample files must open at: Harbour's stored envelope, and
// the blockgroups' full extent for the shapefile and for a document that
// stores none.
struct OpenCase {
    const char* file;
    bool stored;
};
const OpenCase kOpenCases[] = {
    {"Harbour.znm", true}, {"blockgroups.shp", false}, {"NoExtent.znm", false}};

CDoubleRect ExpectedExtent(CMapDoc* doc, bool stored, const CDoubleRect& storedExtent) {
    if (stored) return storedExtent;
    CDoubleRect full;
    doc->GetLayers().GetFullExtent(full, false);
    return full;
}

TEST_F(OpenSaveTest, EveryOpenPathShowsTheMapAtItsExtent) {
    // Harbour's envelope, as stored in the document.
    const CDoubleRect harbour(311716.682048, 833834.348952, 312366.877193, 835165.250017);
    for (const OpenCase& c : kOpenCases) {
        SCOPED_TRACE(c.file);
        // The command line.
        ASSERT_NE(Start(Host(std::string("Maps/") + c.file)), nullptr);
        ASSERT_GT(Doc()->GetLayers().GetCount(), 0);
        CDoubleRect expected = ExpectedExtent(Doc(), c.stored, harbour);
        EXPECT_TRUE(ShowsExtent(Shown(), expected)) << "command line";
        EXPECT_NE(frame_->GetPaneText(2), u"1:1");

        // File > Open over the sample map.
        TearDown();
        SetUp();
        ASSERT_NE(Start(Host("Maps/Sample.znm")), nullptr);
        AnswerFileDialogs({Device(std::string("Maps/") + c.file)});
        Command(CMainFrame::kCmdOpenMap);
        ASSERT_EQ(dialogs_, std::vector<std::string>{"open"});
        EXPECT_TRUE(ShowsExtent(Shown(), expected)) << "File > Open";

        // The recent maps: back to the sample, then the first entry.
        if (std::string(c.file).ends_with(".znm")) {
            AnswerFileDialogs({Device("Maps/Sample.znm")});
            Command(CMainFrame::kCmdOpenMap);
            ASSERT_EQ(RecentMaps().size(), 2u);
            EXPECT_TRUE(text::EqualsNoCase(RecentMaps()[1], Device(std::string("Maps/") + c.file)));
            Command(CMainFrame::kCmdFirstRecentMap + 1);
            EXPECT_TRUE(ShowsExtent(Shown(), expected)) << "recent maps";
        }
        TearDown();
        SetUp();
    }
}

TEST_F(OpenSaveTest, SaveAsWritesTheMapAndSaveWritesItAgain) {
    ASSERT_NE(Start(Host("Maps/NoExtent.znm")), nullptr);
    // Save As asks for a name; a cancelled dialog changes nothing.
    AnswerFileDialogs({u"", Device("Docs/Copy.znm")});
    Command(CMainFrame::kCmdSaveMapAs);
    EXPECT_EQ(dialogs_, std::vector<std::string>{"save"});
    EXPECT_TRUE(text::EqualsNoCase(Doc()->GetPathName(), Device("Maps/NoExtent.znm")))
        << "cancelled";
    Doc()->SetModifiedFlag(true);
    Command(CMainFrame::kCmdSaveMapAs);
    EXPECT_TRUE(XmlWellFormed("Docs/Copy.znm"));
    EXPECT_EQ(XPath("Docs/Copy.znm", "string(/Zarnip/MAP/LAYER/DATASET/@name)"),
              "\\Maps\\blockgroups.shp");
    EXPECT_EQ(Doc()->GetPathName(), Device("Docs/Copy.znm"));
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_EQ(RecentMaps().front(), Device("Docs/Copy.znm"));
    EXPECT_EQ(GetWindowTextString(frame_->GetSafeHwnd()).substr(0, 6), u"Blocks");

    // Save writes to the document's own file without asking.
    Doc()->SetMapTitle(u"Renamed");
    Doc()->SetModifiedFlag(true);
    Command(CMainFrame::kCmdSaveMap);
    EXPECT_EQ(dialogs_.size(), 2u);
    EXPECT_EQ(XPath("Docs/Copy.znm", "string(/Zarnip/MAP/@name)"), "Renamed");
    EXPECT_FALSE(Doc()->IsModified());
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(OpenSaveTest, AFailedSaveKeepsTheOldFileAndTheMapAndSaysWhy) {
    ASSERT_NE(Start(Host("Maps/NoExtent.znm")), nullptr);
    const std::string before = Get("Maps/NoExtent.znm");
    Doc()->SetMapTitle(u"Changed");
    Doc()->SetModifiedFlag(true);
    // The disk fills up while the map is written.
    fs::test::FailNthWrite(1, fs::kErrorDiskFull);
    Command(CMainFrame::kCmdSaveMap);
    EXPECT_EQ(Get("Maps/NoExtent.znm"), before);
    EXPECT_EQ(HostList("Maps").size(), 15u) << "no temporary file is left";
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0],
              "Error saving map '\\Maps\\NoExtent.znm'\nThere is not enough space on the disk.");
    EXPECT_TRUE(Doc()->IsModified());
    EXPECT_EQ(Doc()->GetLayers().GetCount(), 1);
    EXPECT_EQ(Doc()->GetMapTitle(), u"Changed");
}

TEST_F(OpenSaveTest, AModifiedMapIsOfferedForSavingBeforeAnotherOpensAndAtExit) {
    ASSERT_NE(Start(Host("Maps/NoExtent.znm")), nullptr);
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDCANCEL; });
    Doc()->SetModifiedFlag(true);
    // Cancel: nothing changes.
    AnswerFileDialogs({Device("Maps/Harbour.znm")});
    Command(CMainFrame::kCmdOpenMap);
    ASSERT_EQ(Boxes(), std::vector<std::string>{"Save changes to \\Maps\\NoExtent.znm?"});
    EXPECT_TRUE(text::EqualsNoCase(Doc()->GetPathName(), Device("Maps/NoExtent.znm")));
    EXPECT_TRUE(Doc()->IsModified());
    Command(kExit);
    EXPECT_TRUE(IsWindow(frame_->GetSafeHwnd())) << "cancelled exit";

    // Yes: saved, then the other map opens.
    win::ClearMessageBoxLog();
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDYES; });
    Doc()->SetMapTitle(u"Saved First");
    AnswerFileDialogs({Device("Maps/Harbour.znm")});
    Command(CMainFrame::kCmdOpenMap);
    EXPECT_EQ(XPath("Maps/NoExtent.znm", "string(/Zarnip/MAP/@name)"), "Saved First");
    EXPECT_TRUE(text::EqualsNoCase(Doc()->GetPathName(), Device("Maps/Harbour.znm")));

    // No at exit: the program ends without writing.
    Doc()->SetModifiedFlag(true);
    const std::string harbour = Get("Maps/Harbour.znm");
    win::SetMessageBoxResponder([](const win::MessageBoxRecord&) { return IDNO; });
    HWND window = frame_->GetSafeHwnd();
    Command(kExit);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Get("Maps/Harbour.znm"), harbour);
}

TEST_F(OpenSaveTest, AFailedOpenKeepsTheOpenMapAndGivesTheReason) {
    ASSERT_NE(Start(Host("Maps/Harbour.znm")), nullptr);
    Put("Maps/Broken.znm", "<Zarnip>\n<MAP name=\"x\">\n</LAYER>\n</MAP></Zarnip>\n");
    Put("Maps/Other.znm", "<Other><MAP/></Other>\n");
    Put("Maps/Bad.shp", "not a shapefile");
    struct Case {
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {"Maps/Missing.znm", "Error opening map '\\Maps\\Missing.znm'\nThe file was not found."},
        {"Maps/Broken.znm",
         "Error opening map '\\Maps\\Broken.znm'\nXML parsing error. Unmatched tag: Expecting "
         "'MAP' but "
         "encountered 'LAYER' at line 3"},
        {"Maps/Other.znm", "Error opening map '\\Maps\\Other.znm'\nIt is not a map document."},
        {"Maps/Bad.shp", "Error opening '\\Maps\\Bad.shp'"},
    };
    const CDoubleRect shown = Shown();
    const WString title = GetWindowTextString(frame_->GetSafeHwnd());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        win::ClearMessageBoxLog();
        AnswerFileDialogs({Device(c.file)});
        Command(CMainFrame::kCmdOpenMap);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].substr(0, std::string(c.message).size()), c.message);
        EXPECT_EQ(Doc()->GetLayers().GetCount(), 1);
        EXPECT_EQ(Doc()->GetMapTitle(), u"Sesuit Harbor");
        EXPECT_TRUE(text::EqualsNoCase(Doc()->GetPathName(), Device("Maps/Harbour.znm")));
        EXPECT_EQ(GetWindowTextString(frame_->GetSafeHwnd()), title);
        EXPECT_TRUE(ShowsExtent(Shown(), shown));
    }
}

TEST_F(OpenSaveTest, ARecentMapThatIsGoneLeavesTheList) {
    Put("Maps/Gone.znm", Get("Maps/NoExtent.znm"));
    ASSERT_NE(Start(Host("Maps/Gone.znm")), nullptr);
    AnswerFileDialogs({Device("Maps/NoExtent.znm")});
    Command(CMainFrame::kCmdOpenMap);
    ASSERT_EQ(RecentMaps().size(), 2u);
    std::remove(Host("Maps/Gone.znm").c_str());
    Command(CMainFrame::kCmdFirstRecentMap + 1);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"The file '\\Maps\\Gone.znm' doesn't exist."});
    ASSERT_EQ(RecentMaps().size(), 1u);
    EXPECT_TRUE(text::EqualsNoCase(Doc()->GetPathName(), Device("Maps/NoExtent.znm")));
}

}  // namespace
