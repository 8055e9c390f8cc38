// The measure value of "no data": the program writes the most negative
// double; a measure is no data when it is NaN or not greater than -1e39.
#pragma once

#include <cfloat>
#include <cmath>

constexpr double kNoDataMeasure = -DBL_MAX;

inline bool IsNoDataValue(double m) {
    return std::isnan(m) || m <= -1e39;
}
