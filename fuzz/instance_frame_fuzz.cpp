// Feeds arbitrary bytes, in chunks the first byte chooses, to the reader of
// the single-instance socket's frames.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/app/single_instance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    size_t chunk = data[0] % 17 + 1;
    CInstanceFrameReader reader;
    std::vector<InstanceFrame> frames;
    for (size_t at = 1; at < size; at += chunk) {
        size_t n = at + chunk <= size ? chunk : size - at;
        if (!reader.Feed(data + at, n, frames)) break;
    }
    return 0;
}
