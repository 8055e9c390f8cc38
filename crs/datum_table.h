// Datum rows and the process-wide datum table.
//
// A datum is known only as a row: spheroid (a, f) and the transformation that
// carries positions on it to WGS 1984 (method code and up to seven parameters).
// Row 0 of the table is always the built-in WGS 1984 row. The table is loaded
// on the first question asked of it and kept until ReleaseDatumTable at exit:
// rows are handed out by pointer and kept by callers (the GPS receiver, the
// datum dialogs), so the table never goes away under them.
//
// This version knows the built-in row only (the table of a missing file). The
// loader of the table file and the shift methods plug in behind this header.
#pragma once

#include <cstdint>

#include "platform/text/text.h"

struct DatumTransformation {
    int32_t index = -1;  // record number; bit 31 = DEFAULT flag; -1 built-in row
    double a = 6378137.0;
    double f = 0.0033528106647474805;     // 1/298.257223563
    int32_t method = 0;                   // transformation method code; 0 none; -1 unknown name
    int32_t transformationId = 0;         // GEOGTRANID
    double dx = 0.0, dy = 0.0, dz = 0.0;  // metres
    double rx = 0.0, ry = 0.0, rz = 0.0;  // arc-seconds
    double ds = 0.0;                      // parts per million
    int32_t datumId = 0;                  // DATUMID
    WString datumName = u"WGS84";
    WString spheroidName = u"WGS84";

    bool operator==(const DatumTransformation&) const = default;
};

// The built-in WGS 1984 row (also the WGS 1984 spheroid of the shift methods).
const DatumTransformation& Wgs84Datum();

// a and f exactly those of WGS 1984 and no method.
bool IsWgs84Identity(const DatumTransformation& row);

// Loads the table when it is not loaded; always true.
bool LoadDatumTable();
// Frees the rows; the next look-up loads them again. Only for exit and tests:
// row pointers handed out before are dangling afterwards.
void ReleaseDatumTable();

// Rows are pointers into the table; null when none matches. Names compare
// without regard to case.
const DatumTransformation* FindDatumByName(WStringView datumName);
const DatumTransformation* FindDatumById(int32_t datumId);
const DatumTransformation* FindDatumByTransformId(int32_t transformationId);
int32_t CountDatumsByName(WStringView datumName);

// Shifts one position (degrees, metres) from the source datum to the target
// datum through WGS 1984. A null source means WGS 1984. outHeight may be null.
// Without useHeights the shifts run at height 0 and outHeight gets the input.
void TransformBetweenDatums(const DatumTransformation* source, double lon, double lat,
                            double height, const DatumTransformation* target, double* outLon,
                            double* outLat, double* outHeight, bool useHeights);
