// Trackpad contacts on the simulated desktop, delivered from any thread.

#include "app/platform/sim/sim_impl.h"

namespace kavelo {

using Impl = SimDesktop::Impl;

namespace {

class SimMultitouch : public Multitouch, SimFacade {
public:
    using SimFacade::SimFacade;
    int start(int, std::function<void(const ContactFrame&)> onFrame) override
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
    std::vector<std::string> devices() const override
    {
        int count = 0;
        {
            auto guard = impl.lock();
            count = impl.s.trackpads;
        }
        std::vector<std::string> out;
        for (int i = 1; i <= count; ++i)
            out.push_back("Trackpad " + std::to_string(i));
        return out;
    }
};

} // namespace

std::unique_ptr<Multitouch> makeSimMultitouch(Impl& impl) { return std::make_unique<SimMultitouch>(impl); }

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

} // namespace kavelo
