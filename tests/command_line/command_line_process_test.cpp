// The real `kavelo` program on the simulated desktop: every mode as its
// own process, output and exit status exact, the desktop kept in a state
// file between runs; and "kavelo:" URLs handed to a running instance.

#include "app/platform/sim/sim_desktop.h"
#include "app/shell/command_line.h"
#include "app/shell/single_instance.h"
#include "app/workflows/workflows.h"
#include "core/workspace_store.h"
#include "services/temp_home.h"
#include "support/run_program.h"

#include <gtest/gtest.h>

#include <fstream>

#include <chrono>
#include <thread>

using namespace kavelo;
using namespace kavelo::test;

namespace {

class CommandLineProcess : public ::testing::Test {
protected:
    CommandLineProcess()
    {
        state = home.root() / "desktop.json";
        runtime = home.root() / "runtime";
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
        // Past the welcome window, which would take the focus.
        std::filesystem::create_directories(home.root() / "config" / "Kavelo");
        std::ofstream(home.root() / "config" / "Kavelo" / "defaults.json") << R"({"welcomed":true})";
        const auto notes = sim.addApp(SimApp{.bundleID = "com.example.notes", .name = "Notes"});
        notesWindow = sim.addWindow(SimWindow{.pid = notes, .title = "List", .frame = Rect(40, 60, 400, 300)});
        const auto editor = sim.addApp(SimApp{.bundleID = "com.example.editor", .name = "Editor"});
        doc = sim.addWindow(SimWindow{.pid = editor, .title = "Doc", .frame = Rect(100, 100, 500, 400)});
        sim.focusWindow(doc);
        save();
    }
    void save() { ASSERT_FALSE(sim.saveFile(state)); }
    SimDesktop& reload()
    {
        EXPECT_TRUE(sim.loadFile(state));
        return sim;
    }
    std::map<std::string, std::optional<std::string>> environment(
        std::map<std::string, std::optional<std::string>> more = {})
    {
        more.emplace("KAVELO_BACKEND", "sim");
        more.emplace(SimDesktop::stateVariable, state.string());
        more.emplace("XDG_RUNTIME_DIR", runtime.string());
        more.emplace("QT_QPA_PLATFORM", "offscreen");
        more.emplace(CommandModesOnlyApp, std::nullopt);
        return more;
    }
    ProgramRun kavelo(std::vector<std::string> arguments, std::map<std::string, std::optional<std::string>> more = {},
                      double timeoutSeconds = 20)
    {
        return runProgram(KAVELO_BINARY, arguments, environment(std::move(more)), timeoutSeconds);
    }

    // The running instance, once it listens; its process id.
    int startInstance()
    {
        const int instance = startProgram(KAVELO_BINARY, {}, environment());
        for (int i = 0; i < 1000 && !std::filesystem::exists(socket()); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(std::filesystem::exists(socket())) << "the instance never listened";
        return instance;
    }
    std::filesystem::path socket() const { return runtime / "kavelo" / "sim.socket"; }

    static constexpr const char* CommandModesOnlyApp = "KAVELO_ONLY_APP";
    TempHome home;
    SimDesktop sim;
    std::filesystem::path state;
    std::filesystem::path runtime;
    WindowID notesWindow = 0;
    WindowID doc = 0;
};

} // namespace

TEST_F(CommandLineProcess, ListingOfTheSimulatedDesktop)
{
    const auto run = kavelo({"--tidy", "--list", "grid"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    const auto displays = run.out.find("\ndisplays=");
    ASSERT_NE(displays, std::string::npos) << run.out;
    EXPECT_EQ(run.out.substr(0, displays), "accessibility=true screenRecording=true windows=2");
    EXPECT_TRUE(run.out.ends_with("\nvisible Editor\nvisible Notes\n")) << run.out;
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 4);
}

TEST_F(CommandLineProcess, SnapTidySaveRestore)
{
    auto run = kavelo({"--snap", "right"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_GE(reload().window(doc)->frame.origin.x, 700);
    EXPECT_EQ(kavelo({"--snap", "Right"}).status, 2);

    run = kavelo({"--save", "Desk"});
    EXPECT_EQ(run.status, 0);
    const Rect saved = reload().window(doc)->frame;
    EXPECT_EQ(kavelo({"--save", " "}).status, 2);

    run = kavelo({"--tidy", "columns"}, {{CommandModesOnlyApp, "com.example.editor"}});
    EXPECT_EQ(run.out, "tidied 1\n");
    EXPECT_EQ(run.status, 0);
    run = kavelo({"--tidy", "rows"});
    EXPECT_EQ(run.out, "tidied 2\n");
    EXPECT_NE(reload().window(doc)->frame, saved);

    run = kavelo({"--restore", "Desk"});
    EXPECT_EQ(run.out, "moved 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(reload().window(doc)->frame, saved);
    run = kavelo({"--restore", "Nowhere"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "kavelo: no workflow named \"Nowhere\"; use \"Desk\"\n");

    run = kavelo({"--switch", "Desk"});
    EXPECT_EQ(run.out, "moved 2\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(kavelo({"--switch", "Nowhere"}).status, 2);
}

// The running instance's desktop, not the one a second process would read,
// is saved: its snapped window is where the save puts it. A save it cannot
// store fails with the reason.
TEST_F(CommandLineProcess, ASaveWhileKaveloRunsIsTheRunningOnes)
{
    const int instance = startInstance();
    ASSERT_EQ(kavelo({"kavelo://run/snapRight"}).status, 0);
    auto run = kavelo({"--save", "Desk"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto folder = Workflows::folder(home.paths());
    const auto saved = WorkspaceStore(folder).load("Desk");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(std::any_of(saved->windows.begin(), saved->windows.end(), [](const SavedWindow& w) {
        return w.bundleID == "com.example.editor" && w.frame.origin.x >= 700;
    })) << "saved where the running Kavelo snapped it";

    // A file where the folder belongs fails every save, even as root.
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "in the way";
    run = kavelo({"--save", "Desk"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with("kavelo: cannot save \"Desk\": ")) << run.err;
    EXPECT_EQ(stopProgram(instance), 0);
}

TEST_F(CommandLineProcess, KeyNamesTabsAndDiagnostics)
{
    auto run = kavelo({"--key-names", "us"});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("us ")) << run.out;
    EXPECT_NE(run.out.find("\n space: "), std::string::npos) << run.out;
    run = kavelo({"--key-names", "xx"});
    EXPECT_EQ(run.out, "no such layout\n");
    EXPECT_EQ(run.status, 2);

    run = kavelo({"--tabs-test", "-"});
    EXPECT_EQ(run.out, "read chrome: NOT ALLOWED OR NOT RUNNING\nkeepable: 0\n");
    EXPECT_EQ(run.status, 3);

    // No test windows on the empty simulated desktop: the self-test runs
    // through the command line and fails.
    run = kavelo({"--self-test", "-"});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.starts_with("FAIL three test windows found 0\n")) << run.out;
    EXPECT_TRUE(run.out.ends_with(" FAILED\n")) << run.out;
}

TEST_F(CommandLineProcess, HelpPrintsEveryModeAndStartsNothing)
{
    for (const char* flag : {"--help", "-h"}) {
        // No display and no simulated desktop asked for: only the help can
        // end well here.
        const auto run = kavelo({flag}, {{"KAVELO_BACKEND", std::nullopt}, {"DISPLAY", std::nullopt}});
        EXPECT_EQ(run.status, 0) << flag;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(run.out.starts_with("Usage: kavelo")) << run.out;
        for (std::string_view mode : CommandLine::modes)
            EXPECT_NE(run.out.find("  " + std::string(mode) + " "), std::string::npos) << mode;
        EXPECT_NE(run.out.find("--list"), std::string::npos);
        EXPECT_NE(run.out.find("--show"), std::string::npos);
    }
    // A mode's value is only a value.
    EXPECT_EQ(kavelo({"--tidy", "-h"}).status, 2);
}

TEST_F(CommandLineProcess, WhatIsNotUnderstoodIsNamedInOneLineAndNothingStarts)
{
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--bogus"}, "unknown option \"--bogus\"; see kavelo --help"},
        {{"kavelo://run/tidy", "-x\x1b[2J"}, "unknown option \"-x\\x1b[2J\"; see kavelo --help"},
        {{"tidy"}, "unexpected argument \"tidy\"; see kavelo --help"},
        {{"--tidy"}, "--tidy takes one value and nothing else: kavelo --tidy LAYOUT"},
        {{"--snap", "left", "now"}, "--snap takes one value and nothing else: kavelo --snap TARGET"},
        {{"--show", "panel", "--help"}, "--help takes nothing else: kavelo --help"},
        {{"--show"},
         "--show takes one value: kavelo --show WHAT; use overview, switcher, welcome, panel, general, workflows, "
         "arrange, shortcuts or permissions"},
        {{"kavelo://run/tidy", "--show"},
         "--show takes one value: kavelo --show WHAT; use overview, switcher, welcome, panel, general, workflows, "
         "arrange, shortcuts or permissions"},
        {{"--tidy", "Grid"}, "unknown layout \"Grid\"; use grid, columns, rows, focus or custom"},
        {{"--snap", "nowhere"},
         "unknown snap target \"nowhere\"; use left, right, top, bottom, leftThird, centerThird, rightThird, "
         "maximize or center"},
        {{"--arrange-test", "Strip"}, "unknown arrange mode \"Strip\"; use off, auto or strip"},
        {{"--restore", "nosuch"}, "no workflow named \"nosuch\"; none is saved yet"},
        {{"--switch", "nosuch"}, "no workflow named \"nosuch\"; none is saved yet"},
        {{"--save", " "}, "cannot save \" \": A workflow needs a name."},
    };
    for (const auto& [arguments, message] : cases) {
        const auto run = kavelo(arguments, {}, 5);
        EXPECT_EQ(run.status, 2) << arguments.front() << (run.status < 0 ? ": still running after 5 s" : "");
        EXPECT_EQ(run.err, "kavelo: " + message + "\n") << arguments.front();
        EXPECT_EQ(run.out, "") << arguments.front();
    }
    EXPECT_FALSE(std::filesystem::exists(home.paths().logs / "engine.log")) << "an instance started";
}

TEST_F(CommandLineProcess, TimedModesEndOnTheirOwn)
{
    auto run = kavelo({"--switcher-test", ",,"});
    EXPECT_EQ(run.status, 0);
    EXPECT_GE(run.took.count(), 1.5);
    run = kavelo({"--nopeek-test", "0.3"});
    EXPECT_EQ(run.status, 0);
    run = kavelo({"--arrange-test", "strip"}, {{"KAVELO_SECONDS", "0.5"}, {"KAVELO_STRIP_STEPS", "focusRight,pan40"}});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(kavelo({"--arrange-test", "Strip"}).status, 2);
}

TEST_F(CommandLineProcess, BadUrlsAloneStartNothing)
{
    const auto run = kavelo({"kavelo://run/tidyy", "kavelo:run/tidy"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kavelo: unknown command \"tidyy\" in kavelo://run/tidyy\n"
                       "kavelo: no verb in kavelo:run/tidy\n");
    EXPECT_EQ(run.out, "");
}

TEST_F(CommandLineProcess, UrlsReachTheRunningInstanceInOrder)
{
    const int instance = startInstance();

    auto run = kavelo({"kavelo://run/snapLeft", "kavelo://run/tidyy", "kavelo://run/snapRight"});
    EXPECT_EQ(run.err, "kavelo: unknown command \"tidyy\" in kavelo://run/tidyy\n");
    EXPECT_EQ(run.status, 2);
    run = kavelo({"kavelo://layout/columns"});
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    // Let the instance act before it is asked to end.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(stopProgram(instance), 0);
    EXPECT_GE(reload().window(doc)->frame.origin.x, 700) << "snapRight came last";
}

TEST_F(CommandLineProcess, TheInstanceNamesWhatItCannotDoAndALongCommandLineGetsThrough)
{
    const int instance = startInstance();
    // Straight to the socket, past the command line's own checks.
    const std::pair<std::string, std::string> refused[] = {
        {"kavelo://bogus/x", "unknown verb \"bogus\" in kavelo://bogus/x"},
        {"http://example.com/", "not a kavelo URL: http://example.com/"},
        {"kavelo://switch/Nowhere", "no workflow named \"Nowhere\" in kavelo://switch/Nowhere"},
    };
    const auto send = [&](std::vector<std::string> urls) {
        const auto answer =
            sendToRunningInstance(socket(), InstanceRequest{.kind = InstanceRequest::Kind::open, .urls = urls});
        return answer ? answerError(*answer) : "no answer";
    };
    for (const auto& [url, error] : refused)
        EXPECT_EQ(send({url}), error + "; nothing was done");
    // More than the instance takes at once can never fit: said so, not "busy".
    const auto tooMany = send(std::vector<std::string>(InstanceRequest::maxUrls + 1, "kavelo://run/snapLeft"));
    ASSERT_TRUE(tooMany);
    EXPECT_EQ(tooMany->find("try again"), std::string::npos) << *tooMany;
    EXPECT_NE(tooMany->find("at most"), std::string::npos) << *tooMany;

    // A long command line goes whole: every URL is done, in order.
    std::vector<std::string> urls(600, "kavelo://run/snapLeft");
    urls.back() = "kavelo://run/snapRight";
    const auto run = kavelo(urls);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(stopProgram(instance), 0);
    EXPECT_GE(reload().window(doc)->frame.origin.x, 700) << "snapRight came last";
}
