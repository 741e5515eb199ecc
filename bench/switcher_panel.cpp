// The switcher panel offscreen over 400 windows: opening it from a catalog
// already read, typing into it, and painting it.

#include "app/switcher/switcher_controller.h"
#include "app/switcher/views/switcher_free_panel.h"
#include "app/ui/capture.h"
#include "app/ui/shadows.h"
#include "bench/switcher_world.h"

#include <QApplication>
#include <QThreadPool>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <thread>

using namespace kavelo;

namespace {

QApplication& application()
{
    static int argc = 1;
    static char name[] = "switcher_bench";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        auto* made = new QApplication(argc, argv);
        QThreadPool::globalInstance()->setMaxThreadCount(1);
        return made;
    }();
    return *app;
}

struct PanelWorld : bench::SwitcherWorld {
    explicit PanelWorld(int windows)
        : SwitcherWorld(windows), host(desktop.platform),
          controller(desktop, SwitcherFreePanel::factory(host, sim.workspace()))
    {
        sim.setCaptureAllowed(false);
        snapshot = WindowCatalog::read(desktop);
        // The panel exists from an earlier session, as it does after the first.
        controller.begin(false);
        controller.load(snapshot);
        controller.show();
        controller.send(SwitcherKey::escape());
    }
    SwitcherFreePanel& panel() { return *static_cast<SwitcherFreePanel*>(controller.panel()); }

    PanelHost host;
    SwitcherController controller;
    Snapshot snapshot;
};

void BM_SwitcherOpen(benchmark::State& state)
{
    application();
    PanelWorld world(int(state.range(0)));
    for (auto _ : state) {
        world.controller.begin(false);
        world.controller.load(world.snapshot);
        world.controller.show();
        state.PauseTiming();
        world.controller.send(SwitcherKey::escape());
        state.ResumeTiming();
    }
    state.counters["windows"] = double(world.controller.model().session().windows.size());
}

// The first paint of a session draws every tile; later ones (a Tab) reuse them.
void BM_SwitcherPaintMap(benchmark::State& state)
{
    application();
    PanelWorld world(int(state.range(0)));
    world.controller.begin(false);
    world.controller.load(world.snapshot);
    world.controller.show();
    const bool first = state.range(1) != 0;
    for (auto _ : state) {
        // A first paint of new tile sizes: nothing blurred is kept yet.
        if (first) {
            world.panel().view().mapView()->invalidate();
            Shadows::clearCache();
        }
        benchmark::DoNotOptimize(Capture::render(world.panel().view()));
    }
}

void BM_SwitcherSearchKey(benchmark::State& state)
{
    application();
    PanelWorld world(int(state.range(0)));
    world.controller.begin(false);
    world.controller.load(world.snapshot);
    world.controller.show();
    world.controller.model().prepareSearch();
    const SwitcherKey letter = SwitcherKey::text("r");
    for (auto _ : state) {
        world.controller.send(letter);
        world.panel().view().ensureLayout();
        state.PauseTiming();
        world.controller.send(SwitcherKey::backspace());
        world.panel().view().ensureLayout();
        state.ResumeTiming();
    }
    state.counters["results"] = double(world.controller.model().resultCount());
}

// With window pictures (second argument 1) or the applications' icons.
void BM_SwitcherPaintResults(benchmark::State& state)
{
    application();
    PanelWorld world(int(state.range(0)));
    world.sim.setCaptureAllowed(state.range(1) != 0);
    world.controller.begin(false);
    world.controller.load(world.snapshot);
    world.controller.show();
    if (state.range(1) != 0) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (world.controller.model().thumbnails().size() < SwitcherController::thumbnailLimit &&
               std::chrono::steady_clock::now() < deadline) {
            world.scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    world.controller.send(SwitcherKey::text("r"));
    for (auto _ : state)
        benchmark::DoNotOptimize(Capture::render(world.panel().view()));
}

// A second open as a person sees it: the pictures kept from the session
// before (as many as are captured) show at once, the map is drawn and painted, then each window's
// fresh picture arrives and redraws its part of the map.
void BM_SwitcherOpenWithPictures(benchmark::State& state)
{
    application();
    PanelWorld world(int(state.range(0)));
    const auto pictures = [&] {
        std::vector<std::pair<WindowID, SharedImage>> out;
        for (const WindowEntry& w : world.snapshot.windows) {
            if (out.size() == SwitcherController::thumbnailLimit)
                break;
            Image image;
            image.width = 320;
            image.height = 200;
            image.rgba.assign(std::size_t(image.width * image.height * 4), std::uint8_t(w.id % 200));
            out.emplace_back(w.id, std::make_shared<const Image>(std::move(image)));
        }
        return out;
    };
    const auto kept = pictures();
    for (auto _ : state) {
        state.PauseTiming();
        world.controller.send(SwitcherKey::escape());
        const auto fresh = pictures();
        state.ResumeTiming();
        world.controller.begin(false);
        world.controller.load(world.snapshot);
        for (const auto& [id, picture] : kept)
            world.controller.model().addThumbnail(id, picture);
        world.scheduler.runPending();
        world.controller.show();
        benchmark::DoNotOptimize(Capture::render(world.panel().view()));
        for (const auto& [id, picture] : fresh) {
            world.controller.model().addThumbnail(id, picture);
            world.scheduler.runPending();
        }
        benchmark::DoNotOptimize(Capture::render(world.panel().view()));
    }
    state.counters["windows"] = double(kept.size());
}

} // namespace

BENCHMARK(BM_SwitcherOpenWithPictures)->Arg(55)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitcherOpen)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitcherSearchKey)->Arg(400)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitcherPaintMap)->Args({400, 1})->Args({400, 0})->Args({100, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwitcherPaintResults)->Args({400, 0})->Args({400, 1})->Unit(benchmark::kMillisecond);
