#include "core/auto_layout.h"

#include <benchmark/benchmark.h>

using namespace kavelo;

namespace {

// The worst case: every window has a learned minimum too big to share the
// screen, so the tile count falls one by one from all windows to the floor,
// tiling and fitting at each step; the rest wait on both sides.
void BM_AutoLayoutShrinking(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const auto layout = static_cast<TidyLayout>(state.range(1));
    std::vector<WindowID> ids;
    std::map<WindowID, Size> minimums;
    for (int i = 0; i < count; ++i) {
        ids.push_back(WindowID(1000 + i));
        minimums[ids.back()] = {1000, 700};
    }
    const Rect screen(0, 25, 1440, 875);
    size_t shown = 0;
    for (auto _ : state) {
        const StripLayout out =
            AutoLayout::layout(layout, ids, 0, count / 2, screen, 10, 0, minimums, std::nullopt);
        shown = out.shown.size();
        benchmark::DoNotOptimize(out);
    }
    state.counters["shown"] = double(shown);
    state.SetLabel(std::string(rawValue(layout)));
}

} // namespace

BENCHMARK(BM_AutoLayoutShrinking)
    ->ArgsProduct({{30, 150}, {int(TidyLayout::grid), int(TidyLayout::columns), int(TidyLayout::rows),
                               int(TidyLayout::focus)}})
    ->Unit(benchmark::kMicrosecond);
