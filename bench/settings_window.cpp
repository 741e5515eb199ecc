// The settings window offscreen: from constructing the view on the General
// page to its first complete paint.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/settings_view.h"
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

void BM_SettingsWindowFirstPaint(benchmark::State& state)
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

    for (auto _ : state) {
        SettingsView view(prefs, watcher, actions, sim.workspace(), sim.keyboard(), time, SettingsTab::general);
        const QImage image = Capture::render(view);
        benchmark::DoNotOptimize(image.constBits());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SettingsWindowFirstPaint)->Unit(benchmark::kMillisecond);

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
