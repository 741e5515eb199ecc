#pragma once

// Texts that name a key, in the desktop's own words ("Ctrl+Alt+Space"),
// built from the keys as they are bound now, never written out by hand.
// The welcome window and the first-run toast take theirs from
// `welcomeKeys`, so that what they teach can follow what Kavelo holds.

#include "core/shortcut.h"

#include <string>

namespace kavelo {

class Preferences;
struct HeldKeys;

namespace KeyTexts {

// The switcher's fixed key; its modifier is held while the switcher shows.
inline constexpr Shortcut switcher{48, Shortcut::option};
// Held with the mouse wheel, the strip moves along.
inline constexpr int stripWheel = Shortcut::control | Shortcut::option;
// With 1 to 4, the overview changes its filter.
inline constexpr int overviewScopes = Shortcut::command;

// The fixed key of workflow slot `slot` (1 to 9).
Shortcut slot(int slot);
// "Ctrl+Alt+3".
std::string slotLabel(int slot);
// "Ctrl+Alt+1 to Ctrl+Alt+9".
std::string slotRange();
// "Alt": held while the switcher shows.
std::string switcherHold();
// "Ctrl+Alt".
std::string stripWheelKeys();
// "Super+1", and "Super+1–4" for the four filters.
std::string overviewScope(int scope);
std::string overviewScopes4();

// The keys the welcome window and the first-run toast teach.
struct WelcomeKeys {
    std::string switcher;   // "Alt+Tab"
    std::string wheel;      // "Ctrl+Alt + wheel"
    std::string undo;       // the undo command's key
    std::string overview;   // the overview's key
};
WelcomeKeys welcomeKeys(const Preferences& preferences);

// The toast after "Get Started", naming only keys no other program holds;
// without a tray it also says how the panel opens.
std::string firstRunToast(const Preferences& preferences, const HeldKeys& held, bool trayShown);

} // namespace KeyTexts

} // namespace kavelo
