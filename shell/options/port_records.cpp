#include "shell/options/port_records.h"

namespace {
CSerialSettings g_gpsPort;
CSerialSettings g_auxPort;
}  // namespace

CSerialSettings& GetGpsPortSettings() { return g_gpsPort; }
CSerialSettings& GetAuxPortSettings() { return g_auxPort; }

void ResetPortRecordsForTests() {
    AlertSettings* rows = GetAlertSettings();
    for (int i = 0; i < kAlertCount; ++i) rows[i] = AlertSettings{};
    g_gpsPort = CSerialSettings{};
    g_auxPort = CSerialSettings{};
}
