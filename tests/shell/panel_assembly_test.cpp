// The panel the popover shows at each opening, filled from the shell: the
// front application rule, the setup and update flags, and every action
// bound to its operation, closing the popover first (but delete and quit).

#include "app/shell/panel_assembly.h"
#include "shell/panel_world.h"

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class PopoverPanelTest : public ::testing::Test, public PanelWorld {
protected:
    PopoverPanelTest() : workflows(desktop, toast, questions, Workflows::folder(home.paths())) {}

    MenuPanel build(bool canUpdate = false)
    {
        const auto log = [this](std::string what) { return [this, what] { calls.push_back(what); }; };
        const ShellOperations operations{
            .closePopover = log("close"),
            .showOverview = log("overview"),
            .tidy = log("tidy"),
            .saveWorkspace = log("save"),
            .switchWorkflow = [this](const std::string& name) { calls.push_back("switch " + name); },
            .showSettings = [this](SettingsTab tab) { calls.push_back("settings " + std::string(rawValue(tab))); },
            .checkForUpdates = log("update"),
            .terminate = log("quit"),
        };
        return panelView(PanelSources{.workflows = workflows,
                                      .arrange = engine,
                                      .preferences = prefs,
                                      .workspace = sim.workspace(),
                                      .accessibility = sim.accessibility(),
                                      .capture = sim.capture(),
                                      .ownBundleID = sim.appInfo().bundleID(),
                                      .canUpdate = canUpdate},
                         operations);
    }
    void store(std::string name, std::optional<int> slot = std::nullopt)
    {
        workflows.store().save(Workspace{.name = std::move(name), .displays = "d", .slot = slot});
    }

    ScriptedPanels questions;
    Workflows workflows;
    std::vector<std::string> calls;
};

TEST_F(PopoverPanelTest, EveryActionClosesThePopoverFirstButDeleteAndQuit)
{
    store("Deep work");
    auto panel = build();
    const std::vector<std::pair<std::function<void()>, std::vector<std::string>>> cases{
        {panel.find, {"close", "overview"}},
        {panel.tidy, {"close", "tidy"}},
        {panel.saveWorkflow, {"close", "save"}},
        {[&] { panel.switchWorkflow("Deep work"); }, {"close", "switch Deep work"}},
        {panel.settings, {"close", "settings general"}},
        {panel.arrangeSettings, {"close", "settings arrange"}},
        {panel.setup, {"close", "settings permissions"}},
        {panel.update, {"close", "update"}},
        {panel.quit, {"quit"}},
    };
    for (const auto& [act, expected] : cases) {
        calls.clear();
        act();
        EXPECT_EQ(calls, expected);
    }
    calls.clear();
    panel.deleteWorkflow("Deep work");
    EXPECT_TRUE(calls.empty()) << "the popover stays";
    EXPECT_TRUE(workflows.items().empty()) << "deleted from the store and reloaded";
}

TEST_F(PopoverPanelTest, WorkflowsAreReadFreshInSlotOrder)
{
    store("Zed");
    store("Alpha", 2);
    store("Mid", 1);
    const auto panel = build();
    ASSERT_EQ(panel.workflows.size(), 3u);
    EXPECT_EQ(panel.workflows[0].name, "Mid");
    EXPECT_EQ(panel.workflows[1].name, "Alpha");
    EXPECT_EQ(panel.workflows[2].name, "Zed");
}

TEST_F(PopoverPanelTest, FrontAppOnlyWhileArrangingAndNotThisProgram)
{
    const auto editor = app("org.example.Editor", "Editor");
    sim.focusWindow(window(editor, "doc", Rect(10, 40, 400, 300)));
    EXPECT_FALSE(build().frontApp) << "arranging off";
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_EQ(build().frontApp, (MenuPanel::AppToggle{"org.example.Editor", "Editor"}));

    const auto unnamed = sim.addApp(SimApp{.bundleID = "org.example.Nameless"});
    sim.focusWindow(window(unnamed, "x", Rect(10, 40, 400, 300)));
    EXPECT_EQ(build().frontApp, (MenuPanel::AppToggle{"org.example.Nameless", "This App"}));

    const auto noBundle = sim.addApp(SimApp{.name = "Loose"});
    sim.focusWindow(window(noBundle, "x", Rect(10, 40, 400, 300)));
    EXPECT_FALSE(build().frontApp) << "no bundle identifier";

    const auto own = sim.workspace().ownPid();
    sim.addWindow(SimWindow{.pid = own, .title = "Kavelo Settings", .frame = Rect(10, 40, 400, 300)});
    sim.focusWindow(sim.stacking().front());
    if (sim.frontmost() == own) {
        EXPECT_FALSE(build().frontApp) << "this program in front";
    }
}

TEST_F(PopoverPanelTest, SetupIsNeededUntilBothPermissionsAreGranted)
{
    EXPECT_FALSE(build().needsSetup);
    sim.setCaptureAllowed(false);
    EXPECT_TRUE(build().needsSetup);
    sim.setCaptureAllowed(true);
    sim.setTrusted(false);
    EXPECT_TRUE(build().needsSetup);
    EXPECT_FALSE(build().canUpdate);
    EXPECT_TRUE(build(true).canUpdate);
}

} // namespace
