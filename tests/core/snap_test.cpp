#include "core/snap.h"
#include "core/tile_floor.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace kavelo;

namespace {

bool near(double a, double b)
{
    return std::abs(a - b) <= 1e-9 * std::max({1.0, std::abs(a), std::abs(b)});
}

} // namespace

TEST(Snap, RawValuesAreTheCaseNamesInOrder)
{
    const char* names[] = {"left",        "right",      "top",      "bottom", "leftThird",
                           "centerThird", "rightThird", "maximize", "center"};
    ASSERT_EQ(allSnaps.size(), std::size(names));
    for (std::size_t i = 0; i < allSnaps.size(); ++i) {
        EXPECT_EQ(rawValue(allSnaps[i]), names[i]);
        EXPECT_EQ(Snap_from(names[i]), allSnaps[i]);
    }
    EXPECT_EQ(Snap_from("Left"), std::nullopt);
    EXPECT_EQ(Snap_from("LEFTTHIRD"), std::nullopt);
    EXPECT_EQ(Snap_from(""), std::nullopt);
}

TEST(Snap, EveryTargetOnAnOffsetOddScreen)
{
    const Rect r(1920, 25, 2561, 1415);
    const Size any(800, 600);
    EXPECT_EQ(frame(Snap::left, r, any), Rect(1920, 25, 1280.5, 1415));
    EXPECT_EQ(frame(Snap::right, r, any), Rect(3200.5, 25, 1280.5, 1415));
    EXPECT_EQ(frame(Snap::top, r, any), Rect(1920, 25, 2561, 707.5));
    EXPECT_EQ(frame(Snap::bottom, r, any), Rect(1920, 732.5, 2561, 707.5));
    EXPECT_EQ(frame(Snap::leftThird, r, any), Rect(1920, 25, 2561.0 / 3, 1415));
    EXPECT_EQ(frame(Snap::centerThird, r, any), Rect(1920 + 2561.0 / 3, 25, 2561.0 / 3, 1415));
    EXPECT_EQ(frame(Snap::rightThird, r, any), Rect(1920 + 2 * 2561.0 / 3, 25, 2561.0 / 3, 1415));
    EXPECT_EQ(frame(Snap::maximize, r, any), r);
    EXPECT_EQ(frame(Snap::center, r, any), Rect(1920 + 880.5, 25 + 407.5, 800, 600));

    // A screen left of and above the primary one.
    const Rect s(-1367, -211, 1365, 767);
    EXPECT_EQ(frame(Snap::right, s, any), Rect(-684.5, -211, 682.5, 767));
    EXPECT_EQ(frame(Snap::bottom, s, any), Rect(-1367, 172.5, 1365, 383.5));
    EXPECT_EQ(frame(Snap::center, s, Size(1365, 1000)), Rect(-1367, -211, 1365, 767));
}

TEST(Snap, CenterKeepsTheWindowSizeWithinTheRectangle)
{
    const Rect r(0, 25, 1440, 875);
    EXPECT_EQ(frame(Snap::center, r, Size(400, 300)), Rect(520, 312.5, 400, 300));
    EXPECT_EQ(frame(Snap::center, r, Size(5000, 4000)), r);
    EXPECT_EQ(frame(Snap::center, r, Size(5000, 300)), Rect(0, 312.5, 1440, 300));
    EXPECT_EQ(frame(Snap::center, r, Size(0, 0)), Rect(720, 462.5, 0, 0));
}

TEST(Snap, ThirdsAreNotRounded)
{
    const Rect r(0, 0, 1000, 800);
    const Rect third = frame(Snap::rightThird, r, Size());
    EXPECT_NEAR(third.origin.x, 666.67, 0.005);
    EXPECT_NEAR(third.size.width, 333.33, 0.005);
    EXPECT_EQ(third.origin.x, 2000.0 / 3);
}

TEST(Snap, ARectangleWithANegativeSizeIsNormalised)
{
    const Rect flipped(1000, 800, -1000, -800);
    for (Snap s : allSnaps)
        EXPECT_EQ(frame(s, flipped, Size(200, 100)), frame(s, Rect(0, 0, 1000, 800), Size(200, 100)))
            << rawValue(s);
}

// A window size that cannot be real would otherwise give a frame with a
// negative or undefined extent; the window then takes the whole length.
TEST(Snap, CenterWithAnImpossibleWindowSizeFillsThatLength)
{
    const Rect r(10, 20, 1000, 800);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(frame(Snap::center, r, Size(nan, 100)), Rect(10, 370, 1000, 100));
    EXPECT_EQ(frame(Snap::center, r, Size(200, -5)), Rect(410, 20, 200, 800));
    EXPECT_EQ(frame(Snap::center, r, Size(inf, inf)), r);
}

RC_GTEST_PROP(SnapProperties, TargetsTileTheRectangle, (int x, int y, unsigned w, unsigned h, bool halfPoint))
{
    const double ox = (x % 10000) + (halfPoint ? 0.5 : 0);
    const double oy = (y % 10000) - (halfPoint ? 0.5 : 0);
    const Rect r(ox, oy, static_cast<double>(w % 8000) + 1, static_cast<double>(h % 5000) + 1);
    const auto cw = *rc::gen::inRange(0, 9000);
    const auto ch = *rc::gen::inRange(0, 6000);
    const Size current(cw, ch);

    const Size floor = TileFloor::of(r);
    for (Snap s : allSnaps) {
        const Rect f = frame(s, r, current);
        // Centring keeps the window's size: it never makes one smaller.
        RC_ASSERT(TileFloor::holds(f, s == Snap::center ? Size(std::min<double>(cw, floor.width),
                                                               std::min<double>(ch, floor.height))
                                                        : floor));
        RC_ASSERT(f.minX() >= r.minX() - 1e-9);
        RC_ASSERT(f.minY() >= r.minY() - 1e-9);
        RC_ASSERT(f.maxX() <= r.maxX() + 1e-6);
        RC_ASSERT(f.maxY() <= r.maxY() + 1e-6);
    }

    const Rect c = frame(Snap::center, r, current);
    RC_ASSERT(c.size == Size(std::min<double>(cw, r.width()), std::min<double>(ch, r.height())));
    RC_ASSERT(near(c.midX(), r.midX()));
    RC_ASSERT(near(c.midY(), r.midY()));

    // Thirds hold the floor from 360 points on, halves from 240.
    if (r.width() < 360 || r.height() < 240)
        return;
    const Rect left = frame(Snap::left, r, current), right = frame(Snap::right, r, current);
    RC_ASSERT(left.maxX() == right.minX());
    RC_ASSERT(near(right.maxX(), r.maxX()));
    RC_ASSERT(left.size.height == r.height() && right.size.height == r.height());

    const Rect top = frame(Snap::top, r, current), bottom = frame(Snap::bottom, r, current);
    RC_ASSERT(top.maxY() == bottom.minY());
    RC_ASSERT(near(bottom.maxY(), r.maxY()));

    const Rect t0 = frame(Snap::leftThird, r, current);
    const Rect t1 = frame(Snap::centerThird, r, current);
    const Rect t2 = frame(Snap::rightThird, r, current);
    RC_ASSERT(t0.minX() == r.minX());
    RC_ASSERT(t0.maxX() == t1.minX());
    RC_ASSERT(near(t1.maxX(), t2.minX()));
    RC_ASSERT(near(t2.maxX(), r.maxX()));
    RC_ASSERT(t0.size == t1.size && t1.size == t2.size);

    RC_ASSERT(frame(Snap::maximize, r, current) == r);
}
