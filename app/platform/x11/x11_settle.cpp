// The barrier after writes: returns once the window manager has handled
// what was sent, so that whatever is read next is what it applied.
//
// Where the manager lists _NET_REQUEST_FRAME_EXTENTS and has been seen to
// answer it, one such request sent after the writes is answered after them
// (a manager handles its messages in order). Elsewhere (KWin never
// answers, tiling managers do not list it) the written windows tell it
// themselves: a resize brings the client a ConfigureNotify of its new size,
// a move a (synthetic) one with its new corner, states and stacking a
// property change. A window the manager refuses tells nothing; the wait
// then ends after a short quiet period.
//
// The main thread waits on the manager at most `MainWaits::managerBound`
// per barrier, whichever way it is told, and the barriers of one action
// (while its reads are shared) at most `MainWaits::actionBound` together;
// once it was slow enough for one to be given up, or while it is behind,
// its barriers in any `MainWaits::budgetWindow` wait at most
// `MainWaits::waitBudget` together, whatever actions they belong to. So a
// busy manager never holds up a key or a URL for long. A barrier given up
// leaves what is read next as the windows stand; what the manager does
// later comes in as events like any other change.

#include "app/platform/x11/x11_impl.h"

#include <poll.h>

#include <algorithm>
#include <chrono>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

using Steady = std::chrono::steady_clock;

// How long the manager may take to start answering by notifications, and
// how long it may pause between two.
constexpr auto firstAnswer = std::chrono::milliseconds(250);
constexpr auto quietPeriod = std::chrono::milliseconds(50);
// A wait ends this much before the bound, so that a late wake-up on a busy
// machine still keeps within it.
constexpr auto wakeUp = std::chrono::milliseconds(10);
constexpr auto settleBound = MainWaits::managerBound - wakeUp;
// A manager that leaves a frame-extents request unanswered this long has
// stopped answering them.
constexpr auto extentsOverdue = std::chrono::milliseconds(2000);

} // namespace

void Impl::await(xcb_window_t window, const Awaited& what)
{
    if (!wmPresent)
        return;
    Awaited& a = awaited[window];
    if (what.size)
        a.size = what.size;
    if (what.corner)
        a.corner = what.corner;
    a.anyChange = a.anyChange || what.anyChange;
}

std::chrono::milliseconds Impl::barrierAllowance()
{
    const auto now = Steady::now();
    while (!barrierWaits.empty() && now - barrierWaits.front().start > MainWaits::budgetWindow)
        barrierWaits.pop_front();
    // A manager that answers in time gets the whole bound every time: one
    // that only ends its barriers by a quiet pause (i3) takes a
    // `quietPeriod` for each.
    const bool slow = !extentsUnanswered.empty() || std::any_of(barrierWaits.begin(), barrierWaits.end(),
                                                                 [](const BarrierWait& w) { return !w.answered; });
    if (!slow)
        return std::chrono::duration_cast<std::chrono::milliseconds>(settleBound);
    Steady::duration spent{};
    for (const BarrierWait& w : barrierWaits)
        spent += w.length;
    return std::clamp(std::chrono::floor<std::chrono::milliseconds>(MainWaits::waitBudget - spent),
                      std::chrono::milliseconds(0), std::chrono::duration_cast<std::chrono::milliseconds>(settleBound));
}

bool Impl::compositing() const
{
    const auto cookie = xcb_get_selection_owner(c, ewmh._NET_WM_CM_Sn[screenNumber]);
    XReply<xcb_get_selection_owner_reply_t> reply(xcb_get_selection_owner_reply(c, cookie, nullptr));
    return reply && reply->owner != XCB_NONE;
}

bool Impl::settleWrites()
{
    // The manager handles what it is sent in order: an answer to the
    // latest writes is one to those given up before them.
    if (writesOutstanding)
        managerBehind = !settleOnce();
    return !managerBehind;
}

bool Impl::settleOnce()
{
    // Handled now, the writes show in what is read next.
    forgetWindowReads();
    writesOutstanding = false;
    const auto start = Steady::now();
    // An action's barriers share one bound: three in a row, each near its
    // own, held a key or a URL for a third of a second.
    auto bound = std::chrono::duration_cast<Steady::duration>(barrierAllowance());
    if (sharingReads > 0)
        bound = std::clamp(MainWaits::actionBound - wakeUp - actionWaited, Steady::duration{}, bound);
    const bool answered = settleBy(start + bound);
    if (sharingReads > 0)
        actionWaited += Steady::now() - start;
    barrierWaits.push_back(BarrierWait{start, Steady::now() - start, answered});
    return answered;
}

bool Impl::settleBy(Steady::time_point deadline)
{
    const auto left = [&](Steady::duration most) {
        const auto until = std::min(deadline, Steady::now() + most);
        return std::max(std::chrono::milliseconds(0),
                        std::chrono::ceil<std::chrono::milliseconds>(until - Steady::now()));
    };
    // The answer to the request sent at connection time decides the
    // barrier; it usually came long ago, and a manager that never answers
    // costs at most what is left of the bound.
    if (wmPresent && extentsRequestListed && !extentsRequestAnswered && extentsProbePending) {
        extentsProbePending = false;
        const MainWaits::Timed timed(waits, "the window manager's first answer");
        awaitExtentsAnswers(left(settleBound - (Steady::now() - extentsProbeSent)));
    }
    if (wmPresent && extentsRequestListed && extentsRequestAnswered) {
        drainQueued();
        if (extentsUnanswered.empty() || Steady::now() - extentsUnanswered.front() < extentsOverdue) {
            const bool caughtUp = extentsUnanswered.empty();
            const bool answered = askFrameExtents(left(settleBound));
            // A compositing manager answers once it has drawn the batch: one
            // that was not behind before may still be drawing it, and the
            // written windows tell when it is done.
            if (!answered && caughtUp && compositing())
                return awaitNotifications(deadline, true);
            awaited.clear();
            awaitedRoot.clear();
            return answered;
        }
        // It stopped answering; a late answer makes it trusted again.
        extentsRequestAnswered = false;
        extentsUnanswered.clear();
        return awaitNotifications(deadline, true);
    }
    if (wmPresent)
        return awaitNotifications(deadline);
    roundTrip();
    return true;
}

bool Impl::askFrameExtents(std::chrono::milliseconds allowance)
{
    MainWaits::Timed timed(waits, "the window manager's answer to writes");
    xcb_ewmh_request_frame_extents(&ewmh, screenNumber, helper);
    xcb_flush(c);
    const auto start = Steady::now();
    extentsUnanswered.push_back(start);
    const bool answered = awaitExtentsAnswers(allowance);
    if (!answered)
        timed.rename(allowance.count() > 0 ? "the window manager's answer to writes, given up"
                                           : "the window manager's answer to writes, skipped");
    return answered;
}

bool Impl::glideFrames(std::span<const FrameTarget> targets)
{
    const bool answers = wmPresent && extentsRequestListed && extentsRequestAnswered;
    if (!answers || (!extentsUnanswered.empty() && Steady::now() - extentsUnanswered.front() >= extentsOverdue)) {
        writeFrames(targets);
        return true;
    }
    // Its answers that came meanwhile are taken in; none is waited for.
    if (!awaitExtentsAnswers(std::chrono::milliseconds(0)))
        return false;
    std::vector<xcb_window_t> windows;
    for (const FrameTarget& t : targets)
        windows.push_back(t.window);
    // A position needs the window's margins and state only.
    const auto current = readFresh(windows, X11Fields::state | X11Fields::geometry);
    std::vector<bool> ok(targets.size(), true);
    std::vector<bool> gone(targets.size(), false);
    sendStep(targets, WriteStep::position, ok, gone, false, nullptr, &current);
    for (std::size_t i = 0; i < targets.size(); ++i)
        if (const auto it = sent.find(targets[i].window); ok[i] && it != sent.end())
            positionSent(targets[i].window, it->second, targets[i].frame.origin, std::nullopt);
    xcb_ewmh_request_frame_extents(&ewmh, screenNumber, helper);
    xcb_flush(c);
    extentsUnanswered.push_back(Steady::now());
    return true;
}

bool Impl::awaitExtentsAnswers(std::chrono::milliseconds allowance)
{
    const auto deadline = Steady::now() + allowance;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            noteAnswer(event);
            handle(event);
            std::free(event);
        }
        if (extentsUnanswered.empty())
            return true;
        if (xcb_connection_has_error(c))
            return false;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
        if (left <= 0)
            return false;
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(left));
    }
}

// Whether an event is a written window's (or its frame's) answer; an
// answer fully seen is no longer awaited.
bool Impl::noteAnswer(const xcb_generic_event_t* event)
{
    const auto changed = [&](xcb_window_t window) {
        const auto it = awaited.find(window);
        if (it == awaited.end())
            return false;
        if (it->second.anyChange)
            awaited.erase(it);
        return true;
    };
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_CONFIGURE_NOTIFY) {
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        // A frame's own change (the root's children) counts as an answer
        // under way.
        bool ours = e->event == root;
        if (auto it = awaited.find(e->window); it != awaited.end()) {
            ours = true;
            Awaited& a = it->second;
            if (a.size && a.size->first == e->width && a.size->second == e->height) {
                a.size.reset();
            } else if (a.size && !(e->response_type & 0x80)) {
                // The server resized it to another size: the manager held it
                // to limits of its own.
                constrained[e->window] = *a.size;
                a.size.reset();
            }
            if (a.corner && a.corner->first == e->x && a.corner->second == e->y)
                a.corner.reset();
            if (a.anyChange || (!a.size && !a.corner))
                awaited.erase(it);
        }
        return ours;
    }
    if (type == XCB_PROPERTY_NOTIFY) {
        const auto* p = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (p->window == root)
            return awaitedRoot.erase(p->atom) > 0;
        return changed(p->window);
    }
    if (type == XCB_DESTROY_NOTIFY) {
        // A window that closed will tell nothing more.
        return awaited.erase(reinterpret_cast<const xcb_destroy_notify_event_t*>(event)->window) > 0;
    }
    if (type == XCB_MAP_NOTIFY || type == XCB_UNMAP_NOTIFY) {
        // The changed window is the second member of both.
        return changed(reinterpret_cast<const xcb_map_notify_event_t*>(event)->window);
    }
    return false;
}

bool Impl::awaitNotifications(std::chrono::steady_clock::time_point deadline, bool answered)
{
    MainWaits::Timed timed(waits, "the written windows' notifications");
    xcb_flush(c);
    const auto start = Steady::now();
    const bool expecting = !awaited.empty() || !awaitedRoot.empty();
    // Nothing heard yet: the manager may still be on its way; once it
    // answers, a pause means it is done with what it will do.
    auto quietFrom = start;
    bool heard = answered;
    bool settled = true;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            const bool ours = noteAnswer(event);
            handle(event);
            std::free(event);
            if (ours) {
                heard = true;
                quietFrom = Steady::now();
            }
        }
        if (xcb_connection_has_error(c))
            break;
        if (expecting && awaited.empty() && awaitedRoot.empty())
            break;
        const auto now = Steady::now();
        const auto quiet = quietFrom + (heard || !expecting ? quietPeriod : firstAnswer);
        if (now >= quiet)
            break;
        if (now >= deadline) {
            // Cut short while the manager may still answer: what is read
            // next need not show the writes yet.
            settled = !expecting;
            if (!settled)
                timed.rename("the written windows' notifications, given up");
            break;
        }
        pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
        poll(&fd, 1, int(std::chrono::ceil<std::chrono::milliseconds>(std::min(deadline, quiet) - now).count()));
    }
    awaited.clear();
    awaitedRoot.clear();
    return settled;
}

void Impl::roundTrip() const
{
    const MainWaits::Timed timed(waits, "a round trip to the X server");
    XReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

std::optional<std::string> Impl::managerName() const
{
    auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
    xcb_window_t check = XCB_NONE;
    if (!xcb_ewmh_get_supporting_wm_check_reply(e, xcb_ewmh_get_supporting_wm_check(e, root), &check, nullptr) ||
        check == XCB_NONE)
        return std::nullopt;
    XReply<xcb_get_property_reply_t> name(xcb_get_property_reply(
        c, xcb_get_property(c, 0, check, ewmh._NET_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256), nullptr));
    if (!name || name->format != 8 || xcb_get_property_value_length(name.get()) == 0)
        return std::nullopt;
    std::string text(static_cast<const char*>(xcb_get_property_value(name.get())),
                     std::size_t(xcb_get_property_value_length(name.get())));
    if (const auto zero = text.find('\0'); zero != std::string::npos)
        text.resize(zero);
    return text;
}

} // namespace kavelo
