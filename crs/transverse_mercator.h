// Transverse Mercator (code 43006), Gauss-Kruger (43005, the same projection
// under the name it was read with) and UTM zoning.
//
// Forward: Redfearn's series to the 8th power of the longitude difference.
// Inverse: the footpoint-latitude series (Snyder, Map Projections - A Working
// Manual, USGS PP 1395, 1987, ch. 8, ellipsoidal inverse) with the third flattening
// n for Snyder's e1. Meridian arc: Snyder eq. 3-21 (to e^6).
// Accuracy against an exact Transverse Mercator (measured against the
// reference tables): forward within 1 mm for |dlon| <= 6 deg (lat 0..84), 8 mm
// at 9 deg; inverse within 3e-8 deg for |dlon| <= 3.5 deg, 1.1e-6 deg at 6.
// Use it for UTM and 3/6 degree strips, not for wide zones.
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
    // Snyder 3-21 from sin 2phi, sin 4phi, sin 6phi.
    double ArcFromSines(double phi, double s2, double s4, double s6) const;
    // phi and omega (longitude difference) in radians -> x, y in metres.
    void TransverseMercatorForward(double phi, double omega, double* x, double* y) const;
    // x, y in metres -> phi and the longitude difference, radians.
    void TransverseMercatorInverse(double x, double y, double* phi, double* dlambda) const;

    // Re-zones the projection for UTM (negative zones south). Nothing happens
    // when the zone is the one already set.
    void SetUtmZone(int zone);

    double m_n2 = 0.0;
    double m_n3 = 0.0;
    double m_n4 = 0.0;
    double m_M0 = 0.0;  // meridian arc to the latitude of origin
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
