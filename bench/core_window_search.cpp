#include "core/window_search.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kavelo;

namespace {

std::vector<WindowEntry> windows(int count)
{
    static const char* apps[] = {"Safari", "Terminal", "Mail", "Notes", "Xcode", "Finder", "Music", "Slack"};
    static const char* words[] = {"project", "review", "draft", "kavelo", "meeting", "notes", "budget", "release",
                                  "window", "layout", "strip", "search", "report", "invoice", "design", "status"};
    std::mt19937 rng(42);
    std::vector<WindowEntry> out;
    for (int i = 0; i < count; ++i) {
        std::string title;
        while (title.size() < 200) {
            title += words[rng() % 16];
            title += ' ';
        }
        title.resize(200);
        out.push_back(WindowEntry{.id = WindowID(i), .pid = 1, .appName = apps[rng() % 8], .title = title});
    }
    return out;
}

void BM_WindowSearchRank(benchmark::State& state)
{
    const auto list = windows(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(WindowSearch::rank(list, "saf rel"));
}

} // namespace

BENCHMARK(BM_WindowSearchRank)->Arg(150)->Arg(5000)->Unit(benchmark::kMicrosecond);
