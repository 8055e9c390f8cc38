// A polygon layer drawn with its symbology on a 1024 x 768 surface: 100,000
// polygons classified by a value map of ten classes on a text field (solid,
// hatched, grey and stippled fills, outlines), and labels from a text field
// on the polygons large enough for one (about a quarter), each centred on
// its ring's centre with the label font the label renderer selects.
//
// Peers in the same run: QPainter on an RGB32 QImage, aliased, doing the
// same fills, outlines and texts at the same points with the same pixel
// size; and gdal_rasterize burning each polygon's class number from a
// shapefile written by ogr2ogr, at the same size and extent (whole process).
//
//   build/bench/symbology_bench
//
// child_cpu_ms is the peer's processor time (user and system) per run.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <sys/resource.h>
#include <vector>

#include "core/xml_node.h"
#include "map/services/preferences.h"
#include "map/symbology/label_renderer.h"
#include "map/symbology/renderer.h"
#include "map/symbology/symbol.h"
#include "platform/gdi/gdi.h"

#ifdef ZN_BENCH_QT
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#endif

namespace {

constexpr int kW = 1024, kH = 768;
constexpr double kXmin = 500000, kYmin = 4000000, kXmax = 510240, kYmax = 4007680;  // 10 m pixels
constexpr int kClasses = 10;

struct Feature {
    std::vector<double> ring;  // x0 y0 ... closed
    std::vector<POINT> device;  // the ring's points, then the joined path
    int total = 0;
    int classNumber = 0;
    WString classText;  // the lookup field's text
    WString label;
    bool labelled = false;  // at least 100 square pixels
    POINT centre{};
};

struct Data {
    std::vector<Feature> features;
    std::string dir;
    bool shapefile = false;
    int labelled = 0;
};

POINT ToDevice(double x, double y) {
    double sx = kW / (kXmax - kXmin), sy = kH / (kYmax - kYmin);
    return POINT{static_cast<LONG>((x - kXmin) * sx), kH - static_cast<LONG>((y - kYmin) * sy)};
}

const Data& data() {
    static Data d = [] {
        Data d;
        std::mt19937 rng(12345);
        std::uniform_real_distribution<double> ux(kXmin, kXmax), uy(kYmin, kYmax);
        std::uniform_real_distribution<double> ur(10, 95), ua(0, 2 * M_PI);
        std::uniform_int_distribution<int> un(5, 14), uc(0, kClasses - 1);
        for (int i = 0; i < 100000; ++i) {
            Feature f;
            double cx = ux(rng), cy = uy(rng), r = ur(rng), a0 = ua(rng);
            int n = un(rng);
            for (int k = 0; k < n; ++k) {
                double a = a0 - 2 * M_PI * k / n, rr = r * ((k & 1) ? 0.6 : 1.0);
                f.ring.push_back(cx + rr * std::cos(a));
                f.ring.push_back(cy + rr * std::sin(a));
            }
            f.ring.push_back(f.ring[0]);
            f.ring.push_back(f.ring[1]);
            f.classNumber = uc(rng);
            f.classText = text::Format(u"c%d", f.classNumber);
            f.label = text::Format(u"P%d", i + 1);
            double area = 0;
            for (size_t k = 0; k + 3 < f.ring.size(); k += 2)
                area += f.ring[k] * f.ring[k + 3] - f.ring[k + 2] * f.ring[k + 1];
            area = std::fabs(area) / 2 / 100;  // square pixels
            f.labelled = area >= 100;
            d.labelled += f.labelled;
            for (size_t k = 0; k < f.ring.size(); k += 2)
                f.device.push_back(ToDevice(f.ring[k], f.ring[k + 1]));
            f.total = static_cast<int>(f.device.size());
            f.device.insert(f.device.end(), f.device.begin(), f.device.end());
            f.device.push_back(f.device[0]);
            f.centre = ToDevice(cx, cy);
            d.features.push_back(std::move(f));
        }
        char tmpl[] = "/tmp/zn_symbology_bench_XXXXXX";
        if (!mkdtemp(tmpl)) return d;
        d.dir = tmpl;
        static std::string dir = d.dir;
        std::atexit([] { std::filesystem::remove_all(dir); });
        {
            std::ofstream f(d.dir + "/polys.csv");
            f.precision(12);
            f << "ID,CLASS,WKT\n";
            int id = 0;
            for (const Feature& ft : d.features) {
                f << ++id << ',' << ft.classNumber + 1 << ",\"POLYGON ((";
                for (size_t k = 0; k < ft.ring.size(); k += 2)
                    f << (k ? "," : "") << ft.ring[k] << ' ' << ft.ring[k + 1];
                f << "))\"\n";
            }
        }
        d.shapefile = std::system(("ogr2ogr -q " + d.dir + "/polys.shp " + d.dir +
                                   "/polys.csv -oo AUTODETECT_TYPE=YES > /dev/null 2>&1")
                                      .c_str()) == 0;
        return d;
    }();
    return d;
}

// Ten classes: solid fills, hatches, grey levels, a transparent stipple.
const char* const kFills[kClasses] = {
    "filltype=\"solid\" fillcolor=\"230,200,120\"", "filltype=\"solid\" fillcolor=\"120,200,230\"",
    "filltype=\"bdiagonal\" fillcolor=\"0,128,0\" backgroundcolor=\"255,255,255\"",
    "filltype=\"cross\" fillcolor=\"128,0,0\" backgroundcolor=\"255,255,200\"",
    "filltype=\"lightgray\"", "filltype=\"solid\" fillcolor=\"200,120,230\"",
    "filltype=\"stipple\" fillcolor=\"255,0,0\" stipplepattern=\"AA55AA55AA55AA55\"",
    "filltype=\"solid\" fillcolor=\"250,250,180\" boundarywidth=\"2\"",
    "filltype=\"horizontal\" fillcolor=\"0,0,255\" backgroundcolor=\"220,220,220\"",
    "filltype=\"solid\" fillcolor=\"160,160,160\" boundarytype=\"dash\"",
};

std::string ValueMapXml() {
    std::string xml = "<LAYER><SYMBOLOGY><VALUEMAPRENDERER lookupfield=\"KIND\">";
    for (int c = 0; c < kClasses; ++c)
        xml += "<EXACT value=\"c" + std::to_string(c) + "\"><SIMPLEPOLYGONSYMBOL " + kFills[c] +
               " boundarycolor=\"60,60,60\"/></EXACT>";
    xml += "</VALUEMAPRENDERER><SIMPLELABELRENDERER field=\"NAME\" visible=\"true\">"
           "<TEXTSYMBOL font=\"DejaVu Sans\" fontsize=\"7\" fontcolor=\"0,0,0\"/>"
           "</SIMPLELABELRENDERER></SYMBOLOGY></LAYER>";
    return xml;
}

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

void BM_SymbologyLayer(benchmark::State& state) {
    const Data& d = data();
    CXmlDocument doc;
    doc.Parse(text::FromUtf8(ValueMapXml()));
    CRenderer renderer;
    CLabelRenderer labels;
    if (!renderer.ReadXml(doc.GetRoot()) || !labels.ReadFromLayer(doc.GetRoot())) {
        state.SkipWithError("value map not read");
        return;
    }
    Surface s;
    uint8_t start[4] = {};
    RECT rect;
    for (auto _ : state) {
        renderer.ResetDrawCounts();
        HFONT oldFont = labels.SelectFont(s.dc, 0);
        for (const Feature& f : d.features) {
            CSymbol* symbol = renderer.FindClass(WStringView(text::ToUpper(f.classText)));
            if (!symbol) symbol = renderer.GetClass(0);
            symbol->m_drawCount++;
            FillSymbolPolygon(s.dc, *symbol, f.device.data(), f.total, start, 1, 0);
        }
        for (const Feature& f : d.features) {
            if (!f.labelled) continue;
            rect = RECT{0, 0, 0, 0};
            int n = static_cast<int>(f.label.size());
            DrawText(s.dc, f.label.c_str(), n, &rect, DT_CALCRECT | DT_SINGLELINE | DT_CENTER | DT_NOPREFIX);
            int w = rect.right - rect.left, h = rect.bottom - rect.top;
            rect = RECT{f.centre.x - w / 2, f.centre.y - h / 2, f.centre.x - w / 2 + w, f.centre.y - h / 2 + h};
            DrawText(s.dc, f.label.c_str(), n, &rect, DT_SINGLELINE | DT_CENTER | DT_NOPREFIX);
        }
        SelectObject(s.dc, oldFont);
    }
    SelectObject(s.dc, GetStockObject(BLACK_PEN));
    state.counters["labelled"] = d.labelled;
}
BENCHMARK(BM_SymbologyLayer)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef ZN_BENCH_QT
// The same fills, outlines and centred texts through QPainter, aliased.
void BM_QPainterSymbologyLayer(benchmark::State& state) {
    const Data& d = data();
    QImage image(kW, kH, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const Qt::BrushStyle patterns[kClasses] = {Qt::SolidPattern, Qt::SolidPattern, Qt::BDiagPattern,
                                               Qt::CrossPattern, Qt::SolidPattern, Qt::SolidPattern,
                                               Qt::Dense4Pattern, Qt::SolidPattern, Qt::HorPattern,
                                               Qt::SolidPattern};
    const QColor colours[kClasses] = {QColor(230, 200, 120), QColor(120, 200, 230), QColor(0, 128, 0),
                                      QColor(128, 0, 0),     QColor(192, 192, 192), QColor(200, 120, 230),
                                      QColor(255, 0, 0),     QColor(250, 250, 180), QColor(0, 0, 255),
                                      QColor(160, 160, 160)};
    QFont font("DejaVu Sans");
    font.setPixelSize(9);  // 7 points at 96 dpi, as the label renderer selects
    std::vector<QPoint> pts;
    for (auto _ : state) {
        for (const Feature& f : d.features) {
            int c = f.classNumber;
            painter.setBrush(QBrush(colours[c], patterns[c]));
            painter.setBackground(QColor(255, 255, 255));
            painter.setBackgroundMode(c == 6 ? Qt::TransparentMode : Qt::OpaqueMode);
            painter.setPen(QPen(QColor(60, 60, 60), c == 7 ? 2 : 0, c == 9 ? Qt::DashLine : Qt::SolidLine));
            pts.clear();
            for (int k = 0; k < f.total; ++k) pts.emplace_back(f.device[k].x, f.device[k].y);
            painter.drawPolygon(pts.data(), static_cast<int>(pts.size()), Qt::OddEvenFill);
        }
        painter.setFont(font);
        painter.setPen(Qt::black);
        for (const Feature& f : d.features) {
            if (!f.labelled) continue;
            QString label = QString::fromUtf16(f.label.data(), static_cast<qsizetype>(f.label.size()));
            QRect box = painter.boundingRect(QRect(), Qt::AlignCenter | Qt::TextSingleLine, label);
            box.moveCenter(QPoint(f.centre.x, f.centre.y));
            painter.drawText(box, Qt::AlignCenter | Qt::TextSingleLine, label);
        }
    }
}
BENCHMARK(BM_QPainterSymbologyLayer)->Unit(benchmark::kMillisecond)->UseRealTime();
#endif

// Processor time of the finished child processes so far, in milliseconds: on
// a shared machine the peer's start-up waits for a processor, so its real
// time says more about the load than about the peer.
double ChildCpuMs() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

// gdal_rasterize burning each polygon's class number, whole process.
void BM_GdalRasterizeClasses(benchmark::State& state) {
    const Data& d = data();
    if (!d.shapefile) {
        state.SkipWithError("ogr2ogr/gdal_rasterize not available");
        return;
    }
    char cmd[1024];
    std::snprintf(cmd, sizeof cmd,
                  "gdal_rasterize -q -a CLASS -ts %d %d -te %.0f %.0f %.0f %.0f -ot Byte "
                  "-of GTiff %s/polys.shp %s/classes.tif > /dev/null 2>&1",
                  kW, kH, kXmin, kYmin, kXmax, kYmax, d.dir.c_str(), d.dir.c_str());
    const double cpu0 = ChildCpuMs();
    for (auto _ : state) {
        std::filesystem::remove(d.dir + "/classes.tif");
        if (std::system(cmd) != 0) {
            state.SkipWithError("gdal_rasterize failed");
            break;
        }
    }
    state.counters["child_cpu_ms"] = (ChildCpuMs() - cpu0) / double(state.iterations());
}
BENCHMARK(BM_GdalRasterizeClasses)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

// Text through QPainter needs a GUI application; the offscreen platform
// needs no display.
int main(int argc, char** argv) {
#ifdef ZN_BENCH_QT
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
