#include "map/view/destination.h"

#include "crs/coord_sys.h"
#include "platform/win/theme.h"

void GoToTarget::Set(double x, double y, const WString& label, bool geographic, CCoordSys* cs,
                     bool armAlert, uint64_t now) {
    m_destination.set = true;
    m_destination.label = label;
    m_destination.x = x;
    m_destination.y = y;
    if (geographic) {
        m_destination.longitude = x;
        m_destination.latitude = y;
    } else if (cs && cs->m_projectionCode != 0) {
        cs->ProjectedToGeographic(x, y, &m_destination.longitude, &m_destination.latitude);
    }
    if (geographic && cs) cs->GeographicToProjected(x, y, &m_destination.x, &m_destination.y);
    m_destination.distance = 0;
    m_destination.bearing = 0;
    m_approachAlertArmed = armAlert;
    m_approachAlertInterval = kApproachAlertInterval;
    m_nextApproachAlertTime = now + kApproachAlertInterval;
}

bool GoToTarget::TakeApproachAlert(uint64_t now) {
    if (!m_approachAlertArmed || now < m_nextApproachAlertTime) return false;
    m_nextApproachAlertTime = now + static_cast<uint64_t>(m_approachAlertInterval);
    return true;
}

void GoToTarget::Clear() {
    m_destination = GoToDestination();
    m_approachAlertArmed = false;
    m_approachAlertInterval = 0;
    m_nextApproachAlertTime = 0;
}

void GoToTarget::DrawMark(HDC dc, POINT at, HFONT font) const {
    int r = win::theme::Scale(2);
    Ellipse(dc, at.x - r, at.y - r, at.x + r, at.y + r);
    HFONT old = reinterpret_cast<HFONT>(SelectObject(dc, font));
    int saved = SaveDC(dc);
    SetTextColor(dc, 0xFFFFFF);
    SetBkColor(dc, 0x000000);
    SetBkMode(dc, OPAQUE);
    TextOut(dc, at.x + win::theme::Scale(1), at.y, m_destination.label.c_str(),
            static_cast<int>(m_destination.label.size()));
    RestoreDC(dc, saved);
    SelectObject(dc, old);
}
