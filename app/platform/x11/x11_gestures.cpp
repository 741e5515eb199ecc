#include "app/platform/x11/x11_gestures.h"

#include <algorithm>

namespace kavelo {

namespace {

double fixed(xcb_input_fp1616_t v) { return double(v) / 65536.0; }

} // namespace

std::optional<GestureSwipe> gestureSwipe(const xcb_input_gesture_swipe_begin_event_t& event)
{
    GestureSwipe out;
    switch (event.event_type) {
    case XCB_INPUT_GESTURE_SWIPE_BEGIN: out.phase = GestureSwipe::Phase::begin; break;
    case XCB_INPUT_GESTURE_SWIPE_UPDATE: out.phase = GestureSwipe::Phase::update; break;
    case XCB_INPUT_GESTURE_SWIPE_END: out.phase = GestureSwipe::Phase::end; break;
    default: return std::nullopt;
    }
    out.fingers = int(event.detail);
    out.dx = fixed(event.delta_unaccel_x);
    out.dy = fixed(event.delta_unaccel_y);
    out.time = double(event.time) / 1000.0;
    out.cancelled = (event.flags & XCB_INPUT_GESTURE_SWIPE_EVENT_FLAGS_GESTURE_SWIPE_CANCELLED) != 0;
    return out;
}

std::optional<ContactFrame> GestureFrames::feed(const GestureSwipe& swipe)
{
    if (swipe.phase == GestureSwipe::Phase::begin) {
        inSwipe_ = true;
        fingers_ = swipe.fingers;
        x_ = 0.5;
        y_ = 0.5;
    } else if (!inSwipe_) {
        return std::nullopt;
    }
    ContactFrame frame{.time = swipe.time};
    if (swipe.phase == GestureSwipe::Phase::end) {
        inSwipe_ = false;
        return frame;
    }
    x_ += swipe.dx / padWidth;
    y_ += swipe.dy / padWidth;
    frame.touches.assign(std::size_t(std::max(fingers_, 0)), Touch{.state = 4, .x = float(x_), .y = float(y_)});
    return frame;
}

} // namespace kavelo
