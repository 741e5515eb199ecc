#pragma once

// The application delegate over the X11 backend of a managers' session,
// launched as the program launches it, with views that record what they
// are asked. Its hot keys and its tap are watched: a pressed hot key and
// a key the tap takes are noted, and no hot key's action runs, so typing
// every default key leaves the session as it was.

#include "app/shell/app_delegate.h"
#include "shell/delegate_world.h"
#include "x11_services/x11_services_fixture.h"

#include <unistd.h>

#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace kavelo::testing {

// The backend's hot keys, the presses noted instead of acted on.
struct WatchedHotKeys : SystemHotKeys {
    explicit WatchedHotKeys(SystemHotKeys& real) : real(real) {}
    void setHandler(std::function<void(std::uint32_t)>) override
    {
        real.setHandler([this](std::uint32_t id) {
            if (auto it = live.find(id); it != live.end())
                pressed.push_back(it->second);
        });
    }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        const auto ref = real.registerHotKey(keyCode, modifiers, id);
        if (ref) {
            live[id] = {keyCode, modifiers};
            refs[*ref] = id;
        }
        return ref;
    }
    void unregisterHotKey(Ref ref) override
    {
        real.unregisterHotKey(ref);
        if (auto it = refs.find(ref); it != refs.end()) {
            live.erase(it->second);
            refs.erase(it);
        }
    }

    SystemHotKeys& real;
    std::map<std::uint32_t, Combination> live;
    std::map<Ref, std::uint32_t> refs;
    std::vector<Combination> pressed;
};

// The backend's tap, the key-downs it was told to drop noted.
struct WatchedTap : EventTap {
    explicit WatchedTap(EventTap& real) : real(real) {}
    bool start(std::function<bool(const TapEvent&)> callback) override
    {
        return real.start([this, callback = std::move(callback)](const TapEvent& event) {
            const bool taken = callback(event);
            if (taken && event.type == TapEventType::keyDown)
                taken_.push_back(event);
            return taken;
        });
    }
    void stop() override { real.stop(); }
    bool isRunning() const override { return real.isRunning(); }
    void reenable() override { real.reenable(); }
    bool claim(std::uint16_t keyCode, std::uint64_t flags) override { return real.claim(keyCode, flags); }
    void unclaim(std::uint16_t keyCode, std::uint64_t flags) override { real.unclaim(keyCode, flags); }
    bool holdKeyboard(bool hold) override { return real.holdKeyboard(hold); }

    EventTap& real;
    std::vector<TapEvent> taken_;
};

// A launched delegate on the fixture's desktop.
class X11Delegate {
public:
    X11Delegate(X11Desktop& x11, ManualScheduler& scheduler, const test::TempHome& home)
        : views_(scheduler.clock()), hotKeys_(base(x11, scheduler).hotKeys), tap_(base(x11, scheduler).eventTap)
    {
        UserDefaults(home.paths().userDefaults).set(AppDelegate::welcomedKey, Json(true));
        delegate_ = std::make_unique<AppDelegate>(
            withInput(base(x11, scheduler), hotKeys_, tap_), views_, CommandLine(std::vector<std::string>{}),
            ShellEnvironment{.paths = home.paths(),
                             .process = OwnProcess{::getpid(), "/usr/bin/kavelo"},
                             .launcher = launcher_,
                             .exit = [](int) {},
                             .out = &out_,
                             .err = &out_,
                             .variable = [](std::string_view) -> std::optional<std::string> { return std::nullopt; }});
        delegate_->applicationDidFinishLaunching();
    }
    ~X11Delegate() { delegate_.reset(); }

    AppDelegate& operator*() { return *delegate_; }
    AppDelegate* operator->() { return delegate_.get(); }
    FakeViews& views() { return views_; }
    WatchedHotKeys& hotKeys() { return hotKeys_; }
    WatchedTap& tap() { return tap_; }

private:
    static Platform base(X11Desktop& x11, ManualScheduler& scheduler) { return x11.platform(scheduler, scheduler.clock()); }

    FakeViews views_;
    WatchedHotKeys hotKeys_;
    WatchedTap tap_;
    test::FakeLauncher launcher_;
    std::ostringstream out_;
    std::unique_ptr<AppDelegate> delegate_;
};

} // namespace kavelo::testing
