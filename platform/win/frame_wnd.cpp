#include "platform/win/frame_wnd.h"

#include <algorithm>

#include "platform/res/resource.h"
#include "platform/win/commctrl.h"
#include "platform/win/document.h"
#include "platform/win/menu.h"
#include "platform/win/view.h"

namespace win {

namespace {

LRESULT FrameClassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(hwnd, msg, wParam, lParam);
}

WString FirstLine(const WString& text) {
    return text.substr(0, text.find(u'\n'));
}

// Every toolbar below `parent`, depth first.
void CollectToolbars(HWND parent, std::vector<HWND>& out) {
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        if (GetClassNameText(c) == TOOLBARCLASSNAME) out.push_back(c);
        CollectToolbars(c, out);
    }
}

}  // namespace

const WChar* FrameWindowClassName() {
    static const WChar* const name = u"ZnFrame";
    WNDCLASS existing;
    if (!GetClassInfo(nullptr, name, &existing)) {
        WNDCLASS wc;
        wc.lpfnWndProc = FrameClassProc;
        wc.lpszClassName = name;
        RegisterClass(wc);
    }
    return name;
}

FrameWnd::FrameWnd() = default;

FrameWnd::~FrameWnd() {
    if (GetSafeHwnd()) {
        autoDelete_ = false;
        DestroyWindow();
    }
}

bool FrameWnd::LoadFrame(UINT resourceId, DWORD style, HWND parent) {
    if (GetSafeHwnd()) return false;
    WString title = FirstLine(res::LoadStringText(nullptr, resourceId));
    CREATESTRUCT cs;
    cs.style = style;
    cs.hwndParent = parent;
    cs.lpszName = title.c_str();
    cs.cx = GetSystemMetrics(SM_CXSCREEN);
    cs.cy = GetSystemMetrics(SM_CYSCREEN);
    WString className = FrameWindowClassName();
    if (!PreCreateWindow(cs, className)) return false;
    RECT r{cs.x, cs.y, cs.x + cs.cx, cs.y + cs.cy};
    return CreateEx(cs.dwExStyle, className.c_str(), cs.lpszName ? cs.lpszName : u"", cs.style, r,
                    cs.hwndParent, 0);
}

bool FrameWnd::PreCreateWindow(CREATESTRUCT&, WString&) {
    return true;
}

int FrameWnd::OnCreate(CREATESTRUCT* cs) {
    return OnCreateClient(cs) ? 0 : -1;
}

bool FrameWnd::OnCreateClient(CREATESTRUCT*) {
    if (!viewFactory_) return true;
    std::unique_ptr<View> view = viewFactory_();
    if (!view) return false;
    RECT client;
    GetClientRect(GetSafeHwnd(), &client);
    if (!view->Create(GetSafeHwnd(), client, kFirstPaneId)) return false;
    if (document_)
        if (auto* dv = dynamic_cast<DocumentView*>(view.get())) document_->AddView(dv);
    AdoptView(std::move(view));
    return true;
}

void FrameWnd::AddControlBar(HWND bar, DWORD alignment) {
    if (!bar) return;
    RemoveControlBar(bar);
    // The frame places a strip; it only reports its height.
    if (GetClassNameText(bar) == REBARCLASSNAME)
        SetWindowLongPtr(bar, GWL_STYLE, GetWindowLongPtr(bar, GWL_STYLE) | CCS_NORESIZE);
    bars_.push_back({bar, alignment & CBRS_ALIGN_ANY});
    RecalcLayout();
}

void FrameWnd::RemoveControlBar(HWND bar) {
    bars_.erase(std::remove_if(bars_.begin(), bars_.end(), [&](const Bar& b) { return b.hwnd == bar; }),
                bars_.end());
}

bool FrameWnd::SetControlBarAlignment(HWND bar, DWORD alignment) {
    for (Bar& b : bars_)
        if (b.hwnd == bar) {
            b.alignment = alignment & CBRS_ALIGN_ANY;
            RecalcLayout();
            return true;
        }
    return false;
}

DWORD FrameWnd::GetControlBarAlignment(HWND bar) const {
    for (const Bar& b : bars_)
        if (b.hwnd == bar) return b.alignment;
    return 0;
}

void FrameWnd::RecalcLayout() {
    HWND self = GetSafeHwnd();
    if (!self || inLayout_) return;
    inLayout_ = true;
    RECT left;
    GetClientRect(self, &left);
    for (const Bar& b : bars_) {
        if (!IsWindow(b.hwnd) || !(GetWindowLongPtr(b.hwnd, GWL_STYLE) & WS_VISIBLE)) continue;
        RECT wr;
        GetWindowRect(b.hwnd, &wr);
        // A strip knows the thickness of its rows; other bars keep theirs.
        if (GetClassNameText(b.hwnd) == REBARCLASSNAME) {
            int thick = static_cast<int>(SendMessage(b.hwnd, RB_GETBARHEIGHT, 0, 0));
            if (b.alignment == CBRS_ALIGN_LEFT || b.alignment == CBRS_ALIGN_RIGHT)
                wr.right = wr.left + thick;
            else
                wr.bottom = wr.top + thick;
        }
        int width = left.right - left.left, height = left.bottom - left.top;
        switch (b.alignment) {
            case CBRS_ALIGN_BOTTOM: {
                int t = std::min<int>(wr.bottom - wr.top, height);
                MoveWindow(b.hwnd, left.left, left.bottom - t, width, t, true);
                left.bottom -= t;
                break;
            }
            case CBRS_ALIGN_LEFT: {
                int t = std::min<int>(wr.right - wr.left, width);
                MoveWindow(b.hwnd, left.left, left.top, t, height, true);
                left.left += t;
                break;
            }
            case CBRS_ALIGN_RIGHT: {
                int t = std::min<int>(wr.right - wr.left, width);
                MoveWindow(b.hwnd, left.right - t, left.top, t, height, true);
                left.right -= t;
                break;
            }
            default: {
                int t = std::min<int>(wr.bottom - wr.top, height);
                MoveWindow(b.hwnd, left.left, left.top, width, t, true);
                left.top += t;
                break;
            }
        }
    }
    viewRect_ = left;
    if (view_ && view_->GetSafeHwnd())
        SetWindowPos(view_->GetSafeHwnd(), nullptr, left.left, left.top, left.right - left.left,
                     left.bottom - left.top, SWP_NOZORDER);
    inLayout_ = false;
}

void FrameWnd::AdoptView(std::unique_ptr<View> view) {
    view_ = view.get();
    ownedView_ = std::move(view);
}

void FrameWnd::InitialUpdateFrame(Document* document, bool makeVisible) {
    document_ = document;
    RecalcLayout();
    if (view_) view_->OnInitialUpdate();
    OnUpdateFrameTitle();
    if (makeVisible) {
        ShowWindow(GetSafeHwnd(), SW_SHOW);
        UpdateWindow(GetSafeHwnd());
    }
    if (view_ && view_->GetSafeHwnd()) SetFocus(view_->GetSafeHwnd());
}

void FrameWnd::OnUpdateFrameTitle() {
    WString app = FirstLine(res::LoadStringText(nullptr, 128));
    if (app.empty()) app = GetWindowTextString(GetSafeHwnd());
    WString title = document_ && !document_->GetTitle().empty() ? document_->GetTitle() + u" - " + app : app;
    SetWindowText(GetSafeHwnd(), title.c_str());
}

std::vector<CCmdTarget*> FrameWnd::GetCommandChain() {
    std::vector<CCmdTarget*> chain;
    if (view_) chain.push_back(view_);
    if (auto* d = dynamic_cast<CCmdTarget*>(document_)) chain.push_back(d);
    chain.push_back(this);
    if (auto* a = dynamic_cast<CCmdTarget*>(App::Current())) chain.push_back(a);
    return chain;
}

bool FrameWnd::RouteCommand(UINT id, int code) {
    return ::RouteCommand(GetCommandChain(), id, code);
}

CCmdUI FrameWnd::QueryCommand(UINT id) {
    return QueryCommandUI(GetCommandChain(), id, true);
}

void FrameWnd::OnIdleUpdateCmdUI() {
    HWND self = GetSafeHwnd();
    if (!self) return;
    std::vector<HWND> toolbars;
    CollectToolbars(self, toolbars);
    for (HWND tb : toolbars) {
        int count = static_cast<int>(SendMessage(tb, TB_BUTTONCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            TBBUTTON b;
            if (!SendMessage(tb, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b)))
                continue;
            if ((b.fsStyle & TBSTYLE_SEP) || b.idCommand == 0 || CommandBar_GetMenu(tb, i)) continue;
            CCmdUI ui = QueryCommand(static_cast<UINT>(b.idCommand));
            BYTE state = b.fsState & ~(TBSTATE_ENABLED | TBSTATE_CHECKED | TBSTATE_INDETERMINATE);
            if (ui.m_bEnabled) state |= TBSTATE_ENABLED;
            if (ui.m_nCheck == 1) state |= TBSTATE_CHECKED;
            if (ui.m_nCheck == 2) state |= TBSTATE_INDETERMINATE;
            if (state != b.fsState)
                SendMessage(tb, TB_SETSTATE, static_cast<WPARAM>(b.idCommand), MAKELPARAM(state, 0));
        }
    }
}

void FrameWnd::OnInitMenuPopup(HMENU menu) {
    std::vector<CCmdTarget*> chain = GetCommandChain();
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        if (GetSubMenu(menu, i)) continue;
        UINT id = GetMenuItemID(menu, i);
        if (id == 0 || id == static_cast<UINT>(-1)) continue;
        CCmdUI ui = QueryCommandUI(chain, id, false);
        if (!ui.m_bHandled) continue;
        EnableMenuItem(menu, static_cast<UINT>(i),
                       MF_BYPOSITION | (ui.m_bEnabled ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(menu, static_cast<UINT>(i),
                      MF_BYPOSITION | (ui.m_nCheck ? MF_CHECKED : MF_UNCHECKED));
    }
}

LRESULT FrameWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_INITMENUPOPUP:
            OnInitMenuPopup(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_CREATE:
            return OnCreate(reinterpret_cast<CREATESTRUCT*>(lParam)) == -1 ? -1 : 0;
        case WM_SIZE:
            RecalcLayout();
            return 0;
        case WM_SETFOCUS:
            if (view_ && view_->GetSafeHwnd()) {
                SetFocus(view_->GetSafeHwnd());
                return 0;
            }
            break;
        case WM_NOTIFY:
            // A strip that changed its height makes room again.
            if (lParam && reinterpret_cast<NMHDR*>(lParam)->code == RBN_HEIGHTCHANGE) {
                RecalcLayout();
                return 0;
            }
            break;
        case WM_IDLEUPDATECMDUI:
            OnIdleUpdateCmdUI();
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_NCDESTROY:
            // The main window gone ends the program's loop.
            if (GetMainWindow() == GetSafeHwnd()) {
                SetMainWindow(nullptr);
                PostQuitMessage(0);
            }
            break;
        default:
            break;
    }
    return Wnd::WindowProc(msg, wParam, lParam);
}

bool FrameWnd::OnCommand(WPARAM wParam, LPARAM) {
    return RouteCommand(LOWORD(wParam), HIWORD(wParam));
}

void FrameWnd::OnClose() {
    // A modified document is offered for saving; cancelling keeps the frame.
    if (document_ && !document_->SaveModified()) return;
    DestroyWindow();
}

void FrameWnd::PostNcDestroy() {
    if (ownedView_) {
        if (document_)
            if (auto* dv = dynamic_cast<DocumentView*>(ownedView_.get())) document_->RemoveView(dv);
        ownedView_.reset();
    }
    view_ = nullptr;
    bars_.clear();
    if (autoDelete_) delete this;
}

}  // namespace win
