// Vertex editing of the current feature: which vertex the pen is on and its
// rubber-band neighbours, the vertex-add mode, and the write operations
// (set, delete and insert a vertex, add one at an end, move or resize the
// whole feature). Every write goes through the engine's journalled update,
// so a failed write leaves the files as they were.
#include <algorithm>
#include <cmath>
#include <memory>

#include "formats/shape/shape_geometry.h"
#include "formats/shape/shp_engine.h"
#include "map/dialogs/find_dlg.h"
#include "map/dialogs/identify_dlg.h"
#include "map/layers/shape_layer.h"
#include "map/map_messages.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "resources/zres.h"

namespace {

struct ShapeBufferDeleter {
    void operator()(ShapeRecord* r) const { ShapeFreeBuffer(r); }
};
using ShapeBuffer = std::unique_ptr<ShapeRecord, ShapeBufferDeleter>;

// A copy of a record with room for one more vertex.
ShapeBuffer ReadShapeCopy(ShpHandle h, int record) {
    const ShapeRecord* shape = ShpReadShape(h, record);
    if (!shape) return nullptr;
    const size_t size = ShapeGetRecordSize(shape);
    if (size == 0) return nullptr;
    // Room for one more point with its Z and M.
    ShapeBuffer copy(ShapeHeapRealloc(nullptr, size + 32));
    if (!copy) return nullptr;
    std::memcpy(copy.get(), shape, size);
    return copy;
}

bool IsFiniteVertex(const SketchVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && !std::isinf(v.m);
}

}  // namespace

// ---- hit test and neighbours ----

void CMapView::VertexNeighbours(int geometryClass, int n, int i, int* previous, int* next) {
    int prev = -1, nxt = -1;
    if (n > 0 && i >= 0 && i < n) {
        if (i > 0)
            prev = i - 1;
        else if (n >= 2)  // a single point has nobody before it
            prev = geometryClass == 2 ? n - 2 : 1;
        if (geometryClass == 1) {
            nxt = (i + 1 >= n || n < 3 || i == 0) ? -1 : i + 1;
        } else {
            nxt = i + 1 >= n ? 0 : i + 1;
        }
    }
    if (previous) *previous = prev;
    if (next) *next = nxt;
}

int CMapView::HitTestVertex(POINT p, int* previous, int* next) {
    if (previous) *previous = -1;
    if (next) *next = -1;
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer) return -1;
    ShpHandle h = layer->GetHandle();
    const ShapeRecord* shape = ShpReadShape(h, record);
    if (!shape) return -1;
    const int n = ShpGetPointCount(shape);
    const uint8_t* points = ShapeGetPoints(shape);
    if (n <= 0 || !points) return -1;
    const int half = m_vertexMarkers.Size();
    for (int i = 0; i < n; ++i) {
        POINT v = MapPointToScreen(ShapeLoadPoint(points, i));
        if (p.x >= v.x - half && p.x <= v.x + half && p.y >= v.y - half && p.y <= v.y + half) {
            VertexNeighbours(GetShapeTypeGeometryClass(ShpGetRecordShapeType(h, shape)), n, i,
                             previous, next);
            return i;
        }
    }
    return -1;
}

void CMapView::SetVertexAddMode(VertexAddMode mode) {
    m_vertexMarkers.SetAddMode(m_vertexMarkers.AddMode() == mode ? VertexAddMode::Off : mode);
}

// ---- writes ----

bool CMapView::WriteCurrentShape(ShapeRecord* shape, bool flush, bool resetVertexAdd) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer || !shape) return false;
    ShpHandle h = layer->GetHandle();
    // All or nothing: a grown record moves to the end under a new index.
    const int written = ShpUpdateShape(h, record, shape);
    if (written < 0) {
        ReportWriteFailure(h);
        return false;
    }
    // The feature is found under its record from now on, even when the
    // flush below fails.
    if (written != record) {
        // The identify window and the Find mark knew the old index.
        ::ClearIdentifyPoint();
        ClearFoundFeature();
    }
    if (written != record || resetVertexAdd) SelectFeature(layer, written, resetVertexAdd);
    if (flush && !ShpFlush(h)) {
        ReportWriteFailure(h);
        Repaint(false);
        return false;
    }
    FireFeatureChanged();
    return true;
}

bool CMapView::SetVertex(int index, const SketchVertex& vertex) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    ShapeBuffer shape = layer ? ReadShapeCopy(layer->GetHandle(), record) : nullptr;
    bool ok = shape && IsFiniteVertex(vertex) &&
              ShpSetPartPoint(layer->GetHandle(), index, vertex.x, vertex.y, vertex.z, vertex.m,
                              shape.get()) >= 0 &&
              WriteCurrentShape(shape.get(), true, false);
    if (!ok) MessageBeep(0x30);
    return ok;
}

bool CMapView::DeleteVertex(int index) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    ShapeBuffer shape = layer ? ReadShapeCopy(layer->GetHandle(), record) : nullptr;
    bool ok = shape && ShpDeleteVertex(layer->GetHandle(), index, shape.get()) >= 0 &&
              WriteCurrentShape(shape.get(), true, false);
    if (!ok) MessageBeep(0x30);
    return ok;
}

bool CMapView::InsertVertexAt(const SketchVertex& at, const SketchVertex* gps) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer) return false;
    ShpHandle h = layer->GetHandle();
    ShapeBuffer shape = ReadShapeCopy(h, record);
    if (!shape || !IsLineOrPolygonShapeType(ShpGetRecordShapeType(h, shape.get()))) return false;
    const uint8_t* points = ShapeGetPoints(shape.get());
    const DoublePoint m{at.x, at.y};
    int best = -1;
    double bestDistance = 0;
    for (int part = 0; part < ShapeGetPartCount(shape.get()); ++part) {
        int last = 0;
        int first = ShapeGetPartRange(shape.get(), part, &last);
        if (first < 0 || last <= first) continue;
        DoublePoint foot;
        double distance = 0;
        int segment = FindNearestSegment(m, last - first + 1, points + 16 * first, &foot, &distance);
        if (segment >= 0 && (best < 0 || distance < bestDistance)) {
            best = first + segment;
            bestDistance = distance;
        }
    }
    if (best < 0) return false;
    const SketchVertex v = gps ? *gps : SketchVertex{at.x, at.y, 0, kNoDataMeasure};
    if (!IsFiniteVertex(v)) return false;
    if (ShpInsertVertex(h, best + 1, v.x, v.y, v.z, v.m, shape.get()) < 0) return false;
    return WriteCurrentShape(shape.get(), true, true);
}

bool CMapView::AddVertexAtEnd(VertexAddMode end, const SketchVertex& vertex) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer || end == VertexAddMode::Off || !IsFiniteVertex(vertex)) return false;
    ShpHandle h = layer->GetHandle();
    ShapeBuffer shape = ReadShapeCopy(h, record);
    if (!shape || !IsPolylineShapeType(ShpGetRecordShapeType(h, shape.get()))) return false;
    const int position = end == VertexAddMode::Head ? 0 : ShpGetPointCount(shape.get());
    if (ShpInsertVertex(h, position, vertex.x, vertex.y, vertex.z, vertex.m, shape.get()) < 0)
        return false;
    return WriteCurrentShape(shape.get(), true, false);
}

bool CMapView::MoveOrResizeFeature(const CDoubleRect& rect, bool resize) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer || !IsFiniteRect(rect)) return false;
    ShpHandle h = layer->GetHandle();
    ShapeBuffer shape = ReadShapeCopy(h, record);
    if (!shape) return false;
    const int n = ShpGetPointCount(shape.get());
    uint8_t* points = ShapeGetPoints(shape.get());
    if (n <= 0 || !points) return false;
    if (n == 1) {
        double cx, cy;
        rect.GetCenter(cx, cy);
        ShapeStorePoint(points, 0, DoublePoint{cx, cy});
    } else {
        CDoubleRect b;
        if (!ShpGetShapeBounds(shape.get(), &b)) return false;
        double sx = 1, sy = 1;
        if (resize) {
            // An axis without size keeps its size: no division by zero.
            const double w = b.xmax - b.xmin, hgt = b.ymax - b.ymin;
            if (w != 0) sx = (rect.xmax - rect.xmin) / w;
            if (hgt != 0) sy = (rect.ymax - rect.ymin) / hgt;
        }
        for (int i = 0; i < n; ++i) {
            DoublePoint p = ShapeLoadPoint(points, i);
            p.x = (p.x - b.xmin) * sx + rect.xmin;
            p.y = (p.y - b.ymin) * sy + rect.ymin;
            if (!std::isfinite(p.x) || !std::isfinite(p.y)) return false;
            ShapeStorePoint(points, i, p);
        }
    }
    ShpComputeShapeBounds(shape.get());
    return WriteCurrentShape(shape.get(), true, false);
}

// ---- GPS positions ----

namespace {
VertexDialogRunners& Runners() {
    static VertexDialogRunners runners;
    return runners;
}
}  // namespace

void SetVertexDialogRunners(VertexDialogRunners runners) {
    Runners() = std::move(runners);
}

const VertexDialogRunners& GetVertexDialogRunners() {
    return Runners();
}

bool CMapView::GpsCapturePositionAveraged(SketchVertex& vertex, bool check) {
    const PreferencesData& prefs = GetPreferences()->Data();
    if (!IsGpsActive() || !prefs.gps.averagingEnabled || prefs.gps.averagingVertex <= 0)
        return GpsCapturePosition(vertex, check);
    if (!GpsCapturePosition(vertex, check)) return false;
    const auto& run = Runners().vertex;
    return run && run(this, kShapePointZ, vertex, true);
}
