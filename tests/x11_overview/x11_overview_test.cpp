// The overview on a real X server: Qt on xcb against a private Xvfb with
// openbox, two xterms and xclock, the backend on its own connection, keys
// typed as a person types them and clicks made through XTest.

#include "app/platform/qt/qt_scheduler.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/hot_keys.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_actions.h"
#include "app/services/window_catalog.h"
#include "app/switcher/overview_controller.h"
#include "app/switcher/views/overview_key_panel.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/x11_session.h"

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>

// Qt on xcb reads the message bus on a thread of its own, and the bus
// library keeps a read buffer the leak checker counts at exit: not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\n";
}

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

// The X session starts before the one QApplication of the binary, which
// talks to it on xcb whatever QT_QPA_PLATFORM says.
class XcbApplication : public ::testing::Environment {
public:
    void SetUp() override
    {
        session = std::make_unique<test::X11Session>();
        // A second xterm under its own class, so that two clients take the focus.
        if (!session->start({"xterm", "xclock"}, &error)) {
            session.reset();
            return;
        }
        session->launch({"xterm", "-class", "XTermTwo"});
        if (!test::waitFor([] { return session->clientList().size() == 3; }, test::answerDeadline)) {
            error = "the second xterm was not managed in time";
            session.reset();
            return;
        }
        ::setenv("DISPLAY", session->display().c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        static int argc = 1;
        static char name[] = "x11_overview_tests";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override
    {
        app.reset();
        session.reset();
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::unique_ptr<QApplication> app;
    static inline std::string error;
};

[[maybe_unused]] ::testing::Environment* const environment = ::testing::AddGlobalTestEnvironment(new XcbApplication);

namespace Key {
[[maybe_unused]] constexpr std::uint16_t a = 0, c = 8, d = 2, e = 14, h = 4, k = 40, l = 37, o = 31, r = 15, t = 17,
                                         u = 32, v = 9, x = 7, space = 49, returnKey = 36, escape = 53, right = 124,
                                         control = 59, option = 58;
} // namespace Key

class X11OverviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!XcbApplication::session) {
            if (std::getenv("CI"))
                FAIL() << "no X server for the X11 overview tests: " << XcbApplication::error;
            GTEST_SKIP() << "no X server for the X11 overview tests: " << XcbApplication::error;
        }
        session = XcbApplication::session.get();
        std::string why;
        x11 = X11Desktop::connect(session->display(), &why);
        ASSERT_TRUE(x11) << why;
        x11->attach(&scheduler);
        defaults = std::make_unique<UserDefaults>(home.paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, clock), *preferences});
        host = std::make_unique<PanelHost>(desktop->platform);
        controller = std::make_unique<OverviewController>(*desktop,
                                                          OverviewKeyPanel::factory(*host, desktop->platform));
        controller->log = [this](const std::string& line) { logged.push_back(line); };
        ASSERT_TRUE(until([&] { return clients().size() == 3; })) << "the xterms and xclock are not all there";
    }

    void TearDown() override
    {
        controller.reset();
        host.reset();
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        // Let the server see our windows go before the next test.
        QCoreApplication::processEvents();
    }

    void pump()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        x11->processEvents();
    }

    test::Waited until(const std::function<bool()>& done, std::chrono::milliseconds timeout = test::answerDeadline)
    {
        return test::waitFor(done, timeout, [&] { pump(); });
    }
    // Pumps for a while.
    void wait(std::chrono::milliseconds span)
    {
        test::pumpFor(span, [&] { pump(); });
    }

    // The visible stock clients by class.
    std::map<std::string, WindowEntry> clients()
    {
        std::map<std::string, WindowEntry> out;
        for (const auto& w : WindowCatalog::read(*desktop).windows)
            if (w.state == WindowState::visible &&
                (w.bundleID == "XTerm" || w.bundleID == "XTermTwo" || w.bundleID == "XClock"))
                out.emplace(w.bundleID, w);
        return out;
    }

    xcb_window_t serverWindow(const WindowEntry& w) { return x11->serverWindow(w.id).value_or(0); }

    xcb_window_t activeWindow()
    {
        xcb_connection_t* c = session->connection();
        const xcb_atom_t active = session->atom("_NET_ACTIVE_WINDOW");
        auto* r = xcb_get_property_reply(c, xcb_get_property(c, 0, session->root(), active, XCB_ATOM_WINDOW, 0, 1),
                                         nullptr);
        xcb_window_t w = 0;
        if (r && xcb_get_property_value_length(r) == 4)
            w = *static_cast<xcb_window_t*>(xcb_get_property_value(r));
        std::free(r);
        return w;
    }

    xcb_window_t inputFocus()
    {
        xcb_connection_t* c = session->connection();
        auto* r = xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr);
        const xcb_window_t w = r ? r->focus : 0;
        std::free(r);
        return w;
    }

    // Makes a client the active window, as a click on it would.
    void activate(const std::string& name)
    {
        const Snapshot snapshot = WindowCatalog::read(*desktop);
        for (const auto& w : snapshot.windows)
            if (w.bundleID == name && w.state == WindowState::visible) {
                (void)WindowActions::raise(*desktop, w, snapshot.element(w.id));
                ASSERT_TRUE(until([&] { return activeWindow() == serverWindow(w); })) << name;
                return;
            }
        FAIL() << name << " is not there";
    }

    std::uint8_t server(std::uint16_t key) { return x11->serverKeyCode(key).value(); }
    test::Typist typist() { return test::Typist(*session, [this] { pump(); }); }

    void type(std::uint16_t keyCode, const std::vector<std::uint16_t>& modifiers = {})
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifiers)
            held.push_back(server(m));
        auto hand = typist();
        hand.chord(held, server(keyCode));
        hand.pause();
    }

    void typeText(const std::vector<std::uint16_t>& keys)
    {
        for (auto k : keys)
            type(k);
    }

    // Opens the overview and waits until it shows with the keyboard held.
    void open()
    {
        controller->show();
        ASSERT_TRUE(until([&] { return controller->isOpen(); }));
        auto& panel = static_cast<OverviewKeyPanel&>(*controller->panel());
        ASSERT_TRUE(panel.holdsKeyboard());
        ASSERT_TRUE(until([&] { return panelShown(); }));
    }

    OverviewKeyPanel& panel() { return static_cast<OverviewKeyPanel&>(*controller->panel()); }
    // Closed, the panel may stay mapped past every screen.
    bool panelShown() { return panel().panel().isVisible() && !panel().panel().parked(); }
    // The server has the panel mapped where Qt placed it.
    bool mappedOnServer()
    {
        if (!panelShown())
            return false;
        const auto window = xcb_window_t(panel().panel().winId());
        xcb_connection_t* c = session->connection();
        auto* a = xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
        const bool viewable = a && a->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(a);
        const auto area = session->clientArea(window);
        const QRect placed = panel().panel().geometry();
        return viewable && area && area->minX() == placed.x() && area->minY() == placed.y();
    }

    // The centre of a result's card, in root coordinates.
    QPoint cardCentre(int index)
    {
        OverviewGrid& grid = *panel().view().grid();
        return grid.mapToGlobal(grid.cardRect(index).center().toPoint());
    }

    int indexOf(const std::string& bundleID)
    {
        const auto& results = controller->model().results();
        for (std::size_t i = 0; i < results.size(); ++i)
            if (results[i].bundleID == bundleID)
                return int(i);
        return -1;
    }

    test::X11Session* session = nullptr;
    test::TempHome home;
    QtScheduler scheduler;
    SystemClock clock;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
    std::unique_ptr<PanelHost> host;
    std::unique_ptr<OverviewController> controller;
    std::vector<std::string> logged;
};

// Two RandR monitors side by side for one test.
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

TEST_F(X11OverviewTest, TheHotKeyOpensItTypingReachesTheFieldAndTheFocusNeverMoves)
{
    activate("XTerm");
    const xcb_window_t active = activeWindow();
    const xcb_window_t focus = inputFocus();
    HotKeys hotKeys(desktop->platform.hotKeys);
    // Slow as a first opening on a loaded machine: the held key repeats
    // before the panel asks for the keyboard, and each repeat is grabbed anew.
    ASSERT_TRUE(hotKeys.registerHotKey(Key::space, HotKeyModifier::control | HotKeyModifier::option, [&] {
        std::this_thread::sleep_for(1s);
        controller->show();
    }));

    // The hot key's press opens it while Space is still down.
    auto hand = typist();
    hand.down(server(Key::control));
    hand.pause();
    hand.down(server(Key::option));
    hand.pause();
    hand.down(server(Key::space));
    ASSERT_TRUE(until([&] { return controller->isOpen(); }, test::answerDeadline));
    hand.up(server(Key::space));
    hand.up(server(Key::option));
    hand.up(server(Key::control));
    EXPECT_TRUE(logged.empty());
    ASSERT_TRUE(until([&] { return panelShown(); }));
    EXPECT_EQ(panel().panel().geometry(), QRect(0, 0, 1920, 1080));

    typeText({Key::x, Key::t});
    ASSERT_TRUE(until([&] { return controller->model().query() == "xt"; }))
        << "query: " << controller->model().query();
    EXPECT_EQ(panel().view().searchField()->text(), "xt");
    EXPECT_EQ(activeWindow(), active);
    EXPECT_EQ(inputFocus(), focus);

    type(Key::escape);
    ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
    wait(100ms);
    EXPECT_FALSE(panelShown());
    EXPECT_EQ(activeWindow(), active);
    EXPECT_EQ(inputFocus(), focus);
}

// Its own shortcut again closes it, typed as a person types it; held down
// until it repeats, it opens once and stays open.
TEST_F(X11OverviewTest, TheHotKeyAgainClosesItAndHeldItOpensOnce)
{
    activate("XTerm");
    HotKeys hotKeys(desktop->platform.hotKeys);
    ASSERT_TRUE(hotKeys.registerHotKey(Key::space, HotKeyModifier::control | HotKeyModifier::option,
                                       [&] { controller->isOpen() ? controller->hide() : controller->show(); }));
    auto hand = typist();
    hand.down(server(Key::control));
    hand.down(server(Key::option));
    hand.autorepeat(server(Key::space), 3);
    hand.up(server(Key::option));
    hand.up(server(Key::control));
    ASSERT_TRUE(until([&] { return controller->isOpen(); }));
    // Any repeat handled late would close it now.
    wait(100ms);
    ASSERT_TRUE(controller->isOpen());
    EXPECT_TRUE(panelShown());
    EXPECT_TRUE(controller->model().query().empty()) << controller->model().query();

    type(Key::space, {Key::control, Key::option});
    ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
    wait(100ms);
    EXPECT_FALSE(controller->isOpen());
    EXPECT_FALSE(panelShown());
    EXPECT_TRUE(controller->model().query().empty()) << controller->model().query();
}

TEST_F(X11OverviewTest, TypingFiltersTheCards)
{
    activate("XTerm");
    open();
    ASSERT_EQ(controller->model().results().size(), 3u);
    typeText({Key::x, Key::c, Key::l});
    ASSERT_TRUE(until([&] { return controller->model().query() == "xcl"; }));
    ASSERT_EQ(controller->model().results().size(), 1u);
    EXPECT_EQ(controller->model().results().front().bundleID, "XClock");
    EXPECT_EQ(panel().view().grid()->builtRange(), std::make_pair(0, 1));
    controller->hide();
}

TEST_F(X11OverviewTest, ArrowsAndReturnRaiseTheChosenXterm)
{
    activate("XTermTwo");
    const WindowEntry term = clients().at("XTerm");
    open();
    const int index = indexOf("XTerm");
    ASSERT_GE(index, 0);
    for (int i = 0; i < index; ++i)
        type(Key::right);
    ASSERT_TRUE(until([&] { return controller->model().selection() == index; }));
    type(Key::returnKey);
    ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
    ASSERT_TRUE(until([&] { return activeWindow() == serverWindow(term); }));
    EXPECT_EQ(session->stackingList().back(), serverWindow(term));
}

TEST_F(X11OverviewTest, AClickOnACardRaisesItsWindow)
{
    activate("XTerm");
    const WindowEntry other = clients().at("XTermTwo");
    open();
    // On the server where it shows, to take the click.
    ASSERT_TRUE(until([&] { return mappedOnServer(); }));
    const int index = indexOf("XTermTwo");
    ASSERT_GE(index, 0);
    const QPoint at = cardCentre(index);
    session->movePointer(at.x(), at.y());
    session->button(1, true);
    session->button(1, false);
    ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
    ASSERT_TRUE(until([&] { return activeWindow() == serverWindow(other); }));
    EXPECT_EQ(session->stackingList().back(), serverWindow(other));
}

TEST_F(X11OverviewTest, APressOnAnotherMonitorClosesWithoutRaising)
{
    TwoMonitors monitors(*session);
    ASSERT_TRUE(monitors.ok());
    ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
    activate("XTerm");
    const auto stacking = session->stackingList();
    session->movePointer(300, 300);
    open();
    EXPECT_EQ(panel().panel().geometry(), QRect(0, 0, 960, 1080));

    // A press on the panel itself is the panel's.
    session->movePointer(20, 1060);
    wait(50ms);
    session->button(3, true);
    session->button(3, false);
    wait(200ms);
    EXPECT_TRUE(controller->isOpen());

    // The far corner of the other monitor, where no client stands.
    session->movePointer(1910, 1070);
    session->button(1, true);
    session->button(1, false);
    ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
    wait(100ms);
    EXPECT_EQ(session->stackingList(), stacking);
}

TEST_F(X11OverviewTest, NothingOpensWhileAnotherClientHoldsTheKeyboard)
{
    xcb_connection_t* c = session->connection();
    auto* grab = xcb_grab_keyboard_reply(
        c, xcb_grab_keyboard(c, 0, session->root(), XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    ASSERT_TRUE(grab && grab->status == XCB_GRAB_STATUS_SUCCESS);
    std::free(grab);

    controller->show();
    // It gives up once its wait for the keyboard is over.
    EXPECT_TRUE(until([&] { return !controller->isWaitingForKeyboard(); }));
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    xcb_flush(c);
    EXPECT_FALSE(controller->isOpen());
    EXPECT_FALSE(controller->isWaitingForKeyboard());
    EXPECT_FALSE(panelShown());
    EXPECT_FALSE(panel().isVisible());
    EXPECT_EQ(logged, std::vector<std::string>{OverviewController::keyboardHeldMessage});

    // Once the keyboard is free it opens.
    open();
    controller->hide();
}

TEST_F(X11OverviewTest, AMonitorRemovedWhileOpenClosesItAndTypingReachesTheXtermAgain)
{
    const WindowEntry term = clients().at("XTerm");
    // What the xterm shows, as dark pixels on its light ground.
    const auto ink = [&] {
        const QImage image = QGuiApplication::primaryScreen()->grabWindow(serverWindow(term)).toImage();
        int dark = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                dark += qGray(image.pixel(x, y)) < 100;
        return dark;
    };
    {
        TwoMonitors monitors(*session);
        ASSERT_TRUE(monitors.ok());
        ASSERT_TRUE(until([&] { return desktop->platform.displays.screens().size() == 2; }));
        activate("XTerm");
        session->movePointer(1500, 500);
        open();
        EXPECT_EQ(panel().panel().geometry(), QRect(960, 0, 960, 1080));
        ASSERT_TRUE(session->run({"xrandr", "--delmonitor", "Right"}));
        ASSERT_TRUE(until([&] { return !controller->isOpen(); }));
        EXPECT_FALSE(panel().holdsKeyboard());
    }
    wait(100ms);
    const int before = ink();
    typeText({Key::x, Key::x, Key::x, Key::x, Key::x, Key::x, Key::x, Key::x});
    EXPECT_TRUE(until([&] { return ink() > before + 40; })) << "the xterm shows no typing";
    EXPECT_EQ(controller->model().query(), "");
}

} // namespace
} // namespace kavelo::testing
