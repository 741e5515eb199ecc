// The strip memory's save, which follows every strip application (every
// focus move): with nothing changed it must stay cheap and leave the disk
// alone.

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
struct MemoryWorld {
    test::TempHome home;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store{home.paths().userDefaults};
    Preferences prefs{store, sim.loginItem(), [](int) { return false; }};
    Desktop desktop{sim.platform(scheduler, scheduler.clock()), prefs};
    WorkingApp working{sim.workspace()};
    testing::RecordingToast toast;
    testing::FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;

    explicit MemoryWorld(int columns)
    {
        sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0});
        std::vector<std::int32_t> apps;
        for (int i = 0; i < 10; ++i)
            apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i),
                                             .name = "App " + std::to_string(i)}));
        for (int i = 0; i < 2 * columns; ++i)
            sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                    .title = "A window with a title of some length " + std::to_string(i),
                                    .frame = Rect(i % 2 ? 1500 : 40, 60, 600, 400)});
        prefs.setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(desktop, working, toast, panels);
        engine->start();
        for (int i = 0; i < 40; ++i)
            scheduler.advance(ArrangeEngine::pollInterval);
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
