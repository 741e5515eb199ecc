// The real `kavelo` on scaled X11 desktops, as their users set them up: one
// 3840 × 2160 monitor at twice the scale through `Xft.dpi: 192`, then through
// QT_SCALE_FACTOR=2, then at 1.5; and two monitors at 1 and 2 through
// QT_SCREEN_SCALE_FACTORS. Every surface is checked in device pixels on the
// server: where it stands and how large it is. With KAVELO_PNG_DIR set, a
// picture of the screen is kept at each step.

#include "app/platform/x11/x11_desktop.h"
#include "app/shell/single_instance.h"
#include "services/temp_home.h"
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

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

// Classic virtual key codes, turned into the server's by the backend.
// Panels stand on whole points of the toolkit, up to a point from where
// they were asked for: `s` device pixels.
constexpr std::uint16_t controlKey = 59, optionKey = 58, spaceKey = 49, escapeKey = 53;

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

class ScaledDesktop {
public:
    explicit ScaledDesktop(int width, int height) { session.setScreenSize(width, height); }

    bool start(std::string* error) { return session.start({}, error, test::WindowManager::openboxKeysFree); }

    test::X11Session session;
};

class ScaledKavelo {
public:
    ScaledKavelo(test::X11Session& session, const Scaling& scaling) : session_(session)
    {
        home_ = std::make_unique<test::TempHome>();
        runtime_ = home_->root() / "runtime";
        std::filesystem::create_directories(runtime_);
        std::filesystem::permissions(runtime_, std::filesystem::perms::owner_all);
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
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

    void writeDefaults(const std::string& json)
    {
        const auto file = home_->paths().userDefaults;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << json;
    }

    // Returns once the launch has registered the shortcuts.
    bool start()
    {
        pid_ = session_.launch({KAVELO_BINARY});
        return test::waitFor([&] { return accepts(); }, 15s);
    }

    // A request to the running program, as a second start hands it over.
    bool request(const std::string& url) { return session_.run({KAVELO_BINARY, url}); }
    bool openMenuPanel() { return session_.run({KAVELO_BINARY}); }

private:
    bool accepts() const
    {
        const auto socket = runtime_ / "kavelo" / (InstancePaths::fileName(session_.display()) + ".socket");
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, socket.c_str(), sizeof(address.sun_path) - 1);
        const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    test::X11Session& session_;
    std::unique_ptr<test::TempHome> home_;
    std::filesystem::path runtime_;
    pid_t pid_ = -1;
};

// The windows of the program on screen, in root coordinates: its panels
// bypass the manager, its popover and overview may be managed.
std::vector<Rect> kaveloWindows(const test::X11Session& session)
{
    xcb_connection_t* c = session.connection();
    std::vector<Rect> out;
    std::vector<xcb_window_t> level{session.root()};
    for (int depth = 0; depth < 2; ++depth) {
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

class OneMonitor : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop = std::make_unique<ScaledDesktop>(3840, 2160);
        if (!desktop->start(&startError)) {
            desktop.reset();
            return;
        }
        for (const char* size : {"1000x700", "900x800"})
            desktop->session.launch({KAVELO_X11_TEST_CLIENT, "--size", size});
        if (!test::waitFor([] { return desktop->session.windowsOfClass("KaveloTestClient").size() == 2; }, 10s)) {
            startError = "the test clients were not managed";
            desktop.reset();
        }
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override
    {
        if (!desktop) {
            if (test::x11Required())
                FAIL() << "no X server for the scaled suites: " << startError;
            GTEST_SKIP() << "no X server for the scaled suites: " << startError;
        }
        std::string error;
        x11 = X11Desktop::connect(desktop->session.display(), &error);
        ASSERT_TRUE(x11) << error;
        const auto a = session().cardinals(session().root(), "_NET_WORKAREA");
        ASSERT_GE(a.size(), 4u);
        area = Rect(a[0], a[1], a[2], a[3]);
    }

    test::X11Session& session() { return desktop->session; }
    // As a person types: each key a few tens of milliseconds after the last.
    void key(std::uint16_t code, bool down)
    {
        session().key(x11->serverKeyCode(code).value(), down);
        std::this_thread::sleep_for(30ms);
    }
    void tap(std::uint16_t code)
    {
        key(code, true);
        key(code, false);
    }
    std::vector<Rect> clients()
    {
        std::vector<Rect> out;
        for (auto w : session().windowsOfClass("KaveloTestClient"))
            if (auto f = session().frame(w))
                out.push_back(*f);
        std::sort(out.begin(), out.end(), [](const Rect& a, const Rect& b) { return a.minX() < b.minX(); });
        return out;
    }

    // The menu panel opened under the pointer, as wide as 320 points.
    std::optional<Rect> menuPanel(ScaledKavelo& kavelo, Point at, double scale)
    {
        session().movePointer(int(at.x), int(at.y));
        if (!test::waitFor([&] { return pointer(session()) == at; }, 2s) || !kavelo.openMenuPanel())
            return std::nullopt;
        const auto panel = [&] {
            return kaveloWindow(session(), [&](const Rect& r) { return near(r.width(), 320 * scale, scale); });
        };
        test::waitFor([&] { return panel().has_value(); }, 5s);
        return panel();
    }

    static inline std::unique_ptr<ScaledDesktop> desktop;
    static inline std::string startError;
    std::unique_ptr<X11Desktop> x11;
    Rect area;
};

class ScaledMonitor : public OneMonitor, public ::testing::WithParamInterface<Scaling> {};

TEST_F(OneMonitor, ADesktopThatChangesItsDpiLiveGetsPanelsAndGapsAtTheNewScale)
{
    LiveSettings settings(session());
    ScaledKavelo kavelo(session(), Scaling{});
    kavelo.writeDefaults(R"({"welcomed": true, "tidyLayout": "rows"})");
    ASSERT_TRUE(kavelo.start()) << "kavelo never listened";
    auto panel = menuPanel(kavelo, Point(1200, 500), 1);
    ASSERT_TRUE(panel) << listed(session());
    EXPECT_TRUE(near(panel->midX(), 1200) && near(panel->minY(), 504)) << text(*panel);
    session().movePointer(3000, 1900);
    session().button(1, true);
    session().button(1, false);
    ASSERT_TRUE(test::waitFor([&] { return kaveloWindows(session()).empty(); }, 5s)) << listed(session());

    settings.setDpi(192);
    panel = menuPanel(kavelo, Point(1600, 300), 2);
    ASSERT_TRUE(panel) << listed(session());
    EXPECT_TRUE(near(panel->midX(), 1600, 2) && near(panel->minY(), 308, 2)) << text(*panel);
    picture(session(), "live-dpi-menu-panel");

    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    const auto tidied = [&] {
        auto f = clients();
        std::sort(f.begin(), f.end(), [](const Rect& a, const Rect& b) { return a.minY() < b.minY(); });
        return f.size() == 2 && near(f[0].minY(), area.minY() + 20) && near(f[1].minY() - f[0].maxY(), 20) &&
               near(f[0].minX(), area.minX() + 20) && near(area.maxX() - f[1].maxX(), 20);
    };
    EXPECT_TRUE(test::waitFor(tidied, 5s)) << text(clients()[0]) << " " << text(clients()[1]);
}

TEST_P(ScaledMonitor, EverySurfaceCoversItsPlaceAtTheScaleAndWindowsKeepTheirGapsInPoints)
{
    const Scaling& scaling = GetParam();
    const double s = scaling.scale;
    ScaledKavelo kavelo(session(), scaling);
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
    EXPECT_TRUE(test::waitFor(sideBySide, 5s))
        << text(clients()[0]) << " " << text(clients()[1]) << " in " << text(area);

    // The indicator stands centred at the bottom of the usable area, the
    // pointer follows the focus to the middle of its window and a tab bar
    // sits on its column. The strip's commands and its indicator are those
    // of the focused window: a click gives it the focus.
    const auto windows = session().windowsOfClass("KaveloTestClient");
    const Rect first = session().frame(windows.front()).value();
    session().movePointer(int(first.midX()), int(first.minY() + 40));
    session().button(1, true);
    session().button(1, false);
    ASSERT_TRUE(test::waitFor([&] { return session().activeWindow() == windows.front(); }, 5s));
    key(controlKey, true);
    key(optionKey, true);
    const auto indicator = [&] {
        return kaveloWindow(session(), [&](const Rect& r) {
            return near(r.midX(), area.midX(), s) && near(r.maxY(), area.maxY() - 18 * s, s);
        });
    };
    EXPECT_TRUE(test::waitFor([&] { return indicator().has_value(); }, 5s)) << listed(session());
    picture(session(), scaling.name + "-indicator");
    key(optionKey, false);
    key(controlKey, false);

    // Typed input lands a moment later; the warp must come after it.
    session().movePointer(5, 5);
    ASSERT_TRUE(test::waitFor([&] { return pointer(session()) == Point(5, 5); }, 2s));
    ASSERT_TRUE(kavelo.request("kavelo://run/focusLast"));
    const auto onCentre = [&] {
        const Point p = pointer(session());
        for (const Rect& f : clients())
            if (near(p.x, f.midX(), 1.5) && near(p.y, f.midY(), 1.5))
                return true;
        return false;
    };
    EXPECT_TRUE(test::waitFor(onCentre, 5s)) << pointer(session()).x << "," << pointer(session()).y;

    ASSERT_TRUE(kavelo.request("kavelo://run/stackLeft"));
    ASSERT_TRUE(kavelo.request("kavelo://run/tabs"));
    const auto tabBar = [&] {
        const auto f = clients();
        return kaveloWindow(session(), [&](const Rect& r) {
            return near(r.height(), 30 * s, s) && std::any_of(f.begin(), f.end(), [&](const Rect& w) {
                       return near(r.minX(), w.minX(), s) && near(r.width(), w.width(), s) &&
                              near(r.maxY(), w.minY(), s);
                   });
        });
    };
    EXPECT_TRUE(test::waitFor([&] { return tabBar().has_value(); }, 5s))
        << listed(session()) << " over " << text(clients()[0]) << " " << text(clients()[1]);
    picture(session(), scaling.name + "-tab-bar");

    // Tidy in rows: 10 points between the windows and the edges too.
    ASSERT_TRUE(kavelo.request("kavelo://mode/off"));
    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    const auto tidied = [&] {
        auto f = clients();
        std::sort(f.begin(), f.end(), [](const Rect& a, const Rect& b) { return a.minY() < b.minY(); });
        return f.size() == 2 && near(f[0].minY(), area.minY() + gap) && near(f[0].minX(), area.minX() + gap) &&
               near(f[1].minY() - f[0].maxY(), gap) && near(area.maxY() - f[1].maxY(), gap) &&
               near(f[1].maxX(), area.maxX() - gap);
    };
    EXPECT_TRUE(test::waitFor(tidied, 5s)) << text(clients()[0]) << " " << text(clients()[1]) << " in " << text(area);
    picture(session(), scaling.name + "-tidy");

    // A snap writes size, position and size one by one: the right half.
    ASSERT_TRUE(kavelo.request("kavelo://run/snapRight"));
    const auto snapped = [&] {
        const auto f = session().frame(*session().activeWindow());
        return f && near(f->minX(), area.midX()) && near(f->minY(), area.minY()) && near(f->maxX(), area.maxX()) &&
               near(f->maxY(), area.maxY());
    };
    EXPECT_TRUE(test::waitFor(snapped, 5s)) << text(*session().frame(*session().activeWindow()));

    // The menu panel: 320 points wide, under the pointer.
    session().movePointer(1200, 500);
    ASSERT_TRUE(test::waitFor([&] { return pointer(session()) == Point(1200, 500); }, 2s));
    ASSERT_TRUE(kavelo.openMenuPanel());
    const auto panel = [&] {
        return kaveloWindow(session(), [&](const Rect& r) { return near(r.width(), 320 * s, s); });
    };
    ASSERT_TRUE(test::waitFor([&] { return panel().has_value(); }, 5s)) << listed(session());
    EXPECT_TRUE(near(panel()->midX(), 1200, s)) << text(*panel());
    EXPECT_TRUE(near(panel()->minY(), 500 + 4 * s, s)) << text(*panel());
    picture(session(), scaling.name + "-menu-panel");
    // A click elsewhere closes it.
    session().movePointer(3000, 1900);
    session().button(1, true);
    session().button(1, false);
    ASSERT_TRUE(test::waitFor([&] { return !panel(); }, 5s)) << listed(session());

    // The overview covers the monitor exactly.
    key(controlKey, true);
    key(optionKey, true);
    tap(spaceKey);
    key(optionKey, false);
    key(controlKey, false);
    const Rect monitor(0, 0, 3840, 2160);
    const auto overview = [&] { return kaveloWindow(session(), [&](const Rect& r) { return r == monitor; }); };
    EXPECT_TRUE(test::waitFor([&] { return overview().has_value(); }, 5s)) << listed(session());
    picture(session(), scaling.name + "-overview");
    tap(escapeKey);
    EXPECT_TRUE(test::waitFor([&] { return !overview(); }, 5s)) << listed(session());
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
class MixedMonitors : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        desktop = std::make_unique<ScaledDesktop>(5760, 2160);
        if (!desktop->start(&startError)) {
            desktop.reset();
            return;
        }
        auto& session = desktop->session;
        if (!session.run({"xrandr", "--setmonitor", "Left", "1920/508x1080/286+0+0", "screen"}) ||
            !session.run({"xrandr", "--setmonitor", "Right", "3840/508x2160/286+1920+0", "none"})) {
            startError = "xrandr cannot set the monitors";
            desktop.reset();
            return;
        }
        for (const char* size : {"600x400", "700x500"})
            session.launch({KAVELO_X11_TEST_CLIENT, "--size", size});
        if (!test::waitFor([] { return desktop->session.windowsOfClass("KaveloTestClient").size() == 2; }, 10s)) {
            startError = "the test clients were not managed";
            desktop.reset();
        }
    }
    static void TearDownTestSuite() { desktop.reset(); }

    void SetUp() override
    {
        if (!desktop) {
            if (test::x11Required())
                FAIL() << "no X server for the scaled suites: " << startError;
            GTEST_SKIP() << "no X server for the scaled suites: " << startError;
        }
        std::string error;
        x11 = X11Desktop::connect(desktop->session.display(), &error);
        ASSERT_TRUE(x11) << error;
    }

    test::X11Session& session() { return desktop->session; }
    void key(std::uint16_t code, bool down)
    {
        session().key(x11->serverKeyCode(code).value(), down);
        std::this_thread::sleep_for(30ms);
    }
    void pointAt(int x, int y)
    {
        session().movePointer(x, y);
        ASSERT_TRUE(test::waitFor([&] { return pointer(session()) == Point(x, y); }, 2s));
    }

    static inline std::unique_ptr<ScaledDesktop> desktop;
    static inline std::string startError;
    std::unique_ptr<X11Desktop> x11;
};

TEST_F(MixedMonitors, EachMonitorHasItsOwnScaleForPanelsTheOverviewAndGaps)
{
    ScaledKavelo kavelo(session(), Scaling{.qtScreenScaleFactors = "Left=1;Right=2"});
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
        pointAt(int(at.x), int(at.y));
        ASSERT_TRUE(kavelo.openMenuPanel());
        const auto panel = [&, scale = scale] {
            return kaveloWindow(session(), [&](const Rect& r) { return near(r.width(), 320 * scale); });
        };
        ASSERT_TRUE(test::waitFor([&] { return panel().has_value(); }, 5s)) << listed(session());
        EXPECT_TRUE(near(panel()->midX(), at.x) && near(panel()->minY(), at.y + 4 * scale)) << text(*panel());
        picture(session(), "mixed-menu-panel-" + std::to_string(int(scale)));
        // A click elsewhere on the same monitor closes it.
        pointAt(int(elsewhere.x), int(elsewhere.y));
        session().button(1, true);
        session().button(1, false);
        ASSERT_TRUE(test::waitFor([&] { return !panel(); }, 5s)) << listed(session());
    }

    // The overview covers the monitor under the pointer.
    for (const Rect& monitor : {right, left}) {
        pointAt(int(monitor.midX()), int(monitor.midY()));
        key(controlKey, true);
        key(optionKey, true);
        key(spaceKey, true);
        key(spaceKey, false);
        key(optionKey, false);
        key(controlKey, false);
        const auto overview = [&] { return kaveloWindow(session(), [&](const Rect& r) { return r == monitor; }); };
        EXPECT_TRUE(test::waitFor([&] { return overview().has_value(); }, 5s)) << listed(session());
        picture(session(), "mixed-overview-" + std::to_string(int(monitor.minX())));
        key(escapeKey, true);
        key(escapeKey, false);
        EXPECT_TRUE(test::waitFor([&] { return !overview(); }, 5s)) << listed(session());
    }

    // One window on each monitor, tidied: 10 points from the edges, 10
    // pixels on the left monitor and 20 on the right one.
    const auto windows = session().windowsOfClass("KaveloTestClient");
    const std::uint32_t place[] = {2600, 700};
    xcb_configure_window(session().connection(), windows.back(), XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, place);
    session().sync();
    ASSERT_TRUE(test::waitFor([&] { return session().frame(windows.back())->minX() > 1920; }, 5s));
    ASSERT_TRUE(kavelo.request("kavelo://run/tidy"));
    const auto fills = [&](xcb_window_t window, const Rect& monitor, double gap) {
        const auto f = session().frame(window);
        return f && near(f->minX(), monitor.minX() + gap) && near(f->minY(), monitor.minY() + gap) &&
               near(f->maxX(), monitor.maxX() - gap) && near(f->maxY(), monitor.maxY() - gap);
    };
    EXPECT_TRUE(test::waitFor([&] { return fills(windows.front(), left, 10) && fills(windows.back(), right, 20); }, 5s))
        << text(*session().frame(windows.front())) << " " << text(*session().frame(windows.back()));
    picture(session(), "mixed-tidy");
}

} // namespace
} // namespace kavelo::testing
