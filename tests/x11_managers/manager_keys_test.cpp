// The keys each window manager holds, as people run it (openbox with its
// stock bindings, xfwm4, mutter, KWin, i3): the delegate launched on it
// names held exactly the keys that, typed as a person types them, do not
// reach Kavelo; the manager's well-known keys are among them; a toast says
// so once; the Shortcuts page names the manager on the row of a held key.
// One session per manager: each instantiation is a suite of its own.

#include "app/settings/command_row.h"
#include "app/settings/setting_rows.h"
#include "app/settings/shortcut_recorder.h"
#include "app/settings/shortcuts_page.h"
#include "support/person_keys.h"
#include "x11_managers/x11_delegate.h"

#include <algorithm>
#include <array>
#include <chrono>

namespace kavelo::testing {
namespace {

using test::WindowManager;

// A shortcut typed as a person types it: its modifiers in the order a hand
// presses them, then the key.
void typeShortcut(test::Typist& typist, X11Desktop& x11, const Shortcut& shortcut)
{
    static constexpr std::array<std::pair<int, std::uint16_t>, 4> modifierKeys{
        {{Shortcut::control, 59}, {Shortcut::option, 58}, {Shortcut::shift, 56}, {Shortcut::command, 55}}};
    std::vector<std::uint8_t> modifiers;
    for (const auto& [bit, key] : modifierKeys)
        if (shortcut.modifiers & bit)
            modifiers.push_back(x11.serverKeyCode(key).value());
    typist.chord(modifiers, x11.serverKeyCode(std::uint16_t(shortcut.keyCode)).value());
}

class ManagerKeysTest : public X11ServicesTest, public ::testing::WithParamInterface<WindowManager> {
protected:
    SessionSetup sessionSetup() const override { return SessionSetup{.manager = GetParam(), .clients = {"xterm"}}; }
    bool ready() override
    {
        const auto windows = read().windows;
        return std::any_of(windows.begin(), windows.end(), [](const WindowEntry& w) {
            return w.bundleID == "XTerm" && w.state == WindowState::visible;
        });
    }

    // The keys each manager is known to hold in the configuration people run.
    static std::vector<Shortcut> knownHeld(WindowManager manager)
    {
        const Shortcut left = standard(Command::snapLeft), right = standard(Command::snapRight);
        switch (manager) {
        case WindowManager::openbox: return {left, right, switcherShortcut};
        case WindowManager::xfwm4: return {left, right, standard(Command::thirdLeft), switcherShortcut};
        case WindowManager::mutter: return {left, right, switcherShortcut};
        case WindowManager::kwin: return {switcherShortcut};
        default: return {};
        }
    }
};

TEST_P(ManagerKeysTest, TheKeysCalledHeldAreTheKeysThatDoNotReachKaveloAndThePageNamesTheirHolder)
{
    X11Delegate d(*x11, scheduler, *home);
    pump();
    const HeldKeys held = d->heldKeys().value();
    const std::string manager = desktop->platform.workspace.windowManagerName().value_or("");
    EXPECT_EQ(held.manager, std::optional(manager));

    // Every key Kavelo asked for: those it has, those it was refused, Alt-Tab.
    std::vector<Shortcut> keys;
    for (const auto& [id, combination] : d.hotKeys().live)
        keys.push_back(Shortcut{int(combination.first), int(combination.second)});
    for (const Shortcut& key : held.keys)
        if (std::find(keys.begin(), keys.end(), key) == keys.end())
            keys.push_back(key);
    if (std::find(keys.begin(), keys.end(), switcherShortcut) == keys.end())
        keys.push_back(switcherShortcut);

    test::Typist typist(*session, [&] { pump(); });
    for (const Shortcut& key : keys) {
        SCOPED_TRACE(key.label() + " under " + manager);
        const Combination combination{std::uint32_t(key.keyCode), std::uint32_t(key.modifiers)};
        const std::size_t pressed = d.hotKeys().pressed.size(), taken = d.tap().taken_.size();
        const auto reached = [&] {
            if (key == switcherShortcut)
                return std::any_of(d.tap().taken_.begin() + std::ptrdiff_t(taken), d.tap().taken_.end(),
                                   [](const TapEvent& e) { return e.keyCode == switcherShortcut.keyCode; });
            return std::find(d.hotKeys().pressed.begin() + std::ptrdiff_t(pressed), d.hotKeys().pressed.end(),
                             combination) != d.hotKeys().pressed.end();
        };
        typeShortcut(typist, *x11, key);
        // A key said to be held must stay away; any other must come.
        if (held.holds(key))
            test::pumpFor(std::chrono::milliseconds(250), [&] { pump(); });
        else
            test::waitFor(reached, test::answerDeadline, [&] { pump(); });
        EXPECT_EQ(held.holds(key), !reached());
    }

    for (const Shortcut& key : knownHeld(GetParam())) {
        EXPECT_TRUE(held.holds(key)) << key.label() << " is " << manager << "'s";
    }
    if (GetParam() == WindowManager::i3) {
        EXPECT_TRUE(held.keys.empty());
    }

    // Told once, offering the Shortcuts page.
    const auto told = std::count_if(d.views().toasts.shown.begin(), d.views().toasts.shown.end(),
                                     [](const auto& t) { return t.first.find("of Kavelo's shortcuts") != std::string::npos; });
    EXPECT_EQ(told, held.defaults.empty() ? 0 : 1);
    d->applyKeys();
    EXPECT_EQ(std::count_if(d.views().toasts.shown.begin(), d.views().toasts.shown.end(),
                            [](const auto& t) { return t.first.find("of Kavelo's shortcuts") != std::string::npos; }),
              told);

    // The page's rows say who holds their keys.
    RecorderTurns turns;
    ShortcutsPage page(d->preferences(), desktop->platform.keyboard, turns, {scheduler, scheduler.clock()});
    page.follow(d->heldKeys());
    for (Command command : allCommands) {
        const bool isHeld = held.holds(d->preferences().key(command));
        EXPECT_EQ(page.row(command)->detail(),
                  isHeld ? std::optional(QString::fromStdString(manager + " is using this. Choose a different one.")) : std::nullopt)
            << title(command);
    }
    EXPECT_EQ(page.switcherRow()->detail().has_value(), held.holds(switcherShortcut));
}

INSTANTIATE_TEST_SUITE_P(Openbox, ManagerKeysTest, ::testing::Values(WindowManager::openbox));
INSTANTIATE_TEST_SUITE_P(Xfwm4, ManagerKeysTest, ::testing::Values(WindowManager::xfwm4));
INSTANTIATE_TEST_SUITE_P(Mutter, ManagerKeysTest, ::testing::Values(WindowManager::mutter));
INSTANTIATE_TEST_SUITE_P(KWin, ManagerKeysTest, ::testing::Values(WindowManager::kwin));
INSTANTIATE_TEST_SUITE_P(I3, ManagerKeysTest, ::testing::Values(WindowManager::i3));

} // namespace
} // namespace kavelo::testing
