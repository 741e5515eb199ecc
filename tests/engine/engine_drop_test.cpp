// The mouse-up after a drag: swaps in the auto order, columns moved on the
// strip, the lines of a custom grid moved by resizing a window, and the
// command line's drag and resize hooks.

#include "engine/auto_record.h"

#include <cmath>
#include <limits>

namespace kavelo::testing {
namespace {


class EngineDrop : public EngineTest {
protected:
    // `count` windows of one application in auto mode, laid out and recorded.
    std::vector<WindowID> openAuto(int count, std::optional<TidyLayout> layout = std::nullopt)
    {
        const auto notes = app("com.example.Notes", "Notes");
        std::vector<WindowID> ids;
        for (int i = 0; i < count; ++i)
            ids.push_back(open(notes, "Note " + std::to_string(i)));
        if (layout)
            prefs.setDisplayLayouts({{sim.display(primary)->name, *layout}});
        start(ArrangeMode::auto_);
        EXPECT_TRUE(settle());
        recordAutoLayout(*this);
        watch = prefs.observe([this](std::string_view property) { written.emplace_back(property); });
        return engine->autoOrder().at(keyOf(primary));
    }

    // The user lets go of the mouse button at `topLeft`.
    void dropAt(Point topLeft)
    {
        sim.movePointer(topLeft);
        sim.pressButton(0);
        sim.releaseButton(0);
    }
    void moveTo(WindowID id, Rect frame)
    {
        sim.modifyWindow(id, [&](SimWindow& w) { w.frame = frame; });
    }
    Rect tile(WindowID id) const { return EngineProbe::autoRecord(*engine).frames.at(id); }
    std::vector<WindowID> order() const { return engine->autoOrder().at(keyOf(primary)); }
    std::string name() const { return sim.display(primary)->name; }

    std::vector<std::string> written;
    Handle watch;
};

// ---------------------------------------------------------------- the strip

TEST_F(EngineDrop, OnTheStripTheDroppedColumnTakesTheTargetsPlaceUnlessTheStripMoves)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, "Note " + std::to_string(i));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto before = columnsOf(key);
    ASSERT_EQ(before.size(), 3u);
    const WindowID first = before[0][0];
    const WindowID third = before[2][0];
    const auto dragFirstOntoThird = [&] {
        const Rect target = engine->stripFrames().at(third);
        moveTo(first, Rect(target.origin.x + 40, target.origin.y + 40, frameOf(first).width(), frameOf(first).height()));
        dropAt(target.center());
    };

    EngineProbe::panningOf(*engine) = key;
    dragFirstOntoThird();
    EXPECT_EQ(columnsOf(key), before) << "dropped while panning";
    EngineProbe::panningOf(*engine).reset();

    EngineProbe::shown(*engine)[key] = engine->strips().at(key).scroll + 400;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(engine->isAnimating());
    dragFirstOntoThird();
    EXPECT_EQ(columnsOf(key), before) << "dropped while animating";
    ASSERT_TRUE(settle());

    dragFirstOntoThird();
    EXPECT_EQ(columnsOf(key), (std::vector<std::vector<WindowID>>{before[1], before[2], before[0]}));
    // The strip was applied again: the dragged window is back on its column.
    EXPECT_EQ(frameOf(first), engine->stripFrames().at(first));

    // Dropped on empty space, or on its own column: nothing changes.
    const auto now = columnsOf(key);
    moveTo(first, frameOf(first).offsetBy(0, 60));
    dropAt(Point(5, 5));
    moveTo(first, frameOf(first).offsetBy(30, 0));
    dropAt(engine->stripFrames().at(first).center());
    EXPECT_EQ(columnsOf(key), now);
}

// ---------------------------------------------------------------- swaps

TEST_F(EngineDrop, WithoutAutoFramesAMouseUpDoesNothing)
{
    const auto ids = openAuto(2, TidyLayout::custom);
    const auto was = order();
    EngineProbe::autoRecord(*engine).frames.clear();
    // A resize that would move a grid line, and a drag that would swap.
    const Rect main = frameOf(ids[0]);
    moveTo(ids[0], Rect(main.origin, Size(main.width() + 100, main.height())));
    dropAt(Point(0, 0));
    moveTo(ids[1], Rect(main.origin.x + 40, main.origin.y + 40, frameOf(ids[1]).width(), frameOf(ids[1]).height()));
    dropAt(main.center());
    EXPECT_EQ(order(), was);
    EXPECT_TRUE(written.empty());
}

TEST_F(EngineDrop, AClickThatMovesNothingChangesNothing)
{
    const auto ids = openAuto(2, TidyLayout::custom);
    const auto was = order();
    // 12 points exactly is no move: a shift by 12 and a resize by 12.
    moveTo(ids[0], frameOf(ids[0]).offsetBy(12, 0));
    const Rect other = frameOf(ids[1]);
    moveTo(ids[1], Rect(other.origin, Size(other.width() - 12, other.height() + 12)));
    dropAt(tile(ids[1]).center());
    dropAt(tile(ids[0]).center());
    EXPECT_EQ(order(), was);
    EXPECT_TRUE(written.empty()) << written.front();
    EXPECT_FALSE(prefs.gridPlans().count(name()));
}

TEST_F(EngineDrop, ADragOntoAnotherTileSwapsOnlyWhenTheWindowKeptItsSize)
{
    const auto ids = openAuto(3);
    const auto was = order();
    const WindowID dragged = was[0];
    const WindowID target = was[2];
    const Rect start = frameOf(dragged);
    const auto dragOnto = [&](double grow) {
        const Rect onto = tile(target);
        moveTo(dragged, Rect(onto.origin.x + 40, onto.origin.y + 40, start.width() + grow, start.height()));
        dropAt(onto.center());
    };

    dragOnto(4);
    EXPECT_EQ(order(), was) << "a 4-point resize is no drag";
    dragOnto(3.9);
    EXPECT_EQ(order(), (std::vector<WindowID>{was[2], was[1], was[0]}));
    EXPECT_TRUE(written.empty());
    (void)ids;
}

// A floated window's last tile can stay in the record; standing centred, away
// from it, it must not pass for the window the user dragged.
TEST_F(EngineDrop, AFloatedWindowDoesNotHideTheRealDrag)
{
    openAuto(3);
    const auto was = order();
    const WindowID oldest = *std::min_element(was.begin(), was.end());
    const Rect left = tile(oldest);
    sim.focusWindow(oldest);
    engine->toggleFloat();
    recordAutoLayout(*this);
    // Its last tile as an application that no longer lays it out leaves it.
    EngineProbe::autoRecord(*engine).frames[oldest] = left;
    EngineProbe::autoRecord(*engine).placed[oldest] = left;
    const auto now = order();
    ASSERT_EQ(now.size(), 2u);
    ASSERT_NE(frameOf(oldest), EngineProbe::autoRecord(*engine).placed.at(oldest));

    const Rect onto = tile(now[0]);
    moveTo(now[1], Rect(onto.origin.x + 40, onto.origin.y + 40, frameOf(now[1]).width(), frameOf(now[1]).height()));
    dropAt(onto.center());
    EXPECT_EQ(order(), (std::vector<WindowID>{now[1], now[0]}));
}

TEST_F(EngineDrop, NoSwapAcrossDisplays)
{
    const auto side = sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1280, 900}, .menuBar = 0});
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID left = open(notes, "Left", Rect(100, 100, 500, 400));
    const WindowID right = open(notes, "Right", Rect(1600, 100, 500, 400));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    recordAutoLayout(*this);
    ASSERT_EQ(engine->autoOrder().at(keyOf(primary)), std::vector<WindowID>{left});
    ASSERT_EQ(engine->autoOrder().at(keyOf(side)), std::vector<WindowID>{right});

    const Rect onto = tile(right);
    moveTo(left, Rect(onto.origin.x + 40, onto.origin.y + 40, frameOf(left).width(), frameOf(left).height()));
    dropAt(onto.center());
    EXPECT_EQ(engine->autoOrder().at(keyOf(primary)), std::vector<WindowID>{left});
    EXPECT_EQ(engine->autoOrder().at(keyOf(side)), std::vector<WindowID>{right});
}

// ---------------------------------------------------------------- grid lines

TEST_F(EngineDrop, ResizingTheMainWindowMovesTheLineOfItsFarEdge)
{
    prefs.setGridPlans({{sim.display(primary)->name, GridPlan::even(2, 1)}});
    const auto ids = openAuto(2, TidyLayout::custom);
    const auto was = order();
    const Rect area = areaOf(primary);
    const Rect main = frameOf(was[0]);

    // The right edge 100 points further: the first line follows it, as a
    // fraction of the usable width.
    moveTo(was[0], Rect(main.origin, Size(main.width() + 100, main.height())));
    dropAt(tile(was[1]).center());
    GridPlan expected = GridPlan::even(2, 1);
    expected.moveColumnLine(0, (main.maxX() + 100 - area.minX()) / area.width());
    ASSERT_TRUE(prefs.gridPlans().count(name()));
    EXPECT_EQ(prefs.gridPlans().at(name()), expected);
    EXPECT_NE(expected, GridPlan::even(2, 1));
    EXPECT_EQ(order(), was) << "a resize is not a swap";
    (void)ids;
}

TEST_F(EngineDrop, AScreenSideEdgeStoresThePlanUnchanged)
{
    prefs.setGridPlans({{sim.display(primary)->name, GridPlan::even(2, 1)}});
    openAuto(2, TidyLayout::custom);
    const auto was = order();
    const Rect main = frameOf(was[0]);
    written.clear();

    // The left edge 100 points out, the window dropped over the other tile.
    moveTo(was[0], Rect(main.minX() - 100, main.minY(), main.width() + 100, main.height()));
    dropAt(tile(was[1]).center());
    EXPECT_EQ(prefs.gridPlans().at(name()), GridPlan::even(2, 1));
    EXPECT_EQ(written, std::vector<std::string>{"gridPlans"});
    EXPECT_EQ(order(), was);
}

// Which line moves for which edge, in plans of two columns and of two rows.
TEST_F(EngineDrop, TheFarEdgeWinsOnEachAxis)
{
    struct Case {
        const char* what;
        GridPlan plan;
        double left, top, right, bottom;   // how far each edge of the main window moves
        bool columnLine, rowLine;          // which line moves, to where the far or near edge went
    };
    const std::vector<Case> cases{
        {"right and left", GridPlan::even(2, 1), -50, 0, 80, 0, true, false},
        {"bottom", GridPlan::even(1, 2), 0, 0, 0, 90, false, true},
        {"bottom and top", GridPlan::even(1, 2), 0, -40, 0, 70, false, true},
        {"right and bottom", GridPlan::even(2, 2), 0, 0, 60, 60, true, true},
    };
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(open(notes, "Note " + std::to_string(i)));
    prefs.setDisplayLayouts({{sim.display(primary)->name, TidyLayout::custom}});
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const Rect area = areaOf(primary);
    for (const auto& c : cases) {
        prefs.setGridPlans({{name(), c.plan}});
        recordAutoLayout(*this);
        const auto shown = EngineProbe::autoRecord(*engine).shown.at(keyOf(primary));
        const WindowID main = shown.front();
        const Rect was = frameOf(main);
        const Rect now(was.minX() + c.left, was.minY() + c.top, was.width() - c.left + c.right,
                       was.height() - c.top + c.bottom);
        moveTo(main, now);
        EngineProbe::dropped(*engine, Point(-1, -1));

        GridPlan expected = c.plan;
        const GridCell cell = c.plan.cellsForCount(int(shown.size())).front();
        if (c.columnLine)
            expected.moveColumnLine(cell.column + cell.columnSpan - 1, (now.maxX() - area.minX()) / area.width());
        if (c.rowLine)
            expected.moveRowLine(cell.row + cell.rowSpan - 1, (now.maxY() - area.minY()) / area.height());
        EXPECT_EQ(prefs.gridPlans().at(name()), expected) << c.what;
    }
}

TEST_F(EngineDrop, WithTheGridFollowingTheCountTheSameMouseUpCanSwap)
{
    const auto ids = openAuto(2, TidyLayout::custom);
    const auto was = order();
    const Rect main = frameOf(was[0]);
    const auto resizeAndDrag = [&] {
        // The main window resized, the other dragged onto its tile.
        moveTo(was[0], Rect(main.origin, Size(main.width() + 30, main.height())));
        const Rect onto = tile(was[0]);
        moveTo(was[1], Rect(onto.origin.x + 40, onto.origin.y + 40, frameOf(was[1]).width(),
                            frameOf(was[1]).height()));
        dropAt(onto.center());
    };

    resizeAndDrag();
    EXPECT_EQ(order(), was) << "taken as a grid-line move";
    EXPECT_TRUE(prefs.gridPlans().count(name()));

    prefs.setGridPlans({});
    prefs.setGridFollowsCount(true);
    recordAutoLayout(*this);
    written.clear();
    resizeAndDrag();
    EXPECT_EQ(order(), (std::vector<WindowID>{was[1], was[0]}));
    EXPECT_FALSE(prefs.gridPlans().count(name()));
    EXPECT_TRUE(written.empty());
    (void)ids;
}

TEST_F(EngineDrop, BadPointsFramesAndDisplaysAreLeftOut)
{
    const auto ids = openAuto(2, TidyLayout::custom);
    const auto was = order();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();

    // A point that is no point.
    const Rect onto = tile(was[1]);
    moveTo(was[0], Rect(onto.origin.x + 40, onto.origin.y + 40, frameOf(was[0]).width(), frameOf(was[0]).height()));
    EngineProbe::dropped(*engine, Point(nan, 10));
    EngineProbe::dropped(*engine, Point(onto.midX(), inf));
    EXPECT_EQ(order(), was);

    // A frame that is no frame takes part in nothing.
    moveTo(was[1], Rect(nan, 0, 400, 300));
    EngineProbe::dropped(*engine, Point(-1, -1));
    EXPECT_TRUE(written.empty());
    recordAutoLayout(*this);

    // A display without room gives no fraction: reserved edges wider than
    // it leave the resize to the swap path, which finds nothing here.
    prefs.setReservedEdges({{"left", 3000}});
    written.clear();
    const Rect main = frameOf(was[0]);
    moveTo(was[0], Rect(main.origin, Size(main.width() + 100, main.height())));
    EXPECT_FALSE(EngineProbe::movedGridLine(*engine));
    EXPECT_TRUE(written.empty());
    (void)ids;
}

// ---------------------------------------------------------------- self-test hooks

TEST_F(EngineDrop, TheTestDragSwapsTheFirstTwoInEitherMode)
{
    const auto notes = app("com.example.Notes", "Notes");
    for (int i = 0; i < 3; ++i)
        open(notes, "Note " + std::to_string(i));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto columns = columnsOf(key);
    engine->testDrag();
    EXPECT_EQ(columnsOf(key), (std::vector<std::vector<WindowID>>{columns[1], columns[0], columns[2]}));
    // The resize hook looks at auto windows only: none here.
    engine->testResize();
    EXPECT_TRUE(prefs.gridPlans().empty());

    prefs.setArrangeMode(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    recordAutoLayout(*this);
    const auto was = order();
    engine->testDrag();
    EXPECT_EQ(order(), (std::vector<WindowID>{was[1], was[0], was[2]}));
}

TEST_F(EngineDrop, TheTestResizeMovesALineOfACustomGridInEitherMode)
{
    prefs.setGridPlans({{sim.display(primary)->name, GridPlan::even(2, 1)}});
    openAuto(2, TidyLayout::custom);
    const Rect area = areaOf(primary);
    const Rect main = frameOf(order()[0]);
    engine->testResize();
    GridPlan expected = GridPlan::even(2, 1);
    expected.moveColumnLine(0, (main.maxX() + 300 - area.minX()) / area.width());
    EXPECT_EQ(prefs.gridPlans().at(name()), expected);
    EXPECT_EQ(frameOf(order()[0]).height(), main.height());

    // The hook does not ask for the mode; the drop it makes does.
    prefs.setGridPlans({{name(), GridPlan::even(2, 1)}});
    engine->testMode = ArrangeMode::strip;
    engine->testResize();
    EXPECT_EQ(prefs.gridPlans().at(name()), GridPlan::even(2, 1));
}

} // namespace
} // namespace kavelo::testing
