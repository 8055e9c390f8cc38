// The six symbol elements: reading (defaults, names in any case, unknown
// names, decimal commas, values out of range), writing back what was read,
// the stipple pattern, images beside the XML file and copies.
#include <sys/stat.h>

#include "tests/map/symbology_harness.h"

namespace {

using SymbolXmlTest = SymbologyTest;

struct Read {
    std::unique_ptr<CXmlDocument> doc;
    std::unique_ptr<CSymbol> s = std::make_unique<CSymbol>();
};

TEST_F(SymbolXmlTest, MarkerAndLineAttributes) {
    struct Case {
        const char* xml;
        int type, size, style, penStyle, penWidth;
        double lineWidth;
        COLORREF fill, pen;
    } cases[] = {
        {"<SIMPLEMARKERSYMBOL/>", 1, 3, 0, 0, 0, 0, 0, 0},
        {"<SIMPLEMARKERSYMBOL color=\"1,2,3\" width=\"7\" type=\"SQUARE\" outline=\"4,5,6\"/>", 1, 7,
         2, 0, 0, 0, RGB(1, 2, 3), RGB(4, 5, 6)},
        {"<SIMPLEMARKERSYMBOL type=\"star\"/>", 1, 3, 4, 0, 0, 0, 0, 0},
        {"<SIMPLEMARKERSYMBOL type=\"hexagon\" width=\"99999999999\"/>", 1, 10000, 0, 0, 0, 0, 0, 0},
        {"<SIMPLELINESYMBOL/>", 2, 3, 0, PS_SOLID, 0, 0, 0, 0},
        {"<SIMPLELINESYMBOL color=\"9,8,7\" type=\"Dash\" width=\"2.7\"/>", 2, 3, 0, PS_DASH, 2, 2.7,
         0, RGB(9, 8, 7)},
        {"<SIMPLELINESYMBOL type=\"NULL\" width=\"2,7\"/>", 2, 3, 0, PS_NULL, 2, 2.7, 0, 0},
        {"<SIMPLELINESYMBOL type=\"dotted\" width=\"-4\"/>", 2, 3, 0, PS_SOLID, 0, -4, 0, 0},
        {"<SIMPLELINESYMBOL width=\"1e30\"/>", 2, 3, 0, PS_SOLID, 10000, 1e30, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xml);
        CSymbol s;
        auto doc = Parse(c.xml);
        EXPECT_TRUE(s.ReadXml(doc->GetRoot(), false));
        EXPECT_EQ(s.m_type, c.type);
        EXPECT_EQ(s.m_size, c.size);
        EXPECT_EQ(s.m_markerStyle, c.style);
        EXPECT_EQ(static_cast<int>(s.m_pen.lopnStyle), c.penStyle);
        EXPECT_EQ(s.m_pen.lopnWidth.x, c.penWidth);
        EXPECT_EQ(s.m_pen.lopnWidth.y, c.penWidth);
        EXPECT_EQ(s.m_lineWidth, c.lineWidth);
        EXPECT_EQ(s.m_fillColor, c.fill);
        EXPECT_EQ(s.m_pen.lopnColor, c.pen);
        EXPECT_EQ(s.m_brush != nullptr, c.type == 1);
    }
}

TEST_F(SymbolXmlTest, PolygonFillAndBoundary) {
    struct Case {
        const char* attrs;
        int fillMode, brushKind, brushIndex, bkMode;
        UINT penStyle;
        COLORREF bk;
    } cases[] = {
        {"", 2, 1, 5, 1, PS_SOLID, 0},  // no filltype: the reset's fill stays
        {"filltype=\"solid\"", 1, 0, 5, 1, PS_SOLID, 0},
        {"filltype=\"BDiagonal\" backgroundcolor=\"0,0,255\"", 2, 2, HS_BDIAGONAL, 1, PS_SOLID,
         RGB(0, 0, 255)},
        {"filltype=\"diagcross\"", 2, 2, HS_DIAGCROSS, 1, PS_SOLID, 0},
        {"filltype=\"lightgray\"", 3, -1, LTGRAY_BRUSH, 1, PS_SOLID, 0},
        {"filltype=\"Hollow\"", 3, -1, NULL_BRUSH, 1, PS_SOLID, 0},
        {"filltype=\"solid\" filltransparency=\"0\"", 0, 1, 5, 1, PS_SOLID, 0},
        {"filltype=\"solid\" filltransparency=\"0,0\"", 0, 1, 5, 1, PS_SOLID, 0},
        {"filltype=\"plaid\"", 2, 1, 5, 1, PS_SOLID, 0},
        {"filltype=\"stipple\"", 4, 3, 5, 1, PS_SOLID, RGB(255, 255, 255)},
        {"filltype=\"opaquestipple\" backgroundcolor=\"1,1,1\"", 5, 3, 5, 1, PS_SOLID, RGB(1, 1, 1)},
        {"boundarytransparency=\"0\" boundarywidth=\"3\" boundarycolor=\"9,9,9\"", 2, 1, 5, 1,
         PS_NULL, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        CSymbol s;
        auto doc = Parse(std::string("<SIMPLEPOLYGONSYMBOL ") + c.attrs + "/>");
        ASSERT_TRUE(s.ReadXml(doc->GetRoot(), false));
        EXPECT_EQ(s.m_type, 3);
        EXPECT_EQ(s.m_fillMode, c.fillMode);
        EXPECT_EQ(s.m_brushKind, c.brushKind);
        EXPECT_EQ(s.m_brushIndex, c.brushIndex);
        EXPECT_EQ(s.m_backgroundMode, c.bkMode);
        EXPECT_EQ(s.m_pen.lopnStyle, c.penStyle);
        EXPECT_EQ(s.m_backgroundColor, c.bk);
        EXPECT_EQ(s.m_fillColor, RGB(255, 255, 255));
        EXPECT_NE(s.m_brush, nullptr);
        if (c.penStyle == PS_NULL) {
            EXPECT_EQ(s.m_pen.lopnWidth.x, 0);
            EXPECT_EQ(s.m_pen.lopnColor, 0u);
        }
    }
    // An unknown filltype keeps the fill read before.
    CSymbol s;
    ASSERT_TRUE(s.ReadXml(Parse("<SIMPLEPOLYGONSYMBOL filltype=\"cross\"/>")->GetRoot(), false));
    ASSERT_TRUE(s.ReadXml(Parse("<SIMPLEPOLYGONSYMBOL filltype=\"tartan\"/>")->GetRoot(), false));
    EXPECT_EQ(s.m_fillMode, 2);
    EXPECT_EQ(s.m_brushIndex, HS_CROSS);
}

TEST_F(SymbolXmlTest, StipplePatternIsStoredInvertedAndClamped) {
    struct Case {
        const char* attrs;
        int width, height;
        uint8_t rows[8];
    } cases[] = {
        {"stipplepattern=\"AA55\"", 8, 8, {0x55, 0xAA, 0, 0, 0, 0, 0, 0}},
        {"stipplewidth=\"40\" stippleheight=\"-3\" stipplepattern=\"ff00ff00ff00ff00ff\"", 16, 1,
         {0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00, 0xFF}},
        {"stipplewidth=\"0\" stippleheight=\"99\" stipplepattern=\"1\"", 1, 8, {0}},
        {"stipplepattern=\"zz\"", 8, 8, {0xFF}},  // not hex: digits read as 0
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        CSymbol s;
        auto doc = Parse(std::string("<SIMPLEPOLYGONSYMBOL filltype=\"stipple\" ") + c.attrs + "/>");
        ASSERT_TRUE(s.ReadXml(doc->GetRoot(), false));
        ASSERT_TRUE(s.m_stippleBits);
        EXPECT_EQ(s.m_stippleWidth, c.width);
        EXPECT_EQ(s.m_stippleHeight, c.height);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(s.m_stippleBits[2 * i], c.rows[i]) << "row " << i;
            EXPECT_EQ(s.m_stippleBits[2 * i + 1], 0) << "row " << i;
        }
        BITMAP bm;
        ASSERT_TRUE(GetObject(s.m_patternBitmap.get(), sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, c.width);
        EXPECT_EQ(bm.bmHeight, c.height);
    }
}

TEST_F(SymbolXmlTest, TrueTypeMarkerAttributes) {
    struct Case {
        const char* attrs;
        WChar glyph;
        int size, angle, charSet;
    } cases[] = {
        {"", u'#', 100, 0, 1},
        {"character=\"65\" fontsize=\"8.5\" angle=\"-45\" charset=\"symbol\"", u'A', 85, -450, 2},
        {"character=\"70000\" angle=\"400\" charset=\"186\"", u'#', 100, 400, 186},
        {"character=\"0\" fontsize=\"12,75\" angle=\"-12,5\"", u'#', 127, -125, 1},
        {"character=\"-5\" fontsize=\"1e12\" angle=\"1e300\"", u'#', 100000, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attrs);
        CSymbol s;
        auto doc = Parse(std::string("<TRUETYPEMARKERSYMBOL font=\"Wingdings\" ") + c.attrs + "/>");
        ASSERT_TRUE(s.ReadXml(doc->GetRoot(), false));
        EXPECT_EQ(s.m_type, 5);
        EXPECT_EQ(s.m_glyph, c.glyph);
        EXPECT_EQ(s.m_size, c.size);
        EXPECT_EQ(s.m_angle, c.angle);
        EXPECT_EQ(s.m_charSet, c.charSet);
        EXPECT_EQ(s.m_fontFace, u"Wingdings");
        EXPECT_EQ(s.m_brush, nullptr);
    }
}

TEST_F(SymbolXmlTest, ChildFlagAndUnknownElements) {
    CSymbol s(3);
    auto doc = Parse("<EXACT value=\"a\"><COMMENT/><SIMPLELINESYMBOL width=\"2\"/></EXACT>");
    EXPECT_TRUE(s.ReadXml(doc->GetRoot(), true));
    EXPECT_EQ(s.m_type, 2);
    EXPECT_EQ(s.m_lineWidth, 2);
    // No symbol child: false, nothing changes; an unknown element itself: true, nothing changes.
    auto none = Parse("<EXACT><COMMENT/></EXACT>");
    EXPECT_FALSE(s.ReadXml(none->GetRoot(), true));
    EXPECT_TRUE(s.ReadXml(none->GetRoot(), false));
    EXPECT_EQ(s.m_type, 2);
    EXPECT_EQ(s.m_lineWidth, 2);
    EXPECT_FALSE(s.ReadXml(nullptr, false));
}

TEST_F(SymbolXmlTest, WritesWhatWasRead) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        // A one-pixel marker keeps its width 0 (the reader's default is 3).
        {"<SIMPLEMARKERSYMBOL color=\"1,2,3\" width=\"0\" type=\"star\"/>",
         "<SIMPLEMARKERSYMBOL color=\"1,2,3\" width=\"0\" type=\"star\" outline=\"0,0,0\"/>\n"},
        {"<SIMPLEMARKERSYMBOL/>",
         "<SIMPLEMARKERSYMBOL color=\"0,0,0\" width=\"3\" type=\"circle\" outline=\"0,0,0\"/>\n"},
        // Widths stay doubles, so reference scaling keeps working.
        {"<SIMPLELINESYMBOL color=\"9,8,7\" type=\"dash\" width=\"2.7\"/>",
         "<SIMPLELINESYMBOL color=\"9,8,7\" type=\"dash\" width=\"2.7\"/>\n"},
        {"<SIMPLELINESYMBOL/>", "<SIMPLELINESYMBOL color=\"0,0,0\" type=\"solid\"/>\n"},
        // A hatch, a stock grey and a stipple come back as they were; rows
        // the pattern did not give stay zero in the block and so show filled.
        {"<SIMPLEPOLYGONSYMBOL filltype=\"bdiagonal\" boundarywidth=\"1.5\"/>",
         "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,255\" filltransparency=\"1\" filltype=\"bdiagonal\" "
         "backgroundcolor=\"0,0,0\" boundarycolor=\"0,0,0\" boundarywidth=\"1.5\" boundarytype=\"solid\" "
         "boundarytransparency=\"1\"/>\n"},
        {"<SIMPLEPOLYGONSYMBOL filltype=\"darkgray\" boundarytransparency=\"0\"/>",
         "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,255\" filltransparency=\"1\" filltype=\"darkgray\" "
         "backgroundcolor=\"0,0,0\" boundarycolor=\"0,0,0\" boundarytype=\"null\" "
         "boundarytransparency=\"0\"/>\n"},
        {"<SIMPLEPOLYGONSYMBOL filltransparency=\"0\" filltype=\"solid\"/>",
         "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,255\" filltransparency=\"0\" filltype=\"solid\" "
         "backgroundcolor=\"0,0,0\" boundarycolor=\"0,0,0\" boundarytype=\"solid\" "
         "boundarytransparency=\"1\"/>\n"},
        {"<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltype=\"stipple\" stippleheight=\"2\" "
         "stipplepattern=\"aa55\"/>",
         "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltransparency=\"1\" filltype=\"stipple\" "
         "stipplewidth=\"8\" stippleheight=\"2\" stipplepattern=\"AA55\" backgroundcolor=\"255,255,255\" "
         "boundarycolor=\"0,0,0\" boundarytype=\"solid\" boundarytransparency=\"1\"/>\n"},
        {"<SIMPLEPOLYGONSYMBOL filltype=\"opaquestipple\" stipplewidth=\"4\" stippleheight=\"3\" "
         "stipplepattern=\"F0\"/>",
         "<SIMPLEPOLYGONSYMBOL fillcolor=\"255,255,255\" filltransparency=\"1\" "
         "filltype=\"opaquestipple\" stipplewidth=\"4\" stippleheight=\"3\" stipplepattern=\"F0FFFF\" "
         "backgroundcolor=\"0,0,0\" boundarycolor=\"0,0,0\" boundarytype=\"solid\" "
         "boundarytransparency=\"1\"/>\n"},
        {"<TRUETYPEMARKERSYMBOL fontcolor=\"1,2,3\" character=\"61473\" font=\"Wingdings\" "
         "charset=\"2\" fontsize=\"14.5\" angle=\"-45\"/>",
         "<TRUETYPEMARKERSYMBOL fontcolor=\"1,2,3\" character=\"61473\" font=\"Wingdings\" "
         "charset=\"Symbol\" fontsize=\"14.5\" angle=\"-45\"/>\n"},
        {"<TRUETYPEMARKERSYMBOL/>",
         "<TRUETYPEMARKERSYMBOL fontcolor=\"0,0,0\" character=\"35\" font=\"\" charset=\"Default\" "
         "fontsize=\"10\"/>\n"},
        {"<RASTERMARKERSYMBOL image=\"\\Maps\\pin &amp; flag.bmp\"/>",
         "<RASTERMARKERSYMBOL image=\"\\Maps\\pin &amp; flag.bmp\"/>\n"},
        {"<RASTERFILLSYMBOL image=\"fill.bmp\"/>", "<RASTERFILLSYMBOL image=\"fill.bmp\"/>\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        CSymbol s;
        auto doc = Parse(c.in);
        ASSERT_TRUE(s.ReadXml(doc->GetRoot(), false));
        bool ok = false;
        std::string out = WriteBody([&](CConfigXmlFile& w) { ok = s.WriteXml(w); });
        EXPECT_TRUE(ok);
        EXPECT_EQ(out, c.out);
        // Read again, it writes the same bytes.
        CSymbol again;
        ASSERT_TRUE(again.ReadXml(Parse(out)->GetRoot(), false));
        EXPECT_EQ(WriteBody([&](CConfigXmlFile& w) { again.WriteXml(w); }), out);
    }
    CSymbol none;
    bool ok = true;
    EXPECT_EQ(WriteBody([&](CConfigXmlFile& w) { ok = none.WriteXml(w); }), "");
    EXPECT_FALSE(ok);
}

TEST_F(SymbolXmlTest, NameTables) {
    EXPECT_EQ(CSymbol::LineStyleFromName(u"DASH"), PS_DASH);
    EXPECT_EQ(CSymbol::LineStyleFromName(u"dot"), PS_SOLID);
    EXPECT_EQ(WString(CSymbol::LineStyleName(7)), u"solid");
    EXPECT_EQ(CSymbol::HatchFromName(u"Vertical"), HS_VERTICAL);
    EXPECT_EQ(CSymbol::HatchFromName(u"solid"), -1);
    EXPECT_EQ(WString(CSymbol::HatchName(9)), u"solid");
    EXPECT_EQ(CSymbol::MarkerStyleFromName(u"TRIANGLE"), 1);
    EXPECT_EQ(CSymbol::MarkerStyleFromName(u""), 0);
    EXPECT_EQ(WString(CSymbol::MarkerStyleName(9)), u"circle");
    EXPECT_EQ(CSymbol::StockFillFromName(u"DarkGray"), DKGRAY_BRUSH);
    EXPECT_EQ(CSymbol::StockFillFromName(u"grey"), -1);

    struct Hex {
        const char16_t* text;
        int max, count;
        uint8_t first;
    } hex[] = {{u"", 8, 0, 0},      {u"A", 8, 0, 0},        {u"a5F", 8, 1, 0xA5},
               {u"0102030405060708090A", 8, 8, 1}, {u"ff00", 1, 1, 0xFF}};
    for (const Hex& h : hex) {
        uint8_t buf[8] = {};
        EXPECT_EQ(CSymbol::ParseHexBytes(h.text, buf, h.max), h.count);
        EXPECT_EQ(buf[0], h.first);
    }
    uint8_t buf[2];
    EXPECT_EQ(CSymbol::ParseHexBytes(nullptr, buf, 2), 0);
}

TEST_F(SymbolXmlTest, ImageFoundBesideTheXmlFile) {
    Put("maps/pin.bmp", BitmapFile(3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 1, 2, 3}));
    Put("maps/layer.znl",
        "<Zarnip><LAYER><RASTERMARKERSYMBOL image=\"\\elsewhere\\pin.bmp\"/>"
        "<RASTERMARKERSYMBOL image=\"\\maps\\PIN.BMP\"/>"
        "<RASTERMARKERSYMBOL image=\"missing.bmp\"/></LAYER></Zarnip>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\maps\\layer.znl"));
    CXmlNode* layer = doc.FindElement(u"LAYER", true);
    for (int i = 0; i < 3; ++i) {
        HBITMAP bm = CSymbol::LoadSymbolImage(layer->GetChild(i));
        EXPECT_EQ(bm != nullptr, i < 2) << i;
        if (!bm) continue;
        BITMAP info;
        GetObject(bm, sizeof info, &info);
        EXPECT_EQ(info.bmWidth, 3);
        EXPECT_EQ(std::abs(info.bmHeight), 2);
        DeleteObject(bm);
    }
    // A fragment parsed from text has no folder to look in.
    auto fragment = Parse("<RASTERMARKERSYMBOL image=\"pin.bmp\"/>");
    EXPECT_EQ(CSymbol::LoadSymbolImage(fragment->GetRoot()), nullptr);
    EXPECT_EQ(CSymbol::LoadSymbolImage(Parse("<RASTERMARKERSYMBOL/>")->GetRoot()), nullptr);
}

// An image name that is a folder (the root, "\\" or "/"), a FIFO or a file
// that is no bitmap gives no picture; reading the symbol never ends the
// program, and a FIFO never waits for a writer.
TEST_F(SymbolXmlTest, ImagesThatAreNoBitmapFilesGiveNoPicture) {
    Put("maps/junk.bmp", "BM junk");
    ASSERT_EQ(::mkdir(Host("maps/folder.bmp").c_str(), 0755), 0);
    ASSERT_EQ(::mkfifo(Host("maps/pipe.bmp").c_str(), 0644), 0);
    for (const char* image :
         {"/", "\\", "\\maps", "\\maps\\folder.bmp", "\\maps\\pipe.bmp", "\\maps\\junk.bmp"}) {
        SCOPED_TRACE(image);
        auto doc = Parse(std::string("<RASTERMARKERSYMBOL image=\"") + image + "\"/>");
        EXPECT_EQ(CSymbol::LoadSymbolImage(doc->GetRoot()), nullptr);
        CSymbol symbol;
        EXPECT_TRUE(symbol.ReadXml(doc->GetRoot(), false));
    }
}

TEST_F(SymbolXmlTest, CopyKeepsPatternsOfItsOwn) {
    Put("pin.bmp", BitmapFile(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}));
    Put("l.znl",
        "<Zarnip><SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\" filltype=\"stipple\" "
        "stipplepattern=\"AA55AA55AA55AA55\"/><RASTERFILLSYMBOL image=\"\\pin.bmp\"/>"
        "<RASTERMARKERSYMBOL image=\"\\pin.bmp\"/></Zarnip>");
    CXmlDocument doc;
    ASSERT_TRUE(doc.LoadFile(u"\\l.znl"));
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        auto original = std::make_unique<CSymbol>();
        ASSERT_TRUE(original->ReadXml(doc.GetRoot()->GetChild(i), false));
        CSymbol copy;
        copy.m_label = u"kept";
        copy.CopyFrom(*original);
        EXPECT_EQ(copy.m_label, u"kept");
        EXPECT_EQ(copy.m_type, original->m_type);
        EXPECT_EQ(copy.m_fillMode, original->m_fillMode);
        ASSERT_NE(copy.m_patternBitmap.get(), nullptr);
        EXPECT_NE(copy.m_patternBitmap.get(), original->m_patternBitmap.get());
        // The original goes; the copy still draws its pattern.
        original.reset();
        gditest::Canvas before(8, 8, gditest::kBlue), after(8, 8, gditest::kBlue);
        (void)before;
        RECT r{0, 0, 8, 8};
        copy.DrawSwatch(after.dc, r);
        bool red = false;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) red |= after.At(x, y) == gditest::kRed;
        EXPECT_TRUE(red);
    }
    CSymbol::ResetCaches();
    EXPECT_EQ(gdi::LiveObjectCount(), liveAtStart_);
}

}  // namespace
