#pragma once

// A simulated desktop for the switcher benchmarks: 400 windows of 40
// applications on two displays, titles of 30 to 80 characters, a quarter
// of them with characters outside ASCII, a fifth minimized, hidden or on
// another desktop.

#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace kavelo::bench {

inline std::string sampleTitle(std::mt19937& rng, bool wide)
{
    static const char* words[] = {"project", "review", "draft", "kavelo", "meeting", "notes", "budget",
                                  "release", "window", "layout", "strip", "search", "report", "design"};
    static const char* wideWords[] = {"r\xC3\xA9sum\xC3\xA9", "\xE2\x80\x94", "M\xC3\xBCnchen", "caf\xC3\xA9",
                                      "\xE6\x9D\xB1\xE4\xBA\xAC", "na\xC3\xAFve"};
    const std::size_t length = 30 + rng() % 51;
    std::string title;
    for (;;) {
        const std::string word = (wide && rng() % 3 == 0) ? wideWords[rng() % 6] : words[rng() % 14];
        if (!title.empty() && title.size() + 1 + word.size() > 80)
            break;
        if (!title.empty())
            title += ' ';
        title += word;
        if (title.size() >= length)
            break;
    }
    return title;
}

struct SwitcherWorld {
    explicit SwitcherWorld(int windows)
        : folder(std::filesystem::temp_directory_path() / ("kavelo-bench-switcher-" + std::to_string(::getpid()))),
          store((std::filesystem::create_directories(folder), folder / "defaults.json")),
          prefs(store, sim.loginItem(), [](int) { return false; }),
          desktop{sim.platform(scheduler, scheduler.clock()), prefs}
    {
        sim.attach(&scheduler);
        sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0});
        const std::uint64_t away = sim.addDesktop(1);
        std::vector<std::int32_t> apps;
        for (int i = 0; i < 40; ++i)
            apps.push_back(sim.addApp(SimApp{.bundleID = "com.example.app" + std::to_string(i),
                                             .name = "App " + std::to_string(i),
                                             .hidden = i % 20 == 19}));
        std::mt19937 rng(7);
        for (int i = 0; i < windows; ++i) {
            SimWindow w{.pid = apps[std::size_t(i) % apps.size()],
                        .title = sampleTitle(rng, i % 4 == 0),
                        .frame = Rect(double(i % 30) * 90, 30 + double(i % 20) * 20, 600, 400)};
            w.minimized = i % 10 == 3;
            if (i % 10 == 7)
                w.desktop = away;
            sim.addWindow(std::move(w));
        }
    }
    ~SwitcherWorld()
    {
        sim.attach(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::filesystem::path folder;
    ManualScheduler scheduler;
    SimDesktop sim;
    UserDefaults store;
    Preferences prefs;
    Desktop desktop;
};

} // namespace kavelo::bench
