// The preferences object and its file: defaults, every option through a
// write and a read (checked by xmllint), the odd files users and older
// versions leave, and saves that fail.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "crs/datum_table.h"
#include "map/symbology/font_attributes.h"
#include "platform/fs/fs.h"
#include "platform/res/locale.h"
#include "platform/sys/registry.h"
#include "platform/win/msgbox.h"
#include "shell/app/win_app_ext.h"
#include "shell/options/options_sheet.h"
#include "tests/shell/shell_doubles.h"

namespace {

const char kPrefs[] = "Docs/ZarnipPrefs.znx";

std::string Face(const LOGFONT& font) {
    WString face;
    for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i]; ++i) face.push_back(font.lfFaceName[i]);
    return Narrow(face);
}

bool SameFont(const LOGFONT& a, const LOGFONT& b) {
    return Face(a) == Face(b) && a.lfHeight == b.lfHeight && a.lfWeight == b.lfWeight &&
           a.lfItalic == b.lfItalic && a.lfCharSet == b.lfCharSet;
}

// One option: how to give it a value other than its default, the value as
// xmllint reads it from the written file, and how to see it read back.
struct OptionRow {
    const char* xpath;
    const char* text;
    std::function<void(PreferencesData&)> set;
    std::function<bool(const PreferencesData&)> holds;
};

std::vector<OptionRow> OptionTable() {
    using D = PreferencesData;
    return {
        {"/Zarnip/PREFERENCES/PATHS/@system", "\\Sys2", [](D& d) { d.paths.system = u"\\Sys2"; },
         [](const D& d) { return d.paths.system == u"\\Sys2"; }},
        {"/Zarnip/PREFERENCES/PATHS/@data", "\\Data2", [](D& d) { d.paths.data = u"\\Data2"; },
         [](const D& d) { return d.paths.data == u"\\Data2"; }},
        {"/Zarnip/PREFERENCES/PATHS/@applets", "\\Apps2", [](D& d) { d.paths.applets = u"\\Apps2"; },
         [](const D& d) { return d.paths.applets == u"\\Apps2"; }},
        {"/Zarnip/PREFERENCES/LOCALE/@lcid", "0000040c", [](D& d) { d.locale.lcid = 0x40C; },
         [](const D& d) { return d.locale.lcid == 0x40C; }},
        {"/Zarnip/PREFERENCES/GPS/@protocol", "TSIP", [](D& d) { d.gps.protocol = u"TSIP"; },
         [](const D& d) { return d.gps.protocol == u"TSIP"; }},
        {"/Zarnip/PREFERENCES/GPS/@datum", "NAD27", [](D& d) { d.gps.datum = u"NAD27"; },
         [](const D& d) { return d.gps.datum == u"NAD27"; }},
        {"/Zarnip/PREFERENCES/GPS/@checksum", "false", [](D& d) { d.gps.checksum = false; },
         [](const D& d) { return !d.gps.checksum; }},
        {"/Zarnip/PREFERENCES/GPS/@useheight", "true", [](D& d) { d.gps.useheight = true; },
         [](const D& d) { return d.gps.useheight; }},
        {"/Zarnip/PREFERENCES/GPS/@initialize", "$PGRMO,,2", [](D& d) { d.gps.initialize = u"$PGRMO,,2"; },
         [](const D& d) { return d.gps.initialize == u"$PGRMO,,2"; }},
        {"/Zarnip/PREFERENCES/GPS/@autoactivate", "true", [](D& d) { d.gps.autoactivate = true; },
         [](const D& d) { return d.gps.autoactivate; }},
        {"/Zarnip/PREFERENCES/GPS/@log", "2", [](D& d) { d.gps.log = 2; },
         [](const D& d) { return d.gps.log == 2; }},
        {"/Zarnip/PREFERENCES/GPS/@logfile", "\\Logs\\g.log", [](D& d) { d.gps.logfile = u"\\Logs\\g.log"; },
         [](const D& d) { return d.gps.logfile == u"\\Logs\\g.log"; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/@level", "2", [](D& d) { d.gps.qualitycontrolLevel = 2; },
         [](const D& d) { return d.gps.qualitycontrolLevel == 2; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/PDOP/@active", "true", [](D& d) { d.gps.pdopActive = true; },
         [](const D& d) { return d.gps.pdopActive; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/PDOP/@maximum", "4.5", [](D& d) { d.gps.pdopMaximum = 4.5; },
         [](const D& d) { return d.gps.pdopMaximum == 4.5; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/EPE/@active", "true", [](D& d) { d.gps.epeActive = true; },
         [](const D& d) { return d.gps.epeActive; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/EPE/@maximum", "12.25", [](D& d) { d.gps.epeMaximum = 12.25; },
         [](const D& d) { return d.gps.epeMaximum == 12.25; }},
        {"/Zarnip/PREFERENCES/GPS/QUALITYCONTROL/MODE/@dgps", "true", [](D& d) { d.gps.modeDgps = true; },
         [](const D& d) { return d.gps.modeDgps; }},
        {"/Zarnip/PREFERENCES/GPS/AVERAGING/@enabled", "true", [](D& d) { d.gps.averagingEnabled = true; },
         [](const D& d) { return d.gps.averagingEnabled; }},
        {"/Zarnip/PREFERENCES/GPS/AVERAGING/@point", "10", [](D& d) { d.gps.averagingPoint = 10; },
         [](const D& d) { return d.gps.averagingPoint == 10; }},
        {"/Zarnip/PREFERENCES/GPS/AVERAGING/@vertex", "3", [](D& d) { d.gps.averagingVertex = 3; },
         [](const D& d) { return d.gps.averagingVertex == 3; }},
        {"/Zarnip/PREFERENCES/GPS/STREAMING/@interval", "7", [](D& d) { d.gps.streamingInterval = 7; },
         [](const D& d) { return d.gps.streamingInterval == 7; }},
        {"/Zarnip/PREFERENCES/LOCATION/@dstalert", "250.5", [](D& d) { d.location.dstalert = 250.5; },
         [](const D& d) { return d.location.dstalert == 250.5; }},
        {"/Zarnip/PREFERENCES/TRACKLOG/@name", "\\T\\track.shp", [](D& d) { d.tracklog.name = u"\\T\\track.shp"; },
         [](const D& d) { return d.tracklog.name == u"\\T\\track.shp"; }},
        {"/Zarnip/PREFERENCES/TRACKLOG/@interval", "30", [](D& d) { d.tracklog.interval = 30; },
         [](const D& d) { return d.tracklog.interval == 30; }},
        {"/Zarnip/PREFERENCES/TRACKLOG/@qualitycontrol", "false", [](D& d) { d.tracklog.qualitycontrol = false; },
         [](const D& d) { return !d.tracklog.qualitycontrol; }},
        {"/Zarnip/PREFERENCES/TRACKLOG/@measure", "2", [](D& d) { d.tracklog.measure = 2; },
         [](const D& d) { return d.tracklog.measure == 2; }},
        {"/Zarnip/PREFERENCES/DISPLAY/@units", "2", [](D& d) { d.display.units = 2; },
         [](const D& d) { return d.display.units == 2; }},
        {"/Zarnip/PREFERENCES/DISPLAY/@backgroundcolor", "1,2,3", [](D& d) { d.display.backgroundcolor = RGB(1, 2, 3); },
         [](const D& d) { return d.display.backgroundcolor == RGB(1, 2, 3); }},
        {"/Zarnip/PREFERENCES/DISPLAY/@highlightcolor", "0,255,0", [](D& d) { d.display.highlightcolor = RGB(0, 255, 0); },
         [](const D& d) { return d.display.highlightcolor == RGB(0, 255, 0); }},
        {"/Zarnip/PREFERENCES/DISPLAY/@highlightwidth", "5", [](D& d) { d.display.highlightwidth = 5; },
         [](const D& d) { return d.display.highlightwidth == 5; }},
        {"/Zarnip/PREFERENCES/DISPLAY/@panframe", "true", [](D& d) { d.display.panframe = true; },
         [](const D& d) { return d.display.panframe; }},
        {"/Zarnip/PREFERENCES/DISPLAY/@tolerance", "9", [](D& d) { d.display.tolerance = 9; },
         [](const D& d) { return d.display.tolerance == 9; }},
        {"/Zarnip/PREFERENCES/DISPLAY/SYSTEMTRAY/@gps", "false", [](D& d) { d.display.systemtrayGps = false; },
         [](const D& d) { return !d.display.systemtrayGps; }},
        {"/Zarnip/PREFERENCES/STATUSBAR/@coordsformat", "5", [](D& d) { d.statusbar.coordsformat = 5; },
         [](const D& d) { return d.statusbar.coordsformat == 5; }},
        {"/Zarnip/PREFERENCES/IMS/@log", "true", [](D& d) { d.ims.log = true; },
         [](const D& d) { return d.ims.log; }},
        {"/Zarnip/PREFERENCES/IMS/@autorefresh", "false", [](D& d) { d.ims.autorefresh = false; },
         [](const D& d) { return !d.ims.autorefresh; }},
        {"/Zarnip/PREFERENCES/LAYERS/@autopack", "false", [](D& d) { d.layers.autopack = false; },
         [](const D& d) { return !d.layers.autopack; }},
        {"/Zarnip/PREFERENCES/DEFAULTSYMBOLS/SIMPLEMARKERSYMBOL/@width", "7",
         [](D& d) { d.defaultsymbols.point.m_size = 7; },
         [](const D& d) { return d.defaultsymbols.point.m_size == 7; }},
        {"/Zarnip/PREFERENCES/MAPGRID/TEXTSYMBOL/@fontsize", "12",
         [](D& d) { d.mapgrid.text.m_size = 120; },
         [](const D& d) { return d.mapgrid.text.m_size == 120; }},
        {"/Zarnip/PREFERENCES/FONTS/LABEL/@font", "Verdana",
         [](D& d) { std::memcpy(d.fonts.label.lfFaceName, u"Verdana", 16); },
         [](const D& d) { return Face(d.fonts.label) == "Verdana"; }},
    };
}

struct PortRow {
    const char* xpath;  // under COMPORT of GPS and of AUX
    const char* text;
    std::function<void(CSerialSettings&)> set;
    std::function<bool(const CSerialSettings&)> holds;
};

std::vector<PortRow> PortTable() {
    using S = CSerialSettings;
    return {
        {"@port", "4", [](S& s) { s.port = 4; }, [](const S& s) { return s.port == 4u; }},
        {"@baud", "9600", [](S& s) { s.baud = 9600; }, [](const S& s) { return s.baud == 9600u; }},
        {"@parity", "E", [](S& s) { s.parity = 'E'; }, [](const S& s) { return s.parity == 'E'; }},
        {"@databits", "7", [](S& s) { s.databits = 7; }, [](const S& s) { return s.databits == 7u; }},
        {"@stopbits", "2", [](S& s) { s.stopbits = 2; }, [](const S& s) { return s.stopbits == 2u; }},
        {"@dtrcontrol", "handshake", [](S& s) { s.dtrcontrol = 2; }, [](const S& s) { return s.dtrcontrol == 2u; }},
        {"@rtscontrol", "disable", [](S& s) { s.rtscontrol = 0; }, [](const S& s) { return s.rtscontrol == 0u; }},
        {"@ctshandshake", "true", [](S& s) { s.ctshandshake = 1; }, [](const S& s) { return s.ctshandshake == 1; }},
        {"@dsrhandshake", "true", [](S& s) { s.dsrhandshake = 1; }, [](const S& s) { return s.dsrhandshake == 1; }},
        {"@infrared", "true", [](S& s) { s.infrared = 1; }, [](const S& s) { return s.infrared == 1; }},
    };
}

class Preferences : public ShellTest {};

TEST_F(Preferences, WithoutAFileTheDefaultsHold) {
    COptionsSheet sheet;
    const PreferencesData& d = sheet.Data();
    EXPECT_EQ(d.gps.protocol, u"NMEA");
    EXPECT_EQ(d.gps.datum, u"WGS84");
    EXPECT_EQ(d.gps.streamingInterval, 1);
    EXPECT_TRUE(d.fonts.systemDialogFont);
    EXPECT_EQ(sheet.GetDialogFont(), nullptr);
    EXPECT_TRUE(SameFont(d.fonts.label, SystemFontRecord()));
    EXPECT_EQ(d.paths.system, u"\\Program\\System");
    EXPECT_EQ(d.paths.data, u"\\Docs");
    EXPECT_EQ(d.gps.logfile, u"\\Docs\\GPS.log");
    EXPECT_EQ(d.tracklog.name, u"\\Docs\\TrackLog.shp");
    EXPECT_EQ(d.locale.lcid, res::GetUserDefaultLCID());
    EXPECT_EQ(d.defaultsymbols.point.m_size, 3);
    EXPECT_EQ(d.defaultsymbols.point.m_fillColor, RGB(192, 192, 192));
    EXPECT_EQ(d.mapgrid.line.m_pen.lopnColor, RGB(68, 140, 203));
    EXPECT_EQ(d.mapgrid.text.m_size, 80);
    EXPECT_EQ(GetDatumTableFile(), u"\\Program\\System\\znDatums.dbf");
    EXPECT_EQ(gps_.datums, std::vector<WString>{u"WGS84"});
    EXPECT_TRUE(HostList("Docs").empty());  // nothing is written until the user saves
}

TEST_F(Preferences, EveryOptionSurvivesWriteAndRead) {
    auto options = OptionTable();
    auto ports = PortTable();
    {
        COptionsSheet sheet;
        for (auto& row : options) row.set(sheet.Data());
        for (auto& row : ports) {
            row.set(GetGpsPortSettings());
            row.set(GetAuxPortSettings());
        }
        AlertSettings* alerts = GetAlertSettings();
        alerts[2] = {false, false, u"\\Windows\\alarm.wav"};
        alerts[6].play = false;
        sheet.Data().location.longitude = -0.0;
        sheet.Data().location.latitude = 51.477928;
        sheet.Data().location.altitude = 46.5;
        sheet.Data().location.restore = 0;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    ASSERT_TRUE(XmlWellFormed(kPrefs)) << Get(kPrefs);
    for (const auto& row : options) {
        SCOPED_TRACE(row.xpath);
        EXPECT_EQ(XPath(kPrefs, std::string("string(") + row.xpath + ")"), row.text);
    }
    for (const char* port : {"GPS", "AUX"})
        for (const auto& row : ports) {
            SCOPED_TRACE(std::string(port) + " " + row.xpath);
            std::string xpath = std::string("string(/Zarnip/PREFERENCES/") + port + "/COMPORT/" + row.xpath + ")";
            EXPECT_EQ(XPath(kPrefs, xpath), row.text);
        }
    EXPECT_EQ(XPath(kPrefs, "string(//ALERT[@name=\"maxepe\"]/@sound)"), "\\Windows\\alarm.wav");
    EXPECT_EQ(XPath(kPrefs, "string(//ALERT[@name=\"maxepe\"]/@show)"), "false");

    ResetPortRecordsForTests();
    COptionsSheet again;
    for (const auto& row : options) {
        SCOPED_TRACE(row.xpath);
        EXPECT_TRUE(row.holds(again.Data()));
    }
    for (const auto& row : ports) {
        SCOPED_TRACE(row.xpath);
        EXPECT_TRUE(row.holds(GetGpsPortSettings()));
        EXPECT_TRUE(row.holds(GetAuxPortSettings()));
    }
    const AlertSettings* alerts = GetAlertSettings();
    EXPECT_FALSE(alerts[2].show);
    EXPECT_FALSE(alerts[2].play);
    EXPECT_EQ(alerts[2].sound, u"\\Windows\\alarm.wav");
    EXPECT_TRUE(alerts[6].show);
    EXPECT_FALSE(alerts[6].play);
    EXPECT_TRUE(alerts[0].play);
    const PreferencesData::Location& l = again.Data().location;
    EXPECT_EQ(l.latitude, 51.477928);
    EXPECT_EQ(l.altitude, 46.5);
    EXPECT_EQ(l.longitude, 0.0);
    EXPECT_TRUE(std::signbit(l.longitude));  // "-0" reads back as negative zero
    EXPECT_EQ(l.restore, 0);
    EXPECT_EQ(again.Data().gps.datum, u"NAD27");
    EXPECT_EQ(gps_.datums.back(), u"NAD27");
}

// The file is the same, and reads back the same, when the process runs in a
// comma-decimal locale set from the environment (as the display sets it).
TEST_F(Preferences, NumbersAreTheSameInACommaDecimalLocale) {
    auto writeAndRead = [&] {
        {
            COptionsSheet sheet;
            sheet.Data().location.latitude = 51.477928;
            sheet.Data().location.altitude = 46.5;
            sheet.Data().location.dstalert = 12.25;
            sheet.Data().gps.pdopMaximum = 6.5;
            sheet.Data().gps.epeMaximum = 2.75;
            EXPECT_TRUE(sheet.WritePreferences());
        }
        ResetPortRecordsForTests();
        COptionsSheet again;
        const PreferencesData& d = again.Data();
        EXPECT_EQ(d.location.latitude, 51.477928);
        EXPECT_EQ(d.location.altitude, 46.5);
        EXPECT_EQ(d.location.dstalert, 12.25);
        EXPECT_EQ(d.gps.pdopMaximum, 6.5);
        EXPECT_EQ(d.gps.epeMaximum, 2.75);
        return Get(kPrefs);
    };
    setlocale(LC_ALL, "C");
    const std::string plain = writeAndRead();
    setenv("LC_ALL", "de_DE.UTF-8", 1);
    const char* chosen = setlocale(LC_ALL, "");
    unsetenv("LC_ALL");
    ASSERT_NE(chosen, nullptr) << "the de_DE.UTF-8 locale is not installed";
    const std::string german = writeAndRead();
    setlocale(LC_ALL, "C");
    EXPECT_EQ(german, plain);
    EXPECT_NE(plain.find("<PDOP maximum=\"6.5\"/>"), std::string::npos) << plain;
    EXPECT_NE(plain.find("<LOCATION dstalert=\"12.25\"/>"), std::string::npos) << plain;
}

// "3d" is the attribute name older files have, though XML names cannot start
// with a digit: kept for those files, so strict parsers refuse the file
// while the option is on.
TEST_F(Preferences, TheThreeDimensionalFixOptionKeepsItsOldName) {
    {
        COptionsSheet sheet;
        sheet.Data().gps.mode3d = true;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    EXPECT_NE(Get(kPrefs).find("\r\n        <MODE 3d=\"true\"/>\r\n"), std::string::npos);
    COptionsSheet again;
    EXPECT_TRUE(again.Data().gps.mode3d);
}

TEST_F(Preferences, DefaultValuesAreLeftOutAndTheLayoutIsFixed) {
    {
        COptionsSheet sheet;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    const std::string bytes = Get(kPrefs);
    ASSERT_TRUE(XmlWellFormed(kPrefs));
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip>\r\n  <PREFERENCES>\r\n", 0), 0u);
    EXPECT_NE(bytes.substr(0, 3), "\xEF\xBB\xBF");
    // Every line ends with CR LF.
    for (size_t i = bytes.find('\n'); i != std::string::npos; i = bytes.find('\n', i + 1))
        ASSERT_EQ(bytes[i - 1], '\r') << i;
    for (const char* absent : {"//GPS/@checksum", "//COMPORT/@databits", "//DISPLAY/@highlightwidth",
                               "//GPS/@datum", "//TRACKLOG/@qualitycontrol", "//FONTS/DIALOG",
                               "//ALERT/@show", "//ALERT/@play", "//LAYERS/@autopack",
                               "//PDOP/@maximum"}) {
        SCOPED_TRACE(absent);
        EXPECT_EQ(XPath(kPrefs, std::string("count(") + absent + ")"), "0");
    }
    for (const char* present : {"//GPS/@protocol", "//GPS/@initialize", "//GPS/@logfile",
                                "//GPS/COMPORT/@port", "//GPS/COMPORT/@baud", "//AUX/COMPORT/@port",
                                "//AUX/COMPORT/@baud", "//QUALITYCONTROL/@level", "//TRACKLOG/@interval"}) {
        SCOPED_TRACE(present);
        EXPECT_EQ(XPath(kPrefs, std::string("count(") + present + ")"), "1");
    }
    EXPECT_EQ(XPath(kPrefs, "count(//ALERT/@name)"), "7");
    EXPECT_EQ(XPath(kPrefs, "count(//ALERT/@sound)"), "7");
    // Elements in their fixed order.
    std::string order;
    for (int i = 1; i <= 14; ++i)
        order += XPath(kPrefs, "name(/Zarnip/PREFERENCES/*[" + std::to_string(i) + "])") + " ";
    EXPECT_EQ(order, "PATHS LOCALE GPS ALERTS LOCATION AUX DEFAULTSYMBOLS MAPGRID TRACKLOG DISPLAY "
                     "STATUSBAR FONTS IMS LAYERS ");
    std::string alerts;
    for (int i = 1; i <= 7; ++i) alerts += XPath(kPrefs, "string(//ALERT[" + std::to_string(i) + "]/@name)") + " ";
    EXPECT_EQ(alerts, "nogpsdata maxpdop maxepe nofix notdgps not3d approachingdestination ");
    EXPECT_NE(bytes.find("\r\n    <GPS protocol=\"NMEA\""), std::string::npos);
    EXPECT_NE(bytes.find("\r\n      <COMPORT port=\"1\" baud=\"4800\" dtrcontrol=\"enable\" rtscontrol=\"enable\"/>"),
              std::string::npos);
}

TEST_F(Preferences, OddFilesReadAsTheUserMeant) {
    auto file = [](const std::string& body) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip><PREFERENCES>" + body +
               "</PREFERENCES></Zarnip>\r\n";
    };
    struct Row {
        const char* what;
        std::string bytes;
        std::function<void(COptionsSheet&)> check;
    } rows[] = {
        {"empty FONTS", file("<FONTS/>"),
         [](COptionsSheet& s) {
             EXPECT_TRUE(SameFont(s.Data().fonts.label, TahomaTenPoints()));
             EXPECT_TRUE(s.Data().fonts.systemDialogFont);
         }},
        {"FONTS with an empty DIALOG", file("<FONTS><DIALOG/></FONTS>"),
         [](COptionsSheet& s) {
             EXPECT_FALSE(s.Data().fonts.systemDialogFont);
             EXPECT_EQ(Face(s.Data().fonts.dialog), "Tahoma");
             EXPECT_EQ(s.Data().fonts.dialog.lfHeight, FontPointsToHeight(10));
             EXPECT_NE(s.GetDialogFont(), nullptr);
         }},
        {"empty log file", file("<GPS logfile=\"  \"/>"),
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().gps.logfile, u"\\Docs\\GPS.log"); }},
        {"log file after a moved data path", file("<PATHS data=\"\\Field\"/><GPS logfile=\"\"/>"),
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().gps.logfile, u"\\Field\\GPS.log"); }},
        {"streaming interval 0", file("<GPS><STREAMING interval=\"0\"/></GPS>"),
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().gps.streamingInterval, 1); }},
        {"lcid of zeros", file("<LOCALE lcid=\"00000000\"/>"),
         [](COptionsSheet& s) {
             EXPECT_EQ(s.Data().locale.lcid, 0u);
             EXPECT_EQ(s.GetAnsiCodePage(), AnsiCodePageOfLocale(res::GetUserDefaultLCID()));
         }},
        {"alerts of any element name, unknown names skipped",
         file("<ALERTS><X name=\"NOFIX\" show=\"false\" sound=\"a.wav\"/><ALERT name=\"bogus\" play=\"false\"/></ALERTS>"),
         [](COptionsSheet&) {
             const AlertSettings* a = GetAlertSettings();
             EXPECT_FALSE(a[3].show);
             EXPECT_EQ(a[3].sound, u"a.wav");
             for (int i = 0; i < kAlertCount; ++i) EXPECT_TRUE(a[i].play) << i;
         }},
        {"control words in any case, an unknown word enables",
         file("<GPS><COMPORT dtrcontrol=\"HandShake\" rtscontrol=\"sometimes\"/></GPS>"
              "<AUX><COMPORT dtrcontrol=\"DISABLE\"/></AUX>"),
         [](COptionsSheet&) {
             EXPECT_EQ(GetGpsPortSettings().dtrcontrol, 2u);
             EXPECT_EQ(GetGpsPortSettings().rtscontrol, 1u);
             EXPECT_EQ(GetAuxPortSettings().dtrcontrol, 0u);
         }},
        {"highlight width below one", file("<DISPLAY highlightwidth=\"-4\"/>"),
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().display.highlightwidth, 1); }},
        {"a datum in other letters", file("<GPS datum=\"wgs84\"/>"),
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().gps.datum, u"wgs84"); }},
        {"PREFERENCES deeper in the tree", "<Zarnip><X><PREFERENCES><DISPLAY units=\"1\"/></PREFERENCES></X></Zarnip>",
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().display.units, 1); }},
        {"no PREFERENCES", "<Zarnip><DISPLAY units=\"1\"/></Zarnip>",
         [](COptionsSheet& s) { EXPECT_EQ(s.Data().display.units, 0); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetPortRecordsForTests();
        Put(kPrefs, row.bytes);
        COptionsSheet sheet;
        row.check(sheet);
    }
}

TEST_F(Preferences, AnEmptyDialogFontIsWrittenBack) {
    Put(kPrefs, "<Zarnip><PREFERENCES><FONTS><DIALOG/></FONTS></PREFERENCES></Zarnip>");
    {
        COptionsSheet sheet;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    EXPECT_EQ(XPath(kPrefs, "string(//FONTS/DIALOG/@font)"), "Tahoma");
    EXPECT_EQ(XPath(kPrefs, "string(//FONTS/DIALOG/@fontsize)"), "10");
    EXPECT_EQ(XPath(kPrefs, "string(//FONTS/LABEL/@font)"), "Tahoma");
}

TEST_F(Preferences, ADataPathWithAccentsAndAnAmpersand) {
    const WString path = u"\\Données & Cartes\\Été";
    {
        COptionsSheet sheet;
        sheet.Data().paths.data = path;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    ASSERT_TRUE(XmlWellFormed(kPrefs));
    EXPECT_EQ(XPath(kPrefs, "string(//PATHS/@data)"), Narrow(path));
    EXPECT_NE(Get(kPrefs).find("Donn\xC3\xA9" "es &amp; Cartes"), std::string::npos);
    COptionsSheet again;
    EXPECT_EQ(again.Data().paths.data, path);
}

TEST_F(Preferences, AFailedSaveKeepsTheOldFileAndSaysSo) {
    {
        COptionsSheet sheet;
        sheet.Data().display.units = 1;
        ASSERT_TRUE(sheet.WritePreferences());
    }
    const std::string before = Get(kPrefs);
    struct Fault {
        const char* what;
        std::function<void()> arm;
    } faults[] = {
        {"the first write fails", [] { fs::test::FailNthWrite(1); }},
        {"the card fills after 100 bytes", [] { fs::test::SetWriteBudget(100); }},
        {"the card is full", [] { fs::test::SetWriteBudget(0); }},
        {"the file cannot be replaced", [] { fs::test::FailPath(u"\\Docs\\ZarnipPrefs.znx", fs::kErrorAccessDenied); }},
    };
    COptionsSheet sheet;
    sheet.Data().display.units = 2;
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        win::ClearMessageBoxLog();
        f.arm();
        EXPECT_FALSE(sheet.WritePreferences());
        fs::test::Reset();
        EXPECT_EQ(Get(kPrefs), before);
        EXPECT_EQ(HostList("Docs"), std::vector<std::string>{"ZarnipPrefs.znx"});
        auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(Narrow(boxes[0].text), "The preferences could not be saved to \\Docs\\ZarnipPrefs.znx.");
    }
}

TEST_F(Preferences, ATruncatedFileGivesTheDefaultsAndIsKept) {
    const std::string truncated = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n<Zarnip>\r\n  <PREFERENCES>\r\n    <DISPLAY units=\"2\"/>\r\n    <GPS proto";
    Put(kPrefs, truncated);
    COptionsSheet sheet;
    EXPECT_EQ(sheet.Data().display.units, 0);
    EXPECT_EQ(sheet.Data().gps.protocol, u"NMEA");
    EXPECT_EQ(Get(kPrefs), truncated);
    EXPECT_TRUE(win::MessageBoxLog().empty());
}

}  // namespace
