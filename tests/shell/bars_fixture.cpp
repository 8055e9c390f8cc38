#include "bars_fixture.h"

#include "core/language_module.h"

CCommandBars* g_frameBars = nullptr;
std::vector<UINT> g_frameCommands;
std::function<void()> g_whileMenuOpen;

namespace {

LRESULT FrameProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_COMMAND:
            g_frameCommands.push_back(LOWORD(wp));
            if (g_frameBars) g_frameBars->OnCmdMsg(LOWORD(wp), HIWORD(wp), nullptr);
            return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (g_frameBars && g_frameBars->OnNotify(reinterpret_cast<NMHDR*>(lp), &result)) return result;
            return 0;
        }
        case WM_MEASUREITEM:
        case WM_DRAWITEM:
            if (g_frameBars ? g_frameBars->OnOwnerDraw(msg, wp, lp) : CImageMenu::HandleOwnerMessage(msg, wp, lp))
                return TRUE;
            break;
        case WM_TIMER:
            if (wp == kWhileMenuOpenTimer) {
                KillTimer(h, kWhileMenuOpenTimer);
                if (auto f = std::move(g_whileMenuOpen)) f();
                return 0;
            }
            break;
        case WM_KEYUP:
            if (g_frameBars && g_frameBars->OnKeyUp(static_cast<UINT>(wp))) return 0;
            break;
        default:
            break;
    }
    return DefWindowProc(h, msg, wp, lp);
}

}  // namespace

void BarsTest::SetUp() {
    ShellTest::SetUp();
    ResetLanguageModuleForTests();
    WNDCLASS wc;
    wc.lpfnWndProc = FrameProc;
    wc.lpszClassName = u"BarsTestFrame";
    RegisterClass(wc);
    host_.frame = CreateWindowEx(0, u"BarsTestFrame", u"Zarnip", WS_OVERLAPPED | WS_VISIBLE, 0, 0, 240, 320,
                                 nullptr, nullptr, nullptr, nullptr);
    SetFocus(host_.frame);
    host_.extensions = &extensions_;
    SetScriptServices(&events_);
    scriptHost_ = events_.CreateScriptHost();
    host_.globalHost = scriptHost_.get();
    g_frameCommands.clear();
    win::ClearMessageBoxLog();
}

void BarsTest::TearDown() {
    g_frameBars = nullptr;
    g_whileMenuOpen = nullptr;
    bars_.reset();
    scriptHost_.reset();
    SetScriptServices(nullptr);
    win::ResetMenus();
    if (IsWindow(host_.frame)) DestroyWindow(host_.frame);
    ResetLanguageModuleForTests();
    ShellTest::TearDown();
}

void BarsTest::Build(const std::string& config) {
    bars_ = std::make_unique<CCommandBars>(host_);
    bars_->SetReport(&report_);
    g_frameBars = bars_.get();
    const CXmlNode* root = nullptr;
    if (!config.empty()) {
        doc_ = std::make_unique<CXmlDocument>();
        WString wide(config.begin(), config.end());
        ASSERT_TRUE(doc_->Parse(wide)) << config;
        root = doc_->GetRoot();
    }
    ASSERT_TRUE(bars_->BuildCommandBars(root));
    const CXmlNode* configElement = FindConfigElement(root);
    if (const CXmlNode* toolbars = configElement ? configElement->FindChild(u"TOOLBARS") : nullptr)
        bars_->LoadToolbars(toolbars, nullptr);
}

std::vector<UINT> BarsTest::Commands() {
    win::input::DrainQueue();
    return g_frameCommands;
}

CToolBarExt* BarsTest::Bar(UINT id) {
    CCommandBarInfo* info = bars_->FindCommandBarById(id);
    return info ? info->m_bar : nullptr;
}

std::vector<UINT> BarsTest::ButtonIds(CToolBarExt* bar) {
    std::vector<UINT> ids;
    for (int i = 0; i < bar->GetCount(); ++i)
        if (UINT id = bar->GetItemID(i)) ids.push_back(id);
    return ids;
}

std::vector<std::string> BarsTest::ReportLines() const {
    std::vector<std::string> lines;
    for (const WString& line : report_.Lines()) lines.push_back(Narrow(line));
    return lines;
}
