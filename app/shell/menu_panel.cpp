#include "app/shell/menu_panel.h"

#include "app/services/key_texts.h"

#include <algorithm>

namespace kavelo {

void MenuPanelState::arm(const std::string& name, Seconds now)
{
    confirming = name;
    askedAt = now;
}

bool MenuPanelState::confirm(const std::string& name, Seconds now)
{
    if (confirming != name || (now - askedAt).count() <= confirmDelay)
        return false;
    deleted.insert(name);
    confirming.reset();
    return true;
}

std::vector<Workspace> MenuPanelState::shown(const std::vector<Workspace>& workflows) const
{
    std::vector<Workspace> out;
    for (const auto& w : workflows)
        if (!deleted.contains(w.name))
            out.push_back(w);
    return out;
}

namespace MenuPanelOptions {

std::vector<PanelChoice<double>> mainShare()
{
    return {{"Even", 0}, {"Half", 0.5}, {"60%", 0.6}, {"Two thirds", 2.0 / 3}};
}

std::vector<PanelChoice<Strip::CenterMode>> stripCenter()
{
    // The panel's own words, not the mode titles the settings window uses.
    return {{"Never", Strip::CenterMode::never},
            {"On overflow", Strip::CenterMode::overflow},
            {"Always", Strip::CenterMode::always}};
}

std::vector<PanelChoice<int>> windowGap()
{
    std::vector<PanelChoice<int>> out;
    for (int gap : {0, 4, 8, 10, 16, 24})
        out.push_back({gap == 0 ? std::string("None") : std::to_string(gap) + " px", gap});
    return out;
}

std::vector<PanelChoice<WindowHighlight>> highlight()
{
    return {{"None", WindowHighlight::none}, {"Border", WindowHighlight::border}, {"Glow", WindowHighlight::glow}};
}

std::vector<PanelChoice<double>> darkness() { return {{"Dim", 0.55}, {"Dark", 0.75}, {"Darkest", 0.92}}; }

namespace {

template <class T>
std::vector<std::string> textsOf(const std::vector<PanelChoice<T>>& choices)
{
    std::vector<std::string> out;
    for (const auto& c : choices)
        out.push_back(c.text);
    return out;
}

template <class T>
std::optional<std::size_t> indexOf(const std::vector<PanelChoice<T>>& choices, const T& value)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (choices[i].value == value)
            return i;
    return std::nullopt;
}

} // namespace

std::string_view title(PanelOption option)
{
    switch (option) {
    case PanelOption::mainWindow: return "Main window";
    case PanelOption::centreFocused: return "Centre focused";
    case PanelOption::gap: return "Gap";
    case PanelOption::highlight: return "Highlight";
    case PanelOption::darkness: return "Darkness";
    }
    return "";
}

std::vector<std::string> texts(PanelOption option)
{
    switch (option) {
    case PanelOption::mainWindow: return textsOf(mainShare());
    case PanelOption::centreFocused: return textsOf(stripCenter());
    case PanelOption::gap: return textsOf(windowGap());
    case PanelOption::highlight: return textsOf(highlight());
    case PanelOption::darkness: return textsOf(darkness());
    }
    return {};
}

std::optional<std::size_t> chosen(PanelOption option, const Preferences& p)
{
    switch (option) {
    case PanelOption::mainWindow: return indexOf(mainShare(), p.mainShare());
    case PanelOption::centreFocused: return indexOf(stripCenter(), p.stripCenter());
    case PanelOption::gap: return indexOf(windowGap(), p.windowGap());
    case PanelOption::highlight: return indexOf(highlight(), p.highlight());
    case PanelOption::darkness: return indexOf(darkness(), p.noPeekDarkness());
    }
    return std::nullopt;
}

void choose(PanelOption option, std::size_t index, Preferences& p)
{
    switch (option) {
    case PanelOption::mainWindow:
        if (index < mainShare().size())
            p.setMainShare(mainShare()[index].value);
        break;
    case PanelOption::centreFocused:
        if (index < stripCenter().size())
            p.setStripCenter(stripCenter()[index].value);
        break;
    case PanelOption::gap:
        if (index < windowGap().size())
            p.setWindowGap(windowGap()[index].value);
        break;
    case PanelOption::highlight:
        if (index < highlight().size())
            p.setHighlight(highlight()[index].value);
        break;
    case PanelOption::darkness:
        if (index < darkness().size())
            p.setNoPeekDarkness(darkness()[index].value);
        break;
    }
}

} // namespace MenuPanelOptions

std::string_view layoutIcon(TidyLayout layout)
{
    switch (layout) {
    case TidyLayout::grid: return "square.grid.2x2";
    case TidyLayout::columns: return "rectangle.split.3x1";
    case TidyLayout::rows: return "rectangle.split.1x2";
    case TidyLayout::focus: return "rectangle.lefthalf.inset.filled";
    case TidyLayout::custom: return "square.grid.3x3.square";
    }
    return "square";
}

namespace {

MenuPanelPlan::OptionRow row(PanelOption option, const Preferences& p)
{
    return {option, MenuPanelOptions::chosen(option, p)};
}

MenuPanelPlan::Layout layoutPlan(const Preferences& p, const std::string& screen)
{
    MenuPanelPlan::Layout out;
    const bool isAuto = p.arrangeMode() == ArrangeMode::auto_;
    out.active = isAuto;
    const auto stored = p.displayLayouts().find(screen);
    const TidyLayout shown = stored == p.displayLayouts().end() ? TidyLayout::grid : stored->second;
    if (isAuto)
        out.selected = shown;
    out.hint = !isAuto;
    // Only a stored custom layout counts: a display without one shows Grid.
    out.custom = isAuto && stored != p.displayLayouts().end() && stored->second == TidyLayout::custom;
    out.gridFollowsCount = p.gridFollowsCount();
    out.gridChoices = out.custom && !out.gridFollowsCount;
    if (out.gridChoices) {
        const auto cells = p.plan(screen).cells;
        const auto& presets = GridPlan::presets();
        for (std::size_t i = 0; i < presets.size(); ++i)
            if (presets[i].plan.cells == cells)
                out.currentPresets.push_back(i);
    }
    return out;
}

} // namespace

MenuPanelPlan MenuPanelPlan::make(const MenuPanel& panel, const MenuPanelState& state, const std::string& screen)
{
    const Preferences& p = panel.preferences;
    MenuPanelPlan plan;
    plan.findKey = p.shortcut().label();
    plan.tidyKey = p.key(Command::tidy).label();
    plan.setupNotice = panel.needsSetup;

    const auto workflows = state.shown(panel.workflows);
    for (std::size_t i = 0; i < workflows.size() && i < MenuPanel::listedWorkflows; ++i) {
        Row r{.name = workflows[i].name};
        if (workflows[i].slot)
            r.keyCap = KeyTexts::slotLabel(*workflows[i].slot);
        r.confirming = state.confirming == workflows[i].name;
        plan.rows.push_back(std::move(r));
    }

    plan.mode = p.arrangeMode();
    plan.displayOffNotice = plan.mode != ArrangeMode::off && p.displaysOff().contains(screen);
    plan.layout = layoutPlan(p, screen);
    plan.cleanOn = p.cleanSpaceOn();
    plan.noPeekOn = p.noPeekOn();
    plan.moreOpen = state.more;

    if (plan.mode != ArrangeMode::off) {
        Arranging a;
        a.paused = state.paused;
        if (plan.mode == ArrangeMode::auto_)
            a.options.push_back(row(PanelOption::mainWindow, p));
        if (plan.mode == ArrangeMode::strip)
            a.options.push_back(row(PanelOption::centreFocused, p));
        a.options.push_back(row(PanelOption::gap, p));
        a.options.push_back(row(PanelOption::highlight, p));
        if (panel.frontApp) {
            a.leaveAloneTitle = "Leave " + panel.frontApp->name + " alone";
            a.leftAlone = p.leftAlone().contains(panel.frontApp->id);
        }
        a.arrangeThisDisplay = !p.displaysOff().contains(screen);
        if (plan.mode == ArrangeMode::strip)
            a.keepsOriginalHeight = p.keepsOriginalHeight();
        a.focusFollowsMouse = p.focusFollowsMouse();
        a.mouseFollowsFocus = p.mouseFollowsFocus();
        plan.arranging = std::move(a);
    }
    if (p.noPeekOn())
        plan.noPeek = NoPeekOptions{row(PanelOption::darkness, p), p.noPeekBlur()};
    plan.updates = panel.canUpdate;
    return plan;
}

std::string screenUnderPointer(const Displays& displays, const Mouse& mouse)
{
    const auto screens = displays.screens();
    if (screens.empty())
        return "";
    const Point at = mouse.location();
    for (const auto& s : screens)
        if (s.frame.contains(at))
            return s.name;
    return screens.front().name;
}

namespace MenuPanelActions {

void turnDisplayOn(Preferences& p, const std::string& screen)
{
    auto off = p.displaysOff();
    off.erase(screen);
    p.setDisplaysOff(std::move(off));
}

bool chooseLayout(Preferences& p, const std::string& screen, TidyLayout layout)
{
    turnDisplayOn(p, screen);
    auto layouts = p.displayLayouts();
    layouts[screen] = layout;
    p.setDisplayLayouts(std::move(layouts));
    if (p.arrangeMode() == ArrangeMode::auto_)
        return false;
    p.setArrangeMode(ArrangeMode::auto_);
    return true;
}

void choosePreset(Preferences& p, const std::string& screen, const GridPlan& plan)
{
    turnDisplayOn(p, screen);
    auto plans = p.gridPlans();
    plans[screen] = plan;
    p.setGridPlans(std::move(plans));
}

bool flipPause(ArrangeEngine& engine)
{
    engine.isPaused = !engine.isPaused;
    engine.lastSignature.clear();
    return engine.isPaused;
}

void setLeftAlone(Preferences& p, const std::string& bundleID, bool on)
{
    auto alone = p.leftAlone();
    if (on)
        alone.insert(bundleID);
    else
        alone.erase(bundleID);
    p.setLeftAlone(std::move(alone));
}

void setArrangesDisplay(Preferences& p, const std::string& screen, bool on)
{
    auto off = p.displaysOff();
    if (on)
        off.erase(screen);
    else
        off.insert(screen);
    p.setDisplaysOff(std::move(off));
}

} // namespace MenuPanelActions

} // namespace kavelo
