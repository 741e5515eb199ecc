// The windows of the simulated desktop: stacking, desktops, the writes an
// element makes with the size rules they follow, and the driving calls.

#include "app/platform/sim/sim_impl.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

using Impl = SimDesktop::Impl;

// ---------------------------------------------------------------- rules

SimWindow* Impl::findWindow(WindowID number)
{
    auto it = s.windows.find(number);
    return it == s.windows.end() ? nullptr : &it->second;
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
    if (!hasSuccessor(w.number) || s.windows.count(w.number))
        return 0;
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
void Impl::applySize(SimWindow& w, Size size) { w.frame.size = takenSize(w, size); }

Size Impl::takenSize(const SimWindow& w, Size size) const
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
    return Size(width, height);
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

// ---------------------------------------------------------------- windows

WindowID SimDesktop::addWindow(SimWindow window)
{
    auto guard = impl_->lock();
    const std::int32_t pid = window.pid;
    const bool accessible = window.accessible;
    const WindowID n = impl_->insertWindow(std::move(window), true);
    if (SimApp* a = impl_->findApp(pid); a && accessible && n != 0)
        a->focused = n;
    return n;
}

bool SimDesktop::closeWindow(WindowID number)
{
    {
        auto guard = impl_->lock();
        auto& s = impl_->s;
        if (!s.windows.erase(number))
            return false;
        std::erase(s.stack, number);
        for (auto& a : s.apps)
            if (a.focused == number)
                a.focused.reset();
    }
    impl_->notifyClosed(number);
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
    return interfaces_->workspace->activate(pid);
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

} // namespace kavelo
