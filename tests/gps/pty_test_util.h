// A pseudo-terminal pair for the serial tests: the port opens the slave
// (ZARNIP_PORTS points at its name) and the test writes and reads the master.
#pragma once

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

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
