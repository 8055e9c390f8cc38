// The Go To destination of the view: where the user goes, its label and
// position in both geographic and map coordinates, its bearing and distance,
// the alert that sounds while it is approached, and the mark drawn on it.
#pragma once

#include <cstdint>

#include "platform/gdi/gdi.h"
#include "platform/text/text.h"

class CCoordSys;

// The destination record the view hands out.
struct GoToDestination {
    bool set = false;
    WString label;
    double longitude = 0;
    double latitude = 0;
    double x = 0;
    double y = 0;
    double bearing = 0;
    double distance = 0;
};

class GoToTarget {
public:
    // A destination at map (x, y) with its label; on a geographic map the
    // position is its longitude and latitude, on another the map system
    // (`cs`, may be null) gives them. The approach alert is armed.
    void Set(double x, double y, const WString& label, bool geographic, CCoordSys* cs);
    void Clear();
    bool IsSet() const { return m_destination.set; }
    const GoToDestination& Get() const { return m_destination; }
    // Where the mark goes on the map.
    double MapX(bool geographic) const {
        return geographic ? m_destination.longitude : m_destination.x;
    }
    double MapY(bool geographic) const {
        return geographic ? m_destination.latitude : m_destination.y;
    }

    bool IsApproachAlertArmed() const { return m_approachAlertArmed; }
    uint64_t NextApproachAlertTime() const { return m_nextApproachAlertTime; }
    int32_t ApproachAlertInterval() const { return m_approachAlertInterval; }

    // The mark: a small circle at `at` and the label beside it, white on
    // black, in `font`.
    void DrawMark(HDC dc, POINT at, HFONT font) const;

private:
    GoToDestination m_destination;
    bool m_approachAlertArmed = false;
    uint64_t m_nextApproachAlertTime = 0;
    int32_t m_approachAlertInterval = 0;
};
