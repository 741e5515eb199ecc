#pragma once

// Turns SIGTERM and SIGINT into a normal quit: the handler only writes the
// signal's number to a pipe; a small reader thread hands it to the main
// thread through the scheduler, where `quit` runs the clean-exit work. A
// second identical signal while the quit is under way ends the process the
// default way. One instance at a time.

#include "app/platform/handle.h"
#include "app/platform/scheduler.h"

#include <csignal>
#include <functional>
#include <thread>

namespace kavelo {

class TerminationSignals {
public:
    TerminationSignals(Scheduler& scheduler, std::function<void(int signal)> quit);
    // Puts the previous handlers back.
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool installed() const { return installed_; }

private:
    void read();

    Scheduler& scheduler_;
    std::function<void(int)> quit_;
    int pipe_[2] = {-1, -1};
    struct sigaction previousTerm_ {};
    struct sigaction previousInt_ {};
    bool installed_ = false;
    Liveness alive_;
    std::thread reader_;
};

} // namespace kavelo
