// The serial settings of the GPS and auxiliary ports and the alert settings
// rows: the preferences file reads and writes them in place. The receiver,
// the auxiliary port and the alerts take these records over when they exist.
#pragma once

#include "gps/serial_settings.h"

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
CSerialSettings& GetGpsPortSettings();
CSerialSettings& GetAuxPortSettings();
// The row whose alert has this name (without regard to case); false when
// no alert has it.
bool SetAlertSettingsByName(WStringView name, bool show, bool play, WStringView sound);
// Every row and both ports back to their defaults (tests).
void ResetPortRecordsForTests();
