#pragma once

// Keyboard layouts and key translation.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

class Keyboard {
public:
    virtual ~Keyboard() = default;
    // Identifiers of every installed keyboard layout.
    virtual std::vector<std::string> layouts() const = 0;
    // The layout in use; no value when it cannot be read.
    virtual std::optional<std::string> currentLayout() const = 0;
    // What `keyCode` types in `layout` with no modifiers held, as UTF-8 and
    // untrimmed (Space gives " ", Return "\r", Escape "\x1b"; keys without a
    // character give a control character). No value when the layout is not
    // installed or the key translates to nothing.
    virtual std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const = 0;
    // The classic key code of the key at a native scan code (what a toolkit
    // key event reports as its native key), whatever the layout types
    // there; no value for a key without one.
    virtual std::optional<std::uint16_t> keyCode(std::uint32_t nativeScanCode) const = 0;
    // While the key at a native scan code is down: the event time (as key
    // events carry it) of the press that put it down, so that a later press
    // of it is told as a repeat. None where the system does not say.
    virtual std::optional<std::uint64_t> downSince(std::uint32_t nativeScanCode) const
    {
        (void)nativeScanCode;
        return std::nullopt;
    }
};

} // namespace kavelo
