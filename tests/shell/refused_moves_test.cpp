// Windows the window manager will not move are reported as such wherever
// a toast or a count follows a write: Tidy, snaps, Fill the screen, a
// workflow's placement, auto arrange and its undo. A window that keeps its
// size but takes its place went; nothing moved is nothing to undo.

#include "app/services/window_actions.h"
#include "shell/delegate_world.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class RefusedMovesTest : public DelegateTest {
protected:
    // Five windows of one program, the first `refusing` of them kept in
    // place by the window manager (a tiling one: i3).
    void populate(int refusing)
    {
        sim.setWindowManagerName("i3");
        const auto pid = app("org.example.Editor", "Editor");
        for (int i = 0; i < 5; ++i) {
            const WindowID id = window(pid, "w" + std::to_string(i), Rect(40 + 30 * i, 60 + 20 * i, 500, 400));
            sim.modifyWindow(id, [&](SimWindow& w) { keep(w, i < refusing); });
            windows.push_back(id);
        }
        sim.focusWindow(windows.front());
    }
    std::vector<Rect> frames() const
    {
        std::vector<Rect> out;
        for (WindowID id : windows)
            out.push_back(frameOf(id));
        return out;
    }
    std::string lastIcon() const { return views.toasts.shown.back().second; }
    // As a tiling manager keeps a window: neither moved nor resized.
    static void keep(SimWindow& w, bool kept)
    {
        w.refusesMoves = kept;
        w.sizeSettable = !kept;
    }

    std::vector<WindowID> windows;
};

TEST_F(RefusedMovesTest, ATidyNoWindowFollowedSaysSoAndLeavesNothingToUndo)
{
    populate(5);
    auto& d = launch();
    const auto before = frames();
    d.tidy();
    EXPECT_EQ(lastToast(), "i3 kept the windows in place");
    EXPECT_EQ(lastIcon(), "exclamationmark.triangle.fill");
    EXPECT_FALSE(d.tidyMemory());
    EXPECT_EQ(frames(), before);
    // The second press tidies again, it does not claim to put anything back.
    d.tidy();
    EXPECT_EQ(lastToast(), "i3 kept the windows in place");
}

TEST_F(RefusedMovesTest, APartialTidyCountsTheWindowsThatWentAndItsUndoPutsThemBack)
{
    populate(2);
    auto& d = launch();
    const auto before = frames();
    d.tidy();
    EXPECT_EQ(lastToast(), "3 of 5 windows moved");
    ASSERT_TRUE(d.tidyMemory());
    d.tidy();
    EXPECT_EQ(lastToast(), "Windows back where they were");
    EXPECT_EQ(frames(), before);
}

TEST_F(RefusedMovesTest, SnapsAndFillSayWhenTheWindowStaysAndAFixedSizeWindowStillGoes)
{
    populate(1);
    auto& d = launch();
    const Rect was = frameOf(windows[0]);
    d.run(Command::snapLeft);
    EXPECT_EQ(lastToast(), "i3 kept the window in place");
    EXPECT_EQ(frameOf(windows[0]), was);

    // Refused, Fill the screen keeps no fill to end and does not pause arranging.
    d.run(Command::fillScreen);
    EXPECT_FALSE(d.focusMemory());
    EXPECT_LE(d.arrange().pausedUntil(PauseReason::fillScreen), scheduler.clock().monotonic());
    EXPECT_EQ(lastToast(), "i3 kept the window in place");

    // A window that keeps its size but moves went where it was sent.
    sim.modifyWindow(windows[1], [](SimWindow& w) { w.sizeSettable = false; });
    sim.focusWindow(windows[1]);
    const std::size_t shown = views.toasts.shown.size();
    d.run(Command::snapLeft);
    EXPECT_NE(frameOf(windows[1]).origin, Rect(70, 80, 500, 400).origin);
    EXPECT_EQ(views.toasts.shown.size(), shown) << "no toast for a snap that went";
}

TEST_F(RefusedMovesTest, AWorkflowSaysHowManyOfItsWindowsWentAndCountsOnlyThose)
{
    populate(0);
    auto& d = launch();
    Workspace saved = WindowActions::capture(d.desktop(), "Writing", "d");
    for (auto& w : saved.windows)
        w.frame.origin.x += 200;
    d.workflows().store().save(saved);
    for (int i = 0; i < 4; ++i)
        sim.modifyWindow(windows[std::size_t(i)], [](SimWindow& w) { keep(w, true); });
    int placed = -1;
    d.workflows().switchTo("Writing", [&](int n) { placed = n; });
    scheduler.advance(Seconds(10));
    EXPECT_EQ(placed, 1);
    EXPECT_EQ(lastToast(), "1 of 5 windows moved");
}

TEST_F(RefusedMovesTest, AutoArrangeSaysOnceThatWindowsStayAndItsUndoClaimsNothing)
{
    populate(5);
    // Arranged windows are those whose size may be set: these say yes and
    // then keep their place.
    for (WindowID id : windows)
        sim.modifyWindow(id, [](SimWindow& w) { w.sizeSettable = true; });
    auto& d = launch();
    const auto count = [&] {
        return std::count_if(views.toasts.shown.begin(), views.toasts.shown.end(),
                             [](const auto& t) { return t.first == "i3 kept the windows in place"; });
    };
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    scheduler.advance(Seconds(1));
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(d.arrange().lastMoves(), (WindowActions::Moves{.sent = 5, .moved = 0}));
    // Pass after pass, once.
    for (int i = 0; i < 3; ++i) {
        d.arrange().lastSignature.clear();
        scheduler.advance(Seconds(1));
    }
    EXPECT_EQ(count(), 1);
    d.preferences().setDisplayLayouts({{sim.displayList().front().name, TidyLayout::columns}});
    scheduler.advance(Seconds(1));
    d.arrange().undo();
    EXPECT_EQ(lastToast(), "i3 kept the windows in place");
    // Once the windows go, a later refusal is told again.
    for (WindowID id : windows)
        sim.modifyWindow(id, [](SimWindow& w) { w.refusesMoves = false; });
    d.preferences().setDisplayLayouts({{sim.displayList().front().name, TidyLayout::rows}});
    scheduler.advance(Seconds(1));
    d.arrange().undo();
    EXPECT_EQ(lastToast(), "Arrangement undone");
    for (WindowID id : windows)
        sim.modifyWindow(id, [](SimWindow& w) { w.refusesMoves = true; });
    d.preferences().setDisplayLayouts({{sim.displayList().front().name, TidyLayout::focus}});
    scheduler.advance(Seconds(1));
    // The main window already stood where the new layout puts it.
    EXPECT_EQ(d.arrange().lastMoves(), (WindowActions::Moves{.sent = 5, .moved = 1}));
    EXPECT_EQ(lastToast(), "1 of 5 windows moved");
}

TEST_F(RefusedMovesTest, TheStripSaysOnceThatWindowsStay)
{
    populate(5);
    for (WindowID id : windows)
        sim.modifyWindow(id, [](SimWindow& w) { w.sizeSettable = true; });
    auto& d = launch();
    d.preferences().setArrangeMode(ArrangeMode::strip);
    scheduler.advance(Seconds(2));
    d.run(Command::focusRight);
    scheduler.advance(Seconds(2));
    // Passes that find the windows where they stayed send nothing; a new
    // window moves the others' columns, which stay again.
    for (int i = 0; i < 3; ++i) {
        d.arrange().lastSignature.clear();
        scheduler.advance(Seconds(1));
    }
    EXPECT_EQ(d.arrange().lastMoves().sent, 0);
    const WindowID late = window(sim.window(windows.front())->pid, "late", Rect(60, 80, 500, 400));
    sim.modifyWindow(late, [](SimWindow& w) { w.refusesMoves = true; });
    scheduler.advance(Seconds(2));
    EXPECT_EQ(std::count_if(views.toasts.shown.begin(), views.toasts.shown.end(),
                            [](const auto& t) { return t.first.find(" kept the window") != std::string::npos; }),
              1);
    EXPECT_EQ(d.arrange().lastMoves().moved, 0);
    EXPECT_GT(d.arrange().lastMoves().sent, 0);
}

} // namespace
