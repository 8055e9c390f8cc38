// CSerialPort: the program's serial port. It opens the device its settings
// name, runs one reader thread that cuts the incoming bytes into lines or
// protocol packets (or keeps them in a ring), hands each unit to a window as
// WM_GPS_DATA and waits until the window is done with it. Writes made while
// the reader runs go through a write ring that the reader drains.
//
// The receiving window takes a notification with AcceptNotification and ends
// it with Acknowledge (GpsAcknowledgeGuard does both); a message of a stopped
// reader, one already taken or one withdrawn after the time-out is stale and
// refused without touching any buffer.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "gps/serial_assembly.h"
#include "gps/serial_settings.h"
#include "map/services/gps.h"
#include "platform/sys/serial.h"
#include "platform/types.h"

class CSerialPort : public IGpsPort {
public:
    static constexpr uint32_t kErrorOpen = 1;
    static constexpr uint32_t kErrorSetup = 2;
    static constexpr uint32_t kErrorWrite = 1001;
    static constexpr size_t kReadRingSize = 4096;
    static constexpr size_t kBufferedRingSize = 16384;
    static constexpr size_t kWriteRingSize = 2048;

    CSerialPort();
    ~CSerialPort() override;
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    CSerialSettings& Settings() { return settings_; }
    bool Open(void* owner);
    bool Close();
    bool IsOpen() const { return device_.IsOpen(); }
    // The device's descriptor, -1 when closed (handed to extensions).
    int Descriptor() const { return device_.Descriptor(); }
    void* Owner() const { return owner_; }

    bool StartReader(HWND window, bool buffered);
    bool StopReader();
    bool IsReading() const { return thread_.joinable(); }

    int ReadByte();
    // With a reader: from the read ring, stopping after `terminator` (> 0).
    // Without: a null buffer gives the count waiting.
    int Read(uint8_t* buffer, int size, int terminator);
    bool Write(const void* bytes, int count);
    bool WriteByte(uint8_t byte);
    // The low byte of each character, in one write.
    bool WriteString(const WChar* text);
    bool WriteAnsi(const char* text);
    void SendBreak(uint32_t ms);
    // 8 the receive side, 4 the transmit side (device and ring).
    bool ClearBuffers(uint32_t flags);
    int GetInCount();
    int GetOutCount();
    WString GetErrorText() override;
    uint32_t GetErrorCode();

    // Line and packet settings (before StartReader).
    void SetTerminator(uint8_t terminator) { assembler_.SetTerminator(terminator); }
    void SetAppend(bool cr, bool lf) { assembler_.SetAppend(cr, lf); }
    void SetFramer(CSerialAssembler::Framer framer) { assembler_.SetFramer(std::move(framer)); }
    // How long a notification may wait to be taken (120000 ms).
    void SetAcknowledgeTimeout(uint32_t ms) { ackTimeoutMs_ = ms; }
    // Idle time after which buffered bytes are notified again (250 ms).
    void SetNotifyInterval(uint32_t ms) { notifyIntervalMs_ = ms; }

    uint32_t AcceptNotification(WPARAM wParam, LPARAM lParam) override;
    void Acknowledge(uint32_t notification) override;
    // The accepted unit: the line (without its zero) or packet; null and 0
    // in buffered mode or when nothing is accepted.
    const uint8_t* AcceptedData(int* length) const override;

private:
    void SetError(uint32_t code, const WString& text);
    void ReaderLoop();
    void Process(const uint8_t* chunk, int n);
    void Notify(const uint8_t* data, int length);
    void NotifyBuffered();
    void DrainWriteRing();
    WString PortName() const;

    CSerialSettings settings_;
    sys::SerialDevice device_;
    void* owner_ = nullptr;
    std::thread thread_;
    CSerialAssembler assembler_;
    bool buffered_ = false;
    HWND window_ = nullptr;
    std::atomic<uint32_t> ackTimeoutMs_{120000};
    std::atomic<uint32_t> notifyIntervalMs_{250};
    uint64_t lastNotify_ = 0;

    mutable std::mutex lock_;  // notifications, error, stop
    std::condition_variable changed_;
    bool stopping_ = false;
    std::atomic<bool> gone_{false};  // the device vanished under the reader
    uint32_t counter_ = 0;
    uint32_t pending_ = 0;
    uint32_t accepted_ = 0;
    const uint8_t* acceptedData_ = nullptr;
    int acceptedLength_ = 0;
    const uint8_t* pendingData_ = nullptr;
    int pendingLength_ = 0;
    uint32_t errorCode_ = 0;
    WString errorText_;

    std::mutex ringLock_;
    std::deque<uint8_t> readRing_;
    std::deque<uint8_t> writeRing_;
    size_t readRingSize_ = kReadRingSize;
};
