// Applets loaded from a folder into real engines: which files load and in
// what order, the collection's look-ups, each applet's engine and events,
// its toolbar handlers and forms, and the global applet sharing the global
// engine.
#include <sys/stat.h>

#include "app_world.h"
#include "core/xml_node.h"
#include "map/layers/shape_layer.h"
#include "script/app/applet.h"
#include "script/app/applets.h"

namespace apptest {
namespace {

// What the forms subsystem is asked for an applet.
struct FormsCall {
    IScriptHost* host;
    DWORD locale;
    std::string firstForm;
};
std::vector<IScriptHost*> g_formHosts;
std::vector<FormsCall> g_formCalls;

class CRecordingForms : public ILayerForms {
public:
    explicit CRecordingForms(IScriptHost* host) : host_(host) {}
    bool ReadForms(const CXmlNode* forms, DWORD localeId) override {
        const CXmlNode* first = forms->GetChildCount() ? forms->GetChild(0) : nullptr;
        g_formCalls.push_back({host_, localeId, first ? text::ToUtf8(first->GetAttribute(u"name")) : ""});
        return true;
    }
    void* GetForm(bool) override { return nullptr; }

private:
    IScriptHost* host_;
};

std::unique_ptr<ILayerForms> RecordingForms(IScriptHost* host) {
    g_formHosts.push_back(host);
    return std::make_unique<CRecordingForms>(host);
}

class Applets : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        g_formHosts.clear();
        g_formCalls.clear();
        SetLayerFormsFactory(&RecordingForms);
        ASSERT_NE(OpenFrame(), nullptr);
        win::SetMainWindow(frame_->GetSafeHwnd());
        const std::string trace = "Application.UserProperties(&quot;order&quot;) = "
                                  "Application.UserProperties(&quot;order&quot;) &amp; ";
        PutFile("Program/Applets/a.zna",
                "<Zarnip><APPLET name=\"Alpha\" global=\"true\" OnLoad=\"NoSuchItem.Run\">"
                "<SCRIPT>GlobalShared = 5</SCRIPT></APPLET></Zarnip>");
        PutFile("Program/Applets/B.ZNA",
                "<Zarnip debug=\"true\"><SCRIPT>BetaVar = \"beta\"</SCRIPT>"
                "<APPLET name=\"Beta\" OnLoad=\"" + trace + "&quot;[load]&quot;\">"
                "<LOCALE lcid=\"0x40C\"/>"
                "<SCRIPT>" + trace + "\"(code)\"</SCRIPT>"
                "<TOOLBAR name=\"BetaBar\"><TOOLBUTTON command=\"\" name=\"BetaTool\" "
                "OnClick=\"Application.UserProperties(&quot;click&quot;) = BetaVar\"/></TOOLBAR>"
                "<FORMS><FORM name=\"Survey\"/></FORMS></APPLET></Zarnip>");
        PutFile("Program/Applets/c.zna",
                "<Zarnip><APPLET><SCRIPT>Application.UserProperties(\"seen\") = IsEmpty(BetaVar)</SCRIPT>"
                "</APPLET></Zarnip>");
        PutFile("Program/Applets/d.zna", "<Zarnip><APPLET name=\"Broken\"");
        PutFile("Program/Applets/e.zna", "<Other><APPLET name=\"Other\"/></Other>");
        PutFile("Program/Applets/notes.txt", "<Zarnip><APPLET name=\"Text\"/></Zarnip>");
        ::mkdir(Host("Program/Applets/x.zna").c_str(), 0755);
        PutFile("Program/Applets/f.zna", "<Zarnip><APPLET name=\"Twin\"><SCRIPT>Who = \"f\"</SCRIPT></APPLET></Zarnip>");
        PutFile("Program/Applets/g.zna", "<Zarnip><APPLET name=\"Twin\"><SCRIPT>Who = \"g\"</SCRIPT></APPLET></Zarnip>");
    }
    void TearDown() override {
        SetLayerFormsFactory(nullptr);
        AppWorld::TearDown();
    }
    void Load() {
        scripting_->RegisterSystemObjects(host_.get());
        ASSERT_TRUE(Run("Function Answer(o)\nIf o Is Nothing Then Answer = \"Nothing\" Else Answer = o.Name\nEnd Function"));
        scripting_->LoadApplets(u"\\Program\\Applets");
        host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    }
};

TEST_F(Applets, LoadOrderLookUpsAndEngines) {
    Load();
    // Loaded in name order without regard to case; the bad ones skipped.
    EXPECT_EQ(Number("Application.Applets.Count"), 5);
    ASSERT_TRUE(Run("names = \"\"\nFor Each a In Application.Applets\nnames = names & a.Name & \",\"\nNext"));
    EXPECT_EQ(Text("names"), "Alpha,Beta,c.zna,Twin,Twin,");
    struct Case {
        const char* index;
        const char* answer;
    } cases[] = {
        {"\"beta\"", "Beta"}, {"1", "Alpha"}, {"\"C.ZNA\"", "c.zna"}, {"0", "Nothing"}, {"6", "Nothing"},
        {"\"none\"", "Nothing"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Text("Answer(Application.Applets(" + std::string(c.index) + "))"), c.answer) << c.index;
    EXPECT_EQ(Error("Set a = Application.Applets(Application)"), kInvalidArg);

    // Two of one name: the first loaded.
    ASSERT_TRUE(Run("Application.Applets(\"TWIN\").Execute \"Application.UserProperties(\"\"who\"\") = Who\""));
    EXPECT_EQ(Text("Application.UserProperties(\"who\")"), "f");

    // Each non-global applet has its own engine; the global one shares the
    // global engine.
    EXPECT_EQ(Text("Application.UserProperties(\"seen\")"), "True");
    EXPECT_EQ(Text("IsEmpty(BetaVar)"), "True");
    EXPECT_EQ(Number("GlobalShared"), 5);
    ASSERT_TRUE(Run("Application.Applets(\"Beta\").Execute \"Application.UserProperties(\"\"beta\"\") = BetaVar\""));
    EXPECT_EQ(Text("Application.UserProperties(\"beta\")"), "beta");
    ASSERT_TRUE(Run("Application.Applets(\"Alpha\").Execute \"AlphaRan = GlobalShared + 1\""));
    EXPECT_EQ(Number("AlphaRan"), 6);

    // OnLoad once, after the applet's code ran at connection; the global
    // applet's OnLoad is not bound, so nothing complains.
    EXPECT_EQ(Text("Application.UserProperties(\"order\")"), "(code)[load]");
    EXPECT_TRUE(win::MessageBoxLog().empty());

    // The applet's button runs its handler in the applet's engine.
    ASSERT_TRUE(Run("Application.ToolBars(\"BetaBar\")(1).Click"));
    EXPECT_EQ(Text("Application.UserProperties(\"click\")"), "beta");

    // Forms went to a collection made for the applet's host, with its locale.
    CApplet* beta = scripting_->Applets().GetAt(1);
    ASSERT_EQ(g_formCalls.size(), 1u);
    EXPECT_EQ(g_formCalls[0].host, beta->GetHost());
    EXPECT_EQ(g_formCalls[0].locale, 0x40Cu);
    EXPECT_EQ(g_formCalls[0].firstForm, "Survey");
    EXPECT_EQ(beta->GetLocale(), 0x40Cu);
    // One forms collection per non-global applet.
    EXPECT_EQ(g_formHosts.size(), 4u);
    // The forms have no script classes here.
    EXPECT_EQ(Error("Set f = Application.Applets(\"Beta\").Forms"), E_FAIL);
    EXPECT_TRUE(static_cast<CScriptHost*>(beta->GetHost())->KeepsTexts());  // debug="true"
    EXPECT_FALSE(static_cast<CScriptHost*>(scripting_->Applets().GetAt(2)->GetHost())->KeepsTexts());
}

TEST_F(Applets, AFolderWithOrWithoutItsBackslashFindsTheSameFiles) {
    CApplets list;
    list.SetGlobal(host_.get(), nullptr);
    list.LoadFolder(u"\\Program\\Applets\\");
    EXPECT_EQ(list.GetCount(), 5);
    EXPECT_EQ(list.IndexOf(u"twin"), 3);
    EXPECT_EQ(list.IndexOf(u"Nope"), -1);
    list.DeleteAll();
    EXPECT_EQ(list.GetCount(), 0);
}

}  // namespace
}  // namespace apptest
