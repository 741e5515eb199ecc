#pragma once

// What the shell shows on screen, behind small interfaces without the
// toolkit: the tray icon, the popover's window, the settings and welcome
// windows, the main menu's keys, and the panels the engine, the focus
// modes, the switcher, the overview and the workflows draw. The program's
// views implement them with Qt; the shell's tests record what they are
// asked.

#include "app/engine/focus_mode_panels.h"
#include "app/engine/panels.h"
#include "app/platform/handle.h"
#include "app/platform/platform.h"
#include "app/services/desktop.h"
#include "app/services/held_keys.h"
#include "app/services/permissions.h"
#include "app/services/signal.h"
#include "app/services/toast.h"
#include "app/settings/settings_tab.h"
#include "app/shell/popover.h"
#include "app/workflows/workflow_panels.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/switcher_panel.h"
#include "core/geometry.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kavelo {

class Preferences;
class Workflows;

// The icon in the desktop's tray.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    // Where the icon stands (top-left global); none until the tray placed it.
    virtual std::optional<Rect> geometry() const = 0;
    // Whether a tray runs now to show the icon; one that starts later
    // takes it then.
    virtual bool inTray() const = 0;
};

// The settings and welcome windows: made on first use, hidden on close and
// reused; each show brings the window forward, centred.
class ShellWindows {
public:
    virtual ~ShellWindows() = default;
    // A new page view on `tab` in the one settings window.
    virtual void showSettings(SettingsTab tab) = 0;
    // The welcome window; `done` is its "Get Started".
    virtual void showWelcome(std::function<void()> done) = 0;
    virtual void closeWelcome() = 0;
    // After the displays changed: each window shown that lies mostly off
    // every display goes back onto the nearest one.
    virtual void keepOnScreen() = 0;
};

// What the two windows show.
struct WindowSources {
    Platform platform;
    Preferences& preferences;
    PermissionWatcher& watcher;
    Workflows& workflows;
    Permissions permissions;
    // The running application that moves windows too, for the Arrange page.
    std::function<std::optional<std::string>()> clashingApp;
    // The keys another program holds, for the Shortcuts page and the welcome.
    Published<HeldKeys>* heldKeys = nullptr;
    // The Shortcuts page is about to show.
    std::function<void()> shortcutsShown;
};

class ShellViews {
public:
    virtual ~ShellViews() = default;

    virtual Toast& toast() = 0;
    // The engine's panels for the desktop it arranges; asked once.
    virtual EnginePanels& enginePanels(const Desktop& desktop) = 0;
    virtual FocusModePanels& focusModePanels() = 0;
    virtual WorkflowPanels& workflowPanels() = 0;
    virtual SwitcherPanelFactory switcherPanels() = 0;
    virtual OverviewController::PanelFactory overviewPanels() = 0;

    // The tray icon: `clicked` for a plain click, `quit` from its menu. Made
    // also while no tray runs, so that a tray started later shows it.
    virtual std::unique_ptr<StatusItem> makeStatusItem(std::function<void()> clicked,
                                                       std::function<void()> quit) = 0;
    virtual Popover::WindowFactory popoverWindows() = 0;
    virtual std::unique_ptr<ShellWindows> makeWindows(WindowSources sources) = 0;
    // "Quit Kavelo" and "Close" with their keys on every window of the program.
    virtual void installMainMenu(std::function<void()> quit) = 0;
    // The session manager's word that the machine woke or the session came
    // back; nothing where no session manager answers.
    [[nodiscard]] virtual Handle observeSessionWake(std::function<void()> woke) = 0;
};

} // namespace kavelo
