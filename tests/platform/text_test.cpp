#include "platform/text/text.h"
#include "tests/platform/locale_guard.h"

#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>

using namespace text;

TEST(Format, PlatformWideRules) {
    const WChar* name = u"roads";
    EXPECT_EQ(Format(u"%s=\"%s\"", u"name", name), u"name=\"roads\"");
    EXPECT_EQ(Format(u"%S|%c|%C", "narrow", 0x43D, 'A'), u"narrow|\u043D|A");
    EXPECT_EQ(Format(u"[%5s][%-5s][%.2s]", u"ab", u"ab", u"abcd"), u"[   ab][ab   ][ab]");
    EXPECT_EQ(Format(u"%s\\%s%04X.tmp", u"\\Temp", u"bix", 0x1a), u"\\Temp\\bix001A.tmp");
    EXPECT_EQ(Format(u"%d,%d,%d %I64d %u %ld", 255, -1, 0, 1LL << 40, 4000000000u, -5L),
              u"255,-1,0 1099511627776 4000000000 -5");
    EXPECT_EQ(Format(u"%.15g %.15g %g %08.3f %%", 0.1, -1.7976931348623157e308, 1e-5, 3.14159),
              u"0.1 -1.79769313486232e+308 1e-05 0003.142 %");
    EXPECT_EQ(Format(u"%s", static_cast<const WChar*>(nullptr)), u"(null)");
    EXPECT_EQ(FormatA("%s %S %c %.15g", "a", u"\u00E9", 0xE9, 2.5), "a \xC3\xA9 \xE9 2.5");
}

TEST(Format, IgnoresProcessLocale) {
    LocaleGuard locale;
    ASSERT_TRUE(setlocale(LC_ALL, "de_DE.UTF-8"))
        << "de_DE.UTF-8 missing: tools/setup generates it";
    EXPECT_EQ(Format(u"%.15g", 0.1), u"0.1");
    EXPECT_EQ(FormatA("%.3f", 2.5), "2.500");
    EXPECT_DOUBLE_EQ(ParseDouble(u"0.1"), 0.1);
}

TEST(Parse, DoubleTable) {
    struct Case {
        const char16_t* in;
        double value;
        size_t used;
    } cases[] = {
        {u"  -12.5e2xyz", -1250.0, 9},
        {u"+.5", 0.5, 3},
        {u"5.", 5.0, 2},
        {u"1e", 1.0, 1},
        {u"1e+x", 1.0, 1},
        {u"nan", 0.0, 0},
        {u"inf", 0.0, 0},
        {u"0x10", 0.0, 1},
        {u"", 0.0, 0},
        {u".", 0.0, 0},
        {u"-", 0.0, 0},
        {u"\t\n 7", 7.0, 4},
    };
    for (const auto& c : cases) {
        size_t used = 99;
        EXPECT_EQ(ParseDouble(WStringView(c.in), &used), c.value) << ToUtf8(c.in);
        EXPECT_EQ(used, c.used) << ToUtf8(c.in);
    }
    // Overflow behaves like the C library: infinity, so no-data stays no-data.
    EXPECT_TRUE(std::isinf(ParseDouble(u"-1.79769313486232e+308")));
}

TEST(Parse, IntegersClampLike32BitLong) {
    EXPECT_EQ(ParseLong(u"4294967295"), INT32_MAX);
    EXPECT_EQ(ParseLong(u"-2147483649"), INT32_MIN);
    EXPECT_EQ(ParseLong(u"-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseLong(u"  +42abc"), 42);
    EXPECT_EQ(ParseLong(u"0x1A"), 0);
    EXPECT_EQ(ParseLong(u"0x1A", nullptr, 16), 26);
    EXPECT_EQ(ParseLong(u"ff", nullptr, 16), 255);
    EXPECT_EQ(ParseULong(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseULong(u"99999999999"), 0xFFFFFFFFu);
    size_t used = 5;
    EXPECT_EQ(ParseLong(WStringView(u"abc"), &used), 0);
    EXPECT_EQ(used, 0u);
}

TEST(Case, FoldsBeyondAscii) {
    EXPECT_EQ(ToLower(u"ROADS.SHP \u00C4\u0416"), u"roads.shp \u00E4\u0436");
    EXPECT_EQ(ToUpper(u"stra\u00DFe"), u"STRA\u00DFE");  // no one-to-many folds
    EXPECT_TRUE(EqualsNoCase(u"Roads.DBF", u"rOADS.dbf"));
    EXPECT_LT(CompareNoCase(u"abc", u"ABD"), 0);
    EXPECT_GT(CompareNoCase(u"abcd", u"ABC"), 0);
}

TEST(Utf8, RoundTripsAndRepairs) {
    WString s = u"a\u00E9\u043D\U0001F600";
    EXPECT_EQ(ToUtf8(s), "a\xC3\xA9\xD0\xBD\xF0\x9F\x98\x80");
    EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
    // CESU-8 (surrogates as 3 bytes each) is still read.
    EXPECT_EQ(FromUtf8("\xED\xA0\xBD\xED\xB8\x80"), u"\U0001F600");
    // Malformed and truncated input: one replacement per bad byte.
    EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD");
    EXPECT_EQ(FromUtf8("\xE0\x80\x80"), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(FromUtf8("x\xFFy"), u"x\uFFFDy");
}

TEST(CodePage, ThroughIconv) {
    struct Case {
        unsigned cp;
        std::string bytes;
        WString text;
    } cases[] = {
        {1252, "caf\xE9 \x80", u"caf\u00E9 \u20AC"},
        {1251, "\xED\xE0", u"\u043D\u0430"},
        {866, "\xAD", u"\u043D"},
        {437, "\x82", u"\u00E9"},
        {932, "\x82\xA0", u"\u3042"},
        {kCpUtf8, "\xC3\xA9", u"\u00E9"},
        // The last letter of a 1255 or 1258 text is not held back.
        {1255, "\xE0\xE9", u"\u05D0\u05D9"},
        {1258, "Vi\xEA", u"Vi\u00EA"},
        // Bytes a 125x page leaves undefined pass through as the units of
        // the same value, and back.
        {1252, "\x81\x8D\x8F\x90\x9D", u"\u0081\u008D\u008F\u0090\u009D"},
        {1251, "\x98", u"\u0098"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FromCodePage(c.bytes, c.cp), c.text) << c.cp;
        bool lossless = false;
        EXPECT_EQ(ToCodePage(c.text, c.cp, &lossless), c.bytes) << c.cp;
        EXPECT_TRUE(lossless);
    }
    bool lossless = true;
    EXPECT_EQ(ToCodePage(u"a\u043Db", 1252, &lossless), "a?b");
    EXPECT_FALSE(lossless);
    // A control unit whose byte means something else in the page is not
    // passed through: 0x80 is the euro sign in 1252.
    EXPECT_EQ(ToCodePage(u"\u0080", 1252, &lossless), "?");
    bool ok = true;
    EXPECT_EQ(FromCodePage("\xE9", 99999, &ok), u"\u00E9");
    EXPECT_FALSE(ok);
}
