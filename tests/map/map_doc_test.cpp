// Map documents: writing and reading .znm files, the coordinate-system
// decision when layers are added, failed saves, broken documents and new maps.
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "core/xml_node.h"
#include "crs/coord_sys.h"
#include "crs/datum_table.h"
#include "crs/wkt.h"
#include "map/layers/jpeg_layer.h"
#include "map/map_messages.h"
#include "platform/fs/fs.h"
#include "platform/win/msgbox.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/support/run_command.h"

namespace {

std::string Utf8(const WString& s) { return text::ToUtf8(s); }

// The text a system has when our writer writes it.
WString WrittenWkt(const WChar* wkt) {
    CWktCoordSys parser;
    EXPECT_TRUE(parser.ParseWkt(wkt));
    std::unique_ptr<CCoordSys> cs = parser.CreateProjection();
    return cs ? FormatWkt(*cs, false) : WString();
}

class RecordingView : public IMapDocView {
public:
    void OnUpdate(win::DocumentView*, LPARAM hint) override { hints.push_back(hint); }
    void UpdateEditToolbars() override { ++toolbarUpdates; }
    std::vector<LPARAM> hints;
    int toolbarUpdates = 0;
};

class MapDoc : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        wgs84_ = Utf8(WrittenWkt(CMapDoc::kDefaultWkt));
    }
    // Two point layers: roads beside the document, wells elsewhere; both
    // with the document's system as our writer writes it.
    void MakeLayers() {
        MakePointShapefile("maps", "roads", {"-10 40", "5 50"});
        MakePointShapefile("data", "wells", {"1 45", "2 46"});
        Put("maps/roads.prj", wgs84_);
        Put("data/wells.prj", wgs84_);
    }
    std::string Escaped(const std::string& wkt) {
        WString w = text::FromUtf8(wkt);
        XmlEscape(w);
        return Utf8(w);
    }
    std::string wgs84_;
};

std::string Crlf(const std::string& lf) {
    std::string out;
    for (char c : lf) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

TEST_F(MapDoc, RoundTripsByteForByte) {
    MakeLayers();
    const std::string fixture = Crlf(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<Zarnip>\n"
        "  <MAP name=\"Field &amp; survey\">\n"
        "    <PROPERTIES>\n"
        "      <ENVELOPE minx=\"-10.5\" miny=\"40\" maxx=\"5.25\" maxy=\"50\"/>\n"
        "      <COORDSYS string=\"" + Escaped(wgs84_) + "\"/>\n"
        "    </PROPERTIES>\n"
        "    <BOOKMARKS>\n"
        "      <BOOKMARK name=\"a &amp; b &lt; c &quot;d&quot;\" minx=\"1\" miny=\"2\" maxx=\"3\" maxy=\"4.5\"/>\n"
        "    </BOOKMARKS>\n"
        "    <LAYER name=\"Roads\" visible=\"false\" minscale=\"1:1000\" maxscale=\"1:50000\">\n"
        "      <DATASET name=\"roads.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Wells\" identify=\"true\" edit=\"true\">\n"
        "      <DATASET name=\"\\data\\wells.shp\"/>\n"
        "      <METADATA>\n"
        "        <COMMENTS>Dug &amp; drilled &lt;2004&gt;</COMMENTS>\n"
        "      </METADATA>\n"
        "    </LAYER>\n"
        "    <STATUSBAR visible=\"false\"/>\n"
        "    <SCALEBAR visible=\"false\"/>\n"
        "  </MAP>\n"
        "</Zarnip>\n");
    Put("maps/field.znm", fixture);

    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\maps\\field.znm"));
    EXPECT_TRUE(MessageTexts().empty());
    CLayerList& layers = doc.GetLayers();
    ASSERT_EQ(layers.GetCount(), 2);
    EXPECT_EQ(layers.GetAt(0)->GetName(), u"Roads");
    EXPECT_FALSE(layers.GetAt(0)->IsVisible());
    EXPECT_EQ(layers.GetAt(0)->GetMinScale(), 1000);
    EXPECT_EQ(layers.GetAt(1)->GetComments(), u"Dug & drilled <2004>");
    EXPECT_EQ(layers.GetEditLayer(DisplayClass::Point), layers.GetAt(1));
    EXPECT_FALSE(mainWindow_.statusBarShown);
    EXPECT_FALSE(doc.IsScaleBarVisible());
    EXPECT_EQ(doc.GetMapTitle(), u"Field & survey");
    CDoubleRect def;
    EXPECT_TRUE(mainWindow_.bookmarks.GetExtentByName(u"*Default*", def));
    EXPECT_EQ(def, CDoubleRect(-10.5, 40, 5.25, 50));

    ASSERT_TRUE(doc.WriteMapFile(u"\\maps\\again.znm"));
    EXPECT_EQ(Get("maps/again.znm"), fixture);

    CMapDoc second;
    ASSERT_TRUE(second.OnOpenDocument(u"\\maps\\again.znm"));
    ASSERT_TRUE(second.WriteMapFile(u"\\maps\\third.znm"));
    EXPECT_EQ(Get("maps/third.znm"), fixture);

    // Independent readers agree.
    int rc = -1;
    testsupport::RunCommand("xmllint --noout '" + Host("maps/again.znm") + "' 2>&1", &rc);
    EXPECT_EQ(rc, 0);
    auto xpath = [&](const std::string& expr) {
        std::string out = testsupport::RunCommand("xmllint --xpath '" + expr + "' '" +
                                                  Host("maps/again.znm") + "' 2>/dev/null");
        if (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    };
    EXPECT_EQ(xpath("string(/Zarnip/MAP/@name)"), "Field & survey");
    EXPECT_EQ(xpath("string(//BOOKMARK/@name)"), "a & b < c \"d\"");
    EXPECT_EQ(xpath("string(//ENVELOPE/@maxx)"), "5.25");
    EXPECT_EQ(xpath("string(//LAYER[2]/DATASET/@name)"), "\\data\\wells.shp");
    EXPECT_EQ(xpath("string(//LAYER[1]/@maxscale)"), "1:50000");
    EXPECT_EQ(xpath("string(//COMMENTS)"), "Dug & drilled <2004>");
    std::string wkt = xpath("string(//COORDSYS/@string)");
    EXPECT_EQ(wkt, wgs84_);
    testsupport::RunCommand("projinfo '" + wkt + "' >/dev/null 2>&1", &rc);
    EXPECT_EQ(rc, 0) << wkt;
}

TEST_F(MapDoc, FirstLayerSystemReplacesTheDocumentsOnReading) {
    MakePointShapefile("maps", "utm", {"431000 5411000", "439000 5414000"});
    Put("maps/utm.prj", text::ToUtf8(kUtm33Wkt));
    Put("maps/m.znm",
        "<Zarnip><MAP><PROPERTIES><COORDSYS string=\"" + Escaped(wgs84_) +
            "\"/></PROPERTIES><LAYER><DATASET name=\"utm.shp\"/></LAYER></MAP></Zarnip>");
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\maps\\m.znm"));
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_NE(doc.GetMapCoordSys()->m_projectionCode, 43000);
    EXPECT_EQ(doc.GetMapCoordSys()->m_projectedName, u"WGS_1984_UTM_Zone_33N");
    EXPECT_TRUE(MessageTexts().empty());
}

TEST_F(MapDoc, DesktopExportersFormOpens) {
    MakePointShapefile("out", "roads", {"1 2", "3 4"});
    Put("out/roads.prj", wgs84_);
    Put("out/map.znm",
        "<Zarnip>\r\n<MAP name=\"\\out\\map\">\r\n<PROPERTIES>\r\n"
        "<ENVELOPE minx=\"1,5\" miny=\"2,25\" maxx=\"3,5\" maxy=\"4\"/>\r\n"
        "<COORDSYS string=\"" + Escaped(wgs84_) + "\"/>\r\n</PROPERTIES>\r\n"
        "<LAYER visible=\"false\">\r\n<DATASET name=\"roads.shp\"/>\r\n</LAYER>\r\n"
        "</MAP>\r\n</Zarnip>\r\n");
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\out\\map.znm"));
    EXPECT_EQ(doc.GetMapExtent(), CDoubleRect(1.5, 2.25, 3.5, 4));
    ASSERT_EQ(doc.GetLayers().GetCount(), 1);
    EXPECT_FALSE(doc.GetLayers().GetAt(0)->IsVisible());
    EXPECT_EQ(doc.GetLayers().GetAt(0)->GetName(), u"roads.shp");
    EXPECT_EQ(doc.GetMapTitle(), u"\\out\\map");
}

TEST_F(MapDoc, SavingToTxtWritesZnm) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.OnSaveDocument(u"\\Docs\\x.txt"));
    EXPECT_TRUE(HostExists("Docs/x.znm"));
    EXPECT_FALSE(HostExists("Docs/x.txt"));
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(MapDoc, UpperCaseDatasetNamesOpen) {
    MakePointShapefile("maps", "roads", {"1 2", "3 4"});
    Put("maps/roads.prj", wgs84_);
    Put("maps/roads.spi", "[Dataset Information]\r\nTitle=Roads of the valley\r\n");
    ASSERT_TRUE(ShellIn("maps", "mv roads.shp ROADS.SHP && mv roads.shx ROADS.SHX && "
                                "mv roads.dbf ROADS.DBF && mv roads.prj ROADS.PRJ && "
                                "mv roads.spi ROADS.SPI"));
    for (const char* name : {"roads.shp", "ROADS.SHP"}) {
        SCOPED_TRACE(name);
        Put("maps/m.znm", std::string("<Zarnip><MAP><LAYER><DATASET name=\"") + name +
                              "\"/></LAYER><LAYER><DATASET name=\"\\MAPS\\Roads.Shp\"/></LAYER>"
                              "</MAP></Zarnip>");
        CMapDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(u"\\maps\\m.znm"));
        ASSERT_EQ(doc.GetLayers().GetCount(), 1);  // listed twice, opened once
        EXPECT_EQ(doc.GetLayers().GetAt(0)->GetName(), u"Roads of the valley");
        ASSERT_NE(doc.GetMapCoordSys(), nullptr);
        EXPECT_EQ(doc.GetMapCoordSys()->m_projectionCode, 43000);
        EXPECT_TRUE(MessageTexts().empty());
    }

    // A bare name beside a document on a storage card.
    char tmpl[] = "/tmp/zn-card-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string card = tmpl;
    std::string mounts = "\\Storage Card=" + card;
    setenv("ZARNIP_MOUNTS", mounts.c_str(), 1);
    fs::ResetConfiguration();
    ASSERT_EQ(std::system(("cp '" + Host("maps") + "'/ROADS.* '" + card + "/'").c_str()), 0);
    std::string doc = "<Zarnip><MAP><LAYER><DATASET name=\"roads.shp\"/></LAYER></MAP></Zarnip>";
    ASSERT_TRUE(fs::WriteWholeFile(u"\\Storage Card\\card.znm", doc.data(), doc.size()));
    CMapDoc onCard;
    ASSERT_TRUE(onCard.OnOpenDocument(u"\\storage card\\card.znm"));
    EXPECT_EQ(onCard.GetLayers().GetCount(), 1);
    (void)std::system(("rm -rf '" + card + "'").c_str());
}

TEST_F(MapDoc, NewMapTakesTheDefaultSystem) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_EQ(doc.GetMapCoordSys()->m_projectionCode, 43000);
    EXPECT_EQ(doc.GetMapCoordSys()->m_geographicName, u"GCS_WGS_1984");
    EXPECT_EQ(doc.GetMapExtent(), CDoubleRect(-180, -90, 180, 90));

    Put("Docs/Zarnip.prj", text::ToUtf8(kUtm33Wkt));
    ASSERT_TRUE(doc.OnNewDocument());
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_EQ(doc.GetMapCoordSys()->m_projectedName, u"WGS_1984_UTM_Zone_33N");
    EXPECT_TRUE(doc.GetMapExtent().IsEmpty());
}

// One row per outcome of adding a layer.
TEST_F(MapDoc, CoordinateSystemDecision) {
    enum MapSys { None, Geo, Proj };
    enum LayerPrj { Equal, Unequal, AbsentGeoExtent, AbsentProjExtent };
    struct Row {
        const char* what;
        MapSys map;
        bool mapHasLayers;
        LayerPrj prj;
        bool reprojectable;
        int answer;  // IDYES / IDNO for questions
        // expected
        bool added;
        UINT messageId;  // 0 none
        const WChar* resultSys;  // name of the resulting map system; u"?" unknown
        int notified;
    } rows[] = {
        {"no map system takes the layer's", None, false, Unequal, false, 0, true, 0, u"WGS_1984_UTM_Zone_33N", 0},
        {"first layer brings its system", Geo, false, Unequal, false, 0, true, 0, u"WGS_1984_UTM_Zone_33N", 0},
        {"equal system", Geo, true, Equal, false, 0, true, 0, u"GCS_WGS_1984", 0},
        {"unequal system refused", Geo, true, Unequal, false, 0, false, 8017, u"GCS_WGS_1984", 0},
        {"unequal but reprojectable", Geo, true, Unequal, true, 0, true, 0, u"GCS_WGS_1984", 0},
        {"no prj, geographic extent, yes", Geo, true, AbsentGeoExtent, false, IDYES, true, 7402, u"GCS_WGS_1984", 0},
        {"no prj, geographic extent, no", Geo, true, AbsentGeoExtent, false, IDNO, false, 7402, u"GCS_WGS_1984", 0},
        {"no prj on an empty geographic map asks too", Geo, false, AbsentGeoExtent, false, IDYES, true, 7402, u"GCS_WGS_1984", 0},
        {"no prj, projected extent on geographic map", Geo, true, AbsentProjExtent, false, 0, true, 0, u"?", 0},
        {"no prj on a projected map, yes", Proj, true, AbsentProjExtent, false, IDYES, true, 7403, u"WGS_1984_UTM_Zone_33N", 0},
        {"no prj on a projected map, no", Proj, true, AbsentGeoExtent, false, IDNO, false, 7403, u"WGS_1984_UTM_Zone_33N", 0},
        {"neither has a system", None, true, AbsentGeoExtent, false, 0, true, 0, u"", 0},
    };
    MakePointShapefile("d", "base", {"-10 40", "5 50"});
    MakePointShapefile("d", "geo", {"-10 40", "5 50"});
    MakePointShapefile("d", "proj", {"431000 5411000", "439000 5414000"});
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        win::ResetForTests();
        CMapDoc doc;
        RecordingView view;
        doc.ResetMap(false);
        if (r.map == Geo) doc.SetMapCoordSys(MakeCoordSys(CMapDoc::kDefaultWkt), false);
        if (r.map == Proj) doc.SetMapCoordSys(MakeCoordSys(kUtm33Wkt), false);
        if (r.mapHasLayers) {
            auto* base = new CTestShapeLayer();
            ASSERT_TRUE(base->Open(u"\\d\\base.shp"));
            base->SetMapCoordSysRef(nullptr);
            doc.GetLayers().AddTail(std::unique_ptr<CLayer>(base));
        }
        std::string name = r.prj == AbsentProjExtent ? "proj" : "geo";
        std::string prjPath = "d/" + name + ".prj";
        std::remove(Host(prjPath).c_str());
        if (r.prj == Equal) Put(prjPath, wgs84_);
        if (r.prj == Unequal) Put(prjPath, text::ToUtf8(kUtm33Wkt));
        auto layer = std::make_unique<CTestShapeLayer>();
        ASSERT_TRUE(layer->Open(text::FromUtf8("\\d\\" + name + ".shp").c_str()));
        layer->SetReprojectable(r.reprojectable);
        if (r.answer) win::QueueMessageBoxAnswers({r.answer});
        doc.AddView(&view);
        bool added = doc.AddLayer(std::move(layer), 0) != nullptr;
        doc.RemoveView(&view);
        EXPECT_EQ(static_cast<int>(view.hints.size()), r.notified);
        EXPECT_EQ(added, r.added);
        auto log = win::MessageBoxLog();
        if (r.messageId == 0) {
            EXPECT_TRUE(log.empty());
            EXPECT_TRUE(Beeps().empty());
        } else {
            ASSERT_EQ(log.size(), 1u);
            EXPECT_EQ(log[0].text.substr(0, 10), LoadMapString(r.messageId).substr(0, 10));
            ASSERT_EQ(Beeps().size(), 1u);
            EXPECT_EQ(Beeps()[0], r.messageId == 8017 ? MB_ICONHAND : MB_ICONEXCLAMATION);
        }
        CCoordSys* cs = doc.GetMapCoordSys();
        if (WString(r.resultSys) == u"") {
            EXPECT_EQ(cs, nullptr);
        } else if (WString(r.resultSys) == u"?") {
            ASSERT_NE(cs, nullptr);
            EXPECT_EQ(cs->m_projectionCode, 0);
        } else {
            ASSERT_NE(cs, nullptr);
            EXPECT_EQ(cs->m_projectionCode == 43000 ? cs->m_geographicName : cs->m_projectedName,
                      r.resultSys);
        }
    }
}

// A save that fails at any step keeps the old file and leaves no temporary.
TEST_F(MapDoc, FailedSavesKeepTheOldFile) {
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetMapTitle(u"First");
    ASSERT_TRUE(doc.OnSaveDocument(u"\\Docs\\m.znm"));
    const std::string before = Get("Docs/m.znm");
    doc.SetMapTitle(u"Second version with a longer title");
    struct Fault {
        const char* what;
        std::function<void()> arm;
    } faults[] = {
        {"first write fails", [] { fs::test::FailNthWrite(1); }},
        {"disk full after 10 bytes", [] { fs::test::SetWriteBudget(10); }},
        {"disk full at once", [] { fs::test::SetWriteBudget(0); }},
        {"the target cannot be replaced", [] { fs::test::FailPath(u"\\Docs\\m.znm", fs::kErrorAccessDenied); }},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        doc.SetModifiedFlag(true);
        f.arm();
        EXPECT_FALSE(doc.OnSaveDocument(u"\\Docs\\m.znm"));
        fs::test::Reset();
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(Get("Docs/m.znm"), before);
        EXPECT_EQ(HostList("Docs"), std::vector<std::string>{"m.znm"});
    }
    ASSERT_TRUE(doc.OnSaveDocument(u"\\Docs\\m.znm"));
    EXPECT_NE(Get("Docs/m.znm"), before);
}

TEST_F(MapDoc, BrokenDocumentsTellTheUser) {
    MakePointShapefile("maps", "roads", {"1 2", "3 4"});
    Put("maps/roads.prj", wgs84_);
    ::mkdir(Host("maps/folder.shp").c_str(), 0755);
    Put("maps/junk.shp", "junk");
    std::string deep;
    for (int i = 0; i < 300; ++i) deep += "<A>";
    struct Row {
        const char* what;
        std::string bytes;
        bool opens;
        bool reason;  // a second line with the parser's reason
        int layers;
        bool defaultBookmark;
        const char16_t* told = nullptr;  // a layer not opened (missing or not readable), named once
    } rows[] = {
        {"empty", "", false, true, 0, false},
        {"truncated", "<Zarnip><MAP><LAYER><DATASET name=\"roads.shp\"/>", false, true, 0, false},
        {"binary", std::string("\x00\x01\xff\xfe\x80<", 6), false, true, 0, false},
        {"wrong root", "<Other><MAP/></Other>", false, true, 0, false},
        {"no MAP", "<Zarnip><PLAN/></Zarnip>", false, true, 0, false},
        {"deep nesting", "<Zarnip>" + deep, false, true, 0, false},
        {"envelope with text",
         "<Zarnip><MAP><PROPERTIES><ENVELOPE minx=\"a\" miny=\"0\" maxx=\"1\" "
         "maxy=\"1\"/></PROPERTIES></MAP></Zarnip>",
         true, false, 0, false},
        {"envelope reversed",
         "<Zarnip><MAP><PROPERTIES><ENVELOPE minx=\"5\" miny=\"0\" maxx=\"1\" "
         "maxy=\"1\"/></PROPERTIES></MAP></Zarnip>",
         true, false, 0, false},
        {"envelope infinite",
         "<Zarnip><MAP><PROPERTIES><ENVELOPE minx=\"-1e999\" miny=\"0\" maxx=\"1\" "
         "maxy=\"1\"/></PROPERTIES></MAP></Zarnip>",
         true, false, 0, false},
        {"coordsys that does not parse",
         "<Zarnip><MAP><PROPERTIES><COORDSYS string=\"NOTWKT[\"/></PROPERTIES><LAYER><DATASET "
         "name=\"roads.shp\"/></LAYER></MAP></Zarnip>",
         true, false, 1, false},
        {"layer without dataset",
         "<Zarnip><MAP><LAYER name=\"x\"/><LAYER><DATASET "
         "name=\"roads.shp\"/></LAYER></MAP></Zarnip>",
         true, false, 1, false},
        {"dataset naming a folder",
         "<Zarnip><MAP><LAYER><DATASET name=\"folder.shp\"/></LAYER></MAP></Zarnip>", true, false,
         0, false, u"\\maps\\folder.shp"},
        {"dataset missing",
         "<Zarnip><MAP><LAYER><DATASET name=\"gone.shp\"/></LAYER><LAYER><DATASET "
         "name=\"roads.shp\"/></LAYER></MAP></Zarnip>",
         true, false, 1, false, u"\\maps\\gone.shp"},
        {"dataset that does not open",
         "<Zarnip><MAP><LAYER><DATASET name=\"junk.shp\"/></LAYER></MAP></Zarnip>", true, false, 0,
         false, u"\\maps\\junk.shp"},
        {"good envelope",
         "<Zarnip><MAP><PROPERTIES><ENVELOPE minx=\"0\" miny=\"0\" maxx=\"1\" "
         "maxy=\"1\"/></PROPERTIES></MAP></Zarnip>",
         true, false, 0, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        win::ResetForTests();
        Put("maps/bad.znm", r.bytes);
        CMapDoc doc;
        EXPECT_EQ(doc.OnOpenDocument(u"\\maps\\bad.znm"), r.opens);
        auto texts = MessageTexts();
        if (r.told) {
            EXPECT_EQ(texts, std::vector<WString>{u"Error opening '" + WString(r.told) + u"'"});
        } else if (r.opens) {
            EXPECT_TRUE(texts.empty());
        } else {
            ASSERT_EQ(texts.size(), 1u);
            const WString first = u"Error opening map '\\maps\\bad.znm'";
            EXPECT_EQ(texts[0].substr(0, first.size()), first);
            EXPECT_EQ(texts[0].find(u'\n') != WString::npos, r.reason) << Utf8(texts[0]);
            EXPECT_EQ(Beeps(), std::vector<UINT>{MB_ICONHAND});
        }
        EXPECT_EQ(doc.GetLayers().GetCount(), r.layers);
        CDoubleRect def;
        EXPECT_EQ(mainWindow_.bookmarks.GetExtentByName(u"*Default*", def), r.defaultBookmark);
        // A document that did not open is left as it was (a new one has no
        // extent); one that stores none shows its layers whole, or else
        // the default geographic map's world.
        CDoubleRect expected;
        expected.SetEmpty();
        if (r.opens && !r.layers) expected = CDoubleRect(-180, -90, 180, 90);
        if (r.opens && r.layers) doc.GetLayers().GetFullExtent(expected, false);
        if (!r.defaultBookmark) EXPECT_EQ(doc.GetMapExtent(), expected);
        mainWindow_.bookmarks.RemoveBookmarks(true);
    }
}

// Saving while a card is missing keeps the layers that were on it.
TEST_F(MapDoc, MissingLayersAreWrittenBack) {
    MakePointShapefile("maps", "roads", {"1 2", "3 4"});
    MakePointShapefile("maps", "rivers", {"1 2", "3 4"});
    Put("maps/roads.prj", wgs84_);
    Put("maps/rivers.prj", wgs84_);
    const std::string fixture = Crlf(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<Zarnip>\n"
        "  <MAP>\n"
        "    <PROPERTIES>\n"
        "      <ENVELOPE minx=\"1\" miny=\"2\" maxx=\"3\" maxy=\"4\"/>\n"
        "      <COORDSYS string=\"" + Escaped(wgs84_) + "\"/>\n"
        "    </PROPERTIES>\n"
        "    <BOOKMARKS/>\n"
        "    <LAYER name=\"Card top\">\n"
        "      <DATASET name=\"\\Storage Card\\top.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Roads\">\n"
        "      <DATASET name=\"roads.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Card middle\" visible=\"false\">\n"
        "      <DATASET name=\"\\Storage Card\\middle.shp\"/>\n"
        "      <METADATA>\n"
        "        <COMMENTS>kept &amp; safe</COMMENTS>\n"
        "      </METADATA>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Rivers\">\n"
        "      <DATASET name=\"rivers.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <STATUSBAR visible=\"true\"/>\n"
        "    <SCALEBAR visible=\"true\"/>\n"
        "  </MAP>\n"
        "</Zarnip>\n");
    Put("maps/m.znm", fixture);
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\maps\\m.znm"));
    EXPECT_EQ(doc.GetLayers().GetCount(), 2);
    EXPECT_EQ(doc.GetKeptLayerCount(), 2);
    // The user is told once, with both.
    EXPECT_EQ(MessageTexts(), std::vector<WString>{u"Error opening '\\Storage Card\\top.shp', "
                                                   u"'\\Storage Card\\middle.shp'"});
    ASSERT_TRUE(doc.WriteMapFile(u"\\maps\\m.znm"));
    EXPECT_EQ(Get("maps/m.znm"), fixture);

    // With its anchor removed, a kept layer moves up to the next one above.
    doc.GetLayers().RemoveLayer(doc.GetLayers().GetAt(0));
    ASSERT_TRUE(doc.WriteMapFile(u"\\maps\\n.znm"));
    std::string n = Get("maps/n.znm");
    EXPECT_LT(n.find("Card top"), n.find("Card middle"));
    EXPECT_LT(n.find("Card middle"), n.find("Rivers"));

    doc.ResetMap(true);
    EXPECT_EQ(doc.GetKeptLayerCount(), 0);
}

// Layers whose files are there but do not open (a shapefile without its
// index, an image without its world file, an unknown kind) are kept like
// missing ones, the user is told once, and "Save As" into another folder
// keeps every relative dataset name pointing at the same file.
TEST_F(MapDoc, LayersThatDoNotOpenAreKeptAndSaveAsMovesTheirPaths) {
    MakePointShapefile("maps", "roads", {"1 2", "3 4"});
    MakePointShapefile("maps", "survey", {"1 2", "3 4"});
    Put("maps/roads.prj", wgs84_);
    Put("maps/survey.prj", wgs84_);
    ASSERT_EQ(::unlink(Host("maps/survey.shx").c_str()), 0);
    Put("maps/photo.jpg", "\xff\xd8\xff\xd9");
    Put("maps/odd.xyz", "?");
    const std::string fixture = Crlf(
        "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
        "<Zarnip>\n"
        "  <MAP>\n"
        "    <PROPERTIES>\n"
        "      <ENVELOPE minx=\"1\" miny=\"2\" maxx=\"3\" maxy=\"4\"/>\n"
        "      <COORDSYS string=\"" +
        Escaped(wgs84_) +
        "\"/>\n"
        "    </PROPERTIES>\n"
        "    <BOOKMARKS/>\n"
        "    <LAYER name=\"Survey\" visible=\"false\" minscale=\"1:5000\">\n"
        "      <DATASET name=\"survey.shp\"/>\n"
        "      <METADATA>\n"
        "        <COMMENTS>walked in May</COMMENTS>\n"
        "      </METADATA>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Roads\">\n"
        "      <DATASET name=\"roads.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Photo\">\n"
        "      <DATASET name=\"photo.jpg\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Odd\">\n"
        "      <DATASET name=\"odd.xyz\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <LAYER name=\"Gone\">\n"
        "      <DATASET name=\"gone.shp\"/>\n"
        "      <METADATA/>\n"
        "    </LAYER>\n"
        "    <STATUSBAR visible=\"true\"/>\n"
        "    <SCALEBAR visible=\"true\"/>\n"
        "  </MAP>\n"
        "</Zarnip>\n");
    Put("maps/m.znm", fixture);
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\maps\\m.znm"));
    EXPECT_EQ(doc.GetLayers().GetCount(), 1);
    EXPECT_EQ(doc.GetKeptLayerCount(), 4);
    // One message for every layer not opened, whatever the reason.
    EXPECT_EQ(MessageTexts(),
              std::vector<WString>{u"Error opening '\\maps\\survey.shp', '\\maps\\photo.jpg', "
                                   u"'\\maps\\odd.xyz', '\\maps\\gone.shp'"});
    ASSERT_TRUE(doc.WriteMapFile(u"\\maps\\m.znm"));
    EXPECT_EQ(Get("maps/m.znm"), fixture);

    // Save As elsewhere: the copy names the same files, and opens them.
    ::mkdir(Host("backup").c_str(), 0755);
    ASSERT_TRUE(doc.OnSaveDocument(u"\\backup\\copy.znm"));
    std::string copy = Get("backup/copy.znm");
    for (const char* name : {"survey.shp", "roads.shp", "photo.jpg", "odd.xyz", "gone.shp"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(copy.find(std::string("<DATASET name=\"\\maps\\") + name + "\"/>"),
                  std::string::npos);
    }
    EXPECT_NE(copy.find("<COMMENTS>walked in May</COMMENTS>"), std::string::npos);
    EXPECT_NE(copy.find("minscale=\"1:5000\""), std::string::npos);
    CMapDoc reopened;
    ASSERT_TRUE(reopened.OnOpenDocument(u"\\backup\\copy.znm"));
    ASSERT_EQ(reopened.GetLayers().GetCount(), 1);
    EXPECT_EQ(reopened.GetLayers().GetAt(0)->GetPath(), u"\\maps\\roads.shp");
    EXPECT_EQ(reopened.GetKeptLayerCount(), 4);
}

// A FIFO where a file is expected (the document itself, a layer's data set,
// its world file, its table) is refused at once: the open never waits for a
// writer, and the layer is kept for saving like any that does not open.
TEST_F(MapDoc, SpecialFilesAreRefusedWithoutWaiting) {
    struct Row {
        const char* what;
        const char* fifo;     // made a FIFO
        const char* dataset;  // the document's layer
        bool opens;
    } rows[] = {
        {"map document", "maps/m.znm", "roads.shp", false},
        {"layer data set", "maps/roads.shp", "roads.shp", true},
        {"table", "maps/roads.dbf", "roads.shp", true},
        {"world file", "maps/photo.jgw", "photo.jpg", true},
    };
    // The picture layer that reads its world file.
    UseBuiltInLayerClass(LayerKind::Jpeg);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.what);
        win::ResetForTests();
        ShellIn("maps", "rm -f ./*");
        MakePointShapefile("maps", "roads", {"1 2", "3 4"});
        Put("maps/roads.prj", wgs84_);
        Put("maps/photo.jpg", "\xff\xd8\xff\xd9");
        Put("maps/photo.jgw", "1\n0\n0\n-1\n0\n0\n");
        Put("maps/m.znm", std::string("<Zarnip><MAP><LAYER name=\"L\"><DATASET name=\"") +
                              r.dataset + "\"/></LAYER></MAP></Zarnip>");
        ASSERT_EQ(::unlink(Host(r.fifo).c_str()), 0);
        ASSERT_EQ(::mkfifo(Host(r.fifo).c_str(), 0644), 0);
        CMapDoc doc;
        EXPECT_EQ(doc.OnOpenDocument(u"\\maps\\m.znm"), r.opens);
        auto texts = MessageTexts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0].rfind(r.opens ? u"Error opening '" : u"Error opening map '", 0), 0u)
            << Utf8(texts[0]);
        EXPECT_EQ(doc.GetLayers().GetCount(), 0);
        if (r.opens) EXPECT_EQ(doc.GetKeptLayerCount(), 1);
    }
}

TEST_F(MapDoc, AddingADocumentsLayersKeepsTheTitle) {
    MakePointShapefile("maps", "roads", {"1 2", "3 4"});
    Put("maps/roads.prj", wgs84_);
    Put("maps/other.znm", "<Zarnip><MAP name=\"Other\"><LAYER><DATASET name=\"roads.shp\"/></LAYER></MAP></Zarnip>");
    CMapDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    doc.SetMapTitle(u"Mine");
    ASSERT_TRUE(doc.AddLayerFromPath(u"\\maps\\other.znm", nullptr));
    EXPECT_EQ(doc.GetMapTitle(), u"Mine");
    EXPECT_EQ(doc.GetLayers().GetCount(), 1);
    CLayer* again = nullptr;
    ASSERT_TRUE(doc.AddLayerFromPath(u"\\MAPS\\ROADS.SHP", &again));
    EXPECT_EQ(again, doc.GetLayers().GetAt(0));
    // A dataset that cannot be opened: 8015 with the engine's code.
    Put("maps/broken.shp", "not a shapefile");
    EXPECT_FALSE(doc.AddLayerFromPath(u"\\maps\\broken.shp", &again));
    EXPECT_EQ(again, nullptr);
    auto texts = MessageTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].substr(0, 35), u"Error opening '\\maps\\broken.shp' : ");
}

TEST_F(MapDoc, FrameworkSaveAsAndViews) {
    CMapDoc doc;
    RecordingView view;
    doc.AddView(&view);
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(view.toolbarUpdates, 1);
    EXPECT_EQ(view.hints, std::vector<LPARAM>{1});  // the new map's system
    EXPECT_TRUE(doc.GetPathName().empty());

    // No path: Save As asks for one; the extension becomes .znm.
    WString filter;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        EXPECT_TRUE(save);
        filter = ofn.filter;
        ofn.file = u"\\Docs\\chosen.txt";
        return true;
    };
    win::SetCommonDialogResponder(responder);
    doc.SetMapTitle(u"Chosen map");
    doc.SetModifiedFlag(true);
    ASSERT_TRUE(doc.DoSave(u""));
    EXPECT_NE(filter.find(u"Zarnip Map Documents (*.znm)"), WString::npos);
    EXPECT_NE(filter.find(u"*.znm"), WString::npos);
    EXPECT_TRUE(HostExists("Docs/chosen.znm"));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetTitle(), u"Chosen map");

    // Cancelled: nothing written, still modified.
    responder.file = [](OPENFILENAME&, bool) { return false; };
    win::SetCommonDialogResponder(responder);
    doc.SetModifiedFlag(true);
    EXPECT_FALSE(doc.DoSave(u""));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(HostList("Docs"), std::vector<std::string>{"chosen.znm"});
    doc.RemoveView(&view);
}

}  // namespace

namespace {

// A layer whose positions cannot be converted to the map's (a datum whose
// only shift is a grid, a projection we do not know) or whose datum is not
// in the table says so once when it is added; its points give "cannot
// convert" instead of being drawn in the wrong place.
TEST_F(MapDoc, PositionsThatCannotBeConvertedAreToldOnce) {
    // The shipped table and one datum whose only transformation is a grid,
    // added by an outside tool.
    ASSERT_TRUE(ShellIn("sys", "cp '" ZN_SOURCE_DIR "/data/System/znDatums.dbf' datums.dbf && "
                               "dbfadd datums.dbf F 9999 9998 D_Grid_Only Clarke_1866 6378206.4 "
                               "294.9786982139 NTv2 0 0 0 0 0 0 0"));
    ASSERT_TRUE(SetDatumTableFile(u"\\sys\\datums.dbf"));
    const std::string geog = "PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]";
    const struct {
        const char* what;
        std::string prj;
        UINT messageId;  // 0 none
        bool converts;
    } rows[] = {
        {"grid-only datum",
         "GEOGCS[\"GCS_Grid_Only\",DATUM[\"D_Grid_Only\",SPHEROID[\"Clarke_1866\",6378206.4,"
         "294.9786982139]]," + geog,
         IDP_DATUM_SHIFT_NOT_SUPPORTED, false},
        {"unknown projection",
         "PROJCS[\"Odd\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
         "6378137,298.257223563]]," + geog + ",PROJECTION[\"No_Such_Projection\"],"
         "UNIT[\"Meter\",1]]",
         IDP_CANNOT_CONVERT, false},
        {"datum not in the table",
         "GEOGCS[\"GCS_Nowhere\",DATUM[\"D_Nowhere\",SPHEROID[\"WGS_1984\",6378137,"
         "298.257223563]]," + geog,
         IDP_UNKNOWN_DATUM, true},
        {"datum with a shift",
         "GEOGCS[\"GCS_North_American_1927\",DATUM[\"D_North_American_1927\",SPHEROID["
         "\"Clarke_1866\",6378206.4,294.9786982]]," + geog,
         0, true},
    };
    MakePointShapefile("d", "base", {"-10 40", "5 50"});
    MakePointShapefile("d", "lyr", {"-10 40", "5 50"});
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        win::ResetForTests();
        CMapDoc doc;
        doc.ResetMap(false);
        doc.SetMapCoordSys(MakeCoordSys(CMapDoc::kDefaultWkt), false);
        auto* base = new CTestShapeLayer();
        ASSERT_TRUE(base->Open(u"\\d\\base.shp"));
        doc.GetLayers().AddTail(std::unique_ptr<CLayer>(base));
        Put("d/lyr.prj", r.prj);
        auto* layer = new CTestShapeLayer();
        ASSERT_TRUE(layer->Open(u"\\d\\lyr.shp"));
        layer->SetReprojectable(true);
        ASSERT_TRUE(doc.AddLayer(std::unique_ptr<CLayer>(layer), 0));
        const std::vector<WString> told = MessageTexts();
        if (r.messageId == 0) {
            EXPECT_TRUE(told.empty());
        } else {
            ASSERT_EQ(told.size(), 1u);
            const WString head = LoadMapString(r.messageId);
            const WString fixed = head.substr(0, head.find(u'%'));
            EXPECT_EQ(told[0].substr(0, fixed.size()), fixed) << Utf8(told[0]);
            EXPECT_NE(told[0].find(layer->GetName()), WString::npos) << Utf8(told[0]);
        }
        // Its points convert many times over; the user was told once.
        std::unique_ptr<CCoordSys> cs(layer->GetCoordSys());
        ASSERT_NE(cs, nullptr);
        for (int i = 0; i < 3; ++i) {
            double x = NAN, y = NAN;
            cs->ConvertTo(cs->m_projectionCode == 43000 ? -10 : 1000, 40 + i, doc.GetMapCoordSys(),
                          &x, &y);
            EXPECT_EQ(std::isfinite(x) && std::isfinite(y), r.converts) << x << " " << y;
        }
        EXPECT_EQ(MessageTexts().size(), told.size());
    }
}

}  // namespace
