// The GPS tracklog: the shapefile it writes, read back by independent tools
// (ogrinfo, dbfdump, shpdump, projinfo), failed writes that keep every
// earlier point, and the red line it draws.
#include <dirent.h>

#include <cmath>
#include <cstring>
#include <ctime>

#include "core/no_data.h"
#include "core/user_abort.h"
#include "formats/shape/shape_builders.h"
#include "map/layers/tracklog_layer.h"
#include "map/services/preferences.h"
#include "platform/gdi/gdi.h"
#include "tests/formats/shape_test_util.h"
#include "tests/map/map_doubles.h"

namespace {

GpsPosition Record(int year = 2026, uint16_t quality = 1) {
    GpsPosition p;
    std::memset(&p, 0, sizeof p);
    for (double* v : {&p.pdop, &p.hdop, &p.vdop, &p.tdop, &p.hpe, &p.vpe, &p.epe, &p.sog, &p.cog,
                      &p.magneticVariation, &p.depth, &p.depthOffset, &p.waterTemperature})
        *v = kNoDataMeasure;
    p.satellitesUsed = 0xFFFE;
    const uint16_t t[8] = {static_cast<uint16_t>(year), 12, 5, 11, 9, 8, 7, 0};
    std::memcpy(p.utcTime, t, sizeof t);
    p.fixQuality = quality;
    return p;
}

size_t OpenDescriptors() {
    size_t n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

class Tracklog : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ShpResetForTests();
        ResetPreferencesForTests();
        GetPreferences()->Data().tracklog.name = u"\\track\\TrackLog.shp";
        std::filesystem::create_directories(Host("track"));
    }
    void TearDown() override {
        ResetPreferencesForTests();
        ShpResetForTests();
        DbfRootTest::TearDown();
    }
    std::string Path(const char* ext) const { return Host(std::string("track/TrackLog.") + ext); }
    std::string Dbfdump() const { return RunTool("dbfdump -r -m '" + Path("dbf") + "' 2>&1"); }
    // The field texts of each row as dbfdump prints them, "NAME:value" lines.
    std::string Row(const std::string& dump, int row) const {
        const std::string head = "Record: " + std::to_string(row);
        const size_t b = dump.find(head);
        if (b == std::string::npos) return {};
        const size_t e = dump.find("Record: ", b + head.size());
        return dump.substr(b + head.size(), e == std::string::npos ? std::string::npos : e - b - head.size());
    }
    std::string Field(const std::string& row, const std::string& name) const {
        const size_t b = row.find("\n" + name + ":");
        if (b == std::string::npos) return "<missing>";
        const size_t v = b + name.size() + 2;
        std::string value = row.substr(v, row.find('\n', v) - v);
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        while (!value.empty() && value.back() == ' ') value.pop_back();
        return value;
    }
};

TEST_F(Tracklog, CreatedFileReadsAsMeasured3DPointsWithTheGpsFields) {
    CTracklogLayer layer;
    ASSERT_TRUE(layer.CreateFile());
    layer.CloseFile();
    const std::string info = RunTool("ogrinfo -so -al '" + Path("shp") + "' 2>&1");
    EXPECT_NE(info.find("Geometry: 3D Measured Point"), std::string::npos) << info;
    EXPECT_NE(info.find("Feature Count: 0"), std::string::npos) << info;
    const char* fields[] = {
        "LATITUDE: Real (18.10)", "LONGITUDE: Real (18.10)", "ALTITUDE: Real (15.3)",
        "EASTING: Real (15.3)",   "NORTHING: Real (15.3)",   "UTCDATE: Date",
        "UTCTIME: String (6.0)",  "SOG: Real (6.1)",         "COG: Real (5.1)",
        "MAG_VAR: Real (5.1)",    "SATS_USED: Integer (2.0)", "HPE: Real (6.1)",
        "VPE: Real (6.1)",        "EPE: Real (6.1)",         "HDOP: Real (6.1)",
        "VDOP: Real (6.1)",       "PDOP: Real (6.1)",        "QUALITY: Integer (2.0)",
        "DIFF_AGE: Real (5.1)",   "DIFF_ID: Integer (4.0)",  "DEPTH: Real (7.1)",
        "DEPTH_OFF: Real (5.1)",  "WATERTEMP: Real (5.1)"};
    size_t at = 0;
    for (const char* f : fields) {
        const size_t p = info.find(f, at);
        ASSERT_NE(p, std::string::npos) << f << "\n" << info;  // present and in order
        at = p;
    }
    const std::string prj = RunTool("projinfo --single-line -o WKT2_2019 \"$(cat '" + Path("prj") + "')\" 2>&1");
    EXPECT_NE(prj.find("GEOGCRS["), std::string::npos) << prj;
    EXPECT_NE(prj.find("DATUM[\"World Geodetic System 1984\""), std::string::npos) << prj;
}

TEST_F(Tracklog, AppendsRowsWithTheRecordsFieldsAndSkipsARepeatedFix) {
    CTracklogLayer layer;
    GpsPosition p = Record(2026, 1);
    p.satellitesUsed = 7;
    p.hdop = 1.2;
    p.pdop = 2.5;
    p.sog = 3.44;
    p.cog = 271.25;
    p.dgpsAge = 4;
    p.dgpsStation = 17;
    GetPreferences()->Data().tracklog.measure = 0;  // PDOP
    EXPECT_TRUE(layer.AppendPosition(nullptr, {10.5, 47.25, 512.5, 0}, {10.5001, 47.2502, 511.0, 0},
                                     {431000.25, 5233000.75, 0, 0}, p));
    // The same WGS 1984 fix again: nothing appended.
    EXPECT_FALSE(layer.AppendPosition(nullptr, {10.5, 47.25, 512.5, 0}, {1, 2, 3, 0}, {4, 5, 0, 0}, p));
    GpsPosition q = Record(0, 2);  // no date; differential
    q.dgpsAge = 4;
    q.dgpsStation = 17;
    q.hpe = 100000.0;  // too wide for N(6,1)
    GetPreferences()->Data().tracklog.measure = 7;  // TIME: 0 without a year
    EXPECT_TRUE(layer.AppendPosition(nullptr, {-10.75, -33.5, kNoDataMeasure, 0},
                                     {-10.75, -33.5, kNoDataMeasure, 0}, {kNoDataMeasure, kNoDataMeasure, 0, 0}, q));
    layer.CloseFile();

    const std::string dump = Dbfdump();
    const std::string r1 = Row(dump, 0), r2 = Row(dump, 1);
    EXPECT_EQ(Row(dump, 2), "") << dump;
    struct {
        const std::string* row;
        const char* field;
        const char* value;
    } cells[] = {
        {&r1, "LATITUDE", "47.2502000000"}, {&r1, "LONGITUDE", "10.5001000000"},
        {&r1, "ALTITUDE", "511.000"},       {&r1, "EASTING", "431000.250"},
        {&r1, "NORTHING", "5233000.750"},   {&r1, "UTCDATE", "20261211"},
        {&r1, "UTCTIME", "090807"},         {&r1, "SOG", "3.4"},
        {&r1, "COG", "271.2"},              {&r1, "MAG_VAR", ""},
        {&r1, "SATS_USED", "7"},            {&r1, "HDOP", "1.2"},
        {&r1, "PDOP", "2.5"},               {&r1, "QUALITY", "1"},
        {&r1, "DIFF_AGE", ""},              {&r1, "DIFF_ID", ""},
        {&r1, "DEPTH", ""},
        {&r2, "ALTITUDE", ""},              {&r2, "EASTING", ""},
        {&r2, "UTCDATE", ""},               {&r2, "UTCTIME", "090807"},
        {&r2, "SATS_USED", ""},             {&r2, "HPE", "******"},
        {&r2, "QUALITY", "2"},              {&r2, "DIFF_AGE", "4.0"},
        {&r2, "DIFF_ID", "17"},
    };
    for (const auto& c : cells)
        EXPECT_EQ(Field(*c.row, c.field), c.value) << c.field << "\n" << *c.row;

    const std::vector<DumpShape> shapes = ParseShpdump(Shpdump(Path("shp")));
    ASSERT_EQ(shapes.size(), 2u);
    ASSERT_EQ(shapes[0].vertices.size(), 1u);
    ASSERT_EQ(shapes[1].vertices.size(), 1u);
    EXPECT_EQ(shapes[0].vertices[0], (std::vector<double>{10.5, 47.25, 512.5, 2.5}));
    EXPECT_EQ(shapes[1].vertices[0], (std::vector<double>{-10.75, -33.5, 0, 0}));
}

TEST_F(Tracklog, Measures) {
    GpsPosition p = Record(2026, 2);
    p.pdop = 1.5; p.hdop = 2.5; p.vdop = 3.5; p.tdop = 4.5; p.epe = 5.5; p.hpe = 6.5; p.vpe = 7.5;
    p.depth = 8.5; p.sog = 9.5;
    const double time = 1796980087;  // calendar.timegm((2026,12,11,9,8,7))
    const double expected[] = {1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, time, 8.5, 9.5, 2};
    for (int m = 0; m < 11; ++m) EXPECT_EQ(CTracklogLayer::MeasureOf(m, p), expected[m]) << m;
    EXPECT_EQ(CTracklogLayer::MeasureOf(42, p), time);
    const GpsPosition empty = Record(1899, 0);
    for (int m : {0, 1, 2, 3, 4, 5, 6, 8, 9})
        EXPECT_EQ(CTracklogLayer::MeasureOf(m, empty), kNoDataMeasure) << m;
    EXPECT_EQ(CTracklogLayer::MeasureOf(7, empty), 0);
    EXPECT_EQ(CTracklogLayer::MeasureOf(10, empty), 0);
}

TEST_F(Tracklog, RefusesANonFiniteFixAndNeverReplacesADamagedFile) {
    CTracklogLayer layer;
    const GpsPosition p = Record();
    EXPECT_FALSE(layer.AppendPosition(nullptr, {NAN, 1, 0, 0}, {}, {}, p));
    EXPECT_FALSE(layer.AppendPosition(nullptr, {1, INFINITY, 0, 0}, {}, {}, p));
    EXPECT_FALSE(HostExists("track/TrackLog.shp"));

    const std::string junk = "this is not a shapefile at all, but it is the user's file";
    Put("track/TrackLog.shp", junk);
    EXPECT_FALSE(layer.AppendPosition(nullptr, {1, 2, 0, 0}, {1, 2, 0, 0}, {}, p));
    EXPECT_FALSE(layer.OpenFile(1));
    EXPECT_EQ(Get("track/TrackLog.shp"), junk);
    EXPECT_FALSE(HostExists("track/TrackLog.dbf"));
}

TEST_F(Tracklog, AFailedWriteKeepsEveryEarlierPoint) {
    const GpsPosition p = Record();
    // Count the writes of one append first.
    int writes = 0;
    for (int n = 1; n < 100 && writes == 0; ++n) {
        CTracklogLayer layer;
        ASSERT_TRUE(layer.DeleteFiles());
        ASSERT_TRUE(layer.AppendPosition(nullptr, {1, 1, 0, 0}, {1, 1, 0, 0}, {}, p));
        fs::test::FailNthWrite(n);
        layer.AppendPosition(nullptr, {2, 2, 0, 0}, {1, 1, 0, 0}, {}, p);
        if (fs::test::WriteFaultPending()) writes = n - 1;
        fs::test::Reset();
    }
    ASSERT_GT(writes, 0);
    for (int fault = 0; fault < 2 * writes + 2; ++fault) {
        SCOPED_TRACE("fault " + std::to_string(fault));
        CTracklogLayer layer;
        ASSERT_TRUE(layer.DeleteFiles());
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(layer.AppendPosition(nullptr, {10.0 + i, 20.0 + i, 0, 0}, {1, 1, 0, 0}, {}, p));
        if (fault < writes) fs::test::FailNthWrite(fault + 1);
        else fs::test::SetWriteBudget(static_cast<uint64_t>(fault - writes) * 7);
        EXPECT_FALSE(layer.AppendPosition(nullptr, {50, 60, 0, 0}, {1, 1, 0, 0}, {}, p));
        layer.CloseFile();
        fs::test::Reset();

        ShpHandle h = ShpOpen(u"\\track\\TrackLog.shp", 0);
        ASSERT_NE(h, nullptr);
        ASSERT_GE(ShpGetRecordCount(h), 3);
        for (int i = 0; i < 3; ++i) {
            double x, y;
            ShpGetPointXY(h, &x, &y, ShpReadShape(h, i));
            EXPECT_EQ(x, 10.0 + i);
            EXPECT_EQ(y, 20.0 + i);
        }
        ExpectMatchesShpdump(h, Path("shp"));
        ShpClose(h);
        const std::string dump = Dbfdump();
        for (int i = 0; i < 3; ++i) EXPECT_NE(Row(dump, i), "") << dump;
    }
}

TEST_F(Tracklog, DeleteCountAndExtentLeaveNothingOpen) {
    CTracklogLayer layer;
    CDoubleRect e;
    layer.GetExtent(e);
    EXPECT_EQ(e, CDoubleRect(-180, -90, 180, 90));
    EXPECT_EQ(layer.GetRecordCount(), 0);
    const GpsPosition p = Record();
    ASSERT_TRUE(layer.AppendPosition(nullptr, {5, 6, 0, 0}, {}, {}, p));
    ASSERT_TRUE(layer.AppendPosition(nullptr, {7, 4, 0, 0}, {}, {}, p));
    layer.CloseFile();
    const size_t fds = OpenDescriptors();
    EXPECT_EQ(layer.GetRecordCount(), 2);
    layer.GetExtent(e);
    EXPECT_EQ(e, CDoubleRect(5, 4, 7, 6));
    EXPECT_FALSE(layer.IsFileOpen());
    EXPECT_EQ(OpenDescriptors(), fds);

    ASSERT_TRUE(layer.DeleteFiles());
    EXPECT_FALSE(layer.IsFileOpen());
    EXPECT_EQ(layer.GetRecordCount(), 0);
    const std::string info = RunTool("ogrinfo -so -al '" + Path("shp") + "' 2>&1");
    EXPECT_NE(info.find("Feature Count: 0"), std::string::npos) << info;
    EXPECT_NE(info.find("WATERTEMP: Real (5.1)"), std::string::npos) << info;
    const std::string prj = RunTool("projinfo --single-line \"$(cat '" + Path("prj") + "')\" 2>&1");
    EXPECT_NE(prj.find("GEOGCRS["), std::string::npos) << prj;
}

// ---- drawing ----

class TracklogDraw : public Tracklog {
protected:
    void SetUp() override {
        Tracklog::SetUp();
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateBitmap(40, 40, 1, 32, nullptr);
        old_ = SelectObject(dc_, bitmap_);
        RECT all{0, 0, 40, 40};
        FillRect(dc_, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        // A geographic map, one pixel per degree.
        layer_.SetDrawExtent(CDoubleRect(0, 0, 40, 40), 40, 40);
    }
    void TearDown() override {
        layer_.CloseFile();
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
        Tracklog::TearDown();
    }
    void Track(std::initializer_list<DoublePoint> points) {
        for (const DoublePoint& pt : points)
            ASSERT_TRUE(layer_.AppendPosition(nullptr, {pt.x, pt.y, 0, 0}, {}, {}, Record()));
        layer_.CloseFile();
    }
    std::vector<std::string> Picture() const {
        std::vector<std::string> rows;
        for (int y = 0; y < 40; ++y) {
            std::string row;
            for (int x = 0; x < 40; ++x) {
                const COLORREF c = GetPixel(dc_, x, y);
                row += c == 0x0000FF ? 'r' : c == 0x00FFFF ? 'y' : c == 0xFFFFFF ? '.' : '?';
            }
            rows.push_back(row);
        }
        return rows;
    }
    static int Count(const std::vector<std::string>& pic, char c) {
        int n = 0;
        for (const auto& r : pic) n += static_cast<int>(std::count(r.begin(), r.end(), c));
        return n;
    }
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HBITMAP old_ = nullptr;
    CTracklogLayer layer_;
};

TEST_F(TracklogDraw, RedLineWithAYellowPixelAtEachNewerPoint) {
    Track({{5, 20}, {20, 20}, {20, 35}});
    ASSERT_TRUE(layer_.Draw(dc_, false, true));
    const auto pic = Picture();
    // Newest point (20, 35) is device (20, 5); the middle one (20, 20).
    EXPECT_EQ(pic[5][20], 'y');
    EXPECT_EQ(pic[20][20], 'y');
    EXPECT_EQ(pic[20][5], 'r');  // the oldest point: line end, no yellow
    EXPECT_EQ(pic[12][19], 'r');  // 3 pixels wide
    EXPECT_EQ(pic[12][21], 'r');
    EXPECT_EQ(pic[12][23], '.');
    EXPECT_EQ(Count(pic, 'y'), 2);
    EXPECT_EQ(Count(pic, '?'), 0);
}

TEST_F(TracklogDraw, NewestSegmentOnlyDrawsOneSegmentWhateverTheExtent) {
    Track({{5, 5}, {10, 5}, {10, 10}});
    layer_.SetDrawExtent(CDoubleRect(30, 30, 70, 70), 40, 40);  // far from the track
    ASSERT_TRUE(layer_.Draw(dc_, true, false));
    const auto far = Picture();
    EXPECT_EQ(Count(far, 'r') + Count(far, 'y'), 0);  // off the picture, but no fan
    layer_.SetDrawExtent(CDoubleRect(0, 0, 40, 40), 40, 40);
    ASSERT_TRUE(layer_.Draw(dc_, true, false));
    const auto pic = Picture();
    EXPECT_EQ(Count(pic, 'y'), 1);
    EXPECT_EQ(pic[35][10], 'r');  // (10, 5): end of the newest segment
    EXPECT_EQ(pic[35][6], '.');   // the older segment is not drawn
}

TEST_F(TracklogDraw, ANarrowExtentDrawsExactlyTheSegmentsThatTouchIt) {
    // Old to new: out to the far east and back; the extent is x 0..40.
    Track({{2, 2}, {8, 2}, {200, 2}, {200, 30}, {8, 30}, {2, 30}});
    ASSERT_TRUE(layer_.Draw(dc_, false, false));
    const auto drawn = Picture();
    // The reference: every pair but (200,30)-(200,2), newest first, each
    // line then the yellow pixel at its newer end.
    RECT all{0, 0, 40, 40};
    FillRect(dc_, &all, reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HPEN pen = CreatePen(PS_SOLID, 3, 0x0000FF);
    HPEN old = SelectObject(dc_, pen);
    const POINT pairs[][2] = {{{2, 10}, {8, 10}}, {{8, 10}, {200, 10}}, {{200, 38}, {8, 38}}, {{8, 38}, {2, 38}}};
    for (const auto& pq : pairs) {
        MoveToEx(dc_, pq[0].x, pq[0].y, nullptr);
        LineTo(dc_, pq[1].x, pq[1].y);
        SetPixel(dc_, pq[0].x, pq[0].y, 0x00FFFF);
    }
    SelectObject(dc_, old);
    DeleteObject(pen);
    EXPECT_EQ(drawn, Picture());
    EXPECT_EQ(drawn[38][30], 'r');  // (200,2)-(8,2) starts at (200,2), not at (200,30)
    EXPECT_EQ(drawn[24][30], '.');
}

TEST_F(TracklogDraw, AbortPollingStops) {
    Track({{5, 5}, {10, 5}, {15, 5}, {20, 5}});
    RequestAbort();
    ASSERT_TRUE(layer_.Draw(dc_, false, true));
    ResetAbort();
    EXPECT_EQ(Count(Picture(), 'y'), 1);
}

}  // namespace
