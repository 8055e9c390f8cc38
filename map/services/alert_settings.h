// The user's settings of the seven GPS alerts: whether each shows its
// dialog, whether it plays a sound and which file. The preferences file
// reads and writes the rows in place; the alerts read them when raised.
#pragma once

#include "platform/text/text.h"

// One row per alert, in the fixed alert order.
struct AlertSettings {
    bool show = true;
    bool play = true;
    WString sound;
};

constexpr int kAlertCount = 7;
// The alerts' names in the preferences file, in the fixed order.
extern const WChar* const kAlertNames[kAlertCount];

AlertSettings* GetAlertSettings();  // kAlertCount rows
// The row whose alert has this name (without regard to case); false when
// no alert has it.
bool SetAlertSettingsByName(WStringView name, bool show, bool play, WStringView sound);
