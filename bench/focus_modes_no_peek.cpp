// No peek refreshes 30 times a second while it is on: a tick whose focused
// window has not moved must cost next to nothing and touch no panel.

#include "app/engine/no_peek.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/working_app.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

using namespace kavelo;

namespace {

// Bands that only count the geometry they are given.
struct CountingBand : ShadeBand {
    explicit CountingBand(int& sets) : sets(sets) {}
    void setFrame(const Rect&) override { ++sets; }
    void setLook(double, bool) override {}
    void setShown(bool) override {}
    int& sets;
};

struct CountingPanels : FocusModePanels {
    std::unique_ptr<CurtainPanel> makeCurtain(bool) override { return nullptr; }
    std::unique_ptr<ShadeBand> makeShadeBand() override { return std::make_unique<CountingBand>(frameSets); }
    std::optional<Rect> ownTitledKeyWindow() const override { return std::nullopt; }
    int frameSets = 0;
};

// `range(0)` displays side by side, twenty windows of five applications
// spread over them, one of them focused.
void BM_NoPeekTick(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "kavelo-bench-no-peek";
    std::filesystem::create_directories(folder);
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store(folder / "defaults.json");
    Preferences prefs(store, sim.loginItem(), [](int) { return false; });
    const Desktop desktop{sim.platform(scheduler, scheduler.clock()), prefs};
    for (int d = 1; d < state.range(0); ++d)
        sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440.0 + 1920 * (d - 1), 0, 1920, 1080}, .menuBar = 0});
    std::vector<std::int32_t> apps;
    for (int i = 0; i < 5; ++i)
        apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i), .name = "App"}));
    std::vector<WindowID> windows;
    for (int i = 0; i < 20; ++i)
        windows.push_back(sim.addWindow(SimWindow{.pid = apps[std::size_t(i) % apps.size()],
                                          .title = "Window " + std::to_string(i),
                                          .frame = Rect(double(i) * 150, 60 + double(i % 5) * 40, 800, 500)}));
    sim.focusWindow(windows[2]);

    CountingPanels panels;
    WorkingApp working(sim.workspace());
    working.start();
    NoPeek noPeek(desktop, working, panels);
    prefs.setNoPeekOn(true);
    noPeek.update();
    const int laidOut = panels.frameSets;
    // The focused window has its hole: some screen has a band beside it.
    bool hole = false;
    for (const auto& shade : noPeek.shades())
        hole = hole || !shade->bandFrames()[ShadeView::left].isEmpty() || !shade->bandFrames()[ShadeView::right].isEmpty();
    if (!hole)
        state.SkipWithError("no hole for the focused window");

    for (auto _ : state)
        noPeek.update();

    if (panels.frameSets != laidOut)
        state.SkipWithError("an unchanged tick set panel geometry");
    state.counters["frameSets"] = double(panels.frameSets - laidOut);
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_NoPeekTick)->Arg(1)->Arg(2)->Arg(4)->Unit(benchmark::kMicrosecond);

} // namespace
