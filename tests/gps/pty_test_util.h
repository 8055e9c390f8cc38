// A pseudo-terminal pair for the serial tests: the port opens the slave
// (ZARNIP_PORTS points at its name) and the test writes and reads the master.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "platform/win/window.h"

struct Pty {
    int master = -1, slave = -1;
    std::string name;
    Pty() {
        char buf[128];
        if (openpty(&master, &slave, buf, nullptr, nullptr) == 0) name = buf;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        if (master >= 0) close(master);
        if (slave >= 0) close(slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    // Writes everything, waiting while the terminal's queue is full.
    void Send(const std::string& s) const {
        size_t done = 0;
        while (done < s.size()) {
            const ssize_t n = write(master, s.data() + done, s.size() - done);
            if (n > 0)
                done += static_cast<size_t>(n);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    // Writes the bytes in chunks of 1 to 97 bytes, pseudo-random with a
    // fixed seed, so that units are split at every kind of place.
    void SendInChunks(const std::string& bytes) const {
        std::mt19937 random(30);
        for (size_t at = 0; at < bytes.size();) {
            const size_t n = std::min<size_t>(random() % 97 + 1, bytes.size() - at);
            Send(bytes.substr(at, n));
            at += n;
        }
    }
    // What the port wrote, up to `want` bytes or `ms` of real time.
    std::string Receive(size_t want, int ms = 2000) const {
        std::string out;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (out.size() < want && std::chrono::steady_clock::now() < end) {
            char buf[512];
            const ssize_t n = read(master, buf, sizeof buf);
            if (n > 0)
                out.append(buf, static_cast<size_t>(n));
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return out;
    }
};

// Runs the thread's message loop until done() or the real-time limit.
inline void PumpUntil(const std::function<bool()>& done, int ms = 5000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG m;
        if (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE))
            DispatchMessage(&m);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A receiver log of tests/data/gps without its '#' comment lines.
inline std::string GpsLogBody(const std::string& name) {
    std::ifstream in(std::string(ZN_TEST_DATA) + "/gps/" + name, std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    while (!data.empty() && data[0] == '#') data.erase(0, data.find('\n') + 1);
    return data;
}
