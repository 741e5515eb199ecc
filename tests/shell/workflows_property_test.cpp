// Long random runs of saves, switches, windows coming and going and time
// passing, with the controller's promises checked after every step.

#include "shell_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <set>

namespace kavelo::testing {
namespace {

const std::vector<std::string> names{"A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K"};
const std::vector<std::string> apps{"com.example.One", "com.example.Two", "com.example.Three"};

struct WorkflowsWorld : SimWorld {
    WorkflowsWorld() : workflows(desktop, toast, panels, Workflows::folder(home.paths())) {}
    RecordingToast toast;
    ScriptedPanels panels;
    Workflows workflows;
};

// The list the views show mirrors the folder, in slot-then-name order, and
// no two workflows share a slot.
void checkItems(const Workflows& workflows)
{
    const auto& items = workflows.items();
    auto stored = workflows.store().named();
    RC_ASSERT(items.size() == stored.size());
    std::set<int> slots;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].slot) {
            RC_ASSERT(*items[i].slot >= 1);
            RC_ASSERT(*items[i].slot <= 9);
            RC_ASSERT(slots.insert(*items[i].slot).second);
        }
        if (i > 0) {
            const int a = items[i - 1].slot.value_or(10), b = items[i].slot.value_or(10);
            RC_ASSERT(a < b || (a == b && items[i - 1].name < items[i].name));
        }
    }
}

RC_GTEST_PROP(WorkflowsProperties, SwitchesAlwaysFinishOnceAndTheListMirrorsTheFolder, ())
{
    WorkflowsWorld world;
    std::vector<std::int32_t> pids;
    for (const auto& app : apps)
        pids.push_back(world.app(app, app));
    std::vector<WindowID> windows;
    int started = 0;
    std::vector<int> finishedCalls;   // per started switch
    std::map<int, std::size_t> savedWindows;

    // Every save goes to the disk: fifty steps at most keep a run short.
    const auto steps = *rc::gen::resize(50, rc::gen::container<std::vector<std::pair<int, int>>>(
                                                rc::gen::pair(rc::gen::inRange(0, 6), rc::gen::inRange(0, 100))));
    for (const auto& [kind, arg] : steps) {
        switch (kind) {
        case 0:
            world.workflows.save(names[std::size_t(arg) % names.size()], "fp");
            break;
        case 1: {
            const std::string name = names[std::size_t(arg) % names.size()];
            const auto stored = world.workflows.store().load(name);
            const int index = stored ? started++ : -1;
            if (stored) {
                finishedCalls.push_back(0);
                savedWindows[index] = stored->windows.size();
            }
            world.workflows.switchTo(name, [&, index](int placed) {
                RC_ASSERT(index >= 0);
                RC_ASSERT(placed >= 0);
                RC_ASSERT(std::size_t(placed) <= savedWindows[index]);
                ++finishedCalls[std::size_t(index)];
            });
            break;
        }
        case 2:
            world.workflows.switchTo(1 + arg % 9);
            break;
        case 3:
            windows.push_back(world.window(pids[std::size_t(arg) % pids.size()], "w" + std::to_string(arg % 4),
                                           Rect(arg * 7 % 900, arg * 3 % 500, 300 + arg, 200 + arg)));
            break;
        case 4:
            if (!windows.empty()) {
                const std::size_t at = std::size_t(arg) % windows.size();
                world.sim.closeWindow(windows[at]);
                windows.erase(windows.begin() + std::ptrdiff_t(at));
            }
            break;
        default:
            world.scheduler.advance(std::vector<double>{0.1, 0.5, 1.0, 3.0, 9.0}[std::size_t(arg) % 5]);
            break;
        }
        checkItems(world.workflows);
        // At most the newest switch is still placing windows.
        int open = 0;
        for (int calls : finishedCalls) {
            RC_ASSERT(calls <= 1);
            open += calls == 0;
        }
        RC_ASSERT(open <= 1);
    }
    world.scheduler.advance(20.0);
    for (int calls : finishedCalls)
        RC_ASSERT(calls == 1);
    RC_ASSERT(world.scheduler.pendingCount() == 0u);
}

} // namespace
} // namespace kavelo::testing
