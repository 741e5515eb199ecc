#include "app/engine/no_peek.h"

#include "app/services/active_frame.h"
#include "core/screen_coordinates.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

NoPeek::NoPeek(const Desktop& desktop, WorkingApp& workingApp, FocusModePanels& panels)
    : desktop_(desktop), workingApp_(workingApp), panels_(panels)
{
}

NoPeek::~NoPeek()
{
    timer_.cancel();
}

void NoPeek::start()
{
    if (timer_.pending())
        return;
    workingApp_.start();
    timer_ = desktop_.platform.scheduler.every(tick, [this] { update(); });
}

double NoPeek::darkness(double stored)
{
    if (!std::isfinite(stored))
        return defaultDarkness;
    return std::clamp(stored, 0.0, 1.0);
}

std::optional<Rect> NoPeek::focusedFrame() const
{
    auto frame = ActiveWindow::activeFrame(desktop_, workingApp_, panels_.ownTitledKeyWindow());
    // A frame that is no place at all has no hole: the screens stay shaded.
    if (frame && !frame->isFinite())
        return std::nullopt;
    return frame;
}

void NoPeek::update()
{
    const Preferences& preferences = desktop_.preferences;
    if (!preferences.noPeekOn()) {
        if (shown_)
            for (auto& shade : shades_)
                shade->orderOut();
        shown_ = false;
        return;
    }
    // The displays and the focused window read at one go.
    const Handle together = desktop_.platform.windowServer.shareReads();
    const std::vector<Screen> screens = desktop_.platform.displays.screens();
    if (shades_.size() != screens.size())
        rebuild(screens.size());
    const double primaryHeight = screens.empty() ? 0 : screens.front().frame.height();
    const std::optional<Rect> frame = focusedFrame();
    const double dark = darkness(preferences.noPeekDarkness());
    const bool blur = preferences.noPeekBlur();
    for (std::size_t i = 0; i < screens.size(); ++i) {
        ShadeView& shade = *shades_[i];
        const Rect local = ScreenCoordinates::flip(screens[i].frame, primaryHeight);
        shade.setFrame(local);
        const std::optional<Rect> hole =
            frame ? std::optional(frame->offsetBy(-local.minX(), -local.minY())) : std::nullopt;
        shade.apply(hole, dark, blur);
        if (!shown_)
            shade.orderFront();
    }
    shown_ = true;
}

void NoPeek::rebuild(std::size_t count)
{
    for (auto& shade : shades_)
        shade->orderOut();
    shades_.clear();
    for (std::size_t i = 0; i < count; ++i)
        shades_.push_back(std::make_unique<ShadeView>(panels_));
    shown_ = false;
}

} // namespace kavelo
