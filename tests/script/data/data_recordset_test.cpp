// Recordsets from scripts: the cursor's states, searches by expression and
// box against answers ogrinfo gave for the same file, field values by type,
// edits read back by other tools, the export against ogr2ogr's, and objects
// kept past the recordset's files.
#include <algorithm>
#include <filesystem>

#include "data/data_world.h"
#include "formats/dbf/dbf_field.h"
#include "platform/fs/fs.h"
#include "script/data/script_field.h"
#include "script/data/script_fields.h"
#include "script/data/script_recordset.h"
#include "tests/support/run_command.h"

namespace scripttest {
namespace {

class Recordset : public DataWorld {
protected:
    // The find20 fixture under the device root as `name`; its device path.
    WString Find20(const std::string& name = "find20") {
        for (const char* ext : {".shp", ".shx", ".dbf"})
            Fixture(std::string("script/find20") + ext, "data/" + name + ext);
        return u"\\data\\" + text::FromUtf8(name) + u".shp";
    }
    std::string Host(const std::string& rel) { return root_ + "/" + rel; }
};

// The log writes Booleans as True/False; VBScript reports E_INVALIDARG as
// error 5, E_NOTIMPL as 445 (1BD), E_ACCESSDENIED as 70.
TEST_F(Recordset, CursorStates) {
    Find20();
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset")
' The step's error, the flags and the bookmark (with its own error).
Sub S(label)
  Dim e : e = Hex(Err.Number) : Err.Clear
  On Error Resume Next
  Dim b : b = rs.Bookmark
  Log.Write label & " " & e & " " & rs.BOF & " " & rs.EOF & " " & b & " " & Hex(Err.Number)
  Err.Clear
End Sub
On Error Resume Next
n = rs.RecordCount : S "before"
rs.Open "\data\find20.shp" : S "open"
Log.Write rs.RecordCount
rs.MoveLast : S "last"
rs.MoveNext : S "next"
rs.MoveNext : S "again"
rs.MoveFirst : S "first"
rs.MovePrevious : S "prev"
rs.MovePrevious : S "prev2"
rs.MoveNext : Log.Write rs.Fields("NAME").Value : S "next"
rs.MoveFirst : S "first"
rs.Bookmark = 0 : S "bm0"
rs.Bookmark = 7 : S "bm7"
rs.Move 2 : S "move2"
rs.Move -3, 5 : S "move-3from5"
rs.Move 30 : S "move30"
rs.Move 1 : S "move1"
rs.Bookmark = 21 : S "bm21"
rs.MoveFirst : rs.Open "\data\find20.shp" : S "reopen"
rs.Close : S "close"
rs.MoveFirst : S "closed"
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{
                       "before 80004005 True True  80004005",
                       "open 0 True True  80004005",
                       "20",
                       "last 0 False False 20 0",
                       "next 0 False True  80004005",
                       "again 80004005 False True  80004005",
                       "first 0 False False 1 0",
                       "prev 0 True False  80004005",
                       "prev2 80004005 True False  80004005",
                       "Alpha",
                       "next 0 True False  80004005",
                       "first 0 False False 1 0",
                       "bm0 5 False False 1 0",
                       "bm7 0 False False 7 0",
                       "move2 0 False False 9 0",
                       "move-3from5 0 False False 2 0",
                       "move30 0 False True  80004005",
                       "move1 80004005 False True  80004005",
                       "bm21 80004005 False True  80004005",
                       "reopen 0 True True  80004005",
                       "close 0 True True  80004005",
                       "closed 80004005 True True  80004005",
                   }));
}

// Every hit of a search, walked with FromBookmark, as bookmarks. The answers
// are ogrinfo's for the same file (-where, -spat; feature ids + 1), the
// expressions translated by hand.
struct FindCase {
    const char16_t* expression;  // VBScript text of a string literal
    const char16_t* envelope;    // "Nothing" or a rectangle variable
    const char* hits;
};

TEST_F(Recordset, FindAgainstOgrinfoAnswers) {
    Find20();
    Find20("indexed");
    const FindCase cases[] = {
        {u"\"[NAME] = \"\"[Bravo]\"\"\"", u"Nothing", "2"},
        // Brackets inside quoted text stay text.
        {u"\"InStr([NAME], \"\"[\"\") > 0\"", u"Nothing", "2 6"},
        {u"\"[N] = 5\"", u"Nothing", "1 5 10 15"},
        {u"\"[N] = 5 ' a comment\"", u"Nothing", "1 5 10 15"},
        {u"\"[N] = \"\"5\"\"\"", u"Nothing", "1 5 10 15"},
        // A value alone qualifies when it is true: non-zero numbers.
        {u"\"[N]\"", u"Nothing", "1 2 4 5 7 8 9 10 11 13 14 15 16 17 19 20"},
        {u"\"[R]\"", u"Nothing", "1 3 5 6 7 8 10 12 13 15 16 17 19 20"},
        {u"\"[POP] > 5000 And [NAME] <> \"\"\"\"\"", u"Nothing", "1 3 5 7 11 13 15 17 18 20"},
        {u"\"IsNull([D])\"", u"Nothing", "2 5 8 11 14 17"},
        {u"\"[D] < #2016-01-01#\"", u"Nothing", "15 16 18 19 20"},
        {u"\"\"", u"Nothing", "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20"},
        {u"\"\"", u"box", "1 2 6 7 11 12"},
        {u"\"\"", u"reversed", "1 2 6 7 11 12"},
        {u"\"[N] = 5\"", u"box", "1"},
        // Blank numbers read 0 (ogrinfo, which takes them as null, says 7).
        {u"\"[N] < 4\"", u"box", "6 7 12"},
    };
    std::u16string script = uR"VB(
Set box = App.CreateAppObject("rectangle")
box.Left = 0 : box.Bottom = 0 : box.Right = 12 : box.Top = 2.5
Set reversed = App.CreateAppObject("rectangle")
reversed.Left = 12 : reversed.Bottom = 2.5 : reversed.Right = 0 : reversed.Top = 0
Function All(rs, expression, envelope)
  Dim b, s : b = rs.Find(expression, envelope)
  Do While b > 0
    s = s & " " & b
    b = rs.Find(expression, envelope, b)
  Loop
  All = Mid(s, 2)
End Function
Set plain = App.CreateAppObject("recordset") : plain.Open "\data\find20.shp"
Set idx = App.CreateAppObject("recordset") : idx.Open "\data\indexed.shp", 2
Log.Write idx.BuildSpatialIndex
idx.Open "\data\indexed.shp"
)VB";
    for (const FindCase& c : cases) {
        script += u"Log.Write All(plain, " + std::u16string(c.expression) + u", " + c.envelope +
                  u") & \"|\" & All(idx, " + c.expression + u", " + c.envelope + u")\n";
    }
    auto log = Run(script);
    ASSERT_EQ(log.size(), std::size(cases) + 1);
    EXPECT_EQ(log[0], "-1");
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(log[i + 1], std::string(cases[i].hits) + "|" + cases[i].hits)
            << text::ToUtf8(cases[i].expression);
}

TEST_F(Recordset, FindStartsAfterTheBookmarkStopsAtTheFirstErrorAndRequeries) {
    Find20();
    Find20("indexed");
    Put("data/empty.dbf", "");
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\indexed.shp", 2
rs.BuildSpatialIndex : rs.Open "\data\indexed.shp"
Set box = App.CreateAppObject("rectangle") : box.Right = 12 : box.Top = 2.5
Set east = App.CreateAppObject("rectangle") : east.Left = 10 : east.Right = 20 : east.Top = 5
Log.Write rs.Find("[N] = 5", Nothing, 5)
rs.MoveLast : rs.MoveNext
Log.Write rs.EOF & " " & rs.Find("") & " " & rs.EOF & " " & rs.BOF & " " & rs.Bookmark
' A continuing call with another box searches that box.
b = rs.Find("", box) : Log.Write b & " " & rs.Find("", east, b)
' The first error ends the search and reaches the caller; no box is shown.
On Error Resume Next
b = -1 : b = rs.Find("[NAME] / 2 > 1") : Log.Write Err.Number & " " & b : Err.Clear
b = -1 : b = rs.Find("[NOSUCH] = 1") : Log.Write Err.Number & " " & b : Err.Clear
b = rs.Find("", 5) : Log.Write Hex(Err.Number) : Err.Clear
Set t = App.CreateAppObject("recordset")
t.Create "\data\none.dbf" : t.Fields.Append "A", 129, 5
Log.Write t.Find("[A] = 1") & " " & Hex(Err.Number)
b = t.Find("", box) : Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"10", "True 1 False False 1", "1 10", "13 -1",
                                             "91 -1", "D", "0 0", "80004005"}));
}

TEST_F(Recordset, FieldValuesByType) {
    {
        std::filesystem::create_directories(Host("data"));
        DbfHandle t = DbfCreate(u"\\data\\types.dbf", kDbfReadWrite);
        ASSERT_NE(t, nullptr);
        const struct {
            const char* name;
            char type;
            int length, decimals;
        } fields[] = {{"T", 'C', 10, 0}, {"I", 'N', 9, 0},  {"BIG", 'N', 18, 0}, {"DEC", 'N', 10, 2},
                      {"D", 'D', 8, 0},  {"L", 'L', 1, 0},  {"FL", 'F', 10, 3},  {"S4", 'N', 4, 0}};
        for (const auto& f : fields) ASSERT_GE(DbfAddField(t, f.name, f.type, f.length, f.decimals), 0);
        DbfClose(t);
    }
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\types.dbf", 2
Set f = rs.Fields
s = ""
For Each fld In f
  s = s & fld.Name & ":" & fld.Type & ":" & fld.DefinedSize & ":" & fld.NumericScale & ":" & fld.Precision & " "
Next
Log.Write s
For i = 1 To 4 : rs.AddNew : f("L") = True : f("S4") = i : Next
rs.MoveFirst
f("T") = "ab  " : f("I") = -7.9 : f("BIG") = 9999999999 : f("DEC") = 3.14159 : f("D") = #2024-02-29#
rs.Update
s = ""
For Each fld In f
  If fld.Name <> "FL" Then s = s & VarType(fld.Value) & "=" & fld.Value & " "
Next
Log.Write s
rs.MoveNext : Log.Write VarType(f("D").Value) & " " & f("D").IsNull & " " & f("T").IsNull
On Error Resume Next
v = f("FL").Value : Log.Write Hex(Err.Number) : Err.Clear
f("S4") = 123456 : Log.Write Err.Number & " " & f("S4").Value : Err.Clear
f("I") = "many" : Log.Write Err.Number & " " & f("I").Value : Err.Clear
f.Append "X", 5 : Log.Write Hex(Err.Number) : Err.Clear
Set t = App.CreateAppObject("recordset") : t.Create "\data\new.dbf"
t.Fields.Append "X", 3 : Log.Write Hex(Err.Number) : Err.Clear
t.Fields.Append "X", 20 : t.Fields.Append "C", 130, 12 : t.Fields.Append "W", 133
Log.Write Hex(Err.Number) & " " & t.Fields.Count & " " & t.Fields("C").DefinedSize & " " & t.Fields(3).Type
rs.Close
rs.Open "\data\types.dbf"
v = f("T").Value : Log.Write Hex(Err.Number) : Err.Clear
Set f = rs.Fields : rs.MoveFirst
f("T") = "x" : Log.Write Err.Number & " " & f("T").Value : Err.Clear
Log.Write rs.Supports(&H200) & " " & rs.Supports(&H2000) & " " & rs.Supports(&H1000400) & " " & rs.Supports(&H1008000)
)VB");
    ASSERT_EQ(log.size(), 12u);
    EXPECT_EQ(log[0], "T:129:10:0:0 I:5:9:0:9 BIG:5:18:0:18 DEC:5:10:2:10 D:7:8:0:0 L:11:1:0:0 "
                      "FL:10:10:3:10 S4:5:4:0:4 ");
    EXPECT_EQ(log[1], "8=ab 3=-8 5=9999999999 5=3.14 7=2/29/2024 11=True 3=1 ");
    EXPECT_EQ(log[2], "1 True True");
    EXPECT_EQ(log[3], "80004005");
    EXPECT_EQ(log[4], "5 2");
    EXPECT_EQ(log[5], "13 0");
    EXPECT_EQ(log[6], "80004005");
    EXPECT_EQ(log[7], "80004005");
    EXPECT_EQ(log[8], "0 3 12 7");
    // A Fields kept past Close fails; a read-only recordset refuses writes.
    EXPECT_EQ(log[9], "80004005");
    EXPECT_EQ(log[10], "70 ab");
    EXPECT_EQ(log[11], "True True False False");

    // Logical values other programs write: T, y, F and ? (unknown).
    std::string bytes = ReadHostFile(Host("data/types.dbf"));
    const size_t header = static_cast<uint8_t>(bytes[8]) | static_cast<uint8_t>(bytes[9]) << 8;
    const size_t length = static_cast<uint8_t>(bytes[10]) | static_cast<uint8_t>(bytes[11]) << 8;
    const size_t lAt = 1 + 10 + 9 + 18 + 10 + 8;
    const char marks[] = {'T', 'y', 'F', '?'};
    for (size_t r = 0; r < 4; ++r) bytes[header + r * length + lAt] = marks[r];
    Put("data/types.dbf", bytes);
    log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\types.dbf"
rs.MoveFirst : s = ""
Do Until rs.EOF : s = s & rs.Fields("L").Value & " " : rs.MoveNext : Loop
Log.Write s
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"True True False False "}));
    // Another reader sees what the script wrote; the refused value left no stars.
    const std::string info =
        testsupport::RunCommand("ogrinfo -al -q '" + Host("data/types.dbf") + "' 2>&1");
    for (const char* line : {"T (String) = ab\n", "I (Integer) = -8\n",
                             "BIG (Integer64) = 9999999999\n", "DEC (Real) = 3.14\n",
                             "D (Date) = 2024/02/29\n", "S4 (Integer) = 2\n"})
        EXPECT_NE(info.find(line), std::string::npos) << line << info;
    EXPECT_EQ(ReadHostFile(Host("data/types.dbf")).find('*'), std::string::npos);
}

// A PointZ shapefile made, filled and edited by a script, read by shpdump
// and ogrinfo.
TEST_F(Recordset, EditsReadBackByOtherTools) {
    for (const char* ext : {".shp", ".shx", ".dbf"})
        Fixture(std::string("script/lines") + ext, std::string("data/lines") + ext);
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset")
rs.Create "\data\made.shp", 11
Set f = rs.Fields
f.Append "NAME", 129, 20 : f.Append "VAL", 5, 10, 2 : f.Append "BIG", 5, 18
f.Append "SEEN", 7 : f.Append "OK", 11
Set pt = App.CreateAppObject("point")
For i = 1 To 3
  rs.AddNew
  pt.x = 10 * i : pt.y = -i : pt.Z = i / 2 : pt.Measure = 100 + i
  Set f.Shape = pt
  f("NAME") = "site " & i : f("VAL") = i * 1.25 : f("BIG") = 9999999999
  f("SEEN") = DateSerial(2024, 3, i) : f("OK") = (i <> 2)
  ' The first is written by Update, the others by the next move.
  If i = 1 Then rs.Update
Next
rs.MoveFirst
rs.MoveNext
rs.Delete
Log.Write rs.IsDeleted & " " & rs.Bookmark & " " & (f.Shape Is Nothing)
rs.MoveNext
Log.Write rs.Bookmark & " " & f("NAME") & " " & f.Shape.x & " " & rs.RecordCount
On Error Resume Next
Set f.Shape = Nothing : Log.Write Err.Number : Err.Clear
Set f.Shape = App.CreateAppObject("rectangle") : Log.Write Err.Number : Err.Clear
rs.Close
Set l = App.CreateAppObject("recordset") : l.Open "\data\lines.shp", 2
l.AddNew : Log.Write Hex(Err.Number) : Err.Clear
Set l.Fields.Shape = pt : Log.Write Hex(Err.Number) : Err.Clear
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"True 2 True", "3 site 3 30 3", "5", "430", "1BD",
                                             "1BD"}));

    const std::string shp = Host("data/made.shp");
    const std::string dump = testsupport::RunCommand("shpdump -validate '" + shp + "' 2>&1");
    // shpdump stops at a deleted record (its index entry has no length), so
    // it reads the first; ogrinfo reads them all.
    EXPECT_NE(dump.find("Shapefile Type: PointZ   # of Shapes: 3"), std::string::npos) << dump;
    EXPECT_NE(dump.find("(10,-1, 0.5, 101)"), std::string::npos) << dump;
    // The header box holds the written points, not the placeholders of AddNew.
    EXPECT_NE(dump.find("File Bounds: (10,-3,0.5,101)\n         to  (30,-1,1.5,103)"),
              std::string::npos)
        << dump;
    const std::string info = testsupport::RunCommand("ogrinfo -al -q '" + shp + "' 2>&1");
    for (const char* line : {"NAME (String) = site 1\n", "VAL (Real) = 1.25\n",
                             "BIG (Integer64) = 9999999999\n", "SEEN (Date) = 2024/03/01\n",
                             "OK (String) = T\n", "NAME (String) = site 3\n",
                             "VAL (Real) = 3.75\n", "SEEN (Date) = 2024/03/03\n",
                             "POINT ZM (30 -3 1.5 103)"})
        EXPECT_NE(info.find(line), std::string::npos) << line << info;
    // Deleted rows are not listed by ogrinfo.
    EXPECT_EQ(info.find("site 2"), std::string::npos) << info;
}

TEST_F(Recordset, AFailedImplicitUpdateFailsTheMoveAndChangesNothing) {
    Find20();
    const std::string before = ReadHostFile(Host("data/find20.dbf"));
    ComPtr<IDispatch> made;
    ASSERT_EQ(CreateDataScriptObject(u"recordset", nullptr, made.Receive()), S_OK);
    auto* rs = static_cast<CScriptRecordset*>(made.Get());
    ComVariant path(u"\\data\\find20.shp");
    ASSERT_EQ(rs->Open(path.bstrVal, 2), S_OK);
    ASSERT_EQ(rs->MoveFirst(), S_OK);
    ComPtr<IDispatch> fields;
    ASSERT_EQ(rs->get_Fields(fields.Receive()), S_OK);
    ComPtr<IDispatch> name;
    ASSERT_EQ(static_cast<CScriptFields*>(fields.Get())->Item(ComVariant(u"NAME"), name.Receive()), S_OK);
    ASSERT_EQ(static_cast<CScriptField*>(name.Get())->put_Value(ComVariant(u"Changed")), S_OK);
    fs::test::FailNthWrite(1);
    EXPECT_EQ(rs->MoveNext(), E_FAIL);
    fs::test::Reset();
    int32_t bookmark = 0;
    EXPECT_EQ(rs->get_Bookmark(&bookmark), S_OK);
    EXPECT_EQ(bookmark, 1);
    EXPECT_EQ(ReadHostFile(Host("data/find20.dbf")), before);
    // The edit is still pending and is written once writing works.
    EXPECT_EQ(rs->MoveNext(), S_OK);
    EXPECT_NE(ReadHostFile(Host("data/find20.dbf")).find("Changed"), std::string::npos);
}

std::vector<std::vector<std::string>> TabRows(const std::string& textUtf8) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(textUtf8);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::stringstream s(line);
        std::string c;
        while (std::getline(s, c, '\t')) cells.push_back(c);
        if (!line.empty() && line.back() == '\t') cells.emplace_back();
        rows.push_back(cells);
    }
    return rows;
}

// A cell as both tools mean it: ogr2ogr quotes integers and writes dates as
// YYYY/MM/DD; the table's own text pads numbers, writes dates as YYYYMMDD,
// zeros for no date and stars for no number.
std::string Plain(std::string c) {
    c.erase(0, c.find_first_not_of(' '));
    if (c.size() >= 2 && c.front() == '"' && c.back() == '"') c = c.substr(1, c.size() - 2);
    if (c == "00000000" || c.find_first_not_of('*') == std::string::npos) c.clear();
    c.erase(std::remove(c.begin(), c.end(), '/'), c.end());
    return c;
}

// The export against ogr2ogr's tab-separated text of the same table; a
// deleted row is exported too, and a table without rows gives its header.
TEST_F(Recordset, ExportEqualsOgr2ogrText) {
    Find20();
    Find20("deleted");
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\find20.dbf"
Log.Write rs.Export("\data\find20.txt")
rs.Open "\data\deleted.shp", 2 : rs.Move 3, 1 : rs.Delete
rs.Fields("NAME") = "lost"
Log.Write rs.Export("\data\deleted.txt")
Set t = App.CreateAppObject("recordset") : t.Create "\data\empty.dbf"
t.Fields.Append "A", 129, 4 : t.Fields.Append "B", 5, 3
Log.Write t.Export("\data\empty.txt")
On Error Resume Next
ok = 5 : ok = t.Export("\nowhere\empty.txt") : Log.Write ok & " " & Hex(Err.Number)
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"-1", "-1", "-1", "5 80004005"}));
    const std::string ours = testsupport::RunCommand("iconv -f UTF-16LE -t UTF-8 '" +
                                                     Host("data/find20.txt") + "'");
    ASSERT_EQ(ours.substr(0, 3), "\xEF\xBB\xBF");  // the byte-order mark
    int status = -1;
    testsupport::RunCommand("ogr2ogr -f CSV -lco SEPARATOR=TAB '" + Host("csv") + "' '" +
                                Host("data/find20.dbf") + "'",
                            &status);
    ASSERT_EQ(status, 0);
    const auto mine = TabRows(ours.substr(3));
    const auto theirs = TabRows(ReadHostFile(Host("csv/find20.csv")));
    ASSERT_EQ(mine.size(), 21u);
    ASSERT_EQ(mine.size(), theirs.size());
    for (size_t r = 0; r < mine.size(); ++r) {
        ASSERT_EQ(mine[r].size(), theirs[r].size()) << r;
        for (size_t c = 0; c < mine[r].size(); ++c) {
            if (r > 0 && c == 2 && !Plain(mine[r][c]).empty())
                EXPECT_EQ(std::stod(mine[r][c]), std::stod(theirs[r][c])) << r;
            else
                EXPECT_EQ(Plain(mine[r][c]), Plain(theirs[r][c])) << r << " " << c;
        }
    }
    // The deleted fourth row stays, and the pending edit of the cursor's
    // record is in the file, not lost.
    const auto deleted = TabRows(testsupport::RunCommand(
        "iconv -f UTF-16LE -t UTF-8 '" + Host("data/deleted.txt") + "'").substr(3));
    ASSERT_EQ(deleted.size(), 21u);
    EXPECT_EQ(deleted[4][0], "lost");
    EXPECT_EQ(testsupport::RunCommand("iconv -f UTF-16LE -t UTF-8 '" + Host("data/empty.txt") + "'"),
              "\xEF\xBB\xBF" "A\tB\r\n");
}

// Objects a script keeps outlive what the recordset had open: shapes are
// copies, fields and systems fail once the files are closed.
TEST_F(Recordset, ObjectsKeptPastClose) {
    Find20();
    Fixture("crs/prj/wgs84_geographic.prj", "data/find20.prj");
    for (const char* ext : {".shp", ".shx", ".dbf"})
        Fixture(std::string("script/lines") + ext, std::string("data/lines") + ext);
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\lines.shp"
rs.MoveFirst
Set ps = rs.Fields.Shape.Parts
Set nm = rs.Fields("NAME")
rs.MoveNext : rs.Close
Log.Write ps.Count & " " & ps(1).Count & " " & ps(2)(1).x & " " & ps(1)(3).Measure
Set rs = Nothing
Log.Write ps(1)(2).y
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\find20.shp"
rs.MoveFirst
Set p = rs.Fields.Shape : Set cs = rs.CoordinateSystem : Set f = rs.Fields
Log.Write p.ShapeType & " " & p.x & " " & Len(p.MGRS) & " " & cs.GeographicName
rs.Open "\data\lines.shp"
On Error Resume Next
m = p.MGRS : Log.Write Hex(Err.Number) : Err.Clear
g = cs.GeographicName : Log.Write Hex(Err.Number) : Err.Clear
v = nm.Value : Log.Write Hex(Err.Number) : Err.Clear
n = f.Count : Log.Write Hex(Err.Number) : Err.Clear
Log.Write p.x & " " & rs.Fields("NAME").Value
)VB");
    EXPECT_EQ(log, (std::vector<std::string>{"2 3 10 12", "4", "1 1 15 GCS_WGS_1984",
                                             "80004005", "80004005", "80004005", "80004005",
                                             "1 "}));
}

TEST_F(Recordset, FromJScript) {
    Find20();
    auto log = Run(uR"JS(
var rs = App.CreateAppObject("recordset");
rs.Open("\\data\\find20.shp");
rs.MoveFirst();
var n = 0, names = 0;
while (!rs.EOF) {
  n += rs.Fields("N").Value;
  if (rs.Fields("NAME").Value.length > 0) names++;
  rs.MoveNext();
}
Log.Write(n + " " + names + " " + rs.RecordCount + " " + rs.Find("[N] = 5", null, 1));
Log.Write(rs.Fields.Shape.x + " " + rs.Fields.Item(1).Name + " " + rs.Fields.Count);
)JS",
                   u"JScript");
    EXPECT_EQ(log, (std::vector<std::string>{"117 19 20 5", "5 NAME 5"}));
}

// Packing and indexing the recordset's own shapefile: the index is let go
// before the files are replaced and opened again in mode 1; records are
// numbered anew, so the cursor starts over.
TEST_F(Recordset, PackAndIndexTheRecordsetsOwnFiles) {
    Find20();
    auto log = Run(uR"VB(
Set rs = App.CreateAppObject("recordset") : rs.Open "\data\find20.shp", 2
rs.Bookmark = 3 : rs.Delete : rs.Bookmark = 8 : rs.Delete
Log.Write rs.IsDeleted & " " & rs.Find("", Nothing, 2) & " " & rs.BuildSpatialIndex
rs.Open "\data\find20.shp"
Set box = App.CreateAppObject("rectangle") : box.Right = 12 : box.Top = 2.5
Log.Write rs.Find("", box) & " " & rs.Pack & " " & rs.RecordCount
rs.Open "\data\find20.shp", 2
Log.Write rs.Pack & " " & rs.RecordCount & " " & rs.BOF & " " & rs.EOF & " " & rs.BuildSpatialIndex
rs.Open "\data\find20.shp"
b = rs.Find("", box) : s = ""
Do While b > 0 : s = s & b & " " : b = rs.Find("", box, b) : Loop
Log.Write s
Set t = App.CreateAppObject("recordset") : t.Open "\data\find20.dbf"
Log.Write t.Pack & " " & t.Supports(&H1000800) & " " & t.Supports(&H200)
)VB");
    // Records 3 and 8 are gone; the hits in the box are renumbered (1 2 6
    // 7 11 12 become 1 2 5 6 9 10).
    EXPECT_EQ(log, (std::vector<std::string>{"True 4 True", "1 True 18", "True 18 True True True",
                                             "1 2 5 6 9 10 ", "False False True"}));
}

}  // namespace
}  // namespace scripttest
