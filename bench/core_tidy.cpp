#include "core/tidy.h"

#include <benchmark/benchmark.h>

using namespace kavelo;

namespace {

void BM_TidyFrames(benchmark::State& state)
{
    const auto layout = static_cast<TidyLayout>(state.range(1));
    const int count = static_cast<int>(state.range(0));
    const Rect screen(0, 25, 1440, 875);
    for (auto _ : state)
        benchmark::DoNotOptimize(Tidy::frames(layout, count, screen, 10, 0.6));
    state.SetLabel(std::string(rawValue(layout)));
}

void BM_TidyFit(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const Rect screen(0, 0, 3440, 1440);
    const auto tiles = Tidy::frames(TidyLayout::grid, count, screen, 10, 0);
    // Every third tile needs a little more than it has; the others give way.
    std::vector<Size> mins(tiles.size());
    for (size_t i = 0; i < tiles.size(); i += 3)
        mins[i] = {tiles[i].width() + 5, tiles[i].height() + 3};
    for (auto _ : state)
        benchmark::DoNotOptimize(Tidy::fit(tiles, mins, 10));
}

} // namespace

BENCHMARK(BM_TidyFrames)
    ->ArgsProduct({{1000}, {int(TidyLayout::grid), int(TidyLayout::columns), int(TidyLayout::rows),
                            int(TidyLayout::focus)}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TidyFit)->Arg(30)->Arg(150)->Unit(benchmark::kMicrosecond);
