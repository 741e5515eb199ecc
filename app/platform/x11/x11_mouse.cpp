// The mouse on an X server: global monitors, the pointer and warping.

#include "app/platform/x11/x11_impl.h"

#include <cmath>

namespace kavelo {

using Impl = X11Desktop::Impl;

namespace {

class X11Mouse : public Mouse, X11Facade {
public:
    using X11Facade::X11Facade;
    Handle monitor(std::uint32_t mask, std::function<void(const MouseEvent&)> handler) override
    {
        const std::uint64_t id = impl.nextObserver++;
        impl.mouseMonitors.emplace(id, std::pair(mask, std::move(handler)));
        impl.updateRawSelection();
        impl.roundTrip();
        return Handle::withCancel([weak = impl.weak_from_this(), id] {
            if (auto i = weak.lock()) {
                i->mouseMonitors.erase(id);
                i->updateRawSelection();
            }
        });
    }
    Point location() const override
    {
        const Point p = impl.pointerTopLeft();
        return Point(p.x, impl.primaryHeight() - p.y);
    }
    std::uint32_t pressedButtons() const override
    {
        std::uint16_t mask = 0;
        impl.pointerTopLeft(&mask);
        std::uint32_t out = 0;
        if (mask & XCB_BUTTON_MASK_1)
            out |= 1u << 0;
        if (mask & XCB_BUTTON_MASK_3)
            out |= 1u << 1;
        if (mask & XCB_BUTTON_MASK_2)
            out |= 1u << 2;
        return out;
    }
    void warp(Point topLeft) override
    {
        if (!std::isfinite(topLeft.x) || !std::isfinite(topLeft.y))
            return;
        const Point at = impl.map.toDevice(topLeft);
        const auto x = std::int16_t(std::lround(at.x));
        const auto y = std::int16_t(std::lround(at.y));
        xcb_warp_pointer(impl.c, XCB_NONE, impl.root, 0, 0, 0, 0, x, y);
        xcb_flush(impl.c);
        impl.warpedTo = Point(x, y);
    }
    std::uint64_t modifierFlags(ModifierSource) const override
    {
        std::uint16_t mask = 0;
        impl.pointerTopLeft(&mask);
        return impl.flagsOfServerState(mask);
    }
};

} // namespace

std::unique_ptr<Mouse> makeX11Mouse(Impl& impl) { return std::make_unique<X11Mouse>(impl); }

} // namespace kavelo
