// The tool commands' enable and check states over the map's state, the
// edit bars' buttons following the edit layers, the tools' cursors and the
// configured tools' pointer events.
#include <map>

#include "platform/res/resource.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;
using Gesture = win::input::Gesture;
using Bar = IMainWindow::ToolBar;

class ToolCommands : public viewtest::ViewHarness {
protected:
    // A base layer, and edit layers of the classes asked for.
    void Open(bool point, bool line, bool polygon, bool hyperlink) {
        auto* base = new CFillLayer(0x808080, {CDoubleRect(0, 0, 100, 100)});
        if (hyperlink) {
            base->SetKind(LayerKind::Shape);
            base->SetHyperlinkField(0);
        }
        AddLayer(base);
        std::vector<CFillLayer*> edits;
        for (auto [want, cls] : {std::pair{point, DisplayClass::Point}, std::pair{line, DisplayClass::Line},
                                 std::pair{polygon, DisplayClass::Polygon}}) {
            if (!want) continue;
            auto* layer = new CFillLayer(0x00FF00, {CDoubleRect(10, 10, 20, 20)});
            layer->SetDisplayClass(cls);
            layer->SetKind(LayerKind::Shape);  // only shapefiles are edited
            AddLayer(layer);
            edits.push_back(layer);
        }
        UseCoordSys(MakeCoordSys(kUtm33Wkt));
        UseExtent(CDoubleRect(0, 0, 100, 100));
        OpenView();
        for (CFillLayer* layer : edits) doc_.GetLayers().SetEditLayer(layer);
        editLayers_ = edits;
    }
    std::pair<bool, bool> State(UINT id) {
        CCmdUI ui(id);
        EXPECT_TRUE(view_->OnCmdMsg(id, 0, &ui)) << id;
        return {ui.m_bEnabled, ui.m_nCheck != 0};
    }
    std::vector<CFillLayer*> editLayers_;
};

// "E" enabled, "C" checked as well, "-" neither.
struct Scenario {
    const char* name;
    bool point, line, polygon, hyperlink, feature;
    SketchKind sketch;
    MapToolId tool;
    std::map<UINT, const char*> want;
};

TEST_F(ToolCommands, EnableAndCheckStatesFollowTheMap) {
    const std::vector<Scenario> scenarios = {
        {"plain map", false, false, false, false, false, SketchKind::None, kToolNone,
         {{1800, "E"}, {1801, "E"}, {1802, "E"}, {1815, "E"}, {1816, "E"}, {1810, "E"},
          {1811, "E"}, {1812, "E"}, {1813, "E"}, {1814, "-"}, {1820, "-"}, {1821, "-"},
          {1822, "-"}, {1823, "-"}, {1824, "-"}, {1825, "-"}, {1826, "-"}, {1827, "-"},
          {1828, "-"}, {1829, "-"}, {1830, "-"}}},
        {"zoom in current, a link", false, false, false, true, false, SketchKind::None, kToolZoomIn,
         {{1800, "C"}, {1801, "E"}, {1814, "E"}}},
        {"hyperlink current, no link", false, false, false, false, false, SketchKind::None,
         kToolHyperlink, {{1814, "-"}}},
        {"edit layers, no feature", true, true, true, false, false, SketchKind::None, kToolSelect,
         {{1820, "C"}, {1821, "-"}, {1822, "E"}, {1823, "E"}, {1824, "E"}, {1825, "E"},
          {1826, "E"}, {1827, "E"}, {1828, "E"}, {1829, "E"}, {1830, "E"}}},
        {"a feature", true, true, true, true, true, SketchKind::None, kToolVertexEdit,
         {{1821, "C"}, {1820, "E"}, {1814, "E"}}},
        {"polygon sketch", true, true, true, true, true, SketchKind::Polygon, kToolPolygon,
         {{1800, "-"}, {1810, "-"}, {1811, "-"}, {1814, "-"}, {1815, "-"}, {1820, "-"},
          {1821, "-"}, {1822, "-"}, {1823, "-"}, {1824, "E"}, {1825, "-"}, {1826, "-"},
          {1827, "C"}, {1828, "-"}, {1829, "-"}, {1830, "-"}}},
        {"freehand line while sketching", false, true, true, false, false, SketchKind::Line,
         kToolFreehandLine, {{1825, "C"}, {1823, "-"}, {1830, "-"}, {1824, "E"}}},
        {"freehand polygon while sketching", false, true, true, false, false, SketchKind::Polygon,
         kToolFreehandPolygon, {{1830, "C"}, {1826, "-"}, {1825, "-"}}},
        {"line layer only", false, true, false, false, false, SketchKind::None, kToolPolyline,
         {{1822, "-"}, {1824, "C"}, {1826, "-"}, {1827, "-"}}},
    };
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(s.name);
        Open(s.point, s.line, s.polygon, s.hyperlink);
        if (s.feature) doc_.GetLayers().SetCurrentFeature(editLayers_[0], 0);
        view_->GetSketch().SetKind(s.sketch);
        if (s.tool != kToolNone) view_->SetCurrentTool(s.tool);
        for (auto [id, want] : s.want) {
            auto [enabled, checked] = State(id);
            WString got = checked ? u"C" : enabled ? u"E" : u"-";
            if (checked && !enabled) got = u"c";  // checked but greyed
            EXPECT_EQ(text::ToUtf8(got), want) << id;
        }
        view_->GetSketch().SetKind(SketchKind::None);
        TearDown();
        SetUp();
    }
}

TEST_F(ToolCommands, TheEditBarsTakeTheDrawCommandOfTheEditLayerThereIs) {
    struct Case {
        const char* name;
        bool point, line, polygon;
        MapToolId tool;
        UINT before, after;
    } cases[] = {
        {"point layer", true, false, false, kToolNone, 1827, 1822},
        {"line layer, polyline tool", false, true, false, kToolPolyline, 1827, 1824},
        {"line layer, freehand tool", false, true, false, kToolFreehandLine, 1827, 1825},
        {"line layer", false, true, false, kToolNone, 1827, 1823},
        {"polygon layer", false, false, true, kToolNone, 1822, 1827},
        {"button already usable", true, false, false, kToolNone, 1822, 1822},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Open(c.point, c.line, c.polygon, false);
        if (c.tool != kToolNone) view_->SetCurrentTool(c.tool);
        mainWindow_.barShown[0] = mainWindow_.barShown[1] = true;
        // The browse bar's action button holds Hyperlink, greyed without a link.
        mainWindow_.barButtons[0] = {1800, 1801, 1802, 1814, 1003};
        mainWindow_.barButtons[1] = {1820, 1821, c.before, 1826};
        mainWindow_.reassigned.clear();
        mainWindow_.isEnabled = [this](UINT id) { return State(id).first; };
        view_->UpdateEditToolbars();
        using R = CRecordingMainWindow::Reassignment;
        std::vector<R> want = {{0, 3, 1810, 5}};
        if (c.after != c.before) want.push_back({1, 2, c.after, static_cast<int>(c.after) - 1820});
        EXPECT_EQ(mainWindow_.reassigned, want);
        EXPECT_EQ(mainWindow_.barButtons[1][2], c.after);
        mainWindow_.isEnabled = nullptr;
        TearDown();
        SetUp();
    }
    // Hidden bars are left alone; without an edit layer the draw bar too.
    Open(false, false, false, false);
    mainWindow_.barShown[0] = false;
    mainWindow_.barShown[1] = true;
    mainWindow_.barButtons[1] = {1820, 1821, 1827};
    mainWindow_.reassigned.clear();
    view_->UpdateEditToolbars();
    EXPECT_TRUE(mainWindow_.reassigned.empty());
}

TEST_F(ToolCommands, EachToolShowsItsCursorOverTheMap) {
    Open(true, true, true, false);
    HINSTANCE program = res::GetProgramModule();
    HCURSOR arrow = GetCursor();
    for (MapToolId tool = kToolZoomIn; tool <= kToolLastBuiltIn; ++tool) {
        SCOPED_TRACE(tool);
        view_->SetCurrentTool(tool);
        SetCursor(arrow);
        win::input::PenMoveAt(View(), POINT{50 + tool, 60});
        Pump();
        const MapToolInfo* info = FindMapTool(tool);
        ASSERT_NE(info, nullptr);
        if (info->cursor) {
            HCURSOR want = LoadCursor(program, info->cursor);
            ASSERT_NE(want, nullptr) << text::ToUtf8(info->cursor);
            EXPECT_EQ(GetCursor(), want);
            ICONINFO ii;
            ASSERT_TRUE(GetIconInfo(want, &ii));
            EXPECT_FALSE(ii.fIcon);
            DeleteObject(ii.hbmColor);
            DeleteObject(ii.hbmMask);
        } else {
            EXPECT_EQ(GetCursor(), arrow);
        }
        view_->SetCurrentTool(tool);  // off again
    }
    // Names are case-blind, one handle per cursor.
    EXPECT_EQ(LoadCursor(program, u"cur_cross"), LoadCursor(program, u"CUR_CROSS"));
    EXPECT_EQ(LoadCursor(program, u"CUR_NONE"), nullptr);
}

TEST_F(ToolCommands, AConfiguredToolGetsPointerDownMoveAndUp) {
    Open(false, false, false, false);
    EXPECT_TRUE(view_->SetCurrentTool(kToolConfiguredBase + 9003));
    std::vector<COLORREF> before = Client();
    COLORREF crossMid = 0;
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{40, 50})
                         .Probe(5, [&] { crossMid = Pixel(40, 10); })
                         .Move(10, View(), POINT{60, 70})
                         .Up(20, View(), POINT{80, 90}));
    Pump();
    using E = std::pair<UINT, int>;
    EXPECT_EQ(mainWindow_.commandEvents, (std::vector<E>{{9003, 18}, {9003, 19}, {9003, 20}}));
    EXPECT_EQ(view_->GetPointer().x, 80);
    EXPECT_EQ(view_->GetPointer().y, 90);
    double x, y;
    view_->ScreenToMap(80, 90, x, y);
    EXPECT_EQ(view_->GetPointerMapX(), x);
    EXPECT_EQ(view_->GetPointerMapY(), y);
    // The crosshair showed (XOR) while the pen was down and is gone after.
    EXPECT_EQ(crossMid, before[static_cast<size_t>(10 * 240 + 40)] ^ 0xFFFFFF);
    EXPECT_EQ(Client(), before);
    EXPECT_EQ(view_->GetLastPenPoint().x, 60);
}

}  // namespace
