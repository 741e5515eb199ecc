#pragma once

// KDE's own animation setting: "AnimationDurationFactor" in the [KDE] group
// of kdeglobals; 0 turns animations off.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace kavelo::KdeGlobals {

// The factor in one kdeglobals text; none when it is not set there.
std::optional<double> animationDurationFactor(std::string_view text);

// The kdeglobals files KDE reads, the user's first: $XDG_CONFIG_HOME
// (~/.config), then each of $XDG_CONFIG_DIRS (/etc/xdg).
std::vector<std::filesystem::path> files();

// Whether the first of `files` that sets the factor sets it to 0.
bool reducesMotion(const std::vector<std::filesystem::path>& files);

} // namespace kavelo::KdeGlobals
