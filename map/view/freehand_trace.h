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

private:
    POINT m_start{};
    POINT m_last{};
    gdi::OwnedPen m_pen;
    std::unique_ptr<POINT[]> m_points;
    int32_t m_count = 0;
};
