#include "core/switcher_map.h"

#include "core/core_builders.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

WindowEntry window(WindowID id, Rect frame, WindowState state = WindowState::visible)
{
    return WindowEntry{.id = id, .pid = 1, .appName = "App", .title = "w" + std::to_string(id), .frame = frame,
                       .state = state};
}

std::vector<WindowID> ids(const std::vector<MapTile>& tiles)
{
    std::vector<WindowID> out;
    for (const auto& t : tiles)
        out.push_back(t.window.id);
    return out;
}

} // namespace

TEST(SwitcherMap, TwoDisplaysOfDifferentSizes)
{
    const SwitcherMap map({}, {Rect(1000, 0, 500, 400), Rect(0, 0, 1000, 800)}, Size(300, 200), 10);
    const double s = 290.0 / 1500.0;
    ASSERT_EQ(map.screens.size(), 2u);
    EXPECT_EQ(map.screens[0].frame, Rect(0, 0, 193, 154));
    EXPECT_EQ(map.screens[1].frame.origin.x, 203);
    EXPECT_NEAR(map.screens[1].frame.origin.y, 38.6667, 1e-4);
    EXPECT_EQ(map.screens[1].frame.origin.y, s * 400 * 0.5);
    EXPECT_EQ(map.screens[1].frame.size, Size(96, 77));
    EXPECT_EQ(map.size, Size(299, 154));
}

TEST(SwitcherMap, ThreeDisplaysWithStraddlingWindows)
{
    const Rect left(-1280, 0, 1280, 1024), middle(0, 200, 1920, 1080), right(1920, 0, 2560, 1440);
    const std::vector<WindowEntry> windows{
        window(1, Rect(-400, 300, 1000, 600)),  // 400 × 600 on the left, 600 × 600 in the middle
        window(2, Rect(1520, 400, 800, 400)),   // exactly half on the middle and half on the right
        window(3, Rect(2000, 100, 1000, 800)),  // inside the right one
        window(4, Rect(100, 300, 500, 500), WindowState::minimized),
        window(5, Rect(2000, 1340, 500, 500)),  // 20 % on the right one, the rest below it
        window(6, Rect(-1280, 924, 400, 400)),  // exactly 25 % on the left one
        window(7, Rect(2100, 100, 300, 300), WindowState::hidden),
        window(8, Rect(2100, 100, 300, 300), WindowState::otherSpace),
        window(9, Rect(300, 300, 0, 200)),      // no area
        window(10, Rect(50, 250, 300, 300)),    // behind window 1
    };
    const SwitcherMap map(windows, {right, left, middle}, Size(600, 200), 8);
    const double s = 584.0 / 5760.0;

    ASSERT_EQ(map.screens.size(), 3u);
    EXPECT_EQ(map.screens[0].frame, Rect(0, s * (1440 - 1024) * 0.5, 129, 103));
    EXPECT_EQ(map.screens[1].frame, Rect(137, 18.25, 194, 109));
    EXPECT_EQ(map.screens[2].frame, Rect(339, 0, 259, 146));
    EXPECT_EQ(map.size, Size(598, 146));

    EXPECT_EQ(ids(map.screens[0].tiles), (std::vector<WindowID>{6}));
    EXPECT_EQ(ids(map.screens[1].tiles), (std::vector<WindowID>{10, 2, 1}));
    EXPECT_EQ(ids(map.screens[2].tiles), (std::vector<WindowID>{3}));
    EXPECT_EQ(ids(map.underneath), (std::vector<WindowID>{4, 5, 7, 8, 9}));

    // Tiles show only the part on their own display, not rounded.
    const Rect leftTop = map.screens[0].frame;
    EXPECT_EQ(map.screens[0].tiles[0].frame, Rect(leftTop.origin.x, leftTop.origin.y + s * 924, s * 400, s * 100));
    EXPECT_EQ(map.screens[1].tiles[2].frame, Rect(137, 18.25 + s * 100, s * 600, s * 600));
    EXPECT_EQ(map.screens[1].tiles[1].frame, Rect(137 + s * 1520, 18.25 + s * 200, s * 400, s * 400));
    EXPECT_EQ(map.screens[2].tiles[0].frame, Rect(339 + s * 80, s * 100, s * 1000, s * 800));
    EXPECT_EQ(map.screens[1].tiles[2].window, windows[0]);
}

TEST(SwitcherMap, QuarterRuleAndTies)
{
    const std::vector<Rect> screens{Rect(0, 0, 1000, 1000), Rect(1000, 0, 1000, 1000)};
    // 19.9 %, 25 % and a tie between the two displays.
    const SwitcherMap map({window(1, Rect(-801, 0, 1000, 100)), window(2, Rect(-750, 0, 1000, 100)),
                           window(3, Rect(900, 500, 200, 200))},
                          screens, Size(2010, 1000), 10);
    EXPECT_EQ(ids(map.underneath), (std::vector<WindowID>{1}));
    EXPECT_EQ(ids(map.screens[0].tiles), (std::vector<WindowID>{3, 2}));
    EXPECT_EQ(map.screens[0].tiles[1].frame, Rect(0, 0, 250, 100));
    EXPECT_TRUE(map.screens[1].tiles.empty());
}

TEST(SwitcherMap, NoDisplays)
{
    const SwitcherMap map({window(1, Rect(0, 0, 100, 100)), window(2, Rect(5, 5, 10, 10))}, {}, Size(300, 200.5),
                          10);
    EXPECT_TRUE(map.screens.empty());
    EXPECT_EQ(ids(map.underneath), (std::vector<WindowID>{1, 2}));
    EXPECT_EQ(map.size, Size(0, 200));
}

TEST(SwitcherMap, SmallDisplaysAreNotBlownUp)
{
    // A divisor of 1 or less leaves the room undivided.
    const SwitcherMap map({}, {Rect(0, 0, 0.5, 0.5)}, Size(30, 20), 4);
    EXPECT_EQ(map.screens[0].frame, Rect(0, 0, 10, 10));
    EXPECT_EQ(map.size, Size(10, 10));
}

TEST(SwitcherMap, RoomTooSmallForTheGapsGivesAnEmptyMapNotAMirroredOne)
{
    const SwitcherMap map({window(1, Rect(10, 10, 100, 100))}, {Rect(0, 0, 1000, 800), Rect(1000, 0, 1000, 800)},
                          Size(5, 200), 10);
    for (const MapScreen& screen : map.screens) {
        EXPECT_EQ(screen.frame.size, Size(0, 0));
        for (const MapTile& tile : screen.tiles)
            EXPECT_EQ(tile.frame.size, Size(0, 0));
    }
    EXPECT_EQ(map.screens[1].frame.origin.x, 10);
    EXPECT_EQ(map.size, Size(10, 0));
    EXPECT_EQ(ids(map.screens[0].tiles), (std::vector<WindowID>{1}));
}

namespace {

double overlap(const Rect& a, const Rect& b)
{
    const Rect i = a.intersection(b);
    return i.isNull() ? 0 : i.area();
}

} // namespace

RC_GTEST_PROP(SwitcherMapProperties, EveryWindowIsPlacedOnceWhereMostOfItIs, ())
{
    // Displays side by side with ragged tops, given in a shuffled order.
    const int count = *rc::gen::inRange(1, 5);
    std::vector<Rect> displays;
    double x = *rc::gen::inRange(-3000, 0);
    for (int i = 0; i < count; ++i) {
        const double w = *rc::gen::inRange(640, 3000), h = *rc::gen::inRange(480, 2000);
        displays.emplace_back(x, *rc::gen::inRange(-500, 500), w, h);
        x += w;
    }
    const auto shuffled = *rc::gen::container<std::vector<int>>(count, rc::gen::arbitrary<int>());
    std::vector<Rect> given = displays;
    for (int i = 0; i < count; ++i)
        std::swap(given[static_cast<size_t>(i)],
                  given[static_cast<size_t>(static_cast<unsigned>(shuffled[static_cast<size_t>(i)]) % count)]);

    const int windowCount = *rc::gen::inRange(0, 60);
    std::vector<WindowEntry> windows;
    for (int i = 0; i < windowCount; ++i) {
        const auto state = *rc::gen::element(WindowState::visible, WindowState::visible, WindowState::visible,
                                             WindowState::minimized, WindowState::hidden, WindowState::otherSpace);
        windows.push_back(window(static_cast<WindowID>(i + 1),
                                 Rect(*rc::gen::inRange(-4000, 8000), *rc::gen::inRange(-1000, 2500),
                                      *rc::gen::inRange(0, 2500), *rc::gen::inRange(0, 1500)),
                                 state));
    }
    const Size fitting(*rc::gen::inRange(50, 1600), *rc::gen::inRange(50, 600));
    const double gap = *rc::gen::inRange(0, 20);

    const SwitcherMap map(windows, given, fitting, gap);
    RC_ASSERT(map.screens.size() == displays.size());
    RC_ASSERT(map.size.width <= fitting.width);
    RC_ASSERT(map.size.height <= fitting.height);

    std::map<WindowID, size_t> placedOn;
    double expectedX = 0;
    for (size_t d = 0; d < map.screens.size(); ++d) {
        const MapScreen& screen = map.screens[d];
        RC_ASSERT(screen.frame.origin.x == expectedX);
        RC_ASSERT(screen.frame.origin.y >= 0);
        // The centred top edge is not rounded, the heights are.
        RC_ASSERT(screen.frame.maxY() < map.size.height + 1);
        expectedX = screen.frame.maxX() + gap;
        WindowID previous = 0;
        for (const MapTile& tile : screen.tiles) {
            RC_ASSERT(placedOn.emplace(tile.window.id, d).second);
            // Back to front: later tiles were earlier in the front-to-back input.
            RC_ASSERT(previous == 0 || tile.window.id < previous);
            previous = tile.window.id;
            // Unrounded tiles may pass the floored display by less than a point.
            RC_ASSERT(tile.frame.minX() >= screen.frame.minX() - 1e-9);
            RC_ASSERT(tile.frame.minY() >= screen.frame.minY() - 1e-9);
            RC_ASSERT(tile.frame.maxX() <= screen.frame.maxX() + 1);
            RC_ASSERT(tile.frame.maxY() <= screen.frame.maxY() + 1);
        }
    }
    RC_ASSERT(map.size.width == std::max(0.0, expectedX - gap));

    std::vector<WindowID> expectedUnderneath;
    for (const WindowEntry& w : windows) {
        double best = 0;
        size_t bestDisplay = 0;
        for (size_t d = 0; d < displays.size(); ++d)
            if (overlap(w.frame, displays[d]) > best) {
                best = overlap(w.frame, displays[d]);
                bestDisplay = d;
            }
        const bool placeable = w.state == WindowState::visible && w.frame.area() > 0 && best >= 0.25 * w.frame.area();
        if (placeable) {
            RC_ASSERT(placedOn.count(w.id) == 1u);
            RC_ASSERT(placedOn[w.id] == bestDisplay);
        } else {
            RC_ASSERT(placedOn.count(w.id) == 0u);
            expectedUnderneath.push_back(w.id);
        }
    }
    RC_ASSERT(ids(map.underneath) == expectedUnderneath);
}
