#pragma once

// Plain descriptions of what a test waits on, for its give-up reports:
// a process and the group it leads, a file.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace kavelo::test {

// "firefox-esr (pid 12): running, 4 processes in its group, 3.1 s of
// processor"; "exited, not reaped"; "gone".
std::string describeProcess(pid_t pid);

// Whether the process has ended: gone, or exited and not yet reaped (a
// program we did not start may wait long for its parent to reap it).
bool ended(pid_t pid);

// The processes whose command line holds `argument`, each in full.
std::vector<std::pair<pid_t, std::vector<std::string>>> processesWith(const std::string& argument);

// "absent"; "1796 bytes, written 2.4 s ago"; "a directory".
std::string describeFile(const std::filesystem::path& path);

// The machine's load: "load 7.9 5.1 3.2 on 2 usable cores".
std::string describeLoad();

} // namespace kavelo::test
