#include "app/shell/qt/status_item_qt.h"

#include "app/ui/menu_bar_icon.h"
#include "app/ui/theme.h"

#include <QApplication>

#include <vector>

namespace kavelo {


QtStatusItem::QtStatusItem(std::function<void()> clicked, std::function<void()> quit, const PanelHost* host)
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
    icon_.show();
}

QtStatusItem::~QtStatusItem()
{
    icon_.hide();
    icon_.setContextMenu(nullptr);
}

std::unique_ptr<QtStatusItem> QtStatusItem::make(std::function<void()> clicked, std::function<void()> quit,
                                                 const PanelHost* host)
{
    return std::make_unique<QtStatusItem>(std::move(clicked), std::move(quit), host);
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
            if (const auto frame = host_->frameOfNativeWindow(std::uint64_t(window->winId())))
                return frame;
    const Rect frame(g.x(), g.y(), g.width(), g.height());
    return host_ ? host_->frameOfToolkit(frame) : frame;
}

const QWidget* QtStatusItem::embedded(QPoint at)
{
    // The toolkit's tray window is a top-level widget of its own; of
    // several (other icons), the one where ours stands.
    std::vector<const QWidget*> found;
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("QSystemTrayIconSys") && widget->isVisible() &&
            widget->testAttribute(Qt::WA_WState_Created))
            found.push_back(widget);
    if (found.size() == 1)
        return found.front();
    for (const QWidget* widget : found)
        if (widget->mapToGlobal(QPoint(0, 0)) == at)
            return widget;
    return nullptr;
}

bool QtStatusItem::inTray() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QIcon QtStatusItem::trayImage() { return MenuBarIcon::drawnIcon(Theme::lit()); }

QIcon QtStatusItem::applicationIcon() { return MenuBarIcon::applicationIcon(); }

} // namespace kavelo
