// Command routing: WM_COMMAND ids travel along a chain of command targets
// (view, document, frame, application) until one handles them, and menus and
// command bars ask the same chain whether a command is enabled or checked.
#pragma once

#include <initializer_list>
#include <vector>

#include "platform/win/window.h"

// The state a target reports for a command when asked (the update query).
class CCmdUI {
public:
    explicit CCmdUI(UINT id) : m_nID(id) {}
    UINT m_nID;
    bool m_bEnabled = true;
    int m_nCheck = 0;  // 0 unchecked, 1 checked, 2 indeterminate
    bool m_bHandled = false;
    bool m_bTextSet = false;
    WString m_text;
    void Enable(bool on = true) {
        m_bEnabled = on;
        m_bHandled = true;
    }
    void SetCheck(int check = 1) {
        m_nCheck = check;
        m_bHandled = true;
    }
    void SetText(const WString& text) {
        m_text = text;
        m_bTextSet = true;
        m_bHandled = true;
    }
};

class CCmdTarget {
public:
    virtual ~CCmdTarget() = default;
    // With ui == nullptr: carry out the command (code is the notification
    // code); with ui: fill in its state, or return true to say it carries
    // the command out (enabled). True when this target handled it.
    virtual bool OnCmdMsg(UINT id, int code, CCmdUI* ui) {
        (void)id, (void)code, (void)ui;
        return false;
    }
};

// Offers the command to each target in turn; true when one handled it.
bool RouteCommand(std::initializer_list<CCmdTarget*> chain, UINT id, int code = 0);
bool RouteCommand(const std::vector<CCmdTarget*>& chain, UINT id, int code = 0);
// The command's state along the chain. A command no target knows is disabled
// when disableIfNoHandler (menus and bars of the frame ask this way).
CCmdUI QueryCommandUI(const std::vector<CCmdTarget*>& chain, UINT id,
                      bool disableIfNoHandler = true);

// Sends WM_NOTIFY to the parent of `from` with a header of the control's id
// and the code; hdr (optional) is a larger record starting with NMHDR.
LRESULT SendNotify(HWND from, UINT code, NMHDR* hdr = nullptr);
