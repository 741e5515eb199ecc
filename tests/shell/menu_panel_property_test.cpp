// Long random runs of what a user does in an open menu panel (mode and
// layout choices, presets, display switches, deletes on a moving clock, the
// disclosure, settings changed elsewhere and the pointer moving between two
// displays), with the panel's promises checked after every step.

#include "shell/panel_world.h"

#include <gtest/gtest.h>
#include <rapidcheck.h>
#include <rapidcheck/gtest.h>

#include <set>

namespace kavelo::testing {
namespace {

struct MenuWorld : PanelWorld {
    MenuWorld()
    {
        sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1280, 800)});
        for (int i = 1; i <= 8; ++i)
            list.push_back(workflow("W" + std::to_string(i), i % 3 == 0 ? std::nullopt : std::optional(i)));
    }
    std::vector<Workspace> list;
};

void check(const MenuPanelPlan& p, const MenuPanelState& state, const Preferences& prefs,
           const std::vector<Workspace>& list, const std::string& screen)
{
    // At most six rows, in the given order, none deleted, at most one armed.
    RC_ASSERT(p.rows.size() <= MenuPanel::listedWorkflows);
    std::size_t from = 0, armed = 0;
    for (const auto& row : p.rows) {
        RC_ASSERT(!state.deleted.contains(row.name));
        while (from < list.size() && list[from].name != row.name)
            ++from;
        RC_ASSERT(from < list.size());
        RC_ASSERT(row.keyCap.has_value() == list[from].slot.has_value());
        armed += row.confirming;
    }
    RC_ASSERT(armed <= 1);
    if (state.shown(list).size() >= MenuPanel::listedWorkflows)
        RC_ASSERT(p.rows.size() == MenuPanel::listedWorkflows);

    const ArrangeMode mode = prefs.arrangeMode();
    RC_ASSERT(p.mode == mode);
    RC_ASSERT(p.displayOffNotice == (mode != ArrangeMode::off && prefs.displaysOff().contains(screen)));
    RC_ASSERT(p.layout.active == (mode == ArrangeMode::auto_));
    RC_ASSERT(p.layout.selected.has_value() == (mode == ArrangeMode::auto_));
    RC_ASSERT(p.layout.hint == (mode != ArrangeMode::auto_));
    RC_ASSERT(!p.layout.gridChoices || p.layout.custom);
    for (auto i : p.layout.currentPresets)
        RC_ASSERT(GridPlan::presets()[i].plan.cells == prefs.plan(screen).cells);

    RC_ASSERT(p.arranging.has_value() == (mode != ArrangeMode::off));
    if (p.arranging) {
        std::set<PanelOption> options;
        for (const auto& o : p.arranging->options) {
            options.insert(o.option);
            if (o.chosen)
                RC_ASSERT(*o.chosen < MenuPanelOptions::texts(o.option).size());
        }
        RC_ASSERT(options.contains(PanelOption::mainWindow) == (mode == ArrangeMode::auto_));
        RC_ASSERT(options.contains(PanelOption::centreFocused) == (mode == ArrangeMode::strip));
        RC_ASSERT(p.arranging->arrangeThisDisplay == !prefs.displaysOff().contains(screen));
    }
    RC_ASSERT(p.noPeek.has_value() == prefs.noPeekOn());
}

RC_GTEST_PROP(MenuPanelProperties, ThePlanKeepsItsPromisesThroughAnyRun, ())
{
    MenuWorld world;
    Preferences& prefs = world.prefs;
    MenuPanelState state;
    Seconds now{0};
    const auto steps = *rc::gen::resize(
        80, rc::gen::container<std::vector<std::pair<int, int>>>(
                rc::gen::pair(rc::gen::inRange(0, 12), rc::gen::inRange(0, 1000))));
    for (const auto& [kind, n] : steps) {
        const std::string screen = world.screen();
        switch (kind) {
        case 0: prefs.setArrangeMode(allArrangeModes[std::size_t(n % 3)]); break;
        case 1: MenuPanelActions::chooseLayout(prefs, screen, allTidyLayouts[std::size_t(n % 5)]); break;
        case 2:
            MenuPanelActions::choosePreset(prefs, screen,
                                           GridPlan::presets()[std::size_t(n) % GridPlan::presets().size()].plan);
            break;
        case 3: MenuPanelActions::setArrangesDisplay(prefs, screen, n % 2); break;
        // Only a listed row has a delete button to click.
        case 4:
            if (const auto shown = state.shown(world.list); !shown.empty())
                state.arm(shown[std::size_t(n) % shown.size()].name, now);
            break;
        case 5: {
            const auto shown = state.shown(world.list);
            if (shown.empty())
                break;
            const auto before = state.deleted.size();
            const std::string name = shown[std::size_t(n) % shown.size()].name;
            const bool waited = state.confirming == name && (now - state.askedAt).count() > 0.5;
            RC_ASSERT(state.confirm(name, now) == waited);
            RC_ASSERT(state.deleted.size() == before + (waited ? 1 : 0));
            break;
        }
        case 6: now += Seconds(double(n % 100) / 100); break;
        case 7: state.more = !state.more; break;
        case 8: world.sim.movePointer(Point(n % 2 ? 1700 : 200, 300)); break;
        case 9: prefs.setNoPeekOn(n % 2); break;
        case 10: MenuPanelOptions::choose(PanelOption::gap, std::size_t(n % 6), prefs); break;
        case 11: prefs.setGridFollowsCount(n % 2); break;
        }
        const auto plan = MenuPanelPlan::make(world.panel(world.list), state, world.screen());
        check(plan, state, prefs, world.list, world.screen());
    }
}

} // namespace
} // namespace kavelo::testing
