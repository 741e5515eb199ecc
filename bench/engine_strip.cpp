// The arrange engine on the simulated desktop: the 0.4 s poll over an
// unchanged desktop (it must stay cheap: it runs all day), and a full strip
// pass. The simulated desktop's own share is measured beside them.

#include "engine_bench_world.h"

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace kavelo;

namespace {

struct World : bench::EngineWorld {
    // `windows` windows of 10 applications, spread over `displays` displays.
    World(int windows, int displays, ArrangeMode mode)
    {
        if (displays > 1)
            addSideDisplay();
        const std::vector<std::int32_t> apps = addApps(10);
        for (int i = 0; i < windows; ++i) {
            const double x = displays > 1 && i % 2 ? 1500 : 40;
            sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                    .title = "Window " + std::to_string(i),
                                    .frame = Rect(x + double(i % 20) * 10, 60, 600, 400)});
        }
        sim.focusWindow(sim.stacking().front());
        // Arranged, animation finished, nothing left to do.
        start(mode, 20);
        sim.resetCounters();
    }

    SimCounters total() const
    {
        SimCounters sum;
        for (WindowID id : sim.stacking()) {
            const auto c = sim.counters(id);
            sum.reads += c.reads;
            sum.writes += c.writes;
        }
        return sum;
    }
};

void idleTick(benchmark::State& state, ArrangeMode mode)
{
    World world(int(state.range(0)), 1, mode);
    for (auto _ : state)
        world.engine->tick();
    const auto done = world.total();
    if (done.reads || done.writes)
        state.SkipWithError("an idle tick read or wrote windows");
    state.counters["signature"] = double(world.engine->lastSignature.size());
}

// The poll over an unchanged desktop: the window list, the frontmost
// application, the signature text; no catalog read, no write.
void BM_EngineIdleTick(benchmark::State& state) { idleTick(state, ArrangeMode::strip); }
BENCHMARK(BM_EngineIdleTick)->Arg(100);

void BM_EngineIdleTickAuto(benchmark::State& state) { idleTick(state, ArrangeMode::auto_); }
BENCHMARK(BM_EngineIdleTickAuto)->Arg(100);

// The simulated desktop's part of the idle tick: its on-screen list alone.
void BM_EngineIdleTick_SimList(benchmark::State& state)
{
    World world(int(state.range(0)), 1, ArrangeMode::strip);
    for (auto _ : state)
        benchmark::DoNotOptimize(world.desktop.platform.windowServer.windowList(WindowListOption::onScreenOnly));
}
BENCHMARK(BM_EngineIdleTick_SimList)->Arg(100);

// A whole strip pass at rest: catalog, candidates, sync, layout, frames
// read and compared; nothing to write.
void BM_EngineStripPass(benchmark::State& state)
{
    World world(int(state.range(0)), 2, ArrangeMode::strip);
    for (auto _ : state)
        world.engine->arrange();
    if (world.total().writes)
        state.SkipWithError("a pass at rest wrote windows");
    state.counters["strips"] = double(world.engine->strips().size());
}
BENCHMARK(BM_EngineStripPass)->Arg(40)->Unit(benchmark::kMicrosecond);

// The simulated desktop's part of that pass: one catalog read and the
// attribute reads the pass makes of each window (candidate checks, the
// frame before the comparison).
void BM_EngineStripPass_SimShare(benchmark::State& state)
{
    World world(int(state.range(0)), 2, ArrangeMode::strip);
    for (auto _ : state) {
        const Snapshot snapshot = WindowCatalog::read(world.desktop);
        for (const auto& [id, element] : snapshot.elements) {
            benchmark::DoNotOptimize(element->subrole());
            benchmark::DoNotOptimize(element->fullScreen());
            benchmark::DoNotOptimize(element->sizeSettable());
            benchmark::DoNotOptimize(element->position());
            benchmark::DoNotOptimize(element->size());
            benchmark::DoNotOptimize(element->position());
            benchmark::DoNotOptimize(element->size());
        }
        benchmark::DoNotOptimize(world.sim.workspace().reducedMotion());
    }
}
BENCHMARK(BM_EngineStripPass_SimShare)->Arg(40)->Unit(benchmark::kMicrosecond);

} // namespace
