#include "shell/options/port_records.h"

const WChar* const kAlertNames[kAlertCount] = {
    u"nogpsdata", u"maxpdop", u"maxepe", u"nofix", u"notdgps", u"not3d", u"approachingdestination",
};

namespace {
AlertSettings g_alerts[kAlertCount];
CSerialSettings g_gpsPort;
CSerialSettings g_auxPort;
}  // namespace

AlertSettings* GetAlertSettings() { return g_alerts; }
CSerialSettings& GetGpsPortSettings() { return g_gpsPort; }
CSerialSettings& GetAuxPortSettings() { return g_auxPort; }

bool SetAlertSettingsByName(WStringView name, bool show, bool play, WStringView sound) {
    for (int i = 0; i < kAlertCount; ++i) {
        if (!text::EqualsNoCase(name, kAlertNames[i])) continue;
        g_alerts[i].show = show;
        g_alerts[i].play = play;
        g_alerts[i].sound = WString(sound);
        return true;
    }
    return false;
}

void ResetPortRecordsForTests() {
    for (AlertSettings& row : g_alerts) row = AlertSettings{};
    g_gpsPort = CSerialSettings{};
    g_auxPort = CSerialSettings{};
}
