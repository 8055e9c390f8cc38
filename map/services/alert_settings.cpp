#include "map/services/alert_settings.h"

const WChar* const kAlertNames[kAlertCount] = {
    u"nogpsdata", u"maxpdop", u"maxepe", u"nofix", u"notdgps", u"not3d", u"approachingdestination",
};

namespace {
AlertSettings g_alerts[kAlertCount];
}  // namespace

AlertSettings* GetAlertSettings() { return g_alerts; }

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
