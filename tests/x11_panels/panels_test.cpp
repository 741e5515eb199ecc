// The program's own panels on a real X display: Qt widgets on the xcb
// platform against a private Xvfb with openbox, reported to the X11 backend
// through their host, with the run-loop pump joining both to one Qt loop.

#include "app/platform/manual_scheduler.h"
#include "app/platform/qt/qt_event_pump.h"
#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/ui/active_border.h"
#include "app/ui/free_panel.h"
#include "app/ui/panel_host.h"
#include "app/ui/theme.h"
#include "app/ui/toast_panel.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

using namespace kavelo;

// Qt's xcb platform opens the session bus; libdbus keeps a buffer to the end.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so\n"; }

namespace {

// One X session and one application on it for the whole process: Qt's
// display connection lives as long as the application, and a second
// application in the same thread would inherit the first one's quitting.
class PanelSession : public ::testing::Environment {
public:
    void SetUp() override
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({"xterm", "xclock"}, &startError)) {
            session.reset();
            return;
        }
        // The real display, whatever the environment asks for the other
        // widget tests.
        ::setenv("DISPLAY", session->display().c_str(), 1);
        static char name[] = "x11_panels_tests";
        static char option[] = "-platform";
        static char platform[] = "xcb";
        static char* argv[] = {name, option, platform, nullptr};
        static int argc = 3;
        app = std::make_unique<QApplication>(argc, argv);
        // Panels come and go; none of them ends the application's loops.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    void TearDown() override
    {
        app.reset();
        session.reset();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    static inline std::unique_ptr<QApplication> app;
};

[[maybe_unused]] ::testing::Environment* const panelSession = ::testing::AddGlobalTestEnvironment(new PanelSession);

class X11PanelsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        session = PanelSession::session.get();
        if (!session) {
            const std::string& startError = PanelSession::startError;
            if (test::x11Required())
                FAIL() << "no X server for the panel tests: " << startError;
            GTEST_SKIP() << "no X server for the panel tests: " << startError;
        }
        ASSERT_EQ(QGuiApplication::platformName(), QLatin1String("xcb"));
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        pump = std::make_unique<QtEventPump>(*x11, scheduler);
        host = std::make_unique<PanelHost>(x11->platform(scheduler, clock));
    }
    void TearDown() override
    {
        host.reset();
        pump.reset();
        x11.reset();
    }

    // Runs the Qt loop for `ms`.
    static void wait(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }
    static test::Waited waitUntil(const std::function<bool()>& done)
    {
        return test::waitFor(done, test::answerDeadline, [] { wait(10); });
    }

    std::vector<WindowInfo> listed(WindowListOption option = WindowListOption::all)
    {
        return x11->windowServer().windowList(option).value_or(std::vector<WindowInfo>{});
    }
    WindowInfo client(const std::string& name)
    {
        for (const auto& w : listed())
            if (w.ownerName == name)
                return w;
        ADD_FAILURE() << "no " << name;
        return {};
    }
    ElementRef element(const WindowInfo& w)
    {
        for (const auto& e : x11->accessibility().windows(w.ownerPid).value_or(std::vector<ElementRef>{}))
            if (e->windowNumber() == w.number)
                return e;
        return nullptr;
    }

    test::X11Session* session = nullptr;
    QtScheduler scheduler;
    SystemClock clock;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<QtEventPump> pump;
    std::unique_ptr<PanelHost> host;
};

// The screen's pixels in `area` as the user sees them.
QImage screenPixels(const test::X11Session& session, QRect area)
{
    xcb_connection_t* c = session.connection();
    std::unique_ptr<xcb_get_image_reply_t, decltype(&std::free)> image(
        xcb_get_image_reply(c,
                            xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, session.root(), std::int16_t(area.x()),
                                          std::int16_t(area.y()), std::uint16_t(area.width()),
                                          std::uint16_t(area.height()), ~0u),
                            nullptr),
        &std::free);
    if (!image || xcb_get_image_data_length(image.get()) < area.width() * area.height() * 4)
        return {};
    return QImage(xcb_get_image_data(image.get()), area.width(), area.height(), QImage::Format_RGB32).copy();
}

// The server's stacking, bottom to top, as positions of X windows.
std::ptrdiff_t stackIndex(const std::vector<xcb_window_t>& stacking, xcb_window_t window)
{
    const auto it = std::find(stacking.begin(), stacking.end(), window);
    return it == stacking.end() ? -1 : it - stacking.begin();
}

TEST_F(X11PanelsTest, ACurtainStandsDirectlyBelowTheWindowItIsAskedFor)
{
    const WindowInfo term = client("XTerm");
    const WindowInfo clock = client("XClock");
    // xterm somewhere in the middle: xclock above it (once the manager is
    // done with the xterm it focused on start).
    const xcb_window_t termWindow = *x11->serverWindow(term.number);
    const xcb_window_t clockWindow = *x11->serverWindow(clock.number);
    ASSERT_TRUE(waitUntil([&] {
        element(clock)->raise();
        x11->settle();
        const auto stacking = session->stackingList();
        return stackIndex(stacking, termWindow) < stackIndex(stacking, clockWindow);
    }));

    FreePanel curtain(*host, PanelLevel::curtain);
    curtain.setObjectName("Curtain");
    curtain.setFrame(Rect(40, 40, 300, 200));
    curtain.setBelow(term.number);
    curtain.orderFront();
    ASSERT_TRUE(curtain.windowNumber());
    const auto curtainWindow = xcb_window_t(curtain.winId());
    const auto directlyBelow = [&] {
        const auto stacking = session->stackingList();
        const auto at = stackIndex(stacking, curtainWindow);
        return at >= 0 && at + 1 == stackIndex(stacking, termWindow);
    };
    ASSERT_TRUE(waitUntil(directlyBelow)) << "the curtain is not directly below the xterm";
    // The manager may still raise a window it has just taken on; the
    // curtain goes back below the xterm.
    wait(200);
    ASSERT_TRUE(waitUntil(directlyBelow)) << "the curtain did not stay directly below the xterm";
    const auto stacking = session->stackingList();
    EXPECT_LT(stackIndex(stacking, termWindow), stackIndex(stacking, clockWindow));

    // The window list holds it with our pid at its level, right behind the
    // window it stands below.
    const auto list = listed();
    const auto at =
        std::find_if(list.begin(), list.end(), [&](const WindowInfo& w) { return w.number == *curtain.windowNumber(); });
    ASSERT_NE(at, list.end());
    EXPECT_EQ(at->ownerPid, std::int32_t(getpid()));
    EXPECT_EQ(at->layer, PanelLevel::curtain);
    EXPECT_EQ(at->name, std::optional<std::string>("Curtain"));
    ASSERT_NE(at, list.begin());
    EXPECT_EQ((at - 1)->number, term.number);

    // The xterm comes to the front; the curtain, moved, follows it there.
    ASSERT_TRUE(element(term)->raise());
    curtain.setFrame(Rect(60, 60, 300, 200));
    EXPECT_TRUE(waitUntil(directlyBelow));
    EXPECT_EQ(session->stackingList().back(), termWindow);

    curtain.orderOut();
    const auto after = listed();
    EXPECT_TRUE(std::none_of(after.begin(), after.end(), [&](const WindowInfo& w) { return w.ownerPid == getpid(); }));
}

// The root's child that holds `window` (a managed window's frame).
xcb_window_t topLevel(xcb_connection_t* c, xcb_window_t window)
{
    for (int depth = 0; depth < 16; ++depth) {
        std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr), &std::free);
        if (!tree || tree->parent == tree->root)
            return window;
        window = tree->parent;
    }
    return window;
}

// The root's children, bottom to top.
std::vector<xcb_window_t> rootChildren(xcb_connection_t* c, xcb_window_t root)
{
    std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr), &std::free);
    if (!tree)
        return {};
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    return std::vector<xcb_window_t>(children, children + xcb_query_tree_children_length(tree.get()));
}

TEST_F(X11PanelsTest, PanelsAboveTheCurtainsAreListedInFrontWithOurPidAtTheirLevel)
{
    FreePanel helper(*host, PanelLevel::helper);
    helper.setFrame(Rect(100, 100, 200, 30));
    helper.orderFront();
    FreePanel overlay(*host, PanelLevel::overlay);
    overlay.setFrame(Rect(300, 300, 240, 80));
    overlay.orderFront();
    helper.orderFront();
    ASSERT_TRUE(helper.windowNumber() && overlay.windowNumber());
    wait(50);

    const auto list = listed(WindowListOption::onScreenOnly);
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0].number, *overlay.windowNumber());
    EXPECT_EQ(list[0].layer, PanelLevel::overlay);
    EXPECT_EQ(list[0].bounds, Rect(300, 300, 240, 80));
    EXPECT_EQ(list[1].number, *helper.windowNumber());
    EXPECT_EQ(list[1].layer, PanelLevel::helper);
    for (std::size_t i : {0u, 1u})
        EXPECT_EQ(list[i].ownerPid, std::int32_t(getpid()));

    // A lower panel that moves stays below, whether the higher one bypasses
    // the manager or is managed (the menu panel).
    QWidget menu(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    menu.setGeometry(600, 300, 200, 200);
    menu.show();
    const WindowID menuNumber =
        x11->windowServer().showPanel(OwnPanel{.frame = Rect(600, 300, 200, 200),
                                               .level = PanelLevel::overlay,
                                               .name = "menu",
                                               .nativeHandle = std::uint64_t(menu.winId())});
    ASSERT_TRUE(waitUntil([&] { return stackIndex(session->stackingList(), xcb_window_t(menu.winId())) >= 0; }));
    helper.setFrame(Rect(0, 0, 1920, 1080));
    helper.orderFront();
    wait(50);
    const auto stacking = rootChildren(session->connection(), session->root());
    const auto at = [&](xcb_window_t w) { return stackIndex(stacking, topLevel(session->connection(), w)); };
    EXPECT_LT(at(xcb_window_t(helper.winId())), at(xcb_window_t(overlay.winId())));
    EXPECT_LT(at(xcb_window_t(helper.winId())), at(xcb_window_t(menu.winId())));
    x11->windowServer().removePanel(menuNumber);
    menu.hide();

    helper.orderOut();
    const auto after = listed(WindowListOption::onScreenOnly);
    ASSERT_EQ(std::count_if(after.begin(), after.end(), [](const WindowInfo& w) { return w.ownerPid == getpid(); }), 1);
    EXPECT_EQ(after.front().number, *overlay.windowNumber());
}

TEST_F(X11PanelsTest, TranslucencyIsBlendedOnlyWhileACompositingManagerRuns)
{
    EXPECT_FALSE(x11->windowServer().blendsPanels());
    EXPECT_FALSE(host->blends());
    const pid_t compositor = session->launch({"xcompmgr"});
    EXPECT_TRUE(waitUntil([&] { return x11->windowServer().blendsPanels(); }));
    EXPECT_TRUE(host->blends());
    session->terminate(compositor);
    EXPECT_TRUE(waitUntil([&] { return !x11->windowServer().blendsPanels(); }));
}

TEST_F(X11PanelsTest, WithoutACompositorTheToastAndTheHighlightCoverOnlyWhatTheyDraw)
{
    ASSERT_FALSE(host->blends());
    // The xterm under the toast's place and under its own highlight.
    const WindowInfo term = client("XTerm");
    const auto e = element(term);
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->raise());
    ASSERT_TRUE(e->setPosition(Point(560, 600)));
    ASSERT_TRUE(e->setSize(Size(800, 460)));
    ASSERT_TRUE(waitUntil([&] { return e->position() == Point(560, 600); }));
    const Rect window(e->position().value(), e->size().value());
    session->movePointer(int(window.midX()), int(window.midY()));
    wait(300);

    const Platform platform = x11->platform(scheduler, clock);
    ToastPanel toast(platform.mouse, platform.displays, *host);
    ActiveBorder border(*host, [&] { return std::optional<Rect>(window); },
                        [] { return HighlightSettings{WindowHighlight::border, Theme::lit()}; });
    toast.show("Saved", "checkmark.circle.fill");
    border.update();
    const Rect capsule = toast.capsuleFrame().value();
    ASSERT_TRUE(window.contains(capsule.insetBy(-ToastPanel::shadowMargin, -ToastPanel::shadowMargin)));
    const auto pixel = [&](Point at) -> std::optional<QColor> {
        const QImage one = screenPixels(*session, QRect(int(at.x), int(at.y), 1, 1));
        return one.isNull() ? std::nullopt : std::optional(one.pixelColor(0, 0));
    };
    // Both drawn: the capsule dark, the ring in the accent just outside
    // the window's edge.
    const Point ring(window.minX() - 2, window.midY());
    ASSERT_TRUE(waitUntil([&] {
        const auto c = pixel(capsule.center()), r = pixel(ring);
        return c && r && c->lightness() < 60 && std::abs(r->red() - Theme::lit().red()) < 24 &&
               std::abs(r->green() - Theme::lit().green()) < 24;
    })) << "capsule " << pixel(capsule.center()).value_or(QColor()).name().toStdString() << ", ring "
        << pixel(ring).value_or(QColor()).name().toStdString();

    // Beside the capsule, in its corner, and inside the outline: the
    // xterm's white page, not a black rectangle.
    for (const Point at : {Point(capsule.minX() - 6, capsule.midY()), Point(capsule.minX() + 1, capsule.minY() + 1),
                           Point(window.minX() + 60, window.maxY() - 20), Point(window.midX(), window.minY() + 60)}) {
        const auto shown = pixel(at);
        ASSERT_TRUE(shown);
        EXPECT_GT(shown->lightness(), 200) << at.x << "," << at.y << " shows " << shown->name().toStdString();
    }
    const char* folder = std::getenv("KAVELO_PNG_DIR");
    screenPixels(*session, pixelRect(window.insetBy(-20, -20)))
        .save(QString::fromStdString((folder && *folder ? std::string(folder) + "/" : ::testing::TempDir()) +
                                     "uncomposited_toast_and_highlight.png"));
}

TEST_F(X11PanelsTest, TheMouseMonitorHearsClicksOnOtherWindowsOnly)
{
    const WindowInfo term = client("XTerm");
    const auto e = element(term);
    ASSERT_TRUE(e);
    ASSERT_TRUE(e->raise());
    ASSERT_TRUE(e->setPosition(Point(50, 50)));
    const Rect termFrame = Rect(e->position().value(), e->size().value());
    const Point inTerm(termFrame.midX(), termFrame.midY());

    FreePanel panel(*host, PanelLevel::helper);
    panel.setFrame(Rect(1200, 600, 200, 150));
    panel.orderFront();
    std::vector<MouseEventType> heard;
    Handle monitor = x11->mouse().monitor(MouseEventMask::leftDown | MouseEventMask::leftUp,
                                          [&](const MouseEvent& event) { heard.push_back(event.type); });
    wait(50);

    const auto click = [&](Point at) {
        session->movePointer(int(at.x), int(at.y));
        session->button(1, true);
        session->button(1, false);
        wait(150);
    };
    click(Point(1300, 675));
    EXPECT_TRUE(heard.empty()) << "a click on our own panel reached the monitor";

    click(inTerm);
    EXPECT_EQ(heard, (std::vector<MouseEventType>{MouseEventType::leftDown, MouseEventType::leftUp}));

    // A panel that lets clicks through is not where the click lands.
    heard.clear();
    panel.setClickThrough(true);
    panel.setFrame(Rect(termFrame.minX() + 10, termFrame.minY() + 10, 200, 150));
    panel.orderFront();
    wait(50);
    click(Point(termFrame.minX() + 50, termFrame.minY() + 50));
    EXPECT_EQ(heard, (std::vector<MouseEventType>{MouseEventType::leftDown, MouseEventType::leftUp}));
}

// A panel filled with one colour.
class Plain : public FreePanel {
public:
    using FreePanel::FreePanel;
    static inline const QColor colour{210, 30, 190};
    QColor fill = colour;

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), fill); }
};

TEST_F(X11PanelsTest, APanelHiddenForAWhileGivesUpItsWindowAndIsDrawnAgainWhenShown)
{
    ManualScheduler time;
    PanelHost quiet(&x11->windowServer(), time, time.clock());
    Plain panel(quiet, PanelLevel::overlay);
    panel.setObjectName("Plain");
    panel.setFrame(Rect(400, 300, 160, 120));
    const auto drawn = [&] {
        const QImage image = QGuiApplication::primaryScreen()->grabWindow(panel.winId()).toImage();
        return !image.isNull() && image.pixelColor(80, 60).rgb() == Plain::colour.rgb();
    };
    panel.orderFront();
    ASSERT_TRUE(waitUntil(drawn));

    // Shown again before the wait is over: it keeps its window, and the
    // wait starts anew from the next hiding.
    panel.orderOut();
    time.advance(FreePanel::keepPixelsFor * 0.75);
    EXPECT_TRUE(panel.holdsPixels());
    panel.orderFront();
    panel.orderOut();
    time.advance(FreePanel::keepPixelsFor * 0.75);
    EXPECT_TRUE(panel.holdsPixels());
    time.advance(FreePanel::keepPixelsFor);
    EXPECT_FALSE(panel.holdsPixels());
    wait(50);

    panel.orderFront();
    EXPECT_TRUE(panel.holdsPixels());
    EXPECT_TRUE(waitUntil(drawn)) << "the panel came back blank";
    ASSERT_TRUE(panel.windowNumber());
    const auto list = listed(WindowListOption::onScreenOnly);
    const auto at =
        std::find_if(list.begin(), list.end(), [&](const WindowInfo& w) { return w.number == *panel.windowNumber(); });
    ASSERT_NE(at, list.end());
    EXPECT_EQ(at->bounds, Rect(400, 300, 160, 120));
    EXPECT_EQ(at->layer, PanelLevel::overlay);
    EXPECT_EQ(at->ownerPid, std::int32_t(getpid()));
    panel.orderOut();
}

// Parked, a panel is out of sight and off the list; shown again it moves in
// with its new frame, never the one it was parked with.
TEST_F(X11PanelsTest, AParkedPanelComesBackWithItsNewFrameAndGivesUpItsWindowAfterTheWait)
{
    ManualScheduler time;
    PanelHost quiet(&x11->windowServer(), time, time.clock());
    Plain panel(quiet, PanelLevel::overlay);
    panel.setObjectName("Plain");
    panel.setFrame(Rect(400, 300, 160, 120));
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // What the screen shows there, read at once: no loop turns first.
    const auto shown = [&](QPoint at) {
        return QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage().pixelColor(0, 0).rgb();
    };
    const auto unlisted = [&] {
        const auto list = listed();
        return std::none_of(list.begin(), list.end(), [&](const WindowInfo& w) {
            return w.ownerPid == std::int32_t(getpid()) && w.layer == PanelLevel::overlay;
        });
    };
    panel.orderFront();
    ASSERT_TRUE(waitUntil([&] { return shown({480, 360}) == Plain::colour.rgb(); }));

    for (int round = 0; round < 3; ++round) {
        panel.park();
        wait(50);
        EXPECT_TRUE(panel.parked());
        EXPECT_FALSE(panel.geometry().intersects(screen));
        EXPECT_NE(shown({480, 360}), panel.fill.rgb());
        EXPECT_TRUE(unlisted());

        // A new colour and, in the second round, a new place and size.
        panel.fill = QColor(20 + 90 * round, 200, 40);
        panel.update();
        if (round == 1)
            panel.setFrame(Rect(600, 200, 300, 100));
        panel.orderFront();
        const QPoint inside = round >= 1 ? QPoint(750, 250) : QPoint(480, 360);
        EXPECT_EQ(shown(inside), panel.fill.rgb()) << "round " << round << ": a stale frame moved in";
        ASSERT_TRUE(panel.windowNumber());
        EXPECT_FALSE(unlisted());
    }

    panel.park();
    time.advance(FreePanel::keepPixelsFor * 1.5);
    EXPECT_FALSE(panel.holdsPixels());
    EXPECT_FALSE(panel.parked());
    EXPECT_FALSE(panel.isVisible());
    panel.orderFront();
    EXPECT_TRUE(waitUntil([&] { return shown({750, 250}) == panel.fill.rgb(); })) << "the panel came back blank";
    panel.orderOut();
}

} // namespace
