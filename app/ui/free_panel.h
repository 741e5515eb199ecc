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
//
// Every shown panel reports itself (level, frame, opacity, native window,
// and the window it must stand directly below, when asked) to the window
// server of its host, so the window list holds it with this program's pid.

#include "app/platform/handle.h"
#include "core/geometry.h"
#include "core/window_entry.h"

#include <QWidget>

#include <optional>

namespace kavelo {

class PanelHost;

namespace PanelLevel {
inline constexpr int curtain = 0;
inline constexpr int shade = 3;
inline constexpr int helper = 4;
inline constexpr int overlay = 101;
} // namespace PanelLevel

class FreePanel : public QWidget {
public:
    FreePanel(PanelHost& host, int level, bool clickThrough = false);
    ~FreePanel() override;

    // Null once the host is gone.
    PanelHost* host() const { return host_; }

    int level() const { return level_; }
    bool clickThrough() const { return clickThrough_; }
    void setClickThrough(bool on);

    // In the top-left-origin global space of window frames; the rectangle
    // is kept as given (edges rounded to whole pixels), never moved onto a
    // screen.
    void setFrame(const Rect& frame);
    // The last frame set.
    Rect frame() const { return frame_; }

    // The window this panel stands directly below (a curtain below the
    // focused window); none: in front of its level.
    void setBelow(std::optional<WindowID> window);
    std::optional<WindowID> below() const { return below_; }

    // The whole panel's opacity (fades); reported with the frame.
    void setOpacity(double alpha);

    // Shows the panel in front of lower levels without activating anything.
    void orderFront();
    // Hides it; once it has stayed hidden `keepPixelsFor` seconds its native
    // window and backing store go (a full-screen panel holds 8 MB of shared
    // memory), and the next showing makes them anew: some 6 ms for a full
    // screen.
    void orderOut();
    // Hides it by moving it past every screen, still mapped, until the next
    // `orderFront` (or `keepPixelsFor`, when it is hidden for real). That
    // showing paints what changed meanwhile where it stands and then moves
    // it in: no map, no wait for the server's expose, and never a stale
    // frame, since a composited window keeps what was painted out of sight.
    // Frames set meanwhile only size it.
    void park();
    bool parked() const { return parked_; }
    // Paints what changed while parked, where it stands.
    void paintParked();
    // Past every screen (X's coordinates are 16-bit): where a parked panel
    // stands, or one mapped only to be granted the keyboard.
    static constexpr QPoint outOfSight{-32000, -32000};
    static constexpr double keepPixelsFor = 20;
    // For a panel that must paint within a frame of a key.
    void setKeepPixelsFor(double seconds) { keepPixelsFor_ = seconds; }

    // Whether the panel holds a native window (and with it its pixels).
    bool holdsPixels() const { return testAttribute(Qt::WA_WState_Created); }

    // Its number in the window server's list while shown.
    std::optional<WindowID> windowNumber() const { return number_; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A panel the server fills paints on screen with nothing: the toolkit
    // asks for an engine all the same.
    QPaintEngine* paintEngine() const override;

private:
    friend class PanelHost;
    void applyFlags();
    void restack();
    void report();
    void withdraw();
    void releasePixels();
    void releaseLater();
    void unpark();
    void paintPending();
    // Where a frame lies in the toolkit's whole pixels.
    QRect placed(const Rect& frame) const;

    PanelHost* host_;
    int level_;
    bool clickThrough_;
    Rect frame_;
    std::optional<WindowID> below_;
    std::optional<WindowID> number_;
    double keepPixelsFor_ = keepPixelsFor;
    bool parked_ = false;
    Handle release_;
};

// Whole-pixel geometry of a frame: each edge rounded to the nearest pixel.
QRect pixelRect(const Rect& frame);

} // namespace kavelo
