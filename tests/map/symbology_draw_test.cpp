// Symbols drawn pixel for pixel: hatches and stipples as polygon fills,
// polygons with holes, markers of every kind, legend swatches and the
// scaling of line widths and glyphs to the map scale.
#include "tests/map/symbology_harness.h"

using namespace gditest;

namespace {

using SymbolDrawTest = SymbologyTest;

// Rings as the shape engine hands them to the polygon fill: the points,
// then every ring followed by the very first point; the part starts as
// 32-bit numbers of a record.
struct Rings {
    std::vector<POINT> points;
    std::vector<uint8_t> starts;
    int total = 0, parts = 0;
};
Rings MakeRings(const std::vector<std::vector<POINT>>& rings) {
    Rings r;
    for (const auto& ring : rings) {
        int start = r.total;
        for (int i = 0; i < 4; ++i) r.starts.push_back(static_cast<uint8_t>(start >> (8 * i)));
        r.points.insert(r.points.end(), ring.begin(), ring.end());
        r.total += static_cast<int>(ring.size());
        ++r.parts;
    }
    POINT first = r.points[0];
    for (const auto& ring : rings) {
        r.points.insert(r.points.end(), ring.begin(), ring.end());
        r.points.push_back(first);
    }
    return r;
}
std::vector<POINT> Square(int l, int t, int r, int b) { return {{l, t}, {r, t}, {r, b}, {l, b}, {l, t}}; }

void Fill(HDC dc, const CSymbol& s, const Rings& r, double scale = 0) {
    FillSymbolPolygon(dc, s, r.points.data(), r.total, r.starts.data(), r.parts, scale);
}

std::unique_ptr<CSymbol> FromXml(const std::string& xml) {
    CXmlDocument doc;
    EXPECT_TRUE(doc.Parse(text::FromUtf8(xml)));
    auto s = std::make_unique<CSymbol>();
    EXPECT_TRUE(s->ReadXml(doc.GetRoot(), false));
    return s;
}

std::vector<std::string> Tile(const std::vector<std::string>& cell, int times) {
    std::vector<std::string> out;
    for (int y = 0; y < times; ++y)
        for (const std::string& row : cell) {
            std::string line;
            for (int x = 0; x < times; ++x) line += row;
            out.push_back(line);
        }
    return out;
}

TEST_F(SymbolDrawTest, HatchesFillInTheFillColourWithLinesInTheBackgroundColour) {
    // One 8 x 8 cell of each hatch: the hatch lines are the pattern's set
    // bits, which take the background colour (blue); the rest the fill (red).
    const std::vector<std::string> cells[6] = {
        {"rrrrrrrr", "bbbbbbbb", "rrrrrrrr", "rrrrrrrr", "rrrrrrrr", "bbbbbbbb", "rrrrrrrr", "rrrrrrrr"},
        {"rrrbrrrb", "rrrbrrrb", "rrrbrrrb", "rrrbrrrb", "rrrbrrrb", "rrrbrrrb", "rrrbrrrb", "rrrbrrrb"},
        {"brrrrrrr", "rbrrrrrr", "rrbrrrrr", "rrrbrrrr", "rrrrbrrr", "rrrrrbrr", "rrrrrrbr", "rrrrrrrb"},
        {"rrrrrrrb", "rrrrrrbr", "rrrrrbrr", "rrrrbrrr", "rrrbrrrr", "rrbrrrrr", "rbrrrrrr", "brrrrrrr"},
        {"rrrbrrrr", "rrrbrrrr", "rrrbrrrr", "bbbbbbbb", "rrrbrrrr", "rrrbrrrr", "rrrbrrrr", "rrrbrrrr"},
        {"brrrrrrb", "rbrrrrbr", "rrbrrbrr", "rrrbbrrr", "rrrbbrrr", "rrbrrbrr", "rbrrrrbr", "brrrrrrb"},
    };
    const char* names[6] = {"horizontal", "vertical", "fdiagonal", "bdiagonal", "cross", "diagcross"};
    for (int h = 0; h < 6; ++h) {
        SCOPED_TRACE(names[h]);
        auto s = FromXml(std::string("<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" backgroundcolor=\"0,0,255\" "
                                     "boundarytransparency=\"0\" filltype=\"") + names[h] + "\"/>");
        // Two neighbouring polygons line up into one pattern: the brush
        // origin is the device origin.
        Canvas c(16, 16, kWhite);
        Fill(c.dc, *s, MakeRings({Square(0, 0, 16, 16)}));
        Canvas halves(16, 16, kWhite);
        Fill(halves.dc, *s, MakeRings({Square(0, 0, 5, 16)}));
        Fill(halves.dc, *s, MakeRings({Square(5, 0, 16, 16)}));
        EXPECT_EQ(Show(c.Picture()), Show(Tile(cells[h], 2)));
        EXPECT_EQ(Show(halves.Picture()), Show(c.Picture()));
    }
}

TEST_F(SymbolDrawTest, TransparentAndOpaqueStipples) {
    const char* base = "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" backgroundcolor=\"0,255,0\" "
                       "boundarytransparency=\"0\" stipplepattern=\"AA55AA55AA55AA55\" filltype=";
    auto stipple = FromXml(std::string(base) + "\"stipple\"/>");
    auto opaque = FromXml(std::string(base) + "\"opaquestipple\"/>");
    // Transparent: set bits red, clear bits keep the blue underneath.
    Canvas t(8, 4, kBlue);
    Fill(t.dc, *stipple, MakeRings({Square(0, 0, 8, 4)}));
    EXPECT_PICTURE(t, "rbrbrbrb", "brbrbrbr", "rbrbrbrb", "brbrbrbr");
    // Opaque: clear bits in the background colour.
    Canvas o(8, 4, kBlue);
    Fill(o.dc, *opaque, MakeRings({Square(0, 0, 8, 4)}));
    EXPECT_PICTURE(o, "rgrgrgrg", "grgrgrgr", "rgrgrgrg", "grgrgrgr");
    // The fill leaves the context as it found it.
    EXPECT_EQ(GetROP2(t.dc), R2_COPYPEN);
    EXPECT_EQ(GetBkMode(t.dc), OPAQUE);
    EXPECT_EQ(GetTextColor(t.dc), kBlack);
    EXPECT_EQ(GetBkColor(t.dc), kWhite);
    // The legend swatch of the transparent stipple shows its clear bits white.
    Canvas sw(10, 6, kBlue);
    RECT r{0, 0, 10, 6};
    stipple->DrawSwatch(sw.dc, r);
    // Without a boundary the rectangle leaves out one more column and row.
    EXPECT_PICTURE(sw, "bbbbbbbbbb", "br.r.r.rbb", "b.r.r.r.bb", "br.r.r.rbb", "bbbbbbbbbb",
                   "bbbbbbbbbb");
}

TEST_F(SymbolDrawTest, PolygonWithAHole) {
    Rings rings = MakeRings({Square(1, 1, 11, 11), Square(4, 4, 8, 8)});
    auto solid = FromXml("<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltype=\"solid\"/>");
    Canvas c(12, 12, kWhite);
    Fill(c.dc, *solid, rings);
    EXPECT_PICTURE(c,
                   "............",
                   ".###########",
                   ".#rrrrrrrrr#",
                   ".#rrrrrrrrr#",
                   ".#rr#####rr#",
                   ".#rr#...#rr#",
                   ".#rr#...#rr#",
                   ".#rr#...#rr#",
                   ".#rr#####rr#",
                   ".#rrrrrrrrr#",
                   ".#rrrrrrrrr#",
                   ".###########");
    auto hatched = FromXml("<SIMPLEPOLYGONSYMBOL fillcolor=\"0,0,255\" backgroundcolor=\"255,255,0\" "
                           "filltype=\"vertical\" boundarycolor=\"255,0,0\"/>");
    Canvas h(12, 12, kWhite);
    Fill(h.dc, *hatched, rings);
    EXPECT_PICTURE(h,
                   "............",
                   ".rrrrrrrrrrr",
                   ".rbybbbybbbr",
                   ".rbybbbybbbr",
                   ".rbyrrrrrbbr",
                   ".rbyr...rbbr",
                   ".rbyr...rbbr",
                   ".rbyr...rbbr",
                   ".rbyrrrrrbbr",
                   ".rbybbbybbbr",
                   ".rbybbbybbbr",
                   ".rrrrrrrrrrr");
}

TEST_F(SymbolDrawTest, SimpleMarkers) {
    struct Case {
        const char* xml;
        SIZE half;
        std::vector<std::string> picture;
    } cases[] = {
        // "star" is drawn as the circle; half-size 3 without a width.
        {"<SIMPLEMARKERSYMBOL color=\"255,0,0\" type=\"star\"/>", {4, 4},
         {"..........", "..........", "....###...", "...#rrr#..", "..#rrrrr#.", "..#rrrrr#.",
          "..#rrrrr#.", "...#rrr#..", "....###...", ".........."}},
        {"<SIMPLEMARKERSYMBOL color=\"255,0,0\" type=\"square\" outline=\"0,0,255\"/>", {4, 4},
         {"..........", "..........", "..bbbbbbb.", "..brrrrrb.", "..brrrrrb.", "..brrrrrb.",
          "..brrrrrb.", "..brrrrrb.", "..bbbbbbb.", ".........."}},
        // Size 1 (and 0): one pixel in the marker's colour.
        {"<SIMPLEMARKERSYMBOL color=\"0,255,0\" width=\"1\" type=\"square\"/>", {1, 1},
         {"..........", "..........", "..........", "..........", "..........", ".....g....",
          "..........", "..........", "..........", ".........."}},
        {"<SIMPLEMARKERSYMBOL color=\"0,255,0\" width=\"0\"/>", {1, 1},
         {"..........", "..........", "..........", "..........", "..........", ".....g....",
          "..........", "..........", "..........", ".........."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        auto s = FromXml(c.xml);
        Canvas cv(10, 10);
        s->SelectDrawingObjects(cv.dc, 0);
        SIZE half = s->DrawMarker(cv.dc, 5, 5, 0, 0, 0);
        SelectObject(cv.dc, GetStockObject(BLACK_PEN));
        SelectObject(cv.dc, GetStockObject(WHITE_BRUSH));
        EXPECT_EQ(half.cx, c.half.cx);
        EXPECT_EQ(half.cy, c.half.cy);
        EXPECT_EQ(Show(cv.Picture()), Show(c.picture));
    }
}

TEST_F(SymbolDrawTest, RasterMarkersAreCentredOnThePoint) {
    // 3 x 3 at (4, 4): from (3, 3); 2 x 4: from (3, 2).
    Put("odd.bmp", BitmapFile(3, 3, {0xFF0000, 0xFF0000, 0xFF0000, 0x00FF00, 0x00FF00, 0x00FF00,
                                     0x0000FF, 0x0000FF, 0x0000FF}));
    Put("even.bmp", BitmapFile(2, 4, {0xFF0000, 0x0000FF, 0xFF0000, 0x0000FF, 0x00FF00, 0x00FF00,
                                      0x000000, 0x000000}));
    Put("m.znl", "<Zarnip><RASTERMARKERSYMBOL image=\"\\odd.bmp\"/>"
                 "<RASTERMARKERSYMBOL image=\"\\even.bmp\"/></Zarnip>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\m.znl"));
    CSymbol odd, even;
    ASSERT_TRUE(odd.ReadXml(doc.GetRoot()->GetChild(0), false));
    ASSERT_TRUE(even.ReadXml(doc.GetRoot()->GetChild(1), false));
    Canvas c(8, 8);
    SIZE h1 = odd.DrawMarker(c.dc, 4, 4, 0, 0, 0);
    EXPECT_PICTURE(c, "........", "........", "........", "...rrr..", "...ggg..", "...bbb..",
                   "........", "........");
    EXPECT_EQ(h1.cx, 1);
    EXPECT_EQ(h1.cy, 1);
    Canvas d(8, 8);
    SIZE h2 = even.DrawMarker(d.dc, 4, 4, 0, 0, 0);
    EXPECT_PICTURE(d, "........", "........", "...rb...", "...rb...", "...gg...", "...##...",
                   "........", "........");
    EXPECT_EQ(h2.cx, 1);
    EXPECT_EQ(h2.cy, 2);
}

TEST_F(SymbolDrawTest, SwatchesOfEverySymbolType) {
    Put("pin.bmp", BitmapFile(2, 2, {0x00FF00, 0x00FF00, 0x00FF00, 0x00FF00}));
    Put("s.znl", "<Zarnip><RASTERMARKERSYMBOL image=\"\\pin.bmp\"/>"
                 "<RASTERFILLSYMBOL image=\"\\pin.bmp\"/></Zarnip>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\s.znl"));
    CSymbol none, raster, fill;
    ASSERT_TRUE(raster.ReadXml(doc.GetRoot()->GetChild(0), false));
    ASSERT_TRUE(fill.ReadXml(doc.GetRoot()->GetChild(1), false));
    none.CreateBrush();
    auto marker = FromXml("<SIMPLEMARKERSYMBOL color=\"255,0,0\" type=\"square\" width=\"2\"/>");
    auto line = FromXml("<SIMPLELINESYMBOL color=\"0,0,255\" width=\"2\"/>");
    auto polygon = FromXml("<SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,0\" filltype=\"solid\" "
                           "boundarycolor=\"255,0,0\"/>");
    auto glyph = FromXml("<TRUETYPEMARKERSYMBOL fontcolor=\"0,0,255\" font=\"Not Installed\" "
                         "fontsize=\"5\"/>");
    struct Case {
        CSymbol* s;
        std::vector<std::string> picture;
    } cases[] = {
        // Type 0: a thin black outline without fill and the default marker.
        {&none,
         {"++++++++++++++++++++", "+##################+", "+#++++++++++++++++#+",
          "+#++++++####++++++#+", "+#+++++##++##+++++#+", "+#+++++#++++#+++++#+",
          "+#+++++#++++#+++++#+", "+#+++++##++##+++++#+", "+#++++++####++++++#+",
          "+#++++++++++++++++#+", "+##################+", "++++++++++++++++++++"}},
        // A simple marker takes the pen and brush the context holds.
        {marker.get(),
         {"++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++++++++++++++", "++++++++#####+++++++", "++++++++#...#+++++++",
          "++++++++#...#+++++++", "++++++++#...#+++++++", "++++++++#####+++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++"}},
        // A wide pen's round ends reach past the ends of the line.
        {line.get(),
         {"++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "bbbbbbbbbbbbbbbbbbbb",
          "bbbbbbbbbbbbbbbbbbbb", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++"}},
        {polygon.get(),
         {"++++++++++++++++++++", "+rrrrrrrrrrrrrrrrrr+", "+ryyyyyyyyyyyyyyyyr+",
          "+ryyyyyyyyyyyyyyyyr+", "+ryyyyyyyyyyyyyyyyr+", "+ryyyyyyyyyyyyyyyyr+",
          "+ryyyyyyyyyyyyyyyyr+", "+ryyyyyyyyyyyyyyyyr+", "+ryyyyyyyyyyyyyyyyr+",
          "+ryyyyyyyyyyyyyyyyr+", "+rrrrrrrrrrrrrrrrrr+", "++++++++++++++++++++"}},
        // A TrueType marker (its face missing: a dot 6 pixels across).
        {glyph.get(),
         {"++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++bbbb++++++++", "+++++++bbbbbb+++++++", "+++++++bbbbbb+++++++",
          "+++++++bbbbbb+++++++", "+++++++bbbbbb+++++++", "++++++++bbbb++++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++"}},
        {&raster,
         {"++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "+++++++++gg+++++++++",
          "+++++++++gg+++++++++", "++++++++++++++++++++", "++++++++++++++++++++",
          "++++++++++++++++++++", "++++++++++++++++++++", "++++++++++++++++++++"}},
        // A raster fill has no boundary: without a pen the rectangle leaves
        // out one more column and row.
        {&fill,
         {"++++++++++++++++++++", "+ggggggggggggggggg++", "+ggggggggggggggggg++",
          "+ggggggggggggggggg++", "+ggggggggggggggggg++", "+ggggggggggggggggg++",
          "+ggggggggggggggggg++", "+ggggggggggggggggg++", "+ggggggggggggggggg++",
          "+ggggggggggggggggg++", "++++++++++++++++++++", "++++++++++++++++++++"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.s->m_type);
        Canvas cv(20, 12, kGrey);
        RECT r{0, 0, 20, 12};
        int saved = SaveDC(cv.dc);
        c.s->DrawSwatch(cv.dc, r);
        EXPECT_EQ(SaveDC(cv.dc), saved + 1);  // the swatch restored its own save
        RestoreDC(cv.dc, -1);
        RestoreDC(cv.dc, saved);
        EXPECT_EQ(Show(cv.Picture()), Show(c.picture));
    }
}

TEST_F(SymbolDrawTest, LineWidthsScaleWithTheReferenceScale) {
    auto s = FromXml("<SIMPLELINESYMBOL color=\"255,0,0\" width=\"2.7\"/>");
    s->m_referenceScale = 10000;
    struct Case {
        double scale;
        int width;
    } cases[] = {{20000, 1}, {10000, 2}, {5000, 5}, {0, 2}, {1e-300, 10000}};
    for (const Case& c : cases) {
        Canvas cv(20, 20);
        s->SelectPen(cv.dc, c.scale);
        LOGPEN pen;
        GetObject(GetCurrentObject(cv.dc, OBJ_PEN), sizeof pen, &pen);
        EXPECT_EQ(pen.lopnWidth.x, c.width) << c.scale;
        SelectObject(cv.dc, GetStockObject(BLACK_PEN));
    }
    auto cvHolder = std::make_unique<Canvas>(6, 5);
    Canvas& cv = *cvHolder;
    s->SelectPen(cv.dc, 20000);
    MoveToEx(cv.dc, 0, 2, nullptr);
    LineTo(cv.dc, 6, 2);
    EXPECT_PICTURE(cv, "......", "......", "rrrrrr", "......", "......");
    SelectObject(cv.dc, GetStockObject(BLACK_PEN));
    // One live pen for the program, whatever the number of selections.
    auto other = FromXml("<SIMPLELINESYMBOL color=\"0,0,255\" width=\"3\"/>");
    int live = gdi::LiveObjectCount();
    for (int i = 0; i < 5; ++i) {
        other->SelectPen(cv.dc, 0);
        s->SelectPen(cv.dc, 0);
    }
    SelectObject(cv.dc, GetStockObject(BLACK_PEN));
    EXPECT_EQ(gdi::LiveObjectCount(), live);
    cvHolder.reset();
    s.reset();
    other.reset();
    CSymbol::ResetCaches();
    EXPECT_EQ(gdi::LiveObjectCount(), liveAtStart_);
}

// Fields set by the style pages out of range: a negative hatch number still
// picks a row of the table (-1 is diagcross), a stock number that names no
// brush gives the grey brush.
TEST_F(SymbolDrawTest, BrushFieldsOutOfRange) {
    CSymbol s(CSymbol::kTypeSimplePolygon);
    s.m_pen.lopnStyle = PS_NULL;
    s.m_fillColor = kRed;
    s.m_backgroundColor = kBlue;
    s.m_brushKind = CSymbol::kBrushHatch;
    s.m_brushIndex = -1;
    s.CreateBrush();
    Canvas h(8, 8);
    Fill(h.dc, s, MakeRings({Square(0, 0, 8, 8)}));
    EXPECT_PICTURE(h, "brrrrrrb", "rbrrrrbr", "rrbrrbrr", "rrrbbrrr", "rrrbbrrr", "rrbrrbrr",
                   "rbrrrrbr", "brrrrrrb");
    s.m_brushKind = CSymbol::kBrushStock;
    s.m_brushIndex = BLACK_PEN;  // a stock object, but not a brush
    s.CreateBrush();
    Canvas g(4, 2);
    Fill(g.dc, s, MakeRings({Square(0, 0, 4, 2)}));
    EXPECT_PICTURE(g, "++++", "++++");
}

}  // namespace
