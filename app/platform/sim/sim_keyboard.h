#pragma once

// The two keyboard layouts of the simulated desktop, "us" and "de".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::sim {

std::vector<std::string> layouts();
bool hasLayout(std::string_view layout);
// What the key types with no modifiers, untrimmed; control characters for
// keys without a printable character; no value for modifier keys and codes
// the layout lacks.
std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode);
// The characters a key event carries: as `translate`, but function keys
// (arrows, F-keys, Home ...) as the toolkit's private-use characters.
std::string eventCharacters(std::string_view layout, std::uint16_t keyCode);

} // namespace kavelo::sim
