// The real `kavelo` on scaled X11 desktops, as their users set them up: one
// 3840 × 2160 monitor at twice the scale through `Xft.dpi: 192`, then through
// QT_SCALE_FACTOR=2, then at 1.5; and two monitors at 1 and 2 through
// QT_SCREEN_SCALE_FACTORS; and a desktop whose DPI changes while it runs.
// Every surface is checked in device pixels on the server: where it stands
// and how large it is. With KAVELO_PNG_DIR set, a picture of the screen is
// kept at each step.

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"
#include "support/person_keys.h"
#include "support/running_kavelo.h"
#include "support/x11_session.h"

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <utility>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

// Classic virtual key codes, turned into the server's by the backend.
constexpr std::uint16_t controlKey = 59, optionKey = 58, spaceKey = 49, escapeKey = 53, tabKey = 48;

// Panels stand on whole points of the toolkit, up to a point from where
// they were asked for: at scale s, s device pixels.
bool near(double a, double b, double tolerance = 1) { return std::abs(a - b) <= tolerance; }

std::string text(const Rect& r)
{
    std::ostringstream out;
    out << r.minX() << "," << r.minY() << " " << r.width() << "x" << r.height();
    return out.str();
}

// What one run sets up: the desktop's Xft.dpi and Qt's own variables.
struct Scaling {
    std::string name;
    int xftDpi = 96;
    std::string qtScaleFactor;        // empty: unset
    std::string qtScreenScaleFactors; // empty: unset
    double scale = 1;
};

// Named in test output by its name alone.
void PrintTo(const Scaling& scaling, std::ostream* out) { *out << scaling.name; }

class ScaledKavelo {
public:
    ScaledKavelo(test::X11Session& session, const Scaling& scaling) : session_(session)
    {
        home_ = std::make_unique<test::TempHome>();
        runtime_ = test::privateRuntime(*home_);
        ::setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        ::unsetenv("KAVELO_BACKEND");
        const auto set = [](const char* name, const std::string& value) {
            if (value.empty())
                ::unsetenv(name);
            else
                ::setenv(name, value.c_str(), 1);
        };
        set("QT_SCALE_FACTOR", scaling.qtScaleFactor);
        set("QT_SCREEN_SCALE_FACTORS", scaling.qtScreenScaleFactors);
        const auto resources = home_->root() / "Xresources";
        std::ofstream(resources) << "Xft.dpi: " << scaling.xftDpi << "\n";
        session.run({"xrdb", "-merge", resources.string()});
    }

    ~ScaledKavelo()
    {
        if (pid_ > 0)
            session_.terminate(pid_);
        ::unsetenv("QT_SCALE_FACTOR");
        ::unsetenv("QT_SCREEN_SCALE_FACTORS");
        ::unsetenv("XDG_RUNTIME_DIR");
    }

    void writeDefaults(const std::string& json) { test::writeDefaults(*home_, json); }

    // Returns once the launch has registered the shortcuts.
    bool start()
    {
        pid_ = session_.launch({KAVELO_BINARY});
        return test::waitFor([&] { return accepts(); }, test::answerDeadline);
    }

    // A request to the running program, as a second start hands it over.
    bool request(const std::string& url) { return session_.run({KAVELO_BINARY, url}); }
    bool openMenuPanel() { return session_.run({KAVELO_BINARY}); }

private:
    bool accepts() const
    {
        return test::listens(runtime_ / "kavelo" / (InstancePaths::fileName(session_.display()) + ".socket"));
    }

    test::X11Session& session_;
    std::unique_ptr<test::TempHome> home_;
    std::filesystem::path runtime_;
    pid_t pid_ = -1;
};

// The windows of the program on screen, in root coordinates: its panels
// bypass the manager, its popover and overview may be managed.
// `levels` deep: the tray icon is embedded deeper.
std::vector<Rect> kaveloWindows(const test::X11Session& session, int levels = 2)
{
    xcb_connection_t* c = session.connection();
    std::vector<Rect> out;
    std::vector<xcb_window_t> level{session.root()};
    for (int depth = 0; depth < levels; ++depth) {
        std::vector<xcb_window_t> next;
        for (xcb_window_t parent : level) {
            std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)> tree(
                xcb_query_tree_reply(c, xcb_query_tree(c, parent), nullptr), &std::free);
            if (!tree)
                continue;
            const auto* children = xcb_query_tree_children(tree.get());
            next.insert(next.end(), children, children + xcb_query_tree_children_length(tree.get()));
        }
        for (xcb_window_t w : next) {
            std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> a(
                xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, w), nullptr), &std::free);
            if (!a || a->map_state != XCB_MAP_STATE_VIEWABLE || session.wmClass(w) != "Kavelo")
                continue;
            if (const auto area = session.clientArea(w); area && area->width() > 1)
                out.push_back(*area);
        }
        level = std::move(next);
    }
    return out;
}

std::optional<Rect> kaveloWindow(const test::X11Session& session, const std::function<bool(const Rect&)>& which)
{
    for (const Rect& r : kaveloWindows(session))
        if (which(r))
            return r;
    return std::nullopt;
}

std::string listed(const test::X11Session& session)
{
    std::string out;
    for (const Rect& r : kaveloWindows(session))
        out += " [" + text(r) + "]";
    return out.empty() ? " none" : out;
}

Point pointer(const test::X11Session& session)
{
    std::unique_ptr<xcb_query_pointer_reply_t, decltype(&std::free)> p(
        xcb_query_pointer_reply(session.connection(), xcb_query_pointer(session.connection(), session.root()), nullptr),
        &std::free);
    return p ? Point(p->root_x, p->root_y) : Point();
}

void picture(test::X11Session& session, const std::string& name)
{
    const char* folder = std::getenv("KAVELO_PNG_DIR");
    if (!folder || !*folder)
        return;
    // A window just mapped paints a moment later.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    session.run({"import", "-window", "root", std::string(folder) + "/" + name + ".png"});
}

// The desktop's live settings (XSETTINGS), as a settings daemon keeps
// them: one owner window holding "Xft/DPI" in 1024ths of a dot per inch.
class LiveSettings {
public:
    explicit LiveSettings(const test::X11Session& session) : session_(session)
    {
        xcb_connection_t* c = session.connection();
        owner_ = xcb_generate_id(c);
        xcb_create_window(c, 0, owner_, session.root(), 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY, 0, 0, nullptr);
        setDpi(96);
        const xcb_atom_t selection = session.atom("_XSETTINGS_S0");
        xcb_set_selection_owner(c, owner_, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t announce{};
        announce.response_type = XCB_CLIENT_MESSAGE;
        announce.format = 32;
        announce.window = session.root();
        announce.type = session.atom("MANAGER");
        announce.data.data32[1] = selection;
        announce.data.data32[2] = owner_;
        xcb_send_event(c, 0, session.root(), XCB_EVENT_MASK_STRUCTURE_NOTIFY, reinterpret_cast<const char*>(&announce));
        session.sync();
    }
    ~LiveSettings()
    {
        xcb_destroy_window(session_.connection(), owner_);
        session_.sync();
    }

    void setDpi(int dpi)
    {
        std::vector<std::uint8_t> data{0, 0, 0, 0};   // little-endian
        const auto put = [&](std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                data.push_back(std::uint8_t(v >> (8 * i)));
        };
        const std::string name = "Xft/DPI";
        put(++serial_, 4);
        put(1, 4);   // settings
        put(0, 2);   // an integer
        put(std::uint32_t(name.size()), 2);
        data.insert(data.end(), name.begin(), name.end());
        while (data.size() % 4)
            data.push_back(0);
        put(serial_, 4);
        put(std::uint32_t(dpi * 1024), 4);
        const xcb_atom_t settings = session_.atom("_XSETTINGS_SETTINGS");
        xcb_change_property(session_.connection(), XCB_PROP_MODE_REPLACE, owner_, settings, settings, 8,
                            std::uint32_t(data.size()), data.data());
        session_.sync();
    }

private:
    const test::X11Session& session_;
    xcb_window_t owner_ = XCB_NONE;
    std::uint32_t serial_ = 0;
};

// A private server with openbox and two test clients, for the suite's
// tests; each suite has its own.
class ScaledX11 : public ::testing::Test {
protected:
    // `prepare` sets up the monitors before the clients come.
    static void begin(int width, int height, const std::vector<std::string>& sizes,
                      const std::function<bool(test::X11Session&)>& prepare = {})
    {
        session = std::make_unique<test::X11Session>();
        session->setScreenSize(width, height);
        if (!session->start({}, &startError, test::WindowManager::openboxKeysFree)) {
            session.reset();
            return;
        }
        if (prepare && !prepare(*session)) {
            startError = "the monitors cannot be set";
            session.reset();
            return;
        }
        for (const auto& size : sizes)
            session->launch({KAVELO_X11_TEST_CLIENT, "--size", size});
        if (!test::waitFor([&] { return session->windowsOfClass("KaveloTestClient").size() == sizes.size(); },
                           test::answerDeadline)) {
            startError = "the test clients were not managed";
            session.reset();
        }
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (test::x11Required())
                FAIL() << "no X server for the scaled suites: " << startError;
            GTEST_SKIP() << "no X server for the scaled suites: " << startError;
        }
        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        const auto a = session->cardinals(session->root(), "_NET_WORKAREA");
        ASSERT_GE(a.size(), 4u);
        area = Rect(a[0], a[1], a[2], a[3]);
    }

    std::uint8_t serverKey(std::uint16_t code) const { return x11->serverKeyCode(code).value(); }
    void tap(std::uint16_t code) { test::Typist(*session).stroke(serverKey(code)); }
    void chord(const std::vector<std::uint16_t>& modifiers, std::uint16_t code)
    {
        std::vector<std::uint8_t> held;
        for (auto m : modifiers)
            held.push_back(serverKey(m));
        test::Typist(*session).chord(held, serverKey(code));
    }
    // Typed input lands a moment later: waits for it.
    void pointAt(Point at)
    {
        session->movePointer(int(at.x), int(at.y));
        ASSERT_TRUE(test::waitFor([&] { return pointer(*session) == at; }, test::answerDeadline));
    }
    void click(Point at)
    {
        pointAt(at);
        session->button(1, true);
        session->button(1, false);
    }
    std::vector<Rect> clients()
    {
        std::vector<Rect> out;
        for (auto w : session->windowsOfClass("KaveloTestClient"))
            if (auto f = session->frame(w))
                out.push_back(*f);
        std::sort(out.begin(), out.end(), [](const Rect& a, const Rect& b) { return a.minX() < b.minX(); });
        return out;
    }
    // The menu panel opened under the pointer, as wide as 320 points.
    std::optional<Rect> menuPanel(ScaledKavelo& kavelo, Point at, double scale)
    {
        pointAt(at);
        if (!kavelo.openMenuPanel())
            return std::nullopt;
        const auto panel = [&] {
            return kaveloWindow(*session, [&](const Rect& r) { return near(r.width(), 320 * scale, scale); });
        };
        test::waitFor([&] { return panel().has_value(); }, test::answerDeadline);
        return panel();
    }
    // The two windows tidied in rows, `gap` pixels apart and from the edges
    // of the usable area.
    bool inRows(double gap)
    {
        auto f = clients();
        std::sort(f.begin(), f.end(), [](const Rect& a, const Rect& b) { return a.minY() < b.minY(); });
        return f.size() == 2 && near(f[0].minY(), area.minY() + gap) && near(f[0].minX(), area.minX() + gap) &&
               near(f[1].minY() - f[0].maxY(), gap) && near(area.maxY() - f[1].maxY(), gap) &&
               near(f[1].maxX(), area.maxX() - gap);
    }
    // Control and Option held down, or let go.
    void holdKeys(bool down)
    {
        test::Typist typist(*session);
        for (auto code : down ? std::vector{controlKey, optionKey} : std::vector{optionKey, controlKey}) {
            if (down)
                typist.down(serverKey(code));
            else
                typist.up(serverKey(code));
            typist.pause();
        }
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;
    std::unique_ptr<X11Desktop> x11;
    Rect area;
};

// One 3840 × 2160 monitor.
class OneMonitor : public ScaledX11 {
protected:
    static void SetUpTestSuite() { begin(3840, 2160, {"1000x700", "900x800"}); }
};

class ScaledMonitor : public OneMonitor, public ::testing::WithParamInterface<Scaling> {};

TEST_F(OneMonitor, ADesktopThatChangesItsDpiLiveGetsPanelsAndGapsAtTheNewScale)
{
    LiveSettings settings(*session);
    ScaledKavelo kavelo(*session, Scaling{});
    kavelo.writeDefaults(R"({"welcomed": true, "tidyLayout": "rows"})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";
    auto panel = menuPanel(kavelo, Point(1200, 500), 1);
    ASSERT_TRUE(panel) << listed(*session);
    EXPECT_TRUE(near(panel->midX(), 1200) && near(panel->minY(), 504)) << text(*panel);
    click(Point(3000, 1900));
    ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(*session).empty(); }, test::answerDeadline))
        << listed(*session);

    settings.setDpi(192);
    panel = menuPanel(kavelo, Point(1600, 300), 2);
    ASSERT_TRUE(panel) << listed(*session);
    EXPECT_TRUE(near(panel->midX(), 1600, 2) && near(panel->minY(), 308, 2)) << text(*panel);
    picture(*session, "live-dpi-menu-panel");

    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    EXPECT_TRUE(test::waitFor([&] { return inRows(20); }, test::answerDeadline))
        << text(clients()[0]) << " " << text(clients()[1]);
}

TEST_P(ScaledMonitor, EverySurfaceCoversItsPlaceAtTheScaleAndWindowsKeepTheirGapsInPoints)
{
    const Scaling& scaling = GetParam();
    const double s = scaling.scale;
    ScaledKavelo kavelo(*session, scaling);
    kavelo.writeDefaults(
        R"({"welcomed": true, "arrangeMode": "strip", "tidyLayout": "rows", "mouseFollowsFocus": true})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";

    // The strip: its two columns 10 points apart and from the edges of the
    // usable area.
    const double gap = 10 * s;
    const auto sideBySide = [&] {
        const auto f = clients();
        return f.size() == 2 && near(f[0].minX(), area.minX() + gap) && near(f[0].minY(), area.minY() + gap) &&
               near(f[1].minX() - f[0].maxX(), gap) && near(area.maxX() - f[1].maxX(), gap) &&
               near(f[1].maxY(), area.maxY() - gap);
    };
    EXPECT_TRUE(test::waitFor(sideBySide, test::answerDeadline))
        << text(clients()[0]) << " " << text(clients()[1]) << " in " << text(area);

    // The indicator stands centred at the bottom of the usable area, the
    // pointer follows the focus to the middle of its window and a tab bar
    // sits on its column. The strip's commands and its indicator are those
    // of the focused window: a click gives it the focus.
    const auto windows = session->windowsOfClass("KaveloTestClient");
    const Rect first = session->frame(windows.front()).value();
    click(Point(int(first.midX()), int(first.minY() + 40)));
    ASSERT_TRUE(test::waitFor([&] { return session->activeWindow() == windows.front(); }, test::answerDeadline));
    holdKeys(true);
    const auto indicator = [&] {
        return kaveloWindow(*session, [&](const Rect& r) {
            return near(r.midX(), area.midX(), s) && near(r.maxY(), area.maxY() - 18 * s, s);
        });
    };
    EXPECT_TRUE(test::waitFor([&] { return indicator().has_value(); }, test::answerDeadline)) << listed(*session);
    picture(*session, scaling.name + "-indicator");
    holdKeys(false);

    pointAt(Point(5, 5));
    ASSERT_TRUE(kavelo.request("kavelo://run/focusLast"));
    const auto onCentre = [&] {
        const Point p = pointer(*session);
        for (const Rect& f : clients())
            if (near(p.x, f.midX(), 1.5) && near(p.y, f.midY(), 1.5))
                return true;
        return false;
    };
    EXPECT_TRUE(test::waitFor(onCentre, test::answerDeadline)) << pointer(*session).x << "," << pointer(*session).y;

    ASSERT_TRUE(kavelo.request("kavelo://run/stackLeft"));
    ASSERT_TRUE(kavelo.request("kavelo://run/tabs"));
    const auto tabBar = [&] {
        const auto f = clients();
        return kaveloWindow(*session, [&](const Rect& r) {
            return near(r.height(), 30 * s, s) && std::any_of(f.begin(), f.end(), [&](const Rect& w) {
                       return near(r.minX(), w.minX(), s) && near(r.width(), w.width(), s) &&
                              near(r.maxY(), w.minY(), s);
                   });
        });
    };
    EXPECT_TRUE(test::waitFor([&] { return tabBar().has_value(); }, test::answerDeadline))
        << listed(*session) << " over " << text(clients()[0]) << " " << text(clients()[1]);
    picture(*session, scaling.name + "-tab-bar");

    // Tidy in rows: 10 points between the windows and the edges too.
    ASSERT_TRUE(kavelo.request("kavelo://mode/off"));
    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    EXPECT_TRUE(test::waitFor([&] { return inRows(gap); }, test::answerDeadline))
        << text(clients()[0]) << " " << text(clients()[1]) << " in " << text(area);
    picture(*session, scaling.name + "-tidy");

    // A snap writes size, position and size one by one: the right half.
    ASSERT_TRUE(kavelo.request("kavelo://run/snapRight"));
    const auto snapped = [&] {
        const auto f = session->frame(*session->activeWindow());
        return f && near(f->minX(), area.midX()) && near(f->minY(), area.minY()) && near(f->maxX(), area.maxX()) &&
               near(f->maxY(), area.maxY());
    };
    EXPECT_TRUE(test::waitFor(snapped, test::answerDeadline)) << text(*session->frame(*session->activeWindow()));

    // The menu panel: 320 points wide, under the pointer; a click elsewhere
    // closes it.
    const auto panel = menuPanel(kavelo, Point(1200, 500), s);
    ASSERT_TRUE(panel) << listed(*session);
    EXPECT_TRUE(near(panel->midX(), 1200, s) && near(panel->minY(), 500 + 4 * s, s)) << text(*panel);
    picture(*session, scaling.name + "-menu-panel");
    click(Point(3000, 1900));
    ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(*session).empty(); }, test::answerDeadline))
        << listed(*session);

    // The overview covers the monitor exactly.
    chord({controlKey, optionKey}, spaceKey);
    const Rect monitor(0, 0, 3840, 2160);
    const auto overview = [&] { return kaveloWindow(*session, [&](const Rect& r) { return r == monitor; }); };
    EXPECT_TRUE(test::waitFor([&] { return overview().has_value(); }, test::answerDeadline)) << listed(*session);
    picture(*session, scaling.name + "-overview");
    tap(escapeKey);
    EXPECT_TRUE(test::waitFor([&] { return !overview(); }, test::answerDeadline)) << listed(*session);

    // The switcher, centred on the monitor, while Alt is held.
    test::Typist typist(*session);
    typist.down(serverKey(optionKey));
    typist.pause();
    typist.stroke(serverKey(tabKey));
    const auto switcher = [&] {
        return kaveloWindow(*session, [&](const Rect& r) {
            return near(r.midX(), monitor.midX(), s) && near(r.midY(), monitor.midY(), s) && monitor.contains(r);
        });
    };
    EXPECT_TRUE(test::waitFor([&] { return switcher().has_value(); }, test::answerDeadline)) << listed(*session);
    picture(*session, scaling.name + "-switcher");
    typist.up(serverKey(optionKey));
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledMonitor,
                         ::testing::Values(Scaling{.name = "xft-dpi-192", .xftDpi = 192, .scale = 2},
                                           Scaling{.name = "qt-scale-2", .qtScaleFactor = "2", .scale = 2},
                                           Scaling{.name = "qt-scale-1.5", .qtScaleFactor = "1.5", .scale = 1.5}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

// Two monitors side by side: a 1920 × 1080 one at 1 and, to its right, a
// 3840 × 2160 one at 2, as QT_SCREEN_SCALE_FACTORS names them.
class MixedMonitors : public ScaledX11 {
protected:
    static void SetUpTestSuite()
    {
        begin(5760, 2160, {"600x400", "700x500"}, [](test::X11Session& s) {
            return s.run({"xrandr", "--setmonitor", "Left", "1920/508x1080/286+0+0", "screen"}) &&
                   s.run({"xrandr", "--setmonitor", "Right", "3840/508x2160/286+1920+0", "none"});
        });
    }
};

TEST_F(MixedMonitors, EachMonitorHasItsOwnScaleForPanelsTheOverviewAndGaps)
{
    ScaledKavelo kavelo(*session, Scaling{.qtScreenScaleFactors = "Left=1;Right=2"});
    kavelo.writeDefaults(R"({"welcomed": true, "tidyLayout": "rows"})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";
    const Rect left(0, 0, 1920, 1080), right(1920, 0, 3840, 2160);

    // The menu panel is as wide as 320 points of the monitor under the
    // pointer, and stands under it.
    struct Case {
        Point at, elsewhere;
        double scale;
    };
    for (const auto& [at, elsewhere, scale] :
         {Case{Point(900, 300), Point(1800, 1000), 1}, Case{Point(3400, 600), Point(5500, 2000), 2}}) {
        const auto panel = menuPanel(kavelo, at, scale);
        ASSERT_TRUE(panel) << listed(*session);
        EXPECT_TRUE(near(panel->midX(), at.x) && near(panel->minY(), at.y + 4 * scale)) << text(*panel);
        picture(*session, "mixed-menu-panel-" + std::to_string(int(scale)));
        // A click elsewhere on the same monitor closes it.
        click(elsewhere);
        ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(*session).empty(); }, test::answerDeadline))
            << listed(*session);
    }

    // The overview covers the monitor under the pointer.
    for (const Rect& monitor : {right, left}) {
        pointAt(monitor.center());
        chord({controlKey, optionKey}, spaceKey);
        const auto overview = [&] { return kaveloWindow(*session, [&](const Rect& r) { return r == monitor; }); };
        EXPECT_TRUE(test::waitFor([&] { return overview().has_value(); }, test::answerDeadline)) << listed(*session);
        picture(*session, "mixed-overview-" + std::to_string(int(monitor.minX())));
        tap(escapeKey);
        EXPECT_TRUE(test::waitFor([&] { return !overview(); }, test::answerDeadline)) << listed(*session);
    }

    // One window on each monitor, tidied: 10 points from the edges, 10
    // pixels on the left monitor and 20 on the right one.
    const auto windows = session->windowsOfClass("KaveloTestClient");
    const std::uint32_t place[] = {2600, 700};
    xcb_configure_window(session->connection(), windows.back(), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
    session->sync();
    ASSERT_TRUE(test::waitFor([&] { return session->frame(windows.back())->minX() > 1920; }, test::answerDeadline));
    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    const auto fills = [&](xcb_window_t window, const Rect& monitor, double gap) {
        const auto f = session->frame(window);
        return f && near(f->minX(), monitor.minX() + gap) && near(f->minY(), monitor.minY() + gap) &&
               near(f->maxX(), monitor.maxX() - gap) && near(f->maxY(), monitor.maxY() - gap);
    };
    EXPECT_TRUE(test::waitFor([&] { return fills(windows.front(), left, 10) && fills(windows.back(), right, 20); },
                              test::answerDeadline))
        << text(*session->frame(windows.front())) << " " << text(*session->frame(windows.back()));
    picture(*session, "mixed-tidy");
}

// One 3840 × 2160 screen split into two monitors side by side, each
// 1920 × 2160, with trayer along the top of the right one: a click on the
// icon opens the menu panel under it, at the scale of that monitor.
class SplitScreenWithTray : public ScaledX11, public ::testing::WithParamInterface<Scaling> {
protected:
    static void SetUpTestSuite()
    {
        begin(3840, 2160, {}, [](test::X11Session& s) -> bool {
            if (!s.run({"xrandr", "--setmonitor", "L", "1920/254x2160/286+0+0", "screen"}) ||
                !s.run({"xrandr", "--setmonitor", "R", "1920/254x2160/286+1920+0", "none"}))
                return false;
            s.launch({"trayer", "--edge", "top", "--align", "right", "--monitor", "1", "--widthtype", "request",
                      "--height", "24", "--SetDockType", "true", "--SetPartialStrut", "true", "--transparent",
                      "false", "--tint", "0x202020"});
            const xcb_atom_t tray = s.atom("_NET_SYSTEM_TRAY_S0");
            return test::waitFor(
                [&] {
                    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
                        xcb_get_selection_owner_reply(s.connection(), xcb_get_selection_owner(s.connection(), tray),
                                                      nullptr),
                        &std::free);
                    return owner && owner->owner != XCB_NONE;
                },
                test::answerDeadline);
        });
    }

    // The program's icon embedded in the tray, in root coordinates.
    std::optional<Rect> trayIcon() const
    {
        for (const Rect& r : kaveloWindows(*session, 4))
            if (r.width() <= 64 && r.minY() < 40)
                return r;
        return std::nullopt;
    }
    // Waits for the icon's slot to be 22 points of a monitor at `scale` wide.
    bool slotWide(double scale) const
    {
        return test::waitFor(
            [&] {
                const auto icon = trayIcon();
                return icon && icon->width() == std::round(22 * scale);
            },
            5s);
    }
};

TEST_P(SplitScreenWithTray, TheTrayIconOpensTheMenuPanelBelowItAtTheScaleOfItsMonitor)
{
    const double s = GetParam().scale;
    ScaledKavelo kavelo(*session, GetParam());
    kavelo.writeDefaults(R"({"welcomed": true})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";
    ASSERT_TRUE(test::waitFor([&] { return trayIcon().has_value(); }, 10s)) << "the icon never docked";
    // Docking ends with the tray placing the icon in its slot, 22 points of
    // the tray's monitor wide, whatever the scale of the primary one.
    EXPECT_TRUE(slotWide(s)) << text(*trayIcon());
    Rect icon = *trayIcon();
    ASSERT_TRUE(test::waitFor(
        [&] {
            const Rect now = *trayIcon();
            return std::exchange(icon, now) == now;
        },
        5s));
    ASSERT_GT(icon.minX(), 1920) << "in the tray on the right-hand monitor: " << text(icon);

    click(icon.center());
    const Rect right(1920, 0, 1920, 2160);
    const auto panel = [&] {
        return kaveloWindow(*session, [&](const Rect& r) { return r.height() > 300; });
    };
    ASSERT_TRUE(test::waitFor([&] { return panel().has_value(); }, 5s)) << listed(*session);
    const Rect shown = *panel();
    picture(*session, "tray-menu-panel-" + GetParam().name);
    EXPECT_TRUE(near(shown.width(), 320 * s, s)) << text(shown) << " below " << text(icon);
    EXPECT_TRUE(right.contains(shown)) << text(shown) << " below " << text(icon);
    EXPECT_TRUE(near(shown.minY(), icon.maxY() + 4 * s, s)) << text(shown) << " below " << text(icon);
    EXPECT_TRUE(near(shown.maxX(), right.maxX(), s)) << text(shown) << " against the right edge";
}

TEST_F(SplitScreenWithTray, TheIconsSlotFollowsTheScaleWhenTheDesktopsDpiChanges)
{
    LiveSettings settings(*session);
    ScaledKavelo kavelo(*session, Scaling{});
    kavelo.writeDefaults(R"({"welcomed": true})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";
    ASSERT_TRUE(test::waitFor([&] { return trayIcon().has_value(); }, 10s)) << "the icon never docked";
    EXPECT_TRUE(slotWide(1)) << text(*trayIcon());
    settings.setDpi(192);
    EXPECT_TRUE(slotWide(2)) << text(*trayIcon());
    settings.setDpi(96);
    EXPECT_TRUE(slotWide(1)) << text(*trayIcon());
}

INSTANTIATE_TEST_SUITE_P(Scales, SplitScreenWithTray,
                         ::testing::Values(Scaling{.name = "left1-right2", .qtScreenScaleFactors = "L=1;R=2", .scale = 2},
                                           Scaling{.name = "left2-right1", .qtScreenScaleFactors = "L=2;R=1", .scale = 1},
                                           Scaling{.name = "left2-right2", .qtScreenScaleFactors = "L=2;R=2", .scale = 2}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
                             return name;
                         });

} // namespace
} // namespace kavelo::testing
