#pragma once

// The overview's filter over window states.

#include "core/window_entry.h"

#include <array>
#include <optional>
#include <string_view>

namespace kavelo {

enum class WindowScope { all, thisDesktop, minimized, otherDesktops };

inline constexpr std::array<WindowScope, 4> allWindowScopes{WindowScope::all, WindowScope::thisDesktop,
                                                            WindowScope::minimized, WindowScope::otherDesktops};

std::string_view rawValue(WindowScope scope);
std::optional<WindowScope> WindowScope_from(std::string_view raw);
std::string_view title(WindowScope scope);
bool includes(WindowScope scope, WindowState state);

} // namespace kavelo
