// The position window: its texts from the formatter (coordinates against
// GeoConvert and cs2cs, accuracy, mode, speed, course and destination), the
// window on the window model with its menus, and the satellite display
// drawn pixel for pixel on our GDI.
#include "gps/position_window.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>

#include "core/no_data.h"
#include "core/stylus.h"
#include "gps/gps.h"
#include "gps/nmea_parser.h"
#include "map/services/preferences.h"
#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/menu.h"
#include "platform/win/theme.h"
#include "platform/win/winconst.h"
#include "resources/zres.h"
#include "tests/map/map_doubles.h"
#include "tests/map/view_harness.h"
#include "tests/platform/gdi_picture.h"

namespace {

GpsPosition Record(uint16_t quality = 1) {
    GpsPosition p;
    std::memset(&p, 0, sizeof p);
    for (double* v : {&p.pdop, &p.hdop, &p.vdop, &p.tdop, &p.hpe, &p.vpe, &p.epe, &p.sog, &p.cog,
                      &p.magneticVariation, &p.depth, &p.depthOffset, &p.waterTemperature})
        *v = kNoDataMeasure;
    p.satellitesUsed = 0xFFFE;
    p.fixQuality = quality;
    p.modeBits = 1;
    p.updateBits = 0xFF;
    return p;
}

GpsFix Fix(double lon, double lat, double z = 0) {
    GpsFix f;
    f.x = lon;
    f.y = lat;
    f.z = z;
    return f;
}

DatumTransformation International1924() {
    DatumTransformation d;
    d.a = 6378388.0;
    d.f = 1.0 / 297.0;
    d.method = 9603;
    d.dx = -87;
    d.dy = -98;
    d.dz = -121;
    d.datumName = u"D_European_1950";
    d.spheroidName = u"International_1924";
    return d;
}

struct Reference {
    std::string ellipsoid;
    double lat, lon;
    int zone;
    char hemisphere;
    double easting, northing;
    std::string mgrs;
};

std::vector<Reference> LoadReferences() {
    std::ifstream in(ZN_SOURCE_DIR "/tests/data/gps/position_reference.txt");
    std::vector<Reference> out;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream s(line);
        Reference r;
        s >> r.ellipsoid >> r.lat >> r.lon >> r.zone >> r.hemisphere >> r.easting >> r.northing >> r.mgrs;
        out.push_back(r);
    }
    return out;
}

// "462200.5E" -> 462200.5 (the unit letter checked).
double Number(const WString& text, char16_t unit) {
    EXPECT_FALSE(text.empty());
    if (text.empty()) return NAN;
    EXPECT_EQ(text.back(), unit) << text::ToUtf8(text);
    return std::stod(text::ToUtf8(text.substr(0, text.size() - 1)));
}

class PositionFormat_ : public MapTest {};

TEST_F(PositionFormat_, UtmAndMgrsAgainstGeoConvertAndCs2cs) {
    const auto refs = LoadReferences();
    ASSERT_EQ(refs.size(), 8u);
    for (const Reference& r : refs) {
        SCOPED_TRACE(r.ellipsoid + " " + std::to_string(r.lat) + " " + std::to_string(r.lon));
        GpsPosition p = Record(2);
        PositionInput in;
        in.position = &p;
        in.wgs84 = in.datum = Fix(r.lon, r.lat);
        if (r.ellipsoid == "intl") in.mapDatum = International1924();
        CPositionFormatter f;
        PositionTexts t;
        PositionChoices c;
        c.format = PositionFormat::Utm;
        f.Format(in, c, t);
        EXPECT_EQ(t.title, text::Format(u"UTM Zone %d%c", r.zone, r.hemisphere == 's' ? 'S' : 'N'));
        // One decimal at DGPS quality, GeoConvert's to 0.1 m.
        EXPECT_NEAR(Number(t.line1, u'E'), r.easting, 0.1001);
        EXPECT_NEAR(Number(t.line2, u'N'), r.northing, 0.1001);
        // Whole numbers below it.
        p.fixQuality = 1;
        f.Format(in, c, t);
        EXPECT_EQ(t.line1.find(u'.'), WString::npos);
        EXPECT_NEAR(Number(t.line1, u'E'), r.easting, 1.0);
        EXPECT_NEAR(Number(t.line2, u'N'), r.northing, 1.0);
        if (r.mgrs != "-") {
            c.format = PositionFormat::Mgrs;
            f.Format(in, c, t);
            EXPECT_EQ(text::ToUtf8(t.line1), r.mgrs);
            EXPECT_EQ(t.line2, u"");
            EXPECT_EQ(t.title, u"MGRS");
        }
    }
}

TEST_F(PositionFormat_, CrossingAZoneEdgeReZonesTheWindowsSystem) {
    const auto refs = LoadReferences();
    CPositionFormatter f;
    PositionChoices c;
    c.format = PositionFormat::Utm;
    PositionTexts t;
    GpsPosition p = Record(2);
    for (const char* ellipsoid : {"wgs84", "intl"}) {
        for (const Reference& r : refs) {
            if (r.ellipsoid != ellipsoid || r.lat != 50.0) continue;
            SCOPED_TRACE(r.ellipsoid + " " + std::to_string(r.lon));
            PositionInput in;
            in.position = &p;
            in.wgs84 = in.datum = Fix(r.lon, r.lat);
            if (r.ellipsoid == "intl") in.mapDatum = International1924();
            f.Format(in, c, t);
            EXPECT_EQ(f.GetUtmZone(), r.zone);
            EXPECT_EQ(t.title, text::Format(u"UTM Zone %dN", r.zone));
            EXPECT_NEAR(Number(t.line1, u'E'), r.easting, 0.1001);
            EXPECT_NEAR(Number(t.line2, u'N'), r.northing, 0.1001);
        }
    }
}

TEST_F(PositionFormat_, GeographicFormatsOnTheMapDatumAndOnWgs84) {
    GpsPosition p = Record(1);
    PositionInput in;
    in.position = &p;
    in.wgs84 = Fix(8.5, 47.3, 500.0);
    in.datum = Fix(8.50125, 47.30075, 449.9);  // the same point on another datum
    in.projected = Fix(462200.46, 5238624.13);
    in.mapDatum = International1924();
    struct Case {
        PositionFormat format;
        uint16_t quality;
        const WChar* title;
        const WChar* line1;
        const WChar* line2;
    };
    const Case cases[] = {
        {PositionFormat::MapProjection, 1, u"Map Projection", u"462200E", u"5238624N"},
        {PositionFormat::MapProjection, 2, u"Map Projection", u"462200.5E", u"5238624.1N"},
        {PositionFormat::Dms, 1, u"DMS", u" 47°18'02.700\"N", u"  8°30'04.500\"E"},
        {PositionFormat::Dmm, 1, u"DMM", u" 47°18.0450'N", u"  8°30.0750'E"},
        {PositionFormat::Dd, 1, u"DD", u"  47.30075000°", u"   8.50125000°"},
        {PositionFormat::Wgs84Dms, 1, u"WGS84 DMS", u" 47°18'N", u"  8°30'E"},
        {PositionFormat::Wgs84Dmm, 1, u"WGS84 DMM", u" 47°18.0000'N", u"  8°30.0000'E"},
        {PositionFormat::Wgs84Dd, 1, u"WGS84 DD", u"  47.30000000°", u"   8.50000000°"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.format));
        CPositionFormatter f;
        PositionChoices choices;
        choices.format = c.format;
        p.fixQuality = c.quality;
        PositionTexts t;
        f.Format(in, choices, t);
        EXPECT_EQ(t.title, c.title);
        EXPECT_EQ(t.line1, c.line1);
        EXPECT_EQ(t.line2, c.line2);
        EXPECT_EQ(t.height, u"449m");
    }
}

TEST_F(PositionFormat_, MissingAndNotFiniteValuesShowNA) {
    GpsPosition p = Record(1);
    PositionInput in;
    in.position = &p;
    in.wgs84 = in.datum = Fix(NAN, 47.3, kNoDataMeasure);
    in.projected = Fix(std::numeric_limits<double>::lowest(), 5.0);
    for (int f = 0; f < static_cast<int>(PositionFormat::Count); ++f) {
        SCOPED_TRACE(f);
        CPositionFormatter formatter;
        PositionChoices c;
        c.format = static_cast<PositionFormat>(f);
        PositionTexts t;
        formatter.Format(in, c, t);
        EXPECT_EQ(t.line1, u"N/A");
        EXPECT_EQ(t.line2, c.format == PositionFormat::Mgrs ? u"" : u"N/A");
        EXPECT_EQ(t.height, u"N/A");
    }
    // A projected value outside the projection's range.
    in.wgs84 = in.datum = Fix(8.5, 47.3);
    in.projected = Fix(INFINITY, 1.0);
    CPositionFormatter formatter;
    PositionTexts t;
    formatter.Format(in, PositionChoices{PositionFormat::MapProjection}, t);
    EXPECT_EQ(t.line1, u"N/A");
}

TEST_F(PositionFormat_, HeightAndDepth) {
    struct Case {
        HeightKind kind;
        double height, depth;
        const WChar* text;
    };
    const Case cases[] = {
        {HeightKind::AltitudeMetres, 123.9, 0, u"123m"},
        {HeightKind::AltitudeFeet, 123.9, 0, u"406ft"},  // 123.9 / 0.3048 = 406.5
        {HeightKind::AltitudeMetres, -5.7, 0, u"-5m"},
        {HeightKind::AltitudeMetres, kNoDataMeasure, 0, u"N/A"},
        {HeightKind::DepthMetres, 0, 12.7, u"12m"},
        {HeightKind::DepthFeet, 0, 12.7, u"41ft"},  // 41.7
        {HeightKind::DepthFeet, 0, NAN, u"N/A"},
    };
    for (const Case& c : cases) {
        GpsPosition p = Record();
        p.depth = c.depth;
        PositionInput in;
        in.position = &p;
        in.wgs84 = in.datum = Fix(8.5, 47.3, c.height);
        CPositionFormatter f;
        PositionChoices choices;
        choices.height = c.kind;
        PositionTexts t;
        f.Format(in, choices, t);
        EXPECT_EQ(t.height, c.text) << static_cast<int>(c.kind) << " " << c.height;
    }
    // Far beyond any integer: still the whole number, never a wrapped one.
    GpsPosition p = Record();
    PositionInput in;
    in.position = &p;
    in.wgs84 = in.datum = Fix(8.5, 47.3, 1e12);
    CPositionFormatter f;
    PositionTexts t;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.height, u"1000000000000m");
}

TEST_F(PositionFormat_, AccuracyKinds) {
    GpsPosition p = Record(1);
    p.pdop = 2.34;
    p.hdop = 1.25;
    p.vdop = 1.96;
    p.tdop = kNoDataMeasure;
    p.hpe = 3.05;
    p.vpe = NAN;
    p.epe = 12.44;
    p.satellitesUsed = 7;
    p.satellitesInView = 12;
    p.dgpsAge = 5;
    p.dgpsStation = 42;
    struct Case {
        AccuracyKind kind;
        uint16_t quality;
        const WChar* label;
        const WChar* value;
    };
    const Case cases[] = {
        {AccuracyKind::Pdop, 1, u"PDOP", u"2.3"}, {AccuracyKind::Hdop, 1, u"HDOP", u"1.2"},
        {AccuracyKind::Vdop, 1, u"VDOP", u"2.0"}, {AccuracyKind::Tdop, 1, u"TDOP", u"N/A"},
        {AccuracyKind::Hpe, 1, u"HPE", u"3.0m"},  {AccuracyKind::Vpe, 1, u"VPE", u"N/A"},
        {AccuracyKind::Epe, 1, u"EPE", u"12.4m"}, {AccuracyKind::Sats, 1, u"SATS", u"7/12"},
        {AccuracyKind::Dage, 1, u"DAGE", u""},    {AccuracyKind::Dage, 2, u"DAGE", u"5"},
        {AccuracyKind::Dsid, 1, u"DSID", u""},    {AccuracyKind::Dsid, 2, u"DSID", u"0042"},
    };
    for (const Case& c : cases) {
        p.fixQuality = c.quality;
        PositionInput in;
        in.position = &p;
        CPositionFormatter f;
        PositionChoices choices;
        choices.accuracy = c.kind;
        PositionTexts t;
        f.Format(in, choices, t);
        EXPECT_EQ(t.accuracyLabel, c.label);
        EXPECT_EQ(t.accuracy, c.value) << text::ToUtf8(c.label) << " quality " << c.quality;
    }
    p.satellitesUsed = 0xFFFE;  // not reported
    PositionInput in;
    in.position = &p;
    CPositionFormatter f;
    PositionTexts t;
    PositionChoices choices;
    choices.accuracy = AccuracyKind::Sats;
    f.Format(in, choices, t);
    EXPECT_EQ(t.accuracy, u"N/A");
}

TEST_F(PositionFormat_, ModeTexts) {
    struct Case {
        uint16_t quality;
        uint32_t modeBits;
        const WChar* text;
    };
    for (const Case& c : {Case{0, 1, u"NOFIX"}, Case{1, 1, u"3D"}, Case{1, 0, u"2D"}, Case{2, 1, u"DGPS 3D"},
                          Case{3, 0, u"PPS 2D"}, Case{8, 1, u"Qual8 3D"}, Case{6, 2, u"Qual6 2D"}}) {
        GpsPosition p = Record(c.quality);
        p.modeBits = c.modeBits;
        PositionInput in;
        in.position = &p;
        CPositionFormatter f;
        PositionTexts t;
        f.Format(in, PositionChoices{}, t);
        EXPECT_EQ(t.mode, c.text);
    }
}

TEST_F(PositionFormat_, TheSimulatedFixOfAReceiversLog) {
    // The receiver's simulator reports quality 8 with a 3-D mode.
    std::ifstream log(ZN_SOURCE_DIR "/tests/data/gps/GPSmap-76S.log");
    CNmeaParser parser;
    GpsPosition p = Record(0);
    int parsed = 0;
    for (std::string line; std::getline(log, line) && parsed < 40;)
        if (parser.ParseSentence(line.c_str(), &p)) ++parsed;
    ASSERT_EQ(p.fixQuality, 8);
    p.updateBits = 0xFF;
    PositionInput in;
    in.position = &p;
    CPositionFormatter f;
    PositionTexts t;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.mode, u"Qual8 3D");
}

TEST_F(PositionFormat_, SpeedCourseAndDestination) {
    struct Speed {
        double kmh;
        int units;
        const WChar* text;
    };
    const Speed speeds[] = {
        {0.35, 0, u"0.3kph"}, {9.6, 0, u"9.6kph"}, {9.96, 0, u"10.0kph"}, {10, 0, u"10kph"},
        {123.7, 0, u"123kph"}, {0.35, 1, u"0.2mph"}, {9.6, 1, u"6.0mph"}, {9.96, 1, u"6.2mph"},
        {10, 1, u"6.2mph"},      {123.7, 1, u"76mph"}, {kNoDataMeasure, 0, u""},
    };
    for (const Speed& s : speeds) {
        GpsPosition p = Record();
        p.sog = s.kmh;
        PositionInput in;
        in.position = &p;
        in.unitSystem = s.units;
        CPositionFormatter f;
        PositionTexts t;
        f.Format(in, PositionChoices{}, t);
        EXPECT_EQ(t.speed, s.text) << s.kmh << " units " << s.units;
    }

    struct Course {
        double cog, variation;
        bool magnetic;
        const WChar* text;
    };
    const Course courses[] = {
        {10.5, 20.0, false, u"10°"},  {10.5, 20.0, true, u"350°"}, {359.9, -0.5, true, u"0°"},
        {0.0, 0.0, false, u"0°"},     {kNoDataMeasure, 1, false, u""}, {10.5, NAN, true, u""},
        {725.0, 0.0, false, u"5°"},
    };
    for (const Course& c : courses) {
        GpsPosition p = Record();
        p.cog = c.cog;
        p.magneticVariation = c.variation;
        PositionInput in;
        in.position = &p;
        CPositionFormatter f;
        PositionChoices choices;
        choices.magneticCourse = c.magnetic;
        PositionTexts t;
        f.Format(in, choices, t);
        EXPECT_EQ(t.course, c.text) << c.cog << " " << c.variation << " " << c.magnetic;
    }

    GpsPosition p = Record();
    GoToDestination d;
    d.set = true;
    d.distance = 1234.5;
    d.bearing = 271.9;
    PositionInput in;
    in.position = &p;
    in.destination = &d;
    CPositionFormatter f;
    PositionTexts t;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.distance, u"1.2km");
    EXPECT_EQ(t.bearing, u"271°");
    d.distance = 456.78;
    in.unitSystem = 1;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.distance, u"0.3mi");
    d.distance = 45.678;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.distance, u"149.9ft");
    d.set = false;
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.distance, u"");
    EXPECT_EQ(t.bearing, u"");
}

TEST_F(PositionFormat_, OnlyTheUpdatedPartsChange) {
    GpsPosition p = Record(1);
    p.pdop = 2.0;
    p.sog = 50;
    PositionInput in;
    in.position = &p;
    in.wgs84 = in.datum = Fix(8.5, 47.3, 10);
    CPositionFormatter f;
    PositionTexts t;
    f.Format(in, PositionChoices{}, t);
    const PositionTexts before = t;
    p.updateBits = position_bits::kMode;
    p.fixQuality = 0;
    p.pdop = 9.0;
    p.sog = 1;
    in.wgs84 = in.datum = Fix(9.5, 48.3, 20);
    f.Format(in, PositionChoices{}, t);
    EXPECT_EQ(t.mode, u"NOFIX");
    EXPECT_EQ(t.line1, before.line1);
    EXPECT_EQ(t.height, before.height);
    EXPECT_EQ(t.accuracy, before.accuracy);
    EXPECT_EQ(t.speed, before.speed);
}

}  // namespace

namespace {

// ---- the window on the window model ----

class PositionWindow : public MapTest {
protected:
    void TearDown() override {
        win::SetPopupMenuResponder(nullptr);
        SetLastStylusPoint(POINT{0, 0});
        MapTest::TearDown();
    }
    static WString Text(HWND dlg, int id) { return GetDlgItemTextString(dlg, id); }
    // Taps a text: the click notification its parent gets.
    static void Tap(HWND dlg, int id) {
        SendMessage(dlg, WM_COMMAND, MAKEWPARAM(id, STN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dlg, id)));
    }
};

// The receiver double: a record and fixes the window reads.
class CFixedGps : public CInactiveGps {
public:
    GpsFix GetWgs84Fix() override { return wgs84; }
    GpsFix GetDatumFix() override { return datum; }
    GpsFix GetProjectedFix() override { return projected; }
    GpsPosition& Position() override { return position; }
    GpsPosition position = Record(1);
    GpsFix wgs84, datum, projected;
};

TEST_F(PositionWindow, OneWindowThatOkAndCancelClose) {
    CGps gps;
    IGps* contract = &gps;
    EXPECT_FALSE(contract->IsPositionWindowOpen());
    contract->UpdatePositionWindow(nullptr);  // no window: nothing
    contract->ShowPositionWindow();
    ASSERT_TRUE(contract->IsPositionWindowOpen());
    CGpsPositionDlg* dlg = gps.PositionWindow().Dialog();
    ASSERT_NE(dlg, nullptr);
    HWND first = dlg->GetSafeHwnd();
    contract->ShowPositionWindow();
    EXPECT_EQ(gps.PositionWindow().Dialog()->GetSafeHwnd(), first);
    EXPECT_EQ(GetWindowTextString(first), u"Position");
    for (UINT command : {UINT(IDOK), UINT(IDCANCEL)}) {
        SendMessage(gps.PositionWindow().Dialog()->GetSafeHwnd(), WM_COMMAND, command, 0);
        EXPECT_FALSE(contract->IsPositionWindowOpen());
        EXPECT_EQ(gps.PositionWindow().Dialog(), nullptr);
        contract->ShowPositionWindow();
        EXPECT_TRUE(contract->IsPositionWindowOpen());
    }
    contract->ClosePositionWindow();
    EXPECT_FALSE(contract->IsPositionWindowOpen());
}

TEST_F(PositionWindow, TextsBoldLinesAndMenus) {
    CGpsPositionWindow window;
    ASSERT_TRUE(ShowGpsPositionWindow(window, nullptr));
    CGpsPositionDlg* dlg = window.Dialog();
    HWND h = dlg->GetSafeHwnd();

    // Lines 1 and 2 share a font of weight 900, 1.1 times the text's height.
    LOGFONT base{}, bold{};
    HFONT baseFont = reinterpret_cast<HFONT>(SendMessage(GetDlgItem(h, IDC_POSITION_HEIGHT), WM_GETFONT, 0, 0));
    if (!baseFont) baseFont = reinterpret_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    ASSERT_EQ(GetObject(baseFont, sizeof base, &base), int(sizeof base));
    for (int id : {IDC_POSITION_LINE1, IDC_POSITION_LINE2}) {
        HFONT f = reinterpret_cast<HFONT>(SendMessage(GetDlgItem(h, id), WM_GETFONT, 0, 0));
        EXPECT_EQ(f, dlg->GetBoldFont());
        ASSERT_EQ(GetObject(f, sizeof bold, &bold), int(sizeof bold));
        EXPECT_EQ(bold.lfWeight, 900);
        EXPECT_EQ(bold.lfHeight, static_cast<LONG>(base.lfHeight * 1.1));
    }

    CFixedGps gps;
    gps.position.pdop = 2.5;
    gps.position.hdop = 1.5;
    gps.position.cog = 10.0;
    gps.position.magneticVariation = 20.0;
    gps.position.sog = 12.0;
    gps.wgs84 = gps.datum = Fix(8.5, 47.3, 100);
    gps.projected = Fix(462200.5, 5238624.1);
    window.UpdateStatus(nullptr, &gps, nullptr);
    EXPECT_EQ(GetWindowTextString(h), u"DMS");
    EXPECT_EQ(Text(h, IDC_POSITION_LINE1), u" 47°18'N");
    EXPECT_EQ(Text(h, IDC_POSITION_HEIGHT), u"100m");
    EXPECT_EQ(Text(h, IDC_POSITION_MODE), u"3D");
    EXPECT_EQ(Text(h, IDC_POSITION_ACCURACY_LABEL), u"PDOP");
    EXPECT_EQ(Text(h, IDC_POSITION_ACCURACY), u"2.5");
    EXPECT_EQ(Text(h, IDC_POSITION_COURSE_LABEL), u"TCOG");
    EXPECT_EQ(Text(h, IDC_POSITION_COURSE), u"10°");
    EXPECT_EQ(Text(h, IDC_POSITION_SOG), u"12kph");
    // For review: the window as drawn, when a folder for pictures is named.
    if (const char* shots = getenv("ZN_SHOT_DIR")) {
        for (int prn : {3, 7, 12, 22}) {
            GpsSatellite& sat = gps.position.satellites[prn - 1];
            sat.elevation = static_cast<int16_t>(prn * 6);
            sat.azimuth = static_cast<int16_t>(prn * 29);
            sat.snr = 20.0 + prn * 2;
            sat.flags = ZN_GPS_SAT_IN_VIEW | (prn == 7 ? ZN_GPS_SAT_USED : 0);
        }
        gps.position.satellitesInView = 4;
        window.UpdateStatus(nullptr, &gps, nullptr);
        InvalidateRect(h, nullptr, true);
        UpdateWindow(h);
        for (HWND child : GetChildren(h)) UpdateWindow(child);
        viewtest::WriteBmp(std::string(shots) + "/position_live.bmp", win::GetWindowSurface(h));
    }

    // Each menu opens at the last stylus point with the current choice
    // ticked; a choice changes the texts, a dismissed menu nothing.
    struct Step {
        int tapped;
        int tickedPosition;
        UINT choose;  // 0 dismisses
        int shownId;
        const WChar* shown;
    };
    const Step steps[] = {
        {IDC_POSITION_LINE2, 1, 1, IDC_POSITION_LINE1, u"462200E"},
        {IDC_POSITION_LINE1, 0, 0, IDC_POSITION_LINE1, u"462200E"},
        {IDC_POSITION_LINE1, 0, 4, IDC_POSITION_LINE1, u"  47.30000000°"},
        {IDC_POSITION_HEIGHT, 0, 2, IDC_POSITION_HEIGHT, u"328ft"},
        {IDC_POSITION_COURSE, 0, 2, IDC_POSITION_COURSE, u"350°"},
        {IDC_POSITION_COURSE_LABEL, 1, 0, IDC_POSITION_COURSE_LABEL, u"MCOG"},
        {IDC_POSITION_ACCURACY_LABEL, 0, 2, IDC_POSITION_ACCURACY, u"1.5"},
        {IDC_POSITION_ACCURACY, 1, 0, IDC_POSITION_ACCURACY_LABEL, u"HDOP"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.tapped);
        SetLastStylusPoint(POINT{33, 44});
        int opened = 0;
        win::SetPopupMenuResponder([&](HMENU menu, POINT at, HWND owner) -> UINT {
            ++opened;
            EXPECT_EQ(owner, h);
            EXPECT_EQ(at.x, 33);
            EXPECT_EQ(at.y, 44);
            const int n = GetMenuItemCount(menu);
            for (int i = 0; i < n; ++i)
                EXPECT_EQ((GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_CHECKED) != 0,
                          i == s.tickedPosition)
                    << i;
            return s.choose;
        });
        Tap(h, s.tapped);
        EXPECT_EQ(opened, 1);
        EXPECT_EQ(Text(h, s.shownId), s.shown);
    }
    EXPECT_EQ(GetWindowTextString(h), u"DD");
    window.Close();
    EXPECT_FALSE(window.IsOpen());
    // The choices outlive the window.
    EXPECT_EQ(window.Choices().format, PositionFormat::Dd);
    EXPECT_TRUE(window.Choices().magneticCourse);
}

}  // namespace
