#pragma once

// Horizontal swipes from the finger contacts of every trackpad. Frames
// arrive on the devices' own thread (or the main thread, where the backend
// reads gestures from the display) and feed the swipe tracker there; each
// swipe event is delivered to `onSwipe` on the main thread, in order.

#include "app/platform/handle.h"
#include "app/platform/multitouch.h"
#include "app/platform/scheduler.h"
#include "app/platform/system_workspace.h"
#include "core/swipe_tracker.h"

#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

namespace kavelo {

class Trackpad {
public:
    // The system's own horizontal swipe settings and the value meaning "on".
    static constexpr std::string_view preferenceDomain = "com.apple.AppleMultitouchTrackpad";
    static constexpr std::string_view bluetoothPreferenceDomain = "com.apple.driver.AppleBluetoothMultitouch.trackpad";
    static constexpr std::string_view threeFingerKey = "TrackpadThreeFingerHorizSwipeGesture";
    static constexpr std::string_view fourFingerKey = "TrackpadFourFingerHorizSwipeGesture";

    Trackpad(Multitouch& multitouch, Scheduler& scheduler);
    // Stops the devices: no frame reaches a reader that is gone.
    ~Trackpad();
    Trackpad(const Trackpad&) = delete;
    Trackpad& operator=(const Trackpad&) = delete;

    // Main thread only.
    std::function<void(const SwipeEvent&)> onSwipe;

    // Listens for swipes of `fingers` fingers, ending any swipe under way
    // (without an `ended`). Returns the number of devices, 0 when there is
    // nothing to listen to.
    int start(int fingers);
    // Frames still arriving afterwards are ignored.
    void stop();
    bool isStarted() const;

    // Whether the system itself uses the horizontal swipe with this many
    // fingers (3, else the four-finger setting). Needs no running reader.
    static bool systemSwipes(const SystemWorkspace& workspace, int fingers);

private:
    // The devices' thread.
    void receive(const ContactFrame& frame);

    Multitouch& multitouch_;
    Scheduler& scheduler_;
    Liveness liveness_;
    bool listening_ = false;   // our frame callback is installed

    // Shared with the devices' thread.
    mutable std::mutex mutex_;
    SwipeTracker tracker_{3};
    bool active_ = false;
    std::vector<Point> touches_;   // reused from frame to frame
};

} // namespace kavelo
