#include "map/view/map_buffer.h"

#include "platform/win/window.h"

MapBuffer::MapBuffer() : m_dc(CreateCompatibleDC(nullptr)) {
    m_original = reinterpret_cast<HBITMAP>(GetCurrentObject(m_dc, OBJ_BITMAP));
}

MapBuffer::~MapBuffer() {
    if (m_dc) {
        SelectObject(m_dc, m_original);
        DeleteDC(m_dc);
    }
}

void MapBuffer::Resize(HWND window, int width, int height) {
    m_valid = false;
    HBITMAP fresh = nullptr;
    if (width > 0 && height > 0) {
        HDC windowDc = GetDC(window);
        fresh = CreateCompatibleBitmap(windowDc, width, height);
        ReleaseDC(window, windowDc);
    }
    SelectObject(m_dc, fresh ? fresh : m_original);
    m_bitmap.reset(fresh);
}
