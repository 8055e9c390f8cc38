// The bundled sample map opens without a question and writes itself back.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "crs/coord_sys.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/raster_layer.h"
#include "tests/map/map_doubles.h"

namespace {

class SampleMap : public MapTest {};

TEST_F(SampleMap, OpensAsShipped) {
    const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
    ASSERT_EQ(std::system(("xmllint --noout '" + samples + "/Sample.znm'").c_str()), 0);
    ASSERT_TRUE(ShellIn("Samples", "cp '" + samples + "'/* ."));
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\Samples\\Sample.znm"));
    EXPECT_TRUE(MessageTexts().empty());
    ASSERT_EQ(doc.GetLayers().GetCount(), 1);
    CLayer* layer = doc.GetLayers().GetAt(0);
    EXPECT_EQ(layer->GetName(), u"Block groups");
    EXPECT_EQ(layer->GetDisplayClass(), DisplayClass::Polygon);
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_EQ(doc.GetMapCoordSys()->m_projectionCode, 43000);
    CDoubleRect full;
    ASSERT_EQ(doc.GetLayers().GetFullExtent(full, false), 1);
    EXPECT_EQ(doc.GetMapExtent(), full);
    ASSERT_TRUE(doc.WriteMapFile(u"\\Samples\\Sample.znm"));
    std::ifstream shipped(samples + "/Sample.znm", std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Get("Samples/Sample.znm"), original);
}

}  // namespace

namespace {

// The harbour chart: a MrSID image with its world file and projection.
TEST_F(SampleMap, TheHarbourChartOpensAsShipped) {
    const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
    ASSERT_EQ(std::system(("xmllint --noout '" + samples + "/Harbour.znm'").c_str()), 0);
    ASSERT_TRUE(ShellIn("Samples", "cp '" + samples + "'/* ."));
    for (LayerKind kind : {LayerKind::Bitmap, LayerKind::Jpeg, LayerKind::Rpf, LayerKind::Sid})
        UseBuiltInLayerClass(kind);
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\Samples\\Harbour.znm"));
    EXPECT_TRUE(MessageTexts().empty());
    ASSERT_EQ(doc.GetLayers().GetCount(), 1);
    CLayer* layer = doc.GetLayers().GetAt(0);
    EXPECT_EQ(layer->GetKind(), LayerKind::Sid);
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_NE(doc.GetMapCoordSys()->m_projectionCode, 43000);
    CDoubleRect full;
    ASSERT_EQ(doc.GetLayers().GetFullExtent(full, false), 1);
    EXPECT_NEAR(full.xmin, 311716.682047852, 1e-6);
    EXPECT_NEAR(full.ymax, 835165.250017431, 1e-6);
    EXPECT_NEAR(full.xmax - full.xmin, 618 * 1.052095703780650, 1e-6);
    EXPECT_NEAR(full.ymax - full.ymin, 1265 * 1.052095703780650, 1e-6);
}

}  // namespace
