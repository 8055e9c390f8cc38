#include "crs/datum_table.h"

#include <vector>

namespace {

const DatumTransformation kWgs84Row{};

struct DatumTable {
    std::vector<DatumTransformation> rows;  // empty while not loaded
};

DatumTable& Table() {
    static DatumTable table;
    return table;
}

// Shifts one position by the row's method; direction true goes from WGS 1984
// to the row's datum. Only rows without a carried-out method exist so far,
// and those leave the position where it is.
void TransformDatum(const DatumTransformation& /*row*/, double lon, double lat, double height,
                    double* outLon, double* outLat, double* outHeight, bool /*toRowDatum*/) {
    *outLon = lon;
    *outLat = lat;
    if (outHeight) *outHeight = height;
}

}  // namespace

const DatumTransformation& Wgs84Datum() {
    return kWgs84Row;
}

bool IsWgs84Identity(const DatumTransformation& row) {
    return row.a == 6378137.0 && row.f == 0.0033528106647474805 && row.method == 0;
}

bool LoadDatumTable() {
    auto& t = Table();
    if (t.rows.empty()) t.rows.push_back(kWgs84Row);
    return true;
}

void ReleaseDatumTable() {
    auto& t = Table();
    t.rows.clear();
    t.rows.shrink_to_fit();
}

const DatumTransformation* FindDatumByName(WStringView datumName) {
    LoadDatumTable();
    const DatumTransformation* candidate = nullptr;
    for (const auto& row : Table().rows) {
        if (!text::EqualsNoCase(row.datumName, datumName)) continue;
        if (!candidate)
            candidate = &row;
        else if (row.index & INT32_MIN)
            return &row;  // a later row flagged DEFAULT wins
    }
    return candidate;
}

const DatumTransformation* FindDatumById(int32_t datumId) {
    LoadDatumTable();
    for (const auto& row : Table().rows)
        if (row.datumId == datumId) return &row;
    return nullptr;
}

const DatumTransformation* FindDatumByTransformId(int32_t transformationId) {
    LoadDatumTable();
    for (const auto& row : Table().rows)
        if (row.transformationId == transformationId) return &row;
    return nullptr;
}

int32_t CountDatumsByName(WStringView datumName) {
    LoadDatumTable();
    int32_t n = 0;
    for (const auto& row : Table().rows)
        if (text::EqualsNoCase(row.datumName, datumName)) ++n;
    return n;
}

void TransformBetweenDatums(const DatumTransformation* source, double lon, double lat,
                            double height, const DatumTransformation* target, double* outLon,
                            double* outLat, double* outHeight, bool useHeights) {
    if (source == target) {
        *outLon = lon;
        *outLat = lat;
        if (outHeight) *outHeight = height;
        return;
    }
    double x = lon, y = lat, h = useHeights ? height : 0.0;
    if (source && !IsWgs84Identity(*source)) TransformDatum(*source, x, y, h, &x, &y, &h, false);
    if (!useHeights) h = 0.0;
    if (target && !IsWgs84Identity(*target)) TransformDatum(*target, x, y, h, &x, &y, &h, true);
    *outLon = x;
    *outLat = y;
    if (outHeight) *outHeight = useHeights ? h : height;
}
