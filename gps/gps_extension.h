// What the receiver object needs of a GPS protocol extension module: its
// entry points, and a way to find the loaded module that serves a protocol
// code. The extension loader implements both; until it is installed no
// extension serves any code.
#pragma once

#include <cstdint>

#include "include/zarnip/znex.h"
#include "map/services/gps.h"
#include "platform/com/variant.h"
#include "platform/text/text.h"
#include "platform/types.h"

class IGpsProtocolExtension {
public:
    virtual ~IGpsProtocolExtension() = default;
    // A connection handle; 0 when the receiver could not be opened.
    virtual uint32_t GPSOpen(int32_t port, HWND mainWindow, int32_t options,
                             const GpsLocation& initial, const WChar* initialize) = 0;
    virtual void GPSClose(uint32_t handle) = 0;
    // Whether the module builds its own packets (else the port cuts lines).
    virtual bool HasRxHandler() = 0;
    // The port's packet framer, called on the reader thread; non-zero when
    // a packet is complete.
    virtual int32_t GPSRxHandler(uint32_t handle, const uint8_t* next, int* unread, uint8_t* packet,
                                 int* count) = 0;
    // 1 when the record was updated.
    virtual int32_t GPSParse(uint32_t handle, const void* packet, GpsPosition* position) = 0;
    virtual bool HasPoll() = 0;
    virtual void GPSPoll(uint32_t handle, uint32_t counter) = 0;
    // The module's escape with the connection handle (GPS.Escape).
    virtual HRESULT Escape(uint32_t handle, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3,
                           VARIANT* result) {
        (void)handle, (void)arg1, (void)arg2, (void)arg3, (void)result;
        return E_NOTIMPL;
    }
};

class IGpsExtensions {
public:
    virtual ~IGpsExtensions() = default;
    // The loaded GPS protocol module (kind 16) whose code this is, or null.
    virtual IGpsProtocolExtension* FindGpsExtension(uint32_t code) = 0;
};

// The installed loader, or null. The caller keeps ownership.
IGpsExtensions* GetGpsExtensions();
void SetGpsExtensions(IGpsExtensions* extensions);
