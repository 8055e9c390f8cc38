// CGps: the GPS receiver. It owns the GPS port, the three protocol parsers
// and the position record; it opens the receiver with the bytes its protocol
// needs, routes every received line or packet to the right parser (or to a
// protocol extension), polls receivers that need requests, and turns each
// fix into positions on WGS 1984, on the map's datum and in the map's
// projection, averaging them on request.
//
// Everything runs on the user-interface thread except the port's reader,
// which reaches this object only through the packet framer.
//
// The program makes one at start and installs it as the map engine's
// receiver (SetGps), with the preferences' GPS port record (SetPortSettings)
// and, once scripting runs, the GPS script object (SetScriptObject).
#pragma once

#include <atomic>
#include <cstdint>

#include "crs/datum_table.h"
#include "gps/eart_parser.h"
#include "gps/gps_extension.h"
#include "gps/nmea_parser.h"
#include "gps/position_window.h"
#include "gps/serial_port.h"
#include "gps/serial_settings.h"
#include "gps/tsip_parser.h"
#include "map/services/gps.h"
#include "platform/com/com.h"
#include "platform/fs/fs.h"

// Protocol codes: four ASCII letters, the first in the lowest byte.
constexpr uint32_t GpsProtocolCode(const char (&letters)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(letters[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(letters[3])) << 24;
}
constexpr uint32_t kGpsProtocolNmea = GpsProtocolCode("NMEA");
constexpr uint32_t kGpsProtocolNavm = GpsProtocolCode("NAVM");
constexpr uint32_t kGpsProtocolTsip = GpsProtocolCode("TSIP");
constexpr uint32_t kGpsProtocolEart = GpsProtocolCode("EART");
constexpr uint32_t kGpsProtocolPlgr = GpsProtocolCode("PLGR");
static_assert(kGpsProtocolNmea == 0x41454D4E && kGpsProtocolEart == 0x54524145);

// The code of a protocol name: its first four characters' low bytes (missing
// ones are 0).
uint32_t GpsProtocolFromText(const WChar* text);

// Script event ids of the GPS object.
enum GpsScriptEventId {
    kGpsEventOnSentence = 14,
    kGpsEventOnPosition = 15,
    kGpsEventOnOpen = 24,
    kGpsEventOnClose = 25,
    kGpsEventOnAverageStart = 36,
    kGpsEventOnAverageStop = 37,
    kGpsEventOnExEvent = 39,
};

class CGps : public IGps {
public:
    // Open option bit 0: the initial position is valid and may be sent.
    static constexpr int kOptionInitialPosition = 1;

    CGps();
    ~CGps() override;
    CGps(const CGps&) = delete;
    CGps& operator=(const CGps&) = delete;

    // The open sequence of a protocol code (Open converts the name).
    bool OpenProtocol(uint32_t code, HWND view, int options, const GpsLocation& location,
                      const WChar* initialize);
    // Parses one received unit; Parse finds the unit's length at the port.
    bool ParseUnit(const uint8_t* data, int length);
    void ResetAveraging();
    // The GPS script object the events are fired on (none: no events).
    void SetScriptObject(IDispatch* object) { m_scriptObject = object; }
    // The user's port settings, copied into the port at every open (the
    // receiver's own record until the preferences hand theirs over).
    void SetPortSettings(const CSerialSettings* settings) { m_portSettings = settings; }
    CSerialPort& SerialPort() { return m_port; }
    uint32_t ProtocolCode() const { return m_protocol; }
    const DatumTransformation& ReceiverDatum() const { return m_receiverDatum; }
    // The extension serving the open connection and its handle (none and 0).
    IGpsProtocolExtension* CurrentExtension() const { return m_extension; }
    uint32_t ExtensionHandle() const { return m_extensionHandle.load(); }
    bool IsRawLogOpen() const { return m_logOpen; }
    bool IsPolling() const { return m_polling; }

    // IGps
    bool IsGpsActive() override { return m_port.IsOpen(); }
    bool Open(const WChar* protocol, HWND view, int options, const GpsLocation& location,
              const WChar* initialize) override;
    void Close() override { CloseReceiver(); }
    // False when the port was not open.
    bool CloseReceiver();
    bool Parse(const void* block) override;
    void Poll() override;
    bool UpdatePosition(CCoordSys* mapCoordSys, GpsPosition* position) override;
    bool SetDatum(WStringView datumName) override;
    void SetPosition(const GpsLocation& location) override;
    void InvalidateFix() override;
    void FireEvent(int eventId, int id) override;
    bool IsProtocol(const char* code) override;
    void SetChecksumRequired(bool required) override { m_nmea.SetChecksumRequired(required); }
    bool CheckNmeaChecksum(const char* sentence) override { return NmeaCheckChecksum(sentence); }
    bool HasFix() override { return m_position.fixQuality != 0; }
    bool CheckDgps() override;
    bool Check3D() override;
    bool CheckMaxPdop() override;
    bool CheckMaxEpe() override;
    bool IsPositionAcceptable() override;
    void StartAveraging() override;
    void StopAveraging() override;
    GpsFix GetWgs84Fix() override { return m_wgs84; }
    GpsFix GetDatumFix() override { return m_datum; }
    GpsFix GetProjectedFix() override { return m_projected; }
    GpsFix GetAveragedFix() override { return m_averageProjected; }
    // The mean on the map datum (longitude, latitude, height, fourth value).
    GpsFix GetAveragedDatumFix() const { return m_averageMean; }
    int32_t GetAveragedCount() override { return m_averageCount; }
    GpsPosition& Position() override { return m_position; }
    IGpsPort* Port() override { return &m_port; }
    // The alerts (gps/alerts.h), the position window and the Send Message
    // dialog for the view.
    void RaiseAlert(HWND owner, int alert, HWND notify) override;
    void ShowPositionWindow() override;
    void UpdatePositionWindow(CCoordSys* mapCoordSys) override;
    void ClosePositionWindow() override { m_positionWindow.Close(); }
    bool IsPositionWindowOpen() override { return m_positionWindow.IsOpen(); }
    void RunSendMessage() override;
    CGpsPositionWindow& PositionWindow() { return m_positionWindow; }

private:
    bool ParseEarthmate(const uint8_t* data, int length);
    void AddToAverage(CCoordSys* mapCoordSys);
    void TellConversionProblem(const CCoordSys& mapCoordSys);
    void CloseRawLog();
    bool FailOpen();

    uint32_t m_protocol = 0;
    CNmeaParser m_nmea;
    CTsipParser m_tsip;
    CEartParser m_eart;
    GpsFix m_wgs84;
    GpsFix m_datum;
    GpsFix m_projected;
    bool m_averaging = false;
    int32_t m_averageCount = 0;
    double m_averageSum[4] = {};
    double m_averageFirstLongitude = 0;  // longitudes are summed unwrapped around it
    bool m_averageHeightKnown = true;
    bool m_averageFourthKnown = true;
    GpsFix m_averageMean;
    GpsFix m_averageProjected;
    IDispatch* m_scriptObject = nullptr;
    fs::File m_log;
    bool m_logOpen = false;
    CSerialPort m_port;
    CSerialSettings m_ownPortSettings;
    const CSerialSettings* m_portSettings = &m_ownPortSettings;
    GpsPosition m_position;
    // A copy: reloading the datum table frees its rows.
    DatumTransformation m_receiverDatum;
    // The receiver datum / map system pair last checked for a conversion
    // problem: the user hears of each pair once, not at every fix.
    bool m_conversionChecked = false;
    DatumTransformation m_checkedReceiverDatum;
    DatumTransformation m_checkedMapDatum;
    int32_t m_checkedMapProjection = 0;
    uint32_t m_pollCounter = 0;
    bool m_polling = false;
    GpsLocation m_initial;
    bool m_initialSent = false;
    int m_options = 0;
    IGpsProtocolExtension* m_extension = nullptr;
    CGpsPositionWindow m_positionWindow;
    // The Send Message dialog's last file.
    WString m_messagePath;
    // Read by the reader thread's framer.
    std::atomic<uint32_t> m_extensionHandle{0};
};
