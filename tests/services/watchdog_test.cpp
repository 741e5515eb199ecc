#include "app/platform/manual_scheduler.h"
#include "app/services/termination_signals.h"
#include "app/services/watchdog.h"
#include "core/json.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <sstream>

using namespace kavelo;

namespace {

std::vector<std::string> logLines(const Watchdog& w)
{
    std::vector<std::string> lines;
    std::istringstream in(readFile(w.files().logFile).value_or(""));
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The messages without their time stamps.
std::vector<std::string> messages(const Watchdog& w)
{
    std::vector<std::string> result;
    for (const std::string& line : logLines(w))
        result.push_back(line.substr(line.find(' ') + 1));
    return result;
}

Json launchesFile(const Watchdog& w)
{
    return json::parse(readFile(w.files().launches).value_or("")).value_or(Json());
}

struct WatchdogTest : ::testing::Test {
    test::TempHome home;
    ManualClock clock;
    test::FakeLauncher launcher;
    Watchdog watchdog{home.paths(), clock, launcher, {777, "/opt/kavelo/bin/kavelo"}};
    double now() const { return epochSeconds(clock.now()); }
};

} // namespace

TEST_F(WatchdogTest, TheFirstLaunchMarksTheRunLogsAndStartsTheWatcher)
{
    watchdog.start();
    EXPECT_EQ(watchdog.files().running, home.root() / "data/Kavelo/running");
    EXPECT_EQ(watchdog.files().logFile, home.root() / "state/Kavelo/engine.log");
    EXPECT_EQ(readFile(watchdog.files().running), "");
    EXPECT_EQ(readFile(watchdog.files().launches), "[]");
    EXPECT_EQ(logLines(watchdog), std::vector<std::string>{isoDate(clock.now()) + " started"});
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, "/bin/sh");
    EXPECT_EQ(launcher.calls[0].arguments,
              (std::vector<std::string>{
                  "-c",
                  "while kill -0 \"$1\" 2>/dev/null; do /bin/sleep 2; done; [ -e \"$2\" ] && KAVELO_RELAUNCHED=1 exec \"$3\"",
                  "kavelo-watchdog", "777", (home.root() / "data/Kavelo/running").string(),
                  "/opt/kavelo/bin/kavelo"}));
}

TEST_F(WatchdogTest, AfterThreeRestartsWithinTwoMinutesTheWatchdogStaysOff)
{
    // Two crash restarts 100 s and 50 s ago, and the run since crashed too.
    std::filesystem::create_directories(watchdog.files().support);
    ASSERT_FALSE(writeFileAtomically(watchdog.files().launches, Json({now() - 100, now() - 50}).dump()));
    ASSERT_FALSE(writeFileAtomically(watchdog.files().running, ""));

    watchdog.start();
    EXPECT_EQ(launchesFile(watchdog), Json({now() - 100, now() - 50, now()}));
    EXPECT_EQ(messages(watchdog), std::vector<std::string>{"started after an unexpected exit"});
    EXPECT_EQ(launcher.calls.size(), 1u);

    clock.advance(Seconds(10));   // and it crashed again
    watchdog.start();
    EXPECT_EQ(launchesFile(watchdog).size(), 4u);
    EXPECT_EQ(messages(watchdog), (std::vector<std::string>{"started after an unexpected exit",
                                                            "started after an unexpected exit",
                                                            "restarting too often, so the watchdog stays off"}));
    EXPECT_EQ(launcher.calls.size(), 1u);
    // The marker is there all the same: a clean quit still counts as one.
    EXPECT_TRUE(std::filesystem::exists(watchdog.files().running));
}

TEST_F(WatchdogTest, TimesAgeOutOfTheWindowAndCleanStartsLeaveTheListAlone)
{
    std::filesystem::create_directories(watchdog.files().support);
    ASSERT_FALSE(writeFileAtomically(watchdog.files().launches, Json({now() - 120, now() - 119.5, now()}).dump()));
    watchdog.start();
    // Exactly 120 s old is out.
    EXPECT_EQ(launchesFile(watchdog), Json({now() - 119.5, now()}));
    EXPECT_EQ(messages(watchdog), std::vector<std::string>{"started"});

    watchdog.markCleanExit();
    EXPECT_FALSE(std::filesystem::exists(watchdog.files().running));
    EXPECT_EQ(messages(watchdog).back(), "quit");
    clock.advance(Seconds(1));
    watchdog.start();
    EXPECT_EQ(launchesFile(watchdog), Json({now() - 1}));
    EXPECT_EQ(messages(watchdog).back(), "started");
}

TEST_F(WatchdogTest, LaunchTimesAfterNowAreDropped)
{
    // Four restarts stamped ahead of the clock (a clock set back) must not
    // switch crash protection off until that time comes.
    std::filesystem::create_directories(watchdog.files().support);
    ASSERT_FALSE(writeFileAtomically(watchdog.files().launches,
                                     Json({now() + 1, now() + 50, now() + 3600, now() + 1e9}).dump()));
    ASSERT_FALSE(writeFileAtomically(watchdog.files().running, ""));
    watchdog.start();
    EXPECT_EQ(launchesFile(watchdog), Json({now()}));
    EXPECT_EQ(messages(watchdog), std::vector<std::string>{"started after an unexpected exit"});
    EXPECT_EQ(launcher.calls.size(), 1u);
}

TEST_F(WatchdogTest, ACorruptLaunchListCountsAsEmpty)
{
    std::filesystem::create_directories(watchdog.files().support);
    for (const char* bad : {"{", "[1, \"2\"]", "{\"a\": 1}", "[null]"}) {
        ASSERT_FALSE(writeFileAtomically(watchdog.files().launches, bad));
        ASSERT_FALSE(writeFileAtomically(watchdog.files().running, ""));
        watchdog.start();
        EXPECT_EQ(launchesFile(watchdog), Json({now()})) << bad;
    }
}

TEST_F(WatchdogTest, ADeeplyNestedLaunchListCountsAsEmpty)
{
    std::filesystem::create_directories(watchdog.files().support);
    ASSERT_FALSE(writeFileAtomically(watchdog.files().launches,
                                     std::string(100'000, '[') + std::string(100'000, ']')));
    ASSERT_FALSE(writeFileAtomically(watchdog.files().running, ""));
    watchdog.start();
    EXPECT_EQ(launchesFile(watchdog), Json({now()}));
}

TEST_F(WatchdogTest, LogLinesAreAppendedInCallOrderOneLineEach)
{
    clock.set(dateFromEpochSeconds(1'773'480'413.25));
    watchdog.log("woke");
    watchdog.log("refused shortcut for snapLeft\nsecond line");
    EXPECT_EQ(logLines(watchdog), (std::vector<std::string>{"2026-03-14T09:26:53Z woke",
                                                            "2026-03-14T09:26:53Z refused shortcut for snapLeft second line"}));
    EXPECT_EQ(readFile(watchdog.files().logFile)->back(), '\n');

    // A log that cannot be written is no failure.
    std::filesystem::remove_all(watchdog.files().logFile.parent_path());
    ASSERT_FALSE(writeFileAtomically(home.root() / "state/Kavelo", "a file where the folder belongs"));
    watchdog.log("lost");
    watchdog.markCleanExit();
}

// Random runs of crashes, clean quits and pauses against a plain model of
// the rule.
RC_GTEST_PROP(WatchdogModel, DecidesLikeTheRuleOverAnySequenceOfLaunches, ())
{
    test::TempHome home;
    ManualClock clock;
    test::FakeLauncher launcher;
    Watchdog watchdog{home.paths(), clock, launcher, {1, "/k"}};

    std::vector<double> times;
    bool markerLeft = false;
    std::size_t watchers = 0;
    const int steps = *rc::gen::inRange(1, 40);
    for (int step = 0; step < steps; ++step) {
        // Now and then the clock is set back.
        const int pause = *rc::gen::inRange(-30, 90);
        clock.advance(Seconds(pause));
        const bool quitsCleanly = *rc::gen::arbitrary<bool>();

        watchdog.start();
        const double now = epochSeconds(clock.now());
        std::erase_if(times, [&](double t) { return t > now || now - t >= 120; });
        const bool unclean = markerLeft;
        if (unclean)
            times.push_back(now);
        const bool watched = times.size() <= 3;
        watchers += watched ? 1 : 0;

        RC_ASSERT(launchesFile(watchdog) == Json(times));
        RC_ASSERT(launcher.calls.size() == watchers);
        const std::vector<std::string> said = messages(watchdog);
        RC_ASSERT(said.size() >= (watched ? 1u : 2u));
        RC_ASSERT(said[said.size() - (watched ? 1 : 2)] ==
                  (unclean ? "started after an unexpected exit" : "started"));
        if (!watched)
            RC_ASSERT(said.back() == std::string("restarting too often, so the watchdog stays off"));

        if (quitsCleanly)
            watchdog.markCleanExit();
        markerLeft = !quitsCleanly;
        RC_ASSERT(std::filesystem::exists(watchdog.files().running) == markerLeft);
    }
}

TEST(TerminationSignals, TermAndIntQuitCleanlyOnTheMainThread)
{
    test::TempHome home;
    ManualScheduler scheduler;
    test::FakeLauncher launcher;
    Watchdog watchdog{home.paths(), scheduler.clock(), launcher, {1, "/k"}};
    watchdog.start();

    struct sigaction before {};
    ::sigaction(SIGTERM, nullptr, &before);
    for (int signal : {SIGTERM, SIGINT}) {
        std::vector<int> quits;
        {
            TerminationSignals signals(scheduler, [&](int s) {
                quits.push_back(s);
                watchdog.markCleanExit();
            });
            ASSERT_TRUE(signals.installed());
            ::raise(signal);
            // Nothing runs inside the handler; the quit waits for the main thread.
            ASSERT_TRUE(test::eventually([&] { return scheduler.pendingCount() > 0; }));
            EXPECT_TRUE(quits.empty());
            scheduler.runPending();
            EXPECT_EQ(quits, std::vector<int>{signal});
            EXPECT_FALSE(std::filesystem::exists(watchdog.files().running));
            EXPECT_EQ(messages(watchdog).back(), "quit");
        }
        watchdog.start();
    }
    struct sigaction after {};
    ::sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, before.sa_handler);

    // A quit posted just before the owner went away does not run.
    std::vector<int> quits;
    {
        TerminationSignals signals(scheduler, [&](int s) { quits.push_back(s); });
        ::raise(SIGINT);
        ASSERT_TRUE(test::eventually([&] { return scheduler.pendingCount() > 0; }));
    }
    scheduler.runPending();
    EXPECT_TRUE(quits.empty());
}

// The watcher for real: it reopens the program once the process is gone,
// and only when the marker was left behind.
TEST(Watcher, ReopensAfterAnUncleanEndOnly)
{
    test::TempHome home;
    ManualClock clock;
    DetachedLauncher launcher;
    const auto folder = home.root();
    const auto paths = [&](const std::string& name) {
        return Paths{.applicationSupport = folder / name / "support", .logs = folder / name / "logs"};
    };
    test::Sleeper crashing;
    test::Sleeper quitting;
    const auto crashedOut = folder / "reopened-after-crash";
    const auto quitOut = folder / "reopened-after-quit";
    Watchdog first{paths("a"), clock, launcher,
                   {static_cast<std::int32_t>(crashing.pid()), test::writeProbe(folder / "a", crashedOut).string()}};
    Watchdog second{paths("b"), clock, launcher,
                    {static_cast<std::int32_t>(quitting.pid()), test::writeProbe(folder / "b", quitOut).string()}};
    first.start();
    second.start();
    second.markCleanExit();

    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(std::filesystem::exists(crashedOut));
    crashing.stop();
    quitting.stop();
    EXPECT_TRUE(test::eventually([&] { return std::filesystem::exists(crashedOut); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_FALSE(std::filesystem::exists(quitOut));
    // Marked as a relaunch, so that it never passes for a second start.
    EXPECT_EQ(readFile(crashedOut), "ran relaunched\n");
}
