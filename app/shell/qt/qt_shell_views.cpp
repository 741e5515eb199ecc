#include "app/shell/qt/qt_shell_views.h"

#include "app/engine/panels/qt_engine_panels.h"
#include "app/shell/qt/logind_watch.h"
#include "app/shell/qt/popover_window.h"
#include "app/shell/qt/shell_windows_qt.h"
#include "app/shell/qt/status_item_qt.h"
#include "app/switcher/views/overview_key_panel.h"
#include "app/switcher/views/switcher_free_panel.h"

namespace kavelo {

QtShellViews::QtShellViews(const Platform& platform)
    : platform_(platform),
      host_(platform),
      toast_(platform.mouse, platform.displays, host_),
      focusModes_(host_),
      workflowPanels_(host_.time())
{
}

QtShellViews::~QtShellViews() = default;

EnginePanels& QtShellViews::enginePanels(const Desktop& desktop)
{
    if (!enginePanels_)
        enginePanels_ = std::make_unique<QtEnginePanels>(desktop, host_);
    return *enginePanels_;
}

SwitcherPanelFactory QtShellViews::switcherPanels() { return SwitcherFreePanel::factory(host_, platform_.workspace); }

OverviewController::PanelFactory QtShellViews::overviewPanels()
{
    return OverviewKeyPanel::factory(host_, platform_);
}

std::unique_ptr<StatusItem> QtShellViews::makeStatusItem(std::function<void()> clicked, std::function<void()> quit)
{
    return QtStatusItem::make(std::move(clicked), std::move(quit), &host_, &platform_.displays);
}

Popover::WindowFactory QtShellViews::popoverWindows()
{
    return [this]() -> std::unique_ptr<PopoverWindow> {
        const Platform platform = platform_;
        return std::make_unique<QtPopoverWindow>(
            host_.time(), [platform] { return screenUnderPointer(platform.displays, platform.mouse); },
            [this] { return host_.blends(); }, [this](QWidget& window) { madeWindow(window); }, &host_);
    };
}

std::unique_ptr<ShellWindows> QtShellViews::makeWindows(WindowSources sources)
{
    return std::make_unique<QtShellWindows>(std::move(sources), host_.time(),
                                            [this](QWidget& window) { madeWindow(window); });
}

void QtShellViews::installMainMenu(std::function<void()> quit)
{
    menu_ = std::make_unique<MainMenu>(std::move(quit));
    for (const auto& window : windows_)
        if (window)
            menu_->attach(*window);
}

void QtShellViews::madeWindow(QWidget& window)
{
    windows_.emplace_back(&window);
    if (menu_)
        menu_->attach(window);
}

Handle QtShellViews::observeSessionWake(std::function<void()> woke)
{
    auto* watch = new LogindWatch(std::move(woke));
    return Handle::withCancel([watch] { delete watch; });
}

} // namespace kavelo
