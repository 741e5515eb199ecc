#include "app/platform/manual_scheduler.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

using namespace kavelo;

namespace {

// Whole microseconds: dates near today carry about 0.2 µs of rounding.
double since(const ManualScheduler& s, Date start) { return std::round((s.now() - start).count() * 1e6) / 1e6; }

} // namespace

TEST(ManualScheduler, RunsDueWorkInTimeThenOrderWithTheClockAtEachDueTime)
{
    ManualScheduler s;
    const Date start = s.now();
    std::vector<std::pair<int, double>> ran;
    auto record = [&](int id) { return [&, id] { ran.push_back({id, since(s, start)}); }; };
    auto a = s.after(2.0, record(1));
    auto b = s.after(1.0, record(2));
    auto c = s.after(1.0, record(3));
    auto d = s.after(5.0, record(4));

    EXPECT_EQ(s.advance(3.0), 3u);
    EXPECT_EQ(ran, (std::vector<std::pair<int, double>>{{2, 1.0}, {3, 1.0}, {1, 2.0}}));
    EXPECT_DOUBLE_EQ(since(s, start), 3.0);
    EXPECT_TRUE(d.pending());
    EXPECT_FALSE(a.pending());
    s.advance(2.0);
    EXPECT_EQ(ran.back(), (std::pair<int, double>{4, 5.0}));
}

TEST(ManualScheduler, WorkScheduledDuringAnAdvanceRunsWhenItFallsDueWithinIt)
{
    ManualScheduler s;
    const Date start = s.now();
    std::vector<std::pair<int, double>> ran;
    Handle inner;
    auto outer = s.after(1.0, [&] {
        ran.push_back({1, since(s, start)});
        inner = s.after(0.5, [&] { ran.push_back({2, since(s, start)}); });
        s.post([&] { ran.push_back({3, since(s, start)}); });
    });
    auto late = s.after(1.2, [&] { ran.push_back({4, since(s, start)}); });
    s.advance(2.0);
    EXPECT_EQ(ran, (std::vector<std::pair<int, double>>{{1, 1.0}, {3, 1.0}, {4, 1.2}, {2, 1.5}}));
}

TEST(ManualScheduler, RepeatsUntilCancelledAndDroppedHandlesCancel)
{
    ManualScheduler s;
    int ticks = 0;
    Handle repeat = s.every(0.4, [&] { ++ticks; });
    s.advance(2.0);
    EXPECT_EQ(ticks, 5);
    s.cancel(repeat);
    s.advance(2.0);
    EXPECT_EQ(ticks, 5);

    int fired = 0;
    {
        Handle dropped = s.after(1.0, [&] { ++fired; });
    }
    Handle replaced = s.after(1.0, [&] { ++fired; });
    replaced = s.after(3.0, [&] { fired += 10; });
    s.advance(1.5);
    EXPECT_EQ(fired, 0);
    s.advance(2.0);
    EXPECT_EQ(fired, 10);
    EXPECT_EQ(s.pendingCount(), 0u);
}

TEST(ManualScheduler, RepeatingWorkMayCancelItselfAndDropItsOwnHandle)
{
    ManualScheduler s;
    int ticks = 0;
    Handle self;
    self = s.every(1.0, [&] {
        if (++ticks == 3)
            self = Handle();
    });
    s.advance(10.0);
    EXPECT_EQ(ticks, 3);
}

TEST(ManualScheduler, PostIsSafeFromOtherThreadsAndRunsOnTheNextAdvance)
{
    ManualScheduler s;
    std::atomic<int> posted{0};
    int ran = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                s.post([&] { ++ran; });
                ++posted;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(s.runPending(), 400u);
    EXPECT_EQ(ran, 400);
}

TEST(ManualScheduler, GuardStopsWorkThatNeverEnds)
{
    ManualScheduler s;
    s.maxRunsPerAdvance = 1000;
    Handle spin = s.every(0.0, [] {});
    EXPECT_THROW(s.advance(1.0), SchedulerRunaway);

    ManualScheduler t;
    t.maxRunsPerAdvance = 1000;
    std::function<void()> again = [&] { t.post(again); };
    t.post(again);
    EXPECT_THROW(t.runPending(), SchedulerRunaway);
}

TEST(ManualScheduler, LivenessGuardDropsWorkOfAGoneOwner)
{
    ManualScheduler s;
    int ran = 0;
    auto owner = std::make_unique<Liveness>();
    s.post(owner->guard([&] { ++ran; }));
    s.post(owner->guard([&] { ++ran; }));
    s.runPending();
    s.post(owner->guard([&] { ++ran; }));
    owner.reset();
    s.runPending();
    EXPECT_EQ(ran, 2);
}

TEST(ManualScheduler, HandlesOutlivingTheSchedulerAreHarmless)
{
    Handle h;
    {
        ManualScheduler s;
        h = s.after(1.0, [] {});
    }
    EXPECT_FALSE(h.pending());
    h.cancel();
}

// Random one-shot schedules, some made from inside running work, some
// cancelled: the runs must come in (due, order) sequence, each at its due
// time, and exactly the uncancelled ones due within the span run. Due times
// reached by different sums of seconds count as the same moment.
RC_GTEST_PROP(ManualSchedulerProperty, RunsRandomSchedulesInDueThenOrderSequence, ())
{
    struct Plan {
        int delayTenths;
        bool cancelled;
        int childDelayTenths;  // -1: no child
    };
    const auto plans = *rc::gen::container<std::vector<Plan>>(rc::gen::build<Plan>(
        rc::gen::set(&Plan::delayTenths, rc::gen::inRange(0, 30)),
        rc::gen::set(&Plan::cancelled, rc::gen::arbitrary<bool>()),
        rc::gen::set(&Plan::childDelayTenths, rc::gen::inRange(-1, 20))));
    const int spanTenths = *rc::gen::inRange(0, 50);

    ManualScheduler s;
    const Date start = s.now();
    struct Run {
        int due;
        std::uint64_t order;
        double at;
    };
    std::vector<Run> runs;
    std::vector<Handle> handles;
    std::uint64_t order = 0;
    std::size_t expected = 0;

    std::function<void(int, int, int)> add = [&](int now, int due, int child) {
        const std::uint64_t mine = order++;
        handles.push_back(s.after((due - now) / 10.0, [&, due, mine, child] {
            runs.push_back({due, mine, since(s, start)});
            if (child >= 0)
                add(due, due + child, -1);
        }));
    };
    for (const auto& p : plans) {
        add(0, p.delayTenths, p.childDelayTenths);
        if (p.cancelled) {
            handles.back().cancel();
        } else if (p.delayTenths <= spanTenths) {
            ++expected;
            if (p.childDelayTenths >= 0 && p.delayTenths + p.childDelayTenths <= spanTenths)
                ++expected;
        }
    }
    s.advance(spanTenths / 10.0);

    RC_ASSERT(runs.size() == expected);
    for (std::size_t i = 0; i < runs.size(); ++i) {
        RC_ASSERT(runs[i].at == runs[i].due / 10.0);
        if (i > 0)
            RC_ASSERT(runs[i - 1].due < runs[i].due ||
                      (runs[i - 1].due == runs[i].due && runs[i - 1].order < runs[i].order));
    }
    RC_ASSERT(since(s, start) == spanTenths / 10.0);
}

// A user or a time server setting the clock moves the wall time alone: no
// timer fires early, none waits for the wall clock to catch up.
TEST(ManualScheduler, AStepOfTheWallClockNeitherFiresNorDelaysWork)
{
    for (double step : {3600.0, -3600.0}) {
        SCOPED_TRACE(step);
        ManualScheduler s;
        const Date start = s.now();
        int ticks = 0;
        bool once = false;
        Handle repeat = s.every(1.0, [&] { ++ticks; });
        Handle later = s.after(10.0, [&] { once = true; });
        s.advance(2.5);
        s.clock().stepWall(Seconds(step));
        EXPECT_EQ(s.advance(0.0), 0u);
        EXPECT_EQ(ticks, 2);
        EXPECT_DOUBLE_EQ(s.clock().monotonic().count(), 2.5);
        s.advance(7.0);
        EXPECT_EQ(ticks, 9);
        EXPECT_FALSE(once);
        s.advance(0.5);
        EXPECT_TRUE(once);
        EXPECT_NEAR((s.now() - start).count(), 10.0 + step, 1e-6);
        EXPECT_NEAR((*s.nextDue() - start).count(), 11.0 + step, 1e-6);
        // Setting the wall clock back through `set` is a step too.
        s.clock().set(s.now() - Seconds(100));
        EXPECT_EQ(s.advance(0.9), 0u);
        EXPECT_EQ(s.advance(0.1), 1u);
    }
}
