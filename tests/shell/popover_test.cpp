// The status item's popover through the delegate: opening and closing with
// the click monitor, clicks elsewhere, on the popover, on the icon and on
// our own windows, its place by the icon, and the desktop without a tray.

#include "shell/delegate_world.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class PopoverTest : public DelegateTest {
protected:
    // A press of the left button at a top-left point, as the user makes it.
    void clickAt(Point topLeft)
    {
        sim.movePointer(topLeft);
        sim.pressButton(0);
        sim.releaseButton(0);
        scheduler.runPending();
    }
};

TEST_F(PopoverTest, TwoTogglesOpenAndCloseItWithItsClickMonitor)
{
    auto& d = launch();
    ASSERT_TRUE(views.item);
    views.item->clicked();
    ASSERT_TRUE(views.popover);
    EXPECT_TRUE(d.popover().isOpen());
    EXPECT_TRUE(d.popover().isWatchingClicks());
    EXPECT_TRUE(views.popover->panel.has_value()) << "a panel at each opening";

    views.item->clicked();
    EXPECT_FALSE(d.popover().isOpen());
    EXPECT_FALSE(d.popover().isWatchingClicks());

    views.item->clicked();
    EXPECT_EQ(views.popover->opens, 2) << "a new panel the second time";
}

TEST_F(PopoverTest, AClickElsewhereClosesItOneInsideDoesNot)
{
    auto& d = launch();
    views.item->clicked();
    const Rect frame = *views.popover->frame();
    clickAt(frame.center());
    EXPECT_TRUE(d.popover().isOpen());
    clickAt(views.item->at->center());
    EXPECT_TRUE(d.popover().isOpen()) << "the icon's own click goes through the tray";
    clickAt(Point(50, 600));
    EXPECT_FALSE(d.popover().isOpen());
    EXPECT_FALSE(d.popover().isWatchingClicks());
}

TEST_F(PopoverTest, AClickOnOurOwnWindowKeepsItOpen)
{
    auto& d = launch();
    sim.addWindow(SimWindow{.pid = sim.workspace().ownPid(), .title = "Kavelo Settings",
                            .frame = Rect(100, 300, 600, 400)});
    views.item->clicked();
    clickAt(Point(200, 500));
    EXPECT_TRUE(d.popover().isOpen());
}

TEST_F(PopoverTest, ItClosingByItselfEndsTheClickMonitor)
{
    auto& d = launch();
    views.item->clicked();
    views.popover->open_ = false;
    views.popover->closed();
    EXPECT_FALSE(d.popover().isWatchingClicks());
}

TEST_F(PopoverTest, ItStandsUnderTheIconInsideTheVisibleFrame)
{
    launch();
    views.item->clicked();
    const Rect icon = *views.item->at;
    const Rect frame = *views.popover->frame();
    EXPECT_EQ(frame.minY(), icon.maxY() + PopoverPlacement::gap);
    const Rect visible(0, 25, 1440, 875);
    EXPECT_TRUE(visible.contains(frame)) << "pushed left from the screen's right edge";
}

TEST_F(PopoverTest, PlacementAboveAnIconAtTheBottomAndClampedToTheScreen)
{
    const std::vector<Rect> frames{Rect(0, 0, 1440, 900)};
    const std::vector<Rect> visible{Rect(0, 0, 1440, 866)};
    const Rect low(700, 870, 24, 24);
    const Rect above = PopoverPlacement::frame(Size(320, 400), low, visible, frames);
    EXPECT_EQ(above.maxY(), low.minY() - PopoverPlacement::gap);
    EXPECT_DOUBLE_EQ(above.midX(), low.midX());
    const Rect corner = PopoverPlacement::frame(Size(320, 400), Rect(0, 0, 10, 10), visible, frames);
    EXPECT_EQ(corner.minX(), 0);
    const Rect huge = PopoverPlacement::frame(Size(320, 2000), Rect(700, 0, 24, 24), visible, frames);
    EXPECT_EQ(huge.minY(), 0) << "taller than the room: its top stays in view";

    // An icon whose centre falls on the far edge of the right-hand screen
    // (one at twice the scale beside one at 1) opens on that screen, not on
    // the first.
    const std::vector<Rect> two{Rect(0, 0, 1920, 2160), Rect(1920, 0, 960, 1080)};
    const Rect edge = PopoverPlacement::frame(Size(320, 472), Rect(2869, 1, 22, 22), two, two);
    EXPECT_EQ(edge, Rect(2560, 1 + 22 + PopoverPlacement::gap, 320, 472));
}

TEST_F(PopoverTest, WithoutATrayTheItemWaitsAndReopenUsesThePointer)
{
    views.hasTray = false;
    auto& d = launch();
    ASSERT_NE(d.item(), nullptr) << "made all the same, for a tray that starts later";
    EXPECT_FALSE(d.item()->inTray());
    EXPECT_FALSE(d.item()->geometry());
    sim.movePointer(Point(600, 400));
    d.reopen();
    ASSERT_TRUE(views.popover);
    EXPECT_TRUE(d.popover().isOpen());
    EXPECT_EQ(views.popover->frame()->minY(), 400 + PopoverPlacement::gap);
    d.reopen();
    EXPECT_FALSE(d.popover().isOpen());
}

TEST_F(PopoverTest, DeletingAWorkflowLeavesItOpenOtherActionsCloseIt)
{
    auto& d = launch();
    d.workflows().store().save(Workspace{.name = "Deep work", .displays = "d"});
    views.item->clicked();
    auto& panel = *views.popover->panel;
    panel.deleteWorkflow("Deep work");
    EXPECT_TRUE(d.popover().isOpen());
    EXPECT_TRUE(d.workflows().items().empty());
    panel.settings();
    EXPECT_FALSE(d.popover().isOpen());
    ASSERT_TRUE(views.windows);
    EXPECT_EQ(views.windows->tabs, std::vector<SettingsTab>{SettingsTab::general});
}

TEST_F(PopoverTest, QuitFromThePanelEndsTheProgramCleanly)
{
    auto& d = launch();
    views.item->clicked();
    views.popover->panel->quit();
    EXPECT_EQ(exits, std::vector<int>{0});
    EXPECT_TRUE(d.hasTerminated());
    EXPECT_FALSE(std::filesystem::exists(d.watchdog().files().running));
}

} // namespace
