// The shapefile layer: opening each shape type, its layer file, the record
// interface, searches with and without the spatial index, and edits that
// other GIS tools read back.
#include "map/layers/shape_layer.h"

#include <cstdio>
#include <fstream>
#include <memory>

#include "crs/coord_sys.h"
#include "formats/dbf/dbf_codepage.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_pack.h"
#include "formats/shape/spatial_index.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/gdi_picture.h"
#include "tests/support/run_command.h"

namespace {

const std::string kData = ZN_TEST_DATA;

std::string RunTool(const std::string& command) {
    int status = -1;
    std::string out = testsupport::RunCommand(command, &status);
    EXPECT_EQ(status, 0) << command << "\n" << out;
    return out;
}

// Answers every question of packing with yes and counts nothing else.
class CQuietPackUi : public IPackUi {
public:
    int MessageBox(const WString& text, UINT) override {
        boxes.push_back(text);
        return IDYES;
    }
    void BeginProgress(const WString&, int, int, const WString&) override {}
    bool StepProgress() override { return true; }
    void EndProgress() override {}
    void Beep(UINT) override {}
    std::vector<WString> boxes;
};

class ShapeLayerTest : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        UseBuiltInLayerClass(LayerKind::Shape);
    }
    // Copies fixture files (base names with extensions) into a folder.
    void Copy(const std::string& folder, const std::string& files) {
        ASSERT_TRUE(ShellIn(folder, "for f in " + files + "; do cp '" + kData + "'/shape/$f . "
                                        "2>/dev/null; cp '" + kData + "'/shape_layer/$f . "
                                        "2>/dev/null; done; chmod u+w *"));
    }
    std::unique_ptr<CShapeLayer> Open(const WString& path) {
        auto layer = std::make_unique<CShapeLayer>();
        layer->SetPackUi(&packUi_);
        if (!layer->Open(path.c_str())) return nullptr;
        return layer;
    }
    CQuietPackUi packUi_;
};

TEST_F(ShapeLayerTest, OpensEachShapeType) {
    Copy("d", "blockgroups.* linez.* multipoint.* NullTest.* balancing.* releaseArea20090407.*");
    struct Case {
        const WChar* path;
        DisplayClass displayClass;
        bool canEdit;
    };
    const Case cases[] = {
        {u"\\d\\blockgroups.shp", DisplayClass::Polygon, true},
        {u"\\d\\linez.shp", DisplayClass::Line, true},
        {u"\\d\\multipoint.shp", DisplayClass::Point, false},
        {u"\\d\\NullTest.shp", DisplayClass::Point, true},
        {u"\\d\\releaseArea20090407.shp", DisplayClass::Polygon, true},
        {u"\\d\\balancing.shp", DisplayClass::Point, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::ToUtf8(c.path));
        auto layer = Open(c.path);
        ASSERT_TRUE(layer);
        EXPECT_EQ(layer->GetDisplayClass(), c.displayClass);
        EXPECT_EQ(layer->CanEdit(), c.canEdit);
        EXPECT_EQ(GetShapefileClass(c.path), c.displayClass);
        EXPECT_EQ(layer->GetKind(), LayerKind::Shape);
    }
    // A multipatch and a null-type file: the shape type at byte 32 patched.
    for (int type : {31, 0}) {
        ASSERT_TRUE(ShellIn("d", "cp linez.shp patched.shp && cp linez.shx patched.shx && "
                                 "cp linez.dbf patched.dbf && printf '\\x" +
                                     std::string(type == 31 ? "1f" : "00") +
                                     "' | dd of=patched.shp bs=1 seek=32 conv=notrunc 2>/dev/null"));
        CShapeLayer layer;
        EXPECT_FALSE(layer.Open(u"\\d\\patched.shp")) << type;
        EXPECT_EQ(layer.GetShapeFile(), nullptr);
    }
}

TEST_F(ShapeLayerTest, OnePointExtentAndInfoText) {
    MakePointShapefile("p", "one", {"5 7"});
    auto layer = Open(u"\\p\\one.shp");
    ASSERT_TRUE(layer);
    CDoubleRect e;
    layer->GetExtent(e);
    EXPECT_EQ(e, CDoubleRect(4, 6, 6, 8));
    WString info;
    layer->GetInfoText(info);
    EXPECT_EQ(info.substr(0, 12), u"1 Features\r\n");
    EXPECT_EQ(info.find(u"Using Spatial Index"), WString::npos);

    // A .cpg names the code page in use; the header's language driver id
    // gives the table's own.
    Copy("c", "releaseArea20090407.*");
    auto withCpg = Open(u"\\c\\releaseArea20090407.shp");
    ASSERT_TRUE(withCpg);
    withCpg->GetInfoText(info);
    unsigned cp = DbfGetCodePage(withCpg->GetTable());
    int ldid = DbfGetLanguageDriverId(withCpg->GetTable());
    EXPECT_NE(cp, 0u);
    EXPECT_EQ(info, text::Format(u"1 Features\r\nDBF Codepage : %u (0x%02X)\r\nCodepage in use : "
                                 u"%u\r\n\r\n",
                                 DbfLdidToCodePage(ldid), static_cast<unsigned>(ldid), cp));

    Copy("b", "blockgroups.*");
    auto indexed = Open(u"\\b\\blockgroups.shp");
    ASSERT_TRUE(indexed);
    EXPECT_TRUE(indexed->HasSpatialIndex());
    indexed->GetInfoText(info);
    EXPECT_NE(info.find(u"Using Spatial Index\r\n"), WString::npos);
}

TEST_F(ShapeLayerTest, SearchesGiveTheSameRecordsWithAndWithoutTheIndex) {
    Copy("i", "blockgroups.*");
    Copy("n", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    auto indexed = Open(u"\\i\\blockgroups.shp");
    auto plain = Open(u"\\n\\blockgroups.shp");
    ASSERT_TRUE(indexed && plain);
    ASSERT_TRUE(indexed->HasSpatialIndex());
    ASSERT_FALSE(plain->HasSpatialIndex());
    CDoubleRect full;
    plain->GetExtent(full);
    const CDoubleRect windows[] = {
        full,
        CDoubleRect(full.xmin + (full.xmax - full.xmin) * 0.3, full.ymin + (full.ymax - full.ymin) * 0.3,
                    full.xmin + (full.xmax - full.xmin) * 0.5, full.ymin + (full.ymax - full.ymin) * 0.45),
        CDoubleRect(full.xmax + 1, full.ymax + 1, full.xmax + 2, full.ymax + 2),
    };
    for (const CDoubleRect& w : windows) {
        std::vector<int> a, b;
        for (int r = indexed->FindNext(0, &w); r; r = indexed->FindNext(r, &w)) a.push_back(r);
        for (int r = plain->FindNext(0, &w); r; r = plain->FindNext(r, &w)) b.push_back(r);
        EXPECT_EQ(a, b);
        EXPECT_TRUE(std::is_sorted(a.begin(), a.end()));
    }
    std::vector<int> all;
    for (int r = plain->FindNext(0, nullptr); r; r = plain->FindNext(r, nullptr)) all.push_back(r);
    EXPECT_EQ(static_cast<int>(all.size()), ShpGetRecordCount(plain->GetShapeFile()));

    // Hit tests at the label points of a few records.
    for (int record : {1, 17, 100, 300}) {
        CDoubleRect box;
        ASSERT_TRUE(plain->GetFeatureExtent(record, box));
        DoublePoint centre{(box.xmin + box.xmax) / 2, (box.ymin + box.ymax) / 2};
        double d1 = 0, d2 = 0;
        EXPECT_EQ(indexed->HitTest(centre, &d1, 1e-4, full), plain->HitTest(centre, &d2, 1e-4, full))
            << record;
    }
}

TEST_F(ShapeLayerTest, EditsAreReadBackByOtherTools) {
    Copy("e", "blockgroups.*");
    auto layer = Open(u"\\e\\blockgroups.shp");
    ASSERT_TRUE(layer);
    ASSERT_TRUE(layer->HasSpatialIndex());
    int before = ShpGetRecordCount(layer->GetShapeFile());
    ASSERT_TRUE(layer->CanEdit());
    ASSERT_TRUE(layer->SetEditMode(true));
    EXPECT_TRUE(layer->IsOpenForEdit());
    EXPECT_FALSE(HostExists("e/blockgroups.sbn"));
    EXPECT_FALSE(HostExists("e/blockgroups.sbx"));
    const DoublePoint triangle[] = {{-100, 40}, {-99, 41}, {-98, 40}};
    EXPECT_EQ(layer->AddShapeFromPoints(2, triangle, true), -1);
    EXPECT_EQ(layer->AddShapeFromPoints(1, triangle, false), -1);
    int added = layer->AddShapeFromPoints(3, triangle, true);
    ASSERT_EQ(added, before);
    EXPECT_EQ(ShpGetPointCount(ShpReadShape(layer->GetShapeFile(), added)), 4);
    int bkg = DbfFindField(layer->GetTable(), u"BKG_KEY");
    ASSERT_GE(bkg, 0);
    ASSERT_TRUE(layer->ReadRecord(added + 1));
    DbfPutText(layer->GetTable(), bkg, u"NEWGROUP");
    ASSERT_TRUE(layer->WriteRecord(added + 1));
    int rect = layer->AddRectangle(CDoubleRect(-97, 39, -96, 40));
    EXPECT_EQ(rect, before + 1);
    int ellipse = layer->AddEllipse(CDoubleRect(-95, 39, -94, 40), 2);
    EXPECT_EQ(ellipse, before + 2);
    // Segments belong to line files: a polygon file refuses them with a beep.
    win::ResetForTests();
    EXPECT_EQ(layer->AddSegment({0, 0}, {1, 1}), -1);
    EXPECT_EQ(win::BeepLog().size(), 1u);
    ASSERT_TRUE(layer->SetEditMode(false));
    EXPECT_FALSE(layer->IsOpenForEdit());
    EXPECT_TRUE(HostExists("e/blockgroups.sbn"));
    EXPECT_TRUE(HostExists("e/blockgroups.sbx"));
    EXPECT_TRUE(layer->HasSpatialIndex());
    layer.reset();

    std::string shp = Host("e/blockgroups.shp");
    std::string info = RunTool("ogrinfo -ro -al -where \"BKG_KEY='NEWGROUP'\" '" + shp + "'");
    EXPECT_NE(info.find("POLYGON ((-100 40,-99 41,-98 40,-100 40))"), std::string::npos) << info;
    std::string dump = RunTool("shpdump '" + shp + "' | head -3");
    EXPECT_NE(dump.find(std::to_string(before + 3)), std::string::npos) << dump;
    std::string dbf = RunTool("dbfdump -m '" + Host("e/blockgroups.dbf") + "' | grep -c NEWGROUP");
    EXPECT_EQ(dbf, "1\n");
    std::string last = RunTool("ogrinfo -ro -al -fid " + std::to_string(before + 1) + " '" + shp + "'");
    EXPECT_NE(last.find("POLYGON ((-97 40,-96 40,-96 39,-97 39,-97 40))"), std::string::npos)
        << last;

    auto again = Open(u"\\e\\blockgroups.shp");
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->HasSpatialIndex());
    CDoubleRect around(-100.5, 39.5, -97.5, 41.5);
    EXPECT_EQ(again->FindNext(0, &around), added + 1);
}

TEST_F(ShapeLayerTest, LinesTakeSegments) {
    Copy("l", "linez.*");
    auto layer = Open(u"\\l\\linez.shp");
    ASSERT_TRUE(layer);
    int before = ShpGetRecordCount(layer->GetShapeFile());
    ASSERT_TRUE(layer->SetEditMode(true));
    EXPECT_EQ(layer->AddSegment({1, 2}, {3, 4}), before);
    const DoublePoint path[] = {{0, 0}, {5, 0}, {5, 5}};
    EXPECT_EQ(layer->AddShapeFromPoints(3, path, false), before + 1);
    ASSERT_TRUE(layer->SetEditMode(false));
    layer.reset();
    std::string info = RunTool("ogrinfo -ro -al '" + Host("l/linez.shp") + "'");
    EXPECT_NE(info.find("LINESTRING ZM (1 2 0 "), std::string::npos) << info;
    EXPECT_NE(info.find("LINESTRING ZM (0 0 0 -1.79769313486232E+308,5 0 0 -1.79769313486232E+308,5 5 0 -1.79769313486232E+308)"), std::string::npos) << info;
}

TEST_F(ShapeLayerTest, UpperCaseCompanionsAreFoundAndKept) {
    Copy("u", "blockgroups.*");
    ASSERT_TRUE(ShellIn("u", "for e in shp shx dbf sbn sbx; do mv blockgroups.$e ROADS.$(echo $e | tr a-z A-Z); done"
                             " && printf '1252' > ROADS.CPG && cp '" + kData +
                             "/shape_layer/releaseArea20090407.prj' ROADS.PRJ && : > ROADS.SPI"));
    Put("u/ROADS.ZNL",
        "<?xml version=\"1.0\"?>\n<Zarnip><LAYER name=\"Roads title\"><LOCALE lcid=\"0x419\" "
        "codepage=\"1251\"/></LAYER></Zarnip>\n");
    std::vector<std::string> names = HostList("u");
    WString path = u"\\u\\ROADS.SHP";
    std::unique_ptr<CLayer> owner = CLayer::CreateLayer(path);
    CLayer* made = owner.get();
    ASSERT_NE(made, nullptr);
    ASSERT_TRUE(made->Open(path.c_str()));
    auto* layer = dynamic_cast<CShapeLayer*>(made);
    ASSERT_NE(layer, nullptr);
    EXPECT_TRUE(layer->HasSpatialIndex());
    EXPECT_EQ(layer->GetName(), u"Roads title");
    EXPECT_EQ(layer->GetLocaleId(), 0x419);
    EXPECT_EQ(DbfGetCodePage(layer->GetTable()), 1251u);
    layer->SetPackUi(&packUi_);
    ASSERT_TRUE(layer->SetEditMode(true));
    const DoublePoint triangle[] = {{-100, 40}, {-99, 41}, {-98, 40}};
    EXPECT_GE(layer->AddShapeFromPoints(3, triangle, true), 0);
    ASSERT_TRUE(layer->SetEditMode(false));
    owner.reset();
    EXPECT_EQ(HostList("u"), names);
}

const char kLayerFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Zarnip>\n"
    "  <LAYER name=\"Groups\" autopack=\"false\" minscale=\"1:5000\" maxscale=\"1:250000\">\n"
    "    <LOCALE lcid=\"1037\" codepage=\"1255\"/>\n"
    "    <HYPERLINK field=\"BKG_KEY\"/>\n"
    "    <SYMBOLOGY>\n"
    "      <SIMPLELABELRENDERER field=\"BKG_KEY\" visible=\"true\" rotationfield=\"POP90\">\n"
    "        <TEXTSYMBOL font=\"Arial\" fontsize=\"8\"/>\n"
    "      </SIMPLELABELRENDERER>\n"
    "      <VALUEMAPRENDERER lookupfield=\"%s\">\n"
    "        <EXACT value=\"1\" label=\"one\"><SIMPLEPOLYGONSYMBOL fillcolor=\"255,0,0\"/></EXACT>\n"
    "        <RANGE lower=\"2\" upper=\"100\" label=\"few\"><SIMPLEPOLYGONSYMBOL fillcolor=\"0,255,0\"/></RANGE>\n"
    "        <OTHER label=\"other\"><SIMPLEPOLYGONSYMBOL fillcolor=\"0,0,255\"/></OTHER>\n"
    "      </VALUEMAPRENDERER>\n"
    "    </SYMBOLOGY>\n"
    "    <BOOKMARKS><BOOKMARK name=\"*\" minx=\"1\" miny=\"2\" maxx=\"3\" maxy=\"4\"/></BOOKMARKS>\n"
    "  </LAYER>\n"
    "</Zarnip>\n";

TEST_F(ShapeLayerTest, LayerFileSettings) {
    Copy("f", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    char text[4096];
    std::snprintf(text, sizeof text, kLayerFile, "POP90");
    Put("f/blockgroups.znl", text);
    auto layer = Open(u"\\f\\blockgroups.shp");
    ASSERT_TRUE(layer);
    EXPECT_TRUE(MessageTexts().empty());
    CShapeLayer& l = *layer;
    EXPECT_EQ(l.GetName(), u"Groups");
    EXPECT_FALSE(l.m_autopack);
    EXPECT_EQ(l.GetMinScale(), 5000);
    EXPECT_EQ(l.GetMaxScale(), 250000);
    EXPECT_EQ(l.GetLocaleId(), 1037);
    EXPECT_TRUE(l.IsRightToLeft());
    EXPECT_EQ(DbfGetCodePage(l.GetTable()), 1255u);
    EXPECT_EQ(l.GetHyperlinkField(), DbfFindField(l.GetTable(), u"BKG_KEY"));
    EXPECT_TRUE(l.HasHyperlink());
    EXPECT_EQ(l.m_labelField, DbfFindField(l.GetTable(), u"BKG_KEY"));
    EXPECT_TRUE(l.m_labelRenderer.m_visible);
    EXPECT_EQ(l.m_labelRotationField, DbfFindField(l.GetTable(), u"POP90"));
    EXPECT_TRUE(l.UsesRenderer());
    EXPECT_TRUE(l.HasLegendClasses());
    EXPECT_EQ(l.m_rendererField, DbfFindField(l.GetTable(), u"POP90"));
    EXPECT_EQ(l.m_renderer.GetClassCount(), 3);
    EXPECT_EQ(l.GetBookmarks().GetCount(), 1);
    // Classes by the record's value.
    for (int r = 0; r < 20; ++r) {
        DbfReadRecord(l.GetTable(), r);
        double pop = DbfGetNumber(l.GetTable(), l.m_rendererField);
        CSymbol* expected = pop == 1 ? l.m_renderer.GetClass(1)
                            : (pop >= 2 && pop <= 100) ? l.m_renderer.GetClass(2)
                                                       : l.m_renderer.GetClass(0);
        EXPECT_EQ(l.ClassForRecord(r), expected) << r;
    }

    // A lookup field the table lacks: index -1 and class 0 for everything.
    std::snprintf(text, sizeof text, kLayerFile, "NOSUCH");
    Put("f/blockgroups.znl", text);
    layer = Open(u"\\f\\blockgroups.shp");
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->m_rendererField, -1);
    EXPECT_EQ(layer->ClassForRecord(3), layer->m_renderer.GetClass(0));

    // A label field the table lacks leaves labels off although visible.
    std::string missingLabel = text;
    missingLabel.replace(missingLabel.find("field=\"BKG_KEY\" visible"), 15, "field=\"NOLABEL\"");
    Put("f/blockgroups.znl", missingLabel);
    layer = Open(u"\\f\\blockgroups.shp");
    ASSERT_TRUE(layer);
    EXPECT_FALSE(layer->m_labelRenderer.m_visible);
}

TEST_F(ShapeLayerTest, BrokenLayerFilesAreReportedOnceAndDefaultsKept) {
    Copy("f", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    struct Case {
        const char* bytes;
        const WChar* message;
    };
    const Case cases[] = {
        {"<Zarnip><LAYER name=\"x\">", u"Error parsing \\f\\blockgroups.znl"},
        {"<Other><LAYER name=\"x\"/></Other>",
         u"Error in \\f\\blockgroups.znl, the root tag is not Zarnip."},
    };
    for (const Case& c : cases) {
        Put("f/blockgroups.znl", c.bytes);
        win::ResetForTests();
        auto layer = Open(u"\\f\\blockgroups.shp");
        ASSERT_TRUE(layer);
        ASSERT_EQ(MessageTexts().size(), 1u);
        EXPECT_EQ(MessageTexts()[0], c.message);
        EXPECT_EQ(layer->GetName(), u"blockgroups.shp");
        EXPECT_FALSE(layer->UsesRenderer());
    }
    // A missing layer file says nothing.
    ASSERT_TRUE(ShellIn("f", "rm blockgroups.znl"));
    win::ResetForTests();
    auto layer = Open(u"\\f\\blockgroups.shp");
    ASSERT_TRUE(layer);
    EXPECT_TRUE(MessageTexts().empty());
}

// The script host double records its calls in order.
class CRecordingHost : public IScriptHost {
public:
    explicit CRecordingHost(std::vector<std::string>* log) : log_(log) {}
    bool StartEngine(const WChar* language) override {
        log_->push_back("start " + text::ToUtf8(language ? language : u""));
        started_ = true;
        return true;
    }
    bool AddNamedItem(const WChar* name, IDispatch* object, DWORD flags) override {
        // A host keeps its own reference; the layer keeps its own.
        (void)object;
        log_->push_back("item " + text::ToUtf8(name) + " " + std::to_string(flags));
        return true;
    }
    bool BindElementEvents(const CXmlNode* element, const WChar* item) override {
        log_->push_back("bind " + text::ToUtf8(element->GetName()) + " " + text::ToUtf8(item));
        return true;
    }
    bool RunScriptElements(const CXmlNode* element) override {
        log_->push_back("run " + text::ToUtf8(element->GetName()));
        return true;
    }
    bool SetScriptState(ScriptState state) override {
        log_->push_back("state " + std::to_string(static_cast<int>(state)));
        return true;
    }
    void StopEngine() override {
        log_->push_back("stop");
        started_ = false;
    }
    bool IsStarted() override { return started_; }
    void EnableDebugging(bool on) override { log_->push_back(on ? "debug" : "nodebug"); }

private:
    std::vector<std::string>* log_;
    bool started_ = false;
};

class CScriptingOn : public CRecordingScript {
public:
    std::unique_ptr<IScriptHost> CreateScriptHost() override {
        return std::make_unique<CRecordingHost>(&log);
    }
    bool HasEventAttributes(const CXmlNode* e, const WChar*) override {
        return e->HasAttribute(u"OnOpen");
    }
    bool GetScriptLanguage(const CXmlNode* e, WString& language) override {
        const CXmlNode* s = e->FindChild(u"SCRIPT");
        if (!s || !s->HasAttribute(u"language")) return false;
        language = s->GetAttribute(u"language");
        return true;
    }
    std::vector<std::string> log;
};

class CRecordingForms : public ILayerForms {
public:
    static std::vector<std::string>* s_log;
    bool ReadForms(const CXmlNode* forms, DWORD lcid) override {
        s_log->push_back("forms " + text::ToUtf8(forms->GetName()) + " " + std::to_string(lcid));
        return true;
    }
    void* GetForm(bool edit) override { return edit ? this : nullptr; }
};
std::vector<std::string>* CRecordingForms::s_log = nullptr;

TEST_F(ShapeLayerTest, LayerFileScriptsStartTheLayersEngine) {
    CScriptingOn scripting;
    SetScriptServices(&scripting);
    CRecordingForms::s_log = &scripting.log;
    SetLayerFormsFactory([](IScriptHost*) -> std::unique_ptr<ILayerForms> {
        return std::make_unique<CRecordingForms>();
    });
    Copy("s", "linez.*");
    Put("s/linez.znl",
        "<Zarnip debug=\"true\"><SCRIPT language=\"JScript\">var a;</SCRIPT>"
        "<LAYER name=\"s\" OnOpen=\"Go\"><LOCALE lcid=\"1033\"/><FORMS/></LAYER></Zarnip>");
    {
        auto layer = Open(u"\\s\\linez.shp");
        ASSERT_TRUE(layer);
        EXPECT_NE(layer->GetForm(true), nullptr);
    }
    SetLayerFormsFactory(nullptr);
    SetScriptServices(&script_);
    EXPECT_EQ(scripting.log,
              (std::vector<std::string>{"start JScript", "debug", "item Layer 6", "bind LAYER Layer",
                                        "run Zarnip", "forms FORMS 1033", "state 2", "stop"}));
}

TEST_F(ShapeLayerTest, MapDocumentRoundTrip) {
    Copy("m", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    char text[4096];
    std::snprintf(text, sizeof text, kLayerFile, "POP90");
    Put("m/blockgroups.znl", text);
    const std::string znl = Get("m/blockgroups.znl");
    std::string first, second;
    std::vector<std::string> picture;
    auto Draw = [](CMapDoc& doc) {
        CLayer* layer = doc.GetLayers().GetAt(0);
        gditest::Canvas canvas(90, 100);
        layer->SetDrawExtent(doc.GetMapExtent(), 90, 100);
        layer->DrawTo(canvas.dc, nullptr, 0);
        return canvas.Picture();
    };
    {
        CMapDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(u"\\m\\blockgroups.shp"));
        ASSERT_TRUE(doc.WriteMapFile(u"\\m\\map.znm"));
        first = Get("m/map.znm");
        picture = Draw(doc);
    }
    {
        CMapDoc doc;
        ASSERT_TRUE(doc.OnOpenDocument(u"\\m\\map.znm"));
        ASSERT_EQ(doc.GetLayers().GetCount(), 1);
        auto* layer = dynamic_cast<CShapeLayer*>(doc.GetLayers().GetAt(0));
        ASSERT_NE(layer, nullptr);
        // The layer file's value map still draws; the document does not carry it.
        EXPECT_TRUE(layer->UsesRenderer());
        EXPECT_EQ(layer->m_renderer.GetClassCount(), 3);
        ASSERT_TRUE(doc.WriteMapFile(u"\\m\\map2.znm"));
        second = Get("m/map2.znm");
        EXPECT_EQ(Draw(doc), picture);
    }
    EXPECT_EQ(first, second);
    EXPECT_EQ(first.find("VALUEMAPRENDERER"), std::string::npos);
    EXPECT_NE(first.find("<HYPERLINK field=\"BKG_KEY\""), std::string::npos) << first;
    EXPECT_NE(first.find("SIMPLELABELRENDERER field=\"BKG_KEY\""), std::string::npos) << first;
    EXPECT_EQ(Get("m/blockgroups.znl"), znl);
    EXPECT_EQ(std::system(("xmllint --noout '" + Host("m/map.znm") + "'").c_str()), 0);
}

TEST_F(ShapeLayerTest, AGeographicPrjOverMetresIsNotUsed) {
    Copy("w", "releaseArea20090407.shp releaseArea20090407.shx releaseArea20090407.dbf");
    Put("w/releaseArea20090407.prj",
        "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137,"
        "298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]");
    auto layer = Open(u"\\w\\releaseArea20090407.shp");
    ASSERT_TRUE(layer);
    EXPECT_EQ(layer->GetCoordSys(), nullptr);
    EXPECT_EQ(layer->GetCoordSys(), nullptr);
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_NE(MessageTexts()[0].find(u"releaseArea20090407"), WString::npos);
    EXPECT_NE(MessageTexts()[0].find(u"does not fit its data"), WString::npos);
    // The same .prj over degrees is used.
    Copy("d", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    Put("d/blockgroups.prj", Get("w/releaseArea20090407.prj"));
    auto degrees = Open(u"\\d\\blockgroups.shp");
    ASSERT_TRUE(degrees);
    std::unique_ptr<CCoordSys> system(degrees->GetCoordSys());
    ASSERT_NE(system, nullptr);
    EXPECT_EQ(system->m_projectionCode, 43000);
    EXPECT_EQ(MessageTexts().size(), 1u);
}

TEST_F(ShapeLayerTest, TheDesktopExportersLayerFile) {
    ASSERT_TRUE(ShellIn("x", "shpcreate parcels polygon >/dev/null && dbfcreate parcels -s OWNER 20 "
                             "-s ZONE 4 -s URL 40 >/dev/null && shpadd parcels 0 0 0 5 5 5 5 0 0 0 "
                             ">/dev/null && dbfadd parcels.dbf Ann C http://x >/dev/null"));
    ASSERT_TRUE(ShellIn("x", "cp '" + kData + "/symbology/exporter_layer.znl' parcels.znl"));
    const std::string znl = Get("x/parcels.znl");
    {
        auto layer = Open(u"\\x\\parcels.shp");
        ASSERT_TRUE(layer);
        EXPECT_EQ(layer->GetName(), u"Parcels");
        EXPECT_EQ(layer->GetMinScale(), 1000);
        EXPECT_EQ(layer->GetMaxScale(), 50000);
        EXPECT_EQ(layer->m_renderer.GetClassCount(), 6);
        EXPECT_EQ(layer->m_rendererField, 1);
        EXPECT_EQ(layer->GetHyperlinkField(), 2);
        EXPECT_TRUE(layer->m_labelRenderer.m_visible);
        EXPECT_EQ(layer->m_labelField, 0);
        EXPECT_EQ(layer->m_labelRenderer.m_referenceScale, 2500.5);
        EXPECT_EQ(layer->ClassForRecord(0), layer->m_renderer.GetClass(2));
    }
    // A map document's own scale range is read afterwards and wins.
    Put("x/map.znm",
        "<?xml version=\"1.0\"?>\n<Zarnip><MAP name=\"m\"><PROPERTIES><ENVELOPE minx=\"0\" "
        "miny=\"0\" maxx=\"5\" maxy=\"5\"/></PROPERTIES><LAYER name=\"P\" minscale=\"1:200\">"
        "<DATASET name=\"parcels.shp\"/></LAYER></MAP></Zarnip>\n");
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\x\\map.znm"));
    ASSERT_EQ(doc.GetLayers().GetCount(), 1);
    EXPECT_EQ(doc.GetLayers().GetAt(0)->GetMinScale(), 200);
    EXPECT_EQ(doc.GetLayers().GetAt(0)->GetMaxScale(), 50000);
    doc.OnCloseDocument();
    EXPECT_EQ(Get("x/parcels.znl"), znl);
}

TEST_F(ShapeLayerTest, WithoutAutopackOnlyAnIndexThatWasThereIsRebuilt) {
    Copy("a", "blockgroups.*");
    Copy("b", "linez.*");
    Put("a/blockgroups.znl", "<Zarnip><LAYER autopack=\"false\"/></Zarnip>");
    Put("b/linez.znl", "<Zarnip><LAYER autopack=\"false\"/></Zarnip>");
    for (const WChar* path : {u"\\a\\blockgroups.shp", u"\\b\\linez.shp"}) {
        auto layer = Open(path);
        ASSERT_TRUE(layer);
        EXPECT_FALSE(layer->m_autopack);
        ASSERT_TRUE(layer->SetEditMode(true));
        ASSERT_TRUE(layer->SetEditMode(false));
    }
    EXPECT_TRUE(HostExists("a/blockgroups.sbn"));
    EXPECT_FALSE(HostExists("b/linez.sbn"));
    EXPECT_TRUE(packUi_.boxes.empty());
}

}  // namespace
