// Message boxes and the common file, colour and font dialogs. The null
// backend answers them through a scripted responder and logs each one; a
// display backend installs a responder that shows a real window.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "platform/gdi/gdi.h"  // LOGFONT
#include "platform/win/window.h"

// ---- message boxes ----
// Returns the answer (IDOK, IDYES, ...). Without a responder the default
// button answers (MB_DEFBUTTONn of the type's buttons).
int MessageBox(HWND owner, const WChar* text, const WChar* caption, UINT type);

namespace win {

struct MessageBoxRecord {
    HWND owner = nullptr;
    WString text;
    WString caption;
    UINT type = 0;
    int answer = 0;
};
using MessageBoxResponder = std::function<int(const MessageBoxRecord&)>;
void SetMessageBoxResponder(MessageBoxResponder responder);
// Answers for the next message boxes, in order (then the responder/default).
void QueueMessageBoxAnswers(std::vector<int> answers);
std::vector<MessageBoxRecord> MessageBoxLog();
void ClearMessageBoxLog();
// The buttons of a type in order, and the default one's answer.
std::vector<int> MessageBoxButtons(UINT type);
int MessageBoxDefaultAnswer(UINT type);

}  // namespace win

// ---- common dialogs ----
constexpr DWORD OFN_READONLY = 0x1;
constexpr DWORD OFN_OVERWRITEPROMPT = 0x2;
constexpr DWORD OFN_HIDEREADONLY = 0x4;
constexpr DWORD OFN_ENABLEHOOK = 0x20;
constexpr DWORD OFN_PATHMUSTEXIST = 0x800;
constexpr DWORD OFN_FILEMUSTEXIST = 0x1000;

struct OPENFILENAME {
    HWND hwndOwner = nullptr;
    // Pairs of description and pattern, each zero-terminated, ending with an
    // empty text (the framework turns '|' separators into this form).
    WString filter;
    DWORD nFilterIndex = 1;  // 1-based
    WString file;            // in: initial name; out: the chosen path
    DWORD nMaxFile = 260;
    WString initialDir;
    WString title;
    DWORD flags = 0;
    WString defExt;
};
// True when the user chose a file (the path is in ofn->file).
bool GetOpenFileName(OPENFILENAME* ofn);
bool GetSaveFileName(OPENFILENAME* ofn);

constexpr DWORD CC_RGBINIT = 0x1;
constexpr DWORD CC_FULLOPEN = 0x2;
struct CHOOSECOLOR {
    HWND hwndOwner = nullptr;
    COLORREF rgbResult = 0;
    COLORREF custColors[16] = {};
    DWORD flags = 0;
};
bool ChooseColor(CHOOSECOLOR* cc);

constexpr DWORD CF_INITTOLOGFONTSTRUCT = 0x40;
constexpr DWORD CF_EFFECTS = 0x100;
struct CHOOSEFONT {
    HWND hwndOwner = nullptr;
    LOGFONT* lpLogFont = nullptr;
    int iPointSize = 0;  // tenths of a point
    DWORD flags = 0;
    COLORREF rgbColors = 0;
};
bool ChooseFont(CHOOSEFONT* cf);

namespace win {

enum class CommonDialogKind { Open, Save, Color, Font };
struct CommonDialogRecord {
    CommonDialogKind kind;
    HWND owner = nullptr;
    WString title;
    WString initial;  // file name, or colour / face as text
    bool accepted = false;
};
// A responder acts as the user: it may change the structure and returns
// whether the user pressed OK. Without one, a real window asks the user when
// real windows are wanted (see UseRealWindows); otherwise the dialog is
// cancelled.
struct CommonDialogResponder {
    std::function<bool(OPENFILENAME&, bool save)> file;
    std::function<bool(CHOOSECOLOR&)> color;
    std::function<bool(CHOOSEFONT&)> font;
};
void SetCommonDialogResponder(CommonDialogResponder responder);
std::vector<CommonDialogRecord> CommonDialogLog();

// Clears responders, queued answers and logs (part of ResetForTests).
void ResetMessageBoxes();

}  // namespace win
