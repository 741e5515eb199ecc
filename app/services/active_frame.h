#pragma once

// The frame of the window the user works in: what the active-window
// highlight surrounds and what No peek leaves clear.

#include "app/services/desktop.h"
#include "app/services/working_app.h"
#include "core/geometry.h"

#include <optional>

namespace kavelo::ActiveWindow {

// Windows this narrow or narrower are not highlighted (tool strips, drawers).
inline constexpr double minimumWidth = 40;

// Top-left-origin global coordinates, or no value when nothing qualifies:
// - `ownKeyWindow`, when given, wins: the caller passes the frame (top-left,
//   global) of this program's key window while the program is active and
//   that window has a title bar;
// - otherwise the focused window of `workingApp.current()`, unless that is
//   this program, the window is minimized or full screen, 40 points wide or
//   less, has no window number, or is not on screen now (another desktop).
// Main thread; asks the system every time, so call it only while a
// highlight or a shade is wanted.
std::optional<Rect> activeFrame(const Desktop& desktop, const WorkingApp& workingApp,
                                const std::optional<Rect>& ownKeyWindow = std::nullopt);

} // namespace kavelo::ActiveWindow
