// Pixel-exact pictures of the figures: lines and their last pixel, rectangles
// and ellipses with exclusive right and bottom edges, polygons with holes
// under both fill modes, pens, XOR rubber bands, clipping and far coordinates.
#include <climits>

#include "tests/platform/gdi_picture.h"

using namespace gditest;

namespace {

struct PenScope {
    HDC dc;
    HPEN pen, old;
    PenScope(HDC d, int style, int width, COLORREF c) : dc(d) {
        pen = CreatePen(style, width, c);
        old = SelectObject(dc, pen);
    }
    ~PenScope() {
        SelectObject(dc, old);
        DeleteObject(pen);
    }
};
struct BrushScope {
    HDC dc;
    HBRUSH brush, old;
    BrushScope(HDC d, HBRUSH b) : dc(d), brush(b) { old = SelectObject(dc, brush); }
    ~BrushScope() {
        SelectObject(dc, old);
        DeleteObject(brush);
    }
};

TEST(GdiFigures, PolylineLeavesOutItsLastPixel) {
    Canvas c(8, 6);
    POINT pts[] = {{1, 1}, {5, 1}, {5, 4}, {2, 4}};
    Polyline(c.dc, pts, 4);
    EXPECT_PICTURE(c, "........",  //
                   ".#####..",     //
                   ".....#..",     //
                   ".....#..",     //
                   "...###..",     //
                   "........");
    // LineTo continues from the current position; the end pixel stays out.
    Canvas d(6, 4);
    MoveToEx(d.dc, 0, 0, nullptr);
    LineTo(d.dc, 5, 3);
    EXPECT_PICTURE(d, "#.....",  //
                   ".##...",     //
                   "...##.",     //
                   "......");
    POINT cur;
    GetCurrentPositionEx(d.dc, &cur);
    EXPECT_EQ(cur.x, 5);
    EXPECT_EQ(cur.y, 3);
}

TEST(GdiFigures, RectangleAndEllipseEdgesAreExclusive) {
    struct Case {
        const char* name;
        bool ellipse;
        bool nullPen;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"rectangle",
         false,
         false,
         {"........", ".#####..", ".#rrr#..", ".#rrr#..", ".#####..", "........", "........"}},
        // Without a pen the fill is one pixel smaller at right and bottom.
        {"rectangle, null pen",
         false,
         true,
         {"........", ".rrrr...", ".rrrr...", ".rrrr...", "........", "........", "........"}},
        {"ellipse",
         true,
         false,
         {"........", "..###...", ".#rrr#..", ".#rrr#..", "..###...", "........", "........"}},
        {"ellipse, null pen",
         true,
         true,
         {"........", "..rr....", ".rrrr...", "..rr....", "........", "........", "........"}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Canvas c(8, 7);
        BrushScope b(c.dc, CreateSolidBrush(kRed));
        HGDIOBJ oldPen = nullptr;
        if (k.nullPen) oldPen = SelectObject(c.dc, GetStockObject(NULL_PEN));
        if (k.ellipse)
            Ellipse(c.dc, 1, 1, 6, 5);
        else
            Rectangle(c.dc, 1, 1, 6, 5);
        if (oldPen) SelectObject(c.dc, oldPen);
        EXPECT_EQ(Show(c.Picture()), Show(k.expected));
    }
}

TEST(GdiFigures, SevenBySevenMarker) {
    // A simple marker of half-size 3: ellipse from (x-3, y-3) to (x+4, y+4).
    Canvas c(9, 9);
    BrushScope b(c.dc, CreateSolidBrush(kRed));
    Ellipse(c.dc, 4 - 3, 4 - 3, 4 + 4, 4 + 4);
    EXPECT_PICTURE(c, ".........",  //
                   "...###...",     //
                   "..#rrr#..",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   "..#rrr#..",     //
                   "...###...",     //
                   ".........");
    // A square marker of the same size.
    Canvas d(9, 9);
    BrushScope b2(d.dc, CreateSolidBrush(kRed));
    Rectangle(d.dc, 1, 1, 8, 8);
    EXPECT_PICTURE(d, ".........",  //
                   ".#######.",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   ".#rrrrr#.",     //
                   ".#######.",     //
                   ".........");
}

TEST(GdiFigures, PolygonWithHoleUnderBothFillModes) {
    // Outer ring and hole joined into one path that returns to the first point
    // after each ring, as the shape drawing prepares it.
    POINT same[] = {{1, 1}, {9, 1}, {9, 8}, {1, 8}, {1, 1},  // outer, clockwise on screen
                    {3, 3}, {7, 3}, {7, 6}, {3, 6}, {3, 3},  // hole, same direction
                    {1, 1}};
    POINT opposite[] = {{1, 1}, {9, 1}, {9, 8}, {1, 8}, {1, 1},
                        {3, 3}, {3, 6}, {7, 6}, {7, 3}, {3, 3},  // hole, reversed
                        {1, 1}};
    const std::vector<std::string> holed = {"..........", ".rrrrrrrr.", ".rrrrrrrr.",
                                            ".rr....rr.", ".rr....rr.", ".rr....rr.",
                                            ".rrrrrrrr.", ".rrrrrrrr.", ".........."};
    const std::vector<std::string> filled = {"..........", ".rrrrrrrr.", ".rrrrrrrr.",
                                             ".rrrrrrrr.", ".rrrrrrrr.", ".rrrrrrrr.",
                                             ".rrrrrrrr.", ".rrrrrrrr.", ".........."};
    struct Case {
        const char* name;
        const POINT* pts;
        int mode;
        const std::vector<std::string>* expected;
    } cases[] = {
        {"alternate, same direction", same, ALTERNATE, &holed},
        {"alternate, opposite direction", opposite, ALTERNATE, &holed},
        {"winding, same direction", same, WINDING, &filled},
        {"winding, opposite direction", opposite, WINDING, &holed},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        Canvas c(10, 9);
        BrushScope b(c.dc, CreateSolidBrush(kRed));
        SelectObject(c.dc, GetStockObject(NULL_PEN));
        SetPolyFillMode(c.dc, k.mode);
        Polygon(c.dc, k.pts, 11);
        EXPECT_EQ(Show(c.Picture()), Show(*k.expected));
    }
}

TEST(GdiFigures, PensDashWidthAndInvalidStyle) {
    // A dashed pen: 18 on, 6 off; the gaps take the background colour when
    // the background mode is opaque.
    Canvas c(30, 2);
    {
        PenScope p(c.dc, PS_DASH, 1, kBlack);
        SetBkColor(c.dc, kRed);
        SetBkMode(c.dc, TRANSPARENT);
        MoveToEx(c.dc, 0, 0, nullptr);
        LineTo(c.dc, 30, 0);
        SetBkMode(c.dc, OPAQUE);
        MoveToEx(c.dc, 0, 1, nullptr);
        LineTo(c.dc, 30, 1);
    }
    EXPECT_PICTURE(c, "##################......######",  //
                   "##################rrrrrr######");
    // Width 3: a round-ended stroke three pixels thick; an unknown style draws solid.
    Canvas d(9, 7);
    {
        PenScope p(d.dc, -1, 3, kBlack);
        MoveToEx(d.dc, 2, 3, nullptr);
        LineTo(d.dc, 6, 3);
    }
    EXPECT_PICTURE(d, ".........",  //
                   ".........",     //
                   ".#######.",     //
                   ".#######.",     //
                   ".#######.",     //
                   ".........",     //
                   ".........");
}

TEST(GdiFigures, XorRubberBandDrawnTwiceLeavesSurfaceUnchanged) {
    Canvas c(40, 30);
    // A busy background.
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) SetPixel(c.dc, x, y, RGB(x * 6, y * 8, (x * y) & 0xFF));
    const std::vector<uint32_t> before = c.Pixels();
    for (int width : {1, 3}) {
        for (int pass = 0; pass < 2; ++pass) {
            SaveDC(c.dc);
            HPEN pen = CreatePen(PS_SOLID, width, kWhite);
            SelectObject(c.dc, pen);
            SelectObject(c.dc, GetStockObject(NULL_BRUSH));
            SetROP2(c.dc, R2_XORPEN);
            POINT band[] = {{3, 3}, {35, 10}, {20, 27}, {2, 20}};
            Polyline(c.dc, band, 4);
            Ellipse(c.dc, 5, 5, 30, 25);
            Rectangle(c.dc, -5, 8, 50, 16);
            MoveToEx(c.dc, 0, 29, nullptr);
            LineTo(c.dc, 39, 0);
            RECT focus{4, 4, 33, 21};
            DrawFocusRect(c.dc, &focus);
            RestoreDC(c.dc, -1);
            DeleteObject(pen);
            if (pass == 0) {
                EXPECT_NE(c.Pixels(), before);
            }
        }
        EXPECT_EQ(c.Pixels(), before) << "pen width " << width;
    }
}

TEST(GdiFigures, ClipRegionAndFarCoordinates) {
    Canvas c(10, 6);
    HRGN a = CreateRectRgn(1, 1, 4, 5);
    HRGN b = CreateRectRgn(6, 0, 9, 3);
    HRGN both = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(both, a, b, RGN_OR), COMPLEXREGION);
    SelectClipRgn(c.dc, both);
    HBRUSH red = CreateSolidBrush(kRed);
    RECT all{-100, -100, 100, 100};
    FillRect(c.dc, &all, red);
    EXPECT_PICTURE(c, "......rrr.",  //
                   ".rrr..rrr.",     //
                   ".rrr..rrr.",     //
                   ".rrr......",     //
                   ".rrr......",     //
                   "..........");
    RECT box;
    EXPECT_EQ(GetClipBox(c.dc, &box), COMPLEXREGION);
    EXPECT_TRUE(EqualRect(&box, &(const RECT&)RECT{1, 0, 9, 5}));
    // A list cell: drawing stays inside its rectangle, less an excluded part,
    // and a saved state brings the old clipping back.
    Canvas cell(8, 3);
    SaveDC(cell.dc);
    IntersectClipRect(cell.dc, 1, 0, 7, 2);
    ExcludeClipRect(cell.dc, 3, 0, 4, 1);
    FillRect(cell.dc, &all, red);
    RestoreDC(cell.dc, -1);
    SetPixel(cell.dc, 7, 2, kBlack);
    EXPECT_PICTURE(cell, ".rr.rrr.", ".rrrrrr.", ".......#");
    // Far-away points: lines and polygons are clipped before they are
    // rasterised, so they neither overflow nor take long.
    SelectClipRgn(c.dc, nullptr);
    POINT tri[] = {{INT_MIN / 2, INT_MIN / 2}, {INT_MAX, 0}, {INT_MIN / 2, INT_MAX / 4}};
    SelectObject(c.dc, GetStockObject(NULL_PEN));
    HBRUSH old = SelectObject(c.dc, red);
    Polygon(c.dc, tri, 3);
    SelectObject(c.dc, old);
    SelectObject(c.dc, GetStockObject(BLACK_PEN));
    MoveToEx(c.dc, INT_MIN, 5, nullptr);
    LineTo(c.dc, INT_MAX, 5);
    EXPECT_PICTURE(c, "rrrrrrrrrr",  //
                   "rrrrrrrrrr",     //
                   "rrrrrrrrrr",     //
                   "rrrrrrrrrr",     //
                   "rrrrrrrrrr",     //
                   "##########");
    DeleteObject(red);
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(both);
}

}  // namespace
