#include "formats/dbf/engine_heap.h"

#include <cstdint>
#include <cstdlib>

namespace zn {

namespace {
// A size prefix keeps the byte counter exact without a platform block-size call.
constexpr size_t kPrefix = alignof(std::max_align_t);
}  // namespace

void* EngineHeap::Alloc(size_t bytes) {
    if (failAt_ > 0 && --failAt_ == 0) return nullptr;
    // A size near the top would wrap round in the rounding or the prefix
    // and give a small block for a huge request.
    if (bytes > SIZE_MAX - kPrefix - 1) return nullptr;
    if (bytes & 1) ++bytes;
    auto* raw = static_cast<uint8_t*>(calloc(1, bytes + kPrefix));
    if (!raw) return nullptr;
    *reinterpret_cast<size_t*>(raw) = bytes;
    ++liveBlocks_;
    liveBytes_ += static_cast<int64_t>(bytes);
    return raw + kPrefix;
}

void EngineHeap::Free(void* block) {
    if (!block) return;
    auto* raw = static_cast<uint8_t*>(block) - kPrefix;
    --liveBlocks_;
    liveBytes_ -= static_cast<int64_t>(*reinterpret_cast<size_t*>(raw));
    free(raw);
}

}  // namespace zn
