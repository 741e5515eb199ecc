// The strips on screen: every visible strip laid out for its display's
// usable area, frames written only where a window is 2 points or more off
// (or off where the window manager put it when it was last sent there),
// a change of scroll animated with a 1/60 s timer (position writes only),
// oversized background tabs parked below the screen, the columns parked
// past either edge, and the columns in view kept in front of parked ones.

#include "app/engine/arrange_engine.h"
#include "app/engine/engine_helpers.h"

#include "app/services/ax.h"
#include "app/services/window_actions.h"
#include "core/screen_coordinates.h"
#include "core/screen_guard.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// Where the window stands is where it can be sent: at the target's place,
// with the size it takes for the target's (a terminal whole character
// cells short, a window at its minimum or maximum).
bool settledAt(const Element& element, const Rect& now, const Rect& target)
{
    if (!differs(now, target, ArrangeEngine::writeTolerance))
        return true;
    if (differs(Rect(now.origin, target.size), target, ArrangeEngine::writeTolerance))
        return false;
    const auto size = element.acceptedSize(target.size);
    return size && !differs(now, Rect(target.origin, *size), ArrangeEngine::writeTolerance);
}

// The window stands off the place it was sent to.
bool elsewhere(const Rect& now, const Rect& target)
{
    return std::abs(now.origin.x - target.origin.x) > ArrangeEngine::writeTolerance ||
           std::abs(now.origin.y - target.origin.y) > ArrangeEngine::writeTolerance;
}

// A column sent past an edge of `area` that stands past the display's edge
// there, as far out as the window manager lets it: waiting, not kept in
// place. A tiling manager keeps it whole on the display, in view, though
// maybe a little past the gap around the area. Only the display's left and
// right edges are compared, the same in either vertical origin.
bool waitsPast(const Rect& target, const Rect& now, const Rect& area, const Rect& display)
{
    if (target.maxX() <= area.minX() + 1)
        return now.minX() < display.minX();
    if (target.minX() >= area.maxX() - 1)
        return now.maxX() > display.maxX();
    return false;
}

} // namespace

bool ArrangeEngine::settled(WindowID id, const Element& element, const Rect& now, const Rect& target)
{
    // Sent elsewhere last: that write may yet land, whatever the window
    // shows now, and only a new one overrides it.
    const auto sent = sent_.find(id);
    if (sent != sent_.end() && differs(sent->second, target, stepTolerance))
        return false;
    if (settledAt(element, now, target)) {
        answers_.erase(id);
        return true;
    }
    // Sent there while the manager has yet to answer: sent again, it would
    // only queue behind itself, and under churn the manager fell ever
    // further behind.
    if (managerBehind_ && sent != sent_.end())
        return true;
    const auto answer = answers_.find(id);
    if (answer == answers_.end() || differs(answer->second.target, target, stepTolerance))
        return false;
    if (settledAt(element, now, Rect(answer->second.at, target.size)))
        return true;
    // Read right after the write, the answer may come before the manager's
    // own correction (openbox first takes a parked window past the edge,
    // then brings some of it back): sent once more, a window it puts here
    // again is settled here.
    answer->second.at = now.origin;
    return false;
}

void ArrangeEngine::noteAnswer(WindowID id, const Rect& target, const std::optional<Rect>& now)
{
    sent_[id] = target;
    if (now && elsewhere(*now, target))
        answers_[id] = Answer{target, now->origin};
    else
        answers_.erase(id);
}

// ---------------------------------------------------------------- applying

void ArrangeEngine::applyStrips()
{
    managerBehind_ = desktop_.platform.windowServer.managerBehind();
    readBehind_ = readBehind_ || managerBehind_;
    const Preferences& prefs = desktop_.preferences;
    const bool reducedMotion = desktop_.platform.workspace.reducedMotion();

    // What to write, decided for every visible strip before anything is written.
    struct Target {
        WindowID id;
        ElementRef element;
        Rect frame;
        Rect area;
        Rect display;
        bool settles; // not an animation frame: read back into `stripSettled`
    };
    struct Applied {
        StripLayout layout;
        Screen screen;
        std::vector<WindowID> shown;    // settled: the windows in view
        std::vector<WindowID> parked;   // settled: the windows parked past an edge
    };
    std::vector<Target> targets;
    std::vector<Applied> applied;

    const auto shownNow = visibleKeys();
    for (auto& [key, strip] : strips_) {
        if (!contains(shownNow, key))
            continue;
        const auto place = this->place(key);
        if (!place)
            continue;
        const Screen& display = place->display;
        const Rect& area = place->area;

        strip.gap = double(prefs.windowGap());
        strip.centerMode = prefs.stripCenter();
        strip.keepsHeight = prefs.keepsOriginalHeight();
        strip.originalHeights = originalHeights_;
        StripLayout layout = strip.layout(area);

        const double target = strip.scroll;
        auto onScreen = shown_.find(key);
        const double from = onScreen == shown_.end() ? target : onScreen->second;
        const bool animated = std::abs(from - target) > 1 && !reducedMotion;
        shown_[key] = animated ? from : target;

        std::map<WindowID, Rect> frames;
        std::vector<WindowID> shown, parked;
        if (animated) {
            animate();
            frames = keptHome(strip.arranged(area, from).frames, display, area);
        } else {
            frames = keptHome(layout.frames, display, area);
            for (const auto& [id, frame] : frames) {
                stripFrames_[id] = frame;
                if (!ScreenGuard::isMostlyOff(frame, {area}))
                    laidOut_[id] = frame;
                const Rect& laid = layout.frames.at(id);
                (laid.minX() >= area.minX() - 1 && laid.maxX() <= area.maxX() + 1 ? shown : parked).push_back(id);
            }
        }
        for (const auto& [id, frame] : frames) {
            auto element = elements_.find(id);
            if (element == elements_.end() || !element->second)
                continue;
            placed_[id] = frame.origin;
            targets.push_back(Target{id, element->second, frame, area, display.frame, !animated});
        }
        applied.push_back(Applied{std::move(layout), display, std::move(shown), std::move(parked)});
    }

    // Write what is off, in one batch; then put back the windows that did
    // not land where they were sent.
    std::vector<FrameWrite> writes;
    std::vector<std::size_t> written;
    std::vector<std::optional<Rect>> before(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        before[i] = readFrame(*targets[i].element);
        if (!before[i] || !settled(targets[i].id, *targets[i].element, *before[i], targets[i].frame)) {
            writes.push_back(FrameWrite{.element = targets[i].element, .frame = targets[i].frame});
            written.push_back(i);
        }
    }
    Accessibility& accessibility = desktop_.platform.accessibility;
    std::vector<bool> answers = AX::setFrames(accessibility, writes);
    std::vector<FrameWrite> fixes;
    std::vector<std::optional<Rect>> landed;
    for (std::size_t k = 0; k < written.size(); ++k) {
        const Target& t = targets[written[k]];
        const auto now = readFrame(*t.element);
        landed.push_back(now);
        if (now && elsewhere(*now, t.frame))
            fixes.push_back(FrameWrite{.element = t.element, .frame = t.frame, .parts = FrameWrite::Parts::position});
        // Parking a column is the strip's doing: a manager that keeps some
        // of it on screen has not kept it in place.
        if (now && k < answers.size() && waitsPast(t.frame, *now, t.area, t.display))
            answers[k] = true;
    }
    AX::setFrames(accessibility, fixes);
    noteMoves(WindowActions::moves(writes, answers, landed));

    // What the windows really did: where the manager put one elsewhere, it
    // is not sent there again until its target changes; after a settled
    // (not animated) apply, each window's frame as it stands.
    std::size_t next = 0;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const Target& t = targets[i];
        const bool wasWritten = next < written.size() && written[next] == i;
        if (wasWritten)
            ++next;
        const auto now = wasWritten ? readFrame(*t.element) : before[i];
        if (wasWritten)
            noteAnswer(t.id, t.frame, now);
        if (!t.settles)
            continue;
        if (now)
            stripSettled_[t.id] = *now;
        else
            stripSettled_.erase(t.id);
    }

    std::vector<TabBar> bars;
    for (const auto& [layout, display, shown, parked] : applied) {
        parkOversized(layout, display);
        raiseOverParked(shown, parked);
        // The shown tab lies over its stacked siblings.
        for (const auto& bar : layout.tabs)
            if (auto element = elements_.find(bar.active); element != elements_.end() && element->second)
                element->second->raise();
        bars.insert(bars.end(), layout.tabs.begin(), layout.tabs.end());
    }

    updateEdges();
    tabBars_->show(titled(bars), [this](WindowID id) { tabSelected(id); });
    saveMemory();
    noteState();
}

void ArrangeEngine::tabSelected(WindowID id)
{
    for (auto& [key, strip] : strips_)
        for (const auto& column : strip.columns)
            if (std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end()) {
                strip.select(id);
                break;
            }
    applyStrips();
    raiseWindow(id);
}

// ---------------------------------------------------------------- edges and neighbours

std::map<WindowID, Rect> ArrangeEngine::keptHome(const std::map<WindowID, Rect>& frames, const Screen& screen,
                                                 const Rect& area) const
{
    const auto all = screens();
    if (all.size() < 2)
        return frames;
    const Rect self = screen.frame;
    bool onLeft = false;
    bool onRight = false;
    for (const auto& other : all) {
        if (other.id == screen.id)
            continue;
        const Rect o = other.frame;
        const bool overlapsVertically = o.minY() < self.maxY() && self.minY() < o.maxY();
        onLeft = onLeft || (o.maxX() <= self.minX() + 1 && overlapsVertically);
        onRight = onRight || (o.minX() >= self.maxX() - 1 && overlapsVertically);
    }
    std::map<WindowID, Rect> out;
    for (const auto& [id, frame] : frames)
        out.emplace(id, Strip::keptHome(frame, area, onLeft, onRight));
    return out;
}

void ArrangeEngine::parkOversized(const StripLayout& layout, const Screen& screen)
{
    const auto all = screens();
    const double primary = all.empty() ? 0 : all.front().frame.height();
    const double bottom = ScreenCoordinates::flip(screen.visibleFrame, primary).maxY();

    std::vector<FrameWrite> parks;
    for (const auto& bar : layout.tabs)
        for (WindowID id : bar.ids) {
            if (id == bar.active)
                continue;
            auto element = elements_.find(id);
            auto slot = layout.frames.find(id);
            if (element == elements_.end() || !element->second || slot == layout.frames.end())
                continue;
            const auto position = element->second->position();
            const auto size = element->second->size();
            if (!position || !size)
                continue;
            if (size->width > slot->second.width() + 4 || size->height > slot->second.height() + 4)
                parks.push_back(FrameWrite{.element = element->second,
                                           .frame = Rect(Point(slot->second.minX(), bottom + 2), *size),
                                           .parts = FrameWrite::Parts::position});
        }
    AX::setFrames(desktop_.platform.accessibility, parks);
}

// A parked column can still stand over a column in view: held at this
// display's edge where another display borders it, or kept partly on
// screen by the window manager. The column in view goes in front of it;
// nothing is raised while the stacking is right.
void ArrangeEngine::raiseOverParked(const std::vector<WindowID>& shown, const std::vector<WindowID>& parked)
{
    if (parked.empty() || shown.empty())
        return;
    const auto list = desktop_.platform.windowServer.windowList(WindowListOption::onScreenOnly);
    if (!list)
        return;
    // Front to back, with where each window stands.
    const auto at = [&](WindowID id) {
        return std::find_if(list->begin(), list->end(), [&](const WindowInfo& w) { return w.number == id; });
    };
    std::vector<std::pair<std::ptrdiff_t, WindowID>> behind;
    for (WindowID v : shown) {
        const auto view = at(v);
        if (view == list->end())
            continue;
        const bool covered = std::any_of(parked.begin(), parked.end(), [&](WindowID p) {
            const auto over = at(p);
            if (over == list->end() || over > view)
                return false;
            const Rect cut = over->bounds.intersection(view->bounds);
            return !cut.isNull() && cut.width() > 1 && cut.height() > 1;
        });
        if (covered)
            behind.emplace_back(view - list->begin(), v);
    }
    // The deepest first, so that the columns in view keep their own order.
    std::sort(behind.rbegin(), behind.rend());
    for (const auto& [depth, id] : behind)
        if (auto element = elements_.find(id); element != elements_.end() && element->second)
            element->second->raise();
}

ArrangeEngine::Waiting ArrangeEngine::parkedWindows(const Strip& strip, const Screen& screen) const
{
    Waiting out;
    const auto area = WindowActions::area(desktop_, screen);
    if (!area)
        return out;
    const StripLayout layout = strip.arranged(*area, strip.scroll);
    // A column the window manager kept in view (a tiling manager refuses
    // the move) waits nowhere: it stands where the manager keeps it, as
    // the last settled apply read it back.
    const auto keptInView = [&](WindowID id) {
        const auto laid = stripFrames_.find(id);
        const auto stands = stripSettled_.find(id);
        return laid != stripFrames_.end() && stands != stripSettled_.end() &&
               elsewhere(stands->second, laid->second) &&
               !waitsPast(laid->second, stands->second, *area, screen.frame);
    };
    for (const auto& column : strip.columns) {
        auto frame = layout.frames.find(column.active);
        if (frame != layout.frames.end() && frame->second.maxX() <= area->minX() + 1 && !keptInView(column.active))
            out.left.push_back(column.active);
    }
    for (const auto& column : strip.columns) {
        auto frame = layout.frames.find(column.active);
        if (frame != layout.frames.end() && frame->second.minX() >= area->maxX() - 1 && !keptInView(column.active))
            out.right.push_back(column.active);
    }
    return out;
}

// ---------------------------------------------------------------- animation

void ArrangeEngine::animate()
{
    if (animator_.pending())
        return;
    lastStep_ = desktop_.platform.clock.monotonic();
    animator_ = desktop_.platform.scheduler.every(stepInterval, [this] { step(); });
}

void ArrangeEngine::step()
{
    const Seconds now = desktop_.platform.clock.monotonic();
    const double dt = (now - lastStep_).count();
    lastStep_ = now;
    const double k = std::exp(-16 * dt);

    bool moving = false;
    std::vector<FrameWrite> moves;
    std::vector<std::pair<WindowID, Rect>> moved;
    // Sixty frames a second: the displays and desktops read once a frame.
    const Handle together = desktop_.platform.windowServer.shareReads();
    const auto shownNow = visibleKeys();
    for (const auto& [key, strip] : strips_) {
        if (!contains(shownNow, key))
            continue;
        const auto place = this->place(key);
        if (!place)
            continue;
        const Screen& display = place->display;
        const Rect& area = place->area;

        const double target = strip.scroll;
        auto onScreen = shown_.find(key);
        double cur = onScreen == shown_.end() ? target : onScreen->second;
        if (strip.isPanning) {
            cur = target;
            moving = true;
        } else {
            cur += (1 - k) * (target - cur);
            if (std::abs(target - cur) < 1)
                cur = target;
            else
                moving = true;
        }
        shown_[key] = cur;

        for (const auto& [id, frame] : keptHome(strip.arranged(area, cur).frames, display, area)) {
            auto element = elements_.find(id);
            if (element == elements_.end() || !element->second)
                continue;
            auto last = placed_.find(id);
            if (last != placed_.end() && std::abs(last->second.x - frame.origin.x) < stepTolerance &&
                std::abs(last->second.y - frame.origin.y) < stepTolerance)
                continue;
            moves.push_back(FrameWrite{.element = element->second, .frame = frame,
                                       .parts = FrameWrite::Parts::position});
            moved.emplace_back(id, frame);
        }
    }
    // A frame the manager is not ready for is skipped: the next one goes
    // where the scroll has got to by then.
    if (!moves.empty() && desktop_.platform.accessibility.glide(moves))
        for (const auto& [id, frame] : moved) {
            placed_[id] = frame.origin;
            sent_[id] = frame;
        }

    if (!moving) {
        animator_.cancel();
        applyStrips();
    }
}

} // namespace kavelo
