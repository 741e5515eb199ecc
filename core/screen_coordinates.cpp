#include "core/screen_coordinates.h"

namespace kavelo::ScreenCoordinates {

Rect flip(const Rect& rect, double primaryHeight)
{
    return Rect(rect.minX(), primaryHeight - rect.maxY(), rect.width(), rect.height());
}

} // namespace kavelo::ScreenCoordinates
