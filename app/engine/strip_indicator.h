#pragma once

// The strip indicator: the mini-map panel near the bottom of a display, its
// scale rule, its placement and its fade. The engine owns one; what it
// shows comes from the engine's indicator feed. The panel is made on first
// use and kept. Every timed step, the fade's frames included, runs on the
// platform scheduler.

#include "app/engine/panels.h"
#include "app/platform/displays.h"
#include "app/platform/handle.h"
#include "app/platform/input.h"
#include "app/platform/scheduler.h"

#include <memory>
#include <vector>

namespace kavelo {

class StripIndicator {
public:
    // Seconds from the last show to the fade check.
    static constexpr double fadeDelay = 1.1;
    // Seconds the fade to transparent takes.
    static constexpr double fadeDuration = 0.25;
    static constexpr double fadeStep = 1.0 / 60;
    // Points per screen width of a tile at scale 1.
    static constexpr double tileWidth = 200;
    // Room kept free beside the row on the screen, in points.
    static constexpr double screenMargin = 120;
    // The smallest scale: a narrow display never turns tiles or drags round.
    static constexpr double minimumScale = 0.05;
    // The row stands this far above the bottom of the visible frame.
    static constexpr double aboveBottom = 18;

    StripIndicator(EnginePanels& panels, Scheduler& scheduler, Clock& clock, Mouse& mouse);
    ~StripIndicator();
    StripIndicator(const StripIndicator&) = delete;
    StripIndicator& operator=(const StripIndicator&) = delete;

    // While true the panel never fades (Control and Option are held).
    bool keep = false;

    // Null until the first show.
    IndicatorPanel* panel() const { return panel_.get(); }
    IndicatorPanel& makePanel();

    // Factor on the nominal 200 points per screen width of the tiles.
    static double scale(const std::vector<StripTile>& tiles, const Screen& screen);

    // The show: a fresh row of `tiles` at full opacity, centred 18 points
    // above the bottom of `screen`'s visible frame, in front; then the fade
    // unless `holding`.
    void show(const Screen& screen, std::vector<StripTile> tiles, IndicatorPanel::Select select,
              IndicatorPanel::Move move, bool holding);

    // (Re)starts the fade timer.
    void scheduleFade();
    bool isFadePending() const { return hideTask_.pending(); }
    bool isFading() const { return fading_.pending(); }
    // Cancels a pending fade and orders the panel out at once.
    void hide();

private:
    void fadeCheck();
    void fadeFrame();

    EnginePanels& panels_;
    Scheduler& scheduler_;
    Clock& clock_;
    Mouse& mouse_;
    std::unique_ptr<IndicatorPanel> panel_;
    Handle hideTask_;
    Handle fading_;
    Seconds fadeStart_{0};
};

} // namespace kavelo
