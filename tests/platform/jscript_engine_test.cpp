// The "JScript" engine against the test object model: realistic scripts,
// events through connection points, errors, expressions, re-entrancy.
#include "platform/scripting/jscript_engine.h"

#include <gtest/gtest.h>

#include "tests/platform/com_test_model.h"
#include "tests/platform/script_test_site.h"

using namespace testmodel;
using scripttest::Harness;

namespace {

std::string U8(WStringView s) {
    return text::ToUtf8(s);
}

// The application (global members), its layers, and ThisEvent, registered
// with the flags the program uses.
struct JsFixture : ::testing::Test {
    JsFixture() : app(new Application), event(new Event) {
        for (auto* n : {u"Roads", u"Rivers", u"Wells"}) {
            ComVariant arg(n), out;
            CallMethod(app->layers_.Get(), u"Add", &arg, 1, &out);
        }
        js.AddItem(u"Application", app.Get(), &Application::Class(),
                   SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE | SCRIPTITEM_GLOBALMEMBERS);
        js.AddItem(u"ThisEvent", event.Get(), &Event::Class(),
                   SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE | SCRIPTITEM_GLOBALMEMBERS);
        js.AddItem(u"Layer", layer(0), &Layer::Class(), SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
        appRefs = app->RefCount();  // the fixture's and the site's
        eventRefs = event->RefCount();
    }
    Layer* layer(int i) { return app->layers_->items_[i].Get(); }
    std::vector<std::string> Log() {
        std::vector<std::string> r;
        for (auto& l : app->log_) r.push_back(U8(l));
        return r;
    }
    std::string Errors() {
        std::string r;
        for (auto& e : js.site.errors)
            r += U8(e.description) + " @" + std::to_string(e.line) + "\n";
        return r;
    }
    ComPtr<Application> app;
    ComPtr<Event> event;
    uint32_t appRefs = 0, eventRefs = 0;
    Harness js{u"JScript"};
};

using Strings = std::vector<std::string>;

}  // namespace

TEST(JScriptRegistry, CreatedByName) {
    CLSID clsid;
    EXPECT_TRUE(ScriptEngineClsid(u"jscript", &clsid));
    EXPECT_EQ(clsid, CLSID_JScriptEngine);
    ComPtr<IActiveScript> s;
    EXPECT_EQ(CreateScriptEngine(u"NoSuchScript", IID_IActiveScript, s.ReceiveVoid()),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(JsFixture, PropertiesCollectionsAndGlobalMembers) {
    ASSERT_EQ(js.SetState(SCRIPTSTATE_STARTED), S_OK);
    ASSERT_EQ(js.Run(uR"(
        // Qualified and unqualified (global member) access.
        Application.Caption = "Roads: " + Application.Layers(1).Name;
        Log(Caption);
        Log("count " + Layers.Count);
        // Properties with arguments are called like functions.
        Log("text [" + Text(0) + "]");
        var rivers = Layers("rivers");
        rivers.Visible = false;
        Log(rivers.Name + " visible " + rivers.Visible);
        Log("miss " + (Layers("Lakes") === null));
        Log("prop " + UserProperties("none"));
        // The same object gives the same wrapper.
        Log("same " + (Layers(2) === rivers));
        // Optional arguments and defaults.
        Log("sum " + Layers(1).Sum(1) + " " + Layers(1).Sum(1, 2, 0.5));
        // The default member of a field.
        Fields("NAME").Value = "abc";
        Log("field " + Fields("NAME"));
    )"),
              S_OK)
        << Errors();
    EXPECT_EQ(Log(),
              (Strings{"Roads: Roads", "count 3", "text []", "Rivers visible false", "miss true",
                       "prop undefined", "same true", "sum 11 3.5", "field abc"}));
    EXPECT_FALSE(layer(1)->visible_);
    EXPECT_TRUE(js.site.errors.empty()) << Errors();
}

TEST_F(JsFixture, EnumeratorLoopsOverCollections) {
    js.SetState(SCRIPTSTATE_STARTED);
    ASSERT_EQ(js.Run(uR"(
        var names = [];
        for (var e = new Enumerator(Layers); !e.atEnd(); e.moveNext())
            names.push(e.item().Name);
        Log(names.join(","));
        e.moveFirst();
        Log(e.item().Name + " " + e.atEnd());
        var empty = new Enumerator();
        Log("empty " + empty.atEnd() + " " + empty.item());
    )"),
              S_OK)
        << Errors();
    EXPECT_EQ(Log(), (Strings{"Roads,Rivers,Wells", "Roads false", "empty true undefined"}));
    EXPECT_NE(js.Run(u"new Enumerator(42);"), S_OK);
    ASSERT_EQ(js.site.errors.size(), 1u);
    EXPECT_EQ(U8(js.site.errors[0].description), "Object is not a collection");
}

TEST_F(JsFixture, ScriptletsFireThroughConnectionPointsInOrder) {
    // Code parsed before the start waits; procedures persist across texts.
    ASSERT_EQ(js.Run(u"function note(s) { Log(s); }\nnote('immediate');"), S_OK);
    EXPECT_TRUE(app->log_.empty());
    // The source interface spells it "OnStartup"; the table's "OnStartUp" binds.
    ASSERT_EQ(js.Scriptlet(u"Application", u"OnStartUp", u"note('start 1');"), S_OK);
    ASSERT_EQ(js.Scriptlet(u"Application", u"OnStartUp", u"note('start 2');"), S_OK);
    ASSERT_EQ(js.Scriptlet(u"Layer", u"OnOpen", u"note('open ' + Layer.Name);"), S_OK);
    EXPECT_EQ(app->FireEvent(kOnStartUp), 0u);  // not connected yet
    ASSERT_EQ(js.SetState(SCRIPTSTATE_CONNECTED), S_OK);
    EXPECT_EQ(Log(), (Strings{"immediate"}));
    app->FireEvent(kOnStartUp);
    layer(0)->FireEvent(kOnOpen);
    layer(1)->FireEvent(kOnOpen);  // not a named item: nobody listens
    EXPECT_EQ(Log(), (Strings{"immediate", "start 1", "start 2", "open Roads"}));
    // Disconnected: nothing runs; new code still runs; reconnecting hooks up
    // handlers added in between.
    app->log_.clear();
    ASSERT_EQ(js.SetState(SCRIPTSTATE_DISCONNECTED), S_OK);
    EXPECT_EQ(app->Point().SinkCount(), 0u);
    app->FireEvent(kOnStartUp);
    ASSERT_EQ(js.Run(u"note('while disconnected');"), S_OK);
    ASSERT_EQ(js.Scriptlet(u"Application", u"onshutdown", u"note('bye');"), S_OK);
    ASSERT_EQ(js.SetState(SCRIPTSTATE_CONNECTED), S_OK);
    EXPECT_EQ(app->Point().SinkCount(), 1u);
    app->FireEvent(kOnShutDown);
    EXPECT_EQ(Log(), (Strings{"while disconnected", "bye"}));
    // Closing unadvises everything and releases the items.
    js.script->Close();
    EXPECT_EQ(app->Point().SinkCount(), 0u);
    EXPECT_EQ(layer(0)->Point().SinkCount(), 0u);
    EXPECT_EQ(app->RefCount(), appRefs);
    EXPECT_EQ(event->RefCount(), eventRefs);
    std::vector<SCRIPTSTATE> want = {SCRIPTSTATE_INITIALIZED, SCRIPTSTATE_STARTED,
                                     SCRIPTSTATE_CONNECTED,   SCRIPTSTATE_DISCONNECTED,
                                     SCRIPTSTATE_CONNECTED,   SCRIPTSTATE_CLOSED};
    EXPECT_EQ(js.site.states, want);
}

TEST_F(JsFixture, HandlersAnswerThroughTheEventObject) {
    js.SetState(SCRIPTSTATE_CONNECTED);
    ASSERT_EQ(js.Scriptlet(u"Layer", u"OnClose",
                           uR"(
        if (ThisEvent.Name == "OnClose") {
            ThisEvent.Result = false;
            MessageText = "Layer " + Layer.Name + " is in use";
        }
    )"),
              S_OK);
    event->name_ = u"OnClose";
    VariantFromBool(event->result_.Receive(), true);
    layer(0)->FireEvent(kOnClose);
    EXPECT_EQ(event->result_.vt, VT_BOOL);
    EXPECT_EQ(event->result_.boolVal, VARIANT_FALSE);
    EXPECT_EQ(U8(event->messageText_), "Layer Roads is in use");
    // Reading Name outside an event is an error the engine reports and survives.
    event->name_.clear();
    layer(0)->FireEvent(kOnClose);
    ASSERT_EQ(js.site.errors.size(), 1u);
    EXPECT_EQ(js.site.errors[0].scode, E_FAIL);
    EXPECT_EQ(U8(js.site.errors[0].lineText), "        if (ThisEvent.Name == \"OnClose\") {");
    EXPECT_EQ(js.site.errors[0].line, 1u);
}

TEST_F(JsFixture, ErrorsReportLineAndSourceAndLeaveTheEngineUsable) {
    js.SetState(SCRIPTSTATE_STARTED);
    const char16_t* script =
        u"var a = 1;\n"
        u"Log('one');\n"
        u"Layers(1).Fail(2);\n"
        u"Log('not reached');\n"
        u"var b = 2;";
    EXPECT_EQ(js.Run(script, 0x1234, 10), SCRIPT_E_REPORTED);
    ASSERT_EQ(js.site.errors.size(), 1u);
    auto& e = js.site.errors[0];
    EXPECT_EQ(e.line, 12u);  // startingLine + 0-based line
    EXPECT_EQ(e.column, 0);  // duktape gives no columns
    EXPECT_EQ(e.context, 0x1234u);
    EXPECT_EQ(U8(e.lineText), "Layers(1).Fail(2);");
    EXPECT_EQ(U8(e.description), "The layer is not open.");
    EXPECT_EQ(e.scode, E_FAIL);
    EXPECT_EQ(U8(e.source), "Layer");  // the host's exception source
    EXPECT_EQ(Log(), (Strings{"one"}));
    // Other kinds of error.
    struct Case {
        const char16_t* code;
        const char* description;
        uint32_t line;
        SCODE scode;
        const char* source;
    } cases[] = {
        {u"var x = 1;\nnosuch.prop = 1;", "'nosuch' is undefined", 1, MakeScriptError(5009),
         "JScript runtime error"},
        {u"\n\nvar = ;", "Syntax error", 2, MakeScriptError(1002),
         "JScript compilation error"},
        {u"Layers(1).Fail(1);", "Invalid procedure call or argument", 0, E_INVALIDARG,
         "JScript runtime error"},
        {u"Layers(9);", "Invalid procedure call or argument", 0, E_INVALIDARG,
         "JScript runtime error"},
        {u"throw new Error('custom');", "custom", 0, MakeScriptError(5022),
         "JScript runtime error"},
        {u"Layers(1).Sum('x');", "Type mismatch", 0, DISP_E_TYPEMISMATCH, "JScript runtime error"},
    };
    for (auto& c : cases) {
        js.site.errors.clear();
        EXPECT_EQ(js.Run(c.code), SCRIPT_E_REPORTED) << U8(c.code);
        ASSERT_EQ(js.site.errors.size(), 1u) << U8(c.code);
        auto& r = js.site.errors[0];
        EXPECT_NE(U8(r.description).find(c.description), std::string::npos)
            << U8(c.code) << " -> " << U8(r.description);
        EXPECT_EQ(r.line, c.line) << U8(c.code);
        EXPECT_EQ(r.scode, c.scode) << U8(c.code);
        EXPECT_EQ(U8(r.source), c.source) << U8(c.code);
    }
    // Still usable, and earlier globals are still there.
    js.site.errors.clear();
    EXPECT_EQ(js.Run(u"Log('after ' + a);"), S_OK);
    EXPECT_EQ(Log().back(), "after 1");
}

TEST_F(JsFixture, ExpressionsEvaluateToVariants) {
    js.SetState(SCRIPTSTATE_STARTED);
    js.Run(u"var limit = 2.5;");
    ComVariant v;
    ASSERT_EQ(js.Eval(u"Layers.Count * 2", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 6);
    ASSERT_EQ(js.Eval(u"limit", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_R8);
    ASSERT_EQ(js.Eval(u"Caption + '\u00E9\U0001F600'", v.Receive()), S_OK);
    EXPECT_EQ(BstrView(v.bstrVal), u"Map\u00E9\U0001F600");
    // Characters beyond the BMP are two UTF-16 units in script too.
    ASSERT_EQ(js.Eval(u"'\U0001F600'.length + Caption.length", v.Receive()), S_OK);
    EXPECT_EQ(v.lVal, 5);
    ASSERT_EQ(js.Eval(u"Layers(3)", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(v.pdispVal, static_cast<IDispatch*>(layer(2)));
    // null is an object reference to nothing, as hosts expect of JScript.
    ASSERT_EQ(js.Eval(u"null", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_DISPATCH);
    EXPECT_EQ(v.pdispVal, nullptr);
    ASSERT_EQ(js.Eval(u"Layers(1).Visible && limit > 2", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.boolVal, VARIANT_TRUE);
    // Dates both ways, in local wall-clock time.
    ASSERT_EQ(js.Eval(u"new Date(2024, 1, 29, 18, 0, 0)", v.Receive()), S_OK);
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(v.date, 45351.75);
    ASSERT_EQ(js.Run(u"When = new Date(2000, 0, 1, 12, 30, 0);"), S_OK);
    EXPECT_NEAR(app->when_, 36526 + 12.5 / 24, 1e-9);
    ASSERT_EQ(js.Eval(u"When.getFullYear() * 100 + When.getMinutes()", v.Receive()), S_OK);
    EXPECT_EQ(v.lVal, 200030);
    // A failing expression reports and leaves the result empty.
    EXPECT_EQ(js.Eval(u"nosuch + 1", v.Receive()), SCRIPT_E_REPORTED);
    EXPECT_EQ(v.vt, VT_EMPTY);
    ASSERT_EQ(js.site.errors.size(), 1u);
    EXPECT_FALSE(js.site.errors[0].hasLineText && js.site.errors[0].lineText.empty() &&
                 js.site.errors[0].line != 0);
}

TEST_F(JsFixture, ReentrantEventsAndScriptVariablesWin) {
    js.SetState(SCRIPTSTATE_CONNECTED);
    ASSERT_EQ(js.Scriptlet(u"Application", u"OnStartUp",
                           u"Log('start begin');\nRaise(30);\nLog('start end');"),
              S_OK);
    ASSERT_EQ(js.Scriptlet(u"Application", u"OnTimer", u"Log('timer');"), S_OK);
    // A second engine listening to the same object runs in between.
    Harness other(u"JScript");
    other.AddItem(u"App", app.Get(), &Application::Class(),
                  SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE);
    ASSERT_EQ(other.Scriptlet(u"App", u"OnTimer", u"App.Log('other timer');"), S_OK);
    ASSERT_EQ(other.SetState(SCRIPTSTATE_CONNECTED), S_OK);
    app->FireEvent(kOnStartUp);
    EXPECT_EQ(Log(), (Strings{"start begin", "timer", "other timer", "start end"}));
    // A script's own variable or function shadows a global member.
    app->log_.clear();
    ASSERT_EQ(js.Run(u"var Caption = 'mine';\nfunction Execute(x) { return 'js ' + x; }\n"
                     u"Log(Caption + ' ' + Execute(1) + ' ' + Application.Caption);"),
              S_OK)
        << Errors();
    EXPECT_EQ(Log(), (Strings{"mine js 1 Map"}));
    EXPECT_EQ(U8(app->caption_), "Map");
}

TEST_F(JsFixture, GlobalDispatchCallsScriptProcedures) {
    js.SetState(SCRIPTSTATE_STARTED);
    ASSERT_EQ(js.Run(u"function twice(x) { return x * 2; }\nvar counter = 7;"), S_OK);
    ComPtr<IDispatch> global;
    ASSERT_EQ(js.script->GetScriptDispatch(nullptr, global.Receive()), S_OK);
    ComVariant arg(21), r;
    ASSERT_EQ(CallMethod(global.Get(), u"twice", &arg, 1, r.Receive()), S_OK);
    EXPECT_EQ(r.lVal, 42);
    ASSERT_EQ(GetProperty(global.Get(), u"COUNTER", r.Receive()), S_OK);  // any spelling
    EXPECT_EQ(r.lVal, 7);
    ComVariant nine(9);
    ASSERT_EQ(PutProperty(global.Get(), u"counter", nine), S_OK);
    ASSERT_EQ(js.Eval(u"counter", r.Receive()), S_OK);
    EXPECT_EQ(r.lVal, 9);
    DISPID id;
    EXPECT_EQ(GetDispId(global.Get(), u"nothing_here", &id), DISP_E_UNKNOWNNAME);
    // A script object handed to COM comes back as itself.
    ASSERT_EQ(js.Run(u"var tag = {kind: 'tag'}; Layers(1).Owner = tag;\n"
                     u"Log('back ' + (Layers(1).Owner === tag) + ' ' + Layers(1).Owner.kind);"),
              S_OK)
        << Errors();
    EXPECT_EQ(Log().back(), "back true tag");
    // Closing the engine leaves outside references harmless.
    js.script->Close();
    EXPECT_EQ(CallMethod(global.Get(), u"twice", &arg, 1, r.Receive()), E_UNEXPECTED);
    layer(0)->owner_.Reset();
}

// Objects made anew for every request do not pile up in the wrapper table
// of a long-running engine.
TEST_F(JsFixture, ShortLivedObjectsAreReleased) {
    js.SetState(SCRIPTSTATE_STARTED);
    int before = Field::live;
    ASSERT_EQ(js.Run(u"var keep = Scratch(); keep.Value = -1;\n"
                     u"for (var i = 0; i < 3000; i++) { var f = Scratch(); f.Value = i; }\n"
                     u"Log('' + keep + ' ' + (keep === keep));"),
              S_OK)
        << Errors();
    EXPECT_EQ(Log().back(), "-1 true");
    EXPECT_LT(Field::live - before, 1000);
    js.script->Close();
    EXPECT_EQ(Field::live, before);
}

// A handler may close its own engine (a host stopping from inside a script):
// the running code ends on a heap that goes when it returns; the named items
// are gone at once, so the rest of the handler fails quietly.
TEST_F(JsFixture, HandlerClosesItsOwnEngine) {
    js.SetState(SCRIPTSTATE_CONNECTED);
    ASSERT_EQ(js.Scriptlet(u"Application", u"OnTimer", u"Execute('stop'); Log('still running');"),
              S_OK);
    app->onExecute = [&] { js.script->Close(); };
    app->FireEvent(kOnTimer);
    app->onExecute = nullptr;
    EXPECT_EQ(Log(), (Strings{"execute:stop"}));
    EXPECT_TRUE(js.site.errors.empty());
    SCRIPTSTATE state;
    js.script->GetScriptState(&state);
    EXPECT_EQ(state, SCRIPTSTATE_CLOSED);
    EXPECT_EQ(app->Point().SinkCount(), 0u);
    EXPECT_EQ(js.Run(u"Log('x');"), E_UNEXPECTED);
    EXPECT_EQ(app->RefCount(), appRefs);
}

// An expression evaluated record by record is compiled once and still
// reads each record's values.
TEST_F(JsFixture, ExpressionsAreCompiledOncePerText) {
    ASSERT_EQ(js.Run(u"var n = 0;"), S_OK);
    ASSERT_EQ(js.SetState(SCRIPTSTATE_STARTED), S_OK);
    const uint64_t before = ScriptExpressionCompileCount();
    for (int i = 0; i < 100000; ++i) {
        ASSERT_EQ(js.Run(u"n++;"), S_OK);
        ComVariant v;
        ASSERT_EQ(js.Eval(u"n * 2", v.Receive()), S_OK);
        ASSERT_EQ(v.vt, VT_I4);
        ASSERT_EQ(v.lVal, 2 * (i + 1));
    }
    EXPECT_EQ(ScriptExpressionCompileCount() - before, 1u);
    ComVariant v;
    ASSERT_EQ(js.Eval(u"n + 0.5", v.Receive()), S_OK);
    EXPECT_EQ(v.dblVal, 100000.5);
    EXPECT_EQ(ScriptExpressionCompileCount() - before, 2u);
    EXPECT_TRUE(js.site.errors.empty()) << Errors();
}
