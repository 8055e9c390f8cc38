// Datum rows, the process-wide datum table and the datum shifts.
//
// A datum is known only as a row: spheroid (a, f) and the transformation that
// carries positions on it to WGS 1984 (method code and up to seven parameters).
// Row 0 of the table is always the built-in WGS 1984 row; the others come from
// the dBASE table znDatums.dbf. The table is loaded on the first question
// asked of it; rows are handed out by pointer and kept by callers (the GPS
// receiver, the datum dialogs), so a row stays in memory until
// ReleaseDatumTable at exit, also when a new table file is loaded.
//
// Shift methods: geocentric translation (9603), Molodensky (9604 and 9605,
// both with the full formulas: the abridged ones lose up to a metre), and the
// seven-parameter similarity transformation in its position-vector (9606) and
// coordinate-frame (9607, 109607) conventions. The reverse direction negates
// every parameter, which is exact for the translation and good to about 1 mm
// for the others (the rotation and scale act on the other datum's coordinates).
// Accuracy against PROJ (tests/data/crs/datum_*.csv): 1 mm forward, 1 cm for
// the round trip, at heights from -100 m to 5 km.
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
    // Not truncated: a shortened name would never match the .prj that names it.
    WString datumName = u"WGS84";
    WString spheroidName = u"WGS84";

    // Field by field (never raw memory), the index with its flag included.
    bool operator==(const DatumTransformation&) const = default;
};

constexpr int32_t kDatumDefaultFlag = INT32_MIN;  // bit 31 of index

// The built-in WGS 1984 row (also the WGS 1984 spheroid of the shift methods).
const DatumTransformation& Wgs84Datum();

// a and f exactly those of WGS 1984 and no method.
bool IsWgs84Identity(const DatumTransformation& row);
// The same datum by the same shift (name, spheroid, method and parameters):
// positions need no shift between the two, whatever the method.
bool IsSameDatumShift(const DatumTransformation& a, const DatumTransformation& b);

// The table file (a device path; no length limit). The program sets it at
// start to the System folder beside it + "\znDatums.dbf". Frees the table,
// stores the path, loads the table; the outcome of the load.
bool SetDatumTableFile(const WString& path);
const WString& GetDatumTableFile();
// Loads the table when it is not loaded. False when the file is missing,
// damaged or cannot be read whole: then only the built-in row is there (a
// table with rows missing is never used). True for an empty path.
bool LoadDatumTable();
// FreeDatumTable drops the rows; the next look-up loads them again. Row
// pointers handed out before stay valid (the rows are kept aside) until
// ReleaseDatumTable, at exit, frees everything.
void FreeDatumTable();
void ReleaseDatumTable();

// Rows in table order (row 0 the built-in row), for the datum lists.
int32_t GetDatumCount();
const DatumTransformation* GetDatumRow(int32_t i);

// Rows are pointers into the table; null when none matches. Names compare
// without regard to case. By name: the first row of that name, unless a later
// one carries the DEFAULT flag.
const DatumTransformation* FindDatumByName(WStringView datumName);
const DatumTransformation* FindDatumById(int32_t datumId);
const DatumTransformation* FindDatumByTransformId(int32_t transformationId);
int32_t CountDatumsByName(WStringView datumName);

// Makes the table row equal to `row` (same record number and content; its
// DEFAULT flag is not compared) the default of its datum name, in the file
// and in memory, and sets the flag in `row` too. False, with nothing changed,
// when no such row exists or the file cannot be written.
bool SaveDefaultDatums(DatumTransformation& row);

// Geodetic (degrees, metres) <-> geocentric (metres) on the row's a and f.
// The inverse is Bowring's closed form: no iteration.
void GeodeticToGeocentric(const DatumTransformation& datum, double lon, double lat, double h,
                          double* X, double* Y, double* Z);
void GeocentricToGeodetic(const DatumTransformation& datum, double X, double Y, double Z,
                          double* lon, double* lat, double* h);

// One position (degrees, metres) by the row's method. toRowDatum false: from
// the row's datum to WGS 1984; true: from WGS 1984 to the row's datum. Method
// 0 leaves the position unchanged; a method not carried out (grid methods,
// unknown names) gives NaN: it cannot be converted. outHeight may be null.
// False when TransformDatum cannot carry out the row's method (the position
// shown would be "cannot convert"), so the caller can say the shift is not
// supported.
bool IsDatumShiftSupported(const DatumTransformation& row);
void TransformDatum(const DatumTransformation& row, double lon, double lat, double height,
                    double* outLon, double* outLat, double* outHeight, bool toRowDatum);
void GeocentricTranslation(const DatumTransformation& row, double lon, double lat, double height,
                           double* outLon, double* outLat, double* outHeight, bool toRowDatum);
void MolodenskyTransform(const DatumTransformation& row, double lon, double lat, double height,
                         double* outLon, double* outLat, double* outHeight, bool toRowDatum);
void SevenParameterTransform(const DatumTransformation& row, double lon, double lat, double height,
                             double* outLon, double* outLat, double* outHeight, bool toRowDatum,
                             bool coordinateFrame);

// Shifts one position (degrees, metres) from the source datum to the target
// datum through WGS 1984. A null source means WGS 1984. outHeight may be null.
// Without useHeights the shifts run at height 0 and outHeight gets the input.
void TransformBetweenDatums(const DatumTransformation* source, double lon, double lat,
                            double height, const DatumTransformation* target, double* outLon,
                            double* outLat, double* outHeight, bool useHeights);
