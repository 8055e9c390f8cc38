// The sketch of the feature being captured: its kind, the vertices taken
// so far in a buffer of a committed capacity up to a maximum, and the
// highlight pen it is drawn with (made on first use, dropped when the
// preferences change).
#pragma once

#include <cstdint>
#include <memory>

#include "platform/gdi/owned.h"

// A position of the sketch or the GPS.
struct SketchVertex {
    double x = 0;
    double y = 0;
    double z = 0;
    double m = 0;
};

enum class SketchKind : int32_t { None = 0, Line = 1, Polygon = 2 };

class Sketch {
public:
    SketchKind Kind() const { return m_kind; }
    bool IsActive() const { return m_kind != SketchKind::None; }
    int Count() const { return m_count; }
    int Capacity() const { return m_capacity; }
    int Maximum() const { return m_maximum; }
    const SketchVertex* Vertices() const { return m_vertices.get(); }

    HPEN Pen() const { return m_pen.get(); }
    void SetPen(HPEN pen) { m_pen.reset(pen); }
    void DropPen() { m_pen.reset(); }

private:
    SketchKind m_kind = SketchKind::None;
    std::unique_ptr<SketchVertex[]> m_vertices;
    int32_t m_capacity = 0;
    int32_t m_maximum = 0;
    int32_t m_count = 0;
    gdi::OwnedPen m_pen;
};
