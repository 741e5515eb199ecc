// The simulated desktop itself: its start state, its interfaces, and its
// state files.

#include "app/platform/sim/sim_desktop.h"

#include "app/platform/sim/sim_impl.h"
#include "core/json.h"

#include <cstdlib>

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- desktop

PlatformInterfaces makeSimInterfaces(Impl& impl)
{
    return PlatformInterfaces{.accessibility = makeSimAccessibility(impl),
                              .windowServer = makeSimWindowServer(impl),
                              .workspace = makeSimWorkspace(impl),
                              .displays = makeSimDisplays(impl),
                              .hotKeys = makeSimHotKeys(impl),
                              .eventTap = makeSimEventTap(impl),
                              .mouse = makeSimMouse(impl),
                              .keyboard = makeSimKeyboard(impl),
                              .multitouch = makeSimMultitouch(impl),
                              .capture = makeSimCapture(impl),
                              .loginItem = makeSimLoginItem(impl),
                              .browsers = makeSimBrowsers(impl),
                              .appInfo = makeSimAppInfo(impl)};
}

namespace {

SimState defaultState()
{
    SimState s;
    s.displays.push_back(SimDisplay{.id = 1,
                                    .name = "Built-in Display",
                                    .frame = Rect(0, 0, 1440, 900),
                                    .menuBar = 25,
                                    .vendor = 0x610,
                                    .model = 0xA050,
                                    .serial = 1,
                                    .desktops = {1},
                                    .currentDesktop = 1});
    s.nextDesktop = 2;
    s.apps.push_back(SimApp{.pid = s.ownPid,
                            .bundleID = s.ownBundleID,
                            .name = std::string("Kavelo"),
                            .policy = ActivationPolicy::accessory});
    return s;
}

} // namespace

SimDesktop::SimDesktop() : impl_(std::make_shared<Impl>())
{
    interfaces_ = std::make_unique<PlatformInterfaces>(makeSimInterfaces(*impl_));
    impl_->s = defaultState();
}

SimDesktop::~SimDesktop()
{
    {
        std::lock_guard touch(impl_->touchMutex);
        impl_->touchCallback = nullptr;
    }
    {
        auto guard = impl_->lock();
        impl_->deferred.clear();
    }
    // The interfaces answer from the inside, so they go first.
    interfaces_.reset();
}


Platform SimDesktop::platform(Scheduler& scheduler, Clock& clock)
{
    return interfaces_->platform(scheduler, clock);
}

void SimDesktop::attach(Scheduler* scheduler)
{
    auto guard = impl_->lock();
    impl_->deferred.clear();
    impl_->scheduler = scheduler;
}

// ---------------------------------------------------------------- state files

nlohmann::json SimDesktop::dump() const
{
    auto guard = impl_->lock();
    return encodeState(impl_->s);
}

bool SimDesktop::load(const nlohmann::json& state)
{
    auto decoded = json::decode([&] { return decodeState(state); });
    if (!decoded)
        return false;
    auto guard = impl_->lock();
    impl_->s = std::move(*decoded);
    for (auto& [n, w] : impl_->s.windows)
        impl_->normalize(w);
    impl_->counters.clear();
    impl_->deferred.clear();
    return true;
}

std::optional<std::filesystem::path> SimDesktop::stateFileFromEnvironment()
{
    const char* value = std::getenv(stateVariable);
    if (!value || !*value)
        return std::nullopt;
    return std::filesystem::path(value);
}

bool SimDesktop::loadFile(const std::filesystem::path& path)
{
    const auto text = readFile(path);
    if (!text)
        return false;
    const auto j = json::parse(*text);
    return j && load(*j);
}

std::error_code SimDesktop::saveFile(const std::filesystem::path& path) const
{
    return writeFileAtomically(path, dump().dump(2) + "\n");
}

bool SimDesktop::loadFromEnvironment()
{
    const auto path = stateFileFromEnvironment();
    std::error_code error;
    if (!path || !std::filesystem::exists(*path, error))
        return true;
    return loadFile(*path);
}

std::error_code SimDesktop::saveToEnvironment() const
{
    const auto path = stateFileFromEnvironment();
    return path ? saveFile(*path) : std::error_code();
}

} // namespace kavelo
