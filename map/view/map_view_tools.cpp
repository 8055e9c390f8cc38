// The pen tools of the map view: choosing a tool, the commands' enable and
// check states, pen down, move, up and double tap per tool, the panning
// frame's taps, the crosshair, the cursors and the sketch buffer.
#include <algorithm>
#include <cmath>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "map/layers/feature_layer.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/res/resource.h"
#include "platform/win/theme.h"

namespace {

// A drag whose shorter side stays below this (pixels at 96 dpi) is a tap.
constexpr int kTapThreshold = 8;

constexpr UINT kCmdToolFirst = 1800;
constexpr UINT kCmdToolLast = 1830;

}  // namespace

// ---- choosing a tool ----

bool CMapView::SetCurrentTool(MapToolId tool, bool invalidate) {
    bool chosen = m_tools.Choose(tool);
    if (invalidate) Repaint(false);
    return chosen;
}

bool CMapView::HasEditLayer(DisplayClass c) const {
    return m_doc && m_doc->GetLayers().GetEditLayer(c) != nullptr;
}

bool CMapView::AnyEditLayer() const {
    return HasEditLayer(DisplayClass::Point) || HasEditLayer(DisplayClass::Line) ||
           HasEditLayer(DisplayClass::Polygon);
}

bool CMapView::OnToolCommand(UINT id, CCmdUI* ui) {
    if (id < kCmdToolFirst || id > kCmdToolLast) return false;
    MapToolId tool = MapToolOfCommand(id);
    if (tool == kToolNone) return false;
    const bool current = m_tools.Current() == tool;
    const bool sketching = m_sketch.IsActive();
    const bool addingVertices = m_vertexMarkers.AddMode() != VertexAddMode::Off;
    CCoordSys* cs = MapCoordSys();
    bool enabled = !sketching;
    bool checked = current;
    switch (tool) {
        case kToolIdentify:
            enabled = HasLayers() && !sketching;
            break;
        case kToolMeasure:
        case kToolMeasureRadial:
        case kToolMeasureFreehand:
            enabled = cs && cs->m_projectionCode != 0 && !sketching;
            break;
        case kToolHyperlink: {
            bool links = m_doc && m_doc->GetLayers().AnyHasHyperlink();
            enabled = links && !sketching;
            checked = current && links;
            break;
        }
        case kToolSelect:
            enabled = AnyEditLayer() && !sketching;
            checked = current && AnyEditLayer();
            break;
        case kToolVertexEdit:
            enabled = AnyEditLayer() && HasCurrentFeature() && !sketching;
            checked = current && AnyEditLayer();
            break;
        case kToolPoint:
            enabled = HasEditLayer(DisplayClass::Point) && !sketching;
            checked = current && HasEditLayer(DisplayClass::Point);
            break;
        case kToolLine:
        case kToolFreehandLine:
            enabled = HasEditLayer(DisplayClass::Line) &&
                      (!sketching || (tool == kToolFreehandLine && current));
            checked = current && HasEditLayer(DisplayClass::Line);
            break;
        case kToolPolyline:
            enabled = HasEditLayer(DisplayClass::Line);
            checked = HasEditLayer(DisplayClass::Line) && (current || addingVertices);
            break;
        case kToolRectangle:
        case kToolEllipse:
        case kToolCircle:
            enabled = HasEditLayer(DisplayClass::Polygon) && !sketching;
            checked = current && HasEditLayer(DisplayClass::Polygon);
            break;
        case kToolFreehandPolygon:
            enabled = HasEditLayer(DisplayClass::Polygon) && (!sketching || current);
            checked = current && HasEditLayer(DisplayClass::Polygon);
            break;
        case kToolPolygon:
            enabled = HasEditLayer(DisplayClass::Polygon);
            checked = HasEditLayer(DisplayClass::Polygon) && (current || addingVertices);
            break;
        default:
            break;
    }
    if (ui) {
        ui->Enable(enabled);
        ui->SetCheck(checked ? 1 : 0);
        return true;
    }
    if (!enabled) return true;
    switch (tool) {
        case kToolMeasure:
            if (current) {
                SetCurrentTool(tool);
                FinishMeasure();
            } else {
                SetCurrentTool(tool);
                ReserveSketch(0);
            }
            break;
        case kToolSelect:
        case kToolVertexEdit:
            SetCurrentTool(tool);
            Repaint(false);
            break;
        case kToolPolyline:
        case kToolPolygon:
            if (addingVertices) {
                m_vertexMarkers.SetAddMode(VertexAddMode::Off);
                break;
            }
            SetCurrentTool(tool);
            BeginOrFinishSketch(tool == kToolPolyline ? SketchKind::Line : SketchKind::Polygon);
            break;
        default:
            SetCurrentTool(tool);
            break;
    }
    return true;
}

void CMapView::FinishMeasure() {
    if (m_sketch.Count() > 1) {
        std::vector<DoublePoint> points(static_cast<size_t>(m_sketch.Count()));
        for (int i = 0; i < m_sketch.Count(); ++i)
            points[static_cast<size_t>(i)] =
                DoublePoint{m_sketch.Vertices()[i].x, m_sketch.Vertices()[i].y};
        MeasurePolyline(GetPreferences()->Data().display.units, MapCoordSys(), m_sketch.Count(),
                        points.data());
    }
    Repaint(false);
    ReserveSketch(0);
}

// ---- the panning frame and the crosshair ----

int CMapView::HitTestPanningFrame(POINT p) const {
    if (!GetPreferences()->Data().display.panframe) return -1;
    const RECT& c = m_panFrame.ClientRect();
    const RECT& i = m_panFrame.InnerRect();
    const int x = p.x, y = p.y;
    const bool top = c.top <= y && y <= i.top;
    const bool bottom = i.bottom <= y && y <= c.bottom;
    const bool left = c.left <= x && x <= i.left;
    const bool right = i.right <= x && x <= c.right;
    const bool midX = i.left < x && x < i.right;
    const bool midY = i.top < y && y < i.bottom;
    if (left && top) return static_cast<int>(PanDirection::UpLeft);
    if (right && top) return static_cast<int>(PanDirection::UpRight);
    if (left && bottom) return static_cast<int>(PanDirection::DownLeft);
    if (right && bottom) return static_cast<int>(PanDirection::DownRight);
    if (midX && top) return static_cast<int>(PanDirection::Up);
    if (midX && bottom) return static_cast<int>(PanDirection::Down);
    if (left && midY) return static_cast<int>(PanDirection::Left);
    if (right && midY) return static_cast<int>(PanDirection::Right);
    return -1;
}

void CMapView::DrawCrosshair(POINT p) {
    HWND h = GetSafeHwnd();
    if (!h) return;
    HDC dc = GetDC(h);
    RECT c = ClientRect();
    int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(WHITE_PEN));
    SetROP2(dc, R2_XORPEN);
    MoveToEx(dc, c.left, p.y, nullptr);
    LineTo(dc, c.right, p.y);
    MoveToEx(dc, p.x, c.top, nullptr);
    LineTo(dc, p.x, c.bottom);
    RestoreDC(dc, saved);
    ReleaseDC(h, dc);
}

// ---- pen input ----

void CMapView::OnLButtonDown(UINT flags, POINT p) {
    (void)flags;
    m_tools.SetLastPen(p);
    if (HitTestPanningFrame(p) != -1) return;  // the frame pans on pen-up
    HWND h = GetSafeHwnd();
    const MapToolId tool = m_tools.Current();
    bool crosshair = false;
    if (IsConfiguredTool(tool)) {
        crosshair = true;
        double mx, my;
        ScreenToMap(p.x, p.y, mx, my);
        m_tools.SetPointer(p, mx, my);
    } else {
        switch (tool) {
            case kToolZoomIn:
            case kToolZoomOut: {
                if (!m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandRectangle))
                    break;
                RECT r = m_tracker.m_rect;
                if (r.left > r.right) std::swap(r.left, r.right);
                if (r.top > r.bottom) std::swap(r.top, r.bottom);
                CDoubleRect box = ScreenRectToMap(r);
                double cx, cy;
                box.GetCenter(cx, cy);
                if (m_tracker.GetShortSide() < win::theme::Scale(kTapThreshold)) {
                    if (tool == kToolZoomIn)
                        ZoomInAt(cx, cy);
                    else
                        ZoomOutAt(cx, cy);
                } else if (tool == kToolZoomIn) {
                    ZoomToExtent(box, true, 1.0);
                } else {
                    // The extent shown shrinks into the dragged box: the new
                    // extent is to the old as the old is to the box (w / r
                    // twice over; once would only centre the map on the box).
                    double w = GetExtent().xmax - GetExtent().xmin;
                    double bw = box.xmax - box.xmin;
                    if (w == 0 || bw == 0) {
                        ZoomOutAt(cx, cy);
                    } else {
                        box.Scale(w / bw * (w / bw));
                        ZoomToExtent(box, true, 1.0);
                    }
                }
                break;
            }
            case kToolPan:
                SetCapture(h);
                m_tools.StartPan(p);
                EnableDrawing(false);
                break;
            case kToolMeasure:
                if (m_sketch.Count() > 0) {
                    POINT last = m_sketch.ScreenPoints()[m_sketch.Count() - 1];
                    if (m_tracker.TrackLine(h, p.x, p.y, true, last, nullptr)) {
                        POINT end = m_tracker.GetEndPixel();
                        double mx, my;
                        ScreenToMap(end.x, end.y, mx, my);
                        AddSketchPoint(mx, my);
                    } else if (m_tracker.EndedAsTap()) {
                        // A click: the vertex where the pen went down.
                        double mx, my;
                        ScreenToMap(p.x, p.y, mx, my);
                        AddSketchPoint(mx, my);
                    }
                } else {
                    crosshair = true;  // the first vertex comes on pen-up
                }
                break;
            case kToolMeasureRadial:
                if (m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandCircle)) {
                    POINT s = m_tracker.GetStartPoint(), e = m_tracker.GetEndPixel();
                    DoublePoint centre, edge;
                    ScreenToMap(s.x, s.y, centre.x, centre.y);
                    ScreenToMap(e.x, e.y, edge.x, edge.y);
                    MeasureRadial(GetPreferences()->Data().display.units, MapCoordSys(), centre,
                                  edge);
                }
                break;
            case kToolMeasureFreehand:
                m_freehand.Begin(p);
                break;
            case kToolIdentify:
            case kToolHyperlink:
            case kToolGoTo:
                crosshair = true;
                break;
            case kToolAdvancedSelect: {
                m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandRectangle);
                RECT r = m_tracker.m_rect;
                if (r.left > r.right) std::swap(r.left, r.right);
                if (r.top > r.bottom) std::swap(r.top, r.bottom);
                if (m_tracker.LastEnd() == CMapTracker::TrackEnd::PenUp)
                    AdvancedSelect(ScreenRectToMap(r), m_tracker.GetShortSide());
                break;
            }
            case kToolSelect:
            case kToolVertexEdit:
            case kToolPoint:
            case kToolLine:
            case kToolPolyline:
            case kToolFreehandLine:
            case kToolRectangle:
            case kToolPolygon:
            case kToolCircle:
            case kToolEllipse:
            case kToolFreehandPolygon:
                crosshair = OnEditToolDown(tool, p);
                break;
            default:
                m_tracker.TrackWithStyle(h, p.x, p.y, true, CMapTracker::kBandLine);
                break;
        }
    }
    if (crosshair) {
        m_crosshair.Show(p);
        DrawCrosshair(p);
    }
    if (IsConfiguredTool(tool))
        if (IMainWindow* frame = GetMainWindowServices())
            frame->FireCommandEvent(static_cast<UINT>(tool - kToolConfiguredBase), 18);
}

void CMapView::OnMouseMove(UINT flags, POINT p) {
    m_tools.SetLastPen(p);
    m_tracker.UpdateReadout(&p);
    if (m_crosshair.IsShown()) {
        DrawCrosshair(m_crosshair.Point());
        m_crosshair.Show(p);
        DrawCrosshair(p);
    }
    if (!(flags & MK_LBUTTON)) return;
    const MapToolId tool = m_tools.Current();
    if (IsConfiguredTool(tool)) {
        double mx, my;
        ScreenToMap(p.x, p.y, mx, my);
        m_tools.SetPointer(p, mx, my);
        if (IMainWindow* frame = GetMainWindowServices())
            frame->FireCommandEvent(static_cast<UINT>(tool - kToolConfiguredBase), 19);
        return;
    }
    if (tool == kToolPan) {
        if (!m_tools.IsPanning()) return;
        POINT last = m_tools.PanLast();
        int dx = p.x - last.x, dy = p.y - last.y;
        HWND h = GetSafeHwnd();
        if (dx != 0) ScrollWindowEx(h, dx, 0, nullptr, nullptr, nullptr, nullptr,
                                    SW_INVALIDATE | SW_ERASE);
        if (dy != 0) ScrollWindowEx(h, 0, dy, nullptr, nullptr, nullptr, nullptr,
                                    SW_INVALIDATE | SW_ERASE);
        m_tools.MovePan(p);
        return;
    }
    if (tool == kToolMeasureFreehand) {
        HWND h = GetSafeHwnd();
        HDC dc = GetDC(h);
        int saved = SaveDC(dc);
        SelectObject(dc, m_freehand.Pen());
        POINT last = m_freehand.Last();
        MoveToEx(dc, last.x, last.y, nullptr);
        LineTo(dc, p.x, p.y);
        RestoreDC(dc, saved);
        ReleaseDC(h, dc);
        AddFreehandPoint(p);
    }
    m_freehand.SetLast(p);
}

void CMapView::EndPanDrag(bool pan, POINT p) {
    if (!m_tools.IsPanning()) return;
    m_tools.EndPan();
    if (GetCapture() == GetSafeHwnd()) ReleaseCapture();
    EnableDrawing(true);
    if (!pan) {
        // The drag was broken off: show the map where it was.
        OnRefresh();
        return;
    }
    POINT start = m_tools.PanStart();
    double dx = (start.x - p.x) / GetXScale();
    double dy = (p.y - start.y) / GetYScale();
    Pan(dx, dy, true);
}

void CMapView::OnCaptureChanged(HWND newHolder) {
    if (newHolder != GetSafeHwnd()) EndPanDrag(false, POINT{});
    // Whatever the gesture was, the GPS drawing it held back comes once
    // the view has finished with the pen.
    if (m_gpsHeldBack && GetSafeHwnd()) PostMessage(GetSafeHwnd(), WM_VIEW_GPSCATCHUP, 0, 0);
}

void CMapView::OnLButtonUp(UINT flags, POINT p) {
    (void)flags;
    int direction = HitTestPanningFrame(p);
    if (direction != -1) {
        if (m_tools.IsPanning()) EndPanDrag(false, p);
        if (m_crosshair.IsShown()) {
            DrawCrosshair(m_crosshair.Point());
            m_crosshair.Hide();
        }
        PanStep(static_cast<PanDirection>(direction));
        return;
    }
    // The tap tools act on the pen-up of their own pen-down (which showed
    // the crosshair): not on one left over from a drag broken off by Escape
    // or by another window.
    const bool tapped = m_crosshair.IsShown();
    if (tapped) {
        DrawCrosshair(m_crosshair.Point());
        m_crosshair.Show(p);
        m_crosshair.Hide();
    }
    const MapToolId tool = m_tools.Current();
    double mx, my;
    ScreenToMap(p.x, p.y, mx, my);
    if (IsConfiguredTool(tool)) {
        m_tools.SetPointer(p, mx, my);
        if (IMainWindow* frame = GetMainWindowServices())
            frame->FireCommandEvent(static_cast<UINT>(tool - kToolConfiguredBase), 20);
        return;
    }
    switch (tool) {
        case kToolPan:
            EndPanDrag(true, p);
            break;
        case kToolMeasure:
            if (tapped) AddSketchPoint(mx, my);
            break;
        case kToolMeasureFreehand:
            AddFreehandPoint(p);
            MeasureFreehand();
            break;
        case kToolIdentify:
            if (tapped) IdentifyAt(mx, my);
            break;
        case kToolHyperlink:
            if (tapped) HyperlinkAt(mx, my);
            break;
        case kToolGoTo:
            if (!tapped) break;
            SetGoToDestination(mx, my, nullptr);
            Repaint(false);
            break;
        default:
            OnEditToolUp(tool, p, tapped);
            break;
    }
}

void CMapView::OnLButtonDblClk(UINT flags, POINT p) {
    (void)flags;
    m_tools.SetLastPen(p);
    if (HitTestPanningFrame(p) != -1) return;
    OnEditToolDoubleTap(p);
}

bool CMapView::OnSetCursor(UINT hitTest) {
    if (hitTest != HTCLIENT) return false;
    const MapToolInfo* info = FindMapTool(m_tools.Current());
    if (!info || !info->cursor) return false;
    HCURSOR cursor = LoadCursor(res::GetProgramModule(), info->cursor);
    if (!cursor) return false;
    SetCursor(cursor);
    return true;
}

// ---- the sketch buffer ----

void CMapView::ReserveSketch(int count) {
    m_sketch.Reserve(count);
}

bool CMapView::AddSketchVertex(const SketchVertex& v) {
    m_sketch.Reserve(m_sketch.Count() + 1);
    if (m_sketch.RepeatsLast(v)) return false;
    if (m_sketch.IsFull()) {
        MessageBeep(0x10);
        return false;
    }
    int px, py;
    MapToScreen(v.x, v.y, px, py);
    m_sketch.Append(v, POINT{px, py});
    if (HWND h = GetSafeHwnd()) {
        HDC dc = GetDC(h);
        DrawSketch(dc);
        ReleaseDC(h, dc);
    }
    return true;
}

bool CMapView::AddSketchPoint(double x, double y) {
    SketchVertex v;
    v.x = x;
    v.y = y;
    v.z = 0;
    v.m = kNoDataMeasure;
    return AddSketchVertex(v);
}
