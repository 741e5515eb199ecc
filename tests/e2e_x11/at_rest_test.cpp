// Kavelo runs all day, so it must rest: on a first run beside a tray, every
// screen a person opens is opened in turn the way the person opens it, and
// the program's processor time is read over 3 s while the screen stands
// open and nothing changes, and again once it has closed.

#include "app/engine/panels/edge_zones_panel.h"
#include "app/settings/settings_sidebar.h"
#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/shell/qt/menu_panel_view.h"
#include "core/strip.h"
#include "e2e_x11/e2e_fixture.h"
#include "support/cpu_use.h"

#include <algorithm>
#include <cstdio>
#include <functional>

namespace kavelo::testing {
namespace {

// The most of one core the program may take at rest. The sanitizer tree's
// program is unoptimised and instrumented: No peek's 30 reads a second cost
// it about seven times what they cost the program people run (0.8 % of a
// core). A spin still takes the whole core there.
#if defined(__SANITIZE_ADDRESS__)
constexpr double restingShare = 0.15;
#else
constexpr double restingShare = 0.05;
#endif
constexpr auto measured = 3s;
// Until what a change animates (a fade, a spring, the strip indicator's
// fade after the keys) is over.
constexpr auto settling = 1s;

// A screen as a person meets it: how it opens, how it is seen on the
// server, and how it closes (none: the next screen takes its place). A
// screen that goes by itself (a toast) is measured only once gone.
struct Screen {
    std::string name;
    std::function<void()> open;
    std::function<bool()> shown;
    std::function<void()> close;
    bool standsOpen = true;
};

class KaveloAtRest : public E2E<test::WindowManager::openboxKeysFree, E2EStart::firstRunWithTray> {
protected:
    // Kavelo's share of a core over `measured`, once the change before has
    // settled.
    void expectRest(const std::string& when)
    {
        hand->wait(settling);
        const auto share = test::cpuShare(kavelo, measured);
        ASSERT_TRUE(share) << "kavelo ended " << when;
        EXPECT_LT(*share, restingShare) << when << ": kavelo took " << *share * 100 << " % of a core";
        std::printf("kavelo at rest %s: %.1f %% of a core\n", when.c_str(), *share * 100);
    }

    std::optional<Rect> window(Size size)
    {
        for (const auto& [w, frame] : panels())
            if (frame.size == size)
                return frame;
        return std::nullopt;
    }
    std::optional<Rect> menuPanel()
    {
        for (const auto& [w, frame] : panels())
            if (frame.width() == MenuPanelView::panelWidth)
                return frame;
        return std::nullopt;
    }
    // The welcome and settings windows, which the manager frames.
    void closeWindow(Size size)
    {
        for (const auto& [w, frame] : panels())
            if (frame.size == size)
                session->closeWindow(w);
    }
    // Small and centred near the bottom: a toast, the strip indicator.
    bool bottomPanel()
    {
        for (const auto& [w, frame] : panels(Size(40, 20)))
            if (frame.height() < 150 && frame.minY() > 800 && std::abs(frame.midX() - 960) <= 2)
                return true;
        return false;
    }
    bool tabBar()
    {
        for (const auto& [w, frame] : panels(Size(100, 20)))
            if (frame.height() <= Strip::tabHeight + 2)
                return true;
        return false;
    }
    // The badge of an edge zone, against the left or the right edge.
    bool edgeZone()
    {
        for (const auto& [w, frame] : panels(Size(EdgeBadge::width, EdgeBadge::height)))
            if (frame.size == Size(EdgeBadge::width, EdgeBadge::height) && (frame.minX() <= 0 || frame.maxX() >= 1920))
                return true;
        return false;
    }
    void openMenuPanelFromTheTray()
    {
        const auto icon = trayIcon();
        ASSERT_TRUE(icon) << "no icon in the tray";
        click(icon->center());
        ASSERT_TRUE(test::waitFor([&] { return menuPanel().has_value(); }, test::answerDeadline)) << "no menu panel";
    }

    static inline const Size welcomeSize{WelcomeView::width, WelcomeView::height};
    static inline const Size settingsSize{SettingsView::width, SettingsView::height};
};

TEST_F(KaveloAtRest, WhileEachScreenStandsOpenAndOnceItHasClosed)
{
    const auto settingsPage = [&](SettingsTab tab) {
        return Screen{
            "the settings window on its " + std::string(rawValue(tab)) + " page",
            [this, tab] {
                const auto at = window(settingsSize);
                ASSERT_TRUE(at) << "no settings window";
                // The sidebar's row of the page: its text is never taller
                // than the tile.
                using S = SettingsSidebar;
                const double rowHeight = S::tileSide + 2 * S::rowPaddingV;
                const double top = S::headerTop + S::iconSide + S::headerBottom + S::stackSpacing;
                const double index = double(std::find(allSettingsTabs.begin(), allSettingsTabs.end(), tab) -
                                            allSettingsTabs.begin());
                const std::string before = session->pixels(*at);
                click(Point(at->minX() + S::width / 2.0, at->minY() + top + index * (rowHeight + S::stackSpacing) +
                                                             rowHeight / 2));
                ASSERT_TRUE(test::waitFor([&] { return session->pixels(*at) != before; }, test::answerDeadline))
                    << "the page did not change";
            },
            [this] { return window(settingsSize).has_value(); },
            {},
        };
    };
    // Clean Space and No peek go on and off with their own keys.
    const auto toggle = [&](std::uint16_t key) {
        return [this, key] { chord({Key::control, Key::option, Key::shift}, key); };
    };
    const xcb_window_t term = client("XTerm");
    const std::vector<Screen> screens{
        {"the welcome window", [] {}, [&] { return window(welcomeSize).has_value(); },
         [&] { closeWindow(welcomeSize); }},
        {"the menu panel from the tray", [&] { openMenuPanelFromTheTray(); }, [&] { return menuPanel().has_value(); },
         [&] { stroke(Key::escape); }},
        {"the menu panel from a second start", [&] { ASSERT_TRUE(session->run({KAVELO_BINARY})); },
         [&] { return menuPanel().has_value(); },
         // A click elsewhere, on the xterm.
         [&] { click(session->clientArea(term)->center()); }},
        {"the settings window on its general page",
         [&] {
             openMenuPanelFromTheTray();
             const Rect panel = *menuPanel();
             // "Settings", first in the bottom row.
             click(Point(panel.minX() + MenuPanelView::padding + 20, panel.maxY() - MenuPanelView::padding - 7));
         },
         [&] { return window(settingsSize).has_value(); }, {}},
        [&] {
            Screen workflows = settingsPage(SettingsTab::workflows);
            // A save from the command line shows on the page while it stands open.
            workflows.open = [this, open = workflows.open] {
                open();
                ASSERT_FALSE(HasFatalFailure());
                const Rect at = *window(settingsSize);
                // Until the page's own change has drawn.
                hand->wait(settling);
                const std::string before = session->pixels(at);
                ASSERT_TRUE(session->run({KAVELO_BINARY, "--save", "Alpha"}));
                ASSERT_TRUE(test::waitFor([&] { return session->pixels(at) != before; }, test::answerDeadline))
                    << "the page never showed the workflow saved from the command line";
            };
            return workflows;
        }(),
        settingsPage(SettingsTab::arrange),
        settingsPage(SettingsTab::shortcuts),
        [&] {
            Screen last = settingsPage(SettingsTab::permissions);
            // Its own Close key.
            last.close = [&] { chord({Key::control}, Key::w); };
            return last;
        }(),
        {"the held switcher",
         [&] {
             focusInOrder({gtk(), term});
             down(Key::option);
             stroke(Key::tab);
         },
         [&] { return switcherPanel(); },
         [&] {
             stroke(Key::escape);
             up(Key::option);
         }},
        {"the overview", [&] { chord({Key::control, Key::option}, Key::space); }, [&] { return fullScreenPanel(); },
         [&] { stroke(Key::escape); }},
        {"a toast", [&] { chord({Key::control, Key::option}, Key::t); }, [&] { return bottomPanel(); },
         [&] {
             ASSERT_TRUE(test::waitFor([&] { return !bottomPanel(); }, test::answerDeadline)) << "the toast stayed";
         },
         false},
        {"the strip with a tab bar and edge zones",
         [&] {
             ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/strip"}));
             focusInOrder({term});
             // The engine looks at the focus at its next pass.
             hand->wait(600ms);
             // Into the column on its left, which then shows as tabs, full
             // width: the other column waits past an edge.
             chord({Key::control, Key::option}, Key::rightBracket);
             chord({Key::control, Key::option, Key::shift}, Key::t);
             chord({Key::control, Key::option}, Key::f);
         },
         [&] { return tabBar() && edgeZone(); }, {}},
        {"the strip indicator",
         [&] {
             down(Key::control);
             down(Key::option);
         },
         [&] { return bottomPanel(); },
         [&] {
             up(Key::option);
             up(Key::control);
             ASSERT_TRUE(session->run({KAVELO_BINARY, "kavelo://mode/off"}));
             ASSERT_TRUE(test::waitFor([&] { return !tabBar(); }, test::answerDeadline)) << "the tab bar stayed";
         }},
        {"Clean Space", toggle(Key::z), [&] { return !panels().empty(); }, toggle(Key::z)},
        {"No peek", toggle(Key::n), [&] { return !panels().empty(); }, toggle(Key::n)},
    };

    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.name);
        screen.open();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(test::waitFor(screen.shown, test::answerDeadline)) << screen.name << " never showed";
        if (screen.standsOpen)
            expectRest("with " + screen.name + " open");
        if (!screen.close)
            continue;
        screen.close();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_TRUE(test::waitFor([&] { return panels().empty(); }, test::answerDeadline))
            << screen.name << " stayed";
        expectRest("after " + screen.name + " closed");
    }
}

} // namespace
} // namespace kavelo::testing
