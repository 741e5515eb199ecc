// Focus follows mouse and mouse follows focus.

#include "app/engine/arrange_engine.h"

#include "app/services/window_catalog.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// Owners whose windows never take the focus and never hide what is below.
bool lookedThrough(const std::optional<std::string>& owner)
{
    return owner && (*owner == "Dock" || *owner == "Window Server");
}

} // namespace

void ArrangeEngine::mouseMoved()
{
    if (!desktop_.preferences.focusFollowsMouse())
        return;
    // Every move starts the wait again: assigning cancels the pending step.
    hover_ = desktop_.platform.scheduler.after(hoverDelay, [this] { focusUnderMouse(); });
}

void ArrangeEngine::focusUnderMouse()
{
    const Platform& system = desktop_.platform;
    if (system.mouse.pressedButtons() != 0 || animator_.pending() || panning_)
        return;

    const auto all = screens();
    const double h = all.empty() ? 0 : all.front().frame.height();
    const Point bottomLeft = system.mouse.location();
    const Point point(bottomLeft.x, h - bottomLeft.y);
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        return;

    const auto list = system.windowServer.windowList(WindowListOption::onScreenOnly);
    if (!list)
        return;
    const std::int32_t ownPid = system.workspace.ownPid();
    for (const WindowInfo& info : *list) {
        if (!info.bounds.isFinite() || !info.bounds.contains(point))
            continue;
        const bool clear = !(info.alpha > 0);
        if (info.ownerPid == ownPid) {
            // A curtain stands between the pointer and the window it hides:
            // focusing that window would end Clean Space. The other panels
            // (badges, indicator, highlight) are looked through.
            if (info.layer == 0 && !clear)
                return;
            continue;
        }
        if (lookedThrough(info.ownerName) || clear)
            continue;
        // A menu, a status item, a dock, a floating panel: leave the focus.
        if (info.layer != 0 || info.number == 0)
            return;
        if (focusedID() == info.number)
            return;

        const Snapshot snapshot = WindowCatalog::read(desktop_);
        for (const auto& [id, element] : snapshot.elements)
            elements_[id] = element;
        auto element = elements_.find(info.number);
        if (element == elements_.end() || !element->second)
            return;
        element->second->raise();
        system.workspace.activate(element->second->pid());
        return;
    }
}

void ArrangeEngine::warpMouse(WindowID id)
{
    if (!desktop_.preferences.mouseFollowsFocus())
        return;
    // While the strip scrolls, `stripFrames_` still holds the frames from
    // before the scroll: the window goes where its strip's target puts it.
    std::optional<Rect> target;
    const auto shownNow = visibleKeys();
    for (const auto& [key, strip] : strips_) {
        if (std::find(shownNow.begin(), shownNow.end(), key) == shownNow.end())
            continue;
        const auto place = this->place(key);
        if (!place)
            continue;
        const auto frames = keptHome(strip.arranged(place->area, strip.scroll).frames, place->display, place->area);
        if (auto frame = frames.find(id); frame != frames.end()) {
            target = frame->second;
            break;
        }
    }
    if (!target)
        if (auto frame = stripFrames_.find(id); frame != stripFrames_.end())
            target = frame->second;
    if (!target || !target->isFinite())
        return;
    desktop_.platform.mouse.warp(target->center());
}

} // namespace kavelo
