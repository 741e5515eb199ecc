#pragma once

// What the by-hand X11 benchmarks of the panels share: a private Xvfb with
// openbox (its keys left free), Qt on xcb in this process, the production
// scheduler and the backend pumped from Qt's run loop, as the program runs
// them; and the medians they report.

#include "app/platform/qt/qt_event_pump.h"
#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "samples.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QEventLoop>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::bench {

using Steady = std::chrono::steady_clock;

inline double ms(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct X11QtWorld {
    test::TempHome home;
    test::X11Session session;
    std::unique_ptr<QApplication> app;
    std::unique_ptr<X11Desktop> x11;
    QtScheduler scheduler;
    SystemClock clock;
    std::unique_ptr<QtEventPump> pump;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;

    // Up to a desktop; `paints` watches every widget's events from the start.
    bool startQt(char* name, QObject& paints)
    {
        std::string error;
        if (!session.start({}, &error, test::WindowManager::openboxKeysFree)) {
            std::fprintf(stderr, "no X session: %s\n", error.c_str());
            return false;
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // No session bus belongs to the private display; without this Qt would
        // have one started for it through X.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("DISPLAY", session.display().c_str(), 1);
        static int argc = 1;
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        app->installEventFilter(&paints);
        x11 = X11Desktop::connect(session.display(), &error);
        if (!x11)
            return false;
        pump = std::make_unique<QtEventPump>(*x11, scheduler);
        defaults = std::make_unique<UserDefaults>(home.paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, clock), *preferences});
        return true;
    }

    std::uint8_t code(std::uint16_t classic) { return x11->serverKeyCode(classic).value(); }

    // Runs Qt's loop while `user` plays its part on another thread.
    void play(const std::function<void()>& user)
    {
        QEventLoop loop;
        std::atomic<bool> done{false};
        std::thread thread([&] {
            user();
            done = true;
            QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
        });
        if (!done)
            loop.exec();
        thread.join();
    }
};

// A benchmark file's one world, made at its first benchmark and ended by
// `runBenchmarks` with the X session: ended among the program's static
// objects, Qt would outlive its own.
template <class World>
std::unique_ptr<World>& worldSlot()
{
    static std::unique_ptr<World> slot;
    return slot;
}

// The world, made and started once; none without an X session.
template <class World>
World* sharedWorld()
{
    static const bool made = [] {
        auto world = std::make_unique<World>();
        if (world->start())
            worldSlot<World>() = std::move(world);
        return true;
    }();
    (void)made;
    return worldSlot<World>().get();
}

template <class World>
int runBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    worldSlot<World>().reset();
    benchmark::Shutdown();
    return 0;
}

} // namespace kavelo::bench
