#pragma once

// Telling a window the user dragged onto another tile from one that was
// merely resized or left alone.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <map>
#include <optional>

namespace kavelo::DragSwap {

struct Pair {
    WindowID dragged = 0;
    WindowID target = 0;
    friend bool operator==(const Pair&, const Pair&) = default;
};

// `tiles`: where the layout put each window; `placed`: where each window was
// last written, when known; `actual`: where each window is now; `drop`: where
// the mouse button went up. The dragged window kept its size (within 4
// points) but its top-left corner moved more than 12 points; the target is
// another window whose tile holds the drop point. Windows are tried in the
// order of `tiles`, so the answer never depends on hashing.
std::optional<Pair> pair(const std::map<WindowID, Rect>& tiles, const std::map<WindowID, Rect>& placed,
                         const std::map<WindowID, Rect>& actual, Point drop);

} // namespace kavelo::DragSwap
