// Constants and small helpers shared by the projection classes.
#pragma once

#include <cmath>
#include <limits>

namespace crs_math {

constexpr double kPi = 3.141592653589793;
constexpr double kOneOver180 = 0.005555555555555556;
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kTwoPow48 = 3.552713678800501e-15;  // 2^-48
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

inline double DegToRad(double deg) {
    return deg * kPi * kOneOver180;
}
inline double RadToDeg(double rad) {
    return rad * 180.0 / kPi;
}

// Within 2^-48 relative to the mean magnitude plus 2^-48 absolute.
inline bool IsClose(double l, double r) {
    return std::fabs(l - r) <= ((std::fabs(l) + std::fabs(r)) * 0.5 + 1.0) * kTwoPow48;
}

// A longitude (difference) in degrees brought into (-180, 180]. Values already
// inside are returned unchanged, bit for bit.
inline double WrapDegrees(double d) {
    if (d > -180.0 && d <= 180.0) return d;
    d = std::remainder(d, 360.0);  // exact, in [-180, 180]
    return d <= -180.0 ? d + 360.0 : d;
}

// m of Snyder ch. 14 and 15: cos(phi) / sqrt(1 - e^2 sin^2(phi)), the radius of
// the parallel at phi in units of a.
inline double ParallelRadius(double phi, double e2) {
    const double s = std::sin(phi);
    return std::cos(phi) / std::sqrt(1.0 - s * s * e2);
}

// Conformal latitude chi of phi (radians) on a spheroid of eccentricity e.
inline double ConformalLatitude(double phi, double e) {
    double es = e * std::sin(phi);
    return 2.0 * std::atan(std::tan(phi * 0.5 + kQuarterPi) *
                           std::pow((1.0 - es) / (1.0 + es), e * 0.5)) -
           kHalfPi;
}

// Latitude from conformal latitude by the series in e^2..e^8 (Snyder, Map
// Projections - A Working Manual, 1987, eq. 3-5).
inline double LatitudeFromConformal(double chi, double e2, double e4, double e6, double e8) {
    return chi +
           (e2 * 0.5 + e4 * 0.20833333333333334 + e6 * 0.08333333333333333 +
            e8 * 0.03611111111111111) *
               std::sin(2.0 * chi) +
           (e4 * 0.14583333333333334 + e6 * 0.12083333333333333 + e8 * 0.07039930555555556) *
               std::sin(4.0 * chi) +
           (e6 * 0.058333333333333334 + e8 * 0.07232142857142858) * std::sin(6.0 * chi) +
           (e8 * 0.026531498015873015) * std::sin(8.0 * chi);
}

}  // namespace crs_math
