// The settings window offscreen: from constructing the view on a page to its
// first complete paint.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/settings_view.h"
#include "app/workflows/workflows.h"
#include "app/ui/capture.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace kavelo;

namespace {

struct NoLauncher : ProcessLauncher {
    bool launch(const std::string&, const std::vector<std::string>&) override { return false; }
};

struct NoToast : Toast {
    void show(std::string, std::string) override {}
};

struct NoPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseImportFile() override { return std::nullopt; }
};

// Construction on `tab` to the first paint, with `saved` workflows stored.
void firstPaint(benchmark::State& state, SettingsTab tab, int saved)
{
    const auto folder = std::filesystem::temp_directory_path() / ("kavelo-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store(folder / "defaults.json");
    Preferences prefs(store, sim.loginItem(), [](int) { return false; });
    PermissionWatcher watcher(sim.accessibility(), sim.capture(), scheduler);
    NoLauncher launcher;
    const PermissionActions actions{sim.accessibility(),
                                    Permissions{sim.capture(), sim.workspace(), launcher, OwnProcess::current(), {}}};
    const AnimationTime time{scheduler, scheduler.clock()};
    NoToast toast;
    NoPanels panels;
    Workflows workflows(Desktop{sim.platform(scheduler, scheduler.clock()), prefs}, toast, panels, folder / "Layouts");
    for (int i = 0; i < saved; ++i) {
        Workspace w{.name = "Workflow " + std::to_string(i + 1), .displays = "fp", .slot = i + 1};
        w.windows.assign(6, SavedWindow{"com.example.App", "Window", Rect(0, 0, 800, 600)});
        workflows.write(w);
    }

    for (auto _ : state) {
        SettingsView view(prefs, watcher, workflows, actions, sim.keyboard(), time, tab);
        const QImage image = Capture::render(view);
        benchmark::DoNotOptimize(image.constBits());
    }
    std::filesystem::remove_all(folder);
}
void BM_SettingsWindowFirstPaint(benchmark::State& state)
{
    firstPaint(state, SettingsTab::general, 0);
}
BENCHMARK(BM_SettingsWindowFirstPaint)->Unit(benchmark::kMillisecond);

// The Workflows page with all nine quick-switch slots taken.
void BM_SettingsWindowWorkflowsFirstPaint(benchmark::State& state)
{
    firstPaint(state, SettingsTab::workflows, 9);
}
BENCHMARK(BM_SettingsWindowWorkflowsFirstPaint)->Unit(benchmark::kMillisecond);

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
