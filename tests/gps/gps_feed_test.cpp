// The GPS feed and the map view in the program's window set-up: the view
// opens the receiver on its own window at start (auto-activation), the
// receiver is installed as the program installs it, and NMEA sentences
// written to a pseudo-terminal reach the receiver's position one after the
// other, through the view or through the feed. The port's reader goes on to the next sentence only
// once the view acknowledged the last, so each arriving well inside the
// reader's two-minute time-out shows the acknowledgement.
#include "gps/gps_feed.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gps/gps.h"
#include "map/services/preferences.h"
#include "tests/gps/pty_test_util.h"
#include "tests/map/view_harness.h"

namespace {

// A sentence with its checksum and line end.
std::string Nmea(const std::string& body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    return "$" + body + tail;
}

// A GPS fix at the latitude, 15 degrees east.
std::string Gga(double latitude) {
    const double a = std::fabs(latitude);
    const int degrees = static_cast<int>(a);
    char body[128];
    std::snprintf(body, sizeof body,
                  "GPGGA,120000.00,%02d%08.5f,%c,01500.00000,E,1,08,1.0,100.0,M,40.0,M,,", degrees,
                  (a - degrees) * 60, latitude < 0 ? 'S' : 'N');
    return Nmea(body);
}

class GpsFeedInTheProgram : public viewtest::ViewHarness {
protected:
    void SetUp() override {
        ViewHarness::SetUp();
        setenv("ZARNIP_PORTS", ("COM1=" + pty_.name).c_str(), 1);
        // As the program sets them up before its windows.
        gps_ = std::make_unique<CGps>();
        feed_ = std::make_unique<CGpsFeed>(*gps_);
        feed_->SetListener([this](const void*, bool changed) {
            if (throwNext_) {
                throwNext_ = false;
                throw std::runtime_error("listener failed");
            }
            ++units_;
            if (changed) latitudes_.push_back(gps_->Position().latitude);
        });
        SetGps(gps_.get());
        GetPreferences()->Data().gps.autoactivate = true;
        GetPreferences()->Data().gps.protocol = u"NMEA";
        AddLayer(new viewtest::CFillLayer(0xFF0000, {CDoubleRect(0, 0, 100, 100)}));
        UseCoordSys(MakeCoordSys(kUtm33Wkt));
    }
    void TearDown() override {
        gps_->Close();
        SetGps(nullptr);
        ViewHarness::TearDown();
        feed_.reset();
        gps_.reset();
        unsetenv("ZARNIP_PORTS");
    }
    // Writes the sentence and runs the program's message loop until the
    // view handed it on (ten seconds at most).
    bool Deliver(const std::string& sentence) {
        const int before = Units();
        pty_.Send(sentence);
        PumpUntil([&] { return Units() > before; }, 10000);
        return Units() == before + 1;
    }
    // Units handled by the feed, and positions the view handed on.
    int Units() const { return units_ + static_cast<int>(mainWindow_.gpsPositions.size()); }

    Pty pty_;
    std::unique_ptr<CGps> gps_;
    std::unique_ptr<CGpsFeed> feed_;
    int units_ = 0;
    bool throwNext_ = false;
    std::vector<double> latitudes_;
};

TEST_F(GpsFeedInTheProgram, EachSentenceIsAcknowledgedAndMovesTheReceiver) {
    OpenView();
    ASSERT_TRUE(gps_->IsGpsActive()) << "the view opens the receiver at start";
    const std::vector<double> at = {52.5, 52.25, -33.75, 0.5, 10.125};
    for (size_t i = 0; i < at.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(Deliver(Gga(at[i])));
        EXPECT_NEAR(gps_->Position().latitude, at[i], 1e-9);
        EXPECT_NEAR(gps_->Position().longitude, 15, 1e-9);
    }
    EXPECT_EQ(mainWindow_.gpsPositions.size(), at.size());
}

TEST_F(GpsFeedInTheProgram, StaleAndFailingUnitsStillLetTheReaderGoOn) {
    OpenView();
    ASSERT_TRUE(gps_->IsGpsActive());
    ASSERT_TRUE(Deliver(Gga(1)));
    // A notification already taken, or of nothing pending, touches nothing.
    const auto port = reinterpret_cast<LPARAM>(gps_->Port());
    SendMessage(View(), WM_GPS_DATA, reinterpret_cast<WPARAM>("$GPGGA,junk"), port);
    EXPECT_FALSE(feed_->OnGpsData(0, port));
    EXPECT_EQ(Units(), 1);
    EXPECT_NEAR(gps_->Position().latitude, 1, 1e-9);

    // A unit whose handling throws is acknowledged on the way out.
    throwNext_ = true;
    pty_.Send(Gga(2));
    MSG m{};
    PumpUntil([&] { return PeekMessage(&m, nullptr, WM_GPS_DATA, WM_GPS_DATA, PM_REMOVE) != 0; },
              10000);
    ASSERT_EQ(m.message, WM_GPS_DATA);
    EXPECT_THROW(feed_->OnGpsData(m.wParam, m.lParam), std::runtime_error);
    EXPECT_NEAR(gps_->Position().latitude, 2, 1e-9);
    ASSERT_TRUE(Deliver(Gga(3)));
    EXPECT_NEAR(gps_->Position().latitude, 3, 1e-9);
}

}  // namespace
