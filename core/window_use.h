#pragma once

// The order in which windows were last used, most recent first, as the
// program saw each become active or made it so. Under a window manager that
// leaves the stacking alone when the focus moves (a tiling one), this, not
// the stacking, tells which window was used before.

#include "core/window_entry.h"

#include <cstddef>
#include <vector>

namespace kavelo {

struct WindowUse {
    // How many windows it remembers; the least recently used go first.
    static constexpr std::size_t capacity = 512;

    std::vector<WindowID> recent;   // most recent first, each once

    void note(WindowID id);
    void forget(WindowID id);

    // `windows` (front to back) with the visible ones in order of use: the
    // used ones most recent first, then the others as given; every window
    // not visible (minimized, hidden, on another desktop) after them, as
    // given.
    std::vector<WindowEntry> ordered(std::vector<WindowEntry> windows) const;

    friend bool operator==(const WindowUse&, const WindowUse&) = default;
};

} // namespace kavelo
