// The X11 backend against 40 real windows (20 xclock, 20 xeyes) under Xvfb
// and openbox: a catalog-like read and a full tidy.

#include "bench/x11_forty_windows.h"
#include "core/screen_coordinates.h"
#include "core/tidy.h"

#include <benchmark/benchmark.h>

#include <memory>

using namespace kavelo;

namespace {

struct Fixture {
    test::X11Session session;
    std::unique_ptr<X11Desktop> desktop;
    bool ready = false;

    Fixture() : desktop(bench::startFortyWindows(session)), ready(desktop != nullptr) {}

    // What a catalog read asks: the apps, all their windows at once, every
    // window's subrole, minimized, number, title and frame in one batch, and
    // the window list.
    std::size_t catalogRead()
    {
        std::vector<std::int32_t> pids;
        for (const auto& app : desktop->workspace().runningApps())
            pids.push_back(app.pid);
        std::vector<ElementRef> elements;
        for (const auto& windows : desktop->accessibility().windowsOf(pids))
            if (windows)
                elements.insert(elements.end(), windows->begin(), windows->end());
        std::size_t count = 0;
        for (const auto& facts : desktop->accessibility().facts(elements))
            count += facts.subrole.has_value();
        benchmark::DoNotOptimize(desktop->windowServer().windowList(WindowListOption::all));
        return count;
    }

    std::vector<ElementRef> elements()
    {
        std::vector<ElementRef> out;
        for (const auto& app : desktop->workspace().runningApps())
            if (auto windows = desktop->accessibility().windows(app.pid))
                out.insert(out.end(), windows->begin(), windows->end());
        return out;
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void X11_CatalogRead40(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no X session");
        return;
    }
    std::size_t count = 0;
    for (auto _ : state)
        count = f.catalogRead();
    state.counters["windows"] = double(count);
}
BENCHMARK(X11_CatalogRead40)->Unit(benchmark::kMillisecond);

// Every window written as the window actions do (size, position, size) and
// read back; the layout alternates so that every pass really moves them.
void X11_Tidy40(benchmark::State& state)
{
    auto& f = fixture();
    if (!f.ready) {
        state.SkipWithError("no X session");
        return;
    }
    const auto windows = f.elements();
    const auto screen = f.desktop->displays().screens().front();
    const Rect area = ScreenCoordinates::flip(screen.visibleFrame, screen.frame.height()).insetBy(10, 10);
    int pass = 0;
    for (auto _ : state) {
        const TidyLayout layout = (pass++ % 2) ? TidyLayout::rows : TidyLayout::grid;
        const auto frames = Tidy::frames(layout, int(windows.size()), area, 10, 0);
        for (std::size_t i = 0; i < windows.size() && i < frames.size(); ++i) {
            windows[i]->setSize(frames[i].size);
            windows[i]->setPosition(frames[i].origin);
            windows[i]->setSize(frames[i].size);
            benchmark::DoNotOptimize(windows[i]->position());
            benchmark::DoNotOptimize(windows[i]->size());
        }
    }
    state.counters["windows"] = double(windows.size());
}
BENCHMARK(X11_Tidy40)->Unit(benchmark::kMillisecond);

} // namespace
