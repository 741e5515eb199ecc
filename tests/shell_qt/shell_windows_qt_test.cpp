// The settings and welcome windows, the popover's window and the main
// menu's keys, offscreen.

#include "app/settings/settings_sidebar.h"
#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/shell/qt/main_menu.h"
#include "app/shell/qt/popover_window.h"
#include "app/shell/qt/shell_windows_qt.h"
#include "app/shell/qt/status_item_qt.h"
#include "app/ui/capture.h"
#include "app/ui/menu_bar_icon.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "settings/settings_world.h"
#include "shell/panel_world.h"
#include "support/ui_app.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

void settle()
{
    for (int i = 0; i < 10; ++i)
        QApplication::processEvents();
}

class ShellWindowsTest : public ::testing::Test, public SettingsWorld {
protected:
    ShellWindowsTest()
        : windows(WindowSources{.platform = sim.platform(scheduler, scheduler.clock()),
                                .preferences = prefs,
                                .watcher = watcher,
                                .workflows = workflows,
                                .permissions = actions.permissions,
                                .clashingApp = [] { return std::optional<std::string>(); }},
                  time(), [this](QWidget& w) { made.push_back(&w); })
    {
    }
    ~ShellWindowsTest() override
    {
        if (auto* s = windows.settingsWindow())
            s->hide();
        if (auto* w = windows.welcomeWindow())
            w->hide();
    }
    static QPoint centreOfScreen()
    {
        return QGuiApplication::primaryScreen()->availableGeometry().center();
    }

    std::vector<QWidget*> made;
    QtShellWindows windows;
};

TEST_F(ShellWindowsTest, TheSettingsWindowIsReusedSwitchesItsPageAndComesBackCentred)
{
    windows.showSettings(SettingsTab::general);
    settle();
    QWidget* window = windows.settingsWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->windowTitle(), "Kavelo Settings");
    EXPECT_EQ(window->size(), QSize(760, 560));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(windows.settingsView()->tab(), SettingsTab::general);
    EXPECT_LE((window->geometry().center() - centreOfScreen()).manhattanLength(), 2);

    window->move(10, 10);
    window->close();
    EXPECT_FALSE(window->isVisible()) << "hidden, kept";
    windows.showSettings(SettingsTab::permissions);
    settle();
    EXPECT_EQ(windows.settingsWindow(), window) << "the same window";
    EXPECT_EQ(windows.settingsView()->tab(), SettingsTab::permissions);
    EXPECT_TRUE(window->isVisible());
    EXPECT_LE((window->geometry().center() - centreOfScreen()).manhattanLength(), 2) << "re-centred";
    EXPECT_EQ(made.size(), 1u);
    EXPECT_NE(windows.settingsView()->page(), nullptr);

    const QImage picture = Capture::render(*window);
    EXPECT_GT(opaquePixels(picture), picture.width() * picture.height() / 2);
    Capture::savePng(picture, pictureFolder() + "settings_window.png");
}

TEST_F(ShellWindowsTest, TheWelcomeWindowsDoneActionIsHandedIn)
{
    int done = 0;
    windows.showWelcome([&] { ++done; });
    settle();
    QWidget* window = windows.welcomeWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->size(), QSize(540, 740));
    EXPECT_TRUE(window->windowTitle().isEmpty());
    QTest::mouseClick(windows.welcomeView()->getStarted(), Qt::LeftButton);
    settle();
    EXPECT_EQ(done, 1);
    windows.closeWelcome();
    EXPECT_FALSE(window->isVisible());
    windows.showWelcome([] {});
    EXPECT_EQ(windows.welcomeWindow(), window);

    const QImage picture = Capture::render(*window);
    Capture::savePng(picture, pictureFolder() + "welcome_window.png");
}

TEST_F(ShellWindowsTest, TheMainMenusKeysWorkInEveryWindow)
{
    int quits = 0;
    MainMenu menu([&] { ++quits; });
    windows.showSettings(SettingsTab::general);
    settle();
    QWidget* window = windows.settingsWindow();
    menu.attach(*window);
    menu.attach(*window);
    EXPECT_EQ(window->actions().size(), 7) << "once each";
    std::vector<QString> titles;
    for (QAction* a : menu.actions())
        titles.push_back(a->text());
    EXPECT_EQ(titles, (std::vector<QString>{"Quit Kavelo", "Undo", "Cut", "Copy", "Paste", "Select All", "Close"}));
    EXPECT_EQ(menu.quit()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(menu.close()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    menu.quit()->trigger();
    EXPECT_EQ(quits, 1);

    // The Edit items reach the focused field.
    QLineEdit field(window);
    field.setText("hello");
    field.show();
    field.setFocus();
    window->activateWindow();
    settle();
    if (QApplication::focusWidget() == &field) {
        menu.actions()[5]->trigger();
        EXPECT_EQ(field.selectedText(), "hello");
    }
}

class PopoverWindowTest : public ::testing::Test, public PanelWorld {};

TEST_F(PopoverWindowTest, ItOpensAtItsPlaceGrowsInPlaceAndTellsWhenItClosesItself)
{
    QWidget* frameMade = nullptr;
    QtPopoverWindow popover({scheduler, scheduler.clock()}, [this] { return screen(); }, [] { return false; },
                            [&](QWidget& w) { frameMade = &w; });
    int closed = 0;
    std::vector<Size> asked;
    popover.open(
        panel(), [&](Size s) { asked.push_back(s); return Rect(100, 40, s.width, s.height); }, [&] { ++closed; });
    settle();
    ASSERT_TRUE(popover.isOpen());
    ASSERT_EQ(frameMade, popover.window());
    EXPECT_EQ(asked.back().width, 320);
    EXPECT_EQ(popover.frame()->origin, Point(100, 40));
    const double height = popover.frame()->height();

    prefs.setArrangeMode(ArrangeMode::auto_);
    QTest::mouseClick(popover.view()->moreHeader(), Qt::LeftButton);
    settle();
    EXPECT_GT(popover.frame()->height(), height) << "re-placed at its new size";
    EXPECT_EQ(popover.frame()->origin, Point(100, 40));

    MenuPanelView* first = popover.view();
    popover.open(panel(), [&](Size s) { return Rect(100, 40, s.width, s.height); }, [&] { ++closed; });
    settle();
    EXPECT_NE(popover.view(), first) << "a new panel at each opening";
    EXPECT_FALSE(popover.view()->moreContent()->isVisible()) << "its state starts afresh";

    popover.window()->close();
    EXPECT_FALSE(popover.isOpen());
    EXPECT_EQ(closed, 1);
    popover.close();
    EXPECT_EQ(closed, 1) << "closed by the popover: no word back";
}

TEST(StatusItemQt, TheTrayIconIsTheMarkInTheAccent)
{
    const QIcon icon = QtStatusItem::trayImage();
    const QImage image = icon.pixmap(18, 18).toImage();
    EXPECT_GT(opaquePixels(image), 20);
    const QImage app = QtStatusItem::applicationIcon().pixmap(128, 128).toImage();
    EXPECT_GT(opaquePixels(app), 128 * 128 / 2);
    Capture::savePng(app, pictureFolder() + "application_icon.png");

    // In a tray's 22 × 10 slot at twice the scale, painted as the tray
    // paints it, by a widget that may not know its screen's scale: the mark
    // drawn for the slot's 20 device pixels, not a smaller picture enlarged.
    struct Slot : QWidget {
        QIcon icon;
        void paintEvent(QPaintEvent*) override
        {
            QPainter painter(this);
            icon.paint(&painter, rect());
        }
    } tray;
    tray.icon = icon;
    tray.resize(22, 10);
    const QImage slot = Capture::render(tray, 2);
    const QImage wanted = MenuBarIcon::tinted(20.0 / MenuBarIcon::side, Theme::lit());
    int differing = 0;
    for (int y = 0; y < wanted.height(); ++y)
        for (int x = 0; x < wanted.width(); ++x)
            differing += std::abs(qAlpha(slot.pixel(12 + x, y)) - qAlpha(wanted.pixel(x, y))) > 32;
    EXPECT_LT(differing, 8);
}

} // namespace
