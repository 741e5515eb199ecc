#include "core/switcher_map.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// A ratio that leaves the dividend alone when the divisor would blow it up.
double fitRatio(double dividend, double divisor) { return divisor <= 1 ? dividend : dividend / divisor; }

double overlapArea(const Rect& a, const Rect& b)
{
    const Rect i = a.intersection(b);
    return i.isNull() ? 0 : i.area();
}

} // namespace

SwitcherMap::SwitcherMap(const std::vector<WindowEntry>& windows, const std::vector<Rect>& displayRects, Size fitting,
                         double gap)
{
    std::vector<Rect> displays;
    displays.reserve(displayRects.size());
    for (const Rect& r : displayRects)
        displays.push_back(r.standardized());
    std::stable_sort(displays.begin(), displays.end(),
                     [](const Rect& a, const Rect& b) { return a.minX() < b.minX(); });

    double totalWidth = 0;
    double tallest = displays.empty() ? 1 : 0;
    for (const Rect& d : displays) {
        totalWidth += d.width();
        tallest = std::max(tallest, d.height());
    }
    const double available =
        displays.empty() ? fitting.width : fitting.width - gap * static_cast<double>(displays.size() - 1);
    double scale = std::min(fitRatio(available, totalWidth), fitRatio(fitting.height, tallest));
    // Too little room, or a gap wider than the room, would mirror the map.
    if (!(scale > 0))
        scale = 0;

    // Windows by display, in input order (front to back).
    std::vector<std::vector<size_t>> assigned(displays.size());
    for (size_t i = 0; i < windows.size(); ++i) {
        const WindowEntry& w = windows[i];
        const double area = w.frame.area();
        bool placed = false;
        if (w.state == WindowState::visible && area > 0 && !displays.empty()) {
            size_t best = 0;
            double bestOverlap = overlapArea(w.frame, displays[0]);
            for (size_t d = 1; d < displays.size(); ++d) {
                const double overlap = overlapArea(w.frame, displays[d]);
                if (overlap > bestOverlap) {
                    best = d;
                    bestOverlap = overlap;
                }
            }
            if (bestOverlap >= 0.25 * area) {
                assigned[best].push_back(i);
                placed = true;
            }
        }
        if (!placed)
            underneath.push_back(w);
    }

    screens.reserve(displays.size());
    double x = 0;
    for (size_t d = 0; d < displays.size(); ++d) {
        const Rect& display = displays[d];
        const Rect frame(x, scale * (tallest - display.height()) * 0.5, std::floor(scale * display.width()),
                         std::floor(scale * display.height()));
        MapScreen screen{.frame = frame};
        screen.tiles.reserve(assigned[d].size());
        for (auto it = assigned[d].rbegin(); it != assigned[d].rend(); ++it) {
            const WindowEntry& w = windows[*it];
            const Rect clip = w.frame.intersection(display);
            screen.tiles.push_back(MapTile{
                .window = w,
                .frame = Rect(frame.origin.x + scale * (clip.minX() - display.minX()),
                              frame.origin.y + scale * (clip.minY() - display.minY()), scale * clip.width(),
                              scale * clip.height()),
            });
        }
        screens.push_back(std::move(screen));
        x = frame.maxX() + gap;
    }
    size = Size(std::max(0.0, x - gap), std::floor(tallest * scale));
}

} // namespace kavelo
