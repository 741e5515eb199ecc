#include "core/swipe_tracker.h"

#include <cmath>

namespace kavelo {

std::optional<SwipeEvent> SwipeTracker::reset()
{
    std::optional<SwipeEvent> event;
    if (tracking)
        event = SwipeEvent::ended(velocity);
    // `last` and `lastTime` stay: they are overwritten before they are read again.
    start.reset();
    velocity = 0;
    tracking = false;
    ignored = false;
    return event;
}

std::optional<SwipeEvent> SwipeTracker::update(std::span<const Point> touches, double time)
{
    // No fingers is never a swipe, whatever `fingers` says.
    if (touches.empty() || fingers < 0 || touches.size() != static_cast<size_t>(fingers))
        return reset();

    Point m;
    for (const Point& p : touches) {
        m.x += p.x;
        m.y += p.y;
    }
    const double count = static_cast<double>(touches.size());
    m.x /= count;
    m.y /= count;
    // A garbled frame would poison the speed for the rest of the swipe; skip it.
    if (!std::isfinite(m.x) || !std::isfinite(m.y) || !std::isfinite(time))
        return std::nullopt;

    if (!start) {
        start = m;
        last = m;
        lastTime = time;
        return std::nullopt;
    }

    if (!tracking) {
        const double dx = std::abs(m.x - start->x);
        const double dy = std::abs(m.y - start->y);
        if (dy >= threshold && dx < dy) {
            ignored = true;
            return std::nullopt;
        }
        if (ignored || dx < threshold || !(dy < dx))
            return std::nullopt;
        tracking = true;
        last = m;
        lastTime = time;
        return SwipeEvent::began();
    }

    const double d = m.x - last.x;
    double dt = time - lastTime;
    if (dt <= minimumTimeStep)
        dt = minimumTimeStep;
    velocity = previousWeight * velocity + frameWeight * (d / dt);
    last = m;
    lastTime = time;
    return SwipeEvent::moved(d);
}

std::ostream& operator<<(std::ostream& os, const SwipeEvent& event)
{
    switch (event.kind) {
    case SwipeEvent::Kind::began: return os << "began";
    case SwipeEvent::Kind::moved: return os << "moved(" << event.dx << ")";
    case SwipeEvent::Kind::ended: return os << "ended(velocity: " << event.velocity << ")";
    }
    return os;
}

} // namespace kavelo
