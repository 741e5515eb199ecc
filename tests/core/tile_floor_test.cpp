// No layout Kavelo computes makes a window smaller than the tile floor, and
// windows put back land on a display.

#include "core/auto_layout.h"
#include "core/grid_plan.h"
#include "core/screen_guard.h"
#include "core/snap.h"
#include "core/strip.h"
#include "core/tidy.h"
#include "core/tile_floor.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <set>

using namespace kavelo;

namespace {

std::vector<Rect> tidied(TidyLayout layout, int count, const Rect& area, double gap, const GridPlan& plan)
{
    return TileFloor::frames(count, area, [&](int k) {
        return layout == TidyLayout::custom ? plan.frames(k, area, gap) : Tidy::frames(layout, k, area, gap, 0);
    });
}

std::size_t distinct(const std::vector<Rect>& frames)
{
    std::vector<Rect> seen;
    for (const Rect& f : frames)
        if (std::find(seen.begin(), seen.end(), f) == seen.end())
            seen.push_back(f);
    return seen.size();
}

// A frame, a shared one with the tab bar above it, at least the floor.
bool holds(const StripLayout& layout, WindowID id, const Size& floor)
{
    Rect f = layout.frames.at(id);
    for (const TabBar& bar : layout.tabs)
        if (std::find(bar.ids.begin(), bar.ids.end(), id) != bar.ids.end())
            f = f.united(bar.frame);
    return TileFloor::holds(f, floor);
}

} // namespace

// Forty windows on a 1920 × 1080 display less its gaps: as many rows or
// stacked tiles as keep the floor, the rest sharing the last one.
TEST(TileFloor, MoreWindowsThanFitShareTheLastTile)
{
    const Rect area(10, 10, 1898, 1040);
    EXPECT_EQ(TileFloor::of(area), Size(238, 130));
    struct Case {
        TidyLayout layout;
        std::size_t tiles;
    };
    for (const Case& c : {Case{TidyLayout::rows, 7}, Case{TidyLayout::focus, 8}, Case{TidyLayout::grid, 40},
                          Case{TidyLayout::columns, 40}}) {
        SCOPED_TRACE(std::string(rawValue(c.layout)));
        const auto frames = tidied(c.layout, 40, area, 10, GridPlan());
        ASSERT_EQ(frames.size(), 40u);
        EXPECT_EQ(distinct(frames), c.tiles);
        const auto tiles = Tidy::frames(c.layout, int(c.tiles), area, 10, 0);
        EXPECT_TRUE(std::equal(tiles.begin(), tiles.end(), frames.begin()));
        EXPECT_EQ(frames.back(), tiles.back());
    }
}

TEST(ScreenGuard, AWindowMostlyOffEveryDisplayIsBroughtOntoTheNearest)
{
    const std::vector<Rect> screens{Rect(0, 0, 1920, 1080), Rect(1920, 0, 1280, 720)};
    EXPECT_TRUE(ScreenGuard::isMostlyOff(Rect(-845, 0, 940, 1000), screens));
    EXPECT_FALSE(ScreenGuard::isMostlyOff(Rect(-400, 0, 940, 1000), screens));
    EXPECT_FALSE(ScreenGuard::isMostlyOff(Rect(1500, 0, 800, 600), screens)) << "shown across two displays";
    EXPECT_TRUE(ScreenGuard::isMostlyOff(Rect(2400, 800, 100, 100), screens));
    EXPECT_EQ(ScreenGuard::nearest(Rect(2400, 800, 100, 100), screens), 1u);
    EXPECT_EQ(ScreenGuard::nearest(Rect(-845, 0, 940, 1000), screens), 0u);
    EXPECT_EQ(ScreenGuard::inside(Rect(-845, 0, 940, 1000), screens[0]), Rect(0, 0, 940, 1000));
    EXPECT_EQ(ScreenGuard::inside(Rect(3000, 500, 1500, 100), screens[1]), Rect(1920, 500, 1280, 100));
}

// Every layout, for any number of windows on any display: no frame under
// the floor, and the tidy's inside the area.
RC_GTEST_PROP(TileFloorProperties, NoLayoutMakesAWindowSmallerThanTheFloor, ())
{
    const int count = *rc::gen::inRange(1, 120);
    const Rect area(*rc::gen::inRange(-3000, 3000), *rc::gen::inRange(-1000, 1000), *rc::gen::inRange(40, 5200),
                    *rc::gen::inRange(40, 3000));
    const double gap = *rc::gen::inRange(0, 40);
    const Size floor = TileFloor::of(area);
    const auto& presets = GridPlan::presets();
    const GridPlan plan = presets[*rc::gen::inRange<std::size_t>(0, presets.size())].plan;
    RC_LOG() << count << " windows in " << area << " gap " << gap << '\n';

    for (TidyLayout layout : allTidyLayouts) {
        const auto frames = tidied(layout, count, area, gap, plan);
        RC_ASSERT(frames.size() == std::size_t(count));
        for (const Rect& f : frames) {
            RC_ASSERT(TileFloor::holds(f, floor));
            RC_ASSERT(area.insetBy(-1e-6, -1e-6).contains(f));
        }
    }

    for (Snap snap : allSnaps)
        if (snap != Snap::center)
            RC_ASSERT(TileFloor::holds(frame(snap, area, Size(1, 1)), floor));

    std::vector<WindowID> ids;
    for (int i = 1; i <= count; ++i)
        ids.push_back(WindowID(i));

    Strip strip;
    strip.gap = gap;
    for (std::size_t i = 0; i < ids.size();) {
        Strip::Column column{.width = Strip::widths[*rc::gen::inRange<std::size_t>(0, Strip::widths.size())],
                             .tabbed = *rc::gen::inRange(0, 4) == 0};
        const std::size_t n = *rc::gen::inRange<std::size_t>(1, ids.size() - i + 1);
        for (std::size_t k = 0; k < n; ++k)
            column.weights[ids[i + k]] = *rc::gen::element(Strip::minWeight, 1.0, Strip::maxWeight);
        column.ids.assign(ids.begin() + std::ptrdiff_t(i), ids.begin() + std::ptrdiff_t(i + n));
        column.active = column.ids.front();
        strip.columns.push_back(std::move(column));
        i += n;
    }
    if (*rc::gen::arbitrary<bool>())
        strip.columns.front().pin = Strip::Pin::left;
    strip.focused = ids.back();
    const StripLayout laid = strip.layout(area);
    for (WindowID id : ids)
        RC_ASSERT(holds(laid, id, floor));

    for (TidyLayout layout : allTidyLayouts) {
        const int maxTiles = *rc::gen::inRange(0, 8);
        const StripLayout tiled = AutoLayout::layout(layout, ids, maxTiles, 0, area, gap, 0, {},
                                                     layout == TidyLayout::custom ? std::optional(plan) : std::nullopt);
        for (const auto& [id, f] : tiled.frames)
            RC_ASSERT(holds(tiled, id, floor));
    }
}
