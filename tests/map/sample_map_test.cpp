// The bundled sample map opens without a question and writes itself back.
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "crs/coord_sys.h"
#include "map/layers/map_doc.h"
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
    EXPECT_EQ(layer->m_displayClass, 2);
    ASSERT_NE(doc.GetMapCoordSys(), nullptr);
    EXPECT_EQ(doc.GetMapCoordSys()->m_projectionCode, 43000);
    CDoubleRect full;
    ASSERT_EQ(doc.GetLayers().GetFullExtent(full, false, -1), 1);
    EXPECT_EQ(doc.GetMapExtent(), full);
    ASSERT_TRUE(doc.WriteMapFile(u"\\Samples\\Sample.znm"));
    std::ifstream shipped(samples + "/Sample.znm", std::ios::binary);
    std::string original((std::istreambuf_iterator<char>(shipped)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Get("Samples/Sample.znm"), original);
}

}  // namespace
