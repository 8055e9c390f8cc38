#include "platform/win/view.h"

#include <string>

namespace win {

namespace {

LRESULT ViewClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

// One registered class per class style.
WString ViewClassName(UINT classStyle) {
    std::string narrow = "ZnView" + std::to_string(classStyle);
    WString name(narrow.begin(), narrow.end());
    WNDCLASS existing;
    if (!GetClassInfo(nullptr, name.c_str(), &existing)) {
        WNDCLASS wc;
        wc.style = classStyle;
        wc.lpfnWndProc = ViewClassProc;
        wc.lpszClassName = name.c_str();
        RegisterClass(wc);
    }
    return name;
}

}  // namespace

bool View::Create(HWND parent, const RECT& rect, UINT id) {
    CREATESTRUCT cs;
    cs.hwndParent = parent;
    cs.x = rect.left;
    cs.y = rect.top;
    cs.cx = rect.right - rect.left;
    cs.cy = rect.bottom - rect.top;
    cs.style = WS_CHILD | WS_VISIBLE;
    UINT classStyle = 0;
    if (!PreCreateWindow(cs, classStyle)) return false;
    WString className = ViewClassName(classStyle);
    RECT r{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
    return CreateEx(cs.dwExStyle, className.c_str(), u"", cs.style, r, parent, id);
}

bool View::PreCreateWindow(CREATESTRUCT& cs, UINT& classStyle) {
    (void)cs, (void)classStyle;
    return true;
}

int View::OnCreate(CREATESTRUCT* cs) {
    (void)cs;
    return static_cast<int>(Default());
}

LRESULT View::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE:
            return OnCreate(reinterpret_cast<CREATESTRUCT*>(lParam)) == -1 ? -1 : 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(GetSafeHwnd(), &ps);
            m_paintRect = ps.rcPaint;
            if (dc) OnDraw(dc);
            EndPaint(GetSafeHwnd(), &ps);
            return 0;
        }
        default:
            return Wnd::WindowProc(msg, wParam, lParam);
    }
}

bool View::OnCommand(WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr);
}

CCmdUI View::QueryCommand(UINT id) {
    return QueryCommandUI({this}, id, true);
}

}  // namespace win
