#include "core/strip.h"
#include "core/tile_floor.h"

#include "core/core_builders.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

const Rect screen(0, 0, 1000, 800);

} // namespace

TEST(StripLayout, TwoHalfColumnsFillTheLaneExactly)
{
    Strip s = strip({column({1}), column({2})}, 2);
    const StripLayout layout = s.layout(screen);
    EXPECT_EQ(layout.frames.at(1), Rect(0, 0, 495, 800));
    EXPECT_EQ(layout.frames.at(2), Rect(505, 0, 495, 800));
    EXPECT_EQ(s.scroll, 0);
    EXPECT_TRUE(layout.tabs.empty());
    EXPECT_TRUE(layout.parked.empty() && layout.waitingLeft.empty() && layout.shown.empty());
    s.beginPan();
    s.pan(300, screen);
    EXPECT_EQ(s.scroll, 0) << "no scrolling is possible";
    EXPECT_EQ(s.panTravelled(), 300);
}

TEST(StripLayout, FullColumnsScrollJustEnoughToShowTheFocus)
{
    Strip s = strip({column({1}, 1.0), column({2}, 1.0), column({3}, 1.0)}, 3);
    auto layout = s.layout(screen);
    EXPECT_EQ(s.scroll, 2020);
    EXPECT_EQ(layout.frames.at(3), Rect(0, 0, 1000, 800));
    // Out of view: right edges 2 points past the left edge.
    EXPECT_EQ(layout.frames.at(1), Rect(-1002, 0, 1000, 800));
    EXPECT_EQ(layout.frames.at(2), Rect(-1002, 0, 1000, 800));

    s.moveFocus(Direction::left);
    s.layout(screen);
    EXPECT_EQ(s.scroll, 1010);
    s.scroll = 5000;
    s.focused = 99; // no focused column: only the clamp
    s.layout(screen);
    EXPECT_EQ(s.scroll, 2020);
    EXPECT_EQ(s.frames(screen).size(), 3u);
}

TEST(StripLayout, ColumnsWaitBeyondEitherEdge)
{
    Strip s = strip({column({1}), column({2}), column({3}), column({4})}, 1);
    auto layout = s.layout(Rect(100, 20, 1000, 800));
    EXPECT_EQ(layout.frames.at(1), Rect(100, 20, 495, 800));
    EXPECT_EQ(layout.frames.at(3), Rect(1102, 20, 495, 800)) << "left edge 2 points past the right edge";
    EXPECT_EQ(layout.frames.at(4), Rect(1102, 20, 495, 800));

    // Under a 4-point gap they wait 2 points inside the screen instead.
    Strip narrow = strip({column({1}, 1.0), column({2}, 1.0), column({3}, 1.0)}, 3, 2);
    layout = narrow.layout(screen);
    EXPECT_EQ(layout.frames.at(1).maxX(), 2);
    EXPECT_EQ(layout.frames.at(3).minX(), 0);
    narrow.focused = 1;
    layout = narrow.layout(screen);
    EXPECT_EQ(layout.frames.at(3).minX(), 998);
}

TEST(StripLayout, PinnedColumnsNarrowTheLane)
{
    Strip s = strip({column({1}), column({2}, 0.25, Strip::Pin::left), column({3})}, 3);
    auto layout = s.layout(Rect(0, 0, 1200, 700));
    EXPECT_EQ(layout.frames.at(2), Rect(0, 0, 295, 700));
    // Lane: 305 from the left edge, 895 wide; halves are floor(447.5 - 5).
    EXPECT_EQ(layout.frames.at(1), Rect(305, 0, 442, 700));
    EXPECT_EQ(layout.frames.at(3), Rect(757, 0, 442, 700));

    s.columns.push_back(column({4}, 1.0 / 3, Strip::Pin::right));
    layout = s.arranged(Rect(0, 0, 1200, 700), 0);
    EXPECT_EQ(layout.frames.at(4), Rect(1200 - 395, 0, 395, 700));
    // The lane loses 405 more on the right: 490 wide.
    EXPECT_EQ(layout.frames.at(1), Rect(305, 0, 240, 700));
}

TEST(StripLayout, FocusInAPinnedColumnKeepsTheScroll)
{
    Strip s = strip({column({1}, 0.25, Strip::Pin::left), column({2}, 1.0), column({3}, 1.0)}, 1);
    s.scroll = 123;
    s.layout(screen);
    EXPECT_EQ(s.scroll, 123);
}

TEST(StripLayout, Centering)
{
    auto make = [] { return strip({column({1}), column({2}), column({3}), column({4})}, 2); };
    // overflow: centre the focused column, then clamp.
    Strip s = make();
    s.centerMode = Strip::CenterMode::overflow;
    s.layout(screen);
    EXPECT_EQ(s.scroll, 505 + 247.5 - 500);
    s.select(1);
    s.layout(screen);
    EXPECT_EQ(s.scroll, 0) << "the first column still sits at the edge";

    // overflow with everything fitting scrolls only as needed.
    Strip fits = strip({column({1}), column({2})}, 2);
    fits.centerMode = Strip::CenterMode::overflow;
    fits.layout(screen);
    EXPECT_EQ(fits.scroll, 0);

    // A one-shot request survives layouts until a focus move clears it.
    Strip once = make();
    once.center();
    once.layout(screen);
    EXPECT_EQ(once.scroll, 252.5);
    once.scroll = 0;
    once.layout(screen);
    EXPECT_EQ(once.scroll, 252.5);
    once.moveFocus(Direction::left);
    once.scroll = 400;
    once.layout(screen);
    EXPECT_EQ(once.scroll, 0);

    Strip always = make();
    always.centerMode = Strip::CenterMode::always;
    always.select(3);
    always.layout(screen);
    EXPECT_EQ(always.scroll, 1010 + 247.5 - 500);
}

TEST(StripLayout, StackedAndTabbedColumns)
{
    Column stacked = column({1, 2, 3});
    stacked.weights = {{1, 2.0}};
    Strip s = strip({stacked}, 1);
    auto layout = s.layout(Rect(0, 0, 1000, 1000));
    EXPECT_EQ(layout.frames.at(1), Rect(0, 0, 495, 490));
    EXPECT_EQ(layout.frames.at(2), Rect(0, 500, 495, 245));
    EXPECT_EQ(layout.frames.at(3), Rect(0, 755, 495, 245));

    Column tabs = column({4, 5});
    tabs.tabbed = true;
    tabs.active = 5;
    Strip t = strip({tabs}, 5);
    layout = t.layout(screen);
    ASSERT_EQ(layout.tabs.size(), 1u);
    EXPECT_EQ(layout.tabs[0], (TabBar{.frame = Rect(0, 0, 495, 30), .ids = {4, 5}, .active = 5}));
    EXPECT_EQ(layout.frames.at(4), Rect(0, 30, 495, 770));
    EXPECT_EQ(layout.frames.at(5), Rect(0, 30, 495, 770));
}

TEST(StripLayout, KeepsHeightLimitsOnlyLoneWindows)
{
    Strip s = strip({column({1}), column({2, 3})}, 1);
    s.originalHeights = {{1, 600}, {2, 100}};
    auto layout = s.layout(screen);
    EXPECT_EQ(layout.frames.at(1).height(), 800) << "off: the entry is ignored";
    s.keepsHeight = true;
    layout = s.layout(screen);
    EXPECT_EQ(layout.frames.at(1).height(), 600);
    EXPECT_EQ(layout.frames.at(2).height(), 395);
    s.originalHeights[1] = 5000;
    EXPECT_EQ(s.layout(screen).frames.at(1).height(), 800);
}

TEST(StripLayout, NothingIsEverNegative)
{
    // A full-width left pin and a wide right pin leave no lane at all.
    Strip s = strip({column({1}, 1.0, Strip::Pin::left), column({2}, 0.75, Strip::Pin::right), column({3}),
                     column({4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15})},
                    3);
    s.columns[2].tabbed = false;
    const Rect shortScreen(0, 0, 1000, 90);
    for (const Rect& r : {screen, shortScreen, Rect(0, 0, 6, 20)}) {
        const auto layout = s.layout(r);
        for (const auto& [id, frame] : layout.frames) {
            EXPECT_GE(frame.size.width, 0) << id;
            EXPECT_GE(frame.size.height, 0) << id;
            EXPECT_TRUE(frame.isFinite()) << id;
            EXPECT_LE(frame.size.width, r.width()) << id;
        }
        EXPECT_TRUE(r.contains(layout.frames.at(1))) << r;
        EXPECT_TRUE(r.contains(layout.frames.at(2))) << r;
        EXPECT_EQ(layout.frames.at(3).size.width, TileFloor::of(r).width) << "no lane is left, yet the floor holds";
        EXPECT_GE(s.scroll, 0);
    }
    Column tabs = column({1, 2});
    tabs.tabbed = true;
    Strip t = strip({tabs}, 1);
    EXPECT_EQ(t.layout(Rect(0, 0, 400, 20)).frames.at(1), Rect(0, 30, 195, 0));
}

TEST(StripPan, SnapsToTheNearestColumnStart)
{
    Strip s = strip({column({1}), column({2}), column({3}), column({4})}, 1);
    s.layout(screen);
    EXPECT_EQ(s.endPan(0, screen), std::nullopt) << "not panning";

    s.center();
    s.beginPan();
    EXPECT_FALSE(s.isCentering());
    EXPECT_TRUE(s.isPanning);
    s.pan(700, screen);
    EXPECT_EQ(s.scroll, 700);
    // While panning the layout keeps the scroll.
    s.layout(screen);
    EXPECT_EQ(s.scroll, 700);
    s.pan(900, screen);
    EXPECT_EQ(s.scroll, 1010) << "clamped to the largest scroll";
    s.pan(-1600, screen);
    EXPECT_EQ(s.scroll, 0);
    s.pan(760, screen);
    // 1010 is nearer than 505; the last two columns both start there once
    // capped, and a forward pan takes the last of them.
    EXPECT_EQ(s.endPan(0, screen), 4u);
    EXPECT_EQ(s.scroll, 1010);
    EXPECT_FALSE(s.isPanning);
}

TEST(StripPan, ThrowAndDirectionChooseTheColumn)
{
    Strip s = strip({column({1}), column({2}), column({3}), column({4})}, 1);
    s.layout(screen);
    s.beginPan();
    s.pan(100, screen);
    // Thrown forward to 600: start 505 is nearest; the first column no longer shows whole.
    EXPECT_EQ(s.endPan(500, screen), 2u);
    EXPECT_EQ(s.scroll, 505);

    // Focused column still wholly visible after the snap: no focus change.
    Strip t = strip({column({1}), column({2}), column({3}), column({4})}, 2);
    t.layout(screen);
    t.beginPan();
    t.pan(400, screen);
    EXPECT_EQ(t.endPan(0, screen), std::nullopt);
    EXPECT_EQ(t.scroll, 505);
    EXPECT_EQ(t.focused, 2u);

    // Columns at the capped start tie: forward takes the last, backward the first.
    Strip u = strip({column({1}, 1.0), column({2}), column({3}, 0.25), column({4}, 0.25)}, 1);
    u.layout(screen);
    u.beginPan();
    u.pan(900, screen);
    EXPECT_EQ(u.endPan(500, screen), 4u);
    EXPECT_EQ(u.scroll, 1015);
    u.focused = 1;
    u.beginPan();
    u.pan(-1, screen);
    EXPECT_EQ(u.endPan(0, screen), 3u);
    EXPECT_EQ(u.scroll, 1015);
}

TEST(StripPan, AStripThatFitsStepsTheFocus)
{
    Strip s = strip({column({1}), column({2})}, 2);
    s.beginPan();
    s.pan(-30, screen);
    EXPECT_EQ(s.endPan(0, screen), std::nullopt);
    EXPECT_EQ(s.focused, 2u);
    s.beginPan();
    s.pan(-50, screen);
    EXPECT_EQ(s.endPan(0, screen), 1u);
    s.beginPan();
    s.pan(50, screen);
    EXPECT_EQ(s.endPan(-1000, screen), 2u) << "the throw does not count here";
}

TEST(StripKeptHome, OnlyWithANeighbourOnThatSide)
{
    const Rect s(0, 0, 1000, 800);
    const Rect right(1002, 10, 400, 300);
    const Rect left(-402, 10, 400, 300);
    EXPECT_EQ(Strip::keptHome(right, s, false, false), right);
    EXPECT_EQ(Strip::keptHome(left, s, false, false), left);
    EXPECT_EQ(Strip::keptHome(right, s, false, true), Rect(600, 10, 400, 300));
    EXPECT_EQ(Strip::keptHome(left, s, true, false), Rect(0, 10, 400, 300));
    EXPECT_EQ(Strip::keptHome(Rect(500, 0, 400, 300), s, true, true), Rect(500, 0, 400, 300));
}
