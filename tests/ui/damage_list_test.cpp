// The changed squares of a window kept apart, as a present damages them.
#include "ui/damage_list.h"

#include <gtest/gtest.h>

namespace {

bool Covers(const DamageList& list, int x, int y) {
    for (const PictureRect& r : list.Rects()) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
}

}  // namespace

TEST(DamageList, TheTwoMetersTipsStayTwoSquaresAndOverlapsJoin) {
    DamageList damage;
    damage.Add(PictureRect{100, 40, 130, 70});  // left tip
    damage.Add(PictureRect{900, 40, 930, 70});  // right tip
    ASSERT_EQ(damage.Rects().size(), 2u);
    // An overlapping square joins the one it meets; one between them that
    // touches both joins all three.
    damage.Add(PictureRect{120, 60, 140, 80});
    ASSERT_EQ(damage.Rects().size(), 2u);
    damage.Add(PictureRect{140, 50, 900, 55});
    ASSERT_EQ(damage.Rects().size(), 1u);
    EXPECT_EQ(damage.Rects()[0].left, 100);
    EXPECT_EQ(damage.Rects()[0].right, 930);
    EXPECT_EQ(damage.Rects()[0].bottom, 80);
    damage.Add(PictureRect{5, 5, 5, 50});  // empty
    EXPECT_EQ(damage.Rects().size(), 1u);
    // Squares that only touch an edge, above or left, join it too.
    damage.Add(PictureRect{100, 30, 110, 40});
    damage.Add(PictureRect{90, 60, 100, 65});
    ASSERT_EQ(damage.Rects().size(), 1u);
    EXPECT_EQ(damage.Rects()[0].top, 30);
    EXPECT_EQ(damage.Rects()[0].left, 90);
}

TEST(DamageList, PastTheLimitTheClosestAreJoinedAndNothingIsLost) {
    DamageList damage;
    const int lefts[] = {0, 200, 210 + 3, 600, 900, 1000};
    for (int left : lefts) damage.Add(PictureRect{left, 0, left + 8, 8});
    EXPECT_LE(damage.Rects().size(), DamageList::MOST_RECTS);
    for (int left : lefts) {
        EXPECT_TRUE(Covers(damage, left, 0)) << left;
        EXPECT_TRUE(Covers(damage, left + 7, 7)) << left;
    }
    // The two nearest (200 and 213) went together, not the far ends.
    EXPECT_FALSE(Covers(damage, 100, 4));
    EXPECT_FALSE(Covers(damage, 700, 4));
}
