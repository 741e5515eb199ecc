#pragma once

// What a toast says of windows the window manager would not move.

#include "app/services/window_actions.h"

#include <optional>
#include <string>

namespace kavelo::MoveReport {

// None while every window sent went; "i3 kept the windows in place" (or
// "The window manager ...") when none went; "3 of 5 windows moved" when
// some did.
std::optional<std::string> text(const WindowActions::Moves& moves, const std::optional<std::string>& manager);

inline constexpr const char* icon = "exclamationmark.triangle.fill";

} // namespace kavelo::MoveReport
