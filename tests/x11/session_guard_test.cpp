// A test killed on its timeout takes its X server, window manager and
// programs with it: the suite runs itself as the killed test.

#include "support/seen.h"
#include "support/wait_for.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <regex>
#include <string>

extern char** environ;

namespace kavelo::testing {
namespace {

constexpr const char* childVariable = "KAVELO_SESSION_GUARD_CHILD";

// The killed test: a session and one program, their pids on its output,
// then nothing until it is killed.
void beTheKilledTest()
{
    test::X11Session session;
    std::string error;
    if (!session.start({}, &error)) {
        std::printf("no session: %s\n", error.c_str());
        std::exit(1);
    }
    const pid_t program = session.launch({"sleep", "600"});
    std::smatch server;
    const std::string described = session.describe();
    std::regex_search(described, server, std::regex("Xvfb \\(pid ([0-9]+)"));
    std::printf("pids %s %d\n", server.size() > 1 ? server[1].str().c_str() : "0", program);
    std::fflush(stdout);
    for (;;)
        ::pause();
}

TEST(SessionGuard, ATestKilledOnItsTimeoutLeavesNoServerOrProgramRunning)
{
    if (std::getenv(childVariable))
        beTheKilledTest();

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string filter = std::string("--gtest_filter=") + ::testing::UnitTest::GetInstance()->current_test_suite()->name() +
                         "." + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), filter.data(), nullptr};
    ::setenv(childVariable, "1", 1);
    pid_t child = -1;
    const int spawned = posix_spawn(&child, self.c_str(), &actions, nullptr, argv, environ);
    ::unsetenv(childVariable);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ASSERT_EQ(spawned, 0);

    std::string said;
    pid_t server = 0, program = 0;
    const auto started = test::waitFor(
        [&] {
            pollfd fd{out[0], POLLIN, 0};
            char buffer[256];
            if (::poll(&fd, 1, 10) > 0) {
                const ssize_t n = ::read(out[0], buffer, sizeof buffer);
                if (n > 0)
                    said.append(buffer, std::size_t(n));
            }
            const auto line = said.find("pids ");
            return (line != std::string::npos && said.find('\n', line) != std::string::npos &&
                    std::sscanf(said.c_str() + line, "pids %d %d", &server, &program) == 2) ||
                   said.find("no session") != std::string::npos;
        },
        test::startDeadline);
    ::close(out[0]);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(started) << "the killed test said: " << said;
    ASSERT_GT(server, 0) << said;
    ASSERT_GT(program, 0) << said;

    EXPECT_TRUE(test::waitFor([&] { return test::ended(server); }, test::answerDeadline))
        << "server " << test::describeProcess(server);
    EXPECT_TRUE(test::waitFor([&] { return test::ended(program); }, test::answerDeadline))
        << "program " << test::describeProcess(program);
}

} // namespace
} // namespace kavelo::testing
