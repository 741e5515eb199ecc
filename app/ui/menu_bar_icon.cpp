#include "app/ui/menu_bar_icon.h"

#include "app/ui/shapes.h"
#include "app/ui/theme.h"

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

QImage tinted(double scale, const QColor& color)
{
    const int extent = int(side * scale);
    QImage image(extent, extent, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.scale(scale, scale);
    draw(painter);
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

QImage applicationImage(int extent)
{
    // Drawn at 128 the mark is five times its menu-bar size and the corners 28.
    const double unit = extent / 128.0;
    QImage image(extent, extent, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::night());
    painter.drawPath(Shapes::continuousRoundedRect(QRectF(0, 0, extent, extent), 28 * unit));
    const QImage mark = tinted(5 * unit, Theme::lit());
    painter.drawImage(QPointF((extent - mark.width()) / 2.0, (extent - mark.height()) / 2.0), mark);
    return image;
}

} // namespace kavelo::MenuBarIcon
