#include "core/strip.h"

#include <benchmark/benchmark.h>

#include <numeric>

using namespace kavelo;

namespace {

// Columns of one to three windows, some tabbed and weighted, one pinned.
Strip sampleStrip(int columnCount)
{
    Strip s;
    WindowID next = 1;
    for (int i = 0; i < columnCount; ++i) {
        Strip::Column c;
        const int windows = 1 + i % 3;
        for (int k = 0; k < windows; ++k)
            c.ids.push_back(next++);
        c.active = c.ids.front();
        c.width = Strip::widths[std::size_t(i) % Strip::widths.size()];
        c.tabbed = i % 5 == 4;
        if (windows > 1)
            c.weights[c.ids.front()] = 1.5;
        if (i == 0)
            c.pin = Strip::Pin::left;
        s.columns.push_back(std::move(c));
    }
    s.focused = s.columns[std::size_t(columnCount) / 2].active;
    return s;
}

void BM_StripLayout(benchmark::State& state)
{
    Strip s = sampleStrip(int(state.range(0)));
    const Rect screen(0, 25, 1728, 1055);
    for (auto _ : state)
        benchmark::DoNotOptimize(s.layout(screen));
}

std::vector<WindowID> windowIDs(int count)
{
    std::vector<WindowID> ids(static_cast<std::size_t>(count));
    std::iota(ids.begin(), ids.end(), WindowID(1000));
    return ids;
}

// The common pass: the strip already holds every live window.
void BM_StripSyncSteady(benchmark::State& state)
{
    const auto ids = windowIDs(int(state.range(0)));
    Strip s;
    s.sync(ids);
    for (auto _ : state) {
        s.sync(ids, ids[ids.size() / 2]);
        benchmark::DoNotOptimize(s.focused);
    }
    state.SetComplexityN(state.range(0));
}

// Every window is new: each lands right after the one before.
void BM_StripSyncFromEmpty(benchmark::State& state)
{
    const auto ids = windowIDs(int(state.range(0)));
    for (auto _ : state) {
        Strip s;
        s.sync(ids);
        benchmark::DoNotOptimize(s.columns.data());
    }
    state.SetComplexityN(state.range(0));
}

// A steady strip where one window closed and another opened.
void BM_StripSyncChurn(benchmark::State& state)
{
    auto ids = windowIDs(int(state.range(0)));
    Strip base;
    base.sync(ids);
    ids.erase(ids.begin() + std::ptrdiff_t(ids.size() / 3));
    ids.push_back(1);
    for (auto _ : state) {
        state.PauseTiming();
        Strip s = base;
        state.ResumeTiming();
        s.sync(ids);
        benchmark::DoNotOptimize(s.columns.data());
    }
}

} // namespace

BENCHMARK(BM_StripLayout)->Arg(20)->Arg(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StripSyncSteady)->Arg(100)->Arg(1000)->Arg(10000)->Complexity()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StripSyncFromEmpty)->Arg(100)->Arg(1000)->Arg(10000)->Complexity()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StripSyncChurn)->Arg(100)->Unit(benchmark::kMicrosecond);
