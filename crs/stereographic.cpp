#include "crs/stereographic.h"

#include <cmath>

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

namespace {
bool IsSphere(double e2) {
    return e2 < kTwoPow48;
}
}  // namespace

CStereographic::CStereographic() {
    m_projectionCode = crs_code::kStereographic;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CStereographic::Setup();
}

void CStereographic::Setup() {
    CCoordSys::Setup();
    m_lambda0 = DegToRad(m_centralMeridian);
    m_phi0 = DegToRad(m_latitudeOfOrigin);
    if (m_latitudeOfOrigin == -90.0) {
        m_aspect = kSouthPolar;
        m_phi0 = -m_phi0;
        m_lambda0 = -m_lambda0;
    } else if (m_latitudeOfOrigin == 90.0) {
        m_aspect = kNorthPolar;
    } else if (m_latitudeOfOrigin == 0.0) {
        m_aspect = kEquatorial;
    } else {
        m_aspect = kOblique;
    }
}

void CStereographic::Forward(double lon, double lat, double* x, double* y) {
    const double dlambda = DegToRad(WrapDegrees(lon - m_centralMeridian));
    const double phi = DegToRad(lat);
    if (IsSphere(m_e2)) {
        SphereForward(&dlambda, &phi, x, y);
        return;
    }
    const double k0a2 = m_scaleFactor * m_a * 2.0;
    if (m_aspect == kEquatorial) {
        const double chi = ConformalLatitude(phi, m_e);
        const double A = k0a2 / (std::cos(dlambda) * std::cos(chi) + 1.0);
        *x = std::cos(chi) * std::sin(dlambda) * A;
        *y = std::sin(chi) * A;
    } else if (m_aspect == kNorthPolar || m_aspect == kSouthPolar) {
        // Polar aspect (t as in the conformal conic); the south aspect works on the
        // mirrored point and flips the sign of rho.
        const bool south = m_aspect == kSouthPolar;
        const double lam = south ? -dlambda : dlambda;
        const double p = south ? -phi : phi;
        const double es = m_e * std::sin(p);
        const double t =
            std::tan(kQuarterPi - p * 0.5) / std::pow((1.0 - es) / (1.0 + es), m_e * 0.5);
        double rho =
            t * k0a2 / std::sqrt(std::pow(1.0 + m_e, 1.0 + m_e) * std::pow(1.0 - m_e, 1.0 - m_e));
        if (south) rho = -rho;
        *x = std::sin(lam) * rho;
        *y = -(std::cos(lam) * rho);
    } else {
        // Oblique aspect through the conformal latitude.
        const double chi = ConformalLatitude(phi, m_e);
        const double chi1 = ConformalLatitude(m_phi0, m_e);
        const double m1 = ParallelRadius(m_phi0, m_e2);
        const double A =
            (m1 * k0a2) / (std::cos(chi1) * (1.0 + std::sin(chi1) * std::sin(chi) +
                                             std::cos(chi1) * std::cos(chi) * std::cos(dlambda)));
        *x = A * std::cos(chi) * std::sin(dlambda);
        *y = A *
             (std::cos(chi1) * std::sin(chi) - std::sin(chi1) * std::cos(chi) * std::cos(dlambda));
    }
}

void CStereographic::Inverse(double x, double y, double* lon, double* lat) {
    if (IsSphere(m_e2)) {
        double lambda, phi;
        SphereInverse(&x, &y, &lambda, &phi);
        *lon = WrapDegrees(RadToDeg(lambda));
        *lat = RadToDeg(phi);
        return;
    }
    const double k0a2 = m_scaleFactor * m_a * 2.0;
    double rho = std::sqrt(x * x + y * y);
    double phi, lambda;
    if (m_aspect == kNorthPolar || m_aspect == kSouthPolar) {
        // Conformal latitude from t, then the series of Snyder 3-5.
        const bool south = m_aspect == kSouthPolar;
        if (south) {
            x = -x;
            y = -y;
        }
        const double t =
            rho * std::sqrt(std::pow(1.0 - m_e, 1.0 - m_e) * std::pow(1.0 + m_e, 1.0 + m_e)) / k0a2;
        const double chi = kHalfPi - 2.0 * std::atan(t);
        phi = LatitudeFromConformal(chi, m_e2, m_e4, m_e6, m_e8);
        lambda = m_lambda0 + std::atan2(x, -y);
        if (south) {
            phi = -phi;
            lambda = -lambda;
        }
    } else {
        if (rho == 0.0) {
            *lon = m_centralMeridian;
            *lat = m_latitudeOfOrigin;
            return;
        }
        // Oblique and equatorial inverse through the conformal latitude.
        const double chi1 = ConformalLatitude(m_phi0, m_e);
        const double m1 = ParallelRadius(m_phi0, m_e2);
        const double ce = 2.0 * std::atan(std::cos(chi1) * rho / (m1 * k0a2));
        const double chi =
            std::asin(std::cos(chi1) * std::sin(ce) * y / rho + std::sin(chi1) * std::cos(ce));
        phi = LatitudeFromConformal(chi, m_e2, m_e4, m_e6, m_e8);
        // atan2, not atan of the quotient: the quadrant matters beyond 90
        // degrees from the central meridian.
        lambda = m_lambda0 + std::atan2(std::sin(ce) * x, std::cos(ce) * std::cos(chi1) * rho -
                                                              std::sin(ce) * std::sin(chi1) * y);
    }
    *lon = WrapDegrees(RadToDeg(lambda));
    *lat = RadToDeg(phi);
}

void CStereographic::SphereForward(const double* dlambda, const double* phi, double* x,
                                   double* y) const {
    const double k0a = m_scaleFactor * m_a;
    const double dl = *dlambda, p = *phi;
    if (m_aspect == kNorthPolar) {
        const double T = std::tan(kQuarterPi - p * 0.5);
        *x = k0a * std::sin(dl) * T * 2.0;
        *y = k0a * std::cos(dl) * T * -2.0;
    } else if (m_aspect == kSouthPolar) {
        const double T = std::tan(p * 0.5 + kQuarterPi);
        *x = k0a * std::sin(dl) * T * 2.0;
        *y = k0a * std::cos(dl) * T * 2.0;
    } else {
        const double k = (m_scaleFactor * 2.0) / (std::cos(dl) * std::cos(p) * std::cos(m_phi0) +
                                                  std::sin(p) * std::sin(m_phi0) + 1.0);
        *x = m_a * std::sin(dl) * std::cos(p) * k;
        *y = (std::sin(p) * std::cos(m_phi0) - std::cos(dl) * std::cos(p) * std::sin(m_phi0)) *
             m_a * k;
    }
}

void CStereographic::SphereInverse(const double* px, const double* py, double* lambda,
                                   double* phi) const {
    const double x = *px, y = *py;
    const double rho = std::sqrt(y * y + x * x);
    const double cm = DegToRad(m_centralMeridian);
    if (rho == 0.0) {
        *lambda = cm;
        *phi = DegToRad(m_latitudeOfOrigin);
        return;
    }
    const double c = 2.0 * std::atan2(rho, m_scaleFactor * m_a * 2.0);
    if (m_aspect == kNorthPolar) {
        *phi = std::asin(std::cos(c));
        *lambda = m_lambda0 + std::atan2(x, -y);
    } else if (m_aspect == kSouthPolar) {
        *phi = std::asin(-std::cos(c));
        *lambda = cm + std::atan2(x, y);
    } else {
        *phi = std::asin(y * std::cos(m_phi0) * std::sin(c) / rho + std::sin(m_phi0) * std::cos(c));
        *lambda = m_lambda0 + std::atan2(x * std::sin(c), rho * std::cos(m_phi0) * std::cos(c) -
                                                              y * std::sin(m_phi0) * std::sin(c));
    }
}

// ---------------------------------------------------------------- double

CDoubleStereographic::CDoubleStereographic() {
    m_projectionCode = crs_code::kDoubleStereographic;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    // Run here as well as by the factory and every datum change, so a fresh
    // object is never half set up.
    CDoubleStereographic::Setup();
}

void CDoubleStereographic::Setup() {
    CCoordSys::Setup();
    CStereographic& s = m_sphere;
    s.m_scaleFactor = m_scaleFactor;
    s.m_f = 0.0;
    s.m_datum.f = 0.0;
    if (IsSphere(m_e2)) {
        s.m_a = m_a;
        s.m_datum.a = m_a;
        s.m_centralMeridian = m_centralMeridian;
        s.m_latitudeOfOrigin = m_latitudeOfOrigin;
        s.Setup();
        return;
    }
    m_lambda0 = DegToRad(m_centralMeridian);
    m_phi0 = DegToRad(m_latitudeOfOrigin);
    double sinPhi0;
    if (std::fabs(m_latitudeOfOrigin) == 90.0) {
        m_nRatio = 1.0;
        sinPhi0 = m_phi0 < 0.0 ? -1.0 : 1.0;
        m_c = std::pow((1.0 + m_e) / (1.0 - m_e), m_e * 0.5);
        m_chi0 = std::copysign(kHalfPi, m_phi0);
        m_Lambda0 = m_lambda0;
    } else {
        sinPhi0 = std::sin(m_phi0);
        const double c0 = std::cos(m_phi0);
        m_nRatio = std::sqrt(m_e2 * c0 * c0 * c0 * c0 / (1.0 - m_e2) + 1.0);
        m_chi0 = std::asin(sinPhi0 / m_nRatio);
        m_Lambda0 = m_nRatio * m_lambda0;
        const double es = m_e * sinPhi0;
        m_c = std::pow(std::pow((1.0 - es) / (1.0 + es), m_e * 0.5) *
                           std::tan(m_phi0 * 0.5 + kQuarterPi),
                       -m_nRatio) *
              std::tan(m_chi0 * 0.5 + kQuarterPi);
    }
    const double w = 1.0 - m_e2 * sinPhi0 * sinPhi0;
    const double N0 = m_a / std::sqrt(w);
    const double M0 = (1.0 - m_e2) * m_a / std::pow(w, 1.5);
    m_R = std::sqrt(N0 * M0);
    s.m_a = m_R;
    s.m_datum.a = m_R;
    s.m_centralMeridian = RadToDeg(m_Lambda0);
    s.m_latitudeOfOrigin = RadToDeg(m_chi0);
    s.Setup();
}

void CDoubleStereographic::Forward(double lon, double lat, double* x, double* y) {
    if (IsSphere(m_e2)) {
        m_sphere.Forward(lon, lat, x, y);
        return;
    }
    const double phi = DegToRad(lat);
    double chi;
    if (IsClose(phi, kHalfPi)) {
        chi = kHalfPi;
    } else {
        const double es = m_e * std::sin(phi);
        chi = 2.0 * std::atan(m_c * std::pow(std::tan(phi * 0.5 + kQuarterPi) *
                                                 std::pow((1.0 - es) / (1.0 + es), m_e * 0.5),
                                             m_nRatio)) -
              kHalfPi;
    }
    // The longitude counted from the central meridian the short way round.
    const double lambda = DegToRad(m_centralMeridian + WrapDegrees(lon - m_centralMeridian));
    m_sphere.Forward(RadToDeg(m_nRatio * lambda), RadToDeg(chi), x, y);
}

void CDoubleStereographic::Inverse(double x, double y, double* lon, double* lat) {
    if (IsSphere(m_e2)) {
        m_sphere.Inverse(x, y, lon, lat);
        return;
    }
    double Lambda, chiDeg;
    m_sphere.Inverse(x, y, &Lambda, &chiDeg);
    const double lambda = DegToRad(Lambda) / m_nRatio;
    const double chi = DegToRad(chiDeg);
    double phi;
    if (IsClose(chi, kHalfPi)) {
        phi = kHalfPi;
    } else {
        // Newton on f(phi) = c (A(phi) tan(phi/2 + pi/4))^n - tan(chi/2 + pi/4).
        const double target = std::tan(chi * 0.5 + kQuarterPi);
        phi = chi;
        for (int step = 0; step < 31; ++step) {
            if (IsClose(std::fabs(phi), kHalfPi)) {
                phi = std::copysign(kHalfPi, phi);
                break;
            }
            const double s = std::sin(phi);
            const double es = m_e * s;
            const double A = std::pow((1.0 - es) / (1.0 + es), m_e * 0.5);
            const double T = std::tan(phi * 0.5 + kQuarterPi);
            const double cq = std::cos(phi * 0.5 + kQuarterPi);
            const double f = m_c * std::pow(A * T, m_nRatio) - target;
            const double fp = (0.5 / (cq * cq) - m_e2 * std::cos(phi) * T / (1.0 - m_e2 * s * s)) *
                              A * m_c * m_nRatio * std::pow(A * T, m_nRatio - 1.0);
            const double next = phi - f / fp;
            const bool done = std::fabs(next - phi) <= kTwoPow48;
            phi = next;
            if (done) break;
        }
    }
    *lon = WrapDegrees(RadToDeg(lambda));
    *lat = RadToDeg(phi);
}
