#include "platform/win/window.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <unordered_map>
#include <utility>

#include "platform/gdi/gdi.h"
#include "platform/sys/device.h"
#include "platform/sys/thread.h"
#include "platform/win/backend.h"
#include "platform/win/clipboard.h"
#include "platform/win/commctrl.h"
#include "platform/win/menu.h"
#include "platform/win/msgbox.h"
#include "platform/win/nonclient.h"
#include "platform/win/shell_notify.h"
#include "platform/win/theme.h"
#include "platform/win/menu_window.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

struct ClassEntry {
    WNDCLASS wc;
    WString name;
    bool system = false;
};

struct Table {
    std::mutex m;
    std::unordered_map<uint32_t, std::unique_ptr<Window>> windows;
    std::vector<HWND> topLevel;  // creation order
    std::vector<ClassEntry> classes;
    uint32_t nextToken = 0x00010000;
};

Table& T() {
    static Table* t = new Table;  // outlives static destructors of tests
    return *t;
}

// Process-wide user-interface state (the program has one UI thread).
struct UiState {
    HWND focus = nullptr;
    HWND capture = nullptr;
    HWND active = nullptr;
    HWND mainWindow = nullptr;
    HCURSOR cursor = nullptr;
    int waitCount = 0;
    std::vector<UINT> beeps;
};
UiState g_ui;

ClassEntry* FindClassLocked(WStringView name) {
    for (auto& c : T().classes)
        if (text::EqualsNoCase(c.name, name)) return &c;
    return nullptr;
}

}  // namespace

thread_local CreationHook t_creationHook = nullptr;

void SetCreationHook(CreationHook hook) {
    t_creationHook = hook;
}

Window* Find(HWND hwnd) {
    if (!hwnd) return nullptr;
    std::lock_guard<std::mutex> lock(T().m);
    auto it = T().windows.find(HandleToToken(hwnd));
    return it == T().windows.end() ? nullptr : it->second.get();
}

void RegisterSystemClass(const WChar* name, WNDPROC proc, UINT style) {
    std::lock_guard<std::mutex> lock(T().m);
    if (FindClassLocked(name)) return;
    ClassEntry e;
    e.wc.lpfnWndProc = proc;
    e.wc.style = style;
    e.name = name;
    e.system = true;
    T().classes.push_back(std::move(e));
}

namespace {
bool Mirrored(const Window* w) {
    return w && (w->exStyle & WS_EX_LAYOUTRTL);
}
}  // namespace

RECT ScreenRect(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return RECT{};
    if (!w->parent) return w->rect;
    // A child's rectangle is in its parent's client coordinates; in a
    // mirrored parent x runs from the client area's right edge.
    POINT o = ClientOrigin(w->parent);
    Window* p = Find(w->parent);
    if (Mirrored(p)) {
        RECT pc;
        GetClientRect(w->parent, &pc);
        int right = o.x + pc.right;
        return RECT{right - w->rect.right, o.y + w->rect.top, right - w->rect.left,
                    o.y + w->rect.bottom};
    }
    return RECT{o.x + w->rect.left, o.y + w->rect.top, o.x + w->rect.right, o.y + w->rect.bottom};
}

POINT ClientOrigin(HWND hwnd) {
    POINT p;
    Window* w = Find(hwnd);
    if (!w) return p;
    RECT m = GetNonClientMargins(w->style, w->exStyle);
    RECT r = ScreenRect(hwnd);
    p.x = r.left + m.left;
    p.y = r.top + m.top;
    return p;
}

std::vector<HWND> WindowsToPaint(DWORD thread) {
    std::vector<HWND> out;
    {
        // Most looks at the queue find nothing to paint: say so before
        // walking the windows in painting order.
        std::lock_guard<std::mutex> lock(T().m);
        bool any = false;
        for (auto& [token, w] : T().windows)
            if (w->thread == thread && w->updatePending && w->created && !w->destroying) {
                any = true;
                break;
            }
        if (!any) return out;
    }
    for (HWND h : PaintOrder()) {
        std::lock_guard<std::mutex> lock(T().m);
        auto it = T().windows.find(HandleToToken(h));
        if (it == T().windows.end()) continue;
        Window* w = it->second.get();
        if (w->thread == thread && w->updatePending && w->created && !w->destroying)
            out.push_back(h);
    }
    return out;
}

void NotifyParent(HWND hwnd, WORD code) {
    Window* w = Find(hwnd);
    if (!w || !w->parent) return;
    SendMessage(w->parent, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(w->id), code),
                reinterpret_cast<LPARAM>(hwnd));
}

}  // namespace win::detail

using namespace win::detail;

// ---- classes ----

bool RegisterClass(const WNDCLASS& wc) {
    if (!wc.lpszClassName || !wc.lpfnWndProc) return false;
    EnsureSystemClasses();
    std::lock_guard<std::mutex> lock(T().m);
    if (FindClassLocked(wc.lpszClassName)) return false;
    ClassEntry e;
    e.wc = wc;
    e.name = wc.lpszClassName;
    e.wc.lpszClassName = nullptr;
    T().classes.push_back(std::move(e));
    return true;
}

bool UnregisterClass(const WChar* className, HINSTANCE) {
    std::lock_guard<std::mutex> lock(T().m);
    auto& cs = T().classes;
    for (auto it = cs.begin(); it != cs.end(); ++it) {
        if (!it->system && text::EqualsNoCase(it->name, className)) {
            for (auto& [token, w] : T().windows)
                if (text::EqualsNoCase(w->className, className)) return false;
            cs.erase(it);
            return true;
        }
    }
    return false;
}

bool GetClassInfo(HINSTANCE, const WChar* className, WNDCLASS* out) {
    EnsureSystemClasses();
    std::lock_guard<std::mutex> lock(T().m);
    ClassEntry* c = FindClassLocked(className);
    if (!c) return false;
    if (out) *out = c->wc;
    return true;
}

WString GetClassNameText(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->className : WString();
}

int GetClassName(HWND hwnd, WChar* buffer, int size) {
    Window* w = Find(hwnd);
    if (!w || !buffer || size <= 0) return 0;
    int n = std::min<int>(size - 1, static_cast<int>(w->className.size()));
    std::copy_n(w->className.data(), n, buffer);
    buffer[n] = 0;
    return n;
}

// ---- creation ----

HWND CreateWindowEx(DWORD exStyle, const WChar* className, const WChar* windowName, DWORD style,
                    int x, int y, int width, int height, HWND parent, HMENU menuOrId,
                    HINSTANCE instance, void* param) {
    // The hook belongs to this creation, whether it succeeds or not.
    CreationHook hook = std::exchange(t_creationHook, nullptr);
    EnsureSystemClasses();
    if (!className) return nullptr;
    if ((style & WS_CHILD) && !Find(parent)) return nullptr;
    if (parent && !Find(parent)) return nullptr;
    auto w = std::make_unique<Window>();
    {
        std::lock_guard<std::mutex> lock(T().m);
        ClassEntry* c = FindClassLocked(className);
        if (!c) return nullptr;
        w->className = c->name;
        w->classStyle = c->wc.style;
        w->background = c->wc.hbrBackground;
        w->cursor = c->wc.hCursor;
        w->proc = c->wc.lpfnWndProc;
        uint32_t token = T().nextToken;
        do {
            token = token + 4;
            if (token < 0x00010000) token = 0x00010000;
        } while (T().windows.count(token));
        T().nextToken = token;
        w->self = TokenToHandle<HWND>(token);
    }
    w->thread = sys::GetCurrentThreadId();
    w->style = style;
    w->exStyle = exStyle;
    // A child takes its parent's mirrored layout unless it asks not to.
    if ((style & WS_CHILD) && !(exStyle & WS_EX_NOINHERITLAYOUT))
        if (Window* p = Find(parent); p && (p->exStyle & WS_EX_LAYOUTRTL))
            w->exStyle |= WS_EX_LAYOUTRTL;
    w->instance = instance;
    if (style & WS_CHILD) {
        w->parent = parent;
        w->id = static_cast<intptr_t>(reinterpret_cast<uintptr_t>(menuOrId));
    } else {
        w->owner = parent;
    }
    if (x == CW_USEDEFAULT) x = y = 0;
    if (width == CW_USEDEFAULT) {
        width = sys::GetScreenWidth();
        height = sys::GetScreenHeight();
    }
    w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
    HWND hwnd = w->self;
    {
        std::lock_guard<std::mutex> lock(T().m);
        T().windows.emplace(HandleToToken(hwnd), std::move(w));
        if (style & WS_CHILD)
            T().windows[HandleToToken(parent)]->children.push_back(hwnd);
        else
            T().topLevel.push_back(hwnd);
    }
    CREATESTRUCT cs;
    cs.lpCreateParams = param;
    cs.hInstance = instance;
    cs.hMenu = menuOrId;
    cs.hwndParent = parent;
    cs.x = x;
    cs.y = y;
    cs.cx = width;
    cs.cy = height;
    cs.style = style;
    cs.lpszName = windowName;
    cs.lpszClass = className;
    cs.dwExStyle = exStyle;
    LPARAM lp = reinterpret_cast<LPARAM>(&cs);
    if (hook) hook(hwnd);
    if (!SendMessage(hwnd, WM_NCCREATE, 0, lp) || !IsWindow(hwnd) ||
        SendMessage(hwnd, WM_CREATE, 0, lp) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    Window* wp = Find(hwnd);
    if (!wp) return nullptr;
    wp->created = true;
    win::GetDisplayBackend().WindowCreated(hwnd);
    RECT rc;
    GetClientRect(hwnd, &rc);
    SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
    SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
    if (IsWindow(hwnd) && (style & WS_VISIBLE)) InvalidateRect(hwnd, nullptr, true);
    return IsWindow(hwnd) ? hwnd : nullptr;
}

HWND CreateWindow(const WChar* className, const WChar* windowName, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance,
                  void* param) {
    return CreateWindowEx(0, className, windowName, style, x, y, width, height, parent, menuOrId,
                          instance, param);
}

namespace {

void SendDestroy(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    SendMessage(hwnd, WM_DESTROY, 0, 0);
    w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> kids = w->children;
    for (HWND c : kids) SendDestroy(c);
}

void FinalDestroy(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return;
    std::vector<HWND> kids = w->children;
    for (HWND c : kids) FinalDestroy(c);
    SendMessage(hwnd, WM_NCDESTROY, 0, 0);
    if (Window* w = Find(hwnd); w && w->created) win::GetDisplayBackend().WindowDestroyed(hwnd);
    KillWindowTimers(hwnd);
    CaretWindowGone(hwnd);
    DropSurface(hwnd);
    if (g_ui.focus == hwnd) g_ui.focus = nullptr;
    if (g_ui.capture == hwnd) g_ui.capture = nullptr;
    if (g_ui.active == hwnd) g_ui.active = nullptr;
    if (g_ui.mainWindow == hwnd) g_ui.mainWindow = nullptr;
    std::unique_ptr<Window> dead;
    {
        std::lock_guard<std::mutex> lock(T().m);
        auto it = T().windows.find(HandleToToken(hwnd));
        if (it == T().windows.end()) return;
        dead = std::move(it->second);
        T().windows.erase(it);
        if (dead->parent) {
            auto pit = T().windows.find(HandleToToken(dead->parent));
            if (pit != T().windows.end()) std::erase(pit->second->children, hwnd);
        }
        std::erase(T().topLevel, hwnd);
    }
}

}  // namespace

bool DestroyWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w || w->destroying) return false;
    w->destroying = true;
    // Owned windows go first.
    if (!w->parent) {
        std::vector<HWND> owned;
        {
            std::lock_guard<std::mutex> lock(T().m);
            for (HWND t : T().topLevel) {
                auto it = T().windows.find(HandleToToken(t));
                if (it != T().windows.end() && it->second->owner == hwnd) owned.push_back(t);
            }
        }
        for (HWND o : owned) DestroyWindow(o);
    }
    // Focus and capture inside the dying tree are dropped without messages
    // to the dying windows; the capture holder learns it lost the capture.
    if (g_ui.capture && (g_ui.capture == hwnd || IsChild(hwnd, g_ui.capture))) {
        HWND old = g_ui.capture;
        g_ui.capture = nullptr;
        SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    }
    if (g_ui.focus && (g_ui.focus == hwnd || IsChild(hwnd, g_ui.focus))) g_ui.focus = nullptr;
    if (Find(hwnd) && Find(hwnd)->created) ShowWindow(hwnd, SW_HIDE);
    SendDestroy(hwnd);
    FinalDestroy(hwnd);
    return true;
}

bool IsWindow(HWND hwnd) {
    return Find(hwnd) != nullptr;
}

// ---- procedures ----

LRESULT CallWindowProc(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(hwnd, msg, wParam, lParam) : DefWindowProc(hwnd, msg, wParam, lParam);
}

LRESULT DefWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
        case WM_NCCREATE: {
            auto* cs = reinterpret_cast<const CREATESTRUCT*>(lParam);
            if (cs && cs->lpszName) w->text = cs->lpszName;
            return TRUE;
        }
        case WM_SETTEXT:
            w->text = lParam ? reinterpret_cast<const WChar*>(lParam) : u"";
            if (w->created) win::GetDisplayBackend().WindowChanged(hwnd, win::WindowChange::Text);
            if (w->created && (w->style & WS_CAPTION) == WS_CAPTION && IsWindowVisible(hwnd))
                DrawNonClient(hwnd);
            return TRUE;
        case WM_GETTEXT: {
            auto* buf = reinterpret_cast<WChar*>(lParam);
            int size = static_cast<int>(wParam);
            if (!buf || size <= 0) return 0;
            int n = std::min<int>(size - 1, static_cast<int>(w->text.size()));
            std::copy_n(w->text.data(), n, buf);
            buf[n] = 0;
            return n;
        }
        case WM_GETTEXTLENGTH:
            return static_cast<LRESULT>(w->text.size());
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == SC_KEYMENU) win::detail::EnterMenuBar(hwnd);
            return 0;
        case WM_SETFONT:
            w->font = reinterpret_cast<HFONT>(wParam);
            if (LOWORD(lParam)) InvalidateRect(hwnd, nullptr, true);
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(w->font);
        case WM_SETREDRAW:
            w->redraw = wParam != 0;
            return 0;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd, &ps);
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_NCPAINT:
            DrawNonClient(hwnd);
            return 0;
        case WM_NCHITTEST:
            return NonClientHit(hwnd, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        case WM_NCLBUTTONDOWN:
            NonClientButtonDown(hwnd, static_cast<LRESULT>(wParam),
                                POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
            return 0;
        case WM_ERASEBKGND: {
            if (!w->background) return 0;
            RECT rc;
            GetClientRect(hwnd, &rc);
            FillRect(reinterpret_cast<HDC>(wParam), &rc, w->background);  // a brush or colour + 1
            return 1;
        }
        case WM_SETCURSOR:
            // The parent may set the cursor for its child first.
            if (w->parent && SendMessage(w->parent, WM_SETCURSOR, wParam, lParam)) return TRUE;
            // Then the class cursor, when the class has one.
            if (LOWORD(static_cast<uintptr_t>(lParam)) == 1 /* HTCLIENT */) {
                Window* self = Find(hwnd);
                if (!self || !self->cursor) return FALSE;
                SetCursor(self->cursor);
                return TRUE;
            }
            return FALSE;
        default:
            return 0;  // WM_CTLCOLOR...: 0, the control keeps its default colours
    }
}

// ---- window data ----

intptr_t GetWindowLongPtr(HWND hwnd, int index) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
        case GWL_STYLE:
            return static_cast<intptr_t>(w->style);
        case GWL_EXSTYLE:
            return static_cast<intptr_t>(w->exStyle);
        case GWL_ID:
            return w->id;
        case GWL_USERDATA:
            return w->userData;
        case GWL_WNDPROC:
            return reinterpret_cast<intptr_t>(w->proc);
        case GWL_HINSTANCE:
            return reinterpret_cast<intptr_t>(w->instance);
        case GWL_HWNDPARENT:
            return reinterpret_cast<intptr_t>(w->parent ? w->parent : w->owner);
        case DWLP_MSGRESULT:
            return w->dlgMsgResult;
        case DWLP_DLGPROC:
            return w->dlgProc;
        case DWLP_USER:
            return w->dlgUser;
        default:
            return 0;
    }
}

intptr_t SetWindowLongPtr(HWND hwnd, int index, intptr_t value) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    intptr_t old = GetWindowLongPtr(hwnd, index);
    switch (index) {
        case GWL_STYLE:
            w->style = static_cast<DWORD>(value);
            break;
        case GWL_EXSTYLE:
            w->exStyle = static_cast<DWORD>(value);
            break;
        case GWL_ID:
            w->id = value;
            break;
        case GWL_USERDATA:
            w->userData = value;
            break;
        case GWL_WNDPROC:
            w->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWL_HWNDPARENT:
            if (!w->parent) w->owner = reinterpret_cast<HWND>(value);
            break;
        case DWLP_MSGRESULT:
            w->dlgMsgResult = value;
            break;
        case DWLP_DLGPROC:
            w->dlgProc = value;
            break;
        case DWLP_USER:
            w->dlgUser = value;
            break;
        default:
            return 0;
    }
    return old;
}

int GetWindowText(HWND hwnd, WChar* buffer, int size) {
    return static_cast<int>(
        SendMessage(hwnd, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buffer)));
}

int GetWindowTextLength(HWND hwnd) {
    return static_cast<int>(SendMessage(hwnd, WM_GETTEXTLENGTH, 0, 0));
}

WString GetWindowTextString(HWND hwnd) {
    int n = GetWindowTextLength(hwnd);
    WString s(static_cast<size_t>(n) + 1, u'\0');
    int got = GetWindowText(hwnd, s.data(), n + 1);
    s.resize(static_cast<size_t>(std::max(0, got)));
    return s;
}

bool SetWindowText(HWND hwnd, const WChar* text) {
    if (!IsWindow(hwnd)) return false;
    return SendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : u"")) != 0;
}

int GetDlgCtrlID(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && w->parent ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    Window* w = Find(dialog);
    if (!w) return nullptr;
    for (HWND c : w->children) {
        Window* cw = Find(c);
        if (cw && static_cast<int>(cw->id) == id) return c;
    }
    return nullptr;
}

// ---- relations ----

HWND GetParent(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND GetOwner(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->owner : nullptr;
}

HWND SetParent(HWND child, HWND newParent) {
    Window* w = Find(child);
    if (!w || !w->parent || !Find(newParent) || child == newParent || IsChild(child, newParent))
        return nullptr;
    HWND old = w->parent;
    std::lock_guard<std::mutex> lock(T().m);
    std::erase(T().windows[HandleToToken(old)]->children, child);
    T().windows[HandleToToken(newParent)]->children.push_back(child);
    w->parent = newParent;
    return old;
}

std::vector<HWND> GetChildren(HWND hwnd) {
    Window* w = Find(hwnd);
    return w ? w->children : std::vector<HWND>{};
}

bool IsChild(HWND parent, HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && w->parent) {
        if (w->parent == parent) return true;
        w = Find(w->parent);
    }
    return false;
}

std::vector<HWND> GetTopLevelWindows() {
    std::lock_guard<std::mutex> lock(T().m);
    return T().topLevel;
}

HWND GetWindow(HWND hwnd, UINT cmd) {
    Window* w = Find(hwnd);
    if (!w) return nullptr;
    if (cmd == GW_OWNER) return w->owner;
    if (cmd == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    std::vector<HWND> sibs = w->parent ? GetChildren(w->parent) : GetTopLevelWindows();
    auto it = std::find(sibs.begin(), sibs.end(), hwnd);
    if (it == sibs.end()) return nullptr;
    switch (cmd) {
        case GW_HWNDFIRST:
            return sibs.front();
        case GW_HWNDLAST:
            return sibs.back();
        case GW_HWNDNEXT:
            return it + 1 == sibs.end() ? nullptr : *(it + 1);
        case GW_HWNDPREV:
            return it == sibs.begin() ? nullptr : *(it - 1);
        default:
            return nullptr;
    }
}

HWND FindWindow(const WChar* className, const WChar* windowName) {
    for (HWND h : GetTopLevelWindows()) {
        Window* w = Find(h);
        if (!w) continue;
        if (className && !text::EqualsNoCase(w->className, className)) continue;
        if (windowName && w->text != windowName) continue;
        return h;
    }
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    if (processId) *processId = 1;
    std::lock_guard<std::mutex> lock(T().m);
    auto it = T().windows.find(HandleToToken(hwnd));
    return it == T().windows.end() ? 0 : it->second->thread;
}

// ---- geometry ----

int GetSystemMetrics(int index) {
    switch (index) {
        case SM_CXSCREEN:
            return sys::GetScreenWidth();
        case SM_CYSCREEN:
            return sys::GetScreenHeight();
        case SM_CXVSCROLL:
        case SM_CYHSCROLL:
            return win::theme::Scale(13);
        case SM_CYCAPTION:
            return win::theme::Scale(24);
        case SM_CYMENU:
            return win::theme::Scale(20);
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return win::theme::Scale(3);
        case SM_CXDOUBLECLK:
        case SM_CYDOUBLECLK:
            return 8;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return win::theme::Scale(2);
        default:
            return 0;
    }
}

RECT GetNonClientMargins(DWORD style, DWORD exStyle) {
    RECT m;
    int b = 0;
    if ((style & WS_CAPTION) == WS_CAPTION) {
        b = 1;
        m.top += GetSystemMetrics(SM_CYCAPTION);
    } else if (style & WS_DLGFRAME) {
        b = GetSystemMetrics(SM_CXDLGFRAME);
    } else if (style & WS_BORDER) {
        b = 1;
    }
    if (exStyle & WS_EX_CLIENTEDGE) b += GetSystemMetrics(SM_CXEDGE);
    if (exStyle & WS_EX_STATICEDGE) b += 1;
    m.left += b;
    m.top += b;
    m.right += b;
    m.bottom += b;
    // A mirrored window has its vertical scroll bar at the left.
    if (style & WS_VSCROLL)
        ((exStyle & WS_EX_LAYOUTRTL) ? m.left : m.right) += GetSystemMetrics(SM_CXVSCROLL);
    if (style & WS_HSCROLL) m.bottom += GetSystemMetrics(SM_CYHSCROLL);
    return m;
}

bool GetWindowRect(HWND hwnd, RECT* rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return false;
    *rect = ScreenRect(hwnd);
    return true;
}

bool GetClientRect(HWND hwnd, RECT* rect) {
    Window* w = Find(hwnd);
    if (!w || !rect) return false;
    RECT m = GetNonClientMargins(w->style, w->exStyle);
    *rect = RECT{0, 0, std::max(0, (w->rect.right - w->rect.left) - m.left - m.right),
                 std::max(0, (w->rect.bottom - w->rect.top) - m.top - m.bottom)};
    return true;
}

namespace {
// The screen x of client x 0 and the direction x runs in: a mirrored window
// counts from the right edge of its client area leftwards.
void ClientAxis(HWND hwnd, POINT* origin, int* dir) {
    *origin = ClientOrigin(hwnd);
    *dir = 1;
    if (Mirrored(Find(hwnd))) {
        RECT c;
        GetClientRect(hwnd, &c);
        origin->x += c.right;
        *dir = -1;
    }
}
}  // namespace

bool ClientToScreen(HWND hwnd, POINT* pt) {
    if (!IsWindow(hwnd) || !pt) return false;
    POINT o;
    int dir;
    ClientAxis(hwnd, &o, &dir);
    pt->x = o.x + dir * pt->x;
    pt->y += o.y;
    return true;
}

bool ScreenToClient(HWND hwnd, POINT* pt) {
    if (!IsWindow(hwnd) || !pt) return false;
    POINT o;
    int dir;
    ClientAxis(hwnd, &o, &dir);
    pt->x = dir * (pt->x - o.x);
    pt->y -= o.y;
    return true;
}

int MapWindowPoints(HWND from, HWND to, POINT* points, UINT count) {
    // Point by point, so that a rectangle mapped into (or out of) a
    // mirrored window has its left and right exchanged.
    POINT a{}, b{};
    int da = 1, db = 1;
    if (from) ClientAxis(from, &a, &da);
    if (to) ClientAxis(to, &b, &db);
    for (UINT i = 0; i < count; ++i) {
        int sx = a.x + da * points[i].x;
        points[i].x = db * (sx - b.x);
        points[i].y += a.y - b.y;
    }
    int dx = da == db ? (a.x - b.x) * db : 0;
    return static_cast<int>(MAKELONG(static_cast<WORD>(dx), static_cast<WORD>(a.y - b.y)));
}

bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    Window* w = Find(hwnd);
    if (!w) return false;
    RECT old = w->rect;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.right += x - w->rect.left;
        w->rect.bottom += y - w->rect.top;
        w->rect.left = x;
        w->rect.top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        w->rect.right = w->rect.left + std::max(0, cx);
        w->rect.bottom = w->rect.top + std::max(0, cy);
    }
    if (!(flags & SWP_NOZORDER) && !w->parent) {
        if (insertAfter == HWND_TOPMOST) w->exStyle |= WS_EX_TOPMOST;
        if (insertAfter == HWND_NOTOPMOST) w->exStyle &= ~WS_EX_TOPMOST;
    }
    if (flags & SWP_SHOWWINDOW) ShowWindow(hwnd, SW_SHOWNA);
    if (flags & SWP_HIDEWINDOW) ShowWindow(hwnd, SW_HIDE);
    w = Find(hwnd);
    if (!w) return true;
    bool moved = old.left != w->rect.left || old.top != w->rect.top;
    bool sized = (old.right - old.left) != (w->rect.right - w->rect.left) ||
                 (old.bottom - old.top) != (w->rect.bottom - w->rect.top);
    if (moved || sized || (flags & SWP_FRAMECHANGED)) {
        win::GetDisplayBackend().WindowChanged(hwnd, win::WindowChange::Moved);
        WINDOWPOS wp{hwnd,
                     insertAfter,
                     w->rect.left,
                     w->rect.top,
                     w->rect.right - w->rect.left,
                     w->rect.bottom - w->rect.top,
                     flags};
        SendMessage(hwnd, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&wp));
    }
    if (sized && IsWindow(hwnd)) {
        RECT rc;
        GetClientRect(hwnd, &rc);
        SendMessage(hwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.right, rc.bottom));
    }
    if (moved && IsWindow(hwnd)) {
        SendMessage(hwnd, WM_MOVE, 0, MAKELPARAM(x, y));
    }
    if ((moved || sized || (flags & SWP_FRAMECHANGED)) && !(flags & SWP_NOREDRAW) && IsWindow(hwnd))
        InvalidateRect(hwnd, nullptr, true);
    return true;
}

bool MoveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint) {
    return SetWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

bool CenterWindow(HWND hwnd, HWND relativeTo) {
    Window* w = Find(hwnd);
    if (!w) return false;
    RECT area{0, 0, sys::GetScreenWidth(), sys::GetScreenHeight()};
    if (relativeTo && IsWindow(relativeTo)) GetWindowRect(relativeTo, &area);
    int cx = w->rect.right - w->rect.left, cy = w->rect.bottom - w->rect.top;
    POINT p{area.left + ((area.right - area.left) - cx) / 2,
            area.top + ((area.bottom - area.top) - cy) / 2};
    if (!w->parent) {
        // A window is kept on the screen; one larger than the screen stands
        // at its top-left corner.
        p.x = std::max(0, std::min(static_cast<int>(p.x), sys::GetScreenWidth() - cx));
        p.y = std::max(0, std::min(static_cast<int>(p.y), sys::GetScreenHeight() - cy));
    }
    if (w->parent) ScreenToClient(w->parent, &p);
    return SetWindowPos(hwnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// ---- state ----

bool ShowWindow(HWND hwnd, int cmd) {
    Window* w = Find(hwnd);
    if (!w) return false;
    bool was = (w->style & WS_VISIBLE) != 0;
    bool show = cmd != SW_HIDE;
    if (show != was) {
        SendMessage(hwnd, WM_SHOWWINDOW, show, 0);
        w = Find(hwnd);
        if (!w) return was;
        if (show)
            w->style |= WS_VISIBLE;
        else
            w->style &= ~WS_VISIBLE;
        win::GetDisplayBackend().WindowChanged(hwnd, win::WindowChange::Shown);
        if (show) InvalidateRect(hwnd, nullptr, true);
        if (!show && g_ui.focus && (g_ui.focus == hwnd || IsChild(hwnd, g_ui.focus)))
            SetFocus(nullptr);
    }
    if (cmd == SW_MINIMIZE) SendMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0);
    return was;
}

bool IsWindowVisible(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w) {
        if (!(w->style & WS_VISIBLE)) return false;
        w = w->parent ? Find(w->parent) : nullptr;
    }
    return IsWindow(hwnd);
}

bool EnableWindow(HWND hwnd, bool enable) {
    Window* w = Find(hwnd);
    if (!w) return false;
    bool wasDisabled = (w->style & WS_DISABLED) != 0;
    if (wasDisabled == !enable) return wasDisabled;
    if (enable)
        w->style &= ~WS_DISABLED;
    else
        w->style |= WS_DISABLED;
    if (!enable && g_ui.focus && (g_ui.focus == hwnd || IsChild(hwnd, g_ui.focus)))
        SetFocus(nullptr);
    win::GetDisplayBackend().WindowChanged(hwnd, win::WindowChange::Enabled);
    SendMessage(hwnd, WM_ENABLE, enable, 0);
    InvalidateRect(hwnd, nullptr, true);
    return wasDisabled;
}

bool IsWindowEnabled(HWND hwnd) {
    Window* w = Find(hwnd);
    return w && !(w->style & WS_DISABLED);
}

namespace {
HWND TopLevelOf(HWND hwnd) {
    Window* w = Find(hwnd);
    while (w && w->parent) {
        hwnd = w->parent;
        w = Find(hwnd);
    }
    return w ? hwnd : nullptr;
}
}  // namespace

HWND SetFocus(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    HWND old = g_ui.focus;
    if (old == hwnd) return old;
    if (hwnd) {
        HWND top = TopLevelOf(hwnd);
        if (top != g_ui.active) SetActiveWindow(top);
        if (g_ui.focus != old) old = g_ui.focus;
    }
    g_ui.focus = hwnd;
    if (old && IsWindow(old)) win::GetDisplayBackend().WindowChanged(old, win::WindowChange::Focus);
    if (hwnd) win::GetDisplayBackend().WindowChanged(hwnd, win::WindowChange::Focus);
    if (old && IsWindow(old)) SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd && IsWindow(hwnd) && g_ui.focus == hwnd)
        SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    return old;
}

HWND GetFocus() {
    return g_ui.focus;
}
HWND GetActiveWindow() {
    return g_ui.active;
}

HWND SetActiveWindow(HWND hwnd) {
    HWND old = g_ui.active;
    if (old == hwnd) return old;
    g_ui.active = hwnd;
    if (old && IsWindow(old))
        SendMessage(old, WM_ACTIVATE, 0 /* inactive */, reinterpret_cast<LPARAM>(hwnd));
    if (hwnd && IsWindow(hwnd))
        SendMessage(hwnd, WM_ACTIVATE, 1 /* active */, reinterpret_cast<LPARAM>(old));
    return old;
}

bool SetForegroundWindow(HWND hwnd) {
    if (!IsWindow(hwnd)) return false;
    HWND top = TopLevelOf(hwnd);
    SetActiveWindow(top);
    // The desktop brings it forward also when the model had it active
    // already (another program may be in front).
    win::GetDisplayBackend().WindowChanged(top, win::WindowChange::Focus);
    return true;
}

HWND GetForegroundWindow() {
    return g_ui.active;
}

bool BringWindowToTop(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return false;
    std::lock_guard<std::mutex> lock(T().m);
    auto& list = w->parent ? T().windows[HandleToToken(w->parent)]->children : T().topLevel;
    std::erase(list, hwnd);
    list.push_back(hwnd);
    return true;
}

HWND SetCapture(HWND hwnd) {
    HWND old = g_ui.capture;
    if (hwnd && !IsWindow(hwnd)) return old;
    g_ui.capture = hwnd;
    if (old && old != hwnd && IsWindow(old))
        SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(hwnd));
    return old;
}

bool ReleaseCapture() {
    HWND old = g_ui.capture;
    g_ui.capture = nullptr;
    if (old && IsWindow(old)) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
    return true;
}

HWND GetCapture() {
    return g_ui.capture;
}

// ---- painting state ----

bool InvalidateRect(HWND hwnd, const RECT* rect, bool erase) {
    Window* w = Find(hwnd);
    if (!w) return false;
    RECT client;
    GetClientRect(hwnd, &client);
    RECT r = client;
    if (rect && !IntersectRect(&r, rect, &client)) return true;
    if (r.left >= r.right || r.top >= r.bottom) return true;
    if (w->updatePending)
        UnionRect(&w->update, &w->update, &r);
    else
        w->update = r;
    w->updatePending = true;
    w->erasePending = w->erasePending || erase;
    if (!rect) w->framePending = true;
    WakeThread(w->thread);
    // A parent that does not clip its children paints over them: they paint
    // again afterwards, where it covered them.
    if (!(w->style & WS_CLIPCHILDREN)) {
        POINT origin = ClientOrigin(hwnd);
        for (HWND c : GetChildren(hwnd)) {
            Window* cw = Find(c);
            if (!cw || !(cw->style & WS_VISIBLE)) continue;
            RECT cr;
            GetWindowRect(c, &cr);
            OffsetRect(&cr, -origin.x, -origin.y);
            RECT hit;
            if (!IntersectRect(&hit, &cr, &r)) continue;
            POINT co = ClientOrigin(c);
            OffsetRect(&hit, origin.x - co.x, origin.y - co.y);
            InvalidateRect(c, &hit, erase);
        }
    }
    return true;
}

bool ValidateRect(HWND hwnd, const RECT* rect) {
    Window* w = Find(hwnd);
    if (!w) return false;
    // The update area is kept as one rectangle: validating part of it leaves
    // it pending unless the part covers it.
    if (!rect || (rect->left <= w->update.left && rect->top <= w->update.top &&
                  rect->right >= w->update.right && rect->bottom >= w->update.bottom)) {
        w->updatePending = false;
        w->erasePending = false;
        w->update = RECT{};
    }
    return true;
}

bool GetUpdateRect(HWND hwnd, RECT* rect, bool) {
    Window* w = Find(hwnd);
    if (!w) return false;
    if (rect) *rect = w->updatePending ? w->update : RECT{};
    return w->updatePending;
}

bool UpdateWindow(HWND hwnd) {
    Window* w = Find(hwnd);
    if (!w) return false;
    if (w->updatePending && IsWindowVisible(hwnd)) SendMessage(hwnd, WM_PAINT, 0, 0);
    return true;
}

int ScrollWindowEx(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip, HRGN update,
                   RECT* updateRect, UINT flags) {
    Window* w = Find(hwnd);
    if (!w) return 0;
    RECT uncovered{};
    if (HDC dc = GetDC(hwnd)) {
        ScrollDC(dc, dx, dy, scroll, clip, update, &uncovered);
        ReleaseDC(hwnd, dc);
    } else {
        GetClientRect(hwnd, &uncovered);
    }
    // What was waiting to be painted moved with the pixels.
    w = Find(hwnd);
    if (w && w->updatePending) {
        OffsetRect(&w->update, dx, dy);
        RECT client;
        GetClientRect(hwnd, &client);
        if (!IntersectRect(&w->update, &w->update, &client)) {
            w->updatePending = false;
            w->update = RECT{};
        }
    }
    if (flags & SW_SCROLLCHILDREN) {
        for (HWND c : GetChildren(hwnd)) {
            Window* cw = Find(c);
            if (!cw) continue;
            RECT r = cw->rect;
            SetWindowPos(c, nullptr, r.left + dx, r.top + dy, 0, 0,
                         SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    if (updateRect) *updateRect = uncovered;
    if ((flags & SW_INVALIDATE) && !IsRectEmpty(&uncovered))
        InvalidateRect(hwnd, &uncovered, (flags & SW_ERASE) != 0);
    return IsRectEmpty(&uncovered) ? 1 /* NULLREGION */ : 2 /* SIMPLEREGION */;
}

bool ScrollWindow(HWND hwnd, int dx, int dy, const RECT* scroll, const RECT* clip) {
    UINT flags = SW_INVALIDATE | SW_ERASE | (scroll ? 0 : SW_SCROLLCHILDREN);
    return ScrollWindowEx(hwnd, dx, dy, scroll, clip, nullptr, nullptr, flags) != 0;
}

HDC GetDC(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    return WindowViewDC(hwnd, true, false, nullptr);
}

HDC GetWindowDC(HWND hwnd) {
    if (hwnd && !IsWindow(hwnd)) return nullptr;
    return WindowViewDC(hwnd, hwnd != nullptr ? false : true, false, nullptr);
}

int ReleaseDC(HWND, HDC dc) {
    if (!dc) return 0;
    return ReleaseWindowViewDC(dc) ? 1 : 0;
}

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* ps) {
    Window* w = Find(hwnd);
    if (!w || !ps) return nullptr;
    ps->rcPaint = w->updatePending ? w->update : RECT{};
    bool erase = w->erasePending;
    w->updatePending = false;
    w->erasePending = false;
    w->update = RECT{};
    if (w->framePending) {
        w->framePending = false;
        RECT m = GetNonClientMargins(w->style, w->exStyle);
        if (m.left || m.top || m.right || m.bottom) SendMessage(hwnd, WM_NCPAINT, 1, 0);
    }
    CaretBeginPaint(hwnd);
    ps->hdc = WindowViewDC(hwnd, true, true, &ps->rcPaint);
    if (erase)
        ps->fErase =
            SendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(ps->hdc), 0) ? FALSE : TRUE;
    else
        ps->fErase = FALSE;
    return ps->hdc;
}

bool EndPaint(HWND hwnd, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) ReleaseDC(hwnd, ps->hdc);
    CaretEndPaint(hwnd);
    return true;
}

// ---- cursors ----

HCURSOR LoadCursor(HINSTANCE, uintptr_t id) {
    return reinterpret_cast<HCURSOR>(id);
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = g_ui.cursor;
    g_ui.cursor = cursor;
    if (old != cursor) win::GetDisplayBackend().CursorChanged();
    return old;
}

HCURSOR GetCursor() {
    return g_ui.waitCount > 0 ? LoadCursor(nullptr, IDC_WAIT) : g_ui.cursor;
}

bool MessageBeep(UINT type) {
    g_ui.beeps.push_back(type);
    return true;
}

namespace win {

void SetMainWindow(HWND hwnd) {
    g_ui.mainWindow = hwnd;
}
HWND GetMainWindow() {
    return IsWindow(g_ui.mainWindow) ? g_ui.mainWindow : nullptr;
}
void BeginWaitCursor() {
    if (++g_ui.waitCount == 1) GetDisplayBackend().CursorChanged();
}
void EndWaitCursor() {
    if (g_ui.waitCount > 0 && --g_ui.waitCount == 0) GetDisplayBackend().CursorChanged();
}
bool IsWaitCursor() {
    return g_ui.waitCount > 0;
}
void SetScreenSize(int width, int height) {
    sys::SetScreenSize(width, height);
}
std::vector<UINT> BeepLog() {
    return g_ui.beeps;
}

size_t WindowCount() {
    std::lock_guard<std::mutex> lock(T().m);
    return T().windows.size();
}

void ResetForTests() {
    for (HWND h : GetTopLevelWindows()) DestroyWindow(h);
    {
        std::lock_guard<std::mutex> lock(T().m);
        T().windows.clear();
        T().topLevel.clear();
        std::erase_if(T().classes, [](const ClassEntry& c) { return !c.system; });
    }
    ResetQueues();
    ResetInput();
    ResetDialogs();
    ResetMessageBoxes();
    ResetMenus();
    ResetImageLists();
    ResetTray();
    ResetClipboard();
    DestroyCaret();
    ResetKeyState();
    DropAllSurfaces();
    theme::ResetForTests();
    g_ui = UiState{};
    sys::SetScreenSize(240, 320);
}

}  // namespace win
