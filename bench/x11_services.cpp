// The desktop services over the X11 backend, against 40 real windows (20
// xclock, 20 xeyes) under Xvfb and openbox: a window catalog read, and a
// full tidy through the window actions (every window written and read back),
// and one frame of a strip scrolling sideways.

#include "app/platform/manual_scheduler.h"
#include "app/services/ax.h"
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
#include <vector>

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

// A fresh catalog, every window written (size, position, size) and read
// back; the layout alternates so that every pass really moves every window.
void BM_X11Tidy(benchmark::State& state)
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
    if (moved != std::size_t(state.range(0)))
        state.SkipWithError("not every window was tidied");
    state.counters["windows"] = double(moved);
}
BENCHMARK(BM_X11Tidy)->Arg(40)->Unit(benchmark::kMillisecond);

// One frame of a strip scrolling sideways: a position-only batch moving N
// windows by a few points, done once the manager has applied it (the
// read-back of one window waits for that).
void BM_X11ScrollFrame(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("no X session");
        return;
    }
    const auto count = std::size_t(state.range(0));
    std::vector<FrameWrite> writes;
    const Snapshot snapshot = WindowCatalog::read(*f.desktop);
    for (const auto& entry : snapshot.windows) {
        if (writes.size() == count)
            break;
        if (auto element = snapshot.element(entry.id))
            writes.push_back(FrameWrite{element, entry.frame, FrameWrite::Parts::position});
    }
    if (writes.size() != count) {
        state.SkipWithError("too few windows");
        return;
    }
    int pass = 0;
    for (auto _ : state) {
        const double dx = (pass++ % 2) ? -7 : 7;
        for (auto& w : writes)
            w.frame.origin.x += dx;
        const auto done = AX::setFrames(f.desktop->platform.accessibility, writes);
        benchmark::DoNotOptimize(done);
        benchmark::DoNotOptimize(writes.front().element->position());
    }
    state.counters["windows"] = double(count);
}
BENCHMARK(BM_X11ScrollFrame)->Arg(10)->Unit(benchmark::kMillisecond);

// What a strip pass reads after an animation frame, which is never waited
// for: the displays six times over and each moved window's corner, with
// the reads shared as a pass shares them.
void BM_X11ReadsAfterAnAnimationFrame(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready()) {
        state.SkipWithError("no X session");
        return;
    }
    std::vector<FrameWrite> writes;
    const Snapshot snapshot = WindowCatalog::read(*f.desktop);
    for (const auto& entry : snapshot.windows)
        if (auto element = snapshot.element(entry.id); element && writes.size() < 10)
            writes.push_back(FrameWrite{element, entry.frame, FrameWrite::Parts::position});
    int pass = 0;
    for (auto _ : state) {
        const Handle together = f.desktop->platform.windowServer.shareReads();
        const double dx = (pass++ % 2) ? -7 : 7;
        for (auto& w : writes)
            w.frame.origin.x += dx;
        benchmark::DoNotOptimize(f.desktop->platform.accessibility.glide(writes));
        for (int i = 0; i < 6; ++i)
            benchmark::DoNotOptimize(f.desktop->platform.displays.screens());
        for (const auto& w : writes)
            benchmark::DoNotOptimize(w.element->position());
        state.PauseTiming();
        while (f.desktop->platform.windowServer.managerBehind())
            f.pump();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_X11ReadsAfterAnAnimationFrame)->Unit(benchmark::kMillisecond);

} // namespace
