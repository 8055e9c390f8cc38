#include "platform/win/msgbox.h"

#include <algorithm>
#include <deque>
#include <mutex>

#include "platform/win/menu_window.h"

namespace win {

namespace {

struct State {
    std::mutex m;
    MessageBoxResponder responder;
    std::deque<int> answers;
    std::vector<MessageBoxRecord> log;
    CommonDialogResponder common;
    std::vector<CommonDialogRecord> commonLog;
};

State& S() {
    static State* s = new State;
    return *s;
}

}  // namespace

std::vector<int> MessageBoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case MB_RETRYCANCEL:
            return {IDRETRY, IDCANCEL};
        default:
            return {IDOK};
    }
}

int MessageBoxDefaultAnswer(UINT type) {
    auto buttons = MessageBoxButtons(type);
    size_t index = (type & MB_DEFMASK) >> 8;
    return buttons[index < buttons.size() ? index : 0];
}

void SetMessageBoxResponder(MessageBoxResponder responder) {
    std::lock_guard<std::mutex> lock(S().m);
    S().responder = std::move(responder);
}

void QueueMessageBoxAnswers(std::vector<int> answers) {
    std::lock_guard<std::mutex> lock(S().m);
    S().answers.insert(S().answers.end(), answers.begin(), answers.end());
}

std::vector<MessageBoxRecord> MessageBoxLog() {
    std::lock_guard<std::mutex> lock(S().m);
    return S().log;
}

void ClearMessageBoxLog() {
    std::lock_guard<std::mutex> lock(S().m);
    S().log.clear();
}

void SetCommonDialogResponder(CommonDialogResponder responder) {
    std::lock_guard<std::mutex> lock(S().m);
    S().common = std::move(responder);
}

std::vector<CommonDialogRecord> CommonDialogLog() {
    std::lock_guard<std::mutex> lock(S().m);
    return S().commonLog;
}

void ResetMessageBoxes() {
    std::lock_guard<std::mutex> lock(S().m);
    S().responder = nullptr;
    S().answers.clear();
    S().log.clear();
    S().common = {};
    S().commonLog.clear();
}

namespace {

void LogCommon(CommonDialogKind kind, HWND owner, WString title, WString initial, bool ok) {
    std::lock_guard<std::mutex> lock(S().m);
    S().commonLog.push_back(
        CommonDialogRecord{kind, owner, std::move(title), std::move(initial), ok});
}

bool RunFile(OPENFILENAME* ofn, bool save) {
    if (!ofn) return false;
    std::function<bool(OPENFILENAME&, bool)> fn;
    {
        std::lock_guard<std::mutex> lock(S().m);
        fn = S().common.file;
    }
    WString initial = ofn->file;
    OPENFILENAME work = *ofn;
    bool ok = fn ? fn(work, save) : detail::WantRealWindows() && detail::RunFileDialog(work, save);
    if (ok && work.file.size() >= ofn->nMaxFile) ok = false;  // does not fit the caller's buffer
    if (ok) {
        // A saved name without an extension gets the default one.
        if (save && !work.defExt.empty()) {
            size_t slash = work.file.find_last_of(u"\\/");
            size_t dot = work.file.find_last_of(u'.');
            if (dot == WString::npos || (slash != WString::npos && dot < slash))
                work.file += u"." + work.defExt;
        }
        *ofn = work;
    }
    LogCommon(save ? CommonDialogKind::Save : CommonDialogKind::Open, ofn->hwndOwner, ofn->title,
              initial, ok);
    return ok;
}

}  // namespace

}  // namespace win

using namespace win;

int MessageBox(HWND owner, const WChar* text, const WChar* caption, UINT type) {
    MessageBoxRecord rec{owner, text ? text : u"", caption ? caption : u"", type, 0};
    // The box takes the pen, however it is answered: a drag in progress
    // loses the capture as the box opens.
    ReleaseCapture();
    MessageBoxResponder responder;
    int answer = 0;
    {
        std::lock_guard<std::mutex> lock(S().m);
        if (!S().answers.empty()) {
            answer = S().answers.front();
            S().answers.pop_front();
        }
        responder = S().responder;
    }
    if (!answer && responder) {
        // The box is modal: its owner's top-level window takes no input
        // while it is shown.
        HWND top = owner;
        while (top && (GetWindowLongPtr(top, GWL_STYLE) & WS_CHILD)) top = GetParent(top);
        bool disabled = top && IsWindowEnabled(top);
        HWND focus = GetFocus();
        if (disabled) EnableWindow(top, false);
        answer = responder(rec);
        if (disabled && IsWindow(top)) EnableWindow(top, true);
        if (focus && IsWindow(focus) && !GetFocus()) SetFocus(focus);  // back where it was
    }
    if (!answer && !responder && detail::WantRealWindows())
        answer = detail::RunMessageBox(owner, rec.text, rec.caption, type);
    auto buttons = MessageBoxButtons(type);
    if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end())
        answer = MessageBoxDefaultAnswer(type);
    rec.answer = answer;
    std::lock_guard<std::mutex> lock(S().m);
    S().log.push_back(rec);
    return answer;
}

bool GetOpenFileName(OPENFILENAME* ofn) {
    return RunFile(ofn, false);
}
bool GetSaveFileName(OPENFILENAME* ofn) {
    return RunFile(ofn, true);
}

bool ChooseColor(CHOOSECOLOR* cc) {
    if (!cc) return false;
    std::function<bool(CHOOSECOLOR&)> fn;
    {
        std::lock_guard<std::mutex> lock(S().m);
        fn = S().common.color;
    }
    CHOOSECOLOR work = *cc;
    bool ok = fn ? fn(work) : detail::WantRealWindows() && detail::RunColorDialog(work);
    if (ok) *cc = work;
    LogCommon(CommonDialogKind::Color, cc->hwndOwner, u"", text::IntToText(cc->rgbResult), ok);
    return ok;
}

bool ChooseFont(CHOOSEFONT* cf) {
    if (!cf || !cf->lpLogFont) return false;
    std::function<bool(CHOOSEFONT&)> fn;
    {
        std::lock_guard<std::mutex> lock(S().m);
        fn = S().common.font;
    }
    LOGFONT lf = *cf->lpLogFont;
    CHOOSEFONT work = *cf;
    work.lpLogFont = &lf;
    bool ok = fn ? fn(work) : detail::WantRealWindows() && detail::RunFontDialog(work);
    if (ok) {
        *cf->lpLogFont = lf;
        work.lpLogFont = cf->lpLogFont;
        *cf = work;
    }
    LogCommon(CommonDialogKind::Font, cf->hwndOwner, u"", cf->lpLogFont->lfFaceName, ok);
    return ok;
}
