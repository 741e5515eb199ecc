#include "app/shell/qt/status_item_qt.h"

#include "app/ui/menu_bar_icon.h"
#include "app/ui/theme.h"

#include <QApplication>
#include <QEvent>
#include <QWindow>

#include <cmath>
#include <vector>

namespace kavelo {

namespace {
const QLatin1String trayWindowName("QSystemTrayIconSys");
} // namespace

QtStatusItem::QtStatusItem(std::function<void()> clicked, std::function<void()> quit, const PanelHost* host,
                           Displays* displays)
    : host_(host)
{
    icon_.setIcon(trayImage());
    icon_.setToolTip(QStringLiteral("Kavelo"));
    QAction* quitAction = menu_.addAction(QStringLiteral("Quit Kavelo"));
    QObject::connect(quitAction, &QAction::triggered, &menu_, [quit = std::move(quit)] {
        if (quit)
            quit();
    });
    icon_.setContextMenu(&menu_);
    QObject::connect(&icon_, &QSystemTrayIcon::activated, &menu_,
                     [clicked = std::move(clicked)](QSystemTrayIcon::ActivationReason reason) {
                         // A quick second click arrives as a double click: it toggles again.
                         const bool click =
                             reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick;
                         if (click && clicked)
                             clicked();
                     });
    if (host_ && onRealDisplay()) {
        qApp->installEventFilter(this);
        if (displays)
            displaysChanged_ = displays->onChange([this] { scheduleFit(); });
    }
    icon_.show();
}

QtStatusItem::~QtStatusItem()
{
    if (qApp)
        qApp->removeEventFilter(this);
    icon_.hide();
    icon_.setContextMenu(nullptr);
}

std::unique_ptr<QtStatusItem> QtStatusItem::make(std::function<void()> clicked, std::function<void()> quit,
                                                 const PanelHost* host, Displays* displays)
{
    return std::make_unique<QtStatusItem>(std::move(clicked), std::move(quit), host, displays);
}

bool QtStatusItem::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::ScreenChangeInternal:
        if (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
            watched->objectName() == trayWindowName) {
            // A window shown anew tells the tray Qt's own minimum again.
            if (event->type() == QEvent::Show)
                fitted_.reset();
            scheduleFit();
        }
        break;
    default:
        break;
    }
    return false;
}

void QtStatusItem::scheduleFit()
{
    // Once the event at hand is done with, and once for a burst of them.
    if (!fit_.pending())
        fit_ = host_->scheduler().after(0.0, [this] { fitSlot(); });
}

void QtStatusItem::fitSlot()
{
    QWidget* window = embedded(icon_.geometry().topLeft());
    if (!window)
        return;
    const auto place = host_->placeOfNativeWindow(std::uint64_t(window->winId()));
    if (!place)
        return;
    const Fitted now{window->winId(), place->scale, window->devicePixelRatioF()};
    if (fitted_ == now)
        return;
    fitted_ = now;
    // The tray reads the slot from the window's minimum size, which Qt
    // counts at the ratio of the screen it takes the window to be on: the
    // primary one while the window was made, whichever monitor the tray is on.
    const double device = std::round(slotSide * now.scale);
    const int side = std::max(1, int(std::ceil(device / now.ratio - 1e-6)));
    // On the window, not the widget: the widget would resize itself to the
    // minimum, and Qt would move it in the tray to where it thinks it is.
    QWindow* handle = window->windowHandle();
    if (!handle)
        return;
    // Qt tells the server the minimum only when it changes, not when only
    // its ratio did.
    if (handle->minimumSize() == QSize(side, side))
        handle->setMinimumSize(QSize(side + 1, side + 1));
    handle->setMinimumSize(QSize(side, side));
}

std::optional<Rect> QtStatusItem::geometry() const
{
    const QRect g = icon_.geometry();
    if (!g.isValid() || g.isEmpty())
        return std::nullopt;
    // The server's word where there is one: embedded in the tray, the
    // icon's window may be counted at the scale of another monitor, its
    // place at one and its size at the other.
    if (host_ && onRealDisplay())
        if (const QWidget* window = embedded(g.topLeft()))
            if (const auto place = host_->placeOfNativeWindow(std::uint64_t(window->winId())))
                return place->frame;
    const Rect frame(g.x(), g.y(), g.width(), g.height());
    return host_ ? host_->frameOfToolkit(frame) : frame;
}

QWidget* QtStatusItem::embedded(QPoint at)
{
    // The toolkit's tray window is a top-level widget of its own; of
    // several (other icons), the one where ours stands.
    std::vector<QWidget*> found;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == trayWindowName && widget->isVisible() &&
            widget->testAttribute(Qt::WA_WState_Created))
            found.push_back(widget);
    if (found.size() == 1)
        return found.front();
    for (QWidget* widget : found)
        if (widget->mapToGlobal(QPoint(0, 0)) == at)
            return widget;
    return nullptr;
}

bool QtStatusItem::inTray() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QIcon QtStatusItem::trayImage() { return MenuBarIcon::drawnIcon(Theme::lit()); }

QIcon QtStatusItem::applicationIcon() { return MenuBarIcon::applicationIcon(); }

} // namespace kavelo
