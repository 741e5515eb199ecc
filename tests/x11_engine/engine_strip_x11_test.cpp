// The arrange engine in strip mode over real xterms under Xvfb and openbox:
// columns as the windows open, and every window back on screen at release.

#include "app/services/ax.h"
#include "core/screen_coordinates.h"
#include "services/desktop_fixture.h"
#include "support/stop_manager.h"
#include "x11_engine/x11_engine_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <sstream>
#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

class EngineStripX11 : public X11EngineWorld {
protected:
    EngineStripX11() : X11EngineWorld({.mode = ArrangeMode::strip, .startEngine = true}) {}

    Platform platformFor(Platform platform) override
    {
        counting = std::make_unique<CountingAccessibility>(platform.accessibility);
        return replacing(platform, counting.get(), nullptr);
    }
    std::unique_ptr<CountingAccessibility> counting;   // outlives the desktop built on it

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
        const Rect area = X11EngineWorld::area(monitor);
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

    std::string describe() { return X11EngineWorld::describe(xterms()); }

    // `count` xterms opened one at a time, each laid out as a column first.
    void openColumns(std::size_t count)
    {
        for (std::size_t n = 1; n <= count; ++n) {
            clients.push_back(session->launch({"xterm"}));
            ASSERT_TRUE(until([&] { return laidOut(n); })) << n << " xterms are not laid out as columns" << describe();
        }
    }

    std::size_t monitor = 0;   // the one the strip is laid out on
};

TEST_F(EngineStripX11, LaysXtermsOutAsColumnsAsTheyOpen)
{
    ASSERT_NO_FATAL_FAILURE(openColumns(3));
    // Left to right in the order they opened; the newest, focused, in view
    // with the one before it, and the oldest waiting past the left edge.
    // The layout can settle before openbox has given the newest the focus:
    // then the strip scrolls once more.
    ASSERT_TRUE(until([&] {
        const auto& columns = engine->strips().begin()->second.columns;
        return columns.size() == 3 && engine->strips().begin()->second.focused == columns[2].ids[0] &&
               !engine->isAnimating() && laidOut(3);
    })) << "the newest xterm is not focused in view"
        << describe();
    const auto& strip = engine->strips().begin()->second;
    const Rect area = X11EngineWorld::area();
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

// xclock takes no input: openbox leaves the focus on the xterm, and the
// strip still scrolls to the clock and stays there.
TEST_F(EngineStripX11, AFocusMoveOntoAnXclockBringsItIntoView)
{
    clients.push_back(session->launch({"xclock"}));
    ASSERT_TRUE(until([&] { return windowsOf({"XClock"}).size() == 1 && engine->strips().size() == 1; }));
    const WindowID clock = windowsOf({"XClock"}).front();
    for (std::size_t n = 1; n <= 2; ++n) {
        clients.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return xterms().size() == n; }));
    }
    const auto& strip = [&]() -> const Strip& { return engine->strips().begin()->second; };
    const Rect area = X11EngineWorld::area();
    ASSERT_TRUE(until([&] {
        const auto frame = serverFrame(clock);
        return strip().columns.size() == 3 && !engine->isAnimating() && frame && frame->minX() < area.minX() &&
               strip().focused == strip().columns[2].ids[0];
    })) << "the clock waits past the left edge" << X11EngineWorld::describe({clock});

    EXPECT_TRUE(engine->perform(Command::focusFirst));
    const auto inView = [&] {
        const auto frame = serverFrame(clock);
        return strip().focused == clock && !engine->isAnimating() && frame &&
               std::abs(frame->minX() - area.minX()) <= 0.5;
    };
    ASSERT_TRUE(until(inView)) << X11EngineWorld::describe({clock});
    for (int i = 0; i < 10; ++i)
        pump();
    EXPECT_TRUE(inView()) << "the strip scrolled back" << X11EngineWorld::describe({clock});
}

// A window that asks for its title bar while its column waits past the
// left edge, where openbox keeps a sliver of it rather than where it was
// sent: its decorated frame still takes the column's size.
TEST_F(EngineStripX11, AParkedColumnDecoratedLateTakesItsSizeAgain)
{
    const pid_t late = session->launch({KAVELO_X11_TEST_CLIENT, "--class", "Late", "--decorate-on-usr1"});
    clients.push_back(late);
    ASSERT_TRUE(until([&] { return windowsOf({"Late"}).size() == 1; }));
    const WindowID id = windowsOf({"Late"}).front();
    for (std::size_t n = 1; n <= 2; ++n) {
        clients.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(until([&] { return xterms().size() == n; }));
    }
    const Rect area = X11EngineWorld::area();
    const auto parked = [&] {
        const auto frame = serverFrame(id);
        return !engine->isAnimating() && frame && frame->minX() < area.minX() && engine->stripFrames().count(id) &&
               placedAt(id, Rect(frame->origin, engine->stripFrames().at(id).size));
    };
    ASSERT_TRUE(until(parked)) << X11EngineWorld::describe({id});
    const auto window = *x11->serverWindow(id);
    const auto extents = [&] { return session->cardinals(window, "_NET_FRAME_EXTENTS"); };
    const auto bare = extents();
    ::kill(late, SIGUSR1);
    ASSERT_TRUE(until([&] { return extents().size() == 4 && extents()[2] > bare.at(2); }))
        << "the window never got its title bar" << X11EngineWorld::describe({id});
    EXPECT_TRUE(until(parked)) << X11EngineWorld::describe({id});
}

// xterm takes its size in whole character cells, a little short of its
// column, and openbox keeps a sliver of the column parked past the edge on
// screen: once each window stands where the manager answered, pass after
// pass writes nothing.
TEST_F(EngineStripX11, ASettledStripOfXtermsIsNotWrittenAgain)
{
    ASSERT_NO_FATAL_FAILURE(openColumns(3));
    ASSERT_TRUE(until([&] { return !engine->isAnimating() && laidOut(3); })) << describe();
    const WindowID first = xterms().front();
    ASSERT_NE(serverFrame(first)->size, engine->stripFrames().at(first).size) << "xterm fills its column exactly";
    // The pass that finds the parked column where openbox kept it.
    engine->lastSignature.clear();
    pump();
    counting->writtenWindows.clear();
    std::ostringstream perPass;
    for (int i = 0; i < 8; ++i) {
        const std::size_t before = counting->writtenWindows.size();
        engine->lastSignature.clear();
        pump();
        perPass << ' ' << counting->writtenWindows.size() - before;
    }
    EXPECT_TRUE(counting->writtenWindows.empty()) << "writes per pass:" << perPass.str() << describe();
    EXPECT_TRUE(toast.shown.empty()) << toast.shown.front().first;
}

// A pass that reads a window before the manager has handled a move sent to
// it elsewhere takes it for one in place; once the manager catches up and
// the move lands, nothing else changes, and the column must still come back.
TEST_F(EngineStripX11, AColumnMovedAfterAPassReadItInPlaceIsLaidOutAgain)
{
    ASSERT_NO_FATAL_FAILURE(openColumns(2));
    ASSERT_TRUE(until([&] { return !engine->isAnimating() && laidOut(2); })) << describe();
    const WindowID moved = xterms().front();
    const Rect column = *serverFrame(moved);

    pid_t manager = -1;
    ASSERT_NO_FATAL_FAILURE(test::stopManager(*session, *x11, manager));
    const Snapshot snapshot = WindowCatalog::read(*desktop);
    const Rect away(Point(column.minX() + 300, column.minY() + 200), column.size);
    const std::vector<FrameWrite> move{FrameWrite{snapshot.element(moved), away}};
    AX::setFrames(desktop->platform.accessibility, move);
    engine->lastSignature.clear();
    pump();
    ASSERT_EQ(::kill(manager, SIGCONT), 0);
    ASSERT_TRUE(until([&] { return serverFrame(moved) != column; })) << "the move never landed" << describe();
    EXPECT_TRUE(until([&] { return laidOut(2); })) << describe();
}

TEST_F(EngineStripX11, ReleasePutsEveryWindowBackInsideTheMonitor)
{
    ASSERT_NO_FATAL_FAILURE(openColumns(3));
    const auto screens = desktop->platform.displays.screens();
    const Rect visible = ScreenCoordinates::flip(screens.front().visibleFrame, screens.front().frame.height());
    // Three half-width columns do not fit: one waits past the right edge.
    std::size_t outside = 0;
    for (WindowID id : xterms())
        outside += visible.contains(*serverFrame(id)) ? 0 : 1;
    EXPECT_GE(outside, 1u);

    // A parked column minimised leaves the strip where it stands: restored
    // after the mode went off, it must not come back past the edge.
    WindowID minimised = 0;
    for (WindowID id : xterms())
        if (!visible.contains(*serverFrame(id)))
            minimised = id;
    session->iconify(xcb_window_t(*x11->serverWindow(minimised)));
    ASSERT_TRUE(until([&] { return engine->strips().begin()->second.columns.size() == 2; }));

    preferences->setArrangeMode(ArrangeMode::off);
    engine->settingsChanged();
    x11->processEvents();
    EXPECT_TRUE(engine->strips().empty());
    session->activate(*x11->serverWindow(minimised));
    ASSERT_TRUE(until([&] { return xterms().size() == 3; }));
    for (WindowID id : xterms()) {
        const auto frame = serverFrame(id);
        ASSERT_TRUE(frame);
        EXPECT_TRUE(visible.insetBy(-0.5, -0.5).contains(*frame)) << "window " << id << " at " << *frame;
    }
}

// Two monitors side by side on one screen: the strip of the left one
// cannot park a column past its right edge without showing it on the right
// monitor, so it holds it at its own edge; past the left edge openbox keeps
// a sliver on screen. Neither is the window manager refusing a move.
class EngineStripTwoMonitorsX11 : public EngineStripX11 {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        session->setScreenSize(3840, 2160);
        if (!session->start({}, &startError)) {
            session.reset();
            return;
        }
        if (!session->run({"xrandr", "--setmonitor", "Left", "1920/508x2160/572+0+0", "screen"}) ||
            !session->run({"xrandr", "--setmonitor", "Right", "1920/508x2160/572+1920+0", "none"})) {
            startError = "xrandr could not split the screen into two monitors";
            session.reset();
        }
    }
};

TEST_F(EngineStripTwoMonitorsX11, ParkedColumnsStayOffTheRightMonitorAndNoToastBlamesOpenbox)
{
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
    for (std::size_t n = 1; n <= 3; ++n) {
        clients.push_back(session->launch({"xterm", "-geometry", "60x20+40+80"}));
        ASSERT_TRUE(until([&] { return xterms().size() == n; }));
    }
    const auto& strip = [&]() -> const Strip& { return engine->strips().begin()->second; };
    const auto settledOn = [&](std::size_t column) {
        return laidOut(3) && !engine->isAnimating() && strip().focused == strip().columns[column].ids[0];
    };
    const auto onTheRightMonitor = [&] {
        const auto ids = xterms();
        return std::any_of(ids.begin(), ids.end(), [&](WindowID id) { return serverFrame(id)->maxX() > 1920; });
    };
    // The oldest column waits past the left edge, where openbox keeps a sliver.
    ASSERT_TRUE(until([&] { return settledOn(2); })) << describe();
    EXPECT_FALSE(onTheRightMonitor()) << describe();

    // The newest waits right of the view, held at the left monitor's edge.
    EXPECT_TRUE(engine->perform(Command::focusFirst));
    ASSERT_TRUE(until([&] { return settledOn(0); })) << describe();
    EXPECT_FALSE(onTheRightMonitor()) << describe();
    EXPECT_NEAR(engine->stripFrames().at(strip().columns[2].ids[0]).maxX(), X11EngineWorld::area(0).maxX(), 0.5);
    for (int i = 0; i < 4; ++i) {
        engine->lastSignature.clear();
        pump();
    }
    EXPECT_TRUE(toast.shown.empty()) << toast.shown.front().first;
}

// Six xterms scrolled end to end and back, step by step and in jumps, on
// either monitor: at every stop each parked column stays off the other
// monitor and below the columns in view, and no toast blames openbox.
class EngineStripScrollsOnTwoMonitorsX11 : public EngineStripTwoMonitorsX11,
                                          public ::testing::WithParamInterface<std::size_t> {};

TEST_P(EngineStripScrollsOnTwoMonitorsX11, ParkedColumnsStayOffTheOtherMonitorAndBelowTheView)
{
    monitor = GetParam();
    const std::size_t columns = 6;
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
    const std::string at = monitor == 0 ? "60x20+40+80" : "60x20+2000+80";
    for (std::size_t n = 1; n <= columns; ++n) {
        clients.push_back(session->launch({"xterm", "-geometry", at}));
        ASSERT_TRUE(until([&] { return xterms().size() == n; }));
    }
    const auto& strip = [&]() -> const Strip& { return engine->strips().begin()->second; };
    const auto settledOn = [&](std::size_t column) {
        return strip().columns.size() == columns && laidOut(columns) && !engine->isAnimating() &&
               strip().focused == strip().columns[column].ids[0];
    };
    const auto faults = [&] {
        std::ostringstream out;
        const Rect area = X11EngineWorld::area(monitor);
        const auto layout = strip().arranged(area, strip().scroll).frames;
        const auto stacking = session->stackingList();
        const auto height = [&](WindowID id) {
            return std::find(stacking.begin(), stacking.end(), *x11->serverWindow(id)) - stacking.begin();
        };
        std::vector<WindowID> shown, parked;
        for (const auto& [id, frame] : layout) {
            (frame.maxX() <= area.minX() + 1 || frame.minX() >= area.maxX() - 1 ? parked : shown).push_back(id);
            const Rect now = *serverFrame(id);
            if (monitor == 0 ? now.maxX() > area.maxX() + 0.5 : now.minX() < area.minX() - 0.5)
                out << " window " << id << " shows on the other monitor;";
        }
        for (WindowID p : parked)
            for (WindowID v : shown) {
                const Rect cut = serverFrame(p)->intersection(*serverFrame(v));
                if (!cut.isNull() && cut.width() > 20 && height(p) > height(v))
                    out << " parked window " << p << " covers window " << v << " in view;";
            }
        for (const auto& [text, symbol] : toast.shown)
            out << " toast: " << text << ';';
        return out.str();
    };
    std::vector<std::pair<Command, std::size_t>> moves{{Command::focusFirst, 0}};
    for (std::size_t i = 1; i < columns; ++i)
        moves.emplace_back(Command::focusRight, i);
    for (std::size_t i = columns - 1; i-- > 0;)
        moves.emplace_back(Command::focusLeft, i);
    // Jumps park the column openbox raised last over the far column in view.
    moves.insert(moves.end(),
                 {{Command::focusLast, columns - 1}, {Command::focusFirst, 0}, {Command::focusLast, columns - 1}});
    for (const auto& [command, column] : moves) {
        EXPECT_TRUE(engine->perform(command));
        ASSERT_TRUE(until([&] { return settledOn(column); })) << "column " << column << describe();
        for (int i = 0; i < 2; ++i) {
            engine->lastSignature.clear();
            pump();
        }
        EXPECT_EQ(faults(), "") << "focused on column " << column << describe();
    }
}

INSTANTIATE_TEST_SUITE_P(LeftAndRight, EngineStripScrollsOnTwoMonitorsX11, ::testing::Values(0u, 1u));

// A strip on a monitor that is gone (the monitors changed under strip
// mode) still lets its windows go when the mode goes off: none stays parked
// past the edge of a monitor that no longer exists.
TEST_F(EngineStripTwoMonitorsX11, ColumnsParkedOnAMonitorThatIsGoneComeBackWhenTheModeGoesOff)
{
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
    for (std::size_t n = 1; n <= 3; ++n) {
        clients.push_back(session->launch({"xterm", "-geometry", "60x20+40+80"}));
        ASSERT_TRUE(until([&] { return xterms().size() == n; }));
    }
    const auto& strip = [&]() -> const Strip& { return engine->strips().begin()->second; };
    ASSERT_TRUE(until([&] {
        return laidOut(3) && !engine->isAnimating() && strip().focused == strip().columns[2].ids[0];
    })) << describe();

    ASSERT_TRUE(session->run({"xrandr", "--delmonitor", "Left"}) && session->run({"xrandr", "--delmonitor", "Right"}));
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 1; }));
    preferences->setArrangeMode(ArrangeMode::off);
    engine->settingsChanged();

    const Rect screen = desktop->platform.displays.screens().front().frame;
    const auto onScreen = [&] {
        const auto ids = xterms();
        return std::all_of(ids.begin(), ids.end(), [&](WindowID id) {
            const auto frame = serverFrame(id);
            return frame && screen.insetBy(-0.5, -0.5).contains(*frame);
        });
    };
    EXPECT_TRUE(until(onScreen)) << describe();
    session->run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"});
    session->run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"});
}

} // namespace
} // namespace kavelo::testing
