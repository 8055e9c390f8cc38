// The user-abort check of a long loop in a file engine. The engine never
// looks at the message queue itself: its caller gives the question to ask (the
// map layers give IsAbortRequested, the message-queue poll), and this check
// asks it on the first unit of work and afterwards at most once per interval
// of the platform clock. The clock is read only every few units, so a loop
// over a million points pays for a few thousand clock reads, not a million
// queue polls.
#pragma once

#include <cstdint>

class CAbortCheck {
public:
    // True when the user asked to stop.
    using Poll = bool (*)();

    static constexpr uint32_t kDefaultIntervalMs = 10;
    static constexpr int kUnitsPerClockRead = 16;

    // A null poll never stops the loop.
    explicit CAbortCheck(Poll poll, uint32_t intervalMs = kDefaultIntervalMs);

    // Counts one unit of work; true (and true from then on) once the poll
    // answered that the loop must stop.
    bool operator()() {
        if (!poll_) return false;
        if (stopped_) return true;
        if (--untilClock_ > 0) return false;
        return Ask();
    }
    bool Stopped() const { return stopped_; }
    // How many times the poll was asked.
    int Asked() const { return asked_; }

private:
    bool Ask();

    Poll poll_;
    uint32_t intervalMs_;
    uint64_t lastAsk_ = 0;
    int untilClock_ = 1;  // the first unit asks at once
    int asked_ = 0;
    bool stopped_ = false;
};
