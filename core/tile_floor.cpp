#include "core/tile_floor.h"

#include "core/screen_guard.h"

#include <algorithm>
#include <cmath>

namespace kavelo::TileFloor {

Size of(const Rect& area)
{
    const Rect r = area.standardized();
    // Whole pixels: a floor of 237.5 grew a window to 238 at x 1672.5, and
    // the server, rounding both, put it a pixel past the area.
    const auto side = [](double length) { return std::min(length, std::max(std::ceil(length / 8), 120.0)); };
    return Size(side(r.width()), side(r.height()));
}

bool holds(const Rect& frame, const Size& floor)
{
    return frame.width() >= floor.width && frame.height() >= floor.height;
}

namespace {

Rect grownTo(const Rect& frame, const Size& least, const Rect& area)
{
    if (holds(frame, least))
        return frame;
    const Rect r = frame.standardized();
    return ScreenGuard::inside(
        Rect(r.origin, Size(std::max(r.width(), least.width), std::max(r.height(), least.height))), area);
}

} // namespace

Rect grown(const Rect& frame, const Rect& area) { return grownTo(frame, of(area), area); }

Rect grownFor(const Rect& frame, const Size& current, const Rect& area)
{
    const Size floor = of(area);
    const auto least = [](double now, double floor) { return std::isnan(now) || now < 0 ? floor : std::min(now, floor); };
    return grownTo(frame, Size(least(current.width, floor.width), least(current.height, floor.height)), area);
}

std::vector<Rect> frames(int count, const Rect& area, const std::function<std::vector<Rect>(int)>& tiles)
{
    if (count < 1)
        return {};
    const Size floor = of(area);
    // Tiles that keep the floor do not overlap, so no more of them fit than
    // the area holds floors side by side (one spare each way for rounding).
    const double most = floor.width > 0 && floor.height > 0
                            ? (std::floor(area.width() / floor.width) + 1) * (std::floor(area.height() / floor.height) + 1)
                            : 1;
    std::vector<Rect> chosen;
    for (int k = int(std::clamp<double>(most, 1, count)); k >= 1; --k) {
        chosen = tiles(k);
        if (chosen.size() > std::size_t(k))
            chosen.resize(std::size_t(k));
        if (!chosen.empty() && std::all_of(chosen.begin(), chosen.end(), [&](const Rect& t) { return holds(t, floor); }))
            break;
    }
    if (chosen.empty())
        return {};
    // A plan's cells with gaps wider than a tiny area can fall outside it.
    for (Rect& t : chosen)
        t = ScreenGuard::inside(grown(t, area), area);
    const Rect last = chosen.back();
    chosen.resize(std::size_t(count), last);
    return chosen;
}

} // namespace kavelo::TileFloor
