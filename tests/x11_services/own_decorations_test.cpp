// Windows that draw their own decorations, as GTK 3 header-bar windows do:
// no server decorations, invisible shadow margins inside the X window,
// announced in _GTK_FRAME_EXTENTS. Frames read and written are what the user
// sees, under openbox and under xfwm4 (which honours the margins itself).

#include "x11_services_fixture.h"

#include "app/services/window_actions.h"
#include "core/snap.h"

namespace kavelo::testing {
namespace {

constexpr const char* headerBar = "HeaderBar";

class OwnDecorationsTest : public X11ServicesTest, public ::testing::WithParamInterface<test::WindowManager> {
protected:
    SessionSetup sessionSetup() const override
    {
        return SessionSetup{
            .manager = GetParam(),
            .clients = {"xterm"},
            .programs = {{KAVELO_X11_TEST_CLIENT, "--csd", "26,26,23,29", "--size", "952x799", "--min", "360x260",
                          "--class", headerBar},
                         {KAVELO_X11_TEST_CLIENT, "--csd", "12,14,9,15", "--size", "600x500", "--min", "200x160",
                          "--class", headerBar}}};
    }
    bool ready() override { return headerBars(read()).size() == 2 && stock().count("XTerm") == 1; }

    std::vector<WindowEntry> headerBars(const Snapshot& snapshot)
    {
        std::vector<WindowEntry> out;
        for (const auto& w : snapshot.windows)
            if (w.state == WindowState::visible && w.bundleID == headerBar && snapshot.element(w.id))
                out.push_back(w);
        return out;
    }

    // What the user sees of a window, from the server: its X window less the
    // margins it announces (the one monitor's corner is the origin).
    Rect visible(WindowID id)
    {
        caughtUp();
        const xcb_window_t window = x11->serverWindow(id).value();
        const Rect client = session->clientArea(window).value();
        auto m = session->cardinals(window, "_GTK_FRAME_EXTENTS");
        m.resize(4, 0);
        return Rect(client.minX() + m[0], client.minY() + m[2], client.width() - m[0] - m[1],
                    client.height() - m[2] - m[3]);
    }

    void focus(const WindowEntry& entry)
    {
        const Snapshot snapshot = read();
        EXPECT_FALSE(WindowActions::raise(*desktop, entry, snapshot.element(entry.id)).pending());
        ASSERT_TRUE(until([&] {
            const auto front = desktop->platform.workspace.frontmostApp();
            return front && front->pid == entry.pid;
        }));
    }
};

TEST_P(OwnDecorationsTest, CatalogFramesAreTheVisibleAreaAndFollowTheMargins)
{
    const Snapshot snapshot = read();
    const auto windows = headerBars(snapshot);
    ASSERT_EQ(windows.size(), 2u);
    for (const auto& w : windows) {
        EXPECT_EQ(w.frame, visible(w.id));
        EXPECT_EQ(AX::rect(*snapshot.element(w.id)), std::optional(visible(w.id)));
    }
    // A window the manager decorates keeps its decorations in its frame.
    const WindowEntry term = stock(snapshot).at("XTerm");
    EXPECT_EQ(std::optional(term.frame), serverFrame(term.id));

    // GTK drops its margins when a window is maximized or tiled.
    const xcb_window_t window = *x11->serverWindow(windows.front().id);
    const auto margins = session->cardinals(window, "_GTK_FRAME_EXTENTS");
    Restore back([&] { session->setCardinals(window, "_GTK_FRAME_EXTENTS", margins); });
    session->setCardinals(window, "_GTK_FRAME_EXTENTS", {0, 0, 0, 0});
    const auto after = read();
    const auto entry = find(after, windows.front().id);
    ASSERT_TRUE(entry);
    EXPECT_EQ(std::optional(entry->frame), session->clientArea(window));
}

TEST_P(OwnDecorationsTest, SnapAndFillTheScreenLandExactlyOnTheVisibleArea)
{
    const WindowEntry big = headerBars(read()).front();
    focus(big);
    const Screen screen = desktop->platform.displays.screens().front();
    const Rect usable = WindowActions::usable(*desktop, screen).value();
    for (Snap snap : {Snap::left, Snap::right, Snap::center}) {
        SCOPED_TRACE(std::string(rawValue(snap)));
        const Size current = visible(big.id).size;
        WindowActions::snapFocused(*desktop, snap);
        EXPECT_EQ(visible(big.id), frame(snap, usable, current));
    }
    const auto filled = WindowActions::focusWindow(*desktop);
    ASSERT_TRUE(filled);
    const Rect area = WindowActions::area(*desktop, screen).value();
    EXPECT_EQ(visible(big.id), area);
    EXPECT_EQ(filled->after.at(big.id), area);
}

// The minimum size hint counts the margins: the smallest window the user
// sees is that much smaller.
TEST_P(OwnDecorationsTest, ASizeBelowTheMinimumStopsAtTheMinimumWithoutTheMargins)
{
    const Snapshot snapshot = read();
    const WindowEntry big = headerBars(snapshot).front();
    const ElementRef element = snapshot.element(big.id);
    const bool wide = session->cardinals(*x11->serverWindow(big.id), "_GTK_FRAME_EXTENTS").at(0) == 26;
    const Size minimum = wide ? Size(360 - 52, 260 - 52) : Size(200 - 26, 160 - 24);
    const Rect before = visible(big.id);
    Restore back([&] { AX::setFrame(*element, before); });
    AX::setFrame(*element, Rect(200, 150, 100, 100));
    EXPECT_EQ(visible(big.id), Rect(Point(200, 150), minimum));
}

TEST_P(OwnDecorationsTest, ATidysGapsAreTheSettingsAndUndoComesBackExactly)
{
    preferences->setWindowGap(14);
    const auto memory = WindowActions::tidy(*desktop, TidyLayout::columns, std::string(headerBar));
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->after.size(), 2u);
    const Rect area = WindowActions::area(*desktop, desktop->platform.displays.screens().front()).value();
    std::vector<Rect> frames;
    for (const auto& [id, after] : memory->after) {
        frames.push_back(visible(id));
        EXPECT_EQ(after, visible(id));
    }
    std::sort(frames.begin(), frames.end(), [](const Rect& a, const Rect& b) { return a.minX() < b.minX(); });
    EXPECT_EQ(frames[0].minX(), area.minX());
    EXPECT_EQ(frames[1].minX() - frames[0].maxX(), 14);
    EXPECT_EQ(frames[1].maxX(), area.maxX());
    for (const Rect& f : frames) {
        EXPECT_EQ(f.minY(), area.minY());
        EXPECT_EQ(f.height(), area.height());
    }

    WindowActions::undoTidy(*desktop, *memory);
    for (const auto& [id, before] : memory->before)
        EXPECT_EQ(visible(id), before);
}

INSTANTIATE_TEST_SUITE_P(Managers, OwnDecorationsTest,
                         ::testing::Values(test::WindowManager::openbox, test::WindowManager::xfwm4),
                         [](const auto& info) {
                             return info.param == test::WindowManager::openbox ? "openbox" : "xfwm4";
                         });

} // namespace
} // namespace kavelo::testing
