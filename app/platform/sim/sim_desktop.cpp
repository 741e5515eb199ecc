#include "app/platform/sim/sim_desktop.h"

#include "app/platform/sim/sim_impl.h"
#include "app/platform/sim/sim_keyboard.h"
#include "core/json.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- records

std::string_view rawValue(DockEdge edge)
{
    switch (edge) {
    case DockEdge::none: return "none";
    case DockEdge::bottom: return "bottom";
    case DockEdge::left: return "left";
    case DockEdge::right: return "right";
    }
    return "none";
}

std::optional<DockEdge> DockEdge_from(std::string_view raw)
{
    for (auto e : {DockEdge::none, DockEdge::bottom, DockEdge::left, DockEdge::right})
        if (rawValue(e) == raw)
            return e;
    return std::nullopt;
}

Rect SimDisplay::visibleFrame() const
{
    Rect r = frame.standardized();
    r.size.height = std::max(0.0, r.size.height - menuBar);
    const double d = std::max(0.0, dockSize);
    switch (dock) {
    case DockEdge::none: break;
    case DockEdge::bottom:
        r.origin.y += std::min(d, r.size.height);
        r.size.height = std::max(0.0, r.size.height - d);
        break;
    case DockEdge::left:
        r.origin.x += std::min(d, r.size.width);
        r.size.width = std::max(0.0, r.size.width - d);
        break;
    case DockEdge::right: r.size.width = std::max(0.0, r.size.width - d); break;
    }
    return r;
}

// ---------------------------------------------------------------- rules

double Impl::primaryHeight() const { return s.displays.empty() ? 0 : s.displays.front().frame.height(); }

Rect Impl::flipped(const Rect& r) const
{
    return Rect(r.minX(), primaryHeight() - r.maxY(), r.width(), r.height());
}

std::optional<std::size_t> Impl::displayForRect(const Rect& rect) const
{
    if (s.displays.empty())
        return std::nullopt;
    std::size_t best = 0;
    double bestArea = flipped(s.displays[0].frame).intersection(rect).area();
    for (std::size_t i = 1; i < s.displays.size(); ++i) {
        const double area = flipped(s.displays[i].frame).intersection(rect).area();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return best;
}

std::optional<std::size_t> Impl::displayForPoint(Point p) const
{
    for (std::size_t i = 0; i < s.displays.size(); ++i)
        if (flipped(s.displays[i].frame).contains(p))
            return i;
    return std::nullopt;
}

std::optional<std::size_t> Impl::displayOfDesktop(std::uint64_t desktop) const
{
    for (std::size_t i = 0; i < s.displays.size(); ++i) {
        const auto& d = s.displays[i].desktops;
        if (std::find(d.begin(), d.end(), desktop) != d.end())
            return i;
    }
    return std::nullopt;
}

std::optional<std::size_t> Impl::displayIndex(std::uint32_t id) const
{
    for (std::size_t i = 0; i < s.displays.size(); ++i)
        if (s.displays[i].id == id)
            return i;
    return std::nullopt;
}

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

SimWindow* Impl::findWindow(WindowID number)
{
    auto it = s.windows.find(number);
    return it == s.windows.end() ? nullptr : &it->second;
}

RunningApp Impl::running(const SimApp& a) const
{
    return RunningApp{.pid = a.pid, .bundleID = a.bundleID, .name = a.name, .policy = a.policy, .hidden = a.hidden};
}

bool Impl::onShownDesktop(const SimWindow& w) const
{
    if (w.allDesktops)
        return true;
    const auto d = displayOfDesktop(w.desktop);
    return d && s.displays[*d].currentDesktop == w.desktop;
}

bool Impl::onScreen(const SimWindow& w) const
{
    const SimApp* a = findApp(w.pid);
    return w.visible && !w.minimized && !(a && a->hidden) && onShownDesktop(w);
}

std::vector<WindowID> Impl::ordered() const
{
    std::vector<WindowID> out = s.stack;
    std::stable_sort(out.begin(), out.end(),
                     [&](WindowID a, WindowID b) { return s.windows.at(a).layer > s.windows.at(b).layer; });
    return out;
}

void Impl::toFront(WindowID number)
{
    std::erase(s.stack, number);
    s.stack.insert(s.stack.begin(), number);
}

void Impl::placeBelow(WindowID number, WindowID reference)
{
    std::erase(s.stack, number);
    auto it = std::find(s.stack.begin(), s.stack.end(), reference);
    s.stack.insert(it == s.stack.end() ? s.stack.begin() : it + 1, number);
}

std::optional<WindowID> Impl::focusedOf(std::int32_t pid) const
{
    const SimApp* a = findApp(pid);
    if (!a)
        return std::nullopt;
    const auto focusable = [&](const SimWindow& w) {
        return w.pid == pid && w.accessible && !w.minimized && onShownDesktop(w);
    };
    if (a->focused) {
        auto it = s.windows.find(*a->focused);
        if (it != s.windows.end() && focusable(it->second))
            return it->first;
    }
    for (WindowID n : s.stack)
        if (focusable(s.windows.at(n)))
            return n;
    return std::nullopt;
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

std::uint64_t Impl::newDesktop() { return s.nextDesktop++; }

std::string Impl::uniqueName(const std::string& wanted, std::uint32_t except) const
{
    const auto taken = [&](const std::string& name) {
        return std::any_of(s.displays.begin(), s.displays.end(),
                           [&](const SimDisplay& d) { return d.id != except && d.name == name; });
    };
    const std::string base = wanted.empty() ? std::string("Display") : wanted;
    if (!taken(base))
        return base;
    for (int i = 2;; ++i) {
        std::string name = base + " (" + std::to_string(i) + ")";
        if (!taken(name))
            return name;
    }
}

void Impl::normalize(SimWindow& w)
{
    if (w.desktop == 0 && !w.allDesktops) {
        if (auto d = displayForRect(w.frame))
            w.desktop = s.displays[*d].currentDesktop;
    }
}

WindowID Impl::insertWindow(SimWindow w, bool front)
{
    if (w.number == 0 || s.windows.count(w.number))
        w.number = s.nextWindowNumber;
    s.nextWindowNumber = std::max(s.nextWindowNumber, w.number + 1);
    normalize(w);
    const WindowID n = w.number;
    s.windows.emplace(n, std::move(w));
    if (front)
        s.stack.insert(s.stack.begin(), n);
    else
        s.stack.push_back(n);
    return n;
}

SimWindow* Impl::reachable(WindowID number)
{
    SimWindow* w = findWindow(number);
    if (!w || !w->accessible || !s.trusted)
        return nullptr;
    const SimApp* a = findApp(w->pid);
    return a && a->answers ? w : nullptr;
}

bool Impl::writePosition(SimWindow& w, Point p)
{
    auto& c = counters[w.number];
    ++c.writes;
    ++c.positionWrites;
    if (w.refusesMoves || w.fullScreen || !std::isfinite(p.x) || !std::isfinite(p.y))
        return false;
    if (w.defersWrites) {
        w.pending.push_back({SimWrite::Kind::position, p.x, p.y});
        deferApply(w);
    } else {
        w.frame.origin = p;
    }
    return true;
}

bool Impl::writeSize(SimWindow& w, Size size)
{
    auto& c = counters[w.number];
    ++c.writes;
    ++c.sizeWrites;
    if (!w.sizeSettable || w.fullScreen || !std::isfinite(size.width) || !std::isfinite(size.height))
        return false;
    if (w.defersWrites) {
        w.pending.push_back({SimWrite::Kind::size, size.width, size.height});
        deferApply(w);
    } else {
        applySize(w, size);
    }
    return true;
}

// Sizes snap down to the window's increments, stay within its maximum and
// the visible frame of the display under its position, and never go below
// its minimum. Positions are taken as they come.
void Impl::applySize(SimWindow& w, Size size)
{
    double width = size.width;
    double height = size.height;
    if (w.sizeIncrement.width > 0)
        width = std::floor(width / w.sizeIncrement.width) * w.sizeIncrement.width;
    if (w.sizeIncrement.height > 0)
        height = std::floor(height / w.sizeIncrement.height) * w.sizeIncrement.height;
    if (w.maxSize) {
        width = std::min(width, w.maxSize->width);
        height = std::min(height, w.maxSize->height);
    }
    auto d = displayForPoint(w.frame.origin);
    if (!d)
        d = displayForRect(w.frame);
    if (d) {
        const Rect visible = s.displays[*d].visibleFrame();
        width = std::min(width, visible.width());
        height = std::min(height, visible.height());
    }
    width = std::max({width, w.minSize.width, 1.0});
    height = std::max({height, w.minSize.height, 1.0});
    w.frame.size = Size(width, height);
}

void Impl::applyPending(SimWindow& w)
{
    auto writes = std::move(w.pending);
    w.pending.clear();
    for (const auto& write : writes) {
        if (write.kind == SimWrite::Kind::position)
            w.frame.origin = Point(write.a, write.b);
        else
            applySize(w, Size(write.a, write.b));
    }
}

void Impl::deferApply(const SimWindow& w)
{
    if (!scheduler || w.deferSeconds <= 0)
        return;
    std::erase_if(deferred, [](const Handle& h) { return !h.pending(); });
    deferred.push_back(scheduler->after(Seconds(w.deferSeconds), [weak = weak_from_this(), n = w.number] {
        if (auto impl = weak.lock()) {
            auto guard = impl->lock();
            if (SimWindow* win = impl->findWindow(n))
                impl->applyPending(*win);
        }
    }));
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

void Impl::notifyMouse(const MouseEvent& event)
{
    std::vector<std::uint64_t> ids;
    {
        auto guard = lock();
        for (const auto& [id, m] : mouseMonitors)
            if (m.first & maskOf(event.type))
                ids.push_back(id);
    }
    for (auto id : ids) {
        std::function<void(const MouseEvent&)> f;
        {
            auto guard = lock();
            auto it = mouseMonitors.find(id);
            if (it == mouseMonitors.end())
                continue;
            f = it->second.second;
        }
        f(event);
    }
}

bool Impl::sendToTap(const TapEvent& event)
{
    std::function<bool(const TapEvent&)> callback;
    {
        auto guard = lock();
        if (!tapRunning || !tapEnabled || !tap)
            return false;
        callback = tap;
    }
    return callback(event);
}

// ---------------------------------------------------------------- element

namespace {

class SimElement : public Element {
public:
    SimElement(std::weak_ptr<Impl> impl, WindowID number, std::int32_t pid)
        : impl_(std::move(impl)), number_(number), pid_(pid)
    {
    }

    std::int32_t pid() const override { return pid_; }
    std::optional<WindowID> windowNumber() const override
    {
        return read<WindowID>([](const SimWindow& w) -> std::optional<WindowID> {
            return w.numberReadable ? std::optional(w.number) : std::nullopt;
        });
    }
    std::optional<std::string> subrole() const override
    {
        return read<std::string>([](const SimWindow& w) { return w.subrole; });
    }
    std::optional<std::string> title() const override
    {
        return read<std::string>([](const SimWindow& w) { return std::optional(w.title); });
    }
    std::optional<std::string> document() const override
    {
        return read<std::string>([](const SimWindow& w) { return w.document; });
    }
    std::optional<bool> minimized() const override
    {
        return read<bool>([](const SimWindow& w) { return std::optional(w.minimized); });
    }
    std::optional<bool> fullScreen() const override
    {
        return read<bool>([](const SimWindow& w) { return std::optional(w.fullScreen); });
    }
    std::optional<Point> position() const override
    {
        return read<Point>([](const SimWindow& w) { return std::optional(w.frame.origin); });
    }
    std::optional<Size> size() const override
    {
        return read<Size>([](const SimWindow& w) { return std::optional(w.frame.size); });
    }
    std::optional<bool> sizeSettable() const override
    {
        return read<bool>([](const SimWindow& w) { return std::optional(w.sizeSettable && !w.fullScreen); });
    }

    bool setPosition(Point p) override
    {
        return write([&](Impl& impl, SimWindow& w) { return impl.writePosition(w, p); });
    }
    bool setSize(Size size) override
    {
        return write([&](Impl& impl, SimWindow& w) { return impl.writeSize(w, size); });
    }
    bool setMinimized(bool minimized) override
    {
        return write([&](Impl& impl, SimWindow& w) {
            auto& c = impl.counters[w.number];
            ++c.writes;
            ++c.minimizedWrites;
            if (w.minimized && !minimized)
                impl.toFront(w.number);
            w.minimized = minimized;
            return true;
        });
    }
    bool raise() override
    {
        return write([](Impl& impl, SimWindow& w) {
            ++impl.counters[w.number].raises;
            impl.toFront(w.number);
            if (SimApp* a = impl.findApp(w.pid))
                a->focused = w.number;
            return true;
        });
    }

private:
    template <class T, class F>
    std::optional<T> read(F f) const
    {
        auto impl = impl_.lock();
        if (!impl)
            return std::nullopt;
        auto guard = impl->lock();
        SimWindow* w = impl->reachable(number_);
        if (!w)
            return std::nullopt;
        ++impl->counters[number_].reads;
        return f(*w);
    }

    template <class F>
    bool write(F f)
    {
        auto impl = impl_.lock();
        if (!impl)
            return false;
        auto guard = impl->lock();
        SimWindow* w = impl->reachable(number_);
        return w && f(*impl, *w);
    }

    std::weak_ptr<Impl> impl_;
    WindowID number_;
    std::int32_t pid_;
};

// ---------------------------------------------------------------- interfaces

struct Facade {
    explicit Facade(Impl& impl) : impl(impl) {}
    Impl& impl;
};

class SimAccessibility : public Accessibility, Facade {
public:
    using Facade::Facade;
    bool isTrusted() const override { return impl.lock(), impl.s.trusted; }
    bool requestTrust() override
    {
        auto guard = impl.lock();
        ++impl.s.trustRequests;
        return impl.s.trusted;
    }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override
    {
        auto guard = impl.lock();
        const SimApp* a = impl.findApp(pid);
        if (!impl.s.trusted || !a || !a->answers)
            return std::nullopt;
        std::vector<ElementRef> out;
        for (WindowID n : impl.s.stack) {
            const SimWindow& w = impl.s.windows.at(n);
            if (w.pid == pid && w.accessible && impl.onShownDesktop(w))
                out.push_back(std::make_shared<SimElement>(impl.weak_from_this(), n, pid));
        }
        return out;
    }
    ElementRef focusedWindow(std::int32_t pid) const override
    {
        auto guard = impl.lock();
        const SimApp* a = impl.findApp(pid);
        if (!impl.s.trusted || !a || !a->answers)
            return nullptr;
        const auto n = impl.focusedOf(pid);
        return n ? std::make_shared<SimElement>(impl.weak_from_this(), *n, pid) : nullptr;
    }
};

class SimWindowServer : public WindowServer, Facade {
public:
    using Facade::Facade;
    std::optional<std::vector<WindowInfo>> windowList(WindowListOption option) const override
    {
        auto guard = impl.lock();
        std::vector<WindowInfo> out;
        for (WindowID n : impl.ordered()) {
            const SimWindow& w = impl.s.windows.at(n);
            const bool shown = impl.onScreen(w);
            if (option == WindowListOption::onScreenOnly && !shown)
                continue;
            const SimApp* a = impl.findApp(w.pid);
            out.push_back(WindowInfo{
                .number = n,
                .layer = w.layer,
                .ownerPid = w.pid,
                .ownerName = a ? a->name : std::nullopt,
                .bounds = w.frame,
                .onScreen = shown,
                .name = impl.s.captureAllowed ? std::optional(w.title) : std::nullopt,
                .alpha = w.alpha,
            });
        }
        return out;
    }
    std::optional<std::uint64_t> currentDesktop(std::uint32_t displayID) const override
    {
        auto guard = impl.lock();
        const auto d = impl.displayIndex(displayID);
        if (!d)
            return std::nullopt;
        return impl.s.displays[*d].currentDesktop;
    }
    WindowID showPanel(const OwnPanel& panel) override
    {
        auto guard = impl.lock();
        SimWindow w = window(panel);
        const WindowID n = impl.insertWindow(std::move(w), true);
        if (panel.below)
            impl.placeBelow(n, *panel.below);
        return n;
    }
    void updatePanel(WindowID number, const OwnPanel& panel) override
    {
        auto guard = impl.lock();
        SimWindow* w = impl.findWindow(number);
        if (!w || w->pid != impl.s.ownPid)
            return;
        SimWindow updated = window(panel);
        updated.number = number;
        *w = std::move(updated);
        if (panel.below)
            impl.placeBelow(number, *panel.below);
    }
    void removePanel(WindowID number) override
    {
        auto guard = impl.lock();
        SimWindow* w = impl.findWindow(number);
        if (!w || w->pid != impl.s.ownPid)
            return;
        impl.s.windows.erase(number);
        std::erase(impl.s.stack, number);
    }

private:
    SimWindow window(const OwnPanel& panel) const
    {
        return SimWindow{.pid = impl.s.ownPid,
                         .title = panel.name,
                         .subrole = std::nullopt,
                         .frame = panel.frame,
                         .accessible = false,
                         .allDesktops = true,
                         .layer = panel.level,
                         .alpha = panel.alpha,
                         .visible = panel.visible};
    }
};

Image solidImage(int width, int height, std::uint32_t seed)
{
    Image image{.width = width, .height = height};
    image.rgba.resize(std::size_t(width) * height * 4);
    const std::uint8_t rgba[4] = {std::uint8_t(seed * 37), std::uint8_t(seed * 91), std::uint8_t(seed * 53), 255};
    for (std::size_t i = 0; i < image.rgba.size(); ++i)
        image.rgba[i] = rgba[i % 4];
    return image;
}

class SimWorkspace : public SystemWorkspace, Facade {
public:
    using Facade::Facade;
    std::int32_t ownPid() const override { return impl.lock(), impl.s.ownPid; }
    std::vector<RunningApp> runningApps() const override
    {
        auto guard = impl.lock();
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
            if (auto n = impl.focusedOf(pid))
                impl.toFront(*n);
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
            SimApp a{.pid = impl.s.nextPid++, .bundleID = bundleID, .name = installed.name};
            impl.s.apps.push_back(a);
            return a.pid;
        }
        return std::nullopt;
    }
};

class SimDisplays : public Displays, Facade {
public:
    using Facade::Facade;
    std::vector<Screen> screens() const override
    {
        auto guard = impl.lock();
        std::vector<Screen> out;
        for (const auto& d : impl.s.displays)
            out.push_back(Screen{.id = d.id,
                                 .name = d.name,
                                 .frame = d.frame,
                                 .visibleFrame = d.visibleFrame(),
                                 .vendor = d.vendor,
                                 .model = d.model,
                                 .serial = d.serial});
        return out;
    }
    Handle onChange(std::function<void()> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::displayObservers, std::move(handler));
    }
};

class SimHotKeys : public SystemHotKeys, Facade {
public:
    using Facade::Facade;
    void setHandler(std::function<void(std::uint32_t)> handler) override
    {
        auto guard = impl.lock();
        impl.hotKeyHandler = std::move(handler);
    }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        auto guard = impl.lock();
        if (impl.s.hotKeysTaken.count({keyCode, modifiers}))
            return std::nullopt;
        for (const auto& [ref, key] : impl.hotKeys)
            if (key.keyCode == keyCode && key.modifiers == modifiers)
                return std::nullopt;
        const Ref ref = impl.nextHotKeyRef++;
        impl.hotKeys.emplace(ref, SimHotKey{keyCode, modifiers, id});
        return ref;
    }
    void unregisterHotKey(Ref ref) override
    {
        auto guard = impl.lock();
        impl.hotKeys.erase(ref);
    }
};

class SimEventTap : public EventTap, Facade {
public:
    using Facade::Facade;
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        auto guard = impl.lock();
        if (!impl.s.trusted)
            return false;
        impl.tap = std::move(callback);
        impl.tapRunning = true;
        impl.tapEnabled = true;
        return true;
    }
    void stop() override
    {
        auto guard = impl.lock();
        impl.tap = nullptr;
        impl.tapRunning = false;
    }
    bool isRunning() const override { return impl.lock(), impl.tapRunning; }
    void reenable() override
    {
        auto guard = impl.lock();
        impl.tapEnabled = true;
    }
};

class SimMouse : public Mouse, Facade {
public:
    using Facade::Facade;
    Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::mouseMonitors, std::pair(mask, std::move(handler)));
    }
    Point location() const override
    {
        auto guard = impl.lock();
        return Point(impl.s.pointer.x, impl.primaryHeight() - impl.s.pointer.y);
    }
    std::uint32_t pressedButtons() const override { return impl.lock(), impl.s.pressedButtons; }
    void warp(Point topLeft) override
    {
        auto guard = impl.lock();
        impl.s.pointer = topLeft;
    }
    std::uint64_t modifierFlags(ModifierSource source) const override
    {
        auto guard = impl.lock();
        return source == ModifierSource::combinedSession ? impl.s.sessionFlags : impl.s.hidFlags;
    }
};

class SimKeyboard : public Keyboard, Facade {
public:
    using Facade::Facade;
    std::vector<std::string> layouts() const override { return sim::layouts(); }
    std::optional<std::string> currentLayout() const override { return impl.lock(), impl.s.layout; }
    std::optional<std::string> translate(std::string_view layout, std::uint16_t keyCode) const override
    {
        return sim::translate(layout, keyCode);
    }
};

class SimMultitouch : public Multitouch, Facade {
public:
    using Facade::Facade;
    int start(std::function<void(const ContactFrame&)> onFrame) override
    {
        int count = 0;
        {
            auto guard = impl.lock();
            count = impl.s.trackpads;
        }
        std::lock_guard touch(impl.touchMutex);
        if (count <= 0) {
            impl.touchCallback = nullptr;
            return 0;
        }
        impl.touchCallback = std::move(onFrame);
        return count;
    }
    void stop() override
    {
        std::lock_guard touch(impl.touchMutex);
        impl.touchCallback = nullptr;
    }
};

class SimCapture : public WindowCapture, Facade {
public:
    using Facade::Facade;
    bool isAllowed() const override { return impl.lock(), impl.s.captureAllowed; }
    bool requestAccess() override
    {
        auto guard = impl.lock();
        if (impl.s.captureGrantedOnRequest)
            impl.s.captureAllowed = true;
        return impl.s.captureAllowed;
    }
    std::optional<std::vector<CapturableWindow>> windows() const override
    {
        auto guard = impl.lock();
        if (!impl.s.captureAllowed)
            return std::nullopt;
        std::vector<CapturableWindow> out;
        for (WindowID n : impl.ordered())
            out.push_back({n, impl.s.windows.at(n).frame.size});
        return out;
    }
    std::optional<Image> capture(WindowID number, int width, int height) const override
    {
        {
            auto guard = impl.lock();
            if (!impl.s.captureAllowed || !impl.s.windows.count(number) || width <= 0 || height <= 0)
                return std::nullopt;
        }
        return solidImage(width, height, number);
    }
};

class SimLoginItem : public LoginItem, Facade {
public:
    using Facade::Facade;
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

class SimBrowsers : public BrowserScripting, Facade {
public:
    using Facade::Facade;
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

class SimAppInfo : public AppInfo, Facade {
public:
    using Facade::Facade;
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

// ---------------------------------------------------------------- desktop

struct SimFacades {
    explicit SimFacades(Impl& impl)
        : accessibility(impl), windowServer(impl), workspace(impl), displays(impl), hotKeys(impl), eventTap(impl),
          mouse(impl), keyboard(impl), multitouch(impl), capture(impl), loginItem(impl), browsers(impl), appInfo(impl)
    {
    }
    SimAccessibility accessibility;
    SimWindowServer windowServer;
    SimWorkspace workspace;
    SimDisplays displays;
    SimHotKeys hotKeys;
    SimEventTap eventTap;
    SimMouse mouse;
    SimKeyboard keyboard;
    SimMultitouch multitouch;
    SimCapture capture;
    SimLoginItem loginItem;
    SimBrowsers browsers;
    SimAppInfo appInfo;
};

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

SimDesktop::SimDesktop() : impl_(std::make_shared<Impl>()), facades_(std::make_unique<SimFacades>(*impl_))
{
    impl_->s = defaultState();
}

SimDesktop::~SimDesktop()
{
    {
        std::lock_guard touch(impl_->touchMutex);
        impl_->touchCallback = nullptr;
    }
    auto guard = impl_->lock();
    impl_->deferred.clear();
}

Accessibility& SimDesktop::accessibility() { return facades_->accessibility; }
WindowServer& SimDesktop::windowServer() { return facades_->windowServer; }
SystemWorkspace& SimDesktop::workspace() { return facades_->workspace; }
Displays& SimDesktop::displays() { return facades_->displays; }
SystemHotKeys& SimDesktop::hotKeys() { return facades_->hotKeys; }
EventTap& SimDesktop::eventTap() { return facades_->eventTap; }
Mouse& SimDesktop::mouse() { return facades_->mouse; }
Keyboard& SimDesktop::keyboard() { return facades_->keyboard; }
Multitouch& SimDesktop::multitouch() { return facades_->multitouch; }
WindowCapture& SimDesktop::capture() { return facades_->capture; }
LoginItem& SimDesktop::loginItem() { return facades_->loginItem; }
BrowserScripting& SimDesktop::browsers() { return facades_->browsers; }
AppInfo& SimDesktop::appInfo() { return facades_->appInfo; }

Platform SimDesktop::platform(Scheduler& scheduler, Clock& clock)
{
    return Platform{.accessibility = accessibility(),
                    .windowServer = windowServer(),
                    .workspace = workspace(),
                    .displays = displays(),
                    .hotKeys = hotKeys(),
                    .eventTap = eventTap(),
                    .mouse = mouse(),
                    .keyboard = keyboard(),
                    .multitouch = multitouch(),
                    .capture = capture(),
                    .loginItem = loginItem(),
                    .browsers = browsers(),
                    .appInfo = appInfo(),
                    .scheduler = scheduler,
                    .clock = clock};
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

// ---------------------------------------------------------------- displays

std::uint32_t SimDesktop::addDisplay(SimDisplay display)
{
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        if (display.id == 0 || impl_->displayIndex(display.id)) {
            std::uint32_t id = 1;
            for (const auto& d : s.displays)
                id = std::max(id, d.id + 1);
            display.id = id;
        }
        display.name = impl_->uniqueName(display.name, display.id);
        std::erase_if(display.desktops, [&](std::uint64_t d) { return impl_->displayOfDesktop(d).has_value(); });
        if (display.desktops.empty())
            display.desktops.push_back(impl_->newDesktop());
        for (auto d : display.desktops)
            s.nextDesktop = std::max(s.nextDesktop, d + 1);
        if (std::find(display.desktops.begin(), display.desktops.end(), display.currentDesktop) ==
            display.desktops.end())
            display.currentDesktop = display.desktops.front();
        s.displays.push_back(display);
    }
    impl_->notify(&Impl::displayObservers);
    return display.id;
}

bool SimDesktop::removeDisplay(std::uint32_t id)
{
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        const auto index = impl_->displayIndex(id);
        if (!index)
            return false;
        const SimDisplay gone = s.displays[*index];
        s.displays.erase(s.displays.begin() + std::ptrdiff_t(*index));
        if (!s.displays.empty()) {
            const std::uint64_t home = s.displays.front().currentDesktop;
            for (auto& [n, w] : s.windows)
                if (std::find(gone.desktops.begin(), gone.desktops.end(), w.desktop) != gone.desktops.end())
                    w.desktop = home;
        }
    }
    impl_->notify(&Impl::displayObservers);
    return true;
}

bool SimDesktop::setDisplayFrame(std::uint32_t id, Rect frame)
{
    {
        auto guard = impl_->lock();
        const auto index = impl_->displayIndex(id);
        if (!index)
            return false;
        impl_->s.displays[*index].frame = frame;
    }
    impl_->notify(&Impl::displayObservers);
    return true;
}

bool SimDesktop::setReservations(std::uint32_t id, double menuBar, DockEdge dock, double dockSize)
{
    {
        auto guard = impl_->lock();
        const auto index = impl_->displayIndex(id);
        if (!index)
            return false;
        auto& d = impl_->s.displays[*index];
        d.menuBar = menuBar;
        d.dock = dock;
        d.dockSize = dockSize;
    }
    impl_->notify(&Impl::displayObservers);
    return true;
}

std::optional<SimDisplay> SimDesktop::display(std::uint32_t id) const
{
    auto guard = impl_->lock();
    const auto index = impl_->displayIndex(id);
    if (!index)
        return std::nullopt;
    return impl_->s.displays[*index];
}

std::vector<SimDisplay> SimDesktop::displayList() const
{
    auto guard = impl_->lock();
    return impl_->s.displays;
}

std::uint64_t SimDesktop::addDesktop(std::uint32_t displayID)
{
    auto guard = impl_->lock();
    const auto index = impl_->displayIndex(displayID);
    if (!index)
        return 0;
    const std::uint64_t desktop = impl_->newDesktop();
    impl_->s.displays[*index].desktops.push_back(desktop);
    return desktop;
}

bool SimDesktop::switchDesktop(std::uint32_t displayID, std::uint64_t desktop)
{
    {
        auto guard = impl_->lock();
        const auto index = impl_->displayIndex(displayID);
        if (!index)
            return false;
        auto& d = impl_->s.displays[*index];
        if (std::find(d.desktops.begin(), d.desktops.end(), desktop) == d.desktops.end())
            return false;
        if (d.currentDesktop == desktop)
            return true;
        d.currentDesktop = desktop;
    }
    impl_->notify(&Impl::desktopObservers);
    return true;
}

// ---------------------------------------------------------------- apps

std::int32_t SimDesktop::addApp(SimApp app)
{
    auto guard = impl_->lock();
    auto& s = impl_->s;
    if (app.pid == 0 || impl_->findApp(app.pid))
        app.pid = s.nextPid;
    s.nextPid = std::max(s.nextPid, app.pid + 1);
    s.apps.push_back(app);
    return app.pid;
}

bool SimDesktop::removeApp(std::int32_t pid)
{
    std::optional<RunningApp> activated;
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        if (!impl_->findApp(pid) || pid == s.ownPid)
            return false;
        std::erase_if(s.apps, [&](const SimApp& a) { return a.pid == pid; });
        std::erase_if(s.stack, [&](WindowID n) { return s.windows.at(n).pid == pid; });
        std::erase_if(s.windows, [&](const auto& item) { return item.second.pid == pid; });
        if (s.frontmost == pid) {
            s.frontmost = impl_->nextFrontmost(pid);
            if (s.frontmost)
                activated = impl_->running(*impl_->findApp(*s.frontmost));
        }
    }
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

// ---------------------------------------------------------------- windows

WindowID SimDesktop::addWindow(SimWindow window)
{
    auto guard = impl_->lock();
    const std::int32_t pid = window.pid;
    const bool accessible = window.accessible;
    const WindowID n = impl_->insertWindow(std::move(window), true);
    if (SimApp* a = impl_->findApp(pid); a && accessible)
        a->focused = n;
    return n;
}

bool SimDesktop::closeWindow(WindowID number)
{
    auto guard = impl_->lock();
    auto& s = impl_->s;
    if (!s.windows.erase(number))
        return false;
    std::erase(s.stack, number);
    for (auto& a : s.apps)
        if (a.focused == number)
            a.focused.reset();
    return true;
}

std::optional<SimWindow> SimDesktop::window(WindowID number) const
{
    auto guard = impl_->lock();
    auto it = impl_->s.windows.find(number);
    if (it == impl_->s.windows.end())
        return std::nullopt;
    return it->second;
}

bool SimDesktop::modifyWindow(WindowID number, const std::function<void(SimWindow&)>& change)
{
    auto guard = impl_->lock();
    SimWindow* w = impl_->findWindow(number);
    if (!w)
        return false;
    change(*w);
    w->number = number;
    return true;
}

bool SimDesktop::moveToDesktop(WindowID number, std::uint64_t desktop)
{
    auto guard = impl_->lock();
    SimWindow* w = impl_->findWindow(number);
    if (!w || !impl_->displayOfDesktop(desktop))
        return false;
    w->desktop = desktop;
    return true;
}

bool SimDesktop::focusWindow(WindowID number)
{
    std::int32_t pid = 0;
    {
        auto guard = impl_->lock();
        SimWindow* w = impl_->findWindow(number);
        if (!w)
            return false;
        pid = w->pid;
        if (SimApp* a = impl_->findApp(pid))
            a->focused = number;
        impl_->toFront(number);
    }
    return facades_->workspace.activate(pid);
}

std::vector<WindowID> SimDesktop::stacking() const
{
    auto guard = impl_->lock();
    return impl_->ordered();
}

void SimDesktop::settle()
{
    auto guard = impl_->lock();
    for (auto& [n, w] : impl_->s.windows)
        impl_->applyPending(w);
}

SimCounters SimDesktop::counters(WindowID number) const
{
    auto guard = impl_->lock();
    auto it = impl_->counters.find(number);
    return it == impl_->counters.end() ? SimCounters{} : it->second;
}

void SimDesktop::resetCounters()
{
    auto guard = impl_->lock();
    impl_->counters.clear();
}

// ---------------------------------------------------------------- settings

void SimDesktop::setTrusted(bool trusted)
{
    auto guard = impl_->lock();
    impl_->s.trusted = trusted;
}

void SimDesktop::setCaptureAllowed(bool allowed)
{
    auto guard = impl_->lock();
    impl_->s.captureAllowed = allowed;
}

void SimDesktop::setCaptureGrantedOnRequest(bool granted)
{
    auto guard = impl_->lock();
    impl_->s.captureGrantedOnRequest = granted;
}

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

std::vector<SimRequest> SimDesktop::requests() const
{
    auto guard = impl_->lock();
    return impl_->s.requests;
}

int SimDesktop::trustRequests() const
{
    auto guard = impl_->lock();
    return impl_->s.trustRequests;
}

// ---------------------------------------------------------------- input

bool SimDesktop::pressKey(std::uint16_t keyCode, std::uint64_t flags, bool autorepeat)
{
    TapEvent event{.type = TapEventType::keyDown, .flags = flags, .keyCode = keyCode, .autorepeat = autorepeat};
    {
        auto guard = impl_->lock();
        event.charactersIgnoringModifiers = sim::eventCharacters(impl_->s.layout.value_or("us"), keyCode);
    }
    if (impl_->sendToTap(event))
        return true;
    std::function<void(std::uint32_t)> handler;
    std::optional<std::uint32_t> id;
    {
        auto guard = impl_->lock();
        const std::uint32_t modifiers = hotKeyModifiers(flags);
        for (const auto& [ref, key] : impl_->hotKeys)
            if (key.keyCode == keyCode && key.modifiers == modifiers)
                id = key.id;
        handler = impl_->hotKeyHandler;
    }
    if (id && handler && !autorepeat)
        handler(*id);
    return false;
}

bool SimDesktop::releaseKey(std::uint16_t keyCode, std::uint64_t flags)
{
    TapEvent event{.type = TapEventType::keyUp, .flags = flags, .keyCode = keyCode};
    {
        auto guard = impl_->lock();
        event.charactersIgnoringModifiers = sim::eventCharacters(impl_->s.layout.value_or("us"), keyCode);
    }
    return impl_->sendToTap(event);
}

bool SimDesktop::changeFlags(std::uint64_t flags)
{
    {
        auto guard = impl_->lock();
        impl_->s.sessionFlags = flags;
        impl_->s.hidFlags = flags;
    }
    return impl_->sendToTap(TapEvent{.type = TapEventType::flagsChanged, .flags = flags});
}

bool SimDesktop::scroll(double deltaX, double deltaY, bool continuous, std::uint64_t flags)
{
    return impl_->sendToTap(TapEvent{.type = TapEventType::scrollWheel,
                                     .flags = flags,
                                     .scrollDeltaX = deltaX,
                                     .scrollDeltaY = deltaY,
                                     .continuous = continuous});
}

bool SimDesktop::pressButton(int button)
{
    if (button < 0 || button > 31)
        return false;
    Point location;
    std::uint64_t flags = 0;
    {
        auto guard = impl_->lock();
        impl_->s.pressedButtons |= 1u << button;
        location = Point(impl_->s.pointer.x, impl_->primaryHeight() - impl_->s.pointer.y);
        flags = impl_->s.sessionFlags;
    }
    if (button == 0 || button == 1) {
        impl_->notifyMouse({button == 0 ? MouseEventType::leftDown : MouseEventType::rightDown, location});
        return false;
    }
    return impl_->sendToTap(TapEvent{.type = TapEventType::otherMouseDown, .flags = flags, .buttonNumber = button});
}

bool SimDesktop::releaseButton(int button)
{
    if (button < 0 || button > 31)
        return false;
    Point location;
    std::uint64_t flags = 0;
    {
        auto guard = impl_->lock();
        impl_->s.pressedButtons &= ~(1u << button);
        location = Point(impl_->s.pointer.x, impl_->primaryHeight() - impl_->s.pointer.y);
        flags = impl_->s.sessionFlags;
    }
    if (button == 0 || button == 1) {
        impl_->notifyMouse({button == 0 ? MouseEventType::leftUp : MouseEventType::rightUp, location});
        return false;
    }
    return impl_->sendToTap(TapEvent{.type = TapEventType::otherMouseUp, .flags = flags, .buttonNumber = button});
}

void SimDesktop::movePointer(Point topLeft)
{
    MouseEvent event;
    {
        auto guard = impl_->lock();
        impl_->s.pointer = topLeft;
        event.type = (impl_->s.pressedButtons & MouseButtonMask::left) ? MouseEventType::leftDragged
                                                                       : MouseEventType::moved;
        event.location = Point(topLeft.x, impl_->primaryHeight() - topLeft.y);
    }
    impl_->notifyMouse(event);
}

Point SimDesktop::pointer() const
{
    auto guard = impl_->lock();
    return impl_->s.pointer;
}

void SimDesktop::setModifierState(ModifierSource source, std::uint64_t flags)
{
    auto guard = impl_->lock();
    (source == ModifierSource::combinedSession ? impl_->s.sessionFlags : impl_->s.hidFlags) = flags;
}

void SimDesktop::disableTap(TapEventType why)
{
    std::function<bool(const TapEvent&)> callback;
    {
        auto guard = impl_->lock();
        if (!impl_->tapRunning)
            return;
        impl_->tapEnabled = false;
        callback = impl_->tap;
    }
    if (callback)
        callback(TapEvent{.type = why});
}

bool SimDesktop::tapEnabled() const
{
    auto guard = impl_->lock();
    return impl_->tapRunning && impl_->tapEnabled;
}

void SimDesktop::setCurrentLayout(std::optional<std::string> layout)
{
    auto guard = impl_->lock();
    impl_->s.layout = std::move(layout);
}

void SimDesktop::takeHotKey(std::uint32_t keyCode, std::uint32_t modifiers)
{
    auto guard = impl_->lock();
    impl_->s.hotKeysTaken.insert({keyCode, modifiers});
}

std::vector<SimHotKey> SimDesktop::registeredHotKeys() const
{
    auto guard = impl_->lock();
    std::vector<SimHotKey> out;
    for (const auto& [ref, key] : impl_->hotKeys)
        out.push_back(key);
    return out;
}

void SimDesktop::setTrackpads(int count)
{
    auto guard = impl_->lock();
    impl_->s.trackpads = count;
}

bool SimDesktop::multitouchRunning() const
{
    std::lock_guard touch(impl_->touchMutex);
    return static_cast<bool>(impl_->touchCallback);
}

bool SimDesktop::deliverTouches(const ContactFrame& frame)
{
    std::lock_guard touch(impl_->touchMutex);
    if (!impl_->touchCallback)
        return false;
    impl_->touchCallback(frame);
    return true;
}

void SimDesktop::wake() { impl_->notify(&Impl::wakeObservers); }

} // namespace kavelo
