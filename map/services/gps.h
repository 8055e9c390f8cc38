// What the map engine asks of the GPS receiver object, its port, the alerts
// and the position window. The GPS subsystem implements IGps; the map
// engine reaches it through one process-wide pointer and sees an inactive
// receiver while none is installed.
#pragma once

#include <cstdint>

#include "include/zarnip/znex.h"
#include "map/services/gps_messages.h"
#include "platform/text/text.h"
#include "platform/types.h"

class CCoordSys;


// One position as X, Y, Z (altitude) and M.
struct GpsFix {
    double x = 0;
    double y = 0;
    double z = 0;
    double m = 0;
};

// The stored last location handed to Open and SetPosition.
struct GpsLocation {
    double longitude = 0;
    double latitude = 0;
    double altitude = 0;
    double fourth = 0;
};

// The reader thread of a port waits after each WM_GPS_DATA until the block
// was used; the view accepts the notification and acknowledges it.
class IGpsPort {
public:
    virtual ~IGpsPort() = default;
    // Takes the notification carried by a WM_GPS_DATA; 0 when it is stale.
    virtual uint32_t AcceptNotification(WPARAM wParam, LPARAM lParam) = 0;
    // Lets the reader thread go on after the accepted notification.
    virtual void Acknowledge(uint32_t notification) = 0;
    virtual WString GetErrorText() = 0;
    // The bytes of the accepted notification's unit (a line without its
    // zero, or a packet); null and 0 when none is accepted or the port
    // notifies without units.
    virtual const uint8_t* AcceptedData(int* length) const {
        if (length) *length = 0;
        return nullptr;
    }
};

// Acknowledges exactly the notification it accepted, on every path out of
// the handler.
class GpsAcknowledgeGuard {
public:
    GpsAcknowledgeGuard(IGpsPort* port, WPARAM wParam, LPARAM lParam)
        : m_port(port), m_notification(port ? port->AcceptNotification(wParam, lParam) : 0) {}
    ~GpsAcknowledgeGuard() { Release(); }
    GpsAcknowledgeGuard(const GpsAcknowledgeGuard&) = delete;
    GpsAcknowledgeGuard& operator=(const GpsAcknowledgeGuard&) = delete;
    // Acknowledges now (once).
    void Release() {
        if (m_port && m_notification) m_port->Acknowledge(m_notification);
        m_notification = 0;
    }
    uint32_t Notification() const { return m_notification; }

private:
    IGpsPort* m_port;
    uint32_t m_notification;
};

class IGps {
public:
    virtual ~IGps() = default;
    virtual bool IsGpsActive() = 0;
    virtual bool Open(const WChar* protocol, HWND view, int options, const GpsLocation& location,
                      const WChar* initialize) = 0;
    virtual void Close() = 0;
    // True when the position record changed.
    virtual bool Parse(const void* block) = 0;
    virtual void Poll() = 0;
    // Shifts the fix to WGS 1984 and the map's datum, projects it into the
    // map's system and feeds averaging; whether the fix was taken.
    virtual bool UpdatePosition(CCoordSys* mapCoordSys, GpsPosition* position) = 0;
    virtual bool SetDatum(WStringView datumName) = 0;
    virtual void SetPosition(const GpsLocation& location) = 0;
    virtual void InvalidateFix() = 0;
    virtual void FireEvent(int eventId, int id) = 0;
    // "NMEA" also matches "NAVM".
    virtual bool IsProtocol(const char* code) = 0;
    // Whether NMEA sentences must carry a right checksum.
    virtual void SetChecksumRequired(bool required) = 0;
    // Whether an NMEA sentence's checksum is right.
    virtual bool CheckNmeaChecksum(const char* sentence) = 0;
    virtual bool HasFix() = 0;
    virtual bool CheckDgps() = 0;
    virtual bool Check3D() = 0;
    virtual bool CheckMaxPdop() = 0;
    virtual bool CheckMaxEpe() = 0;
    virtual bool IsPositionAcceptable() = 0;
    virtual void StartAveraging() = 0;
    virtual void StopAveraging() = 0;
    // The fixes as the last UpdatePosition left them.
    virtual GpsFix GetWgs84Fix() = 0;
    virtual GpsFix GetDatumFix() = 0;
    virtual GpsFix GetProjectedFix() = 0;
    virtual GpsFix GetAveragedFix() = 0;
    virtual int32_t GetAveragedCount() = 0;
    virtual GpsPosition& Position() = 0;
    virtual IGpsPort* Port() = 0;
    // Alerts 0 no data, 1 PDOP, 2 EPE, 3 no fix, 4 not differential,
    // 5 not 3-D, 6 approaching destination. No owner: the main window.
    virtual void RaiseAlert(HWND owner, int alert, HWND notify) = 0;
    virtual void ShowPositionWindow() = 0;
    virtual void UpdatePositionWindow(CCoordSys* mapCoordSys) = 0;
    virtual void ClosePositionWindow() = 0;
    virtual bool IsPositionWindowOpen() = 0;
    virtual void RunSendMessage() = 0;
};

// A receiver that is never active and has no fixes: what GetGps gives
// until one is installed, and a base for test doubles.
class CInactiveGps : public IGps {
public:
    CInactiveGps();
    bool IsGpsActive() override { return false; }
    bool Open(const WChar*, HWND, int, const GpsLocation&, const WChar*) override { return false; }
    void Close() override {}
    bool Parse(const void*) override { return false; }
    void Poll() override {}
    bool UpdatePosition(CCoordSys*, GpsPosition*) override { return false; }
    bool SetDatum(WStringView) override { return false; }
    void SetPosition(const GpsLocation&) override {}
    void InvalidateFix() override {}
    void FireEvent(int, int) override {}
    bool IsProtocol(const char*) override { return false; }
    void SetChecksumRequired(bool) override {}
    bool CheckNmeaChecksum(const char*) override { return false; }
    bool HasFix() override { return false; }
    bool CheckDgps() override { return true; }
    bool Check3D() override { return true; }
    bool CheckMaxPdop() override { return true; }
    bool CheckMaxEpe() override { return true; }
    bool IsPositionAcceptable() override { return false; }
    void StartAveraging() override {}
    void StopAveraging() override {}
    GpsFix GetWgs84Fix() override { return {}; }
    GpsFix GetDatumFix() override { return {}; }
    GpsFix GetProjectedFix() override { return {}; }
    GpsFix GetAveragedFix() override { return {}; }
    int32_t GetAveragedCount() override { return 0; }
    GpsPosition& Position() override { return m_position; }
    IGpsPort* Port() override { return nullptr; }
    void RaiseAlert(HWND, int, HWND) override {}
    void ShowPositionWindow() override {}
    void UpdatePositionWindow(CCoordSys*) override {}
    void ClosePositionWindow() override {}
    bool IsPositionWindowOpen() override { return false; }
    void RunSendMessage() override {}

private:
    GpsPosition m_position;
};

// What the window that receives WM_GPS_DATA does with it: accept the
// notification, have the receiver parse the unit and acknowledge it on every
// way out, so that the port's reader never waits for its time-out. The GPS
// subsystem implements it (CGpsFeed); the program installs one beside the
// receiver.
class IGpsFeed {
public:
    virtual ~IGpsFeed() = default;
    // True when the unit changed the receiver's position; false for a stale
    // notification, which is left untouched.
    virtual bool OnGpsData(WPARAM wParam, LPARAM lParam) = 0;
};

// The installed feed; null while none is.
IGpsFeed* GetGpsFeed();
void SetGpsFeed(IGpsFeed* feed);

// The installed receiver, else an inactive one without fixes. Never null.
IGps* GetGps();
void SetGps(IGps* gps);
inline bool IsGpsActive() { return GetGps()->IsGpsActive(); }

// NaN or the most negative finite double.
bool IsNoData(double value);
