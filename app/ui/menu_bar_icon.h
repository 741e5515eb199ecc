#pragma once

// The status item's icon: four small rounded squares in a 2 × 2 grid, the
// top-right one filled. Drawn in black as a mask that the system tints for
// the light or dark menu bar.

#include <QColor>
#include <QIcon>
#include <QImage>

class QPainter;

namespace kavelo::MenuBarIcon {

inline constexpr int side = 18;

// Draws the icon into an 18 × 18 top-left-origin area; reports success.
bool draw(QPainter& painter, const QColor& color = Qt::black);

// The drawing as an icon marked as a mask.
QIcon icon();

// The drawing at `scale` in one colour.
QImage tinted(double scale, const QColor& color);

// The application's own icon, `side` pixels square: the drawing in the
// accent on a dark rounded tile.
QImage applicationImage(int side);

// Icons drawn anew for every size and scale they are painted at, never a
// picture scaled: the drawing in `color` filling the square it is given
// (a tray's slot), and the application's icon.
QIcon drawnIcon(const QColor& color);
QIcon applicationIcon();

} // namespace kavelo::MenuBarIcon
