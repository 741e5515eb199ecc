#pragma once

// A process's resident memory as /proc/<pid>/smaps_rollup tells it: all it
// holds in memory (RSS), and its proportional share of what it shares with
// others (Pss), in MB.

#include <fstream>
#include <optional>
#include <string>

namespace kavelo::test {

struct MemoryUse {
    double rss = 0;
    double pss = 0;
};

// "self" for this process; none once the process is gone.
inline std::optional<MemoryUse> memoryUse(const std::string& pid = "self")
{
    std::ifstream in("/proc/" + pid + "/smaps_rollup");
    if (!in)
        return std::nullopt;
    MemoryUse m;
    std::string key, unit;
    double kb = 0;
    while (in >> key) {
        if (key == "Rss:" || key == "Pss:") {
            in >> kb >> unit;
            (key == "Rss:" ? m.rss : m.pss) = kb / 1024;
        } else {
            in.ignore(1 << 12, '\n');
        }
    }
    return m;
}

} // namespace kavelo::test
