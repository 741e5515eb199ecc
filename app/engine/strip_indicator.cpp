#include "app/engine/strip_indicator.h"

#include <algorithm>

namespace kavelo {

StripIndicator::StripIndicator(EnginePanels& panels, Scheduler& scheduler, Clock& clock, Mouse& mouse)
    : panels_(panels), scheduler_(scheduler), clock_(clock), mouse_(mouse)
{
}

// The timers go before the panel they touch.
StripIndicator::~StripIndicator()
{
    hideTask_.cancel();
    fading_.cancel();
}

IndicatorPanel& StripIndicator::makePanel()
{
    if (!panel_)
        panel_ = panels_.makeIndicatorPanel();
    return *panel_;
}

double StripIndicator::scale(const std::vector<StripTile>& tiles, const Screen& screen)
{
    double total = 0;
    for (const auto& tile : tiles)
        total += tile.width * tileWidth;
    const double available = screen.frame.width() - screenMargin;
    const double fitted = total > 1 ? std::min(1.0, available / total) : std::min(1.0, available);
    // Below zero a display narrower than the margin would turn drags round;
    // `max` with the floor first also turns a NaN into the floor.
    return std::max(minimumScale, fitted);
}

void StripIndicator::show(const Screen& screen, std::vector<StripTile> tiles, IndicatorPanel::Select select,
                          IndicatorPanel::Move move, bool holding)
{
    keep = holding;
    IndicatorPanel& panel = makePanel();
    const double factor = scale(tiles, screen);
    const Size size = panel.setRow(std::move(tiles), factor, std::move(select), std::move(move));
    const Rect& visible = screen.visibleFrame;
    panel.setFrame(Rect(visible.midX() - size.width / 2, visible.minY() + aboveBottom, size.width, size.height));
    // A show during the fade takes the panel back to full opacity for good.
    fading_.cancel();
    panel.setAlpha(1);
    panel.orderFront();
    hideTask_.cancel();
    if (!holding)
        scheduleFade();
}

void StripIndicator::scheduleFade()
{
    hideTask_ = scheduler_.after(fadeDelay, [this] { fadeCheck(); });
}

void StripIndicator::fadeCheck()
{
    if (!panel_ || keep)
        return;
    // Bottom-left form, like the panel's frame.
    if (panel_->frame().contains(mouse_.location())) {
        scheduleFade();
        return;
    }
    if (fading_.pending())
        return;
    fadeStart_ = clock_.monotonic();
    fading_ = scheduler_.every(fadeStep, [this] { fadeFrame(); });
}

void StripIndicator::fadeFrame()
{
    const double progress = (clock_.monotonic() - fadeStart_).count() / fadeDuration;
    if (progress < 1) {
        panel_->setAlpha(1 - progress);
        return;
    }
    // A show in the meantime would have stopped the fade: nothing brought
    // the panel back.
    fading_.cancel();
    panel_->setAlpha(0);
    panel_->orderOut();
}

void StripIndicator::hide()
{
    hideTask_.cancel();
    fading_.cancel();
    if (panel_)
        panel_->orderOut();
}

} // namespace kavelo
