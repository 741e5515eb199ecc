#pragma once

// Offscreen pictures of widgets, at one pixel per point whatever the
// screen's scale (or at the scale asked for), for screenshots and tests.

#include <QImage>

#include <string>

class QPainter;
class QWidget;

namespace kavelo::Capture {

// The widget and its children as they would be painted, on transparency.
// A widget never shown is laid out at its size hint first.
QImage render(QWidget& widget, double scale = 1);

bool savePng(const QImage& image, const std::string& path);

// Device pixels per point of what `painter` paints on: the screen's for a
// widget on screen, the picture's while one is rendered.
double pixelRatio(const QPainter& painter);
// The device pixels per point a widget's pictures are made for: its
// screen's, or the scale its window is marked to be captured at.
double pixelRatio(const QWidget& widget);
// Marks a window that will be captured at `scale` (the renderer's 2×
// screens), so that what its widgets prepare ahead is made for it.
void setPictureScale(QWidget& window, double scale);

} // namespace kavelo::Capture
