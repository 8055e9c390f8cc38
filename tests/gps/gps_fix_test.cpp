// The receiver's fix pipeline (receiver datum -> WGS 1984 -> map datum ->
// projection) against PROJ and GeoConvert (tools/gps_fix_reference.sh), the
// quality checks and averaging. No port is opened here.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>

#include "../crs/reference_table.h"
#include "../formats/dbf_test_util.h"
#include "crs/geographic.h"
#include "crs/transverse_mercator.h"
#include "gps/gps.h"
#include "gps/gps_position.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "platform/win/msgbox.h"
#include "resources/zres.h"
#include "tools/datum_table_writer.h"

namespace {

DatumFileRow Osgb36() {
    DatumFileRow r;
    r.datumId = 6277;
    r.transformationId = 1314;
    r.datum = u"D_OSGB_1936";
    r.spheroid = u"Airy_1830";
    r.a = 6377563.396;
    r.inverseFlattening = 299.3249646;
    r.method = u"Position_Vector";
    r.dx = 446.448;
    r.dy = -125.157;
    r.dz = 542.06;
    r.rx = 0.15;
    r.ry = 0.247;
    r.rz = 0.842;
    r.ds = -20.489;
    return r;
}

DatumFileRow Nad27() {
    DatumFileRow r;
    r.datumId = 6267;
    r.transformationId = 1173;
    r.datum = u"D_North_American_1927";
    r.spheroid = u"Clarke_1866";
    r.a = 6378206.4;
    r.inverseFlattening = 294.978698213898;
    r.method = u"Geocentric_Translation";
    r.dx = -8;
    r.dy = 160;
    r.dz = 176;
    return r;
}

struct FiredEvent {
    int id;
    IDispatch* source;
};

class RecordingScripts : public IScriptServices {
public:
    void FireScriptEvent(IDispatch* source, int eventId, bool, int) override {
        fired.push_back({eventId, source});
    }
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return nullptr; }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
    std::vector<FiredEvent> fired;
};

class GpsFixTest : public DbfRootTest {
protected:
    void SetUp() override {
        DbfRootTest::SetUp();
        ResetPreferencesForTests();
        ASSERT_TRUE(WriteDatumTable(u"\\znDatums.dbf", {Osgb36(), Nad27()}));
        ASSERT_TRUE(SetDatumTableFile(u"\\znDatums.dbf"));
        SetScriptServices(&scripts_);
        script_ = CreatePlainScriptObject();
        gps_.SetScriptObject(script_);
    }
    void TearDown() override {
        SetScriptServices(nullptr);
        script_->Release();
        SetDatumTableFile(u"");
        ResetPreferencesForTests();
        DbfRootTest::TearDown();
    }
    PreferencesData::Gps& Prefs() { return GetPreferences()->Data().gps; }
    // A fix with a position, a fix quality and the given PDOP and EPE.
    void Fix(double lon, double lat, double height = 10, uint16_t quality = 1) {
        GpsPosition& p = gps_.Position();
        p.longitude = lon;
        p.latitude = lat;
        p.height = height;
        p.fourth = 0;
        p.fixQuality = quality;
    }

    RecordingScripts scripts_;
    IDispatch* script_ = nullptr;
    CGps gps_;
};

}  // namespace

TEST_F(GpsFixTest, PipelineAgreesWithProjAndGeoConvert) {
    const auto table = crs_test::ReadReferenceTable("../gps/fix_pipeline");
    auto col = [&](const std::vector<double>& row, const char* name) {
        return row[table.Column(name)];
    };
    ASSERT_EQ(table.rows.size(), 64u);
    for (const auto& row : table.rows) {
        const bool osgb = col(row, "receiver") != 0, nad27 = col(row, "map") != 0,
                   utm = col(row, "utm") != 0;
        const bool useHeight = col(row, "useheight") != 0;
        SCOPED_TRACE(testing::Message() << "receiver " << osgb << " map " << nad27 << " utm " << utm
                                        << " useheight " << useHeight << " at " << col(row, "lon")
                                        << " " << col(row, "lat") << " " << col(row, "h"));
        Prefs().useheight = useHeight;
        EXPECT_EQ(gps_.SetDatum(osgb ? u"D_OSGB_1936" : u"WGS84"), true);
        std::unique_ptr<CCoordSys> map;
        if (utm) {
            auto tm = std::make_unique<CTransverseMercator>();
            tm->SetDatum(nad27 ? *FindDatumByName(u"D_North_American_1927") : Wgs84Datum());
            tm->SetUtmZone(30);
            map = std::move(tm);
        } else {
            map = std::make_unique<CGeographic>();
            map->SetDatum(nad27 ? *FindDatumByName(u"D_North_American_1927") : Wgs84Datum());
        }
        Fix(col(row, "lon"), col(row, "lat"), col(row, "h"));
        gps_.Position().fourth = 7;
        ASSERT_TRUE(gps_.UpdatePosition(map.get(), &gps_.Position()));
        const GpsFix w = gps_.GetWgs84Fix(), d = gps_.GetDatumFix(), p = gps_.GetProjectedFix();
        EXPECT_NEAR(w.x, col(row, "wlon"), 1e-9);
        EXPECT_NEAR(w.y, col(row, "wlat"), 1e-9);
        EXPECT_NEAR(w.z, col(row, "wh"), 1e-3);
        EXPECT_NEAR(d.x, col(row, "dlon"), 1e-9);
        EXPECT_NEAR(d.y, col(row, "dlat"), 1e-9);
        const double tolerance = utm ? 1e-3 : 1e-9;
        EXPECT_NEAR(p.x, col(row, "x"), tolerance);
        EXPECT_NEAR(p.y, col(row, "y"), tolerance);
        // Height and fourth value are the WGS 1984 fix's in every fix.
        EXPECT_EQ(d.z, w.z);
        EXPECT_EQ(p.z, w.z);
        EXPECT_EQ(d.m, 7.0);
        EXPECT_EQ(p.m, 7.0);
    }
}

// A position that is not a number is never shifted, projected or averaged;
// a missing height shifts at height 0 and stays missing.
TEST_F(GpsFixTest, FixesWithoutDataAreRefusedAndMissingHeightsKept) {
    CTransverseMercator map;
    map.SetDatum(*FindDatumByName(u"D_North_American_1927"));
    map.SetUtmZone(30);
    ASSERT_TRUE(gps_.SetDatum(u"D_OSGB_1936"));
    Prefs().useheight = true;
    gps_.StartAveraging();
    for (double bad : {double(NAN), double(INFINITY), kGpsNoData}) {
        for (int which = 0; which < 2; ++which) {
            Fix(which ? bad : -1.5, which ? 52.5 : bad);
            EXPECT_FALSE(gps_.UpdatePosition(&map, &gps_.Position()));
            for (const GpsFix& f :
                 {gps_.GetWgs84Fix(), gps_.GetDatumFix(), gps_.GetProjectedFix()}) {
                EXPECT_TRUE(IsNoData(f.x) && IsNoData(f.y) && IsNoData(f.z));
            }
        }
    }
    EXPECT_EQ(gps_.GetAveragedCount(), 0);

    for (double noHeight : {double(NAN), kGpsNoData}) {
        Fix(-1.5, 52.5, noHeight);
        ASSERT_TRUE(gps_.UpdatePosition(&map, &gps_.Position()));
        // At height 0 the shift is the reference table's first row.
        EXPECT_NEAR(gps_.GetWgs84Fix().x, -1.501487985061, 1e-9);
        EXPECT_NEAR(gps_.GetWgs84Fix().y, 52.500373810363, 1e-9);
        EXPECT_TRUE(std::isfinite(gps_.GetProjectedFix().x) &&
                    std::isfinite(gps_.GetProjectedFix().y));
        EXPECT_TRUE(IsNoData(gps_.GetWgs84Fix().z));
        EXPECT_TRUE(IsNoData(gps_.GetProjectedFix().z));
    }
    EXPECT_EQ(gps_.GetAveragedCount(), 2);
    EXPECT_TRUE(IsNoData(gps_.GetAveragedDatumFix().z));
    EXPECT_TRUE(std::isfinite(gps_.GetAveragedFix().x));
}

// The receiver keeps its own copy of the datum row: loading another table
// frees the rows it was found in.
TEST_F(GpsFixTest, ReceiverDatumSurvivesAReloadedTable) {
    EXPECT_TRUE(gps_.SetDatum(u"d_osgb_1936"));
    const DatumTransformation before = gps_.ReceiverDatum();
    ASSERT_TRUE(WriteDatumTable(u"\\other.dbf", {Nad27()}));
    ASSERT_TRUE(SetDatumTableFile(u"\\other.dbf"));
    EXPECT_EQ(gps_.ReceiverDatum(), before);
    EXPECT_EQ(gps_.ReceiverDatum().method, 9606);
    Fix(-1.5, 52.5, 0);
    CGeographic map;
    ASSERT_TRUE(gps_.UpdatePosition(&map, &gps_.Position()));
    EXPECT_NEAR(gps_.GetWgs84Fix().x, -1.501487985061, 1e-9);

    // A name the table lacks: WGS 1984, reported as not found.
    EXPECT_FALSE(gps_.SetDatum(u"D_Nowhere"));
    EXPECT_EQ(gps_.ReceiverDatum(), Wgs84Datum());
    ASSERT_TRUE(gps_.UpdatePosition(&map, &gps_.Position()));
    EXPECT_EQ(gps_.GetWgs84Fix().x, -1.5);
}

// A receiver datum or map datum whose shift we do not carry out gives fixes
// without data and says so once per receiver datum / map system pair, not
// at every fix; a pair that converts says nothing.
TEST_F(GpsFixTest, UnconvertibleDatumIsToldOncePerPair) {
    DatumFileRow grid = Nad27();
    grid.datumId = 9999;
    grid.transformationId = 9998;
    grid.datum = u"D_Grid_Only";
    grid.method = u"NTv2";
    grid.dx = grid.dy = grid.dz = 0;
    ASSERT_TRUE(WriteDatumTable(u"\\grid.dbf", {Osgb36(), Nad27(), grid}));
    ASSERT_TRUE(SetDatumTableFile(u"\\grid.dbf"));
    const struct {
        const char16_t* receiver;
        const char16_t* map;  // the map's datum
        bool converts;
    } rows[] = {
        {u"D_Grid_Only", u"WGS84", false},
        {u"WGS84", u"D_Grid_Only", false},
        {u"D_Grid_Only", u"D_North_American_1927", false},
        {u"D_OSGB_1936", u"D_North_American_1927", true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(text::ToUtf8(r.receiver) + " -> " + text::ToUtf8(r.map));
        win::ClearMessageBoxLog();
        CGps gps;
        ASSERT_TRUE(gps.SetDatum(r.receiver));
        CGeographic map;
        map.SetDatumByName(r.map);
        for (int i = 0; i < 20; ++i) {
            gps.Position().longitude = -1.5 + i * 1e-4;
            gps.Position().latitude = 52.5;
            gps.Position().height = 0;
            EXPECT_EQ(gps.UpdatePosition(&map, &gps.Position()), r.converts);
            EXPECT_EQ(std::isfinite(gps.GetProjectedFix().x) && !IsNoData(gps.GetProjectedFix().x),
                      r.converts);
        }
        const std::vector<win::MessageBoxRecord> told = win::MessageBoxLog();
        if (r.converts) {
            EXPECT_TRUE(told.empty());
            continue;
        }
        ASSERT_EQ(told.size(), 1u);
        EXPECT_EQ(told[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
        const WString head = LoadMapString(IDP_DATUM_SHIFT_NOT_SUPPORTED);
        ASSERT_FALSE(head.empty());
        EXPECT_EQ(told[0].text.substr(0, head.find(u'%')), head.substr(0, head.find(u'%')));
        EXPECT_NE(told[0].text.find(u"D_Grid_Only"), WString::npos) << text::ToUtf8(told[0].text);

        // Another pair is told afresh; coming back to this one tells it again.
        ASSERT_TRUE(gps.SetDatum(u"D_OSGB_1936"));
        map.SetDatumByName(u"D_North_American_1927");
        EXPECT_TRUE(gps.UpdatePosition(&map, &gps.Position()));
        EXPECT_EQ(win::MessageBoxLog().size(), 1u);
        ASSERT_TRUE(gps.SetDatum(r.receiver));
        map.SetDatumByName(r.map);
        EXPECT_FALSE(gps.UpdatePosition(&map, &gps.Position()));
        EXPECT_FALSE(gps.UpdatePosition(&map, &gps.Position()));
        EXPECT_EQ(win::MessageBoxLog().size(), 2u);
    }
}

// A datum needs no shift to itself, even one whose only shift is a grid we
// do not carry out: its fixes are projected as received, and nothing is
// said. A map in a projection we do not know takes no position (its units
// are not degrees), whatever the receiver's datum, and says so once.
TEST_F(GpsFixTest, SameDatumNeedsNoShiftAndAnUnknownProjectionTakesNoPosition) {
    DatumFileRow grid = Nad27();
    grid.datumId = 9999;
    grid.transformationId = 9998;
    grid.datum = u"D_Grid_Only";
    grid.method = u"NTv2";
    grid.dx = grid.dy = grid.dz = 0;
    ASSERT_TRUE(WriteDatumTable(u"\\grid.dbf", {Osgb36(), Nad27(), grid}));
    ASSERT_TRUE(SetDatumTableFile(u"\\grid.dbf"));
    enum Map { kGeographic, kUtm30, kUnknown };
    const double none = NAN;
    const struct {
        const char16_t* receiver;
        const char16_t* map;  // the map's datum
        Map kind;
        double x, y;  // NaN: no position
        size_t told;
    } rows[] = {
        // The received position itself.
        {u"D_Grid_Only", u"D_Grid_Only", kGeographic, -1.5, 52.5, 0},
        // cct: +proj=utm +zone=30 +ellps=clrk66 at -1.5 52.5.
        {u"D_Grid_Only", u"D_Grid_Only", kUtm30, 601825.101391, 5817491.789561, 0},
        {u"WGS84", u"WGS84", kUnknown, none, none, 1},
        {u"D_OSGB_1936", u"D_North_American_1927", kUnknown, none, none, 1},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(text::ToUtf8(r.receiver) + " -> " + text::ToUtf8(r.map) + " kind " +
                     std::to_string(r.kind));
        win::ClearMessageBoxLog();
        CGps gps;
        ASSERT_TRUE(gps.SetDatum(r.receiver));
        std::unique_ptr<CCoordSys> map;
        if (r.kind == kUtm30) {
            auto tm = std::make_unique<CTransverseMercator>();
            ASSERT_TRUE(tm->SetDatumByName(r.map));
            tm->SetUtmZone(30);
            map = std::move(tm);
        } else {
            if (r.kind == kUnknown)
                map = std::make_unique<CUnknownProjection>();
            else
                map = std::make_unique<CGeographic>();
            ASSERT_TRUE(map->SetDatumByName(r.map));
        }
        const bool converts = !std::isnan(r.x);
        for (int i = 0; i < 5; ++i) {
            gps.Position().longitude = -1.5;
            gps.Position().latitude = 52.5;
            gps.Position().height = 10;
            EXPECT_EQ(gps.UpdatePosition(map.get(), &gps.Position()), converts);
            const GpsFix p = gps.GetProjectedFix();
            if (!converts) {
                EXPECT_TRUE(IsNoData(p.x) && IsNoData(p.y)) << p.x << " " << p.y;
            } else if (r.kind == kGeographic) {
                EXPECT_EQ(p.x, r.x);
                EXPECT_EQ(p.y, r.y);
            } else {
                EXPECT_NEAR(p.x, r.x, 1e-3);
                EXPECT_NEAR(p.y, r.y, 1e-3);
            }
        }
        EXPECT_EQ(win::MessageBoxLog().size(), r.told);
    }
}

TEST_F(GpsFixTest, QualityChecks) {
    struct Case {
        bool active;
        double value;  // PDOP or EPE
        bool passes;
    } cases[] = {
        {true, kGpsNoData, true}, {true, NAN, true},   {true, 0.0, true}, {true, 4.0, true},
        {true, 4.01, false},      {false, 4.01, true}, {false, 99, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.active << " " << c.value);
        Prefs().pdopActive = Prefs().epeActive = c.active;
        Prefs().pdopMaximum = Prefs().epeMaximum = 4.0;
        gps_.Position().pdop = c.value;
        gps_.Position().epe = 1.0;
        EXPECT_EQ(gps_.CheckMaxPdop(), c.passes);
        EXPECT_TRUE(gps_.CheckMaxEpe());
        gps_.Position().epe = c.value;
        gps_.Position().pdop = 1.0;
        EXPECT_EQ(gps_.CheckMaxEpe(), c.passes);
        EXPECT_TRUE(gps_.CheckMaxPdop());
    }

    GpsPosition& p = gps_.Position();
    p.modeBits = 0;
    EXPECT_TRUE(gps_.Check3D());
    Prefs().mode3d = true;
    EXPECT_FALSE(gps_.Check3D());
    p.modeBits = 1;
    EXPECT_TRUE(gps_.Check3D());
    p.fixQuality = 1;
    EXPECT_TRUE(gps_.CheckDgps());
    Prefs().modeDgps = true;
    EXPECT_FALSE(gps_.CheckDgps());
    p.fixQuality = 2;
    EXPECT_TRUE(gps_.CheckDgps());

    // Acceptable: a fix, then PDOP, EPE, DGPS and 3-D.
    Prefs().pdopActive = Prefs().epeActive = true;
    p.pdop = p.epe = 1.0;
    EXPECT_TRUE(gps_.IsPositionAcceptable());
    for (int failing = 0; failing < 5; ++failing) {
        p.fixQuality = failing == 0 ? 0 : failing == 3 ? 1 : 2;
        p.pdop = failing == 1 ? 9.0 : 1.0;
        p.epe = failing == 2 ? 9.0 : 1.0;
        p.modeBits = failing == 4 ? 0 : 1;
        EXPECT_FALSE(gps_.IsPositionAcceptable()) << failing;
        EXPECT_EQ(gps_.HasFix(), failing != 0);
    }
    gps_.InvalidateFix();
    EXPECT_FALSE(gps_.HasFix());
    EXPECT_TRUE(p.updateBits & ZN_GPS_UPDATE_FIX);
}

TEST_F(GpsFixTest, AveragingEventsLevelAndTheAntimeridian) {
    CGeographic map;
    gps_.StartAveraging();
    EXPECT_TRUE(gps_.Position().stateBits & ZN_GPS_STATE_AVERAGING);
    // With quality control on, fixes without a fix quality are skipped.
    Prefs().qualitycontrolLevel = 1;
    const double fixes[][3] = {
        {179.9, 10, 0}, {-179.9, 11, 1}, {179.8, 12, 1}, {-179.7, 13, 1}, {-179.8, 14, 0}};
    for (const auto& f : fixes) {
        Fix(f[0], f[1], 100, static_cast<uint16_t>(f[2]));
        EXPECT_TRUE(gps_.UpdatePosition(&map, &gps_.Position()));
    }
    EXPECT_EQ(gps_.GetAveragedCount(), 3);
    // -179.9, 179.8 and -179.7: mean -179.933..., not near 0.
    EXPECT_NEAR(gps_.GetAveragedDatumFix().x, -179.9333333333333, 1e-9);
    EXPECT_NEAR(gps_.GetAveragedDatumFix().y, 12.0, 1e-12);
    EXPECT_EQ(gps_.GetAveragedDatumFix().z, 100.0);
    EXPECT_NEAR(gps_.GetAveragedFix().x, -179.9333333333333, 1e-9);

    // Without quality control every fix counts; a mean past 180 wraps.
    gps_.StartAveraging();
    Prefs().qualitycontrolLevel = 0;
    for (double lon : {179.9, -179.7}) {
        Fix(lon, 0, 0, 0);
        gps_.UpdatePosition(&map, &gps_.Position());
    }
    EXPECT_EQ(gps_.GetAveragedCount(), 2);
    EXPECT_NEAR(gps_.GetAveragedDatumFix().x, -179.9, 1e-9);

    gps_.StopAveraging();
    gps_.StopAveraging();  // not averaging: no second event
    EXPECT_FALSE(gps_.Position().stateBits & ZN_GPS_STATE_AVERAGING);
    Fix(1, 1);
    gps_.UpdatePosition(&map, &gps_.Position());
    EXPECT_EQ(gps_.GetAveragedCount(), 2);
    std::vector<int> ids;
    for (const FiredEvent& e : scripts_.fired) {
        ids.push_back(e.id);
        EXPECT_EQ(e.source, script_);
    }
    EXPECT_EQ(ids, (std::vector<int>{36, 36, 37}));
}
