// Lambert conformal conic with two standard parallels (code 43020).
// Source: Snyder, Map Projections - A Working Manual, USGS PP 1395, 1987,
// ch. 15 (ellipsoidal forms), inverse latitude by the series of eq. 3-5.
// Cone constants are recomputed on every call.
// Accuracy (against the reference tables and Snyder's worked example, appendix A):
// 0.1 mm forward; inverse 1e-10 deg. The pole on the far side of the apex is
// at infinity.
// Departures: equal standard parallels give the tangent cone n = sin(phi1)
// (the two-parallel formula is 0/0 there); a non-zero scale factor scales the
// cone (a one-parallel system is SP1 = SP2 with k0); the inverse angle uses
// atan2 with the sign of n, so points more than 90/n degrees from the central
// meridian come back; the longitude difference is wrapped into (-180, 180].
#pragma once

#include "crs/coord_sys.h"

class CLambertConformalConic : public CCoordSys {
public:
    CLambertConformalConic();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;

private:
    struct Cone {
        double n, F, rho0;
    };
    Cone ConeConstants() const;
    double T(double phi) const;
};
