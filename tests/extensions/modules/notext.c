/* Not an extension: its initialisation answers a kind that is none. */
#include "include/zarnip/znex.h"
#include "module_log.h"

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    (void)mainWindow;
    ModuleLog("notext", "Initialize");
    return 5;
}
ZNEX_EXPORT int32_t ZNExTerminate(void) {
    ModuleLog("notext", "Terminate");
    return 0;
}
ZN_MODULE_LOG_EXPORTS
