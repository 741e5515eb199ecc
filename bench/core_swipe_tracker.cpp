#include "core/swipe_tracker.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>

using namespace kavelo;

namespace {

// Three fingers swiping back and forth across the pad at 120 frames a second,
// with a lift every 200 frames so every branch of the tracker runs.
void BM_SwipeTrackerUpdate(benchmark::State& state)
{
    constexpr int period = 200;
    std::array<std::array<Point, 3>, period> frames;
    for (int i = 0; i < period; ++i) {
        const double x = 0.5 + 0.4 * std::sin(i * 0.05);
        frames[i] = {Point(x - 0.06, 0.5), Point(x, 0.52), Point(x + 0.06, 0.5)};
    }
    SwipeTracker tracker(3);
    double time = 0;
    int i = 0;
    for (auto _ : state) {
        time += 1.0 / 120;
        const std::span<const Point> touches =
            i == period - 1 ? std::span<const Point>() : std::span<const Point>(frames[i]);
        benchmark::DoNotOptimize(tracker.update(touches, time));
        i = i + 1 == period ? 0 : i + 1;
    }
}

} // namespace

BENCHMARK(BM_SwipeTrackerUpdate)->Unit(benchmark::kNanosecond);
