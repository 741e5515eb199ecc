#pragma once

// The curtains of Clean Space in motion: timing curves, the curtain frames
// of a screen, and a group of curtains moving together from where they are
// to new frames over one duration, stepped 60 times a second on the
// scheduler and timed by the monotonic clock.

#include "app/engine/focus_mode_panels.h"
#include "app/platform/handle.h"
#include "app/platform/scheduler.h"
#include "core/geometry.h"

#include <array>
#include <functional>
#include <memory>
#include <vector>

namespace kavelo {

// A cubic Bézier from (0, 0) to (1, 1) with two control points: progress
// (0 to 1) for a fraction of the duration (0 to 1).
struct TimingCurve {
    double x1 = 0, y1 = 0, x2 = 1, y2 = 1;

    double operator()(double time) const;

    static constexpr TimingCurve linear() { return {0, 0, 1, 1}; }
    static constexpr TimingCurve easeIn() { return {0.42, 0, 1, 1}; }
    static constexpr TimingCurve easeOut() { return {0, 0, 0.58, 1}; }
};

namespace Curtains {

inline constexpr double duration = 0.32;
inline constexpr double frameInterval = 1.0 / 60;

// Left then right, covering `screen` (top-left global): the left one the
// floored half, the right one the rest.
std::array<Rect, 2> targets(const Rect& screen);

// The 1-point strip at the curtain's outer edge: its right edge when it
// starts right of the screen's left edge, else its left edge.
Rect outerStrip(const Rect& curtain, double screenMinX);

// Straight from `from` to `to` at `progress`.
Rect interpolate(const Rect& from, const Rect& to, double progress);

} // namespace Curtains

// Curtains moving together. The group owns them and takes them from the
// frames they stand at; it sets their frames every frame interval, and
// exactly their ends when the duration is over, when `completion` runs (the
// last thing the group does, so the completion may destroy it).
class CurtainGroup {
public:
    struct Curtain {
        std::unique_ptr<CurtainPanel> panel;
        Rect frame;   // as last set
    };

    CurtainGroup(Scheduler& scheduler, Clock& clock, std::vector<Curtain> curtains, std::vector<Rect> ends,
                 TimingCurve curve, std::function<void()> completion);
    ~CurtainGroup();
    CurtainGroup(const CurtainGroup&) = delete;
    CurtainGroup& operator=(const CurtainGroup&) = delete;

    bool isMoving() const { return timer_.pending(); }
    const std::vector<Curtain>& curtains() const { return curtains_; }
    // Stops where the curtains are and hands them over.
    std::vector<Curtain> take();

private:
    void step();

    Scheduler& scheduler_;
    Clock& clock_;
    std::vector<Curtain> curtains_;
    std::vector<Rect> starts_;
    std::vector<Rect> ends_;
    TimingCurve curve_;
    std::function<void()> completion_;
    Seconds start_{0};
    Handle timer_;
};

} // namespace kavelo
