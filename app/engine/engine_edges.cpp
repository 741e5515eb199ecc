// Edge zones where windows wait past a screen edge, and the titles of the
// tab bars.

#include "app/engine/arrange_engine.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "core/screen_coordinates.h"

namespace kavelo {

namespace {

// The last non-empty piece of a dotted identifier ("Safari" of
// "com.apple.Safari"); none when it has no such piece.
std::optional<std::string> lastPiece(const std::string& bundleID)
{
    std::size_t end = bundleID.size();
    while (end > 0 && bundleID[end - 1] == '.')
        --end;
    if (end == 0)
        return std::nullopt;
    const std::size_t dot = bundleID.rfind('.', end - 1);
    const std::size_t begin = dot == std::string::npos ? 0 : dot + 1;
    return bundleID.substr(begin, end - begin);
}

} // namespace

void ArrangeEngine::updateEdges()
{
    const ArrangeMode mode = effectiveMode();
    const auto all = screens();
    const double primary = all.empty() ? 0 : all.front().frame.height();

    std::vector<EdgeZones::Zone> zones;
    for (const auto& key : visibleKeys()) {
        const auto display = screen(key);
        if (!display)
            continue;
        Waiting waiting;
        if (mode == ArrangeMode::strip) {
            if (auto strip = strips_.find(key); strip != strips_.end())
                waiting = parkedWindows(strip->second, *display);
        } else if (mode == ArrangeMode::auto_) {
            if (auto found = autoWaiting_.find(key); found != autoWaiting_.end())
                waiting = found->second;
        }
        if (waiting.empty())
            continue;
        // A display without room has no edge to wait at.
        const auto area = WindowActions::area(desktop_, *display);
        if (!area)
            continue;
        // Over the usable height, but on the display's outer edge.
        const Rect r = ScreenCoordinates::flip(*area, primary);
        if (!waiting.left.empty())
            zones.push_back(EdgeZones::Zone{.key = key,
                                            .onLeft = true,
                                            .frame = Rect(display->frame.minX(), r.minY(), 3, r.height()),
                                            .count = int(waiting.left.size())});
        if (!waiting.right.empty())
            zones.push_back(EdgeZones::Zone{.key = key,
                                            .onLeft = false,
                                            .frame = Rect(display->frame.maxX() - 3, r.minY(), 3, r.height()),
                                            .count = int(waiting.right.size())});
    }
    // The zones die with the engine, and their callback with them.
    edges_->show(std::move(zones), [this](const EdgeZones::Zone& zone) { edgeClicked(zone.key, zone.onLeft); });
}

void ArrangeEngine::edgeClicked(const std::string& key, bool onLeft)
{
    switch (effectiveMode()) {
    case ArrangeMode::off:
        return;
    case ArrangeMode::auto_:
        slideAuto(key, !onLeft);
        return;
    case ArrangeMode::strip:
        break;
    }
    auto strip = strips_.find(key);
    const auto display = screen(key);
    if (strip == strips_.end() || !display)
        return;
    const Waiting parked = parkedWindows(strip->second, *display);
    const auto& side = onLeft ? parked.left : parked.right;
    if (side.empty())
        return;
    // The parked column nearest the screen.
    const WindowID id = onLeft ? side.back() : side.front();
    strip->second.select(id);
    raiseWindow(id);
    applyStrips();
    showIndicator();
}

std::vector<TabBars::Bar> ArrangeEngine::titled(const std::vector<TabBar>& bars) const
{
    std::vector<TabBars::Bar> out;
    out.reserve(bars.size());
    for (const auto& bar : bars) {
        TabBars::Bar titled{.bar = bar};
        for (WindowID id : bar.ids) {
            if (auto element = elements_.find(id); element != elements_.end() && element->second) {
                const auto title = AX::value<std::string>(element->second, AX::titleAttribute);
                if (title && !title->empty()) {
                    titled.titles[id] = *title;
                    continue;
                }
            }
            if (auto bundle = bundles_.find(id); bundle != bundles_.end())
                if (auto piece = lastPiece(bundle->second))
                    titled.titles[id] = *piece;
        }
        out.push_back(std::move(titled));
    }
    return out;
}

} // namespace kavelo
