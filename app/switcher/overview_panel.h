#pragma once

// What the overview controller asks of its full-screen panel, without the
// toolkit. The panel shows the overview's view over the controller's model
// and hands the user's choices back to the controller; the controller
// decides when it shows, where, how opaque, and when it holds the keyboard.

#include "app/platform/handle.h"
#include "core/geometry.h"

#include <cstdint>
#include <functional>

namespace kavelo {

class OverviewPanel {
public:
    virtual ~OverviewPanel() = default;

    // Takes every key press for the panel, so typing reaches it while the
    // front window keeps the input focus. False while another client holds
    // the keyboard. Asked before the panel shows.
    virtual bool holdKeyboard() = 0;
    virtual void releaseKeyboard() = 0;

    // Covers `frame` (top-left global) in front of other windows at
    // `opacity`, without activating anything.
    virtual void present(const Rect& frame, double opacity) = 0;
    virtual void setOpacity(double opacity) = 0;
    virtual void orderOut() = 0;
    // Closed, paints what changed since, out of sight, so that the next
    // opening has less to paint; nothing where a closed panel keeps no
    // pixels.
    virtual void paintAhead() {}
    virtual bool isVisible() const = 0;

    // The key presses the panel receives, each as a classic key code and
    // event flags (EventFlag); the handler answers true when it took the
    // key, and the key then goes no further (not to the search field).
    using KeyHandler = std::function<bool(std::uint16_t keyCode, std::uint64_t flags)>;
    [[nodiscard]] virtual Handle monitorKeys(KeyHandler handler) = 0;
};

} // namespace kavelo
