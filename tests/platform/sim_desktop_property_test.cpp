#include "app/platform/sim/sim_desktop.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <set>

using namespace kavelo;

namespace {

// Invariants every later test leans on, checked after each step.
void checkInvariants(SimDesktop& sim, std::set<WindowID>& everSeen, WindowID& highest)
{
    const auto stack = sim.stacking();
    const std::set<WindowID> unique(stack.begin(), stack.end());
    RC_ASSERT(unique.size() == stack.size());

    const auto all = sim.windowServer().windowList(WindowListOption::all).value();
    RC_ASSERT(all.size() == stack.size());
    for (std::size_t i = 1; i < all.size(); ++i)
        RC_ASSERT(all[i - 1].layer >= all[i].layer);
    const auto shown = sim.windowServer().windowList(WindowListOption::onScreenOnly).value();
    for (const auto& w : shown)
        RC_ASSERT(w.onScreen);

    for (WindowID n : stack) {
        if (!everSeen.count(n)) {
            RC_ASSERT(n > highest);   // never a number used before
            highest = n;
            everSeen.insert(n);
        }
        const auto w = sim.window(n).value();
        RC_ASSERT(w.frame.size.width >= 1 && w.frame.size.height >= 1);
        RC_ASSERT(w.frame.isFinite());
    }

    for (const auto& app : sim.workspace().runningApps()) {
        const auto windows = sim.accessibility().windows(app.pid);
        if (!windows)
            continue;
        for (const auto& e : *windows) {
            const auto number = e->windowNumber();
            if (number)
                RC_ASSERT(unique.count(*number) == 1u);
        }
        if (auto focused = sim.accessibility().focusedWindow(app.pid))
            RC_ASSERT(focused->minimized() == std::optional(false));
    }
    if (auto front = sim.workspace().frontmostApp())
        RC_ASSERT(!front->hidden);
}

} // namespace

RC_GTEST_PROP(SimDesktopProperty, RandomOperationsKeepTheDesktopConsistentAndRoundTrip, ())
{
    SimDesktop sim;
    std::vector<std::int32_t> pids{sim.addApp({.name = "A"}), sim.addApp({.name = "B"}), sim.addApp({.name = "C"})};
    std::set<WindowID> seen;
    WindowID highest = 0;
    const int steps = *rc::gen::inRange(1, 60);
    for (int step = 0; step < steps; ++step) {
        const auto stack = sim.stacking();
        const int op = *rc::gen::inRange(0, 12);
        const auto pickWindow = [&]() -> std::optional<WindowID> {
            if (stack.empty())
                return std::nullopt;
            return stack[*rc::gen::inRange<std::size_t>(0, stack.size())];
        };
        const std::int32_t pid = pids[*rc::gen::inRange<std::size_t>(0, pids.size())];
        switch (op) {
        case 0:
        case 1:
            sim.addWindow({.pid = pid,
                           .frame = Rect(*rc::gen::inRange(-2000, 3000), *rc::gen::inRange(-1000, 2000),
                                         *rc::gen::inRange(50, 3000), *rc::gen::inRange(50, 2000)),
                           .minSize = Size(*rc::gen::inRange(0, 900), *rc::gen::inRange(0, 900)),
                           .defersWrites = *rc::gen::arbitrary<bool>()});
            break;
        case 2:
            if (auto n = pickWindow())
                sim.closeWindow(*n);
            break;
        case 3:
            if (auto e = sim.accessibility().focusedWindow(pid))
                e->setSize(Size(*rc::gen::inRange(-100, 5000), *rc::gen::inRange(-100, 5000)));
            break;
        case 4:
            if (auto e = sim.accessibility().focusedWindow(pid))
                e->setPosition(Point(*rc::gen::inRange(-5000, 5000), *rc::gen::inRange(-5000, 5000)));
            break;
        case 5:
            if (auto windows = sim.accessibility().windows(pid); windows && !windows->empty())
                windows->back()->raise();
            break;
        case 6:
            sim.workspace().activate(pid);
            break;
        case 7:
            *rc::gen::arbitrary<bool>() ? sim.workspace().hide(pid) : sim.workspace().unhide(pid);
            break;
        case 8:
            if (auto e = sim.accessibility().focusedWindow(pid))
                e->setMinimized(true);
            break;
        case 9: {
            const auto displays = sim.displayList();
            if (displays.size() < 3)
                sim.addDisplay({.name = "Ext", .frame = Rect(*rc::gen::inRange(-3000, 3000), *rc::gen::inRange(-1500, 1500),
                                                             1920, 1080)});
            else
                sim.removeDisplay(displays.back().id);
            break;
        }
        case 10: {
            const auto d = sim.displayList().front();
            const auto desktop = d.desktops.size() < 3 ? sim.addDesktop(d.id) : d.desktops.front();
            sim.switchDesktop(d.id, desktop);
            if (auto n = pickWindow())
                sim.moveToDesktop(*n, desktop);
            break;
        }
        case 11:
            sim.settle();
            break;
        default:
            if (auto n = pickWindow())
                sim.focusWindow(*n);
            break;
        }
        checkInvariants(sim, seen, highest);
    }
    const auto dumped = sim.dump();
    SimDesktop copy;
    RC_ASSERT(copy.load(dumped));
    RC_ASSERT(copy.dump() == dumped);
    RC_ASSERT(copy.stacking() == sim.stacking());
}
