#pragma once

// Time and deferred work. Nothing above the platform layer reads the clock
// or starts a timer any other way, so tests can drive time by hand.

#include "app/platform/handle.h"
#include "core/date.h"

#include <functional>

namespace kavelo {

class Clock {
public:
    virtual ~Clock() = default;
    // Wall time, for what is stored and shown.
    virtual Date now() const = 0;
    // Seconds on a clock that never steps, for timers, animations and
    // durations: a change of the wall clock must not jump them.
    virtual Seconds monotonic() const = 0;
};

// All work runs on the main thread. Dropping a handle cancels its work.
class Scheduler {
public:
    virtual ~Scheduler() = default;

    // Runs `work` once, `delay` seconds from now (at once for a delay of 0 or
    // less, but never inside this call).
    [[nodiscard]] virtual Handle after(Seconds delay, std::function<void()> work) = 0;
    // Runs `work` every `interval` seconds until cancelled; the first run is
    // one interval from now.
    [[nodiscard]] virtual Handle every(Seconds interval, std::function<void()> work) = 0;
    // Queues `work` on the main thread after what is already queued. The one
    // call that is safe from any thread; pair it with a Liveness guard when
    // the owner may go away first.
    virtual void post(std::function<void()> work) = 0;

    void cancel(Handle& handle) { handle.cancel(); }

    Handle after(double seconds, std::function<void()> work) { return after(Seconds(seconds), std::move(work)); }
    Handle every(double seconds, std::function<void()> work) { return every(Seconds(seconds), std::move(work)); }
};

} // namespace kavelo
