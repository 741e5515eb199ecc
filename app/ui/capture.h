#pragma once

// Offscreen pictures of widgets, at one pixel per point whatever the
// screen's scale (or at the scale asked for), for screenshots and tests.

#include <QImage>

#include <string>

class QWidget;

namespace kavelo::Capture {

// The widget and its children as they would be painted, on transparency.
// A widget never shown is laid out at its size hint first.
QImage render(QWidget& widget, double scale = 1);

bool savePng(const QImage& image, const std::string& path);

} // namespace kavelo::Capture
