#include "platform/sys/local_memory.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace {

struct Blocks {
    std::mutex m;
    std::unordered_map<uint32_t, std::unique_ptr<std::byte[]>> live;
    std::unordered_map<uint32_t, size_t> sizes;
    uint32_t next = 0x00100000;
};

Blocks& B() {
    static Blocks* b = new Blocks;  // outlives static destructors
    return *b;
}

}  // namespace

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
    std::unique_ptr<std::byte[]> data(new (std::nothrow) std::byte[bytes ? bytes : 1]);
    if (!data) return nullptr;
    if (flags & LMEM_ZEROINIT) std::fill_n(data.get(), bytes ? bytes : 1, std::byte{0});
    std::lock_guard<std::mutex> lock(B().m);
    uint32_t token = B().next++;
    if (B().next == 0) B().next = 0x00100000;
    B().live[token] = std::move(data);
    B().sizes[token] = bytes;
    return TokenToHandle<HLOCAL>(token);
}

HLOCAL LocalFree(HLOCAL mem) {
    if (!mem) return nullptr;
    std::lock_guard<std::mutex> lock(B().m);
    uint32_t token = HandleToToken(mem);
    if (!B().live.erase(token)) return mem;
    B().sizes.erase(token);
    return nullptr;
}

void* LocalLock(HLOCAL mem) {
    std::lock_guard<std::mutex> lock(B().m);
    auto it = B().live.find(HandleToToken(mem));
    return it == B().live.end() ? nullptr : it->second.get();
}

bool LocalUnlock(HLOCAL mem) {
    std::lock_guard<std::mutex> lock(B().m);
    return B().live.count(HandleToToken(mem)) != 0;
}

size_t LocalSize(HLOCAL mem) {
    std::lock_guard<std::mutex> lock(B().m);
    auto it = B().sizes.find(HandleToToken(mem));
    return it == B().sizes.end() ? 0 : it->second;
}
