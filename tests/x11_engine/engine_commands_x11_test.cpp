// Strip commands and the Control-Alt wheel over real xterms under Xvfb and
// openbox: focus moves bring the focused column into view, and a wheel
// typed through XTest pans the strip and snaps it to a column.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/mouse_button_trigger.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
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

constexpr std::uint16_t controlKey = 59;
constexpr std::uint16_t optionKey = 58;

class EngineCommandsX11 : public ::testing::Test {
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

        // Three xterms, each its own column, the newest focused.
        for (std::size_t n = 1; n <= 3; ++n) {
            terms.push_back(session->launch({"xterm"}));
            ASSERT_TRUE(until([&] { return columns() == n && atRest(); })) << n << " xterms" << describe();
        }
        key = engine->strips().begin()->first;
        area = *WindowActions::area(*desktop, desktop->platform.displays.screens().front());
        // The newest focused once openbox has given it the focus, and the
        // oldest waiting past the left edge.
        ASSERT_TRUE(until([&] {
            const auto& columns = strip().columns;
            const auto oldest = serverFrame(columns[0].ids[0]);
            return atRest() && strip().focused == columns[2].ids[0] && oldest && oldest->minX() < area.minX();
        }));
    }

    void TearDown() override
    {
        trigger.reset();
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

    // What the server sent, then a poll's worth of the engine's time.
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
    std::size_t columns() const
    {
        return engine->strips().empty() ? 0 : engine->strips().begin()->second.columns.size();
    }
    const Strip& strip() const { return engine->strips().at(key); }

    std::optional<Rect> serverFrame(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window ? session->frame(*window) : std::nullopt;
    }
    // The engine is done and the window where the strip put it (its
    // position to the pixel; xterm snaps its size down to whole cells).
    bool placed(WindowID id)
    {
        const auto got = serverFrame(id);
        const auto want = engine->stripFrames().find(id);
        return got && want != engine->stripFrames().end() && std::abs(got->minX() - want->second.minX()) <= 0.5 &&
               std::abs(got->minY() - want->second.minY()) <= 0.5;
    }
    bool atRest() { return !engine->isAnimating() && !engine->panning(); }
    // The focused column stands wholly inside the usable area.
    bool focusedInView()
    {
        if (!atRest() || !strip().focused)
            return false;
        const WindowID id = *strip().focused;
        const auto got = serverFrame(id);
        return placed(id) && got && got->minX() >= area.minX() - 0.5 && got->maxX() <= area.maxX() + 0.5;
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
    std::unique_ptr<MouseButtonTrigger> trigger;
    std::vector<pid_t> terms;
    std::string key;
    Rect area;
};

TEST_F(EngineCommandsX11, FocusMovesBringTheFocusedColumnIntoView)
{
    const WindowID oldest = strip().columns[0].ids[0];
    ASSERT_LT(serverFrame(oldest)->minX(), area.minX()) << "the oldest column waits past the left edge";

    EXPECT_TRUE(engine->perform(Command::focusFirst));
    EXPECT_EQ(strip().focused, oldest);
    ASSERT_TRUE(until([&] { return focusedInView() && engine->focusedID() == oldest; })) << describe();

    for (std::size_t column = 1; column < 3; ++column) {
        EXPECT_TRUE(engine->perform(Command::focusRight));
        const WindowID id = strip().columns[column].ids[0];
        EXPECT_EQ(strip().focused, id);
        ASSERT_TRUE(until([&] { return focusedInView() && engine->focusedID() == id; }))
            << "column " << column << describe();
    }
    // The first column waits past the left edge again.
    EXPECT_LT(serverFrame(oldest)->minX(), area.minX());
}

TEST_F(EngineCommandsX11, AControlAltWheelPansTheStripAndSnapsItToAColumn)
{
    trigger = std::make_unique<MouseButtonTrigger>(desktop->platform.eventTap, scheduler, [] { return true; });
    trigger->onScroll = [this](double delta) { return engine->scrolled(delta); };
    ASSERT_TRUE(trigger->start());
    const double from = strip().scroll;
    ASSERT_GT(from, 0) << "the newest column is in view: the strip is scrolled";

    // The wheel turned up 30 lines with Control and Alt held: 240 points
    // back along the strip.
    session->movePointer(int(area.midX()), int(area.midY()));
    const auto server = [&](std::uint16_t code) { return x11->serverKeyCode(code).value(); };
    session->key(server(controlKey), true);
    session->key(server(optionKey), true);
    for (int line = 0; line < 30; ++line) {
        session->button(4, true);
        session->button(4, false);
    }
    // Pumped without the scheduler's time, so the pan does not settle
    // between lines.
    ASSERT_TRUE(test::waitFor([&] { return engine->panning() && strip().scroll <= from - 240 + 0.5; }, 10s,
                              [&] { x11->processEvents(); }))
        << "scroll " << strip().scroll << " from " << from;
    session->key(server(optionKey), false);
    session->key(server(controlKey), false);
    EXPECT_EQ(strip().scroll, from - 240);
    EXPECT_TRUE(strip().isPanning);

    // 0.2 s after the last line: snapped to a column start, every window
    // where the strip put it.
    ASSERT_TRUE(until([&] { return atRest(); }));
    std::vector<double> starts;
    const StripLayout at0 = strip().arranged(area, 0);
    for (const auto& column : strip().columns)
        starts.push_back(std::min(at0.frames.at(column.ids[0]).minX() - area.minX(), from));
    EXPECT_NE(std::find(starts.begin(), starts.end(), strip().scroll), starts.end()) << strip().scroll;
    EXPECT_NE(strip().scroll, from - 240);
    ASSERT_TRUE(until([&] { return focusedInView(); })) << describe();
    for (const auto& column : strip().columns) {
        const WindowID id = column.ids[0];
        const Rect want = engine->stripFrames().at(id);
        if (want.minX() >= area.minX() - 1 && want.maxX() <= area.maxX() + 1) {
            EXPECT_TRUE(placed(id)) << describe();
        }
    }
}

} // namespace
} // namespace kavelo::testing
