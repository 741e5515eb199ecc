#pragma once

// The status item's popover: a panel that takes the keyboard, placed under
// the tray icon (above it when the icon sits low on its screen) and kept
// inside the screen's visible frame, with a new menu panel at each opening.
// It does not close by itself: a click in another application closes it,
// seen through a global mouse monitor while it is open. A real server also
// reports clicks on this program's own windows and on the tray icon; those
// are ignored, or a click on the icon would close the popover and at once
// open it again.

#include "app/platform/handle.h"
#include "app/platform/platform.h"
#include "app/shell/menu_panel.h"
#include "core/geometry.h"

#include <functional>
#include <memory>
#include <optional>

namespace kavelo {

// The popover's window, drawn by the toolkit.
class PopoverWindow {
public:
    virtual ~PopoverWindow() = default;
    // Shows a new panel of `panel`, at the frame `place` gives for the
    // panel's size (top-left global), and takes the keyboard. `closed` hears
    // when the window closes by itself (its Close key).
    virtual void open(MenuPanel panel, const std::function<Rect(Size)>& place, std::function<void()> closed) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Where it stands while open, top-left global.
    virtual std::optional<Rect> frame() const = 0;
};

namespace PopoverPlacement {

// Between the icon and the popover.
inline constexpr double gap = 4;

// The frame of a popover of `size` by `anchor` (the tray icon, top-left
// global; a point's empty rectangle under the pointer) on `screens`
// (top-left visible frames, first the primary).
Rect frame(Size size, const Rect& anchor, const std::vector<Rect>& visibleFrames, const std::vector<Rect>& frames);

} // namespace PopoverPlacement

class Popover {
public:
    using WindowFactory = std::function<std::unique_ptr<PopoverWindow>()>;

    // The window is made on the first opening and kept.
    Popover(const Platform& platform, WindowFactory makeWindow);
    Popover(const Popover&) = delete;
    Popover& operator=(const Popover&) = delete;

    // Opens with `panel` by `anchor` (top-left global), or under the
    // pointer without one. Opening while open shows the new panel.
    void open(const std::optional<Rect>& anchor, MenuPanel panel);
    // Closes it and removes the click monitor; safe when closed.
    void close();
    bool isOpen() const;
    // The click monitor is installed.
    bool isWatchingClicks() const { return clicks_.pending(); }
    PopoverWindow* window() const { return window_.get(); }

    // A mouse press at `bottomLeft` seen by the global monitor.
    void clicked(Point bottomLeft);

private:
    bool isOwnWindowAt(Point topLeft) const;

    Platform platform_;
    WindowFactory makeWindow_;
    std::unique_ptr<PopoverWindow> window_;
    std::optional<Rect> anchor_;
    Handle clicks_;
};

} // namespace kavelo
