// The tracker's status read-out: positions in each coordinate format on
// geographic and projected maps, north and south, against GeoConvert,
// cs2cs and GeodSolve (tests/data/map/readout_reference.csv, made by
// tools/readout_reference.sh), a datum change taking effect, and the texts
// reaching a real status bar's panes while the pen drags.
#include <fstream>
#include <sstream>

#include "platform/win/commctrl.h"
#include "tests/map/view_harness.h"

namespace {

using Gesture = win::input::Gesture;

const WChar kWgs84Geographic[] =
    u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
    u"298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const WChar kEd50Geographic[] =
    u"GEOGCS[\"GCS_European_1950\",DATUM[\"D_European_1950\",SPHEROID[\"International_1924\","
    u"6378388.0,297.0]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

struct Row {
    std::string kind;
    double lat = 0, lon = 0, lat2 = 0, lon2 = 0;
    std::string text;
};

std::vector<Row> Reference() {
    std::ifstream in(ZN_SOURCE_DIR "/tests/data/map/readout_reference.csv");
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#' || line.rfind("kind,", 0) == 0) continue;
        std::stringstream s(line);
        Row r;
        std::string f[5];
        for (auto& field : f) std::getline(s, field, ',');
        std::getline(s, r.text);
        r.kind = f[0];
        r.lat = std::stod(f[1]);
        r.lon = std::stod(f[2]);
        if (!f[3].empty()) r.lat2 = std::stod(f[3]), r.lon2 = std::stod(f[4]);
        rows.push_back(r);
    }
    return rows;
}

class Readout : public viewtest::ViewHarness {};

TEST_F(Readout, PositionsInEveryFormatMatchTheReferenceTools) {
    std::vector<Row> rows = Reference();
    ASSERT_GE(rows.size(), 30u);
    std::unique_ptr<CCoordSys> wgs84(MakeCoordSys(kWgs84Geographic));
    std::unique_ptr<CCoordSys> ed50(MakeCoordSys(kEd50Geographic));
    ASSERT_TRUE(wgs84 && ed50);
    CMapTracker t;
    int checked = 0;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.kind + " " + std::to_string(r.lat) + " " + std::to_string(r.lon));
        t.SetCoordSys(wgs84.get());
        if (r.kind == "dms") {
            t.SetCoordinateFormat(2);
            EXPECT_EQ(text::ToUtf8(t.CoordinateText(r.lon, r.lat)), r.text);
            t.SetCoordinateFormat(0);  // automatic: DMS on a geographic map
            EXPECT_EQ(text::ToUtf8(t.CoordinateText(r.lon, r.lat)), r.text);
        } else if (r.kind == "utm") {
            t.SetCoordinateFormat(4);
            EXPECT_EQ(text::ToUtf8(t.CoordinateText(r.lon, r.lat)), r.text);
        } else if (r.kind == "mgrs") {
            t.SetCoordinateFormat(5);
            EXPECT_EQ(text::ToUtf8(t.CoordinateText(r.lon, r.lat)), r.text);
        } else if (r.kind == "utm-intl") {
            // The zone is already set from WGS 1984: the new datum must still
            // be taken.
            t.SetCoordinateFormat(4);
            t.CoordinateText(r.lon, r.lat);
            t.SetCoordSys(ed50.get());
            EXPECT_EQ(text::ToUtf8(t.CoordinateText(r.lon, r.lat)), r.text);
        } else if (r.kind == "distance") {
            EXPECT_EQ(text::ToUtf8(t.DistanceText(r.lon, r.lat, r.lon2, r.lat2)), r.text);
        }
        ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(rows.size()));
}

TEST_F(Readout, MapUnitsAndDecimalMinutesOnAProjectedMap) {
    std::unique_ptr<CCoordSys> utm(MakeCoordSys(kUtm33Wkt));
    CMapTracker t;
    t.SetCoordSys(utm.get());
    t.SetCoordinateFormat(0);  // automatic: map units, one decimal
    EXPECT_EQ(t.CoordinateText(500000.04, 5538630.75), u"500000.0 5538630.8 m");
    // Degrees and decimal minutes of the position on the map's datum: the
    // central meridian, 15 E; south of the equator with a negative northing.
    t.SetCoordinateFormat(3);
    double lon, lat;
    utm->ProjectedToGeographic(500000, -1000000, &lon, &lat);
    int d = static_cast<int>(-lat), e = static_cast<int>(lon);
    WString want = text::Format(u"%3d\u00B0%7.4f'S %3d\u00B0%7.4f'E", d, (-lat - d) * 60, e, (lon - e) * 60);
    EXPECT_EQ(t.CoordinateText(500000, -1000000), want);
    // Distances on a projected map are planar, in metres.
    EXPECT_EQ(t.DistanceText(500000, 0, 500300, 400), u" 37\u00B0 500.0m");
}

TEST_F(Readout, TheTextsReachTheStatusBarPanesWhileThePenDrags) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    UseExtent(CDoubleRect(500000, 5000000, 500240, 5000300));
    OpenView();
    view_->ZoomToExtent(CDoubleRect(500000, 5000000, 500240, 5000300), false, 1.0);
    Pump();
    HWND bar = CreateWindowEx(0, STATUSCLASSNAME, u"", WS_CHILD | WS_VISIBLE, 0, 300, 240, 20, frame_,
                              reinterpret_cast<HMENU>(59393), nullptr, nullptr);
    ASSERT_NE(bar, nullptr);
    int parts[2] = {120, -1};
    SendMessage(bar, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
    view_->GetTracker().SetReadout(bar, 0, 1, 1, true, 0);
    auto pane = [&](int i) {
        WChar buf[128] = {};
        SendMessage(bar, SB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buf));
        return WString(buf);
    };
    // A pen move over the map shows where it is.
    win::input::PenMoveAt(View(), POINT{40, 100});
    Pump();
    double x, y;
    view_->ScreenToMap(40, 100, x, y);
    EXPECT_EQ(pane(1), view_->GetTracker().CoordinateText(x, y));
    // A measure segment shows its bearing and length as it goes.
    Command(1811);
    clock_.Advance(1000);
    win::input::TapAt(View(), POINT{40, 100});
    Pump();
    WString during0, during1;
    clock_.Advance(1000);
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{10, 10})
                         .Move(10, View(), POINT{70, 20})
                         .Probe(15, [&] { during0 = pane(0), during1 = pane(1); })
                         .Up(20, View(), POINT{70, 20}));
    Pump();
    EXPECT_EQ(during0, u" 21\u00B0 85.4m");  // 30 east and 80 north of the vertex
    view_->ScreenToMap(70, 20, x, y);
    EXPECT_EQ(during1, view_->GetTracker().CoordinateText(x, y));
    // A negative format switches the read-out off.
    view_->GetTracker().SetCoordinateFormat(-1);
    SendMessage(bar, SB_SETTEXT, 1, reinterpret_cast<LPARAM>(u"-"));
    win::input::PenMoveAt(View(), POINT{90, 90});
    Pump();
    EXPECT_EQ(pane(1), u"-");
    view_->GetTracker().SetReadout(nullptr, 0, 1, 1, true, 0);
    DestroyWindow(bar);
}

}  // namespace
