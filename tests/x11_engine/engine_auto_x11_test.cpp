// The arrange engine in auto mode over real xterms and xclocks under Xvfb
// and openbox: tiles as the windows open, a size check that settles on
// windows snapping to character cells, and waiting windows back on screen
// at release.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "core/screen_coordinates.h"
#include "core/tidy.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/desktop_fixture.h"
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
#include <thread>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

// Counts the batched frame writes the engine sends, passing them on.
class CountingAccessibility : public Accessibility {
public:
    explicit CountingAccessibility(Accessibility& inner) : inner_(inner) {}
    bool isTrusted() const override { return inner_.isTrusted(); }
    bool requestTrust() override { return inner_.requestTrust(); }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override { return inner_.windows(pid); }
    ElementRef focusedWindow(std::int32_t pid) const override { return inner_.focusedWindow(pid); }
    std::vector<bool> setFrames(std::span<const FrameWrite> writes) override
    {
        written += int(writes.size());
        return inner_.setFrames(writes);
    }
    int written = 0;

private:
    Accessibility& inner_;
};

class EngineAutoX11 : public ::testing::Test {
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
        Platform platform = x11->platform(scheduler, scheduler.clock());
        counting = std::make_unique<CountingAccessibility>(platform.accessibility);
        desktop.emplace(Desktop{replacing(platform, counting.get(), nullptr), *preferences});
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::auto_);
    }

    void startEngine()
    {
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, panels);
        engine->start();
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        for (pid_t pid : clients)
            ::kill(pid, SIGTERM);
        if (x11)
            until([&] { return ours().empty(); });
        clients.clear();
        desktop.reset();
        counting.reset();
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

    // The visible windows of the clients this test started.
    std::vector<WindowID> ours()
    {
        std::vector<WindowID> out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if ((w.bundleID == "XTerm" || w.bundleID == "XClock") && w.state == WindowState::visible &&
                snapshot.element(w.id))
                out.push_back(w.id);
        return out;
    }

    std::optional<Rect> serverFrame(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window ? session->frame(*window) : std::nullopt;
    }

    Rect area() { return *WindowActions::area(*desktop, desktop->platform.displays.screens().front()); }

    std::string key() { return engine->visibleKeys().front(); }

    // The position to the pixel, the size snapped down by less than a cell.
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

    // Every window of ours in the order, each in its grid tile.
    bool tiled(std::size_t count)
    {
        const auto ids = ours();
        if (ids.size() != count || !engine->autoOrder().count(key()))
            return false;
        const auto& order = engine->autoOrder().at(key());
        if (order.size() != count)
            return false;
        const auto tiles = Tidy::frames(TidyLayout::grid, int(count), area(), preferences->windowGap(), 0);
        for (std::size_t i = 0; i < count; ++i)
            if (!placedAt(order[i], tiles[i]))
                return false;
        return true;
    }

    std::string describe()
    {
        std::ostringstream out;
        for (WindowID id : ours()) {
            out << "\n  window " << id << " at ";
            if (const auto f = serverFrame(id))
                out << *f;
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
    std::unique_ptr<CountingAccessibility> counting;
    std::optional<Desktop> desktop;
    std::unique_ptr<WorkingApp> working;
    RecordingToast toast;
    FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;
    std::vector<pid_t> clients;
};

TEST_F(EngineAutoX11, TilesXtermsAndXclocksAsTheyOpenAndTheSizeCheckSettles)
{
    startEngine();
    const std::vector<std::vector<std::string>> programs{{"xterm"}, {"xclock"}, {"xterm"}};
    for (std::size_t n = 1; n <= programs.size(); ++n) {
        clients.push_back(session->launch(programs[n - 1]));
        ASSERT_TRUE(until([&] { return tiled(n); })) << n << " windows are not tiled as a grid" << describe();
    }

    // Cells make xterms a little smaller than their tiles, never larger:
    // the size check finds nothing to put back and nothing more is written.
    for (int i = 0; i < 5; ++i) {
        pump();
        std::this_thread::sleep_for(20ms);
    }
    counting->written = 0;
    for (int i = 0; i < 10; ++i) {
        pump();
        std::this_thread::sleep_for(20ms);
    }
    EXPECT_EQ(counting->written, 0);
    EXPECT_EQ(EngineProbe::autoPlaced(*engine).size(), programs.size()) << "the check settled";
    EXPECT_TRUE(preferences->minimumSizes().empty());
    EXPECT_TRUE(tiled(programs.size())) << describe();
}

TEST_F(EngineAutoX11, ReleaseBringsWaitingXtermsBackOnScreen)
{
    // Learned wider than half the screen: one xterm fits, the others wait.
    preferences->setMinimumSizes({{"XTerm", Size(area().width() * 0.6, 0)}});
    startEngine();
    for (std::size_t n = 1; n <= 3; ++n) {
        clients.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return ours().size() == n && engine->autoOrder().count(key()) &&
                                       engine->autoOrder().at(key()).size() == n; }))
            << describe();
    }
    ASSERT_TRUE(until([&] {
        const auto& waiting = engine->autoWaiting().at(key());
        return waiting.left.size() + waiting.right.size() == 2;
    }));
    const auto screens = desktop->platform.displays.screens();
    const Rect visible = ScreenCoordinates::flip(screens.front().visibleFrame, screens.front().frame.height());
    ASSERT_TRUE(until([&] {
        std::size_t outside = 0;
        for (WindowID id : ours())
            outside += visible.contains(*serverFrame(id)) ? 0 : 1;
        return outside == 2;
    })) << "the waiting xterms stand past the edge" << describe();

    // Only the server's answers from here: no poll runs after the quit.
    engine->release();
    const bool back = test::waitFor(
        [&] {
            for (WindowID id : ours())
                if (!visible.insetBy(-0.5, -0.5).contains(*serverFrame(id)))
                    return false;
            return true;
        },
        10s, [&] { x11->processEvents(); });
    EXPECT_TRUE(back) << describe();
}

} // namespace
} // namespace kavelo::testing
