// The Application object through a real engine: its properties, user
// properties, the objects it makes, the profile, the main window's title,
// the cursor, sounds and other programs.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <thread>

#include "app_world.h"
#include "core/file_version_info.h"
#include "map/services/preferences.h"
#include "platform/sys/registry.h"
#include "platform/win/window.h"

namespace apptest {
namespace {

class Application : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        Connect();
    }
    // An executable shell script under the device root; its host path.
    std::string Script(const std::string& relative, const std::string& body) {
        PutFile(relative, "#!/bin/sh\n" + body);
        ::chmod(Host(relative).c_str(), 0755);
        return Host(relative);
    }
    // Waits (at most five seconds) for a file another process writes.
    std::string WaitFor(const std::string& relative) {
        for (int i = 0; i < 500; ++i) {
            std::string s = Get(relative);
            if (!s.empty() && s.back() == '\n') return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return Get(relative);
    }
};

TEST_F(Application, PropertiesUserPropertiesAndObjects) {
    PreferencesData& prefs = GetPreferences()->Data();
    prefs.paths.data = u"\\Docs\\Data";
    prefs.paths.applets = u"\\Program\\Applets";
    prefs.paths.system = u"\\Program\\System";
    prefs.locale.lcid = 0x0407;
    CFileVersionInfo version;
    const DWORD ms = version.GetProductVersionMS(), ls = version.GetProductVersionLS();
    const std::string product = std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
                                std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
    EXPECT_EQ(product, "7.1.2.3");  // the program's version resource

    struct Case {
        const char* expression;
        std::string text;
    } cases[] = {
        {"Application.Properties(\"DataPath\")", "\\Docs\\Data"},
        {"Properties(\"appletspath\")", "\\Program\\Applets"},
        {"Application.Properties(\"SYSTEMPATH\")", "\\Program\\System"},
        {"Application.Properties(\"MajorVersion\")", std::to_string(HIWORD(ms))},
        {"Application.Properties(\"minorversion\")", std::to_string(LOWORD(ms))},
        {"Application.Properties(\"Revision\")", std::to_string(HIWORD(ls))},
        {"Application.Properties(\"BuildNumber\")", std::to_string(LOWORD(ls))},
        {"Application.Properties(\"productVERSION\")", product},
        {"TypeName(Application.Properties(\"MajorVersion\"))", "Long"},
        {"Application.LCID", "1031"},
    };
    for (const Case& c : cases) EXPECT_EQ(Text(c.expression), c.text) << c.expression;

    EXPECT_EQ(Error("x = Application.Properties(\"Nope\")"), kInvalidArg);
    EXPECT_EQ(Error("Application.Properties(\"Nope\") = 1"), kInvalidArg);
    const size_t beeps = win::BeepLog().size();
    EXPECT_EQ(Error("Application.Properties(\"dummy\") = 1"), S_OK);
    ASSERT_EQ(win::BeepLog().size(), beeps + 1);
    EXPECT_EQ(Error("Application.Beep"), S_OK);
    ASSERT_EQ(win::BeepLog().size(), beeps + 2);
    EXPECT_EQ(win::BeepLog().back(), 0xFFFFFFFFu);

    // User properties: names with case, copies, Empty for a name never stored.
    ASSERT_TRUE(Run("Application.UserProperties(\"k\") = 1\nApplication.UserProperties(\"K\") = \"two\""));
    EXPECT_EQ(Text("Application.UserProperties(\"k\")"), "1");
    EXPECT_EQ(Text("Application.UserProperties(\"K\")"), "two");
    EXPECT_EQ(Text("IsEmpty(Application.UserProperties(\"none\"))"), "True");

    // Objects by name: a new one per call; a literal and a variable both do.
    ASSERT_TRUE(Run("Set f1 = Application.CreateAppObject(\"FILE\")\nn = \"file\"\n"
                    "Set f2 = Application.CreateAppObject(n)\n"
                    "Set i = CreateAppObject(\"inet\")\nSet o = CreateAppObject(\"Ombrix\")"));
    EXPECT_EQ(Text("TypeName(f1) & TypeName(f2) & TypeName(i) & TypeName(o)"), "FileFileINetOmbrix");
    EXPECT_EQ(Text("f1 Is f2"), "False");
    EXPECT_EQ(Error("Set m = Application.CreateAppObject(\"Map\")"), E_FAIL);
    EXPECT_EQ(Error("Set m = Application.CreateAppObject(\"recordset\")"), E_FAIL);
    // The map's own objects are not there before the map is.
    EXPECT_EQ(Error("Set m = Application.Map"), E_FAIL);
    EXPECT_EQ(Error("Set m = Application.Forms"), E_FAIL);
    EXPECT_EQ(Text("TypeName(Application.System) & TypeName(Application.Timer)"), "SystemTimer");
    EXPECT_EQ(Text("Application.System Is Application.System"), "True");
}

TEST_F(Application, ProfileValuesReachTheStore) {
    sys::SetRegistryFile(Host("registry.txt"));
    sys::SetProfileKey(u"Test", u"Zarnip");
    EXPECT_EQ(Number("Application.WriteProfileString(\"Survey\", \"Crew\", \"Blue team\")"), 1);
    EXPECT_EQ(Number("Application.WriteProfileInt(\"Survey\", \"Count\", 42)"), 1);
    EXPECT_EQ(Text("Application.GetProfileString(\"Survey\", \"Crew\")"), "Blue team");
    EXPECT_EQ(Text("Application.GetProfileString(\"Survey\", \"None\", \"dflt\")"), "dflt");
    EXPECT_EQ(Number("Application.GetProfileInt(\"Survey\", \"Count\")"), 42);
    EXPECT_EQ(Number("Application.GetProfileInt(\"Survey\", \"None\", 7)"), 7);
    const std::string store = Get("registry.txt");
    EXPECT_NE(store.find("Blue team"), std::string::npos) << store;
    EXPECT_NE(store.find("Survey"), std::string::npos) << store;
    sys::SetRegistryFile("");
}

TEST_F(Application, MainWindowCursorAndQuit) {
    // Without a main window there is nothing to quit.
    EXPECT_EQ(Error("Application.Quit"), E_HANDLE);
    EXPECT_EQ(Number("Application.hWnd"), 0);
    ASSERT_NE(OpenFrame(), nullptr);
    win::SetMainWindow(frame_->GetSafeHwnd());
    EXPECT_EQ(Number("Application.hWnd"), static_cast<int32_t>(HandleToToken(frame_->GetSafeHwnd())));
    ASSERT_TRUE(Run("Application.Caption = \"Survey 12\""));
    EXPECT_EQ(text::ToUtf8(GetWindowTextString(frame_->GetSafeHwnd())), "Survey 12");
    EXPECT_EQ(Text("Application.Caption"), "Survey 12");

    ASSERT_TRUE(Run("Application.WaitCursor 1"));
    EXPECT_TRUE(win::IsWaitCursor());
    ASSERT_TRUE(Run("Application.WaitCursor -1"));
    EXPECT_FALSE(win::IsWaitCursor());

    EXPECT_EQ(Error("Application.Quit"), S_OK);
    MSG msg;
    ASSERT_TRUE(PeekMessage(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST_F(Application, PlaySoundStartsThePlayerWithTheHostPath) {
    std::string wave("RIFF\x24\0\0\0WAVEfmt ", 16);
    wave += std::string(28, '\0');
    Put("Docs/ding.wav", wave);
    setenv("ZARNIP_SOUND_PLAYER", Script("player.sh", "echo \"$1\" > \"" + Host("played") + "\"\n").c_str(), 1);
    EXPECT_EQ(Text("Application.PlaySound(\"\\Docs\\ding.wav\")"), "True");
    EXPECT_EQ(WaitFor("played"), Host("Docs/ding.wav") + "\n");
    EXPECT_EQ(Text("Application.PlaySound(\"\\Docs\\missing.wav\")"), "False");
    unsetenv("ZARNIP_SOUND_PLAYER");
}

// The process's children that have ended but were not reaped.
int Zombies() {
    int n = 0;
    DIR* d = opendir("/proc");
    if (!d) return 0;
    const std::string parent = std::to_string(getpid());
    while (dirent* e = readdir(d)) {
        std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
        std::string pid, name, state, ppid;
        if (!(in >> pid >> name >> state >> ppid)) continue;
        if (ppid == parent && state == "Z") ++n;
    }
    closedir(d);
    return n;
}

TEST_F(Application, RunStartsProgramsWithoutAShell) {
    Script("bin/args", "for a in \"$@\"; do echo \"[$a]\"; done > \"" + Host("args.out") + "\"\n");
    // Words as the handheld splits them; nothing reaches a shell.
    EXPECT_EQ(Number("Application.Run(\"\\bin\\args\", \"\"\"a b\"\" ;$(x) \\\"\"q\", -1)"), 0);
    EXPECT_EQ(Get("args.out"), "[a b]\n[;$(x)]\n[\"q]\n");

    EXPECT_EQ(Number("Application.Run(\"sh\", \"-c \"\"exit 3\"\"\", 5000)"), 3);
    EXPECT_EQ(Number("Application.Run(\"sh\", \"-c \"\"sleep 0.2; exit 4\"\"\", -1)"), 4);
    // Not waited for: 0 at once.
    EXPECT_EQ(Number("Application.Run(\"sh\", \"-c \"\"exit 5\"\"\")"), 0);
    EXPECT_EQ(Error("x = Application.Run(\"no-such-program-zn\")"), E_FAIL);
    EXPECT_EQ(Error("x = Application.Run(\"\\Docs\\missing.exe\")"), E_FAIL);

    // Longer than the wait: -1, and the program is reaped when it ends.
    EXPECT_EQ(Number("Application.Run(\"sleep\", \"1\", 100)"), -1);
    int zombies = 1;
    for (int i = 0; i < 300 && (zombies = Zombies()) > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(Zombies(), 0);

    // A document is opened by the desktop's opener.
    Put("Docs/note.txt", "hello");
    setenv("ZARNIP_OPENER", Script("opener.sh", "echo \"$1\" > \"" + Host("opened") + "\"\n").c_str(), 1);
    EXPECT_EQ(Number("Application.Run(\"\\Docs\\note.txt\")"), 0);
    EXPECT_EQ(WaitFor("opened"), Host("Docs/note.txt") + "\n");
    unsetenv("ZARNIP_OPENER");
}

}  // namespace
}  // namespace apptest
