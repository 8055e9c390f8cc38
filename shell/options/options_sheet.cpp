#include "shell/options/options_sheet.h"

#include <cstring>

#include "core/file_stream.h"
#include "core/language_module.h"
#include "platform/sys/registry.h"
#include <algorithm>
#include "crs/datum_table.h"
#include "map/services/gps.h"
#include "map/symbology/font_attributes.h"
#include "platform/fs/fs.h"
#include "platform/fs/special_folders.h"
#include "platform/res/locale.h"
#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/propsheet.h"
#include "platform/win/msgbox.h"
#include "shell/app/win_app_ext.h"
#include "shell/options/display_pages.h"
#include "shell/options/gps_pages.h"

const int COptionsSheet::kTabImages[kPageCount] = {
    16,  // Protocol
    21,  // GPS
    16,  // Quality
    16,  // Capture
    17,  // Alerts
    16,  // Location
    20,  // Display
    23,  // Fonts
    19,  // Paths
    18,  // internet map server
    13,  // Locale
    21,  // AUX
    24,  // Extensions
};

namespace {
const WChar* const kControlWords[] = {u"disable", u"enable", u"handshake"};

uint32_t ControlFromWord(WStringView word) {
    for (uint32_t i = 0; i < 3; ++i)
        if (text::EqualsNoCase(word, kControlWords[i])) return i;
    return 1;  // an unknown word enables the line
}

const WChar* ControlWord(uint32_t value) { return value < 3 ? kControlWords[value] : u"enable"; }

WString Child(const CXmlNode* e, const WChar* name, const WString& current) {
    return e->GetAttribute(name, current.c_str());
}

bool IsFolder(const WString& path) {
    DWORD attributes = fs::GetFileAttributes(path);
    return attributes != fs::kInvalidAttributes && (attributes & fs::kAttrDirectory);
}
}  // namespace

LOGFONT TahomaTenPoints() {
    LOGFONT font{};
    const WChar face[] = u"Tahoma";
    std::memcpy(font.lfFaceName, face, sizeof(face));
    font.lfHeight = FontPointsToHeight(10);
    font.lfWeight = 400;
    return font;
}

LOGFONT SystemFontRecord() {
    LOGFONT font{};
    GetObject(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
    return font;
}

COptionsSheet::COptionsSheet(UINT captionId, HWND parent, UINT selectPage)
    : CPropertySheetExt(captionId, parent, selectPage) {
    InitDefaults();
}

COptionsSheet::COptionsSheet(WString caption, HWND parent, UINT selectPage)
    : CPropertySheetExt(std::move(caption), parent, selectPage) {
    InitDefaults();
}

COptionsSheet::~COptionsSheet() {
    if (m_tabImages) ImageList_Destroy(m_tabImages);
    if (GetPreferences() == this) SetPreferences(nullptr);
    m_labelFont.reset();
    m_dialogFont.reset();
}

WString COptionsSheet::GetFileName() { return fs::GetDocumentsFolder() + u"\\" + kFileName; }

void COptionsSheet::InitDefaults() {
    PreferencesData& d = m_data;
    m_labelFont.reset();
    m_dialogFont.reset();
    d.fonts.label = LOGFONT{};
    d.fonts.dialog = LOGFONT{};

    const WString program = fs::GetProgramFolder();
    d.paths.system = program + u"\\System";
    d.paths.applets = program + u"\\Applets";
    if (!IsFolder(d.paths.applets)) {
        size_t slash = program.rfind(u'\\');
        WString besides = (slash == WString::npos ? WString() : program.substr(0, slash)) + u"\\Applets";
        if (IsFolder(besides)) d.paths.applets = besides;
    }
    const WString documents = fs::GetDocumentsFolder();
    d.SetFolderDefaults(documents);

    d.defaultsymbols.point.Reset(CSymbol::kTypeSimpleMarker);
    d.defaultsymbols.point.m_size = 3;
    d.defaultsymbols.point.m_fillColor = RGB(192, 192, 192);
    d.defaultsymbols.line.Reset(CSymbol::kTypeSimpleLine);
    d.defaultsymbols.polygon.Reset(CSymbol::kTypeSimplePolygon);
    d.mapgrid.line.Reset(CSymbol::kTypeSimpleLine);
    d.mapgrid.line.m_pen.lopnStyle = 1;
    d.mapgrid.line.m_pen.lopnColor = RGB(68, 140, 203);
    d.mapgrid.text.m_size = 80;
    d.mapgrid.text.m_textColor = RGB(68, 140, 203);
    d.display.systemtrayGps = true;

    d.tracklog.interval = 0;
    d.tracklog.qualitycontrol = true;
    d.tracklog.measure = 0;

    d.display.panframe = false;
    d.display.units = 0;
    d.display.backgroundcolor = RGB(255, 255, 255);
    d.display.highlightcolor = RGB(255, 0, 0);
    d.display.highlightwidth = 3;
    d.display.tolerance = 5;
    d.ims.log = false;
    d.ims.autorefresh = true;
    d.locale.lcid = res::GetUserDefaultLCID();

    ReadPreferences();
    LoadDatums();
}

UINT COptionsSheet::GetAnsiCodePage() { return AnsiCodePageOfLocale(m_data.locale.lcid); }

HFONT COptionsSheet::GetLabelFont() {
    if (!m_labelFont.get()) m_labelFont.reset(CreateFontIndirect(&m_data.fonts.label));
    return m_labelFont.get();
}

HFONT COptionsSheet::GetDialogFont() {
    if (m_data.fonts.systemDialogFont) return nullptr;
    if (!m_dialogFont.get()) m_dialogFont.reset(CreateFontIndirect(&m_data.fonts.dialog));
    return m_dialogFont.get();
}

void COptionsSheet::SetLabelLogFont(const LOGFONT& font) {
    m_data.fonts.label = font;
    m_labelFont.reset();
}

void COptionsSheet::SetDialogLogFont(const LOGFONT& font) {
    m_data.fonts.dialog = font;
    m_dialogFont.reset();
}

void COptionsSheet::ReadLocation() {
    PreferencesData::Location& l = m_data.location;
    l.longitude = CWinAppExt::GetProfileDouble(u"Location", u"Longitude", 0);
    l.latitude = CWinAppExt::GetProfileDouble(u"Location", u"Latitude", 0);
    l.altitude = CWinAppExt::GetProfileDouble(u"Location", u"Altitude", 0);
    l.restore = sys::GetProfileInt(u"Location", u"Restore", 1);
    l.fourth = 0;
}

void COptionsSheet::WriteLocation() {
    const PreferencesData::Location& l = m_data.location;
    CWinAppExt::WriteProfileDouble(u"Location", u"Longitude", l.longitude);
    CWinAppExt::WriteProfileDouble(u"Location", u"Latitude", l.latitude);
    CWinAppExt::WriteProfileDouble(u"Location", u"Altitude", l.altitude);
    sys::WriteProfileInt(u"Location", u"Restore", l.restore);
}

void COptionsSheet::LoadDatums() {
    SetDatumTableFile(m_data.paths.system + u"\\znDatums.dbf");
    GetGps()->SetDatum(m_data.gps.datum);
}

void COptionsSheet::ReadComPort(const CXmlNode* e, CSerialSettings& s) {
    if (!e) return;
    s.port = static_cast<uint32_t>(e->GetAttributeInt(u"port", 1));
    s.baud = static_cast<uint32_t>(e->GetAttributeInt(u"baud", 4800));
    s.parity = e->GetAttributeChar(u"parity", 'N');
    s.databits = static_cast<uint32_t>(e->GetAttributeInt(u"databits", 8));
    s.stopbits = static_cast<uint32_t>(e->GetAttributeInt(u"stopbits", 0));
    s.dtrcontrol = ControlFromWord(e->GetAttribute(u"dtrcontrol", u"enable"));
    s.rtscontrol = ControlFromWord(e->GetAttribute(u"rtscontrol", u"enable"));
    s.ctshandshake = e->GetAttributeBool(u"ctshandshake", false);
    s.dsrhandshake = e->GetAttributeBool(u"dsrhandshake", false);
    s.infrared = e->GetAttributeBool(u"infrared", false);
}

void COptionsSheet::WriteComPort(CConfigXmlFile& out, const CSerialSettings& s) {
    out.BeginElement(-1, u"COMPORT");
    out.WriteIntAttribute(u"port", static_cast<int>(s.port));
    out.WriteIntAttribute(u"baud", static_cast<int>(s.baud));
    out.WriteCharAttribute(u"parity", s.parity, 'N');
    out.WriteIntAttribute(u"databits", static_cast<int>(s.databits), 8);
    out.WriteIntAttribute(u"stopbits", static_cast<int>(s.stopbits), 0);
    out.WriteStringAttribute(u"dtrcontrol", ControlWord(s.dtrcontrol));
    out.WriteStringAttribute(u"rtscontrol", ControlWord(s.rtscontrol));
    out.WriteBoolAttribute(u"ctshandshake", s.ctshandshake != 0, false);
    out.WriteBoolAttribute(u"dsrhandshake", s.dsrhandshake != 0, false);
    out.WriteBoolAttribute(u"infrared", s.infrared != 0, false);
    out.EndStartTag(false);
}

bool COptionsSheet::ReadPreferences() {
    PreferencesData& d = m_data;
    SetDialogLogFont(SystemFontRecord());
    d.fonts.systemDialogFont = true;
    SetLabelLogFont(d.fonts.dialog);
    d.gps.datum = u"WGS84";
    d.gps.streamingInterval = 1;

    CXmlDocument doc;
    if (!doc.LoadFile(GetFileName()) || !doc.GetRoot()) return false;
    const CXmlNode* prefs = doc.FindElement(u"PREFERENCES", true);
    if (!prefs) return false;

    if (const CXmlNode* e = prefs->FindChild(u"PATHS")) {
        d.paths.system = Child(e, u"system", d.paths.system);
        d.paths.data = Child(e, u"data", d.paths.data);
        d.paths.applets = Child(e, u"applets", d.paths.applets);
    }
    const LOGFONT tahoma = TahomaTenPoints();
    if (const CXmlNode* e = prefs->FindChild(u"FONTS")) {
        if (const CXmlNode* dialog = e->FindChild(u"DIALOG")) {
            LOGFONT font;
            ReadFontAttributes(dialog, font, nullptr);
            SetDialogLogFont(font);
            d.fonts.systemDialogFont = false;
        }
        LOGFONT label;
        ReadFontAttributes(e->FindChild(u"LABEL"), label, &tahoma);
        SetLabelLogFont(label);
    }
    if (const CXmlNode* e = prefs->FindChild(u"DEFAULTSYMBOLS")) {
        for (int i = 0; i < e->GetChildCount(); ++i) {
            const CXmlNode* c = e->GetChild(i);
            if (c->GetName() == u"SIMPLEMARKERSYMBOL") d.defaultsymbols.point.ReadXml(c, false);
            else if (c->GetName() == u"SIMPLELINESYMBOL") d.defaultsymbols.line.ReadXml(c, false);
            else if (c->GetName() == u"SIMPLEPOLYGONSYMBOL") d.defaultsymbols.polygon.ReadXml(c, false);
        }
    }
    if (const CXmlNode* e = prefs->FindChild(u"MAPGRID")) {
        d.mapgrid.line.ReadXml(e, true);
        if (const CXmlNode* t = e->FindChild(u"TEXTSYMBOL")) d.mapgrid.text.ReadXml(t, &d.fonts.label);
    }
    if (const CXmlNode* e = prefs->FindChild(u"GPS")) {
        ReadComPort(e->FindChild(u"COMPORT"), GetGpsPortSettings());
        d.gps.protocol = e->GetAttribute(u"protocol", u"NMEA").substr(0, 4);
        d.gps.datum = e->GetAttribute(u"datum", u"WGS84");
        d.gps.checksum = e->GetAttributeBool(u"checksum", true);
        d.gps.useheight = e->GetAttributeBool(u"useheight", false);
        d.gps.initialize = e->GetAttribute(u"initialize");
        d.gps.autoactivate = e->GetAttributeBool(u"autoactivate", false);
        d.gps.log = e->GetAttributeInt(u"log", 0);
        d.gps.logfile = e->GetAttribute(u"logfile");
        if (const CXmlNode* q = e->FindChild(u"QUALITYCONTROL")) {
            d.gps.qualitycontrolLevel = q->GetAttributeInt(u"level", 0);
            if (const CXmlNode* p = q->FindChild(u"PDOP")) {
                d.gps.pdopActive = p->GetAttributeBool(u"active", false);
                d.gps.pdopMaximum = p->GetAttributeDouble(u"maximum", 0);
            }
            if (const CXmlNode* p = q->FindChild(u"EPE")) {
                d.gps.epeActive = p->GetAttributeBool(u"active", false);
                d.gps.epeMaximum = p->GetAttributeDouble(u"maximum", 0);
            }
            if (const CXmlNode* p = q->FindChild(u"MODE")) {
                d.gps.mode3d = p->GetAttributeBool(u"3d", false);
                d.gps.modeDgps = p->GetAttributeBool(u"dgps", false);
            }
        }
        if (const CXmlNode* a = e->FindChild(u"AVERAGING")) {
            d.gps.averagingEnabled = a->GetAttributeBool(u"enabled", false);
            d.gps.averagingPoint = a->GetAttributeInt(u"point", 0);
            d.gps.averagingVertex = a->GetAttributeInt(u"vertex", 0);
        }
        if (const CXmlNode* s = e->FindChild(u"STREAMING"))
            d.gps.streamingInterval = s->GetAttributeInt(u"interval", 1);
    }
    if (d.gps.streamingInterval < 1) d.gps.streamingInterval = 1;
    d.gps.logfile = text::Trim(d.gps.logfile);
    if (d.gps.logfile.empty()) d.gps.logfile = d.paths.data + u"\\GPS.log";

    ReadLocation();
    if (const CXmlNode* e = prefs->FindChild(u"LOCATION"))
        d.location.dstalert = e->GetAttributeDouble(u"dstalert", 0);
    if (const CXmlNode* e = prefs->FindChild(u"ALERTS")) {
        for (int i = 0; i < e->GetChildCount(); ++i) {
            const CXmlNode* a = e->GetChild(i);
            SetAlertSettingsByName(a->GetAttribute(u"name"), a->GetAttributeBool(u"show", true),
                                   a->GetAttributeBool(u"play", true), a->GetAttribute(u"sound"));
        }
    }
    if (const CXmlNode* e = prefs->FindChild(u"AUX"))
        ReadComPort(e->FindChild(u"COMPORT"), GetAuxPortSettings());
    if (const CXmlNode* e = prefs->FindChild(u"TRACKLOG")) {
        d.tracklog.name = Child(e, u"name", d.tracklog.name);
        d.tracklog.interval = e->GetAttributeInt(u"interval", 0);
        d.tracklog.qualitycontrol = e->GetAttributeBool(u"qualitycontrol", true);
        d.tracklog.measure = e->GetAttributeInt(u"measure", 0);
    }
    if (const CXmlNode* e = prefs->FindChild(u"LOCALE"))
        d.locale.lcid = static_cast<DWORD>(
            e->GetAttributeIntHex(u"lcid", static_cast<int>(res::GetUserDefaultLCID()), true));
    if (const CXmlNode* e = prefs->FindChild(u"DISPLAY")) {
        d.display.units = e->GetAttributeInt(u"units", 0);
        d.display.panframe = e->GetAttributeBool(u"panframe", false);
        d.display.backgroundcolor = e->GetAttributeColor(u"backgroundcolor", RGB(255, 255, 255));
        d.display.highlightcolor = e->GetAttributeColor(u"highlightcolor", RGB(255, 0, 0));
        // A width below one pixel draws nothing sensible.
        d.display.highlightwidth = std::max(1, e->GetAttributeInt(u"highlightwidth", 3));
        d.display.tolerance = e->GetAttributeInt(u"tolerance", 5);
        if (const CXmlNode* tray = e->FindChild(u"SYSTEMTRAY"))
            d.display.systemtrayGps = tray->GetAttributeBool(u"gps", true);
    }
    if (const CXmlNode* e = prefs->FindChild(u"STATUSBAR"))
        d.statusbar.coordsformat = e->GetAttributeInt(u"coordsformat", 0);
    if (const CXmlNode* e = prefs->FindChild(u"IMS")) {
        d.ims.log = e->GetAttributeBool(u"log", false);
        d.ims.autorefresh = e->GetAttributeBool(u"autorefresh", true);
    }
    d.layers.autopack = true;
    if (const CXmlNode* e = prefs->FindChild(u"LAYERS"))
        d.layers.autopack = e->GetAttributeBool(u"autopack", true);
    return true;
}

bool COptionsSheet::WritePreferences() {
    const PreferencesData& d = m_data;
    const WString path = GetFileName();
    CConfigXmlFile out;
    try {
        if (!out.Open(path, true, u"PREFERENCES")) throw CFileException(CFileException::genericException, 0, path);
        out.BeginElement(-1, u"PATHS");
        out.WriteStringAttribute(u"data", d.paths.data);
        out.WriteStringAttribute(u"applets", d.paths.applets);
        out.WriteStringAttribute(u"system", d.paths.system);
        out.EndStartTag(false);

        out.StartElement(-1, u"LOCALE", false, u"lcid=\"%08x\"", d.locale.lcid);

        out.BeginElement(-1, u"GPS");
        out.WriteStringAttribute(u"protocol", d.gps.protocol);
        if (!text::EqualsNoCase(d.gps.datum, u"WGS84")) out.WriteStringAttribute(u"datum", d.gps.datum);
        out.WriteBoolAttribute(u"checksum", d.gps.checksum, true);
        out.WriteBoolAttribute(u"useheight", d.gps.useheight, false);
        out.WriteStringAttribute(u"initialize", d.gps.initialize);
        out.WriteBoolAttribute(u"autoactivate", d.gps.autoactivate, false);
        out.WriteIntAttribute(u"log", d.gps.log, 0);
        out.WriteStringAttribute(u"logfile", d.gps.logfile);
        out.EndStartTag(true);
        WriteComPort(out, GetGpsPortSettings());
        out.BeginElement(-1, u"QUALITYCONTROL");
        out.WriteIntAttribute(u"level", d.gps.qualitycontrolLevel, -1);
        out.EndStartTag(true);
        out.BeginElement(-1, u"PDOP");
        out.WriteBoolAttribute(u"active", d.gps.pdopActive, false);
        out.WriteDoubleAttribute(u"maximum", d.gps.pdopMaximum, 0.0);
        out.EndStartTag(false);
        out.BeginElement(-1, u"EPE");
        out.WriteBoolAttribute(u"active", d.gps.epeActive, false);
        out.WriteDoubleAttribute(u"maximum", d.gps.epeMaximum, 0.0);
        out.EndStartTag(false);
        out.BeginElement(-1, u"MODE");
        out.WriteBoolAttribute(u"3d", d.gps.mode3d, false);
        out.WriteBoolAttribute(u"dgps", d.gps.modeDgps, false);
        out.EndStartTag(false);
        out.EndElement(-1, u"QUALITYCONTROL");
        out.BeginElement(-1, u"AVERAGING");
        out.WriteBoolAttribute(u"enabled", d.gps.averagingEnabled, false);
        out.WriteIntAttribute(u"point", d.gps.averagingPoint, 0);
        out.WriteIntAttribute(u"vertex", d.gps.averagingVertex, 0);
        out.EndStartTag(false);
        out.BeginElement(-1, u"STREAMING");
        out.WriteIntAttribute(u"interval", d.gps.streamingInterval, 0);
        out.EndStartTag(false);
        out.EndElement(-1, u"GPS");

        out.StartElement(-1, u"ALERTS", true);
        const AlertSettings* alerts = GetAlertSettings();
        for (int i = 0; i < kAlertCount; ++i) {
            out.BeginElement(-1, u"ALERT");
            out.WriteStringAttribute(u"name", kAlertNames[i]);
            out.WriteBoolAttribute(u"show", alerts[i].show, true);
            out.WriteBoolAttribute(u"play", alerts[i].play, true);
            out.WriteStringAttribute(u"sound", alerts[i].sound);
            out.EndStartTag(false);
        }
        out.EndElement(-1, u"ALERTS");

        WriteLocation();
        out.BeginElement(-1, u"LOCATION");
        out.WriteDoubleAttribute(u"dstalert", d.location.dstalert, 0.0);
        out.EndStartTag(false);

        out.StartElement(-1, u"AUX", true);
        WriteComPort(out, GetAuxPortSettings());
        out.EndElement(-1, u"AUX");

        out.StartElement(-1, u"DEFAULTSYMBOLS", true);
        d.defaultsymbols.point.WriteXml(out);
        d.defaultsymbols.line.WriteXml(out);
        d.defaultsymbols.polygon.WriteXml(out);
        out.EndElement(-1, u"DEFAULTSYMBOLS");

        out.StartElement(-1, u"MAPGRID", true);
        d.mapgrid.line.WriteXml(out);
        d.mapgrid.text.WriteXml(out);
        out.EndElement(-1, u"MAPGRID");

        out.BeginElement(-1, u"TRACKLOG");
        out.WriteStringAttribute(u"name", d.tracklog.name);
        out.WriteIntAttribute(u"interval", d.tracklog.interval, -1);
        out.WriteBoolAttribute(u"qualitycontrol", d.tracklog.qualitycontrol, true);
        out.WriteIntAttribute(u"measure", d.tracklog.measure, 0);
        out.EndStartTag(false);

        out.BeginElement(-1, u"DISPLAY");
        out.WriteIntAttribute(u"units", d.display.units, 0);
        out.WriteColorAttribute(u"backgroundcolor", d.display.backgroundcolor, RGB(255, 255, 255));
        out.WriteColorAttribute(u"highlightcolor", d.display.highlightcolor, RGB(255, 0, 0));
        out.WriteIntAttribute(u"highlightwidth", d.display.highlightwidth, 3);
        out.WriteBoolAttribute(u"panframe", d.display.panframe, false);
        out.WriteIntAttribute(u"tolerance", d.display.tolerance, 5);
        out.EndStartTag(true);
        out.BeginElement(-1, u"SYSTEMTRAY");
        out.WriteBoolAttribute(u"gps", d.display.systemtrayGps, true);
        out.EndStartTag(false);
        out.EndElement(-1, u"DISPLAY");

        out.BeginElement(-1, u"STATUSBAR");
        out.WriteIntAttribute(u"coordsformat", d.statusbar.coordsformat, 0);
        out.EndStartTag(false);

        out.StartElement(-1, u"FONTS", true);
        if (!d.fonts.systemDialogFont) WriteFontAttributes(out, u"DIALOG", d.fonts.dialog);
        WriteFontAttributes(out, u"LABEL", d.fonts.label);
        out.EndElement(-1, u"FONTS");

        out.BeginElement(-1, u"IMS");
        out.WriteBoolAttribute(u"log", d.ims.log, false);
        out.WriteBoolAttribute(u"autorefresh", d.ims.autorefresh, true);
        out.EndStartTag(false);

        out.BeginElement(-1, u"LAYERS");
        out.WriteBoolAttribute(u"autopack", d.layers.autopack, true);
        out.EndStartTag(false);

        out.Close(true);
        return true;
    } catch (const CFileException&) {
        WString message;
        GetLanguageModule()->FormatString1(message, kSaveFailedId, path.c_str());
        ::MessageBox(nullptr, message.c_str(), nullptr, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
}

void COptionsSheet::CopyOptions(PreferencesData& to, const PreferencesData& from) {
    to.display = from.display;
    to.statusbar = from.statusbar;
    to.paths = from.paths;
    to.locale = from.locale;
    to.gps = from.gps;
    to.location = from.location;
    to.tracklog = from.tracklog;
    to.fonts = from.fonts;
    to.defaultsymbols.point.CopyFrom(from.defaultsymbols.point);
    to.defaultsymbols.line.CopyFrom(from.defaultsymbols.line);
    to.defaultsymbols.polygon.CopyFrom(from.defaultsymbols.polygon);
    to.mapgrid.line.CopyFrom(from.mapgrid.line);
    to.mapgrid.text.CopyFrom(from.mapgrid.text);
    to.ims = from.ims;
    to.layers = from.layers;
}

bool COptionsSheet::OnInitDialog() {
    bool result = CPropertySheetExt::OnInitDialog();
    if (!m_tabImages)
        m_tabImages = ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(kTabImagesId), 16, 0,
                                           RGB(255, 0, 255));
    SendMessage(GetTabControl(), TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(m_tabImages));
    for (int i = 0; i < kPageCount; ++i)
        if (m_pages[i]) SetPageImage(m_pages[i], kTabImages[i]);
    return result;
}

bool COptionsSheet::Run() {
    ReadPreferences();
    LoadDatums();
    if (!m_extensionsPageAdded && m_pages[kExtensions] && m_extensionsLoaded && m_extensionsLoaded())
        m_extensionsPageAdded = true;
    // The pages in tab order, Extensions last.
    while (GetPageCount() > 0) RemovePage(GetPage(0));
    for (int i = 0; i < kPageCount; ++i)
        if (m_pages[i] && (i != kExtensions || m_extensionsPageAdded)) AddPage(m_pages[i]);
    m_psh.nStartPage = 0;
    m_psh.dwFlags = (m_psh.dwFlags | PSH_NOAPPLYNOW) & ~PSH_HASHELP;
    if (GetLanguageModule()->IsRightToLeft()) m_psh.dwFlags |= PSH_RTLREADING;
    else m_psh.dwFlags &= ~PSH_RTLREADING;

    // Pages write into the options as the user leaves them; Cancel puts
    // back what was there.
    PreferencesData saved;
    CopyOptions(saved, m_data);
    const CSerialSettings gpsPort = GetGpsPortSettings();
    const CSerialSettings auxPort = GetAuxPortSettings();
    AlertSettings alerts[kAlertCount];
    std::copy(GetAlertSettings(), GetAlertSettings() + kAlertCount, alerts);

    if (DoModal() == IDOK) {
        bool written = WritePreferences();
        LoadDatums();
        return written;
    }
    CopyOptions(m_data, saved);
    SetLabelLogFont(m_data.fonts.label);
    SetDialogLogFont(m_data.fonts.dialog);
    GetGpsPortSettings() = gpsPort;
    GetAuxPortSettings() = auxPort;
    // The Alerts page plays and changes sounds at once: those stay.
    AlertSettings* live = GetAlertSettings();
    for (int i = 0; i < kAlertCount; ++i) live[i].show = alerts[i].show;
    return false;
}

std::unique_ptr<win::PropertyPage> COptionsSheet::CreateGridStylePage() {
    return std::make_unique<CGridStylePage>(m_data.mapgrid);
}

std::unique_ptr<win::PropertyPage> COptionsSheet::CreateTracklogPage() {
    auto page = std::make_unique<CTracklogPage>(*this, m_tracklogLayer ? m_tracklogLayer() : nullptr);
    page->m_reloadDatums = [this] { LoadDatums(); };
    return page;
}
