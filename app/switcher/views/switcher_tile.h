#pragma once

// One window as a small tile: on the display map and in the shelf of
// windows that are on no display. A painted item, not a widget: the map and
// the shelf draw many of them in one widget each.

#include "core/window_entry.h"

#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;
class QPainterPath;

namespace kavelo {

struct SwitcherTile {
    const WindowEntry* window = nullptr;
    const QImage* picture = nullptr;  // the thumbnail, when there is one
    const QImage* icon = nullptr;     // the application's icon at `iconSide`, when there is one
    bool selected = false;
    double cornerRadius = 8;

    static constexpr double grey = 0.2;
    static constexpr double iconSide = 34;
    static constexpr double captionSize = 11.5;
    static constexpr double captionHorizontalPadding = 7;
    static constexpr double captionVerticalPadding = 3;
    static constexpr double captionInset = 6;
    static constexpr double selectedLine = 2.5;
    static constexpr double selectedGlow = 12;
    static constexpr double plainShadow = 3;

    // The size a picture of `original` pixels is drawn at on a tile of
    // `tile` points: covering it, proportions kept.
    static QSize pictureSize(QSize original, QSizeF tile);

    // Shadow, fill, picture or icon, caption when selected, outline.
    void paint(QPainter& painter, const QRectF& rect) const;
    // Where the caption label goes in a tile drawn at `rect` (selected only).
    QRectF captionRect(const QRectF& rect) const;
};

// Fills `path` with `image` stretched over `target`.
void fillWithImage(QPainter& painter, const QPainterPath& path, const QImage& image, const QRectF& target);

} // namespace kavelo
