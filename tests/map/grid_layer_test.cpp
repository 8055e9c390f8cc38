// The map grid's interval tables and its line and label plan.
#include <cmath>

#include "crs/coord_text.h"
#include "map/layers/system_layer.h"
#include "tests/map/map_doubles.h"

namespace {

TEST(GridInterval, Tables) {
    struct {
        double wanted;
        bool geographic;
        double interval;
    } rows[] = {
        {7.5, true, 7.5},   {7.6, true, 15},        {16, true, 20},         {31, true, 30},
        {1e9, true, 30},    {0, true, 0},           {-3, true, 0},          {0.4, true, 0.5},
        {1 / 3600.0, true, 1 / 3600.0},             {16, false, 20},        {750, false, 1000},
        {5e7, false, 5e7},  {5.0001e7, false, 0},   {0, false, 0},          {0.001, false, 0.01},
    };
    for (const auto& r : rows)
        EXPECT_EQ(CGridLayer::ChooseInterval(r.wanted, r.geographic), r.interval)
            << r.wanted << (r.geographic ? " geographic" : " projected");
}

std::vector<WString> Labels(const GridPlan& plan, bool vertical) {
    std::vector<WString> out;
    for (const GridLine& l : plan.lines)
        if (l.vertical == vertical) out.push_back(l.label);
    return out;
}

TEST(GridPlan, Cases) {
    // 40 by 20 degrees: every 5 degrees.
    GridPlan geo = CGridLayer::PlanGrid(CDoubleRect(0, 30, 40, 50), true);
    EXPECT_EQ(geo.interval, 5);
    ASSERT_FALSE(geo.lines.empty());
    EXPECT_EQ(geo.lines.front().value, 0);
    EXPECT_EQ(geo.lines.front().from.y, 30);
    EXPECT_EQ(geo.lines.front().to.y, 50);
    EXPECT_EQ(geo.lines.front().label, FormatDms(0, false));

    // 8000 by 3000 m: every 1000 m, labels like 431000E.
    GridPlan utm = CGridLayer::PlanGrid(CDoubleRect(431000, 5411000, 439000, 5414000), false);
    EXPECT_EQ(utm.interval, 1000);
    std::vector<WString> east = Labels(utm, true);
    ASSERT_GE(east.size(), 9u);
    EXPECT_EQ(east[0], u"431000E");
    EXPECT_EQ(east[8], u"439000E");
    EXPECT_EQ(Labels(utm, false)[0], u"5411000N");

    // Both wanted intervals past the table: no grid; one of them: the other's.
    EXPECT_EQ(CGridLayer::PlanGrid(CDoubleRect(0, 0, 8e8, 4e8), false).interval, 0);
    EXPECT_TRUE(CGridLayer::PlanGrid(CDoubleRect(0, 0, 8e8, 4e8), false).lines.empty());
    EXPECT_EQ(CGridLayer::PlanGrid(CDoubleRect(0, 0, 80, 4e7), false).interval, 1e7);
    // The other's interval across a huge extent would mean millions of
    // lines: that direction gets none.
    GridPlan tall = CGridLayer::PlanGrid(CDoubleRect(0, 0, 80, 4e9), false);
    EXPECT_EQ(tall.interval, 10);
    EXPECT_EQ(Labels(tall, true).size(), 10u);
    EXPECT_TRUE(Labels(tall, false).empty());

    // Wider than the world: lines stop at -180 and 180.
    GridPlan world = CGridLayer::PlanGrid(CDoubleRect(-400, -100, 400, 100), true);
    EXPECT_EQ(world.interval, 30);
    double lo = 1e9, hi = -1e9;
    for (const GridLine& l : world.lines)
        if (l.vertical) lo = std::min(lo, l.value), hi = std::max(hi, l.value);
    EXPECT_EQ(lo, -180);
    EXPECT_EQ(hi, 180);

    // Fractional labels.
    GridPlan small = CGridLayer::PlanGrid(CDoubleRect(12.5, 0, 16.5, 2), false);
    EXPECT_EQ(small.interval, 0.5);
    EXPECT_EQ(Labels(small, true)[0], u"12.50E");

    // Nothing to plan from an extent without size or with NaN.
    EXPECT_TRUE(CGridLayer::PlanGrid(CDoubleRect(0, 0, -1, -1), false).lines.empty());
    EXPECT_TRUE(CGridLayer::PlanGrid(CDoubleRect(0, 0, NAN, 1), false).lines.empty());
}

}  // namespace
