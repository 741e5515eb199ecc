// The keys another program holds, as the delegate notes them at every
// registration: over any run of takes, releases, rebinds and mode changes
// they are exactly the keys it tried and was refused; the first set of
// default keys found held is told once in a toast that opens the
// Shortcuts page; the first-run toast names only keys Kavelo holds.

#include "shell/delegate_world.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <set>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

std::set<Combination> combinations(const std::vector<Shortcut>& keys)
{
    std::set<Combination> out;
    for (const auto& k : keys)
        out.emplace(k.keyCode, k.modifiers);
    return out;
}

// The keys a registration with these settings counts as Kavelo's own
// defaults: the standard overview key, the workflow keys, and the main key
// of every active command the user did not rebind.
std::set<Combination> defaultKeys(const Preferences& p)
{
    std::set<Combination> out;
    if (p.shortcut() == Shortcut::standard)
        out.emplace(p.shortcut().keyCode, p.shortcut().modifiers);
    for (auto key : AppDelegate::slotKeys)
        out.emplace(key, AppDelegate::slotModifiers);
    for (Command c : allCommands)
        if (isActive(p, c) && !p.bindings().count(c))
            out.emplace(standard(c).keyCode, standard(c).modifiers);
    return out;
}

RC_GTEST_PROP(HeldKeysProperties, TheHeldKeysAreTheTriedKeysTheDesktopRefused, ())
{
    DelegateWorld world;
    world.sim.setWindowManagerName("Openbox");
    AppDelegate& d = world.launch();
    Preferences& p = d.preferences();

    // Keys of every scope, the overview's, a workflow key and two the user may record.
    const std::vector<Shortcut> pool{standard(Command::snapLeft),  standard(Command::tidy),
                                     standard(Command::swapLeft),  standard(Command::cycleWidth),
                                     standard(Command::thirdLeft), Shortcut::standard,
                                     Shortcut{AppDelegate::slotKeys[4], int(AppDelegate::slotModifiers)},
                                     Shortcut{0, 0x1900},          Shortcut{1, 0x1900}};
    std::set<Combination> taken;
    const auto steps = *rc::gen::resize(
        40, rc::gen::container<std::vector<std::pair<int, int>>>(
                rc::gen::pair(rc::gen::inRange(0, 7), rc::gen::inRange(0, 1000))));
    for (const auto& [kind, n] : steps) {
        const Shortcut& key = pool[std::size_t(n) % pool.size()];
        const Command command = allCommands[std::size_t(n) % 16];
        switch (kind) {
        case 0:
            world.sim.takeHotKey(key.keyCode, key.modifiers);
            taken.emplace(key.keyCode, key.modifiers);
            break;
        case 1:
            world.sim.releaseHotKey(key.keyCode, key.modifiers);
            taken.erase({key.keyCode, key.modifiers});
            break;
        case 2: {
            auto bindings = p.bindings();
            if (n % 3)
                bindings[command] = pool[std::size_t(n / 7) % pool.size()];
            else
                bindings.erase(command);
            p.setBindings(std::move(bindings));
            break;
        }
        case 3: p.setExtraBindings({{command, {key}}}); break;
        case 4: p.setArrangeMode(allArrangeModes[std::size_t(n % 3)]); break;
        case 5: p.setSnappingEnabled(n % 2); break;
        case 6: p.setShortcut(n % 2 ? Shortcut::standard : Shortcut{49, Shortcut::control | Shortcut::command}); break;
        }
        // A changed binding keeps the keys held; a key taken from us is found
        // when they are all asked for again.
        if (kind <= 1)
            d.reclaimKeys();
        else
            d.applyKeys();

        const HeldKeys& held = d.heldKeys().value();
        const std::set<Combination> tried = expectedHotKeys(p);
        std::set<Combination> refused;
        for (const auto& c : tried)
            if (taken.count(c))
                refused.insert(c);
        RC_ASSERT(combinations(held.keys) == refused);
        RC_ASSERT(held.keys.size() == refused.size());
        std::set<Combination> defaults;
        for (const auto& c : defaultKeys(p))
            if (refused.count(c))
                defaults.insert(c);
        RC_ASSERT(combinations(held.defaults) == defaults);
        RC_ASSERT(held.manager == std::optional<std::string>("Openbox"));
        std::set<Combination> free;
        for (const auto& c : tried)
            if (!taken.count(c))
                free.insert(c);
        RC_ASSERT(registeredHotKeys(world.sim) == free);
    }
}

class HeldKeysTest : public DelegateTest {
protected:
    int offers() const
    {
        return int(std::count_if(views.toasts.shown.begin(), views.toasts.shown.end(), [](const auto& shown) {
            return shown.first.find("of Kavelo's shortcuts") != std::string::npos;
        }));
    }
};

TEST_F(HeldKeysTest, DefaultKeysHeldAreToldOnceASetAndTheToastOpensTheShortcutsPage)
{
    sim.setWindowManagerName("Xfwm4");
    const Shortcut left = standard(Command::snapLeft), right = standard(Command::snapRight);
    sim.takeHotKey(left.keyCode, left.modifiers);
    sim.takeHotKey(right.keyCode, right.modifiers);
    sim.takeHotKey(switcherShortcut.keyCode, switcherShortcut.modifiers);
    auto& d = launch();
    EXPECT_FALSE(d.switcher().claimed());
    EXPECT_EQ(d.heldKeys().value().keys, (std::vector<Shortcut>{left, right, switcherShortcut}));
    EXPECT_EQ(offers(), 1);
    EXPECT_EQ(lastToast(), "Xfwm4 holds 3 of Kavelo's shortcuts. Click to choose others");
    ASSERT_TRUE(views.toasts.click);
    views.toasts.click();
    ASSERT_TRUE(views.windows);
    EXPECT_EQ(views.windows->tabs, std::vector<SettingsTab>{SettingsTab::shortcuts});

    // The same set again, by any way the keys are registered: not again.
    d.applyKeys();
    d.preferences().setSwitcherEnabled(false);
    d.preferences().setSwitcherEnabled(true);
    EXPECT_EQ(offers(), 1);
    // A key the user recorded is noted, not told.
    const Shortcut mine{0, 0x1900};
    sim.takeHotKey(mine.keyCode, mine.modifiers);
    d.preferences().setBindings({{Command::tidy, mine}});
    EXPECT_TRUE(d.heldKeys().value().holds(mine));
    EXPECT_EQ(offers(), 1);
    // Fewer is nothing new; a default key not named before is.
    sim.releaseHotKey(right.keyCode, right.modifiers);
    d.applyKeys();
    EXPECT_EQ(offers(), 1);
    // A key of ours taken (through XInput) is found when the keys are asked
    // for again, as opening the panel does.
    const Shortcut fill = standard(Command::fillScreen);
    sim.takeHotKey(fill.keyCode, fill.modifiers);
    d.reclaimKeys();
    EXPECT_EQ(offers(), 2);
    EXPECT_EQ(lastToast(), "Xfwm4 holds 3 of Kavelo's shortcuts. Click to choose others");
}

TEST_F(HeldKeysTest, NothingHeldNoToastAndAnUnnamedManagerIsAnotherApp)
{
    auto& d = launch();
    EXPECT_TRUE(d.heldKeys().value().keys.empty());
    EXPECT_EQ(offers(), 0);
    const Shortcut tidy = standard(Command::tidy);
    sim.takeHotKey(tidy.keyCode, tidy.modifiers);
    d.reclaimKeys();
    EXPECT_EQ(lastToast(), "Another app holds 1 of Kavelo's shortcuts. Click to choose others");
}

// The first-run toast after "Get Started", as the keys stand, with and
// without a tray.
TEST_F(HeldKeysTest, TheFirstRunToastNamesOnlyKeysKaveloHolds)
{
    const std::string altTab = switcherShortcut.label(), overview = Shortcut::standard.label();
    const std::string noTray = "No tray here: run kavelo again for its panel";
    struct Case {
        bool switcherHeld, overviewHeld, tray;
        std::string toast;
    };
    const std::vector<Case> cases{
        {false, false, true, "Press " + altTab + " to switch, or " + overview + " to see everything"},
        {true, false, true, "Press " + overview + " to switch and see everything"},
        {false, true, true, "Press " + altTab + " to switch. Kavelo's tray icon shows everything"},
        {true, true, true, "Open Kavelo from its tray icon to switch and see everything"},
        {true, false, false, "Press " + overview + " to switch and see everything. " + noTray},
        {false, true, false, "Press " + altTab + " to switch. " + noTray},
        {true, true, false, noTray},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.toast);
        DelegateWorld world;
        world.views.hasTray = c.tray;
        if (c.switcherHeld)
            world.sim.takeHotKey(switcherShortcut.keyCode, switcherShortcut.modifiers);
        if (c.overviewHeld)
            world.sim.takeHotKey(Shortcut::standard.keyCode, Shortcut::standard.modifiers);
        world.launch({}, true);
        ASSERT_TRUE(world.views.windows);
        world.views.windows->done();
        EXPECT_EQ(world.lastToast(), c.toast);
    }
}

} // namespace
