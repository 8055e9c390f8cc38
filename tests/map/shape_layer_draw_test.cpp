// Drawing of the shapefile layer: against gdal_rasterize's burn of the public
// samples, label placement, classes, the spatial index and progress copies;
// and the map grid on small surfaces.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>

#include "core/user_abort.h"
#include "crs/coord_sys.h"
#include "crs/coord_text.h"
#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shp_engine.h"
#include "formats/shape/shp_visit.h"
#include "map/layers/layer_factory.h"
#include "map/layers/map_doc.h"
#include "map/layers/shape_layer.h"
#include "map/layers/system_layer.h"
#include "platform/sys/thread.h"
#include "platform/win/backend.h"
#include "platform/win/input.h"
#include "platform/win/window.h"
#include "tests/map/map_doubles.h"
#include "tests/platform/gdi_picture.h"

namespace {

using gditest::Canvas;
using gditest::kBlack;
using gditest::kBlue;
using gditest::kRed;
using gditest::kWhite;

const std::string kData = ZN_TEST_DATA;

// ---- the nearest segment and line labels ----

TEST(NearestSegment, Table) {
    struct Case {
        const char* what;
        POINT c;
        std::vector<POINT> points;
        int segment;
        POINT foot;
    };
    const Case cases[] = {
        {"on the segment", {5, 0}, {{0, 0}, {10, 0}, {10, 10}}, 0, {5, 0}},
        {"no foot inside", {20, 20}, {{0, 0}, {10, 0}}, -1, {}},
        {"nearer of two", {9, 4}, {{0, 0}, {10, 0}, {10, 10}}, 1, {10, 4}},
        {"zero-length segments passed", {5, 3}, {{0, 0}, {0, 0}, {10, 0}, {10, 0}}, 1, {5, 0}},
        {"only zero length", {0, 0}, {{3, 3}, {3, 3}}, -1, {}},
        {"ties: the first wins", {5, 5}, {{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 0, {5, 0}},
        {"far coordinates", {1 << 26, 1}, {{-(1 << 27), 0}, {1 << 27, 0}}, 0, {1 << 26, 0}},
        {"fewer than two points", {0, 0}, {{0, 0}}, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        POINT foot{-1, -1};
        int s = NearestSegment(c.c, c.points.data(), static_cast<int>(c.points.size()), &foot);
        EXPECT_EQ(s, c.segment);
        if (s >= 0) {
            EXPECT_EQ(foot.x, c.foot.x);
            EXPECT_EQ(foot.y, c.foot.y);
        }
    }
}

TEST(LineLabels, UprightAndCentredOnTheFoot) {
    struct Case {
        const char* what;
        std::vector<POINT> points;
        int angle;
        POINT start;  // for a text 20 pixels wide
    };
    const Case cases[] = {
        {"left to right", {{10, 50}, {90, 50}}, 0, {40, 50}},
        {"right to left", {{90, 50}, {10, 50}}, 0, {40, 50}},
        {"45 degrees", {{10, 90}, {90, 10}}, 450, {43, 57}},
        {"120 degrees is turned", {{60, 44}, {40, 10}}, 3004, {45, 19}},
        {"zero-length beside", {{10, 50}, {10, 50}, {90, 50}, {90, 50}}, 0, {40, 50}},
        {"outside the surface", {{200, 50}, {300, 50}}, -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LineLabelPlace place;
        bool placed =
            PlaceLineLabel(c.points.data(), static_cast<int>(c.points.size()), 100, 100, 20, &place);
        ASSERT_EQ(placed, c.angle >= 0);
        if (!placed) continue;
        EXPECT_EQ(place.angle, c.angle);
        EXPECT_EQ(place.start.x, c.start.x);
        EXPECT_EQ(place.start.y, c.start.y);
    }
}

// ---- drawing through the document ----

class ShapeDrawTest : public MapTest {
protected:
    void SetUp() override {
        MapTest::SetUp();
        UseBuiltInLayerClass(LayerKind::Shape);
        GetStockObject(WHITE_BRUSH);
    }
    void Copy(const std::string& folder, const std::string& files) {
        ASSERT_TRUE(ShellIn(folder, "for f in " + files + "; do cp '" + kData + "'/shape/$f . "
                                        "2>/dev/null; cp '" + kData + "'/shape_layer/$f . "
                                        "2>/dev/null; done; chmod u+w *"));
    }
    // The one layer of a dataset opened as a map.
    CShapeLayer* OpenMap(CMapDoc& doc, const WString& path) {
        if (!doc.OnOpenDocument(path) || doc.GetLayers().GetCount() != 1) return nullptr;
        return dynamic_cast<CShapeLayer*>(doc.GetLayers().GetAt(0));
    }
};

void SolidBlack(CSymbol& s, int displayClass) {
    static const int types[] = {CSymbol::kTypeSimpleMarker, CSymbol::kTypeSimpleLine,
                                CSymbol::kTypeSimplePolygon};
    s.Reset(types[displayClass]);
    s.m_fillColor = kBlack;
    s.m_pen.lopnColor = kBlack;
    s.m_pen.lopnWidth = {1, 0};
    s.m_pen.lopnStyle = displayClass == 2 ? PS_NULL : PS_SOLID;
    s.m_lineWidth = 1;
    s.m_size = 1;
    s.m_fillMode = CSymbol::kFillSolid;
    s.m_brushKind = CSymbol::kBrushSolid;
    s.CreateBrush();
}

struct Reference {
    CDoubleRect extent;
    int width = 0, height = 0;
    std::vector<std::string> rows;
};

Reference ReadReference(const std::string& name) {
    Reference r;
    std::ifstream in(kData + "/shape_layer/" + name + ".txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("# te ", 0) == 0) {
            std::istringstream s(line.substr(5));
            s >> r.extent.xmin >> r.extent.ymin >> r.extent.xmax >> r.extent.ymax;
        } else if (line.rfind("# ts ", 0) == 0) {
            std::istringstream s(line.substr(5));
            s >> r.width >> r.height;
        } else if (!line.empty()) {
            r.rows.push_back(line);
        }
    }
    return r;
}

// Every segment of every shape (a point as a segment of no length) in
// continuous device coordinates of the reference's extent and size.
struct Edge {
    double x1, y1, x2, y2;
};
std::vector<Edge> DeviceEdges(ShpHandle h, const Reference& ref) {
    double sx = ref.width / (ref.extent.xmax - ref.extent.xmin);
    double sy = ref.height / (ref.extent.ymax - ref.extent.ymin);
    std::vector<Edge> edges;
    for (int i = 0; i < ShpGetRecordCount(h); ++i) {
        const ShapeRecord* r = ShpReadShape(h, i);
        if (!r) continue;
        int type = ShpGetRecordShapeType(h, r);
        auto dev = [&](DoublePoint p) {
            return DoublePoint{(p.x - ref.extent.xmin) * sx, (ref.extent.ymax - p.y) * sy};
        };
        if (IsPointShapeType(type)) {
            DoublePoint p{};
            if (ShpGetPoint(h, &p, r)) {
                DoublePoint d = dev(p);
                edges.push_back({d.x, d.y, d.x, d.y});
            }
            continue;
        }
        const uint8_t* pts = ShapeGetPoints(r);
        int n = ShpGetPointCount(r);
        if (IsMultiPointShapeType(type)) {
            for (int k = 0; k < n; ++k) {
                DoublePoint d = dev(ShapeLoadPoint(pts, k));
                edges.push_back({d.x, d.y, d.x, d.y});
            }
            continue;
        }
        for (int part = 0; part < ShapeGetPartCount(r); ++part) {
            int last = 0;
            int first = ShapeGetPartRange(r, part, &last);
            for (int k = first; k >= 0 && k < last; ++k) {
                DoublePoint a = dev(ShapeLoadPoint(pts, k)), b = dev(ShapeLoadPoint(pts, k + 1));
                edges.push_back({a.x, a.y, b.x, b.y});
            }
        }
    }
    return edges;
}

double EdgeDistance(const std::vector<Edge>& edges, double x, double y) {
    double best = 1e300;
    for (const Edge& e : edges) {
        double dx = e.x2 - e.x1, dy = e.y2 - e.y1;
        double l2 = dx * dx + dy * dy;
        double t = l2 > 0 ? std::clamp(((x - e.x1) * dx + (y - e.y1) * dy) / l2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(e.x1 + t * dx - x, e.y1 + t * dy - y));
    }
    return best;
}

// A differing pixel must itself lie within one pixel of an edge, a line or
// a point: its centre at most one pixel plus half a diagonal away.
constexpr double kNear = 1.0 + 0.7072;

TEST_F(ShapeDrawTest, SamplesMatchGdalRasterize) {
    Copy("s", "blockgroups.* balancing.* NullTest.* linez.* multipoint.* releaseArea20090407.*");
    Copy("n", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    struct Case {
        const char* reference;
        const WChar* path;
        double share;  // largest share of differing pixels among the burned ones
    };
    const Case cases[] = {
        {"blockgroups_full", u"\\s\\blockgroups.shp", 0.25},
        {"blockgroups_zoom", u"\\s\\blockgroups.shp", 0.05},
        {"blockgroups_full", u"\\n\\blockgroups.shp", 0.25},
        {"blockgroups_zoom", u"\\n\\blockgroups.shp", 0.05},
        {"releaseArea20090407_full", u"\\s\\releaseArea20090407.shp", 0.05},
        {"releaseArea20090407_zoom", u"\\s\\releaseArea20090407.shp", 0.0},
        {"linez_full", u"\\s\\linez.shp", 0.7},
        {"linez_zoom", u"\\s\\linez.shp", 0.6},
        {"balancing_full", u"\\s\\balancing.shp", 2.0},
        {"balancing_zoom", u"\\s\\balancing.shp", 2.0},
        {"NullTest_full", u"\\s\\NullTest.shp", 2.0},
        {"NullTest_zoom", u"\\s\\NullTest.shp", 2.0},
        {"multipoint_full", u"\\s\\multipoint.shp", 2.0},
        {"multipoint_zoom", u"\\s\\multipoint.shp", 2.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.reference) + " " + text::ToUtf8(c.path));
        Reference ref = ReadReference(c.reference);
        ASSERT_EQ(static_cast<int>(ref.rows.size()), ref.height);
        CMapDoc doc;
        CShapeLayer* layer = OpenMap(doc, c.path);
        ASSERT_NE(layer, nullptr);
        SolidBlack(layer->m_defaultSymbol, static_cast<int>(layer->GetDisplayClass()));
        ASSERT_TRUE(layer->SetDrawExtent(ref.extent, ref.width, ref.height));
        Canvas canvas(ref.width, ref.height);
        layer->DrawTo(canvas.dc, nullptr, 0);
        std::vector<std::string> ours = canvas.Picture();
        {
            Canvas again(ref.width, ref.height);
            layer->DrawTo(again.dc, nullptr, 0);
            EXPECT_EQ(again.Picture(), ours) << "second drawing differs";
        }
        std::vector<Edge> edges = DeviceEdges(layer->GetShapeFile(), ref);
        int burned = 0, differing = 0, far = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                char want = ref.rows[y][x];
                burned += want == '#';
                if (ours[y][x] == want) continue;
                ++differing;
                // A difference must lie within one pixel of an edge, a line
                // or a point: the reference has our value next to it.
                far += EdgeDistance(edges, x + 0.5, y + 0.5) > kNear;
            }
        std::vector<std::string> diff = ours;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x)
                diff[y][x] = ours[y][x] == ref.rows[y][x] ? ref.rows[y][x] : ours[y][x] == '#' ? '+' : '-';
        EXPECT_EQ(far, 0) << gditest::Show(diff);
        // Points and lines one pixel wide differ wholly when moved by one
        // pixel: their share is counted against both pictures' pixels.
        EXPECT_LE(differing, c.share * burned + 1) << differing << " of " << burned;
        if (layer->GetDisplayClass() == DisplayClass::Polygon) {
            // Inverting instead of painting: a pixel filled twice would come
            // back white.
            Canvas inverted(ref.width, ref.height);
            SetROP2(inverted.dc, R2_NOT);
            layer->DrawTo(inverted.dc, nullptr, 0);
            EXPECT_EQ(inverted.Picture(), ours) << "a pixel was filled twice";
        }
        if (std::string(c.reference).find("_full") != std::string::npos) EXPECT_GT(burned, 0);
    }
}

TEST_F(ShapeDrawTest, TheIndexChoosesWhatIsDrawn) {
    Copy("i", "blockgroups.*");
    Copy("n", "blockgroups.shp blockgroups.shx blockgroups.dbf");
    CMapDoc a, b;
    CShapeLayer* indexed = OpenMap(a, u"\\i\\blockgroups.shp");
    CShapeLayer* plain = OpenMap(b, u"\\n\\blockgroups.shp");
    ASSERT_TRUE(indexed && plain);
    ASSERT_TRUE(indexed->HasSpatialIndex());
    const CDoubleRect windows[] = {CDoubleRect(-122.515048, 37.652916, -122.327622, 37.863433), CDoubleRect(-122.47, 37.70, -122.39, 37.80),
                                   CDoubleRect(-100, 10, -99, 11)};
    for (const CDoubleRect& w : windows) {
        Canvas one(80, 60), two(80, 60);
        for (CShapeLayer* l : {indexed, plain}) {
            SolidBlack(l->m_defaultSymbol, 2);
            ASSERT_TRUE(l->SetDrawExtent(w, 80, 60));
        }
        win::ResetForTests();
        plain->DrawTo(two.dc, nullptr, 0);
        indexed->DrawTo(one.dc, nullptr, 0);
        std::vector<std::string> pa = one.Picture(), pb = two.Picture();
        for (size_t y = 0; y < pa.size(); ++y) EXPECT_EQ(pa[y], pb[y]) << y;
        EXPECT_TRUE(win::BeepLog().empty());
    }
    // Nothing in the window: nothing drawn.
    Canvas empty(80, 60);
    indexed->DrawTo(empty.dc, nullptr, 0);
    EXPECT_EQ(empty.Picture(), Canvas(80, 60).Picture());
}

TEST_F(ShapeDrawTest, ADamagedRecordBeepsOnce) {
    Copy("d", "linez.*");
    // Record 1's part count (at byte 100 + 8 + 36) made impossible.
    ASSERT_TRUE(ShellIn("d", "printf '\\xff\\xff\\xff\\x7f' | dd of=linez.shp bs=1 seek=144 "
                             "conv=notrunc 2>/dev/null"));
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\d\\linez.shp");
    ASSERT_NE(layer, nullptr);
    CDoubleRect full;
    layer->GetExtent(full);
    ASSERT_TRUE(layer->SetDrawExtent(full, 40, 40));
    Canvas canvas(40, 40);
    win::ResetForTests();
    layer->DrawTo(canvas.dc, nullptr, 0);
    EXPECT_EQ(win::BeepLog().size(), 1u);
}

TEST_F(ShapeDrawTest, ProgressCopiesEveryFiveHundredFeatures) {
    // 1200 points, one a pixel, written by the engine (2400 runs of the
    // shapelib tools take minutes on a busy machine).
    ASSERT_TRUE(ShellIn("p", "true"));
    ShpHandle made = ShpCreate(u"\\p\\pts.shp", kShapePoint, 0);
    ASSERT_NE(made, nullptr);
    DbfAddField(ShpGetTable(made), "NAME", 'C', 8, 0);
    for (int i = 0; i < 1200; ++i) {
        ASSERT_EQ(ShpAppendPointXY(made, i % 40 + 0.5, i / 40 + 1), i);
        DbfReadRecord(ShpGetTable(made), i);
        DbfPutText(ShpGetTable(made), 0, u"x");
        DbfWriteRecord(ShpGetTable(made), i);
    }
    ShpClose(made);
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\p\\pts.shp");
    ASSERT_NE(layer, nullptr);
    SolidBlack(layer->m_defaultSymbol, 0);
    ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 40, 30), 40, 30));
    Canvas target(40, 30), window(40, 30);
    layer->DrawTo(target.dc, window.dc, 0);
    auto count = [](const Canvas& c) {
        int n = 0;
        for (const std::string& row : c.Picture())
            for (char ch : row) n += ch == '#';
        return n;
    };
    EXPECT_EQ(count(target), 1200);
    // The last copy came after feature 1000 (counting from 0).
    EXPECT_EQ(count(window), 1001);
}

// ---- a tap stops a long draw ----

TEST_F(ShapeDrawTest, ATapWaitingBeforeTheDrawStopsItAfterTheFirstFeature) {
    MakePointShapefile("t", "pts", {"1.5 1.5", "5.5 5.5", "9.5 9.5"});
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\t\\pts.shp");
    ASSERT_NE(layer, nullptr);
    SolidBlack(layer->m_defaultSymbol, 0);
    ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 12, 12), 12, 12));
    auto count = [](const Canvas& c) {
        int n = 0;
        for (const std::string& row : c.Picture())
            for (char ch : row) n += ch == '#';
        return n;
    };
    HWND wnd = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                              nullptr, nullptr, nullptr);
    ASSERT_NE(wnd, nullptr);
    win::input::TapAt(wnd, {2, 2});
    Canvas stopped(12, 12);
    layer->DrawTo(stopped.dc, nullptr, 0);
    EXPECT_EQ(count(stopped), 1);
    ResetAbort();
    win::input::DrainQueue();
    Canvas whole(12, 12);
    layer->DrawTo(whole.dc, nullptr, 0);
    EXPECT_EQ(count(whole), 3);
    DestroyWindow(wnd);
}

// A million points written straight into a shapefile, on a 1000 x 1000 square.
void WriteManyPoints(const std::string& hostBase, int count) {
    auto be32 = [](std::string& s, uint32_t v) {
        for (int i = 3; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto le32 = [](std::string& s, uint32_t v) {
        for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto le64 = [](std::string& s, double d) {
        char b[8];
        std::memcpy(b, &d, 8);
        s.append(b, 8);
    };
    auto header = [&](uint32_t bytes) {
        std::string h;
        be32(h, 9994);
        for (int i = 0; i < 5; ++i) be32(h, 0);
        be32(h, bytes / 2);
        le32(h, 1000);
        le32(h, 1);
        for (double d : {0.0, 0.0, 1000.0, 1000.0, 0.0, 0.0, 0.0, 0.0}) le64(h, d);
        return h;
    };
    std::string shp = header(100 + 28u * count), shx = header(100 + 8u * count);
    shp.reserve(100 + 28u * count);
    shx.reserve(100 + 8u * count);
    for (int i = 0; i < count; ++i) {
        be32(shx, (100 + 28u * i) / 2);
        be32(shx, 10);
        be32(shp, i + 1);
        be32(shp, 10);
        le32(shp, 1);
        le64(shp, (i % 1000) + 0.5);
        le64(shp, (i / 1000 % 1000) + 0.5);
    }
    // One character field.
    std::string dbf(32, '\0');
    dbf[0] = 3;
    dbf[1] = 126, dbf[2] = 1, dbf[3] = 1;
    std::memcpy(&dbf[4], &count, 4);
    dbf[8] = 65, dbf[10] = 2;
    std::string field(32, '\0');
    std::memcpy(&field[0], "ID", 2);
    field[11] = 'C', field[16] = 1;
    dbf += field + "\r" + std::string(static_cast<size_t>(count) * 2, ' ') + "\x1a";
    for (const auto& [ext, bytes] : {std::pair<const char*, const std::string*>{".shp", &shp},
                                     {".shx", &shx},
                                     {".dbf", &dbf}}) {
        std::ofstream out(hostBase + ext, std::ios::binary);
        out.write(bytes->data(), static_cast<std::streamsize>(bytes->size()));
    }
}

// The display's own input, pending from a time of the fake clock: queued only
// when the model asks the display for its input, which is counted.
struct TimedTapDisplay : win::DisplayBackend {
    sys::FakeClock* clock = nullptr;
    HWND target = nullptr;
    uint64_t tapAt = UINT64_MAX;
    bool tapped = false;
    int pumps = 0;
    uint64_t lastPump = 0, shortestGap = UINT64_MAX;
    void PumpNativeEvents() override {
        const uint64_t now = clock->NowMs();
        if (pumps++ > 0) shortestGap = std::min(shortestGap, now - lastPump);
        lastPump = now;
        if (!tapped && now >= tapAt) {
            tapped = true;
            win::input::TapAt(target, {3, 3});
        }
    }
};

// Drawing that costs 10 microseconds a point: a whole million takes 10 s of
// the fake clock.
struct CostlyDraw {
    sys::FakeClock* clock;
    int points = 0;
};
int CostlyPoint(ShpHandle, int, const ShapeRecord*, POINT*, void* user, int, int) {
    auto& d = *static_cast<CostlyDraw*>(user);
    if (++d.points % 100 == 0) d.clock->Advance(1);
    return 1;
}

TEST_F(ShapeDrawTest, ATapStopsAMillionPointDrawWithinATenthOfASecond) {
    ASSERT_TRUE(ShellIn("m", "true"));
    WriteManyPoints(Host("m/pts"), 1000000);
    ShpHandle h = ShpOpen(u"\\m\\pts.shp", 0);
    ASSERT_NE(h, nullptr);
    const CDoubleRect all(0, 0, 1000, 1000);
    ShpSetDrawTransform(h, RECT{0, 0, 100, 100}, &all);
    HWND wnd = CreateWindowEx(0, u"STATIC", u"", WS_POPUP | WS_VISIBLE, 0, 0, 20, 20, nullptr,
                              nullptr, nullptr, nullptr);
    sys::FakeClock clock(1000);
    sys::SetClock(&clock);
    TimedTapDisplay display;
    display.clock = &clock;
    display.target = wnd;
    win::SetDisplayBackend(&display);
    // What the map layers give the engine.
    const CAbortCheck::Poll previous = ShpSetAbortPoll(&IsAbortRequested);
    struct Case {
        const char* what;
        uint64_t tapAfterMs;
    } cases[] = {
        {"no tap", UINT64_MAX}, {"a tap 2 s into the draw", 2000}, {"a tap 7.3 s in", 7300}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ResetAbort();
        win::input::DrainQueue();
        const uint64_t start = clock.NowMs();
        display.tapAt = c.tapAfterMs == UINT64_MAX ? UINT64_MAX : start + c.tapAfterMs;
        display.tapped = false;
        display.pumps = 0;
        display.shortestGap = UINT64_MAX;
        CostlyDraw draw{&clock};
        ASSERT_EQ(ShpForEachInExtent(h, &all, kShpDrawMapped, CostlyPoint, &draw), 1);
        // The display's input is looked at no more than once per interval.
        EXPECT_GE(display.shortestGap, kAbortInputIntervalMs);
        EXPECT_LE(display.pumps,
                  static_cast<int>((clock.NowMs() - start) / kAbortInputIntervalMs + 1));
        if (c.tapAfterMs == UINT64_MAX) {
            EXPECT_EQ(draw.points, 1000000);
            continue;
        }
        EXPECT_TRUE(display.tapped);
        EXPECT_LT(draw.points, 1000000);
        EXPECT_LE(clock.NowMs(), display.tapAt + 100) << draw.points << " points drawn";
        // The tap is still there, to be handled as a tap.
        MSG m;
        EXPECT_TRUE(
            PeekMessage(&m, nullptr, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_NOREMOVE | PM_NOYIELD));
    }
    ShpSetAbortPoll(previous);
    ResetAbort();
    win::SetDisplayBackend(nullptr);
    sys::SetClock(nullptr);
    DestroyWindow(wnd);
    ShpClose(h);
}

// ---- small pictures ----

TEST_F(ShapeDrawTest, PointLabelsBesideTheMarker) {
    ASSERT_TRUE(ShellIn("l", "shpcreate pts point >/dev/null && shpadd pts 10 10 >/dev/null && "
                             "dbfcreate pts -s NAME 20 >/dev/null && dbfadd pts.dbf '  II' >/dev/null"));
    for (bool rtl : {false, true}) {
        SCOPED_TRACE(rtl ? "right to left" : "left to right");
        CMapDoc doc;
        CShapeLayer* layer = OpenMap(doc, u"\\l\\pts.shp");
        ASSERT_NE(layer, nullptr);
        SolidBlack(layer->m_defaultSymbol, 0);
        layer->m_defaultSymbol.m_size = 2;  // an ellipse 5 pixels across, half width 3
        layer->m_defaultSymbol.m_fillColor = kRed;
        layer->m_defaultSymbol.m_pen.lopnColor = kRed;
        layer->m_defaultSymbol.CreateBrush();
        layer->m_labelRenderer.m_visible = true;
        layer->m_labelRenderer.m_textSymbol.m_textColor = kBlue;
        layer->SetRightToLeft(rtl);
        ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 40, 40), 40, 40));
        Canvas canvas(40, 40);
        layer->DrawTo(canvas.dc, nullptr, 0);
        // The point is at (10, 30); blue text starts one pixel past the
        // marker's half width on the reading side.
        int minX = 40, maxX = -1, minY = 40;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                if (canvas.At(x, y) != kWhite && canvas.At(x, y) != kRed) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                    minY = std::min(minY, y);
                }
        ASSERT_GE(maxX, 0) << gditest::Show(canvas.Picture());
        EXPECT_GE(minY, 30);
        if (!rtl) EXPECT_GE(minX, 10 + 3 + 1) << gditest::Show(canvas.Picture());
        else EXPECT_LE(maxX, 10 - 3 - 1) << gditest::Show(canvas.Picture());
        EXPECT_EQ(canvas.At(10, 30), kRed);
    }
}

TEST_F(ShapeDrawTest, PolygonLabelsOnlyInLargeEnoughRings) {
    ASSERT_TRUE(ShellIn("g", "shpcreate g polygon >/dev/null && dbfcreate g -s NAME 8 >/dev/null"
                             " && shpadd g 1 1 1 4 4 4 4 1 1 1 && dbfadd g.dbf W >/dev/null"
                             " && shpadd g 10 2 10 18 30 18 30 2 10 2 && dbfadd g.dbf W >/dev/null"));
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\g\\g.shp");
    ASSERT_NE(layer, nullptr);
    SolidBlack(layer->m_defaultSymbol, 2);
    layer->m_defaultSymbol.m_fillColor = kWhite;
    layer->m_defaultSymbol.CreateBrush();
    layer->m_labelRenderer.m_visible = true;
    layer->m_labelRenderer.m_textSymbol.m_textColor = kBlue;
    ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 40, 20), 40, 20));
    Canvas canvas(40, 20);
    layer->DrawTo(canvas.dc, nullptr, 0);
    // The 3 x 3 ring (9 square pixels) has no label; the 20 x 16 one has its
    // label around its centre (20, 10).
    int left = 40, right = -1, top = 20, bottom = -1;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            if (canvas.At(x, y) == kBlue) {
                EXPECT_GE(x, 10) << gditest::Show(canvas.Picture());
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    ASSERT_GE(right, 0);
    EXPECT_LE(std::abs((left + right) / 2 - 20), 2) << gditest::Show(canvas.Picture());
    EXPECT_LE(std::abs((top + bottom) / 2 - 10), 3) << gditest::Show(canvas.Picture());
}

TEST_F(ShapeDrawTest, HiddenClassesAreCountedNotDrawn) {
    ASSERT_TRUE(ShellIn("v", "shpcreate v polygon >/dev/null && dbfcreate v -s KIND 8 >/dev/null"
                             " && shpadd v 0 0 0 4 4 4 4 0 0 0 && dbfadd v.dbf a >/dev/null"
                             " && shpadd v 4 0 4 4 8 4 8 0 4 0 && dbfadd v.dbf b >/dev/null"));
    Put("v/v.znl",
        "<Zarnip><LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"KIND\">"
        "<EXACT value=\"A\"><SIMPLEPOLYGONSYMBOL filltype=\"solid\" fillcolor=\"255,0,0\" "
        "boundarycolor=\"255,0,0\"/></EXACT><OTHER><SIMPLEPOLYGONSYMBOL filltype=\"solid\" "
        "fillcolor=\"0,0,255\" boundarycolor=\"0,0,255\"/></OTHER>"
        "</VALUEMAPRENDERER></SYMBOLOGY></LAYER></Zarnip>");
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\v\\v.shp");
    ASSERT_NE(layer, nullptr);
    ASSERT_TRUE(layer->UsesRenderer());
    ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 8, 4), 8, 4));
    layer->m_renderer.GetClass(1)->m_visible = false;
    Canvas canvas(8, 4);
    layer->DrawTo(canvas.dc, nullptr, 0);
    EXPECT_EQ(layer->m_renderer.GetClass(1)->m_drawCount, 1);
    EXPECT_EQ(layer->m_renderer.GetClass(0)->m_drawCount, 1);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(canvas.At(1, y), kWhite);
        EXPECT_EQ(canvas.At(6, y), kBlue);
    }
}

// Each class's marker in its own colour, whatever the default symbol holds,
// for points and multipoints alike.
TEST_F(ShapeDrawTest, ClassedMarkersDrawInTheirClassColours) {
    for (const char* kind : {"point", "multipoint"}) {
        SCOPED_TRACE(kind);
        const std::string dir = std::string("c") + kind;
        ASSERT_TRUE(ShellIn(dir, std::string("shpcreate c ") + kind +
                                     " >/dev/null && dbfcreate c -n POP 10 0 >/dev/null"
                                     " && shpadd c 5 5 >/dev/null && dbfadd c.dbf 500 >/dev/null"
                                     " && shpadd c 20 20 >/dev/null && dbfadd c.dbf 5000 >/dev/null"
                                     " && shpadd c 35 35 >/dev/null && dbfadd c.dbf 99999 >/dev/null"));
        Put(dir + "/c.znl",
            "<Zarnip><LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"POP\">"
            "<RANGE lower=\"0\" upper=\"1000\"><SIMPLEMARKERSYMBOL width=\"3\" "
            "color=\"255,0,0\" outline=\"255,0,0\"/></RANGE>"
            "<RANGE lower=\"1000\" upper=\"10000\"><SIMPLEMARKERSYMBOL width=\"3\" "
            "color=\"0,0,255\" outline=\"0,0,255\"/></RANGE>"
            "</VALUEMAPRENDERER></SYMBOLOGY></LAYER></Zarnip>");
        CMapDoc doc;
        CShapeLayer* layer = OpenMap(doc, text::FromUtf8("\\" + dir + "\\c.shp"));
        ASSERT_NE(layer, nullptr);
        ASSERT_TRUE(layer->UsesRenderer());
        SolidBlack(layer->m_defaultSymbol, 0);
        ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 40, 40), 40, 40));
        Canvas canvas(40, 40);
        layer->DrawTo(canvas.dc, nullptr, 0);
        EXPECT_EQ(canvas.At(5, 35), kRed) << gditest::Show(canvas.Picture());
        EXPECT_EQ(canvas.At(20, 20), kBlue) << gditest::Show(canvas.Picture());
        // Beyond every range: class 0, without a symbol of its own, in the
        // layer's default symbol.
        EXPECT_EQ(canvas.At(35, 5), RGB(0, 0, 0)) << gditest::Show(canvas.Picture());
    }
}

TEST_F(ShapeDrawTest, ATransparentStippleLetsTheLayerBelowShow) {
    ASSERT_TRUE(ShellIn("t", "for n in below above; do shpcreate $n polygon >/dev/null && "
                             "dbfcreate $n -s NAME 8 >/dev/null && "
                             "shpadd $n 0 0 0 8 8 8 8 0 0 0 && dbfadd $n.dbf x >/dev/null; done"));
    Put("t/below.znl",
        "<Zarnip><LAYER><SYMBOLOGY><SIMPLERENDERER><SIMPLEPOLYGONSYMBOL filltype=\"solid\" "
        "fillcolor=\"255,0,0\" boundarycolor=\"255,0,0\"/></SIMPLERENDERER></SYMBOLOGY></LAYER></Zarnip>");
    Put("t/above.znl",
        "<Zarnip><LAYER><SYMBOLOGY><SIMPLERENDERER><SIMPLEPOLYGONSYMBOL filltype=\"stipple\" "
        "fillcolor=\"0,0,255\" stipplewidth=\"8\" stippleheight=\"2\" stipplepattern=\"AA55\" "
        "boundarytype=\"none\"/></SIMPLERENDERER></SYMBOLOGY></LAYER></Zarnip>");
    CMapDoc a, b;
    CShapeLayer* below = OpenMap(a, u"\\t\\below.shp");
    CShapeLayer* above = OpenMap(b, u"\\t\\above.shp");
    ASSERT_TRUE(below && above);
    ASSERT_TRUE(above->UsesRenderer());
    Canvas canvas(8, 8);
    for (CShapeLayer* l : {below, above}) {
        ASSERT_TRUE(l->SetDrawExtent(CDoubleRect(0, 0, 8, 8), 8, 8));
        l->DrawTo(canvas.dc, nullptr, 0);
    }
    // Inside the square (its outline aside): the pattern's fill bits blue,
    // its clear bits the red below.
    int red = 0, blue = 0, other = 0;
    for (int y = 1; y < 7; ++y)
        for (int x = 1; x < 7; ++x) {
            COLORREF c = canvas.At(x, y);
            red += c == kRed;
            blue += c == kBlue;
            other += c != kRed && c != kBlue;
        }
    EXPECT_EQ(other, 0) << gditest::Show(canvas.Picture());
    EXPECT_EQ(red, 18) << gditest::Show(canvas.Picture());
    EXPECT_EQ(blue, 18) << gditest::Show(canvas.Picture());
}

TEST_F(ShapeDrawTest, MultipointMarkersAndLabels) {
    ASSERT_TRUE(ShellIn("m", "shpcreate m multipoint >/dev/null && dbfcreate m -s NAME 8 >/dev/null"
                             " && shpadd m 5 5 + 20 10 + 30 25 >/dev/null && dbfadd m.dbf I >/dev/null"));
    CMapDoc doc;
    CShapeLayer* layer = OpenMap(doc, u"\\m\\m.shp");
    ASSERT_NE(layer, nullptr);
    EXPECT_FALSE(layer->CanEdit());
    SolidBlack(layer->m_defaultSymbol, 0);
    layer->m_defaultSymbol.m_fillColor = kRed;
    layer->m_labelRenderer.m_visible = true;
    ASSERT_TRUE(layer->SetDrawExtent(CDoubleRect(0, 0, 40, 40), 40, 40));
    Canvas canvas(40, 40);
    layer->DrawTo(canvas.dc, nullptr, 0);
    for (POINT p : {POINT{5, 35}, POINT{20, 30}, POINT{30, 15}}) {
        EXPECT_EQ(canvas.At(p.x, p.y), kRed) << p.x << "," << p.y << gditest::Show(canvas.Picture());
        // The label starts two pixels right (half a one-pixel marker, plus one).
        int text = 0;
        for (int y = p.y; y < std::min(40, p.y + 12); ++y)
            for (int x = p.x + 2; x < std::min(40, p.x + 8); ++x) text += canvas.At(x, y) != kWhite;
        EXPECT_GT(text, 0) << p.x << "," << p.y << gditest::Show(canvas.Picture());
        for (int y = p.y; y < std::min(40, p.y + 12); ++y)
            EXPECT_EQ(canvas.At(p.x + 1, y), kWhite) << gditest::Show(canvas.Picture());
    }
}

TEST_F(ShapeDrawTest, SampleMapDrawsClassedBlockGroups) {
    const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
    ASSERT_EQ(std::system(("xmllint --noout '" + samples + "/blockgroups.znl'").c_str()), 0);
    ASSERT_TRUE(ShellIn("Samples", "cp '" + samples + "'/* ."));
    CMapDoc doc;
    ASSERT_TRUE(doc.OnOpenDocument(u"\\Samples\\Sample.znm"));
    EXPECT_TRUE(MessageTexts().empty());
    ASSERT_EQ(doc.GetLayers().GetCount(), 1);
    auto* layer = dynamic_cast<CShapeLayer*>(doc.GetLayers().GetAt(0));
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(layer->GetName(), u"Block groups");
    ASSERT_TRUE(layer->UsesRenderer());
    EXPECT_EQ(layer->m_renderer.GetClassCount(), 5);
    EXPECT_TRUE(layer->m_labelRenderer.m_visible);
    EXPECT_TRUE(layer->HasSpatialIndex());
    ASSERT_TRUE(layer->SetDrawExtent(doc.GetMapExtent(), 160, 180));
    Canvas canvas(160, 180);
    layer->DrawTo(canvas.dc, nullptr, 60000);
    int drawn = 0;
    for (int i = 0; i < 5; ++i) drawn += layer->m_renderer.GetClass(i)->m_drawCount;
    EXPECT_EQ(drawn, 663);
    // Each range shows on the map.
    std::set<COLORREF> colours;
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 160; ++x) colours.insert(canvas.At(x, y));
    for (COLORREF c : {RGB(255, 255, 204), RGB(161, 218, 180), RGB(65, 182, 196), RGB(34, 94, 168)})
        EXPECT_TRUE(colours.count(c)) << std::hex << c;
}

// ---- the map grid ----

class GridDrawTest : public MapTest {};

TEST_F(GridDrawTest, LinesAtTheirColumnsAndRows) {
    PreferencesData::MapGrid& grid = GetPreferences()->Data().mapgrid;
    grid.line.m_pen.lopnColor = kRed;
    grid.line.m_pen.lopnStyle = PS_SOLID;
    grid.line.m_pen.lopnWidth = {1, 0};
    grid.line.m_lineWidth = 1;
    grid.text.m_textColor = kBlue;
    grid.text.m_blockout = false;
    // Columns and rows with a mark where the line colour is, along the
    // bottom row and the right column (away from the labels).
    auto marks = [](const Canvas& c, bool bottom) {
        std::vector<int> at;
        int n = bottom ? c.w : c.h;
        for (int i = 0; i < n; ++i)
            if ((bottom ? c.At(i, c.h - 1) : c.At(c.w - 1, i)) == kRed) at.push_back(i);
        return at;
    };
    CGridLayer layer;
    // 8000 m by 3000 m on 400 x 150 pixels: a line every 1000 m, 50 pixels.
    ASSERT_TRUE(layer.SetDrawExtent(CDoubleRect(430500, 5000500, 438500, 5003500), 400, 150));
    Canvas canvas(400, 150);
    ASSERT_TRUE(layer.Draw(canvas.dc, nullptr, 0));
    EXPECT_EQ(marks(canvas, true), (std::vector<int>{25, 75, 125, 175, 225, 275, 325, 375}));
    EXPECT_EQ(marks(canvas, false), (std::vector<int>{25, 75, 125}));
    // Vertical labels read downwards from the top beside their lines.
    int labelPixels = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 25; x < 45; ++x) labelPixels += canvas.At(x, y) != kWhite && canvas.At(x, y) != kRed;
    EXPECT_GT(labelPixels, 20);
    GridPlan plan = layer.Plan();
    ASSERT_FALSE(plan.lines.empty());
    EXPECT_EQ(plan.lines[0].label, u"430000E");

    // Geographic: 40 by 20 degrees, every 5 degrees; wider than the world
    // stops at -180 and 180.
    std::unique_ptr<CCoordSys> wgs(MakeCoordSys(
        u"GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563]],"
        u"PRIMEM[\"Greenwich\",0],UNIT[\"degree\",0.0174532925199433]]"));
    ASSERT_TRUE(wgs);
    CCoordSys* map = wgs.get();
    CGridLayer geo;
    geo.SetMapCoordSysRef(&map);
    geo.SetCoordSys(map);
    ASSERT_TRUE(geo.IsGeographic());
    ASSERT_TRUE(geo.SetDrawExtent(CDoubleRect(0, 30, 40, 50), 400, 200));
    Canvas g(400, 200);
    ASSERT_TRUE(geo.Draw(g.dc, nullptr, 0));
    EXPECT_EQ(marks(g, true), (std::vector<int>{0, 50, 100, 150, 200, 250, 300, 350}));
    EXPECT_EQ(marks(g, false), (std::vector<int>{0, 50, 100, 150}));
    EXPECT_EQ(geo.Plan().lines[1].label, FormatDms(5, false));
    ASSERT_TRUE(geo.SetDrawExtent(CDoubleRect(-300, -80, 300, 80), 60, 16));
    GridPlan wide = geo.Plan();
    ASSERT_FALSE(wide.lines.empty());
    EXPECT_EQ(wide.lines.front().value, -180);
    double lastVertical = 0;
    for (const GridLine& l : wide.lines)
        if (l.vertical) lastVertical = l.value;
    EXPECT_EQ(lastVertical, 180);
    geo.SetCoordSys(nullptr);
}

}  // namespace
