// Dialogs from dialog templates: the binary template (classic and extended
// forms) from a resource or from memory, the dialog manager that turns it into
// windows, modal and modeless dialogs, dialog units, default buttons and the
// keyboard interface of dialogs.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/win/window.h"

using DLGPROC = intptr_t (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr const WChar* kDialogClass = u"#32770";

// Integer resource names: MAKEINTRESOURCE(id) is a pointer value below 0x10000.
inline const WChar* MAKEINTRESOURCE(WORD id) {
    return reinterpret_cast<const WChar*>(static_cast<uintptr_t>(id));
}
inline bool IS_INTRESOURCE(const WChar* name) {
    return (reinterpret_cast<uintptr_t>(name) >> 16) == 0;
}

// One control of a template.
struct DialogItemTemplate {
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    DWORD id = 0;
    WString className;      // ordinals 0x80-0x85 become BUTTON ... COMBOBOX
    WString title;          // empty when the title is an ordinal
    WORD titleOrdinal = 0;  // a resource id (icons, bitmaps of static controls)
    std::vector<BYTE> creationData;
};

// A parsed template.
struct DialogTemplate {
    bool extended = false;
    DWORD style = 0;
    DWORD exStyle = 0;
    DWORD helpId = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    WString menu;
    WORD menuOrdinal = 0;
    WString className;
    WString title;
    bool hasFont = false;
    WORD pointSize = 0;
    WORD weight = 0;
    BYTE italic = 0;
    BYTE charset = 0;
    WString faceName;
    std::vector<DialogItemTemplate> items;
};

// Reads a template; every count, string and alignment is checked against the
// bytes given. nullopt with *error set when the bytes are not a template.
std::optional<DialogTemplate> ParseDialogTemplate(const void* data, size_t size,
                                                  std::string* error = nullptr);

// ---- creation ----
// Modeless. The template bytes may be freed after the call.
HWND CreateDialogIndirectParam(HINSTANCE instance, const void* tmpl, size_t size, HWND parent,
                               DLGPROC proc, LPARAM initParam);
// From the resource module `instance` (nullptr: the current resource module);
// name is MAKEINTRESOURCE(id) or a template name.
HWND CreateDialogParam(HINSTANCE instance, const WChar* name, HWND parent, DLGPROC proc,
                       LPARAM initParam);
// Modal: disables the owner, runs a nested message loop until EndDialog and
// returns its result (-1 when the dialog could not be created).
intptr_t DialogBoxIndirectParam(HINSTANCE instance, const void* tmpl, size_t size, HWND parent,
                                DLGPROC proc, LPARAM initParam);
intptr_t DialogBoxParam(HINSTANCE instance, const WChar* name, HWND parent, DLGPROC proc,
                        LPARAM initParam);
bool EndDialog(HWND dialog, intptr_t result);
// From a parsed (and possibly changed) template, e.g. after a pre-creation
// style change.
HWND CreateDialogFromTemplate(HINSTANCE instance, const DialogTemplate& tmpl, HWND parent,
                              DLGPROC proc, LPARAM initParam);
intptr_t DialogBoxFromTemplate(HINSTANCE instance, const DialogTemplate& tmpl, HWND parent,
                               DLGPROC proc, LPARAM initParam);
// The bytes of a template in the classic form (the extended form when
// tmpl.extended): what ParseDialogTemplate reads back.
std::vector<uint8_t> SerializeDialogTemplate(const DialogTemplate& tmpl);

// Calls the dialog procedure; what it leaves unhandled gets the dialog
// defaults (WM_CLOSE as IDCANCEL, default button queries, focus keeping).
LRESULT DefDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// The keyboard interface: Enter presses the default button, Escape cancels,
// Tab moves between tab stops, arrows move within a radio group. Dispatches
// the message when it belongs to the dialog and returns true.
bool IsDialogMessage(HWND dialog, MSG* msg);

// Dialog units: x * baseX / 4, y * baseY / 8.
LONG GetDialogBaseUnits();  // of the system font: MAKELONG(baseX, baseY)
bool MapDialogRect(HWND dialog, RECT* rect);
HWND GetNextDlgTabItem(HWND dialog, HWND control, bool previous);
HWND GetNextDlgGroupItem(HWND dialog, HWND control, bool previous);

namespace win {

// Base units of the system font (dialogs without a font in the template).
void SetSystemDialogBaseUnits(int baseX, int baseY);
// Base units of a template font of this many points.
SIZE DialogBaseUnitsForFont(int pointSize);
// Dialog units to pixels: units * base / divisor (4 across, 8 down), kept
// within a range where window rectangles cannot overflow (a template can ask
// for a 65535-point font and 32767 units).
int DialogUnitsToPixels(int units, int base, int divisor);

// Is the dialog still open (EndDialog not called)?
bool IsDialogRunning(HWND dialog);
// The template font of a dialog (name and points); empty without one.
WString GetDialogFontName(HWND dialog);
int GetDialogFontPoints(HWND dialog);

// The user taps the caption OK button (WM_COMMAND IDOK) or the caption close
// button (WM_CLOSE, which a dialog turns into IDCANCEL). Queued, like input.
void PressCaptionOk(HWND dialog);
void PressCaptionClose(HWND dialog);

// Test hooks: each modal dialog, after WM_INITDIALOG, is handed to the first
// queued hook (then removed), which acts as the user (fill fields, press OK).
// Without a hook the modal loop waits for real input from a display backend.
using ModalHook = std::function<void(HWND dialog)>;
void PushModalHook(ModalHook hook);
void ClearModalHooks();

}  // namespace win
