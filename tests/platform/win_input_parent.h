// A visible parent window that records the notification codes of its
// children's WM_COMMAND messages, for the control input tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/window.h"

inline std::vector<WORD> g_notes;

inline LRESULT NotingParentProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_COMMAND && reinterpret_cast<HWND>(l)) g_notes.push_back(HIWORD(w));
    return DefWindowProc(h, m, w, l);
}

class WinInputParentTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        g_notes.clear();
        WNDCLASS wc;
        wc.lpfnWndProc = NotingParentProc;
        wc.lpszClassName = u"InputParent";
        RegisterClass(wc);
        parent_ = CreateWindowEx(0, u"InputParent", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 200, nullptr,
                                 nullptr, nullptr, nullptr);
    }
    void TearDown() override { win::ResetForTests(); }

    HWND parent_ = nullptr;
};
