#include "app/shell/monitor_setups.h"

#include "app/services/window_actions.h"
#include "app/workflows/workflows.h"
#include "core/display_set.h"
#include "core/workflow_plan.h"
#include "core/workspace_store.h"

namespace kavelo {

MonitorSetups::MonitorSetups(Desktop desktop, Workflows& workflows, Engine engine)
    : desktop_(desktop), workflows_(workflows), engine_(std::move(engine)),
      tracker_(currentDisplays(desktop.platform.displays))
{
}

std::string MonitorSetups::currentDisplays(const Displays& displays)
{
    std::vector<DisplayInfo> infos;
    for (const Screen& screen : displays.screens())
        infos.push_back(DisplayInfo{.vendor = screen.vendor,
                                    .model = screen.model,
                                    .serial = screen.serial,
                                    .width = int(screen.frame.width()),
                                    .height = int(screen.frame.height())});
    return DisplaySet::fingerprint(infos);
}

void MonitorSetups::start()
{
    changes_ = desktop_.platform.displays.onChange([this] { displaysChanged(); });
    autosaveTimer_ = desktop_.platform.scheduler.every(autosavePeriod, [this] { autosave(); });
}

void MonitorSetups::displaysChanged()
{
    // A monitor gone, moved or made smaller leaves our windows where it
    // was, the window manager keeping a sliver of them in view at most.
    if (keepWindowsOnScreen)
        pendingWindows_ = desktop_.platform.scheduler.after(settleDelay, [this] { keepWindowsOnScreen(); });
    std::string fingerprint = currentDisplays(desktop_.platform.displays);
    if (!tracker_.update(fingerprint, desktop_.platform.clock.now()))
        return;
    pendingRestore_ = desktop_.platform.scheduler.after(
        settleDelay, [this, fingerprint = std::move(fingerprint)] { settle(fingerprint); });
}

void MonitorSetups::settle(const std::string& fingerprint)
{
    workflows_.reload();
    if (const auto bound = WorkflowPlan::forSetup(fingerprint, workflows_.items())) {
        workflows_.switchTo(bound->name);
        return;
    }
    const Preferences& preferences = desktop_.preferences;
    if (preferences.arrangeMode() == ArrangeMode::off) {
        if (preferences.remembersLayouts() && desktop_.platform.accessibility.isTrusted() &&
            tracker_.current == fingerprint) {
            if (const auto layout = workflows_.store().load(WorkspaceStore::autoName(fingerprint))) {
                if (engine_.pause)
                    engine_.pause(restorePause);
                (void)WindowActions::restore(desktop_, *layout);
                if (engine_.adoptWindows)
                    engine_.adoptWindows();
            }
        }
        return;
    }
    if (engine_.displaysChanged)
        engine_.displaysChanged();
}

void MonitorSetups::autosave()
{
    if (!desktop_.preferences.remembersLayouts() || !desktop_.platform.accessibility.isTrusted())
        return;
    const std::string name = WorkspaceStore::autoName(tracker_.current);
    const Workspace workspace = workflows_.capture(name, tracker_.current);
    if (!tracker_.canAutosave(workspace.windows, desktop_.platform.clock.now()))
        return;
    try {
        workflows_.store().save(workspace);
    } catch (const WorkspaceSaveError&) {
        // The next minute tries again.
    }
}

} // namespace kavelo
