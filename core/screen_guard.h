#pragma once

// Keeps a window that is put back somewhere from landing mostly outside
// every display: a remembered frame may name a place that only a mode's
// parking or another monitor setup made sense of.

#include "core/geometry.h"

#include <optional>
#include <vector>

namespace kavelo::ScreenGuard {

// `frame` moved and shrunk as little as needed to lie inside `area`.
Rect inside(const Rect& frame, const Rect& area);

// Less than half of `frame` shows on `screens` together (an empty frame:
// its corner shows on none).
bool isMostlyOff(const Rect& frame, const std::vector<Rect>& screens);

// The index of the screen `frame` overlaps most, else the one nearest to
// it (the earlier one on a tie); none without screens.
std::optional<std::size_t> nearest(const Rect& frame, const std::vector<Rect>& screens);

// `frame`, or when it lies mostly off `screens`, moved (and shrunk where it
// must be) into the room of the screen nearest to it: `rooms[i]` is the
// room of `screens[i]` (its usable area). Unchanged without screens.
Rect shown(const Rect& frame, const std::vector<Rect>& screens, const std::vector<Rect>& rooms);

} // namespace kavelo::ScreenGuard
