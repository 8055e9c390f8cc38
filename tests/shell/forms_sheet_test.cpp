// Form sheets on the null backend: the order of the events that authors'
// scripts see, and what reaches the record being edited.
#include <gtest/gtest.h>

#include "formats/dbf/dbf_table.h"
#include "platform/sys/device.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "shell/forms/form_sheet.h"
#include "tests/shell/forms_fixture.h"

namespace {

const char kEvents[] =
    " OnLoad=\"x\" OnUnload=\"x\" OnSetActive=\"x\" OnKillActive=\"x\" OnOK=\"x\" OnCancel=\"x\"";

// Two pages: a name on the first, a required code on the second.
std::string TwoPageForm() {
    return std::string("<FORMS><FORM name=\"F\"") + kEvents + "><PAGE name=\"P1\"" + kEvents +
           "><EDIT name=\"E1\" field=\"NAME\" defaultvalue=\"Def\" OnValidate=\"v\"/></PAGE>"
           "<PAGE name=\"P2\"" +
           kEvents + "><EDIT name=\"E2\" field=\"CODE\" required=\"true\"/></PAGE></FORM></FORMS>";
}

HWND PageWindow(HWND sheet, int index) {
    SendMessage(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}

// The user taps the sheet's OK or Cancel button.
void Tap(HWND sheet, int id) {
    SendMessage(sheet, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                reinterpret_cast<LPARAM>(GetDlgItem(sheet, id)));
    Pump();
}

void TapTab(HWND sheet, int index) {
    SendMessage(sheet, PSM_GETTABCONTROL, 0, 0);
    win::TabUserSelect(reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT)), index);
    Pump();
}

void Type(HWND sheet, int page, int id, const WChar* text) {
    SetWindowText(GetDlgItem(PageWindow(sheet, page), id), text);
}

class FormSheets : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        win::SetMessageBoxResponder([this](const win::MessageBoxRecord& r) {
            scripting_.log.push_back("box " + Narrow(r.text));
            return win::MessageBoxDefaultAnswer(r.type);
        });
        CXmlDocument& doc = LoadXml("Docs/f.xml", "<X>" + TwoPageForm() + "</X>");
        forms_ = std::make_unique<CForms>(&scripting_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        form_ = forms_->GetAt(0);
        scripting_.log.clear();
        scripting_.logHostCalls = false;
    }
    void TearDown() override {
        win::SetMessageBoxResponder(nullptr);
        forms_.reset();
        table_.Close();
        FormsTest::TearDown();
    }
    // A record of a real table as the feature sheet binds it.
    void BindRecord() {
        MakeTable("Docs/t.dbf", {{"-s", "NAME", "10"}, {"-s", "CODE", "4"}}, {{"Oak", "A1"}});
        ASSERT_TRUE(table_.Open(u"\\Docs\\t.dbf", kDbfReadWrite));
        ASSERT_TRUE(DbfReadRecord(table_.Table(), 0));
        const uint8_t* r = DbfGetRecordBuffer(table_.Table());
        record_.assign(r, r + DbfGetRecordLength(table_.Table()));
        source_ = FormRecordSource{&table_, record_.data(), nullptr};
        shown_ = record_;
        // Every change of the record shows in the log before the next event.
        scripting_.beforeEvent = [this] { LogWrites(); };
    }
    void LogWrites() {
        if (record_ == shown_) return;
        for (int f = 0; f < table_.GetFieldCount(); ++f) {
            const WString now = table_.GetFieldString(f, record_.data());
            if (now != table_.GetFieldString(f, shown_.data()))
                scripting_.log.push_back("write " + Narrow(table_.GetFieldName(f)) + "=" +
                                         Narrow(now));
        }
        shown_ = record_;
    }
    std::vector<std::string> TakeFlow() {
        LogWrites();
        std::vector<std::string> out;
        // Focus and change events of the controls are the notification
        // table's; the flows show the form's, the pages' and validation.
        for (const auto& e : scripting_.log)
            if (e.find("_E") != std::string::npos && e.find(".OnValidate") == std::string::npos)
                continue;
            else if (e.find(".On") != std::string::npos || e.rfind("write ", 0) == 0 ||
                     e.rfind("box ", 0) == 0 || e.rfind("eval ", 0) == 0 || e.rfind("** ", 0) == 0)
                out.push_back(e);
        scripting_.log.clear();
        return out;
    }
    void Mark(const std::string& step) { scripting_.log.push_back("** " + step); }

    std::unique_ptr<CForms> forms_;
    CForm* form_ = nullptr;
    CDbfTable table_;
    std::vector<uint8_t> record_;
    std::vector<uint8_t> shown_;
    FormRecordSource source_;
};

using Flow = std::vector<std::string>;

struct Row {
    const char* name;
    std::function<void(HWND)> user;
    bool ok;  // the sheet closed with OK
    Flow flow;
};

Flow Join(std::initializer_list<Flow> parts) {
    Flow all;
    for (const Flow& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Where the platform activates the sheet: when the first page's controls
// take the focus, between the two pages' creation.
const Flow kOpened = {"F_P1.OnLoad", "F.OnSetActive", "F_P2.OnLoad", "F_P1.OnSetActive",
                      "F.OnLoad"};
// The sheet is destroyed before its pages.
const Flow kClosed = {"F.OnUnload", "F_P1.OnUnload", "F_P2.OnUnload"};
const Flow kCancelled = {"F.OnCancel", "F_P1.OnCancel", "F_P2.OnCancel"};

int ActivePage(HWND sheet) {
    SendMessage(sheet, PSM_GETCURRENTPAGEHWND, 0, 0);
    const auto page = static_cast<WPARAM>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
    SendMessage(sheet, PSM_HWNDTOINDEX, page, 0);
    return static_cast<int>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}

TEST_F(FormSheets, EventOrderOfAFormOpenedByAScript) {
    const Flow open = Join({{"eval Def"}, kOpened});
    HWND focusAfterRefusal = nullptr;
    int pageAfterRefusal = -1;
    HWND code = nullptr;
    const std::vector<Row> rows = {
        {"tab then OK",
         [&](HWND s) {
             Mark("tab");
             TapTab(s, 1);
             Type(s, 1, 4000, u"B2");
             Mark("ok");
             Tap(s, IDOK);
         },
         true,
         Join({open,
               {"** tab", "F_P1_E1.OnValidate", "F_P1.OnKillActive", "F_P2.OnSetActive", "** ok",
                "F.OnOK", "F_P2_E2.OnValidate", "F_P2.OnKillActive", "F_P1_E1.OnValidate",
                "F_P1.OnOK", "F_P2_E2.OnValidate", "F_P2.OnOK"},
               kClosed})},
        {"OK answered False by the form, then Cancel",
         [&](HWND s) {
             scripting_.results["F.OnOK"] = false;
             Mark("ok");
             Tap(s, IDOK);
             scripting_.results.clear();
             Mark("cancel");
             Tap(s, IDCANCEL);
         },
         false, Join({open, {"** ok", "F.OnOK", "** cancel"}, kCancelled, kClosed})},
        {"a required field empty on the second page",
         [&](HWND s) {
             Type(s, 1, 4000, u"");  // the code the first row typed is kept by the form
             Mark("ok");
             Tap(s, IDOK);
             pageAfterRefusal = ActivePage(s);
             focusAfterRefusal = GetFocus();
             code = GetDlgItem(PageWindow(s, 1), 4000);
             Type(s, 1, 4000, u"C3");
             Mark("ok again");
             Tap(s, IDOK);
         },
         true,
         Join({open,
               {"** ok", "F.OnOK", "F_P1_E1.OnValidate", "F_P1.OnKillActive", "F_P1_E1.OnValidate",
                "F_P1.OnOK", "box A value must be supplied for the field 'CODE'.",
                "F_P1.OnSetActive", "F_P1_E1.OnValidate", "F_P1.OnKillActive", "F_P2.OnSetActive",
                "** ok again", "F.OnOK", "F_P2_E2.OnValidate", "F_P2.OnKillActive",
                "F_P1_E1.OnValidate", "F_P1.OnOK", "F_P2_E2.OnValidate", "F_P2.OnOK"},
               kClosed})},
        {"Cancel", [&](HWND s) { Tap(s, IDCANCEL); }, false, Join({open, kCancelled, kClosed})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        scripting_.log.clear();
        win::PushModalHook([&](HWND sheet) {
            Pump();
            row.user(sheet);
        });
        EXPECT_EQ(form_->RunModal(), row.ok);
        EXPECT_EQ(TakeFlow(), row.flow);
    }
    EXPECT_EQ(pageAfterRefusal, 1);
    EXPECT_EQ(focusAfterRefusal, code);
}

TEST_F(FormSheets, EventOrderAndWritesOfAFormBoundToARecord) {
    struct RecordRow {
        Row row;
        bool editable;
        int mode;
        std::vector<std::string> record;  // NAME, CODE after the sheet closed
    };
    const std::vector<RecordRow> rows = {
        {{"type, tab, type, OK",
          [&](HWND s) {
              Type(s, 0, 4000, u"Elm");
              Mark("tab");
              TapTab(s, 1);
              Type(s, 1, 4000, u"B2");
              Mark("ok");
              Tap(s, IDOK);
          },
          true,
          Join({kOpened,
                {"** tab", "F_P1_E1.OnValidate", "write NAME=Elm", "F_P1.OnKillActive",
                 "F_P2.OnSetActive", "** ok", "F.OnOK", "F_P2_E2.OnValidate", "write CODE=B2",
                 "F_P2.OnKillActive", "F_P1_E1.OnValidate", "F_P1.OnOK", "F_P2_E2.OnValidate",
                 "F_P2.OnOK"},
                kClosed})},
         true,
         0,
         {"Elm", "B2"}},
        {{"Cancel keeps the record",
          [&](HWND s) {
              Type(s, 0, 4000, u"Elm");
              Tap(s, IDCANCEL);
          },
          false, Join({kOpened, kCancelled, kClosed})},
         true,
         0,
         {"Oak", "A1"}},
        {{"identify mode saves nothing",
          [&](HWND s) {
              EXPECT_TRUE(GetWindowLong(GetDlgItem(PageWindow(s, 0), 4000), GWL_STYLE) &
                          ES_READONLY);
              Type(s, 0, 4000, u"Elm");
              Mark("tab");
              TapTab(s, 1);
              Mark("ok");
              Tap(s, IDOK);
          },
          true,
          Join({kOpened,
                {"** tab", "F_P1.OnKillActive", "F_P2.OnSetActive", "** ok", "F.OnOK",
                 "F_P2.OnKillActive", "F_P1.OnOK", "F_P2.OnOK"},
                kClosed})},
         false,
         1,
         {"Oak", "A1"}},
    };
    for (const RecordRow& r : rows) {
        SCOPED_TRACE(r.row.name);
        BindRecord();
        const std::vector<uint8_t> before = record_;
        scripting_.log.clear();
        {
            CFormPropertySheet sheet(form_, &source_, r.editable, r.mode, 0);
            win::PushModalHook([&](HWND s) {
                Pump();
                r.row.user(s);
            });
            EXPECT_EQ(sheet.DoModal() == IDOK, r.row.ok);
        }
        EXPECT_EQ(TakeFlow(), r.row.flow);
        if (r.mode == 1 || !r.row.ok) {
            EXPECT_EQ(record_, before);
        }
        // The feature sheet writes the record back on OK.
        if (r.row.ok) {
            ASSERT_TRUE(DbfWriteRecord(table_.Table(), 0, record_.data()));
        }
        table_.Close();
        EXPECT_EQ(OgrFields("Docs/t.dbf"),
                  "NAME (String) = " + r.record[0] + "\nCODE (String) = " + r.record[1] + "\n");
        ::unlink(Host("Docs/t.dbf").c_str());
    }
}

TEST_F(FormSheets, AFormCanHideItsTabsAndNamesTheSheet) {
    CXmlDocument& doc =
        LoadXml("Docs/g.xml",
                "<X><FORMS><FORM caption=\"Plot\" tabsvisible=\"false\"><PAGE/></FORM>"
                "<FORM><PAGE/></FORM></FORMS></X>");
    CForms forms(&scripting_);
    forms.ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
    std::vector<std::pair<WString, bool>> seen;
    for (int i = 0; i < 2; ++i) {
        win::PushModalHook([&](HWND sheet) {
            SendMessage(sheet, PSM_GETTABCONTROL, 0, 0);
            HWND tab = reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
            seen.emplace_back(GetWindowTextString(sheet), IsWindowVisible(tab) != 0);
            Tap(sheet, IDCANCEL);
        });
        EXPECT_FALSE(forms.GetAt(i)->RunModal());
    }
    EXPECT_EQ(seen,
              (std::vector<std::pair<WString, bool>>{{u"Plot", false}, {u"Untitled Form", true}}));
}

}  // namespace
