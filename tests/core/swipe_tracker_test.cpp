#include "core/swipe_tracker.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

using namespace kavelo;

namespace {

// Fingers side by side around a mean point, as they rest on a pad.
std::vector<Point> fingersAt(int count, double x, double y)
{
    std::vector<Point> out;
    for (int i = 0; i < count; ++i) {
        const double offset = 0.0625 * (i - (count - 1) / 2.0);
        out.emplace_back(x + offset, y + offset / 2);
    }
    return out;
}

// Feeds frames of one finger count, 10 ms apart.
struct Pad {
    SwipeTracker tracker{3};
    double time = 100;

    std::optional<SwipeEvent> frame(int count, double x, double y, double step = 0.01)
    {
        time += step;
        const auto touches = fingersAt(count, x, y);
        return tracker.update(touches, time);
    }
    std::optional<SwipeEvent> lift() { return tracker.update({}, time += 0.01); }
};

double movedBy(const std::optional<SwipeEvent>& e)
{
    EXPECT_TRUE(e && e->kind == SwipeEvent::Kind::moved) << (e ? "" : "no event");
    return e ? e->dx : std::nan("");
}

} // namespace

TEST(SwipeTracker, StartsIdle)
{
    const SwipeTracker t(4);
    EXPECT_EQ(t.fingers, 4);
    EXPECT_EQ(t.start, std::nullopt);
    EXPECT_EQ(t.last, Point(0, 0));
    EXPECT_EQ(t.lastTime, 0);
    EXPECT_EQ(t.velocity, 0);
    EXPECT_FALSE(t.tracking);
    EXPECT_FALSE(t.ignored);
}

TEST(SwipeTracker, RestingFingersNeverSwipe)
{
    Pad pad;
    for (int i = 0; i < 2000; ++i)
        EXPECT_EQ(pad.frame(3, 0.5 + 0.029 * std::sin(i), 0.4 + 0.029 * std::cos(i)), std::nullopt);
    EXPECT_FALSE(pad.tracker.tracking);
    EXPECT_EQ(pad.lift(), std::nullopt);
}

TEST(SwipeTracker, BeginsPastTheThresholdFromWhereTheFingersRested)
{
    Pad pad;
    EXPECT_EQ(pad.frame(3, 0.40, 0.5), std::nullopt);
    EXPECT_EQ(pad.frame(3, 0.42, 0.5), std::nullopt);
    EXPECT_EQ(pad.frame(3, 0.435, 0.5), SwipeEvent::began());
    EXPECT_NEAR(movedBy(pad.frame(3, 0.436, 0.5)), 0.001, 1e-12);
    // Once under way, small and vertical movements still count.
    EXPECT_NEAR(movedBy(pad.frame(3, 0.436, 0.9)), 0, 1e-12);
    EXPECT_NEAR(movedBy(pad.frame(3, 0.430, 0.9)), -0.006, 1e-12);
}

TEST(SwipeTracker, AVerticalStartIsIgnoredUntilTheFingersChange)
{
    Pad pad;
    pad.frame(3, 0.5, 0.5);
    EXPECT_EQ(pad.frame(3, 0.51, 0.46), std::nullopt);
    EXPECT_TRUE(pad.tracker.ignored);
    for (double x = 0.51; x < 0.9; x += 0.05)
        EXPECT_EQ(pad.frame(3, x, 0.46), std::nullopt);
    EXPECT_FALSE(pad.tracker.tracking);
    // Lifting ends the touch silently; a new touch can swipe again.
    EXPECT_EQ(pad.lift(), std::nullopt);
    EXPECT_FALSE(pad.tracker.ignored);
    EXPECT_EQ(pad.frame(3, 0.5, 0.5), std::nullopt);
    EXPECT_EQ(pad.frame(3, 0.55, 0.5), SwipeEvent::began());
}

TEST(SwipeTracker, ExactlyDiagonalMovementNeverStarts)
{
    SwipeTracker t(3);
    for (double d : {0.0, 0.02, 0.05, 0.2, 0.4}) {
        const std::vector<Point> touches{{0.3 + d, 0.3 + d}, {0.35 + d, 0.35 + d}, {0.4 + d, 0.4 + d}};
        EXPECT_EQ(t.update(touches, 1 + d), std::nullopt);
    }
    EXPECT_FALSE(t.tracking);
}

TEST(SwipeTracker, LiftingAFingerEndsWithTheSmoothedSpeed)
{
    Pad pad;
    pad.frame(3, 0.2, 0.5);
    EXPECT_EQ(pad.frame(3, 0.25, 0.5), SwipeEvent::began());
    double expected = 0;
    for (int i = 1; i <= 5; ++i) {
        pad.frame(3, 0.25 + 0.01 * i, 0.5); // 0.01 of the pad in 10 ms: 1 pad a second
        expected = 0.7 * expected + 0.3 * 1.0;
    }
    const auto ended = pad.frame(2, 0.3, 0.5);
    ASSERT_TRUE(ended);
    EXPECT_EQ(ended->kind, SwipeEvent::Kind::ended);
    EXPECT_NEAR(ended->velocity, expected, 1e-9);
    EXPECT_NEAR(expected, 1 - std::pow(0.7, 5), 1e-12);
    EXPECT_EQ(pad.tracker.velocity, 0);
    // Back to three fingers: a new touch, no event on its first frame.
    EXPECT_EQ(pad.frame(3, 0.3, 0.5), std::nullopt);
    EXPECT_EQ(pad.tracker.start->x, 0.3);
}

TEST(SwipeTracker, FramesWithTheSameTimeUseTheMinimumStep)
{
    Pad pad;
    pad.frame(3, 0.2, 0.5);
    pad.frame(3, 0.25, 0.5);
    pad.frame(3, 0.26, 0.5, 0);
    EXPECT_NEAR(pad.tracker.velocity, 0.3 * 0.01 / 0.001, 1e-9);
    // A clock that steps back is treated the same way.
    pad.frame(3, 0.27, 0.5, -0.5);
    EXPECT_NEAR(pad.tracker.velocity, 0.7 * 3 + 0.3 * 10, 1e-9);
}

TEST(SwipeTracker, AnotherFingerCountWhileIdleChangesNothing)
{
    SwipeTracker t(3);
    const SwipeTracker before = t;
    EXPECT_EQ(t.update(fingersAt(2, 0.5, 0.5), 1), std::nullopt);
    EXPECT_EQ(t.update(fingersAt(5, 0.5, 0.5), 2), std::nullopt);
    EXPECT_EQ(t.update({}, 3), std::nullopt);
    EXPECT_EQ(t, before);
}

TEST(SwipeTracker, SwipeThatReversesGainsAFingerAndEndsWithAThrow)
{
    Pad pad;
    std::vector<SwipeEvent> events;
    auto feed = [&](std::optional<SwipeEvent> e) {
        if (e)
            events.push_back(*e);
    };
    // Right, slowly, then back to the left.
    feed(pad.frame(3, 0.3, 0.6));
    for (int i = 1; i <= 10; ++i)
        feed(pad.frame(3, 0.3 + 0.008 * i, 0.6 - 0.001 * i));
    const double rightSpeed = pad.tracker.velocity;
    EXPECT_GT(rightSpeed, 0);
    for (int i = 1; i <= 10; ++i)
        feed(pad.frame(3, 0.38 - 0.01 * i, 0.59));
    EXPECT_LT(pad.tracker.velocity, 0);
    // A fourth finger lands: the swipe is over, moving left.
    feed(pad.frame(4, 0.28, 0.59));
    ASSERT_EQ(events.front(), SwipeEvent::began());
    ASSERT_EQ(events.back().kind, SwipeEvent::Kind::ended);
    EXPECT_LT(events.back().velocity, 0);
    // Every frame between began and ended moved; together they add up.
    double total = 0;
    for (size_t i = 1; i + 1 < events.size(); ++i) {
        ASSERT_EQ(events[i].kind, SwipeEvent::Kind::moved);
        total += events[i].dx;
    }
    EXPECT_NEAR(total, 0.28 - (0.3 + 0.008 * 4), 1e-9); // from where it began to where it stopped

    // Four fingers are not a swipe for this tracker; back to three, and throw to the right.
    events.clear();
    for (int i = 0; i < 5; ++i)
        feed(pad.frame(4, 0.28 + 0.05 * i, 0.59));
    EXPECT_TRUE(events.empty());
    feed(pad.frame(3, 0.2, 0.5, 0.008));
    for (int i = 1; i <= 6; ++i)
        feed(pad.frame(3, 0.2 + 0.04 * i, 0.5, 0.008));
    feed(pad.lift());
    ASSERT_EQ(events.size(), 7u); // began, five moves, ended
    EXPECT_EQ(events[0], SwipeEvent::began());
    EXPECT_EQ(events.back().kind, SwipeEvent::Kind::ended);
    EXPECT_GT(events.back().velocity, 2.5); // 5 pads a second, smoothed over five frames
    EXPECT_EQ(pad.lift(), std::nullopt);
}

TEST(SwipeTracker, GarbledFramesAreSkipped)
{
    Pad pad;
    pad.frame(3, 0.2, 0.5);
    pad.frame(3, 0.25, 0.5);
    pad.frame(3, 0.26, 0.5);
    const SwipeTracker before = pad.tracker;
    auto touches = fingersAt(3, 0.27, 0.5);
    touches[1].x = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(pad.tracker.update(touches, pad.time + 0.01), std::nullopt);
    EXPECT_EQ(pad.tracker.update(fingersAt(3, 0.27, 0.5), std::numeric_limits<double>::infinity()), std::nullopt);
    EXPECT_EQ(pad.tracker, before);
    EXPECT_NEAR(movedBy(pad.frame(3, 0.28, 0.5)), 0.02, 1e-12);
    EXPECT_TRUE(std::isfinite(pad.tracker.velocity));
}

TEST(SwipeTracker, NoFingersIsNeverASwipe)
{
    SwipeTracker t(0);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(t.update({}, i), std::nullopt);
    EXPECT_EQ(t, SwipeTracker(0));
}

RC_GTEST_PROP(SwipeTrackerProperties, EventsFollowBeganMovedEnded, ())
{
    const int fingers = *rc::gen::inRange(2, 5);
    SwipeTracker t(fingers);
    const int frames = *rc::gen::inRange(0, 400);
    double time = 0;
    double x = 0.5, y = 0.5;
    bool inSwipe = false;
    for (int i = 0; i < frames; ++i) {
        const int count = *rc::gen::weightedOneOf<int>({{8, rc::gen::just(fingers)}, {1, rc::gen::inRange(0, 6)}});
        x = std::clamp(x + *rc::gen::inRange(-40, 41) / 1000.0, 0.0, 1.0);
        y = std::clamp(y + *rc::gen::inRange(-40, 41) / 1000.0, 0.0, 1.0);
        time += *rc::gen::element(0.0, 0.004, 0.008, 0.011);
        const auto touches = fingersAt(count, x, y);
        const SwipeTracker before = t;
        const auto event = t.update(touches, time);

        if (count != fingers || count == 0) {
            RC_ASSERT(event == (inSwipe ? std::optional(SwipeEvent::ended(before.velocity)) : std::nullopt));
            inSwipe = false;
            RC_ASSERT(!t.start && !t.tracking && !t.ignored && t.velocity == 0);
        } else if (event) {
            if (event->kind == SwipeEvent::Kind::began) {
                RC_ASSERT(!inSwipe && before.start && !before.ignored);
                inSwipe = true;
            } else {
                RC_ASSERT(event->kind == SwipeEvent::Kind::moved);
                RC_ASSERT(inSwipe);
                RC_ASSERT(event->dx == t.last.x - before.last.x);
            }
        } else {
            RC_ASSERT(!inSwipe);
        }
        RC_ASSERT(t.tracking == inSwipe);
        RC_ASSERT(!(t.tracking && t.ignored));
        RC_ASSERT(!t.tracking || t.start);
        RC_ASSERT(std::isfinite(t.velocity));
    }
}
