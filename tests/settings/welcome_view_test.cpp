#include "app/settings/arrange_mode_cards.h"
#include "app/settings/permissions_page.h"
#include "app/settings/setting_rows.h"
#include "app/settings/settings_style.h"
#include "app/settings/welcome_view.h"
#include "app/ui/capture.h"
#include "app/ui/key_cap.h"
#include "app/ui/pill_button.h"
#include "app/ui/theme.h"
#include "app/ui/window_facade.h"
#include "settings/settings_world.h"

#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QTest>

using namespace kavelo;
using namespace kavelo::testing;

namespace {

struct WelcomeViewTest : ::testing::Test, SettingsWorld {
    std::unique_ptr<WelcomeView> open()
    {
        auto view = std::make_unique<WelcomeView>(watcher, prefs, actions, time(), [this] { ++finished; });
        showSettled(*view);
        return view;
    }
    QRect in(const WelcomeView& view, const QWidget* child) const
    {
        return QRect(child->mapTo(&view, QPoint()), child->size());
    }
    int finished = 0;
};

} // namespace

TEST_F(WelcomeViewTest, ThePartsStandInOrderWithTheirPaddings)
{
    auto view = open();
    EXPECT_EQ(view->size(), QSize(540, 740));
    EXPECT_EQ(view->material(), GlassMaterial::underWindowBackground);

    const QRect facade = in(*view, view->facade());
    EXPECT_EQ(facade, QRect((540 - 96) / 2, 42, 96, 96));
    const QRect title = in(*view, view->title());
    EXPECT_EQ(view->title()->text(), "Welcome to Kavelo");
    EXPECT_EQ(title.top(), facade.bottom() + 1 + 20);
    EXPECT_NEAR(title.left() + title.width() / 2.0, 270, 1);
    const QRect subtitle = in(*view, view->subtitle());
    EXPECT_EQ(view->subtitle()->text(), "Find any window, switch workflows and arrange your desktop.");
    EXPECT_EQ(subtitle.top(), title.bottom() + 1 + 6);
    const QRect permissions = in(*view, view->permissions());
    EXPECT_EQ(permissions.top(), subtitle.bottom() + 1 + 28);
    EXPECT_EQ(permissions.left(), 30);
    EXPECT_EQ(permissions.width(), 480);
    const QRect choice = in(*view, view->arrangeChoice());
    EXPECT_EQ(choice.top(), permissions.bottom() + 1 + 14);
    EXPECT_EQ(choice.width(), 480);
    // Tips keep to the leading edge under the full-width cards.
    EXPECT_EQ(in(*view, view->modeCards()).width(), 480);
    EXPECT_EQ(in(*view, view->tips()).left(), 30);

    // The finish row sits on the bottom padding, its button at the trailing
    // edge; the flexible space above it is at least 10.
    const QRect finishRow = in(*view, view->finishRow());
    EXPECT_EQ(finishRow.bottom(), 740 - 24 - 1);
    EXPECT_GE(finishRow.top() - (choice.bottom() + 1), 10);
    const QRect start = in(*view, view->getStarted());
    EXPECT_EQ(start.right(), 540 - 30 - 1);
    EXPECT_EQ(view->getStarted()->text(), "Get Started");
    EXPECT_TRUE(view->getStarted()->prominent());
    const QRect cap = in(*view, view->shortcutCap());
    EXPECT_LT(cap.right(), start.left());

    // The same size whatever the content: with the restart row added.
    watcher.askedForScreenRecording.set(true);
    sim.setCaptureAllowed(false);
    scheduler.advance(1);
    settleLayouts();
    EXPECT_TRUE(view->permissions()->restartRow()->isVisible());
    EXPECT_EQ(view->size(), QSize(540, 740));
    EXPECT_EQ(in(*view, view->finishRow()).bottom(), 740 - 24 - 1);
    EXPECT_GT(in(*view, view->arrangeChoice()).top(), choice.top());
}

TEST_F(WelcomeViewTest, PermissionRowsAskAndFollowTheWatcher)
{
    {
        auto view = open();
        PermissionsPage* group = view->permissions();
        EXPECT_TRUE(group->accessibilityRow()->grantedLabel()->isVisible());
        EXPECT_TRUE(group->screenRecordingRow()->grantedLabel()->isVisible());
        EXPECT_FALSE(group->restartRow()->isVisible());
        EXPECT_EQ(group->screenRecordingRow()->detailLabel()->text(),
                  "Shows previews and windows on other desktops. Previews stay on this computer.");
    }

    permissions(false, false);
    sim.setCaptureGrantedOnRequest(false);
    auto view = open();
    PermissionsPage* group = view->permissions();
    EXPECT_TRUE(group->accessibilityRow()->button()->isVisible());
    EXPECT_TRUE(group->screenRecordingRow()->button()->isVisible());

    QTest::mouseClick(group->accessibilityRow()->button(), Qt::LeftButton);
    QTest::mouseClick(group->accessibilityRow()->button(), Qt::LeftButton);   // pending: asks again
    EXPECT_EQ(sim.trustRequests(), 2);
    scheduler.advance(3);
    EXPECT_TRUE(group->accessibilityRow()->button()->isVisible());   // refused stays "Turn On"

    // The request is marked before the system is asked.
    bool markedWhenAsked = false;
    Handle probe = watcher.askedForScreenRecording.subscribe([&](bool asked) {
        if (asked)
            markedWhenAsked = sim.requests().empty();
    });
    QTest::mouseClick(group->screenRecordingRow()->button(), Qt::LeftButton);
    EXPECT_TRUE(markedWhenAsked);
    EXPECT_EQ(sim.requests().size(), 1u);
    EXPECT_TRUE(group->restartRow()->isVisible());

    QTest::mouseClick(group->restartButton(), Qt::LeftButton);
    ASSERT_EQ(launcher.calls.size(), 1u);
    EXPECT_EQ(launcher.calls[0].arguments.back(), "4242");
    EXPECT_EQ(quits, 1);

    sim.setCaptureAllowed(true);
    scheduler.advance(1);
    EXPECT_FALSE(group->restartRow()->isVisible());
    EXPECT_TRUE(group->screenRecordingRow()->grantedLabel()->isVisible());
}

TEST_F(WelcomeViewTest, ModeCardsShowTheStoredModeAndStoreAClick)
{
    prefs.setArrangeMode(ArrangeMode::auto_);
    auto view = open();
    ArrangeModeCards* cards = view->modeCards();
    std::vector<double> widths;
    for (ArrangeMode mode : allArrangeModes)
        widths.push_back(cards->cardRect(mode).width());
    EXPECT_DOUBLE_EQ(widths[0], widths[1]);
    EXPECT_DOUBLE_EQ(widths[1], widths[2]);
    EXPECT_DOUBLE_EQ(cards->cardRect(ArrangeMode::strip).right(), cards->width());
    EXPECT_DOUBLE_EQ(cards->cardRect(ArrangeMode::auto_).left() - cards->cardRect(ArrangeMode::off).right(), 6);
    EXPECT_EQ(ArrangeModeCards::cardTitle(ArrangeMode::strip), "Scrolling strip");
    EXPECT_EQ(ArrangeModeCards::cardSubtitle(ArrangeMode::off), "Only when I ask");

    const auto filled = [&](ArrangeMode mode) {
        const QImage image = Capture::render(*cards);
        const QRectF card = cards->cardRect(mode);
        return image.pixelColor(int(card.left()) + 6, int(card.center().y())).rgb() == Theme::lit().rgb();
    };
    EXPECT_TRUE(filled(ArrangeMode::auto_));
    EXPECT_FALSE(filled(ArrangeMode::off));
    EXPECT_FALSE(filled(ArrangeMode::strip));
    // Black title on the accent.
    const QImage image = Capture::render(*cards);
    EXPECT_GT(pixelsNear(image, cards->cardRect(ArrangeMode::auto_).toRect(), Qt::black, 60), 30);

    std::vector<std::string> calls;
    prefs.onKeysChange = [&] { calls.push_back("keys"); };
    prefs.onArrangeChange = [&] { calls.push_back("arrange"); };
    QTest::mouseClick(cards, Qt::LeftButton, Qt::NoModifier,
                      cards->cardRect(ArrangeMode::strip).center().toPoint());
    EXPECT_EQ(prefs.arrangeMode(), ArrangeMode::strip);
    EXPECT_EQ(store.text("arrangeMode"), "strip");
    EXPECT_EQ(calls, (std::vector<std::string>{"keys", "arrange"}));
    EXPECT_TRUE(filled(ArrangeMode::strip));
    EXPECT_FALSE(filled(ArrangeMode::auto_));

    // A mode changed elsewhere moves the highlight.
    prefs.setArrangeMode(ArrangeMode::off);
    EXPECT_TRUE(filled(ArrangeMode::off));
    EXPECT_FALSE(filled(ArrangeMode::strip));
}

TEST_F(WelcomeViewTest, TheKeyCapsNameTheBoundKeysInWordsAndFollowARebinding)
{
    auto view = open();
    EXPECT_EQ(view->switchCap()->text(), "Alt+Tab");
    EXPECT_EQ(view->wheelCap()->text(), "Ctrl+Alt + wheel");
    EXPECT_EQ(view->undoCap()->text(), "Ctrl+Alt+U");
    EXPECT_EQ(view->shortcutCap()->text(), "Ctrl+Alt+Space");

    const Shortcut mine{0, Shortcut::control | Shortcut::command};   // Ctrl+Super+A
    prefs.setShortcut(mine);
    EXPECT_EQ(view->shortcutCap()->text(), "Ctrl+Super+A");
    prefs.setBindings({{Command::undoArrange, Shortcut{96, 0}}});
    EXPECT_EQ(view->undoCap()->text(), "F5");
    settleLayouts();
    EXPECT_EQ(view->shortcutCap()->width(), view->shortcutCap()->sizeHint().width());
    EXPECT_EQ(view->undoCap()->width(), view->undoCap()->sizeHint().width());
}

// The tips name only keys no other program holds: without Alt-Tab the
// overview's key switches; without that too the tray does; a held undo key
// is no tip.
TEST_F(WelcomeViewTest, TipsNameOnlyKeysNoOtherProgramHolds)
{
    auto view = open();
    Published<HeldKeys> held;
    view->follow(held);
    const QString overview = QString::fromStdString(Shortcut::standard.label());
    const auto capOf = [](QWidget* tip) { return tip->findChild<KeyCap*>()->text(); };
    EXPECT_TRUE(view->switchTip()->isVisible());
    EXPECT_EQ(capOf(view->switchTip()), QString::fromStdString(switcherShortcut.label()));
    EXPECT_EQ(capOf(view->undoTip()), QString::fromStdString(standard(Command::undoArrange).label()));
    EXPECT_EQ(view->finishText()->text(), "opens Kavelo");

    HeldKeys now{.manager = "KWin"};
    now.add(switcherShortcut, true);
    now.add(standard(Command::undoArrange), true);
    held.set(now);
    EXPECT_TRUE(view->switchTip()->isVisible());
    EXPECT_EQ(capOf(view->switchTip()), overview);
    EXPECT_FALSE(view->undoTip()->isVisible());
    EXPECT_TRUE(view->shortcutCap()->isVisible());

    now.add(Shortcut::standard, true);
    held.set(now);
    EXPECT_FALSE(view->switchTip()->isVisible());
    EXPECT_FALSE(view->shortcutCap()->isVisible());
    EXPECT_EQ(view->finishText()->text(), "Open Kavelo from its tray icon");

    settleLayouts();
    EXPECT_EQ(view->finishText()->width(), view->finishText()->sizeHint().width());
    Theme::isRendering = true;
    EXPECT_TRUE(Capture::savePng(Capture::render(*view), picturePath("welcome-held.png")));
    Theme::isRendering = false;

    // The switcher turned off is no key to teach either.
    held.set(HeldKeys{});
    prefs.setSwitcherEnabled(false);
    EXPECT_EQ(capOf(view->switchTip()), overview);
    EXPECT_TRUE(view->undoTip()->isVisible());
}

TEST_F(WelcomeViewTest, ReturnRunsGetStartedOncePerPressWhereverTheFocusIs)
{
    permissions(false, false);
    auto view = open();
    QApplication::setActiveWindow(view.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));

    QTest::keyClick(view.get(), Qt::Key_Return);
    EXPECT_EQ(finished, 1);

    PillButton* turnOn = view->permissions()->accessibilityRow()->button();
    turnOn->setFocus();
    ASSERT_TRUE(turnOn->hasFocus());
    QTest::keyClick(turnOn, Qt::Key_Return);
    EXPECT_EQ(finished, 2);
    EXPECT_EQ(sim.trustRequests(), 0);   // the focused button did not run

    // Held down, the key repeats; only the press counts.
    QTest::keyPress(turnOn, Qt::Key_Return);
    for (int i = 0; i < 3; ++i)
        QTest::simulateEvent(turnOn, true, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
    QTest::keyRelease(turnOn, Qt::Key_Return);
    EXPECT_EQ(finished, 3);

    QTest::mouseClick(view->getStarted(), Qt::LeftButton);
    EXPECT_EQ(finished, 4);
}

TEST_F(WelcomeViewTest, DarkWhateverTheApplicationPalette)
{
    const QPalette original = QApplication::palette();
    auto dark = open();
    const QImage darkImage = Capture::render(*dark);

    QPalette light;
    light.setColor(QPalette::Window, Qt::white);
    light.setColor(QPalette::WindowText, Qt::black);
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Text, Qt::black);
    QApplication::setPalette(light);
    auto view = open();
    const QImage image = Capture::render(*view);
    QApplication::setPalette(original);

    EXPECT_EQ(image, darkImage);
    const QColor background = image.pixelColor(5, 700);
    EXPECT_LT(background.lightness(), 50);
    EXPECT_GT(pixelsNear(image, in(*view, view->title()), Qt::white, 20), 200);
    EXPECT_EQ(pixelsNear(image, in(*view, view->title()), Qt::black, 20), 0);

    Theme::isRendering = true;
    const QImage rendered = Capture::render(*view);
    Theme::isRendering = false;
    EXPECT_EQ(rendered.pixelColor(5, 700).rgba(), Theme::renderingGlass().rgba());
    EXPECT_TRUE(Capture::savePng(rendered, picturePath("welcome.png")));
}

TEST_F(WelcomeViewTest, OpeningTheWindowWritesNothing)
{
    prefs.setWindowGap(12);
    const auto before = defaultsFile();
    {
        auto view = open();
        (void)Capture::render(*view);
        scheduler.advance(5);
    }
    EXPECT_EQ(defaultsFile(), before);
}

TEST_F(WelcomeViewTest, PictureWhileAskingForScreenRecording)
{
    permissions(false, false);
    watcher.askedForScreenRecording.set(true);
    prefs.setArrangeMode(ArrangeMode::strip);
    // An application icon for the header picture.
    QPixmap icon(128, 128);
    icon.fill(SettingsStyle::indigo());
    QApplication::setWindowIcon(QIcon(icon));
    auto view = open();
    Theme::isRendering = true;
    const QImage image = Capture::render(*view);
    Theme::isRendering = false;
    QApplication::setWindowIcon(QIcon());
    const QRect facade = in(*view, view->facade());
    EXPECT_EQ(image.pixelColor(facade.center()).rgb(), SettingsStyle::indigo().rgb());
    // The accent glow shows below the icon.
    const QColor glow = image.pixelColor(facade.center().x(), facade.bottom() + 10);
    EXPECT_GT(glow.red(), Theme::renderingGlass().red() + 8);
    EXPECT_TRUE(Capture::savePng(image, picturePath("welcome-asking.png")));
    // Nothing spills over the bottom padding.
    EXPECT_EQ(pixelsNear(image, QRect(0, 740 - 24, 540, 24), Theme::renderingGlass(), 0), 540 * 24);
}
