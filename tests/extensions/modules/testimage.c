/* An image-layer extension whose initialisation answers more than its kind
 * in the high bits: datasets ending ".timg", with an extent and no pixels. */
#include <string.h>

#include "include/zarnip/znex.h"
#include "module_log.h"

#define LOG(...) ModuleLog("testimage", __VA_ARGS__)

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    (void)mainWindow;
    LOG("Initialize");
    return 0x00010002;
}
ZNEX_EXPORT int32_t ZNExTerminate(void) {
    LOG("Terminate");
    return 0;
}
ZNEX_EXPORT int32_t ZNExGetProperty(int32_t id, int32_t index, void* buffer) {
    (void)index;
    if (id == ZNEX_PROP_NAME) return ModuleText(u"Test Image", buffer);
    return 0;
}
ZN_MODULE_LOG_EXPORTS

ZNEX_EXPORT int32_t LayerIsValidPath(const char16_t* path) {
    size_t n = 0;
    while (path[n]) ++n;
    /* ".both" is the feature module's too: this one, first by name, wins. */
    return n > 5 && (memcmp(path + n - 5, u".timg", 10) == 0 || memcmp(path + n - 5, u".both", 10) == 0);
}
ZNEX_EXPORT uint32_t LayerOpen(const char16_t* path, ZnxHwnd mainWindow) {
    (void)path, (void)mainWindow;
    LOG("Open");
    return 0x00B00001;
}
ZNEX_EXPORT int32_t LayerClose(uint32_t handle) {
    LOG("Close %08X", handle);
    return 0;
}
ZNEX_EXPORT int32_t LayerGetProperty(uint32_t handle, int32_t code, int32_t index, int32_t sub, void* buffer) {
    (void)handle, (void)index, (void)sub;
    if (code == ZNEX_LAYER_EXTENT && buffer) {
        ZnxRect r = {500000, 4000000, 501000, 4001000};
        memcpy(buffer, &r, sizeof r);
        return 1;
    }
    return 0;
}
