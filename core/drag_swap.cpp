#include "core/drag_swap.h"

#include <cmath>

namespace kavelo::DragSwap {

std::optional<Pair> pair(const std::map<WindowID, Rect>& tiles, const std::map<WindowID, Rect>& placed,
                         const std::map<WindowID, Rect>& actual, Point drop)
{
    std::optional<WindowID> dragged;
    for (const auto& [id, tile] : tiles) {
        const auto now = actual.find(id);
        if (now == actual.end())
            continue;
        const auto written = placed.find(id);
        const Rect& reference = written != placed.end() ? written->second : tile;
        const Rect& current = now->second;
        const bool sameSize = std::abs(current.width() - reference.width()) < 4 &&
                              std::abs(current.height() - reference.height()) < 4;
        const double moved = std::hypot(current.minX() - reference.minX(), current.minY() - reference.minY());
        if (sameSize && moved > 12) {
            dragged = id;
            break;
        }
    }
    if (!dragged)
        return std::nullopt;
    for (const auto& [id, tile] : tiles)
        if (id != *dragged && tile.contains(drop))
            return Pair{*dragged, id};
    return std::nullopt;
}

} // namespace kavelo::DragSwap
