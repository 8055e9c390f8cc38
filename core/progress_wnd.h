// The progress window that long operations drive from their own loops: a
// status text, a progress bar and a Cancel button. The caller keeps control
// and calls PumpMessages between steps; it reports whether the user
// cancelled (Cancel, Escape or the key code 0x87).
#pragma once

#include "platform/win/framework.h"

// Rectangles of the progress window's children for a status text T high, a
// button H high, the width W and the edges ex, ey (client coordinates), and
// the client size they need.
struct ProgressLayout {
    RECT status;
    RECT bar;
    RECT cancel;
    SIZE client;
};
ProgressLayout ComputeProgressLayout(int statusHeight, int buttonHeight, int width, int ex, int ey);

class CProgressWnd : public win::Wnd {
public:
    static constexpr int kStatusId = 101;
    static constexpr int kProgressId = 102;
    static constexpr int kCancelId = 100;
    static constexpr int kStatusLines = 4;
    static constexpr int kWidth = 220;

    CProgressWnd() = default;
    ~CProgressWnd() override;

    // A topmost captioned pop-up owned by `owner` (the main window when
    // none), laid out, centred and shown.
    bool Create(HWND owner, const WChar* title);
    // Created when needed; the owner is disabled until the window goes.
    bool GoModal(HWND owner, const WChar* title);
    bool CreateWithTitleId(HWND owner, UINT stringId);

    void SetRange(int lower, int upper, int step);
    void SetStep(int step);
    void SetPos(int pos);
    void StepIt();
    // printf-style; at most 511 characters are shown. Data goes in the
    // arguments, never in the format.
    void SetStatusText(const WChar* format, ...);
    void Reset();
    // Dispatches what is waiting; false once the user cancelled.
    bool PumpMessages();
    bool IsCancelled() const { return m_cancelled; }
    bool IsModal() const { return m_modal; }
    HWND GetOwner() const { return m_owner; }
    // Enables the owner again when modal, then destroys the window.
    bool DestroyWindow();
    // Lays the window out for `lines` status lines and the width W.
    void Layout(int lines, int width);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Cancel();
    void ShowIfHidden();

    bool m_cancelled = false;
    bool m_modal = false;
    int m_lines = kStatusLines;
    HWND m_owner = nullptr;
    HWND m_status = nullptr;
    HWND m_progress = nullptr;
    HWND m_cancel = nullptr;
};
