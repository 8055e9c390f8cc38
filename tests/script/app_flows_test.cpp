// Flows of the program that tests elsewhere pin with recording doubles, run
// once end to end with real engines and handlers that log.
#include <gtest/gtest.h>

#include <filesystem>

#include "map/layers/shape_layer.h"
#include "platform/win/msgbox.h"
#include "script/script_services.h"
#include "script_objects.h"
#include "shell/app/app_services.h"
#include "shell/app/map_app.h"
#include "tests/shell/shell_doubles.h"

namespace scripttest {
namespace {

// The main window and the forms as the applier sees them: each asks the
// host whether the scripts it follows were parsed.
class CAskingFrame : public IConfigFrame, public IConfigForms {
public:
    void LoadToolbars(const CXmlNode*, IScriptHost* host) override {
        TheJournal().Add(u"LoadToolbars sees " + Ask(host, u"BarsReady()"));
    }
    void ApplyStatusBarConfig(const CXmlNode*) override { TheJournal().Add(u"ApplyStatusBarConfig"); }
    void ReadForms(const CXmlNode*, DWORD, IScriptHost* host) override {
        TheJournal().Add(u"ReadForms sees " + Ask(host, u"RootReady()"));
    }

private:
    static WString Ask(IScriptHost* host, const WChar* expression) {
        ComVariant v, s;
        if (!host->Evaluate(expression, v.Receive())) return u"nothing";
        VariantChangeType(&s, &v, 0, VT_BSTR);
        return WString(BstrView(s.bstrVal));
    }
};

// The services with in-test layer objects, as the map objects will be.
class CServicesWithLayers : public CScriptServices {
public:
    IDispatch* CreateLayerObject(CLayer* layer) override {
        auto* object = new TLayer(layer ? layer->GetName() : WString());
        object->AddRef();
        return object;
    }
};

// The application's scripting: registers the system objects in every host.
class CTestAppScripting : public IAppScripting {
public:
    std::function<void(IScriptHost*)> registerObjects;
    void RegisterSystemObjects(IScriptHost* host) override { registerObjects(host); }
    IDispatch* GetApplicationObject() override { return nullptr; }
    void LoadApplets(const WString&) override {}
    void DeleteFormsAndApplets() override {}
};

class AppFlows : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ResetThisEventForTests();
        TheJournal().lines.clear();
        SetScriptServices(&services_);
        app_ = ComPtr<TApplication>(new TApplication);
        log_ = ComPtr<TLog>(new TLog);
        appScripting_.registerObjects = [this](IScriptHost* host) { RegisterSystemObjects(host); };
        services_.SetAppScripting(&appScripting_);
    }
    void TearDown() override {
        SetScriptServices(nullptr);
        app_.Reset();
        log_.Reset();
        ResetThisEventForTests();
        ShellTest::TearDown();
    }
    void RegisterSystemObjects(IScriptHost* host) {
        host->AddNamedItem(u"Application", app_.Get(), 14);
        host->AddNamedItem(u"ThisEvent", &ThisEvent(), 14);
        host->AddNamedItem(u"Log", log_.Get(), 2);
    }
    std::vector<std::string>& Log() { return TheJournal().lines; }

    CServicesWithLayers services_;
    CTestAppScripting appScripting_;
    ComPtr<TApplication> app_;
    ComPtr<TLog> log_;
};

// Root scripts are parsed before the forms are read, toolbar scripts before
// their bars; everything parsed runs when the engine starts at the end; the
// system objects' handlers answer once the engine is connected.
TEST_F(AppFlows, TheConfigurationIsAppliedInItsOrder) {
    Put("Program/Zarnip.znx", R"(<Zarnip debug="true">
<SCRIPT>Function RootReady : RootReady = "root" : End Function
Log.Write "root runs"
MsgBox "Configured", 64, "Zarnip"</SCRIPT>
<CONFIG>
<FORMS/>
<TOOLBARS><SCRIPT>Function BarsReady : BarsReady = "bars" : End Function
Log.Write "toolbar script runs"</SCRIPT></TOOLBARS>
<STATUSBAR/>
<SYSTEMOBJECTS><Application OnStartUp="Log.Write &quot;started &quot; &amp; ThisEvent.Name"/></SYSTEMOBJECTS>
</CONFIG></Zarnip>)");
    CAskingFrame frame;
    CMapApp app;
    app.m_frame = &frame;
    app.m_forms = &frame;
    app.m_registerSystemObjects = [this](IScriptHost* host) { RegisterSystemObjects(host); };
    ASSERT_TRUE(app.LoadConfiguration(u"Zarnip.znx"));
    EXPECT_TRUE(app.ApplyConfiguration());
    ASSERT_NE(app.GetScriptHost(), nullptr);
    app.GetScriptHost()->SetScriptState(ScriptState::Connected);
    FireScriptEvent(app_.Get(), 1, true, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"ReadForms sees root", "LoadToolbars sees bars",
                                               "ApplyStatusBarConfig", "root runs",
                                               "toolbar script runs", "started OnStartUp"}));
    const auto boxes = win::MessageBoxLog();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Configured");
    app.ExitInstance();
    EXPECT_FALSE(app.GetScriptHost()->IsStarted());
}

// A layer file's handlers hear the layer open and close through the map
// engine's events.
TEST_F(AppFlows, ALayerOpensAndCloses) {
    const std::string shapes = std::string(ZN_TEST_DATA) + "/shape/";
    std::filesystem::create_directories(Host("s"));
    for (const char* ext : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(shapes + "linez" + ext, Host("s/linez") + ext);
    Put("s/linez.znl", R"(<Zarnip><SCRIPT>
Sub Layer_OnClose
  Log.Write "closing " &amp; IsObject(ThisEvent.Object)
End Sub
</SCRIPT><LAYER OnOpen="Log.Write &quot;open &quot; &amp; ThisEvent.Name"/></Zarnip>)");
    {
        CShapeLayer layer;
        ASSERT_TRUE(layer.Open(u"\\s\\linez.shp"));
        layer.Close();
    }
    EXPECT_EQ(Log(), (std::vector<std::string>{"open OnOpen", "closing True"}));
    EXPECT_TRUE(win::MessageBoxLog().empty()) << Narrow(win::MessageBoxLog()[0].text);
}

}  // namespace
}  // namespace scripttest
