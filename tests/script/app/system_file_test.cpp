// System and File through a real engine: the device's facts against the
// system's own tools, the window functions and the messages a script may
// not send, and the file object's modes, byte layouts and lines checked
// with od.
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app_world.h"
#include "core/shell_helpers.h"
#include "map/services/gps_messages.h"
#include "platform/win/controls.h"
#include "script/app/script_system.h"
#include "shell/shell_messages.h"

namespace apptest {
namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[512];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
        pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

class SystemFile : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        Connect();
        ASSERT_TRUE(Run("Set Sys = Application.System"));
    }
};

TEST_F(SystemFile, SystemFactsMatchTheSystemsOwnTools) {
    const std::string machine = Shell("uname -m");
    const std::string release = Shell("uname -r");
    if (machine == "x86_64") {
        EXPECT_EQ(Number("Sys.Properties(\"ProcessorArchitecture\")"), 9);
        EXPECT_EQ(Number("Sys.Properties(\"processortype\")"), 8664);
        const std::string family = Shell("grep -m1 '^cpu family' /proc/cpuinfo | sed 's/.*: *//'");
        const std::string model = Shell("grep -m1 '^model[[:space:]]*:' /proc/cpuinfo | sed 's/.*: *//'");
        const std::string stepping = Shell("grep -m1 '^stepping' /proc/cpuinfo | sed 's/.*: *//'");
        EXPECT_EQ(std::to_string(Number("Sys.Properties(\"ProcessorLevel\")")), family);
        EXPECT_EQ(Number("Sys.Properties(\"ProcessorRevision\")"),
                  (std::atoi(model.c_str()) << 8) | std::atoi(stepping.c_str()));
    }
    const std::string version = std::to_string(Number("Sys.Properties(\"MajorVersion\")")) + "." +
                                std::to_string(Number("Sys.Properties(\"MinorVersion\")")) + "." +
                                std::to_string(Number("Sys.Properties(\"BuildNumber\")"));
    EXPECT_EQ(release.rfind(version, 0), 0u) << release << " " << version;
    EXPECT_EQ(Text("Sys.Properties(\"CSDVersion\")"), Shell("uname -v"));
    EXPECT_EQ(Text("Sys.Properties(\"PERSONALFOLDER\")"), text::ToUtf8(GetSpecialFolderPath(nullptr, kFolderPersonal)));
    EXPECT_EQ(Text("Sys.Properties(\"personalfolder\")"), "\\Docs");
    EXPECT_EQ(Text("Sys.Properties(\"TempPath\")"), text::ToUtf8(GetTempFolder()));
    EXPECT_EQ(Error("x = Sys.Properties(\"Nope\")"), kInvalidArg);

    // Other machines, from their own texts.
    const std::string arm = "processor\t: 0\nBogoMIPS\t: 48.00\nCPU architecture: 8\nCPU variant\t: 0x1\n"
                            "CPU part\t: 0xd0c\nCPU revision\t: 1\n\nprocessor\t: 1\n";
    SystemFacts f = SystemFactsFrom("aarch64", "6.1.0-rpi7", "#1 SMP", arm);
    EXPECT_EQ(f.processorArchitecture, 12);
    EXPECT_EQ(f.processorLevel, 8);
    EXPECT_EQ(f.processorRevision, 0x101);
    EXPECT_EQ(f.majorVersion, 6);
    EXPECT_EQ(f.minorVersion, 1);
    EXPECT_EQ(f.buildNumber, 0);
    f = SystemFactsFrom("mips", "5.10", "", "");
    EXPECT_EQ(f.processorArchitecture, 0xFFFF);
    EXPECT_EQ(f.majorVersion, 5);
    EXPECT_EQ(f.minorVersion, 10);
}

TEST_F(SystemFile, WindowFunctionsAndMessagesAScriptMayNotSend) {
    ASSERT_NE(OpenFrame(), nullptr);
    HWND main = frame_->GetSafeHwnd();
    const WString cls = GetClassNameText(main);
    const std::string title = text::ToUtf8(GetWindowTextString(main));
    const int32_t token = static_cast<int32_t>(HandleToToken(main));
    EXPECT_EQ(Number("Sys.FindWindow(\"" + text::ToUtf8(cls) + "\", \"" + title + "\")"), token);
    EXPECT_EQ(Number("Sys.FindWindow(\"" + text::ToUtf8(cls) + "\")"), token);
    EXPECT_EQ(Number("Sys.FindWindow(\"NoSuchClass\")"), 0);

    HWND popup = CreateWindow(u"STATIC", u"test", WS_POPUP, 0, 0, 20, 20, nullptr, nullptr, nullptr, nullptr);
    const std::string p = std::to_string(HandleToToken(popup));
    EXPECT_EQ(Text("Sys.ShowWindow(" + p + ", 5)"), "False");  // hidden before
    EXPECT_EQ(Text("Sys.ShowWindow(" + p + ", 0)"), "True");

    HWND button = CreateWindow(u"BUTTON", u"b", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, main, nullptr, nullptr, nullptr);
    const std::string m = std::to_string(token);
    const WString before = GetWindowTextString(main);
    struct Case {
        std::string call;
        HRESULT error;
    } cases[] = {
        {"Sys.SendMessage(" + m + ", &HC, 0, 12345)", kInvalidArg},                     // WM_SETTEXT
        {"Sys.SendMessage(" + m + ", &H4A, 0, 12345)", kInvalidArg},                    // WM_COPYDATA
        {"Sys.SendMessage(" + m + ", &H8064, 1, 12345)", kInvalidArg},                  // WM_GPS_DATA
        {"Sys.PostMessage(" + m + ", &H8104, 0, 12345)", kInvalidArg},                  // WM_GPS_POSITION
        {"Sys.PostMessage(" + m + ", &H8101, 0, 12345)", kInvalidArg},                  // WM_EXT_SHOWMESSAGE
        {"Sys.SendMessage(" + std::to_string(HandleToToken(button)) + ", &HF5)", S_OK},  // BM_CLICK
        {"Sys.SendMessage(" + p + ", &H10)", S_OK},                                       // WM_CLOSE
    };
    for (const Case& c : cases) EXPECT_EQ(Error("x = " + c.call), c.error) << c.call;
    EXPECT_EQ(GetWindowTextString(main), before);
    MSG msg;
    EXPECT_FALSE(PeekMessage(&msg, main, WM_GPS_POSITION, WM_GPS_POSITION, PM_NOREMOVE));
    EXPECT_FALSE(PeekMessage(&msg, main, WM_EXT_SHOWMESSAGE, WM_EXT_SHOWMESSAGE, PM_NOREMOVE));
    // WM_CLOSE reached the window: its default answer destroys it.
    EXPECT_FALSE(IsWindow(popup));
    // A number to a basic control passes with the control's answer.
    HWND edit = CreateWindow(u"EDIT", u"abc", WS_CHILD, 0, 0, 20, 20, main, nullptr, nullptr, nullptr);
    EXPECT_EQ(Number("Sys.SendMessage(" + std::to_string(HandleToToken(edit)) + ", &HE)"), 3);  // WM_GETTEXTLENGTH
    EXPECT_EQ(Number("Sys.PostMessage(" + m + ", &H10)"), 1);
    PeekMessage(&msg, main, WM_CLOSE, WM_CLOSE, PM_REMOVE);
}

// The bytes of a file as od prints them.
std::string Od(const std::string& hostPath) { return Shell("od -An -tx1 '" + hostPath + "' | tr -s ' \\n' ' '"); }

TEST_F(SystemFile, FileModesAndByteLayouts) {
    ASSERT_TRUE(Run("Set F = Application.CreateAppObject(\"file\")"));
    // Without an open file.
    EXPECT_EQ(Error("F.Write \"x\""), E_FAIL);
    EXPECT_EQ(Error("x = F.LOF"), E_FAIL);
    EXPECT_EQ(Error("F.Close"), S_OK);
    EXPECT_EQ(Text("F.IsOpen"), "False");
    // Modes 0 and 1 need the file.
    EXPECT_EQ(Error("F.Open \"\\Docs\\none.bin\""), E_FAIL);
    EXPECT_EQ(Error("F.Open \"\\Docs\\none.bin\", 1"), E_FAIL);
    EXPECT_EQ(Text("F.Exists(\"\\Docs\\none.bin\")"), "False");

    struct Layout {
        const char* writer;
        const char* little;
        const char* big;
        const char* reader;
        const char* value;
    } layouts[] = {
        {"WriteShort 258", " 02 01", " 01 02", "ReadShort", "258"},
        {"WriteLong 16909060", " 04 03 02 01", " 01 02 03 04", "ReadLong", "16909060"},
        {"WriteFloat 1.5", " 00 00 c0 3f", " 3f c0 00 00", "ReadFloat", "1.5"},
        {"WriteDouble -2.25", " 00 00 00 00 00 00 02 c0", " c0 02 00 00 00 00 00 00", "ReadDouble", "-2.25"},
    };
    for (const Layout& l : layouts) {
        for (bool big : {false, true}) {
            SCOPED_TRACE(std::string(l.writer) + (big ? " big" : " little"));
            ASSERT_TRUE(Run(std::string("F.BigEndian = ") + (big ? "True" : "False") +
                            "\nF.Open \"\\Docs\\n.bin\", 2\nF." + l.writer + "\nF.Close"));
            EXPECT_EQ(Od(Host("Docs/n.bin")), big ? l.big : l.little);
            ASSERT_TRUE(Run("F.Open \"\\Docs\\N.BIN\"\nv = F." + std::string(l.reader)));
            EXPECT_EQ(Text("CStr(v)"), l.value);
            EXPECT_EQ(Error("v = F." + std::string(l.reader)), E_FAIL);  // at the end
            ASSERT_TRUE(Run("F.Close"));
        }
    }
    ASSERT_TRUE(Run("F.BigEndian = False"));

    // 2 truncates; 8 creates, then appends.
    PutFile("Docs/t.txt", "old contents");
    ASSERT_TRUE(Run("F.Open \"\\Docs\\t.txt\", 2\nF.Write \"ab\"\nF.Close"));
    EXPECT_EQ(Get("Docs/t.txt"), "ab");
    ASSERT_TRUE(Run("F.Open \"\\Docs\\a.txt\", 8\nF.Write \"1\"\nF.Close\n"
                    "F.Open \"\\Docs\\a.txt\", 8\nF.WriteLine \"2\"\nF.WriteByte 255\nF.Close"));
    EXPECT_EQ(Get("Docs/a.txt"), "12\r\n\xff");

    // Lines: CR LF, a NUL dropped, a long line cut at 2048, "" at the end.
    PutFile("Docs/lines.txt", std::string("one\r\ntw\0o\r\n", 11) + std::string(3000, 'x') + "\nlast");
    ASSERT_TRUE(Run("F.Open \"\\Docs\\lines.txt\"\nl1 = F.ReadLine\nl2 = F.ReadLine\nl3 = F.ReadLine\n"
                    "l4 = F.ReadLine\nl5 = F.ReadLine\nl6 = F.ReadLine\natEnd = F.EOF"));
    EXPECT_EQ(Text("l1"), "one");
    EXPECT_EQ(Text("l2"), "two");
    EXPECT_EQ(Number("Len(l3)"), 2048);
    EXPECT_EQ(Number("Len(l4)"), 952);
    EXPECT_EQ(Text("l5"), "last");
    EXPECT_EQ(Text("l6"), "");
    EXPECT_EQ(Text("atEnd"), "True");
    EXPECT_EQ(Error("x = F.ReadByte"), E_FAIL);
    ASSERT_TRUE(Run("F.Seek = 0\nr0 = F.Read(0)\nr3 = F.Read(3)\nb1 = F.ReadByte"));
    EXPECT_EQ(Text("r0"), "");
    EXPECT_EQ(Text("r3"), "one");
    EXPECT_EQ(Number("b1"), 13);
    EXPECT_EQ(Error("x = F.Read(-1)"), kInvalidArg);
    EXPECT_EQ(Number("F.LOF"), 11 + 3001 + 4);
    EXPECT_GT(Number("F.Handle"), 2);
    ASSERT_TRUE(Run("F.Close"));

    // Bytes above 127 are characters of the same value, both ways.
    PutFile("Docs/bytes.bin", "\xe9\x80");
    ASSERT_TRUE(Run("F.Open \"\\Docs\\bytes.bin\"\ns = F.Read(2)\nF.Close"));
    EXPECT_EQ(Number("AscW(Left(s, 1))"), 0xE9);
    EXPECT_EQ(Number("AscW(Right(s, 1))"), 0x80);

    // Exists and Delete need no open file; names in another case are found.
    ASSERT_TRUE(Run("Set G = Application.CreateAppObject(\"file\")"));
    EXPECT_EQ(Text("G.Exists(\"\\DOCS\\A.TXT\")"), "True");
    EXPECT_EQ(Text("G.Delete(\"\\docs\\a.txt\")"), "True");
    EXPECT_EQ(Text("G.Exists(\"\\Docs\\a.txt\")"), "False");
    EXPECT_EQ(Text("G.Delete(\"\\Docs\\a.txt\")"), "False");
}

}  // namespace
}  // namespace apptest
