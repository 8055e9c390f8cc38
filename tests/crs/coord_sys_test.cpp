// The coordinate system base: geocentric conversions, range test, units,
// equality, prime meridian, datum rows, script object and live count.
#include "crs/coord_sys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "crs/code_tables.h"
#include "crs/geographic.h"
#include "crs/stereographic.h"
#include "crs/transverse_mercator.h"
#include "reference_table.h"

using namespace crs_test;

namespace {

// Against cct +proj=cart: the forward is exact; Bowring's closed-form inverse
// holds 1e-9 degrees and 1e-8 m for latitudes to 89.9 and heights to 10 km.
TEST(Geocentric, MatchesCctBothWays) {
    const ReferenceTable t = ReadReferenceTable("cart_wgs84");
    ASSERT_GE(t.rows.size(), 20u);
    for (const auto& r : t.rows) {
        const double lon = r[0], lat = r[1], h = r[2];
        double X, Y, Z;
        GeodeticToGeocentric(Wgs84Datum(), lon, lat, h, &X, &Y, &Z);
        EXPECT_NEAR(X, r[3], 1e-7) << lon << " " << lat << " " << h;
        EXPECT_NEAR(Y, r[4], 1e-7);
        EXPECT_NEAR(Z, r[5], 1e-7);

        double glon, glat, gh;
        GeocentricToGeodetic(Wgs84Datum(), r[3], r[4], r[5], &glon, &glat, &gh);
        EXPECT_NEAR(glon, lon, 1e-9);
        EXPECT_NEAR(glat, lat, 1e-9);
        EXPECT_NEAR(gh, h, 1e-8);
    }
}

TEST(CoordSys, SetupDerivesTheSpheroidConstants) {
    CGeographic g;  // does not run Setup
    EXPECT_EQ(g.m_e, 0.0);
    EXPECT_EQ(g.m_e2, 0.0);
    EXPECT_EQ(g.m_b, 0.0);
    g.Setup();
    const double a = 6378137.0, f = 1 / 298.257223563;
    EXPECT_DOUBLE_EQ(g.m_b, a * (1 - f));
    EXPECT_DOUBLE_EQ(g.m_e2, f * (2 - f));
    EXPECT_DOUBLE_EQ(g.m_n, f / (2 - f));
    // GeodSolve -i "0 0 90 0": quarter meridian 10001965.729312724 m.
    EXPECT_NEAR(g.m_metersPerDegree, 10001965.729312724 / 90, 1e-9);
}

TEST(CoordSys, RangeTestAppliesToEverySystemButTheUnknownOne) {
    CGeographic geo;
    CUnknownProjection unknown;
    struct Row {
        double lon, lat;
        bool geographicPasses;
    };
    const Row rows[] = {
        {180, 90, true},   {-180, -90, true},      {12.5, 47.25, true}, {180.000001, 0, false},
        {-200, 95, false}, {0, 90.0000001, false}, {NAN, 0, false},     {0, NAN, false},
    };
    for (const auto& r : rows) {
        double x, y;
        geo.GeographicToProjected(r.lon, r.lat, &x, &y);
        if (r.geographicPasses) {
            EXPECT_EQ(x, r.lon);
            EXPECT_EQ(y, r.lat);
        } else {
            EXPECT_TRUE(std::isnan(x) && std::isnan(y)) << r.lon << " " << r.lat;
        }
        unknown.GeographicToProjected(r.lon, r.lat, &x, &y);
        EXPECT_TRUE(x == r.lon || (std::isnan(x) && std::isnan(r.lon)));
        EXPECT_TRUE(y == r.lat || (std::isnan(y) && std::isnan(r.lat)));
    }
    double x, y;
    unknown.GeographicToProjected(500000, 4000000, &x, &y);
    EXPECT_EQ(x, 500000);
    EXPECT_EQ(y, 4000000);
}

TEST(CoordSys, UnitSettersTakeOnlyUsableCodesOfTheirClass) {
    CTransverseMercator tm;
    const int32_t rejectedLinear[] = {43006, 8901, 100001, 9102, 9020, 501001, -1};
    for (int32_t code : rejectedLinear) {
        EXPECT_FALSE(tm.SetProjectionUnit(code)) << code;
        EXPECT_EQ(tm.m_projectionUnitCode, 9001);
        EXPECT_EQ(tm.m_projectionUnitFactor, 1.0);
    }
    EXPECT_TRUE(tm.SetProjectionUnit(9002));
    EXPECT_EQ(tm.m_projectionUnitFactor, 0.3048);
    EXPECT_TRUE(tm.SetProjectionUnit(0));
    EXPECT_EQ(tm.m_projectionUnitFactor, 1.0);

    EXPECT_FALSE(tm.SetGeographicUnit(9001));
    EXPECT_FALSE(tm.SetGeographicUnit(8903));
    EXPECT_EQ(tm.m_geographicUnitCode, 9102);
    EXPECT_TRUE(tm.SetGeographicUnit(9105));
    EXPECT_EQ(tm.m_geographicUnitFactor, 0.015707963267948967);
}

// Projected coordinates are divided by the unit factor after the forward and
// multiplied before the inverse; the false origin is in projection units.
TEST(CoordSys, FeetUnitScalesAroundTheFalseOrigin) {
    CTransverseMercator m, ft;
    for (CTransverseMercator* s : {&m, &ft}) {
        s->SetDatum(Wgs84Datum());
        s->SetUtmZone(32);
    }
    ASSERT_TRUE(ft.SetProjectionUnit(9002));
    ft.m_falseEasting = 500000.0 / 0.3048;
    double xm, ym, xf, yf;
    m.GeographicToProjected(10.5, 48, &xm, &ym);
    ft.GeographicToProjected(10.5, 48, &xf, &yf);
    EXPECT_DOUBLE_EQ(xf, 500000.0 / 0.3048 + (xm - 500000.0) / 0.3048);
    EXPECT_DOUBLE_EQ(yf, ym / 0.3048);
    double lon, lat;
    ft.ProjectedToGeographic(xf, yf, &lon, &lat);
    EXPECT_NEAR(lon, 10.5, 3e-8);
    EXPECT_NEAR(lat, 48, 3e-8);
}

std::unique_ptr<CTransverseMercator> Zone32() {
    auto s = std::make_unique<CTransverseMercator>();
    s->SetDatum(Wgs84Datum());
    s->SetUtmZone(32);
    return s;
}

TEST(CoordSys, IsEqualComparesParametersSpheroidUnitsAndDatum) {
    struct Row {
        const char* what;
        void (*change)(CTransverseMercator&);
        bool equal;
    };
    const Row rows[] = {
        {"nothing", [](CTransverseMercator&) {}, true},
        {"names", [](CTransverseMercator& s) { s.m_projectedName = s.m_geographicName = u"x"; },
         true},
        {"datum name", [](CTransverseMercator& s) { s.m_datum.datumName = u"D_WGS_1984"; }, true},
        {"prime meridian code", [](CTransverseMercator& s) { s.m_primeMeridianCode = 8903; }, true},
        {"false easting by 1e-6", [](CTransverseMercator& s) { s.m_falseEasting += 1e-6; }, false},
        {"false easting by 1 ulp",
         [](CTransverseMercator& s) { s.m_falseEasting = std::nextafter(500000.0, 1e9); }, true},
        {"projection unit", [](CTransverseMercator& s) { s.SetProjectionUnit(9002); }, false},
        {"geographic unit", [](CTransverseMercator& s) { s.SetGeographicUnit(9105); }, false},
        {"datum shift", [](CTransverseMercator& s) { s.m_datum.dx = -87; }, false},
        {"datum method", [](CTransverseMercator& s) { s.m_datum.method = 9603; }, false},
        {"flattening", [](CTransverseMercator& s) { s.m_f = 1 / 298.257222101; }, false},
        {"prime meridian longitude",
         [](CTransverseMercator& s) { s.m_primeMeridianLongitude = 2.337229166666667; }, false},
        {"azimuth", [](CTransverseMercator& s) { s.m_azimuth = 1; }, false},
    };
    for (const auto& r : rows) {
        auto a = Zone32(), b = Zone32();
        r.change(*b);
        EXPECT_EQ(a->IsEqual(b.get()), r.equal) << r.what;
        EXPECT_EQ(b->IsEqual(a.get()), r.equal) << r.what;
    }
    CGaussKruger gk;
    gk.SetDatum(Wgs84Datum());
    gk.SetUtmZone(32);
    EXPECT_FALSE(Zone32()->IsEqual(&gk));  // another projection code
}

// Longitudes in and out count from Greenwich; the system's own count from its
// prime meridian (cs2cs +pm=paris).
TEST(CoordSys, PrimeMeridianIsApplied) {
    const double paris = 2.337229166666667;
    CTransverseMercator tm;
    tm.m_primeMeridianCode = 8903;
    tm.m_primeMeridianLongitude = paris;
    tm.m_scaleFactor = 1;
    tm.SetDatum(Wgs84Datum());
    for (const auto& r : ReadReferenceTable("tmerc_paris").rows) {
        double x, y, lon, lat;
        tm.GeographicToProjected(r[0], r[1], &x, &y);
        EXPECT_NEAR(x, r[2], 0.002);
        EXPECT_NEAR(y, r[3], 0.002);
        tm.ProjectedToGeographic(r[2], r[3], &lon, &lat);
        EXPECT_NEAR(lon, r[0], 3e-8);
        EXPECT_NEAR(lat, r[1], 3e-8);
    }
    CGeographic g;
    g.m_primeMeridianLongitude = paris;
    g.SetDatum(Wgs84Datum());
    for (const auto& r : ReadReferenceTable("longlat_paris").rows) {
        double x, y;
        g.GeographicToProjected(r[0], r[1], &x, &y);
        EXPECT_NEAR(x, r[2], 1e-9) << r[0];
        EXPECT_NEAR(y, r[3], 1e-9);
    }
    // Paris-based geographic -> Greenwich-based geographic.
    CGeographic greenwich;
    greenwich.SetDatum(Wgs84Datum());
    double lon, lat;
    g.ConvertTo(0, 48, &greenwich, &lon, &lat);
    EXPECT_NEAR(lon, paris, 1e-12);
    EXPECT_NEAR(lat, 48, 1e-12);
}

TEST(CoordSys, ConvertToGoesThroughGeographicAndAppliesTheTargetsRangeTest) {
    auto utm = Zone32();
    CTransverseMercator zone33;
    zone33.SetDatum(Wgs84Datum());
    zone33.SetUtmZone(33);
    // (12, 48) lies on both zones' edge: its zone 32 coordinates from the
    // reference table and its zone 33 ones (the mirror image about the
    // central meridians, 3 degrees either side) convert into each other.
    double x32 = NAN, y32 = NAN, x, y;
    for (const auto& r : ReadReferenceTable("tmerc_utm32n").rows)
        if (r[0] == 12 && r[1] == 48) x32 = r[2], y32 = r[3];
    ASSERT_FALSE(std::isnan(x32));
    const double x33 = 1000000.0 - x32, y33 = y32;
    utm->ConvertTo(x32, y32, &zone33, &x, &y);
    EXPECT_NEAR(x, x33, 0.005);
    EXPECT_NEAR(y, y33, 0.005);
    zone33.ConvertTo(x33, y33, utm.get(), &x, &y);
    EXPECT_NEAR(x, x32, 0.005);
    EXPECT_NEAR(y, y32, 0.005);

    CGeographic geo;
    geo.SetDatum(Wgs84Datum());
    CUnknownProjection unknown;
    unknown.ConvertTo(181, 10, &geo, &x, &y);  // beyond the target's range
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
}

// Numbers of an unknown projection are never taken for positions: converting
// them to or from a known system cannot be done; between unknown systems they
// stay as they are.
TEST(CoordSys, UnknownAndKnownSystemsDoNotConvert) {
    CGeographic geo;
    geo.SetDatum(Wgs84Datum());
    auto utm = Zone32();
    CUnknownProjection unknown, other;
    double x = 0, y = 0;
    unknown.ConvertTo(500000, 5300000, utm.get(), &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
    unknown.ConvertTo(10, 20, &geo, &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
    geo.ConvertTo(10, 20, &unknown, &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
    unknown.ConvertTo(500000, 5300000, &other, &x, &y);
    EXPECT_EQ(x, 500000);
    EXPECT_EQ(y, 5300000);
    unknown.ConvertTo(12.5, -3, &unknown, &x, &y);
    EXPECT_EQ(x, 12.5);
    EXPECT_EQ(y, -3);
}

// What a caller is told before converting: the first problem that applies.
// The same datum on both sides needs no shift, even one carried out by a grid.
TEST(CoordSys, ConversionProblems) {
    DatumTransformation grid = Bessel();
    grid.datumName = u"D_Grid_Only";
    grid.method = 9615;
    DatumTransformation nowhere = Wgs84Datum();
    nowhere.datumName = u"D_Nowhere";
    DatumTransformation wgs = Wgs84Datum();
    wgs.datumName = u"D_WGS_1984";  // not in the (absent) table, but WGS 1984 itself
    auto geo = [](const DatumTransformation& row) {
        auto g = std::make_unique<CGeographic>();
        g->SetDatum(row);
        return g;
    };
    CUnknownProjection unknown;
    unknown.SetDatum(grid);
    const auto gridGeo = geo(grid), gridGeo2 = geo(grid), wgsGeo = geo(wgs),
               nowhereGeo = geo(nowhere), besselGeo = geo(Bessel()),
               builtIn = geo(Wgs84Datum());
    const struct {
        const char* what;
        const CCoordSys *from, *to;
        ConversionProblem problem;
    } cases[] = {
        {"unknown projection to a known one", &unknown, wgsGeo.get(), ConversionProblem::kUnknownSystem},
        {"grid datum to another", gridGeo.get(), wgsGeo.get(), ConversionProblem::kShiftNotSupported},
        {"another to a grid datum", besselGeo.get(), gridGeo.get(), ConversionProblem::kShiftNotSupported},
        {"grid datum to itself", gridGeo.get(), gridGeo2.get(), ConversionProblem::kUnknownDatum},
        {"datum not in the table", nowhereGeo.get(), wgsGeo.get(), ConversionProblem::kUnknownDatum},
        {"WGS 1984 by its names", wgsGeo.get(), builtIn.get(), ConversionProblem::kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FindConversionProblem(*c.from, *c.to), c.problem);
    }
    // The same grid datum on both sides keeps the position.
    double x = 0, y = 0;
    gridGeo->ConvertTo(10.5, 48.25, gridGeo2.get(), &x, &y);
    EXPECT_EQ(x, 10.5);
    EXPECT_EQ(y, 48.25);
    gridGeo->ConvertTo(10.5, 48.25, wgsGeo.get(), &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
}

TEST(CoordSys, DatumRowsAndFallbacks) {
    CGeographic g;
    EXPECT_FALSE(g.SetDatumByName(u"no such datum"));  // falls back to "WGS84", and says so
    EXPECT_EQ(g.m_datum, Wgs84Datum());
    EXPECT_EQ(g.m_transformationCount, 1);
    EXPECT_EQ(g.m_a, 6378137.0);
    EXPECT_GT(g.m_e2, 0.0);  // Setup ran

    DatumTransformation bessel = Bessel();
    g.SetDatum(bessel);
    EXPECT_EQ(g.m_a, bessel.a);
    EXPECT_EQ(g.m_transformationCount, 0);
    EXPECT_TRUE(g.SetDatumRecord(nullptr));
    EXPECT_EQ(g.m_datum.datumName, u"WGS84");

    EXPECT_EQ(FindDatumById(0), FindDatumByName(u"wgs84"));
    EXPECT_EQ(FindDatumByTransformId(0), FindDatumByName(u"WGS84"));
    EXPECT_EQ(FindDatumByName(u"D_North_American_1927"), nullptr);
    EXPECT_TRUE(IsWgs84Identity(Wgs84Datum()));
    DatumTransformation shifted = Wgs84Datum();
    shifted.method = 9603;  // an explicit method is not an identity
    EXPECT_FALSE(IsWgs84Identity(shifted));
}

// Rows are kept by pointer (the GPS receiver, the datum dialogs): the table
// stays when the last coordinate system goes. Under ASan a freed table shows
// here as a use-after-free.
TEST(CoordSys, DatumRowsOutliveTheLastSystem) {
    ASSERT_EQ(CCoordSys::LiveCount(), 0);
    {
        CGeographic g;
        g.SetDatumByName(u"WGS84");
    }
    const DatumTransformation* row = FindDatumByName(u"WGS84");
    ASSERT_NE(row, nullptr);
    {
        CGeographic g;
        g.SetDatum(*row);
    }
    ASSERT_EQ(CCoordSys::LiveCount(), 0);
    EXPECT_EQ(row->a, 6378137.0);
    EXPECT_EQ(row->datumName, u"WGS84");
}

TEST(CoordSys, LiveCountCountsEmbeddedSystems) {
    const int32_t before = CCoordSys::LiveCount();
    {
        CDoubleStereographic ds;  // owns a spherical stereographic
        EXPECT_EQ(CCoordSys::LiveCount(), before + 2);
        auto tm = std::make_unique<CTransverseMercator>();
        EXPECT_EQ(CCoordSys::LiveCount(), before + 3);
    }
    EXPECT_EQ(CCoordSys::LiveCount(), before);
}

class RecordingScriptObject : public ICoordSysScriptObject {
public:
    uint32_t AddRef() override {
        log += "A";
        return ++refs;
    }
    uint32_t Release() override {
        log += "R";
        return --refs;
    }
    void DetachCoordSys() override { log += "D"; }
    uint32_t refs = 1;
    std::string log;
};

// The script object keeps a plain pointer to its system, so the system tells
// it to forget that pointer before letting go of it.
TEST(CoordSys, ScriptObjectIsDetachedBeforeRelease) {
    RecordingScriptObject object;
    {
        auto s = std::make_unique<CGeographic>();
        s->AttachScriptObject(&object);
        EXPECT_EQ(object.refs, 2u);
        s->AttachScriptObject(&object);  // the same object again: no second reference
        EXPECT_EQ(object.refs, 2u);
    }
    EXPECT_EQ(object.log, "ADR");
    EXPECT_EQ(object.refs, 1u);
}

}  // namespace
