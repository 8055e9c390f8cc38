/* A feature-layer module without LayerOpen: it must be refused after it was
 * initialised, and told to terminate. */
#include "include/zarnip/znex.h"
#include "module_log.h"

#define LOG(...) ModuleLog("badlayer", __VA_ARGS__)

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    (void)mainWindow;
    LOG("Initialize");
    return ZNEX_KIND_FEATURE_LAYER;
}
ZNEX_EXPORT int32_t ZNExTerminate(void) {
    LOG("Terminate");
    return 0;
}
ZN_MODULE_LOG_EXPORTS
ZNEX_EXPORT int32_t LayerIsValidPath(const char16_t* path) {
    (void)path;
    return 1;
}
ZNEX_EXPORT int32_t LayerClose(uint32_t handle) {
    (void)handle;
    return 0;
}
ZNEX_EXPORT int32_t LayerGetProperty(uint32_t handle, int32_t code, int32_t index, int32_t sub, void* buffer) {
    (void)handle, (void)code, (void)index, (void)sub, (void)buffer;
    return 0;
}
ZNEX_EXPORT int32_t LayerDraw(uint32_t handle, const ZnxDrawRecord* draw) {
    (void)handle, (void)draw;
    return 0;
}
