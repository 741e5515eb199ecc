#pragma once

// The connected displays. Frames are in points, in the bottom-left form: the
// primary display's origin is (0, 0) and y grows upwards; callers flip them
// against the primary's height to meet window frames. A display's scale
// says how many device pixels make a point there.

#include "app/platform/handle.h"
#include "core/geometry.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kavelo {

struct Screen {
    std::uint32_t id = 0;        // the display identifier
    std::string name;            // unique among connected displays
    Rect frame;                  // bottom-left form
    Rect visibleFrame;           // without the menu bar and the dock
    std::uint32_t vendor = 0;
    std::uint32_t model = 0;
    std::uint32_t serial = 0;
    double scale = 1;            // device pixels per point
    friend bool operator==(const Screen&, const Screen&) = default;
};

class Displays {
public:
    virtual ~Displays() = default;
    // Primary first.
    virtual std::vector<Screen> screens() const = 0;
    // Any change of the set, an arrangement or a size.
    [[nodiscard]] virtual Handle onChange(std::function<void()> handler) = 0;
};

} // namespace kavelo
