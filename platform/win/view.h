// The framework's view: a child window object that is also a command target.
// Creation runs PreCreateWindow (which may add class styles such as
// CS_DBLCLKS), WM_CREATE reaches OnCreate, WM_PAINT reaches OnDraw between
// BeginPaint and EndPaint, and WM_COMMAND is routed through OnCmdMsg.
#pragma once

#include "platform/win/command.h"
#include "platform/win/framework.h"

namespace win {

class View : public Wnd, public CCmdTarget {
public:
    // Creates the view as a visible child of `parent` filling `rect`.
    bool Create(HWND parent, const RECT& rect, UINT id);

    // The window's creation data and the class style it is registered with.
    virtual bool PreCreateWindow(CREATESTRUCT& cs, UINT& classStyle);
    // -1 fails the creation.
    virtual int OnCreate(CREATESTRUCT* cs);
    virtual void OnInitialUpdate() {}
    virtual void OnDraw(HDC dc) = 0;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Carries the command out through OnCmdMsg; true when handled.
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // The update query of a command for menus and bars.
    CCmdUI QueryCommand(UINT id);

protected:
    // The paint's update rectangle while OnDraw runs.
    RECT m_paintRect{};
};

}  // namespace win
