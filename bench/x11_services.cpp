// The desktop services over the X11 backend, against 40 real windows (20
// xclock, 20 xeyes) under Xvfb and openbox: a window catalog read, and a
// full tidy through the window actions (every window written and read back).

#include "app/platform/manual_scheduler.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "bench/x11_forty_windows.h"
#include "services/temp_home.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>

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

    Fixture()
    {
        x11 = bench::startFortyWindows(session);
        if (!x11)
            return;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home.paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
    }
    ~Fixture()
    {
        desktop.reset();
        if (x11)
            x11->attach(nullptr);
    }

    bool ready() const { return desktop.has_value(); }

    void pump()
    {
        x11->processEvents();
        scheduler.runPending();
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void X11Services_CatalogRead40(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("no X session");
        return;
    }
    std::size_t count = 0;
    for (auto _ : state) {
        const Snapshot snapshot = WindowCatalog::read(*f.desktop);
        count = snapshot.windows.size();
        benchmark::DoNotOptimize(snapshot);
        state.PauseTiming();
        f.pump();
        state.ResumeTiming();
    }
    state.counters["windows"] = double(count);
}
BENCHMARK(X11Services_CatalogRead40)->Unit(benchmark::kMillisecond);

// A fresh catalog, 40 frames written (size, position, size) and read back;
// the layout alternates so that every pass really moves every window.
void X11Services_Tidy40(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("no X session");
        return;
    }
    int pass = 0;
    std::size_t moved = 0;
    for (auto _ : state) {
        const TidyLayout layout = (pass++ % 2) ? TidyLayout::focus : TidyLayout::grid;
        const auto memory = WindowActions::tidy(*f.desktop, layout, std::nullopt);
        moved = memory ? memory->after.size() : 0;
        state.PauseTiming();
        f.pump();
        state.ResumeTiming();
    }
    state.counters["windows"] = double(moved);
}
BENCHMARK(X11Services_Tidy40)->Unit(benchmark::kMillisecond);

} // namespace
