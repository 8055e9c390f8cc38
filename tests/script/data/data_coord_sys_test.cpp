// VBScript reports E_ACCESSDENIED as error 70 (46) and E_INVALIDARG as 5.
// The CoordSys object: well-known text round trips, conversions against
// cs2cs, the code table lookups, parameters, and what a script may change
// of a system the program owns.
#include "crs/code_tables.h"
#include "data/data_world.h"
#include "script/data/script_coord_sys.h"
#include "script/data/script_point.h"
#include "script/data/script_rect.h"

namespace scripttest {
namespace {

class CoordSys : public DataWorld {};

// UTM zone 33 north on WGS 1984 (the south zone's text without its false northing).
const char16_t* kUtm33n =
    uR"(PROJCS["WGS_1984_UTM_Zone_33N",GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]],PROJECTION["Transverse_Mercator"],PARAMETER["False_Easting",500000.0],PARAMETER["False_Northing",0.0],PARAMETER["Central_Meridian",15.0],PARAMETER["Scale_Factor",0.9996],PARAMETER["Latitude_Of_Origin",0.0],UNIT["Meter",1.0]])";

// A text inside a VBScript string literal.
std::u16string Quoted(std::u16string s) {
    for (size_t i = 0; (i = s.find(u'"', i)) != std::u16string::npos; i += 2) s.insert(i, 1, u'"');
    return s;
}

WString Text(BSTR b) {
    WString s(BstrView(b));
    SysFreeString(b);
    return s;
}

TEST_F(CoordSys, StringRoundTripsOverPrjTexts) {
    for (const char* name : {"utm11n_wgs84", "alaska_albers", "lambert93",
                             "new_brunswick_stereographic", "nad27_geographic"}) {
        SCOPED_TRACE(name);
        const std::string prj =
            ReadHostFile(std::string(ZN_TEST_DATA) + "/crs/prj/" + name + ".prj");
        ComPtr<CScriptCoordSys> cs(CScriptCoordSys::CreateFree());
        int32_t code = -1;
        ASSERT_EQ(cs->get_Projection(&code), S_OK);
        EXPECT_EQ(code, 0);
        BSTR in = SysAllocString(text::FromUtf8(prj));
        ASSERT_EQ(cs->put_String(in), S_OK);
        SysFreeString(in);
        BSTR out = nullptr;
        ASSERT_EQ(cs->get_String(&out), S_OK);
        const WString first = Text(out);
        EXPECT_EQ(first, FormatWkt(*SystemFromPrj(name), false));
        // Read back and written again, the text stays the same.
        in = SysAllocString(first);
        ASSERT_EQ(cs->put_String(in), S_OK);
        SysFreeString(in);
        ASSERT_EQ(cs->get_String(&out), S_OK);
        EXPECT_EQ(Text(out), first);
        ASSERT_EQ(cs->get_Projection(&code), S_OK);
        EXPECT_NE(code, 0);
    }
}

// Reference values (the rectangle's corners (14, 47) and (16, 46)):
// cs2cs -f %.6f +proj=longlat +datum=WGS84 +to +proj=utm +zone=33 +datum=WGS84.
TEST_F(CoordSys, ProjectConvertsFromTheShapesSystemIntoThisOne) {
    SetMapSystem(SystemFromPrj("wgs84_geographic"));
    auto log =
        Run(uR"VB(
Set utm = App.CreateAppObject("coordsys")
utm.String = ")VB" +
            Quoted(kUtm33n) +
            uR"VB("
Set p = App.CreateAppObject("point") : p.x = 15.5 : p.y = 45.2 : p.Z = 7
Set q = utm.Project(p)
Log.Write FormatNumber(q.x, 6, , , 0) & " " & FormatNumber(q.y, 6, , , 0) & " " & q.Z & " " & (q.CoordinateSystem Is utm)
Set back = p.CoordinateSystem.Project(q)
Log.Write FormatNumber(back.x, 9, , , 0) & " " & FormatNumber(back.y, 9, , , 0)
Set r = App.CreateAppObject("rectangle")
On Error Resume Next
Set bad = utm.Project(r)
Log.Write Hex(Err.Number) : Err.Clear
Set r = p.Extent
r.Left = 16 : r.Top = 47 : r.Right = 14 : r.Bottom = 46
Set rr = utm.Project(r)
Log.Write FormatNumber(rr.Left, 6, , , 0) & " " & FormatNumber(rr.Top, 6, , , 0) & " " & FormatNumber(rr.Right, 6, , , 0) & " " & FormatNumber(rr.Bottom, 6, , , 0)
Set bad = utm.Project(utm)
Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log,
              (std::vector<std::string>{
                  "539270.307445 5005289.841673 7 True", "15.500000000 45.200000000", "80004005",
                  "423974.687901 5205649.347746 577432.182569 5094533.591105", "1AE"}));
}

TEST_F(CoordSys, LookupsAndParameters) {
    auto log =
        Run(uR"VB(
Set cs = App.CreateAppObject("coordsys")
Log.Write cs.LookupCode("degree") & " " & cs.LookupCode(9102) & " " & cs.LookupCode(0) & " " & cs.LookupCode("Unknown_Projection")
Log.Write (Abs(cs.LookupConstant("Foot_US") - 1200 / 3937) < 1E-16) & " " & cs.LookupConstant("No_Such_Unit") & " " & cs.LookupConstant(9001)
On Error Resume Next
x1 = cs.LookupConstant("Unknown")
Log.Write Hex(Err.Number) : Err.Clear
x1 = cs.LookupCode("No_Such_Name")
Log.Write Hex(Err.Number) : Err.Clear
x1 = cs.LookupCode(424242)
Log.Write Hex(Err.Number) : Err.Clear
cs.String = "PROJCS[""L"",GEOGCS[""G"",DATUM[""D_WGS_1984"",SPHEROID[""WGS_1984"",6378137.0,298.257223563]],PRIMEM[""Greenwich"",0.0],UNIT[""Degree"",0.0174532925199433]],PROJECTION[""Lambert_Conformal_Conic""],PARAMETER[""False_Easting"",1000.0],PARAMETER[""False_Northing"",0.0],PARAMETER[""Central_Meridian"",-96.0],PARAMETER[""Standard_Parallel_1"",33.0],PARAMETER[""Standard_Parallel_2"",45.0],PARAMETER[""Latitude_Of_Origin"",23.0],UNIT[""Meter"",1.0]]"
Log.Write Hex(Err.Number) & " " & cs.Projection
Log.Write cs.Parameters("Latitude_Of_Origin") & " " & cs.Parameters(100020) & " " & cs.Parameters("central_parallel") & " " & cs.Parameters("Standard_Parallel_2") & " " & cs.Parameters(100001)
x1 = cs.Parameters("Longitude_Of_Origin")
Log.Write Hex(Err.Number) : Err.Clear
cs.Parameters("False_Easting") = 2000
Log.Write cs.Parameters(100001) & " " & (InStr(cs.String, "False_Easting"",2000") > 0)
cs.ProjectionUnit = 0
Log.Write Hex(Err.Number) & " " & cs.ProjectionUnit : Err.Clear
cs.ProjectionUnit = 9102
Log.Write Hex(Err.Number) & " " & cs.ProjectionUnit : Err.Clear
cs.GeographicUnit = 9001
Log.Write Hex(Err.Number) & " " & cs.GeographicUnit : Err.Clear
cs.ProjectionUnit = 9003
Log.Write Hex(Err.Number) & " " & cs.ProjectionUnit : Err.Clear
cs.DatumName = String(50, "d")
Log.Write Len(cs.DatumName)
cs.String = "nonsense"
Log.Write Hex(Err.Number) & " " & cs.Projection : Err.Clear
)VB");
    EXPECT_EQ(log,
              (std::vector<std::string>{"9102 Degree Unknown 0", "True 0 1", "5", "5", "5",
                                        "0 43020", "23 23 23 45 1000", "5", "2000 True", "5 9001",
                                        "5 9001", "5 9102", "0 9003", "40", "80004005 43020"}));
}

TEST_F(CoordSys, TheProgramsSystemCanBeChangedButNotReplaced) {
    SetMapSystem(SystemFromPrj("utm11n_wgs84"));
    const double b = mapCs_->m_b;
    auto log =
        Run(uR"VB(
Set p = App.CreateAppObject("point")
Set q = App.CreateAppObject("point")
Set cs = p.CoordinateSystem
Log.Write (cs Is q.CoordinateSystem) & " " & (cs Is p.CoordinateSystem)
On Error Resume Next
cs.String = "GEOGCS[""G"",DATUM[""D_WGS_1984"",SPHEROID[""WGS_1984"",6378137.0,298.257223563]],PRIMEM[""Greenwich"",0.0],UNIT[""Degree"",0.0174532925199433]]"
Log.Write Hex(Err.Number) & " " & cs.Projection : Err.Clear
Log.Write cs.Import("\nothing.prj")
Log.Write Hex(Err.Number) : Err.Clear
cs.ProjectionUnit = 0
Log.Write Hex(Err.Number) & " " & cs.ProjectionUnit : Err.Clear
cs.SemiMajorAxis = 6378000
Log.Write InStr(cs.String, "6378000,") > 0
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"True True", "46 43006", "46", "5 9001", "-1"}));
    EXPECT_EQ(mapCs_->m_a, 6378000.0);
    EXPECT_EQ(mapCs_->m_b, b);  // derived constants wait for Update
    ComPtr<CScriptCoordSys> cs = CScriptCoordSys::ForSystem(mapCs_.get());
    EXPECT_EQ(cs->Update(), S_OK);
    EXPECT_NE(mapCs_->m_b, b);
}

// Objects that keep a system the program has since replaced fail, never crash.
TEST_F(CoordSys, ObjectsOutliveTheMapsSystem) {
    SetMapSystem(SystemFromPrj("utm11n_wgs84"));
    CScriptHost& host = Host();
    ASSERT_TRUE(
        host.ExecuteString(uR"VB(
Set p = App.CreateAppObject("point") : p.x = 500000 : p.y = 4000000
Set old = p.CoordinateSystem
Set r = p.Extent
Log.Write Len(p.MGRS)
)VB"));
    host.SetScriptState(ScriptState::Started);
    SetMapSystem(SystemFromPrj("wgs84_geographic"));  // the old system is deleted
    ASSERT_TRUE(
        host.ExecuteString(uR"VB(
On Error Resume Next
m = p.MGRS
Log.Write Hex(Err.Number) : Err.Clear
s = old.String
Log.Write Hex(Err.Number) : Err.Clear
d = p.DistanceTo(p)
Log.Write Hex(Err.Number) : Err.Clear
a = r.Area
Log.Write Hex(Err.Number) : Err.Clear
Log.Write p.x & " " & (p.CoordinateSystem Is old)
Set n = App.CreateAppObject("point")
Log.Write (n.CoordinateSystem Is old) & " " & n.CoordinateSystem.Projection
)VB"));
    EXPECT_EQ(Log(), (std::vector<std::string>{"15", "80004005", "80004005", "80004005", "80004005",
                                               "500000 True", "False 43000"}));
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace scripttest
