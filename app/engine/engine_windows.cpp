// Floating a window, swapping it along the order, choosing a display's
// layout, and sending a window to the next display.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"

#include <algorithm>

namespace kavelo {

namespace {

// The rectangle of `size` (no larger than `area`) centred in `area`.
Rect centred(const Rect& area, Size size)
{
    const double width = std::min(size.width, area.width());
    const double height = std::min(size.height, area.height());
    return Rect(area.midX() - width / 2, area.midY() - height / 2, width, height);
}

} // namespace

std::optional<Screen> ArrangeEngine::homeScreen(WindowID id, const Rect& frame) const
{
    if (auto home = homes_.find(id); home != homes_.end())
        for (auto& s : screens())
            if (s.name == home->second)
                return s;
    return WindowActions::screen(desktop_, frame);
}

// ---------------------------------------------------------------- float

void ArrangeEngine::toggleFloat()
{
    const auto id = focusedID();
    if (!id)
        return;
    ElementRef element;
    if (auto known = elements_.find(*id); known != elements_.end())
        element = known->second;
    if (!element)
        element = WindowCatalog::read(desktop_).element(*id);
    if (!element)
        return;

    if (floated_.erase(*id)) {
        // Not moved: the pass below takes it in as a new window.
        toast_.show("Window back in the layout", "checkmark.circle.fill");
    } else {
        floated_.insert(*id);
        if (const auto frame = readFrame(*element))
            if (const auto display = homeScreen(*id, *frame))
                if (const auto area = WindowActions::area(desktop_, *display))
                    // Centred at its own size, also where that is larger than the area.
                    element->setPosition(Point(area->midX() - frame->width() / 2, area->midY() - frame->height() / 2));
        toast_.show("Window floating", "checkmark.circle.fill");
    }
    arrange();

    auto now = elements_.find(*id);
    if (now == elements_.end() || !now->second)
        return;
    now->second->raise();
    desktop_.platform.workspace.activate(now->second->pid());
}

// ---------------------------------------------------------------- swap

void ArrangeEngine::swap(int step)
{
    const auto id = focusedID();
    if (!id)
        return;
    const auto shownNow = visibleKeys();
    for (auto& [key, order] : autoOrder_) {
        if (std::find(shownNow.begin(), shownNow.end(), key) == shownNow.end())
            continue;
        const auto at = std::find(order.begin(), order.end(), *id);
        if (at == order.end())
            continue;
        const auto i = at - order.begin();
        const auto j = i + step;
        // Either end of the order leads to the next display.
        if (j < 0 || j >= std::ptrdiff_t(order.size())) {
            sendToNextDisplay();
            return;
        }
        std::swap(order[std::size_t(i)], order[std::size_t(j)]);
        applyAuto();
        return;
    }
}

// ---------------------------------------------------------------- layout choice

void ArrangeEngine::setLayout(TidyLayout layout)
{
    const auto all = screens();
    if (all.empty())
        return;
    // Both bottom-left; the first display stands in for the main one.
    const Point pointer = desktop_.platform.mouse.location();
    const Screen* display = &all.front();
    for (const auto& s : all)
        if (s.frame.contains(pointer)) {
            display = &s;
            break;
        }
    const std::string name = display->name;

    Preferences& prefs = desktop_.preferences;
    // Choosing a layout switches arranging on for the display again.
    auto off = prefs.displaysOff();
    off.erase(name);
    prefs.setDisplaysOff(std::move(off));
    auto layouts = prefs.displayLayouts();
    layouts[name] = layout;
    prefs.setDisplayLayouts(std::move(layouts));

    if (isPaused)
        toast_.show("Arranging is paused", "pause.circle.fill");
    applyAuto();
}

// ---------------------------------------------------------------- next display

void ArrangeEngine::sendToNextDisplay()
{
    const auto all = screens();
    if (all.size() < 2)
        return;
    const auto id = focusedID();
    if (!id)
        return;
    const ElementRef element = WindowCatalog::read(desktop_).element(*id);
    if (!element)
        return;
    const auto frame = readFrame(*element);
    if (!frame)
        return;
    const auto current = homeScreen(*id, *frame);
    if (!current)
        return;
    const auto at = std::find_if(all.begin(), all.end(), [&](const Screen& s) { return s.id == current->id; });
    if (at == all.end())
        return;

    // The next display with room; one without is passed over.
    const std::size_t i = std::size_t(at - all.begin());
    std::optional<Rect> area;
    const Screen* target = nullptr;
    for (std::size_t step = 1; step < all.size() && !area; ++step) {
        target = &all[(i + step) % all.size()];
        area = WindowActions::area(desktop_, *target);
    }
    if (!area)
        return;

    AX::setFrame(*element, centred(*area, Size(frame->width(), frame->height())));
    homes_[*id] = target->name;

    // The window leaves every strip and order; the next pass files it under
    // its new home as a new window.
    for (auto& [key, strip] : strips_) {
        std::vector<WindowID> rest;
        for (const auto& column : strip.columns)
            for (WindowID w : column.ids)
                if (w != *id)
                    rest.push_back(w);
        strip.sync(rest);
    }
    for (auto& [key, order] : autoOrder_)
        std::erase(order, *id);
    lastSignature.clear();
}

} // namespace kavelo
