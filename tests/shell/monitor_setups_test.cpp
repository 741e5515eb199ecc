// Monitor setups: the settle step after a change, restoring remembered
// layouts, bound workflows and the autosave.

#include "app/shell/monitor_setups.h"
#include "shell_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kavelo::testing {
namespace {

using ::testing::ElementsAre;

class MonitorSetupsTest : public ShellTest {
protected:
    MonitorSetupsTest()
        : setups(desktop, workflows,
                 MonitorSetups::Engine{.pause = [this](Seconds s) { log.push_back("pause " + std::to_string(int(s.count()))); },
                                       .adoptWindows = [this] { log.push_back("adopt"); },
                                       .displaysChanged = [this] { log.push_back("displaysChanged"); }})
    {
        setups.start();
    }

    std::uint32_t plugSide()
    {
        const auto id = sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0,
                                                  .vendor = 0x10ac, .model = 0xa0c4, .serial = 77});
        scheduler.runPending();
        return id;
    }
    void unplug(std::uint32_t id)
    {
        sim.removeDisplay(id);
        scheduler.runPending();
    }
    std::string withSide() const { return "1552-41040-1-1440x900|4268-41156-77-1920x1080"; }

    std::vector<std::string> log;
    MonitorSetups setups;
};

TEST_F(MonitorSetupsTest, FingerprintOfTheConnectedScreens)
{
    EXPECT_EQ(MonitorSetups::currentDisplays(sim.displays()), "1552-41040-1-1440x900");
    EXPECT_EQ(setups.displays().current, "1552-41040-1-1440x900");
    plugSide();
    EXPECT_EQ(MonitorSetups::currentDisplays(sim.displays()), withSide());
}

TEST_F(MonitorSetupsTest, PlugAndUnplugWithinTheSettleTimeSettlesOnceOnTheLastSetup)
{
    prefs.setArrangeMode(ArrangeMode::strip);
    const auto start = scheduler.now();
    const auto side = plugSide();
    EXPECT_EQ(setups.displays().current, withSide());
    EXPECT_EQ(setups.displays().holdUntil, start + DisplayTracker::hold);
    scheduler.advance(1.0);
    unplug(side);
    EXPECT_EQ(setups.displays().current, "1552-41040-1-1440x900");
    scheduler.advance(2.4);
    EXPECT_TRUE(log.empty());
    // Notices that change nothing do not re-arm it.
    setups.displaysChanged();
    scheduler.advance(0.1);
    EXPECT_THAT(log, ElementsAre("displaysChanged"));
    EXPECT_FALSE(setups.settling());
    scheduler.advance(60.0);
    EXPECT_THAT(log, ElementsAre("displaysChanged"));
}

TEST_F(MonitorSetupsTest, RemembersLayoutOfTheSetupWhenArrangingIsOff)
{
    const auto a = app("com.example.A", "A");
    const WindowID w = window(a, "w", {100, 100, 400, 300});
    // The layout autosaved while the side display was connected.
    workflows.store().save(Workspace{.name = WorkspaceStore::autoName(withSide()),
                                     .displays = withSide(),
                                     .windows = {{"com.example.A", "w", {1500, 50, 800, 600}}},
                                     .savedAt = scheduler.now()});
    plugSide();
    scheduler.advance(2.5);
    EXPECT_EQ(frameOf(w), Rect(1500, 50, 800, 600));
    EXPECT_THAT(log, ElementsAre("pause 4", "adopt"));
}

TEST_F(MonitorSetupsTest, RestoresOnlyWithArrangingOffTrustAndTheSetupStillCurrent)
{
    const auto a = app("com.example.A", "A");
    const WindowID w = window(a, "w", {100, 100, 400, 300});
    workflows.store().save(Workspace{.name = WorkspaceStore::autoName(withSide()),
                                     .displays = withSide(),
                                     .windows = {{"com.example.A", "w", {1500, 50, 800, 600}}},
                                     .savedAt = scheduler.now()});
    const Rect before = frameOf(w);

    prefs.setRemembersLayouts(false);
    unplug(plugSide());
    plugSide();
    scheduler.advance(3.0);
    EXPECT_EQ(frameOf(w), before);
    prefs.setRemembersLayouts(true);

    sim.setTrusted(false);
    const auto side = sim.displayList().back().id;
    unplug(side);
    scheduler.advance(3.0);
    plugSide();
    scheduler.advance(3.0);
    EXPECT_EQ(frameOf(w), before);
    sim.setTrusted(true);
    EXPECT_TRUE(log.empty());

    prefs.setArrangeMode(ArrangeMode::auto_);
    unplug(sim.displayList().back().id);
    scheduler.advance(3.0);
    plugSide();
    scheduler.advance(3.0);
    EXPECT_EQ(frameOf(w), before);
    EXPECT_THAT(log, ElementsAre("displaysChanged", "displaysChanged"));
}

TEST_F(MonitorSetupsTest, AWorkflowBoundToTheSetupBeatsTheRememberedLayout)
{
    const auto a = app("com.example.A", "A");
    const WindowID w = window(a, "w", {100, 100, 400, 300});
    workflows.store().save(Workspace{.name = WorkspaceStore::autoName(withSide()),
                                     .displays = withSide(),
                                     .windows = {{"com.example.A", "w", {1500, 50, 800, 600}}},
                                     .savedAt = scheduler.now()});
    stored("Docked", {{"com.example.A", "w", {1600, 100, 900, 700}}}, [&](Workspace& ws) {
        ws.displays = withSide();
        ws.opensOnSetup = true;
    });
    stored("Not bound", {{"com.example.A", "w", {0, 0, 10, 10}}}, [&](Workspace& ws) { ws.displays = withSide(); });
    plugSide();
    scheduler.advance(2.5);
    EXPECT_EQ(frameOf(w), Rect(1600, 100, 900, 700));
    EXPECT_EQ(toast.last(), "Switched to Docked");
    EXPECT_TRUE(log.empty());
}

TEST_F(MonitorSetupsTest, AutosaveWaitsOutTheHoldAndSavesNothingEmpty)
{
    const std::string name = WorkspaceStore::autoName("1552-41040-1-1440x900");
    // Nothing to capture: the timer fires and nothing is stored.
    scheduler.advance(60.0);
    EXPECT_FALSE(workflows.store().load(name));

    const auto a = app("com.example.A", "A");
    window(a, "w", {100, 100, 400, 300});
    scheduler.advance(60.0);
    const auto first = workflows.store().load(name);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->windows.size(), 1u);
    EXPECT_TRUE(workflows.items().empty());

    // After a change, 75 s pass before the new setup's layout is saved,
    // though the timer fires in between.
    unplug(plugSide());
    for (int i = 0; i < 74; ++i)
        scheduler.advance(1.0);
    EXPECT_EQ(workflows.store().load(name)->savedAt, first->savedAt);
    scheduler.advance(60.0);
    EXPECT_GT(workflows.store().load(name)->savedAt, first->savedAt);
}

TEST_F(MonitorSetupsTest, NoAutosaveWithoutTrustOrRememberedLayouts)
{
    const auto a = app("com.example.A", "A");
    window(a, "w", {100, 100, 400, 300});
    const std::string name = WorkspaceStore::autoName(setups.displays().current);
    prefs.setRemembersLayouts(false);
    scheduler.advance(60.0);
    EXPECT_FALSE(workflows.store().load(name));
    prefs.setRemembersLayouts(true);
    sim.setTrusted(false);
    scheduler.advance(60.0);
    EXPECT_FALSE(workflows.store().load(name));
    sim.setTrusted(true);
    setups.autosave();
    EXPECT_TRUE(workflows.store().load(name));
}

} // namespace
} // namespace kavelo::testing
