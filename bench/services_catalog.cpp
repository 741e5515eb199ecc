// One catalog read bounds how fast the switcher and the overview open.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"

#include <benchmark/benchmark.h>

#include <filesystem>

using namespace kavelo;

namespace {

// `windows` windows of 40 applications on two displays: most on screen,
// some minimized, some hidden, some on another desktop.
void populate(SimDesktop& sim, int windows)
{
    sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0});
    const std::uint64_t away = sim.addDesktop(1);
    std::vector<std::int32_t> apps;
    for (int i = 0; i < 40; ++i)
        apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i),
                                         .name = "App " + std::to_string(i),
                                         .hidden = i % 13 == 12}));
    for (int i = 0; i < windows; ++i) {
        SimWindow w{.pid = apps[std::size_t(i) % apps.size()],
                    .title = "Window " + std::to_string(i),
                    .frame = Rect(double(i % 30) * 40, 30 + double(i % 20) * 20, 600, 400)};
        w.minimized = i % 11 == 3;
        if (i % 9 == 5)
            w.desktop = away;
        if (i % 17 == 7)
            w.numberReadable = false;
        sim.addWindow(std::move(w));
    }
}

void BM_CatalogRead(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "kavelo-bench-catalog";
    std::filesystem::create_directories(folder);
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store(folder / "defaults.json");
    Preferences prefs(store, sim.loginItem(), [](int) { return false; });
    const Desktop desktop{sim.platform(scheduler, scheduler.clock()), prefs};
    populate(sim, int(state.range(0)));

    std::size_t listed = 0;
    for (auto _ : state) {
        Snapshot s = WindowCatalog::read(desktop);
        listed = s.windows.size();
        benchmark::DoNotOptimize(s);
    }
    state.counters["listed"] = double(listed);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CatalogRead)->Arg(40)->Arg(400)->Unit(benchmark::kMicrosecond);

} // namespace
