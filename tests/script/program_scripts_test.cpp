// The program itself on Qt's offscreen display runs its configuration's
// scripts in the global host: a MsgBox of a root SCRIPT, and the error box
// of a root SCRIPT that fails in its third line, shown as a window, after
// which start-up goes on.
#include <gtest/gtest.h>

#include <QImage>

#include <filesystem>

#include "tests/shell/shell_doubles.h"
#include "tests/support/run_command.h"

namespace {

class ProgramScripts : public ShellTest {
protected:
    // Starts the program over the sample map with the configuration; its
    // standard output, standard error in err.
    std::string Run(const std::string& config, const std::string& env, std::string* err,
                    int* status) {
        std::filesystem::create_directories(Host("System"));
        Put("System/Zarnip.znx", config);
        Put("Docs/ZarnipPrefs.znx",
            "<Zarnip><PREFERENCES><PATHS system=\"\\System\" applets=\"\\Applets\"/></PREFERENCES></Zarnip>");
        std::filesystem::create_directories(Host("config"));
        const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples";
        EXPECT_EQ(std::system(("cp '" + samples + "'/* '" + Host("Docs") + "'/").c_str()), 0);
        const std::string cmd = "QT_QPA_PLATFORM=offscreen ZARNIP_ROOT='" + root_ +
                                "' ZARNIP_DOCUMENTS='" + Host("Docs") + "' XDG_CONFIG_HOME='" +
                                Host("config") + "' ZARNIP_TEST_SCREENSHOT='" + Host("shot.bmp") +
                                "' " + env + " '" + ZN_APP + "' --no-splash '" +
                                Host("Docs/Sample.znm") + "' 2>'" + Host("stderr.txt") + "'";
        const std::string out = testsupport::RunCommand(cmd, status);
        *err = Get("stderr.txt");
        return out;
    }
};

TEST_F(ProgramScripts, ARootScriptShowsItsMessage) {
    std::string err;
    int status = -1;
    const std::string out =
        Run("<Zarnip><SCRIPT language=\"VBScript\">MsgBox \"Hello from \" &amp; \"the configuration\"</SCRIPT></Zarnip>",
            "ZARNIP_TEST_BOXES=1", &err, &status);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("box: Hello from the configuration\n"), std::string::npos) << err;
    EXPECT_EQ(out.rfind("view ", 0), 0u) << "the program went on to show its map: " << out;
}

TEST_F(ProgramScripts, TheErrorBoxIsAWindowAndStartUpGoesOn) {
    std::string err;
    int status = -1;
    const std::string out = Run(
        "<Zarnip debug=\"true\"><SCRIPT>Dim parts\n"
        "parts = Split(\"a,b\", \",\")\n"
        "MsgBox parts(5)\n"
        "parts = Empty\n"
        "MsgBox \"not reached\"</SCRIPT></Zarnip>",
        "ZARNIP_TEST_BOX_SHOT='" + Host("box.png") + "'", &err, &status);
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(err.find("box shot: Zarnip Script Error 800A0009\n"), std::string::npos) << err;
    EXPECT_EQ(out.rfind("view ", 0), 0u) << "start-up went on: " << out << err;
    QImage box(QString::fromStdString(Host("box.png")));
    ASSERT_FALSE(box.isNull());
    EXPECT_GT(box.width(), 100);
    EXPECT_GT(box.height(), 60);
    // Kept beside the test for review.
    std::filesystem::create_directories(ZN_ARTIFACTS);
    std::filesystem::copy_file(Host("box.png"), std::string(ZN_ARTIFACTS) + "/script_error_box.png",
                               std::filesystem::copy_options::overwrite_existing);
}

// The program's scripting: an applet of the applets folder starts with
// its own engine and announces itself; it sees the Application object, and
// the global engine's start-up event follows.
TEST_F(ProgramScripts, AppletsStartWithTheProgram) {
    std::filesystem::create_directories(Host("Applets"));
    Put("Applets/Crew.zna",
        "<Zarnip><APPLET name=\"Crew\" OnLoad=\"MsgBox &quot;loaded &quot; &amp; Application.Applets.Count\">"
        "<SCRIPT>MsgBox \"code of \" &amp; Application.Applets(1).Name</SCRIPT></APPLET></Zarnip>");
    std::string err;
    int status = -1;
    const std::string out = Run("<Zarnip><SCRIPT>Sub Application_OnStartup\nMsgBox \"started \" &amp; "
                                "Application.Properties(\"ProductVersion\")\nEnd Sub</SCRIPT></Zarnip>",
                                "ZARNIP_TEST_BOXES=1", &err, &status);
    EXPECT_EQ(status, 0) << err;
    const size_t code = err.find("box: code of Crew\n");
    const size_t loaded = err.find("box: loaded 1\n");
    const size_t started = err.find("box: started 7.1.2.3\n");
    ASSERT_NE(code, std::string::npos) << err;
    ASSERT_NE(loaded, std::string::npos) << err;
    ASSERT_NE(started, std::string::npos) << err;
    EXPECT_LT(code, loaded);
    EXPECT_LT(loaded, started);
}

}  // namespace
