#include "crs/code_tables.h"

#include <gtest/gtest.h>

#include <cmath>

#include "reference_table.h"

namespace {

TEST(CodeTables, NameLookupsTakeTheFirstRowAndIgnoreCase) {
    EXPECT_EQ(WString(GetCrsCodeName(0)), u"Unknown");  // never "Unknown_Projection"
    EXPECT_EQ(GetCrsCodeFromName(u"Unknown_Projection"), 0);
    EXPECT_EQ(GetCrsCodeFromName(u"tRANSVERSE_mercator"), 43006);
    EXPECT_EQ(GetCrsCodeFromName(u"Scale_Factor"), 100003);
    EXPECT_EQ(GetCrsCodeFromName(u"Transverse_Mercator_"), -1);
    EXPECT_EQ(GetCrsCodeFromName(u""), -1);
    EXPECT_EQ(GetCrsCodeName(9020), nullptr);
    EXPECT_TRUE(IsCrsCodeName(9003, u"foot_us"));
    EXPECT_FALSE(IsCrsCodeName(9003, u"Foot"));
    EXPECT_FALSE(IsCrsCodeName(501001, u"ha"));  // own area unit: no name
}

TEST(CodeTables, UnitFactorsAndAbbreviations) {
    struct Row {
        int32_t code;
        double factor;
        const char16_t* abbreviation;  // null: none
    };
    const Row rows[] = {
        {0, 1.0, u"?"},
        {9001, 1.0, u"m"},
        {9002, 0.3048, u"ft"},
        {9003, 1200.0 / 3937.0, u"ft US"},  // US survey foot
        {9035, 1609.3472186944375, u"mi"},
        {9031, 1.0000135965, u"GLM"},  // the registry's German legal metre
        {9102, 0.017453292519943295, u"deg"},
        {9104, 4.84813681109536e-06, u"sec"},
        {9109, 1e-06, u"\u00B5rad"},
        {501002, 4046.87261, u"acres"},
        {502004, 1.852, u"kts"},
        {8901, 0.0, nullptr},
        {8903, 2.5969213, nullptr},  // grads, not degrees
        {9020, 0.0, nullptr},        // no row: callers must not divide by it
    };
    for (const auto& r : rows) {
        EXPECT_DOUBLE_EQ(GetUnitFactor(r.code), r.factor) << r.code;
        const WChar* a = GetUnitAbbreviation(r.code);
        if (r.abbreviation)
            EXPECT_EQ(WString(a ? a : u"(null)"), r.abbreviation) << r.code;
        else
            EXPECT_EQ(a, nullptr) << r.code;
    }
}

// Every linear and angular unit with a name has a usable factor, and the
// factor sits in the unit's class (a linear unit is not an angle).
TEST(CodeTables, EveryNamedUnitHasAFactorOfItsClass) {
    for (const auto& row : CrsCodeNames) {
        if (!IsLinearUnitCode(row.code) && !IsAngularUnitCode(row.code)) continue;
        const double f = GetUnitFactor(row.code);
        EXPECT_GT(f, 0.0) << row.code;
        if (IsAngularUnitCode(row.code)) {
            EXPECT_LE(f, 1.0) << row.code;
        }
        EXPECT_NE(GetUnitAbbreviation(row.code), nullptr) << row.code;
    }
}

// Against the registry's own factors. 9005 Clarke's foot is the .prj
// dialect's 0.3047972651150996, 1e-9 relative from the registry's 0.3047972654;
// harmless because well-known text carries its own factors.
TEST(CodeTables, FactorsAgreeWithTheRegistry) {
    const auto t = crs_test::ReadReferenceTable("unit_factors");
    int compared = 0;
    for (const auto& r : t.rows) {
        const int32_t code = static_cast<int32_t>(r[0]);
        if (!GetCrsCodeName(code)) continue;
        const double ours = GetUnitFactor(code), registry = r[1];
        const double relative = code == 9005 ? 1.2e-9 : 1e-14;
        EXPECT_NEAR(ours, registry, registry * relative) << code;
        ++compared;
    }
    EXPECT_GE(compared, 20);
}

TEST(CodeTables, ClassRanges) {
    struct Row {
        int32_t code;
        bool projection, linear, angular, meridian, method;
    };
    const Row rows[] = {
        {43000, true, false, false, false, false},   {43099, true, false, false, false, false},
        {43100, false, false, false, false, false},  {9000, false, true, false, false, false},
        {9099, false, true, false, false, false},    {209050, false, true, false, false, false},
        {9100, false, false, true, false, false},    {209199, false, false, true, false, false},
        {8901, false, false, false, true, false},    {208950, false, false, false, true, false},
        {9603, false, false, false, false, true},    {42600, false, false, false, false, true},
        {42699, false, false, false, false, true},   {109607, false, false, false, false, true},
        {100001, false, false, false, false, false}, {-1, false, false, false, false, false},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(IsProjectionCode(r.code), r.projection) << r.code;
        EXPECT_EQ(IsLinearUnitCode(r.code), r.linear) << r.code;
        EXPECT_EQ(IsAngularUnitCode(r.code), r.angular) << r.code;
        EXPECT_EQ(IsPrimeMeridianCode(r.code), r.meridian) << r.code;
        EXPECT_EQ(IsTransformationMethodCode(r.code), r.method) << r.code;
    }
}

}  // namespace
