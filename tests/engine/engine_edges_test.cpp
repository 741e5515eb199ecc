// The edge zones the engine asks for where strip columns or auto windows
// wait past a screen edge, what a click on one does, and the titles and
// clicks of tab bars, on the simulated desktop with the real engine.

#include "engine/engine_fixture.h"

#include "core/screen_coordinates.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <sstream>

namespace kavelo::testing {
namespace {


} // namespace
} // namespace kavelo::testing

namespace kavelo {
// Failures name the zone instead of dumping its bytes.
[[maybe_unused]] static void PrintTo(const EdgeZones::Zone& zone, std::ostream* out)
{
    *out << zone.key << (zone.onLeft ? " left " : " right ") << zone.frame << " count " << zone.count;
}
} // namespace kavelo

namespace kavelo::testing {
namespace {

class EngineEdges : public EngineTest {
protected:
    // `n` windows of one application in strip mode, oldest first, each
    // opened while the last is focused; no animation, so a pass settles
    // at once.
    bool openStrip(int n)
    {
        sim.setReducedMotion(true);
        notes = app("com.example.Notes", "Notes");
        for (int i = 0; i < n; ++i)
            add();
        start(ArrangeMode::strip);
        key = keyOf(primary);
        return settle();
    }

    // One more window of the strip's application, focused.
    WindowID add()
    {
        ids.push_back(open(notes, "Note " + std::to_string(ids.size())));
        sim.focusWindow(ids.back());
        return ids.back();
    }

    bool focus(WindowID id)
    {
        sim.focusWindow(id);
        return settle();
    }

    std::vector<EdgeZones::Zone> zones() const { return panels.edgeZones->current(); }

    // The zone the engine would draw on the primary display's edge, over
    // its usable height.
    EdgeZones::Zone zoneOn(bool onLeft, int count) const
    {
        const Rect usable = ScreenCoordinates::flip(areaOf(primary), 900);
        return EdgeZones::Zone{.key = key,
                               .onLeft = onLeft,
                               .frame = Rect(onLeft ? 0 : 1440 - 3, usable.minY(), 3, usable.height()),
                               .count = count};
    }

    std::int32_t notes = 0;
    std::vector<WindowID> ids;
    std::string key;
};

// Columns are 705 points wide in a 1420-point area (two in view); the area
// is (10, 35, 1420, 855) top-left, (10, 10, 1420, 855) bottom-left.
TEST_F(EngineEdges, ZonesFollowTheColumnsWaitingPastEitherEdge)
{
    ASSERT_TRUE(openStrip(2));
    EXPECT_TRUE(zones().empty()) << "a strip that fits shows no zone";

    add();
    ASSERT_TRUE(settle());
    ASSERT_TRUE(focus(ids[0]));
    EXPECT_EQ(zones(), std::vector<EdgeZones::Zone>{zoneOn(false, 1)});
    EXPECT_EQ(zones()[0].frame, Rect(1437, 10, 3, 855));

    // Two more (they open beside the focused column), the last column
    // focused, then the middle one: waiting windows on both sides, the left
    // zone first.
    add();
    add();
    ASSERT_TRUE(settle());
    const auto columns = columnsOf(key);
    ASSERT_EQ(columns.size(), 5u);
    ASSERT_TRUE(focus(columns[4][0]));
    EXPECT_EQ(zones(), std::vector<EdgeZones::Zone>{zoneOn(true, 3)});
    ASSERT_TRUE(focus(columns[2][0]));
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(true, 2), zoneOn(false, 1)}));

    // A pass with nothing changed asks for the same list.
    const auto shows = panels.edgeZones->shows.size();
    EngineProbe::applyStrips(*engine);
    EngineProbe::applyStrips(*engine);
    ASSERT_EQ(panels.edgeZones->shows.size(), shows + 2);
    EXPECT_EQ(panels.edgeZones->shows[shows], panels.edgeZones->shows[shows + 1]);
    EXPECT_EQ(panels.edgeZones->shows[shows + 1], zones());
}

TEST_F(EngineEdges, OnlyTheDesktopsShownGetZonesAndASwitchRedrawsThem)
{
    ASSERT_TRUE(openStrip(3));
    ASSERT_EQ(zones().size(), 1u);
    // The desktop change alone redraws the zones: no pass needed.
    const auto second = sim.addDesktop(primary);
    sim.switchDesktop(primary, second);
    EXPECT_TRUE(zones().empty()) << "the strip of a desktop not shown has no zone";
    EXPECT_EQ(engine->strips().count(key), 1u);
    sim.switchDesktop(primary, 1);
    EXPECT_EQ(zones(), std::vector<EdgeZones::Zone>{zoneOn(true, 1)});

    // A second display with its own parked column: a zone on its own edge.
    const auto studio =
        sim.addDisplay(SimDisplay{.name = "Studio", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    const auto other = app("com.example.Mail", "Mail");
    for (int i = 0; i < 3; ++i)
        open(other, "Mail " + std::to_string(i), Rect(1500, 200, 500, 400));
    engine->displaysChanged();
    ASSERT_TRUE(settle());
    const auto all = zones();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].key, key);
    EXPECT_EQ(all[1].key, keyOf(studio));
    EXPECT_TRUE(all[1].onLeft);
    EXPECT_EQ(all[1].frame.minX(), 1440);
    EXPECT_EQ(all[1].frame.height(), areaOf(studio).height());
}

TEST_F(EngineEdges, ARightClickBringsInTheNearestParkedColumnOnly)
{
    ASSERT_TRUE(openStrip(5));
    ASSERT_TRUE(focus(ids[0]));
    ASSERT_EQ(zones(), std::vector<EdgeZones::Zone>{zoneOn(false, 3)});
    const auto mail = app("com.example.Mail", "Mail");
    const WindowID elsewhere = open(mail, "Elsewhere", Rect(100, 100, 300, 200));
    EngineProbe::floated(*engine).insert(elsewhere);
    sim.focusWindow(elsewhere);
    ASSERT_EQ(sim.frontmost(), mail);

    sim.resetCounters();
    panels.edgeZones->clicked(zones()[0]);
    const Strip& strip = engine->strips().at(key);
    EXPECT_EQ(strip.focused, ids[2]);
    EXPECT_EQ(sim.counters(ids[2]).raises, 1);
    EXPECT_EQ(sim.frontmost(), notes);
    // In view now, the two after it still parked, one left behind.
    const Rect area = areaOf(primary);
    EXPECT_GE(frameOf(ids[2]).minX(), area.minX());
    EXPECT_LE(frameOf(ids[2]).maxX(), area.maxX());
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(true, 1), zoneOn(false, 2)}));

    // A left click brings back the column nearest the left edge.
    panels.edgeZones->clicked(zones()[0]);
    EXPECT_EQ(engine->strips().at(key).focused, ids[0]);
    EXPECT_EQ(zones(), std::vector<EdgeZones::Zone>{zoneOn(false, 3)});
}

TEST_F(EngineEdges, AClickOnAZoneThatNoLongerHoldsAnythingDoesNothing)
{
    ASSERT_TRUE(openStrip(3));
    const EdgeZones::Zone left = zones().at(0);
    ASSERT_TRUE(left.onLeft);
    ASSERT_TRUE(focus(ids[0]));
    ASSERT_FALSE(zones().at(0).onLeft);

    // An old zone's click: nothing waits on the left any more.
    const Strip before = engine->strips().at(key);
    sim.resetCounters();
    panels.edgeZones->clicked(left);
    EXPECT_EQ(engine->strips().at(key), before);
    EXPECT_EQ(total().writes + total().raises, 0);

    // A key whose display is gone, and one no strip has.
    engine->edgeClicked("Gone|1", false);
    engine->edgeClicked(keyOf(primary) + "0", false);
    EXPECT_EQ(engine->strips().at(key), before);
    EXPECT_EQ(total().writes + total().raises, 0);

    // With arranging off a click does nothing either.
    engine->testMode = ArrangeMode::off;
    engine->edgeClicked(key, false);
    EXPECT_EQ(engine->strips().at(key), before);
    EXPECT_EQ(total().writes, 0);
}

TEST_F(EngineEdges, AutoModeZonesCountTheWaitingWindows)
{
    sim.setReducedMotion(true);
    start(ArrangeMode::auto_);
    key = keyOf(primary);
    EngineProbe::autoWaiting(*engine)[key] = ArrangeEngine::Waiting{.left = {7}, .right = {8, 9, 10}};
    EngineProbe::autoWaiting(*engine)["Gone|1"] = ArrangeEngine::Waiting{.left = {11}};
    EngineProbe::updateEdges(*engine);
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(true, 1), zoneOn(false, 3)}));

    // Arranging off: no zones, whatever waits.
    engine->testMode = ArrangeMode::off;
    EngineProbe::updateEdges(*engine);
    EXPECT_TRUE(zones().empty());

    // A display without a usable area has no edge to wait at.
    engine->testMode.reset();
    prefs.setReservedEdges({{"left", 5000}});
    EngineProbe::updateEdges(*engine);
    EXPECT_TRUE(zones().empty());
}

// Auto windows too wide to share the screen wait past its edges; a click
// on a zone slides the run that way, one window at a time.
TEST_F(EngineEdges, AutoModeZoneClicksSlideTowardsTheirSide)
{
    sim.setReducedMotion(true);
    const std::string wideApp = "com.example.Wide";
    prefs.setMinimumSizes({{wideApp, Size(800, 0)}});
    const auto pid = app(wideApp, "Wide");
    for (int i = 0; i < 3; ++i)
        window(pid, std::to_string(i), Rect(100, 100, 500, 400), [](SimWindow& w) { w.minSize = Size(800, 0); });
    start(ArrangeMode::auto_);
    ASSERT_TRUE(settle());
    key = keyOf(primary);
    const auto order = engine->autoOrder().at(key);
    ASSERT_EQ(order.size(), 3u);
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(false, 2)}));

    panels.edgeZones->clicked(zoneOn(false, 2));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{order[1]}));
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(true, 1), zoneOn(false, 1)}));
    EXPECT_EQ(sim.stacking().front(), order[1]);

    panels.edgeZones->clicked(zoneOn(true, 1));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{order[0]}));
    EXPECT_EQ(zones(), (std::vector<EdgeZones::Zone>{zoneOn(false, 2)}));
    EXPECT_EQ(areaOf(primary), frameOf(order[0]));

    // A stale left zone: nothing waits there any more.
    const auto writes = total().writes;
    panels.edgeZones->clicked(zoneOn(true, 1));
    EXPECT_EQ(engine->autoShown().at(key), (std::vector<WindowID>{order[0]}));
    EXPECT_EQ(total().writes, writes);
}

// Tabs are titled by the window's title, else by the last piece of its
// application's identifier.
TEST_F(EngineEdges, TabTitlesFallBackToTheApplicationsIdentifier)
{
    sim.setReducedMotion(true);
    const auto safari = app("com.apple.Safari", "Safari");
    const auto odd = app("org.example.", "Odd");
    const WindowID titled = open(safari, "Start Page");
    const WindowID untitled = open(safari, "");
    const WindowID dotted = open(odd, "");
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    key = keyOf(primary);
    Strip& strip = EngineProbe::strips(*engine)[key];
    strip.columns = {Strip::Column{.ids = {titled, untitled, dotted}, .width = 0.5, .tabbed = true, .active = titled}};
    strip.focused = titled;
    EngineProbe::applyStrips(*engine);

    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 1u);
    EXPECT_EQ(bars[0].titles, (std::map<WindowID, std::string>{
                                  {titled, "Start Page"}, {untitled, "Safari"}, {dotted, "example"}}));

    // A window that is gone keeps its application's name.
    sim.closeWindow(titled);
    EngineProbe::applyStrips(*engine);
    EXPECT_EQ(panels.tabBars->current().at(0).titles.at(titled), "Safari");
}

// A tab click selects the window in whichever strip holds it, shows the
// new bars and raises it; the other display's strip is left as it was.
TEST_F(EngineEdges, ATabClickSelectsInTheStripOfAnyDisplay)
{
    sim.setReducedMotion(true);
    const auto studio =
        sim.addDisplay(SimDisplay{.name = "Studio", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
    const auto writer = app("com.example.Writer", "Writer");
    const WindowID a = open(writer, "A");
    const WindowID b = open(writer, "B");
    const WindowID c = open(writer, "C", Rect(1500, 100, 500, 400));
    const WindowID d = open(writer, "D", Rect(1500, 100, 500, 400));
    start(ArrangeMode::strip);
    ASSERT_TRUE(settle());
    auto& strips = EngineProbe::strips(*engine);
    strips[keyOf(primary)].columns = {Strip::Column{.ids = {a, b}, .width = 0.5, .tabbed = true, .active = a}};
    strips[keyOf(primary)].focused = a;
    strips[keyOf(studio)].columns = {Strip::Column{.ids = {c, d}, .width = 0.5, .tabbed = true, .active = c}};
    strips[keyOf(studio)].focused = c;
    EngineProbe::applyStrips(*engine);
    ASSERT_EQ(panels.tabBars->current().size(), 2u);

    sim.resetCounters();
    panels.tabBars->select(d);
    EXPECT_EQ(engine->strips().at(keyOf(studio)).columns[0].active, d);
    EXPECT_EQ(engine->strips().at(keyOf(primary)).columns[0].active, a);
    const auto bars = panels.tabBars->current();
    ASSERT_EQ(bars.size(), 2u);
    EXPECT_EQ(bars[1].bar.active, d);
    EXPECT_EQ(bars[1].titles.at(d), "D");
    EXPECT_GE(sim.counters(d).raises, 1);
    EXPECT_EQ(sim.stacking().front(), d);
}

// ---------------------------------------------------------------- random sequences

using ZoneStep = std::pair<int, int>; // event, chooser

// What must hold of the zones whenever the engine has settled: one zone at
// most per side of a shown strip, left first, on the display's outer edge
// over the usable height, counting exactly the columns that do not show.
std::string brokenZones(const EngineWorld& world, const std::string& key)
{
    std::ostringstream why;
    const auto zones = world.panels.edgeZones->current();
    const auto strip = world.engine->strips().find(key);
    const Rect area = world.areaOf(primary);
    int hiddenColumns = 0;
    if (strip != world.engine->strips().end()) {
        const auto frames = strip->second.arranged(area, strip->second.scroll).frames;
        for (const auto& column : strip->second.columns) {
            const Rect f = frames.at(column.active);
            if (f.maxX() <= area.minX() + 1 || f.minX() >= area.maxX() - 1)
                ++hiddenColumns;
        }
    }
    int counted = 0;
    const Rect usable = ScreenCoordinates::flip(area, 900);
    for (std::size_t i = 0; i < zones.size(); ++i) {
        const auto& z = zones[i];
        counted += z.count;
        const double edge = z.onLeft ? 0 : 1437;
        if (z.key != key || z.count < 1 || z.frame != Rect(edge, usable.minY(), 3, usable.height()))
            why << "zone " << i << " is off: " << z.frame << " count " << z.count;
        if (i > 0 && (z.onLeft || !zones[0].onLeft))
            why << "zones out of order";
    }
    if (zones.size() > 2)
        why << zones.size() << " zones";
    if (counted != hiddenColumns)
        why << "zones count " << counted << ", " << hiddenColumns << " columns do not show";
    return why.str();
}

RC_GTEST_FIXTURE_PROP(EngineEdges, ClicksOnZonesAlwaysBringTheNearestColumnIntoView, ())
{
    const auto steps = *rc::gen::container<std::vector<ZoneStep>>(
        rc::gen::pair(rc::gen::inRange(0, 5), rc::gen::inRange(0, 64)));
    RC_ASSERT(openStrip(2));
    RC_ASSERT(brokenZones(*this, key).empty());
    for (const auto& [event, chooser] : steps) {
        const auto live = ids;
        switch (event) {
        case 0:
            add();
            break;
        case 1:
            if (live.size() > 1) {
                sim.closeWindow(live[std::size_t(chooser) % live.size()]);
                ids.erase(ids.begin() + std::ptrdiff_t(std::size_t(chooser) % live.size()));
            }
            break;
        case 2:
            sim.focusWindow(live[std::size_t(chooser) % live.size()]);
            break;
        default: {
            const auto zones = panels.edgeZones->current();
            if (zones.empty())
                break;
            const auto& zone = zones[std::size_t(chooser) % zones.size()];
            const Strip before = engine->strips().at(key);
            const auto parked = EngineProbe::parkedWindows(*engine, before, screenOf(primary));
            const WindowID wanted = zone.onLeft ? parked.left.back() : parked.right.front();
            panels.edgeZones->clicked(zone);
            RC_ASSERT(engine->strips().at(key).focused == std::optional<WindowID>(wanted));
            const Rect f = frameOf(wanted);
            RC_ASSERT(f.minX() >= areaOf(primary).minX() - 0.5);
            RC_ASSERT(f.maxX() <= areaOf(primary).maxX() + 0.5);
            RC_ASSERT(sim.stacking().front() == wanted);
            break;
        }
        }
        RC_ASSERT(settle());
        RC_ASSERT(brokenZones(*this, key) == std::string());
    }
}

} // namespace
} // namespace kavelo::testing
