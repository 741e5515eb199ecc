#pragma once

// Window frames live in the top-left-origin global space; display frames
// arrive with a bottom-left origin on the primary display. One flip turns
// either into the other.

#include "core/geometry.h"

namespace kavelo::ScreenCoordinates {

// (minX, primaryHeight - maxY, width, height); its own inverse.
Rect flip(const Rect& rect, double primaryHeight);

} // namespace kavelo::ScreenCoordinates
