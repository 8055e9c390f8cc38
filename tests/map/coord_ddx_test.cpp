// The dialog data exchange of a coordinate field on the headless window
// model: every text form round-trips, bad text and out-of-range values fail
// with a prompt.
#include "map/dialogs/coord_ddx.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/text/text.h"
#include "platform/win/ddx.h"
#include "platform/win/dialog.h"
#include "platform/win/msgbox.h"
#include "platform/win/window.h"

namespace {

std::string U8(const WString& s) {
    return text::ToUtf8(s);
}

class CoordDdxTest : public ::testing::Test {
protected:
    void SetUp() override {
        win::ResetForTests();
        dialog_ = CreateWindowEx(0, kDialogClass, u"D", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
        edit_ =
            CreateWindowEx(0, u"EDIT", u"", WS_CHILD | WS_VISIBLE, 0, 0, 50, 12, dialog_,
                           reinterpret_cast<HMENU>(static_cast<uintptr_t>(1001)), nullptr, nullptr);
    }
    void TearDown() override { win::ResetForTests(); }
    bool Exchange(bool save, double& v, int type, bool lat) {
        return UpdateDialogData(dialog_, save, [&](CDataExchange* dx) {
            DDX_Coordinate(dx, 1001, v, type, lat);
            DDV_Coordinate(dx, v, type, lat);
        });
    }
    HWND dialog_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(CoordDdxTest, LoadSaveRoundTripsKeepTheSign) {
    for (int type = 0; type <= 3; ++type) {
        for (double start : {-117.5, -33.25, 45.125, -0.0001}) {
            double v = start;
            ASSERT_TRUE(Exchange(false, v, type, false));
            v = 999;
            ASSERT_TRUE(Exchange(true, v, type, false)) << type;
            EXPECT_NEAR(v, start, 1e-9) << type << " " << U8(GetWindowTextString(edit_));
        }
    }
    double v = -117.5;
    Exchange(false, v, 2, false);
    EXPECT_EQ(GetWindowTextString(edit_), u"117 30 00.000 W");
    Exchange(false, v, 1, false);
    EXPECT_EQ(GetWindowTextString(edit_), u"-117.5");
}

TEST_F(CoordDdxTest, BadTextAndRangeFailWithAPrompt) {
    double v = 12.0;
    SetWindowText(edit_, u"north-ish");
    EXPECT_FALSE(Exchange(true, v, 2, true));
    EXPECT_EQ(v, 12.0);  // not saved as 0
    SetWindowText(edit_, u"95 N");
    EXPECT_FALSE(Exchange(true, v, 2, true));
    SetWindowText(edit_, u"95 E");
    EXPECT_TRUE(Exchange(true, v, 2, false));
    EXPECT_EQ(v, 95.0);
    const auto log = win::MessageBoxLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].type, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace
