// Every command through `run` in every arrange mode, the shell's own four
// commands with their memories and toasts, the key hook, and workflow
// switches pausing the engine.

#include "app/services/window_actions.h"
#include "app/shell/monitor_setups.h"
#include "core/snap.h"
#include "shell/delegate_world.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class CommandDispatchTest : public DelegateTest {
protected:
    // An editor in front with one focused window, and a second application.
    void populate()
    {
        editor = app("org.example.Editor", "Editor");
        mail = app("org.example.Mail", "Mail");
        mailWindow = window(mail, "inbox", Rect(700, 300, 500, 400));
        doc = window(editor, "doc", Rect(100, 100, 500, 400));
        sim.focusWindow(doc);
    }
    Rect snapped(Snap snap)
    {
        const auto& d = *delegate;
        const Screen screen = *WindowActions::screen(d.desktop(), frameOf(doc));
        return frame(snap, *WindowActions::usable(d.desktop(), screen), frameOf(doc).size);
    }

    std::int32_t editor = 0, mail = 0;
    WindowID doc = 0, mailWindow = 0;
};

TEST_F(CommandDispatchTest, EveryCommandGoesWhereItsPositionSaysInEveryMode)
{
    populate();
    for (ArrangeMode mode : allArrangeModes) {
        for (Command command : allCommands) {
            SCOPED_TRACE(std::string(rawValue(mode)) + " " + std::string(rawValue(command)));
            delegate.reset();
            views.toasts.shown.clear();
            sim.modifyWindow(doc, [](SimWindow& w) { w.frame = Rect(100, 100, 500, 400); });
            sim.workspace().unhide(mail);
            sim.focusWindow(doc);
            auto& d = launch();
            d.preferences().setArrangeMode(mode);
            const int position = kavelo::position(command);
            constexpr std::array snaps{Snap::left,      Snap::right,       Snap::maximize,  Snap::center,
                                       Snap::leftThird, Snap::centerThird, Snap::rightThird};
            std::optional<Rect> snapTarget;
            if (position >= 9 && position <= 15)
                snapTarget = snapped(snaps[std::size_t(position - 9)]);
            d.run(command);
            sim.settle();
            switch (command) {
            case Command::tidy:
                EXPECT_EQ(lastToast(), mode == ArrangeMode::strip ? "Tidy is off while the strip is on"
                                                                  : "Tidied into Grid");
                break;
            case Command::fillScreen: EXPECT_TRUE(d.focusMemory()); break;
            case Command::pause: EXPECT_TRUE(d.arrange().isPaused); break;
            case Command::clearDesktop: EXPECT_EQ(d.clearedApps().size(), 1u); break;
            case Command::noPeek: EXPECT_TRUE(d.preferences().noPeekOn()); break;
            case Command::cleanSpace: EXPECT_TRUE(d.preferences().cleanSpaceOn()); break;
            case Command::nextDisplay:
            case Command::floatWindow:
            case Command::undoArrange: EXPECT_FALSE(d.focusMemory() || d.tidyMemory()); break;
            default:
                if (snapTarget) {
                    // Snapped whatever the mode: only registration looks at it.
                    EXPECT_EQ(frameOf(doc), *snapTarget);
                } else {
                    // The engine's: nothing of the shell's own changes.
                    EXPECT_FALSE(d.focusMemory() || d.tidyMemory());
                    EXPECT_TRUE(d.clearedApps().empty());
                    EXPECT_FALSE(d.preferences().noPeekOn() || d.preferences().cleanSpaceOn());
                    EXPECT_FALSE(d.arrange().isPaused);
                }
            }
        }
    }
}

TEST_F(CommandDispatchTest, WithoutAccessibilityEveryCommandOnlyToastsAndOpensPermissions)
{
    populate();
    auto& d = launch();
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    sim.setTrusted(false);
    std::size_t opened = 0;
    for (Command command : allCommands) {
        views.toasts.shown.clear();
        d.run(command);
        sim.settle();
        ASSERT_EQ(views.toasts.shown.size(), 1u) << rawValue(command);
        EXPECT_EQ(views.toasts.shown[0], std::pair(std::string("Turn on Accessibility to move windows"),
                                                   std::string("lock.fill")));
        ASSERT_TRUE(views.windows);
        EXPECT_EQ(views.windows->tabs.size(), ++opened);
        EXPECT_EQ(views.windows->tabs.back(), SettingsTab::permissions);
    }
    EXPECT_EQ(frameOf(doc), Rect(100, 100, 500, 400));
    EXPECT_FALSE(d.focusMemory() || d.tidyMemory() || d.arrange().isPaused);
    EXPECT_TRUE(d.clearedApps().empty());
    EXPECT_FALSE(d.preferences().noPeekOn() || d.preferences().cleanSpaceOn());
}

TEST_F(CommandDispatchTest, TidyTwiceUndoesAndAMovedWindowTidiesAgain)
{
    populate();
    auto& d = launch();
    d.tidy();
    sim.settle();
    EXPECT_EQ(lastToast(), "Tidied into Grid");
    ASSERT_TRUE(d.tidyMemory());
    const Rect tidied = frameOf(doc);
    EXPECT_NE(tidied, Rect(100, 100, 500, 400));

    d.tidy();
    sim.settle();
    EXPECT_EQ(lastToast(), "Windows back where they were");
    EXPECT_EQ(views.toasts.shown.back().second, "arrow.uturn.backward.circle.fill");
    EXPECT_EQ(frameOf(doc), Rect(100, 100, 500, 400));
    EXPECT_FALSE(d.tidyMemory());

    d.tidy();
    sim.settle();
    sim.modifyWindow(doc, [](SimWindow& w) { w.frame.origin.x += 5; });
    d.tidy();
    sim.settle();
    EXPECT_EQ(lastToast(), "Tidied into Grid") << "moved 5 pt: tidied again, not undone";
    EXPECT_EQ(frameOf(doc), tidied);

    d.preferences().setTidyLayout(TidyLayout::columns);
    sim.modifyWindow(doc, [](SimWindow& w) { w.frame.origin.y += 50; });
    d.tidy();
    EXPECT_EQ(lastToast(), "Tidied into Columns");
}

TEST_F(CommandDispatchTest, TidyWithNothingToTidy)
{
    auto& d = launch();
    d.tidy();
    EXPECT_EQ(lastToast(), "No windows to tidy");
    EXPECT_FALSE(d.tidyMemory());
}

TEST_F(CommandDispatchTest, FillTheScreenPausesForADayAndClearsTheDesktopWhenAsked)
{
    populate();
    auto& d = launch();
    d.preferences().setFocusHidesOthers(true);
    const Seconds now = scheduler.clock().monotonic();
    d.toggleFocus();
    sim.settle();
    ASSERT_TRUE(d.focusMemory());
    EXPECT_EQ(d.arrange().pausedUntil(PauseReason::fillScreen), now + Seconds(AppDelegate::fillPause));
    EXPECT_EQ(d.clearedApps().size(), 1u);
    EXPECT_TRUE(sim.app(mail)->hidden);

    sim.modifyWindow(doc, [](SimWindow& w) { w.frame.origin.x += 30; });
    d.toggleFocus();
    sim.settle();
    EXPECT_FALSE(d.focusMemory()) << "a second fill always restores";
    EXPECT_EQ(frameOf(doc), Rect(100, 100, 500, 400));
    EXPECT_LE(d.arrange().pausedUntil(PauseReason::fillScreen), scheduler.clock().monotonic());
    EXPECT_TRUE(d.clearedApps().empty());
    EXPECT_FALSE(sim.app(mail)->hidden);
}

// Under a layout mode a change of displays ends a fill: the screen it filled
// may be gone, and the mode lays every window out again. With the mode off
// nothing lays them out, and the fill stands.
TEST_F(CommandDispatchTest, AFillEndsWhenTheDisplaysChangeUnderALayoutMode)
{
    populate();
    for (ArrangeMode mode : allArrangeModes) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        delegate.reset();
        sim.workspace().unhide(mail);
        sim.focusWindow(doc);
        auto& d = launch();
        d.preferences().setArrangeMode(mode);
        d.preferences().setFocusHidesOthers(true);
        d.toggleFocus();
        sim.settle();
        ASSERT_TRUE(d.focusMemory());

        sim.addDisplay({.name = "Side " + std::string(rawValue(mode)), .frame = Rect(1440, 0, 1920, 1080)});
        scheduler.advance(MonitorSetups::settleDelay.count());
        sim.settle();
        const bool stands = mode == ArrangeMode::off;
        EXPECT_EQ(bool(d.focusMemory()), stands);
        EXPECT_EQ(d.arrange().pausedUntil(PauseReason::fillScreen) > scheduler.clock().monotonic(), stands);
        EXPECT_EQ(sim.app(mail)->hidden, stands);
    }
}

TEST_F(CommandDispatchTest, FillingNothingResumesAtOnceAndClearsNothing)
{
    auto& d = launch();
    d.preferences().setFocusHidesOthers(true);
    d.toggleFocus();
    EXPECT_FALSE(d.focusMemory());
    EXPECT_LE(d.arrange().pausedUntil(PauseReason::fillScreen), scheduler.clock().monotonic());
    EXPECT_TRUE(d.clearedApps().empty());
    EXPECT_TRUE(views.toasts.shown.empty()) << "no toast of its own";
}

TEST_F(CommandDispatchTest, ClearingWithOnlyTheFrontAppVisibleClearsAgainNextTime)
{
    editor = app("org.example.Editor", "Editor");
    doc = window(editor, "doc", Rect(100, 100, 500, 400));
    sim.focusWindow(doc);
    app("org.example.Hidden", "Hidden", true);
    auto& d = launch();
    d.toggleClear();
    EXPECT_EQ(lastToast(), "Desktop cleared. Press again to bring it back");
    EXPECT_TRUE(d.clearedApps().empty());
    d.toggleClear();
    EXPECT_EQ(lastToast(), "Desktop cleared. Press again to bring it back") << "cleared again, not brought back";
}

TEST_F(CommandDispatchTest, ClearHidesTheOthersInOrderAndBringsThemBack)
{
    populate();
    const auto third = app("org.example.Third", "Third");
    auto& d = launch();
    d.toggleClear();
    ASSERT_EQ(d.clearedApps().size(), 2u);
    EXPECT_EQ(d.clearedApps()[0].pid, mail);
    EXPECT_EQ(d.clearedApps()[1].pid, third);
    EXPECT_FALSE(sim.app(editor)->hidden);
    d.toggleClear();
    EXPECT_EQ(lastToast(), "Everything's back");
    EXPECT_FALSE(sim.app(mail)->hidden || sim.app(third)->hidden);
}

TEST_F(CommandDispatchTest, PauseTogglesTheEngineAndSaysWhichMode)
{
    auto& d = launch();
    d.togglePause();
    EXPECT_TRUE(d.arrange().isPaused) << "inverted even with arranging off";
    EXPECT_EQ(views.toasts.shown.back(), std::pair(std::string("Arranging is off"), std::string("hand.raised.fill")));
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    d.arrange().lastSignature = "x";
    d.togglePause();
    EXPECT_FALSE(d.arrange().isPaused);
    EXPECT_TRUE(d.arrange().lastSignature.empty());
    EXPECT_EQ(views.toasts.shown.back(),
              std::pair(std::string("Auto arrange resumed"), std::string("play.circle.fill")));
    d.preferences().setArrangeMode(ArrangeMode::strip);
    d.togglePause();
    EXPECT_EQ(views.toasts.shown.back(),
              std::pair(std::string("Scrolling strip paused"), std::string("pause.circle.fill")));
}

TEST_F(CommandDispatchTest, AWorkflowSwitchPausesTheEngineTwelveSecondsThenAdopts)
{
    populate();
    auto& d = launch();
    d.workflows().store().save(WindowActions::capture(d.desktop(), "Deep work", "d"));
    const Seconds now = scheduler.clock().monotonic();
    d.workflows().switchTo("Deep work");
    EXPECT_EQ(d.arrange().pausedUntil(PauseReason::workflow), now + Seconds(AppDelegate::workflowPause));
    EXPECT_TRUE(d.arrange().lastSignature.empty());
}

TEST_F(CommandDispatchTest, ControlOptionShowsTheIndicatorOnceAndTheSwitcherSeesTheEventAfter)
{
    auto& d = launch();
    const std::uint64_t held = EventFlag::control | EventFlag::option;
    sim.changeFlags(held);
    EXPECT_TRUE(d.arrange().holding);
    d.arrange().indicator().keep = true;
    sim.changeFlags(held | EventFlag::shift);
    EXPECT_TRUE(d.arrange().indicator().keep) << "still held: nothing new";
    sim.changeFlags(EventFlag::control);
    EXPECT_FALSE(d.arrange().holding);
    EXPECT_FALSE(d.arrange().indicator().keep) << "let go: the indicator may fade";

    // Option-Tab reaches the switcher through the same hook and is swallowed.
    sim.changeFlags(EventFlag::option);
    EXPECT_TRUE(sim.pressKey(SwitcherController::tabKey, EventFlag::option));
    EXPECT_TRUE(d.switcher().isActive());
}

TEST_F(CommandDispatchTest, TheFrameworkActionsSkipTheTrustCheck)
{
    populate();
    auto& d = launch();
    sim.setTrusted(false);
    d.tidyWindows();
    EXPECT_EQ(lastToast(), "No windows to tidy") << "tidied without the trust check, and nothing to move";
    d.toggleLeftAlone("org.example.Mail");
    EXPECT_TRUE(d.preferences().leftAlone().contains("org.example.Mail"));
    d.toggleLeftAlone("org.example.Mail");
    EXPECT_TRUE(d.preferences().leftAlone().empty());
    d.openPermissions();
    EXPECT_EQ(views.windows->tabs.back(), SettingsTab::permissions);
    views.workflowQuestions.name = "Saved here";
    d.saveWorkspace();
    EXPECT_TRUE(d.workflows().store().load("Saved here"));
}

} // namespace
