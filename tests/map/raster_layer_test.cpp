// Image layers: world files, extents, cache windows, and drawings compared
// pixel for pixel with GDAL's warp of the same picture to the same view.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <fstream>
#include <iterator>
#include <random>

#include "core/user_abort.h"
#include "crs/coord_sys.h"
#include "formats/sid/sid_decode.h"
#include "formats/sid/sid_reader.h"
#include "map/layers/layer_factory.h"
#include "map/layers/bitmap_layer.h"
#include "map/layers/jpeg_layer.h"
#include "map/layers/rpf_layer.h"
#include "map/layers/sid_layer.h"
#include "platform/win/window.h"
#include "tests/formats/raster_test_util.h"
#include "tests/formats/rpf_test_writer.h"
#include "tests/formats/sid_test_writer.h"
#include "platform/win/msgbox.h"

namespace {

std::string Num(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

std::string World(double pw, double ph, double x, double y) {
    return Num(pw) + "\n0\n0\n" + Num(-ph) + "\n" + Num(x) + "\n" + Num(y) + "\n";
}

class RasterLayerTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        win::SetScreenSize(240, 320);
        gdi::SetScreenMetrics({});
        ResetAbort();
    }
    void TearDown() override {
        win::SetScreenSize(240, 320);
        gdi::SetScreenMetrics({});
        ResetAbort();
        DbfRootTest::TearDown();
    }

    // Draws the layer for an extent into a 32-bit surface of w x h.
    static Picture DrawView(CLayer& layer, const CDoubleRect& extent, int w, int h) {
        HBITMAP surface = gdi::CreateSurface(w, h);
        HDC dc = gdi::CreateSurfaceDC(surface);
        RECT all = {0, 0, w, h};
        HBRUSH magenta = CreateSolidBrush(RGB(255, 0, 255));
        FillRect(dc, &all, magenta);
        DeleteObject(magenta);
        EXPECT_TRUE(layer.SetDrawExtent(extent, w, h));
        layer.DrawTo(dc, nullptr, 0);
        Picture p;
        p.width = w;
        p.height = h;
        p.channels = 3;
        int sw, sh, stride;
        const uint32_t* px = gdi::SurfacePixels(surface, &sw, &sh, &stride);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const uint32_t c = reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(px) + y * stride)[x];
                p.pixels.push_back(static_cast<uint8_t>(c >> 16));
                p.pixels.push_back(static_cast<uint8_t>(c >> 8));
                p.pixels.push_back(static_cast<uint8_t>(c));
            }
        DeleteDC(dc);
        DeleteObject(surface);
        return p;
    }

    // GDAL's nearest-neighbour warp of a host file to the extent and size,
    // as RGB. `ullr` sets the picture's corners first (GDAL would read a
    // world file half a pixel away).
    Picture Reference(const std::string& rel, const CDoubleRect* ullr, const CDoubleRect& e, int w, int h) {
        std::string src = Host(rel);
        int status = -1;
        if (ullr) {
            std::string out = RunTool("gdal_translate -q -of VRT -a_ullr " + Num(ullr->xmin) + " " + Num(ullr->ymax) +
                                          " " + Num(ullr->xmax) + " " + Num(ullr->ymin) + " '" + src + "' '" +
                                          Host("ref.vrt") + "' 2>&1",
                                      &status);
            EXPECT_EQ(status, 0) << out;
            src = Host("ref.vrt");
        }
        std::filesystem::remove(Host("warp.tif"));
        std::string out = RunTool("gdalwarp -q -overwrite -te " + Num(e.xmin) + " " + Num(e.ymin) + " " +
                                      Num(e.xmax) + " " + Num(e.ymax) + " -ts " + std::to_string(w) + " " +
                                      std::to_string(h) + " -r near -ovr NONE '" + src + "' '" + Host("warp.tif") +
                                      "' 2>&1",
                                  &status);
        EXPECT_EQ(status, 0) << out;
        out = RunTool("gdal_translate -q -expand rgb -of PNM '" + Host("warp.tif") + "' '" + Host("warp.ppm") +
                          "' 2>&1 || gdal_translate -q -of PNM '" + Host("warp.tif") + "' '" + Host("warp.ppm") +
                          "' 2>&1",
                      &status);
        Picture p = ParsePnm(Get("warp.ppm"));
        if (p.channels == 1) {
            Picture rgb{p.width, p.height, 3, {}, {}};
            for (uint8_t v : p.pixels) rgb.pixels.insert(rgb.pixels.end(), {v, v, v});
            return rgb;
        }
        return p;
    }

    // Pixels whose centres lie outside the image's corners must be left
    // alone (GDAL fills them with black); the others must equal GDAL's.
    static void ExpectSame(const Picture& ours, const Picture& theirs, const CDoubleRect& image,
                           const CDoubleRect& view) {
        ASSERT_EQ(ours.width, theirs.width);
        ASSERT_EQ(ours.height, theirs.height);
        ASSERT_EQ(theirs.channels, 3);
        static const uint8_t kUntouched[3] = {255, 0, 255};
        int bad = 0;
        for (int y = 0; y < ours.height && bad < 5; ++y)
            for (int x = 0; x < ours.width && bad < 5; ++x) {
                const double mx = view.xmin + (x + 0.5) * (view.xmax - view.xmin) / ours.width;
                const double my = view.ymax - (y + 0.5) * (view.ymax - view.ymin) / ours.height;
                const bool inside = mx > image.xmin && mx < image.xmax && my > image.ymin && my < image.ymax;
                const uint8_t* a = ours.At(x, y);
                const uint8_t* b = inside ? theirs.At(x, y) : kUntouched;
                if (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]) {
                    ADD_FAILURE() << "pixel " << x << "," << y << ": ours " << int(a[0]) << " " << int(a[1]) << " "
                                  << int(a[2]) << ", GDAL " << int(b[0]) << " " << int(b[1]) << " " << int(b[2]);
                    ++bad;
                }
            }
    }

    void WriteJpeg(const std::string& rel, const std::string& ppm, const std::string& options) {
        Put("src.ppm", ppm);
        int status = -1;
        RunTool("cjpeg " + options + " -outfile '" + Host(rel) + "' '" + Host("src.ppm") + "'", &status);
        ASSERT_EQ(status, 0);
    }
};

// A picture of flat 8 x 8 blocks.
std::string BlockyPpm(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> blocks(static_cast<size_t>((w / 8) * (h / 8)) * 3);
    for (uint8_t& b : blocks) b = static_cast<uint8_t>(rng() & 255);
    std::string s = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 3; ++c) s += static_cast<char>(blocks[(static_cast<size_t>(y / 8) * (w / 8) + x / 8) * 3 + c]);
    return s;
}

}  // namespace

TEST(WorldFileTest, ParsesSixNumbersOrRefuses) {
    struct Case {
        const char* text;
        bool ok;
        double pw, ph, x, y;
    };
    const Case cases[] = {
        {"0.5\n0\n0\n-2\n100\n200\n", true, 0.5, 2, 100, 200},
        {"0,5\r\n0\r\n0\r\n-2,25\r\n100,5\r\n200\r\n", true, 0.5, 2.25, 100.5, 200},
        {"  1.052095703780650 \n 0.0\n\t0.0\n -1.052095703780650\n 663570.5\n 4224014.25  \n\n", true,
         1.052095703780650, 1.052095703780650, 663570.5, 4224014.25},
        {"1\n0\n0\n-1\n5\n", false, 0, 0, 0, 0},           // five numbers
        {"0\n0\n0\n-1\n5\n6\n", false, 0, 0, 0, 0},        // zero width
        {"1\n0\n0\n0\n5\n6\n", false, 0, 0, 0, 0},         // zero height
        {"1\n0\n0\n-1\nabc\n6\n", false, 0, 0, 0, 0},      // letters
        {"1\n0\n0\n-1\n5x\n6\n", false, 0, 0, 0, 0},       // trailing letters
        {"1\n0\n\n0\n-1\n5\n6\n", false, 0, 0, 0, 0},      // a blank line among them
        {"inf\n0\n0\n-1\n5\n6\n", false, 0, 0, 0, 0},      // not finite
        {"", false, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WorldFile w;
        ASSERT_EQ(ParseWorldFile(c.text, w), c.ok);
        if (!c.ok) continue;
        EXPECT_DOUBLE_EQ(w.pixelWidth, c.pw);
        EXPECT_DOUBLE_EQ(w.pixelHeight, c.ph);
        EXPECT_DOUBLE_EQ(w.leftX, c.x);
        EXPECT_DOUBLE_EQ(w.topY, c.y);
    }
    const std::pair<const char16_t*, const char16_t*> names[] = {
        {u"\\a\\x.bmp", u"\\a\\x.bpw"}, {u"\\a\\x.2bp", u"\\a\\x.2pw"}, {u"\\a\\x.jpg", u"\\a\\x.jgw"},
        {u"\\a\\x.sid", u"\\a\\x.sdw"}, {u"\\a\\x.jpeg", u"\\a\\x.jpegw"}, {u"\\a\\x.tf", u"\\a\\x.tfw"}};
    for (auto& [image, world] : names) EXPECT_EQ(GetWorldFilePath(image), WString(world));
}

TEST_F(RasterLayerTest, CompanionsAreFoundInAnyCaseAndBadWorldFilesRefuse) {
    WriteJpeg("roads.jpg", MakePpm(40, 30), "-quality 90");
    CJpegLayer missing;
    EXPECT_FALSE(missing.Open(u"\\roads.jpg"));
    Put("roads.jgw", "1\n0\n0\n-1\n5\n");
    CJpegLayer malformed;
    EXPECT_FALSE(malformed.Open(u"\\roads.jpg"));
    std::filesystem::remove(Host("roads.jgw"));
    Put("ROADS.JGW", World(0.5, 0.5, 10, 20));
    CJpegLayer layer;
    ASSERT_TRUE(layer.Open(u"\\roads.jpg"));
    EXPECT_EQ(layer.Extent(), CDoubleRect(10, 5, 30, 20));
}

TEST_F(RasterLayerTest, ExtentIsGdalsCornersMovedHalfAPixel) {
    REQUIRE_TOOL("gdalinfo");
    WriteJpeg("a.jpg", MakePpm(64, 48), "-quality 90");
    Put("a.jgw", World(2.5, 1.25, 1000.5, 5000.25));
    CJpegLayer layer;
    ASSERT_TRUE(layer.Open(u"\\a.jpg"));
    const std::string info = RunTool("gdalinfo '" + Host("a.jpg") + "'");
    double ulx, uly, lrx, lry;
    ASSERT_EQ(std::sscanf(info.substr(info.find("Upper Left")).c_str(), "Upper Left ( %lf, %lf)", &ulx, &uly), 2);
    ASSERT_EQ(std::sscanf(info.substr(info.find("Lower Right")).c_str(), "Lower Right ( %lf, %lf)", &lrx, &lry), 2);
    EXPECT_NEAR(layer.Extent().xmin, ulx + 1.25, 1e-6);
    EXPECT_NEAR(layer.Extent().ymax, uly - 0.625, 1e-6);
    EXPECT_NEAR(layer.Extent().xmax, lrx + 1.25, 1e-6);
    EXPECT_NEAR(layer.Extent().ymin, lry - 0.625, 1e-6);
}

TEST_F(RasterLayerTest, JpegViewsEqualGdal) {
    REQUIRE_TOOL("gdalwarp");
    REQUIRE_TOOL("cjpeg");
    // Small: loaded whole (narrower than the 512-pixel cache).
    WriteJpeg("small.jpg", MakePpm(300, 700, 3), "-quality 85");
    Put("small.jgw", World(1, 1, 0, 700));
    CJpegLayer small;
    ASSERT_TRUE(small.Open(u"\\small.jpg"));
    EXPECT_TRUE(small.GetImageCache().fullyLoaded);
    const CDoubleRect smallCorners = small.Extent();
    struct View {
        CDoubleRect e;
        int w, h;
    };
    for (const View& v : {View{{0, 0, 300, 700}, 300, 700}, View{{40, 300, 100, 340}, 180, 120},
                          View{{-20, 650, 60, 720}, 80, 70}}) {
        SCOPED_TRACE(testing::Message() << "small " << v.e.xmin << "," << v.e.ymin << " " << v.w << "x" << v.h);
        ExpectSame(DrawView(small, v.e, v.w, v.h), Reference("small.jpg", &smallCorners, v.e, v.w, v.h), smallCorners, v.e);
    }

    // Large: decoded window by window, enlarged 1, 2 and 3 times.
    WriteJpeg("big.jpg", MakePpm(1200, 900, 5), "-quality 85");
    Put("big.jgw", World(0.5, 0.5, 1000, 2000));
    CJpegLayer big;
    ASSERT_TRUE(big.Open(u"\\big.jpg"));
    EXPECT_FALSE(big.GetImageCache().fullyLoaded);
    const CDoubleRect corners = big.Extent();  // 1000..1600, 1550..2000
    for (const View& v : {View{{1200, 1700, 1300, 1800}, 200, 200},      // 1:1 centre
                          View{{1200, 1700, 1250, 1760}, 200, 240},      // 2x
                          View{{1210, 1720, 1240, 1740}, 180, 120},      // 3x
                          View{{1500, 1550, 1600, 1650}, 200, 200},      // bottom-right corner
                          View{{1550, 1500, 1650, 1600}, 200, 200}}) {   // past the corner
        SCOPED_TRACE(testing::Message() << "big " << v.e.xmin << "," << v.e.ymin << " " << v.w << "x" << v.h);
        ExpectSame(DrawView(big, v.e, v.w, v.h), Reference("big.jpg", &corners, v.e, v.w, v.h), corners, v.e);
    }
    // The clamped window stays inside the image.
    EXPECT_EQ(big.GetImageCache().cacheWindow.right, 1199);
    EXPECT_EQ(big.GetImageCache().cacheWindow.bottom, 899);
    EXPECT_EQ(big.GetImageCache().cacheWindow.left, 1200 - 512);
    EXPECT_EQ(big.GetImageCache().cacheWindow.top, 900 - 512);
    EXPECT_EQ(big.GetImageCache().cacheZoom, 1);
}

TEST_F(RasterLayerTest, ReducedJpegViewsOfFlatBlocksEqualGdal) {
    REQUIRE_TOOL("gdalwarp");
    WriteJpeg("blocks.jpg", BlockyPpm(2048, 2048, 9), "-quality 100 -sample 1x1");
    Put("blocks.jgw", World(1, 1, 0, 2048));
    CJpegLayer layer;
    ASSERT_TRUE(layer.Open(u"\\blocks.jpg"));
    const CDoubleRect corners = layer.Extent();
    for (int reduction : {2, 4, 8}) {
        SCOPED_TRACE(reduction);
        const CDoubleRect e(0, 0, 2048, 2048);
        const int size = 2048 / reduction;
        ExpectSame(DrawView(layer, e, size, size), Reference("blocks.jpg", &corners, e, size, size), corners, e);
        EXPECT_EQ(layer.GetImageCache().cacheZoom, 999);
    }
}

TEST_F(RasterLayerTest, BitmapViewsEqualGdal) {
    REQUIRE_TOOL("gdal_translate");
    Put("grey.pgm", [] {
        std::string s = "P5\n90 70\n255\n";
        for (int i = 0; i < 90 * 70; ++i) s += static_cast<char>((i * 37) & 255);
        return s;
    }());
    Put("rgb.ppm", MakePpm(90, 70, 4));
    int status = -1;
    RunTool("gdal_translate -q -of BMP '" + Host("grey.pgm") + "' '" + Host("grey.bmp") + "'", &status);
    ASSERT_EQ(status, 0);
    RunTool("gdal_translate -q -of BMP '" + Host("rgb.ppm") + "' '" + Host("rgb.bmp") + "'", &status);
    ASSERT_EQ(status, 0);
    for (const char* name : {"grey", "rgb"}) {
        SCOPED_TRACE(name);
        Put(std::string(name) + ".bpw", World(2, 2, 100, 300));
        CBitmapLayer layer;
        ASSERT_TRUE(layer.Open((u"\\" + WidenText(name) + u".bmp").c_str()));
        const CDoubleRect corners = layer.Extent();  // 100..280, 160..300
        EXPECT_EQ(corners, CDoubleRect(100, 160, 280, 300));
        struct View {
            CDoubleRect e;
            int w, h;
        };
        for (const View& v : {View{corners, 90, 70}, View{{120, 200, 200, 260}, 80, 60},
                              View{{90, 150, 150, 190}, 60, 40}, View{{120, 200, 160, 240}, 40, 40}}) {
            SCOPED_TRACE(testing::Message() << v.e.xmin << "," << v.e.ymin << " " << v.w << "x" << v.h);
            ExpectSame(DrawView(layer, v.e, v.w, v.h),
                       Reference(std::string(name) + ".bmp", &corners, v.e, v.w, v.h), corners, v.e);
        }
    }
}

namespace {

// A frame of 1.5 degrees (pixel intervals of 2^-10 degrees) whose codebook
// entries are flat 4 x 4 blocks, so any sample inside a block is the same.
rpftest::FrameSpec FlatBlockFrame(unsigned seed) {
    std::mt19937 rng(seed);
    rpftest::FrameSpec f;
    for (int i = 0; i < 216 * 4; ++i) f.palette.push_back(static_cast<uint8_t>(i % 4 == 3 ? 255 : rng() & 255));
    f.codebook.resize(65536);
    for (int code = 0; code < 4096; ++code) {
        const auto v = static_cast<uint8_t>(rng() % 216);
        for (int t = 0; t < 4; ++t)
            for (int c = 0; c < 4; ++c) f.codebook[t * 16384 + code * 4 + c] = v;
    }
    f.spatial.resize(36 * 6144);
    for (uint8_t& b : f.spatial) b = static_cast<uint8_t>(rng() & 255);
    const double c[12] = {40.0, -105.0, 38.5, -105.0, 40.0, -103.5, 38.5, -103.5, 100, 100, 1.5 / 1536, 1.5 / 1536};
    std::copy(c, c + 12, f.coverage);
    return f;
}

// The frame's pixels (column, row) as a map rectangle.
CDoubleRect FramePixels(double x0, double y0, double x1, double y1) {
    const double d = 1.5 / 1536;
    return CDoubleRect(-105.0 + x0 * d, 40.0 - y1 * d, -105.0 + x1 * d, 40.0 - y0 * d);
}

}  // namespace

TEST_F(RasterLayerTest, CadrgViewsEqualGdalForEachTileFactor) {
    REQUIRE_TOOL("gdalwarp");
    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(21)));
    const CDoubleRect frame = FramePixels(0, 0, 1536, 1536);
    struct Case {
        int screenW, screenH;
        CDoubleRect view;
        int w, h;
        int tileFactor, subframeSide;
    };
    const Case cases[] = {
        {800, 600, frame, 768, 768, 6, 6},                          // whole frame at step 1, reduced 2x
        {800, 600, FramePixels(700, 300, 1000, 500), 300, 200, 6, 6},
        {240, 320, FramePixels(100, 50, 400, 300), 300, 250, 2, 2},  // 2 x 2 subframes at step 1
        {240, 320, FramePixels(0, 0, 1024, 1024), 512, 512, 2, 4},  // 4 x 4 at step 2
        {240, 320, FramePixels(300, 520, 800, 1000), 250, 240, 2, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screenW << "x" << c.screenH << " view " << c.w << "x" << c.h);
        win::SetScreenSize(c.screenW, c.screenH);
        CRpfLayer layer;
        ASSERT_TRUE(layer.Open(u"\\a0000000.tl1"));
        EXPECT_EQ(layer.GetImageCache().tileFactor, c.tileFactor);
        EXPECT_EQ(layer.GetColourMode(), 0);
        EXPECT_NEAR(layer.Extent().xmin, frame.xmin, 1e-12);
        EXPECT_NEAR(layer.Extent().ymin, frame.ymin, 1e-12);
        const int before = layer.GetSubframeReads();
        const Picture ours = DrawView(layer, c.view, c.w, c.h);
        EXPECT_EQ(layer.GetSubframeReads() - before, c.subframeSide * c.subframeSide);
        ExpectSame(ours, Reference("A0000000.TL1", nullptr, c.view, c.w, c.h), frame, c.view);
    }
}

TEST_F(RasterLayerTest, CadrgColourModesFollowTheDisplay) {
    REQUIRE_TOOL("gdal_translate");
    rpftest::FrameSpec spec = FlatBlockFrame(22);
    for (int n : {32, 16}) {
        std::vector<uint8_t> target;
        std::vector<uint32_t> map;
        for (int i = 0; i < n; ++i) target.insert(target.end(), {uint8_t(i * 7), uint8_t(i * 3), uint8_t(255 - i), 255});
        for (int i = 0; i < 216; ++i) map.push_back(static_cast<uint32_t>((i * 5 + n) % n));
        spec.targets.push_back(target);
        spec.maps.push_back(map);
    }
    Put("A0000000.TL1", rpftest::WriteFrame(spec));
    int status = -1;
    RunTool("gdal_translate -q -of PNM '" + Host("A0000000.TL1") + "' '" + Host("idx.pgm") + "' 2>&1", &status);
    ASSERT_EQ(status, 0);
    const Picture indices = ParsePnm(Get("idx.pgm"));
    ASSERT_EQ(indices.width, 1536);
    for (int mode : {1, 2}) {
        SCOPED_TRACE(mode);
        gdi::SetScreenMetrics({mode == 1 ? 6 : 4, 96, 96});
        win::SetScreenSize(240, 320);
        CRpfLayer layer;
        ASSERT_TRUE(layer.Open(u"\\a0000000.tl1"));
        ASSERT_EQ(layer.GetColourMode(), mode);
        DIBSECTION ds{};
        ASSERT_EQ(GetObject(layer.GetImageCache().GetBitmap(), sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(ds.dsBmih.biBitCount, mode == 2 ? 4 : 8);
        // Subframes 1..2 of row 2 at 1:1.
        const CDoubleRect view = FramePixels(300, 520, 500, 700);
        const Picture ours = DrawView(layer, view, 200, 180);
        const std::vector<uint32_t>& map = spec.maps[mode - 1];
        const std::vector<uint8_t>& target = spec.targets[mode - 1];
        int bad = 0;
        for (int y = 0; y < 180 && bad < 5; ++y)
            for (int x = 0; x < 200 && bad < 5; ++x) {
                const uint32_t k = map[*indices.At(300 + x, 520 + y)];
                const uint8_t* p = ours.At(x, y);
                if (p[0] != target[k * 4] || p[1] != target[k * 4 + 1] || p[2] != target[k * 4 + 2]) {
                    ADD_FAILURE() << x << "," << y;
                    ++bad;
                }
            }
        if (mode == 2) {
            // Two pixels a byte, the first in the high nibble.
            const auto* bits = static_cast<const uint8_t*>(layer.GetImageCache().GetBits());
            const uint8_t* top = bits + static_cast<size_t>(layer.GetImageCache().GetStride()) * (layer.GetImageCache().cacheHeight - 1);
            EXPECT_EQ(top[0] >> 4, static_cast<int>(map[*indices.At(256, 512)]));
            EXPECT_EQ(top[0] & 15, static_cast<int>(map[*indices.At(257, 512)]));
        }
    }
}

TEST_F(RasterLayerTest, CadrgRefusalsAndCoordinateSystem) {
    rpftest::FrameSpec spec = FlatBlockFrame(23);
    spec.compressionSection = false;
    Put("B0000000.TL1", rpftest::WriteFrame(spec));
    CRpfLayer refused;
    EXPECT_FALSE(refused.Open(u"\\b0000000.tl1"));
    EXPECT_EQ(refused.GetImageCache().GetBitmap(), nullptr);

    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(24)));
    CRpfLayer layer;
    ASSERT_TRUE(layer.Open(u"\\a0000000.tl1"));
    std::unique_ptr<CCoordSys> cs(layer.GetCoordSys());
    ASSERT_NE(cs, nullptr);
    WString info;
    layer.GetInfoText(info);
    EXPECT_EQ(info, WString(u"CacheLevel=2\r\nCache Size=512 x 512\r\n"));
    EXPECT_EQ(layer.GetName(), WString(u"a0000000.tl1 - TLM 50 (CADRG/CIB)"));
}

TEST_F(RasterLayerTest, PanningDecodesOnlyWhatTheViewNeeds) {
    WriteJpeg("small.jpg", MakePpm(300, 200, 6), "-quality 80");
    Put("small.jgw", World(1, 1, 0, 200));
    CJpegLayer small;
    ASSERT_TRUE(small.Open(u"\\small.jpg"));
    for (const CDoubleRect& e : {CDoubleRect(0, 0, 300, 200), CDoubleRect(10, 10, 50, 40), CDoubleRect(-500, -500, 900, 900)})
        ASSERT_TRUE(small.SetDrawExtent(e, 100, 80));
    EXPECT_EQ(small.GetWholeDecodes(), 1);
    EXPECT_TRUE(small.GetDecodedWindows().empty());

    WriteJpeg("big.jpg", MakePpm(1500, 1300, 7), "-quality 80");
    Put("big.jgw", World(1, 1, 0, 1300));
    CJpegLayer big;
    ASSERT_TRUE(big.Open(u"\\big.jpg"));
    EXPECT_EQ(big.GetWholeDecodes(), 0);
    ASSERT_TRUE(big.SetDrawExtent(CDoubleRect(600, 600, 800, 800), 200, 200));
    ASSERT_EQ(big.GetDecodedWindows().size(), 1u);
    const RECT first = big.GetDecodedWindows()[0];
    EXPECT_EQ(first.left, 600);
    EXPECT_EQ(first.top, 500);
    EXPECT_EQ(first.right - first.left + 1, 512);
    // Pans inside the cache decode nothing.
    for (double dx : {10.0, 100.0, 300.0}) ASSERT_TRUE(big.SetDrawExtent(CDoubleRect(600 + dx, 600, 800 + dx, 800), 200, 200));
    EXPECT_EQ(big.GetDecodedWindows().size(), 1u);
    // Leaving it decodes exactly one cache-sized window.
    ASSERT_TRUE(big.SetDrawExtent(CDoubleRect(1000, 600, 1200, 800), 200, 200));
    ASSERT_EQ(big.GetDecodedWindows().size(), 2u);
    const RECT second = big.GetDecodedWindows()[1];
    EXPECT_EQ(second.left, 1500 - 512);  // kept inside the image
    EXPECT_EQ(second.right - second.left + 1, 512);
    EXPECT_EQ(second.bottom - second.top + 1, 512);

    // CADRG: a pan inside the loaded subframes reads nothing, a new window
    // reads (s + 1)^2 subframes.
    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(30)));
    CRpfLayer rpf;
    ASSERT_TRUE(rpf.Open(u"\\a0000000.tl1"));
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(10, 10, 200, 200), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 4);
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(60, 60, 250, 250), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 4);
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(800, 800, 990, 990), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 8);
}

TEST_F(RasterLayerTest, AbortedDecodesAreDoneAgainOnTheNextViewChange) {
    WriteJpeg("big.jpg", MakePpm(1500, 1300, 8), "-quality 80");
    Put("big.jgw", World(1, 1, 0, 1300));
    CJpegLayer jpeg;
    ASSERT_TRUE(jpeg.Open(u"\\big.jpg"));
    RequestAbort();
    ASSERT_TRUE(jpeg.SetDrawExtent(CDoubleRect(600, 600, 800, 800), 200, 200));
    EXPECT_EQ(jpeg.GetImageCache().cacheZoom, -1);
    ResetAbort();
    ASSERT_TRUE(jpeg.SetDrawExtent(CDoubleRect(600, 600, 800, 800), 200, 200));
    EXPECT_EQ(jpeg.GetDecodedWindows().size(), 2u);
    EXPECT_EQ(jpeg.GetImageCache().cacheZoom, 1);

    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(31)));
    CRpfLayer rpf;
    ASSERT_TRUE(rpf.Open(u"\\a0000000.tl1"));
    RequestAbort();
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(10, 10, 200, 200), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 1);  // stopped after the first subframe
    ResetAbort();
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(10, 10, 200, 200), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 5);
}

// An abort asked for by the reader part way through a decode: a few rows
// into a JPEG window, a few subframes into a frame.
TEST_F(RasterLayerTest, AbortsFromInsideTheReadersAreDoneAgainOnTheNextViewChange) {
    win::ClearMessageBoxLog();
    WriteJpeg("big.jpg", MakePpm(1500, 1300, 8), "-quality 80");
    Put("big.jgw", World(1, 1, 0, 1300));
    CJpegLayer jpeg;
    ASSERT_TRUE(jpeg.Open(u"\\big.jpg"));
    int rows = 0;
    JpegSetRowHookForTests([&] {
        if (++rows == 5) RequestAbort();
    });
    ASSERT_TRUE(jpeg.SetDrawExtent(CDoubleRect(600, 600, 800, 800), 200, 200));
    JpegSetRowHookForTests(nullptr);
    EXPECT_EQ(rows, 5);
    EXPECT_EQ(jpeg.GetImageCache().cacheZoom, -1);
    ResetAbort();
    ASSERT_TRUE(jpeg.SetDrawExtent(CDoubleRect(600, 600, 800, 800), 200, 200));
    EXPECT_EQ(jpeg.GetDecodedWindows().size(), 2u);
    EXPECT_EQ(jpeg.GetImageCache().cacheZoom, 1);

    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(31)));
    CRpfLayer rpf;
    ASSERT_TRUE(rpf.Open(u"\\a0000000.tl1"));
    int subframes = 0;
    RpfSetSubframeHookForTests([&] {
        if (++subframes == 3) RequestAbort();
    });
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(10, 10, 200, 200), 190, 190));
    RpfSetSubframeHookForTests(nullptr);
    EXPECT_EQ(rpf.GetSubframeReads(), 3);  // stopped after the third subframe
    ResetAbort();
    ASSERT_TRUE(rpf.SetDrawExtent(FramePixels(10, 10, 200, 200), 190, 190));
    EXPECT_EQ(rpf.GetSubframeReads(), 7);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

TEST_F(RasterLayerTest, CacheBitmapsHatchPalettesAndRamps) {
    // Uncovered parts show a diagonal hatch of black and white, on 8-bit
    // and 24-bit caches alike.
    for (int count : {256, 0}) {
        SCOPED_TRACE(count);
        ImageCache layer;
        ASSERT_TRUE(layer.Create(24, 16, count, nullptr, nullptr));
        const Picture p = RgbOf(layer.GetBitmap());
        const uint8_t* odd = p.At(7, 0);
        const uint8_t* even = p.At(0, 0);
        EXPECT_NE(odd[0], even[0]);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x) {
                const uint8_t* c = p.At(x, y);
                const uint8_t* want = (x + y) % 8 == 7 ? odd : even;
                ASSERT_TRUE(c[0] == want[0] && c[1] == want[1] && c[2] == want[2]) << x << "," << y;
                ASSERT_TRUE(c[0] == 0 || c[0] == 255);
            }
    }
    // A palette file overlays listed entries; bad lines are skipped.
    Put("p.clr",
        "# comment\n\n1 255 0 0\n2 0 255 0 extra\n300 1 2 3\n3 -1 0 0\n4 256 0 0\n5 1 2\n6 " +
            std::string(90, ' ') + "7 7 7\n7 10 20 30\r\n");
    ImageCache grey;
    const WString clr = u"\\p.clr";
    ASSERT_TRUE(grey.Create(4, 4, 256, nullptr, &clr));
    const Picture idx = FromDib(grey.GetBitmap());
    ASSERT_EQ(idx.palette.size(), 256u * 3);
    auto entry = [&](int i) { return std::vector<int>{idx.palette[i * 3], idx.palette[i * 3 + 1], idx.palette[i * 3 + 2]}; };
    EXPECT_EQ(entry(1), (std::vector<int>{255, 0, 0}));
    EXPECT_EQ(entry(2), (std::vector<int>{0, 255, 0}));
    EXPECT_EQ(entry(7), (std::vector<int>{10, 20, 30}));
    for (int i : {0, 3, 4, 5, 6, 100, 255}) EXPECT_EQ(entry(i), (std::vector<int>{i, i, i})) << i;
    // A one-entry ramp is black.
    ImageCache one;
    ASSERT_TRUE(one.Create(4, 4, 1, nullptr, nullptr));
    const Picture single = FromDib(one.GetBitmap());
    ASSERT_GE(single.palette.size(), 3u);
    EXPECT_EQ(single.palette[0] + single.palette[1] + single.palette[2], 0);
}

TEST_F(RasterLayerTest, TwoBitBitmapsDrawTheirFourColours) {
    // 4 x 2 pixels, two bits each (first pixel in the high bits), bottom-up.
    std::string bmp = "BM";
    auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) bmp += static_cast<char>((v >> (8 * i)) & 255); };
    auto u16 = [&](uint32_t v) { bmp += static_cast<char>(v & 255); bmp += static_cast<char>(v >> 8); };
    u32(14 + 40 + 16 + 8); u32(0); u32(14 + 40 + 16);
    u32(40); u32(4); u32(2); u16(1); u16(2); u32(0); u32(8); u32(0); u32(0); u32(4); u32(0);
    const uint8_t colours[4][3] = {{10, 20, 30}, {200, 0, 0}, {0, 200, 0}, {0, 0, 200}};  // RGB
    for (auto& c : colours) { bmp += static_cast<char>(c[2]); bmp += static_cast<char>(c[1]); bmp += static_cast<char>(c[0]); bmp += '\0'; }
    bmp += std::string("\x1B\0\0\0", 4);  // bottom row: 0 1 2 3
    bmp += std::string("\xE4\0\0\0", 4) ;  // top row:    3 2 1 0
    Put("tiny.2bp", bmp);
    Put("tiny.2pw", World(1, 1, 0, 2));
    CBitmapLayer layer;
    ASSERT_TRUE(layer.Open(u"\\tiny.2bp"));
    const Picture p = DrawView(layer, CDoubleRect(0, 0, 4, 2), 8, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            const int index = y < 2 ? 3 - x / 2 : x / 2;
            const uint8_t* want = colours[index];
            const uint8_t* got = p.At(x, y);
            EXPECT_TRUE(got[0] == want[0] && got[1] == want[1] && got[2] == want[2]) << x << "," << y << ": " << int(got[0]) << " " << int(got[1]) << " " << int(got[2]) << " want " << int(want[0]) << " " << int(want[1]) << " " << int(want[2]);
        }
}

TEST_F(RasterLayerTest, FactoryMakesEachImageKindAndMrSidDoesNotOpenYet) {
    for (LayerKind kind : {LayerKind::Bitmap, LayerKind::Jpeg, LayerKind::Rpf, LayerKind::Sid})
        UseBuiltInLayerClass(kind);
    WriteJpeg("photo.jpg", MakePpm(20, 20), "-quality 80");
    Put("photo.jgw", World(1, 1, 0, 20));
    Put("map.sid", "msid");
    Put("map.sdw", World(1, 1, 0, 20));
    Put("A0000000.TL1", rpftest::WriteFrame(FlatBlockFrame(40)));
    struct Case {
        const char16_t* path;
        LayerKind kind;
        bool opens;
    };
    for (const Case& c : {Case{u"\\PHOTO.JPG", LayerKind::Jpeg, true}, Case{u"\\map.sid", LayerKind::Sid, false},
                          Case{u"\\a0000000.tl1", LayerKind::Rpf, true}}) {
        SCOPED_TRACE(testing::Message() << NarrowText(c.path));
        WString path = c.path;
        std::unique_ptr<CLayer> layer = CLayer::CreateLayer(path);
        ASSERT_NE(layer, nullptr);
        EXPECT_EQ(layer->GetKind(), c.kind);
        EXPECT_EQ(layer->GetCategory(), LayerCategory::Image);
        EXPECT_EQ(layer->GetDisplayClass(), DisplayClass::Image);
        EXPECT_EQ(layer->Open(path.c_str()), c.opens);
        if (!c.opens) continue;
        // Closing lets the image go.
        auto* raster = dynamic_cast<CRasterLayer*>(layer.get());
        ASSERT_NE(raster, nullptr);
        EXPECT_NE(raster->GetImageCache().GetBitmap(), nullptr);
        layer->Close();
        EXPECT_EQ(raster->GetImageCache().GetBitmap(), nullptr);
    }
    ResetLayerClassesForTests();
}

TEST_F(RasterLayerTest, AFailedBitmapSelectionBeepsAndDrawsNothing) {
    WriteJpeg("photo.jpg", MakePpm(20, 20), "-quality 80");
    Put("photo.jgw", World(1, 1, 0, 20));
    CJpegLayer layer;
    ASSERT_TRUE(layer.Open(u"\\photo.jpg"));
    // A bitmap is selected into one context at a time.
    HDC holder = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(holder, reinterpret_cast<HGDIOBJ>(layer.GetImageCache().GetBitmap()));
    ASSERT_NE(old, nullptr);
    const size_t beeps = win::BeepLog().size();
    const Picture p = DrawView(layer, CDoubleRect(0, 0, 20, 20), 20, 20);
    ASSERT_EQ(win::BeepLog().size(), beeps + 1);
    EXPECT_EQ(win::BeepLog().back(), MB_ICONHAND);
    for (int i = 0; i < 20 * 20; ++i) ASSERT_EQ(p.pixels[i * 3 + 1], 0) << i;  // still the background
    SelectObject(holder, old);
    DeleteDC(holder);
}

TEST_F(RasterLayerTest, WindowsPastTheImageAndGreyOutputOnPaletteDisplays) {
    // Zoomed out on a wide picture: the square window reaches past the
    // bottom, whose rows stay hatched, and the cache is cut to the image.
    WriteJpeg("wide.jpg", MakePpm(1200, 520, 11), "-quality 80");
    Put("wide.jgw", World(1, 1, 0, 520));
    CJpegLayer wide;
    ASSERT_TRUE(wide.Open(u"\\wide.jpg"));
    const Picture p = DrawView(wide, CDoubleRect(0, 0, 1200, 520), 600, 260);
    EXPECT_EQ(wide.GetImageCache().cacheWindow.top, 0);
    EXPECT_EQ(wide.GetImageCache().cacheWindow.bottom, 1199);
    EXPECT_EQ(wide.GetImageCache().cacheZoom, 999);
    EXPECT_EQ(wide.GetImageCache().cacheExtent, wide.Extent());
    int untouched = 0;
    for (int i = 0; i < 600 * 260; ++i)
        untouched += p.pixels[i * 3] == 255 && p.pixels[i * 3 + 1] == 0 && p.pixels[i * 3 + 2] == 255;
    EXPECT_EQ(untouched, 0);

    // A palette display of 4 bits gets grey output in an 8-bit cache; a
    // real display never does.
    for (int bits : {4, 32}) {
        SCOPED_TRACE(bits);
        gdi::SetScreenMetrics({bits, 96, 96});
        CJpegLayer layer;
        ASSERT_TRUE(layer.Open(u"\\wide.jpg"));
        DIBSECTION ds{};
        ASSERT_EQ(GetObject(layer.GetImageCache().GetBitmap(), sizeof ds, &ds), static_cast<int>(sizeof ds));
        EXPECT_EQ(ds.dsBmih.biBitCount, bits == 4 ? 8 : 24);
        const Picture view = DrawView(layer, CDoubleRect(100, 100, 300, 300), 200, 200);
        bool grey = true;
        for (int i = 0; i < 200 * 200; ++i)
            grey = grey && view.pixels[i * 3] == view.pixels[i * 3 + 1] && view.pixels[i * 3 + 1] == view.pixels[i * 3 + 2];
        EXPECT_EQ(grey, bits == 4);
    }
}

// ---- MrSID ----

namespace {

std::string SampleSid() {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The sample's own world file.
const char* kSampleWorld =
    "1.052095703780650\n0.000000000000000\n0.000000000000000\n-1.052095703780650\n311716.682047851910000\n"
    "835165.250017430630000\n";

class SidLayerTest : public RasterLayerTest {
protected:
    void SetUp() override {
        RasterLayerTest::SetUp();
        win::ClearMessageBoxLog();
        Put("chart.sid", SampleSid());
        Put("chart.sdw", kSampleWorld);
        // A copy placed on whole units: pixel size 1, origin (1000, 3000).
        Put("unit.sid", SampleSid());
        Put("unit.sdw", World(1, 1, 1000, 3000));
    }
    void TearDown() override {
        SidSetDrawHookForTests(nullptr);
        RasterLayerTest::TearDown();
    }
    // A whole level decoded by the reader, written as PPM (or PGM) on the host.
    void SaveLevel(const char16_t* path, int level, const std::string& rel) {
        CSidReader r;
        ASSERT_TRUE(r.Open(path));
        const int w = r.GetLevelWidth(level), h = r.GetLevelHeight(level), bands = r.GetBands();
        SidImage* image = nullptr;
        const std::string utf8 = text::ToUtf8(path);
        ASSERT_EQ(SidOpenImage(utf8.c_str(), &image, level, 0, w - 1, 0, h - 1, w * bands), kSidOk);
        std::string px(size_t(w) * h * bands, '\0');
        ASSERT_EQ(SidDecodeRegion(utf8.c_str(), image, nullptr, reinterpret_cast<uint8_t*>(px.data()), {}), kSidOk);
        SidCloseImage(image);
        Put(rel, std::string(bands == 1 ? "P5\n" : "P6\n") + std::to_string(w) + " " + std::to_string(h) +
                     "\n255\n" + px);
    }
};

}  // namespace

TEST_F(SidLayerTest, LevelChoiceAndInfoText) {
    CSidLayer layer;
    ASSERT_TRUE(layer.Open(u"\\chart.sid"));
    const CDoubleRect e = layer.Extent();
    EXPECT_EQ(layer.GetImageCache().cacheWidth, 240);  // the screen: larger than the coarsest level
    EXPECT_EQ(layer.GetImageCache().cacheHeight, 320);
    const double px = 1.052095703780650;
    const struct {
        const char* what;
        CDoubleRect view;
        int level;
    } cases[] = {
        {"whole image", e, 2},
        {"200 x 300 pixels", CDoubleRect(e.xmin + 50 * px, e.ymax - 400 * px, e.xmin + 250 * px, e.ymax - 100 * px), 0},
        {"240 x 320 pixels", CDoubleRect(e.xmin, e.ymax - 320 * px, e.xmin + 240 * px, e.ymax), 0},
        {"241 pixels wide", CDoubleRect(e.xmin, e.ymax - 320 * px, e.xmin + 241 * px, e.ymax), 1},
        {"400 x 600 pixels", CDoubleRect(e.xmin + 10 * px, e.ymax - 610 * px, e.xmin + 410 * px, e.ymax - 10 * px), 1},
        {"a corner of 600 x 600 pixels", CDoubleRect(e.xmin, e.ymax - 600 * px, e.xmin + 600 * px, e.ymax), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RECT window;
        EXPECT_EQ(layer.ChooseLevel(c.view, &window), c.level);
        ASSERT_TRUE(layer.SetDrawExtent(c.view, 240, 320));
        EXPECT_EQ(layer.GetCurrentLevel(), c.level);
        EXPECT_EQ(layer.GetImageCache().cacheZoom, c.level == 0 ? 1 : 9999);
    }
    WString info;
    layer.GetInfoText(info);
    EXPECT_EQ(info, u"Cache Size=240 x 320\r\nImage Level=3 of 5\r\n");

    // A larger screen makes a larger cache, and the whole image fits level 1
    // on its width but not on its height.
    win::SetScreenSize(800, 600);
    CSidLayer big;
    ASSERT_TRUE(big.Open(u"\\chart.sid"));
    RECT window;
    EXPECT_EQ(big.ChooseLevel(e, &window), 2);
    EXPECT_EQ(big.ChooseLevel(CDoubleRect(e.xmin, e.ymax - 600 * px, e.xmax, e.ymax), &window), 0);
}

// Drawn pixels against GDAL's warp of the reader's decode of the chosen
// level, placed on that level's georeference.
TEST_F(SidLayerTest, ViewsEqualGdalsWarpOfTheLevel) {
    REQUIRE_TOOL("gdalwarp");
    CSidLayer unit;
    ASSERT_TRUE(unit.Open(u"\\unit.sid"));
    const CDoubleRect corners = unit.Extent();  // 1000..1618, 1735..3000
    EXPECT_EQ(corners, CDoubleRect(1000, 1735, 1618, 3000));
    SaveLevel(u"\\unit.sid", 0, "level0.ppm");
    struct View {
        CDoubleRect e;
        int w, h;
    };
    for (const View& v : {View{{1100, 2000, 1300, 2300}, 200, 300},    // 1:1
                          View{{1400, 1700, 1640, 1900}, 240, 200},    // past the bottom-right corner
                          View{{1100, 2000, 1200, 2150}, 200, 300}}) { // 2x
        SCOPED_TRACE(testing::Message() << v.e.xmin << "," << v.e.ymin << " " << v.w << "x" << v.h);
        const Picture ours = DrawView(unit, v.e, v.w, v.h);
        EXPECT_EQ(unit.GetCurrentLevel(), 0);
        ExpectSame(ours, Reference("level0.ppm", &corners, v.e, v.w, v.h), corners, v.e);
    }

    // The sample's own placement, at coarser levels: every pixel equals a
    // reference pixel in its 3 x 3 neighbourhood.
    CSidLayer chart;
    ASSERT_TRUE(chart.Open(u"\\chart.sid"));
    const CDoubleRect ce = chart.Extent();
    struct LevelView {
        CDoubleRect e;
        int w, h, level;
    };
    // The base draws from whole cache pixels, so a view edge inside a level
    // pixel can show that pixel one device pixel early. The views have
    // dyadic corners and sizes, so that device coordinates come out exact,
    // and keep their edges inside the image, where GDAL has the neighbours
    // too.
    for (const LevelView& v : {LevelView{ce, 155, 317, 2},
                               LevelView{{311740, 833900, 311740 + 512, 833900 + 1024}, 200, 300, 2},
                               LevelView{{311800, 834200, 311800 + 256, 834200 + 256}, 200, 200, 1}}) {
        SCOPED_TRACE(testing::Message() << "level " << v.level << " " << v.w << "x" << v.h);
        const Picture ours = DrawView(chart, v.e, v.w, v.h);
        ASSERT_EQ(chart.GetCurrentLevel(), v.level);
        SaveLevel(u"\\chart.sid", v.level, "level.ppm");
        // The reference reaches one device pixel further on every side.
        const double dx = (v.e.xmax - v.e.xmin) / v.w, dy = (v.e.ymax - v.e.ymin) / v.h;
        const Picture ref = Reference("level.ppm", &ce,
                                      CDoubleRect(v.e.xmin - dx, v.e.ymin - dy, v.e.xmax + dx, v.e.ymax + dy),
                                      v.w + 2, v.h + 2);
        int bad = 0;
        for (int y = 0; y < v.h && bad < 5; ++y)
            for (int x = 0; x < v.w && bad < 5; ++x) {
                bool found = false;
                for (int ny = -1; ny <= 1 && !found; ++ny)
                    for (int nx = -1; nx <= 1 && !found; ++nx) {
                        found = std::equal(ours.At(x, y), ours.At(x, y) + 3, ref.At(x + 1 + nx, y + 1 + ny));
                    }
                if (!found) {
                    ADD_FAILURE() << "pixel " << x << "," << y << " ours " << int(ours.At(x, y)[0]) << " "
                                  << int(ours.At(x, y)[1]) << " " << int(ours.At(x, y)[2]) << " ref "
                                  << int(ref.At(x + 1, y + 1)[0]) << " " << int(ref.At(x + 1, y + 1)[1]) << " "
                                  << int(ref.At(x + 1, y + 1)[2]);
                    ++bad;
                }
            }
    }
}

// Each view change decodes the visible window at the chosen level, no more.
TEST_F(SidLayerTest, PansDecodeOnlyTheVisibleWindow) {
    CSidLayer layer;
    ASSERT_TRUE(layer.Open(u"\\unit.sid"));
    const struct {
        CDoubleRect view;
        int w, h;
    } pans[] = {{{1100, 2000, 1300, 2300}, 200, 300},
                {{1150, 2000, 1350, 2300}, 200, 300},
                {{1000, 1735, 1618, 3000}, 150, 300},
                {{1300, 1800, 1400, 1900}, 100, 100}};
    size_t decodes = 0;
    for (const auto& p : pans) {
        ASSERT_TRUE(layer.SetDrawExtent(p.view, p.w, p.h));
        ASSERT_EQ(layer.GetDecodedViews().size(), ++decodes);
        const auto& d = layer.GetDecodedViews().back();
        const int level = d.level, ww = d.window.right - d.window.left + 1, wh = d.window.bottom - d.window.top + 1;
        // At most the view's size in pixels of the level, plus 2.
        const double lw = SidLevelSize(618, level), lh = SidLevelSize(1265, level);
        EXPECT_LE(ww, std::ceil((p.view.xmax - p.view.xmin) / (618 / lw)) + 2) << level;
        EXPECT_LE(wh, std::ceil((p.view.ymax - p.view.ymin) / (1265 / lh)) + 2) << level;
        EXPECT_LE(ww, layer.GetImageCache().cacheWidth);
        EXPECT_LE(wh, layer.GetImageCache().cacheHeight);
    }
    // The same view again decodes nothing.
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(1300, 1800, 1400, 1900), 100, 100));
    EXPECT_EQ(layer.GetDecodedViews().size(), decodes);
}

TEST_F(SidLayerTest, AbortStopsTheDecodeAndTheNextViewChangeDecodesAgain) {
    CSidLayer layer;
    ASSERT_TRUE(layer.Open(u"\\unit.sid"));
    int steps = 0;
    SidSetDrawHookForTests([&] {
        if (++steps == 40) RequestAbort();
    });
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(1100, 2000, 1300, 2300), 200, 300));
    EXPECT_GE(steps, 40);
    EXPECT_EQ(layer.GetCurrentLevel(), -1);
    EXPECT_EQ(layer.GetImageCache().cacheZoom, -1);
    EXPECT_TRUE(layer.NeedsRefresh());
    EXPECT_TRUE(win::MessageBoxLog().empty());
    SidSetDrawHookForTests(nullptr);
    ResetAbort();
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(1100, 2000, 1300, 2300), 200, 300));
    EXPECT_EQ(layer.GetDecodedViews().size(), 2u);
    EXPECT_EQ(layer.GetCurrentLevel(), 0);
    EXPECT_EQ(layer.GetImageCache().cacheZoom, 1);
}

TEST_F(SidLayerTest, UnsupportedFilesAreRefusedWithAMessage) {
    const std::string sample = SampleSid();
    auto withBands = [&](uint32_t bands) {
        std::string s = sample;
        for (int i = 0; i < 4; ++i) s[7 + i] = char(bands >> (8 * (3 - i)));
        return s;
    };
    std::string newer = sample;
    newer[4] = 3;
    const struct {
        const char* what;
        std::string bytes;
        bool message;
    } cases[] = {
        {"version byte 3", newer, true},
        {"2 bands", withBands(2), true},
        {"4 bands", withBands(4), true},
        {"damaged magic", "MSID" + sample.substr(4), false},
        {"cut in the header", sample.substr(0, 20), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        win::ClearMessageBoxLog();
        Put("bad.sid", c.bytes);
        Put("bad.sdw", kSampleWorld);
        CSidLayer layer;
        EXPECT_FALSE(layer.Open(u"\\bad.sid"));
        const auto log = win::MessageBoxLog();
        ASSERT_EQ(log.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(log[0].text, u"Sorry, this is an unsupported MrSID format.");
        }
    }
    // No world file: no layer, no message.
    win::ClearMessageBoxLog();
    Put("alone.sid", sample);
    CSidLayer alone;
    EXPECT_FALSE(alone.Open(u"\\alone.sid"));
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

// A one-band image with a palette file shows the listed colours at the
// listed indexes and grey elsewhere.
TEST_F(SidLayerTest, PaletteFileOnAOneBandImage) {
    Put("grey.sid", SidOneBandCopy(SampleSid()));
    Put("grey.sdw", World(1, 1, 1000, 3000));
    Put("GREY.CLR", "# harbour colours\n200 255 0 0\n150 0 0 255\n300 1 2 3\n90 0 300 0\n");
    SaveLevel(u"\\grey.sid", 0, "grey.pgm");
    const Picture decoded = ParsePnm(Get("grey.pgm"));
    ASSERT_EQ(decoded.channels, 1);
    CSidLayer layer;
    ASSERT_TRUE(layer.Open(u"\\grey.sid"));
    const Picture p = DrawView(layer, CDoubleRect(1100, 2000, 1300, 2300), 200, 300);
    int listed = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x) {
            const uint8_t v = decoded.At(100 + x, 700 + y)[0];
            std::vector<uint8_t> want = {v, v, v};
            if (v == 200) want = {255, 0, 0};
            if (v == 150) want = {0, 0, 255};
            listed += v == 200 || v == 150;
            ASSERT_EQ(std::vector<uint8_t>(p.At(x, y), p.At(x, y) + 3), want) << x << "," << y << " index " << int(v);
        }
    EXPECT_GT(listed, 0);
}

// A view of more of the coarsest level than the cache holds (a few screens)
// is decoded reduced by a whole factor: every factor-th pixel of the level,
// the same bytes as the whole level decoded at once. Zooming in decodes at
// full resolution again.
TEST_F(SidLayerTest, ViewsLargerThanTheCacheAreReducedToFitIt) {
    win::SetScreenSize(10, 20);
    CSidLayer layer;
    ASSERT_TRUE(layer.Open(u"\\unit.sid"));
    EXPECT_EQ(layer.GetImageCache().cacheWidth, 20);  // the coarsest level is 39 x 80
    EXPECT_EQ(layer.GetImageCache().cacheHeight, 40);
    ASSERT_TRUE(layer.SetDrawExtent(layer.Extent(), 10, 20));
    ASSERT_EQ(layer.GetCurrentLevel(), 4);
    EXPECT_EQ(layer.GetCurrentFactor(), 2);
    EXPECT_EQ(layer.GetImageCache().cacheExtent, layer.Extent());
    SaveLevel(u"\\unit.sid", 4, "level4.ppm");
    const Picture level = ParsePnm(Get("level4.ppm"));
    ASSERT_EQ(level.width, 39);
    DIBSECTION ds{};
    ASSERT_EQ(GetObject(layer.GetImageCache().GetBitmap(), sizeof ds, &ds), static_cast<int>(sizeof ds));
    ASSERT_EQ(ds.dsBm.bmBitsPixel, 24);
    const int height = std::abs(ds.dsBmih.biHeight);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 20; ++x) {
            const auto* row = static_cast<const uint8_t*>(ds.dsBm.bmBits) +
                              size_t(ds.dsBmih.biHeight > 0 ? height - 1 - y : y) * ds.dsBm.bmWidthBytes;
            const uint8_t* want = level.At(2 * x, 2 * y);
            ASSERT_EQ((std::vector<uint8_t>{row[3 * x + 2], row[3 * x + 1], row[3 * x]}),
                      std::vector<uint8_t>(want, want + 3))
                << x << "," << y;
        }
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(1100, 2000, 1110, 2020), 10, 20));
    EXPECT_EQ(layer.GetCurrentLevel(), 0);
    EXPECT_EQ(layer.GetCurrentFactor(), 1);
}

// The address sanitizer keeps freed blocks aside (up to 256 MiB) before it
// reuses them, so its peak holds the pieces decoded before.
#if defined(__SANITIZE_ADDRESS__)
constexpr long kBombLimitMiB = 64 + 320;
#else
constexpr long kBombLimitMiB = 64;
#endif

// A decompression bomb: a few kilobytes declaring 6000 x 6000 pixels at
// one level, every tile empty. Viewing it whole costs a few screens of
// memory, not the level (peak measured in a child process).
TEST_F(SidLayerTest, HugeDeclaredLevelsCostAFewScreensOfMemory) {
    // Header, directory, one block per subband whose tiles all share one
    // empty tile.
    const uint32_t bands = 3, levels = 1, side = 6000, tile = 1024;
    auto be32 = [](std::string& s, uint32_t v) {
        for (int i = 3; i >= 0; --i) s += static_cast<char>(v >> (8 * i));
    };
    auto setBe32 = [](std::string& s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * (3 - i)));
    };
    std::vector<SidTreeNode> leaves(3 * levels + 1);
    for (const SidTreeNode& n : SidBuildTree(side, side, levels))
        if (n.subband >= 0) leaves[size_t(n.subband)] = n;
    std::string s = std::string("msid\x01\x00\x01", 7);
    for (uint32_t v : {bands, levels, side, side}) be32(s, v);
    const size_t dir = s.size();
    s.resize(s.size() + 4 * leaves.size());
    const size_t emptyTile = s.size();
    s += "\xFF\xA3\xFF\xD9";
    for (size_t sb = 0; sb < leaves.size(); ++sb) {
        const uint32_t w = leaves[sb].width, h = leaves[sb].height;
        setBe32(s, dir + 4 * sb, uint32_t(s.size()));
        s += "\xFF\xAC";
        s += std::string(2, '\0');
        be32(s, 1);
        const size_t entry = s.size();
        for (uint32_t b = 0; b < bands; ++b) be32(s, 0);
        for (uint32_t v : {0u, 0u, w - 1, h - 1}) be32(s, v);
        for (uint32_t b = 0; b < bands; ++b) {
            setBe32(s, entry + 4 * b, uint32_t(s.size()));
            s += "\xFF\xAA";
            std::string counts(16, '\0');
            counts[7] = static_cast<char>(255);
            counts[8] = 1;
            s += counts;
            for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
            be32(s, std::bit_cast<uint32_t>(1.0f));
            be32(s, tile);
            be32(s, tile);
            const uint32_t tiles = ((w + tile - 1) / tile) * ((h + tile - 1) / tile);
            for (uint32_t t = 0; t < tiles; ++t) be32(s, uint32_t(emptyTile));
        }
    }
    EXPECT_LT(s.size(), 10000u);
    Put("bomb.sid", s);
    Put("bomb.sdw", World(1, 1, 0, 6000));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        CSidLayer layer;
        bool ok = layer.Open(u"\\bomb.sid") && layer.SetDrawExtent(layer.Extent(), 240, 320) &&
                  layer.GetCurrentLevel() == 0 && layer.GetCurrentFactor() == 13 &&
                  layer.GetImageCache().cacheWidth == 480 && layer.GetImageCache().cacheHeight == 640;
        getrusage(RUSAGE_SELF, &after);
        const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
        std::printf("bomb.sid (%zu bytes, 6000 x 6000): peak memory grew by %ld MiB\n", s.size(), grownMiB);
        std::fflush(stdout);
        _exit(ok && grownMiB < kBombLimitMiB ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
