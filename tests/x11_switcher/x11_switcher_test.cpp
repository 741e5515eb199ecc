#include "x11_switcher/x11_switcher_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>

using namespace kavelo;
using namespace std::chrono_literals;
using kavelo::testing::X11SwitcherTest;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

namespace {

struct Clients {
    xcb_window_t witness = XCB_NONE;
    xcb_window_t xterm = XCB_NONE;
    xcb_window_t xclock = XCB_NONE;
    xcb_window_t xeyes = XCB_NONE;
};

} // namespace

class X11SwitcherKeys : public X11SwitcherTest {
protected:
    // The witness in front, then the xterm, the xeyes and the xclock.
    void SetUp() override
    {
        X11SwitcherTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        clients.witness = *witnessWindow();
        clients.xterm = *clientOf("XTerm");
        clients.xclock = *clientOf("XClock");
        clients.xeyes = *clientOf("XEyes");
        ASSERT_TRUE(frontInOrder({clients.xclock, clients.xeyes, clients.xterm, clients.witness}));
        witness->forget();
    }

    // No key of a session reached the witness (the Alt before it may have).
    void expectWitnessSawNoSessionKey()
    {
        for (int code : witness->pressed())
            EXPECT_TRUE(code == serverKey(altKey) || code == serverKey(shiftKey))
                << "the witness got server key " << int(code);
    }

    bool sessionStarted()
    {
        return until([&] { return controller->isActive() && !controller->model().session().windows.empty(); });
    }

    Clients clients;
};

TEST_F(X11SwitcherKeys, AltTabReleaseRaisesThePreviouslyUsedClient)
{
    key(altKey, true);
    tap(tabKey);
    key(altKey, false);
    ASSERT_TRUE(until([&] { return activeWindow() == clients.xterm; }));
    EXPECT_TRUE(until([&] { return topOfStacking() == clients.xterm; }));
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(controller->holdsKeyboard());
    // The witness heard the Alt that came before the session, and nothing after it.
    EXPECT_TRUE(until([&] { return !witness->pressed().empty(); }));
    EXPECT_THAT(witness->pressed(), ElementsAre(int(serverKey(altKey))));
}

// Tab held as a person holds it, Alt let go before it: the session still
// opens the previous window, and neither key of it reaches the witness.
TEST_F(X11SwitcherKeys, AltLetGoBeforeTabStillSwitches)
{
    typist->chord({serverKey(altKey)}, serverKey(tabKey), test::Release::modifiersFirst);
    ASSERT_TRUE(until([&] { return activeWindow() == clients.xterm; }));
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(controller->holdsKeyboard());
    settle(50ms);
    expectWitnessSawNoSessionKey();
}

// Pressed and let go in one batch, the way a script types with no hold at
// all: still a quick switch.
TEST_F(X11SwitcherKeys, ZeroHoldTabStillSwitches)
{
    key(altKey, true);
    typist->zeroHold(serverKey(tabKey));
    key(altKey, false);
    ASSERT_TRUE(until([&] { return activeWindow() == clients.xterm; }));
    settle(50ms);
    expectWitnessSawNoSessionKey();
}

// The server's own autorepeat of a held Tab steps once per repeat.
TEST_F(X11SwitcherKeys, HeldTabStepsOncePerRepeat)
{
    key(altKey, true);
    typist->autorepeat(serverKey(tabKey), 2);
    ASSERT_TRUE(sessionStarted());
    const auto count = int(controller->model().session().windows.size());
    ASSERT_GE(count, 4);
    EXPECT_TRUE(until([&] { return controller->model().session().index == 3; }))
        << "index " << controller->model().session().index;
    key(altKey, false);
    EXPECT_TRUE(until([&] { return topOfStacking() == clients.xclock; }));
    expectWitnessSawNoSessionKey();
}

// Shift pressed during the session, while Alt stays down: Tab steps back.
TEST_F(X11SwitcherKeys, ShiftPressedDuringTheSessionStepsBack)
{
    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    typist->chord({serverKey(shiftKey)}, serverKey(tabKey));
    ASSERT_TRUE(until([&] { return controller->model().session().index == 0; }));
    key(altKey, false);
    settle();
    EXPECT_EQ(activeWindow(), clients.witness);
    expectWitnessSawNoSessionKey();
}

// With the switcher off, Alt-Tab is the focused program's.
TEST_F(X11SwitcherKeys, DisabledSwitcherLeavesTabToTheFocusedProgram)
{
    controller->isEnabled = [] { return false; };
    controller->updateClaim();
    key(altKey, true);
    tap(tabKey);
    key(altKey, false);
    settle();
    EXPECT_FALSE(controller->isActive());
    EXPECT_THAT(witness->pressed(), Contains(int(serverKey(tabKey))));
    controller->isEnabled = [] { return true; };
    controller->updateClaim();
}

TEST_F(X11SwitcherKeys, AltTabTabTabRaisesTheFourthMostRecent)
{
    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    tap(tabKey);
    tap(tabKey);
    ASSERT_TRUE(until([&] { return controller->model().session().index == 3; }));
    key(altKey, false);
    // The clock takes no focus; it comes to the front.
    EXPECT_TRUE(until([&] { return topOfStacking() == clients.xclock; }));
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, TypedLettersSearchAndReleaseOpensTheMatch)
{
    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    for (std::uint16_t letter : {7, 8, 37}) // x c l
        tap(letter);
    ASSERT_TRUE(until([&] { return controller->model().session().query == "xcl"; }));
    key(altKey, false);
    EXPECT_TRUE(until([&] { return topOfStacking() == clients.xclock; }));
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, AltShiftTabStartsTheSameWayAndStepsBack)
{
    key(altKey, true);
    key(shiftKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    EXPECT_EQ(controller->model().session().index, 1);
    // Shift stays down: the next Tab steps back, and still reaches no one else.
    tap(tabKey);
    ASSERT_TRUE(until([&] { return controller->model().session().index == 0; }));
    tap(tabKey);
    ASSERT_TRUE(until([&] { return controller->model().session().index == 3; }));
    key(shiftKey, false);
    tap(tabKey);
    ASSERT_TRUE(until([&] { return controller->model().session().index == 0; }));
    tap(tabKey);
    ASSERT_TRUE(until([&] { return controller->model().session().index == 1; }));
    key(altKey, false);
    ASSERT_TRUE(until([&] { return activeWindow() == clients.xterm; }));
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, EscapeRaisesNothing)
{
    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    tap(escapeKey);
    ASSERT_TRUE(until([&] { return !controller->isActive(); }));
    key(altKey, false);
    settle();
    EXPECT_EQ(activeWindow(), clients.witness);
    EXPECT_EQ(topOfStacking(), clients.witness);
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, DigitSwitchesToAWorkflow)
{
    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    tap(20); // 3
    ASSERT_TRUE(until([&] { return !workflows.empty(); }));
    key(altKey, false);
    settle();
    EXPECT_THAT(workflows, ElementsAre(3));
    EXPECT_EQ(activeWindow(), clients.witness);
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, ClientKilledMidSessionIsNotRaised)
{
    const pid_t victim = session->launch({"xclock", "-name", "victim"});
    ASSERT_GT(victim, 0);
    std::optional<xcb_window_t> window;
    ASSERT_TRUE(until([&] {
        for (xcb_window_t w : session->clientList())
            if (w != clients.xclock && session->wmClass(w) == "XClock")
                window = w;
        return window.has_value();
    }));
    ASSERT_TRUE(frontInOrder({*window, clients.witness}));
    witness->forget();

    key(altKey, true);
    tap(tabKey);
    ASSERT_TRUE(sessionStarted());
    const WindowEntry* chosen = controller->model().selected();
    ASSERT_NE(chosen, nullptr);
    ASSERT_EQ(x11->serverWindow(chosen->id), *window);
    ::kill(victim, SIGKILL);
    ::waitpid(victim, nullptr, 0);
    ASSERT_TRUE(until([&] {
        const auto list = session->clientList();
        return std::find(list.begin(), list.end(), *window) == list.end();
    }));
    key(altKey, false);
    ASSERT_TRUE(until([&] { return !controller->isActive(); }));
    settle();
    EXPECT_EQ(activeWindow(), clients.witness);
    expectWitnessSawNoSessionKey();
}

TEST_F(X11SwitcherKeys, NoSessionWhileAnotherClientHoldsTheKeyboard)
{
    xcb_connection_t* c = session->connection();
    auto* grab = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, session->root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    ASSERT_NE(grab, nullptr);
    EXPECT_EQ(grab->status, XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);
    key(altKey, true);
    tap(tabKey);
    settle(300ms);
    EXPECT_FALSE(controller->isActive());
    key(altKey, false);
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    settle();
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(activeWindow(), clients.witness);

    // Let go, the next Alt-Tab works again.
    key(altKey, true);
    tap(tabKey);
    EXPECT_TRUE(sessionStarted());
    key(altKey, false);
    EXPECT_TRUE(until([&] { return activeWindow() == clients.xterm; }));
}

// openbox as installed binds Alt-Tab itself: the switcher stands aside.
TEST(X11SwitcherStandardManager, AltTabHeldByTheWindowManagerIsRefusedAndLogged)
{
    test::X11Session standard;
    std::string error;
    if (!standard.start({}, &error)) {
        if (kavelo::testing::onCI())
            FAIL() << "no X server: " << error;
        GTEST_SKIP() << "no X server: " << error;
    }
    test::TempHome home;
    ManualScheduler scheduler;
    auto x11 = X11Desktop::connect(standard.display(), &error);
    ASSERT_TRUE(x11) << error;
    x11->attach(&scheduler);
    UserDefaults defaults(home.paths().userDefaults);
    Preferences preferences(defaults, x11->loginItem(), [](int) { return false; });
    const Desktop desktop{x11->platform(scheduler, scheduler.clock()), preferences};
    MouseButtonTrigger trigger(x11->eventTap(), scheduler, [] { return true; });
    SwitcherController controller(desktop);
    std::vector<std::string> logged;
    controller.log = [&](std::string_view line) { logged.emplace_back(line); };
    trigger.onKey = [&](TapEventType type, const TapEvent& event) { return controller.handle(type, event); };
    ASSERT_TRUE(trigger.start());
    controller.updateClaim();
    EXPECT_FALSE(controller.claimed());
    EXPECT_THAT(logged, ElementsAre("shortcut Alt+Tab for switcher is held by another app"));

    const auto code = [&](std::uint16_t classic) { return x11->serverKeyCode(classic).value(); };
    standard.key(code(58), true);
    standard.key(code(48), true);
    standard.key(code(48), false);
    bool everActive = false;
    test::pumpFor(300ms, [&] {
        x11->processEvents();
        scheduler.runPending();
        everActive = everActive || controller.isActive();
    });
    standard.key(code(58), false);
    EXPECT_FALSE(everActive);
    EXPECT_EQ(logged.size(), 1u);
    x11->attach(nullptr);
}
