// The form sheets' event order, pinned with recording doubles in the
// forms' own tests, run with real VBScript handlers on in-test Form, Page
// and Control objects handed out through the forms' factory.
#include <gtest/gtest.h>

#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/propsheet.h"
#include "script/script_services.h"
#include "script_objects.h"
#include "shell/forms/form_sheet.h"
#include "tests/shell/forms_fixture.h"

namespace scripttest {
namespace {

template <uint32_t Interface, uint32_t Events, uint32_t Coclass>
class TFormObject : public CScriptConnectable<TFormObject<Interface, Events, Coclass>> {
public:
    static const InterfaceDesc& Desc() {
        static const InterfaceDesc d =
            InterfaceBuilder<TFormObject>(u"IFormObject", ScriptLibGuid(Interface)).Build();
        return d;
    }
    static const CoclassDesc& Class() {
        static const CoclassDesc c{ScriptLibGuid(Coclass), u"FormObject", &Desc(),
                                   ScriptEventInterface(Events)};
        return c;
    }
};
using TForm = TFormObject<kLibIForm, kLibIFormEvents, kLibForm>;
using TPage = TFormObject<kLibIPage, kLibIPageEvents, kLibPage>;
using TControl = TFormObject<kLibIControl, kLibIControlEvents, kLibControl>;

class CTestFormObjects : public IFormScriptObjects {
public:
    IDispatch* CreateFormObject(CForm*) override { return Make(new TForm); }
    IDispatch* CreatePageObject(CForm*, int) override { return Make(new TPage); }
    IDispatch* CreateControlObject(CForm*, int, int) override { return Make(new TControl); }
    IDispatch* CreateFormsObject(CForms*) override { return CreatePlainScriptObject(); }

private:
    static IDispatch* Make(IDispatch* object) {
        object->AddRef();
        return object;
    }
};

// Handlers that log "Item.Event" for the events of the forms' own tests.
std::string Handlers(const std::string& item, std::initializer_list<const char*> events) {
    std::string out;
    for (const char* e : events) {
        out += std::string(" ") + e + "=\"Log.Write &quot;" + item + "." + e + "&quot;";
        if (item == "F" && std::string(e) == "OnOK") out += "&#10;If refuse Then Result = False";
        out += "\"";
    }
    return out;
}

std::string TwoPageForm() {
    const auto all = {"OnLoad", "OnUnload", "OnSetActive", "OnKillActive", "OnOK", "OnCancel"};
    return "<FORMS><FORM name=\"F\"" + Handlers("F", all) + "><PAGE name=\"P1\"" +
           Handlers("F_P1", all) + "><EDIT name=\"E1\" field=\"NAME\" defaultvalue=\"Def\"" +
           Handlers("F_P1_E1", {"OnValidate"}) + "/></PAGE><PAGE name=\"P2\"" +
           Handlers("F_P2", all) + "><EDIT name=\"E2\" field=\"CODE\" required=\"true\"" +
           Handlers("F_P2_E2", {"OnValidate"}) + "/></PAGE></FORM></FORMS>";
}

HWND PageWindow(HWND sheet, int index) {
    SendMessage(sheet, PSM_INDEXTOHWND, static_cast<WPARAM>(index), 0);
    return reinterpret_cast<HWND>(GetWindowLongPtr(sheet, DWLP_MSGRESULT));
}
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

class FormFlows : public FormsTest {
protected:
    void SetUp() override {
        FormsTest::SetUp();
        ResetThisEventForTests();
        TheJournal().lines.clear();
        SetScriptServices(&services_);
        SetFormScriptObjects(&objects_);
        win::SetMessageBoxResponder([](const win::MessageBoxRecord& r) {
            TheJournal().Add(u"box " + r.text);
            return win::MessageBoxDefaultAnswer(r.type);
        });
        log_ = ComPtr<TLog>(new TLog);
        ASSERT_TRUE(host_.StartEngine(u"VBScript"));
        host_.AddNamedItem(u"ThisEvent", &ThisEvent(), 14);
        host_.AddNamedItem(u"Log", log_.Get(), 2);
        CXmlDocument& doc = LoadXml("Docs/f.xml", "<X>" + TwoPageForm() + "</X>");
        forms_ = std::make_unique<CForms>(&host_);
        forms_->ReadForms(doc.GetRoot()->FindChild(u"FORMS"), 1033);
        form_ = forms_->GetAt(0);
        host_.SetScriptState(ScriptState::Connected);
    }
    void TearDown() override {
        win::SetMessageBoxResponder(nullptr);
        forms_.reset();
        host_.StopEngine();
        log_.Reset();
        ResetThisEventForTests();
        FormsTest::TearDown();
    }
    void Mark(const std::string& step) { TheJournal().lines.push_back("** " + step); }

    CScriptServices services_;
    CTestFormObjects objects_;
    CScriptHost host_;
    ComPtr<TLog> log_;
    std::unique_ptr<CForms> forms_;
    CForm* form_ = nullptr;
};

using Flow = std::vector<std::string>;
Flow Join(std::initializer_list<Flow> parts) {
    Flow all;
    for (const Flow& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(FormFlows, TheSheetsEventOrderWithRealHandlers) {
    const Flow open = {"F_P1.OnLoad", "F.OnSetActive", "F_P2.OnLoad", "F_P1.OnSetActive", "F.OnLoad"};
    const Flow closed = {"F.OnUnload", "F_P1.OnUnload", "F_P2.OnUnload"};
    const Flow cancelled = {"F.OnCancel", "F_P1.OnCancel", "F_P2.OnCancel"};
    struct Row {
        const char* name;
        std::function<void(HWND)> user;
        bool ok;
        Flow flow;
    };
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
               closed})},
        {"OK answered False by the form, then Cancel",
         [&](HWND s) {
             host_.ExecuteString(u"refuse = True");
             Mark("ok");
             Tap(s, IDOK);
             host_.ExecuteString(u"refuse = False");
             Mark("cancel");
             Tap(s, IDCANCEL);
         },
         false, Join({open, {"** ok", "F.OnOK", "** cancel"}, cancelled, closed})},
        {"a required field empty on the second page",
         [&](HWND s) {
             Type(s, 1, 4000, u"");
             Mark("ok");
             Tap(s, IDOK);
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
               closed})},
        {"Cancel", [&](HWND s) { Tap(s, IDCANCEL); }, false, Join({open, cancelled, closed})},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TheJournal().lines.clear();
        win::PushModalHook([&](HWND sheet) {
            Pump();
            row.user(sheet);
        });
        EXPECT_EQ(form_->RunModal(), row.ok);
        EXPECT_EQ(TheJournal().lines, row.flow);
    }
}

}  // namespace
}  // namespace scripttest
