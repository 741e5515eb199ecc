#pragma once

// The one application delegate: it makes, owns and wires every long-lived
// object of the program, runs the launch sequence, turns every user command
// into its action (`run`), registers the global shortcuts for the arrange
// mode, and shuts the engines down on quit.
//
// Sources:
//   app_delegate.cpp   construction, launch, wake, quit, windows and popover
//   app_commands.cpp   dispatch, the shell's own commands, shortcuts, key hook
//
// Every callback it installs holds it weakly: once it is gone, none acts.
// Main thread only.

#include "app/engine/arrange_engine.h"
#include "app/engine/clean_space.h"
#include "app/engine/no_peek.h"
#include "app/platform/handle.h"
#include "app/platform/paths.h"
#include "app/platform/readable_watch.h"
#include "app/platform/updater.h"
#include "app/services/desktop.h"
#include "app/services/held_keys.h"
#include "app/services/hot_keys.h"
#include "app/services/mouse_button_trigger.h"
#include "app/services/permissions.h"
#include "app/services/preferences.h"
#include "app/services/process_launcher.h"
#include "app/services/recent_windows.h"
#include "app/services/signal.h"
#include "app/services/user_defaults.h"
#include "app/services/watchdog.h"
#include "app/services/working_app.h"
#include "app/settings/settings_tab.h"
#include "app/shell/command_line.h"
#include "app/shell/menu_panel.h"
#include "app/shell/monitor_setups.h"
#include "app/shell/popover.h"
#include "app/shell/shell_views.h"
#include "app/shell/updates.h"
#include "app/workflows/workflows.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/switcher_controller.h"
#include "core/command.h"
#include "core/snap.h"
#include "core/tidy_memory.h"

#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace kavelo {

class AppDelegate;
class CommandModes;

// A diagnostics mode ("--render DIR", "--self-test"): runs with the value
// and ends the process itself through `AppDelegate::exitProcess`.
using DiagnosticRunner = std::function<void(AppDelegate& delegate, const std::string& value)>;

// What the delegate is given besides the desktop and the views.
struct ShellEnvironment {
    Paths paths;
    OwnProcess process;
    ProcessLauncher& launcher;
    // The desktop's updater framework; none on Linux desktops.
    UpdaterFramework* updater = nullptr;
    // Ends the run loop, and with it the process, with this status.
    std::function<void(int status)> exit;
    // The command line's output; the process's own streams when none.
    std::ostream* out = nullptr;
    std::ostream* err = nullptr;
    // The process environment when none.
    std::function<std::optional<std::string>(std::string_view name)> variable;
    // Descriptors on the run loop; without it the saved workflows are read
    // again only when the program itself looks.
    ReadableWatch watchReadable;
    // Registered by the diagnostics; without one the mode says it is missing.
    DiagnosticRunner render;
    DiagnosticRunner selfTest;
};

class AppDelegate {
public:
    // The preview of "--show": the switcher's panel after this, the end after that.
    static constexpr double previewSwitcherDelay = 0.4;
    static constexpr double previewSeconds = 5;
    // Arranging waits this long while a workflow's windows move, and while
    // a window fills the screen.
    static constexpr double workflowPause = 12;
    static constexpr double fillPause = 86400;
    // A tidied window moved by more than this is no longer where Tidy put it.
    static constexpr double untouchedTolerance = 4;
    // Control-Option-1 to 9: the digits' key codes and the modifiers.
    static constexpr std::array<std::uint16_t, 9> slotKeys{18, 19, 20, 21, 23, 22, 26, 28, 25};
    static constexpr std::uint32_t slotModifiers = 0x1800;
    static constexpr const char* welcomedKey = "welcomed";
    // A burst of setting changes is written this long after its first.
    static constexpr double settingsDelay = 0.5;
    // A manager names itself before it grabs its keys: they are asked for
    // again this long after it took over.
    static constexpr double managerSettle = 2;

    // Makes the objects that exist from the start; `launch` does the rest.
    AppDelegate(Platform platform, ShellViews& views, CommandLine commandLine, ShellEnvironment environment);
    ~AppDelegate();
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // --- Start and stop (app_delegate.cpp) ---

    // The launch sequence, in its fixed order.
    void applicationDidFinishLaunching();
    // Clean Space ended, the strips released, the clean exit marked.
    void applicationWillTerminate();
    // Quit: the stop steps once, then the run loop ends with status 0.
    void terminate();
    // The machine woke or the session came back.
    void wake();

    // --- Windows and popover (app_delegate.cpp) ---

    // Nothing without a tray icon.
    void togglePopover();
    void closePopover();
    // A second start asked for us: the popover at the tray icon, else under
    // the pointer (the way in on desktops without a tray).
    void reopen();
    MenuPanel panelView();
    void showSettings(SettingsTab tab);
    void showWelcome();
    void installMainMenu();

    // --- URLs and the command line (app_urls.cpp) ---

    // Opened "kavelo:" URLs, handled one after another; a URL that names
    // nothing does nothing, silently.
    void open(const std::vector<std::string>& urls);
    // Ends the run loop, and with it the process, with `status`.
    void exitProcess(int status);
    // Writes the settings changed so far; why they could not be, if so.
    std::optional<std::string> saveSettings();
    std::ostream& out() const;
    std::ostream& err() const;
    std::optional<std::string> variable(std::string_view name) const;
    const ShellEnvironment& environment() const { return environment_; }
    ShellViews& views() { return views_; }
    // The command-line modes, made on first use.
    CommandModes& modes();
    // A fresh engine in place of the one the delegate had.
    ArrangeEngine& replaceArrange();

    // --- Commands and shortcuts (app_commands.cpp) ---

    // Every user command from a shortcut, a URL or the command line.
    void run(Command command);
    void tidy();
    void toggleFocus();
    // A fill in force ends without moving its window back: arranging
    // resumes and the cleared applications come back.
    void endFill();
    // The displays changed while a mode lays windows out: a fill ends too,
    // for the screen it filled may be gone and every window is laid out
    // again for the displays there are now.
    void layoutDisplaysChanged();
    void togglePause();
    void toggleClear();
    void toggleOverview();
    // Registers the current global shortcuts (a key held before and still
    // bound stays held), and notes the keys another program holds; when a
    // default key is found held that no toast of this run named, a toast
    // says how many are and offers the Shortcuts page.
    void applyKeys();
    // Asks the system for every key again, the switcher's claim too: run
    // when another window manager takes over (now and once it has grabbed
    // its own keys), when the Shortcuts page shows and when the menu panel
    // opens, since keys held elsewhere may have come free.
    void reclaimKeys();
    void windowManagerChanged();
    // The event tap's key callback: Control-Option for the engine's
    // indicator, then the switcher's decision.
    bool keyHook(TapEventType type, const TapEvent& event);

    // The framework's actions; none goes through `run`.
    void showOverview();
    void tidyWindows() { tidy(); }
    void toggleLeftAlone(const std::string& bundleID);
    void checkForUpdates();
    void openSettings() { showSettings(SettingsTab::general); }
    void openPermissions() { showSettings(SettingsTab::permissions); }
    void saveWorkspace();
    void restoreWorkspace(const std::string& name);

    // --- What it holds ---

    const Platform& platform() const { return platform_; }
    const Desktop& desktop() const { return desktop_; }
    const CommandLine& commandLine() const { return commandLine_; }
    Preferences& preferences() { return preferences_; }
    UserDefaults& defaults() { return defaults_; }
    Watchdog& watchdog() { return watchdog_; }
    HotKeys& hotKeys() { return hotKeys_; }
    // The keys the last registration found held by another program.
    Published<HeldKeys>& heldKeys() { return heldKeys_; }
    WorkingApp& workingApp() { return workingApp_; }
    OverviewController& overview() { return overview_; }
    SwitcherController& switcher() { return switcher_; }
    PermissionWatcher& watcher() { return watcher_; }
    // Made on first use, as the launch does.
    Updates& updates();
    Workflows& workflows() { return workflows_; }
    StatusItem* item() const { return item_.get(); }
    Popover& popover() { return popover_; }
    MouseButtonTrigger* mouse() const { return mouse_.get(); }
    ShellWindows* windows() const { return windows_.get(); }
    MonitorSetups* displays() const { return displays_.get(); }
    const std::optional<TidyMemory>& tidyMemory() const { return tidyMemory_; }
    const std::optional<TidyMemory>& focusMemory() const { return focusMemory_; }
    const std::vector<RunningApp>& clearedApps() const { return clearedApps_; }
    // Made on first use, as the launch does.
    ArrangeEngine& arrange();
    bool hasEngine() const { return arrange_ != nullptr; }
    NoPeek& noPeek() { return noPeek_; }
    CleanSpace& cleanSpace() { return cleanSpace_; }
    bool isLaunched() const { return launched_; }
    bool isPreviewing() const { return previewing_; }
    bool hasTerminated() const { return terminated_; }

private:
    // What `applyKeys` registers, within one rebinding of the hot keys.
    void bindKeys();
    // `f` as a callback that does nothing (or answers a default) once the
    // delegate is gone.
    template <class F>
    auto weakly(F f) const
    {
        return [alive = liveness_.watch(), f = std::move(f)](auto&&... args) {
            using Result = decltype(f(std::forward<decltype(args)>(args)...));
            if (alive.expired()) {
                if constexpr (std::is_void_v<Result>)
                    return;
                else
                    return Result{};
            }
            return f(std::forward<decltype(args)>(args)...);
        };
    }

    // "--show": the screen, for `previewSeconds`, and nothing else of the launch.
    void launchPreview(const std::string& value);
    void connectOverview();
    void settingsUnsaved(std::error_code error);
    ShellWindows& shellWindows();
    std::string currentDisplays() const;
    bool isTrusted() const { return platform_.accessibility.isTrusted(); }
    bool registerCommand(Command command, const Shortcut& shortcut);
    // Snaps the focused window; a window that stays put is said so.
    void snap(Snap snap);
    void noteHeld(HeldKeys held);

    // What it is given.
    Platform platform_;
    ShellViews& views_;
    CommandLine commandLine_;
    ShellEnvironment environment_;

    // The settings and what every service shares.
    UserDefaults defaults_;
    Preferences preferences_;
    Desktop desktop_;
    Watchdog watchdog_;
    WorkingApp workingApp_;
    RecentWindows recentWindows_;
    HotKeys hotKeys_;
    Published<HeldKeys> heldKeys_;
    // The default keys a toast has named as held in this run.
    std::vector<Shortcut> toldHeld_;
    // The refused bindings the log has named: each is named once while it
    // stays refused, not at every mode change that binds the keys again.
    std::vector<std::pair<Command, Shortcut>> loggedRefusals_;
    // The window pictures the switcher and the overview share.
    ThumbnailCache thumbnails_;

    // The controllers, in the order of the application's design.
    OverviewController overview_;
    SwitcherController switcher_;
    PermissionWatcher watcher_;
    std::unique_ptr<Updates> updates_;
    Workflows workflows_;
    std::unique_ptr<StatusItem> item_;
    Popover popover_;
    std::unique_ptr<MouseButtonTrigger> mouse_;
    std::unique_ptr<ShellWindows> windows_;
    std::unique_ptr<MonitorSetups> displays_;
    std::optional<TidyMemory> tidyMemory_;
    std::optional<TidyMemory> focusMemory_;
    std::vector<RunningApp> clearedApps_;
    std::unique_ptr<ArrangeEngine> arrange_;
    NoPeek noPeek_;
    CleanSpace cleanSpace_;
    Handle mouseWatch_;
    std::unique_ptr<CommandModes> modes_;

    Handle wakes_;
    Handle sessionWakes_;
    Handle longWaits_;
    Handle preferenceChanges_;
    Handle managerChanges_;
    Handle managerSettled_;
    Handle previewShow_;
    Handle previewEnd_;
    bool launched_ = false;
    bool previewing_ = false;
    bool terminated_ = false;
    // Last, so that it expires first.
    Liveness liveness_;
};

} // namespace kavelo
