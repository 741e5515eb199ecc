#include "app/ui/spring.h"


#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace kavelo {

Spring::Spring(double response, double dampingFraction)
    : response_(std::max(response, 1e-3)), damping_(std::max(dampingFraction, 0.0)),
      omega_(2 * std::numbers::pi / response_)
{
}

Spring::State Spring::advance(State from, double t) const
{
    const double x0 = from.displacement;
    const double v0 = from.velocity;
    const double w = omega_;
    const double z = damping_;
    if (std::abs(z - 1) < 1e-6) {
        const double e = std::exp(-w * t);
        const double b = v0 + w * x0;
        return {e * (x0 + b * t), e * (v0 - w * t * b)};
    }
    if (z < 1) {
        const double wd = w * std::sqrt(1 - z * z);
        const double decay = std::exp(-z * w * t);
        const double b = (v0 + z * w * x0) / wd;
        const double c = std::cos(wd * t), s = std::sin(wd * t);
        const double x = decay * (x0 * c + b * s);
        const double v = decay * (-z * w * (x0 * c + b * s) + (-x0 * wd * s + b * wd * c));
        return {x, v};
    }
    const double root = w * std::sqrt(z * z - 1);
    const double r1 = -z * w + root;
    const double r2 = -z * w - root;
    const double c2 = (v0 - r1 * x0) / (r2 - r1);
    const double c1 = x0 - c2;
    const double e1 = std::exp(r1 * t), e2 = std::exp(r2 * t);
    return {c1 * e1 + c2 * e2, c1 * r1 * e1 + c2 * r2 * e2};
}

SpringAnimation::SpringAnimation(Spring spring, Scheduler& scheduler, Clock& clock,
                                 std::function<void(double)> onChange, double initial)
    : spring_(spring), scheduler_(scheduler), clock_(clock), onChange_(std::move(onChange)), value_(initial),
      target_(initial)
{
}

Spring::State SpringAnimation::stateAt(Seconds now) const
{
    if (!isAnimating())
        return {value_ - target_, 0};
    const double t = std::max(0.0, (now - start_).count());
    return spring_.advance(startState_, t);
}

double SpringAnimation::velocity() const
{
    return stateAt(clock_.monotonic()).velocity;
}

void SpringAnimation::animate(double target)
{
    const Seconds now = clock_.monotonic();
    const Spring::State current = stateAt(now);
    value_ = target_ + current.displacement;
    target_ = target;
    start_ = now;
    startState_ = {value_ - target_, current.velocity};
    if (resting(startState_)) {
        set(target);
        return;
    }
    if (!timer_.pending())
        timer_ = scheduler_.every(frameInterval, [this] { step(); });
}

void SpringAnimation::set(double value)
{
    timer_.cancel();
    const bool changed = value != value_;
    value_ = value;
    target_ = value;
    if (changed && onChange_)
        onChange_(value_);
}

bool SpringAnimation::resting(const Spring::State& state) const
{
    const double velocity = restVelocity < 0 ? restThreshold : restVelocity;
    return std::abs(state.displacement) < restThreshold && std::abs(state.velocity) < velocity;
}

void SpringAnimation::step()
{
    const Spring::State s = stateAt(clock_.monotonic());
    if (resting(s)) {
        set(target_);
        return;
    }
    value_ = target_ + s.displacement;
    if (onChange_)
        onChange_(value_);
}

} // namespace kavelo
