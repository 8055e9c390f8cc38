// Loading add-ins into the desktop host stand-in: a small test add-in and the
// real libznTools8.so, a library that is no add-in, unknown identifiers,
// errors crossing the boundary both ways, and the registration file.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/host/addins.h"
#include "desktop/host/host_faults.h"
#include "desktop/host/host_objects.h"
#include "desktop/host/host_ui_scripted.h"
#include "platform/fs/fs.h"
#include "tests/desktop/zntools3_test_util.h"

namespace {

using namespace host;

struct Unanswered : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class AddInLoading : public ::testing::Test {
protected:
    void SetUp() override {
        fs::SetDeviceRoot("/");
        fs::ClearMounts();
        fs::test::Reset();
        const std::string path = m_dir.Write("m.dmap", R"(<desktopmap version="1"><map name="m">
            <layer kind="feature" name="Roads"><data workspace="." dataset="roads"/></layer></map></desktopmap>)");
        DmapError e;
        m_app = OpenHostDocument(path, m_ui, &e);
        ASSERT_TRUE(m_app) << e.Text();
    }
    void TearDown() override {
        fs::test::Reset();
        fs::ResetConfiguration();
    }
    zn3test::TempDir m_dir;
    // The one prompt of these tests: the wizard, cancelled.
    ScriptedHostUi m_ui{*ParseAnswers("dialog \"Zarnip Map Wizard\" press=Cancel\n", nullptr),
                        [](const std::string& p) { throw Unanswered(p); }};
    std::shared_ptr<HostApplicationImpl> m_app;
};

TEST_F(AddInLoading, TheTestAddInAndItsErrorsBothWays) {
    std::vector<std::string> notes;
    auto libs =
        LoadAddIns({{ZN_TEST_ADDIN, {"Test.Toolbar", "Test.NoSuchBar"}, {}}}, *m_app, &notes);
    ASSERT_EQ(libs.size(), 1u);
    ASSERT_EQ(libs[0]->toolbars.size(), 1u);
    const LoadedToolbar& tb = libs[0]->toolbars[0];
    EXPECT_EQ(tb.toolbar->Caption(), "Test Bar");
    // The unknown item is left out and said; the third resolves without
    // regard to letter case.
    ASSERT_EQ(tb.commands.size(), 2u);
    EXPECT_EQ(tb.commands[0].command->Caption(), "Count");
    EXPECT_EQ(tb.commands[1].command->Caption(), "Throw");
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("Test.Unknown"), std::string::npos);
    EXPECT_NE(notes[1].find("Test.NoSuchBar"), std::string::npos);
    // OnCreate once per command.
    EXPECT_EQ(tb.commands[0].command->Tooltip(), "1");
    // The host's error reaches the add-in's catch, and the add-in's the host's.
    auto ui = ScriptedHostUi(*ParseAnswers("message Pellum OK\n", nullptr),
                             [](const std::string& p) { throw Unanswered(p); });
    EXPECT_FALSE(ClickCommand(*tb.commands[1].command, ui));
    EXPECT_EQ(tb.commands[1].command->Message(), "no layer 99");
    EXPECT_NE(ui.Log().find("Unexpected error in \"Throw\": from the add-in"), std::string::npos)
        << ui.Log();
    EXPECT_TRUE(ClickCommand(*tb.commands[0].command, m_ui));
}

TEST_F(AddInLoading, TheRealAddInShowsItsToolbar) {
    std::vector<std::string> notes;
    auto libs =
        LoadAddIns({{ZN_TOOLS8_LIBRARY, {"ZarnipTools.ZarnipToolbar"}, {}}}, *m_app, &notes);
    EXPECT_TRUE(notes.empty()) << notes[0];
    ASSERT_EQ(libs.size(), 1u);
    ASSERT_EQ(libs[0]->toolbars.size(), 1u);
    const LoadedToolbar& tb = libs[0]->toolbars[0];
    EXPECT_EQ(tb.toolbar->Name(), "ZarnipToolBar");
    EXPECT_EQ(tb.toolbar->Caption(), "Zarnip Tools");
    ASSERT_EQ(tb.commands.size(), 3u);
    const char* captions[] = {"Zarnip Map Wizard", "Export Symbology", "Pack Shapefile"};
    const int sizes[] = {16, 16, 32};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tb.commands[i].command->Caption(), captions[i]);
        EXPECT_EQ(tb.commands[i].command->Bitmap().width, sizes[i]);
    }
    // The third identifier of the toolbar is not the class's spelling.
    EXPECT_EQ(tb.commands[2].progId, "ZarnipTools.CompactShapefile");
    // The wizard over a map with a feature layer opens, and Cancel ends it.
    EXPECT_TRUE(ClickCommand(*tb.commands[0].command, m_ui));
    EXPECT_EQ(m_ui.Log().rfind("[dialog] Zarnip Map Wizard\n", 0), 0u) << m_ui.Log();
    EXPECT_EQ(m_ui.AnswersLeft(), 0u);
}

TEST_F(AddInLoading, LibrariesThatAreNoAddInsAreRefused) {
    std::vector<std::string> notes;
    auto libs = LoadAddIns({{ZN_NO_ENTRY_LIBRARY, {"Test.Toolbar"}, {}},
                            {m_dir.Path("missing.so"), {"Test.Toolbar"}, {}}},
                           *m_app, &notes);
    EXPECT_TRUE(libs.empty());
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_NE(notes[0].find("no entry point ZnCreateObject"), std::string::npos) << notes[0];
    EXPECT_NE(notes[0].find(ZN_NO_ENTRY_LIBRARY), std::string::npos);
    EXPECT_NE(notes[1].find("cannot be loaded"), std::string::npos) << notes[1];
}

TEST_F(AddInLoading, RegistrationReplacesItsOwnEntryAndFailedWritesKeepTheFile) {
    const std::string file = m_dir.Path("conf/pellum-standin/addins.ini");
    std::string error;
    ASSERT_TRUE(RegisterAddIn(file, {"/a/libA.so", {"A.Bar"}, {}}, &error)) << error;
    ASSERT_TRUE(RegisterAddIn(file, {"/b/libB.so", {"B.Bar"}, {"B.One", "B.Two"}}, &error))
        << error;
    ASSERT_TRUE(RegisterAddIn(file, {"/a/libA.so", {"A.Bar2"}, {}}, &error)) << error;
    std::vector<AddInRegistration> list;
    ASSERT_TRUE(ReadAddIns(file, &list, &error));
    EXPECT_EQ(list,
              (std::vector<AddInRegistration>{{"/a/libA.so", {"A.Bar2"}, {}},
                                              {"/b/libB.so", {"B.Bar"}, {"B.One", "B.Two"}}}));
    const std::string before = zn3test::ReadAll(file);
    auto check = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_EQ(zn3test::ReadAll(file), before);
        EXPECT_EQ(
            std::distance(std::filesystem::directory_iterator(m_dir.Path("conf/pellum-standin")),
                          std::filesystem::directory_iterator()),
            1);
        EXPECT_FALSE(error.empty());
        error.clear();
        fs::test::Reset();
    };
    fs::test::FailNthWrite(1);
    EXPECT_FALSE(RegisterAddIn(file, {"/c/libC.so", {"C.Bar"}, {}}, &error));
    check("write fails");
    for (uint64_t budget : {0, 10, 60}) {
        fs::test::SetWriteBudget(budget);
        EXPECT_FALSE(RegisterAddIn(file, {"/c/libC.so", {"C.Bar"}, {}}, &error));
        check("disk full");
    }
    fs::test::FailPath(fs::DevicePathFromHost(file), fs::kErrorAccessDenied);
    EXPECT_FALSE(RegisterAddIn(file, {"/c/libC.so", {"C.Bar"}, {}}, &error));
    check("refused");
    // The register tool itself.
    const std::string cmd =
        std::string("PELLUM_ADDINS='") + m_dir.Path("tool.ini") + "' '" + ZN_REGISTER_TOOL + "'";
    EXPECT_EQ(zn3test::Run(cmd), 0);
    ASSERT_TRUE(ReadAddIns(m_dir.Path("tool.ini"), &list, &error));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].toolbars, std::vector<std::string>{"ZarnipTools.ZarnipToolbar"});
    EXPECT_EQ(std::filesystem::canonical(list[0].library),
              std::filesystem::canonical(ZN_TOOLS8_LIBRARY));
}

}  // namespace
