/* The extension interface of the program: the entry points an extension
 * module exports (looked up by name), what the program passes to them, the
 * records they read and fill by address, and the platform functions a module
 * may call. Plain C, usable from C and C++; fixed layout (little-endian,
 * IEEE 754 doubles); every offset is part of the interface and checked below.
 *
 * A module is a shared object in the Extensions folder beside the program,
 * named without a "lib" prefix (gpsx.so), with its icons and version in a
 * resource file of the same name beside it (gpsx.res). It links the
 * program's platform library (libznplatform.so) and calls only the Znx
 * functions declared here.
 *
 * Conventions:
 * - Integers and results are 32-bit; texts are UTF-16 (char16_t), and every
 *   text length counts UTF-16 units.
 * - Window and device-context handles are the platform's handle types
 *   (pointer-sized, value below 2^32); records with 4-byte handle fields hold
 *   the handle's value. Layer and connection handles chosen by a module are
 *   32-bit and must not be 0.
 * - Texts are read in two calls: first with a null buffer, answering the
 *   length; when it is 1 or more, again with a buffer of length + 1 units.
 *   The program keeps at most the first call's length (at most 65535).
 * - Threads: GPSRxHandler runs on the serial port's reader thread; every
 *   other entry point on the user-interface thread. A module keeps the state
 *   of its GPSRxHandler apart from that of GPSParse.
 * - No C++ exception may leave an entry point. */
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


/* ---- export and handle types ---- */

/* Marks an entry point of a module built with hidden visibility. */
#define ZNEX_EXPORT __attribute__((visibility("default")))

/* The platform's handle types (the same types as the program's). */
typedef struct HWND__* ZnxHwnd;
typedef struct HDC__* ZnxHdc;
typedef struct HGDIOBJ__* ZnxHgdiobj;
typedef char16_t* ZnxBstr;
typedef int32_t ZnxHresult;

#define ZNEX_S_OK ((ZnxHresult)0)
#define ZNEX_S_FALSE ((ZnxHresult)1)
#define ZNEX_E_NOTIMPL ((ZnxHresult)0x80004001u)
#define ZNEX_E_FAIL ((ZnxHresult)0x80004005u)
#define ZNEX_E_INVALIDARG ((ZnxHresult)0x80070057u)

/* ---- records ---- */

/* A rectangle of four doubles: xmin, ymin, xmax, ymax. */
typedef struct ZnxRect {
    double xmin;                  /* 0 */
    double ymin;                  /* 8 */
    double xmax;                  /* 16 */
    double ymax;                  /* 24 */
} ZnxRect;

/* A device rectangle (right and bottom exclusive where drawn). */
typedef struct ZnxCellRect {
    int32_t left;                 /* 0 */
    int32_t top;                  /* 4 */
    int32_t right;                /* 8 */
    int32_t bottom;               /* 12 */
} ZnxCellRect;

/* What LayerDraw gets: the target and second device contexts (their handle
 * values, 0 when none), the area to draw in layer coordinates, the map
 * scale denominator and the device rectangle 0, 0, width - 1, height - 1. */
typedef struct ZnxDrawRecord {
    uint32_t targetDc;            /* 0 */
    uint32_t secondDc;            /* 4 */
    ZnxRect area;                 /* 8 */
    uint8_t zero40[32];           /* 40 */
    double mapScale;              /* 72 */
    ZnxCellRect device;           /* 80 */
} ZnxDrawRecord;

/* A date field's value (LayerGetProperty 205): zeroed by the program before
 * the call. */
typedef struct ZnxDate {
    uint16_t year;                /* 0 */
    uint16_t month;               /* 2 */
    uint16_t dayOfWeek;           /* 4 */
    uint16_t day;                 /* 6 */
    uint16_t zero8[4];            /* 8 */
} ZnxDate;

/* The initial position of GPSOpen: degrees and metres. */
typedef struct ZnxGpsLocation {
    double longitude;             /* 0 */
    double latitude;              /* 8 */
    double altitude;              /* 16 */
    double fourth;                /* 24 */
} ZnxGpsLocation;

/* A message of the user-interface thread (ZNExPreTranslateMessage). */
typedef struct ZnxMsg {
    ZnxHwnd hwnd;                 /* 0 */
    uint32_t message;             /* 8 */
    uintptr_t wParam;             /* 16 */
    intptr_t lParam;              /* 24 */
    uint32_t time;                /* 32 */
    int32_t ptX;                  /* 36: pointer position, screen */
    int32_t ptY;                  /* 40 */
} ZnxMsg;

/* An automation value (ZNExEscape): type in vt, value at offset 8. */
typedef struct ZnxVariant {
    uint16_t vt;                  /* 0 */
    uint16_t reserved1;           /* 2 */
    uint16_t reserved2;           /* 4 */
    uint16_t reserved3;           /* 6 */
    union {                       /* 8 */
        int64_t llVal;
        int32_t lVal;
        int16_t iVal;
        uint8_t bVal;
        double dblVal;
        int16_t boolVal;          /* -1 true, 0 false */
        ZnxBstr bstrVal;
        void* punkVal;
        uint8_t raw[16];
    } value;
} ZnxVariant;

#define ZNEX_VT_EMPTY 0
#define ZNEX_VT_I4 3
#define ZNEX_VT_R8 5
#define ZNEX_VT_BSTR 8
#define ZNEX_VT_BOOL 11

/* ---- kinds, properties and tools ---- */

/* The low 16 bits of ZNExInitialize's answer. */
#define ZNEX_KIND_FEATURE_LAYER 1
#define ZNEX_KIND_IMAGE_LAYER 2
#define ZNEX_KIND_GPS 16

/* ZNExGetProperty ids. */
#define ZNEX_PROP_NAME 1          /* text */
#define ZNEX_PROP_CODE 2          /* four characters into a 4-byte buffer */
#define ZNEX_PROP_TOOL_COUNT 10
#define ZNEX_PROP_TOOL_TYPE 20    /* index: the tool */
#define ZNEX_PROP_TOOL_NAME 21    /* text */
#define ZNEX_PROP_TOOL_ICON 22    /* negative: none */

/* Tool type: bits 0 to 15 the kind, 16 to 23 the class. */
#define ZNEX_TOOL_COMMAND 0
#define ZNEX_TOOL_LAYER 256
#define ZNEX_TOOL_LAYER_RUN 257
#define ZNEX_TOOL_CLASS_GENERAL 0x00000
#define ZNEX_TOOL_CLASS_FIND 0x10000

/* ZNExAUX event codes. */
#define ZNEX_AUX_OPENED 1
#define ZNEX_AUX_CLOSED 2
#define ZNEX_AUX_TEXT 3

/* LayerGetProperty codes. */
#define ZNEX_LAYER_FLAGS 0        /* bits below */
#define ZNEX_LAYER_EXTENT 1       /* index: record, 0 the layer; ZnxRect */
#define ZNEX_LAYER_NAME 2         /* text */
#define ZNEX_LAYER_COMMENTS 3     /* text */
#define ZNEX_LAYER_WKT 4          /* text */
#define ZNEX_LAYER_CURRENT 100    /* index: record; 1 when it exists */
#define ZNEX_LAYER_CLASS_OF 101   /* index: record; -1 none */
#define ZNEX_LAYER_FIELD_COUNT 200
#define ZNEX_LAYER_FIELD_NAME 201 /* sub-index: field; text */
#define ZNEX_LAYER_FIELD_TYPE 202 /* 'C', 'N', 'L', 'D' */
#define ZNEX_LAYER_FIELD_WIDTH 203
#define ZNEX_LAYER_FIELD_DECIMALS 204
#define ZNEX_LAYER_FIELD_VALUE 205 /* index: current record; C text into a
                                      buffer of width + 1 units, N double,
                                      L int32_t, D ZnxDate */
#define ZNEX_LAYER_CLASS_COUNT 300
#define ZNEX_LAYER_CLASS_LABEL 301 /* sub-index: class; text */
#define ZNEX_LAYER_CLASS_VALUE 302 /* text */
#define ZNEX_LAYER_CLASS_FLAGS 303 /* bit 0: shown; also LayerSetProperty */
/* LayerSetProperty 100: write the current record (value: the record). */

/* Bits of ZNEX_LAYER_FLAGS. */
#define ZNEX_LAYER_REPROJECTABLE 0x1
#define ZNEX_LAYER_NEEDS_AUX 0x2
#define ZNEX_LAYER_DYNAMIC 0x4

/* Sizes of LayerSaveProperty's buffers, in units, terminator included. */
#define ZNEX_SAVE_NAME_SIZE 64
#define ZNEX_SAVE_VALUE_SIZE 1024

/* ---- messages a module sends to the main window ---- */

/* Shows wParam's text in a box; lParam non-zero: the text is a BSTR that the
 * program frees. */
#define ZNEX_WM_SHOWMESSAGE 0x8101
/* wParam 1 to 6: the service function below, returned as the result. */
#define ZNEX_WM_GETSERVICE 0x8102
/* Fires the Application object's OnExEvent with the low word of wParam. */
#define ZNEX_WM_FIREEVENT 0x8103

#define ZNEX_SERVICE_LAYER_TO_MAP 1
#define ZNEX_SERVICE_MAP_TO_LAYER 2
#define ZNEX_SERVICE_LAYER_TO_SCREEN 3
#define ZNEX_SERVICE_SCREEN_TO_LAYER 4
#define ZNEX_SERVICE_COLOR_PICKER 5
#define ZNEX_SERVICE_CHOOSE_FONT 6

#ifdef __cplusplus
struct LOGFONT; /* the platform's font record */
#else
/* The platform's font record (92 bytes). */
struct LOGFONT {
    int32_t lfHeight, lfWidth, lfEscapement, lfOrientation, lfWeight;
    uint8_t lfItalic, lfUnderline, lfStrikeOut, lfCharSet;
    uint8_t lfOutPrecision, lfClipPrecision, lfQuality, lfPitchAndFamily;
    char16_t lfFaceName[32];
};
#endif

/* Layer index: of the active map's layer list; coordinates as x, y pairs.
 * The result is the number of points converted, 0 for a bad layer. */
typedef int (*ZnxServiceLayerToMap)(int layer, const double* in, int count, double* out);
typedef int (*ZnxServiceMapToLayer)(int layer, const double* in, int count, double* out);
typedef int (*ZnxServiceLayerToScreen)(int layer, const double* in, int count, int32_t* out);
typedef int (*ZnxServiceScreenToLayer)(int layer, const int32_t* in, int count, double* out);
/* Non-zero when chosen; the colour is in and out. */
typedef int (*ZnxServiceColorPicker)(ZnxHwnd parent, uint32_t* colour);
typedef int (*ZnxServiceChooseFont)(ZnxHwnd parent, struct LOGFONT* font);

/* ---- entry points ---- */

#define ZNEX_NAME_INITIALIZE "ZNExInitialize"
#define ZNEX_NAME_TERMINATE "ZNExTerminate"
#define ZNEX_NAME_GET_PROPERTY "ZNExGetProperty"
#define ZNEX_NAME_SET_PROPERTY "ZNExSetProperty"
#define ZNEX_NAME_DIALOG_ABOUT "ZNExDialogAbout"
#define ZNEX_NAME_DIALOG_PROPERTIES "ZNExDialogProperties"
#define ZNEX_NAME_PRE_TRANSLATE_MESSAGE "ZNExPreTranslateMessage"
#define ZNEX_NAME_ESCAPE "ZNExEscape"
#define ZNEX_NAME_AUX "ZNExAUX"
#define ZNEX_NAME_TOOL "ZNExTool"

/* Called once when the module is loaded; the kind (above). */
typedef int32_t (*ZNExInitializeFn)(ZnxHwnd mainWindow);
/* Called once at exit; no entry point of the module runs after it. */
typedef int32_t (*ZNExTerminateFn)(void);
/* Length, count or value; 0 or less: none. */
typedef int32_t (*ZNExGetPropertyFn)(int32_t id, int32_t index, void* buffer);
typedef int32_t (*ZNExSetPropertyFn)(int32_t id, int32_t index, int32_t value);
/* The parent object is always null. */
typedef int32_t (*ZNExDialogAboutFn)(ZnxHwnd parent, void* parentObject);
typedef int32_t (*ZNExDialogPropertiesFn)(ZnxHwnd parent, void* parentObject);
/* Non-zero: the message was handled and is dropped. Runs for every message:
 * keep it fast. */
typedef int32_t (*ZNExPreTranslateMessageFn)(ZnxMsg* msg);
/* Handle 0 (the extension), the GPS connection handle or a layer handle;
 * the three arguments may be null. */
typedef ZnxHresult (*ZNExEscapeFn)(uint32_t handle, ZnxVariant* arg1, ZnxVariant* arg2,
                                   ZnxVariant* arg3, ZnxVariant* result);
/* The port's descriptor, ZNEX_AUX_*, the owning layer's handle, 8-bit text
 * (null and 0 unless ZNEX_AUX_TEXT). */
typedef int32_t (*ZNExAUXFn)(int32_t port, int32_t code, uint32_t layerHandle, const char* text,
                             int32_t length);
/* The layer handle for layer tools, else 0; the current map extent. */
typedef int32_t (*ZNExToolFn)(int32_t tool, ZnxHwnd mainWindow, uint32_t layerHandle,
                              int32_t reserved, ZnxRect* extent);

#define ZNEX_NAME_GPS_OPEN "GPSOpen"
#define ZNEX_NAME_GPS_CLOSE "GPSClose"
#define ZNEX_NAME_GPS_RX_HANDLER "GPSRxHandler"
#define ZNEX_NAME_GPS_PARSE "GPSParse"
#define ZNEX_NAME_GPS_POLL "GPSPoll"

/* The port's descriptor; the connection handle, 0 on failure. Required. */
typedef uint32_t (*GPSOpenFn)(int32_t port, ZnxHwnd mainWindow, int32_t options,
                              const ZnxGpsLocation* initial, const char16_t* initialize);
typedef int32_t (*GPSCloseFn)(uint32_t connection);
/* The reader thread's packet framer: `next` the unread bytes (*unread of
 * them, consumed ones to be subtracted), the packet buffer and its filled
 * count. Non-zero when a packet is complete. */
typedef int32_t (*GPSRxHandlerFn)(uint32_t connection, const uint8_t* next, int32_t* unread,
                                  uint8_t* packet, int32_t* count);
/* 1 when the record was updated. Required. */
typedef int32_t (*GPSParseFn)(uint32_t connection, const void* packet, GpsPosition* position);
typedef int32_t (*GPSPollFn)(uint32_t connection, uint32_t counter);

#define ZNEX_NAME_LAYER_IS_VALID_PATH "LayerIsValidPath"
#define ZNEX_NAME_LAYER_OPEN "LayerOpen"
#define ZNEX_NAME_LAYER_CLOSE "LayerClose"
#define ZNEX_NAME_LAYER_GET_PROPERTY "LayerGetProperty"
#define ZNEX_NAME_LAYER_SET_PROPERTY "LayerSetProperty"
#define ZNEX_NAME_LAYER_LOAD_PROPERTY "LayerLoadProperty"
#define ZNEX_NAME_LAYER_SAVE_PROPERTY "LayerSaveProperty"
#define ZNEX_NAME_LAYER_DRAW "LayerDraw"
#define ZNEX_NAME_LAYER_DRAW_FEATURE "LayerDrawFeature"
#define ZNEX_NAME_LAYER_DRAW_SYMBOL "LayerDrawSymbol"
#define ZNEX_NAME_LAYER_DIALOG_PROPERTIES "LayerDialogProperties"
#define ZNEX_NAME_LAYER_DIALOG_IDENTIFY "LayerDialogIdentify"
#define ZNEX_NAME_LAYER_DIALOG_HYPERLINK "LayerDialogHyperlink"
#define ZNEX_NAME_LAYER_DIALOG_SYMBOL "LayerDialogSymbol"
#define ZNEX_NAME_LAYER_DIALOG_FIND "LayerDialogFind"
#define ZNEX_NAME_LAYER_DIALOG_FEATURE "LayerDialogFeature"
#define ZNEX_NAME_LAYER_HYPERLINK "LayerHyperlink"
#define ZNEX_NAME_LAYER_QUERY "LayerQuery"

/* Required (both layer kinds): IsValidPath, Open, Close, GetProperty;
 * feature layers also Draw. */
typedef int32_t (*LayerIsValidPathFn)(const char16_t* path);
typedef uint32_t (*LayerOpenFn)(const char16_t* path, ZnxHwnd mainWindow);
typedef int32_t (*LayerCloseFn)(uint32_t layer);
typedef int32_t (*LayerGetPropertyFn)(uint32_t layer, int32_t code, int32_t index,
                                      int32_t subIndex, void* buffer);
typedef int32_t (*LayerSetPropertyFn)(uint32_t layer, int32_t code, int32_t index,
                                      int32_t subIndex, int32_t value);
typedef int32_t (*LayerLoadPropertyFn)(uint32_t layer, const char16_t* name,
                                       const char16_t* value);
/* Buffers of ZNEX_SAVE_NAME_SIZE and ZNEX_SAVE_VALUE_SIZE units; non-zero
 * while a property exists at the index. The program stops at 1024. */
typedef int32_t (*LayerSavePropertyFn)(uint32_t layer, int32_t index, char16_t* name,
                                       char16_t* value);
typedef int32_t (*LayerDrawFn)(uint32_t layer, const ZnxDrawRecord* draw);
typedef int32_t (*LayerDrawFeatureFn)(uint32_t layer, int32_t record, const ZnxDrawRecord* draw);
typedef int32_t (*LayerDrawSymbolFn)(uint32_t layer, int32_t legendClass, ZnxHdc dc,
                                     const ZnxCellRect* cell, int32_t reserved);
typedef int32_t (*LayerDialogPropertiesFn)(uint32_t layer, ZnxHwnd parent);
/* The search box in layer coordinates, by value. */
typedef int32_t (*LayerDialogIdentifyFn)(uint32_t layer, int32_t record, ZnxRect box);
typedef int32_t (*LayerDialogHyperlinkFn)(uint32_t layer, int32_t record, ZnxRect box);
/* The symbol list window and its row; non-zero when the row changed. */
typedef int32_t (*LayerDialogSymbolFn)(uint32_t layer, ZnxHwnd list, int32_t row);
typedef int32_t (*LayerDialogFindFn)(uint32_t layer, ZnxHwnd parent);
typedef int32_t (*LayerDialogFeatureFn)(uint32_t layer, int32_t record, ZnxHwnd parent);
typedef int32_t (*LayerHyperlinkFn)(uint32_t layer, int32_t record);
/* Records are numbered from 1 (0: none). The program asks with mode = the
 * record after which to search (0 from the start), an extent in layer
 * coordinates or null, flag 0; hit tests with mode 0, the tolerance square
 * and flag 1. The answer is the record found, 0 when none. */
typedef int32_t (*LayerQueryFn)(uint32_t layer, int32_t mode, const ZnxRect* rect, int32_t flag);

/* ---- what a module may call (libznplatform.so) ---- */

intptr_t ZnxSendMessage(ZnxHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
int32_t ZnxPostMessage(ZnxHwnd window, uint32_t message, uintptr_t wParam, intptr_t lParam);
ZnxBstr ZnxSysAllocString(const char16_t* text);
ZnxBstr ZnxSysAllocStringLen(const char16_t* text, uint32_t length);
void ZnxSysFreeString(ZnxBstr text);
uint32_t ZnxSysStringLen(ZnxBstr text);
void ZnxVariantInit(ZnxVariant* value);
ZnxHresult ZnxVariantClear(ZnxVariant* value);
int32_t ZnxMessageBox(ZnxHwnd owner, const char16_t* text, const char16_t* caption, uint32_t type);

ZnxHgdiobj ZnxCreatePen(int32_t style, int32_t width, uint32_t colour);
ZnxHgdiobj ZnxCreateSolidBrush(uint32_t colour);
ZnxHgdiobj ZnxCreateFontIndirect(const struct LOGFONT* font);
ZnxHgdiobj ZnxGetStockObject(int32_t index);
ZnxHgdiobj ZnxSelectObject(ZnxHdc dc, ZnxHgdiobj object);
int32_t ZnxDeleteObject(ZnxHgdiobj object);
int32_t ZnxMoveToEx(ZnxHdc dc, int32_t x, int32_t y);
int32_t ZnxLineTo(ZnxHdc dc, int32_t x, int32_t y);
/* Points as x, y pairs. */
int32_t ZnxPolyline(ZnxHdc dc, const int32_t* points, int32_t count);
int32_t ZnxPolygon(ZnxHdc dc, const int32_t* points, int32_t count);
int32_t ZnxRectangle(ZnxHdc dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t ZnxEllipse(ZnxHdc dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
int32_t ZnxFillRect(ZnxHdc dc, const ZnxCellRect* rect, ZnxHgdiobj brush);
int32_t ZnxTextOut(ZnxHdc dc, int32_t x, int32_t y, const char16_t* text, int32_t count);
uint32_t ZnxSetTextColor(ZnxHdc dc, uint32_t colour);
int32_t ZnxSetBkMode(ZnxHdc dc, int32_t mode);

/* A module's own dialog from an in-memory template. */
typedef intptr_t (*ZnxDialogProc)(ZnxHwnd dialog, uint32_t message, uintptr_t wParam,
                                  intptr_t lParam);
intptr_t ZnxDialogBoxIndirectParam(const void* dialogTemplate, size_t size, ZnxHwnd parent,
                                   ZnxDialogProc proc, intptr_t initParam);
int32_t ZnxEndDialog(ZnxHwnd dialog, intptr_t result);
ZnxHwnd ZnxGetDlgItem(ZnxHwnd dialog, int32_t id);
int32_t ZnxSetWindowText(ZnxHwnd window, const char16_t* text);

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
ZN_STATIC_ASSERT(sizeof(ZnxRect) == 32, "ZnxRect is 32 bytes");
ZN_STATIC_ASSERT(sizeof(ZnxCellRect) == 16, "ZnxCellRect is 16 bytes");
ZN_STATIC_ASSERT(sizeof(ZnxDrawRecord) == 96, "ZnxDrawRecord is 96 bytes");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, targetDc) == 0, "targetDc");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, secondDc) == 4, "secondDc");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, area) == 8, "area");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, zero40) == 40, "zero40");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, mapScale) == 72, "mapScale");
ZN_STATIC_ASSERT(offsetof(ZnxDrawRecord, device) == 80, "device");
ZN_STATIC_ASSERT(sizeof(ZnxDate) == 16, "ZnxDate is 16 bytes");
ZN_STATIC_ASSERT(offsetof(ZnxDate, month) == 2, "month");
ZN_STATIC_ASSERT(offsetof(ZnxDate, dayOfWeek) == 4, "dayOfWeek");
ZN_STATIC_ASSERT(offsetof(ZnxDate, day) == 6, "day");
ZN_STATIC_ASSERT(sizeof(ZnxGpsLocation) == 32, "ZnxGpsLocation is 32 bytes");
ZN_STATIC_ASSERT(offsetof(ZnxGpsLocation, latitude) == 8, "latitude");
ZN_STATIC_ASSERT(offsetof(ZnxGpsLocation, altitude) == 16, "altitude");
ZN_STATIC_ASSERT(offsetof(ZnxGpsLocation, fourth) == 24, "fourth");
ZN_STATIC_ASSERT(sizeof(ZnxMsg) == 48, "ZnxMsg is 48 bytes");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, message) == 8, "message");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, wParam) == 16, "wParam");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, lParam) == 24, "lParam");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, time) == 32, "time");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, ptX) == 36, "ptX");
ZN_STATIC_ASSERT(offsetof(ZnxMsg, ptY) == 40, "ptY");
ZN_STATIC_ASSERT(sizeof(ZnxVariant) == 24, "ZnxVariant is 24 bytes");
ZN_STATIC_ASSERT(offsetof(ZnxVariant, value) == 8, "value");
ZN_STATIC_ASSERT(sizeof(int) == 4, "int is 32-bit");
#undef ZN_STATIC_ASSERT

#endif /* ZARNIP_ZNEX_H */
