// Focus follows mouse on the simulated desktop: a mouse-moved event only
// replaces the pending hover step, at pointer rate; the window list is read
// once the pointer rests.

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

struct HoverWorld : bench::EngineWorld {
    // 40 windows of 10 applications, arranged on the strip, hover on.
    HoverWorld()
    {
        const std::vector<std::int32_t> apps = addApps(10);
        for (int i = 0; i < 40; ++i)
            sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                    .title = "Window " + std::to_string(i),
                                    .frame = Rect(40 + double(i % 20) * 10, 60, 600, 400)});
        prefs.setFocusFollowsMouse(true);
        start(ArrangeMode::strip, 20);
    }
};

// The engine's own share: cancel the pending step, schedule the next.
void BM_EngineMouseMoved(benchmark::State& state)
{
    HoverWorld world;
    std::int64_t n = 0;
    for (auto _ : state) {
        EngineProbe::mouseMoved(*world.engine);
        // The test scheduler keeps cancelled steps until it runs: drop them
        // now and then, outside the measurement.
        if (++n % 4096 == 0) {
            state.PauseTiming();
            world.scheduler.runPending();
            state.ResumeTiming();
        }
    }
    if (!EngineProbe::hoverPending(*world.engine))
        state.SkipWithError("no hover step pending");
}
BENCHMARK(BM_EngineMouseMoved);

// The whole event: the simulated pointer's monitor delivering the move.
void BM_EngineMouseMovedEvent(benchmark::State& state)
{
    HoverWorld world;
    std::int64_t n = 0;
    for (auto _ : state) {
        world.sim.movePointer(Point(double(n % 1400), 300));
        if (++n % 4096 == 0) {
            state.PauseTiming();
            world.scheduler.runPending();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_EngineMouseMovedEvent);

// What the rest costs once: the window list walked and the window raised.
void BM_EngineFocusUnderMouse(benchmark::State& state)
{
    HoverWorld world;
    world.sim.movePointer(Point(700, 300));
    for (auto _ : state)
        EngineProbe::focusUnderMouse(*world.engine);
}
BENCHMARK(BM_EngineFocusUnderMouse);

} // namespace
