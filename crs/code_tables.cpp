#include "crs/code_tables.h"

// Units 9001-9114, prime meridians 8901-8913 and methods 9601-9615 are the
// public registry's codes; projections (43000 block) and parameters (100000
// block) are our own. Where a code or a name stands twice the first row answers.
const CrsCodeName CrsCodeNames[95] = {
    // units
    {0, u"Unknown"},
    {9001, u"Meter"},
    {9002, u"Foot"},
    {9003, u"Foot_US"},
    {9004, u"Foot_MA"},
    {9005, u"Foot_Clarke"},
    {9006, u"Foot_Indian"},
    {9007, u"Link"},
    {9008, u"Link_Benoit"},
    {9009, u"Link_Sears"},
    {9010, u"Chain_Benoit"},
    {9011, u"Chain_Sears"},
    {9012, u"Yard_Sears"},
    {9013, u"Yard_Indian"},
    {9014, u"Fathom"},
    {9030, u"Nautical_Mile"},
    {9031, u"Meter_German"},
    {9032, u"Foot_Sears"},
    {9033, u"Chain_US"},
    {9034, u"Link_US"},
    {9035, u"Mile_US"},
    {9036, u"Kilometer"},
    {9101, u"Radian"},
    {9102, u"Degree"},
    {9103, u"Minute"},
    {9104, u"Second"},
    {9105, u"Grad"},
    {9106, u"Gon"},
    {9109, u"Microradian"},
    {9112, u"Minute_Centesimal"},
    {9113, u"Second_Centesimal"},
    {9114, u"MIL_6400"},
    // projections
    {0, u"Unknown_Projection"},
    {43000, u"Geographic"},
    {43005, u"Gauss_Kruger"},
    {43006, u"Transverse_Mercator"},
    {43007, u"Albers"},
    {43020, u"Lambert_Conformal_Conic"},
    {43034, u"Cylindrical_Equal_Area"},
    {43040, u"New_Zealand_Map_Grid"},
    {43026, u"Stereographic"},
    {43038, u"Double_Stereographic"},
    // prime meridians
    {8901, u"Greenwich"},
    {8907, u"Bern"},
    {8904, u"Bogota"},
    {8910, u"Brussels"},
    {8909, u"Ferro"},
    {8908, u"Jakarta"},
    {8902, u"Lisbon"},
    {8905, u"Madrid"},
    {8903, u"Paris"},
    {8906, u"Rome"},
    {8911, u"Stockholm"},
    {8912, u"Athens"},
    {8913, u"Oslo"},
    // datum transformation methods
    {9601, u"Longitude_Rotation"},
    {9603, u"Geocentric_Translation"},
    {9604, u"Molodensky"},
    {9605, u"Molodensky_Abridged"},
    {9606, u"Position_Vector"},
    {9607, u"Coordinate_Frame"},
    {109607, u"Bursa_Wolf"},
    {9613, u"NADCON"},
    {109613, u"HARN"},
    {9615, u"NTv2"},
    // projection and transformation parameters
    {100025, u"Standard_Parallel_1"},
    {100026, u"Standard_Parallel_2"},
    {100011, u"Longitude_Of_Origin"},
    {100021, u"Latitude_Of_Origin"},
    {100001, u"False_Easting"},
    {100002, u"False_Northing"},
    {100010, u"Central_Meridian"},
    {100020, u"Central_Parallel"},
    {100003, u"Scale_Factor"},
    {100004, u"Azimuth"},
    {100040, u"X_Axis_Translation"},
    {100041, u"Y_Axis_Translation"},
    {100042, u"Z_Axis_Translation"},
    {100043, u"X_Axis_Rotation"},
    {100044, u"Y_Axis_Rotation"},
    {100045, u"Z_Axis_Rotation"},
    {100046, u"Scale_Difference"},
    {100023, u"Latitude_Of_1st_Point"},
    {100024, u"Latitude_Of_2nd_Point"},
    {100013, u"Longitude_Of_1st_Point"},
    {100014, u"Longitude_Of_2nd_Point"},
    {100047, u"Dataset"},
    {100037, u"X_Scale"},
    {100038, u"Y_Scale"},
    {100039, u"XY_Plane_Rotation"},
    {100003, u"Scale_Factor"},
    {100005, u"Height"},
    {100012, u"Longitude_Of_Center"},
    {100022, u"Latitude_Of_Center"},
    {100027, u"Pseudo_Standard_Parallel_1"},
};

// Linear units in metres, angular units in radians, areas in square metres,
// speeds in km/h. US survey units are 1200/3937 based. 9031 is the registry's
// German legal metre, 1.0000135965 m. Prime meridian values are the
// registry's in each meridian's own unit (packed DMS; grads for Paris).
const UnitFactor UnitFactors[50] = {
    {0, 0, 1.0},
    {9001, 0, 1.0},
    {9036, 0, 1000.0},
    {9002, 0, 0.3048},
    {9005, 0, 0.3047972651150996},
    {9007, 0, 0.20116619497596572},
    {9003, 0, 0.30480060960121924},
    {9033, 0, 20.11684023368047},
    {9034, 0, 0.2011684023368047},
    {9035, 0, 1609.3472186944375},
    {9004, 0, 0.304812252984506},
    {9008, 0, 0.2011678249437587},
    {9010, 0, 20.116782494375872},
    {9032, 0, 0.3047994715386762},
    {9009, 0, 0.2011676512155263},
    {9011, 0, 20.116765121552632},
    {9012, 0, 0.9143984146160287},
    {9006, 0, 0.3047995179900423},
    {9013, 0, 0.9143985539701268},
    {9014, 0, 1.8288},
    {9030, 0, 1852.0},
    {9031, 0, 1.0000135965},
    {9101, 0, 1.0},
    {9102, 0, 0.017453292519943295},
    {9103, 0, 0.0002908882086657216},
    {9104, 0, 4.84813681109536e-06},
    {9105, 0, 0.015707963267948967},
    {9106, 0, 0.015707963267948967},
    {9109, 0, 1e-06},
    {9112, 0, 0.00015707963267948965},
    {9113, 0, 1.5707963267948967e-06},
    {9114, 0, 0.0009817477042468104},
    {501001, 0, 10000.0},
    {501002, 0, 4046.87261},
    {502001, 0, 1.0},
    {502002, 0, 1.60934},
    {502004, 0, 1.852},
    {8901, 0, 0.0},
    {8902, 0, -9.0754862},
    {8903, 0, 2.5969213},
    {8904, 0, -74.04513},
    {8905, 0, -3.411658},
    {8906, 0, 12.27084},
    {8907, 0, 7.26225},
    {8908, 0, 106.482779},
    {8909, 0, -17.4},
    {8910, 0, 4.220471},
    {8911, 0, 18.03298},
    {8912, 0, 23.4258815},
    {8913, 0, 10.43225},
};

const UnitAbbreviation UnitAbbreviations[37] = {
    {0, u"?"},
    {9001, u"m"},
    {9036, u"km"},
    {9002, u"ft"},
    {9005, u"ft (Cla)"},
    {9007, u"lk"},
    {9003, u"ft US"},
    {9033, u"ch US"},
    {9034, u"lk US"},
    {9035, u"mi"},
    {9004, u"ft MA"},
    {9008, u"lk (Ben)"},
    {9010, u"ch (Ben)"},
    {9032, u"ft (Sears)"},
    {9009, u"lk (Sears)"},
    {9011, u"ch (Sears)"},
    {9012, u"yd (Sears)"},
    {9006, u"Ind ft"},
    {9013, u"Ind yd"},
    {9014, u"f"},
    {9030, u"NM"},
    {9031, u"GLM"},
    {9101, u"rad"},
    {9102, u"deg"},
    {9103, u"min"},
    {9104, u"sec"},
    {9105, u"g"},
    {9106, u"gon"},
    {9109, u"\u00B5rad"},
    {9112, u"c"},
    {9113, u"cc"},
    {9114, u"mil"},
    {501001, u"ha"},
    {501002, u"acres"},
    {502001, u"kph"},
    {502002, u"mph"},
    {502004, u"kts"},
};

const WChar* GetCrsCodeName(int32_t code) {
    for (const auto& row : CrsCodeNames)
        if (row.code == code) return row.name;
    return nullptr;
}

int32_t GetCrsCodeFromName(WStringView name) {
    for (const auto& row : CrsCodeNames)
        if (text::EqualsNoCase(row.name, name)) return row.code;
    return -1;
}

bool IsCrsCodeName(int32_t code, WStringView name) {
    const WChar* n = GetCrsCodeName(code);
    return n && text::EqualsNoCase(n, name);
}

double GetUnitFactor(int32_t code) {
    for (const auto& row : UnitFactors)
        if (row.code == code) return row.factor;
    return 0.0;
}

const WChar* GetUnitAbbreviation(int32_t code) {
    for (const auto& row : UnitAbbreviations)
        if (row.code == code) return row.abbreviation;
    return nullptr;
}

namespace {
bool InRange(int32_t code, int32_t lo, int32_t hi) {
    return code >= lo && code <= hi;
}
}  // namespace

bool IsProjectionCode(int32_t code) {
    return InRange(code, 43000, 43099);
}

bool IsLinearUnitCode(int32_t code) {
    return InRange(code, 9000, 9099) || InRange(code, 209000, 209099);
}

bool IsAngularUnitCode(int32_t code) {
    return InRange(code, 9100, 9199) || InRange(code, 209100, 209199);
}

bool IsPrimeMeridianCode(int32_t code) {
    return InRange(code, 8900, 8999) || InRange(code, 208900, 208999);
}

bool IsTransformationMethodCode(int32_t code) {
    return InRange(code, 9600, 9699) || InRange(code, 42600, 42699) ||
           InRange(code, 109600, 109699);
}
