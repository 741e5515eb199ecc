#include "core/screen_coordinates.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>

using namespace kavelo;

TEST(ScreenCoordinates, FlipsBetweenTheTwoSpaces)
{
    using ScreenCoordinates::flip;
    EXPECT_EQ(flip(Rect(0, 0, 1440, 900), 900), Rect(0, 0, 1440, 900));
    EXPECT_EQ(flip(Rect(100, 100, 200, 50), 900), Rect(100, 750, 200, 50));
    // A display above the primary one ends up at negative y.
    EXPECT_EQ(flip(Rect(0, 900, 1920, 1080), 900), Rect(0, -1080, 1920, 1080));
    // One below it, and one to the left with an odd height.
    EXPECT_EQ(flip(Rect(200, -768, 1366, 768), 900), Rect(200, 900, 1366, 768));
    EXPECT_EQ(flip(Rect(-1365, 13, 1365, 767), 900), Rect(-1365, 120, 1365, 767));
    // A negative size comes out normalised.
    EXPECT_EQ(flip(Rect(300, 150, -200, -50), 900), Rect(100, 750, 200, 50));
}

RC_GTEST_PROP(ScreenCoordinatesProperties, FlippingTwiceGivesTheRectangleBack,
              (int x, int y, unsigned w, unsigned h, unsigned primary, bool halves))
{
    // Screen geometry comes in whole and half points; those flip back exactly.
    const double step = halves ? 0.5 : 1;
    const Rect r((x % 20000) * step, (y % 20000) * step, (w % 10000) * step, (h % 10000) * step);
    const double primaryHeight = (primary % 5000) * step;
    const Rect once = ScreenCoordinates::flip(r, primaryHeight);
    RC_ASSERT(once.size == r.size);
    RC_ASSERT(ScreenCoordinates::flip(once, primaryHeight) == r);
}

RC_GTEST_PROP(ScreenCoordinatesProperties, FlippingAnyRectangleTwiceComesBackWithinRounding, ())
{
    const auto value = [] { return *rc::gen::map(rc::gen::inRange(-4000000, 4000000), [](int v) { return v / 997.0; }); };
    const Rect r(value(), value(), std::abs(value()), std::abs(value()));
    const double primaryHeight = std::abs(value());
    const Rect back = ScreenCoordinates::flip(ScreenCoordinates::flip(r, primaryHeight), primaryHeight);
    RC_ASSERT(back.origin.x == r.origin.x);
    RC_ASSERT(back.size == r.size);
    RC_ASSERT(std::abs(back.origin.y - r.origin.y) <= 1e-9);
}
