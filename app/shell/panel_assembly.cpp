#include "app/shell/panel_assembly.h"

namespace kavelo {

std::optional<MenuPanel::AppToggle> frontAppToggle(const SystemWorkspace& workspace, ArrangeMode mode,
                                                   const std::string& ownBundleID)
{
    if (mode == ArrangeMode::off)
        return std::nullopt;
    const auto front = workspace.frontmostApp();
    if (!front || !front->bundleID || *front->bundleID == ownBundleID)
        return std::nullopt;
    return MenuPanel::AppToggle{*front->bundleID, front->name.value_or(unnamedApp)};
}

bool needsSetup(const Accessibility& accessibility, const WindowCapture& capture)
{
    return !accessibility.isTrusted() || !capture.isAllowed();
}

MenuPanel panelView(const PanelSources& sources, const ShellOperations& op)
{
    sources.workflows.reload();
    // Each action closes the popover before it acts.
    const auto closing = [close = op.closePopover](std::function<void()> act) {
        return [close, act = std::move(act)] {
            if (close)
                close();
            if (act)
                act();
        };
    };
    const auto tab = [show = op.showSettings](SettingsTab t) {
        return [show, t] {
            if (show)
                show(t);
        };
    };
    Workflows& workflows = sources.workflows;
    return MenuPanel{
        .workflows = workflows.items(),
        .arrange = sources.arrange,
        .frontApp = frontAppToggle(sources.workspace, sources.preferences.arrangeMode(), sources.ownBundleID),
        .needsSetup = needsSetup(sources.accessibility, sources.capture),
        .canUpdate = sources.canUpdate,
        .find = closing(op.showOverview),
        .tidy = closing(op.tidy),
        .saveWorkflow = closing(op.saveWorkspace),
        // The popover stays: the panel hides the row itself.
        .deleteWorkflow =
            [&workflows](const std::string& name) {
                workflows.store().remove(name);
                workflows.reload();
            },
        .switchWorkflow =
            [close = op.closePopover, to = op.switchWorkflow](const std::string& name) {
                if (close)
                    close();
                if (to)
                    to(name);
            },
        .settings = closing(tab(SettingsTab::general)),
        .arrangeSettings = closing(tab(SettingsTab::arrange)),
        .setup = closing(tab(SettingsTab::permissions)),
        .update = closing(op.checkForUpdates),
        .quit = op.terminate,
        .preferences = sources.preferences,
    };
}

} // namespace kavelo
