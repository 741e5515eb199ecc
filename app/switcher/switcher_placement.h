#pragma once

// Where the switcher panel goes: on the screen under the pointer, centred,
// sized for what it shows (the display map, or a row of result cards).

#include "app/platform/displays.h"
#include "core/geometry.h"
#include "core/switcher_map.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace kavelo::SwitcherPlacement {

inline constexpr double cardWidth = 196;         // per window of the results row
inline constexpr double cardExtra = 40;
inline constexpr std::size_t fewestCards = 3;
inline constexpr std::size_t mostCards = 6;
inline constexpr double resultsMargin = 80;      // kept from the visible width
inline constexpr double resultsHeight = 268;
inline constexpr double mapExtraWidth = 48;
inline constexpr double mapMinimumWidth = 520;
inline constexpr double mapExtraHeight = 76;
inline constexpr double shelfHeight = 102;
inline constexpr double mapMargin = 40;          // kept from the visible width and height

// The screen under `pointer` (bottom-left form), else the first one; none
// without screens.
std::optional<Screen> screen(const std::vector<Screen>& screens, Point pointer);

// The panel's size on `screen` for a session of `windowCount` windows:
// the results row when `searching`, else `map` with room for its shelf.
// None when the margins leave no room.
std::optional<Size> size(const Screen& screen, std::size_t windowCount, bool searching, const SwitcherMap& map);

// The frame, top-left form, centred on the screen's full frame; none without
// a screen or without room.
std::optional<Rect> frame(const std::vector<Screen>& screens, Point pointer, std::size_t windowCount, bool searching,
                          const SwitcherMap& map);

} // namespace kavelo::SwitcherPlacement
