#pragma once

// What the Arrange page shows, decided as plain data from the settings and
// the system before any widget changes: which sections are present, which
// screens and applications they list, and the option tables of its
// pickers. The page rebuilds only the sections whose data changed.

#include "app/platform/displays.h"
#include "app/platform/multitouch.h"
#include "app/platform/system_workspace.h"
#include "app/services/preferences.h"
#include "core/arrange_mode.h"
#include "core/tidy_layout.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

// What the page reads besides the settings.
struct ArrangeSources {
    const Displays& displays;
    const SystemWorkspace& workspace;
    // Our own bundle identifier, never listed among the applications.
    std::string ownBundleID;
    // The running application that also moves windows, if any; unset
    // means none.
    std::function<std::optional<std::string>()> clashingApp;
    // The trackpads; unset: swipes are taken to reach us.
    const Multitouch* multitouch = nullptr;
};

// One choice of a picker: the text shown and the value stored.
template <class T>
struct Option {
    std::string text;
    T value;
    friend bool operator==(const Option&, const Option&) = default;
};

namespace ArrangeOptions {

std::vector<Option<double>> mainShare();
std::vector<Option<int>> maxTiles();
std::vector<Option<int>> swipeFingers();
std::vector<Option<int>> windowGap();
std::vector<Option<int>> reservedEdge();
std::vector<Option<WindowHighlight>> highlight();
// Position 1 is "Main" in auto mode and "1" on the strip; no value: "Any".
std::vector<Option<std::optional<int>>> slot(ArrangeMode mode);
std::vector<Option<TidyLayout>> layout();

// The edges of `reservedEdges`, in the order of their rows.
inline constexpr std::string_view edges[] = {"top", "bottom", "left", "right"};

// The index of the option holding `value`; none when no option does (a
// hand-edited file), and the picker then shows no choice.
template <class T>
std::optional<std::size_t> indexOf(const std::vector<Option<T>>& options, const T& value)
{
    for (std::size_t i = 0; i < options.size(); ++i)
        if (options[i].value == value)
            return i;
    return std::nullopt;
}

} // namespace ArrangeOptions

struct ArrangePagePlan {
    ArrangeMode mode = ArrangeMode::off;
    // Connected screens in the system's order.
    std::vector<std::string> screens;
    // Connected screens left alone, one warning row each.
    std::vector<std::string> screensOff;
    std::optional<std::string> clash;
    // Auto mode: the learned sizes row (only with at least one entry) and
    // the screens on "Your grid", one editor each.
    std::optional<std::size_t> learnedSizes;
    std::vector<std::string> gridScreens;
    // Strip mode: whether any device sends us swipes (else the picker is
    // disabled with its reason), and whether the chosen swipe is taken from
    // the desktop and the programs.
    bool swipesReach = true;
    bool swipeWarning = false;
    bool colourRow = false;
    // Every mode but off.
    std::vector<RunningApp> apps;

    friend bool operator==(const ArrangePagePlan&, const ArrangePagePlan&) = default;
};

namespace ArrangePage {

ArrangePagePlan plan(const Preferences& preferences, const ArrangeSources& sources);

// Regular applications other than this one, one per bundle identifier
// (the first process of each), by name (plain text order, no name
// counting as empty). An application without identifier is ours
// only when ours has none either.
std::vector<RunningApp> runningApps(const SystemWorkspace& workspace, std::string_view ownBundleID);

// The mode's description under the mode cards; auto mode's names the
// pause command's key `pause`.
std::string description(ArrangeMode mode, const Shortcut& pause);
std::string_view cardTitle(ArrangeMode mode);
std::string_view cardSymbol(ArrangeMode mode);

} // namespace ArrangePage

} // namespace kavelo
