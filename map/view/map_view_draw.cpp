// The paint of the map view: the off-screen buffer of the static layers, the
// layers drawn on every paint, the overlays, the interrupt banner, resizing,
// erasing and the flash of a found shape.
#include <cmath>
#include <vector>

#include "core/user_abort.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shape_record.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/feature_layer.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/gdi/owned.h"
#include "platform/sys/thread.h"
#include "platform/win/theme.h"

namespace {

constexpr COLORREF kDebugBackground = 0x400000;

// Every fixed size the view draws with is given at 96 dots per inch and
// drawn at the screen's; one-pixel lines stay one pixel.
int Px(int at96) {
    return win::theme::Scale(at96);
}

void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
    gdi::OwnedBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &r, brush.get());
}

bool IsEditLayer(CLayerList& layers, const CLayer* layer) {
    for (DisplayClass c : kEditableClasses)
        if (layers.GetEditLayer(c) == layer) return true;
    return false;
}

}  // namespace

void CMapView::OnDraw(HDC dc) {
    ResetAbort();
    if (!m_drawingEnabled) return;
    const int width = m_transform.ClientWidth(), height = m_transform.ClientHeight();
    RECT client{0, 0, width, height};
    if (m_gpsCursor.IsDebugDisplay()) {
        FillDebugBackground(dc);
        return;
    }
    PreferencesData& prefs = GetPreferences()->Data();
    double mapScale = GetMapScale(true);
    SetBkMode(dc, TRANSPARENT);
    bool needBackground = true;
    CLayerList* layers = m_doc ? &m_doc->GetLayers() : nullptr;
    bool ready = layers && layers->IsReady();
    HDC bufferDc = m_buffer.DC();
    bool haveBuffer = m_buffer.Bitmap() && m_transform.HasArea();
    if (ready && haveBuffer) {
        if (m_buffer.IsValid()) {
            BitBlt(dc, 0, 0, width, height, bufferDc, 0, 0, SRCCOPY);
            needBackground = false;
        } else {
            FillSolid(bufferDc, client, prefs.display.backgroundcolor);
            m_currentDrawDc = bufferDc;
            for (int i = layers->GetCount() - 1; i >= 0; --i) {
                CLayer* layer = layers->GetAt(i);
                if (!layer->IsVisible() || IsEditLayer(*layers, layer) ||
                    !layer->IsInScaleRange(mapScale) || layer->IsDynamic())
                    continue;
                win::BeginWaitCursor();
                layer->DrawTo(bufferDc, dc, mapScale);
                win::EndWaitCursor();
                BitBlt(dc, 0, 0, width, height, bufferDc, 0, 0, SRCCOPY);
                needBackground = false;
            }
            m_buffer.SetValid(true);
        }
    }
    if (needBackground) FillSolid(dc, client, prefs.display.backgroundcolor);
    if (layers && layers->GetGrid().IsVisible()) layers->GetGrid().DrawTo(dc, nullptr, mapScale);
    if (ready) {
        m_currentDrawDc = dc;
        for (int i = layers->GetCount() - 1; i >= 0; --i) {
            CLayer* layer = layers->GetAt(i);
            if (!layer->IsVisible() || IsEditLayer(*layers, layer) ||
                !layer->IsInScaleRange(mapScale) || !layer->IsDynamic())
                continue;
            win::BeginWaitCursor();
            layer->DrawTo(dc, nullptr, mapScale);
            win::EndWaitCursor();
        }
    }
    m_currentDrawDc = nullptr;
    DrawTracklog(dc);
    DrawEditLayers(dc, mapScale);
    DrawIdentifyOverlay(dc);
    DrawFoundFeature(dc);
    DrawFeatureSheetShape(dc);
    if (m_destination.IsSet()) DrawDestination(dc);
    if (m_sketch.IsActive() || m_tools.Current() == kToolMeasure) DrawSketch(dc);
    if (m_doc && m_doc->IsScaleBarVisible()) DrawScaleBar(dc, mapScale);
    DrawPanningFrame(dc);
    if (m_gpsCursor.IsShown()) DrawGpsCursor(dc, true, &m_paintRect);
    if (IsAbortRequested()) m_buffer.SetInterrupted(true);
    ResetAbort();
    if (m_buffer.IsInterrupted()) {
        int saved = SaveDC(dc);
        RECT band = client;
        band.top += Px(20);
        SetTextColor(dc, 0x00FFFF);
        SetBkColor(dc, 0x0000FF);
        SetBkMode(dc, OPAQUE);
        // The DC's own font, at the screen's size.
        gdi::OwnedFont scaled;
        LOGFONT lf{};
        if (Px(12) != 12 &&
            GetObject(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf) == sizeof lf) {
            lf.lfHeight = lf.lfHeight < 0 ? -Px(-lf.lfHeight) : Px(lf.lfHeight);
            scaled.reset(CreateFontIndirect(&lf));
            if (scaled) SelectObject(dc, scaled.get());
        }
        static const WChar kInterrupted[] = u"Redraw Interrupted by User";
        DrawText(dc, kInterrupted, -1, &band, DT_CENTER | DT_SINGLELINE | DT_NOCLIP);
        RestoreDC(dc, saved);
    }
    PostMessage(GetSafeHwnd(), WM_VIEW_AFTERDRAW, 0, 0);
}

void CMapView::OnAfterDraw() {
    FireScriptEvent(GetMapScriptObject(), kEventOnAfterDraw, false, 0);
}

void CMapView::OnSize(UINT type, int width, int height) {
    (void)type;
    m_transform.SetClientSize(width, height);
    // A window without area (minimised) has no buffer.
    m_buffer.Resize(GetSafeHwnd(), width, height);
    m_panFrame.Resize(width, height);
    PostRefresh();
}

bool CMapView::OnEraseBackground(HDC dc) {
    RECT clip;
    GetClipBox(dc, &clip);
    FillSolid(dc, clip, GetPreferences()->Data().display.backgroundcolor);
    return true;
}

void CMapView::OnFlashShape(CFeatureLayer* layer, int record) {
    if (!layer || record == 0) return;
    CDoubleRect e;
    if (!layer->GetFeatureExtent(record, e)) return;
    RECT r;
    int left, bottom, right, top;
    MapToScreen(e.xmin, e.ymin, left, bottom);
    MapToScreen(e.xmax, e.ymax, right, top);
    r = RECT{left, top, right, bottom};
    HDC dc = GetDC(GetSafeHwnd());
    for (int i = 0; i < 2; ++i) {
        InvertRect(dc, &r);
        sys::Sleep(100);
        InvertRect(dc, &r);
        sys::Sleep(100);
    }
    ReleaseDC(GetSafeHwnd(), dc);
}

void CMapView::FillDebugBackground(HDC dc) {
    RECT client{0, 0, m_transform.ClientWidth(), m_transform.ClientHeight()};
    FillSolid(dc, client, kDebugBackground);
}

void CMapView::DrawTracklog(HDC dc) {
    if (!m_doc) return;
    CTracklogLayer& track = m_doc->GetLayers().GetTracklog();
    if (!track.IsVisible()) return;
    HDC target = dc ? dc : GetDC(GetSafeHwnd());
    const int saved = SaveDC(target);
    track.Draw(target, false, true);
    RestoreDC(target, saved);
    if (!dc) ReleaseDC(GetSafeHwnd(), target);
}

void CMapView::DrawEditLayers(HDC dc, double mapScale) {
    if (!m_doc) return;
    CLayerList& layers = m_doc->GetLayers();
    // Polygons, then lines, then points; drawn even when hidden.
    for (DisplayClass c : {DisplayClass::Polygon, DisplayClass::Line, DisplayClass::Point}) {
        CLayer* layer = layers.GetEditLayer(c);
        if (layer && layer->IsInScaleRange(mapScale)) layer->DrawTo(dc, nullptr, mapScale);
    }
    if (layers.GetCurrentFeatureLayer() && layers.GetCurrentFeatureRecord() != -1)
        DrawSelection(dc);
}

void CMapView::DrawSelection(HDC dc) {
    if (!UpdateSelectionBox()) return;
    m_tracker.Draw(dc);
    if (m_tools.Current() == kToolVertexEdit) DrawSelectedVertices(dc);
}

bool CMapView::UpdateSelectionBox() {
    CLayerList& layers = m_doc->GetLayers();
    CLayer* layer = layers.GetCurrentFeatureLayer();
    ShpHandle shp = layer ? layer->GetShapeFile() : nullptr;
    if (!shp) return false;
    ShapeRecord* shape = ShpReadShape(shp, layers.GetCurrentFeatureRecord());
    CDoubleRect bounds;
    if (!shape || !ShpGetShapeBounds(shape, &bounds)) return false;
    m_tracker.m_rect = ShpWorldRectToDevice(shp, bounds);
    m_tracker.m_style = CMapTracker::kDottedLine | CMapTracker::kResizeOutside;
    if (layer->GetDisplayClass() == DisplayClass::Point) {
        m_tracker.m_handleMask = 0;
        m_tracker.m_rubberBandStyle = CMapTracker::kBandFocusRects;
        InflateRect(&m_tracker.m_rect, Px(5), Px(5));
    } else if (m_tools.Current() == kToolVertexEdit && layer->IsFeatureSizing()) {
        // The handles sit outside the vertex markers.
        m_tracker.m_handleMask = CMapTracker::kAllHandles;
        m_tracker.m_rubberBandStyle = CMapTracker::kBandRectangle;
        InflateRect(&m_tracker.m_rect, m_vertexMarkers.Size() + 1, m_vertexMarkers.Size() + 1);
    } else {
        m_tracker.m_handleMask = 0;
        m_tracker.m_rubberBandStyle = CMapTracker::kBandRectangle;
    }
    return true;
}

void CMapView::DrawSelectedVertices(HDC dc) {
    CLayerList& layers = m_doc->GetLayers();
    CLayer* layer = layers.GetCurrentFeatureLayer();
    ShpHandle shp = layer ? layer->GetShapeFile() : nullptr;
    if (!shp) return;
    const ShapeRecord* shape = ShpReadShape(shp, layers.GetCurrentFeatureRecord());
    if (!shape) return;
    int count = ShpGetPointCount(shape);
    const uint8_t* raw = ShapeGetPoints(shape);
    if (count <= 0 || !raw) return;
    std::vector<POINT> pts(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        double x = ShapeLoadDouble(raw + 16 * i), y = ShapeLoadDouble(raw + 16 * i + 8);
        pts[static_cast<size_t>(i)] = MapPointToScreen(DoublePoint{x, y});
    }
    int saved = SaveDC(dc);
    if (count >= 2) {
        PreferencesData& prefs = GetPreferences()->Data();
        gdi::OwnedPen pen(CreatePen(PS_SOLID, Px(3), prefs.display.highlightcolor));
        HPEN old = SelectObject(dc, pen.get());
        int parts = ShapeGetPartCount(shape);
        if (parts <= 0) {
            Polyline(dc, pts.data(), count);
        } else {
            for (int part = 0; part < parts; ++part) {
                int last = 0;
                int first = ShapeGetPartRange(shape, part, &last);
                if (first < 0 || last < first) continue;
                Polyline(dc, pts.data() + first, last - first + 1);
            }
        }
        SelectObject(dc, old);
    }
    bool squares = layer->IsVertexMoving() ||
                   (layer->IsFeatureMoving() && IsPointShapeType(ShpGetRecordShapeType(shp, shape)));
    gdi::OwnedPen blue;
    if (squares) {
        blue.reset(CreatePen(PS_SOLID, 1, 0xFF0000));
        SelectObject(dc, blue.get());
        SelectObject(dc, GetStockObject(NULL_BRUSH));
    }
    auto marker = [&](POINT p, int half) {
        RECT r{p.x - half, p.y - half, p.x + half, p.y + half};
        if (squares)
            Rectangle(dc, r.left, r.top, r.right, r.bottom);
        else
            DrawFocusRect(dc, &r);
    };
    int s = m_vertexMarkers.Size();
    int ring = Px(1);
    for (int i = 0; i < count; ++i) {
        POINT p = pts[static_cast<size_t>(i)];
        marker(p, s);
        // The first vertex stands out: more squares, just outside and
        // just inside its own.
        for (int d = 1; i == 0 && d <= ring; ++d) {
            marker(p, s + d);
            marker(p, s - d);
        }
        SetPixel(dc, p.x, p.y, 0xFFFFFF);
    }
    RestoreDC(dc, saved);
}

void CMapView::DrawDestination(HDC dc) {
    bool geographic = IsGeographicMap();
    int px, py;
    MapToScreen(m_destination.MapX(geographic), m_destination.MapY(geographic), px, py);
    m_destination.DrawMark(dc, POINT{px, py}, GetPreferences()->GetLabelFont());
}

void CMapView::DrawSketch(HDC dc) {
    if (m_tools.Current() != kToolMeasure && !HasEditLayer(DisplayClass::Line) &&
        !HasEditLayer(DisplayClass::Polygon))
        return;
    const int n = m_sketch.Count();
    if (n <= 0 || !dc) return;
    if (!m_sketch.Pen())
        m_sketch.SetPen(CreatePen(PS_SOLID, Px(3), GetPreferences()->Data().display.highlightcolor));
    if (m_sketch.ScreenPointsStale(GetExtent())) {
        for (int i = 0; i < n; ++i) {
            const SketchVertex& v = m_sketch.Vertices()[i];
            m_sketch.SetScreenPoint(i, MapPointToScreen(DoublePoint{v.x, v.y}));
        }
        m_sketch.SetLastDrawnExtent(GetExtent());
    }
    const POINT* pts = m_sketch.ScreenPoints();
    int saved = SaveDC(dc);
    if (n > 1) {
        SelectObject(dc, m_sketch.Pen());
        Polyline(dc, pts, n);
    }
    // A filled blue square on each vertex, its centre pixel white.
    gdi::OwnedBrush blue(CreateSolidBrush(0xFF0000));
    int half = Px(3);
    for (int i = 0; i < n; ++i) {
        RECT r{pts[i].x - half, pts[i].y - half, pts[i].x + half, pts[i].y + half};
        FillRect(dc, &r, blue.get());
        SetPixel(dc, pts[i].x, pts[i].y, 0xFFFFFF);
    }
    RestoreDC(dc, saved);
}

RECT CMapView::ScaleBarRect() const {
    return ScaleBar::Rect(ClientRect(), GetPreferences()->Data().display.panframe,
                          m_scaleBar.LabelWidth(GetMapScale(true)));
}

double CMapView::ScaleBarHalfLength() const {
    CCoordSys* cs = MapCoordSys();
    if (!cs) return 0;
    RECT bar = ScaleBarRect();
    int middle = bar.left + (bar.right - bar.left) / 2;
    double x1, y1, x2, y2;
    ScreenToMap(bar.left, bar.top, x1, y1);
    ScreenToMap(middle, bar.top, x2, y2);
    double factor = IsGeographicMap() ? 1.0 : cs->m_projectionUnitFactor;
    return MeasureDistanceXY(cs, x1, y1, x2, y2) * factor;
}

void CMapView::DrawScaleBar(HDC dc, double mapScale) {
    CCoordSys* cs = MapCoordSys();
    if (!cs || cs->m_projectionCode == 0) return;
    const CDoubleRect& e = GetExtent();
    if (IsGeographicMap() && e.ymax - e.ymin > 60) return;
    PreferencesData& prefs = GetPreferences()->Data();
    m_scaleBar.Draw(dc, ScaleBarRect(), ScaleBarHalfLength(), mapScale, prefs.display.units,
                    prefs.display.backgroundcolor);
}

void CMapView::DrawPanningFrame(HDC dc) {
    if (GetPreferences()->Data().display.panframe) m_panFrame.Draw(dc);
}

void CMapView::DrawFeatureSheetShape(HDC dc) {
    GetShellServices()->DrawFeatureSheetShape(dc);
}
