// The built `kavelo` end to end: Alt-Tab, the overview, snaps, the second
// start, the strip indicator and the strip's focus moves, checked on the
// server.

#include "e2e_x11/e2e_fixture.h"

namespace kavelo::testing {
namespace {

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

TEST_F(E2EX11, ASecondStartOpensTheMenuPanelAndEscapeOrAnotherStartClosesIt)
{
    const auto popover = [&] {
        for (const auto& [w, frame] : panels())
            if (frame.width() < 1920 && !switcherPanel())
                return true;
        return false;
    };
    EXPECT_TRUE(session->run({KAVELO_BINARY}));
    ASSERT_TRUE(test::waitFor(popover, test::answerDeadline)) << "no menu panel";
    stroke(Key::escape);
    EXPECT_TRUE(test::waitFor([&] { return panels().empty(); }, test::answerDeadline)) << "Escape left it open";

    EXPECT_TRUE(session->run({KAVELO_BINARY}));
    ASSERT_TRUE(test::waitFor(popover, test::answerDeadline)) << "no menu panel";
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
