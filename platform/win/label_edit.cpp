#include "platform/win/label_edit.h"

#include <map>

#include "platform/win/controls.h"
#include "platform/win/window_impl.h"

namespace win::detail {

namespace {

struct LabelEdit {
    HWND edit = nullptr;
    WNDPROC base = nullptr;  // the edit control's own procedure
    LabelEditEnd end;
    bool ending = false;
    bool ended = false;  // the end notification has been sent
};

// By control. Windows live on one thread, as the controls' own state does.
std::map<HWND, LabelEdit>& Edits() {
    static std::map<HWND, LabelEdit> edits;
    return edits;
}

LabelEdit* EditOf(HWND control) {
    auto it = Edits().find(control);
    if (it == Edits().end()) return nullptr;
    // A record whose edit went without its control being told (windows
    // dropped wholesale) is stale: its handles may name new windows.
    if (!it->second.ending && (!IsWindow(it->second.edit) || GetParent(it->second.edit) != control)) {
        Edits().erase(it);
        return nullptr;
    }
    return &it->second;
}

// The edit gets its own procedure back and the record goes.
void Drop(HWND control) {
    LabelEdit* le = EditOf(control);
    if (!le) return;
    if (IsWindow(le->edit) &&
        GetWindowLongPtr(le->edit, GWLP_WNDPROC) != reinterpret_cast<intptr_t>(le->base))
        SetWindowLongPtr(le->edit, GWLP_WNDPROC, reinterpret_cast<intptr_t>(le->base));
    Edits().erase(control);
}

LRESULT LabelEditProc(HWND e, UINT msg, WPARAM wp, LPARAM lp) {
    HWND control = GetParent(e);
    LabelEdit* le = EditOf(control);
    if (!le || le->edit != e) return DefWindowProc(e, msg, wp, lp);
    WNDPROC base = le->base;
    if (!le->ending) {
        if (msg == WM_KEYDOWN && (wp == VK_RETURN || wp == VK_ESCAPE)) {
            EndLabelEdit(control, wp == VK_ESCAPE);
            return 0;
        }
        if (msg == WM_KILLFOCUS) {
            LRESULT r = CallWindowProc(base, e, msg, wp, lp);
            EndLabelEdit(control, false);
            return r;
        }
    }
    if (msg == WM_GETDLGCODE) return DLGC_WANTALLKEYS | DLGC_HASSETSEL | DLGC_WANTCHARS;
    return CallWindowProc(base, e, msg, wp, lp);
}

}  // namespace

HWND BeginLabelEdit(HWND control, const WString& text, const RECT& r, DWORD style, int id,
                    LabelEditEnd end) {
    if (LabelEdit* le = EditOf(control)) {
        if (le->ending) return nullptr;
        EndLabelEdit(control, false);
        if (EditOf(control)) return nullptr;
    }
    HWND e = CreateWindowEx(0, u"EDIT", text.c_str(), WS_CHILD | WS_VISIBLE | WS_BORDER | style,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, control,
                            reinterpret_cast<HMENU>(static_cast<intptr_t>(id)), nullptr, nullptr);
    if (!e) return nullptr;
    Window* cw = Find(control);
    if (cw && cw->font) SendMessage(e, WM_SETFONT, reinterpret_cast<WPARAM>(cw->font), FALSE);
    LabelEdit& le = Edits()[control];
    le.edit = e;
    le.end = std::move(end);
    le.base = reinterpret_cast<WNDPROC>(
        SetWindowLongPtr(e, GWLP_WNDPROC, reinterpret_cast<intptr_t>(&LabelEditProc)));
    SetFocus(e);
    SendMessage(e, EM_SETSEL, 0, -1);
    return e;
}

void EndLabelEdit(HWND control, bool cancel) {
    LabelEdit* le = EditOf(control);
    if (!le || le->ending) return;
    le->ending = true;
    const HWND e = le->edit;
    const LabelEditEnd end = le->end;
    const WString text = GetWindowTextString(e);
    if (end) end(control, cancel ? nullptr : &text);
    // The owner may have destroyed the control, and with it the record.
    le = EditOf(control);
    if (!le || le->edit != e) return;
    le->ended = true;
    // The focus goes back to the control unless it left the edit (the user
    // moved it, or the owner did from its notification).
    if (GetFocus() == e && IsWindow(control)) SetFocus(control);
    if (IsWindow(e)) DestroyWindow(e);
    Drop(control);
    if (IsWindow(control)) InvalidateRect(control, nullptr, false);
}

HWND LabelEditOf(HWND control) {
    const LabelEdit* le = EditOf(control);
    return le && !le->ended ? le->edit : nullptr;
}

void ForgetLabelEdit(HWND control) {
    Drop(control);
}

}  // namespace win::detail
