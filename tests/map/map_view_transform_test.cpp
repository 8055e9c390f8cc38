// The display transform, the map scale and the extent history of the map
// view: the maths is called directly, everything a user does goes through
// the message queue.
#include <climits>
#include <cmath>
#include <limits>

#include "crs/coord_sys.h"
#include "map/layers/map_doc.h"
#include "map/view/view_transform.h"
#include "tests/map/view_harness.h"
#include "tests/support/run_command.h"

namespace {

using viewtest::CFillLayer;
using viewtest::ViewHarness;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class MapViewTransform : public ViewHarness {};

TEST(ViewTransformTest, FitsTheExtentBottomLeftAnchored) {
    ViewTransform t;
    t.SetClientSize(240, 300);
    t.SetExtent(CDoubleRect(0, 0, 100, 100));
    ASSERT_TRUE(t.Fit());
    EXPECT_DOUBLE_EQ(t.XScale(), 2.4);
    EXPECT_DOUBLE_EQ(t.YScale(), 2.4);
    const CDoubleRect& e = t.Extent();
    EXPECT_DOUBLE_EQ(e.xmin, 0);
    EXPECT_DOUBLE_EQ(e.ymin, 0);
    EXPECT_DOUBLE_EQ(e.xmax, 100);
    EXPECT_NEAR(e.ymax, 125, 1e-9);
    double x, y;
    t.ScreenToMap(0, 300, x, y);
    EXPECT_DOUBLE_EQ(x, 0);
    EXPECT_DOUBLE_EQ(y, 0);
    int px, py;
    t.MapToScreen(100, 125, px, py);
    EXPECT_EQ(px, 240);
    EXPECT_EQ(py, 0);
    // Truncation toward zero on both sides of the origin.
    t.MapToScreen(0.9 / 2.4, 0, px, py);
    EXPECT_EQ(px, 0);
    t.MapToScreen(-0.9 / 2.4, 0, px, py);
    EXPECT_EQ(px, 0);
    // Far outside the 32-bit range: held at its ends.
    t.MapToScreen(1e300, -1e300, px, py);
    EXPECT_EQ(px, INT_MAX);
    EXPECT_EQ(py, INT_MAX);
    t.MapToScreen(-1e300, 1e300, px, py);
    EXPECT_EQ(px, INT_MIN);
    EXPECT_EQ(py, 300 - INT_MAX);
    RECT r{0, 0, 240, 300};
    CDoubleRect back = t.ScreenRectToMap(r);
    EXPECT_EQ(back, t.Extent());
}

TEST(ViewTransformTest, KeepsTheLastTransformWithoutAreaOrFiniteExtent) {
    ViewTransform t;
    t.SetClientSize(240, 300);
    t.SetExtent(CDoubleRect(0, 0, 100, 100));
    ASSERT_TRUE(t.Fit());
    const CDoubleRect fitted = t.Extent();
    t.SetExtent(CDoubleRect(0, 0, kNaN, 100));  // refused
    EXPECT_EQ(t.Extent(), fitted);
    t.SetClientSize(0, 300);
    t.SetExtent(CDoubleRect(0, 0, 10, 10));
    EXPECT_FALSE(t.Fit());
    EXPECT_DOUBLE_EQ(t.XScale(), 2.4);
    t.SetClientSize(240, 300);
    t.SetExtent(CDoubleRect(0, 0, 1e-320, 1e-320));  // a scale past the doubles
    EXPECT_FALSE(t.Fit());
    EXPECT_DOUBLE_EQ(t.XScale(), 2.4);
}

TEST_F(MapViewTransform, WideWindowGrowsAlongX) {
    OpenView(300, 100);
    view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    EXPECT_DOUBLE_EQ(view_->GetXScale(), 1.0);
    // 300 map units across, centred on the extent asked for.
    EXPECT_DOUBLE_EQ(view_->GetExtent().xmin, -100);
    EXPECT_DOUBLE_EQ(view_->GetExtent().xmax, 200);
    EXPECT_DOUBLE_EQ(view_->GetExtent().ymin, 0);
    EXPECT_DOUBLE_EQ(view_->GetExtent().ymax, 100);
}

TEST(ViewTransformTest, ZeroWidthExtentIsWidened) {
    ViewTransform t;
    t.SetClientSize(240, 300);
    t.SetExtent(CDoubleRect(5, 5, 5, 5));
    ASSERT_TRUE(t.Fit());
    // 0.2 map units across 240 pixels; the bottom-left corner stays.
    EXPECT_NEAR(t.XScale(), 1200, 1e-9);
    EXPECT_DOUBLE_EQ(t.Extent().xmin, 5);
    EXPECT_DOUBLE_EQ(t.Extent().ymin, 5);
    EXPECT_NEAR(t.Extent().xmax, 5.2, 1e-12);
}

TEST_F(MapViewTransform, MinimisedAndBackLeavesNoNaNInTheSavedMap) {
    AddLayer(new CFillLayer(0xFF0000, {CDoubleRect(0, 0, 100, 100)}));
    OpenView();
    CDoubleRect before = view_->GetExtent();
    double tolerance = view_->GetPenTolerance();
    SetWindowPos(View(), nullptr, 0, 0, 0, 0, SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    EXPECT_EQ(view_->GetExtent(), before);
    EXPECT_EQ(view_->GetPenTolerance(), tolerance);
    EXPECT_EQ(view_->GetBufferBitmap(), nullptr);
    Command(ID_VIEW_FIXEDZOOMIN);
    SetWindowPos(View(), nullptr, 0, 0, 240, 300, SWP_NOZORDER | SWP_NOMOVE);
    Pump();
    Command(ID_VIEW_FIXEDZOOMIN);
    ASSERT_TRUE(FiniteExtent(view_->GetExtent()));
    ASSERT_TRUE(FiniteExtent(doc_.GetMapExtent()));
    ASSERT_TRUE(doc_.WriteMapFile(u"\\Docs\\m.znm"));
    std::string saved = Get("Docs/m.znm");
    EXPECT_EQ(saved.find("nan"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("inf"), std::string::npos) << saved;
    CMapDoc again;
    ASSERT_TRUE(again.ReadMapFile(u"\\Docs\\m.znm", false));
    EXPECT_TRUE(FiniteExtent(again.GetMapExtent()));
    EXPECT_NEAR(again.GetMapExtent().xmin, view_->GetExtent().xmin, 1e-6);
}

TEST_F(MapViewTransform, HistoryKeepsNinePreviousExtentsAndNeverLowersTheTop) {
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    view_->ZoomPrevious();  // at 0: nothing
    EXPECT_EQ(view_->GetHistoryPosition(), 0);
    std::vector<CDoubleRect> shown;
    for (int i = 0; i < 10; ++i) {
        shown.push_back(view_->GetExtent());
        view_->Pan(10, 0, true);
    }
    EXPECT_EQ(view_->GetHistoryPosition(), 9);
    EXPECT_EQ(view_->GetHistoryTop(), 9);
    // Nine steps back reach the second extent; the first was dropped.
    for (int i = 0; i < 9; ++i) view_->ZoomPrevious();
    EXPECT_EQ(view_->GetHistoryPosition(), 0);
    EXPECT_NEAR(view_->GetExtent().xmin, shown[1].xmin, 1e-9);
    view_->ZoomPrevious();
    EXPECT_NEAR(view_->GetExtent().xmin, shown[1].xmin, 1e-9);
    // Forward to the top; Next there does nothing.
    for (int i = 0; i < 9; ++i) view_->ZoomNext();
    CDoubleRect top = view_->GetExtent();
    view_->ZoomNext();
    EXPECT_EQ(view_->GetExtent(), top);
    // Back two, a new zoom: the top stays, so Next reaches an older entry.
    view_->ZoomPrevious();
    view_->ZoomPrevious();
    EXPECT_EQ(view_->GetHistoryPosition(), 7);
    view_->Pan(0, 50, true);
    EXPECT_EQ(view_->GetHistoryPosition(), 8);
    EXPECT_EQ(view_->GetHistoryTop(), 9);
    view_->ZoomNext();
    EXPECT_EQ(view_->GetHistoryPosition(), 9);
    EXPECT_NEAR(view_->GetExtent().xmin, top.xmin, 1e-9);
}

TEST_F(MapViewTransform, ZoomToExtentMarginsAndBadInput) {
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    CDoubleRect start = view_->GetExtent();
    int pos = view_->GetHistoryPosition();
    // The empty marker, NaN and infinity change nothing and record nothing.
    CDoubleRect empty;
    empty.SetEmpty();
    for (const CDoubleRect& bad :
         {empty, CDoubleRect(kNaN, 0, 1, 1), CDoubleRect(0, 0, INFINITY, 1)}) {
        view_->ZoomToExtent(bad, true, 1.0);
        EXPECT_EQ(view_->GetExtent(), start);
        EXPECT_EQ(view_->GetHistoryPosition(), pos);
    }
    // Inverted corners are the same extent.
    view_->ZoomToExtent(CDoubleRect(60, 80, 20, 40), false, 1.0);
    double cx, cy;
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, 40, 1e-9);
    EXPECT_NEAR(cy, 60, 1e-9);
    EXPECT_DOUBLE_EQ(view_->GetXScale(), 6.0);
    // Margin 1.5 widens by a quarter of the width on each side.
    view_->ZoomToExtent(CDoubleRect(0, 0, 40, 40), false, 1.5);
    EXPECT_DOUBLE_EQ(view_->GetXScale(), 4.0);
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, 20, 1e-9);
    EXPECT_NEAR(cy, 20, 1e-9);
    // A point: 5 % of the old extent on each side, centred on the point.
    double oldWidth = view_->GetExtent().xmax - view_->GetExtent().xmin;
    view_->ZoomToExtent(CDoubleRect(7, 7, 7, 7), false, 1.0);
    EXPECT_NEAR(view_->GetExtent().xmax - view_->GetExtent().xmin, oldWidth * 0.1, 1e-9);
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, 7, 1e-9);
    EXPECT_NEAR(cy, 7, 1e-9);
}

TEST_F(MapViewTransform, MapScaleOnProjectedAndGeographicMaps) {
    // UTM in metres: 240 px at 96 dpi are 0.0635 m of screen.
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenView();
    view_->ZoomToExtent(CDoubleRect(500000, 0, 500000 + 6350, 6350), false, 1.0);
    EXPECT_NEAR(view_->GetMapScale(false), 100000, 1e-6);
    EXPECT_EQ(mainWindow_.scaleTexts.back(), u"1:100000");
    // SetMapScale doubles the extent about its centre.
    double cx0, cy0;
    view_->GetExtent().GetCenter(cx0, cy0);
    view_->SetMapScale(200000);
    EXPECT_NEAR(view_->GetMapScale(false), 200000, 1e-6);
    double cx, cy;
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, cx0, 1e-6);
    EXPECT_NEAR(cy, cy0, 1e-6);
    EXPECT_EQ(mainWindow_.scaleTexts.back(), u"1:200000");
    // A narrower window shows the same ground smaller: the pane follows
    // the resize.
    MoveWindow(View(), 0, 0, 200, 300, true);
    Pump();
    EXPECT_NEAR(view_->GetMapScale(false), 240000, 1e-6);
    EXPECT_EQ(mainWindow_.scaleTexts.back(), u"1:240000");
    // Denominators that are no scale beep and change nothing.
    CDoubleRect before = view_->GetExtent();
    size_t beeps = win::BeepLog().size();
    for (double bad : {0.0, -5.0, kNaN}) view_->SetMapScale(bad);
    EXPECT_EQ(view_->GetExtent(), before);
    std::vector<UINT> log = win::BeepLog();
    ASSERT_EQ(log.size(), beeps + 3);
    for (size_t i = beeps; i < log.size(); ++i) EXPECT_EQ(log[i], 0x30u);
}

TEST_F(MapViewTransform, MapScaleInSurveyFeet) {
    CCoordSys* cs = MakeCoordSys(kUtm33Wkt);
    ASSERT_TRUE(cs->SetProjectionUnit(9003));  // US survey foot
    UseCoordSys(cs);
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 6350, 6350), false, 1.0);
    // projinfo: 1 US survey foot = 0.304800609601219 m.
    EXPECT_NEAR(view_->GetMapScale(false), 100000 * 0.304800609601219, 1e-3);
}

TEST_F(MapViewTransform, GeographicScaleUsesTheEllipsoidalWidthAlongTheCentre) {
    OpenView();  // the default map is geographic WGS 1984
    ASSERT_EQ(doc_.GetMapCoordSys()->m_projectionCode, 43000);
    view_->ZoomToExtent(CDoubleRect(10, 40, 12, 42.5), false, 1.0);
    const CDoubleRect& e = view_->GetExtent();
    double cy = e.ymin + (e.ymax - e.ymin) * 0.5;
    char cmd[200];
    std::snprintf(cmd, sizeof cmd, "echo %.12f %.12f %.12f %.12f | GeodSolve -i -p 9", cy, e.xmin,
                  cy, e.xmax);
    const std::string geod = testsupport::RunCommand(cmd);
    double a1, a2, s12 = 0;
    ASSERT_EQ(std::sscanf(geod.c_str(), "%lf %lf %lf", &a1, &a2, &s12), 3) << geod;
    const double expected = s12 / (0.0254 / 96 * 240);
    EXPECT_NEAR(view_->GetMapScale(false), expected, expected * 1e-7);
}

TEST_F(MapViewTransform, RoundedScaleTable) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenView();
    const double screen = 0.0254 / 96 * 240;
    struct Case {
        double scale, rounded;
    } cases[] = {{12345.67, 12345}, {5.678, 5.6}, {0.456, 0.45}};
    for (const Case& c : cases) {
        const double w = c.scale * screen;
        view_->ZoomToExtent(CDoubleRect(500000, 0, 500000 + w, w), false, 1.0);
        EXPECT_NEAR(view_->GetMapScale(true), c.rounded, 1e-9) << c.scale;
    }
}

TEST_F(MapViewTransform, GroundDistanceConvertsMetresToMapUnits) {
    CCoordSys* cs = MakeCoordSys(kUtm33Wkt);
    ASSERT_TRUE(cs->SetProjectionUnit(9002));  // international foot
    UseCoordSys(cs);
    OpenView();
    view_->ZoomToExtent(CDoubleRect(0, 0, 100, 100), false, 1.0);
    // 30.48 m are 100 ft, 240 px.
    EXPECT_EQ(view_->GroundDistanceToPixels(30.48, 0), 240);
}

}  // namespace
