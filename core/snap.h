#pragma once

// The snapping shortcuts' targets: a half, a third, the whole usable area or
// the window's own size in the middle.

#include "core/geometry.h"

#include <array>
#include <optional>
#include <string_view>

namespace kavelo {

enum class Snap { left, right, top, bottom, leftThird, centerThird, rightThird, maximize, center };

inline constexpr std::array<Snap, 9> allSnaps{
    Snap::left,        Snap::right,      Snap::top,      Snap::bottom, Snap::leftThird,
    Snap::centerThird, Snap::rightThird, Snap::maximize, Snap::center,
};

std::string_view rawValue(Snap snap);
std::optional<Snap> Snap_from(std::string_view raw);

// The target frame inside `in` (top-left origin) for a window now `current`
// in size. Nothing is rounded; halves and thirds meet without a gap.
Rect frame(Snap snap, const Rect& in, Size current);

} // namespace kavelo
