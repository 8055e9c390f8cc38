#include "shell/extensions/gps_extension.h"

CGpsExtension::CGpsExtension(std::unique_ptr<sys::DynamicLibrary> library, uint32_t kind)
    : CExtension(std::move(library), kind) {}

bool CGpsExtension::BindKind(const EntryLookup& lookup) {
    BindOne(lookup, ZNEX_NAME_GPS_OPEN, m_open);
    BindOne(lookup, ZNEX_NAME_GPS_CLOSE, m_close);
    BindOne(lookup, ZNEX_NAME_GPS_RX_HANDLER, m_rxHandler);
    BindOne(lookup, ZNEX_NAME_GPS_PARSE, m_parse);
    BindOne(lookup, ZNEX_NAME_GPS_POLL, m_poll);
    return m_open && m_close && m_parse;
}

uint32_t CGpsExtension::GPSOpen(int32_t port, HWND mainWindow, int32_t options, const GpsLocation& initial,
                                const WChar* initialize) {
    const ZnxGpsLocation location{initial.longitude, initial.latitude, initial.altitude, initial.fourth};
    return m_open(port, mainWindow, options, &location, initialize ? initialize : u"");
}

void CGpsExtension::GPSClose(uint32_t handle) { m_close(handle); }

int32_t CGpsExtension::GPSRxHandler(uint32_t handle, const uint8_t* next, int* unread, uint8_t* packet,
                                    int* count) {
    return m_rxHandler ? m_rxHandler(handle, next, unread, packet, count) : 0;
}

int32_t CGpsExtension::GPSParse(uint32_t handle, const void* packet, GpsPosition* position) {
    return m_parse(handle, packet, position);
}

void CGpsExtension::GPSPoll(uint32_t handle, uint32_t counter) {
    if (m_poll) m_poll(handle, counter);
}
