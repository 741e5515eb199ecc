// The switcher's panel on a real X server: Qt on the xcb platform, the
// backend and the scheduler pumped by the test, a connection of the test's
// own watching windows come and go.

#include "x11_switcher/x11_switcher_fixture.h"

#include "app/switcher/views/switcher_free_panel.h"

#include <gtest/gtest.h>

#include <set>

using namespace kavelo;
using namespace std::chrono_literals;
using kavelo::testing::X11SwitcherEnvironment;
using kavelo::testing::X11SwitcherTest;

namespace {

// Sees every window mapped on the root, as a user's eyes would.
class MapWatcher {
public:
    explicit MapWatcher(const std::string& display)
    {
        c_ = xcb_connect(display.c_str(), nullptr);
        root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(c_, root_, XCB_CW_EVENT_MASK, &events);
        xcb_aux_sync();
    }
    ~MapWatcher() { xcb_disconnect(c_); }

    // Windows that bypass the manager (our panels) mapped so far.
    const std::set<xcb_window_t>& overrideRedirectMapped()
    {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY) {
                const auto* map = reinterpret_cast<xcb_map_notify_event_t*>(event);
                if (map->override_redirect)
                    mapped_.insert(map->window);
            }
            std::free(event);
        }
        return mapped_;
    }

    std::optional<QRect> geometry(xcb_window_t window)
    {
        auto* g = xcb_get_geometry_reply(c_, xcb_get_geometry(c_, window), nullptr);
        if (!g)
            return std::nullopt;
        const QRect out(g->x, g->y, g->width, g->height);
        std::free(g);
        return out;
    }

    // The window's pixels as the server shows them, 0xRRGGBB.
    std::vector<std::uint32_t> pixels(xcb_window_t window, const QRect& area)
    {
        std::vector<std::uint32_t> out;
        auto* image = xcb_get_image_reply(
            c_,
            xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, std::int16_t(area.x()), std::int16_t(area.y()),
                          std::uint16_t(area.width()), std::uint16_t(area.height()), ~0u),
            nullptr);
        if (!image)
            return out;
        const auto* data = xcb_get_image_data(image);
        const int length = xcb_get_image_data_length(image);
        for (int i = 0; i + 3 < length; i += 4)
            out.push_back(std::uint32_t(data[i + 2]) << 16 | std::uint32_t(data[i + 1]) << 8 | data[i]);
        std::free(image);
        return out;
    }

private:
    void xcb_aux_sync()
    {
        std::free(xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr));
    }
    xcb_connection_t* c_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
    std::set<xcb_window_t> mapped_;
};

// A picture, as opposed to one flat colour: several colours, light ones among them.
bool showsAPicture(const std::vector<std::uint32_t>& pixels)
{
    std::set<std::uint32_t> colours(pixels.begin(), pixels.end());
    int light = 0;
    for (std::uint32_t p : pixels)
        light += ((p >> 16) & 0xFF) > 200 && ((p >> 8) & 0xFF) > 200 && (p & 0xFF) > 200;
    return colours.size() > 3 && light > int(pixels.size() / 4);
}

} // namespace

class X11SwitcherPanel : public X11SwitcherTest {
protected:
    SwitcherPanelFactory factory() override
    {
        host = std::make_unique<PanelHost>(desktop->platform);
        return SwitcherFreePanel::factory(*host, x11->workspace());
    }
    void SetUp() override
    {
        X11SwitcherTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_NE(X11SwitcherEnvironment::application(), nullptr);
        watcher = std::make_unique<MapWatcher>(session->display());
        xterm = *clientOf("XTerm");
        // The witness in front, the xterm just behind it: the one a switch selects.
        ASSERT_TRUE(frontInOrder({*clientOf("XClock"), *clientOf("XEyes"), xterm, *witnessWindow()}));
    }
    void TearDown() override
    {
        controller.reset();
        X11SwitcherTest::TearDown();
    }

    SwitcherFreePanel* freePanel() { return dynamic_cast<SwitcherFreePanel*>(controller->panel()); }
    xcb_window_t panelWindow() { return xcb_window_t(freePanel()->panel().winId()); }
    bool panelMapped()
    {
        return freePanel() && watcher->overrideRedirectMapped().count(panelWindow()) > 0;
    }
    void startSession()
    {
        key(altKey, true);
        tap(tabKey);
        ASSERT_TRUE(until([&] { return controller->isActive() && !controller->model().session().windows.empty(); }));
    }

    std::unique_ptr<PanelHost> host;
    std::unique_ptr<MapWatcher> watcher;
    xcb_window_t xterm = XCB_NONE;
};

TEST_F(X11SwitcherPanel, HeldAltTabMapsThePanelOnlyAfterTheDelayAndFocusStays)
{
    const auto focused = activeWindow();
    startSession();
    settle(300ms);
    EXPECT_TRUE(watcher->overrideRedirectMapped().empty()) << "mapped before the delay";
    scheduler.advance(SwitcherController::showDelay);
    ASSERT_TRUE(until([&] { return panelMapped(); })) << "no MapNotify for the panel";
    settle(100ms);
    EXPECT_EQ(activeWindow(), focused);
    // The panel stands where the controller put it, centred on the one monitor.
    const auto frame = freePanel()->contentFrame();
    ASSERT_TRUE(frame);
    EXPECT_EQ(watcher->geometry(panelWindow()), pixelRect(*frame));
    EXPECT_NEAR(frame->midX(), 960, 0.5);
    EXPECT_NEAR(frame->midY(), 540, 0.5);
    // No compositor: the panel is opaque and cut to its rounded shape.
    EXPECT_TRUE(freePanel()->view().opaque());
    key(altKey, false);
    ASSERT_TRUE(until([&] { return !controller->isActive() && !freePanel()->isShown(); }));
    EXPECT_TRUE(until([&] { return activeWindow() == xterm; }));
}

TEST_F(X11SwitcherPanel, QuickAltTabMapsNothing)
{
    key(altKey, true);
    tap(tabKey);
    key(altKey, false);
    ASSERT_TRUE(until([&] { return activeWindow() == xterm; }));
    scheduler.advance(1);
    settle(300ms);
    EXPECT_EQ(controller->panel(), nullptr);
    EXPECT_TRUE(watcher->overrideRedirectMapped().empty());
}

TEST_F(X11SwitcherPanel, PanelIsCentredOnTheMonitorUnderThePointer)
{
    struct TwoMonitors {
        explicit TwoMonitors(test::X11Session& s) : session(s)
        {
            ok = s.run({"xrandr", "--setmonitor", "Left", "960/254x1080/286+0+0", "screen"}) &&
                 s.run({"xrandr", "--setmonitor", "Right", "960/254x1080/286+960+0", "none"});
        }
        ~TwoMonitors()
        {
            session.run({"xrandr", "--delmonitor", "Left"});
            session.run({"xrandr", "--delmonitor", "Right"});
        }
        test::X11Session& session;
        bool ok = false;
    } monitors(*session);
    ASSERT_TRUE(monitors.ok);
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
    session->movePointer(1500, 300);
    startSession();
    scheduler.advance(SwitcherController::showDelay);
    ASSERT_TRUE(until([&] { return panelMapped(); }));
    const auto geometry = watcher->geometry(panelWindow());
    ASSERT_TRUE(geometry);
    EXPECT_NEAR(geometry->center().x() + 0.5, 960 + 480, 1);
    EXPECT_NEAR(geometry->center().y() + 0.5, 540, 1);
    key(altKey, false);
    ASSERT_TRUE(until([&] { return !controller->isActive(); }));
    session->movePointer(100, 100);
}

TEST_F(X11SwitcherPanel, XtermTileAndCardShowItsPicture)
{
    startSession();
    const WindowEntry* selected = controller->model().selected();
    ASSERT_NE(selected, nullptr);
    ASSERT_EQ(x11->serverWindow(selected->id), xterm);
    const WindowID id = selected->id;
    ASSERT_TRUE(until([&] { return controller->model().thumbnails().count(id) > 0; })) << "no picture of the xterm";
    scheduler.advance(SwitcherController::showDelay);
    ASSERT_TRUE(until([&] { return panelMapped(); }));

    // The view fills the panel (no shadow margin without a compositor).
    SwitcherView& view = freePanel()->view();
    ASSERT_EQ(view.content(), SwitcherView::Content::map);
    const auto tile = view.mapView()->tileRect(id);
    ASSERT_TRUE(tile);
    const QRect onTile = QRectF(view.mapView()->mapTo(&freePanel()->panel(), tile->topLeft()), tile->size())
                             .toAlignedRect()
                             .adjusted(3, 3, -3, -3);
    EXPECT_TRUE(until([&] { return showsAPicture(watcher->pixels(panelWindow(), onTile)); }))
        << "the xterm's tile shows no picture";

    for (std::uint16_t letter : {7, 17}) // x t
        tap(letter);
    ASSERT_TRUE(until([&] { return controller->model().session().query == "xt"; }));
    // The selection springs over to the xterm's card.
    scheduler.advance(1);
    ASSERT_EQ(view.content(), SwitcherView::Content::results);
    ASSERT_EQ(controller->model().result(0).id, id);
    const QRectF card = view.row()->cardRect(0);
    const QRect onCard =
        QRectF(view.row()->mapTo(&freePanel()->panel(), card.topLeft() + QPointF(12, 12)), QSizeF(148, 88))
            .toAlignedRect();
    EXPECT_TRUE(until([&] { return showsAPicture(watcher->pixels(panelWindow(), onCard)); }))
        << "the xterm's card shows no picture";
    tap(escapeKey);
    key(altKey, false);
    ASSERT_TRUE(until([&] { return !controller->isActive(); }));
}
