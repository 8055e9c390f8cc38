// Internal to the window system: pop-up menus shown as real windows.
#pragma once

#include "platform/win/window.h"

namespace win::detail {

// Real windows replace the scripted answers when a display is present, or
// when a test asks for them on the null backend.
bool WantRealWindows();
void SetRealWindowsForTests(bool on);
// Shows the menu and runs its loop; the chosen command, or 0.
UINT RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
// Shows a message box and runs its loop; the answer, or 0 when it could not.
int RunMessageBox(HWND owner, const WString& text, const WString& caption, UINT type);
}  // namespace win::detail

struct OPENFILENAME;
struct CHOOSECOLOR;
struct CHOOSEFONT;

namespace win::detail {
// The common dialogs as real windows; true when the user pressed OK (the
// structure then holds the choice).
bool RunFileDialog(OPENFILENAME& ofn, bool save);
bool RunColorDialog(CHOOSECOLOR& cc);
bool RunFontDialog(CHOOSEFONT& cf);

}  // namespace win::detail
