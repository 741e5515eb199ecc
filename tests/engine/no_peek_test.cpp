#include "app/engine/no_peek.h"

#include "engine/focus_mode_fakes.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

struct NoPeekWorld : FocusWorld {
    NoPeekWorld()
    {
        // A second screen to the right of the primary, lower down.
        side = sim.addDisplay({.name = "Side", .frame = Rect(1440, -200, 1280, 800), .menuBar = 0});
        noPeek.start();
    }

    void turnOn()
    {
        prefs.setNoPeekOn(true);
        tick(NoPeek::tick);
    }
    // The union of the shown bands of one screen and whether they cover it
    // all but `hole`, checked on a grid of points.
    ::testing::AssertionResult covers(const Rect& screen, const std::optional<Rect>& hole)
    {
        const auto frames = panels.shownBandFrames();
        for (double y = screen.minY() + 0.5; y < screen.maxY(); y += 7) {
            for (double x = screen.minX() + 0.5; x < screen.maxX(); x += 7) {
                const Point p(x, y);
                int under = 0;
                for (const Rect& f : frames)
                    under += f.contains(p);
                const bool inHole = hole && hole->contains(p);
                if (under != (inHole ? 0 : 1))
                    return ::testing::AssertionFailure() << "point " << p << " is under " << under << " bands";
            }
        }
        return ::testing::AssertionSuccess();
    }

    std::uint32_t side = 0;
    NoPeek noPeek{desktop, working, panels};
    const Rect primaryScreen{0, 0, 1440, 900};
    const Rect sideScreen{1440, 300, 1280, 800};   // flipped against the primary's 900
};

class NoPeekTest : public ::testing::Test, public NoPeekWorld {
protected:
    std::int32_t editor = app("com.example.editor", "Editor");
    WindowID doc = window(editor, "Doc", Rect(200, 150, 600, 400));
};

} // namespace

TEST_F(NoPeekTest, WithoutAFocusedWindowEveryScreenIsShadedWhole)
{
    turnOn();
    EXPECT_TRUE(noPeek.isShown());
    ASSERT_EQ(noPeek.shades().size(), 2u);
    EXPECT_EQ(panels.bandsMade, 8);
    // One band per screen covers it; the other three are empty and hidden.
    const auto frames = panels.shownBandFrames();
    EXPECT_EQ(frames, (std::vector<Rect>{primaryScreen, sideScreen}));
    EXPECT_TRUE(covers(primaryScreen, std::nullopt));
    EXPECT_TRUE(covers(sideScreen, std::nullopt));
    for (const FakeBand* band : panels.bands)
        EXPECT_EQ(band->darkness, 0.75);
}

TEST_F(NoPeekTest, TheFocusedScreenHasItsHoleTheOtherIsShadedWhole)
{
    sim.focusWindow(doc);
    turnOn();
    const Rect hole(200, 150, 600, 400);
    EXPECT_TRUE(covers(primaryScreen, hole));
    EXPECT_TRUE(covers(sideScreen, std::nullopt));
    const auto& primary = *noPeek.shades()[0];
    EXPECT_EQ(primary.bandFrames()[ShadeView::top], Rect(0, 0, 1440, 150));
    EXPECT_EQ(primary.bandFrames()[ShadeView::bottom], Rect(0, 550, 1440, 350));
    EXPECT_EQ(primary.bandFrames()[ShadeView::left], Rect(0, 150, 200, 400));
    EXPECT_EQ(primary.bandFrames()[ShadeView::right], Rect(800, 150, 640, 400));

    // The hole follows the window at the next tick.
    sim.modifyWindow(doc, [](SimWindow& w) { w.frame = Rect(1600, 400, 500, 300); });
    tick(NoPeek::tick);
    EXPECT_TRUE(covers(primaryScreen, std::nullopt));
    EXPECT_TRUE(covers(sideScreen, Rect(1600, 400, 500, 300)));
    EXPECT_EQ(noPeek.shades()[1]->bandFrames()[ShadeView::left], Rect(1440, 400, 160, 300));
}

TEST_F(NoPeekTest, AWindowAcrossTwoScreensIsClearOnBoth)
{
    sim.modifyWindow(doc, [](SimWindow& w) { w.frame = Rect(1200, 350, 500, 300); });
    sim.focusWindow(doc);
    turnOn();
    EXPECT_TRUE(covers(primaryScreen, Rect(1200, 350, 500, 300)));
    EXPECT_TRUE(covers(sideScreen, Rect(1200, 350, 500, 300)));
}

TEST_F(NoPeekTest, WhatGivesNoActiveFrameShadesEverything)
{
    sim.focusWindow(doc);
    const std::vector<std::pair<const char*, std::function<void(SimWindow&)>>> cases{
        {"minimized", [](SimWindow& w) { w.minimized = true; }},
        {"full screen", [](SimWindow& w) { w.fullScreen = true; }},
        {"40 points wide", [](SimWindow& w) { w.frame.size.width = 40; }},
        {"a frame off the number line", [](SimWindow& w) { w.frame.origin.x = std::numeric_limits<double>::infinity(); }},
    };
    turnOn();
    for (const auto& [what, change] : cases) {
        SCOPED_TRACE(what);
        const auto saved = *sim.window(doc);
        sim.modifyWindow(doc, change);
        sim.focusWindow(doc);
        tick(NoPeek::tick);
        EXPECT_TRUE(covers(primaryScreen, std::nullopt));
        sim.modifyWindow(doc, [&](SimWindow& w) { w = saved; });
        sim.focusWindow(doc);
        tick(NoPeek::tick);
        EXPECT_TRUE(covers(primaryScreen, Rect(200, 150, 600, 400)));
    }
}

TEST_F(NoPeekTest, ThisProgramsTitledKeyWindowGetsTheHole)
{
    sim.focusWindow(doc);
    panels.ownKeyWindow = Rect(300, 200, 800, 600);
    turnOn();
    EXPECT_TRUE(covers(primaryScreen, Rect(300, 200, 800, 600)));
}

TEST_F(NoPeekTest, DarknessAndBlurReachTheBandsAtTheNextTick)
{
    sim.focusWindow(doc);
    turnOn();
    const int looks = panels.bands.front()->lookSets;
    prefs.setNoPeekDarkness(0);
    tick(NoPeek::tick);
    for (const FakeBand* band : panels.bands)
        EXPECT_EQ(band->darkness, 0);
    EXPECT_TRUE(covers(primaryScreen, Rect(200, 150, 600, 400))) << "invisible but still present";
    prefs.setNoPeekDarkness(1);
    prefs.setNoPeekBlur(true);
    tick(NoPeek::tick);
    for (const FakeBand* band : panels.bands) {
        EXPECT_EQ(band->darkness, 1);
        EXPECT_TRUE(band->blur);
    }
    prefs.setNoPeekBlur(false);
    tick(NoPeek::tick);
    EXPECT_FALSE(panels.bands.front()->blur);
    EXPECT_EQ(panels.bands.front()->lookSets, looks + 3);
}

TEST_F(NoPeekTest, AStoredDarknessOutOfRangeIsClamped)
{
    EXPECT_EQ(NoPeek::darkness(1.5), 1);
    EXPECT_EQ(NoPeek::darkness(-0.2), 0);
    EXPECT_EQ(NoPeek::darkness(0.3), 0.3);
    EXPECT_EQ(NoPeek::darkness(std::numeric_limits<double>::quiet_NaN()), 0.75);
    EXPECT_EQ(NoPeek::darkness(std::numeric_limits<double>::infinity()), 0.75);
    EXPECT_EQ(NoPeek::darkness(-std::numeric_limits<double>::infinity()), 0.75);

    prefs.setNoPeekDarkness(7);
    turnOn();
    for (const FakeBand* band : panels.bands)
        EXPECT_EQ(band->darkness, 1);
}

TEST_F(NoPeekTest, AnUnchangedTickSetsNothing)
{
    sim.focusWindow(doc);
    turnOn();
    const int frames = panels.frameSets();
    int looks = 0, shows = 0;
    for (const FakeBand* band : panels.bands)
        looks += band->lookSets, shows += band->showSets;
    tick(1.0);
    EXPECT_EQ(panels.frameSets(), frames);
    int looksAfter = 0, showsAfter = 0;
    for (const FakeBand* band : panels.bands)
        looksAfter += band->lookSets, showsAfter += band->showSets;
    EXPECT_EQ(looksAfter, looks);
    EXPECT_EQ(showsAfter, shows);
}

TEST_F(NoPeekTest, ADisplayAddedOrRemovedRebuildsAtTheNextTickAMovedOneKeepsItsBands)
{
    turnOn();
    EXPECT_EQ(panels.bandsMade, 8);
    // Moved, not remade.
    sim.setDisplayFrame(side, Rect(-1280, 0, 1280, 800));
    tick(NoPeek::tick);
    EXPECT_EQ(panels.bandsMade, 8);
    EXPECT_TRUE(covers(Rect(-1280, 100, 1280, 800), std::nullopt));

    const auto third = sim.addDisplay({.name = "Third", .frame = Rect(1440, 0, 1024, 768), .menuBar = 0});
    tick(NoPeek::tick);
    EXPECT_EQ(panels.bandsMade, 20);
    EXPECT_EQ(panels.bands.size(), 12u);
    EXPECT_EQ(noPeek.shades().size(), 3u);
    EXPECT_TRUE(covers(Rect(1440, 132, 1024, 768), std::nullopt));

    sim.removeDisplay(third);
    tick(NoPeek::tick);
    EXPECT_EQ(panels.bandsMade, 28);
    EXPECT_EQ(panels.bands.size(), 8u) << "the old bands are gone";
    EXPECT_EQ(panels.shownBandFrames().size(), 2u);
}

TEST_F(NoPeekTest, TurningOffHidesTheBandsAndKeepsThemForNextTime)
{
    sim.focusWindow(doc);
    turnOn();
    prefs.setNoPeekOn(false);
    tick(NoPeek::tick);
    EXPECT_FALSE(noPeek.isShown());
    EXPECT_TRUE(panels.shownBandFrames().empty());
    EXPECT_EQ(panels.bands.size(), 8u);
    tick(1);
    turnOn();
    EXPECT_EQ(panels.bandsMade, 8);
    EXPECT_TRUE(covers(primaryScreen, Rect(200, 150, 600, 400)));
}

TEST_F(NoPeekTest, StartingTwiceKeepsOneTick)
{
    noPeek.start();
    EXPECT_TRUE(noPeek.isStarted());
    EXPECT_TRUE(working.isStarted());
    EXPECT_EQ(scheduler.advance(1.0), 30u);
}

TEST(ShadeViewBands, FollowTheTableAroundTheHole)
{
    const Size screen(1000, 800);
    auto b = ShadeView::bands(screen, Rect(100, 200, 300, 400));
    EXPECT_EQ(b[ShadeView::top], Rect(0, 0, 1000, 200));
    EXPECT_EQ(b[ShadeView::bottom], Rect(0, 600, 1000, 200));
    EXPECT_EQ(b[ShadeView::left], Rect(0, 200, 100, 400));
    EXPECT_EQ(b[ShadeView::right], Rect(400, 200, 600, 400));

    // Clipped to the screen.
    b = ShadeView::bands(screen, Rect(-100, -50, 300, 400));
    EXPECT_EQ(b[ShadeView::top], Rect(0, 0, 1000, 0));
    EXPECT_EQ(b[ShadeView::left], Rect(0, 0, 0, 350));
    EXPECT_EQ(b[ShadeView::right], Rect(200, 0, 800, 350));

    // Off the screen or none: the bottom band takes it all.
    for (const auto& hole : {std::optional<Rect>(), std::optional(Rect(2000, 0, 100, 100))}) {
        b = ShadeView::bands(screen, hole);
        EXPECT_EQ(b[ShadeView::bottom], Rect(0, 0, 1000, 800));
        EXPECT_TRUE(b[ShadeView::top].isEmpty());
        EXPECT_TRUE(b[ShadeView::left].isEmpty());
        EXPECT_TRUE(b[ShadeView::right].isEmpty());
    }
}

// Any hole on any screen: the shown bands never overlap, stay on the
// screen, and cover exactly the screen less the hole.
RC_GTEST_PROP(NoPeekProperty, BandsTileTheScreenAroundAnyHole, ())
{
    const Size screen(*rc::gen::inRange(1, 3000), *rc::gen::inRange(1, 2000));
    const Rect hole(*rc::gen::inRange(-3000, 4000), *rc::gen::inRange(-3000, 4000), *rc::gen::inRange(-500, 3000),
                    *rc::gen::inRange(-500, 3000));
    const auto bands = ShadeView::bands(screen, hole);
    double area = 0;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        RC_ASSERT(bands[i].isFinite());
        RC_ASSERT(bands[i].size.width >= 0);
        RC_ASSERT(bands[i].size.height >= 0);
        if (bands[i].isEmpty())
            continue;
        RC_ASSERT(Rect(0, 0, screen.width, screen.height).contains(bands[i]));
        for (std::size_t j = i + 1; j < bands.size(); ++j)
            RC_ASSERT(!bands[i].intersects(bands[j]));
        area += bands[i].area();
    }
    const Rect inside = hole.standardized().intersection(Rect(0, 0, screen.width, screen.height));
    RC_ASSERT(std::abs(area + inside.area() - screen.width * screen.height) < 1e-6);
}
