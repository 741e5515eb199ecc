#pragma once

// The base of every floating panel the program draws over other
// applications: borderless, never activating the program or taking focus,
// placed exactly where asked even past a screen's edges, optionally letting
// clicks through to what lies below, with no open or close animation.
//
// Levels order the panels: 0 for Clean Space curtains (a managed window its
// owner stacks just below the focused one), 3 for No peek shades, 4 for
// tab bars, edge zones and the highlight, 101 for the strip indicator and
// toasts. Panels above 0 stay above ordinary windows and bypass the window
// manager, so it neither moves, focuses nor decorates them and they show on
// every desktop; among themselves a higher level stays above a lower one.

#include "core/geometry.h"

#include <QWidget>

namespace kavelo {

namespace PanelLevel {
inline constexpr int curtain = 0;
inline constexpr int shade = 3;
inline constexpr int helper = 4;
inline constexpr int overlay = 101;
} // namespace PanelLevel

class FreePanel : public QWidget {
public:
    explicit FreePanel(int level, bool clickThrough = false);
    ~FreePanel() override;

    int level() const { return level_; }
    bool clickThrough() const { return clickThrough_; }
    void setClickThrough(bool on);

    // In the top-left-origin global space of window frames; the rectangle
    // is kept as given (edges rounded to whole pixels), never moved onto a
    // screen.
    void setFrame(const Rect& frame);
    // The last frame set.
    Rect frame() const { return frame_; }

    // Shows the panel in front of lower levels without activating anything.
    void orderFront();
    void orderOut();

private:
    void applyFlags();
    void restack();

    int level_;
    bool clickThrough_;
    Rect frame_;
};

// Whole-pixel geometry of a frame: each edge rounded to the nearest pixel.
QRect pixelRect(const Rect& frame);

} // namespace kavelo
