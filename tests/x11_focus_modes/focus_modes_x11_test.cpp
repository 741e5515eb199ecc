// Clean Space and No peek on a real X server: a private Xvfb with openbox,
// an xterm, a second xterm of another class (another application that takes
// the focus, which xclock declines) and an xclock, this program's panels as
// real Qt windows on the same display, once without and once with a
// compositing manager.

#include "app/engine/clean_space.h"
#include "app/engine/no_peek.h"
#include "app/engine/panels/focus_mode_windows.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/ax.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "app/ui/theme.h"
#include "services/temp_home.h"
#include "support/x11_qt_app.h"
#include "support/x11_qt_desktop.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QBackingStore>

#include <gtest/gtest.h>

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <set>
#include <thread>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

using X11Qt = test::X11QtApp;
[[maybe_unused]] ::testing::Environment* const environment = test::addX11QtApp(
    "x11_focus_modes_tests", {.clients = {"xterm", "xclock"},
           .started = [](test::X11Session& session) { session.launch({"xterm", "-class", "Second"}); }});

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};

class FocusModesX11 : public test::X11QtDesktopTest<::testing::TestWithParam<bool>> {
protected:
    FocusModesX11() : X11QtDesktopTest("the focus-mode tests") {}

    void SetUp() override
    {
        X11QtDesktopTest::SetUp();
        if (!ready())
            return;
        ASSERT_TRUE(x11->hasWindowManager());
        host = std::make_unique<PanelHost>(desktop->platform);
        panels = std::make_unique<FocusModeWindows>(*host);
        working = std::make_unique<WorkingApp>(x11->workspace());

        if (GetParam()) {
            compositor = session->launch({"xcompmgr"});
            ASSERT_TRUE(until([&] { return x11->windowServer().blendsPanels(); })) << "xcompmgr did not start";
        }
        EXPECT_EQ(host->blends(), GetParam());

        // The xterm at the left, the other two at the right, apart, the
        // xterm active.
        ASSERT_TRUE(until([&] { return find("XTerm") && find("XClock") && find("Second"); }));
        AX::setFrame(*element(find("XTerm")->id), Rect(100, 120, 500, 300));
        AX::setFrame(*element(find("XClock")->id), Rect(1600, 100, 200, 200));
        AX::setFrame(*element(find("Second")->id), Rect(1200, 500, 600, 400));
        activate(find("XTerm")->id);
        ASSERT_TRUE(until([&] { return activeIs("XTerm"); }));
    }

    void TearDown() override
    {
        if (compositor > 0) {
            kill(compositor, SIGTERM);
            waitpid(compositor, nullptr, 0);
        }
        noPeek.reset();
        clean.reset();
        working.reset();
        panels.reset();
        host.reset();
        X11QtDesktopTest::TearDown();
    }

    // Runs what the server sent, what Qt has queued (its requests reach the
    // server), and what the backend queued.
    void pump()
    {
        x11->processEvents();
        QCoreApplication::processEvents();
        scheduler.runPending();
    }
    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }
    // Moves the scheduler's time on in animation frames, pumping and
    // giving the manager a moment between them.
    void play(double seconds)
    {
        for (double t = 0; t < seconds - 1e-9; t += 1.0 / 60) {
            scheduler.advance(std::min(1.0 / 60, seconds - t));
            pump();
            std::this_thread::sleep_for(2ms);
        }
        pump();
    }

    std::optional<WindowEntry> find(const std::string& bundleID)
    {
        for (const auto& w : WindowCatalog::read(*desktop).windows)
            if (w.bundleID == bundleID && w.state == WindowState::visible)
                return w;
        return std::nullopt;
    }
    ElementRef element(WindowID id) { return WindowCatalog::read(*desktop).element(id); }
    xcb_window_t server(WindowID id) { return x11->serverWindow(id).value_or(XCB_NONE); }

    // As a task bar does: asks the manager to activate the window.
    void activate(WindowID id)
    {
        xcb_connection_t* c = session->connection();
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = server(id);
        message.type = session->atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = 2;   // a pager or task bar
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, session->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c);
    }
    std::optional<xcb_window_t> active()
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_property_reply_t, FreeReply> r(xcb_get_property_reply(
            c, xcb_get_property(c, 0, session->root(), session->atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 0, 1),
            nullptr));
        if (!r || xcb_get_property_value_length(r.get()) != 4)
            return std::nullopt;
        return *static_cast<xcb_window_t*>(xcb_get_property_value(r.get()));
    }
    bool activeIs(const std::string& bundleID)
    {
        const auto w = find(bundleID);
        return w && active() == server(w->id);
    }

    std::vector<std::uint32_t> cardinals(xcb_window_t window, const char* property)
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_property_reply_t, FreeReply> r(xcb_get_property_reply(
            c, xcb_get_property(c, 0, window, session->atom(property), XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
        if (!r || r->format != 32)
            return {};
        const auto* v = static_cast<const std::uint32_t*>(xcb_get_property_value(r.get()));
        return std::vector<std::uint32_t>(v, v + xcb_get_property_value_length(r.get()) / 4);
    }
    std::set<xcb_atom_t> atoms(xcb_window_t window, const char* property)
    {
        const auto values = cardinals(window, property);
        return std::set<xcb_atom_t>(values.begin(), values.end());
    }

    // The window's frame as the server has it (with decorations).
    std::optional<Rect> frameOf(xcb_window_t window) { return session->frame(window); }
    bool mapped(xcb_window_t window)
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> a(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    // One pixel of the screen as the user sees it.
    std::optional<QColor> pixel(int x, int y)
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_image_reply_t, FreeReply> image(xcb_get_image_reply(
            c, xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, session->root(), std::int16_t(x), std::int16_t(y), 1, 1, ~0u),
            nullptr));
        if (!image || xcb_get_image_data_length(image.get()) < 4)
            return std::nullopt;
        const std::uint8_t* d = xcb_get_image_data(image.get());
        return QColor(d[2], d[1], d[0]);
    }

    // The whole screen as the user sees it, saved where the tests leave
    // their pictures.
    void saveScreen(const std::string& name)
    {
        test::saveScreen(*session, name + (GetParam() ? "_composited.png" : "_plain.png"));
    }
    std::string stackingText()
    {
        std::string text;
        for (xcb_window_t w : session->stackingList())
            text += std::to_string(w) + "(" + session->wmClass(w).value_or("?") + ") ";
        return text;
    }

    template <class Window>
    std::vector<Window*> windows() const
    {
        std::vector<Window*> out;
        for (FreePanel* panel : host->panels())
            if (auto* w = dynamic_cast<Window*>(panel))
                out.push_back(w);
        return out;
    }

    void expectNearFrame(const std::optional<Rect>& got, const Rect& wanted, double tolerance = 0.5)
    {
        ASSERT_TRUE(got);
        EXPECT_NEAR(got->minX(), wanted.minX(), tolerance) << *got << " vs " << wanted;
        EXPECT_NEAR(got->minY(), wanted.minY(), tolerance) << *got << " vs " << wanted;
        EXPECT_NEAR(got->width(), wanted.width(), tolerance) << *got << " vs " << wanted;
        EXPECT_NEAR(got->height(), wanted.height(), tolerance) << *got << " vs " << wanted;
    }

    std::unique_ptr<PanelHost> host;
    std::unique_ptr<FocusModeWindows> panels;
    std::unique_ptr<WorkingApp> working;
    std::unique_ptr<CleanSpace> clean;
    std::unique_ptr<NoPeek> noPeek;
    pid_t compositor = -1;
};

} // namespace

TEST_P(FocusModesX11, CleanSpaceFillsTheMonitorWithCurtainsBelowTheXtermUntilAnotherApplicationIsActivated)
{
    const WindowEntry term = *find("XTerm");
    const WindowEntry second = *find("Second");
    const Rect before = *frameOf(server(term.id));
    std::vector<double> pauses;
    clean = std::make_unique<CleanSpace>(*desktop, *working, *panels);
    clean->pauseArranging = [&](double seconds) { pauses.push_back(seconds); };
    clean->start();

    preferences->setCleanSpaceOn(true);
    play(CleanSpace::tick);
    ASSERT_TRUE(clean->active());
    EXPECT_EQ(clean->active()->id, term.id);
    EXPECT_EQ(pauses, std::vector<double>{CleanSpace::pause});
    const auto curtains = windows<CurtainWindow>();
    ASSERT_EQ(curtains.size(), 2u);
    const std::vector<xcb_window_t> curtainWindows{xcb_window_t(curtains[0]->winId()),
                                                   xcb_window_t(curtains[1]->winId())};

    play(Curtains::duration + 0.05);
    // The monitor's usable area (no panels reserve any) less the gap; xterm
    // takes whole character cells.
    ASSERT_TRUE(until([&] {
        const auto f = frameOf(server(term.id));
        return f && std::abs(f->minX() - 10) < 0.5 && std::abs(f->minY() - 10) < 0.5;
    })) << *frameOf(server(term.id));
    const Rect filled = *frameOf(server(term.id));
    const Size cell = session->resizeIncrements(server(term.id));
    EXPECT_LE(filled.width(), 1900.5);
    EXPECT_GT(filled.width(), 1900 - cell.width - 0.5);
    EXPECT_LE(filled.height(), 1060.5);
    EXPECT_GT(filled.height(), 1060 - cell.height - 0.5);

    // Managed, undecorated, never focused, off the task bar and the pager,
    // directly below the xterm in the manager's stacking, meeting in the
    // middle.
    ASSERT_TRUE(until([&] {
        const auto stack = session->stackingList();
        const auto at = std::find(stack.begin(), stack.end(), server(term.id));
        if (at == stack.end() || at - stack.begin() < 2)
            return false;
        const std::set<xcb_window_t> below{*(at - 1), *(at - 2)};
        return below == std::set<xcb_window_t>(curtainWindows.begin(), curtainWindows.end());
    })) << "the curtains " << curtainWindows[0] << ", " << curtainWindows[1]
         << " do not stand directly below the xterm " << server(term.id) << ": " << stackingText();
    saveScreen("clean_space_x11");
    // Composited, each window reaches past its inner edge for its shadow.
    const double m = GetParam() ? CurtainWindow::shadowWidth : 0;
    const Rect closed[] = {Rect(0, 0, 960 + m, 1080), Rect(960 - m, 0, 960 + m, 1080)};
    // The manager may still owe the last frames of the animation.
    until([&] {
        for (int i : {0, 1}) {
            const auto f = frameOf(curtainWindows[i]);
            if (!f || std::abs(f->minX() - closed[i].minX()) > 0.5 || std::abs(f->width() - closed[i].width()) > 0.5)
                return false;
        }
        return true;
    });
    expectNearFrame(frameOf(curtainWindows[0]), closed[0]);
    expectNearFrame(frameOf(curtainWindows[1]), closed[1]);
    EXPECT_TRUE(activeIs("XTerm"));
    const auto clientList = session->clientList();
    for (xcb_window_t w : curtainWindows)
        EXPECT_NE(std::find(clientList.begin(), clientList.end(), w), clientList.end()) << "a managed window";
    for (xcb_window_t w : curtainWindows) {
        const auto states = atoms(w, "_NET_WM_STATE");
        EXPECT_TRUE(states.count(session->atom("_NET_WM_STATE_SKIP_TASKBAR")));
        EXPECT_TRUE(states.count(session->atom("_NET_WM_STATE_SKIP_PAGER")));
        EXPECT_FALSE(states.count(session->atom("_NET_WM_STATE_STICKY"))) << "on the current desktop only";
        EXPECT_EQ(cardinals(w, "_NET_WM_DESKTOP"), std::vector<std::uint32_t>{*session->currentDesktop()});
        EXPECT_EQ(cardinals(w, "_NET_FRAME_EXTENTS"), (std::vector<std::uint32_t>{0, 0, 0, 0})) << "undecorated";
        xcb_icccm_wm_hints_t hints{};
        ASSERT_TRUE(xcb_icccm_get_wm_hints_reply(session->connection(),
                                                 xcb_icccm_get_wm_hints(session->connection(), w), &hints, nullptr));
        EXPECT_TRUE((hints.flags & XCB_ICCCM_WM_HINT_INPUT) && !hints.input) << "never takes the focus";
    }
    // Around the xterm the screen is night.
    const auto corner = pixel(3, 1075);
    ASSERT_TRUE(corner);
    EXPECT_EQ(corner->rgb(), QColor(Theme::night().rgb()).rgb());
    // Without the shadow a curtain is one colour, filled by the server.
    for (CurtainWindow* curtain : curtains) {
        if (!GetParam() && curtain->backingStore()) {
            EXPECT_TRUE(curtain->backingStore()->size().isEmpty()) << curtain->backingStore()->size().width();
        }
    }

    // The user picks the other application in a task bar: the mode ends.
    activate(second.id);
    ASSERT_TRUE(until([&] { return activeIs("Second"); }));
    play(CleanSpace::tick);
    EXPECT_FALSE(clean->active());
    EXPECT_FALSE(preferences->cleanSpaceOn());
    EXPECT_EQ(pauses, (std::vector<double>{CleanSpace::pause, 0}));
    play(Curtains::duration + 0.05);
    EXPECT_TRUE(windows<CurtainWindow>().empty());
    // The opening curtains did not pull the xterm back over the window the
    // user picked.
    const auto stack = session->stackingList();   // bottom to top
    EXPECT_GT(std::find(stack.begin(), stack.end(), server(second.id)) - stack.begin(),
              std::find(stack.begin(), stack.end(), server(term.id)) - stack.begin())
        << stackingText();
    ASSERT_TRUE(until([&] {
        const auto f = frameOf(server(term.id));
        return f && std::abs(f->minX() - before.minX()) < 0.5 && std::abs(f->minY() - before.minY()) < 0.5;
    }));
    expectNearFrame(frameOf(server(term.id)), before);
    ASSERT_TRUE(until([&] {
        const auto list = session->clientList();
        return std::none_of(curtainWindows.begin(), curtainWindows.end(), [&](xcb_window_t w) {
            return std::find(list.begin(), list.end(), w) != list.end();
        });
    })) << "the curtains left";
}

TEST_P(FocusModesX11, NoPeekBandsFollowTheXtermAndLetClicksThrough)
{
    const WindowEntry term = *find("XTerm");
    noPeek = std::make_unique<NoPeek>(*desktop, *working, *panels);
    noPeek->start();
    preferences->setNoPeekOn(true);
    play(NoPeek::tick);
    ASSERT_TRUE(noPeek->isShown());
    const auto bands = windows<ShadeBandWindow>();
    ASSERT_EQ(bands.size(), 4u);

    // The bands lie around the xterm's frame, as the server has them.
    const auto bandsAround = [&](const Rect& hole) {
        std::vector<Rect> frames;
        for (ShadeBandWindow* band : bands)
            if (band->isVisible())
                if (auto f = frameOf(xcb_window_t(band->winId())); f && mapped(xcb_window_t(band->winId())))
                    frames.push_back(*f);
        std::sort(frames.begin(), frames.end(),
                  [](const Rect& a, const Rect& b) { return std::pair(a.minY(), a.minX()) < std::pair(b.minY(), b.minX()); });
        const std::vector<Rect> wanted{Rect(0, 0, 1920, hole.minY()), Rect(0, hole.minY(), hole.minX(), hole.height()),
                                       Rect(hole.maxX(), hole.minY(), 1920 - hole.maxX(), hole.height()),
                                       Rect(0, hole.maxY(), 1920, 1080 - hole.maxY())};
        return frames == wanted;
    };
    const Rect hole = *frameOf(server(term.id));
    ASSERT_TRUE(until([&] { return bandsAround(hole); })) << "bands around " << hole;

    // The server moves the xterm; within a tick the hole is there.
    xcb_connection_t* c = session->connection();
    const std::uint32_t position[] = {500, 380};
    xcb_configure_window(c, server(term.id), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, position);
    xcb_flush(c);
    ASSERT_TRUE(until([&] { return frameOf(server(term.id))->minY() != hole.minY(); }));
    const Rect moved = *frameOf(server(term.id));
    play(NoPeek::tick);
    ASSERT_TRUE(until([&] { return bandsAround(moved); }, test::answerDeadline)) << "bands around " << moved;

    saveScreen("no_peek_x11");
    // Outside the hole the screen is black, or darkened where a compositor
    // blends.
    const auto shaded = pixel(1500, 800);   // inside the second xterm, under a band
    ASSERT_TRUE(shaded);
    if (GetParam()) {
        EXPECT_GT(shaded->red(), 0) << "a quarter of what lies below";
        EXPECT_LT(shaded->red(), 80);
    } else {
        EXPECT_EQ(shaded->rgb(), QColor(Qt::black).rgb());
    }
    // The server fills them: no band holds a picture the size of its part of the display.
    for (ShadeBandWindow* band : bands) {
        if (band->isVisible() && band->backingStore()) {
            EXPECT_TRUE(band->backingStore()->size().isEmpty()) << band->backingStore()->size().width();
        }
    }

    // A click on a band reaches the second xterm below it.
    session->movePointer(1500, 800);
    session->button(1, true);
    session->button(1, false);
    EXPECT_TRUE(until([&] { return activeIs("Second"); })) << "the click did not go through";
    const Rect secondFrame = *frameOf(server(find("Second")->id));
    play(NoPeek::tick);
    EXPECT_TRUE(until([&] { return bandsAround(secondFrame); }, test::answerDeadline))
        << "the hole moved to the second xterm";

    preferences->setNoPeekOn(false);
    play(NoPeek::tick);
    for (ShadeBandWindow* band : bands)
        EXPECT_TRUE(until([&] { return !mapped(xcb_window_t(band->winId())); }));
}

INSTANTIATE_TEST_SUITE_P(, FocusModesX11, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "withCompositor" : "withoutCompositor";
                         });
