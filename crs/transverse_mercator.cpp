#include "crs/transverse_mercator.h"

#include <algorithm>
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
    const double n = m_n, n2 = n * n, n3 = n2 * n, n4 = n2 * n2, n5 = n4 * n, n6 = n3 * n3;
    m_rectifying = m_a / (1.0 + n) * (1.0 + n2 / 4.0 + n4 / 64.0 + n6 / 256.0);
    m_alpha[0] = n / 2.0 - 2.0 * n2 / 3.0 + 5.0 * n3 / 16.0 + 41.0 * n4 / 180.0 -
                 127.0 * n5 / 288.0 + 7891.0 * n6 / 37800.0;
    m_alpha[1] = 13.0 * n2 / 48.0 - 3.0 * n3 / 5.0 + 557.0 * n4 / 1440.0 + 281.0 * n5 / 630.0 -
                 1983433.0 * n6 / 1935360.0;
    m_alpha[2] = 61.0 * n3 / 240.0 - 103.0 * n4 / 140.0 + 15061.0 * n5 / 26880.0 +
                 167603.0 * n6 / 181440.0;
    m_alpha[3] = 49561.0 * n4 / 161280.0 - 179.0 * n5 / 168.0 + 6601661.0 * n6 / 7257600.0;
    m_alpha[4] = 34729.0 * n5 / 80640.0 - 3418889.0 * n6 / 1995840.0;
    m_alpha[5] = 212378941.0 * n6 / 319334400.0;
    m_beta[0] = n / 2.0 - 2.0 * n2 / 3.0 + 37.0 * n3 / 96.0 - n4 / 360.0 - 81.0 * n5 / 512.0 +
                96199.0 * n6 / 604800.0;
    m_beta[1] = n2 / 48.0 + n3 / 15.0 - 437.0 * n4 / 1440.0 + 46.0 * n5 / 105.0 -
                1118711.0 * n6 / 3870720.0;
    m_beta[2] = 17.0 * n3 / 480.0 - 37.0 * n4 / 840.0 - 209.0 * n5 / 4480.0 + 5569.0 * n6 / 90720.0;
    m_beta[3] = 4397.0 * n4 / 161280.0 - 11.0 * n5 / 504.0 - 830251.0 * n6 / 7257600.0;
    m_beta[4] = 4583.0 * n5 / 161280.0 - 108847.0 * n6 / 3991680.0;
    m_beta[5] = 20648693.0 * n6 / 638668800.0;
    double* b = m_geodeticToConformal;
    b[0] = n * (-2.0 + n * (2.0 / 3.0 + n * (4.0 / 3.0 + n * (-82.0 / 45.0 + n * (32.0 / 45.0 + n * (4642.0 / 4725.0))))));
    b[1] = n2 * (5.0 / 3.0 + n * (-16.0 / 15.0 + n * (-13.0 / 9.0 + n * (904.0 / 315.0 + n * (-1522.0 / 945.0)))));
    b[2] = n3 * (-26.0 / 15.0 + n * (34.0 / 21.0 + n * (8.0 / 5.0 + n * (-12686.0 / 2835.0))));
    b[3] = n4 * (1237.0 / 630.0 + n * (-12.0 / 5.0 + n * (-24832.0 / 14175.0)));
    b[4] = n5 * (-734.0 / 315.0 + n * (109598.0 / 31185.0));
    b[5] = n6 * (444337.0 / 155925.0);
    double* g = m_conformalToGeodetic;
    g[0] = n * (2.0 + n * (-2.0 / 3.0 + n * (-2.0 + n * (116.0 / 45.0 + n * (26.0 / 45.0 + n * (-2854.0 / 675.0))))));
    g[1] = n2 * (7.0 / 3.0 + n * (-8.0 / 5.0 + n * (-227.0 / 45.0 + n * (2704.0 / 315.0 + n * (2323.0 / 945.0)))));
    g[2] = n3 * (56.0 / 15.0 + n * (-136.0 / 35.0 + n * (-1262.0 / 105.0 + n * (73814.0 / 2835.0))));
    g[3] = n4 * (4279.0 / 630.0 + n * (-332.0 / 35.0 + n * (-399572.0 / 14175.0)));
    g[4] = n5 * (4174.0 / 315.0 + n * (-144838.0 / 6237.0));
    g[5] = n6 * (601676.0 / 22275.0);
    m_M0 = MeridianArc(DegToRad(m_latitudeOfOrigin));
}

namespace {

// tan of the conformal latitude from tan of the geodetic one.
double ConformalTan(double tau, double e) {
    const double sigma = std::sinh(e * std::atanh(e * tau / std::hypot(1.0, tau)));
    return tau * std::hypot(1.0, sigma) - sigma * std::hypot(1.0, tau);
}

// Sums c[j] sin(2(j+1) xi) cosh(2(j+1) eta) and c[j] cos(2(j+1) xi) sinh(2(j+1) eta)
// from sin, cos, sinh and cosh of 2 xi and 2 eta, by the recurrences of the
// multiple angles.
void Harmonics(const double c[6], double s2, double c2, double sh2, double ch2, double* dxi,
               double* deta) {
    double sk = s2, ck = c2, shk = sh2, chk = ch2;
    double sx = 0.0, se = 0.0;
    for (int j = 0; j < 6; ++j) {
        sx += c[j] * sk * chk;
        se += c[j] * ck * shk;
        const double sn = sk * c2 + ck * s2, cn = ck * c2 - sk * s2;
        const double shn = shk * ch2 + chk * sh2, chn = chk * ch2 + shk * sh2;
        sk = sn, ck = cn, shk = shn, chk = chn;
    }
    *dxi = sx;
    *deta = se;
}

// A latitude series: the conformal latitude from the geodetic one or back,
// lat + sum of c[j] sin(2(j+1) lat), from sin and cos of 2 lat.
double LatitudeSeries(const double c[6], double chi, double s2, double c2) {
    double sk = s2, ck = c2, sum = 0.0;
    for (int j = 0; j < 6; ++j) {
        sum += c[j] * sk;
        const double sn = sk * c2 + ck * s2;
        ck = ck * c2 - sk * s2;
        sk = sn;
    }
    return chi + sum;
}

double LatitudeSeries(const double c[6], double chi) {
    return LatitudeSeries(c, chi, std::sin(2.0 * chi), std::cos(2.0 * chi));
}

// sin and cos, sinh and cosh of a small angle (|t| < 0.01, as the series'
// corrections are) by their Taylor series; the first term left out is below
// 1e-18 of the result.
void SmallSinCos(double t, double* s, double* c) {
    const double t2 = t * t;
    *s = t * (1.0 - t2 / 6.0 * (1.0 - t2 / 20.0 * (1.0 - t2 / 42.0)));
    *c = 1.0 - t2 / 2.0 * (1.0 - t2 / 12.0 * (1.0 - t2 / 30.0 * (1.0 - t2 / 56.0)));
}

void SmallSinhCosh(double t, double* sh, double* ch) {
    const double t2 = t * t;
    *sh = t * (1.0 + t2 / 6.0 * (1.0 + t2 / 20.0 * (1.0 + t2 / 42.0)));
    *ch = 1.0 + t2 / 2.0 * (1.0 + t2 / 12.0 * (1.0 + t2 / 30.0 * (1.0 + t2 / 56.0)));
}

}  // namespace

double CTransverseMercator::MeridianArc(double phi) const {
    // Exact at the poles, where tan phi leaves the series' domain.
    if (std::fabs(phi) >= kHalfPi) return std::copysign(m_rectifying * kHalfPi, phi);
    const double xip = std::atan(ConformalTan(std::tan(phi), m_e));
    double dxi = 0.0, deta = 0.0;
    Harmonics(m_alpha, std::sin(2.0 * xip), std::cos(2.0 * xip), 0.0, 1.0, &dxi, &deta);
    return m_rectifying * (xip + dxi);
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

void CTransverseMercator::TransverseMercatorForward(double phi, double omega, double* x,
                                                    double* y) const {
    // The far hemisphere has no image (the series would fold it back).
    if (!(std::fabs(omega) <= kHalfPi) || !(std::fabs(phi) <= kHalfPi)) {
        *x = *y = std::nan("");
        return;
    }
    const double cl = std::cos(omega), sl = std::sin(omega);
    // With chi the conformal latitude, xi' = atan2(sin chi, cos chi cos omega)
    // and sinh eta' = cos chi sin omega / r: their double angles come from
    // these without more transcendental calls.
    const double chi = LatitudeSeries(m_geodeticToConformal, phi);
    const double sc = std::sin(chi), cc = std::fabs(phi) == kHalfPi ? 0.0 : std::cos(chi);
    const double r = std::hypot(sc, cc * cl);
    const double sxi = sc / r, cxi = cc * cl / r;
    const double she = cc * sl / r;
    const double che = std::sqrt(1.0 + she * she);
    const double xip = std::atan2(sxi, cxi);
    const double etap = std::asinh(she);
    double dxi, deta;
    Harmonics(m_alpha, 2.0 * sxi * cxi, (cxi - sxi) * (cxi + sxi), 2.0 * she * che,
              1.0 + 2.0 * she * she, &dxi, &deta);
    *x = m_scaleFactor * m_rectifying * (etap + deta);
    *y = m_scaleFactor * (m_rectifying * (xip + dxi) - m_M0);
}

void CTransverseMercator::TransverseMercatorInverse(double x, double y, double* phi,
                                                    double* dlambda) const {
    const double xi = (y / m_scaleFactor + m_M0) / m_rectifying;
    const double eta = x / (m_scaleFactor * m_rectifying);
    // Every sine and cosine below follows from those of xi and the
    // exponential of eta by the angle-sum identities: the corrections dxi
    // and deta are small enough for their own short series.
    const double sx = std::sin(xi), cx = std::cos(xi);
    const double e1 = std::exp(eta), re1 = 1.0 / e1;
    const double sh1 = 0.5 * (e1 - re1), ch1 = 0.5 * (e1 + re1);
    double dxi, deta;
    Harmonics(m_beta, 2.0 * sx * cx, (cx - sx) * (cx + sx), 2.0 * sh1 * ch1, 1.0 + 2.0 * sh1 * sh1,
              &dxi, &deta);
    double sd, cd, shd, chd;
    if (std::fabs(dxi) < 0.01 && std::fabs(deta) < 0.01) {
        SmallSinCos(dxi, &sd, &cd);
        SmallSinhCosh(deta, &shd, &chd);
    } else {
        sd = std::sin(dxi), cd = std::cos(dxi), shd = std::sinh(deta), chd = std::cosh(deta);
    }
    // xi' = xi - dxi, eta' = eta - deta.
    const double sxp = sx * cd - cx * sd, cxp = cx * cd + sx * sd;
    const double shp = sh1 * chd - ch1 * shd;
    // Bounded values: the plain root is exact enough and cheaper than hypot.
    const double r2 = shp * shp + cxp * cxp;
    const double r = std::sqrt(r2);
    *dlambda = std::atan2(shp, cxp);
    if (r == 0.0) {
        *phi = std::copysign(kHalfPi, xi - dxi);
        return;
    }
    // The conformal latitude chi = atan2(sin xi', r), with the sine and
    // cosine of 2 chi from the same two values; then the geodetic latitude by
    // its series.
    const double q = std::sqrt(sxp * sxp + r2);
    const double sc = sxp / q, cc = r / q;
    *phi = LatitudeSeries(m_conformalToGeodetic, std::atan2(sxp, r), 2.0 * sc * cc,
                          (cc - sc) * (cc + sc));
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
