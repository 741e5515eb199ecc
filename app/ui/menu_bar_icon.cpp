#include "app/ui/menu_bar_icon.h"

#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <functional>

namespace kavelo::MenuBarIcon {

bool draw(QPainter& painter, const QColor& color)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF origins[] = {{2.5, 2.5}, {9.5, 2.5}, {2.5, 9.5}, {9.5, 9.5}};
    for (const QPointF& origin : origins) {
        QPainterPath square;
        square.addRoundedRect(QRectF(origin, QSizeF(6, 6)), 1.6, 1.6);
        if (origin == QPointF(9.5, 2.5)) {
            painter.fillPath(square, color);
        } else {
            painter.setPen(QPen(color, 1.2));
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

namespace {

// The drawing, `extent` points square, at `corner`.
void drawMark(QPainter& painter, QPointF corner, double extent, const QColor& color)
{
    painter.save();
    painter.translate(corner);
    painter.scale(extent / side, extent / side);
    draw(painter, color);
    painter.restore();
}

// The application's icon in a square.
void drawApplication(QPainter& painter, const QRectF& square)
{
    // Drawn at 128 the mark is five times its menu-bar size and the corners 28.
    const double unit = square.width() / 128.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Theme::night());
    painter.drawPath(Shapes::continuousRoundedRect(square, 28 * unit));
    const double mark = 5 * unit * side;
    drawMark(painter, square.center() - QPointF(mark / 2, mark / 2), mark, Theme::lit());
    painter.restore();
}

// An icon that draws itself into the largest square of the rectangle it is
// painted in, with the painter's own scale.
class DrawnIcon : public QIconEngine {
public:
    using Drawing = std::function<void(QPainter&, const QRectF&)>;
    explicit DrawnIcon(Drawing drawing) : drawing_(std::move(drawing)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override
    {
        const double extent = std::min(rect.width(), rect.height());
        drawing_(*painter, QRectF(rect.x() + (rect.width() - extent) / 2, rect.y() + (rect.height() - extent) / 2,
                                  extent, extent));
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int extent = std::min(size.width(), size.height());
        return QSize(extent, extent);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        QImage image(actualSize(size, mode, state), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        paint(&painter, image.rect(), mode, state);
        painter.end();
        return QPixmap::fromImage(image);
    }
    // Sizes for those that ask which there are (a tray over D-Bus).
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        return {QSize(16, 16), QSize(22, 22), QSize(24, 24), QSize(32, 32), QSize(48, 48), QSize(64, 64),
                QSize(128, 128), QSize(256, 256)};
    }
    QIconEngine* clone() const override { return new DrawnIcon(drawing_); }

private:
    Drawing drawing_;
};

} // namespace

QImage applicationImage(int extent)
{
    QImage image(extent, extent, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(1);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawApplication(painter, QRectF(0, 0, extent, extent));
    return image;
}

QIcon drawnIcon(const QColor& color)
{
    return QIcon(new DrawnIcon([color](QPainter& painter, const QRectF& square) {
        drawMark(painter, square.topLeft(), square.width(), color);
    }));
}

QIcon applicationIcon()
{
    return QIcon(new DrawnIcon(drawApplication));
}

} // namespace kavelo::MenuBarIcon
