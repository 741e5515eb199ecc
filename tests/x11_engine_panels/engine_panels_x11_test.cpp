// The arrange engine with its Qt panels on a real X server: a private Xvfb
// with openbox and three xterms laid out as strip columns, the strip
// indicator as a real Qt window on the same display, clicked through XTest.

#include "app/engine/arrange_engine.h"
#include "app/engine/panels/qt_engine_panels.h"
#include "app/engine/panels/strip_indicator_panel.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "engine/engine_fakes.h"
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

#include <chrono>
#include <cstdlib>
#include <memory>
#include <sstream>

using namespace kavelo;
using namespace std::chrono_literals;

namespace {

using X11Qt = test::X11QtApp;
[[maybe_unused]] ::testing::Environment* const environment = test::addX11QtApp("x11_engine_panels_tests");

struct FreeReply {
    void operator()(void* p) const { std::free(p); }
};

class EngineCommandsX11 : public test::X11QtDesktopTest<> {
protected:
    EngineCommandsX11() : X11QtDesktopTest("the engine's panel tests") {}

    void SetUp() override
    {
        X11QtDesktopTest::SetUp();
        if (!ready())
            return;
        host = std::make_unique<PanelHost>(desktop->platform);
        panels = std::make_unique<QtEnginePanels>(*desktop, *host);
        working = std::make_unique<WorkingApp>(x11->workspace());
        preferences->setArrangeMode(ArrangeMode::strip);
        engine = std::make_unique<ArrangeEngine>(*desktop, *working, toast, *panels);
        engine->start();

        for (std::size_t n = 1; n <= 3; ++n) {
            terms.push_back(session->launch({"xterm"}));
            ASSERT_TRUE(until([&] { return columns() == n && !engine->isAnimating(); })) << n << " xterms";
        }
        key = engine->strips().begin()->first;
        area = *WindowActions::area(*desktop, desktop->platform.displays.screens().front());
        // The newest focused once openbox has given it the focus, and the
        // oldest waiting past the left edge.
        ASSERT_TRUE(until([&] {
            const auto& columns = strip().columns;
            const auto oldest = serverFrame(columns[0].ids[0]);
            return !engine->isAnimating() && strip().focused == columns[2].ids[0] && oldest && oldest->minX() < area.minX();
        }));
    }

    void TearDown() override
    {
        engine.reset();
        working.reset();
        panels.reset();
        host.reset();
        for (pid_t pid : terms)
            ::kill(pid, SIGTERM);
        if (x11)
            until([&] { return xterms().empty(); });
        terms.clear();
        X11QtDesktopTest::TearDown();
    }

    // What the server sent, what Qt has queued, and a poll's worth of the
    // engine's time.
    void pump(double seconds = ArrangeEngine::pollInterval)
    {
        x11->processEvents();
        QCoreApplication::processEvents();
        scheduler.advance(seconds);
    }
    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline,
                       double seconds = 0.4)
    {
        return test::waitFor(done, timeout, [&] { pump(seconds); });
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
    std::size_t columns() const
    {
        return engine->strips().empty() ? 0 : engine->strips().begin()->second.columns.size();
    }
    const Strip& strip() const { return engine->strips().at(key); }
    std::optional<Rect> serverFrame(WindowID id) { return test::serverFrame(*x11, *session, id); }
    bool mapped(xcb_window_t window)
    {
        xcb_connection_t* c = session->connection();
        std::unique_ptr<xcb_get_window_attributes_reply_t, FreeReply> a(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
        return a && a->map_state == XCB_MAP_STATE_VIEWABLE;
    }

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
        return out.str();
    }

    std::unique_ptr<PanelHost> host;
    std::unique_ptr<QtEnginePanels> panels;
    std::unique_ptr<WorkingApp> working;
    kavelo::testing::RecordingToast toast;
    std::unique_ptr<ArrangeEngine> engine;
    std::vector<pid_t> terms;
    std::string key;
    Rect area;
};

TEST_F(EngineCommandsX11, AClickOnATileSelectsThatColumn)
{
    const WindowID oldest = strip().columns[0].ids[0];
    ASSERT_LT(serverFrame(oldest)->minX(), area.minX()) << "the oldest column waits past the left edge";

    // The indicator held up, as with Control and Alt down, so it waits for
    // the click.
    engine->holding = true;
    engine->showIndicator();
    auto* panel = static_cast<StripIndicatorPanel*>(engine->indicator().panel());
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(until([&] { return panel->window().isVisible() && mapped(xcb_window_t(panel->window().winId())); },
                      test::answerDeadline, 0));
    TileRow* row = panel->row();
    ASSERT_EQ(row->tiles().size(), 3u);
    EXPECT_FALSE(row->tiles()[0].inView);
    EXPECT_TRUE(row->tiles()[2].focused);
    // 18 points above the bottom of the screen, centred.
    const QRect onScreen(row->mapToGlobal(QPoint(0, 0)), row->size());
    EXPECT_EQ(onScreen.bottom() + 1, int(area.maxY()) + 10 - 18);
    EXPECT_NEAR(onScreen.center().x(), 960, 1);
    saveScreen("strip_indicator_x11.png");

    const QPoint tile = row->mapToGlobal(row->tileRect(0).center().toPoint());
    session->movePointer(tile.x(), tile.y());
    session->button(1, true);
    session->button(1, false);
    ASSERT_TRUE(until([&] { return strip().focused == oldest; }, test::answerDeadline, 0))
        << "the click did not reach the tile";
    // The column comes into view, its window focused; the row is built anew.
    ASSERT_TRUE(until([&] {
        const auto f = serverFrame(oldest);
        return !engine->isAnimating() && f && f->minX() >= area.minX() - 0.5 && engine->focusedID() == oldest;
    })) << describe();
    EXPECT_NE(panel->row(), row);
    EXPECT_TRUE(panel->row()->tiles()[0].focused);
    EXPECT_TRUE(panel->row()->tiles()[0].inView);

    // Released: it fades and goes.
    engine->holding = false;
    engine->indicator().keep = false;
    engine->indicator().scheduleFade();
    session->movePointer(5, 5);
    ASSERT_TRUE(until([&] { return !panel->window().isVisible(); }, test::answerDeadline, 0.1));
}

} // namespace
