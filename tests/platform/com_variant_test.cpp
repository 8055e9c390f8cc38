#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstddef>
#include <string>

#include "platform/com/com.h"
#include "tests/platform/locale_guard.h"

namespace {

std::string U8(WStringView s) {
    return text::ToUtf8(s);
}

ComVariant Str(const char16_t* s) {
    return ComVariant(WStringView(s));
}

ComVariant Of(VARTYPE vt, double value) {
    ComVariant v(value);
    EXPECT_EQ(v.ChangeType(vt), S_OK);
    return v;
}

WString AsText(const VARIANT& v, uint16_t flags = 0) {
    ComVariant r;
    HRESULT hr = VariantChangeType(&r, &v, flags, VT_BSTR);
    if (FAILED(hr)) return u"<fail>";
    return WString(BstrView(r.bstrVal));
}

}  // namespace

// The layout crosses the extension interface; an extension built against the
// C header must see the same offsets.
TEST(ComVariant, FixedLayout) {
    EXPECT_EQ(sizeof(VARIANT), 24u);
    EXPECT_EQ(offsetof(VARIANT, vt), 0u);
    EXPECT_EQ(offsetof(VARIANT, wReserved1), 2u);
    EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
    EXPECT_EQ(offsetof(VARIANT, dblVal), 8u);
    EXPECT_EQ(offsetof(VARIANT, bstrVal), 8u);
    EXPECT_EQ(offsetof(VARIANT, pvarVal), 8u);
    EXPECT_EQ(sizeof(EXCEPINFO) % 8, 0u);
    EXPECT_EQ(sizeof(DISPPARAMS), 24u);
    EXPECT_EQ(sizeof(GUID), 16u);
}

TEST(ComBstr, LengthPrefixedUtf16) {
    BSTR s = SysAllocString(u"ab\u00E9");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 3u);
    EXPECT_EQ(SysStringByteLen(s), 6u);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(s)[-1], 6u);
    EXPECT_EQ(s[3], 0);
    // Embedded NULs survive copies.
    const char16_t withNul[] = {u'a', 0, u'b'};
    BSTR n = SysAllocStringLen(withNul, 3);
    EXPECT_EQ(SysStringLen(n), 3u);
    ASSERT_TRUE(SysReAllocString(&s, u"xyz1"));
    EXPECT_EQ(BstrView(s), u"xyz1");
    VARIANT v, c;
    VariantFromBstr(&v, n);
    VariantInit(&c);
    ASSERT_EQ(VariantCopy(&c, &v), S_OK);
    EXPECT_NE(c.bstrVal, n);
    EXPECT_EQ(BstrView(c.bstrVal), WStringView(withNul, 3));
    VariantClear(&v);
    VariantClear(&c);
    SysFreeString(s);
    // A null BSTR is the empty string.
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    VARIANT e;
    VariantFromBstr(&e, nullptr);
    EXPECT_EQ(AsText(e), u"");
    ComVariant asNum;
    EXPECT_EQ(VariantChangeType(&asNum, &e, 0, VT_I4), DISP_E_TYPEMISMATCH);
}

// The program reads a cleared event result's stored value: clearing leaves
// plain values' bits, and zeroes pointers so nothing dangles.
TEST(ComVariant, ClearKeepsPlainBitsAndDropsPointers) {
    VARIANT v;
    VariantFromBool(&v, true);
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    VariantFromString(&v, u"text");
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(v.bstrVal, nullptr);
}

TEST(ComChangeType, NumbersToText) {
    struct Case {
        ComVariant v;
        const char16_t* want;
        uint16_t flags = 0;
    } cases[] = {
        {Of(VT_R8, 0.1), u"0.1"},
        {Of(VT_R8, 1.0 / 3), u"0.333333333333333"},
        {Of(VT_R8, 1e20), u"1E+20"},
        {Of(VT_R8, -1.5e-7), u"-1.5E-07"},
        {Of(VT_R8, 123456789012345678.0), u"1.23456789012346E+17"},
        {Of(VT_R4, 0.1), u"0.1"},
        {Of(VT_I2, -32768), u"-32768"},
        {Of(VT_I4, 2147483647), u"2147483647"},
        {Of(VT_UI1, 255), u"255"},
        {Of(VT_CY, 12.345), u"12.345"},
        {Of(VT_CY, -0.0001), u"-0.0001"},
        {Of(VT_BOOL, 1), u"-1"},
        {Of(VT_BOOL, 1), u"True", VARIANT_ALPHABOOL},
        {Of(VT_BOOL, 0), u"False", VARIANT_ALPHABOOL},
        {ComVariant(), u""},
    };
    for (auto& c : cases) EXPECT_EQ(U8(AsText(c.v, c.flags)), U8(c.want)) << U8(c.want);
}

TEST(ComChangeType, TextToNumbers) {
    struct Case {
        const char16_t* in;
        VARTYPE vt;
        HRESULT hr;
        double want;
    } cases[] = {
        {u" 42 ", VT_I4, S_OK, 42},
        {u"1,000", VT_I4, S_OK, 1000},
        {u"-2.5", VT_I4, S_OK, -2},  // half to even
        {u"3.5", VT_I2, S_OK, 4},
        {u"2.5", VT_UI1, S_OK, 2},
        {u"1e3", VT_R8, S_OK, 1000},
        {u"&HFF", VT_I4, S_OK, 255},
        {u"&HFFFFFFFF", VT_I4, S_OK, -1},
        {u"&O17", VT_I4, S_OK, 15},
        {u".5", VT_R8, S_OK, 0.5},
        {u"256", VT_UI1, DISP_E_OVERFLOW, 0},
        {u"32768", VT_I2, DISP_E_OVERFLOW, 0},
        {u"-1", VT_UI1, DISP_E_OVERFLOW, 0},
        {u"", VT_I4, DISP_E_TYPEMISMATCH, 0},
        {u"12abc", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"1,5", VT_R8, S_OK, 15},  // ',' groups digits in the fixed rules
        {u"nan", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"0x10", VT_R8, DISP_E_TYPEMISMATCH, 0},
        {u"true", VT_BOOL, S_OK, -1},
        {u"FALSE", VT_BOOL, S_OK, 0},
        {u"0.0", VT_BOOL, S_OK, 0},
        {u"7", VT_BOOL, S_OK, -1},
        {u"1.23456", VT_CY, S_OK, 1.2346},
        {u"1e400", VT_R8, DISP_E_OVERFLOW, 0},
    };
    for (auto& c : cases) {
        ComVariant src = Str(c.in), dst;
        HRESULT hr = VariantChangeType(&dst, &src, 0, c.vt);
        EXPECT_EQ(hr, c.hr) << U8(c.in);
        if (hr != S_OK) {
            EXPECT_EQ(dst.vt, VT_EMPTY) << "unchanged on failure";
            continue;
        }
        ComVariant asR8;
        ASSERT_EQ(VariantChangeType(&asR8, &dst, 0, VT_R8), S_OK);
        EXPECT_DOUBLE_EQ(asR8.dblVal, c.want) << U8(c.in);
    }
}

TEST(ComChangeType, NumbersBetweenTypes) {
    ComVariant d(2.5);
    ComVariant i;
    EXPECT_EQ(VariantChangeType(&i, &d, 0, VT_I4), S_OK);
    EXPECT_EQ(i.lVal, 2);
    ComVariant big(3e9);
    EXPECT_EQ(VariantChangeType(&i, &big, 0, VT_I4), DISP_E_OVERFLOW);
    ComVariant cy = Of(VT_CY, 2.5);
    EXPECT_EQ(cy.cyVal.int64, 25000);
    EXPECT_EQ(VariantChangeType(&i, &cy, 0, VT_I2), S_OK);
    EXPECT_EQ(i.iVal, 2);
    ComVariant b = Of(VT_BOOL, -3);
    EXPECT_EQ(b.boolVal, VARIANT_TRUE);
    // NULL converts to nothing but itself; EMPTY to zero values.
    ComVariant null;
    null.vt = VT_NULL;
    EXPECT_EQ(VariantChangeType(&i, &null, 0, VT_I4), DISP_E_TYPEMISMATCH);
    ComVariant empty, zero;
    EXPECT_EQ(VariantChangeType(&zero, &empty, 0, VT_R8), S_OK);
    EXPECT_EQ(zero.vt, VT_R8);
    EXPECT_EQ(zero.dblVal, 0.0);
    // In-place conversion.
    ComVariant s = Str(u"12");
    EXPECT_EQ(VariantChangeType(&s, &s, 0, VT_I2), S_OK);
    EXPECT_EQ(s.vt, VT_I2);
    EXPECT_EQ(s.iVal, 12);
}

TEST(ComChangeType, ByReferenceSourcesAreReadThrough) {
    BSTR text = SysAllocString(u"17");
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &text;
    ComVariant n;
    EXPECT_EQ(VariantChangeType(&n, &ref, 0, VT_I4), S_OK);
    EXPECT_EQ(n.lVal, 17);
    ComVariant inner(3.0);
    VARIANT refv;
    VariantInit(&refv);
    refv.vt = VT_BYREF | VT_VARIANT;
    refv.pvarVal = &inner;
    ComVariant copy;
    EXPECT_EQ(VariantCopyInd(&copy, &refv), S_OK);
    EXPECT_EQ(copy.vt, VT_R8);
    EXPECT_EQ(VariantCopyInd(&copy, &ref), S_OK);
    EXPECT_EQ(copy.vt, VT_BSTR);
    EXPECT_NE(copy.bstrVal, text);
    VariantClear(&ref);  // by-reference: frees nothing
    EXPECT_EQ(BstrView(text), u"17");
    SysFreeString(text);
}

TEST(ComDates, OleDateArithmetic) {
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(0.0, &st));
    EXPECT_EQ(st.wYear, 1899);
    EXPECT_EQ(st.wMonth, 12);
    EXPECT_EQ(st.wDay, 30);
    EXPECT_EQ(st.wDayOfWeek, 6);
    // Negative dates: the fraction still counts forward from the day.
    ASSERT_TRUE(VariantTimeToSystemTime(-1.25, &st));
    EXPECT_EQ(st.wDay, 29);
    EXPECT_EQ(st.wHour, 6);
    SYSTEMTIME in{2024, 2, 0, 29, 13, 45, 30, 0};
    DATE d;
    ASSERT_TRUE(SystemTimeToVariantTime(&in, &d));
    EXPECT_NEAR(d, 45351.0 + (13 * 3600 + 45 * 60 + 30) / 86400.0, 1e-9);
    ASSERT_TRUE(VariantTimeToSystemTime(d, &st));
    EXPECT_EQ(st.wDayOfWeek, 4);  // a Thursday
    EXPECT_EQ(st.wSecond, 30);
    SYSTEMTIME bad{2023, 2, 0, 29, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToVariantTime(&bad, &d));
    EXPECT_TRUE(DateFromParts(2023, 13, 1, 0, 0, 0, &d));  // month carries
    ASSERT_TRUE(VariantTimeToSystemTime(d, &st));
    EXPECT_EQ(st.wYear, 2024);
    EXPECT_EQ(st.wMonth, 1);
    EXPECT_TRUE(VariantTimeToSystemTime(kMinDate, &st));
    EXPECT_EQ(st.wYear, 100);
    EXPECT_FALSE(VariantTimeToSystemTime(kMinDate - 1, &st));
}

TEST(ComDates, TextFormsBothWays) {
    struct Case {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"2/29/2024", u"2/29/2024"},
        {u"2024-02-29", u"2/29/2024"},
        {u"2/29/2024 1:05:09 PM", u"2/29/2024 1:05:09 PM"},
        {u"13:05", u"1:05:00 PM"},
        {u"12:00 AM", u"12:00:00 AM"},
        {u"January 5, 2020", u"1/5/2020"},
        {u"5 Jan 2020 08:00", u"1/5/2020 8:00:00 AM"},
        {u"1/5/99", u"1/5/1999"},
        {u"1/5/29", u"1/5/2029"},
        {u"12/30/1899", u"12:00:00 AM"},
    };
    for (auto& c : cases) {
        ComVariant s = Str(c.in), d;
        ASSERT_EQ(VariantChangeType(&d, &s, 0, VT_DATE), S_OK) << U8(c.in);
        EXPECT_EQ(U8(AsText(d)), U8(c.out)) << U8(c.in);
    }
    for (const char16_t* bad : {u"2/30/2024", u"13/1/2024", u"25:00", u"hello", u"1/2/3/4"}) {
        ComVariant s = Str(bad), d;
        EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_DATE), DISP_E_TYPEMISMATCH) << U8(bad);
    }
    ComVariant num = Of(VT_DATE, 2.5);
    EXPECT_EQ(AsText(num), u"1/1/1900 12:00:00 PM");
}

// Conversions do not follow the process locale (the display layer sets one).
TEST(ComChangeType, IgnoresProcessLocale) {
    LocaleGuard locale;
    ASSERT_NE(setlocale(LC_ALL, "de_DE.UTF-8"), nullptr) << "de_DE.UTF-8 missing: run tools/setup";
    EXPECT_EQ(AsText(Of(VT_R8, 2.5)), u"2.5");
    ComVariant s = Str(u"2.5"), d;
    EXPECT_EQ(VariantChangeType(&d, &s, 0, VT_R8), S_OK);
    EXPECT_EQ(d.dblVal, 2.5);
}

TEST(ComSafeArray, MultiDimensionalAndRedim) {
    SAFEARRAYBOUND b[2] = {{3, 0}, {2, 1}};  // (0..2, 1..2)
    SAFEARRAY* psa = SafeArrayCreate(VT_VARIANT, 2, b);
    ASSERT_NE(psa, nullptr);
    int32_t lb, ub;
    EXPECT_EQ(SafeArrayGetLBound(psa, 2, &lb), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(psa, 2, &ub), S_OK);
    EXPECT_EQ(lb, 1);
    EXPECT_EQ(ub, 2);
    EXPECT_EQ(SafeArrayGetUBound(psa, 3, &ub), DISP_E_BADINDEX);
    for (int32_t j = 1; j <= 2; ++j)
        for (int32_t i = 0; i <= 2; ++i) {
            int32_t idx[2] = {i, j};
            ComVariant v(WString(1, static_cast<WChar>(u'a' + i + 3 * (j - 1))));
            ASSERT_EQ(SafeArrayPutElement(psa, idx, &v), S_OK);
        }
    int32_t out[2] = {3, 1};
    ComVariant got;
    EXPECT_EQ(SafeArrayGetElement(psa, out, got.Receive()), DISP_E_BADINDEX);
    // Grow the last dimension: existing elements stay where they were.
    SAFEARRAYBOUND last{3, 1};
    ASSERT_EQ(SafeArrayRedim(psa, &last), S_OK);
    int32_t idx[2] = {2, 2};
    ASSERT_EQ(SafeArrayGetElement(psa, idx, got.Receive()), S_OK);
    EXPECT_EQ(BstrView(got.bstrVal), u"f");
    int32_t fresh[2] = {0, 3};
    ASSERT_EQ(SafeArrayGetElement(psa, fresh, got.Receive()), S_OK);
    EXPECT_EQ(got.vt, VT_EMPTY);
    // A variant holding an array copies deeply and frees it.
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_VARIANT;
    v.parray = psa;
    ComVariant copy(v);
    EXPECT_NE(copy.parray, psa);
    ASSERT_EQ(SafeArrayGetElement(copy.parray, idx, got.Receive()), S_OK);
    EXPECT_EQ(BstrView(got.bstrVal), u"f");
    // Shrinking releases the dropped elements once; the rest stay.
    SAFEARRAYBOUND one{1, 1};
    ASSERT_EQ(SafeArrayRedim(psa, &one), S_OK);
    EXPECT_EQ(SafeArrayGetElement(psa, idx, got.Receive()), DISP_E_BADINDEX);
    int32_t kept[2] = {2, 1};
    ASSERT_EQ(SafeArrayGetElement(psa, kept, got.Receive()), S_OK);
    EXPECT_EQ(BstrView(got.bstrVal), u"c");
    // Locked arrays cannot be destroyed.
    SafeArrayLock(psa);
    EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
    SafeArrayUnlock(psa);
    EXPECT_EQ(VariantClear(&v), S_OK);
    ComVariant asText;
    EXPECT_EQ(VariantChangeType(&asText, &copy, 0, VT_BSTR), DISP_E_TYPEMISMATCH);
}

TEST(ComGuid, TextRoundTrip) {
    GUID g = MakeProgramGuid(0x10C);
    WString s = GuidToString(g);
    EXPECT_EQ(s.substr(0, 10), u"{0000010C-");
    GUID back{};
    ASSERT_TRUE(GuidFromString(s, &back));
    EXPECT_EQ(back, g);
    EXPECT_NE(MakeProgramGuid(0x10D), g);
    EXPECT_FALSE(GuidFromString(u"{0000010C-5A4E}", &back));
}
