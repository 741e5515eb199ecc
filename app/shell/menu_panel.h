#pragma once

// The content of the status item's popover, as a value: the saved workflows,
// the engine, the front application, two flags and one action per shell
// operation. The shell builds a fresh one at every opening; the view draws
// it and reads and writes the settings directly. What the panel shows is
// decided here as plain data (`MenuPanelPlan`), so the view only applies it.

#include "app/engine/arrange_engine.h"
#include "app/services/preferences.h"
#include "core/arrange_mode.h"
#include "core/date.h"
#include "core/strip.h"
#include "core/tidy_layout.h"
#include "core/workspace.h"

#include <array>
#include <cstddef>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

struct MenuPanel {
    // The front application that "More" offers to leave alone.
    struct AppToggle {
        std::string id;     // bundle identifier
        std::string name;   // as shown
        friend bool operator==(const AppToggle&, const AppToggle&) = default;
    };

    // By slot (none last), then by name.
    std::vector<Workspace> workflows;
    ArrangeEngine& arrange;
    std::optional<AppToggle> frontApp;
    bool needsSetup = false;
    bool canUpdate = false;
    std::function<void()> find;
    std::function<void()> tidy;
    std::function<void()> saveWorkflow;
    std::function<void(const std::string& name)> deleteWorkflow;
    std::function<void(const std::string& name)> switchWorkflow;
    std::function<void()> settings;
    std::function<void()> arrangeSettings;
    std::function<void()> setup;
    std::function<void()> update;
    std::function<void()> quit;
    Preferences& preferences;

    // At most this many workflows are listed.
    static constexpr std::size_t listedWorkflows = 6;
};

// The panel's own small state; every opening starts afresh.
struct MenuPanelState {
    // A second click on a delete button this soon after the first does nothing.
    static constexpr double confirmDelay = 0.5;

    bool paused = false;
    bool more = false;
    std::set<std::string> deleted;
    std::optional<std::string> confirming;
    Seconds askedAt{-std::numeric_limits<double>::infinity()};   // monotonic

    // The trash symbol of `name` clicked at `now`: it waits for its
    // confirmation, and no other row does.
    void arm(const std::string& name, Seconds now);
    // The "Delete?" of `name` clicked at `now`: true when it deletes (the
    // name joins `deleted`), false when the click came too soon.
    bool confirm(const std::string& name, Seconds now);

    // `workflows` less the deleted ones, order kept.
    std::vector<Workspace> shown(const std::vector<Workspace>& workflows) const;

    friend bool operator==(const MenuPanelState&, const MenuPanelState&) = default;
};

// One choice of a picker: the text shown and the value written.
template <class T>
struct PanelChoice {
    std::string text;
    T value;
    friend bool operator==(const PanelChoice&, const PanelChoice&) = default;
};

// The pickers of the panel's option rows, with their fixed choices.
enum class PanelOption { mainWindow, centreFocused, gap, highlight, darkness };

namespace MenuPanelOptions {

std::vector<PanelChoice<double>> mainShare();
std::vector<PanelChoice<Strip::CenterMode>> stripCenter();
std::vector<PanelChoice<int>> windowGap();
std::vector<PanelChoice<WindowHighlight>> highlight();
std::vector<PanelChoice<double>> darkness();

// The row's title ("Main window", "Centre focused", "Gap", "Highlight", "Darkness").
std::string_view title(PanelOption option);
// The texts of the row's choices, in order.
std::vector<std::string> texts(PanelOption option);
// The index of the stored value's choice; none when no choice holds it (a
// hand-edited file), and the picker then shows none.
std::optional<std::size_t> chosen(PanelOption option, const Preferences& preferences);
// Writes the choice at `index`.
void choose(PanelOption option, std::size_t index, Preferences& preferences);

} // namespace MenuPanelOptions

// The symbol of each layout's button.
std::string_view layoutIcon(TidyLayout layout);

// Everything the panel shows, derived from its value, its state, the
// settings and the display under the pointer.
struct MenuPanelPlan {
    struct Row {
        std::string name;
        std::optional<std::string> keyCap;   // "Ctrl+Alt+3" for slot 3
        bool confirming = false;             // shows "Delete?"
        friend bool operator==(const Row&, const Row&) = default;
    };
    struct Layout {
        bool active = false;                   // auto mode: drawn at full opacity
        std::optional<TidyLayout> selected;    // only in auto mode
        bool hint = false;                     // "Pick a layout to turn on Auto arrange."
        bool custom = false;                   // the custom grid's controls
        bool gridChoices = false;              // the preset grid among them
        std::vector<std::size_t> currentPresets;
        bool gridFollowsCount = false;
        friend bool operator==(const Layout&, const Layout&) = default;
    };
    struct OptionRow {
        PanelOption option = PanelOption::gap;
        std::optional<std::size_t> chosen;
        friend bool operator==(const OptionRow&, const OptionRow&) = default;
    };
    struct Arranging {
        bool paused = false;
        std::vector<OptionRow> options;
        std::optional<std::string> leaveAloneTitle;   // "Leave Firefox alone"
        bool leftAlone = false;
        bool arrangeThisDisplay = true;
        std::optional<bool> keepsOriginalHeight;      // strip mode only
        bool focusFollowsMouse = false;
        bool mouseFollowsFocus = false;
        friend bool operator==(const Arranging&, const Arranging&) = default;
    };
    struct NoPeekOptions {
        OptionRow darkness;
        bool blur = false;
        friend bool operator==(const NoPeekOptions&, const NoPeekOptions&) = default;
    };

    std::string findKey;
    std::string tidyKey;
    bool setupNotice = false;
    std::vector<Row> rows;   // none: the save button stands in for the list
    ArrangeMode mode = ArrangeMode::off;
    bool displayOffNotice = false;
    Layout layout;
    bool cleanOn = false;
    bool noPeekOn = false;
    bool moreOpen = false;
    std::optional<Arranging> arranging;
    std::optional<NoPeekOptions> noPeek;
    bool updates = false;

    friend bool operator==(const MenuPanelPlan&, const MenuPanelPlan&) = default;

    static MenuPanelPlan make(const MenuPanel& panel, const MenuPanelState& state, const std::string& screenName);
};

// "This display": the name of the first screen whose frame holds the
// pointer, else of the first screen; empty without screens.
std::string screenUnderPointer(const Displays& displays, const Mouse& mouse);

// What the panel's controls write, each in the order the settings must
// hear it.
namespace MenuPanelActions {

// Removes `screen` from the displays left alone (stored even when absent).
void turnDisplayOn(Preferences& preferences, const std::string& screen);
// The display's layout, which turns arranging on there and auto mode on;
// answers whether the mode changed.
bool chooseLayout(Preferences& preferences, const std::string& screen, TidyLayout layout);
void choosePreset(Preferences& preferences, const std::string& screen, const GridPlan& plan);
// Flips the engine's pause, makes it arrange afresh and answers its state.
bool flipPause(ArrangeEngine& engine);
void setLeftAlone(Preferences& preferences, const std::string& bundleID, bool on);
void setArrangesDisplay(Preferences& preferences, const std::string& screen, bool on);

} // namespace MenuPanelActions

} // namespace kavelo
