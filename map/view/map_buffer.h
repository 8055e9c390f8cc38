// The off-screen picture of the map view's static layers: a memory DC with
// a bitmap of the client's size (none while the window has no area), and
// whether the picture is whole and whether its drawing was interrupted.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"

class MapBuffer {
public:
    MapBuffer();
    ~MapBuffer();
    MapBuffer(const MapBuffer&) = delete;
    MapBuffer& operator=(const MapBuffer&) = delete;

    // A bitmap like the window's at the new size, none for no area; the
    // picture must be drawn again.
    void Resize(HWND window, int width, int height);

    HDC DC() const { return m_dc; }
    HBITMAP Bitmap() const { return m_bitmap.get(); }
    bool IsValid() const { return m_valid; }
    void SetValid(bool valid) { m_valid = valid; }
    bool IsInterrupted() const { return m_interrupted; }
    void SetInterrupted(bool interrupted) { m_interrupted = interrupted; }

private:
    HDC m_dc = nullptr;
    HBITMAP m_original = nullptr;  // the DC's own bitmap
    gdi::OwnedBitmap m_bitmap;
    bool m_valid = false;
    bool m_interrupted = false;
};
