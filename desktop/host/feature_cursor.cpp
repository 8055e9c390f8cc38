#include "desktop/host/feature_cursor.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <deque>

#include "core/no_data.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/spatial_filter.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shp_engine.h"

namespace host {

ShpFileHandle::~ShpFileHandle() {
    if (m_h) ShpClose(m_h);
}

bool ShpFileHandle::Close(std::string* why) {
    if (!m_h) return true;
    if (!ShpFlush(m_h)) {
        if (why) *why = Reason();
        return false;
    }
    const int ok = ShpClose(m_h);
    m_h = nullptr;
    if (!ok && why) *why = "the shapefile's header could not be written";
    return ok != 0;
}

std::string ShpFileHandle::Reason() const {
    const WChar* t = ShpGetErrorText(m_h);
    return t && *t ? text::ToUtf8(t) : std::string("the shapefile could not be written");
}

// ------------------------------------------------------------------ shapes

HostGeometry GeometryOfRecord(const ShapeRecord* r) {
    HostGeometry g;
    if (!r) return g;
    const int type = ShpGetRecordShapeType(nullptr, r);
    if (!IsBuildableShapeType(type)) return g;
    g.shapeType = type;
    const int n = ShpGetPointCount(r);
    const uint8_t* points = ShapeGetPoints(r);
    g.points.resize(static_cast<size_t>(n));
    if (n > 0) std::memcpy(g.points.data(), points, 16 * static_cast<size_t>(n));
    if (IsLineOrPolygonShapeType(type)) {
        const int p = ShapeGetPartCount(r);
        const uint8_t* parts = ShapeGetParts(r);
        g.parts.resize(static_cast<size_t>(p));
        for (int i = 0; i < p; ++i) g.parts[static_cast<size_t>(i)] = ShapeLoadInt(parts + 4 * i);
    }
    if (ShapeTypeHasZ(type)) {
        const uint8_t* z = ShapeGetZArray(r);
        g.z.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) g.z[static_cast<size_t>(i)] = ShapeLoadDouble(z + 8 * i);
    }
    if (ShapeTypeHasM(type)) {
        const uint8_t* m = ShapeGetMArray(r);
        g.m.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) g.m[static_cast<size_t>(i)] = ShapeLoadDouble(m + 8 * i);
    }
    return g;
}

ShapeRecord* RecordOfGeometry(const HostGeometry& g, std::vector<uint8_t>& storage) {
    const int type = g.shapeType;
    if (!IsBuildableShapeType(type)) return nullptr;
    const int n = static_cast<int>(g.points.size());
    const bool lines = IsLineOrPolygonShapeType(type);
    const int parts = lines ? static_cast<int>(g.parts.size()) : 1;
    if (IsPointShapeType(type) ? n != 1 : lines && (parts < 1 || n < 1))
        throw HostError("a shape whose points do not fit its type");
    const size_t size = ShapeRecordSize(type, parts, n);
    if (size == 0) throw HostError("a shape whose points do not fit its type");
    storage.assign(size, 0);
    ShapeRecord* r = AsShapeRecord(storage.data());
    ShapeInitRecord(nullptr, type, parts, n, r);
    if (n > 0) std::memcpy(ShapeGetPoints(r), g.points.data(), 16 * static_cast<size_t>(n));
    if (lines) {
        uint8_t* p = ShapeGetParts(r);
        for (int i = 0; i < parts; ++i) {
            const int s = g.parts[static_cast<size_t>(i)];
            if (s < 0 || s >= n || (i == 0 && s != 0) || (i > 0 && s <= g.parts[i - 1]))
                throw HostError("a shape whose parts do not fit its points");
            ShapeStoreInt(p + 4 * i, s);
        }
    }
    auto fill = [n](uint8_t* range, uint8_t* array, const std::vector<double>& v, double none) {
        double lo = 0, hi = 0;
        bool first = true;
        for (int i = 0; i < n; ++i) {
            const double d = static_cast<size_t>(i) < v.size() ? v[static_cast<size_t>(i)] : none;
            ShapeStoreDouble(array + 8 * i, d);
            if (std::isnan(d) || d <= -1e38) continue;
            if (first || d < lo) lo = d;
            if (first || d > hi) hi = d;
            first = false;
        }
        if (range) {
            ShapeStoreDouble(range, first ? none : lo);
            ShapeStoreDouble(range + 8, first ? none : hi);
        }
    };
    if (ShapeTypeHasZ(type)) fill(ShapeGetZRange(r), ShapeGetZArray(r), g.z, 0.0);
    if (ShapeTypeHasM(type)) fill(ShapeGetMRange(r), ShapeGetMArray(r), g.m, kNoDataMeasure);
    ShpComputeShapeBounds(r);
    return r;
}

// ------------------------------------------------------------------ rows

std::vector<HostField> TableFields(DbfHandle t) {
    std::vector<HostField> out;
    const int n = DbfGetFieldCount(t);
    for (int i = 0; i < n; ++i) {
        HostField f;
        f.name = text::ToUtf8(DbfGetFieldName(t, i));
        f.type = DbfGetFieldType(t, i);
        f.length = DbfGetFieldLength(t, i);
        f.decimals = DbfGetFieldDecimals(t, i);
        switch (f.type) {
            case 'N':
            case 'F':
                f.fieldType = f.decimals > 0 || f.type == 'F' ? kFieldDouble
                              : f.length > 10               ? kFieldDouble
                              : f.length > 4                ? kFieldInteger
                                                            : kFieldSmallInteger;
                break;
            case 'D':
                f.fieldType = kFieldDate;
                break;
            default:
                f.fieldType = kFieldString;
                break;
        }
        out.push_back(std::move(f));
    }
    return out;
}

namespace {

std::string_view Trimmed(const uint8_t* bytes, int length) {
    std::string_view s(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length));
    while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
    return s;
}

// A number in exactly `width` characters, right-aligned, with at most
// `decimals` decimals: fewer when the value needs the room, so a wide value
// keeps its size and loses only digits after the point. False when even
// the integer part does not fit.
bool FormatNumber(double v, int width, int decimals, std::string* out) {
    if (!std::isfinite(v)) return false;
    char buf[400];
    for (int d = decimals; d >= 0; --d) {
        auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, d);
        if (res.ec != std::errc()) return false;
        const int len = static_cast<int>(res.ptr - buf);
        if (len <= width) {
            *out = std::string(static_cast<size_t>(width - len), ' ') + std::string(buf, res.ptr);
            return true;
        }
    }
    return false;
}

bool FormatInteger(int64_t v, int width, int decimals, std::string* out) {
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, res.ptr);
    if (decimals > 0) s += "." + std::string(static_cast<size_t>(decimals), '0');
    if (static_cast<int>(s.size()) > width) return FormatNumber(static_cast<double>(v), width, 0, out);
    *out = std::string(static_cast<size_t>(width) - s.size(), ' ') + s;
    return true;
}

std::string TextOf(const HostValue& v) {
    if (auto* s = std::get_if<std::string>(&v)) return *s;
    if (auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, *d);
        return std::string(buf, res.ptr);
    }
    if (auto* dt = std::get_if<HostDate>(&v)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%04d%02d%02d", dt->year, dt->month, dt->day);
        return buf;
    }
    if (auto* b = std::get_if<bool>(&v)) return *b ? "T" : "F";
    return {};
}

}  // namespace

void ReadRowValues(DbfHandle t, const uint8_t* row, std::vector<HostValue>& values) {
    const int n = DbfGetFieldCount(t);
    if (values.size() < static_cast<size_t>(n)) values.resize(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        HostValue& v = values[static_cast<size_t>(i)];
        const char type = DbfGetFieldType(t, i);
        const uint8_t* bytes = DbfGetFieldBytes(t, i, nullptr, row);
        const int length = DbfGetFieldLength(t, i);
        const std::string_view s = bytes ? Trimmed(bytes, length) : std::string_view();
        switch (type) {
            case 'N':
            case 'F': {
                if (s.empty() || s.find_first_not_of('*') == std::string_view::npos) {
                    v = std::monostate();
                } else if (DbfGetFieldDecimals(t, i) == 0 && type == 'N' &&
                           s.find_first_of(".eE") == std::string_view::npos) {
                    int64_t x = 0;
                    const char* b = s.data();
                    if (*b == '+') ++b;
                    auto res = std::from_chars(b, s.data() + s.size(), x);
                    v = res.ec == std::errc() ? HostValue(x) : HostValue(DbfGetNumber(t, i, row));
                } else {
                    v = DbfGetNumber(t, i, row);
                }
                break;
            }
            case 'D': {
                DbfDateTime d{};
                if (s.empty() || !DbfGetDate(t, i, &d, row) || d.year == 0)
                    v = std::monostate();
                else
                    v = HostDate{d.year, d.month, d.day};
                break;
            }
            case 'L': {
                const char c = s.empty() ? '?' : s.front();
                if (c == 'T' || c == 't' || c == 'Y' || c == 'y')
                    v = true;
                else if (c == 'F' || c == 'f' || c == 'N' || c == 'n')
                    v = false;
                else
                    v = std::monostate();
                break;
            }
            default:
                v = text::ToUtf8(DbfGetString(t, i, row));
                break;
        }
    }
}

bool WriteRowValues(DbfHandle t, const std::vector<HostValue>& values, uint8_t* row,
                    std::string* why) {
    const int n = DbfGetFieldCount(t);
    for (int i = 0; i < n && static_cast<size_t>(i) < values.size(); ++i) {
        const HostValue& v = values[static_cast<size_t>(i)];
        if (std::holds_alternative<std::monostate>(v)) continue;
        const char type = DbfGetFieldType(t, i);
        const int width = DbfGetFieldLength(t, i);
        const int decimals = DbfGetFieldDecimals(t, i);
        bool ok = true;
        switch (type) {
            case 'N':
            case 'F': {
                std::string s;
                if (auto* x = std::get_if<int64_t>(&v)) {
                    ok = FormatInteger(*x, width, decimals, &s);
                } else if (auto* d = std::get_if<double>(&v)) {
                    ok = FormatNumber(*d, width, decimals, &s);
                } else if (auto* b = std::get_if<bool>(&v)) {
                    ok = FormatInteger(*b ? 1 : 0, width, decimals, &s);
                } else {
                    const std::string text = TextOf(v);
                    double d = 0;
                    auto res = std::from_chars(text.data(), text.data() + text.size(), d);
                    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) continue;
                    ok = FormatNumber(d, width, decimals, &s);
                }
                if (ok) ok = DbfPutFieldBytes(t, i, reinterpret_cast<const uint8_t*>(s.data()), row) != 0;
                break;
            }
            case 'D': {
                if (auto* d = std::get_if<HostDate>(&v)) {
                    DbfDateTime dt{};
                    dt.year = static_cast<uint16_t>(d->year);
                    dt.month = static_cast<uint16_t>(d->month);
                    dt.day = static_cast<uint16_t>(d->day);
                    ok = DbfPutDate(t, i, &dt, row) != 0;
                } else {
                    const std::string s = TextOf(v);
                    if (s.size() == 8 && s.find_first_not_of("0123456789") == std::string::npos)
                        ok = DbfPutFieldBytes(t, i, reinterpret_cast<const uint8_t*>(s.data()), row) != 0;
                }
                break;
            }
            case 'L': {
                int c = '?';
                if (auto* b = std::get_if<bool>(&v))
                    c = *b ? 'T' : 'F';
                else if (auto* x = std::get_if<int64_t>(&v))
                    c = *x ? 'T' : 'F';
                else {
                    const std::string s = TextOf(v);
                    if (!s.empty()) c = s[0];
                }
                DbfPutLogical(t, i, c, row);
                break;
            }
            default:
                DbfPutText(t, i, text::FromUtf8(TextOf(v)).c_str(), row);
                break;
        }
        if (!ok) {
            if (why)
                *why = "the value of field " + text::ToUtf8(DbfGetFieldName(t, i)) +
                       " does not fit its width";
            return false;
        }
    }
    return true;
}

// ------------------------------------------------------------------ cursors

namespace {

class ShapefileSearchCursor : public IHostFeatureCursor {
public:
    ShapefileSearchCursor(std::shared_ptr<ShpFileHandle> file, const IHostSpatialFilter* filter,
                          bool recycling, size_t values)
        : m_file(std::move(file)), m_test(filter), m_recycling(recycling), m_values(values) {
        m_row = DbfAllocRecordBuffer(ShpGetTable(m_file->Get()));
        if (!m_row) throw HostError("out of memory");
    }
    ~ShapefileSearchCursor() override { DbfFreeRecordBuffer(m_row); }

    HostFeature* NextFeature() override {
        HostFaults::Check("IHostFeatureCursor::NextFeature");
        ShpHandle h = m_file->Get();
        DbfHandle t = ShpGetTable(h);
        const int count = ShpGetRecordCount(h);
        while (m_next < count) {
            const int i = m_next++;
            if (ShpIsRecordDeleted(h, i)) continue;
            const ShapeRecord* r = nullptr;
            if (ShpGetContentLength(h, i) > 4) {
                r = ShpReadShape(h, i);
                if (!r) throw HostError("record " + std::to_string(i) + ": " + m_file->Reason());
            }
            if (!m_test.Passes(r)) continue;
            if (!DbfReadRecord(t, i, m_row))
                throw HostError("row " + std::to_string(i) + " cannot be read");
            HostFeature* f;
            if (m_recycling) {
                f = &m_feature;
            } else {
                m_handed.emplace_back();
                f = &m_handed.back();
            }
            f->oid = i;
            f->shape = GeometryOfRecord(r);
            if (f->values.size() != m_values) f->values.assign(m_values, std::monostate());
            ReadRowValues(t, m_row, f->values);
            return f;
        }
        return nullptr;
    }

private:
    std::shared_ptr<ShpFileHandle> m_file;
    ShapeTest m_test;
    bool m_recycling;
    size_t m_values;
    uint8_t* m_row = nullptr;
    int m_next = 0;
    HostFeature m_feature;
    std::deque<HostFeature> m_handed;  // features of a non-recycling cursor live as long as it
};

class ShapefileInsertCursor : public IHostInsertCursor {
public:
    ShapefileInsertCursor(std::shared_ptr<ShpFileHandle> file, bool buffered)
        : m_file(std::move(file)), m_buffered(buffered) {
        m_row = DbfAllocRecordBuffer(ShpGetTable(m_file->Get()));
        if (!m_row) throw HostError("out of memory");
    }
    ~ShapefileInsertCursor() override { DbfFreeRecordBuffer(m_row); }

    int InsertFeature(const HostFeature& feature) override {
        HostFaults::Check("IHostInsertCursor::InsertFeature");
        ShpHandle h = m_file->Get();
        DbfHandle t = ShpGetTable(h);
        ShapeRecord* r = RecordOfGeometry(feature.shape, m_shape);
        if (!r) throw HostError("a feature without a shape cannot be written");
        DbfBlankRecord(t, m_row);
        std::string why;
        if (!WriteRowValues(t, feature.values, m_row, &why)) throw HostError(why);
        const int at = ShpAppendShape(h, r);
        if (at < 0) throw HostError(m_file->Reason());
        if (!DbfWriteRecord(t, at, m_row)) {
            // The shape has a blank row now: take the record back so the
            // class never holds a row that lost its values.
            ShpTruncateLast(h);
            throw HostError("the row could not be written");
        }
        if (!m_buffered) Flush();
        return at;
    }

    void Flush() override {
        HostFaults::Check("IHostInsertCursor::Flush");
        // The rows are the system's from here on; the disk is synced once,
        // when the file is closed (ShpFileHandle::Close) or before its
        // files are renamed into place.
        if (!ShpWriteThrough(m_file->Get())) throw HostError(m_file->Reason());
    }

private:
    std::shared_ptr<ShpFileHandle> m_file;
    bool m_buffered;
    uint8_t* m_row = nullptr;
    std::vector<uint8_t> m_shape;
};

}  // namespace

std::unique_ptr<IHostFeatureCursor> NewShapefileSearchCursor(std::shared_ptr<ShpFileHandle> file,
                                                             const IHostSpatialFilter* filter,
                                                             bool recycling, size_t values) {
    return std::make_unique<ShapefileSearchCursor>(std::move(file), filter, recycling, values);
}

std::unique_ptr<IHostInsertCursor> NewShapefileInsertCursor(std::shared_ptr<ShpFileHandle> file,
                                                            bool buffered) {
    return std::make_unique<ShapefileInsertCursor>(std::move(file), buffered);
}

}  // namespace host
