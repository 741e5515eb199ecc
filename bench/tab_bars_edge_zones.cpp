// The tab bars and edge zones offscreen on the simulated desktop: what every
// strip application costs them (a show of the same bars, a show of an
// unchanged zone list), a change of the zones, and painting one tab row.

#include "app/engine/panels/edge_zones_panel.h"
#include "app/engine/panels/tab_bars_panel.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/ui/capture.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace kavelo;

namespace {

struct World {
    ManualScheduler scheduler;
    SimDesktop sim;
    Platform platform = sim.platform(scheduler, scheduler.clock());
    PanelHost host{platform};
};

std::vector<TabBars::Bar> bars(int count)
{
    std::vector<TabBars::Bar> out;
    for (int i = 0; i < count; ++i) {
        TabBars::Bar bar{.bar = TabBar{.frame = Rect(10 + 715.0 * i, 35, 705, 30), .ids = {}, .active = 0}};
        for (WindowID id = 1; id <= 3; ++id) {
            const WindowID window = WindowID(i) * 10 + id;
            bar.bar.ids.push_back(window);
            bar.titles[window] = "Window title " + std::to_string(window);
        }
        bar.bar.active = bar.bar.ids[1];
        out.push_back(std::move(bar));
    }
    return out;
}

std::vector<EdgeZones::Zone> zones(int count)
{
    return {EdgeZones::Zone{.key = "Built-in Display|1", .onLeft = true, .frame = Rect(0, 10, 3, 855), .count = count},
            EdgeZones::Zone{.key = "Built-in Display|1", .onLeft = false, .frame = Rect(1437, 10, 3, 855), .count = 1}};
}

// A strip application's share: the same bars shown again.
void BM_TabBarsShowAgain(benchmark::State& state)
{
    World world;
    TabBarsPanel panel(world.host, world.sim.workspace());
    const auto shown = bars(int(state.range(0)));
    for (auto _ : state) {
        panel.show(shown, [](WindowID) {});
        world.scheduler.runPending();
    }
}
BENCHMARK(BM_TabBarsShowAgain)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

void BM_EdgeZonesShowUnchanged(benchmark::State& state)
{
    World world;
    EdgeZonesPanel panel(world.host, world.platform.displays);
    panel.show(zones(2), [](const EdgeZones::Zone&) {});
    for (auto _ : state) {
        panel.show(zones(2), [](const EdgeZones::Zone&) {});
        benchmark::DoNotOptimize(panel.zones().data());
    }
}
BENCHMARK(BM_EdgeZonesShowUnchanged)->Unit(benchmark::kMicrosecond);

// A column brought in: one count changes.
void BM_EdgeZonesShowChanged(benchmark::State& state)
{
    World world;
    EdgeZonesPanel panel(world.host, world.platform.displays);
    int i = 0;
    for (auto _ : state)
        panel.show(zones(1 + (i++ % 2)), [](const EdgeZones::Zone&) {});
}
BENCHMARK(BM_EdgeZonesShowChanged)->Unit(benchmark::kMicrosecond);

void BM_TabRowPaint(benchmark::State& state)
{
    World world;
    TabBarsPanel panel(world.host, world.sim.workspace());
    panel.show(bars(1), [](WindowID) {});
    TabRow& row = panel.panels().front()->row();
    for (auto _ : state)
        benchmark::DoNotOptimize(Capture::render(row).constBits());
}
BENCHMARK(BM_TabRowPaint)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
