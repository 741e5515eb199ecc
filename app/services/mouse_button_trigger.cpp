#include "app/services/mouse_button_trigger.h"

#include <utility>

namespace kavelo {

MouseButtonTrigger::MouseButtonTrigger(EventTap& tap, Scheduler& scheduler, std::function<bool()> permitted)
    : tap_(tap), scheduler_(scheduler), permitted_(std::move(permitted))
{
}

MouseButtonTrigger::~MouseButtonTrigger() { stop(); }

bool MouseButtonTrigger::start()
{
    if (started_)
        return true;
    if (permitted_ && !permitted_())
        return false;
    if (!tap_.start([this](const TapEvent& event) { return handle(event); }))
        return false;
    started_ = true;
    return true;
}

void MouseButtonTrigger::stop()
{
    if (!started_)
        return;
    tap_.stop();
    started_ = false;
}

bool MouseButtonTrigger::handle(const TapEvent& event)
{
    switch (event.type) {
    case TapEventType::keyDown:
    case TapEventType::keyUp:
    case TapEventType::flagsChanged:
        return onKey && onKey(event.type, event);

    case TapEventType::tapDisabledByTimeout:
    case TapEventType::tapDisabledByUserInput:
        if (started_)
            tap_.reenable();
        return false;

    case TapEventType::scrollWheel: {
        constexpr std::uint64_t held = EventFlag::control | EventFlag::option;
        if ((event.flags & held) != held || !onScroll)
            return false;
        double delta = event.scrollDeltaX;
        if (delta == 0)
            delta = event.scrollDeltaY;
        if (!event.continuous)
            delta *= lineScale;
        return onScroll(delta);
    }

    case TapEventType::otherMouseDown:
    case TapEventType::otherMouseUp:
        if (button == 0 || event.buttonNumber != button)
            return false;
        if (event.type == TapEventType::otherMouseDown)
            scheduler_.post(liveness_.guard([this] {
                if (action)
                    action();
            }));
        return true;
    }
    return false;
}

} // namespace kavelo
