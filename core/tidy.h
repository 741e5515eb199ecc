#pragma once

// Tile geometry of the tidy layouts: one rectangle split into tiles, and the
// tiles grown to the minimum sizes of the windows that will sit in them.
// Everything is in top-left-origin points (y grows downward).

#include "core/geometry.h"
#include "core/tidy_layout.h"

#include <optional>
#include <vector>

namespace kavelo::Tidy {

// `count` tiles of `in`; tile 0 is the main tile where the layout has one.
// A share of 0 or less means the layout's default; a share of 1 or more, or
// one that is not finite, would leave the other tiles no room and counts as 0.
std::vector<Rect> frames(TidyLayout layout, int count, const Rect& in, double gap, double mainShare);

// The grid all layouts fall back on: ceil(sqrt(count)) tiles per row, the
// last row taking the remainder; a share widens the first tile of each row.
std::vector<Rect> grid(int count, const Rect& in, double gap, double share);

// Grows each tile to its minimum (one per tile; missing ones count as 0 by 0)
// by taking room from its row's wider tiles, then does the same for heights
// along columns. No value when some row or column cannot hold its minimums.
std::optional<std::vector<Rect>> fit(const std::vector<Rect>& tiles, const std::vector<Size>& minimums, double gap);

// The width pass of `fit`: rows are tiles with the same rounded top and height.
std::optional<std::vector<Rect>> fitWidths(const std::vector<Rect>& tiles, const std::vector<Size>& minimums,
                                           double gap);

} // namespace kavelo::Tidy
