#pragma once

// A private X session for the integration tests: its own Xvfb on a free
// display, openbox, and stock clients, plus an observer connection that
// reads the server directly and types through XTest, as a user would.

#include "core/geometry.h"
#include "support/wait_for.h"

#include <xcb/xcb.h>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kavelo::test {

// The window managers a session can run. openbox as installed keeps Alt-Tab
// for its own switcher; `openboxKeysFree` binds no keys, so Alt-Tab is free
// for ours. xfwm4, mutter and KWin each run in their own session bus with a
// fresh settings folder, xfwm4 and KWin with their compositor off (mutter
// always composites). i3 tiles, with title bars and no bar.
enum class WindowManager { openbox, openboxKeysFree, xfwm4, mutter, kwin, i3 };
std::string_view rawValue(WindowManager manager);
std::optional<WindowManager> WindowManager_from(std::string_view raw);

// Whether a missing X server fails the X11 suites instead of skipping them:
// on CI (the CI variable set) it does.
bool x11Required();

class X11Session {
public:
    // Starts the server, the window manager and `clients` (program names);
    // `error` says what failed. Waits until every client is managed.
    bool start(const std::vector<std::string>& clients, std::string* error,
               WindowManager manager = WindowManager::openbox);
    // A key of openbox's and its action, as a user binds a launcher or a
    // menu; before `start`, in openbox's notation ("W-r", and an <action>).
    void bindKey(std::string key, std::string action) { bindings_.push_back({std::move(key), std::move(action)}); }
    static std::string execute(const std::string& command)
    {
        return "<action name=\"Execute\"><command>" + command + "</command></action>";
    }
    // The server's screen in pixels, before `start` (1920 × 1080 unless set).
    void setScreenSize(int width, int height) { screenSize_ = std::to_string(width) + "x" + std::to_string(height); }
    void stop();
    ~X11Session() { stop(); }

    // What the session shows now, for a give-up report: the server, the
    // manager and each program launched (alive or not), the managed
    // windows (class, title, mapped, frame) and the active one.
    std::string describe() const;

    const std::string& display() const { return display_; }
    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }

    // Starts one more program on the display (in a process group of its
    // own); its process id.
    pid_t launch(const std::vector<std::string>& argv);
    // Starts trayer as the system tray along the top edge, right-aligned
    // and 28 high; its process id once it owns the tray, or -1 when it
    // never does.
    pid_t launchTray();
    // Ends a program `launch` started, and everything it started.
    void terminate(pid_t pid);
    // Returns once the server has handled every request of this connection,
    // so that a barrier of the backend covers them.
    void sync() const;
    // Runs a program to its end; whether it exited with 0.
    bool run(const std::vector<std::string>& argv);

    // What the server says now.
    std::vector<xcb_window_t> clientList() const;            // bottom to top
    std::vector<xcb_window_t> stackingList() const;          // bottom to top
    std::optional<Rect> frame(xcb_window_t window) const;    // with decorations, root coordinates
    std::optional<Rect> clientArea(xcb_window_t window) const;   // the X window alone, root coordinates
    // A CARDINAL property (such as _GTK_FRAME_EXTENTS); empty when unset.
    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property) const;
    void setCardinals(xcb_window_t window, const char* property, const std::vector<std::uint32_t>& values);
    // The mapped windows down to `levels` below the root, a level at a time
    // (a manager's frames hold their clients one level down; a tray's icons
    // sit deeper).
    std::vector<xcb_window_t> mappedWindows(int levels = 2) const;
    // The server's pixels of a root rectangle as it stores them, to tell two
    // pictures apart; empty when it gives none.
    std::string pixels(const Rect& area) const;
    // The managed windows whose WM_CLASS class is `name`, bottom to top.
    std::vector<xcb_window_t> windowsOfClass(const std::string& name) const;
    std::optional<std::string> wmClass(xcb_window_t window) const;
    // The client's resize increments (0 where it has none).
    Size resizeIncrements(xcb_window_t window) const;
    std::optional<std::uint32_t> currentDesktop() const;
    std::optional<xcb_window_t> activeWindow() const;
    xcb_atom_t atom(const char* name) const;

    // Requests to the window manager, as a pager or the user would make them.
    void iconify(xcb_window_t window);
    // Asks the window to close, as its title bar's close button does.
    void closeWindow(xcb_window_t window);
    // Asks for the window to be the active one, as a pager does.
    void activate(xcb_window_t window);
    void moveToDesktop(xcb_window_t window, std::uint32_t desktop);
    void switchToDesktop(std::uint32_t desktop);

    // Input as a user types it.
    void key(std::uint8_t keycode, bool press);
    void button(std::uint8_t button, bool press);
    void movePointer(int x, int y);

    // Whether the manager answers: once it has, it has handled all it was
    // sent before.
    bool answering();

private:
    bool startManager(WindowManager manager, std::string* error);
    std::string describeWindows() const;

    struct Child {
        pid_t pid;
        std::string name;
    };

    std::string display_;
    std::string screenSize_ = "1920x1080";
    std::string settings_;   // the manager's settings folder, when it has one
    std::vector<std::pair<std::string, std::string>> bindings_;
    pid_t server_ = -1;
    std::vector<Child> children_;   // the manager first
    std::optional<Witness> witness_;
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = 0;
};

} // namespace kavelo::test
