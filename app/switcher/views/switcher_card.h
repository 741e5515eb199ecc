#pragma once

// One search result as a large card: the window's picture (or its
// application's icon) on a faint plate, and below it the icon and caption.
// A painted item: the results row draws every card in one widget.

#include "app/switcher/card_sizes.h"
#include "core/window_entry.h"

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

namespace kavelo {

struct SwitcherCard {
    const WindowEntry* window = nullptr;
    const QImage* picture = nullptr;
    const QImage* largeIcon = nullptr;   // the application's icon at `largeIconSide`
    const QImage* smallIcon = nullptr;   // and at `smallIconSide`
    // 0 plain, 1 selected, in between while the selection springs over.
    double selection = 0;
    double cornerRadius = 12;

    static constexpr double width = CardSizes::switcherCardWidth;
    static constexpr double plateHeight = CardSizes::switcherPlateHeight;
    static constexpr double spacing = 8;        // plate to caption row
    static constexpr double pictureInset = CardSizes::switcherPictureInset;
    static constexpr double pictureRadius = 8;
    static constexpr double largeIconSide = 56;
    static constexpr double smallIconSide = 18;
    static constexpr double captionSpacing = 6;
    static constexpr double captionSize = 12.5;
    static constexpr double selectedLine = 2.5;
    static constexpr double glowRadius = 16;
    static constexpr double selectedScale = 1.03;
    static constexpr double plainOpacity = 0.72;

    // The plate and the caption row, unscaled.
    static double height();
    static double captionRowHeight();

    // Draws the card with its top-left corner at `origin`, unscaled; the
    // row applies the scale and opacity of the selection.
    void paint(QPainter& painter, QPointF origin) const;

    // The size a picture of `original` pixels is drawn at: the plate less
    // its inset, proportions kept.
    static QSize pictureSize(QSize original);

    double scale() const { return 1 + (selectedScale - 1) * selection; }
    double opacity() const { return plainOpacity + (1 - plainOpacity) * selection; }
};

} // namespace kavelo
