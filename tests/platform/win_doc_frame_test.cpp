// The frame window, the single-document template, the docking of control
// bars and the idle update of bar buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win/commctrl.h"
#include "platform/win/doc_template.h"
#include "platform/win/window.h"

namespace {

std::vector<std::string> g_log;

struct TestDoc : win::Document, CCmdTarget {
    bool failOpen = false;
    bool OnNewDocument() override {
        g_log.push_back("doc new");
        return Document::OnNewDocument();
    }
    bool OnOpenDocument(const WString& path) override {
        g_log.push_back("doc open " + text::ToUtf8(path));
        return !failOpen;
    }
    // The document carries out 500 and leaves 501 disabled.
    bool OnCmdMsg(UINT id, int, CCmdUI* ui) override {
        if (id == 500) {
            if (!ui) g_log.push_back("doc 500");
            return true;
        }
        if (id == 501 && ui) {
            ui->Enable(false);
            return true;
        }
        return false;
    }
};

struct TestView : win::View, win::DocumentView {
    int initialUpdates = 0;
    ~TestView() override { g_log.push_back("view deleted"); }
    int OnCreate(CREATESTRUCT* cs) override {
        g_log.push_back("view create");
        return View::OnCreate(cs);
    }
    void OnInitialUpdate() override { ++initialUpdates; }
    void OnDraw(HDC) override {}
    void OnUpdate(win::DocumentView*, LPARAM) override {}
};

struct TestFrame : win::FrameWnd {
    bool checked502 = true;
    ~TestFrame() override { g_log.push_back("frame deleted"); }
    int OnCreate(CREATESTRUCT* cs) override {
        g_log.push_back("frame create");
        int r = FrameWnd::OnCreate(cs);
        g_log.push_back(GetActiveView() ? "frame has view" : "frame has no view");
        return r;
    }
    bool OnCmdMsg(UINT id, int, CCmdUI* ui) override {
        if (id == 502) {
            if (ui) ui->SetCheck(checked502 ? 1 : 0);
            return true;
        }
        return false;
    }
};

struct Recent : win::RecentFileList {
    std::vector<WString> paths;
    void Add(WStringView p) override { paths.emplace_back(p); }
};

class DocFrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_log.clear();
        app = std::make_unique<win::App>();
        app->SetRecentFileList(&recent);
        app->AddDocTemplate(std::make_unique<win::SingleDocTemplate>(
            128, [this] {
                auto d = std::make_unique<TestDoc>();
                d->failOpen = failOpen;
                return d;
            },
            [] { return std::make_unique<TestFrame>(); },
            [](win::Document*) { return std::make_unique<TestView>(); }));
    }
    void TearDown() override {
        app.reset();
        win::ResetForTests();
    }
    win::SingleDocTemplate* Template() { return app->GetDocTemplate(); }
    bool failOpen = false;
    Recent recent;
    std::unique_ptr<win::App> app;
};

TEST_F(DocFrameTest, OpeningMakesDocumentFrameAndViewInOrderAndRemembersThePath) {
    ASSERT_TRUE(app->ProcessShellCommand(win::ShellCommand::FileOpen, u"\\Maps\\a.znm"));
    EXPECT_EQ(g_log, (std::vector<std::string>{"frame create", "view create", "frame has view",
                                               "doc open \\Maps\\a.znm"}));
    win::FrameWnd* frame = app->GetMainFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(win::GetMainWindow(), frame->GetSafeHwnd());
    EXPECT_TRUE(IsWindowVisible(frame->GetSafeHwnd()));
    auto* view = static_cast<TestView*>(frame->GetActiveView());
    EXPECT_EQ(view->initialUpdates, 1);
    EXPECT_EQ(GetParent(view->GetSafeHwnd()), frame->GetSafeHwnd());
    EXPECT_EQ(Template()->GetDocument()->GetViews().size(), 1u);
    EXPECT_EQ(Template()->GetDocument()->GetPathName(), u"\\Maps\\a.znm");
    EXPECT_EQ(GetWindowTextString(frame->GetSafeHwnd()).substr(0, 5), u"a.znm");
    EXPECT_EQ(recent.paths, std::vector<WString>{u"\\Maps\\a.znm"});

    // A second open reuses the frame and view.
    g_log.clear();
    EXPECT_NE(app->OpenDocumentFile(u"\\Maps\\b.znm"), nullptr);
    EXPECT_EQ(app->GetMainFrame(), frame);
    EXPECT_EQ(view->initialUpdates, 2);
    EXPECT_EQ(recent.paths.size(), 2u);
}

TEST_F(DocFrameTest, AFailedFirstOpenLeavesANewDocumentALaterOneTheOpenDocument) {
    failOpen = true;
    EXPECT_FALSE(app->ProcessShellCommand(win::ShellCommand::FileOpen, u"\\bad.znm"));
    EXPECT_EQ(g_log.back(), "doc new");
    ASSERT_NE(app->GetMainFrame(), nullptr);
    EXPECT_NE(app->GetMainFrame()->GetActiveView(), nullptr);
    EXPECT_TRUE(Template()->GetDocument()->GetPathName().empty());
    EXPECT_TRUE(recent.paths.empty());

    // Later a file that does not open leaves the open document alone.
    auto* doc = static_cast<TestDoc*>(Template()->GetDocument());
    doc->failOpen = false;
    ASSERT_NE(app->OpenDocumentFile(u"\\good.znm"), nullptr);
    doc->failOpen = true;
    g_log.clear();
    EXPECT_EQ(app->OpenDocumentFile(u"\\bad.znm"), nullptr);
    EXPECT_EQ(g_log, std::vector<std::string>{"doc open \\bad.znm"});
    EXPECT_EQ(doc->GetPathName(), u"\\good.znm");
}

TEST_F(DocFrameTest, ClosingTheMainFrameDeletesViewAndFrameAndEndsTheLoop) {
    ASSERT_TRUE(app->ProcessShellCommand(win::ShellCommand::FileNew, {}));
    HWND h = app->GetMainFrame()->GetSafeHwnd();
    g_log.clear();
    PostMessage(h, WM_CLOSE, 0, 0);
    EXPECT_EQ(app->Run(), 0);
    EXPECT_FALSE(IsWindow(h));
    EXPECT_EQ(g_log, (std::vector<std::string>{"view deleted", "frame deleted"}));
    EXPECT_EQ(app->GetMainFrame(), nullptr);
    EXPECT_TRUE(Template()->GetDocument()->GetViews().empty());
}

TEST_F(DocFrameTest, BarsDockInOrderAndTheViewTakesTheRest) {
    ASSERT_TRUE(app->ProcessShellCommand(win::ShellCommand::FileNew, {}));
    win::FrameWnd* frame = app->GetMainFrame();
    HWND f = frame->GetSafeHwnd();
    MoveWindow(f, 0, 0, 240, 320, true);
    RECT client;
    GetClientRect(f, &client);
    auto bar = [&](int w, int h) {
        return CreateWindowEx(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 0, 0, w, h, f, nullptr, nullptr,
                              nullptr);
    };
    HWND status = bar(10, 20), strip = bar(10, 26);
    frame->AddControlBar(status, win::CBRS_ALIGN_BOTTOM);
    frame->AddControlBar(strip, win::CBRS_ALIGN_TOP);
    auto rectOf = [&](HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, f, reinterpret_cast<POINT*>(&r), 2);
        return std::vector<long>{r.left, r.top, r.right, r.bottom};
    };
    const long W = client.right, H = client.bottom;
    EXPECT_EQ(rectOf(status), (std::vector<long>{0, H - 20, W, H}));
    EXPECT_EQ(rectOf(strip), (std::vector<long>{0, 0, W, 26}));
    EXPECT_EQ(rectOf(frame->GetActiveView()->GetSafeHwnd()), (std::vector<long>{0, 26, W, H - 20}));

    // Docked left, the strip keeps its width and the view moves right.
    MoveWindow(strip, 0, 0, 30, 10, true);
    frame->SetControlBarAlignment(strip, win::CBRS_ALIGN_LEFT);
    EXPECT_EQ(rectOf(strip), (std::vector<long>{0, 0, 30, H - 20}));
    EXPECT_EQ(rectOf(frame->GetActiveView()->GetSafeHwnd()), (std::vector<long>{30, 0, W, H - 20}));

    // A hidden status bar gives its room to the view.
    ShowWindow(status, SW_HIDE);
    frame->RecalcLayout();
    EXPECT_EQ(rectOf(frame->GetActiveView()->GetSafeHwnd()), (std::vector<long>{30, 0, W, H}));
}

TEST_F(DocFrameTest, IdleTimeGivesEachBarButtonTheStateOfItsCommand) {
    ASSERT_TRUE(app->ProcessShellCommand(win::ShellCommand::FileNew, {}));
    auto* frame = static_cast<TestFrame*>(app->GetMainFrame());
    HWND tb = CreateWindowEx(0, TOOLBARCLASSNAME, u"", WS_CHILD | WS_VISIBLE, 0, 0, 100, 24,
                             frame->GetSafeHwnd(), nullptr, nullptr, nullptr);
    TBBUTTON buttons[4]{};
    const int ids[4] = {500, 501, 502, 503};  // document, disabled, checked, nobody's
    for (int i = 0; i < 4; ++i) {
        buttons[i].idCommand = ids[i];
        buttons[i].fsState = TBSTATE_ENABLED;
    }
    SendMessage(tb, TB_ADDBUTTONS, 4, reinterpret_cast<LPARAM>(buttons));
    auto state = [&](int id) { return static_cast<int>(SendMessage(tb, TB_GETSTATE, id, 0)); };

    // The loop's idle time runs the update once the queue is empty.
    PostMessage(frame->GetSafeHwnd(), WM_CLOSE, 0, 0);
    app->OnIdle(0);
    EXPECT_EQ(state(500), TBSTATE_ENABLED);
    EXPECT_EQ(state(501), 0);
    EXPECT_EQ(state(502), TBSTATE_ENABLED | TBSTATE_CHECKED);
    EXPECT_EQ(state(503), 0);
    frame->checked502 = false;
    frame->OnIdleUpdateCmdUI();
    EXPECT_EQ(state(502), TBSTATE_ENABLED);

    // A tap on the document's button reaches the document through the frame.
    g_log.clear();
    SendMessage(frame->GetSafeHwnd(), WM_COMMAND, 500, 0);
    EXPECT_EQ(g_log, std::vector<std::string>{"doc 500"});
    EXPECT_EQ(app->Run(), 0);
}

}  // namespace
