#pragma once

// A private X session for the integration tests: its own Xvfb on a free
// display, openbox, and stock clients, plus an observer connection that
// reads the server directly and types through XTest, as a user would.

#include "core/geometry.h"

#include <xcb/xcb.h>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::test {

class X11Session {
public:
    // How openbox is configured: as installed (its own switcher on Alt-Tab),
    // or with a test configuration that binds no keys, so Alt-Tab is free.
    enum class Manager { standard, altTabFree };

    // Starts the server, the window manager and `clients` (program names);
    // `error` says what failed. Waits until every client is managed.
    bool start(const std::vector<std::string>& clients, std::string* error, Manager manager = Manager::standard);
    void stop();
    ~X11Session() { stop(); }

    const std::string& display() const { return display_; }
    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }

    // Starts one more program on the display; its process id.
    pid_t launch(const std::vector<std::string>& argv);
    // Runs a program to its end; whether it exited with 0.
    bool run(const std::vector<std::string>& argv);

    // What the server says now.
    std::vector<xcb_window_t> clientList() const;            // bottom to top
    std::vector<xcb_window_t> stackingList() const;          // bottom to top
    std::optional<Rect> frame(xcb_window_t window) const;    // with decorations, root coordinates
    std::optional<std::string> wmClass(xcb_window_t window) const;
    // The client's resize increments (0 where it has none).
    Size resizeIncrements(xcb_window_t window) const;
    std::optional<std::uint32_t> currentDesktop() const;
    xcb_atom_t atom(const char* name) const;

    // Requests to the window manager, as a pager or the user would make them.
    void iconify(xcb_window_t window);
    void moveToDesktop(xcb_window_t window, std::uint32_t desktop);
    void switchToDesktop(std::uint32_t desktop);

    // Input as a user types it.
    void key(std::uint8_t keycode, bool press);
    void button(std::uint8_t button, bool press);
    void movePointer(int x, int y);

private:
    std::string display_;
    pid_t server_ = -1;
    std::vector<pid_t> children_;
    std::string configFolder_;
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
};

// Polls `done` until it holds or `timeout` passes, running `pump` between
// tries.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout,
             const std::function<void()>& pump = {});

} // namespace kavelo::test
