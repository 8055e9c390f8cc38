#include "core/text_helpers.h"

#include <gtest/gtest.h>

namespace {

TEST(TextHelpers, ParseDoubleTable) {
    struct Case {
        const char16_t* in;
        bool ok;
        double value;
    } cases[] = {
        {u" 12.5 ", true, 12.5}, {u"\t-3e2\t", true, -300}, {u"0", true, 0},
        {u"0.0", true, 0},       {u"1e5", true, 1e5},       {u"abc", false, 0},
        {u"12x", false, 12},     {u"12 x", false, 12},      {u"-0", false, 0},
        {u"+0", false, 0},       {u".0", false, 0},         {u"nan", false, 0},
        {u"inf", false, 0},      {u"0x10", false, 0},       {u"", false, 0},
        {u"   ", false, 0},      {u"1,5", false, 1},
    };
    for (const Case& c : cases) {
        double v = 99;
        EXPECT_EQ(ParseDouble(c.in, v), c.ok) << text::ToUtf8(c.in);
        EXPECT_EQ(v, c.value) << text::ToUtf8(c.in);
    }
    double v = 99;
    EXPECT_FALSE(ParseDouble(nullptr, v));
    EXPECT_EQ(v, 0);
}

TEST(TextHelpers, Numbers) {
    EXPECT_NEAR(RoundToDecimals(2.345, 2), 2.35, 1e-12);
    EXPECT_EQ(RoundToDecimals(-1.5, 0), -1);
    EXPECT_EQ(RoundToDecimals(1234.5678, -2), 1200);
    EXPECT_EQ(HexTextToInt(u"00FF80"), 0xFF80);
    EXPECT_EQ(HexTextToInt(u"12G4"), 0x12);
    EXPECT_EQ(HexTextToInt(u"ffffffff"), -1);
    EXPECT_EQ(HexTextToInt(u""), 0);
    EXPECT_EQ(IntToText(-42), u"-42");
    EXPECT_EQ(IntToText(255, 16), u"ff");
    EXPECT_EQ(IntToText(-1, 16), u"ffffffff");
    EXPECT_EQ(TextToInt(u" -17x"), -17);
    EXPECT_EQ(TextToInt(u"\u0131"), 0);  // not a digit, whatever its low byte
    EXPECT_EQ(DoubleToText(0.1), u"0.1");
    EXPECT_EQ(DoubleToText(100), u"100");
    EXPECT_EQ(DoubleToText(1.0 / 3), u"0.333333333333333");
    EXPECT_EQ(ParseLeadingNumber("-12.5e3"), -12.5);  // 'e' is not a number character
    EXPECT_EQ(ParseLeadingNumber("+7 km"), 7);
    EXPECT_EQ(ParseLeadingNumber("km"), 0);
    EXPECT_EQ(WidenText("caf\xE9"), u"caf\u00E9");
    EXPECT_EQ(NarrowText(u"caf\u00E9\u043D"), "caf\xE9?");
}

TEST(TextHelpers, IncrementTrailingNumber) {
    struct Case {
        const char16_t* in;
        bool ok;
        const char16_t* out;
    } cases[] = {
        {u"Layer19", true, u"Layer20"}, {u"Layer9", true, u"Layer0"}, {u"7", true, u"8"},
        {u"a099", true, u"a100"},       {u"Layer", false, u"Layer"},  {u"", false, u""},
    };
    for (const Case& c : cases) {
        WString s = c.in;
        EXPECT_EQ(IncrementTrailingNumber(s), c.ok) << text::ToUtf8(c.in);
        EXPECT_EQ(s, c.out);
    }
}

TEST(TextHelpers, SearchAndSort) {
    const WChar* t = u"my layer";
    EXPECT_EQ(FindTextNoCase(t, u"LAYER"), t + 3);
    const WChar* x = u"x\u00E4b";
    EXPECT_EQ(FindTextNoCase(x, u"\u00C4B"), x + 1);
    EXPECT_EQ(FindTextNoCase(t, u"layers"), nullptr);
    EXPECT_EQ(FindTextNoCase(t, u""), t);
    EXPECT_EQ(FindTextNoCase(u"", u"a"), nullptr);
    EXPECT_EQ(FindTextNoCase(nullptr, u"a"), nullptr);

    std::vector<WString> v = {u"b", u"a", u"B", u"A", u"\u00E4", u"c"};
    SortStringArray(v);
    EXPECT_EQ(v, (std::vector<WString>{u"a", u"A", u"b", u"B", u"c", u"\u00E4"}));

    const IdNameEntry table[] = {{9001, u"Metre"}, {9002, u"Foot"}, {9003, u"foot"}, {0, nullptr}};
    EXPECT_EQ(WString(FindNameById(table, 9002)), u"Foot");
    EXPECT_EQ(FindNameById(table, 1), nullptr);
    EXPECT_EQ(FindIdByName(table, u"foot", true), 9003);
    EXPECT_EQ(FindIdByName(table, u"FOOT", false), 9002);
    EXPECT_EQ(FindIdByName(table, u"FOOT", true), -1);
}

TEST(TextHelpers, QuoteAwareReplacing) {
    WStringView s = u"a,\"b,c\",d";
    EXPECT_EQ(ReplaceCharOutsideQuotes(s, u',', u";", u'x', u"", true), u"a;\"b,c\";d");
    EXPECT_EQ(ReplaceCharOutsideQuotes(s, u',', u";", u'b', u"BB", false), u"a;\"BB;c\";d");
    EXPECT_EQ(CountCharOutsideQuotes(s, u',', true), 2);
    EXPECT_EQ(CountCharOutsideQuotes(s, u',', false), 3);
    EXPECT_EQ(CountCharOutsideQuotes(s, u'"', false), 2);
    EXPECT_EQ(CountCharOutsideQuotes(s, u'"', true), 0);
}

TEST(TextHelpers, Centroid) {
    POINT none = ComputeCentroid(nullptr, 0);
    EXPECT_EQ(none.x, 0);
    POINT one[] = {{5, 7}};
    EXPECT_EQ(ComputeCentroid(one, 1).y, 7);
    POINT two[] = {{0, 0}, {5, 9}};
    EXPECT_EQ(ComputeCentroid(two, 2).x, 2);
    EXPECT_EQ(ComputeCentroid(two, 2).y, 4);
    // 40 000 pixels a side: the 32-bit sums of the old code overflowed here.
    POINT square[] = {{0, 0}, {40000, 0}, {40000, 40000}, {0, 40000}};
    POINT c = ComputeCentroid(square, 4);
    EXPECT_EQ(c.x, 20000);
    EXPECT_EQ(c.y, 20000);
    POINT tri[] = {{0, 0}, {30, 0}, {0, 30}, {0, 0}};
    EXPECT_EQ(ComputeCentroid(tri, 4).x, 10);
    POINT line[] = {{3, 3}, {6, 6}, {9, 9}};
    EXPECT_EQ(ComputeCentroid(line, 3).x, 3);  // zero area: the first point
    POINT far[] = {{-2000000000, -2000000000},
                   {2000000000, -2000000000},
                   {2000000000, 2000000000},
                   {-2000000000, 2000000000}};
    EXPECT_EQ(ComputeCentroid(far, 4).x, 0);
}

}  // namespace
