#include "crs/albers.h"

#include <cmath>

#include "crs/code_tables.h"
#include "crs/crs_math.h"
#include "crs/cylindrical_equal_area.h"

using namespace crs_math;

CAlbers::CAlbers() {
    m_projectionCode = crs_code::kAlbers;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CCoordSys::Setup();
}

CAlbers::Cone CAlbers::ConeConstants() const {
    const double phi0 = DegToRad(m_latitudeOfOrigin);
    const double phi1 = DegToRad(m_standardParallel1);
    const double phi2 = DegToRad(m_standardParallel2);
    const double m1 = ParallelRadius(phi1, m_e2), q1 = AuthalicQ(phi1, m_e, m_e2);
    Cone c;
    if (std::fabs(phi1 - phi2) < 1e-10) {
        c.n = std::sin(phi1);  // tangent cone, the limit of 14-14
    } else {
        const double m2 = ParallelRadius(phi2, m_e2);
        c.n = (m1 * m1 - m2 * m2) / (AuthalicQ(phi2, m_e, m_e2) - q1);
    }
    c.C = c.n * q1 + m1 * m1;
    c.rho0 = std::sqrt(c.C - c.n * AuthalicQ(phi0, m_e, m_e2)) / c.n * m_a;
    return c;
}

void CAlbers::Forward(double lon, double lat, double* x, double* y) {
    const Cone c = ConeConstants();
    const double rho = std::sqrt(c.C - c.n * AuthalicQ(DegToRad(lat), m_e, m_e2)) / c.n * m_a;
    const double theta = DegToRad(WrapDegrees(lon - m_centralMeridian)) * c.n;
    *x = std::sin(theta) * rho;
    *y = c.rho0 - std::cos(theta) * rho;
}

void CAlbers::Inverse(double x, double y, double* lon, double* lat) {
    const Cone c = ConeConstants();
    const double delta = c.rho0 - y;
    const double rho = std::sqrt(delta * delta + x * x);
    const double q = (c.C - rho * rho * c.n * c.n / (m_a * m_a)) / c.n;
    const double theta = c.n >= 0.0 ? std::atan2(x, delta) : std::atan2(-x, -delta);
    double phi;
    const double qp = AuthalicQ(kHalfPi, m_e, m_e2);
    if (std::fabs(q) >= qp) {
        // At or beyond the pole's q (rounding at the pole itself).
        phi = std::copysign(kHalfPi, q);
        m_lastIterations = 0;
    } else {
        phi = LatitudeFromAuthalicQ(q, q * 0.5, m_e, m_e2, 1e-10, 16, &m_lastIterations);
    }
    *lon = WrapDegrees(RadToDeg(theta / c.n) + m_centralMeridian);
    *lat = RadToDeg(phi);
}
