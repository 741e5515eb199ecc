// The sizes windows refuse to go below, learned after auto applications on
// the simulated desktop with windows that keep minimum sizes and defer their
// writes; and the windows parked on the left that cannot shrink to their
// parked frame.

#include "engine/engine_fixture.h"

#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {


class EngineLearning : public EngineTest {
protected:
    void SetUp() override
    {
        start(ArrangeMode::auto_);
        ASSERT_TRUE(settle());
    }

    // A window that cannot be smaller than `min`.
    WindowID stubborn(std::int32_t pid, std::string title, Size min, Rect frame = Rect(100, 100, 500, 400),
                      double deferSeconds = 0)
    {
        return window(pid, std::move(title), frame, [&](SimWindow& w) {
            w.minSize = min;
            w.defersWrites = deferSeconds > 0;
            w.deferSeconds = deferSeconds;
        });
    }

    // The pass (and the auto application) now, not at the next poll.
    void applied() { engine->tick(); }

    std::optional<Size> learned(const std::string& bundle) const
    {
        const auto& sizes = prefs.minimumSizes();
        auto it = sizes.find(bundle);
        return it == sizes.end() ? std::nullopt : std::optional(it->second);
    }

    const std::vector<WindowID>& order() { return engine->autoOrder().at(keyOf(primary)); }

    // Two windows of an application learned at 800 points wide, really at
    // least `width`: one fits, the other waits. A slide parks the first on
    // the left, in a frame 800 wide whose right edge is 2 points left of
    // the area.
    void parkOnTheLeft(double width, double deferSeconds = 0)
    {
        prefs.setMinimumSizes({{"com.example.Wide", Size(800, 0)}});
        const auto pid = app("com.example.Wide", "Wide");
        stubborn(pid, "second", Size(width, 0));
        first = stubborn(pid, "first", Size(width, 0), Rect(100, 100, 500, 400), deferSeconds);
        applied();
        scheduler.advance(1.5);
        ASSERT_EQ(order().front(), first);
        ASSERT_TRUE(EngineProbe::slideAuto(*engine, keyOf(primary), true));
        ASSERT_EQ(engine->autoWaiting().at(keyOf(primary)).left, (std::vector<WindowID>{first}));
        edge = areaOf(primary).minX() - 2;
    }

    WindowID first = 0;
    double edge = 0;
};

TEST_F(EngineLearning, TwentyPointsOverFitsAndAnOversizeIsLearnedAtTheSecondCheck)
{
    // The tile is the whole area, 1420 wide: 1440 is 20 over, and fits.
    const WindowID fit = stubborn(app("com.example.Fit", "Fit"), "fit", Size(1440, 0));
    applied();
    scheduler.advance(3.0);
    EXPECT_FALSE(learned("com.example.Fit"));
    EXPECT_TRUE(EngineProbe::sizeSuspects(*engine).empty());
    EXPECT_EQ(EngineProbe::autoPlaced(*engine).at(fit), frameOf(fit)) << "a quiet check records where windows settled";
    sim.closeWindow(fit);
    ASSERT_TRUE(settle());

    const WindowID wide = stubborn(app("com.example.Wide", "Wide"), "wide", Size(1440.5, 0));
    applied();
    sim.resetCounters();
    scheduler.advance(ArrangeEngine::sizeCheckDelay - 0.01);
    EXPECT_TRUE(EngineProbe::sizeSuspects(*engine).empty());
    scheduler.advance(0.02);
    EXPECT_EQ(EngineProbe::sizeSuspects(*engine).at(wide), Size(1440.5, areaOf(primary).height()));
    EXPECT_GT(sim.counters(wide).sizeWrites, 0) << "put back into its tile once";
    scheduler.advance(ArrangeEngine::sizeCheckDelay - 0.02);
    EXPECT_FALSE(learned("com.example.Wide"));
    scheduler.advance(0.02);
    EXPECT_EQ(learned("com.example.Wide"), Size(1440.5, 0)) << "the height fitted and keeps the old value, none";

    // The layout cannot give it more than the display: seen again at the
    // same size, nothing grows and the window is left as it is.
    scheduler.advance(3.0);
    sim.resetCounters();
    scheduler.advance(10.0);
    EXPECT_EQ(total().writes, 0);
    EXPECT_FALSE(EngineProbe::sizeCheckPending(*engine));
    EXPECT_EQ(learned("com.example.Wide"), Size(1440.5, 0));
    EXPECT_EQ(EngineProbe::autoPlaced(*engine).at(wide), frameOf(wide));
}

TEST_F(EngineLearning, SizesCombineAcrossWindowsAndWithTheOldEntry)
{
    prefs.setMinimumSizes({{"com.example.Two", Size(700, 500)}});
    const auto two = app("com.example.Two", "Two");
    const WindowID narrow = stubborn(two, "too wide", Size(760, 0));
    const WindowID tall = stubborn(two, "too tall", Size(0, 880));
    applied();
    ASSERT_EQ(frameOf(narrow).width(), 760);
    ASSERT_EQ(frameOf(tall).height(), 880);
    scheduler.advance(2 * ArrangeEngine::sizeCheckDelay + 0.01);
    EXPECT_EQ(learned("com.example.Two"), Size(760, 880));
    // Laid out again with it: the two no longer fit side by side.
    EXPECT_EQ(engine->autoShown().at(keyOf(primary)).size(), 1u);
}

TEST_F(EngineLearning, AWindowThatShrinksWhenPutBackIsForgotten)
{
    // Its writes land a second late: the first check still sees it large.
    const WindowID slow = stubborn(app("com.example.Slow", "Slow"), "slow", Size(), Rect(10, 35, 1500, 855), 1.0);
    applied();
    scheduler.advance(ArrangeEngine::sizeCheckDelay + 0.01);
    EXPECT_TRUE(EngineProbe::sizeSuspects(*engine).count(slow));
    scheduler.advance(ArrangeEngine::sizeCheckDelay);
    EXPECT_EQ(frameOf(slow), areaOf(primary));
    EXPECT_TRUE(EngineProbe::sizeSuspects(*engine).empty());
    scheduler.advance(3.0);
    EXPECT_FALSE(learned("com.example.Slow"));
}

TEST_F(EngineLearning, AWindowDraggedOutOfItsTileIsLeftAlone)
{
    const WindowID big = stubborn(app("com.example.Big", "Big"), "big", Size(900, 0));
    open(app("com.example.Notes", "Notes"), "small");
    applied();
    ASSERT_EQ(order().back(), big);
    const Rect dragged(-200, 100, 900, 400);
    sim.modifyWindow(big, [&](SimWindow& w) { w.frame = dragged; });
    sim.resetCounters();
    scheduler.advance(3.0);
    EXPECT_EQ(sim.counters(big).writes, 0);
    EXPECT_EQ(frameOf(big), dragged);
    EXPECT_FALSE(learned("com.example.Big"));
}

// ---------------------------------------------------------------- parked on the left

TEST_F(EngineLearning, AWindowTooWideForItsParkedFrameIsPushedOutAtOnce)
{
    ASSERT_NO_FATAL_FAILURE(parkOnTheLeft(1000));
    EXPECT_EQ(frameOf(first).maxX(), edge + 200) << "200 points reach into the screen";
    scheduler.runPending();
    EXPECT_EQ(frameOf(first).maxX(), edge);
    EXPECT_EQ(frameOf(first).minY(), areaOf(primary).minY());
}

TEST_F(EngineLearning, ALateWindowIsPushedOutAgainAfterSixTenths)
{
    // The block at once moves it from where it stood before its writes
    // landed; the one at 0.6 s sees where it really went.
    ASSERT_NO_FATAL_FAILURE(parkOnTheLeft(1000, 0.3));
    scheduler.advance(0.5);
    EXPECT_NE(frameOf(first).maxX(), edge);
    scheduler.advance(0.5);
    EXPECT_EQ(frameOf(first).maxX(), edge);
}

TEST_F(EngineLearning, AWindowWithinTwoPointsIsLeftAlone)
{
    ASSERT_NO_FATAL_FAILURE(parkOnTheLeft(801.5));
    sim.resetCounters();
    scheduler.advance(1.0);
    EXPECT_EQ(sim.counters(first).positionWrites, 0);
    EXPECT_EQ(frameOf(first).maxX(), edge + 1.5);
}

TEST_F(EngineLearning, AWindowSlidBackBeforeTheSecondBlockKeepsItsTile)
{
    ASSERT_NO_FATAL_FAILURE(parkOnTheLeft(1000, 0.3));
    scheduler.advance(0.2);
    ASSERT_TRUE(EngineProbe::slideAuto(*engine, keyOf(primary), false));
    scheduler.advance(1.0);
    EXPECT_EQ(frameOf(first).origin, areaOf(primary).origin);
    EXPECT_GE(frameOf(first).width(), 1000);
}

} // namespace
} // namespace kavelo::testing
