#include "gps/gps.h"

#include <cmath>
#include <cstring>
#include <ctime>
#include <string>

#include "crs/code_tables.h"
#include "crs/coord_sys.h"
#include "crs/geographic.h"
#include "gps/alerts.h"
#include "gps/message_dialog.h"
#include "gps/gps_position.h"
#include "map/map_messages.h"
#include "map/services/preferences.h"
#include "map/services/script_events.h"
#include "map/view/map_view.h"
#include "platform/sys/thread.h"
#include "platform/win/window.h"

namespace {

IGpsExtensions* g_extensions = nullptr;

bool HasValue(double v) {
    return std::isfinite(v) && !IsNoData(v);
}

GpsFix NoDataFix() {
    return {kGpsNoData, kGpsNoData, kGpsNoData, kGpsNoData};
}

// The longitude brought into -180 to 180.
double WrapLongitude(double lon) {
    lon = std::fmod(lon, 360.0);
    if (lon > 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;
    return lon;
}

const PreferencesData::Gps& GpsPreferences() {
    return GetPreferences()->Data().gps;
}

// Up to four characters' low bytes, the first in the lowest byte.
template <typename Char>
uint32_t PackProtocolCode(const Char* text) {
    uint32_t code = 0;
    for (int i = 0; i < 4 && text && text[i]; ++i)
        code |= static_cast<uint32_t>(text[i] & 0xFF) << (8 * i);
    return code;
}

}  // namespace

IGpsExtensions* GetGpsExtensions() {
    return g_extensions;
}
void SetGpsExtensions(IGpsExtensions* extensions) {
    g_extensions = extensions;
}

uint32_t GpsProtocolFromText(const WChar* text) {
    return PackProtocolCode(text);
}

CGps::CGps() {
    m_nmea.SetChecksumRequired(true);
    m_receiverDatum = Wgs84Datum();
    m_tsip.SetEllipsoid(m_receiverDatum.a, m_receiverDatum.f);
    ResetGpsPosition(&m_position);
    m_wgs84 = m_datum = m_projected = NoDataFix();
    ResetAveraging();
}

CGps::~CGps() {
    // Leave quietly: nobody is there to hear the events any more.
    m_port.Close();
    if (m_extension && m_extensionHandle) m_extension->GPSClose(m_extensionHandle);
    CloseRawLog();
}

bool CGps::Open(const WChar* protocol, HWND view, int options, const GpsLocation& location,
                const WChar* initialize) {
    return OpenProtocol(GpsProtocolFromText(protocol), view, options, location, initialize);
}

bool CGps::OpenProtocol(uint32_t code, HWND view, int options, const GpsLocation& location,
                        const WChar* initialize) {
    if (m_port.IsOpen()) CloseReceiver();

    // Who reads this protocol; an unknown code fails before the port is touched.
    IGpsProtocolExtension* extension = nullptr;
    const bool builtIn = code == kGpsProtocolNmea || code == kGpsProtocolNavm ||
                         code == kGpsProtocolTsip || code == kGpsProtocolEart ||
                         code == kGpsProtocolPlgr;
    if (!builtIn) {
        extension = g_extensions ? g_extensions->FindGpsExtension(code) : nullptr;
        if (!extension) return false;
    }

    m_protocol = code;
    m_extension = extension;
    m_extensionHandle = 0;
    ResetGpsPosition(&m_position);
    m_position.lastPacketId = 0;
    m_position.lastSequenceValue = 0;
    m_polling = true;
    m_initial = location;
    m_options = options;
    m_initialSent = false;

    // The port takes the user's settings for this open only: NAVM replaces
    // them on the copy and never in the preferences.
    m_port.Settings() = *m_portSettings;
    if (code == kGpsProtocolNavm) {
        CSerialSettings& s = m_port.Settings();
        std::memcpy(s.prefix, u"GPS", sizeof(u"GPS"));
        s.port = 1;
        s.baud = 57600;
        s.parity = 'N';
        s.databits = 8;
        s.stopbits = 0;
        s.infrared = 0;
        s.rtscontrol = 2;
        s.dtrcontrol = 2;
        s.ctshandshake = 1;
        s.dsrhandshake = 1;
        SetDatum(u"WGS84");
    }
    if (code == kGpsProtocolTsip) {
        m_port.SetFramer(CTsipParser::FramePacket);
    } else if (code == kGpsProtocolEart) {
        m_port.SetFramer(CEartParser::FramePacket);
    } else if (extension && extension->HasRxHandler()) {
        m_port.SetFramer([this, extension](const uint8_t* next, int* unread, uint8_t* packet,
                                           int* count) {
            return extension->GPSRxHandler(m_extensionHandle.load(), next, unread, packet, count) !=
                   0;
        });
    } else {
        m_port.SetFramer(nullptr);
    }

    m_pollCounter = 0;
    m_position.modeBits |= 0x1;

    // '|' is a line feed and '^' a carriage return.
    WString text = initialize ? WString(initialize) : WString();
    for (size_t i = text.size(); i-- > 0;) {
        if (text[i] == u'|')
            text[i] = 10;
        else if (text[i] == u'^')
            text[i] = 13;
    }

    if (!m_port.Open(this)) return false;

    const PreferencesData::Gps& prefs = GpsPreferences();
    if (prefs.log != 0 && !prefs.logfile.empty()) {
        // 1 starts an empty log; 2 keeps what is there and adds at its end.
        m_logOpen = m_log.Open(prefs.logfile, fs::kGenericWrite, fs::kShareRead,
                               prefs.log == 2 ? fs::kOpenAlways : fs::kCreateAlways);
        if (m_logOpen && prefs.log == 2 && !m_log.Seek(0, fs::kSeekEnd)) CloseRawLog();
    }

    if (!m_port.StartReader(view, false)) return FailOpen();

    if (code == kGpsProtocolNmea || code == kGpsProtocolNavm) {
        if (!text.empty()) m_port.WriteString(text.c_str());
        m_polling = false;
    } else if (code == kGpsProtocolTsip) {
        m_port.SendBreak(100);
        sys::Sleep(250);
        if (options & kOptionInitialPosition) {
            const auto bytes = CTsipParser::WritePacket(TsipInitialPosition(
                0x32, m_initial.latitude, m_initial.longitude, m_initial.altitude));
            m_port.Write(bytes.data(), static_cast<int>(bytes.size()));
        }
        const auto poll =
            CTsipParser::WritePacket(TsipPollRequest(static_cast<int>(m_pollCounter)));
        for (int i = 0; i < 4; ++i) m_port.Write(poll.data(), static_cast<int>(poll.size()));
    } else if (code == kGpsProtocolEart) {
        sys::Sleep(250);
        m_port.WriteAnsi("EARTHA\r\n");
    } else if (extension) {
        HWND main = view;
        while (main && GetParent(main)) main = GetParent(main);
        const uint32_t handle =
            extension->GPSOpen(m_port.Descriptor(), main, options, m_initial, text.c_str());
        if (!handle) return FailOpen();
        m_extensionHandle = handle;
    }
    FireEvent(kGpsEventOnOpen, 0);
    return true;
}

bool CGps::FailOpen() {
    m_port.Close();
    CloseRawLog();
    m_extension = nullptr;
    m_extensionHandle = 0;
    return false;
}

bool CGps::CloseReceiver() {
    if (!m_port.IsOpen()) return false;
    // The reader stops first: until then the framer may still call the
    // extension with the connection's handle.
    m_port.StopReader();
    if (m_extension && m_extensionHandle) m_extension->GPSClose(m_extensionHandle);
    m_extensionHandle = 0;
    FireEvent(kGpsEventOnClose, 0);
    m_port.Close();
    CloseRawLog();
    return true;
}

void CGps::CloseRawLog() {
    if (m_log.IsOpen()) m_log.Close();
    m_logOpen = false;
}

bool CGps::Parse(const void* block) {
    // Only the unit the port handed over and the view accepted: anything
    // else (a stale message, a unit of a closed port) is not read at all.
    int length = 0;
    const uint8_t* data = m_port.AcceptedData(&length);
    if (!block || block != data) return false;
    return ParseUnit(data, length);
}

bool CGps::ParseUnit(const uint8_t* data, int length) {
    if (!data || length < 0) return false;
    m_position.errorCode = 0;
    m_position.errorText[0] = 0;
    switch (m_protocol) {
        case kGpsProtocolNmea:
        case kGpsProtocolNavm: {
            const std::string sentence(reinterpret_cast<const char*>(data),
                                       static_cast<size_t>(length));
            if (m_logOpen) {
                m_log.Write(sentence.data(), sentence.size());
                m_log.Write("\n", 1);
            }
            return m_nmea.ParseSentence(sentence.c_str(), &m_position);
        }
        case kGpsProtocolTsip:
            return m_tsip.Decode(data, length, &m_position);
        case kGpsProtocolEart:
            return ParseEarthmate(data, length);
        case kGpsProtocolPlgr:
            return true;
        default:
            return m_extension && m_extensionHandle &&
                   m_extension->GPSParse(m_extensionHandle, data, &m_position) == 1;
    }
}

bool CGps::ParseEarthmate(const uint8_t* data, int length) {
    if (CEartParser::IsHandshake(data, length)) {
        m_port.WriteAnsi("EARTHA\r\n");
        return false;
    }
    if (!m_eart.Decode(data, length, &m_position)) return false;
    if (!m_initialSent && m_position.lastSequenceValue > 2) {
        if (m_options & kOptionInitialPosition) {
            const std::time_t now = std::time(nullptr);
            std::tm utc{};
            gmtime_r(&now, &utc);
            const auto bytes =
                EartFrameMessage(1200, EartBuildInitMessage(m_initial.latitude, m_initial.longitude,
                                                            m_initial.altitude, utc));
            m_port.Write(bytes.data(), static_cast<int>(bytes.size()));
        }
        m_initialSent = true;
    }
    return true;
}

void CGps::Poll() {
    if (!m_polling) return;
    switch (m_protocol) {
        case kGpsProtocolNmea:
        case kGpsProtocolNavm:
        case kGpsProtocolEart:
            m_polling = false;
            break;
        case kGpsProtocolTsip: {
            m_pollCounter %= 5;
            const auto bytes =
                CTsipParser::WritePacket(TsipPollRequest(static_cast<int>(m_pollCounter)));
            m_port.Write(bytes.data(), static_cast<int>(bytes.size()));
            break;
        }
        case kGpsProtocolPlgr:
            break;
        default:
            if (m_extension && m_extension->HasPoll())
                m_extension->GPSPoll(m_extensionHandle, m_pollCounter);
            break;
    }
    ++m_pollCounter;
}

bool CGps::UpdatePosition(CCoordSys* mapCoordSys, GpsPosition* position) {
    if (!position) position = &m_position;
    const double lon = position->longitude, lat = position->latitude, height = position->height;
    const bool useHeight = GpsPreferences().useheight;
    const bool heightKnown = HasValue(height);
    auto refuse = [&] {
        m_wgs84 = m_datum = m_projected = NoDataFix();
        return false;
    };
    // A position without data is never shifted, projected or averaged.
    if (!HasValue(lon) || !HasValue(lat)) return refuse();
    if (mapCoordSys) TellConversionProblem(*mapCoordSys);
    // A map in a projection we do not know has no place for a position on
    // the earth: its units are not degrees.
    if (mapCoordSys && mapCoordSys->m_projectionCode == crs_code::kUnknown) return refuse();

    // The shifts run at height 0 unless heights are used and one was received.
    m_wgs84 = {lon, lat, height, position->fourth};
    if (!IsWgs84Identity(m_receiverDatum)) {
        const double shiftHeight = useHeight && heightKnown ? height : 0.0;
        double outHeight = shiftHeight;
        TransformDatum(m_receiverDatum, lon, lat, shiftHeight, &m_wgs84.x, &m_wgs84.y, &outHeight,
                       false);
        // A shift we do not carry out leaves the height as received.
        if (useHeight && heightKnown && std::isfinite(outHeight)) m_wgs84.z = outHeight;
    }
    m_datum = m_wgs84;
    if (mapCoordSys && IsSameDatumShift(m_receiverDatum, mapCoordSys->m_datum)) {
        // A datum needs no shift to itself, also one whose shift to WGS 1984
        // we do not carry out (then the WGS 1984 fix alone has no position).
        m_datum.x = lon;
        m_datum.y = lat;
    } else if (mapCoordSys && !IsWgs84Identity(mapCoordSys->m_datum)) {
        const double shiftHeight = useHeight && heightKnown ? m_wgs84.z : 0.0;
        TransformDatum(mapCoordSys->m_datum, m_wgs84.x, m_wgs84.y, shiftHeight, &m_datum.x,
                       &m_datum.y, nullptr, true);
    }
    // A datum shift that cannot be carried out gives no position at all.
    if (!std::isfinite(m_datum.x) || !std::isfinite(m_datum.y)) return refuse();
    m_projected = m_datum;
    if (mapCoordSys)
        mapCoordSys->GeographicToProjected(m_datum.x, m_datum.y, &m_projected.x, &m_projected.y);
    m_datum.z = m_projected.z = m_wgs84.z;
    m_datum.m = m_projected.m = m_wgs84.m;
    if (m_averaging) AddToAverage(mapCoordSys);
    return true;
}

// A receiver datum whose positions cannot be converted to the map's system
// (a shift method we do not carry out, a projection we do not know), or may
// be off, is told once per receiver datum and map system, as layers are.
void CGps::TellConversionProblem(const CCoordSys& mapCoordSys) {
    if (m_conversionChecked && m_checkedReceiverDatum == m_receiverDatum &&
        m_checkedMapDatum == mapCoordSys.m_datum &&
        m_checkedMapProjection == mapCoordSys.m_projectionCode)
        return;
    m_conversionChecked = true;
    m_checkedReceiverDatum = m_receiverDatum;
    m_checkedMapDatum = mapCoordSys.m_datum;
    m_checkedMapProjection = mapCoordSys.m_projectionCode;
    CGeographic receiver;
    receiver.SetDatum(m_receiverDatum);
    const ConversionProblem problem = FindConversionProblem(receiver, mapCoordSys);
    if (problem != ConversionProblem::kNone)
        ShowConversionProblem(problem, u"the GPS", receiver, mapCoordSys);
}

void CGps::AddToAverage(CCoordSys* mapCoordSys) {
    if (GpsPreferences().qualitycontrolLevel != 0 && !IsPositionAcceptable()) return;
    // Longitudes are unwrapped around the first fix, so that fixes on both
    // sides of the 180th meridian average near it and not near 0.
    double lon = m_datum.x;
    if (m_averageCount == 0) {
        m_averageFirstLongitude = lon;
    } else {
        while (lon - m_averageFirstLongitude > 180.0) lon -= 360.0;
        while (lon - m_averageFirstLongitude < -180.0) lon += 360.0;
    }
    const double add[4] = {lon, m_datum.y, m_datum.z, m_datum.m};
    for (int i = 0; i < 4; ++i) m_averageSum[i] += add[i];
    // One height or fourth value without data makes that mean without data.
    m_averageHeightKnown = m_averageHeightKnown && HasValue(m_datum.z);
    m_averageFourthKnown = m_averageFourthKnown && HasValue(m_datum.m);
    ++m_averageCount;
    const double n = m_averageCount;
    m_averageMean = {WrapLongitude(m_averageSum[0] / n), m_averageSum[1] / n,
                     m_averageHeightKnown ? m_averageSum[2] / n : kGpsNoData,
                     m_averageFourthKnown ? m_averageSum[3] / n : kGpsNoData};
    m_averageProjected = m_averageMean;
    if (mapCoordSys)
        mapCoordSys->GeographicToProjected(m_averageMean.x, m_averageMean.y, &m_averageProjected.x,
                                           &m_averageProjected.y);
}

void CGps::ResetAveraging() {
    for (double& s : m_averageSum) s = 0;
    m_averageCount = 0;
    m_averageFirstLongitude = 0;
    m_averageHeightKnown = m_averageFourthKnown = true;
    m_averageMean = m_averageProjected = NoDataFix();
}

void CGps::StartAveraging() {
    m_averaging = true;
    ResetAveraging();
    FireEvent(kGpsEventOnAverageStart, 0);
    m_position.stateBits |= ZN_GPS_STATE_AVERAGING;
}

void CGps::StopAveraging() {
    if (m_averaging) {
        m_averaging = false;
        FireEvent(kGpsEventOnAverageStop, 0);
    }
    m_position.stateBits &= ~ZN_GPS_STATE_AVERAGING;
}

bool CGps::SetDatum(WStringView datumName) {
    const DatumTransformation* row = FindDatumByName(datumName);
    m_receiverDatum = row ? *row : Wgs84Datum();
    m_tsip.SetEllipsoid(m_receiverDatum.a, m_receiverDatum.f);
    return row != nullptr;
}

void CGps::SetPosition(const GpsLocation& location) {
    m_position.longitude = location.longitude;
    m_position.latitude = location.latitude;
    m_position.height = location.altitude;
    m_position.fourth = location.fourth;
}

void CGps::InvalidateFix() {
    m_position.fixQuality = 0;
    m_position.updateBits |= ZN_GPS_UPDATE_FIX;
}

void CGps::FireEvent(int eventId, int id) {
    FireScriptEvent(m_scriptObject, eventId, true, id);
}

bool CGps::IsProtocol(const char* code) {
    if (!code) return false;
    const uint32_t asked = PackProtocolCode(code);
    return asked == m_protocol || (asked == kGpsProtocolNmea && m_protocol == kGpsProtocolNavm);
}

bool CGps::CheckMaxPdop() {
    const auto& prefs = GpsPreferences();
    const double pdop = m_position.pdop;
    return !prefs.pdopActive || IsNoData(pdop) || pdop == 0 || !(pdop > prefs.pdopMaximum);
}

bool CGps::CheckMaxEpe() {
    const auto& prefs = GpsPreferences();
    const double epe = m_position.epe;
    return !prefs.epeActive || IsNoData(epe) || epe == 0 || !(epe > prefs.epeMaximum);
}

bool CGps::Check3D() {
    return !GpsPreferences().mode3d || (m_position.modeBits & 0x1);
}

bool CGps::CheckDgps() {
    return !GpsPreferences().modeDgps || m_position.fixQuality > 1;
}

bool CGps::IsPositionAcceptable() {
    return HasFix() && CheckMaxPdop() && CheckMaxEpe() && CheckDgps() && Check3D();
}

void CGps::RaiseAlert(HWND owner, int alert, HWND notify) { ::RaiseAlert(owner, alert, notify); }

void CGps::ShowPositionWindow() { ShowGpsPositionWindow(m_positionWindow, win::GetMainWindow()); }

void CGps::UpdatePositionWindow(CCoordSys* mapCoordSys) {
    m_positionWindow.UpdateStatus(mapCoordSys, this,
                                  CurrentMapView ? &CurrentMapView->GetDestination() : nullptr);
}

void CGps::RunSendMessage() {
    CGpsMessageDlg dialog(win::GetMainWindow());
    dialog.SetLastPath(m_messagePath);
    dialog.Run(m_port.IsOpen() ? &m_port : nullptr);
    m_messagePath = dialog.GetLastPath();
}
