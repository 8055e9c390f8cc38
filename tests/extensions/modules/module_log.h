/* The call log of a test module: every entry point appends one line, kept
 * in memory (read back through the module's exported TestModuleLog) and,
 * when ZNEX_TEST_LOG names a file, appended there too, so that the order of
 * calls across modules can be read. */
#ifndef ZN_TEST_MODULE_LOG_H
#define ZN_TEST_MODULE_LOG_H

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char g_moduleLog[65536];
static size_t g_moduleLogUsed;

static __attribute__((unused)) void ModuleLog(const char* module, const char* format, ...) {
    char line[512];
    int n = snprintf(line, sizeof line, "%s ", module);
    va_list ap;
    va_start(ap, format);
    vsnprintf(line + n, sizeof line - (size_t)n, format, ap);
    va_end(ap);
    size_t len = strlen(line);
    if (g_moduleLogUsed + len + 2 < sizeof g_moduleLog) {
        memcpy(g_moduleLog + g_moduleLogUsed, line, len);
        g_moduleLogUsed += len;
        g_moduleLog[g_moduleLogUsed++] = '\n';
        g_moduleLog[g_moduleLogUsed] = 0;
    }
    const char* path = getenv("ZNEX_TEST_LOG");
    if (path && *path) {
        FILE* f = fopen(path, "a");
        if (f) {
            fprintf(f, "%s\n", line);
            fclose(f);
        }
    }
}

#define ZN_MODULE_LOG_EXPORTS                                              \
    ZNEX_EXPORT const char* TestModuleLog(void) { return g_moduleLog; }    \
    ZNEX_EXPORT void TestModuleClearLog(void) {                            \
        g_moduleLogUsed = 0;                                               \
        g_moduleLog[0] = 0;                                                \
    }

/* Copies a UTF-16 text into a buffer the program gave (the length first). */
static __attribute__((unused)) int32_t ModuleText(const char16_t* text, void* buffer) {
    int32_t n = 0;
    while (text[n]) ++n;
    if (buffer) memcpy(buffer, text, (size_t)(n + 1) * sizeof(char16_t));
    return n;
}

static __attribute__((unused)) void ToNarrow(const char16_t* in, char* out, size_t size) {
    size_t i = 0;
    for (; in && in[i] && i + 1 < size; ++i) out[i] = in[i] < 128 ? (char)in[i] : '?';
    out[i] = 0;
}

#endif
