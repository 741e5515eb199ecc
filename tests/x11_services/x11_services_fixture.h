#pragma once

// The desktop services over the X11 backend, against a private Xvfb with a
// window manager (openbox unless a suite asks for another) and real
// clients (by default three stock ones: xclock, xeyes, xterm). Each test
// gets a fresh home folder, its own settings and a hand-driven scheduler;
// the backend's queued work runs when the test pumps.
//
// One server serves every test of a suite, so a test puts back what it
// changes for the others (minimized windows, desktops, monitors, layouts).

#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/ax.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "services/temp_home.h"
#include "support/caught_up.h"
#include "support/person_keys.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::testing {

using namespace std::chrono_literals;

// The X session a suite runs against: its window manager, the programs
// started by name and the ones started with arguments.
struct SessionSetup {
    test::WindowManager manager = test::WindowManager::openbox;
    std::vector<std::string> clients;
    std::vector<std::vector<std::string>> programs;
    friend bool operator==(const SessionSetup&, const SessionSetup&) = default;
};

class X11ServicesTest : public ::testing::Test {
protected:
    // The stock session; suites that need other clients or another manager
    // say so here.
    virtual SessionSetup sessionSetup() const { return SessionSetup{.clients = {"xclock", "xeyes", "xterm"}}; }
    // What each test starts from, whatever the test before left.
    virtual bool ready() { return stock().size() == 3; }

    void SetUp() override
    {
        std::string startError;
        session = shared(sessionSetup(), &startError);
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the X11 service tests: " << startError;
            GTEST_SKIP() << "no X server for the X11 service tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        ASSERT_TRUE(x11->hasWindowManager());
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        // The clients as the user sees them: on the shown desktop, none
        // minimized.
        ASSERT_TRUE(until([&] { return ready(); })) << "the clients are not all visible";
    }

    // One session at a time per process, started when a suite first needs
    // it; a suite with another setup replaces it.
    static test::X11Session* shared(const SessionSetup& setup, std::string* error)
    {
        static std::unique_ptr<test::X11Session> current;
        static SessionSetup running;
        static std::string failure;
        if (current && running == setup)
            return current.get();
        if (!current && running == setup && !failure.empty()) {
            *error = failure;
            return nullptr;
        }
        current.reset();
        running = setup;
        failure.clear();
        auto fresh = std::make_unique<test::X11Session>();
        if (!fresh->start(setup.clients, &failure, setup.manager)) {
            *error = failure;
            return nullptr;
        }
        for (const auto& argv : setup.programs)
            fresh->launch(argv);
        current = std::move(fresh);
        return current.get();
    }

    void TearDown() override
    {
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    // Runs what the server sent and what the backend queued.
    void pump()
    {
        x11->processEvents();
        scheduler.runPending();
    }

    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }

    Snapshot read() { return WindowCatalog::read(*desktop); }

    // The visible window of each stock client, by class (its bundle identifier).
    std::map<std::string, WindowEntry> stock(const Snapshot& snapshot)
    {
        std::map<std::string, WindowEntry> out;
        for (const auto& w : snapshot.windows)
            if (w.state == WindowState::visible &&
                (w.bundleID == "XTerm" || w.bundleID == "XClock" || w.bundleID == "XEyes"))
                out.emplace(w.bundleID, w);
        return out;
    }
    std::map<std::string, WindowEntry> stock() { return stock(read()); }

    std::optional<WindowEntry> find(const Snapshot& snapshot, WindowID id)
    {
        for (const auto& w : snapshot.windows)
            if (w.id == id)
                return w;
        return std::nullopt;
    }

    void caughtUp() { EXPECT_TRUE(test::caughtUp(*x11)); }

    // The frame as the server has it, decorations included, once openbox
    // has handled the writes.
    std::optional<Rect> serverFrame(WindowID id) { return test::serverFrame(*x11, *session, id); }

    Size increments(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window ? session->resizeIncrements(*window) : Size();
    }

    // The server's frame against the one asked for: the position to the
    // pixel, the size to the pixel or, for a window that takes whole
    // character cells, snapped down by less than one cell.
    void expectPlaced(WindowID id, const Rect& wanted)
    {
        const auto got = serverFrame(id);
        ASSERT_TRUE(got) << "window " << id << " is gone";
        const Size step = increments(id);
        EXPECT_NEAR(got->minX(), wanted.minX(), 0.5) << "window " << id;
        EXPECT_NEAR(got->minY(), wanted.minY(), 0.5) << "window " << id;
        EXPECT_LE(got->width(), wanted.width() + 0.5) << "window " << id;
        EXPECT_GT(got->width(), wanted.width() - step.width - 0.5) << "window " << id;
        EXPECT_LE(got->height(), wanted.height() + 0.5) << "window " << id;
        EXPECT_GT(got->height(), wanted.height() - step.height - 0.5) << "window " << id;
    }

    // Types a combination as a person does: modifiers down, the key held,
    // modifiers up.
    void type(std::uint16_t keyCode, const std::vector<std::uint16_t>& modifierKeys)
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifierKeys)
            held.push_back(x11->serverKeyCode(m).value());
        test::Typist(*session, [this] { pump(); }).chord(held, x11->serverKeyCode(keyCode).value());
    }

    static constexpr std::uint16_t controlKey = 59;
    static constexpr std::uint16_t optionKey = 58;

    test::X11Session* session = nullptr;
    std::unique_ptr<test::TempHome> home;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
};

// Runs its work when the scope ends, so a failed assertion still puts the
// shared session back.
class Restore {
public:
    explicit Restore(std::function<void()> work) : work_(std::move(work)) {}
    ~Restore()
    {
        if (work_)
            work_();
    }
    Restore(const Restore&) = delete;
    Restore& operator=(const Restore&) = delete;

private:
    std::function<void()> work_;
};

} // namespace kavelo::testing
