// The status item in a real tray: a private Xvfb with openbox, trayer as
// the system tray and an xterm; Qt on xcb; the X11 backend joined to the Qt
// loop. The icon embeds, a click on it (through XTest) opens the popover
// below it, a click on the xterm closes it.

#include "app/platform/qt/qt_event_pump.h"
#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/shell/popover.h"
#include "app/shell/qt/popover_window.h"
#include "app/shell/qt/status_item_qt.h"
#include "shell/panel_world.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace kavelo;
using namespace kavelo::testing;

// Qt's xcb platform keeps a libdbus buffer to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

struct TrayState {
    std::unique_ptr<test::X11Session> session;
    std::string error;
    std::unique_ptr<QApplication> application;
};

TrayState& state()
{
    static TrayState s;
    return s;
}

bool trayOwned(test::X11Session& session)
{
    xcb_connection_t* c = session.connection();
    const xcb_atom_t selection = session.atom("_NET_SYSTEM_TRAY_S0");
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
    return owner && owner->owner != XCB_NONE;
}

class TrayEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        TrayState& s = state();
        s.session = std::make_unique<test::X11Session>();
        if (!s.session->start({"xterm"}, &s.error)) {
            s.session.reset();
            return;
        }
        s.session->launch({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                           "28", "--SetDockType", "true", "--SetPartialStrut", "true", "--transparent", "false",
                           "--tint", "0x202020"});
        if (!test::waitFor([&] { return trayOwned(*s.session); }, test::answerDeadline)) {
            s.error = "trayer did not take the tray (is the trayer package installed?)";
            s.session.reset();
            return;
        }
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        // No session bus here: Qt embeds the icon the X way.
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::setenv("DISPLAY", s.session->display().c_str(), 1);
        static int argc = 1;
        static char name[] = "status_item_x11_tests";
        static char* argv[] = {name, nullptr};
        s.application = std::make_unique<QApplication>(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override
    {
        state().application.reset();
        state().session.reset();
    }
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new TrayEnvironment);

class StatusItemX11 : public ::testing::Test, public PanelWorld {
protected:
    void SetUp() override
    {
        session = state().session.get();
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X session with a tray: " << state().error;
            GTEST_SKIP() << "no X session with a tray: " << state().error;
        }
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        pump = std::make_unique<QtEventPump>(*x11, qtScheduler);
        platform = std::make_unique<Platform>(x11->platform(qtScheduler, clock));
        popover = std::make_unique<Popover>(*platform, [this] {
            return std::make_unique<QtPopoverWindow>(AnimationTime{qtScheduler, clock}, [] { return std::string(); },
                                                     [] { return false; });
        });
        item = QtStatusItem::make(
            [this] {
                ++clicks;
                if (popover->isOpen())
                    popover->close();
                else
                    popover->open(item->geometry(), panel());
            },
            [] {});
    }
    void TearDown() override
    {
        item.reset();
        popover.reset();
        platform.reset();
        pump.reset();
        x11.reset();
    }

    static void wait(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    static test::Waited waitUntil(const std::function<bool()>& done)
    {
        return test::waitFor(done, test::answerDeadline, [] { wait(20); });
    }
    // A left click at a root point, through XTest, as the user makes it.
    void clickAt(Point at)
    {
        session->movePointer(int(at.x), int(at.y));
        session->sync();
        wait(50);
        session->button(1, true);
        session->button(1, false);
        session->sync();
    }
    // The popover's window as the server has it.
    std::optional<Rect> popoverOnServer()
    {
        auto* window = static_cast<QtPopoverWindow*>(popover->window());
        if (!window || !window->window())
            return std::nullopt;
        return session->clientArea(xcb_window_t(window->window()->winId()));
    }

    test::X11Session* session = nullptr;
    QtScheduler qtScheduler;
    SystemClock clock;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<QtEventPump> pump;
    std::unique_ptr<Platform> platform;
    std::unique_ptr<Popover> popover;
    std::unique_ptr<QtStatusItem> item;
    int clicks = 0;
};

TEST_F(StatusItemX11, TheIconEmbedsAndAClickOpensThePopoverBelowItAClickElsewhereClosesIt)
{
    ASSERT_TRUE(item) << "the tray is there";
    ASSERT_TRUE(waitUntil([&] { return item->geometry().has_value(); })) << "the icon embeds";
    // Embedding ends with the tray mapping the icon in its place.
    wait(500);
    const Rect icon = *item->geometry();
    EXPECT_LT(icon.minY(), 40) << "in the tray along the top edge";
    EXPECT_GT(icon.width(), 0);

    clickAt(icon.center());
    ASSERT_TRUE(waitUntil([&] { return popover->isOpen(); })) << "clicks seen: " << clicks;
    ASSERT_TRUE(waitUntil([&] {
        const auto on = popoverOnServer();
        return on && on->minY() >= icon.maxY();
    })) << "below the icon";
    const Rect shown = *popoverOnServer();
    EXPECT_EQ(shown.width(), 320);
    EXPECT_LE(shown.maxX(), 1920);
    EXPECT_TRUE(popover->isWatchingClicks());

    // A click inside the popover keeps it.
    clickAt(Point(shown.midX(), shown.maxY() - 12));
    wait(300);
    EXPECT_TRUE(popover->isOpen());

    // A click on the xterm closes it.
    const auto xterms = session->windowsOfClass("XTerm");
    ASSERT_FALSE(xterms.empty());
    const auto xterm = session->frame(xterms.front());
    ASSERT_TRUE(xterm);
    Point target = xterm->center();
    if (shown.contains(target))
        target = Point(xterm->minX() + 10, xterm->maxY() - 10);
    clickAt(target);
    EXPECT_TRUE(waitUntil([&] { return !popover->isOpen(); }));
    EXPECT_FALSE(popover->isWatchingClicks());

    // The icon again: open, and the icon once more: closed, not reopened.
    clickAt(icon.center());
    ASSERT_TRUE(waitUntil([&] { return popover->isOpen(); }));
    clickAt(icon.center());
    EXPECT_TRUE(waitUntil([&] { return !popover->isOpen(); }));
    wait(300);
    EXPECT_FALSE(popover->isOpen());
}

} // namespace
