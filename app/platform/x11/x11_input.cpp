#include "app/platform/x11/x11_impl.h"

#include "app/platform/sim/sim_keyboard.h"
#include "core/text.h"

#include <xcb/randr.h>
#include <xcb/xinput.h>
#include "app/platform/x11/x11_xkb.h"
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <algorithm>
#include <ctime>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- key table

namespace X11Keys {

// Classic codes name places on the keyboard, as XKB key names do.
const std::vector<std::pair<std::uint16_t, std::string_view>>& table()
{
    static const std::vector<std::pair<std::uint16_t, std::string_view>> keys{
        {0, "AC01"},   {1, "AC02"},   {2, "AC03"},   {3, "AC04"},   {4, "AC06"},   {5, "AC05"},   {6, "AB01"},
        {7, "AB02"},   {8, "AB03"},   {9, "AB04"},   {10, "LSGT"},  {11, "AB05"},  {12, "AD01"},  {13, "AD02"},
        {14, "AD03"},  {15, "AD04"},  {16, "AD06"},  {17, "AD05"},  {18, "AE01"},  {19, "AE02"},  {20, "AE03"},
        {21, "AE04"},  {22, "AE06"},  {23, "AE05"},  {24, "AE12"},  {25, "AE09"},  {26, "AE07"},  {27, "AE11"},
        {28, "AE08"},  {29, "AE10"},  {30, "AD12"},  {31, "AD09"},  {32, "AD07"},  {33, "AD11"},  {34, "AD08"},
        {35, "AD10"},  {36, "RTRN"},  {37, "AC09"},  {38, "AC07"},  {39, "AC11"},  {40, "AC08"},  {41, "AC10"},
        {42, "BKSL"},  {43, "AB08"},  {44, "AB10"},  {45, "AB06"},  {46, "AB07"},  {47, "AB09"},  {48, "TAB"},
        {49, "SPCE"},  {50, "TLDE"},  {51, "BKSP"},  {53, "ESC"},   {54, "RWIN"},  {55, "LWIN"},  {56, "LFSH"},
        {57, "CAPS"},  {58, "LALT"},  {59, "LCTL"},  {60, "RTSH"},  {61, "RALT"},  {62, "RCTL"},  {64, "FK17"},
        {65, "KPDL"},  {67, "KPMU"},  {69, "KPAD"},  {71, "NMLK"},  {72, "VOL+"},  {73, "VOL-"},  {74, "MUTE"},
        {75, "KPDV"},  {76, "KPEN"},  {78, "KPSU"},  {79, "FK18"},  {80, "FK19"},  {81, "KPEQ"},  {82, "KP0"},
        {83, "KP1"},   {84, "KP2"},   {85, "KP3"},   {86, "KP4"},   {87, "KP5"},   {88, "KP6"},   {89, "KP7"},
        {90, "FK20"},  {91, "KP8"},   {92, "KP9"},   {96, "FK05"},  {97, "FK06"},  {98, "FK07"},  {99, "FK03"},
        {100, "FK08"}, {101, "FK09"}, {103, "FK11"}, {105, "FK13"}, {106, "FK16"}, {107, "FK14"}, {109, "FK10"},
        {111, "FK12"}, {113, "FK15"}, {114, "INS"},  {115, "HOME"}, {116, "PGUP"}, {117, "DELE"}, {118, "FK04"},
        {119, "END"},  {120, "FK02"}, {121, "PGDN"}, {122, "FK01"}, {123, "LEFT"}, {124, "RGHT"}, {125, "DOWN"},
        {126, "UP"},
    };
    return keys;
}

std::optional<std::string_view> keyName(std::uint16_t classic)
{
    for (const auto& [code, name] : table())
        if (code == classic)
            return name;
    return std::nullopt;
}

} // namespace X11Keys

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

// ---------------------------------------------------------------- keyboard map

void Impl::loadKeymap()
{
    classicOf.fill(-1);
    if (!xkbContext || keyboardDevice < 0)
        return;
    xkb_keymap* fresh = xkb_x11_keymap_new_from_device(xkbContext, c, keyboardDevice, XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!fresh)
        return;
    if (keymap)
        xkb_keymap_unref(keymap);
    keymap = fresh;
    for (const auto& [classic, name] : X11Keys::table()) {
        const xkb_keycode_t code = xkb_keymap_key_by_name(keymap, std::string(name).c_str());
        if (code != XKB_KEYCODE_INVALID && code < 256 && classicOf[code] < 0)
            classicOf[code] = classic;
    }
}

std::optional<xcb_keycode_t> Impl::serverKey(std::uint16_t classic) const
{
    const auto name = X11Keys::keyName(classic);
    if (!name || !keymap)
        return std::nullopt;
    const xkb_keycode_t code = xkb_keymap_key_by_name(keymap, std::string(*name).c_str());
    if (code == XKB_KEYCODE_INVALID || code > 255)
        return std::nullopt;
    return xcb_keycode_t(code);
}

// Layout identifiers as the server was configured ("us", "de(nodeadkeys)").
std::vector<std::string> Impl::layoutNames() const
{
    XReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, root, atomRulesNames, XCB_ATOM_STRING, 0, 1024), nullptr));
    std::vector<std::string> fields;
    if (reply && reply->format == 8) {
        const char* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
        const int length = xcb_get_property_value_length(reply.get());
        std::string current;
        for (int i = 0; i < length; ++i) {
            if (data[i] == '\0') {
                fields.push_back(current);
                current.clear();
            } else {
                current += data[i];
            }
        }
        if (!current.empty())
            fields.push_back(current);
    }
    const auto split = [](const std::string& text) {
        std::vector<std::string> parts;
        std::string part;
        for (char ch : text) {
            if (ch == ',') {
                parts.push_back(part);
                part.clear();
            } else {
                part += ch;
            }
        }
        parts.push_back(part);
        return parts;
    };
    std::vector<std::string> out;
    if (fields.size() >= 3 && !fields[2].empty()) {
        const auto layouts = split(fields[2]);
        const auto variants = fields.size() >= 4 ? split(fields[3]) : std::vector<std::string>{};
        for (std::size_t i = 0; i < layouts.size(); ++i) {
            std::string id = layouts[i];
            if (i < variants.size() && !variants[i].empty())
                id += "(" + variants[i] + ")";
            out.push_back(id);
        }
    } else if (keymap) {
        for (xkb_layout_index_t i = 0; i < xkb_keymap_num_layouts(keymap); ++i)
            if (const char* name = xkb_keymap_layout_get_name(keymap, i))
                out.push_back(name);
    }
    return out;
}

std::optional<std::uint32_t> Impl::currentGroup() const
{
    if (!keymap)
        return std::nullopt;
    XReply<xcb_xkb_get_state_reply_t> state(
        xcb_xkb_get_state_reply(c, xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD), nullptr));
    if (!state)
        return std::nullopt;
    return state->group;
}

std::uint64_t Impl::flagsOfServerState(std::uint16_t state) const
{
    std::uint64_t flags = 0;
    if (state & XCB_MOD_MASK_SHIFT)
        flags |= EventFlag::shift;
    if (state & XCB_MOD_MASK_CONTROL)
        flags |= EventFlag::control;
    if (state & XCB_MOD_MASK_1)
        flags |= EventFlag::option;
    if (state & XCB_MOD_MASK_4)
        flags |= EventFlag::command;
    return flags;
}

// What a key types with no modifiers in one layout of the keyboard map.
// Keys whose symbol is a function (arrows, Return, F-keys) take the
// characters of the classic tables: control characters for translation, the
// toolkit's private-use characters for events. Other symbols without a
// character (dead accents, level and group switches) type nothing by
// themselves.
std::optional<std::string> Impl::characters(std::uint16_t classic, std::uint32_t layout, bool forEvent) const
{
    const auto key = serverKey(classic);
    if (!key || !keymap || layout >= xkb_keymap_num_layouts(keymap))
        return std::nullopt;
    const xkb_keysym_t* syms = nullptr;
    const int count = xkb_keymap_key_get_syms_by_level(keymap, *key, layout, 0, &syms);
    if (count <= 0)
        return std::nullopt;
    const xkb_keysym_t sym = syms[0];
    if (sym >= 0xFF00 && sym <= 0xFFFF) {
        if (forEvent)
            return sim::eventCharacters("us", classic);
        return sim::translate("us", classic);
    }
    const std::uint32_t ch = xkb_keysym_to_utf32(sym);
    if (ch == 0)
        return std::nullopt;
    return text::utf8(char32_t(ch));
}

// ---------------------------------------------------------------- events

void Impl::queue(std::function<void()> work)
{
    const bool first = pendingWork.empty();
    pendingWork.push_back(std::move(work));
    if (!first || dispatching)
        return;
    if (wakeup) {
        wakeup();
    } else if (scheduler) {
        scheduler->post([weak = weak_from_this()] {
            if (auto impl = weak.lock())
                impl->processEvents();
        });
    }
}

void Impl::notifyAll(std::map<std::uint64_t, std::function<void()>> Impl::*observers)
{
    std::vector<std::uint64_t> ids;
    for (const auto& [id, f] : this->*observers)
        ids.push_back(id);
    for (auto id : ids) {
        auto it = (this->*observers).find(id);
        if (it == (this->*observers).end())
            continue;
        auto f = it->second;
        f();
    }
}

void Impl::drainQueued()
{
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c)) {
        handle(event);
        std::free(event);
    }
}

namespace {

double sleepGap()
{
    timespec boot{}, mono{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return double(boot.tv_sec - mono.tv_sec) + double(boot.tv_nsec - mono.tv_nsec) / 1e9;
}

} // namespace

void Impl::processEvents()
{
    if (dispatching)
        return;
    dispatching = true;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            handle(event);
            std::free(event);
        }
        if (motionPending) {
            motionPending = false;
            std::uint16_t mask = 0;
            const Point p = pointerTopLeft(&mask);
            if (warpedTo && *warpedTo == p) {
                warpedTo.reset();
            } else {
                warpedTo.reset();
                deliverMouse((mask & XCB_BUTTON_MASK_1) ? MouseEventType::leftDragged : MouseEventType::moved);
            }
        }
        if (pendingWork.empty())
            break;
        auto work = std::move(pendingWork);
        pendingWork.clear();
        for (auto& w : work)
            w();
    }
    // The machine slept when the boot clock ran ahead of the monotonic one.
    const double gap = sleepGap();
    if (lastSleepGap > 0 && gap - lastSleepGap > 2)
        notifyAll(&Impl::wakeObservers);
    lastSleepGap = gap;
    dispatching = false;
}

void Impl::handle(xcb_generic_event_t* event)
{
    const std::uint8_t type = event->response_type & 0x7F;
    switch (type) {
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        forget(e->window);
        return;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (e->window != root)
            return;
        if (e->atom == ewmh._NET_ACTIVE_WINDOW) {
            queue([this] {
                const auto active = activeWindow();
                if (!active)
                    return;
                const auto k = knownFor(*active).value_or(adopt(*active));
                lastFocused[k.pid] = *active;
                if (notifiedFront == k.pid)
                    return;
                notifiedFront = k.pid;
                if (activationObservers.empty())
                    return;
                const auto app = runningApp(k.pid);
                if (!app)
                    return;
                std::vector<std::uint64_t> ids;
                for (const auto& [id, f] : activationObservers)
                    ids.push_back(id);
                for (auto id : ids)
                    if (auto it = activationObservers.find(id); it != activationObservers.end()) {
                        auto f = it->second;
                        f(*app);
                    }
            });
        } else if (e->atom == ewmh._NET_CURRENT_DESKTOP) {
            queue([this] { notifyAll(&Impl::desktopObservers); });
        } else if (e->atom == ewmh._NET_WORKAREA) {
            queue([this] { notifyAll(&Impl::displayObservers); });
        }
        return;
    }
    case XCB_KEY_PRESS:
        handleKeyPress(reinterpret_cast<const xcb_key_press_event_t*>(event));
        handleGrabbedKey(reinterpret_cast<const xcb_key_press_event_t*>(event)->detail, true);
        return;
    case XCB_KEY_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_key_release_event_t*>(event);
        grabbedKeysDown.erase(e->detail);
        droppedKeys.erase(e->detail);
        handleGrabbedKey(e->detail, false);
        return;
    }
    case XCB_BUTTON_PRESS: handleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), true); return;
    case XCB_BUTTON_RELEASE: handleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), false); return;
    case XCB_GE_GENERIC: {
        const auto* e = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if (hasXInput && e->extension == xinputOpcode)
            handleRaw(e);
        return;
    }
    default: break;
    }
    if (hasRandr && (type == randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randrEventBase + XCB_RANDR_NOTIFY)) {
        queue([this] {
            refreshOrigin();
            notifyAll(&Impl::displayObservers);
        });
        return;
    }
    if (xkbEventBase && type == xkbEventBase) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            loadKeymap();
    }
}

// ---------------------------------------------------------------- hot keys

void Impl::handleKeyPress(const xcb_key_press_event_t* e)
{
    if (droppedKeys.count(e->detail))
        return;
    if (!grabbedKeysDown.insert(e->detail).second)
        return;   // a repeat
    const std::uint16_t mods = e->state & relevantModifiers;
    for (const auto& [ref, key] : hotKeys) {
        if (key.serverKey != e->detail || key.serverMods != mods)
            continue;
        const std::uint32_t id = key.id;
        queue([this, id] {
            if (auto handler = hotKeyHandler)
                handler(id);
        });
        return;
    }
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
    if (tapRunning)
        mask |= XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE |
                XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_RELEASE;
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

void Impl::handleRaw(const xcb_ge_generic_event_t* event)
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
        if (press)
            keysDown.insert(key);
        else
            keysDown.erase(key);
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
                    // follow in the session must not.
                    droppedKeys.insert(key);
                    if (!keyboardGrabbed && !keyboardHeld) {
                        xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
                        keyboardGrabbed = true;
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

Point Impl::pointerTopLeft(std::uint16_t* mask) const
{
    XReply<xcb_query_pointer_reply_t> p(xcb_query_pointer_reply(c, xcb_query_pointer(c, root), nullptr));
    if (!p)
        return Point();
    if (mask)
        *mask = p->mask;
    return Point(p->root_x - origin.x, p->root_y - origin.y);
}

void Impl::deliverMouse(MouseEventType type)
{
    if (mouseMonitors.empty())
        return;
    const Point topLeft = pointerTopLeft();
    const auto list = monitors();
    const double primaryHeight = list.empty() ? 0 : list.front().frame.height();
    const MouseEvent event{type, Point(topLeft.x, primaryHeight - topLeft.y)};
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
