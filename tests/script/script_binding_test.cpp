// Binding handlers from XML: event attributes in document order, SCRIPT
// children with inline text or src files, the questions asked before a host
// is made, and a layer file's scripts beside the system objects.
#include <gtest/gtest.h>

#include <filesystem>

#include "map/layers/shape_layer.h"
#include "shell/app/app_services.h"
#include "script_world.h"

namespace scripttest {
namespace {

class BindingTest : public ScriptWorld {};

TEST_F(BindingTest, EventAttributes) {
    CScriptHost& host = NewHost();
    ComPtr<TToolItem> button(new TToolItem(u"btnGo"));
    EXPECT_TRUE(host.AddNamedItem(u"btnGo", button.Get(), 6));
    // Case variants are two scriptlets in document order; "caption" is no
    // event; "OnOpen" names an event of another interface and never fires
    // here; Ghost is no item the engine knows: one error, binding goes on.
    auto doc = Xml("System/Zarnip.znx", R"(<Zarnip>
<BUTTON name="btnGo" onclick="Log.Write &quot;second&quot;" caption="Go" OnClick="Log.Write &quot;first&quot;" ONCLICK="Log.Write &quot;third&quot;" OnOpen="Log.Write &quot;never&quot;"/>
<BUTTON name="Ghost" OnClick="Log.Write 1"/>
<BUTTON name="btnGo" OnClick="Log.Write &quot;after the ghost&quot;"/>
</Zarnip>)");
    const CXmlNode* root = doc->GetRoot();
    EXPECT_TRUE(BindElementEvents(host, root->GetChild(0), u"btnGo"));
    EXPECT_TRUE(BindElementEvents(host, root->GetChild(1), u"Ghost"));
    EXPECT_TRUE(BindElementEvents(host, root->GetChild(2), u"btnGo"));
    EXPECT_FALSE(BindElementEvents(host, nullptr, u"btnGo"));
    host.SetScriptState(ScriptState::Connected);
    FireScriptEvent(button.Get(), 7, true, 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{"second", "first", "third", "after the ghost"}));
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(BindingTest, ScriptElements) {
    CScriptHost& host = NewHost();
    Put("Maps/Forms/Lib.VBS", "Log.Write \"lib in another case\"\n");
    Put("Maps/sub/helpers.vbs", "Log.Write \"from a folder\"\n");
    Put("Shared/root.vbs", "Log.Write \"from the root\"\n");
    static const char kUtf16[] = "\xFF\xFEL\0o\0g\0.\0W\0r\0i\0t\0e\0 \0\"\0\xE9\0\"\0";
    Put("Maps/utf16.vbs", std::string(kUtf16, sizeof kUtf16 - 1));
    auto doc = Xml("Maps/Forms/survey.znl", R"(<Zarnip>
<SCRIPT>Log.Write "inline"</SCRIPT>
<SCRIPT src="lib.vbs"/>
<SCRIPT src="missing.vbs"/>
<SCRIPT src="..\sub\helpers.vbs"/>
<SCRIPT src="\Shared\root.vbs"/>
<SCRIPT src="..\..\..\..\Shared\root.vbs"/>
<SCRIPT src="..\utf16.vbs"/>
<SCRIPT/>
<script>Log.Write "not a SCRIPT element"</script>
<LAYER><SCRIPT>Log.Write "not a direct child"</SCRIPT></LAYER>
</Zarnip>)");
    EXPECT_EQ(RunScriptElements(host, doc->GetRoot()), 8);
    host.SetScriptState(ScriptState::Started);
    EXPECT_EQ(Log(), (std::vector<std::string>{"inline", "lib in another case", "from a folder",
                                               "from the root", "from the root", "\xC3\xA9"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
    // A text that was not read from a file has no folder for a bare name.
    CXmlDocument text;
    ASSERT_TRUE(text.Parse(u"<A><SCRIPT src=\"lib.vbs\"/></A>"));
    EXPECT_EQ(ScriptSourcePath(text.GetRoot()->GetChild(0)), u"");
    EXPECT_EQ(RunScriptElements(host, text.GetRoot()), 1);
}

TEST_F(BindingTest, QuestionsBeforeAHost) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(uR"(<BUTTON onpointerdown="a" OnPointerUp="b" onpointerx="c" caption="d">
<MENU><ITEM><SCRIPT language="JScript"/></ITEM></MENU>
<SUB><SCRIPT language=""/></SUB>
<SCRIPT language="VBScript"/>
</BUTTON>)"));
    const CXmlNode* e = doc.GetRoot();
    struct Case {
        const char16_t* prefix;
        bool answer;
    };
    for (const Case& c : {Case{u"onpointer", true}, Case{u"OnPointerU", true},
                          Case{u"OnPointerD", false}, Case{u"onpointerx", false},
                          Case{nullptr, true}, Case{u"", true}, Case{u"caption", false}}) {
        EXPECT_EQ(HasEventAttributes(e, c.prefix), c.answer) << text::ToUtf8(c.prefix ? c.prefix : u"null");
    }
    EXPECT_FALSE(HasEventAttributes(e->GetChild(0), nullptr));
    WString language;
    EXPECT_TRUE(GetScriptLanguage(e, language));
    EXPECT_EQ(language, u"VBScript") << "children before subtrees";
    EXPECT_TRUE(GetScriptLanguage(e->GetChild(0), language));
    EXPECT_EQ(language, u"JScript");
    EXPECT_FALSE(GetScriptLanguage(e->GetChild(1), language));
    EXPECT_FALSE(GetScriptLanguage(e->GetChild(0)->GetChild(0)->GetChild(0), language));
}

// The application's scripting as the program will install it: registers
// the system objects in every host it is given.
class TestAppScripting : public IAppScripting {
public:
    explicit TestAppScripting(std::function<void(IScriptHost*)> f) : register_(std::move(f)) {}
    void RegisterSystemObjects(IScriptHost* host) override { register_(host); }
    IDispatch* GetApplicationObject() override { return nullptr; }
    void LoadApplets(const WString&) override {}
    void DeleteFormsAndApplets() override {}

private:
    std::function<void(IScriptHost*)> register_;
};

TEST_F(BindingTest, ALayerFilesScriptsSeeTheSystemObjects) {
    std::vector<std::string> items;
    TestAppScripting scripting([&](IScriptHost* host) {
        items.push_back("system objects");
        RegisterSystemObjects(*static_cast<CScriptHost*>(host));
    });
    services_->SetAppScripting(&scripting);
    const std::string shapes = std::string(ZN_TEST_DATA) + "/shape/";
    std::filesystem::create_directories(root_ + "/s");
    for (const char* ext : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(shapes + "linez" + ext, root_ + "/s/linez" + ext);
    Put("s/linez.znl", "<Zarnip><SCRIPT language=\"VBScript\">"
                       "Log.Write \"layer sees \" &amp; Application.Applets(1).Name\n"
                       "If IsObject(Layer) Then Log.Write \"and its Layer\""
                       "</SCRIPT><LAYER name=\"s\" OnOpen=\"Log.Write 1\"/></Zarnip>");
    {
        CShapeLayer layer;
        ASSERT_TRUE(layer.Open(u"\\s\\linez.shp"));
    }
    services_->SetAppScripting(nullptr);
    EXPECT_EQ(items, (std::vector<std::string>{"system objects"}));
    // The layer's own OnOpen handler runs once the dataset is open.
    EXPECT_EQ(Log(), (std::vector<std::string>{"layer sees Main", "and its Layer", "1"}));
    EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
}

}  // namespace
}  // namespace scripttest
