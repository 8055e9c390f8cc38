// Transverse Mercator (code 43006), Gauss-Kruger (43005, the same projection
// under the name it was read with) and UTM zoning.
//
// Kruger's series in the third flattening n to n^6, both ways (conformal
// latitude, then the Gauss-Schreiber to Transverse Mercator mapping as
// sums of harmonics of 2j xi'): within 6 degrees of the central meridian
// up to 84 degrees of latitude it agrees with an exact Transverse Mercator
// to well under a millimetre forward and 1e-9 degrees inverse. Points more
// than 90 degrees of longitude from the central meridian have no image (NaN).
// Departure: the longitude difference is wrapped into (-180, 180].
#pragma once

#include "crs/coord_sys.h"

class CTransverseMercator : public CCoordSys {
public:
    CTransverseMercator();
    void Forward(double lon, double lat, double* x, double* y) override;
    void Inverse(double x, double y, double* lon, double* lat) override;
    void Setup() override;

    // Meridian distance (metres) from the equator to phi (radians).
    double MeridianArc(double phi) const;
    // phi and omega (longitude difference) in radians -> x, y in metres.
    void TransverseMercatorForward(double phi, double omega, double* x, double* y) const;
    // x, y in metres -> phi and the longitude difference, radians.
    void TransverseMercatorInverse(double x, double y, double* phi, double* dlambda) const;

    // Re-zones the projection for UTM (negative zones south). Nothing happens
    // when the zone is the one already set.
    void SetUtmZone(int zone);

    double m_rectifying = 0.0;  // A: the meridian's length over 2 pi
    double m_alpha[6] = {};     // Kruger's coefficients, forward
    double m_beta[6] = {};      // and inverse
    double m_geodeticToConformal[6] = {};  // latitude series, forward
    double m_conformalToGeodetic[6] = {};  // and inverse
    double m_M0 = 0.0;          // meridian arc to the latitude of origin
    int m_utmZone = 0;  // 0 when none was set
};

class CGaussKruger : public CTransverseMercator {
public:
    CGaussKruger();
};

// UTM zone 1..60 of a longitude, negated south of the equator. Longitudes on
// a multiple of 6 belong to the zone east of them when positive and west of
// them when zero or negative; 180 counts as -180 (zone 1). No Norway or
// Svalbard exceptions.
int UtmZoneFromLongitude(double lon, double lat);
