// The pen on the capture and editing tools: select, point, line, polyline,
// freehand, rectangle, polygon, circle and ellipse; the vertex edit tool
// with its menus; the sketch menu of tap and hold; and the sketch's start
// and finish.
//
// A motionless click (the pen goes up on the pixel it went down on) is a
// vertex for the polyline and polygon tools and the vertex-add mode; the
// line tool and vertex drags make nothing of it.
#include <algorithm>
#include <cmath>
#include <vector>

#include "core/tap_and_hold.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/shape_layer.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/view/map_view.h"
#include "platform/win/menu.h"
#include "platform/win/theme.h"
#include "resources/zres_bars.h"

namespace {

enum VertexMenuCommand : UINT {
    ID_VERTEX_DELETE = 1040,
    ID_SKETCH_DELETE_LAST = 1041,
    ID_VERTEX_MOVE_TO = 1042,
    ID_VERTEX_MOVE_TO_GPS = 1043,
    ID_SKETCH_ABSOLUTE = 1044,
    ID_SKETCH_GPS = 1045,
    ID_SKETCH_ANGLE_LENGTH = 1046,
    ID_SKETCH_FINISH = 1047,
    ID_FEATURE_INSERT_VERTEX = 1048,
    ID_FEATURE_ADD_TO_TAIL = 1049,
    ID_FEATURE_ADD_TO_HEAD = 1050,
    ID_FEATURE_INSERT_AT_GPS = 1051,
    ID_FEATURE_VERTEX_MOVING = 1052,
    ID_FEATURE_SIZING = 1060,
    ID_FEATURE_MOVING = 1061,
};

constexpr int kEllipsePointsPerQuarter = 25;

void SetItem(HMENU menu, UINT id, bool enabled, bool checked = false) {
    EnableMenuItem(menu, id, MF_BYCOMMAND | (enabled ? 0 : MF_GRAYED));
    CheckMenuItem(menu, id, MF_BYCOMMAND | (checked ? MF_CHECKED : 0));
}

SketchVertex VertexAt(double x, double y) {
    return SketchVertex{x, y, 0, kNoDataMeasure};
}

}  // namespace

// ---- menus ----

UINT CMapView::TrackViewMenu(UINT menuId, POINT p, const std::function<void(HMENU)>& states) {
    HMENU menu = GetShellServices()->LoadImageMenu(menuId);
    if (!menu) return 0;
    states(menu);
    POINT screen = p;
    ClientToScreen(GetSafeHwnd(), &screen);
    UINT chosen = static_cast<UINT>(TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RETURNCMD, screen.x,
                                                   screen.y, 0, GetSafeHwnd(), nullptr));
    DestroyMenu(menu);
    return chosen;
}

int CMapView::CurrentShapeType() const {
    CLayer* layer = m_doc ? m_doc->GetLayers().GetCurrentFeatureLayer() : nullptr;
    ShpHandle h = layer ? layer->GetShapeFile() : nullptr;
    return h ? ShpGetShapeType(h) : kShapeNull;
}

// ---- the sketch ----

void CMapView::BeginOrFinishSketch(SketchKind kind) {
    if (!m_sketch.IsActive() && kind != SketchKind::None) {
        ReserveSketch(0);
        SelectFeature(EditShapeLayer(kind == SketchKind::Line ? DisplayClass::Line
                                                               : DisplayClass::Polygon),
                      -1, true);
        m_sketch.SetKind(kind);
        return;
    }
    const bool polygon = m_sketch.Kind() == SketchKind::Polygon;
    const int n = m_sketch.Count();
    CShapeLayer* layer = EditShapeLayer(polygon ? DisplayClass::Polygon : DisplayClass::Line);
    if (layer && m_sketch.IsActive() && n > (polygon ? 2 : 1)) {
        std::vector<DoublePoint> points(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            points[static_cast<size_t>(i)] =
                DoublePoint{m_sketch.Vertices()[i].x, m_sketch.Vertices()[i].y};
        const int index = layer->AddShapeFromPoints(n, points.data(), polygon);
        if (index < 0) {
            // Nothing was written: the sketch stays for another try.
            ReportWriteFailure(layer->GetHandle());
            return;
        }
        m_sketch.SetKind(SketchKind::None);
        FinishAppend(layer, index, nullptr);
    }
    m_sketch.SetKind(SketchKind::None);
    UpdateEditToolbars();
    Repaint(false);
}

bool CMapView::SketchVertexMenu(POINT p) {
    HWND h = GetSafeHwnd();
    if (!RecognizeHold(h, p)) return false;
    const int count = m_sketch.Count();
    const bool projected = !IsGeographicMap();
    UINT chosen = TrackViewMenu(IDR_MENU_VERTEX_ADD, p, [&](HMENU menu) {
        SetItem(menu, ID_SKETCH_ABSOLUTE, true);
        SetItem(menu, ID_SKETCH_GPS, IsGpsActive());
        SetItem(menu, ID_SKETCH_ANGLE_LENGTH, count > 0 && projected);
        SetItem(menu, ID_SKETCH_DELETE_LAST, count > 0);
        SetItem(menu, ID_SKETCH_FINISH, true);
    });
    double mx, my;
    ScreenToMap(p.x, p.y, mx, my);
    SketchVertex v = VertexAt(mx, my);
    const VertexDialogRunners& dialogs = GetVertexDialogRunners();
    switch (chosen) {
        case ID_SKETCH_ABSOLUTE:
            if (dialogs.vertex && dialogs.vertex(this, CurrentShapeType(), v, false))
                AddSketchVertex(v);
            break;
        case ID_SKETCH_GPS:
            if (GpsCapturePosition(v, true)) AddSketchVertex(v);
            break;
        case ID_SKETCH_ANGLE_LENGTH:
            if (m_sketch.Count() == 0) {
                MessageBeep(0xFFFFFFFF);
                break;
            }
            if (dialogs.relative &&
                dialogs.relative(this, CurrentShapeType(), v,
                                 m_sketch.Vertices()[m_sketch.Count() - 1]))
                AddSketchVertex(v);
            break;
        case ID_SKETCH_DELETE_LAST:
            if (m_sketch.Count() == 0) {
                MessageBeep(0xFFFFFFFF);
                break;
            }
            m_sketch.DropLast();
            Repaint(false);
            break;
        case ID_SKETCH_FINISH:
            SetCurrentTool(m_tools.Current());
            BeginOrFinishSketch(m_sketch.Kind());
            break;
        default:
            break;
    }
    return true;
}

bool CMapView::AddFreehandFeature(bool polygon, const bool* form) {
    const int n = m_tracker.GetPointList(nullptr, nullptr);
    if (n <= 1) return false;
    std::vector<DoublePoint> points(static_cast<size_t>(n));
    CDoubleRect bounds;
    m_tracker.GetPointList(points.data(), &bounds);
    return AddPointListFeature(n, points.data(), polygon, form);
}

// ---- pen down, up and double tap of the edit tools ----

bool CMapView::OnEditToolDown(MapToolId tool, POINT p) {
    HWND h = GetSafeHwnd();
    switch (tool) {
        case kToolSelect:
        case kToolPoint:
            return true;  // acts on pen-up
        case kToolVertexEdit:
            OnVertexEditDown(p);
            return false;
        case kToolLine:
            if (m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandLine)) {
                DoublePoint a, b;
                m_tracker.GetLineEnds(a.x, a.y, b.x, b.y);
                AddLineFeature(a, b);
            }
            return false;
        case kToolPolyline:
        case kToolPolygon: {
            if (SketchVertexMenu(p)) return false;
            const int n = m_sketch.Count();
            if (n == 0) return true;  // the first vertex comes on pen-up
            const POINT last = m_sketch.ScreenPoints()[n - 1];
            const POINT first = m_sketch.ScreenPoints()[0];
            const bool closing = tool == kToolPolygon && n >= 2;
            const bool tracked = m_tracker.TrackLine(h, p.x, p.y, true, last,
                                                     closing ? &first : nullptr);
            if (!tracked && !m_tracker.EndedAsTap()) return false;
            if (tool == kToolPolygon && n > 2 && p.x == first.x && p.y == first.y) {
                PostMessage(h, WM_COMMAND, 1827, 0);
                return false;
            }
            const POINT end = tracked ? m_tracker.GetEndPixel() : p;
            double mx, my;
            ScreenToMap(end.x, end.y, mx, my);
            AddSketchPoint(mx, my);
            return false;
        }
        case kToolFreehandLine:
        case kToolFreehandPolygon: {
            const bool polygon = tool == kToolFreehandPolygon;
            if (m_tracker.TrackFreehand(h, p.x, p.y, polygon)) AddFreehandFeature(polygon);
            return false;
        }
        case kToolRectangle:
            if (m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandRectangle))
                AddPolygonFeature(m_tracker.GetTrackRect());
            return false;
        case kToolCircle:
            if (m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandCircle))
                AddEllipseFeature(m_tracker.GetCircleRect(), kEllipsePointsPerQuarter);
            return false;
        case kToolEllipse:
            if (m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandEllipse))
                AddEllipseFeature(m_tracker.GetEllipseRect(), kEllipsePointsPerQuarter);
            return false;
        default:
            return false;
    }
}

void CMapView::OnEditToolUp(MapToolId tool, POINT p, bool tapped) {
    if (!tapped) return;
    double mx, my;
    ScreenToMap(p.x, p.y, mx, my);
    switch (tool) {
        case kToolSelect:
            SelectAtScreenPoint(p);
            break;
        case kToolPoint:
            AddPointFeature(mx, my, 0, kNoDataMeasure);
            break;
        case kToolPolyline:
        case kToolPolygon:
            AddSketchPoint(mx, my);
            break;
        default:
            break;
    }
}

void CMapView::OnEditToolDoubleTap(POINT p) {
    if (m_tools.Current() != kToolSelect || !AnyEditLayer()) return;
    if (SelectAtScreenPoint(p)) OnFeatureCommand(1016, nullptr);
}

// ---- the vertex edit tool ----

void CMapView::OnVertexEditDown(POINT p) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer || !IsMapEditLayer(layer)) return;
    if (VertexEditMenu(p)) return;
    const int hit = UpdateSelectionBox() ? m_tracker.HitTest(p) : CMapTracker::kHitNothing;
    if (hit == CMapTracker::kHitNothing) {
        MessageBeep(0x30);
        return;
    }
    const bool middle = hit == CMapTracker::kHitMiddle;
    if (!(middle ? layer->IsFeatureMoving() : layer->IsFeatureSizing())) return;
    RECT before = m_tracker.m_rect;
    if (!m_tracker.Track(GetSafeHwnd(), p, false)) return;
    RECT after = m_tracker.m_rect;
    for (RECT* r : {&before, &after}) {
        if (r->left > r->right) std::swap(r->left, r->right);
        if (r->top > r->bottom) std::swap(r->top, r->bottom);
    }
    // The box is the feature's pixel bounds grown by a margin: the feature
    // follows the pen by exactly its motion, edge by edge.
    CDoubleRect bounds;
    const ShapeRecord* shape = ShpReadShape(layer->GetHandle(), record);
    if (!shape || !ShpGetShapeBounds(shape, &bounds)) return;
    const double xs = GetXScale(), ys = GetYScale();
    if (!(xs > 0) || !(ys > 0)) return;
    CDoubleRect rect = bounds;
    rect.xmin += (after.left - before.left) / xs;
    rect.xmax += (after.right - before.right) / xs;
    rect.ymax -= (after.top - before.top) / ys;
    rect.ymin -= (after.bottom - before.bottom) / ys;
    if (middle) {
        // A move: both edges by the same offset, whatever the rounding.
        const double dx = (after.left - before.left) / xs, dy = -(after.top - before.top) / ys;
        rect = CDoubleRect(bounds.xmin + dx, bounds.ymin + dy, bounds.xmax + dx, bounds.ymax + dy);
    }
    MoveOrResizeFeature(rect, !middle);
}

bool CMapView::IsMapEditLayer(const CLayer* layer) const {
    if (!m_doc || !layer) return false;
    for (DisplayClass c : kEditableClasses)
        if (m_doc->GetLayers().GetEditLayer(c) == layer) return true;
    return false;
}

bool CMapView::VertexEditMenu(POINT p) {
    int previous = -1, next = -1;
    const int i = HitTestVertex(p, &previous, &next);
    if (i < 0) return FeatureEditMenu(p);
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer) return true;
    ShpHandle h = layer->GetHandle();
    const int type = CurrentShapeType();
    const bool pointType = IsPointShapeType(type) || IsMultiPointShapeType(type);
    // The vertex as it is (its Z and M stay through a drag).
    SketchVertex v{};
    if (ShpGetPartPoint(h, i, &v.x, &v.y, &v.z, &v.m, ShpReadShape(h, record)) < 0) return true;
    HWND view = GetSafeHwnd();
    if (RecognizeHold(view, p)) {
        UINT chosen = TrackViewMenu(IDR_MENU_VERTEX_EDIT, p, [&](HMENU menu) {
            SetItem(menu, ID_VERTEX_MOVE_TO, true);
            SetItem(menu, ID_VERTEX_MOVE_TO_GPS, IsGpsActive());
            SetItem(menu, ID_VERTEX_DELETE, !pointType);
        });
        const VertexDialogRunners& dialogs = GetVertexDialogRunners();
        switch (chosen) {
            case ID_VERTEX_MOVE_TO:
                if (dialogs.vertex && dialogs.vertex(this, type, v, false)) SetVertex(i, v);
                break;
            case ID_VERTEX_MOVE_TO_GPS:
                if (GpsCapturePositionAveraged(v, true)) SetVertex(i, v);
                break;
            case ID_VERTEX_DELETE:
                DeleteVertex(i);
                break;
            default:
                break;
        }
        return true;
    }
    bool tracked = false;
    if (layer->IsVertexMoving() && !pointType) {
        const ShapeRecord* shape = ShpReadShape(h, record);
        const uint8_t* points = shape ? ShapeGetPoints(shape) : nullptr;
        if (!points) return true;
        const POINT from = MapPointToScreen(ShapeLoadPoint(points, previous >= 0 ? previous : i));
        POINT third{};
        if (next >= 0) third = MapPointToScreen(ShapeLoadPoint(points, next));
        tracked = m_tracker.TrackLine(view, p.x, p.y, true, from, next >= 0 ? &third : nullptr);
    } else if (layer->IsFeatureMoving() && pointType) {
        tracked = m_tracker.TrackWithStyle(view, p.x, p.y, true, CMapTracker::kBandLine);
    }
    if (tracked) {
        const POINT end = m_tracker.GetEndPixel();
        ScreenToMap(end.x, end.y, v.x, v.y);
        SetVertex(i, v);
    }
    return true;
}

bool CMapView::FeatureEditMenu(POINT p) {
    int record = -1;
    CShapeLayer* layer = CurrentShapeLayer(&record);
    if (!layer) return false;
    double mx, my;
    ScreenToMap(p.x, p.y, mx, my);
    const SketchVertex m = VertexAt(mx, my);
    const int type = CurrentShapeType();
    const bool pointType = IsPointShapeType(type) || IsMultiPointShapeType(type);
    const bool polyline = IsPolylineShapeType(type);
    HWND view = GetSafeHwnd();
    if (RecognizeHold(view, p)) {
        const VertexAddMode mode = m_vertexMarkers.AddMode();
        UINT chosen = TrackViewMenu(IDR_MENU_FEATURE_EDIT, p, [&](HMENU menu) {
            SetItem(menu, ID_FEATURE_INSERT_VERTEX, !pointType);
            SetItem(menu, ID_FEATURE_INSERT_AT_GPS, !pointType && IsGpsActive());
            SetItem(menu, ID_FEATURE_ADD_TO_HEAD, polyline, mode == VertexAddMode::Head);
            SetItem(menu, ID_FEATURE_ADD_TO_TAIL, polyline, mode == VertexAddMode::Tail);
            SetItem(menu, ID_FEATURE_MOVING, true, layer->IsFeatureMoving());
            SetItem(menu, ID_FEATURE_SIZING, !pointType, layer->IsFeatureSizing());
            SetItem(menu, ID_FEATURE_VERTEX_MOVING, !pointType, layer->IsVertexMoving());
        });
        switch (chosen) {
            case ID_FEATURE_INSERT_VERTEX:
                if (!InsertVertexAt(m, nullptr)) MessageBeep(0x30);
                break;
            case ID_FEATURE_INSERT_AT_GPS: {
                SketchVertex gps = m;
                if (GpsCapturePositionAveraged(gps, true) && !InsertVertexAt(m, &gps))
                    MessageBeep(0x30);
                break;
            }
            case ID_FEATURE_ADD_TO_HEAD:
                SetVertexAddMode(VertexAddMode::Head);
                break;
            case ID_FEATURE_ADD_TO_TAIL:
                SetVertexAddMode(VertexAddMode::Tail);
                break;
            case ID_FEATURE_MOVING:
                layer->SetFeatureMoving(!layer->IsFeatureMoving());
                Repaint(false);
                break;
            case ID_FEATURE_SIZING:
                layer->SetFeatureSizing(!layer->IsFeatureSizing());
                Repaint(false);
                break;
            case ID_FEATURE_VERTEX_MOVING:
                layer->SetVertexMoving(!layer->IsVertexMoving());
                Repaint(false);
                break;
            default:
                break;
        }
        return true;
    }
    const VertexAddMode mode = m_vertexMarkers.AddMode();
    if (mode == VertexAddMode::Off) return false;
    const ShapeRecord* shape = ShpReadShape(layer->GetHandle(), record);
    const uint8_t* points = shape ? ShapeGetPoints(shape) : nullptr;
    const int n = shape ? ShpGetPointCount(shape) : 0;
    if (!points || n <= 0) return true;
    const POINT from =
        MapPointToScreen(ShapeLoadPoint(points, mode == VertexAddMode::Head ? 0 : n - 1));
    const bool tracked = m_tracker.TrackLine(view, p.x, p.y, true, from, nullptr);
    if (!tracked && !m_tracker.EndedAsTap()) return true;
    const POINT end = tracked ? m_tracker.GetEndPixel() : p;
    double ex, ey;
    ScreenToMap(end.x, end.y, ex, ey);
    AddVertexAtEnd(mode, VertexAt(ex, ey));
    return true;
}
