#pragma once

// What another client sees of a program on the X server, in the server's
// own milliseconds: raw key presses and releases, the damage done to chosen
// windows, and the changes of the active window. It listens on a connection
// and a thread of its own, so the times do not depend on when the program
// or the benchmark gets to run.

#include <xcb/damage.h>
#include <xcb/xcb.h>
#include <xcb/xinput.h>

#include <poll.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::bench {

class OutsideView {
public:
    // `raised`: the stacking changed; `active`: the active window did.
    enum class Kind { keyDown, keyUp, damage, raised, active };
    struct Event {
        Kind kind;
        std::uint32_t time;     // server milliseconds
        std::uint32_t detail;   // the key, or the damaged window
        int y = 0;                  // the damaged area's top and height
        std::uint32_t height = 0;
    };

    explicit OutsideView(const std::string& display)
    {
        c_ = xcb_connect(display.c_str(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        active_ = intern("_NET_ACTIVE_WINDOW");
        stacking_ = intern("_NET_CLIENT_LIST_STACKING");
        const std::uint32_t rootEvents = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &rootEvents);
        std::free(xcb_input_xi_query_version_reply(c_, xcb_input_xi_query_version(c_, 2, 2), nullptr));
        xinput_ = xcb_get_extension_data(c_, &xcb_input_id)->major_opcode;
        struct {
            xcb_input_event_mask_t head;
            std::uint32_t mask;
        } keys{{XCB_INPUT_DEVICE_ALL_MASTER, 1},
               XCB_INPUT_XI_EVENT_MASK_RAW_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
        xcb_input_xi_select_events(c_, root_, 1, &keys.head);
        std::free(xcb_damage_query_version_reply(c_, xcb_damage_query_version(c_, 1, 1), nullptr));
        damageEvent_ = xcb_get_extension_data(c_, &xcb_damage_id)->first_event;
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        thread_ = std::thread([this] { listen(); });
    }
    ~OutsideView()
    {
        stop_ = true;
        thread_.join();
        xcb_disconnect(c_);
    }
    OutsideView(const OutsideView&) = delete;
    OutsideView& operator=(const OutsideView&) = delete;

    // From now on every drawing into `window` counts (once per window).
    void watchDamage(std::uint32_t window)
    {
        std::lock_guard lock(mutex_);
        for (const auto& [w, d] : damages_)
            if (w == window)
                return;
        const xcb_damage_damage_t damage = xcb_generate_id(c_);
        xcb_damage_create(c_, damage, window, XCB_DAMAGE_REPORT_LEVEL_RAW_RECTANGLES);
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
        damages_.emplace_back(window, damage);
    }

    // The last event of `kind` for `detail` (any detail when none), by
    // server time.
    std::optional<std::uint32_t> last(Kind kind, std::optional<std::uint32_t> detail = std::nullopt)
    {
        std::lock_guard lock(mutex_);
        for (auto it = events_.rbegin(); it != events_.rend(); ++it)
            if (it->kind == kind && (!detail || it->detail == *detail))
                return it->time;
        return std::nullopt;
    }
    // The first event of `kind` for `detail` at `since` or later (of a
    // damage, the first reaching down to `below`).
    std::optional<std::uint32_t> firstFrom(Kind kind, std::uint32_t since,
                                           std::optional<std::uint32_t> detail = std::nullopt, int below = 0)
    {
        std::lock_guard lock(mutex_);
        for (const Event& e : events_)
            if (e.kind == kind && e.time >= since && (!detail || e.detail == *detail) &&
                (kind != Kind::damage || e.y + int(e.height) > below))
                return e.time;
        return std::nullopt;
    }
    void clear()
    {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

private:
    xcb_atom_t intern(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, std::uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }

    void listen()
    {
        pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
        while (!stop_) {
            poll(&p, 1, 5);
            std::lock_guard lock(mutex_);
            while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
                record(event);
                std::free(event);
            }
        }
    }

    void record(const xcb_generic_event_t* event)
    {
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_GE_GENERIC) {
            const auto* ge = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
            if (ge->extension != xinput_)
                return;
            const auto* raw = reinterpret_cast<const xcb_input_raw_key_press_event_t*>(event);
            if (ge->event_type == XCB_INPUT_RAW_KEY_PRESS)
                events_.push_back({Kind::keyDown, raw->time, raw->detail});
            else if (ge->event_type == XCB_INPUT_RAW_KEY_RELEASE)
                events_.push_back({Kind::keyUp, raw->time, raw->detail});
        } else if (type == damageEvent_ + XCB_DAMAGE_NOTIFY) {
            const auto* d = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
            // A text caret's blink is not a repaint of what a key changed.
            if (d->area.width > 4)
                events_.push_back({Kind::damage, d->timestamp, d->drawable, d->area.y, d->area.height});
        } else if (type == XCB_PROPERTY_NOTIFY) {
            const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
            if (e->window == root_ && e->atom == active_)
                events_.push_back({Kind::active, e->time, 0});
            else if (e->window == root_ && e->atom == stacking_)
                events_.push_back({Kind::raised, e->time, 0});
        }
    }

    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    xcb_atom_t active_ = XCB_NONE;
    xcb_atom_t stacking_ = XCB_NONE;
    std::uint8_t xinput_ = 0;
    std::uint8_t damageEvent_ = 0;
    std::vector<std::pair<std::uint32_t, xcb_damage_damage_t>> damages_;
    std::vector<Event> events_;
    std::mutex mutex_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace kavelo::bench
