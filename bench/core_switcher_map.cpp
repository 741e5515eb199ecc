#include "core/switcher_map.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kavelo;

namespace {

// 150 windows over a laptop screen and two external displays, some of them
// straddling the displays, some minimized or on other desktops.
void BM_SwitcherMap(benchmark::State& state)
{
    const std::vector<Rect> screens{Rect(1920, 0, 2560, 1440), Rect(-1512, 300, 1512, 982), Rect(0, 0, 1920, 1080)};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> x(-1700, 4400), y(-100, 1400), w(300, 1800), h(200, 1100);
    std::vector<WindowEntry> windows;
    for (int i = 0; i < static_cast<int>(state.range(0)); ++i) {
        const WindowState s = i % 10 == 9 ? WindowState::minimized : i % 10 == 8 ? WindowState::otherSpace
                                                                                  : WindowState::visible;
        windows.push_back(WindowEntry{.id = WindowID(i + 1), .pid = 100 + i % 12, .appName = "Application",
                                      .bundleID = "com.example.application",
                                      .title = "A window title long enough to live on the heap " + std::to_string(i),
                                      .frame = Rect(x(rng), y(rng), w(rng), h(rng)), .state = s});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(SwitcherMap(windows, screens, Size(640, 200), 8));
}

} // namespace

BENCHMARK(BM_SwitcherMap)->Arg(150)->Unit(benchmark::kMicrosecond);
