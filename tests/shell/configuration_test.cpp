// The configuration file: command and image names, loading with its
// problems reported, the order of applying, and the shipped file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "shell/app/map_app.h"
#include "shell/config/command_names.h"
#include "shell/config/configuration.h"
#include "tests/shell/shell_doubles.h"

namespace {

TEST(CommandNames, NamesAndNumbers) {
    struct Row {
        const WChar* text;
        int id;
    } rows[] = {
        {u"openmap", 57601}, {u"OPENMAP", 57601}, {u"OpenMap", 57601}, {u"#1034", 1034},
        {u"", 0},            {u"nosuch", -1},     {u"#", -1},          {u"#x", -1},
        {u"#70000", -1},     {u"#-3", -1},        {u"#0", -1},         {u"#65535", 65535},
        {u"#000042", -1},    {u"featuregoto", 1705}, {u" openmap", -1},
    };
    for (const Row& row : rows) EXPECT_EQ(CommandIdFromName(row.text), row.id) << Narrow(row.text);
    EXPECT_EQ(Narrow(CommandNameFromId(57601)), "openmap");
    EXPECT_EQ(Narrow(CommandNameFromId(1034)), "");
    EXPECT_EQ(CommandNameFromId(4242), nullptr);
    // Every named row is reached by its own name.
    for (const CommandNameEntry& row : CommandNameTable)
        if (row.name[0]) EXPECT_EQ(CommandIdFromName(row.name), row.id) << Narrow(row.name);
}

TEST(CommandNames, ButtonImages) {
    struct Row {
        const WChar* name;
        int image;
    } rows[] = {{u"$HAPPY", 4}, {u"$smile", 4}, {u"$question", 0}, {u"$house", 12},
                {u"$Bex", 1},   {u"$nope", 0}, {u"$", 0}};
    for (const Row& row : rows) EXPECT_EQ(ButtonImageFromName(row.name), row.image) << Narrow(row.name);
}

TEST(ConfigurationReading, BarsPanesAndAlignment) {
    CXmlDocument doc;
    ASSERT_TRUE(doc.Parse(u"<TOOLBARS align=\"left\"><TOOLBAR name=\"Draw\" visible=\"true\" style=\"break\"/>"
                          u"<TOOLBAR name=\"browse\" create=\"false\"/></TOOLBARS>"));
    const CXmlNode* toolbars = doc.GetRoot();
    EXPECT_EQ(ToolbarsAlignment(toolbars), u'L');
    BuiltInBarConfig draw = ReadBuiltInBar(toolbars, u"draw");
    EXPECT_TRUE(draw.visible);
    EXPECT_TRUE(draw.newRow);
    EXPECT_FALSE(ReadBuiltInBar(toolbars, u"browse").create);
    EXPECT_TRUE(ReadBuiltInBar(toolbars, u"main").visible);
    EXPECT_FALSE(ReadBuiltInBar(nullptr, u"draw").visible);
    struct Align {
        const WChar* xml;
        WChar side;
    } aligns[] = {{u"<T align=\"Bottom\"/>", u'B'}, {u"<T align=\"right\"/>", u'R'},
                  {u"<T align=\"xyz\"/>", u'T'},    {u"<T/>", u'T'}, {u"<T align=\"\"/>", u'T'}};
    for (const Align& a : aligns) {
        ASSERT_TRUE(doc.Parse(a.xml));
        EXPECT_EQ(ToolbarsAlignment(doc.GetRoot()), a.side) << Narrow(a.xml);
    }
    ASSERT_TRUE(doc.Parse(u"<STATUSBAR/>"));
    StatusBarConfig bare = ReadStatusBarConfig(doc.GetRoot());
    EXPECT_TRUE(bare.visible);
    EXPECT_FALSE(bare.scale);
    EXPECT_FALSE(bare.rockermode);
    StatusBarConfig none = ReadStatusBarConfig(nullptr);
    EXPECT_TRUE(none.scale && none.rockermode && none.visible);
    ASSERT_TRUE(doc.Parse(u"<STATUSBAR visible=\"True\" scale=\"true\"/>"));
    EXPECT_FALSE(ReadStatusBarConfig(doc.GetRoot()).visible);  // only a lower-case "t" is true
}

class Configuration : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        SetScriptServices(&script_);
        app_.m_frame = &frame_;
        app_.m_forms = &frame_;
        app_.m_registerSystemObjects = [this](IScriptHost* host) {
            host->AddNamedItem(u"Application", nullptr, 14);
        };
    }
    void TearDown() override {
        SetScriptServices(nullptr);
        ShellTest::TearDown();
    }
    std::vector<std::string>& Journal() { return script_.journal; }

    CJournalScriptServices script_;
    CJournalFrame frame_{&script_.journal};
    CMapApp app_;
};

TEST_F(Configuration, ProblemsAreReportedAndTheProgramGoesOn) {
    struct Row {
        const char* what;
        std::string bytes;
        std::string line;  // the report's line, empty when none
    } rows[] = {
        {"not XML", "<Zarnip>\n<CONFIG>\n</CONFIGX>\n</Zarnip>",
         "The configuration file \\Program\\Zarnip.znx is not valid XML: XML parsing error. Unmatched tag: "
         "Expecting 'CONFIG' but encountered 'CONFIGX' at line 3"},
        {"another root", "<zarnip><CONFIG/></zarnip>",
         "The configuration file \\Program\\Zarnip.znx was not used: its root element is \"zarnip\", not \"Zarnip\"."},
        {"empty", "", "The configuration file \\Program\\Zarnip.znx is not valid XML: XML Input Empty"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Journal().clear();
        CMapApp app;
        app.m_frame = &frame_;
        app.m_registerSystemObjects = app_.m_registerSystemObjects;
        Put("Program/Zarnip.znx", row.bytes);
        EXPECT_FALSE(app.LoadConfiguration(u"Zarnip.znx"));
        EXPECT_EQ(app.GetConfiguration(), nullptr);
        ASSERT_EQ(app.GetConfigurationReport().Lines().size(), 1u);
        EXPECT_EQ(Narrow(app.GetConfigurationReport().Lines()[0]), row.line);
        EXPECT_FALSE(app.ApplyConfiguration());
        EXPECT_EQ(Journal(), (std::vector<std::string>{"CreateScriptHost", "StartEngine default",
                                                       "AddNamedItem Application 14"}));
    }
}

TEST_F(Configuration, AnUnreadableFileIsReportedAndAMissingOneIsNot) {
    EXPECT_FALSE(app_.LoadConfiguration(u"Zarnip.znx"));
    EXPECT_TRUE(app_.GetConfigurationReport().IsEmpty());
    ::mkdir(Host("Program/Folder.znx").c_str(), 0755);  // a folder where the file should be
    EXPECT_FALSE(app_.LoadConfiguration(u"\\Program\\Folder.znx"));
    ASSERT_EQ(app_.GetConfigurationReport().Lines().size(), 1u);
    EXPECT_EQ(Narrow(app_.GetConfigurationReport().Lines()[0]),
              "The configuration file \\Program\\Folder.znx could not be read.");
}

TEST_F(Configuration, ApplyingRunsScriptsBeforeWhatTheyPrepare) {
    Put("Docs/custom.znx",
        "<Zarnip debug=\"true\">"
        "<SCRIPT id=\"first\"/><SCRIPT language=\"JScript\" id=\"second\"/>"
        "<OUTER><CONFIG>"
        "<FORMS name=\"f\"/>"
        "<TOOLBARS><SCRIPT id=\"bars\"/><TOOLBAR name=\"mine\"/></TOOLBARS>"
        "<STATUSBAR scale=\"true\"/>"
        "<SYSTEMOBJECTS><Application OnStartup=\"x\"/><GPS OnActivate=\"y\"/></SYSTEMOBJECTS>"
        "</CONFIG></OUTER><CONFIG><TOOLBARS/></CONFIG>"
        "</Zarnip>");
    ASSERT_TRUE(app_.LoadConfiguration(u"\\Docs\\custom.znx"));
    EXPECT_TRUE(app_.ApplyConfiguration());
    EXPECT_EQ(Journal(), (std::vector<std::string>{
                             "CreateScriptHost", "CreateHeap", "StartEngine JScript",
                             "AddNamedItem Application 14", "RunScript SCRIPT(first)",
                             "RunScript SCRIPT(second)", "ReadForms FORMS(f)", "RunScript SCRIPT(bars)",
                             "LoadToolbars", "ApplyStatusBarConfig", "Bind Application to Application",
                             "Bind GPS to GPS", "SetScriptState 1"}));
    ASSERT_NE(frame_.toolbars, nullptr);
    EXPECT_EQ(frame_.toolbars->GetChildCount(), 2);  // the first CONFIG, found two levels down
    EXPECT_TRUE(app_.GetConfigurationReport().IsEmpty());
    app_.FreeConfiguration();
    EXPECT_EQ(app_.GetConfiguration(), nullptr);
}

TEST_F(Configuration, ThePreferencesObjectIsTheOneEveryoneReads) {
    Put("Docs/ZarnipPrefs.znx", "<Zarnip><PREFERENCES><DISPLAY units=\"2\"/></PREFERENCES></Zarnip>");
    {
        CMapApp app;
        COptionsSheet* options = app.CreatePreferences();
        EXPECT_EQ(GetPreferences(), options);
        EXPECT_EQ(&GetPreferences()->Data(), &options->Data());
        EXPECT_EQ(GetPreferences()->Data().display.units, 2);
    }
    EXPECT_EQ(GetPreferences()->Data().display.units, 0);  // the plain defaults again
}

TEST_F(Configuration, NoStatusBarElementNoStatusBarCall) {
    Put("Program/Zarnip.znx", "<Zarnip><CONFIG><TOOLBARS/></CONFIG></Zarnip>");
    ASSERT_TRUE(app_.LoadConfiguration(u"Zarnip.znx"));
    EXPECT_TRUE(app_.ApplyConfiguration());
    EXPECT_EQ(frame_.statusbar, nullptr);
    EXPECT_EQ(Journal().back(), "SetScriptState 1");
}

TEST_F(Configuration, TheShippedFile) {
    const std::string shipped = std::string(ZN_SOURCE_DIR) + "/data/System/Zarnip.znx";
    ASSERT_EQ(std::system(("xmllint --noout '" + shipped + "'").c_str()), 0);
    ASSERT_EQ(std::system(("cp '" + shipped + "' '" + Host("Program/Zarnip.znx") + "'").c_str()), 0);
    ASSERT_TRUE(app_.LoadConfiguration(u"Zarnip.znx"));
    EXPECT_TRUE(app_.ApplyConfiguration());
    const CXmlNode* root = app_.GetConfiguration()->GetDocument().GetRoot();
    const CXmlNode* toolbars = FindConfigElement(root)->FindChild(u"TOOLBARS");
    EXPECT_EQ(ToolbarsAlignment(toolbars), u'T');
    for (const WChar* bar : {u"main", u"browse", u"draw"}) {
        BuiltInBarConfig config = ReadBuiltInBar(toolbars, bar);
        EXPECT_TRUE(config.create) << Narrow(bar);
        EXPECT_EQ(config.visible, WString(bar) != u"draw") << Narrow(bar);
    }
    ASSERT_NE(frame_.statusbar, nullptr);
    StatusBarConfig panes = ReadStatusBarConfig(frame_.statusbar);
    EXPECT_TRUE(panes.visible && panes.scale && panes.rockermode);
    EXPECT_TRUE(app_.GetConfigurationReport().IsEmpty());
    EXPECT_EQ(Journal(), (std::vector<std::string>{"CreateScriptHost", "StartEngine default",
                                                   "AddNamedItem Application 14", "LoadToolbars",
                                                   "ApplyStatusBarConfig", "SetScriptState 1"}));
}

}  // namespace
