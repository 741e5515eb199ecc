#pragma once

// What the X server says while the soak runs, from two connections of its
// own on their own threads:
//
// - the top-level windows as the server reports them (created, mapped,
//   moved), so that the time a key brings one of Kavelo's panels into view
//   is known;
// - every request that moves a window (ConfigureWindow, and the messages
//   that ask a window manager to move, resize or change a state), who sent
//   it, and the configure notifications that followed, through the RECORD
//   extension: so that a window found where it should not be can be traced
//   to the request that put it there.

#include "core/geometry.h"

#include <xcb/xcb.h>

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::soak {

using Steady = std::chrono::steady_clock;

class ServerWatch {
public:
    ServerWatch(const std::string& display, pid_t kavelo, std::string* error);
    ~ServerWatch();
    ServerWatch(const ServerWatch&) = delete;
    ServerWatch& operator=(const ServerWatch&) = delete;

    bool ok() const { return ok_; }
    // The first time at or after `since` that one of Kavelo's panels at
    // least `least` large came into view (mapped, mostly on the screen);
    // waits up to `timeout` for it.
    std::optional<Steady::time_point> panelShown(Steady::time_point since, Size least,
                                                 std::chrono::milliseconds timeout);
    // Whether one of Kavelo's panels at least `least` large is in view.
    bool panelInView(Size least);
    // Kavelo's mapped top-level windows and where they stand, for a panel
    // that did not come.
    std::string kaveloWindows();
    // Who put `client`'s frame where it stands: the last configure of it,
    // and the requests about it from every client in the second before.
    std::string placedBy(xcb_window_t client) const;

private:
    struct TopLevel {
        Rect frame;
        bool mapped = false;
        bool overrideRedirect = false;
        std::optional<bool> kavelo;
        bool shown = false;
        Size shownSize;
    };
    struct Ask {
        Steady::time_point at;
        std::string who;
        xcb_window_t window = XCB_NONE;   // asked about
        std::string what;
    };
    struct Placed {
        Steady::time_point at;
        Rect frame;
        std::vector<Ask> asks;
    };

    void watchEvents();
    void watchRequests();
    void noteTopLevel(xcb_window_t window);
    void parse(const std::uint8_t* data, std::size_t size, std::uint8_t category, std::uint32_t base,
               Steady::time_point at);
    void noteAsk(xcb_window_t window, Ask ask);
    pid_t pidOf(xcb_connection_t* c, xcb_window_t window) const;
    std::string nameOf(std::uint32_t base) const;

    std::string display_;
    pid_t kavelo_;
    bool ok_ = false;
    std::atomic<bool> stop_{false};

    // Events.
    xcb_connection_t* events_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    std::map<xcb_window_t, TopLevel> tops_;
    mutable std::mutex shownMutex_;
    std::condition_variable shownChanged_;
    std::vector<std::pair<Steady::time_point, Size>> shown_;
    std::string kaveloWindows_;
    std::vector<Size> inView_;
    std::thread eventThread_;

    // Requests.
    xcb_connection_t* control_ = nullptr;
    xcb_connection_t* data_ = nullptr;
    xcb_connection_t* asking_ = nullptr;   // names the askers
    std::uint32_t context_ = 0;
    std::uint32_t idMask_ = 0;
    mutable std::mutex recordMutex_;
    std::map<xcb_window_t, xcb_window_t> frameOf_;   // client -> frame
    std::map<xcb_window_t, std::deque<Ask>> asks_;   // by the window asked about
    std::map<xcb_window_t, Placed> placed_;          // by frame
    mutable std::map<std::uint32_t, std::string> names_;
    std::map<std::string, xcb_atom_t> atoms_;
    std::map<xcb_atom_t, std::string> atomNames_;
    std::thread recordThread_;
};

} // namespace kavelo::soak
