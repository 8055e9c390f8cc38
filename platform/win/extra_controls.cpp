// TTBUTTON and TTSTATIC: a push button and a static text whose window text
// is "caption~~tooltip". They show the caption and keep the tooltip. CAPEDIT:
// an edit control that capitalises what is typed. The
// program offers them only when the shell's extra controls are present, so
// they are registered on request.
#include "platform/win/extra_controls.h"

#include <map>
#include <mutex>

#include "platform/win/controls.h"
#include "platform/win/window_impl.h"

namespace win {

namespace {

std::mutex g_tipLock;
std::map<HWND, WString>& Tips() {
    static auto* m = new std::map<HWND, WString>;
    return *m;
}

// Splits the tooltip off a text; the caption stays in the window.
LRESULT SplitText(HWND h, UINT msg, WPARAM wp, LPARAM lp, WNDPROC base) {
    const WChar* s = nullptr;
    if (msg == WM_NCCREATE) s = reinterpret_cast<const CREATESTRUCT*>(lp)->lpszName;
    if (msg == WM_SETTEXT) s = reinterpret_cast<const WChar*>(lp);
    if (!s) {
        if (msg == WM_NCDESTROY) {
            std::lock_guard<std::mutex> lock(g_tipLock);
            Tips().erase(h);
        }
        return base(h, msg, wp, lp);
    }
    WString all(s);
    size_t sep = all.find(u"~~");
    WString caption = sep == WString::npos ? all : all.substr(0, sep);
    {
        std::lock_guard<std::mutex> lock(g_tipLock);
        Tips()[h] = sep == WString::npos ? WString() : all.substr(sep + 2);
    }
    if (msg == WM_NCCREATE) {
        CREATESTRUCT cs = *reinterpret_cast<const CREATESTRUCT*>(lp);
        cs.lpszName = caption.c_str();
        return base(h, msg, wp, reinterpret_cast<LPARAM>(&cs));
    }
    return base(h, msg, wp, reinterpret_cast<LPARAM>(caption.c_str()));
}

LRESULT TipButtonProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return SplitText(h, m, w, l, ButtonProc);
}
LRESULT TipStaticProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    return SplitText(h, m, w, l, StaticProc);
}

// CAPEDIT: an EDIT that capitalises what the user types: the first letter of
// its text, or (after message 0x401 with wParam 1) the first letter of every
// word.
std::mutex g_capLock;
std::map<HWND, bool>& AllWords() {
    static auto* m = new std::map<HWND, bool>;
    return *m;
}

constexpr UINT kCapEditSetAllWords = 0x401;

bool IsLower(WChar c) {
    return text::ToUpperChar(c) != c;
}

LRESULT CapEditProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == kCapEditSetAllWords) {
        std::lock_guard<std::mutex> lock(g_capLock);
        AllWords()[h] = w != 0;
        return 0;
    }
    if (m == WM_NCDESTROY) {
        std::lock_guard<std::mutex> lock(g_capLock);
        AllWords().erase(h);
    }
    if (m == WM_CHAR && IsLower(static_cast<WChar>(w))) {
        bool allWords = false;
        {
            std::lock_guard<std::mutex> lock(g_capLock);
            auto it = AllWords().find(h);
            allWords = it != AllWords().end() && it->second;
        }
        DWORD start = 0;
        EditProc(h, EM_GETSEL, reinterpret_cast<WPARAM>(&start), 0);
        const WString before = GetWindowTextString(h).substr(0, start);
        const bool wordStart = before.empty() || before.back() == u' ' || before.back() == u'\t' ||
                               before.back() == u'\n' || before.back() == u'\r';
        if (before.empty() || (allWords && wordStart)) w = text::ToUpperChar(static_cast<WChar>(w));
    }
    return EditProc(h, m, w, l);
}

}  // namespace

void RegisterExtraControls() {
    detail::EnsureSystemClasses();
    detail::RegisterSystemClass(u"TTBUTTON", TipButtonProc, CS_DBLCLKS);
    detail::RegisterSystemClass(u"TTSTATIC", TipStaticProc, 0);
    detail::RegisterSystemClass(u"CAPEDIT", CapEditProc, CS_DBLCLKS);
}

WString GetToolTipText(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_tipLock);
    auto it = Tips().find(hwnd);
    return it == Tips().end() ? WString() : it->second;
}

}  // namespace win
