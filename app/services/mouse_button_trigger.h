#pragma once

// The application's one event tap. Every key, key-up and modifier change is
// offered to `onKey` (the switcher and the strip indicator); the wheel while
// Control and Option are held goes to `onScroll` (the scrolling strip); and
// the chosen extra mouse button runs `action` (the overview).

#include "app/platform/handle.h"
#include "app/platform/input.h"
#include "app/platform/scheduler.h"

#include <cstdint>
#include <functional>

namespace kavelo {

class MouseButtonTrigger {
public:
    // A notched wheel reports lines; one line moves the strip this many points.
    static constexpr double lineScale = 8;

    // `permitted` says whether the accessibility permission is granted now.
    MouseButtonTrigger(EventTap& tap, Scheduler& scheduler, std::function<bool()> permitted);
    // Stops the tap: its callback must not outlive this object.
    ~MouseButtonTrigger();
    MouseButtonTrigger(const MouseButtonTrigger&) = delete;
    MouseButtonTrigger& operator=(const MouseButtonTrigger&) = delete;

    // The extra mouse button that runs `action`, as events number it: 2 the
    // middle button, 3 button 4, 4 button 5; 0 is off.
    std::int64_t button = 0;
    // Queued on the main thread when `button` goes down.
    std::function<void()> action;
    // A Control-Option wheel delta in points (the horizontal one, else the
    // vertical one). Runs inside the tap and answers at once whether it took
    // the scroll: only a taken scroll is kept from the other applications.
    std::function<bool(double delta)> onScroll;
    // Every key down, key up and modifier change, inside the tap; true
    // swallows the event.
    std::function<bool(TapEventType type, const TapEvent& event)> onKey;

    // Starts the tap unless it runs already. False without the permission.
    bool start();
    void stop();
    bool isStarted() const { return started_; }

    // The tap's decision for one event: true drops it.
    bool handle(const TapEvent& event);

private:
    EventTap& tap_;
    Scheduler& scheduler_;
    std::function<bool()> permitted_;
    bool started_ = false;
    Liveness liveness_;
};

} // namespace kavelo
