// Applications on the simulated desktop: running, activation, hiding,
// launching, opening URLs, preferences of other domains and the
// notifications.

#include "app/platform/sim/sim_impl.h"

#include <algorithm>

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- rules

SimApp* Impl::findApp(std::int32_t pid)
{
    for (auto& a : s.apps)
        if (a.pid == pid)
            return &a;
    return nullptr;
}

const SimApp* Impl::findApp(std::int32_t pid) const
{
    for (const auto& a : s.apps)
        if (a.pid == pid)
            return &a;
    return nullptr;
}

RunningApp Impl::running(const SimApp& a) const
{
    return RunningApp{.pid = a.pid, .bundleID = a.bundleID, .name = a.name, .policy = a.policy, .hidden = a.hidden};
}

std::optional<std::int32_t> Impl::nextFrontmost(std::int32_t leaving) const
{
    for (WindowID n : ordered()) {
        const SimWindow& w = s.windows.at(n);
        const SimApp* a = findApp(w.pid);
        if (w.pid != leaving && w.layer == 0 && a && a->policy == ActivationPolicy::regular && onScreen(w))
            return w.pid;
    }
    return std::nullopt;
}

void Impl::notify(std::map<std::uint64_t, std::function<void()>> Impl::*observers)
{
    std::vector<std::uint64_t> ids;
    {
        auto guard = lock();
        for (const auto& [id, f] : this->*observers)
            ids.push_back(id);
    }
    for (auto id : ids) {
        std::function<void()> f;
        {
            auto guard = lock();
            auto it = (this->*observers).find(id);
            if (it == (this->*observers).end())
                continue;
            f = it->second;
        }
        f();
    }
}

void Impl::notifyClosed(WindowID number)
{
    std::vector<std::uint64_t> ids;
    {
        auto guard = lock();
        for (const auto& [id, f] : closeObservers)
            ids.push_back(id);
    }
    for (auto id : ids) {
        std::function<void(WindowID)> f;
        {
            auto guard = lock();
            auto it = closeObservers.find(id);
            if (it == closeObservers.end())
                continue;
            f = it->second;
        }
        f(number);
    }
}

void Impl::notifyActivation(const RunningApp& app)
{
    std::vector<std::uint64_t> ids;
    {
        auto guard = lock();
        for (const auto& [id, f] : activationObservers)
            ids.push_back(id);
    }
    for (auto id : ids) {
        std::function<void(const RunningApp&)> f;
        {
            auto guard = lock();
            auto it = activationObservers.find(id);
            if (it == activationObservers.end())
                continue;
            f = it->second;
        }
        f(app);
    }
}

int SimDesktop::appListReads() const
{
    auto guard = impl_->lock();
    return impl_->s.appListReads;
}

// ---------------------------------------------------------------- interface

namespace {

class SimWorkspace : public SystemWorkspace, SimFacade {
public:
    using SimFacade::SimFacade;
    std::int32_t ownPid() const override { return impl.lock(), impl.s.ownPid; }
    std::vector<RunningApp> runningApps() const override
    {
        auto guard = impl.lock();
        ++impl.s.appListReads;
        std::vector<RunningApp> out;
        for (const auto& a : impl.s.apps)
            out.push_back(impl.running(a));
        return out;
    }
    std::optional<RunningApp> frontmostApp() const override
    {
        auto guard = impl.lock();
        if (!impl.s.frontmost)
            return std::nullopt;
        const SimApp* a = impl.findApp(*impl.s.frontmost);
        return a ? std::optional(impl.running(*a)) : std::nullopt;
    }
    std::optional<Image> icon(std::int32_t pid) const override
    {
        auto guard = impl.lock();
        if (!impl.findApp(pid))
            return std::nullopt;
        return solidImage(16, 16, std::uint32_t(pid));
    }
    bool activate(std::int32_t pid) override
    {
        std::optional<RunningApp> activated;
        {
            auto guard = impl.lock();
            SimApp* a = impl.findApp(pid);
            if (!a || a->policy == ActivationPolicy::prohibited)
                return false;
            a->hidden = false;
            const auto n = impl.focusedOf(pid);
            if (n)
                impl.toFront(*n);
            if (n && impl.s.windows.at(*n).declinesFocus)
                return true;
            if (impl.s.frontmost != pid) {
                impl.s.frontmost = pid;
                activated = impl.running(*a);
            }
        }
        if (activated)
            impl.notifyActivation(*activated);
        return true;
    }
    bool hide(std::int32_t pid) override
    {
        std::optional<RunningApp> activated;
        {
            auto guard = impl.lock();
            SimApp* a = impl.findApp(pid);
            if (!a)
                return false;
            a->hidden = true;
            if (impl.s.frontmost == pid) {
                impl.s.frontmost = impl.nextFrontmost(pid);
                if (impl.s.frontmost)
                    activated = impl.running(*impl.findApp(*impl.s.frontmost));
            }
        }
        if (activated)
            impl.notifyActivation(*activated);
        return true;
    }
    bool unhide(std::int32_t pid) override
    {
        auto guard = impl.lock();
        SimApp* a = impl.findApp(pid);
        if (!a)
            return false;
        a->hidden = false;
        return true;
    }
    std::optional<std::string> applicationLocation(std::string_view bundleID) const override
    {
        auto guard = impl.lock();
        auto it = impl.s.installed.find(std::string(bundleID));
        if (it == impl.s.installed.end())
            return std::nullopt;
        return it->second.location;
    }
    bool launch(std::string_view location, bool activates) override
    {
        std::optional<std::int32_t> pid;
        {
            auto guard = impl.lock();
            impl.s.requests.push_back(SimRequest{.kind = "launch", .location = std::string(location), .activates = activates});
            pid = start(location);
        }
        if (pid && activates)
            activate(*pid);
        return pid.has_value();
    }
    bool openURLs(const std::vector<std::string>& urls, std::optional<std::string> appLocation,
                  bool activates) override
    {
        std::optional<std::int32_t> pid;
        {
            auto guard = impl.lock();
            impl.s.requests.push_back(
                SimRequest{.kind = "openURLs", .urls = urls, .location = appLocation, .activates = activates});
            if (!appLocation)
                return true;
            pid = start(*appLocation);
            if (!pid)
                return false;
            const SimApp* a = impl.findApp(*pid);
            if (a && a->bundleID) {
                auto it = impl.s.browsers.find(*a->bundleID);
                if (it != impl.s.browsers.end()) {
                    auto& windows = it->second.windows;
                    auto target = std::find_if(windows.begin(), windows.end(),
                                               [](const SimBrowserWindow& w) { return !w.isPrivate; });
                    if (target == windows.end())
                        target = windows.insert(windows.end(), SimBrowserWindow{});
                    target->tabs.insert(target->tabs.end(), urls.begin(), urls.end());
                }
            }
        }
        if (pid && activates)
            activate(*pid);
        return true;
    }
    bool reducedMotion() const override { return impl.lock(), impl.s.reducedMotion; }
    std::optional<nlohmann::json> preference(std::string_view domain, std::string_view key) const override
    {
        auto guard = impl.lock();
        auto d = impl.s.preferences.find(std::string(domain));
        if (d == impl.s.preferences.end())
            return std::nullopt;
        auto k = d->second.find(std::string(key));
        if (k == d->second.end())
            return std::nullopt;
        return k->second;
    }
    std::optional<std::string> windowManagerName() const override
    {
        auto guard = impl.lock();
        return impl.s.windowManager;
    }
    Handle onActivation(std::function<void(const RunningApp&)> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::activationObservers, std::move(handler));
    }
    Handle onDesktopChange(std::function<void()> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::desktopObservers, std::move(handler));
    }
    Handle onWindowManagerChange(std::function<void()> handler) override
    {
        return impl.observe(&Impl::managerObservers, std::move(handler));
    }
    Handle onWake(std::function<void()> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::wakeObservers, std::move(handler));
    }

private:
    // The running app installed at `location`, started when needed.
    std::optional<std::int32_t> start(std::string_view location)
    {
        for (const auto& [bundleID, installed] : impl.s.installed) {
            if (installed.location != location)
                continue;
            for (const auto& a : impl.s.apps)
                if (a.bundleID == bundleID)
                    return a.pid;
            if (!hasSuccessor(impl.s.nextPid))
                return std::nullopt;
            SimApp a{.pid = impl.s.nextPid++, .bundleID = bundleID, .name = installed.name};
            impl.s.apps.push_back(a);
            return a.pid;
        }
        return std::nullopt;
    }
};

} // namespace

std::unique_ptr<SystemWorkspace> makeSimWorkspace(Impl& impl) { return std::make_unique<SimWorkspace>(impl); }

// ---------------------------------------------------------------- apps

std::int32_t SimDesktop::addApp(SimApp app)
{
    auto guard = impl_->lock();
    auto& s = impl_->s;
    if (app.pid == 0 || impl_->findApp(app.pid))
        app.pid = s.nextPid;
    if (!hasSuccessor(app.pid) || impl_->findApp(app.pid))
        return 0;
    s.nextPid = std::max(s.nextPid, app.pid + 1);
    s.apps.push_back(app);
    return app.pid;
}

bool SimDesktop::removeApp(std::int32_t pid)
{
    std::optional<RunningApp> activated;
    std::vector<WindowID> closed;
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        if (!impl_->findApp(pid) || pid == s.ownPid)
            return false;
        for (const auto& [number, w] : s.windows)
            if (w.pid == pid)
                closed.push_back(number);
        std::erase_if(s.apps, [&](const SimApp& a) { return a.pid == pid; });
        std::erase_if(s.stack, [&](WindowID n) { return s.windows.at(n).pid == pid; });
        std::erase_if(s.windows, [&](const auto& item) { return item.second.pid == pid; });
        if (s.frontmost == pid) {
            s.frontmost = impl_->nextFrontmost(pid);
            if (s.frontmost)
                activated = impl_->running(*impl_->findApp(*s.frontmost));
        }
    }
    for (WindowID number : closed)
        impl_->notifyClosed(number);
    if (activated)
        impl_->notifyActivation(*activated);
    return true;
}

std::optional<SimApp> SimDesktop::app(std::int32_t pid) const
{
    auto guard = impl_->lock();
    const SimApp* a = impl_->findApp(pid);
    return a ? std::optional(*a) : std::nullopt;
}

std::optional<std::int32_t> SimDesktop::frontmost() const
{
    auto guard = impl_->lock();
    return impl_->s.frontmost;
}

bool SimDesktop::setAppAnswers(std::int32_t pid, bool answers)
{
    auto guard = impl_->lock();
    SimApp* a = impl_->findApp(pid);
    if (!a)
        return false;
    a->answers = answers;
    return true;
}

void SimDesktop::install(std::string bundleID, SimInstalledApp app)
{
    auto guard = impl_->lock();
    impl_->s.installed[std::move(bundleID)] = std::move(app);
}

// ---------------------------------------------------------------- settings

void SimDesktop::setReducedMotion(bool on)
{
    auto guard = impl_->lock();
    impl_->s.reducedMotion = on;
}

void SimDesktop::setPreference(std::string domain, std::string key, nlohmann::json value)
{
    auto guard = impl_->lock();
    impl_->s.preferences[std::move(domain)][std::move(key)] = std::move(value);
}

void SimDesktop::setWindowManagerName(std::optional<std::string> name)
{
    {
        auto guard = impl_->lock();
        impl_->s.windowManager = std::move(name);
    }
    impl_->notify(&Impl::managerObservers);
}

std::vector<SimRequest> SimDesktop::requests() const
{
    auto guard = impl_->lock();
    return impl_->s.requests;
}

void SimDesktop::wake() { impl_->notify(&Impl::wakeObservers); }

} // namespace kavelo
