#include "shell/options/gps_pages.h"

#include <cmath>

#include "core/language_module.h"
#include "core/shell_helpers.h"
#include "crs/code_tables.h"
#include "gps/alerts.h"
#include "crs/datum_table.h"
#include "map/dialogs/coord_ddx.h"
#include "map/dialogs/crs_dialogs.h"
#include "map/layers/tracklog_layer.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "resources/zres.h"
#include "shell/app/app_services.h"
#include "shell/options/option_helpers.h"

void DDX_CheckBool(CDataExchange* dx, int id, bool& value) {
    int check = value ? 1 : 0;
    DDX_Check(dx, id, check);
    if (dx->m_bSaveAndValidate) value = check != 0;
}

// ---------------------------------------------------------------- Protocol

namespace {
const ProtocolEntry kBuiltInProtocols[] = {
    {u"NMEA 0183", u"NMEA"},
    {u"TSIP", u"TSIP"},
    {u"Earthmate\u00AE", u"EART"},
};
}  // namespace

std::vector<ProtocolEntry> ProtocolExtensions(IAppExtensions* extensions) {
    constexpr uint32_t kGpsProtocolKind = 16;
    std::vector<ProtocolEntry> out;
    const int count = extensions ? extensions->GetCount() : 0;
    for (int i = 0; i < count; ++i) {
        const ExtensionInfo info = extensions->GetExtensionInfo(i);
        if (info.kind == kGpsProtocolKind) out.push_back({info.name, info.code});
    }
    return out;
}

CGpsProtocolPage::CGpsProtocolPage(PreferencesData::Gps& gps, IAppExtensions* extensions)
    : CPropertyPageExt(IDD_OPT_PROTOCOL, IDD_OPT_PROTOCOL), m_gps(gps), m_extensions(extensions) {
    m_showDatum = [](HWND parent, const WString& datum) {
        CDatumTransformationDlg dialog(parent);
        dialog.ShowDatum(datum);
    };
}

bool CGpsProtocolPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_info.AutoLoad(GetSafeHwnd(), IDC_PROTOCOL_INFO, IDB_INFO_UP, IDB_INFO_DOWN, IDB_INFO_FOCUS,
                    IDB_INFO_DISABLED);

    // The datum names, each once: the table may hold several rows of one
    // datum (one per transformation) one after the other.
    HWND datums = GetDlgItem(IDC_PROTOCOL_DATUM);
    SendMessage(datums, CB_RESETCONTENT, 0, 0);
    WString previous;
    for (int32_t i = 0; i < GetDatumCount(); ++i) {
        const DatumTransformation* row = GetDatumRow(i);
        if (!row || (i > 0 && row->datumName == previous)) continue;
        previous = row->datumName;
        LRESULT at = SendMessage(datums, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row->datumName.c_str()));
        if (at >= 0) SendMessage(datums, CB_SETITEMDATA, WPARAM(at), LPARAM(i));
    }

    // The protocols; a code no entry has (an extension that is not loaded
    // now, or a file edited by hand) is shown as its own entry so that it
    // survives until the user picks another.
    m_entries.assign(std::begin(kBuiltInProtocols), std::end(kBuiltInProtocols));
    for (ProtocolEntry& e : ProtocolExtensions(m_extensions)) m_entries.push_back(std::move(e));
    int selected = -1;
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (m_entries[i].code == m_gps.protocol) selected = static_cast<int>(i);
    if (selected < 0 && !m_gps.protocol.empty()) {
        m_entries.push_back({m_gps.protocol, m_gps.protocol});
        selected = static_cast<int>(m_entries.size()) - 1;
    }
    HWND list = GetDlgItem(IDC_PROTOCOL_LIST);
    SendMessage(list, CB_RESETCONTENT, 0, 0);
    for (const ProtocolEntry& e : m_entries) SendMessage(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(e.name.c_str()));
    SendMessage(list, CB_SETCURSEL, 0, 0);
    UpdateData(false);
    if (selected >= 0) SendMessage(list, CB_SETCURSEL, WPARAM(selected), 0);
    return true;
}

void CGpsProtocolPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_CheckBool(dx, IDC_PROTOCOL_AUTOACTIVATE, m_gps.autoactivate);
    DDX_CheckBool(dx, IDC_PROTOCOL_CHECKSUM, m_gps.checksum);
    DDX_CBStringExact(dx, IDC_PROTOCOL_DATUM, m_gps.datum);
    DDX_CheckBool(dx, IDC_PROTOCOL_USEHEIGHT, m_gps.useheight);
    DDX_Text(dx, IDC_PROTOCOL_INIT, m_gps.initialize);
    if (dx->m_bSaveAndValidate) TakeProtocol();
}

void CGpsProtocolPage::TakeProtocol() {
    LRESULT at = SendMessage(GetDlgItem(IDC_PROTOCOL_LIST), CB_GETCURSEL, 0, 0);
    if (at >= 0 && static_cast<size_t>(at) < m_entries.size()) m_gps.protocol = m_entries[size_t(at)].code;
}

bool CGpsProtocolPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD code = HIWORD(wParam);
    if (LOWORD(wParam) == IDC_PROTOCOL_INFO && (code == BN_CLICKED || code == BN_DBLCLK)) {
        UpdateData(true);
        if (m_showDatum) m_showDatum(GetSafeHwnd(), m_gps.datum);
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

LRESULT CGpsProtocolPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The page keeps what it shows when the sheet closes, OK or Cancel
    // (nothing on it is checked, so nothing can be refused).
    if (msg == WM_DESTROY) UpdateData(true);
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- ports

namespace {
const WChar* const kParities[] = {u"None", u"Odd", u"Even", u"Mark", u"Space"};
const WChar* const kStopBits[] = {u"1", u"1.5", u"2"};
const WChar* const kLineControls[] = {u"disable", u"enable", u"handshake"};
}  // namespace

std::vector<uint32_t> CPortPage::GpsBauds() {
    return {1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200};
}

std::vector<uint32_t> CPortPage::AuxBauds() {
    return {110, 300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
}

CPortPage::CPortPage(UINT templateId, CSerialSettings& settings, std::vector<uint32_t> bauds)
    : CPropertyPageExt(templateId, templateId), m_settings(settings), m_bauds(std::move(bauds)) {}

bool CPortPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    const CSerialSettings& s = m_settings;
    m_port = static_cast<int>(s.port) - 1;
    m_baud = 0;  // a rate the list does not have shows the first
    for (size_t i = 0; i < m_bauds.size(); ++i)
        if (m_bauds[i] == s.baud) m_baud = static_cast<int>(i);
    m_parity = ParityFromLetter(s.parity);
    m_dataBits = static_cast<int>(s.databits) - 7;
    m_stopBits = static_cast<int>(s.stopbits);
    m_infrared = s.infrared;
    m_rts = static_cast<int>(s.rtscontrol);
    m_dtr = static_cast<int>(s.dtrcontrol);
    m_cts = s.ctshandshake;
    m_dsr = s.dsrhandshake;

    HWND dialog = GetSafeHwnd();
    std::vector<WString> ports;
    for (int i = 1; i <= 32; ++i) ports.push_back(text::Format(u"COM%d", i));
    FillComboTexts(dialog, IDC_PORT_PORT, ports);
    std::vector<WString> bauds;
    for (uint32_t b : m_bauds) bauds.push_back(text::Format(u"%u", b));
    FillComboTexts(dialog, IDC_PORT_BAUD, bauds);
    FillComboTexts(dialog, IDC_PORT_DATABITS, {u"7", u"8"});
    FillComboTexts(dialog, IDC_PORT_PARITY, {std::begin(kParities), std::end(kParities)});
    FillComboTexts(dialog, IDC_PORT_STOPBITS, {std::begin(kStopBits), std::end(kStopBits)});
    FillComboTexts(dialog, IDC_PORT_RTS, {std::begin(kLineControls), std::end(kLineControls)});
    FillComboTexts(dialog, IDC_PORT_DTR, {std::begin(kLineControls), std::end(kLineControls)});
    UpdateData(false);
    return true;
}

void CPortPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_CBIndex(dx, IDC_PORT_PORT, m_port);
    DDX_CBIndex(dx, IDC_PORT_BAUD, m_baud);
    DDX_CBIndex(dx, IDC_PORT_DATABITS, m_dataBits);
    DDX_CBIndex(dx, IDC_PORT_PARITY, m_parity);
    DDX_CBIndex(dx, IDC_PORT_STOPBITS, m_stopBits);
    DDX_CBIndex(dx, IDC_PORT_RTS, m_rts);
    DDX_CBIndex(dx, IDC_PORT_DTR, m_dtr);
    DDX_Check(dx, InfraredId(), m_infrared);
    DDX_Check(dx, CtsId(), m_cts);
    DDX_Check(dx, DsrId(), m_dsr);
}

void CPortPage::OnOK() {
    CSerialSettings& s = m_settings;
    // A list without a selection leaves its setting as it was.
    if (m_port >= 0) s.port = static_cast<uint32_t>(m_port + 1);
    if (m_baud >= 0 && static_cast<size_t>(m_baud) < m_bauds.size()) s.baud = m_bauds[size_t(m_baud)];
    if (m_parity >= 0) s.parity = static_cast<char>(ParityToLetter(m_parity));
    if (m_dataBits >= 0) s.databits = static_cast<uint32_t>(m_dataBits + 7);
    if (m_stopBits >= 0) s.stopbits = static_cast<uint32_t>(m_stopBits);
    if (m_dtr >= 0) s.dtrcontrol = static_cast<uint32_t>(m_dtr);
    if (m_rts >= 0) s.rtscontrol = static_cast<uint32_t>(m_rts);
    s.infrared = m_infrared != 0;
    s.ctshandshake = m_cts != 0;
    s.dsrhandshake = m_dsr != 0;
}

CGpsPortPage::CGpsPortPage(CSerialSettings& settings, PreferencesData& options)
    : CPortPage(IDD_OPT_GPS, settings, GpsBauds()), m_options(options) {
    m_chooseLogFile = [](HWND parent, WString& path) {
        CFileDialogEx dialog(false, u"log", path.c_str(), OFN_HIDEREADONLY, u"Log Files|*.log|All Files|*.*||",
                             parent);
        dialog.m_ofn.initialDir = GetTempFolder();
        if (dialog.DoModal() != IDOK) return false;
        path = dialog.GetPathName();
        return true;
    };
}

int CGpsPortPage::InfraredId() const { return IDC_GPS_INFRARED; }
int CGpsPortPage::CtsId() const { return IDC_GPS_CTS; }
int CGpsPortPage::DsrId() const { return IDC_GPS_DSR; }

void CGpsPortPage::DoDataExchange(CDataExchange* dx) {
    CPortPage::DoDataExchange(dx);
    DDX_CheckBool(dx, IDC_GPS_TRAY, m_options.display.systemtrayGps);
    // Three states: 0 no log, 1 a new log, 2 (indeterminate) the old one
    // continued.
    DDX_Check(dx, IDC_GPS_LOG, m_options.gps.log);
}

bool CGpsPortPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_GPS_LOG && HIWORD(wParam) == BN_DBLCLK) {
        WString path = m_options.gps.logfile;
        if (m_chooseLogFile && m_chooseLogFile(GetSafeHwnd(), path)) m_options.gps.logfile = path;
        return true;
    }
    return CPortPage::OnCommand(wParam, lParam);
}

CAuxPortPage::CAuxPortPage(CSerialSettings& settings) : CPortPage(IDD_OPT_AUX, settings, AuxBauds()) {}

int CAuxPortPage::InfraredId() const { return IDC_AUX_INFRARED; }
int CAuxPortPage::CtsId() const { return IDC_AUX_CTS; }
int CAuxPortPage::DsrId() const { return IDC_AUX_DSR; }

// ---------------------------------------------------------------- Quality

CQualityPage::CQualityPage(PreferencesData::Gps& gps)
    : CPropertyPageExt(IDD_OPT_QUALITY, IDD_OPT_QUALITY), m_gps(gps) {}

bool CQualityPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    ApplyEnabling();
    return true;
}

void CQualityPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Radio(dx, IDC_QUALITY_NONE, m_gps.qualitycontrolLevel);
    DDX_CheckBool(dx, IDC_QUALITY_PDOP_ON, m_gps.pdopActive);
    DDX_DoubleDefault(dx, IDC_QUALITY_PDOP, m_gps.pdopMaximum, 0);
    DDV_MinMaxDouble(dx, m_gps.pdopMaximum, 0, 9);
    DDX_CheckBool(dx, IDC_QUALITY_EPE_ON, m_gps.epeActive);
    DDX_DoubleDefault(dx, IDC_QUALITY_EPE, m_gps.epeMaximum, 0);
    DDV_MinMaxDouble(dx, m_gps.epeMaximum, 0, 9999);
    DDX_CheckBool(dx, IDC_QUALITY_DGPS, m_gps.modeDgps);
    DDX_CheckBool(dx, IDC_QUALITY_3D, m_gps.mode3d);
}

void CQualityPage::ApplyEnabling() {
    // The limits only mean something when warnings are given.
    const bool on = IsDlgButtonChecked(GetSafeHwnd(), IDC_QUALITY_NONE) != BST_CHECKED &&
                    (IsDlgButtonChecked(GetSafeHwnd(), IDC_QUALITY_OPTIONAL) == BST_CHECKED ||
                     IsDlgButtonChecked(GetSafeHwnd(), IDC_QUALITY_COMPULSORY) == BST_CHECKED);
    for (int id : {IDC_QUALITY_PDOP_ON, IDC_QUALITY_PDOP, IDC_QUALITY_EPE_ON, IDC_QUALITY_EPE, IDC_QUALITY_DGPS,
                   IDC_QUALITY_3D})
        EnableWindow(GetDlgItem(id), on);
}

bool CQualityPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const int id = LOWORD(wParam);
    if (HIWORD(wParam) == BN_CLICKED && id >= IDC_QUALITY_NONE && id <= IDC_QUALITY_COMPULSORY) {
        CPropertyPageExt::OnCommand(wParam, lParam);
        ApplyEnabling();
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

// ---------------------------------------------------------------- Capture

CCapturePage::CCapturePage(PreferencesData::Gps& gps)
    : CPropertyPageExt(IDD_OPT_CAPTURE, IDD_OPT_CAPTURE), m_gps(gps) {}

bool CCapturePage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    ApplyEnabling();
    return true;
}

void CCapturePage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_CheckBool(dx, IDC_CAPTURE_AVERAGING, m_gps.averagingEnabled);
    DDX_IntDefault(dx, IDC_CAPTURE_POINTS, m_gps.averagingPoint, 0);
    DDV_MinMaxInt(dx, m_gps.averagingPoint, 0, 9999);
    DDX_IntDefault(dx, IDC_CAPTURE_VERTICES, m_gps.averagingVertex, 0);
    DDV_MinMaxInt(dx, m_gps.averagingVertex, 0, 9999);
    DDX_Text(dx, IDC_CAPTURE_STREAMING, m_gps.streamingInterval);
    DDV_MinMaxInt(dx, m_gps.streamingInterval, 1, 9999);
}

void CCapturePage::ApplyEnabling() {
    const bool on = IsDlgButtonChecked(GetSafeHwnd(), IDC_CAPTURE_AVERAGING) == BST_CHECKED;
    EnableWindow(GetDlgItem(IDC_CAPTURE_POINTS), on);
    EnableWindow(GetDlgItem(IDC_CAPTURE_VERTICES), on);
}

bool CCapturePage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_CAPTURE_AVERAGING && HIWORD(wParam) == BN_CLICKED) {
        CPropertyPageExt::OnCommand(wParam, lParam);
        ApplyEnabling();
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

// ---------------------------------------------------------------- Alerts

CAlertsPage::CAlertsPage() : CPropertyPageExt(IDD_OPT_ALERTS, IDD_OPT_ALERTS) {
    m_chooseSound = [](HWND parent, WString& path) {
        CFileDialogEx dialog(true, u"wav", path.c_str(), OFN_HIDEREADONLY, u"Wave Sound (*.wav)|*.wav||", parent);
        if (dialog.DoModal() != IDOK) return false;
        path = dialog.GetPathName();
        return true;
    };
}

bool CAlertsPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    m_list.SubclassDlgItem(IDC_ALERTS_LIST, GetSafeHwnd());
    m_list.SetExtendedStyle(LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
    m_list.SetImageList(IDB_ALERT_ROWS, ListImages::Small, 16, RGB(255, 0, 255));
    m_list.InsertColumn(kShowColumn, u"", LVCFMT_LEFT, 28);
    m_list.InsertColumn(kAlertColumn, u"Alert", LVCFMT_LEFT, 110);
    m_list.InsertColumn(kPlayColumn, u"", LVCFMT_LEFT, 26);
    m_list.InsertColumn(kSampleColumn, u"", LVCFMT_LEFT, 26);
    m_list.InsertColumn(kSoundColumn, u"Sound Name", LVCFMT_LEFT, 220);
    m_list.SwapColumns(kShowColumn, kAlertColumn);
    if (m_header.Attach(m_list.GetHeader())) {
        m_header.SetImageList(IDB_ALERT_HEADER, 16, RGB(255, 0, 255));
        m_header.SetItemImage(kAlertColumn, 0);
        m_header.SetItemImage(kShowColumn, 1);
        m_header.SetItemImage(kPlayColumn, 2);
        m_header.SetItemImage(kSampleColumn, 3);
        m_header.SetItemImage(kSoundColumn, 4);
    }
    const AlertSettings* settings = GetAlertSettings();
    for (int alert = 0; alert < kAlertCount; ++alert) {
        int item = m_list.InsertItem(alert, u"");
        m_list.SetItemData(item, alert);
        m_list.SetCheck(item, settings[alert].show);
        ShowRow(alert);
    }
    return true;
}

void CAlertsPage::ShowRow(int alert) {
    const AlertSettings& s = GetAlertSettings()[alert];
    const AlertDef& row = kAlertTable[alert];
    const int icon = row.icon;
    m_list.SetItemText(alert, kAlertColumn, GetLanguageModule()->LoadString(row.caption, true).c_str());
    m_list.SetItemImage(alert, kAlertColumn, icon == 352 ? 1 : icon == 355 ? 2 : 0);
    m_list.SetItemImage(alert, kPlayColumn, s.play ? 7 : 6);
    m_list.SetItemImage(alert, kSampleColumn, 5);
    m_list.SetItemText(alert, kSoundColumn, s.sound.empty() ? u"<Default>" : s.sound.c_str());
}

void CAlertsPage::OnCellClicked(int item, int column) {
    if (item < 0 || item >= m_list.GetItemCount()) return;
    const int alert = static_cast<int>(m_list.GetItemData(item));
    if (alert < 0 || alert >= kAlertCount) return;
    AlertSettings& s = GetAlertSettings()[alert];
    // These take effect at once, whatever becomes of the sheet.
    switch (column) {
        case kPlayColumn:
            s.play = !s.play;
            break;
        case kSampleColumn:
            PlayAlertSound(kAlertTable[alert], s, true);
            return;
        case kSoundColumn: {
            WString path = s.sound;
            if (!m_chooseSound || !m_chooseSound(GetSafeHwnd(), path)) return;
            s.sound = path;
            break;
        }
        default:
            return;
    }
    ShowRow(alert);
}

bool CAlertsPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) {
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_ALERTS_LIST && header->code == NM_CLICK) {
        const NMITEMACTIVATE* click = reinterpret_cast<const NMITEMACTIVATE*>(lParam);
        OnCellClicked(click->iItem, click->iSubItem);
        *result = 0;
        return true;
    }
    return CPropertyPageExt::OnNotify(wParam, lParam, result);
}

void CAlertsPage::OnOK() {
    AlertSettings* settings = GetAlertSettings();
    for (int item = 0; item < m_list.GetItemCount(); ++item) {
        const int alert = static_cast<int>(m_list.GetItemData(item));
        if (alert >= 0 && alert < kAlertCount) settings[alert].show = m_list.GetCheck(item);
    }
}

LRESULT CAlertsPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && m_list.GetSafeHwnd())
        MoveWindow(m_list.GetSafeHwnd(), 0, 0, LOWORD(lParam), HIWORD(lParam), true);
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

// ---------------------------------------------------------------- Location

namespace {
bool IsListedDistanceUnit(int code) { return (code >= 9001 && code <= 9014) || (code >= 9030 && code <= 9036); }
}  // namespace

CLocationPage::CLocationPage(PreferencesData::Location& location, const int& displayUnits)
    : CPropertyPageExt(IDD_OPT_LOCATION, IDD_OPT_LOCATION), m_location(location), m_displayUnits(displayUnits) {}

double CLocationPage::Round4(double value) { return std::floor(value * 10000.0 + 0.5) * 0.0001; }

int CLocationPage::DistanceUnitOf(int displayUnits) {
    switch (displayUnits) {
        case 1: return 9035;  // statute mile
        case 2: return 9030;  // nautical mile
        default: return 9036;  // kilometre
    }
}

bool CLocationPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    HWND units = GetDlgItem(IDC_LOCATION_UNIT);
    m_unit = DistanceUnitOf(m_displayUnits);
    for (int code = 9001; code <= 9036; ++code) {
        if (!IsListedDistanceUnit(code)) continue;
        const WChar* abbreviation = GetUnitAbbreviation(code);
        if (!abbreviation) continue;
        LRESULT at = SendMessage(units, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(abbreviation));
        if (at >= 0) SendMessage(units, CB_SETITEMDATA, WPARAM(at), LPARAM(code));
    }
    const int count = static_cast<int>(SendMessage(units, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i)
        if (SendMessage(units, CB_GETITEMDATA, WPARAM(i), 0) == m_unit) SendMessage(units, CB_SETCURSEL, WPARAM(i), 0);
    const double factor = GetUnitFactor(m_unit);
    m_shownDistance = factor > 0 ? Round4(m_location.dstalert / factor) : m_location.dstalert;
    UpdateData(false);
    m_initialText = GetDlgItemTextString(GetSafeHwnd(), IDC_LOCATION_DST);
    m_initialUnit = m_unit;
    return true;
}

void CLocationPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Coordinate(dx, IDC_LOCATION_LAT, m_location.latitude, kCoordinateDms, true);
    DDX_Coordinate(dx, IDC_LOCATION_LON, m_location.longitude, kCoordinateDms, false);
    DDX_DoubleDefault(dx, IDC_LOCATION_ALT, m_location.altitude, 0);
    DDX_Check(dx, IDC_LOCATION_RESTORE, m_location.restore);
    DDX_DoubleDefault(dx, IDC_LOCATION_DST, m_shownDistance, 0);
}

int CLocationPage::SelectedUnit() const {
    HWND units = GetDlgItem(IDC_LOCATION_UNIT);
    LRESULT at = SendMessage(units, CB_GETCURSEL, 0, 0);
    return at < 0 ? m_unit : static_cast<int>(SendMessage(units, CB_GETITEMDATA, WPARAM(at), 0));
}

double CLocationPage::ReadShownDistance(bool* ok) {
    double value = m_shownDistance;
    *ok = UpdateDialogData(GetSafeHwnd(), true, [&](CDataExchange* dx) {
        DDX_DoubleDefault(dx, IDC_LOCATION_DST, value, 0);
    });
    return value;
}

bool CLocationPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) == IDC_LOCATION_UNIT && HIWORD(wParam) == CBN_SELCHANGE) {
        const int unit = SelectedUnit();
        bool ok = false;
        const double shown = ReadShownDistance(&ok);
        const double from = GetUnitFactor(m_unit), to = GetUnitFactor(unit);
        if (ok && from > 0 && to > 0) {
            m_shownDistance = Round4(Round4(shown * from) / to);
            UpdateDialogData(GetSafeHwnd(), false, [&](CDataExchange* dx) {
                DDX_DoubleDefault(dx, IDC_LOCATION_DST, m_shownDistance, 0);
            });
        }
        m_unit = unit;
        return true;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

void CLocationPage::OnOK() {
    // Untouched, the stored metres stay exactly as they were: going through
    // the rounded figure of another unit would move them.
    if (m_unit == m_initialUnit && GetDlgItemTextString(GetSafeHwnd(), IDC_LOCATION_DST) == m_initialText) return;
    const double factor = GetUnitFactor(m_unit);
    if (factor > 0) m_location.dstalert = Round4(m_shownDistance * factor);
}

// ---------------------------------------------------------------- Tracklog

const WChar* const CTracklogPage::kMeasures[11] = {u"PDOP", u"HDOP", u"VDOP", u"TDOP",  u"EPE",    u"HPE",
                                                   u"VPE",  u"TIME", u"DEPTH", u"SOG", u"QUALITY"};

CTracklogPage::CTracklogPage(IPreferences& preferences, CTracklogLayer* layer)
    : CPropertyPageExt(IDD_OPT_TRACKLOG, IDD_OPT_TRACKLOG), m_preferences(preferences), m_layer(layer) {
    const PreferencesData::Tracklog& t = preferences.Data().tracklog;
    m_name = t.name;
    m_interval = static_cast<UINT>(std::max(0, t.interval));
    m_measure = t.measure;
    m_quality = t.qualitycontrol;
    m_chooseFile = [this](HWND parent, WString& path) {
        const WString title = GetLanguageModule()->LoadString(IDS_TRACKLOG_FILE_TITLE, true);
        CFileDialogEx dialog(false, u"shp", path.c_str(), OFN_HIDEREADONLY, u"Shape Files|*.shp|", parent);
        dialog.m_ofn.title = title;
        dialog.m_ofn.initialDir = m_preferences.Data().paths.data;
        if (dialog.DoModal() != IDOK) return false;
        path = dialog.GetPathName();
        return true;
    };
}

CTracklogPage::~CTracklogPage() = default;

CTracklogLayer& CTracklogPage::Layer() {
    if (m_layer) return *m_layer;
    if (!m_ownLayer) m_ownLayer = std::make_unique<CTracklogLayer>();
    return *m_ownLayer;
}

WString CTracklogPage::ForceShapeExtension(const WString& path) {
    const size_t slash = path.find_last_of(u"\\/");
    const size_t dot = path.rfind(u'.');
    WString stem = dot != WString::npos && (slash == WString::npos || dot > slash) ? path.substr(0, dot) : path;
    return stem + u".shp";
}

bool CTracklogPage::OnInitDialog() {
    CPropertyPageExt::OnInitDialog();
    SendMessage(GetDlgItem(IDC_TRACKLOG_SPIN), UDM_SETRANGE32, 0, 300);
    m_file.AutoLoad(GetSafeHwnd(), IDC_TRACKLOG_FILE, IDB_OPEN_BUTTON_UP, IDB_OPEN_BUTTON_DOWN, 0,
                    IDB_OPEN_BUTTON_DISABLED);
    FillComboTexts(GetSafeHwnd(), IDC_TRACKLOG_MEASURE, {std::begin(kMeasures), std::end(kMeasures)});
    ShowNameAndCount();
    UpdateData(false);
    return true;
}

void CTracklogPage::ShowNameAndCount() {
    SetDlgItemText(GetSafeHwnd(), IDC_TRACKLOG_NAME, m_name.c_str());
    SetDlgItemText(GetSafeHwnd(), IDC_TRACKLOG_COUNT, text::Format(u"%d", Layer().GetRecordCount()).c_str());
}

void CTracklogPage::DoDataExchange(CDataExchange* dx) {
    CPropertyPageExt::DoDataExchange(dx);
    DDX_Text(dx, IDC_TRACKLOG_NAME, m_name);
    DDX_Text(dx, IDC_TRACKLOG_INTERVAL, m_interval);
    DDX_CheckBool(dx, IDC_TRACKLOG_QUALITY, m_quality);
    DDX_CBIndex(dx, IDC_TRACKLOG_MEASURE, m_measure);
}

bool CTracklogPage::OnCommand(WPARAM wParam, LPARAM lParam) {
    const WORD code = HIWORD(wParam);
    switch (LOWORD(wParam)) {
        case IDC_TRACKLOG_CLEAR: {
            if (code != BN_CLICKED) break;
            MessageBeep(MB_ICONEXCLAMATION);
            const WString question = GetLanguageModule()->LoadString(IDP_CLEAR_TRACKLOG, true);
            if (MessageBox(GetSafeHwnd(), question.c_str(), nullptr, MB_YESNO | MB_ICONQUESTION) == IDYES) {
                Layer().DeleteFiles();
                m_name = m_preferences.Data().tracklog.name;
                ShowNameAndCount();
            }
            return true;
        }
        case IDC_TRACKLOG_FILE: {
            if (code != BN_CLICKED && code != BN_DBLCLK) break;
            if (!UpdateData(true)) return true;
            WString path = m_preferences.Data().tracklog.name;
            if (!m_chooseFile || !m_chooseFile(GetSafeHwnd(), path)) return true;
            // The new file is the option at once, whatever becomes of the sheet.
            m_name = ForceShapeExtension(path);
            m_preferences.Data().tracklog.name = m_name;
            ShowNameAndCount();
            return true;
        }
        default:
            break;
    }
    return CPropertyPageExt::OnCommand(wParam, lParam);
}

LRESULT CTracklogPage::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        // The page keeps what it shows; an interval that is not a number is
        // left as it was rather than asked about while the sheet closes.
        HWND dialog = GetSafeHwnd();
        m_name = GetDlgItemTextString(dialog, IDC_TRACKLOG_NAME);
        m_quality = IsDlgButtonChecked(dialog, IDC_TRACKLOG_QUALITY) == BST_CHECKED;
        LRESULT measure = SendMessage(GetDlgItem(IDC_TRACKLOG_MEASURE), CB_GETCURSEL, 0, 0);
        if (measure >= 0) m_measure = static_cast<int>(measure);
        ReadUnsignedQuietly(dialog, IDC_TRACKLOG_INTERVAL, m_interval);
    }
    return CPropertyPageExt::WindowProc(msg, wParam, lParam);
}

bool CTracklogPage::OnApply() {
    PreferencesData::Tracklog& t = m_preferences.Data().tracklog;
    t.name = m_name;
    t.interval = static_cast<int>(std::min<UINT>(m_interval, 0x7FFFFFFF));
    t.measure = m_measure;
    t.qualitycontrol = m_quality;
    if (m_reloadDatums) m_reloadDatums();
    return CPropertyPageExt::OnApply();
}
