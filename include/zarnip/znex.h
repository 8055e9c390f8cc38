/* The extension interface of the program: records that extension modules
 * read and fill by address. Plain C, fixed layout (little-endian, IEEE 754
 * doubles); the offsets are part of the interface and checked below. */
#ifndef ZARNIP_ZNEX_H
#define ZARNIP_ZNEX_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Update bits of GpsPosition.updateBits. */
#define ZN_GPS_UPDATE_POSITION 0x1u
#define ZN_GPS_UPDATE_FIX 0x2u
#define ZN_GPS_UPDATE_DOP 0x4u
#define ZN_GPS_UPDATE_ERROR 0x8u
#define ZN_GPS_UPDATE_SATELLITES 0x10u
#define ZN_GPS_UPDATE_TIME 0x20u
#define ZN_GPS_UPDATE_DATE 0x40u
#define ZN_GPS_UPDATE_SPEED 0x80u
#define ZN_GPS_UPDATE_DEPTH 0x100u
#define ZN_GPS_UPDATE_VELOCITY 0x800u
#define ZN_GPS_UPDATE_IDENTITY 0x40000000u

/* State bits of GpsPosition.stateBits. */
#define ZN_GPS_STATE_RAW_DISPLAY 0x1u
#define ZN_GPS_STATE_AVERAGING 0x4u

/* One satellite of GpsPosition.satellites; slot k describes PRN k + 1. */
#define ZN_GPS_SAT_IN_VIEW 0x1
#define ZN_GPS_SAT_SIGNAL 0x2
#define ZN_GPS_SAT_FLAG4 0x4
#define ZN_GPS_SAT_FLAG8 0x8
#define ZN_GPS_SAT_USED 0x10
#define ZN_GPS_SATELLITE_SLOTS 32

typedef struct GpsSatellite {
    int32_t flags;                /* 0: ZN_GPS_SAT_* */
    int16_t elevation;            /* 4: whole degrees */
    int16_t azimuth;              /* 6: whole degrees */
    double snr;                   /* 8: dB-Hz */
    uint8_t reserved16[72];       /* 16 */
} GpsSatellite;

/* The GPS position and status record: written by the protocol parsers and
 * extension protocols, read in place by the map view, the tracklog, the
 * position window and the script GPS object. A double without data holds
 * NaN or the most negative finite double. Text fields are zero-terminated
 * within their width; wide texts are UTF-16. */
typedef struct GpsPosition {
    uint32_t stateBits;           /* 0 */
    uint8_t reserved4[20];        /* 4 */
    uint32_t updateBits;          /* 24 */
    uint32_t extEventBits;        /* 28 */
    uint8_t reserved32[8];        /* 32 */
    double longitude;             /* 40: degrees, receiver datum */
    double latitude;              /* 48 */
    double height;                /* 56: metres */
    double fourth;                /* 64 */
    uint8_t reserved72[32];       /* 72 */
    uint32_t modeBits;            /* 104: bit 0 three-dimensional, bit 1 manual */
    uint16_t utcTime[8];          /* 108: year, month, weekday, day, h, m, s, ms */
    uint16_t fixQuality;          /* 124: 0 none, 1 GPS, 2 DGPS, 3 PPS */
    uint8_t reserved126[2];       /* 126 */
    double gdop;                  /* 128 */
    double pdop;                  /* 136 */
    double hdop;                  /* 144 */
    double vdop;                  /* 152 */
    double tdop;                  /* 160 */
    double hpe;                   /* 168: metres */
    double reportedHpe;           /* 176: metres */
    double vpe;                   /* 184: metres */
    double epe;                   /* 192: metres */
    double extraError200;         /* 200 */
    double reserved208[3];        /* 208: no data */
    double extraError232;         /* 232 */
    int32_t dgpsAge;              /* 240: seconds */
    int32_t dgpsStation;          /* 244 */
    double sog;                   /* 248: km/h */
    double cog;                   /* 256: degrees from true north */
    double velocityEast;          /* 264: m/s */
    double velocityNorth;         /* 272: m/s */
    double velocityUp;            /* 280: m/s */
    double reserved288;           /* 288: no data */
    double magneticVariation;     /* 296: degrees, east positive */
    uint8_t reserved304[136];     /* 304 */
    double depth;                 /* 440: metres below the transducer */
    double depthOffset;           /* 448: metres */
    double waterTemperature;      /* 456: degrees Celsius */
    uint8_t reserved464[202];     /* 464 */
    uint16_t satellitesInView;    /* 666 */
    uint16_t satellitesUsed;      /* 668: 0xFFFE when not reported */
    uint8_t reserved670[10];      /* 670 */
    double gpsWeek;               /* 680 */
    GpsSatellite satellites[ZN_GPS_SATELLITE_SLOTS]; /* 688 */
    uint8_t reserved3504[520];    /* 3504 */
    int32_t lastPacketId;         /* 4024 */
    uint32_t lastSequenceValue;   /* 4028 */
    char packetName[40];          /* 4032 */
    char rawSentence[256];        /* 4072 */
    uint32_t identityBits;        /* 4328 */
    uint8_t reserved4332[4];      /* 4332 */
    int32_t receiverKind;         /* 4336 */
    int32_t productNumber;        /* 4340 */
    char16_t receiverName[40];    /* 4344: UTF-16 */
    char16_t receiverInfo[40];    /* 4424: UTF-16 */
    double receiverTemperature;   /* 4504: degrees Celsius */
    uint8_t reserved4512[40];     /* 4512 */
    int32_t errorCode;            /* 4552 */
    char errorText[164];          /* 4556 */
} GpsPosition;

#ifdef __cplusplus
}
#endif

#ifdef __cplusplus
#define ZN_STATIC_ASSERT static_assert
#else
#define ZN_STATIC_ASSERT _Static_assert
#endif
ZN_STATIC_ASSERT(sizeof(GpsPosition) == 4720, "GpsPosition is 4720 bytes");
ZN_STATIC_ASSERT(sizeof(GpsSatellite) == 88, "GpsSatellite is 88 bytes");
ZN_STATIC_ASSERT(offsetof(GpsSatellite, elevation) == 4, "elevation");
ZN_STATIC_ASSERT(offsetof(GpsSatellite, azimuth) == 6, "azimuth");
ZN_STATIC_ASSERT(offsetof(GpsSatellite, snr) == 8, "snr");
ZN_STATIC_ASSERT(offsetof(GpsPosition, stateBits) == 0, "stateBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, reserved4) == 4, "reserved4");
ZN_STATIC_ASSERT(offsetof(GpsPosition, updateBits) == 24, "updateBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, extEventBits) == 28, "extEventBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, longitude) == 40, "longitude");
ZN_STATIC_ASSERT(offsetof(GpsPosition, latitude) == 48, "latitude");
ZN_STATIC_ASSERT(offsetof(GpsPosition, height) == 56, "height");
ZN_STATIC_ASSERT(offsetof(GpsPosition, fourth) == 64, "fourth");
ZN_STATIC_ASSERT(offsetof(GpsPosition, modeBits) == 104, "modeBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, utcTime) == 108, "utcTime");
ZN_STATIC_ASSERT(offsetof(GpsPosition, fixQuality) == 124, "fixQuality");
ZN_STATIC_ASSERT(offsetof(GpsPosition, gdop) == 128, "gdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, pdop) == 136, "pdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, hdop) == 144, "hdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, vdop) == 152, "vdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, tdop) == 160, "tdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, hpe) == 168, "hpe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, reportedHpe) == 176, "reportedHpe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, vpe) == 184, "vpe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, epe) == 192, "epe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, extraError200) == 200, "extraError200");
ZN_STATIC_ASSERT(offsetof(GpsPosition, reserved208) == 208, "reserved208");
ZN_STATIC_ASSERT(offsetof(GpsPosition, extraError232) == 232, "extraError232");
ZN_STATIC_ASSERT(offsetof(GpsPosition, dgpsAge) == 240, "dgpsAge");
ZN_STATIC_ASSERT(offsetof(GpsPosition, dgpsStation) == 244, "dgpsStation");
ZN_STATIC_ASSERT(offsetof(GpsPosition, sog) == 248, "sog");
ZN_STATIC_ASSERT(offsetof(GpsPosition, cog) == 256, "cog");
ZN_STATIC_ASSERT(offsetof(GpsPosition, velocityEast) == 264, "velocityEast");
ZN_STATIC_ASSERT(offsetof(GpsPosition, velocityNorth) == 272, "velocityNorth");
ZN_STATIC_ASSERT(offsetof(GpsPosition, velocityUp) == 280, "velocityUp");
ZN_STATIC_ASSERT(offsetof(GpsPosition, reserved288) == 288, "reserved288");
ZN_STATIC_ASSERT(offsetof(GpsPosition, magneticVariation) == 296, "magneticVariation");
ZN_STATIC_ASSERT(offsetof(GpsPosition, depth) == 440, "depth");
ZN_STATIC_ASSERT(offsetof(GpsPosition, depthOffset) == 448, "depthOffset");
ZN_STATIC_ASSERT(offsetof(GpsPosition, waterTemperature) == 456, "waterTemperature");
ZN_STATIC_ASSERT(offsetof(GpsPosition, satellitesInView) == 666, "satellitesInView");
ZN_STATIC_ASSERT(offsetof(GpsPosition, satellitesUsed) == 668, "satellitesUsed");
ZN_STATIC_ASSERT(offsetof(GpsPosition, gpsWeek) == 680, "gpsWeek");
ZN_STATIC_ASSERT(offsetof(GpsPosition, satellites) == 688, "satellites");
ZN_STATIC_ASSERT(offsetof(GpsPosition, reserved3504) == 3504, "reserved3504");
ZN_STATIC_ASSERT(offsetof(GpsPosition, lastPacketId) == 4024, "lastPacketId");
ZN_STATIC_ASSERT(offsetof(GpsPosition, lastSequenceValue) == 4028, "lastSequenceValue");
ZN_STATIC_ASSERT(offsetof(GpsPosition, packetName) == 4032, "packetName");
ZN_STATIC_ASSERT(offsetof(GpsPosition, rawSentence) == 4072, "rawSentence");
ZN_STATIC_ASSERT(offsetof(GpsPosition, identityBits) == 4328, "identityBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, receiverKind) == 4336, "receiverKind");
ZN_STATIC_ASSERT(offsetof(GpsPosition, productNumber) == 4340, "productNumber");
ZN_STATIC_ASSERT(offsetof(GpsPosition, receiverName) == 4344, "receiverName");
ZN_STATIC_ASSERT(offsetof(GpsPosition, receiverInfo) == 4424, "receiverInfo");
ZN_STATIC_ASSERT(offsetof(GpsPosition, receiverTemperature) == 4504, "receiverTemperature");
ZN_STATIC_ASSERT(offsetof(GpsPosition, errorCode) == 4552, "errorCode");
ZN_STATIC_ASSERT(offsetof(GpsPosition, errorText) == 4556, "errorText");
ZN_STATIC_ASSERT(sizeof(((GpsPosition*)0)->receiverName) == 80, "receiverName is 40 UTF-16 units");
#undef ZN_STATIC_ASSERT

#endif /* ZARNIP_ZNEX_H */
