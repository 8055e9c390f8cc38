#include "crs/transverse_mercator.h"

#include <cmath>

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

CTransverseMercator::CTransverseMercator() {
    m_projectionCode = crs_code::kTransverseMercator;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CTransverseMercator::Setup();
}

CGaussKruger::CGaussKruger() {
    m_projectionCode = crs_code::kGaussKruger;
}

void CTransverseMercator::Setup() {
    CCoordSys::Setup();
    m_n2 = m_n * m_n;
    m_n3 = m_n2 * m_n;
    m_n4 = m_n2 * m_n2;
    m_M0 = MeridianArc(DegToRad(m_latitudeOfOrigin));
}

namespace {
// sin 2x, sin 4x, sin 6x from sin x and cos x by the multiple-angle formulas
// (one sin and one cos instead of three sines).
struct MultipleSines {
    double s2, s4, s6, c2;
    MultipleSines(double s, double c) {
        s2 = 2.0 * s * c;
        c2 = (c - s) * (c + s);
        s4 = 2.0 * s2 * c2;
        const double c4 = (c2 - s2) * (c2 + s2);
        s6 = s4 * c2 + c4 * s2;
    }
};
}  // namespace

// Snyder eq. 3-21.
double CTransverseMercator::MeridianArc(double phi) const {
    const MultipleSines m(std::sin(phi), std::cos(phi));
    return ArcFromSines(phi, m.s2, m.s4, m.s6);
}

double CTransverseMercator::ArcFromSines(double phi, double s2, double s4, double s6) const {
    return m_a * (((1.0 - m_e2 * 0.25) - m_e4 * 0.046875 - m_e6 * 0.01953125) * phi -
                  ((m_e6 * 0.1171875 + m_e4 * 0.25) + m_e2) * 0.375 * s2 +
                  ((m_e6 * 0.75 + m_e4) * 0.05859375) * s4 - (m_e6 * 0.011393229166666666) * s6);
}

void CTransverseMercator::Forward(double lon, double lat, double* x, double* y) {
    TransverseMercatorForward(DegToRad(lat), DegToRad(WrapDegrees(lon - m_centralMeridian)), x, y);
}

void CTransverseMercator::Inverse(double x, double y, double* lon, double* lat) {
    double phi, dlambda;
    TransverseMercatorInverse(x, y, &phi, &dlambda);
    *lon = m_centralMeridian + RadToDeg(dlambda);
    *lat = RadToDeg(phi);
}

// Redfearn's series; psi = nu/rho, t = tan(phi).
void CTransverseMercator::TransverseMercatorForward(double phi, double omega, double* x,
                                                    double* y) const {
    const double s = std::sin(phi), c = std::cos(phi), t = s / c;
    const double t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
    const double w = 1.0 - m_e2 * s * s;
    const double nu = m_a / std::sqrt(w);
    // nu / rho = w / (1 - e^2).
    const double psi = w / (1.0 - m_e2), psi2 = psi * psi, psi3 = psi2 * psi, psi4 = psi2 * psi2;
    const double cc = c * c, c3 = cc * c, c5 = c3 * cc, c7 = c5 * cc;
    const MultipleSines m(s, c);
    const double w2 = omega * omega, w4 = w2 * w2, w6 = w4 * w2, w8 = w4 * w4;

    *x = m_scaleFactor * nu *
         (omega * c + (omega * w2 * 0.16666666666666666) * c3 * (psi - t2) +
          (omega * w4 * 0.008333333333333333) * c5 *
              (4.0 * psi3 * (1.0 - 6.0 * t2) + psi2 * (1.0 + 8.0 * t2) - 2.0 * psi * t2 + t4) +
          (omega * w6 * 0.0001984126984126984) * c7 * (61.0 - 479.0 * t2 + 179.0 * t4 - t6));
    *y = m_scaleFactor *
         ((ArcFromSines(phi, m.s2, m.s4, m.s6) - m_M0) +
          nu * s *
              ((w2 * 0.5) * c + (w4 * 0.041666666666666664) * c3 * (4.0 * psi2 + psi - t2) +
               (w6 * 0.001388888888888889) * c5 *
                   (8.0 * psi4 * (11.0 - 24.0 * t2) - 28.0 * psi3 * (1.0 - 6.0 * t2) +
                    psi2 * (1.0 - 32.0 * t2) - 2.0 * psi * t2 + t4) +
               (w8 * 2.48015873015873e-05) * c7 * (1385.0 - 3111.0 * t2 + 543.0 * t4 - t6)));
}

// Snyder's footpoint-latitude inverse (ch. 8), with n for his e1.
void CTransverseMercator::TransverseMercatorInverse(double x, double y, double* phi,
                                                    double* dlambda) const {
    const double M = y / m_scaleFactor + m_M0;
    const double mu = M / (((1.0 - m_e2 * 0.25) - m_e4 * 0.046875 - m_e6 * 0.01953125) * m_a);
    const double n = m_n;
    const double phi1 = ((((n * 1.5 - m_n3 * 0.84375) * std::sin(2.0 * mu) +
                           (m_n2 * 1.3125 - m_n4 * 1.71875) * std::sin(4.0 * mu)) +
                          (m_n4 * 2.142578125) * std::sin(8.0 * mu)) +
                         (m_n3 * 1.5729166666666665) * std::sin(6.0 * mu)) +
                        mu;

    const double ep2 = m_e2 / (1.0 - m_e2);
    const double s1 = std::sin(phi1), c1 = std::cos(phi1), tan1 = s1 / c1;
    const double C1 = ep2 * c1 * c1;
    const double T1 = tan1 * tan1;
    const double w = 1.0 - m_e2 * s1 * s1;
    const double sw = std::sqrt(w);
    const double N1 = m_a / sw;
    const double R1 = (1.0 - m_e2) * m_a / (w * sw);
    const double D = x / (m_scaleFactor * N1);
    const double D2 = D * D, D3 = D2 * D, D4 = D2 * D2, D5 = D4 * D, D6 = D4 * D2;

    *phi = phi1 -
           (tan1 * N1 / R1) *
               (D2 / 2.0 - (5.0 + 3.0 * T1 + 10.0 * C1 - 4.0 * C1 * C1 - 9.0 * ep2) * D4 / 24.0 +
                (61.0 + 90.0 * T1 + 298.0 * C1 + 45.0 * T1 * T1 - 252.0 * ep2 - 3.0 * C1 * C1) *
                    D6 / 720.0);
    *dlambda =
        (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0 +
         (5.0 - 2.0 * C1 + 28.0 * T1 - 3.0 * C1 * C1 + 8.0 * ep2 + 24.0 * T1 * T1) * D5 / 120.0) /
        c1;
}

void CTransverseMercator::SetUtmZone(int zone) {
    if (zone == m_utmZone) return;
    m_utmZone = zone;
    m_scaleFactor = 0.9996;
    m_falseEasting = 500000.0;
    m_falseNorthing = zone < 0 ? 10000000.0 : 0.0;
    m_latitudeOfOrigin = 0.0;
    m_centralMeridian = static_cast<double>(std::abs(zone) * 6 - 183);
    Setup();
}

int UtmZoneFromLongitude(double lon, double lat) {
    if (!std::isfinite(lon)) return 0;
    lon = WrapDegrees(lon);
    // 180 is the same meridian as -180; without this it would give zone 61.
    if (lon >= 180.0) lon = -180.0;
    int zone = lon > 0.0 ? 31 - static_cast<int>(std::trunc(lon * -0.16666666666666666))
                         : 30 - static_cast<int>(std::trunc(lon * -0.16666666666666666));
    // -180 falls on the western edge of zone 1, not in a zone 0.
    if (zone < 1) zone = 1;
    return lat < 0.0 ? -zone : zone;
}
