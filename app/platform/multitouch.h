#pragma once

// Raw finger contacts of the trackpads.

#include <cstdint>
#include <functional>
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
    // Starts every trackpad; `onFrame` runs on the devices' own thread, never
    // on the main thread. Returns the number of devices started (0: none).
    // Starting again replaces the callback.
    virtual int start(std::function<void(const ContactFrame&)> onFrame) = 0;
    // No frame is delivered once this returns. Must not be called from the
    // frame callback.
    virtual void stop() = 0;
};

} // namespace kavelo
