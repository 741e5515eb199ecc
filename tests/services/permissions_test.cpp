#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/services/permissions.h"
#include "core/json.h"
#include "services/fake_launcher.h"
#include "services/temp_home.h"

#include <gtest/gtest.h>

using namespace kavelo;

TEST(PermissionWatcher, FollowsGrantsWithinASecondAndStaysQuietOtherwise)
{
    SimDesktop sim;
    ManualScheduler scheduler;
    sim.setTrusted(false);
    sim.setCaptureAllowed(true);
    auto watcher = std::make_unique<PermissionWatcher>(sim.accessibility(), sim.capture(), scheduler);
    EXPECT_FALSE(watcher->accessibility.value());
    EXPECT_TRUE(watcher->screenRecording.value());
    EXPECT_FALSE(watcher->askedForScreenRecording.value());

    std::vector<bool> heard;
    std::vector<bool> heardCapture;
    Handle a = watcher->accessibility.subscribe([&](bool v) { heard.push_back(v); });
    Handle s = watcher->screenRecording.subscribe([&](bool v) { heardCapture.push_back(v); });
    EXPECT_EQ(heard, std::vector<bool>{false});   // the current value at once

    scheduler.advance(600);
    EXPECT_EQ(heard, std::vector<bool>{false});
    EXPECT_EQ(heardCapture, std::vector<bool>{true});

    sim.setTrusted(true);
    scheduler.advance(0.99);
    EXPECT_FALSE(watcher->accessibility.value());
    scheduler.advance(0.01);
    EXPECT_TRUE(watcher->accessibility.value());
    sim.setCaptureAllowed(false);
    sim.setTrusted(false);
    scheduler.advance(1);
    EXPECT_EQ(heard, (std::vector<bool>{false, true, false}));
    EXPECT_EQ(heardCapture, (std::vector<bool>{true, false}));

    // The owner may write a flag; the next poll puts the truth back.
    watcher->accessibility.set(true);
    scheduler.advance(1);
    EXPECT_FALSE(watcher->accessibility.value());
    watcher->askedForScreenRecording.set(true);
    scheduler.advance(10);
    EXPECT_TRUE(watcher->askedForScreenRecording.value());

    // Polling ends with the watcher.
    EXPECT_EQ(scheduler.pendingCount(), 1u);
    a.cancel();
    s.cancel();
    watcher.reset();
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    scheduler.advance(5);
}

TEST(Permissions, RequestingScreenRecordingOpensTheSettingsOnlyWhenStillRefused)
{
    SimDesktop sim;
    test::FakeLauncher launcher;
    const Permissions permissions{sim.capture(), sim.workspace(), launcher, {1, "/usr/bin/kavelo"}, nullptr};

    permissions.requestScreenRecording();
    EXPECT_TRUE(sim.requests().empty());

    sim.setCaptureAllowed(false);
    sim.setCaptureGrantedOnRequest(true);
    permissions.requestScreenRecording();
    EXPECT_TRUE(sim.requests().empty());

    sim.setCaptureAllowed(false);
    sim.setCaptureGrantedOnRequest(false);
    permissions.requestScreenRecording();
    ASSERT_EQ(sim.requests().size(), 1u);
    EXPECT_EQ(sim.requests()[0].kind, "openURLs");
    EXPECT_EQ(sim.requests()[0].urls,
              std::vector<std::string>{"x-apple.systempreferences:com.apple.preference.security?Privacy_ScreenCapture"});
    EXPECT_TRUE(launcher.calls.empty());
}

TEST(Permissions, RelaunchStartsTheHelperThenQuitsEvenWhenTheHelperFails)
{
    SimDesktop sim;
    test::FakeLauncher launcher;
    std::vector<std::string> order;
    const Permissions permissions{sim.capture(), sim.workspace(), launcher, {4242, "/opt/kavelo/kavelo"},
                                  [&] { order.push_back("terminate"); }};
    permissions.relaunch();
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, "/bin/sh");
    EXPECT_EQ(launcher.calls[0].arguments,
              (std::vector<std::string>{"-c",
                                        "sleep 0.6; while kill -0 \"$1\" 2>/dev/null; do sleep 0.1; done; KAVELO_RELAUNCHED=1 exec \"$0\"",
                                        "/opt/kavelo/kavelo", "4242"}));
    EXPECT_EQ(order, std::vector<std::string>{"terminate"});

    launcher.succeeds = false;
    permissions.relaunch();
    EXPECT_EQ(order.size(), 2u);
}

// The helper for real: it waits for the old process to be gone before the
// program starts again, so two instances never overlap.
TEST(Permissions, TheRelaunchedProgramStartsOnlyAfterTheOldProcessEnded)
{
    test::TempHome home;
    SimDesktop sim;
    DetachedLauncher launcher;
    test::Sleeper old;
    const auto out = home.root() / "relaunched";
    const auto probe = test::writeProbe(home.root() / "bin", out);
    bool terminated = false;
    const Permissions permissions{sim.capture(), sim.workspace(), launcher,
                                  {static_cast<std::int32_t>(old.pid()), probe.string()}, [&] { terminated = true; }};
    permissions.relaunch();
    EXPECT_TRUE(terminated);

    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_FALSE(std::filesystem::exists(out));
    old.stop();
    EXPECT_TRUE(test::eventually([&] { return std::filesystem::exists(out); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(readFile(out), "ran relaunched\n");
}

TEST(DetachedLauncher, StartsProgramsThatAreNotItsChildren)
{
    test::TempHome home;
    DetachedLauncher launcher;
    const auto out = home.root() / "parent";
    ASSERT_TRUE(launcher.launch("/bin/sh", {"-c", "echo $PPID > \"$0.tmp\" && mv \"$0.tmp\" \"$0\"", out.string()}));
    ASSERT_TRUE(test::eventually([&] { return std::filesystem::exists(out); }));
    const auto parent = readFile(out);
    ASSERT_TRUE(parent);
    EXPECT_NE(std::stoi(*parent), ::getpid());

    EXPECT_FALSE(launcher.launch("/nonexistent/program", {}));
    EXPECT_FALSE(launcher.launch(home.root().string(), {}));   // a folder
}

TEST(OwnProcess, NamesThisProcessAndItsExecutable)
{
    const OwnProcess me = OwnProcess::current();
    EXPECT_EQ(me.pid, ::getpid());
    EXPECT_TRUE(std::filesystem::path(me.executable).is_absolute());
    EXPECT_EQ(std::filesystem::path(me.executable).filename(), "services_tests");
}
