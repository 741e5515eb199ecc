#pragma once

// What the classic virtual key codes of the interfaces (49 Space, 53 Escape,
// 123 Left ...) type where no keyboard layout decides it: the keys whose
// characters are the same in every layout, and a US keyboard's characters.
// Every backend translates through these.

#include <cstdint>
#include <optional>

namespace kavelo::ClassicKeys {

// A key that types the same in every layout (Return, Tab, Space, Delete,
// Escape, arrows, F-keys, Home ...): the control character a translation
// gives and the character its key event carries (function keys carry the
// toolkit's private-use characters).
struct Fixed {
    char32_t translated;
    char32_t event;
};
std::optional<Fixed> fixed(std::uint16_t keyCode);

// What the key types on a US keyboard with no modifiers; no value for keys
// without a printable character.
std::optional<char32_t> usCharacter(std::uint16_t keyCode);

} // namespace kavelo::ClassicKeys
