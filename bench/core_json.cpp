#include "core/grid_plan.h"
#include "core/json.h"

#include <benchmark/benchmark.h>

using namespace kavelo;

namespace {

// A settings file of a busy user: bindings for every command, plans and
// minimum sizes for a few displays and applications.
std::string busyDefaults()
{
    Json bindings = Json::array();
    for (int i = 0; i < 55; ++i) {
        bindings.push_back("command" + std::to_string(i));
        bindings.push_back({{"keyCode", i}, {"modifiers", 6144}});
    }
    Json plans = Json::object(), sizes = Json::object();
    for (int d = 0; d < 4; ++d)
        plans["Display " + std::to_string(d)] = toJson(GridPlan::even(6, 4));
    for (int a = 0; a < 200; ++a)
        sizes["org.example.App" + std::to_string(a)] = {480.5, 320};
    return Json{{"bindings", bindings}, {"gridPlans", plans}, {"minimumSizes", sizes}, {"windowGap", 10}}.dump(2);
}

// The bounded parser every file goes through, against the library's own.
void BM_ParseBounded(benchmark::State& state)
{
    const std::string text = busyDefaults();
    for (auto _ : state)
        benchmark::DoNotOptimize(json::parse(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_ParseUnbounded(benchmark::State& state)
{
    const std::string text = busyDefaults();
    for (auto _ : state)
        benchmark::DoNotOptimize(Json::parse(text));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

// A 200 KB file 100,000 arrays deep is turned away at the 65th.
void BM_RefuseDeep(benchmark::State& state)
{
    const std::string text = std::string(100'000, '[') + std::string(100'000, ']');
    for (auto _ : state)
        benchmark::DoNotOptimize(json::parse(text));
}

// A stored plan of 2,000 cells is refused before any merging.
void BM_RefuseCrowdedPlan(benchmark::State& state)
{
    Json cells = Json::array();
    for (int i = 0; i < 2000; ++i)
        cells.push_back(toJson(GridCell{i % 6, (i / 6) % 4, 1, 1}));
    const Json stored{{"columns", 6}, {"rows", 4}, {"cells", cells}};
    for (auto _ : state)
        benchmark::DoNotOptimize(GridPlan_fromJson(stored));
}

} // namespace

BENCHMARK(BM_ParseBounded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ParseUnbounded)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefuseDeep)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefuseCrowdedPlan)->Unit(benchmark::kMicrosecond);
