// Long random runs of what reaches a launched delegate: commands from any
// source, mode and snapping changes, the shortcut recorder coming and going,
// the switcher turned off and on, the popover toggled, windows opening,
// wakes and time passing. After every step the registered shortcuts are
// exactly what the settings ask for (none while recording), the switcher
// holds Option-Tab exactly while it may, and the popover is open exactly
// when the toggles and the commands that close it say so.

#include "shell/delegate_world.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

RC_GTEST_PROP(AppDelegateProperties, ShortcutsClaimsAndThePopoverFollowAnyRun, ())
{
    DelegateWorld world;
    const auto pid = world.app("org.example.editor", "Editor");
    world.window(pid, "one", Rect(100, 100, 600, 400));
    world.window(pid, "two", Rect(300, 200, 600, 400));
    AppDelegate& d = world.launch();
    Preferences& p = d.preferences();
    bool popoverOpen = false;

    const auto steps = *rc::gen::resize(
        60, rc::gen::container<std::vector<std::pair<int, int>>>(
                rc::gen::pair(rc::gen::inRange(0, 10), rc::gen::inRange(0, 1000))));
    for (const auto& [kind, n] : steps) {
        switch (kind) {
        case 0: {
            const Command command = allCommands[std::size_t(n) % allCommands.size()];
            d.run(command);
            // Commands change windows, not the popover.
            break;
        }
        case 1: p.setArrangeMode(allArrangeModes[std::size_t(n % 3)]); break;
        case 2: p.setSnappingEnabled(n % 2); break;
        case 3:
            p.setIsRecording(n % 2);
            p.onKeysChange();
            break;
        case 4: p.setSwitcherEnabled(n % 2); break;
        case 5:
            d.togglePopover();
            popoverOpen = !popoverOpen;
            break;
        case 6: world.window(pid, "w" + std::to_string(n), Rect(n % 800, n % 500, 400, 300)); break;
        case 7: d.wake(); break;
        case 8: world.scheduler.advance(Seconds(double(n % 200) / 10)); break;
        case 9:
            if (popoverOpen) {
                d.closePopover();
                popoverOpen = false;
            }
            break;
        }
        world.sim.settle();

        if (p.isRecording())
            RC_ASSERT(world.sim.registeredHotKeys().empty());
        else
            RC_ASSERT(registeredHotKeys(world.sim) == expectedHotKeys(p));
        RC_ASSERT(d.switcher().claimed() == (p.switcherEnabled() && !p.isRecording()));
        RC_ASSERT(d.popover().isOpen() == popoverOpen);
    }
}

} // namespace
