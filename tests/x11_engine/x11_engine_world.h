#pragma once

// The world the engine's X11 suites share: one Xvfb and openbox per suite,
// and per test a fresh home, an X11 desktop on the manual scheduler, the
// services the engine reads, and the clients the test started, ended
// again at tear-down.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"
#include "support/caught_up.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <vector>

namespace kavelo::testing {

// Key codes of Control and Option (Alt), as the engine's tests type them.
inline constexpr std::uint16_t controlKey = 59;
inline constexpr std::uint16_t optionKey = 58;

// Counts the batched frame writes the engine sends, passing them on.
class CountingAccessibility : public Accessibility {
public:
    explicit CountingAccessibility(Accessibility& inner) : inner_(inner) {}
    bool isTrusted() const override { return inner_.isTrusted(); }
    bool requestTrust() override { return inner_.requestTrust(); }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override { return inner_.windows(pid); }
    ElementRef focusedWindow(std::int32_t pid) const override { return inner_.focusedWindow(pid); }
    using Accessibility::setFrames;
    std::vector<bool> setFrames(std::span<const FrameWrite> writes) override
    {
        written += int(writes.size());
        for (const auto& write : writes)
            if (const auto number = write.element ? write.element->windowNumber() : std::nullopt)
                writtenWindows.push_back(*number);
        return inner_.setFrames(writes);
    }
    int written = 0;
    std::vector<WindowID> writtenWindows;   // each write's window

private:
    Accessibility& inner_;
};

class X11EngineWorld : public ::testing::Test {
protected:
    struct Options {
        std::optional<ArrangeMode> mode;   // set before the engine starts
        bool startEngine = false;          // at the end of SetUp
    };

    X11EngineWorld() = default;
    explicit X11EngineWorld(Options options) : options_(options) {}

    // A suite that prepares its server further hides this and calls
    // `startSession` first.
    static void SetUpTestSuite() { startSession(); }
    static void TearDownTestSuite() { session.reset(); }

    static bool startSession()
    {
        session = std::make_unique<test::X11Session>();
        if (session->start({}, &startError))
            return true;
        session.reset();
        return false;
    }

    // Whether SetUp left a world to test in (a suite's own SetUp checks it
    // before going on).
    bool ready() const { return x11 && desktop && !IsSkipped() && !HasFatalFailure(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the engine's X11 tests: " << startError;
            GTEST_SKIP() << "no X server for the engine's X11 tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{platformFor(x11->platform(scheduler, scheduler.clock())), *preferences});
        working = std::make_unique<WorkingApp>(x11->workspace());
        if (options_.mode)
            preferences->setArrangeMode(*options_.mode);
        if (options_.startEngine)
            startEngine();
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        for (pid_t pid : clients)
            ::kill(pid, SIGTERM);
        if (x11)
            until([&] { return session->clientList().empty(); });
        clients.clear();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    // The platform the desktop is built on; a suite may wrap parts of it.
    virtual Platform platformFor(Platform platform) { return platform; }

    void startEngine(std::optional<ArrangeMode> mode = std::nullopt)
    {
        if (mode)
            preferences->setArrangeMode(*mode);
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, panels);
        engine->start();
    }

    // What the server sent, then a poll's worth of the engine's time.
    void pump()
    {
        x11->processEvents();
        scheduler.advance(ArrangeEngine::pollInterval);
    }

    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }

    // The visible windows of these applications, as the catalog lists them.
    std::vector<WindowID> windowsOf(const std::vector<std::string>& bundles)
    {
        std::vector<WindowID> out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if (std::find(bundles.begin(), bundles.end(), w.bundleID) != bundles.end() &&
                w.state == WindowState::visible && snapshot.element(w.id))
                out.push_back(w.id);
        return out;
    }
    std::vector<WindowID> xterms() { return windowsOf({"XTerm"}); }

    std::optional<Rect> serverFrame(WindowID id) { return test::serverFrame(*x11, *session, id); }

    Screen screen(std::size_t index) { return desktop->platform.displays.screens().at(index); }
    Rect area(std::size_t index = 0) { return *WindowActions::area(*desktop, screen(index)); }

    // Where the server has the window against where the engine put it: the
    // position to the pixel, the size snapped down by less than a cell.
    bool placedAt(WindowID id, const Rect& wanted)
    {
        const auto got = serverFrame(id);
        const auto window = x11->serverWindow(id);
        if (!got || !window)
            return false;
        const Size step = session->resizeIncrements(*window);
        return std::abs(got->minX() - wanted.minX()) <= 0.5 && std::abs(got->minY() - wanted.minY()) <= 0.5 &&
               got->width() <= wanted.width() + 0.5 && got->width() > wanted.width() - step.width - 0.5 &&
               got->height() <= wanted.height() + 0.5 && got->height() > wanted.height() - step.height - 0.5;
    }

    // Each window where the server has it and where the program believes it
    // is, and its strip frame when it has one.
    std::string describe(const std::vector<WindowID>& ids)
    {
        std::ostringstream out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (WindowID id : ids) {
            out << "\n  window " << id << " at ";
            if (const auto f = serverFrame(id))
                out << *f;
            for (const auto& w : snapshot.windows)
                if (w.id == id && w.frame != serverFrame(id))
                    out << " (the program reads " << w.frame << ")";
            if (engine && engine->stripFrames().count(id))
                out << " strip frame " << engine->stripFrames().at(id);
        }
        return out.str();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;

    std::unique_ptr<test::TempHome> home;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    std::unique_ptr<WorkingApp> working;
    RecordingToast toast;
    FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;
    std::vector<pid_t> clients;   // ended at tear-down

private:
    Options options_;
};

} // namespace kavelo::testing
