#pragma once

#include "core/window_entry.h"

#include <map>
#include <vector>

// The order in which a display's windows take their places.
namespace kavelo::WindowOrder {

// Windows without a slot keep their order; each slotted window, by ascending
// slot (ties in input order), is then inserted at slot − 1, clamped to the
// list. Slots are 1-based preferred positions.
std::vector<WindowID> placing(const std::vector<WindowID>& ids, const std::map<WindowID, int>& slots);

} // namespace kavelo::WindowOrder
