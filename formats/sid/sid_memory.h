// The MrSID decoder's memory manager: counted allocations, and a Retry/Cancel
// question when memory runs out.
//
// Each decode runs inside its own SidDecodeHeap. Blocks allocated while it
// is current belong to it, and whatever is left when the decode ends (a
// failure, a stop) is freed then, so no decode can release memory that
// another reader still holds. Blocks allocated outside a decode (view
// descriptors) live until SidFree.
//
// The counters are process-wide, as they explain allocation failures;
// SidResetMemoryForTests puts them back.
#pragma once

#include <cstddef>
#include <cstdint>

// Allocates and adds n to the requested-bytes counter (and its peak).
void* SidAlloc(size_t n);
// Allocates n bytes; on failure asks Retry/Cancel, and gives null after Cancel.
void* SidHeapAlloc(size_t n);
// count x size zeroed bytes (null when the product overflows).
void* SidCalloc(size_t count, size_t size);
// Frees a block (null is allowed); always 0.
int SidFree(void* block);
// Frees every block of the running decode (nothing outside a decode).
void SidReleaseMemory();

struct SidMemoryCounters {
    uint64_t requested = 0;      // bytes asked through SidAlloc
    uint64_t requestedPeak = 0;  // largest value of `requested`
    uint64_t current = 0;        // bytes in live blocks
    uint64_t total = 0;          // bytes ever allocated
    uint64_t blocks = 0;         // live blocks
    uint64_t allocations = 0;    // blocks ever allocated
    uint64_t largest = 0;        // largest single request
    uint64_t heapsCreated = 0;   // decodes started
};
SidMemoryCounters SidGetMemoryCounters();

// The working memory of one decode; frees what is left of it when it ends.
class SidDecodeHeap {
public:
    SidDecodeHeap();
    ~SidDecodeHeap();
    SidDecodeHeap(const SidDecodeHeap&) = delete;
    SidDecodeHeap& operator=(const SidDecodeHeap&) = delete;

    struct Block;
    void Release();

private:
    friend void* SidHeapAlloc(size_t);
    friend int SidFree(void*);
    Block* first_ = nullptr;
    SidDecodeHeap* outer_ = nullptr;
};

// Tests: counters back to zero and no failure pending (live blocks stay
// valid and are still freed by SidFree).
void SidResetMemoryForTests();
// The k-th allocation from now (1 = the next) fails once.
void SidTestFailAllocation(int k);
