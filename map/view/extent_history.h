// The extents the view showed before, for Zoom Previous and Zoom Next: ten
// places, the position of the next one to fill and the top of those that
// can be gone forward to.
#pragma once

#include <cstdint>

#include "core/double_rect.h"

class ExtentHistory {
public:
    static constexpr int kSize = 10;

    // Records the extent shown; a full history forgets its oldest.
    void Push(const CDoubleRect& shown);
    // The extent before `shown`, which is kept to come back to; false at
    // the start.
    bool Previous(const CDoubleRect& shown, CDoubleRect& before);
    // The extent that Previous left; false at the top.
    bool Next(CDoubleRect& after);

    int Position() const { return m_position; }
    int Top() const { return m_top; }

private:
    CDoubleRect m_extents[kSize];
    int32_t m_position = 0;
    int32_t m_top = 0;
};
