// The engine's lifecycle on the simulated desktop: start, pauses by reason,
// settings and display changes, adoption, release, layout keys, other
// window managers and Stage Manager.

#include "engine/engine_fixture.h"

#include "core/screen_coordinates.h"
#include "core/tidy.h"

#include <algorithm>

namespace kavelo::testing {
namespace {

using EngineLifecycle = EngineTest;


// A second display to the right of the primary one.
std::uint32_t addStudio(SimDesktop& sim)
{
    return sim.addDisplay(SimDisplay{.name = "Studio Display", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
}

TEST_F(EngineLifecycle, StartsOnceAndRunsTheFirstPassAtTheFirstPoll)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "One", Rect(300, 200, 400, 300));
    start(ArrangeMode::strip);
    engine->start();

    EXPECT_TRUE(engine->isStarted());
    EXPECT_EQ(panels.highlight->starts, 1);
    EXPECT_EQ(scheduler.pendingCount(), 1u) << "one poll timer";
    EXPECT_EQ(frameOf(w), Rect(300, 200, 400, 300)) << "no pass inside start()";

    poll();
    ASSERT_EQ(engine->stripFrames().count(w), 1u);
    EXPECT_EQ(frameOf(w), engine->stripFrames().at(w));
    EXPECT_NE(frameOf(w), Rect(300, 200, 400, 300));
}

TEST_F(EngineLifecycle, EachPauseReasonHasItsOwnDeadline)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "One");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const Seconds t0 = scheduler.clock().monotonic();

    EXPECT_EQ(engine->pausedUntil(), ArrangeEngine::distantPast);
    engine->pause(PauseReason::workflow, 12);
    engine->pause(PauseReason::cleanSpace, 86400);
    EXPECT_EQ(engine->pausedUntil(), t0 + Seconds(86400));
    EXPECT_TRUE(engine->lastSignature.empty());

    // A display change ends only its own pause: the window behind Clean
    // Space's curtains stays where it is.
    const WindowID focused = open(notes, "Two", Rect(40, 60, 700, 500));
    engine->displaysChanged();
    EXPECT_EQ(engine->pausedUntil(PauseReason::cleanSpace), t0 + Seconds(86400));
    EXPECT_EQ(engine->pausedUntil(PauseReason::workflow), t0 + Seconds(12));
    poll(3);
    EXPECT_EQ(frameOf(focused), Rect(40, 60, 700, 500));

    // Ending Clean Space leaves the workflow switch's pause running.
    engine->pause(PauseReason::cleanSpace, 0);
    EXPECT_EQ(engine->pausedUntil(), t0 + Seconds(12));
    poll();
    EXPECT_EQ(frameOf(focused), Rect(40, 60, 700, 500));
    scheduler.advance(12);
    poll();
    EXPECT_EQ(frameOf(focused), engine->stripFrames().at(focused));
}

TEST_F(EngineLifecycle, AdoptionEndsTheWorkflowAndDisplayPausesOnlyInAutoMode)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    ASSERT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{b, a}));

    engine->pause(PauseReason::workflow, 12);
    engine->pause(PauseReason::display, 4);
    engine->pause(PauseReason::fillScreen, 30);
    sim.closeWindow(b);
    const WindowID c = open(notes, "C");
    const WindowID d = open(notes, "D");
    engine->adoptWindows();
    // The survivors in their old order, then the newcomers front to back.
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{a, d, c}));
    EXPECT_EQ(engine->pausedUntil(PauseReason::workflow), scheduler.clock().monotonic());
    EXPECT_EQ(engine->pausedUntil(PauseReason::display), scheduler.clock().monotonic());
    EXPECT_GT(engine->pausedUntil(), scheduler.clock().monotonic()) << "Fill the screen still pauses";
}

TEST_F(EngineLifecycle, AdoptionInStripModeChangesNothing)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "A");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const auto strips = engine->strips();
    engine->pause(PauseReason::workflow, 12);
    const Seconds until = engine->pausedUntil();
    sim.resetCounters();

    engine->adoptWindows();
    EXPECT_EQ(engine->strips(), strips);
    EXPECT_TRUE(engine->autoOrder().empty());
    EXPECT_EQ(engine->pausedUntil(), until);
    EXPECT_EQ(total(), SimCounters());
}

TEST_F(EngineLifecycle, ChangingFromStripToAutoLaysEveryStripOutAsAGrid)
{
    const auto studio = addStudio(sim);
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> left{open(notes, "1"), open(notes, "2"), open(notes, "3")};
    std::vector<WindowID> right{open(notes, "4", Rect(1600, 100, 500, 400)), open(notes, "5", Rect(1700, 100, 500, 400))};
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    ASSERT_EQ(engine->strips().size(), 2u);
    const auto leftColumns = columnsOf(keyOf(primary));
    const auto rightColumns = columnsOf(keyOf(studio));

    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_TRUE(engine->strips().empty());
    EXPECT_TRUE(engine->memory().empty());
    EXPECT_TRUE(engine->homes().empty());
    EXPECT_TRUE(panels.tabBars->current().empty());
    EXPECT_TRUE(panels.edgeZones->current().empty());
    EXPECT_EQ(engine->lastMode(), ArrangeMode::auto_);

    for (const auto& [display, columns] : {std::pair{primary, leftColumns}, std::pair{studio, rightColumns}}) {
        std::vector<WindowID> order;
        for (const auto& column : columns)
            order.insert(order.end(), column.begin(), column.end());
        const auto grid = Tidy::frames(TidyLayout::grid, int(order.size()), areaOf(display), 10, 0);
        for (std::size_t i = 0; i < order.size(); ++i)
            EXPECT_EQ(frameOf(order[i]), grid[i]) << "window " << order[i];
    }
}

TEST_F(EngineLifecycle, SwitchingADisplayOffReleasesOnlyItsStrip)
{
    const auto studio = addStudio(sim);
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "1");
    const WindowID b = open(notes, "2");
    const WindowID c = open(notes, "3", Rect(1600, 100, 500, 400));
    const WindowID d = open(notes, "4", Rect(1700, 100, 500, 400));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    EngineProbe::memory(*engine)[keyOf(studio)] = StripMemory();
    EngineProbe::memory(*engine)[keyOf(primary)] = StripMemory();
    const Rect aBefore = frameOf(a);
    const Rect bBefore = frameOf(b);

    prefs.setDisplaysOff({"Studio Display"});
    EXPECT_EQ(engine->strips().count(keyOf(studio)), 0u);
    EXPECT_EQ(engine->memory().count(keyOf(studio)), 0u);
    EXPECT_EQ(engine->memory().count(keyOf(primary)), 1u);
    const auto grid = Tidy::frames(TidyLayout::grid, 2, areaOf(studio), 10, 0);
    std::vector<Rect> got{frameOf(c), frameOf(d)};
    std::sort(got.begin(), got.end(), [](const Rect& x, const Rect& y) { return x.minX() < y.minX(); });
    EXPECT_EQ(got, grid);
    EXPECT_EQ(frameOf(a), aBefore);
    EXPECT_EQ(frameOf(b), bBefore);

    // From now on the display's windows have a home but no strip.
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->strips().count(keyOf(studio)), 0u);
    EXPECT_EQ(engine->homes().at(c), "Studio Display");
}

TEST_F(EngineLifecycle, ADisplayChangeForgetsHomesInAutoModeAndRunsTheNextPoll)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "1");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_FALSE(engine->homes().empty());
    engine->displaysChanged();
    EXPECT_TRUE(engine->homes().empty());
    EXPECT_TRUE(engine->lastSignature.empty());
    poll();
    EXPECT_FALSE(engine->homes().empty());

    // In strip mode the homes stay.
    engine->testMode = ArrangeMode::strip;
    engine->displaysChanged();
    EXPECT_FALSE(engine->homes().empty());
}

TEST_F(EngineLifecycle, ReleaseLaysEachStripOutInsideItsDisplay)
{
    const auto studio = addStudio(sim);
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> all;
    for (int i = 0; i < 5; ++i)
        all.push_back(open(notes, "P" + std::to_string(i)));
    for (int i = 0; i < 3; ++i)
        all.push_back(open(notes, "S" + std::to_string(i), Rect(1600, 100, 500, 400)));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    // Some columns wait past the screen edge.
    const Rect visible = ScreenCoordinates::flip(screenOf(primary).visibleFrame, 900);
    ASSERT_TRUE(std::any_of(all.begin(), all.begin() + 5, [&](WindowID id) { return !visible.contains(frameOf(id)); }));

    engine->release();
    EXPECT_TRUE(engine->strips().empty());
    EXPECT_FALSE(engine->isAnimating());
    EXPECT_TRUE(panels.tabBars->current().empty());
    EXPECT_TRUE(panels.edgeZones->current().empty());
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto display = i < 5 ? primary : studio;
        const Rect vis = ScreenCoordinates::flip(screenOf(display).visibleFrame, 900);
        EXPECT_TRUE(vis.contains(frameOf(all[i]))) << "window " << all[i] << " at " << frameOf(all[i]);
    }
}

TEST_F(EngineLifecycle, ReleaseLeavesStripsItCannotLayOut)
{
    const auto studio = addStudio(sim);
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "1");
    const WindowID b = open(notes, "2", Rect(1600, 100, 500, 400));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string studioKey = keyOf(studio);

    // A display that is gone keeps its strip; so does one without room.
    ASSERT_TRUE(sim.removeDisplay(studio));
    prefs.setReservedEdges({{"top", 5000}});
    sim.resetCounters();
    engine->release();
    EXPECT_EQ(engine->strips().count(studioKey), 1u);
    EXPECT_EQ(engine->strips().count(keyOf(primary)), 1u);
    EXPECT_EQ(total().writes, 0);
    (void)a;
    (void)b;
}

TEST_F(EngineLifecycle, LayoutKeysNameTheDisplayAndTheDesktopItShows)
{
    const auto dell = sim.addDisplay(SimDisplay{.name = "Dell|U2720", .frame = Rect(1440, 0, 1280, 800),
                                                .desktops = {7}, .currentDesktop = 7});
    start(ArrangeMode::strip);
    const auto keys = engine->visibleKeys();
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(keys[1], "Dell|U2720|7");
    const auto found = engine->screen("Dell|U2720|7");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, dell);
    EXPECT_EQ(engine->screen("Built-in Display|" + std::to_string(sim.display(primary)->currentDesktop))->id, primary);
    EXPECT_FALSE(engine->screen("Gone|1"));
    EXPECT_FALSE(engine->screen("no desktop part"));

    const auto second = sim.addDesktop(dell);
    sim.switchDesktop(dell, second);
    EXPECT_EQ(engine->visibleKeys()[1], "Dell|U2720|" + std::to_string(second));
}

TEST_F(EngineLifecycle, ClashingAppNamesTheFirstRunningWindowManager)
{
    EXPECT_FALSE(ArrangeEngine::clashingApp(sim.workspace()));
    app("com.example.Notes", "Notes");
    EXPECT_FALSE(ArrangeEngine::clashingApp(sim.workspace()));
    app("com.manytricks.Moom", "Moom");
    app("com.knollsoft.Rectangle", "Rectangle");
    EXPECT_EQ(ArrangeEngine::clashingApp(sim.workspace()), "Moom");
}

TEST_F(EngineLifecycle, ClashingAppNamesATilingWindowManagerAfterTheListedApplications)
{
    sim.setWindowManagerName("Openbox");
    EXPECT_FALSE(ArrangeEngine::clashingApp(sim.workspace()));
    sim.setWindowManagerName("i3");
    EXPECT_EQ(ArrangeEngine::clashingApp(sim.workspace()), "i3");
    sim.setWindowManagerName("HerbstluftWM");
    EXPECT_EQ(ArrangeEngine::clashingApp(sim.workspace()), "herbstluftwm");
    // A name that only starts like one is another manager.
    sim.setWindowManagerName("i3lock");
    EXPECT_FALSE(ArrangeEngine::clashingApp(sim.workspace()));
    sim.setWindowManagerName("bspwm");
    app("com.amethyst.Amethyst", "Amethyst");
    EXPECT_EQ(ArrangeEngine::clashingApp(sim.workspace()), "Amethyst");
}

TEST_F(EngineLifecycle, StageManagerCountsAsOnOnlyForATrueValue)
{
    const auto on = [&](nlohmann::json value) {
        sim.setPreference("com.apple.WindowManager", "GloballyEnabled", std::move(value));
        return ArrangeEngine::stageManagerIsOn(sim.workspace());
    };
    EXPECT_FALSE(ArrangeEngine::stageManagerIsOn(sim.workspace()));
    EXPECT_TRUE(on(true));
    EXPECT_TRUE(on(1));
    EXPECT_TRUE(on("YES"));
    EXPECT_FALSE(on(false));
    EXPECT_FALSE(on(0));
    EXPECT_FALSE(on("maybe"));
    EXPECT_FALSE(on(nlohmann::json::array({1})));
    EXPECT_FALSE(on(nullptr));
}

} // namespace
} // namespace kavelo::testing
