// Well-known text of coordinate systems: the dialect of .prj files.
//
//   GEOGCS[name,DATUM[name,SPHEROID[name,a,rf]],PRIMEM[name,lon],UNIT[name,factor]]
//   PROJCS[name,GEOGCS[...],PROJECTION[name],PARAMETER[name,value]*,UNIT[name,factor]]
//
// Read permissively: [ ] or ( ), " or ', keywords in any case, white space
// between tokens. Nothing but PARAMETERs may stand before the UNIT of a
// PROJCS; whatever follows a UNIT is ignored. Written with no blanks, double
// quotes, "%.15g" numbers and no line end. As desktop tools write it, the
// angular PARAMETERs of a PROJCS are in the GEOGCS's angular unit (grads for
// the Paris-based French grids) and PRIMEM is in degrees; the system holds
// degrees, and angles are written back in the text's unit.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "crs/coord_sys.h"
#include "platform/text/text.h"

// The text of a system when no other is known.
extern const WChar kDefaultCoordSysWkt[];

class CWktCoordSys {
public:
    CWktCoordSys();
    virtual ~CWktCoordSys();

    void Clear();
    // Clears, reads the file (each byte one character, as Latin-1) and parses;
    // false also when the file cannot be read.
    bool ReadPrjFile(WStringView path);
    bool ParseWkt(WStringView text);
    // A new system of the class the text names; null when nothing was parsed.
    // Afterwards m_datumFound tells whether the table knew the datum name:
    // when not, the system has the WGS 1984 shift (none) under the text's
    // datum and spheroid names, and callers should say so.
    // *datumFound (when given) gets the same answer.
    std::unique_ptr<CCoordSys> CreateProjection(bool* datumFound = nullptr);
    // After CreateProjection: false when the text names a projection this
    // program cannot compute (a "Polar_Stereographic" with a standard
    // parallel off the pole, an unknown name). The system returned then keeps
    // the text for writing back but must not be used to project: callers say
    // the system is not supported.
    bool m_projectionSupported = true;

    WChar m_openBracket = u'[';
    WChar m_closeBracket = u']';
    WChar m_quote = u'"';
    bool m_parsed = false;
    WString m_geogcsName;
    WString m_angularUnitName;
    double m_angularUnitFactor = 1.0;
    WString m_datumName;
    WString m_spheroidName;
    double m_semiMajorAxis = 0.0;
    double m_inverseFlattening = 0.0;
    WString m_primeMeridianName;
    double m_primeMeridianLongitude = 0.0;
    WString m_projcsName;
    WString m_projectionName;
    WString m_linearUnitName;
    double m_linearUnitFactor = 1.0;
    double m_falseEasting = 0.0;
    double m_falseNorthing = 0.0;
    double m_centralMeridian = 0.0;
    double m_scaleFactor = 0.0;
    double m_latitudeOfOrigin = 0.0;
    double m_standardParallel1 = 0.0;
    double m_standardParallel2 = 0.0;
    double m_azimuth = 0.0;
    // Every PARAMETER in text order, and which of the interpreted ones were there.
    struct Parameter {
        WString name;
        double value;
    };
    std::vector<Parameter> m_parameters;
    bool m_hasCentralMeridian = false;
    bool m_hasStandardParallel2 = false;
    bool m_hasLongitudeOfOrigin = false;
    double m_longitudeOfOrigin = 0.0;
    bool m_datumFound = false;

private:
    bool IsPolarAtThePole(WStringView name);
};

// The text of a system. With escapeXml the names are escaped for an XML
// attribute (& < > " ').
WString FormatWkt(const CCoordSys& cs, bool escapeXml);
// Writes the text, one byte per character (its low byte), no line end; the
// file is replaced whole. False when it cannot be written.
bool WritePrjFile(WStringView path, const CCoordSys& cs);
