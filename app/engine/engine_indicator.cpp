// The strip indicator's feed: which tiles it shows, where, and what a tile
// click or drag does.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/window_actions.h"

#include <algorithm>
#include <utility>

namespace kavelo {

namespace {

// A column counts as on screen when more than this many points of its
// shown window are.
constexpr double inViewWidth = 40;

std::optional<std::string> bundleOf(const std::map<WindowID, std::string>& bundles, WindowID id)
{
    auto found = bundles.find(id);
    return found == bundles.end() ? std::nullopt : std::optional<std::string>(found->second);
}

} // namespace

void ArrangeEngine::showIndicator()
{
    const ArrangeMode mode = effectiveMode();
    if (mode == ArrangeMode::auto_) {
        showAutoIndicator();
        return;
    }
    if (mode == ArrangeMode::off)
        return;
    const auto key = activeStrip();
    if (!key)
        return;
    auto found = strips_.find(*key);
    if (found == strips_.end() || found->second.columns.size() < 2)
        return;
    const auto place = this->place(*key);
    if (!place)
        return;
    const Rect& area = place->area;

    const Strip& strip = found->second;
    const StripLayout layout = strip.arranged(area, strip.scroll);
    std::vector<StripTile> tiles;
    tiles.reserve(strip.columns.size());
    for (const auto& column : strip.columns) {
        auto frame = layout.frames.find(column.active);
        const bool inView =
            frame != layout.frames.end() && frame->second.intersection(area).width() > inViewWidth;
        tiles.push_back(StripTile{.id = column.active,
                                  .bundleID = bundleOf(bundles_, column.active),
                                  .width = column.width,
                                  .count = int(column.ids.size()),
                                  .focused = strip.focused && contains(column.ids, *strip.focused),
                                  .inView = inView});
    }

    const std::string owner = *key;
    auto select = [this, owner](WindowID id) {
        if (auto s = strips_.find(owner); s != strips_.end())
            s->second.select(id);
        raiseWindow(id);
        applyStrips();
        showIndicator();
    };
    auto move = [this, owner](WindowID id, int index) {
        if (auto s = strips_.find(owner); s != strips_.end())
            s->second.moveColumn(id, index);
        applyStrips();
        showIndicator();
    };
    indicator_.show(place->display, std::move(tiles), std::move(select), std::move(move), holding);
}

void ArrangeEngine::showAutoIndicator()
{
    const auto focused = focusedID();
    const auto shownNow = visibleKeys();
    std::optional<std::string> key;
    if (focused)
        for (const auto& [k, order] : autoOrder_)
            if (contains(shownNow, k) && contains(order, *focused)) {
                key = k;
                break;
            }
    if (!key)
        for (const auto& [k, order] : autoOrder_)
            if (contains(shownNow, k)) {
                key = k;
                break;
            }
    if (!key)
        return;
    const std::vector<WindowID>& order = autoOrder_.at(*key);
    const auto display = screen(*key);
    if (order.size() < 2 || !display)
        return;

    const auto shownIt = autoShown_.find(*key);
    std::vector<StripTile> tiles;
    tiles.reserve(order.size());
    for (WindowID id : order)
        tiles.push_back(StripTile{.id = id,
                                  .bundleID = bundleOf(bundles_, id),
                                  .width = 0.5,
                                  .count = 1,
                                  .focused = focused == id,
                                  .inView = shownIt != autoShown_.end() && contains(shownIt->second, id)});

    const std::string owner = *key;
    auto select = [this](WindowID id) {
        raiseWindow(id);
        bringIn(id);
        showIndicator();
    };
    auto move = [this, owner](WindowID id, int index) {
        auto found = autoOrder_.find(owner);
        if (found == autoOrder_.end())
            return;
        std::vector<WindowID>& ids = found->second;
        auto at = std::find(ids.begin(), ids.end(), id);
        if (at == ids.end())
            return;
        ids.erase(at);
        const int to = std::clamp(index, 0, int(ids.size()));
        ids.insert(ids.begin() + to, id);
        applyAuto();
        showIndicator();
    };
    indicator_.show(*display, std::move(tiles), std::move(select), std::move(move), holding);
}

// An indicator on screen, or held up, shows the desktop in front: after a
// change, that desktop's strip or order, or nothing.
void ArrangeEngine::indicatorFollowsDesktop()
{
    const IndicatorPanel* panel = indicator_.panel();
    followingDesktop_.reset();
    if (!holding && !(panel && panel->isShown()))
        return;
    indicator_.hide();
    showIndicator();
    // A desktop shown for the first time has no strip or order until a
    // pass has read its windows: the indicator follows after that pass.
    if (!indicator_.panel() || !indicator_.panel()->isShown())
        followingDesktop_ = desktop_.platform.clock.monotonic();
}

void ArrangeEngine::indicatorFollowsPass()
{
    const auto since = std::exchange(followingDesktop_, std::nullopt);
    if (!since)
        return;
    // Unheld, it had faded by now.
    if (holding || desktop_.platform.clock.monotonic() - *since < Seconds(StripIndicator::fadeDelay))
        showIndicator();
}

} // namespace kavelo
