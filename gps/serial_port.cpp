#include "gps/serial_port.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/sys/thread.h"
#include "platform/win/window.h"

namespace {

constexpr int kChunk = 256;
constexpr int kWaitMs = 50;  // the longest real-time wait, so the idle step runs

}  // namespace

CSerialPort::CSerialPort() = default;

CSerialPort::~CSerialPort() {
    Close();
}

WString CSerialPort::PortName() const {
    return text::Format(u"%s%d", settings_.prefix, static_cast<int>(settings_.port));
}

void CSerialPort::SetError(uint32_t code, const WString& text) {
    std::lock_guard lock(lock_);
    errorCode_ = code;
    errorText_ = text.substr(0, 79);
}

WString CSerialPort::GetErrorText() {
    std::lock_guard lock(lock_);
    return errorText_;
}

uint32_t CSerialPort::GetErrorCode() {
    std::lock_guard lock(lock_);
    return errorCode_;
}

bool CSerialPort::Open(void* owner) {
    owner_ = owner;
    if (device_.IsOpen()) return true;
    const WString name = PortName() + u":";
    const std::string host = sys::MapSerialPort(name);
    const int openError = host.empty() ? ENOENT : device_.Open(host);
    if (openError) {
        SetError(kErrorOpen, text::Format(u"Error %ld opening %s", static_cast<long>(openError), name.c_str()));
        return false;
    }
    sys::SerialConfig c;
    if (settings_.infrared) {
        // An infrared port is a plain 8N1 line without flow control.
        c.baud = settings_.baud;
        c.rts = c.dtr = 1;
    } else {
        c.baud = settings_.baud;
        c.dataBits = static_cast<int>(settings_.databits);
        c.parity = ParityFromLetter(settings_.parity);
        c.stopBits = static_cast<int>(settings_.stopbits);
        c.ctsFlow = settings_.ctshandshake != 0;
        c.rts = static_cast<int>(settings_.rtscontrol);
        c.dtr = static_cast<int>(settings_.dtrcontrol);
        if (c.parity < 0 || c.parity > 4) c.parity = 0;
    }
    if (const int e = device_.Configure(c)) {
        device_.Close();
        SetError(kErrorSetup, text::Format(u"Error %ld SetCommState for %s%d", static_cast<long>(e), settings_.prefix,
                                           static_cast<int>(settings_.port)));
        return false;
    }
    return true;
}

bool CSerialPort::Close() {
    if (!device_.IsOpen()) return true;
    StopReader();
    device_.Close();
    return true;
}

bool CSerialPort::StartReader(HWND window, bool buffered) {
    if (thread_.joinable() || !device_.IsOpen()) return false;
    {
        std::lock_guard lock(lock_);
        stopping_ = false;
        gone_ = false;
        pending_ = accepted_ = 0;
        window_ = window;
    }
    buffered_ = buffered;
    readRingSize_ = buffered ? kBufferedRingSize : kReadRingSize;
    {
        std::lock_guard ring(ringLock_);
        readRing_.clear();
        writeRing_.clear();
    }
    assembler_.Reset();
    lastNotify_ = sys::GetTickCount64();
    thread_ = std::thread([this] {
        // Below normal priority, best effort.
        setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 1);
        ReaderLoop();
    });
    return true;
}

bool CSerialPort::StopReader() {
    if (!thread_.joinable()) return false;
    {
        std::lock_guard lock(lock_);
        stopping_ = true;
        window_ = nullptr;
        // Whatever is queued or held now is stale.
        pending_ = accepted_ = 0;
    }
    changed_.notify_all();
    device_.Wake();
    thread_.join();
    return true;
}

void CSerialPort::ReaderLoop() {
    uint8_t chunk[kChunk];
    for (;;) {
        {
            std::lock_guard lock(lock_);
            if (stopping_) return;
        }
        DrainWriteRing();
        const int seen = device_.Wait(kWaitMs);
        {
            std::lock_guard lock(lock_);
            if (stopping_) return;
        }
        if (seen & (sys::kSerialReadable | sys::kSerialGone)) {
            const long n = device_.Read(chunk, sizeof chunk);
            if (n > 0) {
                Process(chunk, static_cast<int>(n));
                lastNotify_ = sys::GetTickCount64();
                continue;
            }
            // Readable or hung up, yet nothing to read: the device is gone.
            if (n < 0 || (seen & sys::kSerialGone)) {
                const long e = n < 0 ? errno : EIO;
                SetError(kErrorOpen, text::Format(u"Error %ld reading %s", e, PortName().c_str()));
                gone_ = true;
                return;
            }
        }
        const uint64_t now = sys::GetTickCount64();
        if (now - lastNotify_ > notifyIntervalMs_) {
            if (buffered_) {
                bool any;
                {
                    std::lock_guard ring(ringLock_);
                    any = !readRing_.empty();
                }
                if (any) NotifyBuffered();
            }
            lastNotify_ = now;
        }
    }
}

void CSerialPort::Process(const uint8_t* chunk, int n) {
    if (buffered_) {
        {
            std::lock_guard ring(ringLock_);
            for (int i = 0; i < n && readRing_.size() < readRingSize_; ++i) readRing_.push_back(chunk[i]);
        }
        NotifyBuffered();
        return;
    }
    assembler_.Feed(chunk, n, [this](const uint8_t* data, int length) { Notify(data, length); });
}

void CSerialPort::Notify(const uint8_t* data, int length) {
    std::unique_lock lock(lock_);
    if (stopping_ || !window_ || !::IsWindow(window_)) return;
    const uint32_t id = ++counter_ ? counter_ : ++counter_;
    pending_ = id;
    pendingData_ = data;
    pendingLength_ = length;
    ::PostMessage(window_, WM_GPS_DATA, reinterpret_cast<WPARAM>(data), reinterpret_cast<LPARAM>(this));
    // The buffer stays untouched until the window is done with it. A
    // notification nobody takes in time is withdrawn; one taken is waited
    // for until it is acknowledged.
    changed_.wait_for(lock, std::chrono::milliseconds(ackTimeoutMs_.load()),
                      [&] { return stopping_ || (pending_ != id && accepted_ != id); });
    if (pending_ == id) pending_ = 0;
    changed_.wait(lock, [&] { return stopping_ || accepted_ != id; });
}

void CSerialPort::NotifyBuffered() {
    std::lock_guard lock(lock_);
    if (stopping_ || !window_ || !::IsWindow(window_) || pending_) return;
    pending_ = ++counter_ ? counter_ : ++counter_;
    pendingData_ = nullptr;
    pendingLength_ = 0;
    ::PostMessage(window_, WM_GPS_DATA, 0, reinterpret_cast<LPARAM>(this));
}

uint32_t CSerialPort::AcceptNotification(WPARAM, LPARAM lParam) {
    std::lock_guard lock(lock_);
    if (reinterpret_cast<CSerialPort*>(lParam) != this || !pending_ || accepted_) return 0;
    accepted_ = pending_;
    pending_ = 0;
    acceptedData_ = pendingData_;
    acceptedLength_ = pendingLength_;
    // Buffered notifications need no acknowledgement to go on.
    if (buffered_) {
        const uint32_t id = accepted_;
        accepted_ = 0;
        return id;
    }
    changed_.notify_all();
    return accepted_;
}

void CSerialPort::Acknowledge(uint32_t notification) {
    {
        std::lock_guard lock(lock_);
        if (!notification || notification != accepted_) return;
        accepted_ = 0;
    }
    changed_.notify_all();
}

const uint8_t* CSerialPort::AcceptedData(int* length) const {
    std::lock_guard lock(lock_);
    if (length) *length = accepted_ ? acceptedLength_ : 0;
    return accepted_ ? acceptedData_ : nullptr;
}

void CSerialPort::DrainWriteRing() {
    uint8_t out[kChunk];
    size_t n = 0;
    {
        std::lock_guard ring(ringLock_);
        while (n < sizeof out && n < writeRing_.size()) {
            out[n] = writeRing_[n];
            ++n;
        }
    }
    if (!n) return;
    const long written = device_.Write(out, n);
    if (written > 0) {
        std::lock_guard ring(ringLock_);
        writeRing_.erase(writeRing_.begin(), writeRing_.begin() + written);
    }
}

int CSerialPort::ReadByte() {
    if (thread_.joinable()) {
        std::lock_guard ring(ringLock_);
        if (readRing_.empty()) return -1;
        const int b = readRing_.front();
        readRing_.pop_front();
        return b;
    }
    uint8_t b;
    return device_.Read(&b, 1) == 1 ? b : -1;
}

int CSerialPort::Read(uint8_t* buffer, int size, int terminator) {
    if (thread_.joinable()) {
        std::lock_guard ring(ringLock_);
        if (!buffer) return static_cast<int>(readRing_.size());
        int n = 0;
        while (n < size && !readRing_.empty()) {
            const uint8_t b = readRing_.front();
            readRing_.pop_front();
            buffer[n++] = b;
            if (terminator > 0 && b == terminator) break;
        }
        return n;
    }
    if (const uint32_t errors = device_.TakeLineErrors())
        SetError(errors, text::Format(u"CommError %u", static_cast<unsigned>(errors)));
    const int waiting = device_.InCount();
    if (!buffer) return waiting;
    const long n = device_.Read(buffer, static_cast<size_t>(std::min(size, waiting)));
    return n > 0 ? static_cast<int>(n) : 0;
}

bool CSerialPort::Write(const void* bytes, int count) {
    if (count <= 0) return true;
    const auto* p = static_cast<const uint8_t*>(bytes);
    if (thread_.joinable()) {
        if (gone_) {
            SetError(kErrorWrite, text::Format(u"Error %ld writing to %s", static_cast<long>(EIO), PortName().c_str()));
            return false;
        }
        {
            std::lock_guard ring(ringLock_);
            // All or nothing: half a command must never reach the device.
            if (writeRing_.size() + static_cast<size_t>(count) <= kWriteRingSize) {
                writeRing_.insert(writeRing_.end(), p, p + count);
                device_.Wake();
                return true;
            }
        }
        SetError(kErrorWrite, text::Format(u"Error %ld writing to %s", static_cast<long>(EAGAIN), PortName().c_str()));
        return false;
    }
    long done = 0;
    while (done < count) {
        const long n = device_.Write(p + done, static_cast<size_t>(count - done));
        if (n <= 0) {
            const long e = n < 0 ? errno : EAGAIN;
            SetError(kErrorWrite, text::Format(u"Error %ld writing to %s", e, PortName().c_str()));
            return false;
        }
        done += n;
    }
    return true;
}

bool CSerialPort::WriteByte(uint8_t byte) {
    return Write(&byte, 1);
}

bool CSerialPort::WriteString(const WChar* text) {
    if (!text) return true;
    std::string bytes;
    for (const WChar* p = text; *p; ++p) bytes += static_cast<char>(*p & 0xFF);
    return Write(bytes.data(), static_cast<int>(bytes.size()));
}

bool CSerialPort::WriteAnsi(const char* text) {
    const int n = text ? static_cast<int>(std::strlen(text)) : 0;
    if (n == 0) return true;
    if (!thread_.joinable()) return false;
    return Write(text, n);
}

void CSerialPort::SendBreak(uint32_t ms) {
    device_.SetBreak(true);
    sys::Sleep(ms);
    device_.SetBreak(false);
}

bool CSerialPort::ClearBuffers(uint32_t flags) {
    const bool receive = flags & 8, transmit = flags & 4;
    if (thread_.joinable()) {
        std::lock_guard ring(ringLock_);
        if (receive) readRing_.clear();
        if (transmit) writeRing_.clear();
    }
    return device_.Purge(receive, transmit);
}

int CSerialPort::GetInCount() {
    if (thread_.joinable() && buffered_) {
        std::lock_guard ring(ringLock_);
        return static_cast<int>(readRing_.size());
    }
    return device_.InCount();
}

int CSerialPort::GetOutCount() {
    if (thread_.joinable()) {
        std::lock_guard ring(ringLock_);
        return static_cast<int>(writeRing_.size());
    }
    return device_.OutCount();
}
