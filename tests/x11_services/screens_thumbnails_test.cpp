// Thumbnails of real windows, and the window actions on two RandR monitors.

#include "x11_services_fixture.h"

#include "app/services/thumbnail_cache.h"
#include "app/services/thumbnails.h"
#include "app/services/window_actions.h"
#include "core/snap.h"

#include <set>

namespace kavelo::testing {
namespace {

using ThumbnailsTest = X11ServicesTest;
using MonitorsTest = X11ServicesTest;

std::size_t colours(const Image& image)
{
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i + 3 < image.rgba.size(); i += 4)
        seen.insert(std::uint32_t(image.rgba[i]) << 16 | std::uint32_t(image.rgba[i + 1]) << 8 | image.rgba[i + 2]);
    return seen.size();
}

TEST_F(ThumbnailsTest, DeliversPicturesOfRealWindowsAtTheirScale)
{
    const auto windows = stock();
    const WindowEntry clock = windows.at("XClock");
    const WindowEntry term = windows.at("XTerm");
    // Wide enough to be scaled down.
    AX::setFrame(*read().element(term.id), Rect(100, 100, 900, 500));
    const Rect termFrame = serverFrame(term.id).value();
    ASSERT_GT(termFrame.width(), Thumbnails::maximumWidth);

    // A window draws itself a moment after it is mapped or resized, so a
    // first picture may still be empty: ask again until both show something.
    std::map<WindowID, Image> pictures;
    ASSERT_TRUE(until(
        [&] {
            std::map<WindowID, Image> got;
            auto task = Thumbnails::load(*desktop, {clock.id, syntheticWindowIDBase + 1, term.id},
                                         [&](WindowID id, const Image& image) { got[id] = image; });
            task->wait();
            scheduler.runPending();
            for (const auto& [id, image] : got)
                if (colours(image) >= 2)
                    pictures[id] = image;
            return pictures.size() == 2;
        },
        test::answerDeadline));
    EXPECT_FALSE(pictures.count(syntheticWindowIDBase + 1));

    const auto clockPixels = Thumbnails::pixelSize(serverFrame(clock.id).value().size).value();
    EXPECT_EQ(pictures.at(clock.id).width, clockPixels.first);
    EXPECT_EQ(pictures.at(clock.id).height, clockPixels.second);
    EXPECT_TRUE(pictures.at(clock.id).isValid());
    EXPECT_EQ(pictures.at(term.id).width, 480);
    EXPECT_EQ(pictures.at(term.id).height, Thumbnails::pixelSize(termFrame.size).value().second);
    EXPECT_TRUE(pictures.at(term.id).isValid());
}

TEST_F(ThumbnailsTest, ACancelledTaskDeliversNothing)
{
    const WindowEntry clock = stock().at("XClock");
    int delivered = 0;
    auto task = Thumbnails::load(*desktop, {clock.id}, [&](WindowID, const Image&) { ++delivered; });
    task->cancel();
    task->wait();
    scheduler.runPending();
    EXPECT_TRUE(task->isFinished());
    EXPECT_EQ(delivered, 0);
}

// A window larger than any screen is not read (16k × 16k would be a
// gigabyte) and costs the cache nothing; a window that closes takes its
// picture with it as soon as the server says so.
TEST_F(ThumbnailsTest, AHugeWindowGivesNoPictureAndAClosedOneLosesItsPicture)
{
    const pid_t huge = session->launch({KAVELO_X11_TEST_CLIENT, "--class", "Huge", "--size", "16384x16384", "--min", "16384x16384"});
    const pid_t small = session->launch({KAVELO_X11_TEST_CLIENT, "--class", "Small", "--size", "300x200"});
    Restore end([&] {
        session->terminate(huge);
        session->terminate(small);
    });
    std::map<std::string, WindowEntry> windows;
    ASSERT_TRUE(until([&] {
        windows.clear();
        for (const auto& w : read().windows)
            if (w.bundleID == "Huge" || w.bundleID == "Small")
                windows.emplace(w.bundleID, w);
        return windows.size() == 2;
    }));
    ThumbnailCache cache(desktop->platform.windowServer);
    const auto requests = cache.show({{.id = windows.at("Huge").id, .box = Size(200, 120)},
                                      {.id = windows.at("Small").id, .box = Size(200, 120)}},
                                     ThumbnailCache::Panel::switcher);
    std::map<WindowID, SharedImage> held;
    ASSERT_TRUE(until(
        [&] {
            auto task = Thumbnails::loadSized(*desktop, requests, 1, [&](WindowID id, Image image) {
                if (auto picture = cache.store(id, std::move(image)))
                    held[id] = picture;
            });
            task->wait();
            scheduler.runPending();
            return held.count(windows.at("Small").id) > 0;
        },
        test::answerDeadline));
    EXPECT_EQ(held.count(windows.at("Huge").id), 0u);
    EXPECT_EQ(cache.find(windows.at("Huge").id), nullptr);
    const SharedImage picture = held.at(windows.at("Small").id);
    EXPECT_LE(picture->width, 200);
    EXPECT_LE(picture->height, 120);
    EXPECT_EQ(cache.bytes(), picture->rgba.size());

    std::vector<WindowID> dropped;
    const Handle listening = cache.dropped.connect([&](WindowID id) { dropped.push_back(id); });
    session->terminate(small);
    ASSERT_TRUE(until([&] { return !dropped.empty(); }));
    EXPECT_EQ(dropped, std::vector<WindowID>{windows.at("Small").id});
    EXPECT_EQ(cache.bytes(), 0u);
}

class TwoMonitors {
public:
    explicit TwoMonitors(test::X11Session& session) : session_(session)
    {
        ok_ = session.run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}) &&
              session.run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"});
    }
    ~TwoMonitors()
    {
        session_.run({"xrandr", "--delmonitor", "Left"});
        session_.run({"xrandr", "--delmonitor", "Right"});
    }
    bool ok() const { return ok_; }

private:
    test::X11Session& session_;
    bool ok_ = false;
};

TEST_F(MonitorsTest, ScreensAreasTidyAndSnapOnTwoMonitors)
{
    std::vector<Screen> screens;
    {
        TwoMonitors monitors(*session);
        ASSERT_TRUE(monitors.ok());
        ASSERT_TRUE(until([&] { return (screens = desktop->platform.displays.screens()).size() == 2; }));
        ASSERT_EQ(screens[0].name, "Left");
        ASSERT_EQ(screens[1].name, "Right");

        const auto nameFor = [&](const Rect& r) {
            const auto s = WindowActions::screen(*desktop, r);
            return s ? s->name : std::string("none");
        };
        EXPECT_EQ(nameFor(Rect(100, 100, 300, 200)), "Left");
        EXPECT_EQ(nameFor(Rect(1500, 100, 300, 200)), "Right");
        EXPECT_EQ(nameFor(Rect(940, 100, 100, 100)), "Right");   // 20 on the left, 80 on the right
        EXPECT_EQ(nameFor(Rect(910, 100, 100, 100)), "Left");    // half on each: the first
        EXPECT_EQ(nameFor(Rect(5000, 5000, 10, 10)), "Left");    // on none: the first

        EXPECT_EQ(WindowActions::area(*desktop, screens[0]), std::optional(Rect(10, 10, 940, 1060)));
        EXPECT_EQ(WindowActions::area(*desktop, screens[1]), std::optional(Rect(970, 10, 940, 1060)));
        preferences->setReservedEdges({{"left", 40}, {"top", 0}, {"bottom", 20}});
        EXPECT_EQ(WindowActions::area(*desktop, screens[0]), std::optional(Rect(50, 10, 900, 1040)));
        EXPECT_EQ(WindowActions::area(*desktop, screens[1]), std::optional(Rect(1010, 10, 900, 1040)));
        preferences->setReservedEdges({});

        // xterm on the right monitor, the others on the left: each display
        // is tidied on its own.
        Snapshot snapshot = read();
        auto windows = stock(snapshot);
        AX::setFrame(*snapshot.element(windows.at("XTerm").id), Rect(1100, 100, 500, 400));
        AX::setFrame(*snapshot.element(windows.at("XClock").id), Rect(100, 100, 300, 300));
        AX::setFrame(*snapshot.element(windows.at("XEyes").id), Rect(400, 500, 300, 300));
        const auto memory = WindowActions::tidy(*desktop, TidyLayout::columns, std::nullopt);
        ASSERT_TRUE(memory);
        EXPECT_EQ(memory->before.size(), 3u);
        const Rect left = WindowActions::area(*desktop, screens[0]).value();
        const Rect right = WindowActions::area(*desktop, screens[1]).value();
        expectPlaced(windows.at("XTerm").id, right);
        for (const char* name : {"XClock", "XEyes"}) {
            const Rect got = serverFrame(windows.at(name).id).value();
            EXPECT_EQ(got.intersection(left), got) << name;
            EXPECT_NEAR(got.height(), left.height(), 0.5) << name;
        }
        WindowActions::undoTidy(*desktop, *memory);
        for (const auto& [id, frame] : memory->before)
            EXPECT_EQ(serverFrame(id), std::optional(frame));

        // Snapping keeps the focused window on its own monitor.
        snapshot = read();
        const WindowEntry term = stock(snapshot).at("XTerm");
        EXPECT_FALSE(WindowActions::raise(*desktop, term, snapshot.element(term.id)).pending());
        ASSERT_TRUE(until([&] {
            const auto front = desktop->platform.workspace.frontmostApp();
            return front && front->pid == term.pid;
        }));
        for (Snap snap : {Snap::right, Snap::leftThird, Snap::maximize}) {
            SCOPED_TRACE(std::string(rawValue(snap)));
            const Size current = serverFrame(term.id).value().size;
            WindowActions::snapFocused(*desktop, snap);
            expectPlaced(term.id, frame(snap, Rect(960, 0, 960, 1080), current));
        }
    }
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 1; }));
}

} // namespace
} // namespace kavelo::testing
