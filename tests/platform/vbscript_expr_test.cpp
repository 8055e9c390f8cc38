// Expressions and their results: coercions, operators, comparisons, Null
// propagation, overflow promotion and the standard functions. Each case is
// "expression -> TypeName:value" as the language documents it.
#include <gtest/gtest.h>

#include <clocale>

#include "tests/platform/locale_guard.h"
#include "tests/platform/vbscript_harness.h"

namespace {

struct Case {
    const char* expr;
    const char* want;
};

void Check(const std::vector<Case>& cases) {
    vbstest::Runner r;
    for (const Case& c : cases) EXPECT_EQ(r.Eval(c.expr), c.want) << c.expr;
}

TEST(VbsExpr, Literals) {
    Check({
        {"1", "Integer:1"},
        {"32767", "Integer:32767"},
        {"32768", "Long:32768"},
        {"-32768", "Long:-32768"},
        {"2147483648", "Double:2147483648"},
        {"1.5", "Double:1.5"},
        {"1e3", "Double:1000"},
        {".5", "Double:0.5"},
        {"&HFF", "Integer:255"},
        {"&HFFFF", "Integer:-1"},
        {"&H7FFF", "Integer:32767"},
        {"&H8000", "Integer:-32768"},
        {"&HFFFFFFFF", "Long:-1"},
        {"&O77777", "Integer:32767"},
        {"&O100000", "Integer:-32768"},
        {"&O177777", "Integer:-1"},
        {"&O200000", "Long:65536"},
        {"&H8000&", "Long:32768"},
        {"&HFFFF&", "Long:65535"},
        {"&H10000", "Long:65536"},
        {"&O17", "Integer:15"},
        {"\"a\"\"b\"", "String:a\"b"},
        {"#1/31/2024#", "Date:1/31/2024"},
        {"#2024-01-31 13:05:09#", "Date:1/31/2024 1:05:09 PM"},
        {"#10:30 PM#", "Date:10:30:00 PM"},
        {"True", "Boolean:True"},
        {"Empty", "Empty"},
        {"Null", "Null"},
        {"Nothing", "Nothing"},
    });
}

TEST(VbsExpr, ArithmeticTypesAndOverflow) {
    Check({
        {"32767 + 1", "Long:32768"},
        {"CInt(200) * CInt(200)", "Long:40000"},
        {"2147483647 + 1", "Double:2147483648"},
        {"CByte(200) + CByte(100)", "Integer:300"},
        {"CByte(2) + CByte(3)", "Byte:5"},
        {"True + True", "Integer:-2"},
        {"Empty + Empty", "Integer:0"},
        {"1 + 1.5", "Double:2.5"},
        {"CSng(1.5) + 1", "Single:2.5"},
        {"CSng(1.5) + 100000", "Double:100001.5"},
        {"\"1\" + 2", "Double:3"},
        {"\"1\" + \"2\"", "String:12"},
        {"\"a\" + Empty", "String:a"},
        {"\"a\" + 1", "error 13"},
        {"7 / 2", "Double:3.5"},
        {"7 \\ 2", "Integer:3"},
        {"-7 \\ 2", "Integer:-3"},
        {"7.5 \\ 2", "Long:4"},
        {"7 Mod 3", "Integer:1"},
        {"-7 Mod 3", "Integer:-1"},
        {"5.5 Mod 2", "Long:0"},
        {"2 ^ 10", "Double:1024"},
        {"-2 ^ 2", "Double:4"},
        {"2 ^ -1", "Double:0.5"},
        {"1 / 0", "error 11"},
        {"0 / 0", "error 6"},
        {"1 \\ 0", "error 11"},
        {"1 Mod 0", "error 11"},
        {"CCur(1.5) * 2", "Currency:3"},
        {"CCur(10) / 4", "Double:2.5"},
        {"#1/31/2024# + 1", "Date:2/1/2024"},
        {"#2/1/2024# - #1/31/2024#", "Double:1"},
        {"#1/31/2024# - 1", "Date:1/30/2024"},
        {"1 + 2 * 3 ^ 2", "Double:19"},
        {"10 - 4 - 3", "Integer:3"},
        {"2 * 3 \\ 4", "Integer:1"},
        {"7 \\ 2 Mod 2", "Integer:1"},
        {"1 + 2 & 3", "String:33"},
        {"-Empty", "Integer:0"},
        {"-CInt(-32768)", "Long:32768"},
        {"-1.5 * 0", "Double:0"},
    });
}

TEST(VbsExpr, NullPropagation) {
    Check({
        {"Null + 1", "Null"},
        {"Null & \"a\"", "String:a"},
        {"Null & Null", "Null"},
        {"Null = Null", "Null"},
        {"Null = 1", "Null"},
        {"Null And False", "Boolean:False"},
        {"Null And True", "Null"},
        {"False And Null", "Boolean:False"},
        {"Null Or True", "Boolean:True"},
        {"Null Or False", "Null"},
        {"Null Xor True", "Null"},
        {"Not Null", "Null"},
        {"Null Imp True", "Boolean:True"},
        {"False Imp Null", "Boolean:True"},
        {"True Imp Null", "Null"},
        {"Null Eqv True", "Null"},
        {"IsNull(Null + 1)", "Boolean:True"},
        {"Len(Null)", "Null"},
        {"CInt(Null)", "error 94"},
        {"CStr(Null)", "error 94"},
        {"UCase(Null)", "Null"},
    });
}

TEST(VbsExpr, LogicalOperators) {
    Check({
        {"True And False", "Boolean:False"},
        {"True Or False", "Boolean:True"},
        {"True Xor True", "Boolean:False"},
        {"True Eqv False", "Boolean:False"},
        {"False Imp False", "Boolean:True"},
        {"Not True", "Boolean:False"},
        {"Not 0", "Integer:-1"},
        {"Not 5", "Integer:-6"},
        {"12 And 10", "Integer:8"},
        {"12 Or 3", "Integer:15"},
        {"5 Xor 3", "Integer:6"},
        {"70000 And 65535", "Long:4464"},
        {"True And 3", "Integer:3"},
        {"Not 1 = 2", "Boolean:True"},
        {"1 = 1 And 2 = 2", "Boolean:True"},
        {"False Or True And False", "Boolean:False"},
        {"True Xor True Or True", "Boolean:False"},
    });
}

TEST(VbsExpr, Comparisons) {
    Check({
        {"\"10\" < 9", "Boolean:False"},
        {"\"10\" > 9", "Boolean:True"},
        {"\"abc\" < \"abd\"", "Boolean:True"},
        {"\"a\" = \"A\"", "Boolean:False"},
        {"\"B\" < \"a\"", "Boolean:True"},
        {"1 = 1.0", "Boolean:True"},
        {"Empty = 0", "Boolean:True"},
        {"Empty = \"\"", "Boolean:True"},
        {"True = -1", "Boolean:True"},
        {"#1/1/2024# < #1/2/2024#", "Boolean:True"},
        {"\"abc\" = 1", "error 13"},
        {"3 >= 3", "Boolean:True"},
        {"2 <> 2", "Boolean:False"},
        {"Nothing Is Nothing", "Boolean:True"},
        {"1 Is Nothing", "error 424"},
    });
}

TEST(VbsExpr, Conversions) {
    Check({
        {"CInt(2.5)", "Integer:2"},
        {"CInt(3.5)", "Integer:4"},
        {"CInt(-2.5)", "Integer:-2"},
        {"CLng(1.5)", "Long:2"},
        {"CLng(\"12\")", "Long:12"},
        {"CLng(\"&HFF\")", "Long:255"},
        {"CInt(32767.5)", "error 6"},
        {"CInt(\"x\")", "error 13"},
        {"CByte(256)", "error 6"},
        {"CBool(\"True\")", "Boolean:True"},
        {"CBool(\"false\")", "Boolean:False"},
        {"CBool(0)", "Boolean:False"},
        {"CBool(\"1\")", "Boolean:True"},
        {"CBool(\"yes\")", "error 13"},
        {"CStr(True)", "String:True"},
        {"CStr(1.5)", "String:1.5"},
        {"CStr(1/3)", "String:0.333333333333333"},
        {"CStr(1E+20)", "String:1E+20"},
        {"CStr(CSng(1.1))", "String:1.1"},
        {"CDbl(\"1,000.5\")", "Double:1000.5"},
        {"CDate(\"1/31/2024\")", "Date:1/31/2024"},
        {"CDate(45322)", "Date:1/31/2024"},
        {"CDate(\"nonsense\")", "error 13"},
        {"CDbl(#1/1/1900#)", "Double:2"},
        {"CCur(\"1.23456\")", "Currency:1.2346"},
        {"Hex(255)", "String:FF"},
        {"Hex(-1)", "String:FFFF"},
        {"Hex(CLng(-1))", "String:FFFFFFFF"},
        {"Hex(65536)", "String:10000"},
        {"Oct(8)", "String:10"},
        {"Asc(\"A\")", "Integer:65"},
        {"AscW(ChrW(8364))", "Integer:8364"},
        {"Asc(Chr(128))", "Integer:128"},
        {"AscW(Chr(128))", "Integer:8364"},
        {"Chr(256)", "error 5"},
        {"Asc(\"\")", "error 5"},
    });
}

TEST(VbsExpr, Math) {
    Check({
        {"Int(-2.5)", "Double:-3"},
        {"Fix(-2.5)", "Double:-2"},
        {"Int(2)", "Integer:2"},
        {"Abs(-3)", "Integer:3"},
        {"Abs(-2.5)", "Double:2.5"},
        {"Sgn(-0.1)", "Integer:-1"},
        {"Round(2.5)", "Double:2"},
        {"Round(3.5)", "Double:4"},
        {"Round(-2.5)", "Double:-2"},
        {"Round(1.235, 2)", "Double:1.24"},
        {"Round(1.245, 2)", "Double:1.24"},
        {"Round(7)", "Integer:7"},
        {"Sqr(16)", "Double:4"},
        {"Sqr(-1)", "error 5"},
        {"Log(0)", "error 5"},
        {"Exp(0)", "Double:1"},
        {"Atn(1) * 4 > 3.14159", "Boolean:True"},
        {"Rnd(0) >= 0", "Boolean:True"},
        {"RGB(255, 128, 1)", "Long:98559"},
    });
}

TEST(VbsExpr, Strings) {
    Check({
        {"Len(\"abc\")", "Long:3"},
        {"Len(123)", "Long:3"},
        {"Left(\"abcdef\", 2)", "String:ab"},
        {"Left(\"ab\", 5)", "String:ab"},
        {"Right(\"abcdef\", 2)", "String:ef"},
        {"Mid(\"abcdef\", 2, 3)", "String:bcd"},
        {"Mid(\"abcdef\", 4)", "String:def"},
        {"Mid(\"abc\", 5)", "String:"},
        {"Mid(\"abc\", 0)", "error 5"},
        {"Left(\"abc\", -1)", "error 5"},
        {"InStr(\"abcabc\", \"c\")", "Long:3"},
        {"InStr(4, \"abcabc\", \"c\")", "Long:6"},
        {"InStr(1, \"ABC\", \"b\", 1)", "Long:2"},
        {"InStr(\"ABC\", \"b\")", "Long:0"},
        {"InStr(\"abc\", \"\")", "Long:1"},
        {"InStr(Null, \"a\")", "Null"},
        {"InStrRev(\"abcabc\", \"b\")", "Long:5"},
        {"InStrRev(\"abcabc\", \"b\", 4)", "Long:2"},
        {"InStrRev(\"abcABC\", \"b\", -1, vbTextCompare)", "Long:5"},
        {"StrComp(\"a\", \"B\")", "Integer:1"},
        {"StrComp(\"a\", \"B\", 1)", "Integer:-1"},
        {"StrComp(\"a\", \"A\", vbTextCompare)", "Integer:0"},
        {"StrComp(Null, \"A\")", "Null"},
        {"UCase(\"abc\")", "String:ABC"},
        {"LCase(\"ÄB\")", "String:äb"},
        {"Trim(\"  a b  \")", "String:a b"},
        {"LTrim(\"  a \")", "String:a "},
        {"RTrim(\" a  \")", "String: a"},
        {"Space(3) & \"|\"", "String:   |"},
        {"String(3, \"xy\")", "String:xxx"},
        {"String(2, 65)", "String:AA"},
        {"StrReverse(\"abc\")", "String:cba"},
        {"Replace(\"aXbXc\", \"X\", \"-\")", "String:a-b-c"},
        {"Replace(\"aXbxc\", \"x\", \"-\", 1, -1, vbTextCompare)", "String:a-b-c"},
        {"Replace(\"aXbXc\", \"X\", \"-\", 1, 1)", "String:a-bXc"},
        {"Replace(\"abcabc\", \"b\", \"\", 3)", "String:cac"},
        {"Replace(\"abc\", \"\", \"x\")", "String:abc"},
        {"Join(Split(\"a,b,c\", \",\"), \"+\")", "String:a+b+c"},
        {"UBound(Split(\"a,b,c\", \",\"))", "Long:2"},
        {"UBound(Split(\"a,b,c\", \",\", 2))", "Long:1"},
        {"Split(\"a,b,c\", \",\", 2)(1)", "String:b,c"},
        {"UBound(Split(\"\"))", "Long:-1"},
        {"Split(\"a b\")(1)", "String:b"},
        {"Split(\"aXbxc\", \"x\", -1, 1)(2)", "String:c"},
        {"Join(Array(1, 2, 3))", "String:1 2 3"},
        {"Join(Filter(Array(\"ab\", \"cd\", \"abc\"), \"ab\"), \",\")", "String:ab,abc"},
        {"Join(Filter(Array(\"ab\", \"cd\", \"abc\"), \"ab\", False), \",\")", "String:cd"},
        {"Join(Filter(Array(\"AB\", \"cd\"), \"ab\", True, 1), \",\")", "String:AB"},
        {"FormatNumber(1234567.891)", "String:1,234,567.89"},
        {"FormatNumber(1234.5, 0)", "String:1,235"},
        {"FormatNumber(0.5, 2, 0)", "String:.50"},
        {"FormatNumber(-1234.5, 1, -1, -1, 0)", "String:(1234.5)"},
        {"FormatNumber(-0.001, 2)", "String:0.00"},
        {"FormatCurrency(1234.5)", "String:$1,234.50"},
        {"FormatCurrency(-3)", "String:($3.00)"},
        {"FormatPercent(0.256)", "String:25.60%"},
        {"FormatPercent(0.5, 0)", "String:50%"},
        {"Escape(\"a b&c\")", "String:a%20b%26c"},
        {"Unescape(\"a%20b%u20AC\")", "String:a b€"},
    });
}

TEST(VbsExpr, Dates) {
    Check({
        {"DateAdd(\"m\", 1, #1/31/2024#)", "Date:2/29/2024"},
        {"DateAdd(\"m\", 1, #1/31/2023#)", "Date:2/28/2023"},
        {"DateAdd(\"yyyy\", 1, #2/29/2024#)", "Date:2/28/2025"},
        {"DateAdd(\"q\", -1, #5/31/2024#)", "Date:2/29/2024"},
        {"DateAdd(\"d\", 1, #12/31/2023#)", "Date:1/1/2024"},
        {"DateAdd(\"ww\", 2, #1/1/2024#)", "Date:1/15/2024"},
        {"DateAdd(\"h\", 25, #1/1/2024#)", "Date:1/2/2024 1:00:00 AM"},
        {"DateAdd(\"n\", -1, #1/1/2024#)", "Date:12/31/2023 11:59:00 PM"},
        {"DateAdd(\"s\", 30, #1/1/2024 10:00:00#)", "Date:1/1/2024 10:00:30 AM"},
        {"DateAdd(\"x\", 1, #1/1/2024#)", "error 5"},
        {"DateDiff(\"d\", #1/1/2024#, #3/1/2024#)", "Long:60"},
        {"DateDiff(\"m\", #1/31/2024#, #2/1/2024#)", "Long:1"},
        {"DateDiff(\"yyyy\", #12/31/2023#, #1/1/2024#)", "Long:1"},
        {"DateDiff(\"h\", #1/1/2024 23:59#, #1/2/2024 0:01#)", "Long:1"},
        {"DateDiff(\"n\", #1/1/2024 10:00#, #1/1/2024 9:30#)", "Long:-30"},
        {"DateDiff(\"w\", #1/1/2024#, #1/20/2024#)", "Long:2"},
        {"DateDiff(\"ww\", #1/6/2024#, #1/7/2024#)", "Long:1"},
        {"DateDiff(\"q\", #3/31/2024#, #4/1/2024#)", "Long:1"},
        {"DatePart(\"q\", #8/15/2024#)", "Integer:3"},
        {"DatePart(\"y\", #3/1/2024#)", "Integer:61"},
        {"DatePart(\"w\", #1/31/2024#)", "Integer:4"},
        {"DatePart(\"w\", #1/31/2024#, vbMonday)", "Integer:3"},
        {"DatePart(\"ww\", #1/6/2024#)", "Integer:1"},
        {"DatePart(\"ww\", #1/7/2024#)", "Integer:2"},
        {"DatePart(\"ww\", #1/1/2021#, vbMonday, vbFirstFourDays)", "Integer:53"},
        {"DateSerial(2024, 2, 30)", "Date:3/1/2024"},
        {"DateSerial(2024, 13, 1)", "Date:1/1/2025"},
        {"DateSerial(2024, 1, 0)", "Date:12/31/2023"},
        {"DateSerial(24, 1, 1)", "Date:1/1/2024"},
        {"DateSerial(99, 1, 1)", "Date:1/1/1999"},
        {"TimeSerial(13, 5, 9)", "Date:1:05:09 PM"},
        {"TimeSerial(0, 90, 0)", "Date:1:30:00 AM"},
        {"DateValue(\"Jan 31, 2024\")", "Date:1/31/2024"},
        {"DateValue(\"31 January 2024\")", "Date:1/31/2024"},
        {"TimeValue(\"1/31/2024 6:30 PM\")", "Date:6:30:00 PM"},
        {"Year(#1/31/2024#) & \"/\" & Month(#1/31/2024#) & \"/\" & Day(#1/31/2024#)",
         "String:2024/1/31"},
        {"Hour(#3:04:05 PM#) & \":\" & Minute(#3:04:05 PM#) & \":\" & Second(#3:04:05 PM#)",
         "String:15:4:5"},
        {"Weekday(#1/31/2024#)", "Integer:4"},
        {"Weekday(#1/28/2024#, vbMonday)", "Integer:7"},
        {"WeekdayName(1)", "String:Sunday"},
        {"WeekdayName(1, True, vbMonday)", "String:Mon"},
        {"MonthName(2)", "String:February"},
        {"MonthName(12, True)", "String:Dec"},
        {"MonthName(13)", "error 5"},
        {"FormatDateTime(#1/31/2024 13:05#, vbLongDate)", "String:Wednesday, January 31, 2024"},
        {"FormatDateTime(#1/31/2024 13:05#, vbShortDate)", "String:1/31/2024"},
        {"FormatDateTime(#1/31/2024 13:05#, vbLongTime)", "String:1:05:00 PM"},
        {"FormatDateTime(#1/31/2024 13:05#, vbShortTime)", "String:13:05"},
        {"FormatDateTime(#1/31/2024 13:05#)", "String:1/31/2024 1:05:00 PM"},
        {"IsDate(\"2/30/2024\")", "Boolean:False"},
        {"IsDate(\"2/29/2024\")", "Boolean:True"},
        {"IsDate(#1/1/2000#)", "Boolean:True"},
        {"IsDate(3)", "Boolean:False"},
        {"CDate(\"13/1/2024\")", "Date:1/13/2024"},
        {"Year(Now) > 2000", "Boolean:True"},
        {"TypeName(Date)", "String:Date"},
        {"Timer >= 0", "Boolean:True"},
        {"Year(#12/30/1899#)", "Integer:1899"},
        {"CDate(-1.5)", "Date:12/29/1899 12:00:00 PM"},
    });
}

// Numbers and dates keep their fixed forms whatever the process locale says.
TEST(VbsExpr, CommaDecimalLocale) {
    LocaleGuard locale;
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 missing: run tools/setup";
    Check({
        {"CStr(1.5)", "String:1.5"},
        {"CDbl(\"2.25\") * 2", "Double:4.5"},
        {"FormatNumber(1234.5)", "String:1,234.50"},
        {"FormatPercent(0.125, 1)", "String:12.5%"},
        {"CDate(\"1/31/2024 13:00\")", "Date:1/31/2024 1:00:00 PM"},
        {"IsNumeric(\"1,5\")", "Boolean:True"},
        {"1.5 + 1", "Double:2.5"},
    });
}

TEST(VbsExpr, TypeInformation) {
    Check({
        {"TypeName(1)", "String:Integer"},
        {"TypeName(Array())", "String:Variant()"},
        {"TypeName(Nothing)", "String:Nothing"},
        {"TypeName(New RegExp)", "String:IRegExp2"},
        {"VarType(\"a\")", "Integer:8"},
        {"VarType(Array(1))", "Integer:8204"},
        {"VarType(Null)", "Integer:1"},
        {"VarType(CCur(1))", "Integer:6"},
        {"IsNumeric(\"12.5\")", "Boolean:True"},
        {"IsNumeric(\" 12 \")", "Boolean:True"},
        {"IsNumeric(\"1e5\")", "Boolean:True"},
        {"IsNumeric(\"&H1F\")", "Boolean:True"},
        {"IsNumeric(\"12a\")", "Boolean:False"},
        {"IsNumeric(\"\")", "Boolean:False"},
        {"IsNumeric(Empty)", "Boolean:True"},
        {"IsNumeric(Null)", "Boolean:False"},
        {"IsNumeric(#1/1/2000#)", "Boolean:False"},
        {"IsEmpty(Empty)", "Boolean:True"},
        {"IsEmpty(\"\")", "Boolean:False"},
        {"IsObject(Nothing)", "Boolean:True"},
        {"IsArray(Array())", "Boolean:True"},
        {"UBound(Array())", "Long:-1"},
        {"LBound(Array(1, 2))", "Long:0"},
        {"UBound(1)", "error 13"},
        {"ScriptEngine", "String:VBScript"},
        {"ScriptEngineMajorVersion", "Long:5"},
        {"vbCrLf = Chr(13) & Chr(10)", "Boolean:True"},
        {"Len(vbNullChar)", "Long:1"},
        {"vbObjectError", "Long:-2147221504"},
        {"vbTextCompare", "Long:1"},
    });
}

TEST(VbsExpr, RegExp) {
    vbstest::Runner r;
    EXPECT_EQ(r.Run(R"(
Set re = New RegExp
re.Pattern = "(\w+)@(\w+)\.com"
re.Global = True
re.IgnoreCase = True
Set ms = re.Execute("Mail ann@example.com or BOB@Site.COM now")
T.Print ms.Count
For Each m In ms
  T.Print m.FirstIndex, m.Length, m.Value, m.SubMatches(0), m.SubMatches(1)
Next
T.Print ms(1).SubMatches.Count
T.Print re.Test("none here"), re.Test("x@y.com")
T.Print re.Replace("a@b.com, c@d.com", "$2:$1")
re.Global = False
T.Print re.Replace("a@b.com, c@d.com", "[$&]")
re.Pattern = "^b"
re.MultiLine = True
T.Print re.Execute("a" & vbLf & "b").Count
re.Pattern = "(unclosed"
T.Print re.Test("x")
)"),
              "2|5 15 ann@example.com ann example|24 12 BOB@Site.COM BOB Site|2|False True|"
              "b:a, d:c|[a@b.com], c@d.com|1|error 5020 line 19");
    EXPECT_EQ(r.Run("Set r = CreateObject(\"VBScript.RegExp\") : r.Pattern = \"\\d+\" : "
                    "T.Print r.Execute(\"ab12cd\")(0)"),
              "12");
}

}  // namespace
