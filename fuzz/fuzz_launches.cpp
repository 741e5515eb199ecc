// The watchdog's launch list: whatever "launches.json" holds, a start
// writes back only times within the last 120 s, none after now, and starts
// the watcher unless more than three remain.

#include "app/platform/manual_scheduler.h"
#include "app/services/watchdog.h"
#include "core/json.h"
#include "fuzz/fuzz_support.h"

#include <fstream>

using namespace kavelo;

namespace {

struct Launcher : ProcessLauncher {
    int calls = 0;
    bool launch(const std::string&, const std::vector<std::string>&) override
    {
        ++calls;
        return true;
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    fuzz::clearScratch();
    const Paths paths{.applicationSupport = fuzz::scratch() / "support", .logs = fuzz::scratch() / "logs"};
    ManualClock clock;
    Launcher launcher;
    Watchdog watchdog(paths, clock, launcher, {1, "/k"});
    std::filesystem::create_directories(paths.applicationSupport);
    std::ofstream(watchdog.files().launches, std::ios::binary)
        .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    // Half the runs start after an unexpected exit.
    if (size % 2 == 1)
        std::ofstream(watchdog.files().running, std::ios::binary);
    watchdog.start();

    const std::vector<double> kept = watchdog.recentLaunches();
    const double now = epochSeconds(clock.now());
    for (double t : kept)
        FUZZ_CHECK(t <= now && now - t < Watchdog::window);
    FUZZ_CHECK(launcher.calls == (kept.size() <= Watchdog::maxRestarts ? 1 : 0));
    return 0;
}
