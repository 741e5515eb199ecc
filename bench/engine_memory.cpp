// The strip memory's save, which follows every strip application (every
// focus move): with nothing changed it must stay cheap and leave the disk
// alone.

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

#include <filesystem>
#include <memory>

using namespace kavelo;

namespace {

// Two displays, `columns` windows of 10 applications on each, in strip mode
// and at rest.
struct MemoryWorld : bench::EngineWorld {
    explicit MemoryWorld(int columns)
    {
        addSideDisplay();
        const std::vector<std::int32_t> apps = addApps(10);
        for (int i = 0; i < 2 * columns; ++i)
            sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                    .title = "A window with a title of some length " + std::to_string(i),
                                    .frame = Rect(i % 2 ? 1500 : 40, 60, 600, 400)});
        start(ArrangeMode::strip, 40);
    }
};

void BM_EngineMemorySave(benchmark::State& state)
{
    MemoryWorld world(int(state.range(0)));
    std::size_t windows = 0;
    for (const auto& [key, strip] : world.engine->strips())
        windows += strip.columns.size();
    if (world.engine->strips().size() != 2 || windows != std::size_t(2 * state.range(0)))
        state.SkipWithError("the strips are not two of the given columns");
    // Gone from disk, it must stay gone: nothing changed, nothing is written.
    std::filesystem::remove(world.engine->memoryFile());
    for (auto _ : state)
        EngineProbe::saveMemory(*world.engine);
    if (std::filesystem::exists(world.engine->memoryFile()))
        state.SkipWithError("a save with nothing changed wrote the file");
}
BENCHMARK(BM_EngineMemorySave)->Arg(30)->Unit(benchmark::kMicrosecond);

} // namespace
