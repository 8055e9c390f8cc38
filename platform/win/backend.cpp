#include "platform/win/backend.h"

#include <atomic>

namespace win {

namespace {
DisplayBackend g_null;
std::atomic<DisplayBackend*> g_backend{&g_null};
}  // namespace

void SetDisplayBackend(DisplayBackend* backend) {
    g_backend = backend ? backend : &g_null;
}
DisplayBackend& GetDisplayBackend() {
    return *g_backend.load();
}

}  // namespace win
