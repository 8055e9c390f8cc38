#include "map/layers/tracklog_layer.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

#include "core/no_data.h"
#include "core/user_abort.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/datum_table.h"
#include "crs/wkt.h"
#include "formats/dbf/dbf_field.h"
#include "formats/shape/shape_builders.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "platform/fs/fs.h"
#include "resources/zres.h"

const CTracklogLayer::FieldSpec CTracklogLayer::kFields[kFieldCount] = {
    {u"LATITUDE", 'N', 18, 10}, {u"LONGITUDE", 'N', 18, 10}, {u"ALTITUDE", 'N', 15, 3},
    {u"EASTING", 'N', 15, 3},   {u"NORTHING", 'N', 15, 3},   {u"UTCDATE", 'D', 8, 0},
    {u"UTCTIME", 'C', 6, 0},    {u"SOG", 'N', 6, 1},         {u"COG", 'N', 5, 1},
    {u"MAG_VAR", 'N', 5, 1},    {u"SATS_USED", 'N', 2, 0},   {u"HPE", 'N', 6, 1},
    {u"VPE", 'N', 6, 1},        {u"EPE", 'N', 6, 1},         {u"HDOP", 'N', 6, 1},
    {u"VDOP", 'N', 6, 1},       {u"PDOP", 'N', 6, 1},        {u"QUALITY", 'N', 2, 0},
    {u"DIFF_AGE", 'N', 5, 1},   {u"DIFF_ID", 'N', 4, 0},     {u"DEPTH", 'N', 7, 1},
    {u"DEPTH_OFF", 'N', 5, 1},  {u"WATERTEMP", 'N', 5, 1},
};

namespace {

constexpr int kPointZ = 11;
constexpr COLORREF kTrackColour = 0x0000FF;  // red
constexpr COLORREF kPointColour = 0x00FFFF;  // yellow

WString TracklogPath() { return GetPreferences()->Data().tracklog.name; }

// The path with its extension replaced (".shp" -> ".dbf" ...).
WString WithExtension(const WString& path, const WChar* extension) {
    const size_t slash = path.find_last_of(u"\\/");
    const size_t dot = path.find_last_of(u'.');
    WString base = (dot != WString::npos && (slash == WString::npos || dot > slash))
                       ? path.substr(0, dot)
                       : path;
    return base + extension;
}

bool HasData(double v) { return std::isfinite(v) && !IsNoData(v); }

// Opens the layer's file for the length of a query when it was closed.
class CTemporaryOpen {
public:
    explicit CTemporaryOpen(CTracklogLayer& layer) : m_layer(layer) {
        m_opened = !layer.IsFileOpen() && CTracklogLayer::TracklogFileExists() && layer.OpenFile(0);
    }
    ~CTemporaryOpen() {
        if (m_opened) m_layer.CloseFile();
    }

private:
    CTracklogLayer& m_layer;
    bool m_opened = false;
};

}  // namespace

CTracklogLayer::CTracklogLayer() {
    SetDisplayClass(DisplayClass::Tracklog);
    SetName(LoadMapString(IDS_GPS_TRACKLOG));
    SetVisible(false);
    CDoubleRect empty;
    empty.SetEmpty();
    SetExtent(empty);
    for (int& i : m_fieldIndex) i = -1;
    ForgetLastFix();
    m_pen.reset(CreatePen(PS_SOLID, 3, kTrackColour));
}

CTracklogLayer::~CTracklogLayer() { CloseFile(); }

void CTracklogLayer::ForgetLastFix() {
    for (double& v : m_lastFix) v = std::numeric_limits<double>::lowest();
}

void CTracklogLayer::FindFields() {
    DbfHandle table = ShpGetTable(m_shp);
    for (int i = 0; i < kFieldCount; ++i) m_fieldIndex[i] = table ? DbfFindField(table, kFields[i].name) : -1;
}

bool CTracklogLayer::TracklogFileExists() {
    const WString path = TracklogPath();
    return !path.empty() && fs::Exists(path);
}

bool CTracklogLayer::OpenExisting(bool forWriting) {
    m_shp = ShpOpen(m_filePath.c_str(), forWriting ? kShpReadWrite : 0);
    if (!m_shp && !forWriting) return false;
    if (!m_shp) m_shp = ShpOpen(m_filePath.c_str(), 0);  // read-only media: still readable
    return m_shp != nullptr;
}

bool CTracklogLayer::OpenFile(int forWriting) {
    if (m_shp) return true;
    m_filePath = TracklogPath();
    if (m_filePath.empty()) return false;
    // A tracklog that exists but does not open is never replaced: it holds
    // the recorded track.
    if (fs::Exists(m_filePath)) {
        if (!OpenExisting(forWriting != 0)) return false;
    } else if (!CreateFile()) {
        return false;
    }
    FindFields();
    ForgetLastFix();
    return true;
}

bool CTracklogLayer::CreateFile() {
    CloseFile();
    m_filePath = TracklogPath();
    if (m_filePath.empty()) return false;
    ShpHandle h = ShpCreate(m_filePath.c_str(), kPointZ, kShpReadWrite);
    if (!h) return false;
    DbfHandle table = ShpGetTable(h);
    bool ok = table != nullptr;
    for (int i = 0; ok && i < kFieldCount; ++i)
        ok = DbfAddField(table, kFields[i].name, kFields[i].type, kFields[i].width, kFields[i].decimals) >= 0;
    ok = ok && ShpFlush(h);
    if (ok) {
        CWktCoordSys wkt;
        auto cs = wkt.ParseWkt(kDefaultCoordSysWkt) ? wkt.CreateProjection() : nullptr;
        ok = cs && WritePrjFile(WithExtension(m_filePath, u".prj"), *cs);
    }
    if (!ok) {
        ShpClose(h);
        return false;
    }
    m_shp = h;
    FindFields();
    ForgetLastFix();
    return true;
}

void CTracklogLayer::CloseFile() {
    if (m_shp) ShpClose(m_shp);
    m_shp = nullptr;
}

bool CTracklogLayer::DeleteFiles() {
    CloseFile();
    const WString path = TracklogPath();
    if (path.empty()) return false;
    for (const WChar* ext : {u".dbf", u".shx", u".shp", u".prj"}) {
        const WString file = WithExtension(path, ext);
        if (fs::Exists(file)) fs::DeleteFile(file);
    }
    const bool ok = CreateFile();
    CloseFile();
    return ok;
}

int CTracklogLayer::GetRecordCount() {
    CTemporaryOpen open(*this);
    return m_shp ? ShpGetRecordCount(m_shp) : 0;
}

bool CTracklogLayer::ReadPoint(int record, double* x, double* y) {
    *x = *y = 0;
    if (!m_shp || record < 0 || record >= ShpGetRecordCount(m_shp)) return false;
    ShapeRecord* r = ShpReadShape(m_shp, record);
    if (!r || ShpGetPointCount(r) < 1) return false;
    const DoublePoint p = ShapeLoadPoint(ShapeGetPoints(r), 0);
    *x = p.x;
    *y = p.y;
    return true;
}

double CTracklogLayer::TimeOf(const GpsPosition& position) {
    const uint16_t* t = position.utcTime;
    if (t[0] < 1900) return 0;
    struct tm tm {};
    tm.tm_year = t[0] - 1900;
    tm.tm_mon = t[1] - 1;
    tm.tm_mday = t[3];
    tm.tm_hour = t[4];
    tm.tm_min = t[5];
    tm.tm_sec = t[6];
    return static_cast<double>(timegm(&tm));
}

double CTracklogLayer::MeasureOf(int measure, const GpsPosition& p) {
    double v;
    switch (measure) {
        case 0: v = p.pdop; break;
        case 1: v = p.hdop; break;
        case 2: v = p.vdop; break;
        case 3: v = p.tdop; break;
        case 4: v = p.epe; break;
        case 5: v = p.hpe; break;
        case 6: v = p.vpe; break;
        case 8: v = p.depth; break;
        case 9: v = p.sog; break;
        case 10: return p.fixQuality;
        default: return TimeOf(p);
    }
    return HasData(v) ? v : kNoDataMeasure;
}

bool CTracklogLayer::AppendPosition(CCoordSys*, const GpsFix& wgs84, const GpsFix& datum,
                                    const GpsFix& projected, const GpsPosition& position) {
    if (!std::isfinite(wgs84.x) || !std::isfinite(wgs84.y)) return false;
    if (!OpenFile(1)) return false;
    const double fix[4] = {wgs84.x, wgs84.y, wgs84.z, wgs84.m};
    if (m_skipDuplicates && std::memcmp(fix, m_lastFix, sizeof fix) == 0) return false;

    const double m = MeasureOf(GetPreferences()->Data().tracklog.measure, position);
    const double z = HasData(wgs84.z) ? wgs84.z : 0;
    const int record = ShpAppendPointZM(m_shp, wgs84.x, wgs84.y, z, m);
    if (record < 0) return false;

    DbfHandle table = ShpGetTable(m_shp);
    DbfBlankRecord(table);
    auto put = [&](Field f, double v) {
        if (m_fieldIndex[f] >= 0 && HasData(v)) DbfPutNumber(table, m_fieldIndex[f], v);
    };
    put(kLongitude, datum.x);
    put(kLatitude, datum.y);
    put(kAltitude, datum.z);
    put(kEasting, projected.x);
    put(kNorthing, projected.y);
    const uint16_t* t = position.utcTime;
    if (t[0] != 0 && m_fieldIndex[kUtcDate] >= 0) {
        DbfDateTime date{t[0], t[1], t[2], t[3], t[4], t[5], t[6], t[7]};
        DbfPutDate(table, m_fieldIndex[kUtcDate], &date);
    }
    if (m_fieldIndex[kUtcTime] >= 0) {
        const WString text = text::Format(u"%02d%02d%02d", t[4], t[5], t[6]);
        DbfPutText(table, m_fieldIndex[kUtcTime], text.c_str());
    }
    put(kSog, position.sog);
    put(kCog, position.cog);
    put(kMagVar, position.magneticVariation);
    if (position.satellitesUsed != 0xFFFE) put(kSatsUsed, position.satellitesUsed);
    put(kHpe, position.hpe);
    put(kVpe, position.vpe);
    put(kEpe, position.epe);
    put(kHdop, position.hdop);
    put(kVdop, position.vdop);
    put(kPdop, position.pdop);
    put(kQuality, position.fixQuality);
    if (position.fixQuality == 2) {
        put(kDiffAge, position.dgpsAge);
        put(kDiffId, position.dgpsStation);
    }
    put(kDepth, position.depth);
    put(kDepthOff, position.depthOffset);
    put(kWaterTemp, position.waterTemperature);

    const bool ok = DbfWriteRecord(table, record) && ShpFlush(m_shp);
    // A point that did not reach the file may be appended again.
    if (ok) std::memcpy(m_lastFix, fix, sizeof fix);
    return ok;
}

void CTracklogLayer::GetExtent(CDoubleRect& extent) {
    extent = CDoubleRect(-180, -90, 180, 90);
    CTemporaryOpen open(*this);
    CDoubleRect bounds;
    if (m_shp && ShpGetRecordCount(m_shp) > 0 && ShpGetBounds(m_shp, &bounds)) extent = bounds;
}

bool CTracklogLayer::Draw(HDC dc, bool newestOnly, bool pollAbort) {
    CTemporaryOpen open(*this);
    if (!m_shp || !dc) return false;
    const int count = ShpGetRecordCount(m_shp);
    if (count < 1) return false;

    CCoordSys* cs = GetMapCoordSys();
    const bool projected = cs && cs->m_projectionCode != crs_code::kGeographic && cs->m_projectionCode != 0;
    // The draw extent as a longitude/latitude box on WGS 1984.
    const CDoubleRect& e = GetDrawExtent();
    double west = e.xmin, north = e.ymax, east = e.xmax, south = e.ymin;
    if (cs) {
        if (projected) {
            cs->ProjectedToGeographic(e.xmin, e.ymax, &west, &north);
            cs->ProjectedToGeographic(e.xmax, e.ymin, &east, &south);
        }
        TransformDatum(cs->m_datum, west, north, 0, &west, &north, nullptr, false);
        TransformDatum(cs->m_datum, east, south, 0, &east, &south, nullptr, false);
    }
    // A corner outside the projection: no box to skip by.
    if (!std::isfinite(west) || !std::isfinite(north) || !std::isfinite(east) || !std::isfinite(south)) {
        west = -180;
        east = 180;
        south = -90;
        north = 90;
    }

    auto toDevice = [&](const DoublePoint& g, POINT* out) {
        double x = g.x, y = g.y;
        if (cs) {
            TransformDatum(cs->m_datum, x, y, 0, &x, &y, nullptr, true);
            if (projected) cs->GeographicToProjected(x, y, &x, &y);
        }
        if (!std::isfinite(x) || !std::isfinite(y)) return false;
        *out = MapToDevice(x, y);
        return true;
    };

    const int saved = SaveDC(dc);
    SelectObject(dc, m_pen.get());
    double px, py;
    ReadPoint(count - 1, &px, &py);
    DoublePoint p{px, py};
    POINT pDevice{};
    bool pConverted = false, pValid = false;
    for (int i = count - 2; i >= 0; --i) {
        double qx, qy;
        ReadPoint(i, &qx, &qy);
        const DoublePoint q{qx, qy};
        const bool skip = !newestOnly && !(west <= std::max(p.x, q.x) && east >= std::min(p.x, q.x) &&
                                           south <= std::max(p.y, q.y) && north >= std::min(p.y, q.y));
        POINT qDevice{};
        bool qValid = false;
        if (!skip) {
            if (!pConverted) {
                pValid = toDevice(p, &pDevice);
                pConverted = true;
            }
            qValid = toDevice(q, &qDevice);
            if (pValid && qValid) {
                MoveToEx(dc, pDevice.x, pDevice.y, nullptr);
                LineTo(dc, qDevice.x, qDevice.y);
            }
            if (pValid) SetPixel(dc, pDevice.x, pDevice.y, kPointColour);
            if (newestOnly) break;
        }
        // Q becomes P; a skipped Q is converted when a later pair needs it.
        p = q;
        pDevice = qDevice;
        pValid = qValid;
        pConverted = !skip;
        if (pollAbort && IsAbortRequested()) break;
    }
    RestoreDC(dc, saved);
    return true;
}
