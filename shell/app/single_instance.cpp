#include "shell/app/single_instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/fs/special_folders.h"
#include "platform/res/resource.h"
#include "platform/win/window.h"

namespace {

uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// A folder of ours: owned by this user, no access for anyone else.
bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return false;
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) return false;
    return true;
}

std::string FileName(const WString& className) {
    std::string name = text::ToUtf8(className);
    for (char& c : name)
        if (c == '/' || c == '\0') c = '_';
    return name;
}

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

int ConnectTo(const std::string& path) {
    sockaddr_un addr{};
    if (path.size() >= sizeof(addr.sun_path)) return -1;
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool CInstanceFrameReader::Feed(const uint8_t* data, size_t size, std::vector<InstanceFrame>& out) {
    if (m_bad) return false;
    m_pending.insert(m_pending.end(), data, data + size);
    size_t used = 0;
    while (m_pending.size() - used >= 8) {
        const uint8_t* p = m_pending.data() + used;
        uint32_t kind = ReadU32(p);
        uint32_t length = ReadU32(p + 4);
        if (length > kInstanceMaxFrame) {
            m_bad = true;
            m_pending.clear();
            return false;
        }
        if (m_pending.size() - used - 8 < length) break;
        out.push_back({kind, std::vector<uint8_t>(p + 8, p + 8 + length)});
        used += 8 + length;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(used));
    return true;
}

CSingleInstance::CSingleInstance() = default;

CSingleInstance::~CSingleInstance() { Stop(); }

std::string CSingleInstance::RuntimeFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/') {
        std::string folder = std::string(runtime) + "/zarnip";
        return MakePrivateFolder(folder) ? folder : std::string();
    }
    // Without a runtime folder: a private folder among the settings.
    const std::string base = fs::HostConfigFolder();
    if (base.empty()) return {};
    ::mkdir(base.c_str(), 0700);
    std::string folder = base + "/zarnip";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
    folder += "/run";
    return MakePrivateFolder(folder) ? folder : std::string();
}

bool CSingleInstance::SendToHolder(const WString& className, uint32_t kind,
                                   const std::vector<uint8_t>& bytes) {
    if (bytes.size() > kInstanceMaxFrame) return false;
    std::string folder = RuntimeFolder();
    if (folder.empty()) return false;
    int fd = ConnectTo(folder + "/" + FileName(className) + ".sock");
    if (fd < 0) return false;
    uint32_t header[2] = {kind, static_cast<uint32_t>(bytes.size())};
    bool ok = WriteAll(fd, header, sizeof header) && WriteAll(fd, bytes.data(), bytes.size());
    ::close(fd);
    return ok;
}

bool CSingleInstance::Register(UINT stringId, const WString& openPath) {
    WString first = res::LoadStringText(res::GetProgramModule(), stringId);
    size_t lineEnd = first.find(u'\n');
    if (lineEnd != WString::npos) first.resize(lineEnd);
    m_className = u"Afx" + first + u" Class";

    std::string folder = RuntimeFolder();
    if (folder.empty()) {
        // Without a private folder there is no safe lock: run unguarded.
        std::fprintf(stderr, "zarnip: no private runtime folder; more than one instance may run\n");
    } else {
        const std::string base = folder + "/" + FileName(m_className);
        int fd = ::open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            // Another instance holds the lock: it may still be binding its
            // socket, so try for up to a second.
            const std::string path = text::ToUtf8(openPath);
            const std::vector<uint8_t> bytes(path.begin(), path.end());
            for (int i = 0; i < 20; ++i) {
                if (SendToHolder(m_className, kInstanceRaise, bytes)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            return false;
        }
        m_lockFd = fd;
        if (fd >= 0) {
            // A socket left by a killed holder is ours to replace.
            m_socketPath = base + ".sock";
            ::unlink(m_socketPath.c_str());
            sockaddr_un addr{};
            int listenFd = -1;
            if (m_socketPath.size() < sizeof(addr.sun_path)) {
                addr.sun_family = AF_UNIX;
                std::memcpy(addr.sun_path, m_socketPath.c_str(), m_socketPath.size() + 1);
                listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
            }
            if (listenFd >= 0 && ::bind(listenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                ::chmod(m_socketPath.c_str(), 0700) == 0 && ::listen(listenFd, 8) == 0 &&
                ::pipe2(m_wakePipe, O_CLOEXEC) == 0) {
                m_listenFd = listenFd;
                m_listener = std::thread([this] { Listen(); });
            } else if (listenFd >= 0) {
                ::close(listenFd);
            }
        }
    }

    WNDCLASS wc;
    wc.style = 11;
    wc.lpfnWndProc = DefWindowProc;
    wc.hInstance = res::GetProgramModule();
    wc.lpszClassName = m_className.c_str();
    WNDCLASS existing;
    // Registered already by this module (an earlier application object).
    if (!RegisterClass(wc) && !GetClassInfo(wc.hInstance, wc.lpszClassName, &existing)) {
        Stop();
        return false;
    }
    return true;
}

void CSingleInstance::Listen() {
    for (;;) {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        int connection = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) continue;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 &&
            peer.uid == ::getuid())
            Serve(connection);
        ::close(connection);
    }
}

void CSingleInstance::Serve(int connection) {
    // A peer that stops sending is dropped after a second.
    timeval timeout{1, 0};
    ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    CInstanceFrameReader reader;
    uint8_t buffer[4096];
    for (;;) {
        ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        std::vector<InstanceFrame> frames;
        bool ok = reader.Feed(buffer, static_cast<size_t>(n), frames);
        for (InstanceFrame& frame : frames)
            if (m_receiver) m_receiver(std::move(frame));
        if (!ok) return;
    }
}

void CSingleInstance::Stop() {
    if (m_listener.joinable()) {
        char c = 0;
        (void)!::write(m_wakePipe[1], &c, 1);
        m_listener.join();
    }
    for (int* fd : {&m_wakePipe[0], &m_wakePipe[1], &m_listenFd}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    if (!m_socketPath.empty()) ::unlink(m_socketPath.c_str());
    m_socketPath.clear();
    if (m_lockFd >= 0) ::close(m_lockFd);
    m_lockFd = -1;
}
