// The names configuration files give the program's built-in commands and
// button pictures.
#pragma once

#include "platform/text/text.h"
#include "platform/types.h"

struct CommandNameEntry {
    int id;
    const WChar* name;
};
constexpr int kCommandNameCount = 67;
extern const CommandNameEntry CommandNameTable[kCommandNameCount];

struct ButtonImageNameEntry {
    const WChar* name;
    int image;
};
constexpr int kButtonImageNameCount = 14;
extern const ButtonImageNameEntry ButtonImageNameTable[kButtonImageNameCount];

// 0 for an empty text; "#" and 1 to 5 decimal digits with a value from 1 to
// 65535 give that id; a table name (without regard to case) its id; -1 for
// anything else, including a "#" form that is not a usable command id.
int CommandIdFromName(WStringView name);
// The first row's name for the id, or null.
const WChar* CommandNameFromId(int id);
// The strip image of a "$" name (without regard to case); 0 when unknown.
int ButtonImageFromName(WStringView name);
