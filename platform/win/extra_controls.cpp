// TTBUTTON and TTSTATIC: a push button and a static text whose window text
// is "caption~~tooltip". They show the caption and keep the tooltip. The
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

}  // namespace

void RegisterExtraControls() {
    detail::EnsureSystemClasses();
    detail::RegisterSystemClass(u"TTBUTTON", TipButtonProc, CS_DBLCLKS);
    detail::RegisterSystemClass(u"TTSTATIC", TipStaticProc, 0);
}

WString GetToolTipText(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_tipLock);
    auto it = Tips().find(hwnd);
    return it == Tips().end() ? WString() : it->second;
}

}  // namespace win
