// Message boxes of the map engine: the text from the string table by id with
// %1-style inserts, after the beep that goes with the box's icon.
#pragma once

#include <vector>

#include "crs/coord_sys.h"
#include "platform/text/text.h"
#include "platform/types.h"

// The string of an id from the current resources (empty when missing).
WString LoadMapString(UINT id);
// The beep before a box: none, the error sound, the exclamation sound.
enum MapBeep { kBeepNone = -1, kBeepError = 0x10, kBeepExclamation = 0x30 };
// Beeps, then shows the box; the answer. An extra line goes below the text.
int ShowMapMessage(UINT id, UINT type, MapBeep beep, const std::vector<WString>& args = {},
                   WStringView extraLine = {});
// The same with a finished text.
int ShowMapMessageText(const WString& text, UINT type, MapBeep beep);

// Says why positions of `what` (a layer's name, or the GPS) in `from` cannot
// be shown, or may be off, in `to`; nothing for kNone. Callers show it once.
void ShowConversionProblem(ConversionProblem problem, WStringView what, const CCoordSys& from,
                           const CCoordSys& to);
