#pragma once

// A hot key: a physical key by its classic virtual key code and a modifier
// mask in the classic bit layout. Bits other than the four named ones are
// kept and compared but play no part in the label or in usability.

#include "core/json.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavelo {

struct Shortcut {
    int keyCode = 0;
    int modifiers = 0;

    static constexpr int command = 0x100;
    static constexpr int shift = 0x200;
    static constexpr int option = 0x800;
    static constexpr int control = 0x1000;

    // The overview's default: Control-Option-Space.
    static const Shortcut standard;

    // Names a key in the current keyboard layout; installed by the shell at
    // launch. Empty until then, and a resolver may give no name, in which
    // case the built-in US names are used.
    using KeyNameResolver = std::function<std::optional<std::string>(int keyCode)>;
    static inline KeyNameResolver localName;

    // As the desktop's own settings show it: the modifiers in the order
    // Ctrl, Alt, Shift, Super, then the key's name, joined by "+"
    // ("Ctrl+Alt+←").
    std::string label() const;
    // The modifiers of `modifiers` alone ("Ctrl+Alt"); empty for none.
    static std::string modifierLabel(int modifiers);
    // The key's name in the current keyboard layout.
    static std::string keyLabel(int keyCode);

    // Whether a recorded combination may be stored: a known key, and unless
    // it is a function key, at least one of control, option or command.
    bool isUsable() const;

    friend constexpr bool operator==(const Shortcut&, const Shortcut&) = default;
};

inline constexpr Shortcut Shortcut::standard{49, Shortcut::control | Shortcut::option};

namespace json {

// {"keyCode": ..., "modifiers": ...}, both integers and both required.
Json encode(const Shortcut& shortcut);
Shortcut shortcut(const Json& j);

Json encode(const std::vector<Shortcut>& shortcuts);
std::vector<Shortcut> shortcuts(const Json& j);

} // namespace json

} // namespace kavelo
