// Window capture on the simulated desktop: pictures of one colour.

#include "app/platform/sim/sim_impl.h"

namespace kavelo {

using Impl = SimDesktop::Impl;

Image solidImage(int width, int height, std::uint32_t seed)
{
    Image image{.width = width, .height = height};
    image.rgba.resize(std::size_t(width) * height * 4);
    const std::uint8_t rgba[4] = {std::uint8_t(seed * 37), std::uint8_t(seed * 91), std::uint8_t(seed * 53), 255};
    for (std::size_t i = 0; i < image.rgba.size(); ++i)
        image.rgba[i] = rgba[i % 4];
    return image;
}

// ---------------------------------------------------------------- interface

namespace {

class SimCapture : public WindowCapture, SimFacade {
public:
    using SimFacade::SimFacade;
    bool isAllowed() const override { return impl.lock(), impl.s.captureAllowed; }
    bool needsGrant() const override { return impl.lock(), impl.s.asksPermissions; }
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

} // namespace

std::unique_ptr<WindowCapture> makeSimCapture(Impl& impl) { return std::make_unique<SimCapture>(impl); }

// ---------------------------------------------------------------- settings

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

} // namespace kavelo
