#include "app/services/process_launcher.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kavelo {

OwnProcess OwnProcess::current()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return OwnProcess{.pid = static_cast<std::int32_t>(::getpid()), .executable = ec ? std::string() : exe.string()};
}

namespace {

void closeRange(unsigned first, unsigned last)
{
    if (first > last)
        return;
    if (::syscall(SYS_close_range, first, last, 0) == 0)
        return;
    const long max = ::sysconf(_SC_OPEN_MAX);
    for (long fd = first; fd <= static_cast<long>(last) && fd < (max > 0 ? max : 1024); ++fd)
        ::close(static_cast<int>(fd));
}

void writeError(int fd, int error)
{
    while (::write(fd, &error, sizeof error) < 0 && errno == EINTR) {
    }
}

} // namespace

bool DetachedLauncher::launch(const std::string& program, const std::vector<std::string>& arguments)
{
    // Everything the child needs is built before forking: after the fork
    // only async-signal-safe calls are allowed.
    std::vector<std::string> words;
    words.reserve(arguments.size() + 1);
    words.push_back(program);
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);

    // Tells the parent why exec failed; closes unread when exec succeeds.
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return false;

    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        ::close(report[0]);
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) {
            writeError(report[1], errno);
            ::_exit(1);
        }
        if (grandchild > 0)
            ::_exit(0);
        // The helper starts with the default signal handling, whatever this
        // process had set up.
        struct sigaction defaults {};
        defaults.sa_handler = SIG_DFL;
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGCHLD})
            ::sigaction(signal, &defaults, nullptr);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const unsigned keep = static_cast<unsigned>(report[1]);
        if (keep < 3) {
            closeRange(3, ~0U);
        } else {
            closeRange(3, keep - 1);
            closeRange(keep + 1, ~0U);
        }
        ::execv(argv[0], argv.data());
        writeError(report[1], errno);
        ::_exit(127);
    }

    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return got == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace kavelo
