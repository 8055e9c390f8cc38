// Tables checked against independent readers and writers: shapelib's
// dbfdump/dbfcreate/dbfadd and GDAL's ogrinfo/ogr2ogr.
//
// Differences that are on purpose and therefore not compared:
// - header bytes 1-3 (date of last update) differ by the day of writing;
// - our new tables carry language driver id 0x03 and the field offsets in
//   descriptor bytes 12-15 (shapelib writes 0x57 and zeros);
// - ogrinfo leaves out rows marked deleted, and shows blank values as (null);
// - numbers that do not fit their field are '*'-filled here (no value).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "dbf_test_util.h"
#include "formats/dbf/dbf_field.h"

namespace {

using Values = std::map<std::string, std::string>;

struct DumpRecord {
    Values values;
    bool deleted = false;
};

// `dbfdump -r -m`: "Record: n", then "NAME: value" lines, then "(DELETED)".
std::vector<DumpRecord> ParseDbfdump(const std::string& out,
                                     const std::vector<std::string>& names) {
    std::vector<DumpRecord> recs;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Record: ", 0) == 0) {
            recs.emplace_back();
            continue;
        }
        if (recs.empty()) continue;
        if (line == "(DELETED)") {
            recs.back().deleted = true;
            continue;
        }
        for (const auto& n : names) {
            if (line.rfind(n + ": ", 0) == 0) {
                recs.back().values[n] = line.substr(n.size() + 2);
                break;
            }
        }
    }
    return recs;
}

struct OgrFeature {
    int fid = -1;
    Values values;  // "(null)" for null
};

// `ogrinfo -ro -al -q`: "OGRFeature(layer):fid", then "  NAME (Type) = value".
std::vector<OgrFeature> ParseOgrinfo(const std::string& out) {
    std::vector<OgrFeature> feats;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("OGRFeature(", 0) == 0) {
            feats.emplace_back();
            feats.back().fid = std::stoi(line.substr(line.find("):") + 2));
            continue;
        }
        if (feats.empty() || line.rfind("  ", 0) != 0) continue;
        const size_t paren = line.find(" (");
        const size_t eq = line.find(") = ");
        if (paren == std::string::npos || eq == std::string::npos) continue;
        feats.back().values[line.substr(2, paren - 2)] = line.substr(eq + 4);
    }
    return feats;
}

std::string Trim(const std::string& s) {
    const size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return "";
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

std::string Utf8(const WString& s) {
    return text::ToUtf8(s);
}

class DbfOracle : public DbfRootTest {
protected:
    // Compares every row and field of a table as our engine reads it with
    // dbfdump's reading of the same file.
    void CompareWithDbfdump(const std::string& rel) {
        DbfHandle h = DbfOpen(text::FromUtf8("\\" + rel).c_str(), 0);
        ASSERT_NE(h, nullptr) << rel;
        std::vector<std::string> names;
        for (int i = 0; i < DbfGetFieldCount(h); ++i) {
            uint8_t d[32];
            DbfGetFieldDescriptor(h, i, d);
            names.emplace_back(reinterpret_cast<char*>(d), strnlen(reinterpret_cast<char*>(d), 11));
        }
        int status = 0;
        const auto recs =
            ParseDbfdump(RunTool("dbfdump -r -m '" + Host(rel) + "'", &status), names);
        EXPECT_EQ(status, 0);
        ASSERT_EQ(static_cast<int>(recs.size()), DbfGetRecordCount(h)) << rel;
        for (int r = 0; r < DbfGetRecordCount(h); ++r) {
            ASSERT_EQ(DbfReadRecord(h, r), 1);
            EXPECT_EQ(recs[r].deleted, !DbfIsRecordActive(h)) << rel << " row " << r;
            for (int f = 0; f < DbfGetFieldCount(h); ++f) {
                ASSERT_TRUE(recs[r].values.count(names[f])) << names[f];
                const std::string theirs = Trim(recs[r].values.at(names[f]));
                const std::string raw(reinterpret_cast<const char*>(DbfGetFieldBytes(h, f)),
                                      static_cast<size_t>(DbfGetFieldLength(h, f)));
                const std::string ours = Trim(raw);
                if (theirs == "(NULL)") {
                    // shapelib's no-value forms: blank, '*'-filled, or a zero date.
                    EXPECT_TRUE(ours.empty() || ours.find_first_not_of('*') == std::string::npos ||
                                ours == "00000000")
                        << rel << " row " << r << " " << names[f] << " [" << ours << "]";
                    continue;
                }
                EXPECT_EQ(theirs, ours) << rel << " row " << r << " " << names[f];
                // Text through the table's code page trims like shapelib.
                if (DbfIsTextField(h, f)) {
                    EXPECT_EQ(Trim(Utf8(DbfGetString(h, f))),
                              Utf8(DbfTextFromTable(DbfGetCodePage(h),
                                                    reinterpret_cast<const uint8_t*>(theirs.data()),
                                                    static_cast<int>(theirs.size()))));
                }
                if (DbfGetFieldType(h, f) == 'N' && !DbfIsBlank(h, f)) {
                    EXPECT_DOUBLE_EQ(DbfGetNumber(h, f), std::stod(theirs));
                }
            }
        }
        DbfClose(h);
    }

    // Compares the live rows with ogrinfo's typed, decoded values.
    void CompareWithOgrinfo(const std::string& rel) {
        DbfHandle h = DbfOpen(text::FromUtf8("\\" + rel).c_str(), 0);
        ASSERT_NE(h, nullptr);
        const std::string out = RunTool("ogrinfo -ro -al -q '" + Host(rel) + "' 2>&1");
        const auto feats = ParseOgrinfo(out);
        size_t next = 0;
        for (int r = 0; r < DbfGetRecordCount(h); ++r) {
            ASSERT_EQ(DbfReadRecord(h, r), 1);
            if (!DbfIsRecordActive(h)) continue;  // ogrinfo skips deleted rows
            ASSERT_LT(next, feats.size()) << rel;
            const OgrFeature& ft = feats[next++];
            EXPECT_EQ(ft.fid, r) << rel;
            for (int f = 0; f < DbfGetFieldCount(h); ++f) {
                const std::string name = Utf8(DbfGetFieldName(h, f));
                // ogrinfo leaves out fields that are not set (an empty date).
                const std::string theirs =
                    ft.values.count(name) ? ft.values.at(name) : std::string("(null)");
                const char type = DbfGetFieldType(h, f);
                SCOPED_TRACE(rel + " row " + std::to_string(r) + " " + name + " = " + theirs);
                if (type == 'C') {
                    const std::string ours = Utf8(DbfGetString(h, f));
                    EXPECT_EQ(theirs, ours.empty() ? "(null)" : ours);
                } else if (type == 'N' || type == 'F') {
                    if (DbfIsBlank(h, f)) {
                        EXPECT_EQ(theirs, "(null)");
                    } else {
                        ASSERT_NE(theirs, "(null)");
                        EXPECT_NEAR(std::stod(theirs), DbfGetNumber(h, f),
                                    1e-12 * (1 + std::fabs(DbfGetNumber(h, f))));
                    }
                } else if (type == 'L') {
                    const char c = static_cast<char>(DbfGetFieldBytes(h, f)[0]);
                    if (c == ' ' || c == '?')
                        EXPECT_TRUE(theirs == "(null)" || theirs == "?");
                    else
                        EXPECT_EQ(theirs, std::string(1, DbfGetLogical(h, f) ? 'T' : 'F'));
                } else if (type == 'D') {
                    const DbfDateTime* d = DbfGetDate(h, f);
                    ASSERT_NE(d, nullptr);
                    if (d->year == 0) {
                        EXPECT_TRUE(theirs == "(null)" || theirs == "0000/00/00");
                    } else {
                        EXPECT_EQ(theirs,
                                  text::FormatA("%04d/%02d/%02d", d->year, d->month, d->day));
                    }
                }
            }
        }
        EXPECT_EQ(next, feats.size()) << rel;
        DbfClose(h);
    }
};

struct CodePageCase {
    const char* name;
    int ldid;
    const char* cpg;  // written beside the table, as the new-table dialog does
    const WChar* text;
};

TEST_F(DbfOracle, TablesWeWriteAndEditReadTheSameElsewhere) {
    REQUIRE_TOOL("dbfdump");
    REQUIRE_TOOL("ogrinfo");
    const CodePageCase cases[] = {
        {"cp1252", 0x03, nullptr, u"Caf\u00E9 d\u00E9j\u00E0 \u20AC"},
        {"cp1251", 0xC9, nullptr, u"\u041F\u0440\u0438\u0432\u0435\u0442"},
        {"cp437", 0x01, nullptr, u"\u00D1and\u00FA \u00A3"},
        {"utf8", 0x00, "UTF-8", u"\u65E5\u672C \u00FC\u20AC"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string rel = std::string(c.name) + ".dbf";
        const WString path = text::FromUtf8("\\" + rel);
        if (c.cpg) Put(std::string(c.name) + ".cpg", c.cpg);
        DbfHandle h = DbfCreate(path.c_str(), 0);
        ASSERT_NE(h, nullptr);
        DbfSetLanguageDriverId(h, c.ldid);
        if (c.cpg) DbfSetCodePage(h, DbfCodePageFromName(c.cpg));
        DbfAddField(h, u"NAME", 'C', 24, 0);
        DbfAddField(h, u"CNT", 'N', 6, 0);
        DbfAddField(h, u"RATIO", 'N', 10, 3);
        DbfAddField(h, u"FLT", 'F', 13, 4);
        DbfAddField(h, u"OK", 'L', 1, 0);
        DbfAddField(h, u"WHEN", 'D', 8, 0);
        struct Row {
            const WChar* name;
            double cnt, ratio, flt;
            int ok;
            DbfDateTime when;
        } rows[] = {
            {c.text, 42, 3.14159, -0.5, 'T', {2024, 2, 0, 29, 0, 0, 0, 0}},
            {u"plain", -7, 0, 1e6, 'F', {}},
            {u"gone", 1, 1, 1, 'T', {2000, 1, 0, 1, 0, 0, 0, 0}},
            {nullptr, 0, 0, 0, 0, {}},  // a blank row
            {u"last", 123456, -12.345, 1234567.1234, 'y', {1999, 12, 0, 31, 0, 0, 0, 0}},
        };
        for (const auto& r : rows) {
            DbfBlankRecord(h);
            if (r.name) {
                DbfPutText(h, 0, r.name);
                DbfPutNumber(h, 1, r.cnt);
                DbfPutNumber(h, 2, r.ratio);
                DbfPutNumber(h, 3, r.flt);
                DbfPutLogical(h, 4, r.ok);
                DbfPutDate(h, 5, &r.when);
            }
            ASSERT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        }
        ASSERT_EQ(DbfDeleteRecord(h, 2), 1);
        DbfClose(h);
        // Edit: reopen, change a row in place, append one more.
        h = DbfOpen(path.c_str(), kDbfReadWrite);
        ASSERT_NE(h, nullptr);
        ASSERT_EQ(DbfReadRecord(h, 1), 1);
        DbfPutText(h, 0, c.text);
        DbfPutNumber(h, 2, 99.5);
        ASSERT_EQ(DbfWriteRecord(h, kDbfCurrent), 1);
        DbfBlankRecord(h);
        DbfPutText(h, 0, u"appended");
        DbfPutNumber(h, 1, 5);
        ASSERT_EQ(DbfWriteRecord(h, kDbfAppend), 1);
        DbfClose(h);

        CompareWithDbfdump(rel);
        CompareWithOgrinfo(rel);
        // The text decoded by GDAL is the text we wrote.
        const std::string out = RunTool("ogrinfo -ro -al -q '" + Host(rel) + "' 2>&1");
        EXPECT_NE(out.find("NAME (String) = " + Utf8(c.text)), std::string::npos) << out;
    }
}

TEST_F(DbfOracle, HeaderOfANewTableAsDbfdumpSeesIt) {
    REQUIRE_TOOL("dbfdump");
    DbfHandle h = DbfCreate(u"\\empty.dbf", 0);
    DbfClose(h);
    int status = 0;
    const std::string none = RunTool("dbfdump -h '" + Host("empty.dbf") + "'", &status);
    EXPECT_NE(none.find("There are no fields in this table!"), std::string::npos) << none;
    EXPECT_EQ(status, 3) << "shapelib refuses tables without fields; ours are valid";
    h = DbfCreate(u"\\defaults.dbf", 0);
    DbfAddField(h, u"TEXT", 'C', 0, 0);
    DbfAddField(h, u"NUM", 'N', 0, 0);
    DbfBlankRecord(h);
    DbfPutText(h, 0, u"x");
    DbfPutNumber(h, 1, 1.0 / 3);
    DbfWriteRecord(h, kDbfAppend);
    DbfClose(h);
    const std::string out = RunTool("dbfdump -h '" + Host("defaults.dbf") + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("Title=`TEXT', Width=255, Decimals=0"), std::string::npos) << out;
    EXPECT_NE(out.find("Title=`NUM', Width=18, Decimals=6"), std::string::npos) << out;
    EXPECT_NE(out.find("0.333333"), std::string::npos) << out;
}

TEST_F(DbfOracle, PublicSampleTablesReadLikeDbfdump) {
    REQUIRE_TOOL("dbfdump");
    for (const char* name : {"blockgroups.dbf", "NullTest.dbf", "balancing.dbf", "linez.dbf",
                             "multipoint.dbf", "releaseArea20090407.dbf"}) {
        CopyIn(std::string(ZN_TEST_DATA) + "/dbf/" + name, name);
        CompareWithDbfdump(name);
    }
    CopyIn(std::string(ZN_TEST_DATA) + "/dbf/releaseArea20090407.cpg", "releaseArea20090407.cpg");
    DbfHandle h = DbfOpen(u"\\releaseArea20090407.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetCodePage(h), 65001u) << "its .cpg says UTF-8";
    const int ci = DbfFindField(h, u"ci95");
    ASSERT_GE(ci, 0);
    ASSERT_EQ(DbfReadRecord(h, 0), 1);
    EXPECT_EQ(DbfIsBlank(h, ci), 1) << "an overflowed field holds no value";
    DbfClose(h);
    h = DbfOpen(u"\\blockgroups.dbf", 0);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetFieldCount(h), 43);
    EXPECT_EQ(DbfGetRecordCount(h), 663);
    EXPECT_EQ(DbfGetCodePage(h), 1252u);
    DbfClose(h);
}

TEST_F(DbfOracle, TablesFromShapelibRead) {
    REQUIRE_TOOL("dbfcreate");
    REQUIRE_TOOL("dbfadd");
    const std::string base = Host("sl");
    RunTool("dbfcreate '" + base + "' -s NAME 12 -n CNT 5 0 -n VAL 9 3");
    RunTool("dbfadd '" + base + "' 'first row' 17 2.5");
    RunTool("dbfadd '" + base + "' '' '' ''");
    RunTool("dbfadd '" + base + "' 'x' -4 123456.789");
    DbfHandle h = DbfOpen(u"\\SL.DBF", 0);  // found whatever the letter case
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(DbfGetLanguageDriverId(h), 0x57);
    EXPECT_EQ(DbfGetCodePage(h), 1252u);
    ASSERT_EQ(DbfGetRecordCount(h), 3);
    ASSERT_EQ(DbfReadRecord(h, 0), 1);
    EXPECT_EQ(WString(DbfGetText(h, 0)), u"first row");
    EXPECT_EQ(DbfGetInteger(h, 1), 17);
    EXPECT_DOUBLE_EQ(DbfGetNumber(h, 2), 2.5);
    ASSERT_EQ(DbfReadRecord(h, 1), 1);
    EXPECT_EQ(DbfIsBlank(h, 1), 1);
    EXPECT_EQ(DbfIsBlank(h, 2), 1);
    ASSERT_EQ(DbfReadRecord(h, 2), 1);
    // 123456.789 does not fit N(9,3): shapelib keeps the leftmost characters
    // (our engine would have stored '*', no value).
    EXPECT_DOUBLE_EQ(DbfGetNumber(h, 2), 123456.78);
    EXPECT_DOUBLE_EQ(DbfGetNumber(h, 1), -4);
    DbfClose(h);
    CompareWithDbfdump("sl.dbf");
}

TEST_F(DbfOracle, TablesFromOgr2ogrRead) {
    REQUIRE_TOOL("ogr2ogr");
    Put("in.csv",
        "name,num,count,day\n"
        "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82,1.5,3,2024/02/29\n"
        "plain,-2.25,-1,\n");
    struct {
        const char* options;
        const char* out;
        int ldid;
        unsigned cp;
    } cases[] = {
        {"-lco ENCODING=CP1251", "cp1251.dbf", 0, 1251},
        {"-lco ENCODING=UTF-8", "utf8.dbf", 0, 65001},
        {"", "default.dbf", 0x57, 1252},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        int status = 0;
        RunTool("cd '" + root_ + "' && ogr2ogr -f 'ESRI Shapefile' -oo AUTODETECT_TYPE=YES " +
                    c.options + " " + c.out + " in.csv 2>/dev/null",
                &status);
        ASSERT_EQ(status, 0);
        DbfHandle h = DbfOpen(text::FromUtf8(std::string("\\") + c.out).c_str(), 0);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(DbfGetLanguageDriverId(h), c.ldid);
        EXPECT_EQ(DbfGetCodePage(h), c.cp);
        ASSERT_EQ(DbfGetRecordCount(h), 2);
        ASSERT_EQ(DbfReadRecord(h, 0), 1);
        if (c.cp != 1252) {
            EXPECT_EQ(WString(DbfGetText(h, 0)), u"\u041F\u0440\u0438\u0432\u0435\u0442");
        }
        EXPECT_DOUBLE_EQ(DbfGetNumber(h, 1), 1.5);
        EXPECT_EQ(DbfGetInteger(h, 2), 3);
        const DbfDateTime* d = DbfGetDate(h, 3);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->year, 2024);
        EXPECT_EQ(d->day, 29);
        ASSERT_EQ(DbfReadRecord(h, 1), 1);
        EXPECT_EQ(WString(DbfGetText(h, 0)), u"plain");
        EXPECT_DOUBLE_EQ(DbfGetNumber(h, 1), -2.25);
        EXPECT_EQ(DbfGetDate(h, 3)->year, 0);
        DbfClose(h);
        CompareWithOgrinfo(c.out);
    }
}

}  // namespace
