#pragma once

// Symbol images by name. Views name symbols the way the rest of the program
// does ("checkmark.circle.fill"); one table maps each name to a glyph of the
// Material Icons font. A name missing from the table draws a question mark
// in a circle, so a gap shows on screen instead of an empty space.

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>
#include <string_view>
#include <vector>

class QPainter;

namespace kavelo::Symbols {

// Every name the table knows, in table order.
const std::vector<std::string_view>& names();

// The glyph's code point, or none for an unknown name.
std::optional<char32_t> codepoint(std::string_view name);

// The Material Icons name of the glyph drawn for `name` (the fallback's for
// an unknown one).
std::string_view materialName(std::string_view name);

inline constexpr char32_t fallback = 0xE8FD;   // help_outline

// The glyph as text in the symbol font (the fallback for an unknown name).
QString glyph(std::string_view name);

// Draws `name` centred in `rect` at text size `size` (see Fonts::symbols).
void draw(QPainter& painter, const QRectF& rect, std::string_view name, double size, const QColor& color);

// The square box a symbol at text size `size` takes.
double extent(double size);

// The symbol alone on a transparent square image of `extent(size)` points.
// `ratio` device pixels per point, so that it stays sharp on a scaled screen.
QImage image(std::string_view name, double size, const QColor& color, double ratio = 1);

} // namespace kavelo::Symbols
