#pragma once

// The scheduler of tests: time stands still until `advance` moves it, and
// then due work runs in (due time, scheduling order) sequence with the clock
// set to each due time in turn. Due times follow the monotonic clock, so a
// step of the wall clock neither fires nor delays any work.

#include "app/platform/scheduler.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace kavelo {

class ManualClock : public Clock {
public:
    explicit ManualClock(Date start = dateFromEpochSeconds(1'800'000'000)) : now_(start) {}
    Date now() const override;
    // Starts at 0; moves forward with `set` and `advance`, never back.
    Seconds monotonic() const override;
    // Forward, both clocks move; back, only the wall clock (a step).
    void set(Date date);
    void advance(Seconds by) { set(now() + by); }
    // Steps the wall clock alone, as a user or a time server setting it does.
    void stepWall(Seconds by);
    // The sum of the wall clock's steps: wall time less this runs with the
    // monotonic clock.
    Seconds wallSteps() const;

private:
    mutable std::mutex mutex_;
    Date now_;
    Seconds monotonic_{0};
    Seconds stepped_{0};
};

// Thrown by `advance` when one call runs more work than `maxRunsPerAdvance`:
// almost certainly a repeat with no interval or work that re-posts itself.
struct SchedulerRunaway : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class ManualScheduler : public Scheduler {
public:
    explicit ManualScheduler(Date start = dateFromEpochSeconds(1'800'000'000)) : clock_(start) {}
    ~ManualScheduler() override;

    using Scheduler::after;
    using Scheduler::every;
    Handle after(Seconds delay, std::function<void()> work) override;
    Handle every(Seconds interval, std::function<void()> work) override;
    void post(std::function<void()> work) override;

    ManualClock& clock() { return clock_; }
    Date now() const { return clock_.now(); }

    // Moves time forward by `by` (0 runs what is due now, posted work
    // included). Work scheduled while advancing runs too when it falls due
    // within the span. Returns how many pieces of work ran.
    std::size_t advance(Seconds by);
    std::size_t advance(double seconds) { return advance(Seconds(seconds)); }
    std::size_t runPending() { return advance(Seconds(0)); }

    // Work that may still run (cancelled work is not counted).
    std::size_t pendingCount() const;
    std::optional<Date> nextDue() const;

    std::size_t maxRunsPerAdvance = 100'000;

private:
    // Times here are wall times less the wall clock's steps, which run with
    // the monotonic clock yet read exactly as the dates they were set to.
    struct Entry {
        std::shared_ptr<Handle::State> state;
        std::shared_ptr<std::function<void()>> work;
        Date base;            // a repeat's n-th run is due at base + n × interval
        Seconds interval{0};
        std::int64_t runs = 0;
        bool repeats = false;
        Date due() const { return base + interval * double(repeats ? runs + 1 : 0); }
    };
    // Due times on a microsecond grid, so that work due at the same moment
    // by different sums of seconds runs in scheduling order.
    using Key = std::pair<std::int64_t, std::uint64_t>;
    static std::int64_t tick(Date date);
    static Date dateOf(std::int64_t tick);

    Date steady() const { return clock_.now() - clock_.wallSteps(); }
    void moveTo(Date steadyTime) { clock_.set(steadyTime + clock_.wallSteps()); }
    Handle schedule(Entry entry);
    void insert(Entry entry);
    void dropCancelled();

    ManualClock clock_;
    mutable std::mutex mutex_;
    std::map<Key, Entry> queue_;
    std::uint64_t nextOrder_ = 0;
};

} // namespace kavelo
