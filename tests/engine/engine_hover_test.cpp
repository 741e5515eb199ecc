// Focus follows mouse: the pointer at rest for 0.15 s over another
// application's window brings it forward; what it looks through and what
// stops it. Mouse follows focus: the warp to a strip frame's centre.

#include "engine/engine_fixture.h"

namespace kavelo::testing {
namespace {


class EngineHover : public EngineTest {
protected:
    // Three applications with a window each, side by side, the last in front.
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i) {
            pids.push_back(app("com.example.App" + std::to_string(i), "App " + std::to_string(i)));
            ids.push_back(open(pids.back(), "Window " + std::to_string(i), Rect(20 + 460 * i, 60, 440, 500)));
        }
        sim.focusWindow(ids[2]);
    }

    // Over a window, in top-left coordinates.
    Point over(WindowID id) const { return frameOf(id).center(); }
    std::optional<std::int32_t> front() const { return sim.frontmost(); }

    // Another program's window in front of everything at `layer`.
    WindowID cover(const std::string& owner, std::int32_t layer, Rect frame, double alpha = 1)
    {
        const auto pid = app("com.example." + std::to_string(covers++), owner);
        const WindowID id = window(pid, owner, frame, [&](SimWindow& w) {
            w.layer = layer;
            w.alpha = alpha;
            w.subrole.reset();
        });
        sim.focusWindow(ids[2]);
        return id;
    }

    // One of this program's panels.
    WindowID panel(std::int32_t level, Rect frame)
    {
        return desktop.platform.windowServer.showPanel(OwnPanel{.frame = frame, .level = level, .name = "panel"});
    }

    std::vector<std::int32_t> pids;
    std::vector<WindowID> ids;
    int covers = 0;
};

TEST_F(EngineHover, OffSchedulesNothing)
{
    start(ArrangeMode::off);
    sim.movePointer(over(ids[0]));
    EXPECT_FALSE(EngineProbe::hoverPending(*engine));
    scheduler.advance(1.0);
    EXPECT_EQ(front(), pids[2]);
}

TEST_F(EngineHover, OnlyAPointerAtRestBringsTheWindowUnderItForward)
{
    prefs.setFocusFollowsMouse(true);
    start(ArrangeMode::off);
    sim.resetCounters();
    // Crossing the windows without a pause of 0.15 s focuses none of them.
    for (int round = 0; round < 3; ++round)
        for (int i = 0; i < 2; ++i) {
            sim.movePointer(over(ids[std::size_t(i)]));
            EXPECT_TRUE(EngineProbe::hoverPending(*engine));
            scheduler.advance(0.14);
        }
    EXPECT_EQ(front(), pids[2]);
    EXPECT_EQ(total().raises, 0);

    // At rest over the first window: raised, its application in front.
    sim.movePointer(over(ids[0]));
    scheduler.advance(0.149);
    EXPECT_EQ(front(), pids[2]);
    scheduler.advance(0.002);
    EXPECT_EQ(front(), pids[0]);
    EXPECT_EQ(sim.counters(ids[0]).raises, 1);
    EXPECT_FALSE(EngineProbe::hoverPending(*engine));

    // Resting over the focused window changes nothing.
    sim.resetCounters();
    sim.movePointer(Point(over(ids[0]).x + 5, over(ids[0]).y));
    scheduler.advance(0.2);
    EXPECT_EQ(total().raises, 0);
    // Nor over the desktop.
    sim.movePointer(Point(1430, 890));
    scheduler.advance(0.2);
    EXPECT_EQ(front(), pids[0]);
}

TEST_F(EngineHover, AHeldButtonAnAnimationOrAPanKeepsTheFocus)
{
    prefs.setFocusFollowsMouse(true);
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto focusedApp = front();
    // A window of another application than the focused one.
    WindowID other = 0;
    for (std::size_t i = 0; i < ids.size(); ++i)
        if (pids[i] != focusedApp && areaOf(primary).contains(over(ids[i])))
            other = ids[i];
    ASSERT_NE(other, 0u);

    sim.movePointer(over(other));
    sim.pressButton(0);
    scheduler.advance(0.2);
    sim.releaseButton(0);
    EXPECT_EQ(front(), focusedApp) << "a button held";

    EngineProbe::panningOf(*engine) = key;
    sim.movePointer(over(other));
    scheduler.advance(0.2);
    EXPECT_EQ(front(), focusedApp) << "panning";
    EngineProbe::panningOf(*engine).reset();

    EngineProbe::shown(*engine)[key] = engine->strips().at(key).scroll + 300;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(engine->isAnimating());
    sim.movePointer(over(other));
    EngineProbe::focusUnderMouse(*engine);
    EXPECT_EQ(front(), focusedApp) << "animating";
    ASSERT_TRUE(settle());

    sim.movePointer(over(other));
    scheduler.advance(0.15);
    EXPECT_NE(front(), focusedApp);
}

TEST_F(EngineHover, TheWalkLooksThroughDockWindowServerAndClearWindowsButNotOtherLayers)
{
    prefs.setFocusFollowsMouse(true);
    start(ArrangeMode::off);
    const Rect under = frameOf(ids[0]);
    const auto restOver = [&](WindowID id) {
        sim.movePointer(over(id));
        scheduler.advance(0.15);
    };

    const WindowID dock = cover("Dock", 20, under);
    const WindowID server = cover("Window Server", 0, under.insetBy(10, 10));
    const WindowID clear = cover("Overlay", 0, under.insetBy(20, 20), 0);
    restOver(ids[0]);
    EXPECT_EQ(front(), pids[0]) << "looked through";
    sim.closeWindow(dock);
    sim.closeWindow(server);
    sim.closeWindow(clear);

    // A menu of another program at layer 3 in front: no change.
    sim.focusWindow(ids[2]);
    const WindowID menu = cover("Menus", 3, under.insetBy(30, 30));
    restOver(ids[0]);
    EXPECT_EQ(front(), pids[2]);
    sim.closeWindow(menu);
    restOver(ids[1]);
    EXPECT_EQ(front(), pids[1]);
}

TEST_F(EngineHover, ThisProgramsPanelsAreLookedThroughButACurtainStopsTheWalk)
{
    prefs.setFocusFollowsMouse(true);
    start(ArrangeMode::off);
    const Rect under = frameOf(ids[0]);
    const WindowID badge = panel(4, under);
    const WindowID indicator = panel(101, under.insetBy(40, 40));
    sim.movePointer(over(ids[0]));
    scheduler.advance(0.15);
    EXPECT_EQ(front(), pids[0]);
    desktop.platform.windowServer.removePanel(badge);
    desktop.platform.windowServer.removePanel(indicator);

    // Clean Space's curtain over the second window, the first focused: the
    // pointer resting on the curtain focuses nothing beneath it.
    const WindowID curtain = panel(0, frameOf(ids[1]));
    sim.movePointer(over(ids[1]));
    scheduler.advance(0.15);
    EXPECT_EQ(front(), pids[0]);
    EXPECT_EQ(sim.counters(ids[1]).raises, 0);

    // A curtain faded out entirely is looked through like any clear window.
    OwnPanel faded{.frame = frameOf(ids[1]), .level = 0, .alpha = 0, .name = "panel"};
    desktop.platform.windowServer.updatePanel(curtain, faded);
    sim.movePointer(over(ids[1]));
    scheduler.advance(0.15);
    EXPECT_EQ(front(), pids[1]);
}

TEST_F(EngineHover, MouseFollowsFocusWarpsToTheStripFrameCentre)
{
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const WindowID target = ids[1];
    const Rect frame = engine->stripFrames().at(target);
    sim.movePointer(Point(3, 3));

    EngineProbe::warpMouse(*engine, target);
    EXPECT_EQ(sim.pointer(), Point(3, 3)) << "the setting is off";

    prefs.setMouseFollowsFocus(true);
    EngineProbe::warpMouse(*engine, target);
    EXPECT_EQ(sim.pointer(), frame.center());

    // A window without a strip frame leaves the pointer where it is.
    sim.movePointer(Point(3, 3));
    EngineProbe::warpMouse(*engine, 999999);
    EXPECT_EQ(sim.pointer(), Point(3, 3));
}

// During the scroll a focus move starts, the pointer goes where the window
// ends up, not where it stood before the scroll.
TEST_F(EngineHover, MouseFollowsFocusWarpsToWhereTheScrollTakesTheWindow)
{
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    ASSERT_EQ(engine->strips().at(key).focused, ids[2]);
    ASSERT_EQ(engine->strips().at(key).scroll, 715);
    prefs.setMouseFollowsFocus(true);

    engine->perform(Command::focusLeft);
    engine->perform(Command::focusLeft);
    ASSERT_TRUE(engine->isAnimating());
    EXPECT_EQ(sim.pointer(), Point(362.5, 462.5));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sim.pointer(), engine->stripFrames().at(ids[0]).center());
}

} // namespace
} // namespace kavelo::testing
