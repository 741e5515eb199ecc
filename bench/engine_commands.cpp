// The strip's wheel on the simulated desktop: one Control-Option wheel
// event as the event tap delivers it (it runs inside the tap, so it must
// stay cheap), and one animation step of a pan, its position writes
// included.

#include "engine_bench_world.h"

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/temp_home.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace kavelo;

namespace {

// `columns` windows, one strip column each, on one display, at rest.
struct StripWorld : bench::EngineWorld {
    explicit StripWorld(int columns)
    {
        sim.attach(&scheduler);
        const auto pid = sim.addApp(SimApp{.bundleID = "com.example.app", .name = "App"});
        WindowID first = 0;
        for (int i = 0; i < columns; ++i) {
            const WindowID id = sim.addWindow(SimWindow{.pid = pid, .title = "Window " + std::to_string(i),
                                                        .frame = Rect(40 + i % 20 * 10, 60, 600, 400)});
            first = first ? first : id;
            // One pass per window keeps them in the order they opened.
            if (engine)
                scheduler.advance(ArrangeEngine::pollInterval);
            else {
                start(ArrangeMode::strip, 0);
            }
        }
        sim.focusWindow(first);
        for (int i = 0; i < 30; ++i)
            scheduler.advance(ArrangeEngine::pollInterval);
    }
    ~StripWorld()
    {
        engine.reset();
        sim.attach(nullptr);
    }
};

// A wheel event in the middle of a wheel pan: the strip's offset moves,
// the settle is pushed back; the windows move on the animation's steps.
void BM_EngineScrollEvent(benchmark::State& state)
{
    StripWorld world(int(state.range(0)));
    if (!world.engine->scrolled(-120))
        state.SkipWithError("the wheel found no strip to pan");
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(world.engine->scrolled(++n % 2 ? 60 : -60));
        // The scheduler drops the cancelled settles as it runs.
        if (n % 1024 == 0)
            world.scheduler.runPending();
    }
}
BENCHMARK(BM_EngineScrollEvent)->Arg(30);

// The first wheel event: the pan begins (active strip, tab bars hidden,
// animation started, indicator rebuilt with the recording panel), then the
// pan ends again outside the timing.
void BM_EngineScrollEventFirst(benchmark::State& state)
{
    StripWorld world(int(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(world.engine->scrolled(-60));
        state.PauseTiming();
        EngineProbe::endPan(*world.engine, 0);
        world.scheduler.advance(1.0);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_EngineScrollEventFirst)->Arg(30)->Unit(benchmark::kMicrosecond);

// One animation frame of a pan: the offset moved by a wheel's worth, every
// window that moved half a point or more written (positions only).
void BM_EngineScrollFrame(benchmark::State& state)
{
    StripWorld world(int(state.range(0)));
    EngineProbe::beginPan(*world.engine);
    if (!world.engine->panning())
        state.SkipWithError("no pan began");
    int n = 0;
    world.sim.resetCounters();
    for (auto _ : state) {
        EngineProbe::pan(*world.engine, ++n % 2 ? 40 : -40);
        EngineProbe::step(*world.engine);
    }
    int writes = 0;
    for (WindowID id : world.sim.stacking())
        writes += world.sim.counters(id).positionWrites;
    state.counters["writes/frame"] = double(writes) / double(state.iterations());
}
BENCHMARK(BM_EngineScrollFrame)->Arg(30)->Unit(benchmark::kMicrosecond);

} // namespace
