// The option pages of the GPS receiver and what is done with its positions:
// Protocol, GPS port, Quality, Capture, Alerts, Location and AUX port, and
// the Tracklog page of the tracklog layer's properties. Each page exchanges
// the options in place, except the serial settings (written back on OK) and
// the Tracklog page (a copy, written back when its sheet ends with OK).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/dialog_ext.h"
#include "core/list_ctrl_ex.h"
#include "map/services/preferences.h"
#include "shell/options/port_records.h"

class CTracklogLayer;
class IAppExtensions;

// A GPS protocol the receiver can speak: the built-in ones, then those of
// the loaded extension modules.
struct ProtocolEntry {
    WString name;
    WString code;  // four letters
};

// The GPS protocols of the loaded modules, in load order.
std::vector<ProtocolEntry> ProtocolExtensions(IAppExtensions* extensions);

// Check box and bool option.
void DDX_CheckBool(CDataExchange* dx, int id, bool& value);

class CGpsProtocolPage : public CPropertyPageExt {
public:
    // `extensions` (may be null): the loaded modules, whose GPS protocols
    // join the list each time the page is made.
    CGpsProtocolPage(PreferencesData::Gps& gps, IAppExtensions* extensions);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    // The entries of the protocol list as shown, in order.
    const std::vector<ProtocolEntry>& GetEntries() const { return m_entries; }

    // Shows the datum's details; replaced by tests.
    std::function<void(HWND parent, const WString& datum)> m_showDatum;

private:
    void TakeProtocol();

    PreferencesData::Gps& m_gps;
    IAppExtensions* m_extensions;
    std::vector<ProtocolEntry> m_entries;
    win::BitmapButton m_info;
};

// The serial port pages: the GPS receiver's and the auxiliary port's.
class CPortPage : public CPropertyPageExt {
public:
    CPortPage(UINT templateId, CSerialSettings& settings, std::vector<uint32_t> bauds);

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;

    // The GPS page's baud rates, and the auxiliary port's.
    static std::vector<uint32_t> GpsBauds();
    static std::vector<uint32_t> AuxBauds();

    // The list indexes, -1 before the page is made.
    int m_port = -1;
    int m_baud = -1;
    int m_dataBits = -1;
    int m_stopBits = -1;
    int m_parity = -1;
    int m_rts = -1;
    int m_dtr = -1;
    int m_infrared = 0;
    int m_cts = 0;
    int m_dsr = 0;

protected:
    // The ids of the check boxes: infra red, CTS, DSR.
    virtual int InfraredId() const = 0;
    virtual int CtsId() const = 0;
    virtual int DsrId() const = 0;

    CSerialSettings& m_settings;
    std::vector<uint32_t> m_bauds;
};

class CGpsPortPage : public CPortPage {
public:
    CGpsPortPage(CSerialSettings& settings, PreferencesData& options);
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

    // The Save As dialog of the log file; true with the path on OK.
    // Replaced by tests.
    std::function<bool(HWND parent, WString& path)> m_chooseLogFile;

protected:
    int InfraredId() const override;
    int CtsId() const override;
    int DsrId() const override;

private:
    PreferencesData& m_options;
};

class CAuxPortPage : public CPortPage {
public:
    explicit CAuxPortPage(CSerialSettings& settings);

protected:
    int InfraredId() const override;
    int CtsId() const override;
    int DsrId() const override;
};

class CQualityPage : public CPropertyPageExt {
public:
    explicit CQualityPage(PreferencesData::Gps& gps);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void ApplyEnabling();
    PreferencesData::Gps& m_gps;
};

class CCapturePage : public CPropertyPageExt {
public:
    explicit CCapturePage(PreferencesData::Gps& gps);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void ApplyEnabling();
    PreferencesData::Gps& m_gps;
};

class CAlertsPage : public CPropertyPageExt {
public:
    enum Column { kShowColumn, kAlertColumn, kPlayColumn, kSampleColumn, kSoundColumn };

    CAlertsPage();
    bool OnInitDialog() override;
    void OnOK() override;
    bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

    CListCtrlEx& GetList() { return m_list; }
    // The Open dialog of a wave file; true with the path on OK. Replaced by
    // tests.
    std::function<bool(HWND parent, WString& path)> m_chooseSound;

private:
    void ShowRow(int alert);
    void OnCellClicked(int item, int column);

    CListCtrlEx m_list;
    CHeaderCtrlEx m_header;  // owns the header's images
};

class CLocationPage : public CPropertyPageExt {
public:
    // `displayUnits`: the option, read when the page is made.
    CLocationPage(PreferencesData::Location& location, const int& displayUnits);
    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;

    // Rounded to 4 decimals as the page shows distances.
    static double Round4(double value);
    // The unit of the display units: kilometre, mile or nautical mile.
    static int DistanceUnitOf(int displayUnits);

    // The distance as the edit shows it, and its unit.
    double m_shownDistance = 0;
    int m_unit = 0;

private:
    int SelectedUnit() const;
    double ReadShownDistance(bool* ok);

    PreferencesData::Location& m_location;
    const int& m_displayUnits;
    WString m_initialText;
    int m_initialUnit = 0;
};

class CTracklogPage : public CPropertyPageExt {
public:
    static const WChar* const kMeasures[11];

    // Copies the tracklog options in. `layer`: the tracklog whose file the
    // page counts and clears (null: the page's own).
    CTracklogPage(IPreferences& preferences, CTracklogLayer* layer);
    ~CTracklogPage() override;

    bool OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Copies the values out and reloads the datums.
    bool OnApply() override;

    // The Save As dialog of the tracklog file; true with the path on OK.
    // Replaced by tests.
    std::function<bool(HWND parent, WString& path)> m_chooseFile;
    // Reloads the datums after OK (the preferences object's).
    std::function<void()> m_reloadDatums;

    WString m_name;
    UINT m_interval = 0;
    int m_measure = 0;
    bool m_quality = true;

    // The path with its extension made "shp".
    static WString ForceShapeExtension(const WString& path);

private:
    void ShowNameAndCount();
    CTracklogLayer& Layer();

    IPreferences& m_preferences;
    CTracklogLayer* m_layer;
    std::unique_ptr<CTracklogLayer> m_ownLayer;
    win::BitmapButton m_file;
};
