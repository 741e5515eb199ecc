#pragma once

// Raw finger contacts of the trackpads.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kavelo {

struct Touch {
    std::int32_t state = 0;   // 4 and 5 mean a finger on the pad
    float x = 0;              // 0 to 1 across the pad
    float y = 0;              // 0 to 1
    friend bool operator==(const Touch&, const Touch&) = default;
};

struct ContactFrame {
    std::uint64_t device = 0;
    std::vector<Touch> touches;
    double time = 0;          // seconds, the device's time stamp
    std::int64_t frame = 0;
    friend bool operator==(const ContactFrame&, const ContactFrame&) = default;
};

class Multitouch {
public:
    virtual ~Multitouch() = default;
    // Starts every trackpad; `onFrame` runs on the devices' own thread or on
    // the main thread, as the backend delivers. Returns the number of
    // devices started (0: none). `fingers` is the swipe the reader listens
    // for; a backend that must claim swipes from other programs claims only
    // while it is 1 or more. Starting again replaces the callback.
    virtual int start(int fingers, std::function<void(const ContactFrame&)> onFrame) = 0;
    // No frame is delivered once this returns. Must not be called from the
    // frame callback.
    virtual void stop() = 0;
    // The names of the devices that can send swipes; empty when none can.
    virtual std::vector<std::string> devices() const = 0;
};

} // namespace kavelo
