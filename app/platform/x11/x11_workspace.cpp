// Applications on an X server: the owners of the client windows, activation,
// hiding by iconifying, and starting programs.

#include "app/platform/x11/x11_impl.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

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

// Starts a program that outlives us and is not our child to reap.
bool spawnDetached(const std::vector<std::string>& argv)
{
    if (argv.empty())
        return false;
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
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
            execvp(args[0], args.data());
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

std::optional<std::string> findInPath(const std::string& name)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const auto end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return std::nullopt;
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
    std::optional<Image> icon(std::int32_t pid) const override
    {
        for (xcb_window_t w : impl.stacking()) {
            const auto k = impl.knownFor(w);
            if (!k || k->pid != pid)
                continue;
            xcb_ewmh_get_wm_icon_reply_t reply;
            if (!xcb_ewmh_get_wm_icon_reply(&impl.ewmh, xcb_ewmh_get_wm_icon(&impl.ewmh, w), &reply, nullptr))
                continue;
            // The largest picture up to 128 pixels, else the first.
            std::optional<xcb_ewmh_wm_icon_iterator_t> best;
            for (auto it = xcb_ewmh_get_wm_icon_iterator(&reply); it.rem; xcb_ewmh_get_wm_icon_next(&it))
                if (!best || (it.width <= 128 && it.width > best->width) || best->width > 128)
                    best = it;
            std::optional<Image> image;
            if (best && best->width > 0 && best->height > 0) {
                Image out{.width = int(best->width), .height = int(best->height)};
                out.rgba.reserve(std::size_t(out.width) * out.height * 4);
                for (std::uint32_t i = 0; i < best->width * best->height; ++i) {
                    const std::uint32_t argb = best->data[i];
                    out.rgba.push_back(std::uint8_t(argb >> 16));
                    out.rgba.push_back(std::uint8_t(argb >> 8));
                    out.rgba.push_back(std::uint8_t(argb));
                    out.rgba.push_back(std::uint8_t(argb >> 24));
                }
                image = std::move(out);
            }
            xcb_ewmh_get_wm_icon_reply_wipe(&reply);
            if (image)
                return image;
        }
        return std::nullopt;
    }
    bool activate(std::int32_t pid) override
    {
        if (!impl.runningApp(pid))
            return false;
        unhide(pid);
        impl.settleWrites();
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
    std::optional<std::string> applicationLocation(std::string_view bundleID) const override
    {
        for (const auto& app : impl.runningApps())
            if (app.bundleID && *app.bundleID == bundleID && app.pid > 0)
                if (auto exe = executableOf(app.pid))
                    return exe;
        std::string lower(bundleID);
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
        if (auto found = findInPath(lower))
            return found;
        return findInPath(std::string(bundleID));
    }
    bool launch(std::string_view location, bool) override { return spawnDetached({std::string(location)}); }
    bool openURLs(const std::vector<std::string>& urls, std::optional<std::string> appLocation, bool) override
    {
        if (appLocation) {
            std::vector<std::string> argv{*appLocation};
            argv.insert(argv.end(), urls.begin(), urls.end());
            return spawnDetached(argv);
        }
        bool all = true;
        for (const auto& url : urls)
            all = spawnDetached({"xdg-open", url}) && all;
        return all;
    }
    bool reducedMotion() const override { return false; }
    // Other programs' preference domains do not exist here.
    std::optional<nlohmann::json> preference(std::string_view, std::string_view) const override { return std::nullopt; }
    Handle onActivation(std::function<void(const RunningApp&)> handler) override
    {
        return impl.observe(&Impl::activationObservers, std::move(handler));
    }
    Handle onDesktopChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::desktopObservers, std::move(handler));
    }
    Handle onWake(std::function<void()> handler) override
    {
        return impl.observe(&Impl::wakeObservers, std::move(handler));
    }
};

} // namespace

std::unique_ptr<SystemWorkspace> makeX11Workspace(Impl& impl) { return std::make_unique<X11Workspace>(impl); }

} // namespace kavelo
