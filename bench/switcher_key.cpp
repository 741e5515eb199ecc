// One typed letter in a switcher session over 400 windows: the key through
// `send`, the ranking the panel reads, and the panel placed again.

#include "app/switcher/switcher_controller.h"
#include "bench/switcher_world.h"

#include <benchmark/benchmark.h>

using namespace kavelo;

namespace {

struct NoPanel : SwitcherPanel {
    void show(const Rect& frame) override { last = frame; }
    void orderOut() override {}
    bool isShown() const override { return true; }
    Rect last;
};

void BM_SwitcherKey(benchmark::State& state)
{
    bench::SwitcherWorld world(int(state.range(0)));
    SwitcherController controller(world.desktop, [](SwitcherModel&, SwitcherOpen) {
        return std::make_unique<NoPanel>();
    });
    controller.begin(false);
    controller.load();
    world.scheduler.runPending();
    const SwitcherKey letter = SwitcherKey::text("r");
    for (auto _ : state) {
        controller.send(letter);
        benchmark::DoNotOptimize(controller.model().resultCount());
        state.PauseTiming();
        controller.send(SwitcherKey::backspace());
        state.ResumeTiming();
    }
    state.counters["windows"] = double(controller.model().session().windows.size());
}

} // namespace

BENCHMARK(BM_SwitcherKey)->Arg(400)->Unit(benchmark::kMillisecond);

namespace {

// What a session pays once, after its panel shows: the search texts.
void BM_SwitcherPrepareSearch(benchmark::State& state)
{
    bench::SwitcherWorld world(int(state.range(0)));
    const Snapshot snapshot = WindowCatalog::read(world.desktop);
    for (auto _ : state)
        benchmark::DoNotOptimize(WindowSearch::Prepared(snapshot.windows));
}

// The ranking a letter cost before: afresh over the windows, every read.
void BM_SwitcherRankAfresh(benchmark::State& state)
{
    bench::SwitcherWorld world(int(state.range(0)));
    const Snapshot snapshot = WindowCatalog::read(world.desktop);
    for (auto _ : state)
        benchmark::DoNotOptimize(WindowSearch::rank(snapshot.windows, "r"));
}

} // namespace

BENCHMARK(BM_SwitcherPrepareSearch)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitcherRankAfresh)->Arg(400)->Unit(benchmark::kMillisecond);
