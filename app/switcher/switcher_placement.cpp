#include "app/switcher/switcher_placement.h"

#include "core/screen_coordinates.h"

#include <algorithm>

namespace kavelo::SwitcherPlacement {

std::optional<Screen> screen(const std::vector<Screen>& screens, Point pointer)
{
    // The main screen would come next; the first one stands in for it.
    for (const Screen& s : screens)
        if (s.frame.contains(pointer))
            return s;
    if (screens.empty())
        return std::nullopt;
    return screens.front();
}

std::optional<Size> size(const Screen& screen, std::size_t windowCount, bool searching, const SwitcherMap& map)
{
    const double visibleWidth = screen.visibleFrame.width();
    const double visibleHeight = screen.visibleFrame.height();
    double width = 0;
    double height = 0;
    if (searching) {
        const std::size_t cards = std::clamp(windowCount, fewestCards, mostCards);
        width = std::min(double(cards) * cardWidth + cardExtra, visibleWidth - resultsMargin);
        height = resultsHeight;
    } else {
        width = std::min(std::max(map.size.width + mapExtraWidth, mapMinimumWidth), visibleWidth - mapMargin);
        height = map.size.height + mapExtraHeight + (map.underneath.empty() ? 0 : shelfHeight);
        height = std::min(height, visibleHeight - mapMargin);
    }
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    return Size(width, height);
}

std::optional<Rect> frame(const std::vector<Screen>& screens, Point pointer, std::size_t windowCount, bool searching,
                          const SwitcherMap& map)
{
    const auto chosen = screen(screens, pointer);
    if (!chosen)
        return std::nullopt;
    const auto sized = size(*chosen, windowCount, searching, map);
    if (!sized)
        return std::nullopt;
    const Rect bottomLeft(chosen->frame.midX() - sized->width / 2, chosen->frame.midY() - sized->height / 2,
                          sized->width, sized->height);
    return ScreenCoordinates::flip(bottomLeft, screens.front().frame.height());
}

} // namespace kavelo::SwitcherPlacement
