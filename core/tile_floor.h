#pragma once

// The smallest size Kavelo gives a window: whatever lays windows out (tidy,
// snapping, the strip, auto mode, a restored workflow or monitor setup)
// never makes one smaller than this in the area it lays it out in.

#include "core/geometry.h"

#include <functional>
#include <vector>

namespace kavelo::TileFloor {

// An eighth of each side of `area` in whole points, at least 120, at most
// the side.
Size of(const Rect& area);

// Whether `frame` is at least `floor` in both directions.
bool holds(const Rect& frame, const Size& floor);

// `frame` where it is at least the floor of `area`; a smaller one grows to
// it and is moved and shrunk as little as needed to lie inside `area`.
Rect grown(const Rect& frame, const Rect& area);

// `frame` for a window now `current` in size: never smaller than the floor
// of `area` where the window is not already smaller, grown as `grown` does.
// A window the user made small may stay that small; none is made so.
Rect grownFor(const Rect& frame, const Size& current, const Rect& area);

// Frames for `count` windows from a layout that gives `tiles(k)` for k
// windows (it may give fewer): the most tiles, up to `count`, of which none
// is under the floor of `area`; the windows beyond them share the last tile,
// stacked. A tile that still is too small grows as `grown` says; every
// frame lies inside `area`.
std::vector<Rect> frames(int count, const Rect& area, const std::function<std::vector<Rect>(int)>& tiles);

} // namespace kavelo::TileFloor
