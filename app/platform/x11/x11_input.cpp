// Input on an X server: hot keys, the event tap over raw input with its
// synchronous grabs, and the pointer for the mouse monitors.

#include "app/platform/x11/x11_impl.h"

#include <xcb/xinput.h>
#include <xcb/xtest.h>

#include <algorithm>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

bool isModifierKey(int classic)
{
    return classic == 54 || classic == 55 || classic == 56 || classic == 58 || classic == 59 || classic == 60 ||
           classic == 61 || classic == 62;
}

std::uint64_t flagOfModifierKey(int classic)
{
    switch (classic) {
    case 56:
    case 60: return EventFlag::shift;
    case 59:
    case 62: return EventFlag::control;
    case 58:
    case 61: return EventFlag::option;
    case 55:
    case 54: return EventFlag::command;
    default: return 0;
    }
}

constexpr std::uint16_t relevantModifiers =
    XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

} // namespace

// ---------------------------------------------------------------- hot keys

void Impl::handleKeyPress(const xcb_key_press_event_t* e)
{
    // The keys of a held keyboard are the holder's alone.
    if (keyboardHeld || droppedKeys.count(e->detail))
        return;
    const std::uint16_t mods = e->state & relevantModifiers;
    const auto hotKey = std::find_if(hotKeys.begin(), hotKeys.end(), [&](const auto& entry) {
        return entry.second.serverKey == e->detail && entry.second.serverMods == mods;
    });
    // The press is ours; the grab it started would refuse every other grab
    // until the key comes up (the overview's panel, held down for a second,
    // would never open). A repeat starts it again: on a loaded machine the
    // key repeats before the panel asks for the keyboard.
    if (hotKey != hotKeys.end() && !keyboardGrabbed) {
        xcb_ungrab_keyboard(c, e->time);
        xcb_flush(c);
    }
    // A repeat: of a press a grab of ours had, or of one that another
    // client had and whose repeat our grab took.
    const auto fresh = freshPressAt.find(e->detail);
    if (keysDown.count(e->detail) && fresh != freshPressAt.end() && fresh->second != e->time)
        return;
    if (!grabbedKeysDown.insert(e->detail).second)
        return;
    if (hotKey != hotKeys.end())
        queue([this, id = hotKey->second.id] {
            if (auto handler = hotKeyHandler)
                handler(id);
        });
}

// ---------------------------------------------------------------- the tap

std::uint64_t Impl::heldFlags() const
{
    std::uint64_t flags = 0;
    for (xcb_keycode_t k : keysDown)
        flags |= flagOfModifierKey(classicOf[k]);
    return flags;
}

bool Impl::sendToTap(const TapEvent& event)
{
    if (!tapRunning || !tap)
        return false;
    auto callback = tap;
    return callback(event);
}

void Impl::updateRawSelection()
{
    if (!hasXInput)
        return;
    std::uint32_t mask = 0;
    // Which keys are down tells a grab's press from its repeat, also for a
    // hot key whose release went elsewhere.
    if (tapRunning || !hotKeys.empty() || !claims.empty())
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE;
    if (tapRunning)
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
    for (const auto& [id, monitor] : mouseMonitors) {
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
        if (monitor.first & (MouseEventMask::moved | MouseEventMask::leftDragged))
            mask |= XCB_INPUT_XI_EVENT_MASK_RAW_MOTION;
    }
    if (mask == rawMask)
        return;
    rawMask = mask;
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } selection{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, mask};
    xcb_input_xi_select_events(c, root, 1, &selection.head);
    xcb_flush(c);
}

// The wheel with Control and Option and the extra mouse buttons are grabbed
// synchronously, so the tap decides whether each is dropped or replayed to
// the window under the pointer.
void Impl::grabTapButtons(bool grab)
{
    const std::uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE;
    constexpr std::array<std::uint16_t, 4> extras{0, XCB_MOD_MASK_SHIFT, XCB_MOD_MASK_4,
                                                  XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_4};
    for (std::uint8_t button : {4, 5, 6, 7})
        for (auto extra : extras)
            for (auto locks : lockCombinations) {
                const std::uint16_t mods = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | extra | locks;
                if (grab)
                    xcb_grab_button(c, 0, root, events, XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                    button, mods);
                else
                    xcb_ungrab_button(c, button, root, mods);
            }
    for (std::uint8_t button : {2, 8, 9}) {
        if (grab)
            xcb_grab_button(c, 0, root, events, XCB_GRAB_MODE_SYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, button,
                            XCB_MOD_MASK_ANY);
        else
            xcb_ungrab_button(c, button, root, XCB_MOD_MASK_ANY);
    }
    xcb_flush(c);
}

namespace {

// Extra buttons as the tap numbers them: 2 the middle, 3 and 4 the side
// buttons (X numbers them 8 and 9).
std::int64_t tapButton(std::uint32_t serverButton)
{
    switch (serverButton) {
    case 2: return 2;
    case 8: return 3;
    case 9: return 4;
    default: return serverButton > 9 ? std::int64_t(serverButton) - 5 : -1;
    }
}

bool isWheel(std::uint32_t button) { return button >= 4 && button <= 7; }

TapEvent wheelEvent(std::uint32_t button, std::uint64_t flags)
{
    TapEvent event{.type = TapEventType::scrollWheel, .flags = flags};
    switch (button) {
    case 4: event.scrollDeltaY = 1; break;
    case 5: event.scrollDeltaY = -1; break;
    case 6: event.scrollDeltaX = 1; break;
    default: event.scrollDeltaX = -1; break;
    }
    return event;
}

constexpr std::uint64_t controlOption = EventFlag::control | EventFlag::option;

} // namespace

void Impl::handleButton(const xcb_button_press_event_t* e, bool press)
{
    const std::uint32_t button = e->detail;
    const std::uint64_t flags = flagsOfServerState(e->state);
    const xcb_timestamp_t time = e->time;
    if (isWheel(button)) {
        if (!press)
            return;
        queue([this, button, flags, time] {
            const bool drop = sendToTap(wheelEvent(button, flags));
            xcb_allow_events(c, drop ? XCB_ALLOW_ASYNC_POINTER : XCB_ALLOW_REPLAY_POINTER, time);
            xcb_flush(c);
        });
        return;
    }
    const std::int64_t number = tapButton(button);
    if (press) {
        queue([this, button, number, flags, time] {
            const bool drop =
                sendToTap(TapEvent{.type = TapEventType::otherMouseDown, .flags = flags, .buttonNumber = number});
            if (drop)
                buttonsDropped.insert(std::uint8_t(button));
            xcb_allow_events(c, drop ? XCB_ALLOW_ASYNC_POINTER : XCB_ALLOW_REPLAY_POINTER, time);
            xcb_flush(c);
        });
    } else {
        // Only the releases of dropped presses come here; the rest reach
        // their window and the tap through the raw stream.
        queue([this, button, number, flags] {
            if (buttonsDropped.erase(std::uint8_t(button)))
                sendToTap(TapEvent{.type = TapEventType::otherMouseUp, .flags = flags, .buttonNumber = number});
        });
    }
}

void Impl::handleRaw(const xcb_ge_generic_event_t* event, bool fromServer)
{
    const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
    switch (event->event_type) {
    case XCB_INPUT_RAW_KEY_PRESS:
    case XCB_INPUT_RAW_KEY_RELEASE: {
        const bool press = event->event_type == XCB_INPUT_RAW_KEY_PRESS;
        const xcb_keycode_t key = xcb_keycode_t(raw->detail);
        if (press && replayed.erase(key))
            return;
        const bool repeat = press && keysDown.count(key);
        if (press && fromServer) {
            rawPressedAt[key] = raw->time;
            if (!repeat)
                freshPressAt[key] = raw->time;
        }
        if (press) {
            keysDown.insert(key);
        } else {
            keysDown.erase(key);
            // Its core release may have gone to another client's grab, or
            // to no one once our grab ended.
            grabbedKeysDown.erase(key);
            droppedKeys.erase(key);
        }
        const int classic = classicOf[key];
        if (!tapRunning || classic < 0)
            return;
        TapEvent tapEvent;
        if (isModifierKey(classic)) {
            if (repeat)
                return;
            tapEvent = TapEvent{.type = TapEventType::flagsChanged, .flags = heldFlags(),
                                .keyCode = std::uint16_t(classic)};
        } else {
            tapEvent = TapEvent{.type = press ? TapEventType::keyDown : TapEventType::keyUp,
                                .flags = heldFlags(),
                                .keyCode = std::uint16_t(classic),
                                .autorepeat = repeat};
            tapEvent.charactersIgnoringModifiers =
                characters(std::uint16_t(classic), currentGroup().value_or(0), true).value_or("");
        }
        queue([this, tapEvent, key] {
            const bool drop = sendToTap(tapEvent);
            if (tapEvent.type == TapEventType::keyDown) {
                if (drop) {
                    // The key has already reached its window; the ones that
                    // follow in the session must not. A key already let go
                    // has nothing left to keep.
                    if (keysDown.count(key))
                        droppedKeys.insert(key);
                    if (!keyboardGrabbed && !keyboardHeld) {
                        // Another client's grab (a launcher, a menu) refuses
                        // ours: counted as held, it would be let go of, and
                        // its keys replayed, for nothing.
                        XReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
                            c,
                            xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC),
                            nullptr));
                        keyboardGrabbed = reply && reply->status == XCB_GRAB_STATUS_SUCCESS;
                    }
                } else if (keyboardGrabbed && !keyboardHeld) {
                    // The grab swallowed a key the tap lets through: type it again.
                    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
                    keyboardGrabbed = false;
                    if (hasXTest) {
                        replayed.insert(key);
                        xcb_test_fake_input(c, XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
                    }
                }
            } else if (tapEvent.type == TapEventType::flagsChanged && !drop && keyboardGrabbed && !keyboardHeld) {
                xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
                keyboardGrabbed = false;
            }
            xcb_flush(c);
        });
        return;
    }
    case XCB_INPUT_RAW_BUTTON_PRESS:
    case XCB_INPUT_RAW_BUTTON_RELEASE: {
        const bool press = event->event_type == XCB_INPUT_RAW_BUTTON_PRESS;
        const std::uint32_t button = raw->detail;
        if (button == 1 || button == 3) {
            if (!mouseMonitors.empty()) {
                // Global monitors hear other applications only: a click on a
                // window of ours, its release included, stays ours.
                if (press ? pointerOnOwnWindow() : ownClicks.count(button) > 0) {
                    if (press)
                        ownClicks.insert(button);
                    else
                        ownClicks.erase(button);
                    return;
                }
                const MouseEventType type = button == 1 ? (press ? MouseEventType::leftDown : MouseEventType::leftUp)
                                                        : (press ? MouseEventType::rightDown : MouseEventType::rightUp);
                queue([this, type] { deliverMouse(type); });
            }
            return;
        }
        if (!tapRunning)
            return;
        const std::uint64_t flags = heldFlags();
        if (isWheel(button)) {
            // The grab brings the Control-Option wheel; here only the rest.
            if (press && (flags & controlOption) != controlOption)
                queue([this, button, flags] { sendToTap(wheelEvent(button, flags)); });
            return;
        }
        const std::int64_t number = tapButton(button);
        if (number < 0 || button == 2 || button == 8 || button == 9) {
            // Grabbed: presses come through the grab, the releases of
            // replayed presses only here.
            if (!press && number >= 0)
                queue([this, button, number, flags] {
                    if (!buttonsDropped.count(std::uint8_t(button)))
                        sendToTap(
                            TapEvent{.type = TapEventType::otherMouseUp, .flags = flags, .buttonNumber = number});
                });
            return;
        }
        queue([this, press, number, flags] {
            sendToTap(TapEvent{.type = press ? TapEventType::otherMouseDown : TapEventType::otherMouseUp,
                               .flags = flags,
                               .buttonNumber = number});
        });
        return;
    }
    case XCB_INPUT_RAW_MOTION: motionPending = true; return;
    default: return;
    }
}

// ---------------------------------------------------------------- pointer

Point Impl::pointerRoot(std::uint16_t* mask) const
{
    XReply<xcb_query_pointer_reply_t> p(xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr));
    if (!p)
        return Point();
    if (mask)
        *mask = p->mask;
    return Point(p->root_x, p->root_y);
}

bool Impl::pointerOnOwnWindow() const
{
    xcb_window_t window = root;
    for (int depth = 0; depth < 8; ++depth) {
        XReply<xcb_query_pointer_reply_t> p(xcb_query_pointer_reply(c, xcb_query_pointer(c, window), nullptr));
        if (!p || p->child == XCB_NONE)
            return false;
        window = p->child;
        for (const auto& [number, panel] : panels)
            if (panel.window == window)
                return true;
        // The first window that names its process decides: a manager's
        // frame names none, the client inside it does.
        XReply<xcb_get_property_reply_t> pid(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, ewmh._NET_WM_PID, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (pid && pid->format == 32 && xcb_get_property_value_length(pid.get()) >= 4)
            return std::int32_t(*static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get()))) == ownPid;
    }
    return false;
}

void Impl::deliverMouse(MouseEventType type)
{
    if (mouseMonitors.empty())
        return;
    const Point topLeft = pointerTopLeft();
    const MouseEvent event{type, Point(topLeft.x, primaryHeight() - topLeft.y)};
    std::vector<std::uint64_t> ids;
    for (const auto& [id, m] : mouseMonitors)
        if (m.first & maskOf(type))
            ids.push_back(id);
    for (auto id : ids)
        if (auto it = mouseMonitors.find(id); it != mouseMonitors.end()) {
            auto f = it->second.second;
            f(event);
        }
}

} // namespace kavelo
