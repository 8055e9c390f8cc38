#include "platform/win/framework.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "platform/res/resource.h"
#include "platform/win/controls.h"
#include "platform/win/doc_template.h"
#include "platform/win/window_impl.h"

namespace win {

namespace {

std::mutex g_mapLock;
std::unordered_map<HWND, Wnd*>& Map() {
    static auto* m = new std::unordered_map<HWND, Wnd*>;
    return *m;
}

// The object waiting for the window this thread creates next.
thread_local Wnd* t_pending = nullptr;

void AttachPending(HWND hwnd) {
    Wnd* w = std::exchange(t_pending, nullptr);
    if (w) w->Attach(hwnd);
}

}  // namespace

Wnd::~Wnd() {
    if (hwnd_ && IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    if (hwnd_) Detach();
}

Wnd* Wnd::FromHandlePermanent(HWND hwnd) {
    std::lock_guard<std::mutex> lock(g_mapLock);
    auto it = Map().find(hwnd);
    return it == Map().end() ? nullptr : it->second;
}

bool Wnd::Attach(HWND hwnd) {
    if (hwnd_ || !IsWindow(hwnd)) return false;
    {
        std::lock_guard<std::mutex> lock(g_mapLock);
        if (!Map().emplace(hwnd, this).second) return false;
    }
    hwnd_ = hwnd;
    super_ = reinterpret_cast<WNDPROC>(GetWindowLongPtr(hwnd, GWL_WNDPROC));
    SetWindowLongPtr(hwnd, GWL_WNDPROC, reinterpret_cast<intptr_t>(&FrameworkThunk));
    return true;
}

HWND Wnd::Detach() {
    HWND h = hwnd_;
    if (!h) return nullptr;
    if (IsWindow(h) &&
        GetWindowLongPtr(h, GWL_WNDPROC) == reinterpret_cast<intptr_t>(&FrameworkThunk))
        SetWindowLongPtr(h, GWL_WNDPROC, reinterpret_cast<intptr_t>(super_));
    {
        std::lock_guard<std::mutex> lock(g_mapLock);
        Map().erase(h);
    }
    hwnd_ = nullptr;
    super_ = nullptr;
    return h;
}

bool Wnd::CreateEx(DWORD exStyle, const WChar* className, const WChar* text, DWORD style,
                   const RECT& rect, HWND parent, UINT id) {
    if (hwnd_) return false;
    t_pending = this;
    detail::SetCreationHook(&AttachPending);
    HWND h = CreateWindowEx(exStyle, className, text, style, rect.left, rect.top,
                            rect.right - rect.left, rect.bottom - rect.top, parent,
                            reinterpret_cast<HMENU>(static_cast<uintptr_t>(id)), nullptr, nullptr);
    t_pending = nullptr;
    return h != nullptr && hwnd_ == h;
}

bool Wnd::DestroyWindow() {
    return hwnd_ && ::DestroyWindow(hwnd_);
}

LRESULT Wnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND && OnCommand(wParam, lParam)) return 0;
    if (msg == WM_NOTIFY) {
        LRESULT r = 0;
        if (OnNotify(wParam, lParam, &r)) return r;
    }
    return Default();
}

bool Wnd::OnCommand(WPARAM, LPARAM) {
    return false;
}
bool Wnd::OnNotify(WPARAM, LPARAM, LRESULT*) {
    return false;
}

LRESULT Wnd::Default() {
    return CallWindowProc(super_, hwnd_, current_.msg, current_.wParam, current_.lParam);
}

LRESULT FrameworkThunk(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Wnd* w = Wnd::FromHandlePermanent(hwnd);
    if (!w) return DefWindowProc(hwnd, msg, wParam, lParam);
    Wnd::Current saved = w->current_;
    w->current_ = {msg, wParam, lParam};
    LRESULT r = w->WindowProc(msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
        // The window is gone: detach, then let the object finish (it may
        // delete itself there).
        w->Detach();
        w->PostNcDestroy();
        return r;
    }
    // A window destroyed inside its own handler may have deleted its object.
    if (Wnd::FromHandlePermanent(hwnd) == w) w->current_ = saved;
    return r;
}

// ---------------------------------------------------------------- Dialog

Dialog::Dialog(UINT templateId, HWND parent, HINSTANCE module)
    : templateId_(templateId), parent_(parent), module_(module) {}

Dialog::Dialog(const WChar* templateName, HWND parent, HINSTANCE module)
    : parent_(parent), module_(module) {
    res::ResName n = res::ResName::FromPointer(templateName);
    if (n.IsOrdinal())
        templateId_ = n.id;
    else
        templateName_ = n.name;
}

Dialog::Dialog(std::vector<uint8_t> templateBytes, HWND parent)
    : templateBytes_(std::move(templateBytes)), parent_(parent) {}

std::optional<DialogTemplate> Dialog::LoadTemplate() {
    if (!templateBytes_.empty())
        return ParseDialogTemplate(templateBytes_.data(), templateBytes_.size());
    res::ResName name = templateName_.empty() ? res::ResName(static_cast<WORD>(templateId_))
                                              : res::ResName(templateName_);
    auto bytes = res::FindResourceData(module_, res::RT_DIALOG, name);
    if (bytes.empty()) return std::nullopt;
    return ParseDialogTemplate(bytes.data(), bytes.size());
}

intptr_t Dialog::DoModal() {
    if (GetSafeHwnd()) return -1;
    auto t = LoadTemplate();
    if (!t) return -1;
    PreCreateDialog(*t);
    modal_ = true;
    t_pending = this;
    detail::SetCreationHook(&AttachPending);
    intptr_t r = DialogBoxFromTemplate(module_, *t, parent_, nullptr, 0);
    t_pending = nullptr;
    modal_ = false;
    return r;
}

bool Dialog::Create() {
    if (GetSafeHwnd()) return false;
    auto t = LoadTemplate();
    if (!t) return false;
    PreCreateDialog(*t);
    t_pending = this;
    detail::SetCreationHook(&AttachPending);
    HWND h = CreateDialogFromTemplate(module_, *t, parent_, nullptr, 0);
    t_pending = nullptr;
    return h != nullptr;
}

bool Dialog::UpdateData(bool saveAndValidate) {
    return UpdateDialogData(GetSafeHwnd(), saveAndValidate,
                            [this](CDataExchange* dx) { DoDataExchange(dx); });
}

void Dialog::EndDialog(intptr_t result) {
    ::EndDialog(GetSafeHwnd(), result);
}

bool Dialog::OnInitDialog() {
    UpdateData(false);
    return true;
}

void Dialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void Dialog::OnCancel() {
    EndDialog(IDCANCEL);
}

bool Dialog::PreTranslateMessage(MSG* msg) {
    HWND self = GetSafeHwnd();
    if (!self || !msg || (msg->message != WM_KEYDOWN && msg->message != WM_CHAR)) return false;
    if (msg->hwnd != self && !IsChild(self, msg->hwnd)) return false;
    return IsDialogMessage(self, msg);
}

LRESULT Dialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) return OnInitDialog() ? TRUE : FALSE;
    return Wnd::WindowProc(msg, wParam, lParam);
}

bool Dialog::OnCommand(WPARAM wParam, LPARAM) {
    if (HIWORD(wParam) != BN_CLICKED) return false;
    if (LOWORD(wParam) == IDOK) {
        OnOK();
        return true;
    }
    if (LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- App

namespace {
std::atomic<App*> g_app{nullptr};

bool OfferToWindows(MSG* msg) {
    for (HWND h = msg->hwnd; h;
         h = (GetWindowLongPtr(h, GWL_STYLE) & WS_CHILD) ? GetParent(h) : nullptr) {
        if (Wnd* w = Wnd::FromHandlePermanent(h))
            if (w->PreTranslateMessage(msg)) return true;
    }
    return false;
}
}  // namespace

App::App() {
    App* expected = nullptr;
    g_app.compare_exchange_strong(expected, this);
}

App::~App() {
    docTemplate_.reset();
    App* expected = this;
    g_app.compare_exchange_strong(expected, nullptr);
}

App* App::Current() {
    return g_app.load();
}

bool App::PreTranslateMessage(MSG* msg) {
    return OfferToWindows(msg);
}

int App::Run() {
    for (;;) {
        MSG m;
        for (long idle = 0; !PeekMessage(&m, nullptr, 0, 0, PM_NOREMOVE);)
            if (!OnIdle(idle++)) break;
        if (!PumpMessage()) break;
    }
    return ExitInstance();
}

bool App::OnIdle(long count) {
    if (count == 0)
        if (FrameWnd* frame = GetMainFrame()) frame->OnIdleUpdateCmdUI();
    return false;
}

void App::AddDocTemplate(std::unique_ptr<SingleDocTemplate> docTemplate) {
    docTemplate_ = std::move(docTemplate);
}

Document* App::OpenDocumentFile(const WString& path) {
    return docTemplate_ ? docTemplate_->OpenDocumentFile(path) : nullptr;
}

bool App::ProcessShellCommand(ShellCommand command, const WString& fileName) {
    switch (command) {
        case ShellCommand::FileNothing:
            return true;
        case ShellCommand::FileOpen:
            return OpenDocumentFile(fileName) != nullptr;
        case ShellCommand::FileNew:
        default:
            return docTemplate_ && docTemplate_->OpenDocumentFile(WString()) != nullptr;
    }
}

FrameWnd* App::GetMainFrame() const {
    return docTemplate_ ? docTemplate_->GetFrame() : nullptr;
}

void App::AddToRecentFileList(WStringView path) {
    if (recentFiles_) recentFiles_->Add(path);
}

bool PreTranslate(MSG* msg) {
    if (App* app = App::Current()) return app->PreTranslateMessage(msg);
    return OfferToWindows(msg);
}

bool PumpMessage(int* quitCode) {
    MSG m;
    if (!GetMessage(&m, nullptr, 0, 0)) {
        if (quitCode) *quitCode = static_cast<int>(m.wParam);
        if (App* app = App::Current()) app->exitCode_ = static_cast<int>(m.wParam);
        return false;
    }
    if (!PreTranslate(&m)) {
        TranslateMessage(&m);
        DispatchMessage(&m);
    }
    return true;
}

}  // namespace win
