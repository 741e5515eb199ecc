#pragma once

// The strip indicator: the mini-map panel near the bottom of a display, its
// scale rule and its fade. The engine owns one; what it shows comes from
// the engine's indicator feed. The panel is made on first use and kept.

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
    // Seconds from the last show to the fade.
    static constexpr double fadeDelay = 1.1;

    StripIndicator(EnginePanels& panels, Scheduler& scheduler, Clock& clock, Mouse& mouse);
    StripIndicator(const StripIndicator&) = delete;
    StripIndicator& operator=(const StripIndicator&) = delete;

    // While true the panel never fades (Control and Option are held).
    bool keep = false;

    // Null until the first show.
    IndicatorPanel* panel() const { return panel_.get(); }
    IndicatorPanel& makePanel();

    // Factor on the nominal 200 points per screen width of the tiles.
    static double scale(const std::vector<StripTile>& tiles, const Screen& screen);
    // (Re)starts the fade timer.
    void scheduleFade();
    bool isFadePending() const { return hideTask_.pending(); }
    // Cancels a pending fade and orders the panel out at once.
    void hide();

private:
    EnginePanels& panels_;
    Scheduler& scheduler_;
    Clock& clock_;
    Mouse& mouse_;
    std::unique_ptr<IndicatorPanel> panel_;
    Handle hideTask_;
};

} // namespace kavelo
