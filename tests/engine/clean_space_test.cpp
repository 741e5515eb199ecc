#include "app/engine/clean_space.h"
#include "core/screen_coordinates.h"

#include "engine/focus_mode_fakes.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <cmath>
#include <limits>
#include <map>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

// The timing curve worked out apart from the engine's solver: bisection on
// the curve's own parameter.
double referenceCurve(double x1, double y1, double x2, double y2, double time)
{
    const auto at = [](double a, double b, double s) {
        return 3 * (1 - s) * (1 - s) * s * a + 3 * (1 - s) * s * s * b + s * s * s;
    };
    double low = 0, high = 1;
    for (int i = 0; i < 200; ++i) {
        const double mid = (low + high) / 2;
        (at(x1, x2, mid) < time ? low : high) = mid;
    }
    return at(y1, y2, (low + high) / 2);
}

void expectNear(const Rect& got, const Rect& wanted, double tolerance = 1e-6)
{
    EXPECT_NEAR(got.origin.x, wanted.origin.x, tolerance) << got << " vs " << wanted;
    EXPECT_NEAR(got.origin.y, wanted.origin.y, tolerance) << got << " vs " << wanted;
    EXPECT_NEAR(got.size.width, wanted.size.width, tolerance) << got << " vs " << wanted;
    EXPECT_NEAR(got.size.height, wanted.size.height, tolerance) << got << " vs " << wanted;
}

struct CleanSpaceWorld : FocusWorld {
    CleanSpaceWorld()
    {
        clean.pauseArranging = [this](double seconds) { pauses.push_back(seconds); };
        sim.focusWindow(doc);
        clean.start();
    }

    // Turns the switch on and lets the check run once.
    void turnOn()
    {
        prefs.setCleanSpaceOn(true);
        tick(CleanSpace::tick);
    }
    double now() { return scheduler.clock().monotonic().count(); }
    // The frames curtains had when they were ordered out.
    std::vector<Rect> orderedOut;

    std::int32_t editor = app("com.example.editor", "Editor");
    WindowID doc = window(editor, "Doc", Rect(200, 150, 600, 400));
    WindowID notes = window(editor, "Notes", Rect(100, 100, 300, 300));
    std::int32_t viewer = app("com.example.viewer", "Viewer");
    WindowID picture = window(viewer, "Picture", Rect(700, 300, 500, 400));
    std::vector<double> pauses;
    CleanSpace clean{desktop, working, panels};
};

class CleanSpaceTest : public ::testing::Test, public CleanSpaceWorld {};

} // namespace

TEST_F(CleanSpaceTest, FillsTheUsableAreaAndClosesTheCurtainsInTheMiddleBehindTheWindow)
{
    ASSERT_TRUE(sim.setDisplayFrame(primary(), Rect(0, 0, 1512, 982)));
    sim.resetCounters();
    turnOn();
    ASSERT_TRUE(clean.active());
    EXPECT_EQ(clean.active()->id, doc);
    EXPECT_EQ(clean.active()->was, Rect(200, 150, 600, 400));
    // The visible frame under the 25-point menu bar, inset by the 10-point gap.
    EXPECT_EQ(frameOf(doc), Rect(10, 35, 1492, 937));
    EXPECT_GE(sim.counters(doc).raises, 1);
    EXPECT_EQ(pauses, std::vector<double>{CleanSpace::pause});
    EXPECT_TRUE(prefs.cleanSpaceOn());

    auto shown = panels.shownCurtains();
    ASSERT_EQ(shown.size(), 2u);
    FakeCurtain& left = *shown[0];
    FakeCurtain& right = *shown[1];
    EXPECT_EQ(left.below, doc);
    EXPECT_EQ(right.below, doc);
    // 1-point strips at their outer edges.
    EXPECT_EQ(left.frame, Rect(0, 0, 1, 982));
    EXPECT_EQ(right.frame, Rect(1511, 0, 1, 982));
    const double start = now();

    // Half-way in time, ease-out has them well past half-way.
    tick(0.16);
    const Rect leftTarget(0, 0, 756, 982);
    const Rect rightTarget(756, 0, 756, 982);
    for (auto [curtain, from, to] : {std::tuple{&left, Rect(0, 0, 1, 982), leftTarget},
                                     std::tuple{&right, Rect(1511, 0, 1, 982), rightTarget}}) {
        const auto [at, frame] = curtain->frames.back();
        EXPECT_LE(at - start, 0.16 + 1e-9);
        EXPECT_GT(at - start, 0.16 - Curtains::frameInterval);
        const double progress = referenceCurve(0, 0, 0.58, 1, (at - start) / 0.32);
        expectNear(frame, Curtains::interpolate(from, to, progress));
        EXPECT_GT(progress, 0.6);
        // Every step moves on, never back.
        for (std::size_t i = 1; i < curtain->frames.size(); ++i)
            EXPECT_GE(curtain->frames[i].second.width(), curtain->frames[i - 1].second.width());
    }

    // At 0.32 s exactly they meet.
    tick(0.16);
    EXPECT_EQ(left.frame, leftTarget);
    EXPECT_EQ(right.frame, rightTarget);
    EXPECT_NEAR(left.frames.back().first - start, 0.32, 1e-6);
    const std::size_t steps = left.frames.size();
    tick(1.0);
    EXPECT_EQ(left.frames.size(), steps) << "nothing moves once closed";
    EXPECT_EQ(frameOf(doc), Rect(10, 35, 1492, 937));
    EXPECT_EQ(pauses.size(), 1u);
}

TEST_F(CleanSpaceTest, AnOddWidthGivesTheRightCurtainTheExtraPoint)
{
    ASSERT_TRUE(sim.setDisplayFrame(primary(), Rect(0, 0, 1511, 982)));
    turnOn();
    tick(0.5);
    auto shown = panels.shownCurtains();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]->frame, Rect(0, 0, 755, 982));
    EXPECT_EQ(shown[1]->frame, Rect(755, 0, 756, 982));
}

TEST_F(CleanSpaceTest, CurtainsCoverTheWindowsOwnScreen)
{
    // A second screen above the primary: its curtains in window space.
    const auto upper = sim.addDisplay({.name = "Upper", .frame = Rect(100, 900, 1000, 600), .menuBar = 0});
    ASSERT_NE(upper, 0u);
    sim.modifyWindow(doc, [](SimWindow& w) { w.frame = Rect(300, -500, 400, 300); });
    turnOn();
    ASSERT_TRUE(clean.active());
    EXPECT_EQ(clean.screen()->id, upper);
    EXPECT_EQ(frameOf(doc), Rect(110, -590, 980, 580));
    tick(0.4);
    auto shown = panels.shownCurtains();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]->frame, Rect(100, -600, 500, 600));
    EXPECT_EQ(shown[1]->frame, Rect(600, -600, 500, 600));
}

TEST_F(CleanSpaceTest, AnotherWindowAnotherApplicationOrTheSwitchEndItWithTheOldFrameBack)
{
    const Rect original = frameOf(doc);
    const std::vector<std::pair<const char*, std::function<void()>>> endings{
        {"another window of the same application", [&] { sim.focusWindow(notes); }},
        {"another application", [&] { sim.focusWindow(picture); }},
        {"the switch turned off", [&] { prefs.setCleanSpaceOn(false); }},
        {"the window closed", [&] { sim.closeWindow(doc); }},
    };
    std::size_t round = 0;
    for (const auto& [what, end] : endings) {
        SCOPED_TRACE(what);
        sim.focusWindow(doc);
        turnOn();
        ASSERT_TRUE(clean.active());
        tick(0.5);
        ASSERT_EQ(panels.shownCurtains().size(), 2u);

        end();
        tick(CleanSpace::tick);
        EXPECT_FALSE(clean.active());
        EXPECT_FALSE(prefs.cleanSpaceOn());
        if (sim.window(doc)) {
            EXPECT_EQ(frameOf(doc), original);
        }
        ++round;
        EXPECT_EQ(pauses.size(), 2 * round);
        EXPECT_EQ(pauses.back(), 0.0) << "resumed once on exit";

        // The curtains open towards their outer edges, then go.
        ASSERT_EQ(clean.openingCount(), 1u);
        auto opening = panels.shownCurtains();
        ASSERT_EQ(opening.size(), 2u);
        tick(0.2);
        EXPECT_LT(opening[0]->frame.width(), 720);
        EXPECT_EQ(opening[0]->frame.minX(), 0);
        EXPECT_EQ(opening[1]->frame.maxX(), 1440);
        tick(0.2);
        EXPECT_EQ(clean.openingCount(), 0u);
        EXPECT_TRUE(panels.curtains.empty());
        tick(1);
        EXPECT_EQ(pauses.size(), 2 * round) << "nothing more once ended";
    }
}

TEST_F(CleanSpaceTest, TheCurtainsOpenEasingInToOnePointStripsAtTheirOuterEdges)
{
    turnOn();
    tick(0.5);
    prefs.setCleanSpaceOn(false);
    tick(CleanSpace::tick);
    ASSERT_EQ(clean.openingCount(), 1u);
    const double exit = now();
    tick(0.32 - 1e-4);
    EXPECT_EQ(panels.shownCurtains().size(), 2u) << "still opening";
    tick(1e-4);
    EXPECT_TRUE(panels.curtains.empty());

    // Ordered out exactly at the end, as the strips at the outer edges.
    ASSERT_EQ(panels.orderedOut.size(), 2u);
    EXPECT_NEAR(panels.orderedOut[0].first - exit, 0.32, 1e-6);
    EXPECT_EQ(panels.orderedOut[0].second, Rect(0, 0, 1, 900));
    EXPECT_EQ(panels.orderedOut[1].second, Rect(1439, 0, 1, 900));

    ASSERT_EQ(panels.retired.size(), 2u);
    const auto& right = panels.retired[1];
    std::vector<std::pair<double, Rect>> opening;
    std::copy_if(right.begin(), right.end(), std::back_inserter(opening),
                 [&](const auto& f) { return f.first > exit; });
    ASSERT_GE(opening.size(), 18u);
    for (const auto& [at, frame] : opening) {
        EXPECT_EQ(frame.maxX(), 1440) << "the outer edge stays";
        const double progress = referenceCurve(0.42, 0, 1, 1, (at - exit) / 0.32);
        if (&frame != &opening.back().second)
            expectNear(frame, Curtains::interpolate(Rect(720, 0, 720, 900), Rect(1439, 0, 1, 900), progress));
    }
    EXPECT_EQ(opening.back().second, Rect(1439, 0, 1, 900));
    // Ease-in: slow at first.
    EXPECT_GT(opening.front().second.width(), 715);
}

TEST_F(CleanSpaceTest, EndingWhileTheCurtainsStillCloseOpensThemFromWhereTheyAre)
{
    turnOn();
    tick(0.05);
    sim.focusWindow(picture);
    tick(CleanSpace::tick);
    ASSERT_FALSE(clean.active());
    tick(0.32);
    ASSERT_TRUE(panels.curtains.empty());
    ASSERT_EQ(panels.retired.size(), 2u);
    for (const auto& frames : panels.retired) {
        // Widths rise to a peak short of the middle, then only fall: no
        // jump to the closed frame on the way out.
        std::size_t peak = 0;
        for (std::size_t i = 0; i < frames.size(); ++i)
            if (frames[i].second.width() > frames[peak].second.width())
                peak = i;
        EXPECT_LT(frames[peak].second.width(), 700);
        for (std::size_t i = peak + 1; i < frames.size(); ++i)
            EXPECT_LE(frames[i].second.width(), frames[i - 1].second.width());
        EXPECT_EQ(frames.back().second.width(), 1);
    }
}

TEST_F(CleanSpaceTest, WhatCannotBeFilledFlipsTheSwitchBackOnTheSameTick)
{
    using World = CleanSpaceWorld;
    const std::vector<std::pair<const char*, std::function<void(World&)>>> cases{
        {"a full-screen window", [](World& w) { w.sim.modifyWindow(w.doc, [](SimWindow& s) { s.fullScreen = true; }); }},
        {"an unreadable frame",
         [](World& w) {
             w.sim.modifyWindow(w.doc, [](SimWindow& s) { s.frame.origin.x = std::numeric_limits<double>::quiet_NaN(); });
         }},
        {"no usable area", [](World& w) { w.prefs.setReservedEdges({{"left", 5000}}); }},
        {"no focused window", [](World& w) { w.sim.closeWindow(w.doc), w.sim.closeWindow(w.notes); }},
        {"an application that does not answer", [](World& w) { w.sim.setAppAnswers(w.editor, false); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        CleanSpaceWorld world;
        make(world);
        const auto before = world.sim.window(world.doc);
        world.turnOn();
        EXPECT_FALSE(world.prefs.cleanSpaceOn());
        EXPECT_FALSE(world.clean.active());
        EXPECT_TRUE(world.pauses.empty());
        EXPECT_EQ(world.panels.curtainsMade, 0);
        if (before) {
            EXPECT_EQ(world.sim.window(world.doc)->frame.size, before->frame.size);
        }
    }
}

TEST_F(CleanSpaceTest, WithThisProgramInFrontItActsOnTheApplicationBeforeIt)
{
    sim.workspace().activate(own());
    ASSERT_EQ(sim.frontmost(), own());
    turnOn();
    ASSERT_TRUE(clean.active());
    EXPECT_EQ(clean.active()->id, doc);
    tick(1);
    EXPECT_TRUE(clean.active()) << "this program in front does not end it";
}

TEST_F(CleanSpaceTest, WithOnlyThisProgramEverInFrontTheSwitchFlipsBack)
{
    SimWorld world;
    const auto a = world.app("com.example.a", "A");
    world.window(a, "A", Rect(0, 100, 400, 300));
    world.sim.workspace().activate(world.sim.workspace().ownPid());
    FakePanels panels(world.scheduler.clock());
    WorkingApp working(world.sim.workspace());
    CleanSpace clean(world.desktop, working, panels);
    clean.start();
    world.prefs.setCleanSpaceOn(true);
    world.scheduler.advance(CleanSpace::tick);
    EXPECT_FALSE(world.prefs.cleanSpaceOn());
    EXPECT_FALSE(clean.active());
}

TEST_F(CleanSpaceTest, QuittingRestoresTheFrameAndRemovesTheCurtainsAtOnce)
{
    turnOn();
    tick(0.1);
    ASSERT_EQ(panels.curtains.size(), 2u);
    clean.end();
    EXPECT_EQ(frameOf(doc), Rect(200, 150, 600, 400));
    EXPECT_TRUE(panels.curtains.empty());
    EXPECT_EQ(pauses, std::vector<double>{CleanSpace::pause}) << "arranging stays paused while quitting";
    clean.end();
    EXPECT_EQ(pauses.size(), 1u);
}

TEST_F(CleanSpaceTest, QuittingWhileCurtainsOpenRemovesThemToo)
{
    turnOn();
    sim.focusWindow(picture);
    tick(CleanSpace::tick);
    ASSERT_EQ(clean.openingCount(), 1u);
    clean.end();
    EXPECT_TRUE(panels.curtains.empty());
    EXPECT_EQ(frameOf(doc), Rect(200, 150, 600, 400));
}

TEST_F(CleanSpaceTest, ADisplayChangeDuringTheModeLeavesTheWindowAndThePauseAlone)
{
    turnOn();
    const Rect filled = frameOf(doc);
    const auto second = sim.addDisplay({.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    tick(1);
    sim.setDisplayFrame(second, Rect(1440, 100, 1280, 800));
    tick(1);
    sim.removeDisplay(second);
    tick(1);
    EXPECT_TRUE(clean.active());
    EXPECT_EQ(frameOf(doc), filled);
    EXPECT_EQ(pauses, std::vector<double>{CleanSpace::pause});
}

TEST_F(CleanSpaceTest, StartingTwiceKeepsOneTick)
{
    clean.start();
    EXPECT_TRUE(clean.isStarted());
    EXPECT_TRUE(working.isStarted());
    const std::size_t runs = scheduler.advance(1.0);
    EXPECT_EQ(runs, 10u);
}

TEST(CleanSpace, WithoutPauseArrangingSetNothingBreaks)
{
    FocusWorld world;
    const auto a = world.app("com.example.a", "A");
    const auto w = world.window(a, "A", Rect(50, 100, 400, 300));
    world.sim.focusWindow(w);
    CleanSpace clean(world.desktop, world.working, world.panels);
    clean.start();
    world.prefs.setCleanSpaceOn(true);
    world.tick(0.1);
    EXPECT_TRUE(clean.active());
    world.prefs.setCleanSpaceOn(false);
    world.tick(0.1);
    EXPECT_FALSE(clean.active());
    EXPECT_EQ(world.frameOf(w), Rect(50, 100, 400, 300));
}

// Random use: switching, focusing, closing, quitting, displays changing and
// time passing. After every step's check has run: the mode is on exactly
// while the switch is; its window alone is moved and stays where the mode
// put it; each pause is followed by one resume at most; the curtains are
// two per mode or opening group, in the screen and finite, the mode's stood
// below its window, and none is left over.
RC_GTEST_PROP(CleanSpaceProperty, RandomUseKeepsWindowsCurtainsAndPausesConsistent, ())
{
    CleanSpaceWorld world;
    const std::map<WindowID, Rect> original{{world.doc, world.frameOf(world.doc)},
                                            {world.notes, world.frameOf(world.notes)},
                                            {world.picture, world.frameOf(world.picture)}};
    std::optional<Rect> modeFrame;
    int unmatchedPauses = 0;
    std::size_t seenPauses = 0;
    const int steps = *rc::gen::inRange(1, 60);
    for (int step = 0; step < steps; ++step) {
        const auto op = *rc::gen::inRange(0, 10);
        switch (op) {
        case 0:
        case 1:
            world.prefs.setCleanSpaceOn(true);
            break;
        case 2:
            world.prefs.setCleanSpaceOn(false);
            break;
        case 3:
            world.sim.focusWindow(*rc::gen::element(world.doc, world.notes, world.picture));
            break;
        case 4:
            world.sim.workspace().activate(world.own());
            break;
        case 5:
            world.clean.end();
            unmatchedPauses = 0;   // quitting leaves arranging paused
            modeFrame.reset();
            break;
        case 6: {
            const auto displays = world.sim.displayList();
            if (displays.size() < 2)
                world.sim.addDisplay({.name = "Side", .frame = Rect(1440, 0, *rc::gen::inRange(800, 2000), 900)});
            else
                world.sim.removeDisplay(displays.back().id);
            break;
        }
        case 7: {
            // A full-screen window refuses moves, so the mode's own window is
            // left windowed: its frame could not come back otherwise.
            const WindowID id = *rc::gen::element(world.doc, world.picture);
            if (!world.clean.active() || world.clean.active()->id != id)
                world.sim.modifyWindow(id, [](SimWindow& w) { w.fullScreen = !w.fullScreen; });
            break;
        }
        default:
            break;
        }
        world.tick(*rc::gen::inRange(1, 50) / 100.0 + CleanSpace::tick);

        const auto& active = world.clean.active();
        RC_ASSERT(bool(active) == world.prefs.cleanSpaceOn());
        for (const auto& [id, frame] : original) {
            if (active && active->id == id) {
                if (!modeFrame)
                    modeFrame = world.frameOf(id);
                RC_ASSERT(world.frameOf(id) == *modeFrame);
            } else {
                RC_ASSERT(world.frameOf(id) == frame);
            }
        }
        if (!active)
            modeFrame.reset();

        for (; seenPauses < world.pauses.size(); ++seenPauses) {
            if (world.pauses[seenPauses] > 0) {
                RC_ASSERT(unmatchedPauses == 0);
                ++unmatchedPauses;
            } else {
                RC_ASSERT(unmatchedPauses == 1);
                --unmatchedPauses;
            }
        }
        RC_ASSERT(unmatchedPauses == (active ? 1 : 0));

        const std::size_t groups = (world.clean.curtains() ? 1 : 0) + world.clean.openingCount();
        RC_ASSERT(world.panels.curtains.size() == 2 * groups);
        RC_ASSERT(bool(world.clean.curtains()) == bool(active));
        for (const FakeCurtain* curtain : world.panels.curtains) {
            RC_ASSERT(curtain->shown);
            RC_ASSERT(curtain->frame.isFinite());
            RC_ASSERT(curtain->frame.width() >= 1);
        }
        if (active) {
            const Rect screen = ScreenCoordinates::flip(world.clean.screen()->frame,
                                                        world.sim.displayList().front().frame.height());
            for (const auto& curtain : world.clean.curtains()->curtains()) {
                RC_ASSERT(static_cast<FakeCurtain*>(curtain.panel.get())->below == std::optional(active->id));
                RC_ASSERT(screen.insetBy(-1e-9, -1e-9).contains(curtain.frame));
            }
        }
    }
}
