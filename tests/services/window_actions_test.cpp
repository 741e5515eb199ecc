#include "app/services/window_actions.h"
#include "core/grid_plan.h"
#include "core/tidy.h"
#include "services/desktop_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <set>

using namespace kavelo;
using kavelo::testing::DesktopTest;
using kavelo::testing::SimWorld;
using ::testing::ElementsAre;

namespace {

std::set<WindowID> keys(const std::map<WindowID, Rect>& m)
{
    std::set<WindowID> out;
    for (const auto& [id, r] : m)
        out.insert(id);
    return out;
}

class ActionsTest : public DesktopTest {
protected:
    // A 1920 × 1080 display to the right of the built-in one, no menu bar.
    std::uint32_t addSide()
    {
        return sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0});
    }
    Screen screenNamed(const std::string& name)
    {
        for (const auto& s : sim.displays().screens())
            if (s.name == name)
                return s;
        ADD_FAILURE() << "no display " << name;
        return {};
    }
    int writes(WindowID id) const { return sim.counters(id).writes; }
};

} // namespace

// ---------------------------------------------------------------- areas

TEST_F(ActionsTest, AreaIsTheVisibleFrameLessReservedEdgesInsetByTheGap)
{
    prefs.setReservedEdges({{"left", 40}, {"top", 0}, {"bottom", 20}});
    prefs.setWindowGap(10);
    const Screen builtIn = sim.displays().screens().front();
    EXPECT_EQ(WindowActions::usable(desktop, builtIn), Rect(40, 25, 1400, 855));
    EXPECT_EQ(WindowActions::area(desktop, builtIn), Rect(50, 35, 1380, 835));

    // The second display is flipped against the first one's height.
    addSide();
    EXPECT_EQ(WindowActions::area(desktop, screenNamed("Side")), Rect(1490, -170, 1860, 1040));
}

TEST_F(ActionsTest, ADisplayWithoutRoomHasNoArea)
{
    const Screen builtIn = sim.displays().screens().front();
    prefs.setWindowGap(0);
    prefs.setReservedEdges({{"left", 1000}, {"right", 600}});
    EXPECT_EQ(WindowActions::usable(desktop, builtIn), std::nullopt);
    EXPECT_EQ(WindowActions::area(desktop, builtIn), std::nullopt);
    prefs.setReservedEdges({{"left", 1000}, {"right", 440}});   // exactly nothing left
    EXPECT_EQ(WindowActions::area(desktop, builtIn), std::nullopt);
    // A gap larger than half the height leaves no area, though snapping,
    // which ignores the gap, still has room.
    prefs.setReservedEdges({});
    prefs.setWindowGap(438);
    EXPECT_EQ(WindowActions::usable(desktop, builtIn), Rect(0, 25, 1440, 875));
    EXPECT_EQ(WindowActions::area(desktop, builtIn), std::nullopt);
    prefs.setWindowGap(437);
    EXPECT_EQ(WindowActions::area(desktop, builtIn), Rect(437, 462, 566, 1));
}

TEST_F(ActionsTest, ScreenForARectangleIsTheLargestOverlapEarlierOnTies)
{
    addSide();
    const auto name = [&](Rect r) { return WindowActions::screen(desktop, r).value_or(Screen{.name = "-"}).name; };
    EXPECT_EQ(name({1340, 100, 200, 100}), "Built-in Display");   // 100 × 100 on each
    EXPECT_EQ(name({1339, 100, 200, 100}), "Built-in Display");
    EXPECT_EQ(name({1341, 100, 200, 100}), "Side");
    EXPECT_EQ(name({5000, 5000, 10, 10}), "Built-in Display");
    EXPECT_EQ(name({1500, -150, 10, 10}), "Side");
    sim.removeDisplay(1);
    sim.removeDisplay(screenNamed("Side").id);
    EXPECT_EQ(WindowActions::screen(desktop, {0, 0, 10, 10}), std::nullopt);
    EXPECT_EQ(WindowActions::primaryHeight(desktop), 0);
}

// ---------------------------------------------------------------- snap and fill

TEST_F(ActionsTest, SnappingUsesTheUsableAreaWithoutTheGap)
{
    prefs.setReservedEdges({{"left", 40}, {"bottom", 20}});
    prefs.setWindowGap(10);
    const auto a = app("com.example.a", "A");
    const WindowID w = window(a, "w", {300, 200, 500, 400});
    // Nothing is frontmost yet.
    WindowActions::snapFocused(desktop, Snap::left);
    EXPECT_EQ(writes(w), 0);
    sim.focusWindow(w);
    WindowActions::snapFocused(desktop, Snap::left);
    EXPECT_EQ(frameOf(w), Rect(40, 25, 700, 855));
    WindowActions::snapFocused(desktop, Snap::maximize);
    EXPECT_EQ(frameOf(w), Rect(40, 25, 1400, 855));
}

TEST_F(ActionsTest, FillTheScreenRemembersWhereTheWindowReallyWent)
{
    prefs.setWindowGap(10);
    const auto a = app("com.example.a", "A");
    const WindowID w = window(a, "w", {300, 200, 500, 400}, [](SimWindow& x) { x.maxSize = Size(1000, 700); });
    EXPECT_EQ(WindowActions::focusWindow(desktop), std::nullopt);   // nothing frontmost
    sim.focusWindow(w);
    const auto memory = WindowActions::focusWindow(desktop);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->before, (std::map<WindowID, Rect>{{w, Rect(300, 200, 500, 400)}}));
    EXPECT_EQ(memory->after, (std::map<WindowID, Rect>{{w, Rect(10, 35, 1000, 700)}}));
    EXPECT_EQ(frameOf(w), Rect(10, 35, 1000, 700));

    // A window without a number cannot be remembered, so it is not moved.
    const WindowID unnumbered = window(a, "u", {300, 200, 500, 400}, [](SimWindow& x) { x.numberReadable = false; });
    sim.focusWindow(unnumbered);
    sim.resetCounters();
    EXPECT_EQ(WindowActions::focusWindow(desktop), std::nullopt);
    EXPECT_EQ(writes(unnumbered), 0);
}

TEST_F(ActionsTest, SnapFillAndTidyLeaveADisplayWithoutRoomAlone)
{
    addSide();
    const auto a = app("com.example.a", "A");
    const WindowID onBuiltIn = window(a, "here", {100, 100, 500, 400});
    const WindowID onSide = window(a, "there", {1600, 0, 500, 400});
    prefs.setReservedEdges({{"top", 500}, {"bottom", 500}});   // taller than the built-in display
    sim.focusWindow(onBuiltIn);
    sim.resetCounters();

    WindowActions::snapFocused(desktop, Snap::left);
    EXPECT_EQ(WindowActions::focusWindow(desktop), std::nullopt);
    EXPECT_EQ(writes(onBuiltIn), 0);

    // The side display is tall enough and is tidied; the built-in one is not,
    // and its window is not part of the record.
    const auto memory = WindowActions::tidy(desktop, TidyLayout::grid, std::nullopt);
    ASSERT_TRUE(memory);
    EXPECT_EQ(keys(memory->before), std::set<WindowID>{onSide});
    EXPECT_EQ(writes(onBuiltIn), 0);
    EXPECT_EQ(frameOf(onSide), *WindowActions::area(desktop, screenNamed("Side")));

    // With every display out of room there is nothing to tidy.
    prefs.setWindowGap(600);
    sim.resetCounters();
    EXPECT_EQ(WindowActions::tidy(desktop, TidyLayout::columns, std::nullopt), std::nullopt);
    EXPECT_EQ(writes(onSide), 0);
}

// ---------------------------------------------------------------- tidy

TEST_F(ActionsTest, TidyEveryLayoutThenUndo)
{
    addSide();
    prefs.setWindowGap(8);
    const std::uint64_t otherDesktop = sim.addDesktop(1);
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B");
    const auto h = app("com.example.h", "Hidden", true);
    const WindowID a1 = window(a, "a1", {100, 100, 500, 400});
    const WindowID a2 = window(a, "a2", {200, 150, 600, 300});
    const WindowID b1 = window(b, "b1", {300, 200, 400, 400});
    const WindowID s1 = window(b, "s1", {1600, 0, 700, 500});
    const std::vector<WindowID> untouchable{
        window(a, "min", {10, 40, 300, 300}, [](SimWindow& w) { w.minimized = true; }),
        window(a, "full", {0, 0, 1440, 900}, [](SimWindow& w) { w.fullScreen = true; }),
        window(a, "dialog", {10, 40, 300, 300}, [](SimWindow& w) { w.subrole = dialogSubrole; }),
        window(b, "away", {10, 40, 300, 300}, [&](SimWindow& w) { w.desktop = otherDesktop; }),
        window(h, "hidden", {10, 40, 300, 300}),
    };
    const std::map<WindowID, Rect> original{{a1, frameOf(a1)}, {a2, frameOf(a2)}, {b1, frameOf(b1)}, {s1, frameOf(s1)}};
    const Rect builtInArea = *WindowActions::area(desktop, screenNamed("Built-in Display"));

    for (TidyLayout layout : allTidyLayouts) {
        SCOPED_TRACE(std::string(rawValue(layout)));
        sim.resetCounters();
        const auto memory = WindowActions::tidy(desktop, layout, std::nullopt);
        ASSERT_TRUE(memory);
        EXPECT_EQ(memory->before, original);
        // Front-most first: b1 was opened last on the built-in display.
        const std::vector<Rect> expected = layout == TidyLayout::custom
                                               ? prefs.plan("Built-in Display").frames(3, builtInArea, 8)
                                               : Tidy::frames(layout, 3, builtInArea, 8, prefs.mainShare());
        ASSERT_EQ(expected.size(), 3u);
        EXPECT_EQ(frameOf(b1), expected[0]);
        EXPECT_EQ(frameOf(a2), expected[1]);
        EXPECT_EQ(frameOf(a1), expected[2]);
        for (const auto& [id, frame] : memory->after)
            EXPECT_EQ(frameOf(id), frame) << id;
        for (WindowID id : untouchable)
            EXPECT_EQ(writes(id), 0) << id;

        const auto current = WindowActions::frames(desktop, {a1, a2, b1, s1});
        EXPECT_TRUE(memory->isUntouched(current, 4.0));

        WindowActions::undoTidy(desktop, *memory);
        for (const auto& [id, frame] : original)
            EXPECT_EQ(frameOf(id), frame) << id;
        EXPECT_FALSE(memory->isUntouched(WindowActions::frames(desktop, {a1, a2, b1, s1}), 4.0));
    }
}

TEST_F(ActionsTest, TidyOfOneApplicationMovesOnlyItsWindows)
{
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B");
    const WindowID a1 = window(a, "a1", {100, 100, 500, 400});
    const WindowID b1 = window(b, "b1", {300, 200, 400, 400});
    const auto memory = WindowActions::tidy(desktop, TidyLayout::columns, std::string("com.example.a"));
    ASSERT_TRUE(memory);
    EXPECT_EQ(keys(memory->before), std::set<WindowID>{a1});
    EXPECT_EQ(writes(b1), 0);
    EXPECT_EQ(WindowActions::tidy(desktop, TidyLayout::grid, std::string("com.example.none")), std::nullopt);
    // Without trust there are no elements, so nothing to tidy.
    sim.setTrusted(false);
    EXPECT_EQ(WindowActions::tidy(desktop, TidyLayout::grid, std::nullopt), std::nullopt);
}

TEST_F(ActionsTest, ACustomPlanWithFewerCellsMovesAsManyWindowsAsItHasCells)
{
    prefs.setGridPlans({{"Built-in Display", GridPlan::even(2, 1)}});
    const auto a = app("com.example.a", "A");
    const WindowID w1 = window(a, "1", {100, 100, 500, 400});
    const WindowID w2 = window(a, "2", {110, 110, 500, 400});
    const WindowID w3 = window(a, "3", {120, 120, 500, 400});
    const auto memory = WindowActions::tidy(desktop, TidyLayout::custom, std::nullopt);
    ASSERT_TRUE(memory);
    EXPECT_EQ(keys(memory->before), (std::set<WindowID>{w1, w2, w3}));
    EXPECT_EQ(keys(memory->after), (std::set<WindowID>{w2, w3}));
    EXPECT_EQ(writes(w1), 0);
    EXPECT_EQ(frameOf(w1), Rect(100, 100, 500, 400));
}

TEST_F(ActionsTest, UndoRecordsOfUnnumberedWindowsNeverMoveAnotherWindow)
{
    const auto a = app("com.example.a", "A");
    const WindowID u = window(a, "u", {100, 100, 500, 400}, [](SimWindow& w) { w.numberReadable = false; });
    auto memory = WindowActions::tidy(desktop, TidyLayout::grid, std::nullopt);
    ASSERT_TRUE(memory);
    EXPECT_EQ(keys(memory->before), std::set<WindowID>{syntheticWindowIDBase + 1});
    const Rect tidied = frameOf(u);
    // The window closes and another unnumbered one opens: the next read
    // gives it the same synthetic identity, but it is not the same window.
    sim.closeWindow(u);
    const WindowID other = window(a, "other", {300, 300, 200, 200}, [](SimWindow& w) { w.numberReadable = false; });
    sim.resetCounters();
    WindowActions::undoTidy(desktop, *memory);
    EXPECT_EQ(writes(other), 0);
    EXPECT_TRUE(WindowActions::frames(desktop, {syntheticWindowIDBase + 1}).empty());
    (void)tidied;
}

RC_GTEST_PROP(TidyProperty, MovesOnlyEligibleWindowsInsideTheAreaAndUndoPutsThemBack, ())
{
    SimWorld world;
    auto& sim = world.sim;
    const auto layout = *rc::gen::elementOf(std::vector<TidyLayout>(allTidyLayouts.begin(), allTidyLayouts.end()));
    world.prefs.setWindowGap(*rc::gen::inRange(0, 40));
    world.prefs.setMainShare(*rc::gen::element(0.0, 0.3, 0.6, 0.9));
    sim.addDisplay(SimDisplay{.name = "Side", .frame = {1440, 0, 1920, 1080}, .menuBar = 0});
    const std::uint64_t otherDesktop = sim.addDesktop(1);
    const auto a = sim.addApp(SimApp{.bundleID = "com.example.a", .name = "A"});
    const auto hidden = sim.addApp(SimApp{.bundleID = "com.example.h", .name = "H", .hidden = true});

    enum Kind { plain, minimized, fullScreen, dialog, away, ofHiddenApp };
    const int count = *rc::gen::inRange(0, 12);
    std::map<WindowID, Rect> eligible;
    std::map<WindowID, Rect> others;
    for (int i = 0; i < count; ++i) {
        const Kind kind = Kind(*rc::gen::weightedElement<int>({{6, plain}, {1, minimized}, {1, fullScreen},
                                                               {1, dialog}, {1, away}, {1, ofHiddenApp}}));
        const bool side = *rc::gen::arbitrary<bool>();
        // Well inside one display, so nothing straddles.
        const Rect frame = side ? Rect(1500 + *rc::gen::inRange(0, 900), -150 + *rc::gen::inRange(0, 400),
                                       *rc::gen::inRange(200, 800), *rc::gen::inRange(150, 600))
                                : Rect(20 + *rc::gen::inRange(0, 700), 40 + *rc::gen::inRange(0, 300),
                                       *rc::gen::inRange(200, 700), *rc::gen::inRange(150, 500));
        SimWindow w{.pid = kind == ofHiddenApp ? hidden : a, .title = std::to_string(i), .frame = frame};
        w.minimized = kind == minimized;
        w.fullScreen = kind == fullScreen;
        if (kind == dialog)
            w.subrole = dialogSubrole;
        if (kind == away && !side)
            w.desktop = otherDesktop;
        const WindowID id = sim.addWindow(w);
        (kind == plain || (kind == away && side) ? eligible : others)[id] = frame;
    }

    const auto memory = WindowActions::tidy(world.desktop, layout, std::nullopt);
    if (eligible.empty()) {
        RC_ASSERT(!memory);
        return;
    }
    RC_ASSERT(memory);
    RC_ASSERT(memory->before == eligible);
    for (const auto& [id, frame] : others)
        RC_ASSERT(sim.window(id)->frame == frame);
    std::vector<WindowID> ids;
    for (const auto& [id, frame] : eligible) {
        ids.push_back(id);
        const Rect now = sim.window(id)->frame;
        if (memory->after.count(id)) {
            RC_ASSERT(memory->after.at(id) == now);
            const Rect area = *WindowActions::area(world.desktop, *WindowActions::screen(world.desktop, frame));
            RC_ASSERT(area.insetBy(-0.001, -0.001).contains(now));
        } else {
            RC_ASSERT(layout == TidyLayout::custom);
            RC_ASSERT(now == frame);
        }
    }
    RC_ASSERT(memory->isUntouched(WindowActions::frames(world.desktop, ids), 4.0));
    WindowActions::undoTidy(world.desktop, *memory);
    for (const auto& [id, frame] : eligible)
        RC_ASSERT(sim.window(id)->frame == frame);
}

// ---------------------------------------------------------------- workflows

TEST_F(ActionsTest, CaptureKeepsVisibleWindowsOfNamedApplicationsFrontMostFirst)
{
    const auto mail = app("com.example.mail", "Mail");
    const auto anon = sim.addApp(SimApp{.name = "Anon"});
    window(mail, "Inbox", {100, 100, 800, 600});
    window(mail, "Old", {100, 100, 800, 600}, [](SimWindow& w) { w.minimized = true; });
    window(anon, "Nameless", {0, 30, 400, 300});
    window(mail, "Draft", {200, 150, 500, 400});
    scheduler.advance(42);
    const Workspace w = WindowActions::capture(desktop, "Work", "fingerprint");
    EXPECT_EQ(w.name, "Work");
    EXPECT_EQ(w.displays, "fingerprint");
    EXPECT_EQ(w.savedAt, scheduler.now());
    EXPECT_THAT(w.windows, ElementsAre(SavedWindow{"com.example.mail", "Draft", {200, 150, 500, 400}},
                                       SavedWindow{"com.example.mail", "Inbox", {100, 100, 800, 600}}));
    EXPECT_TRUE(w.tabs.empty());
    EXPECT_EQ(w.slot, std::nullopt);
    EXPECT_FALSE(w.hidesOtherApps);
    EXPECT_EQ(w.tidy, std::nullopt);
    EXPECT_FALSE(w.opensOnSetup);
}

TEST_F(ActionsTest, RestorePlacesWindowsThatChangedIdentity)
{
    const auto mail = app("com.example.mail", "Mail");
    const auto editor = app("com.example.editor", "Editor");
    const WindowID inbox = window(mail, "Inbox", {100, 100, 800, 600});
    window(editor, "notes.txt", {300, 100, 600, 500});
    window(editor, "todo.txt", {400, 200, 600, 500});
    const Workspace saved = WindowActions::capture(desktop, "Work", "fp");
    ASSERT_EQ(saved.windows.size(), 3u);

    // Everything closes and reopens elsewhere with new numbers; one editor
    // document is renamed, so it is placed by application alone.
    for (WindowID id : {inbox, inbox + 1, inbox + 2})
        sim.closeWindow(id);
    const WindowID inbox2 = window(mail, "Inbox", {0, 30, 300, 300});
    const WindowID renamed = window(editor, "ideas.txt", {10, 40, 300, 300});
    const WindowID todo2 = window(editor, "todo.txt", {20, 50, 300, 300});
    EXPECT_EQ(WindowActions::restore(desktop, saved), 3);
    EXPECT_EQ(frameOf(inbox2), Rect(100, 100, 800, 600));
    EXPECT_EQ(frameOf(todo2), Rect(400, 200, 600, 500));
    EXPECT_EQ(frameOf(renamed), Rect(300, 100, 600, 500));

    // A workflow whose windows are all gone places nothing.
    for (WindowID id : {inbox2, renamed, todo2})
        sim.closeWindow(id);
    EXPECT_EQ(WindowActions::restore(desktop, saved), 0);
}

TEST_F(ActionsTest, RestoreNeverTargetsABrowserWindowWithoutAPage)
{
    const auto chrome = app("com.google.Chrome", "Chrome");
    const auto safari = app("com.apple.Safari", "Safari");
    Workspace saved{.name = "Web",
                    .windows = {{"com.google.Chrome", "Start", {0, 30, 700, 500}},
                                {"com.apple.Safari", "Start", {700, 30, 700, 500}}}};
    const WindowID blank = window(chrome, "Start", {5, 5, 300, 300}, [](SimWindow& w) { w.document = ""; });
    const WindowID safariBlank = window(safari, "Start", {5, 5, 300, 300}, [](SimWindow& w) { w.document = ""; });
    EXPECT_EQ(WindowActions::restore(desktop, saved), 1);
    EXPECT_EQ(frameOf(blank), Rect(5, 5, 300, 300));
    EXPECT_EQ(frameOf(safariBlank), Rect(700, 30, 700, 500));

    // A page, or no document attribute at all, makes it a target again.
    const WindowID page = window(chrome, "Other", {5, 5, 300, 300}, [](SimWindow& w) { w.document = "https://a.example"; });
    EXPECT_EQ(WindowActions::restore(desktop, saved), 2);
    EXPECT_EQ(frameOf(page), Rect(0, 30, 700, 500));
    sim.modifyWindow(blank, [](SimWindow& w) { w.document.reset(); });
    sim.closeWindow(page);
    EXPECT_EQ(WindowActions::restore(desktop, saved), 2);
    EXPECT_EQ(frameOf(blank), Rect(0, 30, 700, 500));
}

// ---------------------------------------------------------------- raise

TEST_F(ActionsTest, RaisingAWindowWithItsElementUnminimizesItAndActivatesItsApp)
{
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B", true);
    const WindowID w = window(a, "w", {100, 100, 500, 400}, [](SimWindow& x) { x.minimized = true; });
    const WindowID hiddenOne = window(b, "h", {100, 100, 500, 400});
    window(a, "front", {100, 100, 500, 400});

    Snapshot s = WindowCatalog::read(desktop);
    const auto entry = [&](WindowID id) {
        return *std::find_if(s.windows.begin(), s.windows.end(), [&](const WindowEntry& e) { return e.id == id; });
    };
    Handle retry = WindowActions::raise(desktop, entry(w), s.element(w));
    EXPECT_FALSE(retry.pending());
    EXPECT_FALSE(sim.window(w)->minimized);
    EXPECT_EQ(sim.counters(w).raises, 1);
    EXPECT_EQ(sim.frontmost(), a);
    EXPECT_EQ(sim.stacking().front(), w);

    Handle retry2 = WindowActions::raise(desktop, entry(hiddenOne), s.element(hiddenOne));
    EXPECT_FALSE(sim.app(b)->hidden);
    EXPECT_EQ(sim.frontmost(), b);
    EXPECT_EQ(sim.counters(hiddenOne).raises, 1);

    // An application that quit: nothing happens.
    const WindowEntry gone = entry(w);
    sim.removeApp(a);
    Handle retry3 = WindowActions::raise(desktop, gone, nullptr);
    EXPECT_FALSE(retry3.pending());
    EXPECT_EQ(sim.frontmost(), b);
}

TEST_F(ActionsTest, RaisingAWindowOfAnotherDesktopTriesAgainWithANewCatalog)
{
    const std::uint64_t second = sim.addDesktop(1);
    const auto a = app("com.example.a", "A");
    const auto b = app("com.example.b", "B");
    const WindowID away = window(a, "away", {100, 100, 500, 400}, [&](SimWindow& w) { w.desktop = second; });
    window(a, "here", {100, 100, 500, 400});
    const WindowID other = window(b, "other", {100, 100, 500, 400});
    sim.focusWindow(other);

    const Snapshot s = WindowCatalog::read(desktop);
    const auto entry = *std::find_if(s.windows.begin(), s.windows.end(), [&](const WindowEntry& e) { return e.id == away; });
    ASSERT_EQ(entry.state, WindowState::otherSpace);
    ASSERT_EQ(s.element(away), nullptr);

    {
        // Still on the other desktop 0.35 s later: activated, never raised.
        Handle retry = WindowActions::raise(desktop, entry, nullptr);
        EXPECT_EQ(sim.frontmost(), a);
        EXPECT_TRUE(retry.pending());
        scheduler.advance(1);
        EXPECT_EQ(sim.counters(away).raises, 0);
    }
    {
        // The desktop came round in time: raised, not un-minimized.
        sim.focusWindow(other);
        Handle retry = WindowActions::raise(desktop, entry, nullptr);
        scheduler.advance(0.34);
        sim.switchDesktop(1, second);
        EXPECT_EQ(sim.counters(away).raises, 0);
        scheduler.advance(0.01);
        EXPECT_EQ(sim.counters(away).raises, 1);
        EXPECT_EQ(sim.counters(away).minimizedWrites, 0);
    }
    {
        // Dropping the answer cancels the second step.
        Handle retry = WindowActions::raise(desktop, entry, nullptr);
        retry.cancel();
        scheduler.advance(1);
        EXPECT_EQ(sim.counters(away).raises, 1);
    }
    // A synthetic identity means nothing to a later read: no second step.
    WindowEntry synthetic = entry;
    synthetic.id = syntheticWindowIDBase + 1;
    Handle none = WindowActions::raise(desktop, synthetic, nullptr);
    EXPECT_FALSE(none.pending());
}

TEST_F(ActionsTest, FramesOfWindowsListsThoseWithAnElementAndAFrame)
{
    const std::uint64_t second = sim.addDesktop(1);
    const auto a = app("com.example.a", "A");
    const WindowID here = window(a, "here", {100, 100, 500, 400});
    const WindowID away = window(a, "away", {100, 100, 500, 400}, [&](SimWindow& w) { w.desktop = second; });
    const WindowID closed = window(a, "closed", {100, 100, 500, 400});
    sim.closeWindow(closed);
    EXPECT_EQ(WindowActions::frames(desktop, {here, away, closed, 999}),
              (std::map<WindowID, Rect>{{here, Rect(100, 100, 500, 400)}}));
}
