// The satellite display drawn on a memory DC of our GDI, pixel for pixel:
// the sky plot's satellites and number boxes, the signal bars, the course
// dial, and the tap that cycles them.
#include "gps/sky_plot.h"

#include <cstring>

#include "platform/win/theme.h"
#include "platform/win/window.h"
#include "platform/win/winconst.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/gdi_picture.h"

namespace {

using gditest::Canvas;

GpsPosition Record() {
    GpsPosition p;
    std::memset(&p, 0, sizeof p);
    p.cog = std::numeric_limits<double>::lowest();
    return p;
}

void Satellite(GpsPosition& p, int prn, int elevation, int azimuth, double snr, bool used) {
    GpsSatellite& s = p.satellites[prn - 1];
    s.elevation = static_cast<int16_t>(elevation);
    s.azimuth = static_cast<int16_t>(azimuth);
    s.snr = snr;
    s.flags = ZN_GPS_SAT_IN_VIEW | (used ? ZN_GPS_SAT_USED : 0);
    ++p.satellitesInView;
}

// The legend of the pictures below, with 'f' the button face.
char Symbol(COLORREF c) {
    return c == GetSysColor(COLOR_BTNFACE) ? 'f' : gditest::Symbol(c);
}
std::vector<std::string> Crop(const Canvas& canvas, int left, int top, int width, int height) {
    std::vector<std::string> rows;
    for (int y = top; y < top + height; ++y) {
        std::string row;
        for (int x = left; x < left + width; ++x) row.push_back(Symbol(canvas.At(x, y)));
        rows.push_back(row);
    }
    return rows;
}

// The digits as the bitmap holds them: 4 x 7 glyphs in 5 x 7 cells.
const char* const kDigits[10][7] = {
    {".##.", "#..#", "#..#", "#..#", "#..#", "#..#", ".##."},
    {"..#.", ".##.", "..#.", "..#.", "..#.", "..#.", ".###"},
    {".##.", "#..#", "...#", "..#.", ".#..", "#...", "####"},
    {".##.", "#..#", "...#", "..#.", "...#", "#..#", ".##."},
    {"..#.", ".##.", "#.#.", "#.#.", "####", "..#.", "..#."},
    {"####", "#...", "###.", "...#", "...#", "#..#", ".##."},
    {".##.", "#...", "#...", "###.", "#..#", "#..#", ".##."},
    {"####", "...#", "...#", "..#.", ".#..", ".#..", ".#.."},
    {".##.", "#..#", "#..#", ".##.", "#..#", "#..#", ".##."},
    {".##.", "#..#", "#..#", ".###", "...#", "...#", ".##."},
};
// A cell as drawn: glyph pixels in `ink`, the rest `background`.
std::vector<std::string> Cell(int digit, char ink, char background) {
    std::vector<std::string> rows;
    for (const char* r : kDigits[digit]) {
        std::string row;
        for (int x = 0; x < 4; ++x) row.push_back(r[x] == '#' ? ink : background);
        row.push_back(background);
        rows.push_back(row);
    }
    return rows;
}

class SkyPlot : public MapTest {};

TEST_F(SkyPlot, SatellitesAtTheirPlacesInTheirColours) {
    // Control (4, 4)-(46, 47): the plot is (4, 4)-(46, 46), centre (25, 25),
    // radius 21.
    GpsPosition p = Record();
    Satellite(p, 7, 90, 0, 40.0, true);   // zenith: the centre, used: black
    Satellite(p, 3, 0, 90, 20.0, false);  // east horizon: right edge, weak: red
    Satellite(p, 12, 1, 0, 45.0, false);  // north, just above the horizon: the top, blue
    Satellite(p, 20, 0, 0, 45.0, false);  // no position: not drawn
    CSkyPlotCtrl plot;
    plot.SetData(p, GoToDestination{});
    Canvas canvas(52, 52);
    plot.Paint(canvas.dc, RECT{4, 4, 46, 47});
    EXPECT_EQ(gditest::Show(Crop(canvas, 23, 22, 5, 7)), gditest::Show(Cell(7, '.', '#')));
    EXPECT_EQ(gditest::Show(Crop(canvas, 44, 22, 5, 7)), gditest::Show(Cell(3, '.', 'r')));
    // Two digits centred: the tens 4 pixels left of x, the units at x.
    std::vector<std::string> twelve = Cell(1, '.', 'b');
    const std::vector<std::string> two = Cell(2, '.', 'b');
    for (int y = 0; y < 7; ++y) twelve[y] = twelve[y].substr(0, 4) + two[y];
    EXPECT_EQ(gditest::Show(Crop(canvas, 21, 1, 9, 7)), gditest::Show(twelve));
    // The bottom line of the control is left alone.
    for (int x = 4; x < 46; ++x) EXPECT_EQ(canvas.At(x, 46), gditest::kWhite) << x;
}

TEST_F(SkyPlot, BeyondTheZenithAndNoSignal) {
    GpsPosition p = Record();
    Satellite(p, 5, 95, 300, NAN, true);  // clamped to the zenith; no SNR: red
    CSkyPlotCtrl plot;
    plot.SetData(p, GoToDestination{});
    Canvas canvas(52, 52);
    plot.Paint(canvas.dc, RECT{4, 4, 46, 47});
    EXPECT_EQ(gditest::Show(Crop(canvas, 23, 22, 5, 7)), gditest::Show(Cell(5, '.', 'r')));
}

TEST_F(SkyPlot, ZenithAtTheCentreWithItsBox) {
    GpsPosition p = Record();
    Satellite(p, 7, 90, 0, 40.0, true);
    CSkyPlotCtrl plot;
    plot.SetData(p, GoToDestination{});
    Canvas canvas(52, 52);
    plot.Paint(canvas.dc, RECT{4, 4, 46, 47});
    // The box over the cross hairs, white on black; the lines run on beyond.
    std::vector<std::string> expected = {"...#..."};
    for (const std::string& row : Cell(7, '.', '#')) expected.push_back("." + row + ".");
    expected[4] = "#" + expected[4].substr(1, 5) + "#";  // the horizontal line, y = 25
    expected.push_back("...#...");
    EXPECT_EQ(gditest::Show(Crop(canvas, 22, 21, 7, 9)), gditest::Show(expected));
}

TEST_F(SkyPlot, SignalBars) {
    GpsPosition p = Record();
    Satellite(p, 2, 10, 10, 30.0, false);  // 0 %
    Satellite(p, 4, 10, 10, 45.0, false);  // 50 %
    Satellite(p, 9, 10, 10, 60.0, true);   // 100 %
    CSkyPlotCtrl plot;
    plot.SetMode(CSkyPlotCtrl::kSignalBars);
    plot.SetData(p, GoToDestination{});
    Canvas canvas(40, 32);
    plot.Paint(canvas.dc, RECT{0, 0, 40, 31});  // rows of 10, bars 11 high
    const std::vector<std::string> pic = Crop(canvas, 0, 0, 40, 32);
    // Row 1: no bar, the number on red at the left, centred on y = 5.
    EXPECT_EQ(gditest::Show(Crop(canvas, 0, 2, 5, 7)), gditest::Show(Cell(2, '.', 'r')));
    EXPECT_EQ(pic[0].substr(5), std::string(35, 'f'));
    // Row 2: a bar half the width, its number in black without a box.
    EXPECT_EQ(pic[10], std::string(20, '#') + std::string(20, 'f'));
    EXPECT_EQ(pic[20], std::string(40, '#'));  // bars are a row and one pixel high
    EXPECT_EQ(pic[16].substr(5, 16), std::string(14, '.') + "#f");
    std::vector<std::string> four = Cell(4, '#', '.');
    four[0][0] = four[1][0] = four[2][0] = four[3][0] = four[4][0] = four[5][0] = four[6][0] = '#';
    EXPECT_EQ(gditest::Show(Crop(canvas, 0, 12, 5, 7)), gditest::Show(four));
    // Row 3: the whole width.
    EXPECT_EQ(pic[21], "#" + std::string(38, '.') + "#");
    EXPECT_EQ(pic[30], std::string(40, '#'));

    // Rows under 8 pixels: no numbers.
    GpsPosition many = Record();
    for (int prn = 1; prn <= 5; ++prn) Satellite(many, prn, 10, 10, 20.0, false);
    plot.SetData(many, GoToDestination{});
    Canvas small(40, 32);
    plot.Paint(small.dc, RECT{0, 0, 40, 31});
    for (const std::string& row : Crop(small, 0, 0, 40, 30))
        EXPECT_EQ(row.find('r'), std::string::npos) << row;
}

TEST_F(SkyPlot, CourseDialAndDestination) {
    // Control 21 x 22: the dial is 21 x 21, centre (10, 10), R 10.
    GpsPosition p = Record();
    p.cog = 0;
    CSkyPlotCtrl plot;
    plot.SetMode(CSkyPlotCtrl::kCourseDial);
    plot.SetData(p, GoToDestination{});
    Canvas north(21, 22);
    plot.Paint(north.dc, RECT{0, 0, 21, 22});
    // The needle from (10, 1) to (10, 19), 3 wide at its tail.
    for (int y = 1; y <= 19; ++y) EXPECT_EQ(north.At(10, y), gditest::kBlack) << y;
    // The tail 1.5 to each side, rounded away from the axis: 8 to 12.
    for (int x = 8; x <= 12; ++x) EXPECT_EQ(north.At(x, 19), gditest::kBlack) << x;
    EXPECT_EQ(north.At(7, 19), gditest::kWhite);
    EXPECT_EQ(north.At(13, 19), gditest::kWhite);
    EXPECT_EQ(north.At(15, 6), gditest::kWhite);

    p.cog = 45;
    GoToDestination d;
    d.set = true;
    d.bearing = 90;
    plot.SetData(p, d);
    Canvas east(21, 22);
    plot.Paint(east.dc, RECT{0, 0, 21, 22});
    // The needle on the diagonal towards the north-east.
    for (int i = -5; i <= 6; ++i) {
        if (i != 0) EXPECT_EQ(east.At(10 + i, 10 - i), gditest::kBlack) << i;
    }
    EXPECT_EQ(east.At(14, 10 - 8), gditest::kWhite);
    // The red line east to 9.5 and the red dot there, outlined in black.
    for (int x = 11; x <= 16; ++x) EXPECT_EQ(east.At(x, 10), gditest::kRed) << x;
    EXPECT_EQ(east.At(19, 10), gditest::kRed);
    EXPECT_EQ(east.At(17, 10), gditest::kBlack);
    EXPECT_EQ(east.At(20, 7), gditest::kBlack);
}

TEST_F(SkyPlot, ATapCyclesTheModesAndRepaints) {
    HWND parent = CreateWindowEx(0, u"STATIC", u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND control = CreateWindowEx(0, u"STATIC", u"", WS_CHILD | WS_VISIBLE, 0, 0, 30, 30, parent, nullptr,
                                  nullptr, nullptr);
    CSkyPlotCtrl plot;
    ASSERT_TRUE(plot.Attach(control));
    std::vector<int> modes;
    for (int i = 0; i < 4; ++i) {
        ValidateRect(control, nullptr);
        SendMessage(control, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        modes.push_back(plot.GetMode());
        RECT dirty{};
        EXPECT_TRUE(GetUpdateRect(control, &dirty, false));
    }
    EXPECT_EQ(modes, (std::vector<int>{1, 2, 0, 1}));
    plot.Detach();
    DestroyWindow(parent);
}

}  // namespace
