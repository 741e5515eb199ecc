// Reading hostile Firefox files, made here: a session of 200,000 tabs, one
// whose text is 255 MB of nested zeros (each about 1 MB on disk), and a
// profiles.ini of 1 MB listing about 40,000 profiles. Each run reports the
// file's size and how far the process's resident memory rose while it read
// (peakMB, over startMB).

#include "app/services/firefox_profiles.h"
#include "app/services/firefox_session.h"
#include "app/services/moz_lz4.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <string>
#include <unistd.h>

using namespace kavelo;

namespace {

namespace fs = std::filesystem;

// A folder of its own, removed when the run ends.
class Scratch {
public:
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "kavelo-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            std::abort();
        folder_ = pattern;
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    const fs::path& folder() const { return folder_; }

private:
    fs::path folder_;
};

fs::path scratch()
{
    static const Scratch instance;
    return instance.folder();
}

void write(const fs::path& file, std::string_view bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

// The process's resident memory now and at its peak since the reset.
double memoryMB(std::string_view field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field))
            return std::stod(line.substr(field.size())) / 1024;
    return 0;
}

struct Peak {
    double start = 0;
    double peak = 0;
    void begin()
    {
        // What earlier runs freed goes back to the system first.
        ::malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5";
        start = memoryMB("VmRSS:");
    }
    void end() { peak = std::max(peak, memoryMB("VmHWM:") - start); }
    void report(benchmark::State& state) const
    {
        state.counters["startMB"] = start;
        state.counters["peakMB"] = peak;
    }
};

std::string tab(int i)
{
    return R"({"entries":[{"url":"https://example.com/)" + std::to_string(i % 1000) +
           R"(","title":"Example"}],"index":1,"pinned":false})";
}

fs::path sessionOfTabs(int tabs)
{
    const fs::path file = scratch() / ("tabs-" + std::to_string(tabs)) / "recovery.jsonlz4";
    if (fs::exists(file))
        return file;
    std::string text = R"({"version":["sessionrestore",1],"windows":[{"tabs":[)";
    for (int i = 0; i < tabs; ++i)
        text += (i ? "," : "") + tab(i);
    text += "]}]}";
    write(file, MozLz4::encode(text));
    return file;
}

// One tab, then 255 MB of zeros in arrays nested as deep as a session may
// go: all of it must be read.
fs::path sessionOfZeros()
{
    const fs::path file = scratch() / "zeros" / "recovery.jsonlz4";
    if (fs::exists(file))
        return file;
    const auto depth = std::size_t(FirefoxSession::deepestNesting - 2);
    const std::size_t size = 255u << 20;
    std::string text;
    text.reserve(size);
    text.append(R"({"windows":[{"tabs":[)").append(tab(0)).append(R"(]}],"junk":)").append(depth, '[').append("0");
    while (text.size() < size - depth - 1)
        text += ",0";
    text.append(depth, ']').append("}");
    write(file, MozLz4::encode(text));
    return file;
}

// The folder of a profiles.ini of at most `bytes`, and how many profiles it
// lists.
std::pair<fs::path, int> profilesOf(std::size_t bytes)
{
    const fs::path base = scratch() / ("profiles-" + std::to_string(bytes));
    std::string ini;
    int i = 0;
    for (;; ++i) {
        const std::string section = "[Profile" + std::to_string(i) + "]\nPath=p" + std::to_string(i) + "\n";
        if (ini.size() + section.size() > bytes)
            break;
        ini += section;
    }
    write(base / "profiles.ini", ini);
    return {base, i};
}

void readSession(benchmark::State& state, const fs::path& file)
{
    Peak memory;
    std::size_t tabs = 0;
    for (auto _ : state) {
        memory.begin();
        std::string problem;
        const auto windows = FirefoxSession::read(file, &problem);
        tabs = windows ? FirefoxSession::addresses(*windows).size() : 0;
        benchmark::DoNotOptimize(windows);
        memory.end();
    }
    state.counters["fileKB"] = double(fs::file_size(file)) / 1024;
    state.counters["tabs"] = double(tabs);
    memory.report(state);
}

void BM_FirefoxSessionOf200kTabs(benchmark::State& state) { readSession(state, sessionOfTabs(200'000)); }
BENCHMARK(BM_FirefoxSessionOf200kTabs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FirefoxSessionOf100kTabs(benchmark::State& state) { readSession(state, sessionOfTabs(100'000)); }
BENCHMARK(BM_FirefoxSessionOf100kTabs)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FirefoxSessionOf255MBOfZeros(benchmark::State& state) { readSession(state, sessionOfZeros()); }
BENCHMARK(BM_FirefoxSessionOf255MBOfZeros)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FirefoxProfilesIniOf1MB(benchmark::State& state)
{
    const auto [base, profiles] = profilesOf(1u << 20);
    Peak memory;
    for (auto _ : state) {
        memory.begin();
        const auto used = FirefoxProfiles::inUse(base, {::getpid()});
        benchmark::DoNotOptimize(used);
        memory.end();
    }
    state.counters["profiles"] = profiles;
    memory.report(state);
}
BENCHMARK(BM_FirefoxProfilesIniOf1MB)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
