// Applications on a real X server named and pictured by their desktop
// entries: names from the entries, the theme's icon for an entry's `Icon`,
// the class for a program without an entry, an entry installed while the
// program runs, and the programs people run named as their installed
// entries say.

#include "app/platform/desktop_entry.h"
#include "app/platform/manual_scheduler.h"
#include "app/platform/qt/theme_icons.h"
#include "app/platform/x11/x11_desktop.h"
#include "app/services/desktop.h"
#include "app/services/preferences.h"
#include "app/services/user_defaults.h"
#include "app/services/window_catalog.h"
#include "services/temp_home.h"
#include "support/x11_session.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>

namespace kavelo::testing {
namespace {

using namespace std::chrono_literals;

class AppNamesX11 : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        session = std::make_unique<test::X11Session>();
        if (!session->start({"xterm", "xclock", "xeyes"}, &startError))
            session.reset();
    }
    static void TearDownTestSuite() { session.reset(); }

    void SetUp() override
    {
        if (!session) {
            if (std::getenv("CI"))
                FAIL() << "no X server for the application name tests: " << startError;
            GTEST_SKIP() << "no X server for the application name tests: " << startError;
        }
        home = std::make_unique<test::TempHome>();
        const auto system = home->root() / "system";
        std::filesystem::create_directories(system);
        const char* old = std::getenv("XDG_DATA_DIRS");
        savedDataDirs = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("XDG_DATA_DIRS", system.c_str(), 1);

        const auto data = home->root() / "data";
        write(data / "applications/xterm.desktop", "[Desktop Entry]\nType=Application\nName=Terminal\nExec=xterm\n");
        write(data / "applications/clock.desktop", "[Desktop Entry]\nType=Application\nName=Clock\n"
                                                   "Icon=kavelo-test-clock\nStartupWMClass=XClock\nNoDisplay=true\n");
        write(data / "icons/hicolor/index.theme",
              "[Icon Theme]\nName=Hicolor\nDirectories=48x48/apps,scalable/apps\n\n"
              "[48x48/apps]\nSize=48\nContext=Applications\nType=Threshold\n\n"
              "[scalable/apps]\nSize=128\nMinSize=8\nMaxSize=512\nContext=Applications\nType=Scalable\n");
        write(data / "icons/hicolor/scalable/apps/kavelo-test-vector.svg",
              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\">"
              "<rect width=\"16\" height=\"16\" fill=\"#20c060\"/></svg>\n");
        iconFile = data / "icons/hicolor/48x48/apps/kavelo-test-clock.png";
        std::filesystem::create_directories(iconFile.parent_path());
        // A picture no window draws by chance: quadrants and a diagonal.
        QImage icon(48, 48, QImage::Format_ARGB32);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                icon.setPixelColor(x, y, x == y ? QColor(255, 255, 255, 255)
                                                : QColor(x < 24 ? 200 : 20, y < 24 ? 40 : 180, 90, (x + y) % 5 ? 255 : 128));
        ASSERT_TRUE(icon.save(QString::fromStdString(iconFile.string())));

        std::string error;
        x11 = X11Desktop::connect(session->display(), &error);
        ASSERT_TRUE(x11) << error;
        x11->attach(&scheduler);
        x11->setIconResolver(ThemeIcons::resolver());
        defaults = std::make_unique<UserDefaults>(home->paths().userDefaults);
        preferences = std::make_unique<Preferences>(*defaults, x11->loginItem(), [](int) { return false; });
        desktop.emplace(Desktop{x11->platform(scheduler, scheduler.clock()), *preferences});
    }

    void TearDown() override
    {
        desktop.reset();
        preferences.reset();
        defaults.reset();
        if (x11)
            x11->attach(nullptr);
        x11.reset();
        if (savedDataDirs)
            ::setenv("XDG_DATA_DIRS", savedDataDirs->c_str(), 1);
        else
            ::unsetenv("XDG_DATA_DIRS");
        home.reset();
    }

    static void write(const std::filesystem::path& file, const std::string& text)
    {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }

    // Class (the bundle identifier) → the name the catalog shows.
    std::map<std::string, std::string> names()
    {
        x11->processEvents();
        std::map<std::string, std::string> out;
        for (const auto& w : WindowCatalog::read(*desktop).windows)
            out.emplace(w.bundleID, w.appName);
        return out;
    }

    std::int32_t pidOf(const std::string& bundleID)
    {
        for (const auto& app : desktop->platform.workspace.runningApps())
            if (app.bundleID == bundleID)
                return app.pid;
        return 0;
    }

    static inline std::unique_ptr<test::X11Session> session;
    static inline std::string startError;

    std::unique_ptr<test::TempHome> home;
    std::optional<std::string> savedDataDirs;
    std::filesystem::path iconFile;
    ManualScheduler scheduler;
    std::unique_ptr<X11Desktop> x11;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<Preferences> preferences;
    std::optional<Desktop> desktop;
};

TEST_F(AppNamesX11, CatalogNamesProgramsByTheirEntriesAndKeepsTheClassOtherwise)
{
    const auto shown = names();
    EXPECT_EQ(shown.at("XTerm"), "Terminal");
    EXPECT_EQ(shown.at("XClock"), "Clock");
    EXPECT_EQ(shown.at("XEyes"), "XEyes");
    std::map<std::string, std::optional<std::string>> appNames;
    for (const auto& app : desktop->platform.workspace.runningApps())
        appNames.emplace(app.bundleID.value_or(""), app.name);
    EXPECT_EQ(appNames.at("XTerm"), "Terminal");
}

TEST_F(AppNamesX11, TheEntrysThemeIconIsTheApplicationsIcon)
{
    const auto icon = desktop->platform.workspace.icon(pidOf("XClock"));
    ASSERT_TRUE(icon);
    const QImage file = QImage(QString::fromStdString(iconFile.string())).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(icon->width, file.width());
    ASSERT_EQ(icon->height, file.height());
    std::vector<std::uint8_t> expected;
    for (int y = 0; y < file.height(); ++y)
        expected.insert(expected.end(), file.constScanLine(y), file.constScanLine(y) + file.width() * 4);
    // Exact where opaque; the toolkit's premultiplied pixmaps may round
    // the colour of a half-transparent pixel by a step or two.
    int worst = 0, opaqueDiffer = 0;
    for (std::size_t i = 0; i < expected.size(); i += 4)
        for (std::size_t c = 0; c < 4; ++c) {
            const int d = std::abs(int(icon->rgba[i + c]) - int(expected[i + c]));
            worst = std::max(worst, d);
            opaqueDiffer += expected[i + 3] == 255 && d != 0;
        }
    EXPECT_EQ(opaqueDiffer, 0);
    EXPECT_LE(worst, 2);

    // Without a resolver the window's own icon (xclock has none) is all there is.
    x11->setIconResolver({});
    EXPECT_FALSE(desktop->platform.workspace.icon(pidOf("XClock")));
}

TEST_F(AppNamesX11, AProgramWithoutAnEntryShowsItsWindowsLargestIconUpTo128)
{
    WindowID eyes = 0;
    for (const auto& w : WindowCatalog::read(*desktop).windows)
        if (w.bundleID == "XEyes")
            eyes = w.id;
    ASSERT_NE(eyes, 0u);
    const auto window = x11->serverWindow(eyes);
    ASSERT_TRUE(window);
    // Three pictures as the property holds them: 16, 64 and 256 pixels, each
    // ARGB with its own colour; the 64 one carries a diagonal.
    std::vector<std::uint32_t> data;
    const auto picture = [&](std::uint32_t side, std::uint32_t argb) {
        data.push_back(side);
        data.push_back(side);
        for (std::uint32_t y = 0; y < side; ++y)
            for (std::uint32_t x = 0; x < side; ++x)
                data.push_back(x == y ? 0xFFFFFFFFu : argb);
    };
    picture(16, 0xFFFF0000u);
    picture(64, 0x8000C040u);
    picture(256, 0xFF0000FFu);
    xcb_connection_t* c = xcb_connect(session->display().c_str(), nullptr);
    ASSERT_FALSE(xcb_connection_has_error(c));
    const char name[] = "_NET_WM_ICON";
    auto* atom = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof(name) - 1, name), nullptr);
    ASSERT_TRUE(atom);
    const xcb_atom_t icon = atom->atom;
    std::free(atom);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, *window, icon, XCB_ATOM_CARDINAL, 32, std::uint32_t(data.size()),
                        data.data());
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));

    // Kept icons are forgotten as the change is heard.
    std::optional<Image> got;
    EXPECT_TRUE(test::waitFor([&] { return (got = desktop->platform.workspace.icon(pidOf("XEyes"))).has_value(); },
                              test::answerDeadline));
    xcb_delete_property(c, *window, icon);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    xcb_disconnect(c);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->width, 64);
    ASSERT_EQ(got->height, 64);
    // RGBA, not premultiplied: as the property has it.
    const auto pixel = [&](int x, int y) {
        const std::size_t at = (std::size_t(y) * 64 + std::size_t(x)) * 4;
        return std::vector<std::uint8_t>(got->rgba.begin() + std::ptrdiff_t(at), got->rgba.begin() + std::ptrdiff_t(at) + 4);
    };
    EXPECT_EQ(pixel(10, 20), (std::vector<std::uint8_t>{0x00, 0xC0, 0x40, 0x80}));
    EXPECT_EQ(pixel(33, 33), (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
    // Taken away, there is none.
    EXPECT_TRUE(test::waitFor([&] { return !desktop->platform.workspace.icon(pidOf("XEyes")); }, test::answerDeadline));
}

TEST_F(AppNamesX11, ThemeIconsResolveVectorsFilesAndNothingForUnknownNames)
{
    const auto vector = ThemeIcons::resolve("kavelo-test-vector", 64);
    ASSERT_TRUE(vector);
    EXPECT_EQ(vector->width, 64);
    const std::size_t middle = (std::size_t(32) * 64 + 32) * 4;
    EXPECT_EQ(std::vector<std::uint8_t>(vector->rgba.begin() + std::ptrdiff_t(middle),
                                        vector->rgba.begin() + std::ptrdiff_t(middle) + 4),
              (std::vector<std::uint8_t>{0x20, 0xc0, 0x60, 0xff}));
    const auto file = ThemeIcons::resolve(iconFile.string(), 32);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->width, 32);
    EXPECT_FALSE(ThemeIcons::resolve("kavelo-no-such-icon", 64));
    EXPECT_FALSE(ThemeIcons::resolve("", 64));
}

// The installed programs with their installed entries: GTK ones name their
// entry in _GTK_APPLICATION_ID, kcalc only by a class that is the last part
// of its entry's id, xterm by its entry's StartupWMClass. A desktop file a
// KDE window names (kcalc names none outside Plasma) is shown by a client
// of our own.
TEST_F(AppNamesX11, InstalledProgramsAreNamedAndPicturedAsTheirEntriesSay)
{
    const std::vector<std::vector<std::string>> programs{
        {"gedit"}, {"gnome-calculator"}, {"env", "QT_QPA_PLATFORM=xcb", "kcalc"}, {"mousepad"}};
    for (const auto& argv : programs)
        if (!findProgram(argv.back())) {
            if (std::getenv("CI"))
                FAIL() << argv.back() << " is not installed";
            GTEST_SKIP() << argv.back() << " is not installed";
        }
    ::setenv("XDG_DATA_DIRS", "/usr/share", 1);
    // The toolkits keep their settings in memory and stay off the user's bus.
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    ::setenv("GDK_BACKEND", "x11", 1);
    ::setenv("NO_AT_BRIDGE", "1", 1);
    std::vector<pid_t> started;
    for (const auto& argv : programs) {
        std::vector<std::string> line{"dbus-run-session", "--"};
        line.insert(line.end(), argv.begin(), argv.end());
        started.push_back(session->launch(line));
    }
    started.push_back(session->launch({KAVELO_X11_TEST_CLIENT, "--class", "KaveloNamedByFile", "--text",
                                       "_KDE_NET_WM_DESKTOP_FILE", "org.kde.kcalc"}));
    const auto stop = [&] {
        for (pid_t pid : started)
            session->terminate(pid);
        ::unsetenv("GSETTINGS_BACKEND");
        ::unsetenv("GDK_BACKEND");
    };
    struct Stop {
        std::function<void()> run;
        ~Stop() { run(); }
    } stopping{stop};

    const std::map<std::string, std::string> expected{{"Gedit", "gedit"},
                                                      {"gnome-calculator", "Calculator"},
                                                      {"kcalc", "KCalc"},
                                                      {"Mousepad", "Mousepad"},
                                                      {"XTerm", "XTerm"},
                                                      {"KaveloNamedByFile", "KCalc"}};
    std::map<std::string, std::string> shown;
    const bool all = test::waitFor(
        [&] {
            shown = names();
            return std::all_of(expected.begin(), expected.end(),
                               [&](const auto& e) { return shown.count(e.first) > 0; });
        },
        test::answerDeadline);
    ASSERT_TRUE(all) << "not every program showed a window";
    for (const auto& [wmClass, name] : expected)
        EXPECT_EQ(shown.at(wmClass), name) << wmClass;

    // The icon follows the same entry: the calculator's is the theme's.
    x11->setIconResolver([](std::string_view icon, int) -> std::optional<Image> {
        if (icon != "org.gnome.Calculator")
            return std::nullopt;
        return Image{.width = 1, .height = 1, .rgba = {1, 2, 3, 255}};
    });
    const auto icon = desktop->platform.workspace.icon(pidOf("gnome-calculator"));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->rgba, (std::vector<std::uint8_t>{1, 2, 3, 255}));
}

TEST_F(AppNamesX11, AnEntryInstalledWhileRunningNamesItsProgram)
{
    EXPECT_EQ(names().at("XEyes"), "XEyes");
    write(home->root() / "data/applications/xeyes.desktop", "[Desktop Entry]\nType=Application\nName=Eyes\n");
    EXPECT_EQ(names().at("XEyes"), "Eyes");
    std::filesystem::remove(home->root() / "data/applications/xterm.desktop");
    EXPECT_EQ(names().at("XTerm"), "XTerm");
}

} // namespace
} // namespace kavelo::testing
