#pragma once

// One undo snapshot of the arrangement of both modes: the auto orders and
// offsets, each display's layout and custom grid, and the strips.

#include "core/grid_plan.h"
#include "core/strip.h"
#include "core/tidy_layout.h"
#include "core/window_entry.h"

#include <map>
#include <string>
#include <vector>

namespace kavelo {

struct ArrangeState {
    std::map<std::string, std::vector<WindowID>> order;
    std::map<std::string, int> offset;
    std::map<std::string, TidyLayout> layouts;
    std::map<std::string, GridPlan> plans;
    std::map<std::string, Strip> strips;

    // Only what the user arranged counts: of a strip its columns, not its
    // scroll, focus or centring, so moving along a strip is no new state.
    friend bool operator==(const ArrangeState& a, const ArrangeState& b);
};

} // namespace kavelo
