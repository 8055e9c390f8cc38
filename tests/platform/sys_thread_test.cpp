// Events, the fake clock and thread ids.
#include <gtest/gtest.h>

#include <thread>

#include "platform/sys/thread.h"

namespace {

TEST(SysThread, AutoResetEventIsConsumedByOneWaitManualStays) {
    sys::Event autoEv(false, true);
    EXPECT_EQ(autoEv.Wait(0), sys::kWaitObject0);
    EXPECT_EQ(autoEv.Wait(0), sys::kWaitTimeout);
    sys::Event manual(true, false);
    manual.Set();
    EXPECT_EQ(manual.Wait(0), sys::kWaitObject0);
    EXPECT_EQ(manual.Wait(0), sys::kWaitObject0);
    manual.Reset();
    EXPECT_EQ(manual.Wait(10), sys::kWaitTimeout);
}

TEST(SysThread, WaitForMultipleReportsTheFirstSignalledAcrossThreads) {
    sys::Event ack, stop(true, false);
    sys::Event* both[] = {&ack, &stop};
    std::thread t([&] { stop.Set(); });
    EXPECT_EQ(sys::WaitForMultiple(both, 2, 5000), sys::kWaitObject0 + 1);
    t.join();
    ack.Set();
    EXPECT_EQ(sys::WaitForMultiple(both, 2, 0), sys::kWaitObject0);  // the lower index wins
    EXPECT_FALSE(ack.IsSet());
    EXPECT_TRUE(stop.IsSet());
}

TEST(SysThread, FakeClockMovesOnlyWhenToldAndThreadIdsDiffer) {
    sys::FakeClock clock(5000);
    sys::SetClock(&clock);
    EXPECT_EQ(sys::GetTickCount64(), 5000u);
    sys::Sleep(100);
    EXPECT_EQ(sys::GetTickCount(), 5100u);
    clock.Set(0x100000005ull);
    EXPECT_EQ(sys::GetTickCount(), 5u);  // the 32-bit count wraps
    sys::SetClock(nullptr);
    DWORD mine = sys::GetCurrentThreadId(), other = 0;
    std::thread t([&] { other = sys::GetCurrentThreadId(); });
    t.join();
    EXPECT_NE(mine, 0u);
    EXPECT_NE(mine, other);
    EXPECT_EQ(mine, sys::GetCurrentThreadId());
}

}  // namespace
