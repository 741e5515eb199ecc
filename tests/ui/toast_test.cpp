#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/ui/toast_panel.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace kavelo;

namespace {

struct ToastTest : ::testing::Test {
    ManualScheduler scheduler;
    SimDesktop sim;
    PanelHost host{nullptr, scheduler, scheduler.clock()};
    ToastPanel toast{sim.mouse(), sim.displays(), host};
    std::uint32_t side = 0;

    void SetUp() override
    {
        // The primary (1440 × 900, menu bar only) and, to its right, a taller
        // display with a 70-point dock along its bottom.
        side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, -100, 1920, 1080),
                                         .dock = DockEdge::bottom, .dockSize = 70});
    }
};

} // namespace

TEST_F(ToastTest, StandsNinetySixPointsAboveTheBottomOfTheDisplayUnderThePointer)
{
    sim.movePointer(Point(300, 200));
    toast.show("Window floating", "checkmark.circle.fill");
    ASSERT_TRUE(toast.isShowing());
    const QSize fitting = toast.view()->sizeHint();
    const double w = fitting.width(), h = fitting.height();
    // Primary: bottom of the visible frame at 0 (no dock), flipped against 900.
    EXPECT_EQ(toast.capsuleFrame(), Rect(720 - w / 2, 900 - 96 - h, w, h));

    // On the second display: its visible frame begins at -100 + 70; flipped
    // against the primary's height.
    sim.movePointer(Point(2000, 500));
    toast.show("Tidied into Grid", "checkmark.circle.fill");
    const Rect onSide = *toast.capsuleFrame();
    const double w2 = toast.view()->sizeHint().width(), h2 = toast.view()->sizeHint().height();
    EXPECT_EQ(onSide, Rect(1440 + 960 - w2 / 2, 900 - (-30 + 96) - h2, w2, h2));
    EXPECT_EQ(toast.view()->text(), "Tidied into Grid");

    // The panel is the capsule plus room for its shadow, never moved onto
    // a screen.
    const int m = ToastPanel::shadowMargin;
    EXPECT_EQ(toast.panel()->geometry(), pixelRect(onSide).adjusted(-m, -m, m, m));
    EXPECT_EQ(toast.view()->geometry(), QRect(m, m, int(w2), int(h2)));
}

TEST_F(ToastTest, PointerOnNoDisplayUsesThePrimary)
{
    sim.movePointer(Point(-500, -500));
    toast.show("Nothing to undo", "arrow.uturn.backward");
    const double w = toast.view()->sizeHint().width(), h = toast.view()->sizeHint().height();
    EXPECT_EQ(toast.capsuleFrame(), Rect(720 - w / 2, 900 - 96 - h, w, h));
}

TEST_F(ToastTest, HidesOnePointSixSecondsAfterTheLastMessage)
{
    toast.show("Auto arrange paused", "pause.circle.fill");
    FreePanel* panel = toast.panel();
    scheduler.advance(1.0);
    toast.show("Auto arrange resumed", "play.circle.fill");
    EXPECT_EQ(toast.panel(), panel) << "one panel, reused";
    EXPECT_EQ(toast.view()->icon(), "play.circle.fill");

    // The first message's timer would have fired at 1.6 s.
    scheduler.advance(0.6);
    EXPECT_TRUE(toast.isShowing());
    scheduler.advance(0.99);
    EXPECT_TRUE(toast.isShowing());
    scheduler.advance(0.01);
    EXPECT_FALSE(toast.isShowing());
    // Nothing of its own waits; the hidden panel lets go of its pixels later.
    scheduler.advance(FreePanel::keepPixelsFor);
    EXPECT_FALSE(panel->holdsPixels());
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // Shown again later, it comes back and goes again.
    toast.show("Arrangement undone", "arrow.uturn.backward");
    EXPECT_TRUE(toast.isShowing());
    scheduler.advance(1.6);
    EXPECT_FALSE(toast.isShowing());
}

TEST_F(ToastTest, ALongMessageWidensTheCapsuleOnOneLine)
{
    toast.show("Saved", "checkmark.circle.fill");
    const QSize shortSize = toast.view()->sizeHint();
    toast.show("3 windows are waiting. Click the tab at the screen edge, and more words after that", "arrow.left.and.right");
    const QSize longSize = toast.view()->sizeHint();
    EXPECT_GT(longSize.width(), shortSize.width() + 300);
    EXPECT_EQ(longSize.height(), shortSize.height());
}

TEST_F(ToastTest, NeverTakesFocusAndLetsClicksThrough)
{
    toast.show("Saved", "checkmark.circle.fill");
    const FreePanel& panel = *toast.panel();
    EXPECT_EQ(panel.level(), 101);
    EXPECT_TRUE(panel.clickThrough());
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowTransparentForInput));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(panel.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(panel.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_FALSE(panel.isActiveWindow());
}

TEST_F(ToastTest, WithNoDisplayNothingIsShownButTheTimerStillRuns)
{
    sim.removeDisplay(side);
    sim.removeDisplay(sim.displayList().front().id);
    toast.show("Saved", "checkmark.circle.fill");
    EXPECT_FALSE(toast.isShowing());
    scheduler.advance(2);
    EXPECT_FALSE(toast.isShowing());
}

TEST_F(ToastTest, AnOfferTakesAClickForFiveSecondsAndAPlainMessageLetsClicksThroughAgain)
{
    int clicks = 0;
    toast.offer("Openbox holds 3 of Kavelo's shortcuts. Click to choose others", "keyboard", [&] { ++clicks; });
    ASSERT_TRUE(toast.isShowing());
    EXPECT_FALSE(toast.panel()->clickThrough());
    scheduler.advance(4.9);
    EXPECT_TRUE(toast.isShowing());
    QTest::mouseClick(toast.view(), Qt::LeftButton, {}, toast.view()->rect().center());
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(toast.isShowing()) << "a click puts it away";
    scheduler.advance(FreePanel::keepPixelsFor);
    EXPECT_EQ(scheduler.pendingCount(), 0u);

    // Unclicked, it goes after five seconds; the next plain message takes
    // no clicks, and one that reaches it anyway does nothing.
    toast.offer("Openbox holds 1 of Kavelo's shortcuts. Click to choose others", "keyboard", [&] { ++clicks; });
    scheduler.advance(5);
    EXPECT_FALSE(toast.isShowing());
    toast.show("Saved", "checkmark.circle.fill");
    EXPECT_TRUE(toast.panel()->clickThrough());
    QTest::mouseClick(toast.view(), Qt::LeftButton, {}, toast.view()->rect().center());
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(toast.isShowing());
}
