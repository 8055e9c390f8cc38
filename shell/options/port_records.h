// The serial settings of the GPS and auxiliary ports, beside the alert
// settings rows: the preferences file reads and writes them in place. The
// receiver, the auxiliary port and the alerts take these records over when
// they exist.
#pragma once

#include "gps/serial_settings.h"
#include "map/services/alert_settings.h"
#include "platform/text/text.h"

CSerialSettings& GetGpsPortSettings();
CSerialSettings& GetAuxPortSettings();
// Every alert row and both ports back to their defaults (tests).
void ResetPortRecordsForTests();
