// Drawing hot paths on a 1024 x 768 surface: a layer of 100,000 polygons
// (filled with an outline), 1,000,000 points set as pixels, polylines, and
// blits. The peer is gdal_rasterize burning the same geometry, written once to
// shapefiles by ogr2ogr, into a raster of the same size and extent; its
// figures are whole-process times (start-up and reading the shapefile
// included). Ours are the drawing alone with the world-to-device transform
// (the *Layer figures) and opening, reading and drawing the same shapefiles
// through the shape drawing (the Shapefile* figures).
// Where Qt is installed, QPainter on a QImage (aliased) is a second peer.
//
//   build/bench/gdi_draw_bench --benchmark_filter=Layer
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "formats/shape/shape_draw.h"
#include "formats/shape/shp_engine.h"
#include "platform/fs/fs.h"
#include "platform/gdi/gdi.h"

#ifdef ZN_BENCH_QT
#include <QImage>
#include <QPainter>
#endif

namespace {

constexpr int kW = 1024, kH = 768;
constexpr double kXmin = 500000, kYmin = 4000000, kXmax = 510240, kYmax = 4007680;  // 10 m pixels

struct Data {
    std::vector<std::vector<double>> polygons;  // x0 y0 x1 y1 ... (closed rings)
    std::vector<double> points;                 // x y ...
    std::string dir;
    bool shapefiles = false;
};

const Data& data() {
    static Data d = [] {
        Data d;
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> ux(kXmin, kXmax), uy(kYmin, kYmax);
        std::uniform_real_distribution<double> ur(10, 60), ua(0, 2 * M_PI);
        std::uniform_int_distribution<int> un(5, 14);
        for (int i = 0; i < 100000; ++i) {
            double cx = ux(rng), cy = uy(rng), r = ur(rng), a0 = ua(rng);
            int n = un(rng);
            std::vector<double> ring;
            for (int k = 0; k < n; ++k) {
                double a = a0 - 2 * M_PI * k / n, rr = r * ((k & 1) ? 0.6 : 1.0);
                ring.push_back(cx + rr * std::cos(a));
                ring.push_back(cy + rr * std::sin(a));
            }
            ring.push_back(ring[0]);
            ring.push_back(ring[1]);
            d.polygons.push_back(std::move(ring));
        }
        for (int i = 0; i < 1000000; ++i) {
            d.points.push_back(ux(rng));
            d.points.push_back(uy(rng));
        }
        // The same geometry as shapefiles for the peer.
        char tmpl[] = "/tmp/zn_gdi_bench_XXXXXX";
        if (!mkdtemp(tmpl)) return d;
        d.dir = tmpl;
        static std::string dir = d.dir;
        std::atexit([] { std::filesystem::remove_all(dir); });
        {
            std::ofstream f(d.dir + "/polys.csv");
            f.precision(12);
            f << "ID,WKT\n";
            int id = 0;
            for (const auto& ring : d.polygons) {
                f << ++id << ",\"POLYGON ((";
                for (size_t k = 0; k < ring.size(); k += 2)
                    f << (k ? "," : "") << ring[k] << ' ' << ring[k + 1];
                f << "))\"\n";
            }
        }
        {
            std::ofstream f(d.dir + "/points.csv");
            f.precision(12);
            f << "X,Y\n";
            for (size_t k = 0; k < d.points.size(); k += 2)
                f << d.points[k] << ',' << d.points[k + 1] << '\n';
        }
        std::string q = "ogr2ogr -q ";  // the driver follows from the .shp name
        int a = std::system(
            (q + d.dir + "/polys.shp " + d.dir + "/polys.csv > /dev/null 2>&1").c_str());
        int b = std::system(
            (q + d.dir + "/points.shp " + d.dir +
             "/points.csv -oo X_POSSIBLE_NAMES=X -oo Y_POSSIBLE_NAMES=Y > /dev/null 2>&1")
                .c_str());
        d.shapefiles = a == 0 && b == 0;
        return d;
    }();
    return d;
}

// World to device as the shape drawing does it: truncation toward zero.
struct Transform {
    double sx = kW / (kXmax - kXmin), sy = kH / (kYmax - kYmin);
    POINT operator()(double x, double y) const {
        return POINT{static_cast<LONG>((x - kXmin) * sx), kH - static_cast<LONG>((y - kYmin) * sy)};
    }
};

struct Surface {
    HDC dc;
    HBITMAP bm, old;
    Surface() {
        dc = CreateCompatibleDC(nullptr);
        bm = gdi::CreateSurface(kW, kH);
        old = SelectObject(dc, bm);
    }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bm);
        DeleteDC(dc);
    }
};

void BM_PolygonLayer(benchmark::State& state) {
    const Data& d = data();
    Surface s;
    HBRUSH brush = CreateSolidBrush(RGB(200, 180, 90));
    HPEN pen = CreatePen(PS_SOLID, 0, RGB(60, 60, 60));
    SelectObject(s.dc, brush);
    SelectObject(s.dc, pen);
    Transform t;
    std::vector<POINT> pts;
    for (auto _ : state) {
        for (const auto& ring : d.polygons) {
            pts.clear();
            for (size_t k = 0; k < ring.size(); k += 2) pts.push_back(t(ring[k], ring[k + 1]));
            Polygon(s.dc, pts.data(), static_cast<int>(pts.size()));
        }
    }
    state.counters["polygons/s"] = benchmark::Counter(
        double(d.polygons.size()), benchmark::Counter::kIsIterationInvariantRate);
    SelectObject(s.dc, GetStockObject(WHITE_BRUSH));
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    DeleteObject(brush);
    DeleteObject(pen);
}
BENCHMARK(BM_PolygonLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PolylineLayer(benchmark::State& state) {
    const Data& d = data();
    Surface s;
    Transform t;
    std::vector<POINT> pts;
    for (auto _ : state) {
        for (const auto& ring : d.polygons) {
            pts.clear();
            for (size_t k = 0; k < ring.size(); k += 2) pts.push_back(t(ring[k], ring[k + 1]));
            Polyline(s.dc, pts.data(), static_cast<int>(pts.size()));
        }
    }
}
BENCHMARK(BM_PolylineLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PointLayer(benchmark::State& state) {
    const Data& d = data();
    Surface s;
    Transform t;
    for (auto _ : state) {
        for (size_t k = 0; k < d.points.size(); k += 2) {
            POINT p = t(d.points[k], d.points[k + 1]);
            SetPixel(s.dc, p.x, p.y, RGB(200, 0, 0));
        }
    }
    state.counters["points/s"] = benchmark::Counter(double(d.points.size() / 2),
                                                    benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_PointLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BitBltScreen(benchmark::State& state) {
    Surface a, b;
    for (auto _ : state) BitBlt(b.dc, 0, 0, kW, kH, a.dc, 0, 0, SRCCOPY);
}
BENCHMARK(BM_BitBltScreen)->Unit(benchmark::kMicrosecond);

// A bottom-up 8-bit DIB section with a grey ramp.
HBITMAP Dib8(int w, int h, void** bits) {
    std::vector<uint8_t> block(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
    auto* info = reinterpret_cast<BITMAPINFO*>(block.data());
    info->bmiHeader = BITMAPINFOHEADER{};
    info->bmiHeader.biWidth = w;
    info->bmiHeader.biHeight = h;
    info->bmiHeader.biBitCount = 8;
    for (int i = 0; i < 256; ++i) info->bmiColors[i] = RGBQUAD{BYTE(i), BYTE(i), BYTE(i), 0};
    return CreateDIBSection(nullptr, info, DIB_RGB_COLORS, bits, nullptr, 0);
}

void BM_StretchBlt8BitDib(benchmark::State& state) {
    // A 512 x 384 8-bit image stretched onto the whole surface.
    void* bits = nullptr;
    HBITMAP dib = Dib8(512, 384, &bits);
    for (int i = 0; i < 512 * 384; ++i)
        static_cast<uint8_t*>(bits)[i] = static_cast<uint8_t>(i * 7);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, dib);
    Surface s;
    for (auto _ : state) StretchBlt(s.dc, 0, 0, kW, kH, mem, 0, 0, 512, 384, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(dib);
}
BENCHMARK(BM_StretchBlt8BitDib)->Unit(benchmark::kMillisecond);

void BM_PatternFill8BitCache(benchmark::State& state) {
    // Clearing a 1536 x 1536 8-bit raster cache with the diagonal pattern.
    void* bits = nullptr;
    HBITMAP dib = Dib8(1536, 1536, &bits);
    HDC mem = CreateCompatibleDC(nullptr);
    HBITMAP old = SelectObject(mem, dib);
    uint8_t rows[16] = {0x01, 0, 0x02, 0, 0x04, 0, 0x08, 0, 0x10, 0, 0x20, 0, 0x40, 0, 0x80, 0};
    HBITMAP pat = CreateBitmap(8, 8, 1, 1, rows);
    HBRUSH brush = CreatePatternBrush(pat);
    SetBkColor(mem, RGB(255, 255, 255));
    RECT all{0, 0, 1536, 1536};
    for (auto _ : state) FillRect(mem, &all, brush);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(brush);
    DeleteObject(pat);
    DeleteObject(dib);
}
BENCHMARK(BM_PatternFill8BitCache)->Unit(benchmark::kMillisecond);

#ifdef ZN_BENCH_QT
// The same layers through QPainter on an RGB32 QImage, aliased, even-odd.
void BM_QPainterPolygonLayer(benchmark::State& state) {
    const Data& d = data();
    QImage image(kW, kH, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(QColor(200, 180, 90));
    painter.setPen(QPen(QColor(60, 60, 60), 0));
    Transform t;
    std::vector<QPoint> pts;
    for (auto _ : state) {
        for (const auto& ring : d.polygons) {
            pts.clear();
            for (size_t k = 0; k < ring.size(); k += 2) {
                POINT p = t(ring[k], ring[k + 1]);
                pts.emplace_back(p.x, p.y);
            }
            painter.drawPolygon(pts.data(), static_cast<int>(pts.size()), Qt::OddEvenFill);
        }
    }
}
BENCHMARK(BM_QPainterPolygonLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_QPainterPointLayer(benchmark::State& state) {
    const Data& d = data();
    QImage image(kW, kH, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(QColor(200, 0, 0), 0));
    Transform t;
    for (auto _ : state) {
        for (size_t k = 0; k < d.points.size(); k += 2) {
            POINT p = t(d.points[k], d.points[k + 1]);
            painter.drawPoint(p.x, p.y);
        }
    }
}
BENCHMARK(BM_QPainterPointLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// The same shapefiles gdal_rasterize reads, opened, walked (mapped) and drawn
// by the shape drawing: reading and drawing, without process start-up.
void DrawShapefile(benchmark::State& state, const char16_t* path) {
    const Data& d = data();
    if (!d.shapefiles) {
        state.SkipWithError("ogr2ogr not available");
        return;
    }
    setenv("ZARNIP_ROOT", d.dir.c_str(), 1);
    fs::ResetConfiguration();
    Surface s;
    HBRUSH brush = CreateSolidBrush(RGB(200, 180, 90));
    HBRUSH old = SelectObject(s.dc, brush);
    SetTextColor(s.dc, RGB(200, 0, 0));
    const CDoubleRect world(kXmin, kYmin, kXmax, kYmax);
    for (auto _ : state) {
        ShpHandle h = ShpOpen(path, 0);
        if (!h) {
            state.SkipWithError("shapefile does not open");
            break;
        }
        ShpSetDrawTransform(h, RECT{0, 0, kW, kH}, &world);
        ShpDrawRecords(h, s.dc, nullptr, nullptr, kShpDrawMapped | kShpDrawFillPolygons, nullptr,
                       nullptr);
        ShpClose(h);
    }
    SelectObject(s.dc, old);
    DeleteObject(brush);
}
void BM_ShapefilePolygonLayer(benchmark::State& state) {
    DrawShapefile(state, u"\\polys.shp");
}
void BM_ShapefilePointLayer(benchmark::State& state) {
    DrawShapefile(state, u"\\points.shp");
}
BENCHMARK(BM_ShapefilePolygonLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ShapefilePointLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

void RunGdal(benchmark::State& state, const char* layer) {
    const Data& d = data();
    if (!d.shapefiles) {
        state.SkipWithError("ogr2ogr/gdal_rasterize not available");
        return;
    }
    char cmd[1024];
    std::snprintf(cmd, sizeof cmd,
                  "gdal_rasterize -q -burn 255 -ts %d %d -te %.0f %.0f %.0f %.0f -ot Byte "
                  "-of GTiff %s/%s.shp %s/%s.tif > /dev/null 2>&1",
                  kW, kH, kXmin, kYmin, kXmax, kYmax, d.dir.c_str(), layer, d.dir.c_str(), layer);
    for (auto _ : state) {
        std::remove((d.dir + "/" + layer + ".tif").c_str());
        if (std::system(cmd) != 0) {
            state.SkipWithError("gdal_rasterize failed");
            return;
        }
    }
}
void BM_GdalRasterizePolygons(benchmark::State& state) {
    RunGdal(state, "polys");
}
void BM_GdalRasterizePoints(benchmark::State& state) {
    RunGdal(state, "points");
}
BENCHMARK(BM_GdalRasterizePolygons)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_GdalRasterizePoints)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
