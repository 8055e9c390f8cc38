// The JPEG reader against djpeg, which decodes with the same library and the
// same defaults: whole pictures, quantised palettes, point-sampled windows,
// and damaged files that must not end the program.
#include <gtest/gtest.h>

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "formats/message_sink.h"
#include "formats/raster/jpeg_reader.h"
#include "raster_test_util.h"

namespace {

class JpegTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        messages_.clear();
        ESetMessageSink([this](const WString& text, const WString& caption) {
            messages_.push_back(text::ToUtf8(caption) + ": " + text::ToUtf8(text));
        });
    }
    void TearDown() override {
        ESetMessageSink(nullptr);
        DbfRootTest::TearDown();
    }
    // Makes rel from a generated picture with cjpeg's options.
    void Cjpeg(const std::string& rel, int w, int h, const std::string& options) {
        Put("src.ppm", MakePpm(w, h));
        int status = -1;
        RunTool("cjpeg " + options + " -outfile '" + Host(rel) + "' '" + Host("src.ppm") + "' 2>&1", &status);
        ASSERT_EQ(status, 0) << options;
    }
    Picture Djpeg(const std::string& rel, const std::string& options) {
        return ParseBmp(RunTool("djpeg -bmp " + options + " '" + Host(rel) + "' 2>/dev/null"));
    }
    Picture DjpegPnm(const std::string& rel, const std::string& options = "") {
        return ParsePnm(RunTool("djpeg -pnm " + options + " '" + Host(rel) + "' 2>/dev/null"));
    }
    // A CMYK file, as desktop publishing tools write them (inverted values).
    void WriteCmyk(const std::string& rel, int w, int h) {
        jpeg_compress_struct c;
        jpeg_error_mgr err;
        c.err = jpeg_std_error(&err);
        jpeg_create_compress(&c);
        FILE* f = fopen(Host(rel).c_str(), "wb");
        ASSERT_NE(f, nullptr);
        jpeg_stdio_dest(&c, f);
        c.image_width = static_cast<JDIMENSION>(w);
        c.image_height = static_cast<JDIMENSION>(h);
        c.input_components = 4;
        c.in_color_space = JCS_CMYK;
        jpeg_set_defaults(&c);
        c.write_Adobe_marker = TRUE;
        jpeg_start_compress(&c, TRUE);
        std::vector<JSAMPLE> row(static_cast<size_t>(w) * 4);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                row[4 * x] = static_cast<JSAMPLE>(x * 7);
                row[4 * x + 1] = static_cast<JSAMPLE>(y * 11);
                row[4 * x + 2] = static_cast<JSAMPLE>((x + y) * 5);
                row[4 * x + 3] = static_cast<JSAMPLE>(255 - x * 3);
            }
            JSAMPROW r = row.data();
            jpeg_write_scanlines(&c, &r, 1);
        }
        jpeg_finish_compress(&c);
        jpeg_destroy_compress(&c);
        fclose(f);
    }
    static HBITMAP MakeTarget(int w, int h, int bits, uint8_t fill) {
        std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
        auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
        bmi->bmiHeader = BITMAPINFOHEADER{};
        bmi->bmiHeader.biWidth = w;
        bmi->bmiHeader.biHeight = h;
        bmi->bmiHeader.biBitCount = static_cast<WORD>(bits);
        if (bits <= 8) bmi->bmiHeader.biClrUsed = 1u << bits;
        void* p = nullptr;
        HBITMAP b = CreateDIBSection(nullptr, bmi, DIB_RGB_COLORS, &p, nullptr, 0);
        if (p) std::memset(p, fill, static_cast<size_t>(DibStride(bits, w)) * h);
        return b;
    }
    std::vector<std::string> messages_;
};

TEST_F(JpegTest, WholePicturesEqualDjpeg) {
    REQUIRE_TOOL("cjpeg");
    struct Case {
        int w, h;
        const char* options;
    } cases[] = {
        {64, 48, "-sample 2x2"},     {64, 48, "-sample 2x1"}, {64, 48, "-sample 1x1"},
        {65, 47, "-progressive"},    {40, 40, "-restart 1"},  {33, 21, "-grayscale"},
        {1, 1, ""},                  {17, 9, ""},             {801, 601, "-quality 85"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h << " " << c.options);
        Cjpeg("p.jpg", c.w, c.h, c.options);
        HBITMAP b = LoadJpegBitmap(u"\\p.jpg");
        ASSERT_NE(b, nullptr);
        const Picture ours = FromDib(b);
        const Picture theirs = Djpeg("p.jpg", "");
        EXPECT_EQ(FirstDifference(ours, theirs), "");
        EXPECT_EQ(ours.palette, theirs.palette);  // the grey ramp for grey files
        DeleteObject(b);
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(JpegTest, QuantisedPicturesEqualDjpeg) {
    REQUIRE_TOOL("cjpeg");
    Cjpeg("q.jpg", 90, 70, "");
    Cjpeg("g.jpg", 50, 30, "-grayscale");
    struct Case {
        const char* file;
        int mode, colours, dither;
        const char* options;
    } cases[] = {
        {"q.jpg", 2, 16, 2, "-colors 16"},
        {"q.jpg", 1, 16, 0, "-colors 16 -onepass -dither none"},
        {"q.jpg", 1, 27, 1, "-colors 27 -onepass -dither ordered"},
        {"q.jpg", 1, 8, 2, "-colors 8 -onepass -dither fs"},
        {"g.jpg", 2, 6, 2, "-colors 6"},
        {"q.jpg", 2, 300, 2, "-colors 256"},  // clamped
        {"q.jpg", 2, 0, 2, "-colors 8"},      // clamped: two levels of each colour
        {"g.jpg", 1, 1, 0, "-colors 2 -onepass -dither none"},
        {"q.jpg", 1, 1, 0, "-colors 8 -onepass -dither none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        CJpegReader r;
        ASSERT_TRUE(r.Open(text::FromUtf8(std::string("\\") + c.file)));
        r.SetQuantize(c.mode, c.colours, c.dither);
        HBITMAP b = r.ReadBitmap();
        ASSERT_NE(b, nullptr);
        const Picture ours = FromDib(b);
        const Picture theirs = Djpeg(c.file, c.options);
        EXPECT_EQ(FirstDifference(ours, theirs), "");
        EXPECT_EQ(ours.palette, theirs.palette);
        DeleteObject(b);
    }
    EXPECT_TRUE(messages_.empty());
}

TEST_F(JpegTest, CmykFilesBecomeBgrAsDjpegShowsThem) {
    WriteCmyk("cmyk.jpg", 37, 23);
    HBITMAP b = LoadJpegBitmap(u"\\CMYK.JPG");  // found whatever the case
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FirstDifference(FromDib(b), DjpegPnm("cmyk.jpg")), "");
    DeleteObject(b);
}

TEST_F(JpegTest, DrawScaledPointSamplesTheWindow) {
    REQUIRE_TOOL("cjpeg");
    Cjpeg("big.jpg", 1000, 800, "");
    const Picture full = DjpegPnm("big.jpg");
    ASSERT_EQ(full.width, 1000);
    // A window at least twice the target's size each way is decoded reduced
    // by the largest power of two (up to 8) that keeps it at least the
    // target's size; each sample is then the reduced pixel holding the
    // full-size one, as `djpeg -scale` gives it.
    struct Case {
        int x, y, w, h, tw, th, reduce;
    } cases[] = {
        {0, 0, 1000, 800, 100, 80, 8},
        {101, 37, 333, 217, 70, 50, 4},
        {900, 700, 300, 300, 60, 60, 4},  // reaches past the picture
        {3, 5, 190, 170, 60, 50, 2},
        {17, 11, 150, 100, 100, 80, 1},  // less than twice: full size
        {0, 0, 1000, 90, 100, 80, 1},    // one way only: full size
        {40, 30, 20, 16, 100, 80, 1},    // enlarged
        {400, 300, 200, 200, 200, 200, 1},
        {400, 388, 512, 512, 512, 512, 1},
        {688, 388, 512, 412, 512, 412, 1},
    };
    CJpegReader r;
    ASSERT_TRUE(r.Open(u"\\big.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " 1/" << c.reduce);
        const Picture source =
            c.reduce == 1 ? full : DjpegPnm("big.jpg", "-scale 1/" + std::to_string(c.reduce));
        HBITMAP t = MakeTarget(c.tw, c.th, 24, 0x5A);
        ASSERT_TRUE(r.DrawScaled(t, c.x, c.y, c.w, c.h, nullptr));
        const Picture first = FromDib(t);
        for (int j = 0; j < c.th; ++j) {
            const int sy = c.y + j * c.h / c.th;
            // An enlarging request fills each source row's first target row only.
            if (j > 0 && sy == c.y + (j - 1) * c.h / c.th) continue;
            for (int i = 0; i < c.tw; ++i) {
                const int sx = c.x + i * c.w / c.tw;
                const uint8_t untouched[3] = {0x5A, 0x5A, 0x5A};
                const uint8_t* want =
                    sx < full.width && sy < full.height ? source.At(sx / c.reduce, sy / c.reduce) : untouched;
                ASSERT_EQ(std::memcmp(first.At(i, j), want, 3), 0) << i << "," << j;
            }
        }
        // A second call decodes again from the start, to the same pixels.
        HBITMAP t2 = MakeTarget(c.tw, c.th, 24, 0x5A);
        ASSERT_TRUE(r.DrawScaled(t2, c.x, c.y, c.w, c.h, nullptr));
        EXPECT_EQ(FirstDifference(FromDib(t2), first), "");
        DeleteObject(t);
        DeleteObject(t2);
    }
    // Targets that do not fit the output are refused before decoding.
    for (int bits : {1, 4, 8, 32}) {
        HBITMAP t = MakeTarget(10, 10, bits, 0);
        EXPECT_FALSE(r.DrawScaled(t, 0, 0, 100, 100, nullptr)) << bits;
        DeleteObject(t);
    }
    r.SetGrayscale();
    HBITMAP t24 = MakeTarget(10, 10, 24, 0);
    EXPECT_FALSE(r.DrawScaled(t24, 0, 0, 100, 100, nullptr));
    HBITMAP t8 = MakeTarget(10, 10, 8, 0);
    EXPECT_TRUE(r.DrawScaled(t8, 0, 0, 100, 100, nullptr));
    EXPECT_FALSE(r.DrawScaled(t8, 0, 0, 0, 100, nullptr));
    DeleteObject(t24);
    DeleteObject(t8);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(JpegTest, DamagedFilesFailWithOneMessage) {
    REQUIRE_TOOL("cjpeg");
    Cjpeg("good.jpg", 120, 90, "");
    const std::string good = Get("good.jpg");
    Put("empty.jpg", "");
    Put("cut.jpg", good.substr(0, good.size() / 2));
    Put("page.jpg", "<html><body>Service unavailable</body></html>");
    WriteCmyk("cmyk.jpg", 16, 16);

    // Empty: refused at the header.
    CJpegReader r;
    EXPECT_FALSE(r.Open(u"\\empty.jpg"));
    EXPECT_EQ(messages_, std::vector<std::string>{"JPEG Library Error: Empty input file"});
    messages_.clear();

    // A server's error page.
    EXPECT_FALSE(r.Open(u"\\page.jpg"));
    EXPECT_EQ(messages_, std::vector<std::string>{"JPEG Library Error: Not a JPEG file: starts with 0x3c 0x68"});
    messages_.clear();

    // Cut short: a warning, and the picture up to the cut as djpeg shows it.
    ASSERT_TRUE(r.Open(u"\\cut.jpg"));
    HBITMAP b = r.ReadBitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(FirstDifference(FromDib(b), Djpeg("cut.jpg", "")), "");
    DeleteObject(b);
    HBITMAP t = MakeTarget(40, 30, 24, 0);
    EXPECT_TRUE(r.DrawScaled(t, 0, 0, 120, 90, nullptr));
    EXPECT_TRUE(r.DrawScaled(t, 0, 0, 120, 90, nullptr));
    DeleteObject(t);
    EXPECT_EQ(messages_, std::vector<std::string>{"JPEG Library Error: Premature end of JPEG file"});
    messages_.clear();

    // A row callback that stops early, then a whole decode again.
    ASSERT_TRUE(r.Open(u"\\good.jpg"));
    int rows = 0;
    EXPECT_FALSE(r.ReadScanlines(
        [](CJpegReader*, int row, const uint8_t*, void* ctx) {
            *static_cast<int*>(ctx) = row + 1;
            return row < 9;
        },
        &rows));
    EXPECT_EQ(rows, 10);
    b = r.ReadBitmap();
    EXPECT_NE(b, nullptr);
    DeleteObject(b);
    EXPECT_TRUE(r.ReadScanlines([](CJpegReader*, int, const uint8_t*, void*) { return true; }, nullptr));

    // Grey output of a CMYK file is not possible.
    ASSERT_TRUE(r.Open(u"\\cmyk.jpg"));
    r.SetGrayscale();
    EXPECT_EQ(r.ReadBitmap(), nullptr);
    EXPECT_EQ(r.ReadBitmap(), nullptr);
    EXPECT_EQ(messages_.size(), 1u);
    r.Close();
    // A missing file keeps the system's error.
    EXPECT_FALSE(r.Open(u"\\missing.jpg"));
    EXPECT_EQ(r.GetLastError(), fs::kErrorFileNotFound);
}

// Decompression bombs: a few hundred bytes of progressive JPEG declaring
// 30000 x 30000 pixels, colour and grey. Opening, reading and drawing them
// fails with a message and costs little memory (peak measured in a child
// process); a baseline file of that size streams its rows as before.
TEST_F(JpegTest, DeclaredSizesBeyondTheMemoryLimitAreRefused) {
    REQUIRE_TOOL("cjpeg");
    auto bomb = [&](const std::string& rel, const std::string& options) {
        Cjpeg(rel, 16, 16, options);
        std::string b = Get(rel);
        // Start of frame (any kind): height and width after length and precision.
        size_t at = 2;
        while (at + 9 < b.size() &&
               !(uint8_t(b[at]) == 0xFF && (uint8_t(b[at + 1]) & 0xF0) == 0xC0 &&
                 uint8_t(b[at + 1]) != 0xC4))
            at += 2 + (uint8_t(b[at + 2]) << 8 | uint8_t(b[at + 3]));
        ASSERT_LT(at + 9, b.size());
        for (size_t i : {at + 5, at + 7}) {
            b[i] = char(30000 >> 8);
            b[i + 1] = char(30000 & 0xFF);
        }
        Put(rel, b);
    };
    bomb("colour.jpg", "-progressive");
    bomb("grey.jpg", "-progressive -grayscale");
    bomb("baseline.jpg", "-grayscale");
    EXPECT_LT(Get("colour.jpg").size(), 1000u);
    EXPECT_LT(Get("grey.jpg").size(), 1000u);
    struct Row {
        const char* file;
        bool opens;
    } rows[] = {{"colour.jpg", false}, {"grey.jpg", false}, {"baseline.jpg", true}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.file);
        const WString path = u"\\" + text::FromUtf8(r.file);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            rusage before{}, after{};
            getrusage(RUSAGE_SELF, &before);
            CJpegReader reader;
            const bool opened = reader.Open(path);
            bool drawn = false;
            if (opened) {
                HBITMAP t = MakeTarget(64, 64, 8, 0);
                reader.SetGrayscale();
                drawn = reader.DrawScaled(t, 0, 0, 30000, 30000, nullptr);
                DeleteObject(t);
            }
            HBITMAP whole = LoadJpegBitmap(path);
            getrusage(RUSAGE_SELF, &after);
            const long grownMiB = (after.ru_maxrss - before.ru_maxrss) / 1024;
            std::printf("%s: peak memory grew by %ld MiB\n", r.file, grownMiB);
            std::fflush(stdout);
            _exit(opened == r.opens && drawn == r.opens && !whole && grownMiB < 300 ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    CJpegReader reader;
    EXPECT_FALSE(reader.Open(u"\\colour.jpg"));
    EXPECT_EQ(messages_, std::vector<std::string>{"JPEG Library Error: Image too large to decode"});
}

TEST(JpegNames, IsJpegFileName) {
    for (const char16_t* yes : {u"a.jpg", u"A.JPG", u"x.jpe", u"\\d\\x.JPEG", u".jpeg"})
        EXPECT_TRUE(CJpegReader::IsJpegFileName(yes)) << text::ToUtf8(yes);
    for (const char16_t* no : {u"a.png", u"jpeg", u"a.jpgx", u"", u"a.bmp"})
        EXPECT_FALSE(CJpegReader::IsJpegFileName(no)) << text::ToUtf8(no);
}

}  // namespace
