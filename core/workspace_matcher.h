#pragma once

// Which live window takes which saved frame when a workflow is restored.

#include "core/geometry.h"
#include "core/window_entry.h"
#include "core/workspace.h"

#include <vector>

namespace kavelo {

// One planned move: the live window and the frame to give it.
struct Placement {
    WindowID windowID = 0;
    Rect frame;

    friend bool operator==(const Placement&, const Placement&) = default;
};

namespace WorkspaceMatcher {

// Each live window is used at most once. First every saved window takes the
// frontmost remaining live window of the same application and title; then
// the saved windows left over take, in order, any remaining window of their
// application. Placements of the first pass come first, in saved order.
std::vector<Placement> match(const std::vector<SavedWindow>& saved, const std::vector<WindowEntry>& live);

} // namespace WorkspaceMatcher

} // namespace kavelo
