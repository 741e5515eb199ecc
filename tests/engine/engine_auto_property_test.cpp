// Long random sequences of desktop events under the engine in auto mode,
// with windows that refuse sizes and defer their writes: after every settled
// pass each shown key's order holds exactly its candidates, each of them
// tiled or waiting, a poll with nothing changed writes nothing, and letting
// go leaves no window outside every display.

#include "engine/engine_auto_fixture.h"

#include "core/screen_coordinates.h"

#include <gtest/gtest.h>
#include <rapidcheck/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <sstream>
#include <tuple>

namespace kavelo::testing {
namespace {

using AutoStep = std::tuple<int, int, int>; // event, chooser, amount

constexpr int autoEventCount = 17;

// The events of one sequence, on the fixture's desktop and engine.
struct AutoSequence {
    explicit AutoSequence(EngineWorld& on) : world(on)
    {
        apps = {world.app("com.example.Notes", "Notes"), world.app("com.example.Wide", "Wide"),
                world.app("com.example.Slow", "Slow"), world.app("com.example.Tall", "Tall")};
        world.start(ArrangeMode::auto_);
    }

    std::vector<WindowID> windows() const
    {
        std::vector<WindowID> out;
        for (WindowID id : world.sim.stacking())
            if (const auto w = world.sim.window(id); w && std::find(apps.begin(), apps.end(), w->pid) != apps.end())
                out.push_back(id);
        return out;
    }

    std::vector<std::uint32_t> displays() const
    {
        std::vector<std::uint32_t> out;
        for (const auto& d : world.sim.displayList())
            out.push_back(d.id);
        return out;
    }

    Rect frameOn(std::uint32_t display, int amount) const
    {
        const Rect f = ScreenCoordinates::flip(world.sim.display(display)->frame,
                                               world.sim.displayList().front().frame.height());
        return Rect(f.minX() + double(amount % 400), f.minY() + 30 + double(amount % 200), 300 + amount % 500,
                    200 + amount % 300);
    }

    void open(int chooser, int amount)
    {
        const auto all = displays();
        const auto display = all[std::size_t(amount) % all.size()];
        const std::size_t which = std::size_t(chooser) % apps.size();
        world.window(apps[which], "w" + std::to_string(amount), frameOn(display, amount), [&](SimWindow& w) {
            // Wide windows refuse narrow tiles, slow ones answer late, tall
            // ones are taller than some displays.
            if (which == 1)
                w.minSize = Size(600 + amount % 700, 0);
            if (which == 2) {
                w.defersWrites = true;
                w.deferSeconds = 0.3;
            }
            if (which == 3)
                w.minSize = Size(0, 700 + amount % 300);
        });
    }

    void run(const AutoStep& step)
    {
        const auto [event, chooser, amount] = step;
        const auto all = windows();
        const auto shownDisplays = displays();
        const auto pick = [&, chooser = chooser] { return all[std::size_t(chooser) % all.size()]; };
        ArrangeEngine& engine = *world.engine;
        switch (event) {
        case 0:
        case 1:
            open(chooser, amount);
            break;
        case 2:
            if (!all.empty())
                world.sim.closeWindow(pick());
            break;
        case 3:
            if (!all.empty()) {
                auto& floated = EngineProbe::floated(engine);
                const WindowID id = pick();
                if (!floated.erase(id))
                    floated.insert(id);
                engine.lastSignature.clear();
            }
            break;
        case 4:
            if (!all.empty())
                world.sim.modifyWindow(pick(), [](SimWindow& w) { w.minimized = !w.minimized; });
            break;
        case 5: {
            const auto pid = apps[std::size_t(chooser) % apps.size()];
            if (world.sim.app(pid)->hidden)
                world.sim.workspace().unhide(pid);
            else
                world.sim.workspace().hide(pid);
            break;
        }
        case 6:
            if (!all.empty()) {
                const Rect frame = frameOn(shownDisplays[std::size_t(amount) % shownDisplays.size()], amount);
                const WindowID id = pick();
                world.sim.modifyWindow(id, [&](SimWindow& w) { w.frame = frame; });
                // A key whose windows stay the same is not laid out again.
                dragged.insert(id);
            }
            break;
        case 7:
            if (!all.empty()) {
                const WindowID id = pick();
                for (const auto& d : world.sim.displayList())
                    if (std::find(d.desktops.begin(), d.desktops.end(), world.sim.window(id)->desktop) !=
                        d.desktops.end()) {
                        if (d.desktops.size() < 2)
                            world.sim.addDesktop(d.id);
                        const auto desktops = world.sim.display(d.id)->desktops;
                        world.sim.moveToDesktop(id, desktops[std::size_t(amount) % desktops.size()]);
                    }
            }
            break;
        case 8: {
            const auto d = *world.sim.display(shownDisplays[std::size_t(chooser) % shownDisplays.size()]);
            if (d.desktops.size() > 1)
                world.sim.switchDesktop(d.id, d.desktops[std::size_t(amount) % d.desktops.size()]);
            break;
        }
        case 9: {
            const auto keys = engine.visibleKeys();
            const auto& key = keys[std::size_t(chooser) % keys.size()];
            EngineProbe::slideAuto(engine, key, amount % 2 == 0);
            break;
        }
        case 10:
            if (!all.empty())
                world.sim.focusWindow(pick());
            break;
        case 11:
            if (!all.empty())
                world.sim.modifyWindow(pick(), [amount = amount](SimWindow& w) {
                    w.minSize = Size(amount % 1500, (amount / 3) % 950);
                });
            break;
        case 12:
            world.prefs.setMaxTiles(world.prefs.maxTiles() ? 0 : 2 + amount % 2);
            break;
        case 13:
            if (studio) {
                world.sim.removeDisplay(*studio);
                studio.reset();
                // As the system does, windows left on no display come to
                // the primary one.
                for (WindowID id : all)
                    if (!outside(id).empty())
                        world.sim.modifyWindow(id, [](SimWindow& w) { w.frame.origin = Point(40, 60); });
            } else {
                studio = world.sim.addDisplay(
                    SimDisplay{.name = "Studio", .frame = Rect(1440, 0, 1280, 800), .menuBar = 0});
            }
            engine.displaysChanged();
            break;
        case 14: {
            auto off = world.prefs.displaysOff();
            if (!off.erase("Studio"))
                off.insert("Studio");
            world.prefs.setDisplaysOff(off);
            break;
        }
        case 15:
            // Quit and start again.
            engine.release();
            restarted = true;
            break;
        default:
            world.poll(1 + amount % 3);
            break;
        }
    }

    // Polls, size checks, settle blocks and late writes until nothing is
    // left to happen; false when it never comes to rest.
    bool rest()
    {
        for (int i = 0; i < 40; ++i) {
            const std::string before = world.engine->lastSignature;
            world.scheduler.advance(0.8);
            for (WindowID id : windows())
                if (world.sim.counters(id).writes > 0)
                    written.insert(id);
            if (!EngineProbe::sizeCheckPending(*world.engine) && world.engine->lastSignature == before)
                return true;
        }
        return false;
    }

    std::optional<std::string> keyOfDisplay(const std::string& name) const
    {
        for (const auto& d : world.sim.displayList())
            if (d.name == name)
                return d.name + "|" + std::to_string(d.currentDesktop);
        return std::nullopt;
    }

    bool onShownDesktop(const SimWindow& w) const
    {
        if (w.allDesktops)
            return true;
        for (const auto& d : world.sim.displayList())
            if (d.currentDesktop == w.desktop)
                return true;
        return false;
    }

    // The first invariant that does not hold, described; empty when all do.
    std::string broken() const
    {
        std::ostringstream why;
        const ArrangeEngine& engine = *world.engine;
        std::map<std::string, std::set<WindowID>> expected;
        for (WindowID id : windows()) {
            const auto w = *world.sim.window(id);
            const bool visible = !w.minimized && !world.sim.app(w.pid)->hidden && onShownDesktop(w);
            if (!visible || engine.floated().count(id))
                continue;
            const auto home = engine.homes().find(id);
            if (home == engine.homes().end()) {
                why << "visible window " << id << " has no home";
                return why.str();
            }
            if (world.prefs.displaysOff().count(home->second))
                continue;
            const auto key = keyOfDisplay(home->second);
            if (!key) {
                why << "window " << id << " at home on a display that is gone";
                return why.str();
            }
            expected[*key].insert(id);
        }

        const bool fixed = world.prefs.maxTiles() > 0;
        auto& frames = EngineProbe::autoFrames(*world.engine);
        for (const auto& key : engine.visibleKeys()) {
            auto found = engine.autoOrder().find(key);
            const std::vector<WindowID> order = found == engine.autoOrder().end() ? std::vector<WindowID>{} : found->second;
            const std::set<WindowID> got(order.begin(), order.end());
            const auto want = expected.count(key) ? expected.at(key) : std::set<WindowID>{};
            if (got != want || got.size() != order.size()) {
                why << "the order of " << key << " holds " << order.size() << " windows, not its " << want.size()
                    << " candidates";
                return why.str();
            }
            if (order.empty())
                continue;
            if (fixed) {
                for (WindowID id : order)
                    if (!frames.count(id)) {
                        why << "window " << id << " of " << key << " has no tile with a fixed tile count";
                        return why.str();
                    }
                continue;
            }
            const auto& shown = engine.autoShown().at(key);
            const auto& waiting = engine.autoWaiting().at(key);
            std::vector<WindowID> placed = shown;
            placed.insert(placed.end(), waiting.left.begin(), waiting.left.end());
            placed.insert(placed.end(), waiting.right.begin(), waiting.right.end());
            std::sort(placed.begin(), placed.end());
            std::vector<WindowID> sorted = order;
            std::sort(sorted.begin(), sorted.end());
            if (placed != sorted) {
                why << "the windows of " << key << " are not each tiled or waiting";
                return why.str();
            }
            for (WindowID id : shown) {
                // Dragged since, or taking the place of a window that went
                // in the same pass (a browser's tab switch): where it stands.
                if (dragged.count(id) || !written.count(id))
                    continue;
                const auto tile = frames.find(id);
                const Rect at = world.sim.window(id)->frame;
                if (tile == frames.end() || std::abs(tile->second.minX() - at.minX()) > 2.5 ||
                    std::abs(tile->second.minY() - at.minY()) > 2.5) {
                    why << "shown window " << id << " stands at " << at << ", not in its tile";
                    return why.str();
                }
            }
        }
        return {};
    }

    // Why the window overlaps no display; empty when it overlaps one.
    std::string outside(WindowID id) const
    {
        const double primaryHeight = world.sim.displayList().front().frame.height();
        const Rect at = world.sim.window(id)->frame;
        for (const auto& d : world.sim.displayList())
            if (at.intersects(ScreenCoordinates::flip(d.frame, primaryHeight)))
                return {};
        std::ostringstream why;
        why << "window " << id << " at " << at << " lies outside every display";
        return why.str();
    }

    std::string outside() const
    {
        for (WindowID id : windows())
            if (auto why = outside(id); !why.empty())
                return why;
        return {};
    }

    EngineWorld& world;
    std::vector<std::int32_t> apps;
    std::optional<std::uint32_t> studio;
    std::set<WindowID> dragged;
    std::set<WindowID> written; // laid out by the engine at least once
    bool restarted = false;
};

// Runs `steps` and checks after each; the first broken rule, described, or
// nothing when all hold.
std::string runSequence(EngineWorld& world, const std::vector<AutoStep>& steps)
{
    AutoSequence sequence(world);
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const auto& step = steps[i];
        const auto at = [&](const std::string& what) {
            std::ostringstream out;
            out << "after step " << i << " (" << std::get<0>(step) << ", " << std::get<1>(step) << ", "
                << std::get<2>(step) << "): " << what;
            return out.str();
        };
        sequence.run(step);
        if (sequence.restarted) {
            // Slow windows take their last writes late.
            world.sim.settle();
            if (auto why = sequence.outside(); !why.empty())
                return at(why);
            world.prefs.onArrangeChange = nullptr;
            world.engine.reset();
            world.start(ArrangeMode::auto_);
            sequence.restarted = false;
        }
        if (!sequence.rest())
            return at("the engine never came to rest");
        // Some events do not show in the window list (a frame moved, a
        // hidden window closed): the invariants hold after the next pass.
        world.engine->lastSignature.clear();
        if (!sequence.rest())
            return at("the engine never came to rest after a new pass");
        if (auto why = sequence.broken(); !why.empty())
            return at(why);

        // Nothing left to do: the next poll writes nothing.
        world.sim.resetCounters();
        world.poll();
        if (world.total().writes != 0)
            return at("a poll with nothing changed wrote");
    }
    world.engine->release();
    world.sim.settle();
    return sequence.outside();
}

} // namespace

RC_GTEST_FIXTURE_PROP(EngineAuto, RandomDesktopEventsKeepEveryCandidateTiledOrWaiting, ())
{
    const auto steps = *rc::gen::container<std::vector<AutoStep>>(
        rc::gen::tuple(rc::gen::inRange(0, autoEventCount), rc::gen::inRange(0, 64), rc::gen::inRange(0, 1000)));
    RC_ASSERT(runSequence(*this, steps) == std::string());
}

// Found by the sequences above: a window that waited past the left edge,
// shown once the tile limit went, after a window closed.
TEST_F(EngineAuto, AWaitingWindowShownWhenTheTileLimitGoesTakesItsTile)
{
    const std::vector<AutoStep> steps{{12, 0, 0}, {13, 0, 0}, {0, 55, 161}, {13, 0, 0}, {0, 14, 0},
                                      {10, 0, 0}, {12, 0, 0}, {0, 3, 0},    {2, 11, 0}};
    EXPECT_EQ(runSequence(*this, steps), "");
}

// Found by the sequences above: a window moved to another desktop and back
// while its display showed the other one, with a window too tall for any
// tile on the same key.
TEST_F(EngineAuto, AWindowBackFromAnotherDesktopIsTiledAgain)
{
    const std::vector<AutoStep> steps{{0, 27, 0}, {7, 0, 0}, {8, 0, 7}, {0, 7, 0}, {0, 0, 0},  {0, 0, 0},
                                  {8, 0, 0},  {0, 0, 0}, {0, 0, 0}, {7, 4, 0}, {7, 35, 15}, {8, 0, 3}};
    EXPECT_EQ(runSequence(*this, steps), "");
}

// Found by the sequences above: a window closed on a desktop not shown,
// and another of its application moved there; shown again, the newcomer
// takes the closed one's place and must be sent to its tile.
TEST_F(EngineAuto, AWindowMovedToTheShownDesktopAfterAnotherClosedIsTiledAgain)
{
    const std::vector<AutoStep> steps{{0, 0, 0}, {7, 0, 0}, {8, 0, 3}, {0, 0, 0},
                                  {0, 0, 0}, {7, 0, 0}, {2, 35, 0}, {8, 0, 0}};
    EXPECT_EQ(runSequence(*this, steps), "");
}

// Found by the sequences above: two windows of an application taller than
// any tile, the tile count fixed, on a desktop no longer shown. Their size
// checks took turns putting one of them back, for ever.
TEST_F(EngineAuto, WindowsTooTallForAnyTileComeToRest)
{
    const std::vector<AutoStep> steps{{0, 3, 176}, {3, 0, 0}, {12, 0, 0}, {7, 0, 0}, {0, 3, 176},
                                  {3, 3, 0},   {8, 0, 7}, {6, 0, 426}, {0, 0, 0}};
    EXPECT_EQ(runSequence(*this, steps), "");
}

} // namespace kavelo::testing
