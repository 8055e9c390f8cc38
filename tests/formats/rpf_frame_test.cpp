// CADRG frames written by the test's own writer, read by the frame reader
// and by GDAL's NITF driver: subframes, palette and corners agree; the
// reader's rules and damaged frames in tables.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "formats/raster/rpf_frame.h"
#include "raster_test_util.h"
#include "rpf_test_writer.h"

namespace {

rpftest::FrameSpec RandomFrame(unsigned seed, bool mask, int colours = 216) {
    std::mt19937 rng(seed);
    rpftest::FrameSpec f;
    f.mask = mask;
    for (int i = 0; i < colours * 4; ++i) f.palette.push_back(static_cast<uint8_t>(i % 4 == 3 ? 255 : rng() & 255));
    f.codebook.resize(65536);
    for (uint8_t& b : f.codebook) b = static_cast<uint8_t>(rng() % 216);
    if (mask) f.present[3] = f.present[20] = false;
    int present = 0;
    for (bool p : f.present) present += p;
    f.spatial.resize(static_cast<size_t>(present) * 6144);
    for (uint8_t& b : f.spatial) b = static_cast<uint8_t>(rng() & 255);
    return f;
}

class RpfTest : public DbfRootTest {
protected:
    void Write(const std::string& rel, const rpftest::FrameSpec& f) { Put(rel, rpftest::WriteFrame(f)); }
    // The whole frame as colour indices, top row first.
    static std::vector<uint8_t> Decode(CRpfFrame& frame) {
        std::vector<uint8_t> all(1536 * 1536);
        std::vector<uint8_t> sub(65536);
        for (int i = 0; i < 36; ++i) {
            EXPECT_TRUE(frame.ReadSubframe(i, sub.data())) << i;
            for (int y = 0; y < 256; ++y)
                std::memcpy(&all[(static_cast<size_t>(i / 6) * 256 + y) * 1536 + (i % 6) * 256], &sub[y * 256], 256);
        }
        return all;
    }
};

TEST_F(RpfTest, SubframesPaletteAndCornersAgreeWithGdal) {
    REQUIRE_TOOL("gdal_translate");
    for (bool mask : {true, false}) {
        SCOPED_TRACE(mask ? "with a mask" : "without a mask");
        const rpftest::FrameSpec spec = RandomFrame(mask ? 7 : 8, mask);
        Write("A0000000.TL1", spec);
        CRpfFrame frame;
        ASSERT_TRUE(frame.Open(u"\\a0000000.tl1"));
        EXPECT_STREQ(frame.GetSeries().shortName, "TLM 50");
        ASSERT_TRUE(frame.ReadColorTables(0));
        ASSERT_TRUE(frame.ReadCompression());
        EXPECT_EQ(frame.HasMask(), mask);
        const std::vector<uint8_t> ours = Decode(frame);

        int status = -1;
        const std::string warnings = RunTool("gdal_translate -q -of PNM '" + Host("A0000000.TL1") + "' '" +
                                                 Host("gdal.pgm") + "' 2>&1",
                                             &status);
        ASSERT_EQ(status, 0) << warnings;
        // Without a mask the spatial data opens the image segment, where
        // GDAL finds it by guessing (and says so).
        EXPECT_EQ(warnings, mask ? "" : "Warning 1: Failed to find spatial data location, guessing.\n");
        const Picture theirs = ParsePnm(Get("gdal.pgm"));
        ASSERT_EQ(theirs.width, 1536);
        ASSERT_EQ(theirs.channels, 1);
        int compared = 0;
        for (int i = 0; i < 36; ++i) {
            if (!spec.present[i]) continue;  // GDAL gives NoData there, we the darkest colour
            for (int y = 0; y < 256; ++y)
                for (int x = 0; x < 256; ++x) {
                    const int px = (i % 6) * 256 + x, py = (i / 6) * 256 + y;
                    ASSERT_EQ(ours[static_cast<size_t>(py) * 1536 + px], *theirs.At(px, py)) << i << ": " << x << "," << y;
                    ++compared;
                }
        }
        EXPECT_GT(compared, 0);
        // Absent subframes show the darkest colour.
        if (mask) EXPECT_EQ(ours[3 * 256], frame.GetDarkestColour());

        const std::string info = RunTool("gdalinfo '" + Host("A0000000.TL1") + "' 2>&1");
        // The colour table.
        for (int k : {0, 1, 100, 215}) {
            std::ostringstream want;
            const CRpfFrame::Colour& c = frame.GetPalette()[k];
            want << "  " << k << ": " << int(c.red) << "," << int(c.green) << "," << int(c.blue) << ",";
            EXPECT_NE(info.find(want.str()), std::string::npos) << want.str();
        }
        // The corners.
        auto corner = [&](const char* name, double* lon, double* lat) {
            const size_t at = info.find(name);
            ASSERT_NE(at, std::string::npos) << name;
            ASSERT_EQ(sscanf(info.c_str() + info.find('(', at) + 1, "%lf , %lf", lon, lat), 2);
        };
        double lon, lat, ourLat, ourLon;
        corner("Upper Left", &lon, &lat);
        frame.PixelToGround(0, 0, &ourLat, &ourLon);
        EXPECT_NEAR(lon, ourLon, 1e-7);
        EXPECT_NEAR(lat, ourLat, 1e-7);
        corner("Lower Right", &lon, &lat);
        frame.PixelToGround(1536, 1536, &ourLat, &ourLon);
        EXPECT_NEAR(lon, ourLon, 1e-7);
        EXPECT_NEAR(lat, ourLat, 1e-7);
    }
}

TEST_F(RpfTest, LittleEndianFramesReadTheSame) {
    rpftest::FrameSpec spec = RandomFrame(9, true);
    Write("big.tl1", spec);
    spec.bigEndian = false;
    Write("little.tl1", spec);
    CRpfFrame a, b;
    ASSERT_TRUE(a.Open(u"\\big.tl1") && b.Open(u"\\little.tl1"));
    ASSERT_TRUE(a.ReadColorTables(0) && b.ReadColorTables(0) && a.ReadCompression() && b.ReadCompression());
    EXPECT_EQ(Decode(a), Decode(b));
    EXPECT_EQ(std::memcmp(a.GetCoverage(), b.GetCoverage(), 12 * sizeof(double)), 0);
}

TEST_F(RpfTest, ColourConvertersMapToTheirTargetTables) {
    rpftest::FrameSpec spec = RandomFrame(10, true);
    for (int n : {32, 16}) {
        std::vector<uint8_t> target;
        std::vector<uint32_t> map;
        for (int i = 0; i < n; ++i) target.insert(target.end(), {uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i), 255});
        for (int i = 0; i < 216; ++i) map.push_back(static_cast<uint32_t>((i * 5) % n));
        map[7] = 999;  // past the target table: the darkest colour
        spec.targets.push_back(target);
        spec.maps.push_back(map);
    }
    Write("c.tl1", spec);
    CRpfFrame frame;
    ASSERT_TRUE(frame.Open(u"\\c.tl1"));
    for (int k : {1, 2}) {
        SCOPED_TRACE(k);
        ASSERT_TRUE(frame.ReadColorTables(k));
        const int n = k == 1 ? 32 : 16;
        ASSERT_EQ(frame.GetPaletteCount(), n);
        EXPECT_EQ(frame.GetPalette()[5].red, 5 * 7);
        for (int i = 0; i < 216; ++i)
            EXPECT_EQ(frame.GetColourMap()[i], i == 7 ? uint32_t(frame.GetDarkestColour()) : uint32_t((i * 5) % n)) << i;
        ASSERT_TRUE(frame.ReadCompression());
        std::vector<uint8_t> sub(65536);
        ASSERT_TRUE(frame.ReadSubframe(0, sub.data()));
        for (uint8_t v : sub) ASSERT_LT(v, n);
    }
    EXPECT_FALSE(frame.ReadColorTables(3));
}

TEST_F(RpfTest, RulesOfTheFormat) {
    // Series rows from the file name, whatever the folder is called.
    EXPECT_STREQ(CRpfFrame::SeriesForFileName(u"\\maps\\N0123456.TL2").shortName, "TLM 50");
    EXPECT_STREQ(CRpfFrame::SeriesForFileName(u"\\x.on\\X.ZZ1").shortName, "UNKNOWN");
    EXPECT_STREQ(CRpfFrame::SeriesForFileName(u"\\CHARTS.ON\\abc.gn3").shortName, "GNC");
    EXPECT_STREQ(CRpfFrame::SeriesForFileName(u"noextension").shortName, "UNKNOWN");

    // Subframe 7 without a mask sits at 7 x 6144; the codes 0x123 and 0x456.
    rpftest::FrameSpec spec = RandomFrame(11, false);
    for (int t = 0; t < 4; ++t)
        for (int code = 0; code < 4096; ++code)
            for (int v = 0; v < 4; ++v) spec.codebook[t * 16384 + code * 4 + v] = static_cast<uint8_t>((code + t) % 200);
    const uint8_t bytes[3] = {0x12, 0x34, 0x56};
    std::memcpy(&spec.spatial[7 * 6144], bytes, 3);
    Write("r.tl1", spec);
    CRpfFrame frame;
    ASSERT_TRUE(frame.Open(u"\\r.tl1"));
    ASSERT_TRUE(frame.ReadColorTables(0) && frame.ReadCompression());
    EXPECT_EQ(frame.GetSubframeOffset(7), 7 * 6144);
    std::vector<uint8_t> sub(65536);
    ASSERT_TRUE(frame.ReadSubframe(7, sub.data()));
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(sub[r * 256 + 0], (0x123 + r) % 200) << r;
        EXPECT_EQ(sub[r * 256 + 4], (0x456 + r) % 200) << r;
    }

    // Ground to subframe, clamped at the frame's sides.
    const double* c = frame.GetCoverage();
    int col = -1, row = -1;
    EXPECT_EQ(frame.GroundToSubframe(c[0] - 1e-9, c[1] - 1.0, &col, &row), 0);
    EXPECT_EQ(col, 0);
    EXPECT_EQ(frame.GroundToSubframe(c[0] - c[10] * 300, c[1] + c[11] * 5000, &col, &row), 5 + 6);
    EXPECT_EQ(col, 5);
    EXPECT_EQ(row, 1);

    // ARC zones.
    struct Zone {
        double latitude;
        bool ok;
        char letter;
        int number;
    } zones[] = {{-80, true, 'J', -9}, {-79.9, true, 'H', -8}, {32, true, '2', 2}, {95, false, 0, 0},
                 {0, true, '1', 1},    {-32, true, 'B', -2},  {90, true, '9', 9}, {-0.5, true, 'A', -1}};
    for (const Zone& z : zones) {
        char letter = 0;
        int number = 0;
        EXPECT_EQ(CRpfFrame::GetArcZone(z.latitude, &letter, &number), z.ok) << z.latitude;
        if (z.ok) {
            EXPECT_EQ(letter, z.letter) << z.latitude;
            EXPECT_EQ(number, z.number) << z.latitude;
        }
    }
}

TEST_F(RpfTest, DamagedFramesNeverCrash) {
    auto openAndRead = [&](const std::string& rel, bool* opened, bool* decoded, std::vector<uint8_t>* sub) {
        CRpfFrame frame;
        *opened = frame.Open(text::FromUtf8("\\" + rel));
        *decoded = *opened && frame.ReadColorTables(0) && frame.ReadCompression();
        sub->assign(65536, 0);
        if (*decoded) *decoded = frame.ReadSubframe(35, sub->data());
        return frame.GetDarkestColour();
    };
    bool opened, decoded;
    std::vector<uint8_t> sub;

    rpftest::FrameSpec tenByTen = RandomFrame(1, true);
    tenByTen.subframesEw = tenByTen.subframesNs = 10;
    Write("ten.tl1", tenByTen);
    openAndRead("ten.tl1", &opened, &decoded, &sub);
    EXPECT_FALSE(opened);

    Write("many.tl1", RandomFrame(2, true, 300));
    CRpfFrame many;
    ASSERT_TRUE(many.Open(u"\\many.tl1"));
    EXPECT_TRUE(many.ReadColorTables(0));
    EXPECT_EQ(many.GetPaletteCount(), 216);

    rpftest::FrameSpec high = RandomFrame(3, true);
    std::fill(high.codebook.begin(), high.codebook.end(), 250);
    Write("high.tl1", high);
    const int darkest = openAndRead("high.tl1", &opened, &decoded, &sub);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(sub[0], darkest);

    const std::string good = rpftest::WriteFrame(RandomFrame(4, true));
    Put("cut.tl1", good.substr(0, good.size() - 100));
    openAndRead("cut.tl1", &opened, &decoded, &sub);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(decoded);  // the last subframe is cut short
    Put("short.tl1", good.substr(0, 2000));
    openAndRead("short.tl1", &opened, &decoded, &sub);
    EXPECT_FALSE(decoded);

    rpftest::FrameSpec beyond = RandomFrame(5, true);
    beyond.extraLocationRecords = 0;
    std::string far = rpftest::WriteFrame(beyond);
    // The spatial data's location pushed past the end of the file.
    const size_t rec = far.find(std::string("\x00\x8C", 2));
    ASSERT_NE(rec, std::string::npos);
    far[rec + 6] = '\x7F';
    Put("far.tl1", far);
    openAndRead("far.tl1", &opened, &decoded, &sub);
    EXPECT_FALSE(decoded);

    Put("text.tl1", "this is not a frame at all, only text that goes on for a while");
    openAndRead("text.tl1", &opened, &decoded, &sub);
    EXPECT_FALSE(opened);

    rpftest::FrameSpec noHeader = RandomFrame(6, true);
    noHeader.rpfHeader = false;
    Write("nohdr.tl1", noHeader);
    openAndRead("nohdr.tl1", &opened, &decoded, &sub);
    EXPECT_FALSE(opened);

    rpftest::FrameSpec flat = RandomFrame(7, true);
    flat.coverage[10] = 0;
    Write("flat.tl1", flat);
    CRpfFrame f;
    ASSERT_TRUE(f.Open(u"\\flat.tl1"));
    EXPECT_EQ(f.GetCoverage()[10], 1.0);  // the defaults stay
    EXPECT_EQ(f.GroundToSubframe(1536, 300, nullptr, nullptr), 1);

    rpftest::FrameSpec raw = RandomFrame(8, true);
    raw.compressionSection = false;
    Write("raw.tl1", raw);
    CRpfFrame r;
    ASSERT_TRUE(r.Open(u"\\raw.tl1"));
    EXPECT_FALSE(r.ReadCompression());
    EXPECT_FALSE(r.ReadSubframe(0, sub.data()));

    EXPECT_FALSE(IsNitfFile(u"\\text.tl1"));
    EXPECT_TRUE(IsNitfFile(u"\\RAW.TL1"));
    EXPECT_FALSE(IsNitfFile(u"\\missing.tl1"));
}

}  // namespace
