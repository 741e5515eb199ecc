// Opening the overview: from the request to the panel laid out offscreen,
// the catalog read of the simulated desktop included, thumbnails off; then
// painting it, measured apart.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/switcher/card_sizes.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/views/overview_key_panel.h"
#include "app/ui/capture.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace kavelo;

namespace {

// `count` windows of 40 applications on one 1920 × 1080 display: most on
// screen, some minimized, some hidden, some on another desktop.
void populate(SimDesktop& sim, int count)
{
    const std::uint32_t display = sim.displayList().front().id;
    sim.setDisplayFrame(display, Rect(0, 0, 1920, 1080));
    const std::uint64_t away = sim.addDesktop(display);
    std::vector<std::int32_t> apps;
    for (int i = 0; i < 40; ++i)
        apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i),
                                         .name = "App " + std::to_string(i),
                                         .hidden = i % 13 == 12}));
    for (int i = 0; i < count; ++i) {
        SimWindow w{.pid = apps[std::size_t(i) % apps.size()],
                    .title = "Window " + std::to_string(i) + " — a document with a longer title",
                    .frame = Rect(double(i % 30) * 40, 30 + double(i % 20) * 20, 900, 600)};
        w.minimized = i % 11 == 3;
        if (i % 9 == 5)
            w.desktop = away;
        sim.addWindow(std::move(w));
    }
}

struct World {
    explicit World(int count)
        : folder(std::filesystem::temp_directory_path() / "kavelo-bench-overview"),
          store((std::filesystem::create_directories(folder), folder / "defaults.json")),
          prefs(store, sim.loginItem(), [](int) { return false; }),
          desktop{sim.platform(scheduler, scheduler.clock()), prefs}, host(desktop.platform),
          controller(desktop, OverviewKeyPanel::factory(host, desktop.platform))
    {
        populate(sim, count);
        controller.loadThumbnails = nullptr;
    }
    ~World() { std::filesystem::remove_all(folder); }

    std::filesystem::path folder;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store;
    Preferences prefs;
    Desktop desktop;
    PanelHost host;
    OverviewController controller;
};

void BM_OverviewOpen(benchmark::State& state)
{
    World world(int(state.range(0)));
    // The panel is made once per process; the first opening is not measured.
    world.controller.show();
    world.controller.hide();
    auto& panel = static_cast<OverviewKeyPanel&>(*world.controller.panel());
    for (auto _ : state) {
        world.controller.show();
        benchmark::DoNotOptimize(panel.view().grid()->builtRange());
        state.PauseTiming();
        world.controller.hide();
        world.scheduler.runPending();
        state.ResumeTiming();
    }
    state.counters["windows"] = double(world.controller.model().windows().size());
    state.counters["built"] = double(panel.view().grid()->builtCards().size());
}
BENCHMARK(BM_OverviewOpen)->Arg(200)->Unit(benchmark::kMillisecond);

// Paints the whole panel, with a 480 × 300 picture in every card when
// `pictures` is set (application icons otherwise).
void paint(benchmark::State& state, bool pictures)
{
    World world(int(state.range(0)));
    world.controller.show();
    if (pictures)
        for (const auto& w : world.controller.model().windows()) {
            Image image{.width = 480, .height = 300};
            image.rgba.assign(std::size_t(480) * 300 * 4, std::uint8_t(w.id * 37));
            world.controller.model().setThumbnail(w.id, std::move(image));
        }
    world.scheduler.advance(1);
    auto& panel = static_cast<OverviewKeyPanel&>(*world.controller.panel());
    QImage image(panel.panel().size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        panel.panel().render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        benchmark::DoNotOptimize(image.constBits());
    }
}
void BM_OverviewPaint(benchmark::State& state)
{
    paint(state, false);
}
BENCHMARK(BM_OverviewPaint)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_OverviewPaintPictures(benchmark::State& state)
{
    paint(state, true);
}
BENCHMARK(BM_OverviewPaintPictures)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_OverviewSearchKey(benchmark::State& state)
{
    World world(int(state.range(0)));
    world.controller.show();
    auto& panel = static_cast<OverviewKeyPanel&>(*world.controller.panel());
    int i = 0;
    for (auto _ : state) {
        // One typed letter: the results ranked again and the grid laid out.
        world.controller.model().setQuery((i++ % 2) ? "wi" : "win");
        benchmark::DoNotOptimize(panel.view().grid()->builtRange());
    }
}
BENCHMARK(BM_OverviewSearchKey)->Arg(200)->Unit(benchmark::kMicrosecond);

// An opening as the user sees it first: the catalog read, the panel laid
// out and every card in view painted, with pictures already at their
// cards' size for every window (as the shared cache hands them over).
void BM_OverviewFirstPaint(benchmark::State& state)
{
    World world(int(state.range(0)));
    world.controller.show();
    world.controller.hide();
    QCoreApplication::processEvents();
    for (auto _ : state) {
        world.controller.show();
        const Size box = CardSizes::overviewPictureOnScreen(1920, world.controller.model().columns());
        std::unordered_map<WindowID, SharedImage> pictures;
        for (const auto& w : world.controller.model().windows()) {
            const auto size = Thumbnails::pixelSize(w.frame.size, box, 1).value();
            auto image = std::make_shared<Image>(Image{.width = size.first, .height = size.second});
            image->rgba.assign(std::size_t(size.first) * size.second * 4, std::uint8_t(w.id * 37));
            pictures.emplace(w.id, std::move(image));
        }
        world.controller.model().setThumbnails(std::move(pictures));
        QCoreApplication::processEvents();
        state.PauseTiming();
        world.controller.hide();
        world.scheduler.runPending();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OverviewFirstPaint)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

// One typed letter at 100 windows with their pictures: the search, the
// layout and the repaint of what changed, as the open panel does it
// (offscreen, so without the trip to a server). The letters of "window 1"
// are typed one at a time, each after the last one's cards came to rest.
void BM_OverviewLetterRepaint(benchmark::State& state)
{
    World world(int(state.range(0)));
    world.controller.show();
    for (const auto& w : world.controller.model().windows()) {
        Image image{.width = 200, .height = 130};
        image.rgba.assign(std::size_t(200) * 130 * 4, std::uint8_t(w.id * 37));
        world.controller.model().setThumbnail(w.id, std::move(image));
    }
    QCoreApplication::processEvents();
    world.scheduler.advance(1);
    QCoreApplication::processEvents();
    const std::string typed = "window 1";
    std::size_t letters = 0;
    for (auto _ : state) {
        letters = letters % typed.size() + 1;
        world.controller.model().setQuery(typed.substr(0, letters));
        QCoreApplication::processEvents();
        state.PauseTiming();
        world.scheduler.advance(1);
        QCoreApplication::processEvents();
        if (letters == typed.size()) {
            world.controller.model().setQuery("");
            world.scheduler.advance(1);
            QCoreApplication::processEvents();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OverviewLetterRepaint)->Arg(100)->Unit(benchmark::kMillisecond);

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
