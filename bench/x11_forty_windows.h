#pragma once

// The desktop the X11 benchmarks measure: 20 xclock and 20 xeyes under Xvfb
// and openbox (or the manager KAVELO_BENCH_MANAGER names: xfwm4, mutter,
// kwin), and the backend connected to it.

#include "app/platform/x11/x11_desktop.h"
#include "support/x11_session.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace kavelo::bench {

// No value (and a line on stderr) when there is no X session to measure.
inline std::unique_ptr<X11Desktop> startFortyWindows(test::X11Session& session)
{
    std::vector<std::string> clients;
    for (int i = 0; i < 20; ++i) {
        clients.push_back("xclock");
        clients.push_back("xeyes");
    }
    std::string error;
    test::WindowManager manager = test::WindowManager::openbox;
    if (const char* named = std::getenv("KAVELO_BENCH_MANAGER")) {
        const auto chosen = test::WindowManager_from(named);
        if (!chosen) {
            std::fprintf(stderr, "no window manager named %s\n", named);
            return nullptr;
        }
        manager = *chosen;
    }
    if (!session.start(clients, &error, manager)) {
        std::fprintf(stderr, "no X session: %s\n", error.c_str());
        return nullptr;
    }
    auto desktop = X11Desktop::connect(session.display(), &error);
    if (!desktop)
        std::fprintf(stderr, "cannot connect: %s\n", error.c_str());
    return desktop;
}

} // namespace kavelo::bench
