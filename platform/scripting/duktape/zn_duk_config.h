/* Our configuration of the duktape engine behind "JScript". Everything that
 * includes duktape includes this header instead, so the engine source and
 * its callers agree on it. It starts from the configuration shipped with the
 * source and changes what scripts written for the classic engine need:
 *
 * - no tail-call elimination: a handler that recurses by mistake must hit the
 *   call-depth limit and stop with "Out of stack space", not loop forever;
 * - lower call-depth and C recursion limits, so deep recursion through
 *   natives, the compiler or regular expressions ends in that error well
 *   before the thread's stack runs out (also under the sanitizers);
 * - the execution time-out check, which asks the engine's host whether the
 *   script may go on (the abort poll); see zn_jscript_should_stop;
 * - splice(start) without a count removes nothing, as in the classic engine;
 * - date texts in the classic forms parse (zn_jscript_parse_date);
 * - functions keep their source text (Function.prototype.toString).
 */
#ifndef ZN_DUK_CONFIG_H
#define ZN_DUK_CONFIG_H

#include <duk_config.h>

#undef DUK_USE_TAILCALL

#undef DUK_USE_CALLSTACK_LIMIT
#define DUK_USE_CALLSTACK_LIMIT 3000
#undef DUK_USE_NATIVE_CALL_RECLIMIT
#define DUK_USE_NATIVE_CALL_RECLIMIT 120
#undef DUK_USE_COMPILER_RECLIMIT
#define DUK_USE_COMPILER_RECLIMIT 300
#undef DUK_USE_REGEXP_COMPILER_RECLIMIT
#define DUK_USE_REGEXP_COMPILER_RECLIMIT 1000
#undef DUK_USE_REGEXP_EXECUTOR_RECLIMIT
#define DUK_USE_REGEXP_EXECUTOR_RECLIMIT 2000
#undef DUK_USE_JSON_DEC_RECLIMIT
#define DUK_USE_JSON_DEC_RECLIMIT 300
#undef DUK_USE_JSON_ENC_RECLIMIT
#define DUK_USE_JSON_ENC_RECLIMIT 300
#undef DUK_USE_MARK_AND_SWEEP_RECLIMIT
#define DUK_USE_MARK_AND_SWEEP_RECLIMIT 64

#undef DUK_USE_NONSTD_ARRAY_SPLICE_DELCOUNT

#undef DUK_USE_NONSTD_FUNC_SOURCE_PROPERTY
#define DUK_USE_NONSTD_FUNC_SOURCE_PROPERTY

#if defined(__cplusplus)
extern "C" {
#endif
/* Nonzero when the running script must stop (the heap's user data is the
 * engine). Once it answers nonzero it keeps doing so until the outermost
 * run has returned. */
int zn_jscript_should_stop(void* heap_udata);
/* Date texts the built-in ISO 8601 parser refuses: the classic forms
 * ("Jan 20 2009 UTC", "7/02/17", "Sat Dec 30 00:00:00 UTC+0100 1899").
 * Pushes the time value and answers 1, or pushes nothing and answers 0. */
int zn_jscript_parse_date(void* ctx, const char* text);
/* Set by the executor while it reads the member a call is about to call:
 * the base object and the key (engine-internal pointers); cleared after. */
extern __thread void* zn_jscript_method_base;
extern __thread void* zn_jscript_method_key;
/* Set by the executor while it reads a property of a proxy that typeof
 * takes next: the proxy (an engine-internal pointer); the bridge clears it. */
extern __thread void* zn_jscript_typeof_base;
/* Nonzero while the built-ins written in script are compiled: their
 * functions keep no source text and their named function expressions
 * declare nothing. */
extern __thread int zn_jscript_no_source;
#if defined(__cplusplus)
}
#endif

#undef DUK_USE_DATE_PARSE_STRING
#define DUK_USE_DATE_PARSE_STRING(ctx, str) zn_jscript_parse_date((void*) (ctx), (str))

#undef DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_INTERRUPT_COUNTER
#undef DUK_USE_EXEC_TIMEOUT_CHECK
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) zn_jscript_should_stop(udata)

#include <duktape.h>

#if defined(__cplusplus)
extern "C" {
#endif
/* The value a host member read gives typeof when the read failed: typeof
 * names it "unknown"; pushed as a lightweight function of this address. */
duk_ret_t zn_jscript_unknown_marker(duk_context* ctx);
#if defined(__cplusplus)
}
#endif

#endif
