#pragma once

// The real `kavelo` on a private Xvfb with openbox (its keys left free) and
// an xterm, one server per suite: each test gets a fresh home and runtime
// folder, starts the program when it needs it and ends what it started.

#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/run_program.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace kavelo::testing {

// A connection to the socket at `path`; -1 when nothing listens.
inline int connectTo(const std::filesystem::path& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class KaveloX11Test : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({"xterm"}, &startError, test::WindowManager::openboxKeysFree))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the program's X11 tests: " << startError;
            GTEST_SKIP() << "no X server for the program's X11 tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        runtime = home->root() / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::unsetenv("KAVELO_BACKEND");
    }

    void TearDown() override
    {
        for (pid_t pid : started)
            session->terminate(pid);
        started.clear();
        home.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    void writeDefaults(const std::string& json)
    {
        const auto file = home->paths().userDefaults;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << json;
    }

    std::filesystem::path socketPath() const
    {
        return runtime / "kavelo" / (InstancePaths::fileName(session->display()) + ".socket");
    }

    // The socket accepts only once the launch has registered the shortcuts.
    bool accepts() const
    {
        const int fd = connectTo(socketPath());
        if (fd >= 0)
            ::close(fd);
        return fd >= 0;
    }

    // `program` started on the display; ended with the test.
    pid_t launch(const std::vector<std::string>& program)
    {
        const pid_t pid = session->launch(program);
        started.push_back(pid);
        return pid;
    }

    pid_t startKavelo()
    {
        const pid_t pid = launch({KAVELO_BINARY});
        EXPECT_TRUE(test::waitFor([&] { return accepts(); }, test::answerDeadline)) << "kavelo never listened";
        return pid;
    }

    // `kavelo` run to its end with `arguments`, on the session's display
    // unless another is named.
    test::ProgramRun kavelo(const std::vector<std::string>& arguments, const std::string& display = {})
    {
        return test::runProgram(KAVELO_BINARY, arguments,
                                {{"DISPLAY", display.empty() ? session->display() : display},
                                 {"QT_QPA_PLATFORM", std::nullopt}});
    }

    // Forgets a program that has ended.
    void ended(pid_t pid) { std::erase(started, pid); }

    std::string log() const
    {
        std::ifstream in(home->paths().logs / "engine.log");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Every mapped window of class "Kavelo", with its root position;
    // `inTray` keeps those inside trayer's panel (class "trayer"), the
    // others those outside.
    struct Found {
        xcb_window_t window;
        Rect area;
    };
    std::vector<Found> kaveloWindows(bool inTray) const
    {
        std::vector<Found> out;
        walk(session->root(), false, inTray, out);
        return out;
    }
    void walk(xcb_window_t parent, bool underTray, bool inTray, std::vector<Found>& out) const
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr), &std::free);
        if (!tree)
            return;
        const xcb_window_t* children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i) {
            const xcb_window_t w = children[i];
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> attributes(
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &std::free);
            if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                continue;
            const auto cls = session->wmClass(w);
            if (cls == "Kavelo" && underTray == inTray)
                if (const auto area = session->clientArea(w))
                    out.push_back({w, *area});
            walk(w, underTray || cls == "trayer", inTray, out);
        }
    }

    // The menu panel, shown on the screen.
    bool panelShown() const
    {
        for (const Found& f : kaveloWindows(false))
            if (f.area.width() == 320)
                return true;
        return false;
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    std::unique_ptr<test::TempHome> home;
    std::filesystem::path runtime;
    std::vector<pid_t> started;
};

} // namespace kavelo::testing
