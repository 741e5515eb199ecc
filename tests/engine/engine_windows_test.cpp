// Floating the focused window, swapping it along its display's order,
// choosing a display's layout and sending a window to the next display.

#include "engine/auto_record.h"

#include "core/screen_coordinates.h"

namespace kavelo::testing {
namespace {


class EngineWindowCommands : public EngineTest {
protected:
    // A second display to the right of the first, without a menu bar.
    std::uint32_t addSide(Rect frame = Rect(1440, 0, 1280, 900))
    {
        return sim.addDisplay(SimDisplay{.name = "Side", .frame = frame, .menuBar = 0});
    }
    std::vector<WindowID> orderOf(std::uint32_t display) const
    {
        auto it = engine->autoOrder().find(keyOf(display));
        return it == engine->autoOrder().end() ? std::vector<WindowID>{} : it->second;
    }
    bool inAnyStrip(WindowID id) const
    {
        for (const auto& [key, strip] : engine->strips())
            for (const auto& column : strip.columns)
                if (std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end())
                    return true;
        return false;
    }
    using Shown = std::pair<std::string, std::string>;
};

// ---------------------------------------------------------------- float

TEST_F(EngineWindowCommands, FloatingCentresTheWindowAndPuttingItBackLeavesItWhereItIs)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    sim.focusWindow(a);
    const Rect before = frameOf(a);
    sim.resetCounters();

    engine->toggleFloat();
    EXPECT_TRUE(engine->floated().count(a));
    EXPECT_EQ(toast.shown.back(), Shown("Window floating", "checkmark.circle.fill"));
    const Rect area = areaOf(primary);
    EXPECT_EQ(frameOf(a).size, before.size);
    EXPECT_EQ(frameOf(a).center(), area.center());
    EXPECT_EQ(sim.counters(a).sizeWrites, 0);
    // Out of its strip at once, raised and its application in front.
    EXPECT_FALSE(inAnyStrip(a));
    EXPECT_TRUE(inAnyStrip(b));
    EXPECT_GT(sim.counters(a).raises, 0);
    EXPECT_EQ(sim.frontmost(), notes);
    // Passes leave it alone.
    const Rect floating = frameOf(a);
    engine->lastSignature.clear();
    poll();
    EXPECT_EQ(frameOf(a), floating);

    // Put back: the command itself moves nothing; the pass that runs at
    // once takes the window in as a new column and writes it once.
    sim.resetCounters();
    engine->toggleFloat();
    EXPECT_FALSE(engine->floated().count(a));
    EXPECT_EQ(toast.shown.back(), Shown("Window back in the layout", "checkmark.circle.fill"));
    EXPECT_TRUE(inAnyStrip(a));
    EXPECT_EQ(sim.counters(a).positionWrites, 1);
    ASSERT_TRUE(settle());
    EXPECT_EQ(frameOf(a), engine->stripFrames().at(a));
}

TEST_F(EngineWindowCommands, AFloatedWindowOfAnUnpluggedDisplayIsCentredOnTheOneHoldingMostOfIt)
{
    const auto side = addSide();
    const auto third = sim.addDisplay(SimDisplay{.name = "Third", .frame = {2720, 0, 1000, 900}, .menuBar = 0});
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "W", Rect(2800, 100, 500, 400));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_EQ(engine->homes().at(w), "Third");

    sim.removeDisplay(third);
    // Mostly on the side display, a little on the first.
    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(1300, 100, 500, 400); });
    sim.focusWindow(w);
    engine->toggleFloat();
    EXPECT_EQ(frameOf(w).center(), areaOf(side).center());
    EXPECT_EQ(frameOf(w).size, Size(500, 400));
}

TEST_F(EngineWindowCommands, FloatWithoutAFocusedWindowDoesNothing)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID unreachable = window(notes, "Unreachable", Rect(100, 100, 400, 300),
                                        [](SimWindow& w) { w.accessible = false; });
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    sim.focusWindow(unreachable);
    sim.resetCounters();
    engine->toggleFloat();
    EXPECT_TRUE(engine->floated().empty());
    EXPECT_TRUE(toast.shown.empty());
    EXPECT_EQ(total().writes, 0);
}

// ---------------------------------------------------------------- swap and next display

TEST_F(EngineWindowCommands, SwapExchangesNeighboursAndEitherEndGoesToTheNextDisplay)
{
    const auto side = addSide();
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 4; ++i)
        open(notes, "Note " + std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto was = orderOf(primary);
    ASSERT_EQ(was.size(), 4u);

    sim.focusWindow(was[1]);
    EngineProbe::swap(*engine, 1);
    EXPECT_EQ(orderOf(primary), (std::vector<WindowID>{was[0], was[2], was[1], was[3]}));
    EngineProbe::swap(*engine, -1);
    EXPECT_EQ(orderOf(primary), was);

    // Left of the first: to the next display, centred, out of every order.
    sim.focusWindow(was[0]);
    EngineProbe::swap(*engine, -1);
    EXPECT_EQ(orderOf(primary), (std::vector<WindowID>{was[1], was[2], was[3]}));
    EXPECT_EQ(engine->homes().at(was[0]), "Side");
    EXPECT_EQ(frameOf(was[0]).center(), areaOf(side).center());
    EXPECT_TRUE(engine->lastSignature.empty());
    // No pass of its own: the next tick files it on the side display.
    EXPECT_TRUE(orderOf(side).empty());
    poll();
    EXPECT_EQ(orderOf(side), std::vector<WindowID>{was[0]});

    // Right of the last: the same.
    sim.focusWindow(was[3]);
    EngineProbe::swap(*engine, 1);
    EXPECT_EQ(orderOf(primary), (std::vector<WindowID>{was[1], was[2]}));
    EXPECT_EQ(engine->homes().at(was[3]), "Side");
    poll();
    EXPECT_EQ(orderOf(side).size(), 2u);

    // And back round to the first display from the last one.
    sim.focusWindow(was[3]);
    engine->sendToNextDisplay();
    EXPECT_EQ(engine->homes().at(was[3]), sim.display(primary)->name);
    EXPECT_EQ(frameOf(was[3]).center(), areaOf(primary).center());
}

TEST_F(EngineWindowCommands, WithOneDisplayNothingGoesAnywhere)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 2; ++i)
        open(notes, "Note " + std::to_string(i));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const auto was = orderOf(primary);
    const Rect frame = frameOf(was[0]);
    sim.focusWindow(was[0]);
    sim.resetCounters();
    EngineProbe::swap(*engine, -1);
    engine->sendToNextDisplay();
    EXPECT_EQ(orderOf(primary), was);
    EXPECT_EQ(frameOf(was[0]), frame);
    EXPECT_EQ(total().writes, 0);
    EXPECT_FALSE(engine->lastSignature.empty());
}

TEST_F(EngineWindowCommands, AWindowTooLargeForTheNextDisplayShrinksToItsArea)
{
    // 800 × 600, its top at y 300 of the first display's 900.
    const auto side = addSide(Rect(1440, 0, 800, 600));
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID wide = open(notes, "Wide", Rect(50, 50, 1200, 500));
    const WindowID small = open(notes, "Small", Rect(60, 60, 400, 300));
    start(ArrangeMode::off);
    const Rect area = areaOf(side);
    ASSERT_EQ(area, Rect(1450, 310, 780, 580));

    sim.focusWindow(wide);
    engine->sendToNextDisplay();
    EXPECT_EQ(frameOf(wide), Rect(1450, 350, 780, 500));

    sim.focusWindow(small);
    engine->sendToNextDisplay();
    EXPECT_EQ(frameOf(small), Rect(1640, 450, 400, 300));
    EXPECT_EQ(engine->homes().at(small), "Side");
}

TEST_F(EngineWindowCommands, NextDisplayTakesTheWindowOffItsStripAndTheNextPassAddsIt)
{
    const auto side = addSide();
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    const WindowID c = open(notes, "C", Rect(1600, 100, 500, 400));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    ASSERT_EQ(columnsOf(keyOf(primary)).size(), 2u);
    ASSERT_EQ(columnsOf(keyOf(side)), std::vector<std::vector<WindowID>>{{c}});

    sim.focusWindow(b);
    engine->sendToNextDisplay();
    EXPECT_EQ(columnsOf(keyOf(primary)), std::vector<std::vector<WindowID>>{{a}});
    EXPECT_EQ(columnsOf(keyOf(side)), std::vector<std::vector<WindowID>>{{c}});
    ASSERT_TRUE(settle());
    const auto there = columnsOf(keyOf(side));
    ASSERT_EQ(there.size(), 2u);
    EXPECT_TRUE(there[0] == std::vector<WindowID>{b} || there[1] == std::vector<WindowID>{b});
    EXPECT_EQ(frameOf(b), engine->stripFrames().at(b));
    EXPECT_TRUE(areaOf(side).contains(frameOf(b).center()));
}

TEST_F(EngineWindowCommands, NextDisplayPassesOverADisplayWithoutRoom)
{
    const auto side = addSide(Rect(1440, 0, 1280, 900));
    const auto third = sim.addDisplay(SimDisplay{.name = "Third", .frame = {2720, 0, 10, 900}, .menuBar = 0});
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "W", Rect(1600, 100, 500, 400));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    ASSERT_FALSE(WindowActions::area(desktop, screenOf(third)));
    sim.focusWindow(w);
    engine->sendToNextDisplay();
    EXPECT_EQ(engine->homes().at(w), sim.display(primary)->name);
    EXPECT_TRUE(frameOf(w).isFinite());
    EXPECT_EQ(frameOf(w).center(), areaOf(primary).center());
    (void)side;
}

// ---------------------------------------------------------------- layout choice

TEST_F(EngineWindowCommands, ChoosingALayoutStoresItForTheDisplayUnderThePointer)
{
    const auto side = addSide();
    start(ArrangeMode::auto_);
    prefs.setDisplaysOff({"Side"});

    // Paused, over the side display, which was switched off.
    engine->isPaused = true;
    sim.movePointer(Point(1600, 400));
    EngineProbe::setLayout(*engine, TidyLayout::columns);
    EXPECT_EQ(prefs.displayLayouts().at("Side"), TidyLayout::columns);
    EXPECT_TRUE(prefs.displaysOff().empty());
    EXPECT_EQ(toast.shown, (std::vector<Shown>{{"Arranging is paused", "pause.circle.fill"}}));

    // Not paused, over the first display: no message.
    engine->isPaused = false;
    sim.movePointer(Point(300, 400));
    EngineProbe::setLayout(*engine, TidyLayout::custom);
    EXPECT_EQ(prefs.displayLayouts().at(sim.display(primary)->name), TidyLayout::custom);
    EXPECT_EQ(toast.shown.size(), 1u);

    // Over no display: the first one.
    sim.movePointer(Point(-900, -900));
    EngineProbe::setLayout(*engine, TidyLayout::rows);
    EXPECT_EQ(prefs.displayLayouts().at(sim.display(primary)->name), TidyLayout::rows);
    EXPECT_EQ(prefs.displayLayouts().at("Side"), TidyLayout::columns);
    (void)side;
}

} // namespace
} // namespace kavelo::testing
