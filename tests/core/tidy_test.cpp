#include "core/drag_swap.h"
#include "core/tidy.h"
#include "core/tidy_memory.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>

using namespace kavelo;

namespace {

void expectRect(const Rect& actual, double x, double y, double w, double h, double eps = 0.01)
{
    EXPECT_NEAR(actual.origin.x, x, eps) << actual;
    EXPECT_NEAR(actual.origin.y, y, eps) << actual;
    EXPECT_NEAR(actual.size.width, w, eps) << actual;
    EXPECT_NEAR(actual.size.height, h, eps) << actual;
}

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

} // namespace

TEST(TidyFrames, NoTilesAndOneTile)
{
    const Rect r(10, 20, 1000, 800);
    for (TidyLayout l : allTidyLayouts) {
        EXPECT_TRUE(Tidy::frames(l, 0, r, 10, 0).empty());
        EXPECT_TRUE(Tidy::frames(l, -3, r, 10, 0).empty());
        EXPECT_EQ(Tidy::frames(l, 1, r, 10, 0.5), std::vector<Rect>{r});
    }
}

TEST(TidyFrames, ColumnsShareTheWidth)
{
    const Rect r(0, 0, 1000, 800);
    const auto even = Tidy::frames(TidyLayout::columns, 3, r, 10, 0);
    ASSERT_EQ(even.size(), 3u);
    expectRect(even[0], 0, 0, 326.67, 800);
    expectRect(even[1], 336.67, 0, 326.67, 800);
    expectRect(even[2], 673.33, 0, 326.67, 800);

    const auto shared = Tidy::frames(TidyLayout::columns, 3, r, 10, 0.5);
    EXPECT_EQ(shared, (std::vector<Rect>{{0, 0, 490, 800}, {500, 0, 245, 800}, {755, 0, 245, 800}}));
}

TEST(TidyFrames, RowsStackFromTheTopEvenOnPortraitScreens)
{
    const Rect r(100, 50, 600, 1000); // portrait: rows are not transposed
    const auto rows = Tidy::frames(TidyLayout::rows, 3, r, 10, 0.5);
    EXPECT_EQ(rows, (std::vector<Rect>{{100, 50, 600, 490}, {100, 550, 600, 245}, {100, 805, 600, 245}}));
}

TEST(TidyFrames, FocusKeepsTheMainTileLeftAndStacksTheRest)
{
    const auto tiles = Tidy::frames(TidyLayout::focus, 4, Rect(0, 0, 1440, 900), 10, 0);
    ASSERT_EQ(tiles.size(), 4u);
    expectRect(tiles[0], 0, 0, 886, 900);
    expectRect(tiles[1], 896, 0, 544, 293.33);
    expectRect(tiles[2], 896, 303.33, 544, 293.33);
    expectRect(tiles[3], 896, 606.67, 544, 293.33);
}

TEST(TidyFrames, FocusOnWideScreensUsesTwoColumns)
{
    const Rect wide(0, 0, 3440, 1440);
    const auto tiles = Tidy::frames(TidyLayout::focus, 4, wide, 10, 0.5);
    EXPECT_EQ(tiles, (std::vector<Rect>{{0, 0, 1299, 1440}, {1309, 0, 1299, 1440}, {2618, 0, 822, 715},
                                        {2618, 725, 822, 715}}));
    // Two tiles never take the wide form.
    const auto two = Tidy::frames(TidyLayout::focus, 2, wide, 10, 0);
    EXPECT_EQ(two[0], Rect(0, 0, std::floor(0.62 * 3430), 1440));
}

TEST(TidyFrames, RegressionWideFocusColumnsOnATinyAreaNeverGoNegative)
{
    // A gap wider than the area left the side columns at width -8.
    const auto tiles = Tidy::frames(TidyLayout::focus, 3, Rect(0, 0, 100, 40), 60, 0);
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(tiles, (std::vector<Rect>{{0, 0, 0, 40}, {60, 0, 0, 40}, {120, 0, 0, 40}}));
    // As the plain columns lay out the same three tiles.
    EXPECT_EQ(tiles, Tidy::frames(TidyLayout::columns, 3, Rect(0, 0, 100, 40), 60, 0));
}

TEST(TidyFrames, PortraitGridAndFocusAreTransposed)
{
    const auto grid = Tidy::frames(TidyLayout::grid, 3, Rect(0, 0, 900, 1600), 10, 0);
    EXPECT_EQ(grid, (std::vector<Rect>{{0, 0, 445, 795}, {0, 805, 445, 795}, {455, 0, 445, 1600}}));
    EXPECT_EQ(Tidy::frames(TidyLayout::custom, 3, Rect(0, 0, 900, 1600), 10, 0), grid);

    const auto focus = Tidy::frames(TidyLayout::focus, 3, Rect(0, 0, 900, 1600), 10, 0);
    expectRect(focus[0], 0, 0, 900, std::floor(0.62 * 1590)); // main tile on top
    EXPECT_DOUBLE_EQ(focus[1].minY(), focus[0].maxY() + 10);
}

TEST(TidyFrames, GridRowsAndShares)
{
    auto rowsOf = [](int n) {
        std::vector<int> rows;
        double top = -1;
        for (const Rect& t : Tidy::frames(TidyLayout::grid, n, Rect(0, 0, 1600, 900), 10, 0)) {
            if (t.minY() != top)
                rows.push_back(0), top = t.minY();
            ++rows.back();
        }
        return rows;
    };
    EXPECT_EQ(rowsOf(2), (std::vector<int>{2}));
    EXPECT_EQ(rowsOf(3), (std::vector<int>{2, 1}));
    EXPECT_EQ(rowsOf(5), (std::vector<int>{3, 2}));
    EXPECT_EQ(rowsOf(7), (std::vector<int>{3, 3, 1}));
    EXPECT_EQ(rowsOf(10), (std::vector<int>{4, 4, 2}));

    // Seven columns are a grid; the share widens the first tile of every row
    // but leaves a row of one tile alone.
    const Rect r(0, 0, 1000, 800);
    EXPECT_EQ(Tidy::frames(TidyLayout::columns, 7, r, 10, 0.5), Tidy::grid(7, r, 10, 0.5));
    const auto shared = Tidy::grid(7, r, 10, 0.5);
    EXPECT_EQ(shared[0].width(), 490);
    EXPECT_EQ(shared[3].width(), 490);
    EXPECT_EQ(shared[6].width(), 1000);
}

TEST(TidyFrames, SharesThatLeaveNoRoomCountAsNone)
{
    const Rect r(0, 0, 1440, 900);
    for (TidyLayout l : allTidyLayouts)
        for (double bad : {1.0, 1.5, 40.0, notANumber, infinity, -infinity})
            EXPECT_EQ(Tidy::frames(l, 4, r, 10, bad), Tidy::frames(l, 4, r, 10, 0)) << rawValue(l) << ' ' << bad;
}

TEST(TidyFit, GrowsTilesToTheirMinimums)
{
    const std::vector<Rect> row{{0, 0, 400, 500}, {410, 0, 400, 500}, {820, 0, 400, 500}};
    EXPECT_EQ(Tidy::fit(row, {{0, 0}, {0, 0}, {0, 0}}, 10), row);
    EXPECT_EQ(Tidy::fit(row, {}, 10), row);
    EXPECT_EQ(Tidy::fit(row, {{600, 0}, {0, 0}, {0, 0}}, 10),
              (std::vector<Rect>{{0, 0, 600, 500}, {610, 0, 300, 500}, {920, 0, 300, 500}}));
    // Heights are fitted along columns.
    const std::vector<Rect> column{{0, 0, 500, 400}, {0, 410, 500, 400}};
    EXPECT_EQ(Tidy::fit(column, {{0, 0}, {0, 600}}, 10),
              (std::vector<Rect>{{0, 0, 500, 200}, {0, 210, 500, 600}}));
}

TEST(TidyFit, FailsWhenARowCannotHoldItsMinimums)
{
    const std::vector<Rect> row{{0, 0, 400, 500}, {410, 0, 400, 500}};
    EXPECT_EQ(Tidy::fit(row, {{400.5, 0}, {400, 0}}, 10).has_value(), true); // half a point of grace
    EXPECT_FALSE(Tidy::fit(row, {{401, 0}, {400, 0}}, 10));
    EXPECT_FALSE(Tidy::fit(row, {{0, 501}, {0, 0}}, 10)); // too tall for its column
    EXPECT_FALSE(Tidy::fit(row, {{infinity, 0}, {0, 0}}, 10));
    EXPECT_FALSE(Tidy::fit(row, {{notANumber, 0}, {0, 0}}, 10));
    EXPECT_FALSE(Tidy::fit(row, {{0, notANumber}, {0, 0}}, 10));
}

TEST(TidyFit, FocusTilesFitOnlyWhereEachIsWideEnough)
{
    const auto tiles = Tidy::frames(TidyLayout::focus, 3, Rect(0, 0, 1440, 900), 10, 0);
    // The stack tiles are rows of their own: a too-narrow one cannot borrow.
    EXPECT_FALSE(Tidy::fit(tiles, {{0, 0}, {600, 0}, {0, 0}}, 10));
    EXPECT_TRUE(Tidy::fit(tiles, {{0, 0}, {0, 440}, {0, 0}}, 10));
}

TEST(DragSwap, FindsTheDraggedWindowAndTheTileUnderTheDrop)
{
    const std::map<WindowID, Rect> tiles{{1, {0, 0, 500, 500}}, {2, {500, 0, 500, 500}}, {3, {0, 500, 1000, 400}}};
    // Window 1 dragged onto window 3's tile; window 2 untouched.
    const std::map<WindowID, Rect> actual{{1, {300, 560, 502, 498}}, {2, {500, 0, 500, 500}}, {3, {0, 500, 1000, 400}}};
    EXPECT_EQ(DragSwap::pair(tiles, {}, actual, {320, 600}), (DragSwap::Pair{1, 3}));
    // Dropped back on its own tile, or nowhere: no target.
    EXPECT_FALSE(DragSwap::pair(tiles, {}, actual, {100, 100}));
    EXPECT_FALSE(DragSwap::pair(tiles, {}, actual, {2000, 100}));
}

TEST(DragSwap, ResizesAndSmallMovesAreNoDrags)
{
    const std::map<WindowID, Rect> tiles{{1, {0, 0, 500, 500}}, {2, {500, 0, 500, 500}}};
    EXPECT_FALSE(DragSwap::pair(tiles, {}, {{1, {100, 100, 505, 500}}}, {600, 10})); // size changed by 5
    EXPECT_FALSE(DragSwap::pair(tiles, {}, {{1, {100, 100, 500, 496}}}, {600, 10})); // by exactly 4
    EXPECT_FALSE(DragSwap::pair(tiles, {}, {{1, {12, 0, 500, 500}}}, {600, 10}));    // 12 points is not a drag
    EXPECT_TRUE(DragSwap::pair(tiles, {}, {{1, {9, 9, 500, 500}}}, {600, 10}));      // 12.7 points is
    EXPECT_FALSE(DragSwap::pair(tiles, {}, {}, {600, 10}));                         // nothing read
}

TEST(DragSwap, ThePlacedFrameIsTheReference)
{
    const std::map<WindowID, Rect> tiles{{1, {0, 0, 500, 500}}, {2, {500, 0, 500, 500}}};
    // The window could not shrink to its tile; it was written 700 wide and is still there.
    const std::map<WindowID, Rect> placed{{1, {0, 0, 700, 500}}};
    EXPECT_FALSE(DragSwap::pair(tiles, placed, {{1, {0, 0, 700, 500}}}, {600, 10}));
    EXPECT_EQ(DragSwap::pair(tiles, placed, {{1, {200, 50, 700, 500}}}, {600, 10}), (DragSwap::Pair{1, 2}));
}

TEST(DragSwap, SeveralMovedWindowsPickTheFirstInLayoutOrder)
{
    const std::map<WindowID, Rect> tiles{{9, {0, 0, 300, 300}}, {4, {300, 0, 300, 300}}, {7, {600, 0, 300, 300}}};
    const std::map<WindowID, Rect> actual{{9, {50, 50, 300, 300}}, {7, {400, 50, 300, 300}}, {4, {300, 0, 300, 300}}};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(DragSwap::pair(tiles, {}, actual, {350, 10}), (DragSwap::Pair{7, 4}));
    EXPECT_EQ(DragSwap::pair(tiles, {}, actual, {10, 10}), (DragSwap::Pair{7, 9}));
}

TEST(TidyMemory, UntouchedOnlyWhileTheWindowsStandWhereTheTidyPutThem)
{
    const TidyMemory memory{.before = {{1, {5, 5, 100, 100}}, {2, {50, 50, 100, 100}}},
                            .after = {{1, {0, 0, 500, 500}}, {2, {500, 0, 500, 500}}}};
    EXPECT_FALSE(memory.isUntouched({}, 4));
    EXPECT_FALSE(memory.isUntouched({{3, {0, 0, 500, 500}}}, 4)); // only unknown windows
    EXPECT_TRUE(memory.isUntouched({{1, {2, -2, 502, 498}}, {2, {498, 2, 500, 500}}}, 2));
    EXPECT_TRUE(memory.isUntouched({{2, {500, 0, 500, 500}}}, 0)); // window 1 closed
    EXPECT_FALSE(memory.isUntouched({{1, {0, 0, 500, 500}}, {2, {500, 0, 505, 500}}}, 4));
    EXPECT_FALSE(memory.isUntouched({{1, {0, notANumber, 500, 500}}}, 4));
    EXPECT_EQ(memory, memory);
    EXPECT_NE(memory, TidyMemory{});
}

namespace {

bool finiteAndNonNegative(const Rect& r) { return r.isFinite() && r.size.width >= 0 && r.size.height >= 0; }

} // namespace

RC_GTEST_PROP(TidyProperties, TilesCoverTheRectangleWithoutOverlap, ())
{
    const TidyLayout layout = *rc::gen::elementOf(std::vector<TidyLayout>(allTidyLayouts.begin(), allTidyLayouts.end()));
    const int count = *rc::gen::inRange(0, 80);
    const double x = *rc::gen::inRange(-3000, 3000), y = *rc::gen::inRange(-2000, 2000);
    // Now and then a tiny area, or a gap wider than it (a hand-edited setting).
    const bool tiny = *rc::gen::inRange(0, 4) == 0;
    const double w = tiny ? *rc::gen::inRange(0, 300) : *rc::gen::inRange(200, 7000);
    const double h = tiny ? *rc::gen::inRange(0, 120) : *rc::gen::inRange(200, 4000);
    const double gap = *rc::gen::inRange(0, 3) == 0 ? *rc::gen::inRange(0, 600) : *rc::gen::inRange(0, 25);
    const double share = *rc::gen::elementOf(std::vector<double>{0, -1, 0.2, 0.5, 0.62, 2.0 / 3, 0.95, 1, 3, notANumber});
    const Rect r(x, y, w, h);

    const auto tiles = Tidy::frames(layout, count, r, gap, share);
    RC_ASSERT(tiles.size() == static_cast<size_t>(std::max(count, 0)));
    for (const Rect& t : tiles) {
        RC_ASSERT(finiteAndNonNegative(t));
        // However little room, no tile starts before the rectangle.
        RC_ASSERT(t.minX() >= r.minX() && t.minY() >= r.minY());
    }

    // While the gaps leave room, the tiles lie inside the rectangle and apart.
    bool roomy = true;
    for (const Rect& t : tiles)
        roomy = roomy && t.width() > 0 && t.height() > 0;
    if (!roomy)
        return;
    const Rect bounds = r.insetBy(-1e-6, -1e-6);
    for (size_t i = 0; i < tiles.size(); ++i) {
        RC_ASSERT(bounds.contains(tiles[i]));
        for (size_t j = i + 1; j < tiles.size(); ++j)
            RC_ASSERT(!tiles[i].insetBy(1e-6, 1e-6).intersects(tiles[j]));
    }
}

RC_GTEST_PROP(TidyProperties, FittedTilesReachTheirMinimums, ())
{
    const TidyLayout layout = *rc::gen::elementOf(std::vector<TidyLayout>(allTidyLayouts.begin(), allTidyLayouts.end()));
    const int count = *rc::gen::inRange(1, 13);
    const Rect r(0, 25, *rc::gen::inRange(800, 3500), *rc::gen::inRange(600, 1500));
    const double gap = *rc::gen::inRange(0, 21);
    const auto tiles = Tidy::frames(layout, count, r, gap, 0);
    std::vector<Size> mins;
    for (int i = 0; i < count; ++i)
        mins.emplace_back(*rc::gen::inRange(0, 2) ? *rc::gen::inRange(0, 900) : 0,
                          *rc::gen::inRange(0, 2) ? *rc::gen::inRange(0, 500) : 0);

    const auto fitted = Tidy::fit(tiles, mins, gap);
    if (!fitted)
        return;
    RC_ASSERT(fitted->size() == tiles.size());
    for (size_t i = 0; i < tiles.size(); ++i) {
        const Rect& f = (*fitted)[i];
        RC_ASSERT(finiteAndNonNegative(f));
        RC_ASSERT(f.width() >= mins[i].width - 0.5);
        RC_ASSERT(f.height() >= mins[i].height - 0.5);
    }
}
