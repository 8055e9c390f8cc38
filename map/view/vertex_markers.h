// The vertex markers of the feature being edited: their half-size in
// pixels (also the half-size of a vertex's hit box) and where a new vertex
// goes.
#pragma once

#include <cstdint>

enum class VertexAddMode : int32_t { Off = 0, Head = 1, Tail = 2 };

class VertexMarkers {
public:
    // From the preferences' tolerance in pixels at 96 dots per inch: the
    // tolerance plus 1, at least 4, at the screen's size.
    void SetTolerance(int tolerance);
    int Size() const { return m_size; }
    VertexAddMode AddMode() const { return m_addMode; }
    void SetAddMode(VertexAddMode mode) { m_addMode = mode; }

private:
    int32_t m_size = 4;
    VertexAddMode m_addMode = VertexAddMode::Off;
};
