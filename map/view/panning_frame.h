// The panning frame overlay: a grey band round the window's edge with an
// arrow image for each pan direction (the image numbers are the
// directions), and the client and inner rectangles it is drawn between.
#pragma once

#include "platform/gdi/gdi.h"
#include "platform/gdi/owned.h"
#include "platform/win/commctrl.h"

// A bitmap resource of square images (`side` pixels at 96 dpi) as an image
// list at the screen's size: at more dots per inch each pixel becomes a
// block, so the pictures keep their shape and their place.
HIMAGELIST LoadViewImageList(UINT id, int side, COLORREF mask);

class PanningFrame {
public:
    PanningFrame();
    ~PanningFrame();
    PanningFrame(const PanningFrame&) = delete;
    PanningFrame& operator=(const PanningFrame&) = delete;

    // The client area of the new size and the band's region.
    void Resize(int width, int height);
    void Draw(HDC dc) const;

    const RECT& ClientRect() const { return m_clientRect; }
    const RECT& InnerRect() const { return m_innerRect; }

private:
    HIMAGELIST m_images = nullptr;
    gdi::OwnedRegion m_region;
    RECT m_clientRect{};
    RECT m_innerRect{};
};
