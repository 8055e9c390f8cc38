// A host window for the common-control tests: it logs what the controls tell
// their parent (WM_NOTIFY codes by name, WM_COMMAND, scroll messages) and
// lets a test answer notifications.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/gdi.h"
#include "platform/win/commctrl.h"
#include "platform/win/controls.h"
#include "platform/win/input.h"
#include "platform/win/menu.h"
#include "platform/win/propsheet.h"
#include "tests/platform/win_template.h"

namespace ctltest {

inline std::string CodeName(UINT code) {
    struct Name {
        UINT code;
        const char* name;
    };
    static const Name names[] = {
        {NM_CLICK, "NM_CLICK"},
        {NM_DBLCLK, "NM_DBLCLK"},
        {NM_RETURN, "NM_RETURN"},
        {NM_SETFOCUS, "NM_SETFOCUS"},
        {NM_KILLFOCUS, "NM_KILLFOCUS"},
        {NM_CUSTOMDRAW, "NM_CUSTOMDRAW"},
        {LVN_ITEMCHANGING, "LVN_ITEMCHANGING"},
        {LVN_ITEMCHANGED, "LVN_ITEMCHANGED"},
        {LVN_INSERTITEM, "LVN_INSERTITEM"},
        {LVN_DELETEITEM, "LVN_DELETEITEM"},
        {LVN_DELETEALLITEMS, "LVN_DELETEALLITEMS"},
        {LVN_COLUMNCLICK, "LVN_COLUMNCLICK"},
        {LVN_ITEMACTIVATE, "LVN_ITEMACTIVATE"},
        {LVN_BEGINLABELEDIT, "LVN_BEGINLABELEDIT"},
        {LVN_ENDLABELEDIT, "LVN_ENDLABELEDIT"},
        {LVN_GETDISPINFO, "LVN_GETDISPINFO"},
        {LVN_KEYDOWN, "LVN_KEYDOWN"},
        {HDN_ITEMCLICK, "HDN_ITEMCLICK"},
        {HDN_ITEMCHANGING, "HDN_ITEMCHANGING"},
        {HDN_ITEMCHANGED, "HDN_ITEMCHANGED"},
        {TVN_SELCHANGING, "TVN_SELCHANGING"},
        {TVN_SELCHANGED, "TVN_SELCHANGED"},
        {TVN_ITEMEXPANDING, "TVN_ITEMEXPANDING"},
        {TVN_ITEMEXPANDED, "TVN_ITEMEXPANDED"},
        {TVN_DELETEITEM, "TVN_DELETEITEM"},
        {TVN_BEGINLABELEDIT, "TVN_BEGINLABELEDIT"},
        {TVN_ENDLABELEDIT, "TVN_ENDLABELEDIT"},
        {TVN_GETDISPINFO, "TVN_GETDISPINFO"},
        {TCN_SELCHANGING, "TCN_SELCHANGING"},
        {TCN_SELCHANGE, "TCN_SELCHANGE"},
        {UDN_DELTAPOS, "UDN_DELTAPOS"},
        {DTN_DATETIMECHANGE, "DTN_DATETIMECHANGE"},
        {DTN_DROPDOWN, "DTN_DROPDOWN"},
        {DTN_CLOSEUP, "DTN_CLOSEUP"},
        {TTN_GETDISPINFO, "TTN_GETDISPINFO"},
        {TTN_SHOW, "TTN_SHOW"},
        {TBN_DROPDOWN, "TBN_DROPDOWN"},
        {RBN_HEIGHTCHANGE, "RBN_HEIGHTCHANGE"},
        {PSN_SETACTIVE, "PSN_SETACTIVE"},
        {PSN_KILLACTIVE, "PSN_KILLACTIVE"},
        {PSN_APPLY, "PSN_APPLY"},
        {PSN_RESET, "PSN_RESET"},
        {PSN_QUERYCANCEL, "PSN_QUERYCANCEL"},
    };
    for (const Name& n : names)
        if (n.code == code) return n.name;
    return "code " + std::to_string(static_cast<int>(code));
}

// What the host heard, in order, as text: "LVN_ITEMCHANGED 2" (the control id
// follows the code), "WM_COMMAND 1800 0", "WM_HSCROLL 5 40".
inline std::vector<std::string>& Log() {
    static std::vector<std::string> log;
    return log;
}

// Answers a notification: return true with *result set to handle it.
using Answerer = std::function<bool(HWND host, NMHDR* nm, LRESULT* result)>;
inline Answerer& Answer() {
    static Answerer a;
    return a;
}

// Called for each WM_DRAWITEM the host gets (owner-drawn menu items).
inline std::function<void(const DRAWITEMSTRUCT&)>& DrawHook() {
    static std::function<void(const DRAWITEMSTRUCT&)> hook;
    return hook;
}

inline LRESULT HostProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_MEASUREITEM: {
            auto* mis = reinterpret_cast<MEASUREITEMSTRUCT*>(lp);
            Log().push_back("WM_MEASUREITEM " + std::to_string(mis->itemID) + " " +
                            std::to_string(mis->itemData));
            mis->itemWidth = 100;
            mis->itemHeight = 16;
            return TRUE;
        }
        case WM_DRAWITEM: {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
            Log().push_back("WM_DRAWITEM " + std::to_string(dis->itemID) + " " +
                            std::to_string(dis->itemState));
            if (DrawHook()) DrawHook()(*dis);
            return TRUE;
        }
        case WM_NOTIFY: {
            auto* nm = reinterpret_cast<NMHDR*>(lp);
            if (nm->code != NM_CUSTOMDRAW && nm->code != LVN_GETDISPINFO)
                Log().push_back(CodeName(nm->code) + " " + std::to_string(nm->idFrom));
            LRESULT r = 0;
            if (Answer() && Answer()(h, nm, &r)) return r;
            return 0;
        }
        case WM_COMMAND:
            Log().push_back("WM_COMMAND " + std::to_string(LOWORD(wp)) + " " +
                            std::to_string(HIWORD(wp)));
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            Log().push_back(std::string(msg == WM_HSCROLL ? "WM_HSCROLL " : "WM_VSCROLL ") +
                            std::to_string(LOWORD(wp)) + " " +
                            std::to_string(static_cast<int16_t>(HIWORD(wp))));
            return 0;
        default:
            return DefWindowProc(h, msg, wp, lp);
    }
}

// One control of a template built in memory.
struct TemplateItem {
    uint32_t style;
    uint16_t classOrdinal;  // 0x80 BUTTON, 0x81 EDIT, 0x82 STATIC, ...
    std::u16string title;
};

// A form template with the controls one below the other.
inline std::vector<uint8_t> FormTemplate(const std::u16string& title, int16_t cx, int16_t cy,
                                         const std::vector<TemplateItem>& items) {
    std::vector<wintest::DialogItem> placed;
    for (size_t i = 0; i < items.size(); ++i)
        placed.push_back({items[i].style, 4, static_cast<int16_t>(4 + 16 * i), 80, 12,
                          items[i].classOrdinal, items[i].title});
    return wintest::DialogTemplate(title, cx, cy, placed);
}

class CtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        InitCommonControls();
        Log().clear();
        Answer() = nullptr;
        DrawHook() = nullptr;
        WNDCLASS wc;
        wc.lpfnWndProc = HostProc;
        wc.lpszClassName = u"CtlTestHost";
        RegisterClass(wc);
        host_ = CreateWindowEx(0, u"CtlTestHost", u"", WS_POPUP | WS_VISIBLE, 0, 0, 240, 320,
                               nullptr, nullptr, nullptr, nullptr);
        win::input::DrainQueue();
        Log().clear();
    }
    void TearDown() override {
        Answer() = nullptr;
        win::ResetForTests();
    }
    HWND Child(const WChar* cls, DWORD style, int id, RECT r = RECT{0, 0, 200, 200},
               const WChar* text = u"") {
        return CreateWindowEx(0, cls, text, WS_CHILD | WS_VISIBLE | style, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, host_,
                              reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    }
    // The log since the last call, then cleared.
    static std::vector<std::string> Take() {
        std::vector<std::string> out;
        out.swap(Log());
        return out;
    }
    HWND host_ = nullptr;
};

}  // namespace ctltest
