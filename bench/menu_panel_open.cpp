// The menu panel offscreen: a new panel with six workflows built, laid out
// and painted once, as each opening of the popover does.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/working_app.h"
#include "app/shell/qt/menu_panel_view.h"
#include "app/ui/capture.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace kavelo;

namespace {

struct QuietToast : Toast {
    void show(std::string, std::string) override {}
};

struct NoPanels : EnginePanels {
    std::unique_ptr<TabBars> makeTabBars() override { return nullptr; }
    std::unique_ptr<EdgeZones> makeEdgeZones() override { return nullptr; }
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override { return nullptr; }
    std::unique_ptr<Highlight> makeHighlight(WorkingApp&) override { return nullptr; }
};

void BM_MenuPanelOpen(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / ("kavelo-bench-panel-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    {
        ManualScheduler scheduler;
        SimDesktop sim;
        UserDefaults store(folder / "defaults.json");
        Preferences prefs(store, sim.loginItem(), [](int) { return false; });
        prefs.setArrangeMode(ArrangeMode::auto_);
        const Desktop desktop{sim.platform(scheduler, scheduler.clock()), prefs};
        WorkingApp working(sim.workspace());
        QuietToast toast;
        NoPanels panels;
        ArrangeEngine engine(desktop, working, toast, panels);
        std::vector<Workspace> workflows;
        for (int i = 1; i <= 6; ++i)
            workflows.push_back(Workspace{.name = "Workflow " + std::to_string(i), .displays = "fp", .slot = i});
        const auto screen = [&sim] { return screenUnderPointer(sim.displays(), sim.mouse()); };
        for (auto _ : state) {
            MenuPanel panel{.workflows = workflows,
                            .arrange = engine,
                            .needsSetup = true,
                            .find = [] {},
                            .tidy = [] {},
                            .saveWorkflow = [] {},
                            .deleteWorkflow = [](const std::string&) {},
                            .switchWorkflow = [](const std::string&) {},
                            .settings = [] {},
                            .arrangeSettings = [] {},
                            .setup = [] {},
                            .update = [] {},
                            .quit = [] {},
                            .preferences = prefs};
            MenuPanelView view(std::move(panel), MenuPanelContext{{scheduler, scheduler.clock()}, screen});
            const QImage image = Capture::render(view);
            benchmark::DoNotOptimize(image.constBits());
        }
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_MenuPanelOpen)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
