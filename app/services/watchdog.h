#pragma once

// Keeps the application running and keeps the engine log.
//
// At launch a marker file says the application runs, and a small shell
// process waits for this process to end; it starts the program again when
// the marker is still there, that is, when the application did not quit
// cleanly. At most 3 such restarts within 120 s get a watcher, so a crash
// loop ends. The engine log is a text file of lines "time message".

#include "app/platform/paths.h"
#include "app/platform/scheduler.h"
#include "app/services/process_launcher.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace kavelo {

class Watchdog {
public:
    struct Files {
        std::filesystem::path support;    // Application Support
        std::filesystem::path running;    // exists while the application runs
        std::filesystem::path launches;   // times of recent unclean starts
        std::filesystem::path logFile;
        static Files from(const Paths& paths);
    };

    Watchdog(const Paths& paths, Clock& clock, ProcessLauncher& launcher, OwnProcess process);

    // Appends "time message" to the engine log; never fails visibly. Line
    // breaks inside the message become blanks, so every event stays one line.
    void log(std::string_view message);
    // Launch-time bookkeeping and the watcher; once per launch.
    void start();
    // Removes the marker and logs "quit".
    void markCleanExit();

    const Files& files() const { return files_; }

    // The unclean starts kept: times within the window, in order written.
    std::vector<double> recentLaunches() const;

    static constexpr double window = 120;       // seconds
    static constexpr std::size_t maxRestarts = 3;
    static constexpr const char* shell = "/bin/sh";
    static constexpr const char* watcherName = "kavelo-watchdog";
    // $1 the pid to wait for, $2 the marker, $3 the executable. The
    // restart says it is one (`relaunchedVariable`): when another start
    // came first, it must not pass for a second start.
    static constexpr const char* watcherScript = "while kill -0 \"$1\" 2>/dev/null; do /bin/sleep 2; done; "
                                                 "[ -e \"$2\" ] && KAVELO_RELAUNCHED=1 exec \"$3\"";
    static constexpr const char* relaunchedVariable = "KAVELO_RELAUNCHED";

private:
    Files files_;
    Clock& clock_;
    ProcessLauncher& launcher_;
    OwnProcess process_;
};

} // namespace kavelo
