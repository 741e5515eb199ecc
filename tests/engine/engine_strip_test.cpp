// The strips on screen: frames written only where they are off, the read
// back, the scroll animation, reduced motion, neighbours, oversized
// background tabs, the tab-select callback and parked columns.

#include "engine/engine_fixture.h"

#include "core/screen_coordinates.h"

#include <algorithm>
#include <cmath>

namespace kavelo::testing {
namespace {

using EngineStrip = EngineTest;


TEST_F(EngineStrip, WindowsOpeningAreLaidOutAsColumnsAndThenLeftAlone)
{
    const auto notes = app("com.example.Notes", "Notes");
    start(ArrangeMode::strip);
    const std::string key = keyOf(primary);
    std::vector<WindowID> opened;
    for (int i = 0; i < 3; ++i) {
        opened.push_back(open(notes, std::to_string(i)));
        ASSERT_TRUE(settle());
        const auto columns = columnsOf(key);
        ASSERT_EQ(columns.size(), opened.size());
        for (WindowID id : opened) {
            EXPECT_EQ(frameOf(id), engine->stripFrames().at(id));
            EXPECT_EQ(frameOf(id), engine->stripSettled().at(id));
            EXPECT_EQ(engine->placed().at(id), frameOf(id).origin);
        }
        // The oldest window is the first column.
        EXPECT_EQ(columns.front(), std::vector<WindowID>{opened.front()});
    }
    // Half-screen columns of the 1420-point area, 10 points apart.
    for (WindowID id : opened) {
        EXPECT_EQ(engine->stripFrames().at(id).size, Size(705, 855));
        EXPECT_EQ(engine->stripFrames().at(id).minY(), 35);
    }
    EXPECT_EQ(engine->stripFrames().at(opened[2]).minX() - engine->stripFrames().at(opened[1]).minX(), 715);

    // A pass with everything in place writes nothing.
    sim.resetCounters();
    engine->lastSignature.clear();
    poll();
    EXPECT_GT(total().reads, 0);
    EXPECT_EQ(total().writes, 0);
}

// A terminal sizes itself in whole cells, a little short of its column:
// where it settled is where it can be, and it is not written again until
// it moves.
TEST_F(EngineStrip, AWindowSnappedToItsSizeStepsIsNotWrittenAgain)
{
    const WindowID term = window(app("com.example.Term", "Term"), "Term", Rect(100, 100, 500, 400),
                                 [](SimWindow& w) { w.sizeIncrement = Size(7, 13); });
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const Rect target = engine->stripFrames().at(term);
    ASSERT_EQ(frameOf(term), Rect(target.origin, Size(700, 845)));

    sim.resetCounters();
    engine->lastSignature.clear();
    poll();
    EXPECT_GT(total().reads, 0);
    EXPECT_EQ(total().writes, 0);

    sim.modifyWindow(term, [&](SimWindow& w) { w.frame = w.frame.offsetBy(40, 0); });
    EngineProbe::applyStrips(*engine);
    EXPECT_GT(sim.counters(term).writes, 0);
    EXPECT_EQ(frameOf(term), Rect(target.origin, Size(700, 845)));
}

// A column window something else moved off every display goes back to its
// column.
TEST_F(EngineStrip, AWindowMovedOffEveryDisplayGoesBackToItsColumn)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "One");
    open(notes, "Two");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const Rect column = engine->stripFrames().at(w);
    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(200, 1300, 500, 400); });
    ASSERT_TRUE(settle());
    EXPECT_EQ(frameOf(w), column);
    EXPECT_EQ(columnsOf(keyOf(primary)).size(), 2u);
}

// A window that goes 1 point off is left; 2 points off is written again.
TEST_F(EngineStrip, OnlyFramesTwoPointsOffAreWritten)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "One");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const Rect target = engine->stripFrames().at(w);

    sim.modifyWindow(w, [&](SimWindow& x) { x.frame = target.offsetBy(1.9, -1.9); });
    sim.resetCounters();
    EngineProbe::applyStrips(*engine);
    EXPECT_EQ(total().writes, 0);
    EXPECT_EQ(engine->stripSettled().at(w), target.offsetBy(1.9, -1.9));

    sim.modifyWindow(w, [&](SimWindow& x) { x.frame = Rect(target.origin, Size(target.width() + 2, target.height())); });
    EngineProbe::applyStrips(*engine);
    EXPECT_EQ(sim.counters(w).sizeWrites, 2);
    EXPECT_EQ(sim.counters(w).positionWrites, 1);
    EXPECT_EQ(frameOf(w), target);
    EXPECT_EQ(engine->stripSettled().at(w), target);
}

TEST_F(EngineStrip, AWindowThatStaysPutGetsItsPositionOnceMore)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID stuck = window(notes, "Stuck", Rect(300, 300, 400, 300), [](SimWindow& w) { w.refusesMoves = true; });
    const WindowID big = window(notes, "Big", Rect(0, 40, 400, 300), [](SimWindow& w) { w.minSize = Size(900, 300); });
    start(ArrangeMode::strip);
    poll();
    // Size, position, size; then the position again because it did not move.
    EXPECT_EQ(sim.counters(stuck).positionWrites, 2);
    EXPECT_EQ(engine->stripSettled().at(stuck), frameOf(stuck));
    EXPECT_NE(engine->stripSettled().at(stuck), engine->stripFrames().at(stuck));

    // A window held at its minimum size stands where it can: it is not
    // written again at every pass.
    EXPECT_GE(frameOf(big).width(), 900);
    EXPECT_EQ(engine->stripSettled().at(big), frameOf(big));
    for (int pass = 0; pass < 3; ++pass) {
        sim.resetCounters();
        engine->lastSignature.clear();
        poll();
        EXPECT_EQ(sim.counters(big).writes, 0) << "pass " << pass;
    }
}

TEST_F(EngineStrip, DeferredWritesAreReadBackAsTheWindowHasThem)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID slow = window(notes, "Slow", Rect(300, 300, 400, 300), [](SimWindow& w) { w.defersWrites = true; });
    start(ArrangeMode::strip);
    poll();
    // Nothing moved yet: settled where it stands, the position sent again.
    EXPECT_EQ(engine->stripSettled().at(slow), Rect(300, 300, 400, 300));
    EXPECT_EQ(sim.counters(slow).positionWrites, 2);
    sim.settle();
    EXPECT_EQ(frameOf(slow), engine->stripFrames().at(slow));
}

class EngineStripScroll : public EngineStrip {
protected:
    // Three windows on an area 1000 points wide: half columns of 495 points,
    // so bringing the third column into view scrolls by 505 points.
    void SetUp() override
    {
        sim.setDisplayFrame(primary, Rect(0, 0, 1020, 900));
        const auto notes = app("com.example.Notes", "Notes");
        for (int i = 0; i < 3; ++i)
            ids.push_back(open(notes, std::to_string(i)));
        start(ArrangeMode::strip);
        sim.focusWindow(ids[2]);
        ASSERT_TRUE(settle());
        key = keyOf(primary);
        ASSERT_EQ(engine->strips().at(key).scroll, 505);
    }

    // Steps until the animation ends; each must write positions only.
    int runAnimation()
    {
        int steps = 0;
        while (engine->isAnimating() && steps < 1000) {
            sim.resetCounters();
            scheduler.advance(ArrangeEngine::stepInterval);
            ++steps;
            EXPECT_EQ(total().sizeWrites, 0) << "step " << steps;
        }
        return steps;
    }

    std::vector<WindowID> ids;
    std::string key;
};

TEST_F(EngineStripScroll, A505PointScrollTakes24PositionStepsThenOneFullApply)
{
    const auto before = engine->stripFrames();
    sim.focusWindow(ids[0]);
    poll();
    ASSERT_TRUE(engine->isAnimating());
    EXPECT_EQ(engine->strips().at(key).scroll, 0);
    EXPECT_EQ(engine->shown().at(key), 505);

    int steps = 0;
    int moves = 0;
    double last = 505;
    while (engine->isAnimating() && steps < 100) {
        sim.resetCounters();
        scheduler.advance(ArrangeEngine::stepInterval);
        ++steps;
        const double now = engine->shown().at(key);
        EXPECT_LT(now, last) << "step " << steps;
        last = now;
        // Moves under half a point wait for the next step.
        moves += total().positionWrites;
        EXPECT_EQ(total().sizeWrites, 0) << "step " << steps;
        if (engine->isAnimating()) {
            EXPECT_EQ(engine->stripFrames(), before) << "the last settled frames stay during the animation";
        }
    }
    EXPECT_EQ(steps, 24);
    EXPECT_GE(moves, 3 * 20);
    EXPECT_EQ(engine->shown().at(key), 0);
    // The closing apply found every window in place and settled the caches.
    EXPECT_EQ(total().sizeWrites, 0);
    for (WindowID id : ids) {
        EXPECT_EQ(frameOf(id), engine->stripFrames().at(id));
        EXPECT_EQ(engine->stripSettled().at(id), frameOf(id));
    }
    EXPECT_EQ(engine->stripFrames().at(ids[0]), Rect(10, 35, 495, 855));
}

TEST_F(EngineStripScroll, ReducedMotionJumps)
{
    sim.setReducedMotion(true);
    sim.resetCounters();
    sim.focusWindow(ids[0]);
    poll();
    EXPECT_FALSE(engine->isAnimating());
    EXPECT_EQ(engine->shown().at(key), engine->strips().at(key).scroll);
    EXPECT_EQ(frameOf(ids[0]), Rect(10, 35, 495, 855));
}

TEST_F(EngineStripScroll, OnlyAScrollOfMoreThanOnePointIsAnimated)
{
    EngineProbe::shown(*engine)[key] = 505 + 1;
    EngineProbe::applyStrips(*engine);
    EXPECT_FALSE(engine->isAnimating());
    EXPECT_EQ(engine->shown().at(key), 505);

    EngineProbe::shown(*engine)[key] = 505 + 1.01;
    EngineProbe::applyStrips(*engine);
    EXPECT_TRUE(engine->isAnimating());
    EXPECT_EQ(runAnimation(), 1);
}

TEST_F(EngineStripScroll, APannedStripKeepsTheAnimationRunning)
{
    EngineProbe::strips(*engine)[key].beginPan();
    EngineProbe::shown(*engine)[key] = 300;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(engine->isAnimating());
    scheduler.advance(1.0);
    EXPECT_TRUE(engine->isAnimating());
    EXPECT_EQ(engine->shown().at(key), engine->strips().at(key).scroll);
    EngineProbe::strips(*engine)[key].endPan(0, areaOf(primary));
    EXPECT_EQ(runAnimation(), 1);
}

TEST_F(EngineStripScroll, AStripOfADisplayThatIsGoneIsLeftAlone)
{
    const auto studio = sim.addDisplay(SimDisplay{.name = "Studio Display", .frame = Rect(1020, 0, 1280, 800)});
    const auto notes = app("com.example.Other", "Other");
    const WindowID w = open(notes, "There", Rect(1100, 200, 500, 400));
    ASSERT_TRUE(settle());
    const std::string studioKey = keyOf(studio);
    ASSERT_EQ(columnsOf(studioKey).size(), 1u);
    ASSERT_TRUE(sim.removeDisplay(studio));
    const Rect there = frameOf(w);
    sim.resetCounters();
    EngineProbe::shown(*engine)[studioKey] = 999;
    EngineProbe::applyStrips(*engine);
    EngineProbe::step(*engine);
    EXPECT_EQ(frameOf(w), there);
    EXPECT_EQ(engine->shown().at(studioKey), 999);
    EXPECT_EQ(engine->strips().count(studioKey), 1u);
}

TEST_F(EngineStrip, ColumnsParkedTowardsANeighbourStayOnTheirOwnDisplay)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 4; ++i)
        open(notes, std::to_string(i));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const Strip strip = engine->strips().at(key);
    const Rect area = areaOf(primary);
    const auto frames = strip.arranged(area, strip.scroll).frames;

    // Alone: nothing changes.
    EXPECT_EQ(EngineProbe::keptHome(*engine, frames, screenOf(primary), area), frames);

    // A display touching the right edge (within a point) holds the right side.
    const auto right = sim.addDisplay(SimDisplay{.name = "Right", .frame = Rect(1440.5, 100, 1280, 800)});
    for (const auto& [id, frame] : EngineProbe::keptHome(*engine, frames, screenOf(primary), area))
        EXPECT_EQ(frame, Strip::keptHome(frames.at(id), area, false, true)) << id;
    // One that does not overlap vertically is no neighbour.
    sim.removeDisplay(right);
    sim.addDisplay(SimDisplay{.name = "Above", .frame = Rect(1440, 900, 1280, 800)});
    EXPECT_EQ(EngineProbe::keptHome(*engine, frames, screenOf(primary), area), frames);
}

TEST_F(EngineStrip, ParkedWindowsAreTheColumnsPastEitherEdge)
{
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> ids;
    for (int i = 0; i < 6; ++i)
        ids.push_back(open(notes, std::to_string(i)));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    // Columns of 705 points, oldest first; the fourth and fifth in view.
    sim.focusWindow(ids[3]);
    ASSERT_TRUE(settle());
    const Strip strip = engine->strips().at(keyOf(primary));
    ASSERT_EQ(strip.scroll, 3 * 715);
    const auto parked = EngineProbe::parkedWindows(*engine, strip, screenOf(primary));
    EXPECT_EQ(parked.left, (std::vector<WindowID>{ids[0], ids[1], ids[2]}));
    EXPECT_EQ(parked.right, (std::vector<WindowID>{ids[5]}));

    // No usable area, no parked columns.
    prefs.setReservedEdges({{"left", 5000}});
    EXPECT_TRUE(EngineProbe::parkedWindows(*engine, strip, screenOf(primary)).empty());
}

// A tabbed column: the shown tab raised over its siblings, an oversized
// background tab parked below the screen, the bar handed to the tab bars,
// and a click on a tab selecting it.
TEST_F(EngineStrip, TabbedColumnsShowOneWindowAndParkOversizedTabs)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID shown = open(notes, "Shown");
    const WindowID wide = window(notes, "Wide", Rect(0, 40, 400, 300), [](SimWindow& w) { w.minSize = Size(900, 100); });
    const WindowID near = window(notes, "Near", Rect(0, 40, 400, 300), [](SimWindow& w) { w.minSize = Size(709, 100); });
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    Strip& strip = EngineProbe::strips(*engine)[key];
    strip.columns = {Strip::Column{.ids = {shown, wide, near}, .width = 0.5, .tabbed = true, .active = shown}};
    strip.focused = shown;
    EngineProbe::shown(*engine).erase(key);

    sim.resetCounters();
    EngineProbe::applyStrips(*engine);
    const Rect slot = engine->stripFrames().at(shown);
    EXPECT_EQ(slot, Rect(10, 35 + Strip::tabHeight, 705, 855 - Strip::tabHeight));
    EXPECT_EQ(frameOf(shown), slot);
    EXPECT_EQ(sim.counters(shown).raises, 1);
    // 900 is more than 4 points wider than its 705-point slot; 709 is not.
    const double bottom = ScreenCoordinates::flip(screenOf(primary).visibleFrame, 900).maxY();
    EXPECT_EQ(frameOf(wide).origin, Point(slot.minX(), bottom + 2));
    EXPECT_EQ(frameOf(near).origin, slot.origin);

    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].bar.ids, (std::vector<WindowID>{shown, wide, near}));
    EXPECT_EQ(bars[0].bar.active, shown);
    EXPECT_EQ(bars[0].bar.frame, Rect(10, 35, 705, Strip::tabHeight));

    // A click on a tab: selected in the strip, applied, raised, activated.
    sim.resetCounters();
    panels.tabBars->select(near);
    EXPECT_EQ(engine->strips().at(key).columns[0].active, near);
    EXPECT_EQ(panels.tabBars->current()[0].bar.active, near);
    EXPECT_GE(sim.counters(near).raises, 2);
    EXPECT_EQ(sim.frontmost(), notes);

    // A tab of a window in no strip still applies and raises it.
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID loose = open(mail, "Loose");
    EngineProbe::floated(*engine).insert(loose);
    poll();
    const auto shows = panels.tabBars->shows.size();
    panels.tabBars->select(loose);
    EXPECT_EQ(panels.tabBars->shows.size(), shows + 1);
    EXPECT_EQ(sim.frontmost(), mail);
}

} // namespace
} // namespace kavelo::testing
