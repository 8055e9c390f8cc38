// Cylindrical equal-area, normal aspect (code 43034).
// Source: Snyder, Map Projections - A Working Manual, USGS PP 1395, 1987,
// ch. 10 (ellipsoidal forms) with q of eq. 3-12 and the latitude iteration of 3-16.
// Accuracy (against the reference tables): forward 1e-6 m; inverse 1e-10 deg
// up to latitude 89.99.
// Departures: the inverse iterates to convergence (|dphi| <= 1e-12 rad, at
// most 60 steps) instead of a fixed ten steps, which left 870 m at 89.9 deg; a
// sphere uses q = 2 sin(phi) (the ellipsoidal q divides by e); the longitude
// difference is wrapped into (-180, 180].
#pragma once

#include "crs/coord_sys.h"

class CCylindricalEqArea : public CCoordSys {
public:
    CCylindricalEqArea();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;
    void Setup() override;

    // q of Snyder eq. 3-12 at phi (radians) on this spheroid.
    double Q(double phi) const;

    double m_k = 0.0;          // scale along the standard parallel
    double m_qp = 0.0;         // q at the pole
    int m_lastIterations = 0;  // steps the last inverse took (for tests)
};

// q (Snyder eq. 3-12) and the latitude whose q is given, on a spheroid of
// eccentricity e; shared with the Albers projection. For e^2 < 2^-48 the
// spherical limit q = 2 sin(phi) is used.
double AuthalicQ(double phi, double e, double e2);
// Snyder eq. 3-16 from the start value, until |dphi| <= tolerance or maxSteps;
// *steps receives the number of evaluations.
double LatitudeFromAuthalicQ(double q, double phiStart, double e, double e2, double tolerance,
                             int maxSteps, int* steps);
