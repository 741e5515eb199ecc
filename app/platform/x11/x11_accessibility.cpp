// Window elements and the accessibility interface of the X11 backend: reads
// and writes of client windows through the window manager.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

constexpr unsigned subroleFields = X11Fields::type | X11Fields::state;

std::string subroleOf(const Impl& impl, const ClientProps& p)
{
    const auto& e = impl.ewmh;
    if (p.hasType(e._NET_WM_WINDOW_TYPE_DIALOG) || p.hasState(e._NET_WM_STATE_MODAL) ||
        (p.types.empty() && p.transientFor != XCB_NONE))
        return dialogSubrole;
    if (p.types.empty() || p.hasType(e._NET_WM_WINDOW_TYPE_NORMAL))
        return standardWindowSubrole;
    if (p.hasType(e._NET_WM_WINDOW_TYPE_UTILITY) || p.hasType(e._NET_WM_WINDOW_TYPE_TOOLBAR))
        return "AXFloatingWindow";
    return "AXUnknown";
}

// Iconified by the user, not by hiding its application.
bool minimizedOf(const Impl& impl, const ClientProps& p, std::int32_t pid, xcb_window_t window)
{
    return p.hasState(impl.ewmh._NET_WM_STATE_HIDDEN) && !impl.hiddenByApp(pid, window);
}

class X11Element : public Element {
public:
    X11Element(std::weak_ptr<Impl> impl, xcb_window_t window, KnownWindow known)
        : impl_(std::move(impl)), window_(window), number_(known.number), pid_(known.pid)
    {
    }

    std::int32_t pid() const override { return pid_; }
    std::optional<WindowID> windowNumber() const override
    {
        return read<WindowID>(0, [&](Impl&, const ClientProps&) { return std::optional(number_); });
    }
    std::optional<std::string> subrole() const override
    {
        return read<std::string>(subroleFields, [](Impl& impl, const ClientProps& p) { return subroleOf(impl, p); });
    }
    std::optional<std::string> title() const override
    {
        return read<std::string>(X11Fields::title,
                                 [](Impl&, const ClientProps& p) { return std::optional(p.title.value_or("")); });
    }
    // X windows carry no document address.
    std::optional<std::string> document() const override { return std::nullopt; }
    std::optional<bool> minimized() const override
    {
        return read<bool>(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            return std::optional(minimizedOf(impl, p, pid_, window_));
        });
    }
    std::optional<bool> fullScreen() const override
    {
        return read<bool>(X11Fields::state, [](Impl& impl, const ClientProps& p) {
            return std::optional(p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN));
        });
    }
    std::optional<Point> position() const override
    {
        return read<Point>(X11Fields::geometry,
                           [](Impl& impl, const ClientProps& p) { return std::optional(impl.frameOf(p).origin); });
    }
    std::optional<Size> size() const override
    {
        return read<Size>(X11Fields::geometry,
                          [](Impl& impl, const ClientProps& p) { return std::optional(impl.frameOf(p).size); });
    }
    std::optional<bool> sizeSettable() const override
    {
        return read<bool>(X11Fields::state | X11Fields::hints,
                          [](Impl& impl, const ClientProps& p) { return std::optional(impl.sizeSettable(p)); });
    }

    std::optional<Size> acceptedSize(Size wanted) const override
    {
        if (!std::isfinite(wanted.width) || !std::isfinite(wanted.height))
            return std::nullopt;
        return read<Size>(X11Fields::geometry | X11Fields::hints, [&](Impl& impl, const ClientProps& p) {
            // The client size the write would ask for, seen as the frame.
            const Size client = impl.clientSize(impl.bounds(), p, wanted);
            const FrameExtents& e = p.extents;
            const FrameExtents& m = p.margins;
            return std::optional(Size(client.width + e.left + e.right - m.left - m.right,
                                      client.height + e.top + e.bottom - m.top - m.bottom));
        });
    }

    bool setPosition(Point topLeft) override
    {
        if (!std::isfinite(topLeft.x) || !std::isfinite(topLeft.y))
            return false;
        return writeStep(WriteStep::position, [&](const Rect& now) { return Rect(topLeft, now.size); });
    }
    bool setSize(Size size) override
    {
        if (!std::isfinite(size.width) || !std::isfinite(size.height))
            return false;
        return writeStep(WriteStep::size, [&](const Rect& now) { return Rect(now.origin, size); });
    }
    bool setMinimized(bool minimized) override
    {
        return write(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            if (auto it = impl.hiddenBy.find(pid_); it != impl.hiddenBy.end())
                it->second.erase(window_);
            const bool iconic = p.hasState(impl.ewmh._NET_WM_STATE_HIDDEN);
            if (minimized && !iconic)
                impl.iconify(window_);
            else if (!minimized && iconic)
                impl.deiconify(window_);
            return true;
        });
    }
    bool raise() override
    {
        return write(0, [&](Impl& impl, const ClientProps&) {
            impl.restack(window_);
            impl.lastFocused[pid_] = window_;
            return true;
        });
    }

    xcb_window_t window() const { return window_; }
    WindowID number() const { return number_; }
    bool ownedBy(const Impl& owner) const { return impl_.lock().get() == &owner; }

    // This window as a batch write target; null when its backend is gone
    // or it belongs to another one.
    std::optional<FrameTarget> target(const Impl& owner, const Rect& frame, bool sizeToo) const
    {
        if (impl_.lock().get() != &owner)
            return std::nullopt;
        return FrameTarget{.window = window_, .number = number_, .frame = frame, .sizeToo = sizeToo};
    }

private:
    // `frame` makes the whole frame in points from the present one: a
    // part's pixels depend on the monitor the whole window is on.
    template <class F>
    bool writeStep(WriteStep step, F frame)
    {
        auto impl = impl_.lock();
        if (!impl)
            return false;
        impl->settleWrites();
        const ClientProps now = impl->read(window_, X11Fields::geometry);
        if (!now.alive)
            return false;
        const FrameTarget one{.window = window_, .number = number_,
                              .frame = impl->map.toDevice(frame(impl->frameOf(now)))};
        std::vector<bool> ok{true}, gone{false};
        impl->sendStep(std::span(&one, 1), step, ok, gone);
        return ok.front();
    }

    bool alive(Impl& impl) const
    {
        impl.drainQueued();
        const auto k = impl.knownFor(window_);
        return k && k->number == number_;
    }

    template <class T, class F>
    std::optional<T> read(unsigned fields, F f) const
    {
        auto impl = impl_.lock();
        if (!impl)
            return std::nullopt;
        impl->settleWrites();
        const ClientProps p = impl->read(window_, fields);
        if (!p.alive || !alive(*impl))
            return std::nullopt;
        return f(*impl, p);
    }

    template <class F>
    bool write(unsigned fields, F f)
    {
        auto impl = impl_.lock();
        if (!impl)
            return false;
        const ClientProps p = impl->read(window_, fields);
        if (!p.alive || !alive(*impl))
            return false;
        return f(*impl, p);
    }

    std::weak_ptr<Impl> impl_;
    xcb_window_t window_;
    WindowID number_;
    std::int32_t pid_;
};

ElementRef elementFor(Impl& impl, xcb_window_t window)
{
    return std::make_shared<X11Element>(impl.weak_from_this(), window, impl.adopt(window));
}

class X11Accessibility : public Accessibility, X11Facade {
public:
    using X11Facade::X11Facade;
    // The server answers every client; there is no trust to grant.
    bool isTrusted() const override { return true; }
    bool needsGrant() const override { return false; }
    bool requestTrust() override { return true; }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override
    {
        return windowsOf(std::span(&pid, 1)).front();
    }
    std::vector<std::optional<std::vector<ElementRef>>> windowsOf(std::span<const std::int32_t> pids) const override
    {
        impl.settleWrites();
        const std::set<std::int32_t> wanted(pids.begin(), pids.end());
        std::vector<xcb_window_t> listed;
        std::vector<std::int32_t> owners;
        for (xcb_window_t w : impl.stacking())
            if (auto k = impl.knownFor(w); k && wanted.count(k->pid)) {
                listed.push_back(w);
                owners.push_back(k->pid);
            }
        const auto props = impl.read(listed, X11Fields::desktop);
        const auto current = impl.currentDesktopIndex();
        // Every application with a window has a list, empty when none shows.
        std::map<std::int32_t, std::vector<ElementRef>> shown;
        for (std::size_t i = 0; i < listed.size(); ++i) {
            auto& elements = shown[owners[i]];
            if (props[i].alive && impl.onShownDesktop(props[i], current))
                elements.push_back(elementFor(impl, listed[i]));
        }
        // An application without windows answers only while it runs.
        std::optional<std::set<std::int32_t>> running;
        std::vector<std::optional<std::vector<ElementRef>>> out;
        out.reserve(pids.size());
        for (std::int32_t pid : pids) {
            if (auto it = shown.find(pid); it != shown.end()) {
                out.push_back(it->second);
                continue;
            }
            if (!running) {
                running.emplace();
                for (const auto& app : impl.runningApps())
                    running->insert(app.pid);
            }
            out.push_back(running->count(pid) ? std::optional(std::vector<ElementRef>{}) : std::nullopt);
        }
        return out;
    }
    std::vector<std::optional<Rect>> frames(std::span<const ElementRef> elements) const override
    {
        return readOurs<std::optional<Rect>>(
            elements, X11Fields::geometry,
            [this](const ElementRef& e) { return Accessibility::frames(std::span(&e, 1)).front(); },
            [this](const X11Element&, const ClientProps& p, xcb_window_t) { return impl.frameOf(p); });
    }
    std::vector<ElementFacts> facts(std::span<const ElementRef> elements) const override
    {
        return readOurs<ElementFacts>(
            elements, X11Fields::geometry | X11Fields::title | subroleFields,
            [this](const ElementRef& e) { return Accessibility::facts(std::span(&e, 1)).front(); },
            [this](const X11Element& element, const ClientProps& p, xcb_window_t window) {
                return ElementFacts{.number = element.number(),
                                    .subrole = subroleOf(impl, p),
                                    .title = p.title.value_or(""),
                                    .minimized = minimizedOf(impl, p, element.pid(), window),
                                    .frame = impl.frameOf(p),
                                    .fullScreen = p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN)};
            });
    }
    ElementRef focusedWindow(std::int32_t pid) const override
    {
        impl.settleWrites();
        const auto w = impl.focusedOf(pid);
        return w ? elementFor(impl, *w) : nullptr;
    }
    std::vector<bool> setFrames(std::span<const FrameWrite> writes) override { return write(writes, nullptr); }
    bool glide(std::span<const FrameWrite> writes) override
    {
        std::vector<FrameTarget> targets;
        for (const FrameWrite& w : writes) {
            const auto* element = dynamic_cast<const X11Element*>(w.element.get());
            if (!element || !w.frame.isFinite())
                continue;
            if (auto t = element->target(impl, impl.map.toDevice(w.frame), false))
                targets.push_back(*t);
        }
        return targets.empty() || impl.glideFrames(targets);
    }
    std::vector<bool> setFrames(std::span<const FrameWrite> writes, std::vector<std::optional<Rect>>& landed) override
    {
        return write(writes, &landed);
    }

private:
    // Our elements' windows read in one batch, each answered by `answer`;
    // another backend's elements by `other`. A window that closed, or whose
    // number went to another, answers nothing.
    template <class Out, class Other, class Answer>
    std::vector<Out> readOurs(std::span<const ElementRef> elements, unsigned fields, const Other& other,
                              const Answer& answer) const
    {
        std::vector<Out> out(elements.size());
        std::vector<std::pair<std::size_t, const X11Element*>> ours;
        for (std::size_t i = 0; i < elements.size(); ++i) {
            const auto* element = dynamic_cast<const X11Element*>(elements[i].get());
            if (element && element->ownedBy(impl))
                ours.emplace_back(i, element);
            else if (elements[i])
                out[i] = other(elements[i]);
        }
        if (ours.empty())
            return out;
        std::vector<xcb_window_t> windows;
        for (const auto& [i, element] : ours)
            windows.push_back(element->window());
        impl.settleWrites();
        const auto props = impl.read(windows, fields);
        // The replies have queued every destruction sent before them.
        impl.drainQueued();
        for (std::size_t k = 0; k < ours.size(); ++k) {
            const auto& [i, element] = ours[k];
            const auto known = impl.knownFor(windows[k]);
            if (props[k].alive && known && known->number == element->number())
                out[i] = answer(*element, props[k], windows[k]);
        }
        return out;
    }
    std::vector<bool> write(std::span<const FrameWrite> writes, std::vector<std::optional<Rect>>* landed)
    {
        std::vector<FrameTarget> targets;
        std::vector<std::size_t> at;
        for (std::size_t i = 0; i < writes.size(); ++i) {
            const auto* element = dynamic_cast<const X11Element*>(writes[i].element.get());
            if (!element || !writes[i].frame.isFinite())
                continue;
            if (auto t = element->target(impl, impl.map.toDevice(writes[i].frame),
                                         writes[i].parts == FrameWrite::Parts::frame)) {
                targets.push_back(*t);
                at.push_back(i);
            }
        }
        std::vector<bool> done(writes.size(), false);
        std::vector<std::optional<Rect>> read;
        const auto ok = impl.writeFrames(targets, landed ? &read : nullptr);
        for (std::size_t k = 0; k < at.size(); ++k)
            done[at[k]] = ok[k];
        if (!landed)
            return done;
        // The writes that were not ours are read as `frames` reads them.
        *landed = landedOf(*this, writes, at, read);
        return done;
    }
};

} // namespace

std::unique_ptr<Accessibility> makeX11Accessibility(Impl& impl) { return std::make_unique<X11Accessibility>(impl); }

} // namespace kavelo
