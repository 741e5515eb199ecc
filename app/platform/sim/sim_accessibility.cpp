// Window elements and the accessibility interface of the simulated desktop,
// with trust.

#include "app/platform/sim/sim_impl.h"

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- rules

SimWindow* Impl::reachable(WindowID number)
{
    SimWindow* w = findWindow(number);
    if (!w || !w->accessible || !s.trusted)
        return nullptr;
    const SimApp* a = findApp(w->pid);
    return a && a->answers ? w : nullptr;
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
    std::optional<Size> acceptedSize(Size wanted) const override
    {
        auto impl = impl_.lock();
        return read<Size>([&](const SimWindow& w) { return std::optional(impl->takenSize(w, wanted)); });
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

class SimAccessibility : public Accessibility, SimFacade {
public:
    using SimFacade::SimFacade;
    bool isTrusted() const override { return impl.lock(), impl.s.trusted; }
    bool needsGrant() const override { return impl.lock(), impl.s.asksPermissions; }
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

} // namespace

std::unique_ptr<Accessibility> makeSimAccessibility(Impl& impl) { return std::make_unique<SimAccessibility>(impl); }

// ---------------------------------------------------------------- settings

void SimDesktop::setTrusted(bool trusted)
{
    auto guard = impl_->lock();
    impl_->s.trusted = trusted;
}

void SimDesktop::setAsksPermissions(bool asks)
{
    auto guard = impl_->lock();
    impl_->s.asksPermissions = asks;
}

int SimDesktop::trustRequests() const
{
    auto guard = impl_->lock();
    return impl_->s.trustRequests;
}

} // namespace kavelo
