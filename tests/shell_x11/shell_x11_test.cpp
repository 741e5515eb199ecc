// The real `kavelo` program on a private Xvfb with openbox (its keys left
// free) and xterms: it takes its shortcuts from the server, snaps the
// focused window from the keyboard, stays the one instance on its display,
// on SIGTERM puts every window back on a monitor and logs its quit, shows
// its icon in a tray that starts after it, brings its own window back when
// a monitor change left it off screen, and lets a monitor change end Clean
// Space.

#include "app/platform/x11/x11_desktop.h"
#include "core/screen_guard.h"
#include "core/tile_floor.h"
#include "core/workspace_store.h"
#include "shell_x11/kavelo_x11_fixture.h"
#include "support/person_keys.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

const std::vector<std::string> trayer{"trayer", "--edge", "top", "--align", "right", "--widthtype",
                                      "request", "--height", "28", "--SetDockType", "true",
                                      "--SetPartialStrut", "false", "--transparent", "false"};

// Classic virtual key codes, turned into the server's by the backend.
constexpr std::uint16_t controlKey = 59, optionKey = 58, leftArrow = 123;

class ShellX11 : public KaveloX11Test {
protected:
    void SetUp() override
    {
        KaveloX11Test::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        const auto area = session->cardinals(session->root(), "_NET_WORKAREA");
        ASSERT_GE(area.size(), 4u);
        visible = Rect(area[0], area[1], area[2], area[3]);
    }

    void TearDown() override
    {
        x11.reset();
        KaveloX11Test::TearDown();
    }

    // Within the usable area from side to side: not parked past an edge.
    bool inView(const Rect& frame) const
    {
        return frame.minX() >= visible.minX() - 1 && frame.maxX() <= visible.maxX() + 1;
    }

    std::map<xcb_window_t, Rect> xtermFrames() const
    {
        std::map<xcb_window_t, Rect> out;
        for (auto window : session->windowsOfClass("XTerm"))
            if (auto frame = session->frame(window))
                out[window] = *frame;
        return out;
    }

    std::unique_ptr<X11Desktop> x11;
    Rect visible;
};

TEST_F(ShellX11, AProbesGrabOfTheOverviewShortcutIsRefusedAndControlOptionLeftSnapsTheFocusedXterm)
{
    writeDefaults(R"({"welcomed": true})");
    startKavelo();

    // Control-Option-Space belongs to Kavelo now: another client's grab fails.
    xcb_connection_t* c = session->connection();
    const std::uint8_t space = x11->serverKeyCode(49).value();
    const auto cookie = xcb_grab_key_checked(c, 1, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, space,
                                             XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    std::unique_ptr<xcb_generic_error_t, decltype(&std::free)> refused(xcb_request_check(c, cookie), &std::free);
    ASSERT_TRUE(refused) << "the probe took Control-Option-Space";
    EXPECT_EQ(refused->error_code, XCB_ACCESS);

    const auto term = session->windowsOfClass("XTerm").back();
    ASSERT_TRUE(test::waitFor([&] { return session->activeWindow() == term; }, test::answerDeadline));
    const auto server = [&](std::uint16_t key) { return x11->serverKeyCode(key).value(); };
    test::Typist(*session).chord({server(controlKey), server(optionKey)}, server(leftArrow));

    // The left half of the visible area; xterm rounds its size to whole
    // characters, so the far edge may fall a little short.
    const auto leftHalf = [&] {
        const auto frame = session->frame(term);
        return frame && std::abs(frame->minX() - visible.minX()) <= 1 && std::abs(frame->minY() - visible.minY()) <= 1 &&
               frame->maxX() <= visible.midX() + 1 && frame->maxX() >= visible.midX() - 24 &&
               frame->maxY() >= visible.maxY() - 24;
    };
    EXPECT_TRUE(test::waitFor(leftHalf, test::answerDeadline))
        << "xterm at " << session->frame(term)->minX() << "," << session->frame(term)->minY() << " "
        << session->frame(term)->width() << "x" << session->frame(term)->height();
}

TEST_F(ShellX11, ASecondStartHandsOverAndExitsWithoutASecondEngine)
{
    writeDefaults(R"({"welcomed": true})");
    const pid_t kavelo = startKavelo();
    EXPECT_TRUE(session->run({KAVELO_BINARY}));
    // The one instance still runs and logged one start.
    EXPECT_EQ(::waitpid(kavelo, nullptr, WNOHANG), 0);
    const std::string text = log();
    std::size_t starts = 0;
    for (auto at = text.find("started"); at != std::string::npos; at = text.find("started", at + 1))
        ++starts;
    EXPECT_EQ(starts, 1u) << text;
}

TEST_F(ShellX11, TerminatedInStripModeEveryWindowIsBackOnTheMonitor)
{
    writeDefaults(R"({"welcomed": true, "arrangeMode": "strip"})");
    const pid_t kavelo = startKavelo();
    for (int i = 0; i < 3; ++i)
        launch({"xterm"});
    const auto waitsOffScreen = [&] {
        const auto frames = xtermFrames();
        if (frames.size() < 4)
            return false;
        return std::any_of(frames.begin(), frames.end(), [&](const auto& w) { return !inView(w.second); });
    };
    ASSERT_TRUE(test::waitFor(waitsOffScreen, test::answerDeadline)) << "no strip column waits past an edge";

    ASSERT_EQ(::kill(kavelo, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(kavelo, &status, 0), kavelo);
    ended(kavelo);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    session->sync();
    for (const auto& [window, frame] : xtermFrames())
        EXPECT_TRUE(inView(frame)) << frame;
    EXPECT_NE(log().find(" quit"), std::string::npos) << log();
    EXPECT_FALSE(std::filesystem::exists(home->paths().applicationSupport / "running"));
}

// Six xterms where the window manager put them, then the strip takes them:
// two shown, four parked past the left edge. A save from the command line
// is the running Kavelo's: the shown windows are stored where they are, the
// parked ones where they were before the strip took them, never at one spot
// on the screen's edge.
TEST_F(ShellX11, ASaveFromTheCommandLineKeepsEachWindowTheStripParkedWhereItBelongs)
{
    for (int i = 0; i < 5; ++i)
        launch({"xterm"});
    std::map<xcb_window_t, Rect> before;
    ASSERT_TRUE(test::waitFor(
        [&] {
            const auto now = xtermFrames();
            const bool still = now.size() == 6 && now == before;
            before = now;
            return still;
        },
        test::answerDeadline, [] { std::this_thread::sleep_for(200ms); }))
        << "the xterms never came to rest";

    writeDefaults(R"({"welcomed": true, "arrangeMode": "strip"})");
    startKavelo();
    std::map<xcb_window_t, Rect> live;
    ASSERT_TRUE(test::waitFor(
        [&] {
            live = xtermFrames();
            return live.size() == 6 &&
                   std::count_if(live.begin(), live.end(), [&](const auto& w) { return !inView(w.second); }) == 4;
        },
        test::answerDeadline))
        << "the strip never parked four xterms";

    const auto run = kavelo({"--save", "stripset"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto saved = WorkspaceStore(home->paths().applicationSupport / "Layouts").load("stripset");
    ASSERT_TRUE(saved);
    std::vector<Rect> expected, got;
    for (const auto& [window, frame] : live)
        expected.push_back(inView(frame) ? frame : before.at(window));
    for (const auto& window : saved->windows)
        got.push_back(window.frame);
    EXPECT_THAT(got, ::testing::UnorderedElementsAreArray(expected));
}

TEST_F(ShellX11, ATrayStartedAfterKaveloShowsTheIconAClickOpensThePanelAndARestartedTrayShowsItAgain)
{
    writeDefaults(R"({"welcomed": true})");
    startKavelo();
    EXPECT_TRUE(kaveloWindows(true).empty()) << "no tray yet";

    const pid_t tray = launch(trayer);
    ASSERT_TRUE(test::waitFor([&] { return !kaveloWindows(true).empty(); }, test::answerDeadline))
        << "the icon never docked";
    // Docking ends with the tray placing the icon: where two looks a moment
    // apart find it.
    std::optional<Rect> placed;
    ASSERT_TRUE(test::waitFor(
        [&] {
            const auto docked = kaveloWindows(true);
            const std::optional<Rect> now = docked.empty() ? std::nullopt : std::optional(docked.front().area);
            const bool still = now && placed == now && now->width() >= 16 && now->height() >= 16;
            placed = now;
            return still;
        },
        test::answerDeadline, [] { std::this_thread::sleep_for(50ms); }))
        << "the icon was never placed";
    const Rect icon = *placed;
    EXPECT_LT(icon.minY(), 40) << "in the tray along the top edge";

    session->movePointer(int(icon.midX()), int(icon.midY()));
    session->sync();
    std::this_thread::sleep_for(100ms);
    session->button(1, true);
    std::this_thread::sleep_for(30ms);
    session->button(1, false);
    session->sync();
    EXPECT_TRUE(test::waitFor([&] { return panelShown(); }, test::answerDeadline))
        << "a click on the icon opens the panel";

    // The tray goes away and comes back: so does the icon.
    session->terminate(tray);
    ended(tray);
    ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(true).empty(); }, test::answerDeadline));
    launch(trayer);
    EXPECT_TRUE(test::waitFor([&] { return !kaveloWindows(true).empty(); }, test::answerDeadline))
        << "the icon came not back";
}

TEST_F(ShellX11, APreviewBesideTheRunningKaveloTakesNoKeysAddsNoTrayIconAndWritesNothingOfIts)
{
    writeDefaults(R"({"welcomed": true})");
    launch(trayer);
    startKavelo();
    ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(true).size() == 1; }, 10s)) << "the icon never docked";
    const auto defaults = home->paths().userDefaults;
    const auto written = std::filesystem::last_write_time(defaults);
    const std::string before = log();

    // The Shortcuts page, which asks for the keys when it shows.
    const pid_t preview = launch({KAVELO_BINARY, "--show", "shortcuts"});
    std::size_t mostIcons = 0;
    bool shown = false;
    int status = -1;
    const bool done = test::waitFor(
        [&] {
            mostIcons = std::max(mostIcons, kaveloWindows(true).size());
            shown = shown || !kaveloWindows(false).empty();
            return ::waitpid(preview, &status, WNOHANG) == preview;
        },
        20s);
    ASSERT_TRUE(done) << "the preview still runs after 20 s";
    ended(preview);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(shown) << "the preview showed no window";
    EXPECT_EQ(mostIcons, 1u) << "a second icon in the tray";
    EXPECT_EQ(log(), before) << "the preview wrote into the running Kavelo's log";
    EXPECT_EQ(std::filesystem::last_write_time(defaults), written) << "the preview wrote the settings";
}

// Forty windows, more than fit in rows or beside a focus tile: the command
// line's tidy leaves each at least the tile floor (an xterm less than a
// character cell short of it), and so they stay once it has ended.
TEST_F(ShellX11, TidyingFortyWindowsMakesNoneSmallerThanTheFloor)
{
    writeDefaults(R"({"welcomed": true, "windowGap": 10})");
    for (int i = 0; i < 32; ++i)
        launch({"xclock"});
    for (int i = 0; i < 7; ++i)
        launch({"xterm"});
    ASSERT_TRUE(test::waitFor([&] { return session->clientList().size() >= 40; }, test::startDeadline))
        << session->clientList().size() << " of 40 windows managed";
    const Size floor = TileFloor::of(visible.insetBy(10, 10));
    const auto underTheFloor = [&] {
        std::ostringstream out;
        for (xcb_window_t w : session->clientList()) {
            const auto frame = session->frame(w);
            const Size cell = session->resizeIncrements(w);
            if (!frame || frame->width() + cell.width < floor.width - 0.5 ||
                frame->height() + cell.height < floor.height - 0.5) {
                out << "\n  " << session->wmClass(w).value_or("?") << " at ";
                frame ? out << *frame : out << "nowhere";
            }
        }
        return out.str();
    };
    for (const char* layout : {"rows", "focus"}) {
        SCOPED_TRACE(layout);
        ASSERT_TRUE(session->run({KAVELO_BINARY, "--tidy", layout}));
        session->sync();
        EXPECT_TRUE(test::waitFor([&] { return underTheFloor().empty(); }, test::answerDeadline))
            << "under " << floor << ":" << underTheFloor();
    }
}

// The welcome, centred on the right one of two monitors that then give way
// to one smaller monitor at the left: openbox leaves the window where it
// stood, off that monitor but for a sliver; Kavelo brings it back.
TEST_F(ShellX11, AMonitorChangeLeavesNoWindowOfKavelosOffScreen)
{
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"}));
    session->movePointer(1500, 500);
    writeDefaults("{}");
    startKavelo();
    const auto welcome = [&]() -> std::optional<Rect> {
        for (xcb_window_t w : session->windowsOfClass("Kavelo"))
            if (const auto frame = session->frame(w); frame && frame->height() > 700)
                return frame;
        return std::nullopt;
    };
    EXPECT_TRUE(test::waitFor([&] { return welcome() && welcome()->minX() >= 960; }, test::answerDeadline))
        << "no welcome on the right monitor";

    session->run({"xrandr", "--delmonitor", "Left"});
    session->run({"xrandr", "--delmonitor", "Right"});
    session->run({"xrandr", "--setmonitor", "Small", "1280/338x720/190+0+0", "screen"});
    const Rect small(0, 0, 1280, 720);
    EXPECT_TRUE(test::waitFor([&] { return welcome() && !ScreenGuard::isMostlyOff(*welcome(), {small}); },
                              test::answerDeadline))
        << "the welcome stands at " << welcome().value_or(Rect()) << ", mostly off the monitor " << small;
    session->run({"xrandr", "--delmonitor", "Small"});
}

// Clean Space holds arranging while it lasts; a monitor change ends it, as
// its window and curtains were fitted to the monitor gone, and the strip
// takes the xterms from the two halves of the screen onto the one monitor.
TEST_F(ShellX11, AMonitorChangeEndsCleanSpaceAndTheStripTakesUpTheNewMonitor)
{
    writeDefaults(R"({"welcomed": true, "arrangeMode": "strip"})");
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Top", "1920/508x540/143+0+0", "screen"}));
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Bottom", "1920/508x540/143+0+540", "none"}));
    startKavelo();
    launch({"xterm"});
    launch({"xterm"});
    const auto tallest = [&] {
        double most = 0;
        for (const auto& [window, frame] : xtermFrames())
            most = std::max(most, frame.height());
        return most;
    };
    EXPECT_TRUE(test::waitFor([&] { return xtermFrames().size() == 3 && tallest() <= 540; }, test::answerDeadline))
        << "the strip never laid the xterms out on the half monitors";
    EXPECT_TRUE(session->run({KAVELO_BINARY, "kavelo://run/cleanSpace"}));
    const auto curtains = [&] {
        const auto shown = kaveloWindows(false);
        return std::count_if(shown.begin(), shown.end(), [](const Found& f) { return f.area.width() >= 900; });
    };
    EXPECT_TRUE(test::waitFor([&] { return curtains() == 2; }, test::answerDeadline)) << "no Clean Space";

    session->run({"xrandr", "--delmonitor", "Top"});
    session->run({"xrandr", "--delmonitor", "Bottom"});
    EXPECT_TRUE(test::waitFor([&] { return tallest() > 540 && curtains() == 0; }, test::answerDeadline))
        << "the tallest xterm is " << tallest() << " high, " << curtains() << " curtains shown";
}

} // namespace
} // namespace kavelo::testing
