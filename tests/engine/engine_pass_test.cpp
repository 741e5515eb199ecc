// The arrange pass on the simulated desktop: when a poll runs a pass,
// which windows are arranged under which key, windows replacing one
// another, and what the strip branch keeps and drops.

#include "engine/engine_fixture.h"

#include <algorithm>
#include <functional>

namespace kavelo::testing {
namespace {

using EnginePass = EngineTest;


bool inAnyStrip(const ArrangeEngine& engine, WindowID id)
{
    for (const auto& [key, strip] : engine.strips())
        for (const auto& column : strip.columns)
            if (std::find(column.ids.begin(), column.ids.end(), id) != column.ids.end())
                return true;
    return false;
}

TEST_F(EnginePass, AnUnchangedWindowSetReadsAndWritesNothing)
{
    for (auto mode : {ArrangeMode::strip, ArrangeMode::auto_}) {
        SCOPED_TRACE(std::string(rawValue(mode)));
        const auto notes = app("com.example.Notes", "Notes");
        for (int i = 0; i < 3; ++i)
            open(notes, std::to_string(i));
        start(mode);
        ASSERT_TRUE(settle());
        // Past the size check that follows an auto application.
        scheduler.advance(1.0);
        sim.resetCounters();
        const std::string signature = engine->lastSignature;
        poll(10);
        EXPECT_EQ(total(), SimCounters());
        EXPECT_EQ(engine->lastSignature, signature);
        sim.removeApp(notes);
    }
}

TEST_F(EnginePass, RaisingAWindowRunsAPassOnlyInStripMode)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID back = open(notes, "Back");
    const WindowID front = open(mail, "Front");

    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    scheduler.advance(1.0);
    sim.resetCounters();
    sim.focusWindow(back);
    poll();
    EXPECT_EQ(total().reads, 0) << "auto mode without waiting windows ignores the stacking";

    prefs.setArrangeMode(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    ASSERT_EQ(engine->strips().at(keyOf(primary)).focused, back);
    sim.resetCounters();
    sim.focusWindow(front);
    poll();
    EXPECT_GT(total().reads, 0);
    EXPECT_EQ(engine->strips().at(keyOf(primary)).focused, front);
}

TEST_F(EnginePass, SignatureListsTheOnScreenWindows)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    start(ArrangeMode::auto_);
    const auto sorted = "[" + std::to_string(std::min(a, b)) + ", " + std::to_string(std::max(a, b)) + "]";
    EXPECT_EQ(engine->signature(), sorted);

    // Waiting windows make the stacking count in auto mode too.
    EngineProbe::autoWaiting(*engine)[keyOf(primary)] = ArrangeEngine::Waiting{.right = {a}};
    const auto front = sim.frontmost().value_or(0);
    EXPECT_EQ(engine->signature(),
              std::to_string(front) + ":[" + std::to_string(b) + ", " + std::to_string(a) + "]");
    EngineProbe::autoWaiting(*engine).clear();

    engine->testMode = ArrangeMode::strip;
    EXPECT_EQ(engine->signature(),
              std::to_string(front) + ":[" + std::to_string(b) + ", " + std::to_string(a) + "]");
}

// Each condition that holds the poll back: the window opened meanwhile is
// arranged at the first poll after it ends, and not before.
TEST_F(EnginePass, EveryGateHoldsThePollUntilItEnds)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "First");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());

    struct Gate {
        const char* name;
        std::function<void()> close;
        std::function<void()> open;
    };
    const std::vector<Gate> gates{
        {"mode off", [&] { engine->testMode = ArrangeMode::off; }, [&] { engine->testMode.reset(); }},
        {"user's pause", [&] { engine->isPaused = true; }, [&] { engine->isPaused = false; }},
        {"pause deadline", [&] { engine->pause(PauseReason::fillScreen, 86400); },
         [&] { engine->pause(PauseReason::fillScreen, 0); }},
        {"no trust", [&] { sim.setTrusted(false); }, [&] { sim.setTrusted(true); }},
    };
    for (const auto& gate : gates) {
        SCOPED_TRACE(gate.name);
        gate.close();
        const std::string signature = engine->lastSignature;
        const WindowID w = open(notes, gate.name);
        poll(3);
        EXPECT_FALSE(inAnyStrip(*engine, w));
        gate.open();
        if (std::string(gate.name) != "pause deadline") {
            EXPECT_EQ(engine->lastSignature, signature) << "the held poll keeps the last signature";
        }
        poll();
        EXPECT_TRUE(inAnyStrip(*engine, w));
        ASSERT_TRUE(settle());
    }

    // While a scroll animates, no pass runs.
    const std::string key = keyOf(primary);
    EngineProbe::shown(*engine)[key] = engine->strips().at(key).scroll + 300;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(engine->isAnimating());
    const WindowID late = open(notes, "During the animation");
    scheduler.advance(0.1);
    EXPECT_FALSE(inAnyStrip(*engine, late));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(inAnyStrip(*engine, late));
}

TEST_F(EnginePass, StageManagerIsToldOnceAndMovesNothing)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "One", Rect(50, 60, 300, 200));
    sim.setPreference("com.apple.WindowManager", "GloballyEnabled", true);
    start(ArrangeMode::strip);
    poll();
    ASSERT_EQ(toast.shown.size(), 1u);
    EXPECT_EQ(toast.shown[0], std::pair(std::string("Kavelo pauses while Stage Manager is on"),
                                        std::string("pause.circle.fill")));
    open(notes, "Two");
    poll(3);
    EXPECT_EQ(toast.shown.size(), 1u);
    EXPECT_EQ(frameOf(w), Rect(50, 60, 300, 200));
    EXPECT_TRUE(engine->strips().empty());

    // Turned off: the next change of the window list arranges again.
    sim.setPreference("com.apple.WindowManager", "GloballyEnabled", false);
    poll();
    EXPECT_EQ(frameOf(w), Rect(50, 60, 300, 200));
    open(notes, "Three");
    poll();
    EXPECT_TRUE(inAnyStrip(*engine, w));
    EXPECT_FALSE(engine->toldStageManager());

    // On again later: told again.
    sim.setPreference("com.apple.WindowManager", "GloballyEnabled", true);
    open(notes, "Four");
    poll();
    EXPECT_EQ(toast.shown.size(), 2u);
}

TEST_F(EnginePass, OnlyStandardWindowsThatCanBeMovedAreCandidates)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto chrome = app("com.google.Chrome", "Chrome");
    const auto alone = app("com.example.Alone", "Alone");
    const auto hidden = app("com.example.Hidden", "Hidden", true);
    prefs.setLeftAlone({"com.example.Alone"});
    const auto otherDesktop = sim.addDesktop(primary);

    const WindowID plain = open(notes, "Plain");
    const WindowID pageless = window(chrome, "New Tab", Rect(0, 0, 400, 300), [](SimWindow& w) { w.document = ""; });
    const WindowID page = window(chrome, "Page", Rect(0, 0, 400, 300), [](SimWindow& w) { w.document = "https://a"; });
    const WindowID noDocument = open(chrome, "No document");
    std::vector<WindowID> skipped{
        pageless,
        open(alone, "Left alone"),
        open(hidden, "Hidden app"),
        window(notes, "Dialog", Rect(0, 0, 300, 200), [](SimWindow& w) { w.subrole = std::string(dialogSubrole); }),
        window(notes, "No subrole", Rect(0, 0, 300, 200), [](SimWindow& w) { w.subrole.reset(); }),
        window(notes, "Full screen", Rect(0, 0, 300, 200), [](SimWindow& w) { w.fullScreen = true; }),
        window(notes, "Fixed size", Rect(0, 0, 300, 200), [](SimWindow& w) { w.sizeSettable = false; }),
        window(notes, "Minimized", Rect(0, 0, 300, 200), [](SimWindow& w) { w.minimized = true; }),
        window(notes, "Elsewhere", Rect(0, 0, 300, 200), [&](SimWindow& w) { w.desktop = otherDesktop; }),
        window(notes, "Unnumbered", Rect(0, 0, 300, 200), [](SimWindow& w) { w.numberReadable = false; }),
    };
    const WindowID floated = open(notes, "Floated");
    start(ArrangeMode::strip);
    EngineProbe::floated(*engine).insert(floated);
    skipped.push_back(floated);
    ASSERT_TRUE(settle());

    for (WindowID id : {plain, page, noDocument})
        EXPECT_TRUE(inAnyStrip(*engine, id)) << sim.window(id)->title;
    for (WindowID id : skipped)
        EXPECT_FALSE(inAnyStrip(*engine, id)) << sim.window(id)->title;

    // One application only, when asked.
    engine->onlyApp = "com.google.Chrome";
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(inAnyStrip(*engine, plain));
    EXPECT_TRUE(inAnyStrip(*engine, page));
}

TEST_F(EnginePass, AWindowStaysWithTheDisplayItWasFirstArrangedOn)
{
    const auto studio = sim.addDisplay(SimDisplay{.name = "Studio Display", .frame = Rect(1440, 0, 1280, 800)});
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "Wanderer");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    ASSERT_EQ(columnsOf(keyOf(primary)).size(), 1u);

    // The user drags it onto the other display; the next pass takes it back.
    sim.modifyWindow(w, [](SimWindow& x) { x.frame = Rect(1700, 200, 500, 400); });
    open(notes, "Trigger");
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->homes().at(w), "Built-in Display");
    EXPECT_EQ(columnsOf(keyOf(primary)).size(), 2u);
    EXPECT_TRUE(columnsOf(keyOf(studio)).empty());
    EXPECT_LT(frameOf(w).minX(), 1440);

    // A display switched off still gives its windows a home.
    prefs.setDisplaysOff({"Studio Display"});
    const WindowID there = open(notes, "On the studio", Rect(1700, 200, 500, 400));
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->homes().at(there), "Studio Display");
    EXPECT_FALSE(inAnyStrip(*engine, there));
}

TEST_F(EnginePass, AWindowReplacingAnotherOfTheSameApplicationTakesItsPlace)
{
    const auto chrome = app("com.google.Chrome", "Chrome");
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID first = open(notes, "First");
    const WindowID tab = window(chrome, "Tab one", Rect(0, 0, 600, 333), [](SimWindow& w) { w.document = "https://a"; });
    const WindowID last = open(notes, "Last");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto before = columnsOf(key);
    const double height = engine->originalHeights().at(tab);

    // A tab switch: the browser closes one window and opens another.
    sim.closeWindow(tab);
    const WindowID next = window(chrome, "Tab two", Rect(0, 0, 900, 700), [](SimWindow& w) { w.document = "https://b"; });
    ASSERT_TRUE(settle());
    auto expected = before;
    for (auto& column : expected)
        std::replace(column.begin(), column.end(), tab, next);
    EXPECT_EQ(columnsOf(key), expected);
    EXPECT_EQ(engine->originalHeights().at(next), height);
    EXPECT_EQ(engine->homes().at(next), engine->homes().at(first));
    (void)last;
}

TEST_F(EnginePass, TheLastWindowClosingDropsTheStripButAnotherDesktopKeepsIts)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID w = open(notes, "Only");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string first = keyOf(primary);
    const auto firstDesktop = sim.display(primary)->currentDesktop;
    EngineProbe::memory(*engine)[first] = StripMemory();

    // Another desktop is shown: the strip left behind stays with its memory.
    const auto second = sim.addDesktop(primary);
    sim.switchDesktop(primary, second);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->strips().count(first), 1u);
    EXPECT_EQ(engine->memory().count(first), 1u);

    sim.switchDesktop(primary, firstDesktop);
    ASSERT_TRUE(settle());
    sim.closeWindow(w);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->strips().count(first), 0u);
    EXPECT_EQ(engine->memory().count(first), 0u);
}

TEST_F(EnginePass, AHiddenApplicationKeepsItsColumns)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    open(notes, "N1");
    open(notes, "N2");
    open(mail, "M1");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const auto columns = columnsOf(key);

    ASSERT_TRUE(sim.workspace().hide(notes));
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), columns);
    ASSERT_TRUE(sim.workspace().unhide(notes));
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), columns);
}

// With every window of a strip in a hidden application there are no
// candidates at all for its key; the strip must still survive the hiding.
TEST_F(EnginePass, AStripOfOnlyHiddenWindowsIsKeptWithItsMemory)
{
    const auto notes = app("com.example.Notes", "Notes");
    open(notes, "N1");
    open(notes, "N2");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    EngineProbe::memory(*engine)[key] = StripMemory();
    const auto columns = columnsOf(key);

    ASSERT_TRUE(sim.workspace().hide(notes));
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), columns);
    EXPECT_EQ(engine->memory().count(key), 1u);

    ASSERT_TRUE(sim.workspace().unhide(notes));
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), columns);

    // Quitting the application lets the strip go.
    sim.removeApp(notes);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->strips().count(key), 0u);
}

TEST_F(EnginePass, TheAutoBranchKeepsOrdersOfUnchangedWindowSets)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{b, a}));

    // Raising changes nothing; a newcomer goes to the end; a slot puts it first.
    const WindowID c = open(notes, "C");
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{b, a, c}));
    prefs.setStripSlots({{"com.example.Mail", 1}});
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID m = open(mail, "M");
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{m, b, a, c}));
    EXPECT_FALSE(engine->autoStale());

    // Windows that close leave the others in their order; a shown key
    // without candidates keeps no order to lay out again.
    sim.closeWindow(a);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{m, b, c}));
    for (WindowID id : {m, b, c})
        sim.closeWindow(id);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->autoOrder().count(key), 0u);
}

} // namespace
} // namespace kavelo::testing

// Regressions the random sequences found.
namespace kavelo::testing {
namespace {

TEST_F(EnginePass, AWindowClosedWhileItsApplicationIsHiddenLeavesItsStrip)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID n = open(notes, "N");
    const WindowID m = open(mail, "M");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);

    ASSERT_TRUE(sim.workspace().hide(mail));
    ASSERT_TRUE(settle());
    ASSERT_EQ(columnsOf(key).size(), 2u);
    sim.closeWindow(m);
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), (std::vector<std::vector<WindowID>>{{n}}));

    // The same when the hidden windows were all the strip had.
    const WindowID m2 = open(mail, "M2");
    sim.closeWindow(n);
    ASSERT_TRUE(sim.workspace().unhide(mail));
    ASSERT_TRUE(settle());
    const WindowID m3 = open(mail, "M3");
    ASSERT_TRUE(settle());
    ASSERT_TRUE(sim.workspace().hide(mail));
    ASSERT_TRUE(settle());
    sim.closeWindow(m2);
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(key), (std::vector<std::vector<WindowID>>{{m3}}));
}

TEST_F(EnginePass, AFloatedWindowOfAHiddenApplicationIsNotKept)
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID n = open(notes, "N");
    const WindowID m = open(mail, "M");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(sim.workspace().hide(mail));
    EngineProbe::floated(*engine).insert(m);
    engine->lastSignature.clear();
    ASSERT_TRUE(settle());
    EXPECT_EQ(columnsOf(keyOf(primary)), (std::vector<std::vector<WindowID>>{{n}}));
}

} // namespace
} // namespace kavelo::testing
