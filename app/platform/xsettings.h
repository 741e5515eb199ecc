#pragma once

// The settings an XSETTINGS manager (the GNOME and Xfce settings daemons)
// publishes on its window, in the property's own binary form. Anything
// malformed reads as no settings at all: the property belongs to another
// program.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kavelo::XSettings {

// The integer setting `name` ("Gtk/EnableAnimations"); none when the
// property does not hold it as an integer or is malformed.
std::optional<std::int32_t> integer(std::span<const std::uint8_t> property, std::string_view name);

} // namespace kavelo::XSettings
