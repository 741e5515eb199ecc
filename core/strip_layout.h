#pragma once

// The frames a strip or an auto layout computes for one screen rectangle.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <map>
#include <vector>

namespace kavelo {

// Shared by the strip and the auto layout; the strip names them
// `Strip::tabHeight` and `Strip::parkGap`.
inline constexpr double tabBarHeight = 30; // a tab bar's height in points
inline constexpr double parkingGap = 2;    // how far past a screen edge a waiting window stands

// The tab strip over a tabbed column or a shared tile: the top 30 points of it.
struct TabBar {
    Rect frame;
    std::vector<WindowID> ids; // tab order
    WindowID active = 0;       // the window shown under the bar
    friend bool operator==(const TabBar&, const TabBar&) = default;
};

struct StripLayout {
    std::map<WindowID, Rect> frames; // every placed window
    std::vector<TabBar> tabs;        // in the order columns or tiles were placed
    // Filled by the auto layout only:
    std::map<WindowID, Rect> parked; // set aside beyond a screen edge
    std::vector<WindowID> waitingLeft;
    std::vector<WindowID> waitingRight;
    int start = 0; // where the shown run begins among the windows after the main one
    std::vector<WindowID> shown;
    friend bool operator==(const StripLayout&, const StripLayout&) = default;
};

} // namespace kavelo
