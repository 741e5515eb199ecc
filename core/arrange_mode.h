#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace kavelo {

// How windows are arranged: not at all, tiled as they open, or on the
// scrolling strip. `auto_` has the raw value "auto" (the bare word is a
// C++ keyword).
enum class ArrangeMode { off, auto_, strip };

inline constexpr std::array<ArrangeMode, 3> allArrangeModes{ArrangeMode::off, ArrangeMode::auto_, ArrangeMode::strip};

std::string_view rawValue(ArrangeMode mode);
std::optional<ArrangeMode> ArrangeMode_from(std::string_view raw);
std::string_view title(ArrangeMode mode);

} // namespace kavelo
