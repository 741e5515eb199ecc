// Strip commands on a strip with a pinned, a stacked and a tabbed column,
// focus moves, the wheel and trackpad pans with their endings, the auto
// wheel, and the trackpad reader following the mode; random command
// sequences with the strip's invariants after every step.

#include "engine/engine_fixture.h"

#include "app/services/mouse_button_trigger.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <thread>

namespace kavelo::testing {
namespace {

constexpr std::uint64_t controlOption = EventFlag::control | EventFlag::option;

bool holds(const Strip::Column& column, WindowID id)
{
    return std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end();
}

// The starts of the rolling columns at scroll 0, for a strip without pins.
std::vector<double> columnStarts(const Strip& strip, const Rect& area)
{
    std::vector<double> starts;
    const StripLayout at0 = strip.arranged(area, 0);
    for (const auto& column : strip.columns)
        if (!column.pin)
            starts.push_back(at0.frames.at(column.ids.front()).minX() - area.minX());
    return starts;
}

class EngineCommands : public EngineTest {
protected:
    // Six windows of three applications, one column each, oldest first.
    void openSix()
    {
        apps = {app("com.example.Notes", "Notes"), app("com.example.Mail", "Mail"), app("com.example.Term", "Term")};
        start(ArrangeMode::strip);
        key = keyOf(primary);
        for (int i = 0; i < 6; ++i) {
            ids.push_back(open(apps[std::size_t(i) / 2], "w" + std::to_string(i)));
            ASSERT_TRUE(settle());
        }
        ASSERT_EQ(columnsOf(key).size(), 6u);
    }

    // Then: the second window stacked into the first column and the two
    // tabbed, the last column pinned right; the focus on the fourth window.
    void shapeStrip()
    {
        openSix();
        focus(ids[1]);
        ASSERT_TRUE(engine->perform(Command::stackLeft));
        ASSERT_TRUE(engine->perform(Command::tabs));
        focus(ids[5]);
        ASSERT_TRUE(engine->perform(Command::pinRight));
        focus(ids[3]);
        ASSERT_TRUE(settle());
        const auto& columns = strip().columns;
        ASSERT_EQ(columns.size(), 5u);
        ASSERT_EQ(columns[0].ids, (std::vector<WindowID>{ids[0], ids[1]}));
        ASSERT_TRUE(columns[0].tabbed);
        ASSERT_EQ(columns[4].pin, Strip::Pin::right);
    }

    // As a click does; then the passes that follow it.
    void focus(WindowID id)
    {
        sim.focusWindow(id);
        ASSERT_TRUE(settle());
    }

    const Strip& strip() const { return engine->strips().at(key); }
    Rect area() const { return areaOf(primary); }
    int indicatorRows() const { return panels.indicator ? panels.indicator->rows : 0; }

    std::vector<std::int32_t> apps;
    std::vector<WindowID> ids;
    std::string key;
};

// ---------------------------------------------------------------- commands

TEST_F(EngineCommands, OwnsCommandsSixteenToFiftyFourAlsoWithNothingToActOn)
{
    start(ArrangeMode::strip);
    for (Command command : allCommands)
        EXPECT_EQ(engine->perform(command), position(command) >= 16) << rawValue(command);
    EXPECT_FALSE(engine->perform(Command::snapLeft));
    EXPECT_TRUE(engine->strips().empty());
    EXPECT_EQ(panels.indicator, nullptr);
}

TEST_F(EngineCommands, StackTabsAndPinShapeTheFocusedColumnsOnScreen)
{
    shapeStrip();
    // The tabbed column shows its active tab under a bar.
    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].bar.ids, (std::vector<WindowID>{ids[0], ids[1]}));
    EXPECT_EQ(frameOf(ids[0]), frameOf(ids[1]));
    // The pinned column stands at the right edge of the area.
    EXPECT_EQ(frameOf(ids[5]).maxX(), area().maxX());

    // Popping the tab out again, to the right of its column.
    focus(ids[1]);
    EXPECT_TRUE(engine->perform(Command::popRight));
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key)[1], std::vector<WindowID>{ids[1]});
    EXPECT_FALSE(strip().columns[0].tabbed);
    EXPECT_TRUE(panels.tabBars->current().empty());
}

TEST_F(EngineCommands, EditsActOnTheStripOfTheFocusedWindowAcrossDisplays)
{
    openSix();
    const auto side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    engine->displaysChanged();
    const WindowID far = open(apps[0], "far", Rect(1600, 100, 400, 300));
    const WindowID farther = open(apps[1], "farther", Rect(1700, 100, 400, 300));
    ASSERT_TRUE(settle());
    const std::string sideKey = keyOf(side);
    ASSERT_EQ(columnsOf(sideKey).size(), 2u);
    const Strip before = strip();

    focus(far);
    EXPECT_EQ(EngineProbe::activeStrip(*engine), sideKey);
    EXPECT_TRUE(engine->perform(Command::moveRight));
    EXPECT_EQ(columnsOf(sideKey), (std::vector<std::vector<WindowID>>{{farther}, {far}}));
    EXPECT_TRUE(engine->perform(Command::focusLeft));
    EXPECT_EQ(engine->strips().at(sideKey).focused, farther);
    EXPECT_EQ(strip(), before);
    // The indicator shows the side display's columns, on the side display.
    ASSERT_NE(panels.indicator, nullptr);
    EXPECT_EQ(panels.indicator->tiles.size(), 2u);
    EXPECT_GE(panels.indicator->frame().minX(), 1440);
}

TEST_F(EngineCommands, WidthCommandsAtTheirLimitsStillApplyAndShowTheIndicator)
{
    openSix();
    ASSERT_TRUE(engine->perform(Command::fullWidth));
    ASSERT_EQ(strip().focusedColumn()->width, 1.0);
    int rows = indicatorRows();
    sim.resetCounters();
    engine->perform(Command::wider);
    EXPECT_EQ(strip().focusedColumn()->width, 1.0);
    EXPECT_EQ(indicatorRows(), ++rows);

    for (int i = 0; i < 20; ++i)
        engine->perform(Command::narrower);
    EXPECT_DOUBLE_EQ(strip().focusedColumn()->width, 0.2);
    EXPECT_EQ(indicatorRows(), rows + 20);
}

TEST_F(EngineCommands, JumpPastTheLastColumnChangesNothing)
{
    openSix();
    focus(ids[0]);
    EXPECT_TRUE(engine->perform(Command::jump3));
    EXPECT_EQ(strip().focused, ids[2]);
    ASSERT_TRUE(settle());
    focus(ids[2]);
    // Three columns left: the fifth does not exist.
    sim.closeWindow(ids[3]);
    sim.closeWindow(ids[4]);
    sim.closeWindow(ids[5]);
    ASSERT_TRUE(settle());
    ASSERT_EQ(columnsOf(key).size(), 3u);
    const Strip before = strip();
    const int rows = indicatorRows();
    sim.resetCounters();
    EXPECT_TRUE(engine->perform(Command::jump5));
    EXPECT_EQ(strip(), before);
    EXPECT_EQ(total().raises + total().writes, 0);
    EXPECT_EQ(indicatorRows(), rows);
}

TEST_F(EngineCommands, CenterCentresTheFocusedColumnWithTheCentreModeNever)
{
    openSix();
    ASSERT_EQ(prefs.stripCenter(), Strip::CenterMode::never);
    focus(ids[2]);
    ASSERT_TRUE(settle());
    EXPECT_TRUE(engine->perform(Command::center));
    EXPECT_TRUE(strip().isCentering());
    ASSERT_TRUE(settle());
    const Rect focused = frameOf(ids[2]);
    EXPECT_NEAR(focused.midX(), area().midX(), 1);
}

TEST_F(EngineCommands, FocusMovesRaiseActivateScrollAndShowTheIndicator)
{
    openSix();
    focus(ids[0]);
    ASSERT_TRUE(settle());
    EXPECT_GE(frameOf(ids[5]).minX(), area().maxX()) << "the last column waits past the right edge";
    sim.resetCounters();
    EXPECT_TRUE(engine->perform(Command::focusLast));
    EXPECT_EQ(strip().focused, ids[5]);
    EXPECT_EQ(sim.counters(ids[5]).raises, 1);
    EXPECT_EQ(sim.frontmost(), apps[2]);
    EXPECT_EQ(engine->focusedID(), ids[5]);
    ASSERT_TRUE(settle());
    EXPECT_EQ(frameOf(ids[5]).maxX(), area().maxX());
    ASSERT_NE(panels.indicator, nullptr);
    EXPECT_TRUE(panels.indicator->tiles.back().focused);
    EXPECT_TRUE(panels.indicator->tiles.back().inView);
    EXPECT_FALSE(panels.indicator->tiles.front().inView);

    EXPECT_TRUE(engine->perform(Command::focusFirst));
    EXPECT_EQ(strip().focused, ids[0]);
    EXPECT_TRUE(engine->perform(Command::focusRight));
    EXPECT_EQ(strip().focused, ids[1]);
}

// A clock takes no input: the window manager leaves the focus where it was,
// and the strip still scrolls to the clock's column and stays there.
TEST_F(EngineCommands, AFocusMoveToAWindowThatDeclinesFocusStillBringsItIntoView)
{
    const WindowID clock = window(app("com.example.Clock", "Clock"), "clock", Rect(100, 100, 300, 300),
                                  [](SimWindow& w) { w.declinesFocus = true; });
    start(ArrangeMode::strip);
    key = keyOf(primary);
    ASSERT_TRUE(settle());
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i) {
        ids.push_back(open(notes, "w" + std::to_string(i)));
        focus(ids.back());
    }
    ASSERT_GE(area().minX(), frameOf(clock).maxX()) << "the clock waits past the left edge";
    const auto before = engine->focusedID();

    EXPECT_TRUE(engine->perform(Command::focusFirst));
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->focusedID(), before) << "the clock took the focus";
    EXPECT_EQ(strip().focused, clock);
    EXPECT_EQ(frameOf(clock).minX(), area().minX());

    // The next move goes on from the clock.
    EXPECT_TRUE(engine->perform(Command::focusRight));
    ASSERT_TRUE(settle());
    EXPECT_EQ(strip().focused, ids[0]);
    EXPECT_EQ(engine->focusedID(), ids[0]);
}

TEST_F(EngineCommands, AFocusMoveWithNowhereToGoNeitherAppliesRaisesNorWarps)
{
    prefs.setMouseFollowsFocus(true);
    shapeStrip();
    focus(ids[5]);
    ASSERT_TRUE(settle());
    const Point pointer = sim.pointer();
    const int rows = indicatorRows();
    const auto history = engine->history().size();
    sim.resetCounters();
    // The pinned column is the last: nothing right of it, nothing below.
    for (Command command : {Command::focusRight, Command::focusDown, Command::focusUp}) {
        EXPECT_TRUE(engine->perform(command));
        EXPECT_EQ(total().raises + total().writes, 0) << rawValue(command);
    }
    EXPECT_EQ(indicatorRows(), rows);
    EXPECT_EQ(engine->history().size(), history);
    EXPECT_EQ(sim.pointer(), pointer);
    EXPECT_FALSE(engine->isAnimating());
}

// ---------------------------------------------------------------- wheel

class EngineWheel : public EngineCommands {
protected:
    void SetUp() override
    {
        shapeStrip();
        focus(ids[0]);
        ASSERT_TRUE(settle());
        trigger.onScroll = [this](double delta) { return engine->scrolled(delta); };
        ASSERT_TRUE(trigger.start());
    }
    // A wheel event with Control and Option held; true when it was dropped.
    bool wheel(double points) { return sim.scroll(0, points, true, controlOption); }

    MouseButtonTrigger trigger{sim.eventTap(), scheduler, [] { return true; }};
};

TEST_F(EngineWheel, APanFollowsTheWheelAndSnapsToAColumnAfterTheLastEvent)
{
    const double from = strip().scroll;
    const auto shows = panels.tabBars->shows.size();
    EXPECT_TRUE(wheel(-120));
    EXPECT_EQ(engine->panning(), key);
    EXPECT_TRUE(strip().isPanning);
    EXPECT_EQ(strip().scroll, from + 120);
    // The tab bars go while the strip moves; the indicator comes up.
    ASSERT_GT(panels.tabBars->shows.size(), shows);
    EXPECT_TRUE(panels.tabBars->current().empty());
    EXPECT_TRUE(panels.indicator->isShown());

    for (int i = 0; i < 4; ++i) {
        scheduler.advance(0.15);
        EXPECT_TRUE(wheel(-100));
        EXPECT_TRUE(strip().isPanning) << "event " << i;
    }
    EXPECT_EQ(strip().scroll, from + 520);
    scheduler.advance(0.19);
    EXPECT_TRUE(engine->panning());

    scheduler.advance(0.02);
    EXPECT_FALSE(engine->panning());
    EXPECT_FALSE(strip().isPanning);
    const auto starts = columnStarts(strip(), area());
    EXPECT_NE(std::find(starts.begin(), starts.end(), strip().scroll), starts.end()) << strip().scroll;
    ASSERT_TRUE(settle());
    EXPECT_EQ(panels.tabBars->current().size(), 1u);
    // A column that shows whole has the focus.
    const Rect focused = frameOf(*strip().focused);
    EXPECT_GE(focused.minX(), area().minX() - 1);
}

TEST_F(EngineWheel, TheWheelIsLeftToOthersWhenTheEngineDoesNotAct)
{
    engine->testMode = ArrangeMode::off;
    EXPECT_FALSE(wheel(-40));
    engine->testMode = ArrangeMode::auto_;
    EXPECT_FALSE(wheel(-40)) << "no window waits";
    engine->testMode.reset();
    // Without Control and Option the tap lets it pass whatever the mode.
    EXPECT_FALSE(sim.scroll(0, -40, true, EventFlag::control));
    EXPECT_FALSE(engine->panning());
}

TEST_F(EngineWheel, APanWhoseDisplayGoesEndsAndTheNextPanBegins)
{
    const auto side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    engine->displaysChanged();
    std::vector<WindowID> far;
    for (int i = 0; i < 3; ++i)
        far.push_back(open(apps[1], "far" + std::to_string(i), Rect(1600 + 10 * i, 100, 400, 300)));
    ASSERT_TRUE(settle());
    const std::string sideKey = keyOf(side);
    focus(far[0]);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(wheel(-200));
    ASSERT_EQ(engine->panning(), sideKey);
    const double scroll = engine->strips().at(sideKey).scroll;

    // Unplugged mid-pan, and back with the desktop it showed.
    SimDisplay gone = *sim.display(side);
    ASSERT_TRUE(sim.removeDisplay(side));
    scheduler.advance(0.25);
    EXPECT_FALSE(engine->panning());
    EXPECT_FALSE(engine->strips().at(sideKey).isPanning);
    EXPECT_EQ(engine->strips().at(sideKey).scroll, scroll);
    engine->displaysChanged();
    gone.id = 0;
    const auto back = sim.addDisplay(gone);
    engine->displaysChanged();
    ASSERT_EQ(keyOf(back), sideKey);
    EXPECT_TRUE(settle()) << "the animation does not end";

    // The next pan begins.
    focus(ids[0]);
    EXPECT_TRUE(wheel(-30));
    EXPECT_EQ(engine->panning(), key);
}

TEST_F(EngineWheel, DisplaysChangingMidPanEndIt)
{
    ASSERT_TRUE(wheel(-300));
    const double scroll = strip().scroll;
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    engine->displaysChanged();
    EXPECT_FALSE(engine->panning());
    EXPECT_FALSE(strip().isPanning);
    EXPECT_FALSE(EngineProbe::settlePending(*engine));
    // Its display is still there: snapped.
    EXPECT_NE(strip().scroll, scroll);
}

// ---------------------------------------------------------------- trackpad

TEST_F(EngineCommands, SwipesFromTheTrackpadThreadPanAndThrowTheStrip)
{
    sim.setTrackpads(1);
    openSix();
    focus(ids[0]);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(sim.multitouchRunning());
    const double width = area().width();

    // Three fingers moving left: a swipe starts at 0.04 from where they
    // rested, then moves 0.04 a frame; the strip scrolls right.
    const auto frame = [](double x, double time, int fingers = 3) {
        ContactFrame f{.device = 1, .time = time};
        for (int i = 0; i < fingers; ++i)
            f.touches.push_back(Touch{.state = 4, .x = float(x + 0.05 * i), .y = 0.5f});
        return f;
    };
    const auto deliver = [&](std::vector<ContactFrame> frames) {
        std::thread device([&] {
            for (const auto& f : frames)
                sim.deliverTouches(f);
        });
        device.join();
        scheduler.runPending();
    };
    deliver({frame(0.5, 0.0), frame(0.46, 0.01)});
    EXPECT_EQ(engine->panning(), key);
    deliver({frame(0.42, 0.02), frame(0.38, 0.03)});
    // Two moves of 0.04 pad widths, one and a half usable widths a pad.
    EXPECT_NEAR(strip().scroll, 2 * 0.04 * width * 1.5, 0.01);
    deliver({frame(0.38, 0.04, 2)});
    EXPECT_FALSE(engine->panning());
    EXPECT_FALSE(strip().isPanning);
    // The travel alone would snap back to the first column; the throw
    // carries the strip on to the second, which takes the focus.
    EXPECT_EQ(strip().scroll, columnStarts(strip(), area())[1]);
    EXPECT_EQ(strip().focused, ids[1]);
    EXPECT_EQ(sim.counters(ids[1]).raises, 1);
}

TEST_F(EngineCommands, SwipeFingersZeroKeepsTheReaderStoppedInEveryMode)
{
    sim.setTrackpads(1);
    prefs.setStripSwipeFingers(0);
    start(ArrangeMode::strip);
    EXPECT_FALSE(sim.multitouchRunning());
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_FALSE(sim.multitouchRunning());
    prefs.setArrangeMode(ArrangeMode::strip);
    EXPECT_FALSE(sim.multitouchRunning());

    prefs.setStripSwipeFingers(4);
    EXPECT_TRUE(sim.multitouchRunning());
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_FALSE(sim.multitouchRunning());
    prefs.setArrangeMode(ArrangeMode::strip);
    sim.wake();
    EXPECT_TRUE(sim.multitouchRunning());
}

// ---------------------------------------------------------------- auto wheel

class EngineAutoWheel : public EngineCommands {
protected:
    void SetUp() override
    {
        start(ArrangeMode::auto_);
        side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
        // Windows wait past the left edge of the primary, past the right
        // edge of the side display.
        scheduler.advance(1);
        auto& waiting = EngineProbe::autoWaiting(*engine);
        waiting[keyOf(primary)] = {.left = {11}, .right = {}};
        waiting[keyOf(side)] = {.left = {}, .right = {21, 22}};
        trigger.onScroll = [this](double delta) { return engine->scrolled(delta); };
        ASSERT_TRUE(trigger.start());
    }
    bool wheel(double points) { return sim.scroll(0, points, true, controlOption); }

    std::uint32_t side = 0;
    MouseButtonTrigger trigger{sim.eventTap(), scheduler, [] { return true; }};
};

TEST_F(EngineAutoWheel, ThreeSmallStepsSlideOnceThenThePauseDropsTheWheel)
{
    const Seconds before = EngineProbe::wheelSettled(*engine);
    EXPECT_TRUE(wheel(-15));
    EXPECT_TRUE(wheel(-15));
    EXPECT_EQ(EngineProbe::wheelSettled(*engine), before);
    EXPECT_EQ(EngineProbe::wheelTravel(*engine), -30);
    EXPECT_TRUE(wheel(-15));
    EXPECT_GT(EngineProbe::wheelSettled(*engine), before);
    EXPECT_EQ(EngineProbe::wheelTravel(*engine), 0);
    // The slide runs on the scheduler, not inside the tap.
    EXPECT_TRUE(EngineProbe::wheelSlidePending(*engine));
    scheduler.runPending();
    EXPECT_FALSE(EngineProbe::wheelSlidePending(*engine));

    const Seconds slid = EngineProbe::wheelSettled(*engine);
    scheduler.advance(0.3);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(wheel(-15));
    EXPECT_EQ(EngineProbe::wheelTravel(*engine), 0);
    EXPECT_EQ(EngineProbe::wheelSettled(*engine), slid);
    scheduler.advance(0.1);
    wheel(-45);
    EXPECT_GT(EngineProbe::wheelSettled(*engine), slid);
}

TEST_F(EngineAutoWheel, TheWheelSlidesADisplayWithAWindowWaitingThatWay)
{
    EXPECT_EQ(EngineProbe::autoWheelKey(*engine, true), keyOf(side));
    EXPECT_EQ(EngineProbe::autoWheelKey(*engine, false), keyOf(primary));
    EngineProbe::autoWaiting(*engine)[keyOf(side)].right.clear();
    // Nothing waits to the right anywhere: the first shown display, whose
    // slide says so.
    EXPECT_EQ(EngineProbe::autoWheelKey(*engine, true), keyOf(primary));
    sim.removeDisplay(side);
    EngineProbe::autoWaiting(*engine)[keyOf(primary)].left.clear();
    EXPECT_FALSE(wheel(-60)) << "nothing waits on a shown display";
}

// ---------------------------------------------------------------- random sequences

constexpr std::array<Command, 32> stripCommands{
    Command::focusLeft,  Command::focusRight, Command::focusUp,    Command::focusDown, Command::focusFirst,
    Command::focusLast,  Command::moveLeft,   Command::moveRight,  Command::cycleWidth, Command::fullWidth,
    Command::center,     Command::wider,      Command::narrower,   Command::taller,    Command::shorter,
    Command::equalize,   Command::pinLeft,    Command::pinRight,   Command::stackLeft, Command::stackRight,
    Command::popLeft,    Command::popRight,   Command::tabs,       Command::jump1,     Command::jump2,
    Command::jump4,      Command::jump9,      Command::snapLeft,   Command::tidy,      Command::swapLeft,
    Command::layoutGrid, Command::jump3};

} // namespace

// Commands, wheel pans and swipes in any order: every window in one
// column, the focus on a window of the strip, widths and weights in their
// ranges, the windows where the strip put them once it is at rest, and the
// indicator's tiles the strip's columns.
RC_GTEST_FIXTURE_PROP(EngineCommands, RandomCommandsAndPansKeepTheStripWhole, ())
{
    openSix();
    const auto steps = *rc::gen::container<std::vector<std::pair<int, int>>>(
        rc::gen::pair(rc::gen::inRange(0, int(stripCommands.size()) + 4), rc::gen::inRange(-400, 400)));
    for (const auto& [what, amount] : steps) {
        if (what < int(stripCommands.size())) {
            const Command command = stripCommands[std::size_t(what)];
            RC_ASSERT(engine->perform(command) == (position(command) >= 16));
        } else if (what == int(stripCommands.size())) {
            engine->scrolled(amount);
        } else if (what == int(stripCommands.size()) + 1) {
            EngineProbe::swipe(*engine, SwipeEvent::began());
            EngineProbe::swipe(*engine, SwipeEvent::moved(amount / 1000.0));
        } else if (what == int(stripCommands.size()) + 2) {
            EngineProbe::swipe(*engine, SwipeEvent::ended(amount / 100.0));
        } else {
            sim.focusWindow(ids[std::size_t(std::abs(amount)) % ids.size()]);
            poll();
        }
        scheduler.advance(0.05);

        const Strip& s = strip();
        std::multiset<WindowID> seen;
        for (const auto& column : s.columns) {
            RC_ASSERT(!column.ids.empty());
            RC_ASSERT(holds(column, column.active));
            RC_ASSERT(column.width >= 0.2 - 1e-9 && column.width <= 1.0 + 1e-9);
            for (const auto& [id, weight] : column.weights)
                RC_ASSERT(weight >= 0.25 && weight <= 4.0);
            seen.insert(column.ids.begin(), column.ids.end());
        }
        RC_ASSERT(seen == std::multiset<WindowID>(ids.begin(), ids.end()));
        RC_ASSERT(s.focused.has_value());
        RC_ASSERT(seen.count(*s.focused) == 1u);
        RC_ASSERT(std::isfinite(s.scroll));
    }

    // At rest: the pan over, the windows where the strip put them, the
    // indicator's next row the strip's columns.
    EngineProbe::endPan(*engine, 0);
    RC_ASSERT(settle());
    RC_ASSERT(!engine->panning());
    RC_ASSERT(!strip().isPanning);
    for (WindowID id : ids) {
        const Rect want = engine->stripFrames().at(id);
        const Rect got = frameOf(id);
        RC_ASSERT(std::abs(want.minX() - got.minX()) < 2 && std::abs(want.width() - got.width()) < 2);
    }
    engine->showIndicator();
    if (strip().columns.size() >= 2) {
        const auto& tiles = panels.indicator->tiles;
        RC_ASSERT(tiles.size() == strip().columns.size());
        for (std::size_t i = 0; i < tiles.size(); ++i) {
            RC_ASSERT(tiles[i].id == strip().columns[i].active);
            RC_ASSERT(tiles[i].count == int(strip().columns[i].ids.size()));
            RC_ASSERT(tiles[i].focused == holds(strip().columns[i], *strip().focused));
        }
    }
}

} // namespace kavelo::testing
