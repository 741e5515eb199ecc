#include "core/geometry.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

using namespace kavelo;

TEST(Rect, NegativeSizesNormaliseTheirEdges)
{
    const Rect r(10, 20, -4, -6);
    EXPECT_EQ(r.minX(), 6);
    EXPECT_EQ(r.maxX(), 10);
    EXPECT_EQ(r.minY(), 14);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.standardized(), Rect(6, 14, 4, 6));
    EXPECT_EQ(r.area(), 24);
}

TEST(Rect, ContainsIsHalfOpen)
{
    const Rect r(0, 0, 10, 10);
    EXPECT_TRUE(r.contains(Point(0, 0)));
    EXPECT_TRUE(r.contains(Point(9.999, 9.999)));
    EXPECT_FALSE(r.contains(Point(10, 5)));
    EXPECT_FALSE(r.contains(Point(5, 10)));
    EXPECT_FALSE(Rect::null().contains(Point(0, 0)));
}

TEST(Rect, DisjointIntersectionIsNullButTouchingIsEmpty)
{
    const Rect a(0, 0, 10, 10);
    EXPECT_TRUE(a.intersection(Rect(20, 0, 5, 5)).isNull());
    EXPECT_EQ(a.intersection(Rect(20, 0, 5, 5)).area(), 0);
    const Rect touch = a.intersection(Rect(10, 0, 5, 5));
    EXPECT_FALSE(touch.isNull());
    EXPECT_EQ(touch.area(), 0);
    EXPECT_FALSE(a.intersects(Rect(10, 0, 5, 5)));
    EXPECT_EQ(a.intersection(Rect(5, -5, 10, 10)), Rect(5, 0, 5, 5));
}

TEST(Rect, InsetsAndTranspose)
{
    EXPECT_EQ(Rect(0, 0, 100, 50).insetBy(10, 5), Rect(10, 5, 80, 40));
    EXPECT_TRUE(Rect(0, 0, 10, 10).insetBy(6, 0).isNull());
    EXPECT_EQ(inset(Rect(0, 0, 100, 100), EdgeInsets{.top = 25, .left = 10, .bottom = 5, .right = 0}),
              Rect(10, 25, 90, 70));
    EXPECT_EQ(Rect(1, 2, 3, 4).transposed(), Rect(2, 1, 4, 3));
}

RC_GTEST_PROP(RectProperties, IntersectionLiesInsideBoth, (int ax, int ay, unsigned aw, unsigned ah, int bx, int by,
                                                          unsigned bw, unsigned bh))
{
    const Rect a(ax % 1000, ay % 1000, aw % 500, ah % 500);
    const Rect b(bx % 1000, by % 1000, bw % 500, bh % 500);
    const Rect i = a.intersection(b);
    RC_ASSERT(i == b.intersection(a));
    if (!i.isNull()) {
        RC_ASSERT(a.contains(i) || i.area() == 0);
        RC_ASSERT(i.area() <= std::min(a.area(), b.area()));
    }
    RC_ASSERT(a.united(b).area() >= std::max(a.area(), b.area()));
    RC_ASSERT(a.transposed().transposed() == a);
}
