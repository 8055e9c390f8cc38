// The navigation and measure tools through whole gestures: zoom boxes and
// taps, pan drags (and one broken off by a message box), the panning
// frame's taps, the measure tool's clicks, and choosing tools.
#include <cmath>

#include "map/services/preferences.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;
using Gesture = win::input::Gesture;

class MapTools : public viewtest::ViewHarness {
protected:
    void Open() {
        AddLayer(new CFillLayer(0x3060A0, {CDoubleRect(20, 20, 120, 200)}));
        UseCoordSys(MakeCoordSys(kUtm33Wkt));
        UseExtent(CDoubleRect(0, 0, 240, 300));
        OpenView();
        view_->ZoomToExtent(CDoubleRect(0, 0, 240, 300), false, 1.0);
        Pump();
        SetMeasureInfoRunner([this](HWND, const MeasureTexts& t) { measured_.push_back(t); });
    }
    void TearDown() override {
        SetMeasureInfoRunner(nullptr);
        GetPreferences()->Data().display.panframe = false;
        ViewHarness::TearDown();
    }
    void Drag(POINT from, POINT to) {
        clock_.Advance(1000);
        win::input::Play(Gesture()
                             .Down(0, View(), from)
                             .Move(10, View(), POINT{(from.x + to.x) / 2, (from.y + to.y) / 2})
                             .Move(20, View(), to)
                             .Up(30, View(), to));
        Pump();
    }
    void Click(POINT at) {
        clock_.Advance(1000);
        win::input::TapAt(View(), at);
        Pump();
    }
    static void ExpectSameExtent(const CDoubleRect& a, const CDoubleRect& b) {
        EXPECT_EQ(a.xmin, b.xmin);
        EXPECT_EQ(a.ymin, b.ymin);
        EXPECT_EQ(a.xmax, b.xmax);
        EXPECT_EQ(a.ymax, b.ymax);
    }
    std::vector<MeasureTexts> measured_;
};

TEST_F(MapTools, ChoosingAToolTwiceLeavesNone) {
    Open();
    EXPECT_TRUE(view_->SetCurrentTool(kToolZoomIn));
    EXPECT_EQ(view_->GetCurrentTool(), kToolZoomIn);
    EXPECT_FALSE(view_->SetCurrentTool(kToolZoomIn));
    EXPECT_EQ(view_->GetCurrentTool(), kToolNone);
    // Through the command, as the browse bar chooses it.
    Command(1800);
    EXPECT_EQ(view_->GetCurrentTool(), kToolZoomIn);
    Command(1800);
    EXPECT_EQ(view_->GetCurrentTool(), kToolNone);
}

TEST_F(MapTools, ZoomBoxesBelowEightPixelsZoomByTheFixedFactorAtTheirCentre) {
    Open();
    view_->SetCurrentTool(kToolZoomIn);
    const CDoubleRect start = view_->GetExtent();
    // 7 by 40: a tap-sized box zooms in by the fixed factor at its centre.
    CDoubleRect box = view_->ScreenRectToMap(RECT{50, 60, 57, 100});
    double cx, cy;
    box.GetCenter(cx, cy);
    Drag(POINT{50, 60}, POINT{57, 100});
    CDoubleRect e = view_->GetExtent();
    EXPECT_NEAR((e.xmax - e.xmin), (start.xmax - start.xmin) * 0.5, 1e-9);
    EXPECT_NEAR((e.xmin + e.xmax) / 2, cx, 1e-9);
    EXPECT_NEAR((e.ymin + e.ymax) / 2, cy, 1e-9);
    // Back, then 8 by 40 (dragged up and left): zooms to the box itself.
    view_->ZoomPrevious();
    Pump();
    ExpectSameExtent(view_->GetExtent(), start);
    box = view_->ScreenRectToMap(RECT{50, 60, 58, 100});
    Drag(POINT{58, 100}, POINT{50, 60});
    CDoubleRect zoomed = view_->GetExtent();
    view_->ZoomPrevious();
    view_->ZoomToExtent(box, false, 1.0);
    ExpectSameExtent(zoomed, view_->GetExtent());
}

TEST_F(MapTools, ZoomOutShrinksTheExtentIntoTheDraggedBox) {
    Open();
    view_->SetCurrentTool(kToolZoomOut);
    const CDoubleRect start = view_->GetExtent();
    // A 60 by 75 box (a quarter of the width): the extent becomes four times
    // as wide, centred on the box.
    CDoubleRect box = view_->ScreenRectToMap(RECT{100, 100, 160, 175});
    Drag(POINT{100, 100}, POINT{160, 175});
    CDoubleRect e = view_->GetExtent();
    double w = start.xmax - start.xmin;
    EXPECT_NEAR(e.xmax - e.xmin, w * w / (box.xmax - box.xmin), 1e-6);
    EXPECT_NEAR((e.xmin + e.xmax) / 2, (box.xmin + box.xmax) / 2, 1e-9);
    // A small box zooms out by the fixed factor.
    view_->ZoomPrevious();
    Drag(POINT{100, 100}, POINT{103, 140});
    EXPECT_NEAR(view_->GetExtent().xmax - view_->GetExtent().xmin, w * 2, 1e-9);
}

TEST_F(MapTools, APanDragMovesTheExtentAndZoomPreviousGivesItBack) {
    Open();
    view_->SetCurrentTool(kToolPan);
    const CDoubleRect start = view_->GetExtent();
    int history = view_->GetHistoryTop();
    Drag(POINT{100, 100}, POINT{110, 100});
    CDoubleRect e = view_->GetExtent();
    double dx = 10 / view_->GetXScale();
    EXPECT_NEAR(e.xmin, start.xmin - dx, 1e-9);
    EXPECT_NEAR(e.xmax, start.xmax - dx, 1e-9);
    EXPECT_NEAR(e.ymin, start.ymin, 1e-9);
    EXPECT_EQ(view_->GetHistoryTop(), history + 1);
    EXPECT_EQ(GetCapture(), nullptr);
    Command(ID_VIEW_ZOOMPREVIOUS);
    ExpectSameExtent(view_->GetExtent(), start);
}

TEST_F(MapTools, AMessageBoxInTheMiddleOfAPanDragLeavesTheMapRepaintedWhereItWas) {
    Open();
    view_->SetCurrentTool(kToolPan);
    const CDoubleRect start = view_->GetExtent();
    std::vector<COLORREF> before = Client();
    int history = view_->GetHistoryTop();
    SetTimer(frame_, 3, 15, [](HWND h, UINT, uintptr_t id, DWORD) {
        KillTimer(h, id);
        MessageBox(h, u"Poor GPS fix", u"Zarnip", MB_OK);
    });
    clock_.Advance(1000);
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{100, 100})
                         .Move(10, View(), POINT{130, 120})
                         .Move(30, View(), POINT{150, 140})
                         .Up(40, View(), POINT{150, 140}));
    Pump();
    EXPECT_EQ(win::MessageBoxLog().size(), 1u);
    ExpectSameExtent(view_->GetExtent(), start);
    EXPECT_EQ(view_->GetHistoryTop(), history);
    EXPECT_EQ(Client(), before);  // drawing is back on and the map painted
    // The next drag pans again.
    Drag(POINT{100, 100}, POINT{110, 100});
    EXPECT_NEAR(view_->GetExtent().xmin, start.xmin - 10 / view_->GetXScale(), 1e-9);
}

TEST_F(MapTools, ThePanningFrameHitsAndPansOnPenUpWhateverTheTool) {
    GetPreferences()->Data().display.panframe = true;
    Open();
    view_->OnPreferencesChanged();
    RECT c{0, 0, 240, 300};
    // The band is 11 pixels wide (the frame's inner rectangle).
    struct Case {
        POINT p;
        int direction;
    } cases[] = {
        {{0, 0}, 4},     {{239, 0}, 5},   {{0, 299}, 6},    {{239, 299}, 7}, {{120, 2}, 0},
        {{120, 297}, 1}, {{2, 150}, 2},   {{237, 150}, 3},  {{120, 150}, -1},
    };
    for (const Case& k : cases) EXPECT_EQ(view_->HitTestPanningFrame(k.p), k.direction) << k.p.x << "," << k.p.y;
    (void)c;
    for (MapToolId tool : {kToolNone, kToolZoomIn, kToolMeasure}) {
        if (tool != kToolNone) view_->SetCurrentTool(tool);
        const CDoubleRect start = view_->GetExtent();
        Click(POINT{1, 1});
        CDoubleRect e = view_->GetExtent();
        double w = start.xmax - start.xmin, h = start.ymax - start.ymin;
        EXPECT_NEAR(e.xmin, start.xmin - w / 6, 1e-9) << tool;
        EXPECT_NEAR(e.ymin, start.ymin + h / 6, 1e-9) << tool;
        if (tool != kToolNone) view_->SetCurrentTool(tool);
    }
    GetPreferences()->Data().display.panframe = false;
    view_->OnPreferencesChanged();
    EXPECT_EQ(view_->HitTestPanningFrame(POINT{0, 0}), -1);
}

TEST_F(MapTools, MeasureClicksAddVerticesAndTurningItOffShowsTheMeasurement) {
    Open();
    Command(1811);
    ASSERT_EQ(view_->GetCurrentTool(), kToolMeasure);
    Click(POINT{20, 20});
    Click(POINT{120, 20});
    Click(POINT{120, 20});  // the same pixel again: one vertex
    EXPECT_EQ(view_->GetSketch().Count(), 2);
    // A drag from the last vertex adds its end.
    Drag(POINT{100, 100}, POINT{120, 220});
    EXPECT_EQ(view_->GetSketch().Count(), 3);
    // Escape in the middle of a segment adds nothing.
    clock_.Advance(1000);
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{50, 50})
                         .Move(10, View(), POINT{60, 60})
                         .KeyDown(20, VK_ESCAPE)
                         .KeyUp(25, VK_ESCAPE)
                         .Up(30, View(), POINT{60, 60}));
    Pump();
    EXPECT_EQ(view_->GetSketch().Count(), 3);
    const SketchVertex& v = view_->GetSketch().Vertices()[1];
    double x, y;
    view_->ScreenToMap(120, 20, x, y);
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, 0);
    EXPECT_EQ(v.m, kNoDataMeasure);
    // Off: measured (100 m along x then 200 down), emptied.
    Command(1811);
    EXPECT_EQ(view_->GetCurrentTool(), kToolNone);
    ASSERT_EQ(measured_.size(), 1u);
    EXPECT_EQ(measured_[0].length, u"300.0m");
    EXPECT_EQ(view_->GetSketch().Count(), 0);
}

}  // namespace

namespace {

TEST_F(MapTools, ARadialMeasureOf100MetresAndAFreehandTrace) {
    Open();  // one metre a pixel
    Command(1812);
    Drag(POINT{100, 100}, POINT{160, 180});
    ASSERT_EQ(measured_.size(), 1u);
    EXPECT_EQ(measured_[0].kind, 2);
    EXPECT_EQ(measured_[0].distance, u"100.0m");
    EXPECT_EQ(measured_[0].length, u"628.3m");
    EXPECT_EQ(measured_[0].area, u"3.14 ha");  // pi * 10^4 m^2
    // Freehand: the trace is measured when the pen goes up (30 + 40 m).
    Command(1813);
    clock_.Advance(1000);
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{20, 20})
                         .Move(10, View(), POINT{50, 20})
                         .Move(20, View(), POINT{50, 60})
                         .Up(30, View(), POINT{50, 60}));
    Pump();
    ASSERT_EQ(measured_.size(), 2u);
    EXPECT_EQ(measured_[1].kind, 0);
    EXPECT_EQ(measured_[1].length, u"70.0m");
    EXPECT_EQ(measured_[1].distance, u"50.0m");
    EXPECT_EQ(view_->GetFreehandTrace().Count(), 0);
}

// A trace of 1100 distinct points (rows of one-pixel steps, one metre each)
// is measured over its first 999 only: 998 m, ending at the 999th point.
TEST_F(MapTools, AFreehandTraceMeasuresOnlyItsFirst999Points) {
    Open();
    Command(1813);
    auto at = [](int i) {
        int row = i / 200, col = i % 200;
        return POINT{row % 2 ? 219 - col : 20 + col, 20 + row};
    };
    Gesture g;
    g.Down(0, View(), at(0));
    for (int i = 1; i < 1100; ++i) g.Move(i, View(), at(i));
    g.Up(1100, View(), at(1099));
    clock_.Advance(1000);
    win::input::Play(g);
    Pump();
    ASSERT_EQ(measured_.size(), 1u);
    EXPECT_EQ(measured_[0].length, u"998.0m");
    double x, y;
    view_->ScreenToMap(at(998).x, at(998).y, x, y);
    EXPECT_EQ(measured_[0].to, text::Format(u"%.1lfE, %.1lfN", x, y));
    EXPECT_EQ(view_->GetFreehandTrace().Count(), 0);
}

}  // namespace
