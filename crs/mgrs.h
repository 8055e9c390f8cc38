// MGRS references to one metre: UTM zone, latitude band, 100 km square
// letters and five-digit easting and northing inside the square, from the
// UTM projection of the position on the map's datum.
//
// Standard zones only (no Norway or Svalbard exceptions) and no polar (UPS)
// areas: beyond the bands (south of -80, north of 84) the text is empty.
// The letters follow the standard lettering (scheme 0) for every datum.
#pragma once

#include "crs/datum_table.h"
#include "crs/transverse_mercator.h"
#include "platform/text/text.h"

class CMGRSConverter {
public:
    CMGRSConverter();
    virtual ~CMGRSConverter();

    // The reference of a position (degrees) on the datum; empty outside
    // -180..180 / -90..90 and outside the latitude bands.
    WString Format(double lon, double lat, const DatumTransformation& datum);

    // C..X (I and O skipped; X holds 84); 0 outside -80..84.
    static WChar GetLatitudeBand(double lat);
    // The column and row letters of a 100 km square: scheme 0 standard, 1 the
    // old-ellipsoid offset; zone 1..60; easting a multiple of 100 km from
    // 100 km to 800 km; northing mod 2000 km rounded down to 100 km. Null for
    // anything else.
    static const char* GetSquareLetters(int scheme, int zone, int easting, int northing);

    CTransverseMercator m_tm;  // re-zoned to the last position's zone
};
