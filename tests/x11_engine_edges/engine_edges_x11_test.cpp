// The engine's edge zones and tab bars as real Qt windows on a private Xvfb
// with openbox, over real xterms: XTest clicks on them move the xterms, as
// the server reports, and never give the panels the input focus.

#include "app/engine/arrange_engine.h"
#include "app/engine/panels/edge_zones_panel.h"
#include "app/engine/panels/tab_bars_panel.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
#include "engine/engine_probe.h"
#include "services/temp_home.h"
#include "support/caught_up.h"
#include "support/x11_qt_app.h"
#include "support/x11_qt_desktop.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;
using namespace std::chrono_literals;

namespace {

using X11Qt = test::X11QtApp;
[[maybe_unused]] ::testing::Environment* const environment =
    test::addX11QtApp("x11_engine_edges_tests", {.quitOnLastWindowClosed = false});

// The Qt tab bars and edge zones, recording stand-ins for the rest.
class EdgePanels : public EnginePanels {
public:
    EdgePanels(PanelHost& host, const Platform& platform) : host_(host), platform_(platform) {}
    std::unique_ptr<TabBars> makeTabBars() override
    {
        auto out = std::make_unique<TabBarsPanel>(host_, platform_.workspace);
        tabBars = out.get();
        return out;
    }
    std::unique_ptr<EdgeZones> makeEdgeZones() override
    {
        auto out = std::make_unique<EdgeZonesPanel>(host_, platform_.displays);
        edgeZones = out.get();
        return out;
    }
    std::unique_ptr<IndicatorPanel> makeIndicatorPanel() override { return std::make_unique<RecordingIndicatorPanel>(); }
    std::unique_ptr<Highlight> makeHighlight(WorkingApp&) override { return std::make_unique<RecordingHighlight>(); }

    TabBarsPanel* tabBars = nullptr;
    EdgeZonesPanel* edgeZones = nullptr;

private:
    PanelHost& host_;
    const Platform& platform_;
};

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};

// Once without a compositing manager (opaque panels, masked corners, the
// zone a night line) and once with one (the zone at 1 % white).
class EngineEdgesX11 : public test::X11QtDesktopTest<::testing::TestWithParam<bool>> {
protected:
    EngineEdgesX11() : X11QtDesktopTest("the edge and tab tests") {}

    void SetUp() override
    {
        X11QtDesktopTest::SetUp();
        if (!ready())
            return;
        host = std::make_unique<PanelHost>(desktop->platform);
        if (GetParam()) {
            compositor = session->launch({"xcompmgr"});
            ASSERT_TRUE(until([&] { return x11->windowServer().blendsPanels(); })) << "xcompmgr did not start";
        }
        ASSERT_EQ(host->blends(), GetParam());
        panels = std::make_unique<EdgePanels>(*host, desktop->platform);
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, *panels);
        engine->start();
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        if (compositor > 0)
            session->terminate(compositor);
        for (pid_t pid : terms)
            session->terminate(pid);
        if (x11)
            until([&] { return xterms().empty(); });
        terms.clear();
        panels.reset();
        host.reset();
        X11QtDesktopTest::TearDown();
    }

    // What the server sent, what Qt has queued, then one poll of the engine.
    void pump()
    {
        x11->processEvents();
        QCoreApplication::processEvents();
        scheduler.advance(ArrangeEngine::pollInterval);
    }
    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }

    std::vector<WindowID> xterms()
    {
        std::vector<WindowID> out;
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if (w.bundleID == "XTerm" && w.state == WindowState::visible && snapshot.element(w.id))
                out.push_back(w.id);
        return out;
    }

    // `n` xterms, each in a column of its own.
    bool openXterms(std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            terms.push_back(session->launch({"xterm"}));
        return until([&] {
            if (xterms().size() != n || engine->strips().size() != 1)
                return false;
            const auto& strip = engine->strips().begin()->second;
            return strip.columns.size() == n && !engine->isAnimating();
        });
    }

    const Strip& strip() const { return engine->strips().begin()->second; }
    Rect area() const { return *WindowActions::area(*desktop, desktop->platform.displays.screens().front()); }
    xcb_window_t server(WindowID id) const { return x11->serverWindow(id).value_or(XCB_NONE); }
    std::optional<Rect> serverFrame(WindowID id) { return test::serverFrame(*x11, *session, id); }
    std::ptrdiff_t stackIndex(WindowID id) const
    {
        const auto stack = session->stackingList();
        return std::find(stack.begin(), stack.end(), server(id)) - stack.begin();
    }

    // As a task bar does: asks the manager to activate the window.
    void activate(WindowID id)
    {
        xcb_connection_t* c = session->connection();
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = server(id);
        message.type = session->atom("_NET_ACTIVE_WINDOW");
        message.data.data32[0] = 2;
        message.data.data32[1] = XCB_CURRENT_TIME;
        xcb_send_event(c, 0, session->root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(c);
    }

    void click(Point at)
    {
        session->movePointer(int(at.x), int(at.y));
        session->sync();
        session->button(1, true);
        session->button(1, false);
        session->sync();
    }

    xcb_window_t inputFocus() const
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_input_focus_reply_t, FreeReply> r(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return r ? r->focus : XCB_NONE;
    }
    // Whether the input focus or the manager's active window is one of this
    // program's panels.
    bool panelHasFocus() const
    {
        const auto focus = inputFocus();
        const auto active = session->activeWindow();
        for (FreePanel* panel : host->panels()) {
            const auto w = xcb_window_t(panel->winId());
            if (w == focus || (active && *active == w))
                return true;
        }
        return false;
    }

    // The whole screen as the user sees it, where the tests leave their
    // pictures.
    void saveScreen(const std::string& name) { test::saveScreen(*session, name); }

    std::string describe()
    {
        std::ostringstream out;
        for (WindowID id : xterms()) {
            out << "\n  window " << id << " at ";
            if (const auto f = serverFrame(id))
                out << *f;
            if (engine->stripFrames().count(id))
                out << " strip frame " << engine->stripFrames().at(id);
        }
        if (!engine->strips().empty())
            out << "\n  strip focus " << strip().focused.value_or(0);
        out << (engine->isAnimating() ? ", animating" : ", at rest");
        if (const auto app = working->current())
            out << ", working application " << app->pid;
        return out.str();
    }

    std::unique_ptr<PanelHost> host;
    std::unique_ptr<EdgePanels> panels;
    std::unique_ptr<WorkingApp> working;
    RecordingToast toast;
    std::unique_ptr<ArrangeEngine> engine;
    std::vector<pid_t> terms;
    pid_t compositor = -1;
};

} // namespace

TEST_P(EngineEdgesX11, AClickOnTheRightZoneBringsTheParkedXtermIntoView)
{
    ASSERT_TRUE(openXterms(3)) << describe();
    const WindowID first = strip().columns[0].ids[0];
    const WindowID last = strip().columns[2].ids[0];
    activate(first);
    ASSERT_TRUE(until([&] {
        const auto& zones = panels->edgeZones->zones();
        return strip().focused == first && zones.size() == 1 && !zones[0].onLeft && !engine->isAnimating();
    })) << describe();
    const auto targets = panels->edgeZones->panels();
    ASSERT_EQ(targets.size(), 2u);
    for (EdgeTarget* target : targets)
        ASSERT_TRUE(until([&] { return session->frame(xcb_window_t(target->winId())).has_value(); }));
    const Rect zone = *session->frame(xcb_window_t(targets[0]->winId()));
    EXPECT_EQ(zone, Rect(1917, area().minY(), 3, area().height()));
    // Composited, with the room of the badge's shadow round it.
    const double m = GetParam() ? EdgeBadge::shadowMargin() : 0;
    EXPECT_EQ(*session->frame(xcb_window_t(targets[1]->winId())),
              Rect(1894 - m, area().midY() - 23 - m, 26 + m, 46 + 2 * m));
    // Parked: openbox leaves no more than a sliver of it on screen.
    ASSERT_TRUE(serverFrame(last));
    EXPECT_LT(1920 - serverFrame(last)->minX(), serverFrame(last)->width() / 4) << describe();
    saveScreen(GetParam() ? "edge_zones_x11_composited.png" : "edge_zones_x11_plain.png");

    // On the strip, above the badge.
    click(Point(1918, area().minY() + 60));
    ASSERT_TRUE(until([&] {
        const auto f = serverFrame(last);
        return strip().focused == last && f && f->minX() >= area().minX() - 0.5 && f->maxX() <= area().maxX() + 0.5;
    })) << describe();
    EXPECT_TRUE(until([&] { return session->activeWindow() == server(last); }));
    EXPECT_FALSE(panelHasFocus());
    // Nothing waits on the right any more; the first column does on the left.
    ASSERT_TRUE(until([&] { return panels->edgeZones->zones().size() == 1; }));
    EXPECT_TRUE(panels->edgeZones->zones()[0].onLeft);

    // The badge on the left brings the first one back.
    const EdgeTarget* badge = panels->edgeZones->panels().at(1);
    ASSERT_TRUE(until([&] { return session->frame(xcb_window_t(badge->winId())).has_value(); }));
    const Rect at = *session->frame(xcb_window_t(badge->winId()));
    click(Point(at.midX(), at.midY()));
    ASSERT_TRUE(until([&] {
        const auto f = serverFrame(first);
        return strip().focused == first && f && f->minX() >= area().minX() - 0.5;
    })) << describe();
    EXPECT_FALSE(panelHasFocus());
}

TEST_P(EngineEdgesX11, AClickOnATabShowsTheOtherXtermOnTop)
{
    ASSERT_TRUE(openXterms(2)) << describe();
    const WindowID a = strip().columns[0].ids[0];
    const WindowID b = strip().columns[1].ids[0];
    activate(a);
    ASSERT_TRUE(until([&] { return strip().focused == a && !engine->isAnimating(); })) << describe();

    Strip& tabbed = EngineProbe::strips(*engine).begin()->second;
    tabbed.columns = {Strip::Column{.ids = {a, b}, .width = 0.5, .tabbed = true, .active = a}};
    tabbed.focused = a;
    EngineProbe::applyStrips(*engine);
    ASSERT_EQ(panels->tabBars->panels().size(), 1u);
    const TabBarWindow* bar = panels->tabBars->panels()[0].get();
    ASSERT_TRUE(until([&] {
        const auto f = session->frame(xcb_window_t(bar->winId()));
        return f && *f == Rect(area().minX(), area().minY(), bar->frame().width(), 30) && stackIndex(a) > stackIndex(b);
    })) << describe();

    saveScreen(GetParam() ? "tab_bar_x11_composited.png" : "tab_bar_x11_plain.png");
    const QRectF tab = bar->row().tabRects()[1];
    click(Point(bar->frame().minX() + tab.center().x(), bar->frame().minY() + tab.center().y()));
    ASSERT_TRUE(until([&] { return stackIndex(b) > stackIndex(a); })) << describe();
    EXPECT_EQ(strip().columns.at(0).active, b);
    // The two lie on top of each other under the bar.
    const auto fa = serverFrame(a);
    const auto fb = serverFrame(b);
    ASSERT_TRUE(fa && fb);
    EXPECT_EQ(fa->origin, fb->origin);
    EXPECT_EQ(fb->minY(), area().minY() + Strip::tabHeight);
    EXPECT_FALSE(panelHasFocus());
}

// Auto mode with two tiles and four xterms: the shared tile's bar is shown
// on its own desktop only, and again when that desktop comes back.
TEST_P(EngineEdgesX11, AnAutoDesktopShowsItsOwnTabBarOnlyAndAgainWhenItComesBack)
{
    preferences->setMaxTiles(2);
    preferences->setArrangeMode(ArrangeMode::auto_);
    engine->settingsChanged();
    const auto barsShown = [&] {
        std::size_t n = 0;
        for (const auto& bar : panels->tabBars->panels()) {
            xcb_connection_t* c = session->connection();
            std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> a(xcb_get_window_attributes_reply(
                c, xcb_get_window_attributes(c, xcb_window_t(bar->winId())), nullptr));
            n += a && a->map_state == XCB_MAP_STATE_VIEWABLE ? 1 : 0;
        }
        return n;
    };
    for (int i = 0; i < 4; ++i)
        terms.push_back(session->launch({"xterm"}));
    ASSERT_TRUE(until([&] {
        const auto& order = engine->autoOrder();
        return xterms().size() == 4 && order.size() == 1 && order.begin()->second.size() == 4 && barsShown() == 1;
    })) << describe();

    session->switchToDesktop(1);
    EXPECT_TRUE(until([&] { return barsShown() == 0; })) << "the bar stays over the other desktop";
    terms.push_back(session->launch({"xterm"}));
    ASSERT_TRUE(until([&] { return xterms().size() == 1 && engine->autoOrder().size() == 2; })) << describe();
    for (int i = 0; i < 5; ++i)
        pump();
    EXPECT_EQ(barsShown(), 0u);

    session->switchToDesktop(0);
    EXPECT_TRUE(until([&] { return barsShown() == 1 && xterms().size() == 4; })) << "the desktop came back without its bar";
}

INSTANTIATE_TEST_SUITE_P(Compositing, EngineEdgesX11, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Composited" : "Plain"; });
