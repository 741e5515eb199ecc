// The arrange engine in strip mode over real xterms under Xvfb and openbox:
// columns as the windows open, and every window back on screen at release.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "core/screen_coordinates.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class EngineStripX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            // In CI a missing server is a failure, not a skip.
            if (std::getenv("CI"))
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
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, panels);
        engine->start();
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        for (pid_t pid : terms)
            ::kill(pid, SIGTERM);
        if (x11)
            until([&] { return xterms().empty(); });
        terms.clear();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        home.reset();
    }

    // What the server sent, then one poll of the engine.
    void pump()
    {
        x11->processEvents();
        scheduler.advance(ArrangeEngine::pollInterval);
    }

    bool until(const std::function<bool()>& done, std::chrono::milliseconds timeout = 10s)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }

    std::vector<WindowID> xterms()
    {
        std::vector<WindowID> out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if (w.bundleID == "XTerm" && w.state == WindowState::visible && snapshot.element(w.id))
                out.push_back(w.id);
        return out;
    }

    std::optional<Rect> serverFrame(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window ? session->frame(*window) : std::nullopt;
    }

    // Where the server has the window against where the strip put it: the
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

    bool laidOut(std::size_t count)
    {
        const auto ids = xterms();
        if (ids.size() != count || engine->strips().size() != 1)
            return false;
        std::size_t columns = 0;
        for (const auto& column : engine->strips().begin()->second.columns)
            columns += column.ids.size() == 1 ? 1 : 0;
        if (columns != count)
            return false;
        const Rect area = *WindowActions::area(*desktop, desktop->platform.displays.screens().front());
        for (WindowID id : ids) {
            if (!engine->stripFrames().count(id))
                return false;
            const Rect target = engine->stripFrames().at(id);
            if (target.minX() >= area.minX() - 1 && target.maxX() <= area.maxX() + 1) {
                if (!placedAt(id, target))
                    return false;
                continue;
            }
            // A column waiting past an edge: openbox keeps a sliver of every
            // window on screen, so it stands as far out as the manager lets it.
            const auto got = serverFrame(id);
            const bool left = target.maxX() <= area.minX() + 1;
            if (!got || std::abs(got->minY() - target.minY()) > 0.5 ||
                (left ? got->minX() >= area.minX() : got->maxX() <= area.maxX()) ||
                !placedAt(id, Rect(got->origin, target.size)))
                return false;
        }
        return true;
    }

    std::string describe()
    {
        std::ostringstream out;
        for (WindowID id : xterms()) {
            out << "\n  window " << id << " at ";
            if (const auto f = serverFrame(id))
                out << *f;
            if (engine->stripFrames().count(id))
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
    std::vector<pid_t> terms;
};

TEST_F(EngineStripX11, LaysXtermsOutAsColumnsAsTheyOpen)
{
    for (std::size_t n = 1; n <= 3; ++n) {
        terms.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return laidOut(n); })) << n << " xterms are not laid out as columns" << describe();
    }
    // Left to right in the order they opened; the newest, focused, in view
    // with the one before it, and the oldest waiting past the left edge.
    const auto& strip = engine->strips().begin()->second;
    ASSERT_EQ(strip.columns.size(), 3u);
    const Rect area = *WindowActions::area(*desktop, desktop->platform.displays.screens().front());
    const Rect oldest = *serverFrame(strip.columns[0].ids[0]);
    const Rect middle = *serverFrame(strip.columns[1].ids[0]);
    const Rect newest = *serverFrame(strip.columns[2].ids[0]);
    EXPECT_LT(oldest.minX(), area.minX());
    EXPECT_EQ(middle.minX(), area.minX());
    EXPECT_EQ(middle.minY(), area.minY());
    EXPECT_EQ(newest.minX(), engine->stripFrames().at(strip.columns[2].ids[0]).minX());
    EXPECT_LE(newest.maxX(), area.maxX());
    EXPECT_GE(newest.minX(), middle.maxX() + 10);
}

TEST_F(EngineStripX11, ReleasePutsEveryWindowBackInsideTheMonitor)
{
    for (std::size_t n = 1; n <= 3; ++n) {
        terms.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return laidOut(n); }));
    }
    const auto screens = desktop->platform.displays.screens();
    const Rect visible = ScreenCoordinates::flip(screens.front().visibleFrame, screens.front().frame.height());
    // Three half-width columns do not fit: one waits past the right edge.
    std::size_t outside = 0;
    for (WindowID id : xterms())
        outside += visible.contains(*serverFrame(id)) ? 0 : 1;
    EXPECT_GE(outside, 1u);

    engine->release();
    x11->processEvents();
    EXPECT_TRUE(engine->strips().empty());
    for (WindowID id : xterms()) {
        const auto frame = serverFrame(id);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(visible.insetBy(-0.5, -0.5).contains(*frame)) << "window " << id << " at " << *frame;
    }
}

} // namespace
} // namespace kavelo::testing
