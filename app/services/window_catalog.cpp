#include "app/services/window_catalog.h"

#include "app/services/ax.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace kavelo::WindowCatalog {

namespace {

WindowEntry entryFor(const RunningApp& app, WindowID id, std::string title, Rect frame, WindowState state)
{
    return WindowEntry{.id = id,
                       .pid = app.pid,
                       .appName = app.name.value_or("App"),
                       .bundleID = app.bundleID.value_or(""),
                       .title = std::move(title),
                       .frame = frame,
                       .state = state};
}

} // namespace

Snapshot read(const Desktop& desktop)
{
    const Platform& system = desktop.platform;

    const std::int32_t ownPid = system.workspace.ownPid();
    std::vector<RunningApp> apps;
    std::unordered_map<std::int32_t, const RunningApp*> appByPid;
    for (auto& app : system.workspace.runningApps())
        if (app.policy == ActivationPolicy::regular && app.pid != ownPid)
            apps.push_back(std::move(app));
    for (const auto& app : apps)
        appByPid.try_emplace(app.pid, &app);

    const std::vector<WindowInfo> full =
        system.windowServer.windowList(WindowListOption::all).value_or(std::vector<WindowInfo>{});

    // Asked once: a grant or a revocation in the middle of a read would
    // otherwise list some windows twice (through both sources) or not at all.
    const bool trusted = system.accessibility.isTrusted();

    Snapshot snapshot;
    std::vector<WindowEntry> entries;
    WindowID synthetic = syntheticWindowIDBase;
    if (trusted) {
        for (const auto& app : apps) {
            const auto windows = system.accessibility.windows(app.pid).value_or(std::vector<ElementRef>{});
            for (const auto& element : windows) {
                if (!element)
                    continue;
                const auto subrole = AX::value<std::string>(element, AX::subroleAttribute);
                if (!subrole || (*subrole != standardWindowSubrole && *subrole != dialogSubrole))
                    continue;
                const bool minimized = AX::value<bool>(element, AX::minimizedAttribute).value_or(false);
                ++synthetic;
                const auto number = element->windowNumber();
                const WindowID id = number && *number != 0 ? *number : synthetic;
                snapshot.elements[id] = element;
                const WindowState state = minimized    ? WindowState::minimized
                                          : app.hidden ? WindowState::hidden
                                                       : WindowState::visible;
                entries.push_back(entryFor(app, id, AX::value<std::string>(element, AX::titleAttribute).value_or(""),
                                           AX::rect(*element).value_or(Rect()), state));
            }
        }
    }

    // Stacking positions: on-screen windows first, then the rest of the full
    // list in its own order.
    std::unordered_map<WindowID, std::int64_t> position;
    {
        const auto onScreen =
            system.windowServer.windowList(WindowListOption::onScreenOnly).value_or(std::vector<WindowInfo>{});
        for (std::size_t i = 0; i < onScreen.size(); ++i)
            position[onScreen[i].number] = std::int64_t(i);
        const auto n = std::int64_t(onScreen.size());
        for (std::size_t j = 0; j < full.size(); ++j)
            position.try_emplace(full[j].number, n + std::int64_t(j));
    }

    std::unordered_map<WindowID, bool> listed;
    for (const auto& e : entries)
        listed[e.id] = true;
    for (const auto& info : full) {
        if (listed.count(info.number) || info.layer != 0)
            continue;
        auto owner = appByPid.find(info.ownerPid);
        if (owner == appByPid.end())
            continue;
        // Negative sizes are not windows either.
        if (!(info.bounds.size.width >= minimumListedWidth && info.bounds.size.height >= minimumListedHeight))
            continue;
        const std::string name = info.name.value_or("");
        if (!trusted) {
            if (!info.onScreen)
                continue;
            entries.push_back(entryFor(*owner->second, info.number, name, info.bounds, WindowState::visible));
        } else {
            // An on-screen window the accessibility layer did not list is
            // one it chose to hide from us; a nameless off-screen one is not
            // a user's window.
            if (info.onScreen || name.empty())
                continue;
            entries.push_back(entryFor(*owner->second, info.number, name, info.bounds, WindowState::otherSpace));
        }
    }

    constexpr std::int64_t unplaced = std::numeric_limits<std::int64_t>::max();
    std::vector<std::int64_t> keys(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto it = position.find(entries[i].id);
        keys[i] = it == position.end() ? unplaced : it->second;
    }
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    snapshot.windows.reserve(entries.size());
    for (std::size_t i : order)
        snapshot.windows.push_back(std::move(entries[i]));
    return snapshot;
}

} // namespace kavelo::WindowCatalog
