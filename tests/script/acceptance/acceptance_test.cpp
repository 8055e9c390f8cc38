// Realistic scripts through the real host, engines, binding and events,
// with the program's item names, order and flags.
#include "script_world.h"

namespace scripttest {
namespace {

class Acceptance : public ScriptWorld {};

TEST_F(Acceptance, DefaultMembersForGetPutAndCall) {
    CScriptHost& host = NewHost();
    EXPECT_TRUE(host.ExecuteString(uR"(
Log.Write Application.Applets(1).Name
Map.Layers("Roads").Visible = False
Log.Write Map("Rivers").Name
Set rs = Map.Layers("Roads").Records
Log.Write rs.Fields("NAME") & "!"
Log.Write rs("LANES") + 1
)"));
    host.SetScriptState(ScriptState::Started);
    EXPECT_EQ(Log(), (std::vector<std::string>{"Main", "Roads.Visible=False", "Rivers",
                                               "Main Street!", "3"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

}  // namespace
}  // namespace scripttest

namespace scripttest {
namespace {

TEST_F(Acceptance, ForEachOverNoneAndThreeItems) {
    CScriptHost& host = NewHost();
    map_->layers->itemCalls.clear();
    EXPECT_TRUE(host.ExecuteString(uR"(
n = 0
For Each f In Map.Layers("Towns").Records.Fields
  n = n + 1
Next
Log.Write "none:" & n
For Each layer In Map.Layers
  Log.Write layer.Name
Next
)"));
    host.SetScriptState(ScriptState::Started);
    EXPECT_EQ(Log(), (std::vector<std::string>{"none:0", "Roads", "Rivers", "Towns"}));
    EXPECT_EQ(map_->layers->itemCalls, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(Acceptance, JScriptEnumeratorOverACollection) {
    CScriptHost& host = NewHost(u"JScript");
    EXPECT_TRUE(host.ExecuteString(uR"(
for (var e = new Enumerator(Map.Layers); !e.atEnd(); e.moveNext())
  Log.Write(e.item().Name);
var none = new Enumerator(Map.Layers("Towns").Records.Fields);
Log.Write("none:" + none.atEnd());
Log.Write(Application.Applets(2).Name);
)"));
    host.SetScriptState(ScriptState::Started);
    EXPECT_EQ(Log(), (std::vector<std::string>{"Roads", "Rivers", "Towns", "none:true", "Survey"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

// A layer file's host: the system objects, then "Layer".
TEST_F(Acceptance, ProceduresAndScriptletsHookedUpAtConnect) {
    CScriptHost& host = NewHost();
    EXPECT_TRUE(host.AddNamedItem(u"Layer", Layer(0), 6));
    auto doc = Xml("Maps/roads.znl", R"(<LAYER OnSelectionChanged="x">
<SYSTEMOBJECTS><Map OnSelectionChanged="Log.Write &quot;attribute&quot;"/></SYSTEMOBJECTS>
</LAYER>)");
    const CXmlNode* map = doc->GetRoot()->FindChild(u"SYSTEMOBJECTS")->GetChild(0);
    EXPECT_TRUE(host.BindElementEvents(map, u"Map"));
    EXPECT_TRUE(host.ExecuteString(uR"(
Sub Layer_OnOpen
  Log.Write "open " & ThisEvent.Object.Name
End Sub
Sub Map_OnSelectionChanged
  Log.Write "procedure " & ThisEvent.Name
End Sub
)"));
    host.SetScriptState(ScriptState::Connected);
    FireScriptEvent(Layer(0), 24, true, 0);
    FireScriptEvent(map_.Get(), 29, true, 0);
    // A procedure defined while disconnected is hooked up at the next
    // connect; the ones hooked up before still run once.
    host.SetScriptState(ScriptState::Disconnected);
    EXPECT_TRUE(host.ExecuteString(u"Sub Map_OnAfterDraw\n  Log.Write \"drawn\"\nEnd Sub"));
    FireScriptEvent(map_.Get(), 26, true, 0);
    host.SetScriptState(ScriptState::Connected);
    FireScriptEvent(map_.Get(), 26, true, 0);
    FireScriptEvent(Layer(0), 24, true, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"open Roads", "attribute",
                                               "procedure OnSelectionChanged", "drawn",
                                               "open Roads"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

TEST_F(Acceptance, ParameterisedAndByReferencePuts) {
    CScriptHost& host = NewHost();
    EXPECT_TRUE(host.ExecuteString(uR"(
Application.StatusBar.Text(1) = "Ready"
Application.StatusBar.Text = "Map"
Log.Write Application.StatusBar.Text(1) & "/" & Application.StatusBar(0)
Application.UserProperties("k") = 5
Log.Write Application.UserProperties("k") + 1
Set rs = Map.Layers("Roads").Records
Set pt = rs.Fields.Shape
pt.x = 12.5
Set rs.Fields.Shape = pt
Log.Write rs.Fields.Shape.x
ThisEvent.MessageText = "x"
Log.Write ThisEvent.MessageText
)"));
    host.SetScriptState(ScriptState::Started);
    EXPECT_EQ(Log(), (std::vector<std::string>{"StatusBar(1)=Ready", "StatusBar(0)=Map",
                                               "Ready/Map", "6", "Fields.Shape set", "12.5",
                                               "x"}));
    EXPECT_EQ(ThisEvent().MessageText(), u"x");
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

TEST_F(Acceptance, UnqualifiedGlobalMembers) {
    CScriptHost& host = NewHost();
    ComPtr<TToolItem> ok(new TToolItem(u"btnOK"));
    EXPECT_TRUE(host.AddNamedItem(u"btnOK", ok.Get(), 6));
    auto doc = Xml("System/Zarnip.znx", R"(<Zarnip><BUTTON name="btnOK" onclick="Result = False
Refresh
Log.Write x &amp; &quot;,&quot; &amp; y"/></Zarnip>)");
    EXPECT_TRUE(host.BindElementEvents(doc->GetRoot()->GetChild(0), u"btnOK"));
    EXPECT_TRUE(host.ExecuteString(uR"(
Dim Clear
Clear = "mine"
Log.Write Clear
Sub Local
  Dim a
  a = 5
  Execute "Log.Write ""local "" & a"
End Sub
Local
)"));
    host.SetScriptState(ScriptState::Connected);
    SetEventResultBool(true);
    ResetEventState();
    FireScriptEvent(ok.Get(), 7, true, 0);
    EXPECT_FALSE(GetEventResultBool(true));
    EXPECT_EQ(Log(), (std::vector<std::string>{"mine", "local 5", "Map.Refresh",
                                               "500000.5,4649776.25"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

TEST_F(Acceptance, OnErrorResumeNextAcrossFailingMembers) {
    CScriptHost& host = NewHost();
    EXPECT_TRUE(host.ExecuteString(uR"(
On Error Resume Next
n = ThisEvent.Name
Log.Write Err.Number & "|" & Err.Description & "|" & Err.Source
Err.Clear
v = Application.Properties("Nope")
Log.Write Err.Number & "|" & Err.Description & "|" & Err.Source
Err.Clear
Log.Write Application.Properties("Version") & "|" & Err.Number
)"));
    host.SetScriptState(ScriptState::Started);
    // E_FAIL keeps its number; E_INVALIDARG is the language's error 5.
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "-2147467259|An exception occurred|VBScript runtime error",
                         "5|Invalid procedure call or argument|VBScript runtime error", "1.0|0"}));
    EXPECT_TRUE(Boxes().empty());
}

}  // namespace
}  // namespace scripttest

namespace scripttest {
namespace {

TEST_F(Acceptance, ErrorPositionsOfConfigurationScriptsAndFiles) {
    CScriptHost& host = NewHost();
    Put("System/Lib.vbs", "Sub Helper\r\n  If Then\r\nEnd Sub\r\n");
    auto doc = Xml("System/Zarnip.znx", "<Zarnip debug=\"true\"><SCRIPT language=\"VBScript\">"
                                        "Dim total\n"
                                        "total = 10\n"
                                        "Log.Write total / zero + Nothing\n"
                                        "Log.Write \"not reached\"\n"
                                        "total = 0</SCRIPT><SCRIPT src=\"lib.VBS\"/></Zarnip>");
    EXPECT_EQ(RunScriptElements(host, doc->GetRoot()), 2);
    host.SetScriptState(ScriptState::Started);
    // The file's syntax error shows while it is parsed, the run-time error
    // when the engine starts.
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(text::ToUtf8(boxes[0].caption + u"|" + boxes[0].text),
              "Zarnip Script Error 800A03FF|VBScript compilation error\nExpected expression\n"
              "[Line: 2, Column : 6]\n  If Then\n  If Then");
    EXPECT_EQ(text::ToUtf8(boxes[1].caption + u"|" + boxes[1].text),
              "Zarnip Script Error 800A000B|VBScript runtime error\nDivision by zero\n"
              "[Line: 3, Column : 1]\nLog.Write total / zero + Nothing\n"
              "Log.Write total / zero + Nothing");
    EXPECT_EQ(boxes[1].type, MB_OK | MB_SETFOREGROUND);
    EXPECT_TRUE(Log().empty());
}

// A handler that fires another event, answered in the same engine and in
// another one; the outer handler's event is intact afterwards.
TEST_F(Acceptance, HandlersFiringEvents) {
    CScriptHost& vbs = NewHost();
    CScriptHost& js = NewHost(u"JScript");
    ComPtr<TToolItem> a(new TToolItem(u"btnA"));
    ComPtr<TToolItem> b(new TToolItem(u"btnB"));
    ComPtr<TToolItem> c(new TToolItem(u"btnC"));
    EXPECT_TRUE(vbs.AddNamedItem(u"btnA", a.Get(), 6));
    EXPECT_TRUE(vbs.AddNamedItem(u"btnB", b.Get(), 6));
    EXPECT_TRUE(js.AddNamedItem(u"btnB", b.Get(), 6));
    EXPECT_TRUE(js.AddNamedItem(u"btnC", c.Get(), 6));
    auto doc = Xml("System/Zarnip.znx", R"X(<Zarnip>
<BUTTON name="btnA" OnClick="Log.Write &quot;A &quot; &amp; ThisEvent.Object.Name
btnB.Click
Log.Write &quot;A again &quot; &amp; ThisEvent.Name &amp; &quot; &quot; &amp; ThisEvent.Object.Name"/>
<BUTTON name="btnB" OnClick="Log.Write &quot;B in VBScript&quot;"/>
<JSBUTTON name="btnB" OnClick="Log.Write('B in JScript ' + ThisEvent.Object.Name); btnC.Click();"/>
<JSBUTTON name="btnC" OnClick="Log.Write('C in JScript')"/>
</Zarnip>)X");
    const CXmlNode* root = doc->GetRoot();
    EXPECT_TRUE(vbs.BindElementEvents(root->GetChild(0), u"btnA"));
    EXPECT_TRUE(vbs.BindElementEvents(root->GetChild(1), u"btnB"));
    EXPECT_TRUE(js.BindElementEvents(root->GetChild(2), u"btnB"));
    EXPECT_TRUE(js.BindElementEvents(root->GetChild(3), u"btnC"));
    vbs.SetScriptState(ScriptState::Connected);
    js.SetScriptState(ScriptState::Connected);
    FireScriptEvent(a.Get(), 7, true, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"A btnA", "B in VBScript", "B in JScript btnB",
                                               "C in JScript", "A again OnClick btnA"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
    EXPECT_EQ(ThisEvent().CurrentEventId(), -1);
}

// A button whose handler clicks itself stops with "Out of stack space" in
// the script; nothing overflows.
TEST_F(Acceptance, EndlessReentryEndsWithError28) {
    for (const char16_t* language : {u"VBScript", u"JScript"}) {
        SCOPED_TRACE(text::ToUtf8(language));
        win::ClearMessageBoxLog();
        CScriptHost& host = NewHost(language);
        ComPtr<TToolItem> self(new TToolItem(u"btnSelf"));
        EXPECT_TRUE(host.AddNamedItem(u"btnSelf", self.Get(), 6));
        EXPECT_TRUE(host.AddScriptlet(u"btnSelf", 7,
                                      language[0] == u'V' ? u"btnSelf.Click" : u"btnSelf.Click();"));
        host.SetScriptState(ScriptState::Connected);
        FireScriptEvent(self.Get(), 7, true, 0);
        const auto boxes = win::MessageBoxLog();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find(u"Out of stack space"), WString::npos)
            << text::ToUtf8(boxes[0].text);
        EXPECT_EQ(ScriptNestingDepth(), 0);
        host.StopEngine();
    }
}

}  // namespace
}  // namespace scripttest
