// The desktop host's .dmap reader: any bytes either read or are refused;
// whatever reads, written again and read back, gives the same model.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "desktop/host/dmap_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    host::DmapError error;
    auto first =
        host::ReadDmap(std::string_view(reinterpret_cast<const char*>(data), size), &error);
    if (!first) return 0;
    const std::string text = host::WriteDmap(*first);
    auto second = host::ReadDmap(text, &error);
    if (!second || !(*second == *first)) std::abort();
    if (host::WriteDmap(*second) != text) std::abort();
    return 0;
}
