// Hooks for the program's own tests, set through the environment; none of
// them is a user option.
//
//   ZARNIP_TEST_SCREENSHOT=FILE  once the map view has finished its first
//       paint, saves the main window as the display shows it (the format by
//       the file's extension), prints "view X Y W H" (where the view lies
//       in the picture) on standard output, then chooses Exit.
//   ZARNIP_TEST_EXIT=1  chooses Exit (command 57665) after the first paint.
//   ZARNIP_TEST_BOXES=1  message boxes are not shown: each answers with its
//       default button and is written to standard error as "box: TEXT".
//   ZARNIP_TEST_BOX_SHOT=FILE  the first message box is shown as a window;
//       once it is up it is saved to FILE, "box shot: CAPTION" is written to
//       standard error and Enter answers it.
#pragma once

#include "platform/types.h"

namespace znqt {
class Display;
}

namespace apptest {

// Runs the queue until the view has painted and nothing is left to do,
// then acts as the environment asks. Returns false when a screenshot was
// asked for and could not be written (the program should then end with a
// failure code); true otherwise, also when no hook is set.
bool RunAfterFirstPaint(znqt::Display& display, HWND frame, HWND view);

// Before start-up: installs what the environment asks for boxes.
void InstallBoxHook(znqt::Display& display);

}  // namespace apptest
