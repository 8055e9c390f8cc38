// The crosshair overlay of the current tool: whether it shows and where.
// The tools draw it (XOR) and take it away.
#pragma once

#include "platform/types.h"

class Crosshair {
public:
    void Show(POINT at) {
        m_shown = true;
        m_point = at;
    }
    void Hide() { m_shown = false; }
    bool IsShown() const { return m_shown; }
    POINT Point() const { return m_point; }

private:
    bool m_shown = false;
    POINT m_point{};
};
