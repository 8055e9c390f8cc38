// Capture and editing as the user does it: whole gestures queued before
// they are dispatched, holds on the fake clock, menus answered by the
// pop-up responder, and the files read back by our reader and by shapelib's
// and GDAL's tools.
#include <cmath>
#include <functional>
#include <map>

#include "formats/shape/shp_engine.h"
#include "formats/shape/shape_builders.h"
#include "map/dialogs/vertex_dlg.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "resources/zres.h"
#include "tests/map/edit_harness.h"

using namespace viewtest;

namespace {

class MapViewCapture : public EditHarness {
protected:
    void TearDown() override {
        win::SetPopupMenuResponder(nullptr);
        win::ClearModalHooks();
        SetVertexDialogRunners({});
        EditHarness::TearDown();
    }
    void Tap(POINT p) {
        win::input::Gesture g;
        g.Down(0, View(), p).Up(30, View(), p);
        win::input::Play(g);
        Pump();
    }
    void Drag(std::vector<POINT> path) {
        win::input::Gesture g;
        uint32_t t = 0;
        g.Down(t, View(), path.front());
        for (size_t i = 1; i < path.size(); ++i) g.Move(t += 20, View(), path[i]);
        g.Up(t += 20, View(), path.back());
        win::input::Play(g);
        Pump();
    }
    // Down, held past the tap-and-hold time, up: the responder answers.
    void Hold(POINT p, std::function<void()> probe = nullptr) {
        win::input::Gesture g;
        g.Down(0, View(), p);
        if (probe) g.Probe(300, probe);
        g.Up(900, View(), p);
        win::input::Play(g);
        Pump();
    }
    DoublePoint MapOf(POINT p) const {
        DoublePoint m;
        view_->ScreenToMap(p.x, p.y, m.x, m.y);
        return m;
    }
    POINT PixelOf(double x, double y) const {
        int px, py;
        view_->MapToScreen(x, y, px, py);
        return POINT{px, py};
    }
    // Answers the next pop-up with `command` after recording which of
    // `ids` are greyed and checked.
    void Answer(UINT command) {
        win::SetPopupMenuResponder([this, command](HMENU menu, POINT, HWND) {
            menuStates_.clear();
            for (int i = 0; i < GetMenuItemCount(menu); ++i) {
                UINT id = GetMenuItemID(menu, i);
                if (id == UINT(-1)) {
                    HMENU sub = GetSubMenu(menu, i);
                    for (int j = 0; sub && j < GetMenuItemCount(sub); ++j)
                        menuStates_[GetMenuItemID(sub, j)] =
                            GetMenuState(sub, GetMenuItemID(sub, j), MF_BYCOMMAND);
                } else {
                    menuStates_[id] = GetMenuState(menu, id, MF_BYCOMMAND);
                }
            }
            return command;
        });
    }
    bool Greyed(UINT id) { return (menuStates_.at(id) & MF_GRAYED) != 0; }
    bool Checked(UINT id) { return (menuStates_.at(id) & MF_CHECKED) != 0; }
    std::map<UINT, UINT> menuStates_;
};

// ---- capture, read back ----

TEST_F(MapViewCapture, EveryToolWritesThePenPointsAsOtherToolsReadThem) {
    OpenEditView();
    // A point.
    Command(1822);
    Tap({30, 40});
    EXPECT_EQ(Points(points_, 2), (std::vector<DoublePoint>{MapOf({30, 40})}));
    // A line dragged.
    Command(1823);
    Drag({{20, 200}, {60, 220}, {90, 230}});
    EXPECT_EQ(Points(lines_, 2), (std::vector<DoublePoint>{MapOf({20, 200}), MapOf({90, 230})}));
    // A polyline of motionless clicks, finished by its command.
    Command(1824);
    Tap({100, 100});
    Tap({130, 110});
    Tap({150, 90});
    Command(1824);
    EXPECT_EQ(Points(lines_, 3), (std::vector<DoublePoint>{MapOf({100, 100}), MapOf({130, 110}),
                                                           MapOf({150, 90})}));
    // A polygon finished by a tap on its first vertex.
    Command(1827);
    Tap({160, 160});
    Tap({200, 160});
    Tap({200, 200});
    Tap({160, 160});
    ASSERT_EQ(ShpGetRecordCount(polygons_->GetHandle()), 3);
    auto ring = Points(polygons_, 2);
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_EQ(ring.front(), ring.back());
    // A rectangle, a circle and an ellipse.
    Command(1826);
    Drag({{20, 250}, {50, 280}});
    EXPECT_EQ(PointCount(polygons_, 3), 5);
    Command(1829);
    Drag({{120, 250}, {135, 260}});
    EXPECT_EQ(PointCount(polygons_, 4), 101);
    Command(1828);
    Drag({{200, 250}, {220, 262}});
    EXPECT_EQ(PointCount(polygons_, 5), 101);
    EXPECT_NEAR(Bounds(polygons_, 5).xmin, MapOf({180, 0}).x, 1e-9);
    // Freehand: the n points the pen moved through, the polygon closed
    // with n + 1.
    Command(1825);
    Drag({{10, 120}, {20, 125}, {30, 118}, {40, 130}});
    EXPECT_EQ(Points(lines_, 4), (std::vector<DoublePoint>{MapOf({20, 125}), MapOf({30, 118}),
                                                           MapOf({40, 130})}));
    Command(1830);
    Drag({{60, 60}, {90, 60}, {90, 90}, {60, 90}, {50, 75}});
    ring = Points(polygons_, 6);
    ASSERT_EQ(ring.size(), 5u);
    EXPECT_EQ(ring.front(), ring.back());
    // Every layer reads without complaint; the rings are already wound the
    // way other programs write them.
    for (const char* name : {"pts", "lines", "polys"}) {
        std::string info = Tool(std::string("ogrinfo -ro -al -q d/") + name + ".shp");
        EXPECT_EQ(info.find("ERROR"), std::string::npos) << info;
        EXPECT_EQ(info.find("Warning"), std::string::npos) << info;
    }
    EXPECT_EQ(Tool("shprewind d/polys.shp d/rewound.shp >/dev/null; cmp d/polys.shp d/rewound.shp "
                   "&& echo same"),
              "same\n");
    EXPECT_EQ(DbfRows("polys"), 7);
    // Each new feature was selected and shown in its form.
    EXPECT_EQ(shell_.sheets.size(), 9u);
}

TEST_F(MapViewCapture, APolylineFiresSelectionAndAddedAndACancelledFormLeavesNothing) {
    OpenEditView();
    Command(1824);
    Tap({100, 100});
    Tap({130, 110});
    script_.events.clear();
    Command(1824);
    std::vector<std::pair<int, bool>> events;
    for (const auto& e : script_.events)
        if (e.id != kEventOnAfterDraw) events.push_back({e.id, e.source == mapObject_});
    EXPECT_EQ(events, (std::vector<std::pair<int, bool>>{
                          {kEventOnSelectionChanged, true},
                          {kEventOnFeatureAdded, true},
                          {kEventOnFeatureAdded, false}}));
    // Cancelled: the new line is gone, nothing selected, no event.
    shell_.sheetResult = false;
    Command(1824);
    Tap({100, 150});
    Tap({130, 150});
    script_.events.clear();
    Command(1824);
    EXPECT_EQ(ShpGetRecordCount(lines_->GetHandle()), 3);
    EXPECT_EQ(Selected().first, nullptr);
    EXPECT_EQ(ScriptEventsWith(kEventOnFeatureAdded), 0);
    EXPECT_EQ(DbfRows("lines"), 3);
}

// ---- selection ----

TEST_F(MapViewCapture, TheSelectToolPicksByTheEditLayersPriority) {
    OpenEditView();
    // Six places far apart along a row, each with its own neighbours.
    struct Case {
        const char* name;
        double pointAt;  // distance of a point, < 0 none
        double lineAt;   // distance of a line, < 0 none
        bool polygon;    // inside a small polygon
        CLayer* expect;
    };
    const Case cases[] = {
        {"point under the pen", 0, 0.25, false, points_},
        {"nearer line", 0.5, 0.25, false, lines_},
        {"nearer point", 0.5, 0.75, false, points_},
        {"equal: the line", 0.5, 0.5, false, lines_},
        {"inside a polygon", -1, -1, true, polygons_},
        {"nothing", -1, -1, false, nullptr},
    };
    std::vector<POINT> taps;
    std::vector<int> expectedRecord;
    for (size_t k = 0; k < std::size(cases); ++k) {
        POINT tap{20 + 40 * int(k), 60};
        taps.push_back(tap);
        DoublePoint m = MapOf(tap);
        const Case& c = cases[k];
        int record = -1;
        if (c.pointAt >= 0) {
            int r = ShpAppendPointXY(points_->GetHandle(), m.x + c.pointAt, m.y);
            if (c.expect == points_) record = r;
        }
        if (c.lineAt >= 0) {
            int r = ShpAppendSegment(lines_->GetHandle(), {m.x - 1, m.y + c.lineAt},
                                     {m.x + 1, m.y + c.lineAt});
            if (c.expect == lines_) record = r;
        }
        if (c.polygon)
            record = ShpAppendRectangle(polygons_->GetHandle(),
                                        CDoubleRect(m.x - 3, m.y - 3, m.x + 3, m.y + 3));
        expectedRecord.push_back(record);
    }
    Command(1820);
    for (size_t k = 0; k < std::size(cases); ++k) {
        SCOPED_TRACE(cases[k].name);
        mainWindow_.toolButtonImages.clear();
        script_.events.clear();
        Tap(taps[k]);
        EXPECT_EQ(Selected(), (std::pair<CLayer*, int>{cases[k].expect, expectedRecord[k]}));
        EXPECT_EQ(ScriptEventsWith(kEventOnSelectionChanged), 1);
        const UINT image = cases[k].expect == points_ ? 1822 : cases[k].expect == lines_ ? 1824 : 1827;
        if (cases[k].expect)
            EXPECT_EQ(mainWindow_.toolButtonImages, std::vector<UINT>{image});
        else
            EXPECT_TRUE(mainWindow_.toolButtonImages.empty());
    }
    // A double tap on a feature opens its properties.
    win::input::Gesture g;
    g.Down(0, View(), taps[0]).Up(30, View(), taps[0]).Down(120, View(), taps[0]).Up(150, View(), taps[0]);
    shell_.sheets.clear();
    win::input::Play(g);
    Pump();
    ASSERT_EQ(shell_.sheets.size(), 1u);
    EXPECT_EQ(shell_.sheets[0].mode, 2);
    EXPECT_EQ(shell_.sheets[0].record, expectedRecord[0]);
    EXPECT_EQ(shell_.sheets[0].layer, points_);
}

TEST_F(MapViewCapture, TheRecordTheUserTappedIsTheOneEditedAndDeleted) {
    OpenEditView();
    // Records 0 and 1 of the points differ: tap record 1.
    Command(1820);
    Tap(PixelOf(70, 80));
    ASSERT_EQ(Selected(), (std::pair<CLayer*, int>{points_, 1}));
    const std::string first = RecordBytes(points_, 0);
    win::QueueMessageBoxAnswers({IDYES});
    Command(1017);
    EXPECT_EQ(RecordBytes(points_, 0), first);
    EXPECT_EQ(ShpGetRecordCount(points_->GetHandle()), 1);
    Tap(PixelOf(20, 30));
    EXPECT_EQ(Selected(), (std::pair<CLayer*, int>{points_, 0}));
}

// ---- sketch rules and the "Vertex Add" menu ----

TEST_F(MapViewCapture, ShortSketchesAddNothingAndThreeCornersMakeAPolygon) {
    OpenEditView();
    Command(1824);
    Tap({100, 100});
    Command(1824);
    EXPECT_EQ(ShpGetRecordCount(lines_->GetHandle()), 2);
    Command(1827);
    Tap({100, 100});
    Tap({140, 100});
    Command(1827);
    EXPECT_EQ(ShpGetRecordCount(polygons_->GetHandle()), 2);
    Command(1827);
    Tap({100, 100});
    Tap({140, 100});
    Tap({140, 140});
    Command(1827);
    EXPECT_EQ(ShpGetRecordCount(polygons_->GetHandle()), 3);
}

TEST_F(MapViewCapture, TheVertexAddMenuOnTapAndHold) {
    OpenEditView();
    SetVertexDialogRunners({[](CMapView* v, int type, SketchVertex& vertex, bool averaging) {
                                return DoVertexDialog(v, type, vertex, averaging);
                            },
                            [](CMapView* v, int type, SketchVertex& vertex, const SketchVertex& ref) {
                                return RunRelativeVertexDialog(v, type, vertex, ref);
                            }});
    Command(1824);
    Repaint();
    const std::vector<COLORREF> before = Client();
    // With no vertex: Delete Last Vertex and Angle/Length are greyed; the
    // dots of the hold show on the view and are gone afterwards.
    bool dotsSeen = false;
    Answer(0);
    Hold({100, 100}, [&] { dotsSeen = Client() != before; });
    EXPECT_TRUE(dotsSeen);
    EXPECT_EQ(Client(), before);
    EXPECT_TRUE(Greyed(1041));
    EXPECT_TRUE(Greyed(1046));
    EXPECT_FALSE(Greyed(1044));
    EXPECT_TRUE(Greyed(1045));  // the GPS is closed
    EXPECT_EQ(view_->GetSketch().Count(), 0);
    // Absolute X,Y through the Vertex dialog.
    win::PushModalHook([](HWND dialog) {
        SetWindowText(GetDlgItem(dialog, IDC_VERTEX_X), u"12.5");
        SetWindowText(GetDlgItem(dialog, IDC_VERTEX_Y), u"40");
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    Answer(1044);
    Hold({100, 100});
    ASSERT_EQ(view_->GetSketch().Count(), 1);
    EXPECT_EQ(view_->GetSketch().Vertices()[0].x, 12.5);
    EXPECT_EQ(view_->GetSketch().Vertices()[0].y, 40);
    // Angle/Length needs a projected map.
    Answer(0);
    Hold({150, 150});
    EXPECT_TRUE(Greyed(1046));
    EXPECT_FALSE(Greyed(1041));
    Tap({150, 150});
    ASSERT_EQ(view_->GetSketch().Count(), 2);
    clock_.Advance(1000);  // no double tap with what follows
    // Delete Last Vertex, then Finish Sketch with one vertex: nothing made.
    Answer(1041);
    Hold({150, 150});
    EXPECT_EQ(view_->GetSketch().Count(), 1);
    Answer(1047);
    Hold({150, 150});
    EXPECT_FALSE(view_->GetSketch().IsActive());
    EXPECT_EQ(view_->GetCurrentTool(), kToolNone);
    EXPECT_EQ(ShpGetRecordCount(lines_->GetHandle()), 2);
}

// ---- vertex editing ----

TEST_F(MapViewCapture, VertexEditingWithThePen) {
    OpenEditView();
    Command(1820);
    Tap(PixelOf(20, 20));  // on line L1 (10 20 - 30 20 - 30 40)
    ASSERT_EQ(Selected(), (std::pair<CLayer*, int>{lines_, 0}));
    Command(1821);
    lines_->SetVertexMoving(true);
    // Drag the middle vertex.
    const POINT corner = PixelOf(30, 20);
    const POINT to{corner.x + 12, corner.y + 7};
    Drag({corner, {corner.x + 5, corner.y + 3}, to});
    EXPECT_EQ(Points(lines_, 0)[1], MapOf(to));
    // Menu 349 away from the vertices: Insert Vertex grows the record,
    // which moves to the end with its row.
    const POINT start = PixelOf(10, 20);
    const POINT middle{(start.x + to.x) / 2, (start.y + to.y) / 2};
    Answer(1048);
    Hold(middle);
    EXPECT_FALSE(Greyed(1048));
    EXPECT_TRUE(Greyed(1051));
    EXPECT_TRUE(Checked(1052));
    EXPECT_FALSE(Checked(1061));
    ASSERT_EQ(Selected(), (std::pair<CLayer*, int>{lines_, 2}));
    EXPECT_EQ(Points(lines_, 2).size(), 4u);
    EXPECT_EQ(Tool("dbfdump d/lines.dbf"),
              "NAME                 \nL1                   (DELETED)\nL2                   \n"
              "L1                   \n");
    // Menu 347 on a vertex; Delete Vertex removes it.
    Answer(1040);
    Hold(to);
    EXPECT_FALSE(Greyed(1042));
    EXPECT_TRUE(Greyed(1043));
    EXPECT_EQ(Points(lines_, 2).size(), 3u);
    // "Add To Tail" twice turns the mode off; once, a click adds at the tail.
    const POINT away{210, 280};
    Answer(1049);
    Hold(away);
    EXPECT_EQ(view_->GetVertexAddMode(), VertexAddMode::Tail);
    Answer(1049);
    Hold(away);
    EXPECT_TRUE(Checked(1049));
    EXPECT_EQ(view_->GetVertexAddMode(), VertexAddMode::Off);
    Answer(1049);
    Hold(away);
    Tap({200, 40});
    EXPECT_EQ(Points(lines_, Selected().second).back(), MapOf({200, 40}));
    // A triangle keeps its three corners: Delete Vertex beeps.
    view_->SelectFeature(polygons_, 1, false);
    Pump();
    const std::string triangle = RecordBytes(polygons_, 1);
    Answer(1040);
    Hold(PixelOf(60, 30));
    EXPECT_EQ(RecordBytes(polygons_, 1), triangle);
    EXPECT_EQ(Beeps().back(), 0x30u);
    // On a point: Delete Vertex greyed, Feature Sizing and Vertex Moving too.
    view_->SelectFeature(points_, 0, false);
    Pump();
    Answer(0);
    Hold(PixelOf(20, 30));
    EXPECT_TRUE(Greyed(1040));
}

TEST_F(MapViewCapture, MovingAndResizingWithTheBox) {
    OpenEditView();
    view_->SelectFeature(polygons_, 0, true);  // the square 10..30
    polygons_->SetFeatureMoving(true);
    polygons_->SetFeatureSizing(true);
    Command(1821);
    const double scale = view_->GetXScale();
    const CDoubleRect before = Bounds(polygons_, 0);
    // A 10-pixel drag inside the box moves every vertex by 10 / scale.
    const POINT inside = PixelOf(15, 15);
    Drag({inside, {inside.x + 4, inside.y}, {inside.x + 10, inside.y}});
    const CDoubleRect moved = Bounds(polygons_, 0);
    EXPECT_DOUBLE_EQ(moved.xmin, before.xmin + 10 / scale);
    EXPECT_DOUBLE_EQ(moved.xmax, before.xmax + 10 / scale);
    EXPECT_EQ(moved.ymin, before.ymin);
    // The right handle dragged to twice the width keeps the left edge.
    view_->GetTracker();
    int left, top, right, bottom;
    view_->MapToScreen(moved.xmin, moved.ymax, left, top);
    view_->MapToScreen(moved.xmax, moved.ymin, right, bottom);
    const int grow = view_->GetVertexMarkerSize() + 1;
    const POINT handle{right + grow, (top + bottom) / 2};
    const int width = right - left;
    Drag({handle, {handle.x + width / 2, handle.y}, {handle.x + width, handle.y}});
    const CDoubleRect resized = Bounds(polygons_, 0);
    EXPECT_DOUBLE_EQ(resized.xmin, moved.xmin);
    EXPECT_NEAR(resized.xmax - resized.xmin, 2 * (moved.xmax - moved.xmin), 1.0 / scale);
    EXPECT_EQ(resized.ymin, moved.ymin);
    EXPECT_EQ(resized.ymax, moved.ymax);
    // A horizontal line resized: its y stays, nothing is NaN.
    view_->SelectFeature(lines_, 1, true);  // (40 50) - (60 50)
    lines_->SetFeatureSizing(true);
    Pump();
    view_->MapToScreen(40, 50, left, top);
    view_->MapToScreen(60, 50, right, bottom);
    const POINT lineHandle{right + grow, top};
    Drag({lineHandle, {lineHandle.x + 20, lineHandle.y + 15}});
    auto line = Points(lines_, 1);
    ASSERT_EQ(line.size(), 2u);
    EXPECT_EQ(line[0].y, 50);
    EXPECT_EQ(line[1].y, 50);
    EXPECT_EQ(Tool("shpdump d/lines.shp").find("nan"), std::string::npos);
    // A point moved by the box and then dragged by its vertex.
    view_->SelectFeature(points_, 0, true);
    points_->SetFeatureMoving(true);
    Pump();
    const POINT p = PixelOf(20, 30);
    Drag({p, {p.x + 6, p.y + 4}});
    EXPECT_EQ(Points(points_, 0), (std::vector<DoublePoint>{MapOf({p.x + 6, p.y + 4})}));
}

}  // namespace
