// What the controls of a form page raise: the notification table, the soft
// input panel and double taps.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/language_module.h"
#include "formats/dbf/dbf_table.h"
#include "platform/sys/device.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/extra_controls.h"
#include "platform/win/input.h"
#include "platform/win/list_actions.h"
#include "platform/win/propsheet.h"
#include "shell/forms/form_sheet.h"
#include "tests/shell/forms_fixture.h"

namespace {

std::vector<int>* g_sip = nullptr;
BOOL RecordSip(HWND, int request) {
    if (g_sip) g_sip->push_back(request);
    return 1;
}

TEST(FormNotifications, Table) {
    struct Case {
        FormControlType type;
        UINT code;
        bool notify;
        int event;
        int sip;  // 1 raise, -1 lower
    };
    const Case cases[] = {
        {kCtlEdit, EN_SETFOCUS, false, 9, 1},
        {kCtlEdit, EN_KILLFOCUS, false, 10, -1},
        {kCtlEdit, EN_CHANGE, false, 11, 0},
        {kCtlComboBox, CBN_SELCHANGE, false, 21, -1},
        {kCtlComboBox, CBN_SETFOCUS, false, 9, 1},
        {kCtlComboBox, CBN_KILLFOCUS, false, 10, -1},
        {kCtlComboBox, CBN_EDITCHANGE, false, 11, -1},
        {kCtlComboBox, CBN_DROPDOWN, false, 12, 0},
        {kCtlComboBox, CBN_CLOSEUP, false, 28, 0},
        {kCtlComboBox, CBN_SELENDOK, false, 23, -1},
        {kCtlComboBox, CBN_SELENDCANCEL, false, 22, -1},
        {kCtlComboBox, CBN_DBLCLK, false, 0, 0},
        {kCtlListBox, LBN_SELCHANGE, false, 21, -1},
        {kCtlListBox, LBN_SELCANCEL, false, 22, -1},
        {kCtlListBox, LBN_SETFOCUS, false, 9, 1},
        {kCtlListBox, LBN_KILLFOCUS, false, 10, -1},
        {kCtlListBox, LBN_DBLCLK, false, 8, 0},
        {kCtlButton, BN_CLICKED, false, 7, 0},
        {kCtlButton, BN_DBLCLK, false, 8, 0},
        {kCtlButton, BN_SETFOCUS, false, 9, 0},
        {kCtlButton, BN_KILLFOCUS, false, 10, 0},
        {kCtlCheckBox, BN_CLICKED, false, 7, 0},
        {kCtlCheckBox, BN_DBLCLK, false, 8, 0},
        {kCtlRadioButton, BN_CLICKED, false, 7, 0},
        {kCtlRadioButton, BN_DBLCLK, false, 8, 0},
        {kCtlRadioButton, BN_KILLFOCUS, false, 10, 0},
        {kCtlLabel, STN_DBLCLK, false, 8, 0},
        {kCtlLabel, STN_CLICKED, false, 0, 0},
        {kCtlButton, NM_SETFOCUS, true, 9, 0},
        {kCtlSlider, NM_KILLFOCUS, true, 10, 0},
        {kCtlDateTime, DTN_DATETIMECHANGE, true, 11, -1},
        {kCtlDateTime, DTN_DROPDOWN, true, 12, 0},
        {kCtlDateTime, DTN_CLOSEUP, true, 28, 0},
        {kCtlDateTime, NM_SETFOCUS, true, 9, 1},
        {kCtlDateTime, NM_KILLFOCUS, true, 10, -1},
        {kCtlEdit, DTN_DATETIMECHANGE, true, 0, 0},
        {kCtlImageBox, STN_CLICKED, false, 0, 0},
    };
    for (const Case& c : cases) {
        const FormNotification n = MapFormNotification(c.type, c.code, c.notify);
        EXPECT_EQ(n.event, c.event) << c.type << " " << c.code;
        EXPECT_EQ(n.sip, c.sip) << c.type << " " << c.code;
    }
}

class FormPageControls : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference",
                                       reinterpret_cast<void*>(&RecordSip));
        g_sip = &sip_;
    }
    void TearDown() override {
        g_sip = nullptr;
        sys::test::SetOptionalFunction("aygshell.dll", "SHSipPreference", nullptr);
        forms_.reset();
        FormsTest::TearDown();
    }
    // A script form of one page; `user` gets the page window.
    void Show(const std::string& controls, const std::function<void(HWND page)>& user,
              bool editable = true) {
        CXmlDocument& doc = LoadXml("Docs/f.xml", "<X><FORMS><FORM name=\"F\"><PAGE name=\"P\">" +
                                                      controls + "</PAGE></FORM></FORMS></X>");
        forms_ = std::make_unique<CForms>(&scripting_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        CFormPropertySheet sheet(forms_->GetAt(0), nullptr, editable, 0, 0);
        win::PushModalHook([&](HWND s) {
            SendMessage(s, PSM_INDEXTOHWND, 0, 0);
            HWND page = reinterpret_cast<HWND>(GetWindowLongPtr(s, DWLP_MSGRESULT));
            scripting_.log.clear();
            sip_.clear();
            user(page);
            SendMessage(s, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(s, IDCANCEL)));
        });
        sheet.DoModal();
    }
    std::vector<std::string> ControlEvents() const {
        std::vector<std::string> out;
        for (const auto& e : scripting_.log)
            if (e.rfind("F_P_", 0) == 0) out.push_back(e);
        return out;
    }
    std::unique_ptr<CForms> forms_;
    std::vector<int> sip_;
};

TEST_F(FormPageControls, TheSoftInputPanelRisesOnlyForEditableFormsByMode) {
    const std::string edits =
        "<EDIT name=\"a\" OnSetFocus=\"x\"/><EDIT name=\"b\" sip=\"false\" OnSetFocus=\"x\"/>"
        "<EDIT name=\"c\" sip=\"True\" OnSetFocus=\"x\"/>";
    for (bool editable : {true, false}) {
        SCOPED_TRACE(editable);
        std::vector<std::vector<int>> requests;
        Show(
            edits,
            [&](HWND page) {
                for (int i = 0; i < 3; ++i) {
                    sip_.clear();
                    SendMessage(page, WM_COMMAND, MAKEWPARAM(4000 + i, EN_SETFOCUS),
                                reinterpret_cast<LPARAM>(GetDlgItem(page, 4000 + i)));
                    SendMessage(page, WM_COMMAND, MAKEWPARAM(4000 + i, EN_KILLFOCUS),
                                reinterpret_cast<LPARAM>(GetDlgItem(page, 4000 + i)));
                    requests.push_back(sip_);
                }
            },
            editable);
        // Raise (0) by the form's setting, never, always; lowering (1) always.
        if (editable)
            EXPECT_EQ(requests, (std::vector<std::vector<int>>{{0, 1}, {1}, {0, 1}}));
        else
            EXPECT_EQ(requests, (std::vector<std::vector<int>>{{1}, {1}, {1}}));
    }
}

TEST_F(FormPageControls, DoubleTapsAndClicksReachTheHandlers) {
    std::vector<std::string> events;
    Show(
        "<BUTTON name=\"b\" OnClick=\"x\" OnDblClick=\"x\" width=\"40\" height=\"14\"/>"
        "<CHECKBOX name=\"c\" OnClick=\"x\" OnDblClick=\"x\" y=\"20\" width=\"40\" height=\"14\"/>"
        "<LABEL name=\"l\" caption=\"tap\" style=\"256\" OnDblClick=\"x\" y=\"40\" width=\"40\"/>"
        "<LISTBOX name=\"x\" OnDblClick=\"x\" y=\"60\" height=\"30\"><LISTITEM "
        "value=\"1\"/></LISTBOX>",
        [&](HWND page) {
            // The pen's messages as the controls get them: down, up, then
            // the second tap as a double tap.
            for (int i = 0; i < 4; ++i) {
                HWND control = GetDlgItem(page, 4000 + i);
                const LPARAM at = MAKELPARAM(4, 4);
                SendMessage(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
                SendMessage(control, WM_LBUTTONUP, 0, at);
                SendMessage(control, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                SendMessage(control, WM_LBUTTONUP, 0, at);
                Pump();
            }
            events = ControlEvents();
        });
    // The second tap still presses a button or check box; focus moves on.
    EXPECT_EQ(events, (std::vector<std::string>{
                          "F_P_b.OnClick", "F_P_b.OnDblClick", "F_P_b.OnClick", "F_P_b.OnKillFocus",
                          "F_P_c.OnSetFocus", "F_P_c.OnClick", "F_P_c.OnDblClick", "F_P_c.OnClick",
                          "F_P_l.OnDblClick", "F_P_c.OnKillFocus", "F_P_x.OnSetFocus",
                          "F_P_x.OnSelChange", "F_P_x.OnDblClick"}));
}

TEST_F(FormPageControls, CapitalisingEditsNeedTheShellsExtraControls) {
    BOOL(*init)
    () = [] {
        win::RegisterExtraControls();
        return BOOL{1};
    };
    const std::string edits = "<EDIT capitalize=\"first\"/><EDIT capitalize=\"all\"/>";
    auto typeInto = [&](std::vector<WString>& texts) {
        Show(edits, [&](HWND page) {
            for (int i = 0; i < 2; ++i) {
                HWND edit = GetDlgItem(page, 4000 + i);
                for (WChar c : WString(u"oak tree")) SendMessage(edit, WM_CHAR, c, 0);
                texts.push_back(GetWindowTextString(edit));
            }
        });
    };
    std::vector<WString> with, without;
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls",
                                   reinterpret_cast<void*>(init));
    typeInto(with);
    sys::test::SetOptionalFunction("aygshell.dll", "SHInitExtraControls", nullptr);
    typeInto(without);
    EXPECT_EQ(with, (std::vector<WString>{u"Oak tree", u"Oak Tree"}));
    EXPECT_EQ(without, (std::vector<WString>{u"oak tree", u"oak tree"}));
}

TEST_F(FormPageControls, ListItemsFromATableAndTheirOwnElements) {
    // The table as shapelib writes it, one record then deleted.
    MakeTable("Docs/species.dbf", {{"-s", "CODE", "4"}, {"-s", "NAME", "8"}},
              {{" A", " Ash "}, {"B", "Birch"}, {"C", "Cedar"}});
    {
        CDbfTable t;
        ASSERT_TRUE(t.Open(u"\\Docs\\species.dbf", kDbfReadWrite));
        ASSERT_TRUE(DbfDeleteRecord(t.Table(), 1));
    }
    const std::string items =
        " listtable=\"species.dbf\" listvaluefield=\"CODE\" listtextfield=\"NAME\" sort=\"false\">"
        "<LISTITEM value=\" ZZ \"> Zelkova </LISTITEM><LISTITEM value=\"Q\" text=\"Oak\"/>";
    std::vector<std::vector<WString>> shown;
    std::vector<int> tabStops;
    Show("<COMBOBOX" + items + "</COMBOBOX><COMBOBOX limittolist=\"false\"" + items +
             "</COMBOBOX><LISTBOX showvalues=\"true\"" + items + "</LISTBOX>",
         [&](HWND page) {
             for (int i = 0; i < 3; ++i) {
                 HWND list = GetDlgItem(page, 4000 + i);
                 const bool combo = i < 2;
                 std::vector<WString> entries;
                 const int count =
                     static_cast<int>(SendMessage(list, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
                 for (int e = 0; e < count; ++e) {
                     WChar buffer[64] = {};
                     SendMessage(list, combo ? CB_GETLBTEXT : LB_GETTEXT, static_cast<WPARAM>(e),
                                 reinterpret_cast<LPARAM>(buffer));
                     entries.emplace_back(buffer);
                 }
                 shown.push_back(entries);
             }
             tabStops = win::ListBoxTabStops(GetDlgItem(page, 4002));
         });
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0], (std::vector<WString>{u"Ash", u"Cedar", u"Zelkova", u"Oak"}));
    EXPECT_EQ(shown[1], (std::vector<WString>{u"A", u"C", u"ZZ", u"Q"}));
    EXPECT_EQ(shown[2], (std::vector<WString>{u"A\tAsh", u"C\tCedar", u"ZZ\tZelkova", u"Q\tOak"}));
    // One stop after the longest value (2 characters) in quarters of the base width.
    const int baseX = LOWORD(GetDialogBaseUnits());
    EXPECT_EQ(tabStops, (std::vector<int>{2 * baseX / 4}));
}

// The language library translates the program's dialogs by control id;
// an author's captions on ids 4000 and up are the author's own.
TEST_F(FormPageControls, TheLanguageLibraryLeavesAuthorsCaptionsAlone) {
    std::filesystem::create_directories(Host("Program/Locales"));
    std::filesystem::copy_file(ZN_FORMS_LANG_RES, Host("Program/Locales/DEU.res"));
    ResetLanguageModuleForTests();
    ASSERT_TRUE(GetLanguageModule()->LoadForLocale(0x0407));
    ASSERT_EQ(GetLanguageModule()->LoadString(4000, false), u"Übersetzt");
    std::vector<WString> texts;
    Show("<LABEL caption=\"Name\"/><BUTTON caption=\"Go\" y=\"20\"/>", [&](HWND page) {
        texts.push_back(GetWindowTextString(GetDlgItem(page, 4000)));
        texts.push_back(GetWindowTextString(GetDlgItem(page, 4001)));
    });
    ResetLanguageModuleForTests();
    EXPECT_EQ(texts, (std::vector<WString>{u"Name", u"Go"}));
}

}  // namespace
