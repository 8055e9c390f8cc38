// Command dispatch of the bars: the update rule of configured commands, map
// tools, bar toggles, recent layers, extension About boxes and tools.
#include "bars_fixture.h"

namespace {

using Ids = std::vector<UINT>;

std::string Config(const std::string& toolbars) {
    return "<Zarnip><CONFIG><TOOLBARS>" + toolbars + "</TOOLBARS></CONFIG></Zarnip>";
}

const char* kTools =
    "<TOOLBAR name=\"t\" caption=\"Tools bar\"><TOOLBUTTON command=\"\" name=\"Plain\" OnClick=\"x\"/>"
    "<TOOLBUTTON command=\"\" name=\"Pointer\" onPointerDown=\"y\"/></TOOLBAR>";

TEST_F(BarsTest, TheUpdateRuleOfConfiguredCommands) {
    Build(Config(kTools));
    CScriptToolItem* plain = bars_->GetCommandById(9000);
    ASSERT_NE(plain, nullptr);
    struct Case {
        const char* what;
        UINT id;
        bool checkFlag, enabledFlag;
        int tool;
        int check;
        bool enabled;
    } cases[] = {
        {"check flag set", 9000, true, true, 0, 1, true},
        {"flag clear, tool is id + 1000", 9000, false, true, 10000, 1, true},
        {"flag clear, another tool", 9000, false, true, 10001, 0, true},
        {"disabled", 9000, false, false, 0, 0, false},
        {"check flag wins over the tool", 9000, true, false, 10001, 1, false},
        {"no object", 9150, false, false, 0, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plain->m_checked = c.checkFlag;
        plain->m_enabled = c.enabledFlag;
        host_.tool = c.tool;
        CCmdUI ui(c.id);
        ui.m_nCheck = 7;
        EXPECT_TRUE(bars_->OnCmdMsg(c.id, 0, &ui));
        EXPECT_EQ(ui.m_bEnabled, c.enabled);
        if (c.id == 9000) EXPECT_EQ(ui.m_nCheck, c.check);
    }
}

TEST_F(BarsTest, AConfiguredToolTappedTwiceBecomesCurrentThenIsCleared) {
    Build(Config(kTools));
    EXPECT_FALSE(bars_->GetCommandById(9000)->m_mapTool);
    EXPECT_TRUE(bars_->GetCommandById(9001)->m_mapTool);
    CToolBarExt* bar = bars_->FindCommandBarByName(u"t")->m_bar;
    win::ToolbarUserTap(bar->GetSafeHwnd(), 1);
    EXPECT_EQ(host_.tool, 10001);
    win::ToolbarUserTap(bar->GetSafeHwnd(), 1);
    EXPECT_EQ(host_.tool, 0);
    win::ToolbarUserTap(bar->GetSafeHwnd(), 0);
    EXPECT_EQ(host_.tool, 0);
    ASSERT_EQ(events_.fired.size(), 3u);
    for (const auto& f : events_.fired) EXPECT_EQ(f.event, 7);
    EXPECT_EQ(events_.fired[2].source, bars_->GetCommandById(9000)->GetDispatch());
    // Registered as named items with flags 6 and their handlers bound.
    EXPECT_NE(std::find(events_.journal.begin(), events_.journal.end(), "AddNamedItem Pointer 6"),
              events_.journal.end());
    EXPECT_NE(std::find(events_.journal.begin(), events_.journal.end(), "Bind TOOLBUTTON(Pointer) to Pointer"),
              events_.journal.end());
    // The idle update marks the current tool's button.
    host_.tool = 10001;
    bars_->UpdateButtons({bars_.get()});
    EXPECT_TRUE(SendMessage(bar->GetSafeHwnd(), TB_ISBUTTONCHECKED, 9001, 0));
    EXPECT_FALSE(SendMessage(bar->GetSafeHwnd(), TB_ISBUTTONCHECKED, 9000, 0));
    bars_->GetCommandById(9000)->m_enabled = false;
    bars_->UpdateButtons({bars_.get()});
    EXPECT_FALSE(SendMessage(bar->GetSafeHwnd(), TB_ISBUTTONENABLED, 9000, 0));
}

TEST_F(BarsTest, BarTogglesShowAndHideAndCarryTheirCheckMark) {
    Build(Config(kTools));
    struct Case {
        UINT id;
        UINT bar;
    } cases[] = {{1075, 128}, {1036, 129}, {1035, 130}, {9200, 9200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        CToolBarExt* bar = bars_->FindCommandBarById(c.bar)->m_bar;
        bool before = bar->IsVisible();
        CCmdUI ui(c.id);
        bars_->OnCmdMsg(c.id, 0, &ui);
        EXPECT_EQ(ui.m_nCheck, before ? 1 : 0);
        EXPECT_TRUE(bars_->OnCmdMsg(c.id, 0, nullptr));
        EXPECT_EQ(bar->IsVisible(), !before);
        int band = bars_->GetStrip()->FindBandOf(bar->GetSafeHwnd());
        EXPECT_EQ((bars_->GetStrip()->GetBandStyle(band) & RBBS_HIDDEN) == 0, !before);
    }
    CCmdUI missing(9201);
    bars_->OnCmdMsg(9201, 0, &missing);
    EXPECT_FALSE(missing.m_bEnabled);
    EXPECT_TRUE(bars_->OnCmdMsg(9201, 0, nullptr));  // nothing to toggle
}

TEST_F(BarsTest, ARecentLayerThatNoLongerOpensLeavesTheList) {
    Build();
    host_.recentLayers.Add(u"\\Data\\old.shp");
    host_.recentLayers.Add(u"\\Data\\gone.shp");
    host_.recentLayers.Add(u"\\Data\\new.shp");  // entry 0
    host_.addSucceeds = false;
    EXPECT_TRUE(bars_->OnCmdMsg(3802, 0, nullptr));
    EXPECT_TRUE(host_.added.empty());
    EXPECT_EQ(host_.recentLayers.GetEntries(), (std::vector<WString>{u"\\Data\\new.shp", u"\\Data\\old.shp"}));
    host_.addSucceeds = true;
    EXPECT_TRUE(bars_->OnCmdMsg(3801, 0, nullptr));
    EXPECT_EQ(host_.added, (std::vector<WString>{u"\\Data\\new.shp"}));
    EXPECT_EQ(host_.recentLayers.GetCount(), 2);
    EXPECT_TRUE(bars_->OnCmdMsg(3816, 0, nullptr));  // beyond the list: nothing
    EXPECT_EQ(host_.added.size(), 1u);
}

TEST_F(BarsTest, ExtensionToolsGetTheirIndexAnExtentCopyAndTheLayerHandleOfLayerTools) {
    extensions_.modules.push_back({u"Parcels", {{u"Count", 0}, {u"Edit parcel", 256}, {u"Walk", 257}}, {}});
    extensions_.layerHandles = {0, 0, 0x4711};
    Build();
    struct Case {
        uintptr_t data;
        int tool;
        DWORD layer;
    } cases[] = {{0x00000000, 0, 0}, {0x00020100, 1, 0x4711}, {0x00020200, 2, 0x4711}, {0x00020000, 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(bars_->RunExtensionTool(c.data), 40 + c.tool);
        const auto& run = extensions_.runs.back();
        EXPECT_EQ(run.tool, c.tool);
        EXPECT_EQ(run.layer, c.layer);
        EXPECT_EQ(run.main, host_.frame);
        EXPECT_EQ(run.extent.xmin, 1);
        EXPECT_EQ(run.extent.ymax, 4);
        EXPECT_NE(run.address, &host_.extent);
    }
    // A tool or extension that is not there runs nothing.
    EXPECT_EQ(bars_->RunExtensionTool(0x00000003), 0);
    EXPECT_EQ(bars_->RunExtensionTool(0x00000501), 0);
    EXPECT_EQ(extensions_.runs.size(), 4u);
    // About boxes by load order; an id beyond the extensions does nothing.
    EXPECT_TRUE(bars_->OnCmdMsg(2400, 0, nullptr));
    EXPECT_TRUE(bars_->OnCmdMsg(2401, 0, nullptr));
    EXPECT_EQ(extensions_.abouts, std::vector<int>{0});
}

// The menu items of a pop-up and its submenus, as "id text" lines.
void Describe(HMENU menu, std::vector<std::string>& out, const std::string& indent = {}) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        MENUITEMINFO mi;
        WChar buffer[128] = {};
        mi.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_DATA;
        mi.dwTypeData = buffer;
        mi.cch = 127;
        GetMenuItemInfo(menu, static_cast<UINT>(i), true, &mi);
        if (mi.fType & MFT_SEPARATOR) {
            out.push_back(indent + "-");
            continue;
        }
        // Owner-drawn items keep their text in the image menu's source: "*".
        std::string label = (mi.fType & MFT_OWNERDRAW) ? std::string("*") : Narrow(buffer);
        std::string line = indent + (mi.hSubMenu ? std::string(">") : std::to_string(mi.wID)) + " " + label;
        if (mi.dwItemData) line += " #" + std::to_string(mi.dwItemData);
        out.push_back(line);
        if (mi.hSubMenu) Describe(mi.hSubMenu, out, indent + "  ");
    }
}

TEST_F(BarsTest, TheToolsAndFindMenusListTheExtensionsTools) {
    extensions_.modules.push_back({u"Parcels",
                                   {{u"Count", 0}, {u"Edit parcel", 256}, {u"Odd", 2}, {u"Find owner", 0x10100}},
                                   {{3, u"Lots"}, {5, u"Roads"}}});
    Build(Config("<TOOLBAR name=\"Mine\"/><TOOLBAR name=\"Other\" caption=\"Second\"/>"));
    std::vector<std::string> tools, find;
    UINT chooseFromTools = 30000;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        std::vector<std::string>& out = tools.empty() ? tools : find;
        Describe(menu, out);
        return &out == &tools ? chooseFromTools : 30001u;
    });
    CToolBarExt* main = Bar(128);
    RECT r = main->GetItemRect(main->CommandToIndex(1034));
    EXPECT_EQ(bars_->ShowButtonMenu(1034, main->CommandToIndex(1034), r, main), 30000u);
    ASSERT_GE(tools.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(tools.begin(), tools.begin() + 11),
              (std::vector<std::string>{"> Toolbars", "  1036 Browse", "  1035 Edit/Drawing", "  -", "  9200 Mine",
                                        "  9201 Second", "-", "30000 Count", "> Edit parcel", "  30001 Lots #196864",
                                        "  30002 Roads #327936"}));
    EXPECT_EQ(tools[11], "1038 Status Bar");
    CToolBarExt* browse = Bar(129);
    EXPECT_EQ(bars_->ShowButtonMenu(1028, browse->CommandToIndex(1028), r, browse), 30001u);
    EXPECT_EQ(find, (std::vector<std::string>{"1028 *", "1031 Clear Selected", "-", "> Find owner",
                                              "  30000 Lots #197376", "  30001 Roads #328448"}));
    ASSERT_EQ(extensions_.runs.size(), 2u);
    EXPECT_EQ(extensions_.runs[0].tool, 0);
    EXPECT_EQ(extensions_.runs[1].tool, 3);
    EXPECT_EQ(extensions_.runs[1].layer, 0u);  // a find tool of kind 256 asks the layer's handle
    EXPECT_TRUE(Commands().empty());
}

TEST_F(BarsTest, WithoutExtensionToolsTheToolsMenuHasNoSeparatorAfterToolbars) {
    Build();
    std::vector<std::string> tools;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        Describe(menu, tools);
        return 1038u;
    });
    CToolBarExt* main = Bar(128);
    bars_->ShowButtonMenu(1034, 5, main->GetItemRect(5), main);
    EXPECT_EQ(std::vector<std::string>(tools.begin(), tools.begin() + 4),
              (std::vector<std::string>{"> Toolbars", "  1036 Browse", "  1035 Edit/Drawing", "1038 Status Bar"}));
    EXPECT_EQ(Commands(), (Ids{1038}));
}

TEST_F(BarsTest, TheFileMenuFillsItsRecentListsAndDropsEmptyOnes) {
    Build();
    std::vector<std::string> file;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        file.clear();
        Describe(menu, file);
        return 0u;
    });
    CToolBarExt* main = Bar(128);
    RECT r = main->GetItemRect(0);
    bars_->ShowButtonMenu(57601, 0, r, main);
    EXPECT_EQ(std::count(file.begin(), file.end(), "> Recent Maps"), 0);
    EXPECT_EQ(std::count(file.begin(), file.end(), "> Recent Layers"), 0);
    EXPECT_EQ(std::count(file.begin(), file.end(), "1001 Recent Maps"), 0);
    host_.recentMaps = {u"\\My Documents\\a very long map document name indeed.znm", u"\\b.znm"};
    host_.recentLayers.Add(u"\\Data\\roads.shp");
    bars_->ShowButtonMenu(57601, 0, r, main);
    auto at = std::find(file.begin(), file.end(), "> Recent Maps");
    ASSERT_NE(at, file.end());
    EXPECT_EQ(*(at + 1), "  57616 a very long map document na...");
    EXPECT_EQ(*(at + 2), "  57617 b.znm");
    EXPECT_EQ(*(at + 3), "> Recent Layers");
    EXPECT_EQ(*(at + 4), "  3801 roads.shp");
}

}  // namespace

namespace {

TEST_F(BarsTest, ToolMenusHoldAtMost256ExtensionTools) {
    // 300 command tools: their indexes are 8 bits, so the menu keeps 256.
    CFakeExtensions::Module module{u"Many", {}, {}};
    for (int t = 0; t < 150; ++t) module.tools.push_back({u"T" + WString(1, u'a' + t % 26), 0});
    extensions_.modules = {module, module};
    Build();
    int items = 0;
    UINT last = 0;
    win::SetPopupMenuResponder([&](HMENU menu, POINT, HWND) {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            UINT id = GetMenuItemID(menu, i);
            if (id >= 30000 && id != static_cast<UINT>(-1)) {
                ++items;
                last = std::max(last, id);
            }
        }
        return 30255u;
    });
    CToolBarExt* main = Bar(128);
    bars_->ShowButtonMenu(1034, 5, main->GetItemRect(5), main);
    EXPECT_EQ(items, 256);
    EXPECT_EQ(last, 30255u);
    ASSERT_EQ(extensions_.runs.size(), 1u);
    EXPECT_EQ(extensions_.runs[0].extension, 1);  // the 256th: tool 105 of the second
    EXPECT_EQ(extensions_.runs[0].tool, 105);
}

}  // namespace
