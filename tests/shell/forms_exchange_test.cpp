// Values between a form's controls and a record of a real table: what the
// user typed lands in the right field, and nothing the user did not change
// is written. dbfdump and ogrinfo read the tables afterwards.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "formats/dbf/dbf_table.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "shell/forms/form_sheet.h"
#include "tests/shell/forms_fixture.h"

namespace {

struct Field {
    const char* name;
    char type;
    int length;
    int decimals;
};

class FormExchange : public FormsTest {
protected:
    void TearDown() override {
        win::SetMessageBoxResponder(nullptr);
        forms_.reset();
        FormsTest::TearDown();
    }
    // A one-record table made by our engine (dbfcreate makes no F, L or D
    // fields). Values are field texts; "" leaves a field blank.
    void MakeRecordTable(const std::vector<Field>& fields, const std::vector<std::string>& values) {
        CDbfTable t;
        ASSERT_TRUE(t.Create(u"\\Docs\\r.dbf", kDbfReadWrite));
        for (const Field& f : fields)
            ASSERT_GE(DbfAddField(t.Table(), text::FromUtf8(f.name).c_str(), f.type, f.length,
                                  f.decimals),
                      0);
        const DbfHandle h = t.Table();
        ASSERT_TRUE(DbfSeek(h, kDbfAppend) || true);
        std::vector<uint8_t> rec(static_cast<size_t>(DbfGetRecordLength(h)), ' ');
        for (size_t i = 0; i < fields.size(); ++i) {
            const WString v = text::FromUtf8(values[i]);
            const int f = static_cast<int>(i);
            if (v.empty())
                DbfBlankField(h, f, rec.data());
            else if (fields[i].type == 'N' || fields[i].type == 'F')
                DbfPutNumber(h, f, text::ParseDouble(WStringView(v)), rec.data());
            else if (fields[i].type == 'L')
                DbfPutLogical(h, f, v[0], rec.data());
            else
                DbfPutText(h, f, v.c_str(), rec.data());
        }
        ASSERT_TRUE(DbfWriteRecord(h, kDbfAppend, rec.data()));
        t.Close();
    }
    // Shows the page bound to record 0; `user` acts, then OK is tapped
    // (unless the user closed the sheet). The record is written back as the
    // feature sheet does when the sheet closes with OK.
    int Show(const std::string& controls, const std::function<void(HWND page)>& user,
             bool editable = true, int mode = 0) {
        CXmlDocument& doc = LoadXml("Docs/f.xml", "<X><FORMS><EDITFORM><PAGE>" + controls +
                                                      "</PAGE></EDITFORM></FORMS></X>");
        forms_ = std::make_unique<CForms>(&scripting_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        CDbfTable table;
        EXPECT_TRUE(table.Open(u"\\Docs\\r.dbf", kDbfReadWrite));
        EXPECT_TRUE(DbfReadRecord(table.Table(), 0));
        const uint8_t* r = DbfGetRecordBuffer(table.Table());
        std::vector<uint8_t> record(r, r + DbfGetRecordLength(table.Table()));
        before_ = record;
        FormRecordSource source{&table, record.data(), nullptr};
        CFormPropertySheet sheet(forms_->GetEditForm(), &source, editable, mode, 0);
        win::PushModalHook([&](HWND s) {
            Pump();
            SendMessage(s, PSM_INDEXTOHWND, 0, 0);
            page_ = reinterpret_cast<HWND>(GetWindowLongPtr(s, DWLP_MSGRESULT));
            user(page_);
            Pump();
            if (IsWindow(s) && win::IsDialogRunning(s)) {
                SendMessage(s, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(s, IDOK)));
                Pump();
            }
            if (IsWindow(s) && win::IsDialogRunning(s)) {
                stayedOpen_ = true;
                SendMessage(s, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(s, IDCANCEL)));
            }
        });
        stayedOpen_ = false;
        const intptr_t result = sheet.DoModal();
        after_ = record;
        if (result == IDOK && record != before_) {
            EXPECT_TRUE(DbfWriteRecord(table.Table(), 0, record.data()));
        }
        table.Close();
        return static_cast<int>(result);
    }
    HWND Item(int index) const { return GetDlgItem(page_, 4000 + index); }
    // The values of the one record as dbfdump prints them (raw for the
    // logical and date fields it does not decode), "(NULL)" for a blank.
    std::vector<std::string> Dumped() const {
        const auto decoded = FieldLines(RunCommand("dbfdump -m '" + Host("Docs/r.dbf") + "'"));
        const auto raw = FieldLines(RunCommand("dbfdump -m -r '" + Host("Docs/r.dbf") + "'"));
        std::vector<std::string> values;
        for (size_t i = 0; i < decoded.size(); ++i) {
            std::string v = decoded[i].second;
            if (v.empty() && i < raw.size()) v = raw[i].second;
            values.push_back(v.empty() ? "(NULL)" : v);
        }
        return values;
    }
    // The same fields as ogrinfo reads them (it leaves out empty ones), in
    // dbfdump's spelling.
    std::vector<std::string> OgrValues() const {
        std::istringstream in(Ogr());
        std::map<std::string, std::string> byName;
        for (std::string line; std::getline(in, line);) {
            std::string v = line.substr(line.find(") = ") + 4);
            if (v == "(null)") v = "(NULL)";
            if (v.size() == 10 && v[4] == '/' && v[7] == '/')
                v = v.substr(0, 4) + v.substr(5, 2) + v.substr(8, 2);
            byName[line.substr(0, line.find(' '))] = v;
        }
        std::vector<std::string> values;
        for (const auto& [name, v] :
             FieldLines(RunCommand("dbfdump -m '" + Host("Docs/r.dbf") + "'"))) {
            auto it = byName.find(name);
            values.push_back(it == byName.end() ? "(NULL)" : it->second);
        }
        return values;
    }
    static std::vector<std::pair<std::string, std::string>> FieldLines(const std::string& dump) {
        std::istringstream in(dump);
        std::vector<std::pair<std::string, std::string>> fields;
        for (std::string line; std::getline(in, line);) {
            const size_t colon = line.find(": ");
            if (colon == std::string::npos || line.rfind("Record", 0) == 0) continue;
            std::string v = line.substr(colon + 2);
            v.erase(0, v.find_first_not_of(' '));
            v.erase(v.find_last_not_of(' ') + 1);
            fields.emplace_back(line.substr(0, colon), v);
        }
        return fields;
    }
    std::string Ogr() const { return OgrFields("Docs/r.dbf"); }

    std::unique_ptr<CForms> forms_;
    HWND page_ = nullptr;
    bool stayedOpen_ = false;
    std::vector<uint8_t> before_;
    std::vector<uint8_t> after_;
};

TEST_F(FormExchange, RadioButtonsOnTextAndNumberFields) {
    const std::vector<Field> fields = {{"KIND", 'C', 4, 0}, {"LEVEL", 'N', 3, 0}};
    const std::string radios =
        "<RADIOBUTTON field=\"KIND\" value=\"A\" group=\"true\"/>"
        "<RADIOBUTTON field=\"KIND\" value=\"B\"/>"
        "<RADIOBUTTON field=\"LEVEL\" value=\"2\" group=\"true\"/>"
        "<RADIOBUTTON field=\"LEVEL\" value=\"3\"/>";
    struct Case {
        const char* name;
        std::function<void()> user;
        std::vector<std::string> values;
    };
    const std::vector<Case> cases = {
        {"loaded and kept", [] {}, {"B", "2"}},
        {"the user picks A and 3",
         [&] {
             SendMessage(Item(0), BM_SETCHECK, BST_CHECKED, 0);
             SendMessage(Item(1), BM_SETCHECK, BST_UNCHECKED, 0);
             SendMessage(Item(2), BM_SETCHECK, BST_UNCHECKED, 0);
             SendMessage(Item(3), BM_SETCHECK, BST_CHECKED, 0);
         },
         {"A", "3"}},
        {"none checked keeps the old values",
         [&] {
             for (int i = 0; i < 4; ++i) SendMessage(Item(i), BM_SETCHECK, BST_UNCHECKED, 0);
         },
         {"B", "2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeRecordTable(fields, {"B", "2"});
        std::vector<int> checks;
        EXPECT_EQ(Show(radios,
                       [&](HWND) {
                           for (int i = 0; i < 4; ++i)
                               checks.push_back(
                                   static_cast<int>(SendMessage(Item(i), BM_GETCHECK, 0, 0)));
                           c.user();
                       }),
                  IDOK);
        EXPECT_EQ(checks, (std::vector<int>{0, 1, 1, 0}));
        EXPECT_EQ(Dumped(), c.values);
        EXPECT_EQ(Ogr(),
                  "KIND (String) = " + c.values[0] + "\nLEVEL (Integer) = " + c.values[1] + "\n");
    }
}

}  // namespace

namespace {

struct Case {
    const char* name;
    std::vector<Field> fields;
    std::vector<std::string> initial;
    std::string controls;
    std::function<void()> user;
    std::vector<std::string> dumped;      // after the sheet closed
    std::vector<std::string> boxes = {};  // message box texts, in order
    bool stays = false;                   // OK was refused
    bool editable = true;
    bool untouched = false;  // the record's bytes are those it was loaded with
};

}  // namespace

TEST_F(FormExchange, ValuesAndChecks) {
    const std::string items =
        "<LISTITEM value=\"A\">Ash</LISTITEM><LISTITEM value=\"B\" text=\"Birch\"/>";
    const std::vector<Case> cases = {
        {"check box on a logical field",
         {{"DONE", 'L', 1, 0}},
         {"F"},
         "<CHECKBOX field=\"DONE\"/>",
         [this] { SendMessage(Item(0), BM_SETCHECK, BST_CHECKED, 0); },
         {"T"}},
        {"a blank logical left unchecked stays blank",
         {{"DONE", 'L', 1, 0}},
         {""},
         "<CHECKBOX field=\"DONE\"/>",
         [] {},
         {"(NULL)"},
         {},
         false,
         true,
         true},
        {"a slider left alone keeps a blank number",
         {{"LVL", 'N', 3, 0}},
         {""},
         "<SLIDER field=\"LVL\" lower=\"2\"/>",
         [] {},
         {"(NULL)"},
         {},
         false,
         true,
         true},
        {"an empty date stays empty",
         {{"WHEN", 'D', 8, 0}},
         {""},
         "<DATETIME field=\"WHEN\"/>",
         [] {},
         {"(NULL)"}},
        {"a picked date",
         {{"WHEN", 'D', 8, 0}},
         {""},
         "<DATETIME field=\"WHEN\"/>",
         [this] {
             win::DateTimeUserPick(Item(0), SYSTEMTIME{2024, 3, 2, 5, 0, 0, 0, 0});
         },
         {"20240305"}},
        {"slider on a text field with its buddy",
         {{"PCT", 'C', 3, 0}},
         {"40"},
         "<EDIT name=\"b\"/><SLIDER field=\"PCT\" buddy=\"b\"/>",
         [this] {
             EXPECT_EQ(GetWindowTextString(Item(0)), u"40");
             win::TrackBarUserDrag(Item(1), {50, 60});
             EXPECT_EQ(GetWindowTextString(Item(0)), u"60");
         },
         {"60"}},
        {"slider on a number field",
         {{"LVL", 'N', 3, 0}},
         {"7"},
         "<SLIDER field=\"LVL\"/>",
         [this] {
             EXPECT_EQ(SendMessage(Item(0), TBM_GETPOS, 0, 0), 7);
             win::TrackBarUserDrag(Item(0), {9});
         },
         {"9"}},
        {"a stored value not in the list is kept",
         {{"SP", 'C', 6, 0}},
         {"Zed"},
         "<COMBOBOX field=\"SP\">" + items + "</COMBOBOX>",
         [this] { EXPECT_EQ(SendMessage(Item(0), CB_GETCURSEL, 0, 0), -1); },
         {"Zed"}},
        {"a chosen list text stores its value",
         {{"SP", 'C', 6, 0}},
         {"A"},
         "<COMBOBOX field=\"SP\">" + items + "</COMBOBOX>",
         [this] {
             EXPECT_EQ(GetWindowTextString(Item(0)), u"Ash");
             SendMessage(Item(0), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                         reinterpret_cast<LPARAM>(u"Birch"));
         },
         {"B"}},
        {"list values match whole and with case",
         {{"SP", 'C', 6, 0}},
         {"a"},
         "<LISTBOX field=\"SP\">" + items + "</LISTBOX>",
         [this] { EXPECT_EQ(SendMessage(Item(0), LB_GETCURSEL, 0, 0), -1); },
         {"a"}},
        {"a blank number stays blank",
         {{"N", 'N', 5, 0}},
         {""},
         "<EDIT field=\"N\"/>",
         [this] { EXPECT_EQ(GetWindowTextString(Item(0)), u""); },
         {"(NULL)"}},
        {"a number the field cannot hold is refused",
         {{"N", 'N', 4, 0}},
         {"7"},
         "<EDIT field=\"N\"/>",
         [this] { SetWindowText(Item(0), u"12345"); },
         {"7"},
         {"Please enter a number between -999 and 9999."},
         true},
        {"a text that is not a number is refused",
         {{"N", 'N', 4, 0}},
         {"7"},
         "<EDIT field=\"N\"/>",
         [this] { SetWindowText(Item(0), u"7x"); },
         {"7"},
         {"Please enter a number."},
         true},
        {"an emptied number blanks the field",
         {{"N", 'N', 4, 0}},
         {"7"},
         "<EDIT field=\"N\"/>",
         [this] { SetWindowText(Item(0), u" "); },
         {"(NULL)"}},
        {"F fields work like N fields",
         {{"F", 'F', 8, 2}},
         {"1.5"},
         "<EDIT field=\"F\"/>",
         [this] {
             EXPECT_EQ(GetWindowTextString(Item(0)), u"1.5");
             SetWindowText(Item(0), u"2.25");
         },
         {"2.25"}},
        {"a required check box can be saved",
         {{"DONE", 'L', 1, 0}},
         {"F"},
         "<CHECKBOX field=\"DONE\" required=\"true\"/>",
         [] {},
         {"F"}},
        {"a required text of blanks is refused",
         {{"NAME", 'C', 8, 0}},
         {""},
         "<EDIT field=\"NAME\" required=\"true\"/>",
         [this] { SetWindowText(Item(0), u"   "); },
         {"(NULL)"},
         {"A value must be supplied for the field 'NAME'."},
         true},
        {"OnValidate False without a type refuses silently",
         {{"NAME", 'C', 8, 0}},
         {"Oak"},
         "<EDIT name=\"e\" field=\"NAME\" OnValidate=\"v\"/>",
         [this] {
             scripting_.results["EditForm__e.OnValidate"] = false;
             SetWindowText(Item(0), u"Elm");
         },
         {"Oak"},
         {},
         true},
        // Leaving the page and applying it both check the value.
        {"OnValidate False asking Yes or No, answered Yes",
         {{"NAME", 'C', 8, 0}},
         {"Oak"},
         "<EDIT name=\"e\" field=\"NAME\" OnValidate=\"v\"/>",
         [this] {
             scripting_.results["EditForm__e.OnValidate"] = false;
             scripting_.messages["EditForm__e.OnValidate"] = {MB_YESNO, "Sure?"};
             SetWindowText(Item(0), u"Elm");
         },
         {"Elm"},
         {"Sure?", "Sure?"}},
        {"a form that is not editable checks nothing",
         {{"NAME", 'C', 8, 0}},
         {""},
         "<EDIT field=\"NAME\" required=\"true\" OnValidate=\"v\" name=\"e\"/>",
         [this] { scripting_.results["EditForm__e.OnValidate"] = false; },
         {"(NULL)"},
         {},
         false,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        scripting_.results.clear();
        scripting_.messages.clear();
        scripting_.log.clear();
        std::vector<std::string> boxes;
        win::SetMessageBoxResponder([&](const win::MessageBoxRecord& r) {
            boxes.push_back(Narrow(r.text));
            return win::MessageBoxDefaultAnswer(r.type);
        });
        MakeRecordTable(c.fields, c.initial);
        const int result = Show(
            c.controls, [&](HWND) { c.user(); }, c.editable);
        EXPECT_EQ(stayedOpen_, c.stays);
        EXPECT_EQ(result, c.stays ? IDCANCEL : IDOK);
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(Dumped(), c.dumped);
        EXPECT_EQ(OgrValues(), c.dumped);
        if (c.stays || c.untouched) {
            EXPECT_EQ(after_, before_);
        }
        ::unlink(Host("Docs/r.dbf").c_str());
    }
}

TEST_F(FormExchange, IdentifyModeLoadsButNeverSaves) {
    MakeRecordTable({{"NAME", 'C', 8, 0}, {"DONE", 'L', 1, 0}}, {"Oak", "T"});
    const std::string controls = "<EDIT field=\"NAME\"/><CHECKBOX field=\"DONE\"/>";
    EXPECT_EQ(Show(
                  controls,
                  [&](HWND) {
                      EXPECT_EQ(GetWindowTextString(Item(0)), u"Oak");
                      EXPECT_TRUE(GetWindowLong(Item(0), GWL_STYLE) & ES_READONLY);
                      EXPECT_EQ(SendMessage(Item(1), BM_GETCHECK, 0, 0), BST_CHECKED);
                      EXPECT_FALSE(IsWindowEnabled(Item(1)));
                      SetWindowText(Item(0), u"Elm");
                      SendMessage(Item(1), BM_SETCHECK, BST_UNCHECKED, 0);
                  },
                  false, 1),
              IDOK);
    EXPECT_EQ(after_, before_);
    EXPECT_EQ(Dumped(), (std::vector<std::string>{"Oak", "T"}));
    EXPECT_EQ(OgrValues(), (std::vector<std::string>{"Oak", "T"}));
}

TEST_F(FormExchange, FieldsTheControlsCannotWriteAreShownReadOnly) {
    MakeRecordTable({{"NAME", 'C', 8, 0}, {"CNT", 'I', 4, 0}}, {"Oak", ""});
    bool readOnly = false;
    EXPECT_EQ(Show("<EDIT field=\"CNT\"/><EDIT field=\"NAME\" y=\"20\"/>",
                   [&](HWND) {
                       readOnly = (GetWindowLong(Item(0), GWL_STYLE) & ES_READONLY) != 0;
                       SetWindowText(Item(0), u"5");
                   }),
              IDOK);
    EXPECT_TRUE(readOnly);
    EXPECT_EQ(after_, before_);
}
