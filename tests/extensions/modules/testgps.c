/* A GPS protocol extension without name or code properties (so its code is
 * "test", from its file name): it frames "$...\n" sentences itself and
 * reads the position of GGA sentences. */
#include <stdlib.h>
#include <string.h>

#include "include/zarnip/znex.h"
#include "module_log.h"

#define LOG(...) ModuleLog("testgps", __VA_ARGS__)

ZNEX_EXPORT int32_t ZNExInitialize(ZnxHwnd mainWindow) {
    (void)mainWindow;
    LOG("Initialize");
    return ZNEX_KIND_GPS;
}
ZNEX_EXPORT int32_t ZNExTerminate(void) {
    LOG("Terminate");
    return 0;
}
ZN_MODULE_LOG_EXPORTS

ZNEX_EXPORT uint32_t GPSOpen(int32_t port, ZnxHwnd mainWindow, int32_t options, const ZnxGpsLocation* initial,
                             const char16_t* initialize) {
    (void)mainWindow, (void)initialize;
    LOG("Open %d %d %.1f %.1f", port >= 0, options, initial ? initial->longitude : -1, initial ? initial->latitude : -1);
    return 0x47505301;
}
ZNEX_EXPORT int32_t GPSClose(uint32_t connection) {
    LOG("Close %08X", connection);
    return 0;
}

/* Runs on the reader thread: keeps nothing but the packet it is given. */
ZNEX_EXPORT int32_t GPSRxHandler(uint32_t connection, const uint8_t* next, int32_t* unread, uint8_t* packet,
                                 int32_t* count) {
    (void)connection;
    while (*unread > 0) {
        uint8_t b = *next++;
        --*unread;
        if (*count == 0 && b != '$') continue;
        if (*count >= 250) *count = 0;
        packet[(*count)++] = b;
        if (b == '\n') return 1;
    }
    return 0;
}

/* ddmm.mmmm and the hemisphere letter as signed degrees. */
static double Degrees(const char* field, size_t len, char hemisphere, int degreeDigits) {
    char buf[32];
    if (len == 0 || len >= sizeof buf) return 0;
    memcpy(buf, field, len);
    buf[len] = 0;
    double deg = 0, min = 0;
    for (int i = 0; i < degreeDigits; ++i) deg = deg * 10 + (buf[i] - '0');
    /* Minutes: read without the locale. */
    const char* p = buf + degreeDigits;
    double scale = 0;
    for (; *p; ++p) {
        if (*p == '.') {
            scale = 1;
            continue;
        }
        if (scale > 0) {
            scale /= 10;
            min += (*p - '0') * scale;
        } else {
            min = min * 10 + (*p - '0');
        }
    }
    double v = deg + min / 60.0;
    return hemisphere == 'S' || hemisphere == 'W' ? -v : v;
}

ZNEX_EXPORT int32_t GPSParse(uint32_t connection, const void* packet, GpsPosition* position) {
    (void)connection;
    const char* s = (const char*)packet;
    if (strncmp(s, "$GPGGA,", 7) != 0) return 0;
    const char* f[16];
    size_t len[16];
    int n = 0;
    const char* p = s + 7;
    while (n < 16) {
        const char* e = p;
        while (*e && *e != ',' && *e != '*' && *e != '\r' && *e != '\n') ++e;
        f[n] = p;
        len[n] = (size_t)(e - p);
        ++n;
        if (*e != ',') break;
        p = e + 1;
    }
    /* time, lat, N/S, lon, E/W, quality */
    if (n < 6 || len[1] < 4 || len[3] < 5 || len[5] == 0 || f[5][0] == '0') return 0;
    position->latitude = Degrees(f[1], len[1], f[2][0], 2);
    position->longitude = Degrees(f[3], len[3], f[4][0], 3);
    position->updateBits |= ZN_GPS_UPDATE_POSITION;
    return 1;
}
