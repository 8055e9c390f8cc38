/* The extension interface of the program: records that extension modules
 * read and fill by address. Plain C, fixed layout (little-endian, IEEE 754
 * doubles); the offsets are part of the interface and checked below. */
#ifndef ZARNIP_ZNEX_H
#define ZARNIP_ZNEX_H

#include <stddef.h>
#include <stdint.h>

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

/* The GPS position and status record: written by the protocol parsers and
 * extension protocols, read in place by the map view, the tracklog, the
 * position window and the script GPS object. A double without data holds
 * NaN or the most negative finite double. Fields the map engine does not
 * read stay reserved bytes here until the receiver names them. */
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
    double hpe;                   /* 168 */
    double reportedHpe;           /* 176 */
    double vpe;                   /* 184 */
    double epe;                   /* 192 */
    uint8_t reserved200[48];      /* 200 */
    double sog;                   /* 248: km/h */
    double cog;                   /* 256: degrees from true north */
    uint8_t reserved264[402];     /* 264 */
    uint16_t satellitesInView;    /* 666 */
    uint16_t satellitesUsed;      /* 668 */
    uint8_t reserved670[3354];    /* 670 */
    int32_t lastPacketId;         /* 4024 */
    uint32_t lastSequenceValue;   /* 4028 */
    char packetName[40];          /* 4032 */
    char rawSentence[256];        /* 4072 */
    uint8_t reserved4328[224];    /* 4328 */
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
ZN_STATIC_ASSERT(offsetof(GpsPosition, updateBits) == 24, "updateBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, extEventBits) == 28, "extEventBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, longitude) == 40, "longitude");
ZN_STATIC_ASSERT(offsetof(GpsPosition, latitude) == 48, "latitude");
ZN_STATIC_ASSERT(offsetof(GpsPosition, height) == 56, "height");
ZN_STATIC_ASSERT(offsetof(GpsPosition, fourth) == 64, "fourth");
ZN_STATIC_ASSERT(offsetof(GpsPosition, modeBits) == 104, "modeBits");
ZN_STATIC_ASSERT(offsetof(GpsPosition, utcTime) == 108, "utcTime");
ZN_STATIC_ASSERT(offsetof(GpsPosition, fixQuality) == 124, "fixQuality");
ZN_STATIC_ASSERT(offsetof(GpsPosition, pdop) == 136, "pdop");
ZN_STATIC_ASSERT(offsetof(GpsPosition, hpe) == 168, "hpe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, epe) == 192, "epe");
ZN_STATIC_ASSERT(offsetof(GpsPosition, sog) == 248, "sog");
ZN_STATIC_ASSERT(offsetof(GpsPosition, cog) == 256, "cog");
ZN_STATIC_ASSERT(offsetof(GpsPosition, satellitesInView) == 666, "satellitesInView");
ZN_STATIC_ASSERT(offsetof(GpsPosition, satellitesUsed) == 668, "satellitesUsed");
ZN_STATIC_ASSERT(offsetof(GpsPosition, lastPacketId) == 4024, "lastPacketId");
ZN_STATIC_ASSERT(offsetof(GpsPosition, packetName) == 4032, "packetName");
ZN_STATIC_ASSERT(offsetof(GpsPosition, rawSentence) == 4072, "rawSentence");
ZN_STATIC_ASSERT(offsetof(GpsPosition, errorCode) == 4552, "errorCode");
ZN_STATIC_ASSERT(offsetof(GpsPosition, errorText) == 4556, "errorText");
#undef ZN_STATIC_ASSERT

#endif /* ZARNIP_ZNEX_H */
