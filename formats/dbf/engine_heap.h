// A private heap for one file engine: zero-filled blocks from calloc, with
// counters of live blocks and bytes and a hook that fails the k-th allocation,
// so every clean-up path can be exercised in tests.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace zn {

class EngineHeap {
public:
    explicit EngineHeap(const char* name) : name_(name) {}

    // Zero-filled block; odd sizes are rounded up by one byte. Null on failure
    // (real or injected).
    void* Alloc(size_t bytes);
    void Free(void* block);

    int64_t LiveBlocks() const { return liveBlocks_; }
    int64_t LiveBytes() const { return liveBytes_; }
    const char* Name() const { return name_; }

    // Fails the k-th allocation from now (1 = the next one); 0 turns it off.
    void FailAllocation(int k) { failAt_ = k; }
    // Test reset: forgets injected failures (counters stay: they track memory).
    void ResetFaults() { failAt_ = 0; }

private:
    const char* name_;
    std::atomic<int64_t> liveBlocks_{0};
    std::atomic<int64_t> liveBytes_{0};
    std::atomic<int> failAt_{0};
};

// Owns one block of an engine heap.
struct HeapBlockDeleter {
    EngineHeap* heap = nullptr;
    void operator()(void* p) const {
        if (heap) heap->Free(p);
    }
};
using HeapBlock = std::unique_ptr<uint8_t, HeapBlockDeleter>;

inline HeapBlock AllocBlock(EngineHeap& heap, size_t bytes) {
    return HeapBlock(static_cast<uint8_t*>(heap.Alloc(bytes)), HeapBlockDeleter{&heap});
}

}  // namespace zn
