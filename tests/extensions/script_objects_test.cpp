// The Extensions and Extension script objects over the in-tree test
// modules, called from a real engine.
#include "ext_fixture.h"
#include "platform/win/window.h"
#include "script/app/app_scripting.h"
#include "script/script_event.h"
#include "script/script_host.h"
#include "script/script_services.h"

namespace {

class ExtensionScripts : public ExtensionTest {
protected:
    void SetUp() override {
        ExtensionTest::SetUp();
        services_ = std::make_unique<CScriptServices>();
        SetScriptServices(services_.get());
        scripting_ = std::make_unique<CAppScripting>(nullptr, nullptr);
    }
    void TearDown() override {
        if (host_) host_->StopEngine();
        host_.reset();
        scripting_.reset();
        SetScriptServices(nullptr);
        services_.reset();
        ExtensionTest::TearDown();
    }
    void Start(const std::vector<std::string>& modules) {
        Load(modules);
        scripting_->SetExtensions(list_.get());
        host_ = std::make_unique<CScriptHost>();
        ASSERT_TRUE(host_->StartEngine(u"VBScript"));
        scripting_->RegisterSystemObjects(host_.get());
        host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    }
    bool Run(const std::string& vbs) { return host_->ExecuteString(text::FromUtf8(vbs).c_str()); }
    std::string Text(const std::string& expression) {
        ComVariant v, s;
        host_->Evaluate(text::FromUtf8(expression).c_str(), v.Receive());
        if (FAILED(VariantChangeType(&s, &v, VARIANT_ALPHABOOL, VT_BSTR))) return "<none>";
        return text::ToUtf8(BstrView(s.bstrVal));
    }
    HRESULT Error(const std::string& statements) {
        Run("On Error Resume Next\nErr.Clear\n" + statements + "\nLastError = Err.Number");
        return static_cast<HRESULT>(std::stol(Text("LastError")));
    }

    std::unique_ptr<CScriptServices> services_;
    std::unique_ptr<CAppScripting> scripting_;
    std::unique_ptr<CScriptHost> host_;
};

TEST_F(ExtensionScripts, TheCollectionAndEachModule) {
    Start({"testlayer", "testgps"});
    ASSERT_TRUE(Run("Set X = Application.Extensions"));
    EXPECT_EQ(Text("X.Count"), "2");
    EXPECT_EQ(Text("X(\"TLYR\").Name"), "Test Layer");
    EXPECT_EQ(Text("X(\"TLYR\").CodeName"), "TLYR");
    // Loading order: the file names' order.
    EXPECT_EQ(Text("X(1).Name & \"|\" & X(2).Name"), "testgps.so|Test Layer");
    EXPECT_EQ(Text("X(\"tlyr\") Is Nothing"), "True");  // codes as written
    EXPECT_EQ(Text("X(\"NONE\") Is Nothing"), "True");
    EXPECT_EQ(Text("X(2) Is X(\"TLYR\")"), "True");
    EXPECT_EQ(Error("Set e = X(3)"), 5);  // E_INVALIDARG
    EXPECT_EQ(Error("Set e = X(0)"), 5);
    EXPECT_EQ(Error("Set e = X(X)"), E_FAIL);
    ASSERT_TRUE(Run("names = \"\"\nFor Each e In X\nnames = names & e.CodeName & \",\"\nNext"));
    EXPECT_EQ(Text("names"), text::ToUtf8(list_->GetAt(0)->GetCodeText()) + ",TLYR,");
    // The product version of the module's .res file.
    EXPECT_EQ(Text("X(2).Version"), "1.2.3.4");

    // Escape: a string, a number (a Long) the module changes, an omitted
    // argument (the module sees VT_ERROR, missing).
    CExtension* layer = Named(u"Test Layer");
    ClearModuleLog(layer);
    ASSERT_TRUE(Run("n = 70000\nr = X(2).Escape(\"abc\", n)"));
    EXPECT_EQ(Text("r"), "escaped");
    EXPECT_EQ(Text("n"), "70001");
    EXPECT_NE(ModuleLog(layer).find("EscapeArgs 8:abc 3 10"), std::string::npos) << ModuleLog(layer);
    EXPECT_NE(ModuleLog(layer).find("Escape 00000000"), std::string::npos);
    EXPECT_EQ(Error("r = X(1).Escape(1)"), 445);  // E_NOTIMPL as scripts see it

    // About and Properties with the main window.
    const std::string parent = text::ToUtf8(text::Format(u"parent %08X", HandleToToken(main_)));
    ASSERT_TRUE(Run("X(2).ShowAbout"));
    EXPECT_NE(ModuleLog(layer).find("About 1 " + parent), std::string::npos) << ModuleLog(layer);
    EXPECT_EQ(Text("X(2).ShowProperties"), "True");
    EXPECT_NE(ModuleLog(layer).find("Properties 1 " + parent), std::string::npos);
    EXPECT_EQ(Text("X(1).ShowProperties"), "False");
}

}  // namespace
