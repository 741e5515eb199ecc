#pragma once

#include "app/services/process_launcher.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace kavelo::test {

// Records what would have been started.
struct FakeLauncher : ProcessLauncher {
    struct Call {
        std::string program;
        std::vector<std::string> arguments;
    };
    std::vector<Call> calls;
    bool succeeds = true;
    bool launch(const std::string& program, const std::vector<std::string>& arguments) override
    {
        calls.push_back({program, arguments});
        return succeeds;
    }
};

// A real process that lives until killed, standing in for the application.
class Sleeper {
public:
    Sleeper()
    {
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execl("/bin/sleep", "sleep", "60", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Sleeper() { stop(); }
    pid_t pid() const { return pid_; }
    // Kills and reaps it, so the pid is really gone.
    void stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = 0;
    }

private:
    pid_t pid_ = 0;
};

inline bool eventually(const std::function<bool()>& condition, double seconds = 10)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

// An executable shell script that records that it ran.
inline std::filesystem::path writeProbe(const std::filesystem::path& folder, const std::filesystem::path& out)
{
    std::filesystem::create_directories(folder);
    const auto script = folder / "probe.sh";
    {
        std::FILE* f = std::fopen(script.c_str(), "w");
        std::fprintf(f, "#!/bin/sh\necho \"ran${KAVELO_RELAUNCHED:+ relaunched}\" >> '%s'\n", out.c_str());
        std::fclose(f);
    }
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    return script;
}

} // namespace kavelo::test
