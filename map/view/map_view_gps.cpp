// GPS on the map: the receiver's units and positions, the GPS cursor with
// auto-pan, the tracklog, streamed vertices, the Go To destination's
// distance and approach alert, GPS capture with its quality checks, the GPS
// commands, the watchdog, the notification icon and the raw GPS text
// display.
//
// Units arrive from the port's reader thread as posted WM_GPS_DATA; the
// reader waits until the unit is acknowledged. Everything here runs on the
// user-interface thread. Alerts, message boxes, the position window and
// script events may pump messages, so a new unit, a new position or a
// timer tick can arrive in the middle of a position: the position record
// is copied before any of them, and nothing is held across them.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/tap_and_hold.h"
#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/measure.h"
#include "formats/shape/shape_builders.h"
#include "formats/shape/shp_engine.h"
#include "map/layers/shape_layer.h"
#include "map/layers/tracklog_layer.h"
#include "map/map_messages.h"
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/res/resource.h"
#include "platform/sys/device.h"
#include "platform/sys/thread.h"
#include "platform/win/msgbox.h"
#include "platform/win/shell_notify.h"
#include "resources/zres.h"

namespace {

IDispatch* g_navigationScriptObject = nullptr;

constexpr COLORREF kDebugGood = 0x00FF00;
constexpr COLORREF kDebugBad = 0x0000FF;
constexpr COLORREF kDebugBackground = 0x400000;
constexpr WChar kPilcrow = 0xB6;
constexpr int kApproachAlert = 6;
// The receiver's script events.
constexpr int kGpsEventOnSentenceId = 14;
constexpr int kGpsEventOnPositionId = 15;
constexpr int kGpsEventOnExEventId = 39;
constexpr int kNoDataAlert = 0;

// The notification icon's images 1 to 4, loaded once for the program.
HICON TrayImage(int image) {
    static const HICON images[4] = {
        LoadIcon(res::GetProgramModule(), MAKEINTRESOURCE(IDI_GPS_IDLE), 16),
        LoadIcon(res::GetProgramModule(), MAKEINTRESOURCE(IDI_GPS_DATA1), 16),
        LoadIcon(res::GetProgramModule(), MAKEINTRESOURCE(IDI_GPS_DATA2), 16),
        LoadIcon(res::GetProgramModule(), MAKEINTRESOURCE(IDI_GPS_ALERT), 16),
    };
    return image >= 1 && image <= 4 ? images[image - 1] : nullptr;
}

// A fixed text field of the position record up to its first zero.
std::string FieldText(const char* field, size_t width) {
    const void* end = std::memchr(field, 0, width);
    return std::string(field, end ? static_cast<size_t>(static_cast<const char*>(end) - field) : width);
}

HWND TopLevel(HWND h) {
    for (HWND parent = GetParent(h); parent; parent = GetParent(h)) h = parent;
    return h;
}

// The point lies in the extent scaled about its centre by the margin.
bool InsideMargin(const CDoubleRect& extent, double margin, double x, double y) {
    CDoubleRect inner = extent;
    inner.Normalize();
    inner.Scale(margin);
    return x >= inner.xmin && x <= inner.xmax && y >= inner.ymin && y <= inner.ymax;
}

double NoDataToZero(double v) {
    return IsNoData(v) || !std::isfinite(v) ? 0 : v;
}

}  // namespace

void SetNavigationScriptObject(IDispatch* object) {
    g_navigationScriptObject = object;
}

IDispatch* GetNavigationScriptObject() {
    return g_navigationScriptObject;
}

// ---- helpers ----

bool CMapView::IsGpsOpen() const {
    return GetGps()->IsGpsActive();
}

bool CMapView::HasUsableCoordSys() const {
    CCoordSys* cs = MapCoordSys();
    return cs && cs->m_projectionCode != 0;
}

SketchVertex CMapView::GpsMapPosition() const {
    const GpsFix fix = GetGps()->GetProjectedFix();
    SketchVertex v;
    v.x = fix.x;
    v.y = fix.y;
    v.z = NoDataToZero(fix.z);
    v.m = IsNoData(fix.m) || !std::isfinite(fix.m) ? kNoDataMeasure : fix.m;
    return v;
}

bool CMapView::InGesture() const {
    HWND h = GetSafeHwnd();
    return m_holdRecognitions > 0 || (h && GetCapture() == h);
}

bool CMapView::RecognizeHold(HWND window, POINT p) {
    ++m_holdRecognitions;
    const bool held = RecognizeTapAndHold(window, p, false);
    --m_holdRecognitions;
    if (m_gpsHeldBack) PostMessage(GetSafeHwnd(), WM_VIEW_GPSCATCHUP, 0, 0);
    return held;
}

void CMapView::CatchUpGps() {
    if (!m_gpsHeldBack || InGesture()) return;
    m_gpsHeldBack = false;
    if (!m_gpsCursor.IsShown()) {
        Repaint(false);
        return;
    }
    // Auto-pan as the latest fix asks, then one paint: the map, the
    // streamed vertices, the tracklog and the cursor at the latest fix.
    const SketchVertex& p = m_gpsCursor.Position();
    const double margin = m_gpsCursor.AutoPanMargin();
    if (m_gpsCursor.AutoPan() && margin > 0 && std::isfinite(p.x) && std::isfinite(p.y)) {
        if (!InsideMargin(GetExtent(), margin, p.x, p.y)) {
            CenterAt(p.x, p.y);
            return;
        }
    }
    Repaint(false);
}

// ---- data from the port ----

void CMapView::OnGpsData(WPARAM wParam, LPARAM lParam) {
    IGps* gps = GetGps();
    // A unit of a stopped reader, or one already taken, is refused here
    // untouched; an accepted one is acknowledged on every way out.
    GpsAcknowledgeGuard guard(gps->Port(), wParam, lParam);
    if (!guard.Notification()) return;
    m_gpsCursor.SetDataReceived(true);
    if (GetPreferences()->Data().display.systemtrayGps) ShowGpsActivity();
    if (m_gpsCursor.FirstData()) {
        gps->Poll();
        m_gpsCursor.SetFirstData(false);
    }
    GpsPosition& position = gps->Position();
    if (m_gpsCursor.IsDebugDisplay()) {
        position.stateBits |= 1u;
        int length = 0;
        const uint8_t* data = gps->Port() ? gps->Port()->AcceptedData(&length) : nullptr;
        ShowGpsDebugText(data, length);
        return;
    }
    position.stateBits &= ~1u;
    const bool changed = gps->Parse(reinterpret_cast<const void*>(wParam));
    guard.Release();
    if (!changed) return;
    if (IMainWindow* frame = GetMainWindowServices())
        frame->OnGpsPosition(&position);
    else
        SendMessage(GetSafeHwnd(), WM_GPS_POSITION, reinterpret_cast<WPARAM>(&position), 0);
}

LRESULT CMapView::OnGpsPosition(GpsPosition* record) {
    if (!record) return 0;
    IGps* gps = GetGps();
    m_gpsCursor.SetDataReceived(true);
    // Our own copy: the record changes under us when a nested unit is
    // parsed while an alert or a message box is open. The events are taken
    // from the record now, so that each is fired once.
    GpsPosition fix;
    std::memcpy(&fix, record, sizeof fix);
    record->extEventBits = 0;
    record->updateBits = 0;

    CCoordSys* cs = MapCoordSys();
    bool usable = (fix.updateBits & 1u) != 0 && (fix.longitude != 0 || fix.latitude != 0) &&
                  !IsNoData(fix.longitude) && !IsNoData(fix.latitude) && HasUsableCoordSys();
    SketchVertex position;
    if (usable) {
        if (m_trayIcon.PendingAlert() == IDS_GPS_NO_POSITION) SetTrayAlert(0);
        gps->UpdatePosition(cs, &fix);
        position = GpsMapPosition();
        // A fix that does not convert has no place on this map.
        usable = std::isfinite(position.x) && std::isfinite(position.y) &&
                 !IsNoData(position.x) && !IsNoData(position.y);
    }
    if (usable) {
        if (gps->IsPositionWindowOpen()) gps->UpdatePositionWindow(cs);
        UpdateGpsCursor(fix.fixQuality, &position, fix.sog, fix.cog);
        AppendTracklog(gps);
        if (m_streaming) {
            const PreferencesData& prefs = GetPreferences()->Data();
            if (prefs.gps.qualitycontrolLevel == 0 || gps->IsPositionAcceptable()) {
                const int interval = std::max(1, prefs.gps.streamingInterval);
                m_streamCounter = (m_streamCounter + 1) % interval;
                if (m_streamCounter == 0 &&
                    (position.x != m_lastStreamed.x || position.y != m_lastStreamed.y)) {
                    m_lastStreamed = DoublePoint{position.x, position.y};
                    StreamVertex(position);
                }
            }
        }
        MeasureDestination(position);
        if (m_averagingListener && IsWindow(m_averagingListener))
            SendMessage(m_averagingListener, WM_AVERAGING_GPSFIX, 0, 0);
        gps->FireEvent(kGpsEventOnPositionId, 0);
    } else {
        UpdateGpsCursor(fix.fixQuality, nullptr, fix.sog, fix.cog);
        if (gps->IsPositionWindowOpen()) gps->UpdatePositionWindow(cs);
    }
    if (gps->IsProtocol("NMEA")) gps->FireEvent(kGpsEventOnSentenceId, 0);
    for (int i = 0; i < 32; ++i)
        if (fix.extEventBits & (1u << i)) gps->FireEvent(kGpsEventOnExEventId, i);
    return 0;
}

void CMapView::AppendTracklog(IGps* gps) {
    if (!m_doc) return;
    CTracklogLayer& track = m_doc->GetLayers().GetTracklog();
    if (!track.IsFileOpen()) return;
    const PreferencesData& prefs = GetPreferences()->Data();
    const uint64_t now = sys::GetTickCount64();
    if (prefs.tracklog.interval > 0 &&
        now < m_lastTracklogTime + static_cast<uint64_t>(prefs.tracklog.interval) * 1000u)
        return;
    if (!(prefs.tracklog.qualitycontrol ? gps->IsPositionAcceptable() : gps->HasFix())) return;
    if (!track.AppendPosition(MapCoordSys(), gps->GetWgs84Fix(), gps->GetDatumFix(),
                              gps->GetProjectedFix(), gps->Position()))
        return;
    m_lastTracklogTime = now;
    if (!track.IsVisible()) return;
    if (InGesture()) {
        m_gpsHeldBack = true;
        return;
    }
    HWND h = GetSafeHwnd();
    HDC dc = GetDC(h);
    DrawGpsCursor(dc, false, nullptr);
    const int saved = SaveDC(dc);
    track.Draw(dc, true, false);
    RestoreDC(dc, saved);
    DrawGpsCursor(dc, true, nullptr);
    ReleaseDC(h, dc);
}

void CMapView::StreamVertex(const SketchVertex& position) {
    if (m_sketch.IsActive()) {
        m_sketch.Reserve(m_sketch.Count() + 1);
        if (m_sketch.Count() >= m_sketch.Maximum() - 1) {
            MessageBeep(0x10);
            return;
        }
        if (!InGesture()) {
            AddSketchVertex(position);
            return;
        }
        // Into the sketch now; drawn when the pen is up.
        if (!m_sketch.RepeatsLast(position)) m_sketch.Append(position, MapPointToScreen({position.x, position.y}));
        m_gpsHeldBack = true;
        return;
    }
    const VertexAddMode mode = GetVertexAddMode();
    if (mode == VertexAddMode::Head || mode == VertexAddMode::Tail) AddVertexAtEnd(mode, position);
}

void CMapView::MeasureDestination(const SketchVertex& position) {
    if (!m_destination.IsSet()) return;
    CCoordSys* cs = MapCoordSys();
    const bool geographic = IsGeographicMap();
    double bearing = 0;
    const DoublePoint to{m_destination.MapX(geographic), m_destination.MapY(geographic)};
    double distance = MeasureDistance(cs, DoublePoint{position.x, position.y}, to, &bearing);
    if (!geographic && cs) distance *= cs->m_projectionUnitFactor;
    if (!std::isfinite(bearing)) bearing = 0;  // standing on it
    m_destination.SetDistance(distance, bearing);
    const double alertDistance = GetPreferences()->Data().location.dstalert;
    if (!(alertDistance > 0) || !(distance <= alertDistance)) return;
    FireScriptEvent(GetNavigationScriptObject(), kEventOnInRange, false, 0);
    if (m_destination.TakeApproachAlert(sys::GetTickCount64()))
        GetGps()->RaiseAlert(GetSafeHwnd(), kApproachAlert, GetSafeHwnd());
}

void CMapView::OnAlertClosed(int alert) {
    if (alert == kApproachAlert) m_destination.DisarmApproachAlert();
}

// ---- the cursor ----

void CMapView::ShowGpsCursor() {
    m_gpsCursor.Start(GetSafeHwnd(), GpsMapPosition());
    DrawGpsCursor(nullptr, true, nullptr);
}

void CMapView::HideGpsCursor() {
    DrawGpsCursor(nullptr, false, nullptr);
    m_gpsCursor.Stop();
}

int CMapView::AccuracyRadiusPixels() {
    IGps* gps = GetGps();
    const GpsPosition& p = gps->Position();
    const double quality = m_gpsCursor.QualityRadius();
    double radius = 0;
    if (quality == -1) {
        if (!IsNoData(p.epe)) radius = p.epe;
    } else if (quality == -2) {
        if (!IsNoData(p.hpe)) radius = p.hpe;
    } else if (quality > 0) {
        radius = quality;
    }
    if (!(radius > 0) || !std::isfinite(radius)) return 0;
    const double latitude =
        IsGeographicMap() ? m_gpsCursor.Position().y : gps->GetDatumFix().y;
    if (!std::isfinite(latitude) || IsNoData(latitude)) return 0;
    return std::max(0, GroundDistanceToPixels(radius, latitude));
}

void CMapView::DrawGpsCursor(HDC dc, bool show, const RECT* update) {
    if (m_gpsCursor.IsDebugDisplay()) return;
    if (update) {
        const RECT client = ClientRect();
        if (!EqualRect(update, &client)) {
            const RECT box = m_gpsCursor.BoxAt(m_gpsCursor.Point());
            RECT common;
            if (!IntersectRect(&common, &box, update)) return;
        }
        // The paint covered the old image and its circle.
        m_gpsCursor.ForgetDrawn();
    }
    if (InGesture()) {
        // Never between a rubber band's XOR drawings: after the gesture.
        m_gpsHeldBack = true;
        return;
    }
    HWND h = GetSafeHwnd();
    if (!h) return;
    HDC target = dc ? dc : GetDC(h);
    const SketchVertex& p = m_gpsCursor.Position();
    if (show && std::isfinite(p.x) && std::isfinite(p.y) && !IsNoData(p.x) && !IsNoData(p.y)) {
        int px, py;
        MapToScreen(p.x, p.y, px, py);
        m_gpsCursor.SetPoint(POINT{px, py});
        m_gpsCursor.Show(target, AccuracyRadiusPixels());
    } else {
        // Hidden, or no position yet: nowhere to draw it.
        m_gpsCursor.Hide(target);
    }
    if (!dc) ReleaseDC(h, target);
}

void CMapView::UpdateGpsCursor(int quality, const SketchVertex* position, double speed,
                               double course) {
    if (m_gpsCursor.IsDebugDisplay() || !m_gpsCursor.IsShown()) return;
    if (position) {
        const double margin = m_gpsCursor.AutoPanMargin();
        if (m_gpsCursor.AutoPan() && margin > 0 && !InGesture()) {
            if (!InsideMargin(GetExtent(), margin, position->x, position->y))
                CenterAt(position->x, position->y);
        }
        int px, py;
        MapToScreen(position->x, position->y, px, py);
        const POINT last = m_gpsCursor.Point();
        if (quality == m_gpsCursor.LastFixQuality() && px == last.x && py == last.y &&
            speed == m_gpsCursor.LastSpeed() && course == m_gpsCursor.LastCourse() &&
            m_gpsCursor.IsDrawn()) {
            m_gpsCursor.SetPosition(*position);
            return;
        }
        m_gpsCursor.SetLastMotion(speed, course);
    } else if (quality == m_gpsCursor.LastFixQuality()) {
        return;
    }
    m_gpsCursor.SetLastFixQuality(quality);
    DrawGpsCursor(nullptr, false, nullptr);
    if (position) m_gpsCursor.SetPosition(*position);
    m_gpsCursor.SetImage(GpsCursor::ImageFor(quality, speed, course));
    DrawGpsCursor(nullptr, true, nullptr);
}

void CMapView::HoldIdleTimeouts(bool restore, bool save) {
    static const UINT kSet[3] = {sys::SPI_SETBATTERYIDLETIMEOUT, sys::SPI_SETEXTERNALIDLETIMEOUT,
                                 sys::SPI_SETWAKEUPIDLETIMEOUT};
    static const UINT kGet[3] = {sys::SPI_GETBATTERYIDLETIMEOUT, sys::SPI_GETEXTERNALIDLETIMEOUT,
                                 sys::SPI_GETWAKEUPIDLETIMEOUT};
    if (restore) {
        for (int i = 0; i < 3; ++i) sys::SystemParametersInfo(kSet[i], m_savedIdleTimeouts[i], nullptr, 0);
        return;
    }
    if (save)
        for (int i = 0; i < 3; ++i) sys::SystemParametersInfo(kGet[i], 0, &m_savedIdleTimeouts[i], 0);
    for (int i = 0; i < 3; ++i) sys::SystemParametersInfo(kSet[i], kGpsIdleTimeout, nullptr, 0);
}

// ---- opening and closing ----

bool CMapView::OnGpsActive() {
    IGps* gps = GetGps();
    if (gps->IsGpsActive()) {
        CloseGps();
        return false;
    }
    if (!HasUsableCoordSys()) {
        ShowMapMessage(IDP_GPS_NO_PROJECTION, MB_OK | MB_ICONEXCLAMATION, kBeepNone);
        return false;
    }
    UpdateEditToolbars();
    IPreferences* preferences = GetPreferences();
    PreferencesData& prefs = preferences->Data();
    gps->SetDatum(prefs.gps.datum);
    preferences->ReadLocation();
    const GpsLocation location{prefs.location.longitude, prefs.location.latitude,
                               prefs.location.altitude, prefs.location.fourth};
    const bool restored =
        prefs.location.restore != 0 && location.longitude != 0 && location.latitude != 0;
    if (restored) {
        gps->SetPosition(location);
        gps->UpdatePosition(MapCoordSys(), &gps->Position());
    }
    m_lastTracklogTime = sys::GetTickCount64();
    gps->SetChecksumRequired(prefs.gps.checksum);
    WString initialize = prefs.gps.initialize;
    if (!initialize.empty()) initialize += u'\n';
    HWND h = GetSafeHwnd();
    if (!gps->Open(prefs.gps.protocol.c_str(), h, restored ? 1 : 0, location, initialize.c_str())) {
        IGpsPort* port = gps->Port();
        ShowMapMessageText(port ? port->GetErrorText() : WString(), MB_OK | MB_ICONERROR,
                           kBeepError);
        KillTimer(h, kTimerGpsWatchdog);
        return false;
    }
    ShowGpsCursor();
    HoldIdleTimeouts(false, true);
    if (restored) {
        const SketchVertex p = GpsMapPosition();
        if (std::isfinite(p.x) && std::isfinite(p.y)) CenterAt(p.x, p.y);
    }
    SetTimer(h, kTimerGpsWatchdog, kGpsWatchdogInterval, nullptr);
    m_gpsCursor.SetDataReceived(true);
    m_gpsCursor.SetFirstData(true);
    return true;
}

void CMapView::CloseGps() {
    IGps* gps = GetGps();
    HWND h = GetSafeHwnd();
    if (h) KillTimer(h, kTimerGpsWatchdog);
    HoldIdleTimeouts(true, false);
    // The reader has stopped when Close returns: a unit still queued is
    // refused by its port.
    gps->Close();
    HideGpsCursor();
    gps->ClosePositionWindow();
    if (m_doc) m_doc->GetLayers().GetTracklog().CloseFile();
    const GpsFix wgs84 = gps->GetWgs84Fix();
    if (!IsNoData(wgs84.x) && !IsNoData(wgs84.y) && std::isfinite(wgs84.x) &&
        std::isfinite(wgs84.y)) {
        IPreferences* preferences = GetPreferences();
        PreferencesData::Location& location = preferences->Data().location;
        location.longitude = wgs84.x;
        location.latitude = wgs84.y;
        location.altitude = NoDataToZero(wgs84.z);
        location.fourth = 0;
        preferences->WriteLocation();
    }
    if (h) SetTrayIcon(1, nullptr, true);
    if (m_gpsCursor.IsDebugDisplay())
        ToggleDebugDisplay();
    else
        Repaint(true);
}

// ---- commands ----

bool CMapView::OnGpsCommand(UINT id, CCmdUI* ui) {
    const bool open = IsGpsOpen();
    const bool drawing = m_sketch.IsActive() || GetVertexAddMode() != VertexAddMode::Off;
    bool enabled = true;
    int checked = -1;
    IGps* gps = GetGps();
    switch (id) {
        case ID_GPS_ENABLE:
            checked = open;
            break;
        case ID_GPS_CENTER:
        case ID_GPS_SENDMESSAGE:
            enabled = open;
            break;
        case ID_GPS_TRACKLOG: {
            const bool fileOpen = m_doc && m_doc->GetLayers().GetTracklog().IsFileOpen();
            enabled = open || fileOpen;
            checked = fileOpen;
            break;
        }
        case ID_GPS_DEBUG:
            checked = m_gpsCursor.IsDebugDisplay();
            break;
        case ID_GPS_POSITIONWINDOW:
            checked = gps->IsPositionWindowOpen();
            break;
        case ID_GPS_ADDPOINT:
            enabled = open && HasEditLayer(DisplayClass::Point);
            break;
        case ID_GPS_VERTEX:
            enabled = open && !m_streaming && drawing;
            break;
        case ID_GPS_STREAM:
            enabled = open && drawing;
            checked = m_streaming;
            break;
        case ID_GPS_SELECT:
            enabled = open && AnyEditLayer();
            break;
        default:
            return false;
    }
    if (AnswerCommandQuery(ui, enabled, checked) || !enabled) return true;
    switch (id) {
        case ID_GPS_ENABLE:
            OnGpsActive();
            break;
        case ID_GPS_CENTER: {
            const SketchVertex p = GpsMapPosition();
            if (std::isfinite(p.x) && std::isfinite(p.y) && !IsNoData(p.x) && !IsNoData(p.y))
                CenterAt(p.x, p.y);
            break;
        }
        case ID_GPS_TRACKLOG: {
            CTracklogLayer& track = m_doc->GetLayers().GetTracklog();
            if (track.IsFileOpen()) {
                track.CloseFile();
            } else if (track.OpenFile(1)) {
                track.SetVisible(true);
            } else {
                ShowMapMessage(IDP_TRACKLOG_OPEN_FAILED, MB_OK | MB_ICONERROR, kBeepNone,
                               {GetPreferences()->Data().tracklog.name});
            }
            Repaint(false);
            break;
        }
        case ID_GPS_DEBUG:
            ToggleDebugDisplay();
            break;
        case ID_GPS_POSITIONWINDOW:
            OnPositionWindowCommand();
            break;
        case ID_GPS_SENDMESSAGE:
            gps->RunSendMessage();
            break;
        case ID_GPS_ADDPOINT:
            CapturePoint();
            break;
        case ID_GPS_VERTEX:
            CaptureVertex();
            break;
        case ID_GPS_STREAM:
            m_streaming = !m_streaming;
            if (m_streaming) {
                m_streamCounter = 0;
                m_lastStreamed = DoublePoint{0, 0};
            }
            break;
        case ID_GPS_SELECT:
            SelectAtScreenPoint(m_gpsCursor.Point());
            break;
        default:
            break;
    }
    return true;
}

void CMapView::ToggleDebugDisplay() {
    if (IsGpsOpen() || m_gpsCursor.IsDebugDisplay()) {
        m_gpsCursor.SetDebugDisplay(!m_gpsCursor.IsDebugDisplay());
    } else {
        if (ShowMapMessage(IDP_GPS_ACTIVATE_NOW, MB_YESNO | MB_ICONQUESTION, kBeepNone) != IDYES)
            return;
        if (!OnGpsActive()) return;
        m_gpsCursor.SetDebugDisplay(true);
    }
    m_debugTextLine = 0;
    IGps* gps = GetGps();
    if (m_gpsCursor.IsDebugDisplay() && gps->IsPositionWindowOpen()) gps->ClosePositionWindow();
    OnRefresh();
}

void CMapView::OnPositionWindowCommand() {
    IGps* gps = GetGps();
    const bool open = IsGpsOpen();
    if (open || gps->IsPositionWindowOpen()) {
        if (open && m_gpsCursor.IsDebugDisplay()) {
            ToggleDebugDisplay();
            if (!gps->IsPositionWindowOpen()) gps->ShowPositionWindow();
            return;
        }
    } else {
        if (!HasUsableCoordSys()) {
            ShowMapMessage(IDP_GPS_NO_PROJECTION, MB_OK | MB_ICONEXCLAMATION, kBeepNone);
            return;
        }
        if (ShowMapMessage(IDP_GPS_ACTIVATE_NOW, MB_YESNO | MB_ICONQUESTION, kBeepNone) != IDYES)
            return;
        if (!OnGpsActive()) return;
    }
    if (gps->IsPositionWindowOpen())
        gps->ClosePositionWindow();
    else
        gps->ShowPositionWindow();
}

void CMapView::CapturePoint() {
    CShapeLayer* layer = EditShapeLayer(DisplayClass::Point);
    if (!layer || !layer->GetHandle()) return;
    SketchVertex v;
    if (!GpsCapturePosition(v, true)) return;
    const int index = ShpAppendPointZM(layer->GetHandle(), v.x, v.y, v.z, v.m);
    if (index < 0) {
        MessageBeep(0x10);
        FinishAppend(layer, index, nullptr);
        return;
    }
    // Averaging feeds the point's form: without a form nobody would take
    // its result, and the single fix stands.
    const PreferencesData& prefs = GetPreferences()->Data();
    if (prefs.gps.averagingEnabled && prefs.gps.averagingPoint > 0 && IsGpsOpen() &&
        layer->GetShowEditForm())
        GetGps()->StartAveraging();
    FinishAppend(layer, index, nullptr);
}

void CMapView::CaptureVertex() {
    SketchVertex v;
    if (!GpsCapturePositionAveraged(v, true)) return;
    if (m_sketch.IsActive()) {
        AddSketchVertex(v);
        return;
    }
    const VertexAddMode mode = GetVertexAddMode();
    if (mode == VertexAddMode::Head || mode == VertexAddMode::Tail) AddVertexAtEnd(mode, v);
}

bool CMapView::CheckCapture(bool check) {
    IGps* gps = GetGps();
    const SketchVertex p = GpsMapPosition();
    // Never a position without data into a file, whatever the checks say.
    if (IsNoData(p.x) || IsNoData(p.y) || !std::isfinite(p.x) || !std::isfinite(p.y)) {
        if (check) ShowMapMessage(IDP_NO_POSITION_FIX, MB_OK | MB_ICONERROR, kBeepNone);
        return false;
    }
    const int level = GetPreferences()->Data().gps.qualitycontrolLevel;
    if (!check || level <= 0) return true;
    const WString tail = LoadMapString(level == 1 ? IDS_GPS_CAPTURE_ANYWAY : IDS_GPS_CAPTURE_REFUSED);
    const UINT buttons = level == 1 ? MB_YESNO : MB_OK;
    struct Check {
        UINT message;
        UINT icon;
        bool (IGps::*passes)();
    };
    static const Check kChecks[] = {
        {IDP_NO_POSITION_FIX, MB_ICONERROR, &IGps::HasFix},
        {IDP_NOT_DGPS_FIX, MB_ICONEXCLAMATION, &IGps::CheckDgps},
        {IDP_NOT_3D_FIX, MB_ICONEXCLAMATION, &IGps::Check3D},
        {IDP_MAX_PDOP_EXCEEDED, MB_ICONEXCLAMATION, &IGps::CheckMaxPdop},
        {IDP_MAX_EPE_EXCEEDED, MB_ICONEXCLAMATION, &IGps::CheckMaxEpe},
    };
    for (const Check& c : kChecks) {
        if ((gps->*c.passes)()) continue;
        const int answer =
            ShowMapMessageText(LoadMapString(c.message) + tail, buttons | c.icon, kBeepNone);
        if (level != 1 || answer != IDYES) return false;
    }
    return true;
}

bool CMapView::GpsCapturePosition(SketchVertex& vertex, bool check) {
    if (!IsGpsOpen()) {
        if (check) ShowMapMessage(IDP_GPS_NOT_ACTIVE, MB_OK | MB_ICONERROR, kBeepNone);
        return false;
    }
    if (!CheckCapture(check)) return false;
    // Read again: the questions may have pumped a newer fix in.
    const SketchVertex p = GpsMapPosition();
    if (IsNoData(p.x) || IsNoData(p.y) || !std::isfinite(p.x) || !std::isfinite(p.y)) return false;
    vertex = p;
    return true;
}

// ---- timers ----

void CMapView::OnTimer(uintptr_t id) {
    IGps* gps = GetGps();
    if (id == kTimerGpsWatchdog) {
        m_gpsCursor.SetFirstData(true);
        const bool received = m_gpsCursor.DataReceived();
        m_gpsCursor.SetDataReceived(false);
        HWND h = GetSafeHwnd();
        if (!received) {
            gps->RaiseAlert(nullptr, kNoDataAlert, h);
            gps->InvalidateFix();
            if (gps->IsPositionWindowOpen()) gps->UpdatePositionWindow(MapCoordSys());
        } else if (!m_gpsCursor.IsDebugDisplay()) {
            static const std::pair<bool (IGps::*)(), int> kAlerts[] = {
                {&IGps::HasFix, 3},       {&IGps::CheckDgps, 4},    {&IGps::Check3D, 5},
                {&IGps::CheckMaxPdop, 1}, {&IGps::CheckMaxEpe, 2},
            };
            for (const auto& [passes, alert] : kAlerts)
                if (!(gps->*passes)()) {
                    gps->RaiseAlert(nullptr, alert, h);
                    break;
                }
        }
    } else if (id == kTimerTrayBlink) {
        SetTrayIcon(m_trayIcon.Image() == 4 ? 1 : 4, nullptr, true);
    } else if (id == kTimerToolTimeout) {
        if (!m_commandRouted && m_tools.Current() != kToolNone) {
            m_tools.Choose(kToolNone);
            MessageBeep(0x40);
        }
        m_commandRouted = false;
    }
}

// ---- the notification icon ----

void CMapView::SetTrayIcon(int image, const WChar* tip, bool modify) {
    NOTIFYICONDATA data;
    data.hWnd = GetSafeHwnd();
    data.uID = kViewTrayIconId;
    data.uCallbackMessage = WM_VIEW_TRAYNOTIFY;
    m_trayIcon.SetImage(image);
    if (image == 0 && !tip) {
        Shell_NotifyIcon(NIM_DELETE, &data);
        return;
    }
    data.uFlags = NIF_MESSAGE;
    if (image > 0) {
        data.uFlags |= NIF_ICON;
        data.hIcon = TrayImage(image);
    }
    if (tip) {
        data.uFlags |= NIF_TIP;
        const size_t n = std::min<size_t>(std::char_traits<WChar>::length(tip), 63);
        std::copy(tip, tip + n, data.szTip);
        data.szTip[n] = 0;
    }
    Shell_NotifyIcon(modify ? NIM_MODIFY : NIM_ADD, &data);
}

void CMapView::SetTrayAlert(UINT stringId) {
    HWND h = GetSafeHwnd();
    if (stringId != 0) {
        if (m_trayIcon.PendingAlert() == 0) SetTimer(h, kTimerTrayBlink, kTrayBlinkInterval, nullptr);
        SetTrayIcon(4, nullptr, true);
        MessageBeep(0x30);
    } else {
        KillTimer(h, kTimerTrayBlink);
        SetTrayIcon(1, nullptr, true);
    }
    m_trayIcon.SetPendingAlert(static_cast<int>(stringId));
}

void CMapView::ShowGpsActivity() {
    SetTrayIcon(m_trayIcon.Image() == 3 ? 2 : 3, nullptr, true);
}

void CMapView::OnTrayNotify(LPARAM mouseMessage) {
    if (mouseMessage != WM_LBUTTONUP) return;
    HWND main = TopLevel(GetSafeHwnd());
    SetForegroundWindow(main);
    const int pending = m_trayIcon.PendingAlert();
    if (pending == 0) return;
    SetTrayAlert(0);
    ShowMapMessage(static_cast<UINT>(pending), MB_OK | MB_ICONEXCLAMATION, kBeepNone);
    SetForegroundWindow(main);
}

// ---- the raw GPS text display ----

void CMapView::ShowGpsDebugText(const uint8_t* data, int length) {
    IGps* gps = GetGps();
    WString text;
    COLORREF colour = kDebugBad;
    if (gps->IsProtocol("NMEA")) {
        std::string sentence;
        if (data && length > 0) {
            const void* zero = std::memchr(data, 0, static_cast<size_t>(length));
            const size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - data)
                                  : static_cast<size_t>(length);
            sentence.assign(reinterpret_cast<const char*>(data), n);
        }
        for (char c : sentence) text += static_cast<WChar>(static_cast<uint8_t>(c));
        if (text.size() > 2 && text.back() == u'\r') text.back() = kPilcrow;
        colour = gps->CheckNmeaChecksum(sentence.c_str()) ? kDebugGood : kDebugBad;
    } else {
        const bool parsed = data && gps->Parse(data);
        const GpsPosition& p = gps->Position();
        const std::string name = FieldText(p.packetName, sizeof p.packetName);
        const std::string raw = FieldText(p.rawSentence, sizeof p.rawSentence);
        const uint32_t packet = static_cast<uint32_t>(p.lastPacketId);
        if (parsed) {
            text = text::Format(u"Packet 0x%04X (%04u) %08X %S %S", packet, packet,
                                p.lastSequenceValue, name.c_str(), raw.c_str());
            colour = kDebugGood;
        } else {
            const std::string error = FieldText(p.errorText, sizeof p.errorText);
            text = text::Format(u"Packet 0x%04X (%04u) %08X %08X %S %S %S", packet, packet,
                                p.lastSequenceValue, static_cast<uint32_t>(p.errorCode),
                                error.c_str(), name.c_str(), raw.c_str());
        }
    }
    HWND h = GetSafeHwnd();
    if (!h) return;
    const RECT client = ClientRect();
    HDC dc = GetDC(h);
    const int saved = SaveDC(dc);
    SetTextColor(dc, colour);
    SetBkColor(dc, kDebugBackground);
    SetBkMode(dc, OPAQUE);
    RECT measure{0, 0, client.right, 0};
    const int height = DrawText(dc, text.c_str(), static_cast<int>(text.size()), &measure,
                                DT_WORDBREAK | DT_CALCRECT);
    if (m_debugTextLine + height >= client.bottom) {
        const int up = m_debugTextLine + height - client.bottom;
        if (up > 0) {
            ScrollWindowEx(h, 0, -up, nullptr, nullptr, nullptr, nullptr, 0);
            RECT band{0, client.bottom - up, client.right, client.bottom};
            gdi::OwnedBrush brush(CreateSolidBrush(kDebugBackground));
            FillRect(dc, &band, brush.get());
        }
        m_debugTextLine -= up;
    }
    RECT line{0, m_debugTextLine, client.right, m_debugTextLine + height};
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &line, DT_WORDBREAK);
    m_debugTextLine += height;
    RestoreDC(dc, saved);
    ReleaseDC(h, dc);
}
