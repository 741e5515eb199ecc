#include "app/services/key_texts.h"

#include "app/services/held_keys.h"
#include "app/services/preferences.h"

#include <array>

namespace kavelo::KeyTexts {

namespace {

// The classic codes of the digit keys 1 to 9.
constexpr std::array<int, 9> digitKeys{18, 19, 20, 21, 23, 22, 26, 28, 25};

} // namespace

Shortcut slot(int slot)
{
    const int index = slot < 1 ? 0 : slot > 9 ? 8 : slot - 1;
    return Shortcut{digitKeys[std::size_t(index)], Shortcut::control | Shortcut::option};
}

std::string slotLabel(int n) { return slot(n).label(); }

std::string slotRange() { return slotLabel(1) + " to " + slotLabel(9); }

std::string switcherHold() { return Shortcut::modifierLabel(switcher.modifiers); }

std::string stripWheelKeys() { return Shortcut::modifierLabel(stripWheel); }

std::string overviewScope(int scope)
{
    const int index = scope < 1 ? 0 : scope > 4 ? 3 : scope - 1;
    return Shortcut{digitKeys[std::size_t(index)], overviewScopes}.label();
}

std::string overviewScopes4() { return overviewScope(1) + "\u2013" + Shortcut::keyLabel(digitKeys[3]); }

WelcomeKeys welcomeKeys(const Preferences& preferences)
{
    return WelcomeKeys{
        .switcher = switcher.label(),
        .wheel = stripWheelKeys() + " + wheel",
        .undo = preferences.key(Command::undoArrange).label(),
        .overview = preferences.shortcut().label(),
    };
}

std::string firstRunToast(const Preferences& preferences, const HeldKeys& held, bool trayShown)
{
    const WelcomeKeys keys = welcomeKeys(preferences);
    const bool switches = preferences.switcherEnabled() && !held.holds(switcher);
    const bool shows = !held.holds(preferences.shortcut());
    std::string text;
    if (switches && shows)
        text = "Press " + keys.switcher + " to switch, or " + keys.overview + " to see everything";
    else if (shows)
        text = "Press " + keys.overview + " to switch and see everything";
    else if (switches)
        text = "Press " + keys.switcher + " to switch" + (trayShown ? ". Kavelo's tray icon shows everything" : "");
    else if (trayShown)
        text = "Open Kavelo from its tray icon to switch and see everything";
    if (!trayShown)
        text += (text.empty() ? "" : ". ") + std::string("No tray here: run kavelo again for its panel");
    return text;
}

} // namespace kavelo::KeyTexts
