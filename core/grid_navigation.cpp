#include "core/grid_navigation.h"

#include <cmath>

namespace kavelo::GridNavigation {

int columns(int count, double width, double height)
{
    if (count < 2 || !(width > 0) || !(height > 0))
        return 1;
    const double c = std::ceil(std::sqrt(width * count / height / 1.6));
    // Limit while still a double: an infinite or huge ratio must not overflow the conversion.
    if (!(c >= 1))
        return 1;
    if (c >= count)
        return count;
    return static_cast<int>(c);
}

int move(int index, Direction direction, int count, int columns)
{
    if (count < 1)
        return 0;
    switch (direction) {
    case Direction::left: return ((index - 1 + count) % count + count) % count;
    case Direction::right: return ((index + 1) % count + count) % count;
    case Direction::up: return index < columns ? index : index - columns;
    case Direction::down: return index + columns < count ? index + columns : index;
    }
    return index;
}

} // namespace kavelo::GridNavigation
