// The X11 backend itself: the connection to a server and its interfaces.

#include "app/platform/x11/x11_desktop.h"

#include "app/platform/x11/x11_impl.h"

namespace kavelo {

using Impl = X11Desktop::Impl;

PlatformInterfaces makeX11Interfaces(Impl& impl)
{
    return PlatformInterfaces{.accessibility = makeX11Accessibility(impl),
                              .windowServer = makeX11WindowServer(impl),
                              .workspace = makeX11Workspace(impl),
                              .displays = makeX11Displays(impl),
                              .hotKeys = makeX11HotKeys(impl),
                              .eventTap = makeX11EventTap(impl),
                              .mouse = makeX11Mouse(impl),
                              .keyboard = makeX11Keyboard(impl),
                              .multitouch = makeX11Multitouch(impl),
                              .capture = makeX11Capture(impl),
                              .loginItem = makeX11LoginItem(),
                              .browsers = makeX11Browsers(),
                              .appInfo = makeX11AppInfo()};
}

X11Desktop::X11Desktop() = default;

X11Desktop::~X11Desktop()
{
    if (impl_ && impl_->tapRunning)
        interfaces_->eventTap->stop();
    if (impl_ && impl_->c && !xcb_connection_has_error(impl_->c)) {
        for (const auto& [ref, grab] : std::map(impl_->hotKeys))
            interfaces_->hotKeys->unregisterHotKey(ref);
        xcb_flush(impl_->c);
    }
    interfaces_.reset();
}

std::unique_ptr<X11Desktop> X11Desktop::connect(const std::string& display, std::string* error)
{
    auto impl = std::make_shared<Impl>();
    if (!impl->open(display, error))
        return nullptr;
    std::unique_ptr<X11Desktop> desktop(new X11Desktop());
    desktop->impl_ = std::move(impl);
    desktop->interfaces_ = std::make_unique<PlatformInterfaces>(makeX11Interfaces(*desktop->impl_));
    return desktop;
}

Platform X11Desktop::platform(Scheduler& scheduler, Clock& clock)
{
    return interfaces_->platform(scheduler, clock);
}

int X11Desktop::eventDescriptor() const { return xcb_get_file_descriptor(impl_->c); }
void X11Desktop::processEvents() { impl_->processEvents(); }
void X11Desktop::setWakeup(std::function<void()> wakeup) { impl_->wakeup = std::move(wakeup); }
void X11Desktop::attach(Scheduler* scheduler) { impl_->scheduler = scheduler; }
bool X11Desktop::hasWindowManager() const { return impl_->wmPresent; }
std::optional<std::uint8_t> X11Desktop::serverKeyCode(std::uint16_t keyCode) const { return impl_->serverKey(keyCode); }
std::optional<std::uint32_t> X11Desktop::serverWindow(WindowID number) const { return impl_->windowFor(number); }
bool X11Desktop::answersFrameExtents() const { return impl_->extentsRequestAnswered; }

std::uint64_t X11Desktop::propertyBatches() const { return impl_->propertyBatches; }

void X11Desktop::setToolkitScreens(ToolkitScreens screens)
{
    impl_->toolkitScreens = std::move(screens);
    impl_->refreshMap();
}

void X11Desktop::toolkitScreensChanged()
{
    impl_->queue([impl = impl_.get()] {
        if (impl->refreshMap())
            impl->notifyAll(&Impl::displayObservers);
    });
}

void X11Desktop::settle()
{
    impl_->wrote();
    impl_->settleWrites();
}

} // namespace kavelo
