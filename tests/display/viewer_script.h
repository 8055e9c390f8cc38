// The viewer's input scripts: one step per line, '#' starts a comment line.
//   tap X Y | tap #ID          a pen tap (left button)
//   rtap X Y | rtap #ID        a right-button click
//   down X Y | move X Y | up X Y   (#ID also works)
//   drag X1 Y1 X2 Y2           down, moves in steps, up
//   key NAME                   a key as a key sequence names it: Tab,
//                              Return, Down, Shift+F1, Alt+1, Ctrl+C, A
//   type TEXT                  the rest of the line, typed (UTF-8)
//   wait MS                    runs the program for that long
// Points are in the handheld's logical pixels, relative to the dialog's
// client area; #ID is the centre of the control with that id.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace viewer {

struct Step {
    enum Kind { Tap, RightTap, Down, Move, Up, Drag, Key, Type, Wait } kind = Tap;
    int x = 0, y = 0, x2 = 0, y2 = 0;
    int control = 0;  // nonzero: the control's centre instead of x, y
    std::string text;  // key name or typed text
    int ms = 0;
    int line = 0;
};

// nullopt with *error ("line N: ...") on the first malformed line.
std::optional<std::vector<Step>> ParseScript(const std::string& text, std::string* error);

}  // namespace viewer
