#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

namespace kavelo::test {

namespace {

[[noreturn]] void execute(const std::string& path, const std::vector<std::string>& arguments,
                          const std::map<std::string, std::optional<std::string>>& environment)
{
    for (const auto& [name, value] : environment) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
}

int statusOf(int raw)
{
    if (WIFEXITED(raw))
        return WEXITSTATUS(raw);
    return -1;
}

} // namespace

ProgramRun runProgram(const std::string& path, const std::vector<std::string>& arguments,
                      const std::map<std::string, std::optional<std::string>>& environment, double timeoutSeconds)
{
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        execute(path, arguments, environment);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    ProgramRun run;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    int open = 2;
    const auto deadline = start + std::chrono::duration<double>(timeoutSeconds);
    bool killed = false;
    while (open > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 && !killed) {
            ::kill(pid, SIGKILL);
            killed = true;
        }
        if (::poll(fds, 2, killed ? 1000 : int(std::max<long long>(1, left.count()))) < 0)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? run.out : run.err).append(buffer, std::size_t(n));
            }
        }
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    run.took = std::chrono::steady_clock::now() - start;
    run.status = killed ? -1 : statusOf(raw);
    return run;
}

int startProgram(const std::string& path, const std::vector<std::string>& arguments,
                 const std::map<std::string, std::optional<std::string>>& environment)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 1);
        ::dup2(null, 0);
        execute(path, arguments, environment);
    }
    return pid;
}

int stopProgram(int pid)
{
    ::kill(pid, SIGTERM);
    int raw = 0;
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(pid, &raw, WNOHANG) == pid)
            return statusOf(raw);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &raw, 0);
    return -1;
}

} // namespace kavelo::test
