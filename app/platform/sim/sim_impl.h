#pragma once

// Inside the simulated desktop: the persisted state, the run-time parts, and
// the rules shared by the interfaces and the driving calls. Every member
// function expects `mutex` to be held.

#include "app/platform/sim/sim_desktop.h"

#include <nlohmann/json.hpp>

#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <utility>

namespace kavelo {

// Numbers handed out by counters (windows, pids, desktops, displays) never
// wrap: a number that has no successor is refused, so the counter after it
// cannot come round to one that is taken.
template <class T>
constexpr bool hasSuccessor(T n)
{
    return n < std::numeric_limits<T>::max();
}

struct SimState {
    std::int32_t ownPid = 100;
    std::string ownBundleID = "io.kavelo.Kavelo";
    std::string bundlePath = "/usr/bin/kavelo";
    std::map<std::string, std::string> info;
    bool trusted = true;
    // Whether trust and capture are granted by the user at all.
    bool asksPermissions = true;
    bool captureAllowed = true;
    bool captureGrantedOnRequest = false;
    bool reducedMotion = false;
    bool blendsPanels = true;
    std::optional<std::string> windowManager;
    LoginItemStatus loginItem = LoginItemStatus::notRegistered;
    bool loginItemRefuses = false;
    std::optional<std::int32_t> frontmost;
    WindowID nextWindowNumber = 1;
    std::uint64_t nextDesktop = 1;
    std::int32_t nextPid = 500;
    std::vector<SimDisplay> displays;
    std::vector<SimApp> apps;
    std::map<WindowID, SimWindow> windows;
    std::vector<WindowID> stack;   // front to back, layers not yet applied
    std::map<std::string, SimInstalledApp> installed;
    std::map<std::string, std::map<std::string, nlohmann::json>> preferences;
    std::set<std::pair<std::uint32_t, std::uint32_t>> hotKeysTaken;
    std::optional<std::string> layout = std::string("us");
    Point pointer;                 // top-left
    std::uint32_t pressedButtons = 0;
    std::uint64_t sessionFlags = 0;
    std::uint64_t hidFlags = 0;
    int trackpads = 1;
    std::map<std::string, SimBrowser> browsers;
    std::vector<SimRequest> requests;
    int trustRequests = 0;
    int appListReads = 0;
};

nlohmann::json encodeState(const SimState& state);
// Throws json::DecodeError (or a JSON exception) when the state is not valid.
SimState decodeState(const nlohmann::json& j);

struct SimDesktop::Impl : std::enable_shared_from_this<Impl> {
    mutable std::mutex mutex;
    SimState s;

    std::map<WindowID, SimCounters> counters;
    Scheduler* scheduler = nullptr;
    std::vector<Handle> deferred;

    std::uint64_t nextObserver = 1;
    std::map<std::uint64_t, std::function<void(const RunningApp&)>> activationObservers;
    std::map<std::uint64_t, std::function<void()>> desktopObservers;
    std::map<std::uint64_t, std::function<void()>> wakeObservers;
    std::map<std::uint64_t, std::function<void()>> managerObservers;
    std::map<std::uint64_t, std::function<void()>> displayObservers;
    std::map<std::uint64_t, std::function<void(WindowID)>> closeObservers;
    std::map<std::uint64_t, std::pair<std::uint32_t, std::function<void(const MouseEvent&)>>> mouseMonitors;

    std::function<bool(const TapEvent&)> tap;
    bool tapRunning = false;
    bool tapEnabled = true;
    std::set<std::pair<std::uint16_t, std::uint64_t>> claims;
    bool keyboardHeld = false;          // by this program
    bool keyboardHeldElsewhere = false; // by another client

    std::function<void(std::uint32_t)> hotKeyHandler;
    std::map<std::uint64_t, SimHotKey> hotKeys;
    std::uint64_t nextHotKeyRef = 1;

    std::mutex touchMutex;
    std::function<void(const ContactFrame&)> touchCallback;

    std::unique_lock<std::mutex> lock() const { return std::unique_lock(mutex); }

    // Geometry.
    double primaryHeight() const;
    Rect flipped(const Rect& bottomLeft) const;
    std::optional<std::size_t> displayForRect(const Rect& topLeft) const;
    std::optional<std::size_t> displayForPoint(Point topLeft) const;
    std::optional<std::size_t> displayOfDesktop(std::uint64_t desktop) const;
    std::optional<std::size_t> displayIndex(std::uint32_t id) const;

    // Apps and windows.
    SimApp* findApp(std::int32_t pid);
    const SimApp* findApp(std::int32_t pid) const;
    SimWindow* findWindow(WindowID number);
    RunningApp running(const SimApp& app) const;
    bool onShownDesktop(const SimWindow& w) const;
    bool onScreen(const SimWindow& w) const;
    std::vector<WindowID> ordered() const;   // by layer, then stacking
    void toFront(WindowID number);
    void placeBelow(WindowID number, WindowID reference);
    std::optional<WindowID> focusedOf(std::int32_t pid) const;
    std::optional<std::int32_t> nextFrontmost(std::int32_t leaving) const;
    // 0 once the numbers are used up.
    std::uint64_t newDesktop();
    std::string uniqueName(const std::string& wanted, std::uint32_t except) const;
    void normalize(SimWindow& w);
    // 0, and nothing inserted, once the numbers are used up.
    WindowID insertWindow(SimWindow w, bool front);
    // A window an element may still reach: alive, its app answering, trust.
    SimWindow* reachable(WindowID number);

    // Writes through an element.
    bool writePosition(SimWindow& w, Point p);
    bool writeSize(SimWindow& w, Size size);
    void applySize(SimWindow& w, Size size);
    // The size the window takes when asked for `size`.
    Size takenSize(const SimWindow& w, Size size) const;
    void applyPending(SimWindow& w);
    void deferApply(const SimWindow& w);

    // Fires observers; call without the lock.
    void notify(std::map<std::uint64_t, std::function<void()>> Impl::*observers);
    void notifyActivation(const RunningApp& app);
    void notifyClosed(WindowID number);
    void notifyMouse(const MouseEvent& event);
    bool sendToTap(const TapEvent& event);
    template <class Map>
    Handle observe(Map Impl::*observers, typename Map::mapped_type handler);
};

template <class Map>
Handle SimDesktop::Impl::observe(Map Impl::*observers, typename Map::mapped_type handler)
{
    const std::uint64_t id = nextObserver++;
    (this->*observers).emplace(id, std::move(handler));
    return Handle::withCancel([weak = weak_from_this(), observers, id] {
        if (auto impl = weak.lock()) {
            auto guard = impl->lock();
            ((*impl).*observers).erase(id);
        }
    });
}

// What every interface of the desktop holds: the inside it answers from.
struct SimFacade {
    explicit SimFacade(SimDesktop::Impl& impl) : impl(impl) {}
    SimDesktop::Impl& impl;
};

// The interfaces, each made in the file of its facility.
std::unique_ptr<Accessibility> makeSimAccessibility(SimDesktop::Impl& impl);
std::unique_ptr<WindowServer> makeSimWindowServer(SimDesktop::Impl& impl);
std::unique_ptr<SystemWorkspace> makeSimWorkspace(SimDesktop::Impl& impl);
std::unique_ptr<Displays> makeSimDisplays(SimDesktop::Impl& impl);
std::unique_ptr<SystemHotKeys> makeSimHotKeys(SimDesktop::Impl& impl);
std::unique_ptr<EventTap> makeSimEventTap(SimDesktop::Impl& impl);
std::unique_ptr<Mouse> makeSimMouse(SimDesktop::Impl& impl);
std::unique_ptr<Keyboard> makeSimKeyboard(SimDesktop::Impl& impl);
std::unique_ptr<Multitouch> makeSimMultitouch(SimDesktop::Impl& impl);
std::unique_ptr<WindowCapture> makeSimCapture(SimDesktop::Impl& impl);
std::unique_ptr<LoginItem> makeSimLoginItem(SimDesktop::Impl& impl);
std::unique_ptr<BrowserScripting> makeSimBrowsers(SimDesktop::Impl& impl);
std::unique_ptr<AppInfo> makeSimAppInfo(SimDesktop::Impl& impl);

// All of them together.
PlatformInterfaces makeSimInterfaces(SimDesktop::Impl& impl);

// A picture of one colour chosen by `seed`: application icons and window
// captures.
Image solidImage(int width, int height, std::uint32_t seed);

} // namespace kavelo
