#include "gps/gps_feed.h"

bool CGpsFeed::OnGpsData(WPARAM wParam, LPARAM lParam) {
    GpsAcknowledgeGuard guard(m_receiver.Port(), wParam, lParam);
    if (!guard.Notification()) return false;
    const void* unit = reinterpret_cast<const void*>(wParam);
    const bool changed = m_receiver.Parse(unit);
    if (m_listener) m_listener(unit, changed);
    return changed;
}
