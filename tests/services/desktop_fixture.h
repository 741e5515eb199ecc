#pragma once

// A simulated desktop with settings and a hand-driven scheduler, as the
// window services see it, with HOME and XDG folders in a fresh temporary
// folder per test.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

#include <memory>
#include <functional>
#include <string>

namespace kavelo::testing {

// The same platform with some interfaces stood in for.
inline Platform replacing(const Platform& p, Accessibility* accessibility, WindowCapture* capture)
{
    return Platform{.accessibility = accessibility ? *accessibility : p.accessibility,
                    .windowServer = p.windowServer,
                    .workspace = p.workspace,
                    .displays = p.displays,
                    .hotKeys = p.hotKeys,
                    .eventTap = p.eventTap,
                    .mouse = p.mouse,
                    .keyboard = p.keyboard,
                    .multitouch = p.multitouch,
                    .capture = capture ? *capture : p.capture,
                    .loginItem = p.loginItem,
                    .browsers = p.browsers,
                    .appInfo = p.appInfo,
                    .scheduler = p.scheduler,
                    .clock = p.clock};
}

struct SimWorld {
    SimWorld()
        : store(home.paths().userDefaults), prefs(store, sim.loginItem(), [](int) { return false; }),
          desktop{sim.platform(scheduler, scheduler.clock()), prefs}
    {
        sim.attach(&scheduler);
    }
    ~SimWorld() { sim.attach(nullptr); }
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    std::int32_t app(std::string bundleID, std::string name, bool hidden = false)
    {
        return sim.addApp(SimApp{.bundleID = std::move(bundleID), .name = std::move(name), .hidden = hidden});
    }

    WindowID window(std::int32_t pid, std::string title, Rect frame, std::function<void(SimWindow&)> more = {})
    {
        SimWindow w{.pid = pid, .title = std::move(title), .frame = frame};
        if (more)
            more(w);
        return sim.addWindow(std::move(w));
    }

    Rect frameOf(WindowID id) const { return sim.window(id)->frame; }

    test::TempHome home;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store;
    Preferences prefs;
    Desktop desktop;
};

class DesktopTest : public ::testing::Test, public SimWorld {};

} // namespace kavelo::testing
