#include "crs/nz_map_grid.h"

#include "crs/code_tables.h"
#include "crs/crs_math.h"

using namespace crs_math;

namespace {

using Complex = CNewZealandMapGrid::Complex;

// Latitude difference (1e5 arc-seconds) to isometric latitude difference.
constexpr double kA[10] = {0.6399175073, -0.1358797613, 0.063294409, -0.02526853, 0.0117879,
                           -0.0055161,   0.0026906,     -0.001333,   0.00067,     -0.00034};
// Isometric latitude difference back to latitude difference.
constexpr double kD[9] = {1.5627014243, 0.5185406398, -0.03333098, -0.1052906, -0.0368594,
                          0.007317,     0.0122,       0.00394,     -0.0013};
// Forward polynomial B1..B6.
constexpr Complex kB[6] = {{0.7557853228, 0.0},        {0.249204646, 0.003371507},
                           {-0.001541739, 0.04105856}, {-0.10162907, 0.01727609},
                           {-0.26623489, -0.36249218}, {-0.6870983, -1.1651967}};
// First estimate of the inverse C1..C6.
constexpr Complex kC[6] = {{1.3231270439, 0.0},         {-0.577245789, -0.007809598},
                           {0.508307513, -0.112208952}, {-0.15094762, 0.18200602},
                           {1.01418179, 1.64497696},    {1.9660549, 2.5127645}};

// z * (P1 + z * (P2 + ... + z * P6)).
Complex Polynomial(const Complex (&p)[6], const Complex& z) {
    Complex r = p[5];
    for (int k = 4; k >= 0; --k) {
        CNewZealandMapGrid::ComplexMultiply(&r, r, z);
        CNewZealandMapGrid::ComplexAdd(&r, r, p[k]);
    }
    CNewZealandMapGrid::ComplexMultiply(&r, r, z);
    return r;
}

}  // namespace

CNewZealandMapGrid::CNewZealandMapGrid() {
    m_projectionCode = crs_code::kNewZealandMapGrid;
    // International 1924, the grid's own spheroid, until a datum is set.
    m_a = m_datum.a = 6378388.0;
    m_f = m_datum.f = 0.003367003367003367;
    m_falseEasting = 2510000.0;
    m_falseNorthing = 6023150.0;
    m_centralMeridian = 173.0;
    m_latitudeOfOrigin = -41.0;
    m_projectionUnitCode = crs_code::kMeter;
    m_projectionUnitFactor = 1.0;
    CCoordSys::Setup();
}

Complex* CNewZealandMapGrid::ComplexAdd(Complex* out, const Complex& l, const Complex& r) {
    *out = {l.re + r.re, l.im + r.im};
    return out;
}

Complex* CNewZealandMapGrid::ComplexMultiply(Complex* out, const Complex& l, const Complex& r) {
    *out = {l.re * r.re - l.im * r.im, l.im * r.re + l.re * r.im};
    return out;
}

Complex* CNewZealandMapGrid::ComplexDivide(Complex* out, const Complex& l, const Complex& r) {
    const double d = r.re * r.re + r.im * r.im;
    const Complex reciprocal{r.re / d, -r.im / d};
    return ComplexMultiply(out, l, reciprocal);
}

Complex* CNewZealandMapGrid::ComplexScale(Complex* out, const Complex& l, double s) {
    *out = {l.re * s, l.im * s};
    return out;
}

void CNewZealandMapGrid::Forward(double lon, double lat, double* x, double* y) {
    const double dphi = (lat - m_latitudeOfOrigin) * 0.036;
    double dpsi = kA[9];
    for (int k = 8; k >= 0; --k) dpsi = dpsi * dphi + kA[k];
    dpsi *= dphi;
    const Complex z{dpsi, DegToRad(WrapDegrees(lon - m_centralMeridian))};
    const Complex w = Polynomial(kB, z);
    *x = m_a * w.im;
    *y = m_a * w.re;
}

void CNewZealandMapGrid::Inverse(double x, double y, double* lon, double* lat) {
    const Complex z{y / m_a, x / m_a};
    Complex zeta = Polynomial(kC, z);
    for (int step = 0; step < 2; ++step) {
        // zeta <- (z + sum (k-1) Bk zeta^k) / (sum k Bk zeta^(k-1)).
        Complex num, den, t;
        ComplexScale(&num, kB[5], 5.0);
        ComplexScale(&den, kB[5], 6.0);
        for (int k = 5; k >= 2; --k) {
            ComplexMultiply(&num, num, zeta);
            ComplexAdd(&num, num, *ComplexScale(&t, kB[k - 1], k - 1.0));
            ComplexMultiply(&den, den, zeta);
            ComplexAdd(&den, den, *ComplexScale(&t, kB[k - 1], static_cast<double>(k)));
        }
        ComplexMultiply(&num, num, zeta);
        ComplexMultiply(&num, num, zeta);
        ComplexAdd(&num, num, z);
        ComplexMultiply(&den, den, zeta);
        ComplexAdd(&den, den, kB[0]);
        ComplexDivide(&zeta, num, den);
    }
    *lon = WrapDegrees(m_centralMeridian + RadToDeg(zeta.im));
    const double dpsi = zeta.re;
    double dphi = kD[8];
    for (int k = 7; k >= 0; --k) dphi = dphi * dpsi + kD[k];
    dphi *= dpsi;
    *lat = m_latitudeOfOrigin + dphi * 27.77777777777778;
}
