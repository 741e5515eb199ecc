#pragma once

// The built `kavelo`, started as a user starts it (private home and XDG
// folders), on a private Xvfb with openbox (its keys left free) or i3,
// xterms, xclock and a GTK program, typed at as a person types. Every
// outcome is read from the server: the active window, frames, the
// program's mapped panels. One program serves a suite, so each test sets up
// the window order it starts from.

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/cpu_use.h"
#include "support/person_keys.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kavelo::testing {

using namespace std::chrono_literals;

// Classic virtual key codes, turned into the server's by the backend.
namespace Key {
constexpr std::uint16_t control = 59, option = 58, shift = 56, tab = 48, escape = 53, returnKey = 36, space = 49,
                        left = 123, right = 124, command = 55, r = 15, n = 45, o = 31, t = 17, e = 14, s = 1,
                        w = 13, z = 6, f = 3, rightBracket = 30;
} // namespace Key

// The GTK program's title; typed to find it.
constexpr const char* gtkTitle = "Notes";

// How a suite's program starts: as for someone who has used it before, or
// for the first time (its welcome window open) beside a tray.
enum class E2EStart { welcomed, firstRunWithTray };

// One program on one manager's session per suite: openbox with its keys
// left free, or i3, which tiles and leaves the stacking alone when the
// focus moves.
template <test::WindowManager manager, E2EStart start = E2EStart::welcomed>
class E2E : public ::testing::Test {
protected:
    static constexpr bool tiling = manager == test::WindowManager::i3;
    static constexpr bool firstRun = start == E2EStart::firstRunWithTray;

    static void SetUpTestSuite()
    {
        // Programs on the private display talk to no session bus of the user's.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("NO_AT_BRIDGE", "1", 1);
        ::setenv("GTK_A11Y", "none", 1);
        session = std::make_unique<test::X11Session>();
        session->bindKey("W-r", test::X11Session::execute(std::string(KAVELO_X11_TEST_CLIENT) + " --hold-keyboard"));
        const std::vector<std::string> first = tiling ? std::vector<std::string>{"xterm"}
                                                      : std::vector<std::string>{"xterm", "xclock"};
        if (!session->start(first, &startError, manager)) {
            session.reset();
            return;
        }
        session->launch({"xterm", "-class", "XTermTwo"});
        if (tiling)
            session->launch({"xterm", "-class", "XTermThree"});
        else
            session->launch({"zenity", "--info", "--title", gtkTitle, "--text", "A GTK window"});
        const std::size_t count = tiling ? 3 : 4;
        if (!test::waitFor([&] { return session->clientList().size() >= count; }, test::answerDeadline)) {
            startError = "the clients were not managed in time";
            session.reset();
            return;
        }
        if (firstRun && session->launchTray() < 0) {
            startError = "trayer never took the tray";
            session.reset();
            return;
        }
        home = std::make_unique<test::TempHome>();
        test::privateRuntime(*home);
        ::unsetenv("KAVELO_BACKEND");
        test::writeDefaults(*home, firstRun ? "{}" : R"({"welcomed": true})");
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        if (!x11) {
            startError = error;
            session.reset();
            return;
        }
        kavelo = session->launch({KAVELO_BINARY});
        if (!test::waitFor([] { return accepts(); }, test::answerDeadline))
            startError = "kavelo never listened";
        // Done starting, as a person finds it: a program still busy with its
        // start reads the focus changes of a pager's quick clicks as one.
        test::waitFor([] { return test::cpuShare(kavelo, 200ms).value_or(0) < 0.2; }, test::answerDeadline);
    }

    static void TearDownTestSuite()
    {
        if (session && kavelo > 0)
            session->terminate(kavelo);
        kavelo = -1;
        x11.reset();
        session.reset();
        home.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    void SetUp() override
    {
        // Never skipped: the suite is about the program as it runs.
        ASSERT_TRUE(session) << "no X session for the end-to-end tests: " << startError;
        ASSERT_TRUE(startError.empty()) << startError;
        hand.emplace(*session);
        // What an earlier test left open goes first; a first run opens with
        // its welcome.
        if (!firstRun) {
            ASSERT_TRUE(test::waitFor([&] { return panels().empty(); }, test::answerDeadline))
                << "a panel of kavelo is still shown";
        }
    }

    // The socket accepts once the launch has registered the shortcuts.
    static bool accepts()
    {
        return test::listens(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "kavelo" /
                             (InstancePaths::fileName(session->display()) + ".socket"));
    }

    std::uint8_t server(std::uint16_t key) { return x11->serverKeyCode(key).value(); }

    xcb_window_t client(const std::string& className)
    {
        const auto windows = session->windowsOfClass(className);
        return windows.empty() ? XCB_NONE : windows.back();
    }
    xcb_window_t gtk() { return client("Zenity"); }

    // Focuses each in turn as a pager would, the last one ending active;
    // asked again while the manager is still busy with the one before.
    void focusInOrder(const std::vector<xcb_window_t>& windows)
    {
        for (xcb_window_t w : windows) {
            std::chrono::steady_clock::time_point asked;
            ASSERT_TRUE(test::waitFor(
                [&] {
                    if (session->activeWindow() == w)
                        return true;
                    if (const auto now = std::chrono::steady_clock::now(); now - asked >= 500ms) {
                        session->activate(w);
                        asked = now;
                    }
                    return false;
                },
                test::answerDeadline))
                << session->wmClass(w).value_or("?") << " never became active";
            // Used a moment, as a person uses a window: Kavelo learns the
            // order of use from each change.
            hand->wait(200ms);
        }
    }

    // The launcher openbox runs on Super-R, holding the keyboard while a
    // letter and Escape are typed into it, then letting go, as people use one.
    void typeIntoALauncher()
    {
        const auto hold = [&] { return session->cardinals(session->root(), "KAVELO_TEST_HOLD"); };
        session->setCardinals(session->root(), "KAVELO_TEST_HOLD", {});
        chord({Key::command}, Key::r);
        ASSERT_TRUE(test::waitFor([&] { return hold().size() == 3 && hold()[0] == 1; }, test::answerDeadline))
            << "the launcher never held the keyboard";
        stroke(Key::s);
        stroke(Key::escape);
        const bool letGo = test::waitFor([&] { return hold()[0] == 0; }, test::answerDeadline);
        const auto told = hold();
        if (!letGo)
            ::kill(pid_t(told[2]), SIGTERM);
        ASSERT_TRUE(letGo) << "the launcher read " << told[1] << " keys and kept the keyboard";
        EXPECT_EQ(told[1], 2u) << "keys the launcher read";
    }

    // Until the two windows stand side by side, apart, and stay put.
    test::Waited sideBySideAndStill(xcb_window_t a, xcb_window_t b)
    {
        std::vector<std::optional<Rect>> last;
        return test::waitFor(
            [&] {
                hand->wait(300ms);
                std::vector<std::optional<Rect>> now{session->frame(a), session->frame(b)};
                const bool still = now == last && now[0] && now[1] && !now[0]->intersection(*now[1]).width();
                last = now;
                return still;
            },
            test::answerDeadline);
    }

    test::Waited becomesActive(xcb_window_t window, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor([&] { return session->activeWindow() == window; }, timeout);
    }

    // Kavelo's own windows the server shows now (its panels and windows),
    // with their frames in root coordinates; `smallest` leaves out the
    // active-window border and the like.
    std::map<xcb_window_t, Rect> panels(Size smallest = Size(150, 100))
    {
        std::map<xcb_window_t, Rect> out;
        for (xcb_window_t w : session->mappedWindows()) {
            if (!ours(w))
                continue;
            const auto area = session->clientArea(w);
            // The active-window border and the like are thin or small; a
            // closed overview may stay mapped past every screen.
            if (area && area->width() >= smallest.width && area->height() >= smallest.height &&
                area->intersects(Rect(0, 0, 1920, 1080)))
                out.emplace(w, *area);
        }
        return out;
    }
    // Whether the window is the program's own.
    bool ours(xcb_window_t window)
    {
        const auto pid = session->cardinals(window, "_NET_WM_PID");
        return pid.size() == 1 && pid[0] == std::uint32_t(kavelo);
    }
    // The program's icon in the tray, in root coordinates, once the tray has
    // placed it (where two looks a moment apart find it).
    std::optional<Rect> trayIcon()
    {
        const auto docked = [&]() -> std::optional<Rect> {
            for (xcb_window_t w : session->mappedWindows(4))
                if (const auto area = session->clientArea(w);
                    ours(w) && area && area->width() <= 64 && area->minY() < 40)
                    return area;
            return std::nullopt;
        };
        std::optional<Rect> placed;
        const bool still = test::waitFor(
            [&] {
                const auto now = docked();
                hand->wait(100ms);
                return now && std::exchange(placed, now) == now;
            },
            test::answerDeadline);
        return still ? placed : std::nullopt;
    }
    bool fullScreenPanel()
    {
        for (const auto& [w, frame] : panels())
            if (frame.width() >= 1920 && frame.height() >= 1080)
                return true;
        return false;
    }
    // The switcher: centred on the screen, smaller than it.
    bool switcherPanel()
    {
        for (const auto& [w, frame] : panels())
            if (frame.width() < 1920 && std::abs(frame.midX() - 960) <= 2 && std::abs(frame.midY() - 540) <= 2)
                return true;
        return false;
    }

    // The strip indicator: a row of tiles centred near the bottom.
    std::optional<Rect> indicatorPanel()
    {
        for (const auto& [w, frame] : panels(Size(40, 40)))
            if (frame.height() < 150 && frame.minY() > 800 && std::abs(frame.midX() - 960) <= 2)
                return frame;
        return std::nullopt;
    }

    // A left click at a root point, as a hand makes it.
    void click(Point at)
    {
        session->movePointer(int(at.x), int(at.y));
        session->sync();
        hand->wait(100ms);
        session->button(1, true);
        hand->wait(30ms);
        session->button(1, false);
        session->sync();
    }

    void down(std::uint16_t key)
    {
        hand->down(server(key));
        hand->pause();
    }
    void up(std::uint16_t key)
    {
        hand->up(server(key));
        hand->pause();
    }
    void stroke(std::uint16_t key)
    {
        hand->stroke(server(key));
        hand->pause();
    }
    void chord(std::vector<std::uint16_t> modifiers, std::uint16_t key)
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifiers)
            held.push_back(server(m));
        hand->chord(held, server(key));
        hand->pause();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::unique_ptr<test::TempHome> home;
    static inline std::unique_ptr<X11Desktop> x11;
    static inline pid_t kavelo = -1;
    static inline std::string startError;
    std::optional<test::Typist> hand;
};


} // namespace kavelo::testing
