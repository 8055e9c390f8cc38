#include "core/double_rect.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using R = CDoubleRect;

std::string Str(const R& r) {
    return testing::PrintToString(r.xmin) + "," + testing::PrintToString(r.ymin) + "," +
           testing::PrintToString(r.xmax) + "," + testing::PrintToString(r.ymax);
}

struct Case {
    const char* what;
    std::function<bool(R&)> op;  // computes into r; returns the operation's bool
    bool result;
    R expected;
};

TEST(DoubleRect, OperationTable) {
    const R a(0, 0, 10, 10);
    const Case cases[] = {
        {"Set keeps order",
         [](R& r) {
             r.Set(3, 4, 1, 2);
             return true;
         },
         true, R(3, 4, 1, 2)},
        {"Normalize",
         [](R& r) {
             r.Set(3, 4, 1, 2);
             r.Normalize();
             return true;
         },
         true, R(1, 2, 3, 4)},
        {"SetFromCenter",
         [](R& r) {
             r.SetFromCenter(5, 6, 4, 2);
             return true;
         },
         true, R(3, 5, 7, 7)},
        {"Scale 2",
         [](R& r) {
             r.Set(0, 0, 2, 2);
             r.Scale(2);
             return true;
         },
         true, R(-1, -1, 3, 3)},
        {"Scale 1",
         [](R& r) {
             r.Set(0, 0, 2, 2);
             r.Scale(1);
             return true;
         },
         true, R(0, 0, 2, 2)},
        {"Scale 0.5",
         [](R& r) {
             r.Set(0, 0, 4, 2);
             r.Scale(0.5);
             return true;
         },
         true, R(1, 0.5, 3, 1.5)},
        {"Inflate",
         [](R& r) {
             r.Set(0, 0, 2, 2);
             r.Inflate(1, 2);
             return true;
         },
         true, R(-1, -2, 3, 4)},
        {"Inflate negative",
         [](R& r) {
             r.Set(0, 0, 4, 4);
             r.Inflate(-1, -1);
             return true;
         },
         true, R(1, 1, 3, 3)},
        {"Offset",
         [](R& r) {
             r.Set(0, 0, 2, 2);
             r.Offset(1, 2);
             return true;
         },
         true, R(1, 2, 3, 4)},
        {"Intersect touching",
         [](R& r) {
             r.Set(9, 9, 9, 9);
             return R::Intersect(&r, R(0, 0, 1, 1), R(1, 1, 2, 2));
         },
         false, R(0, 0, 0, 0)},
        {"Intersect overlap", [](R& r) { return R::Intersect(&r, R(0, 0, 2, 2), R(1, -1, 3, 1)); },
         true, R(1, 0, 2, 1)},
        {"Intersect null",
         [](R& r) {
             r.Set(9, 9, 9, 9);
             return R::Intersect(&r, R(1, 1, 1, 1), R(0, 0, 2, 2));
         },
         false, R(0, 0, 0, 0)},
        {"Intersect test only",
         [](R&) { return R::Intersect(nullptr, R(0, 0, 2, 2), R(1, 1, 3, 3)); }, true, R()},
        {"Union null a", [](R& r) { return R::Union(r, R(3, 3, 3, 3), R(0, 0, 1, 1)); }, true,
         R(0, 0, 1, 1)},
        {"Union null b", [](R& r) { return R::Union(r, R(0, 0, 1, 1), R(5, 5, 5, 9)); }, true,
         R(0, 0, 1, 1)},
        {"Union both null",
         [](R& r) {
             r.Set(9, 9, 9, 9);
             return R::Union(r, R(), R(2, 2, 2, 2));
         },
         false, R()},
        {"Union", [](R& r) { return R::Union(r, R(0, 5, 1, 6), R(-2, 1, 0.5, 3)); }, true,
         R(-2, 1, 1, 6)},
        // The empty marker does not drag the union to the origin.
        {"Union empty marker",
         [](R& r) {
             R e;
             e.SetEmpty();
             return R::Union(r, e, R(10, 10, 20, 20));
         },
         true, R(10, 10, 20, 20)},
        {"Union aliasing a",
         [](R& r) {
             r.Set(0, 0, 1, 1);
             return R::Union(r, r, R(2, 2, 3, 3));
         },
         true, R(0, 0, 3, 3)},
        {"Union aliasing b",
         [](R& r) {
             r.Set(2, 2, 3, 3);
             return R::Union(r, R(0, 0, 1, 1), r);
         },
         true, R(0, 0, 3, 3)},
        {"Subtract left band", [a](R& r) { return R::Subtract(r, a, R(-1, -1, 4, 11)); }, true,
         R(4, 0, 10, 10)},
        {"Subtract right band", [a](R& r) { return R::Subtract(r, a, R(6, -1, 11, 11)); }, true,
         R(0, 0, 6, 10)},
        {"Subtract bottom band", [a](R& r) { return R::Subtract(r, a, R(-1, -1, 11, 3)); }, true,
         R(0, 3, 10, 10)},
        {"Subtract top band", [a](R& r) { return R::Subtract(r, a, R(0, 8, 10, 12)); }, true,
         R(0, 0, 10, 8)},
        {"Subtract middle", [a](R& r) { return R::Subtract(r, a, R(3, 3, 4, 4)); }, true, a},
        {"Subtract corner", [a](R& r) { return R::Subtract(r, a, R(8, 8, 12, 12)); }, true, a},
        {"Subtract disjoint", [a](R& r) { return R::Subtract(r, a, R(20, 20, 30, 30)); }, true, a},
        {"Subtract covered",
         [a](R& r) {
             r.Set(9, 9, 9, 9);
             return R::Subtract(r, a, R(-1, -1, 11, 11));
         },
         false, R()},
        {"Subtract null a",
         [](R& r) {
             r.Set(9, 9, 9, 9);
             return R::Subtract(r, R(1, 1, 1, 5), R(0, 0, 2, 2));
         },
         false, R()},
        {"Subtract aliasing b",
         [a](R& r) {
             r.Set(-1, -1, 4, 11);
             return R::Subtract(r, a, r);
         },
         true, R(4, 0, 10, 10)},
    };
    for (const Case& c : cases) {
        R r;
        EXPECT_EQ(c.op(r), c.result) << c.what;
        EXPECT_EQ(Str(r), Str(c.expected)) << c.what;
    }
}

TEST(DoubleRect, Predicates) {
    R e;
    e.SetEmpty();
    EXPECT_TRUE(e.IsEmpty());
    EXPECT_FALSE(e.IsNull());
    EXPECT_TRUE(R(5, 5, 5, 9).IsNull());
    EXPECT_TRUE(R(0, 0, 0, 0).IsNull());
    EXPECT_FALSE(R(0, 0, 0, 0).IsEmpty());
    EXPECT_TRUE(R(0, 0, 1, 1).Intersects(R(1, 1, 2, 2)));
    EXPECT_TRUE(R(0, 0, 1, 1).Intersects(R(0.5, 0.5, 0.5, 0.5)));  // a point inside
    EXPECT_FALSE(R(0, 0, 1, 1).Intersects(R(1.5, 0, 2, 1)));
    EXPECT_TRUE(R(1, 1, 2, 2).IsInside(R(0, 0, 3, 3)));
    EXPECT_TRUE(R(0, 0, 3, 3).IsInside(R(0, 0, 3, 3)));
    EXPECT_FALSE(R(0, 0, 3, 3).IsInside(R(1, 1, 2, 2)));
    EXPECT_TRUE(R(1, 2, 3, 4).Equals(R(1, 2, 3, 4)));
    EXPECT_FALSE(R(1, 2, 3, 4).Equals(R(1, 2, 3, 5)));

    double x, y;
    R(0, 0, 4, 2).GetCenter(x, y);
    EXPECT_EQ(x, 2);
    EXPECT_EQ(y, 1);
    DoublePoint pts[5];
    R(1, 2, 3, 4).GetCorners(pts);
    const double want[5][2] = {{1, 4}, {3, 4}, {3, 2}, {1, 2}, {1, 4}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pts[i].x, want[i][0]);
        EXPECT_EQ(pts[i].y, want[i][1]);
    }
}

}  // namespace
