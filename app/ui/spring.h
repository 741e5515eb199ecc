#pragma once

// Spring animation described the declarative way: `response` is the period
// of the undamped oscillation in seconds, `dampingFraction` how much of the
// critical damping applies (1 settles fastest without overshoot, below 1
// overshoots, above 1 creeps). A unit mass on a spring of stiffness
// (2π / response)² with damping 4π × dampingFraction / response.
//
// `SpringAnimation` steps the spring 60 times a second through a Scheduler
// and reads the clock's monotonic time, so tests drive it with the manual
// scheduler. Views and panels are given their `AnimationTime` when made.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "core/date.h"

#include <functional>

namespace kavelo {

// Where widget animations take their time from: the production loop, a
// test's manual scheduler, or the renderer's deterministic settle.
struct AnimationTime {
    Scheduler& scheduler;
    Clock& clock;
};

class Spring {
public:
    Spring(double response, double dampingFraction);

    double response() const { return response_; }
    double dampingFraction() const { return damping_; }

    // Distance from the target and velocity, `t` seconds after the state
    // `from`; exact for any t.
    struct State {
        double displacement = 0;
        double velocity = 0;
    };
    State advance(State from, double t) const;

private:
    double response_;
    double damping_;
    double omega_;   // undamped angular frequency
};

class SpringAnimation {
public:
    static constexpr double frameInterval = 1.0 / 60;

    // `onChange` hears every new value (not the initial one).
    SpringAnimation(Spring spring, Scheduler& scheduler, Clock& clock, std::function<void(double)> onChange,
                    double initial = 0);
    SpringAnimation(Spring spring, AnimationTime time, std::function<void(double)> onChange, double initial = 0)
        : SpringAnimation(spring, time.scheduler, time.clock, std::move(onChange), initial)
    {
    }

    SpringAnimation(const SpringAnimation&) = delete;
    SpringAnimation& operator=(const SpringAnimation&) = delete;

    // Heads for `target` from the current value, keeping the current
    // velocity, so a new target mid-flight bends the motion smoothly.
    void animate(double target);
    // Jumps to `value` and stops.
    void set(double value);

    double value() const { return value_; }
    double target() const { return target_; }
    double velocity() const;
    bool isAnimating() const { return timer_.pending(); }

    // Closer than this to the target, and slower than `restVelocity` per
    // second (`restThreshold` when negative), counts as arrived.
    double restThreshold = 0.0005;
    double restVelocity = -1;

private:
    void step();
    bool resting(const Spring::State& state) const;
    Spring::State stateAt(Seconds now) const;

    Spring spring_;
    Scheduler& scheduler_;
    Clock& clock_;
    std::function<void(double)> onChange_;
    double value_;
    double target_;
    Seconds start_{0};
    Spring::State startState_;
    Handle timer_;
};

} // namespace kavelo
