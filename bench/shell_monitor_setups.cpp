// The display-change notice when nothing changed: notices come in bursts,
// and each must cost no more than reading the screens and comparing one
// fingerprint.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/shell/monitor_setups.h"
#include "app/workflows/workflows.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

using namespace kavelo;

struct QuietToast : Toast {
    void show(std::string, std::string) override {}
};
struct NoPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseImportFile() override { return std::nullopt; }
};

void BM_DisplaysChangedUnchanged(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / "kavelo-bench-monitor-setups";
    std::filesystem::create_directories(folder);
    ManualScheduler scheduler;
    SimDesktop sim;
    sim.addDisplay(SimDisplay{.name = "Left", .frame = {-1920, 0, 1920, 1080}, .vendor = 0x10ac, .model = 0xa0c4, .serial = 1});
    sim.addDisplay(SimDisplay{.name = "Right", .frame = {1440, 0, 2560, 1440}, .vendor = 0x4c2d, .model = 0x0e8f, .serial = 2});
    UserDefaults defaults(folder / "defaults.json");
    Preferences preferences(defaults, sim.loginItem(), [](int) { return false; });
    const Desktop desktop{sim.platform(scheduler, scheduler.clock()), preferences};
    QuietToast toast;
    NoPanels panels;
    Workflows workflows(desktop, toast, panels, folder / "Layouts");
    MonitorSetups setups(desktop, workflows);
    for (auto _ : state)
        setups.displaysChanged();
    if (setups.settling())
        state.SkipWithError("an unchanged set armed the settle step");
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_DisplaysChangedUnchanged);

} // namespace
