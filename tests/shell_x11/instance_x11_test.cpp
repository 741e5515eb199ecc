// The running `kavelo` under hostile and careless use, on a private Xvfb
// with openbox: every way of writing the display reaches the one instance;
// idle and slow connections keep no start waiting; a burst of requests stays
// bounded and a quit is still heard; a setting that cannot be saved fails
// the start that changed it; a restart by the watchdog never opens the
// panel; fifos in place of its files do not hang the start.

#include "app/services/user_defaults.h"
#include "app/services/watchdog.h"
#include "app/shell/instance_server.h"
#include "shell_x11/kavelo_x11_fixture.h"
#include "support/seen.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <thread>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class InstanceX11 : public KaveloX11Test {
protected:
    void SetUp() override
    {
        KaveloX11Test::SetUp();
        if (!IsSkipped() && !HasFatalFailure())
            writeDefaults(R"({"welcomed": true})");
    }

    static std::size_t count(const std::string& text, const std::string& word)
    {
        std::size_t n = 0;
        for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
            ++n;
        return n;
    }
    std::string storedMode() const
    {
        return UserDefaults(home->paths().userDefaults).text("arrangeMode").value_or("");
    }
    static long residentKilobytes(pid_t pid)
    {
        std::ifstream in("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(in, line);)
            if (line.starts_with("VmRSS:"))
                return std::stol(line.substr(6));
        return -1;
    }
};

TEST_F(InstanceX11, EveryWayOfWritingTheDisplayReachesTheOneInstance)
{
    startKavelo();
    const std::string number = session->display().substr(session->display().rfind(':') + 1);
    for (const std::string& display : {":" + number + ".0", "unix:" + number, "localhost:" + number + ".0"}) {
        const auto run = kavelo({"kavelo://mode/off"}, display);
        EXPECT_EQ(run.status, 0) << display << ": " << run.err;
        EXPECT_EQ(run.err, "") << display;
    }
    EXPECT_EQ(count(log(), " started"), 1u) << log();
    EXPECT_EQ(count(log(), "unexpected exit"), 0u) << log();
}

TEST_F(InstanceX11, IdleAndTricklingConnectionsKeepNoStartWaiting)
{
    startKavelo();
    std::vector<int> slow;
    for (int i = 0; i < 42; ++i) {
        slow.push_back(connectTo(socketPath()));
        ASSERT_GE(slow.back(), 0);
    }
    std::atomic<bool> trickling{true};
    std::thread trickle([&] {
        for (int round = 0; trickling && round < 40; ++round) {
            for (std::size_t i = 2; i < slow.size(); ++i)
                ::send(slow[i], " ", 1, MSG_NOSIGNAL);
            std::this_thread::sleep_for(100ms);
        }
    });
    const auto run = kavelo({"kavelo://mode/auto"});
    // Answered while the idle ones still wait for their deadline, and done.
    pollfd idle{slow[0], POLLIN, 0};
    const bool idleAnswered = ::poll(&idle, 1, 0) > 0;
    trickling = false;
    trickle.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_FALSE(idleAnswered) << "the start waited for an idle connection's deadline";
    EXPECT_EQ(storedMode(), "auto");
    for (const int fd : slow)
        ::close(fd);
}

TEST_F(InstanceX11, ABurstOfRequestsStaysBoundedAndAQuitIsStillHeard)
{
    const pid_t pid = startKavelo();
    const long before = residentKilobytes(pid);
    std::atomic<int> answered{0};
    std::atomic<bool> flooding{true};
    const auto flood = [&] {
        const std::string request = InstanceRequest{}.encode() + "\n";
        while (flooding) {
            std::vector<int> open;
            for (int i = 0; i < 50 && flooding; ++i) {
                const int fd = connectTo(socketPath());
                if (fd < 0)
                    break;
                ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
                open.push_back(fd);
            }
            for (const int fd : open) {
                char line[256];
                if (::recv(fd, line, sizeof line, 0) > 0)
                    ++answered;
                ::close(fd);
            }
            if (open.empty())
                return;
        }
    };
    std::vector<std::thread> floods;
    for (int i = 0; i < 4; ++i)
        floods.emplace_back(flood);
    ASSERT_TRUE(test::waitFor([&] { return answered >= 3000; }, 60s)) << answered;
    const long during = residentKilobytes(pid);

    // A quit in the middle of it.
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    const bool quit = test::waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, test::answerDeadline);
    flooding = false;
    for (auto& f : floods)
        f.join();
    ASSERT_TRUE(quit) << "SIGTERM unheard under the burst";
    ended(pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(log().find(" quit"), std::string::npos) << log();
    EXPECT_LT(during - before, 64 * 1024) << "kilobytes kept by the burst: " << during - before;
}

TEST_F(InstanceX11, ASettingThatCannotBeSavedFailsTheStartThatChangedIt)
{
    startKavelo();
    // A file where the settings folder belongs fails every write, even as root.
    const auto folder = home->paths().userDefaults.parent_path();
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "in the way";
    auto run = kavelo({"kavelo://mode/auto"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "kavelo: the change was made, but your settings could not be saved: not a directory\n");
    // A start that changes no setting is done.
    run = kavelo({"kavelo://run/tidy"});
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST_F(InstanceX11, ARestartByTheWatchdogNeverOpensThePanelOnlyAStartTheUserMakesDoes)
{
    // Quit, and started again at once: the first one's watcher, still
    // waiting, sees the new run's marker and starts Kavelo once more.
    const pid_t first = startKavelo();
    // Its watcher: a shell waiting on it, which becomes the restarted Kavelo.
    std::optional<pid_t> watcher;
    ASSERT_TRUE(test::waitFor(
        [&] {
            for (const auto& [pid, arguments] : test::processesWith(Watchdog::watcherName))
                if (std::find(arguments.begin(), arguments.end(), std::to_string(first)) != arguments.end())
                    watcher = pid;
            return watcher.has_value();
        },
        test::answerDeadline))
        << "no watcher waits on kavelo";
    ASSERT_EQ(::kill(first, SIGTERM), 0);
    ASSERT_TRUE(test::waitFor([&] { return ::waitpid(first, nullptr, WNOHANG) == first; }, test::answerDeadline));
    ended(first);
    startKavelo();
    // The restart found Kavelo running and ended.
    ASSERT_TRUE(test::waitFor([&] { return test::ended(*watcher); }, test::answerDeadline))
        << "the watcher still runs: " << test::describeProcess(*watcher);
    session->sync();
    EXPECT_FALSE(panelShown()) << "the restart passed for a second start";
    EXPECT_EQ(count(log(), " started"), 2u) << log();

    // The user's own second start does open it.
    EXPECT_EQ(kavelo({}).status, 0);
    EXPECT_TRUE(test::waitFor([&] { return panelShown(); }, test::answerDeadline));
}

TEST_F(InstanceX11, FifosInPlaceOfItsFilesDoNotHangTheStart)
{
    const auto paths = home->paths();
    std::filesystem::remove(paths.userDefaults);
    std::filesystem::create_directories(paths.applicationSupport / "Layouts");
    for (const auto& file : {paths.userDefaults, paths.applicationSupport / "launches.json",
                             paths.applicationSupport / "Layouts" / "Desk.json"})
        ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0) << file;
    startKavelo();
    // A second start lists the workflows too, to check a switch.
    const auto run = kavelo({"kavelo://switch/Desk"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kavelo: no workflow named \"Desk\" in kavelo://switch/Desk\n");
}

} // namespace
} // namespace kavelo::testing
