// The real program on a private X server with openbox and xterms: "kavelo:"
// URLs handed to the running instance, directly and through the desktop
// entry with xdg-open; a bogus URL refused; long command lines from many
// starts at once; the listing; the tabs test's unavailable path.

#include "core/workspace_store.h"
#include "services/temp_home.h"
#include "support/run_program.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

using namespace kavelo;
using namespace kavelo::test;
using namespace std::chrono_literals;

namespace {

class UrlForwardX11 : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        if (!session.start({"xterm", "xterm", "xterm"}, &error)) {
            if (x11Required())
                FAIL() << error;
            GTEST_SKIP() << error;
        }
        runtime = home.root() / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        // Past the welcome window, which would take the focus.
        std::filesystem::create_directories(home.root() / "config" / "Kavelo");
        std::ofstream(home.root() / "config" / "Kavelo" / "defaults.json") << R"({"welcomed":true})";
        // Qt's xcb platform leaves one libdbus buffer behind at exit, as in
        // every suite that runs Qt on the X server.
        std::ofstream(home.root() / "lsan.supp") << "leak:libdbus-1.so\n";
    }
    void TearDown() override
    {
        if (instance > 0)
            stopProgram(instance);
    }
    std::map<std::string, std::optional<std::string>> environment()
    {
        return {{"DISPLAY", session.display()},
                {"XDG_RUNTIME_DIR", runtime.string()},
                {"PATH", (home.root() / "bin").string() + ":" + std::getenv("PATH")},
                {"KAVELO_BACKEND", std::nullopt},
                {"QT_QPA_PLATFORM", std::nullopt},
                {"LSAN_OPTIONS", "print_suppressions=0:suppressions=" + (home.root() / "lsan.supp").string()}};
    }
    ProgramRun kavelo(const std::vector<std::string>& arguments)
    {
        return runProgram(KAVELO_BINARY, arguments, environment());
    }
    // The running instance, once it listens.
    void startInstance()
    {
        instance = startProgram(KAVELO_BINARY, {}, environment());
        const auto folder = runtime / "kavelo";
        ASSERT_TRUE(waitFor(
            [&] {
                std::error_code ec;
                for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
                    if (entry.path().extension() == ".socket")
                        return true;
                return false;
            },
            test::answerDeadline));
    }
    std::optional<Rect> focusedFrame() const
    {
        const auto active = session.activeWindow();
        return active ? session.frame(*active) : std::nullopt;
    }

    TempHome home;
    X11Session session;
    std::filesystem::path runtime;
    int instance = -1;
};

} // namespace

TEST_F(UrlForwardX11, ListingSeesTheClientsAndEscapesTheirNames)
{
    // A class that would clear and colour the terminal and forge a line.
    const std::string hostile = "\x1b[2J\x1b[31mRed\nvisible Fake\xe2\x80\xae";
    const pid_t client = session.launch({KAVELO_X11_TEST_CLIENT, "--class", hostile});
    ASSERT_TRUE(waitFor([&] { return !session.windowsOfClass(hostile).empty(); }, 10s))
        << "the test client's window never came; client " << (::kill(client, 0) == 0 ? "alive" : "gone");

    const auto run = kavelo({"--list"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    std::istringstream in(run.out);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_TRUE(lines[0].starts_with("accessibility=true screenRecording=")) << lines[0];
    EXPECT_TRUE(lines[0].ends_with(" windows=4")) << lines[0];
    EXPECT_TRUE(lines[1].starts_with("displays="));
    for (int i = 2; i < 6; ++i)
        EXPECT_TRUE(lines[i].starts_with("visible ")) << lines[i];
    EXPECT_NE(std::find(lines.begin(), lines.end(), "visible \\x1b[2J\\x1b[31mRed\\nvisible Fake\\u202e"),
              lines.end())
        << run.out;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
}

TEST_F(UrlForwardX11, TabsTestTakesItsUnavailablePath)
{
    const auto run = kavelo({"--tabs-test", "-"});
    EXPECT_EQ(run.out, "read chrome: NOT ALLOWED OR NOT RUNNING\nkeepable: 0\n");
    EXPECT_EQ(run.status, 3);
}

TEST_F(UrlForwardX11, UrlsReachTheInstanceAndBogusOnesMoveNothing)
{
    startInstance();
    const auto before = focusedFrame();
    ASSERT_TRUE(before);

    auto run = kavelo({"kavelo://run/snapRightt"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kavelo: unknown command \"snapRightt\" in kavelo://run/snapRightt\n");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(focusedFrame(), before);

    run = kavelo({"kavelo://run/snapRight"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(waitFor([&] { return focusedFrame() && focusedFrame()->origin.x >= 500; }, test::answerDeadline))
        << "focused xterm at x " << (focusedFrame() ? focusedFrame()->origin.x : -1);
}

TEST_F(UrlForwardX11, XdgOpenGoesThroughTheDesktopEntry)
{
    // The installed entry, with the program where the build put it.
    std::ifstream source(KAVELO_DESKTOP_ENTRY);
    std::stringstream text;
    text << source.rdbuf();
    std::string entry = text.str();
    const auto exec = entry.find("Exec=kavelo ");
    ASSERT_NE(exec, std::string::npos);
    entry.replace(exec, 12, "Exec=" + std::string(KAVELO_BINARY) + " ");
    const auto applications = home.root() / "data" / "applications";
    std::filesystem::create_directories(applications);
    std::ofstream(applications / "kavelo.desktop") << entry;
    auto env = environment();
    ASSERT_EQ(runProgram("/usr/bin/xdg-mime", {"default", "kavelo.desktop", "x-scheme-handler/kavelo"}, env).status,
              0);

    startInstance();
    ASSERT_TRUE(focusedFrame());
    const auto run = runProgram("/usr/bin/xdg-open", {"kavelo://run/snapRight"}, env);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(waitFor([&] { return focusedFrame() && focusedFrame()->origin.x >= 500; }, test::answerDeadline));
}

// A switch with Firefox running while the folder where its profiles may
// live cannot be looked into (a link loop; a folder a Firefox run as root
// left behind): the running program answers, lives on and logs why the
// tabs were lost.
TEST_F(UrlForwardX11, AFirefoxFolderThatCannotBeLookedIntoCostsASwitchOnlyItsTabs)
{
    std::filesystem::create_directories(home.root() / "config");
    std::filesystem::create_symlink("mozilla", home.root() / "config" / "mozilla");
    session.launch({KAVELO_X11_TEST_CLIENT, "--class", "firefox"});
    ASSERT_TRUE(waitFor([&] { return !session.windowsOfClass("firefox").empty(); }, test::answerDeadline));
    WorkspaceStore(home.root() / "data" / "Kavelo" / "Layouts")
        .save(Workspace{.name = "Web",
                        .displays = "d",
                        .savedAt = dateFromEpochSeconds(1.7e9),
                        .tabs = {{"firefox", {"https://a.example/"}}}});
    startInstance();

    const auto run = kavelo({"kavelo://switch/Web"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(stopProgram(instance), 0);
    instance = -1;
    std::ifstream log(home.root() / "state" / "Kavelo" / "engine.log");
    std::stringstream lines;
    lines << log.rdbuf();
    EXPECT_NE(lines.str().find("firefox: " + (home.root() / "config/mozilla/firefox/profiles.ini").string() +
                               ": Too many levels of symbolic links"),
              std::string::npos)
        << lines.str();
}

// Twelve starts close together, each with a long command line: a switch to
// a workflow of its own first and last, focus moves between. Each
// workflow's program, which never shows a window, is started by every
// switch to it and counts its starts: what the instance did is counted, not
// what it answered. Each start did all of its URLs, or was told that nothing
// was done and did none; the later ones come while the earlier ones' work
// runs.
TEST_F(UrlForwardX11, ALongCommandLineIsDoneWholeOrNotAtAll)
{
    constexpr int starts = 12;
    constexpr int urlsEach = 700;
    const auto bin = home.root() / "bin";
    std::filesystem::create_directories(bin);
    const WorkspaceStore store(home.root() / "data" / "Kavelo" / "Layouts");
    const auto counted = [&](int i) { return home.root() / ("count" + std::to_string(i) + ".txt"); };
    std::vector<std::future<ProgramRun>> runs;
    for (int i = 0; i < starts; ++i) {
        const std::string program = "count" + std::to_string(i), name = "Count" + std::to_string(i);
        std::ofstream(bin / program) << "#!/bin/sh\necho started >> '" << counted(i).string() << "'\n";
        std::filesystem::permissions(bin / program, std::filesystem::perms::owner_all);
        store.save(Workspace{.name = name, .windows = {{program, "", Rect(100, 100, 400, 300)}}});
    }
    startInstance();
    for (int i = 0; i < starts; ++i) {
        std::vector<std::string> line(urlsEach, "kavelo://run/focusLeft");
        line.front() = line.back() = "kavelo://switch/Count" + std::to_string(i);
        runs.push_back(std::async(std::launch::async, [&, i, line] {
            std::this_thread::sleep_for(i * 200ms);
            return kavelo(line);
        }));
    }
    std::vector<ProgramRun> done;
    for (auto& run : runs)
        done.push_back(run.get());

    const auto count = [&](int i) {
        std::ifstream in(counted(i));
        return int(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
    };
    int whole = 0;
    for (int i = 0; i < starts; ++i) {
        const ProgramRun& run = done[i];
        if (run.status == 0) {
            ++whole;
            EXPECT_EQ(run.err, "");
            EXPECT_TRUE(waitFor([&] { return count(i) == 2; }, test::answerDeadline))
                << "start " << i << " answered done, and its program started " << count(i) << " times";
        } else {
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_NE(run.err.find("nothing was done"), std::string::npos) << "start " << i << ": " << run.err;
        }
    }
    // Started programs have written by now: a start told that nothing was
    // done did nothing.
    for (int i = 0; i < starts; ++i)
        EXPECT_TRUE(done[i].status == 0 || count(i) == 0)
            << "start " << i << " was told \"" << done[i].err << "\" and its program started " << count(i) << " times";
    EXPECT_GT(whole, 0);
}
