// The code tables of the coordinate-system vocabulary: code <-> well-known-text
// name, unit factors (and prime meridian longitudes), and the short unit labels
// shown after numbers. Constant data; every lookup is a first-match linear scan.
#pragma once

#include <cstdint>

#include "platform/text/text.h"

namespace crs_code {
// Codes the program tests by number.
constexpr int32_t kUnknown = 0;
constexpr int32_t kGeographic = 43000;
constexpr int32_t kGaussKruger = 43005;
constexpr int32_t kTransverseMercator = 43006;
constexpr int32_t kAlbers = 43007;
constexpr int32_t kLambertConformalConic = 43020;
constexpr int32_t kStereographic = 43026;
constexpr int32_t kCylindricalEqArea = 43034;
constexpr int32_t kDoubleStereographic = 43038;
constexpr int32_t kNewZealandMapGrid = 43040;

constexpr int32_t kMeter = 9001;
constexpr int32_t kFoot = 9002;
constexpr int32_t kNauticalMile = 9030;
constexpr int32_t kMile = 9035;
constexpr int32_t kKilometer = 9036;
constexpr int32_t kDegree = 9102;
constexpr int32_t kGreenwich = 8901;

// The program's own area and speed units (no well-known-text name).
constexpr int32_t kHectare = 501001;
constexpr int32_t kAcre = 501002;
constexpr int32_t kKilometerPerHour = 502001;
constexpr int32_t kMilePerHour = 502002;
constexpr int32_t kKnot = 502004;
}  // namespace crs_code

struct CrsCodeName {
    int32_t code;
    const WChar* name;
};

struct UnitFactor {
    int32_t code;
    int32_t reserved;  // always 0
    double factor;
};

struct UnitAbbreviation {
    int32_t code;
    const WChar* abbreviation;
};

extern const CrsCodeName CrsCodeNames[95];
extern const UnitFactor UnitFactors[50];
extern const UnitAbbreviation UnitAbbreviations[37];

// Name of the first row with the code; null when there is none.
const WChar* GetCrsCodeName(int32_t code);
// Code of the first row whose name equals the text, ignoring ASCII case; -1 when none.
int32_t GetCrsCodeFromName(WStringView name);
// True when the code has a name and that name equals the text (ignoring case).
bool IsCrsCodeName(int32_t code, WStringView name);
// Metres per linear unit, radians per angular unit, square metres per area
// unit, km/h per speed unit. For a prime meridian the registry's value in its
// own unit (packed DMS, grads for Paris): never read it as degrees.
// 0.0 for a code without a row: callers that divide must test it.
double GetUnitFactor(int32_t code);
// The abbreviation of the first row with the code; null when there is none.
const WChar* GetUnitAbbreviation(int32_t code);

bool IsProjectionCode(int32_t code);
bool IsLinearUnitCode(int32_t code);
bool IsAngularUnitCode(int32_t code);
bool IsPrimeMeridianCode(int32_t code);
bool IsTransformationMethodCode(int32_t code);
