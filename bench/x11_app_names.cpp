// Naming the applications of 40 windows as the X11 backend does on every
// list of running applications: one look for changed entry folders, then
// each window's class (or instance) against 300 installed desktop entries,
// the cache warm.

#include "app/platform/desktop_entries.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace kavelo;

struct WindowClass {
    std::string wmClass, instance, command;
};

void BM_X11AppNames(benchmark::State& state)
{
    const auto data = std::filesystem::temp_directory_path() / "kavelo-bench-app-names";
    std::filesystem::remove_all(data);
    const auto applications = data / "applications";
    std::filesystem::create_directories(applications / "vendor");
    for (int i = 0; i < 300; ++i) {
        // Most entries name their class; some are known by their id only.
        const bool byId = i % 6 == 0;
        const auto file = (i % 10 == 0 ? applications / "vendor" : applications) /
                          ((byId ? "tool" : "org.example.App") + std::to_string(i) + ".desktop");
        std::ofstream(file) << "[Desktop Entry]\nType=Application\nName=Application " << i
                            << "\nName[de]=Anwendung " << i << "\nExec=app" << i << " %U\nIcon=app" << i << "\n"
                            << (byId ? std::string() : "StartupWMClass=App" + std::to_string(i) + "\n");
    }
    DesktopEntries entries({data}, "de_DE.UTF-8");

    std::vector<WindowClass> windows;
    for (int i = 0; i < int(state.range(0)); ++i) {
        const int n = i * 7 % 300;
        switch (i % 4) {
        case 0: windows.push_back({"App" + std::to_string(n + (n % 6 == 0)), "app", ""}); break;
        case 1: windows.push_back({"Tool" + std::to_string(n - n % 6), "tool", ""}); break;
        case 2: windows.push_back({"Unlisted" + std::to_string(i), "unlisted", ""}); break;
        default: windows.push_back({"", "", "command" + std::to_string(i)}); break;
        }
    }
    for (auto _ : state) {
        entries.refresh();
        for (const WindowClass& w : windows)
            benchmark::DoNotOptimize(
                applicationName(entries, ProgramIdentity{.wmClass = w.wmClass, .instance = w.instance}, w.command));
    }
    if (entries.size() != 300 || entries.reads() != 1)
        state.SkipWithError("the entries were not all read, or read more than once");
    std::filesystem::remove_all(data);
}
BENCHMARK(BM_X11AppNames)->Arg(40);

} // namespace
