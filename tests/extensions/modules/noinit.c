/* Not an extension: it has no initialisation entry point. */
#include "include/zarnip/znex.h"

ZNEX_EXPORT int32_t ZNExTerminate(void) { return 0; }
