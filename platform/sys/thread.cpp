#include "platform/sys/thread.h"

#include <atomic>
#include <chrono>

namespace sys {

namespace {

class SteadyClock : public Clock {
public:
    uint64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    void SleepMs(uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

SteadyClock g_steady;
std::atomic<Clock*> g_clock{&g_steady};

// One lock and condition for all events keeps multiple waits simple.
std::mutex g_eventLock;
std::condition_variable g_eventCv;

std::atomic<void (*)()> g_fakeTimeHook{nullptr};

void FakeTimeMoved() {
    if (auto hook = g_fakeTimeHook.load()) hook();
}

}  // namespace

void SetFakeTimeHook(void (*hook)()) {
    g_fakeTimeHook = hook;
}

uint64_t FakeClock::NowMs() {
    std::lock_guard<std::mutex> lock(m_);
    return now_;
}

void FakeClock::Advance(uint64_t ms) {
    {
        std::lock_guard<std::mutex> lock(m_);
        now_ += ms;
    }
    FakeTimeMoved();
}

void FakeClock::Set(uint64_t ms) {
    {
        std::lock_guard<std::mutex> lock(m_);
        now_ = ms;
    }
    FakeTimeMoved();
}

Clock& GetClock() {
    return *g_clock.load();
}
void SetClock(Clock* clock) {
    g_clock.store(clock ? clock : &g_steady);
}

uint64_t GetTickCount64() {
    return GetClock().NowMs();
}
DWORD GetTickCount() {
    return static_cast<DWORD>(GetClock().NowMs());
}
void Sleep(uint32_t ms) {
    GetClock().SleepMs(ms);
}

DWORD GetCurrentThreadId() {
    static std::atomic<DWORD> next{1};
    thread_local DWORD id = next.fetch_add(1);
    return id;
}

void Event::Set() {
    {
        std::lock_guard<std::mutex> lock(g_eventLock);
        signalled_ = true;
    }
    g_eventCv.notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> lock(g_eventLock);
    signalled_ = false;
}

bool Event::IsSet() {
    std::lock_guard<std::mutex> lock(g_eventLock);
    return signalled_;
}

DWORD Event::Wait(DWORD timeoutMs) {
    Event* self = this;
    return WaitForMultiple(&self, 1, timeoutMs);
}

DWORD WaitForMultiple(Event* const* events, int count, DWORD timeoutMs) {
    std::unique_lock<std::mutex> lock(g_eventLock);
    auto ready = [&]() -> int {
        for (int i = 0; i < count; ++i)
            if (events[i]->signalled_) return i;
        return -1;
    };
    int index = -1;
    auto pred = [&] { return (index = ready()) >= 0; };
    if (timeoutMs == kInfinite) {
        g_eventCv.wait(lock, pred);
    } else if (!g_eventCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), pred)) {
        return kWaitTimeout;
    }
    if (!events[index]->manual_) events[index]->signalled_ = false;
    return kWaitObject0 + index;
}

}  // namespace sys
