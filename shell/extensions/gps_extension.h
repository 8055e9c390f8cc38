// A GPS protocol extension module (kind 16): the receiver object runs it
// when the preferences' protocol code is the module's code.
#pragma once

#include "gps/gps_extension.h"
#include "shell/extensions/extension.h"

class CGpsExtension : public CExtension, public IGpsProtocolExtension {
public:
    CGpsExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind);

    uint32_t GPSOpen(int32_t port, HWND mainWindow, int32_t options, const GpsLocation& initial,
                     const WChar* initialize) override;
    void GPSClose(uint32_t handle) override;
    bool HasRxHandler() override { return m_rxHandler != nullptr; }
    int32_t GPSRxHandler(uint32_t handle, const uint8_t* next, int* unread, uint8_t* packet,
                         int* count) override;
    int32_t GPSParse(uint32_t handle, const void* packet, GpsPosition* position) override;
    bool HasPoll() override { return m_poll != nullptr; }
    void GPSPoll(uint32_t handle, uint32_t counter) override;
    // GPS.Escape with the connection handle.
    HRESULT Escape(uint32_t handle, VARIANT* arg1, VARIANT* arg2, VARIANT* arg3,
                   VARIANT* result) override {
        return CExtension::Escape(handle, arg1, arg2, arg3, result);
    }

protected:
    bool BindKind(const EntryLookup& lookup) override;

private:
    GPSOpenFn m_open = nullptr;
    GPSCloseFn m_close = nullptr;
    GPSRxHandlerFn m_rxHandler = nullptr;
    GPSParseFn m_parse = nullptr;
    GPSPollFn m_poll = nullptr;
};
