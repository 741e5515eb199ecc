#include "app/services/trackpad.h"

#include <nlohmann/json.hpp>

namespace kavelo {

namespace {

bool isFingerOnPad(const Touch& touch) { return touch.state == 4 || touch.state == 5; }

bool isOn(const SystemWorkspace& workspace, std::string_view domain, std::string_view key)
{
    const auto value = workspace.preference(domain, key);
    return value && value->is_number_integer() && *value == 2;
}

} // namespace

Trackpad::Trackpad(Multitouch& multitouch, Scheduler& scheduler) : multitouch_(multitouch), scheduler_(scheduler)
{
    touches_.reserve(16);
}

Trackpad::~Trackpad() { stop(); }

int Trackpad::start(int fingers)
{
    stop();
    {
        std::lock_guard lock(mutex_);
        tracker_ = SwipeTracker(fingers);
        active_ = true;
    }
    const int devices = multitouch_.start(fingers, [this](const ContactFrame& frame) { receive(frame); });
    listening_ = true;
    if (devices <= 0) {
        std::lock_guard lock(mutex_);
        active_ = false;
        return 0;
    }
    return devices;
}

void Trackpad::stop()
{
    {
        std::lock_guard lock(mutex_);
        active_ = false;
    }
    // Outside the lock: stopping waits for a frame being delivered, and that
    // frame may be waiting for the lock.
    if (listening_)
        multitouch_.stop();
    listening_ = false;
}

bool Trackpad::isStarted() const
{
    std::lock_guard lock(mutex_);
    return active_;
}

void Trackpad::receive(const ContactFrame& frame)
{
    std::lock_guard lock(mutex_);
    if (!active_)
        return;
    touches_.clear();
    for (const Touch& touch : frame.touches)
        if (isFingerOnPad(touch))
            touches_.push_back(Point(touch.x, touch.y));
    const auto event = tracker_.update(touches_, frame.time);
    if (!event)
        return;
    scheduler_.post(liveness_.guard([this, event = *event] {
        if (onSwipe)
            onSwipe(event);
    }));
}

bool Trackpad::systemSwipes(const SystemWorkspace& workspace, int fingers)
{
    const std::string_view key = fingers == 3 ? threeFingerKey : fourFingerKey;
    return isOn(workspace, preferenceDomain, key) || isOn(workspace, bluetoothPreferenceDomain, key);
}

} // namespace kavelo
