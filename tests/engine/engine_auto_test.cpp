// Auto mode on the simulated desktop, end to end: windows tiled by each
// display's layout as they open, the main window remembered, windows
// waiting past the edges with their hint, sliding and bringing in, shared
// tiles with tabs, and what is put back on screen when arranging lets go.

#include "engine/engine_auto_fixture.h"

#include "core/auto_layout.h"
#include "core/screen_coordinates.h"
#include "core/tidy.h"
#include "core/tile_floor.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavelo::testing {
namespace {

// ---------------------------------------------------------------- layouts

TEST_F(EngineAuto, WindowsTileByTheirDisplaysLayoutAsTheyOpen)
{
    const auto studio = addStudio();
    prefs.setDisplayLayouts({{"Studio", TidyLayout::columns}});
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, "here " + std::to_string(i));
    open(notes, "there 0", onStudio());
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    expectTiled(primary, TidyLayout::grid);
    expectTiled(studio, TidyLayout::columns);

    // A newcomer joins its display's layout at the end of the order.
    const WindowID late = open(notes, "there 1", onStudio(50));
    ASSERT_TRUE(settle());
    EXPECT_EQ(order(studio).back(), late);
    expectTiled(studio, TidyLayout::columns);

    // The display's own grid, then the grid that follows the window count.
    const GridPlan centre = GridPlan::presets()[8].plan;
    prefs.setGridPlans({{primaryName, centre}});
    prefs.setDisplayLayouts({{"Studio", TidyLayout::columns}, {primaryName, TidyLayout::custom}});
    ASSERT_TRUE(settle());
    expectPlan(primary, centre);

    prefs.setGridFollowsCount(true);
    ASSERT_TRUE(settle());
    expectPlan(primary, GridPlan::forCount(3));
    // "Big left, 2": the main window takes the whole left half.
    const Rect area = areaOf(primary);
    EXPECT_EQ(frameOf(order(primary)[0]), Rect(area.minX(), area.minY(), (area.width() - 10) / 2, area.height()));
    open(notes, "here 3");
    ASSERT_TRUE(settle());
    expectPlan(primary, GridPlan::forCount(4));
    expectTiled(studio, TidyLayout::columns);
}

TEST_F(EngineAuto, AnUnchangedKeyIsLaidOutAgainOnlyWhenStale)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    scheduler.advance(3.0);
    sim.resetCounters();
    sim.focusWindow(order(primary).back());
    poll(5);
    EXPECT_EQ(total().writes, 0);

    // A settings change makes every key stale: laid out with the new gap.
    prefs.setWindowGap(24);
    ASSERT_TRUE(settle());
    EXPECT_GT(total().writes, 0);
    expectTiled(primary, TidyLayout::grid);
}

TEST_F(EngineAuto, TheMainWindowIsRememberedAcrossARestart)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    open(notes, "Draft");
    const WindowID inbox = open(mail, "Inbox");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_EQ(order(primary).front(), inbox);
    const std::vector<std::string> remembered{"com.example.Mail", "Inbox"};
    EXPECT_EQ(prefs.mainWindows().at(primaryName), remembered);
    {
        UserDefaults reread(home.paths().userDefaults);
        Preferences stored(reread, sim.loginItem(), [](int) { return false; });
        EXPECT_EQ(stored.mainWindows().at(primaryName), remembered);
    }

    // Restarted with a newer window of the same application and another
    // application in front: the remembered window leads.
    prefs.onArrangeChange = nullptr;
    engine.reset();
    const WindowID outbox = open(mail, "Outbox");
    const WindowID letter = open(notes, "Letter");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    EXPECT_EQ(order(primary).front(), inbox);
    EXPECT_EQ(frameOf(inbox), Tidy::frames(TidyLayout::grid, 4, areaOf(primary), 10, 0)[0]);

    // Renamed since: the first window of that application leads.
    sim.modifyWindow(inbox, [](SimWindow& w) { w.title = "Inbox (3)"; });
    EXPECT_EQ(EngineProbe::mainFirst(*engine, {letter, outbox, inbox}, keyOf(primary)),
              (std::vector<WindowID>{outbox, letter, inbox}));
    prefs.setMainWindows({{primaryName, {"com.example.Mail"}}});
    EXPECT_EQ(EngineProbe::mainFirst(*engine, {letter, outbox, inbox}, keyOf(primary)),
              (std::vector<WindowID>{letter, outbox, inbox}))
        << "an entry that is not two texts leaves the order alone";
}

// ---------------------------------------------------------------- waiting windows

TEST_F(EngineAuto, WindowsThatDoNotFitWaitAndSlideIntoView)
{
    prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
    const auto pid = app(wideApp, "Wide");
    for (int i = 0; i < 3; ++i)
        wide(pid, std::to_string(i), 800);
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto ids = order(primary);
    const Rect area = areaOf(primary);

    // One 800-point window fits beside none: the others wait on the right,
    // 800 wide (more than 0.4 of the screen), 2 points past the edge.
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[0]}));
    EXPECT_EQ(waiting(primary), (ArrangeEngine::Waiting{.left = {}, .right = {ids[1], ids[2]}}));
    EXPECT_EQ(frameOf(ids[0]), area);
    EXPECT_EQ(frameOf(ids[1]), Rect(area.maxX() + 2, area.minY(), 800, area.height()));
    EXPECT_EQ(hints(), (std::vector<std::pair<std::string, std::string>>{
                           {"2 windows are waiting. Click the tab at the screen edge", "arrow.left.and.right"}}));

    ASSERT_TRUE(EngineProbe::slideAuto(*engine, key, true));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[1]}));
    EXPECT_EQ(waiting(primary), (ArrangeEngine::Waiting{.left = {ids[0]}, .right = {ids[2]}}));
    EXPECT_EQ(frameOf(ids[0]), Rect(area.minX() - 2 - 800, area.minY(), 800, area.height()));
    EXPECT_EQ(sim.stacking().front(), ids[1]) << "the window slid in is raised";
    ASSERT_TRUE(EngineProbe::slideAuto(*engine, key, true));
    EXPECT_EQ(engine->autoOffset().at(key), 2);

    sim.resetCounters();
    EXPECT_FALSE(EngineProbe::slideAuto(*engine, key, true));
    EXPECT_EQ(toast.shown.back(), (std::pair<std::string, std::string>{"No more windows that way", "arrow.left.and.right"}));
    EXPECT_EQ(total().writes, 0);
    EXPECT_EQ(engine->autoOffset().at(key), 2);

    ASSERT_TRUE(EngineProbe::slideAuto(*engine, key, false));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[1]}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(hints().size(), 1u) << "the hint comes once per run of waiting windows";

    // Once nothing waits, the next window that must wait brings it back.
    sim.closeWindow(ids[0]);
    sim.closeWindow(ids[2]);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(waiting(primary).empty());
    wide(pid, "late", 800);
    ASSERT_TRUE(settle());
    ASSERT_EQ(hints().size(), 2u);
    EXPECT_EQ(hints().back(), hintOf1);
}

TEST_F(EngineAuto, BringingInAWaitingWindowMovesTheRunToIt)
{
    prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
    const auto pid = app(wideApp, "Wide");
    for (int i = 0; i < 6; ++i)
        wide(pid, std::to_string(i), 800);
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto ids = order(primary);
    ASSERT_EQ(waiting(primary).right.size(), 5u);

    // The third on the right becomes the last shown: offset 0 + 2 + 1.
    EngineProbe::bringIn(*engine, waiting(primary).right[2]);
    EXPECT_EQ(engine->autoOffset().at(key), 3);
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[3]}));
    // Index 1 of the left becomes the first shown: offset 1.
    ASSERT_EQ(waiting(primary).left, (std::vector<WindowID>{ids[0], ids[1], ids[2]}));
    EngineProbe::bringIn(*engine, ids[1]);
    EXPECT_EQ(engine->autoOffset().at(key), 1);
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[1]}));

    // Focusing a waiting window (a click in the switcher) brings it in at
    // the next pass.
    sim.focusWindow(ids[5]);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{ids[5]}));
    EXPECT_EQ(frameOf(ids[5]), areaOf(primary));
}

TEST_F(EngineAuto, AFixedTileCountSharesTheLastTileAsTabs)
{
    prefs.setMaxTiles(2);
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 4; ++i)
        open(notes, std::to_string(i));
    // Cannot shrink to the shared tile: parked below the screen while behind.
    const WindowID big = wide(notes, "big", 900);
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto ids = order(primary);
    ASSERT_EQ(ids.front(), big);
    const auto tiles = Tidy::frames(TidyLayout::grid, 2, areaOf(primary), 10, 0);
    const Rect slot(tiles[1].minX(), tiles[1].minY() + 30, tiles[1].width(), tiles[1].height() - 30);

    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].bar.frame, Rect(tiles[1].minX(), tiles[1].minY(), tiles[1].width(), 30));
    EXPECT_EQ(bars[0].bar.ids, (std::vector<WindowID>{ids[1], ids[2], ids[3], ids[4]}));
    EXPECT_EQ(bars[0].bar.active, ids[1]);
    EXPECT_TRUE(waiting(primary).empty());
    for (std::size_t i = 1; i < ids.size(); ++i)
        EXPECT_EQ(frameOf(ids[i]), slot) << i;

    // The big one moved into the shared tile: behind another tab it is
    // parked below the screen.
    EngineProbe::autoOrder(*engine)[keyOf(primary)] = {ids[1], ids[2], big, ids[3], ids[4]};
    EngineProbe::applyAuto(*engine);
    const double bottom = ScreenCoordinates::flip(sim.display(primary)->visibleFrame(), 900).maxY();
    EXPECT_EQ(frameOf(big).origin, Point(slot.minX(), bottom + 2));

    // Choosing its tab shows it in the tile, raised.
    panels.tabBars->select(big);
    EXPECT_EQ(panels.tabBars->current()[0].bar.active, big);
    EXPECT_EQ(frameOf(big).origin, slot.origin);
    EXPECT_EQ(sim.stacking().front(), big);
    EXPECT_EQ(EngineProbe::autoTabs(*engine).at(keyOf(primary)), big);
}

// Thirty windows in rows: only the rows that keep the tile floor are shown,
// the others wait; and when arranging stops none is left smaller.
TEST_F(EngineAuto, ManyWindowsInRowsWaitRatherThanShrinkAndNoneIsLeftSmall)
{
    prefs.setDisplayLayouts({{sim.display(primary)->name, TidyLayout::rows}});
    const auto clocks = app("com.example.Clock", "Clock");
    for (int i = 0; i < 30; ++i)
        open(clocks, std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const Rect area = areaOf(primary);
    const Size floor = TileFloor::of(area);
    ASSERT_EQ(floor, Size(178, 120));
    EXPECT_EQ(engine->autoShown().at(keyOf(primary)).size(), 6u);
    EXPECT_EQ(waiting(primary).right.size(), 24u);
    for (WindowID id : engine->autoShown().at(keyOf(primary)))
        EXPECT_GE(frameOf(id).height(), floor.height) << id;

    // One the user made tiny meanwhile.
    const WindowID tiny = engine->autoShown().at(keyOf(primary)).front();
    sim.modifyWindow(tiny, [](SimWindow& w) { w.frame.size = Size(60, 20); });
    prefs.setArrangeMode(ArrangeMode::off);
    for (WindowID id : order(primary)) {
        EXPECT_GE(frameOf(id).width(), floor.width) << id;
        EXPECT_GE(frameOf(id).height(), floor.height) << id;
        EXPECT_TRUE(area.contains(frameOf(id))) << id << " at " << frameOf(id);
    }
}

// Something else (a pager, a script) moves a window off every display, or
// one comes back from being minimised there: it is taken back to its tile.
TEST_F(EngineAuto, AWindowOffEveryDisplayIsTakenBackToItsTile)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const WindowID moved = order(primary)[1];
    const Rect tile = frameOf(moved);

    sim.modifyWindow(moved, [](SimWindow& w) { w.frame = Rect(300, 1400, 500, 400); });
    ASSERT_TRUE(settle());
    EXPECT_EQ(frameOf(moved), tile);

    sim.modifyWindow(moved, [](SimWindow& w) {
        w.minimized = true;
        w.frame = Rect(-900, 1700, 500, 400);
    });
    ASSERT_TRUE(settle());
    sim.modifyWindow(moved, [](SimWindow& w) { w.minimized = false; });
    ASSERT_TRUE(settle());
    EXPECT_TRUE(areaOf(primary).contains(frameOf(moved))) << frameOf(moved);
}

// ---------------------------------------------------------------- letting go

TEST_F(EngineAuto, ReleaseBringsWaitingAndParkedWindowsOnScreen)
{
    for (auto last : {0, 1}) {
        SCOPED_TRACE(last ? "arranging turned off" : "quit");
        prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
        prefs.setMaxTiles(0);
        const auto pid = app(wideApp, "Wide");
        for (int i = 0; i < 3; ++i)
            wide(pid, std::to_string(i), 800);
        start(ArrangeMode::auto_);
        ASSERT_TRUE(settle());
        ASSERT_TRUE(EngineProbe::slideAuto(*engine, keyOf(primary), true));
        ASSERT_EQ(waiting(primary).left.size(), 1u);
        ASSERT_EQ(waiting(primary).right.size(), 1u);

        if (last)
            prefs.setArrangeMode(ArrangeMode::off);
        else
            engine->release();
        for (WindowID id : order(primary))
            EXPECT_TRUE(inArea(id, primary)) << id << " at " << frameOf(id);
        // Nothing scheduled pushes them out again.
        scheduler.advance(2.0);
        for (WindowID id : order(primary))
            EXPECT_TRUE(inArea(id, primary)) << id << " at " << frameOf(id);
        sim.removeApp(pid);
        prefs.onArrangeChange = nullptr;
        engine.reset();
    }
}

TEST_F(EngineAuto, ReleaseBringsAParkedTabBackIntoItsTile)
{
    prefs.setMaxTiles(1);
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID huge = window(notes, "huge", Rect(0, 0, 500, 400), [](SimWindow& w) { w.minSize = Size(1500, 1000); });
    open(notes, "front");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_GT(frameOf(huge).minY(), 900) << "a background tab too big for its tile waits below the screen";
    engine->release();
    // Clamped to the area, as far as the window lets itself be shrunk.
    const Rect area = areaOf(primary);
    EXPECT_EQ(frameOf(huge).origin, area.origin);
}

// ---------------------------------------------------------------- mends

// The order of a display that comes back is the same, but its windows
// stand where its absence left them: split monitors joined again, or a
// resolution change under the same name.
TEST_F(EngineAuto, ADisplayBackAtAnotherSizeTilesItsWindowsAgain)
{
    const auto studio = addStudio();
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, "there " + std::to_string(i), onStudio(20 * i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    expectTiled(studio, TidyLayout::grid);

    SimDisplay larger = *sim.display(studio);
    ASSERT_TRUE(sim.removeDisplay(studio));
    engine->displaysChanged();
    larger.id = 0;
    larger.frame.size = Size(1920, 1080);
    const auto back = sim.addDisplay(larger);
    engine->displaysChanged();
    ASSERT_TRUE(settle());
    expectTiled(back, TidyLayout::grid);
}

TEST_F(EngineAuto, AKeyWhoseWindowsAllWentKeepsNoOrderThatPullsThemBack)
{
    const auto studio = addStudio();
    prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
    const auto notes = app("com.example.Notes", "Notes");
    const auto pid = app(wideApp, "Wide");
    open(notes, "here");
    const WindowID lone = open(notes, "there", onStudio());
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_EQ(order(studio), (std::vector<WindowID>{lone}));

    // Floated, then moved by the user: another display's change leaves it.
    EngineProbe::floated(*engine).insert(lone);
    sim.modifyWindow(lone, [](SimWindow& w) { w.frame = Rect(1700, 300, 300, 200); });
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    open(notes, "here 2");
    ASSERT_TRUE(settle());
    EXPECT_EQ(frameOf(lone), Rect(1700, 300, 300, 200));
    EXPECT_EQ(engine->autoOrder().count(keyOf(studio)), 0u);

    // Two wide windows there: one waits. Switching the display off brings
    // it on screen, and no later application touches them.
    const WindowID a = wide(pid, "a", 800, onStudio());
    const WindowID b = wide(pid, "b", 800, onStudio(20));
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    ASSERT_EQ(waiting(studio).right.size(), 1u);
    prefs.setDisplaysOff({"Studio"});
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().count(keyOf(studio)), 0u);
    for (WindowID id : {lone, a, b})
        EXPECT_TRUE(inArea(id, studio)) << id << " at " << frameOf(id);
    sim.resetCounters();
    open(notes, "here 3");
    ASSERT_TRUE(settle());
    for (WindowID id : {lone, a, b})
        EXPECT_EQ(sim.counters(id).writes, 0) << id;

    // A desktop not shown keeps its order.
    const auto first = keyOf(primary);
    const auto kept = order(primary);
    sim.switchDesktop(primary, sim.addDesktop(primary));
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().at(first), kept);
}

TEST_F(EngineAuto, TheWaitingHintIsDecidedOnceForAllDisplays)
{
    // The studio display, applied after the built-in one, has nothing
    // waiting: the built-in display's windows still count as told.
    addStudio();
    prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
    const auto pid = app(wideApp, "Wide");
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        wide(pid, "here " + std::to_string(i), 800);
    open(notes, "there 0", onStudio());
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    EXPECT_EQ(hints(), (std::vector<std::pair<std::string, std::string>>{
                           {"2 windows are waiting. Click the tab at the screen edge", "arrow.left.and.right"}}));
    for (int i = 1; i < 3; ++i) {
        open(notes, "there " + std::to_string(i), onStudio(10 * i));
        ASSERT_TRUE(settle());
    }
    EXPECT_EQ(hints().size(), 1u);
}

TEST_F(EngineAuto, NothingIsLaidOutOutsideAutoMode)
{
    const auto big = window(app("com.example.Big", "Big"), "big", Rect(100, 100, 500, 400),
                            [](SimWindow& w) { w.minSize = Size(900, 0); });
    open(app("com.example.Notes", "Notes"), "small");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    scheduler.advance(5.0);

    // A size check that comes due once the mode is no longer auto (it
    // would put the oversized window back) ...
    prefs.setMinimumSizes({});
    EngineProbe::applyAuto(*engine);
    ASSERT_GT(frameOf(big).width(), EngineProbe::autoFrames(*engine).at(big).width() + 20);
    ASSERT_TRUE(EngineProbe::sizeCheckPending(*engine));
    engine->testMode = ArrangeMode::off;
    sim.resetCounters();
    scheduler.advance(1.0);
    EXPECT_EQ(total().writes, 0);

    // ... and a layout chosen while arranging is off move nothing.
    engine->testMode.reset();
    prefs.setArrangeMode(ArrangeMode::off);
    sim.modifyWindow(big, [](SimWindow& w) { w.frame.origin = Point(20, 40); });
    sim.resetCounters();
    EngineProbe::applyAuto(*engine);
    scheduler.advance(2.0);
    EXPECT_EQ(total().writes, 0);
    EXPECT_EQ(frameOf(big).origin, Point(20, 40));
}

} // namespace
} // namespace kavelo::testing

// Regressions the random sequences found.
namespace kavelo::testing {
namespace {

TEST_F(EngineAuto, ADesktopNotShownWhenTheSettingsChangedFollowsThemWhenItShows)
{
    open(app("com.example.Notes", "Notes"), "here");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto first = sim.display(primary)->currentDesktop;
    sim.switchDesktop(primary, sim.addDesktop(primary));
    ASSERT_TRUE(settle());
    prefs.setWindowGap(30);
    ASSERT_TRUE(settle());
    sim.switchDesktop(primary, first);
    ASSERT_TRUE(settle());
    expectTiled(primary, TidyLayout::grid);
}

// A desktop shows exactly its own tab bars: none of the one left behind,
// and its own again when it comes back, though nothing there changed.
TEST_F(EngineAuto, ADesktopComingBackShowsItsOwnTabBarsAndNoneOfTheOther)
{
    prefs.setMaxTiles(2);
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 4; ++i)
        open(notes, std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 1u);
    ASSERT_EQ(bars[0].bar.ids.size(), 3u);

    const auto first = sim.display(primary)->currentDesktop;
    sim.switchDesktop(primary, sim.addDesktop(primary));
    EXPECT_TRUE(panels.tabBars->current().empty()) << "at the switch";
    open(notes, "there");
    ASSERT_TRUE(settle());
    EXPECT_TRUE(panels.tabBars->current().empty());

    sim.switchDesktop(primary, first);
    ASSERT_EQ(panels.tabBars->current().size(), 1u) << "at the switch";
    EXPECT_EQ(panels.tabBars->current()[0].bar, bars[0].bar);
    ASSERT_TRUE(settle());
    ASSERT_EQ(panels.tabBars->current().size(), 1u);
    EXPECT_EQ(panels.tabBars->current()[0].bar, bars[0].bar);
}

// The pass of a settings change in which a shown key empties still marks
// the desktops not shown: they are laid out anew when they show.
TEST_F(EngineAuto, ADesktopNotShownFollowsASettingsChangeWhoseShownKeyEmptied)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "one");
    open(notes, "two");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto first = sim.display(primary)->currentDesktop;
    sim.switchDesktop(primary, sim.addDesktop(primary));
    const WindowID there = open(notes, "there");
    ASSERT_TRUE(settle());
    sim.closeWindow(there);
    prefs.setWindowGap(30);
    ASSERT_TRUE(settle());
    sim.switchDesktop(primary, first);
    ASSERT_TRUE(settle());
    expectTiled(primary, TidyLayout::grid);
}

TEST_F(EngineAuto, AWindowTakingAnothersPlaceTakesItOnScreenToo)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID gone = open(notes, "gone");
    const WindowID stays = open(notes, "stays");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto key = keyOf(primary);
    const auto first = sim.display(primary)->currentDesktop;
    const auto second = sim.addDesktop(primary);
    sim.switchDesktop(primary, second);
    ASSERT_TRUE(settle());
    sim.closeWindow(gone);
    const WindowID heir = open(notes, "heir");
    sim.moveToDesktop(heir, first);
    sim.switchDesktop(primary, first);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{stays, heir}));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{stays, heir}));
    EXPECT_EQ(EngineProbe::autoFrames(*engine).count(gone), 0u);
    EXPECT_EQ(EngineProbe::autoFrames(*engine).count(heir), 1u);
}

} // namespace
} // namespace kavelo::testing
