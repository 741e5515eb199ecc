// The arrange pass: the poll's gates, the signature of the on-screen
// windows, which windows are arranged under which layout key, windows that
// replace one another (a browser's tab switch), and the strip and auto
// branches of the pass.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "core/screen_coordinates.h"
#include "core/window_order.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>
#include <unordered_set>

namespace kavelo {

namespace {

void appendNumber(std::string& out, std::uint64_t n)
{
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, n).ptr;
    out.append(buffer, end);
}

void appendList(std::string& out, const std::vector<WindowID>& numbers)
{
    out += '[';
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i)
            out += ", ";
        appendNumber(out, numbers[i]);
    }
    out += ']';
}

// Whether `frame` shows on one of `displays` (top-left frames).
bool showsOn(const std::vector<Rect>& displays, const Rect& frame)
{
    return std::any_of(displays.begin(), displays.end(), [&](const Rect& r) {
        const Rect cut = r.intersection(frame);
        return !cut.isNull() && !cut.isEmpty();
    });
}

std::vector<Rect> framesOf(const std::vector<Screen>& screens)
{
    const double primary = screens.empty() ? 0 : screens.front().frame.height();
    std::vector<Rect> out;
    for (const auto& s : screens)
        out.push_back(ScreenCoordinates::flip(s.frame, primary));
    return out;
}

// A strip's windows column by column, top to bottom.
std::vector<WindowID> windowsOf(const Strip& strip)
{
    std::vector<WindowID> out;
    for (const auto& column : strip.columns)
        out.insert(out.end(), column.ids.begin(), column.ids.end());
    return out;
}

} // namespace

// ---------------------------------------------------------------- tick

void ArrangeEngine::tick()
{
    const Platform& system = desktop_.platform;
    if (effectiveMode() == ArrangeMode::off || isPaused)
        return;
    if (system.clock.monotonic() < pausedUntil())
        return;
    if (!system.accessibility.isTrusted() || animator_.pending())
        return;

    // A pass reads each window once: its reads share their answers until
    // it writes. Read apart, each window's frame and properties were asked
    // one by one, a round trip each, and a pass over fifty windows took a
    // fifth of a second while keys and URLs waited behind it.
    const Handle together = system.windowServer.shareReads();
    // Read before the manager had handled earlier writes, a window still on
    // its way from where it stood was taken for one in place, and nothing
    // that changes later need bring another pass: once the manager has
    // caught up, one more reads every window afresh.
    const bool behind = system.windowServer.managerBehind();
    if (readBehind_ && !behind)
        lastSignature.clear();
    readBehind_ = behind;
    std::string current = signature();
    if (current == lastSignature)
        return;
    lastSignature = std::move(current);

    if (stageManagerIsOn(system.workspace)) {
        if (!toldStageManager_)
            toast_.show("Kavelo pauses while Stage Manager is on", "pause.circle.fill");
        toldStageManager_ = true;
        return;
    }
    toldStageManager_ = false;
    arrange();
}

std::string ArrangeEngine::signature() const
{
    const Platform& system = desktop_.platform;
    std::vector<WindowID> numbers;
    const auto list = system.windowServer.windowList(WindowListOption::onScreenOnly);
    if (list) {
        numbers.reserve(list->size());
        for (const auto& info : *list)
            if (info.layer == 0)
                numbers.push_back(info.number);
    }

    bool waiting = false;
    for (const auto& [key, sides] : autoWaiting_)
        waiting = waiting || !sides.empty();

    std::string out;
    out.reserve(numbers.size() * 8 + 16);
    if (effectiveMode() != ArrangeMode::strip && !waiting) {
        std::sort(numbers.begin(), numbers.end());
        appendList(out, numbers);
    } else {
        const auto front = system.workspace.frontmostApp();
        appendNumber(out, std::uint32_t(front ? front->pid : 0));
        out += ':';
        appendList(out, numbers);
    }
    // A window something else moved off every display is taken back: the
    // move alone changes nothing else here.
    const auto strays = list ? offEveryDisplay(*list) : std::vector<WindowID>{};
    if (!strays.empty()) {
        out += '|';
        appendList(out, strays);
    }
    return out;
}

std::vector<WindowID> ArrangeEngine::offEveryDisplay(const std::vector<WindowInfo>& list) const
{
    std::vector<WindowID> out;
    const auto frames = framesOf(screens());
    for (const auto& info : list) {
        // Windows auto mode parked past an edge are where it wants them.
        if (info.layer != 0 || !info.bounds.isFinite() || info.bounds.isEmpty() || autoParked_.count(info.number))
            continue;
        if (!showsOn(frames, info.bounds))
            out.push_back(info.number);
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<WindowID> ArrangeEngine::focusedID() const
{
    const auto app = workingApp_.current();
    if (!app)
        return std::nullopt;
    const ElementRef window = AX::focusedWindow(desktop_.platform.accessibility, app->pid);
    if (!window)
        return std::nullopt;
    const auto number = window->windowNumber();
    if (!number || *number == 0)
        return std::nullopt;
    return number;
}

// ---------------------------------------------------------------- candidates

std::map<std::string, std::vector<WindowID>> ArrangeEngine::candidates()
{
    // One reading for the windows and the desktops shown: read apart, a
    // desktop switch in between files the windows of the desktop left under
    // the one shown now, and the pass lays them out there.
    const Handle together = desktop_.platform.windowServer.shareReads();
    const Snapshot snapshot = WindowCatalog::read(desktop_);
    for (const auto& [id, element] : snapshot.elements)
        elements_[id] = element;

    const Preferences& prefs = desktop_.preferences;
    const auto all = screens();
    // Each display's key is asked for once per pass.
    std::unordered_map<std::string, std::string> keyOf;
    for (const auto& s : all)
        keyOf.emplace(s.name, keyFor(s));

    std::map<std::string, std::vector<WindowID>> table;
    hiddenListed_.clear();
    strayed_.clear();
    const auto displayFrames = framesOf(all);
    for (const auto& entry : snapshot.windows) {
        // Hidden windows keep their columns unless the user took them out.
        if (entry.state == WindowState::hidden && !floated_.count(entry.id) &&
            !prefs.leftAlone().count(entry.bundleID))
            hiddenListed_.insert(entry.id);
        if (entry.state != WindowState::visible)
            continue;
        const WindowID id = entry.id;
        bundles_[id] = entry.bundleID;

        const ElementRef element = snapshot.element(id);
        if (!element || id >= syntheticWindowIDBase)
            continue;
        if (prefs.leftAlone().count(entry.bundleID) || floated_.count(id))
            continue;
        // A browser's page-less window (an empty document) is its own to manage.
        if (std::find(WindowActions::tabbedBrowsers.begin(), WindowActions::tabbedBrowsers.end(), entry.bundleID) !=
                WindowActions::tabbedBrowsers.end() &&
            AX::value<std::string>(element, AX::documentAttribute) == std::string())
            continue;
        if (onlyApp && *onlyApp != entry.bundleID)
            continue;
        if (AX::value<std::string>(element, AX::subroleAttribute) != std::string(standardWindowSubrole))
            continue;
        if (AX::value<bool>(element, AX::fullScreenAttribute) == true)
            continue;
        if (element->sizeSettable() != true)
            continue;
        const auto frame = AX::rect(*element);
        if (!frame || !frame->isFinite())
            continue;
        const auto found = WindowActions::screen(desktop_, *frame);
        if (!found)
            continue;
        // On no display at all (moved there by something else): it goes
        // back where it belongs.
        if (!showsOn(displayFrames, *frame))
            strayed_.insert(id);
        else
            takenFrames_.try_emplace(id, *frame);

        // A window stays with the display it was first arranged on while
        // that display is connected.
        std::string name = found->name;
        if (auto home = homes_.find(id); home != homes_.end() && keyOf.count(home->second))
            name = home->second;
        homes_[id] = name;
        if (prefs.displaysOff().count(name))
            continue;
        auto key = keyOf.find(name);
        table[key != keyOf.end() ? key->second : keyFor(*found)].push_back(id);
    }
    return table;
}

// ---------------------------------------------------------------- tab switches

// A window listed under another key now, or kept in the order or strip of
// another key (a desktop not shown), moved there: it is no tab that went.
bool ArrangeEngine::movedElsewhere(const std::map<std::string, std::vector<WindowID>>& candidates,
                                   const std::string& key, WindowID id) const
{
    for (const auto& [other, ids] : candidates)
        if (other != key && contains(ids, id))
            return true;
    for (const auto& [other, order] : autoOrder_)
        if (other != key && contains(order, id))
            return true;
    for (const auto& [other, strip] : strips_)
        if (other != key && contains(windowsOf(strip), id))
            return true;
    return false;
}

bool ArrangeEngine::followTabs(const std::map<std::string, std::vector<WindowID>>& candidates)
{
    bool renamedAuto = false;
    for (const auto& [key, ids] : candidates) {
        std::vector<WindowID> known;
        auto strip = strips_.find(key);
        if (strip != strips_.end())
            known = windowsOf(strip->second);
        else if (auto order = autoOrder_.find(key); order != autoOrder_.end())
            known = order->second;

        std::vector<WindowID> fresh;
        for (WindowID id : ids)
            if (!contains(known, id))
                fresh.push_back(id);

        const auto bundleOf = [&](WindowID id) -> std::optional<std::string> {
            auto it = bundles_.find(id);
            return it == bundles_.end() ? std::nullopt : std::optional(it->second);
        };
        for (WindowID vanished : known) {
            if (contains(ids, vanished) || movedElsewhere(candidates, key, vanished))
                continue;
            const auto bundle = bundleOf(vanished);
            auto heir = std::find_if(fresh.begin(), fresh.end(), [&](WindowID id) { return bundleOf(id) == bundle; });
            if (heir == fresh.end())
                continue;
            const WindowID next = *heir;
            fresh.erase(heir);

            if (strip != strips_.end())
                strip->second.rename(vanished, next);
            if (auto order = autoOrder_.find(key); order != autoOrder_.end()) {
                std::replace(order->second.begin(), order->second.end(), vanished, next);
                renameAuto(key, vanished, next);
                renamedAuto = true;
            }
            if (auto h = originalHeights_.find(vanished); h != originalHeights_.end())
                originalHeights_[next] = h->second;
            else
                originalHeights_.erase(next);
            if (auto home = homes_.find(vanished); home != homes_.end())
                homes_[next] = home->second;
            else
                homes_.erase(next);
        }
    }
    return renamedAuto;
}

// ---------------------------------------------------------------- the pass

void ArrangeEngine::arrange()
{
    // With the mode off nothing is laid out, whatever asks for a pass.
    if (effectiveMode() == ArrangeMode::off)
        return;
    const Handle together = desktop_.platform.windowServer.shareReads();
    const auto table = candidates();
    const bool renamed = followTabs(table);
    if (effectiveMode() == ArrangeMode::strip)
        arrangeStrips(table);
    else
        arrangeAuto(table, renamed);
    forgetClosed();
    indicatorFollowsPass();
}

std::map<WindowID, int> ArrangeEngine::slotsOf(const std::vector<WindowID>& ids) const
{
    std::map<WindowID, int> slots;
    const auto& table = desktop_.preferences.stripSlots();
    if (table.empty())
        return slots;
    for (WindowID id : ids) {
        auto bundle = bundles_.find(id);
        if (bundle == bundles_.end())
            continue;
        if (auto slot = table.find(bundle->second); slot != table.end())
            slots[id] = slot->second;
    }
    return slots;
}

void ArrangeEngine::arrangeStrips(const std::map<std::string, std::vector<WindowID>>& candidates)
{
    const auto shownNow = visibleKeys();
    const auto isShown = [&](const std::string& key) {
        return std::find(shownNow.begin(), shownNow.end(), key) != shownNow.end();
    };
    // A shown strip whose windows all belong to hidden applications has no
    // candidates; it is kept, holding only those windows, until they show.
    auto work = candidates;
    for (const auto& [key, strip] : strips_) {
        if (work.count(key) || !isShown(key))
            continue;
        const auto windows = windowsOf(strip);
        if (std::any_of(windows.begin(), windows.end(), [&](WindowID id) { return hiddenListed_.count(id) > 0; }))
            work[key] = {};
    }

    auto focused = focusedID();
    if (askedFocus_ && focused == askedFocus_->before)
        focused = askedFocus_->asked;
    else
        askedFocus_.reset();
    for (const auto& [key, ids] : work) {
        auto found = strips_.find(key);
        Strip strip = found != strips_.end() ? found->second : remembered(key, ids);

        for (const auto& [id, height] : strip.originalHeights)
            originalHeights_.try_emplace(id, height);
        for (WindowID id : ids) {
            if (originalHeights_.count(id))
                continue;
            auto element = elements_.find(id);
            if (element == elements_.end() || !element->second)
                continue;
            if (const auto frame = AX::rect(*element->second); frame && frame->isFinite())
                originalHeights_[id] = frame->height();
        }

        // A hidden application's windows are not candidates; these keep
        // their columns until it shows them again (or closes them).
        std::vector<WindowID> live(ids.rbegin(), ids.rend());
        for (WindowID id : windowsOf(strip))
            if (!contains(ids, id) && hiddenListed_.count(id))
                live.push_back(id);
        strip.sync(live, focused, slotsOf(ids));
        strips_[key] = std::move(strip);
    }

    // Strips of desktops not shown now, and of displays not connected, stay.
    for (auto it = strips_.begin(); it != strips_.end();) {
        if (!work.count(it->first) && isShown(it->first)) {
            memory_.erase(it->first);
            it = strips_.erase(it);
        } else {
            ++it;
        }
    }
    applyStrips();
}

void ArrangeEngine::arrangeAuto(const std::map<std::string, std::vector<WindowID>>& candidates, bool renamed)
{
    const bool stale = autoStale_;
    autoStale_ = false;
    // The heir of a tab switch inherits a tile it may not stand in: a
    // window of the same application that came from another desktop.
    bool changed = renamed;
    for (const auto& [key, ids] : candidates) {
        // A window found on no display, not parked there by this mode, is
        // laid out again where it belongs.
        if (std::any_of(ids.begin(), ids.end(),
                        [&](WindowID id) { return strayed_.count(id) > 0 && !autoParked_.count(id); }))
            changed = true;
        const std::vector<WindowID> old = autoOrder_.count(key) ? autoOrder_[key] : std::vector<WindowID>{};
        if (std::is_permutation(old.begin(), old.end(), ids.begin(), ids.end()))
            continue;
        std::vector<WindowID> order;
        if (old.empty()) {
            order = mainFirst(ids, key);
        } else {
            for (WindowID id : old)
                if (contains(ids, id))
                    order.push_back(id);
            for (WindowID id : ids)
                if (!contains(old, id))
                    order.push_back(id);
        }
        autoOrder_[key] = WindowOrder::placing(order, slotsOf(order));
        changed = true;
    }
    // Both run: a key that empties must not keep the others from being
    // marked stale.
    const bool dropped = dropEmptyKeys(candidates);
    const bool staleShown = staleKeysShown(stale);
    if (stale || changed || dropped || staleShown)
        applyAuto();
    else
        // Another desktop shows: its tiles keep their places, its bars show.
        showAutoBars(false);
    bringInFocused();
}

Strip ArrangeEngine::remembered(const std::string& key, const std::vector<WindowID>& ids) const
{
    auto saved = memory_.find(key);
    if (saved == memory_.end())
        return Strip();
    std::vector<StripMemoryWindow> live;
    for (WindowID id : ids) {
        auto element = elements_.find(id);
        auto bundle = bundles_.find(id);
        if (element == elements_.end() || !element->second || bundle == bundles_.end())
            continue;
        StripMemoryWindow window{.id = id,
                                 .bundleID = bundle->second,
                                 .title = AX::value<std::string>(element->second, AX::titleAttribute).value_or("")};
        if (auto h = originalHeights_.find(id); h != originalHeights_.end())
            window.height = h->second;
        live.push_back(std::move(window));
    }
    return Strip(saved->second, live);
}

} // namespace kavelo
