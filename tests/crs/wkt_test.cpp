// Well-known text: the .prj fixture set written by GDAL and PROJ
// (tools/wkt_reference.sh), the dialect's variants and failures, writing and
// reading back, and PROJ's reading of what we write.
#include "crs/wkt.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../formats/dbf_test_util.h"
#include "../platform/fs_test_root.h"
#include "crs/code_tables.h"
#include "crs/geographic.h"
#include "crs/transverse_mercator.h"
#include "platform/fs/fs.h"
#include "reference_table.h"

namespace {

class WktTest : public DeviceRootTest {
protected:
    void SetUp() override {
        DeviceRootTest::SetUp();
        fs::AddMount(u"\\prj", std::string(ZN_TEST_DATA) + "/crs/prj");
        SetDatumTableFile(u"");
    }
};

std::unique_ptr<CCoordSys> Parse(WStringView wkt) {
    CWktCoordSys w;
    if (!w.ParseWkt(wkt)) return nullptr;
    return w.CreateProjection();
}

struct PrjCase {
    const char* name;
    int32_t code;
    const char16_t* datum;
};

const PrjCase kPrjCases[] = {
    {"wgs84_geographic", 43000, u"D_WGS_1984"},
    {"nad27_geographic", 43000, u"D_North_American_1927"},
    {"osgb36_geographic", 43000, u"D_OSGB_1936"},
    {"ed50_geographic", 43000, u"D_European_1950"},
    {"utm11n_wgs84", 43006, u"D_WGS_1984"},
    {"utm33s_wgs84", 43006, u"D_WGS_1984"},
    {"utm11n_nad27", 43006, u"D_North_American_1927"},
    {"rd_new", 43038, u"D_Amersfoort"},
    {"new_brunswick_stereographic", 43038, u"D_North_American_1983_CSRS"},
    {"lambert93", 43020, u"D_RGF_1993"},
    {"alaska_albers", 43007, u"D_North_American_1983"},
    {"pulkovo_gk4", 43005, u"D_Pulkovo_1942"},
    {"dhdn_gk3", 43005, u"D_Deutsches_Hauptdreiecksnetz"},
    {"nztm", 43006, u"D_NZGD_2000"},
    {"nzmg", 43040, u"D_New_Zealand_1949"},
    {"ca_v_us_feet", 43020, u"D_North_American_1983"},
    {"az_central_intl_feet", 43006, u"D_North_American_1983"},
    {"british_national_grid", 43006, u"D_OSGB_1936"},
    {"ntf_paris_lambert2", 43020, u"D_NTF"},
    {"oblique_stereographic_intl", 43026,
     u"D_Unknown_based_on_International_1924_Hayford_1909_1910_ellipsoid"},
    {"cea45_wgs84_named", 43034, u"D_WGS_1984"},
    {"ups_north", 43026, u"D_WGS_1984"},
    {"ups_south", 43026, u"D_WGS_1984"},
    // Projections the program does not have: kept by name, identity maths.
    {"cea45_wgs84", 0, u"D_WGS_1984"},
    {"web_mercator", 0, u"D_WGS_1984"},
    {"etrs_laea", 0, u"D_ETRS_1989"},
    {"antarctic_polar_stereographic", 0, u"D_WGS_1984"},
};

TEST_F(WktTest, FixtureSetParsesAndProjectsAsProj) {
    for (const auto& c : kPrjCases) {
        SCOPED_TRACE(c.name);
        CWktCoordSys w;
        ASSERT_TRUE(w.ReadPrjFile(text::FromUtf8(std::string("\\prj\\") + c.name + ".prj")));
        auto cs = w.CreateProjection();
        ASSERT_NE(cs, nullptr);
        EXPECT_EQ(cs->m_projectionCode, c.code);
        EXPECT_EQ(cs->m_datum.datumName, c.datum);
        if (c.code == 0) continue;
        const auto t = crs_test::ReadReferenceTable(std::string("prj/") + c.name);
        double worst = 0;
        for (const auto& r : t.rows) {
            double x, y;
            cs->GeographicToProjected(r[0], r[1], &x, &y);
            if (c.code == 43000) {
                EXPECT_EQ(x, r[0]);
                EXPECT_EQ(y, r[1]);
                continue;
            }
            EXPECT_NEAR(x, r[2], 0.001) << r[0] << " " << r[1];
            EXPECT_NEAR(y, r[3], 0.001) << r[0] << " " << r[1];
            worst = std::max(worst, std::hypot(x - r[2], y - r[3]));
        }
        if (c.code != 43000)
            std::printf("[ measured ] %-28s forward within %.3g units of cct\n", c.name, worst);
        // Written and read back: the same system.
        const WString ours = FormatWkt(*cs, false);
        auto again = Parse(ours);
        ASSERT_NE(again, nullptr) << text::ToUtf8(ours);
        EXPECT_TRUE(again->IsEqual(cs.get())) << text::ToUtf8(ours);
        EXPECT_EQ(FormatWkt(*again, false), ours);
    }
}

// PROJ reads what we write as the same system: its projection of the
// fixture points from our text agrees with the table.
TEST_F(WktTest, ProjReadsOurText) {
    ASSERT_TRUE(HaveTool("projinfo") && HaveTool("cct"))
        << "proj-bin not installed: run tools/setup";
    for (const auto& c : kPrjCases) {
        if (c.code == 0 || c.code == 43000) continue;  // see below
        SCOPED_TRACE(c.name);
        CWktCoordSys w;
        ASSERT_TRUE(w.ReadPrjFile(text::FromUtf8(std::string("\\prj\\") + c.name + ".prj")));
        auto cs = w.CreateProjection();
        const std::string wkt = text::ToUtf8(FormatWkt(*cs, false));
        std::string op = RunTool("projinfo -q -o PROJ --single-line '" + wkt + "' 2>&1");
        ASSERT_NE(op.find("+proj="), std::string::npos) << op;
        // PROJ adds its own shift for a datum it knows by name; not ours to test.
        op = op.substr(0, op.find("+type=crs"));
        const size_t tw = op.find("+towgs84=");
        if (tw != std::string::npos) op.erase(tw, op.find(' ', tw) - tw);
        const auto t = crs_test::ReadReferenceTable(std::string("prj/") + c.name);
        for (const auto& r : t.rows) {
            const std::string got = RunTool("echo '" + std::to_string(r[0]) + " " +
                                            std::to_string(r[1]) + " 0 0' | cct -d 6 " + op);
            double x = 0, y = 0;
            ASSERT_EQ(std::sscanf(got.c_str(), "%lf %lf", &x, &y), 2) << got;
            EXPECT_NEAR(x, r[2], 0.001) << op;
            EXPECT_NEAR(y, r[3], 0.001) << op;
        }
    }
    // Geographic texts are read as geographic systems on their spheroid.
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    g.m_geographicName = u"GCS_WGS_1984";
    const std::string geo = RunTool("projinfo -q -o PROJ --single-line '" +
                                    text::ToUtf8(FormatWkt(g, false)) + "' 2>&1");
    EXPECT_NE(geo.find("+proj=longlat"), std::string::npos) << geo;
}

TEST_F(WktTest, DefaultTextAndDialectVariants) {
    auto cs = Parse(kDefaultCoordSysWkt);
    ASSERT_NE(cs, nullptr);
    EXPECT_EQ(cs->m_projectionCode, 43000);
    EXPECT_EQ(cs->m_a, 6378137.0);
    EXPECT_EQ(cs->m_f, 1.0 / 298.257223563);
    EXPECT_EQ(cs->m_primeMeridianCode, 8901);
    EXPECT_EQ(cs->m_geographicUnitCode, 9102);
    EXPECT_EQ(cs->m_geographicUnitFactor, 0.017453292519943295);
    // No D_WGS_1984 row in the table: the built-in row's numbers, the text's names.
    EXPECT_EQ(cs->m_datum.datumName, u"D_WGS_1984");
    EXPECT_EQ(cs->m_datum.spheroidName, u"WGS_1984");
    EXPECT_TRUE(IsWgs84Identity(cs->m_datum));

    const WString utm =
        u"PROJCS[\"UTM\",GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\","
        u"6378137,298.257223563]],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]],"
        u"PROJECTION[\"Transverse_Mercator\"],PARAMETER[\"False_Easting\",500000],"
        u"PARAMETER[\"False_Northing\",0],PARAMETER[\"Central_Meridian\",-117],"
        u"PARAMETER[\"Scale_Factor\",0.9996],PARAMETER[\"Latitude_Of_Origin\",0],"
        u"UNIT[\"Meter\",1]]";
    auto ref = Parse(utm);
    ASSERT_NE(ref, nullptr);
    EXPECT_EQ(FormatWkt(*ref, false), utm);  // our own form, byte for byte
    auto variant = [&](auto edit) {
        WString s = utm;
        edit(s);
        return s;
    };
    const WString variants[] = {
        variant([](WString& s) {
            for (auto& c : s) c = c == u'[' ? u'(' : c == u']' ? u')' : c;
        }),
        variant([](WString& s) {
            for (auto& c : s) c = c == u'"' ? u'\'' : c;
        }),
        variant([](WString& s) {
            for (const WStringView k : {u"PROJCS", u"GEOGCS", u"DATUM", u"PARAMETER", u"UNIT"})
                for (size_t p; (p = s.find(k)) != WString::npos;)
                    s.replace(p, k.size(), text::ToLower(k));
        }),
        variant([](WString& s) {
            for (size_t p = 0; (p = s.find(u",", p)) != WString::npos; p += 3)
                s.replace(p, 1, u",\r\n ");
        }),
        u"\u00EF\u00BB\u00BF" + utm,               // a UTF-8 byte-order mark read byte by byte
        utm + u",AUTHORITY[\"EPSG\",\"32611\"]]",  // after the UNIT: ignored
    };
    for (const auto& v : variants) {
        auto cs2 = Parse(v);
        ASSERT_NE(cs2, nullptr) << text::ToUtf8(v);
        EXPECT_TRUE(cs2->IsEqual(ref.get())) << text::ToUtf8(v);
    }
}

TEST_F(WktTest, GrammarFailures) {
    const WString good = kDefaultCoordSysWkt;
    auto without = [&](WStringView what, WStringView with) {
        WString s = good;
        s.replace(s.find(what), what.size(), with);
        return s;
    };
    const WString bad[] = {
        u"",
        u"GEOGCS",
        u"GEOGCS [\"x\",DATUM[\"d\",SPHEROID[\"s\",1,2]],PRIMEM[\"G\",0],UNIT[\"Degree\",1]]",
        without(u",298.257223563]", u",298.257223563,AUTHORITY[\"EPSG\",\"7030\"]]"),
        without(u",UNIT[\"Degree\",0.017453292519943295]", u""),
        without(u"PRIMEM", u"PRIME"),
        u"PROJCS[\"p\"," + good + u",PROJECTION[\"Transverse_Mercator\"]]",  // no UNIT
        u"PROJCS[\"p\"," + good + u",PROJECTION[\"x\"],AUTHORITY[\"E\",\"1\"],UNIT[\"Meter\",1]]",
        u"VERTCS[\"v\"]",
        good.substr(0, 40),  // cut short
        u"GEOGCS[\"unterminated",
        // Values no coordinate system has.
        without(u"6378137", u"0"),
        without(u"6378137", u"-6378137"),
        without(u"298.257223563", u"0.5"),
        without(u"298.257223563", u"-298.257223563"),
        without(u"\"Greenwich\",0", u"\"Greenwich\",1e999"),
    };
    for (const auto& s : bad) {
        CWktCoordSys w;
        EXPECT_FALSE(w.ParseWkt(s)) << text::ToUtf8(s);
        EXPECT_EQ(w.CreateProjection(), nullptr);
    }
}

TEST_F(WktTest, ParametersNamesAndSpheres) {
    const WString geog =
        u"GEOGCS[\"G\",DATUM[\"D_Mine\",SPHEROID[\"S_Mine\",6378388,297]],"
        u"PRIMEM[\"Local\",1.5],UNIT[\"Unitish\",0.0174532925199433]]";
    auto build = [&](const WString& proj, const WString& params) {
        return u"PROJCS[\"P\"," + geog + u",PROJECTION[\"" + proj + u"\"]" + params +
               u",UNIT[\"Furlong\",201.168]]";
    };
    // Latitude_Of_Center is not read; Central_Parallel is.
    auto lcc =
        Parse(build(u"lambert_conformal_conic",
                    u",PARAMETER[\"Standard_Parallel_1\",40],PARAMETER[\"Scale_Factor\",0.999],"
                    u"PARAMETER[\"Latitude_Of_Center\",33]"));
    ASSERT_NE(lcc, nullptr);
    EXPECT_EQ(lcc->m_projectionCode, 43020);
    EXPECT_EQ(lcc->m_latitudeOfOrigin, 0.0);
    EXPECT_EQ(lcc->m_standardParallel2, 40.0);  // one parallel: SP2 = SP1
    EXPECT_EQ(lcc->m_projectionUnitFactor, 201.168);
    // Names without codes are kept and written back.
    const WString written = FormatWkt(*lcc, false);
    EXPECT_NE(written.find(u"DATUM[\"D_Mine\",SPHEROID[\"S_Mine\",6378388,297]]"), WString::npos);
    EXPECT_NE(written.find(u"PRIMEM[\"Local\",1.5]"), WString::npos);
    EXPECT_NE(written.find(u"UNIT[\"Unitish\",0.0174532925199433]"), WString::npos);
    EXPECT_NE(written.find(u"PARAMETER[\"Scale_Factor\",0.999]"), WString::npos);
    EXPECT_NE(written.find(u"UNIT[\"Furlong\",201.168]]"), WString::npos);
    auto lcc2 =
        Parse(build(u"Lambert_Conformal_Conic_2SP", u",PARAMETER[\"Central_Parallel\",33]"));
    EXPECT_EQ(lcc2->m_latitudeOfOrigin, 33.0);
    // NZMG from desktop tools names its meridian Longitude_Of_Origin.
    auto nzmg = Parse(build(u"New_Zealand_Map_Grid", u",PARAMETER[\"Longitude_Of_Origin\",173]"));
    EXPECT_EQ(nzmg->m_centralMeridian, 173.0);
    // The unknown projection keeps its name and parameters in order.
    const WString merc =
        build(u"Mercator", u",PARAMETER[\"False_Easting\",7],PARAMETER[\"Odd\",-2.5]");
    auto unknown = Parse(merc);
    EXPECT_EQ(unknown->m_projectionCode, 0);
    EXPECT_EQ(FormatWkt(*unknown, false), merc);
    // rf 0 is a sphere, written back as 0.
    auto sphere = Parse(
        u"GEOGCS[\"G\",DATUM[\"D\",SPHEROID[\"S\",6371000,0]],PRIMEM[\"Greenwich\",0],"
        u"UNIT[\"Degree\",0.0174532925199433]]");
    ASSERT_NE(sphere, nullptr);
    EXPECT_EQ(sphere->m_f, 0.0);
    EXPECT_NE(FormatWkt(*sphere, false).find(u"6371000,0]"), WString::npos);
    // Both names of the cylindrical equal-area are read; the one every other
    // reader knows is written.
    for (const char16_t* name : {u"Cylindrical_Equal_Area", u"Cylindrical_EqArea"}) {
        auto cea = Parse(build(name, u",PARAMETER[\"Standard_Parallel_1\",30]"));
        EXPECT_EQ(cea->m_projectionCode, 43034);
        EXPECT_NE(FormatWkt(*cea, false).find(u"PROJECTION[\"Cylindrical_Equal_Area\"]"),
                  WString::npos);
    }
    // A polar stereographic at the pole projects; with its standard parallel
    // elsewhere it is kept by name and the reader says it is not supported.
    struct Polar {
        const char16_t* parameters;
        int32_t code;
    } polar[] = {
        {u",PARAMETER[\"Latitude_Of_Origin\",90],PARAMETER[\"Scale_Factor\",0.994]", 43026},
        {u",PARAMETER[\"Latitude_Of_Origin\",-90]", 43026},
        {u",PARAMETER[\"Standard_Parallel_1\",-90],PARAMETER[\"Latitude_Of_Origin\",-90]", 43026},
        {u",PARAMETER[\"Standard_Parallel_1\",-71]", 0},
        {u",PARAMETER[\"Latitude_Of_Origin\",-90],PARAMETER[\"Standard_Parallel_1\",-71]", 0},
        {u",PARAMETER[\"Latitude_Of_Origin\",89.5]", 0},
    };
    for (const Polar& c : polar) {
        SCOPED_TRACE(text::ToUtf8(c.parameters));
        CWktCoordSys w;
        ASSERT_TRUE(w.ParseWkt(build(u"Polar_Stereographic", c.parameters)));
        auto cs = w.CreateProjection();
        EXPECT_EQ(cs->m_projectionCode, c.code);
        EXPECT_EQ(w.m_projectionSupported, c.code != 0);
    }
    // The other names desktop tools give it, with the pole as standard parallel.
    struct Named {
        const char16_t* name;
        const char16_t* parameters;
        int32_t code;
    } named[] = {
        {u"Stereographic_North_Pole", u",PARAMETER[\"Standard_Parallel_1\",90]", 43026},
        {u"Stereographic_South_Pole", u",PARAMETER[\"Standard_Parallel_1\",-90]", 43026},
        {u"Stereographic_South_Pole", u",PARAMETER[\"Standard_Parallel_1\",-71]", 0},
    };
    for (const Named& c : named) {
        SCOPED_TRACE(text::ToUtf8(c.parameters));
        CWktCoordSys w;
        ASSERT_TRUE(w.ParseWkt(build(c.name, c.parameters)));
        auto cs = w.CreateProjection();
        EXPECT_EQ(cs->m_projectionCode, c.code);
        EXPECT_EQ(w.m_projectionSupported, c.code != 0);
        if (c.code == 0) continue;
        // True to scale at the pole: 1 degree from it lies 111.7 km out (in furlongs).
        double x, y;
        cs->GeographicToProjected(0, std::copysign(89, cs->m_latitudeOfOrigin), &x, &y);
        EXPECT_NEAR(std::hypot(x, y) * 201.168, 111700, 20) << x << " " << y;
    }
    CWktCoordSys known;
    ASSERT_TRUE(known.ParseWkt(build(u"Transverse_Mercator", u"")));
    known.CreateProjection();
    EXPECT_TRUE(known.m_projectionSupported);
}

// A geographic system whose layer extent leaves the globe's range holds data
// of another system under a wrong .prj.
TEST_F(WktTest, GeographicSystemsRefuseExtentsOffTheGlobe) {
    CGeographic degrees;
    degrees.SetDatum(Wgs84Datum());
    EXPECT_TRUE(degrees.CanHoldExtent(-180, -90, 180, 90));
    EXPECT_TRUE(degrees.CanHoldExtent(-122.5, 37.7, -122.3, 37.9));
    EXPECT_FALSE(degrees.CanHoldExtent(500000, 4100000, 510000, 4200000));
    EXPECT_FALSE(degrees.CanHoldExtent(170, 10, 190, 20));
    EXPECT_FALSE(degrees.CanHoldExtent(10, -91, 20, 0));
    EXPECT_TRUE(degrees.CanHoldExtent(NAN, NAN, NAN, NAN));
    CGeographic grads;
    grads.SetDatum(Wgs84Datum());
    grads.m_geographicUnitFactor = 0.015707963267948967;
    EXPECT_TRUE(grads.CanHoldExtent(-200, -100, 190, 95));
    EXPECT_FALSE(grads.CanHoldExtent(-201, 0, 0, 0));
    auto utm = Parse(
        u"PROJCS[\"U\",GEOGCS[\"G\",DATUM[\"D_WGS_1984\",SPHEROID[\"S\",6378137,298.257223563]],"
        u"PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]],"
        u"PROJECTION[\"Transverse_Mercator\"],UNIT[\"Meter\",1]]");
    ASSERT_NE(utm, nullptr);
    EXPECT_TRUE(utm->CanHoldExtent(500000, 4100000, 510000, 4200000));
}

TEST_F(WktTest, XmlEscaping) {
    CGeographic g;
    g.SetDatum(Wgs84Datum());
    g.m_geographicName = u"A&B <C> 'D\"";
    const WString x = FormatWkt(g, true);
    EXPECT_EQ(x.substr(0, 63), u"GEOGCS[&quot;A&amp;B &lt;C&gt; &apos;D&quot;&quot;,DATUM[&quot;");
    EXPECT_EQ(x.find(u'"'), WString::npos);
    EXPECT_EQ(x.find(u'\''), WString::npos);
}

TEST_F(WktTest, PrjFilesAreLatin1Bytes) {
    CTransverseMercator tm;
    tm.SetDatum(Wgs84Datum());
    tm.SetUtmZone(11);
    // Past U+00FF a character is '?': the low bytes of U+0122 and U+0100 are
    // a quote and a zero, which would leave a file no one can read.
    tm.m_projectedName = u"Zone \u00B0 \u0141 \u0122 \u0100";
    tm.m_geographicName = u"GCS_WGS_1984";
    ASSERT_TRUE(WritePrjFile(u"\\out.prj", tm));
    std::string bytes;
    ASSERT_TRUE(fs::ReadWholeFile(u"\\out.prj", &bytes));
    EXPECT_EQ(bytes.substr(0, 22), "PROJCS[\"Zone \xB0 ? ? ?\",");
    EXPECT_NE(bytes.back(), '\n');
    CWktCoordSys w;
    ASSERT_TRUE(w.ReadPrjFile(u"\\out.prj"));
    EXPECT_EQ(w.m_projcsName, u"Zone \u00B0 ? ? ?");
    EXPECT_EQ(w.m_centralMeridian, -117.0);
    EXPECT_FALSE(w.ReadPrjFile(u"\\missing.prj"));
}

}  // namespace

namespace {

// A datum the table does not know keeps its names but is reported to the
// caller, through the call and the member alike; a known one is not.
TEST_F(WktTest, UnknownDatumIsReportedToTheCaller) {
    const WString known =
        u"GEOGCS[\"GCS_WGS_1984\",DATUM[\"WGS84\",SPHEROID[\"WGS_1984\",6378137.0,"
        u"298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
    WString unknown = known;
    unknown.replace(unknown.find(u"\"WGS84\""), 7, u"\"D_Nowhere_1950\"");
    for (const auto& [text, found] : {std::pair{known, true}, std::pair{unknown, false}}) {
        CWktCoordSys w;
        ASSERT_TRUE(w.ParseWkt(text));
        bool datumFound = !found;
        auto cs = w.CreateProjection(&datumFound);
        ASSERT_NE(cs, nullptr);
        EXPECT_EQ(datumFound, found);
        EXPECT_EQ(w.m_datumFound, found);
        if (!found) EXPECT_EQ(cs->m_datum.datumName, u"D_Nowhere_1950");
    }
}

}  // namespace
