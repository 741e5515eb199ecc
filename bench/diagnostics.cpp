// The screenshot renderer offscreen: all fifteen screens, settled and
// encoded, into a temporary folder.

#include "app/diagnostics/previews.h"
#include "app/platform/sim/sim_desktop.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace {

void BM_RenderAllScreens(benchmark::State& state)
{
    const auto folder = std::filesystem::temp_directory_path() / ("kavelo-render-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    kavelo::SimDesktop desktop;
    for (auto _ : state) {
        const auto unwritten = kavelo::Previews::render(folder.string(), folder / "defaults.json", desktop.multitouch());
        if (!unwritten.empty())
            state.SkipWithError("a picture was not written");
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
}
BENCHMARK(BM_RenderAllScreens)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
