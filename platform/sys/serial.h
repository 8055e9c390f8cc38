// Serial devices: the device ports of the program ("COM1:", "GPS1:") mapped
// to host devices through ZARNIP_PORTS, opened raw with the line settings
// applied through termios (and restored at close), non-blocking reads and
// writes, and a wait that a stop or a new write can interrupt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/text/text.h"

namespace sys {

// The host device a port name maps to: ZARNIP_PORTS holds entries
// "COM1=/dev/ttyUSB0", separated by ';' or newlines; keys are compared
// without regard to case and a trailing ':' is ignored on both sides. Read at
// every call. Empty when the port is not mapped.
std::string MapSerialPort(WStringView portName);

// Line settings. parity: 0 none, 1 odd, 2 even, 3 mark, 4 space; stopBits:
// 0 one, 1 one and a half (no equivalent here: refused), 2 two.
struct SerialConfig {
    uint32_t baud = 4800;
    int dataBits = 8;
    int parity = 0;
    int stopBits = 0;
    bool ctsFlow = false;  // hardware flow control (CTS, or RTS handshake)
    int rts = 1;           // 0 off, 1 on, 2 handshake
    int dtr = 1;           // 0 off, 1 on, 2 handshake (no equivalent: left as it is)
};

// What a wait saw.
enum SerialWaitResult { kSerialTimeout = 0, kSerialReadable = 1, kSerialWoken = 2, kSerialGone = 4 };

class SerialDevice {
public:
    SerialDevice();
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // 0, or the system's error number. A device this process has open
    // already is refused with EBUSY.
    int Open(const std::string& hostPath);
    // Raw mode with the given settings; 0 or the error number (EINVAL for a
    // rate or a stop-bit code termios cannot give).
    int Configure(const SerialConfig& config);
    // Restores the settings found at open and closes.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Descriptor() const { return fd_; }

    // Waits at most timeoutMs for input (or a hang-up) or a Wake.
    int Wait(int timeoutMs);
    // Interrupts a Wait from any thread.
    void Wake();
    // Non-blocking; the byte count, 0 when nothing waits, -1 with errno.
    long Read(void* buffer, size_t n);
    long Write(const void* buffer, size_t n);
    // Bytes waiting in the receive and transmit queues.
    int InCount() const;
    int OutCount() const;
    bool Purge(bool receive, bool transmit);
    bool SetBreak(bool on);
    // The platform's line-error bits seen since the last call (frame,
    // parity, overrun, break) from the driver's counters where it has them.
    uint32_t TakeLineErrors();

    // Tests: line errors to report, as a device without counters cannot.
    static void InjectLineErrorsForTests(uint32_t bits);

private:
    int fd_ = -1;
    int wake_ = -1;
    bool saved_ = false;
    unsigned char savedTermios_[128];
    uint64_t key_[2] = {0, 0};
    int lineCounts_[4] = {0, 0, 0, 0};
};

}  // namespace sys
