// Image files by type: the routing by extension, bitmap files of every depth
// against GDAL's reading of the same files, and icons made from bitmaps.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "formats/raster/image_loading.h"
#include "raster_test_util.h"

namespace {

void Put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// A bitmap file written by hand: `pixel(x, y)` gives the stored value of
// each pixel (an index, or the packed 16- or 32-bit value, or 0xRRGGBB).
struct BmpSpec {
    int width, height, bits;
    bool topDown = false;
    int rle = 0;  // 8 or 4
    std::vector<uint32_t> masks;  // 16-bit bit fields
    std::function<uint32_t(int, int)> pixel;
};

std::string EncodeRle(const BmpSpec& b) {
    std::string out;
    for (int y = 0; y < b.height; ++y) {
        int x = 0;
        while (x < b.width) {
            int n = 1;
            const uint32_t v = b.pixel(x, y);
            if (b.rle == 8) {
                while (x + n < b.width && n < 255 && b.pixel(x + n, y) == v) ++n;
                out += static_cast<char>(n);
                out += static_cast<char>(v);
            } else {
                // Runs of two alternating nibbles.
                const uint32_t w = x + 1 < b.width ? b.pixel(x + 1, y) : 0;
                while (x + n < b.width && n < 255 && b.pixel(x + n, y) == (n % 2 ? w : v)) ++n;
                out += static_cast<char>(n);
                out += static_cast<char>((v << 4) | w);
            }
            x += n;
        }
        out += std::string("\0\0", 2);
    }
    out += std::string("\0\1", 2);
    return out;
}

std::string MakeBmp(const BmpSpec& b) {
    std::string data;
    if (b.rle) {
        data = EncodeRle(b);
    } else {
        const int stride = DibStride(b.bits, b.width);
        for (int row = 0; row < b.height; ++row) {
            const int y = b.topDown ? row : b.height - 1 - row;
            std::string line(static_cast<size_t>(stride), '\0');
            for (int x = 0; x < b.width; ++x) {
                const uint32_t v = b.pixel(x, y);
                if (b.bits < 8) {
                    const int bit = x * b.bits;
                    line[bit / 8] = static_cast<char>(line[bit / 8] | (v << (8 - b.bits - bit % 8)));
                } else {
                    for (int k = 0; k < b.bits / 8; ++k) line[x * b.bits / 8 + k] = static_cast<char>(v >> (8 * k));
                }
            }
            data += line;
        }
    }
    const int colours = b.bits <= 8 ? 1 << b.bits : 0;
    const uint32_t headers = 14 + 40 + static_cast<uint32_t>(b.masks.size()) * 4 + colours * 4;
    std::string s = "BM";
    Put32(s, headers + static_cast<uint32_t>(data.size()));
    Put32(s, 0);
    Put32(s, headers);
    Put32(s, 40);
    Put32(s, static_cast<uint32_t>(b.width));
    Put32(s, static_cast<uint32_t>(b.topDown ? -b.height : b.height));
    Put16(s, 1);
    Put16(s, static_cast<uint32_t>(b.bits));
    Put32(s, b.rle == 8 ? 1 : b.rle == 4 ? 2 : b.masks.empty() ? 0 : 3);
    Put32(s, static_cast<uint32_t>(data.size()));
    Put32(s, 2835);
    Put32(s, 2835);
    Put32(s, static_cast<uint32_t>(colours));
    Put32(s, 0);
    for (uint32_t m : b.masks) Put32(s, m);
    for (int i = 0; i < colours; ++i) {  // a palette of distinct colours
        s += static_cast<char>((i * 37 + 11) & 255);
        s += static_cast<char>((i * 91 + 3) & 255);
        s += static_cast<char>((i * 53 + 200) & 255);
        s += '\0';
    }
    return s + data;
}

class ImageLoadingTest : public DbfRootTest {
protected:
    Picture Gdal(const std::string& rel, bool expand) {
        int status = -1;
        RunTool("gdal_translate -q -of PNM " + std::string(expand ? "-expand rgb " : "") + "'" + Host(rel) + "' '" +
                    Host(rel + ".pnm") + "' 2>&1",
                &status);
        return status == 0 ? ParsePnm(Get(rel + ".pnm")) : Picture{};
    }
};

TEST_F(ImageLoadingTest, BitmapFilesEqualGdal) {
    REQUIRE_TOOL("gdal_translate");
    auto stripes = [](int x, int y) { return static_cast<uint32_t>((x / 4 + y) % 3); };
    struct Case {
        const char* name;
        BmpSpec spec;
        bool palette;
    } cases[] = {
        {"b1.bmp", {13, 5, 1, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>((x + y) % 2); }}, true},
        {"b4.bmp", {11, 6, 4, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>((x * 3 + y) % 16); }}, true},
        {"b8.bmp", {9, 7, 8, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>(x * 29 + y * 7) & 255; }}, true},
        {"b555.bmp", {7, 4, 16, false, 0, {0x7C00, 0x03E0, 0x001F},
                      [](int x, int y) { return static_cast<uint32_t>((x * 4561 + y * 977) & 0x7FFF); }}, false},
        {"b565.bmp", {7, 4, 16, false, 0, {0xF800, 0x07E0, 0x001F},
                      [](int x, int y) { return static_cast<uint32_t>((x * 4561 + y * 977) & 0xFFFF); }}, false},
        {"b24.bmp", {5, 3, 24, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>(x * 0x30507 + y * 0x112233); }}, false},
        {"b32.bmp", {5, 3, 32, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>(x * 0x30507 + y * 0x1A2B3C) & 0xFFFFFF; }}, false},
        {"top.bmp", {6, 4, 24, true, 0, {}, [](int x, int y) { return static_cast<uint32_t>(x * 40 + y * 0x5000); }}, false},
        {"rle8.bmp", {16, 4, 8, false, 8, {}, stripes}, true},
        {"rle4.bmp", {16, 4, 4, false, 4, {}, stripes}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Put(c.name, MakeBmp(c.spec));
        HBITMAP b = LoadImageFile(text::FromUtf8(std::string("\\") + c.name));
        ASSERT_NE(b, nullptr);
        const Picture theirs = Gdal(c.name, c.palette);
        ASSERT_EQ(theirs.channels, 3);
        EXPECT_EQ(FirstDifference(RgbOf(b), theirs), "");
        DeleteObject(b);
    }
}

TEST_F(ImageLoadingTest, TwoBitFilesByHand) {
    // GDAL does not read 2-bit files: the palette colours computed by hand.
    BmpSpec spec{6, 2, 2, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>((x + y) % 4); }};
    Put("two.2bp", MakeBmp(spec));
    HBITMAP b = LoadImageFile(u"\\TWO.2BP");
    ASSERT_NE(b, nullptr);
    const Picture p = RgbOf(b);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x) {
            const int i = (x + y) % 4;
            const uint8_t want[3] = {static_cast<uint8_t>((i * 53 + 200) & 255), static_cast<uint8_t>((i * 91 + 3) & 255),
                                     static_cast<uint8_t>((i * 37 + 11) & 255)};
            EXPECT_EQ(std::memcmp(p.At(x, y), want, 3), 0) << x << "," << y;
        }
    DeleteObject(b);
}

TEST_F(ImageLoadingTest, RoutingByExtension) {
    int status = -1;
    Put("src.ppm", MakePpm(8, 6));
    Put("data/readme.txt", "");
    RunTool("cjpeg -outfile '" + Host("data/roads.jpg") + "' '" + Host("src.ppm") + "' 2>&1", &status);
    ASSERT_EQ(status, 0);
    const std::string jpeg = Get("data/roads.jpg");
    Put("data/b.jpeg", jpeg);
    Put("data/c.jpe", jpeg);
    Put("data/d.bmp", MakeBmp({3, 2, 24, false, 0, {}, [](int, int) { return 0x102030u; }}));
    Put("data/e.2bp", MakeBmp({3, 2, 2, false, 0, {}, [](int x, int) { return static_cast<uint32_t>(x); }}));
    Put("data/f.png", "\x89PNG\r\n\x1a\n");
    Put("data/g.bmp", jpeg);  // a JPEG named .bmp is not a bitmap
    std::ifstream sid(std::string(ZN_TEST_DATA) + "/mrsid/n13250i.sid", std::ios::binary);
    Put("data/chart.sid", std::string(std::istreambuf_iterator<char>(sid), {}));
    Put("data/h.sid", jpeg);
    struct Case {
        const char16_t* path;
        int width;  // 0: no bitmap
    } cases[] = {
        {u"\\data\\roads.jpg", 8}, {u"\\DATA\\ROADS.JPG", 8}, {u"\\data\\B.JPEG", 8}, {u"\\Data\\c.JPE", 8},
        {u"\\data\\d.bmp", 3},     {u"\\DATA\\D.BMP", 3},     {u"\\data\\E.2bp", 3},  {u"\\data\\f.png", 0},
        {u"\\data\\g.bmp", 0},     {u"\\data\\missing.jpg", 0},
        // MrSID: the coarsest level the reader offers (level 4 of 5, 39 x 80).
        {u"\\DATA\\Chart.SID", 39}, {u"\\data\\h.sid", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(text::ToUtf8(c.path));
        HBITMAP b = LoadImageFile(c.path);
        BITMAP bm{};
        if (b) GetObject(b, sizeof bm, &bm);
        EXPECT_EQ(b ? bm.bmWidth : 0, c.width);
        if (b) DeleteObject(b);
    }
    // The owner: a failed load leaves it empty.
    CImageBitmap image;
    EXPECT_TRUE(image.LoadFile(u"\\data\\roads.jpg"));
    EXPECT_NE(image.GetSafeHandle(), nullptr);
    EXPECT_FALSE(image.LoadFile(u"\\data\\f.png"));
    EXPECT_EQ(image.GetSafeHandle(), nullptr);
    EXPECT_TRUE(image.LoadDib(u"\\data\\d.bmp"));
    EXPECT_FALSE(image.LoadDib(u"\\data\\roads.jpg"));
}

TEST_F(ImageLoadingTest, IconsFromBitmapsAreOpaque) {
    EXPECT_EQ(CreateIconFromBitmap(nullptr), nullptr);
    Put("i.bmp", MakeBmp({32, 32, 24, false, 0, {}, [](int x, int y) { return static_cast<uint32_t>(x * 0x0800 + y * 8); }}));
    HBITMAP b = LoadImageFile(u"\\i.bmp");
    ASSERT_NE(b, nullptr);
    HICON icon = CreateIconFromBitmap(b);
    ASSERT_NE(icon, nullptr);
    // Drawn over white and over black, every pixel is the bitmap's own.
    const Picture want = RgbOf(b);
    for (uint8_t background : {0x00, 0xFF}) {
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 4, 0);
        auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
        bmi->bmiHeader = BITMAPINFOHEADER{};
        bmi->bmiHeader.biWidth = 32;
        bmi->bmiHeader.biHeight = 32;
        bmi->bmiHeader.biBitCount = 24;
        void* bits = nullptr;
        HBITMAP canvas = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        std::memset(bits, background, static_cast<size_t>(DibStride(24, 32)) * 32);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(canvas));
        EXPECT_TRUE(DrawIconEx(dc, 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL));
        SelectObject(dc, old);
        DeleteDC(dc);
        EXPECT_EQ(FirstDifference(RgbOf(canvas), want), "") << int(background);
        DeleteObject(canvas);
    }
    DestroyIcon(icon);
    DeleteObject(b);  // the caller still owns the bitmap
}

}  // namespace
