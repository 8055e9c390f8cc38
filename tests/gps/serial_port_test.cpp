// The serial port on real pseudo-terminals: ZARNIP_PORTS points the port at
// the slave, the test reads and writes the master, and a window of the model
// on this thread receives the notifications through its message loop.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "gps/aux_port.h"
#include "gps/serial_port.h"
#include "tests/gps/pty_test_util.h"
#include "map/services/script_events.h"
#include "platform/sys/thread.h"
#include "platform/win/window.h"

namespace {

int CountEntries(const char* folder) {
    int n = 0;
    if (DIR* d = opendir(folder)) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

// Lines received by the window, and what it does with each notification.
struct Receiver {
    CSerialPort* port = nullptr;
    std::vector<std::string> lines;
    int buffered = 0;
    std::function<void(uint32_t)> hold;  // runs while a line is accepted
};
Receiver* g_receiver = nullptr;

LRESULT ReceiverProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_receiver) {
        GpsAcknowledgeGuard guard(g_receiver->port, wParam, lParam);
        if (!guard.Notification()) return 0;  // stale
        int length = 0;
        const uint8_t* data = g_receiver->port->AcceptedData(&length);
        if (!data) {
            ++g_receiver->buffered;
            return 0;
        }
        g_receiver->lines.emplace_back(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        if (g_receiver->hold) g_receiver->hold(guard.Notification());
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

class SerialPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        WNDCLASS wc;
        wc.lpfnWndProc = ReceiverProc;
        wc.lpszClassName = u"GpsReceiver";
        ASSERT_TRUE(RegisterClass(wc));
        window_ = CreateWindowEx(0, u"GpsReceiver", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        receiver_.port = &port_;
        g_receiver = &receiver_;
        Map("COM1", pty_.name);
    }
    void TearDown() override {
        port_.Close();
        g_receiver = nullptr;
        unsetenv("ZARNIP_PORTS");
        win::ResetForTests();
    }
    static void Map(const char* port, const std::string& device) {
        setenv("ZARNIP_PORTS", (std::string(port) + "=" + device).c_str(), 1);
    }
    // Runs the window's message loop until done() or the real-time limit.
    void Pump(const std::function<bool()>& done, int ms = 5000) { PumpUntil(done, ms); }
    Pty pty_;
    CSerialPort port_;
    Receiver receiver_;
    HWND window_ = nullptr;
};

TEST_F(SerialPortTest, MappingAndOpening) {
    const int fdsBefore = CountEntries("/proc/self/fd");
    struct Case {
        const char* mapping;  // null: ZARNIP_PORTS unset
        const char16_t* prefix;
        uint32_t port, baud, stopbits;
        uint32_t code;
        const char16_t* text;
    } cases[] = {
        {"COM5=PTY", u"COM", 5, 4800, 0, 0, u""},
        {"com5:=PTY", u"COM", 5, 4800, 0, 0, u""},
        {"COM1=PTY", u"COM", 5, 4800, 0, 1, u"Error 2 opening COM5:"},
        {nullptr, u"COM", 5, 4800, 0, 1, u"Error 2 opening COM5:"},
        {"COM5=/dev/zn-no-such-device", u"COM", 5, 4800, 0, 1, u"Error 2 opening COM5:"},
        {"x;GPS1=PTY", u"GPS", 1, 4800, 0, 0, u""},
        {"COM5=PTY", u"COM", 5, 12345, 0, 2, u"Error 22 SetCommState for COM5"},
        {"COM5=PTY", u"COM", 5, 4800, 1, 2, u"Error 22 SetCommState for COM5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mapping ? c.mapping : "(unset)");
        if (c.mapping) {
            std::string m = c.mapping;
            const size_t at = m.find("PTY");
            if (at != std::string::npos) m.replace(at, 3, pty_.name);
            setenv("ZARNIP_PORTS", m.c_str(), 1);
        } else {
            unsetenv("ZARNIP_PORTS");
        }
        CSerialPort p;
        std::u16string(c.prefix).copy(p.Settings().prefix, 7);
        p.Settings().prefix[std::u16string(c.prefix).size()] = 0;
        p.Settings().port = c.port;
        p.Settings().baud = c.baud;
        p.Settings().stopbits = c.stopbits;
        EXPECT_EQ(p.Open(nullptr), c.code == 0);
        EXPECT_EQ(p.GetErrorCode(), c.code);
        EXPECT_EQ(p.GetErrorText(), c.text);
        if (c.code == 0) {
            // Not shared: a second port on the same device is refused.
            CSerialPort twin;
            twin.Settings() = p.Settings();
            EXPECT_FALSE(twin.Open(nullptr));
            EXPECT_EQ(twin.GetErrorCode(), 1u);
        }
        p.Close();
    }
    EXPECT_EQ(CountEntries("/proc/self/fd"), fdsBefore);
}

TEST_F(SerialPortTest, LineSettingsReachTheDevice) {
    termios cooked;
    ASSERT_EQ(tcgetattr(pty_.slave, &cooked), 0);
    struct Case {
        uint32_t baud, databits, stopbits;
        char parity;
        bool cts;
        speed_t speed;
        tcflag_t cflags;
    } cases[] = {
        {4800, 8, 0, 'N', false, B4800, CS8},
        {9600, 7, 2, 'E', false, B9600, CS7 | PARENB | CSTOPB},
        {57600, 8, 0, 'M', false, B57600, CS8 | PARENB | PARODD | CMSPAR},
        {57600, 8, 0, 's', true, B57600, CS8 | PARENB | CMSPAR | CRTSCTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.baud);
        CSerialPort p;
        p.Settings().baud = c.baud;
        p.Settings().databits = c.databits;
        p.Settings().stopbits = c.stopbits;
        p.Settings().parity = c.parity;
        p.Settings().ctshandshake = c.cts;
        ASSERT_TRUE(p.Open(nullptr)) << text::ToUtf8(p.GetErrorText());
        termios t;
        ASSERT_EQ(tcgetattr(pty_.slave, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        // The kernel's pseudo-terminal keeps every flag but the character
        // size and the parity enable, which it forces to 8 bits, no parity.
        const tcflag_t mask = PARODD | CMSPAR | CSTOPB | CRTSCTS;
        EXPECT_EQ(t.c_cflag & mask, c.cflags & mask);
        EXPECT_EQ((t.c_iflag & INPCK) != 0, c.parity != 'N');
        EXPECT_EQ(t.c_lflag & (ECHO | ICANON), 0u);
        p.Close();
        termios after;
        ASSERT_EQ(tcgetattr(pty_.slave, &after), 0);
        EXPECT_EQ(after.c_lflag, cooked.c_lflag);  // the cooked settings are back
        EXPECT_EQ(after.c_iflag, cooked.c_iflag);
    }
    // Raw: a CR arrives untranslated and nothing is echoed.
    ASSERT_TRUE(port_.Open(nullptr));
    pty_.Send("a\rb");
    uint8_t buf[8] = {};
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(port_.Read(buf, 8, 0), 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 3), "a\rb");
    EXPECT_EQ(pty_.Receive(1, 100), "");
}

TEST_F(SerialPortTest, EveryLineOnceAndInOrderWithTheBufferHeld) {
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    // The first line is held for 200 ms while the master keeps writing.
    bool held = false;
    receiver_.hold = [&](uint32_t) {
        if (held) return;
        held = true;
        int length = 0;
        const uint8_t* data = port_.AcceptedData(&length);
        const std::string before(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
        pty_.Send("second\nthird\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), static_cast<size_t>(length)), before);
    };
    pty_.Send("first\n");
    Pump([&] { return receiver_.lines.size() >= 3; });
    EXPECT_EQ(receiver_.lines, (std::vector<std::string>{"first", "second", "third"}));
    receiver_.hold = nullptr;
    receiver_.lines.clear();
    // Ten thousand numbered lines.
    std::thread writer([&] {
        std::string all;
        for (int i = 0; i < 10000; ++i) all += "$L," + std::to_string(i) + "\r\n";
        pty_.Send(all);
    });
    Pump([&] { return receiver_.lines.size() >= 10000; }, 30000);
    writer.join();
    ASSERT_EQ(receiver_.lines.size(), 10000u);
    for (int i = 0; i < 10000; ++i) ASSERT_EQ(receiver_.lines[i], "$L," + std::to_string(i) + "\r") << i;
}

TEST_F(SerialPortTest, StaleAndLateMessagesChangeNothing) {
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    pty_.Send("one\n");
    // Wait until the notification is queued, then stop with it in the queue.
    MSG m;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!PeekMessage(&m, nullptr, WM_GPS_DATA, WM_GPS_DATA, PM_NOREMOVE) && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(port_.StopReader());
    ASSERT_TRUE(port_.StartReader(window_, false));
    pty_.Send("two\nthree\n");
    Pump([&] { return receiver_.lines.size() >= 2; });
    Pump([] { return false; }, 100);  // anything left over
    EXPECT_EQ(receiver_.lines, (std::vector<std::string>{"two", "three"}));
    // A late acknowledgement (after the stop) and one of a withdrawn
    // notification release nothing.
    port_.Acknowledge(12345);
    port_.SetAcknowledgeTimeout(50);
    receiver_.lines.clear();
    pty_.Send("four\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));  // withdrawn by now
    Pump([] { return false; }, 100);
    EXPECT_TRUE(receiver_.lines.empty());
    pty_.Send("five\n");
    Pump([&] { return !receiver_.lines.empty(); });
    EXPECT_EQ(receiver_.lines, std::vector<std::string>{"five"});
}

TEST_F(SerialPortTest, CloseInsideTheHandler) {
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    receiver_.hold = [&](uint32_t) { port_.Close(); };
    pty_.Send("last\nnever\n");
    Pump([&] { return !port_.IsOpen(); });
    EXPECT_FALSE(port_.IsOpen());
    EXPECT_EQ(receiver_.lines, std::vector<std::string>{"last"});
}

TEST_F(SerialPortTest, StopIsPromptWhereverTheReaderWaits) {
    // One reader started and stopped first: a sanitizer starts its own
    // helper thread with the process's second thread, not counted as ours.
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    ASSERT_TRUE(port_.StopReader());
    port_.Close();
    const int threadsBefore = CountEntries("/proc/self/task");
    for (int where = 0; where < 2; ++where) {
        SCOPED_TRACE(where);
        ASSERT_TRUE(port_.Open(nullptr));
        ASSERT_TRUE(port_.StartReader(window_, false));
        if (where == 1) {
            pty_.Send("waiting for its acknowledgement\n");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(port_.StopReader());
        // It returns without waiting for more input (a generous limit: the
        // machine may be busy).
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_FALSE(port_.StopReader());
        port_.Close();
        Pump([] { return false; }, 20);
    }
    EXPECT_EQ(CountEntries("/proc/self/task"), threadsBefore);
}

TEST_F(SerialPortTest, BufferedMode) {
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, true));
    pty_.Send("abc\ndef");
    Pump([&] { return port_.GetInCount() >= 7 && receiver_.buffered >= 1; });
    EXPECT_GE(receiver_.buffered, 1);
    uint8_t line[16] = {};
    EXPECT_EQ(port_.Read(line, 16, '\n'), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(line), 4), "abc\n");
    EXPECT_EQ(port_.ReadByte(), 'd');
    EXPECT_EQ(port_.GetInCount(), 2);
    // With bytes unread, an idle period notifies again.
    const int before = receiver_.buffered;
    Pump([&] { return receiver_.buffered > before; }, 2000);
    EXPECT_GT(receiver_.buffered, before);
    EXPECT_TRUE(port_.ClearBuffers(8));
    EXPECT_EQ(port_.GetInCount(), 0);
}

TEST_F(SerialPortTest, BufferedIdleNotificationsFollowTheClock) {
    sys::FakeClock clock(10000);
    sys::SetClock(&clock);
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, true));
    pty_.Send("xyz");
    Pump([&] { return receiver_.buffered >= 1 && port_.GetInCount() == 3; });
    ASSERT_EQ(receiver_.buffered, 1);
    // Unread bytes and more than 250 ms of quiet: notified again.
    clock.Advance(300);
    Pump([&] { return receiver_.buffered >= 2; }, 2000);
    EXPECT_EQ(receiver_.buffered, 2);
    // Nothing unread: quiet passes without a notification.
    uint8_t buf[8];
    EXPECT_EQ(port_.Read(buf, 8, 0), 3);
    clock.Advance(300);
    Pump([] { return false; }, 300);
    clock.Advance(300);
    Pump([] { return false; }, 300);
    EXPECT_EQ(receiver_.buffered, 2);
    port_.Close();
    sys::SetClock(nullptr);
}

TEST_F(SerialPortTest, Writes) {
    ASSERT_TRUE(port_.Open(nullptr));
    // Without a reader: straight to the device.
    EXPECT_TRUE(port_.WriteString(u"$PZN,direct"));
    EXPECT_EQ(pty_.Receive(11), "$PZN,direct");
    EXPECT_FALSE(port_.WriteAnsi("needs a reader"));
    EXPECT_TRUE(port_.WriteAnsi(""));
    ASSERT_TRUE(port_.StartReader(window_, false));
    EXPECT_TRUE(port_.WriteString(u"$PZN,CMD*00\r\n"));
    EXPECT_EQ(pty_.Receive(13), "$PZN,CMD*00\r\n");
    EXPECT_TRUE(port_.WriteString(u"\r\n"));
    EXPECT_EQ(pty_.Receive(2), "\r\n");
    // The master stops reading: the device queue, then the ring fill up, and
    // a write that does not fit appends nothing.
    const std::string block(256, 'w');
    int accepted = 0;
    // The reader may still be moving the ring into the device queue when the
    // first write fails: fill until a write fails after the reader had time.
    for (int round = 0; round < 100; ++round) {
        while (port_.Write(block.data(), 256) && accepted < 10000) ++accepted;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!port_.Write(block.data(), 256)) break;
        ++accepted;
    }
    EXPECT_EQ(port_.GetErrorCode(), CSerialPort::kErrorWrite);
    EXPECT_EQ(port_.GetErrorText(), u"Error 11 writing to COM1");
    const int queued = port_.GetOutCount();
    EXPECT_LE(queued, static_cast<int>(CSerialPort::kWriteRingSize));
    EXPECT_FALSE(port_.Write(block.data(), 256));
    EXPECT_EQ(port_.GetOutCount(), queued);
}

TEST_F(SerialPortTest, BreakHoldsForItsTime) {
    ASSERT_TRUE(port_.Open(nullptr));
    sys::FakeClock clock(5000);
    sys::SetClock(&clock);
    port_.SendBreak(100);
    EXPECT_EQ(clock.NowMs(), 5100u);
    sys::SetClock(nullptr);
}

TEST_F(SerialPortTest, AVanishedDeviceEndsReading) {
    ASSERT_TRUE(port_.Open(nullptr));
    ASSERT_TRUE(port_.StartReader(window_, false));
    close(pty_.master);
    pty_.master = -1;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (port_.GetErrorCode() == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(port_.GetErrorCode(), CSerialPort::kErrorOpen);
    EXPECT_EQ(text::ToUtf8(port_.GetErrorText()).rfind("Error 5 reading COM1", 0), 0u) << text::ToUtf8(port_.GetErrorText());
    EXPECT_FALSE(port_.Write("x", 1));
    EXPECT_EQ(port_.GetErrorCode(), CSerialPort::kErrorWrite);
    EXPECT_TRUE(port_.Close());
}

// Script events and extension calls in one log, with the AUX object's
// CommEvent as each event saw it.
struct AuxLog : IScriptServices, IAuxExtension {
    CAuxPort* aux = nullptr;
    std::vector<std::string> log;
    void FireScriptEvent(IDispatch*, int eventId, bool, int) override {
        log.push_back("event " + std::to_string(eventId) + " comm " + std::to_string(aux->CommEvent()));
    }
    IDispatch* CreateLayerObject(CLayer*) override { return nullptr; }
    std::unique_ptr<IScriptHost> CreateScriptHost() override { return nullptr; }
    bool HasEventAttributes(const CXmlNode*, const WChar*) override { return false; }
    bool GetScriptLanguage(const CXmlNode*, WString&) override { return false; }
    void Aux(int, int code, void* handle, const char* text, int length) override {
        log.push_back("aux " + std::to_string(code) + (handle ? " h" : "") +
                      (text ? " " + std::string(text, static_cast<size_t>(length)) : std::string()));
    }
};

LRESULT AuxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
CAuxPort* g_aux = nullptr;
LRESULT AuxProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GPS_DATA && g_aux) {
        GpsAcknowledgeGuard guard(&g_aux->Port(), wParam, lParam);
        if (guard.Notification()) {
            int length = 0;
            const uint8_t* data = g_aux->Port().AcceptedData(&length);
            g_aux->OnReceive(data, length);
        }
        return 0;
    }
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

TEST_F(SerialPortTest, AuxPortForScriptsAndForAClaimingExtension) {
    WNDCLASS wc;
    wc.lpfnWndProc = AuxProc;
    wc.lpszClassName = u"MainFrame";
    ASSERT_TRUE(RegisterClass(wc));
    HWND frame = CreateWindowEx(0, u"MainFrame", u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CAuxPort::SetMainWindow(frame);
    for (bool claimed : {false, true}) {
        SCOPED_TRACE(claimed ? "claimed" : "scripts");
        CAuxPort aux;
        g_aux = &aux;
        AuxLog log;
        log.aux = &aux;
        SetScriptServices(&log);
        int handle = 0;
        if (claimed) aux.SetClaim(&log, &handle);
        EXPECT_EQ(aux.IsClaimed(), claimed);
        ASSERT_TRUE(aux.Open(nullptr, !claimed));  // the main window is notified
        pty_.Send("ab\ncd\n");
        Pump([&] { return log.log.size() >= (claimed ? 4u : 2u); });
        aux.Close();
        Pump([] { return false; }, 20);
        SetScriptServices(nullptr);
        if (claimed) {
            EXPECT_EQ(log.log, (std::vector<std::string>{"aux 1 h", "event 24 comm 0", "aux 3 h ab", "aux 3 h cd",
                                                         "event 25 comm 0", "aux 2 h"}));
        } else {
            ASSERT_GE(log.log.size(), 3u);
            EXPECT_EQ(log.log.front(), "event 24 comm 0");
            for (size_t i = 1; i + 1 < log.log.size(); ++i) EXPECT_EQ(log.log[i], "event 27 comm 2");
            EXPECT_EQ(log.log.back(), "event 25 comm 0");
            EXPECT_EQ(aux.CommEvent(), 0);
        }
        g_aux = nullptr;
    }
    CAuxPort::SetMainWindow(nullptr);
}

TEST(SerialSettings, ParityLetters) {
    for (auto [letter, code] : std::vector<std::pair<int, int>>{{'N', 0}, {'o', 1}, {'E', 2}, {'m', 3}, {'S', 4}})
        EXPECT_EQ(ParityFromLetter(letter), code);
    EXPECT_EQ(ParityFromLetter('X'), 'X');
    EXPECT_EQ(ParityToLetter(3), 'M');
    EXPECT_EQ(ParityToLetter(9), 9);
}

}  // namespace
