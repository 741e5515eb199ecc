// The engine's lifecycle: start, settings and display changes, adoption of
// windows the shell placed, release at quit, pauses, and the layout keys.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/platform/paths.h"
#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "core/raw_value.h"
#include "core/screen_guard.h"
#include "core/text.h"
#include "core/tidy.h"
#include "core/tile_floor.h"

#include <algorithm>
#include <cctype>

namespace kavelo {

std::string_view rawValue(PauseReason reason)
{
    switch (reason) {
    case PauseReason::workflow: return "workflow";
    case PauseReason::display: return "display";
    case PauseReason::cleanSpace: return "cleanSpace";
    case PauseReason::fillScreen: return "fillScreen";
    }
    return "workflow";
}

std::optional<PauseReason> PauseReason_from(std::string_view raw) { return caseNamed(allPauseReasons, raw); }

ArrangeEngine::ArrangeEngine(Desktop desktop, WorkingApp& workingApp, Toast& toast, EnginePanels& panels)
    : desktop_(desktop), workingApp_(workingApp), toast_(toast), panels_(panels),
      border_(panels.makeHighlight(workingApp)), tabBars_(panels.makeTabBars()), edges_(panels.makeEdgeZones()),
      lastMode_(desktop.preferences.arrangeMode()),
      trackpad_(desktop.platform.multitouch, desktop.platform.scheduler),
      indicator_(panels, desktop.platform.scheduler, desktop.platform.clock, desktop.platform.mouse),
      memoryFile_(Paths::current().applicationSupport / "Strips.json")
{
    lastStep_ = desktop.platform.clock.monotonic();
}

ArrangeEngine::~ArrangeEngine() = default;

// ---------------------------------------------------------------- lifecycle

void ArrangeEngine::start()
{
    if (timer_.pending())
        return;
    const Platform& system = desktop_.platform;

    readMemory();
    trackpad_.onSwipe = [this](const SwipeEvent& event) { swipe(event); };
    if (border_)
        border_->start();
    mouseUp_ = system.mouse.monitor(MouseEventMask::leftUp, [this](const MouseEvent& event) {
        // The event's point is bottom-left like display frames.
        const auto all = screens();
        const double h = all.empty() ? 0 : all.front().frame.height();
        dropped(Point(event.location.x, h - event.location.y));
    });
    updateTrackpad();
    workingApp_.start();
    desktopChange_ = system.workspace.onDesktopChange([this] {
        updateEdges();
        showAutoBars(false);
        indicatorFollowsDesktop();
    });
    mouseMove_ = system.mouse.monitor(MouseEventMask::moved, [this](const MouseEvent&) { mouseMoved(); });
    wake_ = system.workspace.onWake([this] { updateTrackpad(); });
    closes_ = system.windowServer.onWindowClosed([this](WindowID id) { forget(id); });
    timer_ = system.scheduler.every(pollInterval, [this] { tick(); });
}

void ArrangeEngine::forget(WindowID id)
{
    // Numbers are never given again, so nothing of a closed window is asked
    // for once the passes have let go of it; kept, these would grow with
    // every window ever opened.
    elements_.erase(id);
    closed_.insert(id);
}

void ArrangeEngine::forgetClosed()
{
    const auto held = [&](WindowID id) {
        for (const auto& [key, strip] : strips_)
            for (const auto& column : strip.columns)
                if (std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end())
                    return true;
        for (const auto& [key, order] : autoOrder_)
            if (std::find(order.begin(), order.end(), id) != order.end())
                return true;
        return false;
    };
    for (auto it = closed_.begin(); it != closed_.end();) {
        const WindowID id = *it;
        if (held(id)) {
            ++it;
            continue;
        }
        bundles_.erase(id);
        homes_.erase(id);
        floated_.erase(id);
        originalHeights_.erase(id);
        stripFrames_.erase(id);
        stripSettled_.erase(id);
        answers_.erase(id);
        sent_.erase(id);
        laidOut_.erase(id);
        takenFrames_.erase(id);
        placed_.erase(id);
        it = closed_.erase(it);
    }
}

void ArrangeEngine::settingsChanged()
{
    // Letting go of a mode reads every window it held: once each.
    const Handle together = desktop_.platform.windowServer.shareReads();
    updateTrackpad();
    lastSignature.clear();

    const auto& off = desktop_.preferences.displaysOff();
    std::vector<std::string> switchedOff;
    for (const auto& [key, strip] : strips_) {
        const auto display = screen(key);
        if (display && off.count(display->name))
            switchedOff.push_back(key);
    }
    release(switchedOff);
    for (const auto& key : switchedOff)
        memory_.erase(key);

    autoStale_ = true;

    const ArrangeMode mode = effectiveMode();
    if (mode == lastMode_)
        return;
    // Nothing lays the auto windows out any more: none may stay parked.
    if (lastMode_ == ArrangeMode::auto_ && mode == ArrangeMode::off)
        releaseAuto();
    lastMode_ = mode;
    // What the last mode did with the windows says nothing of the next.
    laidOut_.clear();
    takenFrames_.clear();
    edges_->show({}, [](const EdgeZones::Zone&) {});
    if (mode != ArrangeMode::strip && !strips_.empty())
        release();
    else if (mode != ArrangeMode::strip)
        unparkStrays({});
    strips_.clear();
    memory_.clear();
    writeMemory();
    homes_.clear();
    tabBars_->show({}, [](WindowID) {});
}

void ArrangeEngine::displaysChanged()
{
    // A pan does not outlive a change of the displays it runs on.
    endPan(0);
    if (effectiveMode() == ArrangeMode::auto_)
        homes_.clear();
    // A display that comes back keeps its order, but its windows were laid
    // out elsewhere meanwhile, and a display of the same name may have
    // another size: every shown tile is written again.
    autoStale_ = true;
    pause(PauseReason::display, 0);
}

void ArrangeEngine::adoptWindows()
{
    if (effectiveMode() != ArrangeMode::auto_)
        return;
    for (const auto& [key, ids] : candidates()) {
        std::vector<WindowID> order;
        if (auto old = autoOrder_.find(key); old != autoOrder_.end())
            for (WindowID id : old->second)
                if (std::find(ids.begin(), ids.end(), id) != ids.end())
                    order.push_back(id);
        for (WindowID id : ids)
            if (std::find(order.begin(), order.end(), id) == order.end())
                order.push_back(id);
        autoOrder_[key] = std::move(order);
    }
    pause(PauseReason::workflow, 0);
    pause(PauseReason::display, 0);
}

std::map<WindowID, Rect> ArrangeEngine::userFrames() const
{
    std::map<WindowID, Rect> out;
    const auto add = [&](WindowID id) {
        if (const auto laid = laidOut_.find(id); laid != laidOut_.end())
            out[id] = laid->second;
        else if (const auto taken = takenFrames_.find(id); taken != takenFrames_.end())
            out[id] = taken->second;
    };
    for (const auto& [key, strip] : strips_)
        for (const auto& column : strip.columns)
            for (WindowID id : column.ids)
                add(id);
    for (const auto& [key, order] : autoOrder_)
        for (WindowID id : order)
            add(id);
    return out;
}

void ArrangeEngine::release()
{
    stopAnimating();
    indicator_.hide();
    tabBars_->show({}, [](WindowID) {});
    edges_->show({}, [](const EdgeZones::Zone&) {});
    std::vector<std::string> keys;
    std::set<WindowID> columns;
    for (const auto& [key, strip] : strips_) {
        keys.push_back(key);
        for (const auto& column : strip.columns)
            columns.insert(column.ids.begin(), column.ids.end());
    }
    release(keys);
    unparkStrays(columns);
    if (effectiveMode() == ArrangeMode::auto_)
        releaseAuto();
}

void ArrangeEngine::unparkStrays(const std::set<WindowID>& released)
{
    // A column parked past an edge and then minimised left its strip where
    // it stood: restored once the strip is gone, it would come back there.
    std::vector<Rect> areas;
    for (const Screen& display : screens())
        if (const auto area = WindowActions::area(desktop_, display))
            areas.push_back(*area);
    if (areas.empty())
        return;
    std::vector<FrameWrite> writes;
    for (auto it = stripFrames_.begin(); it != stripFrames_.end();) {
        const auto [id, laid] = *it;
        it = stripFrames_.erase(it);
        if (released.count(id))
            continue;
        if (!ScreenGuard::isMostlyOff(laid, areas))
            continue;
        const auto element = elements_.find(id);
        const auto frame = element != elements_.end() && element->second ? readFrame(*element->second) : std::nullopt;
        // Moved back by someone else meanwhile: theirs to keep.
        if (!frame || !ScreenGuard::isMostlyOff(*frame, areas))
            continue;
        const Rect& area = areas[*ScreenGuard::nearest(*frame, areas)];
        writes.push_back(FrameWrite{.element = element->second, .frame = letGo(*frame, area)});
    }
    AX::setFrames(desktop_.platform.accessibility, writes);
}

void ArrangeEngine::release(const std::vector<std::string>& keys)
{
    if (keys.empty())
        return;
    const Snapshot snapshot = WindowCatalog::read(desktop_);
    std::map<WindowID, ElementRef> working = elements_;
    for (const auto& [id, element] : snapshot.elements)
        working[id] = element;

    std::vector<FrameWrite> writes;
    for (const auto& key : keys) {
        auto strip = strips_.find(key);
        if (strip == strips_.end())
            continue;
        std::vector<ElementRef> windows;
        for (const auto& column : strip->second.columns)
            for (WindowID id : column.ids)
                if (auto e = working.find(id); e != working.end() && e->second)
                    windows.push_back(e->second);
        // The windows of a display gone since (the monitors changed) go to
        // the display the first of them lies on now. A display without
        // room keeps its strip: there is nowhere to lay its windows out.
        auto place = this->place(key);
        if (!place && !screen(key) && !windows.empty())
            if (const auto frame = readFrame(*windows.front()))
                if (auto display = WindowActions::screen(desktop_, *frame))
                    if (auto area = WindowActions::area(desktop_, *display))
                        place = Place{std::move(*display), *area};
        if (!place)
            continue;
        // Many windows would make a grid of slivers: those beyond the tiles
        // of a usable size share the last one.
        const Rect& area = place->area;
        const auto frames = TileFloor::frames(int(windows.size()), area, [&](int k) {
            return Tidy::frames(TidyLayout::grid, k, area, releaseGap, 0);
        });
        for (std::size_t i = 0; i < windows.size() && i < frames.size(); ++i)
            writes.push_back(FrameWrite{.element = windows[i], .frame = frames[i]});
        strips_.erase(strip);
        // What was on screen of this strip is gone with it.
        shown_.erase(key);
    }
    AX::setFrames(desktop_.platform.accessibility, writes);
}

void ArrangeEngine::stopAnimating()
{
    animator_.cancel();
    panning_.reset();
    settle_.cancel();
}

// ---------------------------------------------------------------- pauses

void ArrangeEngine::pause(PauseReason reason, double seconds)
{
    pausedUntil_[reason] = desktop_.platform.clock.monotonic() + Seconds(std::max(0.0, seconds));
    lastSignature.clear();
}

Seconds ArrangeEngine::pausedUntil(PauseReason reason) const
{
    auto it = pausedUntil_.find(reason);
    return it == pausedUntil_.end() ? distantPast : it->second;
}

Seconds ArrangeEngine::pausedUntil() const
{
    Seconds latest = distantPast;
    for (const auto& [reason, until] : pausedUntil_)
        latest = std::max(latest, until);
    return latest;
}

ArrangeMode ArrangeEngine::effectiveMode() const { return testMode.value_or(desktop_.preferences.arrangeMode()); }

// ---------------------------------------------------------------- keys and displays

std::vector<Screen> ArrangeEngine::screens() const { return desktop_.platform.displays.screens(); }

std::string ArrangeEngine::keyFor(const Screen& screen) const
{
    const std::uint64_t desktop = desktop_.platform.windowServer.currentDesktop(screen.id).value_or(0);
    return screen.name + "|" + std::to_string(desktop);
}

std::vector<std::string> ArrangeEngine::visibleKeys() const
{
    std::vector<std::string> keys;
    for (const auto& s : screens())
        keys.push_back(keyFor(s));
    return keys;
}

std::optional<ArrangeEngine::Place> ArrangeEngine::place(std::string_view key) const
{
    auto display = screen(key);
    if (!display)
        return std::nullopt;
    const auto area = WindowActions::area(desktop_, *display);
    if (!area)
        return std::nullopt;
    return Place{std::move(*display), *area};
}

std::optional<Screen> ArrangeEngine::screen(std::string_view key) const
{
    // The desktop part follows the last "|"; the name before it may hold
    // "|" itself.
    const auto bar = key.rfind('|');
    if (bar == std::string_view::npos)
        return std::nullopt;
    const std::string_view name = key.substr(0, bar);
    for (auto& s : screens())
        if (s.name == name)
            return s;
    return std::nullopt;
}

std::optional<std::string> ArrangeEngine::clashingApp(const SystemWorkspace& workspace)
{
    for (const auto& app : workspace.runningApps()) {
        if (!app.bundleID)
            continue;
        for (const auto& [bundleID, name] : otherManagers)
            if (*app.bundleID == bundleID)
                return std::string(name);
    }
    const auto manager = workspace.windowManagerName();
    if (!manager)
        return std::nullopt;
    const std::string named = text::lowercased(*manager);
    for (const auto& [own, name] : tilingManagers)
        if (named == own)
            return std::string(name);
    return std::nullopt;
}

bool ArrangeEngine::stageManagerIsOn(const SystemWorkspace& workspace)
{
    const auto value = workspace.preference("com.apple.WindowManager", "GloballyEnabled");
    if (!value)
        return false;
    if (value->is_boolean())
        return value->get<bool>();
    if (value->is_number())
        return value->get<double>() != 0;
    if (value->is_string()) {
        std::string text = value->get<std::string>();
        std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
        return text == "yes" || text == "true" || text == "1";
    }
    return false;
}

} // namespace kavelo
