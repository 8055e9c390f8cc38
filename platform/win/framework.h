// The application framework's window and dialog objects: a C++ object bound
// to a window handle, receiving the window's messages through a virtual
// window procedure, and the dialog object built on it (templates from
// resources or memory, a pre-creation hook, modal and modeless use, data
// exchange with validation, OK and Cancel).
//
// Lifetime: the object must outlive its window, or destroy it first; the
// destructor destroys a window that is still attached. After WM_NCDESTROY the
// object is detached and PostNcDestroy runs (where a modeless dialog that
// owns itself may delete itself).
#pragma once

#include <memory>
#include <vector>

#include "platform/win/ddx.h"
#include "platform/win/dialog.h"
#include "platform/win/window.h"

namespace win {

class Wnd {
public:
    Wnd() = default;
    Wnd(const Wnd&) = delete;
    Wnd& operator=(const Wnd&) = delete;
    virtual ~Wnd();

    HWND GetSafeHwnd() const { return hwnd_; }
    // The object attached to a window, or nullptr.
    static Wnd* FromHandlePermanent(HWND hwnd);

    // Binds the object to an existing window; its messages then reach
    // WindowProc, and Default() passes them to the previous procedure.
    bool Attach(HWND hwnd);
    HWND Detach();
    // Creates a window of a registered class bound to this object from its
    // first message on.
    bool CreateEx(DWORD exStyle, const WChar* className, const WChar* text, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    bool DestroyWindow();

    // Every message of the window. The default hands WM_COMMAND to
    // OnCommand and WM_NOTIFY to OnNotify and the rest to Default().
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // WM_COMMAND: true when handled.
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // WM_NOTIFY: true when handled, with the result in *result.
    virtual bool OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result);
    // After the window is gone and the object detached.
    virtual void PostNcDestroy() {}
    // A message for this window or one of its children before it is
    // dispatched: true when it was dealt with (the loop then skips it).
    virtual bool PreTranslateMessage(MSG* msg) {
        (void)msg;
        return false;
    }

protected:
    // The previous procedure with the message being handled now.
    LRESULT Default();

private:
    friend LRESULT FrameworkThunk(HWND, UINT, WPARAM, LPARAM);
    HWND hwnd_ = nullptr;
    WNDPROC super_ = nullptr;
    struct Current {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    } current_{};
};

// The thunk every attached window's procedure points to.
LRESULT FrameworkThunk(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

class Dialog : public Wnd {
public:
    // A dialog from the template with this id or name in the resource module
    // (nullptr module: the current one).
    explicit Dialog(UINT templateId, HWND parent = nullptr, HINSTANCE module = nullptr);
    explicit Dialog(const WChar* templateName, HWND parent = nullptr, HINSTANCE module = nullptr);
    // A dialog from template bytes built in memory.
    Dialog(std::vector<uint8_t> templateBytes, HWND parent);

    // Modal: the result of EndDialog, -1 when the dialog could not be made.
    virtual intptr_t DoModal();
    // Modeless.
    bool Create();

    UINT GetTemplateId() const { return templateId_; }
    HWND GetParentHwnd() const { return parent_; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(GetSafeHwnd(), id); }

    // Moves values between the controls and the variables; false when a
    // check failed (prompted, focus on the control).
    bool UpdateData(bool saveAndValidate = true);
    void EndDialog(intptr_t result);

    // Changes the template before the window is made (styles, ex-styles).
    virtual void PreCreateDialog(DialogTemplate& tmpl) { (void)tmpl; }
    // WM_INITDIALOG: the default loads the variables into the controls;
    // true gives the focus to the first tab stop.
    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* dx) { (void)dx; }
    // IDOK: save and validate, then end with IDOK. IDCANCEL: end with IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(WPARAM wParam, LPARAM lParam) override;
    // The dialog keyboard interface (Enter, Escape, Tab, arrows) for a
    // modeless dialog in the application's loop.
    bool PreTranslateMessage(MSG* msg) override;

private:
    std::optional<DialogTemplate> LoadTemplate();
    UINT templateId_ = 0;
    WString templateName_;
    std::vector<uint8_t> templateBytes_;
    HWND parent_ = nullptr;
    HINSTANCE module_ = nullptr;
    bool modal_ = false;
};

class App;
class Document;
class FrameWnd;
class SingleDocTemplate;
bool PumpMessage(int* quitCode);

// Where opened documents are remembered (the recent-file list).
class RecentFileList {
public:
    virtual ~RecentFileList() = default;
    virtual void Add(WStringView path) = 0;
};

// What the command line asks the framework to do at start-up.
enum class ShellCommand { FileNew, FileOpen, FileNothing };

// The application object: one per program. Run is the main message loop;
// every message of the user-interface thread, in nested loops too (modal
// dialogs, the framework's pump), passes PreTranslateMessage first.
class App {
public:
    App();
    virtual ~App();
    // The application object, or nullptr before one exists.
    static App* Current();

    virtual bool InitInstance() { return true; }
    // The program's exit code.
    virtual int ExitInstance() { return exitCode_; }
    // The default offers the message to the attached window objects from
    // the target window up to its top-level window.
    virtual bool PreTranslateMessage(MSG* msg);
    // Runs the loop until WM_QUIT, then ExitInstance. Whenever the queue
    // runs empty, OnIdle is called with a growing count until it returns
    // false.
    int Run();
    // The default updates the main frame's bar buttons (count 0) and
    // returns false.
    virtual bool OnIdle(long count);

    // The single-document template; the application keeps it to the end.
    void AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate);
    SingleDocTemplate* GetDocTemplate() const { return docTemplate_.get(); }
    // Opens a document through the template; null when it could not be
    // opened (the frame and view the template made stay).
    virtual Document* OpenDocumentFile(const WString& path);
    // New: an empty document; open: the named file; nothing: no frame.
    // False when the frame could not be made or the file not opened.
    bool ProcessShellCommand(ShellCommand command, const WString& fileName);
    // The main frame (the template's frame), or null.
    FrameWnd* GetMainFrame() const;

    // The list opened documents are added to (not owned; null: none).
    void SetRecentFileList(RecentFileList* list) { recentFiles_ = list; }
    RecentFileList* GetRecentFileList() const { return recentFiles_; }
    void AddToRecentFileList(WStringView path);

protected:
    int exitCode_ = 0;
    std::unique_ptr<SingleDocTemplate> docTemplate_;
    RecentFileList* recentFiles_ = nullptr;

private:
    friend bool PumpMessage(int* quitCode);
};

// A push button of a dialog that shows pictures instead of its text: the
// bitmaps of the up, down, focused and disabled states from the program's
// resources. The button keeps its id and sends its clicks as before; the
// object owns the bitmaps.
class BitmapButton {
public:
    static constexpr int kUp = 0, kDown = 1, kFocus = 2, kDisabled = 3;

    BitmapButton() = default;
    ~BitmapButton();
    BitmapButton(const BitmapButton&) = delete;
    BitmapButton& operator=(const BitmapButton&) = delete;

    // Binds the dialog's button and loads the bitmaps (0: none for that
    // state); false when the button or the up bitmap is missing.
    bool AutoLoad(HWND dialog, int id, UINT up, UINT down, UINT focus, UINT disabled);
    // Shows the picture of the button's state: after it was enabled,
    // disabled, pressed or focused.
    void Refresh();
    HWND GetSafeHwnd() const { return button_; }
    HBITMAP GetBitmap(int state) const { return state >= 0 && state < 4 ? bitmaps_[state] : nullptr; }

private:
    HWND button_ = nullptr;
    HBITMAP bitmaps_[4] = {};
};

// Takes one message (waiting for it), passes it through the application's
// filter and dispatches it. False for WM_QUIT, which is then consumed: a
// nested loop that ends on it posts it again for the outer loop. *quitCode
// gets the exit code of the quit request.
bool PumpMessage(int* quitCode = nullptr);
// Offers a message to the application's filter (or, without an
// application, to the window objects); true when it was dealt with.
bool PreTranslate(MSG* msg);

}  // namespace win
