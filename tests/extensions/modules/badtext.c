/* A feature-layer module that answers texts badly: absurd lengths, names
 * that are no XML names, buffers filled to the last unit, and extra
 * properties that never end. */
#include <string.h>

#include "include/zarnip/znex.h"
#include "module_log.h"

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    (void)mainWindow;
    return ZNEX_KIND_FEATURE_LAYER;
}
ZNEX_EXPORT int32_t ZNExGetProperty(int32_t id, int32_t index, void* buffer) {
    (void)index, (void)buffer;
    if (id == ZNEX_PROP_NAME) return 0x7FFFFFFF;
    if (id == ZNEX_PROP_CODE) return -1;
    return 0;
}
ZN_MODULE_LOG_EXPORTS
ZNEX_EXPORT int32_t LayerIsValidPath(const char16_t* path) {
    size_t n = 0;
    while (path[n]) ++n;
    return n > 5 && memcmp(path + n - 5, u".tbad", 10) == 0;
}
ZNEX_EXPORT uint32_t LayerOpen(const char16_t* path, ZnxHwnd mainWindow) {
    (void)path, (void)mainWindow;
    return 0x0BAD0001;
}
ZNEX_EXPORT int32_t LayerClose(uint32_t handle) {
    (void)handle;
    return 0;
}
ZNEX_EXPORT int32_t LayerGetProperty(uint32_t handle, int32_t code, int32_t index, int32_t sub, void* buffer) {
    (void)handle, (void)index, (void)sub;
    switch (code) {
        case ZNEX_LAYER_NAME:
            return -7;
        case ZNEX_LAYER_COMMENTS:
            return 1 << 30;
        case ZNEX_LAYER_WKT:
            /* A length of 3, then 3 units and no terminator past them. */
            if (buffer) memcpy(buffer, u"GEOGCS[", 8);
            return 3;
        case ZNEX_LAYER_FIELD_COUNT:
            return -3;
        case ZNEX_LAYER_CLASS_COUNT:
            return -1;
        default:
            return 0;
    }
}
ZNEX_EXPORT int32_t LayerDraw(uint32_t handle, const ZnxDrawRecord* draw) {
    (void)handle, (void)draw;
    return 0;
}
ZNEX_EXPORT int32_t LayerSaveProperty(uint32_t handle, int32_t index, char16_t* name, char16_t* value) {
    (void)handle;
    if (index == 0) {
        memcpy(name, u"bad name", 18);
        memcpy(value, u"x", 4);
    } else if (index == 1) {
        /* Both buffers filled to the last unit, no terminator. */
        for (int i = 0; i < ZNEX_SAVE_NAME_SIZE; ++i) name[i] = u'a';
        for (int i = 0; i < ZNEX_SAVE_VALUE_SIZE; ++i) value[i] = u'v';
    } else {
        /* Never answers 0: the program must stop by itself. */
        char16_t digits[12];
        int n = 0, v = index;
        do {
            digits[n++] = (char16_t)(u'0' + v % 10);
            v /= 10;
        } while (v);
        name[0] = u'p';
        for (int i = 0; i < n; ++i) name[1 + i] = value[i] = digits[n - 1 - i];
        name[1 + n] = value[n] = 0;
    }
    return 1;
}
