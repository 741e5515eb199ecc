// Workflows and monitor setups on a real X server: a program started from
// its desktop entry and placed, other programs hidden, and the workflow of
// a monitor setup connected at run time.

#include "app/engine/arrange_engine.h"
#include "app/platform/desktop_entry.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "app/shell/monitor_setups.h"
#include "app/workflows/workflows.h"
#include "core/screen_coordinates.h"
#include "core/screen_guard.h"
#include "core/workspace_store.h"
#include "engine/engine_fakes.h"
#include "services/temp_home.h"
#include "support/caught_up.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

struct LastToast : Toast {
    void show(std::string text, std::string) override { last = std::move(text); }
    std::string last;
};

struct NoFilePanels : WorkflowPanels {
    std::optional<std::string> askWorkflowName() override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseExportFile(const std::string&) override { return std::nullopt; }
    std::optional<std::filesystem::path> chooseImportFile() override { return std::nullopt; }
};

// Its own server with xclock alone: xterm is what the workflows start.
class WorkflowsX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({"xclock"}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (std::getenv("CI"))
                FAIL() << "no X server for the workflow tests: " << startError;
            GTEST_SKIP() << "no X server for the workflow tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        // Only the entries the test writes.
        const auto system = home->root() / "system";
        std::filesystem::create_directories(system / "applications");
        savedDataDirs = std::getenv("XDG_DATA_DIRS") ? std::optional<std::string>(std::getenv("XDG_DATA_DIRS")) : std::nullopt;
        ::setenv("XDG_DATA_DIRS", system.c_str(), 1);
        std::filesystem::create_directories(home->root() / "data/applications");
        std::ofstream(home->root() / "data/applications/xterm.desktop")
            << "[Desktop Entry]\nType=Application\nName=XTerm\nExec=xterm -title \"Started from its entry\"\n"
               "StartupWMClass=XTerm\n";

        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
        workflows = std::make_unique<Workflows>(*desktop, toast, panels, Workflows::folder(home->paths()));
    }

    void TearDown() override
    {
        workflows.reset();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        if (savedDataDirs)
            ::setenv("XDG_DATA_DIRS", savedDataDirs->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_DIRS");
        home.reset();
    }

    // The server's events, then the scheduler a little further: real
    // programs take real time to show their windows.
    void pump(double seconds = 0)
    {
        x11->processEvents();
        scheduler.advance(seconds);
    }
    test::Waited until(const std::function<bool()>& done)
    {
        return test::waitFor(done, test::answerDeadline, [&] { pump(); });
    }
    // The same with the scheduler keeping to real time, so that the
    // program's own retries span for a real program what they span for a
    // user's.
    test::Waited untilInRealTime(const std::function<bool()>& done)
    {
        auto last = std::chrono::steady_clock::now();
        return test::waitFor(done, test::answerDeadline, [&] {
            const auto now = std::chrono::steady_clock::now();
            pump(std::chrono::duration<double>(now - last).count());
            last = now;
        });
    }

    std::optional<WindowEntry> windowOf(const std::string& bundleID)
    {
        for (const auto& w : WindowCatalog::read(*desktop).windows)
            if (w.bundleID == bundleID)
                return w;
        return std::nullopt;
    }
    std::optional<Rect> serverFrame(WindowID id) { return test::serverFrame(*x11, *session, id); }
    // xterm takes whole character cells: its size may be short of the
    // asked one by less than a cell.
    void expectPlaced(WindowID id, const Rect& wanted)
    {
        const auto got = serverFrame(id);
        ASSERT_TRUE(got);
        EXPECT_NEAR(got->minX(), wanted.minX(), 0.5);
        EXPECT_NEAR(got->minY(), wanted.minY(), 0.5);
        EXPECT_LE(got->width(), wanted.width() + 0.5);
        EXPECT_GT(got->width(), wanted.width() - 20);
        EXPECT_LE(got->height(), wanted.height() + 0.5);
        EXPECT_GT(got->height(), wanted.height() - 30);
    }

    // The server's word: the window manager iconified it.
    bool iconic(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        if (!window)
            return false;
        xcb_connection_t* c = session->connection();
        const xcb_atom_t state = session->atom("_NET_WM_STATE"), hidden = session->atom("_NET_WM_STATE_HIDDEN");
        auto* reply = xcb_get_property_reply(c, xcb_get_property(c, 0, *window, state, XCB_ATOM_ATOM, 0, 32), nullptr);
        if (!reply)
            return false;
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const bool found = std::find(atoms, atoms + xcb_get_property_value_length(reply) / 4, hidden) !=
                           atoms + xcb_get_property_value_length(reply) / 4;
        std::free(reply);
        return found;
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;

    std::unique_ptr<test::TempHome> home;
    std::optional<std::string> savedDataDirs;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    LastToast toast;
    NoFilePanels panels;
    std::unique_ptr<Workflows> workflows;
};

TEST_F(WorkflowsX11, StartsAMissingProgramFromItsEntryPlacesItAndHidesTheOthers)
{
    ASSERT_FALSE(windowOf("XTerm")) << "xterm runs already";
    ASSERT_TRUE(windowOf("XClock"));
    const Rect frame(200, 150, 640, 400);
    workflows->store().save(Workspace{.name = "Terminal",
                                      .displays = "d",
                                      .windows = {{"XTerm", "Started from its entry", frame}},
                                      .savedAt = scheduler.now(),
                                      .hidesOtherApps = true});
    SystemWorkspace& system = desktop->platform.workspace;
    const auto location = system.applicationLocation("XTerm");
    ASSERT_TRUE(location);
    EXPECT_EQ(std::filesystem::path(*location).filename(), "xterm.desktop");
    // Without an entry: the program of that name on the path, never a path
    // a workflow file names.
    EXPECT_EQ(system.applicationLocation("XEyes"), findProgram("xeyes").value().string());
    EXPECT_EQ(system.applicationLocation("/usr/bin/xeyes"), std::nullopt);
    EXPECT_EQ(system.applicationLocation("../bin/xeyes"), std::nullopt);
    EXPECT_EQ(system.applicationLocation("NoSuchProgramHere"), std::nullopt);

    std::optional<int> finished;
    workflows->switchTo("Terminal", [&](int placed) { finished = placed; });
    EXPECT_EQ(workflows->message(), std::nullopt);
    ASSERT_TRUE(untilInRealTime([&] { return finished.has_value(); }));
    EXPECT_EQ(finished, 1);

    const auto term = windowOf("XTerm");
    ASSERT_TRUE(term);
    EXPECT_EQ(term->title, "Started from its entry");
    expectPlaced(term->id, frame);
    // xclock is not in the workflow: hidden, which is minimized here.
    ASSERT_TRUE(until([&] {
        const auto clock = windowOf("XClock");
        return clock && clock->state == WindowState::hidden && iconic(clock->id);
    }));
    for (const auto& app : desktop->platform.workspace.runningApps())
        if (app.bundleID == "XClock")
            desktop->platform.workspace.unhide(app.pid);
    ASSERT_TRUE(until([&] {
        const auto clock = windowOf("XClock");
        return clock && clock->state == WindowState::visible;
    }));
}

// A Firefox runs, but the folder where its profiles may live cannot be
// looked into: a link loop here, a folder a Firefox run as root left behind
// on a user's machine. The save keeps the windows and the switch places
// them; only the tabs are lost, and the log says why.
TEST_F(WorkflowsX11, AFirefoxFolderThatCannotBeLookedIntoCostsOnlyTheTabs)
{
    std::filesystem::create_directories(home->root() / "config");
    std::filesystem::create_symlink("mozilla", home->root() / "config" / "mozilla");
    const pid_t firefox = session->launch({KAVELO_X11_TEST_CLIENT, "--class", "firefox"});
    struct Ended {
        test::X11Session& s;
        pid_t pid;
        ~Ended() { s.terminate(pid); }
    } ended{*session, firefox};
    ASSERT_TRUE(until([&] { return windowOf("firefox").has_value(); }));
    std::vector<std::string> logged;
    workflows->log = [&](const std::string& line) { logged.push_back(line); };
    const auto loggedTheLoop = [&] {
        return std::any_of(logged.begin(), logged.end(), [](const std::string& line) {
            return line.find("Too many levels of symbolic links") != std::string::npos;
        });
    };

    workflows->save("Web", "d");
    workflows->waitForTabs();
    pump();
    auto saved = workflows->store().load("Web");
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->tabs.empty());
    EXPECT_TRUE(loggedTheLoop()) << ::testing::PrintToString(logged);

    const Rect frame(300, 200, 500, 400);
    for (SavedWindow& w : saved->windows)
        if (w.bundleID == "firefox")
            w.frame = frame;
    saved->tabs = {{"firefox", {"https://a.example/"}}};
    workflows->store().save(*saved);
    logged.clear();
    std::optional<int> placed;
    workflows->switchTo("Web", [&](int n) { placed = n; });
    ASSERT_TRUE(untilInRealTime([&] { return placed.has_value(); }));
    expectPlaced(windowOf("firefox")->id, frame);
    workflows->waitForTabs();
    pump();
    EXPECT_TRUE(loggedTheLoop()) << ::testing::PrintToString(logged);
}

TEST_F(WorkflowsX11, AMonitorAddedAtRunTimeSwitchesToItsWorkflowAfterTheSettleTime)
{
    MonitorSetups setups(*desktop, *workflows);
    setups.start();
    const std::string before = setups.displays().current;
    const auto clock = windowOf("XClock");
    ASSERT_TRUE(clock);

    struct Monitors {
        test::X11Session& s;
        ~Monitors()
        {
            s.run({"xrandr", "--delmonitor", "Left"});
            s.run({"xrandr", "--delmonitor", "Right"});
        }
    } monitors{*session};
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"}));
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2 && setups.displays().current != before; }));
    const std::string twoMonitors = setups.displays().current;
    EXPECT_EQ(twoMonitors, MonitorSetups::currentDisplays(desktop->platform.displays));
    EXPECT_TRUE(setups.settling());

    const Rect frame(1100, 200, 500, 400);
    workflows->store().save(Workspace{.name = "Docked",
                                      .displays = twoMonitors,
                                      .windows = {{"XClock", clock->title, frame}},
                                      .savedAt = scheduler.now(),
                                      .opensOnSetup = true});
    scheduler.advance(2.4);
    EXPECT_NE(toast.last, "Switched to Docked");
    scheduler.advance(0.1);
    EXPECT_EQ(toast.last, "Switched to Docked");
    ASSERT_TRUE(until([&] { return serverFrame(clock->id) == std::optional(frame); }));
}

// Six xterms on a strip that parks some of them past the left edge, a
// minute for the setup's autosave, then another monitor setup, auto mode,
// arranging off and the first setup back: the windows come back on the
// monitor, and stay there once the engine is gone.
TEST_F(WorkflowsX11, ASetupPutBackAfterTheStripNeverBringsBackItsParkingSpots)
{
    preferences->setArrangeMode(ArrangeMode::strip);
    WorkingApp working(desktop->platform.workspace);
    RecordingToast engineToast;
    FakeEnginePanels enginePanels;
    auto engine = std::make_unique<ArrangeEngine>(*desktop, working, engineToast, enginePanels);
    engine->onlyApp = "XTerm";
    preferences->onArrangeChange = [&] { engine->settingsChanged(); };
    workflows->userFrames = [&] { return engine->userFrames(); };
    MonitorSetups setups(*desktop, *workflows,
                         MonitorSetups::Engine{
                             .pause = [&](Seconds s) { engine->pause(PauseReason::display, s.count()); },
                             .adoptWindows = [&] { engine->adoptWindows(); },
                             .displaysChanged = [&] { engine->displaysChanged(); },
                         });
    engine->start();
    setups.start();

    std::vector<pid_t> terms;
    struct Ended {
        test::X11Session& s;
        std::vector<pid_t>& pids;
        ~Ended()
        {
            s.run({"xrandr", "--delmonitor", "Small"});
            for (pid_t pid : pids)
                s.terminate(pid);
        }
    } ended{*session, terms};
    const auto xterms = [&] {
        std::vector<WindowEntry> out;
        for (const auto& w : WindowCatalog::read(*desktop).windows)
            if (w.bundleID == "XTerm")
                out.push_back(w);
        return out;
    };
    // The engine's polls, in scheduler time, between tries.
    const auto polls = [&] { pump(ArrangeEngine::pollInterval); };
    // An earlier test's xterm may still run: it joins the strip.
    const std::size_t before = xterms().size();
    for (std::size_t i = 1; i <= 6; ++i) {
        terms.push_back(session->launch({"xterm"}));
        ASSERT_TRUE(test::waitFor([&] { return xterms().size() == before + i; }, test::answerDeadline, polls))
            << "xterm " << i << " never showed";
    }
    const auto monitors = [&] {
        const auto screens = desktop->platform.displays.screens();
        std::vector<Rect> out;
        for (const Screen& s : screens)
            out.push_back(ScreenCoordinates::flip(s.frame, screens.front().frame.height()));
        return out;
    };
    const auto offTheMonitor = [&] {
        std::ostringstream out;
        for (const auto& w : xterms())
            if (const auto f = serverFrame(w.id); !f || ScreenGuard::isMostlyOff(*f, monitors())) {
                out << "\n  xterm " << w.id << " at ";
                f ? out << *f : out << "nowhere";
            }
        return out.str();
    };
    ASSERT_TRUE(test::waitFor([&] { return !offTheMonitor().empty(); }, test::answerDeadline, polls))
        << "the strip parked no xterm past an edge";

    // Saved by another process, which knows nothing of the strip: the
    // parked windows are brought onto the monitor.
    const std::string full = setups.displays().current;
    for (const auto& w : WindowActions::capture(*desktop, "Desk", full).windows)
        EXPECT_FALSE(ScreenGuard::isMostlyOff(w.frame, monitors())) << w.bundleID << " saved at " << w.frame;

    // The minute's autosave holds where each window belongs.
    scheduler.advance(MonitorSetups::autosavePeriod.count());
    const auto saved = workflows->store().load(WorkspaceStore::autoName(full));
    ASSERT_TRUE(saved) << "no autosave after a minute";
    for (const auto& w : saved->windows)
        EXPECT_FALSE(ScreenGuard::isMostlyOff(w.frame, monitors())) << w.bundleID << " saved at " << w.frame;

    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Small", "1280/338x720/190+0+0", "screen"}));
    ASSERT_TRUE(until([&] { return setups.displays().current != full; }));
    scheduler.advance(MonitorSetups::settleDelay.count());
    preferences->setArrangeMode(ArrangeMode::auto_);
    for (int i = 0; i < 5; ++i)
        polls();
    preferences->setArrangeMode(ArrangeMode::off);
    ASSERT_TRUE(session->run({"xrandr", "--delmonitor", "Small"}));
    ASSERT_TRUE(until([&] { return setups.displays().current == full; }));
    scheduler.advance(MonitorSetups::settleDelay.count());
    session->sync();
    ASSERT_TRUE(until([&] { return offTheMonitor().empty(); })) << "off the monitor:" << offTheMonitor();

    engine.reset();
    x11->processEvents();
    EXPECT_EQ(offTheMonitor(), "");

    // A setup saved before, with the parking spots in it, is put back on
    // the monitor all the same.
    Workspace old = *saved;
    for (auto& w : old.windows)
        w.frame = Rect(-845, w.frame.minY(), 940, w.frame.height());
    (void)WindowActions::restore(*desktop, old);
    EXPECT_EQ(offTheMonitor(), "");
}

} // namespace
} // namespace kavelo::testing
