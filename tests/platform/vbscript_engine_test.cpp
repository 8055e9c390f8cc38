// The "VBScript" engine through the script engine interface, driving the
// test object model: named items and global members, properties with
// arguments, default members, collections, by-reference parameters, events
// bound as scriptlets and as Item_Event procedures, errors, expressions and
// re-entrancy.
#include <gtest/gtest.h>

#include "platform/scripting/script_engine.h"
#include "platform/scripting/vbscript/vbscript.h"
#include "platform/win/controls.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "tests/platform/com_test_model.h"
#include "tests/platform/script_test_site.h"

namespace {

using namespace testmodel;

class VbsEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = new Application();
        app->AddRef();
        app->layers_->items_.emplace_back(new Layer(u"Roads"));
        app->layers_->items_.emplace_back(new Layer(u"Rivers"));
        ev = new Event();
        ev->AddRef();
        h = std::make_unique<scripttest::Harness>(u"VBScript");
        uint32_t global = SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE | SCRIPTITEM_GLOBALMEMBERS;
        h->AddItem(u"Application", app, &Application::Class(), global);
        h->AddItem(u"ThisEvent", ev, &Event::Class(), global);
        h->AddItem(u"Roads", app->layers_->items_[0].Get(), &Layer::Class(),
                   SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
    }
    void TearDown() override {
        h.reset();
        ev->Release();
        app->Release();
        win::ResetMessageBoxes();
        win::ClearModalHooks();
    }
    HRESULT Exec(const char16_t* code, uintptr_t cookie = 0, uint32_t line = 0) {
        HRESULT hr = h->Run(code, cookie, line);
        if (FAILED(hr) && !h->site.errors.empty()) {
            const auto& e = h->site.errors.back();
            lastError = text::ToUtf8(e.description) + " line " + std::to_string(e.line) + ": " +
                        text::ToUtf8(e.lineText);
        }
        return hr;
    }
    ComVariant Eval(const char16_t* expr) {
        ComVariant v;
        h->Eval(expr, v.Receive());
        return v;
    }
    WString EvalText(const char16_t* expr) {
        ComVariant v = Eval(expr);
        ComVariant s;
        if (FAILED(VariantChangeType(&s, &v, VARIANT_ALPHABOOL, VT_BSTR))) return u"?";
        return WString(BstrView(s.bstrVal));
    }
    void Scriptlet(const char16_t* item, const char16_t* event, const char16_t* code) {
        ASSERT_EQ(h->Scriptlet(item, event, code), S_OK);
    }
    std::vector<WString> Log() { return app->log_; }

    std::unique_ptr<scripttest::Harness> h;
    std::string lastError;
    Application* app = nullptr;
    Event* ev = nullptr;
};

TEST_F(VbsEngineTest, ObjectModelFromScripts) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(Exec(uR"(
' global members reach unqualified (but the language's own Log function wins
' over Application.Log), properties take arguments
Caption = "Field map"
Text(1) = "status"
UserProperties("DataPath") = "\Storage Card\data"
Application.Log Application.Name & ":" & Caption & ":" & Text(1) & ":" & UserProperties("datapath")
' collections by position and name, default members, misses answer Nothing
Application.Log Layers.Count & ":" & Layers(1).Name & ":" & Layers("rivers").Name
Application.Log TypeName(Layers("nope")) & ":" & (Layers("nope") Is Nothing)
Layers("Rivers").Visible = False
For Each l In Layers
  Application.Log l.Name & "=" & l.Visible
Next
Set added = Layers.Add("Trails")
Application.Log Layers.Count & ":" & added.Name
' a field's default member is Value, for get and put
Fields("NAME") = "abc"
Application.Log CStr(Fields("NAME") = "abc")
Application.Log Fields("name").Value & ":" & TypeName(Fields("NAME"))
' put-by-reference
Set Layers(1).Owner = Application
Application.Log Layers(1).Owner.Name
Set Layers(1).Owner = Nothing
' by-reference BSTR and VARIANT parameters
n = "Paths" : ok = Layers(1).Rename(n)
Application.Log ok & ":" & n & ":" & Layers(1).Name
d = 21 : Layers(1).Escape 1, d : Application.Log d
Layers(1).Escape 2, d : Application.Log d
' optional arguments
Application.Log Layers(1).Sum(1) & ":" & Layers(1).Sum(1, 2) & ":" & Layers(1).Sum(1, 2, 3) & ":" & Layers(1).Sum(1, , 3)
When = #1/31/2024 10:30#
Application.Log Year(When) & ":" & TypeName(When)
' the engine's own Execute wins over the global member of that name
Execute "Application.Log ""dynamic"""
Application.Execute "qualified"
)"),
              S_OK)
        << lastError;
    std::vector<WString> want = {u"Zarnip:Field map:status:\\Storage Card\\data",
                                 u"2:Roads:Rivers",
                                 u"Nothing:True",
                                 u"Roads=True",
                                 u"Rivers=False",
                                 u"3:Trails",
                                 u"True",
                                 u"abc:Field",
                                 u"Zarnip",
                                 u"True:layer:Paths:Paths",
                                 u"42",
                                 u"escaped",
                                 u"11:3:6:14",
                                 u"2024:Date",
                                 u"dynamic",
                                 u"execute:qualified"};
    EXPECT_EQ(Log(), want);
}

TEST_F(VbsEngineTest, EventsThroughScriptletsAndConventionProcedures) {
    Scriptlet(u"Application", u"OnStartUp", u"Application.Log \"scriptlet 1\"");
    Scriptlet(u"Application", u"onstartup",
              u"Dim local : local = \"scriptlet 2\" : Application.Log local");
    ASSERT_EQ(Exec(u"Sub Application_OnStartup()\nApplication.Log \"procedure\"\nEnd Sub\n"
                   u"Sub Roads_OnOpen()\nApplication.Log \"roads open \" & Roads.Name\nEnd Sub\n"
                   u"Sub Application_OnTimer()\nApplication.Log \"timer\"\nRaise "
                   u"2\nApplication.Log \"timer end\"\nEnd Sub\n"
                   u"Sub Application_OnShutdown() : Application.Log \"shutdown\" : End Sub"),
              S_OK)
        << lastError;
    // initialised: nothing is hooked up yet
    app->FireEvent(kOnStartUp);
    EXPECT_TRUE(Log().empty());
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    app->FireEvent(kOnStartUp);
    app->layers_->items_[0]->FireEvent(kOnOpen);
    // re-entrancy: a handler raises another event of the same engine
    app->FireEvent(kOnTimer);
    std::vector<WString> want = {u"scriptlet 1", u"scriptlet 2", u"procedure", u"roads open Roads",
                                 u"timer",       u"shutdown",    u"timer end"};
    EXPECT_EQ(Log(), want);
    for (auto& e : h->site.errors)
        ADD_FAILURE() << text::ToUtf8(e.description) << " line " << e.line;
    // disconnected: no delivery; a handler added meanwhile is hooked at the next connect
    app->log_.clear();
    ASSERT_EQ(h->SetState(SCRIPTSTATE_DISCONNECTED), S_OK);
    app->FireEvent(kOnStartUp);
    ASSERT_EQ(Exec(u"Sub Roads_OnClose() : Application.Log \"closed\" : End Sub"), S_OK)
        << lastError;
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    app->layers_->items_[0]->FireEvent(kOnClose);
    EXPECT_EQ(Log(), std::vector<WString>{u"closed"});
    EXPECT_TRUE(h->site.errors.empty());
}

TEST_F(VbsEngineTest, ErrorsInHandlersAreReportedAndDeliveryGoesOn) {
    Scriptlet(u"Application", u"OnStartup",
              u"Application.Log \"first\"\n  y = 1 / 0\nApplication.Log \"not reached\"");
    Scriptlet(u"Application", u"OnStartup", u"Application.Log \"second\"");
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    app->FireEvent(kOnStartUp);
    EXPECT_EQ(Log(), (std::vector<WString>{u"first", u"second"}));
    ASSERT_EQ(h->site.errors.size(), 1u);
    EXPECT_EQ(h->site.errors[0].line, 1u);
    EXPECT_EQ(h->site.errors[0].column, 2);
    EXPECT_EQ(h->site.errors[0].lineText, u"  y = 1 / 0");
    // a handler with a syntax error is refused when it is added
    EXPECT_EQ(h->Scriptlet(u"Application", u"OnTimer", u"If x Then"), SCRIPT_E_REPORTED);
    EXPECT_EQ(h->site.errors.size(), 2u);
}

TEST_F(VbsEngineTest, HandlersAnswerThroughTheEventObject) {
    Scriptlet(
        u"Application", u"OnShutdown",
        u"If Caption = \"busy\" Then\n  Result = False\n  MessageText = \"Still working\"\nEnd If");
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    ASSERT_EQ(Exec(u"Caption = \"busy\""), S_OK) << lastError;
    app->FireEvent(kOnShutDown);
    EXPECT_EQ(ev->result_.vt, VT_BOOL);
    EXPECT_EQ(ev->result_.boolVal, VARIANT_FALSE);
    EXPECT_EQ(ev->messageText_, u"Still working");
}

TEST_F(VbsEngineTest, ErrorsCarryPositionTextAndHresult) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    // a run-time error in the third line of a text that starts at line 10
    EXPECT_EQ(Exec(u"x = 1\ny = 2\n  z = x / (y - 2)\nApplication.Log \"not reached\"", 77, 10),
              SCRIPT_E_REPORTED);
    ASSERT_EQ(h->site.errors.size(), 1u);
    EXPECT_EQ(h->site.errors[0].context, 77u);
    EXPECT_EQ(h->site.errors[0].line, 12u);
    EXPECT_EQ(h->site.errors[0].column, 2);
    EXPECT_EQ(h->site.errors[0].lineText, u"  z = x / (y - 2)");
    EXPECT_EQ(uint32_t(h->site.errors[0].scode), 0x800A000Bu);
    EXPECT_EQ(h->site.errors[0].description, u"Division by zero");
    EXPECT_TRUE(Log().empty());
    // a syntax error
    EXPECT_EQ(Exec(u"If x Then\nApplication.Log 1\n", 5, 0), SCRIPT_E_REPORTED);
    ASSERT_EQ(h->site.errors.size(), 2u);
    EXPECT_EQ(uint32_t(h->site.errors[1].scode), 0x800A03F6u);  // 1014 Expected 'End'
    EXPECT_EQ(h->site.errors[1].source, u"VBScript compilation error");
    // a member's failure code becomes the language's number (E_INVALIDARG is 5); a
    // raised one keeps its code and text
    EXPECT_EQ(Exec(u"Layers(1).Fail 1"), SCRIPT_E_REPORTED);
    EXPECT_EQ(h->site.errors[2].scode, MakeScriptError(5));
    EXPECT_EQ(Exec(u"Layers(1).Fail 2"), SCRIPT_E_REPORTED);
    EXPECT_EQ(h->site.errors[3].scode, E_FAIL);
    EXPECT_EQ(h->site.errors[3].description, u"The layer is not open.");
    EXPECT_EQ(Exec(u"On Error Resume Next\nLayers(1).Fail 1\nApplication.Log CStr(Err.Number = "
                   u"5)"),
              S_OK)
        << lastError;
    EXPECT_EQ(Exec(u"Application.Log Nope(1)"), SCRIPT_E_REPORTED);
    EXPECT_EQ(h->site.errors[4].description, u"Type mismatch: 'Nope'");
    // the engine is still usable, and its state survived
    EXPECT_EQ(Exec(u"Application.Log \"x=\" & x"), S_OK) << lastError;
    EXPECT_EQ(Log(), (std::vector<WString>{u"True", u"x=1"}));
}

TEST_F(VbsEngineTest, ExpressionsGiveVariants) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(Exec(u"Dim limit : limit = 10\nFunction Twice(x) : Twice = x * 2 : End Function"),
              S_OK)
        << lastError;
    ComVariant v = Eval(u"Twice(limit) + 1");
    EXPECT_EQ(v.vt, VT_I2);
    EXPECT_EQ(v.iVal, 21);
    EXPECT_EQ(EvalText(u"Fields(\"NAME\") = \"\""), u"True");
    EXPECT_EQ(EvalText(u"Layers(2).Name & \"!\""), u"Rivers!");
    ComVariant obj = Eval(u"Layers(1)");
    EXPECT_EQ(obj.vt, VT_DISPATCH);
    // an error in an expression is reported without source text
    ComVariant bad = Eval(u"1 / 0");
    ASSERT_EQ(h->site.errors.size(), 1u);
    EXPECT_TRUE(h->site.errors[0].lineText.empty());
}

TEST_F(VbsEngineTest, GlobalDispatch) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(Exec(u"Dim count : count = 4\nFunction Add(a, b) : Add = a + b : End Function"), S_OK)
        << lastError;
    IDispatch* g = nullptr;
    ASSERT_EQ(h->script->GetScriptDispatch(nullptr, &g), S_OK);
    ComVariant r;
    ComVariant args[2] = {ComVariant(int32_t(2)), ComVariant(int32_t(3))};
    ASSERT_EQ(CallMethod(g, u"ADD", args, 2, r.Receive()), S_OK);
    EXPECT_EQ(r.vt, VT_I4);
    EXPECT_EQ(r.lVal, 5);
    ASSERT_EQ(GetProperty(g, u"count", r.Receive()), S_OK);
    EXPECT_EQ(r.iVal, 4);
    // a by-reference BSTR from the host is written back
    ASSERT_EQ(Exec(u"Sub Fill(s) : s = s & \"!\" : End Sub"), S_OK);
    BSTR text = SysAllocString(u"hi");
    VARIANT ref;
    VariantInit(&ref);
    ref.vt = VT_BYREF | VT_BSTR;
    ref.pbstrVal = &text;
    ASSERT_EQ(CallMethod(g, u"Fill", &ref, 1, r.Receive()), S_OK);
    EXPECT_EQ(WString(BstrView(text)), u"hi!");
    SysFreeString(text);
    // a by-reference argument that points nowhere is refused, not followed
    for (VARTYPE vt : {VARTYPE(VT_BSTR), VARTYPE(VT_VARIANT), VARTYPE(VT_I4)}) {
        ref.vt = VT_BYREF | vt;
        ref.byref = nullptr;
        EXPECT_EQ(CallMethod(g, u"Fill", &ref, 1, r.Receive()), E_POINTER) << vt;
    }
    VARIANT inner;
    VariantInit(&inner);
    inner.vt = VT_BYREF | VT_BSTR;
    inner.pbstrVal = nullptr;
    ref.vt = VT_BYREF | VT_VARIANT;
    ref.pvarVal = &inner;
    EXPECT_EQ(CallMethod(g, u"Fill", &ref, 1, r.Receive()), E_POINTER);
    ComVariant nine(int32_t(9));
    ASSERT_EQ(PutProperty(g, u"COUNT", nine), S_OK);
    EXPECT_EQ(EvalText(u"count"), u"9");
    DISPID none;
    EXPECT_EQ(GetDispId(g, u"nothing_here", &none), DISP_E_UNKNOWNNAME);
    h->script->Close();
    EXPECT_EQ(CallMethod(g, u"Add", args, 2, r.Receive()), E_UNEXPECTED);
    g->Release();
}

TEST_F(VbsEngineTest, MessageAndInputBoxes) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    win::QueueMessageBoxAnswers({7});
    ASSERT_EQ(Exec(u"If MsgBox(\"Save?\", vbYesNo, \"Edit\") = vbNo Then Application.Log \"no\""),
              S_OK)
        << lastError;
    auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Save?");
    EXPECT_EQ(boxes[0].caption, u"Edit");
    EXPECT_EQ(boxes[0].type, 4u);
    // the input box is a modal dialog: the hook acts as the user
    WString seenPrompt, seenTitle;
    win::PushModalHook([&](HWND dlg) {
        seenPrompt = GetDlgItemTextString(dlg, vbs::kInputPromptId);
        seenTitle = GetWindowTextString(dlg);
        WString typed = GetDlgItemTextString(dlg, vbs::kInputTextId) + u"/typed";
        SetDlgItemText(dlg, vbs::kInputTextId, typed.c_str());
        SendMessage(dlg, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(Exec(u"Application.Log InputBox(\"Name\", \"Who\", \"x\")"), S_OK) << lastError;
    EXPECT_EQ(seenPrompt, u"Name");
    EXPECT_EQ(seenTitle, u"Who");
    win::PushModalHook([](HWND dlg) { SendMessage(dlg, WM_COMMAND, IDCANCEL, 0); });
    ASSERT_EQ(Exec(u"Application.Log CStr(IsEmpty(InputBox(\"Name\")))"), S_OK) << lastError;
    EXPECT_EQ(Log(), (std::vector<WString>{u"no", u"x/typed", u"True"}));
}

TEST_F(VbsEngineTest, ReentrantEventsAcrossEnginesAndScriptNamesWin) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    Scriptlet(u"Application", u"OnStartUp",
              u"Application.Log \"start begin\"\nRaise 30\nApplication.Log \"start end\"");
    Scriptlet(u"Application", u"OnTimer", u"Application.Log \"timer\"");
    // a second engine listening to the same object runs in between
    scripttest::Harness other(u"VBScript");
    other.AddItem(u"App", app, &Application::Class(), SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
    ASSERT_EQ(other.Run(u"Sub App_OnTimer() : App.Log \"other timer\" : End Sub"), S_OK);
    ASSERT_EQ(other.SetState(SCRIPTSTATE_CONNECTED), S_OK);
    app->FireEvent(kOnStartUp);
    EXPECT_EQ(Log(),
              (std::vector<WString>{u"start begin", u"timer", u"other timer", u"start end"}));
    // the script's own variable and function shadow the global member and the built-in
    app->log_.clear();
    ASSERT_EQ(Exec(u"Dim Caption : Caption = \"mine\"\nFunction Execute(x) : Execute = \"vbs \" & "
                   u"x : End Function\n"
                   u"Application.Log Caption & \" \" & Execute(1) & \" \" & Application.Caption"),
              S_OK)
        << lastError;
    EXPECT_EQ(Log(), std::vector<WString>{u"mine vbs 1 Map"});
    EXPECT_EQ(app->caption_, u"Map");
}

TEST_F(VbsEngineTest, ShortLivedObjectsAreReleasedAtOnce) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    int before = Field::live;
    ASSERT_EQ(Exec(u"Set keep = Scratch() : keep.Value = -1\n"
                   u"For i = 0 To 2999 : Set f = Scratch() : f.Value = i : Next\n"
                   u"Set f = Nothing\nApplication.Log keep & \" \" & (keep Is keep)"),
              S_OK)
        << lastError;
    EXPECT_EQ(Log().back(), u"-1 True");
    EXPECT_EQ(Field::live - before, 1);
    h->script->Close();
    EXPECT_EQ(Field::live, before);
}

TEST_F(VbsEngineTest, HandlerClosesItsOwnEngine) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_CONNECTED), S_OK);
    Scriptlet(u"Application", u"OnTimer",
              u"Application.Execute \"stop\"\nApplication.Log \"still running\"");
    ASSERT_EQ(Exec(u"Sub Application_OnTimer() : Log \"convention\" : End Sub"), S_OK);
    app->onExecute = [&] { h->script->Close(); };
    app->FireEvent(kOnTimer);
    app->onExecute = nullptr;
    EXPECT_EQ(Log(), std::vector<WString>{u"execute:stop"});
    EXPECT_TRUE(h->site.errors.empty());
    SCRIPTSTATE state;
    h->script->GetScriptState(&state);
    EXPECT_EQ(state, SCRIPTSTATE_CLOSED);
    EXPECT_EQ(app->Point().SinkCount(), 0u);
    EXPECT_EQ(h->Run(u"Application.Log \"x\""), E_UNEXPECTED);
}

TEST_F(VbsEngineTest, GlobalObjectsTerminateAtClose) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(Exec(u"Class Tracker\nPublic Name\nSub Class_Terminate() : Application.Log \"bye \" "
                   u"& Name : End Sub\n"
                   u"End Class\nSet one = New Tracker : one.Name = \"a\"\nSet two = New Tracker : "
                   u"two.Name = \"b\""),
              S_OK)
        << lastError;
    EXPECT_TRUE(Log().empty());
    h->script->Close();
    EXPECT_EQ(Log(), (std::vector<WString>{u"bye a", u"bye b"}));
}

TEST_F(VbsEngineTest, ClassInstancesCrossIntoTheHost) {
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    // a script object stored in a host property and called back through Invoke
    ASSERT_EQ(
        Exec(u"Class Helper\nPublic Default Function Run(x) : Run = \"ran \" & x : End Function\n"
             u"Public Note\nEnd Class\n"
             u"Set h = New Helper : h.Note = \"kept\"\nSet Layers(2).Owner = h\n"
             u"Application.Log Layers(2).Owner.Note & \":\" & Layers(2).Owner(5)"),
        S_OK)
        << lastError;
    EXPECT_EQ(Log(), std::vector<WString>{u"kept:ran 5"});
    IDispatch* owner = app->layers_->items_[1]->owner_.Get();
    ASSERT_NE(owner, nullptr);
    ComVariant r;
    ComVariant arg(int32_t(7));
    ASSERT_EQ(InvokeHelper(owner, DISPID_VALUE, DISPATCH_METHOD, &arg, 1, r.Receive()), S_OK);
    EXPECT_EQ(WString(BstrView(r.bstrVal)), u"ran 7");
    // after the engine is gone the object answers nothing, safely
    h.reset();
    DISPID id = 0;
    EXPECT_EQ(GetDispId(owner, u"Note", &id), DISP_E_UNKNOWNNAME);
    EXPECT_TRUE(FAILED(InvokeHelper(owner, DISPID_VALUE, DISPATCH_METHOD, &arg, 1, r.Receive())));
}

}  // namespace

namespace {

// An expression evaluated record by record is compiled once and still
// reads each record's values; a syntax error is not kept.
TEST_F(VbsEngineTest, ExpressionsAreCompiledOncePerText) {
    ASSERT_EQ(Exec(u"Dim n"), S_OK);
    ASSERT_EQ(h->SetState(SCRIPTSTATE_STARTED), S_OK);
    const uint64_t before = ScriptExpressionCompileCount();
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(Exec(i % 1000 ? u"n = n + 1" : u"n = 0 + n + 1"), S_OK);
        ComVariant v = Eval(u"n * 2"), n;
        ASSERT_EQ(VariantChangeType(&n, &v, 0, VT_I4), S_OK);
        ASSERT_EQ(n.lVal, 2 * (i + 1));
    }
    EXPECT_EQ(ScriptExpressionCompileCount() - before, 1u);
    EXPECT_EQ(EvalText(u"n + 0.5"), u"100000.5");
    EXPECT_EQ(ScriptExpressionCompileCount() - before, 2u);
    ComVariant bad = Eval(u"n +");
    EXPECT_EQ(bad.vt, VT_EMPTY);
    Eval(u"n +");
    EXPECT_EQ(h->site.errors.size(), 2u) << "each evaluation of a bad text reports";
}

}  // namespace
