// The self-test over real xterms under Xvfb and openbox: in-process on the
// X11 backend, and the `kavelo` program itself with "--self-test" (three
// xterms, two, a workflow folder that cannot be made) and "--render".

#include "app/diagnostics/diagnostics_runners.h"
#include "app/diagnostics/self_test.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/workflows/workflows.h"
#include "app/diagnostics/previews.h"
#include "services/temp_home.h"
#include "support/run_program.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

struct NoToast : Toast {
    void show(std::string, std::string) override {}
};

struct NoPanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseImportFile() override { return std::nullopt; }
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct Finished {
    int status = -1;   // -1: killed at the deadline
    std::string out;
    std::string err;
    std::chrono::duration<double> took{};
};

// Runs the program with `arguments` on `display` to its end, at most
// `timeout`; the child's own environment otherwise (HOME and XDG already
// point at the test's home).
Finished runProgram(const std::vector<std::string>& arguments, const std::string& display,
                    std::chrono::seconds timeout)
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        setenv("DISPLAY", display.c_str(), 1);
        // Under the sanitizers: the desktop bus library that Qt loads keeps
        // a buffer past exit now and then; that is not the program's leak.
        const std::string suppressions = std::string(getenv("HOME")) + "/lsan-suppressions.txt";
        if (FILE* file = fopen(suppressions.c_str(), "w")) {
            fputs("leak:libdbus-1.so\n", file);
            fclose(file);
        }
        const char* lsan = getenv("LSAN_OPTIONS");
        setenv("LSAN_OPTIONS",
               ((lsan && *lsan ? std::string(lsan) + ":" : std::string()) + "suppressions=" + suppressions).c_str(), 1);
        setenv("KAVELO_BACKEND", "x11", 1);
        std::vector<char*> argv{const_cast<char*>(KAVELO_BINARY)};
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KAVELO_BINARY, argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    Finished result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    const auto deadline = start + timeout;
    while (open > 0 && std::chrono::steady_clock::now() < deadline) {
        if (poll(fds, 2, 100) <= 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            char buffer[4096];
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, std::size_t(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    for (auto& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            result.took = std::chrono::steady_clock::now() - start;
            return result;
        }
        std::this_thread::sleep_for(50ms);
    }
    result.took = std::chrono::steady_clock::now() - start;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class X11SelfTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the self-test's X11 tests: " << startError;
            GTEST_SKIP() << "no X server for the self-test's X11 tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
    }

    void TearDown() override
    {
        if (session) {
            for (pid_t pid : terms)
                session->terminate(pid);
            EXPECT_TRUE(test::waitFor([] { return session->windowsOfClass("XTerm").empty(); }, test::answerDeadline));
        }
        home.reset();
    }

    // `count` xterms side by side, each managed before the next starts.
    void xterms(std::size_t count)
    {
        for (std::size_t n = 1; n <= count; ++n) {
            terms.push_back(session->launch({"xterm", "-geometry", "60x15+" + std::to_string(40 + 500 * (n - 1)) + "+80"}));
            ASSERT_TRUE(
                test::waitFor([&] { return session->windowsOfClass("XTerm").size() == n; }, test::answerDeadline))
                << n;
        }
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    std::unique_ptr<test::TempHome> home;
    std::vector<pid_t> terms;
};

std::vector<std::string> passedLines()
{
    std::vector<std::string> out{"PASS three test windows found 3"};
    for (const char* layout : {"grid", "columns", "rows", "focus", "custom"}) {
        out.push_back(std::string("PASS tidy ") + layout + " has no overlap ");
        out.push_back(std::string("PASS tidy ") + layout + " sees itself as untouched ");
        out.push_back(std::string("PASS tidy ") + layout + " undo ");
    }
    out.insert(out.end(), {"PASS workflow placed windows 3", "PASS workflow tidy on arrival ", "PASS workflow removed ",
                           "ALL PASSED"});
    return out;
}

TEST_F(X11SelfTest, InProcessThreeXtermsPassEveryCheck)
{
    xterms(3);
    std::string error;
    auto x11 = X11Desktop::connect(session->display(), &error);
    ASSERT_TRUE(x11) << error;
    ManualScheduler scheduler;
    x11->attach(&scheduler);
    UserDefaults defaults(home->paths().userDefaults);
    Preferences preferences(defaults, x11->loginItem(), [](int) { return false; });
    const Desktop desktop{x11->platform(scheduler, scheduler.clock()), preferences};
    NoToast toast;
    NoPanels panels;
    Workflows workflows(desktop, toast, panels, Workflows::folder(home->paths()));

    std::ostringstream out, err;
    int status = -1;
    runSelfTest(desktop, workflows, out, err, [&](int s) { status = s; });
    // The switch's retries wait on the scheduler; the server's events on
    // the connection.
    EXPECT_TRUE(test::waitFor([&] { return status != -1; }, 30s, [&] {
        x11->processEvents();
        scheduler.advance(0.05);
    }));
    EXPECT_EQ(lines(out.str()), passedLines()) << err.str();
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(workflows.store().load(SelfTest::workflowName));
    x11->attach(nullptr);
}

TEST_F(X11SelfTest, TheProgramPassesWithThreeXterms)
{
    xterms(3);
    const Finished run = runProgram({"--self-test", "x"}, session->display(), 60s);
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(lines(run.out), passedLines()) << run.err;
}

TEST_F(X11SelfTest, TheProgramFailsWithTwoXterms)
{
    xterms(2);
    const Finished run = runProgram({"--self-test", "x"}, session->display(), 60s);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    const auto got = lines(run.out);
    ASSERT_EQ(got.size(), 20u) << run.out;
    EXPECT_EQ(got.front(), "FAIL three test windows found 2");
    EXPECT_EQ(got[16], "FAIL workflow placed windows 2");
    EXPECT_EQ(got.back(), "2 FAILED");
}

TEST_F(X11SelfTest, TheProgramEndsWithinTheBoundWhenTheWorkflowCannotBeStored)
{
    xterms(3);
    const auto layouts = Workflows::folder(home->paths());
    std::filesystem::create_directories(layouts.parent_path());
    std::ofstream(layouts) << "not a folder";
    const Finished run = runProgram({"--self-test", "x"}, session->display(), 30s);
    EXPECT_EQ(run.status, 1) << run.out << run.err;
    EXPECT_LT(run.took.count(), 30);
    const auto got = lines(run.out);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back(), "1 FAILED");
    EXPECT_NE(run.err.find("could not store"), std::string::npos) << run.err;
}

TEST_F(X11SelfTest, TheProgramRendersTheFifteenScreensAsThisDesktopShowsThem)
{
    // The strip's section says whether swipes reach the program.
    test::writeDefaults(*home, R"({"arrangeMode": "strip", "stripSwipeFingers": 3})");
    const auto folder = home->root() / "shots";
    std::filesystem::create_directories(folder);
    const Finished run = runProgram({"--render", folder.string()}, session->display(), 60s);
    EXPECT_EQ(run.status, 0) << run.err;
    std::size_t pngs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        pngs += entry.path().extension() == ".png" && std::filesystem::file_size(entry.path()) > 1000;
    EXPECT_EQ(pngs, 15u);

    const auto picture = [&](const char* file) { return QImage(QString::fromStdString((folder / file).string())); };
    const auto count = [](const QImage& image, auto counts) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += counts(image.pixelColor(x, y));
        return n;
    };
    // No device of this server sends swipes: the Arrange page shows the
    // swipe off with its reason, not the orange warning that Kavelo takes
    // every swipe; its pictures are those of a desktop without trackpads.
    const QImage arrange = picture("settings-arrange.png");
    ASSERT_FALSE(arrange.isNull());
    EXPECT_EQ(count(arrange,
                    [](const QColor& c) {
                        return c.red() > 240 && std::abs(c.green() - 159) < 16 && c.blue() < 60;
                    }),
              0);
    const auto simulated = home->root() / "simulated";
    std::filesystem::create_directories(simulated);
    const auto state = home->root() / "desktop.json";
    SimDesktop withoutTrackpads;
    withoutTrackpads.setTrackpads(0);
    ASSERT_FALSE(withoutTrackpads.saveFile(state));
    const test::ProgramRun without = test::runProgram(
        KAVELO_BINARY, {"--render", simulated.string()},
        {{"KAVELO_BACKEND", "sim"}, {"KAVELO_SIM_STATE", state.string()}, {"DISPLAY", std::nullopt}}, 60);
    EXPECT_EQ(without.status, 0) << without.err;
    const auto bytes = [](const std::filesystem::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    for (const auto& screen : Previews::screens())
        EXPECT_TRUE(bytes(folder / screen.file.substr(1)) == bytes(simulated / screen.file.substr(1))) << screen.file;

    // The sample windows are this desktop's: no red and green window buttons.
    const QImage overview = picture("overview.png");
    ASSERT_FALSE(overview.isNull());
    EXPECT_EQ(count(overview,
                    [](const QColor& c) {
                        return c.hsvSaturation() > 100 && (c.hue() < 15 || (c.hue() > 90 && c.hue() < 150));
                    }),
              0);

    const Finished missing = runProgram({"--render", (home->root() / "none").string()}, session->display(), 60s);
    EXPECT_EQ(missing.status, 1);
    // Qt may warn on the same stream.
    std::size_t named = 0;
    for (const auto& line : lines(missing.err))
        named += line.rfind("kavelo: could not write ", 0) == 0;
    EXPECT_EQ(named, 15u) << missing.err;
}

} // namespace
} // namespace kavelo::testing
