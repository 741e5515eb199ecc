// The overview controller on the simulated desktop: opening and closing,
// keys, clicks, thumbnails, raising, holding the keyboard, and what it does
// when displays or windows go away under it.

#include "overview_fixture.h"

#include "app/platform/sim/sim_desktop.h"

#include <algorithm>

namespace kavelo::testing {
namespace {

namespace Key {
constexpr std::uint16_t a = 0, one = 18, two = 19, three = 20, four = 21, returnKey = 36, tab = 48, backspace = 51,
                        escape = 53, enter = 76, left = 123, right = 124, down = 125, up = 126;
} // namespace Key

using EventFlag::command;
using EventFlag::shift;

class OverviewControllerTest : public ::testing::Test, public OverviewWorld {
protected:
    // Three windows of two applications on the shown desktop, one
    // minimized, one on another desktop.
    void populate()
    {
        mail = add("Mail", "Inbox");
        notes = add("Notes", "Groceries", [](SimWindow& w) { w.minimized = true; });
        away = add("Terminal", "build", [this](SimWindow& w) { w.desktop = sim.addDesktop(primary()); });
        drafts = add("Mail", "Drafts");
    }

    WindowID frontWindow() const
    {
        for (WindowID n : sim.stacking())
            if (auto w = sim.window(n); w && w->layer == 0 && w->visible && !w->minimized)
                return n;
        return 0;
    }

    WindowID mail = 0, notes = 0, away = 0, drafts = 0;
};

TEST_F(OverviewControllerTest, HideBeforeAnyOpeningDoesNothing)
{
    controller.hide();
    EXPECT_EQ(controller.panel(), nullptr);
    EXPECT_FALSE(controller.isOpen());
}

TEST_F(OverviewControllerTest, OpensOnTheDisplayUnderThePointerWithAFreshModel)
{
    populate();
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    controller.loadWorkflows = [] { return std::vector<Workspace>{{.name = "Write"}, {.name = "Code"}}; };
    sim.movePointer(Point(1500, 500));

    controller.show();
    ASSERT_TRUE(controller.isOpen());
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->visible);
    EXPECT_TRUE(panel->holding);
    // The whole frame of the second display, flipped against the first.
    EXPECT_EQ(panel->frame, Rect(1440, 900 - 1080, 1920, 1080));
    EXPECT_EQ(controller.displayID(), sim.displayList()[1].id);

    const OverviewModel& m = controller.model();
    EXPECT_EQ(m.windows().size(), 4u);
    EXPECT_EQ(m.windows().front().id, drafts);   // front-most first
    EXPECT_EQ(m.query(), "");
    EXPECT_EQ(m.scope(), WindowScope::all);
    EXPECT_EQ(m.selection(), 0);
    EXPECT_FALSE(m.missingPermission());
    EXPECT_EQ(m.focusRequest(), 1);
    EXPECT_EQ(m.pointerAtOpen(), sim.mouse().location());
    ASSERT_EQ(m.workflows().size(), 2u);
    EXPECT_EQ(m.workflows()[1].name, "Code");
    EXPECT_EQ(m.columns(), 3);
}

TEST_F(OverviewControllerTest, APointerOnAMaximumEdgeBelongsToTheNextDisplayOrTheFirst)
{
    populate();
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    sim.movePointer(Point(3360, 100));   // right of every display
    controller.show();
    EXPECT_EQ(controller.displayID(), primary());
    controller.hide();
    sim.movePointer(Point(1440, 100));   // the first display's maximum x
    controller.show();
    EXPECT_EQ(controller.displayID(), sim.displayList()[1].id);
}

TEST_F(OverviewControllerTest, TheColumnCountComesFromAllWindowsAndStaysUntilTheNextOpening)
{
    sim.setDisplayFrame(primary(), Rect(0, 0, 1920, 1080));
    for (int i = 0; i < 30; ++i)
        add("App" + std::to_string(i % 4), "Window " + std::to_string(i));
    controller.show();
    // ceil(sqrt(30 × 1920 / 860 / 1.6)) = 7, at most 6.
    EXPECT_EQ(controller.model().columns(), 6);
    panel->press(Key::three, command);
    EXPECT_EQ(controller.model().columns(), 6);

    OverviewWorld two;
    two.add("A", "one");
    two.add("B", "two");
    two.controller.show();
    EXPECT_EQ(two.controller.model().columns(), 3);
}

TEST_F(OverviewControllerTest, ShowingAgainWhileOpenResetsAndFadesAgainWithOneMonitorEach)
{
    populate();
    controller.show();
    scheduler.advance(1);
    EXPECT_EQ(panel->opacities.back(), 1.0);
    panel->press(Key::two, command);
    controller.model().setQuery("mail");
    controller.model().setSelection(1);

    controller.show();
    const OverviewModel& m = controller.model();
    EXPECT_EQ(m.query(), "");
    EXPECT_EQ(m.scope(), WindowScope::all);
    EXPECT_EQ(m.selection(), 0);
    EXPECT_EQ(m.focusRequest(), 2);
    EXPECT_EQ(panel->opacities.back(), 0.0);
    EXPECT_EQ(panel->liveMonitors, 1);
    EXPECT_EQ(panel->monitorsMade, 1);
    EXPECT_EQ(mouse.live, 1);

    controller.hide();
    EXPECT_EQ(panel->liveMonitors, 0);
    EXPECT_EQ(mouse.live, 0);
    EXPECT_FALSE(panel->holding);
    EXPECT_FALSE(panel->visible);
}

TEST_F(OverviewControllerTest, FadesInOverATenthOfASecondUnlessMotionIsReducedOrNothingBlends)
{
    populate();
    controller.show();
    EXPECT_EQ(panel->opacities, std::vector<double>{0.0});
    scheduler.advance(0.06);
    ASSERT_GE(panel->opacities.size(), 3u);
    EXPECT_GT(panel->opacities.back(), 0.3);
    EXPECT_LT(panel->opacities.back(), 0.7);
    scheduler.advance(0.1);
    EXPECT_EQ(panel->opacities.back(), 1.0);
    const std::size_t steps = panel->opacities.size();
    scheduler.advance(1);
    EXPECT_EQ(panel->opacities.size(), steps);   // the fade has stopped
    EXPECT_TRUE(std::is_sorted(panel->opacities.begin(), panel->opacities.end()));

    controller.hide();
    sim.setReducedMotion(true);
    controller.show();
    EXPECT_EQ(panel->opacities.back(), 1.0);
    scheduler.advance(1);
    EXPECT_EQ(panel->opacities.back(), 1.0);

    controller.hide();
    sim.setReducedMotion(false);
    sim.setBlendsPanels(false);
    const std::size_t before = panel->opacities.size();
    controller.show();
    EXPECT_EQ(panel->opacities.size(), before + 1);
    EXPECT_EQ(panel->opacities.back(), 1.0);
}

TEST_F(OverviewControllerTest, ScopeKeysGoByPositionWithCommandWhateverElseIsHeld)
{
    populate();
    controller.show();
    const OverviewModel& m = controller.model();
    EXPECT_TRUE(panel->press(Key::two, command | shift));
    EXPECT_EQ(m.scope(), WindowScope::thisDesktop);
    EXPECT_EQ(resultIDs(), (std::vector<WindowID>{drafts, mail}));
    EXPECT_TRUE(panel->press(Key::three, command));
    EXPECT_EQ(resultIDs(), (std::vector<WindowID>{notes}));
    EXPECT_TRUE(panel->press(Key::four, command | EventFlag::option));
    EXPECT_EQ(resultIDs(), (std::vector<WindowID>{away}));
    controller.model().setSelection(5);
    EXPECT_TRUE(panel->press(Key::one, command));
    EXPECT_EQ(m.scope(), WindowScope::all);
    EXPECT_EQ(m.selection(), 0);

    // Without Command the digits are typing, as are letters, Backspace and Command-A.
    EXPECT_FALSE(panel->press(Key::two));
    EXPECT_FALSE(panel->press(Key::a));
    EXPECT_FALSE(panel->press(Key::a, command));
    EXPECT_FALSE(panel->press(Key::backspace));
    EXPECT_EQ(m.scope(), WindowScope::all);
}

TEST_F(OverviewControllerTest, ArrowsAndTabMoveOverTheGridWithItsColumns)
{
    for (int i = 0; i < 7; ++i)
        add("App", "Window " + std::to_string(i));
    controller.show();
    OverviewModel& m = controller.model();
    m.setColumns(3);
    const auto at = [&](int from, std::uint16_t key, std::uint64_t flags = 0) {
        m.setSelection(from);
        EXPECT_TRUE(panel->press(key, flags));
        return m.selection();
    };
    EXPECT_EQ(at(5, Key::down), 5);
    EXPECT_EQ(at(1, Key::up), 1);
    EXPECT_EQ(at(0, Key::left), 6);
    EXPECT_EQ(at(6, Key::right), 0);
    EXPECT_EQ(at(2, Key::down), 5);
    EXPECT_EQ(at(4, Key::up), 1);
    EXPECT_EQ(at(3, Key::tab), 4);
    EXPECT_EQ(at(3, Key::tab, shift), 2);
    // Command does not stop an arrow: they never reach the field.
    EXPECT_EQ(at(3, Key::left, command), 2);

    // Moves count only the results shown.
    m.setQuery("Window 3");
    EXPECT_TRUE(panel->press(Key::right));
    EXPECT_EQ(m.selection(), 0);
    m.setQuery("nothing like it");
    EXPECT_TRUE(panel->press(Key::down));
    EXPECT_EQ(m.selection(), 0);
}

TEST_F(OverviewControllerTest, ReturnOpensTheSelectionAndRaisesItAfterClosing)
{
    populate();
    sim.focusWindow(mail);
    controller.show();
    controller.model().setQuery("groc");
    ASSERT_EQ(resultIDs(), std::vector<WindowID>{notes});

    EXPECT_TRUE(panel->press(Key::returnKey, command));
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(panel->visible);
    EXPECT_FALSE(panel->holding);
    EXPECT_FALSE(sim.window(notes)->minimized);
    EXPECT_EQ(frontWindow(), notes);
    EXPECT_EQ(sim.frontmost(), sim.window(notes)->pid);

    controller.show();
    controller.model().setSelection(1);
    EXPECT_TRUE(panel->press(Key::enter));
    EXPECT_EQ(frontWindow(), controller.model().windows()[1].id);
}

TEST_F(OverviewControllerTest, ReturnWithoutAValidSelectionIsTakenAndOpensNothing)
{
    populate();
    sim.focusWindow(mail);
    controller.show();
    controller.model().setQuery("zzz");
    EXPECT_TRUE(panel->press(Key::returnKey));
    EXPECT_TRUE(controller.isOpen());
    controller.model().setQuery("");
    for (int selection : {-1, 4, 99}) {
        controller.model().setSelection(selection);
        EXPECT_TRUE(panel->press(Key::returnKey));
        EXPECT_TRUE(controller.isOpen());
    }
    EXPECT_EQ(frontWindow(), mail);
    EXPECT_EQ(sim.counters(mail).raises + sim.counters(drafts).raises, 0);
}

TEST_F(OverviewControllerTest, EscapeClosesWithoutRaising)
{
    populate();
    sim.focusWindow(mail);
    sim.resetCounters();
    controller.show();
    EXPECT_TRUE(panel->press(Key::escape));
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(panel->orderOuts, 1);
    EXPECT_FALSE(panel->press(Key::escape));   // no monitor any more
    for (WindowID w : {mail, notes, drafts})
        EXPECT_EQ(sim.counters(w).raises, 0);
}

TEST_F(OverviewControllerTest, AWindowClosedSinceTheCatalogReadIsNotRaised)
{
    populate();
    sim.focusWindow(mail);
    controller.show();
    const std::int32_t frontApp = *sim.frontmost();
    const auto listed = [&](WindowID id) {
        const auto& windows = controller.model().windows();
        return *std::find_if(windows.begin(), windows.end(), [&](const WindowEntry& w) { return w.id == id; });
    };
    // A window of the front application, with an element.
    const WindowEntry chosen = listed(drafts);
    sim.closeWindow(drafts);
    // Another application's window without one, gone from the list as well.
    const WindowEntry other = listed(away);

    controller.open(chosen);
    EXPECT_FALSE(controller.isOpen());
    sim.closeWindow(away);
    controller.show();
    controller.open(other);
    scheduler.advance(1);
    EXPECT_EQ(sim.frontmost(), frontApp);
    EXPECT_EQ(frontWindow(), mail);
}

TEST_F(OverviewControllerTest, AClickOutsideThePanelClosesWithoutRaisingAndOneInsideIsThePanels)
{
    populate();
    sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    sim.focusWindow(mail);
    sim.resetCounters();
    sim.movePointer(Point(200, 200));
    controller.show();

    sim.pressButton(0);   // on the panel: a card, a button, the backdrop
    sim.releaseButton(0);
    EXPECT_TRUE(controller.isOpen());

    sim.movePointer(Point(2000, 300));   // on the other display
    sim.pressButton(1);
    sim.releaseButton(1);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(frontWindow(), mail);
    for (WindowID w : {mail, notes, drafts})
        EXPECT_EQ(sim.counters(w).raises, 0);
}

TEST_F(OverviewControllerTest, ThePermissionHintFollowsTrustThenCapture)
{
    populate();
    sim.setCaptureAllowed(false);
    controller.show();
    EXPECT_TRUE(controller.model().missingPermission());
    sim.setCaptureAllowed(true);
    controller.show();
    EXPECT_FALSE(controller.model().missingPermission());
    sim.setTrusted(false);
    controller.show();
    EXPECT_TRUE(controller.model().missingPermission());
    // Untrusted, the window list still gives the windows of the shown desktop.
    EXPECT_FALSE(controller.model().windows().empty());
}

TEST_F(OverviewControllerTest, ViewActionsCloseFirstThenCallTheShell)
{
    populate();
    std::vector<std::string> calls;
    controller.showPermissions = [&] { calls.push_back(controller.isOpen() ? "permissions open" : "permissions"); };
    controller.switchWorkflow = [&](const std::string& name) {
        calls.push_back((controller.isOpen() ? "open " : "") + name);
    };
    controller.show();
    controller.fixPermissions();
    controller.show();
    controller.chooseWorkflow("Write");
    EXPECT_EQ(calls, (std::vector<std::string>{"permissions", "Write"}));
    EXPECT_FALSE(controller.isOpen());
}

// ---------------------------------------------------------------- thumbnails

TEST_F(OverviewControllerTest, ThumbnailsAreAskedForEveryWindowInCatalogOrder)
{
    populate();
    std::vector<std::vector<WindowID>> asked;
    std::vector<double> scales;
    Thumbnails::ImageHandler deliver;
    controller.loadThumbnails = [&](const Desktop&, std::vector<Thumbnails::Request> requests, double scale,
                                    Thumbnails::ImageHandler handler) {
        scales.push_back(scale);
        std::vector<WindowID> ids;
        for (const auto& r : requests)
            ids.push_back(r.id);
        asked.push_back(std::move(ids));
        deliver = std::move(handler);
        return std::unique_ptr<Thumbnails::Task>();
    };
    controller.show();
    ASSERT_EQ(asked.size(), 1u);
    std::vector<WindowID> catalog;
    for (const auto& w : controller.model().windows())
        catalog.push_back(w.id);
    EXPECT_EQ(asked[0], catalog);

    const Image picture{.width = 1, .height = 1, .rgba = {1, 2, 3, 255}};
    deliver(mail, picture);
    EXPECT_EQ(controller.model().thumbnails().count(mail), 1u);

    // A picture of an earlier opening stays out of the new one, which
    // starts with the pictures kept from before.
    const auto earlier = deliver;
    controller.show();
    EXPECT_EQ(controller.model().thumbnails().size(), 1u);
    EXPECT_EQ(controller.model().thumbnails().count(mail), 1u);
    earlier(notes, picture);
    EXPECT_EQ(controller.model().thumbnails().count(notes), 0u);
    deliver(notes, picture);
    EXPECT_EQ(controller.model().thumbnails().size(), 2u);

    // And one after closing stays out of the model left behind.
    controller.hide();
    deliver(drafts, picture);
    EXPECT_EQ(controller.model().thumbnails().count(drafts), 0u);

    // On a screen of twice the pixels, pictures are asked for at its scale
    // and the cache makes room for them.
    const std::size_t plain = controller.thumbnailCache().budget();
    sim.addDisplay(SimDisplay{.name = "Sharp", .frame = Rect(1440, 0, 1920, 1080), .scale = 2});
    sim.movePointer(Point(1500, 500));
    controller.show();
    EXPECT_EQ(scales, (std::vector<double>{1, 1, 2}));
    EXPECT_EQ(controller.thumbnailCache().budget(), 4 * plain);
}

TEST_F(OverviewControllerTest, CapturedPicturesArriveOnTheMainThreadUntilClosing)
{
    populate();
    controller.show();
    ASSERT_NE(controller.thumbnailTask(), nullptr);
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    const auto& pictures = controller.model().thumbnails();
    // Every window the capture service knows (the one on another desktop too).
    EXPECT_EQ(pictures.size(), 4u);
    ASSERT_EQ(pictures.count(mail), 1u);
    EXPECT_TRUE(pictures.at(mail)->isValid());

    // A new opening starts with the pictures kept; none taken after
    // closing replaces them.
    controller.show();
    const auto kept = controller.model().thumbnails();
    EXPECT_EQ(kept.size(), 4u);
    controller.hide();
    EXPECT_TRUE(controller.thumbnailTask()->isCancelled());
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    EXPECT_EQ(controller.model().thumbnails(), kept);

    // Without the permission the kept pictures go too.
    sim.setCaptureAllowed(false);
    controller.show();
    controller.thumbnailTask()->wait();
    scheduler.runPending();
    EXPECT_TRUE(controller.model().thumbnails().empty());
}

// ---------------------------------------------------------------- the keyboard

TEST_F(OverviewControllerTest, NothingShowsBeforeTheKeyboardIsHeld)
{
    populate();
    controller.show();   // makes the panel
    controller.hide();
    panel->refusals = 3;
    const int before = panel->presents;
    controller.show();
    EXPECT_TRUE(controller.isWaitingForKeyboard());
    EXPECT_FALSE(controller.isOpen());
    scheduler.advance(OverviewController::keyboardRetry * 2);
    EXPECT_EQ(panel->presents, before);
    EXPECT_EQ(panel->liveMonitors, 0);
    // A second request while waiting starts nothing new.
    controller.show();
    scheduler.advance(OverviewController::keyboardRetry);
    EXPECT_TRUE(controller.isOpen());
    EXPECT_EQ(panel->presents, before + 1);
    EXPECT_EQ(panel->liveMonitors, 1);
    EXPECT_TRUE(logged.empty());
}

TEST_F(OverviewControllerTest, AKeyboardHeldElsewhereForHalfASecondLeavesTheOverviewClosedAndLogged)
{
    populate();
    controller.show();
    controller.hide();
    panel->refusals = -1;
    const int asks = panel->holdAsks;
    controller.show();
    scheduler.advance(OverviewController::keyboardWait + 0.2);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(controller.isWaitingForKeyboard());
    EXPECT_FALSE(panel->visible);
    EXPECT_EQ(panel->holdAsks - asks, 11);   // at once, then every 0.05 s until 0.5 s
    EXPECT_EQ(logged, std::vector<std::string>{OverviewController::keyboardHeldMessage});

    // Closing while waiting gives up quietly.
    logged.clear();
    controller.show();
    controller.hide();
    scheduler.advance(1);
    EXPECT_TRUE(logged.empty());
    EXPECT_FALSE(controller.isOpen());
}

// ---------------------------------------------------------------- mends

TEST_F(OverviewControllerTest, WithoutADisplayNothingOpens)
{
    populate();
    sim.removeDisplay(primary());
    controller.show();
    EXPECT_FALSE(controller.isOpen());
    EXPECT_EQ(panel, nullptr);
}

TEST_F(OverviewControllerTest, TheDisplayGoingAwayClosesAndLetsGoOfTheKeyboard)
{
    populate();
    const std::uint32_t side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    sim.focusWindow(mail);
    sim.resetCounters();
    sim.movePointer(Point(1600, 300));
    controller.show();
    ASSERT_EQ(controller.displayID(), side);

    // Another display changing leaves it open.
    sim.setDisplayFrame(primary(), Rect(0, 0, 1280, 800));
    EXPECT_TRUE(controller.isOpen());

    sim.removeDisplay(side);
    EXPECT_FALSE(controller.isOpen());
    EXPECT_FALSE(panel->holding);
    EXPECT_FALSE(panel->visible);
    EXPECT_EQ(panel->liveMonitors, 0);
    EXPECT_EQ(frontWindow(), mail);
    for (WindowID w : {mail, notes, drafts})
        EXPECT_EQ(sim.counters(w).raises, 0);
}

TEST_F(OverviewControllerTest, NothingReadableOpensAnEmptyOverview)
{
    controller.show();
    EXPECT_TRUE(controller.isOpen());
    EXPECT_TRUE(controller.model().windows().empty());
    EXPECT_TRUE(panel->press(Key::returnKey));
    EXPECT_TRUE(panel->press(Key::down));
    EXPECT_EQ(controller.model().selection(), 0);
}

} // namespace
} // namespace kavelo::testing
