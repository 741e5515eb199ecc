// What the menu panel shows and writes, decided without widgets: the plan
// per state, the two-step delete on the panel's clock, and the settings its
// controls write, in order.

#include "shell/panel_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

class MenuPanelTest : public ::testing::Test, public PanelWorld {
protected:
    MenuPanelPlan plan(const MenuPanel& panel, const MenuPanelState& state = {})
    {
        return MenuPanelPlan::make(panel, state, screen());
    }
    std::vector<std::string> names(const MenuPanelPlan& p)
    {
        std::vector<std::string> out;
        for (const auto& r : p.rows)
            out.push_back(r.name);
        return out;
    }
};

TEST_F(MenuPanelTest, WorkflowRowsListTheFirstSixWithTheirSlotKeys)
{
    EXPECT_TRUE(plan(panel()).rows.empty()) << "no workflows: the save button stands in";

    const auto seven = plan(panel(workflows(7)));
    ASSERT_EQ(seven.rows.size(), 6u);
    EXPECT_EQ(seven.rows.front().name, "Flow 1");
    EXPECT_EQ(seven.rows.back().name, "Flow 6");

    auto list = workflows(2);
    list[0].slot = 9;
    list[1].slot.reset();
    const auto two = plan(panel(list));
    EXPECT_EQ(two.rows[0].keyCap, "Ctrl+Alt+9");
    EXPECT_EQ(two.rows[1].keyCap, std::nullopt);
}

TEST_F(MenuPanelTest, NoticesAndButtonsFollowTheFlags)
{
    EXPECT_FALSE(plan(panel()).setupNotice);
    EXPECT_TRUE(plan(panel({}, true)).setupNotice);
    EXPECT_FALSE(plan(panel()).updates);
    EXPECT_TRUE(plan(panel({}, false, true)).updates);
}

TEST_F(MenuPanelTest, TileHintsNameTheOverviewAndTidyShortcuts)
{
    const auto p = plan(panel());
    EXPECT_EQ(p.findKey, prefs.shortcut().label());
    EXPECT_EQ(p.tidyKey, standard(Command::tidy).label());
    prefs.setBindings({{Command::tidy, Shortcut{17, Shortcut::control | Shortcut::option}}});
    EXPECT_EQ(plan(panel()).tidyKey, (Shortcut{17, Shortcut::control | Shortcut::option}.label()));
}

TEST_F(MenuPanelTest, DisplayOffNoticeOnlyOutsideOffModeAndItTurnsOnOnlyThatDisplay)
{
    const std::string here = screen();
    prefs.setDisplaysOff({here, "Elsewhere"});
    EXPECT_FALSE(plan(panel()).displayOffNotice) << "arranging off: never";
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_TRUE(plan(panel()).displayOffNotice);
    MenuPanelActions::turnDisplayOn(prefs, here);
    EXPECT_EQ(prefs.displaysOff(), std::set<std::string>{"Elsewhere"});
    EXPECT_FALSE(plan(panel()).displayOffNotice);
}

TEST_F(MenuPanelTest, ScreenNameFollowsThePointerToASecondDisplay)
{
    const std::string main = screen();
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800)});
    sim.movePointer(Point(1600, 300));
    EXPECT_EQ(screen(), "Side");
    sim.movePointer(Point(100, 100));
    EXPECT_EQ(screen(), main);
    sim.movePointer(Point(-500, -500));
    EXPECT_EQ(screen(), main) << "under no display: the first";
}

TEST_F(MenuPanelTest, DeleteNeedsASecondClickMoreThanHalfASecondLater)
{
    MenuPanelState state;
    const Seconds t0{100};
    state.arm("A", t0);
    auto p = plan(panel({workflow("A"), workflow("B")}), state);
    EXPECT_TRUE(p.rows[0].confirming);
    EXPECT_FALSE(p.rows[1].confirming);

    EXPECT_FALSE(state.confirm("A", t0 + Seconds(0.5))) << "a double click never deletes";
    EXPECT_EQ(state.confirming, "A");
    EXPECT_TRUE(state.confirm("A", t0 + Seconds(0.51)));
    p = plan(panel({workflow("A"), workflow("B")}), state);
    EXPECT_EQ(names(p), std::vector<std::string>{"B"}) << "the row goes before the list is rebuilt";
    EXPECT_FALSE(state.confirming);
}

TEST_F(MenuPanelTest, ArmingAnotherRowMovesTheConfirmation)
{
    MenuPanelState state;
    state.arm("A", Seconds(1));
    state.arm("B", Seconds(2));
    const auto p = plan(panel({workflow("A"), workflow("B")}), state);
    EXPECT_FALSE(p.rows[0].confirming);
    EXPECT_TRUE(p.rows[1].confirming);
    EXPECT_FALSE(state.confirm("A", Seconds(10))) << "A waits no more";
}

TEST_F(MenuPanelTest, ChoosingALayoutWritesDisplaysOffThenLayoutsThenMode)
{
    const std::string here = screen();
    prefs.setDisplaysOff({here});
    std::vector<std::string> heard;
    const Handle h = prefs.observe([&](std::string_view name) { heard.emplace_back(name); });
    EXPECT_TRUE(MenuPanelActions::chooseLayout(prefs, here, TidyLayout::columns));
    EXPECT_EQ(heard, (std::vector<std::string>{"displaysOff", "displayLayouts", "arrangeMode"}));
    EXPECT_EQ(prefs.arrangeMode(), ArrangeMode::auto_);
    EXPECT_EQ(prefs.displayLayouts().at(here), TidyLayout::columns);
    EXPECT_TRUE(prefs.displaysOff().empty());

    heard.clear();
    EXPECT_FALSE(MenuPanelActions::chooseLayout(prefs, here, TidyLayout::rows)) << "auto already";
    EXPECT_EQ(heard, (std::vector<std::string>{"displaysOff", "displayLayouts"}));
}

TEST_F(MenuPanelTest, LayoutRowSelectsOnlyInAutoModeAndShowsTheCustomControls)
{
    const std::string here = screen();
    auto p = plan(panel());
    EXPECT_FALSE(p.layout.active);
    EXPECT_EQ(p.layout.selected, std::nullopt);
    EXPECT_TRUE(p.layout.hint);

    prefs.setArrangeMode(ArrangeMode::auto_);
    p = plan(panel());
    EXPECT_EQ(p.layout.selected, TidyLayout::grid) << "a display without a layout shows Grid";
    EXPECT_FALSE(p.layout.custom) << "and no grid choices";

    prefs.setDisplayLayouts({{here, TidyLayout::custom}});
    p = plan(panel());
    EXPECT_TRUE(p.layout.custom);
    EXPECT_TRUE(p.layout.gridChoices);
    prefs.setGridFollowsCount(true);
    p = plan(panel());
    EXPECT_TRUE(p.layout.custom) << "the switch and the link stay";
    EXPECT_FALSE(p.layout.gridChoices);
}

TEST_F(MenuPanelTest, APresetIsCurrentByItsCellsOnly)
{
    const std::string here = screen();
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setDisplayLayouts({{here, TidyLayout::custom}});
    const auto& presets = GridPlan::presets();
    GridPlan weighted = presets[4].plan;
    weighted.columnWeights = std::vector<double>{2, 1};
    prefs.setGridPlans({{here, weighted}});
    const auto p = plan(panel());
    ASSERT_FALSE(p.layout.currentPresets.empty());
    for (auto i : p.layout.currentPresets)
        EXPECT_EQ(presets[i].plan.cells, weighted.cells);
    EXPECT_NE(std::find(p.layout.currentPresets.begin(), p.layout.currentPresets.end(), 4u),
              p.layout.currentPresets.end());

    prefs.setDisplaysOff({here});
    MenuPanelActions::choosePreset(prefs, here, presets[1].plan);
    EXPECT_TRUE(prefs.displaysOff().empty()) << "a preset turns the display back on";
    EXPECT_EQ(prefs.gridPlans().at(here), presets[1].plan);
    EXPECT_EQ(prefs.displayLayouts().at(here), TidyLayout::custom) << "the layout stays custom";
}

TEST_F(MenuPanelTest, OptionRowsPerModeWithThePanelsOwnChoices)
{
    const auto rows = [&] {
        std::vector<PanelOption> out;
        const auto p = plan(panel());
        if (p.arranging)
            for (const auto& o : p.arranging->options)
                out.push_back(o.option);
        return out;
    };
    EXPECT_TRUE(rows().empty()) << "arranging off: no arranging block";
    prefs.setArrangeMode(ArrangeMode::auto_);
    EXPECT_EQ(rows(), (std::vector<PanelOption>{PanelOption::mainWindow, PanelOption::gap, PanelOption::highlight}));
    prefs.setArrangeMode(ArrangeMode::strip);
    EXPECT_EQ(rows(), (std::vector<PanelOption>{PanelOption::centreFocused, PanelOption::gap, PanelOption::highlight}));

    const auto gaps = MenuPanelOptions::texts(PanelOption::gap);
    EXPECT_EQ(gaps.front(), "None");
    EXPECT_EQ(gaps[4], "16 px");
    EXPECT_EQ(MenuPanelOptions::texts(PanelOption::centreFocused),
              (std::vector<std::string>{"Never", "On overflow", "Always"}));
    MenuPanelOptions::choose(PanelOption::mainWindow, 3, prefs);
    EXPECT_EQ(prefs.mainShare(), 2.0 / 3);
    EXPECT_EQ(MenuPanelOptions::chosen(PanelOption::mainWindow, prefs), 3u);
}

TEST_F(MenuPanelTest, AStoredValueMatchingNoChoiceShowsNoneAndIsNeverRewritten)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    prefs.setWindowGap(12);
    const auto read = [&] {
        std::ifstream in(store.file());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::string before = read();
    const auto p = plan(panel());
    const auto gap = std::find_if(p.arranging->options.begin(), p.arranging->options.end(),
                                  [](const auto& o) { return o.option == PanelOption::gap; });
    ASSERT_NE(gap, p.arranging->options.end());
    EXPECT_EQ(gap->chosen, std::nullopt);
    EXPECT_EQ(read(), before);
    EXPECT_EQ(prefs.windowGap(), 12);
}

TEST_F(MenuPanelTest, MoreBlocksFollowModeFrontAppAndNoPeek)
{
    auto p = plan(panel({}, false, false, MenuPanel::AppToggle{"org.example.Editor", "Editor"}));
    EXPECT_FALSE(p.arranging);
    EXPECT_FALSE(p.noPeek);

    prefs.setNoPeekOn(true);
    p = plan(panel());
    ASSERT_TRUE(p.noPeek) << "darkness and blur also with arranging off";

    prefs.setArrangeMode(ArrangeMode::strip);
    prefs.setLeftAlone({"org.example.Editor"});
    p = plan(panel({}, false, false, MenuPanel::AppToggle{"org.example.Editor", "Editor"}));
    ASSERT_TRUE(p.arranging);
    EXPECT_EQ(p.arranging->leaveAloneTitle, "Leave Editor alone");
    EXPECT_TRUE(p.arranging->leftAlone);
    EXPECT_TRUE(p.arranging->keepsOriginalHeight.has_value()) << "strip only";
    MenuPanelActions::setLeftAlone(prefs, "org.example.Editor", false);
    EXPECT_TRUE(prefs.leftAlone().empty());

    prefs.setArrangeMode(ArrangeMode::auto_);
    p = plan(panel());
    EXPECT_FALSE(p.arranging->leaveAloneTitle) << "no front application: no switch";
    EXPECT_FALSE(p.arranging->keepsOriginalHeight);
    MenuPanelActions::setArrangesDisplay(prefs, screen(), false);
    EXPECT_FALSE(plan(panel()).arranging->arrangeThisDisplay);
}

TEST_F(MenuPanelTest, PauseFlipsTheEngineAndAnswersItsState)
{
    engine.lastSignature = "stale";
    EXPECT_TRUE(MenuPanelActions::flipPause(engine));
    EXPECT_TRUE(engine.isPaused);
    EXPECT_TRUE(engine.lastSignature.empty());
    // Paused elsewhere since: the flip still flips what the engine holds.
    engine.isPaused = false;
    EXPECT_TRUE(MenuPanelActions::flipPause(engine));
    EXPECT_FALSE(MenuPanelActions::flipPause(engine));
}

} // namespace
