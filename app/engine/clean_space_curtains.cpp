#include "app/engine/clean_space_curtains.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

// One coordinate of the curve at parameter s, for control values a and b.
double bezier(double a, double b, double s)
{
    const double r = 1 - s;
    return 3 * r * r * s * a + 3 * r * s * s * b + s * s * s;
}

double bezierSlope(double a, double b, double s)
{
    const double r = 1 - s;
    return 3 * r * r * a + 6 * r * s * (b - a) + 3 * s * s * (1 - b);
}

} // namespace

double TimingCurve::operator()(double time) const
{
    const double t = std::clamp(time, 0.0, 1.0);
    if (t == 0 || t == 1)
        return t;
    // Newton's method on x(s) = t, falling back to bisection where the
    // slope is too flat to trust.
    double s = t;
    for (int i = 0; i < 8; ++i) {
        const double error = bezier(x1, x2, s) - t;
        if (std::abs(error) < 1e-9)
            return bezier(y1, y2, s);
        const double slope = bezierSlope(x1, x2, s);
        if (std::abs(slope) < 1e-6)
            break;
        s = std::clamp(s - error / slope, 0.0, 1.0);
    }
    double low = 0, high = 1;
    s = t;
    for (int i = 0; i < 60; ++i) {
        const double x = bezier(x1, x2, s);
        if (std::abs(x - t) < 1e-9)
            break;
        (x < t ? low : high) = s;
        s = (low + high) / 2;
    }
    return bezier(y1, y2, s);
}

namespace Curtains {

std::array<Rect, 2> targets(const Rect& screen)
{
    const Rect f = screen.standardized();
    const double half = std::floor(f.width() * 0.5);
    return {Rect(f.minX(), f.minY(), half, f.height()),
            Rect(f.minX() + half, f.minY(), f.width() - half, f.height())};
}

Rect outerStrip(const Rect& curtain, double screenMinX)
{
    const double x = curtain.minX() > screenMinX ? curtain.maxX() - 1 : curtain.minX();
    return Rect(x, curtain.minY(), 1, curtain.height());
}

Rect interpolate(const Rect& from, const Rect& to, double progress)
{
    const auto mix = [progress](double a, double b) { return a + (b - a) * progress; };
    return Rect(mix(from.origin.x, to.origin.x), mix(from.origin.y, to.origin.y), mix(from.size.width, to.size.width),
                mix(from.size.height, to.size.height));
}

} // namespace Curtains

CurtainGroup::CurtainGroup(Scheduler& scheduler, Clock& clock, std::vector<Curtain> curtains, std::vector<Rect> ends,
                           TimingCurve curve, std::function<void()> completion)
    : scheduler_(scheduler), clock_(clock), curtains_(std::move(curtains)), ends_(std::move(ends)), curve_(curve),
      completion_(std::move(completion)), start_(clock.monotonic())
{
    ends_.resize(curtains_.size());
    for (const auto& curtain : curtains_)
        starts_.push_back(curtain.frame);
    timer_ = scheduler_.after(Curtains::frameInterval, [this] { step(); });
}

CurtainGroup::~CurtainGroup()
{
    timer_.cancel();
}

std::vector<CurtainGroup::Curtain> CurtainGroup::take()
{
    timer_.cancel();
    starts_.clear();
    ends_.clear();
    return std::move(curtains_);
}

void CurtainGroup::step()
{
    const double elapsed = (clock_.monotonic() - start_).count();
    // Within a microsecond of the end counts as the end, so rounding never
    // asks for one more step in the same instant.
    const bool done = elapsed >= Curtains::duration - 1e-6;
    const double progress = done ? 1 : curve_(elapsed / Curtains::duration);
    for (std::size_t i = 0; i < curtains_.size(); ++i) {
        const Rect frame = done ? ends_[i] : Curtains::interpolate(starts_[i], ends_[i], progress);
        if (frame != curtains_[i].frame) {
            curtains_[i].frame = frame;
            curtains_[i].panel->setFrame(frame);
        }
    }
    if (!done) {
        timer_ = scheduler_.after(std::min(Curtains::frameInterval, Curtains::duration - elapsed), [this] { step(); });
        return;
    }
    auto completion = std::move(completion_);
    if (completion)
        completion();
}

} // namespace kavelo
