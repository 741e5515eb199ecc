#pragma once

// Turns the contact frames of a trackpad into horizontal swipes. Runs on the
// device's thread once per frame: fixed-size state, no allocation, no locks.

#include "core/geometry.h"

#include <optional>
#include <ostream>
#include <span>
#include <type_traits>

namespace kavelo {

struct SwipeEvent {
    enum class Kind { began, moved, ended };

    Kind kind = Kind::began;
    double dx = 0;       // moved: the fingers' mean point since the last frame, in pad widths, + to the right
    double velocity = 0; // ended: the smoothed speed at the end, in pad widths a second, signed like dx

    static constexpr SwipeEvent began() { return {.kind = Kind::began}; }
    static constexpr SwipeEvent moved(double dx) { return {.kind = Kind::moved, .dx = dx}; }
    static constexpr SwipeEvent ended(double velocity) { return {.kind = Kind::ended, .velocity = velocity}; }

    // Only the payload of the event's own kind counts.
    friend constexpr bool operator==(const SwipeEvent& a, const SwipeEvent& b)
    {
        if (a.kind != b.kind)
            return false;
        switch (a.kind) {
        case Kind::moved: return a.dx == b.dx;
        case Kind::ended: return a.velocity == b.velocity;
        case Kind::began: return true;
        }
        return true;
    }
};

struct SwipeTracker {
    // How far the fingers must travel from where they first rested, as a
    // share of the pad, before a swipe starts or the touch counts as vertical.
    static constexpr double threshold = 0.03;
    // Frames closer together than this are taken to be this far apart.
    static constexpr double minimumTimeStep = 0.001;
    // The speed is smoothed once a frame: this much of the old, that much of the new.
    static constexpr double previousWeight = 0.7;
    static constexpr double frameWeight = 0.3;

    int fingers = 3;            // the finger count that makes a swipe
    std::optional<Point> start; // mean point of the touch's first frame; none while idle
    Point last;                 // mean point of the previous frame that counted
    double lastTime = 0;        // its time, in seconds
    double velocity = 0;        // smoothed horizontal speed
    bool tracking = false;      // `began` was sent
    bool ignored = false;       // the touch started vertically

    SwipeTracker() = default;
    explicit SwipeTracker(int fingers) : fingers(fingers) {}

    // One contact frame: the fingers on the pad in normalised coordinates (0
    // to 1 each way) and the frame's time in seconds. At most one event.
    std::optional<SwipeEvent> update(std::span<const Point> touches, double time);

    friend bool operator==(const SwipeTracker&, const SwipeTracker&) = default;

private:
    std::optional<SwipeEvent> reset();
};

static_assert(std::is_trivially_copyable_v<SwipeTracker>, "the tracker's state must stay fixed-size");

std::ostream& operator<<(std::ostream& os, const SwipeEvent& event);

} // namespace kavelo
