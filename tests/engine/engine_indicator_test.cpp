// The indicator's feed: which tiles it shows for a strip and for an auto
// order, where the panel stands, what a tile's click and drag do, and the
// Control-Option hold; the scale rule on narrow displays.

#include "engine/engine_fixture.h"

#include "app/engine/strip_indicator.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kavelo::testing {
namespace {


class EngineIndicator : public EngineTest {
protected:
    void openStrip(int count)
    {
        apps = {app("com.example.Notes", "Notes"), app("com.example.Mail", "Mail")};
        start(ArrangeMode::strip);
        key = keyOf(primary);
        for (int i = 0; i < count; ++i) {
            ids.push_back(open(apps[std::size_t(i) % 2], "w" + std::to_string(i)));
            ASSERT_TRUE(settle());
        }
    }
    const Strip& strip() const { return engine->strips().at(key); }
    RecordingIndicatorPanel& panel() const { return *panels.indicator; }

    std::vector<std::int32_t> apps;
    std::vector<WindowID> ids;
    std::string key;
};

TEST_F(EngineIndicator, AStripOfOneColumnShowsNothing)
{
    openStrip(1);
    engine->showIndicator();
    EXPECT_TRUE(engine->perform(Command::focusRight));
    EXPECT_TRUE(engine->perform(Command::cycleWidth));
    EXPECT_EQ(panels.indicator, nullptr);
    engine->testMode = ArrangeMode::off;
    engine->showIndicator();
    EXPECT_EQ(panels.indicator, nullptr);
}

TEST_F(EngineIndicator, TilesAreTheColumnsCentredAboveTheBottomOfTheDisplay)
{
    openStrip(4);
    sim.focusWindow(ids[1]);
    poll();
    ASSERT_TRUE(engine->perform(Command::stackRight));
    ASSERT_TRUE(settle());
    engine->showIndicator();
    ASSERT_NE(panels.indicator, nullptr);
    const auto& tiles = panel().tiles;
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles[1].id, ids[1]) << "the stacked window became its column's active one";
    EXPECT_EQ(tiles[1].count, 2);
    EXPECT_TRUE(tiles[1].focused);
    EXPECT_FALSE(tiles[0].focused);
    EXPECT_EQ(tiles[0].bundleID, "com.example.Notes");
    EXPECT_EQ(tiles[0].width, 0.5);
    EXPECT_EQ(panel().scale, StripIndicator::scale(tiles, screenOf(primary)));

    // 18 points above the visible frame's bottom, centred; full opacity,
    // in front, fading 1.1 s later.
    const Rect visible = screenOf(primary).visibleFrame;
    EXPECT_EQ(panel().frame(), Rect(visible.midX() - 100, visible.minY() + 18, 200, 64));
    EXPECT_EQ(panel().alpha(), 1);
    EXPECT_TRUE(panel().isShown());
    EXPECT_TRUE(engine->indicator().isFadePending());
    scheduler.advance(1.09);
    EXPECT_EQ(panel().alpha(), 1);
    scheduler.advance(0.3);
    EXPECT_FALSE(panel().isShown());
}

TEST_F(EngineIndicator, AColumnIsInViewWithMoreThanFortyPointsOnScreen)
{
    openStrip(3);
    const Rect area = areaOf(primary);
    auto& stored = EngineProbe::strips(*engine).at(key);
    const double size = stored.arranged(area, 0).frames.at(ids[0]).width();
    // The first column scrolled out but for 40 points, then for 41.
    stored.scroll = size - 40;
    engine->showIndicator();
    EXPECT_FALSE(panel().tiles[0].inView);
    EXPECT_TRUE(panel().tiles[1].inView);
    stored.scroll = size - 41;
    engine->showIndicator();
    EXPECT_TRUE(panel().tiles[0].inView);
}

TEST_F(EngineIndicator, HeldControlOptionKeepsItUpUntilReleased)
{
    openStrip(3);
    engine->holding = true;
    engine->showIndicator();
    EXPECT_TRUE(engine->indicator().keep);
    EXPECT_FALSE(engine->indicator().isFadePending());
    scheduler.advance(5);
    EXPECT_TRUE(panel().isShown());

    // A focus move while held rebuilds the row and schedules no fade.
    const int rows = panel().rows;
    ASSERT_TRUE(engine->perform(Command::focusLeft));
    EXPECT_EQ(panel().rows, rows + 1);
    EXPECT_FALSE(engine->indicator().isFadePending());
    scheduler.advance(5);
    EXPECT_EQ(panel().alpha(), 1);

    // Another desktop, empty, shows nothing; back, the strip again.
    const auto first = sim.display(primary)->currentDesktop;
    ASSERT_TRUE(sim.switchDesktop(primary, sim.addDesktop(primary)));
    poll();
    EXPECT_FALSE(panel().isShown());
    ASSERT_TRUE(sim.switchDesktop(primary, first));
    poll();
    EXPECT_TRUE(panel().isShown());
    EXPECT_EQ(panel().tiles.size(), 3u);

    // Released, as the shell does it: faded 1.1 s later.
    engine->holding = false;
    engine->indicator().keep = false;
    engine->indicator().scheduleFade();
    scheduler.advance(1.1 + 0.25 + 0.02);
    EXPECT_FALSE(panel().isShown());
    EXPECT_EQ(panel().alpha(), 0);
}

TEST_F(EngineIndicator, ATileClickSelectsAndADragMovesTheColumn)
{
    openStrip(4);
    engine->showIndicator();
    sim.resetCounters();
    panel().select(ids[0]);
    EXPECT_EQ(strip().focused, ids[0]);
    EXPECT_EQ(sim.counters(ids[0]).raises, 1);
    EXPECT_EQ(sim.frontmost(), apps[0]);
    EXPECT_TRUE(panel().tiles[0].focused);
    ASSERT_TRUE(settle());
    EXPECT_GE(frameOf(ids[0]).minX(), areaOf(primary).minX());

    // Dragged far right: the end; far left: the start.
    panel().move(ids[0], 10);
    EXPECT_EQ(strip().columns.back().ids, std::vector<WindowID>{ids[0]});
    panel().move(ids[0], -3);
    EXPECT_EQ(strip().columns.front().ids, std::vector<WindowID>{ids[0]});
    EXPECT_EQ(panel().tiles.front().id, ids[0]);
}

class EngineAutoIndicator : public EngineIndicator {
protected:
    void SetUp() override
    {
        apps = {app("com.example.Notes", "Notes"), app("com.example.Mail", "Mail")};
        start(ArrangeMode::auto_);
        side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
        engine->displaysChanged();
        for (int i = 0; i < 4; ++i)
            ids.push_back(open(apps[std::size_t(i) % 2], "main" + std::to_string(i)));
        for (int i = 0; i < 3; ++i)
            ids.push_back(open(apps[std::size_t(i) % 2], "side" + std::to_string(i), Rect(1600, 100, 400, 300)));
        poll(3);
        // The orders as an auto pass leaves them: the last of each waits.
        auto& order = EngineProbe::autoOrder(*engine);
        order[keyOf(primary)] = {ids[0], ids[1], ids[2], ids[3]};
        order[keyOf(side)] = {ids[4], ids[5], ids[6]};
        EngineProbe::autoShown(*engine)[keyOf(primary)] = {ids[0], ids[1], ids[2]};
        EngineProbe::autoShown(*engine)[keyOf(side)] = {ids[4], ids[5]};
        EngineProbe::autoWaiting(*engine)[keyOf(side)] = {.left = {}, .right = {ids[6]}};
    }
    std::uint32_t side = 0;
};

TEST_F(EngineAutoIndicator, TilesAreTheOrderOfTheFocusedWindowsDisplay)
{
    sim.focusWindow(ids[5]);
    engine->showIndicator();
    ASSERT_NE(panels.indicator, nullptr);
    const auto& tiles = panel().tiles;
    ASSERT_EQ(tiles.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(tiles[i].id, ids[4 + i]);
        EXPECT_EQ(tiles[i].width, 0.5);
        EXPECT_EQ(tiles[i].count, 1);
        EXPECT_EQ(tiles[i].focused, i == 1);
        EXPECT_EQ(tiles[i].inView, i < 2);
    }
    EXPECT_GE(panel().frame().minX(), 1440);

    // Nothing focused in an order: the first shown display's.
    sim.focusWindow(ids[0]);
    EngineProbe::autoOrder(*engine)[keyOf(primary)] = {ids[1], ids[2]};
    engine->showIndicator();
    EXPECT_EQ(panel().tiles.size(), 2u);
    EXPECT_LT(panel().frame().maxX(), 1440);
}

TEST_F(EngineAutoIndicator, ATileDraggedPastTheEndGoesToTheEnd)
{
    sim.focusWindow(ids[1]);
    engine->showIndicator();
    panel().move(ids[0], 10);
    EXPECT_EQ(engine->autoOrder().at(keyOf(primary)), (std::vector<WindowID>{ids[1], ids[2], ids[3], ids[0]}));
    panel().move(ids[3], -2);
    EXPECT_EQ(engine->autoOrder().at(keyOf(primary)), (std::vector<WindowID>{ids[3], ids[1], ids[2], ids[0]}));
    // A window no longer in the order moves nothing.
    const auto order = engine->autoOrder().at(keyOf(primary));
    panel().move(ids[5], 0);
    EXPECT_EQ(engine->autoOrder().at(keyOf(primary)), order);
}

TEST_F(EngineAutoIndicator, AWaitingTilesClickRaisesItAndShowsAgain)
{
    sim.focusWindow(ids[4]);
    engine->showIndicator();
    const int rows = panel().rows;
    sim.resetCounters();
    panel().select(ids[6]);
    EXPECT_EQ(sim.counters(ids[6]).raises, 1);
    EXPECT_EQ(sim.frontmost(), apps[0]);
    EXPECT_EQ(panel().rows, rows + 1);
}

TEST(StripIndicatorScale, NarrowDisplaysKeepAPositiveScale)
{
    const auto screenOf = [](double width) { return Screen{.frame = Rect(0, 0, width, 800)}; };
    const std::vector<StripTile> ten(20, StripTile{.width = 0.5});
    EXPECT_DOUBLE_EQ(StripIndicator::scale(ten, screenOf(1512)), 1392.0 / 2000);
    EXPECT_EQ(StripIndicator::scale({}, screenOf(1512)), 1);
    for (double width : {119.0, 120.0, 100.0, 0.0})
        EXPECT_EQ(StripIndicator::scale(ten, screenOf(width)), StripIndicator::minimumScale) << width;
    EXPECT_EQ(StripIndicator::scale({}, screenOf(100)), StripIndicator::minimumScale);
    EXPECT_EQ(StripIndicator::scale({}, screenOf(120.5)), 0.5);
}

} // namespace
} // namespace kavelo::testing
