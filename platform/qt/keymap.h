// Desktop keys to the handheld's virtual keys.
#pragma once

#include "platform/types.h"

namespace znqt {

enum KeyModifier : unsigned { kShift = 1, kControl = 2, kAlt = 4 };

// The virtual key for a Qt key code with these modifiers; 0 when the key has
// none. Shift+F1..F12 give F13..F24 and Alt+1..Alt+0 the application keys
// 0xC1..0xCA, which desktop keyboards lack.
UINT VirtualKeyFor(int qtKey, unsigned modifiers);
// Whether the key's text is typed (application and function keys type
// nothing).
bool KeyTypesText(UINT vk);

}  // namespace znqt
