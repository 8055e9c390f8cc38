// Geometry and coordinate system objects: values from scripts, measures
// against the crs functions and GeographicLib's tables, MGRS against
// GeoConvert's, shapes read from files ogr2ogr wrote, and lifetimes.
#include <cfloat>

#include "crs/code_tables.h"
#include "crs/measure.h"
#include "crs/mgrs.h"
#include "data/data_world.h"
#include "formats/shape/shp_engine.h"
#include "script/data/script_parts.h"
#include "script/data/script_point.h"
#include "script/data/script_points.h"
#include "script/data/script_polygon.h"
#include "script/data/script_rect.h"

namespace scripttest {
namespace {

class Geometry : public DataWorld {};

std::vector<std::vector<std::string>> ReadCsv(const std::string& rel) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(ReadHostFile(std::string(ZN_TEST_DATA) + "/" + rel));
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (header) {
            header = false;
            continue;
        }
        std::vector<std::string> cells;
        std::stringstream s(line);
        std::string c;
        while (std::getline(s, c, ',')) cells.push_back(c);
        rows.push_back(cells);
    }
    return rows;
}

ComPtr<CScriptPoint> Pt(double x, double y, CScriptCoordSys* cs) {
    return ComPtr<CScriptPoint>(CScriptPoint::Create(11, x, y, 0.0, -DBL_MAX, cs));
}

// The log writes Booleans as numbers (-1, 0); VBScript reports E_INVALIDARG as
// error 5, E_NOINTERFACE as 430 (1AE) and E_NOTIMPL as 445 (1BD).
TEST_F(Geometry, PlanarValuesFromScript) {
    auto log =
        Run(uR"VB(
Set p = App.CreateAppObject("point")
Log.Write p.ShapeType & " " & p.IsMeasured & " " & (p.Measure < -1E+308) & " " & (p.CoordinateSystem Is Nothing)
p.Measure = 5
Log.Write p.IsMeasured
Set r = App.CreateAppObject("rectangle")
Log.Write (r.CoordinateSystem Is Nothing) & " " & r.MeasureRange
r.Right = 2 : r.Top = 3
Log.Write r.Area & " " & r.Perimeter & " " & r.Width & " " & r.Height
Set c = r.Center
Log.Write c.ShapeType & " " & c.x & " " & c.y
r.Inset -1, -1
Log.Write r.Left & " " & r.Bottom & " " & r.Right & " " & r.Top
r.ScaleRectangle 2
Log.Write r.Left & " " & r.Bottom & " " & r.Right & " " & r.Top
r.ScaleRectangle 1
r.Offset 10, -1
Log.Write r.Left & " " & r.Bottom & " " & r.Right & " " & r.Top
Set e = App.CreateAppObject("point") : e.x = r.Right : e.y = r.Top
Log.Write r.IsPointIn(e)
e.x = r.Right + 0.001
Log.Write r.IsPointIn(e)
r.Left = 100
Log.Write r.Left & " " & r.Right
Set a = App.CreateAppObject("point") : Set b = App.CreateAppObject("point")
b.y = 1 : Log.Write a.BearingTo(b)
b.x = 1 : b.y = 0 : Log.Write a.BearingTo(b)
b.x = 3 : b.y = 4 : Log.Write a.DistanceTo(b)
Set bx = a.Extent
Log.Write bx.Left & " " & bx.Top & " " & bx.MeasureRange
On Error Resume Next
a.MGRS = "33UXP"
Log.Write Hex(Err.Number) : Err.Clear
Log.Write a.MGRS
Log.Write Hex(Err.Number) : Err.Clear
Log.Write a.DistanceTo(r)
Log.Write Hex(Err.Number) : Err.Clear
Set l = App.CreateAppObject("line")
Log.Write l.ShapeType & " " & l.Length
Log.Write Hex(Err.Number) : Err.Clear
Set g = App.CreateAppObject("polygon")
Log.Write g.Area
Log.Write Hex(Err.Number) : Err.Clear
Set ps = App.CreateAppObject("points")
Log.Write ps.ShapeType & " " & ps.Count
Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"11 False True True",
                                             "-1",
                                             "True 0",
                                             "6 10 2 3",
                                             "11 1 1.5",
                                             "-1 -1 3 4",
                                             "-3 -3.5 5 6.5",
                                             "7 -4.5 15 5.5",
                                             "-1",
                                             "0",
                                             "100 15",
                                             "360",
                                             "90",
                                             "5",
                                             "0 0 0",
                                             "1BD",
                                             "80004005",
                                             "1AE",
                                             "80004005",
                                             "80004005",
                                             "80004005"}));
}

TEST_F(Geometry, GeodesicMeasuresEqualTheCrsFunctionsAndGeodSolve) {
    SetMapSystem(SystemFromPrj("wgs84_geographic"));
    ComPtr<CScriptCoordSys> cs = CScriptCoordSys::ForSystem(mapCs_.get());
    for (const auto& row : ReadCsv("crs/geodesic_geodsolve.csv")) {
        const double lon1 = std::stod(row[0]), lat1 = std::stod(row[1]);
        const double lon2 = std::stod(row[2]), lat2 = std::stod(row[3]);
        const double s12 = std::stod(row[4]), azi1 = std::stod(row[5]);
        ComPtr<CScriptPoint> a = Pt(lon1, lat1, cs.Get()), b = Pt(lon2, lat2, cs.Get());
        double d = 0, az = 0;
        ASSERT_EQ(a->DistanceTo(b.Get(), &d), S_OK);
        ASSERT_EQ(a->BearingTo(b.Get(), &az), S_OK);
        double crsAz = 0;
        EXPECT_EQ(
            d, MeasureDistanceBetween(mapCs_.get(), {lon1, lat1}, {lon2, lat2}, nullptr, &crsAz));
        EXPECT_EQ(az, crsAz);
        // The spheroid's second-order solution is within a millimetre at field distances.
        if (s12 < 15000) {
            EXPECT_NEAR(d, s12, 1e-3) << row[0] << " " << row[1];
            const double want = azi1 <= 0 ? azi1 + 360 : azi1;
            EXPECT_NEAR(az, want, 5e-4);
        }
    }
}

// A ring of four corners as a polygon shape.
ScriptShapePtr Cell(double x0, double y0, double x1, double y1) {
    ShapeRecord* r = ShapeHeapRealloc(nullptr, ShapeRecordSize(5, 1, 5));
    ShapeInitRecord(nullptr, 5, 1, 5, r);
    const double xs[] = {x0, x0, x1, x1, x0}, ys[] = {y0, y1, y1, y0, y0};
    for (int i = 0; i < 5; ++i) ShpSetPartPointXY(nullptr, i, xs[i], ys[i], r);
    ScriptShapePtr s = ScriptShape::Copy(r);
    ShapeFreeBuffer(r);
    return s;
}

TEST_F(Geometry, GeographicAreasAgainstPlanimeter) {
    SetMapSystem(SystemFromPrj("wgs84_geographic"));
    ComPtr<CScriptCoordSys> cs = CScriptCoordSys::ForSystem(mapCs_.get());
    for (const auto& row : ReadCsv("crs/area_planimeter.csv")) {
        ComPtr<CScriptPolygon> g(CScriptPolygon::Create(
            Cell(std::stod(row[0]), std::stod(row[1]), std::stod(row[2]), std::stod(row[3])),
            cs.Get()));
        double area = 0;
        ASSERT_EQ(g->get_Area(&area), S_OK);
        EXPECT_NEAR(area, std::stod(row[4]), std::stod(row[4]) * 2e-6) << row[0] << " " << row[1];
        EXPECT_EQ(area, MeasureShapeArea(mapCs_.get(), g->Shape()->Record()));
    }
}

TEST_F(Geometry, MgrsAgainstGeoConvertInBothHemispheresAndFromUtm) {
    SetMapSystem(SystemFromPrj("wgs84_geographic"));
    ComPtr<CScriptCoordSys> geo = CScriptCoordSys::ForSystem(mapCs_.get());
    std::unique_ptr<CCoordSys> utm = SystemFromPrj("utm33s_wgs84");
    ComPtr<CScriptCoordSys> utmCs = CScriptCoordSys::ForSystem(utm.get());
    int south = 0, north = 0;
    for (const auto& row : ReadCsv("crs/mgrs_geoconvert.csv")) {
        const double lat = std::stod(row[0]), lon = std::stod(row[1]);
        char want[32];
        snprintf(want, sizeof want, "%02d%c%c%c%05d%05d", std::stoi(row[2]),
                 static_cast<char>(std::stoi(row[3])), static_cast<char>(std::stoi(row[4])),
                 static_cast<char>(std::stoi(row[5])), std::stoi(row[6]), std::stoi(row[7]));
        BSTR got = nullptr;
        ASSERT_EQ(Pt(lon, lat, geo.Get())->get_MGRS(&got), S_OK);
        EXPECT_EQ(text::ToUtf8(BstrView(got)), want) << lat << " " << lon;
        SysFreeString(got);
        (lat < 0 ? south : north)++;
    }
    EXPECT_GT(south, 0);
    EXPECT_GT(north, 0);
    // A UTM point goes through its inverse projection first.
    double x, y;
    utm->GeographicToProjected(15.2, -33.4, &x, &y);
    BSTR fromUtm = nullptr, fromGeo = nullptr;
    ASSERT_EQ(Pt(x, y, utmCs.Get())->get_MGRS(&fromUtm), S_OK);
    ASSERT_EQ(Pt(15.2, -33.4, geo.Get())->get_MGRS(&fromGeo), S_OK);
    EXPECT_EQ(BstrView(fromUtm), BstrView(fromGeo));
    SysFreeString(fromUtm);
    SysFreeString(fromGeo);
}

// A record of a fixture shapefile ogr2ogr wrote.
ScriptShapePtr ReadFixtureShape(const WString& path, int record) {
    ShpHandle h = ShpOpen(path.c_str(), 0);
    if (!h) return nullptr;
    ScriptShapePtr s = ScriptShape::Copy(ShpReadShape(h, record));
    ShpClose(h);
    return s;
}

TEST_F(Geometry, PartsAndPointsOfAMultipartLineAndAHoledPolygon) {
    for (const char* ext : {".shp", ".shx", ".dbf"}) {
        Fixture(std::string("script/lines") + ext);
        Fixture(std::string("script/polys") + ext);
    }
    ComPtr<CScriptPolyline> line(
        CScriptPolyline::Create(ReadFixtureShape(u"\\script\\lines.shp", 0)));
    ComPtr<CScriptPolygon> poly(
        CScriptPolygon::Create(ReadFixtureShape(u"\\script\\polys.shp", 0)));
    ASSERT_TRUE(line->Shape() && poly->Shape());
    AddItem(u"Line", line.Get());
    AddItem(u"Poly", poly.Get());
    auto log =
        Run(uR"VB(
Log.Write Line.ShapeType & " " & Line.Parts.Count & " " & Line.Length
Set e = Line.Extent
Log.Write e.Left & " " & e.Bottom & " " & e.Right & " " & e.Top & " " & e.Floor & " " & e.Ceiling & " " & e.MinimumMeasure & " " & e.MaximumMeasure
For Each part In Line.Parts
  s = ""
  For Each p In part
    s = s & "(" & p.x & " " & p.y & " " & p.Z & " " & p.Measure & ")"
  Next
  Log.Write part.Count & ":" & s
Next
Set pe = Line.Parts(2).Extent
Log.Write pe.Floor & " " & pe.Ceiling & " " & pe.MinimumMeasure & " " & pe.MaximumMeasure
Log.Write Poly.ShapeType & " " & Poly.Parts.Count & " " & Poly.Area & " " & Poly.Perimeter
Set q = Line.Parts(1)(1) : q.x = 99
Log.Write Line.Parts(1)(1).x
Set p = Line.Parts(1)(1) : p.x = 1 : p.y = 1 : Log.Write Poly.IsPointIn(p)
p.x = 3 : p.y = 3 : Log.Write Poly.IsPointIn(p)
p.x = 1 : p.y = 5 : Log.Write Poly.IsPointIn(p)
On Error Resume Next
Set z = Line.Parts(1).Item(0)
Log.Write Hex(Err.Number) : Err.Clear
Set z = Line.Parts(1).Item("x")
Log.Write Hex(Err.Number) : Err.Clear
Set z = Line.Parts(3)
Log.Write Hex(Err.Number) : Err.Clear
Log.Write Poly.IsPointIn(Line)
Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"13 2 13", "0 0 10 13 1 5 10 21",
                                             "3:(0 0 1 10)(3 4 2 11)(6 0 3 12)",
                                             "2:(10 10 4 20)(10 13 5 21)", "4 5 20 21", "5 2 96 48",
                                             "0", "-1", "0", "-1", "5", "80004005", "5", "1AE"}));
}

// A shape's collections stay usable after the object they came from is gone.
TEST_F(Geometry, CollectionsOutliveTheirShapeObject) {
    Fixture("script/lines.shp");
    Fixture("script/lines.shx");
    Fixture("script/lines.dbf");
    ComPtr<IDispatch> points;
    {
        ComPtr<CScriptPolyline> line(
            CScriptPolyline::Create(ReadFixtureShape(u"\\script\\lines.shp", 0)));
        ComPtr<IDispatch> parts;
        ASSERT_EQ(line->get_Parts(parts.Receive()), S_OK);
        ComVariant two(int32_t{2});
        ASSERT_EQ(static_cast<CScriptParts*>(parts.Get())->Item(two, points.Receive()), S_OK);
    }
    int32_t n = 0;
    EXPECT_EQ(static_cast<CScriptPoints*>(points.Get())->get_Count(&n), S_OK);
    EXPECT_EQ(n, 2);
}

}  // namespace
}  // namespace scripttest
