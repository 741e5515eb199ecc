#include "app/shell/qt/shell_windows_qt.h"

#include "app/engine/arrange_engine.h"
#include "app/settings/permission_actions.h"
#include "app/settings/settings_view.h"
#include "app/settings/welcome_view.h"
#include "app/ui/theme.h"
#include "core/screen_guard.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

namespace kavelo {

namespace {

Rect rectOf(const QRect& r) { return Rect(r.x(), r.y(), r.width(), r.height()); }

// Puts `view` in `window` in place of what it held.
void replaceContent(QWidget& window, QWidget* view)
{
    QLayout* layout = window.layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* old = item->widget()) {
            old->hide();
            // The old view may be running the click that brought us here.
            old->deleteLater();
        }
        delete item;
    }
    layout->addWidget(view);
}

} // namespace

void bringToFront(QWidget& window)
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect area = screen->availableGeometry();
        window.move(area.center() - QPoint(window.width() / 2, window.height() / 2));
    }
    window.show();
    window.raise();
    window.activateWindow();
}

QtShellWindows::QtShellWindows(WindowSources sources, AnimationTime time, std::function<void(QWidget&)> made)
    : sources_(std::move(sources)), time_(time), made_(std::move(made))
{
}

QtShellWindows::~QtShellWindows() = default;

std::unique_ptr<QWidget> QtShellWindows::makeWindow(int width, int height, const QString& title)
{
    auto window = std::make_unique<QWidget>(nullptr, Qt::Window);
    window->setWindowTitle(title);
    window->setFixedSize(width, height);
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, Theme::night());
    window->setPalette(palette);
    auto* layout = new QVBoxLayout(window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    if (made_)
        made_(*window);
    return window;
}

void QtShellWindows::showSettings(SettingsTab tab)
{
    if (!settings_)
        settings_ = makeWindow(SettingsView::width, SettingsView::height, QString::fromUtf8(settingsTitle));
    const Platform& p = sources_.platform;
    const auto willShow = [shown = sources_.shortcutsShown](SettingsTab page) {
        if (page == SettingsTab::shortcuts && shown)
            shown();
    };
    willShow(tab);
    auto* view = new SettingsView(sources_.preferences, sources_.watcher, sources_.workflows,
                                  PermissionActions{p.accessibility, sources_.permissions}, p.keyboard,
                                  time_, tab);
    view->willShow = willShow;
    view->setArrangeSources(ArrangeSources{
        .displays = p.displays,
        .workspace = p.workspace,
        .ownBundleID = p.appInfo.bundleID(),
        .clashingApp = sources_.clashingApp,
        .multitouch = &p.multitouch,
    });
    view->setHeldKeys(sources_.heldKeys);
    replaceContent(*settings_, view);
    settingsView_ = view;
    bringToFront(*settings_);
}

void QtShellWindows::showWelcome(std::function<void()> done)
{
    if (!welcome_)
        welcome_ = makeWindow(WelcomeView::width, WelcomeView::height, QString());
    const Platform& p = sources_.platform;
    auto* view = new WelcomeView(sources_.watcher, sources_.preferences,
                                 PermissionActions{p.accessibility, sources_.permissions}, time_, std::move(done));
    if (sources_.heldKeys)
        view->follow(*sources_.heldKeys);
    replaceContent(*welcome_, view);
    welcomeView_ = view;
    bringToFront(*welcome_);
}

void QtShellWindows::closeWelcome()
{
    if (welcome_)
        welcome_->hide();
}

void QtShellWindows::keepOnScreen()
{
    // In the toolkit's own coordinates, where its windows and screens meet.
    std::vector<Rect> screens, rooms;
    for (const QScreen* screen : QGuiApplication::screens()) {
        screens.push_back(rectOf(screen->geometry()));
        rooms.push_back(rectOf(screen->availableGeometry()));
    }
    for (QWidget* window : {settings_.get(), welcome_.get()}) {
        if (!window || !window->isVisible())
            continue;
        const Rect frame = rectOf(window->frameGeometry());
        const Rect shown = ScreenGuard::shown(frame, screens, rooms);
        // Moved only: the two windows have a fixed size.
        if (shown.origin != frame.origin)
            window->move(QPoint(int(shown.minX()), int(shown.minY())));
    }
}

} // namespace kavelo
