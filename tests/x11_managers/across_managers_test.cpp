// The window actions under the window managers people run: openbox, xfwm4,
// mutter and KWin, each with xterm, xclock and a header-bar client of our
// own. Whatever a record says is checked against what the server has: the
// manager's truth, not our request. One test per manager keeps the added
// time small; ctest runs the managers side by side.

#include "x11_services/x11_services_fixture.h"

#include "app/engine/arrange_engine.h"
#include "app/services/window_actions.h"
#include "core/snap.h"
#include "core/tidy.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>

namespace kavelo::testing {
namespace {

constexpr const char* headerBar = "HeaderBar";

class AcrossManagersTest : public X11ServicesTest, public ::testing::WithParamInterface<test::WindowManager> {
protected:
    SessionSetup sessionSetup() const override
    {
        return SessionSetup{.manager = GetParam(),
                           .clients = {"xterm", "xclock"},
                           .programs = {{KAVELO_X11_TEST_CLIENT, "--csd", "26,26,23,29", "--size", "952x799",
                                         "--min", "360x260", "--class", headerBar}}};
    }
    // Three windows, each where the manager placed it and still there 50 ms
    // later: a manager (mutter) may map a window and move it a moment after.
    bool ready() override
    {
        const auto windows = tidied(read());
        std::vector<Rect> frames;
        for (const auto& w : windows)
            if (w.frame == truth(w.id))
                frames.push_back(w.frame);
        const auto now = std::chrono::steady_clock::now();
        if (frames.size() != 3 || frames != lastFrames_) {
            lastFrames_ = std::move(frames);
            seenSince_ = now;
            return false;
        }
        return now - seenSince_ >= std::chrono::milliseconds(50);
    }
    std::vector<Rect> lastFrames_;
    std::chrono::steady_clock::time_point seenSince_;

    // The windows a tidy takes, in its order.
    std::vector<WindowEntry> tidied(const Snapshot& snapshot)
    {
        std::vector<WindowEntry> out;
        for (const auto& w : snapshot.windows)
            if (w.state == WindowState::visible && snapshot.element(w.id) &&
                (w.bundleID == "XTerm" || w.bundleID == "XClock" || w.bundleID == headerBar))
                out.push_back(w);
        return out;
    }

    // What the user sees of a window, as the server has it: the X window
    // less the shadows it announces, with the decorations the manager
    // publishes.
    Rect truth(WindowID id)
    {
        const xcb_window_t window = x11->serverWindow(id).value();
        auto m = session->cardinals(window, "_GTK_FRAME_EXTENTS");
        if (m.size() != 4)
            return serverFrame(id).value();
        const Rect client = session->clientArea(window).value();
        return Rect(client.minX() + m[0], client.minY() + m[2], client.width() - m[0] - m[1],
                    client.height() - m[2] - m[3]);
    }

    // Where the manager put a window against where it was sent: to the
    // pixel, or a character cell short for a terminal. Empty when it
    // landed; else what the server has.
    std::string missed(WindowID id, const Rect& wanted)
    {
        const Rect got = truth(id);
        const Size step = increments(id);
        const bool landed = std::abs(got.minX() - wanted.minX()) <= 0.5 && std::abs(got.minY() - wanted.minY()) <= 0.5 &&
                            got.width() <= wanted.width() + 0.5 &&
                            got.width() > wanted.width() - std::max(step.width, 1.0) &&
                            got.height() <= wanted.height() + 0.5 &&
                            got.height() > wanted.height() - std::max(step.height, 1.0);
        return landed ? std::string() : ::testing::PrintToString(got) + " instead of " + ::testing::PrintToString(wanted);
    }
    // A loaded manager may apply a write after the backend stopped waiting
    // for it: what the server ends up with is the answer.
    void expectLanded(WindowID id, const Rect& wanted)
    {
        std::string why;
        EXPECT_TRUE(until([&] { return (why = missed(id, wanted)).empty(); })) << "window " << id << " at " << why;
    }
    void expectAt(WindowID id, const Rect& wanted)
    {
        EXPECT_TRUE(until([&] { return truth(id) == wanted; }))
            << "window " << id << " at " << ::testing::PrintToString(truth(id));
    }

    WindowEntry named(const std::string& bundleID)
    {
        const auto windows = tidied(read());
        return *std::find_if(windows.begin(), windows.end(),
                             [&](const WindowEntry& w) { return w.bundleID == bundleID; });
    }

    void focus(const WindowEntry& entry)
    {
        const Snapshot snapshot = read();
        EXPECT_FALSE(WindowActions::raise(*desktop, entry, snapshot.element(entry.id)).pending());
        ASSERT_TRUE(until([&] {
            const auto front = desktop->platform.workspace.frontmostApp();
            return front && front->pid == entry.pid;
        })) << entry.bundleID << " never came to the front";
    }
};

TEST_P(AcrossManagersTest, WindowsLandWhereSentAndRecordsHoldWhatTheManagerApplied)
{
    const Screen screen = desktop->platform.displays.screens().front();
    const Rect area = WindowActions::area(*desktop, screen).value();
    const Rect usable = WindowActions::usable(*desktop, screen).value();

    // The catalog's frames are the server's.
    const auto windows = tidied(read());
    ASSERT_EQ(windows.size(), 3u);
    for (const auto& w : windows)
        EXPECT_EQ(w.frame, truth(w.id)) << w.bundleID;

    // A batched tidy: every window in a place of the layout of its own (a
    // manager may restack them meanwhile, which changes the order). Its
    // record holds the frame the manager applied, or, where a loaded manager
    // had not got to the window within the backend's bound, the one it was
    // asked for.
    const auto targets = Tidy::frames(TidyLayout::columns, 3, area, preferences->windowGap(), preferences->mainShare());
    const auto memory = WindowActions::tidy(*desktop, TidyLayout::columns, std::nullopt);
    ASSERT_TRUE(memory);
    ASSERT_EQ(memory->after.size(), 3u);
    const auto placeOf = [&](WindowID id) {
        const Rect got = truth(id);
        return std::size_t(std::min_element(targets.begin(), targets.end(), [&](const Rect& a, const Rect& b) {
                               return std::abs(a.minX() - got.minX()) + std::abs(a.minY() - got.minY()) <
                                      std::abs(b.minX() - got.minX()) + std::abs(b.minY() - got.minY());
                           }) -
                           targets.begin());
    };
    std::string where;
    EXPECT_TRUE(until([&] {
        std::set<std::size_t> places;
        where.clear();
        for (const auto& w : windows) {
            places.insert(placeOf(w.id));
            where += " " + w.bundleID + " " + missed(w.id, targets[placeOf(w.id)]);
        }
        return places.size() == 3 && std::all_of(windows.begin(), windows.end(), [&](const WindowEntry& w) {
                   return missed(w.id, targets[placeOf(w.id)]).empty();
               });
    })) << "not each in a place of its own:" << where;
    for (const auto& w : windows) {
        SCOPED_TRACE(w.bundleID);
        const Rect recorded = memory->after.at(w.id);
        // Close enough for the tidy to be undone (the shell's tolerance).
        const TidyMemory one{.before = {}, .after = {{w.id, recorded}}};
        EXPECT_TRUE(one.isUntouched({{w.id, truth(w.id)}}, 4))
            << ::testing::PrintToString(recorded) << " recorded, " << ::testing::PrintToString(truth(w.id)) << " now";
        EXPECT_EQ(memory->before.at(w.id), w.frame);
    }

    // Its undo puts every window back where it stood.
    WindowActions::undoTidy(*desktop, *memory);
    for (const auto& w : windows) {
        SCOPED_TRACE(w.bundleID);
        expectAt(w.id, w.frame);
    }

    // Snapping the focused window, of each kind.
    for (const std::string kind : {"XTerm", headerBar}) {
        SCOPED_TRACE(kind);
        const WindowEntry w = named(kind);
        focus(w);
        const Size size = truth(w.id).size;
        WindowActions::snapFocused(*desktop, Snap::left);
        expectLanded(w.id, frame(Snap::left, usable, size));
    }

    // Fill the screen: the whole area, and the record says so.
    const WindowEntry big = named(headerBar);
    focus(big);
    const Rect was = truth(big.id);
    const auto filled = WindowActions::focusWindow(*desktop);
    ASSERT_TRUE(filled);
    expectAt(big.id, area);
    // As with the tidy: a manager not done within the backend's bound
    // leaves the frame it stood in for the record.
    const Rect recorded = filled->after.at(big.id);
    EXPECT_TRUE(recorded == area || recorded == was) << ::testing::PrintToString(recorded);
    EXPECT_EQ(filled->before.at(big.id), was);

    // Raising puts a window in front of the others and its program in front.
    const WindowEntry term = named("XTerm");
    focus(term);
    const auto front = tidied(read()).front();
    EXPECT_EQ(front.id, term.id);
    EXPECT_TRUE(until([&] {
        const auto stacking = session->stackingList();
        return !stacking.empty() && stacking.back() == x11->serverWindow(term.id);
    }));

    // A batch the manager applies answers yes for every window.
    std::vector<FrameWrite> writes;
    const Snapshot snapshot = read();
    for (std::size_t i = 0; i < windows.size(); ++i)
        writes.push_back(FrameWrite{snapshot.element(windows[i].id), targets[i]});
    EXPECT_EQ(AX::setFrames(desktop->platform.accessibility, writes), std::vector<bool>(3, true));

    // None of them tiles.
    EXPECT_TRUE(desktop->platform.workspace.windowManagerName());
    EXPECT_EQ(ArrangeEngine::clashingApp(desktop->platform.workspace), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(Managers, AcrossManagersTest,
                         ::testing::Values(test::WindowManager::openbox, test::WindowManager::xfwm4,
                                           test::WindowManager::mutter, test::WindowManager::kwin),
                         [](const auto& info) { return std::string(test::rawValue(info.param)); });

} // namespace
} // namespace kavelo::testing
