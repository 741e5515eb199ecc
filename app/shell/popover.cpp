#include "app/shell/popover.h"

#include "core/screen_coordinates.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kavelo {

namespace PopoverPlacement {

namespace {

double clamp(double value, double low, double high)
{
    // A popover larger than the room keeps its leading edge in view.
    return high < low ? low : std::clamp(value, low, high);
}

} // namespace

Rect frame(Size size, const Rect& anchor, const std::vector<Rect>& visibleFrames, const std::vector<Rect>& frames)
{
    const Point centre = anchor.center();
    // The screen under the anchor's centre; off every screen (an icon
    // against a screen's far edge), the nearest, never simply the first.
    std::size_t on = frames.size();
    double nearest = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Rect& f = frames[i];
        const double dx = std::max({0.0, f.minX() - centre.x, centre.x - f.maxX()});
        const double dy = std::max({0.0, f.minY() - centre.y, centre.y - f.maxY()});
        const double distance = f.contains(centre) ? -1 : std::hypot(dx, dy);
        if (distance < nearest) {
            on = i;
            nearest = distance;
        }
    }
    const bool known = on < frames.size() && on < visibleFrames.size();
    const Rect whole = known ? frames[on] : anchor;
    const Rect visible = known ? visibleFrames[on] : anchor;

    // Below the icon, or above it when the icon sits in the lower half.
    const bool above = known && centre.y > whole.midY();
    const double x = anchor.midX() - size.width / 2;
    const double y = above ? anchor.minY() - gap - size.height : anchor.maxY() + gap;
    if (!known)
        return Rect(x, y, size.width, size.height);
    return Rect(clamp(x, visible.minX(), visible.maxX() - size.width),
                clamp(y, visible.minY(), visible.maxY() - size.height), size.width, size.height);
}

} // namespace PopoverPlacement

Popover::Popover(const Platform& platform, WindowFactory makeWindow)
    : platform_(platform), makeWindow_(std::move(makeWindow))
{
}

void Popover::open(const std::optional<Rect>& anchor, MenuPanel panel)
{
    if (!window_ && makeWindow_)
        window_ = makeWindow_();
    if (!window_)
        return;
    const auto screens = platform_.displays.screens();
    const double primaryHeight = screens.empty() ? 0 : screens.front().frame.height();
    std::vector<Rect> visible, frames;
    for (const auto& s : screens) {
        visible.push_back(ScreenCoordinates::flip(s.visibleFrame, primaryHeight));
        frames.push_back(ScreenCoordinates::flip(s.frame, primaryHeight));
    }
    Rect at;
    if (anchor) {
        at = *anchor;
    } else {
        const Point p = platform_.mouse.location();
        at = Rect(p.x, primaryHeight - p.y, 0, 0);
    }
    anchor_ = at;
    if (!clicks_.pending())
        clicks_ = platform_.mouse.monitor(MouseEventMask::leftDown | MouseEventMask::rightDown,
                                          [this](const MouseEvent& e) { clicked(e.location); });
    window_->open(
        std::move(panel),
        [at, visible, frames](Size size) { return PopoverPlacement::frame(size, at, visible, frames); },
        [this] {
            clicks_.cancel();
            anchor_.reset();
        });
}

void Popover::close()
{
    if (window_)
        window_->close();
    clicks_.cancel();
    anchor_.reset();
}

bool Popover::isOpen() const { return window_ && window_->isOpen(); }

void Popover::clicked(Point bottomLeft)
{
    if (!isOpen())
        return;
    const auto screens = platform_.displays.screens();
    const double primaryHeight = screens.empty() ? 0 : screens.front().frame.height();
    const Point topLeft(bottomLeft.x, primaryHeight - bottomLeft.y);
    // The icon's own click toggles the popover through the tray.
    if (anchor_ && !anchor_->isEmpty() && anchor_->contains(topLeft))
        return;
    if (const auto f = window_->frame(); f && f->contains(topLeft))
        return;
    if (isOwnWindowAt(topLeft))
        return;
    close();
}

bool Popover::isOwnWindowAt(Point topLeft) const
{
    const auto list = platform_.windowServer.windowList(WindowListOption::onScreenOnly);
    if (!list)
        return false;
    const std::int32_t own = platform_.workspace.ownPid();
    for (const auto& w : *list) {
        // Our floating panels (shades, the toast) let clicks through.
        if (w.ownerPid == own && w.layer != 0)
            continue;
        if (w.bounds.contains(topLeft))
            return w.ownerPid == own;
    }
    return false;
}

} // namespace kavelo
