#include "app/shell/qt/status_item_qt.h"

#include "app/ui/menu_bar_icon.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QPainter>
#include <QPixmap>

namespace kavelo {

namespace {

// The drawing at `scale`, its black turned into `color`.
QPixmap tinted(double scale, const QColor& color)
{
    const int side = int(MenuBarIcon::side * scale);
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(1);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.scale(scale, scale);
    MenuBarIcon::draw(painter);
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(pixmap.rect(), color);
    return pixmap;
}

} // namespace

QtStatusItem::QtStatusItem(std::function<void()> clicked, std::function<void()> quit)
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

std::unique_ptr<QtStatusItem> QtStatusItem::make(std::function<void()> clicked, std::function<void()> quit)
{
    return std::make_unique<QtStatusItem>(std::move(clicked), std::move(quit));
}

std::optional<Rect> QtStatusItem::geometry() const
{
    const QRect g = icon_.geometry();
    if (!g.isValid() || g.isEmpty())
        return std::nullopt;
    return Rect(g.x(), g.y(), g.width(), g.height());
}

bool QtStatusItem::inTray() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

QIcon QtStatusItem::trayImage()
{
    QIcon icon;
    icon.addPixmap(tinted(1, Theme::lit()));
    icon.addPixmap(tinted(2, Theme::lit()));
    return icon;
}

QIcon QtStatusItem::applicationIcon()
{
    constexpr int side = 128;
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(1);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::night());
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(0, 0, side, side), 28));
    const QPixmap mark = tinted(5, Theme::lit());
    painter.drawPixmap((side - mark.width()) / 2, (side - mark.height()) / 2, mark);
    painter.end();
    return QIcon(pixmap);
}

} // namespace kavelo
