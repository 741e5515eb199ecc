// The arrange engine's idle poll and a whole pass over 40 real windows (20 xclock, 20 xeyes)
// under Xvfb and openbox, in strip mode after the strip has settled.

#include "app/engine/arrange_engine.h"
#include "app/platform/manual_scheduler.h"
#include "app/services/active_frame.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "bench/x11_forty_windows.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

using namespace kavelo;

namespace {

struct Fixture {
    test::TempHome home;
    test::X11Session session;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    std::unique_ptr<WorkingApp> working;
    kavelo::testing::RecordingToast toast;
    kavelo::testing::FakeEnginePanels panels;
    std::unique_ptr<ArrangeEngine> engine;

    Fixture()
    {
        x11 = bench::startFortyWindows(session);
        if (!x11)
            return;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home.paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, panels);
        engine->start();
        // Until a poll finds nothing new.
        for (int i = 0; i < 50; ++i) {
            const std::string before = engine->lastSignature;
            x11->processEvents();
            scheduler.advance(ArrangeEngine::pollInterval);
            if (i > 5 && !engine->isAnimating() && engine->lastSignature == before)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    ~Fixture()
    {
        engine.reset();
        working.reset();
        desktop.reset();
        if (x11)
            x11->attach(nullptr);
    }

    bool ready() const { return engine != nullptr; }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

// The shared world, or none (the benchmark skipped) without an X session.
Fixture* readyFixture(benchmark::State& state)
{
    Fixture& f = fixture();
    if (f.ready())
        return &f;
    state.SkipWithError("no X session");
    return nullptr;
}

void BM_EngineIdleTickX11(benchmark::State& state)
{
    Fixture* world = readyFixture(state);
    if (!world)
        return;
    Fixture& f = *world;
    const std::string settled = f.engine->lastSignature;
    for (auto _ : state)
        f.engine->tick();
    if (f.engine->lastSignature != settled)
        state.SkipWithError("the desktop changed while measuring");
    state.counters["columns"] = double(f.engine->strips().empty() ? 0 : f.engine->strips().begin()->second.columns.size());
}
BENCHMARK(BM_EngineIdleTickX11)->Arg(40)->Unit(benchmark::kMicrosecond);

// A poll that finds the desktop changed: every window read and the strip
// laid out again (settled, it writes nothing).
void BM_EnginePassX11(benchmark::State& state)
{
    Fixture* world = readyFixture(state);
    if (!world)
        return;
    Fixture& f = *world;
    for (auto _ : state) {
        f.engine->lastSignature.clear();
        f.engine->tick();
    }
}
BENCHMARK(BM_EnginePassX11)->Arg(40)->Unit(benchmark::kMicrosecond);

// The backend's part of that poll: the on-screen window list and the
// frontmost application, as the server gives them.
void BM_EngineIdleTickX11_ServerShare(benchmark::State& state)
{
    Fixture* world = readyFixture(state);
    if (!world)
        return;
    Fixture& f = *world;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.desktop->platform.windowServer.windowList(WindowListOption::onScreenOnly));
        benchmark::DoNotOptimize(f.desktop->platform.workspace.frontmostApp());
    }
}
BENCHMARK(BM_EngineIdleTickX11_ServerShare)->Arg(40)->Unit(benchmark::kMicrosecond);

// What the border and No peek ask 30 times a second: the focused window's
// frame, among forty others.
void BM_ActiveFrameX11(benchmark::State& state)
{
    Fixture* world = readyFixture(state);
    if (!world)
        return;
    Fixture& f = *world;
    // Neither xclock nor xeyes takes the focus: an xterm does (run last, as
    // it joins the desktop the other benchmarks measure).
    f.session.launch({"xterm"});
    for (int i = 0; i < 200 && !ActiveWindow::activeFrame(*f.desktop, *f.working); ++i) {
        if (const auto terms = f.session.windowsOfClass("XTerm"); !terms.empty())
            f.session.activate(terms.front());
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    double found = 0;
    for (auto _ : state)
        found += ActiveWindow::activeFrame(*f.desktop, *f.working) ? 1 : 0;
    if (found == 0)
        state.SkipWithError("no focused window");
    state.counters["found"] = found / double(state.iterations());
}
BENCHMARK(BM_ActiveFrameX11)->Arg(40)->Unit(benchmark::kMicrosecond);

} // namespace
