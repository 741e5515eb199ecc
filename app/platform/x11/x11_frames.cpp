// Frame writes through the window manager: the size a window takes (the
// display's visible frame, its size hints, its own shadow margins), and the
// batch that sends one request for every window before it waits once.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

using Impl = X11Desktop::Impl;

Impl::Bounds Impl::bounds() const
{
    const MainWaits::Timed timed(waits, "the monitors and work areas");
    return Bounds{.monitors = monitors(), .workAreas = workAreas(), .desktop = currentDesktopIndex().value_or(0)};
}

Size Impl::clientSize(const Bounds& b, const ClientProps& p, Size wanted, std::optional<Point> at) const
{
    double width = wanted.width;
    double height = wanted.height;
    const Point corner = at ? *at : rootFrameOf(p).origin;
    const Monitor* under = nullptr;
    for (const auto& m : b.monitors)
        if (m.frame.contains(corner)) {
            under = &m;
            break;
        }
    if (!under && !b.monitors.empty())
        under = &b.monitors.front();
    if (under) {
        Rect visible = under->frame;
        if (b.desktop < b.workAreas.size()) {
            const Rect cut = visible.intersection(b.workAreas[b.desktop]);
            if (!cut.isNull() && !cut.isEmpty())
                visible = cut;
        }
        width = std::min(width, visible.width());
        height = std::min(height, visible.height());
    }
    // From the visible frame to the client window: less the manager's
    // decorations, plus the window's own margins. Size hints speak of the
    // client window, margins included.
    const FrameExtents& e = p.extents;
    const FrameExtents& m = p.margins;
    width += -e.left - e.right + m.left + m.right;
    height += -e.top - e.bottom + m.top + m.bottom;
    const auto& h = p.hints;
    if (p.hasHints) {
        double baseW = 0, baseH = 0;
        if (h.flags & XCB_ICCCM_SIZE_HINT_BASE_SIZE) {
            baseW = h.base_width;
            baseH = h.base_height;
        } else if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
            baseW = h.min_width;
            baseH = h.min_height;
        }
        if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.width_inc > 0 && width > baseW)
            width = baseW + std::floor((width - baseW) / h.width_inc) * h.width_inc;
        if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.height_inc > 0 && height > baseH)
            height = baseH + std::floor((height - baseH) / h.height_inc) * h.height_inc;
        if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_width > 0)
            width = std::min(width, double(h.max_width));
        if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_height > 0)
            height = std::min(height, double(h.max_height));
        if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
            width = std::max(width, double(h.min_width));
            height = std::max(height, double(h.min_height));
        }
    }
    return Size(std::max(width, 1.0), std::max(height, 1.0));
}

bool Impl::sizeSettable(const ClientProps& p) const
{
    if (p.hasState(ewmh._NET_WM_STATE_FULLSCREEN))
        return false;
    const auto& h = p.hints;
    if (p.hasHints && (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) &&
        h.min_width == h.max_width && h.min_height == h.max_height && h.max_width > 0)
        return false;
    if (p.hasAllowedActions &&
        std::find(p.allowedActions.begin(), p.allowedActions.end(), ewmh._NET_WM_ACTION_RESIZE) ==
            p.allowedActions.end())
        return false;
    return true;
}

bool Impl::maximized(const ClientProps& p) const
{
    return p.hasState(ewmh._NET_WM_STATE_MAXIMIZED_VERT) || p.hasState(ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
}

// A maximized window keeps its size against moves; the frame written is the
// one the user asked for.
void Impl::unmaximize(xcb_window_t window, const ClientProps& p)
{
    if (maximized(p))
        changeState(window, false, ewmh._NET_WM_STATE_MAXIMIZED_VERT, ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
}

void Impl::sendStep(std::span<const FrameTarget> targets, WriteStep step, std::vector<bool>& ok,
                    std::vector<bool>& gone, bool skipUnchanged, const Bounds* known,
                    const std::vector<ClientProps>* current)
{
    const bool sizing = step == WriteStep::size;
    const bool whole = step == WriteStep::frame;
    const bool moving = !sizing;
    std::vector<std::size_t> at;
    std::vector<xcb_window_t> windows;
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (!gone[i] && (!sizing || targets[i].sizeToo)) {
            at.push_back(i);
            windows.push_back(targets[i].window);
        }
    if (windows.empty())
        return;
    // The size depends on where the window stands, so earlier moves must
    // have landed; a position names the visible corner, which needs the
    // window's margins.
    if ((sizing || whole) && !current)
        settleWrites();
    // What the server says is where the window stands only once nothing we
    // sent is still on its way; then a request for what a window already
    // has is left out (the manager and the client would only redo it).
    const bool settled = skipUnchanged && !writesOutstanding && !managerBehind;
    std::vector<ClientProps> props;
    if (current) {
        props.reserve(at.size());
        for (std::size_t i : at)
            props.push_back((*current)[i]);
    } else {
        props = read(windows, sizing || whole ? stepFields : X11Fields::state | X11Fields::geometry);
    }
    // Destructions the replies brought in are applied before the numbers
    // are checked.
    drainQueued();
    const Bounds limits = known ? *known : sizing || whole ? bounds() : Bounds{};
    for (std::size_t k = 0; k < at.size(); ++k) {
        const std::size_t i = at[k];
        const FrameTarget& t = targets[i];
        const ClientProps& p = props[k];
        const auto known = knownFor(t.window);
        if (!p.alive || !known || known->number != t.number) {
            ok[i] = false;
            gone[i] = true;
            continue;
        }
        if (moving && p.hasState(ewmh._NET_WM_STATE_FULLSCREEN)) {
            ok[i] = false;
            continue;
        }
        const Point corner(t.frame.minX() - p.margins.left, t.frame.minY() - p.margins.top);
        const bool moves = moving && (!settled || maximized(p) ||
                                      std::lround(corner.x) != std::lround(p.client.minX() - p.extents.left) ||
                                      std::lround(corner.y) != std::lround(p.client.minY() - p.extents.top));
        // Sent with its position, a size is taken against the display under
        // the corner it goes to: the window is configured once, not twice.
        std::optional<Size> size;
        if ((sizing || whole) && t.sizeToo) {
            if (sizeSettable(p))
                size = sizeToSend(limits, t, p, settled, whole ? std::optional(t.frame.origin) : std::nullopt);
            else
                ok[i] = false;
        }
        if (!moves && !size)
            continue;
        unmaximize(t.window, p);
        moveResize(t.window, moves ? std::optional(corner) : std::nullopt, size, p.extents);
    }
    xcb_flush(c);
}

std::optional<Size> Impl::sizeToSend(const Bounds& limits, const FrameTarget& t, const ClientProps& p, bool settled,
                                     std::optional<Point> corner) const
{
    const Size size = clientSize(limits, p, t.frame.size, corner);
    if (settled && !maximized(p) && std::lround(size.width) == std::lround(p.client.width()) &&
        std::lround(size.height) == std::lround(p.client.height()))
        return std::nullopt;
    // The manager already answered this size with one of its own: asked
    // again, it would only stay silent.
    if (const auto it = constrained.find(t.window);
        it != constrained.end() && it->second == std::pair(int(std::lround(size.width)), int(std::lround(size.height))))
        return std::nullopt;
    return size;
}

// Every window's size and position in one request, the size taken against
// the display it is sent to, then a last size for any window the manager
// placed or sized otherwise; the manager is waited for once after each of
// the two. A window the manager left where it stood, though it was sent
// elsewhere, refused: its answer is false, as for a window that says no.
std::vector<bool> Impl::writeFrames(std::span<const FrameTarget> targets, std::vector<std::optional<Rect>>* landed)
{
    std::vector<bool> ok(targets.size(), true);
    std::vector<bool> gone(targets.size(), false);
    const bool anySize = std::any_of(targets.begin(), targets.end(), [](const FrameTarget& t) { return t.sizeToo; });
    std::vector<xcb_window_t> windows;
    for (const auto& t : targets)
        windows.push_back(t.window);
    settleWrites();
    constrained.clear();
    // A position alone keeps the size last sent.
    std::vector<std::optional<Sent>> had(targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (const auto it = sent.find(targets[i].window); it != sent.end() && !targets[i].sizeToo)
            had[i] = it->second;
    // One read serves the frames before and the requests; it and the read
    // after are the server's answers now, not what a caller's reads shared.
    const unsigned fields = anySize ? stepFields : X11Fields::state | X11Fields::geometry;
    const auto before = readFresh(windows, fields);
    // The displays stay as they are for the length of one batch.
    const Bounds limits = anySize ? bounds() : Bounds{};
    sendStep(targets, WriteStep::frame, ok, gone, true, &limits, &before);
    // A manager that has not handled the batch within the barrier's budget
    // leaves the frames read after it as they were: they tell neither a
    // refusal nor the last sizes to send.
    const bool settled = settleWrites();
    // The read for the last sizes is the read after, unless they send
    // something.
    auto after = readFresh(windows, fields);
    if (anySize && settled) {
        sendStep(targets, WriteStep::size, ok, gone, true, &limits, &after);
        if (writesOutstanding) {
            settleWrites();
            after = readFresh(windows, fields);
        }
    }
    drainQueued();
    // The frame a window takes once the manager does as asked, its size
    // held by the window's own hints.
    const auto expectedOf = [&](const FrameTarget& t, const ClientProps& p, std::optional<Point> corner) {
        // Sent as whole pixels.
        Rect expected(Point(std::round(t.frame.minX()), std::round(t.frame.minY())), rootFrameOf(p).size);
        if (t.sizeToo) {
            const Size client = clientSize(limits, p, t.frame.size, corner);
            expected.size = Size(std::round(client.width) + p.extents.left + p.extents.right - p.margins.left -
                                     p.margins.right,
                                 std::round(client.height) + p.extents.top + p.extents.bottom - p.margins.top -
                                     p.margins.bottom);
        }
        return expected;
    };
    if (landed) {
        landed->assign(targets.size(), std::nullopt);
        for (std::size_t i = 0; i < targets.size(); ++i) {
            const auto known = knownFor(targets[i].window);
            if (!after[i].alive || !known || known->number != targets[i].number)
                continue;
            // Read before the manager got to it, the frame is where it stood:
            // what was asked tells better where it goes.
            (*landed)[i] = settled || !ok[i] ? frameOf(after[i])
                                             : map.toPoints(expectedOf(targets[i], after[i], targets[i].frame.origin));
        }
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!ok[i])
            continue;
        if (!after[i].alive) {
            ok[i] = false;
            continue;
        }
        const FrameTarget& t = targets[i];
        if (!settled) {
            // The manager has not answered yet: what it was asked stands
            // for what it will do, so decorations it adds later still bring
            // the frame again.
            if (t.sizeToo) {
                const Size asked = clientSize(limits, before[i], t.frame.size, t.frame.origin);
                sent[t.window] = Sent{t, Size(std::round(asked.width), std::round(asked.height)), before[i].extents,
                                      std::nullopt};
            } else if (had[i]) {
                positionSent(t.window, *had[i], t.frame.origin, std::nullopt);
            }
            continue;
        }
        const ClientProps& p = after[i];
        const Rect now = rootFrameOf(p);
        const Rect expected = expectedOf(t, p, std::nullopt);
        if (FrameCheck::unchanged(rootFrameOf(before[i]), now) && !FrameCheck::unchanged(expected, now))
            ok[i] = false;
        if (t.sizeToo) {
            sent[t.window] = Sent{t, p.client.size, p.extents, now.origin};
        } else if (had[i]) {
            positionSent(t.window, *had[i], t.frame.origin, now.origin);
        }
    }
    return ok;
}

void Impl::positionSent(xcb_window_t window, Sent had, Point origin, std::optional<Point> answered)
{
    had.target.frame.origin = origin;
    had.answered = answered;
    sent[window] = std::move(had);
}

// The manager changed a window's decorations after it was sent its frame:
// when it still has the client's size it was given and stands where it was
// sent or where the manager answered (the manager grew or shrank the frame
// around it, and nobody moved it since), the frame is sent again for the
// new decorations.
void Impl::redecorated(xcb_window_t window)
{
    const auto it = sent.find(window);
    if (it == sent.end())
        return;
    const FrameTarget target = it->second.target;
    const Size client = it->second.client;
    const FrameExtents had = it->second.extents;
    const std::optional<Point> answered = it->second.answered;
    const auto props = readFresh({window}, X11Fields::state | X11Fields::geometry);
    const ClientProps& p = props.front();
    const auto known = knownFor(window);
    if (!p.alive || !known || known->number != target.number) {
        sent.erase(window);
        return;
    }
    // The manager sets the property again on every move, most often to
    // what it was.
    if (p.extents == had)
        return;
    const Rect now = rootFrameOf(p);
    const auto standsAt = [&](const Point& corner) {
        return std::abs(now.minX() - corner.x) <= FrameCheck::tolerance &&
               std::abs(now.minY() - corner.y) <= FrameCheck::tolerance;
    };
    // Where it was sent, or where the manager put it instead (openbox keeps
    // a sliver of a window parked past an edge on screen). Sent while the
    // manager was behind, its answer was never read: where it stands now is
    // that answer.
    if (!answered)
        it->second.answered = now.origin;
    const bool untouched = (standsAt(target.frame.origin) || !answered || standsAt(*answered)) &&
                           std::abs(p.client.width() - client.width) <= FrameCheck::tolerance &&
                           std::abs(p.client.height() - client.height) <= FrameCheck::tolerance;
    if (!untouched || FrameCheck::unchanged(Rect(now.origin, target.frame.size), now))
        return;
    writeFrames(std::span(&target, 1));
}

bool FrameCheck::unchanged(const Rect& a, const Rect& b)
{
    return std::abs(a.minX() - b.minX()) <= tolerance && std::abs(a.minY() - b.minY()) <= tolerance &&
           std::abs(a.width() - b.width()) <= tolerance && std::abs(a.height() - b.height()) <= tolerance;
}

} // namespace kavelo
