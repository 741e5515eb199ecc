// The window list, the shown desktops and the program's own panels on the
// simulated desktop.

#include "app/platform/sim/sim_impl.h"

namespace kavelo {

using Impl = SimDesktop::Impl;

namespace {

class SimWindowServer : public WindowServer, SimFacade {
public:
    using SimFacade::SimFacade;
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
        if (n != 0 && panel.below)
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

    bool blendsPanels() const override { return impl.lock(), impl.s.blendsPanels; }
    Handle onWindowClosed(std::function<void(WindowID)> handler) override
    {
        return impl.observe(&Impl::closeObservers, std::move(handler));
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

} // namespace

void SimDesktop::setBlendsPanels(bool on)
{
    auto guard = impl_->lock();
    impl_->s.blendsPanels = on;
}

std::unique_ptr<WindowServer> makeSimWindowServer(Impl& impl) { return std::make_unique<SimWindowServer>(impl); }

} // namespace kavelo
