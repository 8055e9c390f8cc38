#include "formats/shape/shape_file.h"

#include <memory>

#include "core/path.h"
#include "formats/shape/shape_geometry.h"
#include "platform/fs/fs.h"

CShapeFile::~CShapeFile() {
    Close(false);
}

void CShapeFile::Attach(ShpHandle shapefile, bool owns) {
    // A handle we own would leak if it were simply forgotten.
    if (m_shapefile && m_owns && m_shapefile != shapefile) ShpClose(m_shapefile);
    m_table.Attach(shapefile ? ShpGetTable(shapefile) : nullptr, false);
    m_shapefile = shapefile;
    m_owns = shapefile != nullptr && owns;
}

bool CShapeFile::Create(const WChar* path, int shapeType, int flags) {
    Close(false);
    ShpHandle h = ShpCreate(path, shapeType, flags);
    if (!h) return false;
    Attach(h, true);
    return true;
}

bool CShapeFile::Open(const WChar* path, int flags) {
    Close(false);
    ShpHandle h = ShpOpen(path, flags);
    if (!h) return false;
    Attach(h, true);
    return true;
}

void CShapeFile::Close(bool force) {
    m_table.Attach(nullptr, false);
    if (m_shapefile && (m_owns || force)) ShpClose(m_shapefile);
    m_shapefile = nullptr;
    m_owns = false;
    ShapeFreeBuffer(m_buffer);
    m_buffer = nullptr;
}

int CShapeFile::DeleteFiles() {
    if (m_shapefile && !m_owns) return 0;
    const WString path = m_shapefile ? WString(ShpGetPath(m_shapefile)) : WString();
    Close(false);
    if (path.empty()) return 0;
    for (const char16_t* ext : {u"shp", u"shx", u"dbf", u"sbn", u"sbx", u"ain", u"aih", u"prj"}) {
        CPath p(path);
        p.SetExtension(ext);
        fs::DeleteFile(p.GetPath());
    }
    return 1;
}

ShapeRecord* CShapeFile::ReserveBuffer(size_t size) {
    ShapeRecord* b = ShapeHeapRealloc(m_buffer, size < 48 ? 48 : size);
    if (b) m_buffer = b;
    return b;
}

int CShapeFile::IsNullShape(int record) const {
    return ShpIsRecordDeleted(m_shapefile, record);
}

int CShapeFile::ShapeIntersects(const CDoubleRect& e) const {
    CDoubleRect box;
    if (!m_buffer || !ShpGetShapeBounds(m_buffer, &box)) return 0;
    return box.xmin <= e.xmax && box.xmax >= e.xmin && box.ymin <= e.ymax && box.ymax >= e.ymin
               ? 1
               : 0;
}

namespace {

// The hit test of the file's geometry class: nearest point, nearest line or
// containing polygon (at distance 0). The distance is given only for a hit.
template <class Point, class Line, class Polygon>
int HitByClass(ShpHandle h, double* distance, Point point, Line line, Polygon polygon) {
    double d = 0;
    int found = -1;
    switch (GetShapeGeometryClass(h)) {
        case 0:
            found = point(&d);
            break;
        case 1:
            found = line(&d);
            break;
        case 2:
            found = polygon();
            d = 0;
            break;
        default:
            return -1;
    }
    if (found >= 0 && distance) *distance = d;
    return found;
}

}  // namespace

int CShapeFile::HitTest(const DoublePoint& p, double* distance, double tolerance,
                        const CDoubleRect* extent) {
    if (!m_shapefile) return -1;
    ShpHandle h = m_shapefile;
    return HitByClass(
        h, distance, [&](double* d) { return FindNearestPoint(h, p, tolerance, d, extent, false); },
        [&](double* d) { return FindNearestLine(h, p, tolerance, d, extent, false); },
        [&] { return FindContainingPolygon(h, p, tolerance, extent, false); });
}

int CShapeFile::HitTestRecords(const DoublePoint& p, double* distance, double tolerance, int limit,
                               int members, const uint32_t* words) {
    if (!m_shapefile) return -1;
    ShpHandle h = m_shapefile;
    return HitByClass(
        h, distance,
        [&](double* d) { return FindNearestPointInSet(h, p, tolerance, d, limit, members, words); },
        [&](double* d) { return FindNearestLineInSet(h, p, tolerance, d, limit, members, words); },
        [&] { return FindContainingPolygonInSet(h, p, tolerance, limit, members, words); });
}

CShapeFile* CShapeFile::CreateLike(const WChar* path) const {
    if (!m_shapefile) return nullptr;
    ShpHandle h = ShpCreateLike(path, m_shapefile);
    if (!h) return nullptr;
    return new CShapeFile(h, true);
}
