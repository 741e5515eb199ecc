// Window elements and the accessibility interface of the X11 backend: reads
// and writes of client windows through the window manager.

#include "app/platform/x11/x11_impl.h"

#include <algorithm>
#include <cmath>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

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
        return read<std::string>(X11Fields::type | X11Fields::state,
                                 [](Impl& impl, const ClientProps& p) -> std::optional<std::string> {
                                     const auto& e = impl.ewmh;
                                     if (p.hasType(e._NET_WM_WINDOW_TYPE_DIALOG) ||
                                         p.hasState(e._NET_WM_STATE_MODAL) ||
                                         (p.types.empty() && p.transientFor != XCB_NONE))
                                         return std::string(dialogSubrole);
                                     if (p.types.empty() || p.hasType(e._NET_WM_WINDOW_TYPE_NORMAL))
                                         return std::string(standardWindowSubrole);
                                     if (p.hasType(e._NET_WM_WINDOW_TYPE_UTILITY) ||
                                         p.hasType(e._NET_WM_WINDOW_TYPE_TOOLBAR))
                                         return std::string("AXFloatingWindow");
                                     return std::string("AXUnknown");
                                 });
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
            return std::optional(p.hasState(impl.ewmh._NET_WM_STATE_HIDDEN) && !impl.hiddenByApp(pid_, window_));
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
                          [](Impl& impl, const ClientProps& p) { return std::optional(settable(impl, p)); });
    }

    bool setPosition(Point topLeft) override
    {
        if (!std::isfinite(topLeft.x) || !std::isfinite(topLeft.y))
            return false;
        return write(X11Fields::state, [&](Impl& impl, const ClientProps& p) {
            if (p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN))
                return false;
            unmaximize(impl, p);
            impl.moveResize(window_, topLeft, std::nullopt);
            return true;
        });
    }
    bool setSize(Size size) override
    {
        if (!std::isfinite(size.width) || !std::isfinite(size.height))
            return false;
        return write(X11Fields::state | X11Fields::hints | X11Fields::geometry, [&](Impl& impl, const ClientProps& p) {
            if (!settable(impl, p))
                return false;
            unmaximize(impl, p);
            impl.moveResize(window_, std::nullopt, clientSize(impl, p, size));
            return true;
        });
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

private:
    static bool settable(Impl& impl, const ClientProps& p)
    {
        if (p.hasState(impl.ewmh._NET_WM_STATE_FULLSCREEN))
            return false;
        const auto& h = p.hints;
        if (p.hasHints && (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) && (h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) &&
            h.min_width == h.max_width && h.min_height == h.max_height && h.max_width > 0)
            return false;
        if (p.hasAllowedActions &&
            std::find(p.allowedActions.begin(), p.allowedActions.end(), impl.ewmh._NET_WM_ACTION_RESIZE) ==
                p.allowedActions.end())
            return false;
        return true;
    }

    // A maximized window keeps its size against moves; the frame written
    // is the one the user asked for.
    void unmaximize(Impl& impl, const ClientProps& p) const
    {
        if (p.hasState(impl.ewmh._NET_WM_STATE_MAXIMIZED_VERT) || p.hasState(impl.ewmh._NET_WM_STATE_MAXIMIZED_HORZ))
            impl.changeState(window_, false, impl.ewmh._NET_WM_STATE_MAXIMIZED_VERT,
                             impl.ewmh._NET_WM_STATE_MAXIMIZED_HORZ);
    }

    // The client size that gives a frame of `wanted`, as the window takes
    // it: within the visible frame of its display, snapped down to its size
    // increments, within its maximum and never below its minimum.
    static Size clientSize(Impl& impl, const ClientProps& p, Size wanted)
    {
        const FrameExtents& e = p.extents;
        double width = wanted.width;
        double height = wanted.height;
        const Rect frame = impl.frameOf(p);
        const auto monitors = impl.monitors();
        const auto areas = impl.workAreas();
        const auto desktop = impl.currentDesktopIndex().value_or(0);
        const Point corner(frame.minX() + impl.origin.x, frame.minY() + impl.origin.y);
        const Impl::Monitor* under = nullptr;
        for (const auto& m : monitors)
            if (m.frame.contains(corner)) {
                under = &m;
                break;
            }
        if (!under && !monitors.empty())
            under = &monitors.front();
        if (under) {
            Rect visible = under->frame;
            if (desktop < areas.size()) {
                const Rect cut = visible.intersection(areas[desktop]);
                if (!cut.isNull() && !cut.isEmpty())
                    visible = cut;
            }
            width = std::min(width, visible.width());
            height = std::min(height, visible.height());
        }
        width -= e.left + e.right;
        height -= e.top + e.bottom;
        const auto& h = p.hints;
        if (p.hasHints) {
            double baseW = 0, baseH = 0;
            if (h.flags & XCB_ICCCM_SIZE_HINT_BASE_SIZE) {
                baseW = h.base_width;
                baseH = h.base_height;
            } else if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
                baseW = h.min_width;
                baseH = h.min_height;
            }
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.width_inc > 0 && width > baseW)
                width = baseW + std::floor((width - baseW) / h.width_inc) * h.width_inc;
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_RESIZE_INC) && h.height_inc > 0 && height > baseH)
                height = baseH + std::floor((height - baseH) / h.height_inc) * h.height_inc;
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_width > 0)
                width = std::min(width, double(h.max_width));
            if ((h.flags & XCB_ICCCM_SIZE_HINT_P_MAX_SIZE) && h.max_height > 0)
                height = std::min(height, double(h.max_height));
            if (h.flags & XCB_ICCCM_SIZE_HINT_P_MIN_SIZE) {
                width = std::max(width, double(h.min_width));
                height = std::max(height, double(h.min_height));
            }
        }
        return Size(std::max(width, 1.0), std::max(height, 1.0));
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
        if (fields & (X11Fields::geometry | X11Fields::hints))
            impl->settleWrites();
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
    bool requestTrust() override { return true; }
    std::optional<std::vector<ElementRef>> windows(std::int32_t pid) const override
    {
        impl.settleWrites();
        const auto stack = impl.stacking();
        std::vector<xcb_window_t> own;
        for (xcb_window_t w : stack)
            if (auto k = impl.knownFor(w); k && k->pid == pid)
                own.push_back(w);
        if (own.empty() && !impl.runningApp(pid))
            return std::nullopt;
        const auto props = impl.read(own, X11Fields::desktop);
        const auto current = impl.currentDesktopIndex();
        std::vector<ElementRef> out;
        for (std::size_t i = 0; i < own.size(); ++i)
            if (props[i].alive && impl.onShownDesktop(props[i], current))
                out.push_back(elementFor(impl, own[i]));
        return out;
    }
    ElementRef focusedWindow(std::int32_t pid) const override
    {
        impl.settleWrites();
        const auto w = impl.focusedOf(pid);
        return w ? elementFor(impl, *w) : nullptr;
    }
};

} // namespace

std::unique_ptr<Accessibility> makeX11Accessibility(Impl& impl) { return std::make_unique<X11Accessibility>(impl); }

} // namespace kavelo
