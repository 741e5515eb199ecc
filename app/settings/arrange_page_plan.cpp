#include "app/settings/arrange_page_plan.h"

#include "app/services/trackpad.h"

#include <algorithm>
#include <set>

namespace kavelo {

namespace ArrangeOptions {

namespace {

template <class T>
std::vector<Option<T>> pixels(std::string first, std::initializer_list<int> values)
{
    std::vector<Option<T>> out{{std::move(first), T(0)}};
    for (int n : values)
        out.push_back({std::to_string(n) + " px", T(n)});
    return out;
}

} // namespace

std::vector<Option<double>> mainShare()
{
    return {{"Same as the others", 0}, {"Half", 0.5}, {"60%", 0.6}, {"Two thirds", 2.0 / 3.0}};
}

std::vector<Option<int>> maxTiles()
{
    std::vector<Option<int>> out{{"Slide extras off screen", 0}};
    for (int n : {2, 3, 4, 6})
        out.push_back({"Stack after " + std::to_string(n) + " windows", n});
    return out;
}

std::vector<Option<int>> swipeFingers()
{
    return {{"Off", 0}, {"Three fingers", 3}, {"Four fingers", 4}};
}

std::vector<Option<int>> windowGap()
{
    return pixels<int>("None", {4, 8, 10, 16, 24});
}

std::vector<Option<int>> reservedEdge()
{
    return pixels<int>("None", {24, 48, 80, 120});
}

std::vector<Option<WindowHighlight>> highlight()
{
    return {{"None", WindowHighlight::none}, {"Border", WindowHighlight::border}, {"Glow", WindowHighlight::glow}};
}

std::vector<Option<std::optional<int>>> slot(ArrangeMode mode)
{
    std::vector<Option<std::optional<int>>> out{{"Any", std::nullopt},
                                                {mode == ArrangeMode::auto_ ? "Main" : "1", 1}};
    for (int n = 2; n <= 6; ++n)
        out.push_back({std::to_string(n), n});
    return out;
}

std::vector<Option<TidyLayout>> layout()
{
    std::vector<Option<TidyLayout>> out;
    for (TidyLayout l : allTidyLayouts)
        out.push_back({std::string(title(l)), l});
    return out;
}

} // namespace ArrangeOptions

namespace ArrangePage {

std::vector<RunningApp> runningApps(const SystemWorkspace& workspace, std::string_view ownBundleID)
{
    std::vector<RunningApp> out;
    // One row per application: its processes (three xterms) share the
    // settings the row changes, so the first process stands for them all.
    std::set<std::string> listed;
    for (RunningApp& app : workspace.runningApps())
        if (app.policy == ActivationPolicy::regular && app.bundleID != std::optional<std::string>(ownBundleID) &&
            (!app.bundleID || listed.insert(*app.bundleID).second))
            out.push_back(std::move(app));
    std::stable_sort(out.begin(), out.end(), [](const RunningApp& a, const RunningApp& b) {
        return a.name.value_or(std::string()) < b.name.value_or(std::string());
    });
    return out;
}

ArrangePagePlan plan(const Preferences& preferences, const ArrangeSources& sources)
{
    ArrangePagePlan p;
    p.mode = preferences.arrangeMode();
    for (const Screen& screen : sources.displays.screens()) {
        p.screens.push_back(screen.name);
        if (preferences.displaysOff().count(screen.name))
            p.screensOff.push_back(screen.name);
    }
    if (sources.clashingApp)
        p.clash = sources.clashingApp();
    if (p.mode == ArrangeMode::auto_) {
        if (const std::size_t n = preferences.minimumSizes().size())
            p.learnedSizes = n;
        for (const std::string& screen : p.screens) {
            const auto layout = preferences.displayLayouts().find(screen);
            if (layout != preferences.displayLayouts().end() && layout->second == TidyLayout::custom)
                p.gridScreens.push_back(screen);
        }
    }
    if (p.mode == ArrangeMode::strip) {
        const int fingers = preferences.stripSwipeFingers();
        p.swipesReach = !sources.multitouch || !sources.multitouch->devices().empty();
        // A reader that sees whole gestures grabs them all from the desktop.
        p.swipeWarning = fingers != 0 && p.swipesReach &&
                         (sources.multitouch || Trackpad::systemSwipes(sources.workspace, fingers));
    }
    p.colourRow = preferences.highlight() != WindowHighlight::none;
    if (p.mode != ArrangeMode::off)
        p.apps = runningApps(sources.workspace, sources.ownBundleID);
    return p;
}

std::string description(ArrangeMode mode, const Shortcut& pause)
{
    switch (mode) {
    case ArrangeMode::off: return "Windows only move when you ask. Tidy and snapping still work.";
    case ArrangeMode::auto_:
        return "New windows take their place as they open, and the rest close the gap. Press " + pause.label() +
               " to pause.";
    case ArrangeMode::strip:
        return "Windows sit side by side on a strip wider than your screen, so opening one never shrinks the "
               "others.";
    }
    return {};
}

std::string_view cardTitle(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return "Off";
    case ArrangeMode::auto_: return "Auto arrange";
    case ArrangeMode::strip: return "Scrolling strip";
    }
    return {};
}

std::string_view cardSymbol(ArrangeMode mode)
{
    switch (mode) {
    case ArrangeMode::off: return "hand.raised";
    case ArrangeMode::auto_: return "square.grid.2x2";
    case ArrangeMode::strip: return "rectangle.split.3x1";
    }
    return {};
}

} // namespace ArrangePage

} // namespace kavelo
