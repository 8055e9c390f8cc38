// One program per user, across processes: a second start raises the first
// and ends at once without a window, and the sender tool's messages reach
// the first program's main window. Both programs run on Qt's offscreen
// display; the first writes what it received to its test trace.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/gps/pty_test_util.h"
#include "tests/shell/shell_doubles.h"

extern char** environ;

namespace {

class ProgramInstance : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        ::mkdir(Host("config").c_str(), 0700);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("ZARNIP_ROOT", "/", 1);
        setenv("XDG_CONFIG_HOME", Host("config").c_str(), 1);
        setenv("ZARNIP_TEST_TRACE", Host("trace.txt").c_str(), 1);
    }
    void TearDown() override {
        if (first_ > 0) {
            ::kill(first_, SIGTERM);
            ::waitpid(first_, nullptr, 0);
        }
        for (const char* name : {"QT_QPA_PLATFORM", "XDG_CONFIG_HOME", "ZARNIP_TEST_TRACE"}) unsetenv(name);
        ShellTest::TearDown();
    }
    pid_t Spawn(std::vector<std::string> args, const std::string& out) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, (out + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    // Waits until the trace holds the line (at most thirty seconds: a busy
    // machine can be slow to start a program).
    bool TraceHas(const std::string& line) {
        for (int i = 0; i < 3000; ++i) {
            std::istringstream trace(Get("trace.txt"));
            for (std::string l; std::getline(trace, l);)
                if (l == line) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    int Send(const std::string& arguments) {
        return std::system((std::string("'") + ZN_SEND + "' " + arguments).c_str());
    }

    pid_t first_ = -1;
};

TEST_F(ProgramInstance, TheSecondStartRaisesTheFirstAndItsMessagesArrive) {
    const std::string sample = std::string(ZN_SOURCE_DIR) + "/data/Samples/Sample.znm";
    // Message boxes answer at once and show their text on standard error.
    setenv("ZARNIP_TEST_BOXES", "1", 1);
    first_ = Spawn({ZN_APP, "--no-splash", sample}, Host("first.txt"));
    unsetenv("ZARNIP_TEST_BOXES");
    ASSERT_GT(first_, 0);
    // The first program listens once its socket is there.
    const std::string socket = RuntimeFolder() + "/zarnip/AfxZarnip Class.sock";
    for (int i = 0; i < 3000 && ::access(socket.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << Get("first.txt.err");

    // The second start asks for a screenshot: a program that made a window
    // would print where its view lies.
    setenv("ZARNIP_TEST_SCREENSHOT", Host("second.bmp").c_str(), 1);
    pid_t second = Spawn({ZN_APP, sample}, Host("second.txt"));
    unsetenv("ZARNIP_TEST_SCREENSHOT");
    ASSERT_GT(second, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Get("second.txt"), "");
    EXPECT_EQ(Get("second.txt.err"), "");
    EXPECT_EQ(::access(Host("second.bmp").c_str(), F_OK), -1);
    EXPECT_TRUE(TraceHas("raised")) << Get("trace.txt");

    // Kind 1 with its terminating zero (18 bytes), an odd record through
    // standard input, GPS bytes while the receiver is closed, AUX bytes.
    // The script text runs in the running program's global host.
    EXPECT_EQ(Send("1 'MsgBox 1'"), 0);
    EXPECT_TRUE(TraceHas("copydata 1 18 1")) << Get("trace.txt");
    EXPECT_NE(Get("first.txt.err").find("box: 1\n"), std::string::npos) << Get("first.txt.err");
    Put("odd.bin", std::string("A\0B", 3));
    EXPECT_EQ(Send("1 - < '" + Host("odd.bin") + "'"), 0);
    EXPECT_TRUE(TraceHas("copydata 1 3 1")) << Get("trace.txt");
    EXPECT_EQ(Send("2 '$PGRMO,,2'"), 0);
    EXPECT_TRUE(TraceHas("copydata 2 9 1")) << Get("trace.txt");
    EXPECT_EQ(Send("3 ping"), 0);
    EXPECT_TRUE(TraceHas("copydata 3 4 1")) << Get("trace.txt");
    EXPECT_EQ(Send("4 x"), 2 << 8) << "the tool refuses other kinds";
}

TEST_F(ProgramInstance, ASecondStartWithAFileOpensItInTheFirst) {
    const std::string samples = std::string(ZN_SOURCE_DIR) + "/data/Samples/";
    first_ = Spawn({ZN_APP, "--no-splash", samples + "Sample.znm"}, Host("first.txt"));
    ASSERT_GT(first_, 0);
    const std::string socket = RuntimeFolder() + "/zarnip/AfxZarnip Class.sock";
    for (int i = 0; i < 3000 && ::access(socket.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << Get("first.txt.err");
    // A name relative to the second program's working folder.
    pid_t second =
        Spawn({"/bin/sh", "-c", "cd '" + samples + "' && exec '" + ZN_APP + "' Harbour.znm"},
              Host("second.txt"));
    ASSERT_GT(second, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(second, &status, 0), second);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(TraceHas("opened Sesuit Harbor")) << Get("trace.txt") << Get("first.txt.err");
}

// Bytes another program sends for the auxiliary port leave through the
// port a script opened (read on the terminal's other end).
TEST_F(ProgramInstance, AuxBytesLeaveThroughThePortAScriptOpened) {
    Pty pty;
    ASSERT_FALSE(pty.name.empty());
    setenv("ZARNIP_PORTS", ("COM1=" + pty.name + ";COM2=" + pty.name).c_str(), 1);
    setenv("ZARNIP_TEST_BOXES", "1", 1);
    const std::string sample = std::string(ZN_SOURCE_DIR) + "/data/Samples/Sample.znm";
    first_ = Spawn({ZN_APP, "--no-splash", sample}, Host("first.txt"));
    unsetenv("ZARNIP_TEST_BOXES");
    unsetenv("ZARNIP_PORTS");
    ASSERT_GT(first_, 0);
    const std::string socket = RuntimeFolder() + "/zarnip/AfxZarnip Class.sock";
    for (int i = 0; i < 3000 && ::access(socket.c_str(), F_OK) != 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << Get("first.txt.err");
    EXPECT_EQ(Send("1 'MsgBox \"open \" & AUX.Open'"), 0);
    for (int i = 0; i < 3000 && Get("first.txt.err").find("box: open") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_NE(Get("first.txt.err").find("box: open True\n"), std::string::npos) << Get("first.txt.err");
    EXPECT_EQ(Send("3 abc"), 0);
    EXPECT_EQ(pty.Receive(3, 10000), "abc");
}

TEST_F(ProgramInstance, TheToolSaysWhenNoProgramRuns) {
    EXPECT_EQ(Send("1 Beep 2>/dev/null"), 1 << 8);
}

}  // namespace
