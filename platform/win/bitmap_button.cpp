#include "platform/gdi/gdi.h"
#include "platform/win/controls.h"
#include "platform/win/framework.h"

namespace win {

BitmapButton::~BitmapButton() {
    if (button_ && IsWindow(button_)) SendMessage(button_, BM_SETIMAGE, IMAGE_BITMAP, 0);
    for (HBITMAP& b : bitmaps_) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
}

bool BitmapButton::AutoLoad(HWND dialog, int id, UINT up, UINT down, UINT focus,
                            UINT disabled) {
    button_ = ::GetDlgItem(dialog, id);
    if (!button_) return false;
    const UINT ids[4] = {up, down, focus, disabled};
    for (int i = 0; i < 4; ++i) {
        if (bitmaps_[i]) DeleteObject(bitmaps_[i]);
        bitmaps_[i] = ids[i] ? LoadBitmap(nullptr, MAKEINTRESOURCE(static_cast<WORD>(ids[i])))
                             : nullptr;
    }
    if (!bitmaps_[kUp]) return false;
    SetWindowLong(button_, GWL_STYLE, GetWindowLong(button_, GWL_STYLE) | BS_BITMAP);
    Refresh();
    return true;
}

void BitmapButton::Refresh() {
    if (!button_ || !IsWindow(button_)) return;
    int state = kUp;
    if (!IsWindowEnabled(button_))
        state = kDisabled;
    else if (SendMessage(button_, BM_GETSTATE, 0, 0) & BST_PUSHED)
        state = kDown;
    else if (GetFocus() == button_)
        state = kFocus;
    HBITMAP image = bitmaps_[state] ? bitmaps_[state] : bitmaps_[kUp];
    if (reinterpret_cast<HBITMAP>(SendMessage(button_, BM_GETIMAGE, IMAGE_BITMAP, 0)) != image) {
        SendMessage(button_, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image));
        InvalidateRect(button_, nullptr, false);
    }
}

}  // namespace win
