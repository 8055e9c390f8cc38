// The sketch of the feature being captured (or of a measurement): its kind,
// the vertices taken so far with their screen points, and the highlight pen
// it is drawn with (made on first use, dropped when the preferences change).
// Room for the maximum is taken at once on first use, so the vertices never
// move; a vertex beyond the maximum is refused.
#pragma once

#include <cstdint>
#include <memory>

#include "core/double_rect.h"
#include "core/no_data.h"
#include "platform/gdi/owned.h"

// A position of the sketch or the GPS.
struct SketchVertex {
    double x = 0;
    double y = 0;
    double z = 0;
    double m = kNoDataMeasure;
};

enum class SketchKind : int32_t { None = 0, Line = 1, Polygon = 2 };

class Sketch {
public:
    static constexpr int kMaximum = 10000;

    SketchKind Kind() const { return m_kind; }
    void SetKind(SketchKind kind) { m_kind = kind; }
    bool IsActive() const { return m_kind != SketchKind::None; }
    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    int Maximum() const { return m_maximum; }
    const SketchVertex* Vertices() const { return m_vertices.get(); }
    const POINT* ScreenPoints() const { return m_screen.get(); }

    // Takes the room on first use; 0 empties the sketch.
    void Reserve(int count) {
        if (!m_vertices) {
            m_vertices = std::make_unique<SketchVertex[]>(kMaximum);
            m_screen = std::make_unique<POINT[]>(kMaximum);
            m_capacity = m_maximum = kMaximum;
        }
        if (count == 0) m_count = 0;
    }
    bool IsFull() const { return m_vertices && m_count >= m_maximum; }
    // The last vertex, bitwise equal in X and Y.
    bool RepeatsLast(const SketchVertex& v) const {
        if (m_count == 0) return false;
        const SketchVertex& last = m_vertices[m_count - 1];
        return BitwiseEqual(last.x, v.x) && BitwiseEqual(last.y, v.y);
    }
    // Appends (room reserved and not full: the caller checks).
    void Append(const SketchVertex& v, POINT screen) {
        m_vertices[m_count] = v;
        m_screen[m_count] = screen;
        ++m_count;
    }
    void DropLast() {
        if (m_count > 0) --m_count;
    }
    // Screen points are worked out again when the extent shown changed.
    bool ScreenPointsStale(const CDoubleRect& extent) const {
        const CDoubleRect& l = m_lastDrawnExtent;
        return extent.xmin != l.xmin || extent.ymin != l.ymin || extent.xmax != l.xmax ||
               extent.ymax != l.ymax;
    }
    void SetScreenPoint(int i, POINT p) { m_screen[i] = p; }
    void SetLastDrawnExtent(const CDoubleRect& extent) { m_lastDrawnExtent = extent; }

    HPEN Pen() const { return m_pen.get(); }
    void SetPen(HPEN pen) { m_pen.reset(pen); }
    void DropPen() { m_pen.reset(); }

private:
    static bool BitwiseEqual(double a, double b) {
        return __builtin_memcmp(&a, &b, sizeof a) == 0;
    }

    SketchKind m_kind = SketchKind::None;
    std::unique_ptr<SketchVertex[]> m_vertices;
    std::unique_ptr<POINT[]> m_screen;
    int32_t m_capacity = 0;
    int32_t m_maximum = 0;
    int32_t m_count = 0;
    CDoubleRect m_lastDrawnExtent;
    gdi::OwnedPen m_pen;
};
