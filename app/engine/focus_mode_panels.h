#pragma once

// What Clean Space and No peek need of their on-screen panels, without Qt:
// the curtains (dark panels at the normal window level, standing directly
// below the focused window) and No peek's bands (click-through panels at the
// shade level, four per screen around the hole). The Qt panels implement
// these; the logic's tests use recording fakes.
//
// Frames are in the top-left-origin global space of window frames.

#include "core/geometry.h"
#include "core/window_entry.h"

#include <memory>
#include <optional>

namespace kavelo {

class CurtainPanel {
public:
    virtual ~CurtainPanel() = default;
    virtual void setFrame(const Rect& frame) = 0;
    // Shows the curtain standing directly below `window`.
    virtual void orderFront(WindowID below) = 0;
    virtual void orderOut() = 0;
};

class ShadeBand {
public:
    virtual ~ShadeBand() = default;
    virtual void setFrame(const Rect& frame) = 0;
    // Black at `darkness` (0 to 1); `blur` adds the glass tint under it.
    virtual void setLook(double darkness, bool blur) = 0;
    // In front of everything but the higher panel levels, or ordered out.
    virtual void setShown(bool shown) = 0;
};

class FocusModePanels {
public:
    virtual ~FocusModePanels() = default;
    // The left curtain (its inner edge, the one that moves, on its right) or
    // the right one.
    virtual std::unique_ptr<CurtainPanel> makeCurtain(bool onLeft) = 0;
    virtual std::unique_ptr<ShadeBand> makeShadeBand() = 0;
    // The frame of this program's key window while the program is active and
    // that window has a title bar (settings, welcome); the hole goes there
    // first.
    virtual std::optional<Rect> ownTitledKeyWindow() const = 0;
};

} // namespace kavelo
