// The framework's frame window: a top-level window object around one view,
// with control bars docked to its sides (a command-bar strip, a status bar),
// the layout that gives the view what the bars leave, command routing along
// view, document, frame and application, and the idle-time update of the
// bars' buttons from the same chain.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/win/command.h"
#include "platform/win/framework.h"

namespace win {

class Document;
class View;

// The side of the frame a control bar is docked to.
constexpr DWORD CBRS_ALIGN_LEFT = 0x1000;
constexpr DWORD CBRS_ALIGN_TOP = 0x2000;
constexpr DWORD CBRS_ALIGN_RIGHT = 0x4000;
constexpr DWORD CBRS_ALIGN_BOTTOM = 0x8000;
constexpr DWORD CBRS_ALIGN_ANY = 0xF000;

// Sent to the frame when the application's queue has run empty.
constexpr UINT WM_IDLEUPDATECMDUI = 0x0363;

// The id of the frame's view window.
constexpr UINT kFirstPaneId = 0xE900;

class FrameWnd : public Wnd, public CCmdTarget {
public:
    FrameWnd();
    ~FrameWnd() override;

    // Creates the frame window with the first line of string `resourceId`
    // as its title. False when creation failed (OnCreate returned -1).
    bool LoadFrame(UINT resourceId, DWORD style, HWND parent = nullptr);
    // The creation data and the class to create the window with (a class
    // of the framework's own unless changed).
    virtual bool PreCreateWindow(CREATESTRUCT& cs, WString& className);
    // WM_CREATE: -1 fails the creation. The default makes the view
    // (OnCreateClient); a frame's own creation steps follow it.
    virtual int OnCreate(CREATESTRUCT* cs);
    // Makes the view from the factory given before creation; true without
    // one.
    virtual bool OnCreateClient(CREATESTRUCT* cs);
    void SetViewFactory(std::function<std::unique_ptr<View>()> factory) { viewFactory_ = std::move(factory); }

    // Control bars, placed in the order they were added: each takes the
    // strip of its side of what the bars before it left. A hidden bar takes
    // nothing. Its thickness is its window's height (top, bottom) or width
    // (left, right).
    void AddControlBar(HWND bar, DWORD alignment);
    void RemoveControlBar(HWND bar);
    bool SetControlBarAlignment(HWND bar, DWORD alignment);
    // 0 for a window that is not one of the frame's bars.
    DWORD GetControlBarAlignment(HWND bar) const;
    // Places the bars and gives the view the rest.
    virtual void RecalcLayout();
    // What the bars leave of the client area.
    RECT GetViewRect() const { return viewRect_; }

    View* GetActiveView() const { return view_; }
    void SetActiveView(View* view) { view_ = view; }
    Document* GetActiveDocument() const { return document_; }
    void SetActiveDocument(Document* document) { document_ = document; }
    // The frame keeps the view object and deletes it after its window.
    void AdoptView(std::unique_ptr<View> view);
    // After the document was made or opened: the view's initial update, the
    // title, and the frame shown when asked.
    virtual void InitialUpdateFrame(Document* document, bool makeVisible);
    // "document title - application title"; the application title alone
    // without a document.
    virtual void OnUpdateFrameTitle();

    // A frame made by a document template deletes itself after its window.
    void SetAutoDelete(bool autoDelete) { autoDelete_ = autoDelete; }

    // The whole chain: the view, the document, this frame, the application
    // (each that is a command target).
    std::vector<CCmdTarget*> GetCommandChain();
    bool RouteCommand(UINT id, int code = 0);
    CCmdUI QueryCommand(UINT id);
    // Every button of every toolbar inside the frame (menu buttons of a
    // command bar excepted) takes the enabled and checked state its command
    // reports; unchanged buttons are left alone.
    virtual void OnIdleUpdateCmdUI();
    // A pop-up menu about to open: each command item takes the check mark
    // and the enabled state its handler gives (items no handler answers
    // keep theirs).
    void OnInitMenuPopup(HMENU menu);

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    void PostNcDestroy() override;

protected:
    // WM_CLOSE: the default destroys the frame.
    virtual void OnClose();

private:
    struct Bar {
        HWND hwnd;
        DWORD alignment;
    };
    std::vector<Bar> bars_;
    RECT viewRect_{};
    View* view_ = nullptr;
    std::unique_ptr<View> ownedView_;
    std::function<std::unique_ptr<View>()> viewFactory_;
    Document* document_ = nullptr;
    bool autoDelete_ = false;
    bool inLayout_ = false;
};

// The class every framework frame is created with unless it names another.
const WChar* FrameWindowClassName();

}  // namespace win
