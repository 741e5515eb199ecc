// Applications on an X server: the owners of the client windows, activation,
// hiding by iconifying, and starting programs.

#include "app/platform/x11/x11_impl.h"

#include "app/platform/kde_globals.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

extern char** environ;

namespace kavelo {

using Impl = X11Desktop::Impl;

std::optional<std::string> executableOf(std::int32_t pid)
{
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
    if (error)
        return std::nullopt;
    return path.string();
}

namespace {

// Starts a program that outlives us and is not our child to reap, on
// `display` when one is named. No shell takes part. It reads and writes
// nothing of ours: its warnings on our standard error would pass for
// Kavelo's own.
bool spawnDetached(const std::vector<std::string>& argv, const std::string& display)
{
    if (argv.empty() || argv.front().empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    // Made before forking: the child only calls what is safe there.
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (display.empty() || std::string_view(*e).substr(0, 8) != "DISPLAY=")
            environment.emplace_back(*e);
    if (!display.empty())
        environment.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() == 0) {
            const int nowhere = open("/dev/null", O_RDWR);
            if (nowhere >= 0) {
                for (int fd : {0, 1, 2})
                    dup2(nowhere, fd);
                if (nowhere > 2)
                    close(nowhere);
            }
            execvpe(args[0], args.data(), envp.data());
            const char failed = 1;
            [[maybe_unused]] auto n = write(pipefd[1], &failed, 1);
            _exit(127);
        }
        _exit(0);
    }
    close(pipefd[1]);
    int status = 0;
    waitpid(child, &status, 0);
    char failed = 0;
    const bool execFailed = read(pipefd[0], &failed, 1) == 1;
    close(pipefd[0]);
    return !execFailed;
}

bool isDesktopEntry(std::string_view location) { return location.ends_with(".desktop"); }

// The program line of the entry at `location`, with the addresses for it.
std::optional<std::vector<std::string>> entryCommand(std::string_view location, const std::vector<std::string>& addresses)
{
    const auto entry = DesktopEntry::load(std::filesystem::path(location), DesktopEntries::localeFromEnvironment());
    if (!entry || entry->exec.empty())
        return std::nullopt;
    return DesktopExec::arguments(entry->exec, addresses);
}

// The largest picture up to 128 pixels, else the first.
std::optional<Image> bestIcon(xcb_ewmh_get_wm_icon_reply_t& reply)
{
    std::optional<xcb_ewmh_wm_icon_iterator_t> best;
    for (auto it = xcb_ewmh_get_wm_icon_iterator(&reply); it.rem; xcb_ewmh_get_wm_icon_next(&it))
        if (!best || (it.width <= 128 && it.width > best->width) || best->width > 128)
            best = it;
    if (!best || best->width == 0 || best->height == 0)
        return std::nullopt;
    Image out{.width = int(best->width), .height = int(best->height)};
    out.rgba.reserve(std::size_t(out.width) * out.height * 4);
    for (std::uint32_t i = 0; i < best->width * best->height; ++i) {
        const std::uint32_t argb = best->data[i];
        out.rgba.push_back(std::uint8_t(argb >> 16));
        out.rgba.push_back(std::uint8_t(argb >> 8));
        out.rgba.push_back(std::uint8_t(argb));
        out.rgba.push_back(std::uint8_t(argb >> 24));
    }
    return out;
}

bool isKdeSession()
{
    const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
    return desktops && std::string_view(desktops).find("KDE") != std::string_view::npos;
}

class X11Workspace : public SystemWorkspace, X11Facade {
public:
    using X11Facade::X11Facade;
    std::int32_t ownPid() const override { return impl.ownPid; }
    std::vector<RunningApp> runningApps() const override { return impl.runningApps(); }
    std::optional<RunningApp> frontmostApp() const override
    {
        impl.settleWrites();
        const auto active = impl.activeWindow();
        if (!active)
            return std::nullopt;
        return impl.runningApp(impl.adopt(*active).pid);
    }
    // The icon its desktop entry names, else the first its windows carry.
    // The switcher asks for every application as it opens: the class is
    // remembered, and so is the icon of a window that reports its changes;
    // the others' are read in one round trip.
    std::optional<Image> icon(std::int32_t pid) const override
    {
        // A change the server has sent is heard before what is kept serves.
        impl.takeSentEvents();
        const auto own = impl.windowsOfPid(pid);
        if (own.empty())
            return std::nullopt;
        if (auto themed = impl.entryIcon(own.front()))
            return themed;
        std::vector<std::pair<xcb_window_t, xcb_get_property_cookie_t>> asked;
        for (xcb_window_t w : own)
            if (!impl.windowIcons.count(w))
                asked.emplace_back(w, xcb_ewmh_get_wm_icon(&impl.ewmh, w));
        std::unordered_map<xcb_window_t, std::optional<Image>> fresh;
        for (const auto& [w, cookie] : asked) {
            const bool watched = impl.knownFor(w).has_value();
            xcb_ewmh_get_wm_icon_reply_t reply;
            std::optional<Image> best;
            if (xcb_ewmh_get_wm_icon_reply(&impl.ewmh, cookie, &reply, nullptr)) {
                best = bestIcon(reply);
                xcb_ewmh_get_wm_icon_reply_wipe(&reply);
            }
            if (watched)
                impl.windowIcons[w] = best;
            fresh.emplace(w, std::move(best));
        }
        for (xcb_window_t w : own) {
            const auto kept = impl.windowIcons.find(w);
            const auto& image = kept != impl.windowIcons.end() ? kept->second : fresh[w];
            if (image)
                return image;
        }
        return std::nullopt;
    }
    bool activate(std::int32_t pid) override
    {
        // Windows hidden with their application come back first, and are
        // read once the manager has them again; nothing else this sends
        // first (a raise) changes what is read, so nothing is waited for.
        if (impl.hiddenBy.count(pid)) {
            unhide(pid);
            impl.settleWrites();
        }
        if (auto w = impl.focusedOf(pid)) {
            impl.activateWindow(*w);
            return true;
        }
        // Nothing of it on the shown desktop: its front window on another
        // one, with that desktop brought up first, as activating an
        // application does elsewhere.
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : impl.stacking())
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        if (own.empty())
            return false;
        const auto props = impl.read(own, X11Fields::state | X11Fields::desktop);
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (!props[i].alive || props[i].hasState(impl.ewmh._NET_WM_STATE_HIDDEN))
                continue;
            if (props[i].desktop && *props[i].desktop != 0xFFFFFFFF && impl.wmPresent)
                impl.showDesktop(*props[i].desktop);
            impl.activateWindow(own[i]);
            break;
        }
        return true;
    }
    bool activate(std::int32_t pid, WindowID window) override
    {
        // Windows hidden with their application come back the long way.
        if (impl.hiddenBy.count(pid))
            return activate(pid);
        const auto w = impl.windowFor(window);
        const auto k = w ? impl.knownFor(*w) : std::nullopt;
        if (!k || k->pid != pid)
            return activate(pid);
        impl.lastFocused[pid] = *w;
        impl.activateWindow(*w);
        return true;
    }
    bool hide(std::int32_t pid) override
    {
        if (!impl.runningApp(pid))
            return false;
        const auto stack = impl.stacking();
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : stack)
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        const auto props = impl.read(own, X11Fields::state);
        for (std::size_t i = 0; i < own.size(); ++i) {
            if (!props[i].alive || props[i].hasState(impl.ewmh._NET_WM_STATE_HIDDEN))
                continue;
            impl.hiddenBy[pid].insert(own[i]);
            impl.iconify(own[i]);
        }
        return true;
    }
    bool unhide(std::int32_t pid) override
    {
        auto it = impl.hiddenBy.find(pid);
        if (it == impl.hiddenBy.end())
            return impl.runningApp(pid).has_value();
        const auto windows = it->second;
        impl.hiddenBy.erase(it);
        for (xcb_window_t w : windows)
            impl.deiconify(w);
        return true;
    }
    // Its desktop entry first, then the program of a running instance, then
    // a program of that name along the path.
    std::optional<std::string> applicationLocation(std::string_view bundleID) const override
    {
        DesktopEntries& entries = impl.desktopEntries();
        entries.refresh();
        if (const DesktopEntry* entry = entries.toLaunch(bundleID))
            return entry->file.string();
        for (const auto& app : impl.runningApps())
            if (app.bundleID && *app.bundleID == bundleID && app.pid > 0)
                if (auto exe = executableOf(app.pid))
                    return exe;
        // A name from a workflow file is no path: "/bin/x" or "../x" starts nothing.
        if (bundleID.empty() || bundleID.find('/') != std::string_view::npos)
            return std::nullopt;
        std::string lower(bundleID);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        if (auto found = findProgram(lower))
            return found->string();
        if (auto found = findProgram(bundleID))
            return found->string();
        return std::nullopt;
    }
    // No activation is asked for: whether a new window takes the focus is
    // the window manager's policy.
    bool launch(std::string_view location, bool) override
    {
        if (!isDesktopEntry(location))
            return spawnDetached({std::string(location)}, impl.displayName);
        const auto command = entryCommand(location, {});
        return command && spawnDetached(*command, impl.displayName);
    }
    bool openURLs(const std::vector<std::string>& urls, std::optional<std::string> appLocation, bool) override
    {
        if (appLocation && isDesktopEntry(*appLocation)) {
            const auto command = entryCommand(*appLocation, urls);
            return command && spawnDetached(*command, impl.displayName);
        }
        if (appLocation) {
            std::vector<std::string> argv{*appLocation};
            argv.insert(argv.end(), urls.begin(), urls.end());
            return spawnDetached(argv, impl.displayName);
        }
        bool all = true;
        for (const auto& url : urls)
            all = spawnDetached({"xdg-open", url}, impl.displayName) && all;
        return all;
    }
    // The desktop's own setting: its settings manager's, and KDE's.
    bool reducedMotion() const override
    {
        if (impl.enableAnimations && *impl.enableAnimations == 0)
            return true;
        return underKde_ && KdeGlobals::reducesMotion(KdeGlobals::files());
    }
    // Other programs' preference domains do not exist here.
    std::optional<nlohmann::json> preference(std::string_view, std::string_view) const override { return std::nullopt; }
    std::optional<std::string> windowManagerName() const override { return impl.managerName(); }
    Handle onActivation(std::function<void(const RunningApp&)> handler) override
    {
        return impl.observe(&Impl::activationObservers, std::move(handler));
    }
    Handle onDesktopChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::desktopObservers, std::move(handler));
    }
    Handle onWindowManagerChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::managerObservers, std::move(handler));
    }
    Handle onWake(std::function<void()> handler) override
    {
        return impl.observe(&Impl::wakeObservers, std::move(handler));
    }

private:
    bool underKde_ = isKdeSession();
};

} // namespace

std::unique_ptr<SystemWorkspace> makeX11Workspace(Impl& impl) { return std::make_unique<X11Workspace>(impl); }

void X11Desktop::setIconResolver(IconResolver resolver)
{
    impl_->iconResolver = std::move(resolver);
    impl_->entryIcons.clear();
}

std::optional<Image> Impl::entryIcon(xcb_window_t window)
{
    if (!iconResolver)
        return std::nullopt;
    constexpr unsigned fields = X11Fields::wmClass | X11Fields::appIds;
    auto kept = rememberedOnly(window, fields);
    const ClientProps props = kept ? std::move(*kept) : read(window, fields);
    DesktopEntries& entries = desktopEntries();
    entries.refresh();
    const DesktopEntry* entry = entries.forProgram(ProgramIdentity{.applicationId = props.applicationId,
                                                                   .desktopFile = props.desktopFile,
                                                                   .wmClass = props.className,
                                                                   .instance = props.instance});
    if (!entry || entry->icon.empty())
        return std::nullopt;
    if (entryIconsRead != entries.reads()) {
        entryIcons.clear();
        entryIconsRead = entries.reads();
    }
    auto it = entryIcons.find(entry->icon);
    if (it == entryIcons.end())
        it = entryIcons.emplace(entry->icon, iconResolver(entry->icon, 128)).first;
    return it->second;
}

DesktopEntries& Impl::desktopEntries()
{
    if (!entries)
        entries = std::make_unique<DesktopEntries>(DesktopEntries::dataDirsFromEnvironment(),
                                                   DesktopEntries::localeFromEnvironment());
    return *entries;
}

} // namespace kavelo
