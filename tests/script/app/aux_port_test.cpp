// The AUX object over a pseudo-terminal: reads that do not wait, reads that
// wait while the program keeps handling its messages, lines, purges, the
// OnComm event, a wait that the port's closing ends, and a claimed port.
#include <atomic>
#include <chrono>
#include <thread>

#include "app_world.h"
#include "shell/options/port_records.h"
#include "tests/gps/pty_test_util.h"

namespace apptest {
namespace {

class CClaim : public IAuxExtension {
public:
    void Aux(int, int, void*, const char*, int) override {}
};

class AuxPort : public AppWorld {
protected:
    void SetUp() override {
        AppWorld::SetUp();
        ASSERT_FALSE(pty_.name.empty());
        setenv("ZARNIP_PORTS", ("COM7=" + pty_.name).c_str(), 1);
        GetAuxPortSettings().port = 7;
        GetAuxPortSettings().baud = 9600;
        // The application's scripting with the program's auxiliary port.
        services_->SetAppScripting(nullptr);
        scripting_ = std::make_unique<CAppScripting>(nullptr, &aux_);
        scripting_->SetGlobalHost(host_.get());
        services_->SetAppScripting(scripting_.get());
        frameHost_.scripting = scripting_.get();
        frameHost_.aux = &aux_;
        ASSERT_NE(OpenFrame(), nullptr);
        win::SetMainWindow(frame_->GetSafeHwnd());
        CAuxPort::SetMainWindow(frame_->GetSafeHwnd());
        Connect();
    }
    void TearDown() override {
        aux_.Close();
        AppWorld::TearDown();
        CAuxPort::SetMainWindow(nullptr);
        unsetenv("ZARNIP_PORTS");
    }
    // Handles messages until the condition holds (at most five seconds).
    bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 500 && !done(); ++i) {
            MSG msg;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }
    bool Waiting(int bytes) {
        return PumpUntil([&] { return aux_.IsOpen() && aux_.Port().GetInCount() >= bytes; });
    }

    Pty pty_;
    CAuxPort aux_;
};

TEST_F(AuxPort, ReadsWithAndWithoutWaiting) {
    EXPECT_EQ(Error("x = AUX.Read(1)"), kAccessDenied);  // closed
    EXPECT_EQ(Error("x = AUX.InBufferCount"), E_FAIL);
    EXPECT_EQ(Text("AUX.Open"), "True");
    EXPECT_EQ(Error("x = AUX.Open"), kAccessDenied);  // already open
    EXPECT_EQ(Text("AUX.IsOpen"), "True");

    pty_.Send("0123456789");
    ASSERT_TRUE(Waiting(10));
    EXPECT_EQ(Text("AUX.Read(10)"), "0");  // without waiting: at most one
    EXPECT_EQ(Error("x = AUX.Read(0)"), E_FAIL);
    EXPECT_EQ(Error("x = AUX.Read(-1)"), kInvalidArg);
    EXPECT_EQ(Error("AUX.InBufferCount = 5"), E_FAIL);
    EXPECT_EQ(Error("AUX.InBufferCount = 0"), S_OK);
    EXPECT_EQ(Number("AUX.InBufferCount"), 0);
    EXPECT_EQ(Number("AUX.ReadByte"), -1);

    // Ten bytes in three chunks: the wait gathers them all while the
    // program's messages are handled.
    std::atomic<bool> handled{false};
    HWND other = CreateWindow(u"STATIC", u"", WS_POPUP, 0, 0, 5, 5, nullptr, nullptr, nullptr, nullptr);
    std::thread sender([&] {
        for (const char* chunk : {"abc", "defg", "hij"}) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            pty_.Send(chunk);
        }
    });
    PostMessage(other, WM_SETFONT, 0, 0);
    frameHost_.aux = &aux_;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Text("AUX.Read(10, True)"), "abcdefghij");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    sender.join();
    MSG msg;
    handled = !PeekMessage(&msg, other, WM_SETFONT, WM_SETFONT, PM_NOREMOVE);
    EXPECT_TRUE(handled);  // taken from the queue while the read waited

    pty_.Send("x");
    EXPECT_EQ(Number("AUX.ReadByte(True)"), 'x');
    ASSERT_TRUE(Run("AUX.Write \"A\" & Chr(200)\nAUX.WriteLine \"B\"\nAUX.WriteByte 7"));
    EXPECT_EQ(pty_.Receive(6), std::string("A\xc8" "B\r\n\x07", 6));
}

TEST_F(AuxPort, LinesAndTheirLimit) {
    ASSERT_EQ(Text("AUX.Open"), "True");
    pty_.Send("$GP,1,2");
    ASSERT_TRUE(Waiting(7));
    EXPECT_EQ(Text("AUX.ReadLine"), "");  // half a line
    pty_.Send(",3\r\nnext");
    ASSERT_TRUE(Waiting(4));
    EXPECT_EQ(Text("AUX.ReadLine"), "$GP,1,2,3");
    // A long line comes back cut to 2048 characters.
    pty_.Send(std::string(3000, 'L') + "\n");
    EXPECT_EQ(Number("Len(AUX.ReadLine(True))"), 2048);
    // Purging the receive buffer drops the partial line as well.
    pty_.Send("half");
    ASSERT_TRUE(Waiting(4));
    EXPECT_EQ(Text("AUX.ReadLine"), "");
    ASSERT_TRUE(Run("AUX.InBufferCount = 0"));
    pty_.Send("whole\n");
    EXPECT_EQ(Text("AUX.ReadLine(True)"), "whole");
}

TEST_F(AuxPort, OnCommSeesItsEventAndAClosingPortEndsAWait) {
    ASSERT_TRUE(Run("Seen = -1\nSub AUX_OnComm\nSeen = AUX.CommEvent\nEnd Sub\n"
                    "Sub Application_OnTimer\nAUX.Close\nEnd Sub"));
    host_->SetScriptStateHr(SCRIPTSTATE_CONNECTED);
    ASSERT_EQ(Text("AUX.Open"), "True");
    EXPECT_EQ(Number("AUX.CommEvent"), 0);
    pty_.Send("ping\r\n");
    EXPECT_TRUE(PumpUntil([&] { return Number("Seen") != -1; }));
    EXPECT_EQ(Number("Seen"), 2);
    EXPECT_EQ(Number("AUX.CommEvent"), 0);
    ASSERT_TRUE(Run("AUX.InBufferCount = 0"));

    // Nothing arrives; the timer's handler closes the port and the wait ends.
    ASSERT_TRUE(Run("Application.Timer.Interval = 200\nApplication.Timer.Enabled = True"));
    EXPECT_EQ(Text("AUX.ReadLine(True)"), "");
    EXPECT_EQ(Text("AUX.IsOpen"), "False");
    ASSERT_TRUE(Run("Application.Timer.Enabled = False"));
}

TEST_F(AuxPort, AClaimedPortIsNotTheScriptsToOpen) {
    CClaim claim;
    aux_.SetClaim(&claim, nullptr);
    EXPECT_EQ(Error("x = AUX.Open"), kAccessDenied);
    EXPECT_EQ(Text("AUX.IsOpen"), "False");
    aux_.ClearClaim();
    EXPECT_EQ(Text("AUX.Open"), "True");
}

}  // namespace
}  // namespace apptest
