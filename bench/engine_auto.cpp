// The arrange engine in auto mode on the simulated desktop: a full pass
// that lays out every window of two displays (catalog, candidates, layout,
// three writes and a read per window), and the simulated desktop's own
// share of it, so that the engine's part can be told apart.

#include "engine_bench_world.h"

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/ax.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/temp_home.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace kavelo;

namespace {

struct AutoWorld : bench::EngineWorld {
    // `windows` windows of 10 applications, half on each of two displays;
    // none can be narrower than 300 points, so on the smaller display some
    // of them wait past the edges.
    explicit AutoWorld(int windows)
    {
        addSideDisplay();
        const std::vector<std::int32_t> apps = addApps(10);
        std::map<std::string, Size> minimums;
        for (int i = 0; i < 10; ++i)
            minimums["com.example.app" + std::to_string(i)] = Size(300, 0);
        prefs.setMinimumSizes(minimums);
        for (int i = 0; i < windows; ++i) {
            const double x = i % 2 ? 1500 : 40;
            sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                    .title = "Window " + std::to_string(i),
                                    .frame = Rect(x + double(i % 20) * 10, 60, 600, 400),
                                    .minSize = Size(300, 0)});
        }
        start(ArrangeMode::auto_, 20);
    }
};

// A pass that lays every key out again (as after a settings change).
void BM_EngineAutoPass(benchmark::State& state)
{
    AutoWorld world(int(state.range(0)));
    for (auto _ : state) {
        EngineProbe::makeAutoStale(*world.engine);
        world.engine->arrange();
    }
    std::size_t shown = 0;
    std::size_t waiting = 0;
    for (const auto& [key, ids] : world.engine->autoShown())
        shown += ids.size();
    for (const auto& [key, sides] : world.engine->autoWaiting())
        waiting += sides.left.size() + sides.right.size();
    state.counters["shown"] = double(shown);
    state.counters["waiting"] = double(waiting);
}
BENCHMARK(BM_EngineAutoPass)->Arg(40)->Unit(benchmark::kMicrosecond);

// The simulated desktop's part of that pass: the catalog read, the
// attribute reads of the candidate checks and the main window's title, and
// every window written and read back.
void BM_EngineAutoPass_SimShare(benchmark::State& state)
{
    AutoWorld world(int(state.range(0)));
    for (auto _ : state) {
        const Snapshot snapshot = WindowCatalog::read(world.desktop);
        std::vector<FrameWrite> writes;
        for (const auto& [id, element] : snapshot.elements) {
            benchmark::DoNotOptimize(element->subrole());
            benchmark::DoNotOptimize(element->fullScreen());
            benchmark::DoNotOptimize(element->sizeSettable());
            benchmark::DoNotOptimize(element->title());
            const auto frame = AX::rect(*element);
            if (frame)
                writes.push_back(FrameWrite{.element = element, .frame = *frame});
        }
        AX::setFrames(world.desktop.platform.accessibility, writes);
        for (const auto& write : writes)
            benchmark::DoNotOptimize(AX::rect(*write.element));
    }
}
BENCHMARK(BM_EngineAutoPass_SimShare)->Arg(40)->Unit(benchmark::kMicrosecond);

} // namespace
