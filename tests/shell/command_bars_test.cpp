// The command bars: the built-in bars as the resources and the configuration
// make them, configured bars and their commands, keys, drop-down taps and
// the report of what the configuration got wrong.
#include "bars_fixture.h"

namespace {

using Ids = std::vector<UINT>;

TEST_F(BarsTest, BuiltInBarsHaveTheirArrowsAndLackTheRemovedButtons) {
    Build();
    ASSERT_EQ(bars_->GetBars().size(), 3u);
    EXPECT_EQ(ButtonIds(Bar(128)), (Ids{57601, 57603, 1029, 1025, 1021, 1034, 57670}));
    EXPECT_EQ(ButtonIds(Bar(129)), (Ids{1800, 1014, 1003, 1810, 1028, 1031, 1026}));
    EXPECT_EQ(ButtonIds(Bar(130)), (Ids{1820, 1821, 1822, 1840, 1841, 1842, 1016}));
    const std::pair<UINT, Ids> arrows[] = {{128, {57601, 1029, 1034, 1021, 57670}},
                                           {129, {1800, 1014, 1810, 1003}},
                                           {130, {1820, 1822, 1016}}};
    for (const auto& [id, withArrow] : arrows) {
        CToolBarExt* bar = Bar(id);
        for (int i = 0; i < bar->GetCount(); ++i) {
            UINT command = bar->GetItemID(i);
            if (!command) continue;
            bool expected = std::find(withArrow.begin(), withArrow.end(), command) != withArrow.end();
            EXPECT_EQ((bar->GetButtonStyle(i) & TBSTYLE_DROPDOWN) != 0, expected) << id << " " << command;
        }
    }
    // Bands: main on the first row, browse and draw each on a new row; draw hidden.
    CReBarExt* strip = bars_->GetStrip();
    EXPECT_EQ(strip->FindBand(u"main", true), 0);
    EXPECT_EQ(strip->GetBandStyle(1), 0x81u);
    EXPECT_EQ(strip->FindBand(u"DRAW", true), -1);
    EXPECT_EQ(strip->FindBand(u"DRAW", false), 2);
    EXPECT_FALSE(Bar(130)->IsVisible());
    EXPECT_TRUE(Bar(129)->IsVisible());
    EXPECT_EQ(GetDlgCtrlID(bars_->GetStripWindow()), 59396);
    // The zoom mode button shows image 0, Identify image 5 of resource 129.
    EXPECT_EQ(Bar(129)->GetButtonImage(0), 0);
    EXPECT_EQ(Bar(129)->GetButtonImage(Bar(129)->CommandToIndex(1810)), 5);
}

}  // namespace
