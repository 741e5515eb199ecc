// The simulated desktop's state file: a state either does not load (and
// changes nothing) or loads, dumps and loads again to the same state, and
// the desktop stays consistent as windows and applications come.

#include "app/platform/sim/sim_desktop.h"
#include "core/json.h"
#include "fuzz/fuzz_support.h"

#include <algorithm>
#include <set>

using namespace kavelo;

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size)
{
    const std::optional<Json> state = json::parse(fuzz::text(data, size));
    if (!state)
        return 0;
    SimDesktop sim;
    const Json before = sim.dump();
    if (!sim.load(*state)) {
        FUZZ_CHECK(sim.dump() == before);
        return 0;
    }
    const Json dumped = sim.dump();
    SimDesktop again;
    FUZZ_CHECK(again.load(dumped));
    FUZZ_CHECK(again.dump() == dumped);

    // New numbers never collide with loaded ones, nor wrap.
    const std::vector<WindowID> loaded = sim.stacking();
    const std::int32_t pid = sim.addApp({.name = "Fuzzed"});
    if (pid != 0) {
        FUZZ_CHECK(pid != sim.workspace().ownPid());
        const WindowID window = sim.addWindow({.pid = pid, .frame = Rect(0, 30, 300, 200)});
        if (window != 0)
            FUZZ_CHECK(std::find(loaded.begin(), loaded.end(), window) == loaded.end());
    }
    const std::vector<WindowID> stacking = sim.stacking();
    FUZZ_CHECK(std::set<WindowID>(stacking.begin(), stacking.end()).size() == stacking.size());
    (void)sim.windowServer().windowList(WindowListOption::all);
    (void)sim.displays().screens();
    return 0;
}
