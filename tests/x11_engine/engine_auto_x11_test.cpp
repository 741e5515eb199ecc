// The arrange engine in auto mode over real xterms and xclocks under Xvfb
// and openbox: tiles as the windows open, a size check that settles on
// windows snapping to character cells, and waiting windows back on screen
// at release.

#include "core/auto_layout.h"
#include "core/screen_coordinates.h"
#include "core/tidy.h"
#include "core/tile_floor.h"
#include "engine/engine_probe.h"
#include "services/desktop_fixture.h"
#include "x11_engine/x11_engine_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class EngineAutoX11 : public X11EngineWorld {
protected:
    EngineAutoX11() : X11EngineWorld({.mode = ArrangeMode::auto_}) {}

    Platform platformFor(Platform platform) override
    {
        counting = std::make_unique<CountingAccessibility>(platform.accessibility);
        return replacing(platform, counting.get(), nullptr);
    }

    // The visible windows of the clients this test started.
    std::vector<WindowID> ours() { return windowsOf({"XTerm", "XClock", "Late"}); }

    std::string key() { return engine->visibleKeys().front(); }

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

    std::string describe() { return X11EngineWorld::describe(ours()); }

    std::unique_ptr<CountingAccessibility> counting;   // outlives the desktop built on it
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

// A window that asks for its title bar after the engine has laid it out
// and checked its size: openbox's decorations grow around it, and the
// decorated frame is put back in its tile rather than left hanging below.
TEST_F(EngineAutoX11, AWindowDecoratedAfterItWasLaidOutIsPutBackInItsTile)
{
    startEngine();
    clients.push_back(session->launch({"xterm"}));
    const pid_t late = session->launch({KAVELO_X11_TEST_CLIENT, "--class", "Late", "--decorate-on-usr1"});
    clients.push_back(late);
    ASSERT_TRUE(until([&] { return tiled(2) && !EngineProbe::sizeCheckPending(*engine); })) << describe();
    const auto window = *x11->serverWindow(windowsOf({"Late"}).front());
    const auto extents = [&] { return session->cardinals(window, "_NET_FRAME_EXTENTS"); };
    const auto bare = extents();
    ::kill(late, SIGUSR1);
    ASSERT_TRUE(until([&] { return extents().size() == 4 && extents()[2] > bare.at(2); }))
        << "the window never got its title bar" << describe();
    EXPECT_TRUE(until([&] { return tiled(2); })) << describe();
}

// Ten xclocks in rows would each get a sliver of the screen's height: the
// rows that keep the tile floor are shown, the others wait, and at mode
// off none is left smaller than the floor.
TEST_F(EngineAutoX11, ManyXclocksInRowsKeepTheTileFloorAndAreLeftNoSmaller)
{
    preferences->setDisplayLayouts({{screen(0).name, TidyLayout::rows}});
    startEngine();
    for (std::size_t n = 1; n <= 10; ++n)
        clients.push_back(session->launch({"xclock"}));
    const Size floor = TileFloor::of(area());
    ASSERT_TRUE(until([&] {
        if (ours().size() != 10 || !engine->autoOrder().count(key()) || engine->autoOrder().at(key()).size() != 10)
            return false;
        const auto& shown = engine->autoShown().at(key());
        return !shown.empty() && std::all_of(shown.begin(), shown.end(), [&](WindowID id) {
            const auto frame = serverFrame(id);
            return frame && placedAt(id, EngineProbe::autoFrames(*engine).at(id));
        });
    })) << describe();
    EXPECT_LT(engine->autoShown().at(key()).size(), 10u);
    for (WindowID id : engine->autoShown().at(key()))
        EXPECT_GE(serverFrame(id)->height(), floor.height - 0.5) << describe();

    preferences->setArrangeMode(ArrangeMode::off);
    engine->settingsChanged();
    const bool let = test::waitFor(
        [&] {
            for (WindowID id : ours()) {
                const auto frame = serverFrame(id);
                if (!frame || frame->width() < floor.width - 0.5 || frame->height() < floor.height - 0.5 ||
                    !area().insetBy(-0.5, -0.5).contains(*frame))
                    return false;
            }
            return true;
        },
        test::answerDeadline, [&] { x11->processEvents(); });
    EXPECT_TRUE(let) << describe();
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

    // Laid out again and again (a setting changed), nothing is written: the
    // shown xterm stands in its tile, openbox keeps the waiting ones where
    // it kept them the last time.
    const auto applyAgain = [&] {
        engine->settingsChanged();
        engine->lastSignature.clear();
        pump();
    };
    applyAgain();
    counting->writtenWindows.clear();
    for (int i = 0; i < 5; ++i)
        applyAgain();
    EXPECT_TRUE(counting->writtenWindows.empty()) << counting->writtenWindows.size() << " writes" << describe();

    // Only the server's answers from here: no poll runs after the quit.
    engine->release();
    const bool back = test::waitFor(
        [&] {
            for (WindowID id : ours())
                if (!visible.insetBy(-0.5, -0.5).contains(*serverFrame(id)))
                    return false;
            return true;
        },
        test::answerDeadline, [&] { x11->processEvents(); });
    EXPECT_TRUE(back) << describe();
}

// Under KWin, which moves a window wherever a pager asks (openbox and xfwm4
// keep some of every window on a monitor): an xterm moved below the screen
// is taken back to its tile.
class EngineStrayX11 : public EngineAutoX11 {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({}, &startError, test::WindowManager::kwin))
            session.reset();
    }
};

TEST_F(EngineStrayX11, AnXtermAPagerMovedOffTheScreenIsTakenBackToItsTile)
{
    startEngine();
    for (std::size_t n = 1; n <= 2; ++n) {
        clients.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return tiled(n); })) << describe();
    }
    const WindowID moved = engine->autoOrder().at(key()).back();
    const xcb_window_t window = *x11->serverWindow(moved);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = session->atom("_NET_MOVERESIZE_WINDOW");
    message.data.data32[0] = (1u << 8) | (1u << 9) | (2u << 12);   // x and y, from a pager
    message.data.data32[1] = 300;
    message.data.data32[2] = 1300;
    xcb_send_event(session->connection(), 0, session->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    session->sync();
    ASSERT_TRUE(test::waitFor([&] { return session->frame(window)->minY() >= 1080; }, test::answerDeadline,
                              [&] { x11->processEvents(); }))
        << "xfwm4 kept it on the screen: " << *session->frame(window);
    EXPECT_TRUE(until([&] { return tiled(2); })) << describe();
}

} // namespace
} // namespace kavelo::testing
