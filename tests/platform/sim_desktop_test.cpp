#include "app/platform/manual_scheduler.h"
#include "app/platform/sim/sim_desktop.h"
#include "core/json.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <thread>

using namespace kavelo;

namespace {

class SimDesktopTest : public ::testing::Test {
protected:
    SimDesktop sim;
    std::int32_t safari = sim.addApp({.bundleID = "com.apple.Safari", .name = "Safari"});
    std::int32_t notes = sim.addApp({.bundleID = "com.apple.Notes", .name = "Notes"});

    WindowID open(std::int32_t pid, Rect frame, std::string title = "w")
    {
        return sim.addWindow({.pid = pid, .title = std::move(title), .frame = frame});
    }

    ElementRef element(std::int32_t pid, WindowID number)
    {
        const auto windows = sim.accessibility().windows(pid).value_or(std::vector<ElementRef>{});
        for (const auto& e : windows)
            if (e->windowNumber() == number)
                return e;
        return nullptr;
    }

    std::vector<WindowID> listed(WindowListOption option)
    {
        std::vector<WindowID> out;
        const auto list = sim.windowServer().windowList(option).value();
        for (const auto& w : list)
            out.push_back(w.number);
        return out;
    }
};

} // namespace

TEST_F(SimDesktopTest, NumbersAreNeverReusedAndRaisingReordersTheStack)
{
    const WindowID a = open(safari, {0, 30, 400, 300});
    const WindowID b = open(notes, {50, 60, 400, 300});
    const WindowID c = open(safari, {90, 90, 400, 300});
    EXPECT_EQ(sim.stacking(), (std::vector<WindowID>{c, b, a}));

    ASSERT_TRUE(element(safari, a)->raise());
    EXPECT_EQ(sim.stacking(), (std::vector<WindowID>{a, c, b}));
    EXPECT_EQ(sim.accessibility().focusedWindow(safari)->windowNumber(), a);
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{a, c, b}));

    sim.closeWindow(c);
    const WindowID d = open(notes, {0, 30, 300, 200});
    EXPECT_GT(d, c);
    EXPECT_EQ(sim.counters(a).raises, 1);
}

TEST_F(SimDesktopTest, ActivationBringsTheFocusedWindowForwardAndNotifies)
{
    const WindowID a = open(safari, {0, 30, 400, 300});
    const WindowID b = open(notes, {0, 30, 400, 300});
    std::vector<std::int32_t> activated;
    Handle observer = sim.workspace().onActivation([&](const RunningApp& app) { activated.push_back(app.pid); });

    EXPECT_TRUE(sim.workspace().activate(safari));
    EXPECT_EQ(sim.workspace().frontmostApp()->pid, safari);
    EXPECT_EQ(sim.stacking().front(), a);
    EXPECT_TRUE(sim.workspace().activate(safari));   // already frontmost: no second notice
    EXPECT_EQ(activated, (std::vector<std::int32_t>{safari}));

    // Hiding the frontmost app hands the front to the app owning the next window.
    sim.workspace().hide(safari);
    EXPECT_EQ(sim.workspace().frontmostApp()->pid, notes);
    EXPECT_EQ(activated, (std::vector<std::int32_t>{safari, notes}));
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{b}));
    // Hidden apps' windows stay reachable through accessibility.
    EXPECT_NE(element(safari, a), nullptr);

    observer.cancel();
    sim.workspace().activate(safari);
    EXPECT_EQ(activated.size(), 2u);
    EXPECT_FALSE(sim.app(safari)->hidden);
}

TEST_F(SimDesktopTest, ElementsShowOnlyTheShownDesktopWhileTheListShowsAll)
{
    const WindowID here = open(safari, {0, 30, 400, 300}, "here");
    const std::uint64_t second = sim.addDesktop(1);
    const WindowID there = open(safari, {0, 30, 400, 300}, "there");
    sim.moveToDesktop(there, second);

    int changes = 0;
    Handle observer = sim.workspace().onDesktopChange([&] { ++changes; });
    EXPECT_EQ(sim.accessibility().windows(safari)->size(), 1u);
    EXPECT_EQ(listed(WindowListOption::all), (std::vector<WindowID>{there, here}));
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{here}));

    sim.switchDesktop(1, second);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(sim.windowServer().currentDesktop(1), second);
    EXPECT_EQ(element(safari, here), nullptr);
    EXPECT_NE(element(safari, there), nullptr);
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{there}));

    // Window names come only while capture is allowed.
    auto list = sim.windowServer().windowList(WindowListOption::all).value();
    EXPECT_EQ(list.back().name, "here");
    sim.setCaptureAllowed(false);
    list = sim.windowServer().windowList(WindowListOption::all).value();
    EXPECT_FALSE(list.back().name.has_value());
    EXPECT_EQ(list.back().ownerName, "Safari");
}

TEST_F(SimDesktopTest, SizeIsClampedToTheDisplayUnderThePositionWhilePositionsAreNot)
{
    // A smaller display to the left of the primary and above its top edge.
    const std::uint32_t left =
        sim.addDisplay({.name = "Side", .frame = Rect(-800, 300, 800, 600), .menuBar = 0});
    sim.setReservations(1, 25, DockEdge::bottom, 70);
    EXPECT_EQ(sim.display(1)->visibleFrame(), Rect(0, 70, 1440, 805));

    const WindowID w = open(safari, {100, 100, 400, 300});
    auto e = element(safari, w);
    ASSERT_TRUE(e);
    EXPECT_TRUE(e->setSize({3000, 3000}));
    EXPECT_EQ(e->size(), Size(1440, 805));

    // Parked off every screen: positions go where they are asked.
    EXPECT_TRUE(e->setPosition({-5000, 4000}));
    EXPECT_EQ(e->position(), Point(-5000, 4000));

    // On the side display (top-left y = 900 - 900 = 0 .. 600) the limit is its size.
    e->setPosition({-700, 50});
    e->setSize({1200, 1200});
    EXPECT_EQ(e->size(), Size(800, 600));
    EXPECT_EQ(sim.display(left)->name, "Side");

    // Minimum, maximum and increments.
    sim.modifyWindow(w, [](SimWindow& win) {
        win.minSize = Size(500, 400);
        win.maxSize = Size(700, 2000);
        win.sizeIncrement = Size(7, 1);
    });
    e->setPosition({10, 40});
    e->setSize({100, 100});
    EXPECT_EQ(e->size(), Size(500, 400));
    e->setSize({650, 500});
    EXPECT_EQ(e->size(), Size(644, 500));
    e->setSize({1000, 500});
    EXPECT_EQ(e->size(), Size(700, 500));
}

TEST_F(SimDesktopTest, QuirksRefuseOrDeferWrites)
{
    const WindowID stubborn = sim.addWindow(
        {.pid = safari, .frame = {0, 30, 400, 300}, .refusesMoves = true, .sizeSettable = false});
    auto e = element(safari, stubborn);
    EXPECT_FALSE(e->setPosition({10, 10}));
    EXPECT_FALSE(e->setSize({10, 10}));
    EXPECT_EQ(e->sizeSettable(), false);
    EXPECT_EQ(sim.window(stubborn)->frame, Rect(0, 30, 400, 300));
    EXPECT_EQ(sim.counters(stubborn).writes, 2);

    const WindowID slow = sim.addWindow({.pid = safari, .frame = {0, 30, 400, 300}, .defersWrites = true});
    auto s = element(safari, slow);
    s->setSize({600, 500});
    s->setPosition({200, 100});
    EXPECT_EQ(s->position(), Point(0, 30));
    EXPECT_EQ(sim.window(slow)->pending.size(), 2u);
    sim.settle();
    EXPECT_EQ(sim.window(slow)->frame, Rect(200, 100, 600, 500));

    ManualScheduler scheduler;
    sim.attach(&scheduler);
    sim.modifyWindow(slow, [](SimWindow& w) { w.deferSeconds = 0.5; });
    s->setPosition({300, 300});
    scheduler.advance(0.4);
    EXPECT_EQ(s->position(), Point(200, 100));
    scheduler.advance(0.2);
    EXPECT_EQ(s->position(), Point(300, 300));
    sim.attach(nullptr);
}

TEST_F(SimDesktopTest, UnnumberedWindowsDeadElementsAndSilentApps)
{
    const WindowID secret = sim.addWindow({.pid = notes, .frame = {0, 30, 400, 300}, .numberReadable = false});
    auto all = sim.accessibility().windows(notes).value();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_FALSE(all[0]->windowNumber().has_value());
    EXPECT_TRUE(all[0]->title().has_value());
    EXPECT_EQ(listed(WindowListOption::all), (std::vector<WindowID>{secret}));

    sim.closeWindow(secret);
    EXPECT_FALSE(all[0]->title().has_value());
    EXPECT_FALSE(all[0]->setPosition({1, 1}));
    EXPECT_EQ(all[0]->pid(), notes);

    const WindowID w = open(safari, {0, 30, 400, 300});
    auto e = element(safari, w);
    sim.setAppAnswers(safari, false);
    EXPECT_FALSE(sim.accessibility().windows(safari).has_value());
    EXPECT_FALSE(e->position().has_value());
    sim.setAppAnswers(safari, true);
    sim.setTrusted(false);
    EXPECT_FALSE(e->position().has_value());
    EXPECT_EQ(sim.accessibility().focusedWindow(safari), nullptr);

    // Elements outliving the desktop fail quietly.
    std::optional<SimDesktop> temporary(std::in_place);
    const auto pid = temporary->addApp({});
    temporary->addWindow({.pid = pid, .frame = {0, 30, 100, 100}});
    auto orphan = temporary->accessibility().windows(pid)->front();
    temporary.reset();
    EXPECT_FALSE(orphan->size().has_value());
}

TEST_F(SimDesktopTest, CountersSeparateReadsFromWrites)
{
    const WindowID w = open(safari, {0, 30, 400, 300});
    auto e = element(safari, w);
    sim.resetCounters();
    e->position();
    e->size();
    EXPECT_EQ(sim.counters(w), (SimCounters{.reads = 2}));
    e->setSize({500, 300});
    e->setPosition({0, 30});
    e->setSize({500, 300});
    e->setMinimized(false);
    EXPECT_EQ(sim.counters(w),
              (SimCounters{.reads = 2, .writes = 4, .positionWrites = 1, .sizeWrites = 2, .minimizedWrites = 1}));
}

TEST_F(SimDesktopTest, MinimizedAndFullScreenWindows)
{
    const WindowID a = open(safari, {0, 30, 400, 300});
    const WindowID b = open(safari, {0, 30, 400, 300});
    auto eb = element(safari, b);
    eb->setMinimized(true);
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{a}));
    EXPECT_EQ(sim.accessibility().focusedWindow(safari)->windowNumber(), a);
    eb->setMinimized(false);
    EXPECT_EQ(sim.stacking().front(), b);

    sim.modifyWindow(a, [](SimWindow& w) { w.fullScreen = true; });
    auto ea = element(safari, a);
    EXPECT_EQ(ea->fullScreen(), true);
    EXPECT_FALSE(ea->setSize({10, 10}));
}

TEST_F(SimDesktopTest, OwnPanelsAreListedWithTheirLevelsAndStackBelowAWindow)
{
    const WindowID a = open(safari, {0, 30, 400, 300});
    const WindowID b = open(notes, {0, 30, 400, 300});
    const WindowID indicator = sim.windowServer().showPanel({.frame = {10, 10, 100, 40}, .level = 101, .name = "strip"});
    const WindowID curtain = sim.windowServer().showPanel({.frame = {0, 0, 10, 900}, .level = 0, .below = b});
    EXPECT_EQ(sim.stacking(), (std::vector<WindowID>{indicator, b, curtain, a}));

    const auto list = sim.windowServer().windowList(WindowListOption::onScreenOnly).value();
    EXPECT_EQ(list.front().layer, 101);
    EXPECT_EQ(list.front().ownerPid, sim.workspace().ownPid());
    EXPECT_EQ(list.front().ownerName, "Kavelo");
    // Panels are not accessibility windows of the program.
    EXPECT_TRUE(sim.accessibility().windows(sim.workspace().ownPid())->empty());

    sim.windowServer().updatePanel(indicator, {.frame = {10, 10, 100, 40}, .level = 101, .alpha = 0, .visible = false});
    EXPECT_EQ(listed(WindowListOption::onScreenOnly), (std::vector<WindowID>{b, curtain, a}));
    sim.windowServer().removePanel(indicator);
    sim.windowServer().removePanel(a);   // not a panel: stays
    EXPECT_EQ(sim.stacking(), (std::vector<WindowID>{b, curtain, a}));
}

TEST_F(SimDesktopTest, DisplaysKeepUniqueNamesAndTellTheirChanges)
{
    int changes = 0;
    Handle observer = sim.displays().onChange([&] { ++changes; });
    const auto one = sim.addDisplay({.name = "DELL U2720Q", .frame = Rect(1440, 0, 2560, 1440)});
    const auto two = sim.addDisplay({.name = "DELL U2720Q", .frame = Rect(4000, 0, 2560, 1440)});
    auto screens = sim.displays().screens();
    ASSERT_EQ(screens.size(), 3u);
    EXPECT_EQ(screens[0].name, "Built-in Display");
    EXPECT_EQ(screens[1].name, "DELL U2720Q");
    EXPECT_EQ(screens[2].name, "DELL U2720Q (2)");
    EXPECT_EQ(screens[0].visibleFrame, Rect(0, 0, 1440, 875));

    const WindowID w = open(safari, {1500, 100, 400, 300});
    EXPECT_EQ(sim.window(w)->desktop, sim.display(one)->currentDesktop);
    sim.removeDisplay(one);
    EXPECT_EQ(sim.window(w)->desktop, sim.display(1)->currentDesktop);
    sim.setDisplayFrame(two, Rect(1440, 0, 1920, 1080));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(sim.displays().screens()[1].frame, Rect(1440, 0, 1920, 1080));
    EXPECT_FALSE(sim.removeDisplay(one));
}

TEST_F(SimDesktopTest, EventTapDecidesSynchronouslyAndHotKeysGetWhatPasses)
{
    std::vector<TapEvent> seen;
    bool swallow = false;
    EXPECT_EQ(sim.pressKey(48, EventFlag::option), false);   // no tap yet

    sim.setTrusted(false);
    EXPECT_FALSE(sim.eventTap().start([&](const TapEvent& e) { seen.push_back(e); return swallow; }));
    sim.setTrusted(true);
    ASSERT_TRUE(sim.eventTap().start([&](const TapEvent& e) { seen.push_back(e); return swallow; }));

    std::vector<std::uint32_t> hotKeys;
    sim.hotKeys().setHandler([&](std::uint32_t id) { hotKeys.push_back(id); });
    const auto ref = sim.hotKeys().registerHotKey(49, HotKeyModifier::control | HotKeyModifier::option, 7);
    ASSERT_TRUE(ref);
    EXPECT_FALSE(sim.hotKeys().registerHotKey(49, HotKeyModifier::control | HotKeyModifier::option, 8));
    sim.takeHotKey(0, HotKeyModifier::command);
    EXPECT_FALSE(sim.hotKeys().registerHotKey(0, HotKeyModifier::command, 9));

    EXPECT_FALSE(sim.pressKey(49, EventFlag::control | EventFlag::option));
    EXPECT_EQ(hotKeys, (std::vector<std::uint32_t>{7}));
    swallow = true;
    EXPECT_TRUE(sim.pressKey(49, EventFlag::control | EventFlag::option));
    EXPECT_EQ(hotKeys.size(), 1u);
    EXPECT_EQ(seen.back().type, TapEventType::keyDown);
    EXPECT_EQ(seen.back().charactersIgnoringModifiers, " ");

    EXPECT_TRUE(sim.scroll(0, 1, false, EventFlag::control | EventFlag::option));
    EXPECT_EQ(seen.back().type, TapEventType::scrollWheel);
    EXPECT_FALSE(seen.back().continuous);
    EXPECT_TRUE(sim.pressButton(3));
    EXPECT_EQ(seen.back().buttonNumber, 3);
    EXPECT_EQ(sim.mouse().pressedButtons(), 1u << 3);
    sim.releaseButton(3);

    sim.changeFlags(EventFlag::option);
    EXPECT_EQ(seen.back().type, TapEventType::flagsChanged);
    EXPECT_EQ(sim.mouse().modifierFlags(ModifierSource::hidSystem), EventFlag::option);
    sim.setModifierState(ModifierSource::hidSystem, 0);
    EXPECT_EQ(sim.mouse().modifierFlags(ModifierSource::combinedSession), EventFlag::option);
    EXPECT_EQ(sim.mouse().modifierFlags(ModifierSource::hidSystem), 0u);

    // A disabled tap is told so, lets events pass until re-enabled.
    sim.disableTap(TapEventType::tapDisabledByTimeout);
    EXPECT_EQ(seen.back().type, TapEventType::tapDisabledByTimeout);
    const auto count = seen.size();
    EXPECT_FALSE(sim.pressKey(0));
    EXPECT_EQ(seen.size(), count);
    sim.eventTap().reenable();
    EXPECT_TRUE(sim.pressKey(0));
    EXPECT_EQ(seen.back().charactersIgnoringModifiers, "a");

    sim.hotKeys().unregisterHotKey(*ref);
    EXPECT_TRUE(sim.registeredHotKeys().empty());
    sim.eventTap().stop();
    EXPECT_FALSE(sim.eventTap().isRunning());
}

TEST_F(SimDesktopTest, MouseMonitorsAndThePointerUseTheirOwnCoordinateForms)
{
    std::vector<MouseEvent> events;
    Handle monitor = sim.mouse().monitor(MouseEventMask::leftUp | MouseEventMask::moved,
                                         [&](const MouseEvent& e) { events.push_back(e); });
    sim.movePointer({100, 200});
    EXPECT_EQ(sim.mouse().location(), Point(100, 700));   // bottom-left form
    sim.pressButton(0);
    sim.releaseButton(0);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, MouseEventType::moved);
    EXPECT_EQ(events[1].type, MouseEventType::leftUp);
    EXPECT_EQ(events[1].location, Point(100, 700));

    sim.mouse().warp({720, 450});
    EXPECT_EQ(sim.pointer(), Point(720, 450));
    EXPECT_EQ(events.size(), 2u);
    monitor.cancel();
    sim.movePointer({1, 1});
    EXPECT_EQ(events.size(), 2u);
}

TEST_F(SimDesktopTest, KeyTranslationFollowsTheLayout)
{
    auto& k = sim.keyboard();
    EXPECT_EQ(k.currentLayout(), "us");
    EXPECT_EQ(k.translate("us", 6), "z");
    EXPECT_EQ(k.translate("de", 6), "y");
    EXPECT_EQ(k.translate("de", 27), "ß");
    EXPECT_EQ(k.translate("us", 49), " ");
    EXPECT_EQ(k.translate("us", 36), "\r");
    EXPECT_EQ(k.translate("us", 53), "\x1b");
    EXPECT_FALSE(k.translate("us", 56).has_value());   // shift
    EXPECT_FALSE(k.translate("fr", 0).has_value());
    sim.setCurrentLayout(std::nullopt);
    EXPECT_FALSE(k.currentLayout().has_value());

    sim.setCurrentLayout("de");
    std::string typed;
    ASSERT_TRUE(sim.eventTap().start([&](const TapEvent& e) {
        typed = e.charactersIgnoringModifiers;
        return false;
    }));
    sim.pressKey(16);
    EXPECT_EQ(typed, "z");
    sim.pressKey(126);
    EXPECT_EQ(typed, "\xEF\x9C\x80");   // U+F700, the up arrow
}

TEST_F(SimDesktopTest, TouchFramesArriveOnTheDeliveringThread)
{
    std::atomic<int> frames{0};
    std::thread::id seenOn;
    const auto main = std::this_thread::get_id();
    EXPECT_FALSE(sim.deliverTouches({}));
    EXPECT_EQ(sim.multitouch().start(3, [&](const ContactFrame& f) {
        seenOn = std::this_thread::get_id();
        frames += int(f.touches.size());
    }),
              1);
    std::thread device([&] {
        for (int i = 0; i < 100; ++i)
            sim.deliverTouches({.touches = {{4, 0.5f, 0.5f}, {5, 0.6f, 0.5f}, {1, 0.1f, 0.1f}}, .time = i / 100.0});
    });
    device.join();
    EXPECT_EQ(frames, 300);
    EXPECT_NE(seenOn, main);
    sim.multitouch().stop();
    EXPECT_FALSE(sim.deliverTouches({}));

    sim.setTrackpads(0);
    EXPECT_EQ(sim.multitouch().start(3, [](const ContactFrame&) {}), 0);
    EXPECT_FALSE(sim.multitouchRunning());
}

TEST_F(SimDesktopTest, StopWaitsForAFrameInFlight)
{
    std::atomic<bool> inside{false};
    std::atomic<bool> release{false};
    std::atomic<int> afterStop{0};
    std::atomic<bool> stopped{false};
    sim.multitouch().start(3, [&](const ContactFrame&) {
        if (stopped)
            ++afterStop;
        inside = true;
        while (!release)
            std::this_thread::yield();
    });
    std::thread device([&] { sim.deliverTouches({}); });
    while (!inside)
        std::this_thread::yield();
    std::thread stopper([&] {
        sim.multitouch().stop();
        stopped = true;
    });
    release = true;
    device.join();
    stopper.join();
    sim.deliverTouches({});
    EXPECT_EQ(afterStop, 0);
}

TEST_F(SimDesktopTest, CaptureFromWorkerThreads)
{
    const WindowID w = open(safari, {0, 30, 1920, 1080});
    std::vector<std::thread> workers;
    std::atomic<int> ok{0};
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            auto image = sim.capture().capture(w, 480, 270);
            if (image && image->isValid() && image->width == 480)
                ++ok;
        });
    for (auto& t : workers)
        t.join();
    EXPECT_EQ(ok, 4);
    EXPECT_EQ(sim.capture().windows()->front(), (CapturableWindow{w, Size(1920, 1080)}));
    EXPECT_FALSE(sim.capture().capture(w + 100, 10, 10));
    sim.setCaptureAllowed(false);
    EXPECT_FALSE(sim.capture().capture(w, 10, 10));
    EXPECT_FALSE(sim.capture().windows());
    EXPECT_FALSE(sim.capture().requestAccess());
    sim.setCaptureGrantedOnRequest(true);
    EXPECT_TRUE(sim.capture().requestAccess());
}

TEST_F(SimDesktopTest, LaunchingOpeningAndBrowserScripts)
{
    sim.install("com.google.Chrome", {"/opt/google/chrome", "Google Chrome"});
    EXPECT_EQ(sim.workspace().applicationLocation("com.google.Chrome"), "/opt/google/chrome");
    EXPECT_FALSE(sim.workspace().applicationLocation("com.example.None"));

    const std::string script = "tell application id \"com.google.Chrome\"\n if (mode of w) is \"incognito\" ...";
    EXPECT_FALSE(sim.browsers().run(script));   // not running: never started by a script
    sim.setBrowser("com.google.Chrome", {.windows = {{.tabs = {"https://a.example"}},
                                                     {.isPrivate = true, .tabs = {"https://secret.example"}}}});
    EXPECT_TRUE(sim.workspace().launch("/opt/google/chrome", false));
    EXPECT_FALSE(sim.frontmost().has_value());
    auto tabs = sim.browsers().run(script);
    ASSERT_TRUE(tabs);
    EXPECT_EQ(*tabs, (std::vector<std::optional<std::string>>{"https://a.example"}));
    EXPECT_EQ(sim.browsers().run("tell application id \"com.google.Chrome\"")->size(), 2u);
    EXPECT_FALSE(sim.browsers().run("garbage"));

    EXPECT_TRUE(sim.workspace().openURLs({"https://b.example"}, "/opt/google/chrome", false));
    EXPECT_EQ(sim.browser("com.google.Chrome")->windows[0].tabs.back(), "https://b.example");
    EXPECT_EQ(sim.requests().size(), 2u);
    EXPECT_EQ(sim.requests()[1].urls, (std::vector<std::string>{"https://b.example"}));
    EXPECT_FALSE(sim.workspace().launch("/nowhere", true));
}

TEST_F(SimDesktopTest, PreferencesLoginItemAndInfoKeys)
{
    sim.setPreference("com.apple.WindowManager", "GloballyEnabled", true);
    EXPECT_EQ(sim.workspace().preference("com.apple.WindowManager", "GloballyEnabled"), nlohmann::json(true));
    EXPECT_FALSE(sim.workspace().preference("com.apple.WindowManager", "Other"));
    EXPECT_FALSE(sim.workspace().preference("none", "GloballyEnabled"));

    EXPECT_TRUE(sim.loginItem().registerItem());
    EXPECT_EQ(sim.loginItem().status(), LoginItemStatus::enabled);
    sim.setLoginItem(LoginItemStatus::requiresApproval, true);
    EXPECT_FALSE(sim.loginItem().unregisterItem());
    EXPECT_EQ(sim.loginItem().status(), LoginItemStatus::requiresApproval);

    EXPECT_FALSE(sim.appInfo().infoValue("SUFeedURL"));
    sim.setInfoValue("SUFeedURL", "https://updates.example/feed.xml");
    EXPECT_EQ(sim.appInfo().infoValue("SUFeedURL"), "https://updates.example/feed.xml");

    int wakes = 0;
    Handle observer = sim.workspace().onWake([&] { ++wakes; });
    sim.wake();
    EXPECT_EQ(wakes, 1);
}

TEST_F(SimDesktopTest, DumpAndLoadRoundTripTheWholeDesktop)
{
    sim.addDisplay({.name = "Above", .frame = Rect(0, 900, 1920, 1080), .dock = DockEdge::left, .dockSize = 60,
                    .vendor = 4, .model = 5, .serial = 6});
    const WindowID a = open(safari, {0, 30, 400, 300});
    sim.addWindow({.pid = notes, .title = "Ünïcode", .subrole = std::nullopt, .document = "",
                   .frame = {-100, -800, 500, 400}, .minSize = {200, 100}, .maxSize = Size(900, 900),
                   .defersWrites = true, .numberReadable = false});
    element(safari, a)->raise();
    sim.windowServer().showPanel({.frame = {1, 2, 3, 4}, .level = 4, .alpha = 0.5});
    sim.workspace().activate(notes);
    sim.takeHotKey(1, 0x100);
    sim.setPreference("d", "k", 2);
    sim.setBrowser("com.brave.Browser", {.scriptable = false});
    sim.install("com.brave.Browser", {"/opt/brave", std::nullopt});
    sim.setCurrentLayout("de");
    sim.movePointer({5, 6});
    sim.modifyWindow(a, [](SimWindow& w) { w.pending = {{SimWrite::Kind::size, 10, 20}}; });

    const auto dumped = sim.dump();
    SimDesktop other;
    ASSERT_TRUE(other.load(dumped));
    EXPECT_EQ(other.dump(), dumped);
    EXPECT_EQ(other.stacking(), sim.stacking());
    EXPECT_EQ(other.window(a), sim.window(a));
    EXPECT_EQ(other.displays().screens(), sim.displays().screens());
    // Numbers keep counting past the loaded ones.
    EXPECT_GT(other.addWindow({.pid = safari, .frame = {0, 30, 10, 10}}), sim.stacking().front());

    // Through a file named by the environment.
    const auto file = std::filesystem::temp_directory_path() / ("kavelo-sim-" + std::to_string(::getpid()) + ".json");
    ASSERT_FALSE(sim.saveFile(file));
    ::setenv(SimDesktop::stateVariable, file.c_str(), 1);
    const auto named = SimDesktop::stateFileFromEnvironment();
    ::unsetenv(SimDesktop::stateVariable);
    ASSERT_EQ(named, file);
    SimDesktop fromFile;
    ASSERT_TRUE(fromFile.loadFile(*named));
    EXPECT_EQ(fromFile.dump(), dumped);
    std::filesystem::remove(file);
    EXPECT_FALSE(SimDesktop::stateFileFromEnvironment());

    // A headless run: a missing file starts from the default and is written back.
    ::setenv(SimDesktop::stateVariable, file.c_str(), 1);
    SimDesktop run;
    EXPECT_TRUE(run.loadFromEnvironment());
    run.addApp({.name = "Later"});
    EXPECT_FALSE(run.saveToEnvironment());
    SimDesktop next;
    EXPECT_TRUE(next.loadFromEnvironment());
    EXPECT_EQ(next.dump(), run.dump());
    ASSERT_TRUE(writeFileAtomically(file, "not json") == std::error_code());
    EXPECT_FALSE(next.loadFromEnvironment());
    ::unsetenv(SimDesktop::stateVariable);
    std::filesystem::remove(file);
}

TEST_F(SimDesktopTest, ABrokenStateLeavesTheDesktopAsItWas)
{
    open(safari, {0, 30, 400, 300});
    const auto before = sim.dump();
    auto broken = before;
    broken["windows"][0]["frame"] = "wide";
    EXPECT_FALSE(sim.load(broken));
    broken = before;
    broken["windows"][0]["pid"] = 99999;
    EXPECT_FALSE(sim.load(broken));
    broken = before;
    broken["windows"][0]["number"] = 1.5;
    EXPECT_FALSE(sim.load(broken));
    broken = before;
    broken["displays"].push_back(broken["displays"][0]);
    EXPECT_FALSE(sim.load(broken));
    EXPECT_FALSE(sim.load(nlohmann::json::array()));
    EXPECT_EQ(sim.dump(), before);

    // A hand-written state needs only the essentials.
    const auto minimal = nlohmann::json::parse(R"({
        "displays": [{"id": 3, "name": "Main", "frame": [[0, 0], [1920, 1080]], "desktops": [9]}],
        "apps": [{"pid": 700, "name": "Editor", "bundleID": "org.example.Editor"}],
        "windows": [{"number": 42, "pid": 700, "title": "doc", "frame": [[10, 40], [800, 600]]}]
    })");
    ASSERT_TRUE(sim.load(minimal));
    EXPECT_EQ(sim.window(42)->subrole, std::string(standardWindowSubrole));
    EXPECT_EQ(sim.keyboard().currentLayout(), "us");
    EXPECT_EQ(sim.workspace().runningApps().size(), 2u);   // the program itself joins
    EXPECT_EQ(sim.windowServer().currentDesktop(3), 9u);
    EXPECT_EQ(sim.window(42)->desktop, 9u);
    EXPECT_EQ(sim.windowServer().windowList(WindowListOption::onScreenOnly)->size(), 1u);
}

TEST_F(SimDesktopTest, NumbersThatWouldWrapAreRefusedAndCountersSurviveARoundTrip)
{
    const auto base = nlohmann::json::parse(R"({
        "displays": [{"id": 3, "name": "Main", "frame": [[0, 0], [1920, 1080]], "desktops": [9]}],
        "apps": [{"pid": 700, "name": "Editor"}],
        "windows": [{"number": 42, "pid": 700, "frame": [[10, 40], [800, 600]]}]
    })");
    const auto before = sim.dump();
    // The number after each of these would overflow or wrap to one in use.
    for (const auto& [pointer, value] : std::vector<std::pair<std::string, nlohmann::json>>{
             {"/apps/0/pid", 2147483647},
             {"/ownPid", 2147483647},
             {"/windows/0/number", 4294967295u},
             {"/displays/0/id", 4294967295u},
             {"/displays/0/desktops/0", 18446744073709551615u}}) {
        auto state = base;
        state[nlohmann::json::json_pointer(pointer)] = value;
        if (pointer == "/apps/0/pid")
            state["windows"][0]["pid"] = value;
        EXPECT_FALSE(sim.load(state)) << pointer;
    }
    EXPECT_EQ(sim.dump(), before);

    // One below the last: the state loads, and the counters stop rather than wrap.
    auto last = base;
    last["windows"][0]["number"] = 4294967294u;
    last["apps"][0]["pid"] = 2147483646;
    last["windows"][0]["pid"] = 2147483646;
    ASSERT_TRUE(sim.load(last));
    EXPECT_EQ(sim.addWindow({.pid = 2147483646, .frame = {0, 30, 10, 10}}), 0u);
    EXPECT_EQ(sim.addApp({.name = "Later"}), 0);
    EXPECT_EQ(sim.stacking(), std::vector<WindowID>{4294967294u});
    EXPECT_EQ(sim.workspace().runningApps().size(), 2u);

    // Our own process counts even when "apps" leaves it out: the next
    // application never gets its pid, and dump → load changes nothing.
    auto own = base;
    own["ownPid"] = 701;
    own["apps"][0]["pid"] = 700;
    ASSERT_TRUE(sim.load(own));
    const auto dumped = sim.dump();
    EXPECT_EQ(dumped["nextPid"], 702);
    SimDesktop again;
    ASSERT_TRUE(again.load(dumped));
    EXPECT_EQ(again.dump(), dumped);
    EXPECT_EQ(again.addApp({.name = "Next"}), 702);
    EXPECT_EQ(sim.addApp({.name = "Next"}), 702);
}

TEST_F(SimDesktopTest, ADeeplyNestedStateFileIsNotLoaded)
{
    const auto before = sim.dump();
    const auto file = std::filesystem::temp_directory_path() / ("kavelo-sim-deep-" + std::to_string(::getpid()) + ".json");
    auto state = before.dump();
    state.insert(state.size() - 1, R"(,"preferences":{"d":{"k":)" + std::string(100'000, '[') +
                                       std::string(100'000, ']') + "}}");
    ASSERT_FALSE(writeFileAtomically(file, state));
    EXPECT_FALSE(sim.loadFile(file));
    EXPECT_EQ(sim.dump(), before);
    std::filesystem::remove(file);
}
