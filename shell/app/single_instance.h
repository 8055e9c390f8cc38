// One running program per user. The first instance holds a lock file in a
// private runtime folder and listens on a Unix socket beside it; a second
// instance finds the lock taken, asks the first to come to the front and
// ends. Messages on the socket are frames {kind u32, length u32, bytes}
// (host byte order), the length at most 1 MiB.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/text.h"
#include "platform/types.h"

enum : uint32_t {
    // Bytes: none, or the UTF-8 device path of a file the holder opens.
    kInstanceRaise = 1,
    // {data kind u32, bytes}: delivered to the main window as WM_COPYDATA.
    kInstanceCopyData = 2,
};
constexpr uint32_t kInstanceMaxFrame = 1u << 20;

struct InstanceFrame {
    uint32_t kind = 0;
    std::vector<uint8_t> bytes;
};

// Cuts a byte stream into frames. A length over the limit makes the stream
// bad: no frame after it is taken.
class CInstanceFrameReader {
public:
    // False once the stream is bad.
    bool Feed(const uint8_t* data, size_t size, std::vector<InstanceFrame>& out);
    bool IsBad() const { return m_bad; }

private:
    std::vector<uint8_t> m_pending;
    bool m_bad = false;
};

class CSingleInstance {
public:
    using Receiver = std::function<void(InstanceFrame)>;

    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // The class name "Afx" + the first line of the string + " Class" is
    // registered and the lock taken. False when another instance of this
    // user holds it (that one was asked to come to the front, and to open
    // `openPath` when one is given) or the class cannot be registered.
    bool Register(UINT stringId, const WString& openPath = {});
    const WString& GetClassName() const { return m_className; }
    bool HoldsLock() const { return m_lockFd >= 0; }

    // Called on the listener thread for every frame from a peer; the
    // application posts it on to its user-interface thread.
    void SetReceiver(Receiver receiver) { m_receiver = std::move(receiver); }
    // Stops listening and gives up the lock (the destructor does it too).
    void Stop();

    // Sends one frame to the instance holding the lock of this class name.
    static bool SendToHolder(const WString& className, uint32_t kind, const std::vector<uint8_t>& bytes);
    // The private runtime folder (made 0700 when missing); empty when no
    // safe folder can be had.
    static std::string RuntimeFolder();

private:
    void Listen();
    void Serve(int connection);

    WString m_className;
    int m_lockFd = -1;
    int m_listenFd = -1;
    int m_wakePipe[2] = {-1, -1};
    std::string m_socketPath;
    std::thread m_listener;
    Receiver m_receiver;
};
