#pragma once

// Fonts loaded from their installed files, so screens look the same on every
// machine: Inter for text (DejaVu Sans when Inter is missing) and Material
// Icons for symbols. Sizes are logical pixels; a half size such as 13.5
// rounds to the nearest whole pixel, because Qt sizes fonts in whole pixels.
// Needs a QGuiApplication.

#include <QFont>
#include <QFontMetricsF>
#include <QRectF>
#include <QString>

class QPainter;

namespace kavelo::Fonts {

enum class Weight { light, regular, medium, semibold, bold };

// The text font at `size` pixels.
QFont system(double size, Weight weight = Weight::regular);

// The text font for text that comes from elsewhere (window titles,
// application names) and sample text: drawn as written, without the
// contextual forms a script does not need ("->" would become an arrow).
QFont windowText(double size, Weight weight = Weight::regular);

// The symbol font for a symbol shown at text size `size`: its glyphs fill
// about five sixths of the em, so it is drawn a fifth larger to match.
QFont symbols(double size);

// Families actually loaded; empty when a file was missing.
QString textFamily();
QString symbolFamily();

int pixelSize(double size);

// Monospaced digits: each digit takes the widest digit's advance, so a
// number keeps its width as it counts (the fonts' own tabular figures are
// out of reach here). The width of `text` so set, and `text` drawn from
// `left`, centred on `line` vertically.
double monospacedWidth(const QString& text, const QFontMetricsF& metrics);
void drawMonospaced(QPainter& painter, const QString& text, double left, const QRectF& line,
                    const QFontMetricsF& metrics);

} // namespace kavelo::Fonts
