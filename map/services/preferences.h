// The preferences as the map engine reads them: one plain record, named
// after the elements and attributes of the preferences file, with the
// file's defaults. The shell's preferences object owns the record and
// implements IPreferences; until one is installed the engine reads a plain
// record of defaults.
#pragma once

#include "map/symbology/symbol.h"
#include "map/symbology/text_symbol.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/text/text.h"
#include "platform/types.h"
#include "platform/win/framework_sheet.h"

#include <memory>

struct PreferencesData {
    struct Display {
        int units = 0;  // 0 metric, 1 statute, 2 nautical
        COLORREF backgroundcolor = 0xFFFFFF;
        COLORREF highlightcolor = 255;
        int highlightwidth = 3;
        bool panframe = false;
        int tolerance = 5;  // pixels
        bool systemtrayGps = true;
    } display;
    struct StatusBar {
        int coordsformat = 0;   // the coordinate text codes
        bool coordinates = true;  // the coordinate read-out switch
    } statusbar;
    struct Paths {
        WString system;   // program folder + "\System"
        WString data;     // the documents folder
        WString applets;  // program folder + "\Applets"
    } paths;
    struct Locale {
        DWORD lcid = 0;  // 0: the user's default locale
    } locale;
    struct Gps {
        WString protocol = u"NMEA";
        WString datum = u"WGS84";
        bool checksum = true;
        bool useheight = false;
        WString initialize;
        bool autoactivate = false;
        int log = 0;      // 0 off, 1, 2: the receiver's debug log
        WString logfile;  // documents folder + "\GPS.log"
        int qualitycontrolLevel = 0;
        bool pdopActive = false;
        double pdopMaximum = 0;
        bool epeActive = false;
        double epeMaximum = 0;  // metres
        bool mode3d = false;
        bool modeDgps = false;
        int streamingInterval = 1;
        bool averagingEnabled = false;
        int averagingPoint = 0;
        int averagingVertex = 0;
    } gps;
    struct Location {
        double dstalert = 0;  // metres, 0 off
        int restore = 1;
        double longitude = 0;
        double latitude = 0;
        double altitude = 0;
        double fourth = 0;
    } location;
    struct Tracklog {
        WString name;  // documents folder + "\TrackLog.shp"
        int interval = 0;
        bool qualitycontrol = true;
        int measure = 0;
    } tracklog;
    struct Fonts {
        LOGFONT label = DefaultLabelFont();  // Tahoma 10 points
        LOGFONT dialog = DefaultLabelFont();
        bool systemDialogFont = true;  // the system dialog font, not `dialog`
    } fonts;
    // New feature layers take the symbol of their display class.
    struct DefaultSymbols {
        CSymbol point{CSymbol::kTypeSimpleMarker};
        CSymbol line{CSymbol::kTypeSimpleLine};
        CSymbol polygon{CSymbol::kTypeSimplePolygon};
    } defaultsymbols;
    struct MapGrid {
        CSymbol line{CSymbol::kTypeSimpleLine};
        CTextSymbol text{DefaultLabelFont()};
    } mapgrid;
    struct Ims {
        bool log = false;
        bool autorefresh = true;
    } ims;
    struct Layers {
        bool autopack = true;
    } layers;

    PreferencesData();
    PreferencesData(const PreferencesData&) = delete;
    PreferencesData& operator=(const PreferencesData&) = delete;
    static LOGFONT DefaultLabelFont();
    // The defaults that name the documents folder.
    void SetFolderDefaults(WStringView documentsFolder);
};

class IPreferences {
public:
    virtual ~IPreferences() = default;
    virtual PreferencesData& Data() = 0;
    // The ANSI code page of the locale id (the user's default locale when 0).
    virtual UINT GetAnsiCodePage() = 0;
    // Writes the preferences file; false when it could not be written.
    virtual bool WritePreferences() = 0;
    // The label font, made once from the record.
    virtual HFONT GetLabelFont() = 0;
    virtual void ReadLocation() = 0;
    virtual void WriteLocation() = 0;
    // The option pages that edit the map grid's and the tracklog's settings,
    // for the grid's and the tracklog's layer properties. A page copies the
    // settings in when it is made and back when its sheet ends with OK.
    // None where there are no such pages.
    virtual std::unique_ptr<win::PropertyPage> CreateGridStylePage() { return nullptr; }
    virtual std::unique_ptr<win::PropertyPage> CreateTracklogPage() { return nullptr; }
};

// A preferences value that only holds the record (no file, no profile).
class CPlainPreferences : public IPreferences {
public:
    CPlainPreferences();
    ~CPlainPreferences() override;
    PreferencesData& Data() override { return m_data; }
    UINT GetAnsiCodePage() override;
    bool WritePreferences() override { return false; }
    HFONT GetLabelFont() override;
    void ReadLocation() override {}
    void WriteLocation() override {}

    PreferencesData m_data;

private:
    gdi::OwnedFont m_labelFont;
};

// The code page of a locale id through the locale table (0: the user's
// default locale); the table's default when the locale is unknown.
UINT AnsiCodePageOfLocale(DWORD lcid);

// The process-wide preferences: the installed object, else a plain record
// of defaults. Never null.
IPreferences* GetPreferences();
void SetPreferences(IPreferences* preferences);
// Uninstalls the object and resets the plain record (tests).
void ResetPreferencesForTests();
