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
#include "map/dialogs/find_dlg.h"
#include "map/dialogs/identify_dlg.h"
#include "map/layers/feature_layer.h"
#include "map/layers/map_messages.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "platform/res/resource.h"
#include "platform/sys/thread.h"
#include "resources/zres.h"
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

constexpr UINT kVkF1 = 112;
constexpr UINT kVkF24 = 135;
constexpr UINT kVkF5 = 116, kVkF11 = 122, kVkF12 = 123, kVkF23 = 134;

// The tracklog's extent (degrees on WGS 1984) in the units of a projected
// map: the bounds of its corners and edge midpoints shifted to the map's
// datum and projected; unchanged when none of them projects.
CDoubleRect TracklogExtentInMapUnits(CCoordSys* cs, const CDoubleRect& degrees) {
    CDoubleRect out;
    bool any = false;
    const double xs[] = {degrees.xmin, (degrees.xmin + degrees.xmax) / 2, degrees.xmax};
    const double ys[] = {degrees.ymin, (degrees.ymin + degrees.ymax) / 2, degrees.ymax};
    for (double lon : xs) {
        for (double lat : ys) {
            double x = lon, y = lat;
            TransformDatum(cs->m_datum, x, y, 0, &x, &y, nullptr, true);
            cs->GeographicToProjected(x, y, &x, &y);
            if (!std::isfinite(x) || !std::isfinite(y)) continue;
            if (!any) out = CDoubleRect(x, y, x, y);
            out.xmin = std::min(out.xmin, x);
            out.xmax = std::max(out.xmax, x);
            out.ymin = std::min(out.ymin, y);
            out.ymax = std::max(out.ymax, y);
            any = true;
        }
    }
    return any ? out : degrees;
}

}  // namespace

void SetLayersDialogRunner(LayersDialogRunner runner) {
    LayersRunner() = std::move(runner);
}

// ---- creation ----

CMapView::CMapView() {
    OnPreferencesChanged();
}

CMapView::~CMapView() {
    if (GetSafeHwnd()) DestroyWindow();
    if (CurrentMapView == this) ResetCurrentMapViewForTests();
}

bool CMapView::PreCreateWindow(CREATESTRUCT& cs, UINT& classStyle) {
    classStyle |= CS_DBLCLKS;
    return win::View::PreCreateWindow(cs, classStyle);
}

int CMapView::OnCreate(CREATESTRUCT* cs) {
    if (win::View::OnCreate(cs) == -1) return -1;
    WString title = LoadMapString(IDS_APP_TITLE);
    SetTrayIcon(1, title.c_str(), false);
    return 0;
}

void CMapView::OnDestroy() {
    if (IsGpsActive()) CloseGps();
    KillTimer(GetSafeHwnd(), kTimerTrayBlink);
    SetTrayIcon(0, nullptr, false);
}

bool CMapView::OnCmdMsg(UINT id, int code, CCmdUI* ui) {
    // The tool time-out counts commands the user gave.
    if (!ui) m_commandRouted = true;
    if (OnToolCommand(id, ui)) return true;
    if (OnFeatureCommand(id, ui)) return true;
    if (OnGpsCommand(id, ui)) return true;
    if (OnViewDialogCommand(id, ui)) return true;
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
        case ID_VIEW_ZOOMTOSELECTED: {
            CDoubleRect shape;
            enabled = HasLayers() && (HasCurrentFeature() ||
                                      GetShellServices()->GetFeatureSheetShape(shape) ||
                                      GetIdentifySelectionExtent(shape) || HasFoundFeature());
            break;
        }
        case ID_VIEW_FIND:
            enabled = HasLayers();
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
        case ID_VIEW_ZOOMPREVIOUS:
            ZoomPrevious();
            break;
        case ID_VIEW_ZOOMNEXT:
            ZoomNext();
            break;
        case ID_VIEW_FIXEDZOOMIN:
        case ID_VIEW_FIXEDZOOMOUT:
            e = GetExtent();
            e.Scale(id == ID_VIEW_FIXEDZOOMIN ? m_fixedZoom : 1.0 / m_fixedZoom);
            ZoomToExtent(e, true, 1.0);
            break;
        case ID_VIEW_ZOOMTOSELECTED:
            OnZoomToSelected();
            break;
        case ID_VIEW_FIND:
            RunFindDialog(this);
            Repaint(false);
            break;
        case ID_VIEW_ZOOMFULLEXTENT:
            ZoomToFullExtent();
            break;
        case ID_VIEW_REPAINT:
        case ID_VIEW_SCALEBAR:
            Repaint(false);
            break;
        case ID_VIEW_LAYERS:
            OnLayersCommand();
            break;
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
    if (!IsFiniteRect(extent) || extent.xmax - extent.xmin == 0 || extent.ymax - extent.ymin == 0 ||
        extent.IsEmpty()) {
        if (!m_doc || m_doc->GetLayers().GetFullExtent(extent, false) == 0 ||
            !IsFiniteRect(extent))
            extent = CDoubleRect(-1, -1, 1, 1);
    }
    extent.Normalize();
    m_transform.SetExtent(extent);
    OnUpdate(nullptr, 0);
    double cx, cy;
    extent.GetCenter(cx, cy);
    CenterAt(cx, cy);
    IMainWindow* frame = GetMainWindowServices();
    PreferencesData& prefs = GetPreferences()->Data();
    m_tracker.SetReadout(frame ? frame->GetMainStatusBar() : nullptr, 0, 1, 1,
                         prefs.statusbar.coordinates, prefs.statusbar.coordsformat);
    if (frame) {
        frame->SetModeIndicator(static_cast<int>(m_arrowKeyMode));
        frame->SetStatusText(u"Ready");
    }
    ClearDestination();
    if (m_doc) m_doc->GetLayers().SetCurrentFeature(nullptr, -1);
    // The tool buttons answer for the map now shown.
    UpdateEditToolbars();
    if (IsGpsActive()) CloseGps();
    if (HasUsableCoordSys() && prefs.gps.autoactivate && HasLayers()) OnGpsActive();
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
        frame->SetScaleText(ShownScaleDenominator(GetMapScale(true)));
}

RECT CMapView::ClientRect() const {
    return RECT{0, 0, std::max(m_transform.ClientWidth(), 0),
                std::max(m_transform.ClientHeight(), 0)};
}

void CMapView::UpdateEditToolbars() {
    IMainWindow* frame = GetMainWindowServices();
    // A view not yet shown answers no update query: nothing to follow yet.
    if (!frame || !GetSafeHwnd()) return;
    using Bar = IMainWindow::ToolBar;
    if (frame->IsToolBarShown(Bar::Browse)) {
        frame->UpdateToolBarStates(Bar::Browse);
        // The action button falls back to Identify when its tool is off.
        if (!frame->IsToolBarButtonEnabled(Bar::Browse, 3)) {
            frame->SetToolBarButton(Bar::Browse, 3, 1810, 5);
            frame->UpdateToolBarStates(Bar::Browse);
        }
    }
    if (!AnyEditLayer() || !frame->IsToolBarShown(Bar::Draw)) return;
    frame->UpdateToolBarStates(Bar::Draw);
    if (frame->IsToolBarButtonEnabled(Bar::Draw, 2)) return;
    // The draw button takes the draw command of an edit layer there is.
    UINT command = 1827;
    if (HasEditLayer(DisplayClass::Point))
        command = 1822;
    else if (HasEditLayer(DisplayClass::Line))
        command = m_tools.Current() == kToolPolyline       ? 1824
                  : m_tools.Current() == kToolFreehandLine ? 1825
                                                           : 1823;
    frame->SetToolBarButton(Bar::Draw, 2, command, static_cast<int>(command) - 1820);
    frame->UpdateToolBarStates(Bar::Draw);
}

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
        case WM_GPS_DATA:
            OnGpsData(wParam, lParam);
            return 0;
        case WM_GPS_POSITION:
            return OnGpsPosition(reinterpret_cast<GpsPosition*>(wParam));
        case WM_COMMONDIALOG_CLOSED:
            OnAlertClosed(static_cast<int>(wParam));
            return 0;
        case WM_VIEW_TRAYNOTIFY:
            OnTrayNotify(lParam);
            return 0;
        case WM_TIMER:
            OnTimer(static_cast<uintptr_t>(wParam));
            break;
        case WM_VIEW_GPSCATCHUP:
            CatchUpGps();
            return 0;
        case WM_MEASUREITEM:
        case WM_DRAWITEM:
            // The pictures of the view's menus are drawn by the main frame.
            if (wParam == 0 && GetParent(GetSafeHwnd()))
                return SendMessage(GetParent(GetSafeHwnd()), msg, wParam, lParam);
            break;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
        case WM_LBUTTONDBLCLK: {
            POINT p{static_cast<int16_t>(LOWORD(lParam)), static_cast<int16_t>(HIWORD(lParam))};
            UINT flags = static_cast<UINT>(wParam);
            if (msg == WM_LBUTTONDOWN)
                OnLButtonDown(flags, p);
            else if (msg == WM_LBUTTONUP)
                OnLButtonUp(flags, p);
            else if (msg == WM_MOUSEMOVE)
                OnMouseMove(flags, p);
            else
                OnLButtonDblClk(flags, p);
            break;
        }
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == GetSafeHwnd() &&
                OnSetCursor(static_cast<UINT>(LOWORD(lParam))))
                return 1;
            break;
        case WM_CAPTURECHANGED:
            OnCaptureChanged(reinterpret_cast<HWND>(lParam));
            break;
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
        case VK_LEFT:
            PanStep(PanDirection::Left);
            return;
        case VK_RIGHT:
            PanStep(PanDirection::Right);
            return;
        case VK_UP:
            if (m_arrowKeyMode == ArrowKeyMode::Zoom)
                OnCmdMsg(ID_VIEW_FIXEDZOOMOUT, 0, nullptr);
            else
                PanStep(m_arrowKeyMode == ArrowKeyMode::VerticalPan ? PanDirection::Up
                                                                    : PanDirection::Left);
            return;
        case VK_DOWN:
            if (m_arrowKeyMode == ArrowKeyMode::Zoom)
                OnCmdMsg(ID_VIEW_FIXEDZOOMIN, 0, nullptr);
            else
                PanStep(m_arrowKeyMode == ArrowKeyMode::VerticalPan ? PanDirection::Down
                                                                    : PanDirection::Right);
            return;
        case kVkF11:
        case kVkF23:
            m_arrowKeyMode = static_cast<ArrowKeyMode>((static_cast<int>(m_arrowKeyMode) + 1) % 3);
            MessageBeep(0x40);
            if (IMainWindow* frame = GetMainWindowServices())
                frame->SetModeIndicator(static_cast<int>(m_arrowKeyMode));
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
    m_vertexMarkers.SetTolerance(tolerance);
    m_tracker.SetHandleSize(m_vertexMarkers.Size() * 2);
    m_tracker.SetCoordinateFormat(prefs.statusbar.coordsformat);
    m_tools.SetPenTolerance(win::theme::Scale(tolerance), m_transform.XScale());
    m_sketch.DropPen();
    UpdateEditToolbars();
}

// ---- transform ----

double CMapView::RecomputeTransform() {
    // A window without area (minimised) has no transform: keep the last one.
    if (m_transform.Fit())
        m_tools.SetPenTolerance(win::theme::Scale(GetPreferences()->Data().display.tolerance),
                                m_transform.XScale());
    return m_tools.PenTolerance();
}

void CMapView::ScreenToMap(int px, int py, double& x, double& y) const {
    m_transform.ScreenToMap(px, py, x, y);
}

void CMapView::MapToScreen(double x, double y, int& px, int& py) const {
    m_transform.MapToScreen(x, y, px, py);
}

POINT CMapView::MapPointToScreen(const DoublePoint& p) const {
    return m_transform.MapPointToScreen(p);
}

CDoubleRect CMapView::ScreenRectToMap(const RECT& r) const {
    return m_transform.ScreenRectToMap(r);
}

int CMapView::GroundDistanceToPixels(double metres, double latitude) const {
    return m_transform.GroundDistanceToPixels(metres, latitude, MapCoordSys());
}

double CMapView::GetMapScale(bool rounded) const {
    HDC screen = CreateCompatibleDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    DeleteDC(screen);
    if (dpi <= 0) return 0;
    double screenWidth = 0.0254 / dpi * m_transform.ClientWidth();
    if (screenWidth <= 0) return 0;
    const CDoubleRect& extent = m_transform.Extent();
    double cy = extent.ymin + (extent.ymax - extent.ymin) * 0.5;
    CCoordSys* cs = MapCoordSys();
    double mapWidth = MeasureDistanceXY(cs, extent.xmin, cy, extent.xmax, cy);
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
    CDoubleRect e = GetExtent();
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
    const CDoubleRect& current = m_transform.Extent();
    double hx = (current.xmax - current.xmin) * 0.1 * 0.5;
    double hy = (current.ymax - current.ymin) * 0.1 * 0.5;
    CDoubleRect shown = e;
    double w = e.xmax - e.xmin, h = e.ymax - e.ymin;
    double gx = w == 0 ? hx : w * 0.5 * (margin - 1);
    double gy = h == 0 ? hy : h * 0.5 * (margin - 1);
    shown.xmin -= gx;
    shown.xmax += gx;
    shown.ymin -= gy;
    shown.ymax += gy;
    m_transform.SetExtent(shown);
    OnUpdate(nullptr, 1);
    double cx, cy;
    e.GetCenter(cx, cy);
    CenterAt(cx, cy);
}

void CMapView::CenterAt(double x, double y) {
    const CDoubleRect& e = m_transform.Extent();
    double dx = x - (e.xmin + (e.xmax - e.xmin) * 0.5);
    double dy = y - (e.ymin + (e.ymax - e.ymin) * 0.5);
    Pan(dx, dy, false);
}

void CMapView::Pan(double dx, double dy, bool recordHistory) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    if (recordHistory) PushExtentHistory();
    m_transform.Offset(dx, dy);
    OnRefresh();
}

void CMapView::PanStep(PanDirection direction) {
    static const int signs[8][2] = {{0, 1},  {0, -1}, {-1, 0},  {1, 0},
                                    {-1, 1}, {1, 1},  {-1, -1}, {1, -1}};
    int d = static_cast<int>(direction);
    if (d < 0 || d > 7) return;
    const CDoubleRect& e = m_transform.Extent();
    double dx = (e.xmax - e.xmin) / 6 * signs[d][0];
    double dy = (e.ymax - e.ymin) / 6 * signs[d][1];
    Pan(dx, dy, true);
}

void CMapView::PushExtentHistory() {
    m_history.Push(GetExtent());
}

void CMapView::ZoomPrevious() {
    CDoubleRect before;
    if (m_history.Previous(GetExtent(), before)) ZoomToExtent(before, false, 1.0);
}

void CMapView::ZoomNext() {
    CDoubleRect after;
    if (m_history.Next(after)) ZoomToExtent(after, false, 1.0);
}

void CMapView::ZoomAt(double x, double y, double factor, bool recordHistory) {
    CDoubleRect e = GetExtent();
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
        if (layers.GetFullExtent(e, true) == 0) {
            ShowMapMessage(kStrNoVisibleLayers, MB_OK | MB_ICONEXCLAMATION, kBeepNone);
            return;
        }
        ZoomToExtent(e, true, 1.1);
        return;
    }
    CCoordSys* cs = MapCoordSys();
    if (!cs || cs->m_projectionCode == 0) return;
    CTracklogLayer& track = layers.GetTracklog();
    if (track.IsVisible()) {
        track.GetExtent(e);
        if (cs->m_projectionCode != crs_code::kGeographic) e = TracklogExtentInMapUnits(cs, e);
        ZoomToExtent(e, false, 1.1);
    } else if (cs->m_projectionCode == crs_code::kGeographic) {
        ZoomToExtent(CDoubleRect(-180, -90, 180, 90), false, 1.0);
    }
}

void CMapView::OnRefresh() {
    RecomputeTransform();
    win::BeginWaitCursor();
    int width = m_transform.ClientWidth(), height = m_transform.ClientHeight();
    m_tracker.SetTransform(RECT{0, 0, width, height}, GetExtent());
    if (m_doc) m_doc->GetLayers().SetDrawExtent(GetExtent(), width, height);
    win::EndWaitCursor();
    // Pans and the final centring of a zoom end here: the document keeps
    // the extent shown, so a saved map opens where it was left.
    StoreDocumentExtent();
    // A resize refits the extent without an update: the pane follows.
    ShowMapScale();
    m_buffer.SetValid(false);
    m_buffer.SetInterrupted(false);
    if (GetSafeHwnd()) InvalidateRect(GetSafeHwnd(), nullptr, false);
}

void CMapView::StoreDocumentExtent() {
    if (HasLayers() && IsFiniteRect(GetExtent()) && m_transform.HasArea())
        m_doc->SetMapExtent(GetExtent());
}

void CMapView::PostRefresh() {
    if (GetSafeHwnd()) PostMessage(GetSafeHwnd(), WM_VIEW_REFRESH, 0, 0);
}

// ---- selection, destination, tools ----

void CMapView::SetGoToDestination(double x, double y, const WString* label) {
    WString text = label ? *label : LoadMapString(kStrDefaultGoToLabel);
    if (text.empty() && !label) text = u"MARK";
    const bool arm = GetPreferences()->Data().location.dstalert > 0;
    m_destination.Set(x, y, text, IsGeographicMap(), MapCoordSys(), arm, sys::GetTickCount64());
    FireScriptEvent(GetNavigationScriptObject(), kEventOnGoto, false, 0);
}

void CMapView::ClearDestination() {
    m_destination.Clear();
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
    // The current feature first, else the feature the modeless sheet shows,
    // the identify window's, the one Find marked.
    if (!CurrentFeatureExtent(e) && !GetShellServices()->GetFeatureSheetShape(e) &&
        !GetIdentifySelectionExtent(e) && !GetFoundFeatureExtent(e))
        e.SetEmpty();
    // An empty extent changes nothing.
    ZoomToExtent(e, true, 1.25);
}

void CMapView::OnLayersCommand() {
    if (!m_doc) return;
    bool changed = LayersRunner() ? LayersRunner()(m_doc) : false;
    if (changed || m_doc->GetLayers().m_layersChanged) {
        m_doc->SetModifiedFlag(true);
        CLayerList& layers = m_doc->GetLayers();
        if (layers.GetEditLayer(DisplayClass::Point) || layers.GetEditLayer(DisplayClass::Line) ||
            layers.GetEditLayer(DisplayClass::Polygon))
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
