// The coordinate system base: datum row, spheroid constants, units, the eight
// projection parameters and the prime meridian, and the conversions every
// caller uses (geographic <-> projected, and system to system through WGS 1984).
//
// Forward and Inverse of a concrete class work in degrees and in metres from
// the projection's natural origin; GeographicToProjected and
// ProjectedToGeographic add the range test, the prime meridian, the unit
// factor and the false origin. A coordinate without a value is the quiet NaN.
#pragma once

#include <cstdint>

#include "crs/datum_table.h"
#include "platform/text/text.h"

// The CoordSys script object that wraps a system. It is counted, and it keeps
// a plain pointer to its system, so the system tells it to forget that pointer
// before releasing it; the object's members then fail with an error.
class ICoordSysScriptObject {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual void DetachCoordSys() = 0;

protected:
    ~ICoordSysScriptObject() = default;
};

class CCoordSys {
public:
    CCoordSys();
    virtual ~CCoordSys();
    CCoordSys(const CCoordSys&) = delete;
    CCoordSys& operator=(const CCoordSys&) = delete;

    // Longitude, latitude in degrees -> x, y in metres from the natural origin.
    virtual void Forward(double lon, double lat, double* x, double* y) = 0;
    // x, y in metres from the natural origin -> longitude, latitude in degrees.
    virtual void Inverse(double x, double y, double* lon, double* lat) = 0;
    // Recomputes the derived constants after a, f or a parameter changed.
    // Overrides call the base first.
    virtual void Setup();

    // Longitude and latitude relative to Greenwich -> projected coordinates in
    // projection units. Outside -180..180 / -90..90 (or NaN) gives NaN, NaN,
    // except for the unknown projection (code 0), which tests nothing.
    void GeographicToProjected(double lon, double lat, double* x, double* y);
    void ProjectedToGeographic(double x, double y, double* lon, double* lat);
    // Projected coordinates of this system -> those of the target, through
    // WGS 1984. NaN when the target's range test fails, and between an unknown
    // system and a known one (the same unknown system on both sides keeps the
    // numbers).
    void ConvertTo(double x, double y, CCoordSys* target, double* tx, double* ty);
    // Same projection, parameters, spheroid, units, datum shift and prime
    // meridian longitude (each double within 2^-48 relative). Names are not
    // compared.
    bool IsEqual(const CCoordSys* other) const;
    // Whether an extent in this system's units can lie in it: false for a
    // geographic system whose extent leaves -180..180 / -90..90 (the data is
    // in another system and its .prj is wrong). Projected systems and NaN
    // extents (nothing known) answer true.
    bool CanHoldExtent(double xmin, double ymin, double xmax, double ymax) const;

    // Only codes of the right class (or 0) whose factor is not 0; false and
    // nothing changed otherwise.
    bool SetGeographicUnit(int32_t code);
    bool SetProjectionUnit(int32_t code);

    void AttachScriptObject(ICoordSysScriptObject* object);

    // Datum. SetDatumByName falls back to the "WGS84" row for an unknown name
    // and then returns false (positions may be off: callers say so);
    // SetDatumRecord(nullptr) takes the "WGS84" row and returns whether a row
    // was copied. UpdateDatum copies a and f from the row, counts the rows of
    // its name and runs Setup.
    bool SetDatumByName(WStringView datumName);
    void SetDatum(const DatumTransformation& row);
    bool SetDatumRecord(const DatumTransformation* row);
    void UpdateDatum();

    // Number of coordinate systems alive in the process.
    static int32_t LiveCount();

    int32_t m_projectionCode = 0;
    DatumTransformation m_datum;
    int32_t m_transformationCount = 0;
    WString m_geographicName;
    int32_t m_geographicUnitCode = 9102;
    double m_geographicUnitFactor;
    WString m_projectedName;
    int32_t m_projectionUnitCode = 0;
    double m_projectionUnitFactor = 1.0;  // metres per projection unit
    double m_a = 6378137.0;
    double m_b = 0.0;
    double m_f = 0.0033528106647474805;
    double m_e = 0.0;
    double m_e2 = 0.0;
    double m_e4 = 0.0;
    double m_e6 = 0.0;
    double m_e8 = 0.0;
    double m_n = 0.0;                // third flattening f / (2 - f)
    double m_metersPerDegree = 0.0;  // one degree of the rectifying sphere's meridian
    double m_falseEasting = 0.0;     // projection units
    double m_falseNorthing = 0.0;    // projection units
    double m_scaleFactor = 0.0;
    double m_centralMeridian = 0.0;  // degrees
    double m_latitudeOfOrigin = 0.0;
    double m_standardParallel1 = 0.0;
    double m_standardParallel2 = 0.0;
    double m_azimuth = 0.0;  // kept for the well-known text only
    int32_t m_primeMeridianCode = 8901;
    double m_primeMeridianLongitude = 0.0;  // degrees east of Greenwich
    // Names read from a well-known text for a prime meridian or unit whose
    // code has no name (code -1); written back in its place.
    WString m_primeMeridianName;
    WString m_geographicUnitName;
    WString m_projectionUnitName;
    ICoordSysScriptObject* m_scriptObject = nullptr;
};

// Why positions of one system cannot be shown in another, the first that
// applies: exactly one side is an unknown projection (no conversion); the
// datums differ and one's shift is a method we do not carry out (no
// conversion); a side's datum name is not in the datum table (WGS 1984's
// numbers stand in, so positions may be off). The same system on both sides
// asks only whether its datum is known.
enum class ConversionProblem { kNone, kUnknownSystem, kShiftNotSupported, kUnknownDatum };
ConversionProblem FindConversionProblem(const CCoordSys& from, const CCoordSys& to);
