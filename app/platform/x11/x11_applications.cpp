// Applications on an X server: the processes behind the managed windows,
// their focus and whether they are hidden.

#include "app/platform/x11/x11_impl.h"

#include "core/json.h"

#include <algorithm>
#include <csignal>
#include <set>
#include <cerrno>

namespace kavelo {

using Impl = X11Desktop::Impl;

// ---------------------------------------------------------------- applications

bool Impl::hiddenByApp(std::int32_t pid, xcb_window_t window) const
{
    auto it = hiddenBy.find(pid);
    return it != hiddenBy.end() && it->second.count(window);
}

std::optional<xcb_window_t> Impl::activeWindow() const
{
    xcb_window_t active = XCB_NONE;
    auto* e = const_cast<xcb_ewmh_connection_t*>(&ewmh);
    if (wmPresent &&
        xcb_ewmh_get_active_window_reply(e, xcb_ewmh_get_active_window(e, screenNumber), &active, nullptr) &&
        active != XCB_NONE)
        return active;
    if (!wmPresent) {
        XReply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (focus && focus->focus != XCB_NONE && focus->focus != root && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT)
            return frameOf(focus->focus);
    }
    return std::nullopt;
}

std::optional<xcb_window_t> Impl::focusedOf(std::int32_t pid)
{
    const auto windows = stacking();
    std::vector<xcb_window_t> own;
    for (xcb_window_t w : windows)
        if (auto k = knownFor(w); k && k->pid == pid)
            own.push_back(w);
    if (own.empty())
        return std::nullopt;
    const auto props = read(own, X11Fields::state | X11Fields::desktop);
    const auto current = currentDesktopIndex();
    const auto focusable = [&](std::size_t i) {
        return props[i].alive && !props[i].hasState(ewmh._NET_WM_STATE_HIDDEN) && onShownDesktop(props[i], current);
    };
    std::optional<xcb_window_t> preferred = activeWindow();
    if (!preferred || !knownFor(*preferred) || knownFor(*preferred)->pid != pid) {
        auto it = lastFocused.find(pid);
        preferred = it == lastFocused.end() ? std::nullopt : std::optional(it->second);
    }
    for (std::size_t i = 0; i < own.size(); ++i)
        if (preferred && own[i] == *preferred && focusable(i))
            return own[i];
    for (std::size_t i = 0; i < own.size(); ++i)
        if (focusable(i))
            return own[i];
    return std::nullopt;
}

std::vector<RunningApp> Impl::runningApps() { return apps(std::nullopt); }

std::optional<RunningApp> Impl::runningApp(std::int32_t pid)
{
    for (auto& app : apps(pid))
        if (app.pid == pid)
            return app;
    return std::nullopt;
}

std::vector<RunningApp> Impl::apps(std::optional<std::int32_t> only)
{
    // Hiding is settled by the states the manager sets: read them only once
    // it has handled every request sent so far.
    settleWrites();
    auto windows = stacking();
    // One program's entry needs its own windows only: asked 30 times a
    // second by the focus aids, reading all of fifty was most of the main
    // thread's time.
    if (only)
        std::erase_if(windows, [&](xcb_window_t w) {
            const auto k = knownFor(w);
            return !k || k->pid != *only;
        });
    const auto props = read(windows, X11Fields::wmClass | X11Fields::appIds | X11Fields::type | X11Fields::state);
    struct Seen {
        std::optional<std::string> className;
        std::string instance;
        std::string applicationId;
        std::string desktopFile;
        bool regular = false;
        bool anyHiddenByApp = false;
    };
    std::map<std::int32_t, Seen> seen;
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const auto k = knownFor(windows[i]);
        if (!k || !props[i].alive)
            continue;
        auto& s = seen[k->pid];
        const auto& p = props[i];
        if (!s.className && !p.className.empty())
            s.className = p.className;
        if (s.instance.empty())
            s.instance = p.instance;
        if (s.applicationId.empty())
            s.applicationId = p.applicationId;
        if (s.desktopFile.empty())
            s.desktopFile = p.desktopFile;
        if (p.types.empty() || p.hasType(ewmh._NET_WM_WINDOW_TYPE_NORMAL) || p.hasType(ewmh._NET_WM_WINDOW_TYPE_DIALOG))
            s.regular = true;
        if (hiddenByApp(k->pid, windows[i]) && p.hasState(ewmh._NET_WM_STATE_HIDDEN))
            s.anyHiddenByApp = true;
    }
    // Windows restored by other means no longer count as hidden.
    for (auto it = hiddenBy.begin(); it != hiddenBy.end();) {
        auto s = seen.find(it->first);
        if ((!only || it->first == *only) && (s == seen.end() || !s->second.anyHiddenByApp))
            it = hiddenBy.erase(it);
        else
            ++it;
    }
    std::vector<RunningApp> out;
    out.push_back(RunningApp{.pid = ownPid,
                             .bundleID = std::string("io.kavelo.Kavelo"),
                             .name = std::string("Kavelo"),
                             .policy = ActivationPolicy::accessory});
    DesktopEntries& entries = desktopEntries();
    entries.refresh();
    // A program that ended, its windows gone, keeps no place in the order:
    // the order would otherwise grow with every program ever started.
    if (!only) {
        std::lock_guard guard(numbersMutex);
        std::set<std::int32_t> owners;
        for (const auto& [window, k] : known)
            owners.insert(k.pid);
        const auto ended = [&](std::int32_t pid) {
            return pid != ownPid && !seen.count(pid) && !owners.count(pid) &&
                   (pid <= 0 || (::kill(pid, 0) != 0 && errno == ESRCH));
        };
        std::erase_if(appOrder, ended);
        std::erase_if(lastFocused, [&](const auto& item) { return ended(item.first); });
    }
    for (std::int32_t pid : appOrder) {
        auto s = seen.find(pid);
        if (pid == ownPid || s == seen.end() || (only && pid != *only))
            continue;
        std::optional<std::string> identity = s->second.className;
        std::string command;
        if (!identity && pid > 0) {
            if (auto comm = readFile("/proc/" + std::to_string(pid) + "/comm")) {
                command = *comm;
                while (!command.empty() && (command.back() == '\n' || command.back() == ' '))
                    command.pop_back();
                if (!command.empty())
                    identity = command;
            }
        }
        // The bundle identifier stays the class: stored workflows and settings name programs by it.
        std::string name = applicationName(entries,
                                           ProgramIdentity{.applicationId = s->second.applicationId,
                                                           .desktopFile = s->second.desktopFile,
                                                           .wmClass = s->second.className.value_or(""),
                                                           .instance = s->second.instance},
                                           command);
        out.push_back(RunningApp{.pid = pid,
                                 .bundleID = identity,
                                 .name = name.empty() ? std::nullopt : std::optional(std::move(name)),
                                 .policy = s->second.regular ? ActivationPolicy::regular : ActivationPolicy::accessory,
                                 .hidden = hiddenBy.count(pid) > 0});
    }
    return out;
}

} // namespace kavelo
