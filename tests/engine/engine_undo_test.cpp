// The undo history of arrangements on the simulated desktop: what is
// recorded, how far back it goes, what undo brings back, and long random
// runs of arranging and undoing.

#include "engine/engine_fixture.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

namespace kavelo::testing {
namespace {

using EngineUndo = EngineTest;

const std::pair<std::string, std::string> undone{"Arrangement undone", "arrow.uturn.backward"};
const std::pair<std::string, std::string> nothing{"Nothing to undo", "arrow.uturn.backward"};

// A grid of two columns, the first cell twice as wide.
GridPlan twoColumns()
{
    return GridPlan(2, 1, {GridCell{.column = 0, .row = 0}, GridCell{.column = 1, .row = 0}}, std::vector<double>{2, 1});
}

TEST_F(EngineUndo, KeepsTheLastThirtyArrangementsAndGoesBackTwentyNineTimes)
{
    open(app("com.example.Notes", "Notes"), "A");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    ASSERT_EQ(engine->history().size(), 1u);

    // 31 arrangements in all: the first one, then 30 widths.
    std::vector<double> widths{engine->strips().at(key).columns[0].width};
    for (int i = 1; i <= 30; ++i) {
        widths.push_back(0.2 + 0.025 * i);
        EngineProbe::strips(*engine)[key].columns[0].width = widths.back();
        EngineProbe::applyStrips(*engine);
    }
    EXPECT_EQ(engine->history().size(), ArrangeEngine::historyLength);
    EXPECT_EQ(engine->history().front().strips.at(key).columns[0].width, widths[1]);

    // Each undo brings back the one before, records nothing, and leaves the
    // next passes recording nothing either.
    for (std::size_t n = 1; n <= 29; ++n) {
        engine->undo();
        ASSERT_EQ(toast.shown.back(), undone);
        EXPECT_EQ(engine->strips().at(key).columns[0].width, widths[30 - n]);
        engine->lastSignature.clear();
        ASSERT_TRUE(settle());
        EXPECT_EQ(engine->history().size(), 30 - n);
        EXPECT_EQ(frameOf(engine->strips().at(key).columns[0].ids[0]).width(),
                  engine->stripFrames().at(engine->strips().at(key).columns[0].ids[0]).width());
    }
    const auto before = engine->strips();
    engine->undo();
    EXPECT_EQ(toast.shown.back(), nothing);
    EXPECT_EQ(engine->strips(), before);
    EXPECT_EQ(engine->history().size(), 1u);
}

TEST_F(EngineUndo, AChangeOfScrollOrFocusAloneIsNotRecorded)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    open(notes, "B");
    open(notes, "C");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const std::size_t recorded = engine->history().size();

    sim.focusWindow(a);
    ASSERT_TRUE(settle());
    ASSERT_EQ(engine->strips().at(key).focused, a);
    EngineProbe::strips(*engine)[key].scroll += 120;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(settle());
    EXPECT_EQ(engine->history().size(), recorded);

    // A width is a change of the columns.
    EngineProbe::strips(*engine)[key].columns[0].width = 0.3;
    EngineProbe::applyStrips(*engine);
    EXPECT_EQ(engine->history().size(), recorded + 1);
}

TEST_F(EngineUndo, BringsBackLayoutsGridsAndOrdersInAutoMode)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    const WindowID c = open(notes, "C");
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const std::string name = sim.display(primary)->name;

    EngineProbe::autoOrder(*engine)[key] = {a, b, c};
    EngineProbe::autoOffset(*engine)[key] = 0;
    EngineProbe::noteState(*engine);

    prefs.setDisplayLayouts({{name, TidyLayout::custom}});
    prefs.setGridPlans({{name, twoColumns()}});
    // No pass in between: a pass notes its own state, which undo would
    // step back to instead.
    EngineProbe::autoOrder(*engine)[key] = {c, a, b};
    EngineProbe::autoOffset(*engine)[key] = 1;
    EngineProbe::noteState(*engine);
    const std::size_t recorded = engine->history().size();

    // Each setting is stored, and heard by the engine, before the orders
    // come back.
    std::vector<std::vector<WindowID>> heard;
    prefs.onArrangeChange = [&] {
        heard.push_back(engine->autoOrder().at(key));
        engine->settingsChanged();
    };
    engine->undo();
    EXPECT_EQ(heard, (std::vector<std::vector<WindowID>>{{c, a, b}, {c, a, b}}));
    EXPECT_EQ(toast.shown.back(), undone);
    EXPECT_TRUE(prefs.displayLayouts().empty());
    EXPECT_TRUE(prefs.gridPlans().empty());
    EXPECT_EQ(engine->autoOrder().at(key), (std::vector<WindowID>{a, b, c}));
    EXPECT_EQ(engine->autoOffset().at(key), 0);
    EXPECT_EQ(engine->history().size(), recorded - 1);
}

// Once the mode is off the windows are the user's: neither an undo nor a
// float asks for a pass that tiles or parks them.
TEST_F(EngineUndo, WithTheModeOffNothingIsLaidOutAgain)
{
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(open(notes, std::to_string(i), Rect(100 + 30 * i, 100, 500, 400)));
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    open(notes, "later");
    ASSERT_TRUE(settle());
    ASSERT_GE(engine->history().size(), 2u);

    prefs.setArrangeMode(ArrangeMode::off);
    ASSERT_TRUE(settle());
    for (WindowID id : ids)
        sim.modifyWindow(id, [](SimWindow& w) { w.frame = Rect(300, 200, 640, 480); });
    sim.resetCounters();
    engine->undo();
    EXPECT_EQ(toast.shown.back(), nothing);
    sim.focusWindow(ids[0]);
    engine->toggleFloat();
    ASSERT_TRUE(settle());
    for (WindowID id : std::vector<WindowID>(ids.begin() + 1, ids.end())) {
        EXPECT_EQ(frameOf(id), Rect(300, 200, 640, 480)) << "window " << id;
        EXPECT_EQ(sim.counters(id).writes, 0) << "window " << id;
    }
}

TEST_F(EngineUndo, BringsBackStripsWithTheDisplaysSettingsInStripMode)
{
    const auto notes = app("com.example.Notes", "Notes");
    const WindowID a = open(notes, "A");
    const WindowID b = open(notes, "B");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);
    const std::string name = sim.display(primary)->name;
    const auto columns = columnsOf(key);

    prefs.setDisplayLayouts({{name, TidyLayout::rows}});
    prefs.setGridPlans({{name, twoColumns()}});
    Strip& strip = EngineProbe::strips(*engine)[key];
    strip.columns = {Strip::Column{.ids = {a, b}, .width = 0.75, .tabbed = true, .active = b}};
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(settle());
    ASSERT_EQ(columnsOf(key).size(), 1u);

    engine->undo();
    EXPECT_EQ(columnsOf(key), columns);
    EXPECT_TRUE(prefs.displayLayouts().empty());
    EXPECT_TRUE(prefs.gridPlans().empty());
    ASSERT_TRUE(settle());
    for (WindowID id : {a, b})
        EXPECT_EQ(frameOf(id), engine->stripFrames().at(id));
    EXPECT_TRUE(panels.tabBars->current().empty());
}

// A snapshot taken while a strip was being panned comes back without the
// pan: the scroll settles, the animation ends, and passes run again.
TEST_F(EngineUndo, UndoingToASnapshotTakenMidPanLeavesNoStripPanning)
{
    const auto notes = app("com.example.Notes", "Notes");
    std::vector<WindowID> ids;
    for (const char* title : {"A", "B", "C", "D"})
        ids.push_back(open(notes, title));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    const std::string key = keyOf(primary);

    // Mid-pan, at the start of the strip, the first column narrowed.
    sim.focusWindow(ids[0]);
    ASSERT_TRUE(settle());
    Strip& strip = EngineProbe::strips(*engine)[key];
    strip.beginPan();
    strip.columns[0].width = 0.4;
    EngineProbe::applyStrips(*engine);

    // The pan ends; the focus goes to the far end, and a width changes.
    strip.isPanning = false;
    sim.focusWindow(ids[3]);
    ASSERT_TRUE(settle());
    EngineProbe::strips(*engine)[key].columns[3].width = 0.75;
    EngineProbe::applyStrips(*engine);
    ASSERT_TRUE(settle());
    ASSERT_GT(engine->strips().at(key).scroll, 0);

    engine->undo();
    for (const auto& entry : engine->history())
        for (const auto& [k, s] : entry.strips)
            EXPECT_FALSE(s.isPanning);
    EXPECT_FALSE(engine->strips().at(key).isPanning);
    EXPECT_EQ(engine->strips().at(key).columns[0].width, 0.4);
    ASSERT_TRUE(settle()) << "the scroll animation never ends";

    const WindowID late = open(notes, "E");
    ASSERT_TRUE(settle());
    EXPECT_TRUE(engine->stripFrames().count(late)) << "no pass ran after the undo";
}

// Random runs of arranging (windows opened and closed, widths changed, the
// display's layout set, the focus and scroll moved) and undoing, with the
// history's rules checked after every step.
RC_GTEST_FIXTURE_PROP(EngineUndo, RandomArrangingAndUndoingKeepTheHistorySound, ())
{
    const auto notes = app("com.example.Notes", "Notes");
    const auto mail = app("com.example.Mail", "Mail");
    open(notes, "first");
    start(ArrangeMode::strip);
    RC_ASSERT(settle());
    const std::string key = keyOf(primary);
    const std::string name = sim.display(primary)->name;
    const std::vector<TidyLayout> layouts{TidyLayout::grid, TidyLayout::columns, TidyLayout::rows, TidyLayout::focus};

    const auto steps = *rc::gen::container<std::vector<std::pair<int, int>>>(
        rc::gen::pair(rc::gen::inRange(0, 7), rc::gen::inRange(0, 1000)));
    for (const auto& [event, amount] : steps) {
        std::vector<WindowID> all;
        for (const auto& column : engine->strips().count(key) ? engine->strips().at(key).columns
                                                               : std::vector<Strip::Column>{})
            all.insert(all.end(), column.ids.begin(), column.ids.end());
        const std::size_t before = engine->history().size();
        switch (event) {
        case 0:
            open(amount % 2 ? notes : mail, "w" + std::to_string(amount));
            break;
        case 1:
            if (all.size() > 1)
                sim.closeWindow(all[std::size_t(amount) % all.size()]);
            break;
        case 2:
            if (!all.empty()) {
                auto& columns = EngineProbe::strips(*engine)[key].columns;
                columns[std::size_t(amount) % columns.size()].width = Strip::widths[std::size_t(amount) % 6];
                EngineProbe::applyStrips(*engine);
            }
            break;
        case 3:
            prefs.setDisplayLayouts({{name, layouts[std::size_t(amount) % layouts.size()]}});
            break;
        case 4:
            if (!all.empty())
                sim.focusWindow(all[std::size_t(amount) % all.size()]);
            break;
        case 5: {
            engine->undo();
            if (before < 2) {
                RC_ASSERT(toast.shown.back() == nothing);
                RC_ASSERT(engine->history().size() == before);
            } else {
                RC_ASSERT(toast.shown.back() == undone);
                RC_ASSERT(engine->history().size() == before - 1);
                RC_ASSERT(prefs.displayLayouts() == engine->history().back().layouts);
            }
            break;
        }
        default:
            // Mid-pan, something is arranged.
            if (!all.empty()) {
                Strip& strip = EngineProbe::strips(*engine)[key];
                strip.beginPan();
                strip.columns.front().width = Strip::widths[std::size_t(amount) % 6];
                EngineProbe::applyStrips(*engine);
                strip.isPanning = false;
            }
            break;
        }
        engine->lastSignature.clear();
        RC_ASSERT(settle());

        const auto& history = engine->history();
        RC_ASSERT(!history.empty());
        RC_ASSERT(history.size() <= ArrangeEngine::historyLength);
        for (std::size_t i = 1; i < history.size(); ++i)
            RC_ASSERT(!(history[i] == history[i - 1]));
        for (const auto& entry : history)
            for (const auto& [k, s] : entry.strips)
                RC_ASSERT(!s.isPanning);
        // After a pass, what is on screen is what the history ends with.
        RC_ASSERT(history.back() == EngineProbe::currentState(*engine));
        RC_ASSERT(!engine->isAnimating());
    }
}

} // namespace
} // namespace kavelo::testing
