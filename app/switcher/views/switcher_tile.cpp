#include "app/switcher/views/switcher_tile.h"

#include "app/switcher/views/switcher_pictures.h"
#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace kavelo {

namespace {

QFont captionFont() { return Fonts::system(SwitcherTile::captionSize, Fonts::Weight::semibold); }

} // namespace

void fillWithImage(QPainter& painter, const QPainterPath& path, const QImage& image, const QRectF& target)
{
    if (image.isNull() || target.isEmpty())
        return;
    // A textured fill cuts the shape without a clip, which costs far less.
    QBrush brush(image);
    QTransform transform;
    transform.translate(target.left(), target.top());
    transform.scale(target.width() / image.width(), target.height() / image.height());
    brush.setTransform(transform);
    painter.fillPath(path, brush);
}

QRectF filling(const QImage& image, const QRectF& rect)
{
    if (image.isNull() || rect.isEmpty())
        return {};
    const double scale = std::max(rect.width() / image.width(), rect.height() / image.height());
    const QSizeF size(image.width() * scale, image.height() * scale);
    return QRectF(rect.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QRectF fitted(const QImage& image, const QRectF& rect)
{
    if (image.isNull() || rect.isEmpty())
        return {};
    const double scale = std::min(rect.width() / image.width(), rect.height() / image.height());
    const QSizeF size(image.width() * scale, image.height() * scale);
    return QRectF(rect.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

QRectF SwitcherTile::captionRect(const QRectF& rect) const
{
    const QFontMetricsF metrics(captionFont());
    const double room = std::max(0.0, rect.width() - 2 * captionInset - 2 * captionHorizontalPadding);
    const double textWidth = std::min(room, metrics.horizontalAdvance(window ? caption(*window) : QString()));
    const double w = textWidth + 2 * captionHorizontalPadding;
    const double h = metrics.height() + 2 * captionVerticalPadding;
    return QRectF(rect.left() + captionInset, rect.bottom() - captionInset - h, w, h);
}

void SwitcherTile::paint(QPainter& painter, const QRectF& rect) const
{
    const QPainterPath shape = Shapes::continuousRoundedRect(rect, cornerRadius);
    if (selected)
        Shadows::drawShadow(painter, shape, Theme::withOpacity(Theme::lit(), 0.5), selectedGlow);
    else
        Shadows::drawShadow(painter, shape, QColor::fromRgbF(0, 0, 0, 0.3f), plainShadow);

    painter.fillPath(shape, QColor::fromRgbF(grey, grey, grey));
    if (picture) {
        fillWithImage(painter, shape, *picture, filling(*picture, rect));
    } else if (icon) {
        const QRectF box(rect.center() - QPointF(icon->width() / 2.0, icon->height() / 2.0), icon->size());
        const QRectF inner = rect.adjusted(cornerRadius, cornerRadius, -cornerRadius, -cornerRadius);
        if (inner.contains(box)) {
            painter.drawImage(box.topLeft(), *icon);
        } else {
            // A tile smaller than the icon: the icon cut to the tile's shape.
            painter.save();
            painter.setClipRect(box, Qt::IntersectClip);
            fillWithImage(painter, shape, *icon, box);
            painter.restore();
        }
    }
    if (selected && window) {
        const QRectF label = captionRect(rect);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::night(), 0.9));
        painter.drawPath(Shapes::capsule(label));
        const QFont font = captionFont();
        painter.setFont(font);
        painter.setPen(Theme::moon());
        const QRectF text = label.adjusted(captionHorizontalPadding, captionVerticalPadding, -captionHorizontalPadding,
                                           -captionVerticalPadding);
        const QString elided = QFontMetricsF(font).elidedText(caption(*window), Qt::ElideRight, text.width() + 0.5);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    }

    painter.setBrush(Qt::NoBrush);
    if (selected) {
        painter.setPen(QPen(Theme::lit(), selectedLine));
        painter.drawPath(Shapes::insetContinuousRoundedRect(rect, cornerRadius, selectedLine / 2));
    } else {
        painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.14f), 1));
        painter.drawPath(Shapes::insetContinuousRoundedRect(rect, cornerRadius, 0.5));
    }
}

} // namespace kavelo
