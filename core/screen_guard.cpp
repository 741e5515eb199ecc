#include "core/screen_guard.h"

#include <algorithm>
#include <cmath>

namespace kavelo::ScreenGuard {

namespace {

// The straight-line gap between two rectangles; 0 when they touch or overlap.
double distance(const Rect& a, const Rect& b)
{
    const double dx = std::max({0.0, b.minX() - a.maxX(), a.minX() - b.maxX()});
    const double dy = std::max({0.0, b.minY() - a.maxY(), a.minY() - b.maxY()});
    return std::hypot(dx, dy);
}

} // namespace

Rect inside(const Rect& frame, const Rect& area)
{
    const Rect r = frame.standardized();
    const Rect a = area.standardized();
    const double width = std::min(r.width(), a.width());
    const double height = std::min(r.height(), a.height());
    const double x = std::clamp(r.minX(), a.minX(), a.maxX() - width);
    const double y = std::clamp(r.minY(), a.minY(), a.maxY() - height);
    return Rect(x, y, width, height);
}

bool isMostlyOff(const Rect& frame, const std::vector<Rect>& screens)
{
    const Rect r = frame.standardized();
    if (r.isEmpty())
        return std::none_of(screens.begin(), screens.end(), [&](const Rect& s) { return s.contains(r.origin); });
    // Mirrored displays show the same part once.
    double shown = 0;
    for (std::size_t i = 0; i < screens.size(); ++i)
        if (std::find(screens.begin(), screens.begin() + std::ptrdiff_t(i), screens[i]) == screens.begin() + std::ptrdiff_t(i))
            shown += r.intersection(screens[i]).area();
    return shown * 2 < r.area();
}

std::optional<std::size_t> nearest(const Rect& frame, const std::vector<Rect>& screens)
{
    std::optional<std::size_t> best;
    double bestOverlap = 0, bestDistance = 0;
    for (std::size_t i = 0; i < screens.size(); ++i) {
        const double overlap = frame.intersection(screens[i]).area();
        const double away = distance(frame, screens[i]);
        if (!best || overlap > bestOverlap || (overlap == bestOverlap && away < bestDistance)) {
            best = i;
            bestOverlap = overlap;
            bestDistance = away;
        }
    }
    return best;
}

Rect shown(const Rect& frame, const std::vector<Rect>& screens, const std::vector<Rect>& rooms)
{
    if (!isMostlyOff(frame, screens))
        return frame;
    const auto i = nearest(frame, screens);
    return i && *i < rooms.size() ? inside(frame, rooms[*i]) : frame;
}

} // namespace kavelo::ScreenGuard
