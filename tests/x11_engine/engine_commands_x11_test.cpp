// Strip commands and the Control-Alt wheel over real xterms under Xvfb and
// openbox: focus moves bring the focused column into view, and a wheel
// typed through XTest pans the strip and snaps it to a column.

#include "app/services/mouse_button_trigger.h"
#include "x11_engine/x11_engine_world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class EngineCommandsX11 : public X11EngineWorld {
protected:
    EngineCommandsX11() : X11EngineWorld({.mode = ArrangeMode::strip, .startEngine = true}) {}

    void SetUp() override
    {
        X11EngineWorld::SetUp();
        if (!ready())
            return;

        // Three xterms, each its own column, the newest focused.
        for (std::size_t n = 1; n <= 3; ++n) {
            clients.push_back(session->launch({"xterm"}));
            ASSERT_TRUE(until([&] { return columns() == n && atRest(); })) << n << " xterms" << describe();
        }
        key = engine->strips().begin()->first;
        // The newest focused once openbox has given it the focus, and the
        // oldest waiting past the left edge.
        ASSERT_TRUE(until([&] {
            const auto& columns = strip().columns;
            const auto oldest = serverFrame(columns[0].ids[0]);
            return atRest() && strip().focused == columns[2].ids[0] && oldest && oldest->minX() < area().minX();
        }));
    }

    void TearDown() override
    {
        trigger.reset();
        X11EngineWorld::TearDown();
    }

    std::size_t columns() const
    {
        return engine->strips().empty() ? 0 : engine->strips().begin()->second.columns.size();
    }
    const Strip& strip() const { return engine->strips().at(key); }

    // The engine is done and the window where the strip put it (its
    // position to the pixel; xterm snaps its size down to whole cells).
    bool placed(WindowID id)
    {
        const auto got = serverFrame(id);
        const auto want = engine->stripFrames().find(id);
        return got && want != engine->stripFrames().end() && std::abs(got->minX() - want->second.minX()) <= 0.5 &&
               std::abs(got->minY() - want->second.minY()) <= 0.5;
    }
    bool atRest() { return !engine->isAnimating() && !engine->panning(); }
    // The focused column stands wholly inside the usable area.
    bool focusedInView()
    {
        if (!atRest() || !strip().focused)
            return false;
        const WindowID id = *strip().focused;
        const auto got = serverFrame(id);
        return placed(id) && got && got->minX() >= area().minX() - 0.5 && got->maxX() <= area().maxX() + 0.5;
    }

    std::string describe() { return X11EngineWorld::describe(xterms()); }

    std::unique_ptr<MouseButtonTrigger> trigger;
    std::string key;
};

TEST_F(EngineCommandsX11, FocusMovesBringTheFocusedColumnIntoView)
{
    const WindowID oldest = strip().columns[0].ids[0];
    ASSERT_LT(serverFrame(oldest)->minX(), area().minX()) << "the oldest column waits past the left edge";

    EXPECT_TRUE(engine->perform(Command::focusFirst));
    EXPECT_EQ(strip().focused, oldest);
    ASSERT_TRUE(until([&] { return focusedInView() && engine->focusedID() == oldest; })) << describe();

    for (std::size_t column = 1; column < 3; ++column) {
        EXPECT_TRUE(engine->perform(Command::focusRight));
        const WindowID id = strip().columns[column].ids[0];
        EXPECT_EQ(strip().focused, id);
        ASSERT_TRUE(until([&] { return focusedInView() && engine->focusedID() == id; }))
            << "column " << column << describe();
    }
    // The first column waits past the left edge again.
    EXPECT_LT(serverFrame(oldest)->minX(), area().minX());
}

// Two focus moves left from the newest column: the second scrolls, and the
// pointer goes to where the oldest xterm ends up, not to where it stood
// past the left edge (which the server would clamp to the screen's edge).
TEST_F(EngineCommandsX11, MouseFollowsFocusLandsOnTheColumnTheStripScrollsTo)
{
    preferences->setMouseFollowsFocus(true);
    const WindowID oldest = strip().columns[0].ids[0];
    session->movePointer(5, 5);
    session->sync();
    EXPECT_TRUE(engine->perform(Command::focusLeft));
    EXPECT_TRUE(engine->perform(Command::focusLeft));
    EXPECT_EQ(strip().focused, oldest);
    ASSERT_TRUE(until([&] { return focusedInView(); })) << describe();
    xcb_connection_t* c = session->connection();
    std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, session->root()), nullptr), &std::free);
    ASSERT_TRUE(pointer);
    const Rect frame = engine->stripFrames().at(oldest);
    EXPECT_NEAR(pointer->root_x, frame.midX(), 1) << describe();
    EXPECT_NEAR(pointer->root_y, frame.midY(), 1);
}

TEST_F(EngineCommandsX11, AControlAltWheelPansTheStripAndSnapsItToAColumn)
{
    trigger = std::make_unique<MouseButtonTrigger>(desktop->platform.eventTap, scheduler, [] { return true; });
    trigger->onScroll = [this](double delta) { return engine->scrolled(delta); };
    ASSERT_TRUE(trigger->start());
    const double from = strip().scroll;
    ASSERT_GT(from, 0) << "the newest column is in view: the strip is scrolled";

    // The wheel turned up 30 lines with Control and Alt held: 240 points
    // back along the strip.
    session->movePointer(int(area().midX()), int(area().midY()));
    const auto server = [&](std::uint16_t code) { return x11->serverKeyCode(code).value(); };
    session->key(server(controlKey), true);
    session->key(server(optionKey), true);
    for (int line = 0; line < 30; ++line) {
        session->button(4, true);
        session->button(4, false);
    }
    // Pumped without the scheduler's time, so the pan does not settle
    // between lines.
    ASSERT_TRUE(test::waitFor([&] { return engine->panning() && strip().scroll <= from - 240 + 0.5; },
                              test::answerDeadline, [&] { x11->processEvents(); }))
        << "scroll " << strip().scroll << " from " << from;
    session->key(server(optionKey), false);
    session->key(server(controlKey), false);
    EXPECT_EQ(strip().scroll, from - 240);
    EXPECT_TRUE(strip().isPanning);

    // 0.2 s after the last line: snapped to a column start, every window
    // where the strip put it.
    ASSERT_TRUE(until([&] { return atRest(); }));
    std::vector<double> starts;
    const StripLayout at0 = strip().arranged(area(), 0);
    for (const auto& column : strip().columns)
        starts.push_back(std::min(at0.frames.at(column.ids[0]).minX() - area().minX(), from));
    EXPECT_NE(std::find(starts.begin(), starts.end(), strip().scroll), starts.end()) << strip().scroll;
    EXPECT_NE(strip().scroll, from - 240);
    ASSERT_TRUE(until([&] { return focusedInView(); })) << describe();
    for (const auto& column : strip().columns) {
        const WindowID id = column.ids[0];
        const Rect want = engine->stripFrames().at(id);
        if (want.minX() >= area().minX() - 1 && want.maxX() <= area().maxX() + 1) {
            EXPECT_TRUE(placed(id)) << describe();
        }
    }
}

} // namespace
} // namespace kavelo::testing
