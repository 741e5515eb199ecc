#pragma once

// The tiler of one display in auto mode: which windows get a tile, how the
// tiles grow to the windows' learned minimum sizes, which windows share the
// last tile as tabs, and where the windows without a tile wait.

#include "core/geometry.h"
#include "core/grid_plan.h"
#include "core/strip_layout.h"
#include "core/tidy_layout.h"
#include "core/window_entry.h"

#include <map>
#include <optional>
#include <vector>

namespace kavelo::AutoLayout {

// No tile is smaller than `TileFloor::of(in)`: windows beyond the tiles
// that allows wait (or, with a fixed tile count, share the last tile as
// tabs). `ids` are the display's windows in auto order; the first is the main window
// of layouts that have one. `maxTiles` ≥ 1 fixes the tile count (surplus
// windows become tabs of the last tile); otherwise as many tiles are used as
// the minimums allow and the rest wait beyond the screen edges, `offset`
// choosing which run of windows is shown. A `mainShare` of 0 or less is the
// layout's default; 1 or more, or one that is not finite, counts as 0. A plan
// that breaks `GridPlan::isValid` counts as no plan.
StripLayout layout(TidyLayout layout, const std::vector<WindowID>& ids, int maxTiles, int offset, const Rect& in,
                   double gap, double mainShare, const std::map<WindowID, Size>& minimums,
                   const std::optional<GridPlan>& plan);

// Tiles every window of `ids` (up to `maxTiles` when it is ≥ 1, surplus windows
// sharing the last tile as tabs); gives only `frames` and `tabs`.
StripLayout tiled(TidyLayout layout, const std::vector<WindowID>& ids, int maxTiles, const Rect& in, double gap,
                  double mainShare, const std::map<WindowID, Size>& minimums, const std::optional<GridPlan>& plan);

} // namespace kavelo::AutoLayout
