// One instance per display: the lock and the canonical display it is named
// after, the runtime folder's safety and its fallback, the request line and
// its strict decoding, the server on an event loop (clients side by side,
// deadlines, answers once the work is done) and a dead instance replaced.

#include "app/platform/manual_scheduler.h"
#include "app/shell/instance_server.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <map>
#include <thread>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

bool waitForPath(const std::filesystem::path& path)
{
    for (int i = 0; i < 400 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(5ms);
    return std::filesystem::exists(path);
}

// An event loop of the test's own: descriptors by poll, time by hand.
class PollLoop {
public:
    ReadableWatch watch()
    {
        return [this](int fd, std::function<void()> ready) {
            const int id = next_++;
            watched_[id] = {fd, std::make_shared<std::function<void()>>(std::move(ready))};
            return Handle::withCancel([this, id] { watched_.erase(id); });
        };
    }
    // One turn: what is readable runs, then the scheduler's due work.
    void turn(int waitMs = 5)
    {
        std::vector<pollfd> fds;
        std::vector<int> ids;
        for (const auto& [id, w] : watched_) {
            fds.push_back({w.fd, POLLIN, 0});
            ids.push_back(id);
        }
        if (::poll(fds.data(), fds.size(), waitMs) > 0)
            for (std::size_t i = 0; i < fds.size(); ++i)
                if (fds[i].revents)
                    if (const auto it = watched_.find(ids[i]); it != watched_.end()) {
                        const auto ready = it->second.ready;
                        (*ready)();
                    }
        scheduler.runPending();
    }
    // Turns until `done` or about two seconds of turns.
    bool until(const std::function<bool()>& done)
    {
        for (int i = 0; i < 400 && !done(); ++i)
            turn();
        return done();
    }

    ManualScheduler scheduler;

private:
    struct Watched {
        int fd;
        std::shared_ptr<std::function<void()>> ready;
    };
    std::map<int, Watched> watched_;
    int next_ = 0;
};

int connectTo(const std::filesystem::path& socket)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strcpy(a.sun_path, socket.c_str());
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends raw bytes, then closes the write side; the answer line.
std::string raw(const std::filesystem::path& socket, const std::string& bytes)
{
    const int fd = connectTo(socket);
    if (fd < 0)
        return "no connection";
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
    // A server on the test's loop whose actions are recorded; `save` says
    // whether the settings could be saved.
    std::unique_ptr<InstanceServer> server(std::function<bool(const InstanceAction&)> run = {})
    {
        if (!run)
            run = [this](const InstanceAction& action) {
                actions.push_back(action);
                return action.kind == InstanceAction::Kind::url && action.url.starts_with("kavelo://mode/");
            };
        return std::make_unique<InstanceServer>(loop.scheduler, loop.watch(),
                                                InstanceServer::Program{.run = std::move(run), .save = [this] {
                                                                            ++saves;
                                                                            return unsaved;
                                                                        }});
    }
    // `request` sent from another thread while the loop turns here; its answer.
    std::optional<std::string> send(const std::filesystem::path& socket, const InstanceRequest& request)
    {
        auto answer = std::async(std::launch::async, [&] { return sendToRunningInstance(socket, request); });
        loop.until([&] { return answer.wait_for(0s) == std::future_status::ready; });
        return answer.get();
    }

    test::TempHome home;
    PollLoop loop;
    std::vector<InstanceAction> actions;
    int saves = 0;
    std::optional<std::string> unsaved;
};

} // namespace

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

TEST_F(SingleInstanceTest, EveryWayOfWritingADisplayNamesOneLock)
{
    // Two instances on one display, each holding a lock of its own.
    for (const char* local : {":1", ":1.0", ":01", "unix:1", "unix:1.2", "localhost:1", "LocalHost:1.0", "127.0.0.1:1",
                              "[::1]:1", "desk:1", "desk.example/unix:1", "unix/:1", "tcp/localhost:1",
                              "/tmp/.X11-unix/X1"})
        EXPECT_EQ(InstancePaths::canonicalDisplay(local, "desk"), ":1") << local;
    EXPECT_EQ(InstancePaths::canonicalDisplay("Far.Example:10.0", "desk"), "far.example:10");
    EXPECT_EQ(InstancePaths::canonicalDisplay("tcp/far:3", "desk"), "far:3");
    EXPECT_EQ(InstancePaths::canonicalDisplay(":2", "desk"), ":2");
    EXPECT_EQ(InstancePaths::canonicalDisplay("sim", "desk"), "sim");
    EXPECT_EQ(InstancePaths::canonicalDisplay("node::0", "desk"), "node::0");
    EXPECT_EQ(InstancePaths::fileName(":1.0"), ":1");
    EXPECT_EQ(InstancePaths::fileName("../x/y"), ".._x_y");

    std::string error;
    const auto a = InstancePaths::make(runtimeIs(home.root()), ::getuid(), ":1", &error);
    const auto b = InstancePaths::make(runtimeIs(home.root()), ::getuid(), "localhost:1.0", &error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_EQ(a->lock, b->lock);
    auto held = InstanceLock::acquire(a->lock, &error);
    ASSERT_TRUE(held);
    EXPECT_FALSE(InstanceLock::acquire(b->lock, &error));
}

TEST_F(SingleInstanceTest, ASecondStartsReopenIsAnsweredOnceDone)
{
    const auto p = paths();
    auto lock = InstanceLock::acquire(p.lock, nullptr);
    ASSERT_TRUE(lock);
    const auto s = server();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error)) << error;

    EXPECT_FALSE(InstanceLock::acquire(p.lock, &error));
    EXPECT_TRUE(error.empty()) << "held, not broken";
    EXPECT_EQ(send(p.socket, InstanceRequest{}), InstanceServer::okAnswer);
    EXPECT_EQ(actions, std::vector<InstanceAction>{InstanceAction{}});
    EXPECT_EQ(saves, 0) << "no setting changed";
}

TEST_F(SingleInstanceTest, ASecondStartWaitsWhileTheHolderLaunches)
{
    const auto p = paths();
    const auto s = server();
    auto answer = std::async(std::launch::async, [&] { return sendToRunningInstance(p.socket, InstanceRequest{}); });
    for (int i = 0; i < 60; ++i)
        loop.turn();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    loop.until([&] { return answer.wait_for(0s) == std::future_status::ready; });
    EXPECT_EQ(answer.get(), InstanceServer::okAnswer);
    bool reached = true;
    EXPECT_FALSE(sendToRunningInstance(home.root() / "nobody.socket", InstanceRequest{}, 0.2, 1, &reached));
    EXPECT_FALSE(reached);
}

TEST_F(SingleInstanceTest, AnythingButOneGoodLineIsRefusedAndDoesNothing)
{
    const auto p = paths();
    const auto s = server();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    const auto rawly = [&](const std::string& bytes) {
        auto answer = std::async(std::launch::async, [&] { return raw(p.socket, bytes); });
        loop.until([&] { return answer.wait_for(0s) == std::future_status::ready; });
        return answer.get();
    };
    for (const std::string& bad :
         {std::string("{\"request\":\"reopen\",\"extra\":1}\n"), std::string("{\"request\":\"REOPEN\"}\n"),
          std::string("{\"request\":1}\n"), std::string("[\"reopen\"]\n"), std::string("reopen\n"),
          std::string("{\"request\":\"reopen\""), std::string("\n")}) {
        const std::string answer = rawly(bad);
        EXPECT_NE(answer.find("\"error\""), std::string::npos) << bad << " answered " << answer;
    }
    const std::string huge = "{\"request\":\"" + std::string(InstanceRequest::maxLine + 10, 'x') + "\"}\n";
    EXPECT_NE(rawly(huge).find("too long"), std::string::npos);
    EXPECT_TRUE(actions.empty());
    EXPECT_EQ(rawly("{\"request\":\"reopen\"}\n"), InstanceServer::okAnswer);
    EXPECT_EQ(actions.size(), 1u);
    EXPECT_EQ(s->clients(), 0u);
}

TEST_F(SingleInstanceTest, IdleAndTricklingClientsKeepNoOneWaitingAndMeetTheirDeadline)
{
    const auto p = paths();
    const auto s = server();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    // Two that say nothing and forty that send a byte now and then.
    std::vector<int> slow;
    for (int i = 0; i < 42; ++i) {
        slow.push_back(connectTo(p.socket));
        ASSERT_GE(slow.back(), 0);
        if (i >= 2)
            ::send(slow.back(), "{", 1, MSG_NOSIGNAL);
        loop.turn(0);
    }
    // The clock stands still: none of them times out, and yet a start is
    // served at once, and its mode change is done before it hears so.
    EXPECT_EQ(send(p.socket, InstanceRequest::opening({"kavelo://mode/auto"})), InstanceServer::okAnswer);
    EXPECT_EQ(actions.size(), 1u);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(s->clients(), 42u);

    // Two seconds on, every slow one is told and let go.
    loop.scheduler.advance(InstanceServer::readTimeout);
    EXPECT_EQ(s->clients(), 0u);
    for (const int fd : slow) {
        char line[128] = {};
        EXPECT_GT(::recv(fd, line, sizeof line - 1, 0), 0);
        EXPECT_NE(std::string(line).find("no request in time"), std::string::npos) << line;
        ::close(fd);
    }
}

TEST_F(SingleInstanceTest, AnswersTellWhetherTheWorkWasDoneAndItsSettingsKept)
{
    const auto p = paths();
    const auto s = server();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    unsaved = "the change was made, but your settings could not be saved: the disk is full";
    // A change of mode could not be kept: the start says why.
    const auto answer = send(p.socket, InstanceRequest::opening({"kavelo://mode/auto"}));
    ASSERT_TRUE(answer);
    EXPECT_EQ(answerError(*answer), unsaved);
    // A request that changes no setting is done whatever the disk says.
    EXPECT_EQ(send(p.socket, InstanceRequest::opening({"kavelo://run/tidy"})), InstanceServer::okAnswer);
    EXPECT_EQ(actions.size(), 2u);
    EXPECT_EQ(answerError(InstanceServer::okAnswer), std::nullopt);
    EXPECT_EQ(answerError("{\"ok\":false}"), "the running Kavelo gave an answer it should not");
}

TEST_F(SingleInstanceTest, ABurstStaysWithinItsBoundsAndEveryClientHearsOnce)
{
    const auto p = paths();
    const auto s = server();
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    // Many starts at once, none waiting for the one before.
    constexpr int starts = 400;
    std::atomic<int> answered{0}, busy{0};
    auto burst = std::async(std::launch::async, [&] {
        std::vector<std::future<void>> clients;
        for (int i = 0; i < starts; ++i)
            clients.push_back(std::async(std::launch::async, [&, i] {
                const auto answer = sendToRunningInstance(
                    p.socket, i % 2 ? InstanceRequest{} : InstanceRequest::opening({"kavelo://mode/" + std::string(i % 4 ? "auto" : "strip")}),
                    10, 10);
                if (!answer)
                    return;
                ++answered;
                if (answerError(*answer))
                    ++busy;
            }));
        for (auto& c : clients)
            c.get();
    });
    std::size_t mostClients = 0, mostQueued = 0;
    while (burst.wait_for(0s) != std::future_status::ready) {
        loop.turn(1);
        mostClients = std::max(mostClients, s->clients());
        mostQueued = std::max(mostQueued, s->queue().size());
    }
    EXPECT_EQ(answered, starts) << "every start heard once";
    EXPECT_LE(mostClients, InstanceServer::maxClients);
    EXPECT_LE(mostQueued, InstanceQueue::maxActions);
    // Coalesced: far fewer actions ran than were asked for.
    EXPECT_LT(int(actions.size()) + busy, starts);
    EXPECT_EQ(s->clients(), 0u);
}

TEST_F(SingleInstanceTest, WhatWaitsWhenTheProgramQuitsIsToldSo)
{
    const auto p = paths();
    int runs = 0;
    std::unique_ptr<InstanceServer> s;
    // The quit comes while the first action runs, as a signal's turn would.
    s = server([&](const InstanceAction&) {
        ++runs;
        s->stop();
        return false;
    });
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    const auto answer = send(p.socket, InstanceRequest::opening({"kavelo://run/tidy", "kavelo://run/fillScreen"}));
    EXPECT_EQ(answerError(answer.value_or("")), "the running Kavelo quit after doing 1 of the 2 URLs; the rest were not done");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(s->queue().empty());
    // Later starts hear it at once.
    EXPECT_EQ(answerError(send(p.socket, InstanceRequest{}).value_or("")), InstanceServer::quitting);
}

TEST_F(SingleInstanceTest, AnActionThatTurnsTheLoopItselfRunsAloneAndIsAnsweredWhenItEnds)
{
    // A command may open a dialog, whose own loop serves the socket meanwhile.
    const auto p = paths();
    std::vector<std::string> ran;
    std::future<std::optional<std::string>> second;
    bool firstAnsweredEarly = false;
    std::unique_ptr<InstanceServer> s;
    std::future<std::optional<std::string>> first;
    s = server([&](const InstanceAction& action) {
        ran.push_back("begin " + action.url);
        if (action.url == "kavelo://run/tidy") {
            second = std::async(std::launch::async,
                                [&] { return sendToRunningInstance(p.socket, InstanceRequest::opening({"kavelo://run/fillScreen"})); });
            loop.until([&] { return s->queue().size() == 1; });
            for (int i = 0; i < 20; ++i)
                loop.turn(1);
            firstAnsweredEarly = first.wait_for(0s) == std::future_status::ready;
        }
        ran.push_back("end " + action.url);
        return false;
    });
    std::string error;
    ASSERT_TRUE(s->listen(p.socket, &error));
    first = std::async(std::launch::async, [&] { return sendToRunningInstance(p.socket, InstanceRequest::opening({"kavelo://run/tidy"})); });
    loop.until([&] { return first.wait_for(0s) == std::future_status::ready && second.valid() &&
                            second.wait_for(0s) == std::future_status::ready; });
    EXPECT_FALSE(firstAnsweredEarly);
    EXPECT_EQ(first.get(), InstanceServer::okAnswer);
    EXPECT_EQ(second.get(), InstanceServer::okAnswer);
    EXPECT_EQ(ran, (std::vector<std::string>{"begin kavelo://run/tidy", "end kavelo://run/tidy",
                                             "begin kavelo://run/fillScreen", "end kavelo://run/fillScreen"}));
}

TEST_F(SingleInstanceTest, AKilledInstanceIsReplaced)
{
    const auto p = paths();
    const pid_t child = ::fork();
    if (child == 0) {
        PollLoop own;
        auto lock = InstanceLock::acquire(p.lock, nullptr);
        InstanceServer server(own.scheduler, own.watch(), {});
        std::string error;
        if (!lock || !server.listen(p.socket, &error))
            ::_exit(3);
        for (;;)
            own.turn(100);
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
    const auto s = server();
    ASSERT_TRUE(s->listen(p.socket, &error)) << error;
    EXPECT_EQ(send(p.socket, InstanceRequest{}), InstanceServer::okAnswer);
    EXPECT_EQ(actions.size(), 1u);
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

TEST_F(SingleInstanceTest, WithoutARuntimeFolderNobodyElseCanKeepUsOut)
{
    // No XDG_RUNTIME_DIR: the shared folder, unless someone else made its
    // name first; then the user's own cache folder, the same for every start.
    const auto shared = home.root() / "tmp";
    std::filesystem::create_directories(shared);
    const auto lookup = [&](std::string_view name) -> std::optional<std::string> {
        if (name == "HOME")
            return home.root().string();
        return std::nullopt;
    };
    const std::string ours = "kavelo-" + std::to_string(::getuid());
    std::string error;
    auto made = InstancePaths::make(lookup, ::getuid(), ":3", &error, shared);
    ASSERT_TRUE(made) << error;
    EXPECT_EQ(made->folder, shared / ours / "kavelo");
    std::filesystem::remove_all(shared / ours);

    for (const bool asRoot : {false, true}) {
        if (asRoot) {
            if (::getuid() != 0)
                continue;
            std::filesystem::create_directory(shared / ours);
            ASSERT_EQ(::chown((shared / ours).c_str(), 4321, 4321), 0);
        } else {
            std::ofstream(shared / ours) << "in the way";
        }
        made = InstancePaths::make(lookup, ::getuid(), ":3", &error, shared);
        ASSERT_TRUE(made) << error;
        EXPECT_EQ(made->folder, home.root() / ".cache" / "kavelo");
        EXPECT_EQ(std::filesystem::status(made->folder).permissions() & std::filesystem::perms::all,
                  std::filesystem::perms::owner_all);
        const auto again = InstancePaths::make(lookup, ::getuid(), ":3.0", &error, shared);
        ASSERT_TRUE(again);
        EXPECT_EQ(again->lock, made->lock);
        std::filesystem::remove_all(shared / ours);
    }
    std::ofstream(shared / ours) << "in the way";
    EXPECT_FALSE(InstancePaths::make([](std::string_view) { return std::nullopt; }, ::getuid(), ":3", &error, shared));
    EXPECT_NE(error.find("XDG_RUNTIME_DIR"), std::string::npos) << error;
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
    EXPECT_EQ(made->socket.filename(), "host:10.socket");
}
