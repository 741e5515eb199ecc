#pragma once

// Runs a program as its own process with extra environment variables and
// collects its standard output, standard error and exit status. A program
// still running after `timeoutSeconds` is killed and reported as status -1.

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kavelo::test {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
    std::chrono::duration<double> took{};
};

// `environment` entries are set (an empty optional unsets the variable) on
// top of this process's own environment.
ProgramRun runProgram(const std::string& path, const std::vector<std::string>& arguments,
                      const std::map<std::string, std::optional<std::string>>& environment = {},
                      double timeoutSeconds = 20);

// Starts it in the background; the process id. Its output is dropped.
int startProgram(const std::string& path, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::optional<std::string>>& environment = {});
// Ends a background program (SIGTERM, then SIGKILL after two seconds);
// its exit status.
int stopProgram(int pid);

} // namespace kavelo::test
