// The option pages, run by the Options command on the null backend: what
// each page shows of the options, what it refuses, and what OK and Cancel
// leave behind (in the options and in the preferences file).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>

#include "crs/datum_table.h"
#include "formats/dbf/dbf_engine.h"
#include "map/layers/tracklog_layer.h"
#include "platform/fs/fs.h"
#include "platform/res/locale.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "resources/zres.h"
#include "shell/app/app_services.h"
#include "shell/app/win_app_ext.h"
#include "shell/options/option_pages.h"
#include "shell/options/options_sheet.h"
#include "tests/platform/win_golden.h"
#include "tests/shell/shell_doubles.h"
#include "tools/datum_table_writer.h"

namespace {

const char kPrefs[] = "Docs/ZarnipPrefs.znx";

// Two loaded modules: a GPS protocol with a properties dialog and a layer
// module without one.
class StandInExtensions : public IAppExtensions {
public:
    std::vector<int> propertiesShown;
    void LoadAll(HWND) override {}
    bool PreTranslateMessage(MSG*) override { return false; }
    void TerminateAll() override {}
    int GetCount() override { return 2; }
    ExtensionInfo GetExtensionInfo(int index) override {
        ExtensionInfo info;
        if (index == 0) {
            info = {u"Sonar Feed", u"SONR", 16, nullptr, u"\\Program\\Extensions\\sonar.so", true};
        } else {
            info = {u"Parcels", u"PRCL", 1, nullptr, u"\\Program\\Extensions\\parcels.so", false};
        }
        return info;
    }
    bool ShowExtensionProperties(int index, HWND) override {
        propertiesShown.push_back(index);
        return true;
    }
};

DatumFileRow Datum(const char16_t* name) {
    DatumFileRow r;
    r.datumId = 6326;
    r.datum = name;
    r.spheroid = u"WGS84";
    r.a = 6378137.0;
    r.inverseFlattening = 298.257223563;
    r.method = u"Geocentric_Translation";
    return r;
}

void Click(HWND page, int id) { SendMessage(GetDlgItem(page, id), BM_CLICK, 0, 0); }
void SetText(HWND page, int id, const char16_t* text) { SetDlgItemText(page, id, text); }
std::string Text(HWND page, int id) { return Narrow(GetDlgItemTextString(page, id)); }
int Selected(HWND page, int id) { return static_cast<int>(SendMessage(GetDlgItem(page, id), CB_GETCURSEL, 0, 0)); }
void Select(HWND page, int id, int index) {
    SendMessage(GetDlgItem(page, id), CB_SETCURSEL, WPARAM(index), 0);
    SendMessage(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(page, id)));
}
std::vector<std::string> ComboTexts(HWND page, int id) {
    HWND combo = GetDlgItem(page, id);
    std::vector<std::string> out;
    const int n = static_cast<int>(SendMessage(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        WChar buffer[128] = {};
        SendMessage(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(buffer));
        out.push_back(Narrow(buffer));
    }
    return out;
}
bool Enabled(HWND page, int id) { return IsWindowEnabled(GetDlgItem(page, id)); }

// A click in a cell of a list, as the list reports it to its page.
void ClickCell(HWND page, int listId, int item, int column) {
    NMITEMACTIVATE click{};
    click.hdr.hwndFrom = GetDlgItem(page, listId);
    click.hdr.idFrom = static_cast<decltype(click.hdr.idFrom)>(listId);
    click.hdr.code = NM_CLICK;
    click.iItem = item;
    click.iSubItem = column;
    SendMessage(page, WM_NOTIFY, WPARAM(listId), reinterpret_cast<LPARAM>(&click));
}

class OptionPages : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        InitCommonControls();
        CWinAppExt::RegisterSipPref();
        win::ClearModalHooks();
        DbfResetForTests();
        ASSERT_TRUE(WriteDatumTable(u"\\Program\\System\\znDatums.dbf",
                                    {Datum(u"WGS84"), Datum(u"Clarke_1866"), Datum(u"NAD27"), Datum(u"NAD27"),
                                     Datum(u"NAD27"), Datum(u"Tokyo")}));
    }
    void TearDown() override {
        pages_.reset();
        sheet_.reset();
        win::ClearModalHooks();
        SetDatumTableFile(u"");
        ShellTest::TearDown();
    }
    COptionsSheet& Sheet() {
        if (!sheet_) {
            sheet_ = std::make_unique<COptionsSheet>();
            sheet_->m_extensionsLoaded = [] { return true; };
            pages_ = std::make_unique<COptionPages>(*sheet_, &extensions_);
        }
        return *sheet_;
    }
    COptionPages& Pages() {
        Sheet();
        return *pages_;
    }
    // Runs the Options command: `act` gets the page's window once the page
    // is shown, then the sheet ends with OK or Cancel. Run's answer.
    bool RunOn(win::PropertyPage& page, bool ok, const std::function<void(HWND)>& act) {
        COptionsSheet& sheet = Sheet();
        win::PushModalHook([&](HWND) {
            sheet.SetActivePage(&page);
            act(page.GetSafeHwnd());
            // The act may have ended the sheet itself.
            if (win::IsDialogRunning(sheet.GetSafeHwnd())) sheet.PressButton(ok ? PSBTN_OK : PSBTN_CANCEL);
        });
        return sheet.Run();
    }
    // The number of data exchange prompts shown so far.
    size_t Prompts() const { return win::MessageBoxLog().size(); }
    std::string LastPrompt() const {
        auto log = win::MessageBoxLog();
        return log.empty() ? "" : Narrow(log.back().text);
    }

    StandInExtensions extensions_;
    std::unique_ptr<COptionsSheet> sheet_;
    std::unique_ptr<COptionPages> pages_;
};

// Every template loads from the program's resources, each control where the
// page expects it, of the right class, and every page ends with the hidden
// input panel control.
TEST_F(OptionPages, TemplatesHoldTheirControls) {
    struct Expected {
        int page;
        std::vector<std::pair<int, const char*>> controls;
    };
    const Expected table[] = {
        {COptionsSheet::kProtocol, {{11201, "BUTTON"}, {11202, "BUTTON"}, {11203, "STATIC"}, {1076, "COMBOBOX"},
                                    {11204, "BUTTON"}, {11205, "STATIC"}, {1070, "COMBOBOX"}, {11206, "BUTTON"},
                                    {11207, "BUTTON"}, {11208, "STATIC"}, {1156, "EDIT"}}},
        {COptionsSheet::kGps, {{11301, "STATIC"}, {1113, "COMBOBOX"}, {11302, "BUTTON"}, {11303, "STATIC"},
                               {1074, "COMBOBOX"}, {11304, "STATIC"}, {1182, "COMBOBOX"}, {11305, "STATIC"},
                               {1181, "COMBOBOX"}, {11306, "STATIC"}, {1183, "COMBOBOX"}, {11307, "STATIC"},
                               {1114, "COMBOBOX"}, {11308, "BUTTON"}, {11309, "STATIC"}, {1115, "COMBOBOX"},
                               {11310, "BUTTON"}, {11311, "BUTTON"}, {11312, "BUTTON"}}},
        {COptionsSheet::kQuality, {{11401, "BUTTON"}, {11402, "BUTTON"}, {11403, "BUTTON"}, {11404, "BUTTON"},
                                   {1216, "EDIT"}, {11405, "BUTTON"}, {1217, "EDIT"}, {11406, "BUTTON"},
                                   {11407, "BUTTON"}}},
        {COptionsSheet::kCapture, {{12201, "BUTTON"}, {12202, "STATIC"}, {12203, "STATIC"}, {1214, "EDIT"},
                                   {12204, "STATIC"}, {1215, "EDIT"}, {12205, "STATIC"}, {1221, "EDIT"}}},
        {COptionsSheet::kAlerts, {{1219, "SysListView32"}}},
        {COptionsSheet::kLocation, {{11801, "STATIC"}, {11802, "STATIC"}, {1117, "EDIT"}, {11803, "STATIC"},
                                    {1118, "EDIT"}, {11804, "STATIC"}, {1119, "EDIT"}, {11805, "BUTTON"},
                                    {11806, "STATIC"}, {1120, "EDIT"}, {1267, "COMBOBOX"}}},
        {COptionsSheet::kDisplay, {{11101, "STATIC"}, {11102, "BUTTON"}, {11103, "BUTTON"}, {11104, "BUTTON"},
                                   {11105, "STATIC"}, {1265, "COMBOBOX"}, {11106, "STATIC"}, {11107, "BUTTON"},
                                   {11108, "STATIC"}, {11109, "BUTTON"}, {1139, "EDIT"}, {11110, "STATIC"},
                                   {11111, "STATIC"}, {1138, "EDIT"}, {11112, "STATIC"}}},
        {COptionsSheet::kFonts, {{12301, "STATIC"}, {1253, "EDIT"}, {12302, "BUTTON"}, {12303, "BUTTON"},
                                 {12304, "STATIC"}, {1254, "EDIT"}, {12305, "BUTTON"}}},
        {COptionsSheet::kPaths, {{11903, "STATIC"}, {1031, "EDIT"}, {11904, "BUTTON"}, {11901, "STATIC"},
                                 {1028, "EDIT"}, {11902, "BUTTON"}, {11905, "STATIC"}, {1029, "EDIT"},
                                 {11906, "BUTTON"}}},
        {COptionsSheet::kIms, {{11601, "BUTTON"}, {11602, "BUTTON"}}},
        {COptionsSheet::kLocale, {{1257, "SysListView32"}, {11701, "BUTTON"}}},
        {COptionsSheet::kAux, {{11001, "STATIC"}, {1113, "COMBOBOX"}, {11002, "BUTTON"}, {11003, "STATIC"},
                               {1074, "COMBOBOX"}, {11004, "STATIC"}, {1182, "COMBOBOX"}, {11005, "STATIC"},
                               {1181, "COMBOBOX"}, {11006, "STATIC"}, {1183, "COMBOBOX"}, {11007, "STATIC"},
                               {1114, "COMBOBOX"}, {11008, "BUTTON"}, {11009, "STATIC"}, {1115, "COMBOBOX"},
                               {11010, "BUTTON"}}},
        {COptionsSheet::kExtensions, {{1268, "SysListView32"}, {12401, "BUTTON"}}},
    };
    auto check = [](HWND page, const std::vector<std::pair<int, const char*>>& controls, const std::string& name) {
        ASSERT_NE(page, nullptr) << name;
        for (const auto& [id, cls] : controls) {
            HWND control = GetDlgItem(page, id);
            ASSERT_NE(control, nullptr) << name << " " << id;
            EXPECT_TRUE(text::EqualsNoCase(GetClassNameText(control), text::FromUtf8(cls))) << name << " " << id;
        }
        HWND sip = GetDlgItem(page, 65535);
        ASSERT_NE(sip, nullptr) << name;
        EXPECT_EQ(Narrow(GetClassNameText(sip)), "SIPPREF") << name;
        EXPECT_FALSE(IsWindowVisible(sip)) << name;
        EXPECT_EQ(GetWindow(page, GW_CHILD) ? GetWindow(GetWindow(page, GW_CHILD), GW_HWNDLAST) : nullptr, sip)
            << name << ": the last control";
    };
    COptionsSheet& sheet = Sheet();
    std::vector<std::string> titles;
    win::PushModalHook([&](HWND) {
        for (const Expected& e : table) {
            win::PropertyPage* page = sheet.GetOptionPage(static_cast<COptionsSheet::Page>(e.page));
            sheet.SetActivePage(page);
            check(page->GetSafeHwnd(), e.controls, std::to_string(e.page));
            WString title;
            sheet.GetPageTitle(page, title);
            titles.push_back(Narrow(title));
        }
        sheet.PressButton(PSBTN_CANCEL);
    });
    sheet.Run();
    EXPECT_EQ(titles, (std::vector<std::string>{"Protocol", "GPS", "Quality", "Capture", "Alerts", "Location",
                                                "Display", "Fonts", "Paths", "Ombrix", "Locale", "AUX",
                                                "Extensions"}));

    // The two pages of the layer properties.
    using Controls = std::vector<std::pair<int, const char*>>;
    std::vector<std::pair<std::unique_ptr<win::PropertyPage>, Controls>> extra;
    extra.emplace_back(sheet.CreateGridStylePage(), Controls{{11501, "STATIC"}, {1010, "COMBOBOX"}, {11502, "STATIC"}, {1011, "EDIT"}, {1064, "msctls_updown32"},
          {11503, "STATIC"}, {11504, "BUTTON"}, {11505, "STATIC"}, {1041, "EDIT"}, {1065, "msctls_updown32"},
          {11506, "STATIC"}, {11507, "BUTTON"}});
    extra.emplace_back(sheet.CreateTracklogPage(), Controls{{12001, "STATIC"}, {1041, "EDIT"}, {12002, "BUTTON"}, {12003, "STATIC"}, {1043, "EDIT"},
          {12004, "BUTTON"}, {12005, "STATIC"}, {1045, "EDIT"}, {1080, "msctls_updown32"}, {12006, "BUTTON"},
          {12007, "STATIC"}, {1223, "COMBOBOX"}});
    for (const auto& [page, controls] : extra) {
        CPropertySheetExt layer(u"Layer", nullptr);
        layer.AddPage(page.get());
        win::PushModalHook([&](HWND) {
            check(page->GetSafeHwnd(), controls, "layer page");
            layer.PressButton(PSBTN_CANCEL);
        });
        layer.DoModal();
    }
}

TEST_F(OptionPages, PortPagesMapSettingsToListsAndBack) {
    CSerialSettings& gps = GetGpsPortSettings();
    gps.port = 3;
    gps.baud = 4000;  // not in the list
    gps.parity = 'E';
    gps.databits = 8;
    gps.stopbits = 2;
    gps.rtscontrol = 2;
    gps.dtrcontrol = 0;
    gps.ctshandshake = 1;
    ASSERT_TRUE(Sheet().WritePreferences());
    Sheet().ReadPreferences();
    struct Shown {
        int id;
        int index;
    };
    ASSERT_TRUE(RunOn(Pages().Gps(), true, [&](HWND page) {
        for (const Shown& s : {Shown{IDC_PORT_PORT, 2}, Shown{IDC_PORT_BAUD, 0}, Shown{IDC_PORT_PARITY, 2},
                               Shown{IDC_PORT_DATABITS, 1}, Shown{IDC_PORT_STOPBITS, 2}, Shown{IDC_PORT_RTS, 2},
                               Shown{IDC_PORT_DTR, 0}})
            EXPECT_EQ(Selected(page, s.id), s.index) << s.id;
        EXPECT_EQ(ComboTexts(page, IDC_PORT_PORT).size(), 32u);
        EXPECT_EQ(ComboTexts(page, IDC_PORT_PORT)[31], "COM32");
        EXPECT_EQ(ComboTexts(page, IDC_PORT_PARITY),
                  (std::vector<std::string>{"None", "Odd", "Even", "Mark", "Space"}));
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_GPS_CTS), BST_CHECKED);
        Select(page, IDC_PORT_PARITY, 3);
    }));
    // The unlisted rate became the first entry; the rest came back as shown.
    EXPECT_EQ(gps.baud, 1200u);
    EXPECT_EQ(gps.port, 3u);
    EXPECT_EQ(gps.parity, 'M');
    EXPECT_EQ(gps.databits, 8u);
    EXPECT_EQ(gps.stopbits, 2u);
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/COMPORT/@baud)"), "1200");
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/COMPORT/@parity)"), "M");

    // The AUX page has its own rates; Cancel leaves the port as it was.
    CSerialSettings& aux = GetAuxPortSettings();
    aux.baud = 256000;
    ASSERT_TRUE(Sheet().WritePreferences());
    EXPECT_FALSE(RunOn(Pages().Aux(), false, [&](HWND page) {
        EXPECT_EQ(ComboTexts(page, IDC_PORT_BAUD).front(), "110");
        EXPECT_EQ(Selected(page, IDC_PORT_BAUD), 14);
        Select(page, IDC_PORT_BAUD, 0);
    }));
    EXPECT_EQ(aux.baud, 256000u);
}

// The GPS page's Log box has three states, and a double tap on it chooses
// the log file.
TEST_F(OptionPages, GpsLogStatesAndFile) {
    std::vector<std::string> dialogs;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        dialogs.push_back(std::string(save ? "save " : "open ") + Narrow(ofn.defExt) + " " + Narrow(ofn.initialDir) +
                          " " + Narrow(ofn.file));
        ofn.file = u"\\Temp\\trip.log";
        return true;
    };
    win::SetCommonDialogResponder(responder);
    for (UINT state : {BST_INDETERMINATE, BST_CHECKED, BST_UNCHECKED}) {
        ASSERT_TRUE(RunOn(Pages().Gps(), true, [&](HWND page) { CheckDlgButton(page, IDC_GPS_LOG, state); }));
        EXPECT_EQ(Sheet().Data().gps.log, static_cast<int>(state));
    }
    EXPECT_EQ(XPath(kPrefs, "count(//GPS/@log)"), "0");
    ASSERT_TRUE(RunOn(Pages().Gps(), true, [&](HWND page) {
        SendMessage(page, WM_COMMAND, MAKEWPARAM(IDC_GPS_LOG, BN_DBLCLK),
                    reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_GPS_LOG)));
        Click(page, IDC_GPS_TRAY);
    }));
    EXPECT_EQ(dialogs, std::vector<std::string>{"save log \\Temp\\ \\Docs\\GPS.log"});
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/@logfile)"), "\\Temp\\trip.log");
    EXPECT_EQ(XPath(kPrefs, "string(//DISPLAY/SYSTEMTRAY/@gps)"), "false");
}

// Paths and the map server options: the folder browser replaces a path;
// Cancel puts everything back.
TEST_F(OptionPages, PathsAndMapServer) {
    Pages().Paths().m_browse = [](HWND, WString& path) {
        path = u"\\Maps";
        return true;
    };
    EXPECT_FALSE(RunOn(Pages().Paths(), false, [&](HWND page) {
        Click(page, IDC_PATHS_DATA_BROWSE);
        EXPECT_EQ(Text(page, IDC_PATHS_DATA), "\\Maps");
    }));
    EXPECT_EQ(Sheet().Data().paths.data, u"\\Docs");
    ASSERT_TRUE(RunOn(Pages().Paths(), true, [&](HWND page) { Click(page, IDC_PATHS_APPLETS_BROWSE); }));
    EXPECT_EQ(XPath(kPrefs, "string(//PATHS/@applets)"), "\\Maps");

    EXPECT_FALSE(RunOn(Pages().Ims(), false, [&](HWND page) { Click(page, IDC_IMS_LOG); }));
    EXPECT_FALSE(Sheet().Data().ims.log);
    ASSERT_TRUE(RunOn(Pages().Ims(), true, [&](HWND page) {
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_IMS_AUTOREFRESH), BST_CHECKED);
        Click(page, IDC_IMS_LOG);
        Click(page, IDC_IMS_AUTOREFRESH);
    }));
    EXPECT_EQ(XPath(kPrefs, "string(//IMS/@log)"), "true");
    EXPECT_EQ(XPath(kPrefs, "string(//IMS/@autorefresh)"), "false");
}

TEST_F(OptionPages, QualityLimitsFollowTheWarningLevelAndTheirRanges) {
    ASSERT_TRUE(RunOn(Pages().Quality(), true, [&](HWND page) {
        const int limits[] = {IDC_QUALITY_PDOP_ON, IDC_QUALITY_PDOP, IDC_QUALITY_EPE_ON, IDC_QUALITY_EPE,
                              IDC_QUALITY_DGPS, IDC_QUALITY_3D};
        for (int id : limits) EXPECT_FALSE(Enabled(page, id)) << id;
        Click(page, IDC_QUALITY_COMPULSORY);
        for (int id : limits) EXPECT_TRUE(Enabled(page, id)) << id;
        Click(page, IDC_QUALITY_PDOP_ON);
        SetText(page, IDC_QUALITY_PDOP, u"10");
        const size_t before = Prompts();
        Sheet().PressButton(PSBTN_OK);  // refused: the sheet stays
        EXPECT_EQ(Prompts(), before + 1);
        EXPECT_EQ(LastPrompt(), "Please enter a number between 0 and 9.");
        SetText(page, IDC_QUALITY_PDOP, u"9");
        SetText(page, IDC_QUALITY_EPE, u"");
    }));
    const PreferencesData::Gps& g = Sheet().Data().gps;
    EXPECT_EQ(g.qualitycontrolLevel, 2);
    EXPECT_TRUE(g.pdopActive);
    EXPECT_EQ(g.pdopMaximum, 9);
    EXPECT_EQ(g.epeMaximum, 0);
    EXPECT_EQ(XPath(kPrefs, "string(//QUALITYCONTROL/PDOP/@maximum)"), "9");
}

TEST_F(OptionPages, CaptureAveragingEditsAndRanges) {
    struct Case {
        const char16_t* points;
        const char16_t* streaming;
        const char* prompt;  // null: accepted
    };
    const Case cases[] = {
        {u"10000", u"1", "Please enter an integer between 0 and 9999."},
        {u"5", u"0", "Please enter an integer between 1 and 9999."},
        {u"x", u"1", "Please enter an integer."},
        {u"", u"9999", nullptr},
        {u"25", u"3", nullptr},
    };
    for (const Case& c : cases) {
        bool refused = false;
        RunOn(Pages().Capture(), true, [&](HWND page) {
            if (IsDlgButtonChecked(page, IDC_CAPTURE_AVERAGING) != BST_CHECKED) {
                EXPECT_FALSE(Enabled(page, IDC_CAPTURE_POINTS));
                Click(page, IDC_CAPTURE_AVERAGING);
            }
            EXPECT_TRUE(Enabled(page, IDC_CAPTURE_POINTS));
            EXPECT_TRUE(Enabled(page, IDC_CAPTURE_VERTICES));
            SetText(page, IDC_CAPTURE_POINTS, c.points);
            SetText(page, IDC_CAPTURE_STREAMING, c.streaming);
            const size_t before = Prompts();
            Sheet().PressButton(PSBTN_OK);
            refused = win::IsDialogRunning(Sheet().GetSafeHwnd());
            if (refused) {
                EXPECT_EQ(Prompts(), before + 1);
                EXPECT_EQ(LastPrompt(), c.prompt ? c.prompt : "");
                Sheet().PressButton(PSBTN_CANCEL);
            }
        });
        EXPECT_EQ(refused, c.prompt != nullptr) << Narrow(c.points);
    }
    EXPECT_EQ(Sheet().Data().gps.averagingPoint, 25);
    EXPECT_EQ(Sheet().Data().gps.streamingInterval, 3);
    // Empty shows and reads as 0.
    Sheet().Data().gps.averagingVertex = 0;
    RunOn(Pages().Capture(), false, [&](HWND page) { EXPECT_EQ(Text(page, IDC_CAPTURE_VERTICES), ""); });
}

TEST_F(OptionPages, AlertsListTogglesAtOnceAndShowsOnOk) {
    GetAlertSettings()[2].sound = u"\\Windows\\chime.wav";
    GetAlertSettings()[3].play = false;
    ASSERT_TRUE(Sheet().WritePreferences());
    win::CommonDialogResponder responder;
    responder.file = [](OPENFILENAME& ofn, bool save) {
        EXPECT_FALSE(save);
        EXPECT_EQ(ofn.defExt, u"wav");
        ofn.file = u"\\Windows\\siren.wav";
        return true;
    };
    win::SetCommonDialogResponder(responder);
    EXPECT_FALSE(RunOn(Pages().Alerts(), false, [&](HWND page) {
        CListCtrlEx& list = Pages().Alerts().GetList();
        ASSERT_EQ(list.GetItemCount(), kAlertCount);
        EXPECT_TRUE(GetWindowLong(list.GetSafeHwnd(), GWL_STYLE) & LVS_REPORT);
        const DWORD ex = static_cast<DWORD>(SendMessage(list.GetSafeHwnd(), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
        EXPECT_EQ(ex & (LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES),
                  LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_SUBITEMIMAGES);
        int order[5] = {};
        SendMessage(list.GetSafeHwnd(), LVM_GETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(order));
        EXPECT_EQ(std::vector<int>(order, order + 5), (std::vector<int>{1, 0, 2, 3, 4}));
        const int widths[5] = {28, 110, 26, 26, 220};
        for (int c = 0; c < 5; ++c)
            EXPECT_EQ(SendMessage(list.GetSafeHwnd(), LVM_GETCOLUMNWIDTH, WPARAM(c), 0), widths[c]) << c;
        struct Row {
            int item;
            const char* caption;
            int icon, play;
            const char* sound;
        };
        for (const Row& r : {Row{0, "No GPS data being received", 1, 7, "<Default>"},
                             Row{2, "Maximum EPE exceeded", 0, 7, "\\Windows\\chime.wav"},
                             Row{3, "No current position fix", 0, 6, "<Default>"},
                             Row{6, "Approaching Destination", 2, 7, "<Default>"}}) {
            EXPECT_EQ(Narrow(list.GetItemText(r.item, 1)), r.caption);
            EXPECT_EQ(list.GetItemImage(r.item, 1), r.icon) << r.item;
            EXPECT_EQ(list.GetItemImage(r.item, 2), r.play) << r.item;
            EXPECT_EQ(list.GetItemImage(r.item, 3), 5) << r.item;
            EXPECT_EQ(Narrow(list.GetItemText(r.item, 4)), r.sound);
            EXPECT_TRUE(list.GetCheck(r.item));
        }
        ClickCell(page, IDC_ALERTS_LIST, 1, CAlertsPage::kPlayColumn);
        EXPECT_FALSE(GetAlertSettings()[1].play);
        EXPECT_EQ(list.GetItemImage(1, 2), 6);
        // The sample plays even with the alert's sound off: here the beep of
        // an alert without a sound file.
        const size_t beeps = win::BeepLog().size();
        ClickCell(page, IDC_ALERTS_LIST, 3, CAlertsPage::kSampleColumn);
        ASSERT_EQ(win::BeepLog().size(), beeps + 1);
        EXPECT_EQ(win::BeepLog().back(), MB_ICONEXCLAMATION);
        ClickCell(page, IDC_ALERTS_LIST, 5, CAlertsPage::kSoundColumn);
        EXPECT_EQ(Narrow(list.GetItemText(5, 4)), "\\Windows\\siren.wav");
        list.SetCheck(0, false);
    }));
    // Play and sound changed at once and stay; the show flag waits for OK.
    EXPECT_FALSE(GetAlertSettings()[1].play);
    EXPECT_EQ(GetAlertSettings()[5].sound, u"\\Windows\\siren.wav");
    EXPECT_TRUE(GetAlertSettings()[0].show);

    ASSERT_TRUE(RunOn(Pages().Alerts(), true, [&](HWND) { Pages().Alerts().GetList().SetCheck(0, false); }));
    EXPECT_FALSE(GetAlertSettings()[0].show);
    EXPECT_EQ(XPath(kPrefs, "string(//ALERT[@name=\"nogpsdata\"]/@show)"), "false");
}

TEST_F(OptionPages, LocationDistanceInTheDisplayUnit) {
    struct Case {
        int units;
        const char* unit;
        const char* shown;
    };
    const Case cases[] = {{0, "km", "1"}, {1, "mi", "0.6214"}, {2, "NM", "0.54"}};
    for (const Case& c : cases) {
        Sheet().Data().display.units = c.units;
        Sheet().Data().location.dstalert = 1000;
        ASSERT_TRUE(Sheet().WritePreferences());
        // Cancel, even after changing unit and value: metres as they were.
        EXPECT_FALSE(RunOn(Pages().Location(), false, [&](HWND page) {
            EXPECT_EQ(Narrow(GetDlgItemTextString(page, IDC_LOCATION_UNIT)), c.unit);
            EXPECT_EQ(Text(page, IDC_LOCATION_DST), c.shown);
            SetText(page, IDC_LOCATION_DST, u"7");
        }));
        EXPECT_EQ(Sheet().Data().location.dstalert, 1000) << c.unit;
        // OK untouched keeps exactly 1000 m, whatever rounding the unit shows.
        ASSERT_TRUE(RunOn(Pages().Location(), true, [](HWND) {}));
        EXPECT_EQ(Sheet().Data().location.dstalert, 1000) << c.unit;
        EXPECT_EQ(XPath(kPrefs, "string(//LOCATION/@dstalert)"), "1000");
    }
    // Another unit converts what is shown; OK stores metres.
    Sheet().Data().display.units = 0;
    ASSERT_TRUE(Sheet().WritePreferences());
    ASSERT_TRUE(RunOn(Pages().Location(), true, [&](HWND page) {
        const std::vector<std::string> units = ComboTexts(page, IDC_LOCATION_UNIT);
        const int metre = static_cast<int>(std::find(units.begin(), units.end(), "m") - units.begin());
        ASSERT_LT(metre, static_cast<int>(units.size()));
        Select(page, IDC_LOCATION_UNIT, metre);
        EXPECT_EQ(Text(page, IDC_LOCATION_DST), "1000");
        SetText(page, IDC_LOCATION_DST, u"2500.5");
        SetText(page, IDC_LOCATION_LAT, u"45 30 0 N");
        SetText(page, IDC_LOCATION_ALT, u"");
    }));
    EXPECT_EQ(Sheet().Data().location.dstalert, 2500.5);
    EXPECT_EQ(Sheet().Data().location.latitude, 45.5);
    EXPECT_EQ(Sheet().Data().location.altitude, 0);
}

TEST_F(OptionPages, ProtocolListKeepsAnUnknownCodeAndListsDatumsOnce) {
    Sheet().Data().gps.protocol = u"ABCD";
    ASSERT_TRUE(Sheet().WritePreferences());
    for (bool ok : {false, true}) {
        RunOn(Pages().Protocol(), ok, [&](HWND page) {
            EXPECT_EQ(ComboTexts(page, IDC_PROTOCOL_LIST),
                      (std::vector<std::string>{"NMEA 0183", "TSIP", "Earthmate\xC2\xAE", "Sonar Feed", "ABCD"}));
            EXPECT_EQ(Selected(page, IDC_PROTOCOL_LIST), 4);
            // Sorted, each name once.
            EXPECT_EQ(ComboTexts(page, IDC_PROTOCOL_DATUM),
                      (std::vector<std::string>{"Clarke_1866", "NAD27", "Tokyo", "WGS84"}));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_PROTOCOL_CHECKSUM)));
            EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_PROTOCOL_ADVANCED)));
        });
        EXPECT_EQ(Sheet().Data().gps.protocol, u"ABCD") << ok;
    }
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/@protocol)"), "ABCD");
    // Picking another entry changes it, and the extension's code is stored;
    // "Info.." shows the datum chosen on the page.
    std::string shown;
    ASSERT_TRUE(RunOn(Pages().Protocol(), true, [&](HWND page) {
        Select(page, IDC_PROTOCOL_LIST, 3);
        SendMessage(GetDlgItem(page, IDC_PROTOCOL_DATUM), CB_SELECTSTRING, WPARAM(-1),
                    reinterpret_cast<LPARAM>(u"Tokyo"));
        win::PushModalHook([&](HWND info) {
            shown = Narrow(GetWindowTextString(info)) + ": " + Text(info, IDC_DATUM_NAME);
            EndDialog(info, IDOK);
        });
        Click(page, IDC_PROTOCOL_INFO);
    }));
    EXPECT_EQ(shown, "Datum Transformation Information: Tokyo");
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/@protocol)"), "SONR");
    EXPECT_EQ(XPath(kPrefs, "string(//GPS/@datum)"), "Tokyo");
}

TEST_F(OptionPages, DisplayRangesAndItsPicture) {
    struct Case {
        const char16_t* tolerance;
        const char16_t* width;
        const char* prompt;
    };
    const Case cases[] = {
        {u"16", u"3", "Please enter an integer between 1 and 15."},
        {u"15", u"0", "Please enter an integer between 1 and 99."},
        {u"15", u"-2", "Please enter an integer between 1 and 99."},
        {u"15", u"4", nullptr},
    };
    for (const Case& c : cases) {
        bool refused = false;
        RunOn(Pages().Display(), true, [&](HWND page) {
            SetText(page, IDC_DISPLAY_TOLERANCE, c.tolerance);
            SetText(page, IDC_DISPLAY_HIGHLIGHT_WIDTH, c.width);
            Sheet().PressButton(PSBTN_OK);
            refused = win::IsDialogRunning(Sheet().GetSafeHwnd());
            if (refused) {
                EXPECT_EQ(LastPrompt(), c.prompt ? c.prompt : "");
                Sheet().PressButton(PSBTN_CANCEL);
            }
        });
        EXPECT_EQ(refused, c.prompt != nullptr) << Narrow(c.tolerance) << " " << Narrow(c.width);
    }
    EXPECT_EQ(Sheet().Data().display.tolerance, 15);
    EXPECT_EQ(Sheet().Data().display.highlightwidth, 4);
    EXPECT_EQ(XPath(kPrefs, "string(//DISPLAY/@tolerance)"), "15");
}

TEST_F(OptionPages, FontsWithTheSystemDialogFontWriteNoDialogFont) {
    win::CommonDialogResponder responder;
    responder.font = [](CHOOSEFONT& cf) {
        const WChar face[] = u"Courier New";
        std::memcpy(cf.lpLogFont->lfFaceName, face, sizeof(face));
        cf.lpLogFont->lfWeight = 700;
        return true;
    };
    win::SetCommonDialogResponder(responder);
    ASSERT_TRUE(Sheet().Data().fonts.systemDialogFont);
    ASSERT_TRUE(RunOn(Pages().Fonts(), true, [&](HWND page) {
        EXPECT_EQ(IsDlgButtonChecked(page, IDC_FONTS_SYSTEM), BST_CHECKED);
        EXPECT_FALSE(Enabled(page, IDC_FONTS_DIALOG_BUTTON));
        EXPECT_TRUE(Enabled(page, IDC_FONTS_LABEL_BUTTON));
        Click(page, IDC_FONTS_LABEL_BUTTON);
    }));
    EXPECT_EQ(XPath(kPrefs, "count(//FONTS/DIALOG)"), "0");
    EXPECT_EQ(XPath(kPrefs, "string(//FONTS/LABEL/@font)"), "Courier New");

    ASSERT_TRUE(RunOn(Pages().Fonts(), true, [&](HWND page) {
        Click(page, IDC_FONTS_SYSTEM);
        EXPECT_TRUE(Enabled(page, IDC_FONTS_DIALOG_BUTTON));
        Click(page, IDC_FONTS_DIALOG_BUTTON);
    }));
    EXPECT_FALSE(Sheet().Data().fonts.systemDialogFont);
    EXPECT_EQ(XPath(kPrefs, "string(//FONTS/DIALOG/@font)"), "Courier New");
}

TEST_F(OptionPages, LocaleListsLanguageLibrariesFirst) {
    const size_t all = res::AllLocales().size();
    auto rows = [&] {
        std::vector<std::string> out;
        CListCtrlEx& list = Pages().Locale().GetList();
        for (int i = 0; i < list.GetItemCount(); ++i)
            out.push_back(Narrow(list.GetItemText(i, 0)) + (list.GetItemImage(i, 0) == 0 ? "*" : ""));
        return out;
    };
    ASSERT_TRUE(RunOn(Pages().Locale(), true, [&](HWND page) {
        EXPECT_EQ(rows(), std::vector<std::string>{"ENU*"});
        CListCtrlEx& list = Pages().Locale().GetList();
        EXPECT_EQ(Narrow(list.GetItemText(0, 5)), "0409");
        EXPECT_EQ(Narrow(list.GetItemText(0, 6)), "1252");
        EXPECT_EQ(Narrow(list.GetItemText(0, 7)), "437");
        Click(page, IDC_LOCALE_SHOW_ALL);
        const std::vector<std::string> shown = rows();
        ASSERT_EQ(shown.size(), all);
        EXPECT_EQ(shown[0], "ENU*");
        EXPECT_EQ(shown[1], "ARA");
        // The user picks German.
        for (int i = 0; i < list.GetItemCount(); ++i)
            if (Narrow(list.GetItemText(i, 0)) == "DEU") list.SelectItem(i);
    }));
    EXPECT_EQ(Sheet().Data().locale.lcid, 0x0407u);
    EXPECT_EQ(XPath(kPrefs, "string(//LOCALE/@lcid)"), "00000407");

    // A German language library joins the first pass; the option's row is
    // selected.
    std::filesystem::create_directories(Host("Program/Locales"));
    Put("Program/Locales/DEU.res", "x");
    EXPECT_FALSE(RunOn(Pages().Locale(), false, [&](HWND) {
        EXPECT_EQ(rows(), (std::vector<std::string>{"DEU*", "ENU*"}));
        EXPECT_EQ(Pages().Locale().GetList().GetNextItem(-1, LVNI_SELECTED), 0);
    }));
}

TEST_F(OptionPages, ExtensionsPropertiesOnlyForAModuleThatHasThem) {
    std::filesystem::create_directories(Host("Program/Extensions"));
    RunOn(Pages().Extensions(), false, [&](HWND page) {
        CListCtrlEx& list = Pages().Extensions().GetList();
        ASSERT_EQ(list.GetItemCount(), 2);
        EXPECT_EQ(Narrow(list.GetItemText(0, 0)), "Sonar Feed");
        EXPECT_EQ(Narrow(list.GetItemText(0, 1)), "");  // no version resource beside it
        EXPECT_EQ(Narrow(list.GetItemText(0, 2)), "SONR");
        EXPECT_EQ(Narrow(list.GetItemText(1, 2)), "PRCL");
        EXPECT_FALSE(Enabled(page, IDC_EXTENSIONS_PROPERTIES));
        list.SelectItem(1);
        EXPECT_FALSE(Enabled(page, IDC_EXTENSIONS_PROPERTIES));
        Click(page, IDC_EXTENSIONS_PROPERTIES);
        list.SelectItem(0);
        EXPECT_TRUE(Enabled(page, IDC_EXTENSIONS_PROPERTIES));
        Click(page, IDC_EXTENSIONS_PROPERTIES);
    });
    EXPECT_EQ(extensions_.propertiesShown, std::vector<int>{0});
}

// The Grid Style and Tracklog pages as the Layer Properties sheet shows
// them: copies in when made, out on OK only.
TEST_F(OptionPages, GridStyleAndTracklogThroughTheLayerSheet) {
    PreferencesData& d = Sheet().Data();
    d.mapgrid.text.m_size = 85;
    d.tracklog.interval = 5;
    auto run = [&](win::PropertyPage& page, bool ok, const std::function<void(HWND)>& act) {
        CPropertySheetExt layer(u"Layer", nullptr);
        layer.AddPage(&page);
        win::PushModalHook([&](HWND) {
            act(page.GetSafeHwnd());
            layer.PressButton(ok ? PSBTN_OK : PSBTN_CANCEL);
        });
        return layer.DoModal() == IDOK;
    };
    {
        auto grid = Sheet().CreateGridStylePage();
        EXPECT_FALSE(run(*grid, false, [&](HWND page) {
            EXPECT_EQ(Text(page, IDC_GRID_SIZE), "8");
            EXPECT_EQ(ComboTexts(page, IDC_GRID_STYLE), (std::vector<std::string>{"Solid", "Dash"}));
            SetText(page, IDC_GRID_SIZE, u"12");
        }));
    }
    EXPECT_EQ(d.mapgrid.text.m_size, 85);
    {
        auto grid = Sheet().CreateGridStylePage();
        EXPECT_TRUE(run(*grid, true, [](HWND) {}));
    }
    EXPECT_EQ(d.mapgrid.text.m_size, 80);  // 8.5 points shown as 8, stored as 8
    {
        auto grid = Sheet().CreateGridStylePage();
        EXPECT_TRUE(run(*grid, true, [&](HWND page) {
            SetText(page, IDC_GRID_WIDTH, u"26");
            Sheet();
            HWND sheet = GetParent(page);
            SendMessage(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
            EXPECT_TRUE(win::IsDialogRunning(sheet));
            EXPECT_EQ(LastPrompt(), "Please enter an integer between 0 and 25.");
            SetText(page, IDC_GRID_WIDTH, u"2");
            Select(page, IDC_GRID_STYLE, 0);
        }));
    }
    EXPECT_EQ(d.mapgrid.line.m_pen.lopnWidth.x, 2);
    EXPECT_EQ(d.mapgrid.line.m_pen.lopnStyle, 0u);

    // Tracklog: Cancel leaves the options; OK takes the page's values.
    {
        auto tracklog = Sheet().CreateTracklogPage();
        EXPECT_FALSE(run(*tracklog, false, [&](HWND page) {
            EXPECT_EQ(Text(page, IDC_TRACKLOG_INTERVAL), "5");
            EXPECT_EQ(ComboTexts(page, IDC_TRACKLOG_MEASURE).size(), 11u);
            SetText(page, IDC_TRACKLOG_INTERVAL, u"30");
        }));
    }
    EXPECT_EQ(d.tracklog.interval, 5);
    {
        auto tracklog = Sheet().CreateTracklogPage();
        EXPECT_TRUE(run(*tracklog, true, [&](HWND page) {
            SetText(page, IDC_TRACKLOG_INTERVAL, u"-1");
            SendMessage(GetParent(page), PSM_PRESSBUTTON, PSBTN_OK, 0);
            EXPECT_EQ(LastPrompt(), "Please enter a positive integer.");
            SetText(page, IDC_TRACKLOG_INTERVAL, u"30");
            Select(page, IDC_TRACKLOG_MEASURE, 10);
        }));
    }
    EXPECT_EQ(d.tracklog.interval, 30);
    EXPECT_EQ(d.tracklog.measure, 10);
}

TEST_F(OptionPages, TracklogClearAndFileActAtOnce) {
    SetPreferences(&Sheet());  // the tracklog layer reads its file name there
    PreferencesData& d = Sheet().Data();
    d.tracklog.name = u"\\Docs\\Track.shp";
    CTracklogLayer layer;
    ASSERT_TRUE(layer.CreateFile());
    layer.CloseFile();
    Sheet().m_tracklogLayer = [&] { return &layer; };
    std::vector<std::string> dialogs;
    win::CommonDialogResponder responder;
    responder.file = [&](OPENFILENAME& ofn, bool save) {
        EXPECT_TRUE(save);
        dialogs.push_back(Narrow(ofn.title) + "|" + Narrow(ofn.defExt) + "|" + Narrow(ofn.initialDir));
        ofn.file = u"\\Docs\\Trips\\monday.txt";
        return true;
    };
    win::SetCommonDialogResponder(responder);
    std::filesystem::create_directories(Host("Docs/Trips"));
    auto tracklog = Sheet().CreateTracklogPage();
    CPropertySheetExt sheet(u"Layer", nullptr);
    sheet.AddPage(tracklog.get());
    win::PushModalHook([&](HWND) {
        HWND page = tracklog->GetSafeHwnd();
        EXPECT_EQ(Text(page, IDC_TRACKLOG_NAME), "\\Docs\\Track.shp");
        EXPECT_EQ(Text(page, IDC_TRACKLOG_COUNT), "0");
        const size_t beeps = win::BeepLog().size();
        win::QueueMessageBoxAnswers({IDNO, IDYES});
        Click(page, IDC_TRACKLOG_CLEAR);
        Click(page, IDC_TRACKLOG_CLEAR);
        auto log = win::MessageBoxLog();
        ASSERT_GE(log.size(), 2u);
        EXPECT_EQ(Narrow(log.back().text), "Are you sure you want to clear the track log file ?");
        EXPECT_EQ(log.back().type & 0xFF, MB_YESNO | MB_ICONQUESTION);
        EXPECT_EQ(win::BeepLog().size() - beeps, 2u);
        Click(page, IDC_TRACKLOG_FILE);
        EXPECT_EQ(Text(page, IDC_TRACKLOG_NAME), "\\Docs\\Trips\\monday.shp");
        sheet.PressButton(PSBTN_CANCEL);
    });
    sheet.DoModal();
    EXPECT_EQ(dialogs, std::vector<std::string>{"Tracklog File|shp|\\Docs"});
    // The file choice stays, even after Cancel.
    EXPECT_EQ(d.tracklog.name, u"\\Docs\\Trips\\monday.shp");
    EXPECT_TRUE(fs::GetFileAttributes(u"\\Docs\\Track.shp") != fs::kInvalidAttributes);
}

TEST_F(OptionPages, ProtocolAndDisplayPictures) {
    Sheet();
    for (win::PropertyPage* page : {static_cast<win::PropertyPage*>(&Pages().Protocol()),
                                    static_cast<win::PropertyPage*>(&Pages().Display())}) {
        RunOn(*page, false, [&](HWND p) {
            HWND sheet = GetParent(p);
            UpdateWindow(sheet);
            InvalidateRect(p, nullptr, TRUE);
            UpdateWindow(p);
            for (HWND child = GetWindow(p, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                InvalidateRect(child, nullptr, TRUE);
                UpdateWindow(child);
            }
            golden::Expect(page == &Pages().Protocol() ? "options_protocol_page" : "options_display_page", sheet);
        });
    }
}

}  // namespace
