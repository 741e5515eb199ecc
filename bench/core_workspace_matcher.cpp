#include "core/workspace_matcher.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kavelo;

namespace {

// A desktop of a dozen applications with a few windows each; some titles
// changed since the save, so both passes have work to do. The second
// argument puts an em dash in every title, as most applications do, which
// costs a Unicode normalisation per title.
void BM_WorkspaceMatcherMatch(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    const std::string dash = state.range(1) ? " \u2014 " : " - ";
    static const char* apps[] = {"com.apple.Safari", "com.apple.Terminal",   "com.apple.mail",
                                 "com.apple.Notes",  "com.apple.dt.Xcode",   "com.apple.finder",
                                 "com.apple.Music",  "com.tinyspeck.slackmacgap", "org.mozilla.firefox",
                                 "com.microsoft.VSCode", "com.figma.Desktop", "md.obsidian"};
    std::mt19937 rng(7);
    std::vector<SavedWindow> saved;
    std::vector<WindowEntry> live;
    for (int i = 0; i < count; ++i) {
        const std::string app = apps[rng() % 12];
        const std::string title = "Document " + std::to_string(rng() % 40) + dash + "project notes and drafts";
        saved.push_back({app, title, Rect(i * 10.0, 25, 800, 600)});
    }
    for (int i = 0; i < count; ++i) {
        const SavedWindow& s = saved[rng() % saved.size()];
        const bool renamed = rng() % 3 == 0;
        live.push_back(WindowEntry{.id = WindowID(1000 + i), .pid = 1, .appName = "App", .bundleID = s.bundleID,
                                   .title = renamed ? s.title + " (edited)" : s.title});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(WorkspaceMatcher::match(saved, live));
}

} // namespace

BENCHMARK(BM_WorkspaceMatcherMatch)->Args({100, 0})->Args({100, 1})->Unit(benchmark::kMicrosecond);
