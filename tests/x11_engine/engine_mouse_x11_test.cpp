// The engine's mouse handling over real clients under Xvfb and openbox on
// two RandR monitors: an Alt-drag that openbox carries out ends in a swap,
// floating and next display move real xterms, and a pointer at rest over
// another xterm makes it the active window.

#include "app/services/ax.h"
#include "core/auto_layout.h"
#include "engine/engine_probe.h"
#include "x11_engine/x11_engine_world.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <algorithm>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class EngineMouseX11 : public X11EngineWorld {
protected:
    static void SetUpTestSuite()
    {
        if (!startSession())
            return;
        if (!session->run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}) ||
            !session->run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"})) {
            startError = "xrandr could not split the screen into two monitors";
            session.reset();
        }
    }

    void SetUp() override
    {
        X11EngineWorld::SetUp();
        if (!ready())
            return;
        ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
        const auto screens = desktop->platform.displays.screens();
        ASSERT_EQ(screens[0].name, "Left");
        ASSERT_EQ(screens[1].name, "Right");
    }

    // Starts a client and answers its window once it is listed.
    WindowID launch(const std::vector<std::string>& argv, const std::string& bundle)
    {
        const auto before = windowsOf({bundle});
        clients.push_back(session->launch(argv));
        WindowID id = 0;
        EXPECT_TRUE(until([&] {
            for (WindowID w : windowsOf({bundle}))
                if (std::find(before.begin(), before.end(), w) == before.end())
                    id = w;
            return id != 0;
        })) << argv.front() << " did not show";
        return id;
    }
    ElementRef element(WindowID id) { return WindowCatalog::read(*desktop).element(id); }
    std::optional<Rect> frame(WindowID id)
    {
        const auto e = element(id);
        return e ? AX::rect(*e) : std::nullopt;
    }
    bool active(WindowID id)
    {
        const auto window = x11->serverWindow(id);
        return window && session->activeWindow() == *window;
    }
    // Focuses a client window as a click would, and waits for it.
    void focus(WindowID id)
    {
        desktop->platform.workspace.activate(element(id)->pid());
        ASSERT_TRUE(until([&] { return active(id) && engine->focusedID() == id; }));
    }

    // The first monitor's auto order laid out as an auto application lays
    // it out, and recorded: the tiles, where the windows settled (xterm
    // keeps its size to whole cells), the windows shown.
    void layOutAuto()
    {
        const std::string key = engine->keyFor(screen(0));
        const auto order = engine->autoOrder().at(key);
        const StripLayout layout = AutoLayout::layout(TidyLayout::grid, order, 0, 0, area(0),
                                                      preferences->windowGap(), 0, {}, std::nullopt);
        for (const auto& [id, tile] : layout.frames)
            AX::setFrame(*element(id), tile);
        ASSERT_TRUE(until([&] {
            for (const auto& [id, tile] : layout.frames) {
                const auto f = frame(id);
                if (!f || std::abs(f->minX() - tile.minX()) > 1 || std::abs(f->minY() - tile.minY()) > 1)
                    return false;
            }
            return true;
        }));
        auto record = EngineProbe::autoRecord(*engine);
        for (const auto& [id, tile] : layout.frames) {
            record.frames[id] = tile;
            record.placed[id] = *frame(id);
        }
        record.shown[key] = layout.shown;
    }

    std::string describe()
    {
        std::ostringstream out;
        for (const auto& [key, order] : engine->autoOrder()) {
            out << "\n  " << key << ":";
            for (WindowID id : order) {
                out << " " << id;
                if (const auto f = frame(id))
                    out << " at " << *f;
            }
        }
        return out.str();
    }
};

// openbox moves the window under its own pointer grab; the release that
// ends the move still reaches the engine's mouse-up monitor.
TEST_F(EngineMouseX11, AnAltDragOfOneXtermOntoAnothersTileSwapsThem)
{
    launch({"xterm", "-geometry", "60x20+40+80"}, "XTerm");
    launch({"xterm", "-geometry", "60x20+300+400"}, "XTerm");
    startEngine(ArrangeMode::auto_);
    const std::string key = engine->keyFor(screen(0));
    ASSERT_TRUE(until([&] { return engine->autoOrder().count(key) && engine->autoOrder().at(key).size() == 2; }))
        << describe();
    layOutAuto();
    const auto was = engine->autoOrder().at(key);
    const Rect start = *frame(was[0]);
    const Rect target = EngineProbe::autoRecord(*engine).frames.at(was[1]);

    // Alt, press on the first xterm, carry it onto the second one's tile.
    const Point from = start.center();
    const Point to = target.center();
    session->movePointer(int(from.x), int(from.y));
    session->key(*x11->serverKeyCode(optionKey), true);
    session->button(1, true);
    for (int step = 1; step <= 12; ++step) {
        // openbox takes the press before the pointer moves on.
        std::this_thread::sleep_for(20ms);
        session->movePointer(int(from.x + (to.x - from.x) * step / 12), int(from.y + (to.y - from.y) * step / 12));
        pump();
    }
    // The window follows the pointer before the button comes up.
    std::optional<Rect> carried;
    ASSERT_TRUE(until([&] {
        const auto now = frame(was[0]);
        const bool still = now && carried && *now == *carried;
        carried = now;
        return still && std::hypot(now->minX() - start.minX(), now->minY() - start.minY()) > 100;
    })) << "openbox did not move the window" << describe();
    EXPECT_EQ(engine->autoOrder().at(key), was) << "swapped before the button came up";
    session->button(1, false);
    session->key(*x11->serverKeyCode(optionKey), false);

    EXPECT_TRUE(until([&] { return engine->autoOrder().at(key) == std::vector<WindowID>{was[1], was[0]}; }))
        << describe();
}

TEST_F(EngineMouseX11, AFloatedXtermIsCentredOnItsMonitor)
{
    const WindowID term = launch({"xterm", "-geometry", "60x20+1000+100"}, "XTerm");
    startEngine(ArrangeMode::strip);
    const std::string key = engine->keyFor(screen(1));
    ASSERT_TRUE(until([&] { return engine->strips().count(key) && !engine->isAnimating(); }));
    focus(term);
    const Rect before = *frame(term);

    engine->toggleFloat();
    EXPECT_TRUE(engine->floated().count(term));
    ASSERT_TRUE(until([&] {
        const auto f = frame(term);
        return f && std::abs(f->midX() - area(1).midX()) <= 1 && std::abs(f->midY() - area(1).midY()) <= 1;
    })) << "at " << *frame(term) << ", the area " << area(1);
    EXPECT_EQ(frame(term)->size, before.size);
    EXPECT_FALSE(engine->strips().count(key));
    EXPECT_TRUE(active(term));
}

TEST_F(EngineMouseX11, NextDisplayMovesAnXtermToTheSecondMonitorWhereTheNextPassTilesIt)
{
    const WindowID term = launch({"xterm", "-geometry", "60x20+100+100"}, "XTerm");
    startEngine(ArrangeMode::strip);
    const std::string left = engine->keyFor(screen(0));
    const std::string right = engine->keyFor(screen(1));
    ASSERT_TRUE(until([&] { return engine->strips().count(left) && !engine->isAnimating(); }));
    focus(term);

    engine->sendToNextDisplay();
    EXPECT_EQ(engine->homes().at(term), "Right");
    EXPECT_FALSE(engine->strips().count(left) && !engine->strips().at(left).columns.empty());
    // Filed on the second monitor and laid out there as its strip's column.
    ASSERT_TRUE(until([&] {
        const auto f = frame(term);
        const auto target = engine->stripFrames().find(term);
        return engine->strips().count(right) && !engine->isAnimating() && f &&
               target != engine->stripFrames().end() && area(1).contains(target->second.center()) &&
               std::abs(f->minX() - target->second.minX()) <= 0.5 && std::abs(f->minY() - target->second.minY()) <= 0.5;
    })) << "at " << *frame(term);
    EXPECT_EQ(engine->strips().at(right).columns.size(), 1u);
}

// xclock declines the focus (its input hint is off), so openbox never makes
// it the active window however it is asked: the window under the pointer is
// a second xterm, on the other monitor.
TEST_F(EngineMouseX11, APointerAtRestOverAnotherXtermMakesItTheActiveWindow)
{
    const WindowID term = launch({"xterm", "-geometry", "60x20+40+80"}, "XTerm");
    const WindowID other = launch({"xterm", "-geometry", "40x10+1300+300"}, "XTerm");
    preferences->setFocusFollowsMouse(true);
    startEngine(ArrangeMode::off);
    focus(term);

    // Crossing the first xterm on the way changes nothing before the rest.
    const Rect over = *frame(other);
    const Rect first = *frame(term);
    session->movePointer(int(first.midX()), int(first.midY()));
    x11->processEvents();
    session->movePointer(int(over.midX()), int(over.midY()));
    EXPECT_TRUE(until([&] { return active(other); })) << "the xterm at " << over;
    EXPECT_EQ(engine->focusedID(), other);
}

} // namespace
} // namespace kavelo::testing
