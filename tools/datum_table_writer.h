// Writes a datum table file (znDatums.dbf layout) with the program's own
// dBASE engine. Used by tools/make_datum_table.cpp, which builds the shipped
// table, and by the tests, which build small tables of their own.
#pragma once

#include <vector>

#include "formats/dbf/dbf_engine.h"
#include "formats/dbf/dbf_field.h"
#include "platform/text/text.h"

struct DatumFileRow {
    bool isDefault = false;
    int datumId = 0;
    int transformationId = 0;
    WString datum;
    WString spheroid;
    double a = 0.0;
    double inverseFlattening = 0.0;
    WString method;
    double dx = 0.0, dy = 0.0, dz = 0.0;
    double rx = 0.0, ry = 0.0, rz = 0.0;  // arc-seconds
    double ds = 0.0;                      // ppm
};

// defaultType is the dBASE type of the DEFAULT field: 'L' in real tables.
inline bool WriteDatumTable(const WString& path, const std::vector<DatumFileRow>& rows,
                            char defaultType = 'L') {
    DbfHandle h = DbfCreate(path.c_str(), kDbfReadWrite);
    if (!h) return false;
    struct Field {
        const char16_t* name;
        char type;
        int length, decimals;
    };
    const Field fields[] = {
        {u"DEFAULT", defaultType, 1, 0},
        {u"DATUMID", 'N', 10, 0},
        {u"GEOGTRANID", 'N', 10, 0},
        {u"DATUM", 'C', 80, 0},
        {u"SPHEROID", 'C', 80, 0},
        {u"A", 'N', 19, 6},
        {u"INVERSE_F", 'N', 19, 12},
        {u"METHOD", 'C', 30, 0},
        {u"DX", 'N', 19, 6},
        {u"DY", 'N', 19, 6},
        {u"DZ", 'N', 19, 6},
        {u"RX", 'N', 19, 10},
        {u"RY", 'N', 19, 10},
        {u"RZ", 'N', 19, 10},
        {u"DS", 'N', 19, 10},
    };
    bool ok = true;
    for (const auto& f : fields)
        ok = ok && DbfAddField(h, f.name, f.type, f.length, f.decimals) >= 0;
    for (const auto& r : rows) {
        if (!ok) break;
        DbfBlankRecord(h);
        if (defaultType == 'L')
            DbfPutLogical(h, 0, r.isDefault ? 'T' : 'F');
        else
            DbfPutText(h, 0, r.isDefault ? u"T" : u"F");
        DbfPutNumber(h, 1, r.datumId);
        DbfPutNumber(h, 2, r.transformationId);
        DbfPutText(h, 3, r.datum.c_str());
        DbfPutText(h, 4, r.spheroid.c_str());
        DbfPutNumber(h, 5, r.a);
        DbfPutNumber(h, 6, r.inverseFlattening);
        DbfPutText(h, 7, r.method.c_str());
        const double p[] = {r.dx, r.dy, r.dz, r.rx, r.ry, r.rz, r.ds};
        for (int i = 0; i < 7; ++i) DbfPutNumber(h, 8 + i, p[i]);
        ok = DbfWriteRecord(h, kDbfAppend) != 0;
    }
    return DbfClose(h) && ok;
}
