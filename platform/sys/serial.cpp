#include "platform/sys/serial.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>
#include <utility>

namespace sys {
namespace {

static_assert(sizeof(termios) <= 128, "termios must fit the saved copy");

std::mutex g_openLock;
std::set<std::pair<uint64_t, uint64_t>> g_openDevices;
std::atomic<uint32_t> g_injectedErrors{0};

// The platform's line-error bits.
constexpr uint32_t kErrorFrame = 0x0008;
constexpr uint32_t kErrorParity = 0x0004;
constexpr uint32_t kErrorOverrun = 0x0002;
constexpr uint32_t kErrorBreak = 0x0010;

speed_t SpeedOf(uint32_t baud) {
    switch (baud) {
        case 50: return B50;
        case 75: return B75;
        case 110: return B110;
        case 134: return B134;
        case 150: return B150;
        case 200: return B200;
        case 300: return B300;
        case 600: return B600;
        case 1200: return B1200;
        case 1800: return B1800;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        case 230400: return B230400;
        case 460800: return B460800;
        case 500000: return B500000;
        case 576000: return B576000;
        case 921600: return B921600;
        case 1000000: return B1000000;
        case 1152000: return B1152000;
        case 1500000: return B1500000;
        case 2000000: return B2000000;
        default: return static_cast<speed_t>(-1);
    }
}

std::string Key(WStringView name) {
    std::string k = text::ToUtf8(text::ToUpper(text::Trim(name)));
    while (!k.empty() && (k.back() == ':' || k.back() == ' ')) k.pop_back();
    return k;
}

}  // namespace

std::string MapSerialPort(WStringView portName) {
    const char* ports = std::getenv("ZARNIP_PORTS");
    if (!ports) return {};
    const std::string want = Key(portName);
    const std::string all = ports;
    size_t i = 0;
    while (i <= all.size()) {
        size_t j = all.find_first_of(";\n", i);
        if (j == std::string::npos) j = all.size();
        const std::string item = all.substr(i, j - i);
        i = j + 1;
        const size_t eq = item.find('=');
        if (eq == std::string::npos || eq == 0) continue;
        if (Key(text::FromUtf8(item.substr(0, eq))) == want) {
            std::string host = item.substr(eq + 1);
            while (!host.empty() && (host.back() == ' ' || host.back() == '\r')) host.pop_back();
            return host;
        }
    }
    return {};
}

SerialDevice::SerialDevice() = default;

SerialDevice::~SerialDevice() {
    Close();
}

int SerialDevice::Open(const std::string& hostPath) {
    Close();
    if (hostPath.empty()) return ENOENT;
    const int fd = ::open(hostPath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st;
    if (fstat(fd, &st) != 0) {
        const int e = errno;
        ::close(fd);
        return e;
    }
    const std::pair<uint64_t, uint64_t> key{st.st_dev, st.st_ino};
    {
        // Not shared: never twice in this process, and exclusive for others.
        std::lock_guard lock(g_openLock);
        if (!g_openDevices.insert(key).second) {
            ::close(fd);
            return EBUSY;
        }
    }
    ioctl(fd, TIOCEXCL);
    termios t;
    saved_ = tcgetattr(fd, &t) == 0;
    if (saved_) std::memcpy(savedTermios_, &t, sizeof t);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    fd_ = fd;
    key_[0] = key.first;
    key_[1] = key.second;
    return 0;
}

int SerialDevice::Configure(const SerialConfig& c) {
    if (fd_ < 0) return EBADF;
    termios t;
    if (tcgetattr(fd_, &t) != 0) return errno;
    cfmakeraw(&t);
    const speed_t speed = SpeedOf(c.baud);
    if (speed == static_cast<speed_t>(-1) || c.stopBits == 1 || c.dataBits < 5 || c.dataBits > 8) return EINVAL;
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CREAD | CLOCAL;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[c.dataBits - 5];
    switch (c.parity) {
        case 1: t.c_cflag |= PARENB | PARODD; break;
        case 2: t.c_cflag |= PARENB; break;
        case 3: t.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: t.c_cflag |= PARENB | CMSPAR; break;
        default: break;
    }
    if (c.parity != 0)
        t.c_iflag |= INPCK;
    else
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    if (c.stopBits == 2) t.c_cflag |= CSTOPB;
    if (c.ctsFlow || c.rts == 2) t.c_cflag |= CRTSCTS;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (tcsetattr(fd_, TCSANOW, &t) != 0) return errno;
    // Modem lines, best effort: a pseudo-terminal has none.
    int dtr = TIOCM_DTR, rts = TIOCM_RTS;
    if (c.dtr == 0) ioctl(fd_, TIOCMBIC, &dtr);
    if (c.dtr == 1) ioctl(fd_, TIOCMBIS, &dtr);
    if (c.rts == 0) ioctl(fd_, TIOCMBIC, &rts);
    if (c.rts == 1) ioctl(fd_, TIOCMBIS, &rts);
    return 0;
}

void SerialDevice::Close() {
    if (fd_ >= 0) {
        if (saved_) {
            termios t;
            std::memcpy(&t, savedTermios_, sizeof t);
            tcsetattr(fd_, TCSANOW, &t);
        }
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        std::lock_guard lock(g_openLock);
        g_openDevices.erase({key_[0], key_[1]});
    }
    if (wake_ >= 0) ::close(wake_);
    fd_ = wake_ = -1;
    saved_ = false;
}

int SerialDevice::Wait(int timeoutMs) {
    if (fd_ < 0) return kSerialGone;
    pollfd p[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
    const int n = poll(p, wake_ >= 0 ? 2 : 1, timeoutMs);
    if (n <= 0) return kSerialTimeout;
    int result = 0;
    if (p[1].revents & POLLIN) {
        uint64_t v;
        while (::read(wake_, &v, sizeof v) > 0) {
        }
        result |= kSerialWoken;
    }
    if (p[0].revents & POLLIN) result |= kSerialReadable;
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) result |= kSerialGone;
    return result;
}

void SerialDevice::Wake() {
    if (wake_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t r = ::write(wake_, &one, sizeof one);
    }
}

long SerialDevice::Read(void* buffer, size_t n) {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    const ssize_t r = ::read(fd_, buffer, n);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return static_cast<long>(r);
}

long SerialDevice::Write(const void* buffer, size_t n) {
    if (fd_ < 0) {
        errno = EBADF;
        return -1;
    }
    const ssize_t r = ::write(fd_, buffer, n);
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return static_cast<long>(r);
}

int SerialDevice::InCount() const {
    int n = 0;
    return fd_ >= 0 && ioctl(fd_, FIONREAD, &n) == 0 ? n : 0;
}

int SerialDevice::OutCount() const {
    int n = 0;
    return fd_ >= 0 && ioctl(fd_, TIOCOUTQ, &n) == 0 ? n : 0;
}

bool SerialDevice::Purge(bool receive, bool transmit) {
    if (fd_ < 0) return false;
    if (receive && transmit) return tcflush(fd_, TCIOFLUSH) == 0;
    if (receive) return tcflush(fd_, TCIFLUSH) == 0;
    if (transmit) return tcflush(fd_, TCOFLUSH) == 0;
    return true;
}

bool SerialDevice::SetBreak(bool on) {
    return fd_ >= 0 && ioctl(fd_, on ? TIOCSBRK : TIOCCBRK) == 0;
}

uint32_t SerialDevice::TakeLineErrors() {
    uint32_t bits = g_injectedErrors.exchange(0);
    serial_icounter_struct counts{};
    if (fd_ >= 0 && ioctl(fd_, TIOCGICOUNT, &counts) == 0) {
        const int now[4] = {counts.frame, counts.parity, counts.overrun + counts.buf_overrun, counts.brk};
        static const uint32_t flags[4] = {kErrorFrame, kErrorParity, kErrorOverrun, kErrorBreak};
        for (int i = 0; i < 4; ++i) {
            if (now[i] != lineCounts_[i]) bits |= flags[i];
            lineCounts_[i] = now[i];
        }
    }
    return bits;
}

void SerialDevice::InjectLineErrorsForTests(uint32_t bits) {
    g_injectedErrors.store(bits);
}

}  // namespace sys
