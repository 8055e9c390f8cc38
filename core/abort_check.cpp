#include "core/abort_check.h"

#include "platform/sys/thread.h"

CAbortCheck::CAbortCheck(Poll poll, uint32_t intervalMs) : poll_(poll), intervalMs_(intervalMs) {}

bool CAbortCheck::Ask() {
    untilClock_ = kUnitsPerClockRead;
    const uint64_t now = sys::GetTickCount64();
    if (asked_ > 0 && now - lastAsk_ < intervalMs_ && now >= lastAsk_) return false;
    lastAsk_ = now;
    ++asked_;
    stopped_ = poll_();
    return stopped_;
}
