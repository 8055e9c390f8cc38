// Every projection, forward and inverse, against the reference tables made by
// cs2cs and GeoConvert. The tolerance of each table is the accuracy its class
// states; the largest error met is printed, so a drift shows before it fails.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>

#include "crs/albers.h"
#include "crs/code_tables.h"
#include "crs/cylindrical_equal_area.h"
#include "crs/lambert_conformal_conic.h"
#include "crs/nz_map_grid.h"
#include "crs/stereographic.h"
#include "crs/transverse_mercator.h"
#include "reference_table.h"

using namespace crs_test;

namespace {

struct Tolerance {
    double forward;  // projection units
    double inverse;  // degrees (longitude error scaled by cos(lat))
};

struct Case {
    const char* table;
    std::function<std::unique_ptr<CCoordSys>()> make;
    std::function<Tolerance(double lon, double lat)> tolerance;
};

template <class T>
std::unique_ptr<CCoordSys> Make(const DatumTransformation& spheroid,
                                const std::function<void(T&)>& set) {
    auto s = std::make_unique<T>();
    set(*s);
    s->SetDatum(spheroid);  // copies a and f and runs Setup
    return s;
}

std::unique_ptr<CCoordSys> Utm(int zone) {
    auto s = std::make_unique<CTransverseMercator>();
    s->SetDatum(Wgs84());
    s->SetUtmZone(zone);
    return s;
}

std::function<Tolerance(double, double)> Fixed(double forward, double inverse) {
    return [=](double, double) { return Tolerance{forward, inverse}; };
}

// Kruger's series hold a millimetre and 1e-9 degrees well beyond a zone
// (New Zealand's grid reaches 10.5 degrees out to the Chatham Islands).
std::function<Tolerance(double, double)> TmBands(double, double unitsPerMetre = 1.0) {
    return [=](double, double) { return Tolerance{0.001 * unitsPerMetre, 1e-9}; };
}

const double kUsFoot = 0.30480060960121924;

const Case kCases[] = {
    {"tmerc_utm32n", [] { return Utm(32); }, TmBands(9)},
    {"tmerc_utm33s", [] { return Utm(-33); }, TmBands(15)},
    {"tmerc_gk3_bessel",
     [] {
         return Make<CGaussKruger>(Bessel(), [](CGaussKruger& s) {
             s.m_centralMeridian = 9;
             s.m_scaleFactor = 1;
             s.m_falseEasting = 3500000;
         });
     },
     TmBands(9)},
    {"tmerc_us_feet",
     [] {
         return Make<CTransverseMercator>(Grs80(), [](CTransverseMercator& s) {
             s.m_latitudeOfOrigin = 31;
             s.m_centralMeridian = -111.9166666666667;
             s.m_scaleFactor = 0.9999;
             EXPECT_TRUE(s.SetProjectionUnit(9003));
             s.m_falseEasting = 213360 / kUsFoot;
         });
     },
     TmBands(-111.9166666666667, 1 / kUsFoot)},
    {"tmerc_nztm",
     [] {
         return Make<CTransverseMercator>(Grs80(), [](CTransverseMercator& s) {
             s.m_centralMeridian = 173;
             s.m_scaleFactor = 0.9996;
             s.m_falseEasting = 1600000;
             s.m_falseNorthing = 10000000;
         });
     },
     TmBands(173)},
    {"stere_ups_north",
     [] {
         return Make<CStereographic>(Wgs84(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = 90;
             s.m_scaleFactor = 0.994;
             s.m_falseEasting = s.m_falseNorthing = 2000000;
         });
     },
     Fixed(0.001, 1e-10)},
    {"stere_ups_south",
     [] {
         return Make<CStereographic>(Wgs84(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = -90;
             s.m_scaleFactor = 0.994;
             s.m_falseEasting = s.m_falseNorthing = 2000000;
         });
     },
     Fixed(0.001, 1e-10)},
    {"stere_south_cm10",
     [] {
         return Make<CStereographic>(Wgs84(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = -90;
             s.m_centralMeridian = 10;
             s.m_scaleFactor = 0.994;
         });
     },
     Fixed(0.001, 1e-10)},
    {"stere_oblique70",
     [] {
         return Make<CStereographic>(Wgs84(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = 70;
             s.m_scaleFactor = 1;
         });
     },
     Fixed(0.001, 1e-10)},
    {"stere_equatorial",
     [] {
         return Make<CStereographic>(Wgs84(), [](CStereographic& s) {
             s.m_centralMeridian = 30;
             s.m_scaleFactor = 1;
         });
     },
     Fixed(0.001, 1e-10)},
    {"sterea_rd",
     [] {
         return Make<CDoubleStereographic>(Bessel(), [](CDoubleStereographic& s) {
             s.m_latitudeOfOrigin = 52.15616055555555;
             s.m_centralMeridian = 5.38763888888889;
             s.m_scaleFactor = 0.9999079;
             s.m_falseEasting = 155000;
             s.m_falseNorthing = 463000;
         });
     },
     Fixed(0.001, 1e-12)},
    {"sterea_south",
     [] {
         return Make<CDoubleStereographic>(Grs80(), [](CDoubleStereographic& s) {
             s.m_latitudeOfOrigin = -46.5;
             s.m_centralMeridian = -66.5;
             s.m_scaleFactor = 0.999912;
             s.m_falseEasting = 2500000;
             s.m_falseNorthing = 7500000;
         });
     },
     Fixed(0.001, 1e-12)},
    {"cea_ts0", [] { return Make<CCylindricalEqArea>(Wgs84(), [](CCylindricalEqArea&) {}); },
     Fixed(0.001, 1e-10)},
    {"cea_ts30",
     [] {
         return Make<CCylindricalEqArea>(Wgs84(), [](CCylindricalEqArea& s) {
             s.m_standardParallel1 = 30;
             s.m_centralMeridian = -75;
         });
     },
     Fixed(0.001, 1e-10)},
    {"nzmg", [] { return Make<CNewZealandMapGrid>(International(), [](CNewZealandMapGrid&) {}); },
     Fixed(0.001, 1e-9)},
    {"lcc_snyder",
     [] {
         return Make<CLambertConformalConic>(Clarke1866(), [](CLambertConformalConic& s) {
             s.m_standardParallel1 = 33;
             s.m_standardParallel2 = 45;
             s.m_latitudeOfOrigin = 23;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-9)},
    {"lcc_wgs84",
     [] {
         return Make<CLambertConformalConic>(Wgs84(), [](CLambertConformalConic& s) {
             s.m_standardParallel1 = 33;
             s.m_standardParallel2 = 45;
             s.m_latitudeOfOrigin = 23;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-9)},
    {"lcc_south",
     [] {
         return Make<CLambertConformalConic>(Grs80(), [](CLambertConformalConic& s) {
             s.m_standardParallel1 = -18;
             s.m_standardParallel2 = -36;
             s.m_centralMeridian = 134;
         });
     },
     Fixed(0.001, 1e-9)},
    {"lcc_us_feet",
     [] {
         return Make<CLambertConformalConic>(Grs80(), [](CLambertConformalConic& s) {
             s.m_standardParallel1 = 31.88333333333333;
             s.m_standardParallel2 = 30.11666666666667;
             s.m_latitudeOfOrigin = 29.66666666666667;
             s.m_centralMeridian = -100.3333333333333;
             EXPECT_TRUE(s.SetProjectionUnit(9003));
             s.m_falseEasting = 700000 / kUsFoot;
             s.m_falseNorthing = 3000000 / kUsFoot;
         });
     },
     Fixed(0.001 / kUsFoot, 1e-9)},
    {"aea_snyder",
     [] {
         return Make<CAlbers>(Clarke1866(), [](CAlbers& s) {
             s.m_standardParallel1 = 29.5;
             s.m_standardParallel2 = 45.5;
             s.m_latitudeOfOrigin = 23;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-12)},
    {"aea_alaska",
     [] {
         return Make<CAlbers>(Grs80(), [](CAlbers& s) {
             s.m_standardParallel1 = 55;
             s.m_standardParallel2 = 65;
             s.m_latitudeOfOrigin = 50;
             s.m_centralMeridian = -154;
         });
     },
     Fixed(0.001, 1e-12)},
    {"aea_alaska_antimeridian",
     [] {
         return Make<CAlbers>(Grs80(), [](CAlbers& s) {
             s.m_standardParallel1 = 55;
             s.m_standardParallel2 = 65;
             s.m_latitudeOfOrigin = 50;
             s.m_centralMeridian = -154;
         });
     },
     Fixed(0.001, 1e-12)},
    // Tangent cones and spheres: the plain two-parallel and ellipsoidal
    // formulas give NaN there.
    {"lcc_tangent40",
     [] {
         return Make<CLambertConformalConic>(Wgs84(), [](CLambertConformalConic& s) {
             s.m_standardParallel1 = s.m_standardParallel2 = s.m_latitudeOfOrigin = 40;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-9)},
    {"aea_tangent40",
     [] {
         return Make<CAlbers>(Wgs84(), [](CAlbers& s) {
             s.m_standardParallel1 = s.m_standardParallel2 = s.m_latitudeOfOrigin = 40;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-12)},
    {"aea_sphere",
     [] {
         return Make<CAlbers>(Sphere(), [](CAlbers& s) {
             s.m_standardParallel1 = 29.5;
             s.m_standardParallel2 = 45.5;
             s.m_latitudeOfOrigin = 23;
             s.m_centralMeridian = -96;
         });
     },
     Fixed(0.001, 1e-12)},
    {"cea_sphere", [] { return Make<CCylindricalEqArea>(Sphere(), [](CCylindricalEqArea&) {}); },
     Fixed(0.001, 1e-10)},
    {"stere_sphere_south_cm10",
     [] {
         return Make<CStereographic>(Sphere(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = -90;
             s.m_centralMeridian = 10;
             s.m_scaleFactor = 0.994;
         });
     },
     Fixed(0.001, 1e-12)},
    {"stere_sphere_oblique70",
     [] {
         return Make<CStereographic>(Sphere(), [](CStereographic& s) {
             s.m_latitudeOfOrigin = 70;
             s.m_scaleFactor = 1;
         });
     },
     Fixed(0.001, 1e-12)},
};

class ProjectionReference : public ::testing::TestWithParam<Case> {};

TEST_P(ProjectionReference, ForwardAndInverseMatchTheReference) {
    const Case& c = GetParam();
    const ReferenceTable t = ReadReferenceTable(c.table);
    ASSERT_GE(t.rows.size(), 4u);
    auto sys = c.make();
    const size_t ilon = t.Column("lon"), ilat = t.Column("lat"), ix = t.Column("x"),
                 iy = t.Column("y");
    double worstForward = 0, worstInverse = 0;
    for (const auto& r : t.rows) {
        const double lon = r[ilon], lat = r[ilat], X = r[ix], Y = r[iy];
        const Tolerance tol = c.tolerance(lon, lat);

        double x, y;
        sys->GeographicToProjected(lon, lat, &x, &y);
        const double df = std::hypot(x - X, y - Y);
        worstForward = std::max(worstForward, df);
        EXPECT_LE(df, tol.forward) << c.table << " forward at " << lon << ", " << lat << ": got "
                                   << x << ", " << y << " want " << X << ", " << Y;

        double glon, glat;
        sys->ProjectedToGeographic(X, Y, &glon, &glat);
        // At a pole every longitude is the same point.
        const double dlon =
            std::fabs(std::remainder(glon - lon, 360.0)) * std::cos(lat * 0.017453292519943295);
        const double di = std::max(std::fabs(glat - lat), std::fabs(lat) == 90 ? 0.0 : dlon);
        worstInverse = std::max(worstInverse, di);
        EXPECT_LE(di, tol.inverse) << c.table << " inverse at " << X << ", " << Y << ": got "
                                   << glon << ", " << glat << " want " << lon << ", " << lat;
    }
    std::printf("[ measured ] %-24s %3zu points: forward %.3g units, inverse %.3g deg\n", c.table,
                t.rows.size(), worstForward, worstInverse);
}

INSTANTIATE_TEST_SUITE_P(Tables, ProjectionReference, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.table); });

// GeographicLib's exact Transverse Mercator, zone by zone as the read-outs
// re-zone: UtmZoneFromLongitude, SetUtmZone, convert.
TEST(UtmReference, MatchesGeoConvertAfterRezoning) {
    const ReferenceTable t = ReadReferenceTable("tmerc_utm_geoconvert");
    CTransverseMercator tm;
    tm.SetDatum(Wgs84());
    const size_t iz = t.Column("zone"), ilon = t.Column("lon"), ilat = t.Column("lat"),
                 ix = t.Column("x"), iy = t.Column("y");
    double worst = 0;
    for (const auto& r : t.rows) {
        const int zone = static_cast<int>(r[iz]);
        tm.SetUtmZone(zone);
        double x, y;
        tm.GeographicToProjected(r[ilon], r[ilat], &x, &y);
        const double d = std::hypot(x - r[ix], y - r[iy]);
        worst = std::max(worst, d);
        EXPECT_LE(d, 0.002) << "zone " << zone << " at " << r[ilon] << ", " << r[ilat];
    }
    std::printf("[ measured ] UTM vs GeoConvert: forward %.3g m\n", worst);
}


// PROJ's exact Transverse Mercator on a grid 0 to 6 degrees either side of
// the central meridian, latitudes 0 to 84 both ways, on WGS 84 (UTM's scale)
// and on Airy 1830 as British National Grid, with that grid's western edge:
// forward within 1 mm, inverse within 1e-9 degrees.
TEST(TransverseMercatorReference, GridToTheZoneEdge) {
    const ReferenceTable t = ReadReferenceTable("tmerc_grid");
    auto wgs84 = Make<CTransverseMercator>(Wgs84(), [](CTransverseMercator& s) {
        s.m_centralMeridian = 0;
        s.m_scaleFactor = 0.9996;
        s.m_falseEasting = 500000;
    });
    DatumTransformation airy = Wgs84();
    airy.a = 6377563.396;
    airy.f = 1 / 299.3249646;
    auto bng = Make<CTransverseMercator>(airy, [](CTransverseMercator& s) {
        s.m_latitudeOfOrigin = 49;
        s.m_centralMeridian = -2;
        s.m_scaleFactor = 0.9996012717;
        s.m_falseEasting = 400000;
        s.m_falseNorthing = -100000;
    });
    const size_t ia = t.Column("airy"), ilon = t.Column("lon"), ilat = t.Column("lat"),
                 ix = t.Column("x"), iy = t.Column("y"), iilon = t.Column("ilon"),
                 iilat = t.Column("ilat");
    double worstForward[2] = {}, worstInverse[2] = {};
    for (const auto& r : t.rows) {
        const int k = r[ia] != 0 ? 1 : 0;
        CCoordSys& sys = k ? *bng : *wgs84;
        double x, y;
        sys.GeographicToProjected(r[ilon], r[ilat], &x, &y);
        const double df = std::hypot(x - r[ix], y - r[iy]);
        worstForward[k] = std::max(worstForward[k], df);
        EXPECT_LE(df, 0.001) << "forward at " << r[ilon] << ", " << r[ilat];
        double lon, lat;
        sys.ProjectedToGeographic(r[ix], r[iy], &lon, &lat);
        const double di = std::max(std::fabs(lon - r[iilon]), std::fabs(lat - r[iilat]));
        worstInverse[k] = std::max(worstInverse[k], di);
        EXPECT_LE(di, 1e-9) << "inverse at " << r[ix] << ", " << r[iy];
    }
    std::printf("[ measured ] tmerc grid WGS 84: forward %.3g m, inverse %.3g deg\n",
                worstForward[0], worstInverse[0]);
    std::printf("[ measured ] tmerc grid Airy/BNG: forward %.3g m, inverse %.3g deg\n",
                worstForward[1], worstInverse[1]);
    // The far side of the globe has no image.
    double x, y;
    wgs84->GeographicToProjected(91, 10, &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
    wgs84->GeographicToProjected(-135, -40, &x, &y);
    EXPECT_TRUE(std::isnan(x) && std::isnan(y));
}

}  // namespace
