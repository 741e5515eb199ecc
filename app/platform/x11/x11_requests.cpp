// Requests to the window manager (moves, states, stacking, activation),
// each noting what the barrier should see come of it.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- writes

void Impl::moveResize(xcb_window_t window, std::optional<Point> frameTopLeft, std::optional<Size> clientSize,
                      const FrameExtents& extents)
{
    sent.erase(window);   // a batch that sends it records it again
    const auto x = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->x)) : 0;
    const auto y = frameTopLeft ? std::int32_t(std::lround(frameTopLeft->y)) : 0;
    // A manager that publishes no frame extents (i3) puts the client, not
    // its frame, where asked: asked for the client's corner, the frame
    // lands on the place.
    const bool clientPlaced = wmPresent && !extentsPublished;
    const auto sentX = clientPlaced ? std::int32_t(x + std::lround(extents.left)) : x;
    const auto sentY = clientPlaced ? std::int32_t(y + std::lround(extents.top)) : y;
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
                                           xcb_ewmh_moveresize_window_opt_flags_t(flags), std::uint32_t(sentX),
                                           std::uint32_t(sentY), w, h);
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
    Awaited what;
    if (frameTopLeft)
        what.corner = std::pair(int(x + std::lround(extents.left)), int(y + std::lround(extents.top)));
    if (clientSize)
        what.size = std::pair(int(w), int(h));
    await(window, what);
    // Sent with the next flush, so a batch goes out in one piece.
    wrote();
}

void Impl::changeState(xcb_window_t window, bool add, xcb_atom_t first, xcb_atom_t second)
{
    sent.erase(window);
    xcb_ewmh_request_change_wm_state(&ewmh, screenNumber, window,
                                     add ? XCB_EWMH_WM_STATE_ADD : XCB_EWMH_WM_STATE_REMOVE, first, second,
                                     XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
    await(window, Awaited{.anyChange = true});
    wrote();
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
    await(window, Awaited{.anyChange = true});
    wrote();
    xcb_flush(c);
}

void Impl::deiconify(xcb_window_t window)
{
    if (wmPresent)
        changeState(window, false, ewmh._NET_WM_STATE_HIDDEN);
    xcb_map_window(c, window);
    await(window, Awaited{.anyChange = true});
    wrote();
    xcb_flush(c);
}

void Impl::restack(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_restack_window(&ewmh, screenNumber, window, XCB_NONE, XCB_STACK_MODE_ABOVE);
        awaitedRoot.insert(ewmh._NET_CLIENT_LIST_STACKING);
    } else {
        const std::uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    }
    wrote();
    xcb_flush(c);
}

void Impl::activateWindow(xcb_window_t window)
{
    if (wmPresent) {
        xcb_ewmh_request_change_active_window(&ewmh, screenNumber, window, XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                              XCB_CURRENT_TIME, activeWindow().value_or(XCB_NONE));
        awaitedRoot.insert(ewmh._NET_ACTIVE_WINDOW);
    } else {
        restack(window);
        xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    wrote();
    xcb_flush(c);
}

void Impl::showDesktop(std::uint32_t desktop)
{
    xcb_ewmh_request_change_current_desktop(&ewmh, screenNumber, desktop, XCB_CURRENT_TIME);
    awaitedRoot.insert(ewmh._NET_CURRENT_DESKTOP);
    wrote();
    xcb_flush(c);
}

} // namespace kavelo
