// Columns and rows of a report list view, for the tests that fill one.
#pragma once

#include "platform/win/commctrl.h"
#include "platform/win/window.h"

namespace reporttest {

inline void AddColumn(HWND lv, int i, const char16_t* text, int cx) {
    LVCOLUMN c;
    c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    c.cx = cx;
    c.pszText = const_cast<WChar*>(text);
    c.iSubItem = i;
    SendMessage(lv, LVM_INSERTCOLUMN, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&c));
}

// Row i with its first two cells.
inline void AddRow(HWND lv, int i, const char16_t* a, const char16_t* b) {
    LVITEM it;
    it.mask = LVIF_TEXT;
    it.iItem = i;
    it.pszText = const_cast<WChar*>(a);
    SendMessage(lv, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&it));
    it.iSubItem = 1;
    it.pszText = const_cast<WChar*>(b);
    SendMessage(lv, LVM_SETITEMTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&it));
}

}  // namespace reporttest
