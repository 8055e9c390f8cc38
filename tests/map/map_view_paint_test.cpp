// The map view's paint, read back from the real window surface: the
// off-screen buffer, the scale test, the overlays, the interrupt banner, the
// after-draw event, the debug display and the flash of a found shape.
#include <algorithm>
#include <cstdio>

#include "crs/coord_sys.h"
#include "map/layers/shape_layer.h"
#include "map/layers/tracklog_layer.h"
#include "map/services/preferences.h"
#include "tests/map/view_harness.h"
#include "tests/support/run_command.h"

namespace {

using viewtest::CFillLayer;
using viewtest::ViewHarness;

constexpr COLORREF kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0x0000FF, kBlue = 0xFF0000,
                   kYellow = 0x00FFFF, kGreen = 0x00FF00;

// A feature layer whose records have fixed extents (the flash).
class CExtentLayer : public CFieldsLayer {
public:
    CExtentLayer() : CFieldsLayer({u"NAME"}) {}
    bool GetFeatureExtent(int record, CDoubleRect& extent) override {
        if (record != 1) return false;
        extent = CDoubleRect(10, 10, 20, 30);
        return true;
    }
};

class MapViewPaint : public ViewHarness {
protected:
    int Count(const std::vector<COLORREF>& px, COLORREF c) const {
        return static_cast<int>(std::count(px.begin(), px.end(), c));
    }
};

TEST_F(MapViewPaint, BufferedPaintEqualsAFullRedraw) {
    auto* below = new CFillLayer(kBlue, {CDoubleRect(0, 0, 50, 50)});
    auto* dynamic = new CFillLayer(kRed, {CDoubleRect(40, 40, 60, 60)});
    dynamic->SetDynamic(true);
    AddLayer(dynamic);
    AddLayer(below);
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView();
    std::vector<COLORREF> first = Client();
    int px, py;
    view_->MapToScreen(1, 1, px, py);
    EXPECT_EQ(Pixel(px, py - 1), kBlue);
    view_->MapToScreen(50, 50, px, py);
    EXPECT_EQ(Pixel(px, py - 1), kRed);  // the dynamic layer is on top
    EXPECT_EQ(Pixel(239, 0), kWhite);    // the background
    EXPECT_TRUE(view_->IsBufferValid());
    EXPECT_EQ(below->lastTarget, view_->GetBufferDC());
    EXPECT_NE(dynamic->lastTarget, view_->GetBufferDC());
    // A second paint copies the buffer; only the dynamic layer draws again.
    int belowDraws = below->draws, dynamicDraws = dynamic->draws;
    Repaint();
    EXPECT_EQ(below->draws, belowDraws);
    EXPECT_EQ(dynamic->draws, dynamicDraws + 1);
    EXPECT_EQ(Client(), first);
    // A forced refresh rebuilds the buffer: the same picture.
    Command(ID_VIEW_REFRESH);
    EXPECT_EQ(below->draws, belowDraws + 1);
    EXPECT_EQ(Client(), first);
    // A freshly created view of the same map draws the same picture.
    doc_.RemoveView(view_.get());
    view_.reset();
    view_ = std::make_unique<viewtest::CRecordingMapView>();
    view_->SetDocument(&doc_);
    doc_.AddView(view_.get());
    ASSERT_TRUE(view_->Create(frame_, RECT{0, 0, 240, 300}, 0xE900));
    view_->OnInitialUpdate();
    Pump();
    std::vector<COLORREF> fresh = Client();
    int differ = 0;
    for (size_t i = 0; i < fresh.size(); ++i) differ += fresh[i] != first[i];
    EXPECT_EQ(differ, 0);
}

TEST_F(MapViewPaint, ScaleRangeAndHiddenEditLayers) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    auto* ranged = new CFillLayer(kBlue, {CDoubleRect(500000, 0, 501000, 1000)});
    ranged->SetMinScale(5000);
    auto* edit = new CFillLayer(kGreen, {CDoubleRect(499900, 0, 499990, 100000)});
    edit->SetKind(LayerKind::Shape);
    edit->SetVisible(false);
    AddLayer(ranged);
    AddLayer(edit);
    OpenView();
    doc_.GetLayers().SetEditLayer(edit);
    const double screen = 0.0254 / 96 * 240;
    struct Case {
        double scale;
        bool drawn;
    } cases[] = {{4999, false}, {5000, true}, {20000, true}};
    for (const Case& c : cases) {
        double w = (c.scale + 0.5) * screen;
        view_->ZoomToExtent(CDoubleRect(500000 - w / 2, 0, 500000 + w / 2, w), false, 1.0);
        Pump();
        ASSERT_EQ(view_->GetMapScale(true), c.scale);
        int px, py;
        view_->MapToScreen(500000 + 1, 1, px, py);
        EXPECT_EQ(Pixel(px, py - 1), c.drawn ? kBlue : kWhite) << c.scale;
        view_->MapToScreen(499950, 1, px, py);
        EXPECT_EQ(Pixel(px, py - 1), kGreen) << c.scale;  // hidden, but the edit layer
    }
    // The maximum scale.
    ranged->SetMinScale(0);
    ranged->SetMaxScale(10000);
    Command(ID_VIEW_REFRESH);
    int px, py;
    view_->MapToScreen(500000 + 1, 1, px, py);
    EXPECT_EQ(Pixel(px, py - 1), kWhite);
}

TEST_F(MapViewPaint, InterruptedRedrawShowsTheBannerUntilTheNextRefresh) {
    auto* slow = new CFillLayer(kBlue, {CDoubleRect(0, 0, 100, 100)});
    AddLayer(slow);
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView();
    std::vector<COLORREF> clean = Client();
    // The user taps while the layer draws.
    InterruptedRefresh(slow, POINT{120, 150});
    EXPECT_TRUE(view_->IsDrawingInterrupted());
    // The tap itself still reached the view, after the paint (with no tool
    // the pen-down runs the tracker, whose loop takes the pen-up).
    std::vector<UINT> taps(ViewInput().begin(), ViewInput().end());
    EXPECT_EQ(taps, (std::vector<UINT>{WM_LBUTTONDOWN}));
    std::vector<COLORREF> banner = Client();
    // Yellow text on red, in the band below y = 20, and nowhere above it.
    int red = 0, yellow = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 240; ++x) {
            size_t i = static_cast<size_t>(y * 240 + x);
            if (banner[i] == clean[i]) continue;
            EXPECT_GE(y, 20);
            red += banner[i] == kRed;
            yellow += banner[i] == kYellow;
        }
    EXPECT_GT(red, 100);
    EXPECT_GT(yellow, 0);
    // It stays on the next paint and goes with the next refresh.
    Repaint();
    EXPECT_EQ(Client(), banner);
    Command(ID_VIEW_REFRESH);
    EXPECT_FALSE(view_->IsDrawingInterrupted());
    EXPECT_EQ(Client(), clean);
}

TEST_F(MapViewPaint, AfterDrawFiresOncePerPaintAfterIt) {
    OpenView();
    auto count = [&] {
        std::vector<int> e = ScriptEvents();
        return std::count(e.begin(), e.end(), static_cast<int>(kEventOnAfterDraw));
    };
    auto before = count();
    EXPECT_GE(before, 1);
    Repaint();
    EXPECT_EQ(count(), before + 1);
    Repaint();
    EXPECT_EQ(count(), before + 2);
}

TEST_F(MapViewPaint, DebugDisplayFillsTheClient) {
    AddLayer(new CFillLayer(kBlue, {CDoubleRect(0, 0, 100, 100)}));
    OpenView();
    view_->GetGpsCursor().SetDebugDisplay(true);
    Repaint();
    std::vector<COLORREF> px = Client();
    EXPECT_EQ(Count(px, 0x400000), 240 * 300);
}

TEST_F(MapViewPaint, ScaleBarQuartersAndGeographicLimit) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenView();
    view_->ZoomToExtent(CDoubleRect(500000, 0, 506350, 6350), false, 1.0);
    Pump();
    // The bar: x 12..178, y 288..296; quarter 53, middle 95, half line 292.
    struct Probe {
        int x, y;
        COLORREF c;
    } probes[] = {{30, 290, kBlack}, {30, 294, kWhite}, {70, 290, kWhite}, {70, 294, kBlack},
                  {120, 290, kBlack}, {120, 294, kWhite}, {12, 294, kBlack}, {177, 294, kBlack},
                  {178, 294, kWhite}, {30, 296, kWhite}};
    for (const Probe& p : probes) EXPECT_EQ(Pixel(p.x, p.y), p.c) << p.x << "," << p.y;
    // With the panning frame the bar sits 11 pixels up.
    GetPreferences()->Data().display.panframe = true;
    Repaint();
    EXPECT_EQ(Pixel(30, 283), kBlack);
    EXPECT_EQ(Pixel(30, 287), kWhite);
    GetPreferences()->Data().display.panframe = false;

    // Geographic: a bar at 60 degrees of latitude shown, none at 61.
    doc_.SetMapCoordSys(MakeCoordSys(CMapDoc::kDefaultWkt), false);
    view_->ZoomToExtent(CDoubleRect(0, 0, 10, 60), false, 1.0);
    Pump();
    EXPECT_EQ(Pixel(30, 290), kBlack);
    // The half bar's ground length is the geodesic between its ends.
    RECT bar = view_->ScaleBarRect();
    double x1, y1, x2, y2;
    view_->ScreenToMap(bar.left, bar.top, x1, y1);
    view_->ScreenToMap(bar.left + (bar.right - bar.left) / 2, bar.top, x2, y2);
    char cmd[200];
    std::snprintf(cmd, sizeof cmd, "echo %.12f %.12f %.12f %.12f | GeodSolve -i -p 9", y1, x1, y2, x2);
    const std::string geod = testsupport::RunCommand(cmd);
    double a1, a2, s12 = 0;
    ASSERT_EQ(std::sscanf(geod.c_str(), "%lf %lf %lf", &a1, &a2, &s12), 3) << geod;
    EXPECT_NEAR(view_->ScaleBarHalfLength(), s12, s12 * 1e-7);
    view_->ZoomToExtent(CDoubleRect(0, 0, 10, 61), false, 1.0);
    Pump();
    EXPECT_EQ(Pixel(30, 290), kWhite);
}

// A long "1:N" label shortens the bar so that it ends inside the view; a
// short one leaves the bar as it was.
TEST_F(MapViewPaint, TheScaleLabelStaysInsideTheView) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenView();
    view_->ZoomToExtent(CDoubleRect(500000, 0, 506350, 6350), false, 1.0);
    Pump();
    EXPECT_EQ(view_->ScaleBarRect().right, 178);
    // Zoomed out to about 1:120 000 000: a label of 11 characters.
    view_->ZoomToExtent(CDoubleRect(0, 0, 7620000, 7620000), false, 1.0);
    Pump();
    const RECT bar = view_->ScaleBarRect();
    EXPECT_LT(bar.right, 178);
    // The label's ink: from beside the bar to at least 4 pixels inside the
    // view's right edge, on the rows beside the bar.
    int inkRight = -1;
    for (int y = bar.top - 8; y < bar.bottom; ++y)
        for (int x = bar.right + 1; x < 240; ++x)
            if (Pixel(x, y) != kWhite) inkRight = std::max(inkRight, x);
    EXPECT_GT(inkRight, bar.right + 20);
    EXPECT_LE(inkRight, 240 - 4);
}

TEST_F(MapViewPaint, PanningFrame) {
    GetPreferences()->Data().display.panframe = true;
    OpenView();
    const COLORREF grey = 0xC0C0C0;
    EXPECT_EQ(Pixel(3, 100), grey);
    EXPECT_EQ(Pixel(60, 295), grey);
    EXPECT_EQ(Pixel(100, 10), kWhite);  // inner top
    EXPECT_EQ(Pixel(10, 100), kWhite);  // inner left
    EXPECT_EQ(Pixel(230, 100), kBlack);  // inner right
    EXPECT_EQ(Pixel(100, 290), kBlack);  // inner bottom
    EXPECT_EQ(Pixel(120, 150), kWhite);  // the map inside
    // The eight arrows, each an 8x8 image with its tip towards its side.
    struct Arrow {
        int x, y;  // where the image goes
        int tipX, tipY;  // a black pixel of it
    } arrows[] = {{116, 2, 3, 1},   {116, 291, 3, 6}, {0, 146, 1, 3},  {231, 146, 6, 3},
                  {2, 2, 1, 1},     {230, 2, 6, 1},   {2, 290, 1, 6},  {230, 290, 6, 6}};
    for (const Arrow& a : arrows) {
        EXPECT_EQ(Pixel(a.x + a.tipX, a.y + a.tipY), kBlack) << a.x << "," << a.y;
        EXPECT_EQ(Pixel(a.x + 7 - a.tipX, a.y + 7 - a.tipY), grey) << a.x << "," << a.y;
    }
}

TEST_F(MapViewPaint, DestinationCircleAndLabel) {
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView();
    view_->SetGoToDestination(50, 50, nullptr);
    Repaint();
    int px, py;
    view_->MapToScreen(50, 50, px, py);
    EXPECT_EQ(Pixel(px, py - 2), kBlack);  // the circle's top
    EXPECT_EQ(Pixel(px - 3, py), kWhite);
    // White text on an opaque black cell from (x + 1, y).
    EXPECT_EQ(Pixel(px + 1, py), kBlack);
    int black = 0, light = 0;
    for (int y = py; y < py + 10; ++y)
        for (int x = px + 1; x < px + 20; ++x) {
            COLORREF c = Pixel(x, y);
            black += c == kBlack;
            light += (c & 0xFF) > 0xC0 && ((c >> 8) & 0xFF) > 0xC0 && ((c >> 16) & 0xFF) > 0xC0;
        }
    EXPECT_GT(black, 50);
    EXPECT_GT(light, 5);
}

TEST_F(MapViewPaint, FlashInvertsTheShapeTwiceAndLeavesNoTrace) {
    UseExtent(CDoubleRect(0, 0, 100, 100));
    AddLayer(new CFillLayer(kBlue, {CDoubleRect(0, 0, 15, 100)}));
    OpenView();
    CExtentLayer found;
    std::vector<COLORREF> before = Client();
    std::vector<COLORREF> probe;
    uint64_t start = sys::GetTickCount64();
    // A probe 50 ms into the flash reads the surface.
    win::input::Play(win::input::Gesture().Probe(50, [&] { probe = Client(); }));
    SendMessage(View(), WM_VIEW_FLASHSHAPE, reinterpret_cast<WPARAM>(&found), 1);
    std::vector<COLORREF> firstProbe = probe;
    EXPECT_EQ(sys::GetTickCount64() - start, 400u);
    EXPECT_EQ(Client(), before);
    // In the first 100 ms exactly the shape's rectangle is inverted.
    int left, bottom, right, top;
    view_->MapToScreen(10, 10, left, bottom);
    view_->MapToScreen(20, 30, right, top);
    ASSERT_EQ(firstProbe.size(), before.size());
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 240; ++x) {
            size_t i = static_cast<size_t>(y * 240 + x);
            bool inside = x >= left && x < right && y >= top && y < bottom;
            COLORREF want = inside ? (~before[i] & 0xFFFFFF) : before[i];
            ASSERT_EQ(firstProbe[i], want) << x << "," << y;
        }
    // No layer or no record: nothing at all.
    start = sys::GetTickCount64();
    SendMessage(View(), WM_VIEW_FLASHSHAPE, 0, 1);
    SendMessage(View(), WM_VIEW_FLASHSHAPE, reinterpret_cast<WPARAM>(&found), 0);
    EXPECT_EQ(sys::GetTickCount64(), start);
}

}  // namespace

namespace {

class MapViewSelection : public viewtest::ViewHarness {};

TEST_F(MapViewSelection, PointSelectionBoxIsThreeFocusRectanglesFivePixelsOut) {
    MakePointShapefile("d", "pts", {"10 20", "30 40"});
    CLayer* layer = OpenShapefileView({"pts"});
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->GetDisplayClass(), DisplayClass::Point);
    std::vector<COLORREF> plain = Client();
    doc_.GetLayers().SetCurrentFeature(layer, 1);
    Repaint();
    std::vector<COLORREF> selected = Client();
    int px, py;
    view_->MapToScreen(30, 40, px, py);
    RECT box = view_->GetTracker().m_rect;
    EXPECT_EQ(view_->GetTracker().m_rubberBandStyle, 5);
    EXPECT_EQ(view_->GetTracker().m_handleMask, 0u);
    // The box is the point's pixel grown by 5 on each side (the shape
    // drawing's own transform may differ from the view's by a pixel).
    EXPECT_LE(std::abs(box.left - (px - 5)), 1);
    EXPECT_LE(std::abs(box.top - (py - 5)), 1);
    EXPECT_EQ(box.right - box.left, 10);
    EXPECT_EQ(box.bottom - box.top, 10);
    // Three dotted focus rectangles, the box and the box grown by 1 and 2:
    // on the white map each of their top edges is part black, part white;
    // nothing changed outside the outermost or inside the innermost.
    for (int grow = 0; grow <= 2; ++grow) {
        int black = 0, white = 0;
        for (int x = box.left - grow; x < box.right + grow; ++x) {
            COLORREF c = selected[static_cast<size_t>((box.top - grow) * 240 + x)];
            black += c == kBlack;
            white += c == kWhite;
        }
        EXPECT_GT(black, 2) << grow;
        EXPECT_GT(white, 2) << grow;
    }
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 240; ++x) {
            bool outer = x >= box.left - 2 && x < box.right + 2 && y >= box.top - 2 && y < box.bottom + 2;
            bool inner = x > box.left && x < box.right - 1 && y > box.top && y < box.bottom - 1;
            if (outer && !inner) continue;
            size_t i = static_cast<size_t>(y * 240 + x);
            ASSERT_EQ(selected[i], plain[i]) << x << "," << y;
        }
}

}  // namespace

namespace {

class MapViewVertices : public viewtest::ViewHarness {
protected:
    // A polygon shapefile of one square (10,10)-(40,40) in \d\sq.shp.
    CLayer* OpenSquare() {
        EXPECT_TRUE(ShellIn("d", "shpcreate sq polygon && shpadd sq 10 10 10 40 40 40 40 10 10 10 && "
                                 "dbfcreate sq -s NAME 10 && dbfadd sq a"));
        CLayer* layer = OpenShapefileView({"sq"});
        if (layer) doc_.GetLayers().SetCurrentFeature(layer, 0);
        return layer;
    }
};

TEST_F(MapViewVertices, PolygonSelectionWithHandlesAndVertexMarkers) {
    CLayer* layer = OpenSquare();
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->GetDisplayClass(), DisplayClass::Polygon);
    // Without the vertex tool: a dotted box, no handles.
    Repaint();
    EXPECT_EQ(view_->GetTracker().m_handleMask, 0u);
    RECT plainBox = view_->GetTracker().m_rect;
    // The vertex tool with feature sizing: all handles, the box grown by
    // the marker size plus 1, and the vertex markers.
    layer->SetFeatureSizing(true);
    layer->SetVertexMoving(true);
    view_->SetCurrentTool(kToolVertexEdit);
    Repaint();
    int s = view_->GetVertexMarkerSize();
    EXPECT_EQ(s, 6);  // tolerance 5 plus 1
    EXPECT_EQ(view_->GetTracker().m_handleMask, CMapTracker::kAllHandles);
    RECT box = view_->GetTracker().m_rect;
    EXPECT_EQ(box.left, plainBox.left - s - 1);
    EXPECT_EQ(box.bottom, plainBox.bottom + s + 1);
    // Blue squares round each vertex, white centres; the first vertex has
    // two more squares, one pixel larger and one smaller.
    int px, py;
    view_->MapToScreen(40, 40, px, py);  // a vertex that is not the first
    EXPECT_EQ(Pixel(px, py), kWhite);
    EXPECT_EQ(Pixel(px - s, py - s - 0), kBlue);
    EXPECT_EQ(Pixel(px + s - 1, py + s - 1), kBlue);
    EXPECT_NE(Pixel(px - s - 1, py - s - 1), kBlue);
    view_->MapToScreen(10, 10, px, py);  // the first vertex
    EXPECT_EQ(Pixel(px, py), kWhite);
    EXPECT_EQ(Pixel(px - s - 1, py - s - 1), kBlue);
    EXPECT_EQ(Pixel(px - s, py - s), kBlue);
    EXPECT_EQ(Pixel(px - s + 1, py - s + 1), kBlue);
    // The shape's outline in the highlight colour (red), 3 pixels wide.
    view_->MapToScreen(25, 40, px, py);
    EXPECT_EQ(Pixel(px, py), kRed);
    EXPECT_EQ(Pixel(px, py - 1), kRed);
    EXPECT_EQ(Pixel(px, py + 1), kRed);
    // Without vertex moving: dotted focus rectangles instead of squares.
    layer->SetVertexMoving(false);
    Repaint();
    view_->MapToScreen(40, 40, px, py);
    EXPECT_EQ(Pixel(px, py), kWhite);
    EXPECT_NE(Pixel(px - s, py - s), kBlue);
}

TEST_F(MapViewVertices, LineSelectionBoxAndItsOpenOutline) {
    ASSERT_TRUE(ShellIn("d", "shpcreate ln arc && shpadd ln 10 10 40 20 60 50 && "
                             "dbfcreate ln -s NAME 10 && dbfadd ln a"));
    CLayer* layer = OpenShapefileView({"ln"});
    ASSERT_NE(layer, nullptr);
    ASSERT_EQ(layer->GetDisplayClass(), DisplayClass::Line);
    std::vector<COLORREF> plain = Client();
    doc_.GetLayers().SetCurrentFeature(layer, 0);
    Repaint();
    std::vector<COLORREF> selected = Client();
    // A dotted box on the line's bounds, no handles, no growth.
    EXPECT_EQ(view_->GetTracker().m_rubberBandStyle, 0);
    EXPECT_EQ(view_->GetTracker().m_handleMask, 0u);
    RECT box = view_->GetTracker().m_rect;
    int left, bottom, right, top;
    view_->MapToScreen(10, 10, left, bottom);
    view_->MapToScreen(60, 50, right, top);
    EXPECT_LE(std::abs(box.left - left), 1);
    EXPECT_LE(std::abs(box.right - right), 1);
    EXPECT_LE(std::abs(box.top - top), 1);
    EXPECT_LE(std::abs(box.bottom - bottom), 1);
    int black = 0, white = 0, changed = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 240; ++x) {
            size_t i = static_cast<size_t>(y * 240 + x);
            bool edge = (x == box.left || x == box.right - 1) && y >= box.top && y < box.bottom;
            edge |= (y == box.top || y == box.bottom - 1) && x >= box.left && x < box.right;
            if (!edge) {
                ASSERT_EQ(selected[i], plain[i]) << x << "," << y;
            } else {
                black += selected[i] == kBlack;
                white += selected[i] == kWhite;
                changed += selected[i] != plain[i];
            }
        }
    EXPECT_GT(black, 20);
    EXPECT_GT(white, 20);
    EXPECT_GT(changed, 20);

    // The vertex tool: handles, the outline in the highlight colour along
    // the two segments only (a line is not closed), a marker on each vertex.
    layer->SetFeatureSizing(true);
    layer->SetVertexMoving(true);
    view_->SetCurrentTool(kToolVertexEdit);
    Repaint();
    EXPECT_EQ(view_->GetTracker().m_handleMask, CMapTracker::kAllHandles);
    int px, py;
    view_->MapToScreen(25, 15, px, py);  // on the first segment
    EXPECT_EQ(Pixel(px, py), kRed);
    view_->MapToScreen(50, 35, px, py);  // on the second
    EXPECT_EQ(Pixel(px, py), kRed);
    view_->MapToScreen(35, 30, px, py);  // where a closing segment would run
    EXPECT_NE(Pixel(px, py), kRed);
    int s = view_->GetVertexMarkerSize();
    for (DoublePoint v : {DoublePoint{10, 10}, DoublePoint{40, 20}, DoublePoint{60, 50}}) {
        view_->MapToScreen(v.x, v.y, px, py);
        EXPECT_EQ(Pixel(px, py), kWhite) << v.x;
        EXPECT_EQ(Pixel(px - s, py - s), kBlue) << v.x;
        EXPECT_EQ(Pixel(px + s - 1, py + s - 1), kBlue) << v.x;
    }
}

TEST_F(MapViewPaint, AVisibleTracklogAppearsInAFullPaint) {
    GetPreferences()->Data().tracklog.name = u"\\TrackLog.shp";
    AddLayer(new CFillLayer(kBlue, {CDoubleRect(0, 0, 5, 5)}));
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView();
    CTracklogLayer& track = doc_.GetLayers().GetTracklog();
    GpsPosition p{};
    p.satellitesUsed = 0xFFFE;
    ASSERT_TRUE(track.AppendPosition(nullptr, {20, 20, 0, 0}, {20, 20, 0, 0}, {}, p));
    ASSERT_TRUE(track.AppendPosition(nullptr, {60, 60, 0, 0}, {60, 60, 0, 0}, {}, p));
    track.CloseFile();
    EXPECT_EQ(Count(Client(), kRed), 0);
    track.SetVisible(true);
    Command(ID_VIEW_REFRESH);
    const std::vector<COLORREF> px = Client();
    EXPECT_GT(Count(px, kRed), 20);
    int x, y;
    view_->MapToScreen(60, 60, x, y);
    EXPECT_EQ(Pixel(x, y), kYellow);
    track.SetVisible(false);
}

}  // namespace
