#include "app/settings/general_page.h"
#include "app/settings/permissions_page.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_sidebar.h"
#include "app/settings/settings_style.h"
#include "app/settings/settings_view.h"
#include "app/settings/workflows_page.h"
#include "app/ui/capture.h"
#include "app/ui/menu_bar_icon.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "settings/settings_world.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

struct SettingsViewTest : ::testing::Test, SettingsWorld {
    std::unique_ptr<SettingsView> open(SettingsTab tab)
    {
        auto view = std::make_unique<SettingsView>(prefs, watcher, workflows, actions, sim.keyboard(),
                                                   time(), tab);
        showSettled(*view);
        return view;
    }
    void click(SettingsView& view, SettingsTab tab)
    {
        QTest::mouseClick(view.sidebar(), Qt::LeftButton, Qt::NoModifier,
                          view.sidebar()->rowRect(tab).center().toPoint());
    }
};

} // namespace

TEST(SettingsTab, RawValuesTitlesAndStrictParsing)
{
    EXPECT_EQ(SettingsTab_from("shortcuts"), SettingsTab::shortcuts);
    EXPECT_EQ(SettingsTab_from("Shortcuts"), std::nullopt);
    EXPECT_EQ(SettingsTab_from(""), std::nullopt);
    EXPECT_EQ(SettingsTab_from("shortcut"), std::nullopt);
    std::vector<std::string> titles;
    for (SettingsTab tab : allSettingsTabs) {
        EXPECT_EQ(SettingsTab_from(rawValue(tab)), tab);
        titles.push_back(title(tab));
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"General", "Workflows", "Arrange", "Shortcuts", "Permissions"}));
}

TEST_F(SettingsViewTest, FixedSizeWithTheSidebarOnGlassAndThePageBesideIt)
{
    auto view = open(SettingsTab::general);
    EXPECT_EQ(view->size(), QSize(760, 560));
    EXPECT_EQ(view->sidebar()->geometry(), QRect(0, 0, 208, 560));
    EXPECT_EQ(view->sidebar()->material(), GlassMaterial::sidebar);
    EXPECT_EQ(view->pageArea()->geometry(), QRect(208, 0, 552, 560));
    EXPECT_EQ(view->pageTitle()->text(), "General");
    EXPECT_NE(dynamic_cast<GeneralPage*>(view->page()), nullptr);
    // Title and page in the padded column, 22 apart.
    const QPoint title = view->pageTitle()->mapTo(view.get(), QPoint());
    EXPECT_EQ(title, QPoint(208 + 28, 34));
    EXPECT_EQ(view->page()->mapTo(view.get(), QPoint()).y(), title.y() + view->pageTitle()->height() + 22);
    EXPECT_EQ(view->page()->width(), 552 - 56);
    // Our own icon heads the sidebar.
    EXPECT_FALSE(view->sidebar()->icon().isNull());
    EXPECT_EQ(view->sidebar()->iconRect(), QRectF(20, 34, 28, 28));
}

TEST_F(SettingsViewTest, TheHeaderDrawsTheApplicationsOwnIconAtTheScaleOfTheScreen)
{
    // Not the desktop's picture of our process, which was a flat square on
    // the simulated desktop and nothing at all on X11 before a window showed;
    // and at twice the scale drawn with twice the pixels, not enlarged.
    auto view = open(SettingsTab::general);
    for (const int scale : {1, 2}) {
        const QImage image = Capture::render(*view, scale);
        const QRect icon = view->sidebar()->iconRect().toRect();
        const QImage drawn = image.copy(QRect(icon.topLeft() * scale, icon.size() * scale));
        const QImage wanted = MenuBarIcon::applicationImage(icon.width() * scale);
        // Compared on the tile: its rounded corners show the sidebar.
        int differing = 0;
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                differing += qAlpha(wanted.pixel(x, y)) == 255 &&
                             std::abs(qGray(drawn.pixel(x, y)) - qGray(wanted.pixel(x, y))) > 24;
        EXPECT_LT(differing, drawn.width() * drawn.height() / 100) << scale;
        EXPECT_GT(pixelsNear(drawn, drawn.rect(), Theme::lit(), 40), 20 * scale * scale) << scale;
    }
}

TEST_F(SettingsViewTest, SidebarRowsInTabOrderWithTheirTileColours)
{
    auto view = open(SettingsTab::general);
    const QImage image = Capture::render(*view);
    SettingsSidebar* sidebar = view->sidebar();
    double previous = -1;
    for (SettingsTab tab : allSettingsTabs) {
        const QRectF row = sidebar->rowRect(tab);
        EXPECT_GT(row.top(), previous);
        previous = row.bottom();
        const QRect tile = sidebar->tileRect(tab).toRect();
        EXPECT_EQ(tile.size(), QSize(24, 24));
        // The fill, left of the symbol.
        const QColor fill = SettingsStyle::tileFill(tileColor(tab));
        EXPECT_EQ(image.pixelColor(tile.left() + 3, tile.center().y()).rgb(), fill.rgb()) << rawValue(tab);
        const int black = pixelsNear(image, tile.adjusted(4, 4, -4, -4), Qt::black, 40);
        const int white = pixelsNear(image, tile.adjusted(4, 4, -4, -4), Qt::white, 40);
        if (tab == SettingsTab::arrange) {
            EXPECT_EQ(fill.rgb(), Theme::lit().rgb());
            EXPECT_GT(black, 20);
            EXPECT_EQ(white, 0);
        } else {
            EXPECT_GT(white, 20) << rawValue(tab);
            EXPECT_EQ(black, 0) << rawValue(tab);
        }
    }
}

TEST_F(SettingsViewTest, ATabClickChangesThePageAndSpringsTheHighlight)
{
    auto view = open(SettingsTab::general);
    SettingsSidebar* sidebar = view->sidebar();
    EXPECT_EQ(sidebar->highlightPosition(), 0);
    EXPECT_FALSE(sidebar->isAnimating());

    click(*view, SettingsTab::permissions);
    EXPECT_EQ(view->tab(), SettingsTab::permissions);
    EXPECT_EQ(view->pageTitle()->text(), "Permissions");
    EXPECT_NE(dynamic_cast<PermissionsPage*>(view->page()), nullptr);
    // The highlight leaves from where it was and springs to the new row,
    // overshooting a little (damping 0.85) before it settles.
    EXPECT_EQ(sidebar->highlightPosition(), 0);
    EXPECT_TRUE(sidebar->isAnimating());
    scheduler.advance(0.05);
    const double early = sidebar->highlightPosition();
    EXPECT_GT(early, 0.5);
    EXPECT_LT(early, 4);
    double highest = 0;
    for (int i = 0; i < 60; ++i) {
        scheduler.advance(1.0 / 60);
        highest = std::max(highest, sidebar->highlightPosition());
    }
    EXPECT_GT(highest, 4);
    EXPECT_LT(highest, 4.2);
    EXPECT_EQ(sidebar->highlightPosition(), 4);
    EXPECT_FALSE(sidebar->isAnimating());

    // The highlight is drawn where the selected row is.
    const QImage image = Capture::render(*view);
    const QRectF row = sidebar->rowRect(SettingsTab::permissions);
    const QRectF other = sidebar->rowRect(SettingsTab::general);
    const QPoint inRow(int(row.right()) - 10, int(row.center().y()));
    const QPoint inOther(int(other.right()) - 10, int(other.center().y()));
    EXPECT_GT(qGray(image.pixel(inRow)), qGray(image.pixel(inOther)));

    // A press that leaves its row before release selects nothing; a click
    // outside the rows neither.
    QTest::mousePress(sidebar, Qt::LeftButton, Qt::NoModifier, sidebar->rowRect(SettingsTab::general).center().toPoint());
    QTest::mouseRelease(sidebar, Qt::LeftButton, Qt::NoModifier,
                        sidebar->rowRect(SettingsTab::workflows).center().toPoint());
    QTest::mouseClick(sidebar, Qt::LeftButton, Qt::NoModifier, QPoint(100, 540));
    EXPECT_EQ(view->tab(), SettingsTab::permissions);

    click(*view, SettingsTab::workflows);
    EXPECT_EQ(view->pageTitle()->text(), "Workflows");
    EXPECT_NE(dynamic_cast<WorkflowsPage*>(view->page()), nullptr);

    // Pages still to come keep their title and an empty place.
    for (SettingsTab tab : {SettingsTab::arrange}) {
        click(*view, tab);
        EXPECT_EQ(view->pageTitle()->text(), QString::fromStdString(title(tab)));
        EXPECT_TRUE(view->page()->findChildren<QWidget*>().isEmpty());
    }
}

TEST_F(SettingsViewTest, ATallPageScrollsByWheelWithoutScrollBarsAndTheSidebarStays)
{
    auto view = open(SettingsTab::arrange);
    view->page()->setMinimumHeight(1600);
    settleLayouts();
    QScrollBar* bar = view->pageArea()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 1000);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(view->pageArea()->horizontalScrollBar()->isVisible());

    const QRectF rowBefore = view->sidebar()->rowRect(SettingsTab::general);
    wheel(view->sidebar(), QPoint(100, 300), 3);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(view->sidebar()->geometry(), QRect(0, 0, 208, 560));

    QWidget* viewport = view->pageArea()->viewport();
    wheel(viewport, QPoint(200, 300), 3);
    EXPECT_GT(bar->value(), 0);
    const int scrolled = bar->value();
    EXPECT_EQ(view->pageTitle()->mapTo(view.get(), QPoint()).y(), 34 - scrolled);
    EXPECT_EQ(view->sidebar()->rowRect(SettingsTab::general), rowBefore);
    EXPECT_EQ(view->sidebar()->geometry(), QRect(0, 0, 208, 560));

    // Another page starts at its top.
    click(*view, SettingsTab::general);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(SettingsViewTest, ConfirmingDeleteOutlivesPageChanges)
{
    auto view = open(SettingsTab::workflows);
    EXPECT_EQ(view->confirmingDelete(), std::nullopt);
    scheduler.advance(3);
    view->setConfirmingDelete("Work");
    EXPECT_EQ(view->armedAt(), scheduler.clock().monotonic());
    click(*view, SettingsTab::general);
    click(*view, SettingsTab::workflows);
    EXPECT_EQ(view->confirmingDelete(), "Work");
}

TEST_F(SettingsViewTest, GeneralPageSwitchesFollowTheSettingsAndARefusedLoginItemSpringsBack)
{
    sim.setLoginItem(LoginItemStatus::notRegistered, true);
    auto view = open(SettingsTab::general);
    auto* page = dynamic_cast<GeneralPage*>(view->page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->opensAtLoginRow()->titleLabel()->text(), "Open at login");
    EXPECT_EQ(page->remembersLayoutsRow()->titleLabel()->text(), "Remember layout for each monitor setup");
    QStringList footers;
    for (QWidget* child : page->findChildren<QWidget*>())
        if (auto* group = dynamic_cast<SettingGroup*>(child); group && group->footerLabel())
            footers << group->footerLabel()->text();
    EXPECT_EQ(footers, QStringList{"When you reconnect a monitor, your windows go back to where they were."});
    // The remember group stands 20 below the login group.
    const QWidget* first = page->opensAtLoginRow()->parentWidget()->parentWidget()->parentWidget();
    const QWidget* second = page->remembersLayoutsRow()->parentWidget()->parentWidget()->parentWidget();
    EXPECT_EQ(second->y(), first->geometry().bottom() + 1 + 20);

    Switch* login = page->opensAtLoginRow()->toggle();
    EXPECT_FALSE(login->isChecked());
    QTest::mouseClick(login, Qt::LeftButton);
    EXPECT_FALSE(login->isChecked());
    EXPECT_FALSE(prefs.opensAtLogin());

    sim.setLoginItem(LoginItemStatus::notRegistered, false);
    QTest::mouseClick(login, Qt::LeftButton);
    EXPECT_TRUE(login->isChecked());
    EXPECT_TRUE(prefs.opensAtLogin());
    EXPECT_FALSE(store.contains("opensAtLogin"));

    Switch* remember = page->remembersLayoutsRow()->toggle();
    EXPECT_TRUE(remember->isChecked());
    QTest::mouseClick(remember, Qt::LeftButton);
    EXPECT_FALSE(prefs.remembersLayouts());
    EXPECT_EQ(store.boolean("remembersLayouts"), false);
    // A change made elsewhere shows at once.
    prefs.setRemembersLayouts(true);
    EXPECT_TRUE(remember->isChecked());
}

TEST_F(SettingsViewTest, PermissionsPageAsksFollowsGrantsAndOffersTheRestart)
{
    permissions(false, false);
    sim.setCaptureGrantedOnRequest(false);
    auto view = open(SettingsTab::permissions);
    auto* page = dynamic_cast<PermissionsPage*>(view->page());
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(page->titleLabel(), nullptr);
    EXPECT_EQ(page->footerLabel(), nullptr);
    EXPECT_EQ(page->accessibilityRow()->titleLabel()->text(), "Accessibility");
    EXPECT_EQ(page->accessibilityRow()->detailLabel()->text(),
              "Lets Kavelo open windows, show minimized ones, and move them.");
    EXPECT_EQ(page->screenRecordingRow()->titleLabel()->text(), "Screen Recording");
    EXPECT_TRUE(page->accessibilityRow()->button()->isVisible());
    EXPECT_TRUE(page->screenRecordingRow()->button()->isVisible());
    EXPECT_FALSE(page->restartRow()->isVisible());

    QTest::mouseClick(page->accessibilityRow()->button(), Qt::LeftButton);
    EXPECT_EQ(sim.trustRequests(), 1);
    sim.setTrusted(true);
    scheduler.advance(1);
    EXPECT_FALSE(page->accessibilityRow()->button()->isVisible());
    EXPECT_TRUE(page->accessibilityRow()->grantedLabel()->isVisible());

    // The restart offer shows at once, before the system answers.
    QTest::mouseClick(page->screenRecordingRow()->button(), Qt::LeftButton);
    EXPECT_TRUE(watcher.askedForScreenRecording.value());
    ASSERT_EQ(sim.requests().size(), 1u);   // still refused: the system's settings open
    EXPECT_EQ(sim.requests()[0].kind, "openURLs");
    EXPECT_TRUE(page->restartRow()->isVisible());
    EXPECT_EQ(page->restartRow()->titleLabel()->text(), "Kavelo needs to restart");
    EXPECT_EQ(page->restartButton()->text(), "Restart");
    EXPECT_FALSE(page->restartButton()->prominent());
    EXPECT_EQ(page->rows()->dividers().size(), 2u);
    scheduler.advance(5);
    EXPECT_TRUE(page->restartRow()->isVisible());

    QTest::mouseClick(page->restartButton(), Qt::LeftButton);
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].program, "/bin/sh");
    EXPECT_EQ(quits, 1);

    sim.setCaptureAllowed(true);
    scheduler.advance(1);
    EXPECT_FALSE(page->restartRow()->isVisible());
    EXPECT_TRUE(page->screenRecordingRow()->grantedLabel()->isVisible());
    EXPECT_EQ(page->rows()->dividers().size(), 1u);
}

TEST_F(SettingsViewTest, ADesktopThatAsksNoPermissionSaysSoInOneRowWithoutARestart)
{
    sim.setAsksPermissions(false);
    // Even a request remembered from before offers no restart here.
    watcher.askedForScreenRecording.set(true);
    watcher.screenRecording.set(false);
    auto view = open(SettingsTab::permissions);
    auto* page = dynamic_cast<PermissionsPage*>(view->page());
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(page->nothingToGrantRow()->isVisible());
    EXPECT_EQ(page->nothingToGrantRow()->titleLabel()->text(), "Nothing to grant");
    EXPECT_EQ(page->nothingToGrantRow()->detail(), PermissionsPage::nothingToGrantDetail());
    EXPECT_FALSE(page->accessibilityRow()->isVisible());
    EXPECT_FALSE(page->screenRecordingRow()->isVisible());
    EXPECT_FALSE(page->restartRow()->isVisible());
    EXPECT_TRUE(page->rows()->dividers().empty());
    scheduler.advance(2);
    EXPECT_FALSE(page->restartRow()->isVisible());
}

TEST_F(SettingsViewTest, BothGrantedShowsTwoOnAndNoRestartRow)
{
    watcher.askedForScreenRecording.set(true);
    auto view = open(SettingsTab::permissions);
    auto* page = dynamic_cast<PermissionsPage*>(view->page());
    ASSERT_NE(page, nullptr);
    for (PermissionRow* row : {page->accessibilityRow(), page->screenRecordingRow()}) {
        EXPECT_TRUE(row->grantedLabel()->isVisible());
        EXPECT_FALSE(row->button()->isVisible());
    }
    EXPECT_FALSE(page->restartRow()->isVisible());
}

TEST_F(SettingsViewTest, OpeningEveryPageLeavesTheDefaultsFileAsItWas)
{
    prefs.setWindowGap(12);
    const auto before = defaultsFile();
    ASSERT_TRUE(before);
    for (SettingsTab tab : allSettingsTabs) {
        auto view = open(tab);
        (void)Capture::render(*view);
        for (SettingsTab other : allSettingsTabs)
            click(*view, other);
        scheduler.advance(2);
    }
    EXPECT_EQ(defaultsFile(), before);
}

TEST_F(SettingsViewTest, NoPageIsWiderThanTheWindow)
{
    // The widest content each page can have: a gesture row disabled with
    // its reason, long application names, a clash and a switched-off
    // screen.
    sim.setTrackpads(0);
    sim.addApp(SimApp{.bundleID = std::string("org.example.long"),
                      .name = std::string("An application with a rather long name indeed")});
    prefs.setDisplaysOff({"Built-in Display"});
    const auto fits = [](SettingsView& view, const std::string& page) {
        const QWidget* viewport = view.pageArea()->viewport();
        const QWidget* content = view.pageArea()->widget();
        EXPECT_LE(content->width(), viewport->width()) << page;
        for (const QWidget* part : content->findChildren<QWidget*>()) {
            if (part->isVisibleTo(content) && part->width() > 0) {
                EXPECT_LE(part->mapTo(viewport, QPoint(part->width(), 0)).x(), viewport->width())
                    << page << ": " << part->metaObject()->className() << " "
                    << part->accessibleName().toStdString();
            }
        }
    };
    for (const SettingsTab tab : allSettingsTabs)
        for (const ArrangeMode mode : allArrangeModes) {
            if (tab != SettingsTab::arrange && mode != ArrangeMode::off)
                continue;
            prefs.setArrangeMode(mode);
            auto view = open(tab);
            view->setArrangeSources(ArrangeSources{sim.displays(), sim.workspace(), sim.appInfo().bundleID(),
                                                   [] { return std::optional<std::string>("Tiler"); },
                                                   &sim.multitouch()});
            settleLayouts();
            const std::string page = std::string(rawValue(tab)) + " in " + std::string(rawValue(mode));
            fits(*view, page);
            for (const double scale : {1.0, 2.0})
                Capture::savePng(Capture::render(*view, scale),
                                 picturePath("fits-" + page + "@" + std::to_string(int(scale)) + "x.png"));
        }
}

TEST_F(SettingsViewTest, PicturesOfEveryPage)
{
    permissions(true, false);
    watcher.askedForScreenRecording.set(true);
    for (SettingsTab tab : allSettingsTabs) {
        auto view = open(tab);
        Theme::isRendering = true;
        const QImage image = Capture::render(*view);
        Theme::isRendering = false;
        EXPECT_EQ(image.size(), QSize(760, 560));
        EXPECT_TRUE(Capture::savePng(image, picturePath("settings-" + std::string(rawValue(tab)) + ".png")));
        // The page area is the fixed dark window colour, the sidebar the
        // solid glass colour while rendering.
        EXPECT_EQ(image.pixelColor(740, 540).rgb(), SettingsStyle::windowBackground().rgb());
        EXPECT_EQ(image.pixelColor(4, 540).rgb(), Theme::renderingGlass().rgb());
    }
}
