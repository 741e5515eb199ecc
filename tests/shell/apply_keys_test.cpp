// The global shortcuts by arrange mode and snapping: exactly the active
// groups plus the overview and the nine workflow slots, the extra
// bindings, refusals logged once, held keys kept across mode changes,
// nothing while a recorder listens, and what a registered key does when
// pressed.

#include "shell/delegate_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class ApplyKeysTest : public DelegateTest {
protected:
    std::set<Combination> registered() const { return registeredHotKeys(sim); }
    std::set<Combination> expected(const Preferences& p) const { return expectedHotKeys(p); }
};

TEST_F(ApplyKeysTest, ExactlyTheActiveGroupsInEveryModeWithAndWithoutSnapping)
{
    auto& d = launch();
    auto& p = d.preferences();
    for (bool snapping : {true, false})
        for (ArrangeMode mode : allArrangeModes) {
            SCOPED_TRACE(std::string(rawValue(mode)) + (snapping ? " snapping" : ""));
            p.setSnappingEnabled(snapping);
            p.setArrangeMode(mode);
            EXPECT_EQ(registered(), expected(p));
            // The strip's own commands share some of the snaps' keys.
            if (mode != ArrangeMode::strip) {
                const bool snaps = registered().contains({standard(Command::thirdCenter).keyCode,
                                                          standard(Command::thirdCenter).modifiers});
                EXPECT_EQ(snaps, snapping);
            }
        }
}

TEST_F(ApplyKeysTest, ExtraBindingsJoinTheirCommandsMainShortcut)
{
    auto& d = launch();
    const Shortcut extra{0, Shortcut::control | Shortcut::option | Shortcut::command};
    const Shortcut rebound{1, Shortcut::control | Shortcut::option | Shortcut::command};
    d.preferences().setExtraBindings({{Command::tidy, {extra}}});
    d.preferences().setBindings({{Command::tidy, rebound}});
    EXPECT_TRUE(registered().contains({extra.keyCode, extra.modifiers}));
    EXPECT_TRUE(registered().contains({rebound.keyCode, rebound.modifiers}));
    EXPECT_FALSE(registered().contains({standard(Command::tidy).keyCode, standard(Command::tidy).modifiers}));
    EXPECT_EQ(registered(), expected(d.preferences()));
}

TEST_F(ApplyKeysTest, AShortcutHeldElsewhereIsLoggedAndTheOthersStillRegister)
{
    const Shortcut left = standard(Command::snapLeft);
    sim.takeHotKey(left.keyCode, left.modifiers);
    const Shortcut slot = {AppDelegate::slotKeys[2], AppDelegate::slotModifiers};
    sim.takeHotKey(slot.keyCode, slot.modifiers);
    auto& d = launch();
    const auto idOf = [&](const Shortcut& key) {
        for (const SimHotKey& k : sim.registeredHotKeys())
            if (k.keyCode == std::uint32_t(key.keyCode) && k.modifiers == std::uint32_t(key.modifiers))
                return k.id;
        return 0u;
    };
    const std::uint32_t overview = idOf(Shortcut::standard);
    // Every mode change binds the keys again: what stays bound stays held,
    // and a refusal is not named again.
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    d.preferences().setArrangeMode(ArrangeMode::off);
    EXPECT_EQ(idOf(Shortcut::standard), overview);
    const auto lines = logLines();
    const std::string line = "shortcut " + left.label() + " for snapLeft is held by another app";
    EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end());
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("held by another app") != std::string::npos; }),
              1)
        << "the slots fail silently";
    EXPECT_TRUE(registered().contains({standard(Command::snapRight).keyCode, standard(Command::snapRight).modifiers}));
    EXPECT_FALSE(d.preferences().shortcutTaken());
}

TEST_F(ApplyKeysTest, TheOverviewShortcutTakenElsewhereIsNotedOnce)
{
    sim.takeHotKey(Shortcut::standard.keyCode, Shortcut::standard.modifiers);
    auto& d = launch();
    EXPECT_TRUE(d.preferences().shortcutTaken());
    int heard = 0;
    const Handle h = d.preferences().observe([&](std::string_view name) { heard += name == "shortcutTaken"; });
    d.applyKeys();
    EXPECT_EQ(heard, 0) << "written only when it differs";
    d.preferences().setShortcut(Shortcut{49, Shortcut::control | Shortcut::command});
    EXPECT_FALSE(d.preferences().shortcutTaken());
    EXPECT_EQ(heard, 1);
}

TEST_F(ApplyKeysTest, NothingIsRegisteredWhileARecorderListensAndOptionTabIsLetGo)
{
    auto& d = launch();
    ASSERT_TRUE(d.switcher().claimed());
    d.preferences().setIsRecording(true);
    d.preferences().onKeysChange();
    EXPECT_TRUE(sim.registeredHotKeys().empty());
    EXPECT_FALSE(d.switcher().claimed()) << "the recorder can take Alt-Tab";
    EXPECT_FALSE(sim.pressKey(SwitcherController::tabKey, EventFlag::option));
    EXPECT_FALSE(d.switcher().isActive());

    d.preferences().setIsRecording(false);
    d.preferences().onKeysChange();
    EXPECT_EQ(registered(), expected(d.preferences()));
    EXPECT_TRUE(d.switcher().claimed());
}

TEST_F(ApplyKeysTest, TurningTheSwitcherOffLetsOptionTabGo)
{
    auto& d = launch();
    d.preferences().setSwitcherEnabled(false);
    EXPECT_FALSE(d.switcher().claimed());
    d.preferences().setSwitcherEnabled(true);
    EXPECT_TRUE(d.switcher().claimed());
}

TEST_F(ApplyKeysTest, TheMouseButtonFollowsTheSetting)
{
    auto& d = launch();
    ASSERT_TRUE(d.mouse());
    EXPECT_EQ(d.mouse()->button, 3);
    d.preferences().setMouseButton(2);
    EXPECT_EQ(d.mouse()->button, 2);
    sim.pressButton(2);
    sim.releaseButton(2);
    scheduler.runPending();
    ASSERT_TRUE(views.overviewPanel);
    EXPECT_TRUE(views.overviewPanel->visible) << "the button shows the overview";
}

TEST_F(ApplyKeysTest, PressedShortcutsRunTheirActions)
{
    const auto editor = app("org.example.Editor", "Editor");
    const auto doc = window(editor, "doc", Rect(100, 100, 500, 400));
    sim.focusWindow(doc);
    auto& d = launch();
    d.workflows().store().save(Workspace{.name = "Three", .displays = "d", .slot = 3});

    const Shortcut overview = d.preferences().shortcut();
    sim.pressKey(std::uint16_t(overview.keyCode), eventFlags(overview.modifiers));
    scheduler.runPending();
    ASSERT_TRUE(views.overviewPanel);
    EXPECT_TRUE(views.overviewPanel->visible);
    sim.pressKey(std::uint16_t(overview.keyCode), eventFlags(overview.modifiers));
    scheduler.runPending();
    EXPECT_FALSE(views.overviewPanel->visible) << "the same key hides it";

    const Shortcut left = standard(Command::snapLeft);
    sim.pressKey(std::uint16_t(left.keyCode), eventFlags(left.modifiers));
    sim.settle();
    EXPECT_EQ(frameOf(doc).minX(), 0);

    const Seconds now = scheduler.clock().monotonic();
    sim.pressKey(AppDelegate::slotKeys[2], eventFlags(AppDelegate::slotModifiers));
    EXPECT_EQ(d.arrange().pausedUntil(PauseReason::workflow), now + Seconds(AppDelegate::workflowPause))
        << "slot 3 switched to its workflow";
}

} // namespace

// Keys held elsewhere are asked for again when another window manager takes
// over (at once, and again once it has grabbed its own keys) and when the
// menu panel opens; the new manager's own switcher keys stop being ours.
TEST_F(ApplyKeysTest, KeysAreAskedForAgainWhenTheManagerChangesAndTheMenuPanelOpens)
{
    const Shortcut left = standard(Command::snapLeft);
    const Combination leftKeys{left.keyCode, left.modifiers};
    sim.takeHotKey(left.keyCode, left.modifiers);
    auto& d = launch();
    ASSERT_FALSE(registered().contains(leftKeys));
    ASSERT_TRUE(d.switcher().claimed());

    sim.releaseHotKey(left.keyCode, left.modifiers);
    sim.setWindowManagerName("xfwm4");
    EXPECT_TRUE(registered().contains(leftKeys));
    // The new manager grabs its switcher keys a moment after it names itself.
    sim.takeHotKey(SwitcherController::tabKey, Shortcut::option);
    EXPECT_TRUE(d.switcher().claimed());
    scheduler.advance(AppDelegate::managerSettle);
    EXPECT_FALSE(d.switcher().claimed());

    sim.releaseHotKey(SwitcherController::tabKey, Shortcut::option);
    d.reopen();
    EXPECT_TRUE(d.switcher().claimed());
    EXPECT_EQ(registered(), expected(d.preferences()));
}
