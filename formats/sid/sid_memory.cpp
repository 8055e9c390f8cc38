#include "formats/sid/sid_memory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "formats/message_sink.h"
#include "platform/text/text.h"

struct SidDecodeHeap::Block {
    Block* prev;
    Block* next;
    SidDecodeHeap* heap;  // null outside a decode
    size_t size;
    size_t capacity;  // bytes after the header that the allocation holds
};

namespace {

// Keeps the data after the block header aligned for any type.
constexpr size_t kHeader = (sizeof(SidDecodeHeap::Block) + alignof(std::max_align_t) - 1) /
                           alignof(std::max_align_t) * alignof(std::max_align_t);

SidMemoryCounters g_counters;
SidDecodeHeap::Block* g_outside = nullptr;  // blocks allocated outside a decode
thread_local SidDecodeHeap* t_current = nullptr;
int g_failCountdown = 0;

// Large working blocks freed by a decode are kept for the next one on the
// same thread: a whole level needs megabytes, and fresh pages from the
// system cost more than decoding into them. Bounded in count and bytes;
// not under the address sanitizer, which should see every block come and go.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kKeptMax = 0;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int kKeptMax = 0;
#else
constexpr int kKeptMax = 16;
#endif
#else
constexpr int kKeptMax = 16;
#endif
constexpr size_t kKeepFrom = 64 * 1024;
constexpr size_t kKeptBytesMax = size_t(64) << 20;

struct KeptBlocks {
    SidDecodeHeap::Block* block[kKeptMax > 0 ? kKeptMax : 1] = {};
    int count = 0;
    size_t bytes = 0;
    bool gone = false;  // a block freed while the thread ends is not kept
    ~KeptBlocks() {
        for (int i = 0; i < count; ++i) std::free(block[i]);
        count = 0;
        gone = true;
    }
    // A kept block that holds n bytes without wasting more than a quarter.
    SidDecodeHeap::Block* Take(size_t n) {
        int best = -1;
        for (int i = 0; i < count; ++i) {
            const size_t cap = block[i]->capacity;
            if (cap >= n && cap - n <= n / 4 && (best < 0 || cap < block[best]->capacity)) best = i;
        }
        if (best < 0) return nullptr;
        SidDecodeHeap::Block* b = block[best];
        bytes -= b->capacity;
        block[best] = block[--count];
        return b;
    }
    // Keeps the block, letting the oldest go when full; false if not kept.
    bool Keep(SidDecodeHeap::Block* b) {
        if (kKeptMax == 0 || gone || b->capacity < kKeepFrom || b->capacity > kKeptBytesMax) return false;
        while (count > 0 && (count == kKeptMax || bytes + b->capacity > kKeptBytesMax)) {
            bytes -= block[0]->capacity;
            std::free(block[0]);
            for (int i = 1; i < count; ++i) block[i - 1] = block[i];
            --count;
        }
        block[count++] = b;
        bytes += b->capacity;
        return true;
    }
};
thread_local KeptBlocks t_kept;


uint32_t Clamp32(uint64_t v) { return v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(v); }

// Memory load (percent) and available physical and virtual bytes.
void MemoryStatus(uint32_t* load, uint32_t* availPhys, uint32_t* availVirt) {
    uint64_t total = 0, avail = 0, swapFree = 0;
    if (FILE* f = std::fopen("/proc/meminfo", "r")) {
        char name[64];
        unsigned long long kb;
        while (std::fscanf(f, "%63s %llu kB\n", name, &kb) == 2) {
            if (!std::strcmp(name, "MemTotal:")) total = kb * 1024;
            if (!std::strcmp(name, "MemAvailable:")) avail = kb * 1024;
            if (!std::strcmp(name, "SwapFree:")) swapFree = kb * 1024;
        }
        std::fclose(f);
    }
    *load = total ? static_cast<uint32_t>(100 - (avail > total ? total : avail) * 100 / total) : 0;
    *availPhys = Clamp32(avail);
    *availVirt = Clamp32(avail + swapFree);
}

// Retry or Cancel after a failed allocation of n bytes.
bool AskRetry(size_t n) {
    uint32_t load, phys, virt;
    MemoryStatus(&load, &phys, &virt);
    const WString text =
        text::Format(u"Mode %c=%d %u%% memAlloc(%u)\nC=%d TC=%u\nAlloc=%08X TAlloc=%08X\n@Phys=%08X @Virt=%08X",
               u'C', static_cast<int>(Clamp32(g_counters.heapsCreated)), load, Clamp32(n),
               static_cast<int>(Clamp32(g_counters.blocks)), Clamp32(g_counters.allocations),
               Clamp32(g_counters.current), Clamp32(g_counters.total), phys, virt);
    return EAskRetryCancel(text, u"MrSID Memory Allocation") == kEAnswerRetry;
}

}  // namespace

void* SidHeapAlloc(size_t n) {
    SidDecodeHeap::Block* b = nullptr;
    for (;;) {
        const bool injected = g_failCountdown > 0 && --g_failCountdown == 0;
        if (!injected && n >= kKeepFrom) b = t_kept.Take(n);
        if (!injected && !b && n <= SIZE_MAX - kHeader) {
            b = static_cast<SidDecodeHeap::Block*>(std::malloc(kHeader + n));
            if (b) b->capacity = n;
        }
        if (b) break;
        if (!AskRetry(n)) return nullptr;
    }
    SidDecodeHeap* heap = t_current;
    SidDecodeHeap::Block*& first = heap ? heap->first_ : g_outside;
    b->prev = nullptr;
    b->next = first;
    b->heap = heap;
    b->size = n;
    if (first) first->prev = b;
    first = b;
    g_counters.current += n;
    g_counters.total += n;
    ++g_counters.blocks;
    ++g_counters.allocations;
    if (n > g_counters.largest) g_counters.largest = n;
    return reinterpret_cast<char*>(b) + kHeader;
}

void* SidAlloc(size_t n) {
    void* p = SidHeapAlloc(n);
    if (p) {
        g_counters.requested += n;
        if (g_counters.requested > g_counters.requestedPeak) g_counters.requestedPeak = g_counters.requested;
    }
    return p;
}

void* SidCalloc(size_t count, size_t size) {
    if (size && count > SIZE_MAX / size) return nullptr;
    void* p = SidHeapAlloc(count * size);
    if (p) std::memset(p, 0, count * size);
    return p;
}

int SidFree(void* block) {
    if (!block) return 0;
    auto* b = reinterpret_cast<SidDecodeHeap::Block*>(static_cast<char*>(block) - kHeader);
    SidDecodeHeap::Block*& first = b->heap ? b->heap->first_ : g_outside;
    if (b->prev) b->prev->next = b->next;
    else first = b->next;
    if (b->next) b->next->prev = b->prev;
    g_counters.current -= b->size < g_counters.current ? b->size : g_counters.current;
    if (g_counters.blocks) --g_counters.blocks;
    if (g_counters.blocks == 0) {
        g_counters.requested = g_counters.requestedPeak = g_counters.current = 0;
    }
    if (!t_kept.Keep(b)) std::free(b);
    return 0;
}

void SidReleaseMemory() {
    if (t_current) t_current->Release();
}

SidDecodeHeap::SidDecodeHeap() : outer_(t_current) {
    t_current = this;
    ++g_counters.heapsCreated;
}

SidDecodeHeap::~SidDecodeHeap() {
    Release();
    t_current = outer_;
}

void SidDecodeHeap::Release() {
    while (first_) SidFree(reinterpret_cast<char*>(first_) + kHeader);
}

SidMemoryCounters SidGetMemoryCounters() { return g_counters; }

void SidResetMemoryForTests() {
    g_counters = SidMemoryCounters{};
    g_failCountdown = 0;
}

void SidTestFailAllocation(int k) { g_failCountdown = k > 0 ? k : 0; }
