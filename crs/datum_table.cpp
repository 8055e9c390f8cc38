#include "crs/datum_table.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <vector>

#include "crs/code_tables.h"
#include "crs/crs_math.h"
#include "formats/dbf/dbf_table.h"

namespace {

const DatumTransformation kWgs84Row{};

struct DatumTable {
    std::vector<DatumTransformation> rows;  // empty while not loaded
    // Rows of tables freed before: callers may still hold pointers to them,
    // so they stay until the program ends (ReleaseDatumTable).
    std::vector<std::vector<DatumTransformation>> retired;
    WString path;
    bool complete = true;  // the last load read every row of the file
};

DatumTable& Table() {
    static DatumTable table;
    return table;
}

// Loading, freeing and replacing the table: the first look-up may come from
// any thread that makes a coordinate system.
std::recursive_mutex& TableMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}

// Field indexes of the table file, -1 for an absent field.
struct DatumFields {
    int def, datumId, tranId, datum, spheroid, a, invF, method, dx, dy, dz, rx, ry, rz, ds;
    explicit DatumFields(const CDbfTable& t)
        : def(t.FindField(u"DEFAULT")),
          datumId(t.FindField(u"DATUMID")),
          tranId(t.FindField(u"GEOGTRANID")),
          datum(t.FindField(u"DATUM")),
          spheroid(t.FindField(u"SPHEROID")),
          a(t.FindField(u"A")),
          invF(t.FindField(u"INVERSE_F")),
          method(t.FindField(u"METHOD")),
          dx(t.FindField(u"DX")),
          dy(t.FindField(u"DY")),
          dz(t.FindField(u"DZ")),
          rx(t.FindField(u"RX")),
          ry(t.FindField(u"RY")),
          rz(t.FindField(u"RZ")),
          ds(t.FindField(u"DS")) {}
};

// Numbers only from fields of type N; anything else reads as 0.
double Number(DbfHandle h, int field) {
    return field >= 0 && DbfGetFieldType(h, field) == 'N' ? DbfGetNumber(h, field) : 0.0;
}

int32_t WholeNumber(DbfHandle h, int field) {
    const double v = Number(h, field);
    return v >= -2147483648.0 && v <= 2147483647.0 ? static_cast<int32_t>(v) : 0;
}

int32_t MethodFromName(const WString& name) {
    const int32_t code = GetCrsCodeFromName(name);
    if (code == -1) return -1;
    return IsTransformationMethodCode(code) ? code : 0;
}

DatumTransformation ReadRow(DbfHandle h, const DatumFields& f, int record) {
    DatumTransformation row;
    row.index = record;
    if (f.def >= 0 && DbfGetLogical(h, f.def)) row.index |= kDatumDefaultFlag;
    row.datumId = WholeNumber(h, f.datumId);
    row.transformationId = WholeNumber(h, f.tranId);
    row.datumName = f.datum >= 0 ? DbfGetString(h, f.datum) : WString();
    row.spheroidName = f.spheroid >= 0 ? DbfGetString(h, f.spheroid) : WString();
    row.a = Number(h, f.a);
    // An inverse flattening of 0 is the file's way of writing a sphere.
    const double rf = Number(h, f.invF);
    row.f = rf == 0.0 ? 0.0 : 1.0 / rf;
    row.method = f.method >= 0 ? MethodFromName(DbfGetString(h, f.method)) : -1;
    row.dx = Number(h, f.dx);
    row.dy = Number(h, f.dy);
    row.dz = Number(h, f.dz);
    row.rx = Number(h, f.rx);
    row.ry = Number(h, f.ry);
    row.rz = Number(h, f.rz);
    row.ds = Number(h, f.ds);
    return row;
}

// The built-in row, then every row of the file. A file that cannot be
// opened or read whole gives the built-in row alone and false: a table with
// rows missing would give some datums and silently not others.
bool LoadRows(DatumTable& t) {
    t.rows.assign(1, kWgs84Row);
    if (t.path.empty()) return true;
    CDbfTable file;
    if (!file.Open(t.path.c_str(), 0)) return false;
    DbfHandle h = file.Table();
    if (DbfIsDamaged(h)) return false;
    const int n = DbfGetRecordCount(h);
    const DatumFields fields(file);
    std::vector<DatumTransformation> rows(1, kWgs84Row);
    // Room only for rows the file can hold, whatever the header claims.
    const int64_t rowLength = std::max(1, DbfGetRecordLength(h));
    const int64_t present =
        std::max<int64_t>(0, (DbfGetFileSize(h) - DbfGetHeaderLength(h)) / rowLength);
    rows.reserve(static_cast<size_t>(std::min<int64_t>(n, present)) + 1);
    for (int i = 0; i < n; ++i) {
        if (!DbfReadRecord(h, i)) return false;
        rows.push_back(ReadRow(h, fields, i));
    }
    t.rows = std::move(rows);
    return true;
}

// The same row apart from the DEFAULT flag.
bool SameRow(const DatumTransformation& l, const DatumTransformation& r) {
    DatumTransformation a = l, b = r;
    a.index &= ~kDatumDefaultFlag;
    b.index &= ~kDatumDefaultFlag;
    return a == b;
}

}  // namespace

const DatumTransformation& Wgs84Datum() {
    return kWgs84Row;
}

bool IsWgs84Identity(const DatumTransformation& row) {
    return row.a == 6378137.0 && row.f == 0.0033528106647474805 && row.method == 0;
}

bool IsSameDatumShift(const DatumTransformation& a, const DatumTransformation& b) {
    return a.datumName == b.datumName && a.a == b.a && a.f == b.f && a.method == b.method &&
           a.transformationId == b.transformationId && a.dx == b.dx && a.dy == b.dy &&
           a.dz == b.dz && a.rx == b.rx && a.ry == b.ry && a.rz == b.rz && a.ds == b.ds;
}

bool SetDatumTableFile(const WString& path) {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    FreeDatumTable();
    Table().path = path;
    return LoadDatumTable();
}

const WString& GetDatumTableFile() {
    return Table().path;
}

bool LoadDatumTable() {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    auto& t = Table();
    if (t.rows.empty()) t.complete = LoadRows(t);
    return t.complete;
}

void FreeDatumTable() {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    auto& t = Table();
    // Moved, not copied: the rows stay where they are.
    if (!t.rows.empty()) t.retired.push_back(std::move(t.rows));
    t.rows = {};
}

void ReleaseDatumTable() {
    std::lock_guard<std::recursive_mutex> lock(TableMutex());
    FreeDatumTable();
    Table().retired.clear();
}

int32_t GetDatumCount() {
    LoadDatumTable();
    return static_cast<int32_t>(Table().rows.size());
}

const DatumTransformation* GetDatumRow(int32_t i) {
    LoadDatumTable();
    const auto& rows = Table().rows;
    return i >= 0 && static_cast<size_t>(i) < rows.size() ? &rows[static_cast<size_t>(i)] : nullptr;
}

const DatumTransformation* FindDatumByName(WStringView datumName) {
    LoadDatumTable();
    const DatumTransformation* candidate = nullptr;
    for (const auto& row : Table().rows) {
        if (!text::EqualsNoCase(row.datumName, datumName)) continue;
        if (!candidate)
            candidate = &row;
        else if (row.index & kDatumDefaultFlag)
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

bool SaveDefaultDatums(DatumTransformation& chosen) {
    LoadDatumTable();
    auto& rows = Table().rows;
    // A stale or foreign row matches nothing: then nothing changes, rather
    // than every row of the name losing its flag.
    DatumTransformation* match = nullptr;
    for (size_t i = 1; i < rows.size() && !match; ++i)
        if (SameRow(rows[i], chosen)) match = &rows[i];
    if (!match) return false;

    CDbfTable file;
    if (!file.Open(Table().path.c_str(), kDbfReadWrite)) return false;
    DbfHandle h = file.Table();
    const int field = file.FindField(u"DEFAULT");
    if (field < 0 || DbfGetFieldType(h, field) != 'L') return false;
    // The file first, memory only for the records written. The chosen row is
    // flagged before the others are cleared, so a write failing half-way
    // leaves two defaults at worst, never none.
    auto put = [&](DatumTransformation& row, bool isDefault) {
        const int record = row.index & ~kDatumDefaultFlag;
        if (!DbfReadRecord(h, record) || !DbfPutLogical(h, field, isDefault ? 'T' : 'F') ||
            !DbfWriteRecord(h, record))
            return false;
        if (isDefault)
            row.index |= kDatumDefaultFlag;
        else
            row.index &= ~kDatumDefaultFlag;
        return true;
    };
    // A failure puts back the flags already written, file and memory.
    std::vector<std::pair<DatumTransformation*, bool>> written;
    auto undo = [&] {
        for (auto it = written.rbegin(); it != written.rend(); ++it) put(*it->first, it->second);
        return false;
    };
    const bool wasDefault = (match->index & kDatumDefaultFlag) != 0;
    if (!put(*match, true)) return undo();
    written.push_back({match, wasDefault});
    for (size_t i = 1; i < rows.size(); ++i) {
        DatumTransformation& row = rows[i];
        if (&row == match || !text::EqualsNoCase(row.datumName, chosen.datumName)) continue;
        const bool was = (row.index & kDatumDefaultFlag) != 0;
        if (!put(row, false)) return undo();
        written.push_back({&row, was});
    }
    // The header (date of the change) now, not at close where its failure
    // would go unseen.
    if (!DbfWriteHeader(h, 0)) return undo();
    chosen.index |= kDatumDefaultFlag;
    return true;
}

// ---- the shift methods ----

namespace {
using crs_math::DegToRad;
using crs_math::kPi;
using crs_math::RadToDeg;

constexpr double kArcSecond = kPi / 3600.0 / 180.0;

void Store(double lon, double lat, double h, double* outLon, double* outLat, double* outHeight) {
    *outLon = lon;
    *outLat = lat;
    if (outHeight) *outHeight = h;
}
}  // namespace

void GeodeticToGeocentric(const DatumTransformation& datum, double lon, double lat, double h,
                          double* X, double* Y, double* Z) {
    const double a = datum.a, f = datum.f;
    const double e2 = f * 2.0 - f * f;
    const double phi = DegToRad(lat), lambda = DegToRad(lon);
    const double s = std::sin(phi);
    const double N = a / std::sqrt(1.0 - s * s * e2);
    *X = (N + h) * std::cos(lambda) * std::cos(phi);
    *Y = (N + h) * std::sin(lambda) * std::cos(phi);
    *Z = ((1.0 - e2) * N + h) * s;
}

void GeocentricToGeodetic(const DatumTransformation& datum, double X, double Y, double Z,
                          double* lon, double* lat, double* h) {
    const double a = datum.a, f = datum.f;
    const double p = std::sqrt(Y * Y + X * X);
    const double r = std::sqrt(Z * Z + p * p);
    const double e2 = f * 2.0 - f * f;
    const double lambda = std::atan2(Y, X);
    const double mu = std::atan((Z / p) * ((1.0 - f) + a * e2 / r));
    const double sm = std::sin(mu), cm = std::cos(mu);
    const double phi =
        std::atan2(Z * (1.0 - f) + a * e2 * sm * sm * sm, (1.0 - f) * (p - a * e2 * cm * cm * cm));
    const double sp = std::sin(phi);
    *lon = RadToDeg(lambda);
    *lat = RadToDeg(phi);
    *h = p * std::cos(phi) + Z * sp - a * std::sqrt(1.0 - e2 * sp * sp);
}

void GeocentricTranslation(const DatumTransformation& row, double lon, double lat, double height,
                           double* outLon, double* outLat, double* outHeight, bool toRowDatum) {
    const DatumTransformation& from = toRowDatum ? kWgs84Row : row;
    const DatumTransformation& to = toRowDatum ? row : kWgs84Row;
    const double sign = toRowDatum ? -1.0 : 1.0;
    double X, Y, Z, h;
    GeodeticToGeocentric(from, lon, lat, height, &X, &Y, &Z);
    GeocentricToGeodetic(to, X + sign * row.dx, Y + sign * row.dy, Z + sign * row.dz, &lon, &lat,
                         &h);
    Store(lon, lat, h, outLon, outLat, outHeight);
}

// The standard (full) Molodensky formulas: DMA TR 8350.2, 3rd ed., 2000,
// appendix B, eqs. B-1..B-3.
void MolodenskyTransform(const DatumTransformation& row, double lon, double lat, double height,
                         double* outLon, double* outLat, double* outHeight, bool toRowDatum) {
    double dX = row.dx, dY = row.dy, dZ = row.dz;
    double da = kWgs84Row.a - row.a, df = kWgs84Row.f - row.f;
    double a = row.a, f = row.f;
    if (toRowDatum) {
        dX = -dX, dY = -dY, dZ = -dZ, da = -da, df = -df;
        a = kWgs84Row.a, f = kWgs84Row.f;
    }
    const double e2 = 2.0 * f - f * f;
    const double b = a * (1.0 - f);
    const double phi = lat * kPi / 180.0, lambda = lon * kPi / 180.0;
    const double sp = std::sin(phi), cp = std::cos(phi);
    const double sl = std::sin(lambda), cl = std::cos(lambda);
    const double w = 1.0 - e2 * sp * sp;
    const double Rn = a / std::sqrt(w);
    const double Rm = a * (1.0 - e2) / (w * std::sqrt(w));
    const double s = std::sin(kArcSecond);
    const double dPhi = (-dX * sp * cl - dY * sp * sl + dZ * cp + da * Rn * e2 * sp * cp / a +
                         df * (Rm * a / b + Rn * b / a) * sp * cp) /
                        ((Rm + height) * s);
    const double dLambda = (-dX * sl + dY * cl) / ((Rn + height) * cp * s);
    const double dH =
        dX * cp * cl + dY * cp * sl + dZ * sp - da * a / Rn + df * (b / a) * Rn * sp * sp;
    Store(lon + dLambda / 3600.0, lat + dPhi / 3600.0, height + dH, outLon, outLat, outHeight);
}

// Seven-parameter similarity transformation: IOGP Guidance Note 7-2, 2019,
// methods 9606 and 9607; rotation terms sin(rz) cos(ry), sin(ry) and
// cos(ry) sin(rx) in place of the plain small angles.
void SevenParameterTransform(const DatumTransformation& row, double lon, double lat, double height,
                             double* outLon, double* outLat, double* outHeight, bool toRowDatum,
                             bool coordinateFrame) {
    const double sign = toRowDatum ? -1.0 : 1.0;
    const double rx = sign * row.rx * kArcSecond, ry = sign * row.ry * kArcSecond,
                 rz = sign * row.rz * kArcSecond;
    const double dx = sign * row.dx, dy = sign * row.dy, dz = sign * row.dz;
    const double m = 1.0 + sign * row.ds * 0.000001;
    const DatumTransformation& from = toRowDatum ? kWgs84Row : row;
    const DatumTransformation& to = toRowDatum ? row : kWgs84Row;
    double X, Y, Z;
    GeodeticToGeocentric(from, lon, lat, height, &X, &Y, &Z);
    double p = std::sin(rz) * std::cos(ry), q = std::sin(ry), r = std::cos(ry) * std::sin(rx);
    if (coordinateFrame) p = -p, q = -q, r = -r;  // the transposed rotation
    const double X2 = m * (X - p * Y + q * Z) + dx;
    const double Y2 = m * (p * X + Y - r * Z) + dy;
    const double Z2 = m * (-q * X + r * Y + Z) + dz;
    double h;
    GeocentricToGeodetic(to, X2, Y2, Z2, &lon, &lat, &h);
    Store(lon, lat, h, outLon, outLat, outHeight);
}

void TransformDatum(const DatumTransformation& row, double lon, double lat, double height,
                    double* outLon, double* outLat, double* outHeight, bool toRowDatum) {
    switch (row.method) {
        case 9603:
            GeocentricTranslation(row, lon, lat, height, outLon, outLat, outHeight, toRowDatum);
            return;
        case 9604:
        case 9605:
            MolodenskyTransform(row, lon, lat, height, outLon, outLat, outHeight, toRowDatum);
            return;
        case 9606:
            SevenParameterTransform(row, lon, lat, height, outLon, outLat, outHeight, toRowDatum,
                                    false);
            return;
        case 9607:
        case 109607:
            SevenParameterTransform(row, lon, lat, height, outLon, outLat, outHeight, toRowDatum,
                                    true);
            return;
        case 0:  // no transformation: the datum is WGS 1984's own
            Store(lon, lat, height, outLon, outLat, outHeight);
            return;
        default: {
            // Grid methods and names we do not know: a position left as it
            // was could be off by hundreds of metres, so there is none.
            const double nan = std::numeric_limits<double>::quiet_NaN();
            Store(nan, nan, nan, outLon, outLat, outHeight);
        }
    }
}

bool IsDatumShiftSupported(const DatumTransformation& row) {
    switch (row.method) {
        case 0:
        case 9603:
        case 9604:
        case 9605:
        case 9606:
        case 9607:
        case 109607:
            return true;
        default:
            return false;
    }
}

void TransformBetweenDatums(const DatumTransformation* source, double lon, double lat,
                            double height, const DatumTransformation* target, double* outLon,
                            double* outLat, double* outHeight, bool useHeights) {
    // The same datum on both sides needs no shift, also one whose method we
    // do not carry out.
    if (source == target || (source && target && IsSameDatumShift(*source, *target))) {
        Store(lon, lat, height, outLon, outLat, outHeight);
        return;
    }
    double x = lon, y = lat, h = useHeights ? height : 0.0;
    if (source && !IsWgs84Identity(*source)) TransformDatum(*source, x, y, h, &x, &y, &h, false);
    if (!useHeights) h = 0.0;
    if (target && !IsWgs84Identity(*target)) TransformDatum(*target, x, y, h, &x, &y, &h, true);
    Store(x, y, useHeights ? h : height, outLon, outLat, outHeight);
}
