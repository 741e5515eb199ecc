// Requests to the window manager (moves, states, stacking, activation) and
// the barrier that waits until it has handled them.

#include "app/platform/x11/x11_impl.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- writes

void Impl::moveResize(xcb_window_t window, std::optional<Point> frameTopLeft, std::optional<Size> clientSize)
{
    const auto x = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->x + origin.x)) : 0;
    const auto y = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->y + origin.y)) : 0;
    const auto w = clientSize ? std::uint32_t(std::max(1L, std::lround(clientSize->width))) : 0;
    const auto h = clientSize ? std::uint32_t(std::max(1L, std::lround(clientSize->height))) : 0;
    if (wmPresent) {
        int flags = 0;
        if (frameTopLeft)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_X | XCB_EWMH_MOVERESIZE_WINDOW_Y;
        if (clientSize)
            flags |= XCB_EWMH_MOVERESIZE_WINDOW_WIDTH | XCB_EWMH_MOVERESIZE_WINDOW_HEIGHT;
        // North-west gravity: the position names the frame's outer corner.
        xcb_ewmh_request_moveresize_window(&ewmh, screenNumber, window, XCB_GRAVITY_NORTH_WEST,
                                           XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                           xcb_ewmh_moveresize_window_opt_flags_t(flags), std::uint32_t(x),
                                           std::uint32_t(y), w, h);
    } else {
        std::uint16_t mask = 0;
        std::vector<std::uint32_t> values;
        if (frameTopLeft) {
            mask |= XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y;
            values.push_back(std::uint32_t(x));
            values.push_back(std::uint32_t(y));
        }
        if (clientSize) {
            mask |= XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT;
            values.push_back(w);
            values.push_back(h);
        }
        xcb_configure_window(c, window, mask, values.data());
    }
    // Sent with the next flush, so a batch goes out in one piece.
    writesOutstanding = true;
}

void Impl::changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second)
{
    xcb_ewmh_request_change_wm_state(&ewmh, screenNumber, window,
                                     add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, first, second,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::iconify(xcb_window_t window)
{
    if (!wmPresent) {
        xcb_unmap_window(c, window);
    } else {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = atomWmChangeState;
        message.data.data32[0] = XCB_ICCCM_WM_STATE_ICONIC;
        xcb_send_event(c, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::deiconify(xcb_window_t window)
{
    if (wmPresent)
        changeState(window, false, ewmh._NET_WM_STATE_HIDDEN);
    xcb_map_window(c, window);
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::restack(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_restack_window(&ewmh, screenNumber, window, XCB_NONE, XCB_STACK_MODE_ABOVE);
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::activateWindow(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_change_active_window(&ewmh, screenNumber, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                              XCB_CURRENT_TIME, activeWindow().value_or(XCB_NONE));
    } else {
        restack(window);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    writesOutstanding = true;
    xcb_flush(c);
}

void Impl::showDesktop(std::uint32_t desktop)
{
    xcb_ewmh_request_change_current_desktop(&ewmh, screenNumber, desktop, XCB_CURRENT_TIME);
    writesOutstanding = true;
    xcb_flush(c);
}

bool Impl::waitForEvent(const std::function<bool(const xcb_generic_event_t*)>& match, int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool found = match(event);
            handle(event);
            std::free(event);
            if (found)
                return true;
        }
        if (xcb_connection_has_error(c))
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(left));
    }
}

// The manager handles its messages in order, so once it has answered a
// frame-extents request sent after our writes, they have all been applied.
void Impl::settleWrites()
{
    if (!writesOutstanding)
        return;
    writesOutstanding = false;
    if (wmPresent && barrierWorks) {
        xcb_ewmh_request_frame_extents(&ewmh, screenNumber, helper);
        xcb_flush(c);
        const bool answered = waitForEvent(
            [&](const xcb_generic_event_t* event) {
                if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
                return p->window == helper && p->atom == ewmh._NET_FRAME_EXTENTS;
            },
            500);
        if (answered)
            return;
        barrierWorks = false;
    }
    roundTrip();
}

void Impl::roundTrip() const
{
    XReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

} // namespace kavelo
