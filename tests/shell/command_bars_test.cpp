// The command bars: the built-in bars as the resources and the configuration
// make them, configured bars and their commands, keys, drop-down taps and
// the report of what the configuration got wrong.
#include "bars_fixture.h"
#include "platform/sys/device.h"
#include "shell/config/command_names.h"

namespace {

std::vector<std::pair<BYTE, HWND>> g_associated;
BOOL RecordAssociation(BYTE key, HWND window) {
    g_associated.emplace_back(key, window);
    return TRUE;
}

using Ids = std::vector<UINT>;

TEST_F(BarsTest, BuiltInBarsHaveTheirArrowsAndLackTheRemovedButtons) {
    Build();
    ASSERT_EQ(bars_->GetBars().size(), 3u);
    EXPECT_EQ(ButtonIds(Bar(128)), (Ids{57601, 57603, 1029, 1025, 1021, 1034, 57670}));
    EXPECT_EQ(ButtonIds(Bar(129)), (Ids{1800, 1014, 1003, 1810, 1028, 1031, 1026}));
    EXPECT_EQ(ButtonIds(Bar(130)), (Ids{1820, 1821, 1822, 1840, 1841, 1842, 1016}));
    const std::pair<UINT, Ids> arrows[] = {{128, {57601, 1029, 1034, 1021, 57670}},
                                           {129, {1800, 1014, 1810, 1003}},
                                           {130, {1820, 1822, 1016}}};
    for (const auto& [id, withArrow] : arrows) {
        CToolBarExt* bar = Bar(id);
        for (int i = 0; i < bar->GetCount(); ++i) {
            UINT command = bar->GetItemID(i);
            if (!command) continue;
            bool expected = std::find(withArrow.begin(), withArrow.end(), command) != withArrow.end();
            EXPECT_EQ((bar->GetButtonStyle(i) & TBSTYLE_DROPDOWN) != 0, expected) << id << " " << command;
        }
    }
    // Bands: main on the first row, browse and draw each on a new row; draw hidden.
    CReBarExt* strip = bars_->GetStrip();
    EXPECT_EQ(strip->FindBand(u"main", true), 0);
    EXPECT_EQ(strip->GetBandStyle(1), 0x81u);
    EXPECT_EQ(strip->FindBand(u"DRAW", true), -1);
    EXPECT_EQ(strip->FindBand(u"DRAW", false), 2);
    EXPECT_FALSE(Bar(130)->IsVisible());
    EXPECT_TRUE(Bar(129)->IsVisible());
    EXPECT_EQ(GetDlgCtrlID(bars_->GetStripWindow()), 59396);
    // The zoom mode button shows image 0, Identify image 5 of resource 129.
    EXPECT_EQ(Bar(129)->GetButtonImage(0), 0);
    EXPECT_EQ(Bar(129)->GetButtonImage(Bar(129)->CommandToIndex(1810)), 5);
}

}  // namespace

namespace {

std::string Config(const std::string& toolbars, const std::string& align = "top") {
    return "<Zarnip><CONFIG><TOOLBARS align=\"" + align + "\">" + toolbars + "</TOOLBARS></CONFIG></Zarnip>";
}

TEST_F(BarsTest, ShortcutsBindFunctionAndApplicationKeys) {
    struct Case {
        const char* shortcut;
        int fSlot, aSlot;  // -1: nothing bound
    } cases[] = {
        {"F3A2", 2, 1}, {"F25", -1, -1}, {"A11", -1, -1}, {"f3", -1, -1},
        {"F03", 2, -1}, {"X1", -1, -1},  {"A10", -1, 9},  {"F24", 23, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shortcut);
        Build();
        bars_->ParseShortcut(WString(c.shortcut, c.shortcut + strlen(c.shortcut)), 1026, u"keys");
        for (int f = 0; f < 24; ++f) EXPECT_EQ(bars_->GetFunctionKeyCommand(f), f == c.fSlot ? 1026u : 0u);
        for (int a = 0; a < 10; ++a) EXPECT_EQ(bars_->GetAppKeyCommand(a), a == c.aSlot ? 1026u : 0u);
        // A text that binds nothing is reported.
        EXPECT_EQ(report_.IsEmpty(), c.fSlot >= 0 || c.aSlot >= 0);
        report_.Clear();
    }
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(BarsTest, AKeyTakenTwiceKeepsItsFirstCommandAndSaysSo) {
    Build(Config("<TOOLBAR name=\"k\"><TOOLBUTTON command=\"refresh\" shortcut=\"F3\"/>"
                 "<TOOLBUTTON command=\"zoomnext\" shortcut=\"F3A7\"/>"
                 "<TOOLBUTTON command=\"zoomprevious\" shortcut=\"A7\"/></TOOLBAR>"));
    EXPECT_EQ(bars_->GetFunctionKeyCommand(2), 1026u);
    EXPECT_EQ(bars_->GetAppKeyCommand(6), 1004u);
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(Narrow(log[0].text), "Function key F3 already assigned.");
    EXPECT_EQ(Narrow(log[1].text), "Application key A7 already assigned.");
    EXPECT_EQ(log[0].type & 0xF0, 0x10u);  // the stop icon
    EXPECT_EQ(log[0].owner, host_.frame);
}

TEST_F(BarsTest, EveryApplicationKeyRunsItsCommand) {
    Build(Config("<TOOLBAR name=\"k\"><TOOLBUTTON command=\"zoomnext\" shortcut=\"A7\"/>"
                 "<TOOLBUTTON command=\"refresh\" shortcut=\"A1F5\"/></TOOLBAR>"));
    win::input::Key(0xC7);  // A7 up
    win::input::Key(0xC1);
    win::input::Key(0xC2);  // unbound
    EXPECT_EQ(Commands(), (Ids{1004, 1026}));
    // Function keys run through the slot the view offers them to.
    EXPECT_TRUE(bars_->RunBoundKeyCommand(4, true));
    EXPECT_FALSE(bars_->RunBoundKeyCommand(5));
    EXPECT_FALSE(bars_->RunBoundKeyCommand(24));
    EXPECT_FALSE(bars_->RunAppKeyCommand(-1));
    EXPECT_EQ(g_frameCommands.back(), 1026u);
    // The bound application keys are associated with the main window.
    g_associated.clear();
    sys::test::SetOptionalFunction("aygshell.dll", "SHSetAppKeyWndAssoc", reinterpret_cast<void*>(&RecordAssociation));
    bars_->AssociateAppKeys();
    sys::test::SetOptionalFunction("aygshell.dll", "SHSetAppKeyWndAssoc", nullptr);
    EXPECT_EQ(g_associated, (std::vector<std::pair<BYTE, HWND>>{{0xC1, host_.frame}, {0xC7, host_.frame}}));
}

TEST_F(BarsTest, ButtonsAskTheirTooltipFromTheCommandsString) {
    Build();
    NMTTDISPINFO info;
    info.hdr.hwndFrom = nullptr;
    info.hdr.idFrom = 1014;
    info.hdr.code = TTN_GETDISPINFO;
    LRESULT result = 1;
    ASSERT_TRUE(bars_->OnNotify(&info.hdr, &result));
    EXPECT_EQ(WString(info.lpszText), u"Full Extent");
    info.hdr.idFrom = 9000;  // no string: not ours
    EXPECT_FALSE(bars_->OnNotify(&info.hdr, &result));
}

TEST_F(BarsTest, TwoToolbarsOfOneNameMakeOneBar) {
    Build(Config("<TOOLBAR name=\"Survey\" caption=\"Field survey\"><TOOLBUTTON command=\"refresh\"/></TOOLBAR>"
                 "<TOOLBAR name=\"survey\"><SEPARATOR/><TOOLBUTTON command=\"#1004\"/>"
                 "<TOOLBUTTON command=\"\" name=\"Tally\"/></TOOLBAR>"));
    ASSERT_EQ(bars_->GetBars().size(), 4u);
    CCommandBarInfo* survey = bars_->FindCommandBarByName(u"SURVEY");
    ASSERT_NE(survey, nullptr);
    EXPECT_EQ(GetDlgCtrlID(survey->m_bar->GetSafeHwnd()), 9200);
    EXPECT_EQ(ButtonIds(survey->m_bar), (Ids{1026, 1004, 9000}));
    EXPECT_EQ(survey->m_bar->GetCount(), 4);
    // Built-in commands show their image of resource 334; a configured one
    // the "$bex" picture after the 67 images.
    EXPECT_EQ(survey->m_bar->GetButtonImage(0), 19);
    EXPECT_EQ(survey->m_bar->GetButtonImage(3), 67 + 1);
    int band = bars_->GetStrip()->FindBand(u"Survey", true);
    EXPECT_EQ(bars_->GetStrip()->GetBandText(band), u"Field survey");
    EXPECT_EQ(bars_->GetStrip()->GetBandStyle(band), 0x81u);
    CScriptToolItem* tally = bars_->FindCommandByName(u"tally");
    ASSERT_NE(tally, nullptr);
    EXPECT_EQ(tally->GetId(), 9000u);
    EXPECT_EQ(bars_->GetCommandById(9000), tally);
    EXPECT_EQ(journal_, std::vector<std::string>{});
}

TEST_F(BarsTest, CreateFalseLeavesTheDrawBarOutAndVisibleShowsIt) {
    Build(Config("<TOOLBAR name=\"Draw\" create=\"false\"/><TOOLBAR name=\"browse\" visible=\"false\"/>"));
    EXPECT_EQ(Bar(130), nullptr);
    EXPECT_EQ(bars_->GetStrip()->FindBand(u"draw", false), -1);
    EXPECT_FALSE(Bar(129)->IsVisible());
    Build(Config("<TOOLBAR name=\"draw\" visible=\"true\" style=\"break\"/>"));
    EXPECT_TRUE(Bar(130)->IsVisible());
    EXPECT_GT(host_.editBarUpdates, 0);
}

TEST_F(BarsTest, TheStripDocksWhereAlignSays) {
    struct Case {
        const char* align;
        DWORD alignment;
        bool vertical;
    } cases[] = {{"left", CBRS_LEFT, true}, {"L", CBRS_LEFT, true},      {"x", CBRS_TOP, false},
                 {"bottom", CBRS_BOTTOM, false}, {"r", CBRS_RIGHT, true}, {"", CBRS_TOP, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.align);
        Build(Config("<TOOLBAR name=\"extra\"><TOOLBUTTON command=\"refresh\"/><SEPARATOR/></TOOLBAR>", c.align));
        EXPECT_EQ(bars_->GetStripAlignment(), c.alignment);
        auto stripStyle = GetWindowLongPtr(bars_->GetStripWindow(), GWL_STYLE);
        EXPECT_EQ(stripStyle & 0xFF80, c.vertical ? 0x680 : 0x600);
        EXPECT_EQ(static_cast<DWORD>(stripStyle) & 0xFF000000u, 0x56000000u);
        for (const auto& info : bars_->GetBars()) {
            CToolBarExt* bar = info->m_bar;
            EXPECT_EQ((GetWindowLongPtr(bar->GetSafeHwnd(), GWL_STYLE) & 0x80) != 0, c.vertical);
            EXPECT_EQ(bar->GetBarStyle() & CBRS_ALIGN_ANY, c.vertical ? CBRS_ALIGN_LEFT : CBRS_ALIGN_TOP);
            for (int i = 0; i < bar->GetCount(); ++i)
                EXPECT_EQ((bar->GetButtonStyle(i) & kButtonWrapStyle) != 0, c.vertical) << Narrow(info->m_name) << i;
        }
    }
}

}  // namespace

namespace {

// The screen rectangle of a bar's button.
RECT ScreenRect(CToolBarExt* bar, int index) {
    RECT r = bar->GetItemRect(index);
    POINT p[2] = {{r.left, r.top}, {r.right, r.bottom}};
    MapWindowPoints(bar->GetSafeHwnd(), nullptr, p, 2);
    return RECT{std::min(p[0].x, p[1].x), p[0].y, std::max(p[0].x, p[1].x), p[1].y};
}

TEST_F(BarsTest, ADropDownTapOpensTheMenuOnlyOnTheArrowPart) {
    Build();
    std::vector<UINT> shown;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        shown.push_back(GetMenuItemID(menu, 0));
        return 0u;
    });
    CToolBarExt* main = Bar(128);
    int index = main->CommandToIndex(57601);
    RECT r = ScreenRect(main, index);
    int width = main->GetButtonSize().cx;
    // The body of the button: its command.
    SetLastStylusPoint(POINT{r.left + width - 1, r.top + 2});
    win::ToolbarUserTap(main->GetSafeHwnd(), index, true);
    EXPECT_EQ(Commands(), (Ids{57601}));
    EXPECT_TRUE(shown.empty());
    // The arrow part: the File menu at the button's lower left corner.
    SetLastStylusPoint(POINT{r.left + width, r.top + 2});
    win::ToolbarUserTap(main->GetSafeHwnd(), index, true);
    EXPECT_EQ(shown, (Ids{57601}));
    ASSERT_EQ(win::PopupMenuLog().size(), 1u);
    EXPECT_EQ(win::PopupMenuLog()[0].at.x, r.left);
    EXPECT_EQ(win::PopupMenuLog()[0].at.y, r.bottom);
    EXPECT_EQ(Commands(), (Ids{57601}));
}

TEST_F(BarsTest, OnARightToLeftBarTheArrowPartIsMeasuredFromTheExchangedEdges) {
    Build();
    CToolBarExt* browse = Bar(129);
    SetWindowLongPtr(browse->GetSafeHwnd(), GWL_EXSTYLE,
                     GetWindowLongPtr(browse->GetSafeHwnd(), GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
    int index = browse->CommandToIndex(1014);
    RECT r = ScreenRect(browse, index);  // left < right on the screen
    int width = browse->GetButtonSize().cx;
    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return 0u; });
    // Mirrored, the screen rectangle's left is the client's right edge:
    // after the exchange the arrow part starts a button's width right of
    // the screen's left edge.
    SetLastStylusPoint(POINT{r.left + width, r.top + 1});
    win::ToolbarUserTap(browse->GetSafeHwnd(), index, true);
    EXPECT_EQ(win::PopupMenuLog().size(), 1u);
    SetLastStylusPoint(POINT{r.left + width - 1, r.top + 1});
    win::ToolbarUserTap(browse->GetSafeHwnd(), index, true);
    EXPECT_EQ(win::PopupMenuLog().size(), 1u);
    EXPECT_EQ(Commands(), (Ids{1014}));
}

TEST_F(BarsTest, ChoosingPanFromTheZoomInArrowMakesTheButtonPan) {
    Build();
    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return 1802u; });
    CToolBarExt* browse = Bar(129);
    RECT r = ScreenRect(browse, 0);
    SetLastStylusPoint(POINT{r.right - 1, r.bottom - 1});
    win::ToolbarUserTap(browse->GetSafeHwnd(), 0, true);
    EXPECT_EQ(Commands(), (Ids{1802}));
    EXPECT_EQ(browse->GetItemID(0), 1802u);
    EXPECT_EQ(browse->GetButtonImage(0), 2);
    EXPECT_NE(browse->GetButtonStyle(0) & TBSTYLE_DROPDOWN, 0u);
    // The draw tool the view reports shows on button 2 of the draw bar.
    bars_->SetToolButtonImage(1827);
    EXPECT_EQ(Bar(130)->GetItemID(2), 1827u);
    EXPECT_EQ(Bar(130)->GetButtonImage(2), 7);
}

TEST_F(BarsTest, ConfiguredDropDownsShowTheirMenuItems) {
    Build(Config("<TOOLBAR name=\"a\"/><TOOLBAR name=\"b\"><TOOLBUTTON command=\"\" name=\"Go\">"
                 "<MENUITEM command=\"refresh\"/><SEPARATOR/><MENUITEM command=\"\" name=\"Sub\"/>"
                 "<MENUITEM command=\"nosuch\"/><MENUITEM command=\"\" caption=\"Tally\"/></TOOLBUTTON></TOOLBAR>"));
    CCommandBarInfo* b = bars_->FindCommandBarByName(u"b");
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(GetDlgCtrlID(b->m_bar->GetSafeHwnd()), 9201);  // "a" took 9200
    ASSERT_EQ(b->m_menus.size(), 1u);
    HMENU menu = bars_->FindButtonMenu(b, 0)->GetHandle();
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    EXPECT_EQ(GetMenuItemID(menu, 0), 1026u);
    EXPECT_EQ(GetMenuItemID(menu, 2), 9001u);
    EXPECT_EQ(GetMenuItemID(menu, 3), 9002u);
    CImageMenu* image = bars_->FindButtonMenu(b, 0);
    EXPECT_EQ(GetMenuText(image->GetSourceMenu(), 1026, MF_BYCOMMAND), u"Refresh");
    EXPECT_EQ(GetMenuText(image->GetSourceMenu(), 9001, MF_BYCOMMAND), u"Command 9001");
    EXPECT_EQ(GetMenuText(image->GetSourceMenu(), 9002, MF_BYCOMMAND), u"Tally");
    EXPECT_EQ(bars_->GetCommandById(9001)->GetName(), u"Sub");
    EXPECT_EQ(bars_->GetCommandById(9002)->GetName(), u"Command3");
    EXPECT_NE(b->m_bar->GetButtonStyle(0) & TBSTYLE_DROPDOWN, 0u);
    ASSERT_EQ(ReportLines().size(), 1u);
    EXPECT_EQ(ReportLines()[0], "Toolbar \"b\": a MENUITEM was left out: \"nosuch\" names no command.");

    win::SetPopupMenuResponder([](HMENU, POINT, HWND) { return 9002u; });
    RECT r = ScreenRect(b->m_bar, 0);
    SetLastStylusPoint(POINT{r.right - 1, r.top});
    win::ToolbarUserTap(b->m_bar->GetSafeHwnd(), 0, true);
    EXPECT_EQ(Commands(), (Ids{9002}));
    // The event went to the chosen command's object.
    ASSERT_EQ(events_.fired.size(), 1u);
    EXPECT_EQ(events_.fired[0].source, bars_->GetCommandById(9002)->GetDispatch());
    EXPECT_EQ(events_.fired[0].event, 7);
}

TEST_F(BarsTest, TheFindButtonHasAnArrowOnlyWithAFindTool) {
    Build();
    CToolBarExt* browse = Bar(129);
    EXPECT_EQ(browse->GetButtonStyle(browse->CommandToIndex(1028)) & TBSTYLE_DROPDOWN, 0u);
    extensions_.modules.push_back({u"Ext", {{u"Count", 0}}, {}});
    Build();
    browse = Bar(129);
    EXPECT_EQ(browse->GetButtonStyle(browse->CommandToIndex(1028)) & TBSTYLE_DROPDOWN, 0u);
    extensions_.modules[0].tools.push_back({u"Find parcel", 0x10100});
    Build();
    browse = Bar(129);
    EXPECT_NE(browse->GetButtonStyle(browse->CommandToIndex(1028)) & TBSTYLE_DROPDOWN, 0u);
}

TEST_F(BarsTest, TheReportNamesWhatTheConfigurationGotWrong) {
    std::string many;
    for (int i = 0; i < 200; ++i) many += "<TOOLBUTTON command=\"\"/>";
    Build(Config("<TOOLBAR name=\"x\"><TOOLBUTTON command=\"zoomsideways\"/><TOOLBUTTON command=\"#70000\"/>"
                 "<TOOLBUTTON command=\"refresh\" shortcut=\"F25\"/>"
                 "<TOOLBUTTON command=\"\" image=\"missing.bmp\"/></TOOLBAR>"
                 "<TOOLBAR name=\"y\">" + many + "</TOOLBAR>"));
    std::vector<std::string> lines = ReportLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Toolbar \"x\": a TOOLBUTTON was left out: \"zoomsideways\" names no command.");
    EXPECT_EQ(lines[1], "Toolbar \"x\": a TOOLBUTTON was left out: \"#70000\" names no command.");
    EXPECT_EQ(lines[2], "Toolbar \"x\": the shortcut \"F25\" binds no key (F1 to F24, A1 to A10).");
    EXPECT_EQ(lines[3], "Toolbar \"x\": the image \"missing.bmp\" could not be loaded; a standard picture is shown.");
    EXPECT_EQ(lines[4], "Toolbar \"y\": a TOOLBUTTON was left out: a run holds at most 200 configured commands.");
    // The refused command made nothing; the 200th is the last.
    EXPECT_EQ(bars_->GetNextCommandId(), 9200u);
    EXPECT_NE(bars_->GetCommandById(9199), nullptr);
    EXPECT_EQ(bars_->FindCommandBarByName(u"y")->m_bar->GetCount(), 199);
    // The unknown image falls back to the first picture.
    CToolBarExt* x = bars_->FindCommandBarByName(u"x")->m_bar;
    EXPECT_EQ(x->GetButtonImage(x->GetCount() - 1), 67);
}

TEST_F(BarsTest, TheHundredAndFirstBarIsRefused) {
    std::string bars;
    for (int i = 0; i < 101; ++i) bars += "<TOOLBAR name=\"b" + std::to_string(i) + "\"/>";
    Build(Config(bars));
    EXPECT_EQ(bars_->GetBars().size(), 3u + 100u);
    EXPECT_EQ(bars_->FindCommandBarByName(u"b100"), nullptr);
    EXPECT_EQ(GetDlgCtrlID(bars_->FindCommandBarByName(u"b99")->m_bar->GetSafeHwnd()), 9299);
    ASSERT_EQ(ReportLines().size(), 1u);
    EXPECT_EQ(ReportLines()[0], "Toolbar \"b100\" was left out: a run holds at most 100 configured toolbars.");
}

}  // namespace

namespace {

TEST_F(BarsTest, AnImageFileBecomesTheButtonsPicture) {
    // A 2 by 2 bitmap file beside the configuration, named without a folder.
    std::string bmp = std::string("BM") + std::string(4, '\0') + std::string(4, '\0') + std::string("\x36\0\0\0", 4) +
                      std::string("\x28\0\0\0", 4) + std::string("\x02\0\0\0", 4) + std::string("\x02\0\0\0", 4) +
                      std::string("\x01\0\x18\0", 4) + std::string(24, '\0') + std::string("\0\0\xff\0\xff\0\0\0", 8) +
                      std::string("\xff\0\0\0\0\0\0\0", 8);
    Put("Program/System/pin.bmp", bmp);
    bars_ = std::make_unique<CCommandBars>(host_);
    bars_->SetReport(&report_);
    ASSERT_TRUE(bars_->BuildCommandBars(nullptr));
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(u"<TOOLBARS><TOOLBAR name=\"p\"><TOOLBUTTON command=\"\" image=\"pin.bmp\"/>"
                          u"<TOOLBUTTON command=\"\" image=\"$HAPPY\"/><TOOLBUTTON command=\"\" image=\"$nosuch\"/>"
                          u"</TOOLBAR></TOOLBARS>"));
    bars_->LoadToolbars(doc.GetRoot(), nullptr, u"\\Program\\System");
    CToolBarExt* bar = bars_->FindCommandBarByName(u"p")->m_bar;
    EXPECT_TRUE(report_.IsEmpty()) << ReportLines().at(0);
    // After the 67 command images and the 13 pictures.
    EXPECT_EQ(bar->GetButtonImage(0), 80);
    EXPECT_EQ(bar->GetButtonImage(1), 67 + 4);
    EXPECT_EQ(bar->GetButtonImage(2), 67);
    HIMAGELIST images = reinterpret_cast<HIMAGELIST>(SendMessage(bar->GetSafeHwnd(), TB_GETIMAGELIST, 0, 0));
    EXPECT_EQ(ImageList_GetImageCount(images), 81);
}

}  // namespace

namespace {

// On a 192 dots per inch screen.
class BarsAt192Test : public BarsTest {
protected:
    void SetUp() override {
        BarsTest::SetUp();
        gdi::ScreenMetrics m;
        m.logPixelsX = m.logPixelsY = 192;
        gdi::SetScreenMetrics(m);
    }
    void TearDown() override {
        BarsTest::TearDown();
        gdi::SetScreenMetrics(gdi::ScreenMetrics{});
    }
};

// The strip's band images grow with the screen as the bars' own images do:
// each pixel of the bitmap doubled.
TEST_F(BarsAt192Test, TheStripsBandImagesAreDoubled) {
    Build();
    HIMAGELIST images = bars_->GetStrip()->GetImageList();
    HIMAGELIST at96 = ImageList_LoadBitmap(nullptr, MAKEINTRESOURCE(240), 7, 1, 0xBFBFBF);
    ASSERT_NE(images, nullptr);
    ASSERT_NE(at96, nullptr);
    int cx = 0, cy = 0, cx96 = 0, cy96 = 0;
    ImageList_GetIconSize(images, &cx, &cy);
    ImageList_GetIconSize(at96, &cx96, &cy96);
    EXPECT_EQ(cx, 14);
    EXPECT_EQ(cy, 2 * cy96);
    ASSERT_EQ(ImageList_GetImageCount(images), ImageList_GetImageCount(at96));
    for (int i = 0; i < ImageList_GetImageCount(images); ++i)
        for (int y = 0; y < cy; ++y)
            for (int x = 0; x < cx; ++x)
                ASSERT_EQ(win::ImageListPixel(images, i, x, y),
                          win::ImageListPixel(at96, i, x / 2, y / 2))
                    << i << " " << x << "," << y;
    ImageList_Destroy(at96);
}

TEST_F(BarsTest, BarClassesSetStylesByIndexOrCommandAndKeepBandTextsShort) {
    Build();
    CToolBarExt* main = Bar(128);
    // Bit 31 names a command; without it the value is an index.
    EXPECT_TRUE(main->SetButtonStyleBits(0x80000000u | 57603, 0, TBSTYLE_CHECK));
    EXPECT_NE(main->GetButtonStyle(1) & TBSTYLE_CHECK, 0u);
    EXPECT_TRUE(main->SetButtonStyleBits(1, TBSTYLE_CHECK, 0));
    EXPECT_EQ(main->GetButtonStyle(1) & TBSTYLE_CHECK, 0u);
    EXPECT_FALSE(main->SetButtonStyleBits(0x80000000u | 4711, 0, TBSTYLE_CHECK));
    EXPECT_FALSE(main->SetButtonStyleBits(99, 0, TBSTYLE_CHECK));
    // The state rides in the high word and survives a style change.
    SendMessage(main->GetSafeHwnd(), TB_CHECKBUTTON, 57601, TRUE);
    main->SetButtonStyleBits(0, 0, kButtonWrapStyle);
    EXPECT_TRUE(SendMessage(main->GetSafeHwnd(), TB_ISBUTTONCHECKED, 57601, 0));
    EXPECT_EQ(main->GetButtonStyle(0) & (kButtonWrapStyle | TBSTYLE_DROPDOWN), kButtonWrapStyle | TBSTYLE_DROPDOWN);
    const UINT gone[] = {57603, 4711, 1025, 0};
    main->DeleteButtons(gone);
    EXPECT_EQ(ButtonIds(main), (Ids{57601, 1029, 1021, 1034, 57670}));

    CReBarExt* strip = bars_->GetStrip();
    EXPECT_FALSE(strip->SetBandText(-1, u"x"));
    EXPECT_EQ(strip->GetBandText(-1), u"");
    WString longText(300, u'w');
    EXPECT_TRUE(strip->SetBandText(1, longText.c_str()));
    EXPECT_EQ(strip->GetBandText(1), WString(256, u'w'));
    EXPECT_EQ(strip->FindBand(u"browse", true), 1);  // the name is the band's own, not its text
    EXPECT_NE(strip->GetImageList(), nullptr);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(strip->GetImageList(), &cx, &cy);
    EXPECT_EQ(cx, 7);
    CToolBarResource resource;
    EXPECT_FALSE(resource.Load(4242));
    ASSERT_TRUE(resource.Load(334));
    ASSERT_EQ(resource.GetCommands().size(), 67u);
    // Toolbar 334 lists the command name table's ids in its order.
    for (int i = 0; i < kCommandNameCount; ++i)
        EXPECT_EQ(resource.GetCommands()[static_cast<size_t>(i)], CommandNameTable[i].id) << i;
    EXPECT_EQ(resource.ImageIndexOf(57601), 0);
    EXPECT_EQ(resource.ImageIndexOf(1705), 66);
    EXPECT_EQ(resource.ImageIndexOf(0), -1);
    EXPECT_EQ(resource.ImageIndexOf(2863), -1);
}

}  // namespace

namespace {

TEST_F(BarsTest, AConfiguredBarKeepsItsFirst256Buttons) {
    std::string buttons;
    for (int i = 0; i < 150; ++i) buttons += "<TOOLBUTTON command=\"refresh\"/><SEPARATOR/>";
    Build(Config("<TOOLBAR name=\"long\">" + buttons + "</TOOLBAR><TOOLBAR name=\"long\">" + buttons +
                 "</TOOLBAR><TOOLBAR name=\"short\"><TOOLBUTTON command=\"zoomnext\"/></TOOLBAR>"));
    EXPECT_EQ(bars_->FindCommandBarByName(u"long")->m_bar->GetCount(), 256);
    EXPECT_EQ(bars_->FindCommandBarByName(u"short")->m_bar->GetCount(), 1);
    EXPECT_EQ(ReportLines(), (std::vector<std::string>{"Toolbar \"long\": the buttons after the first 256 were left out.",
                                                       "Toolbar \"long\": the buttons after the first 256 were left out."}));
}

}  // namespace
