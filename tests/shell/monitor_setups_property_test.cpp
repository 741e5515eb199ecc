// Monitors plugged, unplugged and resized at random moments: the tracker
// always names the connected set, the hold starts at the last real change,
// and the engine hears of each burst once, 2.5 s after its last change.

#include "app/shell/monitor_setups.h"
#include "shell_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <cmath>

namespace kavelo::testing {
namespace {

struct SetupsWorld : SimWorld {
    SetupsWorld()
        : workflows(desktop, toast, panels, Workflows::folder(home.paths())),
          setups(desktop, workflows, MonitorSetups::Engine{.displaysChanged = [this] { ++told; }})
    {
        prefs.setArrangeMode(ArrangeMode::strip);
        setups.start();
    }
    RecordingToast toast;
    ScriptedPanels panels;
    Workflows workflows;
    int told = 0;
    MonitorSetups setups;
};

const std::vector<SimDisplay> monitors{
    {.name = "Side", .frame = {1440, 0, 1920, 1080}, .vendor = 1, .model = 2, .serial = 3},
    {.name = "Top", .frame = {0, 900, 2560, 1440}, .vendor = 4, .model = 5},
    {.name = "Twin", .frame = {-1920, 0, 1920, 1080}, .vendor = 1, .model = 2, .serial = 3},
};

RC_GTEST_PROP(MonitorSetupsProperties, EachBurstOfChangesSettlesOnceOnTheLastSet, ())
{
    SetupsWorld world;
    std::vector<std::uint32_t> plugged;
    int expected = 0;
    // The test scheduler runs work on a microsecond grid: a burst ending
    // right at the delay is judged on that grid too.
    const auto micros = [](Date date) { return std::llround(epochSeconds(date) * 1e6); };
    bool settling = false;
    Date due = DisplayTracker::distantPast;
    Date lastChange = DisplayTracker::distantPast;
    std::string current = world.setups.displays().current;

    const auto steps = *rc::gen::resize(60, rc::gen::container<std::vector<std::pair<int, int>>>(
                                                rc::gen::pair(rc::gen::inRange(0, 5), rc::gen::inRange(0, 60))));
    for (const auto& [kind, arg] : steps) {
        if (kind == 0 && plugged.size() < monitors.size()) {
            plugged.push_back(world.sim.addDisplay(monitors[std::size_t(arg) % monitors.size()]));
        } else if (kind == 1 && !plugged.empty()) {
            const std::size_t at = std::size_t(arg) % plugged.size();
            world.sim.removeDisplay(plugged[at]);
            plugged.erase(plugged.begin() + std::ptrdiff_t(at));
        } else if (kind == 2 && !plugged.empty()) {
            const auto display = *world.sim.display(plugged[std::size_t(arg) % plugged.size()]);
            world.sim.setDisplayFrame(display.id, Rect(display.frame.origin, Size(1280 + 640 * (arg % 3), 1024)));
        } else if (kind == 3) {
            // A notice about nothing.
            world.setups.displaysChanged();
        } else {
            const Seconds step(std::vector<double>{0.3, 1.0, 2.4, 2.5, 10.0}[std::size_t(arg) % 5]);
            if (settling && micros(world.scheduler.now() + step) >= micros(due)) {
                ++expected;
                settling = false;
            }
            world.scheduler.advance(step);
        }
        const std::string now = MonitorSetups::currentDisplays(world.sim.displays());
        if (now != current) {
            current = now;
            lastChange = world.scheduler.now();
            due = lastChange + MonitorSetups::settleDelay;
            settling = true;
        }
        RC_ASSERT(world.setups.displays().current == current);
        RC_ASSERT(world.setups.displays().holdUntil == (lastChange == DisplayTracker::distantPast
                                                            ? DisplayTracker::distantPast
                                                            : lastChange + DisplayTracker::hold));
        RC_ASSERT(world.setups.settling() == settling);
        RC_ASSERT(world.told == expected);
    }
}

// Found by the property above: steps of 0.3, 0.3, 0.3, 0.3, 1.0 and 0.3 s
// reach the settle delay only to within rounding.
TEST(MonitorSetupsBursts, ABurstEndingRightAtTheDelaySettlesOnce)
{
    SetupsWorld world;
    world.sim.removeDisplay(world.sim.addDisplay(monitors[0]));
    for (double step : {0.3, 0.3, 0.3, 0.3, 1.0})
        world.scheduler.advance(step);
    EXPECT_TRUE(world.setups.settling());
    EXPECT_EQ(world.told, 0);
    world.scheduler.advance(0.3);
    EXPECT_FALSE(world.setups.settling());
    EXPECT_EQ(world.told, 1);
}

} // namespace
} // namespace kavelo::testing
