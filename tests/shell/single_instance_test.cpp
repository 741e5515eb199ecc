// One instance per display: the lock, the runtime folder's safety, the
// request line and its strict decoding, a second start's reopen, and a
// dead instance replaced.

#include "app/platform/manual_scheduler.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

using namespace kavelo;

namespace {

bool waitForPath(const std::filesystem::path& path)
{
    for (int i = 0; i < 400 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return std::filesystem::exists(path);
}

class SingleInstanceTest : public ::testing::Test {
protected:
    std::function<std::optional<std::string>(std::string_view)> runtimeIs(std::filesystem::path folder)
    {
        return [folder](std::string_view name) -> std::optional<std::string> {
            if (name == "XDG_RUNTIME_DIR")
                return folder.string();
            return std::nullopt;
        };
    }
    InstancePaths paths()
    {
        std::string error;
        auto made = InstancePaths::make(runtimeIs(home.root()), ::getuid(), ":7", &error);
        EXPECT_TRUE(made) << error;
        return *made;
    }
    // Runs the scheduler until `done` or two seconds pass.
    bool pumpUntil(const std::function<bool()>& done)
    {
        for (int i = 0; i < 400 && !done(); ++i) {
            scheduler.runPending();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }
    // Sends raw bytes, then the write side closes; the answer line.
    std::string raw(const std::filesystem::path& socket, const std::string& bytes)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strcpy(a.sun_path, socket.c_str());
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return "no connection";
        }
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += std::size_t(n);
        }
        ::shutdown(fd, SHUT_WR);
        std::string answer;
        char c = 0;
        while (::recv(fd, &c, 1, 0) == 1 && c != '\n')
            answer += c;
        ::close(fd);
        return answer;
    }

    test::TempHome home;
    ManualScheduler scheduler;
};

TEST_F(SingleInstanceTest, TwoRacingStartsOneHoldsTheLock)
{
    const auto p = paths();
    EXPECT_EQ(p.folder, home.root() / "kavelo");
    EXPECT_EQ(p.lock.filename(), ":7.lock");
    std::optional<InstanceLock> first, second;
    std::thread a([&] { first = InstanceLock::acquire(p.lock, nullptr); });
    std::thread b([&] { second = InstanceLock::acquire(p.lock, nullptr); });
    a.join();
    b.join();
    EXPECT_NE(first.has_value(), second.has_value());
    first.reset();
    second.reset();
    std::string error;
    EXPECT_TRUE(InstanceLock::acquire(p.lock, &error)) << "free again once the holder lets go";
}

TEST_F(SingleInstanceTest, ASecondStartsReopenReachesTheRunningOne)
{
    const auto p = paths();
    auto lock = InstanceLock::acquire(p.lock, nullptr);
    ASSERT_TRUE(lock);
    int reopened = 0;
    InstanceServer server(scheduler, [&](const InstanceRequest& r) {
        EXPECT_EQ(r.kind, InstanceRequest::Kind::reopen);
        ++reopened;
    });
    std::string error;
    ASSERT_TRUE(server.listen(p.socket, &error)) << error;

    EXPECT_FALSE(InstanceLock::acquire(p.lock, &error));
    EXPECT_TRUE(error.empty()) << "held, not broken";
    const auto answer = sendToRunningInstance(p.socket, InstanceRequest{});
    EXPECT_EQ(answer, InstanceServer::okAnswer);
    EXPECT_EQ(reopened, 0) << "acted on only on the main thread";
    EXPECT_TRUE(pumpUntil([&] { return reopened == 1; }));
}

TEST_F(SingleInstanceTest, ASecondStartWaitsWhileTheHolderLaunches)
{
    const auto p = paths();
    int reopened = 0;
    InstanceServer server(scheduler, [&](const InstanceRequest&) { ++reopened; });
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::string error;
        server.listen(p.socket, &error);
    });
    const auto answer = sendToRunningInstance(p.socket, InstanceRequest{}, 2.0);
    late.join();
    EXPECT_EQ(answer, InstanceServer::okAnswer);
    EXPECT_FALSE(sendToRunningInstance(home.root() / "nobody.socket", InstanceRequest{}, 0.2));
}

TEST_F(SingleInstanceTest, AnythingButOneGoodLineIsRefusedAndDoesNothing)
{
    const auto p = paths();
    int reopened = 0;
    InstanceServer server(scheduler, [&](const InstanceRequest&) { ++reopened; });
    std::string error;
    ASSERT_TRUE(server.listen(p.socket, &error));
    for (const std::string bad : {"{\"request\":\"reopen\",\"extra\":1}\n", "{\"request\":\"REOPEN\"}\n",
                                  "{\"request\":1}\n", "[\"reopen\"]\n", "reopen\n", "{\"request\":\"reopen\"",
                                  "\n"}) {
        const std::string answer = raw(p.socket, bad);
        EXPECT_NE(answer.find("\"error\""), std::string::npos) << bad << " answered " << answer;
    }
    const std::string huge = "{\"request\":\"" + std::string(InstanceRequest::maxLine + 10, 'x') + "\"}\n";
    EXPECT_NE(raw(p.socket, huge).find("too long"), std::string::npos);
    EXPECT_EQ(raw(p.socket, "{\"request\":\"reopen\"}\n"), InstanceServer::okAnswer);
    EXPECT_TRUE(pumpUntil([&] { return reopened == 1; }));
    scheduler.runPending();
    EXPECT_EQ(reopened, 1);
}

TEST_F(SingleInstanceTest, AKilledInstanceIsReplaced)
{
    const auto p = paths();
    const pid_t child = ::fork();
    if (child == 0) {
        ManualScheduler own;
        auto lock = InstanceLock::acquire(p.lock, nullptr);
        InstanceServer server(own, [](const InstanceRequest&) {});
        std::string error;
        if (!lock || !server.listen(p.socket, &error))
            ::_exit(3);
        for (;;)
            ::pause();
    }
    ASSERT_GT(child, 0);
    ASSERT_TRUE(waitForPath(p.socket)) << "the child listens";
    EXPECT_FALSE(InstanceLock::acquire(p.lock, nullptr));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);

    std::string error;
    auto lock = InstanceLock::acquire(p.lock, &error);
    ASSERT_TRUE(lock) << error;
    EXPECT_TRUE(std::filesystem::exists(p.socket)) << "the dead one's socket is left";
    int reopened = 0;
    InstanceServer server(scheduler, [&](const InstanceRequest&) { ++reopened; });
    ASSERT_TRUE(server.listen(p.socket, &error)) << error;
    EXPECT_EQ(sendToRunningInstance(p.socket, InstanceRequest{}), InstanceServer::okAnswer);
    EXPECT_TRUE(pumpUntil([&] { return reopened == 1; }));
}

TEST_F(SingleInstanceTest, AnUnsafeRuntimeFolderIsRefusedWithAReason)
{
    const auto elsewhere = home.root() / "elsewhere";
    std::filesystem::create_directories(elsewhere);
    const auto link = home.root() / "runtime-link";
    std::filesystem::create_directory_symlink(elsewhere, link);
    std::string error;
    EXPECT_FALSE(InstancePaths::make(runtimeIs(link), ::getuid(), ":0", &error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;

    const auto runtime = home.root() / "runtime";
    std::filesystem::create_directories(runtime);
    std::filesystem::create_directory_symlink(elsewhere, runtime / "kavelo");
    EXPECT_FALSE(InstancePaths::make(runtimeIs(runtime), ::getuid(), ":0", &error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;

    const auto theirs = home.root() / "theirs";
    std::filesystem::create_directories(theirs / "kavelo");
    if (::getuid() == 0 && ::chown((theirs / "kavelo").c_str(), 4321, 4321) == 0) {
        EXPECT_FALSE(InstancePaths::make(runtimeIs(theirs), 0, ":0", &error));
        EXPECT_NE(error.find("another user"), std::string::npos) << error;
    }
    EXPECT_FALSE(InstancePaths::make(runtimeIs(home.root()), ::getuid() + 1, ":0", &error))
        << "a runtime folder that is not ours";
}

TEST_F(SingleInstanceTest, OurFolderIsMadePrivate)
{
    const auto runtime = home.root() / "run";
    std::filesystem::create_directories(runtime / "kavelo");
    std::filesystem::permissions(runtime / "kavelo", std::filesystem::perms::all);
    std::string error;
    const auto made = InstancePaths::make(runtimeIs(runtime), ::getuid(), "host:10.0", &error);
    ASSERT_TRUE(made) << error;
    EXPECT_EQ(std::filesystem::status(made->folder).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
    EXPECT_EQ(made->socket.filename(), "host:10.0.socket");
    EXPECT_EQ(InstancePaths::fileName("../x/y"), ".._x_y");
}

} // namespace
