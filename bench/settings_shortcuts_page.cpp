// The settings window on the Shortcuts page (55 command rows) offscreen:
// from constructing the view to its first complete paint.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/settings/settings_view.h"
#include "app/ui/capture.h"

#include <QImage>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace kavelo;

namespace {

struct NoLaunches : ProcessLauncher {
    bool launch(const std::string&, const std::vector<std::string>&) override { return false; }
};

void BM_ShortcutsPageFirstPaint(benchmark::State& state)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("kavelo-bench-shortcuts-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store(folder / "defaults.json");
    Preferences prefs(store, sim.loginItem(), [](int) { return false; });
    PermissionWatcher watcher(sim.accessibility(), sim.capture(), scheduler);
    NoLaunches launcher;
    const PermissionActions actions{sim.accessibility(),
                                    Permissions{sim.capture(), sim.workspace(), launcher, OwnProcess::current(), {}}};
    const AnimationTime time{scheduler, scheduler.clock()};

    for (auto _ : state) {
        SettingsView view(prefs, watcher, actions, sim.workspace(), sim.keyboard(), time, SettingsTab::shortcuts);
        const QImage image = Capture::render(view);
        benchmark::DoNotOptimize(image.constBits());
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ShortcutsPageFirstPaint)->Unit(benchmark::kMillisecond);

} // namespace
