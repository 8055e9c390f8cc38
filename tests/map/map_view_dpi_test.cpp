// The map view on a screen of 192 dots per inch (display scale 2): every
// fixed size the view draws with doubles (scale bar, panning frame and its
// arrows, selection box, vertex markers, destination, interrupt banner),
// one-pixel lines stay one pixel, and the scale bar's "1:N" text is whole.
#include <algorithm>

#include "core/window_helpers.h"
#include "map/services/preferences.h"
#include "map/symbology/font_attributes.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "tests/map/view_harness.h"

namespace {

constexpr COLORREF kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0x0000FF, kBlue = 0xFF0000,
                   kGrey = 0xC0C0C0;
constexpr int kW = 480, kH = 600;

class MapViewAt192 : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        SetDpi(192);
        win::SetScreenSize(480, 640);
    }
    void TearDown() override {
        ViewHarness::TearDown();
        SetDpi(96);
    }
    static void SetDpi(int dpi) {
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, dpi, dpi});
        ResetFontMetricsForTests();
        ResetScreenDpiForTests();
    }
    std::vector<COLORREF> px_;
    COLORREF At(int x, int y) const { return px_[static_cast<size_t>(y * kW + x)]; }
};

TEST_F(MapViewAt192, ScaleBarAndPanningFrameDoubleAndTheScaleTextIsWhole) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    GetPreferences()->Data().display.panframe = true;
    OpenView(kW, kH);
    // 480 pixels at 192 dpi are 0.0635 m of screen: 6350 m wide is 1:100000.
    view_->ZoomToExtent(CDoubleRect(500000, 0, 506350, 6350), false, 1.0);
    Pump();
    ASSERT_NEAR(view_->GetMapScale(false), 100000, 1e-6);
    px_ = Client();

    // The bar: 24 in from the left, 22 up (inside the frame), 16 high, 100
    // short of the right margin for the text; quarter 107, middle 190.
    RECT bar = view_->ScaleBarRect();
    EXPECT_EQ(bar.left, 24);
    EXPECT_EQ(bar.top, 562);
    EXPECT_EQ(bar.right, 356);
    EXPECT_EQ(bar.bottom, 578);
    struct Probe {
        int x, y;
        COLORREF c;
    } probes[] = {{60, 565, kBlack},  {60, 574, kWhite},  {150, 565, kWhite}, {150, 574, kBlack},
                  {250, 565, kBlack}, {250, 574, kWhite}, {24, 574, kBlack},  {355, 574, kBlack},
                  {356, 574, kWhite}, {60, 577, kBlack},  {60, 578, kWhite},  {60, 562, kBlack}};
    for (const Probe& p : probes) EXPECT_EQ(At(p.x, p.y), p.c) << p.x << "," << p.y;

    // "1:100000" from 2 * 2 pixels right of the bar, bottom on the bar's
    // bottom, in Tahoma 8 pt (21 pixels at 192 dpi): all of it inside the
    // frame, its last glyph drawn.
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFont(-21, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Tahoma");
    HFONT old = SelectObject(dc, font);
    SIZE text{};
    GetTextExtentPoint32(dc, u"1:100000", 8, &text);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    int textLeft = bar.right + 4, textRight = textLeft + text.cx;
    ASSERT_GT(text.cx, 50);  // wider than the reserve at 96 dpi
    EXPECT_LE(textRight, kW - 20);
    int lastGlyph = 0, outside = 0;
    for (int y = 578 - text.cy; y < 578; ++y)
        for (int x = textLeft; x < kW - 20; ++x) {
            bool ink = At(x, y) != kWhite;
            if (x >= textRight - 6 && x < textRight) lastGlyph += ink;
            if (x >= textRight) outside += ink;
        }
    EXPECT_GT(lastGlyph, 5);
    EXPECT_EQ(outside, 0);

    // The frame is 20 pixels wide; its bevel lines are one pixel.
    EXPECT_EQ(At(5, 200), kGrey);
    EXPECT_EQ(At(19, 200), kGrey);
    EXPECT_EQ(At(20, 200), kWhite);   // inner left
    EXPECT_EQ(At(240, 20), kWhite);   // inner top
    EXPECT_EQ(At(460, 300), kBlack);  // inner right
    EXPECT_EQ(At(461, 300), kGrey);
    EXPECT_EQ(At(240, 580), kBlack);  // inner bottom
    EXPECT_EQ(At(240, 581), kGrey);
    // The eight arrows: each pixel of the 8x8 picture a 2x2 block, at twice
    // their places; where the picture is transparent the frame shows (the
    // last arrow's corner pixel is the end of the black bevel line).
    HIMAGELIST native =
        ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(326), 8, 0, 0xFF00FF);
    ASSERT_NE(native, nullptr);
    const POINT at[8] = {{232, 4}, {232, 582}, {0, 292}, {462, 292},
                         {4, 4},   {460, 4},   {4, 580}, {460, 580}};
    for (int i = 0; i < 8; ++i)
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                COLORREF want = win::ImageListPixel(native, i, x / 2, y / 2);
                int sx = at[i].x + x, sy = at[i].y + y;
                if (want == CLR_NONE) want = (sx == 460 && sy == 580) ? kBlack : kGrey;
                ASSERT_EQ(At(sx, sy), want) << "arrow " << i << " at " << x << "," << y;
            }
    ImageList_Destroy(native);
}

TEST_F(MapViewAt192, SelectionMarkersAndDestinationDouble) {
    ASSERT_TRUE(ShellIn("d",
                        "shpcreate sq polygon && shpadd sq 10 10 10 40 40 40 40 10 10 10 && "
                        "dbfcreate sq -s NAME 10 && dbfadd sq a"));
    MakePointShapefile("d", "pts", {"60 60"});
    CLayer* points = OpenShapefileView({"sq", "pts"}, kW, kH);
    ASSERT_NE(points, nullptr);
    CLayer* square = nullptr;
    for (int i = 0; i < doc_.GetLayers().GetCount(); ++i)
        if (doc_.GetLayers().GetAt(i) != points) square = doc_.GetLayers().GetAt(i);
    ASSERT_NE(square, nullptr);

    // A point's box: 10 pixels out on each side.
    doc_.GetLayers().SetCurrentFeature(points, 0);
    Repaint();
    RECT box = view_->GetTracker().m_rect;
    EXPECT_EQ(box.right - box.left, 20);
    EXPECT_EQ(box.bottom - box.top, 20);

    // Tolerance 5 reaches 10 pixels; the markers are 12 out, the handles 24.
    EXPECT_EQ(view_->GetVertexMarkerSize(), 12);
    EXPECT_EQ(view_->GetTracker().GetHandleSize(), 24);
    EXPECT_DOUBLE_EQ(view_->GetPenTolerance(), 10 / view_->GetXScale());
    square->SetFeatureSizing(true);
    square->SetVertexMoving(true);
    doc_.GetLayers().SetCurrentFeature(square, 0);
    view_->SetCurrentTool(kToolVertexEdit);
    Repaint();
    px_ = Client();
    int s = 12, x, y;
    view_->MapToScreen(40, 40, x, y);  // a vertex that is not the first
    EXPECT_EQ(At(x, y), kWhite);
    EXPECT_EQ(At(x - s, y - s), kBlue);
    EXPECT_EQ(At(x + s - 1, y + s - 1), kBlue);
    EXPECT_NE(At(x - s - 1, y - s - 1), kBlue);
    EXPECT_NE(At(x - s + 1, y - s + 1), kBlue);
    // The first vertex: a band of squares from s - 2 to s + 2.
    view_->MapToScreen(10, 10, x, y);
    for (int d = -2; d <= 2; ++d) EXPECT_EQ(At(x - s - d, y - s - d), kBlue) << d;
    EXPECT_NE(At(x - s - 3, y - s - 3), kBlue);
    EXPECT_NE(At(x - s + 3, y - s + 3), kBlue);
    // The highlight outline is 6 pixels wide (across the top edge).
    view_->MapToScreen(25, 40, x, y);
    int outline = 0;
    for (int d = -6; d <= 6; ++d) outline += At(x, y + d) == kRed;
    EXPECT_EQ(outline, 6);

    // The destination: a circle of radius 4, the label from x + 2.
    view_->SetCurrentTool(kToolVertexEdit);  // off again
    doc_.GetLayers().SetCurrentFeature(nullptr, -1);
    view_->SetGoToDestination(70, 20, nullptr);
    Repaint();
    px_ = Client();
    view_->MapToScreen(70, 20, x, y);
    EXPECT_EQ(At(x, y - 4), kBlack);
    EXPECT_EQ(At(x - 5, y), kWhite);
    EXPECT_EQ(At(x + 1, y + 1), kWhite);  // inside the circle
    EXPECT_EQ(At(x + 2, y), kBlack);      // the label's cell
}

TEST_F(MapViewAt192, InterruptBannerStartsFortyPixelsDown) {
    auto* slow = new viewtest::CFillLayer(kBlue, {CDoubleRect(0, 0, 100, 100)});
    AddLayer(slow);
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView(kW, kH);
    std::vector<COLORREF> clean = Client();
    InterruptedRefresh(slow, POINT{240, 300});
    ASSERT_TRUE(view_->IsDrawingInterrupted());
    px_ = Client();
    int firstRow = kH, lastRow = 0, red = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            if (At(x, y) != clean[static_cast<size_t>(y * kW + x)]) {
                firstRow = std::min(firstRow, y);
                lastRow = std::max(lastRow, y);
                red += At(x, y) == kRed;
            }
    EXPECT_EQ(firstRow, 40);
    // The text in the DC's font (12 pixels at 96 dpi) at twice its height.
    EXPECT_GE(lastRow - firstRow + 1, 24);
    EXPECT_GT(red, 1000);
}

// A zoom drag: the band is six pixels wide mid-drag, boxes narrower than 16
// pixels zoom by the fixed factor and 16 pixels zoom to the box.
TEST_F(MapViewAt192, AZoomDragShowsASixPixelBandAndZoomsToBoxesFromSixteenPixels) {
    AddLayer(new viewtest::CFillLayer(kBlue, {CDoubleRect(0, 0, 480, 600)}));
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    UseExtent(CDoubleRect(0, 0, 480, 600));
    OpenView(kW, kH);
    view_->ZoomToExtent(CDoubleRect(0, 0, 480, 600), false, 1.0);
    Pump();
    view_->SetCurrentTool(kToolZoomIn);
    const CDoubleRect start = view_->GetExtent();
    auto drag = [&](POINT from, POINT to, std::vector<COLORREF>* during) {
        clock_.Advance(1000);
        win::input::Gesture g;
        g.Down(0, View(), from).Move(10, View(), POINT{(from.x + to.x) / 2, (from.y + to.y) / 2});
        g.Move(20, View(), to);
        if (during) g.Probe(30, [&] { *during = Client(); });
        g.Up(40, View(), to);
        win::input::Play(g);
        Pump();
    };
    std::vector<COLORREF> before = Client(), during;
    drag(POINT{100, 100}, POINT{300, 300}, &during);
    // Across the box's left edge, half-way down: one run of six pixels.
    int changed = 0, first = -1, last = -1;
    for (int x = 80; x < 120; ++x) {
        size_t i = static_cast<size_t>(200 * kW + x);
        if (during[i] == before[i]) continue;
        ++changed;
        if (first < 0) first = x;
        last = x;
    }
    EXPECT_EQ(changed, 6);
    EXPECT_EQ(last - first + 1, 6);
    ASSERT_LT(view_->GetExtent().xmax - view_->GetExtent().xmin, start.xmax - start.xmin);

    // 15 by 80: the fixed factor at the box's centre.
    view_->ZoomPrevious();
    Pump();
    drag(POINT{100, 100}, POINT{115, 180}, nullptr);
    EXPECT_NEAR(view_->GetExtent().xmax - view_->GetExtent().xmin, (start.xmax - start.xmin) / 2, 1e-9);
    // 16 by 80: the box itself.
    view_->ZoomPrevious();
    Pump();
    CDoubleRect box = view_->ScreenRectToMap(RECT{100, 100, 116, 180});
    drag(POINT{100, 100}, POINT{116, 180}, nullptr);
    CDoubleRect zoomed = view_->GetExtent();
    view_->ZoomPrevious();
    view_->ZoomToExtent(box, false, 1.0);
    EXPECT_EQ(zoomed.xmin, view_->GetExtent().xmin);
    EXPECT_EQ(zoomed.ymax, view_->GetExtent().ymax);
    EXPECT_EQ(zoomed.xmax, view_->GetExtent().xmax);
}

}  // namespace
