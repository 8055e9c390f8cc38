/* The duktape engine compiled from the source Debian ships (duktape-dev),
 * with our configuration. */
/* The configuration takes its engine-internal parts only when this is set. */
#define DUK_COMPILING_DUKTAPE
#include "platform/scripting/duktape/zn_duk_config.h"

#include "duktape.c"

__thread void* zn_jscript_method_base;
__thread void* zn_jscript_method_key;
__thread void* zn_jscript_typeof_base;
__thread int zn_jscript_no_source;

duk_ret_t zn_jscript_unknown_marker(duk_context* ctx) {
    (void) ctx;
    return 0;
}

/* The engine's version as compiled in (major * 10000 + minor * 100 + patch),
 * for the program's system report. */
long zn_duktape_version(void) {
    return (long) DUK_VERSION;
}
