#include "map/view/extent_history.h"

#include <algorithm>

void ExtentHistory::Push(const CDoubleRect& shown) {
    // The last place stays free for the extent Previous leaves.
    if (m_position == kSize - 1) {
        std::copy(m_extents + 1, m_extents + kSize - 1, m_extents);
        m_position = kSize - 2;
    }
    m_extents[m_position] = shown;
    ++m_position;
    m_top = std::max(m_top, m_position);
}

bool ExtentHistory::Previous(const CDoubleRect& shown, CDoubleRect& before) {
    if (m_position <= 0) return false;
    m_extents[m_position] = shown;
    --m_position;
    before = m_extents[m_position];
    return true;
}

bool ExtentHistory::Next(CDoubleRect& after) {
    if (m_position >= m_top) return false;
    ++m_position;
    after = m_extents[m_position];
    return true;
}
