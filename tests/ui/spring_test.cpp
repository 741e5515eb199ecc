#include "app/platform/manual_scheduler.h"
#include "app/ui/spring.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <vector>

using namespace kavelo;

namespace {

// Straightforward numeric integration of the same oscillator.
Spring::State integrate(double response, double damping, Spring::State s, double t)
{
    const double w = 2 * 3.14159265358979323846 / response;
    const double k = w * w, c = 2 * damping * w;
    const int steps = 200000;
    const double h = t / steps;
    for (int i = 0; i < steps; ++i) {
        // Semi-implicit Euler: stable enough at this step for a comparison.
        s.velocity += h * (-k * s.displacement - c * s.velocity);
        s.displacement += h * s.velocity;
    }
    return s;
}

} // namespace

TEST(Spring, MatchesTheOscillatorInEveryDampingRegime)
{
    for (double damping : {0.5, 0.85, 1.0, 1.6}) {
        SCOPED_TRACE(damping);
        const Spring spring(0.3, damping);
        const Spring::State start{1.0, -2.0};
        for (double t : {0.05, 0.2, 0.6}) {
            const auto exact = spring.advance(start, t);
            const auto numeric = integrate(0.3, damping, start, t);
            EXPECT_NEAR(exact.displacement, numeric.displacement, 2e-4);
            EXPECT_NEAR(exact.velocity, numeric.velocity, 5e-3);
        }
    }
}

RC_GTEST_PROP(Spring, AdvancingInTwoStepsEqualsOneStep, ())
{
    const double response = *rc::gen::inRange(5, 200) / 100.0;
    const double damping = *rc::gen::inRange(0, 300) / 100.0;
    const double x0 = *rc::gen::inRange(-1000, 1000) / 10.0;
    const double v0 = *rc::gen::inRange(-1000, 1000) / 10.0;
    const double t1 = *rc::gen::inRange(0, 100) / 100.0;
    const double t2 = *rc::gen::inRange(0, 100) / 100.0;
    const Spring spring(response, damping);
    const auto whole = spring.advance({x0, v0}, t1 + t2);
    const auto parts = spring.advance(spring.advance({x0, v0}, t1), t2);
    const double scale = 1 + std::abs(x0) + std::abs(v0);
    RC_ASSERT(std::abs(whole.displacement - parts.displacement) < 1e-7 * scale);
    RC_ASSERT(std::abs(whole.velocity - parts.velocity) < 1e-5 * scale * (1 + 2 * 3.1416 / response));
}

TEST(Spring, CriticalDampingNeverOvershoots)
{
    const Spring spring(0.2, 1.0);
    for (double t = 0; t < 2; t += 0.01)
        EXPECT_GE(spring.advance({-0.04, 0}, t).displacement, -0.04 - 1e-12);
    for (double t = 0; t < 2; t += 0.01)
        EXPECT_LE(spring.advance({-0.04, 0}, t).displacement, 1e-12);
}

TEST(SpringAnimation, ArrivesStopsAndBendsSmoothlyWhenRetargeted)
{
    ManualScheduler scheduler;
    std::vector<double> heard;
    SpringAnimation anim(Spring(0.2, 0.85), scheduler, scheduler.clock(), [&](double v) { heard.push_back(v); }, 0);
    anim.animate(100);
    EXPECT_TRUE(anim.isAnimating());
    scheduler.advance(0.1);
    const double mid = anim.value();
    EXPECT_GT(mid, 10);
    EXPECT_LT(mid, 100);
    const double speed = anim.velocity();
    EXPECT_GT(speed, 0);

    // A new target keeps position and velocity: no jump.
    anim.animate(0);
    EXPECT_DOUBLE_EQ(anim.value(), mid);
    EXPECT_NEAR(anim.velocity(), speed, 1e-9);

    scheduler.advance(3);
    EXPECT_FALSE(anim.isAnimating());
    EXPECT_EQ(anim.value(), 0);
    EXPECT_EQ(heard.back(), 0);
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    // The underdamped spring went past the new target on the way.
    EXPECT_LT(*std::min_element(heard.begin(), heard.end()), 0);
}

TEST(SpringAnimation, SetJumpsAndAnimatingToWhereItIsDoesNothing)
{
    ManualScheduler scheduler;
    int calls = 0;
    SpringAnimation anim(Spring(0.3, 1), scheduler, scheduler.clock(), [&](double) { ++calls; }, 1);
    anim.animate(1);
    EXPECT_FALSE(anim.isAnimating());
    EXPECT_EQ(calls, 0);
    anim.animate(5);
    scheduler.advance(0.05);
    anim.set(2);
    EXPECT_FALSE(anim.isAnimating());
    EXPECT_EQ(anim.value(), 2);
    const int at = calls;
    scheduler.advance(1);
    EXPECT_EQ(calls, at);
}

// The animation reads the monotonic clock: a step of the wall clock in the
// middle of it neither jumps it to its end nor holds it.
TEST(SpringAnimation, AStepOfTheWallClockDoesNotJumpTheAnimation)
{
    const auto run = [](double step) {
        ManualScheduler s;
        std::vector<double> values;
        SpringAnimation animation(Spring(0.5, 1.0), s, s.clock(), [&](double v) { values.push_back(v); });
        animation.animate(100);
        s.advance(0.1);
        s.clock().stepWall(Seconds(step));
        s.advance(0.1);
        return values;
    };
    const auto steady = run(0);
    ASSERT_FALSE(steady.empty());
    EXPECT_LT(steady.back(), 90);
    for (double step : {3600.0, -3600.0})
        EXPECT_EQ(run(step), steady) << step;
}
