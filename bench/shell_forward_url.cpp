// A second `kavelo kavelo://run/tidy` against a running instance on Xvfb:
// from the client's start to its exit after the instance's answer. The
// client makes no toolkit application, so this is process start, the
// URL check and one round trip on the socket. Target: 100 ms.

#ifdef KAVELO_BINARY

#include "services/temp_home.h"
#include "support/run_program.h"
#include "support/x11_session.h"

#include <benchmark/benchmark.h>

#include <thread>

using namespace kavelo;

namespace {

void BM_ForwardUrl(benchmark::State& state)
{
    test::TempHome home;
    test::X11Session session;
    std::string error;
    if (!session.start({"xterm", "xterm"}, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const auto runtime = home.root() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    const std::map<std::string, std::optional<std::string>> environment{
        {"DISPLAY", session.display()}, {"XDG_RUNTIME_DIR", runtime.string()}, {"KAVELO_BACKEND", std::nullopt}};
    const int instance = test::startProgram(KAVELO_BINARY, {}, environment);
    const bool listening = test::waitFor(
        [&] {
            std::error_code ec;
            for (const auto& entry : std::filesystem::directory_iterator(runtime / "kavelo", ec))
                if (entry.path().extension() == ".socket")
                    return true;
            return false;
        },
        std::chrono::seconds(10));
    if (!listening) {
        test::stopProgram(instance);
        state.SkipWithError("the instance did not start");
        return;
    }
    for (auto _ : state) {
        const auto run = test::runProgram(KAVELO_BINARY, {"kavelo://run/tidy"}, environment);
        if (run.status != 0) {
            state.SkipWithError(("the client failed: " + run.err).c_str());
            break;
        }
        state.SetIterationTime(run.took.count());
    }
    test::stopProgram(instance);
}

} // namespace

BENCHMARK(BM_ForwardUrl)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

#endif
