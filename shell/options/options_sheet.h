// The one preferences object of the program, which is also the Options
// sheet. Every option lives in the map engine's preferences record
// (`Data()`), read in place by everyone; the file ZarnipPrefs.znx in the
// documents folder and the registry section "Location" keep them.
#pragma once

#include <array>
#include <functional>
#include <memory>

#include "core/config_xml_file.h"
#include "core/dialog_ext.h"
#include "map/services/preferences.h"
#include "platform/gdi/owned.h"
#include "shell/options/port_records.h"

class CTracklogLayer;

class COptionsSheet : public CPropertySheetExt, public IPreferences {
public:
    static constexpr UINT kCaptionId = 7206;
    static constexpr UINT kSaveFailedId = 7207;
    static constexpr UINT kTabImagesId = 325;
    static constexpr const WChar* kFileName = u"ZarnipPrefs.znx";

    // The pages in tab order; Extensions comes last and only once
    // extensions are loaded.
    enum Page {
        kProtocol, kGps, kQuality, kCapture, kAlerts, kLocation, kDisplay, kFonts,
        kPaths, kIms, kLocale, kAux, kExtensions, kPageCount
    };
    static const int kTabImages[kPageCount];

    explicit COptionsSheet(UINT captionId = kCaptionId, HWND parent = nullptr, UINT selectPage = 0);
    COptionsSheet(WString caption, HWND parent, UINT selectPage = 0);
    ~COptionsSheet() override;

    // IPreferences
    PreferencesData& Data() override { return m_data; }
    UINT GetAnsiCodePage() override;
    bool WritePreferences() override;
    HFONT GetLabelFont() override;
    void ReadLocation() override;
    void WriteLocation() override;

    void InitDefaults();
    // False when there was no file to read (the options then keep their
    // values); true when the file was read.
    bool ReadPreferences();
    // The datum table file in the system folder, then the GPS datum by name.
    void LoadDatums();
    // Null while the system dialog font is used.
    HFONT GetDialogFont();
    void SetLabelLogFont(const LOGFONT& font);
    void SetDialogLogFont(const LOGFONT& font);
    // The preferences file (a device path).
    static WString GetFileName();

    static void ReadComPort(const CXmlNode* element, CSerialSettings& settings);
    static void WriteComPort(CConfigXmlFile& out, const CSerialSettings& settings);

    // The Options command: starts from the file, shows the sheet; on OK
    // writes the file and reloads the datums. Cancel puts back every value
    // the pages changed, except the alerts' play and sound settings.
    bool Run();
    // The pages of the sheet (supplied by the page module); null until set.
    void SetOptionPage(Page which, win::PropertyPage* page) { m_pages[which] = page; }
    win::PropertyPage* GetOptionPage(Page which) const { return m_pages[which]; }
    // The Grid Style and Tracklog pages of the Layer Properties sheet: new
    // pages that copy the grid or tracklog options in when made and out
    // when that sheet ends with OK (the Tracklog page then reloads the
    // datums). The caller owns them.
    std::unique_ptr<win::PropertyPage> CreateGridStylePage();
    std::unique_ptr<win::PropertyPage> CreateTracklogPage();
    // The tracklog whose file the Tracklog page counts and clears (unset or
    // null: the page's own).
    std::function<CTracklogLayer*()> m_tracklogLayer;
    // Whether extensions are loaded, asked at each Run (none by default).
    std::function<bool()> m_extensionsLoaded;

    bool OnInitDialog() override;

    // What the user may not change: always on.
    static constexpr bool kAlwaysOn = true;

private:
    void CopyOptions(PreferencesData& to, const PreferencesData& from);

    PreferencesData m_data;
    gdi::OwnedFont m_labelFont;
    gdi::OwnedFont m_dialogFont;
    std::array<win::PropertyPage*, kPageCount> m_pages{};
    bool m_extensionsPageAdded = false;
    HIMAGELIST m_tabImages = nullptr;
};

// The Tahoma 10-point font of labels and dialogs read from the file.
LOGFONT TahomaTenPoints();
// The system font's LOGFONT.
LOGFONT SystemFontRecord();
