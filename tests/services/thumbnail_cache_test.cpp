#include "app/services/thumbnail_cache.h"
#include "services/desktop_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <map>
#include <set>

using namespace kavelo;
using kavelo::testing::DesktopTest;
using kavelo::testing::SimWorld;

namespace {

Image picture(int width, int height)
{
    Image image{.width = width, .height = height};
    image.rgba.assign(std::size_t(width) * height * 4, 200);
    return image;
}

constexpr auto overview = ThumbnailCache::Panel::overview;
constexpr auto switcher = ThumbnailCache::Panel::switcher;

std::vector<Thumbnails::Request> requests(const std::vector<WindowID>& ids, Size box = Size(200, 120))
{
    std::vector<Thumbnails::Request> out;
    for (WindowID id : ids)
        out.push_back({.id = id, .box = box});
    return out;
}

// The pictures a holder keeps when it takes each stored picture and lets go
// of each one the cache drops, as the switcher and the overview do.
struct Holder {
    explicit Holder(ThumbnailCache& cache)
        : listening(cache.dropped.connect([this](WindowID id) {
              ++drops;
              held.erase(id);
          }))
    {
    }
    std::map<WindowID, SharedImage> held;
    int drops = 0;
    Handle listening;
};

} // namespace

// Random showings, captures, closes and catalog reads: whatever happens,
// the cache stays within its budget, counts its bytes right, and a holder
// that follows `dropped` holds exactly what the cache holds.
RC_GTEST_PROP(ThumbnailCacheProperty, StaysWithinItsBudgetAndHoldersFollowIt, ())
{
    SimWorld world;
    const std::size_t budget = *rc::gen::inRange<std::size_t>(1, 400) * 1000;
    ThumbnailCache cache(world.sim.windowServer(), budget);
    Holder holder(cache);
    std::set<WindowID> shown;
    const int steps = *rc::gen::inRange(1, 150);
    for (int step = 0; step < steps; ++step) {
        switch (*rc::gen::inRange(0, 6)) {
        case 0:
        case 1: {
            const auto ids = *rc::gen::container<std::vector<WindowID>>(rc::gen::inRange<WindowID>(1, 30));
            std::vector<WindowID> unique;
            for (WindowID id : ids)
                if (std::find(unique.begin(), unique.end(), id) == unique.end())
                    unique.push_back(id);
            const auto answer = cache.show(requests(unique, Size(*rc::gen::inRange(1, 300), *rc::gen::inRange(1, 300))),
                                           *rc::gen::element(overview, switcher));
            RC_ASSERT(answer.size() == unique.size());
            shown.insert(unique.begin(), unique.end());
            break;
        }
        case 2:
        case 3: {
            const WindowID id = *rc::gen::inRange<WindowID>(1, 30);
            const int w = *rc::gen::inRange(0, 200), h = *rc::gen::inRange(1, 200);
            const SharedImage stored = cache.store(id, picture(w, h));
            if (stored)
                holder.held[id] = stored;
            RC_ASSERT(!stored || (shown.count(id) && w > 0));
            break;
        }
        case 4: cache.forget(*rc::gen::inRange<WindowID>(1, 30)); break;
        case 5: {
            std::unordered_set<WindowID> live;
            for (WindowID id = 1; id < 30; ++id)
                if (*rc::gen::inRange(0, 3))
                    live.insert(id);
            cache.keepOnly(live);
            std::erase_if(shown, [&](WindowID id) { return !live.count(id); });
            break;
        }
        }
        std::size_t bytes = 0;
        for (WindowID id = 1; id < 30; ++id) {
            const SharedImage found = cache.find(id);
            const auto it = holder.held.find(id);
            RC_ASSERT((it != holder.held.end()) == (found != nullptr));
            if (found) {
                RC_ASSERT(it->second == found);
                bytes += found->rgba.size();
            }
        }
        RC_ASSERT(cache.bytes() == bytes);
        RC_ASSERT(cache.bytes() <= cache.budget());
    }
}

TEST_F(DesktopTest, ThumbnailCacheLetsTheLeastRecentlyShownGoFirstThenTheLastOnScreen)
{
    // Room for three pictures of 100 × 100.
    ThumbnailCache cache(sim.windowServer(), 3 * 100 * 100 * 4);
    Holder holder(cache);
    cache.show(requests({1, 2}), overview);
    ASSERT_TRUE(cache.store(1, picture(100, 100)));
    ASSERT_TRUE(cache.store(2, picture(100, 100)));
    // A later opening shows 3 and 4 above 2: 1 was shown longest ago.
    cache.show(requests({3, 4, 2}), overview);
    ASSERT_TRUE(cache.store(3, picture(100, 100)));
    ASSERT_TRUE(cache.store(4, picture(100, 100)));
    EXPECT_EQ(cache.find(1), nullptr);
    EXPECT_EQ(holder.drops, 1);
    // Of the pictures shown together, the one lowest on screen goes.
    EXPECT_EQ(cache.pictureCount(), 3u);
    cache.show(requests({5, 3, 4, 2}), overview);
    ASSERT_TRUE(cache.store(5, picture(100, 100)));
    EXPECT_EQ(cache.find(2), nullptr);
    EXPECT_NE(cache.find(3), nullptr);
    // Nothing is made room for below what the panel shows first.
    cache.show(requests({5, 3, 4, 6}), overview);
    EXPECT_EQ(cache.store(6, picture(100, 100)), nullptr);
    // Nor for a picture bigger than the whole budget.
    EXPECT_EQ(cache.store(5, picture(200, 200)), nullptr);
    EXPECT_EQ(cache.find(5), nullptr);
    EXPECT_EQ(holder.held.count(5), 0u);
    // At twice the scale the budget holds four times the bytes.
    cache.setScale(2);
    EXPECT_NE(cache.store(5, picture(200, 200)), nullptr);
}

TEST_F(DesktopTest, ThumbnailCacheAsksForTheLargestCurrentBoxAndDropsAClosedWindowAtOnce)
{
    const auto a = app("com.example.a", "A");
    const WindowID one = window(a, "one", {0, 30, 400, 300});
    ThumbnailCache cache(sim.windowServer());
    EXPECT_EQ(cache.show(requests({one}, Size(160, 100)), switcher).front().box, Size(160, 100));
    // The overview's card is wider, the switcher's tile taller: the picture
    // is captured for both.
    EXPECT_EQ(cache.show(requests({one}, Size(300, 80)), overview).front().box, Size(300, 100));
    // More windows opened and the overview's cards shrank: the old size is
    // not kept, only the switcher's still counts.
    EXPECT_EQ(cache.show(requests({one}, Size(120, 60)), overview).front().box, Size(160, 100));
    EXPECT_EQ(cache.show(requests({one}, Size(100, 60)), switcher).front().box, Size(120, 60));
    ASSERT_TRUE(cache.store(one, picture(120, 90)));
    std::vector<WindowID> dropped;
    const Handle listening = cache.dropped.connect([&](WindowID id) { dropped.push_back(id); });
    sim.closeWindow(one);
    EXPECT_EQ(dropped, std::vector<WindowID>{one});
    EXPECT_EQ(cache.bytes(), 0u);
    EXPECT_EQ(cache.windowCount(), 0u);
    // A picture of a window no panel showed is not kept.
    EXPECT_EQ(cache.store(one, picture(10, 10)), nullptr);
}
