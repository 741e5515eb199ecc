#include "app/ui/menu_bar_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace kavelo::MenuBarIcon {

bool draw(QPainter& painter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF origins[] = {{2.5, 2.5}, {9.5, 2.5}, {2.5, 9.5}, {9.5, 9.5}};
    for (const QPointF& origin : origins) {
        QPainterPath square;
        square.addRoundedRect(QRectF(origin, QSizeF(6, 6)), 1.6, 1.6);
        if (origin == QPointF(9.5, 2.5)) {
            painter.fillPath(square, Qt::black);
        } else {
            painter.setPen(QPen(Qt::black, 1.2));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(square);
        }
    }
    painter.restore();
    return true;
}

QIcon icon()
{
    QPixmap pixmap(side, side);
    pixmap.setDevicePixelRatio(1);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        draw(painter);
    }
    QIcon result(pixmap);
    result.setIsMask(true);
    return result;
}

} // namespace kavelo::MenuBarIcon
