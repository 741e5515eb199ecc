#include "app/services/termination_signals.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace kavelo {

namespace {

std::atomic<int> signalPipe{-1};

// Only async-signal-safe work here.
void forward(int signal)
{
    const int saved = errno;
    const int fd = signalPipe.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signal);
        (void)::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

TerminationSignals::TerminationSignals(Scheduler& scheduler, std::function<void(int signal)> quit)
    : scheduler_(scheduler), quit_(std::move(quit))
{
    if (signalPipe.load() >= 0 || ::pipe2(pipe_, O_CLOEXEC) != 0)
        return;
    signalPipe.store(pipe_[1]);
    struct sigaction action {};
    action.sa_handler = forward;
    sigemptyset(&action.sa_mask);
    // Back to the default after the first one, so a stuck quit can still be ended.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    if (::sigaction(SIGTERM, &action, &previousTerm_) != 0 || ::sigaction(SIGINT, &action, &previousInt_) != 0) {
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
        signalPipe.store(-1);
        ::close(pipe_[0]);
        ::close(pipe_[1]);
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    installed_ = true;
    reader_ = std::thread([this] { read(); });
}

TerminationSignals::~TerminationSignals()
{
    if (!installed_)
        return;
    ::sigaction(SIGTERM, &previousTerm_, nullptr);
    ::sigaction(SIGINT, &previousInt_, nullptr);
    signalPipe.store(-1);
    const unsigned char stop = 0;
    while (::write(pipe_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    reader_.join();
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void TerminationSignals::read()
{
    for (;;) {
        unsigned char byte = 0;
        const ssize_t got = ::read(pipe_[0], &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || byte == 0)
            return;
        const int signal = byte;
        scheduler_.post(alive_.guard([this, signal] { quit_(signal); }));
    }
}

} // namespace kavelo
