// Internal to the window system: pop-up menus shown as real windows.
#pragma once

#include <functional>

#include "platform/win/window.h"

namespace win::detail {

// Real windows replace the scripted answers when a display is present, or
// when a test asks for them on the null backend.
bool WantRealWindows();
void SetRealWindowsForTests(bool on);
// Shows the menu and runs its loop; the chosen command, or 0.
UINT RunPopupMenu(HMENU menu, UINT flags, int x, int y, HWND owner);
// A command bar's menu bar around the pop-up it opens: Left at the menu's top
// level, or Right where no submenu opens, ends the menu with move -1 or +1;
// a tap on the bar ends it with the button under the pen (hit gives the
// button at a screen point, -1 for none). With keys set, the menu opens with
// its first item highlighted, as when entered from the keyboard.
struct MenuBarLink {
    HWND bar = nullptr;
    std::function<int(POINT)> hit;
    bool keys = false;
    int move = 0;
    int tapped = -1;
};
// The link for the next RunPopupMenu (nullptr: none).
void SetMenuBarLink(MenuBarLink* link);
// Alt pressed alone: opens the first menu of the window's command bar.
bool EnterMenuBar(HWND top);
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
