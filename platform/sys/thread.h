// Threads, events, mutexes and the millisecond clock. The clock and sleep are
// injectable so that timers, double taps and hold gestures can be tested with
// a fake clock that moves only when told.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/types.h"

namespace sys {

// ---- clock ----

// The monotonic millisecond clock the whole platform reads.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() = 0;
    virtual void SleepMs(uint32_t ms) = 0;
    // A fake clock does not pass by itself: waits for a timer advance it.
    virtual bool IsReal() const { return true; }
};

// A clock for tests: time moves only through Advance or SleepMs.
class FakeClock : public Clock {
public:
    explicit FakeClock(uint64_t startMs = 1000) : now_(startMs) {}
    uint64_t NowMs() override;
    void SleepMs(uint32_t ms) override { Advance(ms); }
    bool IsReal() const override { return false; }
    void Advance(uint64_t ms);
    void Set(uint64_t ms);

private:
    std::mutex m_;
    uint64_t now_;
};

// Called after a fake clock moved (Advance, Set, SleepMs), outside its lock;
// timed test input uses it to queue the steps whose time came. nullptr
// removes it.
void SetFakeTimeHook(void (*hook)());

// The clock in use (the steady system clock unless a test installed one).
Clock& GetClock();
// Installs a clock; nullptr restores the system clock. The caller keeps
// ownership and must restore before the clock dies.
void SetClock(Clock* clock);

// 64-bit tick count in milliseconds, and its 32-bit platform form.
uint64_t GetTickCount64();
DWORD GetTickCount();
void Sleep(uint32_t ms);

// ---- threads ----

// Small positive ids, stable for the life of a thread.
DWORD GetCurrentThreadId();

// ---- waitable objects ----

constexpr DWORD kWaitObject0 = 0;
constexpr DWORD kWaitTimeout = 258;
constexpr DWORD kInfinite = 0xFFFFFFFF;

// A manual- or auto-reset event. Waits use real time.
class Event {
public:
    explicit Event(bool manualReset = false, bool initialState = false)
        : manual_(manualReset), signalled_(initialState) {}
    void Set();
    void Reset();
    // kWaitObject0 when signalled, kWaitTimeout otherwise.
    DWORD Wait(DWORD timeoutMs = kInfinite);
    bool IsSet();

private:
    friend DWORD WaitForMultiple(Event* const* events, int count, DWORD timeoutMs);
    bool manual_;
    bool signalled_;
};

// Waits until any of the events is signalled: kWaitObject0 + index of the
// first signalled one (an auto-reset event is consumed), or kWaitTimeout.
DWORD WaitForMultiple(Event* const* events, int count, DWORD timeoutMs);

// A recursive mutex with the platform's lock/unlock names.
class Mutex {
public:
    void Lock() { m_.lock(); }
    void Unlock() { m_.unlock(); }
    bool TryLock() { return m_.try_lock(); }

private:
    std::recursive_mutex m_;
};

}  // namespace sys
