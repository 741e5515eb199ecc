// The displays of the simulated desktop: their records, the geometry rules
// the other facilities share, the interface and the driving calls.

#include "app/platform/sim/sim_impl.h"

#include <algorithm>

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

std::uint64_t Impl::newDesktop() { return hasSuccessor(s.nextDesktop) ? s.nextDesktop++ : 0; }

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

// ---------------------------------------------------------------- interface

namespace {

class SimDisplays : public Displays, SimFacade {
public:
    using SimFacade::SimFacade;
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
                                 .serial = d.serial,
                                 .scale = d.scale});
        return out;
    }
    Handle onChange(std::function<void()> handler) override
    {
        auto guard = impl.lock();
        return impl.observe(&Impl::displayObservers, std::move(handler));
    }
};

} // namespace

std::unique_ptr<Displays> makeSimDisplays(Impl& impl) { return std::make_unique<SimDisplays>(impl); }

// ---------------------------------------------------------------- displays

std::uint32_t SimDesktop::addDisplay(SimDisplay display)
{
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        if (display.id == 0 || impl_->displayIndex(display.id)) {
            std::uint32_t id = 1;
            for (const auto& d : s.displays)
                id = std::max(id, hasSuccessor(d.id) ? d.id + 1 : d.id);
            display.id = id;
        }
        if (!hasSuccessor(display.id) || impl_->displayIndex(display.id))
            return 0;
        display.name = impl_->uniqueName(display.name, display.id);
        std::erase_if(display.desktops, [&](std::uint64_t d) {
            return impl_->displayOfDesktop(d).has_value() || !hasSuccessor(d);
        });
        if (display.desktops.empty()) {
            const std::uint64_t desktop = impl_->newDesktop();
            if (desktop == 0)
                return 0;
            display.desktops.push_back(desktop);
        }
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
    if (desktop == 0)
        return 0;
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

} // namespace kavelo
