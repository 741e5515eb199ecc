#include "app/switcher/views/switcher_tile.h"

#include "app/switcher/views/switcher_pictures.h"
#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kavelo {

namespace {

QFont tileCaptionFont() { return Fonts::windowText(SwitcherTile::captionSize, Fonts::Weight::semibold); }

// Tiles come in as many sizes as there are windows, and a blurred shadow
// costs a blur per size. It is blurred once on a reference square instead
// and stretched: the corners copied as they are, the edges stretched along
// themselves, where the blur does not change, the middle (under the opaque
// tile) left out or filled.
constexpr int referenceSide = 96;

struct Stretchable {
    QImage image;   // the reference square grown by `margin` on every side
    int margin = 0;
    int reach = 0;  // how far the corners reach in from the image's edges
};

void drawStretched(QPainter& painter, const QRect& rect, const Stretchable& piece, std::optional<QColor> middle)
{
    const QRect outer = rect.adjusted(-piece.margin, -piece.margin, piece.margin, piece.margin);
    const int w = piece.image.width(), h = piece.image.height();
    const int cx = std::min({piece.reach, w / 2, outer.width() / 2});
    const int cy = std::min({piece.reach, h / 2, outer.height() / 2});
    const int sourceX[4] = {0, cx, w - cx, w};
    const int sourceY[4] = {0, cy, h - cy, h};
    const int targetX[4] = {outer.left(), outer.left() + cx, outer.left() + outer.width() - cx,
                            outer.left() + outer.width()};
    const int targetY[4] = {outer.top(), outer.top() + cy, outer.top() + outer.height() - cy,
                            outer.top() + outer.height()};
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            const QRect target(QPoint(targetX[column], targetY[row]),
                               QSize(targetX[column + 1] - targetX[column], targetY[row + 1] - targetY[row]));
            if (target.isEmpty())
                continue;
            if (row == 1 && column == 1) {
                if (middle)
                    painter.fillRect(target, *middle);
                continue;
            }
            const QRect source(QPoint(sourceX[column], sourceY[row]),
                               QSize(sourceX[column + 1] - sourceX[column], sourceY[row + 1] - sourceY[row]));
            if (!source.isEmpty())
                painter.drawImage(target, piece.image, source);
        }
}

QRectF referenceSquare() { return QRectF(0, 0, referenceSide, referenceSide); }

// The soft shadow (or glow) of a tile.
Stretchable shadowPiece(double cornerRadius, const QColor& color, double radius)
{
    const int m = Shadows::margin(radius);
    return {Shadows::silhouette(Shapes::continuousRoundedRect(referenceSquare(), cornerRadius), color, radius), m,
            m + int(std::ceil(2 * cornerRadius))};
}

// A line along the inside of the shape, filled rather than stroked: a fill
// of two outlines costs a fraction of what the stroker does.
void drawInnerLine(QPainter& painter, const QRectF& rect, double cornerRadius, double width, const QColor& color)
{
    QPainterPath ring = Shapes::continuousRoundedRect(rect, cornerRadius);
    ring.addPath(Shapes::insetContinuousRoundedRect(rect, cornerRadius, width));
    ring.setFillRule(Qt::OddEvenFill);
    painter.fillPath(ring, color);
}

// Whole pixels: stretched pieces meet only on pixel edges.
QRect snapped(const QRectF& r)
{
    const int left = int(std::lround(r.left()));
    const int top = int(std::lround(r.top()));
    return QRect(left, top, std::max(1, int(std::lround(r.right())) - left),
                 std::max(1, int(std::lround(r.bottom())) - top));
}

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

QSize SwitcherTile::pictureSize(QSize original, QSizeF tile)
{
    if (original.isEmpty() || tile.isEmpty())
        return {};
    const double scale = std::max(tile.width() / original.width(), tile.height() / original.height());
    return QSize(std::max(1, int(std::ceil(original.width() * scale))),
                 std::max(1, int(std::ceil(original.height() * scale))));
}

QRectF SwitcherTile::captionRect(const QRectF& rect) const
{
    const QFontMetricsF metrics(tileCaptionFont());
    const double room = std::max(0.0, rect.width() - 2 * captionInset - 2 * captionHorizontalPadding);
    const double textWidth = std::min(room, metrics.horizontalAdvance(window ? caption(*window) : QString()));
    const double w = textWidth + 2 * captionHorizontalPadding;
    const double h = metrics.height() + 2 * captionVerticalPadding;
    return QRectF(rect.left() + captionInset, rect.bottom() - captionInset - h, w, h);
}

void SwitcherTile::paint(QPainter& painter, const QRectF& frame) const
{
    const QRect pixels = snapped(frame);
    const QRectF rect(pixels);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    if (selected)
        drawStretched(painter, pixels, shadowPiece(cornerRadius, Theme::withOpacity(Theme::lit(), 0.5), selectedGlow),
                      std::nullopt);
    else
        drawStretched(painter, pixels, shadowPiece(cornerRadius, QColor::fromRgbF(0, 0, 0, 0.3f), plainShadow),
                      std::nullopt);
    painter.restore();

    const QPainterPath shape = Shapes::continuousRoundedRect(rect, cornerRadius);
    painter.fillPath(shape, QColor::fromRgbF(grey, grey, grey));
    if (picture) {
        // Centred on whole pixels: a picture made at this size is copied, not filtered.
        const QSize size = pictureSize(picture->size(), rect.size());
        const QPointF at(std::round(rect.center().x() - size.width() / 2.0),
                         std::round(rect.center().y() - size.height() / 2.0));
        fillWithImage(painter, shape, *picture, QRectF(at, QSizeF(size)));
    } else if (icon) {
        const QPointF at(std::round(rect.center().x() - icon->width() / 2.0),
                         std::round(rect.center().y() - icon->height() / 2.0));
        const QRectF inner = rect.adjusted(cornerRadius, cornerRadius, -cornerRadius, -cornerRadius);
        if (inner.contains(QRectF(at, icon->size()))) {
            painter.drawImage(at, *icon);
        } else {
            // A tile smaller than the icon: the icon cut to the tile's shape.
            painter.save();
            painter.setClipRect(QRectF(at, icon->size()), Qt::IntersectClip);
            fillWithImage(painter, shape, *icon, QRectF(at, icon->size()));
            painter.restore();
        }
    }
    if (selected && window) {
        const QRectF label = captionRect(rect);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::withOpacity(Theme::night(), 0.9));
        painter.drawPath(Shapes::capsule(label));
        const QFont font = tileCaptionFont();
        painter.setFont(font);
        painter.setPen(Theme::moon());
        const QRectF text = label.adjusted(captionHorizontalPadding, captionVerticalPadding, -captionHorizontalPadding,
                                           -captionVerticalPadding);
        const QString elided = QFontMetricsF(font).elidedText(caption(*window), Qt::ElideRight, text.width() + 0.5);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    }
    if (selected)
        drawInnerLine(painter, rect, cornerRadius, selectedLine, Theme::lit());
    else
        drawInnerLine(painter, rect, cornerRadius, 1, QColor::fromRgbF(1, 1, 1, 0.14f));
}

} // namespace kavelo
