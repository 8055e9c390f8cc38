#include "platform/win/command.h"

bool RouteCommand(const std::vector<CCmdTarget*>& chain, UINT id, int code) {
    for (CCmdTarget* t : chain)
        if (t && t->OnCmdMsg(id, code, nullptr)) return true;
    return false;
}

bool RouteCommand(std::initializer_list<CCmdTarget*> chain, UINT id, int code) {
    return RouteCommand(std::vector<CCmdTarget*>(chain), id, code);
}

CCmdUI QueryCommandUI(const std::vector<CCmdTarget*>& chain, UINT id, bool disableIfNoHandler) {
    CCmdUI ui(id);
    for (CCmdTarget* t : chain) {
        // A target that sets a state, or that says it carries the command
        // out, decides; the command is then enabled unless it said otherwise.
        if (t && (t->OnCmdMsg(id, 0, &ui) || ui.m_bHandled)) return ui;
    }
    if (disableIfNoHandler) ui.m_bEnabled = false;
    return ui;
}

LRESULT SendNotify(HWND from, UINT code, NMHDR* hdr) {
    HWND parent = GetParent(from);
    if (!parent) return 0;
    NMHDR local;
    NMHDR* h = hdr ? hdr : &local;
    h->hwndFrom = from;
    h->idFrom = static_cast<uintptr_t>(GetDlgCtrlID(from));
    h->code = code;
    return SendMessage(parent, WM_NOTIFY, h->idFrom, reinterpret_cast<LPARAM>(h));
}
