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
    static constexpr int32_t kApproachAlertInterval = 30000;

    // A destination at map (x, y) with its label; on a geographic map the
    // position is its longitude and latitude, on another the map system
    // (`cs`, may be null) gives them. With `armAlert` the approach alert
    // sounds first one interval after `now` (milliseconds).
    void Set(double x, double y, const WString& label, bool geographic, CCoordSys* cs,
             bool armAlert, uint64_t now);
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
    // The approach alert is due at `now`: the next one comes an interval
    // later. False when it is not armed or not yet due.
    bool TakeApproachAlert(uint64_t now);
    // The user confirmed the approach alert: it does not come again.
    void DisarmApproachAlert() { m_approachAlertArmed = false; }
    // The distance and bearing from the last GPS position.
    void SetDistance(double distance, double bearing) {
        m_destination.distance = distance;
        m_destination.bearing = bearing;
    }

    // The mark: a small circle at `at` and the label beside it, white on
    // black, in `font`.
    void DrawMark(HDC dc, POINT at, HFONT font) const;

private:
    GoToDestination m_destination;
    bool m_approachAlertArmed = false;
    uint64_t m_nextApproachAlertTime = 0;
    int32_t m_approachAlertInterval = 0;
};
