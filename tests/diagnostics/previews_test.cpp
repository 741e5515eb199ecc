// The screenshot renderer offscreen in a fresh home: the fifteen files at
// their sizes, what each view shows when its picture is taken, the pictures'
// telling regions, identical bytes on a second run, and a missing folder.

#include "app/diagnostics/diagnostics_runners.h"
#include "app/diagnostics/previews.h"
#include "app/diagnostics/sample_window.h"
#include "app/diagnostics/preview_samples.h"
#include "app/platform/sim/sim_desktop.h"
#include "app/settings/grid_chooser.h"
#include "app/settings/permissions_page.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_sidebar.h"
#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/switcher/views/overview_grid.h"
#include "app/switcher/views/overview_view.h"
#include "app/switcher/views/window_card.h"
#include "app/workflows/browser_tabs.h"
#include "app/ui/theme.h"
#include "services/temp_home.h"
#include "support/ui_app.h"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace kavelo;
using namespace kavelo::testing;
namespace fs = std::filesystem;

namespace {

std::string bytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Pixels within `tolerance` of `color` in every channel.
int pixelsNear(const QImage& image, QColor color, int tolerance = 3, QRect area = {})
{
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += std::abs(c.red() - color.red()) <= tolerance && std::abs(c.green() - color.green()) <= tolerance &&
                     std::abs(c.blue() - color.blue()) <= tolerance;
        }
    return count;
}

// The grid chooser the picture holds, if any (its class has no meta-object
// for `findChild`).
GridChooser* chooserIn(QWidget& view)
{
    for (QObject* child : view.children())
        if (auto* chooser = dynamic_cast<GridChooser*>(child))
            return chooser;
    return nullptr;
}

// What each view showed when its picture was taken.
struct Seen {
    std::vector<std::string> results;   // overview: the titles of the cards
    QPoint ring;                         // overview: just inside the selected card's ring
    double selectedScale = 0;
    double pictureDensity = 0;           // overview: the selected card's picture pixels per point
    bool emptyState = false;
    bool grid = false;
    std::string field;
    std::optional<SettingsTab> tab;
    bool restartRow = false;
    bool nothingToGrant = false;
    QRect help;   // the grid chooser's help text, in the picture
    QRect icon;   // the settings sidebar's application icon, in the picture
};

// One render shared by the suite: it takes a few seconds.
class Previews : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        home = std::make_unique<test::TempHome>();
        folder = home->root() / "pictures";
        fs::create_directories(folder);
        // A stale picture of the same name is replaced; other files stay.
        std::ofstream(folder / "overview.png") << "stale";
        std::ofstream(folder / "notes.txt") << "mine";
        unwritten = Previews::render(folder.string(), home->paths().userDefaults,
                                     [](const kavelo::Previews::Screen& screen, QWidget& view) {
                                         Seen& s = seen[screen.file];
                                         if (auto* overview = dynamic_cast<OverviewView*>(&view)) {
                                             for (const auto& w : overview->model().results())
                                                 s.results.push_back(w.title);
                                             s.emptyState = overview->emptyState()->isVisible();
                                             s.grid = overview->grid()->isVisible();
                                             s.field = overview->searchField()->text().toStdString();
                                             const int selected = overview->model().selection();
                                             if (selected >= 0 && selected < int(s.results.size())) {
                                                 const OverviewGrid& grid = *overview->grid();
                                                 const WindowCard card = grid.card(selected);
                                                 const QRectF cell = grid.cardRect(selected);
                                                 const QRectF area = card.layout(cell).pictureArea;
                                                 // The ring lies just inside the scaled picture area's edge.
                                                 const double left =
                                                     area.center().x() - (area.center().x() - area.left()) * card.scale();
                                                 s.ring = grid.mapTo(grid.window(), QPointF(left + 1.25, area.center().y()))
                                                              .toPoint();
                                                 s.selectedScale = card.scale();
                                                 if (card.picture)
                                                     s.pictureDensity = card.picture->width() /
                                                                        card.layout(cell).content.width();
                                             }
                                         } else if (auto* settings = dynamic_cast<SettingsView*>(&view)) {
                                             s.tab = settings->sidebar()->tab();
                                             const SettingsSidebar& sidebar = *settings->sidebar();
                                             s.icon = sidebar.iconRect().toAlignedRect().translated(
                                                 sidebar.mapTo(sidebar.window(), QPoint(0, 0)));
                                         } else if (auto* chooser = chooserIn(view)) {
                                             const QLabel* help = chooser->helpLabel();
                                             s.help = QRect(help->mapTo(help->window(), QPoint(0, 0)), help->size());
                                         } else if (auto* welcome = dynamic_cast<WelcomeView*>(&view)) {
                                             s.restartRow = welcome->permissions()->restartRow()->isVisible();
                                             s.nothingToGrant =
                                                 welcome->permissions()->nothingToGrantRow()->isVisible();
                                         }
                                     });
    }
    static void TearDownTestSuite()
    {
        seen.clear();
        home.reset();
    }

    static QImage picture(const std::string& file) { return QImage(QString::fromStdString((folder / file.substr(1)).string())); }

    static std::vector<std::string> render(const std::string& directory, const fs::path& defaults,
                                           const kavelo::Previews::Inspector& inspect = {})
    {
        return kavelo::Previews::render(directory, defaults, desktop.multitouch(), inspect);
    }

    static inline std::unique_ptr<test::TempHome> home;
    // Its trackpads reach the program.
    static inline SimDesktop desktop;
    static inline fs::path folder;
    static inline std::vector<std::string> unwritten;
    static inline std::map<std::string, Seen> seen;
};

TEST_F(Previews, ExactlyTheFifteenFilesAtTheirSizesNoneBlank)
{
    EXPECT_TRUE(unwritten.empty());
    std::set<std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.insert("/" + entry.path().filename().string());
    std::set<std::string> expected{"/notes.txt"};
    for (const auto& screen : kavelo::Previews::screens())
        expected.insert(screen.file);
    EXPECT_EQ(files, expected);
    EXPECT_EQ(expected.size(), 16u);
    EXPECT_EQ(bytes(folder / "notes.txt"), "mine");

    std::map<std::pair<int, int>, int> sizes;
    for (const auto& screen : kavelo::Previews::screens()) {
        const QImage image = picture(screen.file);
        ASSERT_FALSE(image.isNull()) << screen.file;
        EXPECT_EQ(image.width(), screen.width * screen.scale) << screen.file;
        if (screen.height > 0) {
            EXPECT_EQ(image.height(), screen.height * screen.scale) << screen.file;
        }
        ++sizes[{int(screen.width * screen.scale), int(screen.height * screen.scale)}];
        // Not just the background: a fill of its corner's colour would be.
        const int background = pixelsNear(image, image.pixelColor(0, image.height() - 1), 2);
        EXPECT_LT(background, image.width() * image.height() * 97 / 100) << screen.file;
        EXPECT_EQ(image.pixelColor(image.width() / 2, image.height() / 2).alpha(), 255) << screen.file << " opaque";
    }
    const std::map<std::pair<int, int>, int> wanted{
        {{1920, 1080}, 5}, {{3840, 2160}, 1}, {{540, 740}, 1}, {{760, 560}, 5}, {{640, 0}, 2}, {{320, 860}, 1}};
    EXPECT_EQ(sizes, wanted);
}

TEST_F(Previews, TheOverviewShowsItsScopesTheOneSearchMatchAndTheNoMatchState)
{
    using Titles = std::vector<std::string>;
    EXPECT_EQ(seen["/overview.png"].results.size(), 8u);
    EXPECT_EQ(seen["/overview-minimized.png"].results, (Titles{"Budget 2026", "Invoices"}));
    EXPECT_EQ(seen["/overview-other.png"].results, (Titles{"api.swift", "Launch checklist"}));
    EXPECT_EQ(seen["/overview-search.png"].results, (Titles{"Budget 2026"}));
    EXPECT_TRUE(seen["/overview-search.png"].grid);
    EXPECT_FALSE(seen["/overview-search.png"].emptyState);
    EXPECT_TRUE(seen["/overview-empty.png"].results.empty());
    EXPECT_TRUE(seen["/overview-empty.png"].emptyState);

    // The sample windows' light pages show through every card: eight
    // cards, then one, then none.
    const auto light = [](const QImage& image) {
        int count = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2)
                count += qGray(image.pixel(x, y)) > 170;
        return count;
    };
    const int all = light(picture("/overview.png"));
    const int search = light(picture("/overview-search.png"));
    const int empty = light(picture("/overview-empty.png"));
    EXPECT_GT(search, 5000);
    EXPECT_GT(all, 6 * search);
    EXPECT_LT(empty, search / 5);
    // The search field shows what was typed.
    EXPECT_EQ(seen["/overview-search.png"].field, "budget");
    EXPECT_EQ(seen["/overview-empty.png"].field, "zebra");
}

TEST_F(Previews, TheSelectedCardIsDrawnSelectedInEveryOverviewPicture)
{
    for (const char* file : {"/overview.png", "/overview-minimized.png", "/overview-other.png", "/overview-search.png"}) {
        EXPECT_DOUBLE_EQ(seen[file].selectedScale, WindowCard::selectedScale) << file;
        // The accent at full strength, not faded to the resting opacity.
        const QColor ring = picture(file).pixelColor(seen[file].ring);
        EXPECT_NEAR(ring.red(), Theme::lit().red(), 12) << file << " " << ring.name().toStdString();
        EXPECT_NEAR(ring.green(), Theme::lit().green(), 12) << file << " " << ring.name().toStdString();
        EXPECT_NEAR(ring.blue(), Theme::lit().blue(), 12) << file << " " << ring.name().toStdString();
    }
}

TEST_F(Previews, TheSettingsPagesShareTheirSidebarButTheSelectedRow)
{
    const std::pair<const char*, SettingsTab> pages[] = {
        {"/settings-general.png", SettingsTab::general},         {"/settings-shortcuts.png", SettingsTab::shortcuts},
        {"/settings-permissions.png", SettingsTab::permissions}, {"/settings-workflows.png", SettingsTab::workflows},
        {"/settings-arrange.png", SettingsTab::arrange},
    };
    const QImage first = picture(pages[0].first);
    for (const auto& [file, tab] : pages) {
        EXPECT_EQ(seen[file].tab, tab) << file;
        if (file == pages[0].first)
            continue;
        // Rows of the sidebar that differ: the two selected rows only.
        const QImage other = picture(file);
        int differing = 0;
        for (int y = 0; y < first.height(); ++y)
            for (int x = 0; x < SettingsSidebar::width - 4; ++x)
                if (first.pixel(x, y) != other.pixel(x, y)) {
                    ++differing;
                    break;
                }
        EXPECT_GT(differing, 10) << file;
        EXPECT_LT(differing, 2 * 48) << file;
    }
    // The application's own icon heads the sidebar: the accent mark on its
    // dark tile, not a flat square.
    const QImage general = picture("/settings-general.png");
    const QRect icon = seen["/settings-general.png"].icon;
    EXPECT_EQ(icon.size(), QSize(28, 28));
    EXPECT_GT(pixelsNear(general, Theme::lit(), 40, icon), 20);
    EXPECT_GT(pixelsNear(general, Theme::night(), 6, icon), 100);
    // The pages themselves differ.
    EXPECT_NE(bytes(folder / "settings-general.png"), bytes(folder / "settings-arrange.png"));
}

TEST_F(Previews, TheWelcomeWindowHasNothingToGrantAndTheGridChooserTakesItsBackground)
{
    // As on X11: no permission rows, so no restart either.
    EXPECT_TRUE(seen["/welcome.png"].nothingToGrant);
    EXPECT_FALSE(seen["/welcome.png"].restartRow);
    const QImage light = picture("/grid-chooser-light.png");
    const QImage dark = picture("/grid-chooser.png");
    // Drawn whole, the editor and the help text below it, 20 in from the bottom.
    for (const char* file : {"/grid-chooser.png", "/grid-chooser-light.png"}) {
        const QRect help = seen[file].help;
        EXPECT_GT(help.height(), 20) << file;
        EXPECT_LT(help.bottom(), picture(file).height() - 20) << file;
        EXPECT_GT(picture(file).height(), 500) << file;
    }
    EXPECT_EQ(light.pixelColor(2, 2), QColor::fromRgbF(0.92f, 0.92f, 0.92f).rgb());
    EXPECT_EQ(light.pixelColor(light.width() - 3, light.height() - 3), QColor::fromRgbF(0.92f, 0.92f, 0.92f).rgb());
    EXPECT_EQ(dark.pixelColor(2, 2).rgb(), Theme::night().rgb());
    // The light chooser draws dark text on light groups: far more light
    // pixels than the dark one.
    EXPECT_GT(pixelsNear(light, Qt::white, 30), 4 * pixelsNear(dark, Qt::white, 30) + 1000);
}

TEST_F(Previews, TheOverviewAtTwiceTheScaleIsTheSameScreenDrawnWithTwiceThePixels)
{
    // Its window pictures made for the device pixels they cover.
    EXPECT_NEAR(seen["/overview.png"].pictureDensity, 1, 0.02);
    EXPECT_NEAR(seen["/overview-2x.png"].pictureDensity, 2, 0.02);
    const QImage once = picture("/overview.png").convertToFormat(QImage::Format_RGB32);
    const QImage twice = picture("/overview-2x.png");
    const QImage halved =
        twice.scaled(once.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation).convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    for (int y = 0; y < once.height(); ++y)
        for (int x = 0; x < once.width(); ++x) {
            const QColor a = once.pixelColor(x, y), b = halved.pixelColor(x, y);
            if (std::max({std::abs(a.red() - b.red()), std::abs(a.green() - b.green()), std::abs(a.blue() - b.blue())}) > 64)
                ++differing;
        }
    EXPECT_LT(differing, once.width() * once.height() / 100);
}

TEST_F(Previews, ASecondRenderGivesTheSameBytesAndLeavesTheRenderingFlagAsItWas)
{
    const fs::path again = home->root() / "again";
    fs::create_directories(again);
    EXPECT_FALSE(Theme::isRendering);
    EXPECT_TRUE(render(again.string(), home->paths().userDefaults).empty());
    EXPECT_FALSE(Theme::isRendering);
    for (const auto& screen : kavelo::Previews::screens())
        EXPECT_EQ(bytes(again / screen.file.substr(1)), bytes(folder / screen.file.substr(1))) << screen.file;
}

TEST_F(Previews, AMissingFolderNamesEveryFileAndEndsWithStatusOne)
{
    const fs::path missing = home->root() / "no-such-folder";
    std::ostringstream err;
    EXPECT_EQ(runRender(missing.string(), desktop.multitouch(), err), 1);
    EXPECT_FALSE(fs::exists(missing)) << "never created";
    std::istringstream lines(err.str());
    std::vector<std::string> named;
    for (std::string line; std::getline(lines, line);)
        named.push_back(line);
    ASSERT_EQ(named.size(), 15u);
    for (std::size_t i = 0; i < named.size(); ++i)
        EXPECT_EQ(named[i], "kavelo: could not write " + missing.string() + kavelo::Previews::screens()[i].file);
}

TEST(SampleWindow, DrawsItsTitleBarButtonsAndLines)
{
    const auto samples = PreviewSamples::windows();
    ASSERT_EQ(samples.size(), 8u);
    const QImage plan = SampleWindow::picture(samples[0]);
    EXPECT_EQ(plan.size(), QSize(480, 300));
    EXPECT_EQ(plan.pixelColor(300, 5).rgb(), QColor::fromRgbF(0.9f, 0.9f, 0.9f).rgb()) << "title bar";
    EXPECT_EQ(plan.pixelColor(470, 290).rgb(), QColor::fromRgbF(0.98f, 0.98f, 0.98f).rgb()) << "page";
    // Pixels in `area` darker than `level`, and coloured ones.
    const auto count = [](const QImage& image, QRect area, auto counts) {
        int n = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                n += counts(image.pixelColor(x, y));
        return n;
    };
    const auto darker = [](int level) { return [level](const QColor& c) { return qGray(c.rgb()) < level; }; };
    const auto dark = [&](const QImage& image, int top, int bottom) {
        return count(image, QRect(0, top, image.width(), bottom - top), darker(80));
    };
    // A title bar of this desktop: greys only, the title at the left, and
    // minimize, maximize and close at the right with nothing between them.
    const QRect bar(0, 0, SampleWindow::width, SampleWindow::titleBarHeight);
    EXPECT_EQ(count(plan, bar, [](const QColor& c) { return c.hsvSaturation() > 16; }), 0);
    EXPECT_GT(count(plan, QRect(SampleWindow::titleInset, 0, 40, bar.height()), darker(120)), 30) << "title";
    for (int i = 0; i < 3; ++i) {
        const int right = SampleWindow::width - SampleWindow::titleInset - SampleWindow::buttonPitch * i;
        EXPECT_GT(count(plan, QRect(right - 11, 11, 12, 12), darker(200)), 8) << "button " << i;
        EXPECT_EQ(count(plan, QRect(right - 20, 8, 6, 18), darker(225)), 0) << "before button " << i;
    }
    EXPECT_EQ(count(plan, QRect(SampleWindow::width - SampleWindow::titleInset + 2, 0, 10, bar.height()), darker(225)),
              0);
    for (int line = 0; line < 4; ++line)
        EXPECT_GT(dark(plan, 58 + 42 * line, 58 + 42 * line + 26), 100) << line;
    WindowEntry other = samples[0];
    other.title = "Something else";
    EXPECT_EQ(dark(SampleWindow::picture(other), 50, 300), 0);

    const Image image = SampleWindow::image(samples[0]);
    ASSERT_TRUE(image.isValid());
    const std::size_t page = (std::size_t(290) * 480 + 470) * 4;
    EXPECT_EQ(image.rgba[page], 250) << "red of the white page";
    EXPECT_EQ(image.rgba[page + 3], 255) << "opaque";
    EXPECT_EQ(image.rgba[0], 230) << "red of the title bar";
}

TEST(PreviewSamples, TheBudgetLinesAreTwentyOneWideAndTheWorkflowsCarryTheirSamples)
{
    for (const auto& line : PreviewSamples::text("Budget 2026"))
        EXPECT_EQ(line.size(), 21u) << line;
    EXPECT_EQ(PreviewSamples::text("Budget 2026").back(), "Total           1,660");
    EXPECT_EQ(PreviewSamples::text("api.swift")[2], "        .filter(\\.isVisible)");
    const auto settings = PreviewSamples::settingsWorkflows(Date());
    ASSERT_EQ(settings.size(), 2u);
    EXPECT_EQ(settings[0].apps(), (std::vector<std::string>{"Writer", "Thunderbird", "Calc", "Notes"}));
    // Kept as the live program keeps them: under the Linux browser's name.
    for (const auto& w : settings)
        for (const auto& [browser, urls] : w.tabs)
            EXPECT_TRUE(BrowserTabs::isFirefox(browser)) << browser;
    EXPECT_EQ(settings[0].tabs.at(std::string(BrowserTabs::firefox)).size(), 2u);
    EXPECT_TRUE(settings[1].hidesOtherApps);
    for (const auto& w : PreviewSamples::overviewWorkflows(Date()))
        EXPECT_TRUE(w.windows.empty());
}

} // namespace
