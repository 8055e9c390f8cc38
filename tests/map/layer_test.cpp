// The layer base: kinds of files, opening and closing with their events,
// metadata files, the draw transform and the scale range.
#include <cmath>

#include "core/xml_node.h"
#include "map/layers/internet_layer.h"
#include "map/layers/layer.h"
#include "map/layers/layer_factory.h"
#include "map/layers/layer_list.h"
#include "map/layers/shape_layer.h"
#include "platform/fs/fs.h"
#include "tests/map/map_doubles.h"

namespace {

class Layer : public MapTest {};

TEST_F(Layer, KindsAndDisplayClassesOfFiles) {
    MakePointShapefile("d", "roads", {"1 2"});
    ASSERT_TRUE(ShellIn("d", "mv roads.shp ROADS.SHP && mv roads.shx ROADS.SHX && mv roads.dbf ROADS.DBF"));
    Put("d/a.jpg", "jpeg");
    Put("d/b.jpg", "jpeg");
    Put("d/b.jgw", "1\n0\n0\n-1\n0\n0\n");
    Put("d/a.jpeg", "jpeg");
    Put("d/b.2bp", "bmp");
    Put("d/b.2pw", "w");
    Put("d/c.sid", "sid");
    Put("d/c.sdw", "w");
    Put("d/d.mvd", "<Zarnip/>");
    Put("d/frame", "NITF02.10");
    Put("d/e.xyz", "NITF02.10");  // the extension wins over the NITF test
    Put("d/notes.txt", "plain text");
    shell_.acceptExtension = u"xyz";

    struct Row {
        const WChar* path;
        LayerKind kind;
        DisplayClass displayClass;
        const WChar* rewritten;
    } rows[] = {
        {u"\\d\\ROADS.SHP", LayerKind::Shape, DisplayClass::Point, u"\\d\\ROADS.shp"},
        {u"\\d\\a.jpg", LayerKind::None, DisplayClass::None, u"\\d\\a.jpg"},
        {u"\\d\\B.JPG", LayerKind::Jpeg, DisplayClass::Image, u"\\d\\B.jpg"},
        {u"\\d\\a.jpeg", LayerKind::None, DisplayClass::None, u"\\d\\a.jpeg"},
        {u"\\d\\b.2BP", LayerKind::Bitmap, DisplayClass::Image, u"\\d\\b.2bp"},
        {u"\\d\\c.sid", LayerKind::Sid, DisplayClass::Image, u"\\d\\c.sid"},
        {u"\\d\\d.mvd", LayerKind::Internet, DisplayClass::None, u"\\d\\d.mvd"},
        {u"\\d\\frame", LayerKind::Rpf, DisplayClass::Image, u"\\d\\frame"},
        {u"\\d\\e.xyz", LayerKind::Extension, DisplayClass::OtherFeatures, u"\\d\\e.xyz"},
        {u"\\d\\notes.txt", LayerKind::None, DisplayClass::None, u"\\d\\notes.txt"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(text::ToUtf8(row.path));
        WString path = row.path;
        EXPECT_EQ(GetLayerFileType(path), row.kind);
        EXPECT_EQ(path, row.rewritten);
        auto kind = static_cast<LayerKind>(-9);
        auto dc = static_cast<DisplayClass>(-9);
        EXPECT_EQ(ClassifyLayerFile(row.path, &kind, &dc), row.kind != LayerKind::None);
        EXPECT_EQ(kind, row.kind);
        EXPECT_EQ(dc, row.displayClass);
    }
    // An image extension layer is class 4.
    shell_.extension.layerType = 2;
    auto dc = static_cast<DisplayClass>(-9);
    ClassifyLayerFile(u"\\d\\e.xyz", nullptr, &dc);
    EXPECT_EQ(dc, DisplayClass::Image);
}

// Without replacements every kind a path can have makes its own class;
// extension layers come only from an extension.
TEST_F(Layer, FactoryMakesTheBuiltInClasses) {
    MakePointShapefile("d", "roads", {"1 2"});
    Put("d/d.mvd", "<Zarnip/>");
    Put("d/e.xyz", "NITF02.10");
    shell_.acceptExtension = u"xyz";
    ResetLayerClassesForTests();
    WString shape = u"\\d\\roads.shp", internet = u"\\d\\d.mvd", extension = u"\\d\\e.xyz";
    std::unique_ptr<CLayer> made = CLayer::CreateLayer(shape);
    EXPECT_NE(dynamic_cast<CShapeLayer*>(made.get()), nullptr);
    made = CLayer::CreateLayer(internet);
    EXPECT_NE(dynamic_cast<CInternetImageLayer*>(made.get()), nullptr);
    EXPECT_EQ(CLayer::CreateLayer(extension), nullptr);
    // A replaced kind goes back to its class.
    SetLayerClass(LayerKind::Shape, [](const LayerExtensionInfo*) -> std::unique_ptr<CLayer> {
        return std::make_unique<CTestShapeLayer>();
    });
    EXPECT_NE(dynamic_cast<CTestShapeLayer*>(CLayer::CreateLayer(shape).get()), nullptr);
    UseBuiltInLayerClass(LayerKind::Shape);
    EXPECT_NE(dynamic_cast<CShapeLayer*>(CLayer::CreateLayer(shape).get()), nullptr);
}

TEST_F(Layer, OpenAndCloseFireTheirEventsAndReleaseTheScriptObject) {
    MakePointShapefile("d", "pts", {"1 2", "3 4"});
    WString path = u"\\d\\pts.shp";
    std::unique_ptr<CLayer> layer = CLayer::CreateLayer(path);
    ASSERT_TRUE(layer);
    IDispatch* object = layer->GetScriptObject(true);  // the test's own reference
    ASSERT_TRUE(object);
    ASSERT_TRUE(layer->Open(path.c_str()));
    ASSERT_EQ(script_.events.size(), 1u);
    EXPECT_EQ(script_.events[0].id, 24);
    EXPECT_EQ(script_.events[0].source, object);
    layer->Close();
    ASSERT_EQ(script_.events.size(), 2u);
    EXPECT_EQ(script_.events[1].id, 25);
    EXPECT_FALSE(layer->HasScriptObject());
    EXPECT_EQ(object->Release(), 0u);  // the layer let its reference go

    // A missing file: false and no event.
    std::unique_ptr<CLayer> missing(new CTestShapeLayer());
    missing->GetScriptObject(false);
    EXPECT_FALSE(missing->Open(u"\\d\\none.shp"));
    EXPECT_EQ(script_.events.size(), 2u);
    // A file that is there but does not open: false and no event either.
    Put("d/bad.shp", "not a shapefile");
    EXPECT_FALSE(missing->Open(u"\\d\\bad.shp"));
    EXPECT_EQ(script_.events.size(), 2u);
}

TEST_F(Layer, MetadataFileGivesTitleAndComments) {
    MakePointShapefile("d", "roads", {"1 2"});
    CTestShapeLayer plain;
    ASSERT_TRUE(plain.Open(u"\\d\\roads.shp"));
    EXPECT_EQ(plain.GetName(), u"roads.shp");
    EXPECT_EQ(plain.GetComments(), u"");

    Put("d/ROADS.SPI", "[Dataset Information]\r\nTitle=Main roads\r\nComments=Surveyed 2004\r\n");
    CTestShapeLayer titled;
    ASSERT_TRUE(titled.Open(u"\\d\\roads.shp"));
    EXPECT_EQ(titled.GetName(), u"Main roads");
    EXPECT_EQ(titled.GetComments(), u"Surveyed 2004");
    EXPECT_EQ(titled.GetMetadataPath().GetPath(), u"\\d\\roads.spi");
}

TEST_F(Layer, DrawTransform) {
    CTestImageLayer layer(LayerKind::Bitmap);
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(0, 0, 100, 50), 200, 100));
    struct {
        double x, y;
        LONG px, py;
    } rows[] = {{0, 0, 0, 100}, {100, 50, 200, 0}, {50, 25, 100, 50}, {-10, -5, -20, 110}};
    for (const auto& r : rows) {
        POINT p = layer.MapToDevice(r.x, r.y);
        EXPECT_EQ(p.x, r.px) << r.x;
        EXPECT_EQ(p.y, r.py) << r.y;
    }
    EXPECT_EQ(layer.GetDeviceRect().right, 199);
    EXPECT_EQ(layer.GetDeviceRect().bottom, 99);

    // Negative coordinates.
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(-200, -100, -100, -50), 100, 50));
    POINT p = layer.MapToDevice(-150, -75);
    EXPECT_EQ(p.x, 50);
    EXPECT_EQ(p.y, 25);

    // A window or extent without size keeps the transform, and views are
    // not told.
    CTestShapeLayer shape;
    ASSERT_TRUE(shape.SetDrawExtent(CDoubleRect(0, 0, 10, 10), 10, 10));
    EXPECT_EQ(shape.viewChanges, 1);
    EXPECT_FALSE(shape.SetDrawExtent(CDoubleRect(0, 0, 10, 10), 0, 10));
    EXPECT_FALSE(shape.SetDrawExtent(CDoubleRect(0, 0, 10, 10), 10, -1));
    EXPECT_FALSE(shape.SetDrawExtent(CDoubleRect(0, 0, -1, -1), 10, 10));
    EXPECT_FALSE(shape.SetDrawExtent(CDoubleRect(5, 0, 5, 10), 10, 10));
    EXPECT_FALSE(shape.SetDrawExtent(CDoubleRect(0, 0, NAN, 10), 10, 10));
    EXPECT_EQ(shape.viewChanges, 1);
    EXPECT_EQ(shape.GetXScale(), 1.0);

    // Zoomed far in with a feature far away: clamped, not wrapped.
    ASSERT_TRUE(shape.SetDrawExtent(CDoubleRect(0, 0, 1e-6, 1e-6), 100, 100));
    POINT far = shape.MapToDevice(1e6, -1e6);
    EXPECT_EQ(far.x, 134217728);
    EXPECT_EQ(far.y, 100 + 134217728);
}

TEST_F(Layer, ScaleRangeIncludesBothEnds) {
    CTestImageLayer layer(LayerKind::Bitmap);
    layer.SetMinScale(1000);
    layer.SetMaxScale(50000);
    for (double s : {1000.0, 20000.0, 50000.0, 0.0}) EXPECT_TRUE(layer.IsInScaleRange(s)) << s;
    for (double s : {999.0, 50001.0}) EXPECT_FALSE(layer.IsInScaleRange(s)) << s;
    layer.SetMinScale(0);
    EXPECT_TRUE(layer.IsInScaleRange(1));
}

TEST_F(Layer, IdentifyOnlyForIdentifiableLayers) {
    CTestImageLayer image(LayerKind::Bitmap);
    image.SetVisible(false);
    image.SetIdentify(true);
    EXPECT_FALSE(image.GetIdentify());
    EXPECT_FALSE(image.IsVisible());
    CTestShapeLayer shape;
    shape.SetVisible(false);
    shape.SetIdentify(true);
    EXPECT_TRUE(shape.GetIdentify());
    EXPECT_TRUE(shape.IsVisible());
}

TEST_F(Layer, MetadataElementRoundTripsComments) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(u"<LAYER><METADATA><COMMENTS>a &amp; b</COMMENTS></METADATA></LAYER>"));
    CTestImageLayer layer(LayerKind::Bitmap);
    layer.ReadMetadata(doc.GetRoot());
    EXPECT_EQ(layer.GetComments(), u"a & b");
}

TEST(DocumentNumbers, DecimalCommaOnlyWithoutPoint) {
    struct {
        const WChar* text;
        bool ok;
        double value;
    } rows[] = {{u"1.5", true, 1.5},     {u"1,5", true, 1.5},  {u"-180", true, -180},
                {u"1,000.5", false, 0},  {u"abc", false, 0},   {u"", false, 0},
                {u"12x", false, 0},      {u" 2,25 ", true, 2.25}};
    for (const auto& r : rows) {
        double v = 0;
        EXPECT_EQ(ParseDocumentNumber(r.text, v), r.ok) << text::ToUtf8(r.text);
        if (r.ok) EXPECT_EQ(v, r.value);
    }
}

}  // namespace
