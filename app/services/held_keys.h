#pragma once

// The key combinations Kavelo tried to take and another program holds, as
// the last registration of the shortcuts found them, with the running
// window manager's name, the likeliest holder, to tell the user. The shell
// rebuilds it at every registration; the windows and toasts that name keys
// follow it, and the texts they show are made here.

#include "app/services/key_texts.h"
#include "core/shortcut.h"

#include <optional>
#include <string>
#include <vector>

namespace kavelo {

// The switcher's key, Option-Tab (Alt+Tab).
inline constexpr Shortcut switcherShortcut = KeyTexts::switcher;

struct HeldKeys {
    // Each once, in the order they were tried.
    std::vector<Shortcut> keys;
    // Those of them that are Kavelo's own defaults, not keys the user chose.
    std::vector<Shortcut> defaults;
    // Those of them that switch workflows (the fixed keys 1 to 9).
    std::vector<Shortcut> workflowKeys;
    // The window manager's name, when it gives one.
    std::optional<std::string> manager;

    void add(const Shortcut& shortcut, bool isDefault);
    bool holds(const Shortcut& shortcut) const;
    // The manager by its name, else "Another app".
    std::string holder() const;

    friend bool operator==(const HeldKeys&, const HeldKeys&) = default;
};

namespace HeldKeyTexts {

// The detail of a Shortcuts page row showing `shortcuts` (its main one
// first): none while none of them is held.
std::optional<std::string> rowDetail(const HeldKeys& held, const std::vector<Shortcut>& shortcuts);
// The detail of the switcher's switch while another program holds its key.
std::optional<std::string> switcherDetail(const HeldKeys& held);
// The detail of the workflow keys' row while any of them is held.
std::optional<std::string> slotsDetail(const HeldKeys& held);
// The toast after a registration that found default keys held.
std::string toast(const HeldKeys& held);

} // namespace HeldKeyTexts

} // namespace kavelo
