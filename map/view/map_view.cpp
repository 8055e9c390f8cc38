#include "map/view/map_view.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/window_helpers.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "formats/shape/shape_record.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/feature_layer.h"
#include "map/layers/map_messages.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "platform/res/resource.h"
#include "platform/win/msgbox.h"
#include "platform/win/theme.h"

CMapView* CurrentMapView = nullptr;
CMapDoc* CurrentMapDoc = nullptr;

namespace {
IDispatch* g_mapScriptObject = nullptr;
}

void SetMapScriptObject(IDispatch* object) {
    g_mapScriptObject = object;
}

IDispatch* GetMapScriptObject() {
    return g_mapScriptObject;
}

void ResetCurrentMapViewForTests() {
    CurrentMapView = nullptr;
    CurrentMapDoc = nullptr;
}

namespace {

LayersDialogRunner& LayersRunner() {
    static LayersDialogRunner runner;
    return runner;
}

bool IsFiniteRect(const CDoubleRect& r) {
    return std::isfinite(r.xmin) && std::isfinite(r.ymin) && std::isfinite(r.xmax) &&
           std::isfinite(r.ymax);
}

// Truncation toward zero of a pixel offset, held to the 32-bit range.
int64_t TruncatePixels(double v) {
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int64_t>(v);
}

int SaturateInt(int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX));
}

// A bitmap resource of square images as an image list at the screen's
// size: at more than 96 dots per inch each pixel becomes a block, so the
// pictures keep their shape and their place in the frame.
HIMAGELIST LoadScaledImageList(UINT id, int side, COLORREF mask) {
    HIMAGELIST list =
        ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(id), side, 0, mask);
    int scaled = win::theme::Scale(side);
    int count = list ? ImageList_GetImageCount(list) : 0;
    if (scaled == side || count <= 0) return list;
    HDC native = CreateCompatibleDC(nullptr), big = CreateCompatibleDC(nullptr);
    HBITMAP nativeBits = CreateBitmap(side * count, side, 1, 32, nullptr);
    HBITMAP bigBits = CreateBitmap(scaled * count, scaled, 1, 32, nullptr);
    HIMAGELIST out = nullptr;
    if (native && big && nativeBits && bigBits) {
        HBITMAP oldNative = SelectObject(native, nativeBits);
        HBITMAP oldBig = SelectObject(big, bigBits);
        RECT all{0, 0, side * count, side};
        HBRUSH maskBrush = CreateSolidBrush(mask);
        FillRect(native, &all, maskBrush);
        DeleteObject(maskBrush);
        for (int i = 0; i < count; ++i)
            ImageList_Draw(list, i, native, i * side, 0, ILD_TRANSPARENT);
        StretchBlt(big, 0, 0, scaled * count, scaled, native, 0, 0, side * count, side, SRCCOPY);
        SelectObject(native, oldNative);
        SelectObject(big, oldBig);
        out = ImageList_Create(scaled, scaled, ILC_COLOR | ILC_MASK, count, 0);
        if (out && ImageList_AddMasked(out, bigBits, mask) < 0) {
            ImageList_Destroy(out);
            out = nullptr;
        }
    }
    if (nativeBits) DeleteObject(nativeBits);
    if (bigBits) DeleteObject(bigBits);
    if (native) DeleteDC(native);
    if (big) DeleteDC(big);
    if (!out) return list;  // the pictures at their own size rather than none
    ImageList_Destroy(list);
    return out;
}

constexpr UINT kVkF1 = 112;
constexpr UINT kVkF24 = 135;
constexpr UINT kVkF5 = 116, kVkF11 = 122, kVkF12 = 123, kVkF23 = 134;

}  // namespace

void SetLayersDialogRunner(LayersDialogRunner runner) {
    LayersRunner() = std::move(runner);
}

// ---- creation ----

CMapView::CMapView() : m_scaleBarSymbol([] {
    // Tahoma 8 points. The record's height is a pixel height (negative); the
    // symbol keeps its size in points, set exactly below.
    LOGFONT lf{};
    lf.lfHeight = PointsToFontHeight(80);
    const WChar face[] = u"Tahoma";
    for (size_t i = 0; i < sizeof face / sizeof face[0]; ++i) lf.lfFaceName[i] = face[i];
    return lf;
}()) {
    m_scaleBarSymbol.m_size = 80;
    m_freehandPen = CreatePen(PS_SOLID, 3, 0x000000);
    m_freehandPoints = std::make_unique<POINT[]>(1000);
    m_offscreenDc = CreateCompatibleDC(nullptr);
    m_gpsCursorImages = ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(320), 32, 0,
                                             0xFFFFFF);
    m_panFrameImages = LoadScaledImageList(326, 8, 0xFF00FF);
    m_offscreenOriginal = reinterpret_cast<HBITMAP>(GetCurrentObject(m_offscreenDc, OBJ_BITMAP));
    OnPreferencesChanged();
}

CMapView::~CMapView() {
    if (GetSafeHwnd()) DestroyWindow();
    if (m_panFrameRegion) DeleteObject(m_panFrameRegion);
    if (m_offscreenDc) {
        SelectObject(m_offscreenDc, m_offscreenOriginal);
        DeleteDC(m_offscreenDc);
    }
    if (m_offscreenBitmap) DeleteObject(m_offscreenBitmap);
    if (m_freehandPen) DeleteObject(m_freehandPen);
    if (m_sketchPen) DeleteObject(m_sketchPen);
    if (m_gpsCursorSaveDc) DeleteDC(m_gpsCursorSaveDc);
    if (m_gpsCursorSaveBitmap) DeleteObject(m_gpsCursorSaveBitmap);
    if (m_panFrameImages) ImageList_Destroy(m_panFrameImages);
    if (m_gpsCursorImages) ImageList_Destroy(m_gpsCursorImages);
    if (CurrentMapView == this) ResetCurrentMapViewForTests();
}

bool CMapView::PreCreateWindow(CREATESTRUCT& cs, UINT& classStyle) {
    classStyle |= CS_DBLCLKS;
    return win::View::PreCreateWindow(cs, classStyle);
}

int CMapView::OnCreate(CREATESTRUCT* cs) {
    if (win::View::OnCreate(cs) == -1) return -1;
    return 0;
}

void CMapView::OnDestroy() {
    if (IsGpsActive()) GetGps()->Close();
}

bool CMapView::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    m_commandRouted = true;
    bool known = true;
    bool enabled = true;
    switch (id) {
        case ID_VIEW_ZOOMPREVIOUS:
        case ID_VIEW_ZOOMNEXT:
        case ID_VIEW_FIXEDZOOMIN:
        case ID_VIEW_FIXEDZOOMOUT:
        case ID_VIEW_ZOOMFULLEXTENT:
        case ID_VIEW_REPAINT:
        case ID_VIEW_LAYERS:
        case ID_VIEW_REFRESH:
            break;
        case ID_VIEW_ZOOMTOSELECTED:
            enabled = HasLayers() && HasCurrentFeature();
            break;
        case ID_VIEW_FIND:
            enabled = false;  // until the Find dialog is part of the program
            break;
        case ID_VIEW_CENTERONSELECTED:
        case ID_VIEW_ZOOMTOSELECTEDFEATURE:
        case ID_VIEW_GOTOSELECTEDFEATURE:
            enabled = HasCurrentFeature();
            break;
        case ID_VIEW_SCALEBAR:
            enabled = HasLayers();
            break;
        default:
            known = (id >= ID_VIEW_ZOOMTOLAYER_FIRST && id <= ID_VIEW_BOOKMARK_LAST);
    }
    if (!known) return false;
    if (ui) {
        ui->Enable(enabled);
        return true;
    }
    (void)code;
    if (!enabled) return true;
    CDoubleRect e;
    switch (id) {
        case ID_VIEW_ZOOMPREVIOUS: ZoomPrevious(); break;
        case ID_VIEW_ZOOMNEXT: ZoomNext(); break;
        case ID_VIEW_FIXEDZOOMIN:
        case ID_VIEW_FIXEDZOOMOUT:
            e = m_extent;
            e.Scale(id == ID_VIEW_FIXEDZOOMIN ? m_fixedZoom : 1.0 / m_fixedZoom);
            ZoomToExtent(e, true, 1.0);
            break;
        case ID_VIEW_ZOOMTOSELECTED: OnZoomToSelected(); break;
        case ID_VIEW_ZOOMFULLEXTENT: ZoomToFullExtent(); break;
        case ID_VIEW_REPAINT:
        case ID_VIEW_SCALEBAR: Repaint(false); break;
        case ID_VIEW_LAYERS: OnLayersCommand(); break;
        case ID_VIEW_REFRESH:
            if (m_doc) m_doc->GetLayers().InvalidateAll();
            PostRefresh();
            break;
        case ID_VIEW_CENTERONSELECTED:
            if (CurrentFeatureExtent(e)) {
                double cx, cy;
                e.GetCenter(cx, cy);
                CenterAt(cx, cy);
            }
            break;
        case ID_VIEW_ZOOMTOSELECTEDFEATURE:
            if (CurrentFeatureExtent(e)) ZoomToExtent(e, true, 1.1);
            break;
        case ID_VIEW_GOTOSELECTEDFEATURE:
            if (CurrentFeatureExtent(e)) {
                double cx, cy;
                e.GetCenter(cx, cy);
                SetGoToDestination(cx, cy, nullptr);
                Repaint(true);
            }
            break;
        default:
            if (id <= ID_VIEW_ZOOMTOLAYER_LAST) {
                // Id 2100 is the last layer of the list.
                if (!m_doc) break;
                CLayerList& layers = m_doc->GetLayers();
                CLayer* layer = layers.GetAt(layers.GetCount() - static_cast<int>(id) + 2099);
                if (!layer) break;  // a stale menu id
                layer->GetExtent(e);
                e.Scale(1.1);
                ZoomToExtent(e, true, 1.0);
            } else {
                IMainWindow* frame = GetMainWindowServices();
                if (frame && frame->GetBookmarks().GetExtentAt(static_cast<int>(id) - 2200, e))
                    ZoomToExtent(e, true, 1.0);
            }
    }
    return true;
}

void CMapView::OnInitialUpdate() {
    CurrentMapDoc = m_doc;
    CurrentMapView = this;
    CDoubleRect extent = m_doc ? m_doc->GetMapExtent() : CDoubleRect();
    if (!IsFiniteRect(extent) || extent.xmax - extent.xmin == 0 ||
        extent.ymax - extent.ymin == 0 || extent.IsEmpty()) {
        if (!m_doc || m_doc->GetLayers().GetFullExtent(extent, false, -1) == 0 ||
            !IsFiniteRect(extent))
            extent = CDoubleRect(-1, -1, 1, 1);
    }
    extent.Normalize();
    m_extent = extent;
    OnUpdate(nullptr, 0);
    double cx, cy;
    extent.GetCenter(cx, cy);
    CenterAt(cx, cy);
    IMainWindow* frame = GetMainWindowServices();
    PreferencesData& prefs = GetPreferences()->Data();
    m_tracker.SetReadout(frame ? frame->GetMainStatusBar() : nullptr, 0, 1, 1,
                         prefs.statusbar.coordinates, prefs.statusbar.coordsformat);
    if (frame) {
        frame->SetModeIndicator(m_arrowKeyMode);
        frame->SetStatusText(u"Ready");
    }
    ClearDestination();
    if (m_doc) m_doc->GetLayers().SetCurrentFeature(nullptr, -1);
    IGps* gps = GetGps();
    if (gps->IsGpsActive()) gps->Close();
    CCoordSys* cs = MapCoordSys();
    if (cs && cs->m_projectionCode != 0 && prefs.gps.autoactivate && HasLayers()) {
        GpsLocation location{prefs.location.longitude, prefs.location.latitude,
                             prefs.location.altitude, prefs.location.fourth};
        gps->Open(prefs.gps.protocol.c_str(), GetSafeHwnd(), 0, location,
                  prefs.gps.initialize.c_str());
    }
}

void CMapView::OnUpdate(win::DocumentView* sender, LPARAM hint) {
    (void)sender;
    m_tracker.SetCoordSys(MapCoordSys());
    RecomputeTransform();
    if (hint == 0) OnRefresh();
    StoreDocumentExtent();
    ShowMapScale();
}

void CMapView::ShowMapScale() {
    if (IMainWindow* frame = GetMainWindowServices())
        frame->SetScaleText(ShownDenominator(GetMapScale(true)));
}

unsigned CMapView::ShownDenominator(double scale) {
    return scale >= 4294967295.0 ? 4294967295u : scale > 0 ? static_cast<unsigned>(scale) : 0u;
}

void CMapView::UpdateEditToolbars() {}

// ---- messages ----

LRESULT CMapView::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_DESTROY:
            OnDestroy();
            break;
        case WM_SIZE:
            OnSize(static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)),
                   static_cast<short>(HIWORD(lParam)));
            return 0;
        case WM_ERASEBKGND:
            return OnEraseBackground(reinterpret_cast<HDC>(wParam)) ? 1 : 0;
        case WM_KEYUP:
            OnKeyUp(static_cast<UINT>(wParam));
            return 0;
        case WM_VIEW_REFRESH:
            OnRefresh();
            return 0;
        case WM_VIEW_PREFSCHANGED:
            OnPreferencesChanged();
            return 0;
        case WM_VIEW_FLASHSHAPE:
            OnFlashShape(reinterpret_cast<CFeatureLayer*>(wParam), static_cast<int>(lParam));
            return 0;
        case WM_VIEW_AFTERDRAW:
            OnAfterDraw();
            return 0;
        // Handled by the GPS, tool, tray and timer code of the view; nothing
        // to do until those are part of it.
        case WM_VIEW_TRAYNOTIFY:
        case WM_COMMONDIALOG_CLOSED:
        case WM_GPS_DATA:
        case WM_GPS_POSITION:
        case WM_TIMER:
            return 0;
        default:
            break;
    }
    return win::View::WindowProc(msg, wParam, lParam);
}

void CMapView::OnKeyUp(UINT vk) {
    if (vk >= kVkF1 && vk <= kVkF24) {
        IMainWindow* frame = GetMainWindowServices();
        if (frame && frame->RunBoundKeyCommand(static_cast<int>(vk - kVkF1), 0)) return;
    }
    switch (vk) {
        case VK_LEFT: PanStep(2); return;
        case VK_RIGHT: PanStep(3); return;
        case VK_UP:
            if (m_arrowKeyMode == 0) OnCmdMsg(ID_VIEW_FIXEDZOOMOUT, 0, nullptr);
            else PanStep(m_arrowKeyMode == 1 ? 0 : 2);
            return;
        case VK_DOWN:
            if (m_arrowKeyMode == 0) OnCmdMsg(ID_VIEW_FIXEDZOOMIN, 0, nullptr);
            else PanStep(m_arrowKeyMode == 1 ? 1 : 3);
            return;
        case kVkF11:
        case kVkF23:
            m_arrowKeyMode = (m_arrowKeyMode + 1) % 3;
            MessageBeep(0x40);
            if (IMainWindow* frame = GetMainWindowServices()) frame->SetModeIndicator(m_arrowKeyMode);
            break;
        case kVkF5:
        case kVkF12:
        case kVkF24:
            Repaint(true);
            break;
        default:
            break;
    }
    Default();
}

void CMapView::OnPreferencesChanged() {
    PreferencesData& prefs = GetPreferences()->Data();
    int tolerance = prefs.display.tolerance;
    // The tolerance is in pixels at 96 dots per inch: the same reach of the
    // pen, and markers of the same size, on a denser screen.
    m_vertexMarkerSize = win::theme::Scale(tolerance < 3 ? 4 : tolerance + 1);
    m_tracker.SetHandleSize(m_vertexMarkerSize * 2);
    m_tracker.SetCoordinateFormat(prefs.statusbar.coordsformat);
    m_penTolerance = win::theme::Scale(tolerance) / m_xScale;
    if (m_sketchPen) {
        DeleteObject(m_sketchPen);
        m_sketchPen = nullptr;
    }
    UpdateEditToolbars();
}

// ---- transform ----

double CMapView::RecomputeTransform() {
    // A window without area (minimised) has no transform: keep the last one.
    if (m_clientWidth <= 0 || m_clientHeight <= 0 || !IsFiniteRect(m_extent)) return m_penTolerance;
    CDoubleRect e = m_extent;
    double originX = e.xmin, originY = e.ymin;
    if (e.xmax == e.xmin) {
        e.xmin -= 0.1;
        e.xmax += 0.1;
    }
    if (e.ymax == e.ymin) {
        e.ymin -= 0.1;
        e.ymax += 0.1;
    }
    double xs = m_clientWidth / (e.xmax - e.xmin);
    double ys = m_clientHeight / (e.ymax - e.ymin);
    double s = std::min(xs, ys);
    if (!(s > 0) || !std::isfinite(s)) return m_penTolerance;
    m_originX = originX;
    m_originY = originY;
    m_xScale = m_yScale = s;
    CDoubleRect fitted = ScreenRectToMap(RECT{0, 0, m_clientWidth, m_clientHeight});
    if (IsFiniteRect(fitted)) m_extent = fitted;
    m_penTolerance = win::theme::Scale(GetPreferences()->Data().display.tolerance) / m_xScale;
    return m_penTolerance;
}

void CMapView::ScreenToMap(int px, int py, double& x, double& y) const {
    x = static_cast<double>(px) / m_xScale + m_originX;
    y = static_cast<double>(m_clientHeight - static_cast<int64_t>(py)) / m_yScale + m_originY;
}

void CMapView::MapToScreen(double x, double y, int& px, int& py) const {
    px = SaturateInt(TruncatePixels((x - m_originX) * m_xScale));
    py = SaturateInt(m_clientHeight - TruncatePixels((y - m_originY) * m_yScale));
}

POINT CMapView::MapPointToScreen(const DoublePoint& p) const {
    POINT pt;
    int x, y;
    MapToScreen(p.x, p.y, x, y);
    pt.x = x;
    pt.y = y;
    return pt;
}

CDoubleRect CMapView::ScreenRectToMap(const RECT& r) const {
    CDoubleRect out;
    ScreenToMap(r.left, r.top, out.xmin, out.ymax);
    ScreenToMap(r.right, r.bottom, out.xmax, out.ymin);
    return out;
}

int CMapView::GroundDistanceToPixels(double metres, double latitude) const {
    CCoordSys* cs = MapCoordSys();
    if (!cs || cs->m_projectionCode == 0) return 0;
    double mapUnits;
    if (cs->m_projectionCode == crs_code::kGeographic) {
        // Metres per degree of longitude along the given parallel.
        double perDegree = MeasureDistanceXY(cs, 0, latitude, 1, latitude);
        if (!(perDegree > 0)) return 0;
        mapUnits = metres / perDegree;
    } else {
        double factor = cs->m_projectionUnitFactor;
        if (!(factor > 0)) return 0;
        mapUnits = metres / factor;
    }
    return SaturateInt(TruncatePixels(mapUnits * m_xScale));
}

double CMapView::GetMapScale(bool rounded) const {
    HDC screen = CreateCompatibleDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    DeleteDC(screen);
    if (dpi <= 0) return 0;
    double screenWidth = 0.0254 / dpi * m_clientWidth;
    if (screenWidth <= 0) return 0;
    double cy = m_extent.ymin + (m_extent.ymax - m_extent.ymin) * 0.5;
    CCoordSys* cs = MapCoordSys();
    double mapWidth = MeasureDistanceXY(cs, m_extent.xmin, cy, m_extent.xmax, cy);
    if (cs && cs->m_projectionCode != crs_code::kGeographic && cs->m_projectionUnitCode != 0 &&
        cs->m_projectionUnitCode != 9001)
        mapWidth *= GetUnitFactor(cs->m_projectionUnitCode);
    double scale = mapWidth / screenWidth;
    if (!std::isfinite(scale)) return 0;
    if (!rounded) return scale;
    if (scale > 10) return std::floor(scale);
    if (scale > 1) return std::floor(scale * 10) * 0.1;
    return std::floor(scale * 100) * 0.01;
}

void CMapView::SetMapScale(double denominator) {
    double current = GetMapScale(false);
    if (!(denominator > 0) || !std::isfinite(denominator) || current == 0) {
        MessageBeep(0x30);
        return;
    }
    double q = denominator / current;
    if (q == 1) return;
    CDoubleRect e = m_extent;
    e.Scale(q);
    ZoomToExtent(e, true, 1.0);
}

int CMapView::GetCoordinateEntryMode() const {
    return IsGeographicMap() ? 2 : 0;
}

// ---- extents ----

void CMapView::ZoomToExtent(const CDoubleRect& extent, bool recordHistory, double margin) {
    if (extent.IsEmpty() || !IsFiniteRect(extent) || !std::isfinite(margin)) return;
    CDoubleRect e = extent;
    e.Normalize();
    if (recordHistory) PushExtentHistory();
    double hx = (m_extent.xmax - m_extent.xmin) * 0.1 * 0.5;
    double hy = (m_extent.ymax - m_extent.ymin) * 0.1 * 0.5;
    CDoubleRect shown = e;
    double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
    double gx = w == 0 ? hx : w * 0.5 * (margin - 1);
    double gy = h == 0 ? hy : h * 0.5 * (margin - 1);
    shown.xmin -= gx;
    shown.xmax += gx;
    shown.ymin -= gy;
    shown.ymax += gy;
    if (IsFiniteRect(shown)) m_extent = shown;
    OnUpdate(nullptr, 1);
    double cx, cy;
    e.GetCenter(cx, cy);
    CenterAt(cx, cy);
}

void CMapView::CenterAt(double x, double y) {
    double dx = x - (m_extent.xmin + (m_extent.xmax - m_extent.xmin) * 0.5);
    double dy = y - (m_extent.ymin + (m_extent.ymax - m_extent.ymin) * 0.5);
    Pan(dx, dy, false);
}

void CMapView::Pan(double dx, double dy, bool recordHistory) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    if (recordHistory) PushExtentHistory();
    m_extent.Offset(dx, dy);
    m_originX = m_extent.xmin;
    m_originY = m_extent.ymin;
    OnRefresh();
}

void CMapView::PanStep(int direction) {
    static const int signs[8][2] = {{0, 1},  {0, -1}, {-1, 0}, {1, 0},
                                    {-1, 1}, {1, 1},  {-1, -1}, {1, -1}};
    if (direction < 0 || direction > 7) return;
    double dx = (m_extent.xmax - m_extent.xmin) / 6 * signs[direction][0];
    double dy = (m_extent.ymax - m_extent.ymin) / 6 * signs[direction][1];
    Pan(dx, dy, true);
}

void CMapView::PushExtentHistory() {
    if (m_historyPosition == 9) {
        for (int i = 1; i <= 8; ++i) m_history[i - 1] = m_history[i];
        m_historyPosition = 8;
    }
    m_history[m_historyPosition] = m_extent;
    ++m_historyPosition;
    m_historyTop = std::max(m_historyTop, m_historyPosition);
}

void CMapView::ZoomPrevious() {
    if (m_historyPosition <= 0) return;
    m_history[m_historyPosition] = m_extent;
    --m_historyPosition;
    ZoomToExtent(m_history[m_historyPosition], false, 1.0);
}

void CMapView::ZoomNext() {
    if (m_historyPosition >= m_historyTop) return;
    ++m_historyPosition;
    ZoomToExtent(m_history[m_historyPosition], false, 1.0);
}

void CMapView::ZoomAt(double x, double y, double factor, bool recordHistory) {
    CDoubleRect e = m_extent;
    double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
    e.SetFromCenter(x, y, w, h);
    e.Scale(factor);
    ZoomToExtent(e, recordHistory, 1.0);
}

void CMapView::ZoomToFullExtent() {
    if (!m_doc) return;
    CLayerList& layers = m_doc->GetLayers();
    CDoubleRect e;
    if (layers.GetCount() > 0) {
        if (layers.GetFullExtent(e, true, -1) == 0) {
            ShowMapMessage(kStrNoVisibleLayers, MB_OK | MB_ICONEXCLAMATION, kBeepNone);
            return;
        }
        ZoomToExtent(e, true, 1.1);
        return;
    }
    CCoordSys* cs = MapCoordSys();
    if (!cs || cs->m_projectionCode == 0) return;
    CTracklogLayer& track = layers.GetTracklog();
    if (track.m_visible) {
        track.GetExtent(e);
        ZoomToExtent(e, false, 1.1);
    } else if (cs->m_projectionCode == crs_code::kGeographic) {
        ZoomToExtent(CDoubleRect(-180, -90, 180, 90), false, 1.0);
    }
}

void CMapView::OnRefresh() {
    m_lastDrawnExtent = CDoubleRect();
    RecomputeTransform();
    win::BeginWaitCursor();
    RECT client{0, 0, m_clientWidth, m_clientHeight};
    m_tracker.SetTransform(client, m_extent);
    if (m_doc) m_doc->GetLayers().SetDrawExtent(m_extent, m_clientWidth, m_clientHeight);
    win::EndWaitCursor();
    // Pans and the final centring of a zoom end here: the document keeps
    // the extent shown, so a saved map opens where it was left.
    StoreDocumentExtent();
    // A resize refits the extent without an update: the pane follows.
    ShowMapScale();
    m_bufferValid = false;
    m_drawingInterrupted = false;
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), nullptr, false);
}

void CMapView::StoreDocumentExtent() {
    if (HasLayers() && IsFiniteRect(m_extent) && m_clientWidth > 0 && m_clientHeight > 0)
        m_doc->SetMapExtent(m_extent);
}

void CMapView::PostRefresh() {
    if (GetSafeHwnd()) PostMessage(GetSafeHwnd(), WM_VIEW_REFRESH, 0, 0);
}

// ---- selection, destination, tools ----

void CMapView::SetCurrentTool(MapToolId tool) {
    // Choosing the current tool again turns it off.
    m_currentTool = (tool == m_currentTool) ? kToolNone : tool;
}

void CMapView::SetGoToDestination(double x, double y, const WString* label) {
    m_destination.set = true;
    m_destination.label = label ? *label : LoadMapString(kStrDefaultGoToLabel);
    if (m_destination.label.empty() && !label) m_destination.label = u"MARK";
    CCoordSys* cs = MapCoordSys();
    if (IsGeographicMap()) {
        m_destination.longitude = x;
        m_destination.latitude = y;
        m_destination.x = x;
        m_destination.y = y;
    } else {
        m_destination.x = x;
        m_destination.y = y;
        if (cs && cs->m_projectionCode != 0)
            cs->ProjectedToGeographic(x, y, &m_destination.longitude, &m_destination.latitude);
    }
    m_destination.distance = 0;
    m_destination.bearing = 0;
    m_approachAlertArmed = true;
    m_approachAlertInterval = 30000;
    m_nextApproachAlertTime = 0;
    FireScriptEvent(GetMapScriptObject(), kEventOnGoto, false, 0);
}

void CMapView::ClearDestination() {
    m_destination = GoToDestination();
    m_approachAlertArmed = false;
    m_approachAlertInterval = 0;
}

// ---- helpers ----

bool CMapView::HasLayers() const {
    return m_doc && m_doc->GetLayers().GetCount() > 0;
}

bool CMapView::HasCurrentFeature() const {
    return m_doc && m_doc->GetLayers().GetCurrentFeatureLayer() &&
           m_doc->GetLayers().GetCurrentFeatureRecord() != -1;
}

bool CMapView::CurrentFeatureExtent(CDoubleRect& extent) const {
    if (!HasCurrentFeature()) return false;
    CLayer* layer = m_doc->GetLayers().GetCurrentFeatureLayer();
    ShpHandle shp = layer->GetShapeFile();
    if (!shp) return false;
    ShapeRecord* shape = ShpReadShape(shp, m_doc->GetLayers().GetCurrentFeatureRecord());
    return shape && ShpGetShapeBounds(shape, &extent) && IsFiniteRect(extent);
}

void CMapView::OnZoomToSelected() {
    CDoubleRect e;
    e.SetEmpty();
    if (!CurrentFeatureExtent(e)) e.SetEmpty();
    // An empty extent changes nothing.
    ZoomToExtent(e, true, 1.25);
}

void CMapView::OnLayersCommand() {
    if (!m_doc) return;
    bool changed = LayersRunner() ? LayersRunner()(m_doc) : false;
    if (changed || m_doc->GetLayers().m_layersChanged) {
        m_doc->SetModifiedFlag(true);
        CLayerList& layers = m_doc->GetLayers();
        if (layers.GetEditLayer(0) || layers.GetEditLayer(1) || layers.GetEditLayer(2))
            if (IMainWindow* frame = GetMainWindowServices()) frame->RefreshEditToolbar();
        OnUpdate(nullptr, 0);
        UpdateEditToolbars();
    } else {
        Repaint(false);
    }
}

void CMapView::Repaint(bool erase) {
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), nullptr, erase);
}

bool CMapView::IsGeographicMap() const {
    CCoordSys* cs = MapCoordSys();
    return cs && cs->m_projectionCode == crs_code::kGeographic;
}

CCoordSys* CMapView::MapCoordSys() const {
    return m_doc ? m_doc->GetMapCoordSys() : nullptr;
}
