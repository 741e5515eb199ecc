// Claimed key combinations and the whole-keyboard hold of the event tap on
// an X server. A claim is a passive grab on the root window in every state
// of the lock keys, so the focused client never sees the press; it is
// refused while another client (a window manager's own switcher) grabs the
// same combination, through the core protocol or XInput 2. The hold is an active grab of the keyboard, which
// fails while another client (a screen locker) holds it.

#include "app/platform/x11/x11_impl.h"

#include <xcb/xinput.h>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

constexpr std::uint64_t claimedFlags = EventFlag::shift | EventFlag::control | EventFlag::option | EventFlag::command;

std::uint16_t serverModifiersOfFlags(std::uint64_t flags)
{
    std::uint16_t mods = 0;
    if (flags & EventFlag::shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (flags & EventFlag::control)
        mods |= XCB_MOD_MASK_CONTROL;
    if (flags & EventFlag::option)
        mods |= XCB_MOD_MASK_1;
    if (flags & EventFlag::command)
        mods |= XCB_MOD_MASK_4;
    return mods;
}

} // namespace

// Another client may hold a combination through a core grab, which
// refuses ours, or through an XInput 2 grab (mutter grabs its keys so),
// which never refuses a core one: the key would go to whichever of us
// grabbed last. A passive grab of that kind, taken back at once, asks.
// Both are asked in one round trip: on a busy server each costs as much as
// the drawing queued before it, and a mode change grabs a dozen keys.
bool Impl::grabCombination(xcb_keycode_t key, std::uint16_t mods)
{
    std::optional<xcb_input_xi_passive_grab_device_cookie_t> asked;
    std::array<std::uint32_t, lockCombinations.size()> modifiers{};
    if (hasXInput) {
        for (std::size_t i = 0; i < lockCombinations.size(); ++i)
            modifiers[i] = mods | lockCombinations[i];
        const std::uint32_t mask = XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
        asked = xcb_input_xi_passive_grab_device(c, XCB_CURRENT_TIME, root, XCB_NONE, key, XCB_INPUT_DEVICE_ALL_MASTER,
                                                 std::uint16_t(modifiers.size()), 1, XCB_INPUT_GRAB_TYPE_KEYCODE,
                                                 XCB_INPUT_GRAB_MODE_22_ASYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
                                                 XCB_INPUT_GRAB_OWNER_NO_OWNER, &mask, modifiers.data());
        // Only our own grabs go, before the core ones are made; the other
        // client's stay.
        xcb_input_xi_passive_ungrab_device(c, root, key, XCB_INPUT_DEVICE_ALL_MASTER,
                                           std::uint16_t(modifiers.size()), XCB_INPUT_GRAB_TYPE_KEYCODE,
                                           modifiers.data());
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (auto locks : lockCombinations)
        cookies.push_back(xcb_grab_key_checked(c, 1, root, mods | locks, key, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    bool refused = false;
    if (asked) {
        // The reply lists the states that could not be grabbed.
        XReply<xcb_input_xi_passive_grab_device_reply_t> reply(
            xcb_input_xi_passive_grab_device_reply(c, *asked, nullptr));
        refused = reply && xcb_input_xi_passive_grab_device_modifiers_length(reply.get()) > 0;
    }
    for (auto cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            refused = true;
            std::free(error);
        }
    if (refused)
        ungrabCombination(key, mods);
    return !refused;
}

void Impl::ungrabCombination(xcb_keycode_t key, std::uint16_t mods)
{
    // Only the grabs that were ours go; another client keeps its own.
    for (auto locks : lockCombinations)
        xcb_ungrab_key(c, key, root, mods | locks);
    xcb_flush(c);
}

bool Impl::claimKey(std::uint16_t keyCode, std::uint64_t flags)
{
    const auto combination = std::pair(keyCode, flags & claimedFlags);
    if (claims.count(combination))
        return true;
    const auto key = serverKey(keyCode);
    if (!key)
        return false;
    const std::uint16_t mods = serverModifiersOfFlags(combination.second);
    if (!grabCombination(*key, mods))
        return false;
    claims.emplace(combination, HotKeyGrab{keyCode, std::uint32_t(combination.second), 0, *key, mods});
    updateRawSelection();
    return true;
}

void Impl::unclaimKey(std::uint16_t keyCode, std::uint64_t flags)
{
    auto it = claims.find(std::pair(keyCode, flags & claimedFlags));
    if (it == claims.end())
        return;
    ungrabCombination(it->second.serverKey, it->second.serverMods);
    claims.erase(it);
}

// A core grab of the keyboard, the kind our claims and hot keys grab with:
// the press that starts a session is still down, its claim's passive grab
// active, and a grab of the same client and kind takes that one over where
// any other would be refused. Another client's grab, core or XInput,
// refuses it. Under it every key comes to us as a core event.
bool Impl::holdKeyboard(bool hold)
{
    if (!hold) {
        if (keyboardHeld || keyboardGrabbed)
            xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
        xcb_flush(c);
        keyboardHeld = false;
        // The tap's own grab for swallowed keys ends with the hold.
        keyboardGrabbed = false;
        return true;
    }
    if (keyboardHeld)
        return true;
    XReply<xcb_grab_keyboard_reply_t> reply(xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC), nullptr));
    if (!reply || reply->status != XCB_GRAB_STATUS_SUCCESS)
        return false;
    // Our core grab for swallowed keys, if any, is this one now.
    keyboardGrabbed = false;
    keyboardHeld = true;
    return true;
}

// A key event that came to us as a core event, through a grab of ours (a
// claim, a hot key, the hold, the tap's own grab). Under it the server keeps
// the raw events from us, except the one of the press that started a
// passive grab, which came raw just before (same key, same time): the tap
// sees every key once, and a press of a key already down as a repeat.
void Impl::handleGrabbedKey(xcb_keycode_t key, bool press, xcb_timestamp_t time)
{
    if (press) {
        if (const auto raw = rawPressedAt.find(key); raw != rawPressedAt.end() && raw->second == time)
            return;
    } else if (!keysDown.count(key)) {
        return;
    }
    xcb_input_raw_key_press_event_t raw{};
    raw.response_type = XCB_GE_GENERIC;
    raw.extension = xinputOpcode;
    raw.event_type = press ? XCB_INPUT_RAW_KEY_PRESS : XCB_INPUT_RAW_KEY_RELEASE;
    raw.detail = key;
    raw.time = time;
    handleRaw(reinterpret_cast<const xcb_ge_generic_event_t*>(&raw), false);
}

} // namespace kavelo
