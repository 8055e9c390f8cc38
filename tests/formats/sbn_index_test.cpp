// The spatial bin index: the golden pair written by a desktop GIS, the
// builder's bin placement and record splitting, and queries.
#include "formats/shape/sbn_index.h"

#include <gtest/gtest.h>

#include "core/file_stream.h"
#include "formats/shape/record_set.h"
#include "formats/shape/spatial_index.h"
#include "shape_test_util.h"

namespace {

const std::string kShape = std::string(ZN_TEST_DATA) + "/shape/";

class SbnTest : public DbfRootTest {
protected:
    void CopySet(const std::string& title, std::initializer_list<const char*> exts) {
        for (const char* e : exts) CopyIn(kShape + title + e, title + e);
    }
    static std::string Read(const std::string& host) {
        std::ifstream in(host, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// Rebuilding blockgroups gives the desktop tool's files byte for byte: this
// pins quantisation, bin choice, merging, chain order, record splitting and
// both headers.
TEST_F(SbnTest, RebuildMatchesDesktopToolBytes) {
    CopySet("blockgroups", {".shp", ".shx", ".dbf"});
    ShpHandle h = ShpOpen(u"\\blockgroups.shp", 0);
    ASSERT_NE(h, nullptr);
    CSpatialIndex index;
    ASSERT_TRUE(index.Rebuild(h));
    ShpClose(h);
    const std::string sbn = Get("blockgroups.sbn"), sbx = Get("blockgroups.sbx");
    const std::string goldSbn = Read(kShape + "blockgroups.sbn");
    const std::string goldSbx = Read(kShape + "blockgroups.sbx");
    ASSERT_EQ(sbn.size(), goldSbn.size());
    ASSERT_EQ(sbx.size(), goldSbx.size());
    for (size_t i = 0; i < sbn.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(sbn[i]), static_cast<uint8_t>(goldSbn[i]))
            << "sbn byte " << i;
    for (size_t i = 0; i < sbx.size(); ++i)
        ASSERT_EQ(static_cast<uint8_t>(sbx[i]), static_cast<uint8_t>(goldSbx[i]))
            << "sbx byte " << i;
}

}  // namespace
