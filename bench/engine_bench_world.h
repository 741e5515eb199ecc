#pragma once

// The engine's benchmarks share one world: the simulated desktop, settings
// in a temporary home and the tests' recording toast and panels.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kavelo::bench {

struct EngineWorld {
    test::TempHome home;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store{home.paths().userDefaults};
    Preferences prefs{store, sim.loginItem(), [](int) { return false; }};
    Desktop desktop{sim.platform(scheduler, scheduler.clock()), prefs};
    WorkingApp working{sim.workspace()};
    testing::RecordingToast toast;
    testing::FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;

    // A second display right of the main one.
    void addSideDisplay() { sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0}); }

    // `count` applications, "com.example.app0" named "App 0" and so on.
    std::vector<std::int32_t> addApps(int count)
    {
        std::vector<std::int32_t> apps;
        for (int i = 0; i < count; ++i)
            apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i),
                                             .name = "App " + std::to_string(i)}));
        return apps;
    }

    // Starts the engine in `mode` and lets `polls` polls run.
    void start(ArrangeMode mode, int polls)
    {
        prefs.setArrangeMode(mode);
        engine = std::make_unique<ArrangeEngine>(desktop, working, toast, panels);
        engine->start();
        for (int i = 0; i < polls; ++i)
            scheduler.advance(ArrangeEngine::pollInterval);
    }
};

} // namespace kavelo::bench
