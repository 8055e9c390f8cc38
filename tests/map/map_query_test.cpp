// Asking the map with the pen: identify and hyperlink taps reach the layers
// from the top down (or the identify window), advanced select, and the
// measurements' texts and dialog.
#include <cmath>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <unistd.h>

#include "core/xml_node.h"
#include "map/dialogs/measure_info_dlg.h"
#include "map/layers/shape_layer.h"
#include "map/services/preferences.h"
#include "platform/win/dialog.h"
#include "resources/zres.h"
#include "tests/map/view_harness.h"

namespace {

using viewtest::CFillLayer;
using Gesture = win::input::Gesture;

// The identify window as the view asks it.
class RecordingIdentifyWindow : public IIdentifyWindow {
public:
    struct Call {
        CLayer* layer;
        double x, y, tolerance;
        bool rect;
        CDoubleRect area;
    };
    void IdentifyArea(double x, double y, double tolerance, const CDoubleRect* rect) override {
        calls.push_back({nullptr, x, y, tolerance, rect != nullptr, rect ? *rect : CDoubleRect()});
    }
    void IdentifyLayerAtPoint(CLayer* layer, double x, double y, double tolerance) override {
        calls.push_back({layer, x, y, tolerance, false, CDoubleRect()});
    }
    std::vector<Call> calls;
};

// A layer the user identifies.
class CIdentifiedLayer : public CFillLayer {
public:
    CIdentifiedLayer() : CFillLayer(0xFF0000, {CDoubleRect(0, 0, 100, 100)}) {
        SetIdentifiable(true);
        SetIdentify(true);
    }
};

// A layer of another kind with its own identify dialog.
class CDialogLayer : public CIdentifiedLayer {
public:
    bool HasIdentifyDialog() override { return true; }
    int ShowIdentifyDialog(int, const CDoubleRect* box) override {
        ++shown;
        if (box) lastBox = *box;
        return answer;
    }
    int shown = 0;
    int answer = 1;
    CDoubleRect lastBox;  // map coordinates
};

class MapQuery : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        SetIdentifyWindow(&identify_);
        SetMeasureInfoRunner([this](HWND, const MeasureTexts& t) { measured_.push_back(t); });
    }
    void TearDown() override {
        SetIdentifyWindow(nullptr);
        SetMeasureInfoRunner(nullptr);
        ViewHarness::TearDown();
    }
    // Points layers \d\NAME.shp with a LINK field, linked by a layer file.
    void MakeLinkedPoints(const std::string& name, const std::vector<std::pair<std::string, std::string>>& points) {
        std::string command = "shpcreate " + name + " point >/dev/null && dbfcreate " + name +
                              " -s NAME 20 -s LINK 60 >/dev/null";
        int i = 0;
        for (const auto& [xy, link] : points)
            command += " && shpadd " + name + " " + xy + " >/dev/null && dbfadd " + name + ".dbf P" +
                       std::to_string(++i) + " '" + link + "' >/dev/null";
        ASSERT_TRUE(ShellIn("d", command)) << command;
    }
    void Link(CLayer* layer) {
        CXmlDocument doc;
        ASSERT_TRUE(doc.Parse(u"<LAYER><HYPERLINK field=\"LINK\"/></LAYER>"));
        layer->ReadXml(doc.GetRoot());
        ASSERT_TRUE(layer->HasHyperlink());
    }
    void Tap(double x, double y) {
        int px, py;
        view_->MapToScreen(x, y, px, py);
        clock_.Advance(1000);
        win::input::TapAt(View(), POINT{px, py});
        Pump();
    }
    RecordingIdentifyWindow identify_;
    std::vector<MeasureTexts> measured_;
};

TEST_F(MapQuery, IdentifyAsksTheTopLayerFirstAndSkipsLayersNotIdentifiable) {
    MakePointShapefile("d", "low", {"50 50", "20 20"});
    MakePointShapefile("d", "high", {"80 80", "50 50"});
    CLayer* high = OpenShapefileView({"low", "high"});
    ASSERT_NE(high, nullptr);
    CLayer* low = doc_.GetLayers().GetAt(1);
    view_->SetCurrentTool(kToolIdentify);
    // Both have a point at (50, 50): the top one answers, with its record.
    Tap(50, 50);
    ASSERT_EQ(shell_.sheets.size(), 1u);
    EXPECT_EQ(shell_.sheets[0].layer, high);
    EXPECT_EQ(shell_.sheets[0].record, 1);  // the second record, from 0
    EXPECT_EQ(mainWindow_.paneTexts.back(), u"Feature 0x2 found");
    // Top layer not identifiable: never asked; the lower one answers.
    high->SetIdentify(false);
    Tap(50, 50);
    ASSERT_EQ(shell_.sheets.size(), 2u);
    EXPECT_EQ(shell_.sheets[1].layer, low);
    EXPECT_EQ(shell_.sheets[1].record, 0);
    // Nothing there: the status says so with the exclamation beep.
    size_t beeps = win::BeepLog().size();
    Tap(5, 95);
    EXPECT_EQ(shell_.sheets.size(), 2u);
    EXPECT_EQ(mainWindow_.paneTexts.back(), u"Nothing found!");
    ASSERT_EQ(win::BeepLog().size(), beeps + 1);
    EXPECT_EQ(win::BeepLog().back(), 0x30u);
    EXPECT_TRUE(identify_.calls.empty());
    // No identifiable layer at all: the identify window shows the place.
    low->SetIdentify(false);
    Tap(30, 60);
    ASSERT_EQ(identify_.calls.size(), 1u);
    EXPECT_EQ(identify_.calls[0].layer, nullptr);
    EXPECT_FALSE(identify_.calls[0].rect);
    EXPECT_NEAR(identify_.calls[0].x, 30, 1);
    EXPECT_DOUBLE_EQ(identify_.calls[0].tolerance, view_->GetPenTolerance());
}

TEST_F(MapQuery, ServerLayersGoToTheIdentifyWindowAndLayersWithADialogAnswerThemselves) {
    auto* dialog = new CDialogLayer();
    auto* server = new CIdentifiedLayer();
    server->SetKind(LayerKind::Internet);
    AddLayer(dialog);
    AddLayer(server);
    UseExtent(CDoubleRect(0, 0, 100, 100));
    OpenView();
    view_->SetCurrentTool(kToolIdentify);
    // The list's head (the dialog layer) first: it answers.
    Tap(40, 40);
    EXPECT_EQ(dialog->shown, 1);
    EXPECT_TRUE(identify_.calls.empty());
    EXPECT_LT(dialog->lastBox.xmin, dialog->lastBox.xmax);
    // It says no: the server layer below is asked through the window.
    dialog->answer = 0;
    Tap(40, 40);
    ASSERT_EQ(identify_.calls.size(), 1u);
    EXPECT_EQ(identify_.calls[0].layer, server);
    EXPECT_NEAR(identify_.calls[0].y, 40, 1);
}

TEST_F(MapQuery, AHyperlinkTapOpensTheRecordsLink) {
    MakeLinkedPoints("links", {{"20 20", "https://example.org/a"}, {"60 60", "http://example.org/b"}});
    MakePointShapefile("d", "plain", {"60 60"});
    CLayer* links = OpenShapefileView({"links", "plain"});
    ASSERT_NE(links, nullptr);
    links = doc_.GetLayers().GetAt(1);
    Link(links);
    CCmdUI ui(1814);
    EXPECT_TRUE(view_->OnCmdMsg(1814, 0, &ui));
    EXPECT_TRUE(ui.m_bEnabled);
    view_->SetCurrentTool(kToolHyperlink);
    Tap(60, 60);  // the plain layer on top has no link field: not asked
    EXPECT_EQ(shell_.urls, (std::vector<WString>{u"http://example.org/b"}));
    size_t beeps = win::BeepLog().size();
    Tap(90, 10);
    EXPECT_EQ(shell_.urls.size(), 1u);
    EXPECT_EQ(mainWindow_.paneTexts.back(), u"Nothing found!");
    ASSERT_EQ(win::BeepLog().size(), beeps + 1);
    EXPECT_EQ(win::BeepLog().back(), 0x30u);
}

// The whole way out: the program's own shell services hand the link to the
// desktop's opener as its one argument.
TEST_F(MapQuery, AHyperlinkTapReachesTheOpenerWithTheLinkAsItsOneArgument) {
    MakeLinkedPoints("links", {{"60 60", "https://example.org/a b?c=1&d=\\$HOME;x"}});
    Put("opener.sh", "#!/bin/sh\nprintf '%s|' \"$#\" \"$@\" >> '" + Host("args.txt") + "'\n");
    ASSERT_EQ(chmod(Host("opener.sh").c_str(), 0755), 0);
    setenv("ZARNIP_OPENER", Host("opener.sh").c_str(), 1);
    SetShellServices(nullptr);  // the program's defaults, not the recording double
    CLayer* links = OpenShapefileView({"links"});
    ASSERT_NE(links, nullptr);
    Link(doc_.GetLayers().GetAt(0));
    view_->SetCurrentTool(kToolHyperlink);
    Tap(60, 60);
    for (int i = 0; i < 500 && !HostExists("args.txt"); ++i) usleep(10000);
    unsetenv("ZARNIP_OPENER");
    EXPECT_EQ(Get("args.txt"), "1|https://example.org/a b?c=1&d=\\$HOME;x|");
    EXPECT_TRUE(shell_.urls.empty());
}

TEST_F(MapQuery, AdvancedSelectIsARectangleFromEightPixelsAndAPointBelow) {
    UseExtent(CDoubleRect(0, 0, 240, 300));
    AddLayer(new CFillLayer(0x808080, {CDoubleRect(0, 0, 240, 300)}));
    OpenView();
    view_->SetCurrentTool(kToolAdvancedSelect);
    clock_.Advance(1000);
    win::input::Play(Gesture().Down(0, View(), POINT{20, 20}).Move(10, View(), POINT{60, 28}).Up(20, View(), POINT{60, 28}));
    Pump();
    clock_.Advance(1000);
    win::input::Play(Gesture().Down(0, View(), POINT{20, 20}).Move(10, View(), POINT{60, 27}).Up(20, View(), POINT{60, 27}));
    Pump();
    ASSERT_EQ(identify_.calls.size(), 2u);
    EXPECT_TRUE(identify_.calls[0].rect);
    CDoubleRect want = view_->ScreenRectToMap(RECT{20, 20, 60, 28});
    EXPECT_DOUBLE_EQ(identify_.calls[0].area.xmin, want.xmin);
    EXPECT_DOUBLE_EQ(identify_.calls[0].area.ymax, want.ymax);
    EXPECT_DOUBLE_EQ(identify_.calls[0].x, (want.xmin + want.xmax) / 2);
    EXPECT_FALSE(identify_.calls[1].rect);
}

TEST_F(MapQuery, MeasureTextsOfARadiusAndOfLines) {
    CCoordSys* utm = MakeCoordSys(kUtm33Wkt);
    // A radius of 100 m: 628.3 m around (one decimal above 10), pi * 10^4 m^2.
    MeasureRecord r;
    r.last = DoublePoint{500100, 0};
    r.distance = 100;
    r.length = 100 * 2 * M_PI;
    r.area = 100 * 100 * M_PI;
    r.mode = 2;
    MeasureTexts t = CMapView::MeasureInfoTexts(0, utm, DoublePoint{500000, 0}, r);
    EXPECT_EQ(t.length, u"628.3m");
    EXPECT_EQ(t.distance, u"100.0m");
    EXPECT_EQ(t.area, u"3.14 ha");
    EXPECT_EQ(t.forwardAzimuth, u"90\u00B0");
    EXPECT_EQ(t.backAzimuth, u"270\u00B0");
    EXPECT_EQ(t.from, u"500000.0E, 0.0N");
    EXPECT_EQ(t.to, u"500100.0E, 0.0N");
    EXPECT_EQ(t.kind, 2);
    // Exactly 10 gets three decimals, 10.001 one.
    r.distance = 10;
    EXPECT_EQ(CMapView::MeasureInfoTexts(0, utm, DoublePoint{500000, 0}, r).distance, u"10.000m");
    r.distance = 10.001;
    EXPECT_EQ(CMapView::MeasureInfoTexts(0, utm, DoublePoint{500000, 0}, r).distance, u"10.0m");
    delete utm;
}

TEST_F(MapQuery, TheDialogRelabelsAPerimeterAndARadius) {
    for (int kind : {0, 1, 2}) {
        SCOPED_TRACE(kind);
        HWND seenDirect = nullptr;
        WString along, direct, area;
        CMeasureInfoDlg dlg(nullptr);
        dlg.m_kind = kind;
        dlg.m_area = u"1.00 ha";
        win::PushModalHook([&](HWND dlgWnd) {
            WChar buf[64];
            GetWindowText(GetDlgItem(dlgWnd, IDC_MEASURE_ALONG_LABEL), buf, 64);
            along = buf;
            GetWindowText(GetDlgItem(dlgWnd, IDC_MEASURE_DIRECT_LABEL), buf, 64);
            direct = buf;
            GetWindowText(GetDlgItem(dlgWnd, IDC_MEASURE_AREA), buf, 64);
            area = buf;
            seenDirect = dlgWnd;
            win::PressCaptionClose(dlgWnd);
        });
        dlg.DoModal();
        ASSERT_NE(seenDirect, nullptr);
        EXPECT_EQ(along, kind > 0 ? u"Perimeter" : u"Distance Along");
        EXPECT_EQ(direct, kind == 2 ? u"Radius" : u"Direct Distance");
        EXPECT_EQ(area, u"1.00 ha");
    }
}

// The number and unit of a measured text ("2.736km", "19.95 ha") in metres
// or square metres, and half its last digit.
struct Shown {
    double value, halfDigit;
};
Shown ReadShown(const WString& textShown) {
    std::string s = text::ToUtf8(textShown);
    size_t end = s.find_first_not_of("0123456789.");
    std::string number = s.substr(0, end), unit = s.substr(end);
    while (!unit.empty() && unit[0] == ' ') unit.erase(0, 1);
    size_t dot = number.find('.');
    int decimals = dot == std::string::npos ? 0 : static_cast<int>(number.size() - dot - 1);
    double factor = unit == "km" ? 1000 : unit == "ha" ? 10000 : 1;
    EXPECT_TRUE(unit == "m" || unit == "km" || unit == "ha") << s;
    return {std::stod(number) * factor, 0.5 * std::pow(10.0, -decimals) * factor};
}

// Polylines measured on a geographic map agree with Planimeter (length along,
// area of the closed ring), proj's cylindrical equal-area projection (the
// ring's area as the program takes it) and GeodSolve (direct distance,
// forward azimuth).
TEST_F(MapQuery, GeographicPolylinesMeasureAsTheGeodesicTools) {
    CCoordSys* wgs84 = MakeCoordSys(
        u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
        u"298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    ASSERT_NE(wgs84, nullptr);
    OpenView();
    std::ifstream in(std::string(ZN_TEST_DATA) + "/crs/polyline_geodesic.csv");
    ASSERT_TRUE(in);
    std::string line;
    int rows = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("points", 0) == 0) continue;
        SCOPED_TRACE(line);
        std::stringstream cells(line);
        std::string points;
        std::getline(cells, points, ',');
        double length, perimeter, area, ceaArea, direct, azimuth;
        char comma;
        cells >> length >> comma >> perimeter >> comma >> area >> comma >> ceaArea >> comma >> direct >>
            comma >> azimuth;
        std::vector<DoublePoint> path;
        std::stringstream ps(points);
        std::string vertex;
        while (std::getline(ps, vertex, ';')) {
            DoublePoint p;
            std::stringstream(vertex) >> p.x >> p.y;
            path.push_back(p);
        }
        measured_.clear();
        view_->MeasurePolyline(0, wgs84, static_cast<int>(path.size()), path.data());
        ASSERT_EQ(measured_.size(), 1u);
        const MeasureTexts& t = measured_[0];
        Shown shown = ReadShown(t.length);
        EXPECT_NEAR(shown.value, length, shown.halfDigit + 1e-6 * length);
        shown = ReadShown(t.distance);
        EXPECT_NEAR(shown.value, direct, shown.halfDigit + 1e-6 * direct);
        // The ring's edges are straight in the equal-area projection, not
        // geodesics: for rings a few kilometres across the two areas differ
        // by up to 1e-3.
        shown = ReadShown(t.area);
        EXPECT_NEAR(shown.value, ceaArea, shown.halfDigit + 1e-6 * ceaArea);
        EXPECT_NEAR(shown.value, area, 2e-3 * area);
        EXPECT_EQ(t.forwardAzimuth, text::Format(u"%d\u00B0", static_cast<int>(azimuth)));
        ++rows;
    }
    EXPECT_EQ(rows, 4);
    delete wgs84;
}

}  // namespace
