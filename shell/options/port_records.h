// The serial settings of the GPS and auxiliary ports and the alert settings
// rows: the preferences file reads and writes them in place. The port and
// alert objects take these records over when they exist.
#pragma once

#if __has_include("gps/serial_settings.h")
#include "gps/serial_settings.h"
#else
#include <cstdint>

#include "platform/text/text.h"

// The settings of one serial port, as the preferences keep them.
struct CSerialSettings {
    WChar prefix[8] = u"COM";
    uint32_t port = 1;
    uint32_t baud = 4800;
    char parity = 'N';
    uint32_t databits = 8;
    uint32_t stopbits = 0;  // 0 one, 1 one and a half, 2 two
    uint8_t infrared = 0;
    uint32_t rtscontrol = 1;  // 0 disable, 1 enable, 2 handshake
    uint32_t dtrcontrol = 1;
    uint8_t ctshandshake = 0;
    uint8_t dsrhandshake = 0;
};
#endif

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
