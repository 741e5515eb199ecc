#include "app/services/recent_windows.h"

#include <algorithm>

namespace kavelo {

bool standsInFront(const std::vector<WindowInfo>& list, WindowID window, std::int32_t ownPid)
{
    const auto it =
        std::find_if(list.begin(), list.end(), [&](const WindowInfo& w) { return w.number == window && w.onScreen; });
    if (it == list.end())
        return true;
    return std::none_of(list.begin(), it, [&](const WindowInfo& w) {
        return w.onScreen && w.layer == 0 && w.ownerPid != it->ownerPid && w.ownerPid != ownPid;
    });
}

void RecentWindows::start()
{
    if (activations_.pending())
        return;
    WindowServer& server = desktop_.platform.windowServer;
    activations_ = server.onWindowActivated([this](WindowID id) { activated(id); });
    closes_ = server.onWindowClosed([this](WindowID id) { use_.forget(id); });
    managers_ = desktop_.platform.workspace.onWindowManagerChange([this] { followsFocus_ = true; });
}

void RecentWindows::activated(WindowID id)
{
    use_.note(id);
    if (!followsFocus_ || check_.pending())
        return;
    // Looked at once the manager is done with the change: the window in use
    // then, should several changes have come at once.
    check_ = desktop_.platform.scheduler.after(0, [this] {
        const auto list = desktop_.platform.windowServer.windowList(WindowListOption::onScreenOnly);
        if (list && !use_.recent.empty() &&
            !standsInFront(*list, use_.recent.front(), desktop_.platform.workspace.ownPid()))
            followsFocus_ = false;
    });
}

std::vector<WindowEntry> RecentWindows::ordered(std::vector<WindowEntry> windows) const
{
    if (followsFocus_)
        return windows;
    return use_.ordered(std::move(windows));
}

} // namespace kavelo
