// The real `kavelo` from spawn to shortcuts: a fresh process on Xvfb with
// openbox, timed until its instance socket accepts (it listens only once the
// launch has registered the global shortcuts). Manual time; the quit after
// each start is not counted.

#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <thread>

namespace {

using namespace kavelo;

void BM_ColdStartToHotKeys(benchmark::State& state)
{
    test::X11Session session;
    std::string error;
    if (!session.start({"xterm"}, &error, test::WindowManager::openboxKeysFree)) {
        state.SkipWithError(error.c_str());
        return;
    }
    test::TempHome home;
    const auto runtime = test::privateRuntime(home);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    test::writeDefaults(home, R"({"welcomed": true})");
    const auto socket = runtime / "kavelo" / (InstancePaths::fileName(session.display()) + ".socket");

    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = session.launch({KAVELO_BINARY});
        while (!test::listens(socket)) {
            if (std::chrono::steady_clock::now() - start > std::chrono::seconds(20)) {
                state.SkipWithError("kavelo never listened");
                break;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        session.terminate(pid);
    }
}
BENCHMARK(BM_ColdStartToHotKeys)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace
