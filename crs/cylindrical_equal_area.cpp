#include "crs/cylindrical_equal_area.h"

#include <cmath>

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

double AuthalicQ(double phi, double e, double e2) {
    const double s = std::sin(phi);
    if (e2 < kTwoPow48) return 2.0 * s;
    return (s / (1.0 - s * s * e2) - (1.0 / (e * 2.0)) * std::log((1.0 - e * s) / (1.0 + e * s))) *
           (1.0 - e2);
}

double LatitudeFromAuthalicQ(double q, double phi, double e, double e2, double tolerance,
                             int maxSteps, int* steps) {
    int n = 0;
    if (e2 < kTwoPow48) {
        phi = std::asin(q * 0.5);
    } else {
        while (n < maxSteps) {
            ++n;
            const double s = std::sin(phi);
            const double w = 1.0 - e2 * s * s;
            const double next =
                phi + w * w / (std::cos(phi) * 2.0) *
                          (q / (1.0 - e2) - s / w +
                           (1.0 / (e * 2.0)) * std::log((1.0 - e * s) / (1.0 + e * s)));
            const bool done = std::fabs(next - phi) <= tolerance;
            phi = next;
            if (done) break;
        }
    }
    if (steps) *steps = n;
    return phi;
}

CCylindricalEqArea::CCylindricalEqArea() {
    m_projectionCode = crs_code::kCylindricalEqArea;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CCylindricalEqArea::Setup();
}

double CCylindricalEqArea::Q(double phi) const {
    return AuthalicQ(phi, m_e, m_e2);
}

void CCylindricalEqArea::Setup() {
    CCoordSys::Setup();
    m_k = ParallelRadius(DegToRad(m_standardParallel1), m_e2);
    m_qp = Q(DegToRad(90.0));
}

void CCylindricalEqArea::Forward(double lon, double lat, double* x, double* y) {
    *x = (m_k * m_a) * DegToRad(WrapDegrees(lon - m_centralMeridian));
    *y = (m_a * Q(DegToRad(lat))) / (m_k * 2.0);
}

void CCylindricalEqArea::Inverse(double x, double y, double* lon, double* lat) {
    const double beta = std::asin((m_k * y * 2.0) / (m_qp * m_a));
    const double q = m_qp * std::sin(beta);
    // Near the poles the iteration gains only a bit per step until it is
    // close, so it runs to convergence rather than a fixed count. At the pole
    // q has a double root: take it as it is.
    double phi;
    if (std::fabs(q) >= m_qp) {
        phi = std::copysign(kHalfPi, q);
        m_lastIterations = 0;
    } else {
        phi = LatitudeFromAuthalicQ(q, 0.0, m_e, m_e2, 1e-12, 60, &m_lastIterations);
    }
    *lon = WrapDegrees(m_centralMeridian + RadToDeg(x / (m_k * m_a)));
    *lat = RadToDeg(phi);
}
