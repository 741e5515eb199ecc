#pragma once

// The platform interfaces against a running X server with an EWMH window
// manager, through xcb and xkbcommon.
//
// Events are read from the server's connection and dispatched on the main
// thread by `processEvents()`; the run loop watches `eventDescriptor()`.
// Window captures are the one part that is safe from any thread.
//
// Coordinates follow the interfaces: points (device pixels divided by each
// monitor's scale, `DeviceMap`), window frames top-left with the primary
// monitor's top-left corner as origin, display frames bottom-left.

#include "app/platform/desktop_backend.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace kavelo {

class X11Desktop : public DesktopBackend, public OwnedInterfaces {
public:
    // Connects to `display` (the DISPLAY variable when empty). No value when
    // no server answers; `error` then says why.
    static std::unique_ptr<X11Desktop> connect(const std::string& display = {}, std::string* error = nullptr);
    ~X11Desktop() override;
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    Platform platform(Scheduler& scheduler, Clock& clock) override;
    int eventDescriptor() const override;
    void processEvents() override;
    void setWakeup(std::function<void()> wakeup) override;
    void attach(Scheduler* scheduler) override;
    void setIconResolver(IconResolver resolver) override;
    void setToolkitScreens(ToolkitScreens screens) override;
    void toolkitScreensChanged() override;

    // Whether an EWMH window manager runs; without one, windows are moved
    // directly.
    bool hasWindowManager() const;
    // The server's key code of a classic virtual key code in the current
    // keyboard map (for tests that type through XTest).
    std::optional<std::uint8_t> serverKeyCode(std::uint16_t keyCode) const;
    // The X window behind a window number, while it lives.
    std::optional<std::uint32_t> serverWindow(WindowID number) const;
    // Whether the window manager has been seen to answer frame-extents
    // requests: the backend's barrier after writes is then its answer.
    bool answersFrameExtents() const;
    // How many batches of window properties went to the server, a round
    // trip each (for tests that count them).
    std::uint64_t propertyBatches() const;
    // Returns once the window manager has handled every request the server
    // had received before this call, the backend's own and other clients'.
    void settle();

    struct Impl;

private:
    X11Desktop();
    std::shared_ptr<Impl> impl_;
};

} // namespace kavelo
