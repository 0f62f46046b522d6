// Regions as rectangle lists: the update regions and clips the window system and GDI share.
#include <gtest/gtest.h>

#include "gdi/surface.h"

namespace {

// The area a list covers, counted pixel by pixel, so overlaps would count twice.
long coveredArea(const ce::RectList& list) {
    long area = 0;
    for (const RECT& r : list.rects)
        area += long(r.right - r.left) * (r.bottom - r.top);
    return area;
}

bool coversExactly(const ce::RectList& list, const std::vector<RECT>& expected) {
    for (int y = -2; y < 40; ++y) {
        for (int x = -2; x < 40; ++x) {
            bool want = false;
            for (const RECT& r : expected)
                want = want || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            if (list.contains({x, y}) != want) return false;
        }
    }
    return true;
}

TEST(RectList, UnionOfOverlappingRectanglesStaysDisjoint) {
    ce::RectList list;
    list.add({0, 0, 10, 10});
    list.add({5, 5, 15, 15});
    list.add({0, 0, 10, 10}); // already covered: adds nothing
    EXPECT_EQ(coveredArea(list), 100 + 100 - 25);
    EXPECT_TRUE(coversExactly(list, {{0, 0, 10, 10}, {5, 5, 15, 15}}));
    RECT b = list.bounds();
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.bottom, 15);
}

TEST(RectList, SubtractingTheMiddleLeavesAFrame) {
    ce::RectList list;
    list.add({0, 0, 30, 30});
    list.subtract({10, 10, 20, 20});
    EXPECT_EQ(coveredArea(list), 900 - 100);
    EXPECT_FALSE(list.contains({15, 15}));
    EXPECT_TRUE(list.contains({9, 15}));
    EXPECT_TRUE(list.contains({20, 15}));
    list.subtract({0, 0, 30, 30});
    EXPECT_TRUE(list.empty());
}

TEST(RectList, IntersectionWithRectanglesAndLists) {
    ce::RectList list;
    list.add({0, 0, 20, 20});
    list.subtract({5, 0, 15, 20}); // two columns
    ce::RectList band;
    band.add({0, 8, 30, 12});
    band.add({0, 0, 2, 2});
    list.intersect(band);
    EXPECT_TRUE(coversExactly(list, {{0, 8, 5, 12}, {15, 8, 20, 12}, {0, 0, 2, 2}}));
    list.intersect(RECT{100, 100, 200, 200});
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.bounds().right, 0);
}

TEST(RectList, EmptyRectanglesAreIgnoredAndOffsetMoves) {
    ce::RectList list;
    list.add({5, 5, 5, 10});
    list.add({5, 5, 2, 2});
    EXPECT_TRUE(list.empty());
    list.add({0, 0, 4, 4});
    list.offset(10, -2);
    EXPECT_TRUE(coversExactly(list, {{10, -2, 14, 2}}));
}

} // namespace
