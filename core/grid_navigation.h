#pragma once

#include "core/direction.h"

// The overview's card grid: cards laid out row by row.
namespace kavelo::GridNavigation {

// Columns for `count` cards in a width × height area, aiming at cells 1.6
// times as wide as high; never more than `count`, at least 1.
int columns(int count, double width, double height);

// Left and right step through reading order and wrap at the ends; up and
// down stay put at the first and last rows.
int move(int index, Direction direction, int count, int columns);

} // namespace kavelo::GridNavigation
