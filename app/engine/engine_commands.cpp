// Strip commands, the pan of the active strip by wheel and trackpad, and
// the auto-mode wheel.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/window_actions.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kavelo {

namespace {

bool holds(const Strip& strip, WindowID id)
{
    return std::any_of(strip.columns.begin(), strip.columns.end(), [id](const Strip::Column& column) {
        return std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end();
    });
}

} // namespace

// ---------------------------------------------------------------- commands

bool ArrangeEngine::perform(Command command)
{
    // As in a pass: each window is read once until something is written.
    const Handle together = desktop_.platform.windowServer.shareReads();
    if (const auto number = jumpTarget(command)) {
        stripJump(*number);
        return true;
    }
    switch (command) {
    case Command::swapLeft: swap(-1); return true;
    case Command::swapRight: swap(1); return true;
    case Command::layoutGrid: setLayout(TidyLayout::grid); return true;
    case Command::layoutColumns: setLayout(TidyLayout::columns); return true;
    case Command::layoutRows: setLayout(TidyLayout::rows); return true;
    case Command::layoutFocus: setLayout(TidyLayout::focus); return true;
    case Command::layoutCustom: setLayout(TidyLayout::custom); return true;

    case Command::focusLeft: stripFocus(Direction::left); return true;
    case Command::focusRight: stripFocus(Direction::right); return true;
    case Command::focusUp: stripFocus(Direction::up); return true;
    case Command::focusDown: stripFocus(Direction::down); return true;
    case Command::focusFirst: stripFocusEnd(false); return true;
    case Command::focusLast: stripFocusEnd(true); return true;

    case Command::moveLeft: editActiveStrip([](Strip& s) { s.moveColumn(Direction::left); }); return true;
    case Command::moveRight: editActiveStrip([](Strip& s) { s.moveColumn(Direction::right); }); return true;
    case Command::cycleWidth: editActiveStrip([](Strip& s) { s.cycleWidth(); }); return true;
    case Command::fullWidth: editActiveStrip([](Strip& s) { s.toggleFullWidth(); }); return true;
    case Command::center: editActiveStrip([](Strip& s) { s.center(); }); return true;
    case Command::wider: editActiveStrip([](Strip& s) { s.adjustWidth(0.05); }); return true;
    case Command::narrower: editActiveStrip([](Strip& s) { s.adjustWidth(-0.05); }); return true;
    case Command::taller: editActiveStrip([](Strip& s) { s.adjustHeight(0.25); }); return true;
    case Command::shorter: editActiveStrip([](Strip& s) { s.adjustHeight(-0.25); }); return true;
    case Command::equalize: editActiveStrip([](Strip& s) { s.equalizeHeights(); }); return true;
    case Command::pinLeft: editActiveStrip([](Strip& s) { s.togglePin(Strip::Pin::left); }); return true;
    case Command::pinRight: editActiveStrip([](Strip& s) { s.togglePin(Strip::Pin::right); }); return true;
    case Command::stackLeft: editActiveStrip([](Strip& s) { s.stack(Direction::left); }); return true;
    case Command::stackRight: editActiveStrip([](Strip& s) { s.stack(Direction::right); }); return true;
    case Command::popLeft: editActiveStrip([](Strip& s) { s.popOut(Direction::left); }); return true;
    case Command::popRight: editActiveStrip([](Strip& s) { s.popOut(Direction::right); }); return true;
    case Command::tabs: editActiveStrip([](Strip& s) { s.toggleTabbed(); }); return true;

    default: return false;
    }
}

std::optional<std::string> ArrangeEngine::activeStrip() const
{
    const auto shownNow = visibleKeys();
    std::vector<const std::pair<const std::string, Strip>*> kept;
    for (const auto& entry : strips_)
        if (contains(shownNow, entry.first))
            kept.push_back(&entry);
    if (kept.empty())
        return std::nullopt;
    if (const auto focused = focusedID())
        for (const auto* entry : kept)
            if (holds(entry->second, *focused))
                return entry->first;
    return kept.front()->first;
}

void ArrangeEngine::editActiveStrip(const std::function<void(Strip&)>& edit)
{
    const auto key = activeStrip();
    if (!key)
        return;
    auto found = strips_.find(*key);
    if (found == strips_.end())
        return;
    Strip strip = found->second;
    edit(strip);
    found->second = std::move(strip);
    applyStrips();
    showIndicator();
}

// ---------------------------------------------------------------- focus moves

void ArrangeEngine::stripFocus(Direction direction)
{
    moveStripFocus([direction](Strip& s) { return s.moveFocus(direction); });
}

void ArrangeEngine::stripFocusEnd(bool last)
{
    moveStripFocus([last](Strip& s) { return s.focusEnd(last); });
}

void ArrangeEngine::stripJump(int number)
{
    moveStripFocus([number](Strip& s) { return s.focusColumn(number); });
}

void ArrangeEngine::moveStripFocus(const std::function<std::optional<WindowID>(Strip&)>& move)
{
    const auto key = activeStrip();
    if (!key)
        return;
    auto found = strips_.find(*key);
    if (found == strips_.end())
        return;
    const auto window = move(found->second);
    if (!window)
        return;
    raiseWindow(*window);
    applyStrips();
    showIndicator();
    warpMouse(*window);
}

void ArrangeEngine::raiseWindow(WindowID id)
{
    auto element = elements_.find(id);
    if (element == elements_.end() || !element->second)
        return;
    askedFocus_ = AskedFocus{.asked = id, .before = focusedID()};
    element->second->raise();
    desktop_.platform.workspace.activate(element->second->pid());
}

// ---------------------------------------------------------------- panning

void ArrangeEngine::beginPan()
{
    if (panning_ || effectiveMode() != ArrangeMode::strip)
        return;
    const auto key = activeStrip();
    if (!key)
        return;
    auto found = strips_.find(*key);
    if (found == strips_.end() || found->second.columns.empty())
        return;
    panning_ = *key;
    found->second.beginPan();
    tabBars_->show({}, [](WindowID) {});
    animate();
    showIndicator();
}

void ArrangeEngine::pan(double dx)
{
    if (!panning_)
        return;
    auto found = strips_.find(*panning_);
    const auto area = panArea();
    if (found == strips_.end() || !area)
        return;
    found->second.pan(dx, *area);
}

void ArrangeEngine::endPan(double velocity)
{
    settle_.cancel();
    if (!panning_)
        return;
    // The pan ends whatever became of its display: a pan left standing
    // would keep every later pan, drop and hover away, and its strip would
    // keep the animation (and so the passes) going once the display is back.
    const std::string key = *std::exchange(panning_, std::nullopt);
    auto found = strips_.find(key);
    if (found == strips_.end())
        return;
    const auto place = this->place(key);
    if (!place) {
        // Left where it was: there is no screen to snap it to.
        found->second.isPanning = false;
        return;
    }
    if (const auto window = found->second.endPan(velocity, place->area))
        raiseWindow(*window);
    applyStrips();
    showIndicator();
}

std::optional<Rect> ArrangeEngine::panArea() const
{
    if (!panning_)
        return std::nullopt;
    const auto place = this->place(*panning_);
    return place ? std::optional(place->area) : std::nullopt;
}

void ArrangeEngine::swipe(const SwipeEvent& event)
{
    // A stroke across the whole pad pans one and a half usable widths; the
    // strip scrolls against the fingers, so the windows follow them.
    constexpr double travel = 1.5;
    constexpr double throwShare = 0.15;
    const auto width = [this] {
        const auto area = panArea();
        return area ? area->width() : 0.0;
    };
    switch (event.kind) {
    case SwipeEvent::Kind::began: beginPan(); break;
    case SwipeEvent::Kind::moved: pan(event.dx * width() * -travel); break;
    case SwipeEvent::Kind::ended: endPan(event.velocity * width() * travel * -throwShare); break;
    }
}

bool ArrangeEngine::scrolled(double delta)
{
    switch (effectiveMode()) {
    case ArrangeMode::off: return false;
    case ArrangeMode::auto_: return scrolledAuto(delta);
    case ArrangeMode::strip: break;
    }
    beginPan();
    if (!panning_)
        return false;
    pan(-delta);
    settle_ = desktop_.platform.scheduler.after(wheelSettle, [this] { endPan(0); });
    return true;
}

bool ArrangeEngine::scrolledAuto(double delta)
{
    const auto shownNow = visibleKeys();
    const bool waiting = std::any_of(autoWaiting_.begin(), autoWaiting_.end(), [&](const auto& entry) {
        return !entry.second.empty() && contains(shownNow, entry.first);
    });

    // Nothing waits on any display: the wheel is not ours.
    if (!waiting)
        return false;
    wheelTravel_ += delta;
    const Seconds now = desktop_.platform.clock.monotonic();
    if ((now - wheelSettled_).count() <= wheelPause) {
        // Motion during the pause after a slide is dropped.
        wheelTravel_ = 0;
        return true;
    }
    if (std::abs(wheelTravel_) < wheelStep)
        return true;
    const bool forward = wheelTravel_ < 0;
    wheelTravel_ = 0;
    wheelSettled_ = now;
    // The slide writes every frame of the display: not inside the event tap.
    if (const auto key = autoWheelKey(forward))
        wheelSlide_ = desktop_.platform.scheduler.after(0.0, [this, key = *key, forward] { slideAuto(key, forward); });
    return true;
}

std::optional<std::string> ArrangeEngine::autoWheelKey(bool forward) const
{
    // The first shown key with a window waiting on that side; else the
    // first shown key, whose slide then says there is nothing that way.
    const auto shownNow = visibleKeys();
    std::optional<std::string> first;
    for (const auto& [key, waiting] : autoWaiting_) {
        if (!contains(shownNow, key))
            continue;
        if (!(forward ? waiting.right : waiting.left).empty())
            return key;
        if (!first)
            first = key;
    }
    return first;
}

void ArrangeEngine::updateTrackpad()
{
    trackpad_.stop();
    const int fingers = desktop_.preferences.stripSwipeFingers();
    if (effectiveMode() == ArrangeMode::strip && fingers >= 1)
        trackpad_.start(fingers);
}

} // namespace kavelo
