#include "app/services/active_frame.h"

#include "app/services/ax.h"

#include <algorithm>

namespace kavelo::ActiveWindow {

std::optional<Rect> activeFrame(const Desktop& desktop, const WorkingApp& workingApp,
                                const std::optional<Rect>& ownKeyWindow)
{
    if (ownKeyWindow)
        return ownKeyWindow;
    const Platform& system = desktop.platform;
    // Asked 30 times a second: the window list and properties read once.
    const Handle together = system.windowServer.shareReads();
    const auto app = workingApp.current();
    if (!app || app->pid == system.workspace.ownPid())
        return std::nullopt;
    const ElementRef window = AX::focusedWindow(system.accessibility, app->pid);
    if (!window)
        return std::nullopt;
    if (AX::value<bool>(window, AX::fullScreenAttribute).value_or(false) ||
        AX::value<bool>(window, AX::minimizedAttribute).value_or(false))
        return std::nullopt;
    const auto rect = AX::rect(*window);
    if (!rect || !(rect->size.width > minimumWidth))
        return std::nullopt;
    const auto number = window->windowNumber();
    if (!number || *number == 0)
        return std::nullopt;
    const auto listed = system.windowServer.windowInfo(*number);
    if (!listed || !listed->onScreen)
        return std::nullopt;
    return rect;
}

} // namespace kavelo::ActiveWindow
