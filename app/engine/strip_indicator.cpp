#include "app/engine/strip_indicator.h"

namespace kavelo {

StripIndicator::StripIndicator(EnginePanels& panels, Scheduler& scheduler, Clock& clock, Mouse& mouse)
    : panels_(panels), scheduler_(scheduler), clock_(clock), mouse_(mouse)
{
}

IndicatorPanel& StripIndicator::makePanel()
{
    if (!panel_)
        panel_ = panels_.makeIndicatorPanel();
    return *panel_;
}

double StripIndicator::scale(const std::vector<StripTile>&, const Screen&) { return 1; }

void StripIndicator::scheduleFade() {}

void StripIndicator::hide()
{
    hideTask_.cancel();
    if (panel_)
        panel_->orderOut();
}

} // namespace kavelo
