#include "map/view/panning_frame.h"

#include <algorithm>

#include "platform/res/resource.h"
#include "platform/win/dialog.h"
#include "platform/win/theme.h"

namespace {

int Px(int at96) {
    return win::theme::Scale(at96);
}

}  // namespace

HIMAGELIST LoadViewImageList(UINT id, int side, COLORREF mask) {
    HIMAGELIST list =
        ImageList_LoadBitmap(res::GetProgramModule(), MAKEINTRESOURCE(id), side, 0, mask);
    int scaled = win::theme::Scale(side);
    int count = list ? ImageList_GetImageCount(list) : 0;
    if (scaled == side || count <= 0) return list;
    HDC native = CreateCompatibleDC(nullptr), big = CreateCompatibleDC(nullptr);
    gdi::OwnedBitmap nativeBits(CreateBitmap(side * count, side, 1, 32, nullptr));
    gdi::OwnedBitmap bigBits(CreateBitmap(scaled * count, scaled, 1, 32, nullptr));
    HIMAGELIST out = nullptr;
    if (native && big && nativeBits && bigBits) {
        HBITMAP oldNative = SelectObject(native, nativeBits.get());
        HBITMAP oldBig = SelectObject(big, bigBits.get());
        RECT all{0, 0, side * count, side};
        gdi::OwnedBrush maskBrush(CreateSolidBrush(mask));
        FillRect(native, &all, maskBrush.get());
        for (int i = 0; i < count; ++i)
            ImageList_Draw(list, i, native, i * side, 0, ILD_TRANSPARENT);
        StretchBlt(big, 0, 0, scaled * count, scaled, native, 0, 0, side * count, side, SRCCOPY);
        SelectObject(native, oldNative);
        SelectObject(big, oldBig);
        out = ImageList_Create(scaled, scaled, ILC_COLOR | ILC_MASK, count, 0);
        if (out && ImageList_AddMasked(out, bigBits.get(), mask) < 0) {
            ImageList_Destroy(out);
            out = nullptr;
        }
    }
    if (native) DeleteDC(native);
    if (big) DeleteDC(big);
    if (!out) return list;  // the pictures at their own size rather than none
    ImageList_Destroy(list);
    return out;
}

PanningFrame::PanningFrame() : m_images(LoadViewImageList(326, 8, 0xFF00FF)) {}

PanningFrame::~PanningFrame() {
    if (m_images) ImageList_Destroy(m_images);
}

void PanningFrame::Resize(int width, int height) {
    m_clientRect = RECT{0, 0, std::max(width, 0), std::max(height, 0)};
    int frame = Px(10);
    m_innerRect = RECT{m_clientRect.left + frame, m_clientRect.top + frame,
                       m_clientRect.right - frame, m_clientRect.bottom - frame};
    m_region.reset(CreateRectRgnIndirect(&m_clientRect));
    gdi::OwnedRegion inner(CreateRectRgnIndirect(&m_innerRect));
    CombineRgn(m_region.get(), m_region.get(), inner.get(), RGN_DIFF);
}

void PanningFrame::Draw(HDC dc) const {
    int saved = SaveDC(dc);
    FillRgn(dc, m_region.get(), reinterpret_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    const RECT& in = m_innerRect;
    SelectObject(dc, GetStockObject(WHITE_PEN));
    MoveToEx(dc, in.right, in.top, nullptr);
    LineTo(dc, in.left, in.top);
    LineTo(dc, in.left, in.bottom);
    SelectObject(dc, GetStockObject(BLACK_PEN));
    MoveToEx(dc, in.right, in.top, nullptr);
    LineTo(dc, in.right, in.bottom);
    LineTo(dc, in.left, in.bottom);
    const RECT& c = m_clientRect;
    int side = 8, unused = 0;
    ImageList_GetIconSize(m_images, &side, &unused);
    int mx = c.left + (c.right - c.left) / 2 - side / 2;
    int my = c.top + (c.bottom - c.top) / 2 - side / 2;
    int two = Px(2), nine = Px(9), ten = Px(10);
    const POINT at[8] = {{mx, c.top + two},
                         {mx, c.bottom - nine},
                         {c.left, my},
                         {c.right - nine, my},
                         {c.left + two, c.top + two},
                         {c.right - ten, c.top + two},
                         {c.left + two, c.bottom - ten},
                         {c.right - ten, c.bottom - ten}};
    for (int i = 0; i < 8; ++i) ImageList_Draw(m_images, i, dc, at[i].x, at[i].y, ILD_TRANSPARENT);
    RestoreDC(dc, saved);
}
