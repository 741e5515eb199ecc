#pragma once

// Touchpad swipes as an X server reports them (XInput 2.4 gesture events),
// turned into the contact frames the swipe tracker reads: the fingers' mean
// point travels across an imagined pad by the swipe's deltas.

#include "app/platform/multitouch.h"

#include <xcb/xinput.h>

#include <optional>

namespace kavelo {

struct GestureSwipe {
    enum class Phase { begin, update, end };
    Phase phase = Phase::begin;
    int fingers = 0;
    double dx = 0, dy = 0;   // unaccelerated, in the device's units
    double time = 0;         // seconds
    bool cancelled = false;
    friend bool operator==(const GestureSwipe&, const GestureSwipe&) = default;
};

// None for an event that is no swipe gesture.
std::optional<GestureSwipe> gestureSwipe(const xcb_input_gesture_swipe_begin_event_t& event);

class GestureFrames {
public:
    // libinput reports touchpad motion at 1000 dots per inch; a touchpad is
    // about 100 mm wide.
    static constexpr double padWidth = 4000;

    // The frame a swipe event makes; none for an update or end without a
    // begin. An end (cancelled or not) lifts every finger.
    std::optional<ContactFrame> feed(const GestureSwipe& swipe);

private:
    bool inSwipe_ = false;
    int fingers_ = 0;
    double x_ = 0.5, y_ = 0.5;
};

} // namespace kavelo
