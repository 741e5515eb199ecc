#include "core/snap.h"
#include "core/raw_value.h"
#include "core/tile_floor.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

std::string_view rawValue(Snap snap)
{
    switch (snap) {
    case Snap::left: return "left";
    case Snap::right: return "right";
    case Snap::top: return "top";
    case Snap::bottom: return "bottom";
    case Snap::leftThird: return "leftThird";
    case Snap::centerThird: return "centerThird";
    case Snap::rightThird: return "rightThird";
    case Snap::maximize: return "maximize";
    case Snap::center: return "center";
    }
    return "left";
}

std::optional<Snap> Snap_from(std::string_view raw)
{
    return caseNamed(allSnaps, raw);
}

namespace {

// A size the window cannot have (negative or not a number) tells nothing
// about the window, so the window is given the whole length instead of a
// frame with a negative or undefined extent.
double fitted(double current, double available)
{
    if (std::isnan(current) || current < 0)
        return available;
    return std::min(current, available);
}

// The target before the floor: halves and thirds of a small rectangle may be
// under it.
Rect unfloored(Snap snap, const Rect& in, Size current)
{
    const double x = in.minX();
    const double y = in.minY();
    const double w = in.width();
    const double h = in.height();
    switch (snap) {
    case Snap::left: return Rect(x, y, w / 2, h);
    case Snap::right: return Rect(x + w / 2, y, w / 2, h);
    case Snap::top: return Rect(x, y, w, h / 2);
    case Snap::bottom: return Rect(x, y + h / 2, w, h / 2);
    case Snap::leftThird: return Rect(x, y, w / 3, h);
    case Snap::centerThird: return Rect(x + w / 3, y, w / 3, h);
    case Snap::rightThird: return Rect(x + 2 * w / 3, y, w / 3, h);
    case Snap::maximize: return Rect(x, y, w, h);
    case Snap::center: {
        const double fw = fitted(current.width, w);
        const double fh = fitted(current.height, h);
        return Rect(x + (w - fw) / 2, y + (h - fh) / 2, fw, fh);
    }
    }
    return Rect(x, y, w, h);
}

} // namespace

// Centring keeps the window's size, so never makes it smaller than the
// floor; the other targets are sizes of their own and keep the floor.
Rect frame(Snap snap, const Rect& in, Size current)
{
    const Rect target = unfloored(snap, in, current);
    return snap == Snap::center ? target : TileFloor::grown(target, in);
}

} // namespace kavelo
