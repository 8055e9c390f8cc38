// The service contracts: the preferences record's defaults, the code page
// of its locale, and the GPS acknowledgement guard.
#include "map/services/gps.h"
#include "map/services/main_window.h"
#include "platform/win/commctrl.h"
#include "platform/win/window.h"
#include "map/services/preferences.h"
#include "platform/res/locale.h"
#include "tests/map/map_doubles.h"

namespace {

class Services : public MapTest {};

// The defaults as the preferences file documents them.
TEST_F(Services, PreferenceDefaults) {
    const PreferencesData& p = GetPreferences()->Data();
    EXPECT_EQ(p.display.highlightcolor, 255u);
    EXPECT_EQ(p.display.highlightwidth, 3);
    EXPECT_EQ(p.display.backgroundcolor, 0xFFFFFFu);
    EXPECT_EQ(p.display.tolerance, 5);
    EXPECT_EQ(p.display.units, 0);
    EXPECT_TRUE(p.layers.autopack);
    EXPECT_FALSE(p.ims.log);
    EXPECT_TRUE(p.ims.autorefresh);
    EXPECT_FALSE(p.gps.averagingEnabled);
    EXPECT_EQ(p.gps.averagingPoint, 0);
    EXPECT_EQ(p.gps.datum, u"WGS84");
    EXPECT_EQ(p.gps.protocol, u"NMEA");
    EXPECT_EQ(p.gps.streamingInterval, 1);
    EXPECT_TRUE(p.tracklog.qualitycontrol);
    EXPECT_EQ(p.paths.data, u"\\Docs");
    EXPECT_EQ(p.tracklog.name, u"\\Docs\\TrackLog.shp");
    EXPECT_EQ(WString(p.fonts.label.lfFaceName), u"Tahoma");
    EXPECT_FALSE(GetPreferences()->WritePreferences());
}

TEST_F(Services, AnsiCodePageOfTheLocale) {
    res::SetUserDefaultLCID(0x0409);
    auto* prefs = GetPreferences();
    EXPECT_EQ(prefs->GetAnsiCodePage(), 1252u);
    prefs->Data().locale.lcid = 0x0411;
    EXPECT_EQ(prefs->GetAnsiCodePage(), 932u);
    prefs->Data().locale.lcid = 0x0419;
    EXPECT_EQ(prefs->GetAnsiCodePage(), 1251u);
    // An installed object replaces the plain record; a reset brings it back.
    CPlainPreferences mine;
    mine.Data().display.tolerance = 9;
    SetPreferences(&mine);
    EXPECT_EQ(GetPreferences()->Data().display.tolerance, 9);
    ResetPreferencesForTests();
    EXPECT_EQ(GetPreferences()->Data().display.tolerance, 5);
    EXPECT_EQ(GetPreferences()->Data().locale.lcid, 0u);
}

class RecordingPort : public IGpsPort {
public:
    uint32_t AcceptNotification(WPARAM wParam, LPARAM) override { return static_cast<uint32_t>(wParam); }
    void Acknowledge(uint32_t n) override { acknowledged.push_back(n); }
    WString GetErrorText() override { return {}; }
    std::vector<uint32_t> acknowledged;
};

TEST_F(Services, GpsAcknowledgeGuardAcknowledgesOnEveryPath) {
    RecordingPort port;
    auto handler = [&](WPARAM notification, bool early) {
        GpsAcknowledgeGuard ack(&port, notification, 0);
        if (early) return;  // an early return must not stall the reader
        ack.Release();
        ack.Release();
    };
    handler(7, true);
    handler(8, false);
    handler(0, false);  // a stale notification: nothing to acknowledge
    EXPECT_EQ(port.acknowledged, (std::vector<uint32_t>{7, 8}));
    GpsAcknowledgeGuard none(nullptr, 5, 0);
    EXPECT_EQ(none.Notification(), 0u);

    EXPECT_FALSE(IsGpsActive());
    EXPECT_TRUE(IsNoData(NAN));
    EXPECT_TRUE(IsNoData(-1.7976931348623157e308));
    EXPECT_FALSE(IsNoData(0.0));
}

TEST_F(Services, FieldTypeImagesAndColumns) {
    HWND list = CreateWindowEx(0, WC_LISTVIEW, u"", WS_POPUP | LVS_REPORT, 0, 0, 100, 100,
                               nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(list);
    const WChar types[] = {u'C', u'N', u'D', u'L', u'F', u'M'};
    const int expected[] = {0, 1, 2, 3, I_IMAGENONE, I_IMAGENONE};
    for (int i = 0; i < 6; ++i) {
        LVITEM item;
        item.mask = LVIF_IMAGE;
        item.iItem = i;
        item.iImage = 7;
        SendMessage(list, LVM_INSERTITEM, 0, reinterpret_cast<LPARAM>(&item));
        SetFieldTypeImage(list, i, types[i]);
        LVITEM got;
        got.mask = LVIF_IMAGE;
        got.iItem = i;
        SendMessage(list, LVM_GETITEM, 0, reinterpret_cast<LPARAM>(&got));
        EXPECT_EQ(got.iImage, expected[i]) << static_cast<char>(types[i]);
        EXPECT_EQ(FieldTypeToColumnFormat(types[i]), i < 4 ? i : -1);
    }
    DestroyWindow(list);
}

}  // namespace
