#include "switcher/switcher_fixture.h"

#include "app/switcher/switcher_placement.h"
#include "core/screen_coordinates.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace kavelo;
using kavelo::testing::SwitcherControllerTest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// ---------------------------------------------------------------- starting and the quick switch

TEST_F(SwitcherControllerTest, QuickOptionTabRaisesThePreviousWindowWithoutAPanel)
{
    threeWindows();
    optionDown();
    EXPECT_TRUE(tab());
    EXPECT_TRUE(controller->isActive());
    // Option goes first, then Tab: the Tab's key-up is still swallowed.
    optionUp();
    EXPECT_TRUE(tabUp(0));
    run();
    EXPECT_EQ(frontWindow(), second);
    EXPECT_EQ(sim.frontmost(), terminal);
    wait(1);
    EXPECT_EQ(panelsMade, 0);
    EXPECT_FALSE(controller->isActive());

    // Tab let go first: swallowed the same way.
    optionDown();
    EXPECT_TRUE(tab());
    EXPECT_TRUE(tabUp());
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), first);
    EXPECT_EQ(panelsMade, 0);
}

TEST_F(SwitcherControllerTest, OptionShiftTabStartsLikeOptionTabAndShiftTabStepsBack)
{
    threeWindows();
    optionDown();
    EXPECT_TRUE(tab(option | shift));
    run();
    EXPECT_EQ(controller->model().session().index, 1);
    EXPECT_TRUE(tab(option | shift));
    run();
    EXPECT_EQ(controller->model().session().index, 0);
    EXPECT_TRUE(tab(option | shift));
    run();
    EXPECT_EQ(controller->model().session().index, 2);
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), third);
}

TEST_F(SwitcherControllerTest, OtherModifiersAndRepeatsNeverStartASession)
{
    threeWindows();
    EXPECT_FALSE(tab(option | EventFlag::control));
    EXPECT_FALSE(tab(option | EventFlag::command));
    EXPECT_FALSE(tab(option, true));
    EXPECT_FALSE(tab(0));
    EXPECT_FALSE(press(12, option));
    run();
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(raises(first) + raises(second) + raises(third), 0);
}

TEST_F(SwitcherControllerTest, HeldTabStepsOncePerRepeat)
{
    threeWindows();
    window(mail, "Drafts", Rect(0, 0, 400, 300));
    optionDown();
    tab();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(tab(option, true));
    run();
    // 1 at the start, then three steps around four windows.
    EXPECT_EQ(controller->model().session().index, 0);
}

TEST_F(SwitcherControllerTest, PanelShowsAfterTheDelayOrAtOnceOnTheNextKey)
{
    threeWindows();
    optionTab();
    run();
    wait(0.13);
    EXPECT_EQ(panelsMade, 0);
    wait(0.02);
    ASSERT_EQ(panelsMade, 1);
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(panel->frames.size(), 1u);
    optionUp();
    run();
    EXPECT_FALSE(panelShown());

    // A second Tab before the delay shows at once; the delayed show is gone.
    optionTab();
    run();
    tab();
    run();
    EXPECT_TRUE(panelShown());
    EXPECT_EQ(panel->frames.size(), 2u);
    wait(0.5);
    EXPECT_EQ(panel->frames.size(), 2u);
    EXPECT_EQ(panelsMade, 1) << "the panel is made once and reused";
}

TEST_F(SwitcherControllerTest, ReducedMotionShortensTheDelay)
{
    threeWindows();
    sim.setReducedMotion(true);
    optionTab();
    run();
    wait(0.05);
    EXPECT_TRUE(panelShown());
}

// ---------------------------------------------------------------- keys in a session

TEST_F(SwitcherControllerTest, DigitsSwitchWorkflowsOnlyAsTheFirstKey)
{
    threeWindows();
    optionTab();
    wait(0.2);
    ASSERT_TRUE(panelShown());
    EXPECT_TRUE(press(20)); // 3
    run();
    EXPECT_THAT(workflows, ElementsAre(3));
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(raises(first) + raises(second) + raises(third), 0);
    // Option is still held: Tab starts a fresh session.
    tab();
    tabUp();
    run();
    press(29); // 0
    run();
    EXPECT_EQ(controller->model().session().query, "0");
    optionUp();
    run();

    optionTab();
    run();
    press(0);  // a
    press(20); // 3
    run();
    EXPECT_EQ(controller->model().session().query, "a3");
    EXPECT_THAT(workflows, ElementsAre(3));
}

TEST_F(SwitcherControllerTest, BackspaceOnAnEmptyQueryShowsThePanelAgainUnchanged)
{
    threeWindows();
    optionTab();
    run();
    press(deleteKey);
    run();
    ASSERT_TRUE(panelShown());
    EXPECT_EQ(panel->frames.size(), 1u);
    press(deleteKey);
    run();
    EXPECT_EQ(panel->frames.size(), 2u);
    EXPECT_EQ(panel->frames[0], panel->frames[1]);
    EXPECT_EQ(controller->model().session().index, 1);
}

TEST_F(SwitcherControllerTest, EscapeCancelsAndTheNextOptionTabReadsAFreshCatalog)
{
    threeWindows();
    optionTab();
    wait(0.2);
    EXPECT_TRUE(press(escapeKey));
    run();
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(frontWindow(), first);
    EXPECT_EQ(raises(second), 0);

    const WindowID fresh = window(mail, "New message", Rect(50, 50, 400, 300));
    tab();
    run();
    ASSERT_TRUE(controller->isActive());
    EXPECT_EQ(controller->model().session().windows.front().id, fresh);
    EXPECT_EQ(controller->model().session().windows.size(), 4u);
}

TEST_F(SwitcherControllerTest, ReturnOpensWhileOptionIsHeld)
{
    threeWindows();
    optionTab();
    tab();
    EXPECT_TRUE(press(returnKey));
    run();
    EXPECT_EQ(frontWindow(), third);
    EXPECT_FALSE(controller->isActive());
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), third);
    EXPECT_EQ(raises(third), 1);
}

TEST_F(SwitcherControllerTest, EveryKeyIsTakenAlsoWithCommandOrControl)
{
    threeWindows();
    optionTab();
    EXPECT_TRUE(press(12, option | EventFlag::command)); // Command-Q
    EXPECT_TRUE(press(13, option | EventFlag::control));
    EXPECT_TRUE(sim.releaseKey(12, option));
    run();
    EXPECT_EQ(controller->model().session().query, "qw");
}

TEST_F(SwitcherControllerTest, KeysWithoutTextAreSwallowedAndDoNothing)
{
    threeWindows();
    optionTab();
    run();
    const auto before = controller->model().session();
    // Up arrow (a function-key character), a control character, nothing at all.
    for (const std::string& characters : {std::string("\xEF\x9C\x80"), std::string("\x01"), std::string()}) {
        const TapEvent event{.type = TapEventType::keyDown, .flags = option, .keyCode = 126,
                             .charactersIgnoringModifiers = characters};
        EXPECT_FALSE(SwitcherController::key(event).has_value());
        EXPECT_TRUE(controller->handle(TapEventType::keyDown, event));
    }
    run();
    EXPECT_EQ(controller->model().session(), before);
    EXPECT_TRUE(sim.pressKey(126, option)); // the simulated arrow, through the tap
    run();
    EXPECT_EQ(controller->model().session(), before);
}

TEST_F(SwitcherControllerTest, ReleasingTwiceSendsReleasedOnce)
{
    threeWindows();
    optionTab();
    run();
    // The watch sees Option gone before the tap's flags event arrives.
    sim.setModifierState(ModifierSource::combinedSession, 0);
    sim.setModifierState(ModifierSource::hidSystem, 0);
    wait(0.2);
    EXPECT_FALSE(controller->isActive());
    optionUp();
    run();
    controller->release();
    run();
    EXPECT_EQ(raises(second), 1);
}

TEST_F(SwitcherControllerTest, WatchKeepsTheSessionWhileEitherStateHoldsOption)
{
    threeWindows();
    optionTab();
    run();
    sim.setModifierState(ModifierSource::combinedSession, 0);
    wait(0.2);
    EXPECT_TRUE(controller->isActive());
    sim.setModifierState(ModifierSource::hidSystem, 0);
    wait(0.2);
    EXPECT_FALSE(controller->isActive());
}

TEST_F(SwitcherControllerTest, TraceLinesOnlyWithTheVariable)
{
    threeWindows();
    ::testing::internal::CaptureStdout();
    optionTab();
    run();
    wait(0.2);
    optionUp();
    run();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");

    ::setenv(SwitcherController::traceVariable, "", 1);
    ::testing::internal::CaptureStdout();
    optionTab();
    run();
    tab(option | shift);
    run();
    wait(0.2);
    optionUp();
    run();
    const std::string out = ::testing::internal::GetCapturedStdout();
    ::unsetenv(SwitcherController::traceVariable);
    // The first session brought the terminal to the front.
    EXPECT_EQ(out, "send tab(backward: true) windows=[\"ssh build\", \"Kavelo docs\", \"Inbox\"] index=1\n"
                   "watchdog session=true hardware=true\n"
                   "send released windows=[\"ssh build\", \"Kavelo docs\", \"Inbox\"] index=0\n"
                   "open ssh build element=true\n");
}

// ---------------------------------------------------------------- panel size and place

namespace {

SwitcherMap mapOf(const SwitcherController& controller)
{
    return SwitcherMap(controller.model().session().windows, controller.model().displays(),
                       SwitcherModel::mapFitting, SwitcherModel::mapGap);
}

} // namespace

TEST_F(SwitcherControllerTest, PanelSizesForTheMapAndForResults)
{
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "One", Rect(0, 25, 700, 500));
    window(a, "Two", Rect(400, 200, 700, 500));
    optionTab();
    wait(0.2);
    ASSERT_TRUE(panelShown());
    const SwitcherMap map = mapOf(*controller);
    ASSERT_TRUE(map.underneath.empty());
    const double width = std::max(map.size.width + 48, 520.0);
    const double height = map.size.height + 76;
    // Centred on the one 1440 × 900 display.
    EXPECT_EQ(panel->frames.back(), Rect(720 - width / 2, 450 - height / 2, width, height));

    press(1); // s
    run();
    EXPECT_EQ(panel->frames.back(), Rect(720 - 314, 450 - 134, 628, 268));

    for (int i = 0; i < 8; ++i)
        window(a, "More " + std::to_string(i), Rect(10.0 * i, 40, 300, 200));
    optionUp();
    run();
    optionTab();
    run();
    press(1);
    run();
    // Ten windows: six cards, but no wider than the display allows.
    EXPECT_EQ(panel->frames.back().size, Size(std::min(1216.0, 1440.0 - 80), 268));
}

TEST_F(SwitcherControllerTest, WindowsOffTheMapMakeRoomForTheShelf)
{
    const auto a = app("com.apple.Safari", "Safari");
    window(a, "One", Rect(0, 25, 700, 500));
    window(a, "Minimized", Rect(400, 200, 700, 500), [](SimWindow& w) { w.minimized = true; });
    window(a, "Two", Rect(400, 200, 700, 500));
    optionTab();
    wait(0.2);
    const SwitcherMap map = mapOf(*controller);
    ASSERT_EQ(map.underneath.size(), 1u);
    EXPECT_EQ(panel->frames.back().height(), map.size.height + 76 + 102);
}

TEST_F(SwitcherControllerTest, PanelGoesToTheDisplayUnderThePointerAndUpdatesAfterEachKey)
{
    threeWindows();
    const std::uint32_t right = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    ASSERT_NE(right, 0u);
    optionTab();
    wait(0.2);
    const Rect onMain = panel->frames.back();
    EXPECT_DOUBLE_EQ(onMain.midX(), 720);
    sim.movePointer(Point(2000, 500));
    press(1);
    run();
    // The side display stands on the bottom edge of the 900-high primary.
    const Rect onSide = panel->frames.back();
    EXPECT_DOUBLE_EQ(onSide.midX(), 1440 + 960);
    EXPECT_DOUBLE_EQ(onSide.midY(), 900 - 540);
    EXPECT_EQ(panelsMade, 1);
}

TEST_F(SwitcherControllerTest, DisplayRemovedMidSessionIsNotUsedAgain)
{
    threeWindows();
    const std::uint32_t side = sim.addDisplay(SimDisplay{.name = "Side", .frame = Rect(1440, 0, 1920, 1080)});
    sim.movePointer(Point(2000, 500));
    optionTab();
    run();
    ASSERT_EQ(controller->model().displays().size(), 2u);
    ASSERT_TRUE(sim.removeDisplay(side));
    wait(0.2);
    ASSERT_TRUE(panelShown());
    EXPECT_DOUBLE_EQ(panel->frames.back().midX(), 720);
    EXPECT_EQ(controller->model().displays().size(), 1u);
}

TEST_F(SwitcherControllerTest, NoRoomMeansNoPanelButKeysStillWork)
{
    threeWindows();
    const auto displays = sim.displayList();
    ASSERT_TRUE(sim.setDisplayFrame(displays.front().id, Rect(0, 0, 60, 50)));
    optionTab();
    wait(0.2);
    EXPECT_EQ(panelsMade, 0);
    tab();
    run();
    EXPECT_EQ(panelsMade, 0);
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), third);
}

// ---------------------------------------------------------------- callbacks, claims, the keyboard

TEST_F(SwitcherControllerTest, DisabledSwitcherLetsOptionTabThroughAndGivesUpTheClaim)
{
    threeWindows();
    EXPECT_EQ(sim.claims().size(), 2u);
    bool enabled = false;
    controller->isEnabled = [&] { return enabled; };
    controller->updateClaim();
    EXPECT_TRUE(sim.claims().empty());
    optionDown();
    EXPECT_FALSE(tab());
    run();
    EXPECT_FALSE(controller->isActive());
    enabled = true;
    // Re-checked at the next Option-Tab.
    EXPECT_TRUE(tab());
    EXPECT_EQ(sim.claims().size(), 2u);
}

TEST_F(SwitcherControllerTest, ClaimRefusedMeansNoSessionAndOneLogLine)
{
    threeWindows();
    controller.reset();
    sim.takeHotKey(48, Shortcut::option);
    controller = std::make_unique<SwitcherController>(desktop);
    controller->log = [this](std::string_view line) { logged.emplace_back(line); };
    controller->updateClaim();
    EXPECT_THAT(logged, ElementsAre("shortcut Alt+Tab for switcher is held by another app"));
    EXPECT_TRUE(sim.claims().empty());
    optionDown();
    EXPECT_FALSE(tab());
    tabUp();
    EXPECT_FALSE(tab());
    run();
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(logged.size(), 1u);
    optionUp();

    // Let go by the other application: the press that finds it free still
    // was that application's; the claim is taken for the next one.
    sim.releaseHotKey(48, Shortcut::option);
    optionDown();
    EXPECT_FALSE(tab());
    tabUp();
    run();
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(sim.claims().size(), 2u);
    EXPECT_TRUE(tab());
    run();
    EXPECT_TRUE(controller->isActive());
    EXPECT_EQ(logged.size(), 1u);
}

TEST_F(SwitcherControllerTest, KeyboardIsHeldOnlyWhileOptionIsDown)
{
    threeWindows();
    optionTab();
    EXPECT_TRUE(sim.keyboardHeld());
    tab(option | shift);
    run();
    EXPECT_TRUE(sim.keyboardHeld());
    optionUp();
    EXPECT_FALSE(sim.keyboardHeld());
    run();

    optionTab();
    EXPECT_TRUE(sim.keyboardHeld());
    press(escapeKey);
    run();
    EXPECT_FALSE(sim.keyboardHeld());
}

TEST_F(SwitcherControllerTest, NoSessionWhileAnotherClientHoldsTheKeyboard)
{
    threeWindows();
    sim.holdKeyboardElsewhere(true);
    optionDown();
    EXPECT_FALSE(tab());
    run();
    wait(0.5);
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(panelsMade, 0);
    sim.holdKeyboardElsewhere(false);
    tabUp();
    EXPECT_TRUE(tab());
}

TEST_F(SwitcherControllerTest, ClickOpensThatWindowWhateverIsSelected)
{
    threeWindows();
    optionTab();
    wait(0.2);
    ASSERT_TRUE(click);
    click(controller->model().session().windows[2]);
    EXPECT_FALSE(controller->isActive());
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(frontWindow(), third);
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), third);
}

// ---------------------------------------------------------------- bad input

TEST_F(SwitcherControllerTest, NothingReadableMeansReleaseCancels)
{
    // No windows at all.
    optionTab();
    optionUp();
    run();
    EXPECT_FALSE(controller->isActive());
    EXPECT_TRUE(controller->model().session().windows.empty());

    // Applications that do not answer, and no names in the window list.
    threeWindows();
    for (auto pid : {safari, terminal, mail})
        sim.setAppAnswers(pid, false);
    sim.setCaptureAllowed(false);
    optionTab();
    run();
    EXPECT_TRUE(controller->model().session().windows.empty());
    optionUp();
    run();
    wait(1);
    EXPECT_FALSE(controller->isActive());
    EXPECT_EQ(raises(first) + raises(second) + raises(third), 0);
}

TEST_F(SwitcherControllerTest, WithoutAnElementTheWindowIsRaisedLater)
{
    threeWindows();
    sim.setTrusted(false);
    ::setenv(SwitcherController::traceVariable, "1", 1);
    ::testing::internal::CaptureStdout();
    optionTab();
    optionUp();
    run();
    const std::string out = ::testing::internal::GetCapturedStdout();
    ::unsetenv(SwitcherController::traceVariable);
    EXPECT_THAT(out, HasSubstr("open ssh build element=false"));
    EXPECT_EQ(sim.frontmost(), terminal);
    sim.setTrusted(true);
    wait(0.35);
    EXPECT_EQ(frontWindow(), second);
}

TEST_F(SwitcherControllerTest, ClosedWindowIsNeitherRaisedNorItsApplicationActivated)
{
    threeWindows();
    const auto frontApp = sim.frontmost();
    optionTab();
    run();
    ASSERT_TRUE(sim.closeWindow(second));
    optionUp();
    run();
    EXPECT_EQ(sim.frontmost(), frontApp);
    EXPECT_EQ(frontWindow(), first);

    // Without an element: gone from the window list.
    sim.setTrusted(false);
    optionTab();
    run();
    const auto chosen = controller->model().selected();
    ASSERT_NE(chosen, nullptr);
    const WindowID gone = chosen->id;
    ASSERT_TRUE(sim.closeWindow(gone));
    optionUp();
    run();
    EXPECT_EQ(sim.frontmost(), frontApp);
}

// Letting go raises and activates from the session's own catalog: the
// running applications are read, if at all, only after both were asked.
// A hidden application and a minimized window still come back.
TEST_F(SwitcherControllerTest, ReleaseActivatesBeforeReadingTheApplications)
{
    safari = app("com.apple.Safari", "Safari");
    terminal = app("com.apple.Terminal", "Terminal", true);
    second = window(terminal, "ssh build", Rect(200, 150, 600, 400), [](SimWindow& w) { w.minimized = true; });
    first = window(safari, "Kavelo docs", Rect(100, 100, 700, 500));
    optionTab();
    run();
    std::optional<int> readsAtActivation;
    const Handle watching = desktop.platform.workspace.onActivation(
        [&](const RunningApp&) { readsAtActivation = sim.appListReads(); });
    const int readsAtRelease = sim.appListReads();
    optionUp();
    run();
    ASSERT_TRUE(readsAtActivation);
    EXPECT_EQ(*readsAtActivation, readsAtRelease);
    EXPECT_EQ(sim.frontmost(), terminal);
    EXPECT_EQ(frontWindow(), second);
}

TEST_F(SwitcherControllerTest, ThumbnailsArriveForTheFirstWindowsAndStopAtTheEnd)
{
    const auto a = app("com.apple.Safari", "Safari");
    std::vector<WindowID> ids;
    for (int i = 0; i < 30; ++i)
        ids.insert(ids.begin(), window(a, "W" + std::to_string(i), Rect(10.0 * i, 30, 400, 300)));
    optionTab();
    run();
    ASSERT_TRUE(pumpUntil([&] { return controller->model().thumbnails().size() >= 24; }));
    EXPECT_EQ(controller->model().thumbnails().size(), 24u);
    for (std::size_t i = 0; i < 24; ++i)
        EXPECT_TRUE(controller->model().thumbnails().count(ids[i])) << i;
    optionUp();
    run();
    EXPECT_EQ(controller->model().thumbnails().size(), 24u);
}

// ---------------------------------------------------------------- mends

TEST_F(SwitcherControllerTest, EscapeThenTabInOneBatchLeavesNoPanel)
{
    threeWindows();
    optionTab();
    wait(0.2);
    EXPECT_TRUE(press(escapeKey));
    EXPECT_TRUE(tab()); // still a session key: the Escape is queued, not applied
    run();
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(controller->isActive());
    wait(1);
    EXPECT_FALSE(panelShown());
}

TEST_F(SwitcherControllerTest, EarlierReleaseOpensItsSelectionWithoutEndingTheNewSession)
{
    threeWindows();
    optionTab();
    optionUp(); // released is queued
    optionDown();
    EXPECT_TRUE(tab()); // a new session before the queue ran
    run();
    EXPECT_EQ(frontWindow(), second);
    EXPECT_TRUE(controller->isActive());
    EXPECT_TRUE(sim.keyboardHeld());
    wait(0.2);
    EXPECT_TRUE(panelShown());
    // The new session runs on its fresh catalog.
    EXPECT_EQ(controller->model().session().windows.front().id, second);
    optionUp();
    run();
    EXPECT_EQ(frontWindow(), first);
}

TEST_F(SwitcherControllerTest, ControllerDestroyedMidSessionRunsNothingQueued)
{
    threeWindows();
    optionTab();
    tab();
    optionUp();
    controller.reset();
    run();
    wait(1);
    EXPECT_EQ(frontWindow(), first);
    EXPECT_EQ(raises(second) + raises(third), 0);
    EXPECT_FALSE(sim.keyboardHeld());
    EXPECT_TRUE(sim.claims().empty());
}

TEST_F(SwitcherControllerTest, AtMostOneRankPerKey)
{
    threeWindows();
    optionTab();
    run();
    const auto& model = controller->model();
    for (std::uint16_t key : {1, 17, 46}) { // s, t, m
        const std::size_t before = model.rankings();
        press(key);
        run();
        // The panel, a view and the next key all read the same ranking.
        (void)model.resultCount();
        (void)model.selected();
        EXPECT_EQ(model.rankings(), before + 1);
    }
    const std::size_t afterTyping = model.rankings();
    tab();
    press(returnKey);
    run();
    EXPECT_EQ(model.rankings(), afterTyping);
}

// ---------------------------------------------------------------- placement alone

TEST(SwitcherPlacementTest, NoScreenOrNoRoomMeansNoFrame)
{
    const SwitcherMap none;
    EXPECT_FALSE(SwitcherPlacement::frame({}, Point(10, 10), 3, true, none));
    const Screen tiny{.frame = Rect(0, 0, 70, 30), .visibleFrame = Rect(0, 0, 70, 30)};
    // Results need the visible width less 80, the map its height less 40.
    EXPECT_FALSE(SwitcherPlacement::frame({tiny}, Point(10, 10), 3, true, none));
    EXPECT_FALSE(SwitcherPlacement::frame({tiny}, Point(10, 10), 3, false, none));
}

TEST(SwitcherPlacementTest, PointerOffEveryScreenUsesTheFirst)
{
    const Screen main{.id = 1, .frame = Rect(0, 0, 1440, 900), .visibleFrame = Rect(0, 0, 1440, 875)};
    const Screen side{.id = 2, .frame = Rect(1440, 0, 1920, 1080), .visibleFrame = Rect(1440, 0, 1920, 1080)};
    EXPECT_EQ(SwitcherPlacement::screen({main, side}, Point(5000, 5000))->id, 1u);
    EXPECT_EQ(SwitcherPlacement::screen({main, side}, Point(2000, 10))->id, 2u);
    // Centred on the full frame, not the visible one; flipped against the primary.
    const auto frame = SwitcherPlacement::frame({main, side}, Point(100, 100), 2, true, SwitcherMap());
    EXPECT_EQ(frame, Rect(720 - 314, 450 - 134, 628, 268));
}
