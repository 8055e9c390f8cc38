// Internal to the common controls: window procedures and small helpers they
// share. Not for program code.
#pragma once

#include "platform/win/theme.h"

#include <algorithm>

#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/window_impl.h"

LRESULT HeaderProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ListViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TreeViewProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TabControlProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ProgressProc(HWND, UINT, WPARAM, LPARAM);
LRESULT TrackBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT UpDownProc(HWND, UINT, WPARAM, LPARAM);
LRESULT DateTimeProc(HWND, UINT, WPARAM, LPARAM);
// The month calendar the date-time picker drops down.
LRESULT MonthCalProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolTipProc(HWND, UINT, WPARAM, LPARAM);
LRESULT StatusBarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT ToolbarProc(HWND, UINT, WPARAM, LPARAM);
LRESULT RebarProc(HWND, UINT, WPARAM, LPARAM);

namespace win::detail {

constexpr int kHeaderHeight = 20;

// Appends copies of src's images to dst; images of another size are
// resized to dst's, nearest neighbour (doubled pixels from a 96 dots per
// inch image to a 192 one). False when either list is missing.
bool AppendImages(HIMAGELIST dst, HIMAGELIST src);

// Copies text into a caller's buffer of `size` units (truncated, always
// terminated); the number of units copied.
inline int CopyText(WStringView text, WChar* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    int n = std::min(static_cast<int>(text.size()), size - 1);
    std::copy(text.begin(), text.begin() + n, buffer);
    buffer[n] = 0;
    return n;
}

inline DWORD StyleOf(HWND h) {
    return static_cast<DWORD>(GetWindowLongPtr(h, GWL_STYLE));
}

// Fills the client area with a system colour and hands out the paint DC.
class ControlPaint {
public:
    explicit ControlPaint(HWND h, int colour = COLOR_WINDOW) : h_(h) {
        dc_ = BeginPaint(h, &ps_);
        if (dc_) {
            RECT r;
            GetClientRect(h, &r);
            if (colour >= 0) FillRect(dc_, &r, GetSysColorBrush(colour));  // < 0: the caller fills
            SetBkMode(dc_, TRANSPARENT);
            Window* w = Find(h);
            if (w && w->font) old_ = SelectObject(dc_, reinterpret_cast<HGDIOBJ>(w->font));
        }
    }
    ~ControlPaint() {
        if (dc_ && old_) SelectObject(dc_, old_);
        EndPaint(h_, &ps_);
    }
    HDC dc() const { return dc_; }

private:
    HWND h_;
    PAINTSTRUCT ps_;
    HDC dc_ = nullptr;
    HGDIOBJ old_ = nullptr;
};

inline void DrawTextIn(HDC dc, const WString& text, RECT r, UINT format) {
    DrawText(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

}  // namespace win::detail
