// The position record: its layout as C and C++ see it, reset and no data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "gps/gps_position.h"

extern "C" int ZnGpsPositionSizeFromC(void);

TEST(GpsPosition, LayoutAgreesBetweenCAndCxx) {
    EXPECT_EQ(ZnGpsPositionSizeFromC(), 4720);
    EXPECT_EQ(sizeof(GpsPosition), 4720u);
    static_assert(std::is_same_v<decltype(GpsPosition::receiverName[0]), char16_t&>);
}

TEST(GpsPosition, ResetLeavesNoDataExceptTheZeroFields) {
    GpsPosition p;
    std::memset(&p, 0xA5, sizeof p);
    ResetGpsPosition(&p);
    const double* doubles[] = {&p.longitude, &p.latitude, &p.height, &p.fourth, &p.gdop, &p.pdop,
                               &p.hdop, &p.vdop, &p.tdop, &p.hpe, &p.reportedHpe, &p.vpe, &p.epe,
                               &p.extraError200, &p.reserved208[0], &p.reserved208[1],
                               &p.reserved208[2], &p.extraError232, &p.sog, &p.cog,
                               &p.velocityEast, &p.velocityNorth, &p.velocityUp, &p.reserved288,
                               &p.depth, &p.depthOffset, &p.waterTemperature};
    for (const double* d : doubles) {
        SCOPED_TRACE(reinterpret_cast<const char*>(d) - reinterpret_cast<const char*>(&p));
        EXPECT_TRUE(IsNoData(*d));
        uint64_t bits;
        std::memcpy(&bits, d, 8);
        EXPECT_EQ(bits, 0x7FF8000000000000u);
    }
    EXPECT_EQ(p.magneticVariation, 0.0);
    EXPECT_EQ(p.gpsWeek, 0.0);
    EXPECT_EQ(p.receiverTemperature, 0.0);
    EXPECT_EQ(p.satellitesUsed, 0xFFFE);
    EXPECT_EQ(p.modeBits, 1u);
    EXPECT_EQ(p.updateBits, 0u);
    EXPECT_EQ(p.errorText[0], 0);
}

TEST(GpsPosition, NoData) {
    EXPECT_TRUE(IsNoData(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_TRUE(IsNoData(-1.7976931348623157e308));
    EXPECT_TRUE(IsNoData(kGpsNoData));
    EXPECT_FALSE(IsNoData(0.0));
    EXPECT_FALSE(IsNoData(-std::numeric_limits<double>::infinity()));
    EXPECT_FALSE(IsNoData(std::nextafter(-1.7976931348623157e308, 0.0)));
}

TEST(GpsPosition, SatelliteSlotsAndTexts) {
    GpsPosition p;
    ResetGpsPosition(&p);
    EXPECT_EQ(GpsSatelliteSlot(&p, 1), &p.satellites[0]);
    EXPECT_EQ(GpsSatelliteSlot(&p, 32), &p.satellites[31]);
    for (int prn : {0, -1, 33, 65, 96, 193}) EXPECT_EQ(GpsSatelliteSlot(&p, prn), nullptr) << prn;

    char narrow[8];
    std::memset(narrow, 'x', sizeof narrow);
    CopyGpsText(narrow, sizeof narrow, "a text longer than eight");
    EXPECT_STREQ(narrow, "a text ");
    char16_t wide[40];
    CopyGpsText(wide, 40, std::string(60, 'y').c_str());
    EXPECT_EQ(wide[39], 0);
    EXPECT_EQ(std::u16string(wide), std::u16string(39, u'y'));
}
