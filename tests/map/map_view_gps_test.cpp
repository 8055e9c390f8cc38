// GPS on the map through a recording receiver and a port double whose units
// are posted from a worker thread, as the serial reader posts them: the
// cursor, auto-pan, the tracklog, streaming, the destination and its alert,
// capture and its checks, the watchdog, closing with units still queued,
// the last location, the notification icon, the raw text display and the
// view's coordinate, scale and bookmark dialogs.
#include <cmath>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

#include "crs/coord_sys.h"
#include "map/dialogs/vertex_dlg.h"
#include "map/map_messages.h"
#include "map/services/gps.h"
#include "map/services/preferences.h"
#include "map/view/map_view.h"
#include "platform/sys/device.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/shell_notify.h"
#include "resources/zres.h"
#include "tests/map/edit_harness.h"

using namespace viewtest;
using Gesture = win::input::Gesture;

namespace {

// The port as the view meets it: a unit is posted from another thread and
// stays pending until the view accepts it; a stopped port refuses every
// notification still queued.
class CFakeGpsPort : public IGpsPort {
public:
    // Posts the unit as WM_GPS_DATA from a worker thread.
    void Post(HWND window, const std::string& unit) {
        const uint8_t* data;
        {
            std::lock_guard lock(m_lock);
            m_units.push_back(unit);
            data = reinterpret_cast<const uint8_t*>(m_units.back().c_str());
            m_pending.push_back({++m_counter, data, static_cast<int>(unit.size())});
        }
        std::thread([=, this] {
            PostMessage(window, WM_GPS_DATA, reinterpret_cast<WPARAM>(data),
                        reinterpret_cast<LPARAM>(this));
        }).join();
    }
    void Stop() {
        std::lock_guard lock(m_lock);
        m_stopped = true;
        m_pending.clear();
    }
    uint32_t AcceptNotification(WPARAM wParam, LPARAM lParam) override {
        std::lock_guard lock(m_lock);
        if (m_stopped || reinterpret_cast<CFakeGpsPort*>(lParam) != this || m_pending.empty() ||
            m_pending.front().data != reinterpret_cast<const uint8_t*>(wParam))
            return 0;
        m_accepted = m_pending.front();
        m_pending.pop_front();
        return m_accepted.id;
    }
    void Acknowledge(uint32_t notification) override {
        std::lock_guard lock(m_lock);
        acknowledged.push_back(notification);
        if (notification == m_accepted.id) m_accepted = {};
    }
    WString GetErrorText() override { return errorText; }
    const uint8_t* AcceptedData(int* length) const override {
        if (length) *length = m_accepted.length;
        return m_accepted.data;
    }

    std::vector<uint32_t> acknowledged;
    WString errorText = u"The port COM1: could not be opened.";

private:
    struct Unit {
        uint32_t id = 0;
        const uint8_t* data = nullptr;
        int length = 0;
    };
    std::mutex m_lock;
    std::deque<std::string> m_units;
    std::deque<Unit> m_pending;
    Unit m_accepted;
    uint32_t m_counter = 0;
    bool m_stopped = false;
};

// A receiver whose every answer the test sets: each parsed unit becomes
// `next` when `parses` is on; positions are converted with the map's own
// system (the receiver and the map both on WGS 1984).
class CFakeGps : public CInactiveGps {
public:
    CFakeGps() {
        std::memset(&next, 0, sizeof next);
        next.updateBits = 1;
        next.fixQuality = 1;
        next.epe = next.hpe = -1.7976931348623157e308;
    }
    bool IsGpsActive() override { return open; }
    bool Open(const WChar* protocol, HWND, int options, const GpsLocation& location,
              const WChar* initialize) override {
        opens.push_back({protocol, options, location.longitude, location.latitude, initialize});
        open = openResult;
        return open;
    }
    void Close() override {
        ++closes;
        port.Stop();
        open = false;
    }
    bool Parse(const void* block) override {
        parsed.emplace_back(static_cast<const char*>(block));
        if (!parses) return false;
        std::memcpy(&Position(), &next, sizeof next);
        return true;
    }
    void Poll() override { ++polls; }
    bool UpdatePosition(CCoordSys* cs, GpsPosition* p) override {
        ++conversions;
        wgs84 = GpsFix{p->longitude, p->latitude, p->height, 0};
        projected = wgs84;
        if (cs && cs->m_projectionCode != 1)
            cs->GeographicToProjected(p->longitude, p->latitude, &projected.x, &projected.y);
        return true;
    }
    bool SetDatum(WStringView) override { return true; }
    void SetPosition(const GpsLocation& l) override {
        Position().longitude = l.longitude;
        Position().latitude = l.latitude;
        Position().height = l.altitude;
    }
    void InvalidateFix() override { ++invalidations; }
    void FireEvent(int id, int arg) override { events.push_back({id, arg}); }
    bool IsProtocol(const char* code) override { return protocol == code; }
    bool CheckNmeaChecksum(const char* s) override {
        // "*hh" after the text: the XOR of the characters between '$' and '*'.
        const char* star = std::strchr(s, '*');
        if (s[0] != '$' || !star) return false;
        unsigned sum = 0;
        for (const char* c = s + 1; c < star; ++c) sum ^= static_cast<unsigned char>(*c);
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", sum);
        return std::strncmp(star + 1, hex, 2) == 0;
    }
    bool HasFix() override { return checks[0]; }
    bool CheckDgps() override { return checks[1]; }
    bool Check3D() override { return checks[2]; }
    bool CheckMaxPdop() override { return checks[3]; }
    bool CheckMaxEpe() override { return checks[4]; }
    bool IsPositionAcceptable() override { return acceptable; }
    void StartAveraging() override { ++averagingStarts; }
    GpsFix GetWgs84Fix() override { return wgs84; }
    GpsFix GetDatumFix() override { return wgs84; }
    GpsFix GetProjectedFix() override { return projected; }
    IGpsPort* Port() override { return &port; }
    void RaiseAlert(HWND owner, int alert, HWND notify) override {
        alerts.push_back(alert);
        if (onAlert) onAlert(owner, alert, notify);
    }
    bool IsPositionWindowOpen() override { return windowOpen; }
    void ShowPositionWindow() override { windowOpen = true; }
    void ClosePositionWindow() override { windowOpen = false; }
    void UpdatePositionWindow(CCoordSys*) override { ++windowUpdates; }

    struct OpenCall {
        WString protocol;
        int options;
        double longitude, latitude;
        WString initialize;
    };
    CFakeGpsPort port;
    GpsPosition next;
    bool open = false, openResult = true, parses = true, acceptable = true, windowOpen = false;
    bool checks[5] = {true, true, true, true, true};
    std::string protocol = "NMEA";
    GpsFix wgs84{NAN, NAN, NAN, 0}, projected{NAN, NAN, NAN, 0};
    std::vector<OpenCall> opens;
    std::vector<std::string> parsed;
    std::vector<int> alerts;
    std::vector<std::pair<int, int>> events;
    std::function<void(HWND, int, HWND)> onAlert;
    int closes = 0, polls = 0, conversions = 0, invalidations = 0, averagingStarts = 0;
    int windowUpdates = 0;
};

// Preferences that keep the location they are asked to write.
class CLocationPreferences : public CPlainPreferences {
public:
    void ReadLocation() override { ++reads; }
    void WriteLocation() override {
        ++writes;
        written = m_data.location;
    }
    int reads = 0, writes = 0;
    PreferencesData::Location written;
};

constexpr double kLon = 15.25, kLat = 52.5;

class MapViewGps : public EditHarness {
protected:
    void SetUp() override {
        EditHarness::SetUp();
        SetGps(&gps_);
        SetPreferences(&prefs_);
        win::ResetTray();
        sys::test::ResetDevice();
    }
    void TearDown() override {
        win::ClearModalHooks();
        if (view_) view_->SetAveragingListener(nullptr);
        EditHarness::TearDown();
        SetPreferences(nullptr);
        SetGps(nullptr);
        win::ResetTray();
    }
    PreferencesData& Prefs() { return prefs_.Data(); }
    // The view, its frame and the map's layers gone, the receiver closed:
    // ready for the next map of a table.
    void CloseMap() {
        gps_.open = false;
        doc_.RemoveView(view_.get());
        view_.reset();
        DestroyWindow(frame_);
        frame_ = nullptr;
        doc_.GetLayers().RemoveAll();
    }

    // A UTM zone 33 map around the fix (1 km square).
    void OpenUtm(int width = 240, int height = 300) {
        CCoordSys* cs = MakeCoordSys(kUtm33Wkt);
        double x, y;
        cs->GeographicToProjected(kLon, kLat, &x, &y);
        UseCoordSys(cs);
        AddLayer(new CFillLayer(0x808080, {CDoubleRect(x - 500, y - 500, x + 500, y + 500)}));
        UseExtent(CDoubleRect(x - 500, y - 500, x + 500, y + 500));
        OpenView(width, height);
    }
    void OpenGps() {
        mainWindow_.relayGpsTo = View();
        Command(ID_GPS_ENABLE);
        ASSERT_TRUE(gps_.open);
    }
    // The receiver reads a unit that moves the fix.
    void Fix(double lon, double lat, double speed = 0, double course = 0, int quality = 1) {
        gps_.next.longitude = lon;
        gps_.next.latitude = lat;
        gps_.next.sog = speed;
        gps_.next.cog = course;
        gps_.next.fixQuality = static_cast<uint16_t>(quality);
        Unit("$GPGGA");
    }
    // A unit posted from the reader's thread and handled.
    void Unit(const std::string& text) {
        gps_.port.Post(View(), text);
        Pump();
    }
    POINT FixPixel(double lon, double lat) {
        double x = lon, y = lat;
        CCoordSys* cs = doc_.GetMapCoordSys();
        if (cs->m_projectionCode != 1) cs->GeographicToProjected(lon, lat, &x, &y);
        int px, py;
        view_->MapToScreen(x, y, px, py);
        return POINT{px, py};
    }
    std::vector<WString> Boxes() {
        std::vector<WString> out;
        for (const auto& r : win::MessageBoxLog()) out.push_back(r.text);
        return out;
    }

    CFakeGps gps_;
    CLocationPreferences prefs_;
};

// A sentence with its checksum right, or off by one.
std::string Sentence(const std::string& body, bool right = true) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r", right ? sum : (sum + 1) & 0xFF);
    return "$" + body + tail;
}

std::string Utf8(const WString& s) {
    return text::ToUtf8(s);
}

// ---- the fix ----

TEST_F(MapViewGps, OnlyAUsableFixMovesTheCursorTheRestChangesItsImageOnly) {
    struct Case {
        const char* what;
        uint32_t updateBits;
        double lon, lat;
        int projection;  // 0 none, 1 geographic code 0, 2 UTM
    } cases[] = {
        {"position bit off", 0, kLon, kLat, 2},
        {"longitude and latitude 0", 1, 0, 0, 2},
        {"no coordinate system", 1, kLon, kLat, 0},
        {"projection code 0", 1, kLon, kLat, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.projection == 2) {
            OpenUtm();
        } else {
            CCoordSys* cs = c.projection == 0 ? nullptr : MakeCoordSys(kUtm33Wkt);
            if (cs) cs->m_projectionCode = 0;
            OpenView();
            doc_.SetMapCoordSys(cs, false);
        }
        // The GPS opens on a usable map only; this one loses its system
        // after opening.
        gps_.open = true;
        mainWindow_.relayGpsTo = View();
        view_->ShowGpsCursor();
        const CDoubleRect extent = view_->GetExtent();
        const POINT point = view_->GetGpsCursor().Point();
        gps_.next.updateBits = c.updateBits;
        const int conversions = gps_.conversions;
        Fix(c.lon, c.lat, 5, 90);
        EXPECT_EQ(gps_.conversions, conversions);
        EXPECT_EQ(view_->GetGpsCursor().Image(), 2);  // the quality alone: moving east
        EXPECT_EQ(view_->GetGpsCursor().Point().x, point.x);
        EXPECT_EQ(view_->GetGpsCursor().Point().y, point.y);
        EXPECT_EQ(view_->GetExtent(), extent);
        EXPECT_TRUE(std::isnan(view_->GetGpsCursor().Position().x));
        gps_.next.updateBits = 1;
        CloseMap();
    }
}

TEST_F(MapViewGps, CursorImagePointsIntoTheCourseSector) {
    struct Case {
        int quality;
        double speed, course;
        int image;
    } cases[] = {
        {0, 5, 90, 9},   {1, 0, 90, 0},    {1, 5, -1.7976931348623157e308, 0},
        {1, 5, 10, 1},   {1, 5, 45, 1},    {1, 5, 45.5, 2},
        {1, 5, 90, 2},   {1, 5, 350, 8},   {2, 5, 359, 8},
        {1, 5, 180, 4},  {1, 5, 1e300, 1}, {1, NAN, 90, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GpsCursor::ImageFor(c.quality, c.speed, c.course), c.image)
            << c.quality << " " << c.speed << " " << c.course;
}

// The 32x32 picture of an image over a background, as the image list
// draws it.
std::vector<COLORREF> ImageOver(HIMAGELIST images, int image, int side, COLORREF background) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateBitmap(side, side, 1, 32, nullptr);
    HBITMAP old = SelectObject(dc, bitmap);
    RECT all{0, 0, side, side};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ImageList_Draw(images, image, dc, 0, 0, ILD_TRANSPARENT);
    std::vector<COLORREF> out;
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x) out.push_back(GetPixel(dc, x, y));
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return out;
}

TEST_F(MapViewGps, CursorSitsAtTheProjectedFixAndHidingRestoresTheMapBitwise) {
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        gdi::SetScreenMetrics(gdi::ScreenMetrics{32, dpi, dpi});
        Prefs().display.systemtrayGps = false;
        OpenUtm();
        OpenGps();
        Repaint();
        const std::vector<COLORREF> before = Client();
        Fix(kLon + 0.001, kLat - 0.001, 4, 90);
        const GpsCursor& cursor = view_->GetGpsCursor();
        const int side = dpi == 96 ? 32 : 64;
        ASSERT_EQ(cursor.Size(), side);
        const POINT at = FixPixel(kLon + 0.001, kLat - 0.001);
        EXPECT_EQ(cursor.Point().x, at.x);
        EXPECT_EQ(cursor.Point().y, at.y);
        EXPECT_EQ(cursor.Image(), 2);
        // The pixels that changed are exactly the image in its box.
        const std::vector<COLORREF> after = Client();
        const RECT box = cursor.BoxAt(at);
        const int w = view_->GetClientWidth();
        const std::vector<COLORREF> picture = ImageOver(cursor.Images(), 2, side, 0x808080);
        int changed = 0;
        for (int y = 0; y < view_->GetClientHeight(); ++y)
            for (int x = 0; x < w; ++x) {
                const size_t i = static_cast<size_t>(y * w + x);
                const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                if (!inside) {
                    ASSERT_EQ(after[i], before[i]) << x << "," << y;
                    continue;
                }
                const COLORREF want =
                    picture[static_cast<size_t>((y - box.top) * side + (x - box.left))];
                ASSERT_EQ(after[i], want) << x << "," << y;
                changed += after[i] != before[i];
            }
        EXPECT_GT(changed, 0);
        // A paint that misses the box leaves the cursor alone.
        RECT away{0, 0, 4, 4};
        InvalidateRect(View(), &away, false);
        Pump();
        EXPECT_EQ(Client(), after);
        view_->HideGpsCursor();
        EXPECT_EQ(Client(), before);
        CloseMap();
    }
    gdi::SetScreenMetrics(gdi::ScreenMetrics{32, 96, 96});
}

// GeodSolve's distance in metres between two points on WGS 1984.
double GeodDistance(double lat1, double lon1, double lat2, double lon2, double* azimuth = nullptr) {
    std::ostringstream cmd;
    cmd.precision(17);
    cmd << "echo " << lat1 << " " << lon1 << " " << lat2 << " " << lon2 << " | GeodSolve -i -p 9";
    FILE* f = popen(cmd.str().c_str(), "r");
    double a1 = NAN, a2 = NAN, s = NAN;
    if (f) {
        if (std::fscanf(f, "%lf %lf %lf", &a1, &a2, &s) != 3) s = NAN;
        pclose(f);
    }
    if (azimuth) *azimuth = a1 < 0 ? a1 + 360 : a1;
    return s;
}

TEST_F(MapViewGps, AccuracyCircleRadiusFromEpeOrHpe) {
    struct Case {
        bool utm;
        double quality;  // -1 EPE, -2 HPE, above 0 metres
    } cases[] = {{true, -1}, {true, -2}, {true, 25}, {false, -1}, {false, -2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.utm) + " " + std::to_string(c.quality));
        if (c.utm) {
            OpenUtm();
        } else {
            UseExtent(CDoubleRect(kLon - 0.01, kLat - 0.01, kLon + 0.01, kLat + 0.01));
            OpenView();
        }
        OpenGps();
        view_->GetGpsCursor().SetQualityRadius(c.quality);
        gps_.next.epe = 60;
        gps_.next.hpe = 40;
        Fix(kLon, kLat, 0, 0, 2);
        const double metres = c.quality == -1 ? 60 : c.quality == -2 ? 40 : c.quality;
        // Pixels per metre: on UTM from the extent, on a geographic map from
        // the geodesic length of a degree of longitude at the latitude.
        double perMetre = view_->GetXScale();
        if (!c.utm) perMetre /= GeodDistance(kLat, 0, kLat, 1);
        const int r = static_cast<int>(metres * perMetre);
        const RECT circle = view_->GetGpsCursor().AccuracyCircle();
        const POINT at = view_->GetGpsCursor().Point();
        EXPECT_GT(r, 2);
        EXPECT_EQ(circle.right - at.x, r);
        EXPECT_EQ(at.y - circle.top, r);
        CloseMap();
    }
}

TEST_F(MapViewGps, AutoPanKeepsTheFixInTheMiddleOfTheWindow) {
    OpenUtm();
    OpenGps();
    const CDoubleRect start = view_->GetExtent();
    const double w = start.xmax - start.xmin;
    double cx, cy;
    start.GetCenter(cx, cy);
    CCoordSys* cs = doc_.GetMapCoordSys();
    auto lonLat = [&](double x, double y, double& lon, double& lat) {
        cs->ProjectedToGeographic(x, y, &lon, &lat);
    };
    double lon, lat;
    // Inside the central 90 %: stays.
    lonLat(cx + w * 0.44, cy, lon, lat);
    Fix(lon, lat);
    EXPECT_EQ(view_->GetExtent(), start);
    // Beyond it: centred on the fix.
    lonLat(cx + w * 0.47, cy, lon, lat);
    Fix(lon, lat);
    double nx, ny;
    view_->GetExtent().GetCenter(nx, ny);
    EXPECT_NEAR(nx, cx + w * 0.47, 1e-6);
    EXPECT_NEAR(ny, cy, 1e-6);
    // Margin 0: never.
    view_->GetGpsCursor().SetAutoPanMargin(0);
    const CDoubleRect moved = view_->GetExtent();
    lonLat(nx + w * 2, ny, lon, lat);
    Fix(lon, lat);
    EXPECT_EQ(view_->GetExtent(), moved);
}

TEST_F(MapViewGps, EachPositionFiresItsEventsOnceAndFeedsTheAveragingWindow) {
    OpenUtm();
    OpenGps();
    int averaged = 0;
    WNDCLASS wc;
    wc.lpfnWndProc = [](HWND h, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        if (msg == WM_AVERAGING_GPSFIX)
            ++*reinterpret_cast<int*>(GetWindowLongPtr(h, GWLP_USERDATA));
        return DefWindowProc(h, msg, w, l);
    };
    wc.lpszClassName = u"ZnAveragingListener";
    RegisterClass(wc);
    HWND listener = CreateWindowEx(0, u"ZnAveragingListener", u"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                   nullptr, nullptr, nullptr);
    SetWindowLongPtr(listener, GWLP_USERDATA, reinterpret_cast<intptr_t>(&averaged));
    view_->SetAveragingListener(listener);
    gps_.next.extEventBits = 0x5;  // extension events 0 and 2
    Fix(kLon, kLat);
    gps_.next.extEventBits = 0;
    const std::vector<std::pair<int, int>> once = {{15, 0}, {14, 0}, {39, 0}, {39, 2}};
    EXPECT_EQ(gps_.events, once);
    EXPECT_EQ(gps_.Position().extEventBits, 0u);
    EXPECT_EQ(gps_.Position().updateBits, 0u);
    EXPECT_EQ(averaged, 1);
    // Without a position: the sentence event only, no averaging.
    gps_.events.clear();
    gps_.next.updateBits = 0;
    Fix(kLon, kLat);
    EXPECT_EQ(gps_.events, (std::vector<std::pair<int, int>>{{14, 0}}));
    EXPECT_EQ(averaged, 1);
    view_->SetAveragingListener(nullptr);
    DestroyWindow(listener);
}

// ---- during a gesture ----

TEST_F(MapViewGps, FixesDuringAZoomDragWaitForThePenAndLeaveNoRubberBand) {
    Prefs().display.systemtrayGps = false;
    OpenUtm();
    OpenGps();
    Fix(kLon, kLat);
    Repaint();
    const CDoubleRect start = view_->GetExtent();
    const POINT before = view_->GetGpsCursor().Point();
    view_->SetCurrentTool(kToolZoomIn);
    CCoordSys* cs = doc_.GetMapCoordSys();
    double cx, cy, lon, lat;
    start.GetCenter(cx, cy);
    cs->ProjectedToGeographic(cx + (start.xmax - start.xmin) * 0.48, cy, &lon, &lat);
    gps_.next.longitude = lon;
    gps_.next.latitude = lat;
    CDoubleRect during;
    POINT cursorDuring{};
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{60, 60})
                         .Move(10, View(), POINT{100, 110})
                         .Probe(20, [&] { gps_.port.Post(View(), "$GPRMC"); })
                         .Move(30, View(), POINT{120, 140})
                         .Probe(40, [&] {
                             during = view_->GetExtent();
                             cursorDuring = view_->GetGpsCursor().Point();
                         })
                         .Up(50, View(), POINT{120, 140}));
    Pump();
    // Data went on during the drag; neither pan nor cursor moved in it.
    EXPECT_EQ(gps_.parsed.size(), 2u);
    EXPECT_EQ(during, start);
    EXPECT_EQ(cursorDuring.x, before.x);
    EXPECT_EQ(cursorDuring.y, before.y);
    EXPECT_NE(view_->GetExtent(), start);
    // After it the zoom of the box, then the fix's auto-pan, and the
    // window as a fresh paint of that state shows it.
    const std::vector<COLORREF> shown = Client();
    EXPECT_EQ(view_->GetGpsCursor().Point().x, FixPixel(lon, lat).x);
    Repaint();
    EXPECT_EQ(Client(), shown);
}

TEST_F(MapViewGps, AnAlertDuringAPanDragEndsTheDragAndRedraws) {
    Prefs().display.systemtrayGps = false;
    Prefs().location.dstalert = 1000;
    OpenUtm();
    OpenGps();
    Fix(kLon, kLat);
    double x, y;
    doc_.GetMapCoordSys()->GeographicToProjected(kLon, kLat, &x, &y);
    view_->SetGoToDestination(x, y, nullptr);
    clock_.Advance(30000);
    // The approach alert is a modal window: here a message box.
    gps_.onAlert = [](HWND owner, int, HWND) { MessageBox(owner, u"Approaching", u"Zarnip", MB_OK); };
    const CDoubleRect start = view_->GetExtent();
    view_->SetCurrentTool(kToolPan);
    win::input::Play(Gesture()
                         .Down(0, View(), POINT{100, 100})
                         .Move(10, View(), POINT{120, 110})
                         .Probe(20, [&] { gps_.port.Post(View(), "$GPRMC"); })
                         .Move(30, View(), POINT{140, 120})
                         .Up(40, View(), POINT{140, 120}));
    Pump();
    EXPECT_EQ(gps_.alerts, std::vector<int>{6});
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    // The drag was broken off: no pan, drawing on, the map painted.
    EXPECT_EQ(view_->GetExtent(), start);
    const std::vector<COLORREF> shown = Client();
    EXPECT_EQ(shown[static_cast<size_t>(150 * view_->GetClientWidth() + 60)], 0x808080u);
    Repaint();
    EXPECT_EQ(Client(), shown);
}

// ---- streaming ----

TEST_F(MapViewGps, StreamingAddsEveryNthCountedFixNeverTheSameTwiceAndStopsAtTheLimit) {
    OpenUtm();
    OpenGps();
    Prefs().gps.streamingInterval = 3;
    view_->BeginOrFinishSketch(SketchKind::Line);
    ASSERT_TRUE(view_->GetSketch().IsActive());
    Command(ID_GPS_STREAM);
    ASSERT_TRUE(view_->IsStreaming());
    // Fixes 1..9; 3 to 6 stand still.
    const double lons[] = {15.20, 15.21, 15.22, 15.22, 15.22, 15.22, 15.23, 15.24, 15.25};
    for (double lon : lons) Fix(lon, kLat);
    const Sketch& sketch = view_->GetSketch();
    ASSERT_EQ(sketch.Count(), 2);  // fix 3 and fix 9; fix 6 repeats fix 3
    double x, y;
    doc_.GetMapCoordSys()->GeographicToProjected(15.22, kLat, &x, &y);
    EXPECT_EQ(sketch.Vertices()[0].x, x);
    doc_.GetMapCoordSys()->GeographicToProjected(15.25, kLat, &x, &y);
    EXPECT_EQ(sketch.Vertices()[1].x, x);
    // Unacceptable fixes do not count at a quality level above 0.
    Prefs().gps.qualitycontrolLevel = 1;
    gps_.acceptable = false;
    for (int i = 0; i < 6; ++i) Fix(15.26 + i * 0.001, kLat);
    EXPECT_EQ(sketch.Count(), 2);
    gps_.acceptable = true;
    Prefs().gps.qualitycontrolLevel = 0;
    // At 9999 vertices every further fix beeps.
    Prefs().gps.streamingInterval = 1;
    while (view_->GetSketch().Count() < 9999) {
        const int n = view_->GetSketch().Count();
        view_->AddSketchPoint(n, n);
    }
    win::ClearMessageBoxLog();
    const size_t beeps = Beeps().size();
    Fix(15.3, kLat);
    Fix(15.31, kLat);
    EXPECT_EQ(view_->GetSketch().Count(), 9999);
    std::vector<UINT> after = Beeps();
    ASSERT_EQ(after.size(), beeps + 2);
    EXPECT_EQ(after.back(), 0x10u);
}

TEST_F(MapViewGps, StreamingIntoTheHeadAndTailOfTheCurrentFeature) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenEditView();
    OpenGps();
    CCoordSys* cs = doc_.GetMapCoordSys();
    auto lonLat = [&](double x, double y) {
        double lon, lat;
        cs->ProjectedToGeographic(x, y, &lon, &lat);
        return std::pair{lon, lat};
    };
    view_->SelectFeature(lines_, 0, true);
    ASSERT_EQ(PointCount(lines_, 0), 3);
    for (VertexAddMode mode : {VertexAddMode::Head, VertexAddMode::Tail}) {
        view_->SetVertexAddMode(mode);
        Command(ID_GPS_STREAM);
        ASSERT_TRUE(view_->IsStreaming());
        auto [lon, lat] = lonLat(mode == VertexAddMode::Head ? 5 : 35, 45);
        Fix(lon, lat);
        Command(ID_GPS_STREAM);
        view_->SetVertexAddMode(mode);  // off again
    }
    std::vector<DoublePoint> pts = Points(lines_, Selected().second);
    ASSERT_EQ(pts.size(), 5u);
    EXPECT_NEAR(pts.front().x, 5, 1e-6);
    EXPECT_NEAR(pts.back().x, 35, 1e-6);
    EXPECT_NEAR(pts.back().y, 45, 1e-6);
    ExpectToolsRead("lines");
}

// ---- the destination ----

TEST_F(MapViewGps, DestinationDistanceBearingInRangeEventAndApproachAlert) {
    OpenUtm();
    OpenGps();
    IDispatch* navigation = CreatePlainScriptObject();
    SetNavigationScriptObject(navigation);
    auto inRange = [&] {
        int n = 0;
        for (const auto& e : script_.events) n += e.source == navigation && e.id == kEventOnInRange;
        return n;
    };
    // No alert armed without an alert distance.
    Prefs().location.dstalert = 0;
    double dx, dy;
    doc_.GetMapCoordSys()->GeographicToProjected(kLon + 0.002, kLat + 0.001, &dx, &dy);
    view_->SetGoToDestination(dx, dy, nullptr);
    EXPECT_FALSE(view_->GetGoToTarget().IsApproachAlertArmed());
    Prefs().location.dstalert = 500;
    view_->SetGoToDestination(dx, dy, nullptr);
    ASSERT_TRUE(view_->GetGoToTarget().IsApproachAlertArmed());
    Fix(kLon, kLat);
    // Against the geodesic on WGS 1984: the map's metres are the grid's
    // (scale 0.9996 here), its bearing the azimuth less the meridian
    // convergence.
    double azimuth;
    const double geodesic = GeodDistance(kLat, kLon, kLat + 0.001, kLon + 0.002, &azimuth);
    double convergence = NAN, scale = NAN;
    ASSERT_EQ(std::sscanf(Tool("echo 52.5005 15.251 | GeoConvert -c -p 3").c_str(), "%lf %lf",
                          &convergence, &scale),
              2);
    const GoToDestination& d = view_->GetDestination();
    EXPECT_NEAR(d.distance, geodesic * scale, 0.01);
    EXPECT_NEAR(d.bearing, azimuth - convergence, 0.001);
    EXPECT_EQ(inRange(), 1);
    EXPECT_TRUE(gps_.alerts.empty());  // not before 30 s
    clock_.Advance(29999);
    Fix(kLon, kLat + 0.00001);
    EXPECT_TRUE(gps_.alerts.empty());
    clock_.Advance(1);
    Fix(kLon, kLat);
    EXPECT_EQ(gps_.alerts, std::vector<int>{6});
    clock_.Advance(10000);
    Fix(kLon, kLat + 0.00001);
    EXPECT_EQ(gps_.alerts.size(), 1u);
    // The 5-second auto-close says nothing: it comes again after 30 s.
    clock_.Advance(20000);
    Fix(kLon, kLat);
    EXPECT_EQ(gps_.alerts.size(), 2u);
    // OK on the alert ends it.
    SendMessage(View(), WM_COMMONDIALOG_CLOSED, 6, 0);
    clock_.Advance(60000);
    Fix(kLon, kLat + 0.00001);
    EXPECT_EQ(gps_.alerts.size(), 2u);
    EXPECT_EQ(inRange(), 6);
    // Out of range: no event.
    Fix(kLon - 0.05, kLat);
    EXPECT_EQ(inRange(), 6);
    SetNavigationScriptObject(nullptr);
    navigation->Release();
}

// ---- capture ----

TEST_F(MapViewGps, CaptureChecksAskAtLevelOneAndRefuseAtLevelTwo) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenEditView();
    OpenGps();
    Fix(kLon, kLat);
    for (bool& c : gps_.checks) c = false;
    const WString tailAsk = LoadMapString(IDS_GPS_CAPTURE_ANYWAY);
    const WString tailRefuse = LoadMapString(IDS_GPS_CAPTURE_REFUSED);
    const UINT order[] = {IDP_NO_POSITION_FIX, IDP_NOT_DGPS_FIX, IDP_NOT_3D_FIX, IDP_MAX_PDOP_EXCEEDED,
                          IDP_MAX_EPE_EXCEEDED};
    const int records = ShpGetRecordCount(points_->GetHandle());
    // Level 1: Yes to each lets the next run; then the point is taken.
    Prefs().gps.qualitycontrolLevel = 1;
    win::ClearMessageBoxLog();
    win::QueueMessageBoxAnswers({IDYES, IDYES, IDYES, IDYES, IDYES});
    Command(ID_GPS_ADDPOINT);
    auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(log[i].text, LoadMapString(order[i]) + tailAsk);
        EXPECT_EQ(log[i].type & 0xF, static_cast<UINT>(MB_YESNO));
        EXPECT_EQ(log[i].type & 0xF0, i == 0 ? MB_ICONERROR : MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(ShpGetRecordCount(points_->GetHandle()), records + 1);
    // No to the third: refused there.
    win::ClearMessageBoxLog();
    win::QueueMessageBoxAnswers({IDYES, IDYES, IDNO});
    Command(ID_GPS_ADDPOINT);
    EXPECT_EQ(win::MessageBoxLog().size(), 3u);
    EXPECT_EQ(ShpGetRecordCount(points_->GetHandle()), records + 1);
    // Level 2: OK only, refused at the first.
    Prefs().gps.qualitycontrolLevel = 2;
    win::ClearMessageBoxLog();
    Command(ID_GPS_ADDPOINT);
    log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].text, LoadMapString(IDP_NO_POSITION_FIX) + tailRefuse);
    EXPECT_EQ(log[0].type & 0xF, static_cast<UINT>(MB_OK));
    EXPECT_EQ(ShpGetRecordCount(points_->GetHandle()), records + 1);
}

TEST_F(MapViewGps, WithoutAFixNoCaptureWritesAnything) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenEditView();
    OpenGps();  // open, but no fix yet: the map position has no data
    const std::string points = Tool("shpdump d/pts.shp");
    const std::string lines = Tool("shpdump d/lines.shp");
    view_->SelectFeature(lines_, 0, true);
    win::ClearMessageBoxLog();
    SketchVertex v;
    EXPECT_FALSE(view_->GpsCapturePosition(v, false));
    EXPECT_TRUE(win::MessageBoxLog().empty());
    win::ClearMessageBoxLog();
    Command(ID_GPS_ADDPOINT);
    view_->SetVertexAddMode(VertexAddMode::Tail);
    Command(ID_GPS_VERTEX);
    view_->SetVertexAddMode(VertexAddMode::Tail);
    view_->BeginOrFinishSketch(SketchKind::Line);
    Command(ID_GPS_VERTEX);
    EXPECT_EQ(view_->GetSketch().Count(), 0);
    EXPECT_FALSE(view_->GpsCapturePositionAveraged(v, true));
    // The Vertex dialog's GPS button keeps the typed vertex; "GPS Relative"
    // makes none.
    SketchVertex typed{20, 30, 0, kNoDataMeasure};
    win::PushModalHook([](HWND dialog) {
        SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDC_VERTEX_GPS, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VERTEX_GPS)));
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_TRUE(DoVertexDialog(view_.get(), kShapePoint, typed, false));
    EXPECT_EQ(typed.x, 20);
    EXPECT_EQ(typed.y, 30);
    SketchVertex relative{};
    win::PushModalHook([](HWND dialog) {
        CheckDlgButton(dialog, IDC_RELATIVE_GPS, BST_CHECKED);
        SendMessage(dialog, WM_COMMAND, MAKEWPARAM(IDC_RELATIVE_GPS, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_RELATIVE_GPS)));
        SendMessage(dialog, WM_COMMAND, IDOK, 0);
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_FALSE(RunRelativeVertexDialog(view_.get(), kShapePoint, relative, typed));
    for (const auto& r : win::MessageBoxLog()) {
        EXPECT_EQ(r.text, LoadMapString(IDP_NO_POSITION_FIX));
        EXPECT_EQ(r.type & 0xF0, MB_ICONERROR);
    }
    EXPECT_EQ(win::MessageBoxLog().size(), 6u);
    EXPECT_EQ(Tool("shpdump d/pts.shp"), points);
    EXPECT_EQ(Tool("shpdump d/lines.shp"), lines);
}

TEST_F(MapViewGps, ACapturedPointIsTheFixAsCs2csProjectsIt) {
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    OpenEditView();
    points_->SetShowEditForm(false);
    Prefs().gps.averagingEnabled = true;
    Prefs().gps.averagingPoint = 5;
    OpenGps();
    Fix(kLon, kLat);
    Command(ID_GPS_ADDPOINT);
    // No form to take the average: the single fix stands.
    EXPECT_EQ(gps_.averagingStarts, 0);
    const std::string projected = Tool("echo 15.25 52.5 | cs2cs -f %.6f +proj=longlat +datum=WGS84 +to +proj=utm +zone=33 +datum=WGS84");
    double x = 0, y = 0;
    ASSERT_EQ(std::sscanf(projected.c_str(), "%lf %lf", &x, &y), 2) << projected;
    // The point as another reader sees it.
    const std::string dump = Tool("ogrinfo -ro -al -q d/pts.shp | grep POINT | tail -1");
    double px = NAN, py = NAN;
    ASSERT_EQ(std::sscanf(dump.c_str(), " POINT (%lf %lf", &px, &py), 2) << dump;
    EXPECT_NEAR(px, x, 1e-6);
    EXPECT_NEAR(py, y, 1e-6);
    // With the form, averaging starts for it.
    points_->SetShowEditForm(true);
    Command(ID_GPS_ADDPOINT);
    EXPECT_EQ(gps_.averagingStarts, 1);
}

// ---- the watchdog ----

TEST_F(MapViewGps, WatchdogRaisesNoDataOrTheFirstFailingQualityAlert) {
    OpenUtm();
    OpenGps();
    Fix(kLon, kLat);
    const int polls = gps_.polls;
    EXPECT_EQ(polls, 1);  // the first unit after opening
    // No data: alert 0 each tick, with the fix invalidated.
    clock_.Advance(15000);
    Pump();  // the tick that finds the opening's data flag
    gps_.alerts.clear();
    for (int i = 0; i < 2; ++i) {
        clock_.Advance(15000);
        Pump();
    }
    EXPECT_EQ(gps_.alerts, (std::vector<int>{0, 0}));
    EXPECT_EQ(gps_.invalidations, 2);
    // Data without a fix: alert 3 alone; the next unit polls once.
    gps_.alerts.clear();
    gps_.checks[0] = gps_.checks[1] = gps_.checks[3] = false;
    Unit("$GPGSA");
    EXPECT_EQ(gps_.polls, polls + 1);
    Unit("$GPGSA");
    EXPECT_EQ(gps_.polls, polls + 1);
    clock_.Advance(15000);
    Pump();
    EXPECT_EQ(gps_.alerts, std::vector<int>{3});
    // With a fix the first failing of the others: PDOP.
    gps_.checks[0] = gps_.checks[1] = true;
    Unit("$GPGSA");
    clock_.Advance(15000);
    Pump();
    EXPECT_EQ(gps_.alerts, (std::vector<int>{3, 1}));
    // The debug display raises none.
    Command(ID_GPS_DEBUG);
    Unit("$GPGSA");
    clock_.Advance(15000);
    Pump();
    EXPECT_EQ(gps_.alerts.size(), 2u);
}

// ---- closing ----

TEST_F(MapViewGps, ClosingWithUnitsQueuedParsesNothingAndAcknowledgesNothing) {
    OpenUtm();
    OpenGps();
    Fix(kLon, kLat);
    const size_t parsed = gps_.parsed.size();
    const size_t acknowledged = gps_.port.acknowledged.size();
    // Each way of closing, with a unit still in the queue behind it.
    gps_.port.Post(View(), "$GPGGA,queued");
    SendMessage(View(), WM_COMMAND, ID_GPS_ENABLE, 0);
    Pump();
    EXPECT_EQ(gps_.closes, 1);
    OpenGps();
    gps_.port.Post(View(), "$GPGGA,queued");
    view_->OnInitialUpdate();  // a new map
    Pump();
    EXPECT_EQ(gps_.closes, 2);
    OpenGps();
    gps_.port.Post(View(), "$GPGGA,queued");
    DestroyWindow(View());
    Pump();
    EXPECT_EQ(gps_.closes, 3);
    EXPECT_EQ(gps_.parsed.size(), parsed);
    EXPECT_EQ(gps_.port.acknowledged.size(), acknowledged);
    doc_.RemoveView(view_.get());
    view_.reset();
}

TEST_F(MapViewGps, ClosingStoresTheFixAndOpeningRestoresIt) {
    OpenUtm();
    DWORD timeouts[3];
    sys::SystemParametersInfo(sys::SPI_GETBATTERYIDLETIMEOUT, 0, &timeouts[0], 0);
    OpenGps();
    DWORD held = 0;
    sys::SystemParametersInfo(sys::SPI_GETWAKEUPIDLETIMEOUT, 0, &held, 0);
    EXPECT_EQ(held, 10000u);
    Fix(kLon + 0.003, kLat - 0.002);
    gps_.wgs84.z = 123;
    Command(ID_GPS_ENABLE);
    EXPECT_EQ(prefs_.writes, 1);
    EXPECT_EQ(prefs_.written.longitude, kLon + 0.003);
    EXPECT_EQ(prefs_.written.latitude, kLat - 0.002);
    EXPECT_EQ(prefs_.written.altitude, 123);
    EXPECT_EQ(prefs_.written.fourth, 0);
    DWORD back = 0;
    sys::SystemParametersInfo(sys::SPI_GETBATTERYIDLETIMEOUT, 0, &back, 0);
    EXPECT_EQ(back, timeouts[0]);
    // Opening again with restore on centres there and passes it on.
    Prefs().location.restore = 1;
    view_->CenterAt(0, 0);
    gps_.wgs84 = GpsFix{NAN, NAN, NAN, 0};
    OpenGps();
    EXPECT_EQ(prefs_.reads, 2);
    ASSERT_EQ(gps_.opens.size(), 2u);
    EXPECT_EQ(gps_.opens[1].options, 1);
    EXPECT_EQ(gps_.opens[1].longitude, kLon + 0.003);
    double cx, cy, x, y;
    view_->GetExtent().GetCenter(cx, cy);
    doc_.GetMapCoordSys()->GeographicToProjected(kLon + 0.003, kLat - 0.002, &x, &y);
    EXPECT_NEAR(cx, x, 1e-6);
    EXPECT_NEAR(cy, y, 1e-6);
    // Failing to open says why, beeps and starts no watchdog.
    Command(ID_GPS_ENABLE);
    gps_.openResult = false;
    win::ClearMessageBoxLog();
    Command(ID_GPS_ENABLE);
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, gps_.port.errorText);
    EXPECT_EQ(Beeps().back(), 0x10u);
}

TEST_F(MapViewGps, NoGpsOnAMapWithoutAProjection) {
    CCoordSys* cs = MakeCoordSys(kUtm33Wkt);
    cs->m_projectionCode = 0;
    UseCoordSys(cs);
    OpenView();
    Command(ID_GPS_ENABLE);
    EXPECT_TRUE(gps_.opens.empty());
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, LoadMapString(IDP_GPS_NO_PROJECTION));
    doc_.SetMapCoordSys(nullptr, false);
    Command(ID_GPS_ENABLE);
    EXPECT_TRUE(gps_.opens.empty());
    EXPECT_EQ(win::MessageBoxLog().size(), 2u);
}

// ---- the tracklog ----

TEST_F(MapViewGps, TracklogGetsEachAcceptedFixOnceAtItsInterval) {
    Prefs().tracklog.name = u"\\Docs\\Track.shp";
    Prefs().tracklog.interval = 5;
    OpenUtm();
    OpenGps();
    Command(ID_GPS_TRACKLOG);
    CTracklogLayer& track = doc_.GetLayers().GetTracklog();
    ASSERT_TRUE(track.IsFileOpen());
    EXPECT_TRUE(track.IsVisible());
    clock_.Advance(5000);
    Fix(kLon, kLat);           // taken
    clock_.Advance(2000);
    Fix(kLon + 0.001, kLat);   // too soon
    clock_.Advance(3000);
    gps_.acceptable = false;
    Fix(kLon + 0.002, kLat);   // not acceptable
    gps_.acceptable = true;
    Fix(kLon + 0.003, kLat);   // taken
    EXPECT_EQ(track.GetRecordCount(), 2);
    double lon = 0, lat = 0;
    ASSERT_TRUE(track.ReadPoint(1, &lon, &lat));
    EXPECT_EQ(lon, kLon + 0.003);
    Command(ID_GPS_ENABLE);  // closing closes the file
    EXPECT_FALSE(track.IsFileOpen());
    const std::string rows = Tool("dbfdump Docs/Track.dbf");
    EXPECT_NE(rows.find("52.5"), std::string::npos) << rows;
}

// ---- the notification icon ----

TEST_F(MapViewGps, TrayIconShowsIdleActivityAndAPendingAlert) {
    OpenUtm();
    auto icons = win::TrayIcons();
    ASSERT_EQ(icons.size(), 1u);
    EXPECT_EQ(icons[0].uID, kViewTrayIconId);
    EXPECT_EQ(icons[0].uCallbackMessage, WM_VIEW_TRAYNOTIFY);
    EXPECT_EQ(WString(icons[0].szTip), LoadMapString(IDS_APP_TITLE));
    EXPECT_EQ(view_->GetTrayIcon().Image(), 1);
    const HICON idle = icons[0].hIcon;
    OpenGps();
    Unit("$GPGSV");
    EXPECT_EQ(view_->GetTrayIcon().Image(), 3);
    Unit("$GPGSV");
    EXPECT_EQ(view_->GetTrayIcon().Image(), 2);
    EXPECT_NE(win::TrayIcons()[0].hIcon, idle);
    Prefs().display.systemtrayGps = false;
    Unit("$GPGSV");
    EXPECT_EQ(view_->GetTrayIcon().Image(), 2);
    Command(ID_GPS_ENABLE);
    EXPECT_EQ(view_->GetTrayIcon().Image(), 1);
    EXPECT_EQ(win::TrayIcons()[0].hIcon, idle);
    // A pending alert blinks until tapped, then shows its text.
    view_->SetTrayAlert(IDS_GPS_NO_POSITION);
    EXPECT_EQ(view_->GetTrayIcon().Image(), 4);
    clock_.Advance(500);
    Pump();
    EXPECT_EQ(view_->GetTrayIcon().Image(), 1);
    win::ClearMessageBoxLog();
    ASSERT_TRUE(win::TapTrayIcon(View(), kViewTrayIconId));
    Pump();
    ASSERT_EQ(win::MessageBoxLog().size(), 1u);
    EXPECT_EQ(win::MessageBoxLog()[0].text, LoadMapString(IDS_GPS_NO_POSITION));
    EXPECT_EQ(view_->GetTrayIcon().PendingAlert(), 0);
    EXPECT_EQ(view_->GetTrayIcon().Image(), 1);
    clock_.Advance(2000);
    Pump();
    EXPECT_EQ(view_->GetTrayIcon().Image(), 1);
    DestroyWindow(View());
    EXPECT_TRUE(win::TrayIcons().empty());
    doc_.RemoveView(view_.get());
    view_.reset();
}

// ---- the raw text display ----

TEST_F(MapViewGps, DebugDisplayWritesSentencesGreenOrRedAndScrolls) {
    OpenUtm();
    OpenGps();
    Command(ID_GPS_DEBUG);
    ASSERT_TRUE(view_->GetGpsCursor().IsDebugDisplay());
    const size_t parsed = gps_.parsed.size();
    auto hasColour = [&](int top, int bottom, COLORREF c) {
        const std::vector<COLORREF> px = Client();
        const int w = view_->GetClientWidth();
        for (int y = top; y < bottom; ++y)
            for (int x = 0; x < w; ++x)
                if (px[static_cast<size_t>(y * w + x)] == c) return true;
        return false;
    };
    Unit(Sentence("GPGLL,5230.00,N,01515.00,E"));
    const int first = view_->GetDebugTextLine();
    ASSERT_GT(first, 0);
    EXPECT_TRUE(hasColour(0, first, 0x00FF00));
    EXPECT_FALSE(hasColour(0, first, 0x0000FF));
    Unit(Sentence("GPGLL,bad", false));
    EXPECT_TRUE(hasColour(first, view_->GetDebugTextLine(), 0x0000FF));
    EXPECT_EQ(gps_.parsed.size(), parsed);  // shown, not parsed
    // Lines fill the window; then it scrolls and the line stays at the bottom.
    while (view_->GetDebugTextLine() + first <= view_->GetClientHeight()) Unit(Sentence("GPGLL,bad", false));
    const int bottom = view_->GetDebugTextLine();
    Unit(Sentence("GPGLL,5230.00,N,01515.00,E"));
    EXPECT_EQ(view_->GetDebugTextLine(), view_->GetClientHeight());
    EXPECT_GE(bottom, view_->GetClientHeight() - first);
    EXPECT_TRUE(hasColour(view_->GetClientHeight() - first, view_->GetClientHeight(), 0x00FF00));
    // Binary protocols: parsed for the record's fields, green when the
    // packet parsed, red when not; the packet is never read as text.
    gps_.protocol = "TSIP";
    Command(ID_GPS_DEBUG);
    Command(ID_GPS_DEBUG);
    ASSERT_EQ(view_->GetDebugTextLine(), 0);
    GpsPosition& record = gps_.Position();
    record.lastPacketId = 0x8F;
    std::memset(record.packetName, 'P', sizeof record.packetName);  // no zero in it
    gps_.parses = false;
    Unit("\x10\x8f\x10\x03");
    EXPECT_EQ(gps_.parsed.size(), parsed + 1);
    const int packet = view_->GetDebugTextLine();
    EXPECT_TRUE(hasColour(0, packet, 0x0000FF));
    EXPECT_FALSE(hasColour(0, packet, 0x00FF00));
    gps_.parses = true;
    gps_.next.lastPacketId = 0x8F;
    Unit("\x10\x8f\x10\x03");
    EXPECT_TRUE(hasColour(packet, view_->GetDebugTextLine(), 0x00FF00));
}

// ---- the view's dialogs ----

WString EditText(HWND dialog, int id) {
    WChar buffer[128] = {};
    GetWindowText(GetDlgItem(dialog, id), buffer, 128);
    return buffer;
}
void Type(HWND dialog, int id, const WChar* text) {
    HWND edit = GetDlgItem(dialog, id);
    SetWindowText(edit, text);
    SendMessage(dialog, WM_COMMAND, MAKEWPARAM(id, EN_KILLFOCUS), reinterpret_cast<LPARAM>(edit));
}

TEST_F(MapViewGps, ViewCoordinatesCentreOrZoomToTheTypedExtent) {
    UseExtent(CDoubleRect(0, 0, 1000, 1000));
    UseCoordSys(MakeCoordSys(kUtm33Wkt));
    AddLayer(new CFillLayer(0x808080, {CDoubleRect(0, 0, 1000, 1000)}));
    OpenView();
    const CDoubleRect start = view_->GetExtent();
    const double scale = view_->GetMapScale(false);
    WString xmin, xmax;
    bool center = false;
    win::PushModalHook([&](HWND dialog) {
        Type(dialog, IDC_VIEW_COORDS_CX, u"700");
        xmin = EditText(dialog, IDC_VIEW_COORDS_XMIN);
        xmax = EditText(dialog, IDC_VIEW_COORDS_XMAX);
        center = IsDlgButtonChecked(dialog, IDC_VIEW_COORDS_CENTER) == BST_CHECKED;
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(ID_VIEW_SETMAPCOORDINATES);
    EXPECT_TRUE(center);
    const double shift = 700 - (start.xmin + start.xmax) / 2;
    EXPECT_NEAR(std::stod(Utf8(xmin)), start.xmin + shift, 1e-6);
    EXPECT_NEAR(std::stod(Utf8(xmax)), start.xmax + shift, 1e-6);
    double cx, cy;
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, 700, 1e-6);
    EXPECT_NEAR(view_->GetMapScale(false), scale, scale * 1e-9);
    // A new xmin: extent mode, the centre follows; OK zooms with history.
    const int history = view_->GetHistoryTop();
    WString centreX;
    bool extent = false;
    win::PushModalHook([&](HWND dialog) {
        Type(dialog, IDC_VIEW_COORDS_XMIN, u"100");
        Type(dialog, IDC_VIEW_COORDS_XMAX, u"300");
        Type(dialog, IDC_VIEW_COORDS_YMIN, u"100");
        Type(dialog, IDC_VIEW_COORDS_YMAX, u"300");
        centreX = EditText(dialog, IDC_VIEW_COORDS_CX);
        extent = IsDlgButtonChecked(dialog, IDC_VIEW_COORDS_EXTENT) == BST_CHECKED;
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(ID_VIEW_SETMAPCOORDINATES);
    EXPECT_TRUE(extent);
    EXPECT_EQ(Utf8(centreX), "200");
    view_->GetExtent().GetCenter(cx, cy);
    EXPECT_NEAR(cx, 200, 1e-6);
    EXPECT_NEAR(cy, 200, 1e-6);
    EXPECT_EQ(view_->GetHistoryTop(), history + 1);
}

TEST_F(MapViewGps, ViewCoordinatesAreDmsOnAGeographicMap) {
    UseExtent(CDoubleRect(-12.5, 40.25, -11.5, 41.25));
    OpenView();
    std::vector<WString> texts;
    win::PushModalHook([&](HWND dialog) {
        for (int id : {IDC_VIEW_COORDS_XMAX, IDC_VIEW_COORDS_YMAX, IDC_VIEW_COORDS_XMIN,
                       IDC_VIEW_COORDS_YMIN, IDC_VIEW_COORDS_CX, IDC_VIEW_COORDS_CY})
            texts.push_back(EditText(dialog, id));
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    const CDoubleRect e = view_->GetExtent();
    Command(ID_VIEW_SETMAPCOORDINATES);
    ASSERT_EQ(texts.size(), 6u);
    double cx, cy;
    e.GetCenter(cx, cy);
    const double values[6] = {e.xmax, e.ymax, e.xmin, e.ymin, cx, cy};
    for (int i = 0; i < 6; ++i) {
        const bool latitude = i % 2 == 1;
        // GeoConvert reads the DMS text back to the same degrees.
        std::string dms = Utf8(texts[static_cast<size_t>(i)]);
        int d = 0, m = 0;
        double sec = 0;
        char hemisphere = 0;
        ASSERT_EQ(std::sscanf(dms.c_str(), "%d %d %lf %c", &d, &m, &sec, &hemisphere), 4) << dms;
        char arg[64];
        std::snprintf(arg, sizeof arg, "%d:%d:%.6f%c", d, m, sec, hemisphere);
        const std::string other = latitude ? "0:0:0E" : "0:0:0N";
        std::string out = Tool("echo '" + (latitude ? std::string(arg) + " " + other
                                                    : other + " " + std::string(arg)) +
                               "' | GeoConvert -g -p 6 2>&1");
        double lat = NAN, lon = NAN;
        ASSERT_EQ(std::sscanf(out.c_str(), "%lf %lf", &lat, &lon), 2) << dms << " -> " << out;
        EXPECT_NEAR(latitude ? lat : lon, values[i], 1e-5) << dms;
        EXPECT_NE(dms.find(latitude ? (values[i] < 0 ? 'S' : 'N') : (values[i] < 0 ? 'W' : 'E')),
                  std::string::npos)
            << dms;
    }
    EXPECT_EQ(view_->GetExtent(), e);  // cancelled
}

TEST_F(MapViewGps, MapScaleDialogAndItsRefusals) {
    OpenUtm();
    const double scale = view_->GetMapScale(true);
    win::PushModalHook([](HWND dialog) { PostMessage(dialog, WM_COMMAND, IDCANCEL, 0); });
    Command(ID_VIEW_SETMAPSCALE);
    EXPECT_EQ(view_->GetMapScale(true), scale);
    WString offered;
    win::PushModalHook([&](HWND dialog) {
        offered = EditText(dialog, IDC_MAP_SCALE);
        SetWindowText(GetDlgItem(dialog, IDC_MAP_SCALE), u"2000");
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(ID_VIEW_SETMAPSCALE);
    EXPECT_NEAR(std::stod(Utf8(offered)), scale, 0.5);
    EXPECT_NEAR(view_->GetMapScale(false), 2000, 1);
    // A window without width has no scale: a beep and no dialog.
    SetWindowPos(View(), nullptr, 0, 0, 0, 300, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
    bool shown = false;
    win::PushModalHook([&](HWND dialog) {
        shown = true;
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_VIEW_SETMAPSCALE);
    win::ClearModalHooks();
    EXPECT_FALSE(shown);
    EXPECT_EQ(Beeps().back(), 0x30u);
}

TEST_F(MapViewGps, CreateBookmarkProposesTheNextNumberAndSavesGlobalOnes) {
    OpenUtm();
    CBookmarkList& list = mainWindow_.bookmarks;
    list.Load(WString(u"\\Docs\\") + CBookmarkList::kFileName);
    list.Add(u"One", CDoubleRect(0, 0, 1, 1), false);
    list.Add(u"Two", CDoubleRect(0, 0, 2, 2), false);
    WString proposed;
    win::PushModalHook([&](HWND dialog) {
        proposed = EditText(dialog, IDC_BOOKMARK_NAME);
        PostMessage(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    Command(ID_VIEW_CREATEBOOKMARK);
    EXPECT_EQ(Utf8(proposed), "Bookmark 3");
    EXPECT_EQ(list.GetCount(), 2);
    win::PushModalHook([&](HWND dialog) {
        CheckDlgButton(dialog, IDC_BOOKMARK_GLOBAL, BST_CHECKED);
        PostMessage(dialog, WM_COMMAND, IDOK, 0);
    });
    Command(ID_VIEW_CREATEBOOKMARK);
    ASSERT_EQ(list.GetCount(), 3);
    const std::string saved = Tool("xmllint --xpath 'string(//BOOKMARK/@name)' Docs/" +
                                   Utf8(CBookmarkList::kFileName));
    EXPECT_EQ(saved, "Bookmark 3\n");
    // The scale bar's switch.
    const bool bar = doc_.IsScaleBarVisible();
    Command(ID_VIEW_TOGGLESCALEBAR);
    EXPECT_NE(doc_.IsScaleBarVisible(), bar);
    EXPECT_EQ(view_->QueryCommand(ID_VIEW_TOGGLESCALEBAR).m_nCheck, doc_.IsScaleBarVisible() ? 1 : 0);
}

}  // namespace
