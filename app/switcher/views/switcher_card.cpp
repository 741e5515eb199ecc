#include "app/switcher/views/switcher_card.h"

#include "app/switcher/views/switcher_pictures.h"
#include "app/switcher/views/switcher_tile.h"
#include "app/ui/fonts.h"
#include "app/ui/shadows.h"
#include "app/ui/shapes.h"
#include "app/ui/theme.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace kavelo {

namespace {

QFont cardCaptionFont() { return Fonts::windowText(SwitcherCard::captionSize, Fonts::Weight::semibold); }

} // namespace

double SwitcherCard::captionRowHeight() { return std::max(smallIconSide, QFontMetricsF(cardCaptionFont()).height()); }

QSize SwitcherCard::pictureSize(QSize original)
{
    if (original.isEmpty())
        return {};
    const double scale = std::min((width - 2 * pictureInset) / original.width(),
                                  (plateHeight - 2 * pictureInset) / original.height());
    return QSize(std::max(1, int(std::lround(original.width() * scale))),
                 std::max(1, int(std::lround(original.height() * scale))));
}

double SwitcherCard::height() { return plateHeight + spacing + captionRowHeight(); }

void SwitcherCard::paint(QPainter& painter, QPointF origin) const
{
    const QRectF plate(origin, QSizeF(width, plateHeight));
    const QPainterPath shape = Shapes::continuousRoundedRect(plate, cornerRadius);
    // The plate is nearly clear: its glow comes from the ring and the picture.
    const QPainterPath ringPath = Shapes::insetContinuousRoundedRect(plate, cornerRadius, selectedLine / 2);
    // The selection springs a little past both ends; its light does not.
    const double lit = std::clamp(selection, 0.0, 1.0);
    const QColor glow = Theme::withOpacity(Theme::lit(), 0.45 * lit);
    if (selection > 0)
        Shadows::drawRoundedShadow(painter, plate.adjusted(selectedLine / 2, selectedLine / 2, -selectedLine / 2, -selectedLine / 2),
                                   std::max(0.0, cornerRadius - selectedLine / 2), glow, glowRadius, {}, selectedLine);
    painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.07f));
    if (picture) {
        // Centred on whole pixels: a picture made at this size is copied, not filtered.
        const QSize size = pictureSize(picture->size());
        const QPointF centre = plate.center();
        const QRectF box(QPointF(std::round(centre.x() - size.width() / 2.0), std::round(centre.y() - size.height() / 2.0)),
                         QSizeF(size));
        const QPainterPath rounded = Shapes::continuousRoundedRect(box, pictureRadius);
        if (selection > 0)
            Shadows::drawRoundedShadow(painter, box, pictureRadius, glow, glowRadius);
        fillWithImage(painter, rounded, *picture, box);
    } else if (largeIcon) {
        painter.drawImage(plate.center() - QPointF(largeIcon->width() / 2.0, largeIcon->height() / 2.0), *largeIcon);
    }
    if (selection > 0) {
        QColor ring = Theme::lit();
        ring.setAlphaF(float(lit));
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ring, selectedLine));
        painter.drawPath(ringPath);
    }

    // The caption row: the small icon, then the caption, left-aligned.
    const double rowHeight = captionRowHeight();
    const QRectF row(plate.left(), plate.bottom() + spacing, width, rowHeight);
    double x = row.left();
    if (smallIcon) {
        painter.drawImage(QPointF(x, row.center().y() - smallIcon->height() / 2.0), *smallIcon);
        x += smallIconSide + captionSpacing;
    }
    if (window) {
        const QFont font = cardCaptionFont();
        painter.setFont(font);
        painter.setPen(Theme::moon());
        const QRectF text(x, row.top(), row.right() - x, rowHeight);
        const QString elided = QFontMetricsF(font).elidedText(caption(*window), Qt::ElideRight, text.width() + 0.5);
        painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, elided);
    }
}

} // namespace kavelo
