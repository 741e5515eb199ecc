#pragma once

// Production time: timers on the Qt event loop of the thread that made the
// scheduler (the main thread), and the system clock. Qt's timers run on the
// monotonic clock, so a step of the wall clock neither fires nor delays them.

#include "app/platform/scheduler.h"

#include <memory>

class QObject;

namespace kavelo {

class SystemClock : public Clock {
public:
    Date now() const override;
    Seconds monotonic() const override;
};

class QtScheduler : public Scheduler {
public:
    // Intervals up to this use precise timers (the 1/60 s animation needs
    // them); longer ones may be coalesced by the system.
    static constexpr double preciseLimit = 2.0;

    QtScheduler();
    ~QtScheduler() override;

    using Scheduler::after;
    using Scheduler::every;
    Handle after(Seconds delay, std::function<void()> work) override;
    Handle every(Seconds interval, std::function<void()> work) override;
    void post(std::function<void()> work) override;

    // `ready` whenever `fd` turns readable, on this loop, until the handle goes.
    Handle watchReadable(int fd, std::function<void()> ready);

private:
    Handle start(Seconds interval, bool repeats, std::function<void()> work);
    std::unique_ptr<QObject> context_;
};

} // namespace kavelo
