// The login item, browser scripting and the program's own info keys on the
// simulated desktop.

#include "app/platform/sim/sim_impl.h"

#include <algorithm>

namespace kavelo {

using Impl = SimDesktop::Impl;

namespace {

class SimLoginItem : public LoginItem, SimFacade {
public:
    using SimFacade::SimFacade;
    LoginItemStatus status() const override { return impl.lock(), impl.s.loginItem; }
    bool registerItem() override { return change(LoginItemStatus::enabled); }
    bool unregisterItem() override { return change(LoginItemStatus::notRegistered); }

private:
    bool change(LoginItemStatus to)
    {
        auto guard = impl.lock();
        if (impl.s.loginItemRefuses)
            return false;
        impl.s.loginItem = to;
        return true;
    }
};

class SimBrowsers : public BrowserScripting, SimFacade {
public:
    using SimFacade::SimFacade;
    // Understands the one script shape the program sends: the tab addresses
    // of a browser named by `tell application id "..."`, skipping private
    // windows when the script tests for them.
    std::optional<std::vector<std::optional<std::string>>> run(std::string_view source) override
    {
        constexpr std::string_view opening = "tell application id \"";
        const auto start = source.find(opening);
        if (start == std::string_view::npos)
            return std::nullopt;
        const auto from = start + opening.size();
        const auto end = source.find('"', from);
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string bundleID(source.substr(from, end - from));
        const bool skipsPrivate = source.find("incognito") != std::string_view::npos;

        auto guard = impl.lock();
        const bool runs = std::any_of(impl.s.apps.begin(), impl.s.apps.end(),
                                      [&](const SimApp& a) { return a.bundleID == bundleID; });
        auto it = impl.s.browsers.find(bundleID);
        if (!runs || it == impl.s.browsers.end() || !it->second.scriptable)
            return std::nullopt;
        std::vector<std::optional<std::string>> out;
        for (const auto& w : it->second.windows) {
            if (w.isPrivate && skipsPrivate)
                continue;
            for (const auto& tab : w.tabs)
                out.emplace_back(tab);
        }
        return out;
    }
};

class SimAppInfo : public AppInfo, SimFacade {
public:
    using SimFacade::SimFacade;
    std::string bundleID() const override { return impl.lock(), impl.s.ownBundleID; }
    std::string bundlePath() const override { return impl.lock(), impl.s.bundlePath; }
    std::optional<std::string> infoValue(std::string_view key) const override
    {
        auto guard = impl.lock();
        auto it = impl.s.info.find(std::string(key));
        if (it == impl.s.info.end())
            return std::nullopt;
        return it->second;
    }
};

} // namespace

std::unique_ptr<LoginItem> makeSimLoginItem(Impl& impl) { return std::make_unique<SimLoginItem>(impl); }
std::unique_ptr<BrowserScripting> makeSimBrowsers(Impl& impl) { return std::make_unique<SimBrowsers>(impl); }
std::unique_ptr<AppInfo> makeSimAppInfo(Impl& impl) { return std::make_unique<SimAppInfo>(impl); }

// ---------------------------------------------------------------- settings

void SimDesktop::setInfoValue(std::string key, std::string value)
{
    auto guard = impl_->lock();
    impl_->s.info[std::move(key)] = std::move(value);
}

void SimDesktop::setLoginItem(LoginItemStatus status, bool refusesChanges)
{
    auto guard = impl_->lock();
    impl_->s.loginItem = status;
    impl_->s.loginItemRefuses = refusesChanges;
}

void SimDesktop::setBrowser(std::string bundleID, SimBrowser browser)
{
    auto guard = impl_->lock();
    impl_->s.browsers[std::move(bundleID)] = std::move(browser);
}

std::optional<SimBrowser> SimDesktop::browser(std::string_view bundleID) const
{
    auto guard = impl_->lock();
    auto it = impl_->s.browsers.find(std::string(bundleID));
    if (it == impl_->s.browsers.end())
        return std::nullopt;
    return it->second;
}

} // namespace kavelo
