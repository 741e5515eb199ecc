// The launch sequence, the preview mode, the welcome on first run, wake,
// quit, and a delegate that is gone.

#include "shell/delegate_world.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

// Registers through the desktop and notes, for each registration, whether
// the engine had started by then.
struct WatchedHotKeys : SystemHotKeys {
    WatchedHotKeys(SystemHotKeys& keys, DelegateWorld& world) : keys(keys), world(world) {}
    void setHandler(std::function<void(std::uint32_t)> handler) override { keys.setHandler(std::move(handler)); }
    std::optional<Ref> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::uint32_t id) override
    {
        engineRan.push_back(world.delegate && world.delegate->hasEngine() && world.delegate->arrange().isStarted());
        return keys.registerHotKey(keyCode, modifiers, id);
    }
    void unregisterHotKey(Ref ref) override { keys.unregisterHotKey(ref); }
    SystemHotKeys& keys;
    DelegateWorld& world;
    std::vector<bool> engineRan;
};

class AppDelegateTest : public DelegateTest {};

TEST_F(AppDelegateTest, HotKeysAreRegisteredOnlyOnceTheEngineRuns)
{
    WatchedHotKeys watched(sim.hotKeys(), *this);
    hotKeysStandIn = &watched;
    auto& d = launch();
    ASSERT_FALSE(watched.engineRan.empty());
    for (bool ran : watched.engineRan)
        EXPECT_TRUE(ran);
    EXPECT_TRUE(d.arrange().isStarted());
    EXPECT_EQ(views.menus, 1);
    EXPECT_FALSE(sim.registeredHotKeys().empty());
    delegate.reset();
}

TEST_F(AppDelegateTest, TheTapRunsOnlyWhileTrusted)
{
    sim.setTrusted(false);
    launch();
    EXPECT_FALSE(sim.tapEnabled());
    sim.setTrusted(true);
    scheduler.advance(PermissionWatcher::interval);
    EXPECT_TRUE(sim.tapEnabled()) << "it starts once the watcher sees the grant";
    sim.setTrusted(false);
    scheduler.advance(PermissionWatcher::interval);
    EXPECT_FALSE(sim.tapEnabled());
}

TEST_F(AppDelegateTest, TheWatchdogMarksTheRunExceptInThePreview)
{
    auto& d = launch();
    EXPECT_TRUE(std::filesystem::exists(d.watchdog().files().running));
    EXPECT_EQ(launcher.calls.size(), 1u) << "the restart watcher";
    d.terminate();
    EXPECT_FALSE(std::filesystem::exists(d.watchdog().files().running));

    launcher.calls.clear();
    auto& preview = launch({"--show", "general"});
    EXPECT_FALSE(std::filesystem::exists(preview.watchdog().files().running));
    EXPECT_TRUE(launcher.calls.empty());
}

TEST_F(AppDelegateTest, WelcomeOnlyUntilWelcomed)
{
    launch({}, true);
    ASSERT_TRUE(views.windows);
    EXPECT_EQ(views.windows->welcomes, 1);
    views.windows->done();
    EXPECT_EQ(views.windows->welcomeCloses, 1);
    EXPECT_EQ(lastToast(), "Press Alt+Tab to switch, or Ctrl+Alt+Space to see everything");
    EXPECT_EQ(views.toasts.shown.back().second, "keyboard");
    EXPECT_EQ(delegate->defaults().boolean(AppDelegate::welcomedKey), true);

    views.windows = nullptr;
    delegate.reset();
    make().applicationDidFinishLaunching();
    EXPECT_EQ(views.windows, nullptr) << "welcomed: no window";
}

TEST_F(AppDelegateTest, TheFirstToastNamesTheBoundKeysAndWithoutATrayHowThePanelOpens)
{
    views.hasTray = false;
    launch({}, true);
    delegate->preferences().setShortcut(Shortcut{49, Shortcut::command});
    ASSERT_TRUE(views.windows);
    views.windows->done();
    EXPECT_EQ(lastToast(),
              "Press Alt+Tab to switch, or Super+Space to see everything. No tray here: run kavelo again for its panel");
}

TEST_F(AppDelegateTest, ShowSwitcherDrawsAfterADelayAndEveryPreviewEndsAtFiveSeconds)
{
    launch({"--show", "switcher"});
    EXPECT_TRUE(delegate->switcher().isActive());
    EXPECT_EQ(views.switcherPanel, nullptr);
    scheduler.advance(0.39);
    const int before = views.switcherPanel ? views.switcherPanel->shows : 0;
    scheduler.advance(0.01);
    ASSERT_NE(views.switcherPanel, nullptr);
    EXPECT_EQ(views.switcherPanel->shows, before + 1) << "drawn afresh at 0.4 s";
    EXPECT_TRUE(views.switcherPanel->shown);
    scheduler.advance(4.59);
    EXPECT_TRUE(exits.empty());
    scheduler.advance(0.01);
    EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(AppDelegateTest, EachPreviewShowsItsScreen)
{
    const std::vector<std::pair<std::string, std::function<void()>>> cases{
        {"overview", [&] { EXPECT_TRUE(views.overviewPanel && views.overviewPanel->visible); }},
        {"welcome", [&] { EXPECT_EQ(views.windows->welcomes, 1); }},
        {"panel", [&] { EXPECT_TRUE(delegate->popover().isOpen()); }},
        {"arrange", [&] { EXPECT_EQ(views.windows->tabs, std::vector{SettingsTab::arrange}); }},
        {"Shortcuts", [&] { EXPECT_EQ(views.windows->tabs, std::vector{SettingsTab::general}); }},
    };
    for (const auto& [value, check] : cases) {
        SCOPED_TRACE(value);
        exits.clear();
        views.windows = nullptr;
        views.overviewPanel = nullptr;
        delegate.reset();
        launch({"--show", value}, true);
        check();
        if (value != "welcome") {
            EXPECT_TRUE(!views.windows || views.windows->welcomes == 0) << "the welcome check is skipped";
        }
        // Beside a running Kavelo: none of its keys, no second icon, no
        // engine, nothing written to its files, also when the preview quits.
        delegate->reclaimKeys();
        EXPECT_TRUE(sim.registeredHotKeys().empty());
        EXPECT_FALSE(delegate->item());
        EXPECT_FALSE(delegate->arrange().isStarted());
        delegate->preferences().setArrangeMode(ArrangeMode::strip);
        scheduler.advance(AppDelegate::previewSeconds);
        EXPECT_EQ(exits, std::vector<int>{0});
        delegate->terminate();
        EXPECT_TRUE(logLines().empty());
        EXPECT_FALSE(std::filesystem::exists(delegate->defaults().file()));
    }
}

TEST_F(AppDelegateTest, ShowAsTheLastArgumentLaunchesNormallyWithoutTheWatchdog)
{
    auto& d = launch({"--show"}, true);
    EXPECT_FALSE(std::filesystem::exists(d.watchdog().files().running));
    ASSERT_TRUE(views.windows);
    EXPECT_EQ(views.windows->welcomes, 1);
    scheduler.advance(10);
    EXPECT_TRUE(exits.empty());
}

TEST_F(AppDelegateTest, WakeLogsRestartsTheTapAndArrangesAfresh)
{
    CountingTap tap(sim.eventTap());
    tapStandIn = &tap;
    auto& d = launch();
    ASSERT_EQ(tap.starts, 1);
    d.arrange().lastSignature = "before";
    sim.wake();
    scheduler.runPending();
    EXPECT_EQ(tap.stops, 1);
    EXPECT_EQ(tap.starts, 2);
    EXPECT_TRUE(d.arrange().lastSignature.empty());
    EXPECT_EQ(logLines().back(), "woke");

    ASSERT_TRUE(views.sessionWake);
    views.sessionWake();
    EXPECT_EQ(tap.starts, 3) << "the session manager's word reaches the same wake";

    sim.setTrusted(false);
    views.sessionWake();
    EXPECT_EQ(tap.starts, 3) << "without trust the tap is left alone";
    EXPECT_EQ(logLines().back(), "woke");
    delegate.reset();
}

// In auto mode the Control-Option wheel is Kavelo's only while windows wait
// past an edge; otherwise the window under the pointer gets it.
TEST_F(AppDelegateTest, TheAutoWheelIsKeptOnlyWhileWindowsWait)
{
    const auto notes = app("com.example.Notes", "Notes");
    window(notes, "One", Rect(100, 100, 500, 400));
    window(notes, "Two", Rect(200, 100, 500, 400));
    auto& d = launch();
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    scheduler.advance(1.0);
    constexpr std::uint64_t held = EventFlag::control | EventFlag::option;
    EXPECT_FALSE(sim.scroll(0, -5, false, held)) << "nothing waits";
    EXPECT_TRUE(views.toasts.shown.empty());

    // Too wide to share the screen: once its size is learned, a window waits.
    sim.addWindow(SimWindow{.pid = app("com.example.Wide", "Wide"),
                            .title = "Wide",
                            .frame = Rect(300, 100, 900, 600),
                            .minSize = Size(900, 600)});
    scheduler.advance(4.0);
    ASSERT_FALSE(d.arrange().autoWaiting().begin()->second.empty());
    EXPECT_TRUE(sim.scroll(0, -5, false, held));
}

TEST_F(AppDelegateTest, QuitEndsCleanSpaceReleasesAndMarksACleanExitOnce)
{
    auto& d = launch();
    const auto editor = app("org.example.Editor", "Editor");
    const auto w = window(editor, "doc", Rect(100, 100, 500, 400));
    sim.focusWindow(w);
    d.preferences().setCleanSpaceOn(true);
    scheduler.advance(CleanSpace::tick * 2);
    ASSERT_TRUE(d.cleanSpace().active());
    EXPECT_NE(frameOf(w), Rect(100, 100, 500, 400));

    d.terminate();
    EXPECT_FALSE(d.cleanSpace().active()) << "Clean Space ended";
    sim.settle();
    EXPECT_EQ(frameOf(w), Rect(100, 100, 500, 400)) << "its window put back";
    EXPECT_FALSE(std::filesystem::exists(d.watchdog().files().running));
    EXPECT_EQ(logLines().back(), "quit");
    EXPECT_EQ(exits, std::vector<int>{0});
    d.terminate();
    views.menuQuit();
    EXPECT_EQ(exits, std::vector<int>{0}) << "once";
}

TEST_F(AppDelegateTest, OnceGoneNothingItInstalledActs)
{
    auto& d = launch();
    d.preferences().setArrangeMode(ArrangeMode::auto_);
    views.item->clicked();
    const auto keys = sim.registeredHotKeys();
    ASSERT_FALSE(keys.empty());
    auto quit = views.menuQuit;
    delegate.reset();

    EXPECT_TRUE(sim.registeredHotKeys().empty());
    EXPECT_EQ(scheduler.pendingCount(), 0u) << "no timer left";
    EXPECT_FALSE(sim.tapEnabled());
    for (const auto& k : keys)
        sim.pressKey(std::uint16_t(k.keyCode), eventFlags(k.modifiers));
    sim.wake();
    quit();
    scheduler.advance(120);
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(views.sessionWake) << "the session watch ended";
}

TEST_F(AppDelegateTest, CallbacksHoldTheDelegateWeakly)
{
    auto& d = launch();
    auto keysChanged = d.preferences().onKeysChange;
    auto overview = d.overview().loadWorkflows;
    auto pause = d.cleanSpace().pauseArranging;
    auto switchTo = d.switcher().switchWorkflow;
    auto enabled = d.switcher().isEnabled;
    EXPECT_TRUE(enabled());
    // Copies kept past the delegate do nothing and answer the defaults.
    delegate.reset();
    keysChanged();
    EXPECT_TRUE(overview().empty());
    pause(30);
    switchTo(1);
    EXPECT_FALSE(enabled());
}

} // namespace

TEST_F(AppDelegateTest, ABurstOfSettingChangesIsWrittenOnceItSettlesAndNothingIsLostAtQuit)
{
    auto& d = launch();
    const auto file = home.paths().userDefaults;
    const auto stored = [&] { return json::parse(readFile(file).value_or("{}")).value_or(Json::object()); };
    const auto before = std::filesystem::last_write_time(file);
    // Twenty thousand URLs on one command line: one write, not twenty thousand.
    const std::string modes[] = {"kavelo://mode/strip", "kavelo://mode/auto"};
    std::vector<std::string> urls;
    for (int i = 0; i < 20'000; ++i)
        urls.push_back(modes[i % 2]);
    d.open(urls);
    EXPECT_EQ(std::filesystem::last_write_time(file), before) << "nothing written yet";
    EXPECT_TRUE(d.defaults().hasUnwritten());
    scheduler.advance(AppDelegate::settingsDelay);
    EXPECT_FALSE(d.defaults().hasUnwritten());
    EXPECT_EQ(stored().value("arrangeMode", ""), "auto");

    // A change just before quitting is kept.
    d.open({"kavelo://mode/off"});
    d.terminate();
    EXPECT_EQ(stored().value("arrangeMode", ""), "off");
}

TEST_F(AppDelegateTest, ASettingThatCannotBeSavedIsToldOncePerCause)
{
    auto& d = launch();
    const auto folder = home.paths().userDefaults.parent_path();
    // A file where the folder belongs fails every write, even as root.
    std::filesystem::remove_all(folder);
    ASSERT_FALSE(writeFileAtomically(folder, "not a folder"));
    const std::size_t toasts = views.toasts.shown.size();

    d.open({"kavelo://mode/strip"});
    EXPECT_EQ(d.preferences().arrangeMode(), ArrangeMode::strip) << "taken for this run";
    const auto why = d.saveSettings();
    ASSERT_TRUE(why);
    EXPECT_TRUE(why->starts_with("the change was made, but your settings could not be saved: ")) << *why;
    ASSERT_EQ(views.toasts.shown.size(), toasts + 1);
    EXPECT_TRUE(lastToast().starts_with("Couldn't save your settings: ")) << lastToast();
    EXPECT_EQ(views.toasts.shown.back().second, "exclamationmark.triangle.fill");

    // The same cause again: the log hears it, the screen does not.
    d.open({"kavelo://mode/auto"});
    scheduler.advance(AppDelegate::settingsDelay);
    EXPECT_EQ(views.toasts.shown.size(), toasts + 1);

    // Mended, everything in memory is written at the next change.
    std::filesystem::remove(folder);
    d.open({"kavelo://mode/off"});
    EXPECT_EQ(d.saveSettings(), std::nullopt);
    EXPECT_EQ(UserDefaults(home.paths().userDefaults).text("arrangeMode"), "off");
}
