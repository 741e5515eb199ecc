#pragma once

// The shell's views as the program shows them, all on one panels host: the
// toast, the engine's and the focus modes' panels, the switcher's and the
// overview's panels, the workflow dialogs, the tray icon, the popover, the
// settings and welcome windows, the main menu's keys and logind's wake.

#include "app/engine/panels/focus_mode_windows.h"
#include "app/shell/qt/main_menu.h"
#include "app/shell/qt/workflow_panels_qt.h"
#include "app/shell/shell_views.h"
#include "app/ui/panel_host.h"
#include "app/ui/toast_panel.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

namespace kavelo {

class QtShellViews : public ShellViews {
public:
    explicit QtShellViews(const Platform& platform);
    ~QtShellViews() override;

    Toast& toast() override { return toast_; }
    EnginePanels& enginePanels(const Desktop& desktop) override;
    FocusModePanels& focusModePanels() override { return focusModes_; }
    WorkflowPanels& workflowPanels() override { return workflowPanels_; }
    SwitcherPanelFactory switcherPanels() override;
    OverviewController::PanelFactory overviewPanels() override;
    std::unique_ptr<StatusItem> makeStatusItem(std::function<void()> clicked, std::function<void()> quit) override;
    Popover::WindowFactory popoverWindows() override;
    std::unique_ptr<ShellWindows> makeWindows(WindowSources sources) override;
    void installMainMenu(std::function<void()> quit) override;
    [[nodiscard]] Handle observeSessionWake(std::function<void()> woke) override;

    PanelHost& host() { return host_; }
    MainMenu* mainMenu() const { return menu_.get(); }

private:
    // Every window of the program gets the main menu's keys.
    void madeWindow(QWidget& window);

    Platform platform_;
    PanelHost host_;
    ToastPanel toast_;
    std::unique_ptr<EnginePanels> enginePanels_;
    FocusModeWindows focusModes_;
    QtWorkflowPanels workflowPanels_;
    std::unique_ptr<MainMenu> menu_;
    std::vector<QPointer<QWidget>> windows_;
};

} // namespace kavelo
