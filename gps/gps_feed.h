// CGpsFeed: what the window that receives the GPS port's WM_GPS_DATA does
// with each one. It accepts the notification, has the receiver parse the
// unit, tells its listener, and acknowledges on every way out: a stale
// notification is refused untouched, and a parse or listener that throws
// still lets the port's reader go on before the exception leaves.
#pragma once

#include <functional>

#include "map/services/gps.h"

class CGpsFeed : public IGpsFeed {
public:
    // Each accepted unit once the receiver parsed it, before the port's
    // reader goes on: the unit (a line or packet; null in buffered mode) and
    // whether it changed the receiver's position, which Position() holds.
    using Listener = std::function<void(const void* unit, bool changed)>;

    explicit CGpsFeed(IGps& receiver) : m_receiver(receiver) {}
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    bool OnGpsData(WPARAM wParam, LPARAM lParam) override;

private:
    IGps& m_receiver;
    Listener m_listener;
};
