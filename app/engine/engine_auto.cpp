// Auto mode: each display's windows tiled by its layout, the extras waiting
// past the screen edges, sliding the order, and bringing waiting windows
// back. The size learning that follows every application is in
// engine_auto_sizes.cpp.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "core/auto_layout.h"
#include "core/screen_guard.h"
#include "core/tile_floor.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// Closer than this to where it belongs, a parked window is left alone.
constexpr double unparkTolerance = 0.5;

std::string waitingHint(std::size_t n)
{
    return std::to_string(n) + (n == 1 ? " window is" : " windows are") + " waiting. Click the tab at the screen edge";
}

} // namespace

// ---------------------------------------------------------------- applying

void ArrangeEngine::applyAuto()
{
    // Orders outlive a change of mode; only auto mode lays them out.
    if (effectiveMode() != ArrangeMode::auto_)
        return;
    const Preferences& prefs = desktop_.preferences;
    Accessibility& accessibility = desktop_.platform.accessibility;
    managerBehind_ = desktop_.platform.windowServer.managerBehind();
    readBehind_ = readBehind_ || managerBehind_;

    struct Applied {
        std::string key;
        Screen screen;
        Rect area;
        StripLayout layout;
        // The parked windows that are not yet where they are parked.
        std::vector<FrameWrite> parks;
        std::vector<WindowID> parkIds;
        std::vector<bool> onLeft;
    };
    std::vector<Applied> applied;
    std::vector<FrameWrite> tiles;
    std::vector<WindowID> tileIds;

    // Tiles of windows that left every order (closed, floated, hidden, on a
    // display switched off) are no tiles any more; those of desktops not
    // shown now stay for when they show again.
    std::set<WindowID> ordered;
    for (const auto& [key, order] : autoOrder_)
        ordered.insert(order.begin(), order.end());
    std::erase_if(autoFrames_, [&](const auto& entry) { return !ordered.count(entry.first); });

    // Decide every key's layout before anything is written.
    const auto shownNow = visibleKeys();
    for (const auto& [key, order] : autoOrder_) {
        if (!contains(shownNow, key))
            continue;
        const auto place = this->place(key);
        if (!place)
            continue;
        const Screen& display = place->display;
        const Rect& area = place->area;

        std::map<WindowID, Size> minimums;
        for (WindowID id : order) {
            auto bundle = bundles_.find(id);
            if (bundle == bundles_.end())
                continue;
            if (auto size = prefs.minimumSizes().find(bundle->second); size != prefs.minimumSizes().end())
                minimums[id] = size->second;
        }
        const auto chosen = prefs.displayLayouts().find(display.name);
        const TidyLayout kind = chosen == prefs.displayLayouts().end() ? TidyLayout::grid : chosen->second;
        std::optional<GridPlan> grid;
        if (kind == TidyLayout::custom)
            grid = plan(display, int(order.size()));
        const auto offset = autoOffset_.find(key);
        StripLayout layout = AutoLayout::layout(kind, order, prefs.maxTiles(),
                                                offset == autoOffset_.end() ? 0 : offset->second, area,
                                                double(prefs.windowGap()), prefs.mainShare(), minimums, grid);

        // The tab the user chose is the shown one before oversized
        // background tabs are parked, so that it is never the one parked.
        if (auto tab = autoTabs_.find(key); tab != autoTabs_.end())
            for (auto& bar : layout.tabs)
                if (contains(bar.ids, tab->second))
                    bar.active = tab->second;

        for (const auto& [id, frame] : layout.frames) {
            auto element = elements_.find(id);
            if (element == elements_.end() || !element->second)
                continue;
            // A window standing where it was sent is not sent again: every
            // pass wrote every tile and every parked window, and with fifty
            // windows churning the window manager fell ever further behind.
            if (const auto now = readFrame(*element->second); !now || !settled(id, *element->second, *now, frame)) {
                tiles.push_back(FrameWrite{.element = element->second, .frame = frame});
                tileIds.push_back(id);
            }
            autoFrames_[id] = frame;
            laidOut_[id] = frame;
            // A background tab may yet be parked below the screen.
            const bool behind = std::any_of(layout.tabs.begin(), layout.tabs.end(), [id = id](const TabBar& bar) {
                return bar.active != id && contains(bar.ids, id);
            });
            if (behind)
                autoParked_[id] = key;
            else
                autoParked_.erase(id);
        }
        Applied a{key, display, area, std::move(layout)};
        for (const auto& [id, frame] : keptHome(a.layout.parked, display, area)) {
            autoFrames_.erase(id);
            autoParked_[id] = key;
            auto element = elements_.find(id);
            if (element == elements_.end() || !element->second)
                continue;
            if (const auto now = readFrame(*element->second); now && settled(id, *element->second, *now, frame))
                continue;
            a.parks.push_back(FrameWrite{.element = element->second, .frame = frame});
            a.parkIds.push_back(id);
            a.onLeft.push_back(contains(a.layout.waitingLeft, id));
        }
        applied.push_back(std::move(a));
    }

    // Every tile is written, then the windows that did not land where they
    // were sent are moved once more.
    std::vector<std::optional<Rect>> landed;
    const std::vector<bool> answers = AX::setFrames(accessibility, tiles, landed);
    std::vector<FrameWrite> fixes;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        const auto& now = landed[i];
        if (now && (std::abs(now->minX() - tiles[i].frame.minX()) > writeTolerance ||
                    std::abs(now->minY() - tiles[i].frame.minY()) > writeTolerance))
            fixes.push_back(FrameWrite{.element = tiles[i].element, .frame = tiles[i].frame,
                                       .parts = FrameWrite::Parts::position});
        noteAnswer(tileIds[i], tiles[i].frame, now);
    }
    AX::setFrames(accessibility, fixes);
    noteMoves(WindowActions::moves(tiles, answers, landed));

    auto mains = prefs.mainWindows();
    bool mainsChanged = false;
    std::size_t waiting = 0;
    for (auto& [key, display, area, layout, parks, parkIds, onLeft] : applied) {
        const auto& order = autoOrder_[key];
        if (!order.empty())
            if (const auto main = described(order.front())) {
                std::vector<std::string> entry{main->bundleID, main->title};
                auto& stored = mains[display.name];
                if (stored != entry) {
                    stored = std::move(entry);
                    mainsChanged = true;
                }
            }

        autoOffset_[key] = layout.start;
        autoShown_[key] = layout.shown;
        autoWaiting_[key] = Waiting{.left = layout.waitingLeft, .right = layout.waitingRight};
        waiting += layout.waitingLeft.size() + layout.waitingRight.size();

        // Where the manager keeps a parked window (openbox holds some of it
        // on screen) is where it stays until it is parked elsewhere.
        std::vector<std::optional<Rect>> parked;
        AX::setFrames(accessibility, parks, parked);
        for (std::size_t i = 0; i < parks.size(); ++i) {
            noteAnswer(parkIds[i], parks[i].frame, parked[i]);
            settleParked(parks[i].element, parks[i].frame, onLeft[i]);
        }

        parkOversized(layout, display);
        for (const auto& bar : layout.tabs)
            if (auto element = elements_.find(bar.active); element != elements_.end() && element->second)
                element->second->raise();
        autoBars_[key] = layout.tabs;
    }
    if (mainsChanged)
        desktop_.preferences.setMainWindows(std::move(mains));

    // Decided once for the whole application, so that two displays do not
    // take turns at showing it.
    if (waiting > 0 && !toldWaiting_)
        toast_.show(waitingHint(waiting), "arrow.left.and.right");
    toldWaiting_ = waiting > 0;

    updateEdges();
    showAutoBars(true);
    checkSizesLater();
    noteState();
}

void ArrangeEngine::showAutoBars(bool always)
{
    if (effectiveMode() != ArrangeMode::auto_)
        return;
    std::vector<TabBar> bars;
    for (const auto& key : visibleKeys())
        if (auto found = autoBars_.find(key); found != autoBars_.end())
            bars.insert(bars.end(), found->second.begin(), found->second.end());
    if (!always && bars == autoBarsShown_)
        return;
    autoBarsShown_ = bars;
    tabBars_->show(titled(bars), [this](WindowID id) { autoTabSelected(id); });
}

void ArrangeEngine::settleParked(const ElementRef& element, const Rect& frame, bool onLeft)
{
    if (!onLeft || !element)
        return;
    const auto id = element->windowNumber();
    const auto settle = [this, element, frame, id] {
        // A slide or a click may have given the window a tile meanwhile.
        const bool stillLeft = effectiveMode() == ArrangeMode::auto_ && id &&
                               std::any_of(autoWaiting_.begin(), autoWaiting_.end(), [&](const auto& entry) {
                                   return contains(entry.second.left, *id);
                               });
        if (!stillLeft)
            return;
        const auto now = readFrame(*element);
        if (now && std::abs(now->maxX() - frame.maxX()) > writeTolerance)
            element->setPosition(Point(frame.maxX() - now->width(), frame.minY()));
    };
    std::erase_if(settling_, [](const Handle& h) { return !h.pending(); });
    Scheduler& scheduler = desktop_.platform.scheduler;
    settling_.push_back(scheduler.after(0.0, settle));
    settling_.push_back(scheduler.after(settleDelay, settle));
}

// ---------------------------------------------------------------- what is on screen

bool ArrangeEngine::slideAuto(const std::string& key, bool forward)
{
    std::optional<WindowID> target;
    if (auto waiting = autoWaiting_.find(key); waiting != autoWaiting_.end()) {
        if (forward && !waiting->second.right.empty())
            target = waiting->second.right.front();
        else if (!forward && !waiting->second.left.empty())
            target = waiting->second.left.back();
    }
    if (!target) {
        toast_.show("No more windows that way", "arrow.left.and.right");
        return false;
    }
    autoOffset_[key] += forward ? 1 : -1;
    applyAuto();
    if (auto element = elements_.find(*target); element != elements_.end() && element->second) {
        element->second->raise();
        desktop_.platform.workspace.activate(element->second->pid());
    }
    showIndicator();
    return true;
}

void ArrangeEngine::bringIn(WindowID id)
{
    const auto shownNow = visibleKeys();
    std::vector<std::string> keys;
    for (const auto& [key, order] : autoOrder_)
        if (!order.empty() && contains(shownNow, key))
            keys.push_back(key);
    for (const auto& key : keys) {
        const std::size_t tries = autoOrder_[key].size();
        for (std::size_t t = 0; t < tries; ++t) {
            auto waiting = autoWaiting_.find(key);
            if (waiting == autoWaiting_.end())
                break;
            const Waiting before = waiting->second;
            const auto& left = before.left;
            const auto& right = before.right;
            if (auto at = std::find(left.begin(), left.end(), id); at != left.end())
                autoOffset_[key] = int(at - left.begin());
            else if (auto at = std::find(right.begin(), right.end(), id); at != right.end())
                autoOffset_[key] += int(at - right.begin()) + 1;
            else
                break;
            applyAuto();
            // An application that could not lay the key out changes nothing.
            if (autoWaiting_[key] == before)
                break;
        }
    }
}

void ArrangeEngine::bringInFocused()
{
    if (const auto id = focusedID())
        bringIn(*id);
}

std::vector<WindowID> ArrangeEngine::mainFirst(const std::vector<WindowID>& order, const std::string& key)
{
    const auto display = screen(key);
    if (!display)
        return order;
    const auto& mains = desktop_.preferences.mainWindows();
    const auto entry = mains.find(display->name);
    if (entry == mains.end() || entry->second.size() != 2)
        return order;
    const std::string& bundle = entry->second[0];
    const std::string& title = entry->second[1];

    std::optional<WindowID> main;
    for (WindowID id : order) {
        auto b = bundles_.find(id);
        if (b == bundles_.end() || b->second != bundle)
            continue;
        if (!main)
            main = id;
        auto element = elements_.find(id);
        if (element != elements_.end() && AX::value<std::string>(element->second, AX::titleAttribute) == title) {
            main = id;
            break;
        }
    }
    if (!main)
        return order;
    std::vector<WindowID> out{*main};
    for (WindowID id : order)
        if (id != *main)
            out.push_back(id);
    return out;
}

std::optional<StripMemoryWindow> ArrangeEngine::described(WindowID id) const
{
    auto element = elements_.find(id);
    auto bundle = bundles_.find(id);
    if (element == elements_.end() || !element->second || bundle == bundles_.end())
        return std::nullopt;
    StripMemoryWindow window{.id = id,
                             .bundleID = bundle->second,
                             .title = AX::value<std::string>(element->second, AX::titleAttribute).value_or("")};
    if (auto h = originalHeights_.find(id); h != originalHeights_.end())
        window.height = h->second;
    return window;
}

GridPlan ArrangeEngine::plan(const Screen& screen, int count) const
{
    if (desktop_.preferences.gridFollowsCount())
        return GridPlan::forCount(count);
    return desktop_.preferences.plan(screen.name);
}

void ArrangeEngine::autoTabSelected(WindowID id)
{
    for (const auto& [key, order] : autoOrder_)
        if (contains(order, id))
            autoTabs_[key] = id;
    applyAuto();
    auto element = elements_.find(id);
    if (element == elements_.end() || !element->second)
        return;
    element->second->raise();
    desktop_.platform.workspace.activate(element->second->pid());
}

// ---------------------------------------------------------------- letting go

bool ArrangeEngine::dropEmptyKeys(const std::map<std::string, std::vector<WindowID>>& candidates)
{
    // A key shown now without a single candidate: its windows closed, were
    // floated, hid, or its display was switched off. Laying out its old
    // order would pull those windows back; its state goes, and what waited
    // off screen comes back first.
    const auto shownNow = visibleKeys();
    std::vector<std::string> empty;
    for (const auto& [key, order] : autoOrder_)
        if (!candidates.count(key) && contains(shownNow, key))
            empty.push_back(key);
    if (empty.empty())
        return false;
    unparkAuto(empty);
    for (const auto& key : empty) {
        autoOrder_.erase(key);
        autoOffset_.erase(key);
        autoWaiting_.erase(key);
        autoShown_.erase(key);
        autoTabs_.erase(key);
        autoBars_.erase(key);
    }
    return true;
}

void ArrangeEngine::renameAuto(const std::string& key, WindowID vanished, WindowID next)
{
    const auto rename = [&](std::vector<WindowID>& ids) { std::replace(ids.begin(), ids.end(), vanished, next); };
    if (auto shown = autoShown_.find(key); shown != autoShown_.end())
        rename(shown->second);
    if (auto waiting = autoWaiting_.find(key); waiting != autoWaiting_.end()) {
        rename(waiting->second.left);
        rename(waiting->second.right);
    }
    if (auto tab = autoTabs_.find(key); tab != autoTabs_.end() && tab->second == vanished)
        tab->second = next;
    if (auto tile = autoFrames_.find(vanished); tile != autoFrames_.end()) {
        autoFrames_[next] = tile->second;
        autoFrames_.erase(vanished);
    }
}

bool ArrangeEngine::staleKeysShown(bool stale)
{
    const auto shownNow = visibleKeys();
    if (stale)
        for (const auto& [key, order] : autoOrder_)
            if (!contains(shownNow, key))
                autoStaleKeys_.insert(key);
    const auto before = autoStaleKeys_.size();
    std::erase_if(autoStaleKeys_, [&](const std::string& key) { return contains(shownNow, key); });
    return autoStaleKeys_.size() != before;
}

void ArrangeEngine::unparkAuto(const std::vector<std::string>& keys)
{
    std::vector<FrameWrite> writes;
    for (auto it = autoParked_.begin(); it != autoParked_.end();) {
        const auto& [id, key] = *it;
        if (!contains(keys, key)) {
            ++it;
            continue;
        }
        auto element = elements_.find(id);
        const auto frame = element != elements_.end() && element->second ? readFrame(*element->second) : std::nullopt;
        if (frame) {
            auto display = screen(key);
            if (!display)
                display = WindowActions::screen(desktop_, *frame);
            const auto area = display ? WindowActions::area(desktop_, *display) : std::nullopt;
            if (area) {
                const Rect target = letGo(*frame, *area);
                if (differs(target, *frame, unparkTolerance))
                    writes.push_back(FrameWrite{.element = element->second, .frame = target});
            }
        }
        it = autoParked_.erase(it);
    }
    AX::setFrames(desktop_.platform.accessibility, writes);
}

void ArrangeEngine::releaseAuto()
{
    // Neither may park a window again once it is let go.
    settling_.clear();
    sizeCheck_.cancel();
    std::vector<std::string> keys;
    for (const auto& [id, key] : autoParked_)
        if (!contains(keys, key))
            keys.push_back(key);
    unparkAuto(keys);

    // Nor is a window left too small to use.
    std::vector<FrameWrite> writes;
    for (const auto& [key, order] : autoOrder_)
        for (WindowID id : order) {
            auto element = elements_.find(id);
            const auto frame =
                element != elements_.end() && element->second ? readFrame(*element->second) : std::nullopt;
            if (!frame)
                continue;
            auto display = screen(key);
            if (!display)
                display = WindowActions::screen(desktop_, *frame);
            const auto area = display ? WindowActions::area(desktop_, *display) : std::nullopt;
            if (!area)
                continue;
            if (!TileFloor::holds(*frame, TileFloor::of(*area)))
                writes.push_back(FrameWrite{.element = element->second, .frame = letGo(*frame, *area)});
        }
    AX::setFrames(desktop_.platform.accessibility, writes);
}

Rect ArrangeEngine::letGo(const Rect& frame, const Rect& area)
{
    return ScreenGuard::inside(TileFloor::grown(frame, area), area);
}

} // namespace kavelo
