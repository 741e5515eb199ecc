#include "support/caught_up.h"
#include "support/person_keys.h"
#include "support/x11_session.h"

#include "app/platform/x11/backend.h"
#include "app/platform/x11/x11_desktop.h"
#include "core/screen_coordinates.h"
#include "core/snap.h"
#include "core/tidy.h"

#include <gtest/gtest.h>
#include <xcb/xcb_icccm.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>

#include <unistd.h>

using namespace kavelo;
using namespace std::chrono_literals;
using kavelo::test::waitFor;
using kavelo::test::X11Session;

namespace {

// One session for the whole suite: starting a server per test would cost
// more than all the tests together.
class X11DesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<X11Session>();
        if (!session->start({"xclock", "xeyes", "xterm"}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the X11 backend tests: " << startError;
            GTEST_SKIP() << "no X server for the X11 backend tests: " << startError;
        }
        std::string error;
        desktop = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(desktop) << error;
        ASSERT_TRUE(desktop->hasWindowManager());
    }

    void pump() { desktop->processEvents(); }

    void caughtUp() { EXPECT_TRUE(test::caughtUp(*desktop)); }

    std::vector<WindowInfo> listed(WindowListOption option)
    {
        caughtUp();
        auto list = desktop->windowServer().windowList(option);
        return list ? std::move(*list) : std::vector<WindowInfo>{};
    }

    // The three stock clients, by their class.
    std::map<std::string, WindowInfo> stock()
    {
        std::map<std::string, WindowInfo> out;
        for (const auto& w : listed(WindowListOption::all))
            if (w.ownerName && (w.ownerName == "XTerm" || w.ownerName == "XClock" || w.ownerName == "XEyes"))
                out.emplace(*w.ownerName, w);
        return out;
    }

    ElementRef element(WindowID number)
    {
        for (const auto& app : desktop->workspace().runningApps())
            for (const auto& e : desktop->accessibility().windows(app.pid).value_or(std::vector<ElementRef>{}))
                if (e->windowNumber() == number)
                    return e;
        return nullptr;
    }

    // The frame as the server has it, in the interfaces' space (the primary
    // monitor is the whole screen here).
    std::optional<Rect> serverFrame(WindowID number)
    {
        caughtUp();
        const auto window = desktop->serverWindow(number);
        return window ? session->frame(*window) : std::nullopt;
    }

    // The usable area of the first display, top-left.
    Rect usable()
    {
        const auto screens = desktop->displays().screens();
        return ScreenCoordinates::flip(screens.front().visibleFrame, screens.front().frame.height());
    }

    // Writes a frame the way the window actions do: size, position, size.
    void setFrame(const ElementRef& e, const Rect& frame)
    {
        e->setSize(frame.size);
        e->setPosition(frame.origin);
        e->setSize(frame.size);
    }

    static inline std::unique_ptr<X11Session> session;
    static inline std::string startError;
    std::unique_ptr<X11Desktop> desktop;
};

TEST_F(X11DesktopTest, ListsTheManagedWindowsWithTheirOwners)
{
    const auto windows = stock();
    ASSERT_EQ(windows.size(), 3u);
    std::set<WindowID> numbers;
    for (const auto& [name, w] : windows) {
        SCOPED_TRACE(name);
        EXPECT_NE(w.number, 0u);
        numbers.insert(w.number);
        // xeyes sets no _NET_WM_PID; the server still knows its process.
        EXPECT_GT(w.ownerPid, 0);
        EXPECT_TRUE(w.onScreen);
        EXPECT_EQ(w.layer, 0);
        EXPECT_EQ(std::optional(w.bounds), serverFrame(w.number));
        const auto e = element(w.number);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->pid(), w.ownerPid);
        EXPECT_EQ(e->subrole(), std::string(standardWindowSubrole));
        EXPECT_EQ(e->minimized(), false);
        EXPECT_EQ(e->fullScreen(), false);
        EXPECT_EQ(e->position(), std::optional(w.bounds.origin));
        EXPECT_EQ(e->size(), std::optional(w.bounds.size));
        EXPECT_EQ(e->sizeSettable(), true);
        EXPECT_FALSE(e->title().value_or("").empty());
    }
    EXPECT_EQ(numbers.size(), 3u);

    const auto apps = desktop->workspace().runningApps();
    ASSERT_FALSE(apps.empty());
    EXPECT_EQ(apps.front().pid, desktop->workspace().ownPid());
    EXPECT_EQ(apps.front().policy, ActivationPolicy::accessory);
    for (const auto& [name, w] : windows) {
        auto app =
            std::find_if(apps.begin(), apps.end(), [&w = w](const RunningApp& a) { return a.pid == w.ownerPid; });
        ASSERT_NE(app, apps.end()) << name;
        EXPECT_EQ(app->bundleID, name);
        EXPECT_EQ(app->policy, ActivationPolicy::regular);
        EXPECT_FALSE(app->hidden);
    }
}

TEST_F(X11DesktopTest, TidiesWithEveryLayoutAndUndoes)
{
    auto windows = stock();
    ASSERT_EQ(windows.size(), 3u);
    std::vector<std::pair<WindowID, ElementRef>> ordered;
    std::map<WindowID, Rect> before;
    for (const auto& w : listed(WindowListOption::onScreenOnly))
        if (auto e = element(w.number); e && windows.count(w.ownerName.value_or(""))) {
            ordered.emplace_back(w.number, e);
            before[w.number] = w.bounds;
        }
    ASSERT_EQ(ordered.size(), 3u);
    const Rect area = usable().insetBy(10, 10);

    for (TidyLayout layout : allTidyLayouts) {
        SCOPED_TRACE(std::string(rawValue(layout)));
        const auto frames = Tidy::frames(layout, int(ordered.size()), area, 10, 0);
        ASSERT_EQ(frames.size(), ordered.size());
        for (std::size_t i = 0; i < ordered.size(); ++i)
            setFrame(ordered[i].second, frames[i]);
        for (std::size_t i = 0; i < ordered.size(); ++i) {
            const auto got = serverFrame(ordered[i].first);
            ASSERT_TRUE(got);
            const auto read = Rect(ordered[i].second->position().value(), ordered[i].second->size().value());
            EXPECT_EQ(read, *got);
            // The server keeps whole pixels.
            EXPECT_NEAR(got->minX(), frames[i].minX(), 0.5);
            EXPECT_NEAR(got->minY(), frames[i].minY(), 0.5);
            // xterm takes whole character cells: its size snaps down to
            // them, never up.
            const bool cells = windows.at("XTerm").number == ordered[i].first;
            const double slackX = cells ? 6 : 0.5;
            const double slackY = cells ? 13 : 0.5;
            EXPECT_LE(got->width(), frames[i].width() + 0.5);
            EXPECT_GT(got->width(), frames[i].width() - slackX);
            EXPECT_LE(got->height(), frames[i].height() + 0.5);
            EXPECT_GT(got->height(), frames[i].height() - slackY);
        }
    }

    // Undo: the frames from before come back exactly.
    for (const auto& [number, e] : ordered)
        setFrame(e, before.at(number));
    for (const auto& [number, e] : ordered)
        EXPECT_EQ(serverFrame(number), std::optional(before.at(number)));
}

TEST_F(X11DesktopTest, SnapsTheFocusedWindowOfTheFrontmostApplication)
{
    const auto windows = stock();
    // xterm takes the focus (xclock declines it).
    const WindowInfo clock = windows.at("XTerm");
    ASSERT_TRUE(desktop->workspace().activate(clock.ownerPid));
    ASSERT_TRUE(waitFor(
        [&] {
            return desktop->workspace().frontmostApp() && desktop->workspace().frontmostApp()->pid == clock.ownerPid;
        },
        test::answerDeadline, [&] { pump(); }));
    const auto focused = desktop->accessibility().focusedWindow(clock.ownerPid);
    ASSERT_TRUE(focused);
    EXPECT_EQ(focused->windowNumber(), clock.number);

    for (Snap snap : {Snap::left, Snap::rightThird, Snap::maximize}) {
        SCOPED_TRACE(std::string(rawValue(snap)));
        const Rect target = frame(snap, usable(), focused->size().value());
        setFrame(focused, target);
        const auto got = serverFrame(clock.number).value();
        EXPECT_NEAR(got.minX(), target.minX(), 0.5);
        EXPECT_EQ(got.minY(), target.minY());
        // Whole character cells, snapped down.
        EXPECT_LE(got.width(), target.width() + 0.5);
        EXPECT_GT(got.width(), target.width() - 6);
        EXPECT_LE(got.height(), target.height());
        EXPECT_GT(got.height(), target.height() - 13);
    }
}

TEST_F(X11DesktopTest, RaiseBringsAWindowToTheFrontOfTheStacking)
{
    for (const std::string name : {"XEyes", "XTerm", "XClock"}) {
        const WindowInfo target = stock().at(name);
        const auto e = element(target.number);
        ASSERT_TRUE(e);
        ASSERT_TRUE(e->raise());
        const auto list = listed(WindowListOption::onScreenOnly);
        ASSERT_FALSE(list.empty());
        EXPECT_EQ(list.front().number, target.number) << name;
        // The server agrees: the top of its stacking.
        EXPECT_EQ(std::optional(session->stackingList().back()), desktop->serverWindow(target.number));
    }
}

TEST_F(X11DesktopTest, MinimizesRestoresAndHidesApplications)
{
    const WindowInfo eyes = stock().at("XEyes");
    const auto e = element(eyes.number);
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->setMinimized(true));
    caughtUp();
    EXPECT_EQ(e->minimized(), true);
    EXPECT_FALSE(stock().at("XEyes").onScreen);
    ASSERT_TRUE(e->setMinimized(false));
    caughtUp();
    EXPECT_EQ(e->minimized(), false);
    EXPECT_TRUE(stock().at("XEyes").onScreen);

    // Hiding an application minimizes its windows, but they read as hidden.
    ASSERT_TRUE(desktop->workspace().hide(eyes.ownerPid));
    caughtUp();
    EXPECT_EQ(e->minimized(), false);
    EXPECT_FALSE(stock().at("XEyes").onScreen);
    auto app = [&] {
        for (const auto& a : desktop->workspace().runningApps())
            if (a.pid == eyes.ownerPid)
                return a;
        return RunningApp{};
    };
    EXPECT_TRUE(app().hidden);
    ASSERT_TRUE(desktop->workspace().unhide(eyes.ownerPid));
    EXPECT_TRUE(stock().at("XEyes").onScreen);
    EXPECT_FALSE(app().hidden);
}

// Regression: the list was read before the manager had iconified the
// windows, so it forgot the hiding and the windows read as minimized.
TEST_F(X11DesktopTest, TheVeryNextApplicationListSeesAHiddenApplication)
{
    const WindowInfo clock = stock().at("XClock");
    const auto e = element(clock.number);
    ASSERT_TRUE(e);
    ASSERT_TRUE(desktop->workspace().hide(clock.ownerPid));
    const auto apps = desktop->workspace().runningApps();
    const auto app = std::find_if(apps.begin(), apps.end(), [&](const RunningApp& a) { return a.pid == clock.ownerPid; });
    ASSERT_NE(app, apps.end());
    EXPECT_TRUE(app->hidden);
    EXPECT_EQ(e->minimized(), false);
    ASSERT_TRUE(desktop->workspace().unhide(clock.ownerPid));
    EXPECT_TRUE(stock().at("XClock").onScreen);
}

// Regression: activation looked only at the shown desktop and did nothing.
TEST_F(X11DesktopTest, ActivatingAnApplicationOnAnotherDesktopBringsThatDesktopUp)
{
    const WindowInfo eyes = stock().at("XEyes");
    const xcb_window_t window = *desktop->serverWindow(eyes.number);
    ASSERT_EQ(session->currentDesktop(), std::optional<std::uint32_t>(0));
    session->moveToDesktop(window, 1);
    desktop->settle();
    ASSERT_FALSE(stock().at("XEyes").onScreen);
    EXPECT_EQ(desktop->accessibility().focusedWindow(eyes.ownerPid), nullptr);

    ASSERT_TRUE(desktop->workspace().activate(eyes.ownerPid));
    EXPECT_TRUE(stock().at("XEyes").onScreen);
    EXPECT_EQ(session->currentDesktop(), 1u);
    session->moveToDesktop(window, 0);
    session->switchToDesktop(0);
    desktop->settle();
    EXPECT_EQ(session->currentDesktop(), 0u);
    EXPECT_TRUE(stock().at("XEyes").onScreen);
}

TEST_F(X11DesktopTest, WindowNumbersAreNotReusedWhenTheServerReusesAnId)
{
    xcb_connection_t* c = session->connection();
    const xcb_window_t id = xcb_generate_id(c);
    const auto openWindow = [&](bool fixedSize) {
        const std::uint32_t values[] = {0xFFFFFF};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, id, session->root(), 100, 100, 300, 200, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, XCB_CW_BACK_PIXEL, values);
        if (fixedSize) {
            xcb_size_hints_t hints{};
            xcb_icccm_size_hints_set_min_size(&hints, 300, 200);
            xcb_icccm_size_hints_set_max_size(&hints, 300, 200);
            xcb_icccm_set_wm_normal_hints(c, id, &hints);
        }
        xcb_map_window(c, id);
        xcb_flush(c);
    };
    const auto numberOfOurs = [&]() -> std::optional<WindowID> {
        for (const auto& w : listed(WindowListOption::all))
            if (desktop->serverWindow(w.number) == id)
                return w.number;
        return std::nullopt;
    };
    openWindow(false);
    std::optional<WindowID> first;
    ASSERT_TRUE(waitFor([&] { return (first = numberOfOurs()).has_value(); }, test::answerDeadline, [&] { pump(); }));
    const auto oldElement = element(*first);
    ASSERT_TRUE(oldElement);

    xcb_destroy_window(c, id);
    xcb_flush(c);
    // Once the manager has let go of it, the id is free again.
    ASSERT_TRUE(waitFor([&] { return !numberOfOurs(); }, test::answerDeadline, [&] { pump(); }));
    openWindow(true);   // the same id, a new window that refuses sizes
    std::optional<WindowID> second;
    ASSERT_TRUE(
        waitFor([&] { return (second = numberOfOurs()) && *second != *first; }, test::answerDeadline, [&] { pump(); }));
    EXPECT_GT(*second, *first);
    // The old element is gone for good, even though its id lives again.
    EXPECT_EQ(oldElement->size(), std::nullopt);
    EXPECT_FALSE(oldElement->setPosition(Point(0, 0)));

    // Listed as soon as the manager adds it; reachable once it has placed it on a desktop.
    ElementRef fresh;
    ASSERT_TRUE(waitFor([&] { return (fresh = element(*second)) != nullptr; }, test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(fresh->sizeSettable(), false);
    EXPECT_FALSE(fresh->setSize(Size(500, 500)));
    xcb_destroy_window(c, id);
    xcb_flush(c);
    EXPECT_TRUE(waitFor([&] { return !numberOfOurs(); }, test::answerDeadline, [&] { pump(); }));
}

TEST_F(X11DesktopTest, HotKeyFiresFromTypedKeysAndTakenCombinationsAreRefused)
{
    std::vector<std::uint32_t> fired;
    desktop->hotKeys().setHandler([&](std::uint32_t id) { fired.push_back(id); });
    const std::uint32_t k = 40;
    const auto ref = desktop->hotKeys().registerHotKey(k, HotKeyModifier::control | HotKeyModifier::option, 7);
    ASSERT_TRUE(ref);
    EXPECT_FALSE(desktop->hotKeys().registerHotKey(k, HotKeyModifier::control | HotKeyModifier::option, 8));

    const auto control = desktop->serverKeyCode(59).value();
    const auto option = desktop->serverKeyCode(58).value();
    const auto kKey = desktop->serverKeyCode(k).value();
    test::Typist hand(*session, [&] { pump(); });
    hand.chord({control, option}, kKey);
    EXPECT_TRUE(waitFor([&] { return !fired.empty(); }, test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(fired, std::vector<std::uint32_t>{7});
    // Held until it repeats, it fires once more.
    hand.down(control);
    hand.down(option);
    hand.autorepeat(kKey, 2);
    hand.up(option);
    hand.up(control);
    EXPECT_TRUE(waitFor([&] { return fired.size() >= 2; }, test::answerDeadline, [&] { pump(); }));
    test::pumpFor(100ms, [&] { pump(); });
    EXPECT_EQ(fired.size(), 2u);

    // Without the modifiers the key is not the hot key.
    hand.stroke(kKey);
    test::pumpFor(100ms, [&] { pump(); });
    EXPECT_EQ(fired.size(), 2u);

    desktop->hotKeys().unregisterHotKey(*ref);
    // Another client's grab takes the combination.
    xcb_grab_key(session->connection(), 1, session->root(), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1,
                 desktop->serverKeyCode(38).value(), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    std::free(xcb_get_input_focus_reply(session->connection(), xcb_get_input_focus(session->connection()), nullptr));
    EXPECT_FALSE(desktop->hotKeys().registerHotKey(38, HotKeyModifier::control | HotKeyModifier::option, 9));
    xcb_ungrab_key(session->connection(), desktop->serverKeyCode(38).value(), session->root(),
                   XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1);
    xcb_flush(session->connection());
}

TEST_F(X11DesktopTest, ControlOptionScrollReachesTheTapAndIsDropped)
{
    std::vector<TapEvent> seen;
    ASSERT_TRUE(desktop->eventTap().start([&](const TapEvent& e) {
        seen.push_back(e);
        return e.type == TapEventType::scrollWheel;
    }));
    EXPECT_TRUE(desktop->eventTap().isRunning());
    const auto control = desktop->serverKeyCode(59).value();
    const auto option = desktop->serverKeyCode(58).value();
    session->movePointer(900, 500);
    session->key(control, true);
    session->key(option, true);
    session->button(5, true);
    session->button(5, false);
    session->key(option, false);
    session->key(control, false);
    const auto scrolls = [&] {
        return std::count_if(seen.begin(), seen.end(), [](const TapEvent& e) { return e.type == TapEventType::scrollWheel; });
    };
    ASSERT_TRUE(waitFor([&] { return scrolls() >= 1; }, test::answerDeadline, [&] { pump(); }));
    const auto scroll = *std::find_if(seen.begin(), seen.end(),
                                      [](const TapEvent& e) { return e.type == TapEventType::scrollWheel; });
    EXPECT_EQ(scroll.flags & (EventFlag::control | EventFlag::option), EventFlag::control | EventFlag::option);
    EXPECT_EQ(scroll.scrollDeltaY, -1);
    EXPECT_FALSE(scroll.continuous);
    test::pumpFor(100ms, [&] { pump(); });
    EXPECT_EQ(scrolls(), 1);
    // The modifiers came as flag changes, down then up.
    const auto flagChanges = std::count_if(seen.begin(), seen.end(),
                                           [](const TapEvent& e) { return e.type == TapEventType::flagsChanged; });
    EXPECT_EQ(flagChanges, 4);
    EXPECT_EQ(seen.back().flags, 0u);

    // A plain key passes through the tap with its character.
    const auto a = desktop->serverKeyCode(0).value();
    seen.clear();
    test::Typist(*session, [&] { pump(); }).stroke(a);
    ASSERT_TRUE(waitFor([&] { return seen.size() >= 2; }, test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(seen[0].type, TapEventType::keyDown);
    EXPECT_EQ(seen[0].keyCode, 0);
    EXPECT_EQ(seen[0].charactersIgnoringModifiers, "a");
    EXPECT_EQ(seen[1].type, TapEventType::keyUp);
    desktop->eventTap().stop();
    EXPECT_FALSE(desktop->eventTap().isRunning());
}

// The window under the pointer gets the wheel only when the tap lets it pass.
TEST_F(X11DesktopTest, TapDecisionDropsOrReplaysTheWheelAndTheMiddleButton)
{
    xcb_connection_t* c = session->connection();
    const xcb_window_t target = xcb_generate_id(c);
    const std::uint32_t values[] = {1, XCB_EVENT_MASK_BUTTON_PRESS};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, target, session->root(), 0, 0, 200, 200, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                      XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    xcb_map_window(c, target);
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, target, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
    session->movePointer(100, 100);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    const auto pressesReaching = [&] {
        std::vector<int> buttons;
        while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
            if ((e->response_type & 0x7F) == XCB_BUTTON_PRESS)
                buttons.push_back(reinterpret_cast<xcb_button_press_event_t*>(e)->detail);
            std::free(e);
        }
        return buttons;
    };
    bool drop = true;
    int decisions = 0;
    ASSERT_TRUE(desktop->eventTap().start([&](const TapEvent& e) {
        if (e.type != TapEventType::scrollWheel && e.type != TapEventType::otherMouseDown)
            return false;
        ++decisions;
        return drop;
    }));
    const auto control = desktop->serverKeyCode(59).value();
    const auto option = desktop->serverKeyCode(58).value();
    const auto clickWithControlOption = [&](std::uint8_t button) {
        session->key(control, true);
        session->key(option, true);
        session->button(button, true);
        session->button(button, false);
        session->key(option, false);
        session->key(control, false);
    };
    for (bool dropping : {true, false}) {
        SCOPED_TRACE(dropping ? "dropped" : "passed");
        drop = dropping;
        decisions = 0;
        pressesReaching();
        clickWithControlOption(4);
        session->button(2, true);
        session->button(2, false);
        ASSERT_TRUE(waitFor([&] { return decisions == 2; }, test::answerDeadline, [&] { pump(); }));
        std::vector<int> reached;
        waitFor([&] {
            for (int b : pressesReaching())
                reached.push_back(b);
            return !dropping && reached.size() >= 2;
        }, dropping ? 150ms : std::chrono::milliseconds(test::answerDeadline), [&] { pump(); });
        EXPECT_EQ(reached, dropping ? std::vector<int>{} : std::vector<int>({4, 2}));
    }
    desktop->eventTap().stop();
    xcb_destroy_window(c, target);
    xcb_flush(c);
}

TEST_F(X11DesktopTest, CapturesAThumbnailThatIsNotBlank)
{
    const WindowInfo clock = stock().at("XClock");
    ASSERT_TRUE(element(clock.number)->raise());
    const auto listed = desktop->capture().windows().value();
    // Each window with its manager's frame, as the window list has it.
    for (const auto& [name, info] : stock()) {
        const auto it = std::find_if(listed.begin(), listed.end(),
                                     [&info = info](const CapturableWindow& w) { return w.number == info.number; });
        ASSERT_NE(it, listed.end()) << name;
        EXPECT_EQ(it->frameSize, info.bounds.size) << name;
    }
    const int width = std::min(480, int(clock.bounds.width()));
    const int height = std::max(1, int(clock.bounds.height() * width / clock.bounds.width()));
    std::optional<Image> image;
    ASSERT_TRUE(waitFor(
        [&] {
            image = desktop->capture().capture(clock.number, width, height);
            if (!image)
                return false;
            std::set<std::uint32_t> colours;
            for (std::size_t i = 0; i + 3 < image->rgba.size(); i += 4)
                colours.insert(std::uint32_t(image->rgba[i]) << 16 | std::uint32_t(image->rgba[i + 1]) << 8 |
                               image->rgba[i + 2]);
            return colours.size() >= 2;
        },
        test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(image->width, width);
    EXPECT_EQ(image->height, height);
    EXPECT_TRUE(image->isValid());
    EXPECT_FALSE(desktop->capture().capture(0xF0000001, 10, 10));
}

TEST_F(X11DesktopTest, TwoRandrMonitorsOnTheVirtualScreen)
{
    int changes = 0;
    Handle observer = desktop->displays().onChange([&] { ++changes; });
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}));
    ASSERT_TRUE(session->run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"}));
    std::vector<Screen> screens;
    ASSERT_TRUE(waitFor([&] { return (screens = desktop->displays().screens()).size() == 2; }, test::answerDeadline,
                        [&] { pump(); }));
    EXPECT_EQ(screens[0].name, "Left");
    EXPECT_EQ(screens[1].name, "Right");
    EXPECT_NE(screens[0].id, screens[1].id);
    EXPECT_EQ(screens[0].frame, Rect(0, 0, 960, 1080));
    EXPECT_EQ(screens[1].frame, Rect(960, 0, 960, 1080));
    EXPECT_EQ(screens[1].visibleFrame, screens[1].frame);
    EXPECT_EQ(desktop->windowServer().currentDesktop(screens[1].id), std::optional<std::uint64_t>(1));
    EXPECT_EQ(desktop->windowServer().currentDesktop(12345), std::nullopt);

    session->run({"xrandr", "--delmonitor", "Left"});
    session->run({"xrandr", "--delmonitor", "Right"});
    ASSERT_TRUE(
        waitFor([&] { return desktop->displays().screens().size() == 1; }, test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(desktop->displays().screens().front().frame, Rect(0, 0, 1920, 1080));
    EXPECT_TRUE(waitFor([&] { return changes > 0; }, test::answerDeadline, [&] { pump(); }));
}

TEST_F(X11DesktopTest, KeyboardTranslatesThroughTheServerMap)
{
    const auto layouts = desktop->keyboard().layouts();
    ASSERT_FALSE(layouts.empty());
    const auto current = desktop->keyboard().currentLayout();
    ASSERT_TRUE(current);
    EXPECT_EQ(desktop->keyboard().translate(*current, 0), std::optional<std::string>("a"));
    EXPECT_EQ(desktop->keyboard().translate(*current, 49), std::optional<std::string>(" "));
    EXPECT_EQ(desktop->keyboard().translate(*current, 36), std::optional<std::string>("\r"));
    EXPECT_EQ(desktop->keyboard().translate(*current, 53), std::optional<std::string>("\x1b"));
    EXPECT_EQ(desktop->keyboard().translate("xx", 0), std::nullopt);

    // Regression: a key without a character in a second layout took the US
    // layout's one (the German dead circumflex read as a backquote).
    ASSERT_TRUE(session->run({"setxkbmap", "-layout", "us,de"}));
    ASSERT_TRUE(waitFor([&] { return desktop->keyboard().translate("de", 6) == std::optional<std::string>("y"); },
                        test::answerDeadline, [&] { pump(); }));
    EXPECT_EQ(desktop->keyboard().translate("de", 50), std::nullopt);
    EXPECT_EQ(desktop->keyboard().translate("de", 36), std::optional<std::string>("\r"));
    EXPECT_EQ(desktop->keyboard().translate("us", 50), std::optional<std::string>("`"));
    ASSERT_TRUE(session->run({"setxkbmap", "-layout", "us"}));
    EXPECT_TRUE(waitFor([&] { return desktop->keyboard().layouts() == std::vector<std::string>{"us"}; },
                        test::answerDeadline, [&] { pump(); }));
}

TEST_F(X11DesktopTest, FacilitiesThatLinuxLacks)
{
    EXPECT_EQ(desktop->browsers().run("tell application id \"org.mozilla.firefox\""), std::nullopt);
    EXPECT_TRUE(desktop->accessibility().isTrusted());
    EXPECT_TRUE(desktop->capture().isAllowed());
}

TEST_F(X11DesktopTest, LaunchedProgramsWriteWhereTheyCannotPassForKavelo)
{
    // A program's warnings on our standard error read as Kavelo's own.
    const auto folder = std::filesystem::temp_directory_path() / ("kavelo-launch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto script = folder / "noisy";
    const auto record = folder / "streams";
    std::ofstream(script) << "#!/bin/sh\n"
                             "in=$(readlink /proc/$$/fd/0) out=$(readlink /proc/$$/fd/1) err=$(readlink /proc/$$/fd/2)\n"
                             "printf '%s\\n' \"$in\" \"$out\" \"$err\" > "
                          << record.string() << ".part\nmv " << record.string() << ".part " << record.string() << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    std::ofstream(folder / "noisy.desktop") << "[Desktop Entry]\nType=Application\nName=Noisy\nExec=" << script.string()
                                            << " %U\n";

    for (const auto& how : {std::string("program"), std::string("entry")}) {
        std::filesystem::remove(record);
        if (how == "program")
            ASSERT_TRUE(desktop->workspace().launch(script.string(), false));
        else
            ASSERT_TRUE(desktop->workspace().openURLs({"https://example.org/"}, (folder / "noisy.desktop").string(), false));
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(record); }, test::answerDeadline)) << how;
        std::ifstream in(record);
        std::vector<std::string> streams;
        for (std::string line; std::getline(in, line);)
            streams.push_back(line);
        EXPECT_EQ(streams, (std::vector<std::string>{"/dev/null", "/dev/null", "/dev/null"})) << how;
    }
    std::filesystem::remove_all(folder);
}

TEST(BackendChoice, FollowsTheEnvironment)
{
    using Env = std::map<std::string, std::string>;
    const auto lookupIn = [](Env env) {
        return [env](std::string_view name) -> std::optional<std::string> {
            auto it = env.find(std::string(name));
            return it == env.end() ? std::nullopt : std::optional(it->second);
        };
    };
    std::string error;
    auto sim = openDesktopBackend(lookupIn({{"KAVELO_BACKEND", "sim"}, {"DISPLAY", ":0"}}), &error);
    EXPECT_TRUE(dynamic_cast<SimBackend*>(sim.get()));
    auto fallback = openDesktopBackend(lookupIn({}), &error);
    EXPECT_TRUE(dynamic_cast<SimBackend*>(fallback.get()));
    EXPECT_EQ(openDesktopBackend(lookupIn({{"KAVELO_BACKEND", "x11"}}), &error), nullptr);
    EXPECT_EQ(error, "DISPLAY is not set");
    EXPECT_EQ(openDesktopBackend(lookupIn({{"KAVELO_BACKEND", "wayland"}}), &error), nullptr);
    EXPECT_NE(error.find("x11 or sim"), std::string::npos);
    EXPECT_EQ(backendChoice(std::nullopt), BackendChoice::automatic);
    EXPECT_EQ(backendChoice("x11"), BackendChoice::x11);
}

TEST_F(X11DesktopTest, ChoosesTheServerWhenADisplayAnswers)
{
    auto backend = openDesktopBackend(
        [&](std::string_view name) -> std::optional<std::string> {
            if (name == "DISPLAY")
                return session->display();
            return std::nullopt;
        });
    EXPECT_TRUE(dynamic_cast<X11Desktop*>(backend.get()));
    EXPECT_GE(backend->eventDescriptor(), 0);
}

} // namespace
