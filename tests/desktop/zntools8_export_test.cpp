// The add-in's map document and layer file writers, and the Export
// Symbology command, against the desktop host stand-in; every file written
// is read back by the handheld's own readers (and by xmllint).
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <functional>
#include <memory>

#include "core/config_xml_file.h"
#include "core/xml_node.h"
#include "crs/coord_sys.h"
#include "crs/wkt.h"
#include "desktop/host/dmap_io.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "desktop/host/role_factories.h"
#include "desktop/support/xml_parse.h"
#include "desktop/tools/commands.h"
#include "desktop/tools/entry_points.h"
#include "desktop/tools/export_map.h"
#include "desktop/tools/export_symbology.h"
#include "desktop/tools/export_symbology_command.h"
#include "desktop/tools/xml_utilities.h"
#include "formats/dbf/dbf_engine.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/symbology/text_symbol.h"
#include "platform/fs/fs.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/locale_guard.h"
#include "tests/support/run_command.h"

namespace {

using namespace host;
using namespace zntools8;

// Run again by ctest with LC_ALL=de_DE.UTF-8 and ZN_TEST_SETLOCALE set: the
// process locale is then taken from the environment, as Qt takes it, and
// every golden file of this binary must come out byte for byte the same.
class ProcessLocale : public ::testing::Environment {
public:
    void SetUp() override {
        if (!std::getenv("ZN_TEST_SETLOCALE")) return;
        ASSERT_TRUE(std::setlocale(LC_ALL, "")) << "the locale of the environment is missing";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    }
    void TearDown() override { std::setlocale(LC_ALL, "C"); }
};
const auto* const kProcessLocale = ::testing::AddGlobalTestEnvironment(new ProcessLocale);

struct Unanswered : std::runtime_error {
    using std::runtime_error::runtime_error;
};

std::string Shell(const std::string& command, int* status = nullptr) {
    return testsupport::RunCommand(command, status);
}

struct DocFree {
    void operator()(xmlDocPtr d) const { xmlFreeDoc(d); }
};
using Doc = std::unique_ptr<xmlDoc, DocFree>;

Doc Parse(const std::string& text) {
    return Doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, 0));
}

std::string Q(const std::string& s) {
    return "'" + s + "'";
}

class Export : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        UseBuiltInLayerClass(LayerKind::Shape);
        HostFaults::Reset();
    }
    void TearDown() override {
        HostFaults::Reset();
        fs::test::Reset();
        MapTest::TearDown();
    }
    ScriptedHostUi Ui(const std::string& answers = {}) {
        int bad = 0;
        auto parsed = ParseAnswers(answers, &bad);
        EXPECT_TRUE(parsed) << "answers line " << bad;
        return ScriptedHostUi(parsed.value_or(std::deque<ScriptedAnswer>{}),
                              [](const std::string& prompt) { throw Unanswered(prompt); });
    }
    // A host over a document in folder w (the shapefiles' workspace).
    std::shared_ptr<HostApplicationImpl> Open(const std::string& mapBody, IHostUi& ui,
                                              const std::string& mapAttrs = {}) {
        Put("w/m.dmap", "<desktopmap version=\"1\"><map name=\"m\"" + mapAttrs + ">" + mapBody +
                            "</map></desktopmap>");
        DmapError e;
        auto app = OpenHostDocument(Host("w/m.dmap"), ui, &e);
        EXPECT_TRUE(app) << e.Text();
        return app;
    }
    // A point shapefile with the fields the layer files name.
    void MakeShapefile(const std::string& folder, const std::string& name) {
        const std::string n = Q(name);
        ASSERT_TRUE(ShellIn(folder, "shpcreate " + n + " point >/dev/null && dbfcreate " + n +
                                        " -s NAME 20 -n POPULATION 10 0 -s URL 40 -n ANGLE 5 0 "
                                        ">/dev/null && shpadd " + n + " 1 1 >/dev/null && dbfadd " +
                                        n + ".dbf A 100 http://a 45 >/dev/null"));
    }
    // The layer as the handheld opens it, with its layer file.
    std::unique_ptr<CShapeLayer> Handheld(const std::string& relativeShp) {
        auto layer = std::make_unique<CShapeLayer>();
        WString path = u"\\" + text::FromUtf8(relativeShp);
        for (auto& c : path)
            if (c == u'/') c = u'\\';
        if (!layer->Open(path.c_str())) return nullptr;
        return layer;
    }
    void ExpectXmllintAccepts(const std::string& relative) {
        int status = -1;
        const std::string out = Shell("xmllint --noout " + Q(Host(relative)) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << relative << ": " << out;
    }
    std::string XPath(const std::string& relative, const std::string& expression) {
        int status = -1;
        std::string out =
            Shell("xmllint --xpath " + Q(expression) + " " + Q(Host(relative)) + " 2>/dev/null", &status);
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }
    // Exports the first map layer's symbology beside its data; the bytes.
    std::string ExportFirst(const std::string& layerXml, const std::string& mapAttrs = {},
                            const std::string& answers = {}) {
        auto ui = Ui(answers);
        auto app = Open(layerXml, ui, mapAttrs);
        if (!app) return {};
        auto map = app->Document()->FocusMap();
        ExportSymbology exporter(ui);
        exporter.ExportLayer(*map, map->Layer(0));
        EXPECT_EQ(ui.AnswersLeft(), 0u);
        return Get("w/roads.znl");
    }
    std::string Layer(const std::string& inner, const std::string& attrs = {}) {
        return "<layer kind=\"feature\" name=\"Roads\"" + attrs +
               "><data workspace=\".\" dataset=\"roads\"/>" + inner + "</layer>";
    }
};

// ------------------------------------------------------------------ XML writing functions

TEST_F(Export, XmlWritingFunctions) {
    Doc doc = Parse("<r>text<a n=\"1\"/><b/><a n=\"2\"/>tail</r>");
    xmlNodePtr r = xmlDocGetRootElement(doc.get());
    // The first of two is found and nothing is made.
    xmlNodePtr a = GetOrCreateChild(r, "a");
    xmlChar* n = xmlGetProp(a, BAD_CAST "n");
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(n)), "1");
    xmlFree(n);
    EXPECT_EQ(xmlChildElementCount(r), 3u);
    // A new one goes after every node, text included; only direct children count.
    xmlNodePtr c = GetOrCreateChild(r, "c");
    EXPECT_EQ(r->last, c);
    EXPECT_EQ(xmlChildElementCount(r), 4u);
    EXPECT_NE(GetOrCreateChild(c, "a"), a);

    EXPECT_TRUE(SetAttributeUnlessDefault(c, "v", "Roads", "roads"));  // case counts
    EXPECT_TRUE(xmlHasProp(c, BAD_CAST "v"));
    EXPECT_FALSE(SetAttributeUnlessDefault(c, "v", "", ""));
    EXPECT_FALSE(xmlHasProp(c, BAD_CAST "v"));
    EXPECT_FALSE(SetAttributeUnlessDefault(c, "v", "x", "x"));

    SetBoolAttribute(c, "visible", false);
    xmlChar* v = xmlGetProp(c, BAD_CAST "visible");
    EXPECT_STREQ(reinterpret_cast<char*>(v), "false");
    xmlFree(v);
    const bool no = false;
    SetBoolAttribute(c, "visible", false, &no);
    EXPECT_FALSE(xmlHasProp(c, BAD_CAST "visible"));
    EXPECT_EQ(BoolToText(true), "true");

    RemoveAttributeQuietly(nullptr, "x");
    RemoveAttributeQuietly(c, "missing");
}

// What the handheld's reader takes: raw UTF-8, its seven entities, kept
// whitespace and comments; names and characters XML cannot carry refused
// before anything is written.
TEST_F(Export, SavedTreesAreWrittenAsTheHandheldWritesItsFiles) {
    Doc doc = Parse(
        "<Zarnip>\n  <!-- kept -->\n  <L a=\"x\"><![CDATA[<b>&]]></L><?pi data?>\n</Zarnip>");
    xmlNodePtr l = xmlDocGetRootElement(doc.get())->children->next->next->next;
    ASSERT_TRUE(l);
    SetAttributeUnlessDefault(l, "v", "& \" ' < > \n \r \t Caf\xC3\xA9 \xF0\x9F\x98\x80");
    SaveXmlDocument(doc.get(), Host("t.xml"), false);
    EXPECT_EQ(Get("t.xml"),
              "<Zarnip>\n  <!-- kept -->\n  <L a=\"x\" v=\"&amp; &quot; &apos; &lt; &gt; &#xA; "
              "&#xD; \t Caf\xC3\xA9 \xF0\x9F\x98\x80\">&lt;b&gt;&amp;</L><?pi data?>\n</Zarnip>");
    ExpectXmllintAccepts("t.xml");
    CXmlDocument handheld;
    ASSERT_TRUE(handheld.LoadFile(u"\\t.xml"));
    const CXmlNode* back = handheld.GetRoot()->FindChild(u"L");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetAttribute(u"v"), u"& \" ' < > \n \r \t Caf\u00E9 \U0001F600");
    EXPECT_EQ(back->GetText(), u"<b>&");
    SaveXmlDocument(doc.get(), Host("d.xml"), true);
    EXPECT_EQ(Get("d.xml").substr(0, 46), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Zarnip>");

    // Refused, the old file kept.
    Put("t.xml", "old");
    for (const auto& [name, value] : {std::pair<std::string, std::string>{"a b", "1"},
                                      {"ok", std::string("bell\x07", 5)},
                                      {"ok", "\xC3("}}) {
        SCOPED_TRACE(name);
        xmlSetProp(l, BAD_CAST name.c_str(), BAD_CAST value.c_str());
        EXPECT_THROW(SaveXmlDocument(doc.get(), Host("t.xml"), false), ExportError);
        EXPECT_EQ(Get("t.xml"), "old");
        xmlUnsetProp(l, BAD_CAST name.c_str());
    }
}

// ------------------------------------------------------------------ map documents

const char kMapLayers[] =
    "<layer kind=\"feature\" name=\"Roads\"><data workspace=\".\" dataset=\"roads\"/></layer>"
    "<layer kind=\"feature\" name=\"Rivi\xC3\xA8res\" visible=\"false\"><data workspace=\".\" "
    "dataset=\"rivers\"/></layer>"
    "<layer kind=\"raster\" name=\"Ortho\xF0\x9F\x97\xBA\" file=\"o.sid\"/>"
    "<layer kind=\"annotation\" name=\"Notes\"/>";

class MapExport : public Export {
protected:
    void SetUp() override {
        Export::SetUp();
        Put("w/utm.prj", text::ToUtf8(kUtm33Wkt));
    }
    std::string MapAttrs() const { return {}; }
    std::string Body(const std::string& layers) const {
        return "<coordsys prj=\"utm.prj\"/><view xmin=\"512345.678\" ymin=\"-74.25\" "
               "xmax=\"612345.5\" ymax=\"1e-7\"/>" +
               layers;
    }
    // Exports the map's layers to out/Zarnip.znm.
    void ExportAll(IHostApplication& app, IHostUi&) {
        auto map = app.Document()->FocusMap();
        std::vector<std::shared_ptr<IHostLayer>> layers;
        for (int i = 0; i < map->LayerCount(); ++i) layers.push_back(map->Layer(i));
        ExportMap(app, *map, layers, Host("out/Zarnip"));
    }
};

TEST_F(MapExport, GoldenDocumentReadBackByTheHandheld) {
    auto ui = Ui();
    auto app = Open(Body(kMapLayers), ui);
    ASSERT_TRUE(app);
    ::mkdir(Host("out").c_str(), 0755);
    ExportAll(*app, ui);
    const std::string wkt = app->Document()->FocusMap()->SpatialReference()->Text();
    WString escaped = text::FromUtf8(wkt);
    XmlEscape(escaped);
    const std::string golden =
        "<Zarnip><MAP name=\"" + Host("out/Zarnip") +
        "\"><PROPERTIES><ENVELOPE minx=\"512345.678\" miny=\"-74.25\" maxx=\"612345.5\" "
        "maxy=\"1e-07\"/><COORDSYS string=\"" + text::ToUtf8(escaped) +
        "\"/></PROPERTIES><LAYER visible=\"true\"><DATASET name=\"Roads.shp\"/></LAYER>"
        "<LAYER visible=\"false\"><DATASET name=\"Rivi\xC3\xA8res.shp\"/></LAYER>"
        "<LAYER visible=\"true\"><DATASET name=\"Ortho\xF0\x9F\x97\xBA.sid\"/></LAYER>"
        "<LAYER visible=\"true\"><DATASET name=\"Notes\"/></LAYER></MAP></Zarnip>";
    EXPECT_EQ(Get("out/Zarnip.znm"), golden);
    EXPECT_EQ(Get("out/Zarnip.znm").find("&#"), std::string::npos);
    ExpectXmllintAccepts("out/Zarnip.znm");
    EXPECT_EQ(XPath("out/Zarnip.znm", "string(//ENVELOPE/@miny)"), "-74.25");
    EXPECT_EQ(XPath("out/Zarnip.znm", "count(//LAYER)"), "4");
    EXPECT_EQ(XPath("out/Zarnip.znm", "string(//LAYER[3]/DATASET/@name)"),
              "Ortho\xF0\x9F\x97\xBA.sid");

    // projinfo reads the document's system as the map's .prj.
    const std::string fromDoc = XPath("out/Zarnip.znm", "string(//COORDSYS/@string)");
    int s1 = -1, s2 = -1;
    const std::string a = Shell("projinfo -q -o PROJ " + Q(fromDoc) + " 2>&1", &s1);
    const std::string b = Shell("projinfo -q -o PROJ @" + Q(Host("w/utm.prj")) + " 2>&1", &s2);
    EXPECT_EQ(s1, 0) << a;
    EXPECT_EQ(s2, 0) << b;
    EXPECT_EQ(a, b);

    // The handheld's map document: extent, system, layers in order.
    MakeShapefile("out", "Roads");
    MakeShapefile("out", "Rivi\xC3\xA8res");
    app->Document()->FocusMap()->SpatialReference()->WritePrjFile(Host("out/Roads.prj"));
    CMapDoc doc;
    ASSERT_TRUE(doc.ReadMapFile(u"\\out\\Zarnip.znm", false)) << text::ToUtf8(
        MessageTexts().empty() ? WString() : MessageTexts().back());
    const CDoubleRect& e = doc.GetMapExtent();
    EXPECT_NEAR(e.xmin, 512345.678, 512345.678 * 1e-9);
    EXPECT_NEAR(e.ymin, -74.25, 74.25 * 1e-9);
    EXPECT_NEAR(e.xmax, 612345.5, 612345.5 * 1e-9);
    EXPECT_NEAR(e.ymax, 1e-7, 1e-16);
    ASSERT_TRUE(doc.GetMapCoordSys());
    std::unique_ptr<CCoordSys> mapSystem(MakeCoordSys(kUtm33Wkt));
    std::string prj = Get("out/Roads.prj");
    std::unique_ptr<CCoordSys> layerSystem(MakeCoordSys(text::FromLatin1(prj).c_str()));
    ASSERT_TRUE(mapSystem && layerSystem);
    EXPECT_TRUE(doc.GetMapCoordSys()->IsEqual(mapSystem.get()));
    EXPECT_TRUE(doc.GetMapCoordSys()->IsEqual(layerSystem.get()));
    EXPECT_EQ(doc.GetMapTitle(), text::FromUtf8(Host("out/Zarnip")));
    ASSERT_EQ(doc.GetLayers().GetCount(), 2);
    EXPECT_EQ(doc.GetLayers().GetAt(0)->GetDatasetPath().GetFileName(), u"Roads.shp");
    EXPECT_TRUE(doc.GetLayers().GetAt(0)->IsVisible());
    EXPECT_EQ(doc.GetLayers().GetAt(1)->GetDatasetPath().GetFileName(), u"Rivi\u00E8res.shp");
    EXPECT_FALSE(doc.GetLayers().GetAt(1)->IsVisible());
    // The handheld's own reader gives both names back exactly.
    CXmlDocument x;
    ASSERT_TRUE(x.LoadFile(u"\\out\\Zarnip.znm"));
    const CXmlNode* m = x.GetRoot()->FindChild(u"MAP");
    std::vector<WString> names;
    for (int i = 0; i < m->GetChildCount(); ++i)
        if (const CXmlNode* d = m->GetChild(i)->FindChild(u"DATASET"))
            names.push_back(d->GetAttribute(u"name"));
    EXPECT_EQ(names, (std::vector<WString>{u"Roads.shp", u"Rivi\u00E8res.shp",
                                           u"Ortho\U0001F5FA.sid", u"Notes"}));
}

TEST_F(MapExport, EmptyInputAndTheOverwriteQuestion) {
    // No layers, no system: MAP with PROPERTIES only, COORDSYS without text.
    auto ui = Ui();
    auto app = Open("<view xmin=\"0\" ymin=\"0\" xmax=\"1.5\" ymax=\"2\"/>", ui);
    ASSERT_TRUE(app);
    ::mkdir(Host("out").c_str(), 0755);
    ExportMap(*app, *app->Document()->FocusMap(), {}, Host("out/Zarnip"));
    EXPECT_EQ(Get("out/Zarnip.znm"),
              "<Zarnip><MAP name=\"" + Host("out/Zarnip") +
                  "\"><PROPERTIES><ENVELOPE minx=\"0\" miny=\"0\" maxx=\"1.5\" maxy=\"2\"/>"
                  "<COORDSYS/></PROPERTIES></MAP></Zarnip>");

    // A blank reference text gives no string.
    Put("w/blank.prj", "   ");
    auto blankUi = Ui();
    auto blank = Open("<coordsys prj=\"blank.prj\"/><view xmin=\"0\" ymin=\"0\" xmax=\"1\" ymax=\"1\"/>",
                      blankUi);
    ASSERT_TRUE(blank);
    ExportMap(*blank, *blank->Document()->FocusMap(), {}, Host("out/Blank"));
    EXPECT_NE(Get("out/Blank.znm").find("<COORDSYS/>"), std::string::npos);

    // No keeps the file byte for byte; Yes replaces it whole.
    const std::string old = "<Zarnip><MAP name=\"old\"><BOOKMARKS/></MAP></Zarnip>\r\n";
    Put("out/Zarnip.znm", old);
    const std::string question = "[message] File Exists\nicon: question\nbuttons: Yes,No\ntext: " +
                                 Host("out/Zarnip.znm") + " Exists.\r\nOverwrite?\nanswer: ";
    auto noUi = Ui("message \"File Exists\" No\n");
    auto app2 = Open(Body(kMapLayers), noUi);
    ExportAll(*app2, noUi);
    EXPECT_EQ(Get("out/Zarnip.znm"), old);
    EXPECT_NE(noUi.Log().find(question + "No"), std::string::npos) << noUi.Log();
    auto yesUi = Ui("message \"File Exists\" Yes\n");
    auto app3 = Open(Body(kMapLayers), yesUi);
    ExportAll(*app3, yesUi);
    EXPECT_EQ(Get("out/Zarnip.znm").find("BOOKMARKS"), std::string::npos);
    EXPECT_EQ(Get("out/Zarnip.znm").substr(0, 14), "<Zarnip><MAP n");
    EXPECT_EQ(yesUi.AnswersLeft(), 0u);
}

// ------------------------------------------------------------------ layer files

const char kHandWritten[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Zarnip>\n"
    "  <!-- written by hand -->\n"
    "  <LAYER name=\"old\" maxscale=\"1:5\" autopack=\"false\">\n"
    "    <FORMS>\n      <FORM name=\"Edit\"/>\n    </FORMS>\n"
    "    <SYMBOLOGY><SIMPLERENDERER><SIMPLEMARKERSYMBOL width=\"9\"/></SIMPLERENDERER></SYMBOLOGY>\n"
    "    <HYPERLINK field=\"OLD\"/>\n"
    "    <SCRIPT language=\"VBScript\"><![CDATA[Sub Go()\n  If a < b Then x = 1\nEnd Sub]]></SCRIPT>\n"
    "    <LOCALE lcid=\"1037\" codepage=\"1255\"/>\n"
    "    <SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"X\"><EXACT value=\"1\"/></VALUEMAPRENDERER></SYMBOLOGY>\n"
    "  </LAYER>\n"
    "</Zarnip>\n";

TEST_F(Export, AnExistingLayerFileIsUpdatedInPlace) {
    MakeShapefile("w", "roads");
    Put("w/ROADS.ZNL", kHandWritten);
    const std::string layer =
        Layer("<simplerenderer label=\"all\"><simplemarker size=\"4\" color=\"255,0,0\"/>"
              "</simplerenderer>",
              " hyperlinkfield=\"URL\"");
    auto ui = Ui();
    auto app = Open(layer, ui);
    ASSERT_TRUE(app);
    auto map = app->Document()->FocusMap();
    ExportSymbology exporter(ui);
    exporter.ExportLayer(*map, map->Layer(0));
    // Found without regard to case and written back under its own name.
    EXPECT_FALSE(HostExists("w/roads.znl"));
    const std::string first = Get("w/ROADS.ZNL");
    EXPECT_EQ(first,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
              "<Zarnip>\n"
              "  <!-- written by hand -->\n"
              "  <LAYER name=\"Roads\" autopack=\"false\">\n"
              "    <FORMS>\n      <FORM name=\"Edit\"/>\n    </FORMS>\n"
              "    \n"
              "    <HYPERLINK field=\"URL\"/>\n"
              "    <SCRIPT language=\"VBScript\">Sub Go()&#xA;  If a &lt; b Then x = 1&#xA;End "
              "Sub</SCRIPT>\n"
              "    <LOCALE lcid=\"1037\" codepage=\"1255\"/>\n"
              "    \n"
              "  <SYMBOLOGY><SIMPLERENDERER label=\"all\"><SIMPLEMARKERSYMBOL width=\"4\" "
              "color=\"255,0,0\"/></SIMPLERENDERER></SYMBOLOGY></LAYER>\n"
              "</Zarnip>");
    ExpectXmllintAccepts("w/ROADS.ZNL");
    // Twice gives the same bytes.
    exporter.ExportLayer(*map, map->Layer(0));
    EXPECT_EQ(Get("w/ROADS.ZNL"), first);

    // The handheld still finds the layer's script and form, and the new symbology.
    auto l = Handheld("w/roads.shp");
    ASSERT_TRUE(l);
    EXPECT_EQ(l->GetName(), u"Roads");
    EXPECT_FALSE(l->m_autopack);
    EXPECT_EQ(l->GetLocaleId(), 1037);
    EXPECT_EQ(l->m_renderer.GetClassCount(), 1);
    EXPECT_FALSE(l->m_renderer.IsValueMap());
    EXPECT_EQ(l->m_renderer.GetClass(0)->m_fillColor, RGB(255, 0, 0));
    EXPECT_EQ(l->GetHyperlinkField(), DbfFindField(l->GetTable(), u"URL"));
    // What makes the reader start the layer's scripts and read its forms.
    CXmlDocument x;
    ASSERT_TRUE(x.LoadFile(u"\\w\\ROADS.ZNL"));
    ASSERT_TRUE(x.FindElement(u"LAYER", true)->FindChild(u"FORMS"));
    EXPECT_TRUE(x.FindElement(u"LAYER", true)->FindChild(u"FORMS")->FindChild(u"FORM"));
    EXPECT_EQ(x.FindElement(u"SCRIPT", true)->GetText(),
              u"Sub Go()\n  If a < b Then x = 1\nEnd Sub");

    // With an output folder the file is named after the layer, and the one
    // beside the data stays.
    ::mkdir(Host("out").c_str(), 0755);
    exporter.ExportLayer(*map, map->Layer(0), Host("out"));
    EXPECT_EQ(Get("out/Roads.znl"), first);
    EXPECT_EQ(Get("w/ROADS.ZNL"), first);

    // Texts that meet where a SYMBOLOGY was read back as one: the next
    // export still gives the same bytes.
    Put("w/ROADS.ZNL", "<Zarnip><LAYER>\n  <SYMBOLOGY/>\n $ <![CDATA[<]]></LAYER></Zarnip>");
    exporter.ExportLayer(*map, map->Layer(0));
    const std::string merged = Get("w/ROADS.ZNL");
    EXPECT_NE(merged.find("<LAYER name=\"Roads\">&#xA;  &#xA; $ &lt;<HYPERLINK"), std::string::npos)
        << merged;
    exporter.ExportLayer(*map, map->Layer(0));
    EXPECT_EQ(Get("w/ROADS.ZNL"), merged);
}

TEST_F(Export, LayerFilesThatDoNotLoadAreLeftAlone) {
    MakeShapefile("w", "roads");
    ::mkdir(Host("out").c_str(), 0755);
    const std::string layer = Layer("<simplerenderer><simplemarker/></simplerenderer>");
    const std::string broken[] = {
        "<Zarnip><LAYER name=\"x\"><FORMS></LAYER></Zarnip>",
        "<?xml version=\"1.0\"?><!DOCTYPE Zarnip [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><Zarnip><LAYER name=\"&b;\"/></Zarnip>",
        "<!DOCTYPE Zarnip SYSTEM \"http://example.invalid/z.dtd\"><Zarnip/>",
    };
    for (const std::string& bytes : broken) {
        for (const std::string& output : {std::string(), Host("out")}) {
            SCOPED_TRACE(bytes + " -> " + output);
            Put("w/roads.znl", bytes);
            auto ui = Ui();
            auto app = Open(layer, ui);
            auto map = app->Document()->FocusMap();
            ExportSymbology exporter(ui);
            try {
                exporter.ExportLayer(*map, map->Layer(0), output);
                ADD_FAILURE() << "no error";
            } catch (const ExportError& e) {
                EXPECT_EQ(std::string(e.what()).find("The layer file " + Host("w/./roads.znl") +
                                                     " could not be read: "),
                          0u)
                    << e.what();
            }
            EXPECT_EQ(Get("w/roads.znl"), bytes);
            EXPECT_FALSE(HostExists("out/Roads.znl"));
        }
    }
    // A file in another declared encoding loads and comes back as UTF-8.
    Put("w/roads.znl",
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<Zarnip><LAYER name=\"x\"><FORMS "
        "title=\"Caf\xE9\"/></LAYER></Zarnip>");
    auto ui = Ui();
    auto app = Open(layer, ui);
    auto map = app->Document()->FocusMap();
    ExportSymbology exporter(ui);
    exporter.ExportLayer(*map, map->Layer(0));
    const std::string out = Get("w/roads.znl");
    EXPECT_EQ(out.substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    EXPECT_NE(out.find("title=\"Caf\xC3\xA9\""), std::string::npos) << out;
    ExpectXmllintAccepts("w/roads.znl");
}

// Each renderer kind, read back by the handheld's layer file reader.
TEST_F(Export, RenderersReadBackByTheHandheld) {
    MakeShapefile("w", "roads");
    const std::string fill = "<simplefill color=\"1,2,3\"><outline><line width=\"1\"/></outline></simplefill>";
    struct Row {
        const char* name;
        std::string renderer;
        bool valueMap;
        std::vector<std::pair<std::string, std::string>> classes;  // value/lower, upper
        int rotationType;
        std::string rotationField;
    };
    const Row rows[] = {
        {"three values",
         "<uniquevaluerenderer fields=\"NAME\" defaultlabel=\"rest\"><default><simplemarker "
         "color=\"9,9,9\"/></default><group><class value=\"a\" label=\"A\">" + fill +
             "</class><class value=\"b\">" + fill + "</class><class value=\"c\">" + fill +
             "</class></group></uniquevaluerenderer>",
         true, {{"A", ""}, {"B", ""}, {"C", ""}}, 2, ""},
        {"no values",
         "<uniquevaluerenderer fields=\"NAME\" defaultlabel=\"all\"><default><simplemarker "
         "color=\"9,8,7\"/></default></uniquevaluerenderer>",
         false, {}, 2, ""},
        {"class breaks",
         "<classbreaksrenderer field=\"POPULATION\" minimum=\"0\"><break value=\"10\">" + fill +
             "</break><break value=\"20\">" + fill + "</break></classbreaksrenderer>",
         true, {{"0", "10"}, {"10", "20"}}, 2, ""},
        {"rotation arithmetic",
         "<simplerenderer><rotation field=\"ANGLE\" type=\"1\"/><simplemarker/></simplerenderer>",
         false, {}, 3, "ANGLE"},
        {"rotation geographic",
         "<simplerenderer><rotation field=\"ANGLE\" type=\"2\"/><simplemarker/></simplerenderer>",
         false, {}, 2, "ANGLE"},
        {"rotation without field",
         "<simplerenderer><rotation type=\"1\"/><simplemarker/></simplerenderer>", false, {}, 2,
         ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Put("w/roads.znl",
            "<Zarnip><LAYER><SYMBOLOGY><SIMPLERENDERER rotationfield=\"ANGLE\" "
            "rotationtype=\"arithmetic\"><SIMPLEMARKERSYMBOL/></SIMPLERENDERER></SYMBOLOGY></LAYER></Zarnip>");
        const std::string out = ExportFirst(Layer(r.renderer));
        ExpectXmllintAccepts("w/roads.znl");
        auto l = Handheld("w/roads.shp");
        ASSERT_TRUE(l);
        const CRenderer& rr = l->m_renderer;
        EXPECT_EQ(rr.IsValueMap(), r.valueMap);
        if (r.valueMap) {
            ASSERT_EQ(rr.GetClassCount(), static_cast<int>(r.classes.size()) + 1);
            for (size_t i = 0; i < r.classes.size(); ++i) {
                EXPECT_EQ(text::ToUtf8(rr.GetClass(int(i) + 1)->m_value), r.classes[i].first);
                EXPECT_EQ(text::ToUtf8(rr.GetClass(int(i) + 1)->m_upper), r.classes[i].second);
                EXPECT_EQ(rr.GetClass(int(i) + 1)->m_fillColor, RGB(1, 2, 3));
            }
            EXPECT_GE(l->m_rendererField, 0);
        } else {
            EXPECT_EQ(rr.GetClassCount(), 1);
        }
        EXPECT_EQ(out.find("<OTHER") != std::string::npos,
                  std::string(r.name) == "three values");
        EXPECT_EQ(rr.m_rotationType, r.rotationType);
        EXPECT_EQ(text::ToUtf8(rr.m_rotationField), r.rotationField);
        EXPECT_EQ(out.find("rotationtype") != std::string::npos, !r.rotationField.empty());
    }
    // Three values: the legend's labels; no values: the default symbol.
    ExportFirst(Layer(rows[0].renderer));
    EXPECT_EQ(XPath("w/roads.znl", "string(//EXACT[1]/@label)"), "A");
    EXPECT_EQ(XPath("w/roads.znl", "string(//OTHER/@label)"), "rest");
    ExportFirst(Layer(rows[1].renderer));
    EXPECT_EQ(XPath("w/roads.znl", "string(//SIMPLERENDERER/@label)"), "all");
    EXPECT_EQ(XPath("w/roads.znl", "string(//SIMPLERENDERER/SIMPLEMARKERSYMBOL/@color)"), "9,8,7");

    // Another kind: the box, and the file is still saved (labels only).
    const std::string other = ExportFirst(
        Layer("<otherrenderer kind=\"dot density\"/><labelclass expression=\"[NAME]\"><text "
              "font=\"Arial\"/></labelclass>"),
        {}, "message \"Export Symbology\" OK\n");
    EXPECT_NE(other.find("<SYMBOLOGY><SIMPLELABELRENDERER"), std::string::npos) << other;
    EXPECT_EQ(other.find("<SIMPLERENDERER"), std::string::npos);
    EXPECT_EQ(other.find("<VALUEMAPRENDERER"), std::string::npos);
}

TEST_F(Export, TheSecondLegendGroupPairsWithTheValuesWhenThereAreTwo) {
    // The host keeps one group per renderer; two groups come from a stand-in
    // renderer of the test's own.
    struct Group : IHostLegendGroup {
        std::string h;
        std::vector<std::string> labels;
        std::string Heading() const override { return h; }
        int ClassCount() const override { return int(labels.size()); }
        std::shared_ptr<IHostLegendClass> Class(int i) const override {
            struct C : IHostLegendClass {
                std::string l;
                std::string Label() const override { return l; }
                std::shared_ptr<IHostSymbol> Symbol() const override { return nullptr; }
            };
            auto c = std::make_shared<C>();
            c->l = labels[size_t(i)];
            return c;
        }
    };
    struct LegendDouble : IHostLegendInfo {
        std::vector<std::shared_ptr<Group>> groups;
        int LegendGroupCount() const override { return int(groups.size()); }
        std::shared_ptr<IHostLegendGroup> LegendGroup(int i) const override {
            return groups[size_t(i)];
        }
    };
    struct Unique : IHostUniqueValueRenderer {
        std::shared_ptr<LegendDouble> legend = std::make_shared<LegendDouble>();
        RendererKind Kind() const override { return RendererKind::UniqueValue; }
        std::shared_ptr<IHostLegendInfo> Legend() const override { return legend; }
        int FieldCount() const override { return 1; }
        std::string Field(int) const override { return "NAME"; }
        int ValueCount() const override { return 2; }
        std::string Value(int i) const override { return i ? "b" : "a"; }
        std::string DefaultLabel() const override { return ""; }
        std::shared_ptr<IHostSymbol> DefaultSymbol() const override { return nullptr; }
    };
    struct LayerDouble : IHostGeoFeatureLayer {
        std::shared_ptr<IHostLayer> real;
        std::shared_ptr<Unique> renderer = std::make_shared<Unique>();
        IHostGeoFeatureLayer& R() const { return dynamic_cast<IHostGeoFeatureLayer&>(*real); }
        std::string Name() const override { return real->Name(); }
        void SetName(const std::string&) override {}
        bool Visible() const override { return true; }
        void SetVisible(bool) override {}
        double MinimumScale() const override { return 0; }
        double MaximumScale() const override { return 0; }
        bool Is(LayerRole role) const override { return real->Is(role); }
        std::shared_ptr<IHostFeatureClass> FeatureClass() const override { return nullptr; }
        void SetFeatureClass(std::shared_ptr<IHostFeatureClass>) override {}
        bool ScaleSymbols() const override { return false; }
        int SelectionCount() const override { return 0; }
        std::vector<int> Selection() const override { return {}; }
        std::shared_ptr<IHostHyperlinkContainer> Hyperlinks() const override { return nullptr; }
        std::shared_ptr<IHostDataset> Dataset() const override { return R().Dataset(); }
        std::shared_ptr<IHostFeatureRenderer> Renderer() const override { return renderer; }
        void SetRenderer(std::shared_ptr<IHostFeatureRenderer>) override {}
        std::shared_ptr<IHostLabelClassCollection> LabelClasses() const override {
            return nullptr;
        }
        bool DisplayLabels() const override { return false; }
    };
    auto ui = Ui();
    auto app = Open(Layer(""), ui);
    auto map = app->Document()->FocusMap();
    auto layer = std::make_shared<LayerDouble>();
    layer->real = map->Layer(0);
    auto g0 = std::make_shared<Group>();
    g0->labels = {"wrong", "wrong"};
    auto g1 = std::make_shared<Group>();
    g1->labels = {"first", "second"};
    layer->renderer->legend->groups = {g0, g1};
    ExportSymbology exporter(ui);
    exporter.ExportLayer(*map, layer);
    EXPECT_EQ(XPath("w/roads.znl", "string(//EXACT[2]/@label)"), "second");
    layer->renderer->legend->groups = {g1};
    exporter.ExportLayer(*map, layer);
    EXPECT_EQ(XPath("w/roads.znl", "string(//EXACT[1]/@label)"), "first");
    // An entry whose symbol has no writer stays without a child.
    EXPECT_EQ(XPath("w/roads.znl", "count(//EXACT/*)"), "0");
}

TEST_F(Export, LabelsScalesAndReferenceScale) {
    MakeShapefile("w", "roads");
    const std::string marker = "<simplerenderer><simplemarker/></simplerenderer>";
    struct Row {
        const char* expression;
        const char* flags;
        const char* field;  // "" for none written
    };
    const Row rows[] = {
        {"[NAME]", "", "NAME"},
        {"NAME", "", "NAME"},
        {"[NAME] + 'x'", "", ""},
        {"[]", "", ""},
        {"AB", "", ""},
        {"[NAME]", " engineflag=\"false\"", ""},
        {"[NAME]", " classflag=\"false\"", ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.expression) + r.flags);
        WString e = text::FromUtf8(r.expression);
        XmlEscape(e);
        const std::string out = ExportFirst(
            Layer(marker + "<labelclass expression=\"" + text::ToUtf8(e) + "\"" + r.flags +
                      " minscale=\"1000\" maxscale=\"50000\"><text font=\"Arial\" size=\"8.25\" "
                      "bold=\"true\" color=\"0,0,255\"/></labelclass>",
                  " showlabels=\"true\""));
        auto l = Handheld("w/roads.shp");
        ASSERT_TRUE(l);
        EXPECT_EQ(text::ToUtf8(l->m_labelRenderer.m_field), r.field);
        if (*r.field) {
            EXPECT_GE(l->m_labelField, 0);
            EXPECT_TRUE(l->m_labelRenderer.m_visible);
            EXPECT_EQ(l->m_labelRenderer.m_minScale, 1000);
            EXPECT_EQ(l->m_labelRenderer.m_maxScale, 50000);
            EXPECT_EQ(l->m_labelRenderer.m_textSymbol.m_textColor, RGB(0, 0, 255));
            EXPECT_EQ(l->m_labelRenderer.m_textSymbol.m_size, 82);  // whole tenths
            EXPECT_NE(out.find("fontsize=\"8.25\" fontstyle=\"bold\""), std::string::npos);
        } else {
            EXPECT_EQ(out.find("SIMPLELABELRENDERER"), std::string::npos);
        }
    }
    // Layer scales; refscale on both elements only with both settings.
    struct Ref {
        const char* layerAttrs;
        const char* mapAttrs;
        double expected;
    };
    const Ref refs[] = {
        {" symbolsscale=\"false\" minscale=\"2000\" maxscale=\"90000\"", " referencescale=\"24000\"", 0},
        {" symbolsscale=\"true\" minscale=\"2000\" maxscale=\"90000\"", "", 0},
        {" symbolsscale=\"true\" minscale=\"2000\" maxscale=\"90000\"", " referencescale=\"24000\"", 24000},
    };
    for (const Ref& r : refs) {
        SCOPED_TRACE(std::string(r.layerAttrs) + r.mapAttrs);
        const std::string out =
            ExportFirst(Layer(marker + "<labelclass expression=\"[NAME]\"><text font=\"Arial\"/></labelclass>",
                              r.layerAttrs),
                        r.mapAttrs);
        auto l = Handheld("w/roads.shp");
        ASSERT_TRUE(l);
        EXPECT_EQ(l->GetMinScale(), 2000);
        EXPECT_EQ(l->GetMaxScale(), 90000);
        EXPECT_EQ(l->m_labelRenderer.m_referenceScale, r.expected);
        EXPECT_EQ(l->m_renderer.GetClass(0)->m_referenceScale, r.expected);
        EXPECT_EQ(out.find("refscale") == std::string::npos, r.expected == 0);
    }
    // Scales gone back to 0 leave the file.
    const std::string out = ExportFirst(Layer(marker));
    EXPECT_EQ(out.find("scale"), std::string::npos) << out;
}

// Every row of the symbol mapping, read back by the handheld's symbol reader.
TEST_F(Export, SymbolsReadBackByTheHandheld) {
    MakeShapefile("w", "roads");
    struct Row {
        const char* name;
        std::string symbol;
        const char* element;  // "" when nothing is written
        std::function<void(const CSymbol&)> check;
    };
    const Row rows[] = {
        {"simple marker", "<simplemarker size=\"4\" color=\"255,0,0\" style=\"square\"/>",
         "<SIMPLEMARKERSYMBOL width=\"4\" color=\"255,0,0\"/>",
         [](const CSymbol& s) {
             EXPECT_EQ(s.m_type, CSymbol::kTypeSimpleMarker);
             EXPECT_EQ(s.m_size, 4);
             EXPECT_EQ(s.m_fillColor, RGB(255, 0, 0));
         }},
        {"character marker",
         "<charmarker font=\"Wingdings\" size=\"8.25\" charset=\"2\" bold=\"true\" "
         "underline=\"true\" color=\"0,0,0\" angle=\"12.5\" index=\"74\"/>",
         "<TRUETYPEMARKERSYMBOL character=\"74\" font=\"Wingdings\" charset=\"2\" "
         "fontsize=\"8.25\" fontstyle=\"bold,underline\" fontcolor=\"0,0,0\" angle=\"12.5\"/>",
         [](const CSymbol& s) {
             EXPECT_EQ(s.m_type, CSymbol::kTypeTrueTypeMarker);
             EXPECT_EQ(s.m_glyph, u'J');
             EXPECT_EQ(s.m_fontFace, u"Wingdings");
             EXPECT_EQ(s.m_charSet, 2);
             EXPECT_EQ(s.m_size, 82);
             EXPECT_EQ(s.m_angle, 125);
         }},
        {"multi-layer, glyph first",
         "<multilayermarker><charmarker font=\"Glyphs\" size=\"10\" index=\"65\" "
         "hsv=\"120,100,100\"/><simplemarker/></multilayermarker>",
         "<TRUETYPEMARKERSYMBOL character=\"65\" font=\"Glyphs\" charset=\"0\" fontsize=\"10\" "
         "fontstyle=\"regular\" fontcolor=\"0,255,0\" angle=\"0\"/>",
         [](const CSymbol& s) {
             EXPECT_EQ(s.m_glyphColor, RGB(0, 255, 0));
             EXPECT_EQ(s.m_size, 100);
         }},
        {"multi-layer, simple first",
         "<multilayermarker><simplemarker/><charmarker font=\"Glyphs\"/></multilayermarker>", "",
         nullptr},
        {"picture marker", "<picturemarker/>", "", nullptr},
        {"simple line", "<line width=\"8.5\" color=\"0,0,255\" style=\"dash\"/>",
         "<SIMPLELINESYMBOL type=\"solid\" width=\"8.5\" color=\"0,0,255\"/>",
         [](const CSymbol& s) {
             EXPECT_EQ(s.m_type, CSymbol::kTypeSimpleLine);
             EXPECT_EQ(s.m_pen.lopnStyle, PS_SOLID);
             EXPECT_EQ(s.m_pen.lopnColor, RGB(0, 0, 255));
             EXPECT_EQ(s.m_lineWidth, 8.5);
         }},
        {"cartographic line", "<line kind=\"cartographic\" width=\"2\" style=\"dot\"/>",
         "<SIMPLELINESYMBOL type=\"solid\" width=\"2\" color=\"0,0,0\"/>", nullptr},
        {"hash line", "<line kind=\"hash\" width=\"1\"/>",
         "<SIMPLELINESYMBOL type=\"solid\" width=\"1\" color=\"0,0,0\"/>", nullptr},
        {"multi-layer line", "<line kind=\"multilayer\" width=\"3\"/>",
         "<SIMPLELINESYMBOL type=\"solid\" width=\"3\" color=\"0,0,0\"/>", nullptr},
        {"solid fill",
         "<simplefill color=\"10,20,30\"><outline><line width=\"1.5\" color=\"1,1,1\"/></outline>"
         "</simplefill>",
         "<SIMPLEPOLYGONSYMBOL filltype=\"solid\" filltransparency=\"1\" fillcolor=\"10,20,30\" "
         "boundarytype=\"solid\" boundarywidth=\"1.5\" boundarycolor=\"1,1,1\" "
         "boundarytransparency=\"1\"/>",
         [](const CSymbol& s) {
             EXPECT_EQ(s.m_fillMode, CSymbol::kFillSolid);
             EXPECT_EQ(s.m_fillColor, RGB(10, 20, 30));
             EXPECT_EQ(s.m_pen.lopnColor, RGB(1, 1, 1));
             EXPECT_EQ(s.m_lineWidth, 1.5);
         }},
        {"hollow fill",
         "<simplefill color=\"10,20,30\" style=\"hollow\"><outline><line/></outline></simplefill>",
         "<SIMPLEPOLYGONSYMBOL filltype=\"solid\" filltransparency=\"0\" fillcolor=\"10,20,30\" "
         "boundarytype=\"solid\" boundarywidth=\"1\" boundarycolor=\"0,0,0\" "
         "boundarytransparency=\"1\"/>",
         [](const CSymbol& s) { EXPECT_EQ(s.m_fillMode, CSymbol::kFillNone); }},
        {"other fill",
         "<otherfill kind=\"gradient\" color=\"5,6,7\"><outline><line/></outline></otherfill>",
         "<SIMPLEPOLYGONSYMBOL filltype=\"solid\" filltransparency=\"1\" fillcolor=\"5,6,7\" "
         "boundarytype=\"solid\" boundarywidth=\"1\" boundarycolor=\"0,0,0\" "
         "boundarytransparency=\"1\"/>",
         [](const CSymbol& s) { EXPECT_EQ(s.m_fillMode, CSymbol::kFillSolid); }},
        {"fill without outline", "<simplefill color=\"5,6,7\"/>",
         "<SIMPLEPOLYGONSYMBOL filltype=\"solid\" filltransparency=\"1\" fillcolor=\"5,6,7\" "
         "boundarytype=\"solid\" boundarytransparency=\"0\"/>",
         [](const CSymbol& s) { EXPECT_EQ(s.m_pen.lopnStyle, PS_NULL); }},
        {"none", "<none/>", "", nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string out =
            ExportFirst(Layer("<simplerenderer>" + r.symbol + "</simplerenderer>"));
        const std::string expected =
            std::string("<SIMPLERENDERER") + (*r.element ? ">" + std::string(r.element) + "</SIMPLERENDERER>" : "/>");
        EXPECT_NE(out.find(expected), std::string::npos) << out;
        if (!r.check) continue;
        CXmlDocument x;
        ASSERT_TRUE(x.LoadFile(u"\\w\\roads.znl"));
        CSymbol s;
        ASSERT_TRUE(s.ReadXml(x.FindElement(u"SIMPLERENDERER", true), true));
        r.check(s);
    }

    // Text symbols, and fonts recorded once each in order of first use.
    auto ui = Ui();
    auto app = Open(
        Layer("<uniquevaluerenderer fields=\"NAME\"><default><charmarker font=\"B\"/></default><group>"
              "<class value=\"1\"><charmarker font=\"A\"/></class><class value=\"2\"><charmarker "
              "font=\"A\"/></class><class value=\"3\"><charmarker font=\"a\"/></class></group>"
              "</uniquevaluerenderer><labelclass expression=\"[NAME]\"><text font=\"Tahoma\" "
              "size=\"10\" italic=\"true\" strikeout=\"true\" color=\"255,255,0\" "
              "angle=\"90\"/></labelclass>"),
        ui);
    auto map = app->Document()->FocusMap();
    ExportSymbology exporter(ui);
    EXPECT_EQ(exporter.GetLabelFonts(), std::vector<std::string>{});
    exporter.ExportLayer(*map, map->Layer(0));
    EXPECT_EQ(exporter.GetSymbolFonts(), (std::vector<std::string>{"A", "a", "B"}));
    EXPECT_EQ(exporter.GetLabelFonts(), std::vector<std::string>{"Tahoma"});
    CXmlDocument x;
    ASSERT_TRUE(x.LoadFile(u"\\w\\roads.znl"));
    const CXmlNode* text = x.FindElement(u"TEXTSYMBOL", true);
    ASSERT_TRUE(text);
    EXPECT_EQ(text->GetAttribute(u"fontstyle"), u"italic,strikeout");
    EXPECT_EQ(text->GetAttribute(u"charset"), u"0");
    CTextSymbol t;
    ASSERT_TRUE(t.ReadXml(text, nullptr));
    EXPECT_EQ(t.m_textColor, RGB(255, 255, 0));
    EXPECT_EQ(t.m_size, 100);
    EXPECT_EQ(t.m_angle, 900);
    EXPECT_TRUE(t.m_fontRecord.lfItalic);
    EXPECT_TRUE(t.m_fontRecord.lfStrikeOut);
    ExportSymbology fresh(ui);
    EXPECT_EQ(fresh.GetSymbolFonts(), std::vector<std::string>{"QOVA Default Marker"});

    // Sizes by exact decimal; colours.
    EXPECT_EQ(ExportSymbology::FontSizeText(82500), "8.25");
    EXPECT_EQ(ExportSymbology::FontSizeText(100000), "10");
    EXPECT_EQ(ExportSymbology::FontSizeText(1), "0.0001");
    EXPECT_EQ(ExportSymbology::FontSizeText(-82500), "-8.25");
    EXPECT_EQ(ExportSymbology::CColor(*NewRgbColor(MakeRgb(255, 0, 0))), "255,0,0");
    EXPECT_EQ(ExportSymbology::CColor(*NewRgbColor(0)), "0,0,0");
}

TEST_F(Export, RenamedFieldsAreTheOnesTheHandheldFinds) {
    MakeShapefile("w", "roads");
    auto ui = Ui();
    auto app = Open(
        Layer("<uniquevaluerenderer fields=\"POPULATION_2020\"><group><class value=\"100\">"
              "<simplemarker/></class></group></uniquevaluerenderer>"
              "<labelclass expression=\"[POPULATION_2020]\"><text font=\"Arial\"/></labelclass>",
              " hyperlinkfield=\"POPULATION_2020\""),
        ui);
    auto map = app->Document()->FocusMap();
    ExportSymbology exporter(ui);
    exporter.SetFieldRenames({{"POPULATION_2020", "POPULATION"}});
    exporter.ExportLayer(*map, map->Layer(0));
    EXPECT_EQ(XPath("w/roads.znl", "string(//VALUEMAPRENDERER/@lookupfield)"), "POPULATION");
    EXPECT_EQ(XPath("w/roads.znl", "string(//SIMPLELABELRENDERER/@field)"), "POPULATION");
    EXPECT_EQ(XPath("w/roads.znl", "string(//HYPERLINK/@field)"), "POPULATION");
    auto l = Handheld("w/roads.shp");
    ASSERT_TRUE(l);
    const int field = DbfFindField(l->GetTable(), u"POPULATION");
    EXPECT_GE(field, 0);
    EXPECT_EQ(l->m_rendererField, field);
    EXPECT_EQ(l->m_labelField, field);
    EXPECT_EQ(l->GetHyperlinkField(), field);
    EXPECT_EQ(l->m_renderer.m_hyperlinkField, u"POPULATION");
}

// The same documents, byte for byte, under a comma-decimal locale.
TEST_F(Export, ACommaLocaleChangesNoByte) {
    MakeShapefile("w", "roads");
    Put("w/utm.prj", text::ToUtf8(kUtm33Wkt));
    ::mkdir(Host("out").c_str(), 0755);
    const std::string layer = Layer(
        "<classbreaksrenderer field=\"POPULATION\" minimum=\"0.5\"><break value=\"10.25\"><line "
        "width=\"1.5\"/></break></classbreaksrenderer><labelclass expression=\"[NAME]\" "
        "maxscale=\"1500.5\"><text font=\"Arial\" size=\"8.25\" angle=\"1.5\"/></labelclass>",
        " symbolsscale=\"true\" minscale=\"2500.5\"");
    const std::string view =
        "<coordsys prj=\"utm.prj\"/><view xmin=\"512345.678\" ymin=\"-74.25\" xmax=\"612345.5\" "
        "ymax=\"0.125\"/>";
    auto run = [&] {
        auto ui = Ui();
        auto app = Open(view + layer, ui, " referencescale=\"24000.5\"");
        auto map = app->Document()->FocusMap();
        ExportSymbology(ui).ExportLayer(*map, map->Layer(0));
        ExportMap(*app, *map, {map->Layer(0)}, Host("out/Zarnip"));
        std::pair<std::string, std::string> out{Get("w/roads.znl"), Get("out/Zarnip.znm")};
        ::unlink(Host("out/Zarnip.znm").c_str());
        return out;
    };
    const auto plain = run();
    EXPECT_NE(plain.first.find("width=\"1.5\""), std::string::npos);
    EXPECT_NE(plain.second.find("minx=\"512345.678\""), std::string::npos);
    {
        LocaleGuard guard;
        const char* old = std::getenv("LC_ALL");
        const std::string saved = old ? old : "";
        setenv("LC_ALL", "de_DE.UTF-8", 1);
        const char* set = std::setlocale(LC_ALL, "");  // as Qt does
        if (old)
            setenv("LC_ALL", saved.c_str(), 1);
        else
            unsetenv("LC_ALL");
        ASSERT_TRUE(set) << "de_DE.UTF-8 missing: tools/setup generates it";
        ASSERT_STREQ(std::localeconv()->decimal_point, ",");
        const auto comma = run();
        EXPECT_EQ(comma.first, plain.first);
        EXPECT_EQ(comma.second, plain.second);
    }
}

// A failing save at every step: the old file (or none), the error at the
// caller, nothing left beside it.
TEST_F(Export, FailedSavesKeepThePreviousFile) {
    MakeShapefile("w", "roads");
    ::mkdir(Host("out").c_str(), 0755);
    const std::string layer = Layer("<simplerenderer><simplemarker size=\"3\"/></simplerenderer>");
    struct Target {
        std::string file;
        std::string old;
        bool map;
    };
    const Target targets[] = {{"w/roads.znl", "<Zarnip><LAYER name=\"old\"/></Zarnip>", false},
                              {"out/Zarnip.znm", "<Zarnip><MAP name=\"old\"/></Zarnip>", true}};
    for (const Target& t : targets) {
        for (bool existing : {true, false}) {
            for (int fault = 0; fault < 3; ++fault) {
                for (int k = 1; k <= (fault == 2 ? 1 : 12); ++k) {
                    SCOPED_TRACE(t.file + (existing ? " existing" : " new") +
                                 " k=" + std::to_string(k) + " fault=" + std::to_string(fault));
                    ::unlink(Host(t.file).c_str());
                    if (existing) Put(t.file, t.old);
                    auto ui = Ui(existing && t.map ? "message \"File Exists\" Yes\n" : "");
                    auto app = Open("<view xmin=\"0\" ymin=\"0\" xmax=\"1\" ymax=\"1\"/>" + layer, ui);
                    ASSERT_TRUE(app);
                    auto map = app->Document()->FocusMap();
                    fs::test::Reset();
                    if (fault == 0) fs::test::FailNthWrite(k);
                    if (fault == 1) fs::test::SetWriteBudget(static_cast<uint64_t>(k - 1) * 16);
                    if (fault == 2)
                        fs::test::FailPath(fs::DevicePathFromHost(Host(t.file)), fs::kErrorAccessDenied);
                    bool failed = false;
                    try {
                        if (t.map)
                            ExportMap(*app, *map, {map->Layer(0)}, Host("out/Zarnip"));
                        else
                            ExportSymbology(ui).ExportLayer(*map, map->Layer(0));
                    } catch (const ExportError&) {
                        failed = true;
                    }
                    const bool pending = fault == 0 && fs::test::WriteFaultPending();
                    fs::test::Reset();
                    if (failed) {
                        if (existing)
                            EXPECT_EQ(Get(t.file), t.old);
                        else
                            EXPECT_FALSE(HostExists(t.file));
                    } else {
                        EXPECT_TRUE(pending || fault == 1) << "a fault that struck was not reported";
                        EXPECT_NE(Get(t.file).find(t.map ? "<MAP name" : "SIMPLEMARKERSYMBOL"),
                                  std::string::npos);
                    }
                    const std::string folder = t.file.substr(0, t.file.find('/'));
                    for (const std::string& n : HostList(folder))
                        EXPECT_EQ(n.find(".~"), std::string::npos) << n;
                }
            }
        }
    }
}

// ------------------------------------------------------------------ the host's layer file

TEST_F(Export, SaveLayerFileWritesTheHostsLayerFile) {
    MakeShapefile("w", "roads");
    auto ui = Ui();
    auto app = Open(Layer("<simplerenderer label=\"x\"><simplemarker/></simplerenderer>"), ui);
    auto map = app->Document()->FocusMap();
    ExportSymbology exporter(ui);
    EXPECT_THROW(exporter.SaveLayerFile(map->Layer(0)), ExportError);
    exporter.SetLayerFileFactory(CreateLayerFile);
    exporter.SaveLayerFile(map->Layer(0));
    DmapError e;
    auto lyr = ReadDmapFile(Host("w/roads.lyr"), &e);
    ASSERT_TRUE(lyr) << e.Text();
    ASSERT_EQ(lyr->maps.size(), 1u);
    ASSERT_EQ(lyr->maps[0].layers.size(), 1u);
    EXPECT_EQ(lyr->maps[0].layers[0]->name, "Roads");
    EXPECT_EQ(lyr->maps[0].layers[0]->data->workspace, Host("w/."));
    ASSERT_TRUE(lyr->maps[0].layers[0]->renderer);
    EXPECT_EQ(lyr->maps[0].layers[0]->renderer->label, "x");
    // Errors of the last step are not reported.
    HostFaults::FailAlways("IHostLayerFile::Save");
    ::unlink(Host("w/roads.lyr").c_str());
    exporter.SaveLayerFile(map->Layer(0));
    EXPECT_FALSE(HostExists("w/roads.lyr"));
}

// ------------------------------------------------------------------ the command

const char kCommandMap[] =
    "<layer kind=\"feature\" name=\"One\"><data workspace=\"a\" dataset=\"one\"/>"
    "<simplerenderer><simplemarker/></simplerenderer></layer>"
    "<layer kind=\"group\" name=\"G\"><layer kind=\"feature\" name=\"Inner\"><data "
    "workspace=\"a\" dataset=\"inner\"/></layer></layer>"
    "<layer kind=\"feature\" name=\"Two\" visible=\"false\"><data workspace=\"b\" dataset=\"two\"/>"
    "<simplerenderer><simplemarker/></simplerenderer></layer>"
    "<layer kind=\"feature\" name=\"Pkg\"><data workspace=\"a\" dataset=\"pkg.gpkg\" wskind=\"ogr\"/></layer>"
    "<layer kind=\"raster\" name=\"R\" file=\"r.sid\"/>"
    "<layer kind=\"feature\" name=\"Three\"><data workspace=\"c\" dataset=\"three\"/>"
    "<simplerenderer><simplemarker/></simplerenderer></layer>";

TEST_F(Export, TheCommandsBoxesAndItsCandidates) {
    struct Case {
        const char* layers;
        const char* answer;
        const char* log;
    };
    const Case cases[] = {
        {"", "message \"Zarnip Map Wizard\" OK\n",
         "[message] Zarnip Map Wizard\nicon: information\nbuttons: OK\ntext: Please add layers "
         "into Pellum\n"},
        {"<layer kind=\"raster\" name=\"R\" file=\"r.sid\"/>", "message \"Export Symbology\" OK\n",
         "[message] Export Symbology\nicon: information\nbuttons: OK\ntext: Only shapefiles can "
         "be exported\n"},
    };
    for (const Case& c : cases) {
        auto ui = Ui(c.answer);
        auto app = Open(c.layers, ui);
        std::unique_ptr<AddInObject> obj(CreateAddInObject("ZarnipTools.ZarnipExportSymbology"));
        obj->command->OnCreate(app.get());
        obj->command->OnClick();
        EXPECT_NE(ui.Log().find(c.log), std::string::npos) << ui.Log();
        EXPECT_EQ(ui.AnswersLeft(), 0u);
    }

    // Top level shapefile layers only; hidden ones unchecked. OK with nothing
    // checked writes nothing.
    auto ui = Ui("dialog \"Zarnip Export Symbology\" tick=lvwLayers=One tick=lvwLayers=Three "
                 "press=&OK\n");
    auto app = Open(kCommandMap, ui);
    RunExportSymbology(*app);
    EXPECT_NE(ui.Log().find("lvwLayers: [x] One; [ ] Two; [x] Three;\n"), std::string::npos)
        << ui.Log();
    EXPECT_EQ(ui.AnswersLeft(), 0u);
    for (const char* d : {"a", "b", "c"}) EXPECT_TRUE(HostList(d).empty()) << d;
}

TEST_F(Export, AFailingLayerStopsTheRunAndTheHostGoesOn) {
    ::mkdir(Host("w").c_str(), 0755);
    for (const char* d : {"a", "b", "c"}) ::mkdir(Host(std::string("w/") + d).c_str(), 0755);
    auto ui = Ui("dialog \"Zarnip Export Symbology\" tick=lvwLayers=Two press=OK\n"
                 "message \"Export Symbology\" OK\n");
    auto app = Open(kCommandMap, ui);
    fs::test::SetReadOnly(fs::DevicePathFromHost(Host("w/b")), true);
    std::unique_ptr<AddInObject> obj(CreateAddInObject("ZarnipTools.ZarnipExportSymbology"));
    obj->command->OnCreate(app.get());
    obj->command->OnClick();
    fs::test::Reset();
    EXPECT_TRUE(HostExists("w/a/one.znl"));
    EXPECT_FALSE(HostExists("w/b/two.znl"));
    EXPECT_FALSE(HostExists("w/c/three.znl"));
    EXPECT_NE(ui.Log().find("[message] Export Symbology\nicon: stop\nbuttons: OK\ntext: The "
                            "symbology for Two could not be exported.\r\nThe file " +
                            Host("w/b/two.znl") + " could not be written: Access is denied."),
              std::string::npos)
        << ui.Log();
    EXPECT_EQ(ui.AnswersLeft(), 0u);
    // The host still runs: another click works.
    auto again = Ui("dialog \"Zarnip Export Symbology\" press=OK\n");
    auto app2 = Open(kCommandMap, again);
    RunExportSymbology(*app2);
    EXPECT_TRUE(HostExists("w/c/three.znl"));

    // The dialog's model: cancel, escape, progress hidden after the run.
    ExportSymbologyDialog d(again);
    auto map = app2->Document()->FocusMap();
    d.SetLayers(CollectShapefileLayers(*map));
    d.SetMap(map);
    d.FormLoad();
    EXPECT_EQ(d.Caption(), "Zarnip Export Symbology");
    EXPECT_FALSE(d.Act("tick", "lvwLayers=Nope"));
    EXPECT_FALSE(d.Act("press", "Maybe"));
    EXPECT_TRUE(d.Act("key", "Escape"));
    EXPECT_TRUE(d.Finished());
    EXPECT_FALSE(d.ProgressVisible());
}

}  // namespace
