#include "crs/lambert_conformal_conic.h"

#include <cmath>

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

CLambertConformalConic::CLambertConformalConic() {
    m_projectionCode = crs_code::kLambertConformalConic;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CCoordSys::Setup();
}

// t of Snyder ch. 15.
double CLambertConformalConic::T(double phi) const {
    const double es = m_e * std::sin(phi);
    return std::tan(kQuarterPi - phi * 0.5) / std::pow((1.0 - es) / (1.0 + es), m_e * 0.5);
}

CLambertConformalConic::Cone CLambertConformalConic::ConeConstants() const {
    const double phi0 = DegToRad(m_latitudeOfOrigin);
    const double phi1 = DegToRad(m_standardParallel1);
    const double phi2 = DegToRad(m_standardParallel2);
    const double m1 = ParallelRadius(phi1, m_e2), t1 = T(phi1);
    Cone c;
    if (std::fabs(phi1 - phi2) < 1e-10)
        c.n = std::sin(phi1);  // tangent cone, the limit of 15-8
    else
        c.n = (std::log(m1) - std::log(ParallelRadius(phi2, m_e2))) /
              (std::log(t1) - std::log(T(phi2)));
    const double k0 = m_scaleFactor != 0.0 ? m_scaleFactor : 1.0;
    c.F = m1 / (std::pow(t1, c.n) * c.n) * k0;
    c.rho0 = m_a * std::pow(T(phi0), c.n) * c.F;
    return c;
}

void CLambertConformalConic::Forward(double lon, double lat, double* x, double* y) {
    const Cone c = ConeConstants();
    const double rho = m_a * std::pow(T(DegToRad(lat)), c.n) * c.F;
    const double theta = DegToRad(WrapDegrees(lon - m_centralMeridian)) * c.n;
    *x = std::sin(theta) * rho;
    *y = c.rho0 - std::cos(theta) * rho;
}

void CLambertConformalConic::Inverse(double x, double y, double* lon, double* lat) {
    const Cone c = ConeConstants();
    const double delta = c.rho0 - y;
    const double sign = c.n < 0.0 ? -1.0 : 1.0;
    const double theta = std::atan2(x * sign, delta * sign);
    const double rho = sign * std::sqrt(delta * delta + x * x);
    const double t = std::pow(rho / (m_a * c.F), 1.0 / c.n);
    const double chi = kHalfPi - 2.0 * std::atan(t);
    const double phi = LatitudeFromConformal(chi, m_e2, m_e4, m_e6, m_e8);
    *lon = WrapDegrees(RadToDeg(theta / c.n) + m_centralMeridian);
    *lat = RadToDeg(phi);
}
