#pragma once

// One-shot operations on other applications' windows: the usable area of a
// display, the display under a rectangle, snapping and filling with the
// focused window, tidying every display and undoing it, capturing and
// restoring a workflow, raising one window. None keeps state; undo records
// go back to the caller.
//
// A display whose usable area is empty or negative (reserved edges or a
// gap larger than the display) is left alone: nothing is laid out from it.

#include "app/platform/handle.h"
#include "app/services/desktop.h"
#include "app/services/window_catalog.h"
#include "core/geometry.h"
#include "core/snap.h"
#include "core/tidy_layout.h"
#include "core/tidy_memory.h"
#include "core/window_entry.h"
#include "core/workspace.h"

#include <array>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo::WindowActions {

// Browsers whose windows without a page (an empty document) are never
// matched when a workflow is restored: the browser reopens them itself.
inline constexpr std::array<std::string_view, 4> tabbedBrowsers{
    "com.google.Chrome", "company.thebrowser.Browser", "com.brave.Browser", "com.microsoft.edgemac"};

// Seconds before a raise without an element tries again with a new catalog.
inline constexpr double raiseRetryDelay = 0.35;

// How many windows a write sent somewhere, and how many of them went: a
// window went when the window manager took the write, or at least put it
// where it was sent (one that keeps its size still moved); one left
// elsewhere refused.
struct Moves {
    int sent = 0;
    int moved = 0;
    bool allMoved() const { return moved == sent; }
    void add(const Moves& other)
    {
        sent += other.sent;
        moved += other.moved;
    }
    friend bool operator==(const Moves&, const Moves&) = default;
};

// Points a window may stand off where it was sent and still have gone there.
inline constexpr double landingTolerance = 2;

// The moves of a batch from its answers and where each window stands now
// (none: gone, and not counted).
Moves moves(std::span<const FrameWrite> writes, const std::vector<bool>& answers,
            const std::vector<std::optional<Rect>>& now);

// The height of the first display's frame, 0 without displays: the line
// display frames are flipped against.
double primaryHeight(const Desktop& desktop);

// The display's visible frame in top-left coordinates less the reserved
// edges, without the window gap; no value when nothing of it is left.
std::optional<Rect> usable(const Desktop& desktop, const Screen& screen);
// The usable area inset by the window gap on every side: what every layout
// fills. No value when the display has no room left, so that callers leave
// it alone.
std::optional<Rect> area(const Desktop& desktop, const Screen& screen);

// The display that overlaps `rect` most (the earlier one on equal areas; the
// first one when none overlaps); no value without displays.
std::optional<Screen> screen(const Desktop& desktop, const Rect& rect);

// Snaps the focused window of the frontmost application inside the usable
// area of its display, without the gap; nothing sent without one.
Moves snapFocused(const Desktop& desktop, Snap snap);

// "Fill the screen": the focused window takes the whole area of its display.
// The record holds its frame before and where it really went; `moves`,
// when given, whether it went.
std::optional<TidyMemory> focusWindow(const Desktop& desktop, Moves* moves = nullptr);

// Tidies the visible standard windows of every display (of one application
// when `onlyApp` names its bundle identifier). No value when no window was
// taken. `moves`, when given, counts the windows sent and those that went.
std::optional<TidyMemory> tidy(const Desktop& desktop, TidyLayout layout, const std::optional<std::string>& onlyApp,
                               Moves* moves = nullptr);

// Puts the windows still open back at their `before` frames.
void undoTidy(const Desktop& desktop, const TidyMemory& memory);

// The visible windows of named applications as a workflow; tabs, slot and
// options are left for the caller to fill in. Each window is saved where it
// belongs to the user: one that stands mostly off every display (a mode
// parked it) at its frame in `homes` when it has one, else brought onto the
// display nearest to it.
Workspace capture(const Desktop& desktop, const std::string& name, const std::string& displays,
                  const std::map<WindowID, Rect>& homes = {});

// One attempt at moving the live windows to the workflow's frames; the
// number of windows that went there (`moves`, when given, also counts
// those sent). A frame mostly off every display is brought onto the
// nearest one, and none makes a window smaller than the tile floor there
// (one already smaller keeps its size).
int restore(const Desktop& desktop, const Workspace& workspace, Moves* moves = nullptr);

// Brings one window to the front: unhides its application, un-minimizes and
// raises the window when it has an element, and activates the application.
// Without an element (a window of another desktop) the window is raised
// `raiseRetryDelay` later if a new catalog then lists it with one. The
// answer holds that retry: keep it for as long as it may run, drop it to
// cancel (it is empty when there is none).
[[nodiscard]] Handle raise(const Desktop& desktop, const WindowEntry& entry, const ElementRef& element);

// The current frame of each window that has an element in a new catalog
// and whose frame reads; others are left out.
std::map<WindowID, Rect> frames(const Desktop& desktop, const std::vector<WindowID>& ids);

} // namespace kavelo::WindowActions
