// The built `kavelo`, started as a user starts it (private home and XDG
// folders), on a private Xvfb with openbox (its keys left free), xterms,
// xclock and a GTK program, typed at as a person types. Every outcome is
// read from the server: the active window, frames, the program's mapped
// panels. One program serves the suite, so each test sets up the window
// order it starts from.

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

// Classic virtual key codes, turned into the server's by the backend.
namespace Key {
constexpr std::uint16_t control = 59, option = 58, shift = 56, tab = 48, escape = 53, returnKey = 36, space = 49,
                        left = 123, right = 124, command = 55, r = 15, n = 45, o = 31, t = 17, e = 14, s = 1;
} // namespace Key

// The GTK program's title; typed to find it.
constexpr const char* gtkTitle = "Notes";

template <class T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

// One program on one manager's session per suite: openbox with its keys
// left free, or i3, which tiles and leaves the stacking alone when the
// focus moves.
template <test::WindowManager manager>
class E2E : public ::testing::Test {
protected:
    static constexpr bool tiling = manager == test::WindowManager::i3;

    static void SetUpTestSuite()
    {
        // Programs on the private display talk to no session bus of the user's.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("NO_AT_BRIDGE", "1", 1);
        ::setenv("GTK_A11Y", "none", 1);
        session = std::make_unique<test::X11Session>();
        session->bindKey("W-r", test::X11Session::execute(std::string(KAVELO_X11_TEST_CLIENT) + " --hold-keyboard"));
        const std::vector<std::string> first = tiling ? std::vector<std::string>{"xterm"}
                                                      : std::vector<std::string>{"xterm", "xclock"};
        if (!session->start(first, &startError, manager)) {
            session.reset();
            return;
        }
        session->launch({"xterm", "-class", "XTermTwo"});
        if (tiling)
            session->launch({"xterm", "-class", "XTermThree"});
        else
            session->launch({"zenity", "--info", "--title", gtkTitle, "--text", "A GTK window"});
        const std::size_t count = tiling ? 3 : 4;
        if (!test::waitFor([&] { return session->clientList().size() >= count; }, test::answerDeadline)) {
            startError = "the clients were not managed in time";
            session.reset();
            return;
        }
        home = std::make_unique<test::TempHome>();
        test::privateRuntime(*home);
        ::unsetenv("KAVELO_BACKEND");
        test::writeDefaults(*home, R"({"welcomed": true})");
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        if (!x11) {
            startError = error;
            session.reset();
            return;
        }
        kavelo = session->launch({KAVELO_BINARY});
        if (!test::waitFor([] { return accepts(); }, test::answerDeadline))
            startError = "kavelo never listened";
    }

    static void TearDownTestSuite()
    {
        if (session && kavelo > 0)
            session->terminate(kavelo);
        kavelo = -1;
        x11.reset();
        session.reset();
        home.reset();
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    void SetUp() override
    {
        // Never skipped: the suite is about the program as it runs.
        ASSERT_TRUE(session) << "no X session for the end-to-end tests: " << startError;
        ASSERT_TRUE(startError.empty()) << startError;
        hand.emplace(*session);
        // What an earlier test left open goes first.
        ASSERT_TRUE(test::waitFor([&] { return panels().empty(); }, test::answerDeadline))
            << "a panel of kavelo is still shown";
    }

    // The socket accepts once the launch has registered the shortcuts.
    static bool accepts()
    {
        return test::listens(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "kavelo" /
                             (InstancePaths::fileName(session->display()) + ".socket"));
    }

    std::uint8_t server(std::uint16_t key) { return x11->serverKeyCode(key).value(); }

    xcb_window_t client(const std::string& className)
    {
        const auto windows = session->windowsOfClass(className);
        return windows.empty() ? XCB_NONE : windows.back();
    }
    xcb_window_t gtk() { return client("Zenity"); }

    // Focuses each in turn as a pager would, the last one ending active;
    // asked again while the manager is still busy with the one before.
    void focusInOrder(const std::vector<xcb_window_t>& windows)
    {
        for (xcb_window_t w : windows) {
            std::chrono::steady_clock::time_point asked;
            ASSERT_TRUE(test::waitFor(
                [&] {
                    if (session->activeWindow() == w)
                        return true;
                    if (const auto now = std::chrono::steady_clock::now(); now - asked >= 500ms) {
                        session->activate(w);
                        asked = now;
                    }
                    return false;
                },
                test::answerDeadline))
                << session->wmClass(w).value_or("?") << " never became active";
            // Used a moment, as a person uses a window: Kavelo learns the
            // order of use from each change.
            hand->wait(200ms);
        }
    }

    // The launcher openbox runs on Super-R, holding the keyboard while a
    // letter and Escape are typed into it, then letting go, as people use one.
    void typeIntoALauncher()
    {
        const auto hold = [&] { return session->cardinals(session->root(), "KAVELO_TEST_HOLD"); };
        session->setCardinals(session->root(), "KAVELO_TEST_HOLD", {});
        chord({Key::command}, Key::r);
        ASSERT_TRUE(test::waitFor([&] { return hold().size() == 3 && hold()[0] == 1; }, test::answerDeadline))
            << "the launcher never held the keyboard";
        stroke(Key::s);
        stroke(Key::escape);
        const bool letGo = test::waitFor([&] { return hold()[0] == 0; }, test::answerDeadline);
        const auto told = hold();
        if (!letGo)
            ::kill(pid_t(told[2]), SIGTERM);
        ASSERT_TRUE(letGo) << "the launcher read " << told[1] << " keys and kept the keyboard";
        EXPECT_EQ(told[1], 2u) << "keys the launcher read";
    }

    // Until the two windows stand side by side, apart, and stay put.
    test::Waited sideBySideAndStill(xcb_window_t a, xcb_window_t b)
    {
        std::vector<std::optional<Rect>> last;
        return test::waitFor(
            [&] {
                hand->wait(300ms);
                std::vector<std::optional<Rect>> now{session->frame(a), session->frame(b)};
                const bool still = now == last && now[0] && now[1] && !now[0]->intersection(*now[1]).width();
                last = now;
                return still;
            },
            test::answerDeadline);
    }

    test::Waited becomesActive(xcb_window_t window, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor([&] { return session->activeWindow() == window; }, timeout);
    }

    // Kavelo's own windows the server shows now (its panels), with their
    // frames in root coordinates; `smallest` leaves out the active-window
    // border and the like.
    std::map<xcb_window_t, Rect> panels(Size smallest = Size(150, 100))
    {
        std::map<xcb_window_t, Rect> out;
        xcb_connection_t* c = session->connection();
        const xcb_atom_t pidAtom = session->atom("_NET_WM_PID");
        std::vector<xcb_window_t> level{session->root()};
        for (int depth = 0; depth < 2; ++depth) {
            std::vector<xcb_window_t> next;
            for (xcb_window_t parent : level) {
                Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr),
                                                   &std::free);
                if (!tree)
                    continue;
                const auto* children = xcb_query_tree_children(tree.get());
                next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
            }
            for (xcb_window_t w : next) {
                Reply<xcb_get_property_reply_t> pid(
                    xcb_get_property_reply(c, xcb_get_property(c, 0, w, pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr),
                    &std::free);
                if (!pid || xcb_get_property_value_length(pid.get()) != 4 ||
                    *static_cast<const std::uint32_t*>(xcb_get_property_value(pid.get())) != std::uint32_t(kavelo))
                    continue;
                Reply<xcb_get_window_attributes_reply_t> attributes(
                    xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &std::free);
                if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
                    continue;
                const auto area = session->clientArea(w);
                // The active-window border and the like are thin or small; a
                // closed overview may stay mapped past every screen.
                if (area && area->width() >= smallest.width && area->height() >= smallest.height &&
                    area->intersects(Rect(0, 0, 1920, 1080)))
                    out.emplace(w, *area);
            }
            level = std::move(next);
        }
        return out;
    }
    bool fullScreenPanel()
    {
        for (const auto& [w, frame] : panels())
            if (frame.width() >= 1920 && frame.height() >= 1080)
                return true;
        return false;
    }
    // The switcher: centred on the screen, smaller than it.
    bool switcherPanel()
    {
        for (const auto& [w, frame] : panels())
            if (frame.width() < 1920 && std::abs(frame.midX() - 960) <= 2 && std::abs(frame.midY() - 540) <= 2)
                return true;
        return false;
    }

    // The strip indicator: a row of tiles centred near the bottom.
    std::optional<Rect> indicatorPanel()
    {
        for (const auto& [w, frame] : panels(Size(40, 40)))
            if (frame.height() < 150 && frame.minY() > 800 && std::abs(frame.midX() - 960) <= 2)
                return frame;
        return std::nullopt;
    }

    void down(std::uint16_t key)
    {
        hand->down(server(key));
        hand->pause();
    }
    void up(std::uint16_t key)
    {
        hand->up(server(key));
        hand->pause();
    }
    void stroke(std::uint16_t key)
    {
        hand->stroke(server(key));
        hand->pause();
    }
    void chord(std::vector<std::uint16_t> modifiers, std::uint16_t key)
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifiers)
            held.push_back(server(m));
        hand->chord(held, server(key));
        hand->pause();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::unique_ptr<test::TempHome> home;
    static inline std::unique_ptr<X11Desktop> x11;
    static inline pid_t kavelo = -1;
    static inline std::string startError;
    std::optional<test::Typist> hand;
};

using E2EX11 = E2E<test::WindowManager::openboxKeysFree>;
using E2EUnderI3 = E2E<test::WindowManager::i3>;

// i3 keeps the stacking as it is when the focus moves: the window used
// before is the one Alt-Tab goes back to all the same.
TEST_F(E2EUnderI3, QuickAltTabReturnsToTheWindowUsedBefore)
{
    const xcb_window_t a = client("XTerm"), b = client("XTermTwo"), c = client("XTermThree");
    focusInOrder({a, c, b});
    chord({Key::option}, Key::tab);
    const auto active = [&] { return session->wmClass(session->activeWindow().value_or(0)).value_or("none"); };
    EXPECT_TRUE(becomesActive(c)) << active() << " is active";
    // And back again.
    chord({Key::option}, Key::tab);
    EXPECT_TRUE(becomesActive(b)) << active() << " is active";
}

TEST_F(E2EX11, QuickAltTabReturnsToThePreviousWindow)
{
    focusInOrder({gtk(), client("XTerm")});
    chord({Key::option}, Key::tab);
    EXPECT_TRUE(becomesActive(gtk()));
    // Alt let go before Tab: the same.
    focusInOrder({client("XTermTwo"), client("XTerm")});
    hand->chord({server(Key::option)}, server(Key::tab), test::Release::modifiersFirst);
    EXPECT_TRUE(becomesActive(client("XTermTwo")));
    EXPECT_FALSE(switcherPanel());
}

TEST_F(E2EX11, HeldAltTabShowsThePanelTabMovesAndLettingGoActivates)
{
    focusInOrder({client("XTermTwo"), gtk(), client("XTerm")});
    down(Key::option);
    stroke(Key::tab);
    ASSERT_TRUE(test::waitFor([&] { return switcherPanel(); }, test::answerDeadline)) << "no switcher panel";
    stroke(Key::tab);
    up(Key::option);
    EXPECT_TRUE(becomesActive(client("XTermTwo")));
    EXPECT_TRUE(test::waitFor([&] { return !switcherPanel(); }, test::answerDeadline));
}

TEST_F(E2EX11, ShiftTabGoesBack)
{
    focusInOrder({client("XTermTwo"), gtk(), client("XTerm")});
    down(Key::option);
    stroke(Key::tab);
    stroke(Key::tab);
    chord({Key::shift}, Key::tab);
    up(Key::option);
    EXPECT_TRUE(becomesActive(gtk()));
}

TEST_F(E2EX11, EscapeCancels)
{
    focusInOrder({gtk(), client("XTerm")});
    down(Key::option);
    stroke(Key::tab);
    ASSERT_TRUE(test::waitFor([&] { return switcherPanel(); }, test::answerDeadline)) << "no switcher panel";
    stroke(Key::escape);
    EXPECT_TRUE(test::waitFor([&] { return !switcherPanel(); }, test::answerDeadline));
    up(Key::option);
    hand->wait(200ms);
    const auto active = session->activeWindow();
    EXPECT_EQ(active, client("XTerm")) << (active ? session->wmClass(*active).value_or("?") : "none") << " is active";
}

TEST_F(E2EX11, ALetterTypedFiltersAndLettingGoActivatesTheMatch)
{
    focusInOrder({gtk(), client("XTermTwo"), client("XTerm")});
    down(Key::option);
    stroke(Key::tab);
    for (auto letter : {Key::n, Key::o, Key::t})
        stroke(letter);
    up(Key::option);
    EXPECT_TRUE(becomesActive(gtk()));
}

TEST_F(E2EX11, TheOverviewOpensATypedNameSelectsReturnActivatesAndItsShortcutCloses)
{
    focusInOrder({gtk(), client("XTerm")});
    chord({Key::control, Key::option}, Key::space);
    ASSERT_TRUE(test::waitFor([&] { return fullScreenPanel(); }, test::answerDeadline)) << "no overview";
    for (auto letter : {Key::n, Key::o, Key::t, Key::e, Key::s})
        stroke(letter);
    stroke(Key::returnKey);
    EXPECT_TRUE(becomesActive(gtk()));
    EXPECT_TRUE(test::waitFor([&] { return !fullScreenPanel(); }, test::answerDeadline));

    chord({Key::control, Key::option}, Key::space);
    ASSERT_TRUE(test::waitFor([&] { return fullScreenPanel(); }, test::answerDeadline)) << "no overview";
    chord({Key::control, Key::option}, Key::space);
    EXPECT_TRUE(test::waitFor([&] { return !fullScreenPanel(); }, test::answerDeadline))
        << "its own shortcut left it open";
    EXPECT_EQ(session->activeWindow(), gtk());
}

// Another program that held the keyboard (a launcher, a menu) leaves every
// key of the next sessions to them: Escape closes the overview over its
// query, and cancels the switcher with a letter typed.
TEST_F(E2EX11, EscapeEndsTheSessionsAfterAnotherProgramHeldTheKeyboard)
{
    focusInOrder({gtk(), client("XTerm")});
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        typeIntoALauncher();
        chord({Key::control, Key::option}, Key::space);
        ASSERT_TRUE(test::waitFor([&] { return fullScreenPanel(); }, test::answerDeadline)) << "no overview";
        stroke(Key::n);
        stroke(Key::escape);
        EXPECT_TRUE(test::waitFor([&] { return !fullScreenPanel(); }, test::answerDeadline))
            << "Escape left the overview open";
        if (fullScreenPanel())
            stroke(Key::escape);

        typeIntoALauncher();
        down(Key::option);
        stroke(Key::tab);
        ASSERT_TRUE(test::waitFor([&] { return switcherPanel(); }, test::answerDeadline)) << "no switcher panel";
        stroke(Key::t);
        stroke(Key::escape);
        EXPECT_TRUE(test::waitFor([&] { return !switcherPanel(); }, test::answerDeadline))
            << "Escape left the switcher open";
        up(Key::option);
        hand->wait(200ms);
        const auto active = session->activeWindow();
        EXPECT_EQ(active, client("XTerm")) << (active ? session->wmClass(*active).value_or("?") : "none")
                                           << " is active";
        focusInOrder({client("XTerm")});
    }
}

// A key typed into the switcher and let go only after Alt, once the session
// had ended, comes up where the switcher no longer sees it; the overview's
// shortcut on that key answers its first press all the same.
TEST_F(E2EX11, AKeyLetGoAfterTheSwitchersSessionStillStartsItsShortcut)
{
    focusInOrder({gtk(), client("XTerm")});
    down(Key::option);
    stroke(Key::tab);
    ASSERT_TRUE(test::waitFor([&] { return switcherPanel(); }, test::answerDeadline)) << "no switcher panel";
    down(Key::space);
    up(Key::option);
    up(Key::space);
    ASSERT_TRUE(test::waitFor([&] { return !switcherPanel(); }, test::answerDeadline)) << "the switcher stayed";
    hand->wait(200ms);
    chord({Key::control, Key::option}, Key::space);
    EXPECT_TRUE(test::waitFor([&] { return fullScreenPanel(); }, test::answerDeadline))
        << "the first press opened no overview";
    chord({Key::control, Key::option}, Key::space);
    EXPECT_TRUE(test::waitFor([&] { return !fullScreenPanel(); }, test::answerDeadline)) << "the overview stayed";
}

TEST_F(E2EX11, SnapShortcutsLandTheFocusedWindowsFrame)
{
    const auto area = session->cardinals(session->root(), "_NET_WORKAREA");
    ASSERT_GE(area.size(), 4u);
    const Rect visible(area[0], area[1], area[2], area[3]);
    const xcb_window_t term = client("XTerm");
    focusInOrder({term});
    chord({Key::control, Key::option}, Key::left);
    // xterm keeps whole characters: the far edge may fall a little short.
    const auto leftHalf = [&] {
        const auto frame = session->frame(term);
        return frame && std::abs(frame->minX() - visible.minX()) <= 1 && std::abs(frame->minY() - visible.minY()) <= 1 &&
               frame->maxX() <= visible.midX() + 1 && frame->maxX() >= visible.midX() - 24;
    };
    EXPECT_TRUE(test::waitFor(leftHalf, test::answerDeadline));
    chord({Key::control, Key::option}, Key::right);
    const auto rightHalf = [&] {
        const auto frame = session->frame(term);
        return frame && std::abs(frame->minX() - visible.midX()) <= 1 && frame->maxX() >= visible.maxX() - 24;
    };
    EXPECT_TRUE(test::waitFor(rightHalf, test::answerDeadline));
}

TEST_F(E2EX11, ASecondStartOpensTheMenuPanel)
{
    const auto popover = [&] {
        for (const auto& [w, frame] : panels())
            if (frame.width() < 1920 && !switcherPanel())
                return true;
        return false;
    };
    EXPECT_TRUE(session->run({KAVELO_BINARY}));
    EXPECT_TRUE(test::waitFor(popover, test::answerDeadline)) << "no menu panel";
    // A second start again closes it.
    EXPECT_TRUE(session->run({KAVELO_BINARY}));
    EXPECT_TRUE(test::waitFor([&] { return panels().empty(); }, test::answerDeadline));
}

// Held Control and Alt show the indicator of the desktop in front; when
// the wheel with them takes openbox to another desktop (its stock binding),
// what it shows is that desktop's, and the empty one has none.
TEST_F(E2EX11, TheIndicatorFollowsTheDesktopChangedUnderHeldKeys)
{
    ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/auto"}));
    ASSERT_TRUE(sideBySideAndStill(client("XTerm"), client("XTermTwo"))) << "auto mode never tiled the xterms";
    focusInOrder({client("XTerm")});
    session->movePointer(960, 400);
    down(Key::control);
    down(Key::option);
    EXPECT_TRUE(test::waitFor([&] { return indicatorPanel().has_value(); }, test::answerDeadline))
        << "no indicator while Control and Alt are held";
    session->button(5, true);
    session->button(5, false);
    const bool moved = test::waitFor([&] { return session->currentDesktop() == 1u; }, test::answerDeadline);
    EXPECT_TRUE(moved) << "openbox stayed on desktop " << session->currentDesktop().value_or(99);
    if (moved) {
        EXPECT_TRUE(test::waitFor([&] { return !indicatorPanel(); }, test::answerDeadline))
            << "the indicator of the desktop left behind";
    }
    up(Key::option);
    up(Key::control);
    session->switchToDesktop(0);
    EXPECT_TRUE(test::waitFor([&] { return session->currentDesktop() == 0u; }, test::answerDeadline));
    ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/off"}));
    EXPECT_TRUE(test::waitFor([&] { return !indicatorPanel(); }, test::answerDeadline));
}

// A desktop shown for the first time while Control and Alt are held: the
// indicator shows its strip, two columns, as soon as Kavelo has found them.
TEST_F(E2EX11, TheIndicatorShowsTheStripOfADesktopOnItsFirstVisit)
{
    std::vector<pid_t> second{session->launch({"xterm", "-class", "XTermDesk"}),
                              session->launch({"xterm", "-class", "XTermDesk"})};
    // Each sent to desktop 1 until openbox says it is there.
    const auto onSecond = [&] {
        const auto windows = session->windowsOfClass("XTermDesk");
        return windows.size() == 2 && std::all_of(windows.begin(), windows.end(), [&](xcb_window_t w) {
                   if (session->cardinals(w, "_NET_WM_DESKTOP") == std::vector<std::uint32_t>{1})
                       return true;
                   session->moveToDesktop(w, 1);
                   return false;
               });
    };
    ASSERT_TRUE(test::waitFor(onSecond, test::answerDeadline)) << "the xterms stayed on desktop 0";
    ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/strip"}));
    ASSERT_TRUE(sideBySideAndStill(client("XTerm"), client("XTermTwo"))) << "the strip never laid the xterms out";
    focusInOrder({client("XTerm")});
    hand->wait(600ms);

    session->movePointer(960, 400);
    down(Key::control);
    down(Key::option);
    std::optional<Rect> first;
    EXPECT_TRUE(test::waitFor([&] { return bool(first = indicatorPanel()); }, test::answerDeadline))
        << "no indicator while Control and Alt are held";
    // As a pager asks for it (wmctrl -s 1).
    session->switchToDesktop(1);
    EXPECT_TRUE(test::waitFor([&] { return session->currentDesktop() == 1u; }, test::answerDeadline));
    // Two tiles: narrower than the one of desktop 0.
    std::optional<Rect> shown;
    EXPECT_TRUE(test::waitFor([&] { return (shown = indicatorPanel()) && first && shown->width() < first->width(); },
                              test::answerDeadline))
        << "desktop 0's was " << first.value_or(Rect()) << ", desktop 1's " << shown.value_or(Rect());
    up(Key::option);
    up(Key::control);
    session->switchToDesktop(0);
    EXPECT_TRUE(test::waitFor([&] { return session->currentDesktop() == 0u; }, test::answerDeadline));
    for (pid_t pid : second)
        session->terminate(pid);
    ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/off"}));
    EXPECT_TRUE(test::waitFor([&] { return !indicatorPanel(); }, test::answerDeadline));
}

// Last: the strip, asked for by a link, lays every window out anew. A
// focus move lands the focus on the next column.
TEST_F(E2EX11, InTheStripAFocusMoveActivatesTheNextColumn)
{
    ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/strip"}));
    const std::vector<xcb_window_t> columns{client("XTerm"), client("XTermTwo")};
    // Laid out side by side, left to right in some order.
    const auto sideBySide = [&] {
        const auto a = session->frame(columns[0]);
        const auto b = session->frame(columns[1]);
        return a && b && (a->maxX() <= b->minX() + 1 || b->maxX() <= a->minX() + 1);
    };
    ASSERT_TRUE(test::waitFor(sideBySide, test::answerDeadline)) << "the strip never laid the xterms out";
    // Until the strip has stopped moving them.
    std::vector<std::optional<Rect>> last;
    const auto still = [&] {
        std::vector<std::optional<Rect>> now{session->frame(columns[0]), session->frame(columns[1])};
        const bool same = now == last;
        last = now;
        return same && sideBySide();
    };
    ASSERT_TRUE(test::waitFor([&] { return hand->wait(300ms), still(); }, test::answerDeadline));
    // The left one of the two.
    const xcb_window_t first =
        session->frame(columns[0])->minX() < session->frame(columns[1])->minX() ? columns[0] : columns[1];
    focusInOrder({first});
    // The engine looks at the focus at its next pass.
    hand->wait(600ms);
    const Rect before = *session->frame(first);
    chord({Key::control, Key::option}, Key::right);
    EXPECT_TRUE(test::waitFor(
        [&] {
            const auto active = session->activeWindow();
            const auto frame = active ? session->frame(*active) : std::nullopt;
            return active && *active != first && frame && frame->minX() >= before.maxX() - 1;
        },
        test::answerDeadline))
        << "the focus did not move to the column on the right";
}

} // namespace
} // namespace kavelo::testing
