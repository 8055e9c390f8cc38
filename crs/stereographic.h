// Stereographic (code 43026) in four aspects chosen by the exact latitude of
// origin (north polar at 90, south polar at -90, equatorial at 0, oblique
// otherwise), and double stereographic (43038): the ellipsoid mapped onto
// Gauss's conformal sphere, then projected by a spherical stereographic.
//
// Sources: Snyder, Map Projections - A Working Manual, USGS PP 1395, 1987:
// ch. 21, ellipsoidal forms (conformal latitude eq. 3-1, inverse by the
// series of eq. 3-5) and spherical forms. Double
// stereographic: the Gauss conformal sphere of IOGP Guidance Note 7-2,
// "Oblique Stereographic" (chi0 = asin(sin phi0 / n), R = sqrt(M0 N0)).
// Accuracy (against the reference tables): 0.1 mm forward; inverse 1e-10 deg
// (polar), 1e-12 deg (double stereographic). Undefined at the antipode of the
// origin. "Polar_Stereographic" texts at a pole (UPS) are read as the polar
// aspect; with a standard parallel other than the pole they are not supported.
// Departures: longitude differences wrapped into (-180, 180]; the oblique
// inverse uses atan2 (the one-argument form put points more than 90 degrees
// from the central meridian 180 degrees off); inverse longitudes wrapped.
#pragma once

#include "crs/coord_sys.h"

class CStereographic : public CCoordSys {
public:
    enum Aspect { kOblique = 0, kEquatorial = 1, kNorthPolar = 2, kSouthPolar = 3 };

    CStereographic();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;
    void Setup() override;

    // Spherical formulas (used when e^2 < 2^-48; a is the sphere's radius).
    // dlambda is the longitude difference from the central meridian; all
    // angles in radians.
    void SphereForward(const double* dlambda, const double* phi, double* x, double* y) const;
    void SphereInverse(const double* x, const double* y, double* lambda, double* phi) const;

    double m_phi0 = 0.0;     // radians; negated for the south polar aspect
    double m_lambda0 = 0.0;  // radians; negated for the south polar aspect
    int m_aspect = kEquatorial;
};

class CDoubleStereographic : public CCoordSys {
public:
    CDoubleStereographic();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;
    void Setup() override;

    CStereographic m_sphere;  // projects the conformal sphere
    double m_lambda0 = 0.0;
    double m_phi0 = 0.0;
    double m_chi0 = 0.0;     // conformal latitude of origin on the sphere
    double m_Lambda0 = 0.0;  // central meridian on the sphere, n * lambda0
    double m_nRatio = 0.0;   // sphere longitude / ellipsoid longitude
    double m_c = 0.0;
    double m_R = 0.0;  // radius of the conformal sphere
};
