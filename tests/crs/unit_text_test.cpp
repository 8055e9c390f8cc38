#include "crs/unit_text.h"

#include <gtest/gtest.h>

namespace {

struct Row {
    int system;
    int32_t unit;
    double in;
    double out;
    const char16_t* label;
};

void Check(const WChar* (*scale)(int, int32_t, double*), const Row& r) {
    double v = r.in;
    const WChar* label = scale(r.system, r.unit, &v);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(WString(label), r.label) << r.system << " " << r.unit << " " << r.in;
    EXPECT_NEAR(v, r.out, std::abs(r.out) * 1e-6 + 1e-9) << r.system << " " << r.in;
}

TEST(UnitText, Distances) {
    const Row rows[] = {
        {0, 9001, 999, 999, u"m"},
        {0, 9001, 1500, 1.5, u"km"},
        {0, 9001, 1000, 1, u"km"},
        {0, 9002, 1000, 304.8, u"m"},  // feet in, metres out
        {1, 9001, 100, 328.0839895, u"ft"},
        {1, 9001, 1000, 0.62136995, u"mi"},  // the US survey mile of the table
        {1, 9001, 402.3, 1319.8819, u"ft"},  // just under a quarter mile
        {2, 9001, 463, 0.25, u"NM"},
        {2, 9001, 462, 1515.748, u"ft"},
        {0, 0, 1234, 1234, u"?"},  // no unit: value unchanged
        {1, 9020, 5, 5, u"?"},     // a code without a factor
    };
    for (const auto& r : rows) Check(ScaleDistanceForDisplay, r);
}

TEST(UnitText, Areas) {
    const Row rows[] = {
        {0, 9001, 9000, 9000, u"m\u00B2"},
        {0, 9001, 20000, 2, u"ha"},
        {1, 9001, 5000, 1.2355220, u"acres"},
        {1, 9001, 3000, 32291.73, u"ft\u00B2"},
        {2, 9001, 20000, 20000, u"m\u00B2"},
        {0, 9036, 1, 100, u"ha"},  // one square kilometre
        {0, 0, 7, 7, u"?"},
    };
    for (const auto& r : rows) Check(ScaleAreaForDisplay, r);
}

TEST(UnitText, Speeds) {
    const Row rows[] = {
        {0, 502001, 100, 100, u"kph"},
        {1, 502001, 100, 62.13727, u"mph"},
        {2, 502001, 100, 53.99568, u"kts"},
        {0, 502004, 10, 18.52, u"kph"},
        {0, 0, 3, 3, u"?"},
    };
    for (const auto& r : rows) Check(ScaleSpeedForDisplay, r);
}

}  // namespace
