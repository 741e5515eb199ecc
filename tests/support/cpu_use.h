#pragma once

// How much of a processor a process takes, as /proc/<pid>/stat tells it:
// its user and system time (fields 14 and 15), every thread's together.

#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

namespace kavelo::test {

// Seconds of processor time used so far; none once the process is gone.
inline std::optional<double> cpuSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(in, text))
        return std::nullopt;
    // The name in field 2 may hold blanks and parentheses: count from its end.
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::string skipped;
    for (int field = 3; field < 14; ++field)
        fields >> skipped;
    unsigned long long user = 0, system = 0;
    if (!(fields >> user >> system))
        return std::nullopt;
    return double(user + system) / double(::sysconf(_SC_CLK_TCK));
}

// The share of one core the process takes over the next `span`, waited
// through here; none when it ended meanwhile.
inline std::optional<double> cpuShare(pid_t pid, std::chrono::milliseconds span)
{
    const auto before = cpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(span);
    const auto after = cpuSeconds(pid);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!before || !after)
        return std::nullopt;
    return (*after - *before) / took.count();
}

} // namespace kavelo::test
