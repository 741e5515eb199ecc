#pragma once

// Builds the menu panel the popover shows at each opening: the workflows
// freshly read, the front application worth leaving alone, whether setup is
// unfinished, whether an update can be asked for, and each panel action
// bound to the shell's operation. Every action closes the popover first,
// except deleting a workflow (the panel stays, with the row gone) and quit.

#include "app/platform/accessibility.h"
#include "app/platform/capture.h"
#include "app/platform/system_workspace.h"
#include "app/settings/settings_tab.h"
#include "app/shell/menu_panel.h"
#include "app/workflows/workflows.h"

#include <functional>
#include <string>

namespace kavelo {

// The shell's operations the panel's actions reach.
struct ShellOperations {
    std::function<void()> closePopover;
    std::function<void()> showOverview;
    std::function<void()> tidy;
    std::function<void()> saveWorkspace;
    std::function<void(const std::string& name)> switchWorkflow;
    std::function<void(SettingsTab tab)> showSettings;
    std::function<void()> checkForUpdates;
    std::function<void()> terminate;
};

// What the panel is filled from.
struct PanelSources {
    Workflows& workflows;
    ArrangeEngine& arrange;
    Preferences& preferences;
    const SystemWorkspace& workspace;
    const Accessibility& accessibility;
    const WindowCapture& capture;
    // This program's bundle identifier: never offered to leave alone.
    std::string ownBundleID;
    bool canUpdate = false;
};

// The name shown for an application without a name of its own.
inline constexpr const char* unnamedApp = "This App";

// The front application as the panel offers it; none with arranging off,
// without a front application or its bundle identifier, or when it is
// this program.
std::optional<MenuPanel::AppToggle> frontAppToggle(const SystemWorkspace& workspace, ArrangeMode mode,
                                                   const std::string& ownBundleID);

// Accessibility missing, or granted but screen capture missing.
bool needsSetup(const Accessibility& accessibility, const WindowCapture& capture);

MenuPanel panelView(const PanelSources& sources, const ShellOperations& operations);

} // namespace kavelo
