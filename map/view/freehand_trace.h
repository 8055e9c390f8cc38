// The freehand trace of a pen drag: its first and last point, the points
// drawn so far (up to kMaxPoints) and the pen it is drawn with.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gdi/owned.h"

class FreehandTrace {
public:
    static constexpr int kMaxPoints = 1000;

    FreehandTrace();

    POINT Start() const { return m_start; }
    POINT Last() const { return m_last; }
    int Count() const { return m_count; }
    const POINT* Points() const { return m_points.get(); }
    HPEN Pen() const { return m_pen.get(); }

    // A new trace at p (p its one point).
    void Begin(POINT p) {
        m_start = m_last = p;
        m_points[0] = p;
        m_count = 1;
    }
    void SetLast(POINT p) { m_last = p; }
    // Appended when it differs from the last point stored and the list has
    // room: 999 points are measured at most.
    bool Append(POINT p) {
        if (m_count >= kMaxPoints - 1) return false;
        if (m_count > 0 && m_points[m_count - 1].x == p.x && m_points[m_count - 1].y == p.y)
            return false;
        m_points[m_count++] = p;
        return true;
    }
    void Clear() { m_count = 0; }

private:
    POINT m_start{};
    POINT m_last{};
    gdi::OwnedPen m_pen;
    std::unique_ptr<POINT[]> m_points;
    int32_t m_count = 0;
};
