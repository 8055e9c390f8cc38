// Albers equal-area conic with two standard parallels (code 43007).
// Source: Snyder, Map Projections - A Working Manual, USGS PP 1395, 1987,
// ch. 14 (ellipsoidal forms) with q of eq. 3-12; inverse latitude by the iteration of
// eq. 3-16 (at most 16 steps, tolerance 1e-10 rad). Cone constants are
// recomputed on every call.
// Accuracy (against the reference tables and Snyder's worked example, appendix A):
// 0.1 mm forward; inverse 1e-12 deg up to latitude 85.
// Departures: equal standard parallels give the tangent cone n = sin(phi1);
// a sphere uses q = 2 sin(phi) (the ellipsoidal q divides by e); beyond the
// poles' q the latitude is +-90; the longitude difference is wrapped into
// (-180, 180].
#pragma once

#include "crs/coord_sys.h"

class CAlbers : public CCoordSys {
public:
    CAlbers();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;

    int m_lastIterations = 0;  // evaluations the last inverse took (for tests)

private:
    struct Cone {
        double n, C, rho0;
    };
    Cone ConeConstants() const;
};
