#pragma once

// The one dark look with an amber accent that every surface shares.

#include <QColor>

#include <optional>
#include <string_view>

namespace kavelo {

// The two appearances a view can be drawn in. The program itself is dark;
// the screenshot renderer also draws some views light.
enum class ColorScheme { dark, light };
std::string_view rawValue(ColorScheme scheme);
std::optional<ColorScheme> ColorScheme_from(std::string_view raw);

} // namespace kavelo

namespace kavelo::Theme {

const QColor& night();    // dark surface
const QColor& raised();   // raised surface on dark
const QColor& moon();     // primary text on dark
const QColor& dusk();     // secondary text on dark
const QColor& lit();      // the accent

// The dark colour scheme's hierarchical foreground styles.
const QColor& primary();
const QColor& secondary();
// The hierarchical foreground styles of either scheme.
const QColor& primary(ColorScheme scheme);
const QColor& secondary(ColorScheme scheme);

// What glass shows while views are drawn offscreen, where nothing lies
// behind a window to blur.
const QColor& renderingGlass();

// Set by the screenshot renderer while it draws views offscreen.
inline bool isRendering = false;

// `color` with its opacity multiplied by `opacity`.
QColor withOpacity(QColor color, double opacity);

} // namespace kavelo::Theme
