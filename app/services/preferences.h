#pragma once

// The settings of the application: every user setting as an observable
// property, read from the user defaults at creation and written back under
// its own key on every assignment (also when the value is unchanged). The
// shell makes one and hands it to whoever needs it.
//
// After an assignment the observers hear the property's name, then the
// shell's callbacks run: `onKeysChange` re-registers the global shortcuts,
// `onArrangeChange` makes the arrange engine re-read its settings.

#include "app/platform/app_services.h"
#include "app/platform/handle.h"
#include "app/services/color.h"
#include "app/services/signal.h"
#include "app/services/user_defaults.h"
#include "core/arrange_mode.h"
#include "core/command.h"
#include "core/geometry.h"
#include "core/grid_plan.h"
#include "core/shortcut.h"
#include "core/strip.h"
#include "core/tidy_layout.h"

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace kavelo {

// The style of the active-window highlight.
enum class WindowHighlight { none, border, glow };
inline constexpr std::array<WindowHighlight, 3> allWindowHighlights{WindowHighlight::none, WindowHighlight::border,
                                                                    WindowHighlight::glow};
std::string_view rawValue(WindowHighlight highlight);
std::optional<WindowHighlight> WindowHighlight_from(std::string_view raw);

class Preferences {
public:
    // The theme's amber accent, the highlight's colour until the user picks one.
    static constexpr Color defaultHighlightColor{1.0, 0.71, 0.278, 1};

    // `systemSwipes(fingers)` tells whether the system itself uses the
    // horizontal swipe of that many fingers; it picks the default finger
    // count of strip swipes.
    Preferences(UserDefaults& store, LoginItem& loginItem, std::function<bool(int fingers)> systemSwipes);
    Preferences(const Preferences&) = delete;
    Preferences& operator=(const Preferences&) = delete;

    // The defaults the settings live in; the engine writes "mainWindows"
    // and the shell its own keys there.
    UserDefaults& store() { return store_; }

    // Names the property after every assignment of a published one.
    [[nodiscard]] Handle observe(std::function<void(std::string_view property)> observer)
    {
        return changed_.connect(std::move(observer));
    }

    std::function<void()> onKeysChange;
    std::function<void()> onArrangeChange;

    // Stored settings.
    const Shortcut& shortcut() const { return shortcut_; }
    void setShortcut(Shortcut value);
    int mouseButton() const { return mouseButton_; }
    void setMouseButton(int value);
    bool snappingEnabled() const { return snappingEnabled_; }
    void setSnappingEnabled(bool value);
    TidyLayout tidyLayout() const { return tidyLayout_; }
    void setTidyLayout(TidyLayout value);
    ArrangeMode arrangeMode() const { return arrangeMode_; }
    void setArrangeMode(ArrangeMode value);
    const std::map<std::string, TidyLayout>& displayLayouts() const { return displayLayouts_; }
    void setDisplayLayouts(std::map<std::string, TidyLayout> value);
    const std::map<std::string, GridPlan>& gridPlans() const { return gridPlans_; }
    void setGridPlans(std::map<std::string, GridPlan> value);
    const std::set<std::string>& leftAlone() const { return leftAlone_; }
    void setLeftAlone(std::set<std::string> value);
    const std::map<Command, Shortcut>& bindings() const { return bindings_; }
    void setBindings(std::map<Command, Shortcut> value);
    int maxTiles() const { return maxTiles_; }
    void setMaxTiles(int value);
    const std::map<std::string, int>& stripSlots() const { return stripSlots_; }
    void setStripSlots(std::map<std::string, int> value);
    int stripSwipeFingers() const { return stripSwipeFingers_; }
    void setStripSwipeFingers(int value);
    int windowGap() const { return windowGap_; }
    void setWindowGap(int value);
    double mainShare() const { return mainShare_; }
    void setMainShare(double value);
    const std::map<std::string, int>& reservedEdges() const { return reservedEdges_; }
    void setReservedEdges(std::map<std::string, int> value);
    const std::set<std::string>& displaysOff() const { return displaysOff_; }
    void setDisplaysOff(std::set<std::string> value);
    bool keepsOriginalHeight() const { return keepsOriginalHeight_; }
    void setKeepsOriginalHeight(bool value);
    bool focusFollowsMouse() const { return focusFollowsMouse_; }
    void setFocusFollowsMouse(bool value);
    bool mouseFollowsFocus() const { return mouseFollowsFocus_; }
    void setMouseFollowsFocus(bool value);
    const std::map<Command, std::vector<Shortcut>>& extraBindings() const { return extraBindings_; }
    void setExtraBindings(std::map<Command, std::vector<Shortcut>> value);
    Strip::CenterMode stripCenter() const { return stripCenter_; }
    void setStripCenter(Strip::CenterMode value);
    double noPeekDarkness() const { return noPeekDarkness_; }
    void setNoPeekDarkness(double value);
    bool noPeekBlur() const { return noPeekBlur_; }
    void setNoPeekBlur(bool value);
    WindowHighlight highlight() const { return highlight_; }
    void setHighlight(WindowHighlight value);
    const Color& highlightColor() const { return highlightColor_; }
    void setHighlightColor(Color value);
    bool gridFollowsCount() const { return gridFollowsCount_; }
    void setGridFollowsCount(bool value);
    bool focusHidesOthers() const { return focusHidesOthers_; }
    void setFocusHidesOthers(bool value);
    bool savesSafariTabs() const { return savesSafariTabs_; }
    void setSavesSafariTabs(bool value);
    bool switcherEnabled() const { return switcherEnabled_; }
    void setSwitcherEnabled(bool value);
    bool remembersLayouts() const { return remembersLayouts_; }
    void setRemembersLayouts(bool value);

    // Kept by the arrange engine; stored, but no observer hears of them.
    const std::map<std::string, std::vector<std::string>>& mainWindows() const { return mainWindows_; }
    void setMainWindows(std::map<std::string, std::vector<std::string>> value);
    const std::map<std::string, Size>& minimumSizes() const { return minimumSizes_; }
    void setMinimumSizes(std::map<std::string, Size> value);

    // In memory only; every launch starts with them off.
    bool noPeekOn() const { return noPeekOn_; }
    void setNoPeekOn(bool value);
    bool cleanSpaceOn() const { return cleanSpaceOn_; }
    void setCleanSpaceOn(bool value);
    bool shortcutTaken() const { return shortcutTaken_; }
    void setShortcutTaken(bool value);
    // A shortcut recorder is active; not observed.
    bool isRecording() const { return isRecording_; }
    void setIsRecording(bool value) { isRecording_ = value; }

    // Mirrors the login item; changed only through `setOpensAtLogin`.
    bool opensAtLogin() const { return opensAtLogin_; }
    // Registers or unregisters the login item, then shows its real status,
    // so a refused change springs back.
    void setOpensAtLogin(bool on);

    // The display's own plan, else the first preset's.
    GridPlan plan(std::string_view displayName) const;
    // The command's own binding, else its default; further bindings play no part.
    Shortcut key(Command command) const;
    // The first other command, in command order, whose shortcut equals this
    // one's and whose scope can be active at the same time.
    std::optional<Command> clash(Command command) const;

private:
    enum class Then { nothing, keys, arrange, keysThenArrange };
    void stored(std::string_view key, std::optional<Json> value, Then then);
    void announce(std::string_view property);

    UserDefaults& store_;
    LoginItem& loginItem_;
    Signal<std::string_view> changed_;

    Shortcut shortcut_ = Shortcut::standard;
    int mouseButton_ = 3;
    bool snappingEnabled_ = true;
    TidyLayout tidyLayout_ = TidyLayout::grid;
    ArrangeMode arrangeMode_ = ArrangeMode::off;
    std::map<std::string, TidyLayout> displayLayouts_;
    std::map<std::string, GridPlan> gridPlans_;
    std::set<std::string> leftAlone_;
    std::map<Command, Shortcut> bindings_;
    int maxTiles_ = 0;
    std::map<std::string, int> stripSlots_;
    int stripSwipeFingers_ = 3;
    int windowGap_ = 10;
    double mainShare_ = 0;
    std::map<std::string, int> reservedEdges_;
    std::set<std::string> displaysOff_;
    bool keepsOriginalHeight_ = false;
    bool focusFollowsMouse_ = false;
    bool mouseFollowsFocus_ = false;
    std::map<Command, std::vector<Shortcut>> extraBindings_;
    Strip::CenterMode stripCenter_ = Strip::CenterMode::never;
    bool noPeekOn_ = false;
    bool cleanSpaceOn_ = false;
    double noPeekDarkness_ = 0.75;
    bool noPeekBlur_ = false;
    WindowHighlight highlight_ = WindowHighlight::none;
    Color highlightColor_ = defaultHighlightColor;
    bool gridFollowsCount_ = false;
    std::map<std::string, std::vector<std::string>> mainWindows_;
    std::map<std::string, Size> minimumSizes_;
    bool focusHidesOthers_ = false;
    bool savesSafariTabs_ = false;
    bool isRecording_ = false;
    bool switcherEnabled_ = true;
    bool remembersLayouts_ = true;
    bool opensAtLogin_ = false;
    bool shortcutTaken_ = false;
};

} // namespace kavelo
