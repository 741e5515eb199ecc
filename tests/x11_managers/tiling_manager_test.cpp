// Under a tiling manager (i3): tiled windows refuse to be moved, and the
// actions say so, to the user too (Tidy's toast, nothing to undo); frames
// include the title bar and border i3 draws but does not publish, and a
// floating window is placed by that frame; the arrange page learns that i3
// moves windows too; the strip counts no window waiting that i3 kept in view.

#include "x11_managers/x11_delegate.h"
#include "x11_services/x11_services_fixture.h"

#include "app/engine/arrange_engine.h"
#include "app/services/window_actions.h"
#include "core/tidy.h"
#include "engine/engine_fakes.h"

namespace kavelo::testing {
namespace {

class UnderI3Test : public X11ServicesTest {
protected:
    SessionSetup sessionSetup() const override
    {
        return SessionSetup{.manager = test::WindowManager::i3,
                            .clients = {"xterm", "xclock"},
                            .programs = {{KAVELO_X11_TEST_CLIENT, "--dialog", "--class", dialogClass, "--size", "420x260"}}};
    }
    static constexpr const char* dialogClass = "KaveloFloating";

    // Both tiled, the dialog floating, and i3 done laying them out.
    bool ready() override { return tiledStill(2); }
    // `count` windows tiled, the dialog floating, and their frames as at
    // the last look.
    bool tiledStill(std::size_t count)
    {
        const Snapshot snapshot = read();
        std::vector<Rect> frames;
        for (const auto& w : tiled(snapshot))
            frames.push_back(w.frame);
        const bool floating = std::any_of(snapshot.windows.begin(), snapshot.windows.end(),
                                          [](const WindowEntry& w) { return w.bundleID == dialogClass; });
        const bool still = frames.size() == count && floating && frames == lastFrames;
        lastFrames = frames;
        return still;
    }
    std::vector<Rect> lastFrames;

    std::vector<WindowEntry> tiled(const Snapshot& snapshot)
    {
        std::vector<WindowEntry> out;
        for (const auto& w : snapshot.windows)
            if (w.state == WindowState::visible && snapshot.element(w.id) &&
                (w.bundleID == "XTerm" || w.bundleID == "XClock"))
                out.push_back(w);
        return out;
    }

    // The window i3 holds a client in, the root's child above it, read
    // straight from the server.
    Rect container(WindowID id)
    {
        xcb_connection_t* c = session->connection();
        xcb_window_t current = x11->serverWindow(id).value();
        for (;;) {
            xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, current), nullptr);
            const xcb_window_t parent = tree ? tree->parent : XCB_NONE;
            std::free(tree);
            if (parent == XCB_NONE || parent == session->root())
                break;
            current = parent;
        }
        xcb_get_geometry_reply_t* g = xcb_get_geometry_reply(c, xcb_get_geometry(c, current), nullptr);
        const Rect out = g ? Rect(g->x, g->y, g->width + 2.0 * g->border_width, g->height + 2.0 * g->border_width)
                           : Rect();
        std::free(g);
        return out;
    }
};

TEST_F(UnderI3Test, FramesHoldTheTitleBarTiledWindowsRefuseAndI3IsNamed)
{
    const Snapshot snapshot = read();
    const auto windows = tiled(snapshot);
    ASSERT_EQ(windows.size(), 2u);
    for (const auto& w : windows) {
        SCOPED_TRACE(w.bundleID);
        const Rect client = session->clientArea(*x11->serverWindow(w.id)).value();
        EXPECT_EQ(w.frame, container(w.id));
        EXPECT_GT(w.frame.height(), client.height()) << "no title bar";
        EXPECT_EQ(w.frame.maxY(), 1080) << "a bar below the tiles";
    }

    // A tidy moves nothing, and its record says so.
    const auto memory = WindowActions::tidy(*desktop, TidyLayout::rows, std::nullopt);
    ASSERT_TRUE(memory);
    for (const auto& w : windows) {
        SCOPED_TRACE(w.bundleID);
        EXPECT_EQ(container(w.id), w.frame);
        EXPECT_EQ(memory->after.at(w.id), w.frame);
        EXPECT_EQ(memory->before.at(w.id), w.frame);
    }
    // Each refusal is a no, as for a window that will not move.
    const Screen screen = desktop->platform.displays.screens().front();
    const Rect area = WindowActions::area(*desktop, screen).value();
    const auto targets = Tidy::frames(TidyLayout::rows, 2, area, 10, 0.5);
    std::vector<FrameWrite> writes;
    for (std::size_t i = 0; i < windows.size(); ++i)
        writes.push_back(FrameWrite{snapshot.element(windows[i].id), targets[i]});
    EXPECT_EQ(AX::setFrames(desktop->platform.accessibility, writes), std::vector<bool>(2, false));
    for (auto& w : writes)
        w.parts = FrameWrite::Parts::position;
    EXPECT_EQ(AX::setFrames(desktop->platform.accessibility, writes), std::vector<bool>(2, false));

    EXPECT_EQ(desktop->platform.workspace.windowManagerName(), "i3");
    EXPECT_EQ(ArrangeEngine::clashingApp(desktop->platform.workspace), "i3");
}

} // namespace
} // namespace kavelo::testing

namespace kavelo::testing {
namespace {

// What the user is told: a Tidy of tiled windows moved none, says so and
// leaves nothing to undo; a floating dialog snapped left has its frame, not
// its client, at the corner of the screen.
TEST_F(UnderI3Test, TidySaysNothingMovedAndAFloatingDialogSnapsByItsFrame)
{
    X11Delegate d(*x11, scheduler, *home);
    pump();
    const auto before = tiled(read());
    d->tidy();
    EXPECT_EQ(d.views().toasts.last(), "i3 kept the windows in place");
    EXPECT_FALSE(d->tidyMemory());
    for (const auto& w : before)
        EXPECT_EQ(container(w.id), w.frame) << w.bundleID;
    d->tidy();
    EXPECT_EQ(d.views().toasts.last(), "i3 kept the windows in place") << "no undo of what never moved";

    const Snapshot snapshot = read();
    const auto dialog = std::find_if(snapshot.windows.begin(), snapshot.windows.end(),
                                     [](const WindowEntry& w) { return w.bundleID == dialogClass; });
    ASSERT_NE(dialog, snapshot.windows.end());
    EXPECT_FALSE(WindowActions::raise(*desktop, *dialog, snapshot.element(dialog->id)).pending());
    ASSERT_TRUE(until([&] {
        const auto front = desktop->platform.workspace.frontmostApp();
        return front && front->pid == dialog->pid;
    }));
    const Screen screen = desktop->platform.displays.screens().front();
    const Rect usable = WindowActions::usable(*desktop, screen).value();
    const std::size_t toasts = d.views().toasts.shown.size();
    d->run(Command::snapLeft);
    // i3 may move a floating container a few milliseconds after it told its client.
    until([&] { return container(dialog->id).origin == usable.origin; });
    const Rect frame = container(dialog->id);
    EXPECT_EQ(frame.origin, usable.origin) << "the frame at the corner, on screen";
    EXPECT_EQ(d.views().toasts.shown.size(), toasts) << "a snap that went says nothing";
    EXPECT_EQ(read().windows.front().frame, frame);
}

} // namespace
} // namespace kavelo::testing

namespace kavelo::testing {
namespace {

// The strip of five tiled windows: i3 keeps every column where it tiles it,
// in view, so none waits past an edge and no edge zone counts one.
TEST_F(UnderI3Test, TheStripCountsNoWindowWaitingThatI3KeptInView)
{
    std::vector<pid_t> more;
    const Restore closed([&] {
        for (pid_t pid : more)
            session->terminate(pid);
        until([&] { return tiled(read()).size() == 2; });
    });
    for (int i = 0; i < 3; ++i)
        more.push_back(session->launch({"xterm"}));
    ASSERT_TRUE(until([&] { return tiledStill(5); })) << "i3 tiled no five windows";

    FakeEnginePanels panels;
    RecordingToast toast;
    WorkingApp working(x11->workspace());
    preferences->setArrangeMode(ArrangeMode::strip);
    ArrangeEngine engine(*desktop, working, toast, panels);
    engine.start();
    const auto laidOut = [&] {
        scheduler.advance(ArrangeEngine::pollInterval);
        return !engine.strips().empty() && engine.strips().begin()->second.columns.size() == 5 &&
               !engine.isAnimating() && engine.stripSettled().size() == 5;
    };
    ASSERT_TRUE(until(laidOut)) << "the strip never took the five windows";
    EXPECT_EQ(toast.last(), "i3 kept the windows in place");
    int waiting = 0;
    for (const auto& zone : panels.edgeZones->current())
        waiting += zone.count;
    EXPECT_EQ(waiting, 0) << "a badge counts windows i3 keeps in view";
}

} // namespace
} // namespace kavelo::testing
