#include "app/services/window_catalog.h"

#include "app/platform/accessibility.h"

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

Snapshot read(const Desktop& desktop, std::unordered_map<WindowID, ElementFacts>* factsOut)
{
    const Platform& system = desktop.platform;
    // One answer per window, whichever of the services below asks.
    const Handle together = system.windowServer.shareReads();

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
        // Every application's windows, then every window's facts, each read
        // in one go: a window-by-window read waits on the server many times
        // per window.
        std::vector<std::int32_t> pids;
        pids.reserve(apps.size());
        for (const auto& app : apps)
            pids.push_back(app.pid);
        const auto listed = system.accessibility.windowsOf(pids);
        std::vector<ElementRef> elements;
        std::vector<const RunningApp*> ownerOf;
        for (std::size_t a = 0; a < apps.size() && a < listed.size(); ++a)
            for (const auto& element : listed[a].value_or(std::vector<ElementRef>{}))
                if (element) {
                    elements.push_back(element);
                    ownerOf.push_back(&apps[a]);
                }
        const auto facts = system.accessibility.facts(elements);
        for (std::size_t i = 0; i < elements.size() && i < facts.size(); ++i) {
            const ElementFacts& f = facts[i];
            const RunningApp& app = *ownerOf[i];
            if (!f.subrole || (*f.subrole != standardWindowSubrole && *f.subrole != dialogSubrole))
                continue;
            ++synthetic;
            const WindowID id = f.number && *f.number != 0 ? *f.number : synthetic;
            snapshot.elements[id] = elements[i];
            if (factsOut)
                (*factsOut)[id] = f;
            const WindowState state = f.minimized.value_or(false) ? WindowState::minimized
                                      : app.hidden                ? WindowState::hidden
                                                                  : WindowState::visible;
            entries.push_back(entryFor(app, id, f.title.value_or(""), f.frame.value_or(Rect()), state));
        }
    }

    // Stacking positions: on-screen windows first, then the rest, each in
    // the list's front-to-back order. The on-screen list is this list's
    // on-screen part, so one read serves both and they cannot disagree.
    std::unordered_map<WindowID, std::int64_t> position;
    {
        std::int64_t shown = 0;
        for (const auto& info : full)
            if (info.onScreen)
                position.try_emplace(info.number, shown++);
        for (std::size_t j = 0; j < full.size(); ++j)
            position.try_emplace(full[j].number, shown + std::int64_t(j));
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
