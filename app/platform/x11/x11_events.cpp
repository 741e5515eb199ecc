// Events from the server, dispatched on the main thread: queued work, window
// destruction, root property changes, screen and keyboard changes.

#include "app/platform/x11/x11_impl.h"

#include "app/platform/x11/x11_xkb.h"

#include <xcb/randr.h>
#include <xcb/xinput.h>

#include <algorithm>
#include <ctime>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- events

void Impl::queue(std::function<void()> work)
{
    const bool first = pendingWork.empty();
    pendingWork.push_back(std::move(work));
    if (!first || dispatching)
        return;
    if (wakeup) {
        wakeup();
    } else if (scheduler) {
        scheduler->post([weak = weak_from_this()] {
            if (auto impl = weak.lock())
                impl->processEvents();
        });
    }
}

void Impl::notifyAll(std::map<std::uint64_t, std::function<void()>> Impl::*observers)
{
    std::vector<std::uint64_t> ids;
    for (const auto& [id, f] : this->*observers)
        ids.push_back(id);
    for (auto id : ids) {
        auto it = (this->*observers).find(id);
        if (it == (this->*observers).end())
            continue;
        auto f = it->second;
        f();
    }
}

void Impl::drainQueued()
{
    while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c)) {
        handle(event);
        std::free(event);
    }
}

void Impl::takeSentEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
        handle(event);
        std::free(event);
    }
}

namespace {

double sleepGap()
{
    timespec boot{}, mono{};
    clock_gettime(CLOCK_BOOTTIME, &boot);
    clock_gettime(CLOCK_MONOTONIC, &mono);
    return double(boot.tv_sec - mono.tv_sec) + double(boot.tv_nsec - mono.tv_nsec) / 1e9;
}

} // namespace

void Impl::processEvents()
{
    if (dispatching)
        return;
    dispatching = true;
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            handle(event);
            std::free(event);
        }
        if (motionPending) {
            motionPending = false;
            std::uint16_t mask = 0;
            const Point p = pointerRoot(&mask);
            if (warpedTo && *warpedTo == p) {
                warpedTo.reset();
            } else {
                warpedTo.reset();
                deliverMouse((mask & XCB_BUTTON_MASK_1) ? MouseEventType::leftDragged : MouseEventType::moved);
            }
        }
        if (pendingWork.empty())
            break;
        auto work = std::move(pendingWork);
        pendingWork.clear();
        for (auto& w : work)
            w();
    }
    // The machine slept when the boot clock ran ahead of the monotonic one.
    const double gap = sleepGap();
    if (lastSleepGap > 0 && gap - lastSleepGap > 2)
        notifyAll(&Impl::wakeObservers);
    lastSleepGap = gap;
    dispatching = false;
}

// Read as the change arrives rather than when the queue runs: a second
// change read later would hide the first, and with it the order of use.
void Impl::noteActiveWindow()
{
    if (windowActivationObservers.empty())
        return;
    const auto active = activeWindow();
    if (!active || active == toldActive)
        return;
    toldActive = active;
    const auto known = knownFor(*active);
    const WindowID number = (known ? *known : adopt(*active)).number;
    queue([this, number] {
        std::vector<std::uint64_t> ids;
        for (const auto& [id, f] : windowActivationObservers)
            ids.push_back(id);
        for (auto id : ids)
            if (const auto it = windowActivationObservers.find(id); it != windowActivationObservers.end()) {
                auto f = it->second;
                f(number);
            }
    });
}

void Impl::handle(xcb_generic_event_t* event)
{
    const std::uint8_t type = event->response_type & 0x7F;
    if (handleXSettingsEvent(event))
        return;
    switch (type) {
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        forget(e->window);
        return;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        forgetProperty(e->window, e->atom);
        if (e->atom == ewmh._NET_FRAME_EXTENTS && sent.count(e->window))
            queue([this, window = e->window] { redecorated(window); });
        // The manager answered a frame-extents request: it can serve as the
        // barrier.
        if (e->window == helper && e->atom == ewmh._NET_FRAME_EXTENTS) {
            extentsRequestAnswered = true;
            extentsProbePending = false;
            if (!extentsUnanswered.empty())
                extentsUnanswered.pop_front();
            if (extentsUnanswered.empty())
                managerBehind = false;
        }
        if (e->window != root)
            return;
        if (e->atom == ewmh._NET_ACTIVE_WINDOW) {
            noteActiveWindow();
            queue([this] {
                const auto active = activeWindow();
                if (!active)
                    return;
                const auto k = knownFor(*active).value_or(adopt(*active));
                lastFocused[k.pid] = *active;
                if (notifiedFront == k.pid)
                    return;
                notifiedFront = k.pid;
                if (activationObservers.empty())
                    return;
                const auto app = runningApp(k.pid);
                if (!app)
                    return;
                std::vector<std::uint64_t> ids;
                for (const auto& [id, f] : activationObservers)
                    ids.push_back(id);
                for (auto id : ids)
                    if (auto it = activationObservers.find(id); it != activationObservers.end()) {
                        auto f = it->second;
                        f(*app);
                    }
            });
        } else if (e->atom == ewmh._NET_CURRENT_DESKTOP) {
            queue([this] { notifyAll(&Impl::desktopObservers); });
        } else if (e->atom == ewmh._NET_SUPPORTING_WM_CHECK) {
            queue([this] { notifyAll(&Impl::managerObservers); });
        } else if (e->atom == ewmh._NET_WORKAREA) {
            shared.workAreas.reset();
            queue([this] { notifyAll(&Impl::displayObservers); });
        } else if (e->atom == ewmh._NET_CLIENT_LIST_STACKING) {
            if (std::any_of(panels.begin(), panels.end(), [](const auto& p) { return p.second.managed; }))
                queue([this] { placePanelsAgain(); });
        }
        return;
    }
    case XCB_KEY_PRESS: {
        const auto* e = reinterpret_cast<const xcb_key_press_event_t*>(event);
        handleKeyPress(e);
        handleGrabbedKey(e->detail, true, e->time);
        return;
    }
    case XCB_KEY_RELEASE: {
        const auto* e = reinterpret_cast<const xcb_key_release_event_t*>(event);
        grabbedKeysDown.erase(e->detail);
        droppedKeys.erase(e->detail);
        handleGrabbedKey(e->detail, false, e->time);
        return;
    }
    case XCB_BUTTON_PRESS: handleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), true); return;
    case XCB_BUTTON_RELEASE: handleButton(reinterpret_cast<const xcb_button_press_event_t*>(event), false); return;
    case XCB_GE_GENERIC: {
        const auto* e = reinterpret_cast<const xcb_ge_generic_event_t*>(event);
        if (hasXInput && e->extension == xinputOpcode) {
            if (e->event_type >= XCB_INPUT_GESTURE_SWIPE_BEGIN && e->event_type <= XCB_INPUT_GESTURE_SWIPE_END)
                handleGesture(e);
            else
                handleRaw(e);
        }
        return;
    }
    default: break;
    }
    if (hasRandr && (type == randrEventBase + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randrEventBase + XCB_RANDR_NOTIFY)) {
        shared.monitors.reset();
        edids.clear();
        queue([this] {
            refreshMap();
            notifyAll(&Impl::displayObservers);
        });
        return;
    }
    if (xkbEventBase && type == xkbEventBase) {
        const std::uint8_t xkbType = reinterpret_cast<const std::uint8_t*>(event)[1];
        if (xkbType == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbType == XCB_XKB_MAP_NOTIFY)
            loadKeymap();
    }
}

} // namespace kavelo
