#pragma once

// Names a virtual key code by the character it types in a keyboard layout,
// so shortcut labels follow the user's layout (on a German layout the key in
// the place of the US Z is named Y).

#include "app/platform/keyboard.h"
#include "core/shortcut.h"

#include <optional>
#include <string>
#include <string_view>

namespace kavelo {

// An installed keyboard layout, by its identifier.
struct InputSource {
    std::string identifier;
    friend bool operator==(const InputSource&, const InputSource&) = default;
};

namespace KeyNames {

// The installed layout with this identifier, enabled or not.
std::optional<InputSource> source(const Keyboard& keyboard, std::string_view identifier);

// The printable name of `code` in the source's layout, upper-cased where
// that keeps it one character; none for keys that type white space, a
// control character or a function-key character, or nothing at all.
std::optional<std::string> name(const Keyboard& keyboard, int code, const InputSource& source);

// The resolver the shell installs as `Shortcut::localName`: names a key in
// the layout in use, none while no layout can be read.
Shortcut::KeyNameResolver resolver(const Keyboard& keyboard);

} // namespace KeyNames

} // namespace kavelo
