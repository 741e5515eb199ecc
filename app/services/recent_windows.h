#pragma once

// Which window was used before which. A window manager that raises the
// window it focuses keeps its stacking in that order already; one that
// leaves the stacking alone (i3 and other tiling managers) does not, and
// there the program's own record of the windows made active says it.
//
// One per process, made by the shell; the switcher and the overview ask it
// for their windows' order and tell it of the windows they bring forward.

#include "app/platform/handle.h"
#include "app/platform/window_server.h"
#include "app/services/desktop.h"
#include "core/window_use.h"

#include <vector>

namespace kavelo {

// Whether `window` stands in front of every on-screen window of the normal
// layer that another program shows (its own dialogs may stand above it):
// what a manager that raises on focus gives the window it just focused.
// True when the list does not show the window at all: nothing to go by.
// `list` front to back.
bool standsInFront(const std::vector<WindowInfo>& list, WindowID window, std::int32_t ownPid);

class RecentWindows {
public:
    explicit RecentWindows(const Desktop& desktop) : desktop_(desktop) {}
    RecentWindows(const RecentWindows&) = delete;
    RecentWindows& operator=(const RecentWindows&) = delete;

    // Idempotent, main thread: from now on every window made active counts.
    void start();

    // A window this program brought forward: counted at once, before the
    // manager tells.
    void used(WindowID id) { use_.note(id); }

    // Until a window made active is seen left behind another program's
    // window, the stacking is taken to follow the focus; a new window
    // manager is given the benefit again.
    bool stackingFollowsFocus() const { return followsFocus_; }

    // `windows` (front to back, as the catalog lists them) in order of use:
    // as given while the stacking follows the focus.
    std::vector<WindowEntry> ordered(std::vector<WindowEntry> windows) const;

    const WindowUse& use() const { return use_; }

private:
    void activated(WindowID id);

    Desktop desktop_;
    WindowUse use_;
    bool followsFocus_ = true;
    Handle activations_;
    Handle closes_;
    Handle managers_;
    Handle check_;
};

} // namespace kavelo
