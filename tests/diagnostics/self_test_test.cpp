// The self-test on the simulated desktop: its lines and status with three,
// two and no test windows, minimized windows, the overlap rule, a workflow
// that cannot be stored, and random desktops where other programs' windows
// must never move.

#include "app/diagnostics/diagnostics_runners.h"
#include "app/diagnostics/self_test.h"
#include "shell/shell_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class SelfTestTest : public ShellTest {
protected:
    SelfTestTest() { xterm = app(SelfTest::testApp, "XTerm"); }

    // Three windows side by side, none touching.
    void threeWindows()
    {
        for (int i = 0; i < 3; ++i)
            window(xterm, "xterm " + std::to_string(i), Rect(40 + 420 * i, 80, 400, 300));
    }

    // Runs to the end; the status, or -1 when none came.
    int runToEnd()
    {
        int status = -1;
        runSelfTest(desktop, workflows, out, err, [&](int s) { status = s; });
        scheduler.advance(SelfTest::switchBound + 1);
        return status;
    }

    std::vector<std::string> printed() const { return lines(out.str()); }

    std::int32_t xterm = 0;
    std::ostringstream out;
    std::ostringstream err;
};

const std::vector<std::string> allPassed{
    "PASS three test windows found 3",
    "PASS tidy grid has no overlap ",
    "PASS tidy grid sees itself as untouched ",
    "PASS tidy grid undo ",
    "PASS tidy columns has no overlap ",
    "PASS tidy columns sees itself as untouched ",
    "PASS tidy columns undo ",
    "PASS tidy rows has no overlap ",
    "PASS tidy rows sees itself as untouched ",
    "PASS tidy rows undo ",
    "PASS tidy focus has no overlap ",
    "PASS tidy focus sees itself as untouched ",
    "PASS tidy focus undo ",
    "PASS tidy custom has no overlap ",
    "PASS tidy custom sees itself as untouched ",
    "PASS tidy custom undo ",
    "PASS workflow placed windows 3",
    "PASS workflow tidy on arrival ",
    "PASS workflow removed ",
    "ALL PASSED",
};

TEST_F(SelfTestTest, ThreeWindowsPassEveryCheckAndLeaveNoWorkflowBehind)
{
    threeWindows();
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_EQ(printed(), allPassed);
    EXPECT_EQ(err.str(), "");
    EXPECT_FALSE(workflows.store().load(SelfTest::workflowName));
    EXPECT_TRUE(workflows.store().named().empty());
}

TEST_F(SelfTestTest, AMinimizedWindowIsNotCountedAndNotMoved)
{
    threeWindows();
    const WindowID minimized = window(xterm, "minimized", Rect(900, 600, 300, 200), [](SimWindow& w) { w.minimized = true; });
    EXPECT_EQ(runToEnd(), 0);
    EXPECT_EQ(printed(), allPassed);
    EXPECT_EQ(frameOf(minimized), Rect(900, 600, 300, 200));
}

TEST_F(SelfTestTest, TwoWindowsFailTheCountAndThePlacementButRunEveryCheck)
{
    window(xterm, "a", Rect(40, 80, 400, 300));
    window(xterm, "b", Rect(500, 80, 400, 300));
    EXPECT_EQ(runToEnd(), 1);
    const auto got = printed();
    ASSERT_EQ(got.size(), 20u);
    EXPECT_EQ(got.front(), "FAIL three test windows found 2");
    EXPECT_EQ(got[16], "FAIL workflow placed windows 2");
    EXPECT_EQ(got.back(), "2 FAILED");
    for (std::size_t i = 1; i < got.size() - 1; ++i) {
        if (i != 16) {
            EXPECT_EQ(got[i].substr(0, 4), "PASS") << got[i];
        }
    }
}

TEST_F(SelfTestTest, ATidyThatTakesNoWindowPrintsRanAndSkipsItsUndo)
{
    // Without any test window no tidy returns a record: each layout prints
    // its overlap line and "ran", one line fewer than a full layout.
    window(app("org.other", "Other"), "other", Rect(40, 80, 400, 300));
    EXPECT_EQ(runToEnd(), 1);
    const auto got = printed();
    ASSERT_EQ(got.size(), 15u);
    EXPECT_EQ(got[0], "FAIL three test windows found 0");
    EXPECT_EQ(got[1], "PASS tidy grid has no overlap ");
    EXPECT_EQ(got[2], "FAIL tidy grid ran ");
    EXPECT_EQ(got[10], "FAIL tidy custom ran ");
    EXPECT_EQ(got[11], "FAIL workflow placed windows 0");
    EXPECT_EQ(got.back(), "7 FAILED");
}

TEST_F(SelfTestTest, AWorkflowThatCannotBeStoredEndsAtOnceWithNothingPlaced)
{
    threeWindows();
    // A file where the folder belongs: the store fails, whoever runs it.
    std::filesystem::create_directories(layouts().parent_path());
    std::ofstream(layouts()) << "not a folder";
    int status = -1;
    runSelfTest(desktop, workflows, out, err, [&](int s) { status = s; });
    EXPECT_EQ(status, 1) << "ended without waiting";
    const auto got = printed();
    ASSERT_EQ(got.size(), 20u);
    EXPECT_EQ(got[16], "FAIL workflow placed windows 0");
    EXPECT_EQ(got[18], "PASS workflow removed ");
    EXPECT_EQ(got.back(), "1 FAILED");
    EXPECT_NE(err.str().find("could not store"), std::string::npos) << err.str();
    EXPECT_TRUE(std::filesystem::is_regular_file(layouts()));
}

TEST_F(SelfTestTest, AWindowClosedAsTheSwitchBeginsIsWaitedForThenCounted)
{
    threeWindows();
    const WindowID closing = window(xterm, "closing", Rect(40, 500, 400, 200));
    workflows.willMoveWindows = [&] { sim.closeWindow(closing); };
    int status = -1;
    runSelfTest(desktop, workflows, out, err, [&](int s) { status = s; });
    scheduler.advance(Workflows::placementRetries * Workflows::retryDelay.count() - 0.1);
    EXPECT_EQ(status, -1) << "still retrying";
    scheduler.advance(0.2);
    EXPECT_EQ(status, 1);
    const auto got = printed();
    ASSERT_EQ(got.size(), 20u);
    EXPECT_EQ(got[0], "FAIL three test windows found 4");
    // Four found, three placed: the count the placement is held to.
    EXPECT_EQ(got[16], "PASS workflow placed windows 3");
    EXPECT_EQ(got.back(), "1 FAILED");
}

TEST_F(SelfTestTest, ATestEndedBeforeItsSwitchReportsHearsNothingLater)
{
    threeWindows();
    const WindowID closing = window(xterm, "closing", Rect(40, 500, 400, 200));
    workflows.willMoveWindows = [&] { sim.closeWindow(closing); };
    int calls = 0;
    {
        SelfTest test(desktop, workflows, out, err);
        test.run([&](int) { ++calls; });
        scheduler.advance(1);
        ASSERT_FALSE(test.finished());
    }
    scheduler.advance(SelfTest::switchBound + 1);
    EXPECT_EQ(calls, 0);
}

TEST(SelfTestOverlaps, TouchingOrShallowOverlapsAreNoOverlap)
{
    EXPECT_FALSE(SelfTest::overlaps({}));
    EXPECT_FALSE(SelfTest::overlaps({Rect(0, 0, 100, 100)}));
    EXPECT_FALSE(SelfTest::overlaps({Rect(0, 0, 100, 100), Rect(100, 0, 100, 100)})) << "touching";
    EXPECT_FALSE(SelfTest::overlaps({Rect(0, 0, 100, 100), Rect(96, 0, 100, 100)})) << "4 points";
    EXPECT_TRUE(SelfTest::overlaps({Rect(0, 0, 100, 100), Rect(95.5, 0, 100, 100)})) << "4.5 points";
    EXPECT_FALSE(SelfTest::overlaps({Rect(0, 0, 100, 100), Rect(50, 96, 100, 100)})) << "below, 4 points";
    EXPECT_TRUE(SelfTest::overlaps({Rect(0, 0, 100, 100), Rect(300, 0, 50, 50), Rect(20, 20, 10, 10)}))
        << "a window inside another, any pair";
}

// Any row of windows whose neighbours overlap by less than 4 points is no
// overlap, in any order; pushing one pair 4.5 points or more together is.
RC_GTEST_PROP(SelfTestOverlaps, ARowOfShallowOverlapsIsNoOverlapUntilOnePairGoesDeeper, ())
{
    const int count = *rc::gen::inRange(2, 7);
    const auto widths = *rc::gen::container<std::vector<int>>(count, rc::gen::inRange(10, 400));
    const auto gaps = *rc::gen::container<std::vector<int>>(count - 1, rc::gen::inRange(-39, 100));
    std::vector<Rect> frames;
    double x = *rc::gen::inRange(-500, 500);
    const double y = *rc::gen::inRange(-500, 500);
    for (int i = 0; i < count; ++i) {
        frames.push_back(Rect(x, y + (i % 2) * 3.5, widths[i], 300));
        if (i + 1 < count)
            x += widths[i] + gaps[i] / 10.0;
    }
    auto shuffled = frames;
    std::mt19937 random(*rc::gen::arbitrary<unsigned>());
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    RC_ASSERT_FALSE(SelfTest::overlaps(shuffled));

    const int pair = *rc::gen::inRange(0, count - 1);
    const double depth = 4.5 + *rc::gen::inRange(0, 50) / 10.0;
    const double shift = frames[pair + 1].minX() - (frames[pair].maxX() - depth);
    for (int i = pair + 1; i < count; ++i)
        frames[i].origin.x -= shift;
    RC_ASSERT(SelfTest::overlaps(frames));
}

// Random desktops: the last line always agrees with the FAIL lines, the
// status with the last line, the workflow's columns tidy (of every
// program's windows) leaves no two visible windows overlapping, and no test
// workflow is left behind.
RC_GTEST_PROP(SelfTestDesktops, TheVerdictAgreesWithItsLinesAndTheWorkflowLeavesNoOverlap, ())
{
    struct World : ShellTest {
        void TestBody() override {}
        using ShellTest::workflows;
    } world;
    const std::int32_t xterm = world.app(SelfTest::testApp, "XTerm");
    const std::int32_t other = world.app("org.other", "Other");
    const int visible = *rc::gen::inRange(0, 5);
    const int minimized = *rc::gen::inRange(0, 2);
    const int others = *rc::gen::inRange(0, 3);
    const auto place = [] {
        return Rect(*rc::gen::inRange(0, 1200), *rc::gen::inRange(30, 700), *rc::gen::inRange(200, 700),
                    *rc::gen::inRange(150, 500));
    };
    std::vector<WindowID> shownTests;
    for (int i = 0; i < visible; ++i)
        shownTests.push_back(world.window(xterm, "t" + std::to_string(i), place()));
    for (int i = 0; i < minimized; ++i)
        world.window(xterm, "m" + std::to_string(i), place(), [](SimWindow& w) { w.minimized = true; });
    std::vector<WindowID> shown;
    for (int i = 0; i < others; ++i)
        shown.push_back(world.window(other, "o" + std::to_string(i), place()));

    std::ostringstream out, err;
    int status = -1;
    runSelfTest(world.desktop, world.workflows, out, err, [&](int s) { status = s; });
    world.scheduler.advance(SelfTest::switchBound + 1);

    const auto got = lines(out.str());
    RC_ASSERT(!got.empty());
    int fails = 0;
    for (std::size_t i = 0; i + 1 < got.size(); ++i) {
        RC_ASSERT(got[i].rfind("PASS ", 0) == 0 || got[i].rfind("FAIL ", 0) == 0);
        fails += got[i].rfind("FAIL ", 0) == 0;
    }
    RC_ASSERT(got.size() == (visible > 0 ? 20u : 15u));
    RC_ASSERT(got.front() == (visible == 3 ? "PASS" : "FAIL") + std::string(" three test windows found ") +
                                 std::to_string(visible));
    RC_ASSERT(got.back() == (fails == 0 ? std::string("ALL PASSED") : std::to_string(fails) + " FAILED"));
    RC_ASSERT(status == (fails == 0 ? 0 : 1));
    shown.insert(shown.end(), shownTests.begin(), shownTests.end());
    std::vector<Rect> frames;
    for (WindowID id : shown)
        frames.push_back(world.frameOf(id));
    RC_ASSERT_FALSE(SelfTest::overlaps(frames));
    RC_ASSERT(!world.workflows.store().load(SelfTest::workflowName));
}

} // namespace
