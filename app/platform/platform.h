#pragma once

// Everything the services may ask of the system, one interface per facility,
// handed to them as one aggregate. A backend (the simulated desktop, a real
// window server) implements them all; nothing above knows which one runs.

#include "app/platform/accessibility.h"
#include "app/platform/app_services.h"
#include "app/platform/capture.h"
#include "app/platform/displays.h"
#include "app/platform/element.h"
#include "app/platform/input.h"
#include "app/platform/keyboard.h"
#include "app/platform/multitouch.h"
#include "app/platform/scheduler.h"
#include "app/platform/window_server.h"
#include "app/platform/system_workspace.h"

#include <memory>

namespace kavelo {

struct Platform {
    Accessibility& accessibility;
    WindowServer& windowServer;
    SystemWorkspace& workspace;
    Displays& displays;
    SystemHotKeys& hotKeys;
    EventTap& eventTap;
    Mouse& mouse;
    Keyboard& keyboard;
    Multitouch& multitouch;
    WindowCapture& capture;
    LoginItem& loginItem;
    BrowserScripting& browsers;
    AppInfo& appInfo;
    Scheduler& scheduler;
    Clock& clock;
};

// The interfaces of one backend, owned together; the backend lends them
// out as a `Platform`.
struct PlatformInterfaces {
    std::unique_ptr<Accessibility> accessibility;
    std::unique_ptr<WindowServer> windowServer;
    std::unique_ptr<SystemWorkspace> workspace;
    std::unique_ptr<Displays> displays;
    std::unique_ptr<SystemHotKeys> hotKeys;
    std::unique_ptr<EventTap> eventTap;
    std::unique_ptr<Mouse> mouse;
    std::unique_ptr<Keyboard> keyboard;
    std::unique_ptr<Multitouch> multitouch;
    std::unique_ptr<WindowCapture> capture;
    std::unique_ptr<LoginItem> loginItem;
    std::unique_ptr<BrowserScripting> browsers;
    std::unique_ptr<AppInfo> appInfo;

    Platform platform(Scheduler& scheduler, Clock& clock) const;
};

// A backend's own interfaces by name, for the backend's owner and its tests.
class OwnedInterfaces {
public:
    Accessibility& accessibility() { return *interfaces_->accessibility; }
    WindowServer& windowServer() { return *interfaces_->windowServer; }
    SystemWorkspace& workspace() { return *interfaces_->workspace; }
    Displays& displays() { return *interfaces_->displays; }
    SystemHotKeys& hotKeys() { return *interfaces_->hotKeys; }
    EventTap& eventTap() { return *interfaces_->eventTap; }
    Mouse& mouse() { return *interfaces_->mouse; }
    Keyboard& keyboard() { return *interfaces_->keyboard; }
    Multitouch& multitouch() { return *interfaces_->multitouch; }
    WindowCapture& capture() { return *interfaces_->capture; }
    LoginItem& loginItem() { return *interfaces_->loginItem; }
    BrowserScripting& browsers() { return *interfaces_->browsers; }
    AppInfo& appInfo() { return *interfaces_->appInfo; }

protected:
    std::unique_ptr<PlatformInterfaces> interfaces_;
};

} // namespace kavelo
