#include "gps/gps_position.h"

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>

void ResetGpsPosition(GpsPosition* p) {
    std::memset(p, 0, sizeof *p);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double* d : {&p->longitude, &p->latitude, &p->height, &p->fourth, &p->gdop, &p->pdop,
                      &p->hdop, &p->vdop, &p->tdop, &p->hpe, &p->reportedHpe, &p->vpe, &p->epe,
                      &p->extraError200, &p->reserved208[0], &p->reserved208[1],
                      &p->reserved208[2], &p->extraError232, &p->sog, &p->cog, &p->velocityEast,
                      &p->velocityNorth, &p->velocityUp, &p->reserved288, &p->depth,
                      &p->depthOffset, &p->waterTemperature})
        *d = nan;
    p->magneticVariation = 0.0;
    p->satellitesUsed = 0xFFFE;
    p->modeBits |= 0x1;
}

GpsSatellite* GpsSatelliteSlot(GpsPosition* p, int prn) {
    if (prn < 1 || prn > ZN_GPS_SATELLITE_SLOTS) return nullptr;
    return &p->satellites[prn - 1];
}

void ClearGpsSatellites(GpsPosition* p) { std::memset(p->satellites, 0, sizeof p->satellites); }

void CopyGpsText(char* field, size_t width, const char* text) {
    size_t n = 0;
    while (n + 1 < width && text[n]) {
        field[n] = text[n];
        ++n;
    }
    std::memset(field + n, 0, width - n);
}

void CopyGpsText(char16_t* field, size_t width, const char* text) {
    size_t n = 0;
    while (n + 1 < width && text[n]) {
        field[n] = static_cast<unsigned char>(text[n]);
        ++n;
    }
    for (size_t i = n; i < width; ++i) field[i] = 0;
}

void CopyGpsText(char16_t* field, size_t width, const char16_t* text) {
    size_t n = 0;
    while (n + 1 < width && text[n]) {
        field[n] = text[n];
        ++n;
    }
    for (size_t i = n; i < width; ++i) field[i] = 0;
}
