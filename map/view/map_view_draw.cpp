// The paint of the map view: the off-screen buffer of the static layers, the
// layers drawn on every paint, the overlays, the interrupt banner, resizing,
// erasing and the flash of a found shape.
#include <cmath>
#include <vector>

#include "core/text_helpers.h"
#include "core/user_abort.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "crs/unit_text.h"
#include "formats/shape/shape_draw.h"
#include "formats/shape/shape_record.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/feature_layer.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
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
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

bool IsEditLayer(CLayerList& layers, const CLayer* layer) {
    for (int c = 0; c < 3; ++c)
        if (layers.GetEditLayer(c) == layer) return true;
    return false;
}

}  // namespace

void CMapView::OnDraw(HDC dc) {
    ResetAbort();
    if (!m_drawingEnabled) return;
    RECT client{0, 0, m_clientWidth, m_clientHeight};
    if (m_gpsDebugDisplay) {
        FillDebugBackground(dc);
        return;
    }
    PreferencesData& prefs = GetPreferences()->Data();
    double mapScale = GetMapScale(true);
    SetBkMode(dc, TRANSPARENT);
    bool needBackground = true;
    CLayerList* layers = m_doc ? &m_doc->GetLayers() : nullptr;
    bool ready = layers && layers->IsReady();
    bool haveBuffer = m_offscreenBitmap && m_clientWidth > 0 && m_clientHeight > 0;
    if (ready && haveBuffer) {
        if (m_bufferValid) {
            BitBlt(dc, 0, 0, m_clientWidth, m_clientHeight, m_offscreenDc, 0, 0, SRCCOPY);
            needBackground = false;
        } else {
            FillSolid(m_offscreenDc, client, prefs.display.backgroundcolor);
            m_currentDrawDc = m_offscreenDc;
            for (int i = layers->GetCount() - 1; i >= 0; --i) {
                CLayer* layer = layers->GetAt(i);
                if (!layer->m_visible || IsEditLayer(*layers, layer) ||
                    !layer->IsInScaleRange(mapScale) || layer->m_dynamic)
                    continue;
                win::BeginWaitCursor();
                layer->DrawTo(m_offscreenDc, dc, mapScale);
                win::EndWaitCursor();
                BitBlt(dc, 0, 0, m_clientWidth, m_clientHeight, m_offscreenDc, 0, 0, SRCCOPY);
                needBackground = false;
            }
            m_bufferValid = true;
        }
    }
    if (needBackground) FillSolid(dc, client, prefs.display.backgroundcolor);
    if (layers && layers->GetGrid().m_visible) layers->GetGrid().DrawTo(dc, nullptr, mapScale);
    if (ready) {
        m_currentDrawDc = dc;
        for (int i = layers->GetCount() - 1; i >= 0; --i) {
            CLayer* layer = layers->GetAt(i);
            if (!layer->m_visible || IsEditLayer(*layers, layer) ||
                !layer->IsInScaleRange(mapScale) || !layer->m_dynamic)
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
    if (m_destination.set) DrawDestination(dc);
    if (m_sketchKind != 0 || m_currentTool == kToolMeasure) DrawSketch(dc);
    if (m_doc && m_doc->IsScaleBarVisible()) DrawScaleBar(dc, mapScale);
    DrawPanningFrame(dc);
    if (m_gpsCursorShown) DrawGpsCursor(nullptr, &m_paintRect);
    m_lastDrawnExtent = m_extent;
    if (IsAbortRequested()) m_drawingInterrupted = true;
    ResetAbort();
    if (m_drawingInterrupted) {
        int saved = SaveDC(dc);
        RECT band = client;
        band.top += Px(20);
        SetTextColor(dc, 0x00FFFF);
        SetBkColor(dc, 0x0000FF);
        SetBkMode(dc, OPAQUE);
        // The DC's own font, at the screen's size.
        HFONT scaled = nullptr;
        LOGFONT lf{};
        if (Px(12) != 12 &&
            GetObject(GetCurrentObject(dc, OBJ_FONT), sizeof lf, &lf) == sizeof lf) {
            lf.lfHeight = lf.lfHeight < 0 ? -Px(-lf.lfHeight) : Px(lf.lfHeight);
            scaled = CreateFontIndirect(&lf);
            if (scaled) SelectObject(dc, scaled);
        }
        static const WChar kInterrupted[] = u"Redraw Interrupted by User";
        DrawText(dc, kInterrupted, -1, &band, DT_CENTER | DT_SINGLELINE | DT_NOCLIP);
        RestoreDC(dc, saved);
        if (scaled) DeleteObject(scaled);
    }
    PostMessage(GetSafeHwnd(), WM_VIEW_AFTERDRAW, 0, 0);
}

void CMapView::OnAfterDraw() {
    FireScriptEvent(GetMapScriptObject(), kEventOnAfterDraw, false, 0);
}

void CMapView::OnSize(UINT type, int width, int height) {
    (void)type;
    m_clientWidth = width;
    m_clientHeight = height;
    m_bufferValid = false;
    HBITMAP fresh = nullptr;
    if (width > 0 && height > 0) {
        HDC windowDc = GetDC(GetSafeHwnd());
        fresh = CreateCompatibleBitmap(windowDc, width, height);
        ReleaseDC(GetSafeHwnd(), windowDc);
    }
    // A window without area (minimised) has no buffer.
    SelectObject(m_offscreenDc, fresh ? fresh : m_offscreenOriginal);
    if (m_offscreenBitmap) DeleteObject(m_offscreenBitmap);
    m_offscreenBitmap = fresh;
    m_clientRect = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
    int frame = Px(10);
    m_innerRect = RECT{m_clientRect.left + frame, m_clientRect.top + frame,
                       m_clientRect.right - frame, m_clientRect.bottom - frame};
    if (m_panFrameRegion) DeleteObject(m_panFrameRegion);
    m_panFrameRegion = CreateRectRgnIndirect(&m_clientRect);
    HRGN inner = CreateRectRgnIndirect(&m_innerRect);
    CombineRgn(m_panFrameRegion, m_panFrameRegion, inner, RGN_DIFF);
    DeleteObject(inner);
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
    RECT client{0, 0, m_clientWidth, m_clientHeight};
    FillSolid(dc, client, kDebugBackground);
}

void CMapView::DrawTracklog(HDC dc) {
    if (!m_doc) return;
    CTracklogLayer& track = m_doc->GetLayers().GetTracklog();
    if (!track.m_visible) return;
    HDC target = dc ? dc : GetDC(GetSafeHwnd());
    track.DrawTo(target, nullptr, GetMapScale(true));
    if (!dc) ReleaseDC(GetSafeHwnd(), target);
}

void CMapView::DrawEditLayers(HDC dc, double mapScale) {
    if (!m_doc) return;
    CLayerList& layers = m_doc->GetLayers();
    // Polygons, then lines, then points; drawn even when hidden.
    for (int c : {2, 1, 0}) {
        CLayer* layer = layers.GetEditLayer(c);
        if (layer && layer->IsInScaleRange(mapScale)) layer->DrawTo(dc, nullptr, mapScale);
    }
    if (layers.GetCurrentFeatureLayer() && layers.GetCurrentFeatureRecord() != -1)
        DrawSelection(dc);
}

void CMapView::DrawSelection(HDC dc) {
    CLayerList& layers = m_doc->GetLayers();
    CLayer* layer = layers.GetCurrentFeatureLayer();
    ShpHandle shp = layer->GetShapeFile();
    if (!shp) return;
    ShapeRecord* shape = ShpReadShape(shp, layers.GetCurrentFeatureRecord());
    CDoubleRect bounds;
    if (!shape || !ShpGetShapeBounds(shape, &bounds)) return;
    m_tracker.m_rect = ShpWorldRectToDevice(shp, bounds);
    m_tracker.m_style = CMapTracker::kDottedLine | CMapTracker::kResizeOutside;
    if (layer->m_displayClass == 0) {
        m_tracker.m_handleMask = 0;
        m_tracker.m_rubberBandStyle = 5;
        InflateRect(&m_tracker.m_rect, Px(5), Px(5));
    } else if (m_currentTool == kToolVertexEdit && layer->m_featureSizing) {
        m_tracker.m_handleMask = CMapTracker::kAllHandles;
        m_tracker.m_rubberBandStyle = 0;
        InflateRect(&m_tracker.m_rect, m_vertexMarkerSize + 1, m_vertexMarkerSize + 1);
    } else {
        m_tracker.m_handleMask = 0;
        m_tracker.m_rubberBandStyle = 0;
    }
    m_tracker.Draw(dc);
    if (m_currentTool == kToolVertexEdit) DrawSelectedVertices(dc);
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
        HPEN pen = CreatePen(PS_SOLID, Px(3), prefs.display.highlightcolor);
        HPEN old = SelectObject(dc, pen);
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
        DeleteObject(pen);
    }
    bool squares = layer->m_vertexMoving ||
                   (layer->m_featureMoving && IsPointShapeType(ShpGetRecordShapeType(shp, shape)));
    HPEN blue = nullptr;
    if (squares) {
        blue = CreatePen(PS_SOLID, 1, 0xFF0000);
        SelectObject(dc, blue);
        SelectObject(dc, GetStockObject(NULL_BRUSH));
    }
    auto marker = [&](POINT p, int half) {
        RECT r{p.x - half, p.y - half, p.x + half, p.y + half};
        if (squares) Rectangle(dc, r.left, r.top, r.right, r.bottom);
        else DrawFocusRect(dc, &r);
    };
    int s = m_vertexMarkerSize;
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
    if (blue) DeleteObject(blue);
}

void CMapView::DrawDestination(HDC dc) {
    double x = IsGeographicMap() ? m_destination.longitude : m_destination.x;
    double y = IsGeographicMap() ? m_destination.latitude : m_destination.y;
    int px, py;
    MapToScreen(x, y, px, py);
    int r = Px(2);
    Ellipse(dc, px - r, py - r, px + r, py + r);
    HFONT old = reinterpret_cast<HFONT>(SelectObject(dc, GetPreferences()->GetLabelFont()));
    int saved = SaveDC(dc);
    SetTextColor(dc, 0xFFFFFF);
    SetBkColor(dc, 0x000000);
    SetBkMode(dc, OPAQUE);
    TextOut(dc, px + Px(1), py, m_destination.label.c_str(),
            static_cast<int>(m_destination.label.size()));
    RestoreDC(dc, saved);
    SelectObject(dc, old);
}

void CMapView::DrawSketch(HDC dc) {
    // Drawn by the feature capture code.
    (void)dc;
}

void CMapView::DrawGpsCursor(HDC dc, const RECT* update) {
    // Drawn by the GPS code.
    (void)dc, (void)update;
}

RECT CMapView::ScaleBarRect() const {
    int inset = Px(GetPreferences()->Data().display.panframe ? 11 : 4);
    RECT bar{m_clientRect.left + Px(12), m_clientRect.top + inset, m_clientRect.right - Px(12),
             m_clientRect.bottom - inset};
    bar.top = bar.bottom - Px(8);
    // Room on the right for the "1:N" text.
    bar.right -= Px(50);
    return bar;
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
    if (IsGeographicMap() && m_extent.ymax - m_extent.ymin > 60) return;
    PreferencesData& prefs = GetPreferences()->Data();
    RECT bar = ScaleBarRect();
    int quarter = bar.left + (bar.right - bar.left) / 4;
    int middle = bar.left + (bar.right - bar.left) / 2;
    int halfLine = bar.bottom - (bar.bottom - bar.top) / 2;
    double metres = ScaleBarHalfLength();
    double half = metres;
    const WChar* unit = ScaleDistanceForDisplay(prefs.display.units, 9001, &half);
    half = RoundToDecimals(half, 2);
    if (half == 0 || !std::isfinite(half)) return;
    double whole = metres * 2;
    const WChar* wholeUnit = ScaleDistanceForDisplay(prefs.display.units, 9001, &whole);
    whole = RoundToDecimals(whole, 2);

    int saved = SaveDC(dc);
    SelectObject(dc, GetStockObject(WHITE_BRUSH));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    Rectangle(dc, bar.left, bar.top, bar.right, bar.bottom);
    SelectObject(dc, GetStockObject(BLACK_BRUSH));
    Rectangle(dc, bar.left, bar.top, quarter, halfLine);
    Rectangle(dc, quarter, halfLine, middle, bar.bottom);
    Rectangle(dc, middle, bar.top, bar.right, halfLine);

    m_scaleBarSymbol.SelectInto(dc);
    SetBkColor(dc, prefs.display.backgroundcolor);
    SetBkMode(dc, OPAQUE);
    int height = bar.bottom - bar.top;
    OffsetRect(&bar, 0, -height);
    WString t = text::Format(u"0%s", unit);
    DrawText(dc, t.c_str(), -1, &bar, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    t = text::Format(u"%.15g%s", half, unit);
    DrawText(dc, t.c_str(), -1, &bar, DT_CENTER | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    t = text::Format(u"%.15g%s", whole, wholeUnit);
    DrawText(dc, t.c_str(), -1, &bar, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    OffsetRect(&bar, bar.right - bar.left + Px(2), height);
    t = text::Format(u"1:%u", ShownDenominator(mapScale));
    DrawText(dc, t.c_str(), -1, &bar, DT_LEFT | DT_BOTTOM | DT_SINGLELINE | DT_NOCLIP);
    RestoreDC(dc, saved);
}

void CMapView::DrawPanningFrame(HDC dc) {
    if (!GetPreferences()->Data().display.panframe) return;
    int saved = SaveDC(dc);
    FillRgn(dc, m_panFrameRegion, reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    const RECT& in = m_innerRect;
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, in.right, in.top, nullptr);
    LineTo(dc, in.left, in.top);
    LineTo(dc, in.left, in.bottom);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, in.right, in.top, nullptr);
    LineTo(dc, in.right, in.bottom);
    LineTo(dc, in.left, in.bottom);
    const RECT& c = m_clientRect;
    int side = 8, unused = 0;
    ImageList_GetIconSize(m_panFrameImages, &side, &unused);
    int mx = c.left + (c.right - c.left) / 2 - side / 2;
    int my = c.top + (c.bottom - c.top) / 2 - side / 2;
    int two = Px(2), nine = Px(9), ten = Px(10);
    const POINT at[8] = {{mx, c.top + two},
                         {mx, c.bottom - nine},
                         {c.left, my},
                         {c.right - nine, my},
                         {c.left + two, c.top + two},
                         {c.right - ten, c.top + two},
                         {c.left + two, c.bottom - ten},
                         {c.right - ten, c.bottom - ten}};
    for (int i = 0; i < 8; ++i)
        ImageList_Draw(m_panFrameImages, i, dc, at[i].x, at[i].y, ILD_TRANSPARENT);
    RestoreDC(dc, saved);
}
