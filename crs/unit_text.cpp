#include "crs/unit_text.h"

#include "crs/code_tables.h"

using namespace crs_code;

namespace {

// True when the value can be converted; else the value stays and the caller
// answers with the label of code 0.
bool Factor(int32_t unit, double* factor) {
    *factor = unit == 0 ? 0.0 : GetUnitFactor(unit);
    return *factor != 0.0;
}

const WChar* Convert(double base, int32_t to, double* value) {
    *value = base / GetUnitFactor(to);
    return GetUnitAbbreviation(to);
}

}  // namespace

const WChar* ScaleDistanceForDisplay(int unitSystem, int32_t unit, double* value) {
    double f;
    if (!Factor(unit, &f)) return GetUnitAbbreviation(0);
    const double m = *value * f;
    switch (unitSystem) {
        case kUnitSystemImperial:
            return Convert(m, m >= GetUnitFactor(kMile) * 0.25 ? kMile : kFoot, value);
        case kUnitSystemNautical:
            return Convert(m, m >= GetUnitFactor(kNauticalMile) * 0.25 ? kNauticalMile : kFoot,
                           value);
        default:
            if (m >= 1000.0) return Convert(m, kKilometer, value);
            *value = m;
            return GetUnitAbbreviation(kMeter);
    }
}

const WChar* ScaleAreaForDisplay(int unitSystem, int32_t unit, double* value) {
    double f;
    if (!Factor(unit, &f)) return GetUnitAbbreviation(0);
    const double a = *value * f * f;
    if (unitSystem == kUnitSystemImperial) {
        if (a > 4000.0) return Convert(a, kAcre, value);
        const double ft = GetUnitFactor(kFoot);
        *value = a / (ft * ft);
        return u"ft\u00B2";
    }
    if (unitSystem != kUnitSystemNautical && a > 10000.0) return Convert(a, kHectare, value);
    *value = a;
    return u"m\u00B2";
}

const WChar* ScaleSpeedForDisplay(int unitSystem, int32_t unit, double* value) {
    double f;
    if (!Factor(unit, &f)) return GetUnitAbbreviation(0);
    const double k = *value * f;
    switch (unitSystem) {
        case kUnitSystemImperial:
            return Convert(k, kMilePerHour, value);
        case kUnitSystemNautical:
            return Convert(k, kKnot, value);
        default:
            *value = k;
            return GetUnitAbbreviation(kKilometerPerHour);
    }
}
