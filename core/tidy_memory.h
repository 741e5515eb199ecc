#pragma once

// The frames before and after one tidy, so that it can be undone while the
// windows still stand where the tidy put them.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <map>

namespace kavelo {

struct TidyMemory {
    std::map<WindowID, Rect> before;
    std::map<WindowID, Rect> after;

    // True when at least one remembered window is still open and every open
    // one is within `tolerance` of its after-frame in x, y, width and height.
    // Closed windows are ignored.
    bool isUntouched(const std::map<WindowID, Rect>& current, double tolerance) const;

    friend bool operator==(const TidyMemory&, const TidyMemory&) = default;
};

} // namespace kavelo
